// ECDO's comparison and copy with the scanner's multiple-colour dropouts.
#include "db_cecdo.h"

#include "db_cdatabase.h"

namespace {

bool IsMultipleColor(long a_lValue) {
  CDatabase* pdatabase = CDbDatum::GetDatabase();
  return pdatabase && pdatabase->IsEcdoMultipleColor(static_cast<EDBID_ECDO>(a_lValue));
}

bool MultipleColorAndNone(long a_lA, long a_lB) {
  return a_lB == DB_ID_ECDO_ENUM_NONE && a_lA != DB_ID_ECDO_ENUM_NONE && IsMultipleColor(a_lA);
}

}  // namespace

bool CECDO::Compare(long a_lA, long a_lB) {
  if (MultipleColorAndNone(a_lA, a_lB) || MultipleColorAndNone(a_lB, a_lA)) return false;
  return CDbEnum::Compare(a_lA, a_lB);
}

void CECDO::Copy(long a_lValue) {
  const bool blColor = GetBin() == DB_BIN_COLOR_FRONT || GetBin() == DB_BIN_COLOR_REAR;
  CopyCurrentLong(blColor && IsMultipleColor(a_lValue) ? static_cast<long>(DB_ID_ECDO_ENUM_NONE) : a_lValue);
}
