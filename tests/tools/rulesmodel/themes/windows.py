"""Window bins, sizes, cropping, orientation and limits: WINDOWBIN, WINDOW, WINDOWSIZE, SUPPORTEDSIZES,
CROPPINGMODE, ORIENTATION, IMAGESKEWANGLE, IMAGEFORMAT, UNITS, PAGESIZELIMIT and PHYSICALWIDTH
(db/id/db_cwindows*.cpp), written from the steps of their rules; and the database's helpers they call (the
custom sizes, the size of the frames, the size lists cut to the physical height, the longest frame bottom, the
profile container of the window-bins)."""
from .. import configlists, geometry, kit
from ..database import PROFILES_KIND, REFUSED, SUCCESS, to_long
from ..names import BF, BR, CAMERAS, CF, COMMON, CR, ID, MACHINE, PROFILE_GROUP, VALUE
from ..rules import Rule, rule
from .frames import offers_no_paper, physical_height, physical_width

WIDTH, HEIGHT, X, Y = ID["FRAMEWIDTH"], ID["FRAMEHEIGHT"], ID["FRAMEXOFFSET"], ID["FRAMEYOFFSET"]
FRAME_SIDES = (WIDTH, HEIGHT, X, Y)
SKEW, CROPPING, WINDOWSIZE = ID["IMAGESKEWANGLE"], ID["CROPPINGMODE"], ID["WINDOWSIZE"]
SIZE_NONE, LETTER, A4 = 1, 2, 18
AUTOMATIC, FIXED, LONG_PAPER = 1, 2, 5
WINDOWBIN_NONE = 44
ROT270 = VALUE["ORIENTATION"]["ROT270"]
RGB_24 = VALUE["IMAGEFORMAT"]["RGB_24"]
MEASUREMENT = 2  # the locale's: US on this platform
SUPPORTEDSIZES_SECTION, FIRST_ENTRY, ENTRIES = 4, 221, 51
FORCE_UNITS = (1001, 1001)
STATE_ECDOCUSTOMLEARN = 12
# The ids whose change can move the lowest frame bottom (CDatabase::GetHeightMax), by kind.
FRAME_BOTTOM_KINDS = {ID[name]: "frames" for name in ("AUTOCOLORCONTENT", "CAMERAENABLE", "CROPPINGMODE",
                                                       "FRAMEHEIGHT", "FRAMEYOFFSET", "INPUTDOCUMENT",
                                                       "PAGESIZELIMIT", "TOGGLEPATCH")}
FRAME_BOTTOM_KINDS.update({ID["SUPPORTEDSIZES"]: "paper", WINDOWSIZE: "window"})


def allows_box(mode):
    return geometry.is_cropping_box_allow(mode)


def offered(flag):
    return 4 if flag else 5


def usable(db, datum):
    """A datum of FindInWindowBin that a helper reads: there and accessible."""
    return datum is not None and datum is not db.BLANK and db.accessible(datum)


# -- the database's helpers -----------------------------------------------------------------------------------
def strtol10(text):
    """strtol with base 10, saturated to 32 bits as the custom-size entries are read."""
    text = text.lstrip(" \t\n\v\f\r")
    sign, index = 1, 0
    if text[:1] in "+-" and text[:1]:
        sign, index = (-1 if text[0] == "-" else 1), 1
    digits = ""
    while index < len(text) and text[index].isdigit() and text[index].isascii():
        digits += text[index]
        index += 1
    number = sign * int(digits) if digits else 0
    return max(min(number, 2 ** 31 - 1), -2 ** 31)


def parse_custom_entry(entry):
    """(width, height) of one "name unit whole fraction whole fraction" entry; None when it is skipped."""
    if len(entry.encode("utf-8", "surrogateescape")) >= 256:
        return None
    tokens = [token for token in entry.replace("\t", " ").split(" ") if token]
    if len(tokens) < 6:
        return None
    unit = tokens[1]
    inches = len(unit.encode("utf-8", "surrogateescape")) <= 15 and unit.isascii() and unit.lower() == "inches"
    width, width_fraction, height, height_fraction = (strtol10(token) for token in tokens[2:6])
    if inches:
        return width * 1200 + width_fraction * 12, height * 1200 + height_fraction * 12
    return (geometry.tdiv(width * 120000 + width_fraction * 1200, 254),
            geometry.tdiv(height * 120000 + height_fraction * 1200, 254))


