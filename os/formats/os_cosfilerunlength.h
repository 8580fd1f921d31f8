// Word-at-a-time helpers of the run-length code and the move-to-front
// stage: runs of one byte, the next three equal bytes, and the walk over
// packets that UnpackBits and the block decoder share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "os_coslog.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "word loads read the first byte lowest");

constexpr uint64_t s_u64Ones = 0x0101010101010101ull;

// A null buffer of non-zero size, logged.
inline bool OsFileBadBuffers(const void* a_pvOutput, size_t a_sizetOutput, const void* a_pvInput,
                             size_t a_sizetInput) {
  if ((a_pvOutput || !a_sizetOutput) && (a_pvInput || !a_sizetInput)) return false;
  OsLog(OS_LOG_ERROR, "a buffer is null...");
  return true;
}

// Less room than needed, logged.
inline bool OsFileTooSmall(size_t a_sizetOutput, size_t a_sizetNeeded) {
  if (a_sizetOutput >= a_sizetNeeded) return false;
  OsLog(OS_LOG_ERROR, "Output buffer is too small...%zu < %zu", a_sizetOutput, a_sizetNeeded);
  return true;
}

// How many bytes from a_pu8 on equal a_u8 (at most a_sizetLength).
inline size_t OsFileRunLength(const uint8_t* a_pu8, size_t a_sizetLength, uint8_t a_u8) {
  uint64_t u64Pattern = a_u8 * s_u64Ones;
  size_t sizetRun = 0;
  for (; a_sizetLength - sizetRun >= 8; sizetRun += 8) {
    uint64_t u64;
    std::memcpy(&u64, a_pu8 + sizetRun, sizeof u64);
    u64 ^= u64Pattern;
    if (u64) return sizetRun + static_cast<size_t>(__builtin_ctzll(u64)) / 8;
  }
  while (sizetRun < a_sizetLength && a_pu8[sizetRun] == a_u8) ++sizetRun;
  return sizetRun;
}

// The first position from a_sizetFrom on where three equal bytes start, or
// a_sizetLength: a zero byte of (word ^ word + 1) | (word + 1 ^ word + 2)
// marks one (the lowest zero byte of x is the lowest set high bit of
// (x - ones) & ~x).
inline size_t OsFileNextTriple(const uint8_t* a_pu8, size_t a_sizetFrom, size_t a_sizetLength) {
  size_t q = a_sizetFrom;
  for (; q + 10 <= a_sizetLength; q += 8) {
    uint64_t au64[3];
    for (int k = 0; k < 3; ++k) std::memcpy(au64 + k, a_pu8 + q + k, sizeof(uint64_t));
    uint64_t u64 = (au64[0] ^ au64[1]) | (au64[1] ^ au64[2]);
    uint64_t u64Zero = (u64 - s_u64Ones) & ~u64 & (s_u64Ones << 7);
    if (u64Zero) return q + static_cast<size_t>(__builtin_ctzll(u64Zero)) / 8;
  }
  for (; q + 2 < a_sizetLength; ++q) {
    if (a_pu8[q] == a_pu8[q + 1] && a_pu8[q] == a_pu8[q + 2]) return q;
  }
  return a_sizetLength;
}

// Walks the packets of a run-length coded buffer, each checked against the
// room left (a_sizetOutput) before a_sink takes it: Literals(bytes, count)
// or Run(byte, count). A header byte needs at least one byte behind it;
// one at the very end is ignored. *a_psizetOutput: the bytes the packets
// gave. OS_STS_FAIL for literals past the input, OS_STS_NOROOM_BUFFER for
// a packet past the room, both logged.
template <class Sink>
EOSSTS OsFileWalkPackets(const uint8_t* a_pu8Input, size_t a_sizetInput, size_t a_sizetOutput, Sink& a_sink,
                         size_t* a_psizetOutput) {
  size_t sizetWrite = 0, sizetRead = 0;
  while (sizetRead + 1 < a_sizetInput) {
    uint8_t u8Header = a_pu8Input[sizetRead++];
    size_t sizetCount = u8Header < 128 ? u8Header : u8Header - 128u;
    if (u8Header == 0) continue;
    if (u8Header < 128 && sizetCount > a_sizetInput - sizetRead) {
      OsLog(OS_LOG_ERROR, "Packet past the end of the input...%zu", sizetRead - 1);
      return OS_STS_FAIL;
    }
    if (sizetCount > a_sizetOutput - sizetWrite) {
      OsLog(OS_LOG_ERROR, "Packet past the end of the output...%zu", sizetRead - 1);
      return OS_STS_NOROOM_BUFFER;
    }
    if (u8Header < 128) {
      a_sink.Literals(a_pu8Input + sizetRead, sizetCount);
      sizetRead += sizetCount;
    } else {
      a_sink.Run(a_pu8Input[sizetRead++], sizetCount);
    }
    sizetWrite += sizetCount;
  }
  *a_psizetOutput = sizetWrite;
  return OS_STS_SUCCESS;
}
