// What the configuration service tells about the library itself: version
// texts, module handle and name, permission changes, the environment
// snapshot, the configuration dump and the log header that reads them.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "log_capture.h"
#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_cosresource.h"
#include "os_cosmem.h"
#include "test_support.h"

extern char** environ;

namespace {

using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::WriteFile;

class OsCfgLibrary : public ::testing::Test {
 protected:
  void TearDown() override {
    cfg_.reset();
    log_.reset();
  }
  void Make(EOSCFGENTITY entity = OS_CFGENTITY_UTILITY, const char* caller = nullptr) {
    cfg_.reset();
    cfg_ = std::make_unique<COsCfg>("driver", entity, caller, &version_, false, nullptr);
  }
  void CaptureLog() { log_ = std::make_unique<testsupport::LogCapture>(); }
  std::string StoreLog() { return ReadFile(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_PMX_LOG)); }
  bool Logged(const std::string& text) {
    return (log_->Text() + StoreLog()).find(text) != std::string::npos;
  }

  OsCfgVersion version_{"04", "03", "00", "00", "01", "02", "2024"};
  std::unique_ptr<COsCfg> cfg_;
  std::unique_ptr<testsupport::LogCapture> log_;
};

// ---- versions ------------------------------------------------------------------

// A file of the test's own that carries the named resources.
std::string ResourceFile(const std::vector<std::pair<std::string, std::string>>& resources) {
  const std::string file = RootPath("resources.bin");
  WriteFile(file, "not a library, just bytes before the resources");
  for (const auto& [name, data] : resources) {
    COsResource osresource;
    EXPECT_EQ(osresource.Update(file.c_str(), name.c_str(), OS_RESOURCETYPE_DATA, data.size(), data.data()),
              OS_STS_SUCCESS);
  }
  return file;
}

class OsCfgVersionText : public OsCfgLibrary {
 protected:
  void TearDown() override {
    OsCfgLibrary::TearDown();
    COsCfgImpl::SetResourceFile(nullptr);
  }
};

// The library carries its VERSION resource.
TEST_F(OsCfgVersionText, OwnResource) {
  Make();
  COsResource osresource;
  ASSERT_EQ(osresource.Open(OS_RESOURCE_LOCAL, "VERSION", OS_RESOURCETYPE_DATA), OS_STS_SUCCESS);
  const std::string own(static_cast<const char*>(osresource.GetPointer()), osresource.GetSize());
  osresource.Close();
  ASSERT_NE(cfg_->GetVersionResource(), nullptr);
  EXPECT_EQ(cfg_->GetVersionResource(), own);
  EXPECT_EQ(cfg_->GetVersion(false), own);
}

TEST_F(OsCfgVersionText, WithoutResourceTheBuildText) {
  COsCfgImpl::SetResourceFile(ResourceFile({}).c_str());
  Make();
  EXPECT_STREQ(cfg_->GetVersionBuild(), "04030000");
  EXPECT_EQ(cfg_->GetVersionResource(), nullptr);
  EXPECT_STREQ(cfg_->GetVersion(false), "04030000");
  // The user format drops a zero build and revision.
  EXPECT_STREQ(cfg_->GetVersion(true), "4.3");
}

TEST_F(OsCfgVersionText, ResourceTextIsReported) {
  COsCfgImpl::SetResourceFile(ResourceFile({{"VERSION", "04030201"}}).c_str());
  Make();
  EXPECT_STREQ(cfg_->GetVersionResource(), "04030201");
  EXPECT_STREQ(cfg_->GetVersion(false), "04030201");
  EXPECT_STREQ(cfg_->GetVersion(true), "4.3.2.1");
  EXPECT_STREQ(cfg_->GetVersionBuild(), "04030000");
}

// At most 31 bytes of the resource are kept.
TEST_F(OsCfgVersionText, LongResourceIsCut) {
  COsCfgImpl::SetResourceFile(ResourceFile({{"VERSION", std::string(40, '7')}}).c_str());
  Make();
  EXPECT_EQ(std::string(cfg_->GetVersionResource()), std::string(31, '7'));
}

