// Exported service-layer entries. The start-up sequence is not built yet:
// each entry answers a fixed failure.
#include "os_def.h"

OS_EXPORT int OsServicesStart(const char* a_szCaller) { return OS_STS_FAIL; }

OS_EXPORT int OsServicesStop() { return OS_STS_FAIL; }

OS_EXPORT int OsServicesSetArguments(const char* a_szLogPath, const char* a_szLogModel, const char* a_szLogLevel,
                                     const char* a_szArguments, const char* a_szRootPath, bool a_blFromInterfaceOpen,
                                     bool a_blForceSetAccess) {
  return OS_STS_FAIL;
}

OS_EXPORT int OsServicesProcessInterfaceOpen(const char* a_szTask) { return OS_STS_FAIL; }
