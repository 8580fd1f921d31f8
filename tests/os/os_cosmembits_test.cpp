// Bit copy and fill, byte swapping, the checksum and the scrambler, judged
// against Python over tables of cases.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "os_cosmem.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::string Hex(const Bytes& a_bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (unsigned char b : a_bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s.empty() ? "-" : s;
}

Bytes Random(std::mt19937& a_rng, size_t a_sizet) {
  Bytes bytes(a_sizet);
  for (auto& b : bytes) b = static_cast<unsigned char>(a_rng());
  return bytes;
}

// Bit n is bit n mod 8 of byte n / 8, counted from the most significant bit:
// Python reads each buffer as one big-endian number and slices it.
const char kPythonBits[] = R"(
import sys
def bits(h):
    return [] if h == '-' else list(''.join(format(b, '08b') for b in bytes.fromhex(h)))
def tohex(bl):
    return bytes(int(''.join(bl[i:i+8]), 2) for i in range(0, len(bl), 8)).hex()
for line in sys.stdin:
    f = line.split()
    if f[0] == 'cpy':
        d, s = bits(f[1]), bits(f[2]); db, sb, n = int(f[3]), int(f[4]), int(f[5])
        d[db:db+n] = s[sb:sb+n]
        print(tohex(d))
    elif f[0] == 'set':
        d = bits(f[1]); b, n, v = int(f[2]), int(f[3]), f[4]
        d[b:b+n] = [v] * n
        print(tohex(d))
)";

TEST(OsMemBits, CpyBitsAndSetBitsAgreeWithPython) {
  std::mt19937 rng(20240611);
  struct Case {
    std::string op;
    Bytes in;
    Bytes out;
  };
  std::vector<Case> cases;
  std::ostringstream input;
  // Whole-byte copies, the documented 3/0/5 case and random spans.
  struct Fixed {
    size_t dst, src, dbit, sbit, count;
  };
  std::vector<Fixed> fixed = {{1, 1, 3, 0, 5}, {4, 4, 8, 16, 16}, {3, 3, 0, 0, 24}, {2, 3, 7, 9, 9},
                              {5, 2, 1, 0, 16}, {1, 1, 0, 7, 1},  {8, 8, 13, 2, 50}};
  for (int i = 0; i < 300; ++i) {
    size_t dst = 1 + rng() % 8, src = 1 + rng() % 8;
    size_t maxcount = std::min(dst, src) * 8;
    size_t count = 1 + rng() % maxcount;
    size_t dbit = rng() % (dst * 8 - count + 1), sbit = rng() % (src * 8 - count + 1);
    if (i % 5 == 0) {  // byte-aligned cases take the whole-byte path
      count = 8 * (1 + rng() % std::min(dst, src));
      dbit = 8 * (rng() % (dst - count / 8 + 1));
      sbit = 8 * (rng() % (src - count / 8 + 1));
    }
    fixed.push_back({dst, src, dbit, sbit, count});
  }
  for (const auto& f : fixed) {
    Bytes d = Random(rng, f.dst), s = Random(rng, f.src);
    Bytes out = d;
    ASSERT_EQ(OS_STS_SUCCESS, COsMem::CpyBits(out.data(), out.size(), f.dbit, s.data(), s.size(), f.sbit, f.count));
    input << "cpy " << Hex(d) << " " << Hex(s) << " " << f.dbit << " " << f.sbit << " " << f.count << "\n";
    cases.push_back({"cpy", d, out});
  }
  for (int i = 0; i < 150; ++i) {
    size_t bytes = 1 + rng() % 8;
    size_t count = 1 + rng() % (bytes * 8);
    size_t bit = rng() % (bytes * 8 - count + 1);
    if (i % 5 == 0) {
      count = 8 * (1 + rng() % bytes);
      bit = 8 * (rng() % (bytes - count / 8 + 1));
    }
    bool value = rng() & 1;
    Bytes d = Random(rng, bytes);
    Bytes out = d;
    ASSERT_EQ(OS_STS_SUCCESS, COsMem::SetBits(out.data(), out.size(), bit, count, value));
    input << "set " << Hex(d) << " " << bit << " " << count << " " << (value ? 1 : 0) << "\n";
    cases.push_back({"set", d, out});
  }
  int status = -1;
  auto lines = testsupport::Lines(testsupport::RunPython(kPythonBits, {}, &status, input.str()));
  ASSERT_EQ(0, status);
  ASSERT_EQ(cases.size(), lines.size());
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(lines[i], Hex(cases[i].out)) << "case " << i << " " << cases[i].op;
}

