// The block sort. Rows are the rotations of the block in order; rotations
// that are equal may come in any order without changing the last column,
// and the primary index names the last row of rotation 0's group.
//
// The rotations are sorted in two stages, as suffixes are by induced
// sorting, but cyclically: each rotation is smaller or larger than the one
// starting a byte later. Those that are smaller while that next one is
// larger ("stars", rarely more than a third of them) are sorted on 6-byte
// keys (radix, then word comparisons for small groups); the others follow
// from them in two linear passes.
//
// Blocks on which that fails (two equal rotations: the block repeats a
// word; or comparisons past a budget: long near repeats) take the slow
// road. A block's least rotation is a power of a word smaller than each of
// its other rotations, and the rotations of such a word are ordered as its
// suffixes are; so the word is sorted once (by comparisons again if it is
// shorter than the block, else by the linear suffix sort) and each of its
// rows stands for as many equal rows as it repeats. All work space belongs
// to the caller's OsFileBlockSort.
#include <cstring>

#include "os_cosfileimpl.h"
#include "os_cosfilesuffixsort.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {

// Bytes read past the twice-written block by the word loads; they go on
// with the block's first bytes, so that every load sees its rotation's own
// bytes (two equal rotations must load equal words).
constexpr size_t s_sizetPad = 32;
// Runs of equal keys this small are sorted by insertion, larger ones by
// radix on their next key.
constexpr uint32_t s_u32Insertion = 96;
// Runs this small are not taken level by level while their keys agree.
constexpr uint32_t s_u32Few = 8;

// A range of stars still to be sorted on the bytes from its depth on.
struct StarRange {
  uint32_t u32Low, u32High, u32Depth;
};

// Big-endian, so that integer order is byte order.
inline uint64_t LoadWord(const uint8_t* a_pu8) {
  uint64_t u64;
  std::memcpy(&u64, a_pu8, sizeof u64);
  return __builtin_bswap64(u64);
}

// Fills the s_sizetPad bytes past a_sizetAt of the block written over and
// over (a_sizetLength long) with its next bytes.
void Continue(uint8_t* a_pu8, size_t a_sizetAt, size_t a_sizetLength) {
  for (size_t i = 0; i < s_sizetPad; ++i) a_pu8[a_sizetAt + i] = a_pu8[(a_sizetAt + i) % a_sizetLength];
}

// Start of the least rotation of a block written twice (a_pu8Twice holds
// 2 * a_sizetLength bytes): the last Lyndon factor of the doubled block
// that starts in its first half.
size_t LeastRotation(const uint8_t* a_pu8Twice, size_t a_sizetLength) {
  size_t i = 0, sizetLeast = 0;
  while (i < a_sizetLength) {
    sizetLeast = i;
    size_t j = i + 1, k = i;
    while (j < 2 * a_sizetLength && a_pu8Twice[k] <= a_pu8Twice[j]) {
      k = a_pu8Twice[k] < a_pu8Twice[j] ? i : k + 1;
      ++j;
    }
    while (i <= k) i += j - k;
  }
  return sizetLeast;
}

// Length of the word a least rotation repeats: the period its first Lyndon
// factor ends with, which runs to the end and divides the length.
size_t RootLength(const uint8_t* a_pu8, size_t a_sizetLength) {
  size_t j = 1, k = 0;
  while (j < a_sizetLength && a_pu8[k] <= a_pu8[j]) {
    k = a_pu8[k] < a_pu8[j] ? 0 : k + 1;
    ++j;
  }
  size_t sizetRoot = j - k;
  return j == a_sizetLength && a_sizetLength % sizetRoot == 0 ? sizetRoot : a_sizetLength;
}

// The rotation order of a block that is not a power of a shorter word
// (written twice, then s_sizetPad more bytes), in 16-bit positions.
class RotationSort {
 public:
  RotationSort(const uint8_t* a_pu8Text, uint32_t a_u32Length, uint16_t* a_pu16Suffix, uint16_t* a_pu16Star,
               uint64_t* a_pu64Item, uint64_t* a_pu64Spare, StarRange* a_pstarrange)
      : m_pu8(a_pu8Text),
        m_u32Length(a_u32Length),
        m_pu16Suffix(a_pu16Suffix),
        m_pu16Star(a_pu16Star),
        m_pu64Item(a_pu64Item),
        m_pu64Spare(a_pu64Spare),
        m_pstarrange(a_pstarrange),
        m_i64Budget(32 * static_cast<int64_t>(a_u32Length) + 65536) {}
  // (The budget counts keys loaded and 16-byte steps of comparisons: about
  // a millisecond's work for a whole block before the linear sort takes over.)

