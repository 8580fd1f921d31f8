// A value set by the application: the capability found in the bins the
// request's camera and window types pick, or where the current window-bin
// finds it; its access checked; its container's set (with a new current
// list or range); then the copies that keep the linked side, the linked
// image or the picked bins in step.
#include <algorithm>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblookup.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"

namespace {

struct DrvSetBinRow {
  const char* szCameraType;
  const char* szWindowType;
  EDBBIN aedbbin[DRV_SETBINS];  // ended by the first DB_BIN_SEARCH
};

// Colour before bitonal and the other side before the other image kind, so
// that the opposite bin copies from a datum already brought up to date.
const DrvSetBinRow s_adrvsetbinrow[] = {
    {"frontrear", "all", {DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR, DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR}},
    {"frontrear", "color", {DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR}},
    {"frontrear", "bitonal", {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR}},
    {"front", "all", {DB_BIN_COLOR_FRONT, DB_BIN_BITONAL_FRONT}},
    {"front", "color", {DB_BIN_COLOR_FRONT}},
    {"front", "bitonal", {DB_BIN_BITONAL_FRONT}},
    {"rear", "all", {DB_BIN_COLOR_REAR, DB_BIN_BITONAL_REAR}},
    {"rear", "color", {DB_BIN_COLOR_REAR}},
    {"rear", "bitonal", {DB_BIN_BITONAL_REAR}},
};

bool IsRear(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_BITONAL_REAR || a_edbbin == DB_BIN_COLOR_REAR; }

// Whether a boolean capability of the current window is off (booleans hold
// 1 for off); false when the scanner lacks it.
bool IsOff(CDatabase* a_pdatabase, EDBID a_edbid) {
  CDbDatum* pdbdatum = a_pdatabase->Find(a_edbid);
  return pdbdatum && a_pdatabase->GetCurrentLong(pdbdatum) == 1;
}

// The current list of an enumeration, to put back.
struct SavedList {
  long alItem[DRV_SETREQUEST_ENUMS];
  long lCount;
  long lValue;
};

}  // namespace

long CDrvProcessCommands::GetDriverSetBin(const char* a_szCameraType, const char* a_szWindowType, EDBBIN* a_aedbbin) {
  if (!a_szCameraType || !a_szWindowType || !a_aedbbin) return 0;
  for (const DrvSetBinRow& drvsetbinrow : s_adrvsetbinrow) {
    if (std::strcmp(drvsetbinrow.szCameraType, a_szCameraType) != 0 ||
        std::strcmp(drvsetbinrow.szWindowType, a_szWindowType) != 0)
      continue;
    long lCount = 0;
    while (lCount < DRV_SETBINS && drvsetbinrow.aedbbin[lCount] != DB_BIN_SEARCH) {
      a_aedbbin[lCount] = drvsetbinrow.aedbbin[lCount];
      ++lCount;
    }
    return lCount;
  }
  return 0;
}

