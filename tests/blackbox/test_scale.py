"""One map at every display scale: the shipped layout started once at each of 96, 120, 144 and 192 dots per inch
(the prefix's LogPixels) on a screen of as many inches, every check on that one start; then the layout captured
at 144 read at 96."""
import os
import signal
import sys

from korvenbb import (Display, Session, Shot, check, check_pieces_shown, drag, main, read_ini, set_log_pixels,
                      settle, xdo)
from test_menu import choose, visible

SCALES = [96, 120, 144, 192]  # 96 first: the others are measured against it


def check_places(c, ini, dpi, within, label=""):
    """Every piece at its stored place, anchor plus offset, at this scale."""
    ax, ay = int(ini["東京"]["X"]), int(ini["東京"]["Y"])
    for name, p in c["pieces"].items():
        ox, oy = (0, 0) if name == "東京" else (int(ini[name]["X"]), int(ini[name]["Y"]))
        exact = ((ax + ox) * dpi / 1440, (ay + oy) * dpi / 1440)
        off = max(abs(p["rect"][0] - exact[0]), abs(p["rect"][1] - exact[1]))
        check(off <= within, f"{dpi} dpi{label}: {name} at {p['rect'][:2]}, {off:.2f} px from {exact}")


def check_pixels(c, shot, ini, dpi):
    """Fills white with red dots, outlines black, and no grey anywhere: nothing is stretched."""
    x0, y0, x1, y1 = c["box"]
    wrong = grey = 0
    for y in range(max(y0, 0), min(y1, shot.h)):
        for x in range(max(x0, 0), min(x1, shot.w)):
            kind = c["kinds"][(y - y0) * (x1 - x0) + x - x0]
            rgb = shot.at(x, y)
            grey += rgb not in ((0, 0, 0), (255, 255, 255), (255, 0, 0))
            wrong += (kind == 1 and rgb not in ((255, 255, 255), (255, 0, 0))) or (kind == 2 and rgb != (0, 0, 0))
    check(grey == 0, f"{dpi} dpi: {grey} pixels of the map are neither white, black nor red")
    check(wrong == 0, f"{dpi} dpi: {wrong} pixels show other than the fill, outline and dot they belong to")
    for name, p in c["pieces"].items():
        # A point well inside the dot: two pixels in at 96 dots per inch, as far in inches at any scale.
        cx = p["rect"][0] + round((int(ini[name]["県庁X"]) + 30) * dpi / 1440)
        cy = p["rect"][1] + round((int(ini[name]["県庁Y"]) + 30) * dpi / 1440)
        if 0 <= cx < shot.w and 0 <= cy < shot.h:
            kind = c["kinds"][(cy - y0) * (x1 - x0) + cx - x0]
            # Where the coast runs close by, the outline may cover the dot's middle; it is in the piece still.
            check(kind == 2 or (kind == 1 and shot.at(cx, cy) == (255, 0, 0)),
                  f"{dpi} dpi: {name}'s dot is not at {cx},{cy} inside it (pixel kind {kind}, {shot.at(cx, cy)})")


def dialog_measures(s, cls, dpi, shot_path):
    """Each label's text whole inside its control (nothing drawn in its last column or row); gives the
    dialog's client size and the labels' ink heights."""
    dlg = visible(s, cls)
    if not check(dlg, f"{dpi} dpi: no {cls} dialog"):
        return None
    shot, controls, heights = Shot(shot_path), s.controls(cls), []
    for k in controls:
        if not k["text"] or k["class"] != "Static":
            continue
        x0, y0, x1, y1 = k["rect"]
        face = shot.at(x0, y0)
        ink = [(x, y) for y in range(y0, y1) for x in range(x0, x1) if shot.at(x, y) != face]
        cut = [p for p in ink if p[0] == x1 - 1 or p[1] == y1 - 1]
        check(ink and not cut, f"{dpi} dpi: {cls} text {k['text']!r} does not fit its control {k['rect']}")
        heights.append(max(y for _, y in ink) - min(y for _, y in ink) + 1 if ink else 0)
    return dlg[0]["client"], heights, controls


