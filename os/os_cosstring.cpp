// Bounded string toolkit: copy, append, print, trim, search and tokenise.
// Every write is checked against the destination size first; a copy or
// append that does not fit is refused whole, a print keeps the cut text.
#include "os_cosstring.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <unistd.h>
#include <cerrno>

#include "os_coslog.h"

COsString* g_posstring = nullptr;

COsString::COsString() = default;
COsString::~COsString() = default;

namespace {

// Sizes are logged with %u, as the callers' messages expect.
unsigned U(size_t a_sizet) { return static_cast<unsigned>(a_sizet); }

// Length of a text that must be terminated within a_sizetMax elements;
// a_sizetMax when it is not (the caller treats that as "does not fit").
size_t BoundedLen(const char* a_sz, size_t a_sizetMax) { return strnlen(a_sz, a_sizetMax); }
size_t BoundedLen(const wchar_t* a_wsz, size_t a_sizetMax) { return wcsnlen(a_wsz, a_sizetMax); }

size_t Len(const char* a_sz) { return std::strlen(a_sz); }
size_t Len(const wchar_t* a_wsz) { return std::wcslen(a_wsz); }

// The shared bodies of the narrow and wide copy and append operations. They
// return true when done; false when the text does not fit (nothing written).
template <typename T>
bool CopyWhole(T* a_dst, size_t a_sizetDst, const T* a_src) {
  size_t n = Len(a_src);
  if (n >= a_sizetDst) return false;
  std::memmove(a_dst, a_src, (n + 1) * sizeof(T));
  return true;
}

// strncpy semantics within the destination: at most count characters, the
// rest of count zero-filled, no terminator when the source is that long.
// When count exceeds the size the zero fill stops at the size.
template <typename T>
bool CopyCounted(T* a_dst, size_t a_sizetDst, const T* a_src, size_t a_sizetCount) {
  size_t n;
  size_t fill;
  if (a_sizetCount < a_sizetDst) {
    n = BoundedLen(a_src, a_sizetCount);
    fill = a_sizetCount;
  } else {
    n = BoundedLen(a_src, a_sizetDst);
    if (n >= a_sizetDst) return false;
    fill = a_sizetDst;
  }
  std::memmove(a_dst, a_src, n * sizeof(T));
  for (size_t i = n; i < fill; ++i) a_dst[i] = T(0);
  return true;
}

template <typename T>
bool AppendWhole(T* a_dst, size_t a_sizetDst, const T* a_src) {
  size_t d = BoundedLen(a_dst, a_sizetDst);
  if (d >= a_sizetDst) return false;
  size_t n = Len(a_src);
  if (n >= a_sizetDst - d) return false;
  std::memmove(a_dst + d, a_src, n * sizeof(T));
  a_dst[d + n] = T(0);
  return true;
}

// Appends at most count characters and always a terminator.
template <typename T>
bool AppendCounted(T* a_dst, size_t a_sizetDst, const T* a_src, size_t a_sizetCount) {
  size_t d = BoundedLen(a_dst, a_sizetDst);
  if (d >= a_sizetDst) return false;
  size_t room = a_sizetDst - d;  // includes the terminator
  size_t n = BoundedLen(a_src, a_sizetCount);
  if (n >= room) return false;
  std::memmove(a_dst + d, a_src, n * sizeof(T));
  a_dst[d + n] = T(0);
  return true;
}

// vsnprintf into dst; the characters written, or -1 when the text did not
// fit (dst then holds the cut, terminated text) or could not be formatted.
int PrintInto(char* a_szDst, size_t a_sizetDst, const char* a_szFormat, va_list a_valist) {
  int i = std::vsnprintf(a_szDst, a_sizetDst, a_szFormat, a_valist);
  if (i < 0) {
    a_szDst[a_sizetDst - 1] = '\0';
    return -1;
  }
  return static_cast<size_t>(i) < a_sizetDst ? i : -1;
}

// The print family shares one body; a_szName names the caller in its
// messages ("SStrPrintf failed...", "SStrVprintf failed...", ...).
int PrintChecked(const char* a_szName, char* a_szDst, size_t a_sizetDst, const char* a_szFormat,
                 va_list a_valist) {
  if (!a_szDst || !a_sizetDst || !a_szFormat) {
    OsLog(OS_LOG_ASSERT, "%s failed...%p %u %p", a_szName, static_cast<void*>(a_szDst), U(a_sizetDst),
          static_cast<const void*>(a_szFormat));
    return -1;
  }
  int i = PrintInto(a_szDst, a_sizetDst, a_szFormat, a_valist);
  if (i < 0) OsLog(OS_LOG_ASSERT, "%s failed...<%s>", a_szName, a_szFormat);
  return i;
}

}  // namespace

