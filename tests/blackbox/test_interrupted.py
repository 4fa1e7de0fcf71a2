"""The paths a person takes in the middle of things: a command while the map is still being built, a fatal
message, a settings file saved as UTF-8, a layout left on a monitor that is gone, a second start, the end of
the session, a write the power could cut. Each starts from a KORVEN.ini whose values would show a loss, and
compares the file byte for byte afterwards."""
import os
import re
import subprocess
import time

import pytest

from korvenbb import (QUIET, WINE_ENV, WINE_RUN, WaitTimeout, choose, double_click, drag, read_ini,
                      replace_value, settled_colour, shell, wait_for, wait_moved, with_colours, xdo)


def changes(now, was):
    return str({k: v for k, v in read_ini(now).items() if v != read_ini(was).get(k)})[:300]


def popup_while_building(s, argv, at):
    """Starts the program, right-clicks 東京 as soon as it shows and waits for the popup: start-up is held by
    the menu. The number of pieces shown then, or None when start-up had finished first."""
    xdo("mousemove", *at)
    s.start(*argv, wait_pieces=0)
    s.wait_pieces(1, timeout=60)
    # Wine takes a press for the window it last saw the pointer move over: the pointer stood still while
    # 東京 appeared under it.
    xdo("mousemove", at[0] + 1, at[1], "mousemove", *at, "click", 3)
    try:
        s.wait_window("#32768", timeout=15)
    except WaitTimeout:
        return None
    shown = sum(1 for p in s.pieces()["pieces"] if p["visible"])
    return shown if shown < 47 else None


@pytest.mark.parametrize("argv, keys", [([], ["Up", "Return"]),  # 終了: every stored colour stays
                                        (["capture"], ["Down", "Return"])],  # 位置情報取得: the rest stays
                         ids=["exit_while_the_map_is_still_building_keeps_every_stored_colour",
                              "capture_while_capture_mode_start_up_is_building_keeps_the_rest"])
def test_a_command_while_the_map_is_still_building(session, argv, keys):
    learn = session(name="learn")
    learn.start()
    at = learn.by_name()["東京"]["inner"]
    learn.kill()
    ini = with_colours(learn.ini_bytes()) if not argv else learn.ini_bytes()
    for attempt in range(4):
        s = session(ini, name=str(attempt))
        shown = popup_while_building(s, argv, at)
        if shown is not None:
            break
        s.kill()  # start-up won the race this time
    else:
        pytest.fail("the popup never opened before start-up finished")
    print(f"{keys} chosen with {shown} of 47 pieces shown")
    xdo("key", *keys)
    if argv:  # start-up goes on once the command is done: the built pieces stand where the file put them
        s.wait_pieces(47)
    else:
        assert s.wait_exit(30) is not None, "the program did not end after 終了"
    assert s.ini_bytes() == ini, "the command during start-up changed the file: " + changes(s.ini_bytes(), ini)


