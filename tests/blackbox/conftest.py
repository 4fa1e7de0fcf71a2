"""pytest wiring of the black-box tests: where the program and the probe are, and one fixture that makes a session
(a program folder, a virtual display of its own, the run's Wine prefix) and tears it down."""
import os
import types

import pytest

import korvenbb


def pytest_addoption(parser):
    for name in ("exe", "probe", "out", "results", "ini"):
        parser.addoption(f"--{name}", help="a path (see tests/blackbox/CMakeLists.txt and scripts/test.sh)")


@pytest.fixture(scope="session")
def paths(request):
    return types.SimpleNamespace(**{n: request.config.getoption(n) and os.path.abspath(request.config.getoption(n))
                                    for n in ("exe", "probe", "out", "results", "ini")})


@pytest.fixture
def session(paths, request):
    """make(ini=None, name="") gives a Session in its own folder under --out, on a display opened for the test;
    every program started is ended and the prefix's Wine server stopped afterwards."""
    made = []
    display = korvenbb.Display()
    display.__enter__()

    def make(ini=None, name=""):
        folder = os.path.join(paths.out, request.node.name + (f"-{name}" if name else ""))
        made.append(korvenbb.Session(paths.exe, paths.probe, folder, ini))
        return made[-1]

    make.out = paths.out
    yield make
    for s in made:
        s.kill()
    korvenbb.shell("wineserver -k")
    display.__exit__()
