#include "drv_cdrvguichildren.h"

#include <cstdint>
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

bool DrvGuiNodeText(COsXml* a_posxml, char* a_szText, long a_lText) {
  if (a_lText <= 0) return false;
  std::memset(a_szText, 0, static_cast<size_t>(a_lText));
  return a_posxml->NodeGetContent(a_szText, a_lText) == OS_STS_SUCCESS &&
         std::memchr(a_szText, 0, static_cast<size_t>(a_lText)) && !a_szText[a_lText - 1];
}

bool DrvGuiReadRangeValue(const char* a_szText, long* a_plValue) {
  *a_plValue = 0;
  const char* pc = a_szText ? a_szText : "";
  const bool blNegative = *pc == '-';
  if (blNegative) ++pc;
  if (!*pc) {
    OsLog(OS_LOG_ERROR, "Not a number...<%.64s>", a_szText ? a_szText : "");
    return false;
  }
  int64_t i64Value = 0;
  for (; *pc; ++pc) {
    if (*pc < '0' || *pc > '9') {
      OsLog(OS_LOG_ERROR, "Not a number...<%.64s>", a_szText);
      return false;
    }
    i64Value = i64Value * 10 + (*pc - '0');
    if (i64Value > static_cast<int64_t>(INT32_MAX) + 1) {
      OsLog(OS_LOG_ERROR, "number beyond 32 bits...<%.64s>", a_szText);
      return false;
    }
  }
  if (blNegative) i64Value = -i64Value;
  if (i64Value > INT32_MAX || i64Value < INT32_MIN) {
    OsLog(OS_LOG_ERROR, "number beyond 32 bits...<%.64s>", a_szText);
    return false;
  }
  *a_plValue = static_cast<long>(i64Value);
  return true;
}
