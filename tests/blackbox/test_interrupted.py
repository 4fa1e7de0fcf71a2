"""The paths a person takes in the middle of things: a command while the map is still being built, a fatal
message, a settings file saved as UTF-8, a layout left on a monitor that is gone, a second start, the end of
the session, a write the power could cut. Each starts from a KORVEN.ini whose values would show a loss, and
compares the file byte for byte afterwards."""
import os
import re
import subprocess
import time

from korvenbb import ROOT, WINE_RUN, Session, Shot, check, drag, main, read_ini, settle, xdo
from test_menu import choose


def with_colours(ini):
    """The shipped layout with a colour of its own stored for every prefecture, as exit writes colours."""
    out, n = [], 0
    for line in ini.split(b"\r\n"):
        out.append(line)
        if line.startswith(b"["):
            n += 1
            out.append(b"C=%X" % ((0x102030 * n) & 0xFFFFFF))
    return b"\r\n".join(out)


def replace_value(ini, section, key, value):
    out, cur = [], None
    for line in ini.split(b"\r\n"):
        if line.startswith(b"["):
            cur = line[1:line.index(b"]")].decode("cp932")
        elif cur == section and line.split(b"=", 1)[0] == key.encode("cp932"):
            line = key.encode("cp932") + b"=" + value.encode("cp932")
        out.append(line)
    return b"\r\n".join(out)


def visible(s, cls):
    return [w for w in s.windows() if w["class"] == cls]


def home_of_tokyo(a):
    """Where 東京 can be pressed at the shipped layout: learnt from one ordinary start."""
    s = Session(a, "interrupted-learn")
    try:
        s.start()
        return {p.get("name"): p for p in s.pieces()["pieces"]}["東京"]["inner"]
    finally:
        s.kill()


def popup_while_building(a, s, argv, at):
    """Starts the program, right-clicks 東京 as soon as it shows and waits for the popup: start-up is held by
    the menu. The number of pieces shown then, or None when start-up had finished first."""
    xdo("mousemove", *at)
    s.start(*argv, wait_pieces=0)
    subprocess.run(["bash", WINE_RUN, a.probe, "wait", "1", "60"])
    # Wine takes a press for the window it last saw the pointer move over: the pointer stood still while
    # 東京 appeared under it.
    xdo("mousemove", at[0] + 1, at[1])
    xdo("mousemove", *at)
    xdo("click", 3)
    settle(1.0)
    if not visible(s, "#32768"):
        return None
    shown = sum(1 for p in s.pieces()["pieces"] if p["visible"])
    return shown if shown < 47 else None


def interrupted(a, name, ini, argv, keys):
    """Chooses an item by keys from a popup raised while the map is still building; the pieces shown then."""
    at = home_of_tokyo(a)
    for attempt in range(4):
        s = Session(a, f"{name}-{attempt}", ini)
        shown = None
        try:
            shown = popup_while_building(a, s, argv, at)
            if shown is not None:
                xdo("key", *keys)
                settle(1.5)
                return s, shown
        finally:
            if shown is None:
                s.kill()  # start-up won the race this time, or something failed
    check(False, f"{name}: the popup never opened before start-up finished")
    return None, 0


def test_exit_while_the_map_is_still_building_keeps_every_stored_colour(a):
    ini = with_colours(Session(a, "interrupted-source").ini_bytes())
    s, shown = interrupted(a, "exit-building", ini, [], ["Up", "Return"])  # 終了
    if not s:
        return
    try:
        print(f"終了 chosen with {shown} of 47 pieces shown")
        check(s.wait_exit(30) is not None, "the program did not end after 終了")
        check(s.ini_bytes() == ini, "exit during start-up changed the file: "
              + str({k: v for k, v in read_ini(s.ini_bytes()).items() if v != read_ini(ini).get(k)})[:300])
    finally:
        s.kill()


def test_capture_while_capture_mode_start_up_is_building_keeps_the_rest(a):
    ini = Session(a, "interrupted-source").ini_bytes()
    s, shown = interrupted(a, "capture-building", ini, ["capture"], ["Down", "Return"])  # 位置情報取得
    if not s:
        return
    try:
        print(f"位置情報取得 chosen with {shown} of 47 pieces shown")
        # The built pieces stand where the file put them, so their values come back the same.
        check(s.ini_bytes() == ini, "capture during start-up changed the file: "
              + str({k: v for k, v in read_ini(s.ini_bytes()).items() if v != read_ini(ini).get(k)})[:300])
    finally:
        s.kill()


