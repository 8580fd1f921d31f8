// Numbers and pointers as text: hexadecimal parsing, number and pointer
// formatting, and the user form of a version number.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
unsigned U(size_t a_sizet) { return static_cast<unsigned>(a_sizet); }
}  // namespace

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
