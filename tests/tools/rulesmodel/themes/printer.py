"""The printer: the imprinter ("printer") and printing onto the image ("printonimage"), the 32 classes of
db/id/db_cprinter*.cpp and the database's printer access (db/db_cdatabase_printer.cpp).

Each class is one row of a table, as in the library: its default, its access, the capabilities whose change
reruns its access, what else its FixCurrent does and its check. The stand-ins offer the imprinter on mapleC
(a font list, the position and the reset value's ranges); printer.inquiry adds printing onto the image with
its position ranges, the high-resolution font format, the cartridge, the 160-character write sequence and the
lists of date and time formats and of the counter's patch events."""
from .. import configlists, geometry, kit
from ..database import NOTMODIFIABLE, REFUSED, SUCCESS, to_long
from ..names import COMMON, ID, MACHINE, VALUE
from ..rules import Rule, rule
from .imageaddress import cut_to_characters, ia_fix_current

OFF, ON = 1, 2
FLATBED, ADF = VALUE["PAPERSOURCE"]["FLATBED"], VALUE["PAPERSOURCE"]["ADF"]
TWOSIDED, FRONT_ONLY, REAR_ONLY = (VALUE["INPUTDOCUMENT"][name] for name in ("TWOSIDED", "ONESIDEDFRONT",
                                                                              "ONESIDEDREAR"))
ENABLED, TEST, DIGITS, INDEX = ID["PRINTERENABLED"], ID["PRINTERTEST"], ID["PRINTERINDEXDIGITS"], ID["PRINTERINDEX"]
FRONT, REAR, POSITION = ID["PRINTONIMAGEFRONT"], ID["PRINTONIMAGEREAR"], ID["PRINTERPOSITION"]
INCREMENT, RESET, RESET_VALUE = ID["PRINTERINDEXINCREMENT"], ID["PRINTERINDEXRESET"], ID["PRINTERINDEXRESETVALUE"]
INPUTDOCUMENT, PAPERSOURCE, FORMAT = ID["INPUTDOCUMENT"], ID["PAPERSOURCE"], ID["INDEXINGFORMAT"]
PHYSICAL, SEQUENCE = ID["PHYSICALHEIGHTADJUST"], ID["PRINTERWRITESEQUENCESTRING"]
IMAGEADDRESS_FORMAT = VALUE["INDEXINGFORMAT"]["IMAGEADDRESS"]
TWO_DIGIT_YEARS = tuple(VALUE["PRINTERDATEFORMAT"][name] for name in ("MMDDYY", "DDMMYY", "YYMMDD", "YYDDD"))
IA_ITEMS = (8, 6, 2, 4, 3, 30, 31, 32, 33, 7)
PLAIN_SEQUENCE = 40
LONG_MAX = (1 << 63) - 1

# The capabilities a row may follow, by the letters of its follow column.
FOLLOWED = {"I": INPUTDOCUMENT, "P": PAPERSOURCE, "E": ENABLED, "T": TEST, "F": FRONT, "R": REAR, "D": DIGITS,
            "X": FORMAT}
SET = "IPETFR"

