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
ORDER = ["reportstatus", "reportwindows", "reportundefines", "reportcontainer", "reportprofilesdirectory", "reportvalues", "reportaccesses", "reportdebug", "reportallcamerawindowvalues",
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


if __name__ == "__main__":
    check_get.PROBE.extend(os.path.abspath(argument) for argument in sys.argv[3:])
    drvfront.main(sys.argv)
