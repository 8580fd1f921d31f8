"""The rule toolkit of the library (db/id/db_crulekit.cpp) for the model's themes."""
from .names import CF, BF, CR, BR, ID, MACHINE, VALUE, other_side, same_side

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