def load_custom_supported_sizes(db):
    """ConvertLoadCustomSupportedSizes: the user rows from the entries N0, N1, ... of section SupportedSizes, up
    to the first empty one; the last matching entry wins, a size without one keeps its row."""
    for number in range(10):
        pattern = "USER%d" % number
        for index in range(ENTRIES):
            entry = db.driver_config.get((SUPPORTEDSIZES_SECTION, FIRST_ENTRY + index), "")
            if not entry:
                break
            if pattern in entry:
                size = parse_custom_entry(entry)
                if size is not None:
                    geometry.SIZES[geometry.USER0 + number] = size


def size_from_frame(x, y, width, height):
    """ConvertWindowSizeFromFrame: the first size of exactly this width and height at the top edge."""
    if y != 0:
        return SIZE_NONE
    for size in range(2, geometry.USER9 + 1):
        row = geometry.SIZES[size]
        if row[0] > 0 and row[1] > 0 and row == (width, height):
            return size
    return SIZE_NONE


def size_from_current_frames(db):
    """ConvertSupportedSizesFromCurrentFrame: the size every frame of every window in use shares."""
    def value(w, bin_, id_):
        datum = db.find_in_window_bin(w, bin_, id_)
        return datum.cur if datum is not None and datum is not db.BLANK and db.container(datum) != "S" else 0

    sizes = {WIDTH: 0, HEIGHT: 0}
    for w in range(db.windows):
        for bin_ in CAMERAS:
            if value(w, bin_, SKEW) != 0 or value(w, bin_, Y) != 0:
                return SIZE_NONE
            for side in (WIDTH, HEIGHT):
                length = value(w, bin_, side)
                if length == 0:
                    continue
                if sizes[side] == 0:
                    sizes[side] = length
                elif length != sizes[side]:
                    return SIZE_NONE
    return size_from_frame(0, 0, sizes[WIDTH], sizes[HEIGHT])


def fix_image_preset(db, datum):
    """FixImagePresetFromPhysicalHeightAdjust: the default sizes no higher than the physical height."""
    found = db.find_current(ID["PHYSICALHEIGHTADJUST"])
    height = found.cur if found is not None else to_long(db.config.range_max("sheetheight", COMMON))
    found = db.find_current(ID["PHYSICALWIDTH"])
    width = found.cur if found is not None else 0
    db.delete_all_current_items(datum)
    for size in list(datum.def_items):
        if geometry.convert1200(size, False, width, height, HEIGHT) <= height:
            db.add_current_item(datum, size)
    if datum.cur_items and datum.cur not in datum.cur_items:
        db.set_current_long(datum, datum.cur_items[0])


def camera_enable(db, bin_):
    datum = db.find_in_bin(bin_, ID["CAMERAENABLE"])
    return datum is not None and datum.cur == 2


def is_defined_cropbox(db, bin_):
    """CDatabase::IsDefinedCropbox."""
    cropping = db.find_in_bin(bin_, CROPPING)
    if cropping is None:
        return False
    toggle = db.find_in_bin(MACHINE, ID["TOGGLEPATCH"])
    toggle = toggle.cur if toggle is not None else 1
    rear = bin_ in (BR, CR)
    bitonal, colour = (BR, CR) if rear else (BF, CF)
    auto_colour = False
    if camera_enable(db, bitonal) or camera_enable(db, colour):
        for side in (bitonal, colour):
            content = db.find_in_bin(side, ID["AUTOCOLORCONTENT"])
            auto_colour = auto_colour or (content is not None and content.cur != 1)
    if cropping.cur in (AUTOMATIC, 4, 8):
        return False
    if camera_enable(db, bin_):
        return True
    return toggle != 1 or auto_colour


def height_max(db, changed):
    """GetHeightMax: the lowest frame bottom the windows in use and the cameras with a box ask for."""
    kind = FRAME_BOTTOM_KINDS.get(changed.id)
    if kind is None:
        return 0
    boxes = {bin_: is_defined_cropbox(db, bin_) for bin_ in CAMERAS}
    found = db.find_current(ID["PHYSICALWIDTH"])
    width = found.cur if found is not None else 0
    found = db.find_current(ID["PHYSICALHEIGHTADJUST"])
    height = found.cur if found is not None else 0

    def size_bottom(size):
        return geometry.convert1200(size, False, width, height, HEIGHT) + \
            geometry.convert1200(size, False, width, height, Y)

    longest = 0
    for w in range(db.windows):
        for bin_ in CAMERAS:
            if not boxes[bin_]:
                continue
            if kind == "frames":
                y, frame_height = db.find_in_window_bin(w, bin_, Y), db.find_in_window_bin(w, bin_, HEIGHT)
                if not usable(db, y) or not usable(db, frame_height):
                    continue
                bottom = y.cur + frame_height.cur
            elif kind == "paper":
                bottom = size_bottom(changed.cur)
            else:
                size = db.find_in_window_bin(w, bin_, WINDOWSIZE)
                if not usable(db, size):
                    continue
                bottom = size_bottom(size.cur)
            longest = max(longest, bottom)
    return longest


