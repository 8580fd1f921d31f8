// Cutting and stamping task frames; the texts may hold any byte, NUL too.
#include "drv_cdrvuiframe.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char s_szBytes[] = "bytes='";
constexpr size_t s_sizetBytes = sizeof s_szBytes - 1;
constexpr char s_szId[] = "id='";
constexpr size_t s_sizetId = sizeof s_szId - 1;

const char* Find(const char* a_pcData, size_t a_sizetData, const char* a_szNeedle, size_t a_sizetNeedle) {
  return static_cast<const char*>(memmem(a_pcData, a_sizetData, a_szNeedle, a_sizetNeedle));
}

// Decimal digits up to a quote: 1 the number (in *a_pu64), 0 the data end
// first, -1 anything else (no digit, another character, over 20 digits or
// 64 bits). *a_psizetEnd is the quote's offset.
int Number(const char* a_pcData, size_t a_sizetData, uint64_t* a_pu64, size_t* a_psizetEnd) {
  uint64_t u64 = 0;
  for (size_t sizet = 0;; ++sizet) {
    if (sizet == a_sizetData) return sizet > CDrvUiFrame::s_sizetNumber ? -1 : 0;
    const char c = a_pcData[sizet];
    if (c == '\'') {
      if (sizet == 0) return -1;
      *a_pu64 = u64;
      *a_psizetEnd = sizet;
      return 1;
    }
    if (c < '0' || c > '9' || sizet == CDrvUiFrame::s_sizetNumber) return -1;
    const uint64_t u64Digit = static_cast<uint64_t>(c - '0');
    if (u64 > (UINT64_MAX - u64Digit) / 10) return -1;
    u64 = u64 * 10 + u64Digit;
  }
}

void Put(char* a_pcAt, uint64_t a_u64) {
  char sz[CDrvUiFrame::s_sizetNumber + 1];
  std::snprintf(sz, sizeof sz, "%020llu", static_cast<unsigned long long>(a_u64));
  std::memcpy(a_pcAt, sz, CDrvUiFrame::s_sizetNumber);
}

// The first "@<digit>" with room for the whole placeholder after it.
char* Placeholder(char* a_pcText, size_t a_sizetText, char a_cDigit) {
  const char acNeedle[2] = {'@', a_cDigit};
  const char* pc = Find(a_pcText, a_sizetText, acNeedle, sizeof acNeedle);
  if (!pc || static_cast<size_t>(a_pcText + a_sizetText - pc) < CDrvUiFrame::s_sizetNumber) return nullptr;
  return a_pcText + (pc - a_pcText);
}

}  // namespace

EDRVUIFRAME CDrvUiFrame::Next(const char* a_pcData, size_t a_sizetData, size_t* a_psizetTask,
                              const char** a_pszWhy) {
  *a_psizetTask = 0;
  *a_pszWhy = "";
  const size_t sizetLook = a_sizetData < s_sizetHeaderLimit ? a_sizetData : s_sizetHeaderLimit;
  const char* pcBytes = Find(a_pcData, sizetLook, s_szBytes, s_sizetBytes);
  if (!pcBytes) {
    if (a_sizetData < s_sizetHeaderLimit) return DRV_UIFRAME_MORE;
    *a_pszWhy = "no bytes= in the task's header";
    return DRV_UIFRAME_BAD;
  }
  const size_t sizetDigits = static_cast<size_t>(pcBytes - a_pcData) + s_sizetBytes;
  uint64_t u64Bytes = 0;
  size_t sizetQuote = 0;
  const int iNumber = Number(a_pcData + sizetDigits, sizetLook - sizetDigits, &u64Bytes, &sizetQuote);
  if (iNumber == 0) {
    if (a_sizetData < s_sizetHeaderLimit) return DRV_UIFRAME_MORE;
    *a_pszWhy = "bytes= is not closed in the task's header";
    return DRV_UIFRAME_BAD;
  }
  if (iNumber < 0) {
    *a_pszWhy = "bytes= is not a number";
    return DRV_UIFRAME_BAD;
  }
  const size_t sizetHeader = sizetDigits + sizetQuote + 1;
  if (u64Bytes == 0 || u64Bytes < sizetHeader) {
    *a_pszWhy = "bytes= is below its own header";
    return DRV_UIFRAME_BAD;
  }
  if (u64Bytes > s_sizetMaxTask) {
    *a_pszWhy = "bytes= is over the largest task";
    return DRV_UIFRAME_BAD;
  }
  *a_psizetTask = static_cast<size_t>(u64Bytes);
  return u64Bytes > a_sizetData ? DRV_UIFRAME_MORE : DRV_UIFRAME_TASK;
}

bool CDrvUiFrame::Id(const char* a_pcData, size_t a_sizetData, uint64_t* a_pu64Id) {
  *a_pu64Id = 0;
  const char* pcId = Find(a_pcData, a_sizetData, s_szId, s_sizetId);
  if (!pcId) return false;
  const size_t sizetDigits = static_cast<size_t>(pcId - a_pcData) + s_sizetId;
  size_t sizetQuote = 0;
  uint64_t u64Id = 0;
  if (Number(a_pcData + sizetDigits, a_sizetData - sizetDigits, &u64Id, &sizetQuote) != 1) return false;
  *a_pu64Id = u64Id;
  return true;
}

bool CDrvUiFrame::Stamp(char* a_pcText, size_t a_sizetText, uint64_t a_u64Id) {
  char* pcId = Placeholder(a_pcText, a_sizetText, '1');
  if (pcId) Put(pcId, a_u64Id);
  char* pcBytes = Placeholder(a_pcText, a_sizetText, '2');
  if (pcBytes) Put(pcBytes, a_sizetText);
  return pcId && pcBytes;
}
