#!/usr/bin/env python3
"""The get command's replies on a freshly opened scanner, judged by the rules model and the sources.

    get_reports_oracle.py reports STATE CONFIG LOOKUP REPLY_DIR
    get_reports_oracle.py idlist STATE CONFIG LOOKUP
    get_reports_oracle.py gui STATE CONFIG LOOKUP REPLY NAME...

STATE, CONFIG and LOOKUP are the listings of the database once its resources and the scanner's replies are
loaded (tests/tools/rulesprobe/rules_listing.h), before the default fix-up; the rules model
(tests/tools/rulesmodel) runs the fix-up on them, as the default fix-up test reads it. The names in task
messages and the English labels come from the sources (db/sources/lookup.dbc, labels.dbc).

reports: REPLY_DIR holds one file per get, named "<bin>-<id>.xml": the camera bin (2 to 5) of the window-bin
of window 0 that was current, and the id asked for. Each reply must be the whole task with the right byte
count, and the capability the database finds (the machine's, else that camera's):

- none, or one of access 2 (hidden): "fail" alone; access 1: "notavailable", else "success", then the pair;
- the pair: "report<kind>" and "report<kind>default" ("enum", "range", "string"), each with id, windowtag
  (camera bins: "frontbitonal_00", "rearbitonal_00", "frontcolor_00", "rearcolor_00"), readonly ("false" for
  access 4 to 6), valuecurrent (current or default: a value's name, a number or a text), context
  ("$configuration", "$bitonal", "$color"), for the current report one validcontext per context the
  capability has an accessible bin in; then the current or default list (value and English label of each
  entry), range, or the string's maximum length.

Prints one line per disagreement and the count of replies judged; exit status 1 when there is any.

idlist: the names of the supported capabilities, one a line, in id order.

gui: REPLY is a settings GUI's full report (its "get") after it registered the NAMEs; each capability the
database finds for the current camera (the machine's, else that camera's) must be reported: its container in
"reportenum" (each item of its list with its English label; a selection list its default items), "reportrange"
(current bounds; FRAMEHEIGHT's maximum is PHYSICALHEIGHTADJUST's value) or "reportstring" (maximum length), in id
order; its value in the one "reportvalues" (a list item's name and label, a selection list's items in "enum", a
range's number with the label of "<DB_ID name>_RANGE_<value>" or the number, a string twice); its access word in
"reportaccesses"; and for AUTOCOLORCONTENT and BACKGROUND the value of each camera bin that has them. Values
the scanner reports itself (FROM_SCANNER) are not judged.

Standard library only.
"""
import os
import sys
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True
SOURCE_DIR = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "tools"))

from rulesmodel import listing, rules  # noqa: E402
from rulesmodel.colourlists import REPOINTED  # noqa: E402
from rulesmodel.names import ID, MACHINE, NAME  # noqa: E402

KIND_REPORT = {"E": "reportenum", "R": "reportrange", "S": "reportstring"}
WINDOW_TAG = {2: "frontbitonal_00", 3: "rearbitonal_00", 4: "frontcolor_00", 5: "rearcolor_00"}
CONTEXT = {1: "$configuration", 2: "$bitonal", 3: "$bitonal", 4: "$color", 5: "$color"}


