// The special reports of get: a log, the profile list's reports, the
// scanner's colour dropouts, the supported capabilities, the images to
// expect per sheet and the printer cartridge; and the engine's answers they
// use.
#include <cstdio>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdblookup.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_cdrvprocesscommands.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {

const DrvEngineSeam* s_pdrvengineseam = nullptr;

}  // namespace

void CDrvProcessCommands::SetEngineSeam(const DrvEngineSeam* a_pdrvengineseam) {
  s_pdrvengineseam = a_pdrvengineseam;
}

// ---------------------------------------------------------------------------
// The engine's answers: the seam's when tests give one, else the device
// facade's and the driver object's (each answers its failure where it does
// not offer the operation yet); the log record is the driver object's, or
// the commands' own without one.
// ---------------------------------------------------------------------------
DeviceLog* CDrvProcessCommands::EngineGetDeviceLog() {
  if (s_pdrvengineseam && s_pdrvengineseam->pfnGetDeviceLog)
    return s_pdrvengineseam->pfnGetDeviceLog(s_pdrvengineseam->pvUser);
  return m_pdriver ? m_pdriver->GetDeviceLog() : &m_devicelog;
}

// Fetching a log waits for the scanner: never under the database lock.
EDEVSTS CDrvProcessCommands::EngineGetLog(DeviceLog* a_pdevicelog) {
  CDbLockRelease dblockrelease;
  if (s_pdrvengineseam && s_pdrvengineseam->pfnGetLog)
    return s_pdrvengineseam->pfnGetLog(s_pdrvengineseam->pvUser, a_pdevicelog, true);
  return m_pdev ? static_cast<EDEVSTS>(m_pdev->GetLog(a_pdevicelog, true)) : DEV_STS_FAIL;
}

bool CDrvProcessCommands::EngineGetOutputImageCount(long* a_plCount) {
  if (s_pdrvengineseam && s_pdrvengineseam->pfnGetOutputImageCount)
    return s_pdrvengineseam->pfnGetOutputImageCount(s_pdrvengineseam->pvUser, a_plCount);
  if (!m_pdev) return false;
  *a_plCount = m_pdev->GetOutputImageCount();
  return true;
}

// The scanner is asked: never under the database lock.
EDEVSTS CDrvProcessCommands::EngineGetCartridgeDetected() {
  CDbLockRelease dblockrelease;
  if (s_pdrvengineseam && s_pdrvengineseam->pfnGetCartridgeDetected)
    return s_pdrvengineseam->pfnGetCartridgeDetected(s_pdrvengineseam->pvUser);
  return m_pdev ? static_cast<EDEVSTS>(m_pdev->GetCartridgeDetected()) : DEV_STS_FAIL;
}

EOSSTS CDrvProcessCommands::EngineCmdReportWindowList() {
  if (s_pdrvengineseam && s_pdrvengineseam->pfnCmdReportWindowList)
    return s_pdrvengineseam->pfnCmdReportWindowList(s_pdrvengineseam->pvUser, true, nullptr);
  return m_pdriver ? m_pdriver->CmdReportWindowList(true, nullptr) : OS_STS_FAIL;
}

// Writing the archive waits for the scanner's logs: never under the
// database lock.
EDEVSTS CDrvProcessCommands::EngineSaveLog(const char* a_szFilename, const char* a_szText, bool a_blSaveImages) {
  CDbLockRelease dblockrelease;
  if (s_pdrvengineseam && s_pdrvengineseam->pfnSaveLog)
    return s_pdrvengineseam->pfnSaveLog(s_pdrvengineseam->pvUser, a_szFilename, a_szText, a_blSaveImages, true);
  if (!m_pdev) {
    OsLog(OS_LOG_ERROR, "m_pdev is null...");
    return DEV_STS_FAIL;
  }
  return static_cast<EDEVSTS>(m_pdev->SaveLog(a_szFilename, a_szText, a_blSaveImages, true));
}

long CDrvProcessCommands::EngineAutoColorLearn() {
  if (s_pdrvengineseam && s_pdrvengineseam->pfnAutoColorLearn)
    return s_pdrvengineseam->pfnAutoColorLearn(s_pdrvengineseam->pvUser);
  if (m_pdriver) return m_pdriver->AutoColorLearn();
  OsLog(OS_LOG_ERROR, "AutoColorLearn without the driver object...");
  return 1;
}

