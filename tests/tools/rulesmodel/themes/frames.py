"""Frame geometry: FRAMEWIDTH, FRAMEHEIGHT, FRAMEXOFFSET and FRAMEYOFFSET (db/id/db_cframe.cpp)."""
from .. import geometry, kit
from ..database import REFUSED, to_long
from ..names import ADF, COMMON, FLATBED, ID, MACHINE, VALUE
from ..rules import Rule, rule

WIDTH, HEIGHT, X, Y = ID["FRAMEWIDTH"], ID["FRAMEHEIGHT"], ID["FRAMEXOFFSET"], ID["FRAMEYOFFSET"]
SIZE_NONE = VALUE["SUPPORTEDSIZES"]["NONE"]
LONG_PAPER = VALUE["CROPPINGMODE"]["LONGPAPER"]


def vertical(datum):
    return datum.id in (HEIGHT, Y)


def offset(datum):
    return datum.id in (X, Y)


def config_max(db, key, target):
    return to_long(db.config.range_max(key, target))


def physical_width(db):
    return kit.value_of(db, ID["PHYSICALWIDTH"], MACHINE, config_max(db, "sheetwidth", COMMON))


def physical_height(db):
    return kit.value_of(db, ID["PHYSICALHEIGHTADJUST"], MACHINE, config_max(db, "sheetheight", COMMON))


def size_value(db, side, size, mode, width=None, height=None):
    """S(size, mode) for a side; None for a size that converts to no paper."""
    if width is None:
        width, height = physical_width(db), physical_height(db)
    if size < 1 or size > geometry.USER9:
        return None
    centred = geometry.is_cropping_box_alignment_center(db, mode)
    if geometry.convert1200(size, centred, width, height, WIDTH) <= 0 or \
            geometry.convert1200(size, centred, width, height, HEIGHT) <= 0:
        return None
    return geometry.convert1200(size, centred, width, height, side)


def side_in(db, w, id_, bin_):
    return db.slot(w, id_, bin_)


def offers_no_paper(db):
    sizes = kit.supported(db, ID["SUPPORTEDSIZES"], MACHINE)
    return sizes is not None and sizes.kind == "E" and SIZE_NONE in sizes.cur_items


def store(db, datum, value):
    db.set_current_long(datum, value)


@rule("FRAMEWIDTH", "FRAMEHEIGHT")
class Frame(Rule):
    def fix_default(self, db, own):
        sheet_width = config_max(db, "sheetwidth", COMMON)
        sheet_height = config_max(db, "sheetheight", COMMON)
        sheet = sheet_height if vertical(own) else sheet_width
        if sheet > 0:
            minimum = own.dmin
            maximum = sheet - (minimum if offset(own) else 0)
            db.range_set_default(own, maximum, minimum, maximum, own.dstep)
        value = size_value(db, own.id, geometry.default_supported_size(), kit.cropping_mode(db, own.bin),
                           sheet_width, sheet_height)
        if value is not None:
            value = min(max(value, own.dmin), own.dmax)
            db.range_set_default(own, value, own.dmin, own.dmax, own.dstep)
        db.fix_default_reset(own)
        if vertical(own):
            geometry.fix_range_from_physical_height_adjust(db, own, False)
        for w in range(1, db.windows):
            there = side_in(db, w, own.id, own.bin)
            if there is not None:
                store(db, there, own.cur)
        db.base_fix_default(own)

    def fix_access(self, db, own):
        mode = kit.cropping_mode(db, own.bin)
        own_box = offers_no_paper(db) and geometry.is_cropping_box_allow(mode)
        if own.id == Y and mode == LONG_PAPER:
            own_box = False
        db.set_access(own, 4 if own_box else 5)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None:
            return
        if m.id == ID["PHYSICALHEIGHTADJUST"]:
            if vertical(own):
                geometry.fix_range_from_physical_height_adjust(db, own, False)
            return
        if kit.is_loading(db):
            return
        if m.id == own.id:
            self._same_side(db, own, m)
        elif m.id == ID["CROPPINGMODE"]:
            self._cropping(db, own, m)
        elif m.id == ID["SUPPORTEDSIZES"]:
            value = size_value(db, own.id, m.new, kit.cropping_mode(db, own.bin))
            if value is not None:
                store(db, own, value)
                for w in range(1, db.windows):
                    there = side_in(db, w, own.id, own.bin)
                    if there is not None:
                        store(db, there, value)
        elif m.id == ID["WINDOWSIZE"]:
            if m.new == SIZE_NONE or (not m.own_camera and kit.cropping_mode(db, m.bin) != LONG_PAPER):
                return
            value = size_value(db, own.id, m.new, kit.cropping_mode(db, own.bin))
            if value is not None:
                store(db, own, value)

    def make_xml(self, db, own, value, consumer):
        """The value the scanner receives: the whole sheet of the unit for a preview with a fixed box, else the
        side of the window being written fitted to the sheet."""
        mode = kit.cropping_mode(db, own.bin)
        fixed_preview = consumer == 4 and kit.is_preview(db) and \
            geometry.cropping_for_preview(db, mode) == VALUE["CROPPINGMODE"]["FIXED"]
        if not fixed_preview:
            return geometry.adjusted_frame(db, own)
        if offset(own):
            return 0
        flatbed = geometry.need_scan_from_flatbed(db)
        if own.id == WIDTH:
            return config_max(db, "sheetwidth", FLATBED if flatbed else ADF)
        return config_max(db, "sheetheight", FLATBED) if flatbed else physical_height(db)

    @staticmethod
    def _cropping(db, own, m):
        if not kit.is_cropping_change_that_counts(m):
            return
        mode = m.new
        if geometry.is_cropping_box_allow(mode):
            db.set_access(own, 4)
            window_size = kit.value_in(db, m.w, ID["WINDOWSIZE"], m.bin, SIZE_NONE)
            paper = kit.value_of(db, ID["SUPPORTEDSIZES"], MACHINE, SIZE_NONE)
            if db_supports(db, ID["WINDOWSIZE"]) and window_size != SIZE_NONE:
                value = size_value(db, own.id, window_size, mode)
                if value is not None:
                    store(db, own, value)
            elif paper == SIZE_NONE:
                if mode == LONG_PAPER:
                    store(db, own, 0 if own.id == Y else kit.value_in(db, m.w, own.id, m.bin, own.cur))
            else:
                value = size_value(db, own.id, paper, mode)
                if value is not None:
                    store(db, own, value)
        else:
            db.set_access(own, 5)
        if not offers_no_paper(db):
            db.set_access(own, 5)

    @staticmethod
    def _same_side(db, own, m):
        long_paper = kit.cropping_mode(db, m.bin) == LONG_PAPER
        if own.id == Y:
            if long_paper:
                store(db, own, 0)
            if m.own_camera:
                geometry.fix_range_from_physical_height_adjust(db, own, True)
        elif own.id == HEIGHT and m.own_camera:
            geometry.fix_range_from_physical_height_adjust(db, own, True)
        elif not m.own_camera and long_paper:
            store(db, own, m.new)


