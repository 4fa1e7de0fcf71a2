"""One map at every display scale: the shipped layout started once at each of 96, 120, 144, 192 and 480 dots per inch
(the prefix's LogPixels) on a screen of as many inches, every check on that one start; then the layout captured
at 144 read at 96."""
import os
import signal
import sys

import numpy as np

from korvenbb import (LAST, Display, Shot, choose, double_click, drag, pieces_shown_faults, read_ini, set_log_pixels,
                      wait_for, wait_moved, xdo)

SCALES = [96, 120, 144, 192, 480]  # 96 first: the others are measured against it


def place_faults(c, ini, dpi, within, label=""):
    """Every piece at its stored place, anchor plus offset, at this scale."""
    ax, ay, bad = int(ini["東京"]["X"]), int(ini["東京"]["Y"]), []
    for name, p in c["pieces"].items():
        ox, oy = (0, 0) if name == "東京" else (int(ini[name]["X"]), int(ini[name]["Y"]))
        exact = ((ax + ox) * dpi / 1440, (ay + oy) * dpi / 1440)
        off = max(abs(p["rect"][0] - exact[0]), abs(p["rect"][1] - exact[1]))
        if off > within:
            bad.append(f"{dpi} dpi{label}: {name} at {p['rect'][:2]}, {off:.2f} px from {exact}")
    return bad


def pixel_faults(c, shot, ini, dpi):
    """Fills white with red dots, outlines black, and no grey anywhere: nothing is stretched."""
    x0, y0, x1, y1 = c["box"]
    cx0, cy0, cx1, cy1 = max(x0, 0), max(y0, 0), min(x1, shot.w), min(y1, shot.h)
    rgb, kinds = shot.rgb[cy0:cy1, cx0:cx1], c["kinds"][cy0 - y0:cy1 - y0, cx0 - x0:cx1 - x0]
    white, black = (rgb == 255).all(axis=2), (rgb == 0).all(axis=2)
    red = (rgb == (255, 0, 0)).all(axis=2)
    grey = int((~(white | black | red)).sum())
    wrong = int((((kinds == 1) & ~(white | red)) | ((kinds == 2) & ~black)).sum())
    bad = [f"{dpi} dpi: {grey} pixels of the map are neither white, black nor red"] * (grey > 0)
    bad += [f"{dpi} dpi: {wrong} pixels show other than the fill, outline and dot they belong to"] * (wrong > 0)
    for name, p in c["pieces"].items():
        # A point well inside the dot: two pixels in at 96 dots per inch, as far in inches at any scale.
        cx = p["rect"][0] + round((int(ini[name]["県庁X"]) + 30) * dpi / 1440)
        cy = p["rect"][1] + round((int(ini[name]["県庁Y"]) + 30) * dpi / 1440)
        if 0 <= cx < shot.w and 0 <= cy < shot.h:
            kind = c["kinds"][cy - y0, cx - x0]
            # Where the coast runs close by, the outline may cover the dot's middle; it is in the piece still.
            if not (kind == 2 or (kind == 1 and shot.at(cx, cy) == (255, 0, 0))):
                bad.append(f"{dpi} dpi: {name}'s dot is not at {cx},{cy} inside it ({kind}, {shot.at(cx, cy)})")
    return bad


def dialog_measures(s, cls, dpi, shot_path, bad):
    """Each label's text whole inside its control (nothing drawn in its last column or row); gives the
    dialog's client size, the labels' ink heights and the controls."""
    dlg = s.wait_window(cls)
    shot, controls, heights = Shot(shot_path), s.controls(cls), []
    for k in (k for k in controls if k["text"] and k["class"] == "Static"):
        x0, y0, x1, y1 = k["rect"]
        area = shot.rgb[y0:y1, x0:x1]
        ink = (area != area[0, 0]).any(axis=2)
        if not ink.any() or ink[:, -1].any() or ink[-1, :].any():
            bad.append(f"{dpi} dpi: {cls} text {k['text']!r} does not fit its control {k['rect']}")
        rows = np.flatnonzero(ink.any(axis=1))
        heights.append(int(rows[-1] - rows[0] + 1) if rows.size else 0)
    return dlg["client"], heights, controls


