#!/usr/bin/env python3
"""The source of the DATABASE resource (database.dbc), outside the compiler.

    database_source.py check DATABASE_DBC DB_DEF_H LOOKUP_DBC EXPECTED_TSV
    database_source.py text DATABASE_DBC DB_DEF_H

check: every record of the source equals its expected record (same order,
same capability, kind, consumers, bins, access, default, values, bounds,
texts), every name in the source is one the constants header defines, and
the header names the default profile with its locale texts. The expected
records keep the enumerated values by their names in task messages; the
lookup source turns them into value names. The check also runs on a few
damaged copies of the source, each of which it must reject. Exit status 0,
or 1 with the faults on standard error.

text: the DATABASE text the compiler makes of the source (counts, records
and bins in the resource's own form), on standard output, so that the
loader can be tested without the compiler.

Standard library only.
"""
import re
import sys
import xml.etree.ElementTree as ElementTree

KINDS = {"enum": "E", "range": "R", "string": "S"}
DATATYPES = {"E": "DB_DATATYPE_LONG", "R": "DB_DATATYPE_LONG", "S": "DB_DATATYPE_STRING"}
# Bins in the order the resource writes them, with their element names.
BINS = [("DB_BIN_MACHINE", "M"), ("DB_BIN_BITONAL_FRONT", "BF"), ("DB_BIN_BITONAL_REAR", "BR"),
        ("DB_BIN_COLOR_FRONT", "CF"), ("DB_BIN_COLOR_REAR", "CR")]
HEADER = {"id": "<![CDATA[Default]]>", "group": "profileall", "graphicfilename": "<![CDATA[default.png]]>"}
LOCALE_TEXTS = 21


class Fault(Exception):
    pass


def read_names(header_text):
    """The constants the compiler reads from the header: {name: value}."""
    names = {}
    for line in header_text.splitlines():
        m = re.fullmatch(r"\s*(DB_(?:ID|BIN|ACCESS|DATATYPE|DEVICEDATA)_\w+) = (0x[0-9A-Fa-f]+|-?\d+),.*", line)
        if m:
            names[m.group(1)] = int(m.group(2), 0)
    return names


def read_lookup(lookup_text):
    """{capability: {name in task messages: value name}} of the lookup source."""
    values = {}
    for item in ElementTree.fromstring(lookup_text).iter("item"):
        pairs = {}
        for en in item.iter("en"):
            children = list(en)
            for name, lexicon in zip(children[0::2], children[1::2]):
                pairs[lexicon.text or ""] = name.text
        values[item.find("db/id").text] = pairs
    return values


def read_expected(tsv_text):
    """[(kind, capability, id, consumers, [bin fields...])] in file order."""
    records = []
    for line in tsv_text.splitlines():
        if not line or line.startswith("#"):
            continue
        kind, capability, number, consumers, *bin_fields = line.split("\t")
        if records and records[-1][1] == capability:
            records[-1][4].append(bin_fields)
        else:
            records.append((kind, capability, int(number), int(consumers), [bin_fields]))
    return records


def parse_source(source_text):
    """The header's raw inner text and the records: [(kind, attributes, [(bin, {field: [texts]})])]."""
    m = re.search(r"<header>(.*?)</header>", source_text, re.S)
    header = m.group(1) if m else None
    root = ElementTree.fromstring(source_text)
    if root.tag != "db":
        raise Fault("root is <%s>, not <db>" % root.tag)
    records = []
    for element in root:
        if element.tag == "header":
            continue
        if element.tag not in KINDS:
            raise Fault("unrecognized container <%s>" % element.tag)
        bins = []
        for bin_element in element:
            if bin_element.tag != "bin":
                raise Fault("<%s> inside <%s id='%s'>" % (bin_element.tag, element.tag, element.get("id")))
            fields = {}
            for field in bin_element:
                fields.setdefault(field.tag, []).append(field.text or "")
            bins.append((bin_element.get("id"), fields))
        records.append((KINDS[element.tag], dict(element.attrib), bins))
    return header, records


def value(names, name, what):
    if name not in names:
        raise Fault("%s <%s> is not defined in the header" % (what, name))
    return names[name]


def one(fields, tag, capability):
    found = fields.get(tag, [])
    if len(found) != 1:
        raise Fault("%s: %d <%s> in a bin" % (capability, len(found), tag))
    return found[0]


