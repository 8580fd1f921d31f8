"""What the checks of the stand-in libraries share: the task texts they send, the check of a reply's layout,
the groups of cases (one group a process) and the run of a group, which ends with xmllint judging every reply
and the throwaway root removed."""
import ctypes
import os
import re
import subprocess
import xml.etree.ElementTree as ET

REPLIES = []  # every reply checked, for xmllint
GROUPS = {}


def task(task_id, command, body=""):
    inner = "\t<%s>\n%s\t</%s>\n" % (command, body, command)
    head = "<task id='%020d' reply='%020d' bytes='%020d'>\n" % (task_id, 0, 91 + len(inner) + 8)
    return head + inner + "</task>\n"


def leaf(name, value):
    return "\t\t<%s>%s</%s>\n" % (name, value, name)


def check_layout(text, task_id):
    """The reply layout: the 91-character task line, the reply id, a correct byte count, reportstatus first.
    The reply is kept for xmllint."""
    REPLIES.append(text)
    assert len(text) > 91 and text[:10] == "<task id='" and text[90] == "\n", text
    match = re.match(r"<task id='(\d{20})' reply='(\d{20})' bytes='(\d{20})'>\n", text)
    assert match, text
    assert int(match.group(2)) == task_id, (task_id, text)
    assert int(match.group(3)) == len(text.encode()) and text.endswith("</task>\n"), text
    root = ET.fromstring(text)
    assert root[0].tag == "reportstatus" and root[0][0].tag == "status", text
    return root


def plant_orphans(directory, kind):
    """Page files "<kind>-<pid>-..." as a killed process leaves them (its pid ended), one of this live process
    and a link named like an orphan (to a file outside the directory): the paths that must go, those that
    must stay, and the link's target."""
    child = subprocess.Popen(["true"])
    child.wait()
    gone = [os.path.join(directory, "%s-%d-adf-%s-%d.raw" % (kind, child.pid, what, n))
            for n, what in enumerate(("image", "pool", "output"), 1)]
    kept = [os.path.join(directory, "%s-%d-adf-image-1.raw" % (kind, os.getpid()))]
    target = os.path.join(os.path.dirname(directory), "%s-target" % kind)
    for path in gone + kept + [target]:
        with open(path, "wb") as f:
            f.write(b"page")
    link = os.path.join(directory, "%s-%d-adf-image-9.raw" % (kind, child.pid))
    os.symlink(target, link)
    return gone, kept + [link], target


def check_orphans(gone, kept, target):
    """After a start: the orphans removed, the rest (and the link's target) untouched."""
    assert not any(os.path.exists(path) for path in gone), gone
    assert all(os.path.lexists(path) for path in kept), kept
    with open(target, "rb") as f:
        assert f.read() == b"page"
    for path in kept:
        os.unlink(path)


class Library:
    """One loaded copy of a library with a task entry (one text in, one reply text out)."""

    def __init__(self, path, entry):
        self.lib = ctypes.CDLL(path)
        self.entry = getattr(self.lib, entry)
        self.entry.restype = ctypes.c_char_p
        self.entry.argtypes = [ctypes.c_char_p]
        self.next_id = 1
        self.last = ""  # the last reply's text

    def raw(self, data):
        return self.entry(data).decode()

    def send(self, command, body="", expect=None):
        """The status word and the parsed reply of one task, checked for its layout and, when given, its
        status word."""
        task_id = self.next_id
        self.next_id += 1
        text = self.raw(task(task_id, command, body).encode())
        self.last = text
        root = check_layout(text, task_id)
        status = root[0][0].text
        if expect is not None:
            assert status == expect, (command, expect, text)
        return status, root


def group(function):
    """A case of the group its name begins with."""
    GROUPS.setdefault(function.__name__.split("_")[0], []).append(function)
    return function


def run(name, root, before_each=lambda: None):
    """Runs the group's cases, then has xmllint read every reply; removes the root in any case."""
    try:
        tests = GROUPS[name]
        for test in tests:
            before_each()
            test()
        paths = []
        for index, text in enumerate(REPLIES):
            path = os.path.join(root, "reply-%04d.xml" % index)
            with open(path, "w") as f:
                f.write(text)
            paths.append(path)
        if paths:
            lint = subprocess.run(["xmllint", "--noout"] + paths, capture_output=True, text=True)
            assert lint.returncode == 0, lint.stderr
        print("%d passed, %d replies checked" % (len(tests), len(REPLIES)))
    finally:
        subprocess.run(["rm", "-rf", root])
