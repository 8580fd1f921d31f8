"""The driver's files in its shared directories, tried as another local user and a hard life would try them:
names made in advance (links to files and directories outside the root, dangling links, link loops, plain files
and directories), sessions killed with SIGKILL, two sessions opened at the same moment, and a full file system
under the driver's var. The staged library through ctypes (drvfront), a throwaway root.

    check_shared.py STAGE GROUP

Groups: links (names made in advance: nothing outside the root changes, the session works), killed (20 killed
sessions leave nothing in the common directory once a clean session opens), twins (two processes opening at once
get distinct log directories and event names), full (the var on a small tmpfs that is full: interfaceopen is
refused with a log line and the caller lives; with room again the next open scans)."""
import ctypes
import glob
import hashlib
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import drvfront  # noqa: E402
from drvfront import group, leaf  # noqa: E402

IN_PROCESS = {"dsIdentity": {"ForceNexilCall": "1"}}
DUMP = leaf("debug", leaf("imagestoapp", "on"))  # the image dump on
PLANTED = 4000  # log directory names made in advance: four seconds of them


def snapshot(top):
    """Every entry below top as lstat sees it: kind, mode, and the bytes' hash or the link's target."""
    found = {}
    for directory, names, files in os.walk(top):
        for name in names + files:
            path = os.path.join(directory, name)
            st = os.lstat(path)
            if stat.S_ISLNK(st.st_mode):
                what = "link " + os.readlink(path)
            elif stat.S_ISREG(st.st_mode):
                with open(path, "rb") as f:
                    what = hashlib.sha256(f.read()).hexdigest()
            else:
                what = "dir"
            found[os.path.relpath(path, top)] = (stat.S_IFMT(st.st_mode), stat.S_IMODE(st.st_mode), what)
    return found


class Canary:
    """A directory outside the driver's root with files of several modes: nothing may change in it."""

    def __init__(self, root):
        self.path = tempfile.mkdtemp(prefix="canary-", dir=os.path.dirname(root))
        for name, mode in (("file", 0o640), ("log", 0o600), ("ini", 0o644)):
            with open(os.path.join(self.path, name), "w") as f:
                f.write("canary %s\n" % name)
            os.chmod(os.path.join(self.path, name), mode)
        os.mkdir(os.path.join(self.path, "dir"), 0o750)
        self.before = snapshot(self.path)

    def check(self):
        assert snapshot(self.path) == self.before, (snapshot(self.path), self.before)

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


def caller_directory(front, callername):
    """Where the sessions of a caller keep their log directories."""
    return os.path.join(front.root, "var", drvfront.COMPANY, drvfront.MODEL, callername)


def common_directory(front):
    return os.path.join(front.root, "var", drvfront.COMPANY, "common")


