// Placeholder until the bounded string toolkit lands.
#include "os_cosstring.h"

#include <cstdio>
#include <cstring>

COsString* g_posstring = nullptr;

void COsString::SStrCpy(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  if (a_szDst && a_szSrc && std::strlen(a_szSrc) < a_sizetDst) std::strcpy(a_szDst, a_szSrc);
}

int COsString::SStrPrintf(char* a_szDst, size_t a_sizetDst, const char* a_szFormat, ...) {
  va_list va;
  va_start(va, a_szFormat);
  int i = std::vsnprintf(a_szDst, a_sizetDst, a_szFormat, va);
  va_end(va);
  return i < static_cast<int>(a_sizetDst) ? i : -1;
}

// Needed by the XML reader and task builder before the toolkit lands.
const char* COsString::StrNstr(const char* a_szHaystack, const char* a_szNeedle, size_t a_sizetCount) {
  if (!a_szHaystack || !a_szNeedle) return nullptr;
  if (!a_szNeedle[0]) return (!a_szHaystack[0] && a_sizetCount) ? a_szHaystack : nullptr;
  size_t i = 0, j = 0;
  while (i < a_sizetCount && j < a_sizetCount && a_szHaystack[i]) {
    if (!a_szNeedle[j]) return a_szHaystack + i - j;
    j = (a_szHaystack[i] == a_szNeedle[j]) ? j + 1 : 0;
    ++i;
  }
  return a_szNeedle[j] ? nullptr : a_szHaystack + i - j;
}

int COsString::PtrToStr(char* a_szDst, size_t a_sizetDst, const void* a_pvValue) {
  if (!a_szDst || a_sizetDst == 0) return 0;
  if (a_sizetDst < 17) {
    a_szDst[0] = '\0';
    return 0;
  }
  std::snprintf(a_szDst, a_sizetDst, "%016llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(a_pvValue)));
  return 16;
}
