"""The get command through the driver entry, as a front end sees it: interfaceopen and sessionbegin on the
simulated scanner (drvfront), then gets of every capability name, the special ids and bad ids.

    check_get.py STAGE GROUP [PROBE SHIPPED FIXTURE SCANNER_ADF SCANNER_FLATBED NEXIL_ADF NEXIL_FLATBED]

The optional arguments are the rules probe's (tests/tools/rulesmodel/probe.py Paths): the oracle group opens
the same scanner through the probe and judges every reply with the rules model (get_reports_oracle.py).

Groups: oracle (every capability's reply and idlist against the rules model's database after the default
fix-up), reports (every name of the lookup source: status and report pair judged against the lookup and label
sources; the bins' tags and contexts; the scanner asked for its lock only), special (regions, idlist,
outputimagecount, printer, ecdolist, the logs, export qvlog and the ids that answer "fail"),
profiles (the profile groups' data files judged by tests/tools/profile_document.py against the database's dump,
the current profile, the shared timeout response), badinput (ids a front end should not send). Every reply is
checked by drvfront and read by xmllint."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tools"))
import drvfront  # noqa: E402
import get_reports_oracle as oracle  # noqa: E402
import profile_document  # noqa: E402
from drvfront import group, leaf  # noqa: E402
from rulesmodel import probe  # noqa: E402
from rulesmodel.names import ID, MACHINE  # noqa: E402

# The probe's paths, given after the group.
PROBE = []
# The scanner both the front end and the probe open.
SCANNER = ("mapleB", "true")

CONTEXTS = {None: "$configuration", "frontbitonal_00": "$bitonal", "rearbitonal_00": "$bitonal",
            "frontcolor_00": "$color", "rearcolor_00": "$color"}
PAIRS = ("reportenum", "reportrange", "reportstring")


def opened(front):
    """A session whose scanner is open: interfaceopen, then sessionbegin."""
    if not front.replies:
        front.interfaceopen()
        front.send("sessionbegin", expect="success")


def reports(reply):
    """The tags after the reportstatus."""
    return [element.tag for element in reply.root[1:]]


def texts(element, tag):
    return [child.text or "" for child in element.findall(tag)]


def idlist(front):
    """The names idlist lists, in its order."""
    return texts(front.get("idlist", expect="success").root.find("reportidlist"), "iditem/id")


def names():
    """{capability's name in task messages: {value: value's name}} of the lookup source."""
    return {name: values for name, values in oracle.lexicons().values() if name}


# Lists whose values take the scanner's names and texts (its colour dropouts): the oracle group judges them.
SCANNER_NAMED = {"ecdo", "ecdocustom"}


def check_pair(reply, name, values, labels):
    """A capability's two reports: one kind, the name, one windowtag and the context it implies, the enumeration's
    values known to the lookup source with their English labels (those the scanner names: the current value one
    of the list)."""
    tags = reports(reply)
    assert len(tags) == 2 and tags[0] in PAIRS and tags[1] == tags[0] + "default", (name, reply.text)
    current, default = reply.root[1], reply.root[2]
    for report in (current, default):
        assert texts(report, "id") == [name], (name, reply.text)
        tag = report.findtext("windowtag")
        assert texts(report, "context") == [CONTEXTS[tag]], (name, reply.text)
        assert report.findtext("readonly") in ("true", "false"), (name, reply.text)
        if tags[0] == "reportenum":
            entries = report.find("enum")
            pairs = list(zip(texts(entries, "value"), texts(entries, "text")))
            assert pairs and len(pairs) * 2 == len(entries), (name, reply.text)
            if name in SCANNER_NAMED:
                known = [value for value, _ in pairs]
            else:
                known = values.values()
                for value, label in pairs:
                    assert value in known, (name, value, reply.text)
                    assert label == labels.get("enum_%s_%s" % (name, value), ""), (name, value, label)
            assert report.findtext("valuecurrent") in known, (name, reply.text)
        elif tags[0] == "reportrange":
            low, high, step = (int(report.findtext("range/" + t)) for t in ("rangemin", "rangemax", "rangestep"))
            assert low <= high and step >= 0, (name, reply.text)
        else:
            assert len(report.findtext("valuecurrent")) <= int(report.findtext("stringmaxlength")), reply.text
    assert current.findtext("windowtag") == default.findtext("windowtag"), reply.text
    valid = texts(current, "validcontext")
    assert valid and CONTEXTS[current.findtext("windowtag")] in valid, (name, reply.text)
    assert not default.findall("validcontext"), reply.text


# -- the rules model's reading --------------------------------------------------------------------------------
def model(root):
    """The rules model's database once the probe opened the scanner, after the default fix-up; the paths the
    probe's root put in texts are moved to the front end's root."""
    paths = probe.Paths(*PROBE)
    try:
        opening = probe.opening(paths, SCANNER[0])
        # The front end's interfaceopen has loaded the labels before the engine fills the dropout lists, whose
        # "(none)" entries take the label then.
        fill = next(index for index, command in enumerate(opening) if command.startswith("ecdofill "))
        opening.insert(fill, "labels")
        db = probe.model_after(probe.run(paths, "shipped", opening + probe.LISTINGS))
    finally:
        shutil.rmtree(paths.root, ignore_errors=True)
    db.fix_default_all()
    for datum in filter(None, (db.find_current(id_) for id_ in range(1, 253))):
        datum.scur = datum.scur.replace(paths.root, root)
        datum.sdef = datum.sdef.replace(paths.root, root)
    return db


# Values the scanner reports at the opening, which the model of its inquiry does not know.
FROM_SCANNER = {"deviceonline", "meterfirstscan", "serialnumber", "timedate", "timedateutc"}


@group
def oracle_every_capability(front):
    """Every named capability's reply agrees with the model: status, both reports, values, labels, ranges; and
    idlist names exactly the supported ids with a name, in id order."""
    assert len(PROBE) == 7, "the oracle group needs the probe's paths"
    db = model(front.root)
    front.interfaceopen(simmodel=SCANNER[0], duplex=SCANNER[1])
    front.send("sessionbegin", expect="success")
    records, labels = oracle.lexicons(), oracle.labels()
    camera = db.slot(0, ID["WINDOWBIN"], MACHINE).cur + 2
    directory = tempfile.mkdtemp(dir=front.root)
    for name in sorted(name for name, _ in records.values() if name and name not in SPECIAL | FROM_SCANNER):
        with open(os.path.join(directory, "%d-%s.xml" % (camera, name)), "wb") as stream:
            stream.write(front.get(name).text.encode())
    faults = []
    for name in sorted(os.listdir(directory)):
        faults += oracle.judge(os.path.join(directory, name), db, records, labels)
    assert not faults, "\n".join(faults)
    listed = idlist(front)
    supported = [records[id_][0] for id_ in range(1, 253)
                 if records.get(id_, ("",))[0] and oracle.supported(db, id_)(range(1, 6))]
    assert listed == supported, (listed, supported)


# -- every capability ------------------------------------------------------------------------------------------
@group
def reports_every_name(front):
    """Each name of the lookup source answers success or notavailable with its pair, or fail alone; the answered
    ones are all among the ids idlist lists."""
    opened(front)
    labels = oracle.labels()
    answered = []
    for name, values in sorted(names().items()):
        reply = front.get(name)
        if reply.status == "fail":
            assert len(reply.root) == 1 or name in SPECIAL, (name, reply.text)
            continue
        if name in SPECIAL:
            continue
        assert reply.status in ("success", "notavailable"), (name, reply.text)
        check_pair(reply, name, values, labels)
        answered.append(name)
    listed = idlist(front)
    assert set(answered) <= set(listed), sorted(set(answered) - set(listed))


def tasks(front):
    return [line.split("\t")[3] for line in front.tasklog()]


@group
def reports_scanner_untouched(front):
    """A get of a capability reads the database: the scanner is asked for its lock and nothing else."""
    opened(front)
    for name in ("imageformat", "units", "imagecroppingregion", "idlist", "nosuchcapability"):
        before = len(front.tasklog())
        front.get(name)
        assert tasks(front)[before:] == ["resourcelock", "resourceunlock"], (name, front.tasklog()[before:])


@group
def reports_bins(front):
    """A camera capability carries its window's tag and "$bitonal" or "$color", a machine one no tag and
    "$configuration"."""
    opened(front)
    reply = front.get("imagedeskew", expect="success")
    tag = reply.find("reportenum/windowtag")
    assert tag in ("frontbitonal_00", "frontcolor_00"), reply.text
    assert texts(reply.root.find("reportenum"), "validcontext") == ["$bitonal", "$color"], reply.text
    reply = front.get("units", expect="success")
    assert reply.root.find("reportenum/windowtag") is None, reply.text
    assert reply.find("reportenum/context") == "$configuration", reply.text
    assert texts(reply.root.find("reportenum"), "validcontext") == ["$configuration"], reply.text


# -- the special ids -------------------------------------------------------------------------------------------
SPECIAL = {"imagecroppingregion", "barcodesearchregion", "idlist", "outputimagecount", "printer", "windowlist",
           "ecdolist", "colortablelist", "customoverride", "profile", "profilelist", "logservice",
           "profileiaprinter", "profilenoiaprinter", "eventlist"}


@group
def special_regions(front):
    """A region reports one field per element, each with its range, then the default report."""
    opened(front)
    for name, fields in (("imagecroppingregion", 5), ("barcodesearchregion", 4)):
        reply = front.get(name)
        if reply.status == "fail":
            assert len(reply.root) == 1, reply.text
            print("  (%s is not supported by this scanner)" % name)
            continue
        assert reply.status in ("success", "notavailable"), reply.text
        assert reports(reply) == ["reportregion", "reportregiondefault"], reply.text
        for report in reply.root[1:]:
            assert texts(report, "id") == [name], reply.text
            region = list(report.find("region"))
            assert len(region) == 2 * fields, (name, reply.text)
            for field, limits in zip(region[0::2], region[1::2]):
                assert limits.tag == "range" and field.tag != "range", (name, reply.text)
                low, high = int(limits.findtext("rangemin")), int(limits.findtext("rangemax"))
                assert low <= int(field.text) <= high, (name, field.tag, reply.text)


@group
def special_idlist(front):
    """idlist lists ids that have a name, each once, in id order (which ids: the oracle group)."""
    opened(front)
    order = {name: id_ for id_, (name, _) in oracle.lexicons().items() if name}
    listed = idlist(front)
    assert listed and len(set(listed)) == len(listed), listed
    assert all(name in order and 1 <= order[name] <= 252 for name in listed), listed
    assert [order[name] for name in listed] == sorted(order[name] for name in listed), listed


@group
def special_counts(front):
    """outputimagecount is a read-only range in "$configuration"; printer without "cartridgedetect" fails;
    ecdolist begins with "(none)" and lists the image library's choices after it (which ones: check_inquiry.py)."""
    opened(front)
    reply = front.get("outputimagecount", expect="success")
    assert reports(reply) == ["reportrange", "reportrangedefault"], reply.text
    assert texts(reply.root, "*/readonly") == ["true", "true"], reply.text
    assert texts(reply.root, "*/context") == ["$configuration", "$configuration"], reply.text
    assert int(reply.find("reportrange/valuecurrent")) >= 0, reply.text
    assert front.get("printer").status == "fail"
    assert "GetCartridgeDetected not supported (no 'cartridgedetect')" in front.log()
    reply = front.get("ecdolist", expect="success")
    names = [item.findtext("ecdo") for item in reply.root.iter("ecdoitem")]
    assert reports(reply) == ["reportecdolist"] and names[0] == "(none)" and len(names) > 1, reply.text


