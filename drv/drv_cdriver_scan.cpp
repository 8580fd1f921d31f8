// The driver's scan control: a scan started and ended with the database
// states and GUI notices around it, and one image fetched with the device
// statuses that become messages in the GUI. The device facade is called
// with the database lock given up: its scan operations wait for the scan
// thread and the scanner.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_cdrvassistant.h"
#include "drv_cdrvcommandfsm.h"
#include "drv_cdrvgui.h"
#include "os_coslog.h"

namespace {

// Database state bit cleared at each scan's start.
constexpr EDBSTATE s_edbstateScanStart = DB_STATE_USERACTION;

// The GUI's dialogs and messages of a scan.
constexpr int32_t s_i32DialogStartFailed = 4;
constexpr int32_t s_i32MessageStartFailed = 21;
constexpr int32_t s_i32DialogScan = 6;
constexpr int32_t s_i32MessageError = 8;
constexpr int32_t s_i32MessageMultifeed = 11;
constexpr int32_t s_i32MessageNoMedia = 12;
constexpr int32_t s_i32MessagePaperJam = 13;

// Capability values the scan control sets and reads.
constexpr long s_lPreviewOff = 1;
constexpr long s_lPreviewOn = 2;
constexpr long s_lIndicatorsOn = 2;

}  // namespace

EOSSTS CDriver::GuiAction(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase) {
  if (!m_pdrvgui) return DRV_GUI_STS_NOGUI;
  if (a_pdrvguibase) a_pdrvguibase->edrvguiaction = a_edrvguiaction;
  return m_pdrvgui->Action(a_edrvguiaction, a_pdrvguibase);
}

EOSSTS CDriver::GuiMessage(EDRVGUIACTION a_edrvguiaction, int32_t a_i32Dialog, int32_t a_i32Message,
                           const char* a_szText, long a_lFlag) {
  CDrvGuiBase drvguibase;
  drvguibase.i32Value = a_i32Dialog;
  drvguibase.i32Message = a_i32Message;
  drvguibase.szText = a_szText;
  drvguibase.lValue = a_lFlag;
  return GuiAction(a_edrvguiaction, &drvguibase);
}

void CDriver::SetLong(EDBID a_edbid, long a_lValue) {
  CDbLockGuard dblockguard;
  const EDBSTS edbsts = m_pdatabase->SetCurrentLongFromId(a_edbid, a_lValue, false);
  if (edbsts != DB_STS_SUCCESS)
    OsLogDebug(OS_LOG_INFO, "set of %d to %ld refused...%d", static_cast<int>(a_edbid), a_lValue,
               static_cast<int>(edbsts));
}

// ---------------------------------------------------------------------------
// Start and end
// ---------------------------------------------------------------------------
EOSSTS CDriver::ScanBegin(EDRVSCANTYPE a_edrvscantype, bool a_blAttributes) {
  if (!m_pdatabase || !m_pdev) {
    OsLog(OS_LOG_ERROR, "ScanBegin without a device...");
    return OS_STS_FAIL;
  }
  // A type the driver does not know changes nothing: there is no scan to end.
  if (a_edrvscantype < DRV_SCANTYPE_NORMAL || a_edrvscantype > DRV_SCANTYPE_AUTOCOLORLEARN) {
    OsLog(OS_LOG_ERROR, "Unrecognized scantype...%d", static_cast<int>(a_edrvscantype));
    return OS_STS_FAIL;
  }
  AllowRescan();
  const EDEVSTS edevsts = StartScan(a_edrvscantype, a_blAttributes);
  if (edevsts == DEV_STS_SUCCESS) return OS_STS_SUCCESS;
  {
    CDbLockGuard dblockguard;
    m_pdatabase->CreateTaskReportStatus(m_pdev->GetLexiconStatus(edevsts), nullptr);
  }
  if (edevsts != DEV_STS_CANCEL) {
    const char* szLabel;
    {
      CDbLockGuard dblockguard;
      szLabel = m_pdatabase->LabelGet("messageerror", "failed to start scan...", -1);
    }
    GuiMessage(DRV_GUIACTION_MESSAGEMANAGERANDWAITFOROK, s_i32DialogStartFailed, s_i32MessageStartFailed, szLabel, 0);
  }
  GuiMessage(DRV_GUIACTION_SETSTATE, GUI_STATE_SCANENDED, 0, nullptr, 0);
  ScanEnd(true);
  return OS_STS_FAIL;
}