# capability: (default, key, last, access, follows, current, check)
ROWS = {
    "CARTRIDGEDETECTED": ("key", "cartridgedetect", 0, None, "", None, None),
    "PRINTER": ("key", "printer", 0, None, "", None, None),
    "PRINTERDATE": ("support", None, 0, "printer", SET, None, "date"),
    "PRINTERDATEDELIMITER": ("support", None, 0, "printer", SET, None, None),
    "PRINTERDATEFORMAT": ("dateformats", "printerdateformat", 10, "printer", SET, None, None),
    "PRINTERENABLED": ("key", "printer", 0, "enabled", "PT", None, None),
    "PRINTERFONT": ("fonts", "printerfont", 0, "printer", SET, None, None),
    "PRINTERFONTFORMAT": ("fontformat", None, 0, "printer", SET, None, None),
    "PRINTERIMAGEADDRESSFORMAT": ("imageaddress", None, 0, None, "", None, None),
    "PRINTERIMAGEADDRESSLEVEL": ("imageaddress", None, 0, "level", SET + "X", None, None),
    "PRINTERINDEX": (None, None, 0, None, "", "index", "index"),
    "PRINTERINDEXDIGITS": ("support", None, 0, "printer", SET, None, None),
    "PRINTERINDEXFORMAT": ("support", None, 0, "printer", SET, None, None),
    "PRINTERINDEXINCREMENT": ("ordered", "printerindexincrement", 7, "printer", SET, "exclusion", None),
    "PRINTERINDEXRESET": ("ordered", "printerindexreset", 7, "printer", SET, "exclusion", None),
    "PRINTERINDEXRESETVALUE": ("resetvalue", "printerindexresetvalue", 0, "printer", SET + "D", "resetvalue", "index"),
    "PRINTERPOSITION": ("position", "printerposition", 0, "position", "PET", "heightcap", None),
    "PRINTERTEST": ("key", "printer", 0, "test", "P", None, None),
    "PRINTERTIME": ("support", None, 0, "printer", SET, None, "time"),
    "PRINTERTIMEFORMAT": ("ordered", "printertimeformat", 10, "printer", SET, None, None),
    "PRINTERWRITESEQUENCE": ("items", None, 0, "printer", SET, None, None),
    "PRINTERWRITESEQUENCESTRING": ("sizelimit", None, 0, "printer", SET, "imageaddress", None),
    "PRINTONIMAGEFRONT": ("key", "printonimage", 0, "front", "I", None, None),
    "PRINTONIMAGEPOSITIONX": ("imageposition", "printonimagepositionx", 0, "imageposition", SET, None, None),
    "PRINTONIMAGEPOSITIONY": ("imageposition", "printonimagepositiony", 0, "imageposition", SET, None, None),
    "PRINTONIMAGEREAR": ("key", "printonimage", 0, "rear", "I", None, None),
}
ROWS.update({"PRINTERWRITESEQUENCEMESSAGE%d" % number: ("support", None, 0, "printer", SET, None, None)
             for number in range(1, 7)})
ROW_BY_ID = {ID[name]: row for name, row in ROWS.items()}


def follows(letters, id_):
    return any(FOLLOWED[letter] == id_ for letter in letters)


# -- the database's printer operations (db/db_cdatabase_printer.cpp) ------------------------------------------
def has(db, key):
    return db.config.exists(key, COMMON)


def has_support(db):
    return has(db, "printer") or has(db, "printonimage")


def has_range_keys(db, key):
    return has(db, key + "_rangemin") and has(db, key + "_rangemax")


def is_on(db, id_, read_write):
    datum = db.slot(0, id_, MACHINE)
    if datum is None:
        return False
    if (datum.access != 4) if read_write else (datum.access == 0):
        return False
    return datum.cur == ON


def is_physical_printing(db):
    return has(db, "printer") and is_on(db, ENABLED, True)


def is_digital_printing(db):
    return has(db, "printonimage") and (is_on(db, FRONT, True) or is_on(db, REAR, True))


def fix_access_printer_datum(db, datum):
    source = db.slot(0, PAPERSOURCE, MACHINE)
    if not has_support(db):
        access = 0
    elif is_digital_printing(db):
        access = 4
    elif is_physical_printing(db) and (source.cur if source is not None else 0) != FLATBED:
        access = 5 if is_on(db, TEST, False) else 4
    else:
        access = 1
    db.set_access(datum, access)


# -- defaults (db_cprinter_defaults.cpp) ----------------------------------------------------------------------
def configured_range(db, key):
    """(minimum, maximum) of a range the configuration gives whole, else None."""
    if not has_range_keys(db, key):
        return None
    minimum, maximum = to_long(db.config.range_min(key, COMMON)), to_long(db.config.range_max(key, COMMON))
    return (minimum, maximum) if minimum <= maximum else None


def set_up_range(db, datum, key, keep_default):
    bounds = configured_range(db, key)
    if bounds is None:
        db.set_access(datum, 0)
        return
    minimum, maximum = bounds
    default = min(max(db.default_long(datum), minimum), maximum) if keep_default else minimum
    if db.range_set_default(datum, default, minimum, maximum, datum.dstep) != SUCCESS:
        db.set_access(datum, 0)
        return
    db.fix_default_reset(datum)


