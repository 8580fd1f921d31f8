// What the memory service takes from the configuration store: the log
// directory of its dumps, the permission bits of opened shared files and the
// forced shared mode.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "os_coscfg.h"
#include "os_cosmem.h"
#include "test_support.h"

namespace {

class OsMemCfgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OsCfgVersion version{"04", "10", "02", "00", "28", "07", "2015"};
    m_cfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &version, false, nullptr);
    ASSERT_EQ(m_cfg.get(), g_poscfg);
    m_mem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 1);
  }
  void TearDown() override {
    m_mem.reset();
    m_cfg.reset();
  }

  // Set keeps the pointer: the texts live in the fixture.
  void Set(unsigned a_uTag, const std::string& a_value) {
    m_values.push_back(std::make_unique<std::string>(a_value));
    ASSERT_EQ(OS_STS_SUCCESS, m_cfg->Set(OS_CFGSECTION_MAIN, a_uTag, m_values.back()->c_str()));
  }

  std::unique_ptr<COsCfg> m_cfg;
  std::unique_ptr<COsMem> m_mem;
  std::vector<std::unique_ptr<std::string>> m_values;
};

std::vector<std::string> FilesIn(const std::string& a_dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(a_dir)) names.push_back(entry.path().filename().string());
  return names;
}

TEST_F(OsMemCfgTest, DumpsGoToTheLogDirectoryWhateverItsName) {
  // Quotes, "$" and backquotes in the configured directory are just characters.
  std::string dir = testsupport::RootPath("logs \"q\" $(touch pwned1) `touch pwned2`");
  ASSERT_TRUE(std::filesystem::create_directory(dir));
  Set(OS_CFGTAG_LOGDIRECTORY, dir + "/");
  ASSERT_EQ(OS_STS_SUCCESS, m_mem->DumpSystem("PmxMemCrash.txt"));
  auto names = FilesIn(dir);
  ASSERT_EQ(1u, names.size());
  EXPECT_EQ(0u, names[0].rfind("PmxMemCrash_", 0));
  EXPECT_EQ(std::string("PmxMemCrash_hhmmssmmm.txt").size(), names[0].size());
  EXPECT_NE(std::string::npos, testsupport::ReadFile(dir + "/" + names[0]).find(std::to_string(getpid()) + ":"));
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("pwned1")));
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("pwned2")));
  EXPECT_FALSE(testsupport::FileExists("pwned1"));
  EXPECT_FALSE(testsupport::FileExists("pwned2"));

  // A failed shared allocation leaves its process map there too.
  EXPECT_EQ(nullptr, m_mem->SharedAlloc(OS_SHAREDALLOC_OPEN, testsupport::RootPath("absent").c_str(), 0, 0, -1,
                                        OS_SHAREDLOCK_NONE, 0, __FILE__, __LINE__));
  EXPECT_EQ(2u, FilesIn(dir).size());
}

TEST_F(OsMemCfgTest, OpenedSharedFilesTakeTheCreationMask) {
  std::string path = testsupport::RootPath("shared.bin");
  testsupport::WriteFile(path, std::string(100, 'a'));
  chmod(path.c_str(), 0644);
  Set(OS_CFGTAG_FORCEFILECREATIONMASK, "0600");
  void* pv = m_mem->SharedAlloc(OS_SHAREDALLOC_OPEN, path.c_str(), 0, 0, -1, OS_SHAREDLOCK_NONE, 0, __FILE__, __LINE__);
  ASSERT_NE(nullptr, pv);
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);
  m_mem->Free(pv, __FILE__, __LINE__);

  // The default: 511, mode 0777.
  Set(OS_CFGTAG_FORCEFILECREATIONMASK, "");
  pv = m_mem->SharedAlloc(OS_SHAREDALLOC_OPEN, path.c_str(), 0, 0, -1, OS_SHAREDLOCK_NONE, 0, __FILE__, __LINE__);
  ASSERT_NE(nullptr, pv);
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0777u, st.st_mode & 07777);
  m_mem->Free(pv, __FILE__, __LINE__);
}

TEST_F(OsMemCfgTest, ForcedSharedModeIsSettledAtTheFirstSharedBlock) {
  Set(OS_CFGTAG_FORCEMEMORYMAP, "2");
  std::string path = testsupport::RootPath("mode.bin");
  void* pv = m_mem->SharedAlloc(OS_SHAREDALLOC_CREATE, path.c_str(), 10, 0, 10, OS_SHAREDLOCK_NONE, 0, __FILE__,
                                __LINE__);
  ASSERT_NE(nullptr, pv);
  EXPECT_EQ(OS_SHAREDMODE_MAPFILEALL, m_mem->SetSharedMode(OS_SHAREDMODE_MAPFILEASNEEDED));
  m_mem->Free(pv, __FILE__, __LINE__);
}

TEST_F(OsMemCfgTest, AModeSetEarlierIsKept) {
  Set(OS_CFGTAG_FORCEMEMORYMAP, "2");
  m_mem->SetSharedMode(OS_SHAREDMODE_MAPFILEASNEEDED);
  void* pv = m_mem->SharedAlloc(OS_SHAREDALLOC_CREATE, testsupport::RootPath("m.bin").c_str(), 10, 0, 10,
                                OS_SHAREDLOCK_NONE, 0, __FILE__, __LINE__);
  ASSERT_NE(nullptr, pv);
  EXPECT_EQ(OS_SHAREDMODE_MAPFILEASNEEDED, m_mem->SetSharedMode(OS_SHAREDMODE_MAPFILEALL));
  m_mem->Free(pv, __FILE__, __LINE__);
}

}  // namespace
