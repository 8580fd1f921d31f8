#!/usr/bin/env python3
"""The get command's replies on a freshly opened scanner, judged from the sources alone.

    get_reports_oracle.py reports SOURCE_DIR INQUIRY_REPLY REPLY_DIR
    get_reports_oracle.py idlist SOURCE_DIR INQUIRY_REPLY

The database after the opening is read as the default fix-up test reads it
(tests/tools/fixdefaults_dump.py): the expected default records, with the
camera bins and the physical height the scanner's inquiry reply gives.
Every value is its default and every list its default list.

reports: REPLY_DIR holds one file per get, named "<bin>-<id>.xml": the
camera bin (2 to 5) of the window-bin that was current, and the id asked
for. Each reply must be the whole task with the right byte count, and:

- an id without a supported capability (in the machine bin, else in that
  camera bin): "fail" alone;
- access 2 (hidden): "fail" alone; access 1: "notavailable", else
  "success", then the report pair;
- the pair: "report<kind>" and "report<kind>default" ("enum", "range",
  "string"), each with id, windowtag (camera bins: "frontbitonal_00",
  "rearbitonal_00", "frontcolor_00", "rearcolor_00"), readonly ("false" for
  access 4 to 6), valuecurrent (the default: a value's name, a number or a
  text), context ("$configuration", "$bitonal", "$color"), for the current
  report one validcontext per context the capability has a supported bin
  in; then the list (value and English label of each entry), the range, or
  the string's maximum length.

Prints one line per disagreement; exit status 1 when there is any.

idlist: the names of the supported capabilities, one a line, in id order.

Standard library only.
"""
import os
import sys
import xml.etree.ElementTree as ElementTree

SOURCE_FILES = ["tests/data/db/database_expected.tsv", "db/sources/lookup.dbc", "db/db_def.h",
                "db/catalogue/db_catalogue_rows.h"]
RECORD_BINS = {"M": [1], "BF": [2, 3], "CF": [4, 5]}
KIND_REPORT = {"E": "reportenum", "R": "reportrange", "S": "reportstring"}
WINDOW_TAG = {2: "frontbitonal_00", 3: "rearbitonal_00", 4: "frontcolor_00", 5: "rearcolor_00"}
CONTEXT = {1: "$configuration", 2: "$bitonal", 3: "$bitonal", 4: "$color", 5: "$color"}


def load_tools(source_dir):
    sys.path.insert(0, os.path.join(source_dir, "tests", "tools"))
    import fixdefaults_dump  # noqa: E402
    return fixdefaults_dump


def lexicons(lookup_text):
    """{capability: its name in task messages} of the lookup source."""
    names = {}
    for item in ElementTree.fromstring(lookup_text).iter("item"):
        names[item.findtext("db/id")] = item.findtext("lx/id") or ""
    return names


def labels(labels_text):
    """{tag: English text} as the compiler turns the escapes."""
    texts = {}
    for item in ElementTree.fromstring(labels_text).iter("item"):
        text = item.findtext("en_usa") or ""
        texts[item.findtext("label")] = text.replace("@n", "\n").replace("@r", "\r").replace("@t", "\t")
    return texts


def database(source_dir, inquiry_path):
    """{(bin, capability): (kind, access, default, rest)} of the supported datums, and the lexicons."""
    tools = load_tools(source_dir)
    paths = [os.path.join(source_dir, name) for name in SOURCE_FILES]
    expected, _, _, _ = tools.read_sources(paths)
    replies = tools.read_replies(["adf=" + inquiry_path])
    kept = tools.kept_bins(replies)
    datums = {}
    for kind, capability, _, _, bins in tools.fixed_expected(expected, replies):
        for fields in bins:
            access, default, *rest = fields[1:]
            for bin_number in RECORD_BINS[fields[0]]:
                if bin_number in kept and int(access) != 0:
                    datums[(bin_number, capability)] = (kind, int(access), default, rest)
    with open(paths[1], encoding="utf-8") as source:
        names = lexicons(source.read())
    return datums, names


