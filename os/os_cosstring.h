// Bounded string toolkit: every text lives in a fixed-size buffer and is
// written only through these operations, which take the destination size and
// refuse (and log) instead of writing past it.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cwchar>

#include "os_def.h"

class COsString {
 public:
  COsString();
  ~COsString();

  // Copy and append: do the whole job or leave dst untouched.
  static void SStrCpy(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);
  static void SStrNcpy(char* a_szDst, size_t a_sizetDst, const char* a_szSrc, size_t a_sizetCount);
  static void SStrCat(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);
  static void SStrNcat(char* a_szDst, size_t a_sizetDst, const char* a_szSrc, size_t a_sizetCount);
  static void SMbsCpy(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);
  static void SMbsNcpy(char* a_szDst, size_t a_sizetDst, const char* a_szSrc, size_t a_sizetCount);
  static void SMbsCat(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);
  static void SMbsNcat(char* a_szDst, size_t a_sizetDst, const char* a_szSrc, size_t a_sizetCount);
  static void SWcsCpy(wchar_t* a_wszDst, size_t a_sizetDst, const wchar_t* a_wszSrc);
  static void SWcsNcpy(wchar_t* a_wszDst, size_t a_sizetDst, const wchar_t* a_wszSrc, size_t a_sizetCount);
  static void SWcsCat(wchar_t* a_wszDst, size_t a_sizetDst, const wchar_t* a_wszSrc);
  static void SWcsNcat(wchar_t* a_wszDst, size_t a_sizetDst, const wchar_t* a_wszSrc, size_t a_sizetCount);
  // A text into a fixed field: what fits, cut before the first character
  // that would not (a UTF-8 sequence stays whole), always terminated. True
  // when the whole text fit; the caller logs a cut with its own context.
  static bool SStrCpyCut(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);

  // Formatting: characters written, or -1 (the cut text stays terminated).
  static int SStrPrintf(char* a_szDst, size_t a_sizetDst, const char* a_szFormat, ...)
      __attribute__((format(printf, 3, 4)));
  static int SStrVprintf(char* a_szDst, size_t a_sizetDst, const char* a_szFormat, va_list a_valist)
      __attribute__((format(printf, 3, 0)));
  static int SMbsPrintf(char* a_szDst, size_t a_sizetDst, const char* a_szFormat, ...)
      __attribute__((format(printf, 3, 4)));
  static int SWcsPrintf(wchar_t* a_wszDst, size_t a_sizetDst, const wchar_t* a_wszFormat, ...);
  static int SStrCatf(char* a_szDst, size_t a_sizetDst, const char* a_szFormat, ...)
      __attribute__((format(printf, 3, 4)));

  // Text helpers.
  static char* SStrTok(char* a_szText, const char* a_szDelimiters, char** a_pszSave);
  static wchar_t* SWcsTok(wchar_t* a_wszText, const wchar_t* a_wszDelimiters, wchar_t** a_pwszSave);
  static void SStrTrim(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);
  static const char* StrFirstNonWhitespace(const char* a_szSrc);
  static const char* StrFirstWhitespace(const char* a_szSrc);
  static size_t SStrLen(const char* a_szSrc, size_t a_sizetSrc);
  static size_t SUtf8Len(const char* a_szSrc);
  static const char* StrNstr(const char* a_szHaystack, const char* a_szNeedle, size_t a_sizetCount);
  static char* SStrGet(char* a_szDst, size_t a_sizetDst);
  static int StrWildCmp(const char* a_szPattern, const char* a_szText);
  static void StrConvertCToPascal(char* a_szText, size_t a_sizetText);
  static void StrConvertPascalToC(char* a_szText, size_t a_sizetText);

  // Numbers and pointers.
  static uint64_t StrToFastHex(const char* a_szHex);
  static uint64_t StrToFastHex64(const char* a_szHex);
  static uint64_t StrToFastHexIntPtr(const char* a_szHex);
  static uint64_t StrToHex(const char* a_szHex, size_t a_sizetMaxDigits);
  static uint64_t StrToHexIntPtr(const char* a_szHex, size_t a_sizetMaxDigits);
  static char* SStrFromNum(long a_lValue, char* a_szDst, size_t a_sizetDst, int a_iRadix);
  static char* SStrFromNum64(long long a_llValue, char* a_szDst, size_t a_sizetDst, int a_iRadix);
  static char* SMbsFromNum(long a_lValue, char* a_szDst, size_t a_sizetDst, int a_iRadix);
  static int PtrToStr(char* a_szDst, size_t a_sizetDst, const void* a_pvValue);
  static int StrConvertVersionToUserFormat(char* a_szDst, size_t a_sizetDst, const char* a_szVersion);
  static EOSSTS EncryptSHA256(char* a_szDst, size_t a_sizetDst, const void* a_pvData, size_t a_sizetData);
  static EOSSTS Encrypt(unsigned char* a_pbOut, size_t* a_psizetOut, const char* a_sz1, const char* a_sz2, int a_i);
  static EOSSTS Decrypt(char* a_szOut, size_t* a_psizetOut, const unsigned char* a_pbData, size_t a_sizetData,
                        const char* a_sz, int a_i);

  // Hexadecimal digit values; 255 for a byte that is not a digit.
  static const unsigned char s_szHex[256];
};

// Process-wide instance; holds nothing, created by the service start-up.
extern COsString* g_posstring;
