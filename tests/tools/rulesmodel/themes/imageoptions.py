"""Background, edges, filters, blank page and the other image options (db/id/db_cdeskew.cpp, db_cedgefill.cpp,
db_cedgesides.cpp, db_cbackground.cpp, db_cimageoptions.cpp, db_cimagemodes.cpp, db_cblankpage.cpp) and what
they write into the attribute tasks."""
from .. import configlists, geometry, kit
from ..names import BF, BR, CF, CR, COMMON, ADF, FLATBED, ID, MACHINE, VALUE
from ..rules import Rule, rule
from .colour import base_xml, written

V = VALUE
OFF, ON = 1, 2
CROP = V["CROPPINGMODE"]
FILL = V["IMAGEEDGEFILL"]
AUTOMATIC_FILLS = (FILL["AUTOMATIC"], FILL["AUTOMATICWITHTEAR"])
COLOUR_FILLS = (FILL["WHITE"], FILL["BLACK"])
BLACK = V["BACKGROUND"]["BLACK"]
CAMERAS = (BF, BR, CF, CR)
MAIN_SECTION, APPLICATIONTWAINBRIDGE = 1, 166
BLANK = V["BLANKPAGEMODE"]
THRESHOLDING = (2, 24, 25)
BINARIZING = (2, 3, 24, 25)


def is_color(bin_):
    return bin_ in (CF, CR)


def cropping_of(db, bin_):
    return kit.value_of(db, ID["CROPPINGMODE"], bin_, 0)


# -- deskew, border and rotation ------------------------------------------------------------------------------
def followed(db, own):
    """("cropping" | "fill" | None, M): the change deskew and border follow, never while a profile loads."""
    m = kit.modified(db, own)
    if m is None or m.id not in (ID["CROPPINGMODE"], ID["IMAGEEDGEFILL"]) or kit.is_loading(db):
        return None, m
    if kit.is_cropping_change_that_counts(m):
        return "cropping", m
    if m.id == ID["IMAGEEDGEFILL"] and m.own_camera and m.new in AUTOMATIC_FILLS:
        return "fill", m
    return None, m


def deskew_for(mode):
    """(value, access) of deskew under a cropping mode; None for a mode it does not know (logged)."""
    if mode == CROP["AUTOMATIC"]:
        return ON, 4
    if mode in (CROP["RELATIVE"], CROP["AGGRESSIVE"], CROP["PHOTO"], CROP["PHOTOINROI"]):
        return ON, 1
    if mode in (CROP["FIXED"], CROP["LONGPAPER"]):
        return OFF, 1
    return None


@rule("ADDBORDER")
class AddBorder(Rule):
    def fix_access(self, db, own):
        db.set_access(own, 4 if cropping_of(db, own.bin) in (1, 2) else 1)

    def fix_current(self, db, own):
        kind, m = followed(db, own)
        if kind == "cropping":
            if m.new in (1, 2):
                db.set_access(own, 4)
            else:
                db.set_current_long(own, OFF)
                db.set_access(own, 1)
        elif kind == "fill":
            db.set_access(own, 4)

    def xml(self, db, own, value):
        return base_xml(db, own, value if db.access(own) == 4 and not kit.is_preview(db) else OFF)


@rule("AUTOMATICDESKEW")
class AutomaticDeskew(Rule):
    def fix_access(self, db, own):
        decided = deskew_for(cropping_of(db, own.bin))
        if decided is not None:
            db.set_access(own, decided[1])

    def fix_current(self, db, own):
        kind, m = followed(db, own)
        if kind == "cropping":
            decided = deskew_for(m.new)
            if decided is not None:
                db.set_current_long(own, decided[0])
                db.set_access(own, decided[1])
        elif kind == "fill":
            db.set_access(own, 4)
            if own.cur != ON:
                db.set_current_long(own, ON)

    def xml(self, db, own, value):
        fixed = kit.is_preview(db) and geometry.cropping_for_preview(db, cropping_of(db, own.bin)) == CROP["FIXED"]
        return base_xml(db, own, OFF if fixed else value)


@rule("ORTHOGONALROTATE")
class OrthogonalRotate(Rule):
    def xml(self, db, own, value):
        return base_xml(db, own, V["ORTHOGONALROTATE"]["0_DEGREES"] if kit.is_preview(db) else value)