def source_bin(kind, capability, fields, names):
    """A bin of the source as numbers: (access, default, values or bounds or (text, length))."""
    allowed = {"E": {"access", "default", "defaultenum", "currentenum"}, "R": {"access", "default", "min", "max", "step"},
               "S": {"access", "default", "maxstringsize"}}[kind]
    extra = set(fields) - allowed
    if extra:
        raise Fault("%s: unexpected %s" % (capability, sorted(extra)))
    access = value(names, one(fields, "access", capability), "access")
    if kind == "E":
        default = value(names, one(fields, "default", capability), "value")
        items = [value(names, n, "value") for n in fields.get("defaultenum", []) + fields.get("currentenum", [])]
        return access, default, items
    if kind == "R":
        return access, int(one(fields, "default", capability)), [int(one(fields, t, capability)) for t in ("min", "max", "step")]
    return access, one(fields, "default", capability), int(one(fields, "maxstringsize", capability))


def expected_bin(kind, capability, fields, lookup, names):
    bin_name, access, default, *rest = fields
    element = {"M": "DB_BIN_MACHINE", "BF": "DB_BIN_BITONAL_FRONT", "CF": "DB_BIN_COLOR_FRONT"}[bin_name]
    if kind == "E":
        pairs = lookup.get(capability, {})
        for lexicon in [default] + rest[0].split(","):
            if lexicon not in pairs:
                raise Fault("%s: no value named '%s' in the lookup source" % (capability, lexicon))
        return element, (int(access), names[pairs[default]], [names[pairs[v]] for v in rest[0].split(",")])
    if kind == "R":
        return element, (int(access), int(default), [int(v) for v in rest])
    return element, (int(access), default, int(rest[0]))


def check(source_text, names, lookup, expected):
    faults = []
    try:
        header, records = parse_source(source_text)
    except (Fault, ElementTree.ParseError) as error:
        return [str(error)]
    if header is None:
        faults.append("no <header>")
    else:
        for tag, text in HEADER.items():
            if "<%s>%s</%s>" % (tag, text, tag) not in header:
                faults.append("header without <%s>%s</%s>" % (tag, text, tag))
        locales = re.findall(r"<(l_[a-z]{2}_[a-z]{3})><!\[CDATA\[[^\]<]+\]\]></\1>", header)
        if len(set(locales)) != LOCALE_TEXTS:
            faults.append("header with %d locale texts, not %d" % (len(set(locales)), LOCALE_TEXTS))
    if len(records) != len(expected):
        faults.append("%d records, %d expected" % (len(records), len(expected)))
    for (kind, attributes, bins), (want_kind, capability, number, consumers, want_bins) in zip(records, expected):
        where = attributes.get("id")
        try:
            if where != capability:
                raise Fault("record <%s> stands where %s is expected" % (where, capability))
            if kind != want_kind:
                raise Fault("%s is %s, not %s" % (capability, kind, want_kind))
            if value(names, capability, "capability") != number:
                raise Fault("%s is %d in the header, %d expected" % (capability, names[capability], number))
            if attributes.get("type") != DATATYPES[kind]:
                raise Fault("%s has type %s" % (capability, attributes.get("type")))
            if value(names, attributes.get("device", "DB_DEVICEDATA_NONE"), "consumers") != consumers:
                raise Fault("%s: consumers %s, %d expected" % (capability, attributes.get("device"), consumers))
            got = [(b, source_bin(kind, capability, f, names)) for b, f in bins]
            for b, _ in got:
                value(names, b, "bin")
            want = [expected_bin(kind, capability, f, lookup, names) for f in want_bins]
            if got != want:
                raise Fault("%s: bins %r, expected %r" % (capability, got, want))
        except Fault as error:
            faults.append(str(error))
    return faults


