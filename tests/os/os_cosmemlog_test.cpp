// What the memory service writes to the log: the counter lines of a
// sequence of allocations and releases, at the caller's position, the
// refusals, the table dump, the shared-memory lines and the bit display.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "os_coslog.h"
#include "os_cosmem.h"
#include "test_support.h"

namespace {

struct LogLine {
  std::string source;  // the source name column
  long line = 0;
  char letter = 0;
  std::string text;
};

// Counters of one "mem>>>" counter line.
struct Counters {
  char letter = 0;
  std::string head;  // "+  ", "-  ", "-* ", "-**"
  std::string address;
  long size = 0, ac = 0, fc = 0, cc = 0;
  unsigned long long cb = 0, pb = 0;
  std::string tail;
};

class OsMemLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = testsupport::RootPath("mem.log");
    // 0x20: comparable lines; any non-zero level turns the debug lines on.
    m_poslog = new COsLog("memtest", m_path.c_str(), 0x21, nullptr);
    g_poslog = m_poslog;
    m_posmem = new COsMem(OS_MEM_METHOD_GLOBALALLOC, 1);
  }
  void TearDown() override {
    delete m_posmem;
    g_poslog = nullptr;
    delete m_poslog;
  }

  // The lines written since the last call (header lines left out).
  std::vector<LogLine> NewLines() {
    static const std::regex s_prefix(R"(^\d{5,} \d{9} (.{32}) +(-?\d+) +(-?\d+) T\d{4,} S-?\d+ V([EAP.]) (.*)$)");
    std::string data = testsupport::ReadFile(m_path);
    std::vector<LogLine> lines;
    for (const auto& raw : testsupport::Lines(data.substr(m_consumed))) {
      EXPECT_FALSE(raw.empty());
      EXPECT_EQ('\r', raw.back()) << raw;
      std::string line = raw.substr(0, raw.size() - 1);
      std::smatch match;
      if (!std::regex_match(line, match, s_prefix)) {
        ADD_FAILURE() << "not a log line: " << line;
        continue;
      }
      LogLine logline;
      logline.source = match[1].str();
      logline.source.erase(logline.source.find_last_not_of(' ') + 1);
      logline.line = std::stol(match[2].str());
      logline.letter = match[4].str()[0];
      logline.text = match[5].str();
      if (logline.text.rfind("###", 0) == 0) continue;
      lines.push_back(logline);
    }
    m_consumed = data.size();
    return lines;
  }

  static bool ParseCounters(const std::string& a_text, Counters* a_pcounters) {
    static const std::regex s_counters(
        R"(^mem>>> (.)(.{3}) AD:(\S+)   SZ:(-?\d+) *  AC:(\d+) *  FC:(\d+) *  CC:(\d+) *  CB:(\d+) *  PB:(\d{9,}|\d[\d ]{8})(.*)$)");
    std::smatch match;
    if (!std::regex_match(a_text, match, s_counters)) return false;
    a_pcounters->letter = match[1].str()[0];
    a_pcounters->head = match[2].str();
    a_pcounters->address = match[3].str();
    a_pcounters->size = std::stol(match[4].str());
    a_pcounters->ac = std::stol(match[5].str());
    a_pcounters->fc = std::stol(match[6].str());
    a_pcounters->cc = std::stol(match[7].str());
    a_pcounters->cb = std::stoull(match[8].str());
    a_pcounters->pb = std::stoull(match[9].str());
    a_pcounters->tail = match[10].str();
    return true;
  }

  static std::string Pointer(const void* a_pv) {
    char sz[32];
    std::snprintf(sz, sizeof(sz), "%p", a_pv);
    return sz;
  }

  static bool Has(const std::vector<LogLine>& a_lines, const std::string& a_text) {
    for (const auto& l : a_lines)
      if (l.text == a_text) return true;
    return false;
  }

  std::string m_path;
  size_t m_consumed = 0;
  COsLog* m_poslog = nullptr;
  COsMem* m_posmem = nullptr;
};

