"""Shared tools of the black-box tests and the soak: KORVEN.exe under Wine in a scratch folder, read from outside
with the probe, driven with real X input (xdotool), screenshots as arrays. Every wait is for a condition, with a
time-out that fails and says what it last saw."""
import json
import os
import shutil
import subprocess
import tempfile
import time

import numpy as np
from PIL import Image, ImageGrab

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
LAST = "北海道"  # scatter and gather go through the pieces in one fixed order, 東京 first and 北海道 last
QUIET = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)  # Wine's output never into a pipe
WINE_ENV = f"source {ROOT}/scripts/wine-env.sh; korven_wine_prefix || exit 1; "


class WaitTimeout(AssertionError):
    pass


def wait_for(what, look, ok=bool, timeout=30.0):
    """Calls look() until ok(what it saw); gives that. Fails after timeout seconds, naming what it last saw."""
    end = time.monotonic() + timeout
    while True:
        seen = look()
        if ok(seen):
            return seen
        if time.monotonic() > end:
            raise WaitTimeout(f"waited {timeout:.0f} s for {what}; last saw: {str(seen)[:400]}")
        time.sleep(0.1)


def wine(*argv, timeout=120):
    """Runs a Windows program to its end; its exit status and what it printed (through a file, not a pipe)."""
    with tempfile.TemporaryFile() as out:
        rc = subprocess.run(["bash", WINE_RUN, *argv], stdout=out, stderr=subprocess.DEVNULL, timeout=timeout).returncode
        out.seek(0)
        return rc, out.read().decode("utf-8", "replace")


def shell(script, **kw):
    return subprocess.run(["bash", "-c", WINE_ENV + script], **QUIET, **kw)


class Session:
    """One program folder with its own KORVEN.exe and KORVEN.ini copy, so dist/ is never written."""

    def __init__(self, exe, probe, folder, ini=None):
        self.probe_exe, self.dir, self.proc = probe, folder, None
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        self.exe = os.path.join(folder, "KORVEN.exe")
        shutil.copy(exe, self.exe)
        if ini is None:
            shutil.copy(os.path.join(os.path.dirname(exe), "KORVEN.ini"), self.ini_path)
        else:
            with open(self.ini_path, "wb") as f:
                f.write(ini)

    @property
    def ini_path(self):
        return os.path.join(self.dir, "KORVEN.ini")

    def ini_bytes(self):
        with open(self.ini_path, "rb") as f:
            return f.read()

    def start(self, *argv, wait_pieces=47, timeout=120):
        self.proc = subprocess.Popen(["bash", WINE_RUN, self.exe, *argv], cwd=self.dir, **QUIET)
        if wait_pieces:
            self.wait_pieces(wait_pieces, timeout)

    def wait_pieces(self, n, timeout=120):
        rc, _ = wine(self.probe_exe, "wait", str(n), str(timeout), timeout=timeout + 30)
        assert rc == 0, f"{n} pieces were not shown and painted within {timeout} s"

    def wait_exit(self, timeout=60):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        shell("wineserver -k")

    def probe(self, *argv):
        rc, out = wine(self.probe_exe, *argv)
        assert rc == 0 and out.strip(), f"probe {argv} failed ({rc}): {out[:200]}"
        return json.loads(out)

    def pieces(self):
        return self.probe("pieces")

    def by_name(self):
        return {p["title"]: p for p in self.pieces()["pieces"]}  # a piece's title is its prefecture

    def windows(self, cls=None, title=None):
        return [w for w in self.probe("windows")
                if (cls is None or w["class"] == cls) and (title is None or w["title"] == title)]

    def wait_window(self, cls, title=None, timeout=30):
        """A window of that class shown with its controls and painted; gives it."""
        return wait_for(f"a painted {cls} window {title or ''}", lambda: self.windows(cls, title),
                        lambda ws: ws and ws[0]["painted"], timeout)[0]

    def wait_gone(self, cls, timeout=30):
        wait_for(f"no {cls} window", lambda: self.windows(cls), lambda ws: not ws, timeout)

    def wait_ini_change(self, before, timeout=30):
        return wait_for("KORVEN.ini to change", self.ini_bytes, lambda b: b != before, timeout)

    def coverage(self):
        """The pieces as shown (see the probe), with the pixel classes of their box as an array under "kinds"."""
        raw = os.path.join(self.dir, "coverage.raw")
        c = self.probe("coverage", "Z:" + raw.replace("/", "\\"))
        x0, y0, x1, y1 = c["box"]
        c["kinds"] = np.fromfile(raw, dtype=np.uint8).reshape(y1 - y0, x1 - x0)
        return c

    def controls(self, cls):
        return self.probe("controls", cls)


