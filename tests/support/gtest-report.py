#!/usr/bin/env python3
"""Reads a GoogleTest XML report for wine-run.sh.

  gtest-report.py failed REPORT         prints the failed tests as a --gtest_filter pattern
  gtest-report.py passed REPORT NAMES   exits 0 when each test of the pattern NAMES ran
                                        and passed in REPORT
"""
import sys
import xml.etree.ElementTree as ET


def cases(report):
    for case in ET.parse(report).getroot().iter("testcase"):
        failed = case.find("failure") is not None or case.find("error") is not None
        ran = case.get("status", "run") == "run" and case.get("result", "completed") == "completed"
        yield case.get("classname") + "." + case.get("name"), ran, failed


def main(argv):
    if len(argv) == 3 and argv[1] == "failed":
        print(":".join(name for name, _, failed in cases(argv[2]) if failed))
        return 0
    if len(argv) == 4 and argv[1] == "passed":
        wanted = set(argv[3].split(":"))
        passed = {name for name, ran, failed in cases(argv[2]) if ran and not failed}
        missing = sorted(wanted - passed)
        for name in missing:
            print("wine-run: %s did not run and pass" % name, file=sys.stderr)
        return 1 if missing or not wanted else 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
