// The attribute tasks that set the scanner up before a scan: setconfig with
// the machine settings (once per scanner unit), createcamera per camera,
// windowadd per image stream and setwindoworder, each built in the device
// task and handed to the device-manager library and then to the image
// library.
#include <cstring>
#include <initializer_list>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

// The list order is the order of the arguments in the tasks.
const EDBID CDatabase::s_aedbidSetConfig[111] = {
    DB_ID_TIMEDATE, DB_ID_TIMEDATEUTC, DB_ID_TRANSPORTAUTOSTART, DB_ID_FEEDERMODE, DB_ID_ADFTIMEOUTENABLED,
    DB_ID_TRANSPORTTIMEOUT, DB_ID_TRANSPORTTIMEOUTRESPONSE, DB_ID_PAPERJAMRESPONSE, DB_ID_BATCHCOUNTENABLED,
    DB_ID_BATCHCOUNT, DB_ID_BATCHLEVEL, DB_ID_BATCHSTARTFUNCTION, DB_ID_BATCHENDFUNCTION, DB_ID_COUNTONLYMODE,
    DB_ID_DUALSTACKINGENABLED, DB_ID_DUALSTACKINGLENGTHMODE, DB_ID_DUALSTACKINGLENGTH1, DB_ID_DUALSTACKINGLENGTH2,
    DB_ID_DUALSTACKINGMULTIFEED, DB_ID_DUALSTACKINGPATCHTRANSFER, DB_ID_DUALSTACKINGPATCHTYPE1,
    DB_ID_DUALSTACKINGPATCHTYPE2, DB_ID_DUALSTACKINGPATCHTYPE3, DB_ID_DUALSTACKINGPATCHTYPE4,
    DB_ID_DUALSTACKINGPATCHTYPE6, DB_ID_DUALSTACKINGSTACK, DB_ID_ECDOCUSTOMLEARN, DB_ID_ECDOCUSTOMCLEARDATA,
    DB_ID_FUNCTIONKEY1, DB_ID_FUNCTIONKEY2, DB_ID_FUNCTIONKEY3, DB_ID_IMAGEADDRESS_A, DB_ID_IMAGEADDRESS_B,
    DB_ID_IMAGEADDRESS_C, DB_ID_IMAGEADDRESS_D, DB_ID_IMAGEADDRESS, DB_ID_IMAGEADDRESSSCANNER,
    DB_ID_IMAGEPROCESSINGTEST, DB_ID_INDEXINGFORMAT, DB_ID_LEVELTOFOLLOW1, DB_ID_LEVELTOFOLLOW2, DB_ID_LEVELTOFOLLOW3,
    DB_ID_CHECKDIGIT, DB_ID_PAGECOUNT, DB_ID_XFERCOUNT, DB_ID_IMAGEMERGE, DB_ID_INTELLIGENTDOCUMENTPROTECTION,
    DB_ID_ENERGYSTAR, DB_ID_MULTIFEEDLENGTHENABLED, DB_ID_PAGESIZELIMIT, DB_ID_MULTIFEEDRESPONSE,
    DB_ID_MULTIFEEDSOUNDENABLED, DB_ID_MULTIFEEDSOUND, DB_ID_ULTRASONICSENSITIVITY, DB_ID_ULTRASONICSENSORZONEHEIGHT,
    DB_ID_ULTRASONICSENSORLEFT, DB_ID_ULTRASONICSENSORLEFTCENTER, DB_ID_ULTRASONICSENSORCENTER,
    DB_ID_ULTRASONICSENSORRIGHTCENTER, DB_ID_ULTRASONICSENSORRIGHT, DB_ID_AUTOSCAN, DB_ID_PAPERSOURCE,
    DB_ID_PATCHALARM, DB_ID_PATCHCODEDETECTIONENABLED, DB_ID_PATCHHEAD1, DB_ID_PATCHHEAD2, DB_ID_PATCHHEAD3,
    DB_ID_PATCHHEAD4, DB_ID_TOGGLEPATCH, DB_ID_PATCHFEATURE1, DB_ID_PATCHLEVEL2, DB_ID_PATCHLEVEL3,
    DB_ID_PATCHFEATURE4, DB_ID_PATCHFEATURE6, DB_ID_PATCHTRANSFER, DB_ID_PREVIEWIMAGEACQUIRE, DB_ID_PREVIEWMODE,
    DB_ID_PREVIEWQUALITY, DB_ID_PREVIEWSTYLE, DB_ID_PRINTERENABLED, DB_ID_PRINTERDATE, DB_ID_PRINTERDATEDELIMITER,
    DB_ID_PRINTERDATEFORMAT, DB_ID_PRINTERTIME, DB_ID_PRINTERTIMEFORMAT, DB_ID_PRINTERFONT, DB_ID_PRINTERFONTFORMAT,
    DB_ID_PRINTERIMAGEADDRESSFORMAT, DB_ID_PRINTERINDEX, DB_ID_PRINTERINDEXDIGITS, DB_ID_PRINTERINDEXFORMAT,
    DB_ID_PRINTERINDEXINCREMENT, DB_ID_PRINTERINDEXRESET, DB_ID_PRINTERINDEXRESETVALUE, DB_ID_PRINTERPOSITION,
    DB_ID_PRINTERWRITESEQUENCESTRING, DB_ID_PRINTERWRITESEQUENCEMESSAGE1, DB_ID_PRINTERWRITESEQUENCEMESSAGE2,
    DB_ID_PRINTERWRITESEQUENCEMESSAGE3, DB_ID_PRINTERWRITESEQUENCEMESSAGE4, DB_ID_PRINTERWRITESEQUENCEMESSAGE5,
    DB_ID_PRINTERWRITESEQUENCEMESSAGE6, DB_ID_PRINTERTEST, DB_ID_PRINTONIMAGEFRONT, DB_ID_PRINTONIMAGEPOSITIONX,
    DB_ID_PRINTONIMAGEPOSITIONY, DB_ID_PRINTONIMAGEREAR, DB_ID_PHYSICALHEIGHTADJUST, DB_ID_POWEROFFTIMEOUT,
    DB_ID_POWEROFFTIMEOUTENABLED, DB_ID_UNDEFINED};

