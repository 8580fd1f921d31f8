// File-backed shared memory: data and the byte-0 lock shared with another
// process (Python), views at unaligned offsets, remapping, sizing of the
// file, release flags and bad input.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "os_cosfile_testutil.h"
#include "os_cosmem.h"
#include "test_support.h"

namespace {

// Pattern byte of file offset i.
unsigned char Pattern(size_t i) { return static_cast<unsigned char>((i * 131 + i / 251 + 7) & 0xFF); }

std::string PatternText(size_t a_sizet) {
  std::string text(a_sizet, '\0');
  for (size_t i = 0; i < a_sizet; ++i) text[i] = static_cast<char>(Pattern(i));
  return text;
}

int64_t SizeOf(const std::string& a_path) {
  struct stat st;
  return stat(a_path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

// Asks Python whether it can take the write lock on byte 0 of a file right
// now (a classic record lock, as another program would take it).
std::string PythonTryLock(const std::string& a_path) {
  const char* script = R"(
import fcntl, sys
f = open(sys.argv[1], 'r+b')
try:
    fcntl.lockf(f, fcntl.LOCK_EX | fcntl.LOCK_NB, 1, 0)
    print('free')
except OSError:
    print('busy')
)";
  return testsupport::RunPython(script, {a_path});
}

// Python script that holds the byte-0 lock of argv[1] until its input closes.
const char* const kHoldLockScript = R"(
import fcntl, sys
f = open(sys.argv[1], 'r+b')
fcntl.lockf(f, fcntl.LOCK_EX, 1, 0)
print('locked', flush=True)
sys.stdin.read()
)";

class OsMemSharedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_posmem = new COsMem(OS_MEM_METHOD_GLOBALALLOC, 1);
    m_page = static_cast<int64_t>(m_posmem->GetPageSize());
  }
  void TearDown() override { delete m_posmem; }

  void* Alloc(EOSSHAREDALLOC a_kind, const std::string& a_path, int64_t a_size, int64_t a_offset, int64_t a_view,
              EOSSHAREDLOCK a_lock = OS_SHAREDLOCK_NONE, uint32_t a_flags = 0) {
    return m_posmem->SharedAlloc(a_kind, a_path.c_str(), a_size, a_offset, a_view, a_lock, a_flags, __FILE__,
                                 __LINE__);
  }
  OsMemSettings Settings(const void* a_pv) {
    OsMemSettings settings;
    EXPECT_EQ(OS_STS_SUCCESS, m_posmem->GetSettings(a_pv, &settings));
    return settings;
  }

  COsMem* m_posmem = nullptr;
  int64_t m_page = 4096;
};

TEST_F(OsMemSharedTest, AnotherProcessSeesAndChangesTheBlock) {
  std::string path = testsupport::RootPath("shared.bin");
  auto* pb = static_cast<char*>(Alloc(OS_SHAREDALLOC_CREATE, path, 3 * m_page, 0, 3 * m_page));
  ASSERT_NE(nullptr, pb);
  EXPECT_EQ(3 * m_page, SizeOf(path));
  std::strcpy(pb + 100, "written by the driver");
  const char* script = R"(
import mmap, sys
with open(sys.argv[1], 'r+b') as f:
    m = mmap.mmap(f.fileno(), 0)
    print(m[100:121].decode())
    m[int(sys.argv[2]):int(sys.argv[2]) + 6] = b'python'
    m.close()
)";
  int status = -1;
  std::string seen = testsupport::RunPython(script, {path, std::to_string(2 * m_page + 5)}, &status);
  ASSERT_EQ(0, status);
  EXPECT_EQ("written by the driver\n", seen);
  EXPECT_EQ(0, std::memcmp(pb + 2 * m_page + 5, "python", 6));

  OsMemSettings settings;
  ASSERT_EQ(OS_STS_SUCCESS, m_posmem->GetSettings(path.c_str(), &settings));
  EXPECT_EQ(pb, settings.pvAddress);
  EXPECT_EQ(static_cast<uint32_t>(OS_MEMTYPE_MEMORYMAP), settings.u32Type);
  EXPECT_EQ(static_cast<uint64_t>(3 * m_page), settings.u64Size);
  EXPECT_EQ(path, settings.szName);
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->SharedFlush(pb));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pb, __FILE__, __LINE__));
  EXPECT_EQ("written by the driver", testsupport::ReadFile(path).substr(100, 21));
  EXPECT_EQ(OS_STS_FAIL, m_posmem->GetSettings(path.c_str(), &settings, true));
}

