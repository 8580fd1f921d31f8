// The lookup dump: one line per record and one per value, in the log
// directory, named with the time of day.
#include <cstring>

#include "db_cdblookupimpl.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costime.h"

namespace {

constexpr size_t s_sizetPath = 512;
constexpr size_t s_sizetLine = 512;

const char* Text(const char* a_sz) { return a_sz ? a_sz : ""; }

// "<directory>/<name>_hhmmssmmm<extension>": the stamp goes before the
// name's last dot, or at its end.
bool DumpPath(const char* a_szFile, char* a_szPath, size_t a_sizetPath) {
  OsTimeRecord ostimerecord = {};
  COsTime::GetLocalTime(&ostimerecord);
  char szStamp[32];
  COsString::SStrPrintf(szStamp, sizeof szStamp, "_%02d%02d%02d%03d", ostimerecord.u16Hour, ostimerecord.u16Minute,
                        ostimerecord.u16Second, ostimerecord.u16Milliseconds);
  const char* szName = a_szFile ? a_szFile : "PmxDbLookup.txt";
  const char* pcDot = std::strrchr(szName, '.');
  const size_t sizetStem = pcDot ? static_cast<size_t>(pcDot - szName) : std::strlen(szName);
  char szFile[s_sizetPath];
  if (COsString::SStrPrintf(szFile, sizeof szFile, "%.*s%s%s", static_cast<int>(sizetStem), szName, szStamp,
                            pcDot ? pcDot : "") < 0) {
    return false;
  }
  const char* szDirectory = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : "";
  return COsFile::PathJoin(a_szPath, a_sizetPath, szDirectory, szFile);
}

}  // namespace

void CDbLookupImpl::Dump(const char* a_szFile) {
  if (!m_pdblookup2) return;
  char szPath[s_sizetPath] = {};
  COsFile osfile;
  if (!DumpPath(a_szFile, szPath, sizeof szPath) ||
      osfile.Open(szPath, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_EXCLUSIVE) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Error creating...<%s>", szPath);
    return;
  }
  char szLine[s_sizetLine];
  for (long l = 0; l < m_lRecord; ++l) {
    const DbLookup2& dblookup2 = m_pdblookup2[l];
    COsString::SStrPrintf(szLine, sizeof szLine, "%-40.40s(%4ld) %-40.40s %-40.40s 0x%04lx %-40.40s %4d\r\n",
                          Text(dblookup2.szDbId), static_cast<long>(dblookup2.edbid), Text(dblookup2.szLexicon),
                          Text(dblookup2.szTwainLexicon), static_cast<unsigned long>(dblookup2.lTwainGroup),
                          Text(dblookup2.szLabel), static_cast<int>(dblookup2.lEnumCount));
    osfile.Write(szLine, std::strlen(szLine));
    for (long lEnum = 0; lEnum < dblookup2.lEnumCount; ++lEnum) {
      const DbLookupEnum& dblookupenum = dblookup2.pEnums[lEnum];
      COsString::SStrPrintf(szLine, sizeof szLine, "\t%-40.40s %-40.40s %-40.40s\r\n", Text(dblookupenum.szDbIdEnum),
                            Text(dblookupenum.szLexiconEnum), Text(dblookupenum.szLabel));
      osfile.Write(szLine, std::strlen(szLine));
    }
  }
  osfile.Close();
}