const EDBID CDatabase::s_aedbidCreateCamera[6] = {DB_ID_BACKGROUND,         DB_ID_AUTOCOLORAMOUNT,
                                                  DB_ID_AUTOCOLORTHRESHOLD, DB_ID_AUTOCOLORCONTENT,
                                                  DB_ID_BARCODEENABLE,      DB_ID_UNDEFINED};

const EDBID CDatabase::s_aedbidWindowAdd[52] = {
    DB_ID_ADDBORDER, DB_ID_BACKGROUNDADJUSTAGGRESSIVENESS, DB_ID_BACKGROUNDADJUSTAPPLYTO, DB_ID_BACKGROUNDADJUSTMODE,
    DB_ID_HALFTONES, DB_ID_THRESHOLD, DB_ID_CONTRAST, DB_ID_COLORBRIGHTNESSMODE, DB_ID_COLORBALANCEMODE,
    DB_ID_COLORBALANCEAUTOMATICAGGRESSIVENESS, DB_ID_COLORBALANCEBLUE, DB_ID_COLORBALANCEGREEN, DB_ID_COLORBALANCERED,
    DB_ID_BRIGHTNESS, DB_ID_COLORSHARPEN, DB_ID_COLOROUTPUTROMM, DB_ID_COMPRESSION, DB_ID_JPEGQUALITY, DB_ID_ECDO,
    DB_ID_ECDOAGGRESSIVENESS, DB_ID_ECDOTREATASCOLOR, DB_ID_FOREGROUNDBOLDNESSAGGRESSIVENESS,
    DB_ID_FOREGROUNDBOLDNESSMODE, DB_ID_IMAGEEDGEFILL, DB_ID_IMAGEEDGELEFT, DB_ID_IMAGEEDGERIGHT, DB_ID_IMAGEEDGETOP,
    DB_ID_IMAGEEDGEBOTTOM, DB_ID_IMAGEFILTER, DB_ID_NOISEFILTER, DB_ID_CROPPINGMODE, DB_ID_IMAGEFORMAT,
    DB_ID_AUTOMATICDESKEW, DB_ID_FRAMEXOFFSET, DB_ID_FRAMEYOFFSET, DB_ID_FRAMEWIDTH, DB_ID_FRAMEHEIGHT,
    DB_ID_IMAGESKEWANGLE, DB_ID_XRESOLUTION, DB_ID_ORTHOGONALROTATE, DB_ID_PIXELFLAVOR, DB_ID_DOCUMENTTYPE,
    DB_ID_MEDIATYPE, DB_ID_HOLEFILLENABLED, DB_ID_BLANKPAGEMODE, DB_ID_BLANKPAGECONTENT, DB_ID_STREAKREMOVALENABLED,
    DB_ID_STREAKREMOVALAGGRESSIVENESS, DB_ID_TEXTENHANCEMENT, DB_ID_THINTHICKENAMOUNT, DB_ID_BARCODEENHANCEMENT,
    DB_ID_UNDEFINED};

