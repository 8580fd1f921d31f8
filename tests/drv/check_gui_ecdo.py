"""The settings GUI's colour-dropout requests and its pass-through to the image library: the staged stand-in
"twaingui" started by uibegin on the simulated scanner (the image library loaded in process, its task log in the
root) sends them; every task it reads is kept whole (UISTANDIN_KEEP), read by xmllint and judged.

    check_gui_ecdo.py STAGE GROUP

Groups: learn (the variability and auto-colour learning passes), ecdo (getecdo relayed, begin with its unasked
empty image and full report, a request in learning, end, answers without their status), passthrough (an answered request, one the library does not know, none, 200 KiB)."""
import os
import shutil
import sys
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_gui_values as gv  # noqa: E402
import drvfront  # noqa: E402
from drvfront import group  # noqa: E402

IN_PROCESS = {"dsIdentity": {"ForceNexilCall": "1"}}
RULES_FIXTURE = []  # the rules fixture's directory: its database offers the auto-colour learning


class RulesFront(drvfront.Front):
    """The rules fixture's library staged in place of the shipped one."""

    def stage(self, stage):
        super().stage(stage)
        shutil.copy2(os.path.join(RULES_FIXTURE[0], drvfront.LIBRARY), self.library())


def nexil_log(front):
    return os.path.join(front.root, "nexil.log")


def nexil_requests(front, command):
    """The image library's requests of that command, as "unit argument..." texts."""
    if not os.path.exists(nexil_log(front)):
        return []
    with open(nexil_log(front), errors="replace") as f:
        lines = [line.rstrip("\n").split("\t") for line in f]
    return [" ".join([fields[1]] + fields[4:-1]) for fields in lines if len(fields) > 4 and fields[3] == command]


def run(front, steps):
    front.configure(IN_PROCESS)
    os.environ["NEXSIM_TASKLOG"] = nexil_log(front)
    last = len(steps) + 1
    directory = gv.start(front, "\n".join(steps) + "\n")
    assert gv.wait_for(lambda: len(gv.replies_to(directory, last)) == 1), gv.kept(directory)
    texts = gv.kept(directory)
    gv.xmllint(texts)
    gv.stop(front)
    return texts, {task_id: gv.replies_to(directory, task_id) for task_id in range(0, last + 1)}


@group
def ecdo_requests(front):
    texts, replies = run(front, [
        "send getecdo",
        "send ecdocustombegin",
        "send ecdocustomsave %s" % gv.body([("name", "longer")]),
        "send getecdocustom",
        "send ecdocustomend",
    ])
    (getecdo,) = replies[2]
    assert gv.status(getecdo) == "success", getecdo
    assert ElementTree.fromstring(getecdo).find("reportecdo") is not None, getecdo
    # begin: the unasked empty image first, then the full report.
    images = [text for text in replies[0] if "<reportimage>" in text]
    assert len(images) == 1 and ElementTree.fromstring(images[0]).findtext("reportimage/imagesize") == "0"
    assert texts.index(images[0]) < texts.index(replies[3][0])
    for task_id in (3, 6):
        (text,) = replies[task_id]
        task = ElementTree.fromstring(text)
        assert gv.status(text) == "success" and task.find("reportvalues") is not None, text[:400]
    assert nexil_requests(front, "ecdocustombegin") == ["adf"], nexil_requests(front, "ecdocustombegin")
    assert nexil_requests(front, "ecdocustomend") == ["adf"]
    assert "adf name=longer" in nexil_requests(front, "ecdocustomsave"), nexil_requests(front, "ecdocustomsave")
    assert gv.status(replies[4][0]) == "success" and gv.status(replies[5][0]) == "success"
    assert ElementTree.fromstring(replies[5][0]).findtext("reportecdocustom/ecdo") == "file06", replies[5][0]


@group
def ecdo_restores(front):
    """Learning forces the settings it needs and ecdocustomend puts every registered value back: the full report
    after end equals the one before begin."""
    _, replies = run(front, [
        "send register %s" % gv.ids(gv.lookup_names()),
        "send getregistered",
        "send ecdocustombegin",
        "send ecdocustomend",
    ])
    before, during, after = (ElementTree.fromstring(replies[task_id][0]) for task_id in (3, 4, 5))
    assert all(gv.status(replies[task_id][0]) == "success" for task_id in (3, 4, 5))

    def values(task):
        """{id: [children]} of the reportvalues; the multifeed sound's file name is left out: the learning's
        profile reset empties it and the engine puts back numbers only (a fault of the engine's own)."""
        found, name = {}, None
        for child in task.find("reportvalues"):
            if child.tag == "id":
                name = child.text
                found[name] = []
            else:
                found[name].append((child.tag, child.text))
        found.pop("multifeedsound", None)
        return found

    assert values(before) != values(during), "learning forces its settings"
    assert values(before) == values(after)


@group
def ecdo_unreadable(front):
    """An answer without its status: "fail", logged; begin then sends no full report and reaches no flatbed."""
    os.environ["NEXSIM_ECDOCUSTOMNOSTATUS"] = "1"
    try:
        _, replies = run(front, ["send getecdocustom", "send ecdocustombegin"])
    finally:
        del os.environ["NEXSIM_ECDOCUSTOMNOSTATUS"]
    for task_id in (2, 3):
        (text,) = replies[task_id]
        assert gv.status(text) == "fail" and "<reportvalues>" not in text, text
    assert "Fail to get the <reportstatus>..." in front.log()


