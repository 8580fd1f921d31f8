// Helpers of the archive-format tests: the codec on byte vectors, document-
// like data, and the independent Python readers and writers of the formats.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "os_cosfileimpl.h"
#include "test_support.h"

namespace formatstest {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(const std::string& a_text) { return Bytes(a_text.begin(), a_text.end()); }
inline std::string ToString(const Bytes& a_bytes) { return std::string(a_bytes.begin(), a_bytes.end()); }

// A Python helper of tests/data/os/formats run with its arguments.
inline std::string RunHelper(const std::string& a_script, const std::vector<std::string>& a_args,
                             int* a_piStatus = nullptr) {
  std::vector<std::string> argv{SCANDRV_PYTHON, std::string(SCANDRV_TEST_DATA) + "/os/formats/" + a_script};
  argv.insert(argv.end(), a_args.begin(), a_args.end());
  return testsupport::RunProgram(argv, a_piStatus);
}

inline Bytes Random(size_t a_sizet, uint32_t a_u32Seed, int a_iAlphabet = 256) {
  std::mt19937 rng(a_u32Seed);
  Bytes bytes(a_sizet);
  for (auto& u8 : bytes) u8 = static_cast<uint8_t>(rng() % static_cast<uint32_t>(a_iAlphabet));
  return bytes;
}

// Log lines much like the driver's own: a time, a source, a thread and a
// message with numbers that change from line to line.
inline std::string LogText(size_t a_sizet, uint32_t a_u32Seed = 1) {
  static const char* const s_aszMessage[] = {
      "scan>>> image available...window:%d bytes:%d", "xmltask>>> reply built...id:%d bytes:%d",
      "usb>>> bulk read...endpoint:%d length:%d",      "mem>>> addr:0x%08x  size:%7d  new CDbDatum",
      "dev>>> status...%d %d",                         "cfg>>> ProfileGet...section:%d key:%d"};
  std::mt19937 rng(a_u32Seed);
  std::string text;
  text.reserve(a_sizet + 200);
  char szLine[200];
  for (unsigned uLine = 0; text.size() < a_sizet; ++uLine) {
    int iAt = std::snprintf(szLine, sizeof szLine, "%05u 1203%02u%03u %-32.32s %5u %5u T%04u S4 VY ", uLine % 100000,
                            uLine / 1000 % 60, uLine % 1000, "dev_cdevimpl_scan.cpp", static_cast<unsigned>(1200 + rng() % 40), 4242,
                            static_cast<unsigned>(rng() % 6));
    iAt += std::snprintf(szLine + iAt, sizeof szLine - static_cast<size_t>(iAt), s_aszMessage[rng() % 6],
                         static_cast<int>(rng() % 4), static_cast<int>(rng() % 100000));
    std::snprintf(szLine + iAt, sizeof szLine - static_cast<size_t>(iAt), "\r\n");
    text += szLine;
  }
  text.resize(a_sizet);
  return text;
}

// The whole stream of a buffer, or an empty vector when coding fails.
inline Bytes Compress(const Bytes& a_input, EOSFILECOMPRESSION a_eosfilecompression) {
  Bytes out(OsFileCompressBound(a_input.size())), work(s_sizetCompressBlock);
  size_t sizetOut = 0;
  OsFileBlockSort osfileblocksort{};
  EOSSTS eosstatus = COsFileImpl::Compress(out.data(), out.size(), &sizetOut, a_input.data(), a_input.size(),
                                           a_eosfilecompression, work.data(), work.size(), &osfileblocksort);
  COsFileImpl::BlockSortFree(&osfileblocksort);
  out.resize(eosstatus == OS_STS_SUCCESS ? sizetOut : 0);
  return out;
}

// Decodes into a buffer of exactly the capacity (a read or write past it is
// caught by the sanitizers); the status, and the output in *a_pout.
inline EOSSTS Decompress(const Bytes& a_stream, size_t a_sizetCapacity, Bytes* a_pout) {
  Bytes stream(a_stream);  // its own exact block
  a_pout->assign(a_sizetCapacity, 0);
  Bytes work(s_sizetCompressBlock);
  size_t sizetOut = 0;
  EOSSTS eosstatus = COsFileImpl::Decompress(a_pout->data(), a_pout->size(), &sizetOut, stream.data(), stream.size(),
                                             work.data(), work.size());
  a_pout->resize(sizetOut);
  return eosstatus;
}

// Block headers of a stream: method, primary index, length, stored length.
struct Block {
  uint32_t u32Method, u32Primary, u32Length, u32Stored;
};
inline std::vector<Block> Blocks(const Bytes& a_stream) {
  std::vector<Block> blocks;
  for (size_t sizetAt = 24; sizetAt + 16 <= a_stream.size();) {
    Block block;
    std::memcpy(&block, a_stream.data() + sizetAt, sizeof block);
    blocks.push_back(block);
    sizetAt += 16 + block.u32Stored;
  }
  return blocks;
}

inline void PutU32(Bytes* a_pbytes, size_t a_sizetAt, uint32_t a_u32) {
  for (int i = 0; i < 4; ++i) (*a_pbytes)[a_sizetAt + i] = static_cast<uint8_t>(a_u32 >> (8 * i));
}

}  // namespace formatstest