def test_a_fatal_message_holds_the_program_and_ends_it_without_writing(session):
    s = session()
    ini = replace_value(with_colours(s.ini_bytes()), "北海道", "X", "99999999999")  # the last piece built
    s = session(ini, name="fatal")
    s.start(wait_pieces=46)
    r = s.wait_window("#32770", "コルベン")["rect"]
    # A piece the message box does not cover.
    x, y = next(p["inner"] for p in s.pieces()["pieces"] if p["visible"] and p["region_ok"] and not (
        r[0] <= p["inner"][0] < r[2] and r[1] <= p["inner"][1] < r[3]))
    xdo("mousemove", x, y, "click", 3)
    double_click(x, y)
    # What must not happen has no event to wait for: nothing may open in the second after the clicks.
    time.sleep(1.0)
    assert [w["title"] for w in s.windows() if w["class"] in ("#32768", "#32770")] == ["コルベン"]
    assert not [w for w in s.windows("frmMap") if w["enabled"]], "a piece takes input behind the fatal message"
    # OK, pressed with the real mouse: the button sits at the box's bottom centre.
    xdo("mousemove", (r[0] + r[2]) // 2, r[3] - 20, "click", 1)
    if s.wait_exit(15) is None:
        xdo("key", "Return")
    assert s.wait_exit(30) is not None, "the program did not end when the message was closed"
    assert s.ini_bytes() == ini, "the file changed although the message says it was not"


def test_a_settings_file_saved_as_utf8_is_read_and_kept_as_utf8(session):
    s = session()
    layout = read_ini(s.ini_bytes())
    ini = with_colours(s.ini_bytes()).decode("cp932").encode("utf-8")
    s = session(ini, name="utf8")
    s.start()
    pieces = s.by_name()
    ax, ay = int(layout["東京"]["X"]) // 15, int(layout["東京"]["Y"]) // 15
    assert [n for n, p in pieces.items() if p["rect"][:2] != ([ax, ay] if n == "東京" else [
        ax + int(layout[n]["X"]) // 15, ay + int(layout[n]["Y"]) // 15])] == []
    choose(s, *pieces["岐阜"]["inner"], "Up", "Return")  # 終了
    assert s.wait_exit(30) is not None, "the program did not end after 終了"
    assert s.ini_bytes() == ini, "exit rewrote values it had read from the UTF-8 file"


def test_a_layout_off_every_monitor_brings_the_whole_map_into_view(session):
    s = session()
    layout = read_ini(s.ini_bytes())
    ini = replace_value(s.ini_bytes(), "東京", "X", "-2000000")
    s = session(ini, name="off-screen")
    s.start()
    byname = s.by_name()
    assert [n for n, p in byname.items() if p["rect"][0] < 0 or p["rect"][1] < 0 or p["rect"][2] > 1024
            or p["rect"][3] > 768] == [], "pieces not wholly on the screen"
    # Still the map: every piece at its offset from the anchor.
    tx, ty = byname["東京"]["rect"][:2]
    assert [n for n, p in byname.items() if n != "東京" and p["rect"][:2] != [
        tx + int(layout[n]["X"]) // 15, ty + int(layout[n]["Y"]) // 15]] == []
    assert s.ini_bytes() == ini, "bringing the map into view wrote to the file"


def test_a_second_start_shows_the_running_map_and_the_session_end_keeps_what_exit_keeps(session):
    s = session(name="first")
    old = read_ini(s.ini_bytes())  # the other folder's map 500 pixels to the left
    other = session(replace_value(s.ini_bytes(), "東京", "X", str(int(old["東京"]["X"]) - 7500)), name="other")
    s.start()
    ps = s.by_name()
    (tx, ty), (x, y) = ps["東京"]["inner"], ps["岐阜"]["inner"]
    drag(tx, ty, tx + 5, ty + 3)
    wait_moved(s, "東京", (ps["東京"]["rect"][0] + 5, ps["東京"]["rect"][1] + 3))
    double_click(x, y)
    box = s.wait_window("#32770")["rect"]  # the colour dialog: its basic red, then OK
    xdo("mousemove", box[0] + 19, box[1] + 76, "click", 1, "key", "Return")
    s.wait_gone("#32770")
    xdo("mousemove", 1023, 767)
    r, g, b = settled_colour(x, y)
    upper = "Z:" + s.exe.replace("/", "\\").upper()  # the same file to Windows, which ignores case
    for argv in ([s.exe], [s.exe, "capture"], [upper]):
        t0 = time.monotonic()
        second = subprocess.Popen(["bash", WINE_RUN, *argv], cwd=s.dir, **QUIET)
        if "capture" in argv:  # told why capture mode did not start
            s.wait_window("#32770", "コルベン")
            xdo("key", "Return")
        # A second map would run until it is ended: a second start that shows the first one ends by itself.
        assert second.wait(30) == 0, f"second start {argv} ran"
        print(f"a second start {argv} ended after {time.monotonic() - t0:.1f} s")
        assert len(s.pieces()["pieces"]) == 47, f"second start {argv} made pieces"
    other.start(wait_pieces=94)  # the first copy's 47 are already shown
    t0 = time.monotonic()
    shell("wineboot --end-session")
    print(f"the session end took {time.monotonic() - t0:.2f} s")
    saved = read_ini(s.ini_bytes())
    assert other.wait_exit(30) is not None, "the copy in another folder did not end with the session"
    assert s.wait_exit(30) is not None
    assert (r, g, b) != (255, 255, 255) and saved["岐阜"].get("C") == "%X" % (b << 16 | g << 8 | r)
    assert [int(saved["東京"][k]) - int(old["東京"][k]) for k in "XY"] == [75, 45]


def test_every_replacement_is_flushed_to_the_disk_before_the_rename(session):
    """The program does the fsync, the Wine server (started here, traced) the rename: their times compared. A
    temporary file an interrupted write left is gone after the next write."""
    s = session()
    trace = WINE_ENV + f"exec strace -f -ttt -o {s.dir}/"
    open(s.ini_path + ".~123", "w").close()
    s.kill()
    tracer = subprocess.Popen(["bash", "-c", trace + "server.trace -e trace=%file wineserver -f -p"], **QUIET)
    # The server works in its own folder, where its socket appears once it takes connections.
    wait_for("the traced Wine server's socket", lambda: [k for k in open(
        f"/proc/{tracer.pid}/task/{tracer.pid}/children").read().split() if os.path.exists(f"/proc/{k}/cwd/socket")])
    s.proc = subprocess.Popen(["bash", "-c", trace + f"program.trace -y -e trace=fsync wine {s.exe} capture"], **QUIET)
    s.wait_pieces(47)
    p = s.by_name()["北海道"]
    (x, y), before = p["inner"], s.ini_bytes()
    drag(x, y, x - 10, y)
    wait_moved(s, "北海道", (p["rect"][0] - 10, p["rect"][1]))
    marks = [time.time()]
    choose(s, x - 10, y, "Down", "Return")  # 位置情報取得
    s.wait_ini_change(before)
    marks.append(time.time())
    choose(s, x - 10, y, "Up", "Return")  # 終了
    # strace follows Wine's own processes too, which outlast the program: its windows going is its end.
    wait_for("the program to end", lambda: s.windows("frmMap"), lambda ws: not ws, 60)
    marks.append(time.time())
    shell("wineserver -k")
    s.proc.wait(30), tracer.wait(30)  # the traces written out
    assert not os.path.exists(s.ini_path + ".~123"), "a temporary file left by an earlier write is still there"
    temp, files = r"/(KORVEN\.ini\.~\d+)", [open(f"{s.dir}/{n}.trace").read() for n in ("program", "server")]
    synced = {m[2]: float(m[1]) for m in re.finditer(r"([\d.]+) fsync\(\d+<[^>]*" + temp + r">\) = 0", files[0])}
    renames = re.findall(r"([\d.]+) rename\w*\(.*?\"[^\"]*" + temp + r"\", \"[^\"]*/KORVEN\.ini\"\) = 0", files[1])
    for phase, t0, t1 in zip(("位置情報取得", "終了"), marks, marks[1:]):
        these = [(float(t), n) for t, n in renames if t0 <= float(t) < t1]
        late = [n for t, n in these if not synced.get(n, t) < t]
        print(f"{phase}: {len(these)} replacements, {len(these) - len(late)} flushed first")
        assert these and not late, f"{phase}: a replacement not seen, or not flushed before its rename"
