"""Image addresses: the image-address rules object (db/id/db_cdbia*.cpp) and the indexing, batch and patch classes
that hand their rules to it or hold their own (db/id/db_cindexing*.cpp). The printer's write sequence, whose
rules hand on to the same object, is the printer theme's.

The rules exist only on a model that offers indexing: the stand-ins list it through the extras of EXTRAS (image
addressing "ia", which gives the "indexingformat" values none and imageaddress, the check digit "iacheckdigit" and a
"patchtogglemode" list)."""
import random

from .. import kit, listing
from ..database import FAIL, NOTMODIFIABLE, REFUSED, SUCCESS, character_bytes, count_characters
from ..names import COMMON, ID, MACHINE
from ..rules import Rule, rule

EXTRAS = ("imageaddress.inquiry",)

FIELDS = tuple(ID["IMAGEADDRESS_" + letter] for letter in "ABCD")
LEVELS = tuple(ID["LEVELTOFOLLOW%d" % number] for number in (1, 2, 3))
HEADS = tuple(ID["PATCHHEAD%d" % number] for number in (1, 2, 3, 4))
DETECTION, TRANSFER = ID["PATCHCODEDETECTIONENABLED"], ID["PATCHTRANSFER"]
FORMAT, TEMPLATES, TEMPLATES_PREV = ID["INDEXINGFORMAT"], ID["IMAGEADDRESSTEMPLATES"], ID["IMAGEADDRESSTEMPLATES_PREV"]
ADDRESS, SCANNER, SEQUENCE = ID["IMAGEADDRESS"], ID["IMAGEADDRESSSCANNER"], ID["PRINTERWRITESEQUENCESTRING"]
BATCHCOUNT, BATCHSWITCH = ID["BATCHCOUNT"], ID["BATCHCOUNTENABLED"]
BATCHLEVEL, BATCHSTART = ID["BATCHLEVEL"], ID["BATCHSTARTFUNCTION"]
COUNTS = (ID["PAGECOUNT"], ID["XFERCOUNT"])
PRINTER_IA = (ID["PRINTERIMAGEADDRESSFORMAT"], ID["PRINTERIMAGEADDRESSLEVEL"])
IMAGEADDRESS_FORMAT, NO_FORMAT = 5, 1
STRING_BYTES = 1024


def patch(id_):
    return DETECTION <= id_ <= TRANSFER


# -- the template table ---------------------------------------------------------------------------------------
def _template(a, b="", c="", d=""):
    return (a, b, c, d), ".".join(field for field in (a, b, c, d) if field)


F9 = "FFFFFFFFF"
TEMPLATE_TABLE = [_template(F9)] * 3 + [
    _template(F9, "333333", "222222", "111111"),
    _template(F9, "222222222", "111111111"),
    _template(F9, "111111111"),
    _template(F9, "333333333", "222222222"),
    _template(F9, "222222222"),
] + [_template(F9)] * 11
TEMPLATE_LEVELS = (1, 1, 1)
TEMPLATE_ADDRESS = {2: "A", 3: "A.1.0.0", 4: "A.1.0", 6: "A.1.0", 5: "A.1", 7: "A.1"}


def selected_template(db):
    value = kit.value_of(db, TEMPLATES, MACHINE, 0)
    return TEMPLATE_TABLE[value] if 2 <= value <= 18 else None


# -- what the rules read --------------------------------------------------------------------------------------
def field_pattern(db, index):
    """(readable, pattern) of field A to D."""
    datum = kit.supported(db, FIELDS[index], MACHINE)
    if datum is None or datum.kind != "S":
        return False, ""
    return True, datum.scur


def has_field_of_level(db, level):
    return any(readable and pattern[:1] == level for readable, pattern in (field_pattern(db, i) for i in range(4)))


def is_on(db, id_):
    return kit.value_of(db, id_, MACHINE, 1) == 2


def is_ia_format(db):
    return kit.value_of(db, FORMAT, MACHINE, NO_FORMAT) == IMAGEADDRESS_FORMAT


def relaxed_or_loading(db):
    return kit.is_relaxed(db) or kit.is_loading(db)