@group
def special_logs(front):
    """Each log answers reportdatafile naming a file whose size is its datasize; the general XML log is a document
    xmllint reads, with the general text log's meters and versions beside it."""
    opened(front)
    for name in ("loggeneral", "loggeneralxml", "logactivity", "logversion", "logservice"):
        reply = front.get(name, expect="success")
        assert reports(reply) == ["reportdatafile"], (name, reply.text)
        path = reply.find("reportdatafile/filename")
        assert os.path.isfile(path), (name, reply.text)
        assert int(reply.find("reportdatafile/datasize")) == os.stat(path).st_size, (name, reply.text)
        if name == "loggeneralxml":
            out = subprocess.run(["xmllint", "--noout", path], capture_output=True, text=True)
            assert out.returncode == 0, out.stderr
            with open(path) as f:
                text = f.read()
            assert text.startswith("<tw_log>\n") and text.endswith("</tw_log>\n"), text
            assert "<model>mapleB</model>" in text and "<connection>USBSCAN/2.0</connection>" in text, text
        if name == "loggeneral":
            with open(path) as f:
                text = f.read()
            assert "Driver.dll:" in text and "USBSCAN/2.0" in text, text


@group
def special_qvlog(front):
    """export qvlog packs the user directory with the caller's text and the fetched logs (the session's log
    directory joins it); the fetched log of a current type stays. (Which logs go: dev_cdevimpl_log_test.cpp.)"""
    opened(front)
    target = os.path.join(front.root, "qv.pkg")
    front.send("export", leaf("id", "qvlog") + leaf("filename", target) + leaf("text", "hello"), "success")
    pmxpkg = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "data", "os", "formats",
                          "pmxpkg.py")
    listing = subprocess.run([sys.executable, pmxpkg, "list", target], capture_output=True, text=True, check=True)
    names = [line.split(" ", 3)[3] for line in listing.stdout.splitlines()[1:]]
    for packed in ("text.log", "info.log"):
        assert any(name.endswith("/" + packed) for name in names), (packed, listing.stdout)
    log_directory = [os.path.dirname(path) for path in front.logs() if path.endswith("text.log")]
    assert log_directory, front.logs()
    with open(os.path.join(log_directory[0], "text.log")) as f:
        assert f.read() == "hello"
    assert os.path.exists(os.path.join(log_directory[0], "info.log"))
    assert "Package failed" not in front.log() and "but we'll keep going" not in front.log(), \
        [line for line in front.log().splitlines() if "Open failed" in line or "Package failed" in line]


