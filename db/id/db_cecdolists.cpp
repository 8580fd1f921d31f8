// The colour-dropout lists as the rules read them.
#include "db_cecdolists.h"

#include <cstring>
#include <utility>

#include "db_cdbenum.h"
#include "db_cdblookup.h"
#include "db_crulekit.h"
#include "os_coscfg.h"
#include "os_coslog.h"

namespace {

template <size_t N>
void TerminateField(char (&a_sz)[N]) {
  a_sz[N - 1] = '\0';
}

template <size_t N>
bool IsEmpty(const char (&a_sz)[N]) {
  return a_sz[0] == '\0';
}

}  // namespace

// ---------------------------------------------------------------------------
// The lists
// ---------------------------------------------------------------------------
DbEcdoList CEcdoLists::Scanner(CDatabase& a_database) {
  return {a_database.DeviceGetEcdoHeader()->adbecdorecord, DB_ECDO_RECORDS};
}

DbEcdoList CEcdoLists::Custom(CDatabase& a_database) {
  return {a_database.DeviceGetEcdoCustomHeader()->adbecdorecord, DB_ECDOCUSTOM_RECORDS};
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------
bool CEcdoLists::Ends(const DbEcdoRecord& a_dbecdorecord) {
  return a_dbecdorecord.u32Value == 0 || IsEmpty(a_dbecdorecord.szName);
}

DbEcdoRecord* CEcdoLists::Find(const DbEcdoList& a_dbecdolist, long a_lValue) {
  for (long l = 0; l < a_dbecdolist.lCount && !Ends(a_dbecdolist.pdbecdorecord[l]); ++l) {
    if (static_cast<long>(a_dbecdolist.pdbecdorecord[l].u32Value) == a_lValue) return &a_dbecdolist.pdbecdorecord[l];
  }
  return nullptr;
}

// strncmp stops at the first difference: the kind given ends within the
// field, so a field without a terminator is never read past.
bool CEcdoLists::IsKind(const DbEcdoRecord& a_dbecdorecord, const char* a_szKind) {
  return std::strncmp(a_dbecdorecord.szKind, a_szKind, sizeof a_dbecdorecord.szKind) == 0;
}

bool CEcdoLists::AnyOfKind(const DbEcdoList& a_dbecdolist, const char* a_szKind) {
  for (long l = 0; l < a_dbecdolist.lCount && !Ends(a_dbecdolist.pdbecdorecord[l]); ++l) {
    if (IsKind(a_dbecdolist.pdbecdorecord[l], a_szKind)) return true;
  }
  return false;
}

bool CEcdoLists::NameOf(const DbEcdoList& a_dbecdolist, long a_lValue, bool a_blFlatbed,
                        char (&a_szName)[sizeof DbEcdoRecord::szName]) {
  if (a_dbecdolist.lCount == 0 || IsEmpty(a_dbecdolist.pdbecdorecord[0].szName)) return false;
  const DbEcdoRecord* pdbecdorecord = Find(a_dbecdolist, a_lValue);
  if (!pdbecdorecord) return false;
  const char* szName = a_blFlatbed ? pdbecdorecord->szNameFlatbed : pdbecdorecord->szName;
  const size_t sizet = strnlen(szName, sizeof a_szName - 1);
  std::memcpy(a_szName, szName, sizet);
  a_szName[sizet] = '\0';
  return true;
}

// ---------------------------------------------------------------------------
// Preparing
// ---------------------------------------------------------------------------
void CEcdoLists::Terminate(const DbEcdoList& a_dbecdolist) {
  for (long l = 0; l < a_dbecdolist.lCount; ++l) {
    DbEcdoRecord& dbecdorecord = a_dbecdolist.pdbecdorecord[l];
    TerminateField(dbecdorecord.szName);
    TerminateField(dbecdorecord.szNameFlatbed);
    TerminateField(dbecdorecord.szLabel);
    TerminateField(dbecdorecord.szKind);
    TerminateField(dbecdorecord.szAlgorithm);
  }
}

void CEcdoLists::SortByLabel(const DbEcdoList& a_dbecdolist) {
  long lNamed = 1;
  while (lNamed < a_dbecdolist.lCount && !IsEmpty(a_dbecdolist.pdbecdorecord[lNamed].szName)) ++lNamed;
  for (bool blSwapped = true; blSwapped;) {
    blSwapped = false;
    for (long l = 1; l + 1 < lNamed; ++l) {
      DbEcdoRecord& dbecdorecord = a_dbecdolist.pdbecdorecord[l];
      DbEcdoRecord& dbecdorecordNext = a_dbecdolist.pdbecdorecord[l + 1];
      if (std::strncmp(dbecdorecord.szLabel, dbecdorecordNext.szLabel, sizeof dbecdorecord.szLabel) > 0) {
        std::swap(dbecdorecord, dbecdorecordNext);
        blSwapped = true;
      }
    }
  }
}

void CEcdoLists::Number(const DbEcdoList& a_dbecdolist, long a_lLast) {
  long lValue = DB_ID_ECDO_ENUM_NONE;
  for (long l = 1; l < a_dbecdolist.lCount; ++l) {
    DbEcdoRecord& dbecdorecord = a_dbecdolist.pdbecdorecord[l];
    const bool blNumbered = lValue > 0 && lValue < a_lLast && !IsEmpty(dbecdorecord.szName);
    lValue = blNumbered ? lValue + 1 : 0;
    dbecdorecord.u32Value = static_cast<uint32_t>(lValue);
  }
}

void CEcdoLists::Offer(CDatabase& a_database, CDbEnum& a_dbenumOwn, const DbEcdoList& a_dbecdolist, bool a_blNames) {
  DbLookupEnumTexts adblookupenumtexts[DB_ECDO_RECORDS];
  long lTexts = 0;
  a_dbenumOwn.DeleteAllDefaultItems();
  for (long l = 0; l < a_dbecdolist.lCount && !Ends(a_dbecdolist.pdbecdorecord[l]); ++l) {
    const DbEcdoRecord& dbecdorecord = a_dbecdolist.pdbecdorecord[l];
    a_dbenumOwn.AddDefaultItem(dbecdorecord.u32Value);
    if (lTexts < DB_ECDO_RECORDS)
      adblookupenumtexts[lTexts++] = {dbecdorecord.u32Value, a_blNames ? dbecdorecord.szName : nullptr,
                                      dbecdorecord.szLabel};
  }
  if (lTexts > 0) a_database.LookupRepointEnums(a_dbenumOwn.GetLookup(), adblookupenumtexts, lTexts);
}

void CEcdoLists::PrepareOnce(CDatabase& a_database, bool& a_blPrepared, EDBID a_edbid, const DbEcdoList& a_dbecdolist,
                             long a_lLast, bool a_blSortByLabel) {
  if (a_blPrepared) return;
  a_blPrepared = true;
  if (!a_database.IsIdSupported(a_edbid)) return;
  Terminate(a_dbecdolist);
  if (a_blSortByLabel) SortByLabel(a_dbecdolist);
  Number(a_dbecdolist, a_lLast);
}

bool CEcdoLists::Rebuild(CDatabase& a_database, CDbEnum& a_dbenumOwn, bool& a_blPrepared,
                         EOSSTS (*a_pfnLoad)(CDbEnum*), const DbEcdoList& a_dbecdolist, bool a_blNames) {
  if (IsNexilForcedOff()) {
    a_dbenumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
    return false;
  }
  a_blPrepared = false;
  a_pfnLoad(&a_dbenumOwn);
  Offer(a_database, a_dbenumOwn, a_dbecdolist, a_blNames);
  if (CRuleKit::UnsupportIfEmpty(&a_dbenumOwn)) return false;
  a_dbenumOwn.FixDefaultReset();
  return true;
}

void CEcdoLists::FixAccess(CDbDatum& a_dbdatumOwn, bool a_blBitonal) {
  const EDBBIN edbbin = a_dbdatumOwn.GetBin();
  switch (edbbin) {
    case DB_BIN_BITONAL_FRONT:
    case DB_BIN_BITONAL_REAR:
      if (a_blBitonal) a_dbdatumOwn.SetAccess(DB_ACCESS_READWRITE);
      break;
    case DB_BIN_COLOR_FRONT:
    case DB_BIN_COLOR_REAR:
      a_dbdatumOwn.SetAccess(CRuleKit::ValueOf(DB_ID_IMAGEFORMAT, edbbin, 0) == DB_ID_IMAGEFORMAT_ENUM_GRAY_8
                                 ? DB_ACCESS_READWRITE
                                 : DB_ACCESS_DISABLED);
      break;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized edbbin...%d", edbbin);
      break;
  }
}

bool CEcdoLists::IsNexilForcedOff() {
  return CRuleKit::Supported(DB_ID_NEXIL, DB_BIN_MACHINE) &&
         CRuleKit::ConfigNumber(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF) != 0;
}
