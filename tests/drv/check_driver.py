"""The driver and data entries as a front end sees them: the staged library loaded through ctypes (drvfront),
the simulated scanner staged beside it, a throwaway root.

    check_driver.py STAGE GROUP

Groups: entry (tasks without a session), open (a session's interface: open, refusals, close, a new open),
failedstart (a process whose first open failed), data (the data entry, alone and beside driver sessions), badinput
(texts and arguments a front end should not send, command tags inside arguments), session and busy (the
scanner's session and its busy answers: they need the engine's session opening and resource lock, and until
those are built they check what the least engine gives and say so)."""
import os
import re
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf, task_text  # noqa: E402


def built(front, operation):
    """Whether the device engine's operation is built (a least one logs that it is not)."""
    return ("CDevImpl::%s: not built yet" % operation) not in front.log()


def waits(operation, what):
    print("  (waits for the engine's %s: %s)" % (operation, what))


def fixed(front, data, status, entry="DriverEntry"):
    """The library's fixed reply (ids 0) with that status word."""
    reply = front.raw(data, 0, entry)
    assert reply.id == 0 and reply.status == status, reply.text
    return reply


# -- tasks without a session -----------------------------------------------------------------------------------
@group
def entry_close_first(front):
    """An interfaceclose without a session changes nothing: fixed success, the service layer never starts."""
    text, _ = front.task("interfaceclose")
    fixed(front, text.encode(), "success")
    assert front.logs() == [], front.logs()


@group
def entry_null_and_junk(front):
    """Null, empty, non-XML, an interfaceopen too deep in the text: each a fixed failure, the reason logged."""
    pointer = front.call(None)
    assert pointer
    front.check(drvfront.ctypes.string_at(pointer).decode(), 0)
    for data in (b"", b"not xml at all", ("<task>" + " " * 300 + "<interfaceopen></interfaceopen></task>").encode()):
        fixed(front, data, "fail")
        # Each start writes its log anew.
        assert "expected <interfaceopen>, but got %s..." % data.decode() in front.log(), data


@group
def entry_first_get(front):
    """A get before any interfaceopen: fixed failure, and the log says what was expected."""
    reply = front.get("resolution", fixed=True)
    assert reply.status == "fail"
    assert "expected <interfaceopen>, but got <task id='" in front.log()


# -- the session's interface -----------------------------------------------------------------------------------
def check_open(front, reply, callername="drvfront"):
    """An interfaceopen's reply: the driver event's name, and a profile directory that exists."""
    assert reply.status == "success" and reply.id == 1, reply.text
    assert re.fullmatch(r"DriverEvent_\d{17}", reply.find("reporteventname/eventname")), reply.text
    directory = reply.find("reportinterface/profiledirectory")
    assert os.path.isdir(directory) and os.path.basename(directory) == callername, reply.text
    assert os.path.realpath(directory).startswith(os.path.realpath(front.root) + os.sep), directory
    return directory


@group
def open_first(front):
    """interfaceopen answers success with the event name and the profile directory; a get then needs the device's
    lock, and in Opened is refused by the state machine."""
    check_open(front, front.interfaceopen())
    reply = front.get("resolution")
    if built(front, "ResourceLock"):
        assert reply.status == "invalidstate", reply.text
    else:
        assert reply.status == "fail" and "ResourceLock failed..." in front.log(), reply.text
        waits("ResourceLock", "a get in Opened reads invalidstate")


@group
def open_second_refused(front):
    """A second interfaceopen is refused by the state machine and the session goes on: the event list is still
    answered by the driver, and interfaceclose is the driver's own reply."""
    reply = front.interfaceopen(expect="invalidstate")
    assert reply.id != 0, reply.text
    text, task_id = front.task("get", leaf("id", "eventlist"))
    events = front.raw(text.encode())
    assert events.id == task_id, events.text
    front.send("interfaceclose", expect="success")


@group
def open_again(front):
    """After a clean interfaceclose a new interfaceopen in the same process opens a new session."""
    check_open(front, front.interfaceopen(callername="second"), "second")
    front.send("interfaceclose", expect="success")
    text, _ = front.task("interfaceclose")
    fixed(front, text.encode(), "success")


@group
def open_isis(front):
    """An ISIS caller waits on the driver event in the global namespace."""
    reply = front.interfaceopen(callername="isis")
    assert re.fullmatch(r"Global\\DriverEvent_\d{17}", reply.find("reporteventname/eventname")), reply.text
    front.send("interfaceclose", expect="success")


