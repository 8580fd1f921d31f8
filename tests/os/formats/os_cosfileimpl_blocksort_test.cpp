// The block sort and the stages around it against plain definitions: the
// rotations sorted by prefix doubling (equal rotations with the larger start
// first, so that the primary index is the last row of rotation 0's group),
// move-to-front on a list of bytes, the run-length code byte by byte. The
// blocks are the ones that take the sort's other roads: repeats of a word,
// long near repeats, runs, noise, and the sizes at the edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "formats_testutil.h"

using formatstest::Bytes;
using formatstest::ToBytes;

namespace {

// Rotation order by prefix doubling: ranks of the first 2^k bytes, sorted
// by (rank, rank 2^k on) with counting passes until the ranks are all
// different or cover a whole length.
struct Rotations {
  Bytes last;
  uint32_t u32Primary = 0;
};
Rotations SortRotations(const Bytes& a_block) {
  size_t n = a_block.size();
  std::vector<uint32_t> au32Rank(a_block.begin(), a_block.end()), au32Order(n), au32Next(n), au32Spare(n);
  std::iota(au32Order.begin(), au32Order.end(), 0u);
  std::stable_sort(au32Order.begin(), au32Order.end(), [&](uint32_t a, uint32_t b) { return a_block[a] < a_block[b]; });
  for (size_t k = 1; k < n; k *= 2) {
    // Stable counting passes: by the rank k on, then by the own rank.
    // (Ranks start as bytes: below 256, or below n later on.)
    auto pass = [&](auto key) {
      std::vector<uint32_t> au32Count(std::max<size_t>(n, 256) + 1, 0);
      for (uint32_t u32 : au32Order) ++au32Count[key(u32) + 1];
      for (size_t i = 0; i + 1 < au32Count.size(); ++i) au32Count[i + 1] += au32Count[i];
      for (uint32_t u32 : au32Order) au32Spare[au32Count[key(u32)]++] = u32;
      au32Order.swap(au32Spare);
    };
    pass([&](uint32_t u32) { return au32Rank[(u32 + k) % n]; });
    pass([&](uint32_t u32) { return au32Rank[u32]; });
    uint32_t u32Names = 0;
    for (size_t i = 0; i < n; ++i) {
      uint32_t a = au32Order[i], b = i ? au32Order[i - 1] : a;
      if (i && (au32Rank[a] != au32Rank[b] || au32Rank[(a + k) % n] != au32Rank[(b + k) % n])) ++u32Names;
      au32Next[a] = u32Names;
    }
    au32Rank.swap(au32Next);
    if (u32Names + 1 == n) break;
  }
  // Equal rotations: the larger start first.
  std::stable_sort(au32Order.begin(), au32Order.end(), [&](uint32_t a, uint32_t b) {
    return au32Rank[a] != au32Rank[b] ? au32Rank[a] < au32Rank[b] : a > b;
  });
  Rotations rotations;
  for (size_t i = 0; i < n; ++i) {
    rotations.last.push_back(a_block[(au32Order[i] + n - 1) % n]);
    if (au32Order[i] == 0) rotations.u32Primary = static_cast<uint32_t>(i);
  }
  return rotations;
}

Bytes Repeat(const std::string& a_word, size_t a_sizet) {
  Bytes bytes(a_sizet);
  for (size_t i = 0; i < a_sizet; ++i) bytes[i] = static_cast<uint8_t>(a_word[i % a_word.size()]);
  return bytes;
}

Bytes Rotate(Bytes a_bytes, size_t a_sizetBy) {
  std::rotate(a_bytes.begin(), a_bytes.begin() + static_cast<long>(a_sizetBy % a_bytes.size()), a_bytes.end());
  return a_bytes;
}

// A page-like block: paper of one byte with rare specks, or rows of glyph
// bits between blank rows, each glyph row three times over.
Bytes Paper(size_t a_sizet, uint32_t a_u32Seed) {
  std::mt19937 rng(a_u32Seed);
  Bytes bytes(a_sizet);
  for (auto& u8 : bytes) u8 = rng() % 16 ? 255 : (rng() % 4 ? 250 : static_cast<uint8_t>(20 + rng() % 40));
  return bytes;
}
Bytes Rows(size_t a_sizet, uint32_t a_u32Seed) {
  std::mt19937 rng(a_u32Seed);
  Bytes bytes, row(320);
  for (size_t y = 0; bytes.size() < a_sizet; ++y) {
    if (y % 3 == 0) {
      for (auto& u8 : row) u8 = y % 40 < 24 ? static_cast<uint8_t>(rng() % 4 ? 0 : rng()) : 0;
    }
    bytes.insert(bytes.end(), row.begin(), row.end());
  }
  bytes.resize(a_sizet);
  return bytes;
}

TEST(BlockSortDifferential, TrickyBlocks) {
  struct Case {
    const char* szName;
    Bytes block;
  };
  Bytes nearRepeat = Repeat("ab", 65536);
  nearRepeat[40000] = 'c';
  Bytes nearRepeatRotated = Repeat("ab", 12000);
  nearRepeatRotated[3000] = 'c';
  nearRepeatRotated = Rotate(nearRepeatRotated, 1234);
  Bytes twoRuns = Repeat("a", 65536);
  std::fill(twoRuns.begin() + 30000, twoRuns.end(), 'b');
  Bytes repeatedText = Repeat(formatstest::LogText(4096, 3), 65536);
  const Case acase[] = {
      {"one byte", ToBytes("q")},
      {"two equal bytes", ToBytes("zz")},
      {"two bytes", ToBytes("zy")},
      {"three bytes", ToBytes("aba")},
      {"all equal, 65536", Repeat("z", 65536)},
      {"all equal, 65535", Repeat("z", 65535)},
      {"a word repeated, the least rotation not first", Repeat("cab", 65535)},
      {"a word repeated twice", Repeat(formatstest::ToString(formatstest::Random(32768, 4)), 65536)},
      {"a text repeated", repeatedText},
      {"two-byte period with one change (the linear sort)", nearRepeat},
      {"the same, turned", nearRepeatRotated},
      {"two long runs", twoRuns},
      {"two symbols at random", formatstest::Random(65536, 5, 2)},
      {"random, 65536", formatstest::Random(65536, 6)},
      {"random, 65535", formatstest::Random(65535, 7)},
      {"log text, 65536", ToBytes(formatstest::LogText(65536, 8))},
      {"paper with specks", Paper(65536, 9)},
      {"rows three times over", Rows(65536, 10)},
      {"short period not dividing the length", Repeat("abcab", 1001)},
      // One star (smaller, then larger) a period, at its end: the loads of
      // the second one run past the doubled block.
      {"a word twice, its only star at its end", ToBytes("gabcdefgabcdef")},
  };
  OsFileBlockSort osfileblocksort{};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    Rotations rotations = SortRotations(c.block);
    Bytes last(c.block.size());
    uint32_t u32Primary = 12345;
    ASSERT_EQ(COsFileImpl::BWTTransform(last.data(), last.size(), c.block.data(), c.block.size(), &u32Primary,
                                        &osfileblocksort),
              OS_STS_SUCCESS);
    EXPECT_TRUE(last == rotations.last);
    EXPECT_EQ(u32Primary, rotations.u32Primary);
    Bytes back(c.block.size());
    ASSERT_EQ(COsFileImpl::BWTUntransform(back.data(), back.size(), last.data(), last.size(), u32Primary),
              OS_STS_SUCCESS);
    EXPECT_TRUE(back == c.block);
  }
  COsFileImpl::BlockSortFree(&osfileblocksort);
}

