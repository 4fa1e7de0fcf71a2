"""The shipped 32-bit KORVEN.exe as a user on 32-bit Windows would see it, checked from what a run in a virtual
machine brought back (scripts/win32-vm.sh): the probe's description of the pieces, the guest's framebuffer and
its step log. The same checks as the black-box map test.
    python3 -m pytest shipped_in_guest.py --results DIR --ini dist/KORVEN.ini --out DIR"""
import json
import os

import pytest

from korvenbb import (Shot, map_pixel_faults, piece_place_faults, piece_shape_faults, pieces_shown_faults,
                      read_ini)


@pytest.fixture
def pieces(paths):
    with open(os.path.join(paths.results, "pieces.json"), encoding="utf-8") as f:
        return json.load(f)["pieces"]


@pytest.fixture
def ini(paths):
    with open(paths.ini, "rb") as f:
        return read_ini(f.read())


def test_the_shipped_program_shows_47_pieces(paths, pieces):
    with open(os.path.join(paths.results, "steps.txt")) as f:
        steps = {name: int(rc) for name, rc, _ in (line.split() for line in f)}
    assert steps.get("map_wait") == 0, "47 pieces did not appear within 270 s in the guest"
    assert not pieces_shown_faults(pieces)


def test_every_piece_has_its_record_shape(pieces):
    assert not piece_shape_faults(pieces)


def test_every_piece_stands_at_the_shipped_layout(pieces, ini):
    assert not piece_place_faults(pieces, ini)


def test_the_screen_shows_white_pieces_black_lines_red_dots(paths, pieces, ini):
    shot = Shot(xwd=os.path.join(paths.results, "screen.xwd"))
    assert (shot.w, shot.h) == (1024, 768)
    assert not map_pixel_faults(shot, pieces, ini)
