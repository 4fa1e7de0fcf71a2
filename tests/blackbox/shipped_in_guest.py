"""The shipped 32-bit KORVEN.exe as a user on 32-bit Windows would see it, checked from what a run in a virtual
machine brought back (scripts/win32-vm.sh): the probe's description of the pieces, the guest's framebuffer and
its step log. The same checks as the black-box map test.
    shipped_in_guest.py --results DIR --ini dist/KORVEN.ini --out DIR"""
import argparse
import json
import os
import subprocess

from korvenbb import (Shot, check, check_map_pixels, check_piece_places, check_piece_shapes, check_pieces_shown,
                      read_ini, run)


def steps(a):
    """{step: exit status} from the guest's log."""
    out = {}
    path = os.path.join(a.results, "steps.txt")
    if os.path.exists(path):
        for line in open(path):
            name, rc, _ = line.split()
            out[name] = int(rc)
    return out


def pieces(a):
    with open(os.path.join(a.results, "pieces.json"), encoding="utf-8") as f:
        return json.load(f)["pieces"]


def ini(a):
    with open(a.ini, "rb") as f:
        return read_ini(f.read())


def test_the_shipped_program_shows_47_pieces(a):
    check(steps(a).get("map_wait") == 0, "47 pieces did not appear within 270 s in the guest")
    check_pieces_shown(pieces(a))


def test_every_piece_has_its_record_shape(a):
    check_piece_shapes(pieces(a))


def test_every_piece_stands_at_the_shipped_layout(a):
    check_piece_places(pieces(a), ini(a))


def test_the_screen_shows_white_pieces_black_lines_red_dots(a):
    shot = Shot(os.path.join(a.results, "screen.xwd"), take=False)
    check(shot.w == 1024 and shot.h == 768, f"screen is {shot.w}x{shot.h}")
    check_map_pixels(shot, pieces(a), ini(a))
    subprocess.run(["convert", shot.path, os.path.join(a.out, "screen.png")])


if __name__ == "__main__":
    p = argparse.ArgumentParser()
    p.add_argument("--results", required=True)
    p.add_argument("--ini", required=True)
    p.add_argument("--out", required=True)
    a = p.parse_args()
    run([test_the_shipped_program_shows_47_pieces,
         test_every_piece_has_its_record_shape,
         test_every_piece_stands_at_the_shipped_layout,
         test_the_screen_shows_white_pieces_black_lines_red_dots], a, a.out)
