// The colour-dropout lists: one getecdo reply read (a table of replies), the
// lists of an opened scanner against the probe's filling and against a
// model of the merge written apart (feeder alone, with a flatbed, a flatbed
// that fails, the image library forced off, the device manager's own list),
// and the working lists that cannot be allocated.
#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "../os/log_capture.h"
#include "db_cdblock.h"
#include "dev_cdevimpl.h"
#include "dev_device_fixture.h"
#include "os_coslocale.h"
#include "os_cosmem.h"
#include "rules_dropouts.h"

namespace {

using devtest::LoggedTask;

// ---------------------------------------------------------------------------
// One reply
// ---------------------------------------------------------------------------
std::string Reply(const std::string& a_strStatus, const std::string& a_strReports) {
  return "<task id='00000000000000000007' reply='00000000000000000001' bytes='00000000000000000000'>\n"
         "\t<reportstatus>\n\t\t<status>" + a_strStatus + "</status>\n\t</reportstatus>\n" + a_strReports +
         "</task>\n";
}
std::string Ecdo(const std::string& a_strBody) { return "\t<reportecdo>\n" + a_strBody + "\t</reportecdo>\n"; }
// One choice; a null text or algorithm leaves its element out.
std::string Choice(const std::string& a_strName, const char* a_szText, const char* a_szAlgorithm) {
  std::string str = "\t\t<ecdo>" + a_strName + "</ecdo>\n";
  if (a_szText) str += "\t\t<text>" + std::string(a_szText) + "</text>\n";
  if (a_szAlgorithm) str += "\t\t<algorithm>" + std::string(a_szAlgorithm) + "</algorithm>\n";
  return str;
}
std::string Numbered(const char* a_szPrefix, int a_i) {
  char sz[32];
  std::snprintf(sz, sizeof sz, "%s%02d", a_szPrefix, a_i);
  return sz;
}

template <class T>
std::vector<std::string> Entries(const T& a_devecdotable) {
  std::vector<std::string> vec;
  for (long l = 0; l < a_devecdotable.lCount; ++l) {
    const DevEcdoEntry& devecdoentry = a_devecdotable.adevecdoentry[l];
    vec.push_back(std::string(devecdoentry.szName) + "|" + devecdoentry.szText + "|" + devecdoentry.szAlgorithm);
  }
  return vec;
}

struct ParseCase {
  std::string strName;
  std::string strReply;
  EOSSTS eossts;
  std::vector<std::string> vecMain;
  std::vector<std::string> vecCustom;
  const char* szLog;  // a line the reading logs, or null
};

std::vector<ParseCase> ParseCases() {
  const std::string strThree =
      Choice("file01", "Red", "normal") + Choice("file04", "Predominant", "pmcdo") + Choice("file06", "Mine", "learnt");
  std::vector<ParseCase> vec = {
      {"three choices", Reply("success", Ecdo(strThree)), OS_STS_SUCCESS,
       {"file01|Red|normal", "file04|Predominant|pmcdo"}, {"file06|Mine|learnt"}, nullptr},
      {"no algorithm is normal", Reply("success", Ecdo(Choice("file02", "Green", nullptr))), OS_STS_SUCCESS,
       {"file02|Green|normal"}, {}, nullptr},
      {"whitespace between elements",
       Reply("success", "\n\n \t<reportecdo>  \n" +
                            std::regex_replace(strThree, std::regex("\n"), "\n \t\n") + "\n\n</reportecdo>  \n"),
       OS_STS_SUCCESS, {"file01|Red|normal", "file04|Predominant|pmcdo"}, {"file06|Mine|learnt"}, nullptr},
      {"a choice without text",
       Reply("success", Ecdo(Choice("file04", nullptr, "pmcdo") + Choice("file05", "Form", "normalformdata"))),
       OS_STS_SUCCESS, {"file04||pmcdo", "file05|Form|normalformdata"}, {}, nullptr},
      {"a choice without a name is skipped",
       Reply("success", Ecdo(Choice("", "Lost", "learnt") + Choice("file01", "Red", nullptr))), OS_STS_SUCCESS,
       {"file01|Red|normal"}, {}, "ParseEcdo: an <ecdo> without a name, skipped...<Lost>"},
      {"entities, stray text and other elements",
       Reply("success", Ecdo("\t\t<text>Stray</text>\n\t\t<ecdo>R&amp;D</ecdo>\n\t\t<colour>red</colour>\n"
                             "\t\t<text>&lt;b&gt; &quot;x&quot;</text>\n\t\t<algorithm><![CDATA[a<b]]></algorithm>\n")),
       OS_STS_SUCCESS, {}, {"R&D|<b> \"x\"|a<b"}, nullptr},
      {"long fields are cut",
       Reply("success", Ecdo(Choice(std::string(300, 'n'), "T", std::string(100, 'a').c_str()))), OS_STS_SUCCESS,
       {}, {std::string(254, 'n') + "|T|" + std::string(63, 'a')}, "ParseEcdo: <ecdo> cut to 254 characters..."},
      {"success without choices", Reply("success", ""), OS_STS_SUCCESS, {}, {}, nullptr},
      {"status fail", Reply("fail", Ecdo(strThree)), OS_STS_FAIL, {}, {},
       "<reportstatus> from <getecdo> failed...<fail>"},
      {"status invalidstate", Reply("invalidstate", Ecdo(strThree)), OS_STS_FAIL, {}, {},
       "<reportstatus> from <getecdo> failed...<invalidstate>"},
      {"no reportstatus",
       "<task id='00000000000000000007' reply='00000000000000000001' bytes='00000000000000000000'>\n" + Ecdo(strThree) +
           "</task>\n",
       OS_STS_FAIL, {}, {}, "<reportstatus> from <getecdo> failed...<>"},
      {"not XML", Reply("success", Ecdo(strThree)).substr(0, 200), OS_STS_FAIL, {}, {}, "Fail to DocumentLoad...1"},
  };
  // 70 choices of the scanner's kinds: the first 62 stay, and reading stops
  // there (the custom choice after them is not read).
  ParseCase parsecaseMain{"70 main choices", "", OS_STS_SUCCESS, {}, {}, nullptr};
  std::string strMain;
  for (int i = 1; i <= 70; ++i) {
    strMain += Choice(Numbered("main", i), "M", "normal");
    if (i <= 62) parsecaseMain.vecMain.push_back(Numbered("main", i) + "|M|normal");
  }
  parsecaseMain.strReply = Reply("success", Ecdo(strMain + Choice("late", "L", "learnt")));
  vec.push_back(parsecaseMain);
  // 15 custom choices among scanner ones: 9 stay, and nothing after them.
  ParseCase parsecaseCustom{"15 custom choices", "", OS_STS_SUCCESS, {}, {}, nullptr};
  std::string strCustom;
  for (int i = 1; i <= 15; ++i) {
    strCustom += Choice(Numbered("custom", i), "C", "learnt") + Choice(Numbered("main", i), "M", "pmcdo");
    if (i <= 9) parsecaseCustom.vecCustom.push_back(Numbered("custom", i) + "|C|learnt");
    if (i <= 8) parsecaseCustom.vecMain.push_back(Numbered("main", i) + "|M|pmcdo");
  }
  parsecaseCustom.strReply = Reply("success", Ecdo(strCustom));
  vec.push_back(parsecaseCustom);
  return vec;
}

TEST(DevEcdoParse, RepliesAsTheEngineReadsThem) {
  auto pdevecdomain = std::make_unique<DevEcdoMain>();
  auto pdevecdocustom = std::make_unique<DevEcdoCustom>();
  for (const ParseCase& parsecase : ParseCases()) {
    SCOPED_TRACE(parsecase.strName);
    testsupport::LogCapture log;
    // Whatever an earlier reply left goes.
    pdevecdomain->lCount = 3;
    pdevecdocustom->lCount = 2;
    EXPECT_EQ(CDevImpl::ParseEcdo(parsecase.strReply.c_str(), pdevecdomain.get(), pdevecdocustom.get()),
              parsecase.eossts);
    EXPECT_EQ(Entries(*pdevecdomain), parsecase.vecMain);
    EXPECT_EQ(Entries(*pdevecdocustom), parsecase.vecCustom);
    if (parsecase.szLog) {
      EXPECT_TRUE(log.Contains(parsecase.szLog)) << log.Text();
    }
  }
  EXPECT_EQ(CDevImpl::ParseEcdo(nullptr, pdevecdomain.get(), pdevecdocustom.get()), OS_STS_FAIL);
  EXPECT_EQ(CDevImpl::ParseEcdo("", pdevecdomain.get(), pdevecdocustom.get()), OS_STS_FAIL);
  EXPECT_EQ(CDevImpl::ParseEcdo(Reply("success", "").c_str(), nullptr, pdevecdocustom.get()), OS_STS_FAIL);
}

TEST(DevEcdoParse, NamesAreFoundWhole) {
  auto pdevecdomain = std::make_unique<DevEcdoMain>();
  auto pdevecdocustom = std::make_unique<DevEcdoCustom>();
  const std::string strReply =
      Reply("success", Ecdo(Choice("file01", "Red", nullptr) + Choice("file011", "X", "pmcdo") +
                            Choice("mine", "Mine", "learnt")));
  ASSERT_EQ(CDevImpl::ParseEcdo(strReply.c_str(), pdevecdomain.get(), pdevecdocustom.get()), OS_STS_SUCCESS);
  EXPECT_TRUE(CDevImpl::ItemExistsInEcdoList("file01", *pdevecdomain));
  EXPECT_TRUE(CDevImpl::ItemExistsInEcdoList("file011", *pdevecdomain));
  EXPECT_FALSE(CDevImpl::ItemExistsInEcdoList("file0", *pdevecdomain));
  EXPECT_FALSE(CDevImpl::ItemExistsInEcdoList("mine", *pdevecdomain));
  EXPECT_FALSE(CDevImpl::ItemExistsInEcdoList(nullptr, *pdevecdomain));
  EXPECT_TRUE(CDevImpl::ItemExistsInEcdoCustomList("mine", *pdevecdocustom));
  EXPECT_FALSE(CDevImpl::ItemExistsInEcdoCustomList("Mine", *pdevecdocustom));
}

// ---------------------------------------------------------------------------
// The lists of an opened scanner
// ---------------------------------------------------------------------------
class DevEcdo : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    setenv("NEXSIM_TASKLOG", testsupport::RootPath("nexil.log").c_str(), 1);
    DeviceFixture::SetUp();
    SetConfigured(OS_CFGTAG_FORCENEXILCALL, "1");
  }
  static EOSSTS Message(EDEVDLG, EDEVMSG, const char*, long, EDEVBUTTONS) { return OS_STS_SUCCESS; }

  // The device object opened on the stand-ins (with the flatbed when asked).
  void Open(bool a_blFlatbed = false) {
    if (a_blFlatbed) setenv("SIMSCAN_ADF_FLATBED", devtest::FlatbedDirectory().c_str(), 1);
    ASSERT_EQ(m_pdev->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdev->SessionBegin(Message), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdatabase->ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON), a_blFlatbed);
  }
  CDevImpl& Impl() { return devtest::Impl(*m_pdev); }

  // A choices file of the stand-ins: one line per choice.
  static std::string ChoicesFile(const std::string& a_strName, const std::vector<std::string>& a_vecLines) {
    std::string str = "# name, text, algorithm\n";
    for (const std::string& strLine : a_vecLines) str += strLine + "\n";
    const std::string strPath = testsupport::RootPath(a_strName);
    testsupport::WriteFile(strPath, str);
    return strPath;
  }

  // Every record of both lists, empty ones too: value and each field.
  std::vector<std::string> Records() {
    CDbLockGuard dblockguard;
    std::vector<std::string> vec;
    const auto Add = [&](const DbEcdoRecord* a_adbecdorecord, long a_lCount) {
      for (long l = 0; l < a_lCount; ++l) {
        const DbEcdoRecord& r = a_adbecdorecord[l];
        vec.push_back(std::to_string(r.u32Value) + "|" + std::string(r.szName, strnlen(r.szName, sizeof r.szName)) +
                      "|" + std::string(r.szNameFlatbed, strnlen(r.szNameFlatbed, sizeof r.szNameFlatbed)) + "|" +
                      std::string(r.szLabel, strnlen(r.szLabel, sizeof r.szLabel)) + "|" +
                      std::string(r.szKind, strnlen(r.szKind, sizeof r.szKind)) + "|" +
                      std::string(r.szAlgorithm, strnlen(r.szAlgorithm, sizeof r.szAlgorithm)));
      }
    };
    Add(m_pdatabase->DeviceGetEcdoHeader()->adbecdorecord, DB_ECDO_RECORDS);
    Add(m_pdatabase->DeviceGetEcdoCustomHeader()->adbecdorecord, DB_ECDOCUSTOM_RECORDS);
    return vec;
  }
  // The named records of both lists as the merge model prints them.
  std::string Lists() {
    CDbLockGuard dblockguard;
    std::string str;
    const auto Add = [&](const char* a_szList, const DbEcdoRecord* a_adbecdorecord, long a_lCount) {
      for (long l = 0; l < a_lCount && a_adbecdorecord[l].szName[0]; ++l) {
        const DbEcdoRecord& r = a_adbecdorecord[l];
        str += std::string(a_szList) + "\t" + r.szName + "\t" + r.szNameFlatbed + "\t" + r.szLabel + "\t" + r.szKind +
               "\t" + r.szAlgorithm + "\n";
      }
    };
    Add("main", m_pdatabase->DeviceGetEcdoHeader()->adbecdorecord, DB_ECDO_RECORDS);
    Add("custom", m_pdatabase->DeviceGetEcdoCustomHeader()->adbecdorecord, DB_ECDOCUSTOM_RECORDS);
    return str;
  }
  // The model's lists for the same units.
  std::string Model(const std::vector<std::string>& a_vecArguments) {
    std::string strLabel;
    {
      CDbLockGuard dblockguard;
      strLabel = m_pdatabase->LabelGet("enum_ecdo_(none)", "???", -1);
    }
    std::vector<std::string> vecArgv = {SCANDRV_PYTHON, SCANDRV_DEV_TESTS "/ecdo_merge_model.py", strLabel};
    vecArgv.insert(vecArgv.end(), a_vecArguments.begin(), a_vecArguments.end());
    int iStatus = -1;
    const std::string strModel = testsupport::RunProgram(vecArgv, &iStatus);
    EXPECT_EQ(iStatus, 0) << strModel;
    return strModel;
  }

  // The stand-in's getecdo reply, asked as the engine asks.
  std::string NexilReply() {
    COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity);
    osxmltask.StartTask(0, 0, nullptr);
    osxmltask.StartCommand("getecdo", 1);
    osxmltask.AddArgument("language", "en_usa");
    osxmltask.AddArgument("ecdotype", "default");
    osxmltask.FinalizeCommand("getecdo");
    osxmltask.FinalizeTask();
    const char* szReply = Impl().NexEntry(DB_FIRMWARE_ADF, &osxmltask);
    return szReply ? szReply : "";
  }
  // GetEcdo's lists against the probe's filling from the reply.
  void ExpectAsTheProbe(const std::string& a_strReplyPath) {
    ASSERT_EQ(Impl().GetEcdo(), OS_STS_SUCCESS);
    const std::vector<std::string> vecEngine = Records();
    ASSERT_TRUE(rulesdropouts::Run(*m_pdatabase, {"ecdofill", a_strReplyPath, a_strReplyPath}));
    EXPECT_EQ(Records(), vecEngine);
    EXPECT_NE(vecEngine[1], "0|||||") << "the lists hold no choice";
  }
};

