"""A front end of the driver library for the tests, as a real one binds it: ctypes on the exported DriverEntry
and DataEntry of a copy of the staged library, in a throwaway root of its own.

The root holds the staged model directories (the library with an override ini naming the root, the simulated
scanner, image library and user-interface stand-in "twaingui" beside it), the writable tree the service layer
makes, the simulated scanner's task log ("tasks.log") and its images. The process's environment is made the
root's: HOME, TMPDIR and the current directory, no PMX_, SIMSCAN_, NEXSIM_ or UISTANDIN_ variables but those
given. Nothing is written outside the root.

Every reply is checked as a front end reads it: the 91-character task line, the reply id (the request's id; 0
for the library's fixed replies), the byte count, a reportstatus first; and at the end xmllint reads them all.
The library keeps process-wide state, so one Front per process: each group of cases runs in a process of its
own (run_groups).

The root goes when the group ends, whatever ended it: a failed check, SIGTERM, SIGINT or SIGHUP (a test driver
stopping the group); the children the library started are stopped and reaped first, so that none writes into the
root while it goes. Roots of groups killed outright (SIGKILL, a crash) carry their process's id in their name and
are removed by the next Front once that process is gone."""
import ctypes
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

LINE = 91
COMPANY = "scandrv"
MODEL = "kv"
UNIQUE = "driver"
LIBRARY = "libscandrv.so"


def leaf(name, value):
    """One element with its text."""
    return "<%s>%s</%s>" % (name, value, name)


def simulate(simmodel=None, **flags):
    """The simulate block of interfaceopen: simulation "true", the model when given, and each flag."""
    body = leaf("simulation", "true") + (leaf("simmodel", simmodel) if simmodel else "")
    for key, value in flags.items():
        body += "<simflag>%s%s%s</simflag>" % (leaf("id", key), leaf("value", value), leaf("text", ""))
    return leaf("simulate", body)


def task_text(task_id, command, body=""):
    """A task of one command as front ends write it (ids of 20 digits, the byte count of the whole text)."""
    inner = "\t<%s>%s</%s>\n" % (command, body, command)
    head = "<task id='%020d' reply='%020d' bytes='%020d'>\n" % (task_id, 0, LINE + len(inner) + 8)
    return head + inner + "</task>\n"


class Reply:
    """One checked reply: its text, ids, status word and parsed tree."""

    def __init__(self, text, reply_id):
        assert len(text) > LINE and text[:10] == "<task id='" and text[LINE - 1] == "\n", text
        match = re.match(r"<task id='(\d{20})' reply='(\d{20})' bytes='(\d{20})'>\n", text)
        assert match, text
        self.text = text
        self.id, self.reply, size = (int(group) for group in match.groups())
        if reply_id is not None:
            assert self.reply == reply_id, (reply_id, text)
        assert size == len(text.encode()) and text.endswith("</task>\n"), text
        self.root = ET.fromstring(text)
        assert self.root[0].tag == "reportstatus" and self.root[0][0].tag == "status", text
        self.status = self.root[0][0].text

    def find(self, path):
        """The text of the first element at that path below the task ("" when it is empty, None when missing)."""
        element = self.root.find(path)
        return None if element is None else (element.text or "")


ROOT_PREFIX = "drvfront-"
# How long the children left running get to end after SIGTERM, before SIGKILL.
CHILD_GRACE_SECONDS = 2.0


def process_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def remove_stale_roots(directory):
    """The roots whose group's process is gone (killed before it could remove them)."""
    for name in os.listdir(directory):
        match = re.fullmatch(re.escape(ROOT_PREFIX) + r"(\d+)-.*", name)
        path = os.path.join(directory, name)
        if match and os.path.isdir(path) and not os.path.islink(path) and not process_alive(int(match.group(1))):
            shutil.rmtree(path, ignore_errors=True)


def children():
    """The process ids of this process's children (live or not yet reaped)."""
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name) as f:
                stat = f.read()
        except OSError:
            continue
        # The command name may hold blanks and parentheses: the fields follow its last ")".
        if int(stat[stat.rindex(")") + 2:].split()[1]) == os.getpid():
            found.append(int(name))
    return found


def reap_children():
    """Stops the children the library left running (SIGTERM, then SIGKILL after the grace) and reaps them all."""
    pids = children()
    for pid in pids:
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
    deadline = time.time() + CHILD_GRACE_SECONDS
    while pids:
        for pid in list(pids):
            try:
                done, _ = os.waitpid(pid, os.WNOHANG)
            except ChildProcessError:
                done = pid
            if done:
                pids.remove(pid)
        if pids and time.time() >= deadline:
            for pid in pids:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            deadline = float("inf")
        if pids:
            time.sleep(0.01)