TEST_F(OsMemSharedTest, ByteLockAgainstAnotherProcess) {
  std::string path = testsupport::RootPath("locked.bin");
  void* pv = Alloc(OS_SHAREDALLOC_CREATE, path, 4096, 0, 4096, OS_SHAREDLOCK_NOW);
  ASSERT_NE(nullptr, pv);
  EXPECT_EQ(OS_STS_LOCKED, m_posmem->SharedTestLock(pv, __FILE__, __LINE__));
  EXPECT_EQ("busy\n", PythonTryLock(path));
  EXPECT_EQ(OS_STS_NOT_LOCKED, m_posmem->SharedUnlock(pv, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_NOT_LOCKED, m_posmem->SharedTestLock(pv, __FILE__, __LINE__));
  EXPECT_EQ("free\n", PythonTryLock(path));

  {
    filetest::PythonProcess holder(kHoldLockScript, {path});
    ASSERT_EQ("locked", holder.ReadLine());
    EXPECT_EQ(OS_STS_NOT_LOCKED, m_posmem->SharedLock(pv, __FILE__, __LINE__));
    EXPECT_EQ(OS_STS_NOT_LOCKED, m_posmem->SharedTestLock(pv, __FILE__, __LINE__));
    holder.Finish();
  }
  EXPECT_EQ(OS_STS_LOCKED, m_posmem->SharedLock(pv, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_LOCKED, m_posmem->SharedLock(pv, __FILE__, __LINE__));  // held: not asked again
  EXPECT_EQ("busy\n", PythonTryLock(path));
  // Releasing the block gives up the lock.
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pv, __FILE__, __LINE__));
  EXPECT_EQ("free\n", PythonTryLock(path));
}

