// CROPPINGMODE, ORIENTATION and IMAGESKEWANGLE: the cropping modes the model
// lists, long paper shared by all cameras and left for jobs it cannot take,
// the mode's preview class; the quarter turn offered while the turned
// frame fits the sheet; the skew angle offered with a box of the user's
// own, and none with long paper or a paper size.
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_crulekit.h"
#include "db_cwindows.h"

namespace {

constexpr long s_lAutomatic = DB_ID_CROPPINGMODE_ENUM_AUTOMATIC;
constexpr long s_lFixed = DB_ID_CROPPINGMODE_ENUM_FIXED;
constexpr long s_lLongPaper = DB_ID_CROPPINGMODE_ENUM_LONGPAPER;
constexpr long s_lSizeNone = DB_ID_SUPPORTEDSIZES_ENUM_NONE;

bool AllowsBox(CDatabase& a_database, long a_lMode) {
  return a_database.IsCroppingBoxAllow(static_cast<EDBID_CROPPINGMODE>(a_lMode));
}

EDBACCESS Offered(bool a_blOffered) { return a_blOffered ? DB_ACCESS_READWRITE : DB_ACCESS_READWRITEDISABLED; }

// ---------------------------------------------------------------------------
// CROPPINGMODE
// ---------------------------------------------------------------------------
// Long paper is the mode of all cameras or of none.
void ShareLongPaper(CDbEnum& a_dbenumOwn, const DbRuleModified& a_dbrulemodified) {
  if (a_dbrulemodified.lNew == s_lLongPaper) {
    if (!a_dbrulemodified.blOwnCamera) a_dbenumOwn.SetCurrentLong(s_lLongPaper);
  } else if (a_dbenumOwn.GetCurrentLong() == s_lLongPaper) {
    a_dbenumOwn.SetCurrentLong(a_dbrulemodified.lNew);
  }
}

// Jobs that count pages, the flatbed and patch toggling cannot scan long
// paper: it becomes a fixed box.
bool EndsLongPaper(const DbRuleModified& a_dbrulemodified) {
  switch (a_dbrulemodified.edbid) {
    case DB_ID_PAGECOUNT:
    case DB_ID_XFERCOUNT:
      return a_dbrulemodified.lNew != 0;
    case DB_ID_PAPERSOURCE:
      return a_dbrulemodified.lNew == DB_ID_PAPERSOURCE_ENUM_FLATBED;
    case DB_ID_TOGGLEPATCH:
      return a_dbrulemodified.lNew != DB_ID_TOGGLEPATCH_ENUM_NONE;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// ORIENTATION
// ---------------------------------------------------------------------------
// Whether the frame of a window and camera, turned a quarter (x and y
// exchanged as given, width and height exchanged), fits the sheet.
bool TurnedFits(CDatabase& a_database, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, long a_lX, long a_lY) {
  auto side = [&](EDBID a_edbid) { return CRuleKit::ValueIn(a_edbidwindow, a_edbid, a_edbbin, 0); };
  CDbDatum* pdbdatumWidth = a_database.FindDirect(a_edbbin, DB_ID_FRAMEWIDTH);
  CDbDatum* pdbdatumHeight = a_database.FindDirect(a_edbbin, DB_ID_FRAMEHEIGHT);
  const long lMinWidth = pdbdatumWidth ? a_database.RangeGetCurrentMin(pdbdatumWidth) : 0;
  const long lMinHeight = pdbdatumHeight ? a_database.RangeGetCurrentMin(pdbdatumHeight) : 0;
  return a_database.IsValidFrame(a_lX, a_lY, side(DB_ID_FRAMEHEIGHT), side(DB_ID_FRAMEWIDTH),
                                 side(DB_ID_IMAGESKEWANGLE), lMinWidth, lMinHeight, CRuleKit::PhysicalWidth(),
                                 CRuleKit::PhysicalHeight());
}

// The turn is offered for the modes that place a box, while the turned
// frame fits: from the top for a fixed box and long paper, from the frame's
// x offset for a relative one.
EDBACCESS OrientationAccess(CDatabase& a_database, long a_lMode, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
  long lY = 0;
  switch (a_lMode) {
    case DB_ID_CROPPINGMODE_ENUM_FIXED:
    case DB_ID_CROPPINGMODE_ENUM_LONGPAPER:
      break;
    case DB_ID_CROPPINGMODE_ENUM_RELATIVE:
    case DB_ID_CROPPINGMODE_ENUM_PHOTOINROI:
      lY = CRuleKit::ValueIn(a_edbidwindow, DB_ID_FRAMEXOFFSET, a_edbbin, 0);
      break;
    default:
      return DB_ACCESS_READWRITEDISABLED;
  }
  const long lX = CRuleKit::ValueIn(a_edbidwindow, DB_ID_FRAMEYOFFSET, a_edbbin, 0);
  return Offered(TurnedFits(a_database, a_edbidwindow, a_edbbin, lX, lY));
}

bool IsTurnInput(EDBID a_edbid) {
  return a_edbid == DB_ID_FRAMEHEIGHT || a_edbid == DB_ID_FRAMEWIDTH || a_edbid == DB_ID_FRAMEYOFFSET ||
         a_edbid == DB_ID_IMAGESKEWANGLE;
}

}  // namespace

// ---------------------------------------------------------------------------
// CROPPINGMODE
// ---------------------------------------------------------------------------
// A model that lists no cropping mode has none: the frame rules then read
// automatic.
EOSSTS CCROPPINGMODE::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  const EOSSTS eossts = CDbEnum::FixDefault();
  if (eossts != OS_STS_SUCCESS || GetAccess() == DB_ACCESS_NOTSUPPORTED || !pdatabase) return eossts;
  pdatabase->FixDefaultEnumFromDbConfig(this, DB_CONFIGTARGET_COMMON, nullptr);
  CRuleKit::UnsupportIfEmpty(this);
  return OS_STS_SUCCESS;
}

EOSSTS CCROPPINGMODE::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (!CRuleKit::GetModified(this, &dbrulemodified)) return OS_STS_SUCCESS;
  if (dbrulemodified.edbid == DB_ID_CROPPINGMODE) {
    ShareLongPaper(*this, dbrulemodified);
  } else if (dbrulemodified.edbid == DB_ID_IMAGEEDGEFILL) {
    // An automatic edge fill needs the page found automatically.
    const bool blAutomaticFill = dbrulemodified.lNew == DB_ID_IMAGEEDGEFILL_ENUM_AUTOMATIC ||
                                 dbrulemodified.lNew == DB_ID_IMAGEEDGEFILL_ENUM_AUTOMATICWITHTEAR;
    if (dbrulemodified.blOwnCamera && blAutomaticFill && GetCurrentLong() != s_lAutomatic)
      SetCurrentLong(s_lAutomatic);
  } else if (EndsLongPaper(dbrulemodified) && GetCurrentLong() == s_lLongPaper) {
    SetCurrentLong(s_lFixed);
  }
  return OS_STS_SUCCESS;
}

