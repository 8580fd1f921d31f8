// The transfer of the settings to the scanner unit that scans (its device
// manager and, when it takes part, its image library), and the switch into
// and out of the learning of a custom colour dropout.
#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "os_coscfg.h"
#include "os_coslog.h"

namespace {

// The slots of the custom-dropout record: the unit, the window-bin, the
// values of the capabilities below in the window-bin's bin, and whether
// each camera (bins 2 to 5) was on.
enum EDEVECDOSLOT : int {
  DEV_ECDOSLOT_FIRMWARE = 0,
  DEV_ECDOSLOT_WINDOWBIN = 1,
  DEV_ECDOSLOT_VALUES = 2,
  DEV_ECDOSLOT_CAMERAS = 10,
};

// The capabilities saved for the learning, in their slots; the halftone
// and threshold only in a bitonal bin, the brightness only in a colour one.
struct EcdoSaved {
  EDBID edbid;
  int iBitonal;  // 1 bitonal bins only, -1 colour bins only, 0 both
};
constexpr EcdoSaved s_aecdosaved[] = {
    {DB_ID_DOCUMENTTYPE, 0}, {DB_ID_MEDIATYPE, 0}, {DB_ID_XRESOLUTION, 0}, {DB_ID_CONTRAST, 0},
    {DB_ID_IMAGEFORMAT, 0},  {DB_ID_HALFTONES, 1}, {DB_ID_THRESHOLD, 1},   {DB_ID_BRIGHTNESS, -1},
};
static_assert(DEV_ECDOSLOT_VALUES + std::size(s_aecdosaved) == DEV_ECDOSLOT_CAMERAS, "one slot per value");
// The order in which they are restored.
constexpr EDBID s_aedbidRestore[] = {DB_ID_IMAGEFORMAT, DB_ID_DOCUMENTTYPE, DB_ID_MEDIATYPE, DB_ID_XRESOLUTION,
                                     DB_ID_CONTRAST,    DB_ID_HALFTONES,    DB_ID_THRESHOLD, DB_ID_BRIGHTNESS};

bool Bitonal(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_BITONAL_FRONT || a_edbbin == DB_BIN_BITONAL_REAR; }

bool SavedIn(const EcdoSaved& a_ecdosaved, EDBBIN a_edbbin) {
  return a_ecdosaved.iBitonal == 0 || (a_ecdosaved.iBitonal > 0) == Bitonal(a_edbbin);
}

bool NexilOff() { return OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, 0) != 0; }

}  // namespace

EOSSTS CDevImpl::SetAttributes(bool a_blDeviceManagerOnly, bool a_blFlatbed) {
  if (!pod.m_pdatabase || !pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "SetAttributes: the interface is not open...");
    return OS_STS_FAIL;
  }
  CDbLockGuard dblockguard;
  CDatabase& database = *pod.m_pdatabase;
  const auto ClearStates = [&database] {
    database.ClearDbState(DB_STATE_DEVICEMANAGERONLY);
    database.ClearDbState(DB_STATE_NEXILOFF);
  };
  const bool blNexil = !a_blDeviceManagerOnly && pod.m_pdevnexil && database.IsIdSupported(DB_ID_NEXIL) &&
                       database.GetCurrentLongFromId(DB_ID_NEXIL) == 2 && !NexilOff() &&
                       database.GetCurrentLongFromId(DB_ID_COUNTONLYMODE) != 2;
  if (!blNexil) database.SetDbState(DB_STATE_NEXILOFF);
  if (a_blDeviceManagerOnly) database.SetDbState(DB_STATE_DEVICEMANAGERONLY);
  if (database.GetCurrentLongFromId(DB_ID_DEVICEONLINE) == 1) {
    OsLog(OS_LOG_ERROR, "Device offline...");
    ClearStates();
    return static_cast<EOSSTS>(DEV_STS_DISCONNECTED);
  }
  if (!SetPaperPath()) {
    ClearStates();
    return OS_STS_FAIL;
  }
  EDBID_FIRMWARE edbidfirmware = DB_FIRMWARE_ADF;
  if (a_blFlatbed) {
    database.SetDbState(DB_STATE_FLATBEDSCAN);
    edbidfirmware = DB_FIRMWARE_FLATBED;
  } else if (database.NeedScanFromFlatbed()) {
    edbidfirmware = DB_FIRMWARE_FLATBED;
  }
  const bool blNexilOff = database.TestDbState(DB_STATE_NEXILOFF) != 0;
  EOSSTS eossts = static_cast<EOSSTS>(pod.m_pdevdevice->SetupBegin(edbidfirmware, !a_blDeviceManagerOnly));
  if (eossts == OS_STS_SUCCESS && !blNexilOff) eossts = pod.m_pdevnexil->SetupBegin(edbidfirmware, !a_blDeviceManagerOnly);
  if (eossts == OS_STS_SUCCESS) {
    pod.m_edbidfirmwareSetup = edbidfirmware;
    if (database.MakeXmlAll(blNexilOff ? nullptr : NexEntryCallbackFriend, ScannerEntryCallbackFriend, this) !=
        OS_STS_SUCCESS) {
      ClearStates();
      return OS_STS_FAIL;
    }
    eossts = static_cast<EOSSTS>(pod.m_pdevdevice->SetupEnd(edbidfirmware, false));
    if (!blNexilOff) eossts = pod.m_pdevnexil->SetupEnd(edbidfirmware, false);
  }
  ClearStates();
  return eossts;
}