EDBSTS CDrvProcessCommands::SetCurrentLexicon(uint64_t a_u64SetType) {
  const char* szId = m_drvsetrequest.szId;
  if (std::strcmp(szId, "outputimagecount") == 0) {
    OsLog(OS_LOG_ERROR, "outputimagecount cannot be set...");
    return DB_STS_FAIL;
  }
  // An empty name would find the records of the capabilities that have no
  // name in task messages.
  DbLookup2* pdblookup2 = szId[0] ? m_pdatabase->LookupDriverLexicon(szId) : nullptr;
  if (!pdblookup2) {
    OsLog(OS_LOG_ERROR, "Unrecognized lexicon Id %.64s...", szId);
    return DB_STS_FAIL;
  }
  const EDBID edbid = pdblookup2->edbid;
  DrvSetTarget drvsettarget = {};
  if (!FindSetTarget(edbid, &drvsettarget)) return DB_STS_FAIL;
  CDbDatum* pdbdatum = drvsettarget.pdbdatum;
  CDbDatum* pdbdatumLinked = drvsettarget.pdbdatumLinked;

  const EDBACCESS edbaccess = m_pdatabase->GetAccess(pdbdatum);
  if (edbaccess == DB_ACCESS_DISABLED) {
    OsLogDebug(OS_LOG_INFO, "Access disabled %d", edbaccess);
    return DB_STS_NOTAVAILABLE;
  }
  if (edbaccess != DB_ACCESS_READWRITE && edbaccess != DB_ACCESS_READWRITEDISABLED &&
      edbaccess != DB_ACCESS_READWRITEHIDDEN) {
    OsLogDebug(OS_LOG_INFO, "Invalid Access %d", edbaccess);
    return DRV_SETSTS_READONLY;
  }

  EDBSTS edbsts = DB_STS_SUCCESS;
  const EDBCONTAINERTYPE edbcontainertype = m_pdatabase->GetContainerType(pdbdatum);
  switch (edbcontainertype) {
    case DB_CONTAINERTYPE_ENUM: edbsts = SetCurrentLexiconEnum(pdbdatum, a_u64SetType); break;
    case DB_CONTAINERTYPE_STRING: edbsts = m_pdatabase->SetCurrentString(pdbdatum, m_drvsetrequest.szValue); break;
    case DB_CONTAINERTYPE_RANGE: {
      int32_t i32Value = 0;
      const DrvRangeArguments& drvrangearguments = m_drvsetrequest.drvsetarguments.drvrangearguments;
      if (a_u64SetType == DRV_SETTYPE_SETENUM) {
        OsLog(OS_LOG_ERROR, "Wrong container...%d", edbcontainertype);
        edbsts = DB_STS_FAIL;
      } else if (!ReadNumber(m_drvsetrequest.szValue, &i32Value)) {
        edbsts = DB_STS_BADVALUE;
      } else if (a_u64SetType & DRV_SETTYPE_RANGE) {
        edbsts = m_pdatabase->RangeSetCurrent(pdbdatum, i32Value, drvrangearguments.i32Min, drvrangearguments.i32Max,
                                              drvrangearguments.i32Step);
      } else {
        edbsts = m_pdatabase->SetCurrentLong(pdbdatum, i32Value, false);
      }
      break;
    }
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized container...%d", edbcontainertype);
      edbsts = DB_STS_FAIL;
      break;
  }
  if (edbsts != DB_STS_SUCCESS) return edbsts;

  if (edbid == DB_ID_SIDESDIFFERENT) {
    m_pdatabase->CopySidesDifferent();
    return DB_STS_SUCCESS;
  }
  if (drvsettarget.blFoundByBin) {
    for (long l = 0; l < drvsettarget.lBins; ++l)
      CopyDataContainer(m_pdatabase->FindInBin(drvsettarget.aedbbin[l], edbid), pdbdatum);
    return DB_STS_SUCCESS;
  }
  if (pdbdatumLinked && IsOff(m_pdatabase, DB_ID_SIDESDIFFERENT))
    m_pdatabase->CopySideToSide(pdbdatumLinked, pdbdatum);
  if (IsOff(m_pdatabase, DB_ID_IMAGESDIFFERENT)) {
    m_pdatabase->CopyImageToImage(m_pdatabase->GetLinkedImage(pdbdatum), pdbdatum);
    if (pdbdatumLinked) m_pdatabase->CopyImageToImage(m_pdatabase->GetLinkedImage(pdbdatumLinked), pdbdatumLinked);
  }
  return DB_STS_SUCCESS;
}

// While the sides are kept equal the front leads: a rear set goes to the
// front and is copied back.
bool CDrvProcessCommands::FindSetTarget(EDBID a_edbid, DrvSetTarget* a_pdrvsettarget) {
  DrvSetTarget& drvsettarget = *a_pdrvsettarget;
  drvsettarget = {};
  drvsettarget.lBins =
      GetDriverSetBin(m_drvsetrequest.szCameraType, m_drvsetrequest.szWindowType, drvsettarget.aedbbin);
  for (long l = 0; l < drvsettarget.lBins && !drvsettarget.pdbdatum; ++l)
    drvsettarget.pdbdatum = m_pdatabase->FindInBin(drvsettarget.aedbbin[l], a_edbid);
  drvsettarget.blFoundByBin = drvsettarget.pdbdatum != nullptr;
  if (!drvsettarget.pdbdatum) drvsettarget.pdbdatum = m_pdatabase->Find(a_edbid);
  if (!drvsettarget.pdbdatum) {
    OsLog(OS_LOG_ERROR, "capability not found...<%d %.64s>", a_edbid, m_drvsetrequest.szId);
    return false;
  }
  drvsettarget.pdbdatumLinked = m_pdatabase->GetLinkedSide(drvsettarget.pdbdatum);
  if (drvsettarget.pdbdatumLinked && IsOff(m_pdatabase, DB_ID_SIDESDIFFERENT) &&
      IsRear(m_pdatabase->GetBin(drvsettarget.pdbdatum)))
    std::swap(drvsettarget.pdbdatum, drvsettarget.pdbdatumLinked);
  return true;
}