def test_a_fatal_message_holds_the_program_and_ends_it_without_writing(a):
    shipped = Session(a, "interrupted-source").ini_bytes()
    ini = replace_value(with_colours(shipped), "北海道", "X", "99999999999")  # the last piece built
    s = Session(a, "fatal", ini)
    try:
        s.start(wait_pieces=46)
        box = []
        for _ in range(40):
            box = [w for w in visible(s, "#32770") if w["title"] == "コルベン"]
            if box:
                break
            settle(0.25)
        check(box, "no message about the coordinate")
        if not box:
            return
        # A piece the message box does not cover.
        r = box[0]["rect"]
        x, y = next(p["inner"] for p in s.pieces()["pieces"] if p["visible"] and p["region_ok"] and not (
            r[0] <= p["inner"][0] < r[2] and r[1] <= p["inner"][1] < r[3]))
        xdo("mousemove", x, y)
        settle(0.3)
        xdo("click", 3)
        settle(1.0)
        check(not visible(s, "#32768"), "a popup menu opened behind the fatal message")
        xdo("click", "--repeat", 2, "--delay", 80, 1)
        settle(1.5)
        dialogs = visible(s, "#32770")
        check(len(dialogs) == 1, f"a dialog opened behind the fatal message: {[d['title'] for d in dialogs]}")
        check(all(not w["enabled"] for w in visible(s, "frmMap")), "a piece takes input behind the fatal message")
        # OK, pressed with the real mouse: the button sits at the box's bottom centre.
        xdo("mousemove", (r[0] + r[2]) // 2, r[3] - 20)
        settle(0.3)
        xdo("click", 1)
        if s.wait_exit(15) is None:
            xdo("key", "Return")
        check(s.wait_exit(30) is not None, "the program did not end when the message was closed")
        check(s.ini_bytes() == ini, "the file changed although the message says it was not")
    finally:
        s.kill()


def test_a_settings_file_saved_as_utf8_is_read_and_kept_as_utf8(a):
    shipped = Session(a, "interrupted-source").ini_bytes()
    ini = with_colours(shipped).decode("cp932").encode("utf-8")
    s = Session(a, "utf8", ini)
    try:
        s.start()
        pieces = {p.get("name"): p for p in s.pieces()["pieces"]}
        layout = read_ini(shipped)
        ax, ay = int(layout["東京"]["X"]) // 15, int(layout["東京"]["Y"]) // 15
        wrong = [n for n, p in pieces.items() if n and p["rect"][:2] != (
            [ax, ay] if n == "東京" else [ax + int(layout[n]["X"]) // 15, ay + int(layout[n]["Y"]) // 15])]
        check(not wrong, f"pieces not at the layout the UTF-8 file holds: {wrong[:5]}")
        x, y = pieces["岐阜"]["inner"]
        xdo("mousemove", x, y)
        settle(0.3)
        xdo("click", 3)
        settle(0.8)
        xdo("key", "Up", "Return")  # 終了
        check(s.wait_exit(30) is not None, "the program did not end after 終了")
        after = s.ini_bytes()
        try:
            text = after.decode("utf-8")
        except UnicodeDecodeError:
            check(False, "the file is no longer UTF-8")
            return
        check(text.count("[") == 47, f"{text.count('[')} sections, expected 47")
        check(after == ini, "exit rewrote values it had read from the UTF-8 file")
    finally:
        s.kill()


def test_a_layout_off_every_monitor_brings_the_whole_map_into_view(a):
    shipped = Session(a, "interrupted-source").ini_bytes()
    ini = replace_value(shipped, "東京", "X", "-2000000")
    s = Session(a, "off-screen", ini)
    try:
        s.start()
        ps = s.pieces()["pieces"]
        off = [p["name"] for p in ps if p["rect"][0] < 0 or p["rect"][1] < 0 or p["rect"][2] > 1024 or p["rect"][3] > 768]
        check(len(ps) == 47 and not off, f"pieces not wholly on the screen: {off}")
        # Still the map: every piece at its offset from the anchor.
        byname = {p.get("name"): p for p in ps}
        layout = read_ini(shipped)
        tx, ty = byname["東京"]["rect"][:2]
        moved = [n for n, p in byname.items() if n != "東京" and p["rect"][:2] != [
            tx + int(layout[n]["X"]) // 15, ty + int(layout[n]["Y"]) // 15]]
        check(not moved, f"pieces not at their offsets: {moved[:5]}")
        check(s.ini_bytes() == ini, "bringing the map into view wrote to the file")
    finally:
        s.kill()


QUIET = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)  # Wine's output never into a pipe
WINE_ENV = f"source {ROOT}/scripts/wine-env.sh; korven_wine_prefix || exit 1; "


def test_a_second_start_shows_the_running_map_and_the_session_end_keeps_what_exit_keeps(a):
    s = Session(a, "second-first")
    shipped = s.ini_bytes()  # the other folder's map 500 pixels to the left
    other = Session(a, "second-other", replace_value(shipped, "東京", "X", str(int(read_ini(shipped)["東京"]["X"]) - 7500)))
    try:
        s.start()
        ps = {p.get("name"): p for p in s.pieces()["pieces"]}
        (tx, ty), (x, y) = ps["東京"]["inner"], ps["岐阜"]["inner"]
        drag(tx, ty, tx + 5, ty + 3)
        xdo("mousemove", x, y, "sleep", 0.3, "click", "--repeat", 2, "--delay", 80, 1, "sleep", 1.5)
        box = visible(s, "#32770")[0]["rect"]  # the colour dialog: its basic red, then OK
        xdo("mousemove", box[0] + 19, box[1] + 76, "click", 1, "sleep", 0.3, "key", "Return", "mousemove", 1023, 767)
        r, g, b = Shot(os.path.join(a.out, "second-colour.png")).at(x, y)
        upper = "Z:" + s.exe.replace("/", "\\").upper()  # the same file to Windows, which ignores case
        for argv in ([s.exe], [s.exe, "capture"], [upper]):
            t0 = time.monotonic()
            rc = subprocess.run(["bash", WINE_RUN, *argv], cwd=s.dir, timeout=30, **QUIET).returncode
            print(f"a second start {argv} ended after {time.monotonic() - t0:.1f} s")
            check(rc == 0 and time.monotonic() - t0 < 5 and len(s.pieces()["pieces"]) == 47, f"second start {argv} ran")
        other.start(wait_pieces=94)  # the first copy's 47 are already shown
        check(len(other.pieces()["pieces"]) == 94, "a copy in another folder does not run beside the first")
        t0 = time.monotonic()
        subprocess.run(["bash", "-c", WINE_ENV + "wineboot --end-session"], **QUIET)
        print(f"the session end took {time.monotonic() - t0:.2f} s")
        saved, old = read_ini(s.ini_bytes()), read_ini(shipped)
        check(other.wait_exit(5) is not None, "the copy in another folder did not end with the session")
        check(s.wait_exit(5) is not None and (r, g, b) != (255, 255, 255) and saved["岐阜"].get("C") == "%X" % (
            b << 16 | g << 8 | r) and [int(saved["東京"][k]) - int(old["東京"][k]) for k in "XY"] == [75, 45],
              f"the session end did not keep 東京's place and 岐阜's colour {(r, g, b)}: {saved['東京']}, {saved['岐阜']}")
    finally:
        s.kill()


def test_every_replacement_is_flushed_to_the_disk_before_the_rename(a):
    """The program does the fsync, the Wine server (started here, traced) the rename: their times compared. A
    temporary file an interrupted write left is gone after the next write."""
    s = Session(a, "flush")
    trace = WINE_ENV + f"exec strace -f -ttt -o {s.dir}/"
    open(s.ini_path() + ".~123", "w").close()
    try:
        s.kill()
        subprocess.Popen(["bash", "-c", trace + "server.trace -e trace=%file wineserver -f -p"], **QUIET)
        settle(2.0)
        s.proc = subprocess.Popen(["bash", "-c", trace + f"program.trace -y -e trace=fsync wine {s.exe} capture"], **QUIET)
        subprocess.run(["bash", WINE_RUN, a.probe, "wait", "47", "120"])
        settle()
        x, y = {p.get("name"): p for p in s.pieces()["pieces"]}["北海道"]["inner"]
        drag(x, y, x - 10, y)
        marks = [time.time()]
        for keys in (["Down", "Return"], ["Up", "Return"]):  # 位置情報取得, then 終了
            choose(x - 10, y, *keys)
            marks.append(settle(2.0) or time.time())
        check(s.wait_exit(60) is not None and not os.path.exists(s.ini_path() + ".~123"), "no end, or a file left")
        subprocess.run(["bash", "-c", WINE_ENV + "wineserver -k"])
        temp, files = r"/(KORVEN\.ini\.~\d+)", [open(f"{s.dir}/{n}.trace").read() for n in ("program", "server")]
        synced = {m[2]: float(m[1]) for m in re.finditer(r"([\d.]+) fsync\(\d+<[^>]*" + temp + r">\) = 0", files[0])}
        renames = re.findall(r"([\d.]+) rename\w*\(.*?\"[^\"]*" + temp + r"\", \"[^\"]*/KORVEN\.ini\"\) = 0", files[1])
        for phase, t0, t1 in zip(("位置情報取得", "終了"), marks, marks[1:]):
            these = [(float(t), n) for t, n in renames if t0 <= float(t) < t1]
            late = [n for t, n in these if not synced.get(n, t) < t]
            print(f"{phase}: {len(these)} replacements, {len(these) - len(late)} flushed first")
            check(these and not late, f"{phase}: a replacement not seen, or not flushed before its rename")
    finally:
        s.kill()


if __name__ == "__main__":
    import os
    only = os.environ.get("KORVEN_BB_ONLY")
    tests = [test_exit_while_the_map_is_still_building_keeps_every_stored_colour,
             test_capture_while_capture_mode_start_up_is_building_keeps_the_rest,
             test_a_fatal_message_holds_the_program_and_ends_it_without_writing,
             test_a_settings_file_saved_as_utf8_is_read_and_kept_as_utf8,
             test_a_layout_off_every_monitor_brings_the_whole_map_into_view,
             test_a_second_start_shows_the_running_map_and_the_session_end_keeps_what_exit_keeps,
             test_every_replacement_is_flushed_to_the_disk_before_the_rename]
    main([t for t in tests if not only or only in t.__name__])