TEST_F(DevEcdo, TheStandInsListsAsTheProbeFillsThem) {
  Open();
  const std::string strPath = testsupport::RootPath("standin-getecdo.xml");
  testsupport::WriteFile(strPath, NexilReply());
  ExpectAsTheProbe(strPath);
  // The multiple-colour choice leads, form data next, then the others.
  EXPECT_EQ(testsupport::Lines(Lists())[1].substr(0, 12), "main\tfile04\t");
  EXPECT_EQ(testsupport::Lines(Lists())[2].substr(0, 12), "main\tfile05\t");
}

// The probe's German reply, answered by the stand-in choice by choice.
TEST_F(DevEcdo, TheGermanReplyListsAsTheProbeFillsIt) {
  const std::string strXml = testsupport::ReadFile(SCANDRV_TEST_DATA "/db/rules/getecdo_de.xml");
  std::vector<std::string> vecLines;
  const std::regex regexElement("<(ecdo|text|algorithm)>([^<]*)<");
  for (auto it = std::sregex_iterator(strXml.begin(), strXml.end(), regexElement); it != std::sregex_iterator(); ++it) {
    if ((*it)[1] == "ecdo") vecLines.emplace_back((*it)[2]);
    else vecLines.back() += "\t" + std::string((*it)[2]);
  }
  // "file01" has no algorithm: its line ends with its text.
  ASSERT_EQ(vecLines.size(), 5u);
  setenv("NEXSIM_ADF_ECDOFILE", ChoicesFile("de.txt", vecLines).c_str(), 1);
  Open();
  ExpectAsTheProbe(SCANDRV_TEST_DATA "/db/rules/getecdo_de.xml");
}

