"""Colour, colour tables, colour dropout and output format (db/id/db_cautocolor.cpp, db_ccolorbalance.cpp,
db_ccolortable.cpp, db_cecdo.cpp, db_cecdocustom.cpp, db_cecdooptions.cpp, db_ccompression.cpp,
db_coutputformat.cpp), the lists they keep (colourlists.py), and what they write into the attribute tasks."""
from .. import configlists, geometry, kit, labels
from ..names import BF, BR, CF, CR, ID, MACHINE, VALUE
from ..rules import Rule, rule

V = VALUE
NONE_CONTENT = V["AUTOCOLORCONTENT"]["NONE"]
GRAY = V["IMAGEFORMAT"]["GRAY_8"]
ECDO_NONE = V["ECDO"]["NONE"]
LAST_ECDO, LAST_ECDOCUSTOM = V["ECDO"]["FILE60"], V["ECDOCUSTOM"]["FILE08"]
MAIN_SECTION, SANETWAINVERSION, FORCENEXILOFF = 1, 57, 99
ECDO_LEARN_STATE = 12
CAMERAS = (BF, BR, CF, CR)


def is_front(bin_):
    return bin_ in (BF, CF)


def is_color(bin_):
    return bin_ in (CF, CR)


def is_on(db, id_, bin_):
    return kit.value_of(db, ID[id_], bin_, 1) == 2


def nexil_forced_off(db):
    return kit.supported(db, ID["NEXIL"], MACHINE) is not None and \
        kit.config_number(db, MAIN_SECTION, FORCENEXILOFF) != 0


def is_gray(db, bin_):
    return kit.value_of(db, ID["IMAGEFORMAT"], bin_, 0) == GRAY


# -- automatic colour -----------------------------------------------------------------------------------------
@rule("AUTOCOLORCONTENT")
class AutoColorContent(Rule):
    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None:
            return
        if m.id == ID["AUTOCOLORCONTENT"]:
            if m.partner:
                db.set_current_long(own, m.new)
        elif m.id == ID["CAMERAENABLE"]:
            if m.new != 2 or not (m.own_camera or m.partner):
                return
            cf, bf, cr, br = kit.cameras_in_use(db)
            other_kind_on = {BF: cf, BR: cr, CF: bf, CR: br}.get(m.bin)
            if other_kind_on:
                db.set_current_long(own, NONE_CONTENT)
        elif m.id == ID["INPUTDOCUMENT"]:
            cf, bf, cr, br = kit.cameras_in_use(db)
            if not ((cf or cr) and (bf or br)):
                return
            if m.new == 1 or (m.new == 2 and is_front(own.bin)) or (m.new == 3 and not is_front(own.bin)):
                db.set_current_long(own, NONE_CONTENT)
        elif m.id == ID["PAPERSOURCE"]:
            cf, bf, _, _ = kit.cameras_in_use(db)
            if m.new == V["PAPERSOURCE"]["FLATBED"] and is_front(own.bin) and not cf and not bf:
                db.set_current_long(own, NONE_CONTENT)
        elif m.id == ID["TOGGLEPATCH"]:
            if m.new != V["TOGGLEPATCH"]["NONE"]:
                db.set_current_long(own, NONE_CONTENT)

    def xml(self, db, own, value):
        if value == NONE_CONTENT or kit.is_preview(db):
            text = "off"
        elif is_on(db, "ACDLEARNMODE", MACHINE):
            text = "learn"
        elif is_on(db, "CAMERAENABLE", own.bin) and is_on(db, "CAMERAENABLE", {BF: CF, BR: CR, CF: BF, CR: BR}[own.bin]):
            text = "detectonly"
        else:
            text = "on"
        return "autocolordetect", text


LEVELS = {V["AUTOCOLORCONTENT"]["LOW"]: (9, 20), V["AUTOCOLORCONTENT"]["MEDIUM"]: (47, 20),
          V["AUTOCOLORCONTENT"]["HIGH"]: (116, 20)}


