#!/usr/bin/env python3
"""A profile document judged from the database it was written from and the lookup source alone.

    profile_document.py DUMP DOCUMENT GROUP FAMILY

DUMP is the database's text dump (CDatabase::Dump, db/db_cdatabase_dump.cpp: the window-0 datums of bins 1 to 5
with access, values and lists); DOCUMENT the profile document of GROUP ("profileall", "profileiaprinter",
"profilenoiaprinter" or a name the library does not know, written as "profileall") generated from that database
with one window in use; FAMILY the configured model directory.

The document must be, exactly:
- a root "profile" holding "header" then "database";
- a header holding, in order, "id" (the group, "-" and the 17 digits of the time), "driverversion" "01000000",
  "family" FAMILY, "group" GROUP, for the groups of every profile capability "readonly" and "hidden" ("true" or
  "false"), "profileid" (the same 17 digits) and "graphicfilename" (a file name, no directory);
- one "d" element per capability, in ascending id order, for each capability whose lookup record
  (db/sources/lookup.dbc) has a name and a group meeting the group's mask and which the dump shows supported:
  a capability with a machine datum whose access is not undefined or read-only holds one "m" (the window tags
  one "enum" of "v"), unless it is a shared value whose switch (adfunique, lowpowermodeunique) is not on; one
  without a machine datum holds one element per camera of window 0 whose access is not undefined or read-only
  ("fb00", "rb00", "fc00", "rc00", in that order; the barcode types an "enum" of "v" in each), and is left out
  when it has none;
- every value the dump's (a value the lookup source has no name for left out): an enumeration's value by its
  name in the lookup source (only names the capability
  has), a range's number, a string's text (the multifeed sound's file name alone); the colour dropouts take the
  scanner's own names, so only their first record, "(none)" for 0, is known here and other values are not judged.

Prints one line per disagreement; exit status 1 when there is any. Standard library only."""
import os
import re
import sys
import xml.etree.ElementTree as ElementTree

SOURCE_DIR = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "tools"))

from rulesmodel.names import ID, NAME  # noqa: E402

MASKS = {"profileall": 0x21FFFF, "profilenormalsave": 0x21FFFF, "profileiaprinter": 0x36,
         "profilenoiaprinter": 0x21FFC9}
CAMERAS = (("fb00", 2), ("rb00", 3), ("fc00", 4), ("rc00", 5))
NOT_WRITTEN = ("undefined", "readonly", "readonlyhidden")
# Shared values written into a profile only while their switch is "true" (2); the feeder time-out is always.
SHARED = {ID["POWEROFFTIMEOUT"]: ID["LOWPOWERMODEUNIQUE"], ID["POWEROFFTIMEOUTENABLED"]: ID["LOWPOWERMODEUNIQUE"],
          ID["ENERGYSTAR"]: ID["LOWPOWERMODEUNIQUE"], ID["ADFTIMEOUTENABLED"]: ID["ADFUNIQUE"],
          ID["TRANSPORTAUTOSTART"]: ID["ADFUNIQUE"], ID["TRANSPORTTIMEOUTRESPONSE"]: ID["ADFUNIQUE"]}
# Capabilities whose values are named by the scanner's own lists (record 0 of each is "(none)").
SCANNER_NAMED = {ID["ECDO"], ID["ECDOCUSTOM"]}


class AnyName(str):
    """A scanner-named value other than "(none)": any text in its place is taken."""
    def __eq__(self, other):
        return isinstance(other, str)

    __hash__ = str.__hash__


ANY_NAME = AnyName("<scanner's name>")
LINE = re.compile(r"^\s*(\d+) (\S+)\s+(?:undefined|(range|enum|string)\((\w+),\w+,\w+\): (.*)) \(([A-Z_,]*)\)$")


def lookup():
    """{id: (name, group bits, {value: value's name})} of the lookup source."""
    with open(os.path.join(SOURCE_DIR, "db", "sources", "lookup.dbc"), encoding="utf-8") as stream:
        root = ElementTree.fromstring(stream.read())
    records = {}
    for item in root.iter("item"):
        groups = 0
        for grp in item.iter("grp"):
            groups |= NAME.get((grp.text or "").strip(), 0)
        values = {}
        for en in item.iter("en"):
            children = list(en)
            for name, lexicon in zip(children[0::2], children[1::2]):
                values[NAME[name.text]] = lexicon.text or ""
        records[NAME[item.findtext("db/id")]] = (item.findtext("lx/id") or "", groups, values)
    return records


def dump(path):
    """{(id, bin): (access, kind, current, current list)} of a dump."""
    with open(path, encoding="utf-8", errors="surrogateescape", newline="") as stream:
        lines = stream.read().split("\r\n")
    datums, bin_, index = {}, 0, 0
    while index < len(lines):
        line = lines[index]
        index += 1
        if line.startswith("DB_BIN_"):
            bin_ = ["DB_BIN_MACHINE", "DB_BIN_BITONAL_FRONT", "DB_BIN_BITONAL_REAR", "DB_BIN_COLOR_FRONT",
                    "DB_BIN_COLOR_REAR"].index(line) + 1
            continue
        match = LINE.match(line)
        if not match:
            continue
        id_, kind, access, rest = int(match.group(1)), match.group(3), match.group(4) or "undefined", match.group(5)
        current, items = None, []
        if kind == "range":
            current = int(rest.split()[0])
        elif kind == "enum":
            current = int(rest.split()[0])
            count = int(lines[index].strip())
            items = [int(lines[index + 1 + n].strip()) for n in range(count)]
            index += 1 + count
            index += 1 + int(lines[index].strip())
        elif kind == "string":
            current = re.match(r"\d+ <(.*)> <.*>$", rest).group(1)
        datums[(id_, bin_)] = (access, kind, current, items)
    return datums


