// Tracked heap, page, external and per-thread blocks, blocks of other
// modules, the tracking table's limits and the process map dump.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "os_cosmem.h"
#include "os_costhread.h"
#include "test_support.h"

namespace {

class OsMemTest : public ::testing::Test {
 protected:
  void SetUp() override { m_posmem = new COsMem(OS_MEM_METHOD_GLOBALALLOC, 1); }
  void TearDown() override { delete m_posmem; }

  bool Tracked(const void* a_pv, OsMemSettings* a_psettings = nullptr) {
    OsMemSettings settings;
    EOSSTS sts = m_posmem->GetSettings(a_pv, a_psettings ? a_psettings : &settings, true);
    return sts == OS_STS_SUCCESS;
  }

  COsMem* m_posmem = nullptr;
};

// The permissions column of /proc/self/maps for the mapping holding an address.
std::string MapPermissions(const void* a_pv) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  uintptr_t address = reinterpret_cast<uintptr_t>(a_pv);
  while (std::getline(maps, line)) {
    uintptr_t start = 0, end = 0;
    char perms[8] = {};
    if (std::sscanf(line.c_str(), "%lx-%lx %7s", &start, &end, perms) == 3 && address >= start && address < end)
      return perms;
  }
  return "";
}

std::vector<std::string> FilesStartingWith(const std::string& a_dir, const std::string& a_prefix) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(a_dir)) {
    std::string name = entry.path().filename().string();
    if (name.rfind(a_prefix, 0) == 0) names.push_back(name);
  }
  return names;
}

TEST_F(OsMemTest, ConstructionPublishesAndDestructionClears) {
  EXPECT_EQ(m_posmem, g_posmem);
  EXPECT_EQ(static_cast<uint64_t>(sysconf(_SC_PAGESIZE)), m_posmem->GetPageSize());
  delete m_posmem;
  EXPECT_EQ(nullptr, g_posmem);
  m_posmem = new COsMem(OS_MEM_METHOD_MALLOC, 0);
  EXPECT_EQ(m_posmem, g_posmem);
}

TEST_F(OsMemTest, HeapBlocksAreZeroAlignedAndTracked) {
  for (size_t bytes : {size_t{1}, size_t{15}, size_t{1000}, size_t{100000}}) {
    auto* pb = static_cast<unsigned char*>(m_posmem->Alloc(bytes, __FILE__, __LINE__));
    ASSERT_NE(nullptr, pb);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(pb) % 16);
    OsMemSettings settings;
    ASSERT_TRUE(Tracked(pb, &settings));
    EXPECT_EQ(static_cast<uint32_t>(OS_MEMTYPE_GLOBALALLOC), settings.u32Type);
    EXPECT_EQ(bytes + 64, settings.u64Size);
    EXPECT_EQ(bytes + 64, settings.u64View);
    EXPECT_EQ(0u, settings.u64Offset);
    EXPECT_STREQ("", settings.szName);
    for (size_t i = 0; i < bytes + 64; ++i) ASSERT_EQ(0, pb[i]) << i;
    std::memset(pb, 0xAB, bytes + 64);  // the whole final size is ours
    EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pb, __FILE__, __LINE__));
    EXPECT_FALSE(Tracked(pb));
  }
  // A size of 0 still gives a 64-byte block.
  void* pv = m_posmem->Alloc(0, __FILE__, __LINE__);
  OsMemSettings settings;
  ASSERT_TRUE(Tracked(pv, &settings));
  EXPECT_EQ(64u, settings.u64Size);
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pv, __FILE__, __LINE__));
}

