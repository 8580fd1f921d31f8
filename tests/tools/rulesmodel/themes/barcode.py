"""Barcode reading: BARCODEENABLE, BARCODEENHANCEMENT, BARCODECOUNT, BARCODESEARCHAREA, BARCODESEARCHMODE,
BARCODETYPE and the search region BARCODESEARCHREGIONHEIGHT, ...OFFSETX, ...OFFSETY, ...WIDTH
(db/id/db_cbarcode.cpp, db_cbarcode_region.cpp, db_cbarcode_kit.cpp); and the barcode element the model
predicts for a createcamera task (db/db_cdatabase_makexml_barcode.cpp)."""
from .. import configlists, geometry, kit
from ..database import to_long
from ..names import ADF, COMMON, FLATBED, ID, MACHINE, VALUE
from ..rules import Rule, rule

ENABLE, COUNT, AREA, MODE, TYPE = (ID["BARCODE" + name] for name in ("ENABLE", "COUNT", "SEARCHAREA",
                                                                     "SEARCHMODE", "TYPE"))
HEIGHT, X, Y, WIDTH = (ID["BARCODESEARCHREGION" + name] for name in ("HEIGHT", "OFFSETX", "OFFSETY", "WIDTH"))
PHYSICAL = ID["PHYSICALHEIGHTADJUST"]
OFF, ON = VALUE["BARCODEENABLE"]["FALSE"], VALUE["BARCODEENABLE"]["TRUE"]
PARTIAL = VALUE["BARCODESEARCHAREA"]["PARTIALDOCUMENT"]
# The region: (the other side of its axis, a size, vertical) per side.
REGION = {HEIGHT: (Y, True, True), X: (WIDTH, False, False), Y: (HEIGHT, False, True), WIDTH: (X, True, False)}


# -- the shared reads (db_cbarcode_kit.cpp) -------------------------------------------------------------------
def is_camera(datum):
    return 2 <= datum.bin <= 5


def is_reading(db, bin_):
    return kit.value_of(db, ENABLE, bin_, OFF) == ON


def enum_exists(db, key):
    return bool(db.config.enum_values(key, ADF))


def scanner_reads(db):
    return any(value != "none" for value in db.config.enum_values("barcodetype", ADF))


def library_reads(db):
    flatbed_unit = db.config.exists("modeldirectoryflatbed", COMMON)
    return any(value != "none" and (not flatbed_unit or db.config.enum_exists("nexil_barcodetype", value, FLATBED))
               for value in db.config.enum_values("nexil_barcodetype", ADF))


def config_min(db, key, target):
    return to_long(db.config.range_min(key, target))


def config_max(db, key, target):
    return to_long(db.config.range_max(key, target))


def modified_of(db, own, ids):
    if db.modified is None or db.modified.id not in ids:
        return None
    return kit.modified(db, own)


def unsupport_if_empty(db, datum):
    """CRuleKit::UnsupportIfEmpty."""
    if datum.def_items:
        return False
    if db.access(datum) != 0:
        db.set_access(datum, 0)
    return True


def offered(db, own):
    """A camera still offered once the value-level default fix ran."""
    if not is_camera(own):
        return False
    db.datum_fix_default(own)
    return db.access(own) != 0


def while_reading(reading):
    return 4 if reading else 1


# -- reading, the enhancement and the count -------------------------------------------------------------------
@rule("BARCODEENABLE")
class Enable(Rule):
    def fix_default(self, db, own):
        if not offered(db, own):
            return
        if not scanner_reads(db) and not library_reads(db):
            db.set_access(own, 0)
        elif own.bin in (3, 5) and not db.config.exists("duplex", COMMON):
            db.set_access(own, 0)
        own.dflt = OFF
        db.fix_default_reset(own)
        db.base_fix_default(own)

    def fix_current(self, db, own):
        m = modified_of(db, own, (ENABLE,))
        if m is not None and m.partner:
            db.set_current_long(own, m.new)


