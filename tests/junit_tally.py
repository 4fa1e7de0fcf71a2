"""Adds up the runners' JUnit reports (ctest, GoogleTest, pytest) into the test command's closing line.
    junit_tally.py ARG...   each ARG is REPORT (its cases counted), exit:STEP=STATUS (a step that leaves no
                            report, one case by its exit status), REPORT=STATUS (an executable's report and its
                            exit status), or CTEST_REPORT:DIR (each test of that ctest run counted from the report it left,
                            DIR/NAME.xml, with its verdict as the status; a test named shipped_* is one case of
                            its own)
A report that is missing or unreadable is one failure; so is a failed executable whose report shows no failure.
Prints "N passed, N failed" (", N skipped" after it when some were) and exits 1 on any failure."""
import os
import sys
import xml.etree.ElementTree as ET


def cases(path):
    """(passed, failed, skipped) of one report; None when it cannot be read."""
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError):
        return None
    p = f = s = 0
    for case in root.iter("testcase"):
        status = case.get("status", "run")
        if status == "disabled" or case.get("result") == "suppressed":  # a disabled test is not run
            continue
        if case.find("failure") is not None or case.find("error") is not None or status == "fail":
            f += 1
        elif case.find("skipped") is not None or status == "notrun" and case.get("result") == "skipped":
            s += 1
        elif status == "notrun":  # ctest could not run it
            f += 1
        else:
            p += 1
    return p, f, s


def tally(args):
    total = [0, 0, 0]

    def add(path, ok=True):
        got = cases(path)
        if got is None:
            got = (0, 1, 0)
        elif not ok and got[1] == 0:
            got = (got[0], 1, got[2])
        for i in range(3):
            total[i] += got[i]

    for arg in args:
        if arg.startswith("exit:"):
            total[0 if arg.rsplit("=", 1)[1] == "0" else 1] += 1
        elif ":" in arg and not os.path.exists(arg):
            ctest, details = arg.rsplit(":", 1)
            try:
                tests = list(ET.parse(ctest).getroot().iter("testcase"))
            except (OSError, ET.ParseError):
                tests = None
            if not tests:  # a ctest run that left no report, or ran nothing: one failure
                total[1] += 1
                continue
            for t in tests:
                if t.get("name").startswith("shipped_"):
                    total[0 if t.get("status") == "run" else 1] += 1
                else:
                    add(os.path.join(details, t.get("name") + ".xml"), t.get("status") == "run")
        elif "=" in arg:
            path, status = arg.rsplit("=", 1)
            add(path, status == "0")
        else:
            add(arg)
    return total


if __name__ == "__main__":
    passed, failed, skipped = tally(sys.argv[1:])
    print(f"{passed} passed, {failed} failed" + (f", {skipped} skipped" if skipped else ""))
    sys.exit(1 if failed else 0)