// ---------------------------------------------------------------------------
// Copy and append
// ---------------------------------------------------------------------------

void COsString::SStrCpy(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  if (!a_szDst || !a_sizetDst || !a_szSrc) {
    OsLog(OS_LOG_ASSERT, "SStrCpy failed...%p %u %p", static_cast<void*>(a_szDst), U(a_sizetDst),
          static_cast<const void*>(a_szSrc));
    return;
  }
  if (!CopyWhole(a_szDst, a_sizetDst, a_szSrc)) OsLog(OS_LOG_ASSERT, "SStrCpy failed...<%s>", a_szSrc);
}

void COsString::SStrNcpy(char* a_szDst, size_t a_sizetDst, const char* a_szSrc, size_t a_sizetCount) {
  if (!a_szDst || !a_sizetDst || !a_szSrc || !a_sizetCount) {
    OsLog(OS_LOG_ASSERT, "SStrNcpy failed...%p %u %p %u", static_cast<void*>(a_szDst), U(a_sizetDst),
          static_cast<const void*>(a_szSrc), U(a_sizetCount));
    return;
  }
  if (!CopyCounted(a_szDst, a_sizetDst, a_szSrc, a_sizetCount)) {
    OsLog(OS_LOG_ASSERT, "SStrNcpy failed...<%s>", a_szSrc);
  }
}

void COsString::SStrCat(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  if (!a_szDst || !a_sizetDst || !a_szSrc) {
    OsLog(OS_LOG_ASSERT, "SStrCat failed...%p %u %p", static_cast<void*>(a_szDst), U(a_sizetDst),
          static_cast<const void*>(a_szSrc));
    return;
  }
  if (!AppendWhole(a_szDst, a_sizetDst, a_szSrc)) OsLog(OS_LOG_ASSERT, "SStrCat failed...<%s>", a_szSrc);
}

void COsString::SStrNcat(char* a_szDst, size_t a_sizetDst, const char* a_szSrc, size_t a_sizetCount) {
  if (!a_szDst || !a_sizetDst || !a_szSrc) {
    // The size is shown as a pointer in this message, as it always was.
    OsLog(OS_LOG_ASSERT, "SStrNcat failed...%p %p %p %u", static_cast<void*>(a_szDst),
          reinterpret_cast<void*>(static_cast<uintptr_t>(a_sizetDst)), static_cast<const void*>(a_szSrc),
          U(a_sizetCount));
    return;
  }
  if (!AppendCounted(a_szDst, a_sizetDst, a_szSrc, a_sizetCount)) {
    OsLog(OS_LOG_ASSERT, "SStrNcat failed...<%s>", a_szSrc);
  }
}

// Multibyte texts are handled as bytes.
void COsString::SMbsCpy(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  SStrCpy(a_szDst, a_sizetDst, a_szSrc);
}
void COsString::SMbsNcpy(char* a_szDst, size_t a_sizetDst, const char* a_szSrc, size_t a_sizetCount) {
  SStrNcpy(a_szDst, a_sizetDst, a_szSrc, a_sizetCount);
}
void COsString::SMbsCat(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  SStrCat(a_szDst, a_sizetDst, a_szSrc);
}
void COsString::SMbsNcat(char* a_szDst, size_t a_sizetDst, const char* a_szSrc, size_t a_sizetCount) {
  SStrNcat(a_szDst, a_sizetDst, a_szSrc, a_sizetCount);
}