@group
def special_fail(front):
    """The ids whose reports are not built yet answer fail alone, each its own reply (not the previous one)."""
    opened(front)
    for name in ("colortablelist", "customoverride"):
        front.get("units", expect="success")
        reply = front.get(name, expect="fail")
        assert len(reply.root) == 1, (name, reply.text)


# -- profiles --------------------------------------------------------------------------------------------------
# The group's front end runs in dump mode: the default fix-up leaves the database's dump in the log directory.
DUMP_MODE = {"env": {"PMX_DEBUG": "257"}}  # the debug level and its dump switch, 0x100
# The model directory of a library driven through tasks.
FAMILY = "driver"


@group
def profiles_datafiles(front):
    """With the model's timeout responses in the scanner's inquiry, the shared response is applied without a
    complaint. Each profile group answers reportdatafile naming a new file of the log directory (beside the
    dump) whose size is its datasize, which xmllint reads and which holds exactly what the dump and the lookup
    source call for; the caller removes it."""
    inquiry = os.path.join(front.root, "responses.inquiry")
    with open(inquiry, "w") as stream:
        stream.write("<enum><id>adftimeoutresponse</id><value>stopfeeder</value><value>endofjob</value></enum>\n")
    front.interfaceopen(inquiry=inquiry)
    front.send("sessionbegin", expect="success")
    assert "the shared timeout response is not applied" not in front.log()
    reply = front.get("adftimeoutresponse", expect="success")
    assert texts(reply.root.find("reportenum/enum"), "value") == ["stopfeeder", "endofjob"], reply.text
    dumps = glob.glob(os.path.join(front.root, "var", "**", "PmxDbInitial_*.txt"), recursive=True)
    assert len(dumps) == 1, dumps
    for name in ("profileall", "profileiaprinter", "profilenoiaprinter", "profileblob"):
        reply = front.get(name, expect="success")
        assert reports(reply) == ["reportdatafile"] and reply.find("reportdatafile/id") == name, reply.text
        path = reply.find("reportdatafile/filename")
        assert os.path.dirname(path) == os.path.dirname(dumps[0]), (path, dumps)
        assert os.path.basename(path).startswith("rdf") and len(os.path.basename(path)) == 9, path
        assert os.path.getsize(path) == int(reply.find("reportdatafile/datasize")), reply.text
        out = subprocess.run(["xmllint", "--noout", path], capture_output=True, text=True)
        assert out.returncode == 0, out.stderr
        faults = profile_document.judge(dumps[0], path, name, FAMILY)
        assert not faults, "%s:\n%s" % (name, "\n".join(faults))
        os.remove(path)
    assert "unrecognized group...<profileblob>" in front.log()