# -- edge fill ------------------------------------------------------------------------------------------------
def fix_access_edge_fill(db, datum):
    """CDatabase::FixAccessEdgeFill: 0 with the edge fill of the datum's window and camera, or when the scanner's
    edge fill is "none" alone (decided, and the fill's list narrowed, by the bottom side)."""
    if not db.config.enum_values("edgefill", COMMON):
        return datum.access
    fill = db.find(datum.w, ID["IMAGEEDGEFILL"], datum.bin)
    if fill is None:
        return 0
    if fill.access == 0:
        db.set_access(datum, 0)
        return 0
    if datum.id == ID["IMAGEEDGEBOTTOM"]:
        configlists.fix_default_enum_from_db_config(db, fill, COMMON)
        if fill.def_items == [FILL["NONE"]]:
            db.set_access(fill, 0)
            db.set_access(datum, 0)
            return 0
    return datum.access


def fill_of(db, bin_):
    return kit.value_of(db, ID["IMAGEEDGEFILL"], bin_, FILL["NONE"])


def all_sides(db, bin_):
    return kit.value_of(db, ID["IMAGEEDGEFILLALLSIDES"], bin_, OFF) == ON


class EdgeFillDefault(Rule):
    def fix_default(self, db, own):
        if fix_access_edge_fill(db, own) != 0:
            db.base_fix_default(own)


@rule("IMAGEEDGEFILL")
class EdgeFill(EdgeFillDefault):
    def fix_current(self, db, own):
        m = db.modified
        if m is None or m.bin != own.bin or m.id not in (ID["AUTOMATICDESKEW"], ID["CROPPINGMODE"]):
            return
        if own.cur not in AUTOMATIC_FILLS:
            return
        holds = cropping_of(db, own.bin) == CROP["AUTOMATIC"] and \
            kit.value_of(db, ID["AUTOMATICDESKEW"], own.bin, 0) == ON
        if not holds:
            db.set_current_long(own, FILL["NONE"])


class EdgeFillSwitch(EdgeFillDefault):
    def fix_access(self, db, own):
        db.set_access(own, 4 if fill_of(db, own.bin) in COLOUR_FILLS else 1)


@rule("IMAGEEDGEFILLALLSIDES")
class EdgeFillAllSides(EdgeFillSwitch):
    def fix_current(self, db, own):
        if db.modified is not None and db.modified.id == ID["IMAGEEDGEFILL"]:
            self.fix_access(db, own)


@rule("IMAGEEDGEFILLALLSIZE")
class EdgeFillAllSize(EdgeFillSwitch):
    def fix_current(self, db, own):
        m = db.modified
        if m is None:
            return
        if m.id == ID["IMAGEEDGEFILL"]:
            self.fix_access(db, own)
        elif m.id == ID["IMAGEEDGEFILLALLSIDES"] and m.bin == own.bin:
            db.set_current_long(own, m.cur)


# side: (sheet, capped at the physical height, copies top while all sides are on)
SIDES = {"IMAGEEDGETOP": ("sheetheight", True, False), "IMAGEEDGEBOTTOM": ("sheetheight", True, True),
         "IMAGEEDGELEFT": ("sheetwidth", False, True), "IMAGEEDGERIGHT": ("sheetwidth", False, True)}
SIDE_OF = {ID[name]: side for name, side in SIDES.items()}


def unit_sheet(db, sheet):
    """The sheet of the unit that scans; the common one for a unit without its own (0: none)."""
    target = FLATBED if geometry.need_scan_from_flatbed(db) else ADF
    value = db.config.range_max(sheet, target)
    return value if value > 0 else max(db.config.range_max(sheet, COMMON), 0)