@rule("AUTOCOLORAMOUNT", "AUTOCOLORTHRESHOLD")
class AutoColorLevel(Rule):
    def fix_access(self, db, own):
        if own.id == ID["AUTOCOLORAMOUNT"]:
            content = db.find_in_bin(own.bin, ID["AUTOCOLORCONTENT"])
        else:
            content = kit.supported(db, ID["AUTOCOLORCONTENT"], own.bin)
        custom = content is not None and content.cur == V["AUTOCOLORCONTENT"]["CUSTOM"]
        db.set_access(own, 4 if custom else 1)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None or m.datum is own or own.bin not in CAMERAS:
            return
        if m.id == ID["AUTOCOLORCONTENT"] and (m.own_camera or m.partner):
            if m.new == NONE_CONTENT:
                db.set_current_long(own, db.default_long(own))
            elif m.new in LEVELS:
                db.set_current_long(own, LEVELS[m.new][0 if own.id == ID["AUTOCOLORAMOUNT"] else 1])
        self.fix_access(db, own)


# -- colour balance, brightness and contrast ------------------------------------------------------------------
def keep(db, bin_):
    return None


def balance_mode(db, bin_):
    return 1 if is_gray(db, bin_) else 4


def balance_color(db, bin_):
    if is_gray(db, bin_):
        return 1
    return 4 if kit.value_of(db, ID["COLORBALANCEMODE"], bin_, 0) == V["COLORBALANCEMODE"]["MANUAL"] else 5


def balance_aggressiveness(db, bin_):
    automatic = kit.value_of(db, ID["COLORBALANCEMODE"], bin_, 0) == V["COLORBALANCEMODE"]["AUTOMATIC"]
    return 4 if not is_gray(db, bin_) and automatic else 1


def manual_brightness(db, bin_):
    return 4 if kit.value_of(db, ID["COLORBRIGHTNESSMODE"], bin_, 0) == V["COLORBRIGHTNESSMODE"]["MANUAL"] else 5


def halftone_contrast(db, bin_):
    datum = db.find_in_bin(bin_, ID["HALFTONES"])
    return 4 if datum is not None and datum.cur in (2, 24, 25) else 1


# capability: (bitonal access, colour access, what of its own camera it follows)
COLOR_ACCESS = {
    "COLORBALANCEMODE": (keep, balance_mode, ("IMAGEFORMAT",)),
    "COLORBALANCERED": (lambda db, bin_: 1, balance_color, ("COLORBALANCEMODE", "IMAGEFORMAT")),
    "COLORBALANCEGREEN": (lambda db, bin_: 1, balance_color, ("COLORBALANCEMODE", "IMAGEFORMAT")),
    "COLORBALANCEBLUE": (lambda db, bin_: 1, balance_color, ("COLORBALANCEMODE", "IMAGEFORMAT")),
    "COLORBALANCEAUTOMATICAGGRESSIVENESS": (keep, balance_aggressiveness, ("COLORBALANCEMODE", "IMAGEFORMAT")),
    "BRIGHTNESS": (keep, manual_brightness, ("COLORBRIGHTNESSMODE",)),
    "CONTRAST": (halftone_contrast, manual_brightness, ("COLORBRIGHTNESSMODE", "HALFTONES")),
}
NAME_OF = {ID[name]: name for name in COLOR_ACCESS}


class ColorAccess(Rule):
    def fix_access(self, db, own):
        bitonal, color, _ = COLOR_ACCESS[NAME_OF[own.id]]
        access = color(db, own.bin) if is_color(own.bin) else bitonal(db, own.bin)
        if access is not None:
            db.set_access(own, access)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is not None and m.own_camera and m.id in [ID[name] for name in COLOR_ACCESS[NAME_OF[own.id]][2]]:
            self.fix_access(db, own)


rule(*[name for name in COLOR_ACCESS if name != "COLORBALANCEMODE"])(ColorAccess)


