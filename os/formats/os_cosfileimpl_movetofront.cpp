// The move-to-front stage and its inverse. After a block sort most bytes
// repeat the one before (index 0); only the bytes that start a run
// ("heads", found 64 at a time as a bit mask) go through the list. The
// list is kept 8 entries to a word, which is quick while heads find their
// byte near the front (text); blocks with many heads (noisy images) keep
// its first 64 entries in four SSE2 registers instead, moved without
// branches, and code their two halves side by side, the second half from
// the list the first one leaves (made by looking back). Both give the same
// indexes; every block starts from the bytes in order. The decoder, which
// cannot split a block, starts with the word list and takes the register
// one when the block's first indexes often reach far.
#include <cstring>

#include "os_cosfileimpl.h"
#include "os_cosfilemovetofront.h"
#include "os_cosfilerunlength.h"
#include "os_coslog.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Bit k set where a_pu8[k] differs from the byte before it (64 bytes).
uint64_t Heads(const uint8_t* a_pu8) {
#if defined(__SSE2__)
  uint64_t u64 = 0;
  for (int k = 0; k < 4; ++k) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a_pu8 + 16 * k));
    __m128i vBefore = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a_pu8 + 16 * k - 1));
    u64 |= static_cast<uint64_t>(static_cast<uint16_t>(~_mm_movemask_epi8(_mm_cmpeq_epi8(v, vBefore)))) << (16 * k);
  }
  return u64;
#else
  uint64_t u64 = 0;
  for (int k = 0; k < 64; ++k) u64 |= static_cast<uint64_t>(a_pu8[k] != a_pu8[k - 1]) << k;
  return u64;
#endif
}

// Codes the heads of a_pu8Input[a_sizetFrom, a_sizetTo) (the byte before
// a_sizetFrom exists) with one list; the other bytes are 0 already.
template <class List>
void CodeHeads(List& a_list, uint8_t* a_pu8Output, const uint8_t* a_pu8Input, size_t a_sizetFrom, size_t a_sizetTo) {
  size_t i = a_sizetFrom;
  for (; i + 64 <= a_sizetTo; i += 64) {
    for (uint64_t u64 = Heads(a_pu8Input + i); u64; u64 &= u64 - 1) {
      size_t h = i + static_cast<size_t>(__builtin_ctzll(u64));
      a_pu8Output[h] = a_list.Code(a_pu8Input[h]);
    }
  }
  for (; i < a_sizetTo; ++i) {
    if (a_pu8Input[i] != a_pu8Input[i - 1]) a_pu8Output[i] = a_list.Code(a_pu8Input[i]);
  }
}

#if defined(__SSE2__)
// Each byte 16 times; for each index up to 64, 0xFF on the entries past
// it. Built at compile time: coding may run before any static constructor
// has.
struct MoveTables {
  alignas(16) uint8_t au8Byte[256][16];
  alignas(16) uint8_t au8Keep[65][64];
  constexpr MoveTables() : au8Byte(), au8Keep() {
    for (int c = 0; c < 256; ++c) {
      for (int k = 0; k < 16; ++k) au8Byte[c][k] = static_cast<uint8_t>(c);
    }
    for (int a = 0; a < 65; ++a) {
      for (int k = 0; k < 64; ++k) au8Keep[a][k] = k > a ? 0xFF : 0;
    }
  }
};
constexpr MoveTables s_movetables{};

