"""The database's lists from the model configuration that rules call (db/db_cdatabase_dbconfig.cpp):
FixDefaultEnumFromDbConfig, BuildOrderedListFromDbConfig and BuildDefaultEnumFromDbConfig."""
from .names import ADF, COMMON, FLATBED, ID


def key_name(record):
    return record.twain or record.lexicon


def fix_default_enum_from_db_config(db, datum, target, prefix=None):
    """The default list pruned to the values the configuration lists under the capability's key, then made
    current; an item without a value entry stops it at once."""
    record = db.lookup.get(datum.id)
    if record is None:
        return
    name = "backgroundrear" if datum.id == ID["BACKGROUND"] and datum.bin in (3, 5) else key_name(record)
    key = "%s_%s" % (prefix, name) if prefix else name
    if not datum.def_items:
        db.fix_default_reset(datum)
        return
    unlisted = []
    for value in datum.def_items:
        lexicon = record.lexicon_of(value)
        if lexicon is None:
            return
        if not db.config.enum_exists(key, lexicon, target):
            unlisted.append(value)
    for value in unlisted:
        db.delete_default_item(datum, value)
    db.fix_default_reset(datum)


def build_ordered_list_from_db_config(db, datum, first, last, key, target):
    """The default list of the values first..last, in value order, whose names the configuration lists under
    the key; made current, keeping the current value when it is still listed, else the first item."""
    record = db.lookup.get(datum.id)
    if record is None:
        return
    remembered = datum.cur
    datum.def_items = []
    for value in sorted({value for value, _ in record.enums if first <= value <= last}):
        lexicon = record.lexicon_of(value)
        if lexicon and db.config.enum_exists(key, lexicon, target):
            db.add_default_item(datum, value)
    db.fix_default_reset(datum)
    if remembered in datum.cur_items:
        db.set_current_long(datum, remembered)
    elif datum.cur_items:
        db.set_current_long(datum, datum.cur_items[0])


def build_default_enum_from_db_config(db, datum, prefix, skip_none):
    """The default list of the values the feeder's list names under the key (on a model with a flatbed, those
    the flatbed's list names too), in the configuration's order; made current and read-write, or not
    supported when empty."""
    record = db.lookup.get(datum.id)
    if record is None:
        return
    key = "%s_%s" % (prefix, key_name(record)) if prefix else key_name(record)
    datum.def_items = []
    flatbed_unit = db.config.exists("modeldirectoryflatbed", COMMON)
    for text in db.config.enum_values(key, ADF):
        if skip_none and text == "none":
            continue
        if flatbed_unit and not db.config.enum_exists(key, text, FLATBED):
            continue
        value = record.value_of(text)
        if value is not None:
            db.add_default_item(datum, value)
    if not datum.def_items:
        db.set_access(datum, 0)
        return
    db.fix_default_reset(datum)
    db.set_access(datum, 4)
    default, first = db.default_long(datum), db.item_at(datum.cur_items, 0)
    if default not in datum.cur_items:
        db.set_current_long(datum, first)
    if default not in datum.def_items:
        datum.dflt = first