// A unit without a flatbed offering a normal, a multiple-colour and a
// custom choice, in this order.
TEST_F(DevEcdo, ThreeChoicesOfOneUnit) {
  setenv("NEXSIM_ADF_ECDOFILE",
         ChoicesFile("three.txt", {"red\tRed\tnormal", "multi\tMulti\tpmcdo", "mine\tMine\tlearnt"}).c_str(), 1);
  Open();
  std::string strNone;
  {
    CDbLockGuard dblockguard;
    strNone = m_pdatabase->LabelGet("enum_ecdo_(none)", "???", -1);
  }
  EXPECT_EQ(Lists(), "main\t(none)\t(none)\t" + strNone + "\tnormal\tnormal\n"
                     "main\tmulti\tmulti\tMulti\tpmcdo\tpmcdo\n"
                     "main\tred\tred\tRed\tnormal\tnormal\n"
                     "custom\t(none)\t(none)\t" + strNone + "\tdiscovery\tdiscovery\n"
                     "custom\tmine\tmine\tMine\tlearnt\tlearnt\n");
}

// The merge against the model: which units answer, and what each offers.
struct MergeCase {
  const char* szName;
  bool blFlatbed;
  bool blFlatbedFails;  // its reply says "fail"
  bool blNexilOff;
  bool blFeederCut;  // its reply ends halfway
};
class DevEcdoMerge : public DevEcdo, public ::testing::WithParamInterface<MergeCase> {};

