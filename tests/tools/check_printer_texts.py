#!/usr/bin/env python3
"""The imprinter's date and time texts as the library judges them, against Python's calendar.

    check_printer_texts.py PROBE SHIPPED_DIR FIXTURE_DIR DEVICE_ADF DEVICE_FLATBED NEXIL_ADF NEXIL_FLATBED

On the rules fixture (tests/tools/rulesmodel: the probe and the stand-ins), mapleC's imprinter on, every
"YYYY/MM/DD" of months 00 to 13 and days 00 to 32 is set as PRINTERDATE, for the years around the leap years
that the rules of 4, 100 and 400 decide, the first and last years and year 0000; and every "HH:MM" of 00:00 to
99:99 as PRINTERTIME. A date is a date when calendar.monthrange says the month has that day (year 0000, which
Python does not know, by the Gregorian rule: a leap year); a time when the hours are below 24 and the minutes
below 60. The library must accept exactly those (0) and refuse the others (4).
"""
import calendar
import os
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from rulesmodel import probe  # noqa: E402
from rulesmodel.names import ID  # noqa: E402

CENTRES = (4, 100, 200, 400, 800, 1600, 1700, 1800, 1900, 2000, 2024, 2100, 2400, 4000, 9600)
YEARS = sorted({0, 1, 2, 3, 9997, 9998, 9999} | {year for centre in CENTRES for year in range(centre - 4, centre + 5)})


def is_date(year, month, day):
    if not 1 <= month <= 12:
        return False
    if year == 0:
        days = 29 if month == 2 else calendar.monthrange(2000, month)[1]
    else:
        days = calendar.monthrange(year, month)[1]
    return 1 <= day <= days


def texts():
    """(id, text, accepted) of every date and time tried."""
    for year in YEARS:
        for month in range(14):
            for day in range(33):
                yield ID["PRINTERDATE"], "%04d/%02d/%02d" % (year, month, day), is_date(year, month, day)
    for hours in range(100):
        for minutes in range(100):
            yield ID["PRINTERTIME"], "%02d:%02d" % (hours, minutes), hours < 24 and minutes < 60


def main(argv):
    paths = probe.Paths.from_arguments(argv[1:8])
    try:
        cases = list(texts())
        start = probe.opening(paths, "mapleC") + ["fixdefaultall", "set %d 0 1 2" % ID["PRINTERENABLED"]]
        outputs = probe.run(paths, "fixture", start + ["settext %d %s" % (id_, text) for id_, text, _ in cases])
        if outputs[len(start) - 1] != ["status 0"]:
            print("FAIL the imprinter did not switch on: %s" % outputs[len(start) - 1])
            return 1
        failures = 0
        for (_, text, accepted), output in zip(cases, outputs[len(start):]):
            expected = "status %d" % (0 if accepted else 4)
            if output != [expected]:
                failures += 1
                if failures <= 20:
                    print("FAIL %s: the library answered %s, expected %s" % (text, output, expected))
        print("%d texts, %d failure(s)" % (len(cases), failures))
        return 1 if failures else 0
    finally:
        os.system("rm -rf '%s'" % paths.root)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
