// The transport rules in the library itself (their behaviour against the
// model is the rules harness's, tests/tools/rulesmodel), on the shipped
// resource with the ultrasonic records added: the catalogue makes
// the family's classes, the multifeed sound's files in the user's sound
// directory (judged by cmp and by Python's directory order), the checks of
// a sound name, the last sensor kept on when the others are not supported,
// one "imagecount" per setconfig, the fallbacks of missing capabilities and
// the shared timeout response of the user's "profile.share".
#include "db_ctransport.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "db_cdatabase.h"
#include "db_rules_fixture.h"
#include "os_coscfgtags.h"
#include "os_cosxmltask.h"

namespace {

class DbTransportRulesTest : public dbtest::DbRulesFixture {
 protected:
  void BeforeDatabase() override { setenv("PMX_PROFILESDIR", testsupport::RootPath("profiles").c_str(), 1); }
  // The shipped resource has no ultrasonic sensing: the records the rules
  // fixture's resource gives it (the sensitivity medium, the sensors on).
  void BeforeFixDefault() override {
    Record(DB_ID_ULTRASONICSENSITIVITY, DB_ID_ULTRASONICSENSITIVITY_ENUM_MEDIUM, {1, 2, 3, 4});
    for (EDBID edbid : {DB_ID_ULTRASONICSENSORCENTER, DB_ID_ULTRASONICSENSORLEFT, DB_ID_ULTRASONICSENSORLEFTCENTER,
                        DB_ID_ULTRASONICSENSORRIGHT, DB_ID_ULTRASONICSENSORRIGHTCENTER})
      Record(edbid, DB_ID_ULTRASONICSENSORCENTER_ENUM_TRUE, {1, 2, 3});
  }

  void Record(EDBID a_edbid, long a_lDefault, std::initializer_list<long> a_illItems) {
    auto* pdbenum = dynamic_cast<CDbEnum*>(At(0, a_edbid, DB_BIN_MACHINE));
    ASSERT_NE(pdbenum, nullptr);
    pdbenum->InitEnumLong(a_edbid, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_ALL, a_lDefault, a_lDefault);
    for (long l : a_illItems) pdbenum->AddDefaultItem(l);
    pdbenum->FixDefaultReset();
  }

  static std::string SoundDirectory() { return testsupport::RootPath("profiles/sounds"); }
  CDbDatum* Sound() { return At(0, DB_ID_MULTIFEEDSOUND, DB_BIN_MACHINE); }
  std::string SoundValue() { return Sound()->GetCurrentStringNoCallback(); }
  EDBSTS SetSound(const char* a_szValue) { return m_pdatabase->SetCurrentString(Sound(), a_szValue); }

  // A file with a text, its directories made.
  static std::string Place(const std::string& a_strRelative, const std::string& a_strText) {
    const std::string strPath = testsupport::RootPath(a_strRelative);
    std::filesystem::create_directories(std::filesystem::path(strPath).parent_path());
    testsupport::WriteFile(strPath, a_strText);
    return strPath;
  }

  static bool SameBytes(const std::string& a_strA, const std::string& a_strB) {
    int iStatus = -1;
    testsupport::RunProgram({"cmp", "-s", a_strA, a_strB}, &iStatus);
    return iStatus == 0;
  }

  // The entries of the sound directory other than "." and "..".
  static std::vector<std::string> SoundFiles() {
    std::vector<std::string> vstr;
    for (const auto& entry : std::filesystem::directory_iterator(SoundDirectory()))
      vstr.push_back(entry.path().filename().string());
    std::sort(vstr.begin(), vstr.end());
    return vstr;
  }

  // The first setconfig of the attribute tasks.
  std::string SetConfig() {
    struct Capture {
      CDatabase* pdatabase;
      std::string str;
    } capture{m_pdatabase.get(), {}};
    m_pdatabase->MakeXmlAll(nullptr, [](void* a_pvUser) {
      auto* pcapture = static_cast<Capture*>(a_pvUser);
      if (pcapture->str.empty()) pcapture->str = pcapture->pdatabase->GetDbMakeXml()->GetTaskBuffer();
      return OS_STS_SUCCESS;
    }, &capture);
    return capture.str;
  }
};

size_t Occurrences(const std::string& a_strText, const std::string& a_strWord) {
  size_t sizetCount = 0;
  for (size_t sizet = a_strText.find(a_strWord); sizet != std::string::npos;
       sizet = a_strText.find(a_strWord, sizet + 1))
    ++sizetCount;
  return sizetCount;
}

}  // namespace

