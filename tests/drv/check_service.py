"""The service commands as a front end sends them: the staged library loaded through ctypes (drvfront), a
session begun on the simulated scanner with its image library in process, a throwaway root.

    check_service.py STAGE GROUP [RULES_FIXTURE_DIR]

Groups: calibrate (what the default database offers: no calibration type, so the begin fails and gives the
reservation back), diagnostic, download, meters, autocolor (custom colour content is not offered, so nothing
is learnt), ecdocustom (the request family through the image library), ecdoanswer (image-library answers
that cannot be rebuilt whole), cycle (a diagnostic set to "cycle") and fixture (the rules fixture's library,
whose database offers calibration types and more diagnostics; its directory follows the group). What a scanner
received is read from its task log; the diagnostic thread's periods from the times it stamps."""
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf  # noqa: E402

# The image library in process, as the driver loads it for a front end that asks for it.
IN_PROCESS = {"dsIdentity": {"ForceNexilCall": "1"}}
RULES_FIXTURE = []  # the rules fixture's directory, given after the group


def nexil_log(front):
    return os.path.join(front.root, "nexil.log")


def begin(front, **knobs):
    """A session begun with the image library's knobs (read when it loads) and its task log in the root."""
    front.configure(IN_PROCESS)
    for name in [n for n in os.environ if n.startswith("NEXSIM_")]:
        del os.environ[name]
    os.environ.update(NEXSIM_TASKLOG=nexil_log(front), **knobs)
    front.interfaceopen()
    front.send("sessionbegin", expect="success")


def end(front):
    front.send("interfaceclose", expect="success")


def commands(front):
    """The scanner's tasks since the last interfaceopen: (command, arguments, status word) each."""
    lines = [line.split("\t") for line in front.tasklog()]
    opens = [index for index, fields in enumerate(lines) if fields[3] == "interfaceopen"]
    return [(fields[3], fields[4:-1], fields[-1]) for fields in lines[opens[-1] if opens else 0:]]


def device_tasks(front):
    """The tasks but the lock each request takes and gives back."""
    return [task for task in commands(front) if task[0] not in ("resourcelock", "resourceunlock")]


def count(front, command):
    return [name for name, _, _ in commands(front)].count(command)


def nexil_requests(front, command):
    """The image library's requests of that command, as "unit argument..." texts, since its log began."""
    if not os.path.exists(nexil_log(front)):
        return []
    with open(nexil_log(front), errors="replace") as f:
        lines = [line.rstrip("\n").split("\t") for line in f]
    return [" ".join([fields[1]] + fields[4:-1]) for fields in lines if len(fields) > 4 and fields[3] == command]


def refused_in(front, state_commands):
    """Each command answers invalidstate: the state machine did not move into its mode."""
    for command in state_commands:
        front.send(command, expect="invalidstate")


# -- calibration -----------------------------------------------------------------------------------------------
@group
def calibrate_unoffered_type(front):
    """Without a calibration type the scanner offers, calibratebegin fails with its report (no time-out told),
    sends no calibration task, gives the reservation back, and the session stays out of Calibrate."""
    begin(front)
    reply = front.send("calibratebegin", expect="fail")
    assert reply.find("reportcalibrate/calibrationtimeout") == "-1", reply.text
    assert count(front, "calibratebegin") == 0, commands(front)
    assert count(front, "resourcebegin") == count(front, "resourceend") == 1, commands(front)
    refused_in(front, ("calibraterun", "calibratestatus", "calibrateend"))
    assert count(front, "calibraterun") == count(front, "calibrateend") == 0, commands(front)
    front.get("imageresolutionx", expect="success")
    end(front)


@group
def calibrate_type_refused(front):
    """A calibration type, known or not, cannot be set while the scanner offers none: calibratebegin and
    calibratereset fail before the scanner is reserved or asked."""
    begin(front)
    for calibration_type in ("image", "nosuchtype"):
        front.send("calibratebegin", leaf("calibrationtype", calibration_type), "fail")
        front.send("calibratereset", leaf("calibrationtype", calibration_type), "fail")
    assert front.log().count("hdbdatum is null...") == 4
    assert count(front, "resourcebegin") == count(front, "calibratereset") == 0, commands(front)
    refused_in(front, ("calibratestatus",))
    end(front)