namespace {

constexpr EDBBIN s_aedbbinCameras[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};
constexpr EDBBIN s_aedbbinColorFirst[] = {DB_BIN_COLOR_FRONT, DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_REAR,
                                          DB_BIN_BITONAL_REAR};
// A camera name holds at most 15 characters, a window id at most 63.
constexpr size_t s_sizetCameraName = 16;
constexpr size_t s_sizetWindowId = 64;
constexpr size_t s_sizetToggleState = 16;

bool Accessible(CDbDatum* a_pdbdatum) { return a_pdbdatum && a_pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED; }

bool IsRear(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_BITONAL_REAR || a_edbbin == DB_BIN_COLOR_REAR; }

bool IsColor(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_COLOR_FRONT || a_edbbin == DB_BIN_COLOR_REAR; }

// A datum whose value goes to the scanner: it has access and consumers.
bool IsSent(CDbDatum* a_pdbdatum) { return Accessible(a_pdbdatum) && a_pdbdatum->GetDeviceData() != 0; }

// Every return of MakeXmlAll leaves the unit and window overrides cleared.
class UnitOverrideClear {
 public:
  explicit UnitOverrideClear(CDatabase& a_database) : m_database(a_database) { Clear(); }
  ~UnitOverrideClear() { Clear(); }
  UnitOverrideClear(const UnitOverrideClear&) = delete;
  UnitOverrideClear& operator=(const UnitOverrideClear&) = delete;

 private:
  void Clear() {
    m_database.SetUnitOverride(0);
    m_database.SetWindowOverride(-1);
  }
  CDatabase& m_database;
};

// One run of MakeXmlAll: the flags it computes first, the camera names and
// the tasks, each sent before the next is started.
class AttributeTasks {
 public:
  AttributeTasks(CDatabase& a_database, PFNDBMAKEXMLCALLBACK a_pfnNexil, PFNDBMAKEXMLCALLBACK a_pfnDevice,
                 void* a_pvUser)
      : m_database(a_database),
        m_posxmltask(a_database.GetDbMakeXml()),
        m_pfnNexil(a_pfnNexil),
        m_pfnDevice(a_pfnDevice),
        m_pvUser(a_pvUser) {}

  EOSSTS Run();

 private:
  void ComputeFlags();
  int UnitCount();
  long ValueOf(EDBID a_edbid, long a_lFallback);
  long MachineValueOf(EDBID a_edbid, long a_lFallback);
  bool IsHandled(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin);
  bool IsInUse(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin);
  bool IsStreamSent(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin);
  void NameCameras();
  bool SetConfig();
  bool CreateCamera(const char* a_szCamera);
  bool WindowAdd(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin);
  bool SetWindowOrder();
  void Start(const char* a_szCommand);
  bool Send(const char* a_szCommand);
  void WriteValue(CDbDatum* a_pdbdatumMaster, CDbDatum* a_pdbdatumValue);
  void WriteWindowId(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin);