@rule("BARCODEENHANCEMENT")
class Enhancement(Rule):
    def fix_default(self, db, own):
        if is_camera(own):
            db.set_access(own, 4 if db.config.exists("barcodeenhancement", COMMON) else 0)


class SideSetting(Rule):
    """A setting of a side: its access follows reading on or off, and it takes the value the other colour mode
    of the side was given; still while a profile loads."""

    def fix_access(self, db, own):
        if is_camera(own):
            db.set_access(own, while_reading(is_reading(db, own.bin)))

    def fix_current(self, db, own):
        m = modified_of(db, own, (ENABLE, own.id))
        if m is None or kit.is_loading(db):
            return
        if m.id == ENABLE:
            self.fix_access(db, own)
        elif m.partner:
            self.follow(db, own, m)

    @staticmethod
    def follow(db, own, m):
        db.set_current_long(own, m.new)


@rule("BARCODECOUNT")
class Count(SideSetting):
    def fix_default(self, db, own):
        if not is_camera(own):
            return
        if not db.config.exists("barcodecount_adf_rangemax", COMMON):
            db.set_access(own, 0)
            return
        low, high = config_min(db, "barcodecount", ADF), config_max(db, "barcodecount", ADF)
        default = min(max(db.default_long(own), low), high)
        if low > high or db.range_set_default(own, default, low, high, own.dstep) != 0:
            db.set_access(own, 0)
            return
        db.fix_default_reset(own)

    def fix_current(self, db, own):
        m = modified_of(db, own, (COUNT, ENABLE))
        if m is None or kit.is_loading(db):
            return
        if m.id == COUNT:
            if m.partner:
                db.set_current_long(own, m.new)
        elif m.own_camera or m.partner:
            db.set_access(own, while_reading(m.new == ON))


# -- the search area, the directions and the symbologies ------------------------------------------------------
def default_on_the_list(datum):
    if datum.def_items and datum.dflt not in datum.def_items:
        datum.dflt = datum.def_items[0]


@rule("BARCODESEARCHAREA")
class Area(SideSetting):
    def fix_default(self, db, own):
        if not offered(db, own):
            return
        if not enum_exists(db, "barcodesearcharea"):
            db.set_access(own, 0)
            return
        configlists.build_ordered_list_from_db_config(db, own, 1, 3, "barcodesearcharea", ADF)
        if unsupport_if_empty(db, own):
            return
        default_on_the_list(own)
        db.fix_default_reset(own)
        db.base_fix_default(own)


class ListRule(SideSetting):
    """The directions or the symbologies: the scanner's list, else the image library's."""
    key = None

    def fix_default(self, db, own):
        if not offered(db, own):
            return
        scanner = enum_exists(db, self.key)
        if not scanner:
            configlists.build_default_enum_from_db_config(db, own, "nexil", True)
        elif own.id == TYPE:
            configlists.fix_default_enum_from_db_config(db, own, ADF)
        else:
            configlists.build_ordered_list_from_db_config(db, own, 1, 5, self.key, ADF)
            default_on_the_list(own)
        if unsupport_if_empty(db, own):
            return
        if not scanner:
            db.set_access(own, 5)
        db.fix_default_reset(own)
        db.base_fix_default(own)

    def fix_access(self, db, own):
        if not is_camera(own):
            return
        access = 1
        if is_reading(db, own.bin):
            access = 4 if enum_exists(db, self.key) else 5
        db.set_access(own, access)


@rule("BARCODESEARCHMODE")
class Mode(ListRule):
    key = "barcodesearchmode"


@rule("BARCODETYPE")
class Type(ListRule):
    key = "barcodetype"

    @staticmethod
    def follow(db, own, m):
        db.delete_all_current_items(own)
        for item in list(m.datum.cur_items):
            db.add_current_item(own, item)