TEST_P(DevEcdoMerge, ListsAsTheModelMergesThem) {
  const MergeCase& mergecase = GetParam();
  // A normal, a multiple-colour and a custom choice, and more: a second multiple-colour choice after
  // the others, a form-data one, one without an algorithm, two custom ones.
  const std::string strFeeder =
      ChoicesFile("feeder.txt", {"file01\tRed\tnormal", "file04\tPredominant\tpmcdo", "file09\tMine\tlearnt",
                                 "file05\tForm\tnormalformdata", "file02\tGreen", "file07\tSecond\tpmcdo",
                                 "file10\tYours\tlearnt", "file03\tBlue\tnormal"});
  // The flatbed offers part of them, in another order, and one of its own.
  const std::string strFlatbed = ChoicesFile(
      "flatbed.txt", {"file03\tBlau\tnormal", "file07\tZweite\tpmcdo", "file08\tOnly\tnormal", "file01\tRot\tnormal",
                      "file10\tDeins\tlearnt", "file05\tForm\tnormalformdata"});
  setenv("NEXSIM_ADF_ECDOFILE", strFeeder.c_str(), 1);
  setenv("NEXSIM_FLATBED_ECDOFILE", strFlatbed.c_str(), 1);
  if (mergecase.blFlatbedFails) setenv("NEXSIM_FLATBED_ECDOWORD", "fail", 1);
  if (mergecase.blNexilOff) SetConfigured(OS_CFGTAG_FORCENEXILOFF, "1");
  if (mergecase.blFeederCut) setenv("NEXSIM_ADF_ECDOCUT", "1", 1);
  Open(mergecase.blFlatbed);
  std::vector<std::string> vecArguments;
  if (!mergecase.blFeederCut) vecArguments = {"--feeder", strFeeder};
  if (mergecase.blFlatbed && !mergecase.blFlatbedFails) {
    vecArguments.insert(vecArguments.end(), {"--flatbed", strFlatbed});
  }
  if (mergecase.blNexilOff) vecArguments.push_back("--nexil-off");
  const std::string strModel = Model(vecArguments);
  EXPECT_EQ(Lists(), strModel);
  // Asked again, the lists are the same.
  ASSERT_EQ(Impl().GetEcdo(), OS_STS_SUCCESS);
  EXPECT_EQ(Lists(), strModel);
  if (mergecase.blFlatbedFails) {
    EXPECT_TRUE(m_plog->Contains("<reportstatus> from <getecdo> failed...<fail>"));
  }
  if (mergecase.blFeederCut) {
    EXPECT_TRUE(m_plog->Contains("Fail to DocumentLoad..."));
  }
  // The image library is asked only when it is there.
  size_t sizetAsked = 0;
  for (const LoggedTask& loggedtask : devtest::ReadTaskLog(testsupport::RootPath("nexil.log")))
    sizetAsked += loggedtask.strCommand == "getecdo";
  EXPECT_EQ(sizetAsked, mergecase.blNexilOff ? 0u : (mergecase.blFlatbed ? 4u : 2u));
}