// The list with its first 64 entries in registers and all 256 in memory
// (only entries from 64 on are kept up to date there).
class RegisterList {
 public:
  explicit RegisterList(const uint8_t* a_pu8List) { Load(a_pu8List); }
  void Load(const uint8_t* a_pu8List) {
    std::memcpy(m_au8Tail, a_pu8List, sizeof m_au8Tail);
    m_v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a_pu8List));
    m_v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a_pu8List + 16));
    m_v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a_pu8List + 32));
    m_v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a_pu8List + 48));
  }
  uint8_t Front() const { return static_cast<uint8_t>(_mm_cvtsi128_si32(m_v0)); }
  uint8_t Code(uint8_t a_u8) {
    // Where the byte is: the lowest bit of the four compare masks.
    __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(s_movetables.au8Byte[a_u8]));
    uint64_t u64 = Mask(m_v0, v) | Mask(m_v1, v) << 16 | Mask(m_v2, v) << 32 | Mask(m_v3, v) << 48;
    size_t sizetAt = u64 ? static_cast<size_t>(__builtin_ctzll(u64)) : FindTail(a_u8);
    Move(sizetAt, a_u8);
    return static_cast<uint8_t>(sizetAt);
  }
  uint8_t Decode(uint8_t a_u8At) {
    uint8_t u8 = m_au8Tail[a_u8At];
    if (a_u8At < 64) {
      alignas(16) uint8_t au8[64];
      _mm_store_si128(reinterpret_cast<__m128i*>(au8), m_v0);
      _mm_store_si128(reinterpret_cast<__m128i*>(au8 + 16), m_v1);
      _mm_store_si128(reinterpret_cast<__m128i*>(au8 + 32), m_v2);
      _mm_store_si128(reinterpret_cast<__m128i*>(au8 + 48), m_v3);
      u8 = au8[a_u8At];
    }
    Move(a_u8At, u8);
    return u8;
  }

 private:
  // Entries up to a_sizetAt move one up (the last register's top one into
  // memory when the byte came from there), a_u8 goes first.
  void Move(size_t a_sizetAt, uint8_t a_u8) {
    if (a_sizetAt >= 64) {
      std::memmove(m_au8Tail + 65, m_au8Tail + 64, a_sizetAt - 64);
      m_au8Tail[64] = static_cast<uint8_t>(_mm_cvtsi128_si32(_mm_srli_si128(m_v3, 15)));
    }
    const uint8_t* pu8Keep = s_movetables.au8Keep[a_sizetAt < 64 ? a_sizetAt : 64];
    __m128i vCarry1 = _mm_srli_si128(m_v0, 15), vCarry2 = _mm_srli_si128(m_v1, 15);
    __m128i vCarry3 = _mm_srli_si128(m_v2, 15);
    m_v0 = MoveUp(m_v0, _mm_cvtsi32_si128(a_u8), pu8Keep);
    m_v1 = MoveUp(m_v1, vCarry1, pu8Keep + 16);
    m_v2 = MoveUp(m_v2, vCarry2, pu8Keep + 32);
    m_v3 = MoveUp(m_v3, vCarry3, pu8Keep + 48);
  }
  static uint64_t Mask(__m128i a_v, __m128i a_vByte) {
    return static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a_v, a_vByte)));
  }
  // One register moved up a byte (a_vCarry coming in), where the keep mask
  // is off.
  static __m128i MoveUp(__m128i a_v, __m128i a_vCarry, const uint8_t* a_pu8Keep) {
    __m128i vKeep = _mm_load_si128(reinterpret_cast<const __m128i*>(a_pu8Keep));
    __m128i vMoved = _mm_or_si128(_mm_slli_si128(a_v, 1), a_vCarry);
    return _mm_or_si128(_mm_and_si128(vKeep, a_v), _mm_andnot_si128(vKeep, vMoved));
  }
  size_t FindTail(uint8_t a_u8) const {
    const void* pv = std::memchr(m_au8Tail + 64, a_u8, 192);
    return static_cast<size_t>(static_cast<const uint8_t*>(pv) - m_au8Tail);
  }
  __m128i m_v0, m_v1, m_v2, m_v3;
  uint8_t m_au8Tail[256];
};

// The list in front of a_pu8Input[a_sizetAt]: the bytes by their last use
// before it, then those not used yet in their first order.
void ListBefore(const uint8_t* a_pu8Input, size_t a_sizetAt, uint8_t* a_pu8List) {
  bool ablSeen[256] = {};
  size_t sizetListed = 0;
  for (size_t i = a_sizetAt; i-- > 0 && sizetListed < 256;) {
    uint8_t u8 = a_pu8Input[i];
    if (!ablSeen[u8]) a_pu8List[sizetListed++] = u8;
    ablSeen[u8] = true;
  }
  for (int c = 0; c < 256; ++c) {
    if (!ablSeen[c]) a_pu8List[sizetListed++] = static_cast<uint8_t>(c);
  }
}