def mode_fix_default(db, own, key):
    db.datum_fix_default(own)
    if own.access != 0 and db.config.enum_values(key, 1):
        configlists.fix_default_enum_from_db_config(db, own, 1)


@rule("COLORBALANCEMODE")
class ColorBalanceMode(ColorAccess):
    def fix_default(self, db, own):
        mode_fix_default(db, own, "colorbalancemode")


@rule("COLORBRIGHTNESSMODE")
class ColorBrightnessMode(Rule):
    def fix_default(self, db, own):
        mode_fix_default(db, own, "colorbrightnessmode")


# -- colour tables, document and media types ------------------------------------------------------------------
COLOR_TABLES = ((3, "Pictures", "colortable_picture", "picture", 0), (4, "Text", "colortable_text", "text", 0),
                (5, "Text with Pictures", "colortable_textwithpicture", "text with picture", 1))
FOLLOWERS = {3: (1, 2), 4: (3, 4), 5: (2, 4)}  # colour table: (document type, media type)


def load_color_tables(db):
    if not kit.is_id_supported(db, ID["COLORTABLE"]):
        return
    from ..colourlists import ColorTable
    tables = db.colour.colortables
    for index in range(len(tables)):
        tables[index] = ColorTable()
    tables[0] = ColorTable(0, "(unknown)", "(unknown)", 0)
    for index, (value, name, tag, fallback, default) in enumerate(COLOR_TABLES, 1):
        label = labels.label_or(tag, fallback)[:63] if db.labels_loaded else fallback
        tables[index] = ColorTable(value, name, label, default)
        if default:
            tables[0].default = value
        db.colour.repoint(db, ID["COLORTABLE"], value, label=("colortable", index, "label"))


@rule("COLORTABLE")
class ColorTableRule(Rule):
    def fix_default(self, db, own):
        if not db.config.enum_exists("imageformat", "rgb_24", 1):
            db.set_access(own, 0)
            return
        load_color_tables(db)
        tables = db.colour.colortables
        own.def_items = []
        for record in tables[1:]:
            if record.value == 0 or record.label == "":
                break
            db.add_default_item(own, record.value)
        own.dflt = tables[0].default
        db.fix_default_reset(own)
        db.base_fix_default(own)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is not None and m.id == ID["LANGUAGE"]:
            load_color_tables(db)


class FollowsColorTable(Rule):
    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None or kit.is_loading(db):
            return
        if m.id == ID["COLORTABLE"]:
            if m.own_camera and kit.is_id_supported(db, ID["DEVICEDLL"]) and m.new in FOLLOWERS:
                db.set_current_long(own, FOLLOWERS[m.new][0 if own.id == ID["DOCUMENTTYPE"] else 1])
        elif m.id == own.id:
            per_side = db.config.exists("documentmediatypeperside", 1)
            if m.partner if per_side else not m.own_camera:
                db.set_current_long(own, m.new)


@rule("DOCUMENTTYPE")
class DocumentType(FollowsColorTable):
    def fix_default(self, db, own):
        configlists.fix_default_enum_from_db_config(db, own, 1)
        db.base_fix_default(own)

    def xml(self, db, own, value):
        forced = db.colour.override[0]
        return base_xml(db, own, forced if forced else value)


@rule("MEDIATYPE")
class MediaType(FollowsColorTable):
    pass


# -- colour dropout -------------------------------------------------------------------------------------------
def find_record(table, value):
    for record in table:
        if record.ends():
            return None
        if record.value == value:
            return record
    return None


def any_of_kind(table, kind):
    for record in table:
        if record.ends():
            return False
        if record.kind == kind:
            return True
    return False


def name_of(table, value, flatbed=False):
    if not table[0].name:
        return None
    record = find_record(table, value)
    if record is None:
        return None
    return (record.flatbed if flatbed else record.name)[:255]


def number(table, last):
    value = 2
    for record in table[1:]:
        value = value + 1 if 0 < value < last and record.name else 0
        record.value = value


