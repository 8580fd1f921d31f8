"""The capability database as the rules see it: datums with their raw fields, the notification tables, the
configuration records, the state word, and the operations of the value classes and of the database that the
rules and the passes use: validation, stores with their notifications, default resets, the base default fix,
the set path with its fix-up pass, the access pass and the default fix-up of the whole database.

Every operation follows the library's own (db/db_cdbdatum*.cpp, db_cdbenum*.cpp, db_cdbrange.cpp,
db_cdbstring.cpp, db_cdatabase_values.cpp, db_cdatabase_passes.cpp, db_cdatabase_defaults.cpp); a rule class
of a theme (rules.py) replaces the five rule operations and the comparison of its capability.
"""
import bisect

from . import labels, profiles
from .colourlists import ColourLists
from .language import LanguageService
from .names import (ADF, CAMERAS, COMMON, FLATBED, ID, MACHINE, PROFILE_GROUP, STATE_APPLICATION, STATE_FIXUP,
                    STATE_GUI, STATE_LOADING, SUFFIX, VALUE, WINDOWS, other_side, same_side)

# Statuses.
SUCCESS, FAIL, REFUSED, BADCONTAINER, BADARGUMENT, NOTMODIFIABLE = 0, 1, 4, 6, 13, 14
# Notification kinds, in the order the tables are walked and listed.
VALUE_KIND, ACCESS_KIND, CONSTRAINT_KIND, PROFILES_KIND, SIDES_KIND, IMAGES_KIND = 1, 2, 4, 8, 16, 32
KINDS = (VALUE_KIND, ACCESS_KIND, CONSTRAINT_KIND, PROFILES_KIND, SIDES_KIND, IMAGES_KIND)
ALL_KINDS = 255
ITEM_MAX = 95


class Datum:
    """One datum: kind "E", "R" or "S" for a window-0 datum of that container, "W" for a window copy (a plain
    datum whose container is its master's)."""
    __slots__ = ("w", "id", "bin", "kind", "access", "device", "cur", "dflt", "prev", "prof", "cur_items",
                 "def_items", "min", "max", "step", "dmin", "dmax", "dstep", "maxlen", "scur", "sdef", "sprev",
                 "sprof")

    def __init__(self, w, id_, bin_, kind, access, device):
        self.w, self.id, self.bin, self.kind, self.access, self.device = w, id_, bin_, kind, access, device
        self.cur = self.dflt = self.prev = self.prof = 0
        self.cur_items, self.def_items = [], []
        self.min = self.max = self.step = self.dmin = self.dmax = self.dstep = 0
        self.maxlen = 0
        self.scur = self.sdef = self.sprev = self.sprof = ""

    @property
    def key(self):
        return (self.w, self.id, self.bin)


class Lookup:
    __slots__ = ("id", "name", "lexicon", "twain", "group", "enums")

    def __init__(self, id_, name, lexicon, twain, group, enums):
        self.id, self.name, self.lexicon, self.twain, self.group, self.enums = id_, name, lexicon, twain, group, enums

    def value_of(self, lexicon):
        for value, name in self.enums:
            if name == lexicon:
                return value
        return None

    def lexicon_of(self, value):
        for item, name in self.enums:
            if item == value:
                return name
        return None


class Config:
    """The configuration records: sorted keys, each with a number and a text (None without one)."""

    def __init__(self, records=()):
        self.records = {}
        self.keys = []
        for key, number, text in records:
            self.records[key] = (number, text)
        self.keys = sorted(self.records)

    @staticmethod
    def key(identifier, target, kind="", value=""):
        return identifier + SUFFIX[target] + kind + value

    def exists(self, identifier, target):
        return self.key(identifier, target) in self.records

    def string(self, identifier, target):
        record = self.records.get(self.key(identifier, target))
        return record[1] if record else None

    def range_max(self, identifier, target):
        record = self.records.get(self.key(identifier, target, "_rangemax"))
        return record[0] if record else 0

    def range_min(self, identifier, target):
        record = self.records.get(self.key(identifier, target, "_rangemin"))
        return record[0] if record else 0

    def enum_exists(self, identifier, value, target):
        return bool(value) and self.key(identifier, target, "_enum_", value) in self.records

    def enum_values(self, identifier, target):
        start = self.key(identifier, target, "_enum_")
        index = bisect.bisect_left(self.keys, start)
        values = []
        while index < len(self.keys) and self.keys[index].startswith(start):
            values.append(self.keys[index][len(start):])
            index += 1
        return values

    def delete(self, key):
        if key in self.records:
            del self.records[key]
            self.keys.remove(key)


