// A capability's current value as the device engine reads it for a scan:
// 0 when the model lacks the capability. The caller holds the database lock.
#pragma once

#include "db_cdatabase.h"

inline long DevValueOrZero(CDatabase& a_database, EDBID a_edbid) {
  CDbDatum* pdbdatum = a_database.Find(a_edbid);
  return pdbdatum ? a_database.GetCurrentLong(pdbdatum) : 0;
}
