"""The rule toolkit of the library (db/id/db_crulekit.cpp) for the model's themes."""
import os
import re

from .names import CF, BF, CR, BR, ID, MACHINE, ROOT, VALUE, other_side, same_side

LONG_PAPER = VALUE["CROPPINGMODE"]["LONGPAPER"]


class Modified:
    """M, the value that started the pass, as one rule datum sees it."""
    __slots__ = ("datum", "id", "bin", "w", "new", "previous", "own_camera", "partner", "other_side")

    def __init__(self, db, own):
        datum = db.modified
        self.datum, self.id, self.bin, self.w = datum, datum.id, datum.bin, datum.w
        is_long = datum.kind != "S"
        self.new = datum.cur if is_long else 0
        self.previous = datum.prev if is_long else 0
        cameras = datum.bin >= 2 and own.bin >= 2
        self.own_camera = datum.bin == own.bin
        self.partner = cameras and datum.bin == same_side(own.bin)
        self.other_side = cameras and datum.bin == other_side(own.bin)


def modified(db, own):
    return Modified(db, own) if db.modified is not None else None


def is_cropping_change_that_counts(m):
    return m.id == ID["CROPPINGMODE"] and (m.own_camera or LONG_PAPER in (m.new, m.previous))


def is_loading(db):
    return db.test(3)


def supported(db, id_, bin_):
    if not 1 <= id_ <= 252 or not 1 <= bin_ <= 5:
        return None
    datum = db.slot(0, id_, bin_)
    return datum if db.accessible(datum) else None


def value_of(db, id_, bin_, fallback):
    datum = supported(db, id_, bin_)
    return datum.cur if datum is not None else fallback


def value_in(db, w, id_, bin_, fallback):
    if not 0 <= w < 11 or supported(db, id_, bin_) is None:
        return fallback
    datum = db.find(w, id_, bin_)
    return datum.cur if db.accessible(datum) else fallback


def cropping_mode(db, bin_):
    return value_of(db, ID["CROPPINGMODE"], bin_, VALUE["CROPPINGMODE"]["AUTOMATIC"])


def is_preview(db):
    return value_of(db, ID["PREVIEWMODE"], MACHINE, VALUE["PREVIEWMODE"]["FALSE"]) == VALUE["PREVIEWMODE"]["TRUE"]


def is_camera_on(db, w, bin_):
    on = VALUE["CAMERAENABLE"]["TRUE"]
    return value_in(db, w, ID["CAMERAENABLE"], bin_, VALUE["CAMERAENABLE"]["FALSE"]) == on


def cameras_in_use(db):
    """(colour front, bitonal front, colour rear, bitonal rear) on in any window in use."""
    return tuple(any(is_camera_on(db, w, bin_) for w in range(db.windows)) for bin_ in (CF, BF, CR, BR))


# -- the driver's configuration numbers -----------------------------------------------------------------------
def _built_in_texts():
    """{(1, tag): text} of the service layer's built-in defaults of section 1 (os/os_coscfgtables.cpp)."""
    tags = {}
    for line in open(os.path.join(ROOT, "os", "os_coscfgtags.h"), encoding="utf-8"):
        match = re.match(r"\s*X\((\d+), ([A-Z0-9_]+),", line)
        if match:
            tags[match.group(2)] = int(match.group(1))
    texts = {}
    for line in open(os.path.join(ROOT, "os", "os_coscfgtables.cpp"), encoding="utf-8"):
        match = re.match(r'\s*D\(([A-Z0-9_]+), "((?:[^"\\]|\\.)*)"\)', line)
        if match and match.group(1) in tags:
            texts[(1, tags[match.group(1)])] = match.group(2)
    return texts


BUILT_IN_TEXTS = _built_in_texts()


def strtol(text):
    """The number C's strtol with base 0 reads from the start of a text; 0 when none."""
    match = re.match(r"\s*([+-]?)(0[xX][0-9a-fA-F]+|0[0-7]*|[1-9][0-9]*)", text)
    if not match:
        return 0
    digits = match.group(2)
    if digits[:2] in ("0x", "0X"):
        number = int(digits, 16)
    elif digits.startswith("0"):
        number = int(digits, 8)
    else:
        number = int(digits)
    return -number if match.group(1) == "-" else number


def config_number(db, section, tag):
    """CRuleKit::ConfigNumber: a text the probe's cfgset gave, else the built-in default."""
    text = db.driver_config.get((section, tag), BUILT_IN_TEXTS.get((section, tag), ""))
    return strtol(text)


def _driver_defaults():
    """{tag: default text} of the driver's own values (dev/dev_drvconfig.cpp)."""
    tags = {}
    for line in open(os.path.join(ROOT, "dev", "dev_drvconfig.h"), encoding="utf-8"):
        match = re.match(r"\s*(DRV_CFGTAG_[A-Z0-9_]+) = (\d+),", line)
        if match:
            tags[match.group(1)] = int(match.group(2))
    defaults = {}
    for line in open(os.path.join(ROOT, "dev", "dev_drvconfig.cpp"), encoding="utf-8"):
        match = re.match(r'\s*\{(DRV_CFGTAG_[A-Z0-9_]+), "[^"]*", (DRV_CFGSECTION_[A-Z]+), "((?:[^"\\]|\\.)*)"\}', line)
        if match and match.group(1) in tags:
            defaults[tags[match.group(1)]] = (1001 if match.group(2) == "DRV_CFGSECTION_DSIDENTITY" else 1002,
                                              match.group(3))
    return defaults


DRIVER_DEFAULTS = _driver_defaults()


def driver_config_number(db, tag):
    """CRuleKit::DriverConfigNumber: the text cfgset gave the tag's section, else the driver's default."""
    section, default = DRIVER_DEFAULTS.get(tag, (1001, ""))
    return strtol(db.driver_config.get((section, tag)) or default)


def is_relaxed(db):
    """Checks are relaxed: SkipIAValidation (section 1, tag 136) is not 0 while an application (4) or GUI (5)
    request is served."""
    return (db.test(4) or db.test(5)) and config_number(db, 1, 136) != 0


def is_id_supported(db, id_):
    """CDatabase::IsIdSupported."""
    return any(db.accessible(db.slot(0, id_, bin_)) for bin_ in range(1, 6))


def unsupport_if_empty(db, datum):
    """CRuleKit::UnsupportIfEmpty: an enumeration offering nothing is not offered at all."""
    if datum.def_items:
        return False
    if datum.access != 0:
        db.set_access(datum, 0)
    return True
