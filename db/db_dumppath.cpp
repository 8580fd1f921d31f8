// The path of a diagnostic dump.
#include "db_dumppath.h"

#include <cstring>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_cosstring.h"
#include "os_costime.h"

bool DbDumpPath(const char* a_szName, char* a_szPath, size_t a_sizetPath) {
  OsTimeRecord ostimerecord = {};
  COsTime::GetLocalTime(&ostimerecord);
  char szStamp[32];
  COsString::SStrPrintf(szStamp, sizeof szStamp, "_%02d%02d%02d%03d", ostimerecord.u16Hour, ostimerecord.u16Minute,
                        ostimerecord.u16Second, ostimerecord.u16Milliseconds);
  const char* pcDot = std::strrchr(a_szName, '.');
  const size_t sizetStem = pcDot ? static_cast<size_t>(pcDot - a_szName) : std::strlen(a_szName);
  char szFile[512];
  if (COsString::SStrPrintf(szFile, sizeof szFile, "%.*s%s%s", static_cast<int>(sizetStem), a_szName, szStamp,
                            pcDot ? pcDot : "") < 0) {
    return false;
  }
  const char* szDirectory = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : "";
  return COsFile::PathJoin(a_szPath, a_sizetPath, szDirectory, szFile);
}
