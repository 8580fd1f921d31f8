"""The settings GUI's value reads as a GUI meets them: the staged stand-in "twaingui" started by uibegin on the
simulated scanner registers capabilities and asks for them ("register", "get", "getvalues",
"getvaluesregistered", "getallcamerawindowvalues"); every task it reads is kept whole (UISTANDIN_KEEP), read by
xmllint and judged.

    check_gui_values.py STAGE GROUP [PROBE SHIPPED FIXTURE SCANNER_ADF SCANNER_FLATBED NEXIL_ADF NEXIL_FLATBED]

Groups: full (mapleB and mapleC: every name of the lookup source plus unknown ones registered, "get" judged by the
rules model: get_reports_oracle.py gui), values (getvalues order, unknown names, range labels), unasked (a front
end's setmany, then scanend: one unasked report with the registered change only; nothing while hidden), windows
(the windows the front end created, each with its own tag; getallcamerawindowvalues), badinput (tasks a GUI
should not send: every reply well formed)."""
import glob
import os
import subprocess
import sys
import time
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_get  # noqa: E402
import drvfront  # noqa: E402
import get_reports_oracle as oracle  # noqa: E402
from drvfront import group, leaf  # noqa: E402

STANDIN = "twaingui"
UNKNOWN = ("nosuchcapability", "alsounknown")


def keep(front):
    directory = os.path.join(front.root, "kept")
    os.makedirs(directory, exist_ok=True)
    for path in glob.glob(os.path.join(directory, "*")):
        os.remove(path)
    os.environ["UISTANDIN_KEEP"] = directory
    os.environ["UISTANDIN_LOG"] = os.path.join(front.root, "standin.log")
    return directory


def kept(directory):
    return [open(path, encoding="utf-8", errors="surrogateescape").read()
            for path in sorted(glob.glob(os.path.join(directory, "recv-*.xml")))]


def wait_for(predicate, seconds=20.0):
    end = time.time() + seconds
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()


def reply_id(text):
    return int(text[text.index("reply='") + 7:][:20])


def replies_to(directory, task_id):
    return [text for text in kept(directory) if reply_id(text) == task_id]


def xmllint(texts):
    """xmllint reads each text whole."""
    for text in texts:
        out = subprocess.run(["xmllint", "--noout", "-"], input=text.encode(), capture_output=True)
        assert out.returncode == 0, (out.stderr.decode(), text[:2000])


def body(children):
    return "".join("\\n\\t\\t" + leaf(tag, text) for tag, text in children) + "\\n\\t"


def ids(names):
    return body([("id", name) for name in names])


def start(front, script, simmodel="mapleB", duplex="true"):
    """A session on the scanner with the stand-in running the script (its task ids count from 1, uiready the
    first); the directory its tasks go to."""
    directory = keep(front)
    os.environ["UISTANDIN_SCRIPT"] = script
    front.interfaceopen(simmodel=simmodel, duplex=duplex)
    front.send("sessionbegin", leaf("ui", STANDIN), expect="success")
    assert front.send("uibegin", leaf("uimode", "scan")).status == "success"
    return directory


def stop(front):
    front.send("uiend", expect="success")
    front.send("interfaceclose", expect="success")
    for name in ("UISTANDIN_SCRIPT", "UISTANDIN_KEEP"):
        os.environ.pop(name, None)


def status(text):
    return ElementTree.fromstring(text).findtext("reportstatus/status")


def lookup_names():
    return sorted(name for name, _ in oracle.lexicons().values() if name)


# -- the full report ---------------------------------------------------------------------------------------------
ORDER = ["reportstatus", "reportwindows", "reportundefines", "reportcontainer", "reportprofilesdirectory",
         "reportprofilelist", "reportprofileitem",
         "reportvalues", "reportaccesses", "reportdebug", "reportallcamerawindowvalues",
         "reportwindowlist"]


