// The profile list over directories of the test's own: installed profiles,
// the user's (PMX_PROFILESDIR), user copies that hide an installed profile,
// the first selection after a load, name look-ups, the list's report
// (judged by xmllint), files that cannot be loaded, a full list, the
// model's subdirectory, and the directories the list names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
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

class DbProfileListLoadTest : public DbProfileListFixture {
 protected:
  static void Write(const std::string& a_strPath, const std::string& a_strText) {
    testsupport::WriteFile(a_strPath, a_strText);
  }

  std::unique_ptr<CDbProfileListImpl> Loaded() {
    auto p = std::make_unique<CDbProfileListImpl>(m_pdatabase.get(), 64);
    EXPECT_EQ(p->Load(false), DB_STS_SUCCESS);
    return p;
  }

  long Contrast() {
    return m_pdatabase->FindInWindowBin(0, DB_BIN_BITONAL_FRONT, DB_ID_CONTRAST)->GetCurrentLongNoCallback();
  }

  // The visible entries of the list's report (names, the current one
  // starred) and its "suppliedmodified"; the report is checked by xmllint.
  std::pair<std::vector<std::string>, std::string> Report(CDbProfileListImpl& a_list) {
    const char* szReport = a_list.ReportProfileList();
    EXPECT_NE(szReport, nullptr);
    if (!szReport) return {};
    const std::string strReport = szReport;
    a_list.Free();
    const std::string strPath = testsupport::RootPath("report.xml");
    Write(strPath, strReport);
    EXPECT_TRUE(XmllintReads(strPath)) << strReport;
    const std::vector<std::string> vec = Entries(strReport);
    std::smatch match;
    std::regex_search(strReport, match, std::regex("<suppliedmodified>([a-z]+)</suppliedmodified>"));
    return {vec, match.size() > 1 ? match[1].str() : "(none)"};
  }
};

TEST_F(DbProfileListLoadTest, EmptyDirectoriesGiveTheResourceItemAlone) {
  auto plist = Loaded();
  const auto [vec, strModified] = Report(*plist);
  EXPECT_EQ(vec, std::vector<std::string>{"Default*"});
  EXPECT_EQ(strModified, "false");
  EXPECT_EQ(plist->GetCurrentProfile(), plist->GetDatabaseResourceProfile());
  // The directories: installed below the system's model directory, the
  // user's and the shared one from PMX_PROFILESDIR; the current profile's is
  // the installed one until a user profile is selected.
  EXPECT_STREQ(plist->GetInstalledProfileDirectory(), m_strInstalledList.c_str());
  EXPECT_STREQ(plist->GetInstalledProfileGraphicsDirectory(), m_strInstalledList.c_str());
  EXPECT_STREQ(plist->GetUserProfileDirectory(), m_strUser.c_str());
  EXPECT_STREQ(plist->GetSharedProfileDirectory(), m_strUser.c_str());
  EXPECT_EQ(std::string(plist->GetUserProfileGraphicsDirectory()), m_strUser + "/graphics");
  EXPECT_STREQ(plist->GetCurrentProfileDirectory(), m_strInstalledList.c_str());
}

// Here the user's root and the shared root are one directory, so profiles
// the user makes are the ones the list loads.
TEST_F(DbProfileListLoadTest, TheUserRootIsTheSharedRoot) {
  const char* szUser = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_USERROOTDIRECTORY);
  const char* szShared = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_USERROOTDIRECTORYSHARED);
  ASSERT_TRUE(szUser && szShared);
  EXPECT_STREQ(szUser, szShared);
  unsetenv("PMX_PROFILESDIR");
  CDbProfileListImpl list(m_pdatabase.get(), 64);
  EXPECT_STREQ(list.GetUserProfileDirectory(), list.GetSharedProfileDirectory());
}

