"""The model's report inquiry and the colour-dropout lists through the driver entry, as a front end sees them
(drvfront): interfaceopen and sessionbegin on the simulated scanner and its image library.

    check_inquiry.py STAGE GROUP SCANNER_ADF NEXIL_ADF

SCANNER_ADF and NEXIL_ADF are the stand-ins (device.so and nexil.so of the feeder), asked here for their
querysupport lists, from which the expected inquiry is written.

Groups: ecdo (after sessionbegin, ecdolist lists "(none)" and then the image library's choices of the scanner's
kinds, multiple-colour first, form data next, then the others; ecdo offers the same), mapleb and maplec (the
inquiry of a synchronous sessionbegin: its children in order, their values from the stand-ins' lists and the
database's reports; mapleB has no imprinter, mapleC has one), event (with monitorbuttonevents the opencomplete
event carries the inquiry a synchronous open answers). Every reply is read by xmllint too."""
import difflib
import os
import re
import sys
import time
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
import get_reports_oracle as oracle  # noqa: E402
from drvfront import group, leaf  # noqa: E402
from rulesmodel import standins  # noqa: E402

STANDINS = {}

# The capabilities listed by their default items (the printer's font only with an imprinter).
CAPABILITIES = ("adfhandling", "background", "blankimagemode", "documenttype", "imagecroppingmode",
                "imagerotateorthogonal", "multifeedresponse", "paperjamresponse", "papersource", "patchtogglemode",
                "colorbrightnessmode", "colorbalancemode", "edgefill", "printerfont", "printerindexformat",
                "printerindexincrement", "printerindexreset", "adftimeoutresponse")
# Looked up in the colour front's camera when the current one has none.
COLOUR_FRONT = ("colorbrightnessmode", "colorbalancemode")
RANGES = ("multifeedlength", "printerposition", "printonimagepositionx", "printonimagepositiony",
          "printerindexresetvalue")
FEATURES = ("autocolorcontent", "barcodeenhancement", "ecdoenum", "holefillenabled", "ia", "iacheckdigit",
            "paperdetectable", "powerofftimeoutenabled", "preview", "printerhighres", "printerwritesequencemessage1",
            "printerwritesequencemessage2", "printerwritesequencemessage3", "printerwritesequencemessage4",
            "printerwritesequencemessage5", "printerwritesequencemessage6", "printonimage", "dualstacking",
            "cartridgedetect", "textenhancement")
# Features that a key of the configuration names, the others a capability.
KEYS = ("ia", "paperdetectable", "preview", "printerhighres", "printonimage", "dualstacking", "cartridgedetect")


def inquiry_lists(reply):
    """{"enum": {id: [values]}, "range": {id: (min, max)}, "supported": {ids}} of a querysupport reply."""
    root = ET.fromstring(reply).find("reportinquiry")
    lists = {"enum": {}, "range": {}, "supported": set()}
    for element in root:
        if element.tag == "enum":
            lists["enum"][element.findtext("id")] = [value.text for value in element.findall("value")]
        elif element.tag == "range":
            lists["range"][element.findtext("id")] = (int(element.findtext("rangemin")),
                                                       int(element.findtext("rangemax")))
        elif element.tag == "supported":
            lists["supported"] |= {identifier.text for identifier in element.findall("id")}
    return lists


def elements(inquiry):
    """The inquiry's children as (tag, id, values): an enum's values, a range's bounds, supported's ids."""
    found = []
    for element in inquiry:
        if element.tag == "supported":
            found.append(("supported", None, [identifier.text for identifier in element.findall("id")]))
        elif element.tag == "range":
            found.append(("range", element.findtext("id"),
                          [int(element.findtext("rangemin")), int(element.findtext("rangemax"))]))
        else:
            found.append((element.tag, element.findtext("id"), [value.text for value in element.findall("value")]))
    return found


