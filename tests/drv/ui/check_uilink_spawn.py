"""Runs the link's start test under strace and checks, from the system calls alone, that the child was started
once, as the stand-in's path with that path as its only argument, in a session of its own (setsid in the child,
before its execve), with the addresses and the owner's variables in its own environment, while the test's own
environment holds none of them.

Usage: check_uilink_spawn.py TEST_DRV_UI STANDIN. Exit status 77 when strace cannot trace here (skipped)."""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

TEST = "DrvUiLinkSpawn.TheChildGetsItsOwnVariablesInASessionOfItsOwn"
STRING = re.compile(r'"((?:[^"\\]|\\.)*)"')
VARIABLES = {"PMX_UIRESOURCEFILE": "/opt/scandrv/kv/lib/libscandrv.so", "UI_TIMEOUT": "30",
             "PMX_FIRMWARE": "firmware.bin"}
PUBLISHED = ("PMX_UISOCKETS", "PMX_UISOCKETSUNICODE", "UISTANDIN_LOG") + tuple(VARIABLES)


def unescape(text):
    return text.encode("latin-1", "backslashreplace").decode("unicode_escape")


def strings_of_list(text, at):
    """The strings of the bracketed list that starts at text[at] ("["), and the offset after its "]"."""
    assert text[at] == "[", text[at:at + 40]
    at += 1
    values = []
    while text[at] != "]":
        match = STRING.match(text, at)
        assert match, text[at:at + 80]
        values.append(unescape(match.group(1)))
        at = match.end()
        if text.startswith(", ", at):
            at += 2
    return values, at + 1


def execve(line):
    """(path, argv, envp, result) of an execve line of strace -v."""
    match = re.match(r'execve\(' + STRING.pattern + r', ', line)
    if not match:
        return None
    argv, at = strings_of_list(line, match.end())
    assert line.startswith(", ", at)
    envp, at = strings_of_list(line, at + 2)
    result = re.search(r"\) = (-?\d+)", line[at:])
    return unescape(match.group(1)), argv, dict(e.split("=", 1) for e in envp if "=" in e), int(result.group(1))


def traces(test, directory):
    """Each traced process's lines, or None when strace cannot trace a process here."""
    if not shutil.which("strace"):
        return None
    done = subprocess.run(["strace", "-ff", "-v", "-qq", "-s", "65536", "-e", "trace=execve,setsid", "-o",
                           os.path.join(directory, "trace"), test, "--gtest_filter=" + TEST],
                          capture_output=True, text=True, timeout=300)
    if "ptrace" in done.stderr and "Operation not permitted" in done.stderr:
        return None
    assert done.returncode == 0, done.stdout[-4000:] + done.stderr[-4000:]
    result = {}
    for path in glob.glob(os.path.join(directory, "trace.*")):
        with open(path, encoding="latin-1") as f:
            result[int(path.rsplit(".", 1)[1])] = f.read().splitlines()
    return result or None


def main():
    test, standin = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory() as directory:
        processes = traces(test, directory)
    if processes is None:
        print("strace cannot trace here: skipped")
        return 77
    runs = {pid: [c for c in map(execve, lines) if c] for pid, lines in processes.items()}
    tests = [pid for pid, calls in runs.items() if calls and calls[0][0] == test]
    assert len(tests) == 1, runs
    own = runs[tests[0]][0][2]
    for name in PUBLISHED:
        assert name not in own, name
    children = [(pid, call) for pid, calls in runs.items() for call in calls if call[0] == standin and call[3] == 0]
    assert len(children) == 1, children
    pid, (path, argv, envp, _) = children[0]
    assert argv == [standin], argv
    for name, value in VARIABLES.items():
        assert envp.get(name) == value, (name, envp.get(name))
    sockets = envp.get("PMX_UISOCKETS", "")
    assert sockets.startswith("<uisockets>\n\t<drv2gui>\n\t\t<address><![CDATA[") and "<gui2drv>" in sockets, sockets
    assert envp.get("PMX_UISOCKETSUNICODE") == sockets
    assert "UISTANDIN_LOG" in envp
    lines = processes[pid]
    setsid = [i for i, line in enumerate(lines) if re.match(r"setsid\(\)\s*= %d$" % pid, line)]
    exec_at = [i for i, line in enumerate(lines) if line.startswith('execve("%s"' % standin)]
    assert setsid and exec_at and setsid[0] < exec_at[0], lines[:5]
    print("one child %d: %s, its own session, %d variables of its own" % (pid, argv, len(VARIABLES) + 3))
    return 0


if __name__ == "__main__":
    sys.exit(main())