  // Writes the last column (a_u32Length bytes) and keeps the row of
  // rotation a_u32Zero. False when two rotations are equal or the
  // comparisons ran over their budget; nothing is written then.
  bool Sort(uint8_t* a_pu8Last, uint32_t a_u32Zero) {
    if (!Classify() || !SortStars()) return false;
    InduceSmall();
    InduceLarge(a_pu8Last, a_u32Zero);
    return true;
  }
  uint32_t ZeroRow() const { return m_u32ZeroRow; }

 private:
  // Types each rotation (smaller or larger than the next), counts first
  // bytes and larger rotations, and lists the stars. False when all bytes
  // are equal (no rotation differs from the next).
  bool Classify() {
    uint32_t n = m_u32Length;
    // The last rotation's type is that of the first byte behind it that differs.
    uint32_t u32Last = m_pu8[n - 1], q = 0;
    while (q < n - 1 && m_pu8[q] == u32Last) ++q;
    if (q == n - 1) return false;
    // Counts by byte and type (odd: smaller), a table for each position
    // modulo 4 so that runs of one byte do not wait on one counter.
    uint32_t au32Count[4][512] = {};
    uint32_t u32LastSmall = u32Last < m_pu8[q], u32NextSmall = u32LastSmall, u32Stars = 0;
    ++au32Count[0][2 * u32Last + u32LastSmall];
    for (uint32_t i = n - 1; i-- > 0;) {
      uint32_t u32 = m_pu8[i], u32Next = m_pu8[i + 1];
      uint32_t u32Small = (u32 < u32Next) | ((u32 == u32Next) & u32NextSmall);
      m_pu16Star[u32Stars] = static_cast<uint16_t>(i);
      u32Stars += u32Small & ~u32NextSmall;
      ++au32Count[i & 3][2 * u32 + u32Small];
      u32NextSmall = u32Small;
    }
    // u32NextSmall is rotation 0's type now.
    if (u32LastSmall && !u32NextSmall) m_pu16Star[u32Stars++] = static_cast<uint16_t>(n - 1);
    m_u32Stars = u32Stars;
    uint32_t u32Sum = 0;
    for (int c = 0; c < 256; ++c) {
      m_au32Start[c] = u32Sum;
      m_au32Small[c] = u32Sum + au32Count[0][2 * c] + au32Count[1][2 * c] + au32Count[2][2 * c] + au32Count[3][2 * c];
      u32Sum = m_au32Small[c] + au32Count[0][2 * c + 1] + au32Count[1][2 * c + 1] + au32Count[2][2 * c + 1] +
               au32Count[3][2 * c + 1];
      m_au32End[c] = u32Sum;
    }
    return true;
  }

  // Sorts the stars: all at once by radix on their first 6 bytes (kept
  // above the position in one word, an "item"), then each run of equal
  // keys from there on; last, ordered by their second byte, stably, so
  // that the stars of each pair of first bytes follow each other with the
  // pairs by second byte first.
  bool SortStars() {
    uint32_t u32Stars = m_u32Stars;
    uint64_t* pu64 = m_pu64Item;
    for (uint32_t i = 0; i < u32Stars; ++i) pu64[i] = Item(m_pu16Star[i], 0);
    RadixSort(pu64, u32Stars);
    if (!SortRuns(0, u32Stars, 0)) return false;
    // (The items of deeper runs hold later bytes now.)
    uint32_t au32Second[257] = {};
    for (uint32_t i = 0; i < u32Stars; ++i) ++au32Second[m_pu8[static_cast<uint16_t>(pu64[i]) + 1] + 1];
    for (int c = 0; c < 256; ++c) au32Second[c + 1] += au32Second[c];
    for (uint32_t i = 0; i < u32Stars; ++i) {
      uint16_t u16 = static_cast<uint16_t>(pu64[i]);
      m_pu16Star[au32Second[m_pu8[u16 + 1]]++] = u16;
    }
    return true;
  }