def compare_profile_container(db, datum):
    """CompareProfileContainer: the profile change of the window-bins while their list differs from the
    container's."""
    container = getattr(db, "windowbin_profile", None)
    record = db.lookup.get(datum.id)
    if container is None or record is None or record.group & PROFILE_GROUP == 0:
        return
    for index, item in enumerate(datum.cur_items):
        if item != db.item_at(container, index):
            db.notify_set(PROFILES_KIND, datum)
            return
    db.notify_reset(PROFILES_KIND, datum)


def default_windows(db):
    window = db.slot(0, ID["WINDOW"], MACHINE)
    return len(window.def_items) if window is not None and window.kind == "E" else 0


# -- window-bin values ----------------------------------------------------------------------------------------
def is_front(windowbin):
    return 0 <= windowbin < 44 and windowbin % 2 == 0


def opposite_side(windowbin):
    return windowbin ^ 1 if 0 <= windowbin < 44 else -1


@rule("WINDOWBIN")
class WindowBin(Rule):
    def fix_default(self, db, own):
        bitonal = db.config.enum_exists("imageformat", "bw", COMMON)
        colour = db.config.enum_exists("imageformat", "rgb_24", COMMON)
        duplex = db.config.exists("duplex", COMMON)
        for window in range(default_windows(db)):
            first = 4 * window
            if not bitonal:
                db.delete_default_item(own, first)
            if not colour:
                db.delete_default_item(own, first + 2)
            if not duplex or not bitonal:
                db.delete_default_item(own, first + 1)
            if not duplex or not colour:
                db.delete_default_item(own, first + 3)
        db.fix_default_reset(own)
        db.base_fix_default(own)
        # Every default reset copies the default list into the container.
        db.windowbin_profile = list(own.def_items)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None:
            return
        if m.id == ID["WINDOW"]:
            if not 0 <= m.new < 11 or not 0 <= own.cur < 44:
                db.set_current_long(own, WINDOWBIN_NONE)
            else:
                db.set_current_long(own, 4 * m.new + own.cur % 4)
        elif m.id == own.id:
            compare_profile_container(db, own)
        elif m.id == ID["INPUTDOCUMENT"]:
            if m.new in (1, 2):
                move = not is_front(own.cur)
            elif m.new == 3:
                move = is_front(own.cur)
            else:
                return
            if move and opposite_side(own.cur) >= 0:
                db.set_current_long(own, opposite_side(own.cur))


