// ECDO: its list from the scanner's dropouts, its access from the image
// format, the language change that names the list anew, the custom dropout
// it gives way to, the name sent for the scan, and its comparison and copy
// with the scanner's multiple-colour dropouts.
#include "db_cecdo.h"

#include <cstring>
#include <initializer_list>

#include "db_cdatabase.h"
#include "db_cecdolists.h"
#include "db_crulekit.h"

namespace {

bool IsMultipleColor(long a_lValue) {
  CDatabase* pdatabase = CDbDatum::GetDatabase();
  return pdatabase && pdatabase->IsEcdoMultipleColor(static_cast<EDBID_ECDO>(a_lValue));
}

bool MultipleColorAndNone(long a_lA, long a_lB) {
  return a_lB == DB_ID_ECDO_ENUM_NONE && a_lA != DB_ID_ECDO_ENUM_NONE && IsMultipleColor(a_lA);
}

bool IsCamera(EDBBIN a_edbbin) { return a_edbbin >= DB_BIN_BITONAL_FRONT && a_edbbin <= DB_BIN_COLOR_REAR; }

// The name a camera's dropout had before the list is fetched again, unless
// one is kept already; only cameras that offer ECDO keep one, since only
// their default fix takes it up again.
void RememberName(CDatabase& a_database, EDBBIN a_edbbin) {
  CDbDatum* pdbdatum = CRuleKit::Supported(DB_ID_ECDO, a_edbbin);
  char* szName = a_database.GetEcdoCache()->aszName[a_edbbin - DB_BIN_BITONAL_FRONT];
  if (!pdbdatum || szName[0]) return;
  char szFound[sizeof DbEcdoRecord::szName];
  if (CEcdoLists::NameOf(CEcdoLists::Scanner(a_database), pdbdatum->GetCurrentLong(), false, szFound))
    std::memcpy(szName, szFound, sizeof szFound);
}

// The dropout of the name kept for the camera, when the rebuilt list still
// has it (else the default stays); the name is used up either way.
void Reselect(CDatabase& a_database, CDbEnum& a_dbenumOwn) {
  char* szName = a_database.GetEcdoCache()->aszName[a_dbenumOwn.GetBin() - DB_BIN_BITONAL_FRONT];
  if (!szName[0]) return;
  const DbEcdoList dbecdolist = CEcdoLists::Scanner(a_database);
  for (long l = 0; l < dbecdolist.lCount && !CEcdoLists::Ends(dbecdolist.pdbecdorecord[l]); ++l) {
    const DbEcdoRecord& dbecdorecord = dbecdolist.pdbecdorecord[l];
    if (std::strncmp(dbecdorecord.szName, szName, sizeof dbecdorecord.szName) == 0) {
      a_dbenumOwn.SetCurrentLong(dbecdorecord.u32Value);
      break;
    }
  }
  szName[0] = '\0';
}

// The names are kept before the list changes: the first camera keeps them
// for all four, then has the device engine fetch the list in the new
// language, and each camera's default fix rebuilds its list and selects its
// dropout again by name.
void FollowLanguage(CDatabase& a_database, CECDO& a_ecdoOwn) {
  const EDBBIN edbbin = a_ecdoOwn.GetBin();
  RememberName(a_database, edbbin);
  if (edbbin == DB_BIN_BITONAL_FRONT) {
    for (EDBBIN edbbinOther : {DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR})
      RememberName(a_database, edbbinOther);
    // The device engine's callback runs here, inside the pass and under the
    // database lock: it must not wait for a thread that needs that lock.
    // Without a callback nothing happens.
    a_ecdoOwn.Load();
    a_database.GetEcdoCache()->blLoaded = false;
  }
  a_ecdoOwn.FixDefault();
}

}  // namespace

// ---------------------------------------------------------------------------
// Comparison and copy
// ---------------------------------------------------------------------------
bool CECDO::Compare(long a_lA, long a_lB) {
  if (MultipleColorAndNone(a_lA, a_lB) || MultipleColorAndNone(a_lB, a_lA)) return false;
  return CDbEnum::Compare(a_lA, a_lB);
}