// The GUI's queries answer 0 for yes: a cancel was pressed when
// REQUESTCANCELPRESSED answers 0.
EDEVSTS CDriver::StartScan(EDRVSCANTYPE a_edrvscantype, bool a_blAttributes) {
  SetGotImage(false);
  {
    CDbLockGuard dblockguard;
    m_pdatabase->ClearDbState(s_edbstateScanStart);
    m_pdatabase->NotifyResetAll();
  }
  {
    CDbLockRelease dblockrelease;
    m_pdev->ScanEnd();
  }
  switch (a_edrvscantype) {
    case DRV_SCANTYPE_NORMAL:
      SetLong(DB_ID_PREVIEWMODE, s_lPreviewOff);
      if (m_pdrvassistant) m_pdrvassistant->Action(DRV_ASSISTANTACTION_SCANBEGIN, nullptr);
      break;
    case DRV_SCANTYPE_PREVIEW: SetLong(DB_ID_PREVIEWMODE, s_lPreviewOn); break;
    default:
      SetLong(DB_ID_PREVIEWMODE, s_lPreviewOff);
      m_pdatabase->SetDbState(DB_STATE_LEARNSCAN);
      break;
  }
  GuiMessage(DRV_GUIACTION_SETSTATE, GUI_STATE_SCANSTARTED, 0, nullptr, 0);
  CDbLockRelease dblockrelease;
  EOSSTS eossts = m_pdev->SetAttributes(false, a_blAttributes);
  if (eossts != OS_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "SetAttributes failed...%d", static_cast<int>(eossts));
    return static_cast<EDEVSTS>(eossts);
  }
  if (GuiAction(DRV_GUIACTION_REQUESTCANCELPRESSED) != OS_STS_SUCCESS) {
    eossts = m_pdev->ScanBegin();
    if (eossts != OS_STS_SUCCESS) {
      OsLogDebug(OS_LOG_INFO, "ScanBegin failed...%d", static_cast<int>(eossts));
      return static_cast<EDEVSTS>(eossts);
    }
  }
  if (GuiAction(DRV_GUIACTION_REQUESTCANCELPRESSED) == OS_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "Cancel detected...");
    return DEV_STS_CANCEL;
  }
  // A scan the GUI started leaves its dialog for the scan.
  const DrvCommandState* pdrvcommandstate = nullptr;
  if (m_pdrvcommandfsm && m_pdrvcommandfsm->GetCurrentState() == DRV_STATE_UI &&
      m_pdrvcommandfsm->CheckValidState("<scanbegin>", &pdrvcommandstate))
    m_pdrvcommandfsm->ChangeState(OS_STS_SUCCESS);
  return DEV_STS_SUCCESS;
}

EOSSTS CDriver::ScanEnd(bool a_blDeleteRescanThread, uint64_t a_u64Scan) {
  // Another's scan began since: it is not this caller's to end.
  if (a_u64Scan != 0 && m_pdev) {
    CDbLockRelease dblockrelease;
    if (m_pdev->ScanSerial() != a_u64Scan) return OS_STS_SUCCESS;
  }
  if (a_blDeleteRescanThread) StopRescanThread();
  if (m_pdrvassistant) m_pdrvassistant->Action(DRV_ASSISTANTACTION_SCANEND, nullptr);
  if (m_pdev) {
    CDbLockRelease dblockrelease;
    m_pdev->ScanEnd(a_u64Scan);
  }
  if (m_pdatabase) SetLong(DB_ID_PREVIEWIMAGEACQUIRE, 1);
  GuiAction(DRV_GUIACTION_RESETFLAGS);
  return OS_STS_SUCCESS;
}

EOSSTS CDriver::ImageQueuePush(bool a_blToApplication, EDEVSTS a_edevsts, const char* a_szText) {
  return m_pdev ? m_pdev->ImageQueuePush(a_blToApplication, a_edevsts, a_szText) : OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// One image
// ---------------------------------------------------------------------------
// The GUI's queries answer 0 for yes; "non-zero" below is as the bridge
// answers them.
bool CDriver::MessagesShown() {
  if (m_pdatabase->TestDbState(DB_STATE_LEARNSCAN)) return false;
  bool blIndicatorsOn;
  bool blIndicatorsMode;
  {
    CDbLockGuard dblockguard;
    blIndicatorsOn = m_pdatabase->GetCurrentLongFromId(DB_ID_INDICATORS) == s_lIndicatorsOn;
    CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_INDICATORSMODE);
    blIndicatorsMode =
        !pdbdatum || m_pdatabase->EnumHasCurrentItem(pdbdatum, 2) || m_pdatabase->EnumHasCurrentItem(pdbdatum, 4);
  }
  if (!blIndicatorsMode) return false;
  if (GuiAction(DRV_GUIACTION_GETSHOWUI) != OS_STS_SUCCESS && !blIndicatorsOn) return false;
  return GuiAction(DRV_GUIACTION_ECDOCUSTOMLEARNPRESSED) != OS_STS_SUCCESS;
}

