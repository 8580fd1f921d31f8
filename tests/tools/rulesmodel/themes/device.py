"""Device rules: the diagnostic tests, the usage meters and magnification values, the calibration type and keeping
its images, the scanner unit of the firmware settings, the progress indicators, the user-interface language, the
log type, the power-off timeout and the preview refresh (db/id/db_cdiagnostics.cpp, db_cmeters.cpp,
db_cmagnification.cpp, db_ccalibration.cpp, db_cfirmware.cpp, db_cindicators.cpp, db_clanguage.cpp,
db_cdevice.cpp), with the database's access operations they use (db/db_cdatabase_access.cpp) and the language
service they drive (language.py)."""
import re

from .. import kit
from ..language import AUTO, LAST
from ..names import ADF, COMMON, FLATBED, ID, MACHINE, VALUE
from ..rules import Rule, rule
from .colour import load_color_tables

V = VALUE
FIRMWARE, CALIBRATIONTYPE, KEEPIMAGE = ID["FIRMWARE"], ID["CALIBRATIONTYPE"], ID["CALIBRATEKEEPIMAGE"]
INDICATORS, MODES, WARMUP = ID["INDICATORS"], ID["INDICATORSMODE"], ID["INDICATORSWARMUP"]
POWEROFF, POWEROFFENABLED = ID["POWEROFFTIMEOUT"], ID["POWEROFFTIMEOUTENABLED"]
LANGUAGE, LOG = ID["LANGUAGE"], ID["LOG"]
MAIN, SANETWAINVERSION, APPLICATIONKELVOTONIX, FORCELANGUAGE = 1, 57, 165, 102
FORCEINDICATORSWARMUP, FORCEINDICATORS, FORCEINDICATORSWARMUPNOFIX = 1009, 1010, 1014
PROTOCOL_INDICATORS = 203
LONG_MAX = (1 << 63) - 1


def modified_is(db, id_):
    return db.modified is not None and db.modified.id == id_


def unit_target(db):
    """CRuleKit::UnitTarget, and the unit the access operations of the database read."""
    return FLATBED if kit.value_of(db, FIRMWARE, MACHINE, 1) == 2 else ADF


def unsupport_without_key(db, datum, key):
    """CRuleKit::UnsupportWithoutKey."""
    if not db.config.exists(key, COMMON):
        db.set_access(datum, 0)


# -- the access operations of the database --------------------------------------------------------------------
def set_access_meters_and_cals(db, datum, key, flatbed_hides, enabled_key, list_key):
    target = unit_target(db)
    if db.config.exists(enabled_key, target):
        hidden = not db.config.enum_exists(list_key, key, target)
    else:
        hidden = flatbed_hides and target == FLATBED
    db.set_access(datum, 2 if hidden else 4)


def set_access_diag(db, datum, key):
    db.set_access(datum, 4 if db.config.enum_exists("diagnostictype", key, unit_target(db)) else 2)


# -- diagnostics, meters, magnifications ----------------------------------------------------------------------
DIAGNOSTICS = {"DIAGBACKGROUNDFRONT": "diagbackgroundfront", "DIAGBACKGROUNDREAR": "diagbackgroundrear",
               "DIAGCLEANMODE": "diagcleanmode", "DIAGCOOLINGFAN": "diagcoolingfan", "DIAGELEVATOR": "diagelevator",
               "DIAGFEEDERCLUTCH": "diagfeederclutch", "DIAGFLATBED": "diagflatbed",
               "DIAGFRONTLAMPS": "diaglampfront", "DIAGIMAGETEST": "diagimagetest",
               "DIAGLOCKCAMERA": "diaglockcamera", "DIAGREAREXIT": "diagrearexit", "DIAGREARLAMPS": "diaglamprear",
               "DIAGTRANSPORTMOTOR": "diagadfmotor"}
DIAGNOSTIC_KEYS = {ID[name]: key for name, key in DIAGNOSTICS.items()}


