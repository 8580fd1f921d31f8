// The service commands: calibration, diagnostics, firmware download, the
// consumable meters and the automatic colour learning scan. Each calls one
// operation of the device facade and answers its result's status word; the
// device is asked with the database lock given up.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "db_cdblookup.h"
#include "dev_cdev.h"
#include "drv_cdrvgui.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxmltask.h"

namespace {

// What the colour learning scan answers beyond success.
constexpr long s_lNotEnoughColor = 46;
constexpr long s_lNotEnoughPages = 47;

// A facade without a device object fails every operation.
bool NoDevice(const CDev* a_pdev) {
  if (a_pdev) return false;
  OsLog(OS_LOG_ERROR, "m_pdev is null...");
  return true;
}

}  // namespace

EOSSTS CDrvProcessCommands::AnswerDevice(EOSSTS a_eosstsDevice, EOSSTS a_eosstsHandler) {
  if (NoDatabase()) return OS_STS_FAIL;
  m_pdatabase->CreateTaskReportStatus(EngineGetLexiconStatus(static_cast<EDEVSTS>(a_eosstsDevice)), nullptr);
  return a_eosstsHandler;
}

// ---------------------------------------------------------------------------
// Calibration
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::EnterCalibratebegin(OsXmlCallback*) { return OS_STS_SUCCESS; }

// Also the calibratereset's type.
EOSSTS CDrvProcessCommands::EnterCalibratebeginCalibrationtype(OsXmlCallback* a_posxmlcallback) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (SetCalibrationType(ElementText(a_posxmlcallback))) return OS_STS_SUCCESS;
  m_pdatabase->CreateTaskReportStatus("fail", nullptr);
  return OS_STS_FAIL;
}

bool CDrvProcessCommands::SetCalibrationType(const char* a_szValue) {
  CDbLockGuard dblockguard;
  DbLookup2* pdblookup2 = m_pdatabase->LookupLexicon("calibrationtype");
  if (!pdblookup2) {
    OsLog(OS_LOG_ERROR, "pdblookup2 is null...");
    return false;
  }
  CDbDatum* pdbdatum = m_pdatabase->Find(pdblookup2->edbid);
  if (!pdbdatum) {
    OsLog(OS_LOG_ERROR, "hdbdatum is null...");
    return false;
  }
  DbLookupEnum* pdblookupenum = m_pdatabase->LookupLexiconEnum(pdblookup2, a_szValue);
  if (!pdblookupenum) {
    OsLog(OS_LOG_ERROR, "pdblookupenum is null...<%.64s>", a_szValue);
    return false;
  }
  const EDBSTS edbsts = m_pdatabase->SetCurrentLong(pdbdatum, pdblookupenum->lValue, false);
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to set calibrationtype %d", static_cast<int>(edbsts));
    return false;
  }
  return true;
}