def log_names(start, count):
    """The log directory names of count milliseconds from start (seconds since the epoch), in local time."""
    names = []
    for n in range(count):
        ms = int(start * 1000) + n
        t = time.localtime(ms // 1000)
        names.append("log.%s%03d" % (time.strftime("%Y%m%d%H%M%S", t), ms % 1000))
    return names


def plant(directory, names, canary):
    """Each name made in advance as one of: a link to a canary directory, a link to a canary file, a dangling
    link into the canary, a link loop, a plain file, a directory holding links named as the session's files."""
    os.makedirs(directory, exist_ok=True)
    for index, name in enumerate(names):
        path = os.path.join(directory, name)
        kind = index % 6
        if kind == 0:
            os.symlink(os.path.join(canary.path, "dir"), path)
        elif kind == 1:
            os.symlink(os.path.join(canary.path, "file"), path)
        elif kind == 2:
            os.symlink(os.path.join(canary.path, "made-through-a-link"), path)
        elif kind == 3:
            os.symlink(name, path)
        elif kind == 4:
            with open(path, "w") as f:
                f.write("planted\n")
        else:
            os.mkdir(path)
            for inner in ("log.lock", "images", drvfront.UNIQUE):
                os.symlink(os.path.join(canary.path, "log" if inner == "log.lock" else "dir"),
                           os.path.join(path, inner))
    return snapshot(directory)


def scan(front, sheets):
    front.send("scanbegin", expect="success")
    images, status = front.drain(pause=0.005)
    assert (images, status) == (2 * sheets, "endofoutput"), (images, status)
    front.send("scanend", expect="success")


# -- links -------------------------------------------------------------------------------------------------------
@group
def links_made_in_advance_are_never_used(front):
    """4,000 log directory names made in advance over the next seconds (links to a directory and a file outside
    the root, dangling links, link loops, plain files, directories full of links): the session, with debug
    logging and the image dump on, makes a log directory of its own after them. The image dump directory made
    in advance as a link is refused (the scan goes on); made as a directory of links at the dump's names, the
    dumps at links are refused, never written through. Nothing outside the root changes, nor any name made in advance."""
    canary = Canary(front.root)
    try:
        front.configure(IN_PROCESS)
        directory = caller_directory(front, "drvfront")
        names = log_names(time.time(), PLANTED)
        planted = plant(directory, names, canary)
        reply = front.interfaceopen(pages=2, duplex="true", extra=DUMP)
        assert reply.status == "success", reply.text
        own = [name for name in os.listdir(directory) if name.startswith("log.") and name not in names]
        assert len(own) == 1 and own[0] > names[-1], own
        session = os.path.join(directory, own[0])
        assert os.path.isdir(session) and not os.path.islink(session), session
        logs = os.path.join(session, drvfront.UNIQUE)
        assert sorted(os.listdir(logs)) == ["driver_kv.log", "log.lock", "pmxoscfg_kv.txt"], os.listdir(logs)
        front.send("sessionbegin", expect="success")

        images = os.path.join(logs, "images")
        os.symlink(os.path.join(canary.path, "dir"), images)
        scan(front, 2)
        assert "ScanBegin: cannot create <%s>" % images in front.log()
        os.unlink(images)
        os.mkdir(images)
        dumps = [os.path.join(images, "app%d.tif" % n) for n in range(1, 5)]
        for path in dumps[:2]:
            os.symlink(os.path.join(canary.path, "file"), path)
        scan(front, 2)
        front.send("interfaceclose", expect="success")
        # The dumps at links are refused (the links stay), the others written.
        assert all(os.path.islink(path) for path in dumps[:2]), os.listdir(images)
        assert all(os.path.isfile(path) and not os.path.islink(path) for path in dumps[2:]), os.listdir(images)
        assert "SaveImage: COsImage::Create failed..." in front.log()
        canary.check()
        now = snapshot(directory)
        # The names made in advance are as they were, but for old log directories nobody holds, which the
        # pruning of log directories may remove (as a whole, links as links).
        changed = {name: (now.get(name), planted[name]) for name in planted
                   if now.get(name) not in (planted[name], None)}
        gone = {name.split(os.sep)[0] for name in planted if name not in now}
        assert not changed and all(planted[name][0] == stat.S_IFDIR for name in gone), (sorted(changed.items())[:5],
                                                                                         sorted(gone)[:5])
    finally:
        canary.remove()


# -- killed sessions ---------------------------------------------------------------------------------------------
OPEN_ONCE = r"""
import ctypes, sys, time
sys.path.insert(0, %(here)r)
import drvfront
lib = ctypes.CDLL(%(library)r)
lib.DriverEntry.restype = ctypes.c_void_p
lib.DriverEntry.argtypes = [ctypes.c_char_p]
body = drvfront.leaf("callername", "once") + drvfront.simulate(imagedirectory=%(images)r)
reply = ctypes.string_at(lib.DriverEntry(drvfront.task_text(1, "interfaceopen", body).encode())).decode()
print(drvfront.Reply(reply, 1).status, flush=True)
time.sleep(%(linger)d)
"""


def open_once(front, linger=0, **options):
    """A front end of its own (a process on the front's root) that opens a session once, prints the status
    and lingers that many seconds."""
    code = OPEN_ONCE % {"here": os.path.dirname(os.path.abspath(__file__)), "library": front.library(),
                        "images": front.images(), "linger": linger}
    return subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            cwd=front.root, **options)


@group
def killed_sessions_leave_nothing_behind(front):
    """20 sessions killed with SIGKILL once open (five at a time) leave their driver events until the next open
    removes them: after a clean session's interfaceopen the common directory holds only that session's files,
    the session scans, and after its interfaceclose nothing of it is left."""
    front.configure(IN_PROCESS)
    for _ in range(4):
        children = [open_once(front, linger=60) for _ in range(5)]
        for child in children:
            assert child.stdout.readline().strip() == "success"
        for child in children:
            child.send_signal(signal.SIGKILL)
            child.wait()
    common = common_directory(front)
    # Each open removed the events of the sessions killed before it: the last five are left.
    left = [name for name in os.listdir(common) if name.startswith("event_DriverEvent_")]
    assert len(left) == 5, left
    reply = front.interfaceopen()
    name = reply.find("reporteventname/eventname")
    assert sorted(os.listdir(common)) == ["event_" + name], os.listdir(common)
    front.send("sessionbegin", expect="success")
    scan_open = front.send("scanbegin", expect="success")
    assert scan_open.status == "success"
    front.drain(pause=0.005)
    front.send("scanend", expect="success")
    front.send("interfaceclose", expect="success")
    assert os.listdir(common) == [], os.listdir(common)


# -- two sessions at once ----------------------------------------------------------------------------------------
TWIN = r"""
import ctypes, os, re, sys, time
sys.path.insert(0, %(here)r)
import drvfront
lib = ctypes.CDLL(%(library)r)
lib.DriverEntry.restype = ctypes.c_void_p
lib.DriverEntry.argtypes = [ctypes.c_char_p]
def send(n, command, body=""):
    return ctypes.string_at(lib.DriverEntry(drvfront.task_text(n, command, body).encode())).decode()
body = drvfront.leaf("callername", "twins") + drvfront.simulate(imagedirectory=%(images)r)
while time.time() < %(start)r:
    pass
reply = send(1, "interfaceopen", body)
print(re.search("<eventname>(.*?)</eventname>", reply).group(1), flush=True)
print(send(2, "sessionbegin").count("<status>success</status>"), flush=True)
sys.stdin.readline()
print(send(3, "interfaceclose").count("<status>success</status>"), flush=True)
"""