// A facade without its device object names no word: that is a failure.
const char* CDrvProcessCommands::EngineGetLexiconStatus(EDEVSTS a_edevsts) {
  const char* szStatus = nullptr;
  if (s_pdrvengineseam && s_pdrvengineseam->pfnGetLexiconStatus)
    szStatus = s_pdrvengineseam->pfnGetLexiconStatus(s_pdrvengineseam->pvUser, a_edevsts);
  else if (m_pdev)
    szStatus = m_pdev->GetLexiconStatus(a_edevsts);
  return szStatus ? szStatus : "fail";
}

// Taking the device for a dialog waits for the scanner: never under the
// database lock.
EOSSTS CDrvProcessCommands::EngineResourceBegin(bool a_blDisconnectWontUnlock) {
  CDbLockRelease dblockrelease;
  if (s_pdrvengineseam && s_pdrvengineseam->pfnResourceBegin)
    return s_pdrvengineseam->pfnResourceBegin(s_pdrvengineseam->pvUser, a_blDisconnectWontUnlock);
  return m_pdev ? m_pdev->ResourceBegin(a_blDisconnectWontUnlock) : OS_STS_FAIL;
}

// ---------------------------------------------------------------------------
// Logs and the profile list's reports
// ---------------------------------------------------------------------------
// The driver's one log record is filled for the current unit; the log's
// size is the size of the file the device left.
EDBSTS CDrvProcessCommands::CreateTaskReportLog(EDBID_LOG a_edbidlog) {
  if (NoDatabase()) return DB_STS_FAIL;
  CDbLockGuard dblockguard;
  DeviceLog* pdevicelog = EngineGetDeviceLog();
  EDEVSTS edevsts = DEV_STS_FAIL;
  if (pdevicelog) {
    pdevicelog->edbidfirmware = static_cast<EDBID_FIRMWARE>(m_pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE));
    pdevicelog->u32LogType = static_cast<uint32_t>(a_edbidlog);
    edevsts = EngineGetLog(pdevicelog);
  }
  OsFileInfo osfileinfo = {};
  uint64_t u64Size = 0;
  if (edevsts == DEV_STS_SUCCESS) {
    if (COsFile::FindFirst(pdevicelog->szFilename, &osfileinfo) == OS_STS_SUCCESS)
      u64Size = osfileinfo.u64Size;
    else
      edevsts = DEV_STS_FAIL;
    COsFile::FindClose(&osfileinfo);
  }
  if (edevsts != DEV_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "GetLog failed...%d", edevsts);
    return AnswerStatus(DB_STS_FAIL);
  }
  char szSize[32];
  std::snprintf(szSize, sizeof szSize, "%llu", static_cast<unsigned long long>(u64Size));
  StartReply("success");
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartCommand("reportdatafile", 1);
  bool blWritten = AddTextArgument("id", m_drvsetrequest.szId) && AddTextArgument("filename", pdevicelog->szFilename);
  posxmltask->AddArgument("datasize", szSize);
  posxmltask->FinalizeCommand("reportdatafile");
  return FinishReply(blWritten ? DB_STS_SUCCESS : DB_STS_FAIL, false);
}

// The profile list writes whole report elements: they go into the reply as
// they are, and the list's text is released after.
EDBSTS CDrvProcessCommands::PassThroughReport(const char* a_szReport, const char* a_szFailure) {
  if (!a_szReport) {
    OsLog(OS_LOG_ERROR, "%s", a_szFailure);
    return AnswerStatus(DB_STS_FAIL);
  }
  StartReply("success");
  m_pdatabase->GetXmlTask()->AddPassThrough(a_szReport);
  m_pdatabase->ProfileFree();
  return FinishReply(DB_STS_SUCCESS, false);
}

EDBSTS CDrvProcessCommands::CreateTaskReportDataFile(const char* a_szId) {
  if (NoDatabase()) return DB_STS_FAIL;
  CDbLockGuard dblockguard;
  return PassThroughReport(m_pdatabase->ProfileReportDataFile(a_szId), "ProfileReportDataFile failed...");
}

EDBSTS CDrvProcessCommands::CreateTaskReportProfileList() {
  if (NoDatabase()) return DB_STS_FAIL;
  CDbLockGuard dblockguard;
  if (std::strcmp(m_drvsetrequest.szId, "profile") == 0)
    return PassThroughReport(m_pdatabase->ProfileReportProfileItem(1), "ProfileReportProfileItem failed");
  return PassThroughReport(m_pdatabase->ProfileReportProfileList(), "ProfileReportProfileList failed");
}

