"""The device data files as other processes see them: the staged library loaded through ctypes (drvfront), a
session on the simulated scanner, the scanner's directory below the model's data directory judged with flock,
fcntl, xmllint and ElementTree.

    check_devdata.py STAGE GROUP [RULES_FIXTURE_DIR]

Groups: online (the marker held while a session that watches the buttons is open), devicexml (device.xml after
the open and after a batch, against what get answers), rules (the meters the rules fixture's database adds),
flatbed (a flatbed unit's files below its own model directory), accumulators (paper jams and multifeeds counted
at the end of each batch), offline (a scanner gone before scanend keeps its device.xml), badinput (serial numbers
that are no directory names, a marker another process holds)."""
import fcntl
import filecmp
import os
import shutil
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf  # noqa: E402

SERIAL = "SIMA0001"
MODEL = "mapleB"
RULES_FIXTURE = []  # the rules fixture's directory, given after the group


def data_directory(front, model=drvfront.MODEL):
    return os.path.join(front.root, "var", drvfront.COMPANY, model, "data")


def scanner_file(front, name, serial=SERIAL, model=drvfront.MODEL):
    return os.path.join(data_directory(front, model), serial, name)


def wait_for_event(front, event):
    """Reads the event list until the event came (at most 10 s); the events read."""
    deadline = time.time() + 10
    events = ""
    while event not in events and time.time() < deadline:
        text, _ = front.task("get", leaf("id", "eventlist"))
        events += front.raw(text.encode()).text
        time.sleep(0.05)
    assert event in events, events
    return events


def flock_tool_fails(path):
    """Whether flock(1) without waiting is refused the file's lock."""
    return subprocess.run(["flock", "-n", path, "true"]).returncode != 0


def other_process_lock_raises(path):
    """Whether fcntl.flock(LOCK_EX | LOCK_NB) raises in another process."""
    script = ("import fcntl, sys\nf = open(sys.argv[1])\ntry:\n    fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)\n"
              "except OSError:\n    sys.exit(3)\n")
    return subprocess.run([sys.executable, "-c", script, path]).returncode == 3


