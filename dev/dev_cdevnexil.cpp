// The image-library adapter: its construction, the loading and unloading of
// a unit's library, and the task exchange.
#include "dev_cdevnexil.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dp_cpassthroughdravix.h"
#include "dp_creportimage.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {

constexpr size_t s_sizetPath = 512;
constexpr size_t s_sizetBuilderInitial = 65536;

// The reply each thread was last given, kept until its next call.
thread_local std::string t_strReply;

}  // namespace

const char CDevNexil::s_szFailReply[] =
    "<task id='00000000000000000001' reply='00000000000000000000' bytes='00000000000000000000'>\n"
    "\t<reportstatus>\n"
    "\t\t<status>fail</status>\n"
    "\t</reportstatus>\n"
    "</task>";

// The library's log settings go into the environment, where it reads them
// when it is loaded.
CDevNexil::CDevNexil(CDatabase* a_pdatabase) {
  if (!a_pdatabase) {
    OsLog(OS_LOG_ERROR, "a_pdatabase is NULL...");
    return;
  }
  m_pdatabase = a_pdatabase;
  COsString::SStrCpy(m_aszTagTask[DB_FIRMWARE_ADF], s_sizetTag, "DRV2NEX");
  COsString::SStrCpy(m_aszTagTask[DB_FIRMWARE_FLATBED], s_sizetTag, "DRV2NEXFLATBED");
  COsString::SStrCpy(m_aszTagReply[DB_FIRMWARE_ADF], s_sizetTag, "NEX2DRV");
  COsString::SStrCpy(m_aszTagReply[DB_FIRMWARE_FLATBED], s_sizetTag, "NEXFLATBED2DRV");
  COsCfg::SetEnv("NEXIL_LOGDEBUG", g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DEBUG) : "");
  SetLogPath();
  m_preportimage = OsMemNew(CReportImage, a_pdatabase);
  m_posxml = OsMemNew(COsXml);
  m_posxmltask = OsMemNew(COsXmlTask, "", s_sizetBuilderInitial);
  if (m_posxmltask) m_sizetBuilder = s_sizetBuilderInitial;
  if (!m_preportimage || !m_posxml || !m_posxmltask) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
}

CDevNexil::~CDevNexil() {
  OsMemDelete(m_ppassthroughdravix);
  OsMemDelete(m_preportimage);
  OsMemDelete(m_posxml);
  OsMemDelete(m_posxmltask);
}

// "<log directory>/nexil/", beside the driver's own directory when the log
// directory is one named "driver". Without a log directory the library
// keeps its own default: a relative path would land in the caller's
// working directory.
void CDevNexil::SetLogPath() {
  char szPath[s_sizetPath] = {};
  COsFile::PathSet(szPath, sizeof szPath, g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : "");
  COsFile::PathRemoveTrailingSlash(szPath);
  if (!szPath[0]) {
    OsLog(OS_LOG_ERROR, "no LogDirectory, NEXIL_LOGPATH not set...");
    return;
  }
  size_t sizetOffset = 0;
  char* szName = nullptr;
  if (COsFile::PathSplit(szPath, &sizetOffset, &szName) == OS_STS_SUCCESS && szName &&
      std::strcmp(szName, "driver") == 0 && sizetOffset > 0) {
    szPath[sizetOffset] = '\0';
  }
  if (COsFile::PathAppend(szPath, sizeof szPath, "nexil") != OS_STS_SUCCESS ||
      COsString::SStrCatf(szPath, sizeof szPath, "%s", "/") < 0) {
    OsLog(OS_LOG_ERROR, "NEXIL_LOGPATH does not fit...<%s>", szPath);
    return;
  }
  const EOSSTS eossts = COsFile::Create(szPath);
  if (eossts != OS_STS_SUCCESS && eossts != 261) OsLog(OS_LOG_ERROR, "Create failed...%d <%s>", eossts, szPath);
  COsCfg::SetEnv("NEXIL_LOGPATH", szPath);
}

// ---------------------------------------------------------------------------
// Units
// ---------------------------------------------------------------------------
CDevNexil::DevNexilUnit* CDevNexil::Unit(EDBID_FIRMWARE a_edbidfirmware) {
  if (a_edbidfirmware != DB_FIRMWARE_ADF && a_edbidfirmware != DB_FIRMWARE_FLATBED) {
    OsLog(OS_LOG_ERROR, "Unrecognize a_edbidfirmware %d...", a_edbidfirmware);
    return nullptr;
  }
  return &m_adevnexilunit[a_edbidfirmware];
}