def offer(db, own, table, names):
    own.def_items = []
    list_name = "main" if table is db.colour.main else "custom"
    for index, record in enumerate(table):
        if record.ends():
            break
        db.add_default_item(own, record.value)
        db.colour.repoint(db, own.id, record.value, lexicon=(list_name, index, "name") if names else None,
                          label=(list_name, index, "label"))


def prepare_once(db, flag, id_, table, last, sort):
    """CEcdoLists::PrepareOnce: once per rebuild, when the capability is offered: texts terminated, sorted by
    label when asked, numbered."""
    lists = db.colour
    if getattr(lists, flag):
        return
    setattr(lists, flag, True)
    if not kit.is_id_supported(db, ID[id_]):
        return
    for record in table:
        record.terminate()
    if sort:
        named = 1
        while named < len(table) and table[named].name:
            named += 1
        swapped = True
        while swapped:
            swapped = False
            for index in range(1, named - 1):
                if table[index].label.encode() > table[index + 1].label.encode():
                    table[index], table[index + 1] = table[index + 1], table[index]
                    swapped = True
    number(table, last)


def load_ecdo(db):
    prepare_once(db, "loaded", "ECDO", db.colour.main, LAST_ECDO, False)


def load_ecdo_custom(db):
    prepare_once(db, "custom_loaded", "ECDOCUSTOM", db.colour.custom, LAST_ECDOCUSTOM, True)


def rebuild(db, own, flag, load, custom):
    """CEcdoLists::Rebuild: False when the list's enumeration is not offered."""
    if nexil_forced_off(db):
        db.set_access(own, 0)
        return False
    setattr(db.colour, flag, False)
    load(db)
    offer(db, own, db.colour.custom if custom else db.colour.main, not custom)
    if kit.unsupport_if_empty(db, own):
        return False
    db.fix_default_reset(own)
    return True


def remember_name(db, bin_):
    datum = kit.supported(db, ID["ECDO"], bin_)
    if datum is None or db.colour.names[bin_ - 2]:
        return
    name = name_of(db.colour.main, datum.cur)
    if name is not None:
        db.colour.names[bin_ - 2] = name


def load_callback(db):
    """The probe's load callback of ECDO (camera 2), when one is registered."""
    lists = db.colour
    if lists.load_files is not None:
        lists.loads += 1
        lists.fill(db, lists.load_files[0], lists.load_files[1], nexil_forced_off_config(db))


def nexil_forced_off_config(db):
    return kit.config_number(db, MAIN_SECTION, FORCENEXILOFF) != 0


@rule("ECDO")
class Ecdo(Rule):
    def fix_default(self, db, own):
        if not rebuild(db, own, "loaded", load_ecdo, False):
            return
        if own.bin in CAMERAS:
            name = db.colour.names[own.bin - 2]
            if name:
                for record in db.colour.main:
                    if record.ends():
                        break
                    if record.name == name:
                        db.set_current_long(own, record.value)
                        break
                db.colour.names[own.bin - 2] = ""
        db.base_fix_default(own)

    def fix_access(self, db, own):
        if own.bin in (BF, BR):
            db.set_access(own, 4)
        elif own.bin in (CF, CR):
            db.set_access(own, 4 if is_gray(db, own.bin) else 1)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if kit.is_loading(db) or m is None or m.datum is own:
            return
        if m.id == ID["ECDOCUSTOM"]:
            if m.own_camera and m.new != V["ECDOCUSTOM"]["NONE"]:
                db.set_current_long(own, ECDO_NONE)
        elif m.id in (ID["IMAGEFORMAT"], ID["WINDOWBIN"]):
            self.fix_access(db, own)
        elif m.id == ID["LANGUAGE"]:
            if own.bin in CAMERAS and db.access(own) != 0:
                remember_name(db, own.bin)
                if own.bin == BF:
                    for other in (BR, CF, CR):
                        remember_name(db, other)
                    load_callback(db)
                    db.colour.loaded = False
                self.fix_default(db, own)

    def compare(self, db, own, a, b):
        def multiple(value):
            record = find_record(db.colour.main, value)
            return record is not None and record.kind == "pmcdo"
        if (b == ECDO_NONE and a != ECDO_NONE and multiple(a)) or (a == ECDO_NONE and b != ECDO_NONE and multiple(b)):
            return False
        return a != b and b in own.cur_items

    def xml(self, db, own, value):
        lists = db.colour
        if db.test(ECDO_LEARN_STATE):
            return "ecdo", lists.learning[:511]
        if lists.override[2]:
            name = name_of(lists.custom, lists.override[2])
        elif lists.override[1]:
            name = name_of(lists.main, lists.override[1])
        else:
            name = name_of(lists.main, value, geometry.need_scan_from_flatbed(db))
        return None if name is None else ("ecdo", name)