def read(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as stream:
        return stream.read()


def lexicons():
    """{id: (name in task messages, {value: value's name})} of the lookup source."""
    records = {}
    for item in ElementTree.fromstring(read(os.path.join(SOURCE_DIR, "db/sources/lookup.dbc"))).iter("item"):
        values = {}
        for en in item.iter("en"):
            children = list(en)
            for name, lexicon in zip(children[0::2], children[1::2]):
                values[NAME[name.text]] = lexicon.text or ""
        records[NAME[item.findtext("db/id")]] = (item.findtext("lx/id") or "", values)
    return records


def labels():
    """{tag: English text} as the compiler turns the escapes."""
    texts = {}
    for item in ElementTree.fromstring(read(os.path.join(SOURCE_DIR, "db/sources/labels.dbc"))).iter("item"):
        text = item.findtext("en_usa") or ""
        texts[item.findtext("label")] = text.replace("@n", "\n").replace("@r", "\r").replace("@t", "\t")
    return texts


def opened(state, config, lookup):
    """The model's database after the default fix-up."""
    db = listing.load(read(state), read(config), read(lookup), rules.load_themes())
    db.fix_default_all()
    return db


def supported(db, id_):
    """CDatabase::IsIdSupported over some bins: a window-0 datum with access."""
    return lambda bins: any(db.accessible(db.slot(0, id_, bin_)) for bin_ in bins)


def expected_pair(db, datum, name, values, texts):
    """The two reports as (element, [(child, text or [children])])."""
    kind = db.container(datum)
    access = db.access(datum)
    reports = []
    for is_default in (False, True):
        children = [("id", name)]
        if datum.bin != MACHINE:
            children.append(("windowtag", WINDOW_TAG[datum.bin]))
        children.append(("readonly", "false" if access in (4, 5, 6) else "true"))
        value = datum.dflt if is_default else datum.cur
        text = datum.sdef if is_default else datum.scur
        children.append(("valuecurrent", values.get(value) if kind == "E" else text if kind == "S" else str(value)))
        children.append(("context", CONTEXT[datum.bin]))
        if not is_default:
            has = supported(db, datum.id)
            for context, bins in (("$configuration", (MACHINE,)), ("$bitonal", (2, 3)), ("$color", (4, 5))):
                if (datum.bin == MACHINE or context != "$configuration") and has(bins):
                    children.append(("validcontext", context))
        if kind == "E":
            entries = []
            for item in datum.def_items if is_default else datum.cur_items:
                label = texts.get("enum_%s_%s" % (name, values.get(item)), "")
                entries += [("value", values.get(item)), ("text", label)]
            children.append(("enum", entries))
        elif kind == "R":
            bounds = (datum.dmin, datum.dmax, datum.dstep) if is_default else (datum.min, datum.max, datum.step)
            tags = ("rangemin", "rangemax", "rangestep")
            children.append(("range", [(tag, str(bound)) for tag, bound in zip(tags, bounds)]))
        else:
            children.append(("stringmaxlength", str(datum.maxlen)))
        reports.append((KIND_REPORT[kind] + ("default" if is_default else ""), children))
    return reports


def repointed(db, id_, name, values, texts):
    """The names and labels of a list the scanner names (colour dropouts, colour tables): the lookup's entries
    as the model's rules pointed them at the list's records; other ids keep the sources'."""
    if id_ not in REPOINTED or id_ not in db.colour.texts:
        return values, texts
    entries = [(value, db.colour.text(lexicon), db.colour.text(label))
               for value, lexicon, label in db.colour.texts[id_]]
    values = {**values, **{value: lexicon for value, lexicon, _ in entries}}
    return values, {**texts, **{"enum_%s_%s" % (name, lexicon): label for _, lexicon, label in entries}}


def shape(element):
    return [(child.tag, shape(child) if len(child) else (child.text or "")) for child in element]


def judge(path, db, records, texts):
    name = os.path.basename(path)[:-len(".xml")]
    bin_text, identifier = name.split("-", 1)
    # The window-bin the test made current: window 0, that camera.
    db.slot(0, ID["WINDOWBIN"], MACHINE).cur = int(bin_text) - 2
    data = open(path, "rb").read()
    faults = []
    if int(data[68:88]) != len(data):
        faults.append("bytes says %s, the reply has %d" % (data[68:88].decode(), len(data)))
    task = ElementTree.fromstring(data)
    status = task.findtext("reportstatus/status")
    reports = [(element.tag, shape(element)) for element in task if element.tag != "reportstatus"]
    id_ = next((i for i, (lexicon, _) in records.items() if lexicon == identifier and identifier), None)
    datum = db.find_current(id_) if id_ else None
    if datum is None or db.access(datum) == 2:
        want_status, want_reports = "fail", []
    else:
        want_status = "notavailable" if db.access(datum) == 1 else "success"
        values, texts = repointed(db, id_, identifier, records[id_][1], texts)
        want_reports = expected_pair(db, datum, identifier, values, texts)
    if status != want_status:
        faults.append("status %s, expected %s" % (status, want_status))
    if reports != want_reports:
        faults.append("reports\n    %s\n  expected\n    %s" % (reports, want_reports))
    return ["%s: %s" % (os.path.basename(path), fault) for fault in faults]


# -- a settings GUI's full report ------------------------------------------------------------------------------
ACCESS_WORD = {0: "undefined", 1: "disabled", 2: "hidden", 3: "readonly", 4: "readwrite", 5: "disabled",
               6: "hidden", 7: "hidden"}
CAMERAS = {2: ("front", "bitonal"), 3: ("rear", "bitonal"), 4: ("front", "color"), 5: ("rear", "color")}
ALL_CAMERA = ("AUTOCOLORCONTENT", "BACKGROUND")
FROM_SCANNER = {"deviceonline", "meterfirstscan", "serialnumber", "timedate", "timedateutc"}


def identifiers():
    """{id: identifier name ("DB_ID_...")} of the lookup source."""
    root = ElementTree.fromstring(read(os.path.join(SOURCE_DIR, "db/sources/lookup.dbc")))
    return {NAME[item.findtext("db/id")]: item.findtext("db/id") for item in root.iter("item")}


def gui_value(db, datum, name, values, texts, identifier, selection):
    """The children of a capability in "reportvalues"."""
    kind = db.container(datum)
    if kind == "E" and selection:
        return [("id", name), ("enum", [("value", values.get(item)) for item in datum.cur_items])]
    if kind == "E":
        value = values.get(datum.cur)
        return [("id", name), ("value", value), ("text", texts.get("enum_%s_%s" % (name, value), ""))]
    if kind == "R":
        return [("id", name), ("value", str(datum.cur)),
                ("text", texts.get("%s_RANGE_%d" % (identifier, datum.cur), str(datum.cur)))]
    return [("id", name), ("value", datum.scur), ("text", datum.scur)]


def gui_container(db, datum, name, values, texts, selection):
    kind = db.container(datum)
    if kind == "E":
        children = [("id", name)]
        for item in datum.def_items if selection else datum.cur_items:
            value = values.get(item, "???")
            children += [("value", value), ("text", texts.get("enum_%s_%s" % (name, value), ""))]
        return ("reportenum", children)
    if kind == "R":
        high = datum.max
        if datum.id == ID["FRAMEHEIGHT"]:
            high = db.find_current(ID["PHYSICALHEIGHTADJUST"]).cur
        return ("reportrange", [("id", name), ("rangemin", str(datum.min)), ("rangemax", str(high)),
                                ("rangestep", str(datum.step))])
    return ("reportstring", [("id", name), ("stringmaxlength", str(datum.maxlen))])


def judge_gui(text, db, records, texts, names):
    """The faults of a GUI's full report, one line each."""
    task = ElementTree.fromstring(text)
    got_values = {}
    element = task.find("reportvalues")
    current = None
    for child in element if element is not None else []:
        if child.tag == "id":
            current = child.text
            got_values[current] = []
        got_values[current].append((child.tag, shape(child) if len(child) else (child.text or "")))
    got_containers = [(e.tag, shape(e)) for e in task if e.tag in ("reportenum", "reportrange", "reportstring")]
    accesses = task.find("reportaccesses")
    pairs = list(accesses) if accesses is not None else []
    got_access = {pairs[i].text: pairs[i + 1].text for i in range(0, len(pairs) - 1, 2)}
    named = set(names)
    identifier_names = identifiers()
    want_containers, faults = [], []
    for id_ in range(1, 253):
        name, values = records.get(id_, ("", {}))
        datum = db.find_current(id_) if name in named else None
        if datum is None:
            if name in got_values or name in got_access:
                faults.append("%s: reported, the model finds no datum" % name)
            continue
        values, labels = repointed(db, id_, name, values, texts)
        selection = any(tag == "enum" for tag, _ in got_values.get(name, []))
        want_containers.append(gui_container(db, datum, name, values, labels, selection))
        want = gui_value(db, datum, name, values, labels, identifier_names.get(id_, ""), selection)
        if name not in got_values:
            faults.append("%s: no value reported" % name)
        elif name not in FROM_SCANNER and got_values[name] != want:
            faults.append("%s: value %s, expected %s" % (name, got_values[name], want))
        if got_access.get(name) != ACCESS_WORD[db.access(datum)]:
            faults.append("%s: access %s, expected %s" % (name, got_access.get(name), ACCESS_WORD[db.access(datum)]))
    if got_containers != want_containers:
        got, want = dict((c[1][0][1], c) for c in got_containers), dict((c[1][0][1], c) for c in want_containers)
        for key in sorted(set(got) | set(want)):
            if got.get(key) != want.get(key):
                faults.append("container %s: %s, expected %s" % (key, got.get(key), want.get(key)))
        if not faults:
            faults.append("containers out of id order")
    faults += judge_all_camera(task, db, records, texts)
    return faults


def judge_all_camera(task, db, records, texts):
    faults = []
    reports = {e.findtext("id"): shape(e) for e in task.findall("reportallcamerawindowvalues")}
    for capability in ALL_CAMERA:
        id_ = ID[capability]
        name, values = records[id_]
        values, labels = repointed(db, id_, name, values, texts)
        want = []
        for bin_, (camera, window) in CAMERAS.items():
            datum = db.find_in_bin(bin_, id_)
            if datum is None or datum.bin != bin_:
                continue
            if not want:
                want.append(("id", name))
            kind = db.container(datum)
            if kind == "E":
                value = values.get(datum.cur, "???")
                text = texts.get("enum_%s_%s" % (name, value), "") if value != "???" else "???"
            else:
                value = text = datum.scur if kind == "S" else str(datum.cur)
            want += [("cameratype", camera), ("windowtype", window), ("value", value), ("text", text)]
        if reports.get(name if want else None, []) != want:
            faults.append("%s in every camera: %s, expected %s" % (name, reports.get(name), want))
    return faults


def main(argv):
    if argv[1:2] == ["gui"] and len(argv) >= 6:
        db = opened(argv[2], argv[3], argv[4])
        faults = judge_gui(read(argv[5]), db, lexicons(), labels(), argv[6:])
        for fault in faults:
            print(fault)
        return 1 if faults else 0
    if len(argv) < 5 or argv[1] not in ("reports", "idlist") or (argv[1] == "reports") != (len(argv) == 6):
        sys.exit(__doc__)
    db = opened(argv[2], argv[3], argv[4])
    records = lexicons()
    if argv[1] == "idlist":
        for id_ in range(1, 253):
            if records.get(id_, ("",))[0] and supported(db, id_)(range(1, 6)):
                print(records[id_][0])
        return 0
    texts = labels()
    faults = []
    files = sorted(os.listdir(argv[5]))
    for name in files:
        faults += judge(os.path.join(argv[5], name), db, records, texts)
    for fault in faults:
        print(fault)
    print("%d replies judged" % len(files))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