COsFile* CDevNexil::ClearUnit(EDBID_FIRMWARE a_edbidfirmware) {
  if (a_edbidfirmware != DB_FIRMWARE_ADF && a_edbidfirmware != DB_FIRMWARE_FLATBED) return nullptr;
  DevNexilUnit& devnexilunit = m_adevnexilunit[a_edbidfirmware];
  EndDravix(devnexilunit, false);
  COsFile* posfile = devnexilunit.posfileLibrary;
  devnexilunit = DevNexilUnit();
  return posfile;
}

// Freeing a library is a wait of the loader: never under the database
// lock, never under the adapter's mutex.
void CDevNexil::Release(COsFile* a_posfile) {
  if (!a_posfile) return;
  CDbLockRelease dblockrelease;
  OsMemDelete(a_posfile);
}

EDEVNEXILCALL CDevNexil::GetEdevnexilcall() {
  CExchangeLock lock(m_mutex);
  return m_edevnexilcall;
}

EDEVNEXILCALL CDevNexil::GetUnitNexilCall(EDBID_FIRMWARE a_edbidfirmware) {
  CExchangeLock lock(m_mutex);
  DevNexilUnit* pdevnexilunit = Unit(a_edbidfirmware);
  return pdevnexilunit ? pdevnexilunit->edevnexilcall : DEV_NEXILCALL_NONE;
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------
// The feeder's model directory is the driver's; the flatbed's is named by
// the model configuration.
bool CDevNexil::ModelDirectory(EDBID_FIRMWARE a_edbidfirmware, char* a_szModel, size_t a_sizetModel) {
  a_szModel[0] = '\0';
  if (a_edbidfirmware == DB_FIRMWARE_ADF) {
    const char* szModel = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY) : "";
    return COsString::SStrPrintf(a_szModel, a_sizetModel, "%s", szModel) >= 0;
  }
  if (a_edbidfirmware != DB_FIRMWARE_FLATBED) {
    OsLog(OS_LOG_ERROR, "Unrecognize a_edbidfirmware %d...", a_edbidfirmware);
    return false;
  }
  CDbLockGuard dblock;
  const char* szModel = m_pdatabase->ConfigGetString("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON);
  if (!szModel || !*szModel) {
    OsLog(OS_LOG_ERROR, "No nexil flatbed to load");
    return false;
  }
  return COsString::SStrPrintf(a_szModel, a_sizetModel, "%s", szModel) >= 0;
}

EOSSTS CDevNexil::Load(EDBID_FIRMWARE a_edbidfirmware, EDEVNEXILCALL a_edevnexilcall) {
  if (!m_pdatabase) {
    OsLog(OS_LOG_ERROR, "m_pdatabase is null...");
    return OS_STS_FAIL;
  }
  char szModel[s_sizetPath];
  const bool blModel = ModelDirectory(a_edbidfirmware, szModel, sizeof szModel);
  CDbLockRelease dblockrelease;
  COsFile* posfileGone = nullptr;
  EOSSTS eossts = OS_STS_FAIL;
  {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    eossts = blModel ? LoadMode(a_edbidfirmware, szModel, a_edevnexilcall, &posfileGone) : OS_STS_FAIL;
    if (eossts != OS_STS_SUCCESS && !posfileGone) posfileGone = ClearUnit(a_edbidfirmware);
  }
  Release(posfileGone);
  return eossts;
}

EOSSTS CDevNexil::LoadMode(EDBID_FIRMWARE a_edbidfirmware, const char* a_szModel, EDEVNEXILCALL a_edevnexilcall,
                           COsFile** a_pposfileGone) {
  DevNexilUnit* pdevnexilunit = Unit(a_edbidfirmware);
  if (!pdevnexilunit) return OS_STS_FAIL;
  // The configuration's mode (any C base) overrides the caller's.
  long lMode = a_edevnexilcall;
  const long lForce = OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILCALL, 0);
  if (lForce != 0) lMode = lForce;
  if (lMode == DEV_NEXILCALL_NONE) lMode = DEV_NEXILCALL_DRAVIXDEFAULT;
  if (lMode < DEV_NEXILCALL_INPROCESS || lMode > DEV_NEXILCALL_DRAVIXDEFAULT) {
    OsLog(OS_LOG_ERROR, "unrecognized edevnexilcall...%ld", lMode);
    return OS_STS_FAIL;
  }
  // A second load would leave the first library, or process, behind.
  if (Loaded(*pdevnexilunit)) {
    OsLog(OS_LOG_INFO, "The library is already in use...");
    return OS_STS_SUCCESS;
  }
  m_edevnexilcall = static_cast<EDEVNEXILCALL>(lMode);
  if (lMode == DEV_NEXILCALL_INPROCESS) return LoadInProcess(a_edbidfirmware, a_szModel, a_pposfileGone);
  char szExecutable[s_sizetPath] = {};
  if (!LibraryPath(a_szModel, "dravix", szExecutable, sizeof szExecutable)) return OS_STS_FAIL;
  COsFile::PathAppendExe(szExecutable, sizeof szExecutable);
  if (COsFile::Exists(szExecutable)) {
    return LoadDravix(a_edbidfirmware, a_szModel, szExecutable, static_cast<EDEVNEXILCALL>(lMode));
  }
  OsLog(OS_LOG_INFO,
        "Dravix not found, running in-process... <%s> (depending on the nexil version and OS we may abort soon)",
        szExecutable);
  m_edevnexilcall = DEV_NEXILCALL_INPROCESS;
  return LoadInProcess(a_edbidfirmware, a_szModel, a_pposfileGone);
}

