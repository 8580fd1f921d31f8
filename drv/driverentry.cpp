// Exported driver and data entries. The driver session is not built yet:
// both answer the fixed fail reply, which every caller reads as "fail".
#include "os_def.h"

namespace {
const char s_szFailReply[] =
    "<task id='00000000000000000001' reply='00000000000000000000' bytes='00000000000000000000'>\n"
    "\t<reportstatus>\n"
    "\t\t<status>fail</status>\n"
    "\t</reportstatus>\n"
    "</task>";
}  // namespace

OS_EXPORT const char* DriverEntry(const char* a_szTask) { return s_szFailReply; }

OS_EXPORT const char* DataEntry(const char* a_szTask) { return s_szFailReply; }