void CCROPPINGMODE::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDatabase* pdatabase = CRuleKit::Database();
  long lValue = a_lValue;
  if (pdatabase && CRuleKit::IsPreview()) {
    const long lPreview = pdatabase->GetCroppingForPreview(static_cast<EDBID_CROPPINGMODE>(a_lValue));
    if (lPreview != 0) lValue = lPreview;
  }
  CDbEnum::MakeXml(lValue, a_edbdevicedataTarget);
}

// ---------------------------------------------------------------------------
// ORIENTATION
// ---------------------------------------------------------------------------
EOSSTS CORIENTATION::Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) {
  const EOSSTS eossts = CDbEnum::Validate(a_edbidwindow, a_lValue);
  CDatabase* pdatabase = CRuleKit::Database();
  if (eossts != OS_STS_SUCCESS || a_lValue != DB_ID_ORIENTATION_ENUM_ROT270 || !pdatabase) return eossts;
  if (a_edbidwindow < 0 || a_edbidwindow >= DB_WINDOW_COUNT) return DB_EOSSTS_REFUSED;
  const EDBBIN edbbin = GetBin();
  const long lX = CRuleKit::ValueIn(a_edbidwindow, DB_ID_FRAMEXOFFSET, edbbin, 0);
  const long lY = CRuleKit::ValueIn(a_edbidwindow, DB_ID_FRAMEYOFFSET, edbbin, 0);
  return TurnedFits(*pdatabase, a_edbidwindow, edbbin, lX, lY) ? eossts : DB_EOSSTS_REFUSED;
}

EOSSTS CORIENTATION::FixAccess() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_SUCCESS;
  SetAccess(OrientationAccess(*pdatabase, CRuleKit::CroppingMode(GetBin()), 0, GetBin()));
  return OS_STS_SUCCESS;
}

EOSSTS CORIENTATION::FixCurrent() {
  DbRuleModified dbrulemodified;
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !CRuleKit::GetModified(this, &dbrulemodified)) return OS_STS_SUCCESS;
  if (dbrulemodified.edbid == DB_ID_CROPPINGMODE) {
    if (CRuleKit::IsCroppingChangeThatCounts(dbrulemodified))
      SetAccess(OrientationAccess(*pdatabase, dbrulemodified.lNew, dbrulemodified.edbidwindow, dbrulemodified.edbbin));
  } else if (IsTurnInput(dbrulemodified.edbid) && dbrulemodified.blOwnCamera) {
    return FixAccess();
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// IMAGESKEWANGLE
// ---------------------------------------------------------------------------
EOSSTS CIMAGESKEWANGLE::FixAccess() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_SUCCESS;
  const long lMode = CRuleKit::CroppingMode(GetBin());
  SetAccess(Offered(lMode != s_lLongPaper && AllowsBox(*pdatabase, lMode)));
  return OS_STS_SUCCESS;
}

EOSSTS CIMAGESKEWANGLE::FixCurrent() {
  DbRuleModified dbrulemodified;
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !CRuleKit::GetModified(this, &dbrulemodified)) return OS_STS_SUCCESS;
  switch (dbrulemodified.edbid) {
    case DB_ID_CROPPINGMODE:
      if (!CRuleKit::IsCroppingChangeThatCounts(dbrulemodified)) break;
      if (dbrulemodified.lNew == s_lLongPaper) {
        SetAccess(DB_ACCESS_READWRITEDISABLED);
        SetCurrentLong(0);
      } else {
        SetAccess(Offered(AllowsBox(*pdatabase, dbrulemodified.lNew)));
      }
      break;
    case DB_ID_IMAGESKEWANGLE:
      if (dbrulemodified.blOwnCamera &&
          CRuleKit::ValueIn(dbrulemodified.edbidwindow, DB_ID_CROPPINGMODE, dbrulemodified.edbbin, s_lAutomatic) ==
              s_lLongPaper)
        SetCurrentLong(0);
      break;
    case DB_ID_SUPPORTEDSIZES:
      if (dbrulemodified.lNew != s_lSizeNone) SetCurrentLong(0);
      break;
    case DB_ID_WINDOWSIZE:
      if (dbrulemodified.blOwnCamera && dbrulemodified.lNew != s_lSizeNone) SetCurrentLong(0);
      break;
    default:
      break;
  }
  return OS_STS_SUCCESS;
}