@group
def twins_opening_at_once_get_names_of_their_own(front):
    """Two processes opening a session in the same moment (started together on one clock reading): distinct log
    directories and driver event names, both sessions work."""
    front.configure(IN_PROCESS)
    start = time.time() + 1.5
    code = TWIN % {"here": os.path.dirname(os.path.abspath(__file__)), "library": front.library(),
                   "images": front.images(), "start": start}
    twins = [subprocess.Popen([sys.executable, "-c", code], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              text=True, cwd=front.root) for _ in range(2)]
    events = [twin.stdout.readline().strip() for twin in twins]
    assert all(re.fullmatch(r"DriverEvent_\d{17}", event) for event in events) and events[0] != events[1], events
    assert [twin.stdout.readline().strip() for twin in twins] == ["1", "1"]
    common = common_directory(front)
    assert sorted(os.listdir(common)) == sorted("event_" + event for event in events), os.listdir(common)
    for twin in twins:
        twin.stdin.write("\n")
        twin.stdin.flush()
    assert [twin.stdout.readline().strip() for twin in twins] == ["1", "1"]
    assert [twin.wait() for twin in twins] == [0, 0]
    logs = [name for name in os.listdir(caller_directory(front, "twins")) if name.startswith("log.")]
    assert len(logs) == 2, logs


# -- a full file system ------------------------------------------------------------------------------------------
def fill(directory):
    """Writes a file until the file system holding the directory is full."""
    fd = os.open(os.path.join(directory, "filler"), os.O_WRONLY | os.O_CREAT, 0o600)
    try:
        while os.write(fd, b"\0" * 4096) > 0:
            pass
    except OSError:
        pass
    finally:
        os.close(fd)


def refused_in_child(front, logdir):
    """A front end of its own opens a session once: it must be refused and live on to exit by itself (a failed
    first open ends what a process may do with the driver). The text of its log, kept in logdir by PMX_LOGDIR."""
    child = open_once(front, env=dict(os.environ, PMX_LOGDIR=logdir))
    out, err = child.communicate(timeout=120)
    assert child.returncode == 0 and out.strip() not in ("", "success"), (child.returncode, out, err[-2000:])
    return "".join(open(path, errors="replace").read() for path in glob.glob(os.path.join(logdir, "*.log")))


@group
def full_common_directory_that_is_no_directory(front):
    """A common directory that cannot hold the named objects (a plain file at its name, as root passes any
    mode): interfaceopen is refused with a log line and the caller lives; with the directory back, a session
    opens and scans."""
    front.configure(IN_PROCESS)
    common = common_directory(front)
    os.makedirs(os.path.dirname(common), exist_ok=True)
    with open(common, "w") as f:
        f.write("not a directory\n")
    logdir = os.path.join(front.root, "logs-common")
    os.makedirs(logdir)
    text = refused_in_child(front, logdir)
    assert "EventCreate failed...<DriverEvent_" in text, text[-3000:]
    os.unlink(common)
    front.interfaceopen(pages=1, duplex="true")
    front.send("sessionbegin", expect="success")
    scan(front, 1)
    front.send("interfaceclose", expect="success")


@group
def full_var_refuses_the_open(front):
    """The driver's var on a small tmpfs (in a mount namespace of this process) that is full: a front end's
    interfaceopen answers a refusal, the log (kept outside by PMX_LOGDIR) says why, and the front end lives on to
    exit by itself; with room again the next front end's interfaceopen scans."""
    var = os.path.join(front.root, "var")
    os.makedirs(var, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4m", "tmpfs", var], check=True)
    front.configure(IN_PROCESS)
    logdir = os.path.join(front.root, "logs")
    os.makedirs(logdir)
    fill(var)
    text = refused_in_child(front, logdir)
    assert "posix_fallocate failed..." in text and "EventCreate failed...<DriverEvent_" in text, text[-3000:]
    os.unlink(os.path.join(var, "filler"))
    front.interfaceopen(pages=1, duplex="true")
    front.send("sessionbegin", expect="success")
    scan(front, 1)
    front.send("interfaceclose", expect="success")


def main():
    stage, name = sys.argv[1], sys.argv[2]
    if name == "full" and os.environ.get("CHECK_SHARED_NAMESPACE") != "1":
        # A mount namespace of its own (and, for a user that is not root, a user namespace mapping it to root):
        # the tmpfs goes with the process.
        os.environ["CHECK_SHARED_NAMESPACE"] = "1"
        unshare = ["unshare", "-m"] if os.geteuid() == 0 else ["unshare", "-rm"]
        probe = subprocess.run(unshare + ["true"], capture_output=True)
        if probe.returncode != 0:
            print("full: no mount namespace here (%s), skipped" % probe.stderr.decode().strip())
            return
        sys.exit(subprocess.run(unshare + [sys.executable] + sys.argv).returncode)
    drvfront.run_groups(stage, name)


if __name__ == "__main__":
    main()
