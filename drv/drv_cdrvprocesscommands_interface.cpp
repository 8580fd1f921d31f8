// The interface commands: interfaceopen with its arguments (the caller, the
// debug and simulation settings, the device's names), which loads the
// database and opens the device's interface, and interfaceclose.
#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "db_cdbversion.h"
#include "dev_cdev.h"
#include "dev_drvconfig.h"
#include "drv_cdrvgui.h"
#include "drv_cdrvprocesscommands.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"
#include "os_osservices.h"

namespace {

constexpr char s_szGlobal[] = "Global\\";
constexpr size_t s_sizetGlobal = sizeof s_szGlobal - 1;
constexpr size_t s_sizetEventName = 64;

// The caller's name names a directory below the profile directory: it is
// made one path element that cannot climb out of it.
void PathElement(char* a_szElement, size_t a_sizetElement, const char* a_szName) {
  COsString::SStrCpy(a_szElement, a_sizetElement, a_szName);
  for (char* pc = a_szElement; *pc; ++pc) {
    if (*pc == '/' || *pc == '\\') *pc = '_';
  }
  if (!*a_szElement || std::strcmp(a_szElement, ".") == 0 || std::strcmp(a_szElement, "..") == 0)
    COsString::SStrCpy(a_szElement, a_sizetElement, "_");
}

// "on" when the front end asked "off" but the configuration keeps the
// images anyway.
void ForceImages(char* a_szField, EDRVCFGTAG a_edrvcfgtag) {
  if (std::strcmp(a_szField, "off") == 0 && strcasecmp(DevDriverConfigGet(a_edrvcfgtag), "true") == 0)
    COsString::SStrCpy(a_szField, DB_DEBUG_TEXT, "on");
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared by the interface, session and user-interface commands
// ---------------------------------------------------------------------------
// The words are compared exactly: "TRUE" is not "true".
bool CDrvProcessCommands::ElementTrue(const OsXmlCallback* a_posxmlcallback) {
  const char* szText = ElementText(a_posxmlcallback);
  if (std::strcmp(szText, "true") == 0) return true;
  if (std::strcmp(szText, "false") != 0)
    OsLog(OS_LOG_ERROR, "<%s> is not \"true\" nor \"false\", taken as false...<%.64s>", a_posxmlcallback->szName, szText);
  return false;
}

void CDrvProcessCommands::ConfigText(const char* a_szKey, const char* a_szValue) {
  CDbLockGuard dblockguard;
  m_pdatabase->ConfigSetString(a_szKey, a_szValue, DB_CONFIGTARGET_COMMON);
}

void CDrvProcessCommands::ConfigKey(const char* a_szKey) {
  CDbLockGuard dblockguard;
  m_pdatabase->ConfigAdd(a_szKey, DB_CONFIGTARGET_COMMON);
}

void CDrvProcessCommands::ConfigListAdd(const char* a_szKey, const char* a_szValue) {
  CDbLockGuard dblockguard;
  m_pdatabase->ConfigEnumAdd(a_szKey, a_szValue, DB_CONFIGTARGET_COMMON);
}

void CDrvProcessCommands::RecordText(EDBRECORDFIELD a_edbrecordfield, long a_lIndex,
                                     const OsXmlCallback* a_posxmlcallback) {
  m_pdatabase->SetRecordText(a_edbrecordfield, a_lIndex, ElementText(a_posxmlcallback));
}

EOSSTS CDrvProcessCommands::AnswerDevice(EOSSTS a_eossts) {
  return AnswerWord(EngineGetLexiconStatus(static_cast<EDEVSTS>(a_eossts)));
}

// ---------------------------------------------------------------------------
// interfaceopen
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::EnterInterfaceopen(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  m_szWork[0] = '\0';
  m_lSimflags = 0;
  CDbLockGuard dblockguard;
  const EDBSTS edbsts = m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, "OsResourceGetLocal", false);
  if (edbsts != DB_STS_SUCCESS) OsLog(OS_LOG_ERROR, "InitializeDatabase failed...%d", static_cast<int>(edbsts));
  m_pdatabase->ConfigSetNumber("usenomedia", 0, DB_CONFIGTARGET_COMMON);
  return OS_STS_SUCCESS;
}

// The "callername" key keeps the text as given; the work text holds it as
// a path element.
EOSSTS CDrvProcessCommands::EnterInterfaceopenCallername(OsXmlCallback* a_posxmlcallback) {
  const char* szName = ElementText(a_posxmlcallback);
  if (::strnlen(szName, sizeof m_szWork) >= sizeof m_szWork) {
    OsLog(OS_LOG_ERROR, "text too long for <callername>...<%.64s>", szName);
    return AnswerWord("fail");
  }
  PathElement(m_szWork, sizeof m_szWork, szName);
  ConfigText("callername", szName);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenVersioncallername(OsXmlCallback* a_posxmlcallback) {
  CDbLockGuard dblockguard;
  if (m_pdatabase->GetDbVersion()) m_pdatabase->GetDbVersion()->SetVersionCaller(ElementText(a_posxmlcallback));
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenDebugLogging(OsXmlCallback* a_posxmlcallback) {
  RecordText(DB_RECORD_LOGGING, 0, a_posxmlcallback);
  if (std::strcmp(ElementText(a_posxmlcallback), "on") == 0 && g_poslog) g_poslog->SetDebugLevel(1);
  return OS_STS_SUCCESS;
}

// Only a logging of "custom" given before it makes the level the log's.
EOSSTS CDrvProcessCommands::EnterInterfaceopenDebugLogginglevel(OsXmlCallback* a_posxmlcallback) {
  int32_t i32Level = 0;
  if (!ReadNumber(ElementText(a_posxmlcallback), &i32Level)) i32Level = 0;
  bool blCustom = false;
  {
    CDbLockGuard dblockguard;
    DbDebugRecord* pdbdebugrecord = m_pdatabase->GetDebugRecord();
    pdbdebugrecord->i32LoggingLevel = i32Level;
    blCustom = std::strcmp(pdbdebugrecord->szLogging, "custom") == 0;
  }
  if (blCustom && g_poslog) g_poslog->SetDebugLevel(i32Level);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenDebugImagesfromscanner(OsXmlCallback* a_posxmlcallback) {
  RecordText(DB_RECORD_IMAGESFROMSCANNER, 0, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenDebugImagestoapp(OsXmlCallback* a_posxmlcallback) {
  RecordText(DB_RECORD_IMAGESTOAPPLICATION, 0, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenSimulateSimulation(OsXmlCallback* a_posxmlcallback) {
  RecordText(DB_RECORD_SIMULATION, 0, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenSimulateSimmodel(OsXmlCallback* a_posxmlcallback) {
  RecordText(DB_RECORD_SIMMODEL, 0, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenSimulateSimflatbed(OsXmlCallback* a_posxmlcallback) {
  RecordText(DB_RECORD_SIMFLATBED, 0, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

// The record holds a fixed number of simflags: the fields of those beyond
// are refused (and logged) by the record; the count stops at its end.
EOSSTS CDrvProcessCommands::ExitInterfaceopenSimulateSimflag(OsXmlCallback*) {
  if (m_lSimflags < DB_SIM_FLAGS) ++m_lSimflags;
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenSimulateSimflagId(OsXmlCallback* a_posxmlcallback) {
  RecordText(DB_RECORD_SIMFLAGID, m_lSimflags, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenSimulateSimflagValue(OsXmlCallback* a_posxmlcallback) {
  RecordText(DB_RECORD_SIMFLAGVALUE, m_lSimflags, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenSimulateSimflagText(OsXmlCallback* a_posxmlcallback) {
  RecordText(DB_RECORD_SIMFLAGTEXT, m_lSimflags, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenUsenomedia(OsXmlCallback* a_posxmlcallback) {
  CDbLockGuard dblockguard;
  m_pdatabase->ConfigSetNumber("usenomedia", ElementTrue(a_posxmlcallback) ? 1 : 0, DB_CONFIGTARGET_COMMON);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenDevicefilename(OsXmlCallback* a_posxmlcallback) {
  ConfigText("devicefilename", ElementText(a_posxmlcallback));
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenResourceDevicefilename(OsXmlCallback* a_posxmlcallback) {
  ConfigText("devicefilename", ElementText(a_posxmlcallback));
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenResourceDevicefriendlyname(OsXmlCallback* a_posxmlcallback) {
  ConfigText("devicefriendlyname", ElementText(a_posxmlcallback));
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterInterfaceopenResourceSerialnumber(OsXmlCallback* a_posxmlcallback) {
  ConfigText("serialnumber", ElementText(a_posxmlcallback));
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::ExitInterfaceopen(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  m_edevdriver = std::strcmp(m_szWork, "wia") == 0   ? DEV_DRIVER_WIA
                 : std::strcmp(m_szWork, "sti") == 0 ? DEV_DRIVER_STI
                                                     : DEV_DRIVER_DEFAULT;
  OsLog(OS_LOG_INFO, "interface kind %d for the caller <%s>...", static_cast<int>(m_edevdriver), m_szWork);
  {
    CDbLockGuard dblockguard;
    DbDebugRecord* pdbdebugrecord = m_pdatabase->GetDebugRecord();
    ForceImages(pdbdebugrecord->szImagesFromScanner, DRV_CFGTAG_DEVSAVE);
    ForceImages(pdbdebugrecord->szImagesToApplication, DRV_CFGTAG_APPSAVE);
  }
  if (!m_pdev) {
    OsLog(OS_LOG_ERROR, "m_pdev is null...");
    return AnswerWord("fail");
  }
  if (OpenInterface() != OS_STS_SUCCESS) return OS_STS_FAIL;
  return AnswerInterfaceOpen();
}

EOSSTS CDrvProcessCommands::OpenInterface() {
  const EOSSTS eossts = m_pdev->InterfaceOpen(m_edevdriver);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "InterfaceOpen failed...%d", static_cast<int>(eossts));
    AnswerDevice(eossts);
    return OS_STS_FAIL;
  }
  m_blInterfaceClosed = false;
  return OS_STS_SUCCESS;
}

// An ISIS caller waits on the event in the global namespace.
const char* CDrvProcessCommands::DriverEventName(char* a_szName, size_t a_sizetName) {
  const char* szName = m_pdev->GetDriverEventName();
  if (!szName) szName = "";
  if (!g_blIsISIS || strncasecmp(szName, s_szGlobal, s_sizetGlobal) == 0) return szName;
  if (COsString::SStrPrintf(a_szName, a_sizetName, "%s%s", s_szGlobal, szName) < 0) return szName;
  return a_szName;
}

EOSSTS CDrvProcessCommands::AnswerInterfaceOpen() {
  char szEventName[s_sizetEventName];
  const char* szEventNameReply = DriverEventName(szEventName, sizeof szEventName);
  char szDirectory[DRV_INTERFACE_TEXT] = {};
  {
    CDbLockGuard dblockguard;
    const char* szUser = m_pdatabase->ProfileGetUserProfileDirectory();
    COsFile::PathSet(szDirectory, sizeof szDirectory, szUser ? szUser : "");
  }
  if (*m_szWork && COsFile::PathAppend(szDirectory, sizeof szDirectory, m_szWork) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "profile directory too long...<%s>", m_szWork);
    return AnswerWord("fail");
  }
  COsString::SStrCpy(m_szWork, sizeof m_szWork, szDirectory);
  if (*m_szWork) {
    const EOSSTS eosstsCreate = COsFile::Create(m_szWork);
    if (eosstsCreate != OS_STS_SUCCESS && eosstsCreate != OS_STS_ALREADY_EXISTS)
      OsLog(OS_LOG_ERROR, "Create failed...%d <%s>", static_cast<int>(eosstsCreate), m_szWork);
  }
  StartReply("success");
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartCommand("reporteventname", 1);
  bool blWritten = AddTextArgument("eventname", szEventNameReply);
  posxmltask->FinalizeCommand("reporteventname");
  posxmltask->StartCommand("reportinterface", 1);
  blWritten = AddTextArgument("profiledirectory", m_szWork) && blWritten;
  posxmltask->FinalizeCommand("reportinterface");
  return FinishReply(blWritten ? DB_STS_SUCCESS : DB_STS_FAIL, false) == DB_STS_SUCCESS ? OS_STS_SUCCESS
                                                                                       : OS_STS_FAIL;
}

// ---------------------------------------------------------------------------
// interfaceclose
// ---------------------------------------------------------------------------
// The scanner refuses to end its session under a running scan: the scan
// ends first. The interface closes whatever the scanner answers; a refusal
// is answered with its word.
EOSSTS CDrvProcessCommands::ExitInterfaceclose(OsXmlCallback* a_posxmlcallback) {
  EndRunningScan(a_posxmlcallback);
  return AnswerDevice(Cleanup());
}

EOSSTS CDrvProcessCommands::Cleanup() {
  GuiAction(DRV_GUIACTION_STOP);
  const EOSSTS eossts = m_pdev ? m_pdev->InterfaceClose() : OS_STS_SUCCESS;
  m_blInterfaceClosed = true;
  return eossts;
}