def learning_fix_default(db, own):
    if nexil_forced_off(db):
        db.set_access(own, 0)
        return False
    if not db.config.exists("ecdocustom", 1):
        db.set_access(own, 0)
    return True


@rule("ECDOCUSTOM")
class EcdoCustom(Rule):
    def fix_default(self, db, own):
        if rebuild(db, own, "custom_loaded", load_ecdo_custom, True):
            db.base_fix_default(own)

    def fix_access(self, db, own):
        if own.bin in (CF, CR):
            db.set_access(own, 4 if is_gray(db, own.bin) else 1)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None or m.datum is own or not m.own_camera:
            return
        if m.id == ID["ECDO"] and m.new != ECDO_NONE:
            db.set_current_long(own, V["ECDOCUSTOM"]["NONE"])
        elif m.id == ID["IMAGEFORMAT"] and is_color(own.bin):
            db.set_access(own, 4 if m.new == GRAY else 1)


@rule("ECDOCUSTOMCLEARDATA", "ECDOCUSTOMLEARN")
class EcdoLearning(Rule):
    def fix_default(self, db, own):
        if learning_fix_default(db, own):
            db.base_fix_default(own)

    def xml(self, db, own, value):
        return base_xml(db, own, value) if db.test(ECDO_LEARN_STATE) else None


def store_access(db, own, access):
    if db.access(own) == access:
        return
    db.set_access(own, access)
    db.notify_set(4, own)


def current_dropout(db):
    datum = db.find_current(ID["ECDO"])
    return None if datum is None else find_record(db.colour.main, datum.cur)


class WrittenWhileOn(Rule):
    def xml(self, db, own, value):
        return base_xml(db, own, value) if db.access(own) == 4 else None


@rule("ECDOAGGRESSIVENESS")
class EcdoAggressiveness(WrittenWhileOn):
    def fix_access(self, db, own):
        if nexil_forced_off(db):
            db.set_access(own, 0)
            return
        record = current_dropout(db)
        if record is not None and record.kind == "pmcdo":
            access = 4
        elif any_of_kind(db.colour.main, "pmcdo"):
            access = 1
        else:
            access = 2
        store_access(db, own, access)

    def fix_current(self, db, own):
        m = kit.modified(db, own)
        if m is None or not m.own_camera:
            return
        if m.id in (ID["ECDO"], ID["ECDOCUSTOM"]):
            self.fix_access(db, own)
        elif m.id in (ID["IMAGEFORMAT"], ID["WINDOWBIN"]) and is_color(own.bin):
            if m.new == GRAY:
                self.fix_access(db, own)
            elif db.access(own) == 4:
                db.set_access(own, 1)


@rule("ECDOTREATASCOLOR")
class EcdoTreatAsColor(WrittenWhileOn):
    def fix_default(self, db, own):
        if learning_fix_default(db, own):
            db.base_fix_default(own)

    def fix_access(self, db, own):
        record = current_dropout(db)
        store_access(db, own, 4 if record is not None and record.kind == "normalformdata" else 1)

    def fix_current(self, db, own):
        self.fix_access(db, own)


