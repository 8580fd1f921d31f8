// Stateless helpers of the memory service: bit copy, fill and display (bits
// numbered from the most significant bit of each byte), byte swapping, the
// byte checksum and the string scrambler. They need no service object.
#include <cstring>
#include <vector>

#include "os_cosmem.h"

namespace {
// Whether a buffer of a_sizetBytes holds a_sizetBit + a_sizetCount bits.
bool Holds(size_t a_sizetBytes, size_t a_sizetBit, size_t a_sizetCount) {
  if (a_sizetBytes > SIZE_MAX / 8) return true;
  size_t sizetBits = a_sizetBytes * 8;
  return a_sizetCount <= sizetBits && a_sizetBit <= sizetBits - a_sizetCount;
}

inline bool GetBit(const unsigned char* a_pbBuffer, size_t a_sizetBit) {
  return (a_pbBuffer[a_sizetBit >> 3] >> (7 - (a_sizetBit & 7))) & 1;
}

inline void PutBit(unsigned char* a_pbBuffer, size_t a_sizetBit, bool a_blValue) {
  unsigned char bMask = static_cast<unsigned char>(0x80 >> (a_sizetBit & 7));
  if (a_blValue)
    a_pbBuffer[a_sizetBit >> 3] |= bMask;
  else
    a_pbBuffer[a_sizetBit >> 3] &= static_cast<unsigned char>(~bMask);
}
}  // namespace

