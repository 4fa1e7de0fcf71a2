"""The assembled map as a user sees it: 47 shaped windows at the shipped layout, dragged with the real mouse."""
import os

from korvenbb import (Session, Shot, check, check_map_pixels, check_piece_places, check_piece_shapes,
                      check_pieces_shown, drag, main, settle, read_ini, xdo)


def pieces_by_name(s):
    return {p.get("name"): p for p in s.pieces()["pieces"]}


def test_pieces_stand_at_the_shipped_layout_with_their_shapes(a):
    s = Session(a, "map-layout")
    try:
        s.start()
        ini = read_ini(s.ini_bytes())
        ps = s.pieces()["pieces"]
        check_pieces_shown(ps)
        check_piece_shapes(ps)
        check_piece_places(ps, ini)
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
        check_map_pixels(shot, s.pieces()["pieces"], ini)
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