class EdgeSide(Rule):
    def fix_default(self, db, own):
        sheet, vertical, _ = SIDE_OF[own.id]
        if fix_access_edge_fill(db, own) == 0:
            return
        db.range_set_default(own, own.dmin, own.dmin, db.config.range_max(sheet, COMMON), own.dstep)
        db.fix_default_reset(own)
        if vertical:
            geometry.fix_range_from_physical_height_adjust(db, own, False)
        db.base_fix_default(own)

    def fix_access(self, db, own):
        copies_top = SIDE_OF[own.id][2]
        access = 1
        if fill_of(db, own.bin) in COLOUR_FILLS:
            access = 5 if copies_top and all_sides(db, own.bin) else 4
        db.set_access(own, access)

    def fix_current(self, db, own):
        m = db.modified
        if m is None:
            return
        _, vertical, copies_top = SIDE_OF[own.id]
        own_camera = m.bin == own.bin
        if m.id == own.id:
            if own_camera and vertical:
                geometry.fix_range_from_physical_height_adjust(db, own, True)
        elif m.id == ID["IMAGEEDGEFILL"]:
            self.fix_access(db, own)
        elif m.id == ID["IMAGEEDGEFILLALLSIDES"]:
            if not copies_top:
                self.fix_access(db, own)
            elif own_camera:
                if m.cur == ON:
                    db.set_current_long(own, kit.value_of(db, ID["IMAGEEDGETOP"], own.bin, own.cur))
                    if vertical:
                        geometry.fix_range_from_physical_height_adjust(db, own, True)
                self.fix_access(db, own)
        elif m.id == ID["IMAGEEDGETOP"]:
            if copies_top and own_camera and all_sides(db, own.bin):
                db.set_current_long(own, m.cur)
        elif m.id == ID["PHYSICALHEIGHTADJUST"]:
            if vertical:
                geometry.fix_range_from_physical_height_adjust(db, own, False)

    def xml(self, db, own, value):
        sheet = unit_sheet(db, SIDE_OF[own.id][0])
        return base_xml(db, own, min(value, sheet) if sheet > 0 else value)


rule(*SIDES)(EdgeSide)


# -- background -----------------------------------------------------------------------------------------------
def offer_backgrounds(db, own):
    count = len(own.def_items)
    if count == 0:
        db.set_access(own, 0)
    elif count == 1:
        db.set_access(own, 3)
    elif BLACK in own.def_items:
        own.dflt = BLACK
        db.fix_default_reset(own)


def sides_same(db):
    values = db.config.enum_values("backgroundsidessame", COMMON)
    return bool(values) and values[0] == "true"


@rule("BACKGROUND")
class Background(Rule):
    def fix_default(self, db, own):
        configlists.fix_default_enum_from_db_config(db, own, ADF)
        offer_backgrounds(db, own)
        db.base_fix_default(own)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None or m.id != ID["BACKGROUND"] or m.datum is own:
            return
        if m.partner or sides_same(db):
            db.set_current_long(own, m.new)

    def xml(self, db, own, value):
        if geometry.need_scan_from_flatbed(db):
            platen = kit.supported(db, ID["BACKGROUNDPLATEN"], MACHINE)
            if platen is None:
                return None
            value = platen.cur
        return base_xml(db, own, value)


@rule("BACKGROUNDPLATEN")
class BackgroundPlaten(Rule):
    def fix_default(self, db, own):
        if db.config.exists("modeldirectoryflatbed", COMMON):
            configlists.fix_default_enum_from_db_config(db, own, COMMON)
            offer_backgrounds(db, own)
        else:
            db.set_access(own, 0)
        db.base_fix_default(own)


# -- options another setting frees ----------------------------------------------------------------------------
def in_window0(db, id_, bin_):
    return kit.value_of(db, id_, bin_, 0)


def in_current_window(db, id_, bin_):
    datum = db.find_in_bin(bin_, id_)
    return datum.cur if datum is not None else 0


def freed(free):
    return 4 if free else 1


def adjust_aggressiveness(db, bin_):
    return freed(in_window0(db, ID["BACKGROUNDADJUSTMODE"], bin_) in (3, 4)) if is_color(bin_) else None


def adjust_apply_to(db, bin_):
    return freed(in_current_window(db, ID["BACKGROUNDADJUSTMODE"], bin_) == 4) if is_color(bin_) else None


def boldness_aggressiveness(db, bin_):
    return freed(in_window0(db, ID["FOREGROUNDBOLDNESSMODE"], bin_) == 3) if is_color(bin_) else None


def threshold(db, bin_):
    if is_color(bin_):
        return 1
    if in_current_window(db, ID["HALFTONES"], bin_) in (2, 3):
        return 4
    return None if kit.config_number(db, MAIN_SECTION, APPLICATIONTWAINBRIDGE) != 0 else 1


