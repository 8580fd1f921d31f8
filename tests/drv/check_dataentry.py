"""The data entry's commands as a front end sees them: the staged library loaded through ctypes (drvfront), the
scanner directory a driver run on the simulated scanner leaves, files judged with xmllint, ElementTree,
configparser, the profile package reader and the package archive walker.

    check_dataentry.py STAGE GROUP

Groups: devicelist (scanner directories listed with their files' values and the online marker), history (scan
histories converted below a tree), accumulators (setaccumulators), debug (persistent debug settings and force
entries), profiles (profile list export and import, beside a driver session), eklog (the log archive), threads
(four threads of mixed tasks), badinput (tasks and arguments a front end should not send)."""
import configparser
import glob
import os
import shutil
import subprocess
import sys
import threading
import time
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf, task_text  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
PROFILE_PACKAGE = os.path.join(HERE, "..", "tools", "profile_package.py")
PMXPKG = os.path.join(HERE, "..", "data", "os", "formats", "pmxpkg.py")
SERIAL = "SIMA0001"
HAND = "HAND0002"
DATA = "DataEntry"


def data_directory(front):
    return os.path.join(front.root, "var", drvfront.COMPANY, drvfront.MODEL, "data")


def scanner_file(front, name, serial=SERIAL):
    return os.path.join(data_directory(front), serial, name)


def driver_const_ini(front):
    return os.path.join(front.root, "var", drvfront.COMPANY, drvfront.UNIQUE, drvfront.UNIQUE, "const.ini")


def xmllint(path):
    out = subprocess.run(["xmllint", "--noout", path], capture_output=True, text=True)
    assert out.returncode == 0, (path, out.stderr)


def export(front, body, expect="success"):
    return front.send("export", body, expect, DATA)


def device_list(front):
    """The devicelist export: xmllint passes it; its tree, keyed by serial number."""
    path = os.path.join(front.root, "devicelist.xml")
    reply = export(front, leaf("id", "devicelist") + leaf("filename", path))
    assert reply.find("reportdatafile/id") == "devicelist" and reply.find("reportdatafile/filename") == path
    assert int(reply.find("reportdatafile/size")) == os.path.getsize(path), reply.text
    xmllint(path)
    root = ET.parse(path).getroot()
    assert root.tag == "devicelist", ET.tostring(root)
    return {device.findtext("tw_log/serialnumber"): device for device in root.findall("device")}


def set_accumulators(front, serial, expect="success", **counts):
    body = leaf("serialnumber", serial) + leaf("accumulators", "".join(leaf(k, v) for k, v in counts.items()))
    return front.send("setaccumulators", body, expect, DATA)


def accumulators(front, serial=SERIAL):
    root = ET.parse(scanner_file(front, "accumulators.xml", serial)).getroot()
    return [root.findtext(tag) for tag in ("multifeedcount", "paperjamcount", "othererrorcount")]


def hold_lock(path, seconds=60, shared=False):
    """Another process holding the file's exclusive (or shared) flock (until killed, or for the seconds)."""
    script = ("import fcntl, sys, time\nf = open(sys.argv[1], 'a')\n"
              "fcntl.flock(f, fcntl.LOCK_SH if sys.argv[3] == 'shared' else fcntl.LOCK_EX)\n"
              "print('held', flush=True)\ntime.sleep(float(sys.argv[2]))\n")
    holder = subprocess.Popen([sys.executable, "-c", script, path, str(seconds), "shared" if shared else "exclusive"],
                              stdout=subprocess.PIPE, text=True)
    assert holder.stdout.readline().strip() == "held"
    return holder


def release(holder):
    holder.kill()
    holder.wait()


# A batch in a process of its own on the front's root: the library loaded afresh reads the constant file.
FRESH_BATCH = """
import ctypes, sys, time
sys.path.insert(0, sys.argv[1])
from drvfront import leaf, simulate, task_text
lib = ctypes.CDLL(sys.argv[2])
lib.DriverEntry.restype = ctypes.c_char_p
def send(number, command, body=""):
    return lib.DriverEntry(task_text(number, command, body).encode()).decode()
assert "success" in send(1, "interfaceopen", leaf("callername", "fresh") + simulate(imagedirectory=sys.argv[3]))
assert "success" in send(2, "sessionbegin")
assert "success" in send(3, "scanbegin")
for number in range(4, 3000):
    reply = send(number, "getoutput")
    if "noimageready" in reply:
        time.sleep(0.01)
    elif "<status>success</status>" not in reply:
        break
    else:
        name = reply.split("<imagefilename>")[1].split("</imagefilename>")[0]
        send(number + 10000, "imageend", leaf("imagefilename", name))
assert "success" in send(20000, "scanend")
assert "success" in send(20001, "interfaceclose")
"""


