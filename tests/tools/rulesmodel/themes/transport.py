"""Transport: dual stacking, ultrasonic sensitivity with its five sensors and ignore zone, multifeed length
detection, response, sound switch and sound, the sheet and image counts, the feeder timeout and its response,
the paper-jam response, the feeder mode, document protection and automatic scanning (db/id/db_ctransport*.cpp),
written from the steps of their rules; and what the scanner's setconfig receives of them.

The sound looks at the files themselves: the model sees them as they are when it runs, so a table of sets
that copies a sound must not look the same name up before the copy."""
import os
import stat

from .. import configlists, geometry, kit
from ..database import BADARGUMENT, REFUSED, SUCCESS, to_long
from ..names import COMMON, ID, MACHINE
from ..rules import Rule, rule

OFF, ON = 1, 2
ADFFLATBED, ADF, FLATBED = 1, 2, 3
ONESIDEDREAR = 3
SENSOR_OFF, IGNORE_ZONE = 1, 3
MODE_NONE, MODE_BETWEEN = 1, 4
FEEDER_NORMAL = 1
LONG_PAPER = 5
PATH_SIZE, STRING_SIZE = 512, 1024
FORCE_REPEAT_PLATEN = (1, 132)
CAMERA = ID["CAMERAENABLE"]
# Left, left centre, centre, right centre, right: the order the sensors are looked at.
SENSOR_NAMES = tuple("ULTRASONICSENSOR" + name for name in ("LEFT", "LEFTCENTER", "CENTER", "RIGHTCENTER", "RIGHT"))
SENSORS = tuple(ID[name] for name in SENSOR_NAMES)
DUAL_FOLLOWERS = ("DUALSTACKINGLENGTHMODE", "DUALSTACKINGMULTIFEED", "DUALSTACKINGPATCHTRANSFER",
                  "DUALSTACKINGPATCHTYPE1", "DUALSTACKINGPATCHTYPE2", "DUALSTACKINGPATCHTYPE3",
                  "DUALSTACKINGPATCHTYPE4", "DUALSTACKINGPATCHTYPE6", "DUALSTACKINGSTACK")
# The order of the capabilities among themselves in the device's setconfig.
SETCONFIG_ORDER = tuple(ID[name] for name in (
    "FEEDERMODE", "TRANSPORTTIMEOUT", "TRANSPORTTIMEOUTRESPONSE", "PAPERJAMRESPONSE", "DUALSTACKINGENABLED",
    "DUALSTACKINGLENGTHMODE", "DUALSTACKINGLENGTH1", "DUALSTACKINGLENGTH2", "DUALSTACKINGMULTIFEED",
    "DUALSTACKINGPATCHTRANSFER", "DUALSTACKINGPATCHTYPE1", "DUALSTACKINGPATCHTYPE2", "DUALSTACKINGPATCHTYPE3",
    "DUALSTACKINGPATCHTYPE4", "DUALSTACKINGPATCHTYPE6", "DUALSTACKINGSTACK", "PAGECOUNT", "XFERCOUNT",
    "INTELLIGENTDOCUMENTPROTECTION", "MULTIFEEDLENGTHENABLED", "MULTIFEEDRESPONSE", "MULTIFEEDSOUNDENABLED",
    "MULTIFEEDSOUND", "ULTRASONICSENSITIVITY", "ULTRASONICSENSORZONEHEIGHT", "ULTRASONICSENSORLEFT",
    "ULTRASONICSENSORLEFTCENTER", "ULTRASONICSENSORCENTER", "ULTRASONICSENSORRIGHTCENTER", "ULTRASONICSENSORRIGHT",
    "AUTOSCAN"))


def value(db, name, fallback):
    return kit.value_of(db, ID[name], MACHINE, fallback)


def is_on(db, name):
    return value(db, name, OFF) == ON


def is_flatbed(db):
    return value(db, "PAPERSOURCE", ADF) == FLATBED


def offered(flag):
    return 4 if flag else 1


def sensors_on(db):
    datum = kit.supported(db, ID["ULTRASONICSENSITIVITY"], MACHINE)
    return datum is not None and datum.cur != 1


def detection_on(db):
    return sensors_on(db) or is_on(db, "MULTIFEEDLENGTHENABLED")


def sensor_in(db, w, id_):
    datum = db.slot(w, id_, MACHINE) if 0 <= w < 11 else None
    return datum if datum is not None and datum.access != 0 else None