TEST_F(OsMemLogTest, CounterLinesFollowASequence) {
  const long kLine = 4242;
  uint64_t page = m_posmem->GetPageSize();
  NewLines();
  void* pvA = m_posmem->Alloc(100, __FILE__, kLine, OS_LOG_MEM, true, "first");
  void* pvB = m_posmem->Alloc(10, __FILE__, kLine + 1, OS_LOG_MEMVIRTUAL);
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pvA, __FILE__, kLine + 2));
  char external[50];
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->AddExternal(external, sizeof(external)));
  void* pvC = m_posmem->Alloc(1000, __FILE__, kLine + 3);
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pvB, __FILE__, kLine + 4, OS_LOG_MEMVIRTUAL));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(external, __FILE__, kLine + 5));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pvC, __FILE__, kLine + 6));

  // The model: each step's letter, head, address, size and the counters after it.
  struct Step {
    char letter;
    const char* head;
    const void* address;
    long size, ac, fc, cc;
    unsigned long long cb, pb;
    const char* tail;
  };
  const unsigned long long kV = page;
  const Step steps[] = {
      {'g', "+  ", pvA, 164, 1, 0, 1, 164, 164, "  FN:first"},
      {'v', "+  ", pvB, static_cast<long>(kV), 2, 0, 2, 164 + kV, 164 + kV, "  FN:"},
      {'g', "-  ", pvA, 164, 2, 1, 1, kV, 164 + kV, "  FN:"},
      {'e', "+  ", external, 50, 3, 1, 2, kV + 50, 164 + kV, ""},
      {'g', "+  ", pvC, 1064, 4, 1, 3, kV + 1114, kV + 1114, "  FN:"},
      {'v', "-  ", pvB, static_cast<long>(kV), 4, 2, 2, 1114, kV + 1114, "  FN:"},
      {'e', "-  ", external, 50, 4, 3, 1, 1064, kV + 1114, "  FN:"},
      {'g', "-  ", pvC, 1064, 4, 4, 0, 0, kV + 1114, "  FN:"},
  };
  auto lines = NewLines();
  ASSERT_EQ(std::size(steps), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    Counters c;
    ASSERT_TRUE(ParseCounters(lines[i].text, &c)) << lines[i].text;
    const Step& s = steps[i];
    EXPECT_EQ(s.letter, c.letter) << i;
    EXPECT_EQ(s.head, c.head) << i;
    EXPECT_EQ(Pointer(s.address), c.address) << i;
    EXPECT_EQ(s.size, c.size) << i;
    EXPECT_EQ(s.ac, c.ac) << i;
    EXPECT_EQ(s.fc, c.fc) << i;
    EXPECT_EQ(s.cc, c.cc) << i;
    EXPECT_EQ(s.cb, c.cb) << i;
    EXPECT_EQ(s.pb, c.pb) << i;
    EXPECT_EQ(s.tail, c.tail) << i;
    EXPECT_EQ('.', lines[i].letter) << i;
  }
  // Lines stand at the caller's position; AddExternal has none of its own.
  const long kCallerLine[] = {kLine, kLine + 1, kLine + 2, -1, kLine + 3, kLine + 4, kLine + 5, kLine + 6};
  for (size_t i = 0; i < lines.size(); ++i) {
    if (kCallerLine[i] < 0) {
      EXPECT_EQ("os_cosmemimpl", lines[i].source);
      continue;
    }
    EXPECT_EQ("os_cosmemlog_test", lines[i].source) << i;
    EXPECT_EQ(kCallerLine[i], lines[i].line) << i;
  }
  // The exact layout of one line.
  char expected[256];
  std::snprintf(expected, sizeof(expected),
                "mem>>> g+   AD:%p   SZ:%-9d  AC:%-6d  FC:%-6d  CC:%-6d  CB:%-9llu  PB:%-9llu  FN:%s", pvA, 164, 1, 0,
                1, 164ULL, 164ULL, "first");
  EXPECT_EQ(expected, lines[0].text);
}

// Each counter line is written under the table lock: with several threads
// at work every line still balances, and the last one shows an empty table.
TEST_F(OsMemLogTest, CountersBalanceUnderThreads) {
  NewLines();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([this, t] {
      for (int i = 0; i < 100; ++i) {
        void* pv = m_posmem->Alloc(static_cast<size_t>(8 + t), __FILE__, __LINE__);
        m_posmem->Free(pv, __FILE__, __LINE__);
      }
    });
  for (auto& th : threads) th.join();
  auto lines = NewLines();
  ASSERT_EQ(800u, lines.size());
  long plus = 0, minus = 0, maxFc = 0;
  for (const auto& l : lines) {
    Counters c;
    ASSERT_TRUE(ParseCounters(l.text, &c)) << l.text;
    EXPECT_EQ(c.ac - c.fc, c.cc) << l.text;
    EXPECT_LE(c.cb, c.pb) << l.text;
    (c.head == "+  " ? plus : minus) += 1;
    maxFc = std::max(maxFc, c.fc);  // lines may reach the file out of order
  }
  EXPECT_EQ(400, plus);
  EXPECT_EQ(400, minus);
  EXPECT_EQ(400, maxFc);
}

