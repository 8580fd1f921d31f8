#!/usr/bin/env python3
"""Writes the text dump a freshly loaded database makes of its window-0 values.

Run once by hand when the default database, the lookup or the catalogue
changes:

    database_dump.py EXPECTED_TSV LOOKUP_DBC DB_DEF_H CATALOGUE_ROWS_H \\
        > tests/data/db/database_dump_expected.txt

The values come from the expected default records (database_expected.tsv);
every other capability of the catalogue is in the dump as unsupported. A
record of a front camera sets the rear camera of the same kind as well. The
lines are the dump's printf formats with CR LF ends:

- unsupported: "%4d %-32s undefined (%s)"
- range: "%4d %-32s range(%s,%s,%s): %ld %ld %ld %ld, %ld %ld %ld %ld (%s)"
  (current and default alike: value, minimum, maximum, step);
- enumeration: "%4d %-32s enum(%s,%s,%s): %ld %ld (%s)", then the count and
  the items of the current list and of the default list, both the record's
  values without repeats ("\\t%ld", "\\t  %ld");
- string: "%4d %-32s string(%s,%s,%s): %ld <%s> <%s> (%s)".

Loading sets the access of each datum directly and builds the lists of an
enumeration by emptying and refilling the current list, so the only pending
notification after a load is the constraint of every enumeration.

Standard library only.
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from database_source import read_expected, read_lookup, read_names  # noqa: E402

BINS = ["DB_BIN_MACHINE", "DB_BIN_BITONAL_FRONT", "DB_BIN_BITONAL_REAR", "DB_BIN_COLOR_FRONT", "DB_BIN_COLOR_REAR"]
# The bins (1..5) a record's bin sets.
RECORD_BINS = {"M": [1], "BF": [2, 3], "CF": [4, 5]}
LEVEL_BINS = {"MACHINE": [1], "CAMERA": [2, 3, 4, 5], "WINDOW": [2, 3, 4, 5]}
ACCESS = ["undefined", "disabled", "hidden", "readonly", "readwrite", "readwritedisabled", "readwritehidden",
          "readonlyhidden"]
DEVICE_DATA = {1: "fwadf", 2: "fwflatbed", 4: "fwadfflatbed", 8: "nexil", 64: "fwadfflatbednexil"}
DATA_TYPE = {"E": "long", "R": "long", "S": "string"}


def read_catalogue(rows_text):
    """[(capability, level)] in catalogue order."""
    return re.findall(r"X\((\w+), CDb\w+, (MACHINE|CAMERA|WINDOW), (?:OWN|UNIT|NONE)\)", rows_text)


def datum_lines(kind, number, capability, consumers, fields, lookup, names):
    name = capability[len("DB_ID_"):]
    access, default, *rest = fields
    head = "%4d %-32s" % (number, name)
    what = "%s,%s,%s" % (ACCESS[int(access)], DATA_TYPE[kind], DEVICE_DATA.get(consumers, "unknown"))
    if kind == "R":
        bounds = " ".join(rest)
        return ["%s range(%s): %s %s, %s %s ()" % (head, what, default, bounds, default, bounds)]
    if kind == "S":
        return ["%s string(%s): %s <%s> <%s> ()" % (head, what, rest[0], default, default)]
    pairs = lookup[capability]
    items = []
    for lexicon in rest[0].split(","):
        item = names[pairs[lexicon]]
        if item not in items:
            items.append(item)
    value = names[pairs[default]]
    lines = ["%s enum(%s): %d %d (DB_NOTIFY_CONSTRAINT)" % (head, what, value, value)]
    for _ in range(2):
        lines.append("\t%d" % len(items))
        lines.extend("\t  %d" % item for item in items)
    return lines


def read_sources(paths):
    """The expected records, lookup, names and catalogue of the four paths."""
    texts = []
    for path in paths:
        with open(path, encoding="utf-8") as source:
            texts.append(source.read())
    return read_expected(texts[0]), read_lookup(texts[1]), read_names(texts[2]), read_catalogue(texts[3])


def build(expected, lookup, names, catalogue):
    """({(bin 1..5, id): lines} of the loaded datums, {(bin, id): capability} of the catalogue)."""
    loaded = {}
    for kind, capability, number, consumers, bins in expected:
        for fields in bins:
            for bin_number in RECORD_BINS[fields[0]]:
                loaded[(bin_number, number)] = datum_lines(kind, number, capability, consumers, fields[1:], lookup,
                                                           names)
    present = {}
    for capability, level in catalogue:
        for bin_number in LEVEL_BINS[level]:
            present[(bin_number, names["DB_ID_" + capability])] = capability
    if not set(loaded) <= set(present):
        sys.exit("records for datums the catalogue lacks: %s" % sorted(set(loaded) - set(present)))
    return loaded, present


def undefined_line(number, capability):
    return "%4d %-32s undefined ()" % (number, capability)


def render(loaded, present):
    """The dump's text, CR LF lines."""
    out = []
    for bin_number, bin_name in enumerate(BINS, start=1):
        out.append("\r\n%s\r\n" % bin_name)
        for number in range(1, 253):
            key = (bin_number, number)
            if key not in present:
                continue
            lines = loaded.get(key, [undefined_line(number, present[key])])
            out.extend(line + "\r\n" for line in lines)
    return "".join(out)


def main(argv):
    if len(argv) != 5:
        sys.exit("usage: database_dump.py EXPECTED_TSV LOOKUP_DBC DB_DEF_H CATALOGUE_ROWS_H")
    loaded, present = build(*read_sources(argv[1:]))
    sys.stdout.buffer.write(render(loaded, present).encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