@rule(*DIAGNOSTICS)
class Diagnostic(Rule):
    def fix_default(self, db, own):
        set_access_diag(db, own, DIAGNOSTIC_KEYS[own.id])

    fix_access = fix_default

    def fix_current(self, db, own):
        if modified_is(db, FIRMWARE):
            self.fix_default(db, own)


# meter: (key, whether a flatbed without a meter list lacks it)
METERS = {"METERFIRSTSCAN": ("meterfirstscan", False), "METERLAMPFRONT": ("meterlampfront", False),
          "METERLAMPREAR": ("meterlamprear", True), "METERPAGECOUNT": ("meterpagecount", False),
          "METERPOWER": ("meterpower", True), "METERTRANSPORT": ("metertransport", True)}
METER_ROWS = {ID[name]: row for name, row in METERS.items()}


class Meter(Rule):
    def fix_access(self, db, own):
        key, flatbed_hides = METER_ROWS[own.id]
        set_access_meters_and_cals(db, own, key, flatbed_hides, "metertypeenabled", "metertype")

    def fix_current(self, db, own):
        if modified_is(db, FIRMWARE):
            self.fix_access(db, own)


rule(*[name for name in METERS if name != "METERLAMPREAR"])(Meter)


@rule("METERLAMPREAR")
class MeterLampRear(Meter):
    def fix_default(self, db, own):
        unsupport_without_key(db, own, "duplex")


class Magnification(Rule):
    def fix_access(self, db, own):
        set_access_meters_and_cals(db, own, "magnification", False, "calibrationtypeenabled", "calibrationtype")
        rear = own.id in (ID["MAGNIFICATIONREARX"], ID["MAGNIFICATIONREARY"])
        if rear and db.access(own) != 2 and unit_target(db) == FLATBED:
            db.set_access(own, 1)

    def fix_current(self, db, own):
        if modified_is(db, FIRMWARE):
            self.fix_access(db, own)


rule("MAGNIFICATIONFRONTX", "MAGNIFICATIONFRONTY")(Magnification)


@rule("MAGNIFICATIONREARX", "MAGNIFICATIONREARY")
class RearMagnification(Magnification):
    def fix_default(self, db, own):
        unsupport_without_key(db, own, "duplex")


# -- calibration ----------------------------------------------------------------------------------------------
CT = V["CALIBRATIONTYPE"]


def offer_types(db, own, target, fix_current):
    db.delete_all_current_items(own)
    if not db.config.exists("calibrationtypeenabled", target):
        for item in list(own.def_items):
            db.add_current_item(own, item)
        if target == FLATBED:
            for item in (CT["UDDS"], CT["MAGNIFICATION"], CT["PATCHREADER"]):
                db.delete_current_item(own, item)
            if fix_current:
                db.delete_current_item(own, CT["MAGNIFICATIONTEST"])
        if CT["IMAGE"] in own.cur_items and CT["IMAGENOTARGET"] in own.cur_items:
            db.delete_current_item(own, CT["IMAGENOTARGET"])
    else:
        record = db.lookup.get(own.id)
        for text in db.config.enum_values("calibrationtype", target):
            value = record.value_of(text) if record is not None else None
            if value is not None and value in own.def_items:
                db.add_current_item(own, value)
    if not own.cur_items:
        db.add_current_item(own, CT["IMAGE"])
        db.set_current_long(own, CT["IMAGE"])
        db.set_access(own, 2)
        return
    db.set_access(own, 4)
    default = db.default_long(own)
    if default in own.cur_items:
        if fix_current:
            db.set_current_long(own, default)
    else:
        db.set_current_long(own, own.cur_items[0])


@rule("CALIBRATIONTYPE")
class CalibrationType(Rule):
    def fix_default(self, db, own):
        offer_types(db, own, FLATBED if db.config.exists("modeldirectoryflatbed", COMMON) else ADF, False)
        db.base_fix_default(own)

    def fix_access(self, db, own):
        if own.access != 0:
            db.set_access(own, 4 if own.cur_items else 2)

    def fix_current(self, db, own):
        if not modified_is(db, FIRMWARE):
            return
        offer_types(db, own, unit_target(db), True)
        keep = kit.supported(db, KEEPIMAGE, MACHINE)
        if keep is not None:
            db.rule(keep).fix_access(db, keep)