# -- the sound's files ----------------------------------------------------------------------------------------
def path_append(path, component):
    """COsFile::PathAppend into a 512-byte buffer: None when it does not fit."""
    if len(component) > 1 and component[1] == ":":
        component = component[2:]
    separator = not path or path[-1] not in "/\\"
    joined = path + ("/" if separator else "") + component
    if len(joined.encode("utf-8", "surrogateescape")) + 1 > PATH_SIZE:
        return None
    out, previous = [], False
    for char in joined:
        if char in "/\\":
            if not previous:
                out.append("/")
            previous = True
        else:
            out.append(char)
            previous = False
    return "".join(out)


def sound_directory(db):
    return path_append(db.user_directory, "sounds") if db.user_directory else None


def name_of(text):
    return text.rsplit("/", 1)[-1]


def search_path(text, directory):
    if "/" in text:
        return text if len(text.encode("utf-8", "surrogateescape")) < PATH_SIZE else None
    return path_append(directory, text) if directory else None


def wild_match(pattern, text):
    """COsString::StrWildCmp == 0: "*" and "?", case-sensitive."""
    if not pattern:
        return not text
    if pattern[0] == "*":
        return any(wild_match(pattern[1:], text[index:]) for index in range(len(text) + 1))
    return bool(text) and pattern[0] in ("?", text[0]) and wild_match(pattern[1:], text[1:])


def describe(path):
    """(type, size) as a search fills them: 1 directory, 2 file, 3 other; None when nothing is there."""
    try:
        status = os.stat(path)
    except OSError:
        try:
            status = os.lstat(path)
        except OSError:
            return None
    if stat.S_ISDIR(status.st_mode):
        kind = 1
    elif stat.S_ISREG(status.st_mode) or stat.S_ISLNK(status.st_mode):
        kind = 2
    else:
        kind = 3
    return kind, status.st_size


def find_first(path):
    """COsFile::FindFirst: (name, absolute path, type, size) of the first entry, None without one."""
    directory, _, last = path.rpartition("/")
    if "*" not in last and "?" not in last:
        found = describe(path)
        return (last, os.path.abspath(path)) + found if found else None
    directory = directory if "/" in path else "."
    directory = directory or "/"
    try:
        entries = list(os.scandir(directory))
    except OSError:
        return None
    for entry in entries:
        if wild_match(last, entry.name):
            found = describe(entry.path)
            return (entry.name, os.path.join(os.path.abspath(directory), entry.name)) + found if found else None
    return None


def usable(found):
    return found is not None and found[2] == 2 and found[3] > 0


def fits_value(own, text):
    return len(text) <= own.maxlen and len(text.encode("utf-8", "surrogateescape")) < STRING_SIZE


# -- the rows -------------------------------------------------------------------------------------------------
class Row:
    __slots__ = ("default", "access", "follows", "validate", "xml")

    def __init__(self, default="base", access="base", follows=(), validate="base", xml="base"):
        self.default, self.access, self.follows, self.validate, self.xml = default, access, follows, validate, xml


def follows(*pairs):
    return tuple((ID[name], reaction, limit) for name, reaction, limit in pairs)


DUAL = follows(("DUALSTACKINGENABLED", "access", 0))
SOURCE = follows(("PAPERSOURCE", "access", 0))
SENSITIVITY = follows(("ULTRASONICSENSITIVITY", "access", 0))
MULTIFEED = follows(("PAPERSOURCE", "access", 0), ("ULTRASONICSENSITIVITY", "access", 0),
                    ("MULTIFEEDLENGTHENABLED", "access", 0))