EDEVSTS CDriver::GetOutput(char* a_szBuffer, int a_iSize, int* a_piImageCount, int* a_piSheetCount,
                           int* a_piSheetImageCount, uint64_t a_u64Scan) {
  if (!m_pdatabase || !m_pdev) {
    OsLog(OS_LOG_ERROR, "GetOutput without a device...");
    return DEV_STS_FAIL;
  }
  const bool blMessages = MessagesShown();
  EDEVSTS edevsts;
  {
    CDbLockRelease dblockrelease;
    edevsts = m_pdev->GetOutput(a_szBuffer, a_iSize, a_piImageCount, a_piSheetCount, a_piSheetImageCount, a_u64Scan);
  }
  const char* szLabel = nullptr;
  switch (edevsts) {
    case DEV_STS_SUCCESS: SetGotImage(true); return edevsts;
    case DEV_STS_BUSY:
    case DEV_STS_NOIMAGEAVAILABLE: return DEV_STS_NOIMAGEAVAILABLE;
    case DEV_STS_CANCEL:
    case DEV_STS_COVEROPEN:
    case DEV_STS_DISCONNECTED:
    case DEV_STS_ECDOCUSTOMLEARNFAIL:
    case DEV_STS_ENDOFSHEET: return edevsts;
    case DEV_STS_DOUBLEDOCUMENT:
    case DEV_STS_PAPERJAM:
      if (blMessages) {
        GuiMessage(DRV_GUIACTION_MESSAGEMANAGER, s_i32DialogScan,
                   edevsts == DEV_STS_PAPERJAM ? s_i32MessagePaperJam : s_i32MessageMultifeed, nullptr, 0);
        GuiMessage(DRV_GUIACTION_TESTINFOBOX, 0, -1, nullptr, 0);
      }
      return edevsts;
    case DEV_STS_ENDOFJOB:
    case DEV_STS_NOMEDIA: return EndOfOutput(edevsts, blMessages);
    case DEV_STS_LOWMEMORY:
      ShowProcessError("Not enough memory...", "messagelowmemory", "messagelowmemory...", blMessages);
      return edevsts;
    case DEV_STS_PROCESSERROR:
      ShowProcessError("Nexil error...", "messageerror", "messageerror...", blMessages);
      return edevsts;
    case DEV_STS_USERINPUT:
      if (m_pdrvassistant) m_pdrvassistant->Bounce();
      {
        CDbLockRelease dblockrelease;
        m_pdev->UserInput(a_szBuffer);
      }
      return DEV_STS_NOIMAGEAVAILABLE;
    default:
      if (blMessages) {
        {
          CDbLockGuard dblockguard;
          szLabel = m_pdatabase->LabelGet("messageerror", "failed to start scan...", -1);
        }
        GuiMessage(DRV_GUIACTION_MESSAGEMANAGER, s_i32DialogScan, s_i32MessageError, szLabel, 1);
      }
      return edevsts;
  }
}

// A batch that ended without an image is "no media" for the front ends that
// asked for it, unless an image may still come from elsewhere.
EDEVSTS CDriver::EndOfOutput(EDEVSTS a_edevsts, bool a_blMessages) {
  bool blDiscardBlank;
  {
    CDbLockRelease dblockrelease;
    blDiscardBlank = m_pdev->IsDiscardBlankImage();
  }
  if (GotImage() || blDiscardBlank || NeedRescanFromFlatbed()) return a_edevsts;
  if (a_blMessages) {
    GuiMessage(DRV_GUIACTION_MESSAGEMANAGER, s_i32DialogScan, s_i32MessageNoMedia, nullptr, 0);
    GuiMessage(DRV_GUIACTION_TESTINFOBOX, 0, -1, nullptr, 0);
  }
  CDbLockGuard dblockguard;
  return m_pdatabase->ConfigGetNumber("usenomedia", DB_CONFIGTARGET_COMMON) != 0 ? DEV_STS_NOMEDIA : a_edevsts;
}

// Shown once per count the GUI keeps.
void CDriver::ShowProcessError(const char* a_szLastError, const char* a_szLabel, const char* a_szDefault,
                               bool a_blMessages) {
  if (GuiAction(DRV_GUIACTION_GETMESSAGECOUNT) == OS_STS_SUCCESS) return;
  GuiAction(DRV_GUIACTION_SETMESSAGECOUNT);
  m_pdev->SetLastErrorText(a_szLastError);
  if (!a_blMessages) return;
  const char* szLabel;
  {
    CDbLockGuard dblockguard;
    szLabel = m_pdatabase->LabelGet(a_szLabel, a_szDefault, -1);
  }
  GuiMessage(DRV_GUIACTION_MESSAGEMANAGERANDWAITFOROK, s_i32DialogScan, s_i32MessageError, szLabel, 0);
}
