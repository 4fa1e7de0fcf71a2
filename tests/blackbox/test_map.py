"""The assembled map as a user sees it: 47 shaped windows at the shipped layout, dragged with the real mouse."""
import os

from korvenbb import (Shot, drag, map_pixel_faults, piece_place_faults, piece_shape_faults, pieces_shown_faults,
                      read_ini, wait_moved, xdo)


def test_pieces_stand_at_the_shipped_layout_with_their_shapes(session):
    s = session()
    s.start()
    ps = s.pieces()["pieces"]
    assert not pieces_shown_faults(ps) + piece_shape_faults(ps) + piece_place_faults(ps, read_ini(s.ini_bytes()))


def test_screenshot_shows_white_pieces_black_lines_red_dots(session):
    s = session()
    s.start()
    xdo("mousemove", 1023, 767)  # no tooltip over the map
    s.wait_gone("tooltips_class32")
    ps, ini = s.pieces()["pieces"], read_ini(s.ini_bytes())
    assert not map_pixel_faults(Shot(os.path.join(session.out, "map.png")), ps, ini)


def test_a_piece_follows_the_real_mouse_exactly(session):
    s = session()
    s.start()
    before = s.by_name()
    # The first press on a piece that is not active drags it at once. Each step carries the pointer past the
    # piece's size, so it leaves the piece whenever the window loses the pointer grab during the drag.
    gifu, hokkaido = before["岐阜"], before["北海道"]
    (x, y), (r0x, r0y) = gifu["inner"], gifu["rect"][:2]
    dx, dy = -3 * (gifu["rect"][2] - r0x + 8), -3 * (gifu["rect"][3] - r0y + 8)
    drag(x, y, x + dx, y + dy, steps=3)
    wait_moved(s, "岐阜", (r0x + dx, r0y + dy))
    # Another inactive piece, the whole way in one motion.
    x, y = hokkaido["inner"]
    drag(x, y, x - 41, y + 27, steps=1)
    after = wait_moved(s, "北海道", (hokkaido["rect"][0] - 41, hokkaido["rect"][1] + 27))
    assert [n for n in before if n not in ("岐阜", "北海道") and before[n]["rect"] != after[n]["rect"]] == []
    # A press on the boundary line drags the whole piece as well.
    lx, ly = after["岐阜"]["line"]
    drag(lx, ly, lx - 10, ly + 5)
    wait_moved(s, "岐阜", (r0x + dx - 10, r0y + dy + 5))