def device_xml(front, serial=SERIAL, model=drvfront.MODEL):
    """device.xml judged by xmllint, then its tree."""
    path = scanner_file(front, "device.xml", serial, model)
    out = subprocess.run(["xmllint", "--noout", path], capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    return ET.parse(path).getroot()


def got(front, item):
    """The current value get answers for a capability."""
    reply = front.get(item, expect="success")
    for path in ("reportrange/valuecurrent", "reportstring/value", "reportenum/value", "reportstring/valuecurrent"):
        value = reply.find(path)
        if value is not None:
            return value
    raise AssertionError(reply.text)


def accumulators(front, serial=SERIAL):
    root = ET.parse(scanner_file(front, "accumulators.xml", serial)).getroot()
    return [int(root.findtext(tag)) for tag in ("multifeedcount", "paperjamcount", "othererrorcount")]


# -- online ------------------------------------------------------------------------------------------------------
@group
def online_marker_held_while_open(front):
    """Watching the buttons, "online" is locked against other processes once opencomplete is read, free again
    after interfaceclose, and stays on disk; without watching there is no marker, but the directory exists."""
    front.interfaceopen()
    front.send("sessionbegin", leaf("monitorbuttonevents", "true"), "notcomplete")
    wait_for_event(front, "opencomplete")
    online = scanner_file(front, "online")
    assert flock_tool_fails(online) and other_process_lock_raises(online), front.log()
    front.send("interfaceclose", expect="success")
    assert not flock_tool_fails(online) and not other_process_lock_raises(online)
    assert os.path.isfile(online)
    os.remove(online)
    front.interfaceopen()
    front.send("sessionbegin", expect="success")
    assert os.path.isdir(os.path.dirname(online)) and not os.path.exists(online)
    front.send("interfaceclose", expect="success")


# -- device.xml --------------------------------------------------------------------------------------------------
@group
def devicexml_after_open_and_batch(front):
    """device.xml is well formed and names the model, the connection and the meters get answers, after the open
    and again after a batch."""
    front.interfaceopen(pages=2)
    front.send("sessionbegin", expect="success")
    for moment in ("open", "batch"):
        root = device_xml(front)
        assert root.tag == "device" and root.findtext("model") == MODEL, ET.tostring(root)
        assert root.findtext("connection") == "USBSCAN/2.0", ET.tostring(root)
        for meter in ("meterpagecount", "meterfirstscan"):
            assert root.findtext(meter) == got(front, meter), (moment, meter, ET.tostring(root))
        if moment == "open":
            front.send("scanbegin", expect="success")
            front.drain()
            front.send("scanend", expect="success")
    tags = [element.tag for element in root]
    assert tags[:3] == ["model", "background", "connection"] and tags[-1] == "reportconsumablemeters", tags
    front.send("interfaceclose", expect="success")


# -- rules fixture -----------------------------------------------------------------------------------------------
@group
def rules_meters_of_the_fixture(front):
    """With the rules fixture's database the power, transport and lamp meters appear with the stand-in's values."""
    front.interfaceopen()
    front.send("sessionbegin", expect="success")
    root = device_xml(front)
    for meter in ("meterpower", "metertransport", "meterlampfront", "meterlamprear", "meterpagecount"):
        assert root.findtext(meter) is not None and root.findtext(meter) == got(front, meter), \
            (meter, ET.tostring(root))
    front.send("interfaceclose", expect="success")


@group
def rules_meters_in_the_logs(front):
    """With the stand-in's meters counted from 12340 pages, the general text log shows the power-on meter as 123.4
    hours; the general XML log holds the raw 1234 tenths, and 123.4 once the driver's constant file sets
    ForceMetersReal."""
    def log_text(item):
        reply = front.get(item, expect="success")
        with open(reply.find("reportdatafile/filename")) as f:
            return f.read()

    for real in ("0", "1"):
        front.configure({"dsIdentity": {"ForceMetersReal": real}})
        front.interfaceopen(pagecount="12340")
        front.send("sessionbegin", expect="success")
        power = [line for line in log_text("loggeneral").splitlines() if "ower-on" in line]
        assert len(power) == 1 and "123.4" in power[0], power
        root = ET.fromstring(log_text("loggeneralxml"))
        assert root.findtext("meterpower") == ("123.4" if real == "1" else "1234"), (real, ET.tostring(root))
        assert root.findtext("meterpagecount") == "12340", ET.tostring(root)
        front.send("interfaceclose", expect="success")


# -- flatbed -----------------------------------------------------------------------------------------------------
@group
def flatbed_files_below_its_model(front):
    """A flatbed unit's files are below the flatbed's model directory, named by its serial number."""
    front.interfaceopen(flatbed="kvflatbed", **{"flatbed.serialnumber": "FB0001"})
    front.send("sessionbegin", expect="success")
    root = device_xml(front, "FB0001", "kvflatbed")
    assert root.findtext("connection") == "USBSCAN/2.0", ET.tostring(root)
    assert os.path.isfile(scanner_file(front, "device.xml")), front.files()
    assert not os.path.exists(scanner_file(front, "device.xml", "FB0001")), front.files()
    front.send("interfaceclose", expect="success")


# -- accumulators ------------------------------------------------------------------------------------------------
@group
def accumulators_count_each_batch(front):
    """A paper jam at sheet 3 counts one paper jam; a multifeed at sheet 2 then one multifeed more."""
    assert front.batch(pages=4, paperjam=3) == "paperjam"
    assert accumulators(front) == [0, 1, 0], accumulators(front)
    assert front.batch(pages=4, multifeed=2) == "multifeed"
    assert accumulators(front) == [1, 1, 0], accumulators(front)
    assert front.batch(pages=2) == "endofoutput"
    assert accumulators(front) == [1, 1, 0], accumulators(front)
    leftovers = [name for name in os.listdir(os.path.dirname(scanner_file(front, "x"))) if ".tmp" in name]
    assert not leftovers, leftovers


# -- offline -----------------------------------------------------------------------------------------------------
@group
def offline_keeps_device_xml(front):
    """A scanner gone off line before scanend leaves device.xml as it was."""
    front.interfaceopen(pages=50, delay=100, offlineafter=1500)
    front.send("sessionbegin", expect="success")
    kept = os.path.join(front.root, "device.kept")
    shutil.copy(scanner_file(front, "device.xml"), kept)
    front.send("scanbegin", expect="success")
    front.drain()
    deadline = time.time() + 10
    while "deviceoffline" not in front.log() and "Our device isn't online" not in front.log() and \
            time.time() < deadline:
        time.sleep(0.05)
    front.send("scanend")
    assert "Our device isn't online, so we're not going to write device.xml..." in front.log(), front.log()[-3000:]
    assert subprocess.run(["cmp", kept, scanner_file(front, "device.xml")]).returncode == 0
    assert filecmp.cmp(kept, scanner_file(front, "device.xml"), shallow=False)
    front.send("interfaceclose")


# -- bad input ---------------------------------------------------------------------------------------------------
@group
def badinput_serial_numbers(front):
    """Serial numbers that are no directory names write nothing outside the data directory (the scanner's report
    is cleaned to a plain name first)."""
    data = os.path.relpath(data_directory(front), front.root)
    for serial in ("../x", "a/b"):
        before = set(front.files())
        front.interfaceopen(serialnumber=serial)
        front.send("sessionbegin", expect="success")
        front.send("interfaceclose", expect="success")
        added = set(front.files()) - before
        logs = [path for path in added if path == "tasks.log" or any(part.startswith("log")
                                                                     for part in path.split(os.sep)[:-1])]
        written = added - set(logs)
        assert written and all(path.startswith(data + os.sep) for path in written), written
        assert all(os.path.realpath(os.path.join(front.root, path)).startswith(data_directory(front) + os.sep)
                   for path in written), written
    assert not os.path.exists(os.path.join(front.root, "var", drvfront.COMPANY, drvfront.MODEL, "x"))


@group
def badinput_online_held_elsewhere(front):
    """"online" held by another process: logged, and the open still succeeds."""
    online = scanner_file(front, "online")
    os.makedirs(os.path.dirname(online))
    holder = open(online, "a")
    fcntl.flock(holder, fcntl.LOCK_EX)
    try:
        front.interfaceopen()
        front.send("sessionbegin", leaf("monitorbuttonevents", "true"), "notcomplete")
        wait_for_event(front, "opencomplete")
        assert "Failed to create 'online' file..." in front.log(), front.log()[-3000:]
        front.send("getoutput", expect="invalidstate")
        front.send("interfaceclose", expect="success")
    finally:
        holder.close()


class RulesFront(drvfront.Front):
    """The rules fixture's library staged in place of the shipped one."""

    def stage(self, stage):
        super().stage(stage)
        shutil.copy2(os.path.join(RULES_FIXTURE[0], drvfront.LIBRARY), self.library())


if __name__ == "__main__":
    RULES_FIXTURE.extend(os.path.abspath(argument) for argument in sys.argv[3:])
    if sys.argv[2] == "rules":
        drvfront.Front = RulesFront
    drvfront.main(sys.argv)