TEST(BlockSortDifferential, ManySmallBlocks) {
  // Short blocks over small alphabets hit every tie: repeats, runs, equal
  // rotations at the end of the doubled block.
  std::mt19937 rng(11);
  OsFileBlockSort osfileblocksort{};
  for (int iBlock = 0; iBlock < 3000; ++iBlock) {
    size_t sizet = 1 + rng() % 80;
    Bytes block(sizet), word(1 + rng() % 6);
    uint32_t u32Alphabet = 1 + rng() % 3;
    for (auto& u8 : word) u8 = static_cast<uint8_t>('a' + rng() % u32Alphabet);
    for (size_t i = 0; i < sizet; ++i) block[i] = rng() % 4 ? word[i % word.size()] : 'a' + rng() % u32Alphabet;
    Rotations rotations = SortRotations(block);
    Bytes last(sizet);
    uint32_t u32Primary = 0;
    ASSERT_EQ(COsFileImpl::BWTTransform(last.data(), sizet, block.data(), sizet, &u32Primary, &osfileblocksort),
              OS_STS_SUCCESS);
    ASSERT_TRUE(last == rotations.last) << formatstest::ToString(block);
    ASSERT_EQ(u32Primary, rotations.u32Primary) << formatstest::ToString(block);
  }
  COsFileImpl::BlockSortFree(&osfileblocksort);
}