def is_image_address_setting(id_):
    """CDbIa::IsImageAddressSetting: batch settings, check digit, template, fields, starting address, levels to
    follow, patch settings, the printer's image-address format and level."""
    return id_ in (ADDRESS, TEMPLATES, ID["CHECKDIGIT"]) or id_ in FIELDS or id_ in LEVELS or id_ in PRINTER_IA or \
        BATCHCOUNT <= id_ <= BATCHSTART or patch(id_)


def is_setting_for_access(id_):
    """Modified values whose change the access of every image-address setting follows."""
    return (is_image_address_setting(id_) and id_ != ADDRESS) or id_ == FORMAT


def need_image_address(db):
    if is_ia_format(db):
        return True
    return db.modified is not None and db.test(2) and is_setting_for_access(db.modified.id)


def record_error(db, token):
    db.set_last_error("imageaddress", token)


# -- CDbIaImpl::FixDefault ------------------------------------------------------------------------------------
def ia_fix_default(db, datum):
    db.base_fix_default(datum)
    if datum.id != FORMAT:
        return
    record = db.lookup.get(datum.id)
    index = 0
    while index < len(datum.def_items):
        item = datum.def_items[index]
        name = record.lexicon_of(item) if record else None
        if name and db.config.enum_exists("indexingformat", name, COMMON):
            index += 1
            continue
        if len(datum.def_items) == 1:
            db.set_access(datum, 0)
            return
        db.delete_default_item(datum, item)
    db.fix_default_reset(datum)


# -- CDbIaImpl::FixAccess -------------------------------------------------------------------------------------
COMMON_RULE = (BATCHSWITCH, ADDRESS, SCANNER, TEMPLATES) + FIELDS + LEVELS + PRINTER_IA


def ia_fix_access(db, datum):
    common = 4 if is_ia_format(db) else 5
    id_ = datum.id
    if id_ == BATCHCOUNT:
        by_switch = db.modified is not None and db.modified.id == BATCHSWITCH
        if not by_switch and any(kit.value_of(db, count, MACHINE, 0) > 0 for count in COUNTS):
            db.set_access(datum, 1)
        else:
            db.set_access(datum, common if is_on(db, BATCHSWITCH) else 1)
    elif id_ in COMMON_RULE:
        db.set_access(datum, common)
    elif id_ in (ID["BATCHENDFUNCTION"], BATCHLEVEL, BATCHSTART):
        if datum.access != 0:
            db.set_access(datum, common if is_on(db, BATCHSWITCH) else 1)
    elif id_ in (TEMPLATES_PREV, SEQUENCE):
        pass
    elif patch(id_):
        if datum.access == 0:
            return SUCCESS
        if id_ == DETECTION or not is_ia_format(db):
            db.set_access(datum, common)
        else:
            db.set_access(datum, 4 if is_on(db, DETECTION) else 1)
    else:
        return FAIL
    return SUCCESS


# -- CDbIaImpl::FixCurrent ------------------------------------------------------------------------------------
def fall_back_level(db, datum, record):
    value = datum.cur
    start = datum.id == BATCHSTART
    level = value - 1 if start else value
    if (level == 2 and not has_field_of_level(db, "2")) or (level == 3 and not has_field_of_level(db, "3")):
        if record:
            record_error(db, "E_LEVELTOFOLLOWRESET")
        db.set_current_long(datum, 2 if start else 1)


def follow_template(db, datum, template_value):
    row = selected_template(db)
    if row is None:
        return
    fields, full = row
    if datum.id in FIELDS:
        db.set_current_string(datum, fields[FIELDS.index(datum.id)])
    elif datum.id in LEVELS:
        db.set_current_long(datum, TEMPLATE_LEVELS[LEVELS.index(datum.id)])
    elif datum.id == BATCHLEVEL:
        if (datum.cur == 2 and "2" not in full) or (datum.cur == 3 and "3" not in full):
            db.set_current_long(datum, 1)
    elif datum.id == ADDRESS and template_value in TEMPLATE_ADDRESS:
        db.set_current_string(datum, TEMPLATE_ADDRESS[template_value])