  // Sorts each run of equal keys in a sorted range on from the bytes past
  // the key (a stack of ranges, not recursion).
  bool SortRuns(uint32_t a_u32Low, uint32_t a_u32High, uint32_t a_u32Depth) {
    uint64_t* pu64 = m_pu64Item;
    size_t sizetRanges = 0;
    m_pstarrange[sizetRanges++] = {a_u32Low, a_u32High, a_u32Depth};
    while (sizetRanges) {
      StarRange starrange = m_pstarrange[--sizetRanges];
      for (uint32_t i = starrange.u32Low; i < starrange.u32High;) {
        uint32_t j = i + 1;
        while (j < starrange.u32High && (pu64[j] >> 16) == (pu64[i] >> 16)) ++j;
        if (j - i > 1 && !SortRun(i, j, starrange.u32Depth + 6, &sizetRanges)) return false;
        i = j;
      }
    }
    return true;
  }

  // One run of equal keys, from the bytes at a_u32Depth on: a level where
  // all keys agree again is skipped; then small runs by insertion, the
  // others by radix, their own runs of equal keys left on the stack.
  bool SortRun(uint32_t a_u32Low, uint32_t a_u32High, uint32_t a_u32Depth, size_t* a_psizetRanges) {
    uint64_t* pu64 = m_pu64Item;
    uint32_t u32Size = a_u32High - a_u32Low;
    for (uint64_t u64Differ = 0; !u64Differ; a_u32Depth += 6) {
      // Rotations that agree on a whole length are equal.
      if (a_u32Depth >= m_u32Length) return false;
      m_i64Budget -= u32Size;
      if (m_i64Budget < 0) return false;
      uint64_t u64First = Item(static_cast<uint16_t>(pu64[a_u32Low]), a_u32Depth);
      for (uint32_t k = a_u32Low; k < a_u32High; ++k) {
        pu64[k] = Item(static_cast<uint16_t>(pu64[k]), a_u32Depth);
        u64Differ |= (pu64[k] ^ u64First) >> 16;
      }
      // A few rotations are told apart by comparisons, however long.
      if (u32Size < s_u32Few) return InsertionSort(pu64 + a_u32Low, u32Size, a_u32Depth);
    }
    a_u32Depth -= 6;
    if (u32Size < s_u32Insertion) return InsertionSort(pu64 + a_u32Low, u32Size, a_u32Depth);
    RadixSort(pu64 + a_u32Low, u32Size);
    m_pstarrange[(*a_psizetRanges)++] = {a_u32Low, a_u32High, a_u32Depth};
    return true;
  }

  // Least significant digit first on the key's 6 bytes, skipping bytes
  // that all items share; the spare items take every other pass. Each pass
  // places the first half forward from the bucket starts and the second
  // half backward from the bucket ends (stable still), so that a byte most
  // items share does not make each step wait on the last one's count.
  void RadixSort(uint64_t* a_pu64, uint32_t a_u32Size) {
    uint32_t au32Count[6][256] = {};
    for (uint32_t i = 0; i < a_u32Size; ++i) {
      uint64_t u64 = a_pu64[i];
      ++au32Count[0][u64 >> 16 & 0xFF];
      ++au32Count[1][u64 >> 24 & 0xFF];
      ++au32Count[2][u64 >> 32 & 0xFF];
      ++au32Count[3][u64 >> 40 & 0xFF];
      ++au32Count[4][u64 >> 48 & 0xFF];
      ++au32Count[5][u64 >> 56];
    }
    uint64_t* pu64From = a_pu64;
    uint64_t* pu64To = m_pu64Spare;
    uint32_t u32Half = a_u32Size / 2;
    for (int b = 0; b < 6; ++b) {
      uint32_t* pu32Front = au32Count[b];
      int iShift = 16 + 8 * b;
      if (pu32Front[pu64From[0] >> iShift & 0xFF] == a_u32Size) continue;
      uint32_t au32Back[256], u32Sum = 0;
      for (int c = 0; c < 256; ++c) {
        uint32_t u32 = pu32Front[c];
        pu32Front[c] = u32Sum;
        u32Sum += u32;
        au32Back[c] = u32Sum;
      }
      for (uint32_t i = 0, k = a_u32Size - 1; i < u32Half; ++i, --k) {
        uint64_t u64 = pu64From[i], u64Back = pu64From[k];
        pu64To[pu32Front[u64 >> iShift & 0xFF]++] = u64;
        pu64To[--au32Back[u64Back >> iShift & 0xFF]] = u64Back;
      }
      if (a_u32Size & 1) pu64To[pu32Front[pu64From[u32Half] >> iShift & 0xFF]] = pu64From[u32Half];
      std::swap(pu64From, pu64To);
    }
    if (pu64From != a_pu64) std::memcpy(a_pu64, pu64From, a_u32Size * sizeof(uint64_t));
  }

