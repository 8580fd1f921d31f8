#!/usr/bin/env python3
"""Independent reader and writer of the "PMXCMP01" block stream and reader of
the "PMXSPL01" split stream, written from the format description alone and
kept deliberately plain (rotations sorted naively).

  pmxcmp.py bwt BLOCK OUT          last column of BLOCK to OUT, primary index printed
  pmxcmp.py decode STREAM OUT      decodes a stream; exit 1 when it is refused
  pmxcmp.py encode IN METHOD OUT   encodes with method 2 or 3
  pmxcmp.py split FILE             header and pieces of a split stream, with the
                                   methods of each piece's blocks
"""
import struct
import sys

BLOCK = 65536


def packbits(data):
    out = bytearray()
    header = None  # index of the open literal header
    r, n = 0, len(data)
    while r < n:
        if n - r >= 3 and data[r] == data[r + 1] == data[r + 2]:
            count = 1
            r += 1
            while count < 127 and r + 1 < n and data[r] == data[r + 1]:
                count += 1
                r += 1
            out += bytes([128 + count, data[r - count]])
            header = None
            continue
        if header is None:
            header = len(out)
            out.append(0)
        out.append(data[r])
        r += 1
        out[header] += 1
        if out[header] == 127:
            header = None
    return bytes(out)


def unpackbits(data):
    out = bytearray()
    r = 0
    while r + 1 < len(data):
        h = data[r]
        r += 1
        if h == 0:
            continue
        if h < 128:
            if r + h > len(data):
                raise ValueError("literal packet past the end")
            out += data[r:r + h]
            r += h
        elif h == 128:
            r += 1
        else:
            out += bytes([data[r]]) * (h - 128)
            r += 1
    return bytes(out)


def mtf(data):
    table = list(range(256))
    out = bytearray()
    for b in data:
        i = table.index(b)
        out.append(i)
        table.insert(0, table.pop(i))
    return bytes(out)


def unmtf(data):
    table = list(range(256))
    out = bytearray()
    for i in data:
        b = table.pop(i)
        out.append(b)
        table.insert(0, b)
    return bytes(out)


def bwt(block):
    n = len(block)
    doubled = block + block
    order = sorted(range(n), key=lambda i: doubled[i:i + n])
    last = bytes(block[(i - 1) % n] for i in order)
    return last, order.index(0)


def unbwt(last, primary):
    n = len(last)
    if primary >= n:
        raise ValueError("primary index out of range")
    index = sorted(range(n), key=lambda i: (last[i], i))
    out = bytearray()
    j = index[primary]
    for _ in range(n):
        out.append(last[j])
        j = index[j]
    return bytes(out)


def encode(data, method):
    out = bytearray(b"PMXCMP01" + struct.pack("<IIQ", 24, 16, len(data)))
    for start in range(0, len(data), BLOCK):
        block = data[start:start + BLOCK]
        primary = 0
        if method == 2:
            last, primary = bwt(block)
            coded = packbits(mtf(last))
        else:
            coded = packbits(block)
        if len(block) <= len(coded):
            out += struct.pack("<IIII", 0, 0, len(block), len(block)) + block
        else:
            out += struct.pack("<IIII", method, primary, len(block), len(coded)) + coded
    return bytes(out)


def blocks(stream):
    """(method, primary, length, data) of each block."""
    if stream[:8] != b"PMXCMP01":
        raise ValueError("not a compression stream")
    header, block_header = struct.unpack_from("<II", stream, 8)
    pos = header
    while pos < len(stream):
        method, primary, length, stored = struct.unpack_from("<IIII", stream, pos)
        data = stream[pos + block_header:pos + block_header + stored]
        if len(data) != stored:
            raise ValueError("block past the end")
        yield method, primary, length, data
        pos += block_header + stored


def decode(stream):
    total = struct.unpack_from("<Q", stream, 16)[0]
    out = bytearray()
    for method, primary, length, data in blocks(stream):
        if method == 0:
            piece = data
        elif method == 3:
            piece = unpackbits(data)
        elif method == 2:
            piece = unbwt(unmtf(unpackbits(data)), primary)
        else:
            raise ValueError("unknown method %d" % method)
        if len(piece) != length:
            raise ValueError("block length differs")
        out += piece
    if len(out) != total:
        raise ValueError("total differs")
    return bytes(out)


def split(path):
    with open(path, "rb") as f:
        tag, header, field, size, piece = struct.unpack("<8sIIQI", f.read(28))
        print("tag=%s header=%d field=%d size=%d piece=%d" % (tag.decode(), header, field, size, piece))
        f.seek(header)
        if size < 2:
            length = struct.unpack("<I", f.read(4))[0]
            print("tiny length=%d data=%s" % (length, f.read().hex()))
            return
        done = 0
        while done < size:
            length = struct.unpack("<I", f.read(4))[0]
            start = f.tell()
            total = struct.unpack("<Q", f.read(24)[16:24])[0]
            methods = set()
            pos = 24
            while pos < length:
                f.seek(start + pos)
                method, _, _, stored = struct.unpack("<IIII", f.read(16))
                methods.add(method)
                pos += 16 + stored
            print("piece coded=%d original=%d methods=%s" % (length, total, ",".join(map(str, sorted(methods)))))
            done += total
            f.seek(start + length)
        print("end=%d" % f.tell())


def main(argv):
    command = argv[1]
    if command == "bwt":
        last, primary = bwt(open(argv[2], "rb").read())
        open(argv[3], "wb").write(last)
        print(primary)
    elif command == "decode":
        try:
            out = decode(open(argv[2], "rb").read())
        except (ValueError, struct.error) as error:
            print(error)
            return 1
        open(argv[3], "wb").write(out)
    elif command == "encode":
        open(argv[4], "wb").write(encode(open(argv[2], "rb").read(), int(argv[3])))
    elif command == "split":
        split(argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
