// Editing the profile list over directories of the test's own: creating
// user profiles (ids, names refused, the share-only save), saving, renaming,
// deleting (a user profile goes, an installed one hides behind a hidden
// user copy), restoring the installed profiles, and writers in several
// processes, one of them killed mid-save.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "db_cdbprofileitem.h"
#include "db_cdbprofilelistimpl.h"
#include "db_profile_list_fixture.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "test_support.h"

namespace {

using dbtest::DbProfileListFixture;

class DbProfileListEditTest : public DbProfileListFixture {
 protected:
  // A loaded list after its first selection.
  std::unique_ptr<CDbProfileListImpl> Loaded() {
    auto p = std::make_unique<CDbProfileListImpl>(m_pdatabase.get(), 64);
    EXPECT_EQ(p->Load(false), DB_STS_SUCCESS);
    EXPECT_EQ(p->SetCurrent(nullptr), DB_STS_SUCCESS);
    return p;
  }

  CDbDatum* ContrastDatum() { return m_pdatabase->FindInWindowBin(0, DB_BIN_BITONAL_FRONT, DB_ID_CONTRAST); }
  long Contrast() { return ContrastDatum()->GetCurrentLongNoCallback(); }
  void SetContrast(long a_l) { m_pdatabase->SetCurrentLong(ContrastDatum(), a_l, false); }

  // The visible names in slot order, the current one starred.
  static std::vector<std::string> Names(CDbProfileListImpl& a_list) {
    const std::string strReport = a_list.ReportProfileList();
    a_list.Free();
    return Entries(strReport);
  }