TEST_F(OsMemLogTest, NothingAtLevelZero) {
  m_poslog->SetDebugLevel(0);
  NewLines();
  void* pv = m_posmem->Alloc(10, __FILE__, __LINE__);
  m_posmem->Free(pv, __FILE__, __LINE__);
  EXPECT_TRUE(NewLines().empty());
}

TEST_F(OsMemLogTest, FullTableKeepsItsMessageAndFreesTheBlock) {
  std::vector<void*> blocks;
  for (int i = 0; i < 1024; ++i) blocks.push_back(m_posmem->Alloc(8, __FILE__, __LINE__));
  NewLines();
  void* pvExtra = m_posmem->Alloc(8, __FILE__, __LINE__);
  auto lines = NewLines();
  EXPECT_TRUE(Has(lines, "mem>>> memory manager failed to allocate...")) << lines.size();
  Counters c;
  ASSERT_TRUE(ParseCounters(lines.back().text, &c));
  EXPECT_EQ(1025, c.cc);
  EXPECT_EQ(1025 * 72ULL, c.cb);

  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pvExtra, __FILE__, __LINE__));
  lines = NewLines();
  ASSERT_EQ(1u, lines.size());
  ASSERT_TRUE(ParseCounters(lines[0].text, &c));
  EXPECT_EQ(Pointer(pvExtra), c.address);
  EXPECT_EQ("-  ", c.head);
  EXPECT_EQ(1024, c.cc);
  EXPECT_EQ(1, c.fc);
  EXPECT_EQ(1024 * 72ULL, c.cb);
  for (void* pv : blocks) m_posmem->Free(pv, __FILE__, __LINE__);
}

TEST_F(OsMemLogTest, RefusalsAreLoggedTwice) {
  const long kLine = 777;
  int iStack = 0;
  NewLines();
  EXPECT_EQ(OS_STS_FAIL, m_posmem->Free(&iStack, __FILE__, kLine));
  auto lines = NewLines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("mem>>> Can't find managed item..." + Pointer(&iStack), lines[0].text);
  EXPECT_EQ('A', lines[0].letter);
  EXPECT_EQ("os_cosmemimpl", lines[0].source);
  EXPECT_EQ("mem>>> The error occurred here...", lines[1].text);
  EXPECT_EQ('E', lines[1].letter);
  EXPECT_EQ("os_cosmemlog_test", lines[1].source);
  EXPECT_EQ(kLine, lines[1].line);

  EXPECT_EQ(OS_STS_FAIL, m_posmem->Free(nullptr, __FILE__, kLine));
  lines = NewLines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("mem>>> Attempt to free a NULL value...", lines[0].text);
  EXPECT_EQ("mem>>> The error occurred here...", lines[1].text);

  void* pv = m_posmem->Alloc(0, __FILE__, kLine);
  lines = NewLines();
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("mem>>> a_sizetBytes is 0...", lines[0].text);
  EXPECT_EQ("mem>>> Error occurred here (we're going to keep going)...", lines[1].text);
  EXPECT_EQ(kLine, lines[1].line);
  Counters c;
  ASSERT_TRUE(ParseCounters(lines[2].text, &c));
  EXPECT_EQ(64, c.size);
  m_posmem->Free(pv, __FILE__, kLine);
  NewLines();

  struct Refusal {
    const char* name;
    uint64_t bytes;
    long flag;
    const char* text;
  } refusals[] = {
      {"", 10, OS_LOG_MEM, "mem>>> a_szName is null or an empty string..."},
      {"x", 0, OS_LOG_MEM, "mem>>> a_u64Bytes is 0..."},
      {"x", 10, OS_LOG_INFO, "mem>>> a_eoslogflag must be normal or virtual..."},
      {"x:y", 10, OS_LOG_MEM, "mem>>> thread-safe names can't have colons in them..."},
  };
  for (const auto& r : refusals) {
    EXPECT_EQ(nullptr, m_posmem->ThreadSafeAlloc(r.name, r.bytes, __FILE__, kLine, r.flag));
    lines = NewLines();
    ASSERT_EQ(2u, lines.size()) << r.text;
    EXPECT_EQ(r.text, lines[0].text);
    EXPECT_EQ("mem>>> Error occurred here...", lines[1].text);
    EXPECT_EQ(kLine, lines[1].line);
  }
}

