"""The settings GUI as a front end meets it: the staged stand-in "twaingui" started by the driver on demand, the
choice of its executable, its readiness, its health checks, its bounce and the answers to its commands.

check_gui.py STAGE GROUP. The stand-in logs to the root (UISTANDIN_LOG): its argv, what it sent and read."""
import os
import shutil
import sys
import time

import drvfront
from drvfront import group, leaf

STANDIN = "twaingui"


def standin_log(front):
    path = os.path.join(front.root, "standin.log")
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [line.rstrip("\n").split("\t") for line in f]


def watch(front, script=""):
    os.environ["UISTANDIN_LOG"] = os.path.join(front.root, "standin.log")
    if script:
        os.environ["UISTANDIN_SCRIPT"] = script


def wait_for(predicate, seconds=10.0):
    end = time.time() + seconds
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()


def argv0(front):
    return [line[2] for line in standin_log(front) if line[0] == "argv" and line[1] == "0"]


def session(front, ui=None):
    front.interfaceopen()
    front.send("sessionbegin", leaf("ui", ui) if ui else "", expect="success")


def uibegin(front):
    return front.send("uibegin", leaf("uimode", "scan"))


def staged(front):
    return os.path.join(front.root, "opt", drvfront.COMPANY, drvfront.MODEL, "lib", STANDIN)