@group
def open_junk_in_session(front):
    """Texts that are no task, sent during a session: a status word each, and the session goes on."""
    check_open(front, front.interfaceopen(callername="junk"), "junk")
    for data in (b"", b"not xml at all", b"<task id='x'><get></task>"):
        reply = front.raw(data)
        assert reply.status in ("fail", "invalidstate"), reply.text
    front.send("interfaceclose", expect="success")


@group
def failedstart_refuses(front):
    """An interfaceopen whose device cannot open ends the session with its own reply; the process then refuses
    every later task, a new interfaceopen too."""
    os.remove(os.path.join(front.root, "opt", drvfront.COMPANY, drvfront.UNIQUE, "lib", "device.so"))
    reply = front.interfaceopen(expect="fail")
    assert reply.id == 1, reply.text
    text, _ = front.task("interfaceopen", leaf("callername", "again"))
    fixed(front, text.encode(), "fail")
    fixed(front, front.task("get", leaf("id", "resolution"))[0].encode(), "fail")


# -- the data entry --------------------------------------------------------------------------------------------
@group
def data_sessions(front):
    """The data entry opens, answers a driver command (none of its own) with fail and its own commands, closes,
    and opens again."""
    text, _ = front.task("get", leaf("id", "resolution"))
    fixed(front, text.encode(), "fail", "DataEntry")
    for _ in range(2):
        front.interfaceopen(entry="DataEntry")
        front.send("get", leaf("id", "resolution"), "fail", "DataEntry")
        reply = front.send("export", leaf("id", "devicelist"), "success", "DataEntry")
        assert reply.find("reportdatafile/id") == "devicelist", reply.text
        front.send("export", leaf("id", "historytoxml") + leaf("source", front.root), "success", "DataEntry")
        front.send("interfaceclose", expect="success", entry="DataEntry")
    text, _ = front.task("interfaceclose")
    fixed(front, text.encode(), "success", "DataEntry")


@group
def data_beside_driver(front):
    """Both entries hold a session at once; each closes its own."""
    check_open(front, front.interfaceopen())
    front.interfaceopen(entry="DataEntry")
    front.send("interfaceclose", expect="success", entry="DataEntry")
    text, task_id = front.task("get", leaf("id", "eventlist"))
    assert front.raw(text.encode()).id == task_id
    front.send("interfaceclose", expect="success")


def logged(front, task_id):
    """Whether the log holds the task of that id (the debug log copies every task)."""
    return "<task id='%020d'" % task_id in front.log()


def driver_alive(front):
    """The driver's session still has its service layer: a get answered and logged."""
    reply = front.get("imageresolutionx", expect="success")
    assert logged(front, reply.reply), "the driver's log stopped"


# Orders of the two sessions' opens and closes: "D" the driver's (interfaceopen and sessionbegin; a get, then
# interfaceclose), "X" the data entry's.
SESSION_ORDERS = ["DdXx", "DXdx", "DXxd", "XDdx", "XDxd", "XxDd"]


@group
def data_sessions_in_every_order(front):
    """Both entries' sessions opened and closed in every order: whichever ends first leaves the other's service
    layer running (the driver goes on logging, scans and closes cleanly), and a new session opens after both."""
    for order in SESSION_ORDERS:
        for step in order:
            if step == "D":
                front.interfaceopen(pages=1)
                front.send("sessionbegin", expect="success")
            elif step == "X":
                front.interfaceopen(entry="DataEntry")
            elif step == "d":
                driver_alive(front)
                front.send("scanbegin", expect="success")
                front.send("scanend", expect="success")
                reply = front.send("interfaceclose", expect="success")
                assert logged(front, reply.reply), (order, "interfaceclose not logged")
            else:
                front.send("interfaceclose", expect="success", entry="DataEntry")
                assert logged(front, front.next_id - 1), (order, "data interfaceclose not logged")
    check_open(front, front.interfaceopen(callername="after"), "after")
    front.send("interfaceclose", expect="success")


@group
def data_open_keeps_driver_configuration(front):
    """A data interfaceopen between the driver's interfaceopen and sessionbegin leaves the driver's configuration
    as it was: ForceGuiDelay 1 still starts the GUI at sessionbegin."""
    front.configure({"dsIdentity": {"ForceGuiDelay": "1"}})
    front.interfaceopen()
    front.interfaceopen(entry="DataEntry")
    front.send("sessionbegin")
    assert "StartGui() called" in front.log()
    front.send("interfaceclose", expect="success", entry="DataEntry")
    front.send("interfaceclose", expect="success")


# -- bad input -------------------------------------------------------------------------------------------------
def resourcelocks(front):
    return [line.split("\t")[3] for line in front.tasklog()].count("resourcelock")


