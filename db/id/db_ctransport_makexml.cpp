// What the scanner receives of the counts and of the feeder timeout: one
// "imagecount" for the pair of counts (the sheets times the cameras on, or
// the images), and the timeout of the first page after "adftimeout".
#include "db_cdatabase.h"
#include "db_cdbrange.h"
#include "db_ctransport_rows.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace transport {
namespace {

constexpr char s_szImageCount[] = "imagecount";
constexpr char s_szFirstPage[] = "adftimeoutfirstpage";
constexpr EDBBIN s_aedbbinCameras[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};
constexpr size_t s_sizetNumber = 24;

// The cameras on in the database's current window; none is logged.
long CamerasOn(CDatabase& a_database) {
  long lCameras = 0;
  for (EDBBIN edbbin : s_aedbbinCameras) {
    if (a_database.GetCameraEnable(edbbin)) ++lCameras;
  }
  if (lCameras == 0) OsLog(OS_LOG_ASSERT, "There are no cameras enabled...");
  return lCameras;
}

// A number under a name of its own, for the consumer asked for.
void WriteNumber(CDbRange& a_dbrangeOwn, const char* a_szName, long a_lNumber, EDBDEVICEDATA a_edbdevicedataTarget) {
  char szNumber[s_sizetNumber] = {};
  COsString::SStrPrintf(szNumber, sizeof szNumber, "%ld", a_lNumber);
  a_dbrangeOwn.CDbDatum::MakeXml(reinterpret_cast<long>(szNumber), a_edbdevicedataTarget, a_szName);
}

// Nothing for no sheets, a preview, a colour-learning scan or the flatbed.
void Sheets(CDatabase& a_database, CDbRange& a_dbrangeOwn, long a_lSheets, EDBDEVICEDATA a_edbdevicedataTarget) {
  if (a_lSheets == 0 || CRuleKit::IsPreview() || CDbDatum::TestDbState(DB_STATE_LEARNSCAN) ||
      a_database.NeedScanFromFlatbed())
    return;
  if (const long lCameras = CamerasOn(a_database))
    WriteNumber(a_dbrangeOwn, s_szImageCount, lCameras * a_lSheets, a_edbdevicedataTarget);
}

// A preview takes one image per camera; a colour-learning scan or the
// flatbed counts none; otherwise the images, unless the sheets are counted.
void Images(CDatabase& a_database, CDbRange& a_dbrangeOwn, long a_lImages, EDBDEVICEDATA a_edbdevicedataTarget) {
  if (CRuleKit::IsPreview()) {
    if (const long lCameras = CamerasOn(a_database)) a_dbrangeOwn.CDbRange::MakeXml(lCameras, a_edbdevicedataTarget);
    return;
  }
  if (CDbDatum::TestDbState(DB_STATE_LEARNSCAN) || a_database.NeedScanFromFlatbed()) {
    a_dbrangeOwn.CDbRange::MakeXml(0, a_edbdevicedataTarget);
    return;
  }
  if (CRuleKit::ValueOf(DB_ID_PAGECOUNT, DB_BIN_MACHINE, 0) > 0) return;
  a_dbrangeOwn.CDbRange::MakeXml(a_lImages, a_edbdevicedataTarget);
}

// The first page waits no time when the flatbed may take it instead (a
// combined source, not one-sided rear), unless a custom dropout is learnt.
void Timeout(CDbRange& a_dbrangeOwn, long a_lTimeout, EDBDEVICEDATA a_edbdevicedataTarget) {
  a_dbrangeOwn.CDbRange::MakeXml(a_lTimeout, a_edbdevicedataTarget);
  const bool blNoWait =
      !CDbDatum::TestDbState(DB_STATE_ECDOCUSTOMLEARN) &&
      CRuleKit::ValueOf(DB_ID_PAPERSOURCE, DB_BIN_MACHINE, DB_ID_PAPERSOURCE_ENUM_ADF) ==
          DB_ID_PAPERSOURCE_ENUM_ADFFLATBED &&
      CRuleKit::ValueOf(DB_ID_INPUTDOCUMENT, DB_BIN_MACHINE, DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDFRONT) !=
          DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDREAR;
  WriteNumber(a_dbrangeOwn, s_szFirstPage, blNoWait ? 0 : a_lTimeout, a_edbdevicedataTarget);
}

}  // namespace

void MakeXml(MakeXmlKind a_emakexml, CDbRange& a_dbrangeOwn, long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return;
  switch (a_emakexml) {
    case MakeXmlKind::Sheets:
      Sheets(*pdatabase, a_dbrangeOwn, a_lValue, a_edbdevicedataTarget);
      return;
    case MakeXmlKind::Images:
      Images(*pdatabase, a_dbrangeOwn, a_lValue, a_edbdevicedataTarget);
      return;
    case MakeXmlKind::Timeout:
      Timeout(a_dbrangeOwn, a_lValue, a_edbdevicedataTarget);
      return;
    case MakeXmlKind::Base:
      a_dbrangeOwn.CDbRange::MakeXml(a_lValue, a_edbdevicedataTarget);
      return;
  }
}

}  // namespace transport
