// INI profiles of earlier drivers: converted in place when a profile loads
// (the INI text kept as ".bck"), into the own directory once for a sibling
// model's profile, and from a caller's INI document when one is applied.
// The documents are judged by xmllint and by tests/tools/ini_fixtures.py,
// which writes the fixtures with configparser and holds the expected
// values; bad input fails with a status and a log line, and leaves the
// source and its directory as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "db_cdbprofileitem.h"
#include "db_profile_opened_fixture.h"
#include "db_profileinimaps.h"
#include "db_profileinitext.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "test_support.h"

namespace {

using dbtest::DbProfileOpenedFixture;

const std::string s_strTools = std::string(SCANDRV_TEST_DATA) + "/../tools/";
const std::string s_strSourceRoot = std::string(SCANDRV_TEST_DATA) + "/../..";
const std::string s_strFixtures = s_strTools + "ini_fixtures.py";

class DbProfileIniTest : public DbProfileOpenedFixture {
 protected:
  void TearDown() override {
    dbprofileini::SetReadSeam(nullptr);
    DbProfileOpenedFixture::TearDown();
  }

  static std::vector<std::string> Entries(const std::string& a_str) {
    std::vector<std::string> vec;
    for (const auto& entry : std::filesystem::directory_iterator(a_str)) vec.push_back(entry.path().filename());
    std::sort(vec.begin(), vec.end());
    return vec;
  }

  EOSSTS LoadInPlace(const std::string& a_strPath) { return NewItem(a_strPath)->Load(false, true, true, false); }

  long Contrast() {
    return m_pdatabase->FindInWindowBin(0, DB_BIN_BITONAL_FRONT, DB_ID_CONTRAST)->GetCurrentLongNoCallback();
  }

  // A profile path holds its INI text untouched, or a whole document with
  // the INI text in ".bck".
  static void ExpectIniOrConverted(const std::string& a_strPath, const std::string& a_strIni) {
    const std::string str = testsupport::ReadFile(a_strPath);
    if (str == a_strIni) return;
    EXPECT_EQ(str.rfind("<profile>", 0), 0u) << a_strPath << ": " << str.substr(0, 40);
    EXPECT_EQ(str.size() >= 10 ? str.substr(str.size() - 10) : str, "</profile>") << a_strPath;
    EXPECT_EQ(testsupport::ReadFile(a_strPath + ".bck"), a_strIni) << a_strPath;
  }
};

// Every fixture converts in place and loads; its document passes xmllint
// and holds the values the fixture expects, row by row; ".bck" holds the
// INI bytes.
TEST_F(DbProfileIniTest, FixturesConvertInPlaceWithTheirValues) {
  int iStatus = -1;
  testsupport::RunProgram({SCANDRV_PYTHON, s_strFixtures, "write", m_strOwn}, &iStatus);
  ASSERT_EQ(iStatus, 0);
  for (const char* szName : {"pairs", "other", "plain", "unnamed"}) {
    const std::string strPath = m_strOwn + "/" + szName + ".profile";
    const std::string strIni = testsupport::ReadFile(strPath);
    std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem(strPath);
    ASSERT_EQ(pdbprofileitem->Load(false, true, true, false), OS_STS_SUCCESS) << szName << m_plog->Text();
    EXPECT_EQ(testsupport::ReadFile(strPath + ".bck"), strIni) << szName;
    EXPECT_TRUE(XmllintReads(strPath)) << szName;
  }
  const std::string strOut = testsupport::RunProgram({SCANDRV_PYTHON, s_strFixtures, "check", m_strOwn}, &iStatus);
  EXPECT_EQ(iStatus, 0) << strOut;
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem(m_strOwn + "/pairs.profile");
  ASSERT_EQ(pdbprofileitem->Load(false, true, false, false), OS_STS_SUCCESS);
  EXPECT_STREQ(pdbprofileitem->GetName(), "Pairs & co");
  EXPECT_TRUE(pdbprofileitem->IsProfileReadonly());
  // Loaded again, an already converted file is read as it is.
  EXPECT_EQ(LoadInPlace(m_strOwn + "/pairs.profile"), OS_STS_SUCCESS);
  EXPECT_EQ(Entries(m_strOwn), (std::vector<std::string>{"other.profile", "other.profile.bck", "pairs.profile",
                                                         "pairs.profile.bck", "plain.profile", "plain.profile.bck",
                                                         "unnamed.profile", "unnamed.profile.bck"}));
}

// A caller's INI document is converted beside the own directory, applied,
// and every file the conversion made is gone afterwards.
TEST_F(DbProfileIniTest, AnIniDocumentIsApplied) {
  const std::string strLog = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY);
  std::filesystem::create_directories(strLog);
  const std::string strPath = testsupport::RootPath("given.ini");
  const std::string strIni = "[Header]\nl_en_usa=Given\n[ICAP_CONTRAST]\nv0=9\nv1=9\n";
  testsupport::WriteFile(strPath, strIni);
  const std::vector<std::string> vecLog = Entries(strLog);
  const std::vector<std::string> vecOwn = Entries(m_strOwn);
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem();
  pdbprofileitem->SetProfileInstalled();
  ASSERT_EQ(pdbprofileitem->SetCurrent(nullptr, "profileall", strPath.c_str(), static_cast<uint32_t>(strIni.size()),
                                       false),
            OS_STS_SUCCESS)
      << m_plog->Text();
  EXPECT_EQ(Contrast(), 9);
  EXPECT_EQ(Entries(strLog), vecLog);
  EXPECT_EQ(Entries(m_strOwn), vecOwn);
  EXPECT_EQ(testsupport::ReadFile(strPath), strIni);
}

