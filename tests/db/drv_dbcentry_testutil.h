// Calling the database compiler as a front end does: the library opened with
// dlopen, DbcEntry found by name, what it prints on standard output caught
// in a file of the test's root; fixture sources staged into the root (also
// with one change); and the log lines that the compiler's service layer
// wrote there.
#pragma once

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace dbctest {

namespace fs = std::filesystem;

inline const std::string kData = std::string(SCANDRV_TEST_DATA) + "/db";

struct DbcResult {
  std::string reply;
  std::string printed;
};

inline DbcResult CallDbcEntry(const char* a_szTask, const std::string& a_strLibrary = SCANDRV_LIBRARY_PATH) {
  DbcResult result;
  void* pvLibrary = dlopen(a_strLibrary.c_str(), RTLD_NOW);
  EXPECT_NE(pvLibrary, nullptr) << dlerror();
  if (!pvLibrary) return result;
  auto pfn = reinterpret_cast<const char* (*)(const char*)>(dlsym(pvLibrary, "DbcEntry"));
  EXPECT_NE(pfn, nullptr);
  const std::string strPrinted = testsupport::RootPath("printed.txt");
  std::fflush(stdout);
  int iSaved = dup(STDOUT_FILENO);
  int iFd = open(strPrinted.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
  dup2(iFd, STDOUT_FILENO);
  close(iFd);
  const char* szReply = pfn ? pfn(a_szTask) : nullptr;
  std::fflush(stdout);
  dup2(iSaved, STDOUT_FILENO);
  close(iSaved);
  result.reply = szReply ? szReply : "(null)";
  result.printed = testsupport::ReadFile(strPrinted);
  dlclose(pvLibrary);
  return result;
}

inline std::string Task(const std::string& a_strSource, const std::string& a_strDestination,
                        const std::string& a_strTarget = "product", const std::string& a_strInclude = "") {
  std::string strTask = "<task><source>" + a_strSource + "</source>";
  if (!a_strInclude.empty()) strTask += "<include>" + a_strInclude + "</include>";
  return strTask + "<destination>" + a_strDestination + "</destination><target>" + a_strTarget + "</target></task>";
}

// A copy of a fixture directory below the root (replacing an earlier one),
// and an empty destination beside it.
inline std::string Stage(const std::string& a_strFixture, const std::string& a_strName = "src") {
  const std::string strTo = testsupport::RootPath(a_strName);
  fs::remove_all(strTo);
  fs::copy(kData + "/" + a_strFixture, strTo, fs::copy_options::recursive);
  fs::remove_all(strTo + "/expected");
  fs::create_directories(testsupport::RootPath("out"));
  return strTo;
}

// Every log line the service layers of this test wrote.
inline std::string LogText() {
  std::string strText;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(testsupport::Root(), ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec) && it->path().extension() == ".log") strText += testsupport::ReadFile(it->path());
  }
  return strText;
}

inline std::string Expected(const std::string& a_strFixture, const std::string& a_strFile) {
  return testsupport::ReadFile(kData + "/" + a_strFixture + "/expected/" + a_strFile);
}

inline std::string Output(const std::string& a_strFile) {
  return testsupport::ReadFile(testsupport::RootPath("out/" + a_strFile));
}

inline bool HasOutput(const std::string& a_strFile) {
  return testsupport::FileExists(testsupport::RootPath("out/" + a_strFile));
}

// A change to one file of the staged small sources: the text szFrom (every
// occurrence) becomes szTo; with no szFrom the file becomes szTo; with no
// szTo it is removed.
struct Change {
  const char* szFile;
  const char* szFrom;
  const char* szTo;
};

inline std::string StageChanged(const Change& a_change) {
  const std::string strSource = Stage("small");
  const std::string strFile = strSource + "/" + a_change.szFile;
  if (!a_change.szTo) {
    std::filesystem::remove(strFile);
  } else if (!a_change.szFrom) {
    testsupport::WriteFile(strFile, a_change.szTo);
  } else {
    std::string strText = testsupport::ReadFile(strFile);
    size_t sizetFound = strText.find(a_change.szFrom);
    EXPECT_NE(sizetFound, std::string::npos) << a_change.szFrom;
    for (; sizetFound != std::string::npos; sizetFound = strText.find(a_change.szFrom, sizetFound + std::strlen(a_change.szTo))) {
      strText.replace(sizetFound, std::strlen(a_change.szFrom), a_change.szTo);
    }
    testsupport::WriteFile(strFile, strText);
  }
  std::filesystem::remove_all(testsupport::RootPath("out"));
  std::filesystem::create_directories(testsupport::RootPath("out"));
  std::filesystem::remove_all(testsupport::RootPath("var"));
  return strSource;
}

inline std::string Repeat(const std::string& a_str, int a_iCount) {
  std::string str;
  for (int i = 0; i < a_iCount; ++i) str += a_str;
  return str;
}

// Compiles the library's own sources (db/sources with the real headers) into
// the root's "out".
inline DbcResult CompileRepositorySources() {
  const std::string strRepository = std::string(SCANDRV_TEST_DATA) + "/../..";
  fs::create_directories(testsupport::RootPath("include"));
  fs::create_directories(testsupport::RootPath("out"));
  fs::copy_file(strRepository + "/db/db_def.h", testsupport::RootPath("include/db_def.h"),
                fs::copy_options::overwrite_existing);
  fs::copy_file(strRepository + "/os/os_coslocale.h", testsupport::RootPath("include/os_coslocale.h"),
                fs::copy_options::overwrite_existing);
  return CallDbcEntry(Task(strRepository + "/db/sources", testsupport::RootPath("out"), "product",
                           testsupport::RootPath("include"))
                          .c_str());
}

}  // namespace dbctest