// A user profile with an installed profile's id hides it: the report shows
// the copy only, and "suppliedmodified". The first selection after the load
// takes no name; by name the copy is found, the hidden entry is not.
TEST_F(DbProfileListLoadTest, AUserCopyHidesTheInstalledProfile) {
  Write(m_strInstalledList + "/office.profile", Profile("Office", "office-1", 11));
  Write(m_strInstalledList + "/scan.profile", Profile("Scan", "scan-1", 12));
  Write(m_strUser + "/mine.profile", Profile("Office mine", "office-1", 13));
  auto plist = Loaded();
  const auto [vec, strModified] = Report(*plist);
  EXPECT_EQ(vec, (std::vector<std::string>{"Default*", "Scan", "Office mine"}));
  EXPECT_EQ(strModified, "true");
  EXPECT_EQ(plist->SetCurrent("Scan"), DB_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("m_blLoadedButNotSet error..."));
  EXPECT_EQ(plist->SetCurrent("Scan"), DB_STS_SUCCESS);
  EXPECT_EQ(Contrast(), 12);
  EXPECT_EQ(plist->SetCurrent("Office"), DB_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("name not found...<Office>"));
  EXPECT_EQ(plist->SetCurrent("Office mine"), DB_STS_SUCCESS);
  EXPECT_EQ(Contrast(), 13);
  EXPECT_STREQ(plist->GetCurrentProfileDirectory(), m_strUser.c_str());
  // Remember and Restore come back to the profile remembered; Reset(false)
  // applies the current one again.
  plist->Remember();
  EXPECT_EQ(plist->SetCurrent("Default"), DB_STS_SUCCESS);
  EXPECT_NE(Contrast(), 13);
  EXPECT_EQ(plist->Restore(), DB_STS_SUCCESS);
  EXPECT_EQ(Contrast(), 13);
  m_pdatabase->SetCurrentLong(m_pdatabase->FindInWindowBin(0, DB_BIN_BITONAL_FRONT, DB_ID_CONTRAST), 20, false);
  EXPECT_TRUE(plist->IsProfileModified());
  EXPECT_EQ(plist->Reset(false), DB_STS_SUCCESS);
  EXPECT_EQ(Contrast(), 13);
  EXPECT_FALSE(plist->IsProfileModified());
  EXPECT_FALSE(m_pdatabase->TestDbState(DB_STATE_LOADING));
}

// A user copy of item 0 is current after the load, and the first selection
// applies it.
TEST_F(DbProfileListLoadTest, AUserCopyOfTheResourceItemIsApplied) {
  std::string strId;
  {
    auto plist = Loaded();
    strId = plist->GetDatabaseResourceProfile()->GetId();
  }
  ASSERT_FALSE(strId.empty());
  Write(m_strUser + "/default.profile", Profile("My default", strId, 17));
  auto plist = Loaded();
  CDbProfileItem* pdbprofileitem = plist->GetCurrentProfile();
  ASSERT_NE(pdbprofileitem, nullptr);
  EXPECT_STREQ(pdbprofileitem->GetName(), "My default");
  EXPECT_TRUE(pdbprofileitem->IsProfileDatabaseResource());
  EXPECT_TRUE(plist->GetDatabaseResourceProfile()->IsProfileHidden());
  EXPECT_EQ(plist->SetCurrent(nullptr), DB_STS_SUCCESS);
  EXPECT_EQ(Contrast(), 17);
}

// Files that cannot be loaded are left out and kept as they were; so is a
// directory named like a profile; an unreadable directory gives no
// profiles; beyond the last slot the rest is left out (logged).
TEST_F(DbProfileListLoadTest, FilesThatCannotBeLoadedAreLeftOutAndKept) {
  const std::string strCut = Profile("Cut", "cut-1", 3).substr(0, 60);
  Write(m_strUser + "/cut.profile", strCut);
  Write(m_strUser + "/good.profile", Profile("Good", "good-1", 4));
  std::filesystem::create_directories(m_strUser + "/x.profile");
  Write(m_strUser + "/notes.txt", "not a profile");
  auto plist = Loaded();
  EXPECT_EQ(Report(*plist).first, (std::vector<std::string>{"Default*", "Good"}));
  EXPECT_TRUE(m_plog->Contains("Load failed...<" + m_strUser + "/cut.profile>"));
  EXPECT_EQ(testsupport::ReadFile(m_strUser + "/cut.profile"), strCut);
  EXPECT_TRUE(std::filesystem::is_directory(m_strUser + "/x.profile"));
  for (int i = 0; i < 300; ++i) {
    char szName[32];
    std::snprintf(szName, sizeof szName, "/p%03d.profile", i);
    Write(m_strUser + szName, Profile("P" + std::to_string(i), "p-" + std::to_string(i), i % 50));
  }
  plist = Loaded();
  std::vector<std::string> vec = Report(*plist).first;
  ASSERT_EQ(vec.size(), 256u);
  EXPECT_EQ(vec[1], "Good");
  EXPECT_EQ(vec[2], "P0");
  EXPECT_EQ(vec[255], "P253");
  EXPECT_TRUE(m_plog->Contains("no free slot, profile left out...<" + m_strUser + "/p254.profile>"));
  std::filesystem::permissions(m_strUser, std::filesystem::perms::none);
  const bool blReadable = std::filesystem::exists(m_strUser + "/good.profile");  // as root it stays readable
  plist = Loaded();
  if (!blReadable) {
    EXPECT_EQ(Report(*plist).first, std::vector<std::string>{"Default*"});
  }
  std::filesystem::permissions(m_strUser, std::filesystem::perms::owner_all);
}