// Two halves side by side: a head of each in turn, so that neither waits on
// its own last move.
void CodeHalves(uint8_t* a_pu8Output, const uint8_t* a_pu8Input, size_t a_sizetLength) {
  uint8_t au8List[256];
  for (int c = 0; c < 256; ++c) au8List[c] = static_cast<uint8_t>(c);
  RegisterList listFirst(au8List);
  a_pu8Output[0] = listFirst.Code(a_pu8Input[0]);
  size_t sizetChunks = (a_sizetLength - 1) / 128, i = 1, j = 1 + 64 * sizetChunks;
  ListBefore(a_pu8Input, j, au8List);
  RegisterList listSecond(au8List);
  for (size_t k = 0; k < sizetChunks; ++k, i += 64, j += 64) {
    uint64_t u64First = Heads(a_pu8Input + i), u64Second = Heads(a_pu8Input + j);
    for (; u64First && u64Second; u64First &= u64First - 1, u64Second &= u64Second - 1) {
      size_t hFirst = i + static_cast<size_t>(__builtin_ctzll(u64First));
      size_t hSecond = j + static_cast<size_t>(__builtin_ctzll(u64Second));
      a_pu8Output[hFirst] = listFirst.Code(a_pu8Input[hFirst]);
      a_pu8Output[hSecond] = listSecond.Code(a_pu8Input[hSecond]);
    }
    for (; u64First; u64First &= u64First - 1) {
      size_t h = i + static_cast<size_t>(__builtin_ctzll(u64First));
      a_pu8Output[h] = listFirst.Code(a_pu8Input[h]);
    }
    for (; u64Second; u64Second &= u64Second - 1) {
      size_t h = j + static_cast<size_t>(__builtin_ctzll(u64Second));
      a_pu8Output[h] = listSecond.Code(a_pu8Input[h]);
    }
  }
  CodeHeads(listSecond, a_pu8Output, a_pu8Input, j, a_sizetLength);
}
#endif

// Whether a block has many heads (more than a quarter of its bytes), from
// its first 8 KiB: the choice only costs time.
bool ManyHeads(const uint8_t* a_pu8Input, size_t a_sizetLength) {
  size_t sizetSample = a_sizetLength < 8193 ? a_sizetLength : 8193, sizetHeads = 0, i = 1;
  for (; i + 64 <= sizetSample; i += 64) sizetHeads += static_cast<size_t>(__builtin_popcountll(Heads(a_pu8Input + i)));
  return i > 1 && 4 * sizetHeads > i;
}

// Decodes indexes into a_pu8Output: the sink of the packet walk. It starts
// with the word list and takes the register one when its first indexes
// often reach far into the list (noisy blocks).
class Unmover {
 public:
  // a_sizetLength: the length whose quarters the counts follow.
  Unmover(uint8_t* a_pu8Output, size_t a_sizetLength, OsFileQuarterCounts* a_posfilequartercounts)
      : m_pu8Output(a_pu8Output),
        m_sizetQuarter(a_sizetLength / 4),
        m_sizetEnd(a_sizetLength / 4),
        m_posfilequartercounts(a_posfilequartercounts) {
    std::memset(m_posfilequartercounts, 0, sizeof *m_posfilequartercounts);
  }
  void Literals(const uint8_t* a_pu8, size_t a_sizetCount) {
    for (size_t i = 0; i < a_sizetCount;) {
      if (a_pu8[i] == 0) {
        size_t sizetRun = OsFileRunLength(a_pu8 + i, a_sizetCount - i, 0);
        Put(Front(), sizetRun);
        i += sizetRun;
        continue;
      }
      Put(Decode(a_pu8[i++]), 1);
    }
  }
  void Run(uint8_t a_u8, size_t a_sizetCount) {
    if (a_u8 == 0) {
      Put(Front(), a_sizetCount);
      return;
    }
    for (size_t i = 0; i < a_sizetCount; ++i) Put(Decode(a_u8), 1);
  }