  // Items with equal keys (at a_u32Depth) are compared on from the bytes
  // past the key.
  bool InsertionSort(uint64_t* a_pu64, uint32_t a_u32Size, uint32_t a_u32Depth) {
    for (uint32_t i = 1; i < a_u32Size; ++i) {
      uint64_t u64 = a_pu64[i];
      uint32_t j = i;
      for (; j > 0; --j) {
        uint64_t u64Before = a_pu64[j - 1];
        if ((u64 >> 16) > (u64Before >> 16)) break;
        if ((u64 >> 16) == (u64Before >> 16)) {
          int iOrder = Compare(static_cast<uint16_t>(u64), static_cast<uint16_t>(u64Before), a_u32Depth + 6);
          if (iOrder == 0) return false;
          if (iOrder > 0) break;
        }
        a_pu64[j] = u64Before;
      }
      a_pu64[j] = u64;
    }
    return m_i64Budget >= 0;
  }

  // Order of two rotations that agree before a_u32Depth; 0 only when they
  // agree on a whole length or the budget is spent. Long agreements (rows
  // repeated in a page) go 16 bytes a step.
  int Compare(uint32_t a_u32A, uint32_t a_u32B, uint32_t a_u32Depth) {
    const uint8_t* pu8A = m_pu8 + a_u32A;
    const uint8_t* pu8B = m_pu8 + a_u32B;
    uint32_t d = a_u32Depth;
    uint64_t u64A = LoadWord(pu8A + d), u64B = LoadWord(pu8B + d);
    if (u64A != u64B) return u64A < u64B ? -1 : 1;
    for (d += 8; d < m_u32Length; d += 16) {
      if (--m_i64Budget < 0) return 0;
      uint64_t au64[4];
      std::memcpy(au64, pu8A + d, 16);
      std::memcpy(au64 + 2, pu8B + d, 16);
      if ((au64[0] ^ au64[2]) | (au64[1] ^ au64[3])) break;
    }
    for (; d < m_u32Length; d += 8) {
      u64A = LoadWord(pu8A + d), u64B = LoadWord(pu8B + d);
      if (u64A != u64B) return u64A < u64B ? -1 : 1;
    }
    return 0;
  }

  // The 6 bytes of a rotation from a_u32Depth on, above its position.
  uint64_t Item(uint16_t a_u16At, uint32_t a_u32Depth) const {
    return (LoadWord(m_pu8 + a_u16At + a_u32Depth) & ~uint64_t{0xFFFF}) | a_u16At;
  }
  // The first two bytes of a star, the second one above.
  uint32_t PairOf(uint32_t a_u32Star) const {
    uint32_t u32At = m_pu16Star[a_u32Star];
    return static_cast<uint32_t>(m_pu8[u32At + 1]) << 8 | m_pu8[u32At];
  }

