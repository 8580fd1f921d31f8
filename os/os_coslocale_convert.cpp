// Text conversions of COsLocale: UTF-8, UTF-16, wchar_t (UTF-32) and the
// platform's multibyte encoding. Every conversion takes the destination's
// size, zero-fills it first, and stops (logged) at the first character that
// does not fit or is not a Unicode scalar value in a well-formed encoding, so
// the destination always holds a terminated prefix and nothing is read past
// the source's terminator.
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "os_coslocale.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

constexpr uint32_t s_u32UnicodeMax = 0x10FFFF;

bool IsSurrogate(uint32_t a_u32) { return a_u32 >= 0xD800 && a_u32 <= 0xDFFF; }
bool IsHighSurrogate(uint32_t a_u32) { return a_u32 >= 0xD800 && a_u32 <= 0xDBFF; }
bool IsLowSurrogate(uint32_t a_u32) { return a_u32 >= 0xDC00 && a_u32 <= 0xDFFF; }

// Length of the sequence a lead byte opens; 0 for a byte that cannot lead
// (a continuation byte, or 0xF8 and up, which only encode values beyond
// U+10FFFF).
size_t Utf8SequenceLength(unsigned char a_uc) {
  if (a_uc < 0x80) return 1;
  if ((a_uc & 0xE0) == 0xC0) return 2;
  if ((a_uc & 0xF0) == 0xE0) return 3;
  if ((a_uc & 0xF8) == 0xF0) return 4;
  return 0;
}

// Decodes one sequence of the given length. Each following byte must be a
// continuation byte, so a terminator inside the sequence stops the reading
// there; overlong forms, surrogates and values beyond U+10FFFF are refused.
bool DecodeUtf8(const unsigned char* a_puc, size_t a_sizetLength, uint32_t* a_pu32) {
  static constexpr unsigned char s_aucLeadMask[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  static constexpr uint32_t s_au32Minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
  uint32_t u32 = a_puc[0] & s_aucLeadMask[a_sizetLength];
  for (size_t ii = 1; ii < a_sizetLength; ++ii) {
    if ((a_puc[ii] & 0xC0) != 0x80) return false;
    u32 = (u32 << 6) | (a_puc[ii] & 0x3F);
  }
  if (u32 < s_au32Minimum[a_sizetLength] || u32 > s_u32UnicodeMax || IsSurrogate(u32)) return false;
  *a_pu32 = u32;
  return true;
}

// Bytes that a value needs; 0 when it is not a Unicode scalar value.
size_t Utf8EncodedLength(uint32_t a_u32) {
  if (IsSurrogate(a_u32) || a_u32 > s_u32UnicodeMax) return 0;
  if (a_u32 < 0x80) return 1;
  if (a_u32 < 0x800) return 2;
  if (a_u32 < 0x10000) return 3;
  return 4;
}

void EncodeUtf8(uint32_t a_u32, size_t a_sizetLength, char* a_szDst) {
  static constexpr unsigned char s_aucLead[5] = {0, 0x00, 0xC0, 0xE0, 0xF0};
  for (size_t ii = a_sizetLength - 1; ii > 0; --ii) {
    a_szDst[ii] = static_cast<char>(0x80 | (a_u32 & 0x3F));
    a_u32 >>= 6;
  }
  a_szDst[0] = static_cast<char>(s_aucLead[a_sizetLength] | a_u32);
}

// Checks the destination and zero-fills it; false (logged) when unusable.
template <typename T>
bool PrepareDestination(T* a_pDst, size_t a_sizetDst, const void* a_pvSrc, const char* a_szFunction) {
  if (!a_pDst || a_sizetDst == 0) {
    OsLog(OS_LOG_ERROR, "%s bad arg (destination)...", a_szFunction);
    return false;
  }
  std::memset(a_pDst, 0, a_sizetDst * sizeof(T));
  if (!a_pvSrc) {
    OsLog(OS_LOG_ERROR, "%s bad arg (source)...", a_szFunction);
    return false;
  }
  return true;
}

// The UTF-8 decoder behind both targets. Each character needs room for as
// many units as its sequence has bytes, plus the terminator. Answers the
// units written, or the source bytes consumed when it stops early.
template <typename T>
size_t DecodeUtf8Text(T* a_pDst, size_t a_sizetDst, const char* a_szSrc, bool a_blUtf16, const char* a_szFunction) {
  if (!PrepareDestination(a_pDst, a_sizetDst, a_szSrc, a_szFunction)) return 0;
  const unsigned char* puc = reinterpret_cast<const unsigned char*>(a_szSrc);
  size_t sizetIn = 0;
  size_t sizetOut = 0;
  while (puc[sizetIn]) {
    size_t sizetLength = Utf8SequenceLength(puc[sizetIn]);
    if (sizetLength == 0) {
      OsLog(OS_LOG_ASSERT, "Illegal character...");
      return sizetIn;
    }
    if (sizetOut + sizetLength + 1 > a_sizetDst) {
      OsLog(OS_LOG_ASSERT, "Buffer overflow...");
      return sizetIn;
    }
    uint32_t u32;
    if (!DecodeUtf8(puc + sizetIn, sizetLength, &u32)) {
      OsLog(OS_LOG_ASSERT, "Illegal character...");
      return sizetIn;
    }
    if (a_blUtf16 && u32 > 0xFFFF) {
      u32 -= 0x10000;
      a_pDst[sizetOut++] = static_cast<T>(0xD800 | (u32 >> 10));
      a_pDst[sizetOut++] = static_cast<T>(0xDC00 | (u32 & 0x3FF));
    } else {
      a_pDst[sizetOut++] = static_cast<T>(u32);
    }
    sizetIn += sizetLength;
  }
  return sizetOut;
}

// Writes one value as UTF-8 when it is legal and fits with the terminator.
bool AppendUtf8(char* a_szDst, size_t a_sizetDst, size_t* a_psizetOut, uint32_t a_u32) {
  size_t sizetLength = Utf8EncodedLength(a_u32);
  if (sizetLength == 0) {
    OsLog(OS_LOG_ASSERT, "Illegal character...");
    return false;
  }
  if (*a_psizetOut + sizetLength + 1 > a_sizetDst) {
    OsLog(OS_LOG_ASSERT, "Buffer overflow...");
    return false;
  }
  EncodeUtf8(a_u32, sizetLength, a_szDst + *a_psizetOut);
  *a_psizetOut += sizetLength;
  return true;
}

// Logs a conversion that would not fit: the C library's converters cut the
// text silently at the size they are given.
void LogIfCut(size_t a_sizetNeeded, size_t a_sizetWritten) {
  if (a_sizetNeeded != static_cast<size_t>(-1) && a_sizetNeeded > a_sizetWritten) {
    OsLog(OS_LOG_ASSERT, "Buffer overflow...");
  }
}

// A plain copy under SStrCpy's rules: destination length + 1, or 0 when the
// text does not fit (SStrCpy leaves the zero-filled destination empty).
size_t CopyPlain(char* a_szDst, size_t a_sizetDst, const char* a_szSrc, bool a_blEmptyGivesZero,
                 const char* a_szFunction) {
  if (!PrepareDestination(a_szDst, a_sizetDst, a_szSrc, a_szFunction)) return 0;
  if (a_blEmptyGivesZero && !*a_szSrc) return 0;
  COsString::SStrCpy(a_szDst, a_sizetDst, a_szSrc);
  if (std::strlen(a_szDst) != std::strlen(a_szSrc)) return 0;
  return std::strlen(a_szDst) + 1;
}

}  // namespace