TEST_F(OsMemTest, MethodDecidesTheRecordedType) {
  delete m_posmem;
  m_posmem = new COsMem(OS_MEM_METHOD_MALLOC, 1);
  void* pv = m_posmem->Alloc(10, __FILE__, __LINE__);
  OsMemSettings settings;
  ASSERT_TRUE(Tracked(pv, &settings));
  EXPECT_EQ(static_cast<uint32_t>(OS_MEMTYPE_MALLOC), settings.u32Type);
  m_posmem->Free(pv, __FILE__, __LINE__);

  delete m_posmem;
  m_posmem = new COsMem(static_cast<EOSMEMMETHOD>(9), 1);
  EXPECT_EQ(nullptr, m_posmem->Alloc(10, __FILE__, __LINE__));
}

TEST_F(OsMemTest, BadFreesAreRefused) {
  EXPECT_EQ(OS_STS_FAIL, m_posmem->Free(nullptr, __FILE__, __LINE__));
  int iStack = 0;
  EXPECT_EQ(OS_STS_FAIL, m_posmem->Free(&iStack, __FILE__, __LINE__));
  void* pvForeign = std::malloc(32);
  EXPECT_EQ(OS_STS_FAIL, m_posmem->Free(pvForeign, __FILE__, __LINE__));
  std::free(pvForeign);
  void* pv = m_posmem->Alloc(32, __FILE__, __LINE__);
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pv, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_FAIL, m_posmem->Free(pv, __FILE__, __LINE__));  // twice
}

TEST_F(OsMemTest, FullTableStillHandsOutAndFreesBlocks) {
  std::vector<void*> blocks;
  for (int i = 0; i < 1024; ++i) {
    blocks.push_back(m_posmem->Alloc(8, __FILE__, __LINE__));
    ASSERT_TRUE(Tracked(blocks.back()));
  }
  void* pvExtra = m_posmem->Alloc(8, __FILE__, __LINE__);
  ASSERT_NE(nullptr, pvExtra);
  EXPECT_FALSE(Tracked(pvExtra));
  std::memset(pvExtra, 1, 72);
  // A full table refuses what must be tracked.
  char external[16];
  EXPECT_EQ(OS_STS_FAIL, m_posmem->AddExternal(external, sizeof(external)));
  EXPECT_EQ(nullptr, m_posmem->ThreadSafeAlloc("scratch", 10, __FILE__, __LINE__));
  // The untracked block is still ours to free, once.
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pvExtra, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_FAIL, m_posmem->Free(pvExtra, __FILE__, __LINE__));
  for (void* pv : blocks) EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pv, __FILE__, __LINE__));
  // Slots come back.
  void* pv = m_posmem->Alloc(8, __FILE__, __LINE__);
  EXPECT_TRUE(Tracked(pv));
  m_posmem->Free(pv, __FILE__, __LINE__);
}

// Random allocations and releases: every live block is found in the lowest
// slots, every released one is gone.
TEST_F(OsMemTest, ChurnKeepsTheTableExact) {
  std::vector<void*> live;
  std::vector<void*> gone;
  unsigned seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  for (int step = 0; step < 6000; ++step) {
    bool blAlloc = live.empty() || (live.size() < 1000 && next() % 3 != 0);
    if (blAlloc) {
      void* pv = m_posmem->Alloc(1 + next() % 64, __FILE__, __LINE__);
      ASSERT_NE(nullptr, pv);
      live.push_back(pv);
    } else {
      size_t i = next() % live.size();
      ASSERT_EQ(OS_STS_SUCCESS, m_posmem->Free(live[i], __FILE__, __LINE__));
      gone.push_back(live[i]);
      live[i] = live.back();
      live.pop_back();
    }
  }
  std::vector<bool> slots(1024, false);
  for (void* pv : live) {
    OsMemSettings settings;
    ASSERT_TRUE(Tracked(pv, &settings));
    ASSERT_EQ(pv, settings.pvAddress);
    ASSERT_LT(settings.u64Slot, 1024u);
    EXPECT_FALSE(slots[settings.u64Slot]);
    slots[settings.u64Slot] = true;
  }
  // The table is packed from slot 0: a new block takes the lowest free slot.
  size_t lowestFree = 0;
  while (lowestFree < slots.size() && slots[lowestFree]) ++lowestFree;
  void* pvNew = m_posmem->Alloc(8, __FILE__, __LINE__);
  OsMemSettings settings;
  ASSERT_TRUE(Tracked(pvNew, &settings));
  EXPECT_EQ(lowestFree, settings.u64Slot);
  live.push_back(pvNew);
  for (void* pv : gone) {
    bool blReused = std::find(live.begin(), live.end(), pv) != live.end();
    if (!blReused) {
      EXPECT_FALSE(Tracked(pv));
    }
  }
  for (void* pv : live) EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pv, __FILE__, __LINE__));
  for (void* pv : live) EXPECT_FALSE(Tracked(pv));
}