TEST_F(OsMemLogTest, DumpListsTheTable) {
  void* pv = m_posmem->Alloc(100, __FILE__, __LINE__);
  char external[10];
  m_posmem->AddExternal(external, sizeof(external));
  NewLines();
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Dump());
  auto lines = NewLines();
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ("mem>>> OsMemDump begin...", lines[0].text);
  char expected[256];
  std::snprintf(expected, sizeof(expected), "mem>>> 0000  globalalloc %p(%p) s:164 o:0 v:164 f:%p <>", pv, pv,
                static_cast<void*>(nullptr));
  EXPECT_EQ(expected, lines[1].text);
  std::snprintf(expected, sizeof(expected), "mem>>> 0001     external %p(%p) s:10 o:0 v:10 f:%p <>",
                static_cast<void*>(external), static_cast<void*>(external), static_cast<void*>(nullptr));
  EXPECT_EQ(expected, lines[2].text);
  EXPECT_EQ("mem>>> OsMemDump end...", lines[3].text);
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Dump(external));
  lines = NewLines();
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ(expected, lines[1].text);
  m_posmem->Free(pv, __FILE__, __LINE__);
  m_posmem->Free(external, __FILE__, __LINE__);
}

TEST_F(OsMemLogTest, ValidateSpeaksOnlyWithItsBit) {
  NewLines();
  EXPECT_EQ(OS_STS_FAIL, m_posmem->Validate(__FILE__, 55));
  EXPECT_TRUE(NewLines().empty());
  m_poslog->SetDebugLevel(0x221);
  EXPECT_EQ(OS_STS_FAIL, m_posmem->Validate(__FILE__, 55));
  auto lines = NewLines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("mem>>> if validation worked, you'd see a message here...", lines[0].text);
  EXPECT_EQ(55, lines[0].line);
}

TEST_F(OsMemLogTest, NotOwnedBlocksAreHandedOverAtOnce) {
  NewLines();
  void* pv = m_posmem->AllocNotOwner(40, __FILE__, __LINE__, OS_LOG_MEMNOTOWNED);
  auto lines = NewLines();
  ASSERT_EQ(2u, lines.size());
  Counters plus, minus;
  ASSERT_TRUE(ParseCounters(lines[0].text, &plus));
  ASSERT_TRUE(ParseCounters(lines[1].text, &minus));
  EXPECT_EQ("+  ", plus.head);
  EXPECT_EQ("-* ", minus.head);
  EXPECT_EQ(1, plus.cc);
  EXPECT_EQ(0, minus.cc);
  EXPECT_EQ(1, minus.fc);
  EXPECT_EQ(0ULL, minus.cb);
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pv, __FILE__, __LINE__, OS_LOG_MEMNOTOWNED));
  lines = NewLines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("mem>>> freeing value given to us by another DLL..." + Pointer(pv), lines[0].text);
}

