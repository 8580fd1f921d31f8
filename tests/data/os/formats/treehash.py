#!/usr/bin/env python3
"""One line per entry of a watched tree, for comparing the tree before and
after something that must not touch it: its path, kind, permission bits,
modification time, and a file's SHA-256 or a link's target. Links are
listed, never followed.

  treehash.py DIRECTORY
"""
import hashlib
import os
import stat
import sys


def entry(path, top):
    st = os.lstat(path)
    rel = os.path.relpath(path, top)
    if stat.S_ISLNK(st.st_mode):
        what = "link " + os.readlink(path)
    elif stat.S_ISDIR(st.st_mode):
        what = "dir"
    else:
        with open(path, "rb") as f:
            what = "file " + hashlib.sha256(f.read()).hexdigest()
    return "%s %o %d %s" % (rel, stat.S_IMODE(st.st_mode), st.st_mtime_ns, what)


def main(argv):
    top = argv[1]
    lines = [entry(top, top)]
    for root, dirs, files in os.walk(top):
        dirs.sort()
        for name in sorted(dirs + files):
            lines.append(entry(os.path.join(root, name), top))
    sys.stdout.write("".join(line + "\n" for line in lines))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