bool CDevNexil::LibraryPath(const char* a_szModel, const char* a_szName, char* a_szPath, size_t a_sizetPath) {
  COsFile::PathSet(a_szPath, a_sizetPath, g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_SYSTEMDIRECTORY) : "");
  if (COsFile::PathAppend(a_szPath, a_sizetPath, a_szModel) == OS_STS_SUCCESS &&
      COsFile::PathAppend(a_szPath, a_sizetPath, "lib") == OS_STS_SUCCESS &&
      COsFile::PathAppend(a_szPath, a_sizetPath, a_szName) == OS_STS_SUCCESS) {
    return true;
  }
  OsLog(OS_LOG_ERROR, "the path does not fit...<%s> <%s>", a_szModel, a_szName);
  return false;
}

bool CDevNexil::Loaded(DevNexilUnit& a_devnexilunit) {
  switch (a_devnexilunit.edevnexilcall) {
    case DEV_NEXILCALL_INPROCESS:
      return a_devnexilunit.posfileLibrary && a_devnexilunit.posfileLibrary->SharedLibraryInUse();
    case DEV_NEXILCALL_DRAVIX:
    case DEV_NEXILCALL_DRAVIXDEFAULT: return DravixRunning(a_devnexilunit);
    default: return false;
  }
}

// <SystemDirectory>/<model>/lib/nexil, the shared-library suffix added by
// the loader.
EOSSTS CDevNexil::LoadInProcess(EDBID_FIRMWARE a_edbidfirmware, const char* a_szModel, COsFile** a_pposfileGone) {
  DevNexilUnit* pdevnexilunit = Unit(a_edbidfirmware);
  if (!pdevnexilunit) return OS_STS_FAIL;
  char szPath[s_sizetPath] = {};
  const bool blPath = LibraryPath(a_szModel, "nexil", szPath, sizeof szPath);
  // The record holds no library in use (nor a running process): it goes at
  // once.
  COsFile* posfileUnused = ClearUnit(a_edbidfirmware);
  OsMemDelete(posfileUnused);
  COsFile* posfile = blPath ? OsMemNew(COsFile) : nullptr;
  if (!posfile || posfile->SharedLibraryLoad(szPath, OS_FILEOPEN_CREATE) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "NEXIL LoadLibrary <%s>, could not find or load DLL file...", szPath);
    OsMemDelete(posfile);
    return OS_STS_FAIL;
  }
  OsLog(OS_LOG_INFO, "Loaded NEXIL <%s>...", szPath);
  auto pfnNexEntry = reinterpret_cast<PFNNEXENTRY>(
      posfile->SharedLibraryGetProc("NexEntry", reinterpret_cast<void*>(-1), OS_FILEMANGLE_NONE));
  if (!pfnNexEntry) {
    OsLog(OS_LOG_ERROR, "Unabled to load the NexEntry for the library");
    *a_pposfileGone = posfile;
    return OS_STS_FAIL;
  }
  pdevnexilunit->edevnexilcall = DEV_NEXILCALL_INPROCESS;
  pdevnexilunit->pfnNexEntry = pfnNexEntry;
  pdevnexilunit->posfileLibrary = posfile;
  return OS_STS_SUCCESS;
}