// PMX_PROFILESDIR holding a subdirectory of the model's rows: the first row
// that exists is the user's and the shared directory (larchD is tried
// before larchC); a value of 600 characters, or one naming a file, is kept
// as the directory it names (no profile is found there).
TEST_F(DbProfileListLoadTest, TheModelsSubdirectoryOfTheProfilesDirectory) {
  Configure(OS_CFGTAG_MODELDIRECTORY, "PMX_LARCH");
  std::filesystem::create_directories(m_strUser + "/larchC");
  std::filesystem::create_directories(m_strUser + "/larchA");
  Write(m_strUser + "/larchC/larch.profile", Profile("Larch", "larch-1", 5));
  auto plist = Loaded();
  EXPECT_EQ(std::string(plist->GetUserProfileDirectory()), m_strUser + "/larchC");
  EXPECT_EQ(std::string(plist->GetSharedProfileDirectory()), m_strUser + "/larchC");
  EXPECT_EQ(Report(*plist).first, (std::vector<std::string>{"Default*", "Larch"}));
  setenv("PMX_PROFILESDIR", (m_strUser + "/larchC/larch.profile").c_str(), 1);
  plist = Loaded();
  EXPECT_EQ(Report(*plist).first, std::vector<std::string>{"Default*"});
  setenv("PMX_PROFILESDIR", std::string(600, 'p').c_str(), 1);
  plist = Loaded();
  EXPECT_EQ(Report(*plist).first, std::vector<std::string>{"Default*"});
}

// Applying a group document through the current profile, and the range fix
// of the physical height after a selection.
TEST_F(DbProfileListLoadTest, AGroupDocumentIsAppliedThroughTheCurrentProfile) {
  auto plist = Loaded();
  ASSERT_EQ(plist->SetCurrent(nullptr), DB_STS_SUCCESS);
  const std::string strPath = testsupport::RootPath("group.profile");
  Write(strPath, Profile("Group", "group-1", 33));
  EXPECT_EQ(plist->SetCurrent("profileall", strPath.c_str(), static_cast<unsigned>(Profile("Group", "group-1", 33).size())),
            DB_STS_SUCCESS);
  EXPECT_EQ(Contrast(), 33);
  EXPECT_EQ(plist->SetCurrent("profileall", (strPath + ".missing").c_str(), 100), DB_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("SetCurrent failed..."));
  EXPECT_EQ(Contrast(), 33);
  plist->Dump();
  EXPECT_TRUE(m_plog->Contains("dmp>>> *** BEGIN PROFILELIST ***"));
  EXPECT_TRUE(m_plog->Contains("dmp>>> #0"));
}

// Two processes load the user directory while a third keeps saving its
// profiles into it (each save replaces the file whole): every load finds
// every profile, none half-written or missing.
TEST_F(DbProfileListLoadTest, LoadsWhileAnotherProcessSaves) {
  constexpr int s_iProfiles = 5;
  constexpr int s_iLoads = 40;
  std::vector<std::unique_ptr<CDbProfileItem>> vecItem;
  for (int i = 0; i < s_iProfiles; ++i) {
    const std::string strPath = m_strUser + "/saved" + std::to_string(i) + ".profile";
    Write(strPath, Profile("Saved " + std::to_string(i), "saved-" + std::to_string(i), i));
    vecItem.push_back(std::make_unique<CDbProfileItem>(strPath.c_str(), nullptr, m_strInstalledList.c_str(),
                                                      m_strInstalledList.c_str(), m_strUser.c_str(), "",
                                                      m_pdatabase.get(), m_posxmltask.get()));
    ASSERT_EQ(vecItem.back()->Load(false, true, false, false), OS_STS_SUCCESS);
    vecItem.back()->SetProfileUser();
  }
  const pid_t pidSaver = fork();
  ASSERT_GE(pidSaver, 0);
  if (pidSaver == 0) {
    for (;;) {
      for (auto& pdbprofileitem : vecItem)
        if (pdbprofileitem->Save(nullptr) != OS_STS_SUCCESS) _exit(3);
    }
  }
  std::vector<pid_t> vecLoader;
  for (int iLoader = 0; iLoader < 2; ++iLoader) {
    const pid_t pid = fork();
    if (pid == 0) {
      for (int i = 0; i < s_iLoads; ++i) {
        CDbProfileListImpl list(m_pdatabase.get(), 64);
        if (list.Load(true) != DB_STS_SUCCESS) _exit(2);
        const char* szReport = list.ReportProfileList();
        if (!szReport) _exit(4);
        const std::string strReport = szReport;
        for (int iProfile = 0; iProfile < s_iProfiles; ++iProfile)
          if (strReport.find("Saved " + std::to_string(iProfile)) == std::string::npos) _exit(5);
      }
      _exit(0);
    }
    vecLoader.push_back(pid);
  }
  for (pid_t pid : vecLoader) {
    int iStatus = -1;
    ASSERT_EQ(waitpid(pid, &iStatus, 0), pid);
    EXPECT_TRUE(WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0) << iStatus;
  }
  kill(pidSaver, SIGKILL);
  int iStatus = -1;
  waitpid(pidSaver, &iStatus, 0);
  EXPECT_TRUE(WIFSIGNALED(iStatus)) << "the saver stopped on its own: " << iStatus;
}

}  // namespace