TEST_F(OsCfgVersionText, IniThatChangesTheVersionIsReported) {
  COsCfgImpl::SetResourceFile(ResourceFile({{"VERSION", "04030201"}}).c_str());
  Make();
  WriteFile(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI_SHARED),
            "[dsIdentity]\nVersion.MinorNum=5\nVersion.PatchNum=0x0a\nVersion.BuildNum=7\n");
  ASSERT_EQ(cfg_->Load(), OS_STS_SUCCESS);
  EXPECT_STREQ(cfg_->GetVersionBuild(), "04051007");
  EXPECT_STREQ(cfg_->GetVersion(false), "04051007");
  EXPECT_STREQ(cfg_->GetVersion(true), "4.5.10.7");
}

// ---- module ----------------------------------------------------------------------

TEST(OsCfgModule, HandleIsTheLibrarysOwnLoadedImage) {
  void* library = dlopen(SCANDRV_LIBRARY_PATH, RTLD_LAZY | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr);
  void* module = COsCfg::GetHmodule();
  EXPECT_EQ(module, library);
  EXPECT_EQ(COsCfg::GetHmodule(), module);
  EXPECT_EQ(dlsym(module, "g_oscfglocatorfunction"), reinterpret_cast<void*>(&g_oscfglocatorfunction));
  dlclose(library);
}

TEST(OsCfgModule, ApplicationMarkerMeansNoModule) {
  g_OsCfgHinstance = g_szApplicationPath;
  EXPECT_EQ(COsCfg::GetHmodule(), nullptr);
  EXPECT_EQ(g_OsCfgHinstance, nullptr);
  EXPECT_EQ(COsCfg::GetHmodule(), nullptr);
}

TEST(OsCfgModule, ModuleNameOfAnAddress) {
  testsupport::LogCapture log;
  char name[PATH_MAX] = "junk";
  COsCfg::GetModuleName(reinterpret_cast<const void*>(&g_oscfglocatorfunction), name, sizeof name, true);
  char real[PATH_MAX];
  ASSERT_NE(realpath(SCANDRV_LIBRARY_PATH, real), nullptr);
  EXPECT_STREQ(name, real);
  // Too small a buffer gives the empty text, never a cut path.
  char small[8] = "junk";
  COsCfg::GetModuleName(reinterpret_cast<const void*>(&g_oscfglocatorfunction), small, sizeof small, true);
  EXPECT_STREQ(small, "");
  // An address in no loaded file.
  int onStack = 0;
  COsCfg::GetModuleName(&onStack, name, sizeof name, false);
  EXPECT_STREQ(name, "");
  EXPECT_FALSE(log.Contains("dladdr failed..."));
  COsCfg::GetModuleName(&onStack, name, sizeof name, true);
  EXPECT_TRUE(log.Contains("dladdr failed..."));
}

// ---- permissions -------------------------------------------------------------------

TEST(OsCfgSetAccess, ChangesOwnerAndGroupBitsBeforeAnyStoreExists) {
  ASSERT_EQ(g_poscfg, nullptr);
  const std::string file = RootPath("access.txt");
  WriteFile(file, "x");
  const struct {
    mode_t before;
    int access;
    mode_t after;
  } cases[] = {
      {0600, 1, 0440}, {0664, 1, 0444}, {0444, 2, 0224}, {0604, 3, 0664}, {0600, 4, 0710}, {0755, 2, 0335},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(chmod(file.c_str(), c.before), 0);
    EXPECT_EQ(COsCfg::SetAccess(file.c_str(), c.access), OS_STS_SUCCESS) << c.access;
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.after) << std::oct << c.before << " access " << c.access;
  }
}

TEST(OsCfgSetAccess, RefusesUnknownAccessAndMissingFiles) {
  testsupport::LogCapture log;
  const std::string file = RootPath("access.txt");
  WriteFile(file, "x");
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  EXPECT_EQ(COsCfg::SetAccess(file.c_str(), 5), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("unrecognized a_eosfileaccess...5"));
  EXPECT_EQ(COsCfg::SetAccess(file.c_str(), 0), OS_STS_FAIL);
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(COsCfg::SetAccess(RootPath("missing").c_str(), 1), OS_STS_FAIL);
  EXPECT_EQ(COsCfg::SetAccess(nullptr, 1), OS_STS_FAIL);
}