@rule("CALIBRATEKEEPIMAGE")
class CalibrateKeepImage(Rule):
    def fix_access(self, db, own):
        kind = kit.supported(db, CALIBRATIONTYPE, MACHINE)
        if kind is None:
            return
        if kind.cur in (CT["IMAGE"], CT["MECHANICAL"], CT["MAGNIFICATION"]):
            db.set_access(own, 4)
        elif kind.cur == CT["GETRAWIMAGE"]:
            db.set_current_long(own, 2)
            db.set_access(own, 1)
        elif 1 <= kind.cur <= 10:
            db.set_current_long(own, 1)
            db.set_access(own, 1)

    def fix_current(self, db, own):
        if modified_is(db, CALIBRATIONTYPE):
            self.fix_access(db, own)


# -- the scanner unit -----------------------------------------------------------------------------------------
@rule("FIRMWARE")
class Firmware(Rule):
    def fix_default(self, db, own):
        if not db.config.exists("modeldirectoryflatbed", COMMON):
            own.def_items = []
            db.add_default_item(own, 1)
            own.dflt = 1
            db.set_access(own, 5)
        elif db.config.string("devicetypeflatbed", COMMON) == "flatbedintegrated":
            db.base_fix_default(own)
            return
        else:
            db.add_default_item(own, 2)
            own.dflt = 2
        db.fix_default_reset(own)
        db.base_fix_default(own)


# -- the progress indicators ----------------------------------------------------------------------------------
MODE = V["INDICATORSMODE"]


def strtol10(text):
    """strtol with base 10: as far as the digits go, 0 without any, clamped to a long."""
    match = re.match(r"[ \t\n\v\f\r]*([+-]?)(\d+)", text)
    if not match:
        return 0
    number = int(match.group(2))
    if match.group(1) == "-":
        return max(-number, -LONG_MAX - 1)
    return min(number, LONG_MAX)


def application_protocol(db):
    """PMX_APPPROTOCOL read into 32 bytes ("0" when unset or empty), a longer text cut to them."""
    text = db.environment.get("PMX_APPPROTOCOL") or "0"
    return strtol10(text.encode("utf-8", "surrogateescape")[:31].decode("utf-8", "surrogateescape"))


def sane_twain(db):
    return kit.config_number(db, MAIN, SANETWAINVERSION) > 0


def add_offered(db, own, items):
    for item in items:
        if item in own.def_items and item not in own.cur_items:
            db.add_current_item(own, item)


def delete_items(db, own, items):
    for item in items:
        db.delete_current_item(own, item)


def replace_items(db, own, items):
    db.delete_all_current_items(own)
    for item in items:
        db.add_current_item(own, item)


def forced(db, tag, on, off):
    """The value ForceIndicators or ForceIndicatorsWarmup gives: on, off, the application's (None), or kept
    (False)."""
    force = kit.driver_config_number(db, tag)
    if force == 1:
        return on
    if force == 2:
        return None
    if force == 3:
        return False
    return off


@rule("INDICATORS")
class Indicators(Rule):
    def fix_default(self, db, own):
        value = forced(db, FORCEINDICATORS, 2, 1)
        if value is None:
            if sane_twain(db):
                value = 1
            elif application_protocol(db) >= PROTOCOL_INDICATORS:
                value = 2
        if value:
            db.set_current_long(own, value)


@rule("INDICATORSWARMUP")
class IndicatorsWarmup(Rule):
    def fix_default(self, db, own):
        value = forced(db, FORCEINDICATORSWARMUP, 2, 1)
        if value is None:
            if sane_twain(db):
                value = 1
            elif application_protocol(db) < PROTOCOL_INDICATORS:
                value = 2
        if value:
            db.set_current_long(own, value)

    def fix_current(self, db, own):
        m = db.modified
        if m is None:
            return
        if m.id == INDICATORS:
            if m.cur == 1:
                keep = kit.config_number(db, MAIN, APPLICATIONKELVOTONIX) != 0 or \
                    kit.driver_config_number(db, FORCEINDICATORSWARMUPNOFIX) != 0
                db.set_current_long(own, 2 if keep else 1)
        elif m.id == MODES and db.container(m) == "E":
            chosen = m.cur_items
            warmup = MODE["INFO"] not in chosen and MODE["ERROR"] not in chosen and MODE["WARNING"] in chosen and \
                MODE["WARMUP"] in chosen
            db.set_current_long(own, 2 if warmup else 1)