  std::vector<std::string> UserFiles(const std::string& a_strSuffix = ".profile") const {
    std::vector<std::string> vec;
    for (const auto& entry : std::filesystem::directory_iterator(m_strUser)) {
      const std::string strName = entry.path().filename().string();
      if (strName.size() > a_strSuffix.size() && strName.ends_with(a_strSuffix)) vec.push_back(strName);
    }
    std::sort(vec.begin(), vec.end());
    return vec;
  }
};

// A created profile is written under a 17-digit id (xmllint reads it),
// becomes current and is found by the next Load; two creates in one
// millisecond still get two ids.
TEST_F(DbProfileListEditTest, CreateWritesANewCurrentUserProfile) {
  auto plist = Loaded();
  SetContrast(33);
  ASSERT_EQ(plist->Create("Mine", nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  ASSERT_EQ(plist->Create("Yours", nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  EXPECT_EQ(Names(*plist), (std::vector<std::string>{"Default", "Mine", "Yours*"}));
  EXPECT_FALSE(plist->IsProfileModified());
  const auto vecFiles = UserFiles();
  ASSERT_EQ(vecFiles.size(), 2u);
  for (const std::string& strFile : vecFiles) {
    EXPECT_TRUE(std::regex_match(strFile, std::regex("[0-9]{17}\\.profile"))) << strFile;
    EXPECT_TRUE(XmllintReads(m_strUser + "/" + strFile));
  }
  auto plistAgain = Loaded();
  EXPECT_EQ(Names(*plistAgain), (std::vector<std::string>{"Default*", "Mine", "Yours"}));
  ASSERT_EQ(plistAgain->SetCurrent("Mine"), DB_STS_SUCCESS);
  EXPECT_EQ(Contrast(), 33);
}

// Names refused, with their statuses; nothing is written for them.
TEST_F(DbProfileListEditTest, CreateRefusesBadNames) {
  testsupport::WriteFile(m_strInstalledList + "/office.profile", Profile("Office", "office-1", 11));
  auto plist = Loaded();
  ASSERT_EQ(plist->Create("Mine", nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  ASSERT_EQ(plist->Create("Other", nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  std::string str4Byte;
  for (int i = 0; i < 60; ++i) str4Byte += "\xF0\x9F\x98\x80";
  const struct {
    std::string strName;
    const char* szGraphic;
    EDBSTS edbsts;
    const char* szLog;
  } acase[] = {
      {"", nullptr, DB_STS_BADVALUE, "must specify a name when creating a profile..."},
      {std::string(61, 'x'), nullptr, DB_STS_BADVALUE, "Profile name is greater 60 chars"},
      {str4Byte, nullptr, DB_STS_BADVALUE, "Profile name is too long..."},
      {"a]]>b", nullptr, DB_STS_BADVALUE, "Profile name can't be stored...<a]]>b>"},
      {"Mine", nullptr, DB_STS_BADVALUE, "Name is inuse...<Mine>"},
      {"Office", nullptr, DB_STS_BADVALUE, "Name is reserved, and can't be used...<Office>"},
      {"Pic", "/nonexistent.png", DB_STS_BADVALUE, "Invalid graphic filename..."},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.strName);
    EXPECT_EQ(plist->Create(c.strName.c_str(), c.szGraphic, nullptr, false, false, true), c.edbsts);
    EXPECT_TRUE(m_plog->Contains(c.szLog));
  }
  EXPECT_EQ(UserFiles().size(), 2u);
  // The current profile's own name, unmodified: nothing to do.
  EXPECT_EQ(plist->Create("Other", nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  EXPECT_EQ(UserFiles().size(), 2u);
  EXPECT_EQ(plist->Create(std::string(60, 'y').c_str(), nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  EXPECT_EQ(UserFiles().size(), 3u);
}

// Only ADFTIMEOUT changed under the installed profile's own name while the
// feeder values are kept per device: the share file alone is written.
TEST_F(DbProfileListEditTest, ASharedChangeAloneWritesTheShareFile) {
  auto plist = Loaded();
  CDbDatum* pdbdatumUnique = m_pdatabase->FindInWindowBin(0, DB_BIN_MACHINE, DB_ID_ADFUNIQUE);
  CDbDatum* pdbdatumTimeout = m_pdatabase->FindInWindowBin(0, DB_BIN_MACHINE, DB_ID_ADFTIMEOUTENABLED);
  if (!pdbdatumUnique || !pdbdatumTimeout) GTEST_SKIP() << "the test database has no feeder timeout";
  m_pdatabase->SetCurrentLong(pdbdatumUnique, 1, false);
  plist->ResetAllProfileNotifications();
  m_pdatabase->SetCurrentLong(pdbdatumTimeout, m_pdatabase->GetCurrentLong(pdbdatumTimeout) == 1 ? 2 : 1, false);
  ASSERT_TRUE(plist->IsProfileModified());
  ASSERT_EQ(plist->Create("Default", nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  EXPECT_TRUE(UserFiles().empty());
  EXPECT_EQ(UserFiles(".share"), std::vector<std::string>{"profile.share"});
  EXPECT_EQ(Names(*plist), std::vector<std::string>{"Default*"});
}

// Save of a user profile writes it in place; of an installed profile it
// makes a user copy with the installed id, which hides the installed one.
TEST_F(DbProfileListEditTest, SaveMakesAUserCopyOfAnInstalledProfile) {
  testsupport::WriteFile(m_strInstalledList + "/office.profile", Profile("Office", "office-1", 11));
  auto plist = Loaded();
  ASSERT_EQ(plist->SetCurrent("Office"), DB_STS_SUCCESS);
  SetContrast(44);
  ASSERT_EQ(plist->Save(), DB_STS_SUCCESS);
  EXPECT_EQ(UserFiles(), std::vector<std::string>{"office-1.profile"});
  EXPECT_EQ(Names(*plist), (std::vector<std::string>{"Default", "Office*"}));
  EXPECT_TRUE(plist->GetCurrentProfile()->IsProfileUser());
  SetContrast(45);
  ASSERT_EQ(plist->Save(), DB_STS_SUCCESS);
  EXPECT_EQ(UserFiles(), std::vector<std::string>{"office-1.profile"});
  auto plistAgain = Loaded();
  ASSERT_EQ(plistAgain->SetCurrent("Office"), DB_STS_SUCCESS);
  EXPECT_EQ(Contrast(), 45);
}

// Deleting the user profile of slot 3 of 6 closes the gap; the named
// profile is selected afterwards.
TEST_F(DbProfileListEditTest, DeletingAUserProfileClosesTheGap) {
  auto plist = Loaded();
  for (const char* sz : {"A", "B", "C", "D", "E"})
    ASSERT_EQ(plist->Create(sz, nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  ASSERT_EQ(plist->SetCurrent("C"), DB_STS_SUCCESS);
  const std::string strFile = plist->GetCurrentProfile()->GetFilename();
  EXPECT_EQ(plist->Delete("Nobody"), DB_STS_BADVALUE);
  EXPECT_TRUE(m_plog->Contains("profile not found...<Nobody>"));
  EXPECT_EQ(plist->Delete("C"), DB_STS_BADVALUE);
  ASSERT_EQ(plist->Delete("E"), DB_STS_SUCCESS);
  EXPECT_EQ(Names(*plist), (std::vector<std::string>{"Default", "A", "B", "D", "E*"}));
  EXPECT_FALSE(std::filesystem::exists(strFile));
  EXPECT_EQ(UserFiles().size(), 4u);
  ASSERT_EQ(plist->Delete(""), DB_STS_SUCCESS);
  EXPECT_EQ(Names(*plist), (std::vector<std::string>{"Default*", "A", "B", "D"}));
}

// Deleting an installed profile leaves a hidden user copy on disk, so it
// stays hidden after a Load; RestoreInstalledProfiles removes the copy and
// shows it again. Renaming an installed profile hides it behind a copy.
TEST_F(DbProfileListEditTest, InstalledProfilesHideBehindCopiesUntilRestored) {
  testsupport::WriteFile(m_strInstalledList + "/office.profile", Profile("Office", "office-1", 11));
  testsupport::WriteFile(m_strInstalledList + "/scan.profile", Profile("Scan", "scan-1", 12));
  auto plist = Loaded();
  ASSERT_EQ(plist->SetCurrent("Office"), DB_STS_SUCCESS);
  ASSERT_EQ(plist->Delete(""), DB_STS_SUCCESS);
  EXPECT_EQ(Names(*plist), (std::vector<std::string>{"Default*", "Scan"}));
  EXPECT_EQ(UserFiles(), std::vector<std::string>{"office-1.profile"});
  ASSERT_EQ(plist->SetCurrent("Scan"), DB_STS_SUCCESS);
  ASSERT_EQ(plist->Rename("Scan mine", ""), DB_STS_SUCCESS);
  EXPECT_EQ(Names(*plist), (std::vector<std::string>{"Default", "Scan mine*"}));
  EXPECT_EQ(UserFiles(), (std::vector<std::string>{"office-1.profile", "scan-1.profile"}));
  {
    auto plistAgain = Loaded();
    EXPECT_EQ(Names(*plistAgain), (std::vector<std::string>{"Default*", "Scan mine"}));
  }
  ASSERT_EQ(plist->RestoreInstalledProfiles(false), DB_STS_SUCCESS);
  EXPECT_EQ(Names(*plist), (std::vector<std::string>{"Default*", "Office", "Scan"}));
  EXPECT_TRUE(UserFiles().empty());
}

// Renaming a user profile in place; the refusals with their statuses.
TEST_F(DbProfileListEditTest, RenameInPlaceAndItsRefusals) {
  testsupport::WriteFile(m_strInstalledList + "/office.profile", Profile("Office", "office-1", 11));
  auto plist = Loaded();
  ASSERT_EQ(plist->Create("Mine", nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  ASSERT_EQ(plist->Create("Other", nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  const std::string strFile = plist->GetCurrentProfile()->GetFilename();
  ASSERT_EQ(plist->Rename("Ours", nullptr), DB_STS_SUCCESS);
  EXPECT_EQ(Names(*plist), (std::vector<std::string>{"Default", "Office", "Mine", "Ours*"}));
  EXPECT_EQ(UserFiles().size(), 2u);
  EXPECT_TRUE(std::filesystem::exists(strFile));
  const struct {
    const char* szName;
    const char* szGraphic;
    EDBSTS edbsts;
    const char* szLog;
  } acase[] = {
      {"", "", DB_STS_BADVALUE, "Rename failed, no new name or graphic is specified..."},
      {"Mine", nullptr, DB_STS_BADVALUE, "Name is already in use...<Mine>"},
      {"Office", nullptr, DB_STS_BADVALUE, "Name is already in use...<Office>"},
      {"x", "/nonexistent.png", DB_STS_BADVALUE, "Rename failed, invalid graphic filename..."},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    EXPECT_EQ(plist->Rename(c.szName, c.szGraphic), c.edbsts);
    EXPECT_TRUE(m_plog->Contains(c.szLog));
  }
  // A modified profile is neither renamed, deleted nor restored.
  SetContrast(Contrast() + 1);
  ASSERT_TRUE(plist->IsProfileModified());
  EXPECT_EQ(plist->Rename("New", nullptr), DB_STS_NOTAVAILABLE);
  EXPECT_EQ(plist->Delete(""), DB_STS_NOTAVAILABLE);
  EXPECT_EQ(plist->RestoreInstalledProfiles(true), DB_STS_NOTAVAILABLE);
  EXPECT_EQ(Names(*plist), (std::vector<std::string>{"Default", "Office", "Mine", "Ours*"}));
}

// A user directory that cannot be written (a file stands in its place):
// create fails with 1, the list and the file as they were.
TEST_F(DbProfileListEditTest, AnUnwritableUserDirectoryFailsAndChangesNothing) {
  const std::string strBlocked = testsupport::RootPath("blocked");
  testsupport::WriteFile(strBlocked, "not a directory");
  setenv("PMX_PROFILESDIR", strBlocked.c_str(), 1);
  auto plist = Loaded();
  SetContrast(Contrast() + 3);
  EXPECT_EQ(plist->Create("Yours", nullptr, nullptr, false, false, true), DB_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Save failed..."));
  EXPECT_EQ(Names(*plist), std::vector<std::string>{"Default*"});
  EXPECT_EQ(plist->GetCurrentProfile(), plist->GetDatabaseResourceProfile());
  EXPECT_EQ(testsupport::ReadFile(strBlocked), "not a directory");
}

// Two processes create 50 profiles each as fast as they can: 100 files,
// each whole and with its own id.
TEST_F(DbProfileListEditTest, TwoProcessesCreatingLoseNoProfile) {
  constexpr int s_iCreates = 50;
  std::vector<pid_t> vecPid;
  for (int iProcess = 0; iProcess < 2; ++iProcess) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      auto plist = std::make_unique<CDbProfileListImpl>(m_pdatabase.get(), 64);
      if (plist->Load(false) != DB_STS_SUCCESS) _exit(2);
      for (int i = 0; i < s_iCreates; ++i) {
        const std::string strName = "P" + std::to_string(iProcess) + "-" + std::to_string(i);
        if (plist->Create(strName.c_str(), nullptr, nullptr, false, false, true) != DB_STS_SUCCESS) _exit(3);
      }
      _exit(0);
    }
    vecPid.push_back(pid);
  }
  for (pid_t pid : vecPid) {
    int iStatus = -1;
    ASSERT_EQ(waitpid(pid, &iStatus, 0), pid);
    EXPECT_TRUE(WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0) << iStatus;
  }
  const auto vecFiles = UserFiles();
  EXPECT_EQ(vecFiles.size(), 2u * s_iCreates);
  std::set<std::string> setNames;
  for (const std::string& strFile : vecFiles) {
    const std::string strText = testsupport::ReadFile(m_strUser + "/" + strFile);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(strText, match, std::regex("<id><!\\[CDATA\\[([^\\]]*)\\]\\]></id>"))) << strFile;
    setNames.insert(match[1].str());
    EXPECT_NE(strText.find("</profile>"), std::string::npos) << strFile;
  }
  EXPECT_EQ(setNames.size(), 2u * s_iCreates);
}

// A child creating and saving profiles is killed at random moments: every
// profile left on disk parses, and no temporary is taken for a profile.
TEST_F(DbProfileListEditTest, AKillMidSaveLeavesWholeProfiles) {
  std::mt19937 mt(92);
  for (int iRound = 0; iRound < 20; ++iRound) {
    int aiPipe[2];
    ASSERT_EQ(pipe(aiPipe), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      auto plist = std::make_unique<CDbProfileListImpl>(m_pdatabase.get(), 64);
      if (plist->Load(false) != DB_STS_SUCCESS) _exit(2);
      plist->SetCurrent(nullptr);
      // Ready once one profile is whole, so that a slow child (a sanitizer
      // build on a busy machine) is still killed mid-way through later saves.
      for (int i = 0;; ++i) {
        const std::string strName = "R" + std::to_string(iRound) + "-" + std::to_string(i);
        if (plist->Create(strName.c_str(), nullptr, nullptr, false, false, true) != DB_STS_SUCCESS) _exit(3);
        if (i == 0 && write(aiPipe[1], "r", 1) != 1) _exit(5);
        m_pdatabase->SetCurrentLong(ContrastDatum(), 10 + i % 50, false);
        if (plist->Save() != DB_STS_SUCCESS) _exit(4);
      }
    }
    char c = 0;
    ASSERT_EQ(read(aiPipe[0], &c, 1), 1);
    close(aiPipe[0]);
    close(aiPipe[1]);
    usleep(std::uniform_int_distribution<int>(1000, 30000)(mt));
    kill(pid, SIGKILL);
    int iStatus = -1;
    ASSERT_EQ(waitpid(pid, &iStatus, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(iStatus)) << "the child stopped on its own: " << iStatus;
  }
  const auto vecFiles = UserFiles();
  ASSERT_FALSE(vecFiles.empty());
  for (const std::string& strFile : vecFiles) EXPECT_TRUE(XmllintReads(m_strUser + "/" + strFile)) << strFile;
  auto plist = Loaded();
  EXPECT_EQ(Names(*plist).size(), vecFiles.size() + 1);
}

}  // namespace

namespace {

// The package read from its byte layout alone: the cookie, the footer
// found backwards, and each item's type, offset, bytes and path.
struct PackageItem {
  std::string strType, strPath;
  long long llOffset = -1, llBytes = -1;
};

std::vector<PackageItem> ReadPackage(const std::string& a_strPackage) {
  std::vector<PackageItem> vec;
  EXPECT_EQ(a_strPackage.substr(0, 16), "*PROFILEPACKAGE*");
  const size_t sizetFooter = a_strPackage.rfind("<packagelist>");
  EXPECT_NE(sizetFooter, std::string::npos);
  if (sizetFooter == std::string::npos) return vec;
  const std::string strFooter = a_strPackage.substr(sizetFooter);
  static const std::regex s_regexItem("<packageitem>([\\s\\S]*?)</packageitem>");
  for (auto it = std::sregex_iterator(strFooter.begin(), strFooter.end(), s_regexItem); it != std::sregex_iterator();
       ++it) {
    const std::string strItem = (*it)[1].str();
    PackageItem item;
    std::smatch match;
    if (std::regex_search(strItem, match, std::regex("<type>([a-z]+)</type>"))) item.strType = match[1].str();
    if (std::regex_search(strItem, match, std::regex("<offset>([0-9]+)</offset>"))) item.llOffset = std::stoll(match[1].str());
    if (std::regex_search(strItem, match, std::regex("<bytes>([0-9]+)</bytes>"))) item.llBytes = std::stoll(match[1].str());
    if (std::regex_search(strItem, match, std::regex("<path><!\\[CDATA\\[([\\s\\S]*?)\\]\\]></path>")))
      item.strPath = match[1].str();
    if (item.strType == "file") {
      EXPECT_GE(item.llOffset, 16);
      EXPECT_LE(item.llOffset + item.llBytes, static_cast<long long>(sizetFooter));
    }
    vec.push_back(item);
  }
  return vec;
}

// Export: an empty directory gives the cookie and the cookie item; files
// (an empty one too) and "graphics" before its files come back byte for
// byte; a package already at the name survives a failed export, and a
// missing directory leaves nothing behind.
TEST_F(DbProfileListEditTest, ExportPacksTheUserDirectory) {
  auto plist = Loaded();
  const std::string strPackage = testsupport::RootPath("p.pkg");
  ASSERT_EQ(plist->Export(strPackage.c_str()), DB_STS_SUCCESS);
  const std::string strEmpty = testsupport::ReadFile(strPackage);
  EXPECT_EQ(strEmpty.find("<packagelist>"), 16u);
  auto vec = ReadPackage(strEmpty);
  ASSERT_EQ(vec.size(), 1u);
  EXPECT_EQ(vec[0].strType, "cookie");
  EXPECT_EQ(vec[0].llOffset, 0);
  EXPECT_EQ(vec[0].llBytes, 16);
  const std::string strFooter = testsupport::RootPath("footer.xml");
  testsupport::WriteFile(strFooter, strEmpty.substr(16));
  EXPECT_TRUE(XmllintReads(strFooter));

  ASSERT_EQ(plist->Create("Mine", nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  std::filesystem::create_directories(m_strUser + "/graphics");
  testsupport::WriteFile(m_strUser + "/graphics/pic.png", std::string("\x89PNG\0\1\2", 7));
  testsupport::WriteFile(m_strUser + "/empty.txt", "");
  symlink("/etc/passwd", (m_strUser + "/link").c_str());
  ASSERT_EQ(plist->Export(strPackage.c_str()), DB_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("entry neither file nor directory, not packed..."));
  const std::string strFull = testsupport::ReadFile(strPackage);
  vec = ReadPackage(strFull);
  std::set<std::string> setFiles;
  bool blGraphicsDirectory = false;
  for (const PackageItem& item : vec) {
    if (item.strType == "directory") {
      EXPECT_EQ(item.strPath, "graphics");
      blGraphicsDirectory = true;
    } else if (item.strType == "file") {
      if (item.strPath.starts_with("graphics/")) {
        EXPECT_TRUE(blGraphicsDirectory);
      }
      EXPECT_EQ(strFull.substr(item.llOffset, item.llBytes), testsupport::ReadFile(m_strUser + "/" + item.strPath))
          << item.strPath;
      setFiles.insert(item.strPath);
    }
  }
  EXPECT_TRUE(blGraphicsDirectory);
  EXPECT_EQ(setFiles.size(), 3u);
  EXPECT_TRUE(setFiles.count("empty.txt") && setFiles.count("graphics/pic.png"));

  // A package inside the user directory is not packed into itself.
  const std::string strInside = m_strUser + "/self.pkg";
  ASSERT_EQ(plist->Export(strInside.c_str()), DB_STS_SUCCESS);
  for (const PackageItem& item : ReadPackage(testsupport::ReadFile(strInside))) EXPECT_NE(item.strPath, "self.pkg");
  std::filesystem::remove(strInside);

  // Failures: a missing directory leaves nothing; an unreadable entry fails
  // the export and the package already there stays whole.
  EXPECT_EQ(plist->Export(testsupport::RootPath("missing/p.pkg").c_str()), DB_STS_FAIL);
  EXPECT_FALSE(std::filesystem::exists(testsupport::RootPath("missing")));
  std::filesystem::create_directories(m_strUser + "/sub");
  if (geteuid() != 0) {
    std::filesystem::permissions(m_strUser + "/sub", std::filesystem::perms::none);
    EXPECT_EQ(plist->Export(strPackage.c_str()), DB_STS_FAIL);
    std::filesystem::permissions(m_strUser + "/sub", std::filesystem::perms::owner_all);
    EXPECT_EQ(testsupport::ReadFile(strPackage), strFull);
  }
  size_t sizetEntries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::RootPath("")))
    sizetEntries += entry.path().filename().string().starts_with("p.pkg.");
  EXPECT_EQ(sizetEntries, 0u);

  // A modified profile is not exported.
  SetContrast(Contrast() + 1);
  EXPECT_EQ(plist->Export(strPackage.c_str()), DB_STS_NOTAVAILABLE);
  EXPECT_EQ(plist->Export(nullptr), DB_STS_FAIL);
}

}  // namespace

namespace {

// Every entry below the directory with its content ("/" for directories).
std::map<std::string, std::string> Tree(const std::string& a_strDirectory) {
  std::map<std::string, std::string> map;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(a_strDirectory)) {
    const std::string strRelative = entry.path().string().substr(a_strDirectory.size() + 1);
    map[strRelative] = entry.is_directory() ? "/" : testsupport::ReadFile(entry.path().string());
  }
  return map;
}

std::string Item(const std::string& a_strType, const std::string& a_strOffset, const std::string& a_strBytes,
                 const std::string& a_strPath) {
  return "\t<packageitem>\n\t\t<type>" + a_strType + "</type>\n" +
         (a_strOffset.empty() ? "" : "\t\t<offset>" + a_strOffset + "</offset>\n\t\t<bytes>" + a_strBytes + "</bytes>\n") +
         "\t\t<path><![CDATA[" + a_strPath + "]]></path>\n\t</packageitem>\n";
}

std::string Package(const std::string& a_strContents, const std::string& a_strItems) {
  return "*PROFILEPACKAGE*" + a_strContents + "<packagelist>\n" + a_strItems + "</packagelist>\n";
}

// Export then import gives the same directory; a package made by hand
// (a file, "graphics" and its file) replaces it, and with keep-list the
// list stays as it was.
TEST_F(DbProfileListEditTest, ImportReplacesTheUserDirectory) {
  auto plist = Loaded();
  ASSERT_EQ(plist->Create("Mine", nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  testsupport::WriteFile(m_strUser + "/empty.txt", "");
  std::filesystem::create_directories(m_strUser + "/graphics");
  testsupport::WriteFile(m_strUser + "/graphics/pic.png", "png");
  const auto mapBefore = Tree(m_strUser);
  const std::string strPackage = testsupport::RootPath("p.pkg");
  ASSERT_EQ(plist->Export(strPackage.c_str()), DB_STS_SUCCESS);
  testsupport::WriteFile(m_strUser + "/stray.txt", "stray");
  ASSERT_EQ(plist->Import(strPackage.c_str(), false), DB_STS_SUCCESS);
  EXPECT_EQ(Tree(m_strUser), mapBefore);
  EXPECT_EQ(Names(*plist), (std::vector<std::string>{"Default*", "Mine"}));
  EXPECT_FALSE(std::filesystem::exists(m_strUser + ".backup"));
  EXPECT_FALSE(std::filesystem::exists(m_strUser + ".import"));

  const std::string strHand = testsupport::RootPath("hand.pkg");
  testsupport::WriteFile(strHand, Package("abcXY", Item("file", "16", "3", "a.txt") + Item("directory", "", "", "graphics") +
                                                       Item("file", "19", "2", "graphics/b.txt")));
  ASSERT_EQ(plist->Import(strHand.c_str(), true), DB_STS_SUCCESS);
  EXPECT_EQ(Tree(m_strUser), (std::map<std::string, std::string>{{"a.txt", "abc"}, {"graphics", "/"}, {"graphics/b.txt", "XY"}}));
  EXPECT_EQ(Names(*plist), (std::vector<std::string>{"Default*", "Mine"}));
  // A package whose footer has no items leaves an empty directory.
  testsupport::WriteFile(strHand, Package("", ""));
  ASSERT_EQ(plist->Import(strHand.c_str(), false), DB_STS_SUCCESS);
  EXPECT_TRUE(Tree(m_strUser).empty());
  EXPECT_EQ(Names(*plist), std::vector<std::string>{"Default*"});
}

// Bad packages are refused with 1 (a missing one with 4) and leave the
// user directory and everything outside it as they were.
TEST_F(DbProfileListEditTest, BadPackagesChangeNothing) {
  auto plist = Loaded();
  ASSERT_EQ(plist->Create("Mine", nullptr, nullptr, false, false, true), DB_STS_SUCCESS);
  const auto mapBefore = Tree(m_strUser);
  const std::string strGood = Item("file", "16", "3", "a.txt");
  const struct {
    const char* szCase;
    std::string strPackage;
    const char* szLog;
  } acase[] = {
      {"26 bytes", std::string("*PROFILEPACKAGE*") + std::string(10, 'x'), "File is too small to be a profile package..."},
      {"27 bytes without footer", std::string("*PROFILEPACKAGE*") + std::string(11, 'x'), "No footer in profile package..."},
      {"wrong magic", "*PROFILEPACKAGX*abc<packagelist>\n" + strGood + "</packagelist>\n", "Not a profile package..."},
      {"footer not XML", "*PROFILEPACKAGE*abc<packagelist><packageitem><type>file", "Failed to load the footer..."},
      {"../evil", Package("abc", Item("file", "16", "3", "../evil")), "Package path leaves the import directory...<../evil>"},
      {"/etc/x", Package("abc", Item("file", "16", "3", "/etc/x")), "Package path leaves the import directory...</etc/x>"},
      {"a/../../b", Package("abc", Item("file", "16", "3", "a/../../b")), "Package path leaves the import directory..."},
      {"empty path", Package("abc", Item("file", "16", "3", "")), "Package path leaves the import directory...<>"},
      {"file then directory", Package("abc", strGood + Item("directory", "", "", "a.txt")), "Package path given twice..."},
      {"duplicate", Package("abc", strGood + strGood), "Package path given twice...<a.txt>"},
      {"offset -1", Package("abc", Item("file", "-1", "3", "a.txt")), "Package item outside the package..."},
      {"offset 1e9", Package("abc", Item("file", "1e9", "3", "a.txt")), "Package item outside the package..."},
      {"offset overflow", Package("abc", Item("file", "99999999999999999999", "3", "a.txt")),
       "Package item outside the package..."},
      {"bytes past the end", Package("abc", Item("file", "16", "4", "a.txt")), "Package item outside the package..."},
      {"offset in the cookie", Package("abc", Item("file", "2", "3", "a.txt")), "Package item outside the package..."},
      {"directory below a file", Package("abc", strGood + Item("file", "16", "1", "a.txt/b")), "Open failed..."},
  };
  const std::string strPackage = testsupport::RootPath("bad.pkg");
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szCase);
    testsupport::WriteFile(strPackage, c.strPackage);
    EXPECT_EQ(plist->Import(strPackage.c_str(), false), DB_STS_FAIL);
    EXPECT_TRUE(m_plog->Contains(c.szLog));
    EXPECT_EQ(Tree(m_strUser), mapBefore);
    EXPECT_FALSE(std::filesystem::exists(m_strUser + ".import"));
    EXPECT_FALSE(std::filesystem::exists(testsupport::RootPath("evil")));
  }
  EXPECT_EQ(plist->Import(testsupport::RootPath("none.pkg").c_str(), false), DB_STS_BADVALUE);
  EXPECT_TRUE(m_plog->Contains("Import failed, file not found..."));
  EXPECT_EQ(Names(*plist), (std::vector<std::string>{"Default", "Mine*"}));
}

// A second import while one holds the lock answers at once; a user
// directory left under its backup name by a kill is moved back.
TEST_F(DbProfileListEditTest, ImportLockAndBackupRecovery) {
  auto plist = Loaded();
  const std::string strPackage = testsupport::RootPath("p.pkg");
  ASSERT_EQ(plist->Export(strPackage.c_str()), DB_STS_SUCCESS);
  const int iFd = open((m_strUser + ".lock").c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(iFd, 0);
  ASSERT_EQ(flock(iFd, LOCK_EX), 0);
  EXPECT_EQ(plist->Import(strPackage.c_str(), false), DB_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Import in progress..."));
  close(iFd);
  testsupport::WriteFile(m_strUser + "/keep.txt", "keep");
  std::filesystem::rename(m_strUser, m_strUser + ".backup");
  testsupport::WriteFile(strPackage, "short");
  EXPECT_EQ(plist->Import(strPackage.c_str(), false), DB_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("profile directory moved back from its backup..."));
  EXPECT_EQ(testsupport::ReadFile(m_strUser + "/keep.txt"), "keep");
}

}  // namespace

namespace {

// A child importing two packages in turn is killed at random moments: the
// next Load finds the user directory holding one set or the other, whole.
TEST_F(DbProfileListEditTest, AKillMidImportLeavesOneWholeSet) {
  const std::string strA = testsupport::RootPath("a.pkg");
  const std::string strB = testsupport::RootPath("b.pkg");
  testsupport::WriteFile(strA, Package("one1two2", Item("file", "16", "4", "one") + Item("file", "20", "4", "two")));
  testsupport::WriteFile(strB, Package("3333", Item("directory", "", "", "graphics") + Item("file", "16", "4", "graphics/three")));
  const std::map<std::string, std::string> mapA{{"one", "one1"}, {"two", "two2"}};
  const std::map<std::string, std::string> mapB{{"graphics", "/"}, {"graphics/three", "3333"}};
  std::mt19937 mt(104);
  for (int iRound = 0; iRound < 20; ++iRound) {
    int aiPipe[2];
    ASSERT_EQ(pipe(aiPipe), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      auto plist = std::make_unique<CDbProfileListImpl>(m_pdatabase.get(), 64);
      if (plist->Load(false) != DB_STS_SUCCESS) _exit(2);
      if (write(aiPipe[1], "r", 1) != 1) _exit(5);
      for (int i = 0;; ++i)
        if (plist->Import((i % 2 ? strB : strA).c_str(), true) != DB_STS_SUCCESS) _exit(3);
    }
    char c = 0;
    ASSERT_EQ(read(aiPipe[0], &c, 1), 1);
    close(aiPipe[0]);
    close(aiPipe[1]);
    usleep(std::uniform_int_distribution<int>(0, 20000)(mt));
    kill(pid, SIGKILL);
    int iStatus = -1;
    ASSERT_EQ(waitpid(pid, &iStatus, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(iStatus)) << "the child stopped on its own: " << iStatus;
    CDbProfileListImpl list(m_pdatabase.get(), 64);
    ASSERT_EQ(list.Load(true), DB_STS_SUCCESS);
    ASSERT_TRUE(std::filesystem::is_directory(m_strUser));
    const auto map = Tree(m_strUser);
    EXPECT_TRUE(map == mapA || map == mapB || map.empty()) << iRound;
  }
}

}  // namespace