// ---- environment -------------------------------------------------------------------

std::map<std::string, std::string> Pairs(const OsCfgEnvPair* pairs) {
  std::map<std::string, std::string> result;
  for (; pairs && pairs->szName; ++pairs) result[pairs->szName] = pairs->szValue;
  return result;
}

TEST_F(OsCfgLibrary, EnvironmentSnapshotSplitsAtTheFirstEqualSign) {
  Make();
  char a[] = "ALPHA=1";
  char empty[] = "=hidden";
  char bare[] = "BARE";
  char b[] = "BETA=x=y";
  char nothing[] = "NOTHING=";
  char* custom[] = {a, empty, bare, b, nothing, nullptr};
  char** saved = environ;
  environ = custom;
  const OsCfgEnvPair* pairs = cfg_->GetEnvList();
  environ = saved;
  ASSERT_NE(pairs, nullptr);
  const std::map<std::string, std::string> expected{
      {"ALPHA", "1"}, {"BARE", ""}, {"BETA", "x=y"}, {"NOTHING", ""}};
  EXPECT_EQ(Pairs(pairs), expected);
  size_t count = 0;
  while (pairs[count].szName) ++count;
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(pairs[count].szValue, nullptr);
}

// Python's view of the environment this process hands to a child.
TEST_F(OsCfgLibrary, EnvironmentSnapshotMatchesTheProcess) {
  Make();
  setenv("PMX_SNAPSHOT_TEST", "a b=c", 1);
  const OsCfgEnvPair* first = cfg_->GetEnvList();
  ASSERT_NE(first, nullptr);
  std::map<std::string, std::string> mine = Pairs(first);
  std::map<std::string, std::string> expected;
  for (char** e = environ; *e; ++e) {
    std::string text = *e;
    auto eq = text.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    expected[text.substr(0, eq)] = text.substr(eq + 1);
  }
  EXPECT_EQ(mine, expected);
  EXPECT_EQ(mine["PMX_SNAPSHOT_TEST"], "a b=c");
  // A second snapshot replaces the first.
  unsetenv("PMX_SNAPSHOT_TEST");
  EXPECT_EQ(Pairs(cfg_->GetEnvList()).count("PMX_SNAPSHOT_TEST"), 0u);
}

// With the memory service the snapshot lies in read-only pages.
TEST_F(OsCfgLibrary, EnvironmentSnapshotIsReadOnlyWithTheMemoryService) {
  auto mem = std::make_unique<COsMem>(OS_MEM_METHOD_MALLOC, 0);
  Make();
  const OsCfgEnvPair* pairs = cfg_->GetEnvList();
  ASSERT_NE(pairs, nullptr);
  ASSERT_NE(pairs[0].szName, nullptr);
  EXPECT_DEATH(const_cast<OsCfgEnvPair*>(pairs)->szName = nullptr, "");
  EXPECT_DEATH(const_cast<char*>(pairs[0].szName)[0] = 'x', "");
  cfg_.reset();
  mem.reset();
}

// ---- dump ------------------------------------------------------------------------------

class OsCfgDump : public OsCfgLibrary {
 protected:
  static std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
  }
  static size_t Find(const std::vector<std::string>& lines, const std::string& line, size_t from = 0) {
    for (size_t i = from; i < lines.size(); ++i) {
      if (lines[i] == line) return i;
    }
    return std::string::npos;
  }
};