TEST(OsMemBits, DocumentedCaseFillsLowFiveBits) {
  unsigned char dst = 0x00, src = 0xF8;  // top five bits set
  ASSERT_EQ(OS_STS_SUCCESS, COsMem::CpyBits(&dst, 1, 3, &src, 1, 0, 5));
  EXPECT_EQ(0x1F, dst);
  dst = 0xFF;
  src = 0x07;
  ASSERT_EQ(OS_STS_SUCCESS, COsMem::CpyBits(&dst, 1, 3, &src, 1, 0, 5));
  EXPECT_EQ(0xE0, dst);  // the other destination bits stay
}

TEST(OsMemBits, OverlappingCopyInOneBuffer) {
  // Shifting a run one bit to the right inside the same bytes.
  unsigned char buf[2] = {0xF0, 0x0F};
  ASSERT_EQ(OS_STS_SUCCESS, COsMem::CpyBits(buf, 2, 1, buf, 2, 0, 12));
  // Source bits 0..11 are 1111 0000 0000; written at 1..12 over 1 1111 0000 0000 111 -> first bit kept.
  EXPECT_EQ(0xF8, buf[0]);
  EXPECT_EQ(0x07, buf[1]);
}

TEST(OsMemBits, RefusalsChangeNothing) {
  unsigned char d[2] = {0x12, 0x34}, s[2] = {0xFF, 0xFF};
  struct Bad {
    void* dst;
    size_t dstBytes, dbit;
    const void* src;
    size_t srcBytes, sbit, count;
  } bad[] = {
      {nullptr, 2, 0, s, 2, 0, 4}, {d, 0, 0, s, 2, 0, 4}, {d, 2, 0, nullptr, 2, 0, 4}, {d, 2, 0, s, 0, 0, 4},
      {d, 2, 0, s, 2, 0, 0},       {d, 2, 13, s, 2, 0, 4}, {d, 2, 0, s, 2, 13, 4},     {d, 2, 0, s, 2, 0, 17},
      {d, 2, SIZE_MAX, s, 2, 0, 4},
  };
  for (const auto& b : bad)
    EXPECT_EQ(OS_STS_FAIL, COsMem::CpyBits(b.dst, b.dstBytes, b.dbit, b.src, b.srcBytes, b.sbit, b.count));
  EXPECT_EQ(OS_STS_FAIL, COsMem::SetBits(d, 2, 10, 7, true));
  EXPECT_EQ(OS_STS_FAIL, COsMem::SetBits(d, 2, 0, 0, true));
  EXPECT_EQ(OS_STS_FAIL, COsMem::SetBits(nullptr, 2, 0, 1, true));
  EXPECT_EQ(OS_STS_FAIL, COsMem::DisplayBits(d, 2, 16, 0, false));
  EXPECT_EQ(OS_STS_FAIL, COsMem::DisplayBits(d, 2, 8, 9, false));
  EXPECT_EQ(0x12, d[0]);
  EXPECT_EQ(0x34, d[1]);
}

TEST(OsMemBits, Checksum32AgreesWithPython) {
  std::mt19937 rng(77);
  std::ostringstream input;
  std::vector<std::pair<uint32_t, uint64_t>> results;
  std::vector<uint64_t> starts = {0, 1, 0xFFFF, 0x10000, 0xFFFFFFFF, 0xFFFFFFFFFFFFull, 0x7FFFFFFFFFFFFFFFull};
  for (int i = 0; i < 120; ++i) {
    size_t length = i < 10 ? static_cast<size_t>(i) : 1 + rng() % 3000;
    Bytes data = Random(rng, length);
    if (i % 7 == 3) std::fill(data.begin(), data.end(), 0xFF);
    uint64_t acc = i < static_cast<int>(starts.size()) ? starts[i] : (static_cast<uint64_t>(rng()) << (rng() % 32));
    input << acc << " " << Hex(data) << "\n";
    uint64_t accumulator = acc;
    uint32_t sum = COsMem::Checksum32(data.data(), data.size(), &accumulator);
    results.emplace_back(sum, accumulator);
  }
  const char* script = R"(
import sys
for line in sys.stdin:
    a, h = line.split()
    acc = int(a) + (0 if h == '-' else sum(bytes.fromhex(h)))
    acc &= (1 << 64) - 1
    t = (acc & 0xFFFF) + (acc >> 16)
    print((((t >> 16) + (t & 0xFFFF)) & 0xFFFFFFFF), acc)
)";
  int status = -1;
  auto lines = testsupport::Lines(testsupport::RunPython(script, {}, &status, input.str()));
  ASSERT_EQ(0, status);
  ASSERT_EQ(results.size(), lines.size());
  for (size_t i = 0; i < results.size(); ++i)
    EXPECT_EQ(lines[i], std::to_string(results[i].first) + " " + std::to_string(results[i].second)) << "case " << i;
  // Without an accumulator the sum starts at 0.
  unsigned char abc[] = {1, 2, 3};
  EXPECT_EQ(6u, COsMem::Checksum32(abc, 3, nullptr));
}