class Display:
    """A virtual screen of its own, w × h pixels, for what runs inside the with block (DISPLAY is set)."""

    def __init__(self, w=1024, h=768):
        self.size, self.before = f"{w}x{h}x24", os.environ.get("DISPLAY")

    def __enter__(self):
        r, w = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", self.size, "-nolisten", "tcp"],
                                     pass_fds=(w,), **QUIET)
        os.close(w)
        with os.fdopen(r) as f:
            number = f.readline().strip()  # written once the server takes connections
        assert number, "Xvfb did not start"
        os.environ["DISPLAY"] = ":" + number
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        self.proc.wait()
        if self.before is None:
            os.environ.pop("DISPLAY", None)
        else:
            os.environ["DISPLAY"] = self.before


def set_log_pixels(dpi):
    """The prefix's display scale, as winecfg's slider sets it; the Wine server is ended so that the next start
    reads it afresh."""
    shell(f"korven_log_pixels {int(dpi)}", check=True)


def xdo(*a):
    subprocess.run(["xdotool", *[str(x) for x in a]], check=True)


def drag(x0, y0, x1, y1, steps=8):
    """A press, steps of motion and a release, as one stream of input in one xdotool process."""
    cmd = ["mousemove", x0, y0, "mousedown", 1]
    for i in range(1, steps + 1):
        cmd += ["mousemove", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps]
    xdo(*cmd, "mouseup", 1)


def double_click(x, y):
    xdo("mousemove", x, y, "click", "--repeat", 2, "--delay", 80, 1)


def choose(s, x, y, *keys):
    """Right-clicks at (x, y), waits for the popup and picks an item with the keyboard; the menu then closes."""
    xdo("mousemove", x, y, "click", 3)
    s.wait_window("#32768")
    xdo("key", *keys)
    s.wait_gone("#32768")


def wait_moved(s, name, to, timeout=30):
    """Waits until the piece's top-left corner is at to; gives every piece."""
    return wait_for(f"{name} at {to}", s.by_name, lambda ps: ps[name]["rect"][:2] == list(to), timeout)


class Shot:
    """A screenshot of the whole X screen as an RGB array; saved as PNG when given a path. With an XWD file (the
    framebuffer Xvfb keeps with -fbdir), that file is read instead."""

    def __init__(self, path=None, xwd=None):
        if xwd:
            png = os.path.splitext(xwd)[0] + ".png"
            subprocess.run(["convert", xwd, png], check=True)
            image = Image.open(png).convert("RGB")
        else:
            image = ImageGrab.grab(xdisplay=os.environ["DISPLAY"]).convert("RGB")
            if path:
                image.save(path)
        self.rgb = np.asarray(image)
        self.h, self.w = self.rgb.shape[:2]

    def at(self, x, y):
        return tuple(int(v) for v in self.rgb[y, x])


def settled_colour(x, y, timeout=30):
    """The colour at (x, y) once two screenshots in a row agree on it."""
    last = [None]

    def look():
        was, last[0] = last[0], Shot().at(x, y)
        return last[0], was

    return wait_for(f"the colour at {x},{y} to settle", look, lambda s: s[0] == s[1], timeout)[0]


# KORVEN.ini: code page 932 unless the test says otherwise; first section and key win, as in the program.

def read_ini(data, encoding="cp932"):
    out, cur = {}, None
    for raw in data.split(b"\n"):
        line = raw.rstrip(b"\r").strip()
        if line.startswith(b"[") and b"]" in line:
            name = line[1:line.index(b"]")].decode(encoding)
            cur = out.setdefault(name, {}) if name not in out else None
        elif cur is not None and b"=" in line:
            k, v = line.split(b"=", 1)
            cur.setdefault(k.strip().decode(encoding), v.strip().decode(encoding))
    return out