// Each unit's session ends and its interface closes before its library
// goes (a Dravix process ends after interfaceclose); a unit without a
// library is skipped.
EOSSTS CDevNexil::Unload(EDBID_FIRMWARE a_edbidfirmware) {
  COsFile* aposfileGone[s_iUnits] = {};
  {
    CExchangeLock lock(m_mutex);
    SessionEndLocked(a_edbidfirmware);
    for (EDBID_FIRMWARE edbidfirmware : {DB_FIRMWARE_ADF, DB_FIRMWARE_FLATBED}) {
      if (a_edbidfirmware != edbidfirmware && a_edbidfirmware != DB_FIRMWARE_BOTH) continue;
      DevNexilUnit& devnexilunit = m_adevnexilunit[edbidfirmware];
      if (devnexilunit.edevnexilcall == DEV_NEXILCALL_NONE) continue;
      // A Dravix process started but never reached (the open failed before
      // its first task) has no interface to close: it is stopped at once.
      const bool blReached = devnexilunit.edevnexilcall == DEV_NEXILCALL_INPROCESS || devnexilunit.blConnected;
      if (blReached) InterfaceCloseLocked(edbidfirmware);
      EndDravix(devnexilunit, blReached);
      aposfileGone[edbidfirmware] = ClearUnit(edbidfirmware);
      m_ablSessionBegun[edbidfirmware] = false;
      m_ablResourceBegun[edbidfirmware] = false;
    }
  }
  for (COsFile* posfile : aposfileGone) Release(posfile);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// The exchange
// ---------------------------------------------------------------------------
bool CDevNexil::CheckDravix(EDBID_FIRMWARE a_edbidfirmware) {
  CExchangeLock lock(m_mutex);
  return CheckUnit(a_edbidfirmware);
}

// A unit with nothing loaded counts as alive (its exchange gives no reply).
bool CDevNexil::CheckUnit(EDBID_FIRMWARE a_edbidfirmware) {
  DevNexilUnit* pdevnexilunit = Unit(a_edbidfirmware);
  if (!pdevnexilunit) return false;
  switch (pdevnexilunit->edevnexilcall) {
    case DEV_NEXILCALL_NONE:
    case DEV_NEXILCALL_INPROCESS: return true;
    case DEV_NEXILCALL_DRAVIX:
    case DEV_NEXILCALL_DRAVIXDEFAULT: return DravixRunning(*pdevnexilunit);
    default: break;
  }
  OsLog(OS_LOG_ERROR, "unrecognized edevnexilcall...");
  return false;
}

bool CDevNexil::Alive(EDBID_FIRMWARE a_edbidfirmware) {
  if (CheckUnit(a_edbidfirmware)) return true;
  OsLog(OS_LOG_ERROR, "dravix is gone...");
  return false;
}

const char* CDevNexil::NexEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask) {
  if (!a_posxmltask) {
    OsLog(OS_LOG_ERROR, "a_posxmltask is null...");
    return nullptr;
  }
  CExchangeLock lock(m_mutex);
  return KeepReply(Exchange(a_edbidfirmware, a_posxmltask));
}

const char* CDevNexil::KeepReply(const char* a_szReply) {
  if (!a_szReply) return nullptr;
  t_strReply = a_szReply;
  return t_strReply.c_str();
}

std::optional<std::string> CDevNexil::Copy(const char* a_szReply) {
  if (!a_szReply) return std::nullopt;
  return std::string(a_szReply);
}

// A unit with nothing loaded gives no reply.
const char* CDevNexil::Exchange(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask) {
  DevNexilUnit* pdevnexilunit = Unit(a_edbidfirmware);
  if (!pdevnexilunit) return nullptr;
  switch (pdevnexilunit->edevnexilcall) {
    case DEV_NEXILCALL_INPROCESS:
      if (!pdevnexilunit->pfnNexEntry) break;
      return ExchangeInProcess(a_edbidfirmware, *pdevnexilunit, a_posxmltask);
    case DEV_NEXILCALL_DRAVIX:
    case DEV_NEXILCALL_DRAVIXDEFAULT: return ExchangeDravix(a_edbidfirmware, *pdevnexilunit, a_posxmltask);
    default: break;
  }
  OsLog(OS_LOG_ERROR, "unrecognized edevnexilcall...");
  return nullptr;
}

const char* CDevNexil::Stamp(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask) {
  // Ids stay positive in the task's 31-bit field.
  ++m_u64TaskId;
  a_posxmltask->SetId(static_cast<int>((m_u64TaskId - 1) % INT_MAX + 1));
  const char* szTask = a_posxmltask->GetTaskBuffer();
  const char* szTagTask = m_aszTagTask[a_edbidfirmware];
  OsLogDebug(OS_LOG_PROTOCOL, "<%s>%s</%s>", szTagTask, szTask ? szTask : "", szTagTask);
  return szTask ? szTask : "";
}

