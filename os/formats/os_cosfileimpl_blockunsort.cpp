// The inverse of the block sort: the block back from its last column and
// the row of rotation 0.
#include <cstring>

#include "os_cosfileblockunsort.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"

EOSSTS COsFileImpl::BWTUntransform(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input,
                                   size_t a_sizetLength, uint32_t a_u32Primary, uint32_t* a_pu32Index) {
  return OsFileBlockUnsort(a_pu8Output, a_sizetOutput, a_pu8Input, a_sizetLength, a_u32Primary, a_pu32Index, nullptr);
}

EOSSTS OsFileBlockUnsort(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input, size_t a_sizetLength,
                         uint32_t a_u32Primary, uint32_t* a_pu32Index,
                         const OsFileQuarterCounts* a_posfilequartercounts) {
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
  // Previous is its inverse. The column is taken in four quarters side by
  // side, each with its own counts, so that a run of one byte does not
  // make each step wait on the one before.
  uint16_t* pu16Next = reinterpret_cast<uint16_t*>(pu32Index);
  uint16_t* pu16Previous = pu16Next + a_sizetLength;
  size_t sizetQuarter = a_sizetLength / 4, sizetTail = sizetQuarter * 4;
  const uint8_t* apu8[4] = {a_pu8Input, a_pu8Input + sizetQuarter, a_pu8Input + 2 * sizetQuarter,
                            a_pu8Input + 3 * sizetQuarter};
  uint32_t au32Row[4][256] = {};
  if (a_posfilequartercounts) {
    std::memcpy(au32Row, a_posfilequartercounts->au32, sizeof au32Row);
  } else {
    for (size_t i = 0; i < sizetQuarter; ++i) {
      ++au32Row[0][apu8[0][i]];
      ++au32Row[1][apu8[1][i]];
      ++au32Row[2][apu8[2][i]];
      ++au32Row[3][apu8[3][i]];
    }
    for (size_t i = sizetTail; i < a_sizetLength; ++i) ++au32Row[3][a_pu8Input[i]];
  }
  uint32_t u32Sum = 0;
  for (int c = 0; c < 256; ++c) {
    for (int q = 0; q < 4; ++q) {
      uint32_t u32Count = au32Row[q][c];
      au32Row[q][c] = u32Sum;
      u32Sum += u32Count;
    }
  }
  auto place = [&](int q, size_t i) {
    uint32_t u32At = static_cast<uint32_t>(q * sizetQuarter + i), u32Row = au32Row[q][apu8[q][i]]++;
    pu16Next[u32Row] = static_cast<uint16_t>(u32At);
    pu16Previous[u32At] = static_cast<uint16_t>(u32Row);
  };
  for (size_t i = 0; i < sizetQuarter; ++i) {
    place(0, i);
    place(1, i);
    place(2, i);
    place(3, i);
  }
  for (size_t i = sizetTail; i < a_sizetLength; ++i) {
    uint32_t u32Row = au32Row[3][a_pu8Input[i]]++;
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