def one_scale(out, s, dpi, measures, bad):
    """Every check at one scale on one start; gives what a capture there wrote, at 144."""
    s.start("capture")
    ini = read_ini(s.ini_bytes())
    shown = s.pieces()
    bad += pieces_shown_faults(shown["pieces"])
    sw, sh = shown["screen"]
    c = s.coverage()
    assert c["dpi"] == dpi, f"the prefix shows {c['dpi']} dpi, not {dpi}"
    bad += [f"{dpi} dpi: {len(c['pieces'])} pieces"] * (len(c["pieces"]) != 47)
    bad += [f"{dpi} dpi: {c['overlaps']} pixels covered by two pieces"] * (c["overlaps"] != 0)
    measures.setdefault((96, "cracks"), c["cracks"])
    bad += [f"{dpi} dpi: {c['cracks']} cracks"] * (c["cracks"] > measures[96, "cracks"] * dpi / 96)
    bad += [f"{dpi} dpi: outline not {c['width']} px inside: {c['outline_wrong']}"] * bool(c["outline_wrong"])
    print(f"{dpi} dpi: {c['overlaps']} overlapping pixels, {c['cracks']} cracks")
    measures[dpi, "meet"] = c["meet"]
    bad += place_faults(c, ini, dpi, 0.5)
    xdo("mousemove", sw - 1, sh - 1)  # the map lies in the middle of the screen: no tooltip there
    s.wait_gone("tooltips_class32")
    bad += pixel_faults(c, Shot(os.path.join(out, f"scale-{dpi}.png")), ini, dpi)

    x, y = c["pieces"]["岐阜"]["inner"]
    choose(s, x, y, "Down", "Down", "Down", "Down", "Return")  # バージョン情報
    measures[dpi, "version"] = dialog_measures(s, "frm_Version", dpi, f"{out}/version-{dpi}.png", bad)
    xdo("key", "Return")
    s.wait_gone("frm_Version")
    double_click(x, y)
    measures[dpi, "capital"] = m = dialog_measures(s, "frmData", dpi, f"{out}/capital-{dpi}.png", bad)
    r = next(k["rect"] for k in m[2] if k["text"] == "ｷｬﾝｾﾙ")
    xdo("mousemove", (r[0] + r[2]) // 2, (r[1] + r[3]) // 2, "click", 1)
    s.wait_gone("frmData")
    captured = None
    if dpi == 144:
        before = s.ini_bytes()
        choose(s, x, y, "Down", "Return")  # 位置情報取得
        captured = s.wait_ini_change(before)
    # The anchor dragged an odd number of pixels, then gathered: the pieces fit as they did at start-up.
    tx, ty = c["pieces"]["東京"]["inner"]
    was = c["pieces"]["東京"]["rect"]
    drag(tx, ty, tx + 3, ty + 1)
    home = wait_moved(s, "東京", (was[0] + 3, was[1] + 1))
    choose(s, tx + 3, ty + 1, "Down", "Down", "Down", "Return")  # 集合!
    wait_for("the gather to reach its last piece", s.by_name, lambda ps: ps[LAST]["rect"] != home[LAST]["rect"])
    g = s.coverage()
    bad += [f"{dpi} dpi, gathered after a drag: {g['overlaps']} overlapping pixels, {g['cracks']} cracks"] * (
        g["overlaps"] != 0 or g["cracks"] > measures[96, "cracks"] * dpi / 96)
    x, y = g["pieces"]["岐阜"]["inner"]
    choose(s, x, y, "Down", "Down", "Return")  # 解散!
    after = wait_for("a scatter to reach its last piece", s.by_name,
                     lambda ps: ps[LAST]["rect"] != g["pieces"][LAST]["rect"])
    after = {n: p["rect"] for n, p in after.items()}
    moved = [n for n in after if after[n] != g["pieces"][n]["rect"]]
    bad += [f"{dpi} dpi: only {len(moved)} pieces moved in a scatter"] * (len(moved) < 40)
    bad += [f"{dpi} dpi: scattered off the screen: {n}" for n, r in after.items()
            if n != "東京" and (r[0] < 0 or r[1] < 0 or r[2] > sw or r[3] > sh)]
    bad += [f"{dpi} dpi: scatter moved the anchor"] * (after["東京"] != g["pieces"]["東京"]["rect"])
    return captured


def test_the_map_at_every_scale(session):
    measures, captured, shipped, bad = {}, None, None, []
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # a time-out too leaves the prefix at 96
    try:
        for dpi in SCALES:
            set_log_pixels(dpi)
            s = session(name=str(dpi))
            shipped = shipped or read_ini(s.ini_bytes())
            # The same screen at each pixel density: 1024 × 768 at 96 dots per inch.
            with Display(1024 * dpi // 96, 768 * dpi // 96):
                try:
                    captured = one_scale(session.out, s, dpi, measures, bad) or captured
                finally:
                    s.kill()
        set_log_pixels(96)
        assert captured and read_ini(captured) != shipped, "the capture at 144 wrote nothing new"
        s = session(ini=captured, name="captured-at-144")
        s.start()
        bad += place_faults(s.coverage(), shipped, 96, 1, " (captured at 144)")
    finally:
        set_log_pixels(96)
    # Against 96 dots per inch: the same pieces meet, and the dialogs' client areas and texts grow with the scale.
    for (dpi, which), m in measures.items():
        base = measures.get((96, which))
        if m is None or base is None or dpi == 96:
            continue
        if which == "meet":  # along a border, not where a pixel or two of coast touch
            apart = sorted(p for p, n in base.items() if n >= 3 and p not in m)
            bad += [f"{dpi} dpi: {len(apart)} pairs that meet at 96 dpi do not: {apart[:5]}"] * bool(apart)
            continue
        want = [round(v * dpi / 96) for v in base[0]]
        bad += [f"{dpi} dpi: {which} dialog {m[0]}, not {want}"] * (
            not all(abs(g - w) <= 1 for g, w in zip(m[0], want)))
        want = [round(v * dpi / 96) for v in base[1]]
        bad += [f"{dpi} dpi: {which} texts {m[1]} high, not {want}"] * (
            not all(abs(g - w) <= max(2, w / 10) for g, w in zip(m[1], want)))
    assert not bad