TEST(OsMemBits, SwabAgreesWithPython) {
  std::mt19937 rng(5);
  std::ostringstream input;
  std::vector<Bytes> outs;
  for (size_t length : {0, 1, 2, 3, 7, 8, 255, 1024}) {
    Bytes data = Random(rng, length);
    Bytes out(length);
    COsMem::Swab(out.data(), data.data(), length);
    Bytes inplace = data;
    COsMem::Swab(inplace.data(), inplace.data(), length);
    EXPECT_EQ(out, inplace) << length;
    input << Hex(data) << "\n";
    outs.push_back(out);
  }
  // Pairs are swapped; an odd last byte stays as it is.
  const char* script = R"(
import sys
for line in sys.stdin:
    h = line.strip()
    b = bytearray() if h == '-' else bytearray.fromhex(h)
    n = len(b) - len(b) % 2
    b[0:n:2], b[1:n:2] = b[1:n:2], b[0:n:2]
    print(b.hex() or '-')
)";
  int status = -1;
  auto lines = testsupport::Lines(testsupport::RunPython(script, {}, &status, input.str()));
  ASSERT_EQ(0, status);
  ASSERT_EQ(outs.size(), lines.size());
  for (size_t i = 0; i < outs.size(); ++i) EXPECT_EQ(lines[i], Hex(outs[i])) << i;
}

TEST(OsMemBits, HashStringLayoutAndRoundTrip) {
  char text[64] = "abc";
  ASSERT_EQ(OS_STS_SUCCESS, COsMem::HashString(text, sizeof(text)));
  const unsigned char expected[] = {1, 'a' ^ 1, 'b' ^ 1, 'c' ^ 1, 1, 0, 0};
  EXPECT_EQ(0, std::memcmp(text, expected, sizeof(expected)));
  ASSERT_EQ(OS_STS_SUCCESS, COsMem::UnhashString(text));
  EXPECT_STREQ("abc", text);

  // The key is the smallest byte value the text does not hold.
  char controls[64] = "\x01\x02x\x04";
  ASSERT_EQ(OS_STS_SUCCESS, COsMem::HashString(controls, sizeof(controls)));
  EXPECT_EQ(3, controls[0]);
  ASSERT_EQ(OS_STS_SUCCESS, COsMem::UnhashString(controls));
  EXPECT_STREQ("\x01\x02x\x04", controls);

  for (const char* sample : {"", "p", "Password 123!", "0123456789012345678901234567890123456789012345678901234567890"}) {
    char buf[128] = {};
    std::strcpy(buf, sample);
    ASSERT_EQ(OS_STS_SUCCESS, COsMem::HashString(buf, sizeof(buf))) << sample;
    EXPECT_EQ(std::strlen(sample) + 2, std::strlen(buf));
    ASSERT_EQ(OS_STS_SUCCESS, COsMem::UnhashString(buf));
    EXPECT_STREQ(sample, buf);
  }

  // No room for the key bytes: refused, text unchanged.
  char tight[6] = "abc";
  EXPECT_EQ(OS_STS_FAIL, COsMem::HashString(tight, sizeof(tight)));
  EXPECT_STREQ("abc", tight);
  // Every byte value from 1 to 255 present: no key left.
  std::vector<char> all(300, 0);
  for (int i = 1; i < 256; ++i) all[i - 1] = static_cast<char>(i);
  EXPECT_EQ(OS_STS_FAIL, COsMem::HashString(all.data(), all.size()));
  EXPECT_EQ(OS_STS_FAIL, COsMem::HashString(nullptr, 10));
  EXPECT_EQ(OS_STS_FAIL, COsMem::UnhashString(nullptr));
}

}  // namespace
