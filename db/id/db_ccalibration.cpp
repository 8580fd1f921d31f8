// Calibration types offered by the unit in use, and keeping a calibration's
// images as the type allows.
#include "db_ccalibration.h"

#include <initializer_list>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbcontainer.h"
#include "db_cdblookup.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

constexpr char s_szEnabled[] = "calibrationtypeenabled";
constexpr char s_szTypes[] = "calibrationtype";

// Without a list of its own the unit offers the database's types; a flatbed
// cannot calibrate what needs the feeder's transport (and, once it is the
// unit in use, the magnification test), and a unit that calibrates with its
// target has no use for the calibration without one.
void OfferDefaultTypes(CDbEnum& a_dbenumOwn, EDBCONFIGTARGET a_edbconfigtarget, bool a_blFixCurrent) {
  for (long l = 0; l < a_dbenumOwn.GetDefaultItemCount(); ++l) a_dbenumOwn.AddCurrentItem(a_dbenumOwn.GetDefaultItem(l));
  if (a_edbconfigtarget == DB_CONFIGTARGET_FLATBED) {
    for (long lType : {DB_ID_CALIBRATIONTYPE_ENUM_UDDS, DB_ID_CALIBRATIONTYPE_ENUM_MAGNIFICATION,
                       DB_ID_CALIBRATIONTYPE_ENUM_PATCHREADER})
      a_dbenumOwn.DeleteCurrentItem(lType);
    if (a_blFixCurrent) a_dbenumOwn.DeleteCurrentItem(DB_ID_CALIBRATIONTYPE_ENUM_MAGNIFICATIONTEST);
  }
  if (a_dbenumOwn.HasCurrentItem(DB_ID_CALIBRATIONTYPE_ENUM_IMAGE) &&
      a_dbenumOwn.HasCurrentItem(DB_ID_CALIBRATIONTYPE_ENUM_IMAGENOTARGET))
    a_dbenumOwn.DeleteCurrentItem(DB_ID_CALIBRATIONTYPE_ENUM_IMAGENOTARGET);
}

// The unit's own list, in its order, of the types the database has.
void OfferListedTypes(CDatabase& a_database, CDbEnum& a_dbenumOwn, EDBCONFIGTARGET a_edbconfigtarget) {
  for (const char* szType = a_database.ConfigEnumGetFirst(s_szTypes, a_edbconfigtarget); szType;
       szType = a_database.ConfigEnumGetNext(s_szTypes, szType, a_edbconfigtarget)) {
    const DbLookupEnum* pdblookupenum = a_database.LookupLexiconEnum(a_dbenumOwn.GetLookup(), szType);
    if (pdblookupenum && a_dbenumOwn.HasDefaultItem(pdblookupenum->lValue))
      a_dbenumOwn.AddCurrentItem(pdblookupenum->lValue);
  }
}

// The current list: the types the unit of the target offers. A unit that
// offers none keeps the image calibration, hidden.
void OfferTypes(CDbEnum& a_dbenumOwn, EDBCONFIGTARGET a_edbconfigtarget, bool a_blFixCurrent) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return;
  a_dbenumOwn.DeleteAllCurrentItems();
  if (!pdatabase->ConfigExists(s_szEnabled, a_edbconfigtarget)) {
    OfferDefaultTypes(a_dbenumOwn, a_edbconfigtarget, a_blFixCurrent);
  } else {
    OfferListedTypes(*pdatabase, a_dbenumOwn, a_edbconfigtarget);
  }
  if (a_dbenumOwn.GetCurrentItemCount() == 0) {
    a_dbenumOwn.AddCurrentItem(DB_ID_CALIBRATIONTYPE_ENUM_IMAGE);
    a_dbenumOwn.SetCurrentLong(DB_ID_CALIBRATIONTYPE_ENUM_IMAGE);
    a_dbenumOwn.SetAccess(DB_ACCESS_HIDDEN);
    return;
  }
  a_dbenumOwn.SetAccess(DB_ACCESS_READWRITE);
  const long lDefault = a_dbenumOwn.GetDefaultLong();
  if (a_dbenumOwn.HasCurrentItem(lDefault)) {
    if (a_blFixCurrent) a_dbenumOwn.SetCurrentLong(lDefault);
  } else {
    a_dbenumOwn.SetCurrentLong(a_dbenumOwn.GetCurrentItem(0));
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Calibration types
// ---------------------------------------------------------------------------
// A model with a flatbed offers what the flatbed offers from the start.
EOSSTS CCALIBRATIONTYPE::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (pdatabase) {
    const bool blFlatbed = pdatabase->ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON);
    OfferTypes(*this, blFlatbed ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF, false);
  }
  return CDbEnum::FixDefault();
}