// Bad input: each case fails with 1 and its log line (the source and its
// directory as they were), or converts to a document xmllint reads.
TEST_F(DbProfileIniTest, BadInputFailsCleanlyOrConverts) {
  // Far more than the reader takes from one file.
  std::string strLarge = "[Header]\nl_en_usa=Large\n";
  for (int i = 0; i < 4000; ++i) strLarge += "[S" + std::to_string(i) + "]\nv0=" + std::string(40, 's') + "\n";
  std::string strLong300 = "[Header]\nl_en_usa=Long\n";
  for (int i = 0; i < 300; ++i) strLong300 += "[ICAP_CONTRAST]\nv" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  const struct {
    const char* szWhat;
    std::string strText;
    bool blConverts;
    const char* szLog;
  } acase[] = {
      {"a value too long for its field", "[Header]\nl_en_usa=L\n[ICAP_ECDO]\nv0=" + std::string(300, 'e') + "\n",
       false, "INI value too long..."},
      {"a name too long for its field", "[Header]\nl_en_usa=" + std::string(200, 'n') + "\n", false,
       "INI value too long..."},
      {"\"]]>\" in the name", "[Header]\nl_en_usa=a]]>b\n", false, "INI profile cannot be converted..."},
      {"a control character", "[Header]\nl_en_usa=Ctl\n[CAP_ENERGYSTAR]\nv0=a\x01z\n", false,
       "INI profile cannot be converted..."},
      {"a file of 200 KiB", strLarge, false, "INI profile too large..."},
      {"a byte-order mark", "\xEF\xBB\xBF[Header]\nl_en_usa=Bom\n", true, "profile: converted..."},
      {"binary bytes", std::string("\x01\x02\x03\x04\x00\xff\x7f\x80garbage", 16) + "\n", true,
       "profile: converted..."},
      {"duplicate sections", "[Header]\nl_en_usa=Dup\n[ICAP_CONTRAST]\nv0=3\n[ICAP_CONTRAST]\nv0=4\n", true,
       "profile: converted..."},
      {"\";\" lines holding \"=\"", "[Header]\nl_en_usa=Semi\n[ICAP_CONTRAST]\n;c=1\nv0=5\n", true,
       "profile: converted..."},
      {"a section of 300 lines", strLong300, true, "profile: converted..."},
      {"broken lines", "[Header\nl_en_usa\n=x\n[ICAP_CONTRAST\nv0=3\n[]\n=\n", true, "profile: converted..."},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    const std::string strPath = m_strOwn + "/bad.profile";
    std::filesystem::remove(strPath + ".bck");
    testsupport::WriteFile(strPath, c.strText);
    const std::vector<std::string> vecBefore = Entries(m_strOwn);
    const size_t sizetLog = m_plog->Text().size();
    EXPECT_EQ(LoadInPlace(strPath), c.blConverts ? OS_STS_SUCCESS : OS_STS_FAIL);
    EXPECT_NE(m_plog->Text().find(c.szLog, sizetLog), std::string::npos) << m_plog->Text().substr(sizetLog);
    if (c.blConverts) {
      EXPECT_TRUE(XmllintReads(strPath));
      EXPECT_EQ(testsupport::ReadFile(strPath + ".bck"), c.strText);
    } else {
      EXPECT_EQ(testsupport::ReadFile(strPath), c.strText);
      EXPECT_EQ(Entries(m_strOwn), vecBefore);
    }
  }
  // A 15-byte file is no profile at all.
  testsupport::WriteFile(m_strOwn + "/short.profile", "[Header]\nid=ab\n");
  EXPECT_EQ(LoadInPlace(m_strOwn + "/short.profile"), OS_STS_FAIL);
  EXPECT_FALSE(testsupport::FileExists(m_strOwn + "/short.profile.bck"));
}