// A new current list must come from the allowed (default) list. When the
// value then fails, the list and the value it replaced are put back: the
// front end asked for the pair, and gets neither.
EDBSTS CDrvProcessCommands::SetCurrentLexiconEnum(CDbDatum* a_pdbdatum, uint64_t a_u64SetType) {
  const bool blNewList = a_u64SetType == DRV_SETTYPE_SETENUM;
  if (!blNewList && a_u64SetType != DRV_SETTYPE_SETVALUE) {
    OsLog(OS_LOG_ERROR, "Wrong container...%d", m_pdatabase->GetContainerType(a_pdbdatum));
    return DB_STS_FAIL;
  }
  SavedList savedlist = {};
  if (blNewList) {
    savedlist.lValue = m_pdatabase->GetCurrentLong(a_pdbdatum);
    savedlist.lCount = std::min(m_pdatabase->EnumGetItemCount(a_pdbdatum), DRV_SETREQUEST_ENUMS);
    for (long l = 0; l < savedlist.lCount; ++l) savedlist.alItem[l] = m_pdatabase->EnumGetItem(a_pdbdatum, l);
  }
  auto PutBack = [&] {
    OsLog(OS_LOG_ERROR, "restoring the enumeration list of %s...", m_pdatabase->GetName(a_pdbdatum));
    m_pdatabase->EnumDeleteAllItems(a_pdbdatum);
    for (long l = 0; l < savedlist.lCount; ++l) m_pdatabase->EnumAddItem(a_pdbdatum, savedlist.alItem[l]);
    m_pdatabase->SetCurrentLong(a_pdbdatum, savedlist.lValue, false);
  };

  if (blNewList) {
    const DrvEnumArguments& drvenumarguments = m_drvsetrequest.drvsetarguments.drvenumarguments;
    for (uint32_t u = 0; u < drvenumarguments.u32Count; ++u) {
      if (!m_pdatabase->EnumHasDefaultItem(a_pdbdatum, drvenumarguments.au32Value[u])) {
        OsLog(OS_LOG_ERROR, "App asked to add unsupported enum...%d", static_cast<int>(drvenumarguments.au32Value[u]));
        return DB_STS_BADVALUE;
      }
    }
    m_pdatabase->EnumDeleteAllItems(a_pdbdatum);
    for (uint32_t u = 0; u < drvenumarguments.u32Count; ++u) {
      const EDBSTS edbsts = m_pdatabase->EnumAddItem(a_pdbdatum, drvenumarguments.au32Value[u]);
      if (edbsts != DB_STS_SUCCESS) {
        OsLog(OS_LOG_ERROR, "EnumAddItem failed...%d", edbsts);
        PutBack();
        return edbsts;
      }
    }
  }

  DbLookup2* pdblookup2 = m_pdatabase->LookupGet(a_pdbdatum);
  DbLookupEnum* pdblookupenum =
      pdblookup2 ? m_pdatabase->LookupLexiconEnum(pdblookup2, m_drvsetrequest.szValue) : nullptr;
  EDBSTS edbsts = DB_STS_BADVALUE;
  if (!pdblookupenum) {
    OsLog(OS_LOG_ERROR, "Unrecognized lexicon enum %.64s...", m_drvsetrequest.szValue);
  } else if (!m_pdatabase->EnumHasCurrentItem(a_pdbdatum, pdblookupenum->lValue)) {
    OsLog(OS_LOG_ERROR, "enum not in the current list...%ld", pdblookupenum->lValue);
  } else {
    edbsts = m_pdatabase->SetCurrentLong(a_pdbdatum, pdblookupenum->lValue, false);
  }
  if (edbsts != DB_STS_SUCCESS && blNewList) PutBack();
  return edbsts;
}

// The picked bins' lists put the other side before the other image kind, so
// the opposite bin takes the value from the other side's datum, which is
// already up to date.
void CDrvProcessCommands::CopyDataContainer(CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc) {
  if (!a_pdbdatumDst || !a_pdbdatumSrc) return;
  const EDBBIN edbbinDst = m_pdatabase->GetBin(a_pdbdatumDst);
  const EDBBIN edbbinSrc = m_pdatabase->GetBin(a_pdbdatumSrc);
  if (edbbinDst == edbbinSrc) return;
  if (edbbinSrc == m_pdatabase->GetBinOtherSide(edbbinDst)) {
    m_pdatabase->CopySideToSide(a_pdbdatumDst, a_pdbdatumSrc);
  } else if (edbbinSrc == m_pdatabase->GetBinSameSide(edbbinDst)) {
    m_pdatabase->CopyImageToImage(a_pdbdatumDst, a_pdbdatumSrc);
  } else if (edbbinSrc == m_pdatabase->GetBinOppositeImageSide(edbbinDst)) {
    if (CDbDatum* pdbdatumOther = m_pdatabase->GetDatumOtherSide(a_pdbdatumSrc))
      m_pdatabase->CopyImageToImage(a_pdbdatumDst, pdbdatumOther);
  }
}