# -- output format --------------------------------------------------------------------------------------------
def compression_allowed(db):
    return not db.config.enum_exists("compressionallowed", "false", 1) and \
        kit.config_number(db, MAIN_SECTION, SANETWAINVERSION) < 1


def compression_of(db, bin_):
    return kit.value_of(db, ID["COMPRESSION"], bin_, V["COMPRESSION"]["NONE"])


@rule("COMPRESSION")
class Compression(Rule):
    def fix_default(self, db, own):
        if not compression_allowed(db):
            own.def_items = []
            db.add_default_item(own, 1)
            own.dflt = 1
            db.fix_default_reset(own)
        db.base_fix_default(own)

    def compare(self, db, own, a, b):
        if a in (6, 7) and b in (6, 7):
            return False
        return a != b and b in own.cur_items

    def xml(self, db, own, value):
        return base_xml(db, own, 1 if kit.is_preview(db) else value)


def own_compression_change(db, own):
    m = kit.modified(db, own)
    return m is not None and m.id == ID["COMPRESSION"] and m.own_camera


@rule("JPEGQUALITY")
class JpegQuality(Rule):
    def fix_access(self, db, own):
        datum = db.find_in_bin(own.bin, ID["COMPRESSION"])
        jpeg = datum is not None and datum.cur == V["COMPRESSION"]["JPEG"]
        db.set_access(own, 4 if compression_allowed(db) and jpeg else 1)

    def fix_current(self, db, own):
        if not kit.is_loading(db) and own_compression_change(db, own):
            self.fix_access(db, own)


@rule("PIXELFLAVORCODES")
class PixelFlavorCodes(Rule):
    def fix_access(self, db, own):
        if own.bin in (BF, BR):
            compression = compression_of(db, own.bin)
            if compression in (1, 6):
                db.set_access(own, 1 if compression == 1 else 4)
        elif own.bin in (CF, CR):
            db.set_access(own, 1)

    def fix_current(self, db, own):
        if own_compression_change(db, own):
            self.fix_access(db, own)


@rule("PIXELFLAVOR")
class PixelFlavor(Rule):
    def xml(self, db, own, value):
        if compression_of(db, own.bin) == V["COMPRESSION"]["GROUP4"]:
            vanilla = kit.value_of(db, ID["PIXELFLAVORCODES"], own.bin, 1) == 2
            value = 2 if (own.cur == 2) != vanilla else 1
        return base_xml(db, own, value)


@rule("XRESOLUTION")
class XResolution(Rule):
    def xml(self, db, own, value):
        if kit.is_preview(db) and kit.value_of(db, ID["PREVIEWQUALITY"], MACHINE, 1) == 1:
            value = V["XRESOLUTION"]["200"] if db.test(ECDO_LEARN_STATE) else V["XRESOLUTION"]["150"]
        return base_xml(db, own, value)


# -- the attribute tasks --------------------------------------------------------------------------------------
def base_xml(db, own, value):
    """The base MakeXml of the container: (name, text), or None when nothing is written."""
    record = db.lookup.get(own.id)
    if record is None or not record.lexicon:
        return None
    if own.kind == "S":
        return record.lexicon, value
    if own.kind == "E":
        lexicon = record.lexicon_of(value)
        return None if lexicon is None else (record.lexicon, lexicon)
    return record.lexicon, str(value)


def written(db, master, value_datum):
    """What the master writes for a value datum: (name, text) or None."""
    if master is None or value_datum is None or not db.accessible(value_datum) or db.device_data(value_datum) == 0:
        return None
    if not db.device_data(master) & 0x55:
        return None
    rule_ = db.rule(master)
    xml = getattr(rule_, "xml", None)
    value = value_datum.scur if master.kind == "S" else value_datum.cur
    return xml(db, master, value) if xml else base_xml(db, master, value)


def theme_ids():
    from ..rules import REGISTRY
    return [ID[name] for name, instance in REGISTRY.items() if instance.__class__.__module__ == __name__]