TEST_F(OsMemTest, PageBlocksAndTheirAccess) {
  uint64_t u64Page = m_posmem->GetPageSize();
  void* pv = m_posmem->Alloc(u64Page + 1, __FILE__, __LINE__, OS_LOG_MEMVIRTUAL);
  ASSERT_NE(nullptr, pv);
  OsMemSettings settings;
  ASSERT_TRUE(Tracked(pv, &settings));
  EXPECT_EQ(static_cast<uint32_t>(OS_MEMTYPE_VIRTUAL), settings.u32Type);
  EXPECT_EQ(2 * u64Page, settings.u64Size);
  EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(pv) % u64Page);
  EXPECT_EQ("rw-s", MapPermissions(pv));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->SetAccess(pv, OS_MEMACCESS_READONLY));
  EXPECT_EQ("r--s", MapPermissions(pv));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->SetAccess(pv, OS_MEMACCESS_READWRITE));
  EXPECT_EQ("rw-s", MapPermissions(pv));
  EXPECT_EQ(OS_STS_FAIL, m_posmem->SetAccess(pv, static_cast<EOSMEMACCESS>(7)));
  static_cast<char*>(pv)[2 * u64Page - 1] = 1;
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pv, __FILE__, __LINE__));
  EXPECT_EQ("", MapPermissions(pv));

  // Only page blocks change their access.
  void* pvHeap = m_posmem->Alloc(10, __FILE__, __LINE__);
  EXPECT_EQ(OS_STS_FAIL, m_posmem->SetAccess(pvHeap, OS_MEMACCESS_READONLY));
  int iStack = 0;
  EXPECT_EQ(OS_STS_FAIL, m_posmem->SetAccess(&iStack, OS_MEMACCESS_READONLY));
  m_posmem->Free(pvHeap, __FILE__, __LINE__);
}

TEST_F(OsMemTest, ExternalBlocksAreTrackedNotReleased) {
  char buffer[100];
  std::memset(buffer, 'x', sizeof(buffer));
  ASSERT_EQ(OS_STS_SUCCESS, m_posmem->AddExternal(buffer, sizeof(buffer)));
  OsMemSettings settings;
  ASSERT_TRUE(Tracked(buffer, &settings));
  EXPECT_EQ(static_cast<uint32_t>(OS_MEMTYPE_EXTERNAL), settings.u32Type);
  EXPECT_EQ(100u, settings.u64Size);
  EXPECT_EQ(OS_STS_FAIL, m_posmem->AddExternal(buffer, sizeof(buffer)));  // already there
  EXPECT_EQ(OS_STS_FAIL, m_posmem->AddExternal(nullptr, 10));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(buffer, __FILE__, __LINE__));
  EXPECT_FALSE(Tracked(buffer));
  EXPECT_EQ('x', buffer[99]);  // a stack buffer: the heap never saw it
}

struct Foreign {
  static inline std::atomic<int> allocs{0}, frees{0}, locks{0}, unlocks{0};
  static inline uint32_t lastSize = 0;
  static void* Alloc(uint32_t a_u32) {
    ++allocs;
    lastSize = a_u32;
    return std::malloc(a_u32);
  }
  static void Free(void* a_pv) {
    ++frees;
    std::free(a_pv);
  }
  static void* Lock(void* a_pv) {
    ++locks;
    return static_cast<char*>(a_pv) + 1;
  }
  static void Unlock(void*) { ++unlocks; }
};