ROWS = {
    "AUTOSCAN": Row(),
    "DUALSTACKINGENABLED": Row(default="dual"),
    "DUALSTACKINGLENGTH1": Row("length", "length1", follows(
        ("DUALSTACKINGENABLED", "access", 0), ("DUALSTACKINGLENGTHMODE", "access", 0),
        ("DUALSTACKINGLENGTH2", "pulldown", 0))),
    "DUALSTACKINGLENGTH2": Row("length", "length2", follows(
        ("DUALSTACKINGENABLED", "access", 0), ("DUALSTACKINGLENGTHMODE", "access", 0),
        ("DUALSTACKINGLENGTH1", "pushup", 0))),
    "FEEDERMODE": Row(default="feedermode"),
    "INTELLIGENTDOCUMENTPROTECTION": Row("protection", "protection", SOURCE),
    "MULTIFEEDLENGTHENABLED": Row(access="offonflatbed", follows=SOURCE),
    "MULTIFEEDRESPONSE": Row("multifeedresponse", "multifeed", MULTIFEED),
    "MULTIFEEDSOUND": Row("sound", "sound", follows(
        ("MULTIFEEDLENGTHENABLED", "access", 0), ("MULTIFEEDSOUNDENABLED", "access", 0),
        ("PAPERSOURCE", "access", 0), ("ULTRASONICSENSITIVITY", "access", 0), ("MULTIFEEDSOUND", "resolve", 0)),
        validate="sound"),
    "MULTIFEEDSOUNDENABLED": Row(access="multifeed", follows=MULTIFEED),
    "PAGECOUNT": Row(access="sheets", follows=follows(
        ("BATCHCOUNTENABLED", "zeroat", ON), ("CROPPINGMODE", "zeroat", LONG_PAPER), ("XFERCOUNT", "zerofrom", 1),
        ("PAPERSOURCE", "access", 0)), xml="sheets"),
    "PAPERJAMRESPONSE": Row("paperjam", "paperjam"),
    "TRANSPORTTIMEOUT": Row(access="timeout", follows=follows(("ADFTIMEOUTENABLED", "access", 0)), xml="timeout"),
    "TRANSPORTTIMEOUTRESPONSE": Row("timeoutresponse", "timeout", follows(("ADFTIMEOUTENABLED", "access", 0))),
    "ULTRASONICSENSITIVITY": Row(access="offonflatbed", follows=SOURCE),
    "ULTRASONICSENSORZONEHEIGHT": Row("zone", "zone", follows(
        ("ULTRASONICSENSITIVITY", "access", 0), *((name, "access", 0) for name in SENSOR_NAMES))),
    "XFERCOUNT": Row(access="images", follows=follows(
        ("BATCHCOUNTENABLED", "zeroat", ON), ("CROPPINGMODE", "zeroat", LONG_PAPER), ("PAGECOUNT", "zerofrom", 1),
        ("PAPERSOURCE", "access", 0)), xml="images"),
}
for _name in DUAL_FOLLOWERS:
    ROWS[_name] = Row("dual", "dual", DUAL)
for _name in SENSOR_NAMES:
    ROWS[_name] = Row("sensor", "sensor", SENSITIVITY, validate="sensor")
ROW_OF = {ID[name]: row for name, row in ROWS.items()}