def check_task(db, root):
    """Every argument this theme's capabilities put into a task, against the model: a list of mismatches."""
    if not len(root):
        return []
    command = root[0].tag
    arguments = {child.tag: child.text or "" for child in root[0]}
    where = arguments.get("windowid") or arguments.get("cameraid") or ""
    expected = {}
    if command == "setconfig":
        for id_ in theme_ids():
            master = db.slot(0, id_, MACHINE)
            if master is not None and id_ in SETCONFIG:
                argument = written(db, master, master)
                expected[lexicon_name(db, id_, master)] = argument
    elif command == "createcamera":
        bin_ = CR if arguments.get("cameraid") == "rear" else CF
        for id_ in (ID["AUTOCOLORAMOUNT"], ID["AUTOCOLORTHRESHOLD"], ID["AUTOCOLORCONTENT"]):
            master = db.slot(0, id_, MACHINE)
            if master is None or not db.accessible(master):
                master = db.slot(0, id_, bin_)
            expected[lexicon_name(db, id_, master)] = written(db, master, master)
    elif command == "windowadd":
        window, bin_ = int(arguments["windowid"][7:9]), int(arguments["windowid"][9])
        for id_ in theme_ids():
            if id_ not in WINDOWADD:
                continue
            value_datum = db.find(window, id_, bin_)
            if value_datum is not None and db.accessible(value_datum) and db.access(value_datum) == 1:
                value_datum = None
            expected[lexicon_name(db, id_, db.slot(0, id_, bin_))] = written(db, db.slot(0, id_, bin_), value_datum)
    failures = []
    for name, argument in expected.items():
        actual = arguments.get(name)
        want = None if argument is None else argument[1]
        if argument is not None and argument[0] != name:
            actual = arguments.get(argument[0])
        if actual != want:
            failures.append("%s %s %s: the library sent %r, the model %r" % (command, where, name, actual, want))
    return failures


def lexicon_name(db, id_, master):
    """The argument a capability of the theme writes under: its rule's own name where it has one."""
    if id_ == ID["AUTOCOLORCONTENT"]:
        return "autocolordetect"
    record = db.lookup.get(id_)
    return record.lexicon if record else str(id_)


SETCONFIG = (ID["ECDOCUSTOMLEARN"], ID["ECDOCUSTOMCLEARDATA"])
WINDOWADD = tuple(ID[name] for name in (
    "CONTRAST", "COLORBRIGHTNESSMODE", "COLORBALANCEMODE", "COLORBALANCEAUTOMATICAGGRESSIVENESS", "COLORBALANCEBLUE",
    "COLORBALANCEGREEN", "COLORBALANCERED", "BRIGHTNESS", "COMPRESSION", "JPEGQUALITY", "ECDO", "ECDOAGGRESSIVENESS",
    "ECDOTREATASCOLOR", "XRESOLUTION", "PIXELFLAVOR", "DOCUMENTTYPE", "MEDIATYPE"))

# -- the probe's commands on the lists (tests/tools/rulesprobe/rules_dropouts.cpp) ----------------------------
def probe_command(model, words):
    """The model's side of a dropout command: its output lines, or None for a command of no dropout."""
    db, name = model.db, words[0]
    lists = db.colour
    if name == "ecdofill":
        return [lists.fill(db, words[1], words[2], nexil_forced_off_config(db))]
    if name == "ecdoclear":
        lists.clear_dropouts()
        lists.sync_all(db)
        return []
    if name == "ecdorecord":
        from ..colourlists import Dropout, FLATBED, KIND, LABEL, NAME
        from ..listing import unescape
        table, index = (lists.custom if words[1] == "custom" else lists.main), int(words[2])
        if not 0 <= index < len(table):
            return ["error index"]
        texts = [unescape(word) for word in words[4:8]]
        table[index] = Dropout(int(words[3]), texts[0][:NAME], texts[1][:FLATBED], texts[2][:LABEL], texts[3][:KIND])
        lists.sync_all(db)
        return []
    if name == "ecdolearning":
        from ..listing import unescape
        lists.learning = unescape(words[1])[:511]
        return []
    if name == "override":
        lists.override = [int(word) for word in words[1:4]]
        return []
    if name == "ecdoload":
        lists.load_files = (words[1], words[2])
        return ["status 0"]
    if name == "ecdoloads":
        return ["loads %d" % lists.loads]
    if name == "reloadecdo":
        reload_ecdo(db)
        return []
    return None


