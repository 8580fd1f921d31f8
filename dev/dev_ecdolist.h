// The colour-dropout choices of one scanner unit as the device engine reads
// them from its getecdo reply, before the choices of both units are merged
// into the database's two lists (the scanner's and the custom one).
#pragma once

#include <cstddef>

// Each field holds its text and a terminator.
constexpr size_t DEV_ECDO_NAME_SIZE = 255;  // 254 characters
constexpr size_t DEV_ECDO_TEXT_SIZE = 1024;
constexpr size_t DEV_ECDO_ALGORITHM_SIZE = 64;
// What a reply may add to each database list beside its "(none)" entry.
constexpr long DEV_ECDO_MAIN_ENTRIES = 62;
constexpr long DEV_ECDO_CUSTOM_ENTRIES = 9;

struct DevEcdoEntry {
  char szName[DEV_ECDO_NAME_SIZE];
  char szText[DEV_ECDO_TEXT_SIZE];  // the label shown to the user
  char szAlgorithm[DEV_ECDO_ALGORITHM_SIZE];
};

// A unit's choices of one list, in the order of its reply.
template <long N>
struct DevEcdoTable {
  static constexpr long s_lCapacity = N;
  long lCount;
  DevEcdoEntry adevecdoentry[N];
};
using DevEcdoMain = DevEcdoTable<DEV_ECDO_MAIN_ENTRIES>;
using DevEcdoCustom = DevEcdoTable<DEV_ECDO_CUSTOM_ENTRIES>;