# -- diagnostics -----------------------------------------------------------------------------------------------
@group
def diagnostic_mode(front):
    """diagnosticbegin enters the mode, a run reports the scanner's type and value, the end leaves it; each run
    is a begin, the run and an end of its own inside the mode."""
    begin(front)
    refused_in(front, ("diagnosticrun",))
    front.send("diagnosticbegin", expect="success")
    refused_in(front, ("diagnosticbegin", "calibratebegin", "downloadbegin"))
    run = leaf("diagnostictype", "diaglampfront") + leaf("diagnosticvalue", "on")
    reply = front.send("diagnosticrun", run, "success")
    assert reply.find("reportdiagnostic/diagnostictype") == "diaglampfront", reply.text
    assert reply.find("reportdiagnostic/diagnosticvalue") == "on", reply.text
    front.send("diagnosticend", expect="success")
    refused_in(front, ("diagnosticrun",))
    tasks = [(name, arguments) for name, arguments, _ in commands(front) if name.startswith("diagnostic")]
    assert tasks == [("diagnosticbegin", []), ("diagnosticbegin", []),
                     ("diagnosticrun", ["diagnostictype=diaglampfront", "diagnosticvalue=on"]),
                     ("diagnosticend", []), ("diagnosticend", [])], tasks
    end(front)


@group
def diagnostic_without_type(front):
    """A run without a type is badvalue and reaches no scanner; the type of an earlier run is not taken; a run the
    scanner fails answers fail and the mode goes on."""
    begin(front)
    front.send("diagnosticbegin", expect="success")
    front.send("diagnosticrun", leaf("diagnosticvalue", "on"), "badvalue")
    assert "diagnosticrun without diagnostictype..." in front.log()
    front.send("diagnosticrun", leaf("diagnostictype", "diaglampfront") + leaf("diagnosticvalue", "on"), "success")
    front.send("diagnosticrun", leaf("diagnosticvalue", "on"), "badvalue")
    front.send("diagnosticrun", leaf("diagnostictype", "diagrearexit"), "fail")
    assert count(front, "diagnosticrun") == 2, commands(front)
    front.send("diagnosticend", expect="success")
    end(front)


def open_session(front, **flags):
    """A session begun on the scanner with its simflags, the image library in process."""
    front.configure(IN_PROCESS)
    front.interfaceopen(**flags)
    front.send("sessionbegin", expect="success")


def set_value(front, diagnostic_type, value):
    """A diagnostic's value set through a run: the scanner reports it back into the database."""
    reply = front.send("diagnosticrun", leaf("diagnostictype", diagnostic_type) + leaf("diagnosticvalue", value),
                       "success")
    assert reply.find("reportdiagnostic/diagnosticvalue") == value, reply.text


def runs(front, diagnostic_type):
    """The diagnosticrun tasks of that type since the last interfaceopen: (ms since the epoch, value)."""
    found = []
    for line in front.tasklog():
        fields = line.split("\t")
        if fields[3] == "interfaceopen":
            found = []
        elif fields[3] == "diagnosticrun" and "diagnostictype=" + diagnostic_type in fields[4:-1]:
            values = [field.split("=", 1)[1] for field in fields[4:-1] if field.startswith("diagnosticvalue=")]
            found.append((int(fields[0]), values[0] if values else None))
    return found


