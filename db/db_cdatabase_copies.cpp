// Copies that keep the two sides of the paper and the two image streams of
// a side in step: a whole camera bin to another, one capability to the other
// side or to the other stream, the copies the sides and images settings ask
// for, and the decision whether the two streams of a side may differ.
#include <cstring>

#include "db_ccompression.h"
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "db_cdbnotify.h"
#include "os_coslog.h"

using dbcontainer::AsEnum;
using dbcontainer::AsRange;
using dbcontainer::AsString;

namespace {

constexpr EDBBIN s_aedbbinCameras[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};
constexpr long s_lOn = DB_ID_CAMERAENABLE_ENUM_TRUE;
constexpr long s_lOff = DB_ID_CAMERAENABLE_ENUM_FALSE;

bool IsCamera(EDBBIN a_edbbin) { return a_edbbin >= DB_BIN_BITONAL_FRONT && a_edbbin <= DB_BIN_COLOR_REAR; }

bool IsFront(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_BITONAL_FRONT || a_edbbin == DB_BIN_COLOR_FRONT; }

bool Accessible(CDbDatum* a_pdbdatum) { return a_pdbdatum && a_pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED; }

// The accesses a copy carries over: every one a user may see change, but
// plain hidden and plain read-only.
bool CarriesAccess(EDBACCESS a_edbaccess) {
  switch (a_edbaccess) {
    case DB_ACCESS_DISABLED:
    case DB_ACCESS_READWRITE:
    case DB_ACCESS_READWRITEDISABLED:
    case DB_ACCESS_READWRITEHIDDEN:
    case DB_ACCESS_READONLYHIDDEN:
      return true;
    default:
      return false;
  }
}

bool IsReadWrite(EDBACCESS a_edbaccess) {
  return a_edbaccess == DB_ACCESS_READWRITE || a_edbaccess == DB_ACCESS_READWRITEDISABLED ||
         a_edbaccess == DB_ACCESS_READWRITEHIDDEN;
}

bool IsEcdo(EDBID a_edbid) { return a_edbid == DB_ID_ECDO || a_edbid == DB_ID_ECDOCUSTOM; }

// The window-0 datum of a slot inside the table.
CDbDatum* Master(int a_iId, EDBBIN a_edbbin) { return CDbDatum::ms_pdatumcommon->apdbdatum[0][a_iId][a_edbbin]; }

// The value of a capability of the current window, or the fallback when
// the scanner does not have it.
long ValueOr(CDatabase& a_database, EDBID a_edbid, long a_lFallback) {
  CDbDatum* pdbdatum = a_database.Find(a_edbid);
  return pdbdatum ? pdbdatum->GetCurrentLong() : a_lFallback;
}

const char* BinName(EDBBIN a_edbbin) {
  switch (a_edbbin) {
    case DB_BIN_BITONAL_FRONT:
      return "DB_BIN_BITONAL_FRONT";
    case DB_BIN_BITONAL_REAR:
      return "DB_BIN_BITONAL_REAR";
    case DB_BIN_COLOR_FRONT:
      return "DB_BIN_COLOR_FRONT";
    default:
      return "DB_BIN_COLOR_REAR";
  }
}

// The checks both single copies make of their datums; true when the copy
// goes on, else a_peossts holds the result. The source must be in the bin
// the destination's bin pairs with.
bool CopyMayGoOn(CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc, EDBBIN (*a_pfnPartner)(EDBBIN), EOSSTS* a_peossts) {
  *a_peossts = OS_STS_SUCCESS;
  if (a_pdbdatumDst->GetId() != a_pdbdatumSrc->GetId()) {
    OsLog(OS_LOG_ERROR, "DB_ID's don't match...%d %d", a_pdbdatumDst->GetId(), a_pdbdatumSrc->GetId());
    *a_peossts = DB_EOSSTS_BADARGUMENT;
    return false;
  }
  const EDBBIN edbbinDst = a_pdbdatumDst->GetBin();
  if (edbbinDst == DB_BIN_MACHINE) return false;
  if (!IsCamera(edbbinDst)) {
    OsLog(OS_LOG_ERROR, "Unrecognized edbbin...%d", edbbinDst);
    *a_peossts = DB_EOSSTS_BADARGUMENT;
    return false;
  }
  const EDBBIN edbbinPartner = a_pfnPartner(edbbinDst);
  if (a_pdbdatumSrc->GetBin() != edbbinPartner) {
    OsLog(OS_LOG_ERROR, "a_hdbdatumSrc isn't %s...", BinName(edbbinPartner));
    *a_peossts = DB_EOSSTS_BADARGUMENT;
    return false;
  }
  return true;
}

// A silent store of a different value the destination accepts (compression
// and dropout take the value in their own form, unasked); true when stored.
bool CopyValue(CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc) {
  if (CDbEnum* pdbenum = AsEnum(a_pdbdatumDst)) {
    const long lValue = a_pdbdatumSrc->GetCurrentLong();
    if (lValue == pdbenum->GetCurrentLong()) return false;
    const EDBID edbid = pdbenum->GetId();
    if (edbid != DB_ID_COMPRESSION && !IsEcdo(edbid) && pdbenum->Validate(0, lValue) != OS_STS_SUCCESS) return false;
    pdbenum->Copy(lValue);
    return true;
  }
  if (CDbRange* pdbrange = AsRange(a_pdbdatumDst)) {
    const long lValue = a_pdbdatumSrc->GetCurrentLong();
    if (lValue == pdbrange->GetCurrentLong() || pdbrange->Validate(0, lValue) != OS_STS_SUCCESS) return false;
    pdbrange->Copy(lValue);
    return true;
  }
  if (CDbString* pdbstring = AsString(a_pdbdatumDst)) {
    const char* szValue = a_pdbdatumSrc->GetCurrentString();
    if (!szValue || std::strcmp(szValue, pdbstring->GetCurrentString()) == 0 ||
        pdbstring->Validate(0, szValue) != OS_STS_SUCCESS) {
      return false;
    }
    pdbstring->Copy(reinterpret_cast<long>(szValue));
    return true;
  }
  OsLog(OS_LOG_ERROR, "Unrecognized container type...%d %d", a_pdbdatumDst->GetId(), a_pdbdatumDst->GetContainerType());
  return false;
}

void FailedCopy(CDatabase& a_database, CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc, long a_lValue) {
  OsLog(OS_LOG_ERROR, "Failed to copy %s value %ld from bin %d to bin %d ...", a_database.GetName(a_pdbdatumDst),
        a_lValue, a_pdbdatumSrc->GetBin(), a_pdbdatumDst->GetBin());
}

// A multiple-colour dropout reaches a camera that cannot drop several
// colours as "none".
EOSSTS CopyEcdo(CDatabase& a_database, CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc) {
  const long lSrc = a_pdbdatumSrc->GetCurrentLong();
  if (lSrc == a_pdbdatumDst->GetCurrentLong()) return OS_STS_SUCCESS;
  const long lValue = a_database.IsEcdoMultipleColor(static_cast<EDBID_ECDO>(lSrc)) &&
                              !a_database.EnumHasCurrentItem(a_pdbdatumDst, lSrc)
                          ? static_cast<long>(DB_ID_ECDO_ENUM_NONE)
                          : lSrc;
  const EOSSTS eossts = a_pdbdatumDst->SetCurrentLong(lValue);
  if (eossts != OS_STS_SUCCESS) FailedCopy(a_database, a_pdbdatumDst, a_pdbdatumSrc, lSrc);
  a_database.FixCurrentAll(a_pdbdatumDst);
  return eossts;
}

EOSSTS StoreCopy(CDatabase& a_database, CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc, long a_lValue) {
  const EOSSTS eossts = static_cast<EOSSTS>(a_database.SetCurrentLong(a_pdbdatumDst, a_lValue, false));
  if (eossts != OS_STS_SUCCESS) FailedCopy(a_database, a_pdbdatumDst, a_pdbdatumSrc, a_pdbdatumSrc->GetCurrentLong());
  return eossts;
}

EOSSTS CopyRange(CDatabase& a_database, CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc) {
  return static_cast<EOSSTS>(a_database.RangeSetCurrent(
      a_pdbdatumDst, a_pdbdatumSrc->GetCurrentLong(), a_database.RangeGetCurrentMin(a_pdbdatumSrc),
      a_database.RangeGetCurrentMax(a_pdbdatumSrc), a_database.RangeGetCurrentStep(a_pdbdatumSrc)));
}

EOSSTS CopyString(CDatabase& a_database, CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc) {
  const char* szValue = a_pdbdatumSrc->GetCurrentString();
  const char* szCurrent = a_pdbdatumDst->GetCurrentString();
  if (!szValue || (szCurrent && std::strcmp(szValue, szCurrent) == 0)) return OS_STS_SUCCESS;
  return static_cast<EOSSTS>(a_database.SetCurrentString(a_pdbdatumDst, szValue));
}

// A single copy by the destination's container; the enumeration's is the
// caller's own.
template <class EnumCopy>
EOSSTS CopyByContainer(CDatabase& a_database, CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc, EnumCopy a_enumcopy) {
  switch (a_pdbdatumDst->GetContainerType()) {
    case DB_CONTAINERTYPE_ENUM:
      return a_enumcopy();
    case DB_CONTAINERTYPE_RANGE:
      return CopyRange(a_database, a_pdbdatumDst, a_pdbdatumSrc);
    case DB_CONTAINERTYPE_STRING:
      return CopyString(a_database, a_pdbdatumDst, a_pdbdatumSrc);
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized containertype...%d", a_pdbdatumDst->GetContainerType());
      return DB_EOSSTS_BADARGUMENT;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// A camera bin to another
// ---------------------------------------------------------------------------
// Only the camera's own settings move: a capability the machine holds is
// shared already, the pixel flavour belongs to each camera, and between the
// streams of one side each keeps whether it is on.
void CDatabase::CopyFromSrcBinToDstBin(EDBBIN a_edbbinSrc, EDBBIN a_edbbinDst) {
  if (a_edbbinSrc == a_edbbinDst || !Table()) return;
  if (!IsCamera(a_edbbinSrc) || !IsCamera(a_edbbinDst)) {
    OsLog(OS_LOG_ERROR, "Bad a_edbbinSrc or a_edbbinDst...%d %d", a_edbbinSrc, a_edbbinDst);
    return;
  }
  const bool blSameSide = IsFront(a_edbbinSrc) == IsFront(a_edbbinDst);
  if (!blSameSide && !ConfigExists("duplex", DB_CONFIGTARGET_COMMON)) return;
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    if (iId == DB_ID_PIXELFLAVOR || (blSameSide && iId == DB_ID_CAMERAENABLE)) continue;
    if (Accessible(Master(iId, DB_BIN_MACHINE))) continue;
    CDbDatum* pdbdatumSrc = Master(iId, a_edbbinSrc);
    CDbDatum* pdbdatumDst = Master(iId, a_edbbinDst);
    if (!Accessible(pdbdatumSrc) || !Accessible(pdbdatumDst)) continue;
    if (!CopyValue(pdbdatumDst, pdbdatumSrc)) continue;
    FixCurrentAll(pdbdatumDst);
    if (CarriesAccess(pdbdatumDst->GetAccess())) pdbdatumDst->SetAccess(pdbdatumSrc->GetAccess());
  }
}

// ---------------------------------------------------------------------------
// One capability to the other side or stream
// ---------------------------------------------------------------------------
EOSSTS CDatabase::CopySideToSide(CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc) {
  if (!a_pdbdatumDst) {
    OsLog(OS_LOG_ERROR, "a_hdbdatumDst is NULL...");
    return DB_EOSSTS_BADARGUMENT;
  }
  if (!a_pdbdatumSrc) {
    OsLog(OS_LOG_ERROR, "a_hdbdatumSrc is NULL...");
    return DB_EOSSTS_BADARGUMENT;
  }
  EOSSTS eossts = OS_STS_SUCCESS;
  if (!CopyMayGoOn(a_pdbdatumDst, a_pdbdatumSrc, &CDbDatum::GetBinOtherSide, &eossts)) return eossts;
  if (!CarriesAccess(a_pdbdatumSrc->GetAccess()) || a_pdbdatumDst->GetAccess() == DB_ACCESS_NOTSUPPORTED)
    return OS_STS_SUCCESS;
  return CopyByContainer(*this, a_pdbdatumDst, a_pdbdatumSrc, [&] {
    if (IsEcdo(a_pdbdatumDst->GetId())) return CopyEcdo(*this, a_pdbdatumDst, a_pdbdatumSrc);
    // The other side offers what this side offers.
    EnumDeleteAllItems(a_pdbdatumDst);
    const long lCount = EnumGetCurrentItemCount(a_pdbdatumSrc);
    for (long l = 0; l < lCount; ++l) EnumAddItem(a_pdbdatumDst, EnumGetCurrentItem(a_pdbdatumSrc, l));
    const long lValue = a_pdbdatumSrc->GetCurrentLong();
    if (lValue == a_pdbdatumDst->GetCurrentLong()) return OS_STS_SUCCESS;
    return static_cast<EOSSTS>(SetCurrentLong(a_pdbdatumDst, lValue, false));
  });
}

EOSSTS CDatabase::CopyImageToImage(CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc) {
  if (!a_pdbdatumSrc) {
    OsLog(OS_LOG_ERROR, "a_hdbdatumSrc is NULL...");
    return DB_EOSSTS_BADARGUMENT;
  }
  if (a_pdbdatumSrc->GetBin() == DB_BIN_MACHINE || !a_pdbdatumDst) return OS_STS_SUCCESS;
  EOSSTS eossts = OS_STS_SUCCESS;
  if (!CopyMayGoOn(a_pdbdatumDst, a_pdbdatumSrc, &CDbDatum::GetBinSameSide, &eossts)) return eossts;
  if (!IsReadWrite(a_pdbdatumSrc->GetAccess()) || a_pdbdatumDst->GetAccess() == DB_ACCESS_NOTSUPPORTED)
    return OS_STS_SUCCESS;
  return CopyByContainer(*this, a_pdbdatumDst, a_pdbdatumSrc, [&] {
    const EDBID edbid = a_pdbdatumDst->GetId();
    const EDBBIN edbbinDst = a_pdbdatumDst->GetBin();
    if (IsEcdo(edbid)) return CopyEcdo(*this, a_pdbdatumDst, a_pdbdatumSrc);
    const long lSrc = a_pdbdatumSrc->GetCurrentLong();
    const long lDst = a_pdbdatumDst->GetCurrentLong();
    if (edbid == DB_ID_COMPRESSION) {
      const long lValue = CCOMPRESSION::ForBin(edbbinDst, lSrc);
      return lValue == lDst ? OS_STS_SUCCESS : StoreCopy(*this, a_pdbdatumDst, a_pdbdatumSrc, lValue);
    }
    CDbDatum* pdbdatumMaster = Master(edbid, edbbinDst);
    if (!pdbdatumMaster || !pdbdatumMaster->Compare(lDst, lSrc)) return OS_STS_SUCCESS;
    return StoreCopy(*this, a_pdbdatumDst, a_pdbdatumSrc, lSrc);
  });
}

// ---------------------------------------------------------------------------
// What the sides and images settings ask for
// ---------------------------------------------------------------------------
// Sides that may not differ take the side that is scanned.
void CDatabase::CopySidesDifferent() {
  if (!Table() || ValueOr(*this, DB_ID_SIDESDIFFERENT, 0) != DB_ID_SIDESDIFFERENT_ENUM_FALSE) return;
  const long lInput = ValueOr(*this, DB_ID_INPUTDOCUMENT, 0);
  if (lInput == DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED || lInput == DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDFRONT) {
    CopyFromSrcBinToDstBin(DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR);
    CopyFromSrcBinToDstBin(DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR);
  } else if (lInput == DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDREAR) {
    CopyFromSrcBinToDstBin(DB_BIN_BITONAL_REAR, DB_BIN_BITONAL_FRONT);
    CopyFromSrcBinToDstBin(DB_BIN_COLOR_REAR, DB_BIN_COLOR_FRONT);
  }
  if (m_pdbnotify) m_pdbnotify->ResetAll(DB_NOTIFY_SIDES);
}

// The streams of a side may differ while both are on, while the colour
// content decides between them, or while a patch toggles them.
EOSSTS CDatabase::FixImagesDifferent(bool a_blNoCopy) {
  CDbDatum* pdbdatum = Table() ? Find(DB_ID_IMAGESDIFFERENT) : nullptr;
  if (!pdbdatum) return OS_STS_SUCCESS;
  bool blDifferent = (GetCameraEnable(DB_BIN_BITONAL_FRONT) && GetCameraEnable(DB_BIN_COLOR_FRONT)) ||
                     (GetCameraEnable(DB_BIN_BITONAL_REAR) && GetCameraEnable(DB_BIN_COLOR_REAR));
  if (!blDifferent && IsIdSupported(DB_ID_AUTOCOLORCONTENT)) {
    for (EDBBIN edbbin : s_aedbbinCameras) {
      CDbDatum* pdbdatumContent = FindInBin(edbbin, DB_ID_AUTOCOLORCONTENT);
      if (pdbdatumContent && pdbdatumContent->GetCurrentLong() != DB_ID_AUTOCOLORCONTENT_ENUM_NONE) blDifferent = true;
    }
  }
  if (!blDifferent) {
    const long lToggle = ValueOr(*this, DB_ID_TOGGLEPATCH, 0);
    blDifferent = lToggle != 0 && lToggle != DB_ID_TOGGLEPATCH_ENUM_NONE;
  }
  if (blDifferent) return static_cast<EOSSTS>(SetCurrentLong(pdbdatum, DB_ID_IMAGESDIFFERENT_ENUM_TRUE, false));
  if (pdbdatum->GetCurrentLong() == DB_ID_IMAGESDIFFERENT_ENUM_TRUE && !a_blNoCopy) SetCopyImages(1);
  return static_cast<EOSSTS>(SetCurrentLong(pdbdatum, DB_ID_IMAGESDIFFERENT_ENUM_FALSE, false));
}

// Images that may no longer differ take the stream that is on; sides that
// may not differ follow.
void CDatabase::CopyImagesDifferent() {
  if (!Table() || GetCopyImages() == 0 || ValueOr(*this, DB_ID_IMAGESDIFFERENT, 0) == DB_ID_IMAGESDIFFERENT_ENUM_TRUE) {
    return;
  }
  SetCopyImages(0);
  // The camera's switch in window 0: 0 when the scanner lacks the camera.
  auto state = [](EDBBIN a_edbbin) -> long {
    CDbDatum* pdbdatum = Master(DB_ID_CAMERAENABLE, a_edbbin);
    return Accessible(pdbdatum) ? pdbdatum->GetCurrentLong() : 0;
  };
  const bool blRear = ValueOr(*this, DB_ID_INPUTDOCUMENT, 0) == DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDREAR;
  const EDBBIN edbbinBitonal = blRear ? DB_BIN_BITONAL_REAR : DB_BIN_BITONAL_FRONT;
  const EDBBIN edbbinFirst = state(edbbinBitonal) == s_lOn ? edbbinBitonal : GetBinSameSide(edbbinBitonal);
  const EDBBIN edbbinSecond = GetBinSameSide(edbbinFirst);
  const bool blSidesAlike = ValueOr(*this, DB_ID_SIDESDIFFERENT, 0) == DB_ID_SIDESDIFFERENT_ENUM_FALSE;
  EDBBIN edbbinFrom = DB_BIN_SEARCH;
  EDBBIN edbbinTo = DB_BIN_SEARCH;
  if (state(edbbinFirst) == s_lOn && state(edbbinSecond) == s_lOff) {
    edbbinFrom = edbbinFirst;
    edbbinTo = edbbinSecond;
  } else if (state(edbbinFirst) == s_lOff && state(edbbinSecond) == s_lOn) {
    edbbinFrom = edbbinSecond;
    edbbinTo = edbbinFirst;
  } else {
    return;
  }
  CopyFromSrcBinToDstBin(edbbinFrom, edbbinTo);
  if (blSidesAlike) CopyFromSrcBinToDstBin(edbbinTo, GetBinOtherSide(edbbinTo));
  if (m_pdbnotify) m_pdbnotify->ResetAll(DB_NOTIFY_IMAGES);
}

// The dropout lists are named in the scanner's language: a new language
// names them anew. Each camera's rule sees the language as the change, even
// after the one before it stored a value (whose own pass ends with no
// change marked); a pass this runs inside (the language's own fix-up) gets
// its marker back for the capabilities after it.
void CDatabase::ReloadEcdo() {
  if (!IsIdSupported(DB_ID_ECDO) || !IsIdSupported(DB_ID_LANGUAGE)) return;
  CDbDatum* pdbdatumLanguage = Find(DB_ID_LANGUAGE);
  CDbDatum* pdbdatumOuter = CDbDatum::GetModified();
  for (EDBBIN edbbin : s_aedbbinCameras) {
    CDbDatum* pdbdatum = Master(DB_ID_ECDO, edbbin);
    if (!pdbdatum) continue;
    if (pdbdatumLanguage) pdbdatumLanguage->SetModified();
    dbcontainer::ByContainer(pdbdatum, [](auto* a_pcontainer) { a_pcontainer->FixCurrent(); });
  }
  if (pdbdatumOuter) {
    pdbdatumOuter->SetModified();
  } else {
    CDbDatum::ClearModified();
  }
}