def full_case(front, scanner, duplex):
    check_get.SCANNER = (scanner, duplex)
    db = check_get.model(front.root)
    names = lookup_names()
    script = "send register %s\nsend get\n" % ids(names + list(UNKNOWN))
    directory = start(front, script, scanner, duplex)
    assert wait_for(lambda: len(replies_to(directory, 3)) == 1), kept(directory)
    assert status(replies_to(directory, 2)[0]) == "success"
    (text,) = replies_to(directory, 3)
    xmllint([text])
    task = ElementTree.fromstring(text)
    tags = [element.tag for element in task]
    containers = ("reportenum", "reportrange", "reportstring")
    ranks = [ORDER.index("reportcontainer" if tag in containers else tag) for tag in tags]
    assert ranks == sorted(ranks), tags
    undefined = [element.text for element in task.find("reportundefines")]
    # The current camera's list: the unknown names once each, and the names that camera lacks.
    assert all(undefined.count(name) == 1 for name in UNKNOWN), undefined
    by_name = {name: id_ for id_, (name, _) in oracle.lexicons().items() if name}
    lacking = [name for name in names if db.find_current(by_name[name]) is None]
    assert sorted(undefined) == sorted(lacking + list(UNKNOWN)), (undefined, lacking)
    faults = oracle.judge_gui(text, db, oracle.lexicons(), oracle.labels(), names)
    assert not faults, "\n".join(faults[:40])
    print("%s: the full report of %d names is %d bytes" % (scanner, len(names), len(text)))
    stop(front)


@group
def full_mapleb(front):
    full_case(front, "mapleB", "true")


@group
def full_maplec(front):
    full_case(front, "mapleC", "true")


# -- getvalues --------------------------------------------------------------------------------------------------
def values_by_name(text):
    """{name: [(child, text or [children])]} of the first reportvalues, and the names in their order."""
    element = ElementTree.fromstring(text).find("reportvalues")
    order, found = [], {}
    for child in element:
        if child.tag == "id":
            order.append(child.text)
            found[child.text] = []
        found[order[-1]].append((child.tag, oracle.shape(child) if len(child) else (child.text or "")))
    return order, found


def five_names(db):
    """Two lists, two ranges and a string the current camera has (the first of each by name, lexicons that differ
    from their identifier names first), in an order that is not the id order."""
    records, identifier_names = oracle.lexicons(), oracle.identifiers()
    picked = {"E": [], "R": [], "S": []}
    by_kind = sorted(records.items(),
                     key=lambda item: (identifier_names[item[0]][6:].lower() == item[1][0], item[1][0]))
    for id_, (name, _) in by_kind:
        datum = db.find_current(id_) if name and name not in check_get.FROM_SCANNER else None
        kind = db.container(datum) if datum else None
        if kind and len(picked[kind]) < (1 if kind == "S" else 2):
            picked[kind].append(name)
    names = picked["R"][1:] + picked["E"] + picked["S"] + picked["R"][:1]
    assert len(names) == 5, picked
    return names


@group
def values_order_and_unknown(front):
    """getvalues answers the names in the order given, each judged by the model (a range's text is its number);
    unknown names are left out, and with no name known the element is empty."""
    check_get.SCANNER = ("mapleB", "true")
    db = check_get.model(front.root)
    names = five_names(db)
    script = "send getvalues %s\nsend getvalues %s\nsend getvalues %s\n" % (
        ids(names), ids(["nosuch"]), ids([names[0], "nosuch", names[1]]))
    directory = start(front, script)
    assert wait_for(lambda: len(replies_to(directory, 4)) == 1), kept(directory)
    texts = [replies_to(directory, task_id)[0] for task_id in (2, 3, 4)]
    xmllint(texts)
    assert all(status(text) == "success" for text in texts), texts
    order, found = values_by_name(texts[0])
    assert order == names, (order, names)
    records, labels, identifier_names = oracle.lexicons(), oracle.labels(), oracle.identifiers()
    by_name = {name: id_ for id_, (name, _) in records.items() if name}
    for name in names:
        id_ = by_name[name]
        values, texts_ = oracle.repointed(db, id_, name, records[id_][1], labels)
        want = oracle.gui_value(db, db.find_current(id_), name, values, texts_, identifier_names[id_], False)
        assert found[name] == want, (name, found[name], want)
    empty = ElementTree.fromstring(texts[1]).find("reportvalues")
    assert empty is not None and len(empty) == 0, texts[1]
    assert values_by_name(texts[2])[0] == names[:2], texts[2]
    assert "GetValues unable to find nosuch" in front.log()
    stop(front)