// The file vanishes, or is replaced, in the middle of its conversion: 1,
// and nothing of the attempt is left.
TEST_F(DbProfileIniTest, AFileThatVanishesMidReadFails) {
  const std::string strIni = "[Header]\nl_en_usa=Gone\n[ICAP_CONTRAST]\nv0=3\n";
  for (bool blReplace : {false, true}) {
    SCOPED_TRACE(blReplace ? "replaced" : "removed");
    const std::string strPath = m_strOwn + "/gone.profile";
    testsupport::WriteFile(strPath, strIni);
    dbprofileini::SetReadSeam(blReplace ? +[](const char* a_sz) {
      const std::string strNew = std::string(a_sz) + ".new";
      testsupport::WriteFile(strNew, "[Header]\nl_en_usa=Other one\n");
      std::filesystem::rename(strNew, a_sz);
    }
                                        : +[](const char* a_sz) { std::filesystem::remove(a_sz); });
    EXPECT_EQ(LoadInPlace(strPath), OS_STS_FAIL);
    EXPECT_TRUE(m_plog->Contains("profile changed while converting...<" + strPath + ">"));
    EXPECT_EQ(Entries(m_strOwn), blReplace ? std::vector<std::string>{"gone.profile"} : std::vector<std::string>{});
    if (blReplace) {
      EXPECT_EQ(testsupport::ReadFile(strPath), "[Header]\nl_en_usa=Other one\n");
    }
  }
}

