// Lists and sizes from the scanner configuration: the default list of an
// enumeration built from, or pruned to, the values the model's records
// list, and the standard size that the frames of every window share.
#include <algorithm>
#include <cstring>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "db_cdbframe.h"
#include "db_cdblookup.h"
#include "os_coslog.h"
#include "os_cosstring.h"

using dbcontainer::AsEnum;

namespace {

constexpr size_t s_sizetKey = 256;
constexpr char s_szNone[] = "none";
constexpr char s_szFlatbedUnit[] = "modeldirectoryflatbed";
constexpr char s_szBackgroundRear[] = "backgroundrear";

// The lexicon a capability's configuration keys are named by: the TWAIN
// lexicon, else the lexicon.
const char* KeyName(const DbLookup2* a_pdblookup2) {
  if (a_pdblookup2->szTwainLexicon && a_pdblookup2->szTwainLexicon[0]) return a_pdblookup2->szTwainLexicon;
  return a_pdblookup2->szLexicon ? a_pdblookup2->szLexicon : "";
}

// "[prefix_]name"; false (logged) when it does not fit, since a cut key
// would read another capability's records.
bool ComposeKey(char (&a_szKey)[s_sizetKey], const char* a_szPrefix, const char* a_szName) {
  const bool blPrefix = a_szPrefix && a_szPrefix[0];
  if (COsString::SStrPrintf(a_szKey, sizeof a_szKey, "%s%s%s", blPrefix ? a_szPrefix : "", blPrefix ? "_" : "",
                            a_szName) >= 0) {
    return true;
  }
  OsLog(OS_LOG_ERROR, "key too long...<%s> <%s>", blPrefix ? a_szPrefix : "", a_szName);
  return false;
}

// The enumeration of a datum with a lookup record, or null (logged).
CDbEnum* EnumWithLookup(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL");
    return nullptr;
  }
  if (!a_pdbdatum->GetLookup()) {
    OsLog(OS_LOG_ERROR, "pdblookup2 is NULL (%d)", a_pdbdatum->GetId());
    return nullptr;
  }
  CDbEnum* pdbenum = AsEnum(a_pdbdatum);
  if (!pdbenum) OsLog(OS_LOG_ERROR, "a_hdbdatum is not an enumeration...%d", a_pdbdatum->GetId());
  return pdbenum;
}

}  // namespace

// ---------------------------------------------------------------------------
// Default lists
// ---------------------------------------------------------------------------
// The feeder's list decides; a model with a flatbed unit keeps only what
// both units list.
void CDatabase::BuildDefaultEnumFromDbConfig(CDbDatum* a_pdbdatum, const char* a_szPrefix, bool a_blSkipNone) {
  CDbEnum* pdbenum = EnumWithLookup(a_pdbdatum);
  if (!pdbenum) return;
  DbLookup2* pdblookup2 = pdbenum->GetLookup();
  char szKey[s_sizetKey];
  if (!ComposeKey(szKey, a_szPrefix, KeyName(pdblookup2))) return;
  pdbenum->DeleteAllDefaultItems();
  const bool blFlatbedUnit = ConfigExists(s_szFlatbedUnit, DB_CONFIGTARGET_COMMON);
  for (const char* szValue = ConfigEnumGetFirst(szKey, DB_CONFIGTARGET_ADF); szValue;
       szValue = ConfigEnumGetNext(szKey, szValue, DB_CONFIGTARGET_ADF)) {
    if (a_blSkipNone && std::strcmp(szValue, s_szNone) == 0) continue;
    if (blFlatbedUnit && !ConfigEnumExists(szKey, szValue, DB_CONFIGTARGET_FLATBED)) continue;
    if (DbLookupEnum* pdblookupenum = LookupLexiconEnum(pdblookup2, szValue))
      pdbenum->AddDefaultItem(pdblookupenum->lValue);
  }
  if (pdbenum->GetDefaultItemCount() == 0) {
    pdbenum->SetAccess(DB_ACCESS_NOTSUPPORTED);
    return;
  }
  pdbenum->FixDefaultReset();
  pdbenum->SetAccess(DB_ACCESS_READWRITE);
  const long lDefault = pdbenum->GetDefaultLong();
  const long lFirst = pdbenum->GetCurrentItem(0);
  if (!pdbenum->HasCurrentItem(lDefault)) pdbenum->SetCurrentLong(lFirst);
  if (!pdbenum->HasDefaultItem(lDefault)) pdbenum->SetDefaultLong(lFirst);
}