def unsupport_if_empty(db, datum):
    """CRuleKit::UnsupportIfEmpty."""
    if datum.def_items:
        return False
    db.set_access(datum, 0)
    return True


def ordered_list(db, datum, key, last):
    configlists.build_ordered_list_from_db_config(db, datum, 1, last, key, COMMON)
    if unsupport_if_empty(db, datum):
        return
    if db.default_long(datum) not in datum.def_items:
        datum.dflt = datum.def_items[0]
    db.base_fix_default(datum)


def date_formats(db, datum, key, last):
    if not has_support(db):
        db.set_access(datum, 0)
    elif db.config.enum_values(key, COMMON):
        ordered_list(db, datum, key, last)
    else:
        for value in TWO_DIGIT_YEARS:
            db.delete_default_item(datum, value)
        db.fix_default_reset(datum)
        if not unsupport_if_empty(db, datum):
            db.base_fix_default(datum)


def items(db, datum):
    if not has_support(db):
        db.set_access(datum, 0)
        return
    if db.dbia:
        return
    for item in IA_ITEMS:
        db.delete_default_item(datum, item)
    db.fix_default_reset(datum)


def size_limit(db, datum):
    if not has_support(db):
        db.set_access(datum, 0)
    if not has(db, "iawritesequence160") or db.dbia:
        return
    text = cut_to_characters(datum.sdef, PLAIN_SEQUENCE)[0]
    if len(text.encode("utf-8", "surrogateescape")) <= datum.maxlen:
        datum.sdef = text
    datum.maxlen = PLAIN_SEQUENCE
    db.fix_default_reset(datum)


SHARED_DEFAULTS = {
    "key": lambda db, key: has(db, key),
    "support": lambda db, key: has_support(db),
    "fontformat": lambda db, key: has_support(db) or has(db, "printerhighres"),
    "imageaddress": lambda db, key: db.dbia and has_support(db),
}


def fix_default(db, datum, row):
    kind, key, last = row[:3]
    if kind in SHARED_DEFAULTS:
        if not SHARED_DEFAULTS[kind](db, key):
            db.set_access(datum, 0)
    elif kind == "fonts":
        configlists.fix_default_enum_from_db_config(db, datum, COMMON)
        unsupport_if_empty(db, datum)
    elif kind == "dateformats":
        date_formats(db, datum, key, last)
    elif kind == "ordered":
        ordered_list(db, datum, key, last)
    elif kind == "items":
        items(db, datum)
    elif kind == "position":
        if not has(db, "printer"):
            db.set_access(datum, 0)
            return
        set_up_range(db, datum, key, False)
        if datum.access != 0:
            geometry.fix_range_from_physical_height_adjust(db, datum, False)
    elif kind == "imageposition":
        if not has(db, "printonimage"):
            db.set_access(datum, 0)
            return
        set_up_range(db, datum, key, False)
    elif kind == "resetvalue":
        set_up_range(db, datum, key, True)
    elif kind == "sizelimit":
        size_limit(db, datum)
    else:
        db.base_fix_default(datum)


# -- access (db_cprinter_access.cpp) --------------------------------------------------------------------------
def is_flatbed(db):
    return kit.value_of(db, PAPERSOURCE, MACHINE, ADF) == FLATBED


def is_testing(db):
    return kit.value_of(db, TEST, MACHINE, OFF) == ON


def enabled(condition):
    return 4 if condition else 1


def image_side(db, side):
    job = kit.value_of(db, INPUTDOCUMENT, MACHINE, 0)
    return 4 if job in (TWOSIDED, side) else 5