// The library may throw or leave errno set; neither reaches the caller. A
// null reply is no reply: the fixed fail reply stands for it.
const char* CDevNexil::ExchangeInProcess(EDBID_FIRMWARE a_edbidfirmware, const DevNexilUnit& a_devnexilunit,
                                         COsXmlTask* a_posxmltask) {
  const char* szTask = Stamp(a_edbidfirmware, a_posxmltask);
  const char* szReply = nullptr;
  errno = 0;
  try {
    szReply = a_devnexilunit.pfnNexEntry(szTask);
  } catch (...) {
    errno = 0;
    OsLog(OS_LOG_ERROR, "NEXIL crashed...");
    return s_szFailReply;
  }
  errno = 0;
  if (!szReply) {
    OsLog(OS_LOG_ERROR, "NEXIL gave no reply...");
    return s_szFailReply;
  }
  const char* szTagReply = m_aszTagReply[a_edbidfirmware];
  OsLogDebug(OS_LOG_PROTOCOL, "<%s>%s</%s>", szTagReply, szReply, szTagReply);
  return szReply;
}

// ---------------------------------------------------------------------------
// Building and reading
// ---------------------------------------------------------------------------
// The builder's room is fixed: a task with more content gets a larger one,
// which it keeps.
bool CDevNexil::Begin(const char* a_szCommand, size_t a_sizetExtra) {
  const size_t sizetNeeded = a_sizetExtra + s_sizetBuilderInitial;
  if (m_posxmltask && sizetNeeded > m_sizetBuilder) {
    size_t sizetBuilder = m_sizetBuilder;
    while (sizetBuilder < sizetNeeded) sizetBuilder *= 2;
    COsXmlTask* posxmltask = OsMemNew(COsXmlTask, "", sizetBuilder);
    if (!posxmltask) {
      OsLog(OS_LOG_ERROR, "OsMemNew failed...");
      return false;
    }
    OsMemDelete(m_posxmltask);
    m_posxmltask = posxmltask;
    m_sizetBuilder = sizetBuilder;
  }
  if (!m_posxmltask || !m_preportimage) {
    OsLog(OS_LOG_ERROR, "m_posxmltask is null...");
    return false;
  }
  m_posxmltask->IsError(true);
  m_posxmltask->StartTask(0, 0, "");
  if (a_szCommand) m_posxmltask->StartCommand(a_szCommand, 1);
  return true;
}

const char* CDevNexil::Send(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand) {
  if (a_szCommand) m_posxmltask->FinalizeCommand(a_szCommand);
  m_posxmltask->FinalizeTask();
  if (m_posxmltask->IsError(true)) {
    OsLog(OS_LOG_ERROR, "the task could not be built...<%s>", a_szCommand ? a_szCommand : "");
    return nullptr;
  }
  return Exchange(a_edbidfirmware, m_posxmltask);
}

EOSSTS CDevNexil::Parsed(const char* a_szReply, EDBID_FIRMWARE a_edbidfirmware, bool a_blDatabase,
                         const char* a_szFailed, EDEVSTS* a_pedevsts) {
  std::lock_guard<std::mutex> lock(m_mutexParser);
  const EOSSTS eossts = m_preportimage->Process(a_szReply, a_edbidfirmware, a_blDatabase);
  if (a_pedevsts) *a_pedevsts = m_preportimage->GetStatus();
  if (eossts == OS_STS_SUCCESS) return OS_STS_SUCCESS;
  OsLog(OS_LOG_ERROR, "%s", a_szFailed);
  return OS_STS_FAIL;
}

EOSSTS CDevNexil::ParsedIntoDatabase(const std::optional<std::string>& a_ostrReply, EDBID_FIRMWARE a_edbidfirmware,
                                     const char* a_szFailed, EDEVSTS* a_pedevsts) {
  CDbLockGuard dblock;
  return Parsed(a_ostrReply ? a_ostrReply->c_str() : nullptr, a_edbidfirmware, true, a_szFailed, a_pedevsts);
}

EOSSTS CDevNexil::SendParsed(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand, const char* a_szFailed) {
  if (!Alive(a_edbidfirmware) || !Begin(a_szCommand)) return OS_STS_FAIL;
  return Parsed(Send(a_edbidfirmware, a_szCommand), a_edbidfirmware, false, a_szFailed);
}