def cut_to_characters(text, maximum):
    """The text cut after its first maximum characters (counted as the string limits count them)."""
    data = text.encode("utf-8", "surrogateescape")
    offset = count = 0
    while offset < len(data):
        if count == maximum:
            return data[:offset].decode("utf-8", "surrogateescape"), True
        offset += character_bytes(data, offset)
        count += 1
    return text, False


def rebuild_from_scanner(db, datum, scanner):
    fixed = []
    for index in range(4):
        readable, pattern = field_pattern(db, index)
        fixed.append(not readable or pattern[:1] == "F")
    parts = scanner.split(".")
    out = ""
    for index, part in enumerate(parts[:4]):
        if index > 0:
            out += "."
        if fixed[index] or not part:
            out += part
        else:
            stripped = part.lstrip("0 ")
            out += stripped if stripped else "0"
    out = cut_to_characters(out, datum.maxlen)[0].rstrip(".")
    db.set_current_string(datum, out)


def is_printable(db, index):
    datum = db.slot(0, FIELDS[index], MACHINE)
    return datum is not None and datum.kind == "S" and datum.scur != "" and db.access(datum) in (3, 4)


def field_of_code(character):
    if "a" <= character <= "d":
        return ord(character) - ord("a")
    if "A" <= character <= "D":
        return ord(character) - ord("A")
    return -1


def check_for_invalid_ia(db, datum):
    for character in datum.scur:
        index = field_of_code(character)
        if index >= 0 and not is_printable(db, index):
            db.set_current_string(datum, "Z" * min(datum.maxlen, STRING_BYTES - 1))
            return


def ia_fix_current(db, datum):
    m = db.modified
    if m is None or m is datum:
        return SUCCESS
    if need_image_address(db):
        ia_fix_access(db, datum)
    m_id, m_value = m.id, (m.cur if m.kind != "S" else 0)
    id_ = datum.id
    if id_ == BATCHCOUNT:
        if m_id in COUNTS:
            ia_fix_access(db, datum)
        elif m_id == BATCHSWITCH and m_value == 2 and datum.cur == 0:
            db.set_current_long(datum, 1)
        return SUCCESS
    if id_ == BATCHSWITCH:
        if m_id in COUNTS and m_value >= 1:
            db.set_current_long(datum, 1)
        return SUCCESS
    if id_ in (ID["BATCHENDFUNCTION"], SCANNER):
        return SUCCESS
    if id_ == TEMPLATES:
        if (m_id in FIELDS or m_id in LEVELS) and not relaxed_or_loading(db):
            db.set_current_long(datum, 1)
        return SUCCESS
    if id_ == TEMPLATES_PREV:
        if m_id == TEMPLATES and not kit.is_loading(db):
            db.set_current_long(datum, m_value)
        return SUCCESS
    if id_ in PRINTER_IA:
        if m_id == ID["PRINTERENABLED"]:
            ia_fix_access(db, datum)
        return SUCCESS
    if id_ == SEQUENCE:
        if m_id in (TEMPLATES, FORMAT) and not kit.is_loading(db):
            check_for_invalid_ia(db, datum)
        return SUCCESS
    if patch(id_):
        if m_id == DETECTION:
            ia_fix_access(db, datum)
        return SUCCESS
    if id_ not in (BATCHLEVEL, BATCHSTART, ADDRESS) + FIELDS + LEVELS:
        return FAIL
    if relaxed_or_loading(db):
        return SUCCESS
    if m_id == TEMPLATES:
        if id_ != BATCHSTART:
            follow_template(db, datum, m_value)
    elif m_id in FIELDS:
        if id_ == ADDRESS:
            db.set_current_string(datum, "")
        elif id_ not in FIELDS:
            fall_back_level(db, datum, id_ in LEVELS)
    elif m_id == SCANNER and id_ == ADDRESS and m.kind == "S":
        rebuild_from_scanner(db, datum, m.scur)
    return SUCCESS