TEST_F(OsMemTest, MemoryOfOtherModules) {
  // Before registration: Lock hands the handle back; not-owned memory is a
  // plain heap block that whoever takes it frees with the heap.
  int iHandle = 0;
  EXPECT_EQ(&iHandle, m_posmem->Lock(&iHandle));
  EXPECT_EQ(nullptr, m_posmem->Lock(nullptr));
  EXPECT_EQ(OS_STS_FAIL, m_posmem->Unlock(nullptr));
  for (long flag : {long{OS_LOG_MEMNOTOWNED}, long{OS_LOG_MEMVIRTUALNOTOWNED}}) {
    void* pv = m_posmem->AllocNotOwner(100, __FILE__, __LINE__, flag);
    ASSERT_NE(nullptr, pv);
    EXPECT_FALSE(Tracked(pv));
    EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pv, __FILE__, __LINE__, OS_LOG_MEMNOTOWNED));
  }
  void* pvGiven = m_posmem->AllocNotOwner(10, __FILE__, __LINE__, OS_LOG_MEMNOTOWNED);
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->FreeNotOwner(pvGiven, __FILE__, __LINE__));

  EXPECT_EQ(OS_STS_FAIL, m_posmem->RegisterNotOwnerFunctions(Foreign::Alloc, nullptr, Foreign::Lock, Foreign::Unlock));
  ASSERT_EQ(OS_STS_SUCCESS,
            m_posmem->RegisterNotOwnerFunctions(Foreign::Alloc, Foreign::Free, Foreign::Lock, Foreign::Unlock));
  auto* pb = static_cast<unsigned char*>(m_posmem->AllocNotOwner(77, __FILE__, __LINE__, OS_LOG_MEMNOTOWNED));
  ASSERT_NE(nullptr, pb);
  EXPECT_EQ(1, Foreign::allocs.load());
  EXPECT_EQ(77u, Foreign::lastSize);
  for (int i = 0; i < 77; ++i) ASSERT_EQ(0, pb[i]);
  EXPECT_FALSE(Tracked(pb));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->FreeNotOwner(pb, __FILE__, __LINE__));
  EXPECT_EQ(1, Foreign::frees.load());
  EXPECT_EQ(reinterpret_cast<char*>(&iHandle) + 1, m_posmem->Lock(&iHandle));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Unlock(&iHandle));
  EXPECT_EQ(1, Foreign::locks.load());
  EXPECT_EQ(1, Foreign::unlocks.load());
  // A plain allocation does not go to the other module.
  void* pv = m_posmem->Alloc(5, __FILE__, __LINE__);
  EXPECT_EQ(1, Foreign::allocs.load());
  m_posmem->Free(pv, __FILE__, __LINE__);
}