// An item without a value entry stops the whole fix at once: the list is
// left as it was, without a default reset.
void CDatabase::FixDefaultEnumFromDbConfig(CDbDatum* a_pdbdatum, EDBCONFIGTARGET a_edbconfigtarget,
                                           const char* a_szPrefix) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL");
    return;
  }
  const long lCount = EnumGetDefaultItemCount(a_pdbdatum);
  DbLookup2* pdblookup2 = a_pdbdatum->GetLookup();
  if (!pdblookup2) {
    OsLog(OS_LOG_ERROR, "pdblookup2 is NULL (%d)", a_pdbdatum->GetId());
    return;
  }
  const EDBBIN edbbin = a_pdbdatum->GetBin();
  const bool blBackgroundRear =
      a_pdbdatum->GetId() == DB_ID_BACKGROUND && (edbbin == DB_BIN_BITONAL_REAR || edbbin == DB_BIN_COLOR_REAR);
  char szKey[s_sizetKey];
  if (!ComposeKey(szKey, a_szPrefix, blBackgroundRear ? s_szBackgroundRear : KeyName(pdblookup2))) return;
  if (lCount == 0) {
    FixDefaultReset(a_pdbdatum);
    return;
  }
  long alUnlisted[CDbEnum::s_lItemSlots];
  long lUnlisted = 0;
  for (long l = 0; l < lCount && lUnlisted < CDbEnum::s_lItemSlots; ++l) {
    const long lValue = EnumGetDefaultItem(a_pdbdatum, l);
    const DbLookupEnum* pdblookupenum = LookupDbEnum(pdblookup2, lValue);
    if (!pdblookupenum) {
      OsLog(OS_LOG_ERROR, "pdblookupenum is NULL for the Id = %d; Value = %ld", a_pdbdatum->GetId(), lValue);
      return;
    }
    const char* szLexicon = pdblookupenum->szLexiconEnum ? pdblookupenum->szLexiconEnum : "";
    if (!ConfigEnumExists(szKey, szLexicon, a_edbconfigtarget)) alUnlisted[lUnlisted++] = lValue;
  }
  for (long l = 0; l < lUnlisted; ++l) EnumDeleteDefaultItem(a_pdbdatum, alUnlisted[l]);
  FixDefaultReset(a_pdbdatum);
}

// An ordered list of the values the configuration lists, in value order
// whatever the configuration's order. Only the values the lookup knows are
// visited, so a wide span costs no more than a narrow one.
EOSSTS CDatabase::BuildOrderedListFromDbConfig(CDbDatum* a_pdbdatum, long a_lFirst, long a_lLast, const char* a_szKey,
                                               EDBCONFIGTARGET a_edbconfigtarget) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL");
    return OS_STS_FAIL;
  }
  DbLookup2* pdblookup2 = a_pdbdatum->GetLookup();
  if (!pdblookup2) {
    OsLog(OS_LOG_ERROR, "pdblookup2 is NULL (%d)", a_pdbdatum->GetId());
    return OS_STS_FAIL;
  }
  CDbEnum* pdbenum = AsEnum(a_pdbdatum);
  if (!pdbenum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is not an enumeration...%d", a_pdbdatum->GetId());
    return static_cast<EOSSTS>(DB_STS_BADCONTAINER);
  }
  const long lRemembered = pdbenum->GetCurrentLong();
  pdbenum->DeleteAllDefaultItems();
  std::vector<long> vecl;
  for (long l = 0; pdblookup2->pEnums && l < pdblookup2->lEnumCount; ++l) {
    const long lValue = pdblookup2->pEnums[l].lValue;
    if (lValue >= a_lFirst && lValue <= a_lLast) vecl.push_back(lValue);
  }
  std::sort(vecl.begin(), vecl.end());
  vecl.erase(std::unique(vecl.begin(), vecl.end()), vecl.end());
  for (long lValue : vecl) {
    const DbLookupEnum* pdblookupenum = LookupDbEnum(pdblookup2, lValue);
    if (pdblookupenum && pdblookupenum->szLexiconEnum &&
        ConfigEnumExists(a_szKey, pdblookupenum->szLexiconEnum, a_edbconfigtarget)) {
      pdbenum->AddDefaultItem(lValue);
    }
  }
  pdbenum->FixDefaultReset();
  // An empty list has no item to select: the value stays as the reset left it.
  if (pdbenum->HasCurrentItem(lRemembered)) {
    pdbenum->SetCurrentLong(lRemembered);
  } else if (pdbenum->GetCurrentItemCount() > 0) {
    pdbenum->SetCurrentLong(pdbenum->GetCurrentItem(0));
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// The size of every window's frame
// ---------------------------------------------------------------------------
// A turned or lowered frame is no standard size; every frame of every
// window and camera must have one width and one height (0: not set).
EDBID_SUPPORTEDSIZES CDatabase::ConvertSupportedSizesFromCurrentFrame() {
  if (!Table()) return DB_SUPPORTEDSIZES_NONE;
  auto value = [this](EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid) -> long {
    CDbDatum* pdbdatum = FindInWindowBin(a_edbidwindow, a_edbbin, a_edbid);
    // The blank datum of an empty slot holds no long.
    return pdbdatum && pdbdatum->GetDataType() == DB_DATATYPE_LONG ? pdbdatum->GetCurrentLong() : 0;
  };
  long lWidth = 0;
  long lHeight = 0;
  const long lWindows = GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < lWindows; ++edbidwindow) {
    for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
      const EDBBIN edbbin = static_cast<EDBBIN>(iBin);
      if (value(edbidwindow, edbbin, DB_ID_IMAGESKEWANGLE) != 0 || value(edbidwindow, edbbin, DB_ID_FRAMEYOFFSET) != 0)
        return DB_SUPPORTEDSIZES_NONE;
      const struct {
        EDBID edbid;
        long* plSize;
      } aside[] = {{DB_ID_FRAMEWIDTH, &lWidth}, {DB_ID_FRAMEHEIGHT, &lHeight}};
      for (const auto& side : aside) {
        const long lSize = value(edbidwindow, edbbin, side.edbid);
        if (lSize == 0) continue;
        if (*side.plSize == 0) {
          *side.plSize = lSize;
        } else if (lSize != *side.plSize) {
          return DB_SUPPORTEDSIZES_NONE;
        }
      }
    }
  }
  return ConvertWindowSizeFromFrame(0, 0, lWidth, lHeight);
}
