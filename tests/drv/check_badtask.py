"""Task texts a front end should not send, through the driver and data entries (drvfront), each row of a table on
an open session of the simulated scanner.

    check_badtask.py STAGE GROUP

Groups: driver (DriverEntry after sessionbegin), data (DataEntry). For every row: a reply a front end can read
(its layout and byte count checked as it arrives, xmllint at the end), a refusal word, no crash, nothing lost (a get
of imageresolutionx answers as before, so the session stays where it was), the next task's reply carries its own
id, and the log (without the debug log's copy of every task) has grown by a line about the row."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf, task_text  # noqa: E402

# Words that refuse a task; "success" is never one of them.
REFUSALS = {"fail", "invalidstate", "badvalue", "badid", "notsupported", "notavailable", "invalidcommand",
            "nomemory", "badxml", "badtask"}


# Rows whose text still asks for something harmless, answered as asked (and so not logged as a refusal).
# A scanend without a scan ends nothing and reports its counters, as a front end that ends twice expects; a
# command found past character 256 is still the command.
ANSWERED = {name: {"success"} for name in ("1 MiB attribute", "nested setmany", "resourceunlock with no lock",
                                           "scanend with no scan", "tag past character 256")}


def head(task_id="%020d" % 77, size=None):
    """A task's first line with the given id text; the byte count is filled in by whole()."""
    return "<task id='%s' reply='%020d' bytes='%s'>\n" % (task_id, 0, size or "%020d" % 0)


def whole(body, task_id="%020d" % 77):
    """A task of that body (text or bytes) with a right byte count (any id text)."""
    data = body if isinstance(body, bytes) else body.encode()
    size = len(head(task_id).encode()) + len(data) + len("</task>\n")
    return head(task_id, "%020d" % size).encode() + data + b"</task>\n"


def plain(command, body=""):
    return task_text(77, command, body).encode()


def set_body(item, value):
    return "\t<set>%s</set>\n" % (leaf("id", item) + leaf("valuecurrent", value))


def simflags(count):
    flags = "".join("<simflag>%s%s%s</simflag>" % (leaf("id", "f%d" % i), leaf("value", i), leaf("text", ""))
                    for i in range(count))
    return leaf("simulate", leaf("simulation", "true") + flags)


def doctype():
    """The entity expansion a reader must not carry out."""
    entities = "<!ENTITY a0 'xxxxxxxxxx'>" + "".join(
        "<!ENTITY a%d '%s'>" % (i, ("&a%d;" % (i - 1)) * 10) for i in range(1, 10))
    return ("<?xml version='1.0'?><!DOCTYPE task [%s]>" % entities).encode() + plain("get", leaf("id", "&a9;"))


def driver_rows(front):
    """(name, text) for DriverEntry; texts are bytes or None."""
    directory = os.path.join(front.root, "adirectory")
    os.makedirs(directory, exist_ok=True)
    get = "\t<get>%s</get>\n" % leaf("id", "imageresolutionx")
    return [
        ("null", None),
        ("empty", b""),
        ("blanks", b" \t\r\n   "),
        ("invalid utf-8", whole(b"\t<get><id>image\xff\xfe\xc0resolutionx</id></get>\n")),
        ("non-xml", b"this is no task at all"),
        ("unclosed task", whole(get)[:-len("</task>\n")]),
        ("no id", ("<task>" + get + "</task>").encode()),
        ("25-digit id", whole(get, "1" * 25)),
        ("non-numeric id", whole(get, "x" * 20)),
        ("negative id", whole(get, "-%019d" % 5)),
        ("id 2^31", whole(get, "%020d" % 2 ** 31)),
        ("unknown command", plain("frobnicate", leaf("id", "imageresolutionx"))),
        ("two commands", whole(get + "\t<scanend></scanend>\n")),
        ("tag past character 256", whole(" " * 300 + "\t<scanend></scanend>\n")),
        ("10 MiB of text", whole(get + "<x>" + "y" * (10 << 20) + "</x>")),
        ("10,000 nested elements", whole("<a>" * 10000 + "</a>" * 10000)),
        ("100,000 sibling elements", whole("<b></b>" * 100000)),
        # An attribute the grammar does not read is ignored: the get is answered.
        ("1 MiB attribute", whole("\t<get huge='%s'>%s</get>\n" % ("z" * (1 << 20), leaf("id", "imageresolutionx")))),
        ("doctype with entities", doctype()),
        ("2,000-character value", plain("set", leaf("id", "imageresolutionx") + leaf("valuecurrent", "9" * 2000))),
        ("97 enumeration values", plain("set", leaf("id", "imageresolutionx") + "<enum>%s</enum>" % "".join(
            leaf("value", "%d_dpi" % (100 + i)) for i in range(97)))),
        ("97 list tags", plain("set", leaf("id", "windowenabledlist") + "<list>%s</list>" % "".join(
            leaf("value", "frontcolor_00") for _ in range(97)))),
        # The inner setmany is not applied (the value check below shows it); the outer one has nothing to do.
        ("nested setmany", plain("setmany", "<setmany>%s</setmany>" % set_body("imageresolutionx", "300_dpi"))),
        ("second interfaceopen", plain("interfaceopen", leaf("callername", "again") + simflags(0))),
        ("callername ../../x", plain("interfaceopen", leaf("callername", "../../x") + simflags(0))),
        ("1,000 simflags", plain("interfaceopen", leaf("callername", "many") + simflags(1000))),
        ("datasize -1", plain("set", leaf("id", "customoverride") + leaf("datafile", leaf(
            "filename", os.path.join(front.root, "none.xml")) + leaf("datasize", "-1") + leaf("dataoffset", "0")))),
        ("directory as override file", plain("set", leaf("id", "customoverride") + leaf("datafile", leaf(
            "filename", directory) + leaf("datasize", "10") + leaf("dataoffset", "0")))),
        ("colortablelist", plain("get", leaf("id", "colortablelist"))),
        ("reset outputimagecount", plain("reset", leaf("id", "outputimagecount"))),
        ("scanend with no scan", plain("scanend")),
        # Unlocking what is not locked leaves it unlocked, as a front end that unlocks twice expects.
        ("resourceunlock with no lock", plain("resourceunlock")),
    ]


