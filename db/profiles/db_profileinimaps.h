// The value maps of INI profiles written by earlier drivers: each maps the
// TWAIN constant names such a file holds to the lexicon texts of a profile
// document. A map is a table of pairs ended by an empty pair; the long,
// regular ones are generated from their name lists once.
#pragma once

namespace dbprofileini {

enum EINIMAP : int {
  INIMAP_TWCL,
  INIMAP_TWBA,
  INIMAP_TWBS,
  INIMAP_TWBM,
  INIMAP_TWCBM,
  INIMAP_TWCP,
  INIMAP_TWCR,
  INIMAP_TWDT,
  INIMAP_TWIE,
  INIMAP_TWIF,
  INIMAP_TWIM,
  INIMAP_TWMT,
  INIMAP_TWMR,
  INIMAP_TWNF,
  INIMAP_TWPU,
  INIMAP_TWPD,
  INIMAP_TWPE,
  INIMAP_TWPI,
  INIMAP_TWTP,
  INIMAP_TWTR,
  INIMAP_TWUS,
  INIMAP_TWUO,
  INIMAP_TWJQ,
  INIMAP_RESOLUTION,
  INIMAP_TWHT,
  INIMAP_TWPN,
  INIMAP_TWPW,
  INIMAP_TWSS,
  INIMAP_COUNT,
};

struct IniPair {
  const char* szIni;
  const char* szLexicon;
};

// The map's pairs, ended by a pair of nulls; an empty table for an id
// outside the list.
const IniPair* IniMap(EINIMAP a_einimap);
// The first exact (case-sensitive) match in the map; "???" without one.
const char* LookupIni(EINIMAP a_einimap, const char* a_szIni);

}  // namespace dbprofileini