# -- the unasked report ---------------------------------------------------------------------------------------
def unasked(front, visible):
    """The GUI, started by sessionbegin (ForceGuiDelay), registers units alone; the front end changes it and an
    unregistered capability in one setmany, then ends its scan: the unasked tasks (reply 0) the GUI read after."""
    front.configure({"dsIdentity": {"ForceGuiDelay": "1"}})
    directory = keep(front)
    os.environ["UISTANDIN_SCRIPT"] = "send register %s\n" % ids(["units"]) + ("send uivisible\n" if visible else "")
    front.interfaceopen()
    front.send("sessionbegin", leaf("ui", STANDIN), expect="success")
    assert wait_for(lambda: len(replies_to(directory, 3 if visible else 2)) == 1), kept(directory)
    before = len(kept(directory))
    sets = "".join("<set>%s%s</set>" % (leaf("id", name), leaf("valuecurrent", value))
                   for name, value in (("units", "centimeters"), ("powerofftimeout", "30")))
    front.send("setmany", sets, expect="success")
    front.send("scanend", expect="success")
    # The health check of an idle GUI comes after 7 s: anything within the next second is the scan's.
    time.sleep(1)
    # scanend also clears the scanning dialog; the reports are what is judged.
    after = [text for text in kept(directory)[before:]
             if "notifydevicestatus" not in text and "<dialogclear>" not in text]
    front.send("interfaceclose", expect="success")
    return after


@group
def unasked_visible_registered_only(front):
    after = unasked(front, True)
    assert len(after) == 1 and reply_id(after[0]) == 0, after
    xmllint(after)
    reports = ElementTree.fromstring(after[0]).findall("reportvalues")
    assert [r.findtext("id") for r in reports] == ["units"], after[0]
    assert reports[0].findtext("value") == "centimeters", after[0]


@group
def unasked_hidden_nothing(front):
    assert unasked(front, False) == []


# -- windows -----------------------------------------------------------------------------------------------------
@group
def windows_created_and_all_cameras(front):
    """mapleC with the two colour windows the front end's create adds (one per colour bin, the rear one current):
    the GUI's window report lists the current camera's window under its own tag with its frame;
    getallcamerawindowvalues answers imagedeskew in the four cameras of the duplex scanner, background in the two
    front ones, and nothing but "success" for autocolorcontent, which no camera of it has."""
    names = ["windowtag", "imagedeskew", "imageoffsetx", "imageoffsety", "imagewidth", "imageheight", "imageskewangle"]
    script = "send register %s\nsend get\n" % ids(names) + "".join(
        "send getallcamerawindowvalues %s\n" % ids([name])
        for name in ("imagedeskew", "background", "autocolorcontent"))
    os.environ["UISTANDIN_SCRIPT"] = script
    directory = keep(front)
    front.interfaceopen(simmodel="mapleC", duplex="true")
    front.send("sessionbegin", leaf("ui", STANDIN), expect="success")
    for cameratype in ("flatbed", "rear"):
        front.send("create", leaf("id", "window") + leaf("cameratype", cameratype) + leaf("imageformat", "rgb_24"),
                   expect="success")
    assert front.send("uibegin", leaf("uimode", "scan")).status == "success"
    assert wait_for(lambda: len(replies_to(directory, 6)) == 1), kept(directory)
    get = replies_to(directory, 3)[0]
    allcamera = [replies_to(directory, task_id)[0] for task_id in (4, 5, 6)]
    xmllint([get] + allcamera)
    task = ElementTree.fromstring(get)
    windows = task.find("reportwindows")
    assert windows is not None and texts_of(windows, "windowid") == ["rearcolor_00"], get
    frame = dict(zip(texts_of(task.find("reportvalues"), "id"), texts_of(task.find("reportvalues"), "value")))
    assert [child.tag for child in windows] == ["windowid"] + names[2:], get
    assert [child.text for child in windows][1:] == [frame[name] for name in names[2:]], (get, frame)
    cameras = []
    for text in allcamera:
        assert status(text) == "success", text
        element = ElementTree.fromstring(text).find("reportallcamerawindowvalues")
        cameras.append(list(zip(*(texts_of(element, tag) for tag in ("cameratype", "windowtype"))))
                       if element is not None else None)
    assert cameras == [[("front", "bitonal"), ("rear", "bitonal"), ("front", "color"), ("rear", "color")],
                       [("front", "bitonal"), ("front", "color")], None], allcamera
    stop(front)


