// The lookup dump: one line per record and one per value, in the log
// directory, named with the time of day.
#include <cstring>

#include "db_cdblookupimpl.h"
#include "db_dumppath.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

constexpr size_t s_sizetPath = 512;
constexpr size_t s_sizetLine = 512;

const char* Text(const char* a_sz) { return a_sz ? a_sz : ""; }

}  // namespace

void CDbLookupImpl::Dump(const char* a_szFile) {
  if (!m_pdblookup2) return;
  char szPath[s_sizetPath] = {};
  COsFile osfile;
  if (!DbDumpPath(a_szFile ? a_szFile : "PmxDbLookup.txt", szPath, sizeof szPath) ||
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