# capability: (access in a camera, None to keep it; the capability of its own camera whose change it follows)
OPTIONS = {
    "BACKGROUNDADJUSTAGGRESSIVENESS": (adjust_aggressiveness, "BACKGROUNDADJUSTMODE"),
    "BACKGROUNDADJUSTAPPLYTO": (adjust_apply_to, "BACKGROUNDADJUSTMODE"),
    "FOREGROUNDBOLDNESSAGGRESSIVENESS": (boldness_aggressiveness, "FOREGROUNDBOLDNESSMODE"),
    "THRESHOLD": (threshold, "HALFTONES"),
    "IMAGEFILTER": (lambda db, bin_: freed(in_current_window(db, ID["HALFTONES"], bin_) in BINARIZING), "HALFTONES"),
    "NOISEFILTER": (lambda db, bin_: freed(in_window0(db, ID["HALFTONES"], bin_) in BINARIZING), "HALFTONES"),
    "FILTERTHRESHOLD": (lambda db, bin_: freed(in_window0(db, ID["HALFTONES"], bin_) in BINARIZING), None),
    "FILTERPROCESSING": (lambda db, bin_: freed(in_window0(db, ID["HALFTONES"], bin_) in THRESHOLDING), None),
    "FILTERBACKGROUND": (lambda db, bin_: freed(in_window0(db, ID["HALFTONES"], bin_) in BINARIZING), None),
    "STREAKREMOVALAGGRESSIVENESS": (
        lambda db, bin_: freed(in_current_window(db, ID["STREAKREMOVALENABLED"], bin_) == ON), "STREAKREMOVALENABLED"),
}
OPTION_OF = {ID[name]: option for name, option in OPTIONS.items()}


class Option(Rule):
    def fix_access(self, db, own):
        access = OPTION_OF[own.id][0](db, own.bin)
        if access is not None:
            db.set_access(own, access)

    def fix_current(self, db, own):
        follows = OPTION_OF[own.id][1]
        m = db.modified
        if follows and m is not None and m.id == ID[follows] and m.bin == own.bin:
            self.fix_access(db, own)


rule(*[name for name in OPTIONS if name not in ("FILTERTHRESHOLD", "FILTERPROCESSING", "FILTERBACKGROUND")])(Option)


@rule("FILTERTHRESHOLD")
class FilterThreshold(Rule):
    fix_access = Option.fix_access


@rule("FILTERPROCESSING")
class FilterProcessing(Rule):
    fix_access = Option.fix_access

    def fix_current(self, db, own):
        m = db.modified
        if m is None or m.id != ID["FILTERPROCESSING"] or own.bin not in (BF, BR) or m.bin != {BF: BR, BR: BF}[own.bin]:
            return
        db.set_current_long(own, m.cur)
        self.fix_access(db, own)


@rule("FILTERBACKGROUND")
class FilterBackground(Rule):
    fix_access = Option.fix_access

    def fix_current(self, db, own):
        m = db.modified
        if m is None or m is own:
            return
        if m.id != ID["FILTERBACKGROUND"] and not (m.id in (ID["HALFTONES"], ID["IMAGEFORMAT"]) and m.bin == own.bin):
            return
        if own.bin in (BF, BR):
            db.set_access(own, 4)
        elif own.bin in (CF, CR):
            db.set_access(own, freed(in_window0(db, ID["IMAGEFORMAT"], own.bin) == V["IMAGEFORMAT"]["GRAY_8"]))


# -- what the model offers ------------------------------------------------------------------------------------
def mode_fix_default(db, own, key, last):
    if not db.config.enum_values(key, COMMON):
        return
    configlists.build_ordered_list_from_db_config(db, own, 1, last, key, COMMON)
    kit.unsupport_if_empty(db, own)


@rule("BACKGROUNDADJUSTMODE")
class BackgroundAdjustMode(Rule):
    def fix_default(self, db, own):
        mode_fix_default(db, own, "backgroundadjustmode", 5)


@rule("FOREGROUNDBOLDNESSMODE")
class ForegroundBoldnessMode(Rule):
    def fix_default(self, db, own):
        mode_fix_default(db, own, "foregroundboldnessmode", 4)


@rule("HALFTONES")
class Halftones(Rule):
    def fix_default(self, db, own):
        supported = db.config.enum_exists("app_binarizationmode", "ithresholdingwithqualitycheck", COMMON) and \
            db.config.enum_exists("app_binarizationmode_action", "support", COMMON)
        if not supported:
            db.delete_default_item(own, V["HALFTONES"]["ITHRESHOLDINGWITHQUALITYCHECK"])
            db.fix_default_reset(own)
        db.base_fix_default(own)


