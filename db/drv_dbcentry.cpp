// The database compiler's entry and its task: the exported DbcEntry (which
// starts and stops the service layer around one CDbc), the task's elements,
// the choice of what to compile for the target, and the three compilations
// in order.
#include "drv_dbcentry.h"

#include <cstring>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosresource.h"
#include "os_cosstring.h"
#include "os_osservices.h"

namespace {

// The compiler's own settings: the service layer runs as a driver named
// "driver", quiet unless PMX_DEBUG asks otherwise.
const char s_szDbcSettings[] =
    "<arguments>\n"
    "\t<uniquename>driver</uniquename>\n"
    "\t<entity>driver</entity>\n"
    "\t<loglevel>0</loglevel>\n"
    "</arguments>";

const char s_szSuccess[] = "<status>success</status>";
const char s_szFail[] = "<status>fail</status>";

// Whether a source is there to compile (then *a_pblCompile), else whether
// the library's own resource (when one is named) stands in for it.
bool SourceOrResource(const char* a_szDirectory, const char* a_szSource, const char* a_szResource,
                      bool* a_pblCompile) {
  char szPath[1024];
  *a_pblCompile = COsFile::PathJoin(szPath, sizeof szPath, a_szDirectory, a_szSource) && COsFile::Exists(szPath);
  if (*a_pblCompile) return true;
  if (a_szResource) {
    COsResource osresource;
    if (osresource.Open(OS_RESOURCE_LOCAL, a_szResource, OS_RESOURCETYPE_DATA) == OS_STS_SUCCESS) {
      osresource.Close();
      return true;
    }
  }
  OsLog(OS_LOG_ERROR, "%s is missing...", a_szSource);
  return false;
}

}  // namespace

OS_EXPORT const char* DbcEntry(const char* a_szTask) {
  static char s_szReply[256];
  // A service layer that runs already belongs to the caller (a driver
  // session, say): starting and stopping it here would tear it down.
  if (g_poscfg) {
    OsLog(OS_LOG_ERROR, "DbcEntry: the service layer is already started...");
    COsString::SStrCpy(s_szReply, sizeof s_szReply, s_szFail);
    return s_szReply;
  }
  const char* szOsXml = g_szOsXml;
  g_szOsXml = s_szDbcSettings;
  const char* szReply = s_szFail;
  if (OsServicesStart(nullptr) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "OsServicesStart failed...");
  } else if (!a_szTask) {
    OsLog(OS_LOG_ERROR, "a_szTask is null");
  } else {
    CDbc* pdbc = OsMemNew(CDbc);
    if (!pdbc) {
      OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    } else {
      szReply = pdbc->DbcEntry(a_szTask);
      if (!szReply) {
        OsLog(OS_LOG_ERROR, "null reply...");
        szReply = s_szFail;
      }
      OsMemDelete(pdbc);
    }
  }
  COsString::SStrCpy(s_szReply, sizeof s_szReply, szReply);
  OsServicesStop();
  g_szOsXml = szOsXml;
  return s_szReply;
}

CDbc::CDbc() = default;

CDbc::~CDbc() {
  FreeString(&m_dbctextSource);
  FreeString(&m_dbctextIncludes);
  FreeString(&m_dbctextMerged);
  FreeString(&m_dbctextMergeOutput);
  FreeString(&m_dbctextOutput);
}

const char* CDbc::DbcEntry(const char* a_szTask) {
  if (ParseTask(a_szTask) != OS_STS_SUCCESS || Validate() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ParseTask failed...<%s>", a_szTask);
    return s_szFail;
  }
  if (LoadLookupTable() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Lookup failed...<%s>", a_szTask);
    return s_szFail;
  }
  if (Compile() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Compile failed...<%s>", a_szTask);
    return s_szFail;
  }
  return s_szSuccess;
}

