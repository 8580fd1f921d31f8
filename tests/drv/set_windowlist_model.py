#!/usr/bin/env python3
"""The set of the window-enabled list, judged by a model of the window map and of the list's rule, run on the
rules model of the database (tests/tools/rulesmodel).

    set_windowlist_model.py BEFORE CONFIG LOOKUP AFTER STATUS TAG...

BEFORE, CONFIG and LOOKUP are the listings of the database just before the set task
(tests/tools/rulesprobe/rules_listing.h); AFTER is its state listing after the task, STATUS the reply's status
word and TAG... the tags the list gave, in order.

The window map: for each window N from 0 to 10, four window-bins in this order, front colour (4N+2), rear colour
(4N+3), front bitonal (4N), rear bitonal (4N+1), each named by its camera and N in two digits
("frontcolor_00", "rearbitonal_10"); the lookup must name every window-bin so.

The rule: the change marks are cleared; every tag is checked first, walking the map from its first row: a row of
a window not in use before the tag's row, a tag of a camera the scanner lacks, or a tag of no row refuses the
list ("fail", nothing changes). Then each listed window-bin's camera is switched on (2), every other one of the
windows in use that the scanner has is switched off (1), each through the set path with its fix-up pass; and
when the sides were not to differ but the current window's front and rear cameras no longer match (bitonal or
colour), the sides are made to differ. The set is the application's: state bit 4 while it runs.

Prints the window-bins the model leaves on, then one line per disagreement; exit status 1 when there is any.

Standard library only.
"""
import difflib
import os
import sys

sys.dont_write_bytecode = True
SOURCE_DIR = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "tools"))

from rulesmodel import listing, rules  # noqa: E402
from rulesmodel.database import SUCCESS  # noqa: E402
from rulesmodel.names import ID, MACHINE, STATE_APPLICATION, WINDOWS  # noqa: E402

ON, OFF = 2, 1
CAMERAS = (("frontcolor", 2), ("rearcolor", 3), ("frontbitonal", 0), ("rearbitonal", 1))


def window_map():
    """[(tag, window-bin)] in row order."""
    return [("%s_%02d" % (name, window), 4 * window + camera) for window in range(WINDOWS)
            for name, camera in CAMERAS]


def status_word(status):
    return {0: "success", 4: "badvalue", 13: "badvalue", 14: "notavailable"}.get(status, "fail")


def camera(db, windowbin):
    """The camera switch of a window-bin, or None when the scanner lacks that camera."""
    datum = db.find_in_window_bin(windowbin // 4, windowbin % 4 + 2, ID["CAMERAENABLE"])
    return datum if datum is not None and datum is not db.BLANK and db.access(datum) != 0 else None


def camera_on(db, bin_):
    """CDatabase::GetCameraEnable: the current window's camera of that bin is on."""
    datum = db.find_in_bin(bin_, ID["CAMERAENABLE"])
    return datum is not None and datum.cur == ON


def apply(db, tags):
    """The list's rule on the model; the reply's status word."""
    rows = window_map()
    chosen = []
    for tag in tags:
        row = 0
        while row < len(rows) and rows[row][1] // 4 < db.windows and rows[row][0] != tag:
            row += 1
        if row == len(rows) or rows[row][1] // 4 >= db.windows or camera(db, rows[row][1]) is None:
            return "fail"
        chosen.append(row)
    for row in chosen:
        status = db.db_set_current_long(camera(db, rows[row][1]), ON)
        if status != SUCCESS:
            return status_word(status)
    for row, (_, windowbin) in enumerate(rows):
        if windowbin // 4 >= db.windows or row in chosen or camera(db, windowbin) is None:
            continue
        status = db.db_set_current_long(camera(db, windowbin), OFF)
        if status != SUCCESS:
            return status_word(status)
    sides = db.find_current(ID["SIDESDIFFERENT"])
    if sides is not None and sides.cur == OFF and (camera_on(db, 2) != camera_on(db, 3) or
                                                   camera_on(db, 4) != camera_on(db, 5)):
        return status_word(db.db_set_current_long(sides, ON))
    return "success"


def read(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as stream:
        return stream.read()


def main(argv):
    if len(argv) < 6:
        sys.exit(__doc__)
    db = listing.load(read(argv[1]), read(argv[2]), read(argv[3]), rules.load_themes())
    after, status, tags = read(argv[4]), argv[5], argv[6:]
    faults = []
    names = dict((value, name) for value, name in db.lookup[ID["WINDOWBIN"]].enums)
    for tag, windowbin in window_map():
        if names.get(windowbin) != tag:
            faults.append("the lookup names window-bin %d %r, the map %r" % (windowbin, names.get(windowbin), tag))
    db.set_state(STATE_APPLICATION)
    db.notify_value.clear()
    db.notify_access.clear()
    db.notify_constraint.clear()
    expected = apply(db, tags)
    db.clear_state(STATE_APPLICATION)
    on = [tag for tag, windowbin in window_map() if camera(db, windowbin) is not None and
          camera(db, windowbin).cur == ON and windowbin // 4 < db.windows]
    print("on %s" % " ".join(on))
    sides = db.slot(0, ID["SIDESDIFFERENT"], MACHINE)
    print("sidesdifferent %s" % (sides.cur if sides else "-"))
    if status != expected:
        faults.append("status %s, the model's %s" % (status, expected))
    model = listing.render_state(db)
    if after != model:
        faults.append("state differs:\n" + "\n".join(list(difflib.unified_diff(
            after.splitlines(), model.splitlines(), "library", "model", lineterm=""))[:60]))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