@rule("WINDOW")
class Window(Rule):
    def fix_default(self, db, own):
        db.windows = min(max(len(own.cur_items), 1), 11)
        db.base_fix_default(own)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is not None and m.id == ID["WINDOWBIN"] and 0 <= m.new < 44:
            db.set_current_long(own, m.new // 4)


# -- sizes ----------------------------------------------------------------------------------------------------
def sizes_fix_default(db, own, any_locale_size):
    sheet_width = to_long(db.config.range_max("sheetwidth", COMMON))
    sheet_height = to_long(db.config.range_max("sheetheight", COMMON))

    def fits(size):
        width = geometry.convert1200(size, False, 0, 0, WIDTH)
        height = geometry.convert1200(size, False, 0, 0, HEIGHT)
        return width >= 1 and height >= 1 and (sheet_width <= 0 or width <= sheet_width) and \
            (sheet_height <= 0 or height <= sheet_height)

    for size in [size for size in own.def_items if size != SIZE_NONE and not fits(size)]:
        db.delete_default_item(own, size)
    load_custom_supported_sizes(db)
    for size in range(geometry.USER0, geometry.USER9 + 1):
        if fits(size):
            db.add_default_item(own, size)
    size = {1: A4, 2: LETTER}.get(MEASUREMENT)
    if size is not None and (any_locale_size or size in own.def_items):
        own.dflt = size
    db.fix_default_reset(own)
    fix_image_preset(db, own)


@rule("SUPPORTEDSIZES")
class SupportedSizes(Rule):
    def fix_default(self, db, own):
        sizes_fix_default(db, own, False)

    def fix_access(self, db, own):
        mode = kit.cropping_mode(db, db.bin_of_windowbin(db.current_windowbin()))
        db.set_access(own, offered(allows_box(mode)))

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None:
            return
        if m.id == ID["WINDOWBIN"]:
            self.fix_access(db, own)
        elif m.id == WINDOWSIZE:
            same = all(kit.value_in(db, w, WINDOWSIZE, bin_, m.new) == m.new
                       for w in range(db.windows) for bin_ in CAMERAS)
            db.set_current_long(own, m.new if same else SIZE_NONE)
        elif m.id == ID["PHYSICALHEIGHTADJUST"]:
            fix_image_preset(db, own)
        elif m.id == CROPPING:
            db.set_access(own, offered(allows_box(m.new)))
        elif m.id == SKEW or m.id in FRAME_SIDES:
            size = size_from_current_frames(db)
            if size in own.cur_items:
                db.set_current_long(own, size)


@rule("WINDOWSIZE")
class WindowSize(Rule):
    def fix_default(self, db, own):
        sizes_fix_default(db, own, True)
        db.base_fix_default(own)

    def fix_access(self, db, own):
        db.set_access(own, offered(offers_no_paper(db) and allows_box(kit.cropping_mode(db, own.bin))))

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None:
            return
        long_paper_camera = kit.cropping_mode(db, m.bin) == LONG_PAPER
        if m.id == CROPPING:
            if not m.own_camera and m.new == LONG_PAPER:
                db.set_current_long(own, kit.value_in(db, m.w, WINDOWSIZE, m.bin, own.cur))
            if kit.is_cropping_change_that_counts(m):
                db.set_access(own, offered(offers_no_paper(db) and allows_box(m.new)))
        elif m.id == ID["SUPPORTEDSIZES"]:
            if not kit.is_loading(db):
                db.set_current_long(own, m.new)
                for w in range(1, db.windows):
                    there = db.slot(w, WINDOWSIZE, own.bin)
                    if there is not None:
                        db.set_current_long(there, m.new)
        elif m.id == WINDOWSIZE:
            if not m.own_camera and long_paper_camera:
                db.set_current_long(own, m.new)
        elif m.id == ID["PHYSICALHEIGHTADJUST"]:
            fix_image_preset(db, own)
        elif m.id == SKEW or m.id in FRAME_SIDES:
            if m.own_camera or long_paper_camera:
                db.set_current_long(own, self._size_of_frame(db, own, m.w, m.bin))

    @staticmethod
    def _size_of_frame(db, own, w, bin_):
        if kit.value_in(db, w, SKEW, bin_, 0) != 0:
            return SIZE_NONE

        def side(id_):
            return kit.value_in(db, w, id_, bin_, 0)

        size = size_from_frame(side(X), side(Y), side(WIDTH), side(HEIGHT))
        return size if size in own.cur_items else SIZE_NONE


@rule("PHYSICALWIDTH")
class PhysicalWidth(Rule):
    def fix_default(self, db, own):
        width = to_long(db.config.range_max("sheetwidth", COMMON))
        if width > 0:
            db.range_set_default(own, width, width, width, own.dstep)
        db.fix_default_reset(own)
        db.base_fix_default(own)


# -- cropping, orientation, skew ------------------------------------------------------------------------------
ENDS_LONG_PAPER = {ID["PAGECOUNT"]: lambda value: value != 0, ID["XFERCOUNT"]: lambda value: value != 0,
                   ID["PAPERSOURCE"]: lambda value: value == 3, ID["TOGGLEPATCH"]: lambda value: value != 1}


@rule("CROPPINGMODE")
class CroppingMode(Rule):
    def fix_default(self, db, own):
        db.base_fix_default(own)
        if db.access(own) == 0:
            return
        configlists.fix_default_enum_from_db_config(db, own, COMMON)
        if not own.def_items:
            db.set_access(own, 0)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None:
            return
        if m.id == CROPPING:
            if m.new == LONG_PAPER:
                if not m.own_camera:
                    db.set_current_long(own, LONG_PAPER)
            elif own.cur == LONG_PAPER:
                db.set_current_long(own, m.new)
        elif m.id == ID["IMAGEEDGEFILL"]:
            if m.own_camera and m.new in (4, 5) and own.cur != AUTOMATIC:
                db.set_current_long(own, AUTOMATIC)
        elif m.id in ENDS_LONG_PAPER and ENDS_LONG_PAPER[m.id](m.new) and own.cur == LONG_PAPER:
            db.set_current_long(own, FIXED)

    def make_xml(self, db, own, value, consumer):
        if kit.is_preview(db):
            return geometry.cropping_for_preview(db, value) or value
        return value


def turned_fits(db, w, bin_, x, y):
    def side(id_):
        return kit.value_in(db, w, id_, bin_, 0)

    width, height = db.slot(0, WIDTH, bin_), db.slot(0, HEIGHT, bin_)
    return geometry.is_valid_frame(x, y, side(HEIGHT), side(WIDTH), side(SKEW), width.min if width else 0,
                                   height.min if height else 0, physical_width(db), physical_height(db))


def orientation_access(db, mode, w, bin_):
    if mode in (FIXED, LONG_PAPER):
        y = 0
    elif mode in (3, 9):
        y = kit.value_in(db, w, X, bin_, 0)
    else:
        return 5
    return offered(turned_fits(db, w, bin_, kit.value_in(db, w, Y, bin_, 0), y))


@rule("ORIENTATION")
class Orientation(Rule):
    def validate(self, db, own, window, value):
        status = db.base_validate(own, window, value)
        if status != SUCCESS or value != ROT270:
            return status
        if not 0 <= window < 11:
            return REFUSED
        fits = turned_fits(db, window, own.bin, kit.value_in(db, window, X, own.bin, 0),
                           kit.value_in(db, window, Y, own.bin, 0))
        return status if fits else REFUSED

    def fix_access(self, db, own):
        db.set_access(own, orientation_access(db, kit.cropping_mode(db, own.bin), 0, own.bin))

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None:
            return
        if m.id == CROPPING:
            if kit.is_cropping_change_that_counts(m):
                db.set_access(own, orientation_access(db, m.new, m.w, m.bin))
        elif m.id in (HEIGHT, WIDTH, Y, SKEW) and m.own_camera:
            self.fix_access(db, own)


@rule("IMAGESKEWANGLE")
class SkewAngle(Rule):
    def fix_access(self, db, own):
        mode = kit.cropping_mode(db, own.bin)
        db.set_access(own, offered(mode != LONG_PAPER and allows_box(mode)))

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None:
            return
        if m.id == CROPPING:
            if not kit.is_cropping_change_that_counts(m):
                return
            if m.new == LONG_PAPER:
                db.set_access(own, 5)
                db.set_current_long(own, 0)
            else:
                db.set_access(own, offered(allows_box(m.new)))
        elif m.id == SKEW:
            if m.own_camera and kit.value_in(db, m.w, CROPPING, m.bin, AUTOMATIC) == LONG_PAPER:
                db.set_current_long(own, 0)
        elif m.id == ID["SUPPORTEDSIZES"]:
            if m.new != SIZE_NONE:
                db.set_current_long(own, 0)
        elif m.id == WINDOWSIZE:
            if m.own_camera and m.new != SIZE_NONE:
                db.set_current_long(own, 0)


# -- format, units, limits ------------------------------------------------------------------------------------
def copy_format_to_windows(db, own, value):
    for w in range(1, db.windows):
        there = db.slot(w, own.id, own.bin)
        if there is not None:
            db.set_current_long(there, value)


@rule("IMAGEFORMAT")
class ImageFormat(Rule):
    def fix_default(self, db, own):
        for name, value in (("bw", 1), ("gray_8", 2)):
            if not db.config.enum_exists("imageformat", name, COMMON):
                db.delete_default_item(own, value)
                db.fix_default_reset(own)
        copy_format_to_windows(db, own, own.cur)
        db.base_fix_default(own)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is not None and m.id == own.id and m.own_camera and m.new in own.cur_items:
            copy_format_to_windows(db, own, m.new)

    def make_xml(self, db, own, value, consumer):
        learning = db.test(STATE_ECDOCUSTOMLEARN) and getattr(getattr(db, "colour", None), "learning", "") == "(none)"
        return RGB_24 if learning and own.bin in (CF, CR) else value


@rule("UNITS")
class Units(Rule):
    def fix_default(self, db, own):
        forced = db.driver_config.get(FORCE_UNITS, "")
        forced = forced.lower() if forced.isascii() else forced
        units = 2 if MEASUREMENT == 1 else 1
        if forced == "inches":
            units = 1
        elif forced == "centimeters":
            units = 2
        own.dflt = units
        db.fix_default_reset(own)


@rule("PAGESIZELIMIT")
class PageSizeLimit(Rule):
    def fix_access(self, db, own):
        flatbed = kit.value_of(db, ID["PAPERSOURCE"], MACHINE, 2) == 3
        enabled = kit.value_of(db, ID["MULTIFEEDLENGTHENABLED"], MACHINE, 1) == 2
        db.set_access(own, 4 if not flatbed and enabled else 1)

    def fix_default(self, db, own):
        if not db.config.exists("multifeedlength_rangemax", COMMON):
            db.set_access(own, 0)
            return
        minimum = to_long(db.config.range_min("multifeedlength", COMMON))
        maximum = to_long(db.config.range_max("multifeedlength", COMMON))
        value = max(min(own.dflt, maximum), min(minimum, maximum))
        db.range_set_default(own, value, minimum, maximum, own.dstep)
        db.fix_default_reset(own)
        geometry.fix_range_from_physical_height_adjust(db, own, False)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None:
            return
        if m.id == ID["PHYSICALHEIGHTADJUST"]:
            geometry.fix_range_from_physical_height_adjust(db, own, False)
        elif kit.is_loading(db):
            return
        elif m.id == own.id:
            geometry.fix_range_from_physical_height_adjust(db, own, True)
        elif m.id in FRAME_BOTTOM_KINDS:
            self._follow_frame_bottom(db, own, height_max(db, m.datum))
        elif m.id in (ID["MULTIFEEDLENGTHENABLED"], ID["PAPERSOURCE"]):
            self.fix_access(db, own)

    @staticmethod
    def _follow_frame_bottom(db, own, bottom):
        value, maximum, step = own.cur, own.max, own.step or own.dstep
        if bottom == 0:
            if own.min != own.dmin:
                db.range_set_current(own, value, own.dmin, maximum, step)
        elif bottom != own.min:
            if bottom > maximum:
                db.range_set_current(own, maximum, maximum, maximum, step)
            elif bottom <= value:
                db.range_set_current(own, value, bottom, maximum, step)
            else:
                db.range_set_current(own, bottom, bottom, maximum, step)
        if own.cur < bottom <= own.max:
            db.set_current_long(own, bottom)


# -- the harness's random walk --------------------------------------------------------------------------------
def walk_moves(db, rng):
    """The window and window-bin (now and then out of their lists or forced out of range), the job, window
    sizes and image formats in any window, orientation, edge fill, the multifeed length and its switch, page
    and image counts, a custom size written to the configuration (the next default fix-up reads it)."""
    moves = []
    for capability in ("WINDOW", "WINDOWBIN", "INPUTDOCUMENT", "MULTIFEEDLENGTHENABLED", "UNITS"):
        datum = db.slot(0, ID[capability], MACHINE)
        if datum is not None and datum.cur_items:
            moves.append("set %d 0 1 %d" % (datum.id, rng.choice(datum.cur_items)))
    moves.append(rng.choice(("set %d 0 1 %d" % (ID["WINDOW"], rng.choice((4, 11))),
                             "write %d 0 1 %d" % (ID["WINDOWBIN"], rng.choice((44, 50, -1))),
                             "write %d 0 1 %d" % (ID["WINDOW"], rng.choice((12, -1))))))
    limit = db.slot(0, ID["PAGESIZELIMIT"], MACHINE)
    if limit is not None:
        moves.append("set %d 0 1 %d" % (limit.id, rng.randrange(limit.dmin - 1200, limit.dmax + 2400, 12)))
    bin_ = rng.choice(CAMERAS)
    for capability in ("IMAGEFORMAT", "ORIENTATION", "IMAGEEDGEFILL"):
        datum = db.slot(0, ID[capability], bin_)
        if datum is not None and datum.cur_items:
            moves.append("set %d %d %d %d" % (datum.id, rng.randrange(db.windows), bin_,
                                              rng.choice(datum.cur_items)))
    for capability in ("PAGECOUNT", "XFERCOUNT"):
        datum = db.slot(0, ID[capability], MACHINE)
        if datum is not None and datum.kind == "R":
            moves.append("set %d 0 1 %d" % (datum.id, rng.choice((datum.min, datum.max))))
    moves.append(rng.choice(("fixdefaultall", "cfgset 4 221 USER0%20inches%206%2067%208%2033",
                             "cfgset 4 221 USER1%20cm%2050%200%2070%200")))
    return moves
