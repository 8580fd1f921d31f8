// The sibling run-time library "pelum": loaded on demand, asked once for the
// functions it offers (its reply to interfaceopen), told at the end.
#include <cstring>
#include <initializer_list>

#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

namespace {
constexpr size_t kReply = 2048;
void* const kLoadedLibrary = reinterpret_cast<void*>(-1);  // the library the file object loaded

// The library beside the driver, else the one below the system directory.
bool LoadPelum(COsFile* a_posfile, COsCfgImpl* a_poscfgimpl) {
  char szPath[COsCfgImpl::kField];
  COsString::SStrCpy(szPath, sizeof szPath, a_poscfgimpl->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH));
  char* szSlash = std::strrchr(szPath, '/');
  if (szSlash) {
    *szSlash = '\0';
  } else {
    szPath[0] = '\0';
  }
  if (COsFile::PathAppend(szPath, sizeof szPath, "pelum") == OS_STS_SUCCESS &&
      a_posfile->SharedLibraryLoad(szPath, OS_FILEOPEN_CREATE) == OS_STS_SUCCESS) {
    return true;
  }
  COsFile::PathSet(szPath, sizeof szPath, a_poscfgimpl->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_SYSTEMDIRECTORY));
  for (const char* szComponent : {a_poscfgimpl->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY), "lib", "pelum"}) {
    if (COsFile::PathAppend(szPath, sizeof szPath, szComponent) != OS_STS_SUCCESS) return false;
  }
  return a_posfile->SharedLibraryLoad(szPath, OS_FILEOPEN_CREATE) == OS_STS_SUCCESS;
}
}  // namespace

// Asks the library once; a library without its entry gives null and is
// asked again next time.
const char* COsCfgImpl::PelumGetReportFunctions() {
  if (m_szPelumReply) return m_szPelumReply;
  char* szReply = static_cast<char*>(OsMemAlloc(kReply));
  if (!szReply) {
    OsLog(OS_LOG_ASSERT, "OsMemAlloc failed...");
    return nullptr;
  }
  if (!m_posfilePelum) {
    m_posfilePelum = OsMemNew(COsFile);
    if (!m_posfilePelum) {
      OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
      OsMemFree(szReply);
      return nullptr;
    }
  }
  if (!m_posfilePelum->SharedLibraryInUse() && !LoadPelum(m_posfilePelum, this)) {
    OsLogDebug(OS_LOG_INFO, "pelum not loaded...");
  }
  if (m_posfilePelum->SharedLibraryInUse()) {
    m_pfnPelumEntry = reinterpret_cast<OsCfgPelumEntry>(
        m_posfilePelum->SharedLibraryGetProc("PelumEntry", kLoadedLibrary, OS_FILEMANGLE_NONE));
    if (!m_pfnPelumEntry) {
      OsLog(OS_LOG_ASSERT, "SharedLibraryGetProc failed...");
      m_posfilePelum->SharedLibraryFree();
      OsMemFree(szReply);
      return nullptr;
    }
    COsXmlTask osxmltask(nullptr, COsXmlTask::s_sizetMinimumCapacity);
    osxmltask.StartTask(1, 0, nullptr);
    osxmltask.StartCommand("interfaceopen", 1);
    osxmltask.FinalizeCommand("interfaceopen");
    osxmltask.FinalizeTask();
    const char* szAnswer = m_pfnPelumEntry(osxmltask.GetTaskBuffer());
    if (szAnswer) COsString::SStrNcpy(szReply, kReply, szAnswer, kReply - 1);
  }
  if (!szReply[0]) COsString::SStrCpy(szReply, kReply, COsXmlTask::ReportStatusSuccess());
  m_szPelumReply = szReply;
  return m_szPelumReply;
}

// The library hears interfaceclose before it is unloaded.
void COsCfgImpl::PelumShutdown() {
  if (m_posfilePelum) {
    if (m_pfnPelumEntry && m_posfilePelum->SharedLibraryInUse()) {
      m_pfnPelumEntry("<task><interfaceclose></interfaceclose></task>");
    }
    m_posfilePelum->SharedLibraryFree();
    OsMemDelete(m_posfilePelum);
  }
  m_pfnPelumEntry = nullptr;
  if (m_szPelumReply) OsMemFree(m_szPelumReply);
  m_szPelumReply = nullptr;
}

const char* COsCfg::PelumGetReportFunctions() {
  if (!m_poscfgimpl) {
    OsLog(OS_LOG_ASSERT, "m_poscfgimpl is null...");
    return nullptr;
  }
  return m_poscfgimpl->PelumGetReportFunctions();
}