# -- devicelist ------------------------------------------------------------------------------------------------
@group
def devicelist_scanners_only(front):
    """A scanner a driver ran, one made by hand without device.xml, "data.lock" and a stray file: two devices,
    each with its values; "deviceonline" follows a driver holding "online", which is never made, and not another
    device list probing it at once."""
    front.batch()
    front.interfaceopen(entry=DATA)
    set_accumulators(front, SERIAL, multifeedcount="3", paperjamcount="4", othererrorcount="5")
    os.makedirs(os.path.join(data_directory(front), HAND))
    open(os.path.join(data_directory(front), "data.lock"), "a").close()
    with open(os.path.join(data_directory(front), "stray.txt"), "w") as f:
        f.write("not a scanner\n")
    devices = device_list(front)
    assert sorted(devices) == [HAND, SERIAL], devices.keys()
    hand = devices[HAND]
    assert hand.findtext("deviceonline") == "false"
    assert hand.findtext("tw_log/versiondriver"), ET.tostring(hand)
    assert hand.findtext("tw_log/multifeedcount") == "0" and hand.findtext("tw_log/patchcount") == "0"
    assert hand.find("tw_log/model") is None and hand.find("tw_log/accumulators") is None
    assert not os.path.exists(os.path.join(data_directory(front), HAND, "online"))
    sima = devices[SERIAL]
    device = ET.parse(scanner_file(front, "device.xml")).getroot()
    meters = [child.tag for child in device if child.tag.startswith("meter")]
    assert meters, ET.tostring(device)
    for tag in meters + ["model", "connection"]:
        assert sima.findtext("tw_log/" + tag) == device.findtext(tag), tag
    assert [sima.findtext("tw_log/accumulators/" + tag) for tag in
            ("multifeedcount", "paperjamcount", "othererrorcount")] == accumulators(front) == ["3", "4", "5"]
    online = scanner_file(front, "online")
    holder = hold_lock(online)
    try:
        assert device_list(front)[SERIAL].findtext("deviceonline") == "true"
    finally:
        release(holder)
    assert device_list(front)[SERIAL].findtext("deviceonline") == "false"
    # Another device list looking at the same moment is no driver.
    holder = hold_lock(online, shared=True)
    try:
        assert device_list(front)[SERIAL].findtext("deviceonline") == "false"
    finally:
        release(holder)
    reply = export(front, leaf("id", "devicelist"))
    path = reply.find("reportdatafile/filename")
    assert os.path.basename(path).startswith("exp") and os.path.getsize(path) == int(reply.find("reportdatafile/size"))
    xmllint(path)
    front.send("interfaceclose", expect="success", entry=DATA)


# -- history ---------------------------------------------------------------------------------------------------
@group
def history_trees(front):
    """Two scanners' histories of one name into a destination that is made: ".000000.xml" and ".000001.xml";
    a history 40 levels down is converted beside itself; a link to a directory is not followed."""
    front.batch()
    histories = glob.glob(os.path.join(data_directory(front), SERIAL, "*.hst"))
    assert len(histories) == 1, os.listdir(os.path.join(data_directory(front), SERIAL))
    tree = os.path.join(front.root, "tree")
    for scanner in ("one", "two"):
        os.makedirs(os.path.join(tree, scanner))
        shutil.copy(histories[0], os.path.join(tree, scanner, "same.hst"))
    deep = os.path.join(tree, *["d%02d" % level for level in range(40)])
    os.makedirs(deep)
    shutil.copy(histories[0], os.path.join(deep, "deep.HST"))
    outside = os.path.join(front.root, "outside")
    os.makedirs(outside)
    shutil.copy(histories[0], os.path.join(outside, "linked.hst"))
    os.symlink(outside, os.path.join(tree, "link"))
    destination = os.path.join(front.root, "made", "here")
    front.interfaceopen(entry=DATA)
    export(front, leaf("id", "historytoxml") + leaf("source", tree) + leaf("destination", destination))
    names = sorted(os.listdir(destination))
    assert names == ["deep.000000.xml", "same.000000.xml", "same.000001.xml"], names
    for name in names:
        xmllint(os.path.join(destination, name))
    assert os.listdir(outside) == ["linked.hst"]
    export(front, leaf("id", "historytoxml") + leaf("source", tree))
    xmllint(os.path.join(deep, "deep.xml"))
    assert os.listdir(outside) == ["linked.hst"]
    front.send("interfaceclose", expect="success", entry=DATA)