def data_rows(front):
    return [
        ("interfaceclose first", plain("interfaceclose")),
        ("open", None),  # the session the rest of the rows run in
        ("null", None),
        ("non-xml", b"this is no task at all"),
        ("unknown command", plain("frobnicate")),
        ("two interfaceopens", None),
    ]


def resolution(front):
    return front.get("imageresolutionx", expect="success").find(".//valuecurrent")


def refused(front, name, data, entry, words=REFUSALS):
    """The row's reply: readable, a refusal word (a fixed reply's ids may be 0)."""
    pointer = front.call(data, entry)
    assert pointer, name
    reply = front.check(drvfront.ctypes.string_at(pointer).decode("utf-8", "replace"), None)
    assert reply.status in words, (name, reply.status, reply.text[:400])
    return reply


def next_own_id(front, entry):
    text, task_id = front.task("get", leaf("id", "eventlist") if entry == "DriverEntry" else leaf("id", "x"))
    reply = front.raw(text.encode(), None, entry)
    assert reply.reply == task_id or reply.id == task_id, (task_id, reply.text)


@group
def driver_table(front):
    front.interfaceopen()
    front.send("sessionbegin", expect="success")
    before = resolution(front)
    failures = []
    for name, data in driver_rows(front):
        mark = len(front.log())
        try:
            refused(front, name, data, "DriverEntry", REFUSALS | ANSWERED.get(name, set()))
            assert resolution(front) == before, name
            next_own_id(front, "DriverEntry")
            assert name in ANSWERED or len(front.log()) > mark, "no log line for " + name
        except AssertionError as error:
            failures.append("%s: %s" % (name, str(error)[:300]))
    assert not any(name == "x" for _, names, _ in os.walk(front.root) for name in names)
    front.send("interfaceclose", expect="success")
    assert not failures, "\n".join(failures)


@group
def data_table(front):
    """The data entry's rows; an interfaceclose without a session changes nothing and says so with the fixed
    success reply, as a front end closing twice expects."""
    failures = []
    for name, data in data_rows(front):
        mark = len(front.log())
        try:
            if name == "open":
                front.interfaceopen(entry="DataEntry")
                continue
            if name == "two interfaceopens":
                reply = front.interfaceopen(entry="DataEntry", expect=None)
                assert reply.status in REFUSALS, (name, reply.text)
            elif name == "interfaceclose first":
                # Nothing starts, so there is no log to write to.
                assert refused(front, name, data, "DataEntry", {"success"}).id == 0, name
                assert front.logs() == [], front.logs()
                continue
            else:
                refused(front, name, data, "DataEntry")
            next_own_id(front, "DataEntry")
            assert len(front.log()) > mark, "no log line for " + name
        except AssertionError as error:
            failures.append("%s: %s" % (name, str(error)[:300]))
    front.send("interfaceclose", expect="success", entry="DataEntry")
    assert not failures, "\n".join(failures)


if __name__ == "__main__":
    # Without the debug log every task's text is not logged: a row's line is the refusal's own.
    stage, name = sys.argv[1], sys.argv[2]
    drvfront.run_groups(stage, name, debug=False)