# -- CDbIaImpl::Validate of a text, written from the steps and the token table ----------------------------------
def characters(text):
    """A text's length in characters: the decoded text's when it is UTF-8; otherwise as CDbDatum::CountCharacters
    falls back to counting it: a lead byte with the continuation bytes that follow it, any other byte alone."""
    try:
        return len(text.encode("utf-8", "surrogateescape").decode("utf-8"))
    except UnicodeDecodeError:
        return count_characters(text)


def printable(text):
    """Every byte printable in the C locale: space to tilde."""
    return all(0x20 <= byte <= 0x7e for byte in text.encode("utf-8", "surrogateescape"))


def level_of(pattern):
    return pattern[0] if pattern[:1] in ("1", "2", "3") else None


def refuse(db, token):
    record_error(db, token)
    return REFUSED


def validate_address(db, value):
    """The starting address: each dot-separated value field against the used patterns in their order, lengths
    before characters. An empty value field between dots (or after the third) stands for zeros as wide as the
    template field it is held against, so it always fits."""
    template = [pattern for pattern in (field_pattern(db, index)[1] for index in range(4)) if pattern]
    if value.count(".") > max(len(template), 1) - 1:
        return refuse(db, "E_IA_TOOMANYDOTS")
    values = value.split(".")
    values += [""] * (4 - len(values))
    template += [""] * (4 - len(template))
    if any(characters(part) > characters(field) for part, field in zip(values, template)):
        return refuse(db, "E_IA_LENGTHTOOLONG")
    for part, field in zip(values, template):
        if field[:1] == "F":
            if not printable(part):
                return refuse(db, "E_IA_NOTALPHANUMERIC")
        elif not all("0" <= character <= "9" for character in part):
            return refuse(db, "E_IA_NOTDIGIT")
    return SUCCESS


def validate_pattern(db, datum, value):
    """A field's pattern, judged with the other three as they stand; level 3 needs level 2 in the resulting set."""
    length = characters(value)
    if length > datum.maxlen:
        return refuse(db, "E_TOOLARGE9")
    index = FIELDS.index(datum.id)
    others = [field_pattern(db, other)[1] for other in range(4) if other != index]
    address = kit.supported(db, ADDRESS, MACHINE)
    if address is not None and address.kind == "S" and \
            length + sum(characters(other) for other in others) > address.maxlen - 3:
        return refuse(db, "E_TOOLARGE27")
    if any(character not in "F123" for character in value):
        return refuse(db, "E_ONLY123F")
    if any(character != value[0] for character in value):
        return refuse(db, "E_NOMIXING")
    levels = [level_of(pattern) for pattern in others + [value]]
    if "3" in levels and "2" not in levels:
        return refuse(db, "E_MUSTHAVE3")
    if level_of(value) and level_of(value) in levels[:3]:
        return refuse(db, "E_ONLYONE123")
    return printer_lines(db, "ABCD"[index], value)


# What CDatabase::ConvertPrinterSequenceToSimulation gives for a code from the current settings.
DELIMITERS = ("", "/", "-", ".", " ")
DATES = ("MM%sDD%sYYYY", "MM%sDD%sYY", "DD%sMM%sYYYY", "DD%sMM%sYY", "YYYY%sMM%sDD", "YY%sMM%sDD", "DDD",
         "YYYY%sDDD", "YY%sDDD")
TIMES = ("HH:MM", "HH:mm", "HH:mm:ss", "HH:mm:ss.xx", "hh:mm", "hh:mm:ss", "hh:mm:ss.xx", "hh:mm tt", "hh:mm:ss tt",
         "hh:mm:ss.xx tt")
PRINTED_BYTES = 512


def _printer_current(db, name):
    datum = db.slot(0, ID[name], MACHINE)
    return datum.cur if datum is not None and datum.kind != "S" else 0


def _printer_text(db, id_):
    datum = db.slot(0, id_, MACHINE)
    return datum.scur if datum is not None and datum.kind == "S" and datum.access != 0 else ""