def expected(front, model):
    """The inquiry as the engine must write it: the stand-ins' lists (the configuration keeps each key's values in
    ascending order), the ids the database supports and its reports."""
    scanner = inquiry_lists(standins.querysupport(STANDINS["scanner"], "ScannerEntry", standins.simulate(model)))
    nexil = inquiry_lists(standins.querysupport(STANDINS["nexil"], "NexEntry"))
    enums, ranges, keys = scanner["enum"], scanner["range"], scanner["supported"]
    supported = set(oracle_idlist(front))

    def current(name):
        reply = front.get(name)
        assert reply.status in ("success", "notavailable"), (name, reply.text)
        return reply

    found = []
    barcodes = enums.get("barcodetype") or nexil["enum"].get("barcodetype")
    if barcodes:
        found.append(("enum", "barcodetype", sorted(barcodes)))
    for name in ("barcodesearchmode", "barcodesearcharea"):
        if name in enums:
            found.append(("enum", name, sorted(enums[name])))
    if "barcodecount" in ranges:
        found.append(("range", "barcodecount", list(ranges["barcodecount"])))
    found.append(("enum", "cameratype", sorted(enums.get("cameratype", []))))
    if enums.get("consumablemetertype"):
        found.append(("enum", "consumablemetertype", sorted(enums["consumablemetertype"])))
    if "diagcleanmode" in supported:
        found.append(("enum", "diagnostictype", ["diagcleanmode"]))
    if enums.get("frontside"):
        found.append(("enum", "frontside", sorted(enums["frontside"])[:1]))
    found.append(("enum", "imageformat", sorted(enums["imageformat"])))
    printers = [value for value in sorted(enums.get("printer", [])) if value != "none"]
    if printers:
        found.append(("enum", "printer", printers[:1]))
    for name in RANGES:
        if name in supported and (not name.startswith("printonimage") or "printonimage" in keys):
            limits = current(name).root.find("reportrange/range")
            found.append(("range", name, [int(limits.findtext("rangemin")), int(limits.findtext("rangemax"))]))
    found.append(("enum", "resolutionxoptical", sorted(enums["resolutionxoptical"])[:1]))
    height = int(current("sheetheight").find("reportrange/valuecurrent"))
    found.append(("range", "sheetheight", [ranges["sheetheight"][0], height]))
    found.append(("range", "sheetwidth", list(ranges["sheetwidth"])))
    if "thinthickenamount" in supported:
        found.append(("range", "thinthickenamount", list(ranges.get("thinthickenamount", (0, 0)))))
    for name in ("ocpconfigurability", "backgroundsidessame"):
        if enums.get(name):
            found.append(("enum", name, sorted(enums[name])[:1]))
    for name in CAPABILITIES:
        if name not in supported or (name == "printerfont" and not printers):
            continue
        reply = front.get(name)
        if reply.status == "fail" and name in COLOUR_FRONT:
            # Not in the current camera: the colour front's list, which no get reaches.
            found.append(("enum", name, None))
            continue
        assert reply.status in ("success", "notavailable"), (name, reply.text)
        default = reply.root.find("reportenumdefault/enum")
        found.append(("enum", name, [value.text for value in default.findall("value")]))
    features = []
    for name in FEATURES:
        if name == "ecdoenum":
            present = "ecdo" in supported and len(current("ecdo").root.findall("reportenum/enum/value")) > 1
        else:
            present = name in keys if name in KEYS else name in supported
        if present:
            features.append(name)
    found.append(("supported", None, features))
    return found


def oracle_idlist(front):
    return [item.text for item in front.get("idlist", expect="success").root.iter("id")]


def synchronous_inquiry(front, model):
    front.interfaceopen(simmodel=model, duplex="true")
    reply = front.send("sessionbegin", expect="success")
    inquiry = reply.root.find("reportinquiry")
    assert inquiry is not None and [element.tag for element in reply.root] == ["reportstatus", "reportinquiry"], \
        reply.text
    return inquiry


def check_inquiry(front, model):
    inquiry = synchronous_inquiry(front, model)
    found, wanted = elements(inquiry), expected(front, model)
    names = {name: values for name, values in oracle.lexicons().values() if name}
    for index, (kind, identifier, values) in enumerate(wanted):
        if values is None and index < len(found) and found[index][:2] == (kind, identifier):
            # Values the front end cannot read: some, each a name the capability has.
            assert found[index][2] and set(found[index][2]) <= set(names[identifier].values()), found[index]
            wanted[index] = found[index]
    assert found == wanted, "\n".join("%-60s %s" % (str(a)[:60], b) for a, b in zip(found + [None] * 40, wanted))
    return found


