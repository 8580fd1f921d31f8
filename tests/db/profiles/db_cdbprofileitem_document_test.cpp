// The profile document on an opened scanner's database: what each group
// holds, the shared values a profile leaves to "profile.share", texts that
// need CDATA or cannot be written, a saved profile read back, its picture,
// and the files Load refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "db_cdbenum.h"
#include "db_cdblookup.h"
#include "db_profile_opened_fixture.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "test_support.h"

namespace {

using dbtest::DbProfileOpenedFixture;
using Pairs = std::vector<std::pair<std::string, std::string>>;

class DbProfileDocumentTest : public DbProfileOpenedFixture {
 protected:
  uint64_t Group(const std::string& a_strLexicon) {
    const DbLookup2* pdblookup2 = m_pdatabase->LookupLexicon(a_strLexicon.c_str());
    EXPECT_NE(pdblookup2, nullptr) << a_strLexicon;
    return pdblookup2 ? pdblookup2->lTwainGroup : 0;
  }

  static std::vector<std::string> Names(const Pairs& a_vec) {
    std::vector<std::string> vec;
    for (const auto& pair : a_vec) vec.push_back(pair.first);
    return vec;
  }

  // A profile file below the own directory, its item loaded as a user profile.
  std::unique_ptr<CDbProfileItem> LoadUser(const std::string& a_strName, const std::string& a_strText,
                                           EOSSTS a_eosstsExpected = OS_STS_SUCCESS) {
    const std::string strPath = m_strOwn + "/" + a_strName;
    testsupport::WriteFile(strPath, a_strText);
    std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem(strPath);
    EXPECT_EQ(pdbprofileitem->Load(false, true, false, false), a_eosstsExpected) << a_strName;
    pdbprofileitem->SetProfileUser();
    return pdbprofileitem;
  }
};

// Each group holds the capabilities its mask names, under the header it
// calls for; profileall is the two partial groups together; a name the
// library does not know is written as profileall, under its own name.
TEST_F(DbProfileDocumentTest, GroupsHoldTheCapabilitiesOfTheirMasks) {
  // mapleB's feeder has no printer, image address, batch or patch: two such
  // capabilities are offered here.
  for (EDBID edbid : {DB_ID_ALARMVOLUME, DB_ID_BATCHCOUNT}) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, edbid);
    ASSERT_NE(pdbdatum, nullptr);
    pdbdatum->SetAccess(DB_ACCESS_READWRITE);
  }
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem();
  const char* szFamily = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY);
  const std::vector<std::string> vecLong = {"id",       "driverversion", "family",    "group",
                                            "readonly", "hidden",        "profileid", "graphicfilename"};
  const std::vector<std::string> vecShort = {"id", "driverversion", "family", "group", "profileid"};
  const struct {
    const char* szGroup;
    uint64_t u64Within;   // every capability has a bit of these
    uint64_t u64Without;  // and none of these
    const std::vector<std::string>& vecHeader;
  } acase[] = {{"profileall", 0x21ffff, 0, vecLong},
               {"profileiaprinter", 0x36, 0, vecShort},
               {"profilenoiaprinter", 0x21ffc9, 0x36, vecShort},
               {"profileblob", 0x21ffff, 0, vecLong}};
  std::set<std::string> setPartial;
  std::vector<std::string> vecAll;
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szGroup);
    const std::string strDocument = Document(*pdbprofileitem, c.szGroup);
    ASSERT_FALSE(strDocument.empty()) << m_plog->Text();
    const Pairs header = Children(strDocument, "header");
    EXPECT_EQ(Names(header), c.vecHeader);
    const std::string strId = Text(header, "id");
    ASSERT_EQ(strId.size(), std::strlen(c.szGroup) + 18) << strId;
    EXPECT_EQ(strId.substr(0, strId.size() - 17), std::string(c.szGroup) + "-");
    EXPECT_EQ(Text(header, "profileid"), strId.substr(strId.size() - 17));
    EXPECT_EQ(Text(header, "driverversion"), "01000000");
    EXPECT_EQ(Text(header, "family"), szFamily);
    EXPECT_EQ(Text(header, "group"), c.szGroup);
    const std::vector<std::string> vecCapabilities = Capabilities(strDocument);
    EXPECT_FALSE(vecCapabilities.empty());
    for (const std::string& str : vecCapabilities) {
      EXPECT_NE(Group(str) & c.u64Within, 0u) << str;
      EXPECT_EQ(Group(str) & c.u64Without, 0u) << str;
    }
    if (std::strcmp(c.szGroup, "profileall") == 0) vecAll = vecCapabilities;
    if (std::strcmp(c.szGroup, "profileblob") == 0) {
      EXPECT_EQ(vecCapabilities, vecAll);
    }
    if (c.vecHeader == vecShort) setPartial.insert(vecCapabilities.begin(), vecCapabilities.end());
  }
  EXPECT_EQ(setPartial, std::set<std::string>(vecAll.begin(), vecAll.end()));
  EXPECT_EQ(Capabilities(Document(*pdbprofileitem, "profileiaprinter")),
            (std::vector<std::string>{"alarmvolume", "batchcount"}));
  EXPECT_TRUE(m_plog->Contains("unrecognized group...<profileblob>"));
  EXPECT_FALSE(m_plog->Contains("unrecognized group...<profileall>"));
  // The shared document holds its fixed name and, at the defaults, no value.
  const std::string strShare = Document(*pdbprofileitem, "profileshare");
  EXPECT_EQ(Names(Children(strShare, "header")), vecShort);
  EXPECT_EQ(Text(Children(strShare, "header"), "id"), "-*- profile share -*-");
  EXPECT_TRUE(Children(strShare, "database").empty()) << strShare;
}