def texts_of(element, tag):
    return [child.text for child in element.findall(tag)]


# -- bad input ---------------------------------------------------------------------------------------------------
@group
def badinput_every_reply_well_formed(front):
    """Tasks a GUI should not send: a task without "reply", a 64-character element name, an element that is no
    command, register with 300 unknown names, an empty id and a 200-character name, getvalues of names it cannot
    use, getallcamerawindowvalues without a child or with an unknown name; and get while the profile list reports
    nothing. Every reply is well formed; the GUI keeps its answers."""
    long_name = "x" * 200
    many = ["unknown%03d" % index for index in range(300)]
    text = "<task id='%020d' bytes='%%020d'>\n\t<get>\n\t</get>\n</task>" % 42
    no_reply = text % (len(text) - len("%020d") + 20)
    steps = [
        "raw " + no_reply.replace("\n", "\\n").replace("\t", "\\t"),
        "send %s" % ("n" * 64),
        "send notacommand",
        "send register %s" % ids(many + ["", long_name, "units"]),
        "send get",
        "send getvalues %s" % ids([long_name, "units", ""]),
        "send getallcamerawindowvalues",
        "send getallcamerawindowvalues %s" % ids(["nosuch"]),
        "send getregistered",
        "send getvaluesregistered",
    ]
    directory = start(front, "\n".join(steps) + "\n")
    assert wait_for(lambda: len(replies_to(directory, 10)) == 1), kept(directory)
    texts = kept(directory)
    xmllint(texts)
    statuses = {task_id: status(replies_to(directory, task_id)[0]) for task_id in range(2, 11)}
    assert statuses == {2: "badcmd", 3: "badcmd", 4: "success", 5: "success", 6: "success", 7: "fail", 8: "fail",
                        9: "success", 10: "success"}, statuses
    assert [status(text) for text in replies_to(directory, 42)] == ["badcmd"], "the task without reply="
    get = ElementTree.fromstring(replies_to(directory, 5)[0])
    undefined = texts_of(get.find("reportundefines"), "id")
    assert undefined == many[:254], undefined[250:]
    assert "units" in texts_of(get.find("reportvalues"), "id")
    assert values_by_name(replies_to(directory, 6)[0])[0] == ["units"]
    log = front.log()
    assert log.count("Too many undefined ids in bin") == 4, "once per camera bin"
    assert "We have an empty id in the register list..." in log
    assert "does not fit 128 bytes, skipped..." in log
    assert "Unrecognized id...<nosuch>" in log
    # The profile directories, then the list of profiles.
    assert get.find("reportprofilesdirectory") is not None and get.find("reportprofilelist") is not None
    stop(front)


if __name__ == "__main__":
    check_get.PROBE.extend(os.path.abspath(argument) for argument in sys.argv[3:])
    drvfront.main(sys.argv)