def fix_access(db, datum, row):
    kind, key = row[3], row[1]
    if kind == "printer":
        fix_access_printer_datum(db, datum)
    elif kind == "enabled":
        db.set_access(datum, enabled(not is_flatbed(db) and not is_testing(db)))
    elif kind == "test":
        db.set_access(datum, enabled(not is_flatbed(db)))
    elif kind == "position":
        imprinter = kit.value_of(db, ENABLED, MACHINE, OFF) != OFF
        db.set_access(datum, enabled((imprinter and not is_flatbed(db)) or is_testing(db)))
    elif kind in ("front", "rear"):
        if datum.access != 0:
            db.set_access(datum, image_side(db, FRONT_ONLY if kind == "front" else REAR_ONLY))
    elif kind == "imageposition":
        if not has(db, "printonimage") or not has_range_keys(db, key):
            db.set_access(datum, 0)
        else:
            db.set_access(datum, enabled(is_digital_printing(db)))
    elif kind == "level":
        fix_access_printer_datum(db, datum)
        if datum.access != 0:
            indexing = kit.supported(db, FORMAT, MACHINE)
            if indexing is not None and indexing.cur != IMAGEADDRESS_FORMAT:
                db.set_access(datum, 6)


# -- checks (db_cprinter_checks.cpp) --------------------------------------------------------------------------
def _number(text):
    return int(text) if len(text) and all("0" <= character <= "9" for character in text) else None


def days_in(month, year):
    leap = year % 400 == 0 or (year % 4 == 0 and year % 100 != 0)
    return 29 if month == 2 and leap else (31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31)[month - 1]


def is_printer_date(text):
    data = text.encode("utf-8", "surrogateescape")
    if not data:
        return True
    if len(data) != 10 or data[4:5] != b"/" or data[7:8] != b"/":
        return False
    parts = [data[0:4], data[5:7], data[8:10]]
    if not all(part.isdigit() and part.isascii() for part in parts):
        return False
    year, month, day = (int(part) for part in parts)
    return 1 <= month <= 12 and 1 <= day <= days_in(month, year)


def is_printer_time(text):
    data = text.encode("utf-8", "surrogateescape")
    if not data:
        return True
    if len(data) != 5 or data[2:3] != b":" or not all(48 <= byte <= 57 for byte in data[:2] + data[3:]):
        return False
    return int(data[:2]) <= 23 and int(data[3:]) <= 59


def validate_index(db, datum, window, value):
    if kit.is_relaxed(db) or kit.is_loading(db):
        return SUCCESS
    if is_physical_printing(db) or is_digital_printing(db):
        digits = kit.value_of(db, DIGITS, MACHINE, LONG_MAX)
        if len("%d" % value) > digits:
            db.set_last_error("printer", "E_EXCEEDSMAXIMUMDIGITS")
            return REFUSED
    return db.base_validate(datum, window, value)


def validate(db, datum, window, value, row):
    check = row[6]
    if check == "index":
        return validate_index(db, datum, window, value)
    if check in ("date", "time"):
        if kit.is_loading(db):
            return SUCCESS
        status = db.base_validate_text(datum, value)
        if status != SUCCESS:
            return status
        return SUCCESS if (is_printer_date if check == "date" else is_printer_time)(value) else REFUSED
    if datum.kind == "S":
        return db.base_validate_text(datum, value)
    return db.base_validate(datum, window, value)


def revalidate(db, datum, keep_unmodifiable):
    status = db.validate(datum, 0, datum.cur)
    if status == SUCCESS or (keep_unmodifiable and status == NOTMODIFIABLE):
        return
    db.set_current_long(datum, min(max(0, datum.min), datum.max))


def fix_current(db, datum, row):
    m = db.modified
    if m is None:
        return
    if follows(row[4], m.id):
        fix_access(db, datum, row)
    kind = row[5]
    if kind == "heightcap":
        if m.id in (PHYSICAL, datum.id):
            geometry.fix_range_from_physical_height_adjust(db, datum, m.id == datum.id)
    elif kind == "index":
        if follows("EDFR", m.id):
            revalidate(db, datum, False)
    elif kind == "resetvalue":
        if follows(row[4], m.id):
            revalidate(db, datum, True)
    elif kind == "exclusion":
        other = INCREMENT if datum.id == RESET else RESET
        if m.id == other and 2 <= m.cur <= 6 and datum.cur == m.cur:
            db.set_current_long(datum, 1)
    elif kind == "imageaddress":
        if db.dbia:
            ia_fix_current(db, datum)