void CECDO::Copy(long a_lValue) {
  const bool blColor = GetBin() == DB_BIN_COLOR_FRONT || GetBin() == DB_BIN_COLOR_REAR;
  CopyCurrentLong(blColor && IsMultipleColor(a_lValue) ? static_cast<long>(DB_ID_ECDO_ENUM_NONE) : a_lValue);
}

// ---------------------------------------------------------------------------
// The rules
// ---------------------------------------------------------------------------
EOSSTS LoadEcdo(CDbEnum* a_pdbenumEcdo) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (pdatabase && a_pdbenumEcdo) {
    CEcdoLists::PrepareOnce(*pdatabase, pdatabase->GetEcdoCache()->blLoaded, DB_ID_ECDO,
                            CEcdoLists::Scanner(*pdatabase), CEcdoLists::s_lLastEcdo, false);
  }
  return OS_STS_SUCCESS;
}

EOSSTS CECDO::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !CEcdoLists::Rebuild(*pdatabase, *this, pdatabase->GetEcdoCache()->blLoaded, LoadEcdo,
                                         CEcdoLists::Scanner(*pdatabase), true)) {
    return OS_STS_SUCCESS;
  }
  if (IsCamera(GetBin())) Reselect(*pdatabase, *this);
  return CDbEnum::FixDefault();
}

// Scanner dropouts apply to bitonal output, and to colour cameras only while
// they give grey.
EOSSTS CECDO::FixAccess() {
  CEcdoLists::FixAccess(*this, true);
  return OS_STS_SUCCESS;
}

EOSSTS CECDO::FixCurrent() {
  CDatabase* pdatabase = CRuleKit::Database();
  DbRuleModified dbrulemodified;
  if (!pdatabase || CRuleKit::IsLoading() || !CRuleKit::GetModified(this, &dbrulemodified) ||
      dbrulemodified.pdbdatum == this) {
    return OS_STS_SUCCESS;
  }
  switch (dbrulemodified.edbid) {
    case DB_ID_ECDOCUSTOM:
      // A custom dropout and a scanner dropout exclude each other.
      if (dbrulemodified.blOwnCamera && dbrulemodified.lNew != DB_ID_ECDOCUSTOM_ENUM_NONE)
        SetCurrentLong(DB_ID_ECDO_ENUM_NONE);
      break;
    case DB_ID_IMAGEFORMAT:
    case DB_ID_WINDOWBIN:
      FixAccess();
      break;
    case DB_ID_LANGUAGE:
      // A camera without dropouts has no list to name anew (the database's
      // reload reaches every camera).
      if (IsCamera(GetBin()) && GetAccess() != DB_ACCESS_NOTSUPPORTED) FollowLanguage(*pdatabase, *this);
      break;
    default:
      break;
  }
  return OS_STS_SUCCESS;
}

// The scanner receives the dropout by its own name: the learning text while a
// custom dropout is learnt, else what the override forces, else the
// record of the value (its flatbed name when the flatbed scans). Without a
// record nothing is written and the task goes out without it.
void CECDO::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return;
  char szName[sizeof DbEcdoCustomSettings::szName];
  char szRecord[sizeof DbEcdoRecord::szName];
  const char* szText = szRecord;
  bool blFound = true;
  if (pdatabase->TestDbState(DB_STATE_ECDOCUSTOMLEARN)) {
    const char* szLearning = pdatabase->GetEcdoCustomSettings()->szName;
    const size_t sizet = strnlen(szLearning, sizeof szName - 1);
    std::memcpy(szName, szLearning, sizet);
    szName[sizet] = '\0';
    szText = szName;
  } else if (const DbOverride& dboverride = *pdatabase->GetOverride(); dboverride.u32EcdoCustom) {
    blFound = CEcdoLists::NameOf(CEcdoLists::Custom(*pdatabase), dboverride.u32EcdoCustom, false, szRecord);
  } else if (dboverride.u32Ecdo) {
    blFound = CEcdoLists::NameOf(CEcdoLists::Scanner(*pdatabase), dboverride.u32Ecdo, false, szRecord);
  } else {
    blFound = CEcdoLists::NameOf(CEcdoLists::Scanner(*pdatabase), a_lValue, pdatabase->NeedScanFromFlatbed(),
                                 szRecord);
  }
  if (blFound) CDbDatum::MakeXml(reinterpret_cast<long>(szText), a_edbdevicedataTarget, "ecdo");
}