// Places that cannot be written: the document is not written, 1 is
// answered, and the source stays.
TEST_F(DbProfileIniTest, UnwritablePlacesFail) {
  const std::string strIni = "[Header]\nl_en_usa=Sibling\n[ICAP_CONTRAST]\nv0=3\n";
  const std::string strSibling = testsupport::RootPath("sibling");
  std::filesystem::create_directories(strSibling);
  testsupport::WriteFile(strSibling + "/s.profile", strIni);
  // The target is a directory.
  std::filesystem::create_directories(m_strOwn + "/s.profile");
  EXPECT_EQ(NewItem(strSibling + "/s.profile")->Load(false, true, true, true), OS_STS_FAIL);
  EXPECT_TRUE(std::filesystem::is_directory(m_strOwn + "/s.profile"));
  EXPECT_EQ(Entries(m_strOwn), std::vector<std::string>{"s.profile"});
  EXPECT_EQ(testsupport::ReadFile(strSibling + "/s.profile"), strIni);
  // An own directory that does not exist.
  const std::string strMissing = testsupport::RootPath("missing");
  CDbProfileItem dbprofileitem((strSibling + "/s.profile").c_str(), nullptr, m_strInstalled.c_str(),
                               m_strInstalled.c_str(), strMissing.c_str(), strMissing.c_str(), m_pdatabase.get(),
                               m_posxmltask.get());
  EXPECT_EQ(dbprofileitem.Load(false, true, true, true), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("ConvertIni2Xml failed...<" + strMissing + "/s.profile>"));
  EXPECT_FALSE(std::filesystem::exists(strMissing));
  EXPECT_EQ(Entries(strSibling), std::vector<std::string>{"s.profile"});
  // A directory that cannot be written (root writes anywhere).
  if (geteuid() == 0) return;
  std::filesystem::remove(m_strOwn + "/s.profile");
  testsupport::WriteFile(m_strOwn + "/ro.profile", strIni);
  std::filesystem::permissions(m_strOwn, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_EQ(LoadInPlace(m_strOwn + "/ro.profile"), OS_STS_FAIL);
  std::filesystem::permissions(m_strOwn, std::filesystem::perms::owner_all);
  EXPECT_EQ(Entries(m_strOwn), std::vector<std::string>{"ro.profile"});
  EXPECT_EQ(testsupport::ReadFile(m_strOwn + "/ro.profile"), strIni);
}

// A sibling model's profile is written into the own directory once: the
// second conversion finds the source's time on the target and keeps it.
TEST_F(DbProfileIniTest, ASiblingProfileIsConvertedOnce) {
  const std::string strSibling = testsupport::RootPath("sibling");
  std::filesystem::create_directories(strSibling);
  const std::string strIni = "[Header]\nl_en_usa=Sibling\n[ICAP_CONTRAST]\nv0=3\n";
  testsupport::WriteFile(strSibling + "/s.profile", strIni);
  ASSERT_EQ(NewItem(strSibling + "/s.profile")->Load(false, true, true, true), OS_STS_SUCCESS);
  struct stat stFirst {}, stSecond {};
  ASSERT_EQ(stat((m_strOwn + "/s.profile").c_str(), &stFirst), 0);
  EXPECT_TRUE(XmllintReads(m_strOwn + "/s.profile"));
  ASSERT_EQ(NewItem(strSibling + "/s.profile")->Load(false, true, true, true), OS_STS_SUCCESS);
  ASSERT_EQ(stat((m_strOwn + "/s.profile").c_str(), &stSecond), 0);
  EXPECT_EQ(stFirst.st_ino, stSecond.st_ino);
  EXPECT_EQ(stFirst.st_mtim.tv_sec, stSecond.st_mtim.tv_sec);
  EXPECT_TRUE(m_plog->Contains("profile: converted before...<" + m_strOwn + "/s.profile>"));
  EXPECT_EQ(testsupport::ReadFile(strSibling + "/s.profile"), strIni);
  EXPECT_EQ(Entries(m_strOwn), std::vector<std::string>{"s.profile"});
}

// A child converting fresh copies in place, killed at random moments: each
// path holds its INI text or a whole document with the INI text beside it.
TEST_F(DbProfileIniTest, AKilledConversionLosesNothing) {
  constexpr int s_iRounds = 20;
  constexpr int s_iFiles = 6;
  std::mt19937 random(4711);
  for (int iRound = 0; iRound < s_iRounds; ++iRound) {
    std::vector<std::string> vecPath, vecIni;
    for (int i = 0; i < s_iFiles; ++i) {
      vecPath.push_back(m_strOwn + "/k" + std::to_string(iRound) + "_" + std::to_string(i) + ".profile");
      vecIni.push_back("[Header]\nl_en_usa=K" + std::to_string(i) + "\n[ICAP_CONTRAST]\nv0=" + std::to_string(i) + "\n");
      testsupport::WriteFile(vecPath.back(), vecIni.back());
    }
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (const std::string& str : vecPath) LoadInPlace(str);
      _exit(0);
    }
    usleep(std::uniform_int_distribution<int>(0, 4000)(random));
    kill(pid, SIGKILL);
    int iStatus = -1;
    ASSERT_EQ(waitpid(pid, &iStatus, 0), pid);
    for (int i = 0; i < s_iFiles; ++i) ExpectIniOrConverted(vecPath[i], vecIni[i]);
  }
  // The next load finishes every conversion and removes what a killed one
  // left behind.
  for (const auto& entry : std::filesystem::directory_iterator(m_strOwn)) {
    const std::string str = entry.path().string();
    if (str.size() > 8 && str.substr(str.size() - 8) == ".profile") {
      EXPECT_EQ(LoadInPlace(str), OS_STS_SUCCESS) << str;
    }
  }
  for (const std::string& str : Entries(m_strOwn))
    EXPECT_TRUE(str.size() > 8 && (str.substr(str.size() - 8) == ".profile" || str.substr(str.size() - 4) == ".bck"))
        << str;
  EXPECT_EQ(Entries(m_strOwn).size(), 2u * s_iRounds * s_iFiles);
}

