"""The scan commands as a front end sends them: the staged library loaded through ctypes (drvfront), a session
on the simulated scanner with its image library in process, a throwaway root.

    check_scan.py STAGE GROUP

Groups: states (the state machine and the reservation around a scan), busy (a scanner that cannot be
reserved), windowlist (the window list report), badinput (commands out of place and repeated). What the scanner received is read from its task log."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf  # noqa: E402

# The image library in process, as the driver loads it for a front end that asks for it.
IN_PROCESS = {"dsIdentity": {"ForceNexilCall": "1"}}


def begin(front, **flags):
    """A session on the simulated scanner with its simflags."""
    front.configure(IN_PROCESS)
    front.interfaceopen(**flags)
    front.send("sessionbegin", expect="success")


def commands(front):
    """The scanner's tasks since the last interfaceopen, by command name."""
    names = [line.split("\t")[3] for line in front.tasklog()]
    opens = [index for index, name in enumerate(names) if name == "interfaceopen"]
    return names[opens[-1] if opens else 0:]


# -- states ------------------------------------------------------------------------------------------------------
@group
def states_scan_and_back(front):
    """Initialized, Scan, Initialized: getoutput is refused outside a scan; scanbegin answers outputimagecount;
    scanend answers reportscanend with multifeedcount and gives the reservation back after the scan ended."""
    begin(front)
    front.send("getoutput", expect="invalidstate")
    reply = front.send("scanbegin", expect="success")
    assert int(reply.find("reportscanbegin/outputimagecount")) >= 0, reply.text
    reply = front.send("scanend", expect="success")
    assert reply.find("reportscanend/multifeedcount") == "0", reply.text
    assert reply.root.find("reportscanend/patchcountfront") is None or reply.find("reportscanend/patchcountrear"), \
        reply.text
    names = commands(front)
    assert names.count("resourcebegin") == names.count("resourceend") == 1, names
    assert names[-2:] == ["resourceend", "resourceunlock"], names
    front.send("getoutput", expect="invalidstate")
    front.send("interfaceclose", expect="success")


@group
def states_sessionend_ends_the_scan(front):
    """A sessionend during a scan ends the scan first: the reservation is given back before the session ends."""
    begin(front)
    front.send("scanbegin", expect="success")
    reply = front.send("sessionend", expect="success")
    assert reply.root.find("reportsessionend") is not None, reply.text
    names = commands(front)
    assert names.count("resourceend") == 1, names
    assert "sessionend" not in names or names.index("resourceend") < names.index("sessionend"), names
    front.send("interfaceclose", expect="success")


# -- busy --------------------------------------------------------------------------------------------------------
@group
def busy_scanbegin(front):
    """Under a resourcelock task, a scanner answering busy: scanbegin answers "busy" and starts no scan."""
    # The opening takes the scanner's lock once and the front end once more; busy answers start after.
    begin(front, busyafter=2, busy=20)
    front.send("resourcelock", expect="success")
    front.send("scanbegin", expect="busy")
    assert "scanbegin" not in commands(front) and "setupbegin" not in commands(front), commands(front)
    front.send("getoutput", expect="invalidstate")
    front.send("interfaceclose", expect="success")


# -- window list -----------------------------------------------------------------------------------------------
@group
def windowlist_default(front):
    """The default windows: one windowitem per window-bin in use, its camera named by its tag's side, enabled as
    the window's camera is, its image format among the formats it allows, each allowed format with its label."""
    begin(front)
    reply = front.get("windowlist", expect="success")
    items = reply.root.findall("reportwindowlist/windowitem")
    assert items, reply.text
    tags = [item.findtext("windowtag") for item in items]
    assert len(set(tags)) == len(tags), reply.text
    for item in items:
        tag = item.findtext("windowtag")
        assert item.findtext("cameratype") == ("rear" if tag.startswith("rear") else "front"), reply.text
        assert item.findtext("windowenabled") in ("true", "false"), reply.text
        assert item.find("link") is not None and item.find("override") is not None, reply.text
        enum = item.find("enum")
        assert enum.findtext("id") == "imageformat", reply.text
        values = [element.text for element in enum.findall("value")]
        assert len(values) == len(enum.findall("text")) and item.findtext("imageformat") in values, reply.text
    front.send("interfaceclose", expect="success")


# -- bad input ---------------------------------------------------------------------------------------------------
@group
def badinput_out_of_place(front):
    """Scan commands before a session and outside a scan are refused; scanend twice answers twice; a useendofsheet
    other than exactly "true" is taken as false."""
    front.interfaceopen()
    for command in ("scanbegin", "getoutput", "imageend", "scanrequeststop", "scanend"):
        front.send(command, expect="invalidstate")
    front.send("sessionbegin", expect="success")
    for command in ("getoutput", "scanrequeststop"):
        front.send(command, expect="invalidstate")
    front.send("scanbegin", leaf("useendofsheet", "TRUE"), expect="success")
    front.send("scanend", expect="success")
    front.send("scanend", expect="success")
    front.send("interfaceclose", expect="success")


if __name__ == "__main__":
    drvfront.main(sys.argv)