INSTANTIATE_TEST_SUITE_P(Units, DevEcdoMerge,
                         ::testing::Values(MergeCase{"FeederOnly", false, false, false, false},
                                           MergeCase{"FeederAndFlatbed", true, false, false, false},
                                           MergeCase{"FlatbedFails", true, true, false, false},
                                           MergeCase{"FeederNotXml", true, false, false, true},
                                           MergeCase{"NexilOffWithoutEcdoKey", false, false, true, false}),
                         [](const ::testing::TestParamInfo<MergeCase>& a_info) { return a_info.param.szName; });

// A model whose feeder knows its own choices ("ecdo"): they come from the
// device manager, under the resource lock, even with the image library off.
TEST_F(DevEcdo, TheDeviceManagersListUnderTheResourceLock) {
  const std::string strInquiry = testsupport::RootPath("ecdo.inquiry");
  testsupport::WriteFile(strInquiry, "<supported><id>ecdo</id></supported>");
  const std::string strChoices =
      ChoicesFile("device.txt", {"dev01\tDropout red\tnormal", "dev02\tMulti\tpmcdo", "dev03\tLearnt\tmine"});
  SetSimulation({{"adf.inquiry", strInquiry}, {"adf.ecdofile", strChoices}});
  SetConfigured(OS_CFGTAG_FORCENEXILOFF, "1");
  Open();
  ASSERT_TRUE(m_pdatabase->ConfigExists("ecdo", DB_CONFIGTARGET_ADF));
  const std::string strModel = Model({"--feeder", strChoices});
  EXPECT_EQ(Lists(), strModel);
  const auto Locked = [](const std::vector<std::string>& a_vecCommands) {
    // Before each getecdo the nearest lock task is a resourcelock, and a resourceunlock follows it.
    for (size_t i = 0; i < a_vecCommands.size(); ++i) {
      if (a_vecCommands[i] != "getecdo") continue;
      size_t sizetLock = i, sizetUnlock = i;
      const auto Lock = [&](size_t a_sizet) {
        return a_vecCommands[a_sizet] == "resourcelock" || a_vecCommands[a_sizet] == "resourceunlock";
      };
      while (sizetLock > 0 && !Lock(sizetLock)) --sizetLock;
      while (sizetUnlock + 1 < a_vecCommands.size() && a_vecCommands[sizetUnlock] != "resourceunlock") ++sizetUnlock;
      if (a_vecCommands[sizetLock] != "resourcelock" || a_vecCommands[sizetUnlock] != "resourceunlock") return false;
    }
    return true;
  };
  std::vector<std::string> vecCommands = devtest::Commands(Tasks());
  EXPECT_EQ(std::count(vecCommands.begin(), vecCommands.end(), "getecdo"), 1) << testing::PrintToString(vecCommands);
  EXPECT_TRUE(Locked(vecCommands)) << testing::PrintToString(vecCommands);
  for (const LoggedTask& loggedtask : Tasks()) {
    if (loggedtask.strCommand == "getecdo") {
      EXPECT_EQ(loggedtask.Arguments(), "language=en_usa ecdotype=default");
    }
  }
  // Asked again once the open is done, the lock is its own.
  const size_t sizetBefore = vecCommands.size();
  ASSERT_EQ(Impl().GetEcdo(), OS_STS_SUCCESS);
  vecCommands = devtest::Commands(Tasks());
  EXPECT_EQ(std::vector<std::string>(vecCommands.begin() + static_cast<long>(sizetBefore), vecCommands.end()),
            (std::vector<std::string>{"resourcelock", "getecdo", "resourceunlock"}));
  EXPECT_EQ(Lists(), strModel);
}