EOSSTS CCALIBRATIONTYPE::FixAccess() {
  if (GetAccess() != DB_ACCESS_NOTSUPPORTED)
    SetAccess(GetCurrentItemCount() > 0 ? DB_ACCESS_READWRITE : DB_ACCESS_HIDDEN);
  return OS_STS_SUCCESS;
}

// A change of unit offers that unit's types; keeping the images follows the
// type chosen then, since its own rule ran before this one.
EOSSTS CCALIBRATIONTYPE::FixCurrent() {
  if (!CRuleKit::ModifiedIs(DB_ID_FIRMWARE)) return OS_STS_SUCCESS;
  OfferTypes(*this, CRuleKit::UnitTarget(), true);
  dbcontainer::ByContainer(CRuleKit::Supported(DB_ID_CALIBRATEKEEPIMAGE, DB_BIN_MACHINE),
                           [](auto* a_pcontainer) { a_pcontainer->FixAccess(); });
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Keeping a calibration's images
// ---------------------------------------------------------------------------
// The raw-image calibration always keeps its images; the calibrations of
// the scanner's own parts never do; the others leave the choice to the user.
EOSSTS CCALIBRATEKEEPIMAGE::FixAccess() {
  CDbDatum* pdbdatumType = CRuleKit::Supported(DB_ID_CALIBRATIONTYPE, DB_BIN_MACHINE);
  if (!pdbdatumType) return OS_STS_SUCCESS;
  const long lType = pdbdatumType->GetCurrentLong();
  switch (lType) {
    case DB_ID_CALIBRATIONTYPE_ENUM_IMAGE:
    case DB_ID_CALIBRATIONTYPE_ENUM_MECHANICAL:
    case DB_ID_CALIBRATIONTYPE_ENUM_MAGNIFICATION:
      SetAccess(DB_ACCESS_READWRITE);
      break;
    case DB_ID_CALIBRATIONTYPE_ENUM_GETRAWIMAGE:
      SetCurrentLong(DB_ID_CALIBRATEKEEPIMAGE_ENUM_TRUE);
      SetAccess(DB_ACCESS_DISABLED);
      break;
    case DB_ID_CALIBRATIONTYPE_ENUM_UDDS:
    case DB_ID_CALIBRATIONTYPE_ENUM_MAGNIFICATIONTEST:
    case DB_ID_CALIBRATIONTYPE_ENUM_LCDCONTRAST:
    case DB_ID_CALIBRATIONTYPE_ENUM_IMAGENOTARGET:
    case DB_ID_CALIBRATIONTYPE_ENUM_PATCHREADER:
    case DB_ID_CALIBRATIONTYPE_ENUM_MICROPHONETEST:
      SetCurrentLong(DB_ID_CALIBRATEKEEPIMAGE_ENUM_FALSE);
      SetAccess(DB_ACCESS_DISABLED);
      break;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized calibrationtype...%d", static_cast<int>(lType));
      break;
  }
  return OS_STS_SUCCESS;
}

EOSSTS CCALIBRATEKEEPIMAGE::FixCurrent() {
  if (CRuleKit::ModifiedIs(DB_ID_CALIBRATIONTYPE)) FixAccess();
  return OS_STS_SUCCESS;
}