# -- accumulators ----------------------------------------------------------------------------------------------
@group
def accumulators_set(front):
    """Only the counters given change; counts that are no u32 and serial numbers that are no name change
    nothing."""
    os.makedirs(os.path.join(data_directory(front), SERIAL))
    front.interfaceopen(entry=DATA)
    set_accumulators(front, SERIAL, multifeedcount="7", paperjamcount="8", othererrorcount="9")
    assert accumulators(front) == ["7", "8", "9"]
    set_accumulators(front, SERIAL, paperjamcount="42")
    assert accumulators(front) == ["7", "42", "9"]
    for value in ("abc", "-1", "4294967296", ""):
        set_accumulators(front, SERIAL, "fail", paperjamcount=value)
    for serial in ("../x", "a/b", "", "."):
        set_accumulators(front, serial, "fail", paperjamcount="1")
    assert accumulators(front) == ["7", "42", "9"]
    assert not os.path.exists(os.path.join(data_directory(front), "..", "x"))
    front.send("interfaceclose", expect="success", entry=DATA)


# -- debug -----------------------------------------------------------------------------------------------------
def debug_body(persistent, forces):
    body = leaf("persistent", persistent) + leaf("logging", "on") + leaf("logginglevel", "5")
    body += leaf("imagesfromscanner", "off") + leaf("imagestoapp", "on")
    for force in forces:
        body += leaf("force", "".join(leaf(k, v) for k, v in force.items()))
    return leaf("debug", body)


HISTORY_OFF = {"dll": "driver", "section": "dsIdentity", "tag": "ForceHistoryOff", "text": "1"}


def read_ini(path):
    parser = configparser.ConfigParser(interpolation=None, strict=False)
    parser.optionxform = str
    parser.read(path)
    return parser


def changed_files(front, marker):
    """Files below the root changed after the marker, the logs left out."""
    out = subprocess.run(["find", front.root, "-newer", marker, "-type", "f", "-not", "-name", "*.log",
                          "-not", "-name", "*.lock", "-not", "-name", "pmxoscfg*"], capture_output=True, text=True)
    return [line for line in out.stdout.splitlines() if line != marker and "/opt/" not in line]


@group
def debug_persistent(front):
    """Persistent settings and force entries land in the driver's constant file (a textless entry removes its
    key); a driver started afterwards keeps no history; without persistence no file changes."""
    front.configure({"dsIdentity": {"ForceGuiDelay": "1"}})
    marker = os.path.join(front.root, "marker")
    open(marker, "w").close()
    time.sleep(0.05)
    front.interfaceopen(entry=DATA, extra=debug_body("false", [HISTORY_OFF]))
    assert changed_files(front, marker) == [], changed_files(front, marker)
    front.send("interfaceclose", expect="success", entry=DATA)
    front.interfaceopen(entry=DATA, extra=debug_body("true", [
        HISTORY_OFF, {"dll": "driver", "section": "dsIdentity", "tag": "ForceGuiDelay"}]))
    front.send("interfaceclose", expect="success", entry=DATA)
    ini = read_ini(driver_const_ini(front))
    sections = {name.lower(): ini[name] for name in ini.sections()}
    assert sections["dsidentity"].get("debug") == "5", open(driver_const_ini(front)).read()
    assert sections["dsidentity"].get("ForceHistoryOff") == "1"
    assert "ForceGuiDelay" not in sections["dsidentity"]
    assert sections["images"].get("devsave") == "false" and sections["images"].get("appsave") == "true"
    subprocess.run([sys.executable, "-c", FRESH_BATCH, HERE, front.library(), front.images()], check=True,
                   timeout=60)
    assert glob.glob(os.path.join(data_directory(front), "*")), "the fresh driver wrote no scanner directory"
    assert glob.glob(os.path.join(data_directory(front), "*", "*.hst")) == [], front.log()[-2000:]


