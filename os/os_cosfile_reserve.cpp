// Block reservation for files that are written through a mapping.
#include <fcntl.h>

#include <atomic>
#include <cerrno>

#include "os_cosfile.h"
#include "os_coslog.h"

namespace {
std::atomic<int (*)(int, off_t, off_t)> s_pfnReserveSeam{nullptr};
}  // namespace

void COsFile::SetReserveSeam(int (*a_pfnReserve)(int, off_t, off_t)) { s_pfnReserveSeam.store(a_pfnReserve); }

EOSSTS COsFile::Reserve(int a_iFd, int64_t a_i64Size, const char* a_szPath) {
  if (a_iFd < 0 || a_i64Size <= 0) return OS_STS_SUCCESS;
  int (*pfnReserve)(int, off_t, off_t) = s_pfnReserveSeam.load();
  if (!pfnReserve) pfnReserve = &posix_fallocate;
  int iResult;
  do {
    iResult = pfnReserve(a_iFd, 0, static_cast<off_t>(a_i64Size));
  } while (iResult == EINTR);
  if (iResult == 0) return OS_STS_SUCCESS;
  OsLog(OS_LOG_ERROR, "posix_fallocate failed...%d %lld <%s>", iResult, static_cast<long long>(a_i64Size),
        a_szPath ? a_szPath : "");
  return OS_STS_FAIL;
}