void COsString::SWcsCpy(wchar_t* a_wszDst, size_t a_sizetDst, const wchar_t* a_wszSrc) {
  if (!a_wszDst || !a_sizetDst || !a_wszSrc) {
    OsLog(OS_LOG_ASSERT, "SWcsCpy failed...%p %u %p", static_cast<void*>(a_wszDst), U(a_sizetDst),
          static_cast<const void*>(a_wszSrc));
    return;
  }
  if (!CopyWhole(a_wszDst, a_sizetDst, a_wszSrc)) OsLog(OS_LOG_ASSERT, "SWcsCpy failed...<%S>", a_wszSrc);
}

void COsString::SWcsNcpy(wchar_t* a_wszDst, size_t a_sizetDst, const wchar_t* a_wszSrc, size_t a_sizetCount) {
  if (!a_wszDst || !a_sizetDst || !a_wszSrc || !a_sizetCount) {
    OsLog(OS_LOG_ASSERT, "SWcsNcpy failed...%p %u %p %u", static_cast<void*>(a_wszDst), U(a_sizetDst),
          static_cast<const void*>(a_wszSrc), U(a_sizetCount));
    return;
  }
  if (!CopyCounted(a_wszDst, a_sizetDst, a_wszSrc, a_sizetCount)) {
    OsLog(OS_LOG_ASSERT, "SWcsNcpy failed...<%S>", a_wszSrc);
  }
}

void COsString::SWcsCat(wchar_t* a_wszDst, size_t a_sizetDst, const wchar_t* a_wszSrc) {
  if (!a_wszDst || !a_sizetDst || !a_wszSrc) {
    OsLog(OS_LOG_ASSERT, "SWcsCat failed...%p %u %p", static_cast<void*>(a_wszDst), U(a_sizetDst),
          static_cast<const void*>(a_wszSrc));
    return;
  }
  if (!AppendWhole(a_wszDst, a_sizetDst, a_wszSrc)) OsLog(OS_LOG_ASSERT, "SWcsCat failed...<%S>", a_wszSrc);
}

void COsString::SWcsNcat(wchar_t* a_wszDst, size_t a_sizetDst, const wchar_t* a_wszSrc, size_t a_sizetCount) {
  if (!a_wszDst || !a_sizetDst || !a_wszSrc || !a_sizetCount) {
    OsLog(OS_LOG_ASSERT, "SWcsNcat failed...%p %u %p %u", static_cast<void*>(a_wszDst), U(a_sizetDst),
          static_cast<const void*>(a_wszSrc), U(a_sizetCount));
    return;
  }
  if (!AppendCounted(a_wszDst, a_sizetDst, a_wszSrc, a_sizetCount)) {
    OsLog(OS_LOG_ASSERT, "SWcsNcat failed...<%S>", a_wszSrc);
  }
}

// ---------------------------------------------------------------------------
// Formatting
// ---------------------------------------------------------------------------

int COsString::SStrPrintf(char* a_szDst, size_t a_sizetDst, const char* a_szFormat, ...) {
  va_list va;
  va_start(va, a_szFormat);
  int i = PrintChecked("SStrPrintf", a_szDst, a_sizetDst, a_szFormat, va);
  va_end(va);
  return i;
}

int COsString::SStrVprintf(char* a_szDst, size_t a_sizetDst, const char* a_szFormat, va_list a_valist) {
  return PrintChecked("SStrVprintf", a_szDst, a_sizetDst, a_szFormat, a_valist);
}

int COsString::SMbsPrintf(char* a_szDst, size_t a_sizetDst, const char* a_szFormat, ...) {
  va_list va;
  va_start(va, a_szFormat);
  int i = PrintChecked("SMbsPrintf", a_szDst, a_sizetDst, a_szFormat, va);
  va_end(va);
  return i;
}

// A text that does not fit is reported by the wide formatter's negative
// result, passed on unchanged; dst is still left terminated.
int COsString::SWcsPrintf(wchar_t* a_wszDst, size_t a_sizetDst, const wchar_t* a_wszFormat, ...) {
  if (!a_wszDst || !a_sizetDst || !a_wszFormat) {
    OsLog(OS_LOG_ASSERT, "SWcsPrintf failed...%p %u %p", static_cast<void*>(a_wszDst), U(a_sizetDst),
          static_cast<const void*>(a_wszFormat));
    return -1;
  }
  va_list va;
  va_start(va, a_wszFormat);
  int i = std::vswprintf(a_wszDst, a_sizetDst, a_wszFormat, va);
  va_end(va);
  if (i < 0) a_wszDst[a_sizetDst - 1] = L'\0';
  return i;
}