class Front:
    """The library loaded from a throwaway root, with the simulated scanner staged beside it."""

    def __init__(self, stage, debug=True, env=None, config=None):
        remove_stale_roots(tempfile.gettempdir())
        self.root = tempfile.mkdtemp(prefix="%s%d-" % (ROOT_PREFIX, os.getpid()))
        self.stage(stage)
        if config:
            self.configure(config)
        for name in [n for n in os.environ if n.startswith(("PMX_", "SIMSCAN_", "NEXSIM_", "UISTANDIN_"))]:
            del os.environ[name]
        os.environ.update(HOME=self.root, TMPDIR=self.root, SIMSCAN_TASKLOG=self.tasklog_path())
        if debug:
            os.environ["PMX_DEBUG"] = "1"
        os.environ.update(env or {})
        os.makedirs(self.images())
        os.chdir(self.root)
        self.lib = ctypes.CDLL(self.library())
        self.entries = {}
        for name in ("DriverEntry", "DataEntry"):
            entry = getattr(self.lib, name)
            entry.restype = ctypes.c_void_p
            entry.argtypes = [ctypes.c_char_p]
            self.entries[name] = entry
        self.next_id = 1
        self.replies = []

    # -- the root -------------------------------------------------------------------------------------------
    def stage(self, stage):
        """The model directories of the staged layout, the library's override ini naming this root. A library
        driven through tasks runs as a utility of the service layer, whose model directory is its unique name
        ("driver"): the scanner's units are staged there too, the library alone where it was staged."""
        for model, source_model in ((MODEL, MODEL), (MODEL + "flatbed", MODEL + "flatbed"), (UNIQUE, MODEL)):
            source = os.path.join(stage, "opt", COMPANY, source_model, "lib")
            target = os.path.join(self.root, "opt", COMPANY, model, "lib")
            os.makedirs(target)
            for name in os.listdir(source):
                if not name.endswith(".ini") and not (model == UNIQUE and name == LIBRARY):
                    shutil.copy2(os.path.join(source, name), target)
        with open(os.path.join(self.root, "opt", COMPANY, MODEL, "lib", "libscandrv_override.ini"), "w") as f:
            f.write("[main]\nroot=%s\n" % self.root)

    def library(self):
        return os.path.join(self.root, "opt", COMPANY, MODEL, "lib", LIBRARY)

    def images(self):
        return os.path.join(self.root, "images")

    def tasklog_path(self):
        return os.path.join(self.root, "tasks.log")

    def configure(self, config):
        """The driver's constant file: {section: {key: value}}, read when the service layer starts."""
        directory = os.path.join(self.root, "var", COMPANY, UNIQUE, UNIQUE)
        os.makedirs(directory, exist_ok=True)
        with open(os.path.join(directory, "const.ini"), "w") as f:
            for section, values in config.items():
                f.write("[%s]\n" % section)
                for key, value in values.items():
                    f.write("%s=%s\n" % (key, value))

    def logs(self):
        """Every log file the service layer wrote, newest last."""
        return sorted(glob.glob(os.path.join(self.root, "var", "**", "*.log"), recursive=True), key=os.path.getmtime)

    def log(self):
        """The text of every log file."""
        text = ""
        for path in self.logs():
            with open(path, errors="replace") as f:
                text += f.read()
        return text

    def tasklog(self):
        """The tasks the simulated scanner received, one line each."""
        if not os.path.exists(self.tasklog_path()):
            return []
        with open(self.tasklog_path(), errors="replace") as f:
            return f.read().splitlines()

    def files(self):
        """Every path below the root but the staged libraries, relative to it."""
        found = []
        for directory, _, names in os.walk(self.root):
            found += [os.path.relpath(os.path.join(directory, name), self.root) for name in names]
        return sorted(path for path in found if not path.startswith("opt" + os.sep))

    # -- tasks ----------------------------------------------------------------------------------------------
    def call(self, data, entry="DriverEntry"):
        """The entry's reply pointer for a raw text (bytes, or None); the text stays the library's."""
        return self.entries[entry](data)

    def raw(self, data, reply_id=None, entry="DriverEntry"):
        """The checked reply to a raw text."""
        pointer = self.call(data, entry)
        assert pointer, data
        return self.check(ctypes.string_at(pointer).decode(), reply_id)

    def check(self, text, reply_id):
        reply = Reply(text, reply_id)
        self.replies.append(text)
        return reply

    def task(self, command, body=""):
        """A numbered task and its id."""
        task_id = self.next_id
        self.next_id += 1
        return task_text(task_id, command, body), task_id

    def send(self, command, body="", expect=None, entry="DriverEntry", fixed=False):
        """One task: its checked reply, whose status word must be the expected one when given. A fixed reply
        (the library's own, without a session) carries the ids 0."""
        text, task_id = self.task(command, body)
        reply = self.raw(text.encode(), 0 if fixed else task_id, entry)
        if fixed:
            assert reply.id == 0, reply.text
        if expect is not None:
            assert reply.status == expect, (command, expect, reply.text)
        return reply

    def get(self, item, expect=None, fixed=False):
        return self.send("get", leaf("id", item), expect, fixed=fixed)

    def interfaceopen(self, expect="success", callername="drvfront", extra="", entry="DriverEntry", **flags):
        """An interfaceopen of the simulated scanner (images into the root) with its simflags."""
        flags.setdefault("imagedirectory", self.images())
        body = leaf("callername", callername) + simulate(**flags) + extra
        return self.send("interfaceopen", body, expect, entry)

    def drain(self, limit=4000, pause=0.01):
        """getoutput until the batch ends, each image ended once handed out: the image count and the last status."""
        images = 0
        for _ in range(limit):
            reply = self.send("getoutput")
            if reply.status == "noimageready":
                time.sleep(pause)
                continue
            if reply.status != "success":
                return images, reply.status
            images += 1
            self.send("imageend", leaf("imagefilename", reply.find("reportimage/imagefilename")), "success")
        raise AssertionError("the batch did not end")

    def batch(self, **flags):
        """One session with one batch to its end, then interfaceclose (the scanner's files are written) and the
        images removed: the batch's last status."""
        self.interfaceopen(**flags)
        self.send("sessionbegin", expect="success")
        self.send("scanbegin", expect="success")
        _, status = self.drain()
        self.send("scanend", expect="success")
        self.send("interfaceclose", expect="success")
        for name in os.listdir(self.images()):
            os.remove(os.path.join(self.images(), name))
        return status

    def xmllint(self):
        """xmllint reads every reply."""
        directory = tempfile.mkdtemp(dir=self.root)
        paths = []
        for index, text in enumerate(self.replies):
            path = os.path.join(directory, "reply%04d.xml" % index)
            with open(path, "w") as f:
                f.write(text)
            paths.append(path)
        for start in range(0, len(paths), 200):
            out = subprocess.run(["xmllint", "--noout"] + paths[start:start + 200], capture_output=True, text=True)
            assert out.returncode == 0, out.stderr
        shutil.rmtree(directory)

    def close(self):
        """Ends what a stopped or failed group left open (the library's threads and children write into the root
        while a session runs), then removes the root."""
        for entry in ("DriverEntry", "DataEntry"):
            self.call(task_text(self.next_id, "interfaceclose").encode(), entry)
            self.next_id += 1
        os.chdir("/")
        reap_children()
        for _ in range(10):
            shutil.rmtree(self.root, ignore_errors=True)
            if not os.path.exists(self.root):
                break
            time.sleep(0.1)


GROUPS = {}


def group(function):
    """A case of the group its name begins with (one process per group)."""
    GROUPS.setdefault(function.__name__.split("_")[0], []).append(function)
    return function


def stop_on_signal(signum, _frame):
    """A stopped group unwinds as a failed one does, so its root goes."""
    raise SystemExit(128 + signum)


def run_groups(stage, name, **options):
    """Runs a group's cases on one Front, then xmllint; the root goes in any case."""
    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, stop_on_signal)
    front = None
    try:
        front = Front(stage, **options)
        for case in GROUPS[name]:
            case(front)
        front.xmllint()
    finally:
        if front is not None:
            front.close()
    print("%s: %d passed" % (name, len(GROUPS[name])))


def main(argv, options=None):
    """check_*.py STAGE GROUP; options gives a group's Front its own arguments ({group: {argument: value}})."""
    stage, name = argv[1], argv[2]
    if name not in GROUPS:
        sys.exit("unknown group %s (%s)" % (name, ", ".join(sorted(GROUPS))))
    run_groups(stage, name, **(options or {}).get(name, {}))