def _counter(db):
    fill = {1: "<", 2: None, 3: "_"}
    index_format = _printer_current(db, "PRINTERINDEXFORMAT")
    if index_format not in fill:
        return None
    digits = max(0, min(_printer_current(db, "PRINTERINDEXDIGITS"), PRINTED_BYTES))
    text = "%0*d" % (digits, _printer_current(db, "PRINTERINDEX"))
    if len(text) >= PRINTED_BYTES:
        return None
    if fill[index_format] is None:
        return text
    out = ""
    for position, character in enumerate(text):
        if character in "123456789":
            return out + text[position:]
        out += fill[index_format] if character == "0" else character
    return out


def simulated(db, code):
    """(status, text) of one code: 1 without a printer, 4 refused (an empty text), else 0."""
    if not db.config.exists("printer", COMMON) and not db.config.exists("printonimage", COMMON):
        return FAIL, ""
    text = None
    if "1" <= code <= "6":
        text = _printer_text(db, ID["PRINTERWRITESEQUENCEMESSAGE1"] + ord(code) - ord("1"))
    elif "A" <= code <= "D":
        text = _printer_text(db, FIELDS[ord(code) - ord("A")])
    elif code == " ":
        text = " "
    elif code in "#Z":
        text = ""
    elif code == "S":
        text = _counter(db)
    elif code == "T":
        supported = any(db.accessible(db.slot(0, ID["PRINTERTIMEFORMAT"], bin_)) for bin_ in range(1, 6))
        time_format = _printer_current(db, "PRINTERTIMEFORMAT") if supported else 0
        text = TIMES[time_format] if 0 <= time_format < len(TIMES) else None
    elif code == "Y":
        delimiter, date = _printer_current(db, "PRINTERDATEDELIMITER"), _printer_current(db, "PRINTERDATEFORMAT")
        if 1 <= delimiter <= len(DELIMITERS) and 1 <= date <= len(DATES):
            text = DATES[date - 1].replace("%s", DELIMITERS[delimiter - 1])
    if text is None or len(text.encode("utf-8", "surrogateescape")) >= PRINTED_BYTES:
        return REFUSED, ""
    return SUCCESS, text


def printer_lines(db, letter, value):
    """Each line of the write sequence (a quarter of its codes, the last one too) no longer than the printer
    takes, the field's code (in either case) printing the proposed pattern."""
    sequence = kit.supported(db, SEQUENCE, MACHINE)
    if sequence is None or sequence.kind != "S":
        return SUCCESS
    per_line, limit = sequence.maxlen // 4, printer_line_limit(sequence.maxlen)
    codes = sequence.scur.encode("utf-8", "surrogateescape")
    line, count = "", 0
    for position, byte in enumerate(codes, 1):
        code = chr(byte).upper() if byte < 0x80 else chr(byte)
        line += value if code == letter else simulated(db, code)[1]
        count += 1
        if count != per_line and position < len(codes):
            continue
        if characters(line) > limit:
            return refuse(db, "E_EXCEEDSMAXIMUMPRINTER")
        line, count = "", 0
    return SUCCESS


def printer_line_limit(maximum):
    """The characters the printer takes on a line, by the write sequence's maximum (the composition's limit)."""
    return maximum // 4 if 80 <= maximum <= 249 else maximum


# -- CDbIaImpl::Validate --------------------------------------------------------------------------------------
def level_asked_for(id_, value):
    level = value - 1 if id_ == BATCHSTART else value
    return "2" if level == 2 else "3" if level == 3 else None


def ia_validate(db, datum, window, value):
    id_ = datum.id
    if datum.kind == "S":
        if id_ != ADDRESS and id_ not in FIELDS:
            return FAIL
        # The address is held to its access as the fields are.
        if kit.is_relaxed(db):
            return SUCCESS
        if not db.modifiable(datum):
            return NOTMODIFIABLE
        if kit.is_loading(db):
            return SUCCESS
        return validate_address(db, value) if id_ == ADDRESS else validate_pattern(db, datum, value)
    is_level = id_ in (BATCHLEVEL, BATCHSTART) + LEVELS
    is_head = id_ in HEADS
    if datum.kind != "E" or not (is_level or is_head):
        return FAIL
    if is_level and relaxed_or_loading(db):
        return SUCCESS
    status = db.base_validate(datum, window, value)
    if status != SUCCESS:
        return status
    if is_head:
        if value == 2:
            return SUCCESS
        if value != 1:
            return REFUSED
        others = [kit.value_in(db, window, head, datum.bin, 1) for head in HEADS if head != id_]
        return SUCCESS if any(other != 1 for other in others) else REFUSED
    level = level_asked_for(id_, value)
    if level is None or has_field_of_level(db, level):
        return SUCCESS
    if id_ != BATCHSTART:
        record_error(db, "E_LEVELTOFOLLOW")
    return REFUSED