TEST_F(OsMemTest, ThreadSafeBlocksGrowAndKeepTheirContents) {
  auto* pb = static_cast<unsigned char*>(m_posmem->ThreadSafeAlloc("scratch", 100, __FILE__, __LINE__));
  ASSERT_NE(nullptr, pb);
  OsMemSettings settings;
  ASSERT_TRUE(Tracked(pb, &settings));
  char expected[64];
  std::snprintf(expected, sizeof(expected), ":scratch:%llx:", static_cast<unsigned long long>(gettid()));
  EXPECT_STREQ(expected, settings.szName);
  for (int i = 0; i < 164; ++i) pb[i] = static_cast<unsigned char>(i);
  // Smaller or equal: the same block.
  EXPECT_EQ(pb, m_posmem->ThreadSafeAlloc("scratch", 50, __FILE__, __LINE__));
  EXPECT_EQ(pb, m_posmem->ThreadSafeAlloc("scratch", 100, __FILE__, __LINE__));
  // Larger: a new block that holds the old contents; the old one is gone.
  auto* pbGrown = static_cast<unsigned char*>(m_posmem->ThreadSafeAlloc("scratch", 5000, __FILE__, __LINE__));
  ASSERT_NE(nullptr, pbGrown);
  EXPECT_NE(pb, pbGrown);
  EXPECT_FALSE(Tracked(pb));
  for (int i = 0; i < 164; ++i) ASSERT_EQ(i, pbGrown[i]);
  ASSERT_TRUE(Tracked(pbGrown, &settings));
  EXPECT_STREQ(expected, settings.szName);
  // Another name is another block.
  void* pvOther = m_posmem->ThreadSafeAlloc("other", 10, __FILE__, __LINE__);
  EXPECT_NE(pvOther, pbGrown);
  // A heap block followed by a page block a little smaller than it: the copy
  // stops at the new block's end.
  uint64_t u64Page = m_posmem->GetPageSize();
  void* pvHeap = m_posmem->ThreadSafeAlloc("pages", u64Page - 60, __FILE__, __LINE__);
  std::memset(pvHeap, 7, u64Page + 4);
  void* pvPages = m_posmem->ThreadSafeAlloc("pages", u64Page, __FILE__, __LINE__, OS_LOG_MEMVIRTUAL);
  ASSERT_TRUE(Tracked(pvPages, &settings));
  EXPECT_EQ(static_cast<uint32_t>(OS_MEMTYPE_VIRTUAL), settings.u32Type);
  EXPECT_EQ(u64Page, settings.u64Size);
  EXPECT_EQ(7, static_cast<char*>(pvPages)[u64Page - 1]);
  // A page block that holds the request is kept.
  EXPECT_EQ(pvPages, m_posmem->ThreadSafeAlloc("pages", u64Page, __FILE__, __LINE__, OS_LOG_MEMVIRTUAL));

  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->ThreadSafeFree("scratch", __FILE__, __LINE__));
  EXPECT_FALSE(Tracked(pbGrown));
  EXPECT_TRUE(Tracked(pvOther));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->ThreadSafeFree("other", __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->ThreadSafeFree("pages", __FILE__, __LINE__));
  EXPECT_FALSE(Tracked(pvOther));
  EXPECT_FALSE(Tracked(pvPages));
}

TEST_F(OsMemTest, ThreadSafeFreeMatchesTheNameNotTheThreadId) {
  // A name spelled like this thread's id in hexadecimal.
  char szId[32];
  std::snprintf(szId, sizeof(szId), "%llx", static_cast<unsigned long long>(gettid()));
  void* pvOther = m_posmem->ThreadSafeAlloc("other", 10, __FILE__, __LINE__);
  void* pvId = m_posmem->ThreadSafeAlloc(szId, 10, __FILE__, __LINE__);
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->ThreadSafeFree(szId, __FILE__, __LINE__));
  EXPECT_FALSE(Tracked(pvId));
  EXPECT_TRUE(Tracked(pvOther));
  m_posmem->ThreadSafeFree("other", __FILE__, __LINE__);
}