// While a switch is off (1) its values belong to "profile.share"; the feeder
// time-out is every profile's own. Switched on (2), the profile holds them.
TEST_F(DbProfileDocumentTest, SharedValuesAreLeftOutWhileTheirSwitchIsOff) {
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem();
  const std::vector<std::string> vecFeeder = {"adftimeoutenabled", "adfautostart", "adftimeoutresponse"};
  const std::vector<std::string> vecPower = {"lowpowermodetimeout", "powerofftimeout", "powerofftimeoutenabled"};
  const auto Holds = [&](const std::string& a_str) {
    const std::vector<std::string> vec = Capabilities(Document(*pdbprofileitem, "profilenormalsave"));
    return std::find(vec.begin(), vec.end(), a_str) != vec.end();
  };
  ASSERT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_ADFUNIQUE), DB_ID_ADFUNIQUE_ENUM_FALSE);
  EXPECT_TRUE(Holds("adftimeout"));
  for (const std::string& str : vecFeeder) EXPECT_FALSE(Holds(str)) << str;
  for (const std::string& str : vecPower) EXPECT_FALSE(Holds(str)) << str;
  Put(DB_ID_ADFUNIQUE, DB_BIN_MACHINE, DB_ID_ADFUNIQUE_ENUM_TRUE);
  Put(DB_ID_LOWPOWERMODEUNIQUE, DB_BIN_MACHINE, DB_ID_LOWPOWERMODEUNIQUE_ENUM_TRUE);
  for (const std::vector<std::string>& vec : {vecFeeder, vecPower}) {
    for (const std::string& str : vec) {
      const DbLookup2* pdblookup2 = m_pdatabase->LookupLexicon(str.c_str());
      ASSERT_NE(pdblookup2, nullptr);
      CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, pdblookup2->edbid);
      const bool blWritten =
          pdbdatum && pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED && pdbdatum->GetAccess() != DB_ACCESS_READONLY;
      EXPECT_EQ(Holds(str), blWritten) << str;
    }
  }
}