# -- CDbIaImpl::MakeXml ---------------------------------------------------------------------------------------
def ia_make_xml(db, datum, value):
    if not ID["PATCHFEATURE1"] <= datum.id <= TRANSFER:
        return None
    return value if is_ia_format(db) and is_on(db, DETECTION) else 1


# -- the indexing classes -------------------------------------------------------------------------------------
FD, FC, FA, VA, MX = "FixDefault", "FixCurrent", "FixAccess", "Validate", "MakeXml"
RULES = {FD, FC, FA}
# capability: (operations handed on, own rule): "A" FixDefault unsupported without the rules, "B" the same for
# FixAccess, "format" the indexing format following the settings.
ROWS = {
    "BATCHCOUNT": (RULES, None), "BATCHCOUNTENABLED": (RULES, None), "BATCHENDFUNCTION": (RULES, None),
    "BATCHLEVEL": (RULES | {VA}, None), "BATCHSTARTFUNCTION": (RULES | {VA}, None),
    "IMAGEADDRESS": ({FD, FC, VA}, "B"), "IMAGEADDRESSSCANNER": (RULES, None), "IMAGEADDRESSTEMPLATES": (RULES, None),
    "IMAGEADDRESSTEMPLATES_PREV": ({FC}, None),
    "IMAGEADDRESS_A": (RULES | {VA}, None), "IMAGEADDRESS_B": (RULES | {VA}, None),
    "IMAGEADDRESS_C": (RULES | {VA}, None), "IMAGEADDRESS_D": (RULES | {VA}, None),
    "INDEXINGFORMAT": ({FD}, "format"),
    "LEVELTOFOLLOW1": ({FC, VA}, "A"), "LEVELTOFOLLOW2": ({FC, VA}, "A"), "LEVELTOFOLLOW3": ({FC, VA}, "A"),
    "PATCHCODEDETECTIONENABLED": (RULES, None),
    "PATCHFEATURE1": (RULES | {MX}, None), "PATCHFEATURE4": (RULES | {MX}, None),
    "PATCHFEATURE6": (RULES | {MX}, None),
    "PATCHHEAD1": (RULES | {VA, MX}, None), "PATCHHEAD2": (RULES | {VA, MX}, None),
    "PATCHHEAD3": (RULES | {VA, MX}, None), "PATCHHEAD4": (RULES | {VA, MX}, None),
    "PATCHLEVEL2": (RULES | {MX}, None), "PATCHLEVEL3": (RULES | {MX}, None),
    "PATCHTRANSFER": ({FC, FA, MX}, "A"),
}
ROW_BY_ID = {ID[name]: row for name, row in ROWS.items()}


def base_validate(db, datum, window, value):
    return db.base_validate_text(datum, value) if datum.kind == "S" else db.base_validate(datum, window, value)


def format_follows_settings(db, datum):
    m = db.modified
    if m is None or kit.is_loading(db) or datum.cur == IMAGEADDRESS_FORMAT:
        return
    touched = is_image_address_setting(m.id)
    if m.id == SEQUENCE and datum.cur == NO_FORMAT and m.kind == "S":
        touched = any(field_of_code(character) >= 0 for character in m.scur)
    if touched and IMAGEADDRESS_FORMAT in datum.cur_items:
        db.set_current_long(datum, IMAGEADDRESS_FORMAT)