@group
def profiles_current(front):
    """get profile answers the current profile, and the sessionend reply carries it."""
    reply = front.get("profile", expect="success")
    assert reports(reply) == ["reportprofileitem"], reply.text
    item = reply.root.find("reportprofileitem/profileitem")
    assert [child.tag for child in item] == ["value", "text", "profilestate", "readonly", "default", "profileid",
                                             "graphicfilename"], reply.text
    assert item.findtext("value") == "Default" and item.findtext("profilestate") == "current", reply.text
    assert item.findtext("default") == "true", reply.text
    reply = front.send("sessionend", expect="success")
    assert reply.find("reportsessionend/profileitem/value") == "Default", reply.text
    front.send("interfaceclose", expect="success")


# -- bad ids ---------------------------------------------------------------------------------------------------
@group
def badinput_ids(front):
    """Unknown, blank-led, wrong-case, empty and very long ids, two ids (the last wins), no id: fail alone, and
    the session goes on."""
    opened(front)
    long_id = "i" * 2000
    for body, status in ((leaf("id", "nosuchcapability"), "fail"), (leaf("id", " imageformat"), "fail"),
                         (leaf("id", "IMAGEFORMAT"), "fail"), (leaf("id", ""), "fail"),
                         (leaf("id", long_id), "fail"), (leaf("id", "imageformat") + leaf("id", "nosuch"), "fail"),
                         (leaf("id", "nosuch") + leaf("id", "imageformat"), "success"), ("", "fail")):
        reply = front.send("get", body, expect=status)
        assert len(reply.root) == (1 if status == "fail" else 3), (body[:80], reply.text)
    front.get("imageformat", expect="success")
    front.send("interfaceclose", expect="success")


if __name__ == "__main__":
    PROBE.extend(os.path.abspath(argument) for argument in sys.argv[3:])
    drvfront.main(sys.argv, {"profiles": DUMP_MODE})