@group
def badinput_gate_tags_in_arguments(front):
    """Gate commands' tags inside another task's id, value, CDATA or comment are no commands: the task is what its
    element says (a get refused, not a close), the session goes on and the next task answers with its own id; a
    resourcelock tag takes no lock, so the per-task lock still comes and goes."""
    front.interfaceopen()
    front.send("sessionbegin", expect="success")
    for tag in ("interfaceclose", "resourcelock", "resourceunlock", "sessionend"):
        for body in (leaf("id", "<![CDATA[<%s>]]>" % tag), leaf("id", "&lt;%s&gt;" % tag),
                     "<!--<%s>-->" % tag + leaf("id", "nosuchcapability")):
            reply = front.send("get", body)
            assert reply.status in ("fail", "badvalue", "badid", "notsupported"), (tag, body, reply.text)
            driver_alive(front)
        reply = front.send("set", leaf("id", "imageresolutionx") + leaf("valuecurrent", "<![CDATA[<%s>]]>" % tag))
        assert reply.status != "success", reply.text
        driver_alive(front)
    before = resourcelocks(front)
    front.get("imageresolutionx", expect="success")
    assert resourcelocks(front) == before + 1, front.tasklog()[-4:]
    front.send("interfaceclose", expect="success")


@group
def badinput_callername(front):
    """A caller name that climbs is one path element below the profile directory; nothing is made outside it."""
    reply = front.interfaceopen(callername="../../x")
    directory = check_open(front, reply, ".._.._x")
    profiles = os.path.dirname(directory)
    assert not os.path.exists(os.path.join(profiles, "..", "..", "x"))
    for directory, names, _ in os.walk(front.root):
        assert "x" not in names, directory
    front.send("interfaceclose", expect="success")


@group
def badinput_words(front):
    """"WIA" is not "wia" (kind 1), "TRUE" is not "true", a logging level before the logging, 1000 simflags:
    each logged, the session opens."""
    flags = "".join("<simflag>%s%s%s</simflag>" % (leaf("id", "f%d" % i), leaf("value", i), leaf("text", ""))
                    for i in range(1000))
    extra = leaf("usenomedia", "TRUE") + "<debug>%s%s</debug>" % (leaf("logginglevel", 5), leaf("logging", "custom"))
    text, task_id = front.task("interfaceopen", leaf("callername", "WIA") + extra + leaf(
        "simulate", leaf("simulation", "true") + "<simflag>%s%s%s</simflag>" % (
            leaf("id", "imagedirectory"), leaf("value", front.images()), leaf("text", "")) + flags))
    reply = front.raw(text.encode(), task_id)
    check_open(front, reply, "WIA")
    log = front.log()
    assert "interface kind 1 for the caller <WIA>" in log
    assert "<usenomedia> is not \"true\" nor \"false\"" in log
    assert "Array overflow for <simflag/id>" in log
    front.send("interfaceclose", expect="success")


# -- the scanner's session -------------------------------------------------------------------------------------
@group
def session_begin(front):
    """sessionbegin answers success with the report inquiry; a failed one leaves the session in Opened and the
    next sessionbegin opens the interface again first."""
    front.interfaceopen()
    reply = front.send("sessionbegin")
    assert "StartGui() called" not in front.log()
    if not built(front, "SessionBegin"):
        assert reply.status == "fail" and "Unable to open device..." in front.log(), reply.text
        reply = front.send("sessionbegin")
        assert reply.status == "fail" and "InterfaceOpen failed" not in front.log(), reply.text
        tasks = [line.split("\t")[3] for line in front.tasklog()]
        assert tasks == ["interfaceopen", "interfaceclose"] * 2, tasks
        waits("SessionBegin", "success with the report inquiry, notcomplete with monitorbuttonevents")
        front.send("interfaceclose", expect="success")
        return
    assert reply.status == "success" and reply.root.find("reportinquiry") is not None, reply.text
    # sessionend leaves the scanner's session open: the opening with button
    # watching starts from a fresh interface.
    front.send("interfaceclose", expect="success")
    front.interfaceopen()
    reply = front.send("sessionbegin", leaf("monitorbuttonevents", "true"), "notcomplete")
    assert len(reply.root) == 1, reply.text
    deadline = time.time() + 10
    events = ""
    while "opencomplete" not in events and time.time() < deadline:
        text, _ = front.task("get", leaf("id", "eventlist"))
        events += front.raw(text.encode()).text
        time.sleep(0.1)
    assert events.find("opencomplete") < events.find("reportinquiry"), events
    front.send("interfaceclose", expect="success")


