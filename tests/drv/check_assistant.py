"""The driver assistant as a front end meets it: the staged stand-in "drvassistui" (the user-interface stand-in in
its assistant role) started by the driver for a scan, or none at all, while the simulated scanner asks the user
what to do.

check_assistant.py STAGE GROUP. The stand-in logs to the root (UISTANDIN_LOG) and keeps every task it read
(UISTANDIN_TASKS); what the scanner received is read from its task log.

Groups: none (no assistant: the user action goes to the scanner as user input), press (the operator panel's user
action brings the assistant up: it shows the sheet, and its answer reaches the scanner), multifeed (an interactive
multifeed shown and decided, with and without an assistant), labels (the session's labels), dead (an assistant
that dies in the middle of a show)."""
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group  # noqa: E402


def watch(front):
    """The stand-in's log and tasks, fresh for the case (the cases of a group share the root)."""
    os.environ["UISTANDIN_LOG"] = os.path.join(front.root, "standin.log")
    os.environ["UISTANDIN_TASKS"] = os.path.join(front.root, "standin-tasks")
    if os.path.exists(os.environ["UISTANDIN_LOG"]):
        os.remove(os.environ["UISTANDIN_LOG"])
    shutil.rmtree(os.environ["UISTANDIN_TASKS"], ignore_errors=True)
    os.makedirs(os.environ["UISTANDIN_TASKS"])


def standin_log(front):
    path = os.path.join(front.root, "standin.log")
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [line.rstrip("\n").split("\t") for line in f if line.endswith("\n")]


def standin_read(front):
    """The commands the assistant read, in order."""
    return [line[6] for line in standin_log(front) if line[0] == "recv"]


def wait_for(predicate, seconds=20.0):
    end = time.time() + seconds
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.02)
    return predicate()


def assistants():
    """This process's children (live or not yet reaped) that are assistants."""
    found = []
    for pid in drvfront.children():
        try:
            with open("/proc/%d/comm" % pid) as f:
                if f.read().strip() == "drvassistui":
                    found.append(pid)
        except OSError:
            pass
    return found


def scanner_tasks(front):
    return [line.split("\t") for line in front.tasklog()]


def drain(front, limit=3000):
    """getoutput until the batch ends: the statuses in order (each image ended once handed out)."""
    statuses = []
    for _ in range(limit):
        reply = front.send("getoutput")
        if reply.status == "noimageready":
            time.sleep(0.01)
            continue
        statuses.append(reply.status)
        if reply.status == "success":
            name = reply.find("reportimage/imagefilename")
            front.send("imageend", drvfront.leaf("imagefilename", name), expect="success")
            continue
        if reply.status not in ("endofsheet", "useraction"):
            return statuses
    raise AssertionError("the batch did not end: %s" % statuses)


def scan_press(front, **flags):
    """Three sheets, the second the operator panel's user action: scanbegin, getoutput to the end, scanend."""
    front.interfaceopen(pages="3", useraction="2:press", **flags)
    front.send("sessionbegin", expect="success")
    front.send("scanbegin", expect="success")
    statuses = drain(front)
    front.send("scanend", expect="success")
    return statuses


def userinputs(front):
    """The scanner's userinput tasks since the last interfaceopen."""
    tasks = scanner_tasks(front)
    opens = [index for index, line in enumerate(tasks) if line[3] == "interfaceopen"]
    return [line for line in tasks[opens[-1] if opens else 0:] if line[3] == "userinput"]


@group
def none_press_reaches_scanner(front):
    """No assistant ("none"): the user action is taken, no "useraction" reaches the front end, the scanner gets
    the user's input "press", and the batch ends "endofoutput"; no child was started."""
    front.configure({"dsIdentity": {"ForceDrvassistui": "none"}})
    watch(front)
    # The simulated scanner goes on after a "press" without waiting for the input: the next sheet comes late
    # enough for the user's input to reach it while the job runs.
    statuses = scan_press(front, delay="300")
    assert "useraction" not in statuses and statuses[-1] == "endofoutput", statuses
    assert statuses.count("success") == 4, statuses
    inputs = userinputs(front)
    assert len(inputs) == 1 and "useraction=press" in inputs[0], inputs
    assert standin_log(front) == [], standin_log(front)
    assert "assistant>>> DRV_CFGTAGLOCAL_FORCE_DRVASSISTUI...<none>" in front.log()
    front.send("interfaceclose", expect="success")