// Database state 6 says the page comes from the flatbed; false for a paper
// source it does not know. Under the database lock.
bool CDevImpl::SetPaperPath() {
  CDatabase& database = *pod.m_pdatabase;
  if (database.TestDbState(DB_STATE_LEARNSCAN)) {
    database.ClearDbState(DB_STATE_FLATBEDSCAN);
    return true;
  }
  if (database.TestDbState(DB_STATE_ECDOCUSTOMLEARN)) return true;
  if (database.IsIdSupported(DB_ID_INPUTDOCUMENT) && database.GetCurrentLongFromId(DB_ID_INPUTDOCUMENT) == 3) {
    database.ClearDbState(DB_STATE_FLATBEDSCAN);
    return true;
  }
  bool blFlatbed = false;
  switch (database.GetCurrentLongFromId(DB_ID_PAPERSOURCE)) {
    case 2: case 4: case 5: case 6: case 7:
      break;
    case 1: case 8: case 9: case 10: case 11:
      blFlatbed = ScanIsFeederLoaded(database.GetCurrentLongFromId(DB_ID_PREVIEWMODE) == 2) != 2;
      break;
    case 3:
      blFlatbed = true;
      break;
    default:
      OsLog(OS_LOG_ERROR, "Unknown papersource...%ld", database.GetCurrentLongFromId(DB_ID_PAPERSOURCE));
      return false;
  }
  if (blFlatbed) {
    database.SetDbState(DB_STATE_FLATBEDSCAN);
  } else {
    database.ClearDbState(DB_STATE_FLATBEDSCAN);
  }
  return true;
}

// The learning scans a colour page from the feeder in preview: the user's
// unit, window-bin and image values are kept and put back over the reset
// settings.
EOSSTS CDevImpl::EcdoCustomBegin() {
  if (!pod.m_pdatabase) {
    OsLog(OS_LOG_ERROR, "pod.m_pdatabase is null...");
    return OS_STS_SUCCESS;
  }
  CDbLockGuard dblockguard;
  CDatabase& database = *pod.m_pdatabase;
  database.SetDbState(DB_STATE_ECDOCUSTOMLEARN);
  database.ClearDbState(DB_STATE_FLATBEDSCAN);
  database.SetCurrentLongFromId(DB_ID_PREVIEWMODE, 1, false);
  int32_t* pi32Saved = database.GetEcdoCustomSettings()->ai32Saved;
  const EDBID_WINDOWBIN edbidwindowbin = database.GetWindowBin();
  const EDBBIN edbbin = database.GetBinFromWindowBin(edbidwindowbin);
  pi32Saved[DEV_ECDOSLOT_FIRMWARE] = static_cast<int32_t>(database.GetCurrentLongFromId(DB_ID_FIRMWARE));
  pi32Saved[DEV_ECDOSLOT_WINDOWBIN] = static_cast<int32_t>(edbidwindowbin);
  for (size_t i = 0; i < std::size(s_aecdosaved); ++i) {
    if (!SavedIn(s_aecdosaved[i], edbbin)) continue;
    pi32Saved[DEV_ECDOSLOT_VALUES + i] =
        static_cast<int32_t>(database.GetCurrentLongFromIdBin(s_aecdosaved[i].edbid, edbbin));
  }
  bool ablCamera[4];
  for (int i = 0; i < 4; ++i) {
    ablCamera[i] = database.GetCameraEnable(static_cast<EDBBIN>(DB_BIN_BITONAL_FRONT + i));
    pi32Saved[DEV_ECDOSLOT_CAMERAS + i] = ablCamera[i] ? 1 : 0;
  }
  database.ProfileReset(true);
  database.SetCurrentLongFromId(DB_ID_COMPRESSION, 6, false);
  database.SetCurrentLongFromId(DB_ID_INPUTDOCUMENT, 2, false);
  // Only a front camera learns: a rear-only job learns on the colour front.
  if ((!ablCamera[0] && ablCamera[1]) || (!ablCamera[2] && ablCamera[3])) {
    database.SetCurrentLongFromIdBin(DB_ID_CAMERAENABLE, DB_BIN_COLOR_FRONT, DB_ID_CAMERAENABLE_ENUM_TRUE);
    database.SetCurrentLongFromIdBin(DB_ID_CAMERAENABLE, DB_BIN_BITONAL_FRONT, DB_ID_CAMERAENABLE_ENUM_FALSE);
  }
  database.SetCurrentWindowBin();
  database.FixImagesDifferent(true);
  database.SetCurrentLongFromId(DB_ID_FIRMWARE, DB_FIRMWARE_ADF, false);
  for (EDBID edbid : s_aedbidRestore) {
    for (size_t i = 0; i < std::size(s_aecdosaved); ++i) {
      if (s_aecdosaved[i].edbid != edbid || !SavedIn(s_aecdosaved[i], edbbin)) continue;
      database.SetCurrentLongFromIdBin(edbid, edbbin, pi32Saved[DEV_ECDOSLOT_VALUES + i]);
    }
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDevImpl::EcdoCustomEnd() {
  if (!pod.m_pdatabase) {
    OsLog(OS_LOG_ERROR, "pod.m_pdatabase is null...");
    return OS_STS_SUCCESS;
  }
  CDbLockGuard dblockguard;
  CDatabase& database = *pod.m_pdatabase;
  const int32_t* pi32Saved = database.GetEcdoCustomSettings()->ai32Saved;
  database.ReloadEcdo();
  database.SetCurrentLongFromId(DB_ID_FIRMWARE, pi32Saved[DEV_ECDOSLOT_FIRMWARE], false);
  database.ProfileReset(false);
  database.SetCurrentLongFromId(DB_ID_WINDOWBIN, pi32Saved[DEV_ECDOSLOT_WINDOWBIN], false);
  database.ClearDbState(DB_STATE_ECDOCUSTOMLEARN);
  database.SetCurrentLongFromId(DB_ID_PREVIEWMODE, 1, false);
  return OS_STS_SUCCESS;
}