// Move-to-front on a list of bytes.
Bytes MoveToFrontPlain(const Bytes& a_input) {
  std::vector<uint8_t> list(256);
  std::iota(list.begin(), list.end(), 0);
  Bytes out;
  for (uint8_t u8 : a_input) {
    auto it = std::find(list.begin(), list.end(), u8);
    out.push_back(static_cast<uint8_t>(it - list.begin()));
    list.erase(it);
    list.insert(list.begin(), u8);
  }
  return out;
}

// The run-length code byte by byte: three equal bytes or more start a run,
// which codes all but its last byte (127 at most); literals 127 at most.
Bytes PackBitsPlain(const Bytes& a_input) {
  Bytes out;
  size_t sizetHeader = 0;
  bool blLiterals = false;
  for (size_t r = 0; r < a_input.size();) {
    if (r + 2 < a_input.size() && a_input[r] == a_input[r + 1] && a_input[r] == a_input[r + 2]) {
      size_t sizetRun = 1;
      while (sizetRun < 127 && r + sizetRun + 1 < a_input.size() &&
             a_input[r + sizetRun] == a_input[r + sizetRun + 1]) {
        ++sizetRun;
      }
      out.push_back(static_cast<uint8_t>(128 + sizetRun));
      out.push_back(a_input[r]);
      r += sizetRun;
      blLiterals = false;
      continue;
    }
    if (!blLiterals) {
      sizetHeader = out.size();
      out.push_back(0);
      blLiterals = true;
    }
    out.push_back(a_input[r++]);
    if (++out[sizetHeader] == 127) blLiterals = false;
  }
  return out;
}

TEST(BlockSortDifferential, MoveToFrontAndRunLengthCode) {
  // Text takes the word list, noise the register list in two halves, bytes
  // far back in the list its memory part; lengths around the 64-byte steps.
  struct Case {
    const char* szName;
    Bytes input;
  };
  Bytes allBytes(2000);
  for (size_t i = 0; i < allBytes.size(); ++i) allBytes[i] = static_cast<uint8_t>(i * 97);
  const Case acase[] = {
      {"empty", {}},
      {"one byte", ToBytes("x")},
      {"63 bytes", formatstest::Random(63, 1, 8)},
      {"64 bytes", formatstest::Random(64, 2, 8)},
      {"65 bytes", formatstest::Random(65, 3, 8)},
      {"129 bytes", formatstest::Random(129, 4, 8)},
      {"text", ToBytes(formatstest::LogText(20000, 5))},
      {"noise over 40 bytes", formatstest::Random(20001, 6, 40)},
      {"noise over all bytes", formatstest::Random(20000, 7)},
      {"every byte, far back in the list", allBytes},
      {"long runs", Repeat(std::string(300, 'a') + std::string(5, 'b') + "cdc", 20000)},
      {"paper with specks", Paper(20000, 8)},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    Bytes moved(c.input.size()), back(c.input.size());
    ASSERT_EQ(COsFileImpl::MoveToFront(moved.data(), moved.size(), c.input.data(), c.input.size()), OS_STS_SUCCESS);
    EXPECT_TRUE(moved == MoveToFrontPlain(c.input));
    ASSERT_EQ(COsFileImpl::UnmoveToFront(back.data(), back.size(), moved.data(), moved.size()), OS_STS_SUCCESS);
    EXPECT_TRUE(back == c.input);
    for (const Bytes* pinput : {&c.input, static_cast<const Bytes*>(&moved)}) {
      Bytes packed(pinput->size() + pinput->size() / 64 + 8);
      size_t sizetPacked = 0;
      ASSERT_EQ(COsFileImpl::PackBits(packed.data(), packed.size(), pinput->data(), pinput->size(), &sizetPacked),
                OS_STS_SUCCESS);
      packed.resize(sizetPacked);
      EXPECT_TRUE(packed == PackBitsPlain(*pinput));
    }
  }
}

TEST(BlockSortDifferential, StreamsOfNoisyBlocks) {
  // Noisy blocks decode through the register list; lengths that are not a
  // multiple of 4 give the last column's quarters a remainder.
  for (size_t sizet : {size_t{65536 + 65535}, size_t{4099}, size_t{70}}) {
    SCOPED_TRACE(sizet);
    Bytes input = Paper(sizet, static_cast<uint32_t>(sizet)), back;
    Bytes stream = formatstest::Compress(input, OS_FILECOMPRESSION_BLOCKSORT);
    ASSERT_FALSE(stream.empty());
    for (const auto& block : formatstest::Blocks(stream)) EXPECT_EQ(block.u32Method, 2u);
    ASSERT_EQ(formatstest::Decompress(stream, sizet, &back), OS_STS_SUCCESS);
    EXPECT_TRUE(back == input);
  }
}

}  // namespace
