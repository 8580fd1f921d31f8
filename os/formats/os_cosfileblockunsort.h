// The inverse of the block sort as the block decoder calls it: with the
// counts of the last column's bytes in its four quarters (the last one
// taking the remainder) when they are known already.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_def.h"

struct OsFileQuarterCounts {
  uint32_t au32[4][256];
};

// BWTUntransform's checks, statuses and log lines; a_posfilequartercounts
// may be null (then counted here).
EOSSTS OsFileBlockUnsort(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input, size_t a_sizetLength,
                         uint32_t a_u32Primary, uint32_t* a_pu32Index,
                         const OsFileQuarterCounts* a_posfilequartercounts);