EOSSTS CDrvProcessCommands::EnterCalibratebeginCalibrationsavedata(OsXmlCallback* a_posxmlcallback) {
  if (NoDatabase()) return OS_STS_FAIL;
  CDbLockGuard dblockguard;
  const long lKeep = std::strcmp(ElementText(a_posxmlcallback), "true") == 0 ? 2 : 1;
  if (m_pdatabase->SetCurrentLongFromId(DB_ID_CALIBRATEKEEPIMAGE, lKeep, false) != DB_STS_SUCCESS)
    OsLogDebug(OS_LOG_INFO, "calibrationsavedata not taken...%ld", lKeep);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterCalibratebeginCalibrationdirectory(OsXmlCallback* a_posxmlcallback) {
  if (NoDatabase()) return OS_STS_FAIL;
  CDbLockGuard dblockguard;
  if (m_pdatabase->SetCurrentStringFromId(DB_ID_CALIBRATIONDIRECTORY, ElementText(a_posxmlcallback)) != DB_STS_SUCCESS)
    OsLogDebug(OS_LOG_INFO, "calibrationdirectory not taken...");
  return OS_STS_SUCCESS;
}

// The calibration's time-out is the device's to tell while it runs: the
// begin reports none (-1). A failed begin gives the reservation back.
EOSSTS CDrvProcessCommands::ExitCalibratebegin(OsXmlCallback*) {
  if (NoDatabase() || NoDevice(m_pdev)) return AnswerWord("fail");
  const EOSSTS eosstsResource = m_pdev->ResourceBegin(true);
  if (eosstsResource != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to resourcebegin");
    return AnswerDevice(eosstsResource, OS_STS_FAIL);
  }
  const EOSSTS eossts = m_pdev->CalibrateBegin();
  {
    CDbLockGuard dblockguard;
    COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
    posxmltask->Clear();
    StartReply(EngineGetLexiconStatus(static_cast<EDEVSTS>(eossts)));
    posxmltask->StartCommand("reportcalibrate", 1);
    posxmltask->AddArgument("calibrationtimeout", -1);
    posxmltask->FinalizeCommand("reportcalibrate");
    FinishReply(DB_STS_SUCCESS, false);
  }
  if (eossts == OS_STS_SUCCESS) return OS_STS_SUCCESS;
  m_pdev->ResourceEnd();
  return OS_STS_FAIL;
}

EOSSTS CDrvProcessCommands::ExitCalibraterun(OsXmlCallback*) {
  if (NoDatabase() || NoDevice(m_pdev)) return AnswerWord("fail");
  const EOSSTS eossts = m_pdev->CalibrateRun();
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Failed to calibraterun");
  return AnswerDevice(eossts, eossts == OS_STS_SUCCESS ? OS_STS_SUCCESS : OS_STS_FAIL);
}

// A result is reported once: the status then reads "no result" (24), but
// while the device is still calibrating, or for a status that is no result
// of a run, it stays as it was.
EOSSTS CDrvProcessCommands::ExitCalibratestatus(OsXmlCallback*) {
  if (NoDatabase() || NoDevice(m_pdev)) return AnswerWord("fail");
  const EDEVSTS edevsts = m_pdev->GetCalibrateStatus();
  const char* szStatus = "invalidstate";
  EOSSTS eossts = OS_STS_FAIL;
  bool blReported = true;
  switch (edevsts) {
    case DEV_STS_SUCCESS:
      szStatus = "success";
      eossts = OS_STS_SUCCESS;
      break;
    case DEV_STS_FAIL:
    case DEV_STS_DOUBLEDOCUMENT:
    case DEV_STS_PAPERJAM: szStatus = "fail"; break;
    case DEV_STS_BUSY:
      szStatus = "busy";
      eossts = static_cast<EOSSTS>(4);
      blReported = false;
      break;
    case DEV_STS_CANCEL: szStatus = "cancel"; break;
    default: blReported = false; break;
  }
  if (blReported) m_pdev->SetCalibrateStatus(DEV_STS_PROCESSERROR);
  m_pdatabase->CreateTaskReportStatus(szStatus, nullptr);
  return eossts;
}

EOSSTS CDrvProcessCommands::ExitCalibratereset(OsXmlCallback*) {
  if (NoDatabase() || NoDevice(m_pdev)) return AnswerWord("fail");
  return AnswerDevice(m_pdev->CalibrateReset(), OS_STS_SUCCESS);
}

EOSSTS CDrvProcessCommands::ExitCalibrateend(OsXmlCallback*) {
  if (NoDatabase() || NoDevice(m_pdev)) return AnswerWord("fail");
  const EOSSTS eossts = m_pdev->CalibrateEnd();
  m_pdev->ResourceEnd();
  return AnswerDevice(eossts, OS_STS_SUCCESS);
}

// ---------------------------------------------------------------------------
// Diagnostics
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::ExitDiagnosticbegin(OsXmlCallback*) {
  if (NoDatabase() || NoDevice(m_pdev)) return AnswerWord("fail");
  return AnswerDevice(m_pdev->DiagnosticBegin(true), OS_STS_SUCCESS);
}

EOSSTS CDrvProcessCommands::EnterDiagnosticrunDiagnostictype(OsXmlCallback* a_posxmlcallback) {
  return TakeText(m_drvservicerequest.szDiagnosticType, sizeof m_drvservicerequest.szDiagnosticType,
                  a_posxmlcallback->szData, "diagnostictype");
}

EOSSTS CDrvProcessCommands::EnterDiagnosticrunDiagnosticvalue(OsXmlCallback* a_posxmlcallback) {
  return TakeText(m_drvservicerequest.szDiagnosticValue, sizeof m_drvservicerequest.szDiagnosticValue,
                  a_posxmlcallback->szData, "diagnosticvalue");
}

// The reply carries the type and value as the device's answer left them.
EOSSTS CDrvProcessCommands::ExitDiagnosticrun(OsXmlCallback*) {
  const DrvServiceRequest& request = m_drvservicerequest;
  if (NoDatabase() || NoDevice(m_pdev)) return AnswerWord("fail");
  if (!request.szDiagnosticType[0]) {
    OsLog(OS_LOG_ERROR, "diagnosticrun without diagnostictype...");
    return AnswerWord("badvalue");
  }
  const EOSSTS eossts = m_pdev->DiagnosticRun(request.szDiagnosticType, request.szDiagnosticValue);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DiagnosticRun failed %d", static_cast<int>(eossts));
    return AnswerDevice(eossts, OS_STS_FAIL);
  }
  CDbLockGuard dblockguard;
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->Clear();
  StartReply("success");
  posxmltask->StartCommand("reportdiagnostic", 1);
  const bool blWritten = AddTextArgument("diagnostictype", request.szDiagnosticType) &&
                         AddTextArgument("diagnosticvalue", request.szDiagnosticValue);
  posxmltask->FinalizeCommand("reportdiagnostic");
  return FinishReply(blWritten ? DB_STS_SUCCESS : DB_STS_FAIL, false) == DB_STS_SUCCESS ? OS_STS_SUCCESS
                                                                                         : OS_STS_FAIL;
}

