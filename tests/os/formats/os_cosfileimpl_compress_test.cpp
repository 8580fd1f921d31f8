// The block compressor: the run-length code's packets, the stream's blocks
// (raw on ties, method 2 on long runs, two blocks past 64 KiB), agreement
// with an independent Python codec and a naive rotation sort, damaged
// streams that must fail within their buffers, and threads coding at once.
#include <gtest/gtest.h>

#include <thread>

#include "formats_testutil.h"
#include "../log_capture.h"

using formatstest::Bytes;
using formatstest::ToBytes;

namespace {

Bytes Pack(const Bytes& a_input, size_t a_sizetCapacity, EOSSTS* a_peosstatus) {
  Bytes out(a_sizetCapacity);
  size_t sizetOut = 0;
  *a_peosstatus = COsFileImpl::PackBits(out.data(), out.size(), a_input.data(), a_input.size(), &sizetOut);
  out.resize(sizetOut);
  return out;
}

Bytes Unpack(const Bytes& a_input, size_t a_sizetCapacity, EOSSTS* a_peosstatus) {
  Bytes input(a_input), out(a_sizetCapacity);
  size_t sizetOut = 0;
  *a_peosstatus = COsFileImpl::UnpackBits(out.data(), out.size(), input.data(), input.size(), &sizetOut);
  out.resize(sizetOut);
  return out;
}

Bytes Repeat(char a_c, size_t a_sizet) { return Bytes(a_sizet, static_cast<uint8_t>(a_c)); }
Bytes Cat(std::initializer_list<Bytes> a_parts) {
  Bytes all;
  for (const auto& part : a_parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(RunLengthCode, Packets) {
  struct Case {
    const char* szName;
    Bytes input, packed;
  };
  const uint8_t a = 'a', b = 'b';
  const Case acase[] = {
      {"run of three then a literal", ToBytes("aaab"), {130, a, 2, a, b}},
      {"output longer than input", ToBytes("aaabbb"), {130, a, 1, a, 130, b, 1, b}},
      {"empty", {}, {}},
      {"one byte", ToBytes("a"), {1, a}},
      {"two equal bytes stay literal", ToBytes("aa"), {2, a, a}},
      {"run at the end keeps its last byte", ToBytes("baaa"), {1, b, 130, a, 1, a}},
      {"run capped at 127 copies", Repeat('a', 200), {255, a, 128 + 72, a, 1, a}},
      {"literals capped at 127", Cat({formatstest::Random(127, 7, 2), ToBytes("b")}), {}},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    EOSSTS eosstatus;
    Bytes packed = Pack(c.input, c.input.size() + c.input.size() / 2 + 8, &eosstatus);
    ASSERT_EQ(eosstatus, OS_STS_SUCCESS);
    if (!c.packed.empty() || c.input.empty()) { EXPECT_EQ(packed, c.packed); }
    EXPECT_EQ(formatstest::ToString(Unpack(packed, c.input.size(), &eosstatus)), formatstest::ToString(c.input));
    EXPECT_EQ(eosstatus, OS_STS_SUCCESS);
  }
}

TEST(RunLengthCode, BoundedByCapacity) {
  testsupport::LogCapture logcapture;
  struct Case {
    const char* szName;
    bool blPack;
    Bytes input;
    size_t sizetCapacity;
    EOSSTS eosstatus;
  };
  const Case acase[] = {
      // The coder: its output may grow past its input and must stop at the room.
      {"pack: room below the input", true, ToBytes("abcd"), 3, OS_STS_NOROOM_BUFFER},
      {"pack: output grows past the room", true, ToBytes("aaabbb"), 7, OS_STS_NOROOM_BUFFER},
      {"pack: exact room", true, ToBytes("aaabbb"), 8, OS_STS_SUCCESS},
      // The decoder: packets that ask for more than the room or the input.
      {"unpack: repeat past the room", false, {255, 'a'}, 100, OS_STS_NOROOM_BUFFER},
      {"unpack: literals past the room", false, {5, 1, 2, 3, 4, 5}, 6, OS_STS_SUCCESS},
      {"unpack: literals past the input", false, {9, 1, 2, 3}, 16, OS_STS_FAIL},
      {"unpack: exact room", false, {3, 1, 2, 3, 131, 4}, 6, OS_STS_SUCCESS},
      {"unpack: header at the very end ignored", false, {1, 'x', 5}, 3, OS_STS_SUCCESS},
      {"unpack: 128 stands for nothing", false, {128, 'x', 0, 1, 'y'}, 8, OS_STS_SUCCESS},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    EOSSTS eosstatus;
    Bytes out = c.blPack ? Pack(c.input, c.sizetCapacity, &eosstatus) : Unpack(c.input, c.sizetCapacity, &eosstatus);
    EXPECT_EQ(eosstatus, c.eosstatus);
    EXPECT_LE(out.size(), c.sizetCapacity);
  }
  EOSSTS eosstatus;
  EXPECT_EQ(Unpack({1, 'x', 5}, 3, &eosstatus), ToBytes("x"));
  EXPECT_EQ(Unpack({128, 'x', 0, 1, 'y'}, 8, &eosstatus), ToBytes("y"));
}

TEST(BlockSort, AgreesWithSortedRotations) {
  // Blocks that are not periodic have one last column and one primary index.
  const Bytes ablock[] = {ToBytes("banana!"), formatstest::Random(1500, 3, 2), formatstest::Random(2000, 4, 4),
                          ToBytes(formatstest::LogText(3000)), Cat({Repeat('a', 999), ToBytes("b")})};
  OsFileBlockSort osfileblocksort{};
  for (const auto& block : ablock) {
    testsupport::WriteFile("block", formatstest::ToString(block));
    std::string primary = formatstest::RunHelper("pmxcmp.py", {"bwt", "block", "last"});
    Bytes last(block.size());
    uint32_t u32Primary = 99;
    ASSERT_EQ(COsFileImpl::BWTTransform(last.data(), last.size(), block.data(), block.size(), &u32Primary,
                                        &osfileblocksort),
              OS_STS_SUCCESS);
    EXPECT_EQ(formatstest::ToString(last), testsupport::ReadFile("last"));
    EXPECT_EQ(std::to_string(u32Primary) + "\n", primary);
    Bytes back(block.size());
    ASSERT_EQ(COsFileImpl::BWTUntransform(back.data(), back.size(), last.data(), last.size(), u32Primary),
              OS_STS_SUCCESS);
    EXPECT_EQ(back, block);
  }
  COsFileImpl::BlockSortFree(&osfileblocksort);
}

TEST(BlockSort, PeriodicBlocksAndBadPrimary) {
  testsupport::LogCapture logcapture;
  OsFileBlockSort osfileblocksort{};
  for (const Bytes& block : {Repeat('z', 65536), ToBytes("abababab"), ToBytes("x"), ToBytes("xy")}) {
    Bytes last(block.size()), back(block.size());
    uint32_t u32Primary = 0;
    ASSERT_EQ(COsFileImpl::BWTTransform(last.data(), last.size(), block.data(), block.size(), &u32Primary,
                                        &osfileblocksort),
              OS_STS_SUCCESS);
    ASSERT_EQ(COsFileImpl::BWTUntransform(back.data(), back.size(), last.data(), last.size(), u32Primary),
              OS_STS_SUCCESS);
    EXPECT_EQ(back, block);
  }
  COsFileImpl::BlockSortFree(&osfileblocksort);
  Bytes last = ToBytes("annb!aa"), back(7);
  EXPECT_EQ(COsFileImpl::BWTUntransform(back.data(), back.size(), last.data(), last.size(), 7), OS_STS_FAIL);
  EXPECT_EQ(COsFileImpl::BWTUntransform(back.data(), 6, last.data(), last.size(), 0), OS_STS_NOROOM_BUFFER);
}

TEST(CompressStream, BlocksOfTheStream) {
  struct Case {
    const char* szName;
    Bytes input;
    EOSFILECOMPRESSION eosfilecompression;
    size_t sizetStream;  // 0: not checked
    std::vector<uint32_t> au32Method, au32Length;
  };
  const Case acase[] = {
      {"one byte, raw", ToBytes("q"), OS_FILECOMPRESSION_BLOCKSORT, 41, {0}, {1}},
      {"65537 bytes, two blocks", ToBytes(formatstest::LogText(65537)), OS_FILECOMPRESSION_BLOCKSORT, 0, {2, 0},
       {65536, 1}},
      {"random bytes stored raw", formatstest::Random(70000, 9), OS_FILECOMPRESSION_BLOCKSORT, 24 + 32 + 70000,
       {0, 0}, {65536, 4464}},
      {"65536 equal bytes sorted", Repeat('e', 65536), OS_FILECOMPRESSION_BLOCKSORT, 0, {2}, {65536}},
      {"65536 equal bytes run-length", Repeat('e', 65536), OS_FILECOMPRESSION_RUNLENGTH, 24 + 16 + 1036, {3},
       {65536}},
      {"a tie is stored raw", ToBytes("aaab"), OS_FILECOMPRESSION_RUNLENGTH, 24 + 16 + 4, {0}, {4}},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    Bytes stream = formatstest::Compress(c.input, c.eosfilecompression);
    ASSERT_FALSE(stream.empty());
    EXPECT_EQ(std::string(stream.begin(), stream.begin() + 8), "PMXCMP01");
    if (c.sizetStream) { EXPECT_EQ(stream.size(), c.sizetStream); }
    std::vector<uint32_t> au32Method, au32Length;
    size_t sizetSum = 24;
    for (const auto& block : formatstest::Blocks(stream)) {
      au32Method.push_back(block.u32Method);
      au32Length.push_back(block.u32Length);
      sizetSum += 16 + block.u32Stored;
      if (block.u32Method != OS_FILECOMPRESSION_BLOCKSORT) { EXPECT_EQ(block.u32Primary, 0u); }
    }
    EXPECT_EQ(sizetSum, stream.size());
    EXPECT_EQ(au32Method, c.au32Method);
    EXPECT_EQ(au32Length, c.au32Length);
    Bytes back;
    EXPECT_EQ(formatstest::Decompress(stream, c.input.size(), &back), OS_STS_SUCCESS);
    EXPECT_EQ(back, c.input);
  }
}

TEST(CompressStream, EmptyInputBadMethodAndSmallOutput) {
  testsupport::LogCapture logcapture;
  Bytes out(64), work(s_sizetCompressBlock), input = ToBytes("abcdefgh");
  size_t sizetOut = 7;
  EXPECT_EQ(COsFileImpl::Compress(out.data(), out.size(), &sizetOut, input.data(), 0, OS_FILECOMPRESSION_BLOCKSORT,
                                  work.data(), work.size(), nullptr),
            OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Programmer goofed..."));
  EXPECT_EQ(COsFileImpl::Compress(out.data(), out.size(), &sizetOut, input.data(), input.size(),
                                  OS_FILECOMPRESSION_AUTOMATIC, work.data(), work.size(), nullptr),
            OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Looks like we need to add a new compression handler...1"));
  // Room for the header and a raw block, not for the block behind it.
  EXPECT_NE(COsFileImpl::Compress(out.data(), 24 + 16 + 7, &sizetOut, input.data(), input.size(),
                                  OS_FILECOMPRESSION_RUNLENGTH, work.data(), work.size(), nullptr),
            OS_STS_SUCCESS);
  EXPECT_EQ(sizetOut, 0u);
  EXPECT_EQ(COsFileImpl::Compress(out.data(), 24 + 16 + 8, &sizetOut, input.data(), input.size(),
                                  OS_FILECOMPRESSION_RUNLENGTH, work.data(), work.size(), nullptr),
            OS_STS_SUCCESS);
  EXPECT_EQ(sizetOut, 48u);
}

TEST(CompressStream, PythonCodecAgrees) {
  // Our streams through a decoder written only from the format, and the
  // other way round: sorted text, run-length text over two blocks, raw blocks.
  struct Case {
    const char* szName;
    Bytes input;
    int iMethod;
  };
  const Case acase[] = {
      {"block sort", ToBytes(formatstest::LogText(6000, 5)), 2},
      {"run-length, two blocks", Cat({Repeat('w', 40000), ToBytes(formatstest::LogText(40000, 6))}), 3},
      {"raw", formatstest::Random(3000, 11), 2},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    testsupport::WriteFile("input", formatstest::ToString(c.input));
    Bytes ours = formatstest::Compress(c.input, static_cast<EOSFILECOMPRESSION>(c.iMethod));
    testsupport::WriteFile("ours", formatstest::ToString(ours));
    int iStatus = -1;
    std::string out = formatstest::RunHelper("pmxcmp.py", {"decode", "ours", "decoded"}, &iStatus);
    EXPECT_EQ(iStatus, 0) << out;
    EXPECT_EQ(testsupport::ReadFile("decoded"), testsupport::ReadFile("input"));
    formatstest::RunHelper("pmxcmp.py", {"encode", "input", std::to_string(c.iMethod), "theirs"});
    Bytes theirs = ToBytes(testsupport::ReadFile("theirs")), back;
    EXPECT_EQ(theirs, ours);  // one coding: the same bytes
    ASSERT_EQ(formatstest::Decompress(theirs, c.input.size(), &back), OS_STS_SUCCESS);
    EXPECT_EQ(back, c.input);
  }
}

TEST(CompressStream, DamagedStreamsFail) {
  testsupport::LogCapture logcapture;
  Bytes input = Cat({ToBytes(formatstest::LogText(65536 + 3000)), Repeat('r', 3000)});
  Bytes good = formatstest::Compress(input, OS_FILECOMPRESSION_BLOCKSORT);
  auto blocks = formatstest::Blocks(good);
  ASSERT_EQ(blocks.size(), 2u);
  ASSERT_EQ(blocks[0].u32Method, 2u);
  ASSERT_EQ(blocks[1].u32Method, 2u);
  size_t sizetSecond = 24 + 16 + blocks[0].u32Stored;
  Bytes raw = formatstest::Compress(formatstest::Random(100, 5), OS_FILECOMPRESSION_BLOCKSORT);
  struct Case {
    const char* szName;
    const Bytes& stream;
    size_t sizetAt;
    uint32_t u32Value;
    const char* szLog;
  };
  const Case acase[] = {
      {"wrong tag", good, 0, 0x584d5051, "Not a compression file..."},
      {"header size below 24", good, 8, 20, "Corrupt compression header..."},
      {"header size past the end", good, 8, 1u << 30, "Corrupt compression header..."},
      {"block header size 0", good, 12, 0, "Corrupt compression header..."},
      {"unknown method", good, 24, 7, "Looks like we need to add a new decompression handler...7"},
      {"primary index past the block", good, 28, 65536, "BWTUntransform failed..."},
      {"block longer than 64 KiB", good, 32, 65537, "Corrupt block..."},
      {"stored length past the end", good, 36, 1u << 20, "Corrupt block..."},
      {"packets past the block length", good, 32, 65535, "Packet past the end of the output..."},
      {"block length beyond what the packets give", good, sizetSecond + 8, 6001, "PackBits failed: error unpacking..."},
      {"raw block with another stored length", raw, 24 + 12, 5, "Stored block length differs..."},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    Bytes bad(c.stream), out;
    formatstest::PutU32(&bad, c.sizetAt, c.u32Value);
    EXPECT_NE(formatstest::Decompress(bad, input.size() + 64, &out), OS_STS_SUCCESS);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(logcapture.Contains(c.szLog));
  }
  Bytes out;
  EXPECT_EQ(formatstest::Decompress(good, input.size() - 1, &out), OS_STS_NOROOM_BUFFER);
  // Cut at every length: a status, never a read or write past a buffer.
  for (size_t sizetCut = 0; sizetCut < good.size(); sizetCut += sizetCut < 64 ? 1 : 97) {
    Bytes cut(good.begin(), good.begin() + static_cast<long>(sizetCut));
    EOSSTS eosstatus = formatstest::Decompress(cut, input.size(), &out);
    if (eosstatus == OS_STS_SUCCESS) { EXPECT_LE(out.size(), input.size()); }
  }
  // A grown block header is skipped.
  Bytes grown(good.begin(), good.begin() + 24);
  formatstest::PutU32(&grown, 12, 20);
  for (size_t sizetAt = 24; sizetAt < good.size();) {
    uint32_t u32Stored;
    std::memcpy(&u32Stored, good.data() + sizetAt + 12, 4);
    grown.insert(grown.end(), good.begin() + static_cast<long>(sizetAt), good.begin() + static_cast<long>(sizetAt) + 16);
    grown.insert(grown.end(), {0xee, 0xee, 0xee, 0xee});
    grown.insert(grown.end(), good.begin() + static_cast<long>(sizetAt) + 16,
                 good.begin() + static_cast<long>(sizetAt + 16 + u32Stored));
    sizetAt += 16 + u32Stored;
  }
  EXPECT_EQ(formatstest::Decompress(grown, input.size(), &out), OS_STS_SUCCESS);
  EXPECT_EQ(out, input);
}

TEST(CompressThreads, CodeAtOnce) {
  // Each thread has its own sort space: nothing is shared between them.
  std::vector<std::thread> threads;
  std::vector<int> aiGood(4, 0);
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([i, &aiGood] {
      Bytes input = ToBytes(formatstest::LogText(150000, static_cast<uint32_t>(i + 20)));
      for (int iRound = 0; iRound < 2; ++iRound) {
        Bytes stream = formatstest::Compress(input, OS_FILECOMPRESSION_BLOCKSORT), back;
        if (formatstest::Decompress(stream, input.size(), &back) == OS_STS_SUCCESS && back == input) ++aiGood[i];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(aiGood, std::vector<int>(4, 2));
}

}  // namespace
