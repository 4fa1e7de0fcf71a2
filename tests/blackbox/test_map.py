"""The assembled map as a user sees it: 47 shaped windows at the shipped layout, dragged with the real mouse."""
import os

from korvenbb import Session, Shot, check, drag, main, read_ini, settle, xdo


def pieces_by_name(s):
    return {p.get("name"): p for p in s.pieces()["pieces"]}


def test_pieces_stand_at_the_shipped_layout_with_their_shapes(a):
    s = Session(a, "map-layout")
    try:
        s.start()
        ini = read_ini(s.ini_bytes())
        info = s.pieces()
        ps = info["pieces"]
        check(len(ps) == 47, f"{len(ps)} frmMap windows, expected 47")
        check(all(p["visible"] for p in ps), "a piece is not visible")
        check(all(p["region_ok"] for p in ps), "a window region differs from its fill record: "
              + ", ".join(str(p["title"]) for p in ps if not p["region_ok"]))
        check(all(p["picture1"] and p["picture1"]["region_ok"] for p in ps if p["region_ok"]),
              "a Picture1 region differs from its outline record")
        check(len({p["index"] for p in ps}) == 47, "two windows have the same shape")
        for p in ps:
            if not p["region_ok"]:
                continue
            w, h = p["rect"][2] - p["rect"][0], p["rect"][3] - p["rect"][1]
            check([w, h] == p["canvas"], f"{p['name']}: window {w}x{h}, canvas {p['canvas']}")
            check(p["style"] & 0x80000000 and not p["style"] & 0x00C00000, f"{p['name']}: not a borderless popup")
            check(p["exstyle"] & 0x80, f"{p['name']}: would show in the taskbar")
            check(not p["exstyle"] & 0x8, f"{p['name']}: topmost")
        byname = {p.get("name"): p for p in ps}
        ax, ay = int(ini["東京"]["X"]) // 15, int(ini["東京"]["Y"]) // 15
        check(byname["東京"]["rect"][:2] == [ax, ay], f"東京 at {byname['東京']['rect'][:2]}, stored {[ax, ay]}")
        for name, p in byname.items():
            if name in (None, "東京"):
                continue
            want = [ax + int(ini[name]["X"]) // 15, ay + int(ini[name]["Y"]) // 15]
            check(p["rect"][:2] == want, f"{name} at {p['rect'][:2]}, layout says {want}")
    finally:
        s.kill()


def test_screenshot_shows_white_pieces_black_lines_red_dots(a):
    s = Session(a, "map-shot")
    try:
        s.start()
        xdo("mousemove", 1023, 767)  # no tooltip over the map
        settle(1.0)
        ini = read_ini(s.ini_bytes())
        shot = Shot(os.path.join(a.out, "map.png"))
        for p in s.pieces()["pieces"]:
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
    finally:
        s.kill()


def test_a_piece_follows_the_real_mouse_exactly(a):
    s = Session(a, "map-drag")
    try:
        s.start()
        before = pieces_by_name(s)
        # The first press on a piece that is not active drags it at once. Each step carries the pointer past the
        # piece's size, so it leaves the piece whenever the window loses the pointer grab during the drag.
        gifu = before["岐阜"]
        x, y = gifu["inner"]
        w, h = gifu["rect"][2] - gifu["rect"][0], gifu["rect"][3] - gifu["rect"][1]
        dx, dy = -3 * (w + 8), -3 * (h + 8)
        drag(x, y, x + dx, y + dy, steps=3)
        after = pieces_by_name(s)
        r0, r1 = gifu["rect"], after["岐阜"]["rect"]
        check([r1[0] - r0[0], r1[1] - r0[1]] == [dx, dy], f"岐阜 moved by {[r1[0] - r0[0], r1[1] - r0[1]]}, not {[dx, dy]}")
        # Another inactive piece, the whole way in one motion.
        hokkaido = after["北海道"]
        x, y = hokkaido["inner"]
        drag(x, y, x - 41, y + 27, steps=1)
        after = pieces_by_name(s)
        r0, r2 = hokkaido["rect"], after["北海道"]["rect"]
        check([r2[0] - r0[0], r2[1] - r0[1]] == [-41, 27], f"北海道 moved by {[r2[0] - r0[0], r2[1] - r0[1]]}")
        moved = [n for n in before if n not in ("岐阜", "北海道") and before[n]["rect"] != after[n]["rect"]]
        check(not moved, f"other pieces moved too: {moved}")
        # A press on the boundary line drags the whole piece as well.
        lx, ly = after["岐阜"]["line"]
        drag(lx, ly, lx - 10, ly + 5)
        r3 = pieces_by_name(s)["岐阜"]["rect"]
        check([r3[0] - r1[0], r3[1] - r1[1]] == [-10, 5], f"drag on the line moved by {[r3[0] - r1[0], r3[1] - r1[1]]}")
    finally:
        s.kill()


if __name__ == "__main__":
    main([test_pieces_stand_at_the_shipped_layout_with_their_shapes,
          test_screenshot_shows_white_pieces_black_lines_red_dots,
          test_a_piece_follows_the_real_mouse_exactly])