# Damaged copies the check must reject: (what, old text, new text).
DAMAGE = [
    ("a changed default", "<default>DB_ID_ADDBORDER_ENUM_FALSE</default>", "<default>DB_ID_ADDBORDER_ENUM_TRUE</default>"),
    ("a lost value", "\t\t<defaultenum>DB_ID_XRESOLUTION_ENUM_1200</defaultenum>\n", ""),
    ("a changed access", "<access>DB_ACCESS_READWRITEDISABLED</access>", "<access>DB_ACCESS_READWRITE</access>"),
    ("a changed step", "<step>1024</step>", "<step>1</step>"),
    ("a negative bound made positive", "<min>-3600000</min>", "<min>3600000</min>"),
    ("an unknown value name", "DB_ID_UNITS_ENUM_PIXELS", "DB_ID_UNITS_ENUM_POINTS"),
    ("a changed text", "<default>ding.wav</default>", "<default>ding.mp3</default>"),
    ("a changed length", "<maxstringsize>8</maxstringsize>", "<maxstringsize>9</maxstringsize>"),
    ("changed consumers", "<enum id='DB_ID_ADFUNIQUE' type='DB_DATATYPE_LONG' device='DB_DEVICEDATA_NONE'>",
     "<enum id='DB_ID_ADFUNIQUE' type='DB_DATATYPE_LONG' device='DB_DEVICEDATA_ALL'>"),
    ("a missing bin", "<range id='DB_ID_CONTRAST' type='DB_DATATYPE_LONG' device='DB_DEVICEDATA_ALL'>\n"
     "\t<bin id='DB_BIN_BITONAL_FRONT'>", "<range id='DB_ID_CONTRAST' type='DB_DATATYPE_LONG' device='DB_DEVICEDATA_ALL'>\n"
     "\t<bin id='DB_BIN_BITONAL_REAR'>"),
    ("a lost locale text", "\t<l_sv_swe>", "\t<x_sv_swe>"),
]


def run_check(argv):
    source_path, header_path, lookup_path, expected_path = argv
    source_text = open(source_path, encoding="utf-8").read()
    names = read_names(open(header_path, encoding="utf-8").read())
    lookup = read_lookup(open(lookup_path, encoding="utf-8").read())
    expected = read_expected(open(expected_path, encoding="utf-8").read())
    faults = check(source_text, names, lookup, expected)
    for what, old, new in DAMAGE:
        if old not in source_text:
            faults.append("damage '%s' finds nothing to change" % what)
        elif not check(source_text.replace(old, new, 1), names, lookup, expected):
            faults.append("a copy with %s passes the check" % what)
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


def hex32(number):
    return "%x" % (number & 0xFFFFFFFF)


def run_text(argv):
    source_path, header_path = argv
    source_text = open(source_path, encoding="utf-8").read()
    names = read_names(open(header_path, encoding="utf-8").read())
    header, records = parse_source(source_text)
    body, enums = [], 0
    for kind, attributes, bins in records:
        body.append("<%s><a>%s</a><b>%s</b><c>%s</c>" % (
            kind, hex32(value(names, attributes["id"], "capability")),
            hex32(value(names, attributes["type"], "data type")),
            hex32(value(names, attributes.get("device", "DB_DEVICEDATA_NONE"), "consumers"))))
        by_bin = {b: source_bin(kind, attributes["id"], f, names) for b, f in bins}
        for bin_name, element in BINS:
            if bin_name not in by_bin or by_bin[bin_name][0] == 0:
                continue
            access, default, rest = by_bin[bin_name]
            body.append("<%s><d>%s</d>" % (element, hex32(access)))
            if kind == "E":
                body.append("<e>%s</e>" % hex32(default) + "".join("<f>%s</f>" % hex32(v) for v in rest))
                enums += len(rest)
            elif kind == "R":
                body.append("<e>%s</e><f>%s</f><g>%s</g><h>%s</h>" % tuple(hex32(v) for v in [default] + rest))
            else:
                body.append("<e>%s</e><f><![CDATA[%s]]></f>" % (hex32(rest), default))
            body.append("</%s>" % element)
        body.append("</%s>" % kind)
    text = "<db bytes='@1' records='%06x' enums='%06x'><H>%s</H>%s</db>" % (
        (len(records) - 1) & 0xFFFFFF, (enums - 1) & 0xFFFFFF, header or "", "".join(body))
    data = text.encode("utf-8")
    data = data.replace(b"@1", b"%06x" % (len(data) + 4), 1)
    sys.stdout.buffer.write(data)
    return 0


def main(argv):
    commands = {"check": (run_check, 4), "text": (run_text, 2)}
    if len(argv) < 2 or argv[1] not in commands or len(argv) - 2 != commands[argv[1]][1]:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        return commands[argv[1]][0](argv[2:])
    except (Fault, ElementTree.ParseError, OSError) as error:
        print(error, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