@rule(*ROWS)
class Printer(Rule):
    def fix_default(self, db, datum):
        fix_default(db, datum, ROW_BY_ID[datum.id])

    def fix_access(self, db, datum):
        fix_access(db, datum, ROW_BY_ID[datum.id])

    def fix_current(self, db, datum):
        fix_current(db, datum, ROW_BY_ID[datum.id])

    def validate(self, db, datum, window, value):
        return validate(db, datum, window, value, ROW_BY_ID[datum.id])


# -- the attribute tasks --------------------------------------------------------------------------------------
# The printer capabilities a setconfig carries, in its order; the others of the theme never go out.
SENT = ("PRINTERENABLED", "PRINTERDATE", "PRINTERDATEDELIMITER", "PRINTERDATEFORMAT", "PRINTERTIME",
        "PRINTERTIMEFORMAT", "PRINTERFONT", "PRINTERFONTFORMAT", "PRINTERIMAGEADDRESSFORMAT", "PRINTERINDEX",
        "PRINTERINDEXDIGITS", "PRINTERINDEXFORMAT", "PRINTERINDEXINCREMENT", "PRINTERINDEXRESET",
        "PRINTERINDEXRESETVALUE", "PRINTERPOSITION", "PRINTERWRITESEQUENCESTRING") + tuple(
            "PRINTERWRITESEQUENCEMESSAGE%d" % number for number in range(1, 7)) + (
        "PRINTERTEST", "PRINTONIMAGEFRONT", "PRINTONIMAGEPOSITIONX", "PRINTONIMAGEPOSITIONY", "PRINTONIMAGEREAR")
NEVER_SENT = ("CARTRIDGEDETECTED", "PRINTER", "PRINTERIMAGEADDRESSLEVEL", "PRINTERMODE", "PRINTERWRITESEQUENCE")


def argument(db, id_):
    """(name, text) a supported capability with consumers writes into the setconfig, else None."""
    datum = db.slot(0, id_, MACHINE)
    if datum is None or not db.accessible(datum) or db.device_data(datum) == 0:
        return None
    record = db.lookup[id_]
    if datum.kind == "S":
        return record.lexicon, datum.scur
    text = str(datum.cur) if datum.kind == "R" else record.lexicon_of(datum.cur)
    return (record.lexicon, text) if text is not None else None


def check_task(db, root):
    """A setconfig's printer arguments: those of the supported printer capabilities with consumers, in the
    order of SENT, with the model's values; none of NEVER_SENT."""
    command = root[0] if len(root) else None
    if command is None or command.tag != "setconfig":
        return []
    theme = {db.lookup[ID[name]].lexicon for name in SENT + NEVER_SENT if ID[name] in db.lookup}
    sent = [(child.tag, child.text or "") for child in command if child.tag in theme]
    expected = [pair for pair in (argument(db, ID[name]) for name in SENT) if pair is not None]
    if sent != expected:
        return ["setconfig: the library sent the printer arguments %s, the model %s" % (sent, expected)]
    return []


# -- the harness's dumps, walks and sweeps --------------------------------------------------------------------
EXTRAS = ("printer.inquiry",)
# The model configuration keys of the two kinds of printing, left out by configuration edits.
KEY_VARIANTS = {"imprinter": ["cfgdel printonimage 1"], "printonimage": ["cfgdel printer 1"],
                "noprinter": ["cfgdel printer 1", "cfgdel printonimage 1"]}


def dump_variants(scanners):
    """Every scanner with the printer's extras but without image addressing; the scanner with both units and
    the imprinter without printing onto the image, with it alone and with neither."""
    variants = {scanner + ":printer": (scanner, EXTRAS, []) for scanner in scanners}
    variants.update({"mapleC+flatbed:" + name: ("mapleC+flatbed", (), edits)
                     for name, edits in KEY_VARIANTS.items()})
    return variants


