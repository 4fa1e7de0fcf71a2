"""Shared tools of the black-box tests: start KORVEN.exe under Wine in a scratch folder, read its windows with
the probe, drive it with real X input (xdotool), take screenshots and read their pixels."""
import argparse
import json
import os
import shutil
import subprocess
import sys
import time
import traceback

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run.sh")


def args():
    p = argparse.ArgumentParser()
    p.add_argument("--exe", required=True)
    p.add_argument("--probe", required=True)
    p.add_argument("--out", required=True)
    a = p.parse_args()
    a.exe, a.probe, a.out = (os.path.abspath(x) for x in (a.exe, a.probe, a.out))
    return a


class Session:
    """One program folder with its own KORVEN.exe and KORVEN.ini copy, so dist/ is never written."""

    def __init__(self, a, name, ini=None):
        self.a = a
        self.dir = os.path.join(a.out, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.exe = os.path.join(self.dir, "KORVEN.exe")
        shutil.copy(a.exe, self.exe)
        shipped = os.path.join(os.path.dirname(a.exe), "KORVEN.ini")
        if ini is None and os.path.exists(shipped):
            shutil.copy(shipped, self.ini_path())
        elif ini is not None:
            with open(self.ini_path(), "wb") as f:
                f.write(ini)
        self.proc = None

    def ini_path(self):
        return os.path.join(self.dir, "KORVEN.ini")

    def ini_bytes(self):
        with open(self.ini_path(), "rb") as f:
            return f.read()

    def start(self, *argv, wait_pieces=47, timeout=90):
        self.proc = subprocess.Popen(["bash", WINE_RUN, self.exe, *argv], cwd=self.dir,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.t0 = time.monotonic()
        if wait_pieces:
            rc = subprocess.run(["bash", WINE_RUN, self.a.probe, "wait", str(wait_pieces), str(timeout)]).returncode
            check(rc == 0, f"{wait_pieces} pieces did not appear within {timeout} s")
            settle()

    def wait_exit(self, timeout=30):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        subprocess.run(["bash", "-c", f"source {ROOT}/scripts/wine-env.sh; wineserver -k"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def pieces(self):
        out = subprocess.run(["bash", WINE_RUN, self.a.probe, "pieces"], capture_output=True, text=True).stdout
        return json.loads(out)

    def windows(self):
        out = subprocess.run(["bash", WINE_RUN, self.a.probe, "windows"], capture_output=True, text=True).stdout
        return json.loads(out)

    def coverage(self):
        """The pieces as shown (see the probe), with the pixel classes of their box as bytes under "kinds"."""
        raw = os.path.join(self.dir, "coverage.raw")
        out = subprocess.run(["bash", WINE_RUN, self.a.probe, "coverage", "Z:" + raw.replace("/", "\\")],
                             capture_output=True, text=True).stdout
        c = json.loads(out)
        with open(raw, "rb") as f:
            c["kinds"] = f.read()
        return c

    def controls(self, cls):
        out = subprocess.run(["bash", WINE_RUN, self.a.probe, "controls", cls], capture_output=True, text=True).stdout
        return json.loads(out) if out.strip() else []


class Display:
    """A virtual screen of its own, w × h pixels, for what runs inside the with block (DISPLAY is set)."""

    def __init__(self, w, h):
        self.size, self.before = f"{w}x{h}", os.environ.get("DISPLAY", "")

    def __enter__(self):
        out = subprocess.run(["bash", "-c", f"source {ROOT}/scripts/xvfb.sh; korven_start_xvfb {self.size} && "
                              "echo $DISPLAY $KORVEN_XVFB_PID"], capture_output=True, text=True).stdout.split()
        os.environ["DISPLAY"], self.pid = out[0], int(out[1])
        return self

    def __exit__(self, *exc):
        os.kill(self.pid, 15)
        os.environ["DISPLAY"] = self.before


def set_log_pixels(dpi):
    """The prefix's display scale, as winecfg's slider sets it; the Wine server is ended so that the next start
    reads it afresh."""
    subprocess.run(["bash", "-c", f"source {ROOT}/scripts/wine-env.sh; korven_log_pixels {int(dpi)}"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)


def settle(seconds=0.6):
    time.sleep(seconds)


def xdo(*a):
    subprocess.run(["xdotool", *[str(x) for x in a]], check=True)


def drag(x0, y0, x1, y1, steps=8):
    xdo("mousemove", x0, y0)
    settle(0.2)
    xdo("mousedown", 1)
    settle(0.2)
    for i in range(1, steps + 1):
        xdo("mousemove", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
        time.sleep(0.05)
    settle(0.2)
    xdo("mouseup", 1)
    settle()


class Shot:
    """A screenshot of the whole X screen, pixels read back as RGB. With take=False, path is an image saved
    before (any format ImageMagick reads, such as the XWD framebuffer Xvfb keeps with -fbdir)."""

    def __init__(self, path, take=True):
        if take:
            subprocess.run(["import", "-window", "root", path], check=True)
        self.path = path
        size = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True, text=True).stdout.split()
        self.w, self.h = int(size[0]), int(size[1])
        self.rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True).stdout

    def at(self, x, y):
        i = (y * self.w + x) * 3
        return tuple(self.rgb[i:i + 3])


FAILURES = []


def check(cond, what):
    if not cond:
        FAILURES.append(what)
        print("FAIL:", what)
    return cond


def main(tests):
    """Runs each test function with a fresh session; prints one line per test and a closing count."""
    a = args()
    run(tests, a, a.out)


def run(tests, a, out):
    """Runs each test function with a; prints one line per test and a closing count, which it also leaves in
    out/results-<script>.txt. Exits with 1 when a test failed."""
    os.makedirs(out, exist_ok=True)
    passed = failed = 0
    for t in tests:
        before = len(FAILURES)
        try:
            t(a)
        except Exception:
            traceback.print_exc()
            FAILURES.append(t.__name__ + " raised")
        ok = len(FAILURES) == before
        print(("PASS " if ok else "FAIL ") + t.__name__, flush=True)
        passed += ok
        failed += not ok
    print(f"{passed} passed, {failed} failed")
    # The test command adds these counts to its closing line.
    script = os.path.splitext(os.path.basename(sys.argv[0]))[0]
    with open(os.path.join(out, f"results-{script}.txt"), "w") as f:
        f.write(f"{passed} {failed}\n")
    sys.exit(1 if failed else 0)


def read_ini(data):
    """The sections of a KORVEN.ini (code page 932) as {section: {key: value}}; first section and key win."""
    out, cur = {}, None
    for raw in data.split(b"\n"):
        line = raw.rstrip(b"\r").strip()
        if line.startswith(b"[") and b"]" in line:
            name = line[1:line.index(b"]")].decode("cp932")
            cur = out.setdefault(name, {}) if name not in out else None
        elif cur is not None and b"=" in line:
            k, v = line.split(b"=", 1)
            cur.setdefault(k.strip().decode("cp932"), v.strip().decode("cp932"))
    return out


# What every start with the shipped KORVEN.ini must show, read from the probe's "pieces" output. Shared by the
# black-box map test and the check of the 32-bit program run in a virtual machine.

def check_pieces_shown(ps):
    check(len(ps) == 47, f"{len(ps)} frmMap windows, expected 47")
    check(all(p["visible"] for p in ps), "a piece is not visible")


def check_piece_shapes(ps):
    """Every window region equals its fill record, every Picture1 region its outline record; each piece is a
    borderless popup of its canvas's size that stays out of the taskbar."""
    check(ps, "no pieces to check")
    check(all(p["region_ok"] for p in ps), "a window region differs from its fill record: "
          + ", ".join(str(p["title"]) for p in ps if not p["region_ok"]))
    check(all(p["picture1"] and p["picture1"]["region_ok"] for p in ps if p["region_ok"]),
          "a Picture1 region differs from its outline record")
    check(len({p["index"] for p in ps}) == len(ps), "two windows have the same shape")
    for p in ps:
        if not p["region_ok"]:
            continue
        w, h = p["rect"][2] - p["rect"][0], p["rect"][3] - p["rect"][1]
        check([w, h] == p["canvas"], f"{p['name']}: window {w}x{h}, canvas {p['canvas']}")
        check(p["style"] & 0x80000000 and not p["style"] & 0x00C00000, f"{p['name']}: not a borderless popup")
        check(p["exstyle"] & 0x80, f"{p['name']}: would show in the taskbar")
        check(not p["exstyle"] & 0x8, f"{p['name']}: topmost")


def check_piece_places(ps, ini):
    """東京 stands at its stored place, every other piece at its layout offset from 東京."""
    byname = {p.get("name"): p for p in ps}
    if not check("東京" in byname, "no 東京 piece"):
        return
    ax, ay = int(ini["東京"]["X"]) // 15, int(ini["東京"]["Y"]) // 15
    check(byname["東京"]["rect"][:2] == [ax, ay], f"東京 at {byname['東京']['rect'][:2]}, stored {[ax, ay]}")
    for name in ini:
        if name in byname or not {"X", "Y", "県庁X"} <= ini[name].keys():
            continue
        check(False, f"{name}: no piece")
    for name, p in byname.items():
        if name in (None, "東京"):
            continue
        want = [ax + int(ini[name]["X"]) // 15, ay + int(ini[name]["Y"]) // 15]
        check(p["rect"][:2] == want, f"{name} at {p['rect'][:2]}, layout says {want}")


def check_map_pixels(shot, ps, ini):
    """Inside each piece is white, its boundary line black, its capital's dot red."""
    check(ps, "no pieces to check")
    for p in ps:
        if not p["region_ok"]:
            continue
        name = p["name"]
        cx = p["rect"][0] + int(ini[name]["県庁X"]) // 15 + 2
        cy = p["rect"][1] + int(ini[name]["県庁Y"]) // 15 + 2
        ix, iy = p["inner"]
        if abs(ix - cx) <= 3 and abs(iy - cy) <= 3:
            ix, iy = p["inner2"]
        check(shot.at(ix, iy) == (255, 255, 255), f"{name}: inside is {shot.at(ix, iy)}, not white")
        check(shot.at(*p["line"]) == (0, 0, 0), f"{name}: border line is {shot.at(*p['line'])}, not black")
        check(shot.at(cx, cy) == (255, 0, 0), f"{name}: capital dot is {shot.at(cx, cy)}, not red")
