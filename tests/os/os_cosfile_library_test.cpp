// Shared libraries: the names a load tries, the alternate library and its
// search directory, the arguments published before a load, taking a handle
// on a library already loaded, entry points by plain and compiled names
// (judged by c++filt), freeing, and library names.
#include <dlfcn.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "os_cosfile.h"
#include "os_costhread.h"
#include "log_capture.h"
#include "test_support.h"

using testsupport::ReadFile;
using testsupport::RootPath;

namespace {

struct OsXmlCallback;
typedef int (*PfnAnswer)();
typedef const char* (*PfnText)();
typedef int (*PfnHandler)(void*);

void* const s_pvLoaded = reinterpret_cast<void*>(-1);

std::string ToHex(uint64_t a_u64) {
  char sz[32];
  std::snprintf(sz, sizeof sz, "%llx", static_cast<unsigned long long>(a_u64));
  return sz;
}

// A fresh copy of the stand-in library: each copy is a library of its own
// that no test has loaded yet.
std::string CopyStandin(const std::string& a_strRelative) {
  std::string strPath = RootPath(a_strRelative);
  std::filesystem::create_directories(std::filesystem::path(strPath).parent_path());
  std::filesystem::copy_file(SCANDRV_STANDIN_LIBRARY, strPath);
  return strPath;
}

int Answer(COsFile* a_posfile) {
  auto pfn = reinterpret_cast<PfnAnswer>(a_posfile->SharedLibraryGetProc("StandinAnswer", s_pvLoaded, OS_FILEMANGLE_NONE));
  return pfn ? pfn() : -1;
}

std::string TextOf(COsFile* a_posfile, const char* a_szFunction) {
  auto pfn = reinterpret_cast<PfnText>(a_posfile->SharedLibraryGetProc(a_szFunction, s_pvLoaded, OS_FILEMANGLE_NONE));
  return pfn ? pfn() : "(missing)";
}

// The file-backed mappings of the process.
std::set<std::string> FileMappings() {
  std::set<std::string> setLines;
  for (const auto& strLine : testsupport::Lines(ReadFile("/proc/self/maps"))) {
    if (strLine.find(" /") != std::string::npos) setLines.insert(strLine);
  }
  return setLines;
}

bool Mapped(const std::string& a_strPath) {
  for (const auto& strLine : FileMappings()) {
    if (strLine.find(a_strPath) != std::string::npos) return true;
  }
  return false;
}

struct NameCase {
  const char* szWhat;
  const char* szCopyAs;   // where the stand-in is put, below the root
  const char* szLoad;     // the name given ("@" stands for the root)
  EOSSTS eosstatus;
};

void PrintTo(const NameCase& a_namecase, std::ostream* a_postream) { *a_postream << a_namecase.szWhat; }

class LoadNames : public testing::TestWithParam<NameCase> {};

TEST_P(LoadNames, NameDecidesThePathTried) {
  const NameCase& c = GetParam();
  CopyStandin(c.szCopyAs);
  std::string strLoad = c.szLoad;
  if (strLoad[0] == '@') strLoad = testsupport::Root() + strLoad.substr(1);
  COsFile osfile;
  EXPECT_EQ(osfile.SharedLibraryLoad(strLoad.c_str(), OS_FILEOPEN_CREATE), c.eosstatus);
  EXPECT_EQ(osfile.SharedLibraryInUse(), c.eosstatus == OS_STS_SUCCESS);
  if (c.eosstatus == OS_STS_SUCCESS) {
    EXPECT_EQ(Answer(&osfile), 42);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Library, LoadNames,
    testing::Values(NameCase{"AbsoluteWithoutExtension", "libabs.so", "@/libabs", OS_STS_SUCCESS},
                    NameCase{"AbsoluteWithExtension", "libabs.so", "@/libabs.so", OS_STS_SUCCESS},
                    NameCase{"AbsoluteDsKeptAsIs", "drv.ds", "@/drv.ds", OS_STS_SUCCESS},
                    NameCase{"RelativeGetsDotSlashAndSo", "librel.so", "librel", OS_STS_SUCCESS},
                    NameCase{"RelativeBelowWorkingDirectory", "sub/librel.so", "sub/librel", OS_STS_SUCCESS},
                    NameCase{"RelativeDsGetsNoSo", "drv.ds", "drv.ds", OS_STS_SUCCESS},
                    NameCase{"RelativeIsNotSearchedInSystemPaths", "libx.so", "libc", OS_STS_FAIL},
                    NameCase{"Missing", "libx.so", "@/libnone", OS_STS_FAIL}),
    [](const testing::TestParamInfo<NameCase>& a_info) { return a_info.param.szWhat; });

TEST(Library, AlternateLoadsWhenTheLibraryDoesNotAndRefusals) {
  testsupport::LogCapture logcapture;
  std::string strAlternate = CopyStandin("libmain_alt.so");
  std::string strMain = RootPath("libmain");
  COsFile osfile;
  EXPECT_EQ(osfile.SharedLibraryLoad(strMain.c_str(), OS_FILEOPEN_CREATE, "+_alt"), OS_STS_SUCCESS);
  EXPECT_EQ(Answer(&osfile), 42);
  EXPECT_TRUE(logcapture.Contains("dlopen succeeded...<" + strAlternate + ">"));

  // An alternate must begin with "+"; then nothing is tried.
  COsFile osfileOther;
  EXPECT_EQ(osfileOther.SharedLibraryLoad(strMain.c_str(), OS_FILEOPEN_CREATE, "_alt"), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Alternate library must started with + sign"));
  EXPECT_FALSE(osfileOther.SharedLibraryInUse());
  EXPECT_EQ(osfileOther.SharedLibraryLoad(nullptr, OS_FILEOPEN_CREATE), OS_STS_BAD_ARGUMENT);
  EXPECT_TRUE(logcapture.Contains("a_szLibrary is NULL..."));
  EXPECT_EQ(osfileOther.SharedLibraryLoad(strAlternate.c_str(), static_cast<EOSFILEOPEN>(7)), OS_STS_BAD_ARGUMENT);
  EXPECT_TRUE(logcapture.Contains("Unrecognized a_eosfileopen...7"));
  // Neither the library nor its alternate.
  EXPECT_EQ(osfileOther.SharedLibraryLoad(RootPath("libnone").c_str(), OS_FILEOPEN_CREATE, "+_none"), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("dlopen failed...<" + RootPath("libnone_none.so") + ">"));
}

TEST(Library, AltSearchNamesTheDirectoryWhileTheAlternateLoads) {
  testsupport::LogCapture logcapture;
  CopyStandin("sub/libdev_alt.so");
  CopyStandin("libreldev_alt.so");
  for (const char* szBefore : {"/before/one:/before/two", static_cast<const char*>(nullptr)}) {
    if (szBefore) {
      setenv("LD_LIBRARY_PATH", szBefore, 1);
    } else {
      unsetenv("LD_LIBRARY_PATH");
    }
    std::filesystem::remove(RootPath("sub/libdev_alt.so"));
    CopyStandin("sub/libdev_alt.so");  // a fresh copy runs its load record again
    COsFile osfile;
    ASSERT_EQ(osfile.SharedLibraryLoad(RootPath("sub/libdev").c_str(), OS_FILEOPEN_CREATE, "+_alt",
                                       OS_SHAREFLAG_ALTSEARCH),
              OS_STS_SUCCESS);
    EXPECT_EQ(TextOf(&osfile, "StandinLibraryPathAtLoad"), RootPath("sub"));
    const char* szAfter = std::getenv("LD_LIBRARY_PATH");
    EXPECT_EQ(szAfter == nullptr, szBefore == nullptr);
    if (szBefore && szAfter) {
      EXPECT_STREQ(szAfter, szBefore);
    }
  }

  // A relative name cannot give a directory: the flag is ignored.
  setenv("LD_LIBRARY_PATH", "/kept", 1);
  COsFile osfile;
  ASSERT_EQ(osfile.SharedLibraryLoad("libreldev", OS_FILEOPEN_CREATE, "+_alt", OS_SHAREFLAG_ALTSEARCH), OS_STS_SUCCESS);
  EXPECT_TRUE(logcapture.Contains("Can't apply OS_SHAREFLAG_ALTSEARCH to a relative pathname...<./libreldev.so>"));
  EXPECT_EQ(TextOf(&osfile, "StandinLibraryPathAtLoad"), "/kept");
}

int s_iAsked = 0;
const char* Arguments() {
  ++s_iAsked;
  return "<arguments><rootpath>r</rootpath></arguments>";
}

TEST(Library, ArgumentsArePublishedBeforeALoadOnly) {
  COsThread::SetServicesArgumentsSource(&Arguments);
  std::string strPath = CopyStandin("libpub.so");
  COsFile osfile;
  EXPECT_EQ(osfile.SharedLibraryLoad(strPath.c_str(), OS_FILEOPEN_EXISTING), OS_STS_FAIL);
  EXPECT_EQ(s_iAsked, 0);
  EXPECT_EQ(std::getenv("PMX_OSSERVICESARGUMENTS"), nullptr);
  ASSERT_EQ(osfile.SharedLibraryLoad(strPath.c_str(), OS_FILEOPEN_CREATE), OS_STS_SUCCESS);
  EXPECT_EQ(s_iAsked, 1);
  EXPECT_EQ(TextOf(&osfile, "StandinArgumentsAtLoad"), "<arguments><rootpath>r</rootpath></arguments>");
  for (const std::string& strName :
       {std::string("PMX_OSSERVICESARGUMENTSUNICODE"),
        "PMX_OSSERVICESARGUMENTS_" + ToHex(COsThread::GetProcessId()) + "_" + ToHex(COsThread::GetThreadId())}) {
    const char* szValue = std::getenv(strName.c_str());
    EXPECT_STREQ(szValue ? szValue : "(unset)", "<arguments><rootpath>r</rootpath></arguments>") << strName;
  }
  COsThread::SetServicesArgumentsSource(nullptr);

  // Without a source nothing is published.
  unsetenv("PMX_OSSERVICESARGUMENTS");
  COsFile osfileOther;
  ASSERT_EQ(osfileOther.SharedLibraryLoad(CopyStandin("libpub2.so").c_str(), OS_FILEOPEN_CREATE), OS_STS_SUCCESS);
  EXPECT_EQ(TextOf(&osfileOther, "StandinArgumentsAtLoad"), "(unset)");
}

TEST(Library, OpenExistingTakesOnlyALoadedLibraryAndMapsNothing) {
  testsupport::LogCapture logcapture;
  std::string strPath = CopyStandin("libexisting.so");
  std::set<std::string> setBefore = FileMappings();
  COsFile osfile;
  EXPECT_EQ(osfile.SharedLibraryLoad(strPath.c_str(), OS_FILEOPEN_EXISTING), OS_STS_FAIL);
  EXPECT_EQ(FileMappings(), setBefore);
  EXPECT_FALSE(osfile.SharedLibraryInUse());
  EXPECT_TRUE(logcapture.Contains("dlopen(" + strPath + ") - existing"));

  COsFile osfileLoader;
  ASSERT_EQ(osfileLoader.SharedLibraryLoad(strPath.c_str(), OS_FILEOPEN_CREATE), OS_STS_SUCCESS);
  EXPECT_TRUE(Mapped(strPath));
  EXPECT_EQ(osfile.SharedLibraryLoad(strPath.c_str(), OS_FILEOPEN_EXISTING), OS_STS_SUCCESS);
  EXPECT_EQ(Answer(&osfile), 42);
}

TEST(Library, FreeAndTheDestructorUnloadTheLibrary) {
  testsupport::LogCapture logcapture;
  std::string strPath = CopyStandin("libfree.so");
  {
    COsFile osfile;
    ASSERT_EQ(osfile.SharedLibraryLoad(strPath.c_str(), OS_FILEOPEN_CREATE), OS_STS_SUCCESS);
    EXPECT_TRUE(osfile.SharedLibraryInUse());
    osfile.SharedLibraryFree();
    EXPECT_FALSE(osfile.SharedLibraryInUse());
    EXPECT_TRUE(logcapture.Contains("SharedLibrary: free "));
    EXPECT_FALSE(Mapped(strPath));
    osfile.SharedLibraryFree();  // nothing held: nothing happens
    ASSERT_EQ(osfile.SharedLibraryLoad(strPath.c_str(), OS_FILEOPEN_CREATE), OS_STS_SUCCESS);
    EXPECT_TRUE(Mapped(strPath));
  }
  EXPECT_FALSE(Mapped(strPath));
}

// Loading again on the same object replaces the first load: one free (or the
// destructor) unloads, whether the second load named the same library or another.
TEST(Library, ASecondLoadReplacesTheFirst) {
  std::string strFirst = CopyStandin("libfirst.so");
  std::string strSecond = CopyStandin("libsecond.so");
  {
    COsFile osfile;
    ASSERT_EQ(osfile.SharedLibraryLoad(strFirst.c_str(), OS_FILEOPEN_CREATE), OS_STS_SUCCESS);
    ASSERT_EQ(osfile.SharedLibraryLoad(strFirst.c_str(), OS_FILEOPEN_CREATE), OS_STS_SUCCESS);
    osfile.SharedLibraryFree();
    EXPECT_FALSE(Mapped(strFirst)) << "the first load's reference was kept";
    ASSERT_EQ(osfile.SharedLibraryLoad(strFirst.c_str(), OS_FILEOPEN_CREATE), OS_STS_SUCCESS);
    ASSERT_EQ(osfile.SharedLibraryLoad(strSecond.c_str(), OS_FILEOPEN_CREATE), OS_STS_SUCCESS);
    EXPECT_FALSE(Mapped(strFirst));
    EXPECT_TRUE(Mapped(strSecond));
    EXPECT_EQ(Answer(&osfile), 42);
  }
  EXPECT_FALSE(Mapped(strSecond));
}

// Compiled names: each names the intended function (as c++filt reads it),
// is found in the stand-in library and reaches the right code.
struct SymbolCase {
  const char* szProcedure;
  EOSFILEMANGLE eosfilemangle;
  const char* szDemangled;
  int iAnswer;
};

TEST(Library, CompiledNamesNameTheIntendedFunctions) {
  const SymbolCase asymbolcase[] = {
      {"CStandinXml_Handler", OS_FILEMANGLE_XMLCALLBACK, "CStandinXml::CStandinXml_Handler(OsXmlCallback*)", 1},
      {"CStandinXml_Enter_Task_Part", OS_FILEMANGLE_XMLCALLBACK,
       "CStandinXml::CStandinXml_Enter_Task_Part(OsXmlCallback*)", 2},
      {"standin::CNsXml_Exit_Deep_Name", OS_FILEMANGLE_XMLCALLBACK,
       "standin::CNsXml::CNsXml_Exit_Deep_Name(OsXmlCallback*)", 3},
      {"standin::inner::CInner_Enter", OS_FILEMANGLE_XMLCALLBACK, "standin::inner::CInner::CInner_Enter(OsXmlCallback*)",
       4},
      {"CSimTorvane_Create", OS_FILEMANGLE_SIMCALLBACK, "CSimTorvane_Create(SimCallback*)", 5},
      {"CSimTorvane_Destroy", OS_FILEMANGLE_SIMCALLBACK, "CSimTorvane_Destroy(SimCallback*)", 6},
      {"CSimStandin_Scan_Page", OS_FILEMANGLE_SIMCALLBACK, "CSimStandin::CSimStandin_Scan_Page(SimCallback*)", 7},
  };
  COsFile osfile;
  ASSERT_EQ(osfile.SharedLibraryLoad(CopyStandin("libnames.so").c_str(), OS_FILEOPEN_CREATE), OS_STS_SUCCESS);
  std::vector<std::string> vecArgv{"c++filt"};
  for (const auto& c : asymbolcase) {
    void* pvProcedure = osfile.SharedLibraryGetProc(c.szProcedure, s_pvLoaded, c.eosfilemangle);
    ASSERT_NE(pvProcedure, nullptr) << c.szProcedure;
    EXPECT_EQ(reinterpret_cast<PfnHandler>(pvProcedure)(nullptr), c.iAnswer) << c.szProcedure;
    Dl_info dlinfo{};
    ASSERT_NE(dladdr(pvProcedure, &dlinfo), 0);
    ASSERT_NE(dlinfo.dli_sname, nullptr);
    vecArgv.push_back(dlinfo.dli_sname);
  }
  int iStatus = -1;
  std::vector<std::string> vecDemangled = testsupport::Lines(testsupport::RunProgram(vecArgv, &iStatus));
  ASSERT_EQ(iStatus, 0);
  ASSERT_EQ(vecDemangled.size(), std::size(asymbolcase));
  for (size_t i = 0; i < vecDemangled.size(); ++i) EXPECT_EQ(vecDemangled[i], asymbolcase[i].szDemangled);
}

TEST(Library, EntryPointRefusalsAndHandles) {
  testsupport::LogCapture logcapture;
  COsFile osfile;
  // Handle -1 needs a loaded library.
  EXPECT_EQ(osfile.SharedLibraryGetProc("StandinAnswer", s_pvLoaded, OS_FILEMANGLE_NONE), nullptr);
  EXPECT_TRUE(logcapture.Contains("Must open a library first..."));
  // Handle 0 searches the whole process, where this library is linked.
  EXPECT_EQ(osfile.SharedLibraryGetProc("DriverEntry", nullptr, OS_FILEMANGLE_NONE), dlsym(RTLD_DEFAULT, "DriverEntry"));

  std::string strPath = CopyStandin("librefuse.so");
  void* pvHandle = dlopen(strPath.c_str(), RTLD_LAZY);
  ASSERT_NE(pvHandle, nullptr);
  EXPECT_NE(osfile.SharedLibraryGetProc("CStandinXml_Handler", pvHandle, OS_FILEMANGLE_XMLCALLBACK), nullptr);
  EXPECT_EQ(osfile.SharedLibraryGetProc(nullptr, pvHandle, OS_FILEMANGLE_NONE), nullptr);
  EXPECT_TRUE(logcapture.Contains("a_szProcedure is NULL..."));
  EXPECT_EQ(osfile.SharedLibraryGetProc("NoUnderscore", pvHandle, OS_FILEMANGLE_XMLCALLBACK), nullptr);
  EXPECT_TRUE(logcapture.Contains("Badly constructed szProcedure...<NoUnderscore>"));
  EXPECT_EQ(osfile.SharedLibraryGetProc("ns::_Leading", pvHandle, OS_FILEMANGLE_XMLCALLBACK), nullptr);
  EXPECT_TRUE(logcapture.Contains("Badly constructed szProcedure...<ns::_Leading>"));
  EXPECT_EQ(osfile.SharedLibraryGetProc("CStandinXml_Missing", pvHandle, OS_FILEMANGLE_XMLCALLBACK), nullptr);
  EXPECT_TRUE(logcapture.Contains("dlsym failed...<_ZN11CStandinXml19CStandinXml_MissingEP13OsXmlCallback>"));
  EXPECT_EQ(osfile.SharedLibraryGetProc("CStandinXml_Handler", pvHandle, static_cast<EOSFILEMANGLE>(9)), nullptr);
  EXPECT_TRUE(logcapture.Contains("Unrecognized 9..."));
  EXPECT_EQ(osfile.SharedLibraryGetProc("Missing", pvHandle, OS_FILEMANGLE_NONE), nullptr);
  std::string strLong(600, 'A');
  strLong += "_x";
  EXPECT_EQ(osfile.SharedLibraryGetProc(strLong.c_str(), pvHandle, OS_FILEMANGLE_XMLCALLBACK), nullptr);
  dlclose(pvHandle);
}

TEST(Library, LibraryNames) {
  testsupport::WriteFile("present.so", "");
  EXPECT_TRUE(COsFile::SharedLibraryExists("present"));
  EXPECT_TRUE(COsFile::SharedLibraryExists(RootPath("present").c_str()));
  EXPECT_FALSE(COsFile::SharedLibraryExists("absent"));
  testsupport::LogCapture logcapture;
  EXPECT_FALSE(COsFile::SharedLibraryExists(nullptr));
  EXPECT_TRUE(logcapture.Contains("a_szFilename is null..."));
  EXPECT_FALSE(COsFile::SharedLibraryExists(""));
  EXPECT_TRUE(logcapture.Contains("a_szFilename is empty..."));
  EXPECT_FALSE(COsFile::SharedLibraryExists("present.so"));  // looks for present.so.so
  EXPECT_TRUE(logcapture.Contains("badly formed name (don't include the extension!)..."));

  const struct {
    const char* szIn;
    size_t sizetBuffer;
    const char* szOut;
  } acase[] = {{"lib", 64, "lib.so"},     {"a//b\\lib", 64, "a/b/lib.so"}, {"lib.SO", 64, "lib.SO"},
               {"x.so", 64, "x.so"},      {"so", 64, "so.so"},             {".so", 64, ".so"},
               {"lib.so.1", 64, "lib.so.1.so"}, {"toolong", 8, "toolong"}};
  for (const auto& c : acase) {
    char szPath[64];
    std::strcpy(szPath, c.szIn);
    COsFile::PathAppendDll(szPath, c.sizetBuffer);
    EXPECT_STREQ(szPath, c.szOut) << c.szIn;
  }
  COsFile::PathAppendDll(nullptr, 8);
  EXPECT_TRUE(logcapture.Contains("a_szPath is null..."));
}

}  // namespace