  CDatabase& m_database;
  COsXmlTask* m_posxmltask;
  PFNDBMAKEXMLCALLBACK m_pfnNexil;
  PFNDBMAKEXMLCALLBACK m_pfnDevice;
  void* m_pvUser;
  // The flags of the run.
  bool m_blPreview = false;
  bool m_blSingleWindow = false;  // a preview of the current window-bin alone
  bool m_blOnlyCurrent = false;   // the single window, unless a custom dropout is learnt
  bool m_blCustomDropoutOff = false;
  bool m_blForced = false;  // streams of window 0 follow the other stream of their side
  bool m_blFlatbed = false;
  EDBID_WINDOW m_edbidwindowFirst = 0;
  EDBID_WINDOW m_edbidwindowEnd = 0;
  EDBID_WINDOWBIN m_edbidwindowbinCurrent = 0;
  char m_szFront[s_sizetCameraName] = {};
  char m_szRear[s_sizetCameraName] = {};
};

long AttributeTasks::ValueOf(EDBID a_edbid, long a_lFallback) {
  CDbDatum* pdbdatum = m_database.Find(a_edbid);
  return pdbdatum ? pdbdatum->GetCurrentLong() : a_lFallback;
}

// The machine's own value, read from its master: the current window may be
// the one in question.
long AttributeTasks::MachineValueOf(EDBID a_edbid, long a_lFallback) {
  CDbDatum* pdbdatum = m_database.FindDirect(DB_BIN_MACHINE, a_edbid);
  return Accessible(pdbdatum) ? pdbdatum->GetCurrentLong() : a_lFallback;
}

void AttributeTasks::ComputeFlags() {
  m_blPreview = MachineValueOf(DB_ID_PREVIEWMODE, 0) == DB_ID_PREVIEWMODE_ENUM_TRUE;
  m_blSingleWindow =
      m_blPreview && MachineValueOf(DB_ID_PREVIEWIMAGEACQUIRE, 0) == DB_ID_PREVIEWIMAGEACQUIRE_ENUM_FALSE;
  m_blOnlyCurrent = m_blSingleWindow && !m_database.TestDbState(DB_STATE_ECDOCUSTOMLEARN);
  m_edbidwindowbinCurrent = m_database.GetWindowBin();
  m_edbidwindowFirst = 0;
  m_edbidwindowEnd = static_cast<EDBID_WINDOW>(m_database.GetWindowMax());
  if (m_blPreview) {
    const EDBID_WINDOW edbidwindow = m_database.GetWindow();
    const bool blValid = edbidwindow >= 0 && edbidwindow < m_edbidwindowEnd;
    if (!blValid) OsLog(OS_LOG_ERROR, "Bad a_edbidwindow...%d", edbidwindow);
    m_edbidwindowFirst = blValid ? edbidwindow : 0;
    m_edbidwindowEnd = blValid ? edbidwindow + 1 : 0;
  }
  const DbEcdoCustomSettings& dbecdocustomsettings = *m_database.GetEcdoCustomSettings();
  m_blCustomDropoutOff =
      m_database.TestDbState(DB_STATE_ECDOCUSTOMLEARN) &&
      std::strncmp(dbecdocustomsettings.szName, "(none)", sizeof dbecdocustomsettings.szName) == 0;
  m_blForced = m_database.IsTogglePatchInUse() || m_blCustomDropoutOff;
}

// Two units when the paper sources offered by default are both feeder and
// flatbed.
int AttributeTasks::UnitCount() {
  CDbDatum* pdbdatum = m_database.FindDirect(DB_BIN_MACHINE, DB_ID_PAPERSOURCE);
  if (!pdbdatum) return 1;
  const bool blBoth = m_database.EnumHasDefaultItem(pdbdatum, DB_ID_PAPERSOURCE_ENUM_ADF) &&
                      m_database.EnumHasDefaultItem(pdbdatum, DB_ID_PAPERSOURCE_ENUM_FLATBED);
  return blBoth ? 2 : 1;
}

bool AttributeTasks::IsHandled(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
  return !m_blOnlyCurrent || m_database.ComposeWindowBin(a_edbidwindow, a_edbbin) == m_edbidwindowbinCurrent;
}

// A stream is in use when its camera is on; in window 0 also when the other
// stream of its side is on and the stream is asked for by automatic colour
// detection or forced.
bool AttributeTasks::IsInUse(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
  if (m_database.IsCameraOn(a_edbidwindow, a_edbbin)) return true;
  if (a_edbidwindow != 0 || !m_database.IsCameraOn(0, m_database.GetBinSameSide(a_edbbin))) return false;
  CDbDatum* pdbdatum = m_database.FindDirect(a_edbbin, DB_ID_AUTOCOLORCONTENT);
  return (Accessible(pdbdatum) && pdbdatum->GetCurrentLong() != DB_ID_AUTOCOLORCONTENT_ENUM_NONE) || m_blForced;
}

// The streams a windowadd goes out for, and so the ones the window order
// names: the bitonal front stays out while a custom dropout is learnt
// without one, the rear while the flatbed scans.
bool AttributeTasks::IsStreamSent(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
  if (!IsHandled(a_edbidwindow, a_edbbin) || !IsInUse(a_edbidwindow, a_edbbin)) return false;
  if (a_edbbin == DB_BIN_BITONAL_FRONT && m_blCustomDropoutOff) return false;
  return !(IsRear(a_edbbin) && m_blFlatbed);
}

void AttributeTasks::NameCameras() {
  for (EDBID_WINDOW edbidwindow = m_edbidwindowFirst; edbidwindow < m_edbidwindowEnd; ++edbidwindow) {
    for (EDBBIN edbbin : s_aedbbinCameras) {
      if (!IsHandled(edbidwindow, edbbin) || !IsInUse(edbidwindow, edbbin)) continue;
      if (!IsRear(edbbin)) {
        COsString::SStrCpy(m_szFront, sizeof m_szFront, m_blFlatbed ? "flatbed" : "front");
      } else if (!m_blFlatbed) {
        COsString::SStrCpy(m_szRear, sizeof m_szRear, "rear");
      }
    }
  }
}

EOSSTS AttributeTasks::Run() {
  ComputeFlags();
  const int iUnits = UnitCount();
  for (int iUnit = DB_FIRMWARE_ADF; iUnit <= iUnits; ++iUnit) {
    m_database.SetUnitOverride(iUnits == 2 ? iUnit : 0);
    if (!SetConfig()) return OS_STS_FAIL;
  }
  m_database.SetUnitOverride(0);
  if (m_database.TestDbState(DB_STATE_DEVICEMANAGERONLY)) return OS_STS_SUCCESS;
  m_blFlatbed = m_database.NeedScanFromFlatbed();
  NameCameras();
  for (const char* szCamera : {m_szFront, m_szRear}) {
    if (szCamera[0] && !CreateCamera(szCamera)) return OS_STS_FAIL;
  }
  int iSent = 0;
  for (EDBID_WINDOW edbidwindow = m_edbidwindowFirst; edbidwindow < m_edbidwindowEnd; ++edbidwindow) {
    for (EDBBIN edbbin : s_aedbbinCameras) {
      if (!IsStreamSent(edbidwindow, edbbin)) continue;
      if (!WindowAdd(edbidwindow, edbbin)) return OS_STS_FAIL;
      ++iSent;
    }
  }
  if (iSent == 0) {
    OsLog(OS_LOG_ERROR, "windowadd failed, none were enabled...");
    return OS_STS_FAIL;
  }
  return SetWindowOrder() ? OS_STS_SUCCESS : OS_STS_FAIL;
}

// ---------------------------------------------------------------------------
// Building and sending one task
// ---------------------------------------------------------------------------
void AttributeTasks::Start(const char* a_szCommand) {
  m_posxmltask->Clear();
  m_posxmltask->StartTask(0, 0, nullptr);
  m_posxmltask->StartCommand(a_szCommand, 1);
}

// A task the builder could not finish whole is not sent.
bool AttributeTasks::Send(const char* a_szCommand) {
  m_posxmltask->FinalizeCommand(a_szCommand);
  m_posxmltask->FinalizeTask();
  if (m_posxmltask->IsError(false)) {
    OsLog(OS_LOG_ERROR, "%s could not be built...", a_szCommand);
    return false;
  }
  if (m_pfnDevice && m_pfnDevice(m_pvUser) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "%s for Device DLL failed...", a_szCommand);
    return false;
  }
  if (m_pfnNexil && m_pfnNexil(m_pvUser) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "%s for Nexil DLL failed...", a_szCommand);
    return false;
  }
  return true;
}

