// The linear suffix sort (induced sorting) the block sort falls back on
// for blocks whose rotations share long stretches.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes of work space OsFileSuffixSort needs for a text of that length.
size_t OsFileSuffixSortBytes(size_t a_sizetLength);

// Suffix array of the text followed by an end smaller than every byte:
// a_pi32Suffix gets a_sizetLength + 1 entries, the first one a_sizetLength
// (the end on its own). False when the work space is too small.
bool OsFileSuffixSort(const uint8_t* a_pu8Text, size_t a_sizetLength, int32_t* a_pi32Suffix, void* a_pvArena,
                      size_t a_sizetArena);