def reload_ecdo(db):
    """CDatabase::ReloadEcdo: each camera's ECDO follows the language, outside a pass."""
    if not kit.is_id_supported(db, ID["ECDO"]) or not kit.is_id_supported(db, ID["LANGUAGE"]):
        return
    language, outer = db.find_current(ID["LANGUAGE"]), db.modified
    for bin_ in CAMERAS:
        master = db.slot(0, ID["ECDO"], bin_)
        if master is None:
            continue
        if language is not None:
            db.modified = language
        db.rule(master).fix_current(db, master)
    db.modified = outer


# -- the harness's random walk --------------------------------------------------------------------------------
WALKED = ("AUTOCOLORCONTENT", "AUTOCOLORAMOUNT", "AUTOCOLORTHRESHOLD", "COLORBALANCEMODE", "COLORBALANCERED",
          "COLORBALANCEAUTOMATICAGGRESSIVENESS", "COLORBRIGHTNESSMODE", "BRIGHTNESS", "CONTRAST", "COLORTABLE",
          "DOCUMENTTYPE", "MEDIATYPE", "ECDO", "ECDOCUSTOM", "ECDOAGGRESSIVENESS", "ECDOTREATASCOLOR", "COMPRESSION",
          "JPEGQUALITY", "PIXELFLAVOR", "PIXELFLAVORCODES", "XRESOLUTION", "HALFTONES")
# The model lists of colour modes and custom dropouts (tests/data/db/rules), added to the scanners' replies.
EXTRAS = ("colour_extras.inquiry",)


def walk_moves(db, rng):
    """Sets of this theme's capabilities and of those they follow, in any camera (a value now and then off the
    list), camera switches in any window, the input document, paper source, language, image format and window-bin,
    toggle patches written directly, the preview, a profile load around a change, and a reload of the dropouts."""
    moves = []
    for name in WALKED:
        bin_ = rng.choice(CAMERAS)
        datum = db.slot(0, ID[name], bin_)
        if datum is None or not db.accessible(datum):
            continue
        if datum.kind == "E":
            value = rng.choice(datum.cur_items) if datum.cur_items and rng.random() < 0.9 else rng.randrange(1, 12)
        else:
            value = rng.randrange(datum.min - 2, datum.max + 3)
        moves.append("set %d 0 %d %d" % (ID[name], bin_, value))
    for name in ("CAMERAENABLE", "IMAGEFORMAT"):
        bin_ = rng.choice(CAMERAS)
        datum = db.slot(0, ID[name], bin_)
        if datum is not None and datum.cur_items:
            moves.append("set %d %d %d %d" % (ID[name], rng.randrange(db.windows), bin_, rng.choice(datum.cur_items)))
    for name in ("INPUTDOCUMENT", "PAPERSOURCE", "LANGUAGE", "WINDOWBIN", "PREVIEWMODE", "ACDLEARNMODE"):
        datum = db.slot(0, ID[name], MACHINE)
        if datum is not None and datum.cur_items:
            moves.append("set %d 0 1 %d" % (ID[name], rng.choice(datum.cur_items)))
    moves.append("write %d 0 1 %d" % (ID["TOGGLEPATCH"], rng.choice((1, 1, 2, 3))))
    moves.append(rng.choice(("stateset 3", "stateclear 3", "stateclear 3")))
    moves.append(rng.choice(("reloadecdo", "stateset 12", "stateclear 12")))
    return moves