# -- the search region ----------------------------------------------------------------------------------------
def physical_height(db):
    datum = kit.supported(db, PHYSICAL, MACHINE)
    return datum.cur if datum is not None and not kit.is_loading(db) else config_max(db, "sheetheight", COMMON)


def minimum_of(db, id_, bin_):
    datum = kit.supported(db, id_, bin_)
    return datum.min if datum is not None and datum.kind == "R" else 0


def fit_axis(db, size, m):
    axis, _, vertical = REGION[size.id]
    if vertical:
        geometry.fix_range_from_physical_height_adjust(db, size, False)
    limit = m.new if m.id == PHYSICAL else physical_height(db)
    if not vertical:
        limit = max(limit, config_max(db, "sheetwidth", COMMON))
    offset = kit.supported(db, axis, size.bin)
    o = m.new if m.id == axis else (offset.cur if offset is not None else 0)
    s = m.new if m.id == size.id else size.cur
    if s + o > limit:
        s = limit - o
        if s < size.min:
            db.set_current_long(size, size.min)
            if offset is not None:
                db.set_current_long(offset, max(limit - size.min, max(offset.min, 0)))
            return
    if s != size.cur:
        db.set_current_long(size, s)


@rule("BARCODESEARCHREGIONHEIGHT", "BARCODESEARCHREGIONOFFSETX", "BARCODESEARCHREGIONOFFSETY",
      "BARCODESEARCHREGIONWIDTH")
class Region(Rule):
    def fix_default(self, db, own):
        if not offered(db, own):
            return
        if not scanner_reads(db) or not enum_exists(db, "barcodesearcharea"):
            db.set_access(own, 0)
            db.fix_default_reset(own)
            return
        width, height = config_max(db, "sheetwidth", COMMON), config_max(db, "sheetheight", COMMON)
        physical, low, step = physical_height(db), own.dmin, own.dstep
        if own.id == HEIGHT:
            db.range_set_default(own, height, low, height, step)
            db.range_set_default(own, physical, own.dmin, own.dmax, own.dstep)
        elif own.id == WIDTH:
            db.range_set_default(own, max(physical, width), low, max(height, width), step)
        elif own.id == X:
            db.range_set_default(own, low, low, max(width, height) - minimum_of(db, WIDTH, own.bin), step)
        else:
            db.range_set_default(own, low, low, height - minimum_of(db, HEIGHT, own.bin), step)
        db.fix_default_reset(own)
        db.base_fix_default(own)

    def fix_access(self, db, own):
        if not is_camera(own):
            return
        region = is_reading(db, own.bin) and kit.value_of(db, AREA, own.bin, 0) == PARTIAL
        db.set_access(own, 4 if region else 1)

    def fix_current(self, db, own):
        if not is_camera(own):
            return
        axis, is_size, _ = REGION[own.id]
        m = modified_of(db, own, (ENABLE, AREA, own.id, axis, PHYSICAL))
        if m is None or (own.id == WIDTH and kit.is_loading(db)):
            return
        if m.id in (ENABLE, AREA):
            self.fix_access(db, own)
        elif not is_size:
            if m.id == own.id and m.partner:
                db.set_current_long(own, m.new)
        elif m.id == PHYSICAL or m.own_camera or m.partner:
            fit_axis(db, own, m)