TEST_F(DbTransportRulesTest, TheCatalogueMakesTheFamilysClasses) {
#define DB_TRANSPORT_CLASS_MADE(NAME, CONTAINER, VALUE) \
  EXPECT_NE(dynamic_cast<C##NAME*>(CDbDatum::ms_pdatumcommon->apdbdatum[0][DB_ID_##NAME][DB_BIN_MACHINE]), nullptr) << #NAME;
  DB_TRANSPORT_CLASSES(DB_TRANSPORT_CLASS_MADE)
#undef DB_TRANSPORT_CLASS_MADE
}

// The default sound is the bare name in the user's sound directory, which
// the start made; nothing was there to copy.
TEST_F(DbTransportRulesTest, TheDefaultSoundLivesInTheUsersSoundDirectory) {
  EXPECT_EQ(SoundValue(), SoundDirectory() + "/ding.wav");
  EXPECT_TRUE(std::filesystem::is_directory(SoundDirectory()));
  EXPECT_TRUE(SoundFiles().empty());
}

// A bare name is looked up in the sound directory; a file elsewhere is
// copied in (replacing an earlier copy of that name) and the value becomes
// the copy; no temporary file stays behind.
TEST_F(DbTransportRulesTest, ASoundIsFoundInItsDirectoryOrCopiedThere) {
  Place("profiles/sounds/beep.wav", "beep");
  ASSERT_EQ(SetSound("beep.wav"), DB_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(SoundValue(), SoundDirectory() + "/beep.wav");

  const std::string strFirst = Place("elsewhere/chime.wav", "first chime");
  ASSERT_EQ(SetSound(strFirst.c_str()), DB_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(SoundValue(), SoundDirectory() + "/chime.wav");
  EXPECT_TRUE(SameBytes(strFirst, SoundValue()));

  const std::string strSecond = Place("other/chime.wav", "the second, longer chime");
  ASSERT_EQ(SetSound(strSecond.c_str()), DB_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(SoundValue(), SoundDirectory() + "/chime.wav");
  EXPECT_TRUE(SameBytes(strSecond, SoundValue()));
  EXPECT_EQ(SoundFiles(), (std::vector<std::string>{"beep.wav", "chime.wav"}));
}

// A wildcard takes the first match in the directory's own order, as
// Python's os.scandir lists it.
TEST_F(DbTransportRulesTest, AWildcardTakesTheFirstMatchInDirectoryOrder) {
  for (const char* sz : {"k.wav", "c.wav", "x.txt", "a.wav", "q.wav", "m.wav"}) Place(std::string("many/") + sz, sz);
  const std::string strFirst = testsupport::RunPython(
      "import fnmatch, os, sys\n"
      "print(next(e.name for e in os.scandir(sys.argv[1]) if fnmatch.fnmatchcase(e.name, '*.wav')))\n",
      {testsupport::RootPath("many")});
  ASSERT_FALSE(strFirst.empty());
  const std::string strPattern = testsupport::RootPath("many/*.wav");
  ASSERT_EQ(SetSound(strPattern.c_str()), DB_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(SoundValue(), SoundDirectory() + "/" + strFirst.substr(0, strFirst.find('\n')));
  EXPECT_TRUE(SameBytes(testsupport::RootPath("many/" + strFirst.substr(0, strFirst.find('\n'))), SoundValue()));
}

// Only a regular file with content is a sound; a set is refused otherwise,
// and a null text is a bad argument.
TEST_F(DbTransportRulesTest, NamesOfNoSoundAreRefused) {
  Place("sounds/empty.wav", "");
  const std::string strFifo = testsupport::RootPath("sounds/pipe.wav");
  ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
  const std::string strBefore = SoundValue();
  const std::string astr[] = {"",
                              testsupport::RootPath("sounds"),
                              strFifo,
                              "/dev/null",
                              testsupport::RootPath("sounds/empty.wav"),
                              testsupport::RootPath("sounds/*.none"),
                              "missing.wav",
                              "/" + std::string(300, 'a') + ".wav"};
  for (const std::string& str : astr) EXPECT_EQ(SetSound(str.c_str()), DB_STS_BADVALUE) << str;
  EXPECT_EQ(SetSound(nullptr), DB_STS_BADARGUMENT);
  EXPECT_TRUE(m_plog->Contains("a_szValue is NULL...")) << m_plog->Text();
  EXPECT_EQ(SoundValue(), strBefore);
}

// A value written past the checks (a profile applied) that names an empty
// file empties the sound.
TEST_F(DbTransportRulesTest, AnEmptyFileWrittenInEmptiesTheSound) {
  const std::string strEmpty = Place("sounds/empty.wav", "");
  Sound()->SetCurrentString(strEmpty.c_str());
  m_pdatabase->FixCurrentAll(Sound());
  EXPECT_EQ(SoundValue(), "");
}

// When the copy cannot take the copy's place (a directory stands there),
// the sound before the set stays, and so does every file.
TEST_F(DbTransportRulesTest, AFailedCopyKeepsTheSoundBefore) {
  const std::string strFirst = Place("elsewhere/first.wav", "first");
  ASSERT_EQ(SetSound(strFirst.c_str()), DB_STS_SUCCESS);
  const std::string strCopy = SoundValue();
  std::filesystem::create_directories(SoundDirectory() + "/blocked.wav/inside");
  const std::string strBlocked = Place("elsewhere/blocked.wav", "blocked");
  EXPECT_EQ(SetSound(strBlocked.c_str()), DB_STS_SUCCESS);
  EXPECT_EQ(SoundValue(), strCopy);
  EXPECT_TRUE(SameBytes(strFirst, strCopy));
  EXPECT_TRUE(m_plog->Contains("sound not copied...")) << m_plog->Text();
  EXPECT_EQ(SoundFiles(), (std::vector<std::string>{"blocked.wav", "first.wav"}));
}

// A sound directory so deep that the copy's path would not fit the value:
// the default keeps its bare name, and a file elsewhere is refused rather
// than cut.
class DbTransportDeepDirectoryTest : public DbTransportRulesTest {
 protected:
  void BeforeDatabase() override {
    setenv("PMX_PROFILESDIR", testsupport::RootPath(std::string(240, 'd')).c_str(), 1);
  }
};

TEST_F(DbTransportDeepDirectoryTest, APathBeyondTheValueIsNeverCut) {
  EXPECT_EQ(SoundValue(), "ding.wav");
  const std::string strFile = Place("elsewhere/chime.wav", "chime");
  EXPECT_EQ(SetSound(strFile.c_str()), DB_STS_BADVALUE);
  EXPECT_EQ(SoundValue(), "ding.wav");
}

// Without a user directory no path is built: the sound keeps its bare name,
// said once.
class DbTransportNoDirectoryTest : public DbTransportRulesTest {
 protected:
  void BeforeDatabase() override {
    unsetenv("PMX_PROFILESDIR");
    Configure(OS_CFGTAG_USERROOTDIRECTORY, "");
  }
};

TEST_F(DbTransportNoDirectoryTest, ANullDirectoryLeavesTheBareName) {
  EXPECT_EQ(SoundValue(), "ding.wav");
  EXPECT_EQ(Occurrences(m_plog->Text(), "no sound directory..."), 1u) << m_plog->Text();
}

// With the centre sensor the only one supported, it cannot be turned off;
// the ignore zone stays allowed.
TEST_F(DbTransportRulesTest, TheOnlySupportedSensorStaysOn) {
  for (EDBID edbid : {DB_ID_ULTRASONICSENSORLEFT, DB_ID_ULTRASONICSENSORLEFTCENTER, DB_ID_ULTRASONICSENSORRIGHTCENTER,
                      DB_ID_ULTRASONICSENSORRIGHT})
    At(0, edbid, DB_BIN_MACHINE)->SetAccess(DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(Set(0, DB_ID_ULTRASONICSENSORCENTER, DB_BIN_MACHINE, DB_ID_ULTRASONICSENSORCENTER_ENUM_FALSE),
            DB_STS_BADVALUE);
  EXPECT_EQ(Set(0, DB_ID_ULTRASONICSENSORCENTER, DB_BIN_MACHINE, DB_ID_ULTRASONICSENSORCENTER_ENUM_IGNOREZONE),
            DB_STS_SUCCESS);
}

// The sheets times the cameras go out once, under the images' name; with
// no camera on in the current window nothing goes out, and that is said.
TEST_F(DbTransportRulesTest, OneImageCountPerSetConfig) {
  ASSERT_EQ(Set(0, DB_ID_PAGECOUNT, DB_BIN_MACHINE, 3), DB_STS_SUCCESS);
  std::string str = SetConfig();
  EXPECT_EQ(Occurrences(str, "<imagecount>"), 1u) << str;
  EXPECT_NE(str.find("<imagecount>6</imagecount>"), std::string::npos) << str;
  EXPECT_EQ(str.find("<sheetcount>"), std::string::npos) << str;

  CDbDatum* pdbdatumWindow = At(0, DB_ID_WINDOW, DB_BIN_MACHINE);
  m_pdatabase->EnumAddItem(pdbdatumWindow, 1);
  CDbDatum::SetWindowMax(2);
  pdbdatumWindow->SetCurrentLong(1);
  str = SetConfig();
  EXPECT_EQ(Occurrences(str, "<imagecount>"), 0u) << str;
  EXPECT_TRUE(m_plog->Contains("There are no cameras enabled...")) << m_plog->Text();
}

// Missing capabilities read as the feeder, off and 0: without a paper
// source the multifeed settings stay offered; without length detection and
// with the sensitivity none the sound switch is disabled.
TEST_F(DbTransportRulesTest, MissingCapabilitiesReadAsTheirFallbacks) {
  At(0, DB_ID_PAPERSOURCE, DB_BIN_MACHINE)->SetAccess(DB_ACCESS_NOTSUPPORTED);
  m_pdatabase->FixAccessAll();
  EXPECT_EQ(At(0, DB_ID_MULTIFEEDSOUNDENABLED, DB_BIN_MACHINE)->GetAccess(), DB_ACCESS_READWRITE);
  EXPECT_EQ(At(0, DB_ID_ULTRASONICSENSITIVITY, DB_BIN_MACHINE)->GetAccess(), DB_ACCESS_READWRITE);
  At(0, DB_ID_MULTIFEEDLENGTHENABLED, DB_BIN_MACHINE)->SetAccess(DB_ACCESS_NOTSUPPORTED);
  ASSERT_EQ(Set(0, DB_ID_ULTRASONICSENSITIVITY, DB_BIN_MACHINE, DB_ID_ULTRASONICSENSITIVITY_ENUM_NONE),
            DB_STS_SUCCESS);
  EXPECT_EQ(At(0, DB_ID_MULTIFEEDSOUNDENABLED, DB_BIN_MACHINE)->GetAccess(), DB_ACCESS_DISABLED);
}

// The shared timeout response, kept in the user's "profile.share", comes
// into force once the rule has rebuilt the response's list from the names
// the model gives: the resource's list does not offer it.
class DbTransportTimeoutResponseTest : public DbTransportRulesTest {
 protected:
  void BeforeDatabase() override {
    DbTransportRulesTest::BeforeDatabase();
    std::filesystem::create_directories(testsupport::RootPath("profiles"));
    testsupport::WriteFile(testsupport::RootPath("profiles/profile.share"),
                           "<profile><header><id>-*- profile share -*-</id></header><database>"
                           "<d i='adftimeoutresponse'><m>stopfeeder</m></d></database></profile>");
  }
  void BeforeFixDefault() override {
    DbTransportRulesTest::BeforeFixDefault();
    for (const char* sz : {"stopfeeder", "endofjob"})
      m_pdatabase->ConfigEnumAdd("adftimeoutresponse", sz, DB_CONFIGTARGET_COMMON);
  }
};

TEST_F(DbTransportTimeoutResponseTest, TheSharedResponseIsAppliedOnceOffered) {
  auto* pdbenum = dynamic_cast<CDbEnum*>(At(0, DB_ID_TRANSPORTTIMEOUTRESPONSE, DB_BIN_MACHINE));
  ASSERT_NE(pdbenum, nullptr);
  ASSERT_EQ(pdbenum->GetCurrentItemCount(), 2);
  EXPECT_EQ(pdbenum->GetCurrentItem(0), DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_STOPFEEDER);
  EXPECT_EQ(pdbenum->GetCurrentItem(1), DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_ENDOFJOB);
  EXPECT_EQ(pdbenum->GetCurrentLong(), DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_STOPFEEDER);
  EXPECT_FALSE(m_plog->Contains("the shared timeout response is not applied...")) << m_plog->Text();
}