TEST_F(OsCfgDump, SectionsInOrderWithTheirLines) {
  static constexpr OsCfgName kSections[] = {{"MySection", 1001}, {nullptr, 1000}};
  static constexpr OsCfgName kTags[] = {{"MyTag", 1001}, {"Other", 1002}, {nullptr, 1000}};
  static const char* data[3 * 3] = {};
  char caller[256];
  std::snprintf(caller, sizeof caller,
                "<cfgsectionptr>%p</cfgsectionptr><cfgtagptr>%p</cfgtagptr><cfgdataptr>%p</cfgdataptr>",
                static_cast<const void*>(kSections), static_cast<const void*>(kTags), static_cast<void*>(data));
  setenv("PMX_DUMP_MARK", "mark=1", 1);
  Make(OS_CFGENTITY_UTILITY, caller);
  cfg_->Set(1001, 1001, "my value");
  const std::string directory = RootPath("dumps/deeper");
  ASSERT_EQ(cfg_->Dump(directory.c_str()), OS_STS_SUCCESS);
  const std::string model = cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORYREAL);
  const std::string text = ReadFile(directory + "/pmxoscfg_" + model + ".txt");
  const auto lines = SplitCrLf(text);
  ASSERT_FALSE(lines.empty());

  const size_t env = Find(lines, "*** Environmentals ***************************************");
  const size_t info = Find(lines, "*** CFG Info *********************************************");
  const size_t items = Find(lines, "*** OS Library Items *************************************");
  const size_t local = Find(lines, "*** Local Items *************************************");
  const size_t dirs = Find(lines, "*** Directories *************************************");
  ASSERT_EQ(env, 1u);
  ASSERT_LT(env, info);
  ASSERT_LT(info, items);
  ASSERT_LT(items, local);
  ASSERT_LT(local, dirs);
  EXPECT_NE(Find(lines, "PMX_DUMP_MARK=mark=1", env), std::string::npos);

  // 33 information lines of processor 0, the value at column 38.
  const std::string total = std::to_string(cfg_->NumberOfProcessors());
  EXPECT_EQ(lines[info + 2], "OS_CFGINFO_OS_BUILDSTRING.............0");
  EXPECT_EQ(lines[info + 2 + 32], "OS_CFGINFO_CPU_VENDORSTRING..........." +
                                      std::string(cfg_->InfoGetString(OS_CFGINFO_CPU_VENDORSTRING, 0)));
  EXPECT_NE(Find(lines, "OS_CFGINFO_CPU_TOTAL.................." + total, info), std::string::npos);
  EXPECT_NE(Find(lines, "OS_CFGINFO_CPU_PROCESSBITS............64", info), std::string::npos);
  for (size_t i = info + 2; i < info + 35; ++i) {
    EXPECT_EQ(lines[i].rfind("OS_CFGINFO_", 0), 0u) << lines[i];
    EXPECT_NE(lines[i][37], ' ') << lines[i];
    EXPECT_EQ(lines[i].find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789"), lines[i].find('.')) << lines[i];
  }
  EXPECT_EQ(lines[info + 35], "");

  // Library items: names or hexadecimal ids, sizes and JPEG tables.
  char expect[700];
  std::snprintf(expect, sizeof expect, "%-48s <%s>", "HomeDirectory",
                cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_HOMEDIRECTORY));
  EXPECT_EQ(lines[items + 2], "OS_CFGSECTION_MAIN");
  EXPECT_EQ(lines[items + 3], expect);
  std::snprintf(expect, sizeof expect, "%-48s <%s>", "0x0000a7", "");
  EXPECT_NE(Find(lines, expect, items), std::string::npos);
  const size_t sizes = Find(lines, "OS_CFGSECTION_SUPPORTEDSIZES", items);
  ASSERT_EQ(sizes, items + 3 + 177 + 1);
  std::snprintf(expect, sizeof expect, "%-48s <%s>", "N00", "");
  EXPECT_EQ(lines[sizes + 1], expect);
  std::snprintf(expect, sizeof expect, "%-48s <%s>", "N50", "");
  EXPECT_EQ(lines[sizes + 51], expect);
  const size_t pmx = Find(lines, "OS_CFGSECTION_PMX_ALL", sizes);
  ASSERT_EQ(pmx, sizes + 53);
  std::snprintf(expect, sizeof expect, "%-48s <%s>", "OS_CFGTAG_JPEGQUANTIZATION_Y_00", "");
  EXPECT_EQ(lines[pmx + 1], expect);
  std::snprintf(expect, sizeof expect, "%-48s <%s>", "OS_CFGTAG_JPEGQUANTIZATION_CBCR_05", "");
  EXPECT_EQ(lines[pmx + 4], expect);
  const std::string y100 = "OS_CFGTAG_JPEGQUANTIZATION_Y_100";
  EXPECT_EQ(lines[pmx + 41].substr(0, 54), y100 + std::string(48 - y100.size(), ' ') + " <0101");
  EXPECT_EQ(lines[pmx + 42].rfind("OS_CFGTAG_JPEGQUANTIZATION_CBCR_100", 0), 0u);

  // The caller's own section.
  EXPECT_EQ(lines[local + 2], "[MySection]");
  std::snprintf(expect, sizeof expect, "%-48s <%s>", "MyTag", "my value");
  EXPECT_EQ(lines[local + 3], expect);
  std::snprintf(expect, sizeof expect, "%-48s <%s>", "Other", "");
  EXPECT_EQ(lines[local + 4], expect);

  // Directory groups, each line padded to 36 before "= <".
  std::snprintf(expect, sizeof expect, "%-36s= <%s>", "m_szSystemDirectory",
                cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_SYSTEMDIRECTORY));
  EXPECT_EQ(lines[dirs + 1], expect);
  std::snprintf(expect, sizeof expect, "%-36s= <%s>", "m_szLogDirectory",
                cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY));
  EXPECT_NE(Find(lines, expect, dirs), std::string::npos);
  std::snprintf(expect, sizeof expect, "%-36s= <%s>", "m_szRootDirectory",
                cfg_->Get(OS_CFGSECTION_BRAND, OS_CFGTAG_COMPANYNAMESHORT));
  EXPECT_NE(Find(lines, expect, dirs), std::string::npos);
  EXPECT_EQ(lines.back(), "---");
  size_t groups = 0;
  for (size_t i = dirs; i < lines.size(); ++i) groups += lines[i] == "---";
  EXPECT_EQ(groups, 11u);
  EXPECT_EQ(lines.size(), dirs + 1 + 53 + 11);
}

