// The data entry's grammar, its handlers and the reply of each task.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "dev_cdevdataxml.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

namespace {

const char s_szDataGrammar[] =
    "<task enter='this.EnterTask' exit='this.ExitTask'>"
    "<export enter='this.EnterTaskExport' exit='this.ExitTaskExport'>"
    "<id enter='this.EnterTaskExportId'></id>"
    "<filename enter='this.EnterTaskExportFilename'></filename>"
    "<text enter='this.EnterTaskExportText'></text>"
    "<saveimages enter='this.EnterTaskExportSaveimages'></saveimages>"
    "<source enter='this.EnterTaskExportSource'></source>"
    "<destination enter='this.EnterTaskExportDestination'></destination>"
    "</export>"
    "<import enter='this.EnterTaskImport' exit='this.ExitTaskImport'>"
    "<id enter='this.EnterTaskImportId'></id>"
    "<filename enter='this.EnterTaskImportFilename'></filename>"
    "</import>"
    "<interfaceclose enter='this.EnterTaskInterfaceclose'></interfaceclose>"
    "<interfaceopen enter='this.EnterTaskInterfaceopen' exit='this.ExitTaskInterfaceopen'>"
    "<debug enter='this.EnterTaskInterfaceopenDebug' exit='this.ExitTaskInterfaceopenDebug'>"
    "<persistent enter='this.EnterTaskInterfaceopenDebugPersistent'></persistent>"
    "<logging enter='this.EnterTaskInterfaceopenDebugLogging'></logging>"
    "<logginglevel enter='this.EnterTaskInterfaceopenDebugLogginglevel'></logginglevel>"
    "<imagesfromscanner enter='this.EnterTaskInterfaceopenDebugImagesfromscanner'></imagesfromscanner>"
    "<imagestoapp enter='this.EnterTaskInterfaceopenDebugImagestoapp'></imagestoapp>"
    "<force exit='this.ExitTaskInterfaceopenDebugForce'>"
    "<dll enter='this.EnterTaskInterfaceopenDebugForceDll'></dll>"
    "<section enter='this.EnterTaskInterfaceopenDebugForceSection'></section>"
    "<tag enter='this.EnterTaskInterfaceopenDebugForceTag'></tag>"
    "<text enter='this.EnterTaskInterfaceopenDebugForceText'></text>"
    "</force>"
    "</debug>"
    "</interfaceopen>"
    "<setaccumulators enter='this.EnterTaskSetaccumulators' exit='this.ExitTaskSetaccumulators'>"
    "<serialnumber enter='this.EnterTaskSetaccumulatorsSerialnumber'></serialnumber>"
    "<accumulators enter='this.EnterTaskSetaccumulatorsAccumulators' "
    "exit='this.ExitTaskSetaccumulatorsAccumulators'>"
    "<multifeedcount enter='this.EnterTaskSetaccumulatorsAccumulatorsMultifeedcount'></multifeedcount>"
    "<paperjamcount enter='this.EnterTaskSetaccumulatorsAccumulatorsPaperjamcount'></paperjamcount>"
    "<othererrorcount enter='this.EnterTaskSetaccumulatorsAccumulatorsOthererrorcount'></othererrorcount>"
    "</accumulators>"
    "</setaccumulators>"
    "</task>";

// A front end's ids have at most 20 digits; the reply carries ids up to INT_MAX.
constexpr size_t s_sizetDataTaskId = 32;

const char* EntryText(const OsXmlCallback* a_posxmlcallback) {
  return a_posxmlcallback->szData ? a_posxmlcallback->szData : "";
}

bool EntryIsOn(const char* a_sz) { return std::strcmp(a_sz, "on") == 0 || std::strcmp(a_sz, "true") == 0; }

// A decimal id that fits an int; anything else is no id.
bool EntryReadId(const char* a_szId, int* a_piId) {
  if (!*a_szId) return false;
  long long ll = 0;
  for (const char* pc = a_szId; *pc; ++pc) {
    if (*pc < '0' || *pc > '9') return false;
    ll = ll * 10 + (*pc - '0');
    if (ll > INT_MAX) return false;
  }
  *a_piId = static_cast<int>(ll);
  return true;
}

}  // namespace

