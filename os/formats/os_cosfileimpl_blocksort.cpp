// The block sort and its inverse. The rotations of a block are ordered by
// sorting the suffixes of the block written twice (induced sorting, linear
// in the block's length whatever its content): two rotations that differ do
// so within one block length, where the suffixes order them alike, and
// rotations that are equal may come in any order without changing the last
// column. All work space belongs to the caller's OsFileBlockSort.
#include <cstring>

#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {

// Carves the types and buckets of every level of the sort from one block.
class Arena {
 public:
  Arena(void* a_pv, size_t a_sizet) : m_pu8(static_cast<uint8_t*>(a_pv)), m_sizet(a_sizet), m_sizetUsed(0) {}
  template <class T>
  T* Take(size_t a_sizetCount) {
    size_t sizetAt = (m_sizetUsed + alignof(T) - 1) & ~(alignof(T) - 1);
    if (sizetAt + a_sizetCount * sizeof(T) > m_sizet) return nullptr;
    m_sizetUsed = sizetAt + a_sizetCount * sizeof(T);
    return reinterpret_cast<T*>(m_pu8 + sizetAt);
  }

 private:
  uint8_t* m_pu8;
  size_t m_sizet;
  size_t m_sizetUsed;
};

// Bytes of arena a text of that length needs: the level-0 text, one type
// byte per character of every level, counts and buckets of every level,
// alignment.
size_t ArenaBytes(size_t a_sizetText) {
  return a_sizetText * sizeof(uint16_t) + 2 * a_sizetText + 2 * (a_sizetText + 257 + 64) * sizeof(int32_t) + 256 * 8;
}

// Bucket starts or ends of every character from its counts.
void Buckets(const int32_t* a_pi32Count, int32_t* a_pi32Bucket, int32_t a_i32Alphabet, bool a_blEnds) {
  int32_t i32Sum = 0;
  for (int32_t i = 0; i < a_i32Alphabet; ++i) {
    i32Sum += a_pi32Count[i];
    a_pi32Bucket[i] = a_blEnds ? i32Sum : i32Sum - a_pi32Count[i];
  }
}

template <class T>
void InduceLarge(const uint8_t* a_pu8Type, int32_t* a_pi32Suffix, const T* a_pText, const int32_t* a_pi32Count,
                 int32_t* a_pi32Bucket, int32_t a_i32Length, int32_t a_i32Alphabet) {
  Buckets(a_pi32Count, a_pi32Bucket, a_i32Alphabet, false);
  for (int32_t i = 0; i < a_i32Length; ++i) {
    int32_t j = a_pi32Suffix[i] - 1;
    if (j >= 0 && !a_pu8Type[j]) a_pi32Suffix[a_pi32Bucket[a_pText[j]]++] = j;
  }
}

template <class T>
void InduceSmall(const uint8_t* a_pu8Type, int32_t* a_pi32Suffix, const T* a_pText, const int32_t* a_pi32Count,
                 int32_t* a_pi32Bucket, int32_t a_i32Length, int32_t a_i32Alphabet) {
  Buckets(a_pi32Count, a_pi32Bucket, a_i32Alphabet, true);
  for (int32_t i = a_i32Length - 1; i >= 0; --i) {
    int32_t j = a_pi32Suffix[i] - 1;
    if (j >= 0 && a_pu8Type[j]) a_pi32Suffix[--a_pi32Bucket[a_pText[j]]] = j;
  }
}

inline bool IsLeftmostSmall(const uint8_t* a_pu8Type, int32_t i) { return i > 0 && a_pu8Type[i] && !a_pu8Type[i - 1]; }