@rule("INDICATORSMODE")
class IndicatorsMode(Rule):
    def fix_default(self, db, own):
        force = kit.driver_config_number(db, FORCEINDICATORSWARMUP)
        if force == 2:
            if sane_twain(db):
                replace_items(db, own, (MODE["NONE"],))
            elif application_protocol(db) < PROTOCOL_INDICATORS:
                replace_items(db, own, (MODE["NONE"], MODE["WARNING"], MODE["WARMUP"]))
        elif force != 3:
            if force == 1:
                add_offered(db, own, (MODE["WARNING"], MODE["WARMUP"]))
            elif force == 4:
                add_offered(db, own, (MODE["WARMUP"],))
            else:
                delete_items(db, own, (MODE["WARNING"], MODE["WARMUP"]))
            add_offered(db, own, (MODE["NONE"],))

    def fix_current(self, db, own):
        m = db.modified
        if m is None:
            return
        if m.id == INDICATORS:
            if m.cur == 2:
                add_offered(db, own, (MODE["NONE"], MODE["INFO"], MODE["ERROR"], MODE["WARNING"], MODE["WARMUP"]))
        elif m.id == WARMUP:
            if m.cur == 2:
                delete_items(db, own, (MODE["INFO"], MODE["ERROR"]))
                add_offered(db, own, (MODE["NONE"], MODE["WARNING"], MODE["WARMUP"]))
            else:
                delete_items(db, own, (MODE["WARNING"], MODE["WARMUP"]))
                add_offered(db, own, (MODE["NONE"], MODE["INFO"]))


# -- the language ---------------------------------------------------------------------------------------------
def language_state(db):
    """The language rule's flags, the database's: its list built, a pass having applied the language."""
    if not hasattr(db, "language_state"):
        db.language_state = {"built": False, "applied": False}
    return db.language_state


@rule("LANGUAGE")
class Language(Rule):
    def fix_default(self, db, own):
        state = language_state(db)
        if state["built"]:
            return
        state["built"] = True
        service = db.language
        for index, item in enumerate(list(own.def_items)):
            service.register(item, index == 0)
        own.def_items = []
        row = service.registered_after(0)
        while row:
            db.add_default_item(own, row)
            row = service.registered_after(row)
        db.fix_default_reset(own)

    def fix_current(self, db, own):
        self.fix_default(db, own)
        state = language_state(db)
        if state["applied"] and db.modified is not own:
            return
        state["applied"] = True
        value = own.cur
        if not 0 <= value < LAST:
            return
        if db.language.set_language(value, kit.config_number(db, MAIN, FORCELANGUAGE)) != 0:
            return
        if value == AUTO:
            db.set_current_long(own, db.language.current)
        db.update_labels()
        if kit.is_id_supported(db, ID["COLORTABLE"]):
            load_color_tables(db)

    def validate(self, db, own, window, value):
        self.fix_default(db, own)
        return db.base_validate(own, window, value)


# -- log, power off, preview ----------------------------------------------------------------------------------
@rule("LOG")
class Log(Rule):
    def fix_access(self, db, own):
        db.set_access(own, 3 if len(own.cur_items) < 2 else 4)


@rule("POWEROFFTIMEOUT")
class PowerOffTimeout(Rule):
    def fix_access(self, db, own):
        enabled = kit.supported(db, POWEROFFENABLED, MACHINE)
        db.set_access(own, 1 if enabled is not None and enabled.cur != 2 else 4)

    def fix_current(self, db, own):
        if modified_is(db, POWEROFFENABLED):
            self.fix_access(db, own)


