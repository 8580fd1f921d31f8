// Bounded string toolkit: copy, append, print, trim, search, tokenise,
// number and pointer text, and the SHA-256 digest. Every write is checked
// against the destination size first; a copy or append that does not fit is
// refused whole, a print keeps the cut text.
#include "os_cosstring.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include <unistd.h>

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

bool COsString::SStrCpyCut(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  if (!a_szDst || !a_sizetDst) return false;
  if (!a_szSrc) a_szSrc = "";
  size_t sizet = strnlen(a_szSrc, a_sizetDst - 1);
  const bool blWhole = a_szSrc[sizet] == '\0';
  // Back to the first byte of a sequence the cut would split.
  while (!blWhole && sizet > 0 && (static_cast<unsigned char>(a_szSrc[sizet]) & 0xC0) == 0x80) --sizet;
  std::memmove(a_szDst, a_szSrc, sizet);
  a_szDst[sizet] = '\0';
  return blWhole;
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
  // A state of our own keeps the count re-entrant (mbstowcs shares one).
  std::mbstate_t state{};
  const char* szSrc = a_szSrc;
  size_t n = std::mbsrtowcs(nullptr, &szSrc, 0, &state);
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
  const size_t n = std::strlen(a_szNeedle);
  // A match lies wholly before the haystack's terminator and its count;
  // memchr finds each candidate start, as the gates test every task so.
  const size_t sizetLength = strnlen(a_szHaystack, a_sizetCount);
  if (n > sizetLength) return nullptr;
  const char* pcEnd = a_szHaystack + (sizetLength - n + 1);  // one past the last start
  for (const char* pc = a_szHaystack; pc < pcEnd; ++pc) {
    pc = static_cast<const char*>(std::memchr(pc, a_szNeedle[0], static_cast<size_t>(pcEnd - pc)));
    if (!pc) return nullptr;
    if (std::memcmp(pc, a_szNeedle, n) == 0) return pc;
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

// ---------------------------------------------------------------------------
// Numbers and pointers
// ---------------------------------------------------------------------------

// clang-format off
#define X 255
const unsigned char COsString::s_szHex[256] = {
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0x00
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0x10
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0x20
  0, 1, 2, 3, 4, 5, 6, 7, 8, 9, X, X, X, X, X, X,  // 0x30 '0'-'9'
  X,10,11,12,13,14,15, X, X, X, X, X, X, X, X, X,  // 0x40 'A'-'F'
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0x50
  X,10,11,12,13,14,15, X, X, X, X, X, X, X, X, X,  // 0x60 'a'-'f'
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0x70
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0x80
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0x90
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0xA0
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0xB0
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0xC0
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0xD0
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0xE0
  X, X, X, X, X, X, X, X, X, X, X, X, X, X, X, X,  // 0xF0
};
#undef X
// clang-format on

namespace {

// Value of at most a_sizetMax hexadecimal digits after an optional 0x;
// no overflow check: beyond 16 digits the oldest are shifted out.
uint64_t ParseHex(const char* a_szHex, size_t a_sizetMax) {
  if (!a_szHex) {
    OsLog(OS_LOG_ASSERT, "a_szHex is null...");
    return 0;
  }
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a_szHex);
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
  uint64_t u64 = 0;
  for (size_t n = 0; n < a_sizetMax && COsString::s_szHex[*p] != 255; ++n, ++p) {
    u64 = u64 * 16 + COsString::s_szHex[*p];
  }
  return u64;
}

// Shared by SStrFromNum and SStrFromNum64: a_szDec and a_szHexFmt print the
// value in radix 10 or 16. A number that does not fit is not written at
// all: dst is emptied and the result is null.
template <typename T>
char* FromNum(const char* a_szName, T a_value, char* a_szDst, size_t a_sizetDst, int a_iRadix,
              const char* a_szDec, const char* a_szHexFmt) {
  if (!a_szDst || !a_sizetDst) {
    OsLog(OS_LOG_ASSERT, "%s failed...%p %u", a_szName, static_cast<void*>(a_szDst), U(a_sizetDst));
    return nullptr;
  }
  if (a_iRadix != 10 && a_iRadix != 16) {
    char szRadix[16];
    std::snprintf(szRadix, sizeof(szRadix), "radix %d", a_iRadix);
    OsLog(OS_LOG_ASSERT, "SStrFromNum failed (must be 10 or 16)...<%s>", szRadix);
    // As much of the "@@@" marker as fits, always terminated.
    size_t n = a_sizetDst - 1 < 3 ? a_sizetDst - 1 : 3;
    std::memset(a_szDst, '@', n);
    a_szDst[n] = '\0';
    return a_szDst;
  }
  // Formatted aside first: a number that does not fit is not left cut.
  char szNum[32];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  int i = std::snprintf(szNum, sizeof(szNum), a_iRadix == 10 ? a_szDec : a_szHexFmt, a_value);
#pragma GCC diagnostic pop
  if (i < 0 || static_cast<size_t>(i) >= a_sizetDst) {
    OsLog(OS_LOG_ASSERT, "%s failed...<%s>", a_szName, szNum);
    a_szDst[0] = '\0';
    return nullptr;
  }
  std::memcpy(a_szDst, szNum, static_cast<size_t>(i) + 1);
  return a_szDst;
}

}  // namespace

uint64_t COsString::StrToFastHex(const char* a_szHex) { return ParseHex(a_szHex, SIZE_MAX); }
uint64_t COsString::StrToFastHex64(const char* a_szHex) { return ParseHex(a_szHex, SIZE_MAX); }
uint64_t COsString::StrToFastHexIntPtr(const char* a_szHex) { return ParseHex(a_szHex, SIZE_MAX); }
uint64_t COsString::StrToHex(const char* a_szHex, size_t a_sizetMaxDigits) {
  return ParseHex(a_szHex, a_sizetMaxDigits);
}
uint64_t COsString::StrToHexIntPtr(const char* a_szHex, size_t a_sizetMaxDigits) {
  return ParseHex(a_szHex, a_sizetMaxDigits);
}

char* COsString::SStrFromNum(long a_lValue, char* a_szDst, size_t a_sizetDst, int a_iRadix) {
  return FromNum("SStrFromNum", a_lValue, a_szDst, a_sizetDst, a_iRadix, "%ld", "%lx");
}

char* COsString::SStrFromNum64(long long a_llValue, char* a_szDst, size_t a_sizetDst, int a_iRadix) {
  return FromNum("SStrFromNum64", a_llValue, a_szDst, a_sizetDst, a_iRadix, "%lld", "%llx");
}

char* COsString::SMbsFromNum(long a_lValue, char* a_szDst, size_t a_sizetDst, int a_iRadix) {
  return SStrFromNum(a_lValue, a_szDst, a_sizetDst, a_iRadix);
}

int COsString::PtrToStr(char* a_szDst, size_t a_sizetDst, const void* a_pvValue) {
  if (!a_szDst || !a_sizetDst) {
    OsLog(OS_LOG_ASSERT, "PtrToStr failed...%p %u", static_cast<void*>(a_szDst), U(a_sizetDst));
    return 0;
  }
  if (a_sizetDst < 17) {
    OsLog(OS_LOG_ASSERT, "a_lValueSizeInBytes too small...");
    a_szDst[0] = '\0';
    return 0;
  }
  std::snprintf(a_szDst, a_sizetDst, "%016llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(a_pvValue)));
  return 16;
}

// The version number packs major, minor, build and revision as decimal
// digit pairs: 4030201 is 4.3.2.1. Zero build and revision are left out.
int COsString::StrConvertVersionToUserFormat(char* a_szDst, size_t a_sizetDst, const char* a_szVersion) {
  if (!a_szVersion) {
    OsLog(OS_LOG_ASSERT, "StrConvertVersionToUserFormat failed...%p %u %p", static_cast<void*>(a_szDst),
          U(a_sizetDst), static_cast<const void*>(a_szVersion));
    return -1;
  }
  long n = std::atoi(a_szVersion);
  if (n == 0) OsLog(OS_LOG_ERROR, "version is zero...<%s>", a_szVersion);
  long lMajor = n / 1000000;
  long lMinor = (n % 1000000) / 10000;
  long lBuild = (n % 10000) / 100;
  long lRevision = n % 100;
  if (lRevision) return SStrPrintf(a_szDst, a_sizetDst, "%ld.%ld.%ld.%ld", lMajor, lMinor, lBuild, lRevision);
  if (!lBuild) return SStrPrintf(a_szDst, a_sizetDst, "%ld.%ld", lMajor, lMinor);
  return SStrPrintf(a_szDst, a_sizetDst, "%ld.%ld.%ld", lMajor, lMinor, lBuild);
}

// No cipher is offered: callers get a failure and nothing is touched.
EOSSTS COsString::Encrypt(unsigned char*, size_t*, const char*, const char*, int) {
  OsLog(OS_LOG_ASSERT, "Not implemented...");
  return OS_STS_FAIL;
}

EOSSTS COsString::Decrypt(char*, size_t*, const unsigned char*, size_t, const char*, int) {
  OsLog(OS_LOG_ASSERT, "Not implemented...");
  return OS_STS_FAIL;
}

// ---------------------------------------------------------------------------
// SHA-256 digest (FIPS 180-4), as 64 upper-case hexadecimal digits
// ---------------------------------------------------------------------------

namespace {

constexpr uint32_t s_au32K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr uint32_t s_au32Initial[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

inline uint32_t Rotr(uint32_t a_u32, int a_iBits) { return (a_u32 >> a_iBits) | (a_u32 << (32 - a_iBits)); }

// One 64-byte block into the running hash value.
void Compress(uint32_t a_au32H[8], const unsigned char* a_pbBlock) {
  uint32_t w[64];
  for (int t = 0; t < 16; ++t) {
    const unsigned char* p = a_pbBlock + 4 * t;
    w[t] = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
  }
  for (int t = 16; t < 64; ++t) {
    uint32_t s0 = Rotr(w[t - 15], 7) ^ Rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
    uint32_t s1 = Rotr(w[t - 2], 17) ^ Rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
    w[t] = w[t - 16] + s0 + w[t - 7] + s1;
  }
  uint32_t a = a_au32H[0], b = a_au32H[1], c = a_au32H[2], d = a_au32H[3];
  uint32_t e = a_au32H[4], f = a_au32H[5], g = a_au32H[6], h = a_au32H[7];
  for (int t = 0; t < 64; ++t) {
    uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + s_au32K[t] + w[t];
    uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  a_au32H[0] += a;
  a_au32H[1] += b;
  a_au32H[2] += c;
  a_au32H[3] += d;
  a_au32H[4] += e;
  a_au32H[5] += f;
  a_au32H[6] += g;
  a_au32H[7] += h;
}

// Whole blocks straight from the data; the tail, the 0x80 marker and the
// 64-bit bit length go through one or two padded blocks.
void Digest(const unsigned char* a_pbData, size_t a_sizetData, uint32_t a_au32H[8]) {
  std::memcpy(a_au32H, s_au32Initial, sizeof(s_au32Initial));
  size_t sizetWhole = a_sizetData - a_sizetData % 64;
  for (size_t i = 0; i < sizetWhole; i += 64) Compress(a_au32H, a_pbData + i);
  unsigned char abTail[128] = {};
  size_t sizetTail = a_sizetData - sizetWhole;
  if (sizetTail) std::memcpy(abTail, a_pbData + sizetWhole, sizetTail);
  abTail[sizetTail] = 0x80;
  size_t sizetPadded = sizetTail < 56 ? 64 : 128;
  uint64_t u64Bits = static_cast<uint64_t>(a_sizetData) * 8;
  for (int i = 0; i < 8; ++i) abTail[sizetPadded - 1 - i] = static_cast<unsigned char>(u64Bits >> (8 * i));
  Compress(a_au32H, abTail);
  if (sizetPadded == 128) Compress(a_au32H, abTail + 64);
}

}  // namespace

EOSSTS COsString::EncryptSHA256(char* a_szDst, size_t a_sizetDst, const void* a_pvData, size_t a_sizetData) {
  if (!a_szDst || a_sizetDst < 65 || (!a_pvData && a_sizetData)) {
    OsLog(OS_LOG_ASSERT, "Bad argument...");
    return OS_STS_NOROOM_BUFFER;
  }
  uint32_t au32H[8];
  Digest(static_cast<const unsigned char*>(a_pvData), a_sizetData, au32H);
  static const char s_szDigits[] = "0123456789ABCDEF";
  for (int i = 0; i < 32; ++i) {
    unsigned b = (au32H[i / 4] >> (24 - 8 * (i % 4))) & 0xff;
    a_szDst[2 * i] = s_szDigits[b >> 4];
    a_szDst[2 * i + 1] = s_szDigits[b & 15];
  }
  a_szDst[64] = '\0';
  return OS_STS_SUCCESS;
}