size_t COsLocale::CopyUnicodeFromUtf8(wchar_t* a_wszDst, size_t a_sizetDst, const char* a_szSrc) {
  return DecodeUtf8Text(a_wszDst, a_sizetDst, a_szSrc, false, "CopyUnicodeFromUtf8");
}

size_t COsLocale::CopyUnicode2FromUtf8(uint16_t* a_pu16Dst, size_t a_sizetDst, const char* a_szSrc) {
  return DecodeUtf8Text(a_pu16Dst, a_sizetDst, a_szSrc, true, "CopyUnicode2FromUtf8");
}

size_t COsLocale::CopyUtf8FromUnicode(char* a_szDst, size_t a_sizetDst, const wchar_t* a_wszSrc, long a_lLength) {
  if (!PrepareDestination(a_szDst, a_sizetDst, a_wszSrc, "CopyUtf8FromUnicode")) return 0;
  size_t sizetOut = 0;
  size_t ii = 0;
  for (; a_lLength < 0 ? a_wszSrc[ii] != 0 : ii < static_cast<size_t>(a_lLength); ++ii) {
    // wchar_t is signed: a negative value becomes one beyond U+10FFFF.
    if (!AppendUtf8(a_szDst, a_sizetDst, &sizetOut, static_cast<uint32_t>(a_wszSrc[ii]))) break;
  }
  return ii;
}

