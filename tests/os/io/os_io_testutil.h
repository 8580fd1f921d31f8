// Helpers of the channel tests: the ring-file format read straight from the
// file, and a Python implementation of that format written from its tables
// (the independent peer).
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "test_support.h"

namespace iotest {

// The header fields as the file holds them right now.
struct RingFileHeader {
  int version = -1;
  int created = -1;
  int32_t total = 0;
  int32_t free = 0;
  int32_t write = 0;
  int32_t read = 0;
  int count = 0;
};

inline int32_t Le32(const std::string& a_bytes, size_t a_offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(a_bytes[a_offset + i]);
  return static_cast<int32_t>(value);
}

// Only the header is read: a ring file may be large (and sparse).
inline RingFileHeader ReadRingHeader(const std::string& a_path) {
  std::string bytes(88, '\0');
  RingFileHeader header;
  int fd = open(a_path.c_str(), O_RDONLY | O_CLOEXEC);
  ssize_t got = fd >= 0 ? pread(fd, bytes.data(), bytes.size(), 0) : -1;
  if (fd >= 0) close(fd);
  if (got != static_cast<ssize_t>(bytes.size())) return header;
  header.version = static_cast<uint8_t>(bytes[0]);
  header.created = static_cast<uint8_t>(bytes[1]);
  header.total = Le32(bytes, 2);
  header.free = Le32(bytes, 6);
  header.write = Le32(bytes, 10);
  header.read = Le32(bytes, 14);
  header.count = static_cast<uint8_t>(bytes[18]);
  return header;
}

// Patches little-endian bytes of a file in place.
inline void PatchFile(const std::string& a_path, size_t a_offset, const std::string& a_bytes) {
  std::string bytes = testsupport::ReadFile(a_path);
  bytes.replace(a_offset, a_bytes.size(), a_bytes);
  testsupport::WriteFile(a_path, bytes);
}

inline std::string Le32Bytes(int32_t a_value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(static_cast<uint32_t>(a_value) >> (8 * i));
  return bytes;
}

// The ring format in Python: header and record layout, rounding, the
// skipped tail and wrapping payloads, each call under a classic record lock
// on byte 0 (fcntl.lockf), as another program would take it. Scripts append
// their own commands to this text; argv[1] is the ring file.
inline const char* const kPythonRing = R"(
import fcntl, json, mmap, struct, sys
H, R = 88, 16

def header(m):
    v, c, total, free, w, r, cnt = struct.unpack_from('<BBiiiiB', m, 0)
    return dict(version=v, created=c, total=total, free=free, write=w, read=r, count=cnt)

def rup(n):
    return (n + 7) & ~7

def advance(h, off, n):
    off += n
    return H + off - h['total'] if off >= h['total'] else off

def copy_in(m, h, pos, data):
    first = min(len(data), h['total'] - pos)
    m[pos:pos + first] = data[:first]
    m[H:H + len(data) - first] = data[first:]

def copy_out(m, h, pos, n):
    first = min(n, h['total'] - pos)
    return bytes(m[pos:pos + first]) + bytes(m[H:H + n - first])

def write_record(m, data):
    h = header(m)
    w, free = h['write'] or H, h['free']
    if w + R > h['total']:
        free -= h['total'] - w
        w = H
    assert free >= R + 8 and len(data) <= free - R
    copy_in(m, h, advance(h, w, R), data)
    struct.pack_into('<ii8x', m, w, len(data), 0)
    used = R + rup(len(data))
    struct.pack_into('<ii', m, 6, free - used, advance(h, w, used))
    m[18] = (h['count'] + 1) & 0xFF

def read_record(m):
    h = header(m)
    r, free = h['read'] or H, h['free']
    if r == h['write'] and free >= h['total'] - H:
        return None
    if r + R > h['total']:
        free += h['total'] - r
        r = H
    length, done = struct.unpack_from('<ii', m, r)
    data = copy_out(m, h, advance(h, advance(h, r, R), done), length - done)
    struct.pack_into('<ii8x', m, r, 0, 0)
    used = R + rup(length)
    struct.pack_into('<i', m, 6, free + used)
    struct.pack_into('<i', m, 14, advance(h, r, used))
    return data

def records(m):
    h = header(m)
    out, r, left = [], h['read'] or H, h['total'] - H - h['free']
    while left > 0:
        if r + R > h['total']:
            left -= h['total'] - r
            r = H
        length, done = struct.unpack_from('<ii', m, r)
        out.append(dict(offset=r, length=length, done=done, zero=bytes(m[r + 8:r + 16]) == bytes(8),
                        data=copy_out(m, h, advance(h, r, R), length).decode('latin-1')))
        left -= R + rup(length)
        r = advance(h, r, R + rup(length))
    return out

def locked(fn):
    with open(sys.argv[1], 'r+b') as f:
        fcntl.lockf(f, fcntl.LOCK_EX, 1, 0)
        m = mmap.mmap(f.fileno(), 0)
        try:
            return fn(m)
        finally:
            m.close()
            fcntl.lockf(f, fcntl.LOCK_UN, 1, 0)
)";

}  // namespace iotest
