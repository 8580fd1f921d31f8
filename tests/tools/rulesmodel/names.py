"""The names of db/db_def.h as numbers: capability ids, their enumerated values, bins, access, state bits.

    ID["FRAMEWIDTH"] == 99, VALUE["CROPPINGMODE"]["LONGPAPER"] == 5, NAME["DB_ACCESS_READWRITE"] == 4
"""
import os
import re

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", ".."))
DB_DEF = os.path.join(ROOT, "db", "db_def.h")


def _read(path):
    names = {}
    for line in open(path, encoding="utf-8"):
        match = re.match(r"\s*([A-Z][A-Z0-9_]*) = (-?(?:0x[0-9a-fA-F]+|\d+))[,;]?", line)
        if match:
            names[match.group(1)] = int(match.group(2), 0)
    return names


NAME = _read(DB_DEF)
ID = {name[6:]: value for name, value in NAME.items() if name.startswith("DB_ID_") and "_ENUM_" not in name}
VALUE = {}
for _name, _value in NAME.items():
    if _name.startswith("DB_ID_") and "_ENUM_" in _name:
        _capability, _, _item = _name[6:].partition("_ENUM_")
        VALUE.setdefault(_capability, {})[_item] = _value
NAME_OF_ID = {value: name for name, value in ID.items() if 1 <= value <= 252}

# Bins, access, state bits and notification kinds the model uses by name.
MACHINE, BF, BR, CF, CR = 1, 2, 3, 4, 5
CAMERAS = (BF, BR, CF, CR)
WINDOWS = 11
STATE_FIXUP, STATE_LOADING, STATE_APPLICATION, STATE_GUI = 2, 3, 4, 5
PROFILE_GROUP = 0x21FFFF
# Targets of the configuration keys: their suffixes.
COMMON, ADF, FLATBED = 1, 2, 3
SUFFIX = {0: "", 1: "", 2: "_adf", 3: "_flatbed", 4: ""}


def other_side(bin_number):
    return {BF: BR, BR: BF, CF: CR, CR: CF}.get(bin_number, bin_number)


def same_side(bin_number):
    return {BF: CF, BR: CR, CF: BF, CR: BR}.get(bin_number, bin_number)