// The master's MakeXml (a capability's rules may write more, other or
// nothing) with the value of the datum, for both scanner units.
void AttributeTasks::WriteValue(CDbDatum* a_pdbdatumMaster, CDbDatum* a_pdbdatumValue) {
  const long lValue = a_pdbdatumValue->GetDataType() == DB_DATATYPE_STRING
                          ? reinterpret_cast<long>(a_pdbdatumValue->GetCurrentString())
                          : a_pdbdatumValue->GetCurrentLong();
  const bool blWritten = dbcontainer::ByContainer(
      a_pdbdatumMaster, [&](auto* a_pcontainer) { a_pcontainer->MakeXml(lValue, DB_DEVICEDATA_BOTH); });
  if (!blWritten) {
    OsLog(OS_LOG_ERROR, "Unrecognized container type...%d",
          a_pdbdatumMaster ? a_pdbdatumMaster->GetContainerType() : 0);
  }
}

void AttributeTasks::WriteWindowId(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
  char szWindowId[s_sizetWindowId] = {};
  COsString::SStrPrintf(szWindowId, sizeof szWindowId, "window_%02d%d", a_edbidwindow, a_edbbin);
  m_posxmltask->AddArgument("windowid", szWindowId);
}

// ---------------------------------------------------------------------------
// The four tasks
// ---------------------------------------------------------------------------
bool AttributeTasks::SetConfig() {
  Start("setconfig");
  for (const EDBID* pedbid = CDatabase::s_aedbidSetConfig; *pedbid != DB_ID_UNDEFINED; ++pedbid) {
    CDbDatum* pdbdatum = m_database.FindDirect(DB_BIN_MACHINE, *pedbid);
    if (IsSent(pdbdatum)) WriteValue(pdbdatum, pdbdatum);
  }
  return Send("setconfig");
}

