// The move-to-front list kept 8 entries to a word (front entry lowest), and
// the block decoder's first stage: the run-length code and move-to-front
// undone in one walk over the packets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_cosfileblockunsort.h"
#include "os_cosfilerunlength.h"

class OsFileWordList {
 public:
  OsFileWordList() {
    for (uint64_t w = 0; w < 32; ++w) m_au64[w] = 0x0706050403020100ull + 8 * w * s_u64Ones;
  }
  uint8_t Front() const { return static_cast<uint8_t>(m_au64[0]); }
  // The entries in order.
  const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(m_au64); }
  // The index of a_u8, which moves to the front: the lowest zero byte of
  // a word xor the byte repeated finds it.
  uint8_t Code(uint8_t a_u8) {
    uint64_t u64Pattern = a_u8 * s_u64Ones;
    size_t sizetAt = 0;
    for (size_t w = 0;; ++w) {
      uint64_t u64 = m_au64[w] ^ u64Pattern;
      uint64_t u64Zero = (u64 - s_u64Ones) & ~u64 & (s_u64Ones << 7);
      if (u64Zero) {
        sizetAt = 8 * w + static_cast<size_t>(__builtin_ctzll(u64Zero)) / 8;
        break;
      }
    }
    MoveUp(sizetAt, a_u8);
    return static_cast<uint8_t>(sizetAt);
  }
  // The byte at index a_u8, which moves to the front.
  uint8_t Decode(uint8_t a_u8At) {
    uint8_t u8 = static_cast<uint8_t>(m_au64[a_u8At / 8] >> (a_u8At % 8 * 8));
    MoveUp(a_u8At, u8);
    return u8;
  }

 private:
  // Entries before a_sizetAt move one up, a_u8 goes first.
  void MoveUp(size_t a_sizetAt, uint8_t a_u8) {
    size_t w = a_sizetAt / 8;
    uint64_t u64Carry = a_u8;
    for (size_t k = 0; k < w; ++k) {
      uint64_t u64 = m_au64[k];
      m_au64[k] = u64 << 8 | u64Carry;
      u64Carry = u64 >> 56;
    }
    uint64_t u64 = m_au64[w], u64Moved = ~uint64_t{0} >> (56 - a_sizetAt % 8 * 8);
    m_au64[w] = ((u64 << 8 | u64Carry) & u64Moved) | (u64 & ~u64Moved);
  }
  uint64_t m_au64[32];
};

// UnpackBits then UnmoveToFront, without the middle buffer: the same
// checks, statuses and log lines as UnpackBits. Counts the output's bytes
// by quarters of a_sizetOutput on the way.
EOSSTS OsFileUnpackUnmove(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input, size_t a_sizetInput,
                          size_t* a_psizetOutput, OsFileQuarterCounts* a_posfilequartercounts);
