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
