"""The lookup source and the constants header agree: every record names a defined capability, group and
value, the 250 capabilities stand once each in catalogue order, each value list pairs every name with its
text, and the group bits keep meters, device state and profile settings apart.

Usage: check_lookup_source.py LOOKUP_DBC DB_DEF_H OS_COSLOCALE_H
Each check also runs on a few damaged copies of the source, which it must reject."""
import re
import sys
import xml.etree.ElementTree as ET

# Ids 140 and 141 name no capability.
CAPABILITY_IDS = set(range(1, 253)) - {140, 141}
METER = 0x40000
DEVICE = 0x2000000
PROFILE = 0x21FFFF
# Values read from the scanner itself, never restored.
DEVICE_VALUES = ("FIRMWARE", "SERIALNUMBER", "TIMEDATE", "TIMEDATEUTC")
# Kept in profiles or in the shared-values document, so inside the profile masks.
PROFILE_VALUES = ("WINDOWBIN", "BARCODETYPE", "ENERGYSTAR", "POWEROFFTIMEOUT", "POWEROFFTIMEOUTENABLED",
                  "ADFTIMEOUTENABLED", "TRANSPORTTIMEOUT", "TRANSPORTTIMEOUTRESPONSE", "TRANSPORTAUTOSTART")


def catalogue_order():
    """Ascending ids, but for the three places where the record order differs."""
    order = sorted(CAPABILITY_IDS)
    for moved, anchor in (([24], 20), ([33], 31), ([73, 74], 72)):
        for i in moved:
            order.remove(i)
        at = order.index(anchor)
        order[at:at] = moved
    return order


def read_header(text, prefix):
    """Constants of one prefix as the compiler reads them: {name: value}, plus shape errors."""
    values, errors = {}, []
    for number, line in enumerate(text.splitlines(), 1):
        words = line.strip().split()
        if not words or not words[0].startswith(prefix):
            continue
        m = re.fullmatch(r"(\w+) = (-?\w+),(\s*//.*)?", line.strip())
        if not m:
            errors.append(f"line {number}: not in the shape 'NAME = value,': {line.strip()}")
            continue
        name, value = m.group(1), m.group(2)
        try:
            number_value = int(value, 0) if prefix == "DB_GROUP_" else int(value, 10)
        except ValueError:
            errors.append(f"line {number}: {name} has no number the compiler reads: {value}")
            continue
        values.setdefault(name, []).append(number_value)
    for name, found in values.items():
        if len(found) > 1:
            errors.append(f"{name} is defined {len(found)} times")
    return {n: v[0] for n, v in values.items()}, errors


def check(dbc_text, header_text, locale_text):
    errors = []
    try:
        root = ET.fromstring(dbc_text)
    except ET.ParseError as e:
        return [f"lookup source is not well-formed XML: {e}"]
    if root.tag != "lookup_dbc":
        errors.append(f"root is <{root.tag}>, not <lookup_dbc>")
    names, shape = read_header(header_text, "DB_ID_")
    groups, group_shape = read_header(header_text, "DB_GROUP_")
    errors += shape + group_shape
    languages, _ = read_header(locale_text, "OS_LANGUAGE_")

    ids, lexicons = [], {}
    for index, item in enumerate(root):
        where = f"item {index + 1}"
        if item.tag != "item":
            errors.append(f"{where}: <{item.tag}> where an <item> belongs")
            continue
        tags = [c.tag for c in item]
        if tags not in (["db", "lx", "tw"], ["db", "lx", "tw", "en"]):
            errors.append(f"{where}: fields {tags}, expected db, lx, tw and at most one en")
            continue
        ident = (item.findtext("db/id") or "").strip()
        where = f"item {index + 1} ({ident})"
        if not ident or "_ENUM_" in ident or ident not in names:
            errors.append(f"{where}: capability identifier not defined in the header")
            continue
        ids.append(names[ident])
        lexicon = item.findtext("lx/id")
        if lexicon is None or item.find("tw/lx") is None or item.find("tw/grp") is None:
            errors.append(f"{where}: lexicon, group or TWAIN lexicon field missing")
            continue
        if lexicon and not re.fullmatch(r"[a-z0-9_]+", lexicon):
            errors.append(f"{where}: lexicon {lexicon!r} is not a plain lower-case name")
        if lexicon:
            lexicons.setdefault(lexicon, []).append(ident)
        if (item.findtext("tw/lx") or "") != lexicon:
            errors.append(f"{where}: TWAIN lexicon differs from the lexicon")
        group = item.findtext("tw/grp") or ""
        bits = groups.get(group)
        if bits is None:
            errors.append(f"{where}: group {group!r} not defined in the header")
        else:
            capability = ident[len("DB_ID_"):]
            if capability.startswith("METER") and bits != METER:
                errors.append(f"{where}: a meter's group must be exactly {METER:#x}, not {bits:#x}")
            if capability in DEVICE_VALUES and bits != DEVICE:
                errors.append(f"{where}: a device value's group must be exactly {DEVICE:#x}, not {bits:#x}")
            if capability in PROFILE_VALUES and not bits & PROFILE:
                errors.append(f"{where}: group {bits:#x} lies outside the profile masks")
            if bits & PROFILE and bits & ~PROFILE:
                errors.append(f"{where}: group {bits:#x} mixes profile and never-saved bits")
        errors += check_values(item.find("en"), ident, names, languages, where)

    expected = catalogue_order()
    if len(ids) != len(set(ids)):
        errors.append(f"capability ids repeat: {sorted(i for i in set(ids) if ids.count(i) > 1)}")
    if set(ids) != CAPABILITY_IDS:
        errors.append(f"ids missing {sorted(CAPABILITY_IDS - set(ids))}, unexpected {sorted(set(ids) - CAPABILITY_IDS)}")
    elif ids != expected:
        at = next(i for i, (a, b) in enumerate(zip(ids, expected)) if a != b)
        errors.append(f"record {at + 1} is id {ids[at]}, catalogue order wants {expected[at]}")
    for lexicon, owners in lexicons.items():
        if len(owners) > 1 and sorted(owners) != ["DB_ID_CARTRIDGEDETECTED", "DB_ID_PRINTER"]:
            errors.append(f"lexicon {lexicon!r} is shared by {owners}")
    # Every value constant of the header belongs to a record of the source.
    listed = {e.text for e in root.iter("db") if e.text and "_ENUM_" in e.text}
    for name in names:
        if "_ENUM_" in name and name not in listed:
            errors.append(f"{name} is in the header but in no value list")
    return errors