@group
def session_gui_delay(front):
    """The driver's own configuration reaches its readers: ForceGuiDelay 1 starts the GUI at sessionbegin (there
    is none here, which is logged)."""
    front.configure({"dsIdentity": {"ForceGuiDelay": "1"}})
    front.interfaceopen()
    front.send("sessionbegin")
    log = front.log()
    assert "StartGui() called" in log and "Failed to launch the GUI..." in log and "StartGui failed..." in log
    front.send("interfaceclose", expect="success")


# ([Images] devsave, appsave) and what uiend then reports for imagesfromscanner and imagestoapp, both asked "off".
FORCED_IMAGES = [("false", "false", "off", "off"), ("true", "false", "on", "off"), ("false", "true", "off", "on"),
                 ("true", "true", "on", "on")]


@group
def session_images_forced_on(front):
    """imagesfromscanner and imagestoapp asked "off" are "on" where the configuration keeps the images
    ([Images] devsave, appsave "true"), as uiend reports them."""
    for devsave, appsave, fromscanner, toapp in FORCED_IMAGES:
        front.configure({"Images": {"devsave": devsave, "appsave": appsave}})
        debug = "<debug>%s%s</debug>" % (leaf("imagesfromscanner", "off"), leaf("imagestoapp", "off"))
        text, task_id = front.task("interfaceopen", leaf("callername", "images") + debug + drvfront.simulate(
            imagedirectory=front.images()))
        assert front.raw(text.encode(), task_id).status == "success"
        front.send("sessionbegin", expect="success")
        reply = front.send("uiend", expect="success")
        assert (reply.find("reportuiend/debug/imagesfromscanner"), reply.find("reportuiend/debug/imagestoapp")) == (
            fromscanner, toapp), (devsave, appsave, reply.text)
        front.send("interfaceclose", expect="success")


def busy_session(front, busy):
    """A session whose scanner turns busy after its opening; False (said) while the engine cannot open one."""
    # The opening takes the scanner's lock once; busy answers start after it.
    front.interfaceopen(busyafter=1, busy=busy)
    reply = front.send("sessionbegin")
    missing = [operation for operation in ("SessionBegin", "ResourceLock") if not built(front, operation)]
    if missing:
        waits(" and ".join(missing), "busy answers waited out, ten tries, the event list meanwhile")
        front.send("interfaceclose", expect="success")
        return False
    assert reply.status == "success", reply.text
    return True


def busy_locks(front):
    """How many resourcelock tasks the scanner answered busy since the last interfaceopen."""
    commands = [(line.split("\t")[3], line.split("\t")[-1]) for line in front.tasklog()]
    last_open = max(index for index, (command, _) in enumerate(commands) if command == "interfaceopen")
    return commands[last_open:].count(("resourcelock", "busy"))


@group
def busy_waited_out(front):
    """Three busy answers are waited out (about 0.3 s); after a resourcelock task a get sends no resourcelock."""
    if not busy_session(front, 3):
        return
    start = time.time()
    reply = front.get("imageresolutionx")
    assert reply.status == "success" and time.time() - start >= 0.25, (reply.text, time.time() - start)
    assert busy_locks(front) == 3, front.tasklog()
    front.send("resourcelock", expect="success")
    before = [line.split("\t")[3] for line in front.tasklog()].count("resourcelock")
    front.get("imageresolutionx", expect="success")
    assert [line.split("\t")[3] for line in front.tasklog()].count("resourcelock") == before
    front.send("interfaceclose", expect="success")


@group
def busy_ten_tries(front):
    """A scanner that stays busy: a get fails after ten tries about 100 ms apart, while an event-list get from
    another thread is answered at once, each reply whole."""
    if not busy_session(front, 20):
        return
    answered = []

    def events():
        time.sleep(0.2)
        start = time.time()
        text, task_id = front.task("get", leaf("id", "eventlist"))
        reply = drvfront.Reply(drvfront.ctypes.string_at(front.call(text.encode())).decode(), None)
        answered.append((time.time() - start, reply.id == task_id))

    thread = threading.Thread(target=events)
    thread.start()
    start = time.time()
    front.get("imageresolutionx", expect="fail")
    elapsed = time.time() - start
    thread.join()
    assert elapsed >= 0.9 and busy_locks(front) == 10, (elapsed, front.tasklog())
    assert answered and answered[0][0] < 0.5 and answered[0][1], answered
    front.send("interfaceclose", expect="success")


if __name__ == "__main__":
    drvfront.main(sys.argv)
