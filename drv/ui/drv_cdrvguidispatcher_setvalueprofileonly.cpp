// TEMPORARY: a "setvalue" that serves the "profile" selection alone, so that
// the profile selection can be used before the value changes' own
// "setvalue" is in; that handler takes this row and calls
// DispatcherSetValueProfile for the word "profile". Any other capability is
// answered "fail".
#include <cstring>

#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"
#include "os_cosxml.h"

namespace {

constexpr long s_lSetValueId = 64;    // the first child: a capability's name, or "profile"
constexpr long s_lSetValueValue = 1024;  // the second: the value

}  // namespace

EOSSTS CDrvGuiImpl::DispatcherSetValueProfileOnly(COsXml* a_posxml, long long a_llId) {
  char szId[s_lSetValueId] = "";
  char szValue[s_lSetValueValue] = "";
  bool blWhole = true;
  if (a_posxml && a_posxml->NodePush() == OS_STS_SUCCESS) {
    if (a_posxml->NodeChild() == OS_STS_SUCCESS) {
      blWhole = a_posxml->NodeGetContent(szId, sizeof szId) == OS_STS_SUCCESS && std::memchr(szId, 0, sizeof szId);
      if (blWhole && a_posxml->NodeSibling() == OS_STS_SUCCESS)
        blWhole = a_posxml->NodeGetContent(szValue, sizeof szValue) == OS_STS_SUCCESS &&
                  std::memchr(szValue, 0, sizeof szValue);
    }
    a_posxml->NodePop();
  }
  if (blWhole && std::strcmp(szId, "profile") == 0) return DispatcherSetValueProfile(a_posxml, a_llId, szValue);
  OsLog(OS_LOG_ERROR, "setvalue serves only the profile selection here...<%.63s>", blWhole ? szId : "");
  return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
}