// Texts holding markup characters go into CDATA and come back as they
// were; a value holding "]]>" fails the document, and a save then leaves the
// file as it was; a value without a name is left out.
TEST_F(DbProfileDocumentTest, TextsAreWrittenSoThatTheyReadBack) {
  Configure(OS_CFGTAG_MODELDIRECTORY, "a&b>c");
  const std::string strPath = m_strOwn + "/mine.profile";
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem(strPath);
  pdbprofileitem->SetProfileUser();
  pdbprofileitem->SetName("Mine & <yours>");
  pdbprofileitem->SetId("id&1");
  ASSERT_EQ(pdbprofileitem->Save(nullptr), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_TRUE(XmllintReads(strPath));
  const std::string strSaved = testsupport::ReadFile(strPath);
  const Pairs header = Children(strSaved, "header");
  EXPECT_EQ(Text(header, "id"), "Mine & <yours>");
  EXPECT_EQ(Text(header, "family"), "a&b>c");
  EXPECT_EQ(Text(header, "profileid"), "id&1");
  EXPECT_NE(strSaved.find("\t\t<driverversion>01000000</driverversion>\n"), std::string::npos);

  CDbDatum* pdbdatumSound = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_MULTIFEEDSOUND);
  ASSERT_NE(pdbdatumSound, nullptr);
  ASSERT_EQ(pdbdatumSound->GetAccess(), DB_ACCESS_DISABLED);  // written all the same
  pdbdatumSound->CopyCurrentString("/sounds/a]]>b.wav");
  EXPECT_EQ(pdbprofileitem->Save(nullptr), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("a text holds ']]>', it cannot be written...<m>"));
  EXPECT_TRUE(m_plog->Contains("Generate failed..."));
  EXPECT_EQ(testsupport::ReadFile(strPath), strSaved);
  // The stored path's file name alone.
  pdbdatumSound->CopyCurrentString("/usr/share/sounds/ding <&> dong.wav");
  ASSERT_EQ(pdbprofileitem->Save(nullptr), OS_STS_SUCCESS);
  EXPECT_NE(testsupport::ReadFile(strPath).find("<m><![CDATA[ding <&> dong.wav]]></m>"), std::string::npos);

  // A value the lookup has no name for is left out, with a line.
  ASSERT_NE(Put(DB_ID_MEDIATYPE, DB_BIN_BITONAL_FRONT, 77), nullptr);
  const std::string strDocument = Document(*pdbprofileitem, "profileall");
  ASSERT_FALSE(strDocument.empty());
  const size_t sizetAt = strDocument.find("<d i='mediatype'>\n\t\t\t<rb00>");
  EXPECT_NE(sizetAt, std::string::npos) << strDocument;
  EXPECT_TRUE(m_plog->Contains("Generate: value without a name, left out...148 2 77"));
}

// Lists are "enum" elements of "v": the window tags' in place of a machine
// value, the barcode types' in each camera's element. Each window in use
// has its cameras' elements, after window 0's.
TEST_F(DbProfileDocumentTest, ListsAndWindowsHaveElementsOfTheirOwn) {
  auto* pdbenumBarcode =
      dynamic_cast<CDbEnum*>(m_pdatabase->FindInWindowBin(0, DB_BIN_BITONAL_FRONT, DB_ID_BARCODETYPE));
  ASSERT_NE(pdbenumBarcode, nullptr);
  pdbenumBarcode->SetAccess(DB_ACCESS_READWRITE);
  pdbenumBarcode->DeleteAllCurrentItems();
  std::string strValues;
  for (long lValue : {2, 1}) {
    pdbenumBarcode->AddCurrentItem(lValue);
    const DbLookupEnum* pdblookupenum = m_pdatabase->LookupDbEnum(pdbenumBarcode->GetLookup(), lValue);
    ASSERT_NE(pdblookupenum, nullptr);
    strValues += std::string("\t\t\t\t\t<v>") + pdblookupenum->szLexiconEnum + "</v>\n";
  }
  auto* pdbenumWindow = dynamic_cast<CDbEnum*>(m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_WINDOW));
  ASSERT_NE(pdbenumWindow, nullptr);
  ASSERT_EQ(pdbenumWindow->GetDefaultItemCount(), 1);
  pdbenumWindow->AddDefaultItem(pdbenumWindow->GetDefaultItem(0) + 1);
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem();
  const std::string strDocument = Document(*pdbprofileitem, "profileall");
  EXPECT_NE(strDocument.find("\t\t<d i='barcodetype'>\n\t\t\t<fb00>\n\t\t\t\t<enum>\n" + strValues +
                             "\t\t\t\t</enum>\n\t\t\t</fb00>\n\t\t</d>\n"),
            std::string::npos)
      << strDocument;
  EXPECT_NE(strDocument.find("\t\t<d i='windowtag'>\n\t\t\t<enum>\n\t\t\t\t<v>"), std::string::npos);
  std::smatch match;
  ASSERT_TRUE(std::regex_search(strDocument, match, std::regex("<d i='imagewidth'>\n((\t\t\t<[a-z0-9]+>)[^\n]*\n)+")));
  std::vector<std::string> vecTags;
  static const std::regex s_regexTag("\t\t\t<([a-z0-9]+)>");
  const std::string strElement = match[0].str();
  for (auto it = std::sregex_iterator(strElement.begin(), strElement.end(), s_regexTag); it != std::sregex_iterator();
       ++it)
    vecTags.push_back((*it)[1].str());
  EXPECT_EQ(vecTags, (std::vector<std::string>{"fb00", "rb00", "fc00", "rc00", "fb01", "rb01", "fc01", "rc01"}));
}

