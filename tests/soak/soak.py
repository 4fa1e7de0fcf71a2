"""Random-input soak of KORVEN.exe under Wine: real X input (xdotool) for a given time, the process measured
from outside with the gauge (GDI objects, windows, memory), and at the end "終了" and a check of KORVEN.ini.

Two phases in one scratch folder: the normal mode (drags, scatter, gather, version dialog, colour dialog,
menus dismissed), then a restart with an argument (capture mode: Shift+clicks, capital dialog closed with its
close box or "ｷｬﾝｾﾙ", the capture item). Each phase ends with "終了" and its own check of the settings file."""
import argparse
import json
import os
import random
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "blackbox"))
from korvenbb import LAST, Session, WaitTimeout, drag, read_ini, wait_for, wine, xdo  # noqa: E402

SCREEN = (1024, 768)
ANCHOR = "東京"
SHIPPED_KEYS = ("X", "Y", "県庁X", "県庁Y", "県庁所在地")


def wine_json(*argv):
    """Runs a Windows helper; its exit status and its JSON answer, or None."""
    rc, text = wine(*argv)
    try:
        return rc, json.loads(text)
    except ValueError:
        return rc, None


class Soak:
    def __init__(self, a):
        self.a = a
        self.rng = random.Random(a.seed)
        self.counts = {}
        self.samples = []
        self.failures = []
        self.log = open(os.path.join(a.out, "soak-log.txt"), "w")

    def note(self, text):
        line = f"[{time.strftime('%H:%M:%S')}] {text}"
        print(line, flush=True)
        self.log.write(line + "\n")
        self.log.flush()

    def fail(self, what):
        self.failures.append(what)
        self.note("FAIL: " + what)

    def count(self, kind):
        self.counts[kind] = self.counts.get(kind, 0) + 1

    # Reading the program

    def pieces(self):
        _, d = wine_json(self.a.probe, "pieces")
        return {p["name"]: p for p in d["pieces"]} if d else {}

    def windows(self):
        _, d = wine_json(self.a.probe, "windows")
        return d or []

    def visible(self, cls, title=None):
        return [w for w in self.windows() if w["class"] == cls and (title is None or w["title"] == title)]

    def wait_for(self, cls, present, seconds=30.0):
        try:
            wait_for(f"{cls} {'shown' if present else 'gone'}", lambda: self.visible(cls),
                     lambda ws: bool(ws) == present, seconds)
            return True
        except WaitTimeout:
            return False

    def measure(self, label):
        rc, g = wine_json(self.a.gauge, "KORVEN.exe")
        if rc != 0 or not g:
            self.fail(f"gauge could not read the program at '{label}'")
            return None
        g["label"] = label
        g["t"] = round(time.monotonic() - self.t0, 1)
        g["actions"] = dict(self.counts)
        self.samples.append(g)
        m = g["mem"]
        self.note(f"measure {label}: gdi {g['gdi']['total']} (layout ok {g['gdi']['layout_ok']}), "
                  f"windows {g['user']['windows']} (top {g['user']['top']}), handles {g['handles']}, "
                  f"working set {m['working_set'] / 2**20:.1f} MB, private {m['private'] / 2**20:.1f} MB")
        return g

    # Input

    def right_click_menu(self, x, y):
        xdo("mousemove", x, y, "click", 3)
        if not self.wait_for("#32768", True):
            self.fail(f"no popup menu after a right click at {x},{y}")
            xdo("key", "Escape")
            return False
        return True

    def choose(self, x, y, keys):
        if not self.right_click_menu(x, y):
            return False
        xdo("key", *keys)
        return self.wait_for("#32768", False)

    def random_point(self, pieces):
        p = self.rng.choice(list(pieces.values()))
        return p["name"], tuple(p["inner"] if self.rng.random() < 0.7 else p["inner2"])

    def no_dialog_left(self, where):
        stray = [w for w in self.windows() if w["class"] in ("#32770", "frm_Version", "frmData", "#32768")]
        if stray:
            self.fail(f"after {where}: still open {[w['class'] for w in stray]}")
            for w in stray:
                xdo("key", "Escape")
                self.wait_for(w["class"], False)
        return not stray

    # Actions

    def act_drag(self, pieces):
        name, (x, y) = self.random_point(pieces)
        tx = min(max(x + self.rng.randint(-300, 300), 5), SCREEN[0] - 5)
        ty = min(max(y + self.rng.randint(-220, 220), 5), SCREEN[1] - 5)
        drag(x, y, tx, ty, steps=6)  # what moved is read when it matters: the next input queues behind this
        self.count("drag")

    def act_scatter(self, pieces, first):
        _, (x, y) = self.random_point(pieces)
        was = self.pieces()[LAST]["rect"]
        if self.choose(x, y, ["Down"] * (first + 1) + ["Return"]):
            try:  # the last piece moves last
                wait_for("a scatter to reach its last piece", self.pieces, lambda ps: ps[LAST]["rect"] != was)
            except WaitTimeout as e:
                self.fail(str(e))
            self.count("scatter")

    def act_gather(self, pieces, first):
        _, (x, y) = self.random_point(pieces)
        if self.choose(x, y, ["Down"] * (first + 2) + ["Return"]):
            try:
                wait_for("every piece home", self.pieces, lambda ps: not self.away_from_home(ps))
            except WaitTimeout as e:
                self.fail(str(e))
            self.count("gather")

    def away_from_home(self, ps):
        """The pieces not at the anchor's place plus the offset the phase started with."""
        ax, ay = ps[ANCHOR]["rect"][:2]
        return [n for n, p in ps.items() if n != ANCHOR and p["rect"][:2] != [
            ax + int(self.layout[n]["X"]) // 15, ay + int(self.layout[n]["Y"]) // 15]]

    def act_version(self, pieces, first):
        _, (x, y) = self.random_point(pieces)
        if not self.choose(x, y, ["Down"] * (first + 3) + ["Return"]):
            return
        if not self.wait_for("frm_Version", True):
            self.fail("no version dialog")
            return
        self.count("version dialog")
        # OK holds the focus: Enter or Space presses it.
        xdo("key", self.rng.choice(["Return", "space"]))
        if not self.wait_for("frm_Version", False):
            self.fail("the version dialog did not close")

    def act_menu_dismissed(self, pieces):
        _, (x, y) = self.random_point(pieces)
        if self.right_click_menu(x, y):
            xdo("key", "Escape")
            self.wait_for("#32768", False)
            self.count("menu dismissed")

    def double_click(self, x, y):
        xdo("mousemove", x, y, "click", "--repeat", 2, "--delay", 80, 1)

    def act_colour(self, pieces):
        _, (x, y) = self.random_point(pieces)
        self.double_click(x, y)
        if not self.wait_for("#32770", True):
            self.fail(f"no colour dialog after a double-click at {x},{y}")
            return
        self.count("colour dialog")
        xdo("key", "Escape")
        if not self.wait_for("#32770", False):
            self.fail("Escape did not close the colour dialog")

    def act_hover(self, pieces):
        _, (x, y) = self.random_point(pieces)
        xdo("mousemove", x, y)
        self.wait_for("tooltips_class32", True, 6)  # or the pointer landed on a gap between pieces
        self.count("hover")

    def gauge_at(self, x, y):
        _, d = wine_json(self.a.gauge, "at", str(x), str(y))
        return d.get("title") if d else None

    def act_shift_click(self, pieces, dots):
        _, (x, y) = self.random_point(pieces)
        x += self.rng.randint(-3, 3)
        y += self.rng.randint(-3, 3)
        # Only where a piece is known to take the click, so that every moved dot is one the check expects.
        hit = self.gauge_at(x, y)
        if hit not in pieces:
            self.count("shift+click skipped, no piece under the point")
            return
        xdo("mousemove", x, y, "keydown", "shift", "click", 1, "keyup", "shift")
        self.count("shift+click")
        r = self.pieces()[hit]["rect"]
        dots[hit] = ((x - r[0]) * 15, (y - r[1]) * 15)

    def close_box(self, w):
        """The close box of a dialog whose frame Wine draws itself: the caption's last button."""
        left, top, right, bottom = w["rect"]
        frame = (right - left - w["client"][0]) // 2
        caption = bottom - top - w["client"][1] - 2 * frame
        return right - frame - caption // 2 - 1, top + frame + caption // 2

    def cancel_button(self, w):
        """The middle of ｷｬﾝｾﾙ: left 1140, top 495, width 780, height 375 twips in the client area."""
        left, top, right, bottom = w["rect"]
        frame = (right - left - w["client"][0]) // 2
        cl, ct = left + frame, bottom - frame - w["client"][1]
        return cl + (1140 + 390) // 15, ct + (495 + 187) // 15

    @staticmethod
    def on_screen(x, y):
        return 0 <= x < SCREEN[0] and 0 <= y < SCREEN[1]

    def act_capital(self, pieces):
        _, (x, y) = self.random_point(pieces)
        self.double_click(x, y)
        if not self.wait_for("frmData", True):
            self.fail(f"no capital dialog after a double-click at {x},{y}")
            return
        self.count("capital dialog")
        w = self.visible("frmData")[0]
        # The dialog opens where its piece is and may reach past the screen's edge: only what is on the screen
        # can be clicked.
        ways = ["cancel by keys"]
        if self.on_screen(*self.close_box(w)):
            ways.append("close box")
        if self.on_screen(*self.cancel_button(w)):
            ways.append("cancel button")
        how = self.rng.choice(ways)
        if how == "close box":
            cx, cy = self.close_box(w)
            xdo("mousemove", cx, cy, "click", 1)
        elif how == "cancel button":
            xdo("mousemove", *self.cancel_button(w), "click", 1)
        else:
            xdo("key", "Tab", "Tab", "space")  # text → OK → ｷｬﾝｾﾙ
        if not self.wait_for("frmData", False):
            self.fail(f"the capital dialog at {w['rect']} did not close by its {how}")
            xdo("key", "Tab", "Tab", "space")
            self.wait_for("frmData", False)
        else:
            self.count("capital closed by " + how)

    def act_capture(self, pieces, dots, captured):
        _, (x, y) = self.random_point(pieces)
        if not self.choose(x, y, ["Down", "Return"]):
            return
        self.count("capture")
        now = self.pieces()
        ax, ay = now[ANCHOR]["rect"][:2]
        for name, p in now.items():
            px, py = p["rect"][:2]
            captured[name] = {"X": str(ax * 15 if name == ANCHOR else (px - ax) * 15),
                              "Y": str(ay * 15 if name == ANCHOR else (py - ay) * 15)}
            if name in dots:
                captured[name]["県庁X"], captured[name]["県庁Y"] = (str(v) for v in dots[name])

    # Phases

    def run_phase(self, capture, seconds, measure_every):
        s = Session(self.a.exe, self.a.probe, os.path.join(self.a.out, "program")) if not capture else self.session
        if capture:
            s.start("capture")
        else:
            self.session = s
            s.start()
        phase = "capture" if capture else "normal"
        before = self.layout = read_ini(s.ini_bytes())
        self.note(f"{phase} phase started, {seconds:.0f} s")
        self.measure(f"{phase} start")
        first = 1 if capture else 0  # the capture item comes before 解散!
        dots, captured = {}, {}
        if capture:
            weights = {"drag": 4, "shift": 4, "capital": 3, "capture": 2, "scatter": 1, "gather": 1, "hover": 1}
        else:
            weights = {"drag": 5, "scatter": 2, "gather": 2, "version": 3, "colour": 3, "menu": 1, "hover": 2}
        kinds = list(weights)
        end = time.monotonic() + seconds
        next_measure = time.monotonic() + measure_every
        pieces = self.pieces()
        while time.monotonic() < end and time.monotonic() < self.hard_end:
            kind = self.rng.choices(kinds, [weights[k] for k in kinds])[0]
            if kind == "drag":
                self.act_drag(pieces)
            elif kind == "scatter":
                self.act_scatter(pieces, first)
            elif kind == "gather":
                self.act_gather(pieces, first)
            elif kind == "version":
                self.act_version(pieces, first)
            elif kind == "colour":
                self.act_colour(pieces)
            elif kind == "menu":
                self.act_menu_dismissed(pieces)
            elif kind == "hover":
                self.act_hover(pieces)
            elif kind == "shift":
                self.act_shift_click(pieces, dots)
            elif kind == "capital":
                self.act_capital(pieces)
            elif kind == "capture":
                self.act_capture(pieces, dots, captured)
            if kind in ("scatter", "gather", "version", "colour", "capital", "capture", "menu"):
                self.no_dialog_left(kind)
            if kind in ("drag", "scatter", "gather"):
                pieces = self.pieces()
                if len(pieces) != 47:
                    self.fail(f"{len(pieces)} pieces after {kind}")
                    break
            if time.monotonic() >= next_measure:
                self.measure(f"{phase} {time.monotonic() - self.t0:.0f} s")
                next_measure = time.monotonic() + measure_every
        self.measure(f"{phase} end")
        return self.exit_and_check(s, before, phase, captured)

    def exit_and_check(self, s, before, phase, captured):
        pieces = self.pieces()
        anchor = pieces[ANCHOR]["rect"]
        _, (x, y) = self.random_point(pieces)
        if not self.choose(x, y, ["Up", "Return"]):  # 終了, the last item
            self.fail("could not open the menu to end the program")
            return
        if s.wait_exit(60) is None:
            self.fail(f"the program did not end after 終了 ({phase} phase)")
            s.kill()
            return
        self.count("exit")
        raw = s.ini_bytes()
        try:
            after = read_ini(raw)
            bad = [ln for ln in raw.split(b"\n") if ln.strip(b"\r ") and not ln.startswith((b";", b"["))
                   and b"=" not in ln]
        except UnicodeDecodeError as e:
            self.fail(f"KORVEN.ini does not decode after {phase}: {e}")
            return
        problems = []
        if bad:
            problems.append(f"{len(bad)} lines neither section nor key")
        shipped = read_ini(self.shipped_bytes)
        for section, keys in shipped.items():
            if section not in after:
                problems.append(f"[{section}] missing")
                continue
            problems += [f"[{section}] {k} missing" for k in keys if k not in after[section]]
        changed = []
        for section in sorted(set(before) | set(after)):
            for key in sorted(set(before.get(section, {})) | set(after.get(section, {}))):
                old, new = before.get(section, {}).get(key), after.get(section, {}).get(key)
                if old == new:
                    continue
                changed.append((section, key))
                if key == "C":
                    if new != "FFFFFF":  # every colour dialog was cancelled
                        problems.append(f"[{section}] C={new}")
                elif section == ANCHOR and key in ("X", "Y"):
                    want = str(anchor[0] * 15 if key == "X" else anchor[1] * 15)
                    if new != want:
                        problems.append(f"[{section}] {key}={new}, the anchor's place is {want}")
                elif key in ("X", "Y", "県庁X", "県庁Y") and section in captured and key in captured[section]:
                    if new != captured[section][key]:
                        problems.append(f"[{section}] {key}={new}, captured {captured[section][key]}")
                else:
                    problems.append(f"[{section}] {key}: {old!r} -> {new!r} not expected")
        # Exit writes the anchor and every colour: all 47 C keys must be there.
        problems += [f"[{n}] C missing" for n in shipped if "C" not in after.get(n, {})]
        if captured:
            for section, keys in captured.items():
                for k, v in keys.items():
                    if after.get(section, {}).get(k) != v and not (section == ANCHOR and k in ("X", "Y")):
                        problems.append(f"[{section}] {k}={after.get(section, {}).get(k)}, captured {v}")
        kinds = sorted({k for _, k in changed})
        self.ini_results.append({"phase": phase, "sections": len(after), "changed_keys": len(changed),
                                 "changed_kinds": kinds, "problems": problems})
        if problems:
            self.fail(f"KORVEN.ini after {phase}: " + "; ".join(problems[:8]))
        else:
            self.note(f"KORVEN.ini after {phase}: {len(after)} sections, every shipped key there, "
                      f"{len(changed)} values changed ({', '.join(kinds)}), all as expected")

    def run_focus(self):
        """One kind of action, over and over, measured every few rounds: does memory level off or keep growing?"""
        kind, rounds, every = self.a.focus, self.a.rounds, self.a.every
        capture = kind in ("capital", "shift", "capture")
        s = self.session = Session(self.a.exe, self.a.probe, os.path.join(self.a.out, "program"))
        s.start(*(["capture"] if capture else []))
        before = self.layout = read_ini(s.ini_bytes())
        first = 1 if capture else 0
        acts = {"version": lambda p: self.act_version(p, first), "colour": self.act_colour,
                "capital": self.act_capital, "drag": self.act_drag, "hover": self.act_hover,
                "scatter": lambda p: (self.act_scatter(p, first), self.act_gather(self.pieces(), first)),
                "menu": self.act_menu_dismissed}
        pieces = self.pieces()
        if self.a.prehover:
            self.measure(f"{kind} before hovering")
            # Each piece makes its tooltip when the pointer first comes: made here, they cannot mix with what
            # the rounds add.
            for p in pieces.values():
                xdo("mousemove", *p["inner"])
                self.wait_for("tooltips_class32", True, 6)
        self.measure(f"{kind} 0")
        for r in range(1, rounds + 1):
            if time.monotonic() > self.hard_end:
                self.fail(f"time up after {r - 1} rounds")
                break
            acts[kind](pieces)
            if kind in ("drag", "scatter"):
                pieces = self.pieces()
            if r % every == 0 or r == rounds:
                self.measure(f"{kind} {r}")
        self.exit_and_check(s, before, "capture" if capture else "normal", {})

    def run(self):
        self.t0 = time.monotonic()
        if self.a.focus:
            self.hard_end = self.t0 + self.a.minutes * 60 + self.a.grace
            self.ini_results = []
            with open(os.path.join(os.path.dirname(self.a.exe), "KORVEN.ini"), "rb") as f:
                self.shipped_bytes = f.read()
            try:
                self.run_focus()
            finally:
                self.session.kill()
            self.summary()
            return
        total = self.a.minutes * 60
        self.hard_end = self.t0 + total + self.a.grace
        self.ini_results = []
        with open(os.path.join(os.path.dirname(self.a.exe), "KORVEN.ini"), "rb") as f:
            self.shipped_bytes = f.read()
        every = max(30.0, total / 8)
        try:
            self.run_phase(False, total * 0.7, every)
            if time.monotonic() < self.hard_end:
                self.run_phase(True, max(self.t0 + total - time.monotonic(), total * 0.25), every)
        finally:
            if getattr(self, "session", None):
                self.session.kill()
        self.summary()

    def summary(self):
        duration = time.monotonic() - self.t0
        with open(os.path.join(self.a.out, "soak-samples.json"), "w") as f:
            json.dump({"samples": self.samples, "counts": self.counts, "ini": self.ini_results,
                       "failures": self.failures, "seconds": duration, "seed": self.a.seed}, f, indent=1,
                      ensure_ascii=False)
        out = [f"soak: {duration / 60:.1f} min, seed {self.a.seed}",
               "actions: " + ", ".join(f"{k} {v}" for k, v in sorted(self.counts.items())),
               f"{'when':<22}{'t s':>7}{'GDI':>6}{'fonts':>6}{'DCs':>5}{'bmps':>5}{'brush':>6}{'rgns':>5}"
               f"{'wins':>6}{'top':>5}{'handles':>8}{'WS MB':>8}{'priv MB':>8}",
               "(GDI: live slots of the GDI handle table, stock objects included; wins: every window of the process;"
               " priv: resident private memory)"]
        for g in self.samples:
            d, u, m = g["gdi"], g["user"], g["mem"]
            out.append(f"{g['label']:<22}{g['t']:>7.0f}{d['total']:>6}{d['font']:>6}{d['dc']:>5}{d['bitmap']:>5}"
                       f"{d['brush']:>6}{d['region']:>5}{u['windows']:>6}{u['top']:>5}{g['handles']:>8}"
                       f"{m['working_set'] / 2**20:>8.1f}{m['private'] / 2**20:>8.1f}")
        for phase in ("normal", "capture"):
            ps = [g for g in self.samples if g["label"].startswith(phase)]
            if len(ps) >= 2:
                a, b = ps[0], ps[-1]
                out.append(f"{phase} phase, start to end: GDI {b['gdi']['total'] - a['gdi']['total']:+d}, "
                           f"windows {b['user']['windows'] - a['user']['windows']:+d}, "
                           f"handles {b['handles'] - a['handles']:+d}, "
                           f"private {(b['mem']['private'] - a['mem']['private']) / 2**20:+.1f} MB, "
                           f"working set {(b['mem']['working_set'] - a['mem']['working_set']) / 2**20:+.1f} MB")
        for r in self.ini_results:
            out.append(f"KORVEN.ini after {r['phase']}: {'OK' if not r['problems'] else 'PROBLEMS'}; "
                       f"{r['sections']} sections, {r['changed_keys']} values changed ({', '.join(r['changed_kinds'])})")
        out.append(f"failures: {len(self.failures)}")
        out += ["  " + f for f in self.failures[:20]]
        text = "\n".join(out)
        print(text, flush=True)
        with open(os.path.join(self.a.out, "soak-summary.txt"), "w") as f:
            f.write(text + "\n")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--exe", required=True)
    p.add_argument("--probe", required=True)
    p.add_argument("--gauge", required=True)
    p.add_argument("--out", required=True)
    p.add_argument("--minutes", type=float, required=True)
    p.add_argument("--grace", type=float, default=300, help="seconds allowed beyond the given time")
    p.add_argument("--seed", type=int, default=int(time.time()))
    p.add_argument("--focus", choices=["version", "colour", "capital", "drag", "hover", "scatter", "menu"],
                   help="only this action, --rounds times (MINUTES then only bounds the time)")
    p.add_argument("--rounds", type=int, default=90)
    p.add_argument("--every", type=int, default=10)
    p.add_argument("--prehover", action="store_true", help="with --focus: point at every piece first")
    a = p.parse_args()
    a.exe, a.probe, a.gauge, a.out = (os.path.abspath(x) for x in (a.exe, a.probe, a.gauge, a.out))
    os.makedirs(a.out, exist_ok=True)
    soak = Soak(a)
    soak.run()
    sys.exit(1 if soak.failures else 0)


if __name__ == "__main__":
    main()