# -- profiles --------------------------------------------------------------------------------------------------
@group
def profiles_export_import(front):
    """The package holds the user profile directory as it is (the package reader and diff -r judge it) and is
    imported back; while a driver session in the process has modified its profile the export fails."""
    front.interfaceopen(callername="profiles")
    front.send("sessionbegin", expect="success")
    front.send("set", leaf("id", "imageresolutionx") + leaf("valuecurrent", "150_dpi"), "success")
    front.interfaceopen(entry=DATA)
    package = os.path.join(front.root, "profiles.pkg")
    export(front, leaf("id", "profilelist") + leaf("filename", package), "fail")
    front.send("interfaceclose", expect="success")
    export(front, leaf("id", "profilelist") + leaf("filename", package))
    unpacked = os.path.join(front.root, "unpacked")
    subprocess.run([sys.executable, PROFILE_PACKAGE, "read", package, unpacked], check=True)
    assert os.listdir(unpacked), "an empty package"
    directories = glob.glob(os.path.join(front.root, "var", "**", "profiles"), recursive=True)
    assert directories, front.files()
    assert any(subprocess.run(["diff", "-r", unpacked, directory], capture_output=True).returncode == 0
               for directory in directories), directories
    front.send("import", leaf("id", "profilelist") + leaf("filename", package), "success", DATA)
    front.send("import", leaf("id", "profilelist") + leaf("filename", os.path.join(front.root, "none.pkg")), "fail",
               DATA)
    front.send("interfaceclose", expect="success", entry=DATA)


# -- eklog -----------------------------------------------------------------------------------------------------
@group
def eklog_archive(front):
    """The archive holds the caller's text as "text.log" (the archive walker lists it); its size is the file's."""
    logs = os.path.join(front.root, "var", drvfront.COMPANY, drvfront.MODEL, "twain", "log.20260101000000000")
    os.makedirs(logs)
    front.interfaceopen(entry=DATA)
    archive = os.path.join(front.root, "eklog.pkg")
    reply = export(front, leaf("id", "eklog") + leaf("filename", archive) + leaf("text", "what the user saw"))
    assert int(reply.find("reportdatafile/size")) == os.path.getsize(archive), reply.text
    listing = subprocess.run([sys.executable, PMXPKG, "list", archive], capture_output=True, text=True, check=True)
    assert any(line.endswith("text.log") for line in listing.stdout.splitlines()), listing.stdout
    with open(os.path.join(logs, "text.log")) as f:
        assert f.read() == "what the user saw"
    front.send("interfaceclose", expect="success", entry=DATA)