// A user profile saved and loaded again: header, flags and texts come back;
// "l_ja_jpn" is written as "l_jp_jpn"; the first of two texts of a language
// stays; only "true" makes a profile read-only; the picture named in a
// header keeps its file name only.
TEST_F(DbProfileDocumentTest, ASavedProfileLoadsAgain) {
  std::filesystem::create_directories(m_strGraphics);
  testsupport::WriteFile(m_strGraphics + "/pic.png", std::string(100, 'p'));
  testsupport::WriteFile(testsupport::RootPath("pic.png"), "outside");
  const std::string strText =
      "\xEF\xBB\xBF<profile>\n\t<header>\n\t\t<id><![CDATA[Mine]]></id>\n\t\t<driverversion>01000000</driverversion>\n"
      "\t\t<family>kv</family>\n\t\t<group>profilenormalsave</group>\n\t\t<readonly>TRUE</readonly>\n"
      "\t\t<hidden>false</hidden>\n\t\t<profileid>p-1</profileid>\n"
      "\t\t<graphicfilename><![CDATA[../../pic.png]]></graphicfilename>\n"
      "\t\t<l_de_deu><![CDATA[Meins]]></l_de_deu>\n\t\t<l_ja_jpn><![CDATA[\xe7\xa7\x81]]></l_ja_jpn>\n"
      "\t\t<l_de_deu><![CDATA[Zweites]]></l_de_deu>\n\t\t<unknown>x</unknown>\n\t</header>\n\t<database>\n"
      "\t</database>\n</profile>\n";
  std::unique_ptr<CDbProfileItem> pdbprofileitem = LoadUser("mine.profile", strText);
  EXPECT_TRUE(m_plog->Contains("graphicfilename keeps its file name only...<../../pic.png>"));
  EXPECT_EQ(std::string(pdbprofileitem->GetGraphicFilename()), m_strGraphics + "/pic.png");
  ASSERT_EQ(pdbprofileitem->Save(nullptr), OS_STS_SUCCESS) << m_plog->Text();
  const std::string strSaved = testsupport::ReadFile(m_strOwn + "/mine.profile");
  EXPECT_TRUE(XmllintReads(m_strOwn + "/mine.profile"));
  EXPECT_EQ(Names(Children(strSaved, "header")),
            (std::vector<std::string>{"id", "driverversion", "family", "group", "readonly", "hidden", "profileid",
                                      "graphicfilename", "l_de_deu", "l_jp_jpn"}));
  EXPECT_EQ(testsupport::ReadFile(testsupport::RootPath("pic.png")), "outside");

  std::unique_ptr<CDbProfileItem> pdbprofileitemAgain = LoadUser("mine.profile", strSaved);
  // The family is the configured model directory's.
  EXPECT_STREQ(pdbprofileitem->GetFamily(), "kv");
  EXPECT_STREQ(pdbprofileitemAgain->GetFamily(), g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY));
  for (CDbProfileItem* p : {pdbprofileitem.get(), pdbprofileitemAgain.get()}) {
    EXPECT_STREQ(p->GetName(), "Mine");
    EXPECT_STREQ(p->GetId(), "p-1");
    EXPECT_STREQ(p->GetGroup(), "profilenormalsave");
    EXPECT_STREQ(p->GetDriverVersion(), "01000000");
    EXPECT_FALSE(p->IsProfileReadonly());
    EXPECT_FALSE(p->IsProfileHidden());
    EXPECT_STREQ(p->GetLocaleText("de_deu"), "Meins");
    EXPECT_STREQ(p->GetLocaleText("l_jp_jpn"), "\xe7\xa7\x81");
    EXPECT_EQ(std::string(p->GetGraphicFilename()), m_strGraphics + "/pic.png");
  }
  // Saved again, the document is the same.
  ASSERT_EQ(pdbprofileitemAgain->Save(nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(testsupport::ReadFile(m_strOwn + "/mine.profile"), strSaved);
  // Only a user profile is saved.
  std::unique_ptr<CDbProfileItem> pdbprofileitemInstalled = NewItem(m_strOwn + "/mine.profile");
  EXPECT_EQ(pdbprofileitemInstalled->Save(nullptr), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Attempt to save an invalid profile..."));
}

// The picture lies in the own graphics directory: a regular file from
// elsewhere is copied in (a link planted under its name is replaced, never
// written through); a directory, a pipe or a missing file is not copied,
// and the picture is cleared.
TEST_F(DbProfileDocumentTest, ThePictureIsCopiedIntoTheGraphicsDirectory) {
  const std::string strElsewhere = testsupport::RootPath("elsewhere");
  std::filesystem::create_directories(strElsewhere + "/adir.png");
  std::filesystem::create_directories(m_strGraphics);
  testsupport::WriteFile(strElsewhere + "/pic.png", std::string(300, 'x'));
  testsupport::WriteFile(strElsewhere + "/victim", "victim");
  ASSERT_EQ(mkfifo((strElsewhere + "/pipe.png").c_str(), 0600), 0);
  ASSERT_EQ(symlink((strElsewhere + "/victim").c_str(), (m_strGraphics + "/pic.png").c_str()), 0);
  const struct {
    const char* szName;
    bool blCopied;
  } acase[] = {{"pic.png", true}, {"adir.png", false}, {"pipe.png", false}, {"gone.png", false}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem(m_strOwn + "/p.profile");
    pdbprofileitem->SetProfileUser();
    pdbprofileitem->SetGraphicFilename((strElsewhere + "/" + c.szName).c_str());
    ASSERT_EQ(pdbprofileitem->Save(nullptr), OS_STS_SUCCESS);
    const std::string strCopy = m_strGraphics + "/" + c.szName;
    EXPECT_EQ(std::string(pdbprofileitem->GetGraphicFilename()), c.blCopied ? strCopy : "");
    if (c.blCopied) {
      EXPECT_EQ(testsupport::ReadFile(strCopy), std::string(300, 'x'));
    }
    EXPECT_EQ(m_plog->Contains("failed to copy graphic..."), !c.blCopied);
  }
  EXPECT_FALSE(std::filesystem::is_symlink(m_strGraphics + "/pic.png"));
  EXPECT_EQ(testsupport::ReadFile(strElsewhere + "/victim"), "victim");
  // A picture of the graphics directory that is gone is cleared at the save.
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem(m_strOwn + "/p.profile");
  pdbprofileitem->SetProfileUser();
  pdbprofileitem->SetGraphicFilename((m_strGraphics + "/gone.png").c_str());
  ASSERT_EQ(pdbprofileitem->Save(nullptr), OS_STS_SUCCESS);
  EXPECT_STREQ(pdbprofileitem->GetGraphicFilename(), "");
}

// Files that are no profile: refused with a line, or read as far as they
// are one; nothing is written.
TEST_F(DbProfileDocumentTest, LoadRefusesWhatIsNoProfile) {
  std::string strLocales;
  for (int i = 0; i < 33; ++i)
    strLocales += "<l_x" + std::to_string(100 + i) + "_x>t</l_x" + std::to_string(100 + i) + "_x>";
  const struct {
    const char* szWhat;
    std::string strText;
    EOSSTS eossts;
    const char* szLog;
  } acase[] = {
      {"15 bytes", "<profile></pro>", OS_STS_FAIL, "OsMemGetSettings failed...15"},
      {"16 bytes", "<profile></prof>", OS_STS_FAIL, "Load failed..."},
      {"another root", "<settings><header><id>x</id></header></settings>", OS_STS_FAIL, "profile tag not found..."},
      {"no child", "<profile>            </profile>", OS_STS_FAIL, "empty profile..."},
      {"no header", "<profile><database></database></profile>", OS_STS_FAIL, "header tag not found..."},
      {"an INI profile", "[Header]\nid=old\nl_en_usa=Old\n", OS_STS_FAIL, "profile: not a standard profile..."},
      {"a byte-order mark", "\xEF\xBB\xBF<profile><header><id>bom</id></header></profile>", OS_STS_SUCCESS, ""},
      {"a name of 300 bytes", "<profile><header><id>" + std::string(300, 'n') + "</id></header></profile>",
       OS_STS_SUCCESS, "text cut to its field of 180 bytes...<id>"},
      {"33 texts", "<profile><header>" + strLocales + "</header></profile>", OS_STS_SUCCESS, ""},
      {"bytes that are not UTF-8", "<profile><header><id>\xff\xfe\x80</id></header></profile>", OS_STS_SUCCESS, ""},
      {"a name of 2000 bytes", "<profile><header><id>" + std::string(2000, 'n') + "</id></header></profile>",
       OS_STS_SUCCESS, "NodeGetContent failed...<id>"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    const size_t sizetBefore = m_plog->Text().size();
    std::unique_ptr<CDbProfileItem> pdbprofileitem = LoadUser("bad.profile", c.strText, c.eossts);
    EXPECT_NE(m_plog->Text().find(c.szLog, sizetBefore), std::string::npos) << c.szLog;
    EXPECT_EQ(testsupport::ReadFile(m_strOwn + "/bad.profile"), c.strText);
  }
  // What the loads that succeeded read.
  EXPECT_STREQ(LoadUser("a.profile", acase[6].strText)->GetName(), "bom");
  EXPECT_EQ(std::string(LoadUser("a.profile", acase[7].strText)->GetName()), std::string(180, 'n'));
  std::unique_ptr<CDbProfileItem> pdbprofileitem = LoadUser("a.profile", acase[8].strText);
  EXPECT_STREQ(pdbprofileitem->GetLocaleText("x131_x"), "t");
  EXPECT_STREQ(pdbprofileitem->GetLocaleText("x132_x"), "");
  EXPECT_STREQ(LoadUser("a.profile", acase[9].strText)->GetName(), "\xff\xfe\x80");
  // An INI profile is converted in place when the load allows it; the INI
  // text stays beside it.
  std::unique_ptr<CDbProfileItem> pdbprofileitemIni = NewItem(m_strOwn + "/bad.profile");
  testsupport::WriteFile(m_strOwn + "/bad.profile", acase[5].strText);
  EXPECT_EQ(pdbprofileitemIni->Load(false, true, true, false), OS_STS_SUCCESS);
  EXPECT_STREQ(pdbprofileitemIni->GetName(), "Old");
  EXPECT_EQ(testsupport::ReadFile(m_strOwn + "/bad.profile.bck"), acase[5].strText);
  EXPECT_EQ(testsupport::ReadFile(m_strOwn + "/bad.profile").rfind("<profile>", 0), 0u);
  // A file that is missing, or no file at all.
  EXPECT_EQ(NewItem(m_strOwn + "/missing.profile")->Load(false, true, false, false), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Failed to open profile...<" + m_strOwn + "/missing.profile>"));
  EXPECT_EQ(NewItem(m_strOwn)->Load(false, true, false, false), OS_STS_FAIL);
}

// A directory that cannot be written (for root, which permissions do not
// stop, an immutable one): the save fails and nothing on disk changes.
class Unwritable {
 public:
  explicit Unwritable(const std::string& a_strDirectory) : m_strDirectory(a_strDirectory) {
    if (geteuid() != 0) {
      m_blDone = chmod(m_strDirectory.c_str(), 0500) == 0;
    } else {
      int iStatus = -1;
      testsupport::RunProgram({"chattr", "+i", m_strDirectory}, &iStatus);
      m_blDone = iStatus == 0;
    }
  }
  ~Unwritable() {
    if (geteuid() != 0) {
      chmod(m_strDirectory.c_str(), 0700);
    } else if (m_blDone) {
      testsupport::RunProgram({"chattr", "-i", m_strDirectory});
    }
  }
  bool IsDone() const { return m_blDone; }

 private:
  std::string m_strDirectory;
  bool m_blDone = false;
};

TEST_F(DbProfileDocumentTest, AnUnwritableDirectoryChangesNothing) {
  const std::string strPath = m_strOwn + "/mine.profile";
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem(strPath);
  pdbprofileitem->SetProfileUser();
  ASSERT_EQ(pdbprofileitem->Save(nullptr), OS_STS_SUCCESS);
  const std::string strSaved = testsupport::ReadFile(strPath);
  Put(DB_ID_THRESHOLD, DB_BIN_BITONAL_FRONT, 17);
  {
    Unwritable unwritable(m_strOwn);
    if (!unwritable.IsDone()) GTEST_SKIP() << "no way to make a directory unwritable here";
    EXPECT_EQ(pdbprofileitem->Save(nullptr), OS_STS_FAIL);
  }
  EXPECT_TRUE(m_plog->Contains("Write failed...<" + strPath + ">"));
  EXPECT_EQ(testsupport::ReadFile(strPath), strSaved);
  std::vector<std::string> vecEntries;
  for (const auto& entry : std::filesystem::directory_iterator(m_strOwn))
    vecEntries.push_back(entry.path().filename().string());
  EXPECT_EQ(vecEntries, std::vector<std::string>{"mine.profile"});
}

}  // namespace