EOSSTS CDrvProcessCommands::ExitDiagnosticend(OsXmlCallback*) {
  if (NoDatabase() || NoDevice(m_pdev)) return AnswerWord("fail");
  return AnswerDevice(m_pdev->DiagnosticEnd(), OS_STS_SUCCESS);
}

// ---------------------------------------------------------------------------
// Firmware download
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::EnterDownloadbeginDatafileFilename(OsXmlCallback* a_posxmlcallback) {
  return TakeText(m_drvservicerequest.szFilename, sizeof m_drvservicerequest.szFilename, a_posxmlcallback->szData,
                  "filename");
}

EOSSTS CDrvProcessCommands::EnterDownloadbeginDatafileDatasize(OsXmlCallback* a_posxmlcallback) {
  return TakeDownloadNumber(a_posxmlcallback, &m_drvservicerequest.i32DataSize, "datasize");
}

EOSSTS CDrvProcessCommands::EnterDownloadbeginDatafileDataoffset(OsXmlCallback* a_posxmlcallback) {
  return TakeDownloadNumber(a_posxmlcallback, &m_drvservicerequest.i32DataOffset, "dataoffset");
}

// A size or offset is a count of bytes: a sign, another character or a
// number beyond 31 bits would reach the device as another size.
EOSSTS CDrvProcessCommands::TakeDownloadNumber(const OsXmlCallback* a_posxmlcallback, int32_t* a_pi32Field,
                                               const char* a_szElement) {
  const char* sz = ElementText(a_posxmlcallback);
  while (*sz == ' ' || *sz == '\t' || *sz == '\n' || *sz == '\r') ++sz;
  int64_t i64 = 0;
  const char* pc = sz;
  for (; *pc >= '0' && *pc <= '9' && i64 <= INT32_MAX; ++pc) i64 = i64 * 10 + (*pc - '0');
  while (*pc == ' ' || *pc == '\t' || *pc == '\n' || *pc == '\r') ++pc;
  if (pc == sz || *pc || i64 > INT32_MAX) {
    OsLog(OS_LOG_ERROR, "bad number for <%s>...<%.64s>", a_szElement, ElementText(a_posxmlcallback));
    return Refuse(DB_STS_BADVALUE);
  }
  *a_pi32Field = static_cast<int32_t>(i64);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::ExitDownloadbegin(OsXmlCallback*) {
  if (NoDatabase() || NoDevice(m_pdev)) return AnswerWord("fail");
  const EOSSTS eossts = m_pdev->DownloadBegin(m_drvservicerequest.szFilename,
                                              static_cast<unsigned int>(m_drvservicerequest.i32DataSize));
  return AnswerDevice(eossts, OS_STS_SUCCESS);
}

EOSSTS CDrvProcessCommands::ExitDownloadrun(OsXmlCallback*) {
  if (NoDatabase() || NoDevice(m_pdev)) return AnswerWord("fail");
  return AnswerDevice(m_pdev->DownloadRun(), OS_STS_SUCCESS);
}

EOSSTS CDrvProcessCommands::ExitDownloadend(OsXmlCallback*) {
  if (NoDatabase() || NoDevice(m_pdev)) return AnswerWord("fail");
  return AnswerDevice(m_pdev->DownloadEnd(), OS_STS_SUCCESS);
}

// ---------------------------------------------------------------------------
// Consumable meters: the device's meter text reaches the front end as the
// device wrote it; a meter to set or reset is the command's own content.
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::ExitGetconsumablemeters(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  char* szMeters = nullptr;
  const EOSSTS eossts = m_pdev ? m_pdev->GetConsumableMeters(&szMeters) : OS_STS_FAIL;
  if (eossts != OS_STS_SUCCESS || !szMeters) {
    if (szMeters) OsMemFree(szMeters);
    OsLog(OS_LOG_ERROR, "GetConsumableMeters failed");
    m_pdatabase->CreateTaskReportStatus("fail", nullptr);
    return OS_STS_SUCCESS;
  }
  CDbLockGuard dblockguard;
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->Clear();
  StartReply("success");
  posxmltask->StartCommand("reportconsumablemeters", 1);
  posxmltask->AddPassThrough(szMeters);
  posxmltask->FinalizeCommand("reportconsumablemeters");
  OsMemFree(szMeters);
  FinishReply(DB_STS_SUCCESS, false);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::AnswerMeter(EOSSTS a_eosstsDevice, const char* a_szFailure) {
  if (a_eosstsDevice != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "%s", a_szFailure);
  m_pdatabase->CreateTaskReportStatus(a_eosstsDevice == OS_STS_SUCCESS ? "success" : "fail", nullptr);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::ExitSetconsumablemeter(OsXmlCallback* a_posxmlcallback) {
  if (NoDatabase()) return OS_STS_FAIL;
  const EOSSTS eossts = m_pdev ? m_pdev->SetConsumableMeter(ElementText(a_posxmlcallback)) : OS_STS_FAIL;
  return AnswerMeter(eossts, "SetConsumableMeter failed");
}

EOSSTS CDrvProcessCommands::ExitResetconsumablemeter(OsXmlCallback* a_posxmlcallback) {
  if (NoDatabase()) return OS_STS_FAIL;
  const EOSSTS eossts = m_pdev ? m_pdev->ResetConsumableMeter(ElementText(a_posxmlcallback)) : OS_STS_FAIL;
  return AnswerMeter(eossts, "ResetConsumableMeter failed");
}

// ---------------------------------------------------------------------------
// The automatic colour learning scan: only for custom colour content.
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::ExitAutocolorlearn(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  long lContent;
  {
    CDbLockGuard dblockguard;
    lContent = m_pdatabase->GetCurrentLongFromId(DB_ID_AUTOCOLORCONTENT);
  }
  if (lContent != DB_ID_AUTOCOLORCONTENT_ENUM_CUSTOM) {
    OsLogDebug(OS_LOG_INFO, "autocolorlearn only supported for custom color content");
    return AnswerWord("notavailable");
  }
  if (NoDevice(m_pdev)) return AnswerWord("fail");
  const EOSSTS eosstsResource = m_pdev->ResourceBegin(true);
  if (eosstsResource != OS_STS_SUCCESS) return AnswerDevice(eosstsResource, OS_STS_FAIL);
  const long lResult = RunAutoColorLearn();
  m_pdev->ResourceEnd();
  switch (lResult) {
    case 0: return AnswerWord("success");
    case s_lNotEnoughColor: return AnswerWord("notenoughcolor");
    case s_lNotEnoughPages: return AnswerWord("notenoughpages");
    default: return AnswerWord("fail");
  }
}

long CDrvProcessCommands::RunAutoColorLearn() {
  // Both actions take no record.
  const EOSSTS eosstsNoGui = m_pdrvgui ? m_pdrvgui->Action(DRV_GUIACTION_NOGUI, nullptr) : DRV_GUI_STS_NOGUI;
  if (eosstsNoGui == OS_STS_SUCCESS || eosstsNoGui == DRV_GUI_STS_NOGUI) return EngineAutoColorLearn();
  return m_pdrvgui->Action(DRV_GUIACTION_AUTOCOLORLEARN, nullptr);
}
