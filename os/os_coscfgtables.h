// The built-in tables of the configuration store: section names, tag names
// and defaults. They are data, read by the store and by its tests.
#pragma once

#include <cstddef>

#include "os_coscfg.h"

// A default that is one of the store's own fields rather than a literal:
// the field lives as long as the store and may be rewritten in place.
enum EOSCFGFIELD : int {
  OS_CFGFIELD_NONE = 0,
  OS_CFGFIELD_LOGDEBUG,
  OS_CFGFIELD_LOGFILTER,
  OS_CFGFIELD_DEBUGDISPLAYLENGTH,
  OS_CFGFIELD_UITIMEOUT,
  OS_CFGFIELD_FORCESOCKETMONITORTIMEOUT,
  OS_CFGFIELD_FORCEUSBMONITORTIMEOUT,
  OS_CFGFIELD_VERSION_MAJORNUM,
  OS_CFGFIELD_VERSION_MINORNUM,
  OS_CFGFIELD_VERSION_PATCHNUM,
  OS_CFGFIELD_VERSION_BUILDNUM,
  OS_CFGFIELD_VERSION_DAY,
  OS_CFGFIELD_VERSION_MONTH,
  OS_CFGFIELD_VERSION_YEAR,
};

// One built-in default: a literal text, or (with a field) the field.
struct OsCfgDefault {
  unsigned uSection;
  unsigned uTag;
  const char* szValue;
  EOSCFGFIELD eoscfgfield;
};

// Sections 1 to 5, ended by a row of id 0.
extern const OsCfgName s_aoscfgnamesection[];
// Tags 1 to 271 in id order (row n - 1 holds tag n; unnamed tags have a
// null name), ended by a row of id 0.
extern const OsCfgName s_aoscfgnametag[];
extern const OsCfgDefault s_aoscfgdefault[];
extern const size_t s_sizetoscfgdefault;

// Id of a name (compared without regard to case), 0 when the table does not
// know it. A caller's table (a_blCaller) ends with a null name, a built-in
// one with id 0 and may hold unnamed rows.
unsigned OsCfgNameFind(const OsCfgName* a_poscfgname, const char* a_szName, bool a_blCaller);