// A language change has the lists fetched again through ECDO's load
// callback, inside the database's pass and so under its lock: the image
// library is asked in the new language and the lists come back whole.
TEST_F(DevEcdo, ALanguageChangeFetchesTheListsAgain) {
  Open();
  const std::string strBefore = Lists();
  {
    CDbLockGuard dblockguard;
    ASSERT_EQ(m_pdatabase->SetCurrentLongFromId(DB_ID_LANGUAGE, OS_LANGUAGE_DE_DEU, false), DB_STS_SUCCESS);
  }
  std::vector<std::string> vecLanguages;
  for (const LoggedTask& loggedtask : devtest::ReadTaskLog(testsupport::RootPath("nexil.log"))) {
    if (loggedtask.strCommand == "getecdo") vecLanguages.push_back(loggedtask.Arg("language"));
  }
  EXPECT_EQ(vecLanguages, (std::vector<std::string>{"en_usa", "de_deu"}));
  EXPECT_EQ(Lists(), strBefore);
}

// Without the working lists: logged, 1, and both lists hold "(none)" alone.
TEST_F(DevEcdo, WorkingListsThatCannotBeAllocated) {
  Open();
  ASSERT_GT(testsupport::Lines(Lists()).size(), 2u) << "the open filled the lists";
  OsMemSetAllocFault(sizeof(DevEcdoCustom));
  const EOSSTS eossts = Impl().GetEcdo();
  OsMemSetAllocFault(0);
  EXPECT_EQ(eossts, OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("OsMemAlloc failed..."));
  EXPECT_EQ(Lists(), Model({"--nexil-off"}));
}

}  // namespace