TEST_F(OsMemTest, ThreadSafeRefusals) {
  struct Bad {
    const char* name;
    uint64_t bytes;
    long flag;
  } bad[] = {{nullptr, 10, OS_LOG_MEM}, {"", 10, OS_LOG_MEM},        {"a:b", 10, OS_LOG_MEM},
             {"ok", 0, OS_LOG_MEM},     {"ok", 10, OS_LOG_INFO},     {"ok", 10, OS_LOG_MEMNOTOWNED},
             {"ok", UINT64_MAX, OS_LOG_MEM}};
  for (const auto& b : bad) EXPECT_EQ(nullptr, m_posmem->ThreadSafeAlloc(b.name, b.bytes, __FILE__, __LINE__, b.flag));
  // A name that would not leave room for the thread id.
  std::string longName(60, 'n');
  EXPECT_EQ(nullptr, m_posmem->ThreadSafeAlloc(longName.c_str(), 10, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_FAIL, m_posmem->ThreadSafeFree("a:b", __FILE__, __LINE__));
}

TEST_F(OsMemTest, ThreadSafeBlocksArePerThreadAndSweptAfterTheThreadEnds) {
  void* pvMine = m_posmem->ThreadSafeAlloc("buffer", 64, __FILE__, __LINE__);
  void* pvTheirs = nullptr;
  void* pvEnded = nullptr;
  uint64_t u64Tid = 0;
  std::thread([&] {
    u64Tid = COsThread::GetThreadId();
    pvTheirs = m_posmem->ThreadSafeAlloc("buffer", 64, __FILE__, __LINE__);
    pvEnded = m_posmem->ThreadSafeAlloc("ended", 64, __FILE__, __LINE__);
  }).join();
  // The kernel may list a joined thread for a moment longer.
  for (int i = 0; i < 500 && COsThread::IsThreadRunning(u64Tid); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_NE(nullptr, pvTheirs);
  EXPECT_NE(pvMine, pvTheirs);
  EXPECT_TRUE(Tracked(pvEnded));
  // No name: only the sweep of ended threads.
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->ThreadSafeFree(nullptr, __FILE__, __LINE__));
  EXPECT_FALSE(Tracked(pvEnded));
  EXPECT_FALSE(Tracked(pvTheirs));
  EXPECT_TRUE(Tracked(pvMine));

  // A name frees that name in every thread, running or not.
  std::atomic<bool> release{false};
  std::atomic<void*> pvLive{nullptr};
  std::thread live([&] {
    // Both blocks exist before the other side frees one: an allocation after
    // the free could take the freed address and look like the freed block.
    void* pvBuffer = m_posmem->ThreadSafeAlloc("buffer", 64, __FILE__, __LINE__);
    void* pvKeep = m_posmem->ThreadSafeAlloc("keep", 64, __FILE__, __LINE__);
    pvLive = pvBuffer;
    while (!release) std::this_thread::yield();
    EXPECT_TRUE(Tracked(pvKeep));
  });
  while (!pvLive) std::this_thread::yield();
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->ThreadSafeFree("buffer", __FILE__, __LINE__));
  EXPECT_FALSE(Tracked(pvLive));
  EXPECT_FALSE(Tracked(pvMine));
  release = true;
  live.join();
  m_posmem->ThreadSafeFree(nullptr, __FILE__, __LINE__);
}

// Many threads allocate, grow and free at once; every block stays intact.
TEST_F(OsMemTest, ManyThreadsShareTheTable) {
  constexpr int kThreads = 8;
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  std::vector<void*> lastScratch(kThreads, nullptr);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      unsigned char tag = static_cast<unsigned char>(t + 1);
      for (int i = 0; i < 300; ++i) {
        size_t bytes = 16 + static_cast<size_t>((i * 37 + t * 11) % 400);
        auto* pb = static_cast<unsigned char*>(m_posmem->Alloc(bytes, __FILE__, __LINE__));
        if (!pb) {
          ++failures;
          continue;
        }
        std::memset(pb, tag, bytes);
        auto* pbScratch = static_cast<unsigned char*>(
            m_posmem->ThreadSafeAlloc("scratch", 32 + static_cast<uint64_t>(i) * 4, __FILE__, __LINE__));
        if (!pbScratch || (i > 0 && pbScratch[0] != tag)) ++failures;
        if (pbScratch) pbScratch[0] = tag;
        lastScratch[t] = pbScratch;
        for (size_t k = 0; k < bytes; ++k)
          if (pb[k] != tag) {
            ++failures;
            break;
          }
        if (m_posmem->Free(pb, __FILE__, __LINE__) != OS_STS_SUCCESS) ++failures;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(0, failures.load());
  for (void* pv : lastScratch) EXPECT_TRUE(Tracked(pv));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->ThreadSafeFree(nullptr, __FILE__, __LINE__));
  for (void* pv : lastScratch) EXPECT_FALSE(Tracked(pv));
}