int COsString::SStrCatf(char* a_szDst, size_t a_sizetDst, const char* a_szFormat, ...) {
  if (!a_szDst || !a_sizetDst || !a_szFormat) {
    OsLog(OS_LOG_ASSERT, "SStrCatf failed...%p %u %p", static_cast<void*>(a_szDst), U(a_sizetDst),
          static_cast<const void*>(a_szFormat));
    return -1;
  }
  size_t d = BoundedLen(a_szDst, a_sizetDst);
  int i = -1;
  if (d < a_sizetDst) {
    va_list va;
    va_start(va, a_szFormat);
    i = PrintInto(a_szDst + d, a_sizetDst - d, a_szFormat, va);
    va_end(va);
  }
  if (i < 0) {
    OsLog(OS_LOG_ASSERT, "SStrCatf failed...<%s>", a_szFormat);
    return -1;
  }
  return static_cast<int>(d + static_cast<size_t>(i));
}

// ---------------------------------------------------------------------------
// Text helpers
// ---------------------------------------------------------------------------

char* COsString::SStrTok(char* a_szText, const char* a_szDelimiters, char** a_pszSave) {
  if (!a_szDelimiters || !a_pszSave) {
    OsLog(OS_LOG_ASSERT, "SStrTok failed...%p %p", static_cast<const void*>(a_szDelimiters),
          static_cast<void*>(a_pszSave));
    return nullptr;
  }
  // Continuing without a text or a position has nothing left to split.
  if (!a_szText && !*a_pszSave) return nullptr;
  return strtok_r(a_szText, a_szDelimiters, a_pszSave);
}

wchar_t* COsString::SWcsTok(wchar_t* a_wszText, const wchar_t* a_wszDelimiters, wchar_t** a_pwszSave) {
  if (!a_wszDelimiters || !a_pwszSave) {
    OsLog(OS_LOG_ASSERT, "SWcsTok failed...%p %p", static_cast<const void*>(a_wszDelimiters),
          static_cast<void*>(a_pwszSave));
    return nullptr;
  }
  if (!a_wszText && !*a_pwszSave) return nullptr;
  return std::wcstok(a_wszText, a_wszDelimiters, a_pwszSave);
}

void COsString::SStrTrim(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  if (!a_szDst || !a_sizetDst || !a_szSrc) {
    OsLog(OS_LOG_ASSERT, "SStrTrim failed...%p %u %p", static_cast<void*>(a_szDst), U(a_sizetDst),
          static_cast<const void*>(a_szSrc));
    return;
  }
  const char* first = StrFirstNonWhitespace(a_szSrc);
  if (!*first) {
    a_szDst[0] = '\0';
    return;
  }
  const char* last = first + std::strlen(first) - 1;
  while (last > first && std::isspace(static_cast<unsigned char>(*last))) --last;
  size_t n = static_cast<size_t>(last - first) + 1;
  if (n >= a_sizetDst) {
    OsLog(OS_LOG_ASSERT, "SStrTrim failed...<%s>", a_szSrc);
    return;
  }
  std::memmove(a_szDst, first, n);  // dst may be src itself
  a_szDst[n] = '\0';
}

const char* COsString::StrFirstNonWhitespace(const char* a_szSrc) {
  if (!a_szSrc) {
    OsLog(OS_LOG_ASSERT, "a_szSrc is null...");
    return nullptr;
  }
  while (*a_szSrc && std::isspace(static_cast<unsigned char>(*a_szSrc))) ++a_szSrc;
  return a_szSrc;
}

const char* COsString::StrFirstWhitespace(const char* a_szSrc) {
  if (!a_szSrc) {
    OsLog(OS_LOG_ASSERT, "a_szSrc is null...");
    return nullptr;
  }
  while (*a_szSrc && !std::isspace(static_cast<unsigned char>(*a_szSrc))) ++a_szSrc;
  return a_szSrc;
}

