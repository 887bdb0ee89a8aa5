#!/usr/bin/env python3
"""Reads the JUnit file of a CTest run (--output-junit) and prints one line
per test: its outcome and its name, the outcome one of
  passed   it ran and passed
  skipped  it did not run, or skipped itself (GTEST_SKIP)
  dropped  it failed, and its output carries Wine's own client drop
           ("wine client error"): worth running again
  failed   any other failure
Usage: ctest_results.py JUNIT_FILE"""
import sys
import xml.etree.ElementTree as ElementTree

WINE_DROP = "wine client error"


def outcome(case):
    status = case.get("status")
    if status == "run":
        return "passed"
    if status in ("notrun", "disabled"):
        return "skipped"
    output = "".join(case.itertext())
    return "dropped" if WINE_DROP in output else "failed"


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    for case in ElementTree.parse(sys.argv[1]).getroot().iter("testcase"):
        print(outcome(case), case.get("name"))


if __name__ == "__main__":
    main()