TEST_F(OsMemTest, SmallServices) {
  OsMemList list;
  std::memset(&list, 0xFF, sizeof(list));
  ASSERT_EQ(OS_STS_SUCCESS, m_posmem->GetFreeContiguousList(&list));
  EXPECT_EQ(1u, list.u64Count);
  EXPECT_EQ(1ull << 30, list.au64Size[0]);
  EXPECT_EQ(0u, list.au64Size[1]);
  EXPECT_EQ(OS_STS_FAIL, m_posmem->GetFreeContiguousList(nullptr));
  EXPECT_EQ(OS_STS_FAIL, m_posmem->Validate(__FILE__, __LINE__));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Dump());

  EXPECT_EQ(nullptr, m_posmem->ReserveVirtualMemory(0));
  void* pv = m_posmem->ReserveVirtualMemory(4096);
  ASSERT_NE(nullptr, pv);
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->ReleaseVirtualMemory(pv));
  EXPECT_EQ(OS_STS_FAIL, m_posmem->ReleaseVirtualMemory(pv));

  OsMemSettings settings;
  EXPECT_EQ(OS_STS_FAIL, m_posmem->GetSettings(static_cast<const void*>(nullptr), &settings));
  EXPECT_EQ(OS_STS_FAIL, m_posmem->GetSettings(static_cast<const char*>(nullptr), &settings));
  const int64_t i64Blocks = m_posmem->GetBlockCount();
  void* pvBlock = m_posmem->Alloc(8, __FILE__, __LINE__);
  EXPECT_EQ(i64Blocks + 1, m_posmem->GetBlockCount());
  EXPECT_EQ(OS_STS_FAIL, m_posmem->GetSettings(pvBlock, nullptr));
  m_posmem->Free(pvBlock, __FILE__, __LINE__);
  EXPECT_EQ(i64Blocks, m_posmem->GetBlockCount());

  EXPECT_EQ(OS_SHAREDMODE_UNDEFINED, m_posmem->SetSharedMode(OS_SHAREDMODE_MAPFILEASNEEDED));
  EXPECT_EQ(OS_SHAREDMODE_MAPFILEASNEEDED, m_posmem->SetSharedMode(OS_SHAREDMODE_MAPFILEALL));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->SharedSetMode(OS_SHAREDMODE_MAPPAGEFILEALL, __FILE__, __LINE__));
  EXPECT_EQ(OS_SHAREDMODE_MAPPAGEFILEALL, m_posmem->SetSharedMode(OS_SHAREDMODE_MAPFILEALL));
}

TEST_F(OsMemTest, DumpSystemWritesTheProcessMap) {
  ASSERT_EQ(OS_STS_SUCCESS, m_posmem->DumpSystem(nullptr));
  auto names = FilesStartingWith(".", "PmxMem_");
  ASSERT_EQ(1u, names.size());
  EXPECT_EQ(std::string("PmxMem_hhmmssmmm.txt").size(), names[0].size());
  EXPECT_EQ(".txt", names[0].substr(names[0].size() - 4));
  std::string text = testsupport::ReadFile(names[0]);
  EXPECT_EQ(std::to_string(getpid()) + ":", text.substr(0, std::to_string(getpid()).size() + 1));

  // A name without extension gets the time appended.
  ASSERT_EQ(OS_STS_SUCCESS, m_posmem->DumpSystem("report"));
  names = FilesStartingWith(".", "report_");
  ASSERT_EQ(1u, names.size());
  EXPECT_EQ(std::string("report_hhmmssmmm").size(), names[0].size());
}

