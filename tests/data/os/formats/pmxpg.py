#!/usr/bin/env python3
"""Independent reader of table and firmware packages, written from the file
layout alone: prints the version, header 0 and each file header, whether
the padding is zero, and the file size.

  pmxpg.py PACKAGE
"""
import struct
import sys


def text(raw):
    return raw.split(b"\0")[0].decode("latin-1")


def main(argv):
    data = open(argv[1], "rb").read()
    print("version=%d" % data[0])
    header = data[1:265]
    model, kind = struct.unpack_from("<QI", header, 0)
    print("package model=%d type=%d description=%s version=%s zero=%s" % (
        model, kind, text(header[12:76]), text(header[76:108]), header[108:] == bytes(156)))
    for index in range(1, 128):
        header = data[1 + index * 264:1 + (index + 1) * 264]
        if header[0] == 0:
            break
        kind, destination, offset, size = struct.unpack_from("<IIQQ", header, 64)
        print("file %d name=%s type=%d destination=%d offset=%d size=%d description=%s version=%s model=%s zero=%s" % (
            index, text(header[0:64]), kind, destination, offset, size, text(header[88:152]), text(header[152:184]),
            header[184:200].hex(), header[200:] == bytes(64)))
    print("size=%d" % len(data))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