EOSSTS COsMem::CpyBits(void* a_pvDst, size_t a_sizetDst, size_t a_sizetDstBit, const void* a_pvSrc, size_t a_sizetSrc,
                       size_t a_sizetSrcBit, size_t a_sizetCount) {
  if (!a_pvDst || !a_pvSrc || !a_sizetDst || !a_sizetSrc || !a_sizetCount ||
      !Holds(a_sizetDst, a_sizetDstBit, a_sizetCount) || !Holds(a_sizetSrc, a_sizetSrcBit, a_sizetCount)) {
    OsLog(OS_LOG_ASSERT, "OsMemCpyBits failed...%p %d %d %p %d %d %d", a_pvDst, static_cast<int>(a_sizetDst),
          static_cast<int>(a_sizetDstBit), a_pvSrc, static_cast<int>(a_sizetSrc), static_cast<int>(a_sizetSrcBit),
          static_cast<int>(a_sizetCount));
    return OS_STS_FAIL;
  }
  unsigned char* pbDst = static_cast<unsigned char*>(a_pvDst);
  const unsigned char* pbSrc = static_cast<const unsigned char*>(a_pvSrc);
  if (((a_sizetDstBit | a_sizetSrcBit | a_sizetCount) & 7) == 0) {
    std::memmove(pbDst + a_sizetDstBit / 8, pbSrc + a_sizetSrcBit / 8, a_sizetCount / 8);
    return OS_STS_SUCCESS;
  }
  // Overlapping ranges: copy from the end when the destination lies behind
  // the source.
  uintptr_t uDst = reinterpret_cast<uintptr_t>(pbDst) * 8 + a_sizetDstBit;
  uintptr_t uSrc = reinterpret_cast<uintptr_t>(pbSrc) * 8 + a_sizetSrcBit;
  if (uDst > uSrc) {
    for (size_t i = a_sizetCount; i-- > 0;) PutBit(pbDst, a_sizetDstBit + i, GetBit(pbSrc, a_sizetSrcBit + i));
  } else {
    for (size_t i = 0; i < a_sizetCount; ++i) PutBit(pbDst, a_sizetDstBit + i, GetBit(pbSrc, a_sizetSrcBit + i));
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsMem::SetBits(void* a_pvBuffer, size_t a_sizetBytes, size_t a_sizetBit, size_t a_sizetCount, bool a_blValue) {
  if (!a_pvBuffer || !a_sizetBytes || !a_sizetCount || !Holds(a_sizetBytes, a_sizetBit, a_sizetCount)) {
    OsLog(OS_LOG_ASSERT, "OsMemCpyBits failed...%p %d %d %d %d", a_pvBuffer, static_cast<int>(a_sizetBytes),
          static_cast<int>(a_sizetBit), static_cast<int>(a_sizetCount), a_blValue ? 1 : 0);
    return OS_STS_FAIL;
  }
  unsigned char* pbBuffer = static_cast<unsigned char*>(a_pvBuffer);
  if (((a_sizetBit | a_sizetCount) & 7) == 0) {
    std::memset(pbBuffer + a_sizetBit / 8, a_blValue ? 0xFF : 0, a_sizetCount / 8);
    return OS_STS_SUCCESS;
  }
  for (size_t i = 0; i < a_sizetCount; ++i) PutBit(pbBuffer, a_sizetBit + i, a_blValue);
  return OS_STS_SUCCESS;
}

EOSSTS COsMem::DisplayBits(const void* a_pvBuffer, size_t a_sizetBytes, size_t a_sizetBit, size_t a_sizetCount,
                           bool a_blHeader) {
  size_t sizetCount = a_sizetCount;
  if (sizetCount == 0 && a_sizetBytes <= SIZE_MAX / 8 && a_sizetBit < a_sizetBytes * 8)
    sizetCount = a_sizetBytes * 8 - a_sizetBit;
  if (!a_pvBuffer || !a_sizetBytes || !sizetCount || !Holds(a_sizetBytes, a_sizetBit, sizetCount)) {
    OsLog(OS_LOG_ASSERT, "OsMemDisplayBits failed...%p %d %d %d", a_pvBuffer, static_cast<int>(a_sizetBytes),
          static_cast<int>(a_sizetBit), static_cast<int>(a_sizetCount));
    return OS_STS_FAIL;
  }
  const unsigned char* pbBuffer = static_cast<const unsigned char*>(a_pvBuffer);
  static const char kPrefix[] = "dspbits>>> ";
  size_t sizetPrefix = sizeof(kPrefix) - 1;
  // One character per bit, a blank after every group of 8, the terminator.
  std::vector<char> line(sizetPrefix + sizetCount + sizetCount / 8 + 1);
  std::memcpy(line.data(), kPrefix, sizetPrefix);
  auto emit = [&](auto a_fnChar) {
    size_t n = sizetPrefix;
    for (size_t i = 0; i < sizetCount; ++i) {
      if (i && (i % 8) == 0) line[n++] = ' ';
      line[n++] = a_fnChar(i);
    }
    line[n] = '\0';
    OsLog(OS_LOG_ERROR, "%s", line.data());
  };
  if (a_blHeader) {
    if (sizetCount > 99) emit([](size_t i) { return static_cast<char>('0' + (i / 100) % 10); });
    if (sizetCount > 9) emit([](size_t i) { return static_cast<char>('0' + (i / 10) % 10); });
    emit([](size_t i) { return static_cast<char>('0' + i % 10); });
    emit([](size_t) { return '~'; });
  }
  emit([&](size_t i) { return GetBit(pbBuffer, a_sizetBit + i) ? '1' : '0'; });
  return OS_STS_SUCCESS;
}

void COsMem::Swab(void* a_pvDst, const void* a_pvSrc, size_t a_sizetCount) {
  if (!a_pvDst || !a_pvSrc) return;
  unsigned char* pbDst = static_cast<unsigned char*>(a_pvDst);
  const unsigned char* pbSrc = static_cast<const unsigned char*>(a_pvSrc);
  size_t i = 0;
  for (; i + 1 < a_sizetCount; i += 2) {
    unsigned char b0 = pbSrc[i];
    unsigned char b1 = pbSrc[i + 1];
    pbDst[i] = b1;
    pbDst[i + 1] = b0;
  }
  // An odd last byte has no partner: it is copied as it is.
  if (i < a_sizetCount) pbDst[i] = pbSrc[i];
}

uint32_t COsMem::Checksum32(const void* a_pvBuffer, size_t a_sizetLength, uint64_t* a_pu64Accumulator) {
  uint64_t u64Sum = a_pu64Accumulator ? *a_pu64Accumulator : 0;
  if (a_pvBuffer) {
    const unsigned char* pbBuffer = static_cast<const unsigned char*>(a_pvBuffer);
    for (size_t i = 0; i < a_sizetLength; ++i) u64Sum += pbBuffer[i];
  } else if (a_sizetLength) {
    OsLog(OS_LOG_ASSERT, "a_pvBuffer is null...");
  }
  if (a_pu64Accumulator) *a_pu64Accumulator = u64Sum;
  uint64_t u64Fold = (u64Sum & 0xFFFF) + (u64Sum >> 16);
  return static_cast<uint32_t>((u64Fold >> 16) + (u64Fold & 0xFFFF));
}

EOSSTS COsMem::HashString(char* a_szText, size_t a_sizetText) {
  if (!a_szText || !a_sizetText) {
    OsLog(OS_LOG_ASSERT, "HashString failed...%p %d", static_cast<void*>(a_szText), static_cast<int>(a_sizetText));
    return OS_STS_FAIL;
  }
  size_t sizetLength = strnlen(a_szText, a_sizetText);
  // Key, text, key, terminator, and a second zero for short texts.
  size_t sizetNeed = sizetLength + 3 + (sizetLength <= 52 ? 1 : 0);
  if (sizetLength == a_sizetText || sizetNeed > a_sizetText) {
    OsLog(OS_LOG_ASSERT, "HashString failed...no room %d", static_cast<int>(a_sizetText));
    return OS_STS_FAIL;
  }
  bool ablPresent[256] = {};
  for (size_t i = 0; i < sizetLength; ++i) ablPresent[static_cast<unsigned char>(a_szText[i])] = true;
  int iKey = 1;
  while (iKey < 256 && ablPresent[iKey]) ++iKey;
  if (iKey == 256) {
    OsLog(OS_LOG_ASSERT, "HashString failed...no key");
    return OS_STS_FAIL;
  }
  char cKey = static_cast<char>(iKey);
  std::memmove(a_szText + 1, a_szText, sizetLength);
  a_szText[0] = cKey;
  for (size_t i = 1; i <= sizetLength; ++i) a_szText[i] = static_cast<char>(a_szText[i] ^ cKey);
  a_szText[sizetLength + 1] = cKey;
  a_szText[sizetLength + 2] = '\0';
  if (sizetLength <= 52) a_szText[sizetLength + 3] = '\0';
  return OS_STS_SUCCESS;
}

EOSSTS COsMem::UnhashString(char* a_szText) {
  if (!a_szText || !a_szText[0]) {
    OsLog(OS_LOG_ASSERT, "UnhashString failed...%p", static_cast<void*>(a_szText));
    return OS_STS_FAIL;
  }
  char cKey = a_szText[0];
  size_t i = 1;
  for (; a_szText[i]; ++i) a_szText[i - 1] = static_cast<char>(a_szText[i] ^ cKey);
  a_szText[i - 1] = '\0';
  return OS_STS_SUCCESS;
}
