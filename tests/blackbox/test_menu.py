"""The control menu, its commands and the dialogs, driven as a user would: real right clicks, keys and drags."""
import os
import time

from korvenbb import LAST, Shot, choose, double_click, drag, read_ini, settled_colour, wait_for, wait_moved, xdo


def gather(s, x, y, home, first=0):
    choose(s, x, y, *["Down"] * (first + 2), "Return")
    return wait_for("every piece back home", s.by_name,
                    lambda ps: not [n for n in home if ps[n]["rect"] != home[n]["rect"]])


def test_scatter_gather_version_colour_and_exit(session):
    s = session()
    shipped = read_ini(s.ini_bytes())
    s.start()
    home = s.by_name()
    x, y = home["岐阜"]["inner"]

    xdo("mousemove", x, y, "click", 3)
    s.wait_window("#32768")
    Shot(os.path.join(session.out, "popup-menu.png"))
    xdo("key", "Down", "Return")  # first item: 解散!
    sc = wait_for("a scatter to reach its last piece", s.by_name, lambda ps: ps[LAST]["rect"] != home[LAST]["rect"])
    assert sc["東京"]["rect"] == home["東京"]["rect"], "scatter moved the anchor"
    assert len([n for n in sc if sc[n]["rect"] != home[n]["rect"]]) >= 40
    assert [n for n, p in sc.items() if p["rect"][0] < 0 or p["rect"][1] < 0 or p["rect"][2] > 1024
            or p["rect"][3] > 768] == [], "scattered off the screen"

    gather(s, *sc["岐阜"]["inner"], home)

    choose(s, x, y, "Down", "Down", "Down", "Return")  # バージョン情報
    dlg = s.wait_window("frm_Version", "バージョン情報")
    assert dlg["client"] == [263, 75]
    Shot(os.path.join(session.out, "version-dialog.png"))
    assert not [w for w in s.windows("frmMap") if w["enabled"]], "pieces take input under the modal dialog"
    xdo("key", "Return")  # OK holds the focus
    s.wait_gone("frm_Version")

    double_click(x, y)
    s.wait_window("#32770")
    Shot(os.path.join(session.out, "colour-dialog.png"))
    xdo("key", "Escape")
    s.wait_gone("#32770")
    xdo("mousemove", 1023, 767)
    assert settled_colour(x, y) == (255, 255, 255), "cancel changed the colour"

    tx, ty = home["東京"]["inner"]
    drag(tx, ty, tx + 5, ty + 3)  # the anchor's new place is what exit keeps
    wait_moved(s, "東京", (home["東京"]["rect"][0] + 5, home["東京"]["rect"][1] + 3))
    choose(s, x + 5, y + 3, "Up", "Return")  # 終了 (岐阜 did not follow the anchor; any piece will do)
    assert s.wait_exit(30) is not None, "the program did not end after 終了"
    saved = read_ini(s.ini_bytes())
    assert {n: k.get("C") for n, k in saved.items() if k.get("C") != "FFFFFF"} == {}
    assert [int(saved["東京"][k]) - int(shipped["東京"][k]) for k in "XY"] == [75, 45]
    assert [n for n in shipped if n != "東京" and saved[n].get("X") != shipped[n].get("X")] == []


def test_capture_mode_authors_a_layout_that_the_next_start_uses(session):
    s = session()
    shipped = s.ini_bytes()
    s.start("capture")
    home = s.by_name()
    # 北海道 has open sea to its west and is shown last, so the moved piece covers nobody's dot and is covered
    # by nothing.
    g = home["北海道"]
    ix, iy = g["inner"]
    xdo("mousemove", ix, iy, "keydown", "shift", "click", 1, "keyup", "shift")
    dot = ((ix - g["rect"][0]) * 15, (iy - g["rect"][1]) * 15)

    drag(ix, iy, ix - 10, iy)  # 150 twips to the left
    wait_moved(s, "北海道", (g["rect"][0] - 10, g["rect"][1]))
    choose(s, ix - 10, iy, "Down", "Return")  # first item in capture mode: 位置情報取得
    cap, old = read_ini(s.wait_ini_change(shipped)), read_ini(shipped)
    assert int(cap["北海道"]["X"]) == int(old["北海道"]["X"]) - 150
    # The Shift+click moved the dot, not the piece: the capture holds the dot where the click was.
    assert (int(cap["北海道"]["県庁X"]), int(cap["北海道"]["県庁Y"])) == dot
    assert [n for n in old if n != "北海道" and (cap[n]["X"], cap[n]["Y"]) != (old[n]["X"], old[n]["Y"])] == []

    before = s.ini_bytes()
    double_click(ix - 10, iy)
    s.wait_window("frmData", "北海道")
    Shot(os.path.join(session.out, "capital-dialog.png"))
    xdo("key", "ctrl+a")
    xdo("type", "Sapporo")
    xdo("key", "Tab", "space")  # focus moves from the text to OK
    s.wait_gone("frmData")
    assert read_ini(s.wait_ini_change(before))["北海道"].get("県庁所在地") == "Sapporo"
    choose(s, ix - 10, iy, "Up", "Return")  # 終了
    t0 = time.monotonic()
    assert s.wait_exit(60) is not None, "the program did not end after 終了"
    print(f"exit took {time.monotonic() - t0:.1f} s")
    s.kill()

    s.start()
    again = s.by_name()
    assert again["北海道"]["rect"][0] == g["rect"][0] - 10, "the next start does not use the captured offset"
    xdo("mousemove", again["北海道"]["rect"][0] + dot[0] // 15 + 2, again["北海道"]["rect"][1] + dot[1] // 15 + 2)
    s.wait_window("tooltips_class32")
    Shot(os.path.join(session.out, "capital-tooltip.png"))