@rule(*(name for name, (handed, _) in ROWS.items() if MX not in handed))
class Indexing(Rule):
    def fix_default(self, db, datum):
        handed, own = ROW_BY_ID[datum.id]
        if FD not in handed and own != "A":
            db.base_fix_default(datum)
        elif not db.dbia:
            db.set_access(datum, 0)
        elif FD in handed:
            ia_fix_default(db, datum)
        else:
            db.base_fix_default(datum)

    def fix_access(self, db, datum):
        handed, own = ROW_BY_ID[datum.id]
        if FA not in handed and own != "B":
            return
        if not db.dbia:
            if FA not in handed:
                db.set_access(datum, 0)
        elif FA in handed:
            ia_fix_access(db, datum)

    def fix_current(self, db, datum):
        handed, own = ROW_BY_ID[datum.id]
        if own == "format":
            format_follows_settings(db, datum)
        elif FC in handed and db.dbia:
            ia_fix_current(db, datum)

    def validate(self, db, datum, window, value):
        if VA in ROW_BY_ID[datum.id][0] and db.dbia:
            return ia_validate(db, datum, window, value)
        return base_validate(db, datum, window, value)



@rule(*(name for name, (handed, _) in ROWS.items() if MX in handed))
class IndexingWritten(Indexing):
    """The patch settings, which also hand on what they write."""

    def make_xml(self, db, datum, value, consumer):
        return ia_make_xml(db, datum, value) if db.dbia else None


@rule("CHECKDIGIT")
class CheckDigit(Rule):
    def fix_default(self, db, datum):
        if not db.config.exists("iacheckdigit", COMMON):
            db.set_access(datum, 0)


def fix_default_enum_from_db_config(db, datum, target):
    """CDatabase::FixDefaultEnumFromDbConfig without a prefix."""
    record = db.lookup.get(datum.id)
    if record is None:
        return
    key = record.twain or record.lexicon
    if not datum.def_items:
        db.fix_default_reset(datum)
        return
    unlisted = []
    for value in datum.def_items:
        name = record.lexicon_of(value)
        if name is None:
            return
        if not db.config.enum_exists(key, name, target):
            unlisted.append(value)
    for value in unlisted:
        db.delete_default_item(datum, value)
    db.fix_default_reset(datum)


@rule("TOGGLEPATCH")
class TogglePatch(Rule):
    def fix_default(self, db, datum):
        fix_default_enum_from_db_config(db, datum, COMMON)
        db.set_access(datum, 4 if datum.def_items else 0)

    def fix_current(self, db, datum):
        m = kit.modified(db, datum)
        if m is not None and ((m.id == ID["CROPPINGMODE"] and m.new == 5) or
                              (m.id == ID["PAPERSOURCE"] and m.new == 3) or
                              (m.id == ID["AUTOCOLORCONTENT"] and m.new != 1)):
            db.set_current_long(datum, 1)

    def make_xml(self, db, datum, value, consumer):
        return 1 if kit.is_preview(db) else value


# -- the harness's random walk --------------------------------------------------------------------------------
def _pattern(rng):
    kind = rng.random()
    if kind < 0.2:
        return ""
    if kind < 0.9:
        return rng.choice("F123") * rng.randint(1, 9)
    return rng.choice(("12", "ff", "FFFFFFFFFF", "3x", "%C3%A4"))


def _scanner_address(rng):
    kind = rng.random()
    if kind < 0.6:
        return "BOX%05d.%s%04d.%03d" % (rng.randrange(100000), rng.choice(("", "%20%20", "00")), rng.randrange(100),
                                        rng.randrange(5))
    return rng.choice(("....", "%20%20%20", "A" * 300, "%FF%FE.0012", "%C3%A4%C3%B6.0%C3%BC", "1.2.3.4.5", "0.0.0"))