  // Right to left over the smaller rotations of each bucket, byte 255 first:
  // a smaller rotation whose predecessor starts with a byte no larger makes
  // that one a smaller rotation too, placed from the end of its pair's range.
  // The sorted stars of pair (c0, c1) go in front of the others of that
  // pair once the bucket of c1 is done (they are below all of them). Rows
  // not taken are written to the spare row past the end (no branch).
  void InduceSmall() {
    // Locals, as the stores could alias the members.
    const uint8_t* pu8 = m_pu8;
    uint16_t* pu16Suffix = m_pu16Suffix;
    uint32_t n = m_u32Length, u32Star = m_u32Stars;
    uint32_t au32Fill[256];
    std::memcpy(au32Fill, m_au32End, sizeof au32Fill);
    for (uint32_t c1 = 256; c1-- > 0;) {
      // Runs of byte c1 fill the bucket being read: its count stays in a
      // register so that each step does not wait on the last one's store.
      uint32_t u32Self = au32Fill[c1];
      for (uint32_t i = m_au32End[c1], u32Small = m_au32Small[c1]; i-- > u32Small;) {
        uint32_t u32At = pu16Suffix[i], j = (u32At ? u32At : n) - 1, u32 = pu8[j];
        if (u32 == c1) {
          pu16Suffix[--u32Self] = static_cast<uint16_t>(j);
          continue;
        }
        uint32_t u32Taken = u32 < c1, u32Fill = au32Fill[u32] - u32Taken;
        pu16Suffix[Select(u32Taken, u32Fill, n)] = static_cast<uint16_t>(j);
        au32Fill[u32] = u32Fill;
      }
      au32Fill[c1] = u32Self;
      while (u32Star > 0 && pu8[m_pu16Star[u32Star - 1] + 1] == c1) {
        uint8_t u8 = pu8[m_pu16Star[u32Star - 1]];
        uint32_t u32First = u32Star - 1;
        while (u32First > 0 && PairOf(u32First - 1) == PairOf(u32Star - 1)) --u32First;
        au32Fill[u8] -= u32Star - u32First;
        std::memcpy(pu16Suffix + au32Fill[u8], m_pu16Star + u32First, (u32Star - u32First) * sizeof(uint16_t));
        u32Star = u32First;
      }
    }
  }

  // Left to right over everything: a rotation whose predecessor is larger
  // (or equal, for a larger rotation) places that one at the front of its
  // bucket. Every row is final once reached, so its last-column byte (the
  // one before its rotation) is written on the way.
  void InduceLarge(uint8_t* a_pu8Last, uint32_t a_u32Zero) {
    const uint8_t* pu8 = m_pu8;
    uint16_t* pu16Suffix = m_pu16Suffix;
    uint32_t n = m_u32Length, u32ZeroRow = 0;
    uint32_t au32Fill[256];
    std::memcpy(au32Fill, m_au32Start, sizeof au32Fill);
    for (uint32_t c = 0; c < 256; ++c) {
      // Larger rows take predecessors from byte c on (those of byte c, runs,
      // from a count kept in a register), smaller ones from c + 1.
      uint32_t u32Self = au32Fill[c];
      for (uint32_t i = m_au32Start[c], u32Small = m_au32Small[c]; i < u32Small; ++i) {
        uint32_t u32At = pu16Suffix[i], j = (u32At ? u32At : n) - 1, u32 = pu8[j];
        u32ZeroRow = Select(u32At == a_u32Zero, i, u32ZeroRow);
        a_pu8Last[i] = static_cast<uint8_t>(u32);
        if (u32 == c) {
          pu16Suffix[u32Self++] = static_cast<uint16_t>(j);
          continue;
        }
        uint32_t u32Taken = u32 > c, u32Fill = au32Fill[u32];
        pu16Suffix[Select(u32Taken, u32Fill, n)] = static_cast<uint16_t>(j);
        au32Fill[u32] = u32Fill + u32Taken;
      }
      au32Fill[c] = u32Self;
      for (uint32_t i = m_au32Small[c]; i < m_au32End[c]; ++i) {
        uint32_t u32At = pu16Suffix[i], j = (u32At ? u32At : n) - 1, u32 = pu8[j];
        u32ZeroRow = Select(u32At == a_u32Zero, i, u32ZeroRow);
        a_pu8Last[i] = static_cast<uint8_t>(u32);
        uint32_t u32Taken = u32 > c, u32Fill = au32Fill[u32];
        pu16Suffix[Select(u32Taken, u32Fill, n)] = static_cast<uint16_t>(j);
        au32Fill[u32] = u32Fill + u32Taken;
      }
    }
    m_u32ZeroRow = u32ZeroRow;
  }

  // a_u32If when a_u32Flag is 1, else a_u32Else, without a branch.
  static uint32_t Select(uint32_t a_u32Flag, uint32_t a_u32If, uint32_t a_u32Else) {
    return a_u32Else ^ ((a_u32If ^ a_u32Else) & (0u - a_u32Flag));
  }

  const uint8_t* m_pu8;
  uint32_t m_u32Length;
  uint16_t* m_pu16Suffix;
  uint16_t* m_pu16Star;
  uint64_t* m_pu64Item;
  uint64_t* m_pu64Spare;
  StarRange* m_pstarrange;
  int64_t m_i64Budget;
  uint32_t m_u32Stars = 0;
  uint32_t m_u32ZeroRow = 0;
  // Bucket of each first byte: its larger rotations from the start, its
  // smaller ones from "small" to the end.
  uint32_t m_au32Start[256], m_au32Small[256], m_au32End[256];
};

