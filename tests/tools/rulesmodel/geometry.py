"""The frame helpers of the database that rules call (db/db_cdbframe.cpp, db_cdatabase_frames.cpp and
db_cdatabase_cameras.cpp): paper sizes, turned frames, the physical height, the frame fitted to the sheet, the
cropping-mode classes and the unit that scans. Lengths in 1/1200 inch, angles in 1/10000 degree."""
import csv
import os
import sys

from .database import SUCCESS, to_long
from .names import ADF, COMMON, FLATBED, ID, MACHINE, ROOT, VALUE

sys.path.insert(0, os.path.join(ROOT, "tests", "data", "db"))
import frame_oracle  # noqa: E402

USER0, USER9 = 75, 84
CROP = VALUE["CROPPINGMODE"]


def _sizes():
    table = {value: (0, 0) for value in range(0, 86)}
    with open(os.path.join(ROOT, "tests", "data", "db", "supportedsizes.tsv"), newline="") as stream:
        for row in csv.DictReader(stream, delimiter="\t"):
            table[int(row["value"])] = (int(row["width"]), int(row["height"]))
    for value in range(USER0, USER9 + 1):
        table[value] = (0, 0)
    return table


# The paper sizes by value; the user sizes stay empty until a theme loads custom ones.
SIZES = _sizes()


def clear_user_sizes():
    """The user rows as a new process of the library has them: empty."""
    for value in range(USER0, USER9 + 1):
        SIZES[value] = (0, 0)


def tdiv(a, b):
    """Division truncating toward zero, as C does."""
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


def convert1200(size, centred, width, height, side):
    """Convert1200FromSupportedSizes."""
    if size < 1 or size > USER9:
        return 0
    none = size == 1
    row_width, row_height = SIZES[size]
    if side == ID["FRAMEWIDTH"]:
        return width if none else row_width
    if side == ID["FRAMEHEIGHT"]:
        return height if none else row_height
    if side == ID["FRAMEXOFFSET"]:
        if none or not centred:
            return 0
        return tdiv(tdiv(width - row_width, 2), 12) * 12
    return 0


# Turned frames: the database's oracle of them (tests/data/db/frame_oracle.py).
max_height = frame_oracle.max_height
is_valid_frame = frame_oracle.valid


# -- cropping modes and the unit that scans -------------------------------------------------------------------
def is_cropping_box_allow(mode):
    return mode in (CROP["FIXED"], CROP["RELATIVE"], CROP["LONGPAPER"], CROP["PHOTOINROI"])


def is_cropping_box_alignment_center(db, mode):
    if mode == CROP["FIXED"]:
        return not db.holds(ID["PAPERSOURCE"], VALUE["PAPERSOURCE"]["FLATBED"])
    return mode == CROP["LONGPAPER"]


def is_preview(db):
    return db.holds(ID["PREVIEWMODE"], VALUE["PREVIEWMODE"]["TRUE"])


def cropping_for_preview(db, mode):
    if not is_preview(db):
        return 0
    if mode in (CROP["AUTOMATIC"], CROP["RELATIVE"], CROP["PHOTOINROI"]):
        return CROP["AUTOMATIC"]
    if mode in (CROP["FIXED"], CROP["LONGPAPER"], CROP["NONE"]):
        return CROP["FIXED"]
    return mode


def need_scan_from_flatbed(db):
    if db.unit_override == 2:
        return True
    if db.unit_override == 1:
        return False
    if db.test(9):
        return False
    if is_preview(db):
        acquire = db.holds(ID["PREVIEWIMAGEACQUIRE"], VALUE["PREVIEWIMAGEACQUIRE"]["FALSE"])
        if not acquire and db.bin_of_windowbin(db.current_windowbin()) in (3, 5):
            return False
        if acquire or db.test(13):
            return db.scan_source == 4
    if db.holds(ID["INPUTDOCUMENT"], VALUE["INPUTDOCUMENT"]["ONESIDEDREAR"]):
        return False
    if db.test(6):
        return True
    return db.holds(ID["PAPERSOURCE"], VALUE["PAPERSOURCE"]["FLATBED"])


# -- frames on the sheet --------------------------------------------------------------------------------------
def physical_height_for_ranges(db):
    datum = db.find_current(ID["PHYSICALHEIGHTADJUST"])
    if datum is not None and not db.test(3):
        return datum.cur
    return to_long(db.config.range_max("sheetheight", COMMON))


def _value_in(db, w, bin_, id_):
    datum = db.find_in_window_bin(w, bin_, id_)
    if datum is None or datum is db.BLANK or not db.accessible(datum):
        return 0
    return datum.cur


def fix_range_from_physical_height_adjust(db, datum, only_when_within):
    if datum is None or datum.kind != "R":
        return 1
    height = physical_height_for_ranges(db)
    if only_when_within and height > datum.max:
        return SUCCESS
    height = min(height, datum.dmax)
    value = min(datum.cur, height)
    if datum.id in (ID["FRAMEYOFFSET"], ID["FRAMEHEIGHT"]):
        w, b = datum.w, datum.bin
        y = _value_in(db, w, b, ID["FRAMEYOFFSET"])
        frame_height = _value_in(db, w, b, ID["FRAMEHEIGHT"])
        extent = max_height(_value_in(db, w, b, ID["FRAMEXOFFSET"]), y, _value_in(db, w, b, ID["FRAMEWIDTH"]),
                            frame_height, _value_in(db, w, b, ID["IMAGESKEWANGLE"]))
        if datum.id == ID["FRAMEYOFFSET"]:
            value = max(height - extent, 0) if extent + y > height else y
        else:
            value = frame_height - (extent - height) if extent > height else frame_height
    return db.range_set_current(datum, value, datum.min, height, datum.step)


def adjusted_frame(db, datum):
    """GetAdjustedFrame: the side of the datum's bin in the current window (the window of the windowadd being
    built), fitted to the sheet of the unit that scans."""
    bin_ = datum.bin

    def side(id_):
        if db.window_override < 0:
            return db.find_in_bin(bin_, id_)
        there = db.find_in_window_bin(db.window_override, bin_, id_)
        return there if there is not None and there is not db.BLANK and db.accessible(there) else None

    width, height, x, y = (side(ID[name]) for name in ("FRAMEWIDTH", "FRAMEHEIGHT", "FRAMEXOFFSET", "FRAMEYOFFSET"))
    if None in (width, height, x, y):
        return datum.cur
    flatbed = need_scan_from_flatbed(db)
    target = FLATBED if flatbed else ADF
    sheet_width = to_long(db.config.range_max("sheetwidth", target))
    sheet_height = to_long(db.config.range_max("sheetheight", target))
    fx, fy = min(x.cur, sheet_width), min(y.cur, sheet_height)

    def fit(size_datum, offset, sheet):
        size = size_datum.cur
        cut = offset + size > sheet
        if cut:
            size -= offset + size - sheet
        master = db.master(size_datum)
        if (not flatbed or not cut) and size < master.min:
            size = master.min
        return size

    if datum.id == ID["FRAMEHEIGHT"]:
        return fit(height, fy, sheet_height)
    if datum.id == ID["FRAMEWIDTH"]:
        return fit(width, fx, sheet_width)
    if datum.id == ID["FRAMEXOFFSET"]:
        return fx
    if datum.id == ID["FRAMEYOFFSET"]:
        return fy
    return datum.cur


def default_supported_size():
    """GetDefaultSupportedSizes: the locale measures in US units on this platform."""
    return VALUE["SUPPORTEDSIZES"]["USLETTER"]


def machine(db, id_):
    return db.slot(0, id_, MACHINE)