def walk_moves(db, rng):
    """Sets of every image-address capability (now and then off the list), the template, the format and the
    switches more often, field patterns, starting and scanner addresses, write sequences, the counts, the
    relaxed switch and the requests it needs."""
    moves = []
    enums = [ID[name] for name in ROWS if ID[name] not in FIELDS + (ADDRESS, SCANNER, BATCHCOUNT)]
    enums += [ID["CHECKDIGIT"], ID["TOGGLEPATCH"]]
    for id_ in rng.sample(enums, 5) + [TEMPLATES, FORMAT, DETECTION, BATCHSWITCH]:
        datum = db.slot(0, id_, MACHINE)
        if datum is not None and datum.cur_items:
            value = rng.choice(datum.cur_items) if rng.random() < 0.9 else rng.choice((0, 3, 7))
            moves.append("set %d 0 1 %d" % (id_, value))
    moves.append("set %d 0 1 %d" % (BATCHCOUNT, rng.randrange(-1, 4)))
    moves.append("set %d 0 1 %d" % (rng.choice(COUNTS), rng.randrange(0, 3)))
    for id_ in rng.sample(FIELDS, 2):
        moves.append("settext %d %s" % (id_, _pattern(rng) or "%"))
    moves.append("settext %d %s" % (ADDRESS, rng.choice(("A.1.0", "A.2", "%", "A" * 31, "B.0.0.0"))))
    moves.append("settext %d %s" % (SCANNER, _scanner_address(rng)))
    moves.append("settext %d %s" % (SEQUENCE, "".join(rng.choice("ABCDabcdZ1") for _ in range(rng.randrange(0, 8)))
                                    or "%"))
    moves.append(rng.choice(("stateset 4", "stateclear 4", "stateclear 4", "cfgset 1 136 0x1", "cfgset 1 136 0")))
    return moves


# -- the harness's sweep: a seeded property test of the text checks -------------------------------------------
PATTERN_CHARACTERS = "Ff123x "
ADDRESS_CHARACTERS = "0123456789AZaz.. \u00e9\t"
PROPERTY_SETS = 1000  # a scanner: the two swept, one with an imprinter and one without, make 2,000


def _random_pattern(rng):
    """Mostly a run of one character (often a valid pattern), else a mix; 0 to 10 characters."""
    length = rng.randint(0, 10)
    if rng.random() < 0.6:
        return rng.choice(PATTERN_CHARACTERS) * length
    return "".join(rng.choice(PATTERN_CHARACTERS) for _ in range(length))


def _random_address(rng):
    """Mostly dot-separated fields of one kind each (text or digits), else any mix."""
    if rng.random() < 0.6:
        fields = []
        for _ in range(rng.randint(1, 5)):
            kind = rng.choice(("0123456789", "0123456789AZaz \u00e9\t", ""))
            fields.append("".join(rng.choice(kind) for _ in range(rng.randint(0, 10))) if kind else "")
        return ".".join(fields)
    return "".join(rng.choice(ADDRESS_CHARACTERS) for _ in range(rng.randint(0, 14)))


def sweep(db):
    """Random field patterns and starting addresses, from a template with every level; now and then another
    template or a write sequence printing the fields, and runs of sets with relaxed checks (by an application or
    a GUI request) or while loading. The harness holds status, values and last error to the library's after
    each; everything is switched back at the end. Each scanner has a seed of its own."""
    rng = random.Random(104 + db.config.exists("printer", COMMON))
    modes = {"normal": [], "relaxed": ["cfgset 1 136 1", "stateset %d"], "loading": ["stateset 3"]}
    undo = {"normal": [], "relaxed": ["stateclear 4", "stateclear 5", "cfgset 1 136 0"], "loading": ["stateclear 3"]}
    mode = "normal"
    yield "labels"
    yield "set %d 0 1 3" % TEMPLATES
    for step in range(PROPERTY_SETS):
        if step % 50 == 0:
            yield from undo[mode]
            mode = rng.choice(("normal", "normal", "normal", "relaxed", "loading"))
            for command in modes[mode]:
                yield command % rng.choice((4, 5)) if "%d" in command else command
        if rng.random() < 0.02:
            yield "set %d 0 1 %d" % (TEMPLATES, rng.choice((2, 3, 4, 5, 6, 7)))
        if rng.random() < 0.02:
            codes = "".join(rng.choice("ABCDabcdTZ ") for _ in range(rng.randint(0, 60)))
            yield "settext %d %s" % (SEQUENCE, listing.escape(codes))
        yield "settext %d %s" % (rng.choice(FIELDS), listing.escape(_random_pattern(rng)))
        if rng.random() < 0.5:
            yield "settext %d %s" % (ADDRESS, listing.escape(_random_address(rng)))
    yield from undo[mode]
