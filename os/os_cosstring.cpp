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

void COsString::SStrCat(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  if (a_szDst && a_szSrc && std::strlen(a_szDst) + std::strlen(a_szSrc) < a_sizetDst) std::strcat(a_szDst, a_szSrc);
}

int COsString::SStrVprintf(char* a_szDst, size_t a_sizetDst, const char* a_szFormat, va_list a_valist) {
  if (!a_szDst || !a_sizetDst || !a_szFormat) return -1;
  int i = std::vsnprintf(a_szDst, a_sizetDst, a_szFormat, a_valist);
  return i >= 0 && i < static_cast<int>(a_sizetDst) ? i : -1;
}

int COsString::StrWildCmp(const char* a_szPattern, const char* a_szText) {
  const char* pszStar = nullptr;
  const char* pszRetry = nullptr;
  while (*a_szText && *a_szPattern != '*') {
    if (*a_szPattern != *a_szText && *a_szPattern != '?') return 1;
    ++a_szPattern;
    ++a_szText;
  }
  while (*a_szText) {
    if (*a_szPattern == '*') {
      if (!*++a_szPattern) return 0;
      pszStar = a_szPattern;
      pszRetry = a_szText + 1;
    } else if (*a_szPattern == *a_szText || *a_szPattern == '?') {
      ++a_szPattern;
      ++a_szText;
    } else {
      a_szPattern = pszStar;
      a_szText = pszRetry++;
    }
  }
  while (*a_szPattern == '*') ++a_szPattern;
  return static_cast<unsigned char>(*a_szPattern);
}