@rule("POWEROFFTIMEOUTENABLED")
class PowerOffTimeoutEnabled(Rule):
    def fix_default(self, db, own):
        unsupport_without_key(db, own, "powerofftimeoutenabled")

    def fix_access(self, db, own):
        if own.access != 0:
            db.set_access(own, 4 if kit.supported(db, POWEROFF, MACHINE) is not None else 0)


@rule("PREVIEWUPDATE")
class PreviewUpdate(Rule):
    def fix_default(self, db, own):
        unsupport_without_key(db, own, "preview")
        db.base_fix_default(own)


# -- the harness ----------------------------------------------------------------------------------------------
# The switch of the power-off timeout, which the stand-ins do not report, added in walks, sweeps and half the dumps.
EXTRAS = ("device_extras.inquiry",)


def dump_variants(scanners):
    """Every scanner without its units' lists of calibration types (the probe deletes the keys that enable them),
    and every scanner with a flatbed integrated into the feeder's unit."""
    variants = {scanner + ":nocalibrationlist": (scanner, (), ["cfgdelprefix calibrationtypeenabled"])
                for scanner in scanners}
    variants.update({scanner + ":integrated": (scanner, ("device_integrated.inquiry",), [])
                     for scanner in scanners if "flatbed" in scanner})
    return variants


def set_move(db, id_, rng, values):
    datum = db.slot(0, id_, MACHINE)
    if datum is None or not db.accessible(datum):
        return []
    return ["set %d 0 1 %d" % (id_, rng.choice(values(datum)))]


def listed_now_and_then(rng, low, high):
    """A value of the current list nine times in ten, else any of low..high."""
    return lambda datum: datum.cur_items if datum.cur_items and rng.random() < 0.9 else range(low, high)


def walk_moves(db, rng):
    """The unit, a calibration type (now and then one written outside 1 to 10), keeping its images, the
    indicators, their modes as a chosen list, the warm-up display, the power-off switch and timeout, the log
    types as a list followed by the access pass, the language (now and then written outside the table), and,
    rarely, the units' calibration lists deleted."""
    moves = []
    moves += set_move(db, FIRMWARE, rng, listed_now_and_then(rng, 1, 4))
    moves += set_move(db, CALIBRATIONTYPE, rng, listed_now_and_then(rng, 1, 12))
    moves += set_move(db, KEEPIMAGE, rng, lambda datum: (1, 2))
    moves += set_move(db, INDICATORS, rng, lambda datum: (1, 2))
    moves += set_move(db, WARMUP, rng, lambda datum: (1, 2))
    moves += set_move(db, POWEROFFENABLED, rng, lambda datum: (1, 2))
    moves += set_move(db, POWEROFF, rng, lambda datum: range(datum.min - 2, datum.max + 3))
    moves += set_move(db, LANGUAGE, rng, listed_now_and_then(rng, 0, LAST + 2))
    modes = db.slot(0, MODES, MACHINE)
    if db.accessible(modes) and modes.def_items:
        chosen = rng.sample(modes.def_items, rng.randrange(0, len(modes.def_items) + 1))
        moves.append(" ".join(["items %d 0 1" % MODES] + [str(item) for item in chosen]))
    log = db.slot(0, LOG, MACHINE)
    if db.accessible(log):
        chosen = rng.sample(range(1, 14), rng.choice((1, 1, 2, 3)))
        moves.append(" ".join(["items %d 0 1" % LOG] + [str(item) for item in chosen]))
        moves.append(rng.choice(("fixaccessall", "set %d 0 1 %d" % (LOG, rng.randrange(1, 14)))))
    moves.append(rng.choice(("write %d 0 1 %d" % (CALIBRATIONTYPE, rng.choice((0, 11, 1, 7, 3))),
                             "write %d 0 1 %d" % (LANGUAGE, rng.choice((-1, LAST, 200, 39, 1))))))
    if rng.random() < 0.02:
        moves.append("cfgdelprefix calibrationtypeenabled")
    return moves