@rule(*ROWS)
class Transport(Rule):
    # -- FixDefault -------------------------------------------------------------------------------------------
    def fix_default(self, db, own):
        kind = ROW_OF[own.id].default
        if kind == "base":
            db.base_fix_default(own)
        elif kind == "dual":
            if not db.config.exists("dualstacking", COMMON):
                db.set_access(own, 0)
        elif kind == "length":
            self._length(db, own)
        elif kind == "sensor":
            if kit.supported(db, ID["ULTRASONICSENSITIVITY"], MACHINE) is None:
                db.set_access(own, 0)
        elif kind == "zone":
            offered_zone = kit.supported(db, ID["ULTRASONICSENSITIVITY"], MACHINE) is not None and any(
                sensor_in(db, 0, id_) is not None and IGNORE_ZONE in sensor_in(db, 0, id_).cur_items
                for id_ in SENSORS)
            if offered_zone:
                db.fix_default_reset(own)
            else:
                db.set_access(own, 0)
        elif kind == "multifeedresponse":
            self._configured(db, own, 2)
        elif kind == "feedermode":
            if self._configured(db, own, 2) and own.dflt not in own.def_items:
                own.dflt = FEEDER_NORMAL
        elif kind == "protection":
            if self._configured(db, own, 1) and len(own.def_items) == 1:
                db.set_access(own, 3)
            db.base_fix_default(own)
        elif kind == "paperjam":
            self._paper_jam(db, own)
        elif kind == "timeoutresponse":
            self._timeout_response(db, own)
        elif kind == "sound":
            self._sound_default(db, own)

    @staticmethod
    def _length(db, own):
        if not db.config.exists("dualstacking", COMMON):
            db.set_access(own, 0)
            return
        key = "dualstackinglength1" if own.id == ID["DUALSTACKINGLENGTH1"] else "dualstackinglength2"
        if not db.config.exists(key + "_rangemax", COMMON) or not db.config.exists(key + "_rangemin", COMMON):
            return
        low = to_long(db.config.range_min(key, COMMON))
        high = to_long(db.config.range_max(key, COMMON))
        if db.range_set_default(own, low, low, high, own.dstep) == SUCCESS:
            db.fix_default_reset(own)

    @staticmethod
    def _configured(db, own, fewest):
        configlists.fix_default_enum_from_db_config(db, own, COMMON)
        if len(own.def_items) >= fewest:
            return True
        db.set_access(own, 0)
        return False

    @staticmethod
    def _reselect(db, own, remembered):
        if remembered in own.cur_items:
            db.set_current_long(own, remembered)
        elif own.cur_items:
            db.set_current_long(own, own.cur_items[0])

    @staticmethod
    def _unsupport_if_empty(db, own):
        if own.def_items:
            return False
        db.set_access(own, 0)
        return True

    def _paper_jam(self, db, own):
        names = db.config.enum_values("paperjamresponse", COMMON)
        if not names:
            db.set_access(own, 0)
            return
        remembered = own.cur
        own.def_items = []
        record = db.lookup.get(own.id)
        for name in names:
            item = record.value_of(name) if record is not None else None
            if item is not None:
                db.add_default_item(own, item)
        db.fix_default_reset(own)
        self._reselect(db, own, remembered)
        if not self._unsupport_if_empty(db, own):
            db.base_fix_default(own)

    def _timeout_response(self, db, own):
        if db.config.enum_values("adftimeoutresponse", COMMON):
            configlists.build_ordered_list_from_db_config(db, own, 1, 4, "adftimeoutresponse", COMMON)
            if self._unsupport_if_empty(db, own):
                return
            self._update_share(db, own)
        elif own.def_items:
            db.set_access(own, 4)
            if own.cur not in own.cur_items:
                db.set_current_long(own, db.item_at(own.cur_items, 0))
            if own.dflt not in own.def_items:
                own.dflt = db.item_at(own.cur_items, 0)
        else:
            db.set_access(own, 0)
        db.base_fix_default(own)

    @staticmethod
    def _update_share(db, own):
        """The profile list's UpdateShare: while the feeder values are shared (adfunique supported and 1) and the
        list offers the shared response, it is written directly, as the profile's value too."""
        unique = db.slot(0, ID["ADFUNIQUE"], MACHINE)
        if unique is None or db.access(unique) == 0 or unique.cur != 1 or db.shared_response not in own.cur_items:
            return
        own.prev, own.cur, own.prof = own.cur, db.shared_response, db.shared_response

    @staticmethod
    def _sound_default(db, own):
        directory = sound_directory(db)
        if own.sdef and directory:
            target = path_append(directory, name_of(own.sdef))
            if target is not None and len(target.encode("utf-8", "surrogateescape")) <= own.maxlen and \
                    len(target.encode("utf-8", "surrogateescape")) < STRING_SIZE:
                own.sdef = target
        db.fix_default_reset(own)

    # -- FixAccess --------------------------------------------------------------------------------------------
    def fix_access(self, db, own):
        kind = ROW_OF[own.id].access
        if kind == "base":
            return
        if kind == "protection":
            if db.access(own) != 0:
                db.set_access(own, 4 if own.cur_items and not is_flatbed(db) else 2)
            return
        db.set_access(own, access_of(db, own, kind))

    # -- FixCurrent -------------------------------------------------------------------------------------------
    def fix_current(self, db, own):
        row = ROW_OF[own.id]
        if not row.follows or db.modified is None:
            return
        m = kit.modified(db, own)
        for id_, reaction, limit in row.follows:
            if id_ != m.id:
                continue
            if reaction == "access":
                self.fix_access(db, own)
            elif reaction == "pulldown":
                if own.min <= m.new < own.cur:
                    db.set_current_long(own, m.new)
            elif reaction == "pushup":
                if own.cur < m.new <= own.max:
                    db.set_current_long(own, m.new)
            elif reaction == "zeroat":
                if m.new == limit:
                    db.set_current_long(own, 0)
            elif reaction == "zerofrom":
                if m.new >= limit:
                    db.set_current_long(own, 0)
            elif reaction == "resolve":
                resolve_sound(db, own)
            break

    # -- Validate ---------------------------------------------------------------------------------------------
    def validate(self, db, own, window, value_):
        kind = ROW_OF[own.id].validate
        if kind == "sound":
            return validate_sound(db, own, window, value_)
        status = db.base_validate(own, window, value_)
        if kind != "sensor" or status != SUCCESS or value_ != SENSOR_OFF:
            return status
        for id_ in SENSORS:
            other = sensor_in(db, window, id_) if id_ != own.id else None
            if other is not None and other.cur != SENSOR_OFF:
                return SUCCESS
        return REFUSED