def db_supports(db, id_):
    """CDatabase::IsIdSupported."""
    return any(db.accessible(db.slot(0, id_, bin_)) for bin_ in range(1, 6))


@rule("FRAMEXOFFSET", "FRAMEYOFFSET")
class FrameOffset(Frame):
    def validate(self, db, own, window, value):
        if not 0 <= window < 11:
            return REFUSED

        def side(id_):
            return value if id_ == own.id else kit.value_in(db, window, id_, own.bin, 0)

        width, height = db.slot(0, WIDTH, own.bin), db.slot(0, HEIGHT, own.bin)
        if not geometry.is_valid_frame(side(X), side(Y), side(WIDTH), side(HEIGHT),
                                       kit.value_in(db, window, ID["IMAGESKEWANGLE"], own.bin, 0),
                                       width.min if width else 0, height.min if height else 0,
                                       physical_width(db), physical_height(db)):
            return REFUSED
        return db.base_validate(own, window, value)


# -- the harness's random walk --------------------------------------------------------------------------------
def walk_moves(db, rng):
    """One candidate a kind: cropping modes, paper and window sizes (now and then one of no paper), frame
    sides in any window (on or off the grid and the sheet), the physical height, the skew angle, the paper
    source, the preview, a profile load around a change, a forced size."""
    moves = []
    cameras = [bin_ for bin_ in (2, 3, 4, 5) if db.accessible(db.slot(0, ID["CROPPINGMODE"], bin_))]
    for bin_ in cameras:
        modes = db.slot(0, ID["CROPPINGMODE"], bin_).cur_items or [1]
        moves.append("set %d 0 %d %d" % (ID["CROPPINGMODE"], bin_, rng.choice(modes)))
        sizes = db.slot(0, ID["WINDOWSIZE"], bin_)
        if sizes is not None and sizes.cur_items:
            moves.append("set %d %d %d %d" % (ID["WINDOWSIZE"], rng.randrange(db.windows), bin_,
                                              rng.choice(sizes.cur_items)))
        side = rng.choice((WIDTH, HEIGHT, X, Y))
        master = db.slot(0, side, bin_)
        value = rng.randrange(-1200, master.max + 2400)
        if rng.random() < 0.8:
            value -= value % 12
        moves.append("set %d %d %d %d" % (side, rng.randrange(db.windows), bin_, value))
        moves.append("set %d %d %d %d" % (ID["IMAGESKEWANGLE"], rng.randrange(db.windows), bin_,
                                          rng.choice((0, 0, 10000, -10000, 450000, -3600000, 3600001))))
    paper = db.slot(0, ID["SUPPORTEDSIZES"], MACHINE)
    if paper is not None and paper.cur_items:
        moves.append("set %d 0 1 %d" % (ID["SUPPORTEDSIZES"], rng.choice(paper.cur_items)))
    height = db.slot(0, ID["PHYSICALHEIGHTADJUST"], MACHINE)
    if height is not None:
        moves.append("set %d 0 1 %d" % (ID["PHYSICALHEIGHTADJUST"],
                                        rng.randrange(height.min, height.max + 1, max(height.step, 1))))
    for capability in ("PAPERSOURCE", "PREVIEWMODE"):
        datum = db.slot(0, ID[capability], MACHINE)
        if datum is not None and datum.cur_items:
            moves.append("set %d 0 1 %d" % (ID[capability], rng.choice(datum.cur_items)))
    moves.append(rng.choice(("stateset 3", "stateclear 3", "stateclear 3")))
    moves.append("write %d 0 1 %d" % (ID["SUPPORTEDSIZES"], rng.choice((0, 85, 76, 2, 18))))
    return moves