@rule("TEXTENHANCEMENT")
class TextEnhancement(Rule):
    def fix_default(self, db, own):
        if not db.config.exists("textenhancement", COMMON):
            db.set_access(own, 0)


@rule("THINTHICKENAMOUNT")
class ThinThickenAmount(Rule):
    def fix_default(self, db, own):
        config = db.config
        if not config.exists("thinthickenamount_rangemax", COMMON) or \
                not config.exists("thinthickenamount_rangemin", COMMON):
            db.set_access(own, 0)
            return
        low, high = config.range_min("thinthickenamount", COMMON), config.range_max("thinthickenamount", COMMON)
        value = min(max(db.default_long(own), low), high)
        if db.range_set_default(own, value, low, high, own.dstep) != 0:
            db.set_access(own, 0)
            return
        db.fix_default_reset(own)


# -- blank page -----------------------------------------------------------------------------------------------
def blank_mode(db, bin_):
    return kit.value_of(db, ID["BLANKPAGEMODE"], bin_, 0)


def own_camera_change(db, own):
    m = db.modified
    return m.id if m is not None and m.bin == own.bin else None


@rule("BLANKPAGECONTENT")
class BlankPageContent(Rule):
    def fix_access(self, db, own):
        db.set_access(own, 4 if blank_mode(db, own.bin) == BLANK["CONTENT"] else 1)

    def fix_current(self, db, own):
        changed = own_camera_change(db, own)
        if changed == ID["BLANKPAGEMODE"]:
            self.fix_access(db, own)
        elif changed == ID["BLANKPAGESIZE"]:
            db.set_access(own, 1)

    def xml(self, db, own, value):
        return base_xml(db, own, value) if blank_mode(db, own.bin) == BLANK["CONTENT"] else None


@rule("BLANKPAGEMODE")
class BlankPageMode(Rule):
    def xml(self, db, own, value):
        return base_xml(db, own, BLANK["NONE"] if value == BLANK["SIZE"] else value)


@rule("BLANKPAGESIZE")
class BlankPageSize(Rule):
    def fix_access(self, db, own):
        db.set_access(own, 4 if blank_mode(db, own.bin) == BLANK["SIZE"] else 5)

    def fix_current(self, db, own):
        if own_camera_change(db, own) == ID["BLANKPAGEMODE"]:
            self.fix_access(db, own)


# -- the attribute tasks --------------------------------------------------------------------------------------
WINDOWADD = tuple(ID[name] for name in (
    "ADDBORDER", "BACKGROUNDADJUSTAGGRESSIVENESS", "BACKGROUNDADJUSTAPPLYTO", "BACKGROUNDADJUSTMODE", "HALFTONES",
    "THRESHOLD", "FOREGROUNDBOLDNESSAGGRESSIVENESS", "FOREGROUNDBOLDNESSMODE", "IMAGEEDGEFILL", "IMAGEEDGELEFT",
    "IMAGEEDGERIGHT", "IMAGEEDGETOP", "IMAGEEDGEBOTTOM", "IMAGEFILTER", "NOISEFILTER", "AUTOMATICDESKEW",
    "ORTHOGONALROTATE", "BLANKPAGEMODE", "BLANKPAGECONTENT", "STREAKREMOVALAGGRESSIVENESS", "TEXTENHANCEMENT",
    "THINTHICKENAMOUNT"))
NEVER_WRITTEN = tuple(ID[name] for name in (
    "BACKGROUNDPLATEN", "BLANKPAGESIZE", "FILTERBACKGROUND", "FILTERPROCESSING", "FILTERTHRESHOLD",
    "IMAGEEDGEFILLALLSIDES", "IMAGEEDGEFILLALLSIZE"))