def access_of(db, own, kind):
    if kind == "dual":
        return offered(is_on(db, "DUALSTACKINGENABLED"))
    if kind == "length1":
        mode = value(db, "DUALSTACKINGLENGTHMODE", MODE_NONE)
        return offered(is_on(db, "DUALSTACKINGENABLED")) if mode != MODE_NONE else 1
    if kind == "length2":
        mode = value(db, "DUALSTACKINGLENGTHMODE", MODE_NONE)
        return offered(is_on(db, "DUALSTACKINGENABLED")) if mode == MODE_BETWEEN else 2
    if kind == "offonflatbed":
        return offered(not is_flatbed(db))
    if kind == "sensor":
        return offered(sensors_on(db))
    if kind == "zone":
        sensitivity = kit.supported(db, ID["ULTRASONICSENSITIVITY"], MACHINE)
        if sensitivity is not None and sensitivity.cur == 1:
            return 1
        return offered(any(sensor_in(db, 0, id_) is not None and sensor_in(db, 0, id_).cur == IGNORE_ZONE
                           for id_ in SENSORS))
    if kind == "multifeed":
        return offered(detection_on(db) and not is_flatbed(db))
    if kind == "sound":
        return offered(detection_on(db) and not is_flatbed(db) and is_on(db, "MULTIFEEDSOUNDENABLED"))
    if kind in ("sheets", "images"):
        refused = 1 if kind == "sheets" else 5
        if not is_flatbed(db) or own.cur in (0, 1):
            return 4
        if own.cur > 1 and kit.config_number(db, *FORCE_REPEAT_PLATEN) != 0:
            return 4
        return refused
    if kind == "timeout":
        return offered(is_on(db, "ADFTIMEOUTENABLED"))
    if kind == "paperjam":
        return offered(db.config.enum_values("paperjamresponse", COMMON))
    raise ValueError(kind)


# -- the sound ------------------------------------------------------------------------------------------------
def resolve_sound(db, own):
    text = own.scur
    if not text:
        return
    directory = sound_directory(db)
    search = search_path(text, directory)
    if search is None:
        if directory:
            db.set_current_string(own, "")
        return
    found = find_first(search)
    if not usable(found):
        db.set_current_string(own, "")
        return
    if not directory:
        return
    copy = path_append(directory, found[0])
    if copy is None or not fits_value(own, copy):
        db.set_current_string(own, own.sprev)
        return
    db.set_current_string(own, copy)


def validate_sound(db, own, window, text):
    if text is None:
        return BADARGUMENT
    status = db.base_validate_text(own, text)
    if status != SUCCESS:
        return status
    if not text:
        return REFUSED
    directory = sound_directory(db)
    search = search_path(text, directory)
    if search is None or not usable(find_first(search)):
        return REFUSED
    if directory:
        copy = path_append(directory, find_first(search)[0])
        if copy is None or not fits_value(own, copy):
            return REFUSED
    return SUCCESS


# -- what the scanner receives --------------------------------------------------------------------------------
def cameras_on(db):
    return sum(1 for bin_ in (2, 3, 4, 5) if (lambda datum: datum is not None and datum.cur == ON)(
        db.find_in_bin(bin_, CAMERA)))