// Two processes load one directory of INI profiles at once: each file is
// converted once, and every ".bck" holds INI text.
TEST_F(DbProfileIniTest, TwoProcessesConvertEachFileOnce) {
  constexpr int s_iFiles = 30;
  std::vector<std::string> vecPath, vecIni;
  for (int i = 0; i < s_iFiles; ++i) {
    vecPath.push_back(m_strOwn + "/t" + std::to_string(i) + ".profile");
    vecIni.push_back("[Header]\nl_en_usa=T" + std::to_string(i) + "\n[ICAP_CONTRAST]\nv0=4\n");
    testsupport::WriteFile(vecPath.back(), vecIni.back());
  }
  std::vector<pid_t> vecPid;
  for (int iChild = 0; iChild < 2; ++iChild) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int iFailed = 0;
      for (const std::string& str : vecPath) iFailed += LoadInPlace(str) != OS_STS_SUCCESS;
      _exit(iFailed ? 1 : 0);
    }
    vecPid.push_back(pid);
  }
  for (pid_t pid : vecPid) {
    int iStatus = -1;
    ASSERT_EQ(waitpid(pid, &iStatus, 0), pid);
    EXPECT_TRUE(WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0) << iStatus;
  }
  const std::string strLog = m_plog->Text();
  for (int i = 0; i < s_iFiles; ++i) {
    const std::string strLine = "profile: converted...<" + vecPath[i] + ">";
    size_t sizetCount = 0;
    for (size_t sizet = strLog.find(strLine); sizet != std::string::npos; sizet = strLog.find(strLine, sizet + 1))
      ++sizetCount;
    EXPECT_EQ(sizetCount, 1u) << vecPath[i];
    EXPECT_EQ(testsupport::ReadFile(vecPath[i] + ".bck"), vecIni[i]);
    EXPECT_TRUE(XmllintReads(vecPath[i]));
  }
  EXPECT_EQ(Entries(m_strOwn).size(), 2u * s_iFiles);
}