def check_cycle(front, diagnostic_type, period, seconds):
    """Set to "cycle" inside the mode: the scanner hears the value toggle one period after the set, then every
    period (within 300 ms), between the diagnostic's two values; the end of the mode stops it. (A run of
    another value does not: what the scanner reports of a cycling diagnostic keeps it cycling.)"""
    front.send("diagnosticbegin", expect="success")
    set_value(front, diagnostic_type, "cycle")
    set_at = time.time() * 1000
    time.sleep(seconds)
    front.send("diagnosticend", expect="success")
    toggles = runs(front, diagnostic_type)
    time.sleep(period / 1000 + 0.5)
    assert runs(front, diagnostic_type) == toggles, (toggles, runs(front, diagnostic_type))
    assert toggles[0][1] == "cycle", toggles
    toggles = toggles[1:]
    assert len(toggles) == int(seconds * 1000 // period), toggles
    for index, (stamp, _) in enumerate(toggles):
        assert abs(stamp - set_at - period * (index + 1)) <= 300, (index, stamp - set_at, toggles)
    values = [value for _, value in toggles]
    assert len(set(values)) == 2 and all(values[i] != values[i + 1] for i in range(len(values) - 1)), values
    # A new mode begins with the diagnostic at its default: nothing cycles.
    front.send("diagnosticbegin", expect="success")
    time.sleep(period / 1000 + 0.5)
    front.send("diagnosticend", expect="success")
    assert len(runs(front, diagnostic_type)) == len(toggles) + 1, runs(front, diagnostic_type)


@group
def cycle_lamp_every_three_seconds(front):
    """diaglampfront, which the shipped database offers, toggles between off and on every 3 s."""
    open_session(front)
    check_cycle(front, "diaglampfront", 3000, 9.5)
    assert {value for _, value in runs(front, "diaglampfront")[1:]} == {"on", "off"}
    end(front)


# -- the rules fixture's database: calibration types and the other diagnostics ---------------------------------
@group
def fixture_calibration_runs_on_its_thread(front):
    """calibratebegin, calibraterun and calibrateend reach the scanner once each, in that order; calibratestatus
    answers busy while the scanner calibrates, then success."""
    open_session(front, caldelay="2000")
    front.send("calibratebegin", leaf("calibrationtype", "image"), "success")
    front.send("calibraterun", expect="success")
    assert front.send("calibratestatus").status == "busy"
    deadline = time.time() + 20
    status = "busy"
    while status == "busy" and time.time() < deadline:
        time.sleep(0.1)
        status = front.send("calibratestatus").status
    assert status == "success", status
    front.send("calibrateend", expect="success")
    calibrations = [name for name, _, _ in commands(front) if name.startswith("calibrate")]
    assert calibrations == ["calibratebegin", "calibraterun", "calibrateend"], calibrations
    end(front)


@group
def fixture_elevator_every_six_seconds(front):
    """diagelevator, which the fixture's database offers, toggles every 6 s."""
    open_session(front)
    check_cycle(front, "diagelevator", 6000, 12.5)
    end(front)


class RulesFront(drvfront.Front):
    """The rules fixture's library staged in place of the shipped one."""

    def stage(self, stage):
        super().stage(stage)
        shutil.copy2(os.path.join(RULES_FIXTURE[0], drvfront.LIBRARY), self.library())


# -- firmware download -----------------------------------------------------------------------------------------
def datafile(path, size, offset="0"):
    return leaf("datafile", leaf("filename", path) + leaf("datasize", size) + leaf("dataoffset", offset))


def firmware(front, size):
    path = os.path.join(front.root, "firmware.bin")
    with open(path, "wb") as f:
        f.write(b"f" * size)
    return path


@group
def download_whole(front):
    """A download from begin to end reaches the scanner with the file and its size; the mode then ends."""
    begin(front)
    path = firmware(front, 4096)
    front.send("downloadbegin", datafile(path, "4096"), "success")
    refused_in(front, ("downloadbegin", "diagnosticbegin"))
    front.send("downloadrun", expect="success")
    front.send("downloadend", expect="success")
    refused_in(front, ("downloadrun", "downloadend"))
    assert count(front, "downloadbegin") == count(front, "downloadrun") == count(front, "downloadend") == 1
    end(front)


@group
def download_bad_numbers(front):
    """A size or offset that is no count of bytes in 31 bits is badvalue, sends nothing and enters no mode; a
    begin the scanner refuses still enters Download, and its end is then refused by the scanner."""
    begin(front)
    path = firmware(front, 10)
    for size, offset in (("-1", "0"), ("99999999999", "0"), ("4294967306", "0"), ("10", "-5"), ("", "0")):
        front.send("downloadbegin", datafile(path, size, offset), "badvalue")
        refused_in(front, ("downloadend",))
    assert "bad number for <datasize>...<99999999999>" in front.log()
    assert count(front, "downloadbegin") == 0, commands(front)
    front.send("downloadbegin", datafile(path, "11"), "fail")
    assert count(front, "downloadbegin") == 1, commands(front)
    assert front.send("downloadend").status != "success"
    refused_in(front, ("downloadend",))
    end(front)


# -- consumable meters -----------------------------------------------------------------------------------------
METER = leaf("consumablemetertype", "feedroller") + leaf("value", "3")


def meters(front):
    """The meters' reply, checked to be the scanner's meter text."""
    reply = front.send("getconsumablemeters", expect="success")
    values = {meter.findtext("consumablemetertype"): meter.findtext("value")
              for meter in reply.root.findall("reportconsumablemeters/consumablemeter")}
    assert set(values) == {"feedroller", "separationpad"}, reply.text
    return values


@group
def meters_every_state(front):
    """The meters pass in Initialized, Diagnostic and Download: set and reset reach the scanner with their
    content and the next read shows them."""
    begin(front)
    assert meters(front) == {"feedroller": "0", "separationpad": "0"}
    path = firmware(front, 16)
    for mode, leave in ((None, None), ("diagnosticbegin", "diagnosticend"), ("downloadbegin", "downloadend")):
        if mode:
            front.send(mode, datafile(path, "16") if mode == "downloadbegin" else "", "success")
        front.send("setconsumablemeter", METER, "success")
        assert meters(front)["feedroller"] == "3"
        front.send("resetconsumablemeter", leaf("consumablemetertype", "feedroller"), "success")
        assert meters(front)["feedroller"] == "0"
        if leave:
            front.send(leave, expect="success")
    sets = [arguments for name, arguments, _ in commands(front) if name == "setconsumablemeter"]
    assert sets == [["consumablemetertype=feedroller", "value=3"]] * 3, sets
    front.send("setconsumablemeter", leaf("consumablemetertype", "lamp") + leaf("value", "3"), "fail")
    assert "SetConsumableMeter failed" in front.log()
    end(front)


# -- colour learning -------------------------------------------------------------------------------------------
@group
def autocolor_not_custom(front):
    """Without custom colour content autocolorlearn is notavailable, said in the debug log, and reaches no
    scanner."""
    begin(front)
    before = len(device_tasks(front))
    front.send("autocolorlearn", expect="notavailable")
    assert "autocolorlearn only supported for custom color content" in front.log()
    assert len(device_tasks(front)) == before, device_tasks(front)[before:]
    front.get("imageresolutionx", expect="success")
    end(front)


# -- the ecdocustom requests -----------------------------------------------------------------------------------
@group
def ecdocustom_family(front):
    """ecdocustombegin reaches the feeder's image library alone (no flatbed, no device manager), its answer is
    rebuilt as the reply; content of 7 characters or fewer goes as an empty element; the learning pass fails
    without a GUI; a request outside the mode is invalidstate."""
    begin(front)
    refused_in(front, ("ecdocustomsave",))
    reply = front.send("ecdocustombegin", expect="success")
    assert reply.find("reportecdocustom/ecdo") == "file06", reply.text
    assert nexil_requests(front, "ecdocustombegin") == ["adf"], nexil_requests(front, "ecdocustombegin")
    assert count(front, "ecdocustombegin") == 0, commands(front)
    front.send("ecdocustomsave", "<a></a>", "success")
    front.send("ecdocustomsave", "<a>12</a>", "success")
    front.send("ecdocustomsave", "<name>longer</name>", "success")
    saves = nexil_requests(front, "ecdocustomsave")
    assert saves == ["adf", "adf a=12", "adf name=longer"], saves
    front.send("ecdocustomlearnvariability", expect="fail")
    assert nexil_requests(front, "ecdocustomlearnvariability") == []
    front.send("getecdocustom", expect="success")
    front.send("ecdocustomend", expect="success")
    refused_in(front, ("ecdocustomsave",))
    end(front)


@group
def ecdoanswer_unreadable(front):
    """Image-library answers that cannot be rebuilt whole fail the begin, never reach the front end cut, and the
    session stays out of the mode; each session loads the library with its knob. One just inside the buffer
    passes whole."""
    cases = (({"NEXSIM_ECDOCUSTOMCUT": "1"}, "Fail to DocumentLoad..."),
             ({"NEXSIM_ECDOCUSTOMNOSTATUS": "1"}, "Fail to get the <reportstatus>..."),
             ({"NEXSIM_ECDOCUSTOMPAD": "131072"}, "answer element too large"))
    for knobs, line in cases:
        begin(front, **knobs)
        reply = front.send("ecdocustombegin", expect="fail")
        assert "nexsimpad" not in reply.text and line in front.log(), (knobs, reply.text)
        refused_in(front, ("ecdocustomsave",))
        end(front)
    begin(front, NEXSIM_ECDOCUSTOMPAD="60000")
    reply = front.send("ecdocustombegin", expect="success")
    assert reply.find(".//nexsimpad") == "x" * 60000, len(reply.text)
    front.send("ecdocustomend", expect="success")
    end(front)
    assert nexil_requests(front, "ecdocustombegin") == ["adf"] * 4


if __name__ == "__main__":
    RULES_FIXTURE.extend(os.path.abspath(argument) for argument in sys.argv[3:])
    if sys.argv[2] == "fixture":
        drvfront.Front = RulesFront
    drvfront.main(sys.argv)