def arguments_of(db, own):
    """[(name, text)] the capability writes into a setconfig, in order."""
    row, current = ROW_OF[own.id], own.cur
    if row.xml == "sheets":
        if current == 0 or kit.is_preview(db) or db.test(9) or geometry.need_scan_from_flatbed(db):
            return []
        cameras = cameras_on(db)
        return [("imagecount", str(cameras * current))] if cameras else []
    if row.xml == "images":
        if kit.is_preview(db):
            cameras = cameras_on(db)
            return [("imagecount", str(cameras))] if cameras else []
        if db.test(9) or geometry.need_scan_from_flatbed(db):
            return [("imagecount", "0")]
        return [] if value(db, "PAGECOUNT", 0) > 0 else [("imagecount", str(current))]
    if row.xml == "timeout":
        no_wait = not db.test(12) and value(db, "PAPERSOURCE", ADF) == ADFFLATBED and \
            value(db, "INPUTDOCUMENT", 2) != ONESIDEDREAR
        return [("adftimeout", str(current)), ("adftimeoutfirstpage", "0" if no_wait else str(current))]
    record = db.lookup[own.id]
    if own.kind == "S":
        return [(record.lexicon, own.scur)]
    if own.kind == "R":
        return [(record.lexicon, str(current))]
    name = record.lexicon_of(current)
    return [(record.lexicon, name)] if name is not None else []


def expected_setconfig(db):
    expected = []
    for id_ in SETCONFIG_ORDER:
        master = db.slot(0, id_, MACHINE)
        if master is None or not db.accessible(master) or not db.device_data(master) & 0x55:
            continue
        expected.extend(arguments_of(db, master))
    return expected


def check_setconfig(db, arguments):
    """The harness's check of one setconfig (the unit chosen): the arguments these capabilities write, their
    texts and their order among themselves."""
    expected = expected_setconfig(db)
    names = {name for name, _ in expected} | {"imagecount", "adftimeoutfirstpage"}
    names |= {db.lookup[id_].lexicon for id_ in SETCONFIG_ORDER if id_ in db.lookup}
    actual = [(name, text) for name, text in arguments.items() if name in names]
    if actual == expected:
        return []
    index = next((index for index, pair in enumerate(zip(actual, expected)) if pair[0] != pair[1]),
                 min(len(actual), len(expected)))
    return ["transport argument %d: the library sent %s, the model %s" % (
        index, actual[index:index + 3], expected[index:index + 3])]


# -- the harness's dumps, walks and sweeps --------------------------------------------------------------------
# Dual stacking with its length ranges, feeder modes, protection levels and timeout responses.
EXTRAS = ("transport.inquiry",)


WALKED = ("DUALSTACKINGENABLED", "DUALSTACKINGLENGTHMODE", "DUALSTACKINGSTACK", "DUALSTACKINGPATCHTYPE1",
          "FEEDERMODE", "INTELLIGENTDOCUMENTPROTECTION", "MULTIFEEDLENGTHENABLED", "MULTIFEEDRESPONSE",
          "MULTIFEEDSOUNDENABLED", "PAPERJAMRESPONSE", "TRANSPORTTIMEOUTRESPONSE", "ULTRASONICSENSITIVITY",
          "AUTOSCAN", "ADFTIMEOUTENABLED", "BATCHCOUNTENABLED", "PAPERSOURCE", "INPUTDOCUMENT")
RANGES = ("DUALSTACKINGLENGTH1", "DUALSTACKINGLENGTH2", "PAGECOUNT", "XFERCOUNT", "TRANSPORTTIMEOUT",
          "ULTRASONICSENSORZONEHEIGHT")


def walk_moves(db, rng):
    """An item of a listed switch or choice, a sensor on, off or on the ignore zone, a length or count in its
    range (now and then just outside it), long paper on a camera and back."""
    moves = []
    for name in WALKED:
        datum = db.slot(0, ID[name], MACHINE)
        if datum is not None and datum.cur_items:
            moves.append("set %d 0 1 %d" % (ID[name], rng.choice(datum.cur_items)))
    for id_ in SENSORS:
        moves.append("set %d 0 1 %d" % (id_, rng.choice((1, 1, 2, 3))))
    for name in RANGES:
        datum = db.slot(0, ID[name], MACHINE)
        if datum is not None and datum.max >= datum.min:
            choice = rng.choice((datum.min, datum.max, rng.randint(datum.min, datum.max), 0, 1, 2, datum.max + 1))
            moves.append("set %d 0 1 %d" % (ID[name], choice))
    cropping = db.slot(0, ID["CROPPINGMODE"], rng.choice((2, 4)))
    if cropping is not None and cropping.cur_items:
        moves.append("set %d 0 %d %d" % (cropping.id, cropping.bin, rng.choice((LONG_PAPER, cropping.cur_items[0]))))
    moves.append("cfgset 1 132 %s" % rng.choice(("0", "1", "%")))
    return moves