TEST_F(OsCfgDump, NamesAndPlaces) {
  Make(OS_CFGENTITY_DRIVER);
  // The log directory by default; a driver's dump has no model in its name.
  ASSERT_EQ(cfg_->Dump(nullptr), OS_STS_SUCCESS);
  const std::string logDirectory = cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY);
  EXPECT_TRUE(testsupport::FileExists(logDirectory + "/pmxoscfg.txt"));
  EXPECT_TRUE(ReadFile(logDirectory + "/pmxoscfg.txt").rfind("\r\n*** Environmentals", 0) == 0);
  // PMX_OSCFGDIR: a time-stamped name in that directory.
  const std::string envDirectory = RootPath("oscfgdir");
  std::filesystem::create_directories(envDirectory);
  setenv("PMX_OSCFGDIR", envDirectory.c_str(), 1);
  ASSERT_EQ(cfg_->Dump(nullptr), OS_STS_SUCCESS);
  unsetenv("PMX_OSCFGDIR");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(envDirectory)) {
    names.push_back(entry.path().filename());
  }
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].size(), std::string("pmxoscfg_").size() + 17 + 4) << names[0];
  EXPECT_EQ(names[0].rfind("pmxoscfg_20", 0), 0u) << names[0];
}

// An older, longer dump leaves nothing of itself behind the new one.
TEST_F(OsCfgDump, OverwritesALongerOldDump) {
  Make(OS_CFGENTITY_DRIVER);
  const std::string directory = RootPath("dumps");
  std::filesystem::create_directories(directory);
  WriteFile(directory + "/pmxoscfg.txt", std::string(1 << 20, 'Z'));
  ASSERT_EQ(cfg_->Dump(directory.c_str()), OS_STS_SUCCESS);
  const std::string text = ReadFile(directory + "/pmxoscfg.txt");
  EXPECT_EQ(text.find('Z' + std::string(20, 'Z')), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 5), "---\r\n");
}

