// Deskew and border from the cropping mode: automatic cropping lets the user
// choose both, a fixed crop the border alone; the other modes straighten the
// page themselves (deskew forced on) or must not (long paper: off), and add
// no border. Automatic edge fill turns deskew on and frees the border.
#include "db_cdeskew.h"

#include "db_cdatabase.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

constexpr long s_lOff = DB_ID_ADDBORDER_ENUM_FALSE;
constexpr long s_lOn = DB_ID_ADDBORDER_ENUM_TRUE;
static_assert(DB_ID_AUTOMATICDESKEW_ENUM_FALSE == s_lOff && DB_ID_AUTOMATICDESKEW_ENUM_TRUE == s_lOn);

// The cropping mode of a camera; 0 (a mode that frees nothing) without one.
long CroppingOf(EDBBIN a_edbbin) { return CRuleKit::ValueOf(DB_ID_CROPPINGMODE, a_edbbin, 0); }

bool IsAutomaticFill(long a_lFill) {
  return a_lFill == DB_ID_IMAGEEDGEFILL_ENUM_AUTOMATIC || a_lFill == DB_ID_IMAGEEDGEFILL_ENUM_AUTOMATICWITHTEAR;
}

// M when it is a change deskew and border follow: a cropping mode that
// counts, or an automatic edge fill of the own camera. Nothing follows while
// a profile loads.
enum class EFollowed { NONE, CROPPING, AUTOMATICFILL };

EFollowed Followed(CDbDatum* a_pdbdatumOwn, DbRuleModified* a_pdbrulemodified) {
  const CDbDatum* pdbdatum = CDbDatum::GetModified();
  if (!pdbdatum || (pdbdatum->GetId() != DB_ID_CROPPINGMODE && pdbdatum->GetId() != DB_ID_IMAGEEDGEFILL) ||
      CRuleKit::IsLoading() || !CRuleKit::GetModified(a_pdbdatumOwn, a_pdbrulemodified))
    return EFollowed::NONE;
  if (CRuleKit::IsCroppingChangeThatCounts(*a_pdbrulemodified)) return EFollowed::CROPPING;
  if (a_pdbrulemodified->edbid == DB_ID_IMAGEEDGEFILL && a_pdbrulemodified->blOwnCamera &&
      IsAutomaticFill(a_pdbrulemodified->lNew))
    return EFollowed::AUTOMATICFILL;
  return EFollowed::NONE;
}

bool IsBorderFree(long a_lCropping) {
  return a_lCropping == DB_ID_CROPPINGMODE_ENUM_AUTOMATIC || a_lCropping == DB_ID_CROPPINGMODE_ENUM_FIXED;
}

// Deskew by cropping mode: the value it takes and its access; false (logged)
// for a mode it does not know.
bool DeskewFor(long a_lCropping, long* a_plValue, EDBACCESS* a_pedbaccess) {
  switch (a_lCropping) {
    case DB_ID_CROPPINGMODE_ENUM_AUTOMATIC:
      *a_plValue = s_lOn;
      *a_pedbaccess = DB_ACCESS_READWRITE;
      return true;
    case DB_ID_CROPPINGMODE_ENUM_RELATIVE:
    case DB_ID_CROPPINGMODE_ENUM_AGGRESSIVE:
    case DB_ID_CROPPINGMODE_ENUM_PHOTO:
    case DB_ID_CROPPINGMODE_ENUM_PHOTOINROI:
      *a_plValue = s_lOn;
      *a_pedbaccess = DB_ACCESS_DISABLED;
      return true;
    case DB_ID_CROPPINGMODE_ENUM_FIXED:
    case DB_ID_CROPPINGMODE_ENUM_LONGPAPER:
      *a_plValue = s_lOff;
      *a_pedbaccess = DB_ACCESS_DISABLED;
      return true;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized cropping mode...%d", static_cast<int>(a_lCropping));
      return false;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// ADDBORDER
// ---------------------------------------------------------------------------
EOSSTS CADDBORDER::FixAccess() {
  SetAccess(IsBorderFree(CroppingOf(GetBin())) ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED);
  return OS_STS_SUCCESS;
}

EOSSTS CADDBORDER::FixCurrent() {
  DbRuleModified dbrulemodified;
  switch (Followed(this, &dbrulemodified)) {
    case EFollowed::CROPPING:
      if (!IsBorderFree(dbrulemodified.lNew)) {
        SetCurrentLong(s_lOff);
        SetAccess(DB_ACCESS_DISABLED);
      } else {
        SetAccess(DB_ACCESS_READWRITE);
      }
      break;
    case EFollowed::AUTOMATICFILL:
      SetAccess(DB_ACCESS_READWRITE);
      break;
    case EFollowed::NONE:
      break;
  }
  return OS_STS_SUCCESS;
}

// A preview adds no border.
void CADDBORDER::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  const bool blSent = GetAccess() == DB_ACCESS_READWRITE && !CRuleKit::IsPreview();
  CDbEnum::MakeXml(blSent ? a_lValue : s_lOff, a_edbdevicedataTarget);
}

// ---------------------------------------------------------------------------
// AUTOMATICDESKEW
// ---------------------------------------------------------------------------
EOSSTS CAUTOMATICDESKEW::FixAccess() {
  long lValue = 0;
  EDBACCESS edbaccess = DB_ACCESS_NOTSUPPORTED;
  if (DeskewFor(CroppingOf(GetBin()), &lValue, &edbaccess)) SetAccess(edbaccess);
  return OS_STS_SUCCESS;
}

EOSSTS CAUTOMATICDESKEW::FixCurrent() {
  DbRuleModified dbrulemodified;
  long lValue = 0;
  EDBACCESS edbaccess = DB_ACCESS_NOTSUPPORTED;
  switch (Followed(this, &dbrulemodified)) {
    case EFollowed::CROPPING:
      if (DeskewFor(dbrulemodified.lNew, &lValue, &edbaccess)) {
        SetCurrentLong(lValue);
        SetAccess(edbaccess);
      }
      break;
    case EFollowed::AUTOMATICFILL:
      SetAccess(DB_ACCESS_READWRITE);
      if (GetCurrentLong() != s_lOn) SetCurrentLong(s_lOn);
      break;
    case EFollowed::NONE:
      break;
  }
  return OS_STS_SUCCESS;
}

// A preview under a fixed crop keeps the page as the sheet lies.
void CAUTOMATICDESKEW::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDatabase* pdatabase = CRuleKit::Database();
  const bool blFixedPreview =
      pdatabase && CRuleKit::IsPreview() &&
      pdatabase->GetCroppingForPreview(static_cast<EDBID_CROPPINGMODE>(CroppingOf(GetBin()))) ==
          DB_ID_CROPPINGMODE_ENUM_FIXED;
  CDbEnum::MakeXml(blFixedPreview ? s_lOff : a_lValue, a_edbdevicedataTarget);
}

// ---------------------------------------------------------------------------
// ORTHOGONALROTATE
// ---------------------------------------------------------------------------
// A preview shows the page unturned.
void CORTHOGONALROTATE::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDbEnum::MakeXml(CRuleKit::IsPreview() ? static_cast<long>(DB_ID_ORTHOGONALROTATE_ENUM_0_DEGREES) : a_lValue,
                   a_edbdevicedataTarget);
}