TEST(DbProfileIniMaps, GeneratedMapsAndFamilies) {
  using namespace dbprofileini;
  const struct {
    EINIMAP einimap;
    const char* szIni;
    const char* szLexicon;
  } acase[] = {
      {INIMAP_TWJQ, "#40", "draft"},        {INIMAP_TWJQ, "#45", "45"},          {INIMAP_TWJQ, "#100", "superior"},
      {INIMAP_TWJQ, "#42", "???"},          {INIMAP_RESOLUTION, "#75", "75_dpi"}, {INIMAP_RESOLUTION, "#76", "???"},
      {INIMAP_TWHT, "TWHT_64LEVELDISPERSEDDOT", "64leveldisperseddot"},
      {INIMAP_TWHT, "TWHT_ERRORDIFFUSION_4LEVELBAYERDITHER", "4levelbayerdither"},
      {INIMAP_TWHT, "TWHT_THRESHOLDING", "fixed"}, {INIMAP_TWPN, "TWPN_SMALLCOMIC180", "smallcomic180"},
      {INIMAP_TWPW, "TWPW_FULLIAALLDELIMITERS", "fulliaalldelimiters"}, {INIMAP_TWPW, "TWPW_MESSAGE9", "message9"},
      {INIMAP_TWSS, "TWSS_127X177", "122x177"}, {INIMAP_TWSS, "TWSS_JISB10", "jisb10"},
      {INIMAP_TWSS, "TWSS_USSTATEMENT", "usstatement"}, {INIMAP_TWIM, "TWIM_FRONTONTOP", "frontontop"},
      {INIMAP_TWTP, "TWTP_BOTHSIDE", "bothsides"}, {INIMAP_TWCL, "twcl_high", "???"},     {INIMAP_COUNT, "TWCL_HIGH", "???"},
  };
  for (const auto& c : acase) EXPECT_STREQ(LookupIni(c.einimap, c.szIni), c.szLexicon) << c.szIni;
  // A document that would pass 64 KiB fails whole, never cut.
  IniText initext;
  const std::string strValue(1000, 'v');
  for (int i = 0; i < 70 && !initext.Failed(); ++i) initext.AddValue(strValue.c_str());
  EXPECT_TRUE(initext.Failed());
  EXPECT_EQ(initext.Size(), 65000u);
  const auto Count = [](EINIMAP a_einimap) {
    int i = 0;
    for (const IniPair* p = IniMap(a_einimap); p->szIni; ++p) ++i;
    return i;
  };
  EXPECT_EQ(Count(INIMAP_TWPW), 31);
  EXPECT_EQ(Count(INIMAP_TWSS), 84);
  EXPECT_EQ(Count(INIMAP_TWPN), 16);
  EXPECT_EQ(Count(INIMAP_TWHT), 24);
  EXPECT_EQ(Count(INIMAP_TWJQ), 22);
  const struct {
    const char* szModel;
    const char* szFamily;
  } afamily[] = {{"Birch 5", "birch"}, {"CEDARx", "cedar"}, {"larch20", "larch"}, {"Vorlan 2000", "vorlan_20"},
                 {"Vorlan 3000", "vorlan_30"}, {"v2030", "???"},   {nullptr, "vorlan_30"}, {"", "vorlan_30"}};
  for (const auto& c : afamily) EXPECT_STREQ(FamilyOfModel(c.szModel), c.szFamily) << (c.szModel ? c.szModel : "null");
}

// Every value a map can give is one its capability allows, as the lookup
// source lists them (this found "log" for front-on-top).
TEST(DbProfileIniMaps, MappedValuesAreAllowedValues) {
  std::string strLines;
  dbprofileini::ForEachMappedSetting(
      [](const char* a_szLexicon, int a_iMap, void* a_pv) {
        for (const dbprofileini::IniPair* p = dbprofileini::IniMap(static_cast<dbprofileini::EINIMAP>(a_iMap));
             p->szIni; ++p)
          *static_cast<std::string*>(a_pv) += std::string(a_szLexicon) + "\t" + p->szLexicon + "\n";
      },
      &strLines);
  const std::string strPath = testsupport::RootPath("mapped.txt");
  testsupport::WriteFile(strPath, strLines);
  int iStatus = -1;
  const std::string strOut = testsupport::RunProgram(
      {SCANDRV_PYTHON, s_strTools + "check_ini_maps.py", s_strSourceRoot + "/db/sources/lookup.dbc", strPath}, &iStatus);
  EXPECT_EQ(iStatus, 0) << strOut;
}

}  // namespace