bool AttributeTasks::CreateCamera(const char* a_szCamera) {
  const EDBBIN edbbin = std::strcmp(a_szCamera, "rear") == 0 ? DB_BIN_COLOR_REAR : DB_BIN_COLOR_FRONT;
  Start("createcamera");
  m_posxmltask->AddArgument("cameratype", a_szCamera);
  m_posxmltask->AddArgument("cameraid", a_szCamera);
  const char* szIllumination =
      m_database.ConfigEnumGetFirst("illumination", m_blFlatbed ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF);
  if (szIllumination) {
    m_posxmltask->AddArgument("illumination", szIllumination);
  } else {
    OsLog(OS_LOG_ERROR, "illumination not configured...%s", a_szCamera);
  }
  for (const EDBID* pedbid = CDatabase::s_aedbidCreateCamera; *pedbid != DB_ID_UNDEFINED; ++pedbid) {
    CDbDatum* pdbdatum = m_database.FindDirect(DB_BIN_MACHINE, *pedbid);
    if (!Accessible(pdbdatum)) pdbdatum = m_database.FindDirect(edbbin, *pedbid);
    if (IsSent(pdbdatum)) WriteValue(pdbdatum, pdbdatum);
  }
  if (m_database.MakeXmlBarCodeSubCommand(m_posxmltask, a_szCamera) != OS_STS_SUCCESS)
    OsLog(OS_LOG_ERROR, "MakeXmlBarCodeSubCommand() failed...");
  return Send("createcamera");
}