def unique(values):
    seen = []
    for value in values:
        if value not in seen:
            seen.append(value)
    return seen


def expected_pair(capability, bin_number, selected, datum, datums, name, texts):
    """The two reports as (element, [(child, text or [children])])."""
    kind, access, default, rest = datum
    reports = []
    for is_default in (False, True):
        children = [("id", name)]
        if bin_number != 1:
            children.append(("windowtag", WINDOW_TAG[bin_number]))
        children.append(("readonly", "false" if access in (4, 5, 6) else "true"))
        # The window tag is the current window-bin, which the test chose.
        current = WINDOW_TAG[selected] if capability == "DB_ID_WINDOWBIN" and not is_default else default
        children.append(("valuecurrent", current))
        children.append(("context", CONTEXT[bin_number]))
        if not is_default:
            if bin_number == 1:
                children.append(("validcontext", "$configuration"))
            for context, bins in (("$bitonal", (2, 3)), ("$color", (4, 5))):
                if any((b, capability) in datums for b in bins):
                    children.append(("validcontext", context))
        if kind == "E":
            entries = []
            for value in unique(rest[0].split(",")):
                entries += [("value", value), ("text", texts.get("enum_%s_%s" % (name, value), ""))]
            children.append(("enum", entries))
        elif kind == "R":
            children.append(("range", [("rangemin", rest[0]), ("rangemax", rest[1]), ("rangestep", rest[2])]))
        else:
            children.append(("stringmaxlength", rest[0]))
        reports.append((KIND_REPORT[kind] + ("default" if is_default else ""), children))
    return reports


def shape(element):
    return [(child.tag, shape(child) if len(child) else (child.text or "")) for child in element]


def judge(path, bin_number, identifier, datums, names, texts):
    data = open(path, "rb").read()
    faults = []
    if int(data[68:88]) != len(data):
        faults.append("bytes says %s, the reply has %d" % (data[68:88].decode(), len(data)))
    task = ElementTree.fromstring(data)
    status = task.findtext("reportstatus/status")
    reports = [(element.tag, shape(element)) for element in task if element.tag != "reportstatus"]
    capability = next((c for c, n in names.items() if n == identifier and identifier), None)
    datum_bin = next((b for b in (1, bin_number) if (b, capability) in datums), None)
    if datum_bin is None or datums[(datum_bin, capability)][1] == 2:
        want_status, want_reports = "fail", []
    else:
        datum = datums[(datum_bin, capability)]
        want_status = "notavailable" if datum[1] == 1 else "success"
        want_reports = expected_pair(capability, datum_bin, bin_number, datum, datums, identifier, texts)
    if status != want_status:
        faults.append("status %s, expected %s" % (status, want_status))
    if reports != want_reports:
        faults.append("reports\n    %s\n  expected\n    %s" % (reports, want_reports))
    return ["%s: %s" % (os.path.basename(path), fault) for fault in faults]


def main(argv):
    if len(argv) < 4 or argv[1] not in ("reports", "idlist"):
        sys.exit(__doc__)
    source_dir, inquiry = argv[2], argv[3]
    datums, names = database(source_dir, inquiry)
    if argv[1] == "idlist":
        import database_source  # noqa: E402 (found through load_tools' path)
        supported = {capability for (_, capability) in datums}
        with open(os.path.join(source_dir, "db/db_def.h"), encoding="utf-8") as header:
            numbers = database_source.read_names(header.read())
        for capability in sorted(supported, key=lambda c: numbers[c]):
            if names.get(capability) and 1 <= numbers[capability] <= 252:
                print(names[capability])
        return 0
    with open(os.path.join(source_dir, "db/sources/labels.dbc"), encoding="utf-8") as source:
        texts = labels(source.read())
    faults = []
    files = sorted(os.listdir(argv[4]))
    for name in files:
        bin_text, identifier = name[:-len(".xml")].split("-", 1)
        faults += judge(os.path.join(argv[4], name), int(bin_text), identifier, datums, names, texts)
    for fault in faults:
        print(fault)
    print("%d replies judged" % len(files))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