def check_values(en, ident, names, languages, where):
    if en is None:
        return []
    errors = []
    pairs = list(en)
    tags = [p.tag for p in pairs]
    if tags.count("db") != tags.count("lx"):
        return [f"{where}: {tags.count('db')} value names but {tags.count('lx')} value texts"]
    if not pairs or tags != ["db", "lx"] * (len(pairs) // 2):
        return [f"{where}: values must come as name and text pairs"]
    seen, values = set(), {}
    for db, lx in zip(pairs[0::2], pairs[1::2]):
        name, text = (db.text or "").strip(), lx.text or ""
        if not name.startswith(ident + "_ENUM_") or name not in names:
            errors.append(f"{where}: value {name!r} not defined in the header under this capability")
            continue
        if not text:
            errors.append(f"{where}: value {name} has no text")
        if names[name] in seen:
            errors.append(f"{where}: value {names[name]} listed twice")
        seen.add(names[name])
        values[text] = names[name]
        if ident == "DB_ID_LANGUAGE":
            language = "OS_LANGUAGE_" + name[len("DB_ID_LANGUAGE_ENUM_"):]
            if languages.get(language) != names[name] or text.upper() != language[len("OS_LANGUAGE_"):]:
                errors.append(f"{where}: {name} = {names[name]} ({text}) is not the language {language}")
    if set(values) == {"false", "true"}:
        # Booleans hold 1 for false and 2 for true; paper on demand keeps reversed names.
        wanted = {"false": 2, "true": 1} if ident == "DB_ID_AUTOSCAN" else {"false": 1, "true": 2}
        if values != wanted:
            errors.append(f"{where}: boolean values {values}, expected {wanted}")
    header_order = [n for n in names if n.startswith(ident + "_ENUM_")]
    if header_order != [(p.text or "").strip() for p in pairs[0::2]]:
        errors.append(f"{where}: the header lists other values or another order")
    return errors


def damaged(dbc, header):
    """Copies with one fault each, and a word of the error each must raise."""
    items = re.findall(r"\t<item>.*?</item>\n", dbc, re.S)
    swapped = dbc.replace(items[19] + items[20], items[20] + items[19])  # two neighbours out of order
    yield "order", swapped, header, "catalogue order"
    yield "count", dbc.replace("<lx>true</lx>", "", 1), header, "value names but"
    yield "meter", dbc.replace("<grp>DB_GROUP_METER</grp>", "<grp>DB_GROUP_SESSION</grp>", 1), header, "meter"
    yield "device", dbc.replace("<grp>DB_GROUP_DEVICE</grp>", "<grp>DB_GROUP_SESSION</grp>"), header, "device value"
    yield "undefined", dbc.replace("DB_ID_XRESOLUTION_ENUM_300<", "DB_ID_XRESOLUTION_ENUM_301<"), header, "not defined"
    yield "duplicate", dbc.replace(items[0], items[0] + items[0]), header, "repeat"
    yield "missing", dbc.replace(items[-1], ""), header, "ids missing"
    yield "xml", dbc.replace("</item>", "", 1), header, "well-formed"
    yield "hex", dbc, header.replace("DB_ID_XRESOLUTION_ENUM_300 = 7,", "DB_ID_XRESOLUTION_ENUM_300 = 0x7,"), "no number"
    yield "twice", dbc, header.replace("DB_ID_UNITS = 246,", "DB_ID_UNITS = 246,\n  DB_ID_UNITS = 246,"), "defined 2 times"
    yield "boolean", dbc.replace("ENUM_FALSE</db><lx>false", "ENUM_FALSE</db><lx>true").replace(
        "ENUM_TRUE</db><lx>true", "ENUM_TRUE</db><lx>false"), header, "boolean"


def main():
    dbc_path, header_path, locale_path = sys.argv[1:4]
    dbc = open(dbc_path, encoding="utf-8").read()
    header = open(header_path, encoding="utf-8").read()
    locale = open(locale_path, encoding="utf-8").read()
    errors = check(dbc, header, locale)
    for e in errors:
        print(e)
    assert not errors, f"{len(errors)} problems in {dbc_path}"
    for label, bad_dbc, bad_header, word in damaged(dbc, header):
        found = check(bad_dbc, bad_header, locale)
        assert any(word in e for e in found), f"damaged copy '{label}' passed: {found[:3]}"
    print(f"{len(catalogue_order())} records in catalogue order")


if __name__ == "__main__":
    main()