// Suffix array of a text whose last character is a unique smallest
// sentinel (0); characters lie below a_i32Alphabet.
template <class T>
bool SuffixSort(const T* a_pText, int32_t* a_pi32Suffix, int32_t a_i32Length, int32_t a_i32Alphabet, Arena& a_arena) {
  int32_t n = a_i32Length;
  if (n == 1) {
    a_pi32Suffix[0] = 0;
    return true;
  }
  uint8_t* pu8Type = a_arena.Take<uint8_t>(static_cast<size_t>(n));
  int32_t* pi32Count = a_arena.Take<int32_t>(static_cast<size_t>(a_i32Alphabet));
  int32_t* pi32Bucket = a_arena.Take<int32_t>(static_cast<size_t>(a_i32Alphabet));
  if (!pu8Type || !pi32Count || !pi32Bucket) return false;
  std::memset(pi32Count, 0, static_cast<size_t>(a_i32Alphabet) * sizeof(int32_t));
  for (int32_t i = 0; i < n; ++i) ++pi32Count[a_pText[i]];
  // Type of each suffix: 1 smaller than the next one (S), 0 larger (L).
  pu8Type[n - 1] = 1;
  pu8Type[n - 2] = 0;
  for (int32_t i = n - 3; i >= 0; --i) {
    pu8Type[i] = a_pText[i] < a_pText[i + 1] || (a_pText[i] == a_pText[i + 1] && pu8Type[i + 1]);
  }
  // Stage 1: sort the leftmost-S substrings by induction.
  Buckets(pi32Count, pi32Bucket, a_i32Alphabet, true);
  for (int32_t i = 0; i < n; ++i) a_pi32Suffix[i] = -1;
  for (int32_t i = 1; i < n; ++i) {
    if (IsLeftmostSmall(pu8Type, i)) a_pi32Suffix[--pi32Bucket[a_pText[i]]] = i;
  }
  InduceLarge(pu8Type, a_pi32Suffix, a_pText, pi32Count, pi32Bucket, n, a_i32Alphabet);
  InduceSmall(pu8Type, a_pi32Suffix, a_pText, pi32Count, pi32Bucket, n, a_i32Alphabet);
  // Compact them to the front and name them; equal substrings share a name.
  int32_t n1 = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (IsLeftmostSmall(pu8Type, a_pi32Suffix[i])) a_pi32Suffix[n1++] = a_pi32Suffix[i];
  }
  for (int32_t i = n1; i < n; ++i) a_pi32Suffix[i] = -1;
  int32_t i32Names = 0, i32Previous = -1;
  for (int32_t i = 0; i < n1; ++i) {
    int32_t i32At = a_pi32Suffix[i];
    bool blDiffers = false;
    for (int32_t d = 0; d < n; ++d) {
      if (i32Previous == -1 || a_pText[i32At + d] != a_pText[i32Previous + d] ||
          pu8Type[i32At + d] != pu8Type[i32Previous + d]) {
        blDiffers = true;
        break;
      }
      if (d > 0 && (IsLeftmostSmall(pu8Type, i32At + d) || IsLeftmostSmall(pu8Type, i32Previous + d))) break;
    }
    if (blDiffers) {
      ++i32Names;
      i32Previous = i32At;
    }
    a_pi32Suffix[n1 + i32At / 2] = i32Names - 1;
  }
  for (int32_t i = n - 1, j = n - 1; i >= n1; --i) {
    if (a_pi32Suffix[i] >= 0) a_pi32Suffix[j--] = a_pi32Suffix[i];
  }
  // Stage 2: order the reduced text, recursing while names repeat.
  int32_t* pi32Reduced = a_pi32Suffix + n - n1;
  if (i32Names < n1) {
    if (!SuffixSort(pi32Reduced, a_pi32Suffix, n1, i32Names, a_arena)) return false;
  } else {
    for (int32_t i = 0; i < n1; ++i) a_pi32Suffix[pi32Reduced[i]] = i;
  }
  // Stage 3: place the sorted leftmost-S suffixes and induce the rest.
  for (int32_t i = 1, j = 0; i < n; ++i) {
    if (IsLeftmostSmall(pu8Type, i)) pi32Reduced[j++] = i;
  }
  for (int32_t i = 0; i < n1; ++i) a_pi32Suffix[i] = pi32Reduced[a_pi32Suffix[i]];
  for (int32_t i = n1; i < n; ++i) a_pi32Suffix[i] = -1;
  Buckets(pi32Count, pi32Bucket, a_i32Alphabet, true);
  for (int32_t i = n1 - 1; i >= 0; --i) {
    int32_t j = a_pi32Suffix[i];
    a_pi32Suffix[i] = -1;
    a_pi32Suffix[--pi32Bucket[a_pText[j]]] = j;
  }
  InduceLarge(pu8Type, a_pi32Suffix, a_pText, pi32Count, pi32Bucket, n, a_i32Alphabet);
  InduceSmall(pu8Type, a_pi32Suffix, a_pText, pi32Count, pi32Bucket, n, a_i32Alphabet);
  return true;
}