def value_text(id_, kind, current, values):
    """The text the document holds for a value, or None when the lookup has no name for it."""
    if kind == "enum":
        if id_ in SCANNER_NAMED:
            return "(none)" if current == 0 else ANY_NAME
        return values.get(current) or None
    if kind == "string":
        return current.replace("\\", "/").rsplit("/", 1)[-1] if id_ == ID["MULTIFEEDSOUND"] else current
    return str(current)


def expected(datums, records, mask):
    """[(name, [(element, text or [list texts])])] the document must hold, in order."""
    def usable(key):
        return key in datums and datums[key][0] not in NOT_WRITTEN

    wanted = []
    for id_ in range(1, 253):
        name, groups, values = records.get(id_, ("", 0, {}))
        if not name or not groups & mask or all(datums.get((id_, b), ("undefined",))[0] == "undefined"
                                                 for b in range(1, 6)):
            continue
        if (id_, 1) in datums:
            if not usable((id_, 1)):
                continue
            if id_ in SHARED and datums.get((SHARED[id_], 1), (None, None, 0))[2] != 2:
                continue
            access, kind, current, items = datums[(id_, 1)]
            if id_ == ID["WINDOWBIN"]:
                wanted.append((name, [("enum", [values[item] for item in items if values.get(item)])]))
            elif value_text(id_, kind, current, values) is not None:
                wanted.append((name, [("m", value_text(id_, kind, current, values))]))
            continue
        elements = []
        for tag, bin_ in CAMERAS:
            if usable((id_, bin_)):
                access, kind, current, items = datums[(id_, bin_)]
                text = [values[item] for item in items if values.get(item)] if id_ == ID["BARCODETYPE"] else \
                    value_text(id_, kind, current, values)
                if text is not None:
                    elements.append((tag, text))
        if elements:
            wanted.append((name, elements))
    return wanted


def found(database):
    """[(name, [(element, text or [list texts])])] a document's database part holds."""
    held = []
    for d in database:
        elements = []
        for element in d:
            enum = element if element.tag == "enum" else element.find("enum")
            if enum is not None:
                elements.append((element.tag, [v.text or "" for v in enum]))
            else:
                elements.append((element.tag, element.text or ""))
        held.append((d.get("i"), elements))
    return held


def judge(dump_path, document_path, group, family):
    faults = []
    with open(document_path, "rb") as stream:
        root = ElementTree.fromstring(stream.read())
    if root.tag != "profile" or [child.tag for child in root] != ["header", "database"]:
        return ["root %s with %s, not profile with header and database" % (root.tag, [c.tag for c in root])]
    header = [(child.tag, child.text or "") for child in root.find("header")]
    tags = ["id", "driverversion", "family", "group"] + (
        ["readonly", "hidden", "profileid", "graphicfilename"] if MASKS.get(group, 0x21FFFF) == 0x21FFFF
        else ["profileid"])
    if [tag for tag, _ in header] != tags:
        faults.append("header elements %s, not %s" % ([tag for tag, _ in header], tags))
    texts = dict(header)
    stamp = re.fullmatch(re.escape(group) + r"-(\d{17})", texts.get("id", ""))
    if not stamp or texts.get("profileid") != stamp.group(1):
        faults.append("header id %r and profileid %r" % (texts.get("id"), texts.get("profileid")))
    for tag, text in (("driverversion", "01000000"), ("family", family), ("group", group)):
        if texts.get(tag) != text:
            faults.append("header %s %r, not %r" % (tag, texts.get(tag), text))
    if "/" in texts.get("graphicfilename", "") or any(texts.get(t, "false") not in ("true", "false")
                                                     for t in ("readonly", "hidden")):
        faults.append("header flags or picture %r" % texts)
    records = lookup()
    wanted = expected(dump(dump_path), records, MASKS.get(group, 0x21FFFF))
    held = found(root.find("database"))
    if [name for name, _ in held] != [name for name, _ in wanted]:
        names, names_held = set(name for name, _ in wanted), set(name for name, _ in held)
        faults.append("capabilities differ: extra %s, missing %s (held in this order: %s)" % (
            sorted(names_held - names), sorted(names - names_held), [name for name, _ in held]))
    for (name, elements), (name_wanted, elements_wanted) in zip(held, wanted):
        if name == name_wanted and elements != elements_wanted:
            faults.append("%s holds %s, not %s" % (name, elements, elements_wanted))
    allowed = {record[0]: set(record[2].values()) for record in records.values()}
    for name, elements in held:
        for tag, text in elements:
            for value in (text if isinstance(text, list) else []):
                if value not in allowed.get(name, ()):
                    faults.append("%s %s holds %r, no name of its values" % (name, tag, value))
    return faults


def main(argv):
    if len(argv) != 5:
        sys.exit(__doc__)
    faults = judge(*argv[1:])
    for fault in faults:
        print(fault)
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main(sys.argv)