def check_task(db, root):
    """Every argument this theme's capabilities put into a task, against the model: a list of mismatches."""
    if not len(root):
        return []
    command = root[0].tag
    arguments = {child.tag: child.text or "" for child in root[0]}
    expected = {}
    if command == "createcamera":
        bin_ = CR if arguments.get("cameraid") == "rear" else CF
        master = db.slot(0, ID["BACKGROUND"], bin_)
        expected["background"] = written(db, master, master)
    elif command == "windowadd":
        window, bin_ = int(arguments["windowid"][7:9]), int(arguments["windowid"][9])
        for id_ in WINDOWADD:
            master, value_datum = db.slot(0, id_, bin_), db.find(window, id_, bin_)
            if value_datum is not None and db.accessible(value_datum) and db.access(value_datum) == 1 and \
                    id_ != ID["AUTOMATICDESKEW"]:
                value_datum = None
            expected[db.lookup[id_].lexicon] = written(db, master, value_datum)
    for id_ in NEVER_WRITTEN:
        expected.setdefault(db.lookup[id_].lexicon, None)
    failures = []
    where = arguments.get("windowid") or arguments.get("cameraid") or ""
    for name, argument in expected.items():
        want = None if argument is None else argument[1]
        if arguments.get(name) != want:
            failures.append("%s %s %s: the library sent %r, the model %r" % (command, where, name,
                                                                              arguments.get(name), want))
    return failures


# -- the harness's random walk --------------------------------------------------------------------------------
WALKED = ("ADDBORDER", "AUTOMATICDESKEW", "BACKGROUND", "BACKGROUNDADJUSTAGGRESSIVENESS", "BACKGROUNDADJUSTAPPLYTO",
          "BACKGROUNDADJUSTMODE", "BLANKPAGECONTENT", "BLANKPAGEMODE", "BLANKPAGESIZE", "FILTERBACKGROUND",
          "FILTERPROCESSING", "FILTERTHRESHOLD", "FOREGROUNDBOLDNESSAGGRESSIVENESS", "FOREGROUNDBOLDNESSMODE",
          "HALFTONES", "IMAGEEDGEBOTTOM", "IMAGEEDGEFILL", "IMAGEEDGEFILLALLSIDES", "IMAGEEDGEFILLALLSIZE",
          "IMAGEEDGELEFT", "IMAGEEDGERIGHT", "IMAGEEDGETOP", "IMAGEFILTER", "NOISEFILTER", "ORTHOGONALROTATE",
          "STREAKREMOVALAGGRESSIVENESS", "TEXTENHANCEMENT", "THINTHICKENAMOUNT", "THRESHOLD", "CROPPINGMODE",
          "IMAGEFORMAT", "STREAKREMOVALENABLED")
# The model's edge fill, backgrounds, modes, text enhancement, amount range and halftone offer
# (tests/data/db/rules), added to the scanners' replies.
EXTRAS = ("imageoptions.inquiry",)


def walk_moves(db, rng):
    """Sets of this theme's capabilities and of those they follow, in any camera (a value now and then off the list
    or the range), the edge sides on their grid, the platen, the physical height and the paper source, a profile
    load around a change, the preview and the TWAIN bridge."""
    moves = []
    for name in WALKED:
        bin_ = rng.choice(CAMERAS)
        datum = db.slot(0, ID[name], bin_)
        if datum is None or not db.accessible(datum):
            continue
        if datum.kind == "E":
            value = rng.choice(datum.cur_items) if datum.cur_items and rng.random() < 0.9 else rng.randrange(1, 12)
        elif datum.step > 0 and rng.random() < 0.8:
            value = datum.min + datum.step * rng.randrange(0, (datum.max - datum.min) // datum.step + 1)
        else:
            value = rng.randrange(datum.min - 2, datum.max + 3)
        window = rng.randrange(db.windows) if name == "IMAGEFORMAT" else 0
        moves.append("set %d %d %d %d" % (ID[name], window, bin_, value))
    for name in ("BACKGROUNDPLATEN", "PAPERSOURCE", "PREVIEWMODE"):
        datum = db.slot(0, ID[name], MACHINE)
        if datum is not None and datum.cur_items:
            moves.append("set %d 0 1 %d" % (ID[name], rng.choice(datum.cur_items)))
    height = db.slot(0, ID["PHYSICALHEIGHTADJUST"], MACHINE)
    if height is not None and db.accessible(height):
        moves.append("set %d 0 1 %d" % (ID["PHYSICALHEIGHTADJUST"], rng.choice((height.min, height.max,
                                                                                (height.min + height.max) // 2))))
    moves.append(rng.choice(("stateset 3", "stateclear 3", "stateclear 3")))
    moves.append("cfgset 1 166 %d" % rng.choice((0, 0, 1)))
    return moves