# -- the createcamera task ------------------------------------------------------------------------------------
def barcode_element(db, camera):
    """The barcode element of the createcamera of a camera ("front" or "rear"): [(name, text)] of its arguments
    in order, the region's as ("region", [(name, text)]); None when reading is off there."""
    bin_ = 5 if camera == "rear" else 4
    enable = kit.supported(db, ENABLE, bin_)
    if enable is None or enable.cur != ON:
        return None
    arguments = []

    def lexicon(id_, value):
        return db.lookup[id_].lexicon_of(value)

    types = kit.supported(db, TYPE, bin_)
    if types is not None:
        arguments += [("barcodetype", lexicon(TYPE, item)) for item in types.cur_items]
    for id_ in (MODE, COUNT):
        datum = kit.supported(db, id_, bin_)
        if datum is not None:
            name = db.lookup[id_].lexicon
            arguments.append((name, lexicon(id_, datum.cur) if datum.kind == "E" else str(datum.cur)))
    area = kit.supported(db, AREA, bin_)
    if area is not None:
        arguments.append(("barcodesearcharea", lexicon(AREA, area.cur)))
        if area.cur == PARTIAL:
            region = []
            for id_, name in ((X, "imageoffsetx"), (Y, "imageoffsety"), (WIDTH, "imagewidth"), (HEIGHT, "imageheight")):
                datum = kit.supported(db, id_, bin_)
                if datum is not None:
                    region.append((name, str(datum.cur)))
            arguments.append(("region", region))
    return arguments


# -- the harness's random walk --------------------------------------------------------------------------------
def walk_moves(db, rng):
    """One candidate a kind: reading on or off, a count, an area, a direction, a choice of symbologies (now and
    then none, one or all), a region side in or off its bounds (now and then forced), the physical height,
    a profile load around a change."""
    moves = []
    cameras = [bin_ for bin_ in (2, 3, 4, 5) if db.accessible(db.slot(0, ENABLE, bin_))]
    for bin_ in cameras:
        moves.append("set %d 0 %d %d" % (ENABLE, bin_, rng.choice((OFF, ON, ON))))
        for id_ in (AREA, MODE):
            datum = db.slot(0, id_, bin_)
            if db.accessible(datum) and datum.cur_items:
                moves.append("set %d 0 %d %d" % (id_, bin_, rng.choice(datum.cur_items)))
        count = db.slot(0, COUNT, bin_)
        if db.accessible(count):
            moves.append("set %d 0 %d %d" % (COUNT, bin_, rng.randrange(count.min - 1, count.max + 2)))
        types = db.slot(0, TYPE, bin_)
        if db.accessible(types) and types.def_items:
            chosen = rng.sample(types.def_items, rng.randrange(0, len(types.def_items) + 1))
            moves.append(" ".join(["items %d 0 %d" % (TYPE, bin_)] + [str(item) for item in chosen]))
        side = rng.choice((HEIGHT, X, Y, WIDTH))
        master = db.slot(0, side, bin_)
        if db.accessible(master):
            value = rng.randrange(-600, master.max + 2400)
            moves.append("%s %d 0 %d %d" % (rng.choice(("set", "set", "set", "write")), side, bin_, value))
    height = db.slot(0, PHYSICAL, MACHINE)
    if height is not None and db.accessible(height):
        moves.append("set %d 0 1 %d" % (PHYSICAL, rng.randrange(height.min, height.max + 1, max(height.step, 1))))
    moves.append(rng.choice(("stateset 3", "stateclear 3", "stateclear 3")))
    return moves


def check_task(db, root):
    """A createcamera's barcode element against the model's."""
    command = root[0] if len(root) else None
    if command is None or command.tag != "createcamera":
        return []
    camera = command.findtext("cameraid")
    expected = barcode_element(db, camera)
    found = command.find("barcode")
    if found is None:
        sent = None
    else:
        sent = [(child.tag, [(item.tag, item.text or "") for item in child] if child.tag == "region"
                 else child.text or "") for child in found]
    if sent != expected:
        return ["createcamera %s: the library sent the barcode element %s, the model %s" % (camera, sent, expected)]
    return []


# -- the harness's dumps, walks and sweeps --------------------------------------------------------------------
# The scanner's own lists beside the image library's (the scanners as they are have the library's alone).
EXTRAS = ("barcode.inquiry",)


def dump_variants(scanners):
    """Every scanner with the scanner's own lists alone: the image library's taken out."""
    return {scanner + ":barcode-scanner": (scanner, ("barcode.inquiry",), ["cfgdelprefix nexil_barcode"])
            for scanner in scanners}