size_t COsString::SStrLen(const char* a_szSrc, size_t a_sizetSrc) {
  if (!a_szSrc) return static_cast<size_t>(-1);
  const void* pvEnd = std::memchr(a_szSrc, '\0', a_sizetSrc);
  if (pvEnd) return static_cast<size_t>(static_cast<const char*>(pvEnd) - a_szSrc);
  // Show at most the first 16 bytes, never reading past the buffer.
  char szHead[17] = {};
  std::memcpy(szHead, a_szSrc, a_sizetSrc < 16 ? a_sizetSrc : 16);
  OsLog(OS_LOG_ASSERT, "SStrLen failed...<%16.16s>", szHead);
  return static_cast<size_t>(-1);
}

size_t COsString::SUtf8Len(const char* a_szSrc) {
  if (!a_szSrc) {
    OsLog(OS_LOG_ASSERT, "SUtf8Len failed...%p", static_cast<const void*>(a_szSrc));
    return 0;
  }
  if (!*a_szSrc) return 0;
  size_t n = std::mbstowcs(nullptr, a_szSrc, 0);
  if (n == static_cast<size_t>(-1)) {
    OsLog(OS_LOG_ASSERT, "MultiByteToWideChar failed <%s>", a_szSrc);
    return 0;
  }
  return n;
}

// The whole match must lie within the first count characters of haystack
// (and before its terminator). Every start position is tried, so a partial
// match that fails does not hide a match beginning inside it.
const char* COsString::StrNstr(const char* a_szHaystack, const char* a_szNeedle, size_t a_sizetCount) {
  if (!a_szHaystack || !a_szNeedle) {
    OsLog(OS_LOG_ASSERT, "StrNstr failed...%p %p", static_cast<const void*>(a_szHaystack),
          static_cast<const void*>(a_szNeedle));
    return nullptr;
  }
  if (!*a_szNeedle) return (!*a_szHaystack && a_sizetCount) ? a_szHaystack : nullptr;
  size_t n = std::strlen(a_szNeedle);
  if (n > a_sizetCount) return nullptr;
  for (size_t i = 0; i + n <= a_sizetCount && a_szHaystack[i]; ++i) {
    // strncmp stops at haystack's terminator, which never equals a needle byte.
    if (std::strncmp(a_szHaystack + i, a_szNeedle, n) == 0) return a_szHaystack + i;
  }
  return nullptr;
}

char* COsString::SStrGet(char* a_szDst, size_t a_sizetDst) {
  if (!a_szDst || !a_sizetDst) {
    OsLog(OS_LOG_ASSERT, "SStrGet failed...%p %u", static_cast<void*>(a_szDst), U(a_sizetDst));
    return nullptr;
  }
  size_t i = 0;
  while (i < a_sizetDst - 1) {
    char c;
    ssize_t r = read(STDIN_FILENO, &c, 1);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      a_szDst[i] = '\0';
      return nullptr;
    }
    if (c == '\n' || c == '\r') break;
    a_szDst[i++] = c;
  }
  a_szDst[i] = '\0';
  return a_szDst;
}

// Two-pointer wildcard match: on a mismatch after a '*', the pattern goes
// back to just after that '*' and the star swallows one more text character.
int COsString::StrWildCmp(const char* a_szPattern, const char* a_szText) {
  if (!a_szPattern || !a_szText) {
    OsLog(OS_LOG_ASSERT, "StrWildCmp failed...%p %p", static_cast<const void*>(a_szPattern),
          static_cast<const void*>(a_szText));
    return -1;
  }
  const char* p = a_szPattern;
  const char* t = a_szText;
  while (*t && *p != '*') {
    if (*p != *t && *p != '?') return 1;
    ++p;
    ++t;
  }
  const char* pStar = nullptr;
  const char* tStar = nullptr;
  while (*t) {
    if (*p == '*') {
      if (!*++p) return 0;
      pStar = p;
      tStar = t + 1;
    } else if (*p == *t || *p == '?') {
      ++p;
      ++t;
    } else {
      p = pStar;
      t = tStar++;
    }
  }
  while (*p == '*') ++p;
  return static_cast<unsigned char>(*p);
}

void COsString::StrConvertCToPascal(char*, size_t) {}
void COsString::StrConvertPascalToC(char*, size_t) {}