// Where each piece of the work space sits for blocks of a_sizetLength: the
// block three times over, the rows (and a spare one), the stars, their
// items and the radix's spare items, the ranges still to sort, and the
// linear sort's own space.
struct Layout {
  size_t sizetSuffix, sizetStar, sizetItem, sizetSpare, sizetRanges, sizetInduced, sizetBytes;
  explicit Layout(size_t a_sizetLength) {
    sizetSuffix = Align(3 * a_sizetLength + s_sizetPad);
    sizetStar = sizetSuffix + Align((a_sizetLength + 1) * sizeof(uint16_t));
    sizetItem = sizetStar + Align((a_sizetLength / 2 + 2) * sizeof(uint16_t));
    sizetSpare = sizetItem + Align((a_sizetLength / 2 + 2) * sizeof(uint64_t));
    sizetRanges = sizetSpare + Align((a_sizetLength / 2 + 2) * sizeof(uint64_t));
    sizetInduced = sizetRanges + Align((a_sizetLength / 2 + 2) * sizeof(StarRange));
    sizetBytes = sizetInduced + OsFileSuffixSortBytes(a_sizetLength);
  }
  static size_t Align(size_t a_sizet) { return (a_sizet + 15) & ~size_t{15}; }
};

// Makes room for blocks of that length; the work space only grows.
bool Reserve(OsFileBlockSort* a_posfileblocksort, size_t a_sizetLength) {
  if (a_posfileblocksort->sizetCapacity >= a_sizetLength && a_posfileblocksort->pi32Suffix) return true;
  COsFileImpl::BlockSortFree(a_posfileblocksort);
  a_posfileblocksort->pi32Suffix = static_cast<int32_t*>(OsMemAlloc((a_sizetLength + 1) * sizeof(int32_t)));
  a_posfileblocksort->sizetArena = Layout(a_sizetLength).sizetBytes;
  a_posfileblocksort->pvArena = OsMemAlloc(a_posfileblocksort->sizetArena);
  if (!a_posfileblocksort->pi32Suffix || !a_posfileblocksort->pvArena) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    COsFileImpl::BlockSortFree(a_posfileblocksort);
    return false;
  }
  a_posfileblocksort->sizetCapacity = a_sizetLength;
  return true;
}

// The linear sort of the word's suffixes, for words the comparisons gave up on.
bool InducedSort(const uint8_t* a_pu8Word, size_t a_sizetRoot, uint16_t* a_pu16Suffix,
                 OsFileBlockSort* a_posfileblocksort) {
  uint8_t* pu8Arena = static_cast<uint8_t*>(a_posfileblocksort->pvArena);
  size_t sizetInduced = Layout(a_posfileblocksort->sizetCapacity).sizetInduced;
  int32_t* pi32Suffix = a_posfileblocksort->pi32Suffix;
  if (!OsFileSuffixSort(a_pu8Word, a_sizetRoot, pi32Suffix, pu8Arena + sizetInduced,
                        a_posfileblocksort->sizetArena - sizetInduced)) {
    return false;
  }
  // The empty suffix comes first; the others are the rows.
  for (size_t i = 0; i < a_sizetRoot; ++i) a_pu16Suffix[i] = static_cast<uint16_t>(pi32Suffix[i + 1]);
  return true;
}
}  // namespace

void COsFileImpl::BlockSortFree(OsFileBlockSort* a_posfileblocksort) {
  if (!a_posfileblocksort) return;
  if (a_posfileblocksort->pi32Suffix) OsMemFree(a_posfileblocksort->pi32Suffix);
  if (a_posfileblocksort->pvArena) OsMemFree(a_posfileblocksort->pvArena);
  *a_posfileblocksort = OsFileBlockSort{};
}