@group
def passthrough_requests(front):
    texts, replies = run(front, [
        "send passthroughnexil <getversionuser></getversionuser>",
        "send passthroughnexil <nosuchrequest></nosuchrequest>",
        "send passthroughnexil",
        "big 204800 passthroughnexil",
    ])
    (answered,) = replies[2]
    task = ElementTree.fromstring(answered)
    assert gv.status(answered) == "success" and "image library stand-in" in task.findtext(
        "reportversionuser/versiontext"), answered
    for task_id in (3, 4):
        (text,) = replies[task_id]
        assert gv.status(text) in ("fail", "badcmd"), text
    # 200 KiB of content reach the library whole: an answer, well formed.
    (big_reply,) = replies[5]
    assert gv.status(big_reply) in ("success", "fail"), big_reply[:400]
    assert "NodeGetContent failed..." not in front.log()


@group
def learn_passes(front):
    """ecdocustomlearnvariability runs the custom learning over the scanner's sheets: the success message with its
    label in the scanning dialog (the stand-in answers it), then "success". autocolorlearn on a model without the
    learning mode: "fail", then the error in the message dialog."""
    front.configure(IN_PROCESS)
    directory = gv.keep(front)
    os.environ["UISTANDIN_SCRIPT"] = "send ecdocustomlearnvariability\nsend autocolorlearn\n"
    front.interfaceopen(simmodel="mapleB", duplex="true", pages=2)
    front.send("sessionbegin", drvfront.leaf("ui", gv.STANDIN), expect="success")
    assert front.send("uibegin", drvfront.leaf("uimode", "scan")).status == "success"
    assert gv.wait_for(lambda: len(gv.replies_to(directory, 3)) == 1, 60), gv.kept(directory)
    gv.wait_for(lambda: message_after(gv.kept(directory), gv.replies_to(directory, 3)[0]), 20)
    texts = gv.kept(directory)
    gv.xmllint(texts)
    gv.stop(front)
    (variability,) = gv.replies_to(directory, 2)
    assert gv.status(variability) == "success", variability
    label = "The documents have been processed and the dropout color has been updated."
    shown = [text for text in texts if label in text]
    assert shown and "<messagetype>success</messagetype>" in shown[0], [t[:300] for t in texts]
    assert texts.index(shown[0]) < texts.index(variability)
    (autocolor,) = gv.replies_to(directory, 3)
    assert gv.status(autocolor) == "fail", autocolor
    assert "error" in message_after(texts, autocolor), texts[texts.index(autocolor):]


def message_after(texts, reply):
    """The message types the GUI was sent after the reply."""
    return [text.split("<messagetype>")[1].split("<")[0] for text in texts[texts.index(reply):]
            if "<messagetype>" in text]


def autocolor_pass(front, pages):
    """autocolorlearn over the sheets, custom colour content set by the front end; the GUI's tasks and reply."""
    front.configure(IN_PROCESS)
    directory = gv.keep(front)
    os.environ["UISTANDIN_SCRIPT"] = "send register %s\nsend autocolorlearn\n" % gv.ids(
        ["autocoloramount", "autocolorthreshold"])
    front.interfaceopen(simmodel="mapleB", duplex="true", pages=pages, autocolor="40/30")
    front.send("sessionbegin", drvfront.leaf("ui", gv.STANDIN), expect="success")
    front.send("set", drvfront.leaf("id", "autocolorcontent") + drvfront.leaf("valuecurrent", "custom"),
               expect="success")
    assert front.send("uibegin", drvfront.leaf("uimode", "scan")).status == "success"
    assert gv.wait_for(lambda: len(gv.replies_to(directory, 3)) == 1, 60), gv.kept(directory)
    gv.wait_for(lambda: message_after(gv.kept(directory), gv.replies_to(directory, 3)[0]), 20)
    texts = gv.kept(directory)
    gv.xmllint(texts)
    gv.stop(front)
    (reply,) = gv.replies_to(directory, 3)
    return texts, reply


@group
def autocolor_learn(front):
    """Five sheets with colour: "success" with the changed values and the profile item, then the info message;
    four: "fail", then the error message."""
    texts, reply = autocolor_pass(front, 5)
    assert gv.status(reply) == "success", reply
    task = ElementTree.fromstring(reply)
    ids = [element.text for element in task.iter("id")]
    assert "autocoloramount" in ids and "autocolorthreshold" in ids, reply
    assert task.find("reportprofileitem") is not None, reply
    assert "info" in message_after(texts, reply), texts[texts.index(reply):]
    texts, reply = autocolor_pass(front, 4)
    assert gv.status(reply) == "fail", reply
    assert "error" in message_after(texts, reply), texts[texts.index(reply):]


if __name__ == "__main__":
    RULES_FIXTURE.extend(os.path.abspath(argument) for argument in sys.argv[3:])
    if sys.argv[2] == "autocolor":
        drvfront.Front = RulesFront
    drvfront.main(sys.argv)