def one_scale(a, s, dpi, measures):
    """Every check at one scale on one start; gives what a capture there wrote, at 144."""
    s.start("capture")
    ini = read_ini(s.ini_bytes())
    shown = s.pieces()
    check_pieces_shown(shown["pieces"])
    sw, sh = shown["screen"]
    c = s.coverage()
    check(c["dpi"] == dpi, f"the prefix shows {c['dpi']} dpi, not {dpi}")
    check(len(c["pieces"]) == 47, f"{dpi} dpi: {len(c['pieces'])} pieces")
    check(c["overlaps"] == 0, f"{dpi} dpi: {c['overlaps']} pixels covered by two pieces")
    measures.setdefault((96, "cracks"), c["cracks"])
    check(c["cracks"] <= measures[96, "cracks"] * dpi / 96, f"{dpi} dpi: {c['cracks']} cracks")
    check(not c["outline_wrong"], f"{dpi} dpi: outline not {c['width']} px inside: {c['outline_wrong']}")
    print(f"{dpi} dpi: {c['overlaps']} overlapping pixels, {c['cracks']} cracks")
    measures[dpi, "meet"] = c["meet"]
    check_places(c, ini, dpi, 0.5)
    xdo("mousemove", sw - 1, sh - 1)  # the map lies in the middle of the screen: no tooltip there
    settle(1.0)
    check_pixels(c, Shot(os.path.join(a.out, f"scale-{dpi}.png")), ini, dpi)

    x, y = c["pieces"]["岐阜"]["inner"]
    choose(x, y, "Down", "Down", "Down", "Down", "Return")  # バージョン情報
    settle(1)
    measures[dpi, "version"] = dialog_measures(s, "frm_Version", dpi, f"{a.out}/version-{dpi}.png")
    xdo("key", "Return")
    settle(0.8)
    xdo("mousemove", x, y)
    settle(0.3)
    xdo("click", "--repeat", 2, "--delay", 80, 1)
    settle(1.2)
    measures[dpi, "capital"] = m = dialog_measures(s, "frmData", dpi, f"{a.out}/capital-{dpi}.png")
    for r in [k["rect"] for k in (m[2] if m else []) if k["text"] == "ｷｬﾝｾﾙ"]:
        xdo("mousemove", (r[0] + r[2]) // 2, (r[1] + r[3]) // 2)
        xdo("click", 1)
        settle(0.8)
    captured = None
    if dpi == 144:
        choose(x, y, "Down", "Return")  # 位置情報取得
        settle(1)
        captured = s.ini_bytes()
    # The anchor dragged an odd number of pixels, then gathered: the pieces fit as they did at start-up.
    tx, ty = c["pieces"]["東京"]["inner"]
    drag(tx, ty, tx + 3, ty + 1)
    choose(tx + 3, ty + 1, "Down", "Down", "Down", "Return")  # 集合!
    settle(3)
    g = s.coverage()
    was, now = c["pieces"]["東京"]["rect"], g["pieces"]["東京"]["rect"]
    check(now[:2] == [was[0] + 3, was[1] + 1], f"{dpi} dpi: the anchor was dragged from {was} to {now}")
    check(g["overlaps"] == 0 and g["cracks"] <= measures[96, "cracks"] * dpi / 96,
          f"{dpi} dpi, gathered after a drag: {g['overlaps']} overlapping pixels, {g['cracks']} cracks")
    x, y = g["pieces"]["岐阜"]["inner"]
    choose(x, y, "Down", "Down", "Return")  # 解散!
    settle(3)
    after = {p["title"]: p["rect"] for p in s.pieces()["pieces"]}
    off = [n for n, r in after.items() if n != "東京" and (r[0] < 0 or r[1] < 0 or r[2] > sw or r[3] > sh)]
    moved = [n for n in after if after[n] != g["pieces"][n]["rect"]]
    check(len(moved) >= 40, f"{dpi} dpi: only {len(moved)} pieces moved in a scatter")
    check(not off, f"{dpi} dpi: scattered off the screen: {off}")
    check(after.get("東京") == g["pieces"]["東京"]["rect"], f"{dpi} dpi: scatter moved the anchor")
    return captured


def test_the_map_at_every_scale(a):
    measures, captured, shipped = {}, None, None
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # a time-out too leaves the prefix at 96
    try:
        for dpi in SCALES:
            set_log_pixels(dpi)
            s = Session(a, f"scale-{dpi}")
            shipped = shipped or read_ini(s.ini_bytes())
            # The same screen at each pixel density: 1024 × 768 at 96 dots per inch.
            with Display(1024 * dpi // 96, 768 * dpi // 96):
                try:
                    captured = one_scale(a, s, dpi, measures) or captured
                finally:
                    s.kill()
        set_log_pixels(96)
        s = Session(a, "scale-captured-at-144", ini=captured)
        try:
            s.start()
            check(captured and read_ini(captured) != shipped, "the capture at 144 wrote nothing new")
            check_places(s.coverage(), shipped, 96, 1, " (captured at 144)")
        finally:
            s.kill()
    finally:
        set_log_pixels(96)
    # Against 96 dots per inch: the same pieces meet, and the dialogs' client areas and texts grow with the scale.
    for (dpi, which), m in measures.items():
        base = measures.get((96, which))
        if m is None or base is None or dpi == 96:
            continue
        if which == "meet":  # along a border, not where a pixel or two of coast touch
            apart = sorted(p for p, n in base.items() if n >= 3 and p not in m)
            check(not apart, f"{dpi} dpi: {len(apart)} pairs that meet at 96 dpi do not: {apart[:5]}")
            continue
        want = [round(v * dpi / 96) for v in base[0]]
        check(all(abs(g - w) <= 1 for g, w in zip(m[0], want)), f"{dpi} dpi: {which} dialog {m[0]}, not {want}")
        want = [round(v * dpi / 96) for v in base[1]]
        check(all(abs(g - w) <= max(2, w / 10) for g, w in zip(m[1], want)),
              f"{dpi} dpi: {which} texts {m[1]} high, not {want}")


if __name__ == "__main__":
    main([test_the_map_at_every_scale])