// ---------------------------------------------------------------------------
// Lists
// ---------------------------------------------------------------------------
EDBSTS CDrvProcessCommands::CreateTaskReportEcdoList() {
  if (NoDatabase()) return DB_STS_FAIL;
  CDbLockGuard dblockguard;
  const DbEcdoHeader* pdbecdoheader = m_pdatabase->DeviceGetEcdoHeader();
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  StartReply("success");
  posxmltask->StartCommand("reportecdolist", 1);
  bool blWritten = true;
  for (long l = 0; l < DB_ECDO_RECORDS && blWritten; ++l) {
    const DbEcdoRecord& dbecdorecord = pdbecdoheader->adbecdorecord[l];
    if (dbecdorecord.u32Value == 0 || !dbecdorecord.szName[0]) break;
    posxmltask->StartCommand("ecdoitem", 2);
    blWritten = AddTextArgument("ecdo", dbecdorecord.szName) && AddTextArgument("text", dbecdorecord.szLabel);
    posxmltask->FinalizeCommand("ecdoitem");
  }
  posxmltask->FinalizeCommand("reportecdolist");
  return FinishReply(blWritten ? DB_STS_SUCCESS : DB_STS_FAIL, false);
}

EDBSTS CDrvProcessCommands::CreateTaskReportIdList() {
  if (NoDatabase()) return DB_STS_FAIL;
  CDbLockGuard dblockguard;
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  StartReply("success");
  posxmltask->StartCommand("reportidlist", 1);
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    const EDBID edbid = static_cast<EDBID>(iId);
    const DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(edbid);
    if (!m_pdatabase->IsIdSupported(edbid) || !pdblookup2 || !pdblookup2->szLexicon || !pdblookup2->szLexicon[0])
      continue;
    posxmltask->StartCommand("iditem", 2);
    posxmltask->AddArgument("id", pdblookup2->szLexicon);
    posxmltask->FinalizeCommand("iditem");
  }
  posxmltask->FinalizeCommand("reportidlist");
  return FinishReply(DB_STS_SUCCESS, false);
}

// ---------------------------------------------------------------------------
// The image count and the printer cartridge
// ---------------------------------------------------------------------------
// The count is read-only and not a capability of its own: its range is
// XFERCOUNT's default one.
EDBSTS CDrvProcessCommands::CreateTaskReportOutputImageCount() {
  if (NoDatabase()) return DB_STS_FAIL;
  CDbLockGuard dblockguard;
  CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_XFERCOUNT);
  if (!pdbdatum) {
    OsLog(OS_LOG_ERROR, "hdbdatum is NULL for DB_ID_XFERCOUNT");
    return AnswerStatus(DB_STS_FAIL);
  }
  long lCount = 0;
  if (!EngineGetOutputImageCount(&lCount)) {
    OsLog(OS_LOG_ERROR, "GetOutputImageCount failed...");
    return AnswerStatus(DB_STS_FAIL);
  }
  const struct {
    const char* szReport;
    long lValue;
  } areport[] = {{"reportrange", lCount}, {"reportrangedefault", 0}};
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  StartReply("success");
  for (const auto& report : areport) {
    char szCount[32];
    std::snprintf(szCount, sizeof szCount, "%ld", report.lValue);
    posxmltask->StartCommand(report.szReport, 1);
    posxmltask->AddArgument("id", "outputimagecount");
    posxmltask->AddArgument("readonly", "true");
    posxmltask->AddArgument("valuecurrent", szCount);
    posxmltask->AddArgument("context", "$configuration");
    posxmltask->AddArgument("validcontext", "$configuration");
    if (AddRange(pdbdatum, true, "range", 2) != OS_STS_SUCCESS) return FinishReply(DB_STS_BADVALUE, false);
    posxmltask->FinalizeCommand(report.szReport);
  }
  return FinishReply(DB_STS_SUCCESS, false);
}

EDBSTS CDrvProcessCommands::CreateTaskReportCartridgeDetected() {
  if (NoDatabase()) return DB_STS_FAIL;
  CDbLockGuard dblockguard;
  if (!m_pdatabase->ConfigExists("cartridgedetect", DB_CONFIGTARGET_COMMON)) {
    OsLog(OS_LOG_ERROR, "GetCartridgeDetected not supported (no 'cartridgedetect')");
    return AnswerStatus(DB_STS_FAIL);
  }
  const EDEVSTS edevsts = EngineGetCartridgeDetected();
  if (edevsts != DEV_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "GetCartridgeDetected failed...%d", edevsts);
    return AnswerStatus(DB_STS_FAIL);
  }
  CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_CARTRIDGEDETECTED);
  StartReply("success");
  return FinishReply(CreateTaskReportContainer(pdbdatum) == OS_STS_SUCCESS ? DB_STS_SUCCESS : DB_STS_BADVALUE, false);
}