def _text(rng, kind):
    if kind == "date":
        pick = rng.random()
        if pick < 0.6:
            return "%04d/%02d/%02d" % (rng.choice((0, 1, 1900, 2000, 2023, 2024, 9999)), rng.randrange(0, 14),
                                       rng.randrange(0, 33))
        return rng.choice(("%", "2024-01-01", "2024/1/01", "2024/01/1x", "2024/01/011", "%EF%BC%92024/01/01",
                           "2024/01/0%FF"))
    if rng.random() < 0.7:
        return "%02d:%02d" % (rng.randrange(0, 26), rng.randrange(0, 62))
    return rng.choice(("%", "12345", "1:00", "12:5x", "%EF%BC%91:00"))


def walk_moves(db, rng):
    """The switches of both kinds of printing, the job and the paper source, the test, the formats, fonts and
    patch events (now and then off the list), the counter, its digits and its reset value in and off their
    ranges, both positions, the physical height, dates and times good and bad, messages, a direct write as a
    profile applies one, the relaxed switch, the requests and the loading state."""
    moves = []
    for id_ in (ENABLED, TEST, FRONT, REAR, ENABLED, FRONT):
        moves.append("set %d 0 1 %d" % (id_, rng.choice((OFF, ON))))
    for name in ("INPUTDOCUMENT", "PAPERSOURCE", "PRINTERDATEFORMAT", "PRINTERTIMEFORMAT", "PRINTERFONT",
                 "PRINTERINDEXINCREMENT", "PRINTERINDEXRESET", "PRINTERINDEXRESET", "PRINTERINDEXFORMAT",
                 "PRINTERDATEDELIMITER", "PRINTERIMAGEADDRESSLEVEL", "INDEXINGFORMAT", "PRINTERWRITESEQUENCE"):
        datum = db.slot(0, ID[name], MACHINE)
        if datum is not None and datum.cur_items:
            value = rng.choice(datum.cur_items) if rng.random() < 0.9 else rng.choice((0, 7, 11))
            moves.append("set %d 0 1 %d" % (datum.id, value))
    for id_ in (INDEX, DIGITS, RESET_VALUE, INDEX, POSITION, ID["PRINTONIMAGEPOSITIONX"],
                ID["PRINTONIMAGEPOSITIONY"], PHYSICAL):
        datum = db.slot(0, id_, MACHINE)
        if datum is not None and datum.kind == "R":
            span = max(datum.max - datum.min, 1)
            value = rng.choice((rng.randrange(datum.min, datum.min + span + 1), rng.randrange(0, 10 ** rng.randrange(
                1, 11)), -5, datum.max + 1))
            moves.append("%s %d 0 1 %d" % (rng.choice(("set", "set", "set", "write")), id_, value))
    moves.append("settext %d %s" % (ID["PRINTERDATE"], _text(rng, "date")))
    moves.append("settext %d %s" % (ID["PRINTERTIME"], _text(rng, "time")))
    moves.append("settext %d %s" % (ID["PRINTERWRITESEQUENCEMESSAGE%d" % rng.randrange(1, 7)],
                                    rng.choice(("BATCH", "%", "x" * 41, "%C3%A4" * 20))))
    moves.append("settext %d %s" % (SEQUENCE, rng.choice(("1%20S", "ABCD", "%", "Z" * 40, "1ytx"))))
    moves.append(rng.choice(("stateset 4", "stateclear 4", "stateclear 4", "cfgset 1 136 1", "cfgset 1 136 0",
                             "stateset 3", "stateclear 3", "stateclear 3")))
    return moves


def sweep(db):
    """Every combination of the imprinter and its test on or off, printing onto either image on or off, the
    feeder or the flatbed and every job, written as a profile writes them (the sets of some would be refused
    once another was made), each followed by the access pass."""
    papersource = db.slot(0, PAPERSOURCE, MACHINE)
    for source in (ADF, FLATBED) if papersource is not None and FLATBED in papersource.cur_items else (ADF,):
        for job in (TWOSIDED, FRONT_ONLY, REAR_ONLY):
            for pattern in range(16):
                yield "write %d 0 1 %d" % (PAPERSOURCE, source)
                yield "write %d 0 1 %d" % (INPUTDOCUMENT, job)
                for index, id_ in enumerate((ENABLED, TEST, FRONT, REAR)):
                    yield "write %d 0 1 %d" % (id_, ON if pattern >> index & 1 else OFF)
                yield "fixaccessall"