// Makes room for blocks of that length; the work space only grows.
bool Reserve(OsFileBlockSort* a_posfileblocksort, size_t a_sizetLength) {
  if (a_posfileblocksort->sizetCapacity >= a_sizetLength && a_posfileblocksort->pi32Suffix) return true;
  COsFileImpl::BlockSortFree(a_posfileblocksort);
  size_t sizetText = 2 * a_sizetLength;
  a_posfileblocksort->pi32Suffix = static_cast<int32_t*>(OsMemAlloc(sizetText * sizeof(int32_t)));
  a_posfileblocksort->sizetArena = ArenaBytes(sizetText);
  a_posfileblocksort->pvArena = OsMemAlloc(a_posfileblocksort->sizetArena);
  if (!a_posfileblocksort->pi32Suffix || !a_posfileblocksort->pvArena) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    COsFileImpl::BlockSortFree(a_posfileblocksort);
    return false;
  }
  a_posfileblocksort->sizetCapacity = a_sizetLength;
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
  // The block, the block again but its last byte (every rotation then has a
  // full block length of suffix), and the sentinel; bytes move up by one.
  int32_t n = static_cast<int32_t>(a_sizetLength), i32Text = 2 * n;
  Arena arena(a_posfileblocksort->pvArena, a_posfileblocksort->sizetArena);
  uint16_t* pu16Text = arena.Take<uint16_t>(static_cast<size_t>(i32Text));
  for (int32_t i = 0; i < n; ++i) pu16Text[i] = static_cast<uint16_t>(a_pu8Input[i] + 1);
  std::memcpy(pu16Text + n, pu16Text, static_cast<size_t>(n - 1) * sizeof(uint16_t));
  pu16Text[i32Text - 1] = 0;
  int32_t* pi32Suffix = a_posfileblocksort->pi32Suffix;
  if (!SuffixSort(pu16Text, pi32Suffix, i32Text, 257, arena)) {
    OsLog(OS_LOG_ERROR, "sort work space too small...%zu", a_sizetLength);
    return OS_STS_FAIL;
  }
  // The last column: the byte before each rotation, in rotation order.
  size_t sizetOut = 0;
  for (int32_t i = 0; i < i32Text; ++i) {
    int32_t i32Start = pi32Suffix[i];
    if (i32Start >= n) continue;
    if (i32Start == 0) *a_pu32Primary = static_cast<uint32_t>(sizetOut);
    a_pu8Output[sizetOut++] = a_pu8Input[i32Start == 0 ? n - 1 : i32Start - 1];
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::BWTUntransform(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input,
                                   size_t a_sizetLength, uint32_t a_u32Primary, uint32_t* a_pu32Index) {
  if ((!a_pu8Input && a_sizetLength) || (!a_pu8Output && a_sizetOutput)) {
    OsLog(OS_LOG_ERROR, "a buffer is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (a_sizetOutput < a_sizetLength) {
    OsLog(OS_LOG_ERROR, "Output buffer is too small...%zu < %zu", a_sizetOutput, a_sizetLength);
    return OS_STS_NOROOM_BUFFER;
  }
  if (a_sizetLength == 0) return OS_STS_SUCCESS;
  if (a_u32Primary >= a_sizetLength || a_sizetLength > s_sizetCompressBlock) {
    OsLog(OS_LOG_ERROR, "Primary index out of range...%u %zu", a_u32Primary, a_sizetLength);
    return OS_STS_FAIL;
  }
  uint32_t* pu32Index = a_pu32Index ? a_pu32Index : static_cast<uint32_t*>(OsMemAlloc(a_sizetLength * sizeof(uint32_t)));
  if (!pu32Index) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return OS_STS_FAIL;
  }
  // Blocks fit 16-bit positions: the caller's words hold two tables. Next
  // (row to row forward) sorts the positions stably by their byte: entry k
  // is where the k-th byte of the first column sits in the last column.
  // Previous is its inverse.
  uint16_t* pu16Next = reinterpret_cast<uint16_t*>(pu32Index);
  uint16_t* pu16Previous = pu16Next + a_sizetLength;
  uint32_t au32Start[256] = {};
  for (size_t i = 0; i < a_sizetLength; ++i) ++au32Start[a_pu8Input[i]];
  uint32_t u32Sum = 0;
  for (uint32_t& u32Start : au32Start) {
    uint32_t u32Count = u32Start;
    u32Start = u32Sum;
    u32Sum += u32Count;
  }
  for (size_t i = 0; i < a_sizetLength; ++i) {
    uint32_t u32Row = au32Start[a_pu8Input[i]]++;
    pu16Next[u32Row] = static_cast<uint16_t>(i);
    pu16Previous[i] = static_cast<uint16_t>(u32Row);
  }
  // Two walks at once, each waiting on its own loads: forward from the
  // primary row for the first half, backward from it for the second.
  size_t sizetHalf = a_sizetLength / 2;
  uint32_t j = pu16Next[a_u32Primary], k = a_u32Primary;
  uint8_t* pu8Back = a_pu8Output + a_sizetLength;
  for (size_t i = 0; i < sizetHalf; ++i) {
    a_pu8Output[i] = a_pu8Input[j];
    *--pu8Back = a_pu8Input[k];
    j = pu16Next[j];
    k = pu16Previous[k];
  }
  if (a_sizetLength & 1) a_pu8Output[sizetHalf] = a_pu8Input[j];
  if (!a_pu32Index) OsMemFree(pu32Index);
  return OS_STS_SUCCESS;
}
