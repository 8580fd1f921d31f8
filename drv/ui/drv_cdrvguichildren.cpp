#include "drv_cdrvguichildren.h"

#include <cstring>
#include <vector>

#include "os_coslog.h"
#include "os_cosxml.h"

namespace {

constexpr long s_lChildName = 256;  // a simulation pair's name holds 254

}  // namespace

void DrvGuiEachChild(COsXml* a_posxml, long a_lText,
                     const std::function<bool(const char* a_szName, const char* a_szText)>& a_fn) {
  if (a_posxml->NodePush() != OS_STS_SUCCESS) return;
  if (a_posxml->NodeChild() == OS_STS_SUCCESS) {
    std::vector<char> vecc(static_cast<size_t>(a_lText));
    bool blMore = true;
    do {
      char szName[s_lChildName] = "";
      if (a_posxml->NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS) {
        OsLog(OS_LOG_ERROR, "NodeGetName failed...");
        continue;
      }
      vecc[0] = 0;
      if (a_posxml->NodeGetContent(vecc.data(), a_lText) != OS_STS_SUCCESS ||
          !std::memchr(vecc.data(), 0, vecc.size())) {
        OsLog(OS_LOG_ERROR, "The text of <%s> does not fit %ld bytes, skipped...", szName, a_lText);
        continue;
      }
      blMore = a_fn(szName, vecc.data());
    } while (blMore && a_posxml->NodeSibling() == OS_STS_SUCCESS);
  }
  a_posxml->NodePop();
}
