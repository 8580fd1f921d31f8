"""The driver assistant as a front end meets it: the staged stand-in "drvassistui" (the user-interface stand-in in
its assistant role) started by the driver for a scan, or none at all, while the simulated scanner asks the user
what to do.

check_assistant.py STAGE GROUP. The stand-in logs to the root (UISTANDIN_LOG) and keeps every task it read
(UISTANDIN_TASKS); what the scanner received is read from its task log.

Groups: none (no assistant: the user action goes to the scanner as user input), press (the operator panel's user
action brings the assistant up: it shows the sheet, and its answer reaches the scanner)."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group  # noqa: E402


def watch(front):
    os.environ["UISTANDIN_LOG"] = os.path.join(front.root, "standin.log")
    os.environ["UISTANDIN_TASKS"] = os.path.join(front.root, "standin-tasks")
    os.makedirs(os.environ["UISTANDIN_TASKS"], exist_ok=True)


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
    return [line for line in scanner_tasks(front) if line[3] == "userinput"]


@group
def none_press_reaches_scanner(front):
    """No assistant ("none"): the user action is taken, no "useraction" reaches the front end, the scanner gets
    the user's input "press", and the batch ends "endofoutput"; no child was started."""
    front.configure({"dsIdentity": {"ForceDrvassistui": "none"}})
    watch(front)
    statuses = scan_press(front)
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


if __name__ == "__main__":
    drvfront.main(sys.argv)