def copy_standin(front, name):
    path = os.path.join(front.root, "guis", name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    shutil.copy2(staged(front), path)
    # The stand-in finds the library beside itself, as staged.
    beside = os.path.join(os.path.dirname(path), drvfront.LIBRARY)
    if not os.path.lexists(beside):
        os.symlink(front.library(), beside)
    return path


def task(task_id, body):
    """A GUI task of the exact length its bytes= says."""
    head = "<task id='%020d' reply='00000000000000000000' bytes='%%020d'>" % task_id
    text = head + body + "</task>"
    length = len(text) - len("%020d") + 20
    return text % length


@group
def begin_uibegin_starts_the_gui(front):
    """uibegin starts the GUI from the home directory; it says uiready and gets a "true" health check about
    every 7 s; uiend and sessionend stop it."""
    watch(front)
    session(front, STANDIN)
    reply = uibegin(front)
    assert reply.status == "success", reply.text
    assert argv0(front) == [staged(front)], standin_log(front)
    assert wait_for(lambda: any(line[0] == "sent" and line[-1] == "uiready" for line in standin_log(front)))
    start = time.time()
    assert wait_for(lambda: any(line[0] == "recv" and line[-1] == "notifydevicestatus"
                                for line in standin_log(front)), 12), standin_log(front)
    assert time.time() - start > 3, "the first health check comes after the idle wait"
    assert "<value>true</value>" in front.log()
    front.send("uiend", expect="success")
    front.send("sessionend", expect="success")
    front.send("interfaceclose", expect="success")
    assert wait_for(lambda: any(line[0] == "exit" for line in standin_log(front))), standin_log(front)


@group
def badcmd_two_commands(front):
    """A task of two commands, the first unknown: "badcmd", then "success", both answering its id."""
    gui_task = task(77, "\n\t<nosuchcommand>\n\t</nosuchcommand>\n\t<uivisible>\n\t</uivisible>\n")
    watch(front, "raw " + gui_task.replace("\n", "\\n").replace("\t", "\\t") + "\n")
    session(front, STANDIN)
    assert uibegin(front).status == "success"
    replies = lambda: [line for line in standin_log(front) if line[0] == "recv" and line[3] == "%020d" % 77]
    assert wait_for(lambda: len(replies()) == 2), standin_log(front)
    log = front.log()
    first = log.find("reply='%020d'" % 77)
    assert first >= 0 and "<status>badcmd</status>" in log[first:first + 300], log[first:first + 300]
    second = log.find("reply='%020d'" % 77, first + 1)
    assert second > first and "<status>success</status>" in log[second:second + 300]
    front.send("interfaceclose", expect="success")


# The simulated scanner's image library in process, as check_scan.py runs its scans.
IN_PROCESS = {"dsIdentity": {"ForceNexilCall": "1"}}


def scanner_commands(front):
    """The scanner's tasks since the last interfaceopen, by command name."""
    names = [line.split("\t")[3] for line in front.tasklog()]
    opens = [index for index, name in enumerate(names) if name == "interfaceopen"]
    return names[opens[-1] if opens else 0:]


def scan_beside_the_gui(front, script):
    """uibegin with the stand-in running the script, then a scan through to scanend; the scanner's tasks."""
    front.configure(IN_PROCESS)
    if os.path.exists(os.path.join(front.root, "standin.log")):
        os.remove(os.path.join(front.root, "standin.log"))
    watch(front)
    os.environ["UISTANDIN_SCRIPT"] = script
    session(front, STANDIN)
    assert uibegin(front).status == "success"
    assert wait_for(lambda: any(line[0] == "sent" and line[-1] == "uiready" for line in standin_log(front)))
    if "uivisible" in script:
        # Answered once the driver took it in: the reply to the stand-in's second task.
        assert wait_for(lambda: any(line[0] == "recv" and line[3] == "%020d" % 2 for line in standin_log(front))), \
            standin_log(front)
    front.send("scanbegin", expect="success")
    front.send("scanend", expect="success")
    names = scanner_commands(front)
    front.send("uiend", expect="success")
    front.send("interfaceclose", expect="success")
    assert wait_for(lambda: any(line[0] == "exit" for line in standin_log(front))), standin_log(front)
    return names


@group
def visible_scanend_keeps_the_reservation(front):
    """The GUI said uivisible: scanend leaves the device reserved for the GUI's dialog."""
    names = scan_beside_the_gui(front, "send uivisible\n")
    assert "resourcebegin" in names, names
    assert "resourceend" not in names, names


@group
def visible_hidden_scanend_gives_it_back(front):
    """Without uivisible scanend ends the reservation the scan took."""
    names = scan_beside_the_gui(front, "")
    assert names.count("resourceend") == 1 and names.index("resourceend") > names.index("scanend"), names


def source_case(front, configure, expect):
    """One source table row: configure(front) sets the sources; expect is the winner's path, or the text the
    log must hold when no GUI starts."""
    watch(front)
    configure(front)
    session(front)
    reply = uibegin(front)
    if expect.startswith("/"):
        assert reply.status == "success", reply.text
        assert argv0(front) == [expect], (argv0(front), expect)
    else:
        assert reply.status == "fail", reply.text
        assert expect in front.log(), expect
        assert argv0(front) == []
    front.send("interfaceclose", expect="success")


def env_source(name):
    def configure(front):
        path = copy_standin(front, name)
        os.environ[name] = path
        front.expected = path
    return configure


@group
def forcetwain_environment(front):
    env_source("PMX_FORCETWAINGUI")(front)
    source_case(front, lambda f: None, front.expected)


@group
def forcegui_environment(front):
    env_source("PMX_FORCEGUI")(front)
    source_case(front, lambda f: None, front.expected)


@group
def cfgtwain_setting(front):
    path = copy_standin(front, "cfgtwain")
    front.configure({"dsIdentity": {"ForceTwaingui": path}})
    source_case(front, lambda f: None, path)


@group
def cfggui_setting(front):
    path = copy_standin(front, "cfggui")
    front.configure({"dsIdentity": {"ForceGUI": path}})
    source_case(front, lambda f: None, path)


@group
def fullpath_model_ui(front):
    """The model's "ui" key naming a full path; "twaingui" is the staged one (begin)."""
    path = copy_standin(front, "fullpath")
    watch(front)
    session(front, path)
    assert uibegin(front).status == "success"
    assert argv0(front) == [path]
    front.send("interfaceclose", expect="success")


@group
def none_no_gui(front):
    """"NONE" in any case, and a missing file: no GUI, uibegin fails."""
    watch(front)
    session(front, "NONE")
    assert uibegin(front).status == "fail"
    assert "gui>>> TWAIN GUI set to 'none'..." in front.log()
    assert argv0(front) == []
    front.send("interfaceclose", expect="success")


@group
def missing_file(front):
    watch(front)
    missing = os.path.join(front.root, "nowhere", "gui")
    session(front, missing)
    assert uibegin(front).status == "fail"
    assert "gui>>> TWAIN GUI executable (%s) not found! GUI will not be loaded" % missing in front.log()
    assert argv0(front) == []
    front.send("interfaceclose", expect="success")


@group
def several_sources(front):
    """Several at once: the environment's PMX_FORCEGUI beats the settings and the model's key."""
    winner = copy_standin(front, "winner")
    loser = copy_standin(front, "loser")
    front.configure({"dsIdentity": {"ForceTwaingui": loser, "ForceGUI": loser}})
    os.environ["PMX_FORCEGUI"] = winner
    watch(front)
    session(front, STANDIN)
    assert uibegin(front).status == "success"
    assert argv0(front) == [winner]
    front.send("interfaceclose", expect="success")


@group
def delay_sessionbegin_starts_the_gui(front):
    """ForceGuiDelay 1: sessionbegin starts the GUI before any uibegin."""
    front.configure({"dsIdentity": {"ForceGuiDelay": "1"}})
    watch(front)
    session(front, STANDIN)
    assert "StartGui() called" in front.log()
    assert wait_for(lambda: argv0(front) == [staged(front)]), standin_log(front)
    front.send("interfaceclose", expect="success")


def pids(front):
    return [line for line in standin_log(front) if line[0] == "env" and line[1] == "PMX_UISOCKETS"]


@group
def bounce_uiend_restarts(front):
    """ForceGuiBounce 1: uiend stops the child; the next uibegin starts a new one."""
    front.configure({"dsIdentity": {"ForceGuiBounce": "1"}})
    watch(front)
    session(front, STANDIN)
    assert uibegin(front).status == "success"
    front.send("uiend", expect="success")
    assert wait_for(lambda: any(line[0] == "exit" for line in standin_log(front))), standin_log(front)
    assert uibegin(front).status == "success"
    assert wait_for(lambda: len(argv0(front)) == 2), standin_log(front)
    front.send("uiend", expect="success")
    front.send("interfaceclose", expect="success")


@group
def nobounce_child_stays(front):
    """The default (2): uiend leaves the child running; the next uibegin uses it."""
    watch(front)
    session(front, STANDIN)
    assert uibegin(front).status == "success"
    front.send("uiend", expect="success")
    time.sleep(0.5)
    assert not any(line[0] == "exit" for line in standin_log(front))
    assert uibegin(front).status == "success"
    assert len(argv0(front)) == 1
    front.send("uiend", expect="success")
    front.send("interfaceclose", expect="success")


def captured(front):
    """The tasks the stand-in read, in order (UISTANDIN_CAPTURE)."""
    directory = os.path.join(front.root, "capture")
    # A ".part" is a task still being written.
    return [open(os.path.join(directory, name), encoding="utf-8").read()
            for name in sorted(os.listdir(directory)) if name.endswith(".xml")]


def fresh_capture(front):
    """The stand-in's log and kept tasks start empty; it keeps every task it reads."""
    directory = os.path.join(front.root, "capture")
    shutil.rmtree(directory, ignore_errors=True)
    os.makedirs(directory)
    os.environ["UISTANDIN_CAPTURE"] = directory
    if os.path.exists(os.path.join(front.root, "standin.log")):
        os.remove(os.path.join(front.root, "standin.log"))
    watch(front)


def commands(lines):
    """The kind and command of each line of the stand-in's log (its environment left out)."""
    return [(line[0], line[-1]) for line in lines if line[0] in ("recv", "sent", "exit", "argv")]


def multifeed_scan(front, config=None):
    """A scan with a multifeed at sheet 2, indicators on for info and error, no uibegin: the statuses getoutput
    gave and the time it gave "multifeed"."""
    front.configure(dict(IN_PROCESS, **(config or {})))
    fresh_capture(front)
    front.interfaceopen(pages=3, multifeed=2)
    front.send("sessionbegin", leaf("ui", STANDIN), expect="success")
    front.send("set", leaf("id", "indicators") + leaf("valuecurrent", "true"), expect="success")
    front.send("set", leaf("id", "indicatorsmode") + leaf("valuecurrent", "info") +
               "<enum>%s</enum>" % (leaf("value", "info") + leaf("value", "error")), expect="success")
    front.send("scanbegin", expect="success")
    statuses, when = [], None
    for _ in range(2000):
        reply = front.send("getoutput")
        if reply.status == "noimageready":
            time.sleep(0.01)
            continue
        statuses.append(reply.status)
        if reply.status != "success":
            when = time.time()
            break
        front.send("imageend", leaf("imagefilename", reply.find("reportimage/imagefilename")))
    return statuses, when


@group
def messages_multifeed(front):
    """The multifeed reaches the GUI the scan started for the indicators: the scanning dialog opens (dialogshow)
    before the multifeed update with "ok"; getoutput answers "multifeed" only after the stand-in's button."""
    statuses, when = multifeed_scan(front)
    assert statuses[-1] == "multifeed", statuses
    tasks = captured(front)
    opened = [i for i, t in enumerate(tasks) if "<dialogshow>" in t and "<dialogtype>scanning</dialogtype>" in t]
    update = [i for i, t in enumerate(tasks) if "<messagetype>multifeed</messagetype>" in t]
    assert opened and update and opened[0] < update[0], [t[90:200] for t in tasks]
    assert "<buttons>ok</buttons>" in tasks[update[0]], tasks[update[0]]
    # The scan's start: the first message of the scanning dialog and one scanning check.
    assert any("<messagetype>initializing</messagetype>" in t for t in tasks[:update[0]]), tasks
    assert any("<id>scansource</id>" in t and "<id>imagestransferred</id>" in t for t in tasks), tasks
    # The stand-in's answer to the multifeed came before getoutput's "multifeed".
    names = sorted(os.listdir(os.path.join(front.root, "capture")))
    multifeed_id = names[update[0]][:-len(".xml")]
    lines = standin_log(front)
    read = [i for i, line in enumerate(lines) if line[0] == "recv" and line[2] == multifeed_id]
    answered = [line for line in lines[read[0]:] if line[0] == "sent" and line[-1] == "dialogcleared"]
    assert answered, commands(lines)
    assert int(answered[0][1]) <= when * 1000, (answered[0], when)
    front.send("scanend", expect="success")
    front.send("interfaceclose", expect="success")
    assert wait_for(lambda: any(line[0] == "exit" for line in standin_log(front))), standin_log(front)


@group
def messages_warmup(front):
    """The simulated scanner's lamp warm-up reaches the GUI through the engine's message procedure: the warm-up
    update carries the seconds left (the GUI counts them down) and a cancel button."""
    front.configure(IN_PROCESS)
    fresh_capture(front)
    front.interfaceopen(pages=1, warmup=4000)
    front.send("sessionbegin", leaf("ui", STANDIN), expect="success")
    front.send("set", leaf("id", "indicators") + leaf("valuecurrent", "true"), expect="success")
    front.send("set", leaf("id", "indicatorsmode") + leaf("valuecurrent", "warmup") +
               "<enum>%s</enum>" % leaf("value", "warmup"), expect="success")
    front.send("scanbegin", expect="success")
    for _ in range(2000):
        reply = front.send("getoutput")
        if reply.status == "success":
            front.send("imageend", leaf("imagefilename", reply.find("reportimage/imagefilename")))
        elif reply.status != "noimageready":
            break
        time.sleep(0.01)
    timeouts = [int(t.split("<messagetimeout>")[1].split("<")[0]) for t in captured(front)
                if "<messagetype>warmup</messagetype>" in t]
    assert timeouts and 1 <= timeouts[0] <= 4, timeouts
    assert all("<buttons>cancel</buttons>" in t for t in captured(front) if "<messagetype>warmup<" in t)
    front.send("scanend", expect="success")
    front.send("interfaceclose", expect="success")


@group
def messages_bounce(front):
    """ForceGuiBounce 1: scanend's clearing of the scanning dialog stops the GUI the indicators started and
    answers "success"; the next multifeed starts a new child."""
    statuses, _ = multifeed_scan(front, {"dsIdentity": {"ForceGuiBounce": "1"}})
    assert statuses[-1] == "multifeed", statuses
    front.send("scanend", expect="success")
    assert wait_for(lambda: any(line[0] == "exit" for line in standin_log(front))), commands(standin_log(front))
    front.send("scanbegin", expect="success")
    for _ in range(2000):
        reply = front.send("getoutput")
        if reply.status == "success":
            front.send("imageend", leaf("imagefilename", reply.find("reportimage/imagefilename")))
        elif reply.status != "noimageready":
            break
        time.sleep(0.01)
    assert reply.status == "multifeed", reply.text
    assert len(argv0(front)) == 2, commands(standin_log(front))
    front.send("scanend", expect="success")
    front.send("interfaceclose", expect="success")


if __name__ == "__main__":
    drvfront.main(sys.argv)
