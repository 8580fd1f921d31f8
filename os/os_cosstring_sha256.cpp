// SHA-256 digest (FIPS 180-4) of a byte block, as 64 upper-case hex digits.
#include <cstdint>
#include <cstring>

#include "os_coslog.h"
#include "os_cosstring.h"

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
