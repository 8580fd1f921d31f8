"""The printer: the imprinter ("printer") and printing onto the image ("printonimage"), the 32 classes of
db/id/db_cprinter*.cpp and the database's printer access (db/db_cdatabase_printer.cpp).

Each class is one row of a table, as in the library: its default, its access, the capabilities whose change
reruns its access, what else its FixCurrent does and its check. The stand-ins offer the imprinter on mapleC
(a font list, the position and the reset value's ranges); printer.inquiry adds printing onto the image with
its position ranges, the high-resolution font format, the cartridge, the 160-character write sequence and the
lists of date and time formats and of the counter's patch events."""
import random

from .. import configlists, geometry, kit, listing
from ..database import FAIL, NOTMODIFIABLE, REFUSED, SUCCESS, character_bytes, count_characters, to_long
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
    "PRINTERDATEDELIMITER": ("support", None, 0, "printer", SET, None, "composition"),
    "PRINTERDATEFORMAT": ("dateformats", "printerdateformat", 10, "printer", SET, None, "composition"),
    "PRINTERENABLED": ("key", "printer", 0, "enabled", "PT", None, None),
    "PRINTERFONT": ("fonts", "printerfont", 0, "printer", SET, None, None),
    "PRINTERFONTFORMAT": ("fontformat", None, 0, "printer", SET, None, None),
    "PRINTERIMAGEADDRESSFORMAT": ("imageaddress", None, 0, None, "", None, None),
    "PRINTERIMAGEADDRESSLEVEL": ("imageaddress", None, 0, "level", SET + "X", None, None),
    "PRINTERINDEX": (None, None, 0, None, "", "index", "index"),
    "PRINTERINDEXDIGITS": ("support", None, 0, "printer", SET, None, "composition"),
    "PRINTERINDEXFORMAT": ("support", None, 0, "printer", SET, None, None),
    "PRINTERINDEXINCREMENT": ("ordered", "printerindexincrement", 7, "printer", SET, "exclusion", None),
    "PRINTERINDEXRESET": ("ordered", "printerindexreset", 7, "printer", SET, "exclusion", None),
    "PRINTERINDEXRESETVALUE": ("resetvalue", "printerindexresetvalue", 0, "printer", SET + "D", "resetvalue", "index"),
    "PRINTERPOSITION": ("position", "printerposition", 0, "position", "PET", "heightcap", None),
    "PRINTERTEST": ("key", "printer", 0, "test", "P", None, None),
    "PRINTERTIME": ("support", None, 0, "printer", SET, None, "time"),
    "PRINTERTIMEFORMAT": ("ordered", "printertimeformat", 10, "printer", SET, None, "composition"),
    "PRINTERWRITESEQUENCE": ("items", None, 0, "printer", SET, None, None),
    "PRINTERWRITESEQUENCESTRING": ("sizelimit", None, 0, "printer", SET, "imageaddress", "sequence"),
    "PRINTONIMAGEFRONT": ("key", "printonimage", 0, "front", "I", None, None),
    "PRINTONIMAGEPOSITIONX": ("imageposition", "printonimagepositionx", 0, "imageposition", SET, None, None),
    "PRINTONIMAGEPOSITIONY": ("imageposition", "printonimagepositiony", 0, "imageposition", SET, None, None),
    "PRINTONIMAGEREAR": ("key", "printonimage", 0, "rear", "I", None, None),
}
ROWS.update({"PRINTERWRITESEQUENCEMESSAGE%d" % number: ("support", None, 0, "printer", SET, None, "message")
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


# -- the composition of the printed lines (db_cprinter_sequence.cpp and CDatabase::ConstructPrinterStrings),
# written from the table of codes, the segments and the line limit --------------------------------------------
LINE_BYTES = 512  # a line's buffer, its terminator included
STRING_BYTES = 1024  # a string value's buffer
DELIMITER_TEXTS = {1: "", 2: "/", 3: "-", 4: ".", 5: " "}
DATE_PATTERNS = {1: "MM%sDD%sYYYY", 2: "MM%sDD%sYY", 3: "DD%sMM%sYYYY", 4: "DD%sMM%sYY", 5: "YYYY%sMM%sDD",
                 6: "YY%sMM%sDD", 7: "DDD", 8: "YYYY%sDDD", 9: "YY%sDDD"}
TIME_PATTERNS = {0: "HH:MM", 1: "HH:mm", 2: "HH:mm:ss", 3: "HH:mm:ss.xx", 4: "hh:mm", 5: "hh:mm:ss", 6: "hh:mm:ss.xx",
                 7: "hh:mm tt", 8: "hh:mm:ss tt", 9: "hh:mm:ss.xx tt"}
COUNTER_FILLS = {1: "<", 2: None, 3: "_"}
MESSAGES = tuple(ID["PRINTERWRITESEQUENCEMESSAGE%d" % number] for number in range(1, 7))
FIELD_TEXTS = tuple(ID["IMAGEADDRESS_" + letter] for letter in "ABCD")
IMAGEADDRESS, LEVEL = ID["IMAGEADDRESS"], ID["PRINTERIMAGEADDRESSLEVEL"]
ALL_LEVELS = VALUE["PRINTERIMAGEADDRESSLEVEL"]["ALLLEVELS"]
PIECE_NAMES = ("printerwritesequence1", "printerwritesequence2", "printerwritesequence3")
PIECE, ALL_LEVELS_FIRST = 40, 120


def _bytes(text):
    return text.encode("utf-8", "surrogateescape")


def supported_text(db, id_):
    datum = kit.supported(db, id_, MACHINE)
    return datum.scur if datum is not None and datum.kind == "S" else None


def settings(db, proposed, value):
    """What the lines are composed from: the current settings (a missing one takes a value that prints without
    refusing), the proposed value in place of its capability's."""
    def pick(name, fallback):
        return value if ID[name] == proposed else kit.value_of(db, ID[name], MACHINE, fallback)

    def text(id_):
        return value if id_ == proposed else supported_text(db, id_)
    return {"sequence": text(SEQUENCE) or "", "delimiter": pick("PRINTERDATEDELIMITER", 1),
            "date": pick("PRINTERDATEFORMAT", 1), "index": pick("PRINTERINDEX", 0),
            "digits": pick("PRINTERINDEXDIGITS", 0), "counter": pick("PRINTERINDEXFORMAT", 2),
            "time": pick("PRINTERTIMEFORMAT", 0) if kit.is_id_supported(db, ID["PRINTERTIMEFORMAT"]) else 0,
            "messages": [text(id_) for id_ in MESSAGES],
            "fields": [supported_text(db, id_) if db.dbia else None for id_ in FIELD_TEXTS]}


def code_text(code, values):
    """The bytes a code prints, or None for a code or a format outside the table."""
    if "1" <= code <= "6":
        return _bytes(values["messages"][ord(code) - ord("1")] or "")
    if "A" <= code <= "D":
        return _bytes(values["fields"][ord(code) - ord("A")] or "")
    if code == " ":
        return b" "
    if code in "#Z":
        return b""
    if code == "S":
        if values["counter"] not in COUNTER_FILLS:
            return None
        text = "%0*d" % (min(max(values["digits"], 0), LINE_BYTES), values["index"])
        fill = COUNTER_FILLS[values["counter"]]
        return _bytes(text.replace("0", fill) if fill else text)
    if code == "T":
        return _bytes(TIME_PATTERNS[values["time"]]) if values["time"] in TIME_PATTERNS else None
    if code == "Y":
        if values["date"] not in DATE_PATTERNS:
            return None
        return _bytes(DATE_PATTERNS[values["date"]].replace("%s", DELIMITER_TEXTS[values["delimiter"]]))
    return None


def line_limit(maximum):
    return maximum // 4 if 80 <= maximum <= 249 else maximum


def compose(db, values):
    """0 when the printed lines fit the printer, else 4: the delimiter first; with image addressing a line a
    quarter of the write sequence's maximum, four at most; each line within its buffer and the line limit."""
    if values["delimiter"] not in DELIMITER_TEXTS:
        return REFUSED
    sequence = db.slot(0, SEQUENCE, MACHINE)
    maximum = sequence.maxlen if sequence is not None and sequence.kind == "S" else 0
    codes = _bytes(values["sequence"])
    split, per_line = kit.is_id_supported(db, IMAGEADDRESS), maximum // 4
    if split and (per_line == 0 or len(codes) > 4 * per_line):
        return REFUSED
    lines = [b""] * 4
    for position, byte in enumerate(codes):
        text = code_text(chr(byte - 32) if 97 <= byte <= 122 else chr(byte), values)
        if text is None:
            return REFUSED
        line = position // per_line if split else 0
        if len(lines[line]) + len(text) >= LINE_BYTES:
            db.set_last_error("printer", "E_EXCEEDSMAXIMUM")
            return REFUSED
        lines[line] += text
    if any(count_characters(line.decode("utf-8", "surrogateescape")) > line_limit(maximum) for line in lines):
        db.set_last_error("printer", "E_EXCEEDSMAXIMUM")
        return REFUSED
    return SUCCESS


def composition_settled(db):
    """The status the skip rules or a model without printing give before any check, else None."""
    if kit.is_relaxed(db) or kit.is_loading(db):
        return SUCCESS
    return None if has_support(db) else FAIL


def validate_composed(db, datum, window, value):
    status = composition_settled(db)
    if status is None:
        status = db.base_validate(datum, window, value)
        if status == SUCCESS:
            status = compose(db, settings(db, datum.id, value))
    return status


def validate_message(db, datum, value):
    status = composition_settled(db)
    if status is not None:
        return status
    status = db.base_validate_text(datum, value)
    if status != SUCCESS:
        if count_characters(value) > datum.maxlen:
            db.set_last_error("printer", "E_EXCEEDSMAXIMUM")
        return status
    return REFUSED if "]]>" in value else compose(db, settings(db, datum.id, value))


def segments(db):
    """The write sequence's segments: one per value of the image-address level while images are addressed."""
    if not kit.is_id_supported(db, IMAGEADDRESS):
        return 1
    level = kit.supported(db, LEVEL, MACHINE)
    count = len(level.cur_items) if level is not None and level.kind == "E" else 0
    return count if count > 1 else 1


def conversion_shortens(db, length, maximum):
    segment = maximum // segments(db)
    return length > maximum and segment > 0 and length % segment == 0


def validate_sequence(db, datum, value):
    if kit.is_relaxed(db):
        return SUCCESS
    if not has_support(db):
        return FAIL
    if kit.is_loading(db):
        return SUCCESS
    length = count_characters(value)
    if length > datum.maxlen and not conversion_shortens(db, length, datum.maxlen):
        return REFUSED
    return compose(db, settings(db, SEQUENCE, value))


def sequence_fits(db, datum, text):
    """Within the limits, or longer by whole lines on a sequence the passes convert (one that is offered)."""
    length = count_characters(text)
    if len(_bytes(text)) >= STRING_BYTES:
        return False
    return length <= datum.maxlen or (db.access(datum) != 0 and conversion_shortens(db, length, datum.maxlen))


def characters(text, first, count):
    """Characters first to first + count - 1 of a text (as the string limits count them); empty beyond its end."""
    data = _bytes(text)

    def offset(characters_before):
        position = counted = 0
        while position < len(data) and counted < characters_before:
            position += character_bytes(data, position)
            counted += 1
        return position
    return data[offset(first):offset(first + count)].decode("utf-8", "surrogateescape")


def convert_sequence(db, datum):
    """The sequence set itself: one segment moves to the last of the image-address form, "Z" before it; whole
    segments beyond the maximum leave the last one, or as many "Z" when it prints a field."""
    text, maximum = datum.scur, datum.maxlen
    length, count = count_characters(text), segments(db)
    segment = maximum // count
    if length < maximum and length == segment and segment > 0:
        fill = (count - 1) * segment
        if fill + len(_bytes(text)) < STRING_BYTES:
            db.set_current_string(datum, "Z" * fill + text)
    elif conversion_shortens(db, length, maximum):
        last = characters(text, length - segment, segment)
        db.set_current_string(datum, "Z" * segment if any(code in "ABCDabcd" for code in last) else last)


def validate(db, datum, window, value, row):
    check = row[6]
    if check == "index":
        return validate_index(db, datum, window, value)
    if check == "composition":
        return validate_composed(db, datum, window, value)
    if check == "message":
        return validate_message(db, datum, value)
    if check == "sequence":
        return validate_sequence(db, datum, value)
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
        if m.id == datum.id:
            convert_sequence(db, datum)
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

    def fits(self, db, datum, text):
        return sequence_fits(db, datum, text) if datum.id == SEQUENCE else None


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
    if id_ == SEQUENCE:
        return sequence_pieces(db, datum.scur)
    if datum.kind == "S":
        return record.lexicon, datum.scur
    text = str(datum.cur) if datum.kind == "R" else record.lexicon_of(datum.cur)
    return (record.lexicon, text) if text is not None else None


def sequence_pieces(db, text):
    """The write sequence's arguments: the whole text without image addressing; with it 40 characters a level
    ("alllevels": characters 121 to 160 on each), none without "iawritesequence160"; a piece holding "]]>" is not
    written."""
    if not kit.is_id_supported(db, IMAGEADDRESS):
        pieces = [(PIECE_NAMES[0], text)]
    elif not has(db, "iawritesequence160"):
        pieces = []
    else:
        all_levels = kit.value_of(db, LEVEL, MACHINE, 1) == ALL_LEVELS
        pieces = [(name, characters(text, ALL_LEVELS_FIRST if all_levels else PIECE * index, PIECE))
                  for index, name in enumerate(PIECE_NAMES)]
    return [piece for piece in pieces if "]]>" not in piece[1]]


def check_task(db, root):
    """A setconfig's printer arguments: those of the supported printer capabilities with consumers, in the
    order of SENT, with the model's values; none of NEVER_SENT; under image addressing no piece of the write
    sequence longer than a line of 40."""
    command = root[0] if len(root) else None
    if command is None or command.tag != "setconfig":
        return []
    theme = {db.lookup[ID[name]].lexicon for name in SENT + NEVER_SENT if ID[name] in db.lookup} | set(PIECE_NAMES)
    sent = [(child.tag, child.text or "") for child in command if child.tag in theme]
    expected = []
    for name in SENT:
        pair = argument(db, ID[name])
        expected += pair if isinstance(pair, list) else [pair] if pair is not None else []
    problems = []
    if sent != expected:
        problems.append("setconfig: the library sent the printer arguments %s, the model %s" % (sent, expected))
    if kit.is_id_supported(db, IMAGEADDRESS):
        problems += ["setconfig: %s of %d characters" % (name, count_characters(text)) for name, text in sent
                     if name in PIECE_NAMES and count_characters(text) > PIECE]
    return problems


# -- the harness's dumps, walks and sweeps --------------------------------------------------------------------
EXTRAS = ("printer.inquiry",)
# The model configuration keys of the two kinds of printing, left out by configuration edits.
KEY_VARIANTS = {"imprinter": ["cfgdel printonimage 1"], "printonimage": ["cfgdel printer 1"],
                "noprinter": ["cfgdel printer 1", "cfgdel printonimage 1"]}


# Image addressing taken out of the extras, so that the write sequence is plain: 40 codes on a model that prints
# 160 with image addressing, else its own 160 (lines of 40).
PLAIN = ["cfgenumdel indexingformat none 1", "cfgenumdel indexingformat imageaddress 1"]
PLAIN_VARIANTS = {"plain40": PLAIN, "plain160": PLAIN + ["cfgdel iawritesequence160 1"]}


def dump_variants(scanners):
    """Every scanner with the printer's extras but without image addressing; the scanner with both units and
    the imprinter without printing onto the image, with it alone and with neither; mapleC with a plain write
    sequence of 40 and of 160."""
    variants = {scanner + ":printer": (scanner, EXTRAS, []) for scanner in scanners}
    variants.update({"mapleC+flatbed:" + name: ("mapleC+flatbed", (), edits)
                     for name, edits in KEY_VARIANTS.items()})
    variants.update({"mapleC:" + name: ("mapleC", (), edits) for name, edits in PLAIN_VARIANTS.items()})
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
    moves.append("settext %d %s" % (SEQUENCE, rng.choice(("1%20S", "ABCD", "%", "Z" * 40, "1ytx", "Z" * 120 + "1%20S" +
                                                          "Z" * 37, "Z" * 80 + "a" + "Z" * 39, "Z" * 100))))
    moves.append(rng.choice(("stateset 4", "stateclear 4", "stateclear 4", "cfgset 1 136 1", "cfgset 1 136 0",
                             "stateset 3", "stateclear 3", "stateclear 3")))
    return moves


def access_sweep(db):
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


# -- the seeded property test of the composition ---------------------------------------------------------------
CODES = " #Z123456ABCDSTYabcdstyz"
NOT_CODES = ("X", "7", "!", "\u00e9", "\udcff")
MESSAGE_TEXTS = ("", "BATCH", "\u00e9" * 12, "\u20ac" * 40, "M" * 35, "\udcff" * 3, "a]]>b", "M" * 41)
COMPOSITION_SETS = 1000  # a swept scanner; the image-address and the two plain write sequences make 3,000
LEVEL_LISTS = ((1, 2, 3, 4), (1, 2, 3, 4, 5, 6), (1, 2), (1,))


def _codes(rng, maximum):
    """Mostly short or of a length around the limit or its whole lines, often filled with "Z"; codes of the
    table in either case, now and then one outside it."""
    pick = rng.random()
    if pick < 0.5:
        length = rng.randrange(0, 12)
    elif pick < 0.85:
        length = rng.choice((maximum - 1, maximum, maximum + 1, 40, 41, 80, 100, 120, 160, 200))
    else:
        length = rng.randrange(0, 2 * maximum + 2)
    filled = rng.random() < 0.6
    codes = []
    for _ in range(max(length, 0)):
        if filled and rng.random() < 0.85:
            codes.append("Z")
        elif rng.random() < 0.03:
            codes.append(rng.choice(NOT_CODES))
        else:
            codes.append(rng.choice(CODES))
    return "".join(codes)


def _message(rng):
    if rng.random() < 0.5:
        return rng.choice(MESSAGE_TEXTS)
    return "".join(rng.choice("M\u00e9\u20ac ") for _ in range(rng.randrange(0, 45)))


def composition_sets(db):
    """Write sequences, delimiters 0 to 6, date and time formats 0 to 10, index formats 0 to 4, digits, counters
    and messages (multibyte, empty, over-long, not UTF-8) set at random while printing, with now and then
    another list of image-address levels, a level, or a run of sets with relaxed checks or while loading. The
    harness holds status, the strings and the last printer error to the library's after each."""
    sequence = db.slot(0, SEQUENCE, MACHINE)
    if sequence is None or sequence.access == 0:
        return
    rng = random.Random(108 + sequence.maxlen + 7 * bool(db.dbia))
    modes = {"normal": [], "relaxed": ["cfgset 1 136 1", "stateset 4"], "loading": ["stateset 3"]}
    undo = {"normal": [], "relaxed": ["stateclear 4", "cfgset 1 136 0"], "loading": ["stateclear 3"]}
    mode = "normal"
    yield "labels"
    yield "set %d 0 1 %d" % (ENABLED if has(db, "printer") else FRONT, ON)
    numbers = {ID["PRINTERDATEDELIMITER"]: (0, 7), ID["PRINTERDATEFORMAT"]: (0, 11),
               ID["PRINTERTIMEFORMAT"]: (0, 11), ID["PRINTERINDEXFORMAT"]: (0, 5), DIGITS: (0, 11)}
    for step in range(COMPOSITION_SETS):
        if step % 100 == 0:
            yield from undo[mode]
            mode = rng.choice(("normal", "normal", "normal", "normal", "relaxed", "loading"))
            yield from modes[mode]
        pick = rng.random()
        if pick < 0.45:
            yield "settext %d %s" % (SEQUENCE, listing.escape(_codes(rng, sequence.maxlen)))
        elif pick < 0.75:
            id_ = rng.choice(tuple(numbers))
            yield "set %d 0 1 %d" % (id_, rng.randrange(*numbers[id_]))
        elif pick < 0.93:
            yield "settext %d %s" % (rng.choice(MESSAGES), listing.escape(_message(rng)))
        elif pick < 0.96:
            yield "set %d 0 1 %d" % (INDEX, rng.choice((0, 7, 105, 99999, 123456789)))
        elif db.dbia and pick < 0.98:
            yield "items %d 0 1 %s" % (LEVEL, " ".join(str(item) for item in rng.choice(LEVEL_LISTS)))
        elif db.dbia:
            yield "set %d 0 1 %d" % (LEVEL, rng.randrange(1, 7))
    yield from undo[mode]


def sweep(db):
    """The access of both kinds of printing, then the composition's property test."""
    yield from access_sweep(db)
    yield from composition_sets(db)
