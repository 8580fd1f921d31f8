#!/usr/bin/env python3
"""Independent walker of "PMXPKG01" package archives, written from the format
description alone.

  pmxpkg.py dump ARCHIVE NAME   the readable dump of the archive (NAME is the
                                archive's name as the dump's first line shows it)
  pmxpkg.py list ARCHIVE        the header total, then one line per record:
                                type size access path
  pmxpkg.py build ARCHIVE ENTRY...
                                writes an archive of the entries in order:
                                "d:PATH" a directory record, "f:PATH=TEXT" a
                                file record (read-write, run-length coded)
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pmxcmp  # noqa: E402

TIME = "%04d/%02d/%02d %02d:%02d:%02d.%03d (%d)"


def when(fields):
    year, month, weekday, day, hour, minute, second, millis = fields
    return TIME % (year, month, day, hour, minute, second, millis, weekday)


def records(data):
    tag, header, chunk, total = struct.unpack_from("<8sIIQ", data, 0)
    pos = header
    while pos < len(data):
        size = struct.unpack_from("<Q", data, pos)[0]
        name = data[pos + 8:pos + 264].split(b"\0")[0].decode()
        kind, access = struct.unpack_from("<II", data, pos + 264)
        accessed = struct.unpack_from("<8H", data, pos + 272)
        modified = struct.unpack_from("<8H", data, pos + 288)
        yield pos, size, name, kind, access, accessed, modified
        pos += chunk + size
    if pos != len(data):
        raise ValueError("records end at %d, the file at %d" % (pos, len(data)))


def dump(data, name):
    tag, header, chunk, total = struct.unpack_from("<8sIIQ", data, 0)
    out = ["Package: %s" % name, "", "Package Common Header"]
    common = [" au8Tag...................%s" % tag.decode(), " u32OsFilePackageHeader...%u" % header,
              " u32OsFilePackageChunk....%u" % chunk]
    out += common + ["", "Package Header"] + common + [" u64TotalOriginalBytes....%u" % total]
    for count, (pos, size, path, kind, access, accessed, modified) in enumerate(records(data), 1):
        out += ["", "Package Chunk (count=%d offset=%d)" % (count, pos),
                " u64Size..................%u" % size,
                " szFilename...............%s" % path,
                " u32OsFileType............%u (%s)" % (kind, "dir" if kind == 1 else "file"),
                " u32OsFileAccess..........%u (%s)" % (access, "readonly" if access == 1 else "readwrite"),
                " ostimerecordAccessed.....%s" % when(accessed),
                " ostimerecordModified.....%s" % when(modified)]
    return "".join(line + "\r\n" for line in out)


def split_stream(data):
    if len(data) < 2:
        return struct.pack("<8sIIQII", b"PMXSPL01", 28, 4, len(data), 0, len(data)) + data
    stream = pmxcmp.encode(data, 3)
    return struct.pack("<8sIIQII", b"PMXSPL01", 28, 4, len(data), 0x2000000, len(stream)) + stream


def build(entries):
    stamp = struct.pack("<8H", 2021, 3, 4, 4, 5, 6, 7, 0)
    out = bytearray()
    total = 0
    for entry in entries:
        kind, rest = entry.split(":", 1)
        path, _, text = rest.partition("=")
        data = split_stream(text.encode()) if kind == "f" and text else b""
        total += len(text) if kind == "f" else 0
        name = path.encode()
        out += struct.pack("<Q", len(data)) + name + b"\0" * (256 - len(name))
        out += struct.pack("<II", 1 if kind == "d" else 2, 3) + stamp + stamp + data
    return struct.pack("<8sIIQ", b"PMXPKG01", 24, 304, total) + bytes(out)


def main(argv):
    if argv[1] == "build":
        open(argv[2], "wb").write(build(argv[3:]))
        return 0
    data = open(argv[2], "rb").read()
    if argv[1] == "dump":
        sys.stdout.write(dump(data, argv[3]))
    elif argv[1] == "list":
        print("total=%d" % struct.unpack_from("<Q", data, 16)[0])
        for pos, size, path, kind, access, accessed, modified in records(data):
            print("%s %d %d %s" % ("dir" if kind == 1 else "file", size, access, path))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