TEST_F(OsMemTest, DumpSystemPathIsNeverShellText) {
  // Quotes, "$" and backquotes in the directory are just characters.
  std::string dir = "odd \"dir\" $(touch pwned1) `touch pwned2` ';touch pwned3'";
  ASSERT_TRUE(std::filesystem::create_directory(dir));
  ASSERT_EQ(OS_STS_SUCCESS, m_posmem->DumpSystem((dir + "/crash.txt").c_str()));
  auto names = FilesStartingWith(dir, "crash_");
  ASSERT_EQ(1u, names.size());
  EXPECT_EQ(".txt", names[0].substr(names[0].size() - 4));
  EXPECT_FALSE(testsupport::ReadFile(dir + "/" + names[0]).empty());
  for (const char* pwned : {"pwned1", "pwned2", "pwned3"}) EXPECT_FALSE(testsupport::FileExists(pwned)) << pwned;
  // A directory that is not there: refused, nothing run.
  EXPECT_EQ(OS_STS_FAIL, m_posmem->DumpSystem("missing/dir/x.txt"));
}

TEST_F(OsMemTest, DumpSystemKillsAPmapThatNeverFinishes) {
  // A pmap that hangs: found first on PATH, it sleeps far past the limit.
  std::filesystem::create_directory("bin");
  testsupport::WriteFile("bin/pmap", "#!/bin/sh\nexec sleep 600\n");
  std::filesystem::permissions("bin/pmap", std::filesystem::perms::owner_all);
  std::string path = std::filesystem::absolute("bin").string() + ":" + getenv("PATH");
  setenv("PATH", path.c_str(), 1);
  OsMemSetPmapWaitLimit(200);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OS_STS_FAIL, m_posmem->DumpSystem("hung.txt"));
  // Only a bound against hanging, far above the limit.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  OsMemSetPmapWaitLimit(-1);
}

TEST(OsMemWithoutService, HelpersWorkWhileNoServiceRuns) {
  ASSERT_EQ(nullptr, g_posmem);
  auto* pb = static_cast<unsigned char*>(OsMemAlloc(100));
  ASSERT_NE(nullptr, pb);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(0, pb[i]);
  EXPECT_EQ(OS_STS_SUCCESS, OsMemFree(pb));
  EXPECT_EQ(OS_STS_FAIL, OsMemFree(nullptr));

  struct Thing {
    explicit Thing(int a_i) : i(a_i) {}
    int i;
  };
  struct Throws {
    Throws() { throw 1; }
  };
  Thing* pthing = OsMemNew(Thing, 42);
  ASSERT_NE(nullptr, pthing);
  EXPECT_EQ(42, pthing->i);
  OsMemDelete(pthing);
  EXPECT_EQ(nullptr, pthing);
  Throws* pthrows = OsMemNew(Throws);
  EXPECT_EQ(nullptr, pthrows);

  // With the service running the same helpers track.
  COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 1);
  void* pv = OsMemAlloc(10);
  OsMemSettings settings;
  EXPECT_EQ(OS_STS_SUCCESS, osmem.GetSettings(pv, &settings));
  EXPECT_EQ(OS_STS_SUCCESS, OsMemFree(pv));
}

// A block handed out before the service started is released when freed
// after it started (not refused as foreign, not leaked); one handed out while
// the service ran can be freed after it stopped.
TEST(OsMemWithoutService, BlocksCrossTheServiceStartAndStop) {
  ASSERT_EQ(nullptr, g_posmem);
  void* pvBefore = OsMemAlloc(64);
  ASSERT_NE(nullptr, pvBefore);
  void* pvDuring = nullptr;
  {
    COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 1);
    OsMemSettings settings;
    EXPECT_NE(OS_STS_SUCCESS, osmem.GetSettings(pvBefore, &settings, true)) << "the tracker never saw it";
    EXPECT_EQ(OS_STS_SUCCESS, OsMemFree(pvBefore));
    EXPECT_EQ(OS_STS_FAIL, OsMemFree(pvBefore)) << "a second free is refused";
    pvDuring = OsMemAlloc(64);
    ASSERT_NE(nullptr, pvDuring);
  }
  EXPECT_EQ(OS_STS_SUCCESS, OsMemFree(pvDuring));
}

}  // namespace
