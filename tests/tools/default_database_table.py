#!/usr/bin/env python3
"""Turns the Markdown table of the default database into the expected records.

Run once by hand when the table changes:

    default_database_table.py TABLE.md > tests/data/db/database_expected.tsv

Every table row of the form

    | E | `DB_ID_ADDBORDER` (2) | 64 | BF, CF: 4; false; true, false |

(kind, capability and id, consumers, then one group per set of bins, groups
separated by " / ", each "bins: access; default; values") becomes one line per
bin. Enumerations keep the value names of the table (their names in task
messages); ranges give minimum, maximum and step; strings their text and
maximum length. Only the Python standard library is used.
"""
import re
import sys

ROW = re.compile(r"^\| ([ERS]) \| `(DB_ID_[A-Z0-9_]+)` \((\d+)\) \| (\d+) \| (.+) \|\s*$")
RANGE = re.compile(r"^(-?\d+) to (-?\d+), step (-?\d+)$")
LENGTH = re.compile(r"^length (\d+)$")


def bins_of(kind, cell):
    for group in cell.split(" / "):
        names, rest = group.split(": ", 1)
        fields = [field.strip() for field in rest.split("; ")]
        if len(fields) != 3:
            raise ValueError("bad group: " + group)
        access, default, values = fields
        if kind == "E":
            tail = [default, ",".join(value.strip() for value in values.split(","))]
        elif kind == "R":
            match = RANGE.match(values)
            if not match:
                raise ValueError("bad range: " + values)
            tail = [str(int(default))] + list(match.groups())
        else:
            match = LENGTH.match(values)
            if not match:
                raise ValueError("bad length: " + values)
            text = "" if default == "empty" else default.strip('"')
            tail = [text, match.group(1)]
        for name in names.split(", "):
            yield [name.strip(), str(int(access))] + tail


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: default_database_table.py TABLE.md")
    lines = ["# kind\tcapability\tid\tconsumers\tbin\taccess\tdefault\t"
             "E: values | R: min, max, step | S: text, length"]
    count = 0
    with open(sys.argv[1], encoding="utf-8") as table:
        for line in table:
            match = ROW.match(line)
            if not match:
                continue
            kind, name, number, consumers, cell = match.groups()
            count += 1
            for fields in bins_of(kind, cell):
                lines.append("\t".join([kind, name, number, consumers] + fields))
    if count == 0:
        sys.exit("no records found")
    sys.stdout.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