def replace_value(ini, section, key, value):
    out, cur = [], None
    for line in ini.split(b"\r\n"):
        if line.startswith(b"["):
            cur = line[1:line.index(b"]")].decode("cp932")
        elif cur == section and line.split(b"=", 1)[0] == key.encode("cp932"):
            line = key.encode("cp932") + b"=" + value.encode("cp932")
        out.append(line)
    return b"\r\n".join(out)


def with_colours(ini):
    """The layout with a colour of its own stored for every prefecture, as exit writes colours."""
    out, n = [], 0
    for line in ini.split(b"\r\n"):
        out.append(line)
        if line.startswith(b"["):
            n += 1
            out.append(b"C=%X" % ((0x102030 * n) & 0xFFFFFF))
    return b"\r\n".join(out)


# What every start with the shipped KORVEN.ini must show, read from the probe's "pieces" output. Shared by the
# black-box map test and the check of the 32-bit program run in a virtual machine. Each gives what is wrong.

def pieces_shown_faults(ps):
    return ([f"{len(ps)} frmMap windows, expected 47"] if len(ps) != 47 else []) + [
        f"{p['title']} is not visible" for p in ps if not p["visible"]]


def piece_shape_faults(ps):
    """Every window region equals its fill record, every Picture1 region its outline record; each piece is a
    borderless popup of its canvas's size that stays out of the taskbar."""
    bad = [f"{p['title']}: window region differs from its fill record" for p in ps if not p["region_ok"]]
    bad += ["no pieces to check"] * (not ps) + ["two windows have the same shape"] * (len({p["index"] for p in ps}) != len(ps))
    for p in (p for p in ps if p["region_ok"]):
        w, h = p["rect"][2] - p["rect"][0], p["rect"][3] - p["rect"][1]
        bad += [f"{p['name']}: {what}" for what, wrong in (
            ("Picture1 region differs from its outline record", not (p["picture1"] and p["picture1"]["region_ok"])),
            (f"window {w}x{h}, canvas {p['canvas']}", [w, h] != p["canvas"]),
            ("not a borderless popup", not (p["style"] & 0x80000000 and not p["style"] & 0x00C00000)),
            ("would show in the taskbar", not p["exstyle"] & 0x80),
            ("topmost", p["exstyle"] & 0x8)) if wrong]
    return bad


def piece_place_faults(ps, ini):
    """東京 stands at its stored place, every other piece at its layout offset from 東京."""
    byname = {p.get("name"): p for p in ps}
    if "東京" not in byname:
        return ["no 東京 piece"]
    ax, ay = int(ini["東京"]["X"]) // 15, int(ini["東京"]["Y"]) // 15
    bad = [f"{name}: no piece" for name in ini if name not in byname and {"X", "Y", "県庁X"} <= ini[name].keys()]
    for name, p in byname.items():
        want = [ax, ay] if name == "東京" else [ax + int(ini[name]["X"]) // 15, ay + int(ini[name]["Y"]) // 15]
        if p["rect"][:2] != want:
            bad.append(f"{name} at {p['rect'][:2]}, layout says {want}")
    return bad


def map_pixel_faults(shot, ps, ini):
    """Inside each piece is white, its boundary line black, its capital's dot red."""
    bad = ["no pieces to check"] * (not ps)
    for p in (p for p in ps if p["region_ok"]):
        name = p["name"]
        cx = p["rect"][0] + int(ini[name]["県庁X"]) // 15 + 2
        cy = p["rect"][1] + int(ini[name]["県庁Y"]) // 15 + 2
        ix, iy = p["inner"] if max(abs(p["inner"][0] - cx), abs(p["inner"][1] - cy)) > 3 else p["inner2"]
        for what, (x, y), want in (("inside", (ix, iy), (255, 255, 255)), ("border line", p["line"], (0, 0, 0)),
                                   ("capital dot", (cx, cy), (255, 0, 0))):
            if shot.at(x, y) != want:
                bad.append(f"{name}: {what} is {shot.at(x, y)}, not {want}")
    return bad