def character_bytes(data, index):
    """The bytes of the character at the index, as CDbDatum::CountCharacters walks a text: a lead byte with the
    continuation bytes that follow it, any other byte alone."""
    byte = data[index]
    sequence = 4 if 0xF0 <= byte < 0xF8 else 3 if 0xE0 <= byte < 0xF0 else 2 if 0xC0 <= byte < 0xE0 else 1
    length = 1
    while length < sequence and index + length < len(data) and data[index + length] & 0xC0 == 0x80:
        length += 1
    return length


def count_characters(text):
    """CDbDatum::CountCharacters: the characters of a text as the string limits count them."""
    data = text.encode("utf-8", "surrogateescape")
    count = index = 0
    while index < len(data):
        index += character_bytes(data, index)
        count += 1
    return count


def to_long(number):
    """An unsigned 64-bit configuration number as the rules read it into a long."""
    return number if number < (1 << 63) else (1 << 63) - 1


class Database:
    def __init__(self):
        self.datums = {}
        self.windows = WINDOWS
        self.state = 0
        self.errors = {"printer": "", "imageaddress": ""}
        self.labels_loaded = False  # the probe's "labels": until then every label is the fallback
        self.labels_language = None  # the lexicon of the language whose labels are loaded
        self.language = LanguageService()  # the process's, which the probe's one database drives
        self.environment = {}  # what the probe's setenv gave
        self.notify_value, self.notify_profiles = set(), set()
        self.notify_access, self.notify_constraint = set(), set()
        self.notify_sides, self.notify_images = {}, {}
        self.config = Config()
        self.dbia = False  # the image-address rules object, made by the default fix-up
        self.lookup = {}
        self.rules = {}  # id -> rule class of a theme
        self.modified = None
        self.window_override = -1
        self.unit_override = 0
        self.scan_source = 1
        self.colour = ColourLists()
        self.driver_config = {}  # {(section, tag): text} the probe's cfgset gave
        # The shared timeout response the profile list's item 0 keeps: the response's default when the list was
        # loaded (there is no "profile.share" in the probe's root), 0 when it was not supported then.
        self.shared_response = 0

    # -- slots and access -------------------------------------------------------------------------------------
    def slot(self, w, id_, bin_):
        return self.datums.get((w, id_, bin_))

    def master(self, datum):
        return self.datums.get((0, datum.id, datum.bin))

    def find(self, w, id_, bin_):
        """DbDatumFind: the window's datum, else window 0's."""
        return self.slot(w, id_, bin_) or self.slot(0, id_, bin_)

    def container(self, datum):
        if datum.kind != "W":
            return datum.kind
        master = self.master(datum)
        return master.kind if master else None

    def access(self, datum):
        if datum.access != 0 or datum.w == 0:
            return datum.access
        master = self.master(datum)
        return master.access if master is not None and master is not datum else datum.access

    def accessible(self, datum):
        return datum is not None and self.access(datum) != 0

    def device_data(self, datum):
        master = self.find(0, datum.id, datum.bin)
        return master.device if master else datum.device

    def modifiable(self, datum):
        if datum.access in (4, 5, 6):
            return True
        if datum.access in (1, 3, 7):
            return self.test(STATE_LOADING)
        return False

    def rule(self, datum):
        return self.rules.get(datum.id)

    # -- state word -------------------------------------------------------------------------------------------
    def test(self, bit):
        return bool(self.state >> bit & 1)

    def set_state(self, bit):
        if 1 <= bit <= 15:
            self.state |= 1 << bit

    def clear_state(self, bit):
        if 1 <= bit <= 15:
            self.state &= ~(1 << bit)

    # -- the last errors ------------------------------------------------------------------------------------------
    def error_text(self, token):
        """What CDatabase::SetLastPrinterError and SetLastImageAddressError keep of a token: its label."""
        if not token:
            return ""
        return labels.label(token) if self.labels_loaded else "???"

    def update_labels(self):
        """CDatabase::UpdateLabels: the labels loaded again when the language in use is not the one loaded (the
        labels resource holds English alone, which every language falls back to)."""
        name = self.language.name()
        if self.labels_language != name:
            self.labels_language = name
            self.labels_loaded = True
            self.colour.relabel(self)

    def set_last_error(self, kind, token):
        self.errors[kind] = self.error_text(token)

    # -- notification -----------------------------------------------------------------------------------------
    def _record(self, kind, datum, join):
        if kind in (VALUE_KIND, PROFILES_KIND):
            table, key = (self.notify_value if kind == VALUE_KIND else self.notify_profiles), (datum.w, datum.bin,
                                                                                              datum.id)
        elif kind in (ACCESS_KIND, CONSTRAINT_KIND):
            table, key = (self.notify_access if kind == ACCESS_KIND else self.notify_constraint), (datum.bin,
                                                                                                 datum.id)
        else:
            table = self.notify_sides if kind == SIDES_KIND else self.notify_images
            if join:
                table[datum.id] = (datum.w, datum.bin)
            else:
                table.pop(datum.id, None)
            return
        if join:
            table.add(key)
        else:
            table.discard(key)

    def notify_set(self, kinds, datum):
        if self.access(datum) == 0:
            return
        for kind in KINDS:
            if kinds & kind:
                self._record(kind, datum, True)

    def notify_reset(self, kinds, datum):
        for kind in KINDS:
            if kinds & kind:
                self._record(kind, datum, False)

    def notify_mark(self, kind, datum, join):
        if join:
            self.notify_set(kind, datum)
        else:
            self.notify_reset(kind, datum)

    def set_access(self, datum, access):
        old = datum.access
        if access == old:
            return old
        if access == 0:
            self.notify_reset(ALL_KINDS, datum)
            datum.access = access
        else:
            datum.access = access
            self.notify_set(ACCESS_KIND, datum)
        return old

    # -- values -----------------------------------------------------------------------------------------------
    def default_long(self, datum):
        master = self.slot(0, datum.id, datum.bin) or datum
        return master.dflt

    def in_profile(self, datum):
        record = self.lookup.get(datum.id)
        return record is not None and record.group & PROFILE_GROUP != 0

    def set_current_long(self, datum, value):
        """CDbDatum::SetCurrentLong: stores and notifies a change (any value in states 4 and 5)."""
        if value != datum.cur or self.test(STATE_APPLICATION) or self.test(STATE_GUI):
            self.force_current_long(datum, value)

    def force_current_long(self, datum, value):
        if datum.kind == "S":
            return BADARGUMENT
        self.notify_set(VALUE_KIND, datum)
        if self.in_profile(datum) and datum.id != ID["WINDOWBIN"]:
            self.notify_mark(PROFILES_KIND, datum, value != datum.prof)
        datum.prev, datum.cur = datum.cur, value
        if datum.bin >= 2:
            self.compare_across_bins(datum, value)
        return SUCCESS

    def compare(self, master, a, b):
        rule = self.rule(master)
        if rule is not None and rule.compare is not None:
            return rule.compare(self, master, a, b)
        if master.kind == "E":
            return a != b and b in master.cur_items
        if master.kind == "S":
            return a != b
        return a != b

    def _differs_in_windows(self, datum, other, value):
        if datum.w >= self.windows:
            return False
        for w in range(self.windows):
            for bin_ in (datum.bin, other):
                if bin_ == datum.bin and w == datum.w:
                    continue
                there, master = self.slot(w, datum.id, bin_), self.slot(0, datum.id, bin_)
                if there is None or master is None or self.access(there) == 0:
                    continue
                current = there.scur if datum.kind == "S" else there.cur
                if self.compare(master, current, value):
                    return True
        return False

    def compare_across_bins(self, datum, value):
        self.notify_mark(SIDES_KIND, datum, self._differs_in_windows(datum, other_side(datum.bin), value))
        self.notify_mark(IMAGES_KIND, datum, self._differs_in_windows(datum, same_side(datum.bin), value))

    def set_current_string(self, datum, text):
        """CDbDatum::SetCurrentString."""
        if self.test(STATE_APPLICATION) or self.test(STATE_GUI):
            return self.force_current_string(datum, text)
        if not self._store_fits(datum, text):
            return REFUSED
        if text == datum.scur:
            return SUCCESS
        return self.force_current_string(datum, text)

    def _text_fits(self, datum, text):
        return count_characters(text) <= datum.maxlen and len(text.encode("utf-8", "surrogateescape")) < 1024

    def _store_fits(self, datum, text):
        """CDbDatum::TextFits: the container's limits, or its rule's."""
        rule = self.rule(datum)
        fits = rule.fits(self, datum, text) if rule is not None and rule.fits is not None else None
        return self._text_fits(datum, text) if fits is None else fits

    def force_current_string(self, datum, text):
        if not self._store_fits(datum, text):
            return REFUSED
        self.notify_set(VALUE_KIND, datum)
        if self.in_profile(datum):
            self.notify_mark(PROFILES_KIND, datum, text != datum.sprof)
        datum.sprev, datum.scur = datum.scur, text
        if datum.bin >= 2:
            self.compare_across_bins(datum, text)
        return SUCCESS

    # -- enumerations -----------------------------------------------------------------------------------------
    def add_current_item(self, datum, item):
        if item in datum.cur_items:
            return SUCCESS
        if len(datum.cur_items) >= ITEM_MAX:
            return 2
        datum.cur_items.append(item)
        self.notify_set(CONSTRAINT_KIND, datum)
        return SUCCESS

    def delete_current_item(self, datum, item):
        if item not in datum.cur_items:
            return SUCCESS
        datum.cur_items.remove(item)
        if datum.cur == item:
            self.set_current_long(datum, datum.cur_items[0] if datum.cur_items else 0)
        self.notify_set(CONSTRAINT_KIND, datum)
        return SUCCESS

    def delete_all_current_items(self, datum):
        datum.cur_items = []
        self.notify_set(CONSTRAINT_KIND, datum)

    @staticmethod
    def add_default_item(datum, item):
        if item not in datum.def_items and len(datum.def_items) < ITEM_MAX:
            datum.def_items.append(item)

    def delete_default_item(self, datum, item):
        if item not in datum.def_items:
            return
        datum.def_items.remove(item)
        if self.default_long(datum) == item:
            datum.dflt = datum.def_items[0] if datum.def_items else 0

    @staticmethod
    def item_at(items, index):
        return items[index] if 0 <= index < len(items) else 3

    # -- resets -----------------------------------------------------------------------------------------------
    def fix_default_reset(self, datum):
        if datum.kind == "E":
            datum.prev, datum.cur = datum.cur, self.default_long(datum)
            datum.cur_items = list(datum.def_items)
        elif datum.kind == "R":
            datum.prev, datum.cur = datum.cur, self.default_long(datum)
            datum.min, datum.max, datum.step = datum.dmin, datum.dmax, datum.dstep
        elif datum.kind == "S":
            datum.scur = datum.sdef

    # -- ranges -----------------------------------------------------------------------------------------------
    @staticmethod
    def _stored_step(minimum, maximum, step):
        if minimum == maximum:
            return 0
        return 1 if step == 0 else step

    @staticmethod
    def _step_refused(minimum, maximum, step):
        return step < 0 or (minimum != maximum and maximum - minimum < step)

    def range_set_current(self, datum, value, minimum, maximum, step):
        if minimum > maximum or minimum < datum.dmin or maximum > datum.dmax:
            return BADARGUMENT
        if self._step_refused(minimum, maximum, step) or value < minimum or value > maximum:
            return BADARGUMENT
        self.set_current_long(datum, value)
        datum.min, datum.max, datum.step = minimum, maximum, self._stored_step(minimum, maximum, step)
        self.notify_set(CONSTRAINT_KIND, datum)
        return SUCCESS

    def range_set_default(self, datum, value, minimum, maximum, step):
        if minimum > maximum or self._step_refused(minimum, maximum, step) or minimum > value or value > maximum:
            return BADARGUMENT
        datum.dflt = value
        datum.dmin, datum.dmax, datum.dstep = minimum, maximum, self._stored_step(minimum, maximum, step)
        return SUCCESS

    # -- validation -------------------------------------------------------------------------------------------
    def base_validate(self, datum, window, value):
        if not self.modifiable(datum):
            return NOTMODIFIABLE
        if datum.kind == "E":
            return SUCCESS if value in datum.cur_items else REFUSED
        if value in (datum.min, datum.max):
            return SUCCESS
        if datum.step == 0 or value < datum.min or value > datum.max or (value - datum.min) % datum.step:
            return REFUSED
        return SUCCESS

    def base_validate_text(self, datum, text):
        """CDbString::Validate."""
        if not self.modifiable(datum):
            return NOTMODIFIABLE
        return SUCCESS if self._text_fits(datum, text) else REFUSED

    def validate(self, master, window, value):
        rule = self.rule(master)
        if rule is not None and rule.validate is not None:
            return rule.validate(self, master, window, value)
        return self.base_validate(master, window, value)

    # -- the base rule operations -----------------------------------------------------------------------------
    def datum_fix_default(self, datum):
        """CDbDatum::FixDefault: camera bins stay where the model has the bin's image format (and a rear bin
        a duplex unit)."""
        if datum.bin not in CAMERAS:
            return
        bitonal, rear = datum.bin in (2, 3), datum.bin in (3, 5)
        stays = self.config.enum_exists("imageformat", "bw" if bitonal else "rgb_24", COMMON)
        if stays and rear:
            stays = self.config.exists("duplex", COMMON)
        if not stays:
            datum.access = 0
            self.notify_reset(ALL_KINDS, datum)

    def _application_action(self, datum):
        record = self.lookup.get(datum.id)
        if record is None or not record.twain:
            return False
        key, action = "app_" + record.twain, "app_" + record.twain + "_action"
        constrain = self.config.enum_exists(action, "constrain", COMMON)
        if not constrain and not self.config.enum_exists(action, "remove", COMMON):
            return False
        if constrain:
            datum.def_items = []
        for name in self.config.enum_values(key, COMMON):
            value = record.value_of(name)
            if value is None:
                continue
            if not constrain:
                self.delete_default_item(datum, value)
            elif value in datum.cur_items:
                self.add_default_item(datum, value)
        if constrain and not datum.def_items:
            datum.def_items = list(datum.cur_items)
        return True

    def base_fix_default(self, datum):
        if datum.kind == "E" and self._application_action(datum):
            if self.default_long(datum) not in datum.def_items:
                datum.dflt = self.item_at(datum.def_items, 0)
            self.fix_default_reset(datum)
        self.datum_fix_default(datum)

    def fix_default(self, datum):
        rule = self.rule(datum)
        if rule is not None and rule.fix_default is not None:
            rule.fix_default(self, datum)
        else:
            self.base_fix_default(datum)

    # -- look-ups in the current window -----------------------------------------------------------------------
    def current_window(self):
        datum = self.slot(0, ID["WINDOW"], MACHINE)
        return datum.cur if datum else 0

    def current_windowbin(self):
        datum = self.slot(0, ID["WINDOWBIN"], MACHINE)
        return datum.cur if datum else 0

    @staticmethod
    def bin_of_windowbin(windowbin):
        return windowbin % 4 + 2 if 0 <= windowbin < 44 else 0

    def _accessible_in(self, w, id_, bin_):
        if not 0 <= w < WINDOWS:
            return None
        datum = self.find(w, id_, bin_)
        return datum if self.accessible(datum) else None

    def find_current(self, id_):
        """CDatabase::Find."""
        w = self.current_window()
        datum = self._accessible_in(w, id_, MACHINE)
        if datum:
            return datum
        bin_ = self.bin_of_windowbin(self.current_windowbin())
        return self._accessible_in(w, id_, bin_) if bin_ in CAMERAS else None

    def find_in_bin(self, bin_, id_):
        """CDatabase::FindInBin."""
        if not 1 <= bin_ <= 5:
            return None
        return self._accessible_in(self.current_window(), id_, bin_)

    def holds(self, id_, value):
        """Whether Find gives the capability and it holds the value."""
        datum = self.find_current(id_)
        return datum is not None and datum.cur == value

    # -- the set path -----------------------------------------------------------------------------------------
    BLANK = "blank"

    def find_in_window_bin(self, w, bin_, id_):
        """CDatabase::FindInWindowBin (window, bin, id): None for arguments out of range, the blank datum for
        an empty slot."""
        if not 0 <= w < WINDOWS or not 1 <= bin_ <= 5 or not 1 <= id_ <= 252:
            return None
        return self.slot(w, id_, bin_) or self.BLANK

    def db_set_current_long(self, datum, value):
        """CDatabase::SetCurrentLong (the datum's own set, then a fix-up pass)."""
        if datum is None:
            return FAIL
        if datum is self.BLANK or self.container(datum) not in ("E", "R"):
            return BADCONTAINER
        if datum.cur == value and not self.test(STATE_APPLICATION) and not self.test(STATE_GUI):
            return SUCCESS
        master = self.master(datum)
        if master is None or master.kind not in ("E", "R"):
            return FAIL
        status = self.validate(master, datum.w, value)
        if status != SUCCESS:
            return status
        self.set_current_long(datum, value)
        self.fix_current_all(datum)
        return SUCCESS

    def db_set_current_string(self, datum, text):
        """CDatabase::SetCurrentString."""
        if datum is None:
            return FAIL
        if datum is self.BLANK or datum.kind != "S":
            return BADCONTAINER
        rule = self.rule(datum)
        if rule is not None and rule.validate is not None:
            status = rule.validate(self, datum, datum.w, text)
        else:
            status = self.base_validate_text(datum, text)
        if status != SUCCESS:
            return status
        status = self.set_current_string(datum, text)
        if status != SUCCESS:
            return status
        self.fix_current_all(datum)
        return SUCCESS

    def write(self, datum, value):
        """A direct write, as a profile applies one, followed by a fix-up pass."""
        if datum is None or datum is self.BLANK or self.container(datum) not in ("E", "R"):
            return
        self.set_current_long(datum, value)
        self.fix_current_all(datum)

    # -- passes -----------------------------------------------------------------------------------------------
    def pass_order(self):
        """The rule datums of window 0 a pass visits, in its order (the others do nothing)."""
        for id_ in sorted(self.rules):
            for bin_ in range(1, 6):
                datum = self.slot(0, id_, bin_)
                if datum is not None:
                    yield datum

    def fix_current_all(self, changed):
        if self.test(STATE_FIXUP):
            return
        self.set_state(STATE_FIXUP)
        self.modified = changed
        # A rule that moves the paper source: every access is worked out again after the pass.
        source = self.slot(0, ID["PAPERSOURCE"], MACHINE)
        if source is not None and (source is changed or self.access(source) == 0):
            source = None
        before = source.cur if source is not None else 0
        for datum in self.pass_order():
            rule = self.rule(datum)
            if rule.fix_current is not None and self.access(datum) != 0:
                rule.fix_current(self, datum)
        self.modified = None
        if source is not None and source.cur != before:
            self.fix_access_all()
        self.clear_state(STATE_FIXUP)

    def fix_access_all(self):
        for datum in self.pass_order():
            rule = self.rule(datum)
            if rule.fix_access is not None and self.access(datum) != 0:
                rule.fix_access(self, datum)

    def _walk(self):
        """Every accessible window-0 datum, ids 1 to 252, bins 1 to 5, access tested when reached."""
        for id_ in range(1, 253):
            for bin_ in range(1, 6):
                datum = self.slot(0, id_, bin_)
                if datum is not None and self.access(datum) != 0:
                    yield datum

    def _fix_default_of(self, datum):
        self.fix_default(datum)
        if datum.kind in ("E", "R"):
            datum.prof = datum.cur
        elif datum.kind == "S":
            datum.sprof = datum.scur

    def _fix_default_physical_height(self):
        datum = self.find_current(ID["PHYSICALHEIGHTADJUST"])
        if datum is None or self.config.range_max("sheetheight", COMMON) == 0:
            return
        unit = FLATBED if (not self.config.exists("model", ADF) and self.config.exists("model", FLATBED)) else ADF
        minimum = to_long(self.config.range_min("sheetheight", unit))
        maximum = to_long(self.config.range_max("sheetheight", COMMON))
        value = max(min(self.default_long(datum), maximum), minimum)
        if datum.kind == "R":
            self.range_set_default(datum, value, minimum, maximum, datum.dstep)
        self.fix_default_reset(datum)

    def resource_values(self):
        """Every window-0 datum's fields, as a restore point for the default fix-ups after the first."""
        return {key: tuple(list(v) if isinstance(v, list) else v for v in (getattr(datum, f) for f in Datum.__slots__))
                for key, datum in self.datums.items() if datum.w == 0}

    def fix_default_all(self, dump=None):
        """CDatabase::FixDefaultAll; dump(name) is called where the library writes its dumps. Each run after the
        first starts from the resource's values, lists and access again: the state right after the load (set by
        whoever made the model; else the state before the first run), with the profile list loaded again."""
        if getattr(self, "resource_state", None) is None:
            self.resource_state = self.resource_values()
        elif getattr(self, "defaults_fixed", False):
            for key, values in self.resource_state.items():
                datum = self.datums.get(key)
                if datum is None:
                    continue
                for field, value in zip(Datum.__slots__, values):
                    setattr(datum, field, list(value) if isinstance(value, list) else value)
            self.notify_profiles.clear()
            if hasattr(self, "language_state"):
                self.language_state["built"] = False
            # The restart loads the profile list again: its selection below is the first after a load.
            self.profile_selected = False
        self.defaults_fixed = True
        self.dbia = self.config.enum_exists("indexingformat", "none", COMMON)
        self._fix_default_physical_height()
        window = self.slot(0, ID["WINDOW"], MACHINE)
        if window is not None:
            self._fix_default_of(window)
        for datum in self._walk():
            if datum is not window:
                self._fix_default_of(datum)
        if dump:
            dump("PmxDbFactoryDefaults")
        profiles.select_current(self)
        self.notify_profiles.clear()
        self.fix_access_all()
        if dump:
            dump("PmxDbInitial")

    # -- the attribute tasks ----------------------------------------------------------------------------------
    def make_xml_value(self, window, id_, bin_):
        """The value a windowadd of the window and bin carries for a capability: its rule's choice, else the
        window's own value; None when the rule writes nothing."""
        master = self.slot(0, id_, bin_)
        value_datum = self.find(window, id_, bin_)
        rule = self.rule(master) if master else None
        if rule is None or rule.make_xml is None:
            return value_datum.cur
        self.window_override = window
        try:
            return rule.make_xml(self, master, value_datum.cur, 4)
        finally:
            self.window_override = -1


def enum_value(capability, name):
    return VALUE[capability][name]