# -- threads ---------------------------------------------------------------------------------------------------
@group
def threads_mixed_tasks(front):
    """Four threads of 100 mixed tasks each: every reply is whole and answers its own task."""
    os.makedirs(os.path.join(data_directory(front), SERIAL))
    front.interfaceopen(entry=DATA)
    lock = threading.Lock()
    ids = iter(range(1000, 100000))
    failures = []
    tree = os.path.join(front.root, "tree")
    os.makedirs(tree)
    bodies = [("export", leaf("id", "devicelist") + leaf("filename", os.path.join(front.root, "list%d.xml"))),
              ("setaccumulators", leaf("serialnumber", SERIAL) + leaf("accumulators", leaf("paperjamcount", "1"))),
              ("export", leaf("id", "historytoxml") + leaf("source", tree)),
              ("export", leaf("id", "nothing")),
              ("interfaceopen", "")]

    def run(index):
        for count in range(100):
            with lock:
                task_id = next(ids)
            command, body = bodies[count % len(bodies)]
            text = task_text(task_id, command, body.replace("%d", str(index)))
            pointer = front.call(text.encode(), DATA)
            try:
                reply = drvfront.Reply(drvfront.ctypes.string_at(pointer).decode(), task_id)
                assert reply.status in ("success", "fail", "invalidstate"), reply.text
            except AssertionError as error:
                with lock:
                    failures.append(str(error)[:300])

    threads = [threading.Thread(target=run, args=(index,)) for index in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert not failures, failures[:5]
    front.send("interfaceclose", expect="success", entry=DATA)


# -- bad input -------------------------------------------------------------------------------------------------
@group
def badinput_tasks(front):
    """Each refused with fail and a log line; the session goes on and answers the next task with its id."""
    front.interfaceopen(entry=DATA)
    afile = os.path.join(front.root, "afile")
    open(afile, "w").close()
    two = task_text(90, "export", leaf("id", "devicelist") + leaf("filename", os.path.join(front.root, "first.xml")))
    two = two.replace("</task>", "\t<setaccumulators>%s</setaccumulators>\n</task>" % leaf("serialnumber", SERIAL))
    rows = [
        ("two commands", two.encode()),
        ("not xml", b"<task id='91'><export></task>"),
        ("no id", b"<task><export><id>devicelist</id></export></task>"),
        ("export without id", task_text(92, "export", "").encode()),
        ("unknown id", task_text(93, "export", leaf("id", "frobnicate")).encode()),
        ("unknown import id", task_text(94, "import", leaf("id", "devicelist")).encode()),
        ("profilelist without filename", task_text(95, "export", leaf("id", "profilelist")).encode()),
        ("import without filename", task_text(96, "import", leaf("id", "profilelist")).encode()),
        ("historytoxml without source", task_text(97, "export", leaf("id", "historytoxml")).encode()),
        ("file as source", task_text(98, "export", leaf("id", "historytoxml") + leaf("source", afile)).encode()),
        ("destination below a file", task_text(99, "export", leaf("id", "historytoxml") + leaf(
            "source", front.root) + leaf("destination", os.path.join(afile, "sub"))).encode()),
        ("filename too long", task_text(100, "export", leaf("id", "devicelist") + leaf(
            "filename", os.path.join(front.root, "x" * 600))).encode()),
    ]
    failures = []
    for name, data in rows:
        mark = len(front.log())
        try:
            reply = front.check(drvfront.ctypes.string_at(front.call(data, DATA)).decode(), None)
            assert reply.status == "fail", (name, reply.text)
            assert len(front.log()) > mark, "no log line for " + name
            front.send("export", leaf("id", "nothing"), "fail", DATA)
        except AssertionError as error:
            failures.append("%s: %s" % (name, str(error)[:300]))
    # The first command of two ran; the second did not.
    assert os.path.exists(os.path.join(front.root, "first.xml"))
    assert not os.path.exists(os.path.join(data_directory(front), SERIAL))
    assert not any(name.startswith("x" * 500) for name in os.listdir(front.root))
    assert not failures, "\n".join(failures)
    front.send("interfaceclose", expect="success", entry=DATA)


FORCE_REFUSALS = [
    ("dll ../x", [dict(HISTORY_OFF, dll="../x")]),
    ("dll a/b", [dict(HISTORY_OFF, dll="a/b")]),
    ("dll .", [dict(HISTORY_OFF, dll=".")]),
    ("dll missing", [dict(HISTORY_OFF, dll="nosuchdll")]),
    ("dll empty", [dict(HISTORY_OFF, dll="")]),
    ("no tag", [{"dll": "driver", "section": "dsIdentity", "text": "1"}]),
    ("section ]", [dict(HISTORY_OFF, section="ds]Identity")]),
    ("section line break", [dict(HISTORY_OFF, section="ds\nIdentity")]),
    ("text line break", [dict(HISTORY_OFF, text="1\n[main]\nroot=/")]),
    ("33 force entries", [dict(HISTORY_OFF, tag="Tag%d" % index) for index in range(33)]),
]


@group
def badinput_force_entries(front):
    """An interfaceopen with a force entry it cannot write answers fail, ends its data session and changes no
    file."""
    path = driver_const_ini(front)
    front.configure({"dsIdentity": {"ForceGuiDelay": "1"}})
    with open(path) as f:
        before = f.read()
    failures = []
    for name, forces in FORCE_REFUSALS:
        try:
            reply = front.interfaceopen(entry=DATA, expect=None, extra=debug_body("true", forces))
            assert reply.status == "fail", (name, reply.text)
            with open(path) as f:
                assert f.read() == before, name
            # The session ended: a new one opens.
            front.interfaceopen(entry=DATA)
            front.send("interfaceclose", expect="success", entry=DATA)
        except AssertionError as error:
            failures.append("%s: %s" % (name, str(error)[:300]))
    assert not failures, "\n".join(failures)
    # An empty force element is no entry; the rest of the settings are written.
    front.interfaceopen(entry=DATA, extra=debug_body("true", [{}]))
    front.send("interfaceclose", expect="success", entry=DATA)
    assert "ForceHistoryOff" not in open(path).read() and "appsave" in open(path).read()


@group
def badinput_data_lock_held(front):
    """"data.lock" held by another process beyond the wait: setaccumulators fails within the limit and the file
    stays."""
    os.makedirs(os.path.join(data_directory(front), SERIAL))
    front.interfaceopen(entry=DATA)
    set_accumulators(front, SERIAL, paperjamcount="2")
    holder = hold_lock(os.path.join(data_directory(front), "data.lock"), 15)
    try:
        start = time.monotonic()
        set_accumulators(front, SERIAL, "fail", paperjamcount="9")
        assert time.monotonic() - start < 11, time.monotonic() - start
        assert "DataLock failed..." in front.log()
    finally:
        release(holder)
    assert accumulators(front)[1] == "2"
    set_accumulators(front, SERIAL, paperjamcount="9")
    front.send("interfaceclose", expect="success", entry=DATA)


if __name__ == "__main__":
    drvfront.main(sys.argv)