@group
def press_assistant_shows_and_answers(front):
    """The staged assistant comes up at the user-action record: it is spawned with its own channels, reads
    interfaceopen, its session, the show of the sheet and its end; its answer "continue" reaches the scanner as
    user input; the sheets before and after reach the front end, the user action does not; at scanend it reads
    interfaceclose and ends, reaped; the next scan starts a new one."""
    watch(front)
    statuses = scan_press(front, delay="300")
    assert "useraction" not in statuses and statuses[-1] == "endofoutput", statuses
    assert statuses.count("success") == 4, statuses
    read = standin_read(front)
    assert read[:5] == ["interfaceopen", "sessionbegin", "showbegin", "showimage", "showend"], read
    assert read[-1] == "interfaceclose", read
    inputs = userinputs(front)
    assert len(inputs) == 1 and "useraction=continue" in inputs[0], inputs
    argv = [line for line in standin_log(front) if line[0] == "argv"]
    assert argv[0][2].endswith("/drvassistui"), argv
    env = dict((line[1], line[2]) for line in standin_log(front) if line[0] == "env")
    sockets = env.get("PMX_UISOCKETS", "")
    assert "<drv2gui>" in sockets and "<gui2drv>" in sockets, env
    exits = [line for line in standin_log(front) if line[0] == "exit"]
    assert len(exits) == 1 and exits[0][3] == "the exit task", exits
    assert assistants() == [], assistants()
    # The session-begin task is a document xmllint reads.
    tasks = os.environ["UISTANDIN_TASKS"]
    session = [name for name in sorted(os.listdir(tasks)) if name.endswith("-sessionbegin.xml")]
    assert len(session) == 1, os.listdir(tasks)
    out = subprocess.run(["xmllint", "--noout", os.path.join(tasks, session[0])], capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    # The next scan: a new child.
    front.send("scanbegin", expect="success")
    drain(front)
    front.send("scanend", expect="success")
    assert len([line for line in standin_log(front) if line[0] == "exit"]) == 2, standin_log(front)
    assert assistants() == [], assistants()
    front.send("interfaceclose", expect="success")


def scan_multifeed(front, limit=None, **flags):
    """Four sheets, an interactive multifeed at the second: scanbegin, getoutput to the end (or for a time),
    scanend. The statuses, and the image files the front end got."""
    front.interfaceopen(pages="4", multifeed="2", interactivemultifeed="true", delay="100", **flags)
    front.send("sessionbegin", expect="success")
    front.send("scanbegin", expect="success")
    if limit is None:
        statuses = drain(front)
    else:
        statuses = []
        end = time.time() + limit
        while time.time() < end:
            reply = front.send("getoutput")
            if reply.status == "noimageready":
                time.sleep(0.01)
                continue
            statuses.append(reply.status)
            if reply.status == "success":
                front.send("imageend", drvfront.leaf("imagefilename", reply.find("reportimage/imagefilename")))
    front.send("scanend", expect="success")
    return statuses


def shown_files(front):
    """The image files the assistant was shown."""
    tasks = os.environ["UISTANDIN_TASKS"]
    files = []
    for name in sorted(os.listdir(tasks)):
        if name.endswith("-showimage.xml"):
            with open(os.path.join(tasks, name)) as f:
                text = f.read()
            files.append(text[text.index("<imagefilename>") + 15:text.index("</imagefilename>")])
    return files


@group
def multifeed_continue(front):
    """The assistant shows the multifeed sheet (one showimage per image, each file gone once the assistant ended
    it), and its "continue" reaches the scanner once: sheets 3 and 4 reach the front end,
    sheet 2 never does, and no user action either."""
    watch(front)
    statuses = scan_multifeed(front)
    assert statuses.count("success") == 6 and "useraction" not in statuses, statuses
    assert statuses[-1] == "endofoutput", statuses
    read = standin_read(front)
    assert read[:4] == ["interfaceopen", "sessionbegin", "showbegin", "showimage"], read
    # The scanner's question goes to the assistant unless its answer came first.
    assert read.count("showimage") == 2 and read.count("showend") == 1 and read.count("userinput") <= 1, read
    inputs = userinputs(front)
    assert len(inputs) == 1 and "useraction=continue" in inputs[0], inputs
    files = shown_files(front)
    assert len(files) == 2 and not any(os.path.exists(name) for name in files), files
    assert assistants() == [], assistants()
    front.send("interfaceclose", expect="success")


@group
def multifeed_endofjob(front):
    """The user's "endofjob" ends the batch at the multifeed sheet: only sheet 1 reaches the front end."""
    watch(front)
    os.environ["UISTANDIN_DECISION"] = "endofjob"
    statuses = scan_multifeed(front)
    del os.environ["UISTANDIN_DECISION"]
    assert statuses.count("success") == 2 and statuses[-1] == "endofoutput", statuses
    inputs = userinputs(front)
    assert len(inputs) == 1 and "useraction=endofjob" in inputs[0], inputs
    front.send("interfaceclose", expect="success")


@group
def multifeed_none(front):
    """Without an assistant the shown sheet is taken and ended, the question reaches the scanner as the user's
    input, and the scan ends normally with sheets 1, 3 and 4."""
    front.configure({"dsIdentity": {"ForceDrvassistui": "none"}})
    watch(front)
    statuses = scan_multifeed(front)
    assert statuses.count("success") == 6 and "useraction" not in statuses, statuses
    assert statuses[-1] == "endofoutput", statuses
    assert len(userinputs(front)) == 1, userinputs(front)
    assert os.listdir(front.images()) == [], os.listdir(front.images())
    assert standin_log(front) == [], standin_log(front)
    front.send("interfaceclose", expect="success")


def sessionbegin_text():
    tasks = os.environ["UISTANDIN_TASKS"]
    names = [name for name in sorted(os.listdir(tasks)) if name.endswith("-sessionbegin.xml")]
    assert len(names) == 1, os.listdir(tasks)
    path = os.path.join(tasks, names[0])
    out = subprocess.run(["xmllint", "--noout", path], capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    with open(path) as f:
        return f.read()


@group
def labels_all(front):
    """An empty getlabels: the session-begin task carries every label whose name is an element name, whole
    (xmllint reads it; its byte count is its length), beside the language, the main form and the model; a label
    name that is none ("enum_ecdo_(none)") is left out, logged once."""
    watch(front)
    os.environ["UISTANDIN_GETLABELS"] = "*"
    scan_press(front)
    del os.environ["UISTANDIN_GETLABELS"]
    text = sessionbegin_text()
    root = drvfront.ET.fromstring(text)
    session = root.find("sessionbegin")
    labels = session.find("reportlabels")
    assert labels is not None and len(labels) > 1000, text[:2000]
    assert len(text.encode()) > 114141, len(text.encode())
    assert session.find("mainform") is not None and "%s" not in session.find("mainform").text, text[:2000]
    assert session.find("model").text, text[:2000]
    recv = [line for line in standin_log(front) if line[0] == "recv" and line[6] == "sessionbegin"]
    assert int(recv[0][4]) == int(recv[0][5]) == len(text.encode()), recv
    assert front.log().count("labels left out, not element names") == 1
    front.send("interfaceclose", expect="success")


@group
def labels_asked(front):
    """Labels asked by key: each as a label and its text ("???" for a key without one), and no others."""
    watch(front)
    os.environ["UISTANDIN_GETLABELS"] = "mainform multifeedresponse nosuchlabel"
    scan_press(front)
    del os.environ["UISTANDIN_GETLABELS"]
    session = drvfront.ET.fromstring(sessionbegin_text()).find("sessionbegin")
    labels = session.find("reportlabels")
    assert [element.text for element in labels.findall("label")] == ["mainform", "multifeedresponse",
                                                                      "nosuchlabel"], drvfront.ET.tostring(labels)
    assert [element.text for element in labels.findall("text")][2] == "???"
    front.send("interfaceclose", expect="success")


@group
def dead_mid_show(front):
    """An assistant killed in the middle of the show: no hang; the records go to the front end from then on;
    scanend ends the scan, logged, and no assistant is left."""
    watch(front)
    os.environ["UISTANDIN_SCRIPT"] = "wait showbegin 20000\nkill\n"
    statuses = scan_multifeed(front, limit=3.0)
    del os.environ["UISTANDIN_SCRIPT"]
    assert statuses.count("success") == 2, statuses
    assert assistants() == [], assistants()
    assert "Communication lost with Driver Assistant" in front.log()
    front.send("interfaceclose", expect="success")


if __name__ == "__main__":
    drvfront.main(sys.argv)