// Each capability's value in this window (window 0's where the window has
// none of its own), written by its master; a disabled one stays out, but for
// the deskew.
bool AttributeTasks::WindowAdd(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
  Start("windowadd");
  m_posxmltask->AddArgument("cameraid", IsRear(a_edbbin) ? m_szRear : m_szFront);
  m_posxmltask->AddArgument("windowtype", IsColor(a_edbbin) ? "color" : "bitonal");
  WriteWindowId(a_edbidwindow, a_edbbin);
  if (!m_blPreview ||
      m_database.GetCroppingForPreview(ValueOf(DB_ID_CROPPINGMODE, 0)) != DB_ID_CROPPINGMODE_ENUM_FIXED)
    m_posxmltask->AddArgument("findregions", "none");
  // A rule that fits the frame to the sheet reads the frame of this window.
  m_database.SetWindowOverride(a_edbidwindow);
  for (const EDBID* pedbid = CDatabase::s_aedbidWindowAdd; *pedbid != DB_ID_UNDEFINED; ++pedbid) {
    CDbDatum* pdbdatum = CDbDatum::DbDatumFind(a_edbidwindow, *pedbid, a_edbbin);
    if (!IsSent(pdbdatum)) continue;
    if (pdbdatum->GetAccess() == DB_ACCESS_DISABLED && *pedbid != DB_ID_AUTOMATICDESKEW) continue;
    WriteValue(m_database.FindDirect(a_edbbin, *pedbid), pdbdatum);
  }
  m_database.SetWindowOverride(-1);
  char szToggleState[s_sizetToggleState] = {};
  m_database.GetPatchToggleState(a_edbbin, szToggleState, sizeof szToggleState);
  m_posxmltask->AddArgument("patchtogglestate", szToggleState);
  return Send("windowadd");
}

// Colour streams first when the window-bins list a colour camera first (or
// do not exist), else bitonal first; front before rear.
bool AttributeTasks::SetWindowOrder() {
  bool blColorFirst = true;
  if (m_database.IsIdSupported(DB_ID_WINDOWBIN)) {
    CDbDatum* pdbdatum = m_database.FindDirect(DB_BIN_MACHINE, DB_ID_WINDOWBIN);
    blColorFirst = IsColor(m_database.GetBinFromWindowBin(m_database.EnumGetCurrentItem(pdbdatum, 0)));
  }
  Start("setwindoworder");
  if (m_blOnlyCurrent) {
    EDBID_WINDOW edbidwindow = 0;
    EDBBIN edbbin = DB_BIN_SEARCH;
    m_database.DecomposeWindowBin(m_edbidwindowbinCurrent, &edbidwindow, &edbbin);
    WriteWindowId(edbidwindow, edbbin);
    return Send("setwindoworder");
  }
  static constexpr EDBBIN s_aedbbinBitonalFirst[] = {DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_FRONT, DB_BIN_BITONAL_REAR,
                                                     DB_BIN_COLOR_REAR};
  for (EDBID_WINDOW edbidwindow = m_edbidwindowFirst; edbidwindow < m_edbidwindowEnd; ++edbidwindow) {
    for (EDBBIN edbbin : blColorFirst ? s_aedbbinColorFirst : s_aedbbinBitonalFirst) {
      if (IsStreamSent(edbidwindow, edbbin)) WriteWindowId(edbidwindow, edbbin);
    }
  }
  return Send("setwindoworder");
}

}  // namespace

EOSSTS CDatabase::MakeXmlAll(PFNDBMAKEXMLCALLBACK a_pfnNexil, PFNDBMAKEXMLCALLBACK a_pfnDevice, void* a_pvUser) {
  UnitOverrideClear unitoverrideclear(*this);
  if (!Table() || !GetDbMakeXml()) {
    OsLog(OS_LOG_ERROR, "m_pdatumcommon is null...");
    return OS_STS_FAIL;
  }
  AttributeTasks attributetasks(*this, a_pfnNexil, a_pfnDevice, a_pvUser);
  return attributetasks.Run();
}