TEST_F(OsCfgDump, UnwritablePlacesGiveInputOutputError) {
  CaptureLog();
  Make(OS_CFGENTITY_DRIVER);
  const std::string file = RootPath("plainfile");
  WriteFile(file, "x");
  const std::string below = file + "/sub";
  EXPECT_EQ(cfg_->Dump(below.c_str()), OS_STS_IO_ERROR);
  EXPECT_TRUE(Logged("Error creating...<" + below + ">"));
  // The dump name taken by a directory.
  const std::string directory = RootPath("taken");
  std::filesystem::create_directories(directory + "/pmxoscfg.txt");
  EXPECT_EQ(cfg_->Dump(directory.c_str()), OS_STS_IO_ERROR);
  EXPECT_TRUE(Logged("Error creating...<" + directory + "/pmxoscfg.txt>"));
}

TEST(OsCfgNoStore, OperationsWithoutImplementationAreRefused) {
  // A store whose implementation is gone answers with the failure values.
  testsupport::LogCapture log;
  COsCfg cfg("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
  const std::string storeLog = cfg.Get(OS_CFGSECTION_MAIN, OS_CFGTAG_PMX_LOG);
  static_assert(sizeof(COsCfg) == sizeof(void*));
  void* saved = nullptr;
  void* none = nullptr;
  std::memcpy(&saved, static_cast<void*>(&cfg), sizeof saved);
  std::memcpy(static_cast<void*>(&cfg), &none, sizeof none);
  EXPECT_EQ(cfg.InfoGetString(OS_CFGINFO_OS_NAMESTRING, 0), nullptr);
  EXPECT_EQ(cfg.InfoGetLongLong(OS_CFGINFO_CPU_TOTAL, 0), 0u);
  EXPECT_EQ(cfg.InfoGetLong(OS_CFGINFO_CPU_TOTAL, 0), 0);
  EXPECT_FALSE(cfg.InfoGetBool(OS_CFGINFO_CPU_IS_FPU, 0));
  EXPECT_STREQ(cfg.GetBrandXml(0), "");
  EXPECT_EQ(cfg.GetVersion(false), nullptr);
  EXPECT_EQ(cfg.PelumGetReportFunctions(), nullptr);
  EXPECT_EQ(cfg.GetEnvList(), nullptr);
  EXPECT_EQ(cfg.Dump(nullptr), OS_STS_FAIL);
  EXPECT_NE((log.Text() + ReadFile(storeLog)).find("m_poscfgimpl is null..."), std::string::npos);
  std::memcpy(static_cast<void*>(&cfg), &saved, sizeof saved);
}

// ---- log header ------------------------------------------------------------------------

TEST_F(OsCfgLibrary, LogHeaderReadsTheConfiguration) {
  CaptureLog();
  // A driver's store moves the log to its own file, whose header is written
  // after the load (a utility's store keeps the log's file).
  Make(OS_CFGENTITY_DRIVER);
  OsLog(OS_LOG_ERROR, "first line");
  const std::string text = StoreLog();
  const std::string total = std::to_string(cfg_->NumberOfProcessors());
  EXPECT_NE(text.find("ncpu:" + total + " "), std::string::npos) << text;
  EXPECT_NE(text.find("cputype:" + std::to_string(cfg_->InfoGetLong(OS_CFGINFO_CPU_FAMILY, 0)) + " "),
            std::string::npos);
  EXPECT_NE(text.find("bits:proc-64/mach-64 spd:~" + std::to_string(cfg_->InfoGetLong(OS_CFGINFO_CPU_MHZ, 0))),
            std::string::npos);
  EXPECT_NE(text.find("/" + std::to_string(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_TOTALPHYSICAL, 0)) + " vmem:"),
            std::string::npos);
  EXPECT_NE(text.find(std::string("### osInfo <Os:") + cfg_->InfoGetString(OS_CFGINFO_OS_NAMESTRING, 0) +
                      " Kernel:" + cfg_->InfoGetString(OS_CFGINFO_OS_KERNELVERSIONSTRING, 0) + ">"),
            std::string::npos);
  EXPECT_NE(text.find(std::string("build=04030000 package=") + cfg_->GetVersionResource() + "\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("ncpu:0 "), std::string::npos);
}

}  // namespace