 private:
  // Writes a byte a_sizetCount times and counts it in its quarters.
  void Put(uint8_t a_u8, size_t a_sizetCount) {
    if (a_sizetCount == 1) {
      *m_pu8Output++ = a_u8;
    } else {
      std::memset(m_pu8Output, a_u8, a_sizetCount);
      m_pu8Output += a_sizetCount;
    }
    while (m_sizetAt + a_sizetCount > m_sizetEnd) {
      size_t sizetPart = m_sizetEnd - m_sizetAt;
      m_posfilequartercounts->au32[m_iQuarter][a_u8] += static_cast<uint32_t>(sizetPart);
      m_sizetAt += sizetPart;
      a_sizetCount -= sizetPart;
      m_sizetEnd = ++m_iQuarter < 3 ? (m_iQuarter + 1) * m_sizetQuarter : SIZE_MAX;
    }
    m_posfilequartercounts->au32[m_iQuarter][a_u8] += static_cast<uint32_t>(a_sizetCount);
    m_sizetAt += a_sizetCount;
  }

#if defined(__SSE2__)
  uint8_t Front() const { return m_blRegisters ? m_registerlist.Front() : m_wordlist.Front(); }
  uint8_t Decode(uint8_t a_u8At) {
    if (m_blRegisters) return m_registerlist.Decode(a_u8At);
    if (m_sizetSeen < s_sizetSample) {
      m_sizetFar += a_u8At >= 16;
      if (++m_sizetSeen == s_sizetSample && 5 * m_sizetFar > s_sizetSample) {
        m_registerlist.Load(m_wordlist.Bytes());
        m_blRegisters = true;
        return m_registerlist.Decode(a_u8At);
      }
    }
    return m_wordlist.Decode(a_u8At);
  }
  static constexpr size_t s_sizetSample = 1024;
  RegisterList m_registerlist{OsFileWordList().Bytes()};
  bool m_blRegisters = false;
  size_t m_sizetSeen = 0, m_sizetFar = 0;
#else
  uint8_t Front() const { return m_wordlist.Front(); }
  uint8_t Decode(uint8_t a_u8At) { return m_wordlist.Decode(a_u8At); }
#endif
  uint8_t* m_pu8Output;
  size_t m_sizetQuarter, m_sizetEnd, m_sizetAt = 0;
  int m_iQuarter = 0;
  OsFileQuarterCounts* m_posfilequartercounts;
  OsFileWordList m_wordlist;
};
}  // namespace

EOSSTS COsFileImpl::MoveToFront(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input,
                                size_t a_sizetLength) {
  if (OsFileBadBuffers(a_pu8Output, a_sizetOutput, a_pu8Input, a_sizetLength)) return OS_STS_BAD_ARGUMENT;
  if (OsFileTooSmall(a_sizetOutput, a_sizetLength)) return OS_STS_NOROOM_BUFFER;
  if (a_sizetLength == 0) return OS_STS_SUCCESS;
  std::memset(a_pu8Output, 0, a_sizetLength);
#if defined(__SSE2__)
  if (ManyHeads(a_pu8Input, a_sizetLength)) {
    CodeHalves(a_pu8Output, a_pu8Input, a_sizetLength);
    return OS_STS_SUCCESS;
  }
#endif
  OsFileWordList list;
  a_pu8Output[0] = list.Code(a_pu8Input[0]);
  CodeHeads(list, a_pu8Output, a_pu8Input, 1, a_sizetLength);
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::UnmoveToFront(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input,
                                  size_t a_sizetLength) {
  if (OsFileBadBuffers(a_pu8Output, a_sizetOutput, a_pu8Input, a_sizetLength)) return OS_STS_BAD_ARGUMENT;
  if (OsFileTooSmall(a_sizetOutput, a_sizetLength)) return OS_STS_NOROOM_BUFFER;
  OsFileQuarterCounts osfilequartercounts;
  Unmover unmover(a_pu8Output, a_sizetLength, &osfilequartercounts);
  unmover.Literals(a_pu8Input, a_sizetLength);
  return OS_STS_SUCCESS;
}

EOSSTS OsFileUnpackUnmove(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input, size_t a_sizetInput,
                          size_t* a_psizetOutput, OsFileQuarterCounts* a_posfilequartercounts) {
  *a_psizetOutput = 0;
  Unmover unmover(a_pu8Output, a_sizetOutput, a_posfilequartercounts);
  return OsFileWalkPackets(a_pu8Input, a_sizetInput, a_sizetOutput, unmover, a_psizetOutput);
}