size_t COsLocale::CopyUtf8FromUnicode2(char* a_szDst, size_t a_sizetDst, const uint16_t* a_pu16Src, long a_lLength) {
  if (!PrepareDestination(a_szDst, a_sizetDst, a_pu16Src, "CopyUtf8FromUnicode2")) return 0;
  const bool blToTerminator = a_lLength < 0;
  const size_t sizetLength = blToTerminator ? 0 : static_cast<size_t>(a_lLength);
  size_t sizetOut = 0;
  size_t ii = 0;
  while (blToTerminator || ii < sizetLength) {
    uint32_t u32 = a_pu16Src[ii];
    // Up to the terminator, the terminator is converted and counted too; it
    // lands on the destination's own terminator, which always has room.
    if (blToTerminator && u32 == 0) return ii + 1;
    size_t sizetUnits = 1;
    if (IsHighSurrogate(u32)) {
      // The next unit exists: it is before the given length, or the current
      // unit is not the terminator.
      bool blHaveNext = blToTerminator || ii + 1 < sizetLength;
      uint32_t u32Low = blHaveNext ? a_pu16Src[ii + 1] : 0;
      if (IsLowSurrogate(u32Low)) {
        u32 = 0x10000 + ((u32 - 0xD800) << 10) + (u32Low - 0xDC00);
        sizetUnits = 2;
      }
    }
    // A lone surrogate stays a surrogate, which AppendUtf8 refuses.
    if (!AppendUtf8(a_szDst, a_sizetDst, &sizetOut, u32)) break;
    ii += sizetUnits;
  }
  return ii;
}

size_t COsLocale::CopyUnicodeFromMultibyte(wchar_t* a_wszDst, size_t a_sizetDst, const char* a_szSrc) {
  if (!PrepareDestination(a_wszDst, a_sizetDst, a_szSrc, "CopyUnicodeFromMultibyte")) return 0;
  size_t sizetWritten = std::mbstowcs(a_wszDst, a_szSrc, a_sizetDst - 1);
  if (sizetWritten == static_cast<size_t>(-1)) {
    OsLog(OS_LOG_ERROR, "mbstowcs failed <%s>", a_szSrc);
    return 0;
  }
  if (sizetWritten == a_sizetDst - 1) LogIfCut(std::mbstowcs(nullptr, a_szSrc, 0), sizetWritten);
  return sizetWritten + 1;
}

size_t COsLocale::CopyUnicodeFromString(wchar_t* a_wszDst, size_t a_sizetDst, const char* a_szSrc) {
  if (a_szSrc && !*a_szSrc && a_wszDst && a_sizetDst) {
    std::memset(a_wszDst, 0, a_sizetDst * sizeof(wchar_t));
    return 0;
  }
  return CopyUnicodeFromMultibyte(a_wszDst, a_sizetDst, a_szSrc);
}

size_t COsLocale::CopyMultibyteFromUnicode(char* a_szDst, size_t a_sizetDst, const wchar_t* a_wszSrc) {
  if (!PrepareDestination(a_szDst, a_sizetDst, a_wszSrc, "CopyMultibyteFromUnicode")) return 0;
  size_t sizetWritten = std::wcstombs(a_szDst, a_wszSrc, a_sizetDst - 1);
  if (sizetWritten == static_cast<size_t>(-1)) {
    // The text cannot be shown in the platform encoding either: log it as
    // UTF-8 (cut to the buffer, which is enough to recognise it).
    char szUtf8[512];
    CopyUtf8FromUnicode(szUtf8, sizeof(szUtf8), a_wszSrc, -1);
    OsLog(OS_LOG_ERROR, "wcstombs failed <%s>", szUtf8);
    return 0;
  }
  if (sizetWritten + MB_CUR_MAX > a_sizetDst - 1) LogIfCut(std::wcstombs(nullptr, a_wszSrc, 0), sizetWritten);
  return sizetWritten + 1;
}

size_t COsLocale::CopyStringFromUnicode(char* a_szDst, size_t a_sizetDst, const wchar_t* a_wszSrc) {
  if (a_wszSrc && !*a_wszSrc && a_szDst && a_sizetDst) {
    std::memset(a_szDst, 0, a_sizetDst);
    return 0;
  }
  return CopyMultibyteFromUnicode(a_szDst, a_sizetDst, a_wszSrc);
}

size_t COsLocale::CopyStringFromUtf8(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  return CopyPlain(a_szDst, a_sizetDst, a_szSrc, true, "CopyStringFromUtf8");
}

size_t COsLocale::CopyUtf8FromString(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  return CopyPlain(a_szDst, a_sizetDst, a_szSrc, true, "CopyUtf8FromString");
}

size_t COsLocale::CopyStringFromMultibyte(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  return CopyPlain(a_szDst, a_sizetDst, a_szSrc, false, "CopyStringFromMultibyte");
}

size_t COsLocale::CopyMultibyteFromString(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  return CopyPlain(a_szDst, a_sizetDst, a_szSrc, false, "CopyMultibyteFromString");
}