bool CDevDataXml::LoadGrammar() {
  EOSSTS eossts = m_osxml.DispatchAddObject("this", "CDevDataXml", this);
  if (eossts == OS_STS_SUCCESS) eossts = m_osxml.DispatchLoad(s_szDataGrammar);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchLoad failed...<%d>", static_cast<int>(eossts));
    return false;
  }
  return true;
}

bool CDevDataXml::RunTask(const char* a_szTask, const char** a_pszReply) {
  m_szCommand[0] = '\0';
  m_blSuccess = m_blReportDataFile = false;
  m_iReplyId = 0;
  // A walk that stops before EnterTask still answers with its own counter.
  const int iTaskCount = m_iTaskCount;
  EOSSTS eossts = OS_STS_FAIL;
  if (!m_blGrammar) {
    OsLog(OS_LOG_ERROR, "DispatchLoadAndDispatch failed...the grammar is not loaded");
  } else {
    eossts = m_osxml.DocumentLoadAndDispatch(a_szTask, nullptr);
    m_osxml.DocumentFree();
    if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "DispatchLoadAndDispatch failed...%d", static_cast<int>(eossts));
  }
  if (m_iTaskCount == iTaskCount) CountTask(a_szTask);
  if (eossts == OS_STS_SUCCESS && !m_szCommand[0]) {
    OsLog(OS_LOG_ERROR, "The task holds no data command...");
    eossts = OS_STS_FAIL;
  }
  *a_pszReply = Reply(eossts == OS_STS_SUCCESS && m_blSuccess ? "success" : "fail");
  return eossts == OS_STS_SUCCESS;
}

void CDevDataXml::Refuse(const char* a_szTask, const char* a_szStatus, const char** a_pszReply) {
  m_blReportDataFile = false;
  CountTask(a_szTask);
  *a_pszReply = Reply(a_szStatus);
}

void CDevDataXml::CountTask(const char* a_szTask) {
  m_iTaskCount = m_iTaskCount == INT_MAX ? 1 : m_iTaskCount + 1;
  uint64_t u64Id = 0;
  m_iReplyId = COsXml::GetTaskPropertyId(a_szTask, &u64Id) && u64Id <= INT_MAX ? static_cast<int>(u64Id) : 0;
}

const char* CDevDataXml::Reply(const char* a_szStatus) {
  m_posxmltask->Clear();
  m_posxmltask->StartTask(m_iTaskCount, m_iReplyId, a_szStatus);
  if (std::strcmp(a_szStatus, "success") == 0 && m_blReportDataFile) {
    m_posxmltask->StartCommand("reportdatafile", 1);
    m_posxmltask->AddArgumentSafe("id", m_devdataexportargs.szId);
    m_posxmltask->AddArgumentSafe("filename", m_devdataexportargs.szFilename);
    char szSize[32];
    COsString::SStrPrintf(szSize, sizeof szSize, "%llu", static_cast<unsigned long long>(m_devdataexportargs.u64Size));
    m_posxmltask->AddArgument("size", szSize);
    m_posxmltask->FinalizeCommand("reportdatafile");
  }
  m_posxmltask->FinalizeTask();
  return m_posxmltask->GetTaskBuffer();
}

EOSSTS CDevDataXml::Answer(bool a_blSuccess) {
  m_blSuccess = a_blSuccess;
  return OS_STS_SUCCESS;
}

bool CDevDataXml::StartCommand(const char* a_szCommand) {
  if (m_szCommand[0]) {
    OsLog(OS_LOG_ERROR, "Detected attempt to run multiple commands in the same task...<%s> <%s>", m_szCommand,
          a_szCommand);
    return false;
  }
  COsString::SStrCpy(m_szCommand, sizeof m_szCommand, a_szCommand);
  m_blBadArgument = false;
  return true;
}

void CDevDataXml::StoreText(char* a_szField, size_t a_sizetField, const OsXmlCallback* a_posxmlcallback) {
  if (COsString::SStrCpyCut(a_szField, a_sizetField, EntryText(a_posxmlcallback))) return;
  OsLog(OS_LOG_ERROR, "Argument too long, refused...<%s> <%.64s>", a_posxmlcallback->szName, a_szField);
  m_blBadArgument = true;
}