@group
def mapleb_inquiry_without_an_imprinter(front):
    """mapleB: the children in their order, with the stand-ins' values and the database's ranges; no
    printer enum, no printer font, no printer feature."""
    found = check_inquiry(front, "mapleB")
    ids = [identifier for _, identifier, _ in found]
    assert "printer" not in ids and "printerfont" not in ids, ids
    assert not [name for name in found[-1][2] if name.startswith("printer")], found[-1]


@group
def maplec_inquiry_with_an_imprinter(front):
    """mapleC: the same, with the imprinter's enum (its position, reset value and font follow the database: the
    shipped records do not offer them)."""
    found = check_inquiry(front, "mapleC")
    ids = [identifier for _, identifier, _ in found]
    assert found[ids.index("printer")] == ("enum", "printer", ["preimagefront"]), found


@group
def event_carries_the_same_inquiry(front):
    """With monitorbuttonevents the opening answers notcomplete, and the opencomplete event brings the inquiry
    that a synchronous open answers."""
    synchronous_inquiry(front, "mapleB")
    synchronous = inquiry_text(front.replies[-1])
    front.send("interfaceclose", expect="success")
    front.interfaceopen(simmodel="mapleB", duplex="true")
    reply = front.send("sessionbegin", leaf("monitorbuttonevents", "true"), "notcomplete")
    assert len(reply.root) == 1, reply.text
    deadline = time.time() + 30
    while time.time() < deadline:
        # The event list answers from its own builder (reply id 0).
        text, _ = front.task("get", leaf("id", "eventlist"))
        reply = front.raw(text.encode())
        if reply.root.find(".//reportinquiry") is not None:
            break
        time.sleep(0.05)
    events = [event.text for event in reply.root.iter("event")]
    assert "opencomplete" in events, reply.text
    carried, counts = library_count(inquiry_text(reply.text))
    synchronous, _ = library_count(synchronous)
    assert carried == synchronous, "\n".join(difflib.unified_diff(synchronous.split("\n"), carried.split("\n"),
                                                                  lineterm=""))
    # Only the image library's barcode count may differ, never some other range.
    library = inquiry_lists(standins.querysupport(STANDINS["nexil"], "NexEntry"))["range"]["barcodecount"]
    assert all(count == list(library) for count in counts), (counts, library)
    front.send("interfaceclose", expect="success")


def library_count(text):
    """The inquiry without its barcodecount ranges, and those ranges. The image library's querysupport reply is kept
    as the unit's inquiry: an open whose device manager completes after the library's session has begun reads it
    into the model configuration and lists the library's barcode count too; which of the two comes first is the
    threads' order."""
    pattern = re.compile(r"\s*<range>\s*<id>barcodecount</id>.*?</range>", re.S)
    counts = [[int(ET.fromstring(block).findtext(bound)) for bound in ("rangemin", "rangemax")]
              for block in pattern.findall(text)]
    return pattern.sub("", text), counts


def inquiry_text(text):
    """The inquiry element of a reply, as the text stands."""
    start, end = text.find("<reportinquiry>"), text.find("</reportinquiry>")
    assert 0 <= start < end, text
    return text[start:end + len("</reportinquiry>")]


@group
def ecdo_lists_after_sessionbegin(front):
    """ecdolist: "(none)" with its label, then the image library's choices of the scanner's kinds, the
    multiple-colour one first, form data next, then the others in their order; ecdo offers the same."""
    front.interfaceopen(simmodel="mapleB", duplex="true")
    front.send("sessionbegin", expect="success")
    reply = front.get("ecdolist", expect="success")
    items = [(item.findtext("ecdo"), item.findtext("text")) for item in reply.root.iter("ecdoitem")]
    none = oracle.labels()["enum_ecdo_(none)"]
    assert items == [("(none)", none), ("file04", "Predominant"), ("file05", "Form data"), ("file01", "Red"),
                     ("file02", "Green"), ("file03", "Blue")], items
    reply = front.get("ecdo", expect="success")
    offered = reply.root.find("reportenumdefault/enum")
    assert [value.text for value in offered.findall("value")] == [name for name, _ in items], reply.text
    assert [text.text for text in offered.findall("text")] == [text for _, text in items], reply.text
    tasks = [line.split("\t")[3] for line in front.tasklog()]
    assert "getecdo" not in tasks, tasks  # the scanner's model has no list of its own


if __name__ == "__main__":
    STANDINS.update(scanner=os.path.abspath(sys.argv[3]), nexil=os.path.abspath(sys.argv[4]))
    drvfront.main(sys.argv)