EOSSTS COsFileImpl::BWTTransform(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input,
                                 size_t a_sizetLength, uint32_t* a_pu32Primary, OsFileBlockSort* a_posfileblocksort) {
  if (!a_pu32Primary || !a_posfileblocksort || (!a_pu8Input && a_sizetLength) || (!a_pu8Output && a_sizetOutput)) {
    OsLog(OS_LOG_ERROR, "an argument is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  *a_pu32Primary = 0;
  if (a_sizetOutput < a_sizetLength) {
    OsLog(OS_LOG_ERROR, "a_szOutput buffer is too small...%zu < %zu", a_sizetOutput, a_sizetLength);
    return OS_STS_NOROOM_BUFFER;
  }
  if (a_sizetLength > s_sizetCompressBlock) {
    OsLog(OS_LOG_ERROR, "Block too long...%zu", a_sizetLength);
    return OS_STS_FAIL;
  }
  // One byte is its own only rotation (primary index 0, so that it decodes).
  if (a_sizetLength <= 1) {
    if (a_sizetLength) a_pu8Output[0] = a_pu8Input[0];
    return OS_STS_SUCCESS;
  }
  if (!Reserve(a_posfileblocksort, a_sizetLength)) return OS_STS_FAIL;
  // The block twice over for the word comparisons.
  size_t n = a_sizetLength;
  uint8_t* pu8Text = static_cast<uint8_t*>(a_posfileblocksort->pvArena);
  Layout layout(a_posfileblocksort->sizetCapacity);
  std::memcpy(pu8Text, a_pu8Input, n);
  std::memcpy(pu8Text + n, a_pu8Input, n);
  Continue(pu8Text, 2 * n, n);
  uint16_t* pu16Suffix = reinterpret_cast<uint16_t*>(pu8Text + layout.sizetSuffix);
  uint16_t* pu16Star = reinterpret_cast<uint16_t*>(pu8Text + layout.sizetStar);
  uint64_t* pu64Item = reinterpret_cast<uint64_t*>(pu8Text + layout.sizetItem);
  uint64_t* pu64Spare = reinterpret_cast<uint64_t*>(pu8Text + layout.sizetSpare);
  StarRange* pstarrange = reinterpret_cast<StarRange*>(pu8Text + layout.sizetRanges);
  RotationSort rotationsort(pu8Text, static_cast<uint32_t>(n), pu16Suffix, pu16Star, pu64Item, pu64Spare,
                            pstarrange);
  if (rotationsort.Sort(a_pu8Output, 0)) {
    *a_pu32Primary = rotationsort.ZeroRow();
    return OS_STS_SUCCESS;
  }
  // The slow road: the least rotation (found in the doubled block, then
  // read twice over from a third copy) and the word it repeats. Rotation 0
  // of the block is the word's rotation (n - least) mod root.
  std::memcpy(pu8Text + 2 * n, a_pu8Input, n);
  Continue(pu8Text, 3 * n, n);
  size_t sizetLeast = LeastRotation(pu8Text, n);
  const uint8_t* pu8Word = pu8Text + sizetLeast;
  size_t sizetRoot = RootLength(pu8Word, n), sizetZero = (n - sizetLeast) % sizetRoot, sizetZeroRow = 0;
  RotationSort rotationsortRoot(pu8Word, static_cast<uint32_t>(sizetRoot), pu16Suffix, pu16Star, pu64Item, pu64Spare,
                                pstarrange);
  if (sizetRoot == 1) {
    a_pu8Output[0] = pu8Word[0];
  } else if (sizetRoot < n && rotationsortRoot.Sort(a_pu8Output, static_cast<uint32_t>(sizetZero))) {
    sizetZeroRow = rotationsortRoot.ZeroRow();
  } else if (InducedSort(pu8Word, sizetRoot, pu16Suffix, a_posfileblocksort)) {
    for (size_t k = 0; k < sizetRoot; ++k) {
      size_t j = pu16Suffix[k];
      if (j == sizetZero) sizetZeroRow = k;
      a_pu8Output[k] = pu8Word[j + sizetRoot - 1];
    }
  } else {
    OsLog(OS_LOG_ERROR, "sort work space too small...%zu", a_sizetLength);
    return OS_STS_FAIL;
  }
  // Each row of the word stands for as many equal rows as it repeats
  // (spread from the end, in place); rotation 0 is the last of its group.
  size_t sizetRepeat = n / sizetRoot;
  for (size_t k = sizetRoot; sizetRepeat > 1 && k-- > 0;) {
    std::memset(a_pu8Output + k * sizetRepeat, a_pu8Output[k], sizetRepeat);
  }
  *a_pu32Primary = static_cast<uint32_t>(sizetZeroRow * sizetRepeat + sizetRepeat - 1);
  return OS_STS_SUCCESS;
}