void CDevDataXml::StoreNumber(uint32_t* a_pu32, const OsXmlCallback* a_posxmlcallback) {
  const char* sz = EntryText(a_posxmlcallback);
  char* pcEnd = nullptr;
  errno = 0;
  const unsigned long long ull = std::strtoull(sz, &pcEnd, 10);
  if (*sz < '0' || *sz > '9' || *pcEnd || errno != 0 || ull > UINT32_MAX) {
    OsLog(OS_LOG_ERROR, "Not a count, refused...<%s> <%.32s>", a_posxmlcallback->szName, sz);
    m_blBadArgument = true;
    return;
  }
  *a_pu32 = static_cast<uint32_t>(ull);
}

// ---------------------------------------------------------------------------
// The task
// ---------------------------------------------------------------------------
EOSSTS CDevDataXml::EnterTask(OsXmlCallback* a_posxmlcallback) {
  m_posxmltask->Clear();
  m_iTaskCount = m_iTaskCount == INT_MAX ? 1 : m_iTaskCount + 1;
  char szId[s_sizetDataTaskId] = {};
  if (a_posxmlcallback->posxml->NodeGetProperty("id", szId, sizeof szId) != OS_STS_SUCCESS ||
      !EntryReadId(szId, &m_iReplyId)) {
    m_iReplyId = 0;
    OsLog(OS_LOG_ERROR, "Failure:  Unable to get Task Id from XML task.");
    return OS_STS_FAIL;
  }
  m_szCommand[0] = '\0';
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::ExitTask(OsXmlCallback*) { return OS_STS_SUCCESS; }

// ---------------------------------------------------------------------------
// export and import
// ---------------------------------------------------------------------------
EOSSTS CDevDataXml::EnterTaskExport(OsXmlCallback*) {
  if (!StartCommand("export")) return OS_STS_FAIL;
  m_devdataexportargs = {};
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::ExitTaskExport(OsXmlCallback*) {
  const char* szId = m_devdataexportargs.szId;
  if (m_blBadArgument) return Answer(false);
  if (std::strcmp(szId, "devicelist") == 0) return ExportDeviceList();
  if (std::strcmp(szId, "eklog") == 0) return ExportEklog();
  if (std::strcmp(szId, "historytoxml") == 0) return ExportHistoryToXml();
  if (std::strcmp(szId, "profilelist") == 0) return ProfileList(true);
  OsLog(OS_LOG_ERROR, "Unknown export id...<%s>", szId);
  return Answer(false);
}

EOSSTS CDevDataXml::EnterTaskExportId(OsXmlCallback* a_posxmlcallback) {
  StoreText(m_devdataexportargs.szId, sizeof m_devdataexportargs.szId, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskExportFilename(OsXmlCallback* a_posxmlcallback) {
  StoreText(m_devdataexportargs.szFilename, sizeof m_devdataexportargs.szFilename, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskExportText(OsXmlCallback* a_posxmlcallback) {
  StoreText(m_devdataexportargs.szText, sizeof m_devdataexportargs.szText, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskExportSaveimages(OsXmlCallback* a_posxmlcallback) {
  m_devdataexportargs.blSaveImages = std::strcmp(EntryText(a_posxmlcallback), "true") == 0;
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskExportSource(OsXmlCallback* a_posxmlcallback) {
  StoreText(m_devdataexportargs.szSource, sizeof m_devdataexportargs.szSource, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskExportDestination(OsXmlCallback* a_posxmlcallback) {
  StoreText(m_devdataexportargs.szDestination, sizeof m_devdataexportargs.szDestination, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskImport(OsXmlCallback*) {
  if (!StartCommand("import")) return OS_STS_FAIL;
  m_devdataexportargs = {};
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::ExitTaskImport(OsXmlCallback*) {
  if (m_blBadArgument) return Answer(false);
  if (std::strcmp(m_devdataexportargs.szId, "profilelist") == 0) return ProfileList(false);
  OsLog(OS_LOG_ERROR, "Unknown import id...<%s>", m_devdataexportargs.szId);
  return Answer(false);
}

EOSSTS CDevDataXml::EnterTaskImportId(OsXmlCallback* a_posxmlcallback) { return EnterTaskExportId(a_posxmlcallback); }

EOSSTS CDevDataXml::EnterTaskImportFilename(OsXmlCallback* a_posxmlcallback) {
  return EnterTaskExportFilename(a_posxmlcallback);
}

// ---------------------------------------------------------------------------
// interfaceopen and interfaceclose
// ---------------------------------------------------------------------------
EOSSTS CDevDataXml::EnterTaskInterfaceclose(OsXmlCallback*) {
  if (!StartCommand("interfaceclose")) return OS_STS_FAIL;
  return Answer(true);
}

EOSSTS CDevDataXml::EnterTaskInterfaceopen(OsXmlCallback*) {
  if (!StartCommand("interfaceopen")) return OS_STS_FAIL;
  m_devdataopenargs = {};
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskInterfaceopenDebug(OsXmlCallback*) {
  m_devdataopenargs.blDebug = true;
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::ExitTaskInterfaceopenDebug(OsXmlCallback*) { return OS_STS_SUCCESS; }

EOSSTS CDevDataXml::EnterTaskInterfaceopenDebugPersistent(OsXmlCallback* a_posxmlcallback) {
  m_devdataopenargs.blPersistent = std::strcmp(EntryText(a_posxmlcallback), "true") == 0;
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskInterfaceopenDebugLogging(OsXmlCallback* a_posxmlcallback) {
  StoreText(m_devdataopenargs.szLogging, sizeof m_devdataopenargs.szLogging, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskInterfaceopenDebugLogginglevel(OsXmlCallback* a_posxmlcallback) {
  StoreNumber(&m_devdataopenargs.u32LoggingLevel, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskInterfaceopenDebugImagesfromscanner(OsXmlCallback* a_posxmlcallback) {
  m_devdataopenargs.blImagesFromScanner = EntryIsOn(EntryText(a_posxmlcallback));
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskInterfaceopenDebugImagestoapp(OsXmlCallback* a_posxmlcallback) {
  m_devdataopenargs.blImagesToApp = EntryIsOn(EntryText(a_posxmlcallback));
  return OS_STS_SUCCESS;
}

// An entry naming dll, section and tag is kept; an empty one is cleared and
// its slot serves the next force element. A part of an entry, or a kept
// entry beyond the last slot, fails the task (it would be dropped unseen).
EOSSTS CDevDataXml::ExitTaskInterfaceopenDebugForce(OsXmlCallback*) {
  DevDataOpenArgs& rargs = m_devdataopenargs;
  if (rargs.u32ForceIndex >= DevDataOpenArgs::s_u32Forces) {
    OsLog(OS_LOG_ERROR, "Too many force entries, refused...%u", DevDataOpenArgs::s_u32Forces);
    rargs.blForceOverflow = true;
    return OS_STS_SUCCESS;
  }
  DevDataForce& rforce = rargs.adevdataforce[rargs.u32ForceIndex];
  if (rforce.szDll[0] && rforce.szSection[0] && rforce.szTag[0]) {
    ++rargs.u32ForceIndex;
    return OS_STS_SUCCESS;
  }
  // Half an entry would be dropped unseen: refused.
  if (rforce.szDll[0] || rforce.szSection[0] || rforce.szTag[0] || rforce.blText) {
    OsLog(OS_LOG_ERROR, "Force entry without dll, section or tag, refused...<%s> <%s> <%s>", rforce.szDll,
          rforce.szSection, rforce.szTag);
    m_blBadArgument = true;
  }
  rforce = {};
  return OS_STS_SUCCESS;
}

// The leaves of a force element beyond the last slot are counted as that
// element's when it ends.
#define DEV_DATAXML_FORCE_LEAF(name, field)                                                  \
  EOSSTS CDevDataXml::name(OsXmlCallback* a_posxmlcallback) {                                \
    DevDataOpenArgs& rargs = m_devdataopenargs;                                              \
    if (rargs.u32ForceIndex >= DevDataOpenArgs::s_u32Forces) return OS_STS_SUCCESS;          \
    DevDataForce& rforce = rargs.adevdataforce[rargs.u32ForceIndex];                         \
    StoreText(rforce.field, sizeof rforce.field, a_posxmlcallback);                          \
    return OS_STS_SUCCESS;                                                                   \
  }
DEV_DATAXML_FORCE_LEAF(EnterTaskInterfaceopenDebugForceDll, szDll)
DEV_DATAXML_FORCE_LEAF(EnterTaskInterfaceopenDebugForceSection, szSection)
DEV_DATAXML_FORCE_LEAF(EnterTaskInterfaceopenDebugForceTag, szTag)
#undef DEV_DATAXML_FORCE_LEAF

EOSSTS CDevDataXml::EnterTaskInterfaceopenDebugForceText(OsXmlCallback* a_posxmlcallback) {
  DevDataOpenArgs& rargs = m_devdataopenargs;
  if (rargs.u32ForceIndex >= DevDataOpenArgs::s_u32Forces) return OS_STS_SUCCESS;
  DevDataForce& rforce = rargs.adevdataforce[rargs.u32ForceIndex];
  StoreText(rforce.szText, sizeof rforce.szText, a_posxmlcallback);
  rforce.blText = true;
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::ExitTaskInterfaceopen(OsXmlCallback*) {
  if (m_blBadArgument || m_devdataopenargs.blForceOverflow) return Answer(false);
  return WriteDebugSettings();
}

// ---------------------------------------------------------------------------
// setaccumulators
// ---------------------------------------------------------------------------
EOSSTS CDevDataXml::EnterTaskSetaccumulators(OsXmlCallback*) {
  if (!StartCommand("setaccumulators")) return OS_STS_FAIL;
  m_devdataaccumulatorsargs = {};
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskSetaccumulatorsSerialnumber(OsXmlCallback* a_posxmlcallback) {
  StoreText(m_devdataaccumulatorsargs.szSerialNumber, sizeof m_devdataaccumulatorsargs.szSerialNumber,
            a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskSetaccumulatorsAccumulators(OsXmlCallback*) { return OS_STS_SUCCESS; }

EOSSTS CDevDataXml::ExitTaskSetaccumulatorsAccumulators(OsXmlCallback*) { return OS_STS_SUCCESS; }

EOSSTS CDevDataXml::EnterTaskSetaccumulatorsAccumulatorsMultifeedcount(OsXmlCallback* a_posxmlcallback) {
  m_devdataaccumulatorsargs.blMultifeed = true;
  StoreNumber(&m_devdataaccumulatorsargs.u32Multifeed, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskSetaccumulatorsAccumulatorsPaperjamcount(OsXmlCallback* a_posxmlcallback) {
  m_devdataaccumulatorsargs.blPaperJam = true;
  StoreNumber(&m_devdataaccumulatorsargs.u32PaperJam, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::EnterTaskSetaccumulatorsAccumulatorsOthererrorcount(OsXmlCallback* a_posxmlcallback) {
  m_devdataaccumulatorsargs.blOtherError = true;
  StoreNumber(&m_devdataaccumulatorsargs.u32OtherError, a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDevDataXml::ExitTaskSetaccumulators(OsXmlCallback*) {
  const DevDataAccumulatorsArgs& rargs = m_devdataaccumulatorsargs;
  if (m_blBadArgument) return Answer(false);
  if (!DataLock()) {
    OsLog(OS_LOG_ERROR, "DataLock failed...");
    return Answer(false);
  }
  const EOSSTS eossts = SetAccumulators(DEV_FIRMWARE_NONE, nullptr, false, rargs.szSerialNumber, false,
                                        rargs.blMultifeed, rargs.u32Multifeed, rargs.blPaperJam, rargs.u32PaperJam,
                                        rargs.blOtherError, rargs.u32OtherError);
  DataUnlock(false);
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Failed to set the accumulators...<%s>", rargs.szSerialNumber);
  return Answer(eossts == OS_STS_SUCCESS);
}

// ---------------------------------------------------------------------------
// The static handlers the grammar names
// ---------------------------------------------------------------------------
#define DEV_DATAXML_FORWARD(name)                                                         \
  EOSSTS CDevDataXml::CDevDataXml_##name(OsXmlCallback* a_posxmlcallback) {               \
    return static_cast<CDevDataXml*>(a_posxmlcallback->pvObject)->name(a_posxmlcallback); \
  }
DEV_DATAXML_HANDLERS(DEV_DATAXML_FORWARD)
#undef DEV_DATAXML_FORWARD
