// The INI profiles of earlier drivers: not converted yet. A profile file
// that is not XML fails its load (logged), and nothing is written.
#include "db_cdbprofileitem.h"
#include "os_coslog.h"

EOSSTS CDbProfileItem::ConvertIni2Xml(const char* a_szSource, bool, char*, size_t) {
  OsLog(OS_LOG_ERROR, "Unsupported profile operation...<%s> <%s>", "ConvertIni2Xml", a_szSource ? a_szSource : "");
  return OS_STS_FAIL;
}
