// The linear suffix sort: induced sorting, recursing on the names of the
// leftmost-smaller substrings while they repeat. Linear in the text's
// length whatever its content; its types and buckets come from the
// caller's work space.
#include "os_cosfilesuffixsort.h"

#include <cstring>

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
}  // namespace

size_t OsFileSuffixSortBytes(size_t a_sizetLength) { return ArenaBytes(a_sizetLength + 1); }

bool OsFileSuffixSort(const uint8_t* a_pu8Text, size_t a_sizetLength, int32_t* a_pi32Suffix, void* a_pvArena,
                      size_t a_sizetArena) {
  // Bytes move up by one to leave 0 for the end.
  Arena arena(a_pvArena, a_sizetArena);
  size_t sizetText = a_sizetLength + 1;
  uint16_t* pu16Text = arena.Take<uint16_t>(sizetText);
  if (!pu16Text) return false;
  for (size_t i = 0; i < a_sizetLength; ++i) pu16Text[i] = static_cast<uint16_t>(a_pu8Text[i] + 1);
  pu16Text[a_sizetLength] = 0;
  return SuffixSort(pu16Text, a_pi32Suffix, static_cast<int32_t>(sizetText), 257, arena);
}
