"""Runs the device engine's test of the image library's host under strace and checks, from the system calls
alone, that the host was started exactly once, as <models>/<model>/lib/dravix, with its six arguments in their
order: the library's path without its suffix, the entry, the channel's address and port, the id of the process that
started it (16 lower-case hexadecimal digits) and the default memory limit.

Usage: check_dravix_spawn.py TEST_DEV MODELS MODEL. Exit status 77 when strace cannot trace here (skipped)."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

TEST = "DevNexilDravix.StartsTheHostWithItsArgumentsAndEndsIt"
STRING = re.compile(r'"((?:[^"\\]|\\.)*)"')
EXECVE = re.compile(r'^(\d+)\s+execve\("((?:[^"\\]|\\.)*)", \[(.*?)\](?:\.\.\.)?, .*\) = (-?\d+)')
CLONE = re.compile(r'^(\d+)\s+(?:(?:clone3?|v?fork)\(.*|<\.\.\. (?:clone3?|v?fork) resumed>.*)\) += (\d+)$')


def trace_of(test_dev, directory):
    """The trace's lines, or None when strace cannot trace a process here."""
    if not shutil.which("strace"):
        return None
    trace = os.path.join(directory, "trace")
    done = subprocess.run(["strace", "-f", "-qq", "-s", "65536", "-e", "trace=execve,clone,clone3,fork,vfork", "-o",
                           trace, test_dev, "--gtest_filter=" + TEST], capture_output=True, text=True, timeout=300)
    if not os.path.exists(trace) or "ptrace" in done.stderr and "Operation not permitted" in done.stderr:
        return None
    assert done.returncode == 0, done.stdout[-4000:] + done.stderr[-4000:]
    with open(trace, encoding="utf-8", errors="replace") as f:
        return joined(f.read().splitlines())


def joined(lines):
    """The lines with each call that strace cut in two ("<unfinished ...>", then "<... NAME resumed>") put together
    again: a child started with vfork runs while its parent's call is still open."""
    pending, whole = {}, []
    for line in lines:
        pid, _, rest = line.partition(" ")
        if line.endswith(" <unfinished ...>"):
            pending[pid] = line[: -len(" <unfinished ...>")]
            continue
        resumed = re.match(r"\s*<\.\.\. \w+ resumed>(.*)$", rest)
        if resumed and pid in pending:
            whole.append(pending.pop(pid) + re.sub(r"^\)\s+=", ") =", resumed.group(1)))
            continue
        whole.append(line)
    return whole + list(pending.values())


def main():
    test_dev, models, model = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
    with tempfile.TemporaryDirectory() as directory:
        lines = trace_of(test_dev, directory)
    if lines is None:
        print("strace cannot trace here: skipped")
        return 77
    executions = [m for m in map(EXECVE.match, lines) if m]
    assert executions and executions[0].group(2) == test_dev, lines[:3]
    test_process = int(executions[0].group(1))
    parents = {int(m.group(2)): int(m.group(1)) for m in map(CLONE.match, lines) if m}
    lib = os.path.join(models, model, "lib")
    hosts = [m for m in executions if m.group(2).endswith("/dravix") and m.group(4) == "0"]
    assert len(hosts) == 1, [m.group(0) for m in hosts]
    host = hosts[0]
    argv = STRING.findall(host.group(3))
    assert host.group(2) == os.path.join(lib, "dravix"), host.group(2)
    assert len(argv) == 7, argv
    assert argv[0] == host.group(2), argv
    assert argv[1] == "dll:" + os.path.join(lib, "nexil"), argv
    assert argv[2] == "entry:NexEntry", argv
    assert argv[3] == "addr:@MESSAGEQUEUE", argv
    assert re.fullmatch(r"port:\S+;\S+", argv[4]), argv
    assert argv[5] == "pid:%016x" % test_process, (argv, test_process)
    assert argv[6] == "maxmemory:1800000000", argv
    # The host is a child of the test process, started from its main thread.
    assert parents.get(int(host.group(1))) == test_process, (host.group(0), parents)
    print("one host, started by %d with %s" % (test_process, argv[1:]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