TEST_F(OsMemSharedTest, TwoMappingsInOneProcessExcludeEachOther) {
  std::string path = testsupport::RootPath("twice.bin");
  void* pvA = Alloc(OS_SHAREDALLOC_CREATE, path, 100, 0, 100, OS_SHAREDLOCK_NOW);
  void* pvB = Alloc(OS_SHAREDALLOC_OPEN, path, 0, 0, -1);
  ASSERT_NE(nullptr, pvA);
  ASSERT_NE(nullptr, pvB);
  EXPECT_EQ(OS_STS_LOCKED, m_posmem->SharedTestLock(pvA, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_NOT_LOCKED, m_posmem->SharedLock(pvB, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_NOT_LOCKED, m_posmem->SharedUnlock(pvA, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_LOCKED, m_posmem->SharedLock(pvB, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_NOT_LOCKED, m_posmem->SharedLock(pvA, __FILE__, __LINE__));
  // Lock kind 3 takes the lock only for a file it creates.
  void* pvC = Alloc(OS_SHAREDALLOC_APPEND, path, 100, 0, 100, OS_SHAREDLOCK_IFCREATED);
  EXPECT_EQ(OS_STS_NOT_LOCKED, m_posmem->SharedTestLock(pvC, __FILE__, __LINE__));
  void* pvD = Alloc(OS_SHAREDALLOC_APPEND, testsupport::RootPath("fresh.bin"), 100, 0, 100, OS_SHAREDLOCK_IFCREATED);
  EXPECT_EQ(OS_STS_LOCKED, m_posmem->SharedTestLock(pvD, __FILE__, __LINE__));
  for (void* pv : {pvA, pvB, pvC, pvD}) EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pv, __FILE__, __LINE__));
}

TEST_F(OsMemSharedTest, LockCallsOnWhatIsNotAMapping) {
  EXPECT_EQ(OS_STS_FAIL, m_posmem->SharedLock(nullptr, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_FAIL, m_posmem->SharedUnlock(nullptr, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_FAIL, m_posmem->SharedTestLock(nullptr, __FILE__, __LINE__));
  int iStack = 0;
  EXPECT_EQ(OS_STS_NOT_LOCKED, m_posmem->SharedLock(&iStack, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_NOT_LOCKED, m_posmem->SharedTestLock(&iStack, __FILE__, __LINE__));
  void* pvHeap = m_posmem->Alloc(10, __FILE__, __LINE__);
  EXPECT_EQ(OS_STS_FAIL, m_posmem->SharedLock(pvHeap, __FILE__, __LINE__));
  EXPECT_EQ(nullptr, m_posmem->SharedRemap(pvHeap, 0, 10, __FILE__, __LINE__));
  EXPECT_EQ(nullptr, m_posmem->SharedRemap(&iStack, 0, 10, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->SharedFlush(pvHeap));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->SharedSync(&iStack));
  m_posmem->Free(pvHeap, __FILE__, __LINE__);
}

TEST_F(OsMemSharedTest, UnalignedViewsAndRemapping) {
  std::string path = testsupport::RootPath("pattern.bin");
  size_t sizetFile = static_cast<size_t>(3 * m_page + 1000);
  testsupport::WriteFile(path, PatternText(sizetFile));

  const int64_t kOffset = 5000;
  auto* pb = static_cast<unsigned char*>(Alloc(OS_SHAREDALLOC_OPEN, path, 0, kOffset, 100));
  ASSERT_NE(nullptr, pb);
  EXPECT_EQ(static_cast<uintptr_t>(kOffset % m_page), reinterpret_cast<uintptr_t>(pb) % static_cast<uintptr_t>(m_page));
  for (size_t i = 0; i < 100; ++i) ASSERT_EQ(Pattern(kOffset + i), pb[i]) << i;
  OsMemSettings settings = Settings(pb);
  EXPECT_EQ(sizetFile, settings.u64Size);
  EXPECT_EQ(static_cast<uint64_t>(kOffset), settings.u64Offset);
  EXPECT_EQ(100u, settings.u64View);

  // Move the view; write through it; move again over the same bytes.
  auto* pbMoved = static_cast<unsigned char*>(m_posmem->SharedRemap(pb, 9000, 50, __FILE__, __LINE__));
  ASSERT_NE(nullptr, pbMoved);
  for (size_t i = 0; i < 50; ++i) ASSERT_EQ(Pattern(9000 + i), pbMoved[i]) << i;
  std::memcpy(pbMoved + 10, "remapped", 8);
  EXPECT_EQ(OS_STS_FAIL, m_posmem->GetSettings(static_cast<const void*>(pb), &settings, true));
  settings = Settings(pbMoved);
  EXPECT_EQ(9000u, settings.u64Offset);
  EXPECT_EQ(50u, settings.u64View);

  auto* pbBack = static_cast<unsigned char*>(m_posmem->SharedRemap(pbMoved, 8900, 200, __FILE__, __LINE__));
  ASSERT_NE(nullptr, pbBack);
  EXPECT_EQ(0, std::memcmp(pbBack + 110, "remapped", 8));
  EXPECT_EQ(Pattern(8900), pbBack[0]);

  // To the end of the file, then one page from its start.
  auto* pbRest = static_cast<unsigned char*>(m_posmem->SharedRemap(pbBack, 3 * m_page, -1, __FILE__, __LINE__));
  ASSERT_NE(nullptr, pbRest);
  EXPECT_EQ(1000u, Settings(pbRest).u64View);
  EXPECT_EQ(Pattern(sizetFile - 1), pbRest[999]);
  auto* pbPage = static_cast<unsigned char*>(m_posmem->SharedRemap(pbRest, 0, 0, __FILE__, __LINE__));
  ASSERT_NE(nullptr, pbPage);
  settings = Settings(pbPage);
  EXPECT_EQ(0u, settings.u64Offset);
  EXPECT_EQ(0u, settings.u64View);
  EXPECT_EQ(Pattern(m_page - 1), pbPage[m_page - 1]);

  // An offset at or past the end is refused and the view stays usable.
  EXPECT_EQ(nullptr, m_posmem->SharedRemap(pbPage, static_cast<int64_t>(sizetFile), 10, __FILE__, __LINE__));
  EXPECT_EQ(nullptr, m_posmem->SharedRemap(pbPage, -1, 10, __FILE__, __LINE__));
  EXPECT_EQ(Pattern(7), pbPage[7]);
  // A view longer than the rest of the file stops at its end.
  auto* pbCut = static_cast<unsigned char*>(
      m_posmem->SharedRemap(pbPage, static_cast<int64_t>(sizetFile) - 10, 1 << 20, __FILE__, __LINE__));
  ASSERT_NE(nullptr, pbCut);
  EXPECT_EQ(10u, Settings(pbCut).u64View);
  EXPECT_EQ(Pattern(sizetFile - 1), pbCut[9]);

  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pbCut, __FILE__, __LINE__));
  std::string text = testsupport::ReadFile(path);
  EXPECT_EQ("remapped", text.substr(9010, 8));
  EXPECT_EQ(sizetFile, text.size());
}

TEST_F(OsMemSharedTest, RemapAfterAnotherProcessCutTheFile) {
  std::string path = testsupport::RootPath("cut.bin");
  testsupport::WriteFile(path, PatternText(static_cast<size_t>(4 * m_page)));
  void* pv = Alloc(OS_SHAREDALLOC_OPEN, path, 0, 0, m_page);
  ASSERT_NE(nullptr, pv);
  EXPECT_EQ(4 * m_page, Settings(pv).i64FileSize);
  int status = -1;
  testsupport::RunPython("import os, sys\nos.truncate(sys.argv[1], 100)\n", {path}, &status);
  ASSERT_EQ(0, status);
  // The settings tell the size the file has now.
  EXPECT_EQ(100, Settings(pv).i64FileSize);
  // Only what is left is mapped.
  auto* pb = static_cast<unsigned char*>(m_posmem->SharedRemap(pv, 10, -1, __FILE__, __LINE__));
  ASSERT_NE(nullptr, pb);
  EXPECT_EQ(90u, Settings(pb).u64View);
  EXPECT_EQ(Pattern(99), pb[89]);
  EXPECT_EQ(nullptr, m_posmem->SharedRemap(pb, 200, 10, __FILE__, __LINE__));
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->Free(pb, __FILE__, __LINE__));
}

TEST_F(OsMemSharedTest, FileIsSizedSoNoMappingPassesItsEnd) {
  std::string fresh = testsupport::RootPath("append-new.bin");
  auto* pb = static_cast<char*>(Alloc(OS_SHAREDALLOC_APPEND, fresh, 10000, 0, 10000));
  ASSERT_NE(nullptr, pb);
  EXPECT_EQ(10000, SizeOf(fresh));
  pb[9999] = 'z';  // would be SIGBUS on an unsized file
  m_posmem->Free(pb, __FILE__, __LINE__);
  EXPECT_EQ('z', testsupport::ReadFile(fresh)[9999]);

  // Appending never shrinks a longer file and keeps its contents.
  std::string longer = testsupport::RootPath("append-long.bin");
  testsupport::WriteFile(longer, PatternText(20000));
  pb = static_cast<char*>(Alloc(OS_SHAREDALLOC_APPEND, longer, 10000, 0, 10000));
  ASSERT_NE(nullptr, pb);
  EXPECT_EQ(static_cast<char>(Pattern(9999)), pb[9999]);
  m_posmem->Free(pb, __FILE__, __LINE__);
  EXPECT_EQ(PatternText(20000), testsupport::ReadFile(longer));

  // Opening a shorter file for more bytes than it has: refused, unless asked
  // to resize.
  std::string shorter = testsupport::RootPath("short.bin");
  testsupport::WriteFile(shorter, PatternText(100));
  EXPECT_EQ(nullptr, Alloc(OS_SHAREDALLOC_OPEN, shorter, 8192, 0, 8192));
  EXPECT_EQ(nullptr, Alloc(OS_SHAREDALLOC_OPEN, shorter, 8192, 0, 8192, OS_SHAREDLOCK_NONE, OS_SHAREDFLAG_READONLY));
  EXPECT_EQ(100, SizeOf(shorter));
  pb = static_cast<char*>(Alloc(OS_SHAREDALLOC_OPEN, shorter, 8192, 0, 8192, OS_SHAREDLOCK_NONE, OS_SHAREDFLAG_RESIZE));
  ASSERT_NE(nullptr, pb);
  EXPECT_EQ(8192, SizeOf(shorter));
  pb[8191] = 1;
  EXPECT_EQ(static_cast<char>(Pattern(99)), pb[99]);
  m_posmem->Free(pb, __FILE__, __LINE__);

  // A view larger than the file is cut to it.
  pb = static_cast<char*>(Alloc(OS_SHAREDALLOC_OPEN, shorter, 0, 100, 1 << 20, OS_SHAREDLOCK_NONE,
                                OS_SHAREDFLAG_READONLY));
  ASSERT_NE(nullptr, pb);
  EXPECT_EQ(8092u, Settings(pb).u64View);
  EXPECT_EQ(1, pb[8091]);
  m_posmem->Free(pb, __FILE__, __LINE__);
  // An offset at or past the end is refused.
  EXPECT_EQ(nullptr, Alloc(OS_SHAREDALLOC_OPEN, shorter, 0, 8192, 10));
  EXPECT_EQ(nullptr, Alloc(OS_SHAREDALLOC_CREATE, testsupport::RootPath("c.bin"), 100, 100, 10));
}

TEST_F(OsMemSharedTest, ReleaseFlags) {
  // Kind 2: the file goes with the block.
  std::string temp = testsupport::RootPath("temp.bin");
  void* pv = Alloc(OS_SHAREDALLOC_CREATETEMPORARY, temp, 5000, 0, 5000);
  ASSERT_NE(nullptr, pv);
  EXPECT_TRUE(testsupport::FileExists(temp));
  m_posmem->Free(pv, __FILE__, __LINE__);
  EXPECT_FALSE(testsupport::FileExists(temp));

  // Flag 128: the file is cut back to the size, whatever was appended.
  std::string trunc = testsupport::RootPath("trunc.bin");
  pv = Alloc(OS_SHAREDALLOC_CREATE, trunc, 4096, 0, 4096, OS_SHAREDLOCK_NONE, OS_SHAREDFLAG_TRUNCATE);
  ASSERT_NE(nullptr, pv);
  int status = -1;
  testsupport::RunPython("import sys\nopen(sys.argv[1], 'ab').write(b'x' * 1000)\n", {trunc}, &status);
  ASSERT_EQ(0, status);
  EXPECT_EQ(5096, SizeOf(trunc));
  m_posmem->Free(pv, __FILE__, __LINE__);
  EXPECT_EQ(4096, SizeOf(trunc));

  // Flag 64: writes stay private.
  std::string priv = testsupport::RootPath("private.bin");
  testsupport::WriteFile(priv, std::string(100, 'a'));
  auto* pb = static_cast<char*>(Alloc(OS_SHAREDALLOC_OPEN, priv, 0, 0, -1, OS_SHAREDLOCK_NONE, OS_SHAREDFLAG_PRIVATE));
  ASSERT_NE(nullptr, pb);
  pb[0] = 'b';
  EXPECT_EQ(OS_STS_SUCCESS, m_posmem->SharedSync(pb));
  EXPECT_EQ(">>> 0 0 Success\r\n", testsupport::ReadFile("error"));
  m_posmem->Free(pb, __FILE__, __LINE__);
  EXPECT_EQ(std::string(100, 'a'), testsupport::ReadFile(priv));

  // Creating empties an existing file.
  pb = static_cast<char*>(Alloc(OS_SHAREDALLOC_CREATE, priv, 50, 0, 50));
  ASSERT_NE(nullptr, pb);
  EXPECT_EQ(0, pb[0]);
  m_posmem->Free(pb, __FILE__, __LINE__);
  EXPECT_EQ(std::string(50, '\0'), testsupport::ReadFile(priv));
}

TEST_F(OsMemSharedTest, BadInputIsRefusedAndLeavesFilesAlone) {
  std::string kept = testsupport::RootPath("kept.bin");
  testsupport::WriteFile(kept, "precious");
  std::string missing = testsupport::RootPath("missing.bin");
  struct Bad {
    const char* what;
    EOSSHAREDALLOC kind;
    const char* path;
    int64_t size, offset, view;
    EOSSHAREDLOCK lock;
  } bad[] = {
      {"missing file", OS_SHAREDALLOC_OPEN, missing.c_str(), 0, 0, -1, OS_SHAREDLOCK_NONE},
      {"size 0", OS_SHAREDALLOC_CREATE, missing.c_str(), 0, 0, 10, OS_SHAREDLOCK_NONE},
      {"view -1 when creating", OS_SHAREDALLOC_CREATE, missing.c_str(), 100, 0, -1, OS_SHAREDLOCK_NONE},
      {"unknown kind", static_cast<EOSSHAREDALLOC>(9), missing.c_str(), 100, 0, 100, OS_SHAREDLOCK_NONE},
      {"null path", OS_SHAREDALLOC_CREATE, nullptr, 100, 0, 100, OS_SHAREDLOCK_NONE},
      {"negative offset", OS_SHAREDALLOC_OPEN, kept.c_str(), 0, -5, 1, OS_SHAREDLOCK_NONE},
      {"unknown lock kind", OS_SHAREDALLOC_CREATE, kept.c_str(), 100, 0, 100, static_cast<EOSSHAREDLOCK>(7)},
      {"directory", OS_SHAREDALLOC_OPEN, testsupport::Root().c_str(), 0, 0, -1, OS_SHAREDLOCK_NONE},
  };
  for (const auto& b : bad)
    EXPECT_EQ(nullptr, m_posmem->SharedAlloc(b.kind, b.path, b.size, b.offset, b.view, b.lock, 0, __FILE__, __LINE__))
        << b.what;
  EXPECT_FALSE(testsupport::FileExists(missing));
  EXPECT_EQ("precious", testsupport::ReadFile(kept));
  // An empty file has nothing to map.
  std::string empty = testsupport::RootPath("empty.bin");
  testsupport::WriteFile(empty, "");
  EXPECT_EQ(nullptr, Alloc(OS_SHAREDALLOC_OPEN, empty, 0, 0, -1));
  // A failed allocation leaves a process map named after PmxMemCrash.txt.
  bool blCrashFile = false;
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::Root())) {
    std::string name = entry.path().filename().string();
    if (name.rfind("PmxMemCrash_", 0) == 0 && name.size() == std::string("PmxMemCrash_hhmmssmmm.txt").size())
      blCrashFile = true;
  }
  EXPECT_TRUE(blCrashFile);
}

TEST_F(OsMemSharedTest, FullTableRefusesSharedBlocks) {
  std::vector<void*> blocks;
  for (int i = 0; i < 1024; ++i) blocks.push_back(m_posmem->Alloc(8, __FILE__, __LINE__));
  std::string path = testsupport::RootPath("full.bin");
  EXPECT_EQ(nullptr, Alloc(OS_SHAREDALLOC_CREATE, path, 100, 0, 100, OS_SHAREDLOCK_NOW));
  EXPECT_EQ("free\n", PythonTryLock(path));  // the lock did not stay behind
  for (void* pv : blocks) m_posmem->Free(pv, __FILE__, __LINE__);
  void* pv = Alloc(OS_SHAREDALLOC_CREATE, path, 100, 0, 100);
  EXPECT_NE(nullptr, pv);
  m_posmem->Free(pv, __FILE__, __LINE__);
}

}  // namespace