TEST_F(OsMemLogTest, SharedBlockLines) {
  std::string path = testsupport::RootPath("shared.bin");
  NewLines();
  void* pv = m_posmem->SharedAlloc(OS_SHAREDALLOC_CREATE, path.c_str(), 3 * 4096, 0, 3 * 4096, OS_SHAREDLOCK_NONE, 0,
                                   __FILE__, 99);
  ASSERT_NE(nullptr, pv);
  auto lines = NewLines();
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("mem>>> ForceMemoryMap=0 Platform=3 Windows=0", lines[0].text);
  EXPECT_EQ("mem>>> shared mode is OS_SHAREDMODE_MAPPAGEFILEASNEEDED", lines[1].text);
  Counters c;
  ASSERT_TRUE(ParseCounters(lines[2].text, &c));
  EXPECT_EQ('f', c.letter);
  EXPECT_EQ(3 * 4096, c.size);
  EXPECT_EQ(1, c.cc);
  EXPECT_EQ(" " + path, c.tail);
  EXPECT_EQ(99, lines[2].line);

  void* pvMoved = m_posmem->SharedRemap(pv, 5000, 100, __FILE__, 100);
  ASSERT_NE(nullptr, pvMoved);
  lines = NewLines();
  ASSERT_EQ(1u, lines.size());
  char expected[600];
  std::snprintf(expected, sizeof(expected), "mem>>> remap: %p --> %p %9d %9d %s", pv, pvMoved, 5000, 100,
                path.c_str());
  EXPECT_EQ(expected, lines[0].text);

  // The mode is settled once.
  void* pvOther = m_posmem->SharedAlloc(OS_SHAREDALLOC_OPEN, path.c_str(), 0, 0, -1, OS_SHAREDLOCK_NONE, 0,
                                        __FILE__, __LINE__);
  lines = NewLines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ(OS_SHAREDMODE_MAPPAGEFILEASNEEDED, m_posmem->SetSharedMode(OS_SHAREDMODE_MAPFILEASNEEDED));
  lines = NewLines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("mem>>> new shared mode is OS_SHAREDMODE_MAPFILEASNEEDED", lines[0].text);
  m_posmem->SetSharedMode(static_cast<EOSSHAREDMODE>(42));
  lines = NewLines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("mem>>> new shared mode is unknown...42", lines[0].text);

  m_posmem->Free(pvMoved, __FILE__, __LINE__);
  m_posmem->Free(pvOther, __FILE__, __LINE__);
  lines = NewLines();
  ASSERT_EQ(2u, lines.size());
  ASSERT_TRUE(ParseCounters(lines[0].text, &c));
  EXPECT_EQ('f', c.letter);
  EXPECT_EQ("  FN:" + path, c.tail);
}

TEST_F(OsMemLogTest, FailedSharedAllocationDumps) {
  NewLines();
  std::string missing = testsupport::RootPath("missing.bin");
  EXPECT_EQ(nullptr, m_posmem->SharedAlloc(OS_SHAREDALLOC_OPEN, missing.c_str(), 0, 0, -1, OS_SHAREDLOCK_NONE, 0,
                                           __FILE__, 321));
  auto lines = NewLines();
  EXPECT_TRUE(Has(lines, "mem>>> Error occurred here..."));
  EXPECT_TRUE(Has(lines, "mem>>> OsMemDump begin..."));
  EXPECT_TRUE(Has(lines, "mem>>> OsMemDump end..."));
  EXPECT_TRUE(Has(lines, "mem>>> DumpSystem running..."));
  bool blSystem = false;
  for (const auto& l : lines) blSystem |= l.text.rfind("system: pmap ", 0) == 0;
  EXPECT_TRUE(blSystem);
  EXPECT_EQ(nullptr, m_posmem->SharedAlloc(OS_SHAREDALLOC_CREATE, missing.c_str(), 10, 0, -1, OS_SHAREDLOCK_NONE, 0,
                                           __FILE__, 321));
  lines = NewLines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("mem>>> a_sizetView can only be -1 for OS_SHAREDALLOC_OPEN...", lines[0].text);
}

TEST_F(OsMemLogTest, DisplayBitsDrawsItsColumns) {
  const unsigned char bytes[] = {0xB3, 0x80};
  NewLines();
  ASSERT_EQ(OS_STS_SUCCESS, COsMem::DisplayBits(bytes, 2, 0, 12, true));
  auto lines = NewLines();
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ("dspbits>>> 00000000 0011", lines[0].text);
  EXPECT_EQ("dspbits>>> 01234567 8901", lines[1].text);
  EXPECT_EQ("dspbits>>> ~~~~~~~~ ~~~~", lines[2].text);
  EXPECT_EQ("dspbits>>> 10110011 1000", lines[3].text);
  for (const auto& l : lines) EXPECT_EQ('E', l.letter);

  // Count 0: from the offset to the end; no header.
  ASSERT_EQ(OS_STS_SUCCESS, COsMem::DisplayBits(bytes, 2, 4, 0, false));
  lines = NewLines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("dspbits>>> 00111000 0000", lines[0].text);

  // Over 99 bits a hundreds line comes first.
  unsigned char wide[13] = {};
  ASSERT_EQ(OS_STS_SUCCESS, COsMem::DisplayBits(wide, sizeof(wide), 0, 101, true));
  lines = NewLines();
  ASSERT_EQ(5u, lines.size());
  EXPECT_EQ('1', lines[0].text.back());
  EXPECT_EQ("dspbits>>> 00000000", lines[0].text.substr(0, 19));
}

}  // namespace
