#!/usr/bin/env python3
"""What applying a profile document leaves in window 0, judged apart from the library: the snapping and discard
rules fed with the document and the database's Dump (db/db_cdatabase_dump.cpp) taken before the apply.

    profile_apply_model.py DUMP DOCUMENT

Prints one line per value element of window 0 ("m", "fb00", "rb00", "fc00", "rc00") of a capability the Dump
holds, in document order: "ID BIN VALUE" for a number or an offered enumeration value (a range's number
snapped into its current minimum and maximum, off the grid as it stands), "ID BIN default" for an enumeration
value the current list does not offer (the value in force stays: the default after the reset). Lexicons and
value names come from the lookup source (db/sources/lookup.dbc) and db/db_def.h."""
import os
import re
import sys
import xml.etree.ElementTree as ElementTree

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
BINS = {"DB_BIN_MACHINE": 1, "DB_BIN_BITONAL_FRONT": 2, "DB_BIN_BITONAL_REAR": 3, "DB_BIN_COLOR_FRONT": 4,
        "DB_BIN_COLOR_REAR": 5}
ELEMENTS = {"m": 1, "fb00": 2, "rb00": 3, "fc00": 4, "rc00": 5}


def constants():
    names = {}
    with open(os.path.join(ROOT, "db", "db_def.h"), encoding="utf-8") as stream:
        for line in stream:
            match = re.match(r"\s*([A-Z][A-Z0-9_]*) = (-?(?:0x[0-9a-fA-F]+|\d+))[,;]?", line)
            if match:
                names[match.group(1)] = int(match.group(2), 0)
    return names


def lexicons(names):
    """{lexicon: (id, {value name: value})} of the lookup source."""
    table = {}
    root = ElementTree.parse(os.path.join(ROOT, "db", "sources", "lookup.dbc")).getroot()
    for item in root.iter("item"):
        db_id, lexicon = item.findtext("db/id"), item.findtext("lx/id")
        if not db_id or not lexicon or db_id not in names:
            continue
        values = {}
        enums = item.find("en")
        if enums is not None:
            children = list(enums)
            for db_name, lx in zip(children[::2], children[1::2]):
                if db_name.text in names and lx.text:
                    values[lx.text] = names[db_name.text]
        table[lexicon] = (names[db_id], values)
    return table


def read_dump(path):
    """{(id, bin): ("range", min, max) | ("enum", current items)} of the Dump."""
    datums, bin_ = {}, 0
    with open(path, encoding="utf-8", errors="surrogateescape") as stream:
        lines = [line.rstrip("\r\n") for line in stream]
    index = 0
    while index < len(lines):
        line = lines[index]
        index += 1
        if line.strip() in BINS:
            bin_ = BINS[line.strip()]
            continue
        match = re.match(r"\s*(\d+) \S+\s+(range|enum)\([^)]*\): (.*)", line)
        if not match:
            continue
        id_, kind, numbers = int(match.group(1)), match.group(2), match.group(3).split()
        if kind == "range":
            datums[(id_, bin_)] = ("range", int(numbers[1]), int(numbers[2]))
            continue
        count = int(lines[index].strip())
        items = [int(text.strip()) for text in lines[index + 1:index + 1 + count]]
        index += 1 + count
        index += 1 + int(lines[index].strip())
        datums[(id_, bin_)] = ("enum", items)
    return datums


def expected(dump, document):
    table, datums = lexicons(constants()), read_dump(dump)
    out = []
    for d in ElementTree.parse(document).getroot().iter("d"):
        if d.get("i") not in table:
            continue
        id_, values = table[d.get("i")]
        for element in d:
            bin_ = ELEMENTS.get(element.tag)
            datum = datums.get((id_, bin_))
            if datum is None:
                continue
            text = (element.text or "").strip()
            if datum[0] == "range":
                out.append("%d %d %d" % (id_, bin_, max(min(int(text), datum[2]), datum[1])))
            else:
                value = values.get(text)
                out.append("%d %d %s" % (id_, bin_, value if value in datum[1] else "default"))
    return out


if __name__ == "__main__":
    print("\n".join(expected(sys.argv[1], sys.argv[2])))