char* CDbc::TaskField(const char* a_szName, size_t* a_psizetField) {
  struct Field {
    const char* szName;
    char* psz;
    size_t sizet;
  };
  const Field afield[] = {
      {"source", m_szSource, sizeof m_szSource},
      {"include", m_szInclude, sizeof m_szInclude},
      {"destination", m_szDestination, sizeof m_szDestination},
      {"target", m_szTarget, sizeof m_szTarget},
      {"oslib", m_szOslib, sizeof m_szOslib},
  };
  for (const Field& field : afield) {
    if (std::strcmp(field.szName, a_szName) == 0) {
      *a_psizetField = field.sizet;
      return field.psz;
    }
  }
  return nullptr;
}

EOSSTS CDbc::ParseTask(const char* a_szTask) {
  COsXml osxml;
  if (osxml.DocumentLoad(a_szTask) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DocumentLoad failed...<%s>", a_szTask);
    return OS_STS_FAIL;
  }
  m_szOslib[0] = '\0';
  for (EOSSTS eossts = osxml.NodeChild(); eossts == OS_STS_SUCCESS; eossts = osxml.NodeSibling()) {
    char szName[64];
    char szContent[1024];
    if (osxml.NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "NodeGetName failed...<%s>", a_szTask);
      return OS_STS_FAIL;
    }
    if (osxml.NodeGetContent(szContent, sizeof szContent) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "NodeGetContent failed...<%s>", a_szTask);
      return OS_STS_FAIL;
    }
    size_t sizetField = 0;
    char* pszField = TaskField(szName, &sizetField);
    if (!pszField) continue;
    if (std::strlen(szContent) >= sizetField) {
      OsLog(OS_LOG_ERROR, "<%s> is too long (%d characters at most)...<%s>", szName, static_cast<int>(sizetField - 1),
            szContent);
      return OS_STS_FAIL;
    }
    COsString::SStrCpy(pszField, sizetField, szContent);
  }
  if (!*m_szSource || !*m_szDestination || !*m_szTarget) {
    OsLog(OS_LOG_ERROR, "Source, destination or target missing...<%s>", a_szTask);
    return OS_STS_FAIL;
  }
  if (!*m_szInclude) COsString::SStrCpy(m_szInclude, sizeof m_szInclude, m_szSource);
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::Validate() {
  const bool blProduct = std::strcmp(m_szTarget, "product") == 0;
  if (!blProduct && std::strcmp(m_szTarget, "component") != 0) {
    OsLog(OS_LOG_ERROR, "Unrecognized target...<%s>", m_szTarget);
    return OS_STS_FAIL;
  }
  // A component is labels and lookup; a product adds the database and keeps
  // the library's own labels or lookup when it has no source of its own.
  m_blCompileDatabase = false;
  if (!SourceOrResource(m_szSource, "labels.dbc", blProduct ? "LABELS" : nullptr, &m_blCompileLabels) ||
      !SourceOrResource(m_szSource, "lookup.dbc", blProduct ? "LOOKUP" : nullptr, &m_blCompileLookup) ||
      (blProduct && !SourceOrResource(m_szSource, "database.dbc", nullptr, &m_blCompileDatabase))) {
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::Compile() {
  if (m_blCompileDatabase && CompileDatabase() != OS_STS_SUCCESS) return OS_STS_FAIL;
  if (m_blCompileLabels && CompileLanguage() != OS_STS_SUCCESS) return OS_STS_FAIL;
  if (m_blCompileLookup && CompileLookup() != OS_STS_SUCCESS) return OS_STS_FAIL;
  return OS_STS_SUCCESS;
}

// The trampolines the grammars name: each forwards to its member.
#define DBC_DEFINE(name)                                                     \
  EOSSTS CDbc::CDbc_##name(OsXmlCallback* a_posxmlcallback) {                \
    return static_cast<CDbc*>(a_posxmlcallback->pvObject)->name(a_posxmlcallback); \
  }
DBC_HANDLERS(DBC_DEFINE)
#undef DBC_DEFINE
