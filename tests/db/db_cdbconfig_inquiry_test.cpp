// Reading the model configuration: the built-in DBCONFIG resource, the
// inquiry fixtures of a feeder-only model, a feeder+flatbed model and the
// image-processing library through ProcessReportInquiry and
// ProcessReportInquiryXml, compared whole with the tables that a Python
// script lists; the derived keys; refused texts and models that leave the
// table as it was.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db_cdbconfig.h"
#include "db_cdbconfig_testutil.h"
#include "db_cdbconfigimpl.h"
#include "dev_cdev.h"
#include "os_coscfg.h"
#include "os_coslocale.h"
#include "os_cosresource.h"

using dbconfigtest::Expected;
using dbconfigtest::Fixture;
using dbconfigtest::InquiryContent;
using dbconfigtest::Table;
using testsupport::LogCapture;

namespace {

const std::string s_strMapleBFeeder = "inquiry_mapleb_feeder.xml";
const std::string s_strMapleCFeeder = "inquiry_maplec_feeder.xml";
const std::string s_strMapleCFlatbed = "inquiry_maplec_flatbed.xml";
const std::string s_strNexil = "inquiry_nexil.xml";

// Stores a fixture reply's inquiry as the device engine does.
bool Load(CDbConfig& a_dbconfig, const std::string& a_strFixture, bool a_blInterfaceOpen, bool a_blNexil,
          EDBID_FIRMWARE a_edbidfirmware) {
  const std::string strContent = InquiryContent(Fixture(a_strFixture));
  EXPECT_FALSE(strContent.empty()) << a_strFixture;
  return a_dbconfig.LoadReportInquiry(strContent.c_str(), 0, a_blInterfaceOpen, a_blNexil, a_edbidfirmware);
}

class DbConfigInquiry : public ::testing::Test {
 protected:
  LogCapture m_log;
  // No device to ask: a flatbed counts as online.
  CDev* m_pdev = nullptr;
  CDbConfig m_dbconfig{nullptr};
};

}  // namespace

// ---------------------------------------------------------------------------
// The DBCONFIG resource
// ---------------------------------------------------------------------------
TEST(DbConfigResource, TheLibraryCarriesTheSourceText) {
  COsResource osresource;
  ASSERT_EQ(osresource.Open(OS_RESOURCE_LOCAL, "DBCONFIG", OS_RESOURCETYPE_DATA), OS_STS_SUCCESS);
  const std::string strResource(static_cast<const char*>(osresource.GetPointer()), osresource.GetSize());
  osresource.Close();
  EXPECT_EQ(strResource, testsupport::ReadFile(std::string(SCANDRV_TEST_DATA) + "/../../db/dbconfig.xml"));

  // Judged by the Python library: CR LF line ends only, no comments, the root
  // and its sections each holding one inquiry with exactly these elements,
  // id first.
  const std::string strPath = testsupport::RootPath("dbconfig.xml");
  testsupport::WriteFile(strPath, strResource);
  const std::string strListing = testsupport::RunPython(
      "import sys, xml.etree.ElementTree as ET\n"
      "raw = open(sys.argv[1], 'rb').read()\n"
      "assert raw.count(b'\\n') == raw.count(b'\\r\\n') > 0 and b'<!--' not in raw\n"
      "root = ET.fromstring(raw)\n"
      "print(root.tag)\n"
      "for section in root:\n"
      "    assert len(section) == 1 and section[0].tag == 'reportinquiry'\n"
      "    for element in section[0]:\n"
      "        assert element[0].tag == 'id'\n"
      "        print(section.tag, element.tag, ' '.join(c.tag + '=' + (c.text or '') for c in element))\n",
      {strPath});
  EXPECT_EQ(strListing,
            "dbconfig\n"
            "common enum id=componenttab value=false\n"
            "common range id=zoomtofitwidth rangemax=17700\n"
            "common supported id=documentmediatypeperside\n"
            "mapleB string id=modelnamedialog value=PEMRA mapleB Scanner\n"
            "mapleB supported id=nexilimageformatbw\n"
            "mapleC string id=modelnamedialog value=PEMRA mapleC Scanner\n"
            "mapleC supported id=nexilimageformatbw\n");
}

TEST(DbConfigResource, TheCommonSectionIsReadAtConstruction) {
  LogCapture log;
  {
    CDbConfig dbconfig(nullptr);
    EXPECT_EQ(Table(dbconfig, log), Expected("common"));
  }
  EXPECT_TRUE(log.Contains("new CDbConfigImpl"));
  EXPECT_TRUE(log.Contains("new COsXml"));
  EXPECT_TRUE(log.Contains("cfg>>> DBCONFIG=<dbconfig>"));
  EXPECT_TRUE(log.Contains("delete-object"));
}

// ---------------------------------------------------------------------------
// Whole models
// ---------------------------------------------------------------------------
struct ModelCase {
  const char* szScenario;
  std::function<void(CDbConfig&)> fnLoad;  // stores the texts and the model names
  std::function<void(CDbConfig&)> fnAfter;
};
void PrintTo(const ModelCase& a_modelcase, std::ostream* a_postream) { *a_postream << a_modelcase.szScenario; }

class DbConfigModel : public DbConfigInquiry, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(DbConfigModel, ReadsExactlyTheExpectedTable) {
  GetParam().fnLoad(m_dbconfig);
  ASSERT_TRUE(m_dbconfig.ProcessReportInquiry(nullptr, m_pdev)) << m_log.Text();
  if (GetParam().fnAfter) GetParam().fnAfter(m_dbconfig);
  EXPECT_EQ(Table(m_dbconfig, m_log), Expected(GetParam().szScenario));
  EXPECT_TRUE(m_log.Contains("cfg>>> process report inquiry done"));
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, DbConfigModel,
    ::testing::Values(
        ModelCase{"mapleb",
                  [](CDbConfig& a_dbconfig) {
                    a_dbconfig.SetString("model", "mapleB", DB_CONFIGTARGET_ADF);
                    ASSERT_TRUE(Load(a_dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF));
                  },
                  nullptr},
        ModelCase{"maplec",
                  [](CDbConfig& a_dbconfig) {
                    a_dbconfig.SetString("model", "mapleC", DB_CONFIGTARGET_ADF);
                    a_dbconfig.SetString("model", "mapleC", DB_CONFIGTARGET_FLATBED);
                    ASSERT_TRUE(Load(a_dbconfig, s_strMapleCFlatbed, false, false, DB_FIRMWARE_FLATBED));
                    ASSERT_TRUE(Load(a_dbconfig, s_strMapleCFeeder, false, false, DB_FIRMWARE_ADF));
                  },
                  nullptr},
        // The image library's inquiry kept with the feeder's interface-open
        // reply is read before the feeder's own inquiry.
        ModelCase{"mapleb_nexil_kept",
                  [](CDbConfig& a_dbconfig) {
                    a_dbconfig.SetString("model", "mapleB", DB_CONFIGTARGET_ADF);
                    ASSERT_TRUE(Load(a_dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF));
                    ASSERT_TRUE(Load(a_dbconfig, s_strNexil, true, true, DB_FIRMWARE_ADF));
                  },
                  nullptr},
        // The image library's reply read afterwards under the prefix
        // "nexil", with a reader made anew.
        ModelCase{"mapleb_nexil_prefixed",
                  [](CDbConfig& a_dbconfig) {
                    a_dbconfig.SetString("model", "mapleB", DB_CONFIGTARGET_ADF);
                    ASSERT_TRUE(Load(a_dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF));
                  },
                  [](CDbConfig& a_dbconfig) {
                    EXPECT_TRUE(a_dbconfig.ProcessReportInquiryXml("nexil", Fixture(s_strNexil).c_str(),
                                                                   DB_FIRMWARE_ADF));
                  }}),
    [](const ::testing::TestParamInfo<ModelCase>& a_info) { return std::string(a_info.param.szScenario); });

TEST_F(DbConfigInquiry, ReadsThroughTheGetters) {
  m_dbconfig.SetString("model", "mapleB", DB_CONFIGTARGET_ADF);
  ASSERT_TRUE(Load(m_dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF));
  ASSERT_TRUE(m_dbconfig.ProcessReportInquiry(nullptr, m_pdev));
  EXPECT_STREQ(m_dbconfig.GetString("modelnamedialog", DB_CONFIGTARGET_COMMON), "PEMRA mapleB Scanner");
  EXPECT_STREQ(m_dbconfig.GetString("printer", DB_CONFIGTARGET_COMMON), "postimagerear");
  EXPECT_EQ(m_dbconfig.GetNumber("firmwareversion", DB_CONFIGTARGET_COMMON), 20141105);
  EXPECT_EQ(m_dbconfig.RangeGetMax("sheetheight", DB_CONFIGTARGET_COMMON), 33000u);
  EXPECT_EQ(m_dbconfig.RangeGetMax("sheetheight", DB_CONFIGTARGET_ADF), 33000u);
  EXPECT_EQ(static_cast<int64_t>(m_dbconfig.RangeGetMin("thinthickenamount", DB_CONFIGTARGET_COMMON)), -2);
  EXPECT_TRUE(m_dbconfig.Exists("duplex", DB_CONFIGTARGET_COMMON));
  EXPECT_TRUE(m_dbconfig.Exists("ecdo", DB_CONFIGTARGET_ADF));
  EXPECT_FALSE(m_dbconfig.Exists("ecdo", DB_CONFIGTARGET_COMMON));
  EXPECT_FALSE(m_dbconfig.Exists("ia", DB_CONFIGTARGET_COMMON));
  EXPECT_TRUE(m_dbconfig.EnumExists("indexingformat", "imageaddress", DB_CONFIGTARGET_COMMON));
  // The values of an id in ascending order, whatever the reply's order.
  std::vector<std::string> vstr;
  for (const char* sz = m_dbconfig.EnumGetFirst("imageformat", DB_CONFIGTARGET_COMMON); sz;
       sz = m_dbconfig.EnumGetNext("imageformat", sz, DB_CONFIGTARGET_COMMON)) {
    vstr.push_back(sz);
  }
  EXPECT_EQ(vstr, (std::vector<std::string>{"bw", "gray_8", "rgb_24"}));
}

// ---------------------------------------------------------------------------
// Derived keys
// ---------------------------------------------------------------------------
TEST_F(DbConfigInquiry, AFlatbedAloneGivesTheModelAndTheSheet) {
  m_dbconfig.SetString("model", "mapleC", DB_CONFIGTARGET_FLATBED);
  ASSERT_TRUE(Load(m_dbconfig, s_strMapleCFlatbed, false, false, DB_FIRMWARE_FLATBED));
  ASSERT_TRUE(m_dbconfig.ProcessReportInquiry(nullptr, m_pdev)) << m_log.Text();
  EXPECT_STREQ(m_dbconfig.GetString("modelnamedialog", DB_CONFIGTARGET_COMMON), "PEMRA mapleC Scanner");
  EXPECT_EQ(m_dbconfig.RangeGetMax("sheetheight", DB_CONFIGTARGET_COMMON), 14028u);
  EXPECT_EQ(m_dbconfig.RangeGetMax("sheetwidth", DB_CONFIGTARGET_COMMON), 10200u);
  // A rear camera alone is no duplex.
  EXPECT_FALSE(m_dbconfig.Exists("duplex", DB_CONFIGTARGET_COMMON));
}

TEST_F(DbConfigInquiry, AFlatbedThatWentOfflineIsLeftOut) {
  // A device whose interface is not open reports itself off line.
  CDev devOffline(nullptr, nullptr, nullptr);
  m_pdev = &devOffline;
  m_dbconfig.SetString("modeldirectoryflatbed", "maplecflatbed", DB_CONFIGTARGET_COMMON);
  ASSERT_TRUE(Load(m_dbconfig, s_strMapleCFeeder, false, false, DB_FIRMWARE_ADF));
  ASSERT_TRUE(Load(m_dbconfig, s_strMapleCFlatbed, false, false, DB_FIRMWARE_FLATBED));
  ASSERT_TRUE(m_dbconfig.ProcessReportInquiry("mapleC", m_pdev));
  EXPECT_TRUE(m_log.Contains("cfg>>> flatbed was removed during initialization..."));
  EXPECT_FALSE(m_dbconfig.Exists("metertypeenabled", DB_CONFIGTARGET_FLATBED));
  EXPECT_EQ(m_dbconfig.RangeGetMax("sheetwidth", DB_CONFIGTARGET_COMMON), 8700u);
  EXPECT_FALSE(m_dbconfig.Exists("duplex", DB_CONFIGTARGET_COMMON));
}

TEST_F(DbConfigInquiry, AnOnlineFlatbedIsReadEvenWithItsDirectory) {
  m_dbconfig.SetString("modeldirectoryflatbed", "maplecflatbed", DB_CONFIGTARGET_COMMON);
  ASSERT_TRUE(Load(m_dbconfig, s_strMapleCFlatbed, false, false, DB_FIRMWARE_FLATBED));
  ASSERT_TRUE(m_dbconfig.ProcessReportInquiry("mapleC", m_pdev));
  EXPECT_TRUE(m_dbconfig.Exists("metertypeenabled", DB_CONFIGTARGET_FLATBED));
  EXPECT_FALSE(m_log.Contains("flatbed was removed"));
}

// Without the image library the bitonal format the model's own section
// marks as the library's goes away; only then.
struct NexilOffCase {
  const char* szName;
  const char* szForceNexilOff;
  bool blNexilSupported;
  bool blBwKept;
};
void PrintTo(const NexilOffCase& a_nexiloffcase, std::ostream* a_postream) { *a_postream << a_nexiloffcase.szName; }

class DbConfigNexilOff : public ::testing::TestWithParam<NexilOffCase> {};

TEST_P(DbConfigNexilOff, DropsTheBitonalFormat) {
  static bool s_blSupported;
  s_blSupported = GetParam().blNexilSupported;
  const DbConfigDatabaseQueries dbconfigdatabasequeries = {[](CDatabase*) -> long { return OS_LANGUAGE_EN_USA; },
                                                           [](CDatabase*) { return s_blSupported; }};
  CDbConfigImpl::SetDatabaseQueries(&dbconfigdatabasequeries);
  COsCfg cfg("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
  cfg.Set(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, GetParam().szForceNexilOff);
  CDev dev(nullptr, nullptr, nullptr);
  CDbConfig dbconfig(nullptr);
  ASSERT_TRUE(Load(dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF));
  ASSERT_TRUE(dbconfig.ProcessReportInquiry("mapleB", &dev));
  EXPECT_EQ(dbconfig.EnumExists("imageformat", "bw", DB_CONFIGTARGET_COMMON), GetParam().blBwKept);
  EXPECT_TRUE(dbconfig.EnumExists("imageformat", "gray_8", DB_CONFIGTARGET_COMMON));
  CDbConfigImpl::SetDatabaseQueries(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, DbConfigNexilOff,
                         ::testing::Values(NexilOffCase{"Off", "1", true, false},
                                           NexilOffCase{"OffInHex", "0x10", true, false},
                                           NexilOffCase{"On", "0", true, true}, NexilOffCase{"Unset", "", true, true},
                                           NexilOffCase{"OffButUnsupported", "1", false, true}),
                         [](const ::testing::TestParamInfo<NexilOffCase>& a_info) {
                           return std::string(a_info.param.szName);
                         });

// ---------------------------------------------------------------------------
// Refusals that leave the table as it was
// ---------------------------------------------------------------------------
TEST_F(DbConfigInquiry, AnUnknownModelLeavesTheTableAsItWas) {
  m_dbconfig.SetNumber("kept", 7, DB_CONFIGTARGET_COMMON);
  ASSERT_TRUE(Load(m_dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF));
  const std::vector<std::string> vstrBefore = Table(m_dbconfig, m_log);
  // Names of no section, names of the sections' own elements, names that
  // cannot be a tag, names too long for a tag.
  for (const std::string& strModel :
       {std::string("mapleZ"), std::string("maple"), std::string("mapleBB"), std::string("dbconfig"),
        std::string("reportinquiry"), std::string("enum"), std::string("id"), std::string("a<b"),
        std::string("a/b"), std::string("a>b"), std::string(61, 'm'), std::string(100, 'm')}) {
    EXPECT_FALSE(m_dbconfig.ProcessReportInquiry(strModel.c_str(), m_pdev)) << strModel;
    EXPECT_TRUE(m_log.Contains("cfg>>> Model is not supported...<" + strModel + "> <")) << strModel;
    EXPECT_EQ(Table(m_dbconfig, m_log), vstrBefore) << strModel;
  }
  // The texts are still there for the right model.
  EXPECT_TRUE(m_dbconfig.ProcessReportInquiry("mapleB", m_pdev));
  EXPECT_TRUE(m_dbconfig.Exists("processreportinquirydone", DB_CONFIGTARGET_COMMON));
}

// Feeder texts that the reading refuses, each after good elements so that a
// half-stored reading would show.
struct BadTextCase {
  const char* szName;
  const char* szInquiry;
  const char* szMessage;
};
void PrintTo(const BadTextCase& a_badtextcase, std::ostream* a_postream) { *a_postream << a_badtextcase.szName; }

class DbConfigBadText : public DbConfigInquiry, public ::testing::WithParamInterface<BadTextCase> {};

#define SHEET                                                                                     \
  "<range><id>sheetheight</id><rangemax>13200</rangemax></range>"                                 \
  "<range><id>sheetwidth</id><rangemax>10200</rangemax></range><enum><id>cameratype</id><value>front</value>" \
  "<value>rear</value></enum>"

const BadTextCase s_abadtextcase[] = {
    {"IdTwice", SHEET "<range><id>a</id><id>b</id><rangemax>1</rangemax></range>",
     "cfg>>> we already have an id...<a> vs <b>"},
    {"RangeminBeforeId", SHEET "<range><rangemin>5</rangemin><id>a</id></range>",
     "cfg>>> id had not been specified...<5>"},
    {"RangemaxBeforeId", SHEET "<range><rangemax>6</rangemax><id>a</id></range>", "cfg>>> id not specified...<6>"},
    {"EnumValueBeforeId", SHEET "<enum><value>x</value><id>a</id></enum>", "cfg>>> id not specified...<x>"},
    {"StringValueBeforeId", SHEET "<string><value>y</value><id>a</id></string>",
     "cfg>>> id had not been specified...<y>"},
    {"NotXml", SHEET "<range><id>a</id></rangemax>", "cfg>>> DispatchLoadAndDispatch failed..."},
    {"NoSheetHeight", "<range><id>sheetwidth</id><rangemax>10200</rangemax></range><supported><id>x</id></supported>",
     "cfg>>> sheetheight not found..."},
    {"NoSheetWidth", "<range><id>sheetheight</id><rangemax>10200</rangemax></range><supported><id>x</id></supported>",
     "cfg>>> sheetwidth not found..."},
    // A whole reply task holds its inquiry beyond the first 32 characters:
    // it is wrapped, and nothing inside is read.
    {"WholeTask",
     "<task id='00000000000000000001' reply='00000000000000000000' bytes='00000000000000000000'><reportinquiry>" SHEET
     "</reportinquiry></task>",
     "cfg>>> sheetheight not found..."},
};

TEST_P(DbConfigBadText, LeavesTheTableAsItWas) {
  m_dbconfig.SetString("model", "mapleB", DB_CONFIGTARGET_ADF);
  ASSERT_TRUE(m_dbconfig.LoadReportInquiry(GetParam().szInquiry, 0, false, false, DB_FIRMWARE_ADF));
  const std::vector<std::string> vstrBefore = Table(m_dbconfig, m_log);
  EXPECT_FALSE(m_dbconfig.ProcessReportInquiry(nullptr, m_pdev));
  EXPECT_TRUE(m_log.Contains(GetParam().szMessage)) << m_log.Text();
  EXPECT_EQ(Table(m_dbconfig, m_log), vstrBefore);
  // Texts, resource and reader stay: a second try fails the same way.
  EXPECT_FALSE(m_dbconfig.ProcessReportInquiry(nullptr, m_pdev));
  EXPECT_FALSE(m_log.Contains("pod.m_posxml is NULL"));
  EXPECT_EQ(Table(m_dbconfig, m_log), vstrBefore);
}

INSTANTIATE_TEST_SUITE_P(Texts, DbConfigBadText, ::testing::ValuesIn(s_abadtextcase),
                         [](const ::testing::TestParamInfo<BadTextCase>& a_info) {
                           return std::string(a_info.param.szName);
                         });

// Elements that cannot make a key are skipped with a line; the rest of the
// text is read.
TEST_F(DbConfigInquiry, ElementsThatCannotBeKeysAreSkipped) {
  const std::string strLongId(64, 'i'), strLongValue(300, 'v');
  const std::string strInquiry = SHEET "<enum><id>" + strLongId + "</id><value>a</value></enum>"
                                       "<range><id>" + strLongId + "</id><rangemax>1</rangemax></range>"
                                       "<enum><id>e</id><value>" + strLongValue + "</value><value>ok</value></enum>"
                                       "<string><id>" + std::string(63, 's') + "</id><value>t</value></string>"
                                       "<range><id>big</id><rangemin>-99999999999999999999999</rangemin>"
                                       "<rangemax>99999999999999999999999</rangemax></range>";
  ASSERT_TRUE(m_dbconfig.LoadReportInquiry(strInquiry.c_str(), 0, false, false, DB_FIRMWARE_ADF));
  ASSERT_TRUE(m_dbconfig.ProcessReportInquiry("mapleB", m_pdev)) << m_log.Text();
  EXPECT_TRUE(m_log.Contains("cfg>>> id too long, element skipped...<" + strLongId + ">"));
  EXPECT_TRUE(m_log.Contains("cfg>>> key does not fit...<e_enum_"));
  EXPECT_TRUE(m_dbconfig.EnumExists("e", "ok", DB_CONFIGTARGET_COMMON));
  EXPECT_STREQ(m_dbconfig.EnumGetFirst("e", DB_CONFIGTARGET_COMMON), "ok");
  EXPECT_STREQ(m_dbconfig.GetString(std::string(63, 's').c_str(), DB_CONFIGTARGET_COMMON), "t");
  // No key was made from a cut id.
  for (const std::string& strLine : Table(m_dbconfig, m_log)) EXPECT_EQ(strLine.find("iii"), std::string::npos);
  // Long digit runs saturate.
  EXPECT_EQ(static_cast<int64_t>(m_dbconfig.RangeGetMax("big", DB_CONFIGTARGET_COMMON)), INT64_MAX);
  EXPECT_EQ(static_cast<int64_t>(m_dbconfig.RangeGetMin("big", DB_CONFIGTARGET_COMMON)), INT64_MIN);
}

TEST_F(DbConfigInquiry, ProcessingNeedsTextsAModelAndOnlyOnce) {
  EXPECT_FALSE(m_dbconfig.ProcessReportInquiry("mapleB", m_pdev));
  EXPECT_TRUE(m_log.Contains("cfg>>> must call LoadReportInquiry first..."));
  // An interface-open text alone is no inquiry of a unit.
  ASSERT_TRUE(Load(m_dbconfig, s_strMapleBFeeder, true, false, DB_FIRMWARE_ADF));
  EXPECT_FALSE(m_dbconfig.ProcessReportInquiry("mapleB", m_pdev));

  ASSERT_TRUE(Load(m_dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF));
  EXPECT_FALSE(m_dbconfig.ProcessReportInquiry(nullptr, m_pdev));
  EXPECT_TRUE(m_log.Contains("cfg>>> must specify a model name..."));
  EXPECT_FALSE(m_dbconfig.ProcessReportInquiry("", m_pdev));

  // Without a device object the flatbed is taken as present.
  ASSERT_TRUE(m_dbconfig.ProcessReportInquiry("mapleB", nullptr));
  EXPECT_FALSE(m_dbconfig.ProcessReportInquiry("mapleB", m_pdev));
  EXPECT_TRUE(m_log.Contains("cfg>>> pod.m_szDbConfig is NULL ..."));
}

// The image library's reply read first (a device manager that completes
// its open later) released the reader: the model's inquiry is still read,
// with a reader made anew.
TEST_F(DbConfigInquiry, ProcessReportInquiryXmlFirstStillLetsTheModelBeRead) {
  ASSERT_TRUE(m_dbconfig.ProcessReportInquiryXml("nexil", Fixture(s_strNexil).c_str(), DB_FIRMWARE_ADF));
  ASSERT_TRUE(Load(m_dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF));
  EXPECT_TRUE(m_dbconfig.ProcessReportInquiry("mapleB", m_pdev)) << m_log.Text();
  EXPECT_FALSE(m_log.Contains("cfg>>> pod.m_posxml is NULL ..."));
  // A second reply is read with a reader made anew.
  EXPECT_TRUE(m_dbconfig.ProcessReportInquiryXml("nexil", Fixture(s_strNexil).c_str(), DB_FIRMWARE_ADF));
}

// ---------------------------------------------------------------------------
// Kept texts
// ---------------------------------------------------------------------------
TEST_F(DbConfigInquiry, EachSlotTakesOneText) {
  struct Slot {
    bool blInterfaceOpen, blNexil;
    EDBID_FIRMWARE edbidfirmware;
    const char* szMessage;
  };
  const Slot aslot[] = {
      {false, false, DB_FIRMWARE_ADF, "cfg>>> adf has already been loaded..."},
      {false, true, DB_FIRMWARE_BOTH, "cfg>>> adf has already been loaded..."},
      {true, false, DB_FIRMWARE_ADF, "cfg>>> adfinterfaceopen has already been loaded...1 0"},
      {true, true, DB_FIRMWARE_ADF, "cfg>>> adfinterfaceopen has already been loaded...1 1"},
      {false, false, DB_FIRMWARE_FLATBED, "cfg>>> flatbed has already been loaded..."},
      {true, false, DB_FIRMWARE_FLATBED, "cfg>>> flatbedinterfaceopen has already been loaded...1 0"},
      {true, true, DB_FIRMWARE_FLATBED, "cfg>>> flatbedinterfaceopen has already been loaded...1 1"},
  };
  // Each slot's first text; the second adf text (image-library flag, unit 3)
  // meets the first.
  const char* szFirst = "<supported><id>first</id></supported>" SHEET;
  for (const Slot& slot : aslot) {
    if (slot.blNexil && !slot.blInterfaceOpen) continue;
    EXPECT_TRUE(m_dbconfig.LoadReportInquiry(szFirst, 0, slot.blInterfaceOpen, slot.blNexil, slot.edbidfirmware));
  }
  for (const Slot& slot : aslot) {
    EXPECT_FALSE(m_dbconfig.LoadReportInquiry("<supported><id>second</id></supported>", 0, slot.blInterfaceOpen,
                                              slot.blNexil, slot.edbidfirmware))
        << slot.szMessage;
    EXPECT_TRUE(m_log.Contains(slot.szMessage)) << slot.szMessage;
  }
  // The first texts are the ones read.
  ASSERT_TRUE(m_dbconfig.ProcessReportInquiry("mapleB", m_pdev));
  EXPECT_TRUE(m_dbconfig.Exists("first", DB_CONFIGTARGET_COMMON));
  EXPECT_FALSE(m_dbconfig.Exists("second", DB_CONFIGTARGET_COMMON));
}

TEST_F(DbConfigInquiry, TextsAreWrappedUnlessTheyBeginWithTheInquiry) {
  // A text holding its own element near its start is kept as it is; the
  // given length cuts the text.
  const std::string strFeeder = "  <reportinquiry>" SHEET "</reportinquiry>";
  const std::string strFlatbed = "<supported><id>cut</id></supported><supported><id>beyond</id></supported>";
  ASSERT_TRUE(m_dbconfig.LoadReportInquiry(strFeeder.c_str(), 0, false, false, DB_FIRMWARE_ADF));
  ASSERT_TRUE(m_dbconfig.LoadReportInquiry(strFlatbed.c_str(), 35, false, false, DB_FIRMWARE_FLATBED));
  ASSERT_TRUE(m_dbconfig.ProcessReportInquiry("mapleB", m_pdev)) << m_log.Text();
  EXPECT_TRUE(m_dbconfig.Exists("duplex", DB_CONFIGTARGET_COMMON));
  EXPECT_TRUE(m_dbconfig.Exists("cut", DB_CONFIGTARGET_COMMON));
  EXPECT_FALSE(m_dbconfig.Exists("beyond", DB_CONFIGTARGET_COMMON));
}

TEST_F(DbConfigInquiry, EmptyTextsAreRefused) {
  EXPECT_FALSE(m_dbconfig.LoadReportInquiry(nullptr, 0, false, false, DB_FIRMWARE_ADF));
  EXPECT_FALSE(m_dbconfig.LoadReportInquiry("", 0, false, false, DB_FIRMWARE_ADF));
  EXPECT_TRUE(m_log.Contains("cfg>>> a_szXml is null or empty..."));
  // The slot is still free.
  EXPECT_TRUE(m_dbconfig.LoadReportInquiry("<supported><id>x</id></supported>", 0, false, false, DB_FIRMWARE_ADF));
}

// ---------------------------------------------------------------------------
// One reply at once
// ---------------------------------------------------------------------------
TEST_F(DbConfigInquiry, AReplyReadAtOnceTakesThePrefixAndTheUnit) {
  ASSERT_TRUE(m_dbconfig.ProcessReportInquiryXml("nexil", Fixture(s_strNexil).c_str(), DB_FIRMWARE_FLATBED));
  EXPECT_TRUE(m_dbconfig.EnumExists("nexil_barcodetype", "qrcode", DB_CONFIGTARGET_FLATBED));
  EXPECT_EQ(m_dbconfig.RangeGetMax("nexil_barcodecount", DB_CONFIGTARGET_FLATBED), 8u);
  EXPECT_TRUE(m_dbconfig.EnumExists("nexil_imageformat", "bw", DB_CONFIGTARGET_COMMON));
  EXPECT_TRUE(m_dbconfig.Exists("ecdo", DB_CONFIGTARGET_FLATBED));
  EXPECT_TRUE(m_dbconfig.Exists("processreportinquirydone", DB_CONFIGTARGET_COMMON));
  // The prefix belonged to that reply only.
  m_dbconfig.RangeSetMax("after", 1, DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(m_dbconfig.RangeGetMax("after", DB_CONFIGTARGET_COMMON), 1u);
  EXPECT_TRUE(m_log.Contains("cfg>>> add    after_rangemax"));

  // Without a prefix the ids stay plain.
  EXPECT_TRUE(m_dbconfig.ProcessReportInquiryXml(
      nullptr, "<reportinquiry><enum><id>barcodetype</id><value>ean</value></enum></reportinquiry>", DB_FIRMWARE_ADF));
  EXPECT_TRUE(m_dbconfig.EnumExists("barcodetype", "ean", DB_CONFIGTARGET_ADF));
}

TEST_F(DbConfigInquiry, RefusedRepliesReadAtOnce) {
  struct Case {
    const char* szXml;
    const char* szMessage;
  };
  const Case acase[] = {
      {nullptr, "cfg>>> process report inquiry Xml - no XML string provided..."},
      {"<task><reportstatus/></task>", "cfg>>> No <reportinquiry> sub-string found..."},
      {"<task><reportinquiry><supported><id>x</id></supported></task>",
       "cfg>>> No </reportinquiry> sub-string found..."},
      {"<task><reportinquiry><range><id>a</id><rangemax>1</rangemax></range><range><rangemin>1</rangemin></range>"
       "</reportinquiry></task>",
       "process report inquiry Xml failed..."},
  };
  const std::vector<std::string> vstrBefore = Table(m_dbconfig, m_log);
  for (const Case& c : acase) {
    EXPECT_FALSE(m_dbconfig.ProcessReportInquiryXml("nexil", c.szXml, DB_FIRMWARE_ADF)) << c.szMessage;
    EXPECT_TRUE(m_log.Contains(c.szMessage)) << c.szMessage;
    EXPECT_EQ(Table(m_dbconfig, m_log), vstrBefore) << c.szMessage;
  }
  // The refused reply left no prefix behind.
  m_dbconfig.RangeSetMax("after", 1, DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(m_dbconfig.RangeGetMax("after", DB_CONFIGTARGET_COMMON), 1u);
}

// ---------------------------------------------------------------------------
// Language
// ---------------------------------------------------------------------------
namespace {
long s_lLanguage = OS_LANGUAGE_EN_USA;
const DbConfigDatabaseQueries s_dbconfigdatabasequeries = {[](CDatabase*) { return s_lLanguage; },
                                                           [](CDatabase*) { return false; }};

struct LanguageCase {
  const char* szName;
  std::function<void(CDbConfig&)> fnSetUp;
  bool blDevice;
  EDBID_FIRMWARE edbidfirmware;
  long lLanguage;
  const char* szExpected;
};
void PrintTo(const LanguageCase& a_languagecase, std::ostream* a_postream) { *a_postream << a_languagecase.szName; }

void FeederLists(CDbConfig& a_dbconfig) {
  a_dbconfig.EnumAdd("language", "en_usa", DB_CONFIGTARGET_ADF);
  a_dbconfig.EnumAdd("language", "de_deu", DB_CONFIGTARGET_ADF);
}

void InterfaceOpenTexts(CDbConfig& a_dbconfig) {
  a_dbconfig.LoadReportInquiry("<supported><id>de_deu</id></supported>", 0, true, false, DB_FIRMWARE_ADF);
  a_dbconfig.LoadReportInquiry("<supported><id>fr_fra</id></supported>", 0, true, false, DB_FIRMWARE_FLATBED);
}

void ImageLibraryKept(CDbConfig& a_dbconfig) {
  a_dbconfig.SetString("model", "mapleB", DB_CONFIGTARGET_ADF);
  Load(a_dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF);
  Load(a_dbconfig, s_strNexil, true, true, DB_FIRMWARE_ADF);
  a_dbconfig.ProcessReportInquiry(nullptr, nullptr);
}
}  // namespace

class DbConfigLanguage : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(DbConfigLanguage, ChoosesTheLanguageToAskFor) {
  LogCapture log;
  s_lLanguage = GetParam().lLanguage;
  CDbConfigImpl::SetDatabaseQueries(&s_dbconfigdatabasequeries);
  CDbConfig dbconfig(nullptr);
  if (GetParam().fnSetUp) GetParam().fnSetUp(dbconfig);
  EXPECT_STREQ(dbconfig.UseLanguage(GetParam().blDevice, GetParam().edbidfirmware), GetParam().szExpected);
  CDbConfigImpl::SetDatabaseQueries(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DbConfigLanguage,
    ::testing::Values(
        // The unit's own list.
        LanguageCase{"ListedGerman", FeederLists, true, DB_FIRMWARE_ADF, OS_LANGUAGE_DE_DEU, "de_deu"},
        LanguageCase{"UnlistedJapanese", FeederLists, true, DB_FIRMWARE_ADF, OS_LANGUAGE_JP_JPN, "en_usa"},
        // The flatbed has no list of its own: the built-in languages.
        LanguageCase{"FlatbedBuiltIn", FeederLists, true, DB_FIRMWARE_FLATBED, OS_LANGUAGE_JP_JPN, "jp_jpn"},
        // The image library's list kept from its interface-open reply.
        LanguageCase{"ImageLibraryGerman", ImageLibraryKept, false, DB_FIRMWARE_ADF, OS_LANGUAGE_DE_DEU, "de_deu"},
        LanguageCase{"ImageLibraryFrench", ImageLibraryKept, false, DB_FIRMWARE_ADF, OS_LANGUAGE_FR_FRA, "en_usa"},
        LanguageCase{"DeviceFrenchListed", ImageLibraryKept, true, DB_FIRMWARE_ADF, OS_LANGUAGE_FR_FRA, "fr_fra"},
        // The unit's interface-open reply, while it is kept.
        LanguageCase{"FeederReplyGerman", InterfaceOpenTexts, true, DB_FIRMWARE_ADF, OS_LANGUAGE_DE_DEU, "de_deu"},
        LanguageCase{"FeederReplyFrench", InterfaceOpenTexts, true, DB_FIRMWARE_ADF, OS_LANGUAGE_FR_FRA, "en_usa"},
        LanguageCase{"FlatbedReplyFrench", InterfaceOpenTexts, true, DB_FIRMWARE_FLATBED, OS_LANGUAGE_FR_FRA,
                     "fr_fra"},
        // Another unit number reads no reply: the built-in languages.
        LanguageCase{"BothUnitsBuiltIn", InterfaceOpenTexts, true, DB_FIRMWARE_BOTH, OS_LANGUAGE_DE_DEU, "de_deu"},
        // Nothing listed: the built-in languages, whole words only.
        LanguageCase{"BuiltInGerman", nullptr, true, DB_FIRMWARE_ADF, OS_LANGUAGE_DE_DEU, "de_deu"},
        LanguageCase{"BuiltInDanish", nullptr, true, DB_FIRMWARE_ADF, OS_LANGUAGE_DA_DNK, "en_usa"},
        LanguageCase{"NoLanguage", nullptr, false, DB_FIRMWARE_FLATBED, OS_LANGUAGE_NONE, "en_usa"},
        LanguageCase{"OutOfRange", nullptr, false, DB_FIRMWARE_ADF, OS_LANGUAGE_LAST, "en_usa"}),
    [](const ::testing::TestParamInfo<LanguageCase>& a_info) { return std::string(a_info.param.szName); });

TEST(DbConfigLanguageService, WithoutADatabaseTheLanguageServiceDecides) {
  COsLocale oslocale;
  ASSERT_EQ(oslocale.SetLanguage(OS_LANGUAGE_DE_DEU), OS_STS_SUCCESS);
  CDbConfig dbconfig(nullptr);
  EXPECT_STREQ(dbconfig.UseLanguage(true, DB_FIRMWARE_ADF), "en_usa");
  g_poslocale = &oslocale;
  EXPECT_STREQ(dbconfig.UseLanguage(true, DB_FIRMWARE_ADF), "de_deu");
  g_poslocale = nullptr;
}

// ---------------------------------------------------------------------------
// DBCONFIG texts of our own, carried by a file that the configuration's
// DriverPath names as the library's own
// ---------------------------------------------------------------------------
class DbConfigOwnResource : public ::testing::Test {
 protected:
  DbConfigOwnResource() : m_cfg("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr) {}

  // A file carrying the text as its DBCONFIG resource, or none.
  void UseResource(const char* a_szDbConfig) {
    testsupport::WriteFile(m_strPath, "not a library\n");
    if (a_szDbConfig) {
      const std::string strText = testsupport::RootPath("dbconfig.txt");
      testsupport::WriteFile(strText, a_szDbConfig);
      int iStatus = -1;
      testsupport::RunProgram({SCANDRV_PMXRES, "add", m_strPath, "DBCONFIG=@" + strText}, &iStatus);
      ASSERT_EQ(iStatus, 0);
    }
    m_cfg.Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, m_strPath.c_str());
  }

  LogCapture m_log;
  COsCfg m_cfg;
  CDev m_dev{nullptr, nullptr, nullptr};
  const std::string m_strPath = testsupport::RootPath("libown.so");
};

TEST_F(DbConfigOwnResource, WithoutTheResourceTheRecordsStillWork) {
  UseResource(nullptr);
  CDbConfig dbconfig(nullptr);
  EXPECT_TRUE(m_log.Contains("cfg>>> DBCONFIG resource not found..."));
  EXPECT_TRUE(Table(dbconfig, m_log).empty());
  ASSERT_TRUE(Load(dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF));
  EXPECT_FALSE(dbconfig.ProcessReportInquiry("mapleB", &m_dev));
  EXPECT_TRUE(m_log.Contains("cfg>>> pod.m_szDbConfig is NULL ..."));
  dbconfig.SetNumber("n", 4, DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(dbconfig.GetNumber("n", DB_CONFIGTARGET_COMMON), 4);
}

TEST_F(DbConfigOwnResource, ASectionIsTheElementAfterItsOpeningTag) {
  UseResource(
      "<dbconfig>\r\n"
      "</mapleX>\r\n"
      "<common><reportinquiry><supported><id>c</id></supported></reportinquiry></common>\r\n"
      "<mapleX><reportinquiry><supported><id>x</id></supported></reportinquiry></mapleX>\r\n"
      "<mapleE></mapleE><mapleF> \r\n </mapleF>\r\n"
      "</dbconfig>\r\n");
  CDbConfig dbconfig(nullptr);
  EXPECT_TRUE(dbconfig.Exists("c", DB_CONFIGTARGET_COMMON));
  ASSERT_TRUE(Load(dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF));
  // Empty sections are no sections.
  for (const char* szModel : {"mapleE", "mapleF"}) {
    EXPECT_FALSE(dbconfig.ProcessReportInquiry(szModel, &m_dev));
    EXPECT_TRUE(m_log.Contains(std::string("cfg>>> Model is not supported...<") + szModel + "> <<dbconfig>"));
  }
  // A closing tag ahead of the section does not end it.
  EXPECT_TRUE(dbconfig.ProcessReportInquiry("mapleX", &m_dev)) << m_log.Text();
  EXPECT_TRUE(dbconfig.Exists("x", DB_CONFIGTARGET_COMMON));
}

TEST_F(DbConfigOwnResource, ABadCommonSectionLeavesNothingHalfRead) {
  UseResource(
      "<dbconfig><common><reportinquiry><supported><id>c</id></supported>"
      "<range><id>a</id><id>b</id></range></reportinquiry></common>"
      "<mapleD><reportinquiry><supported><id>d</id></supported></reportinquiry></mapleD></dbconfig>");
  CDbConfig dbconfig(nullptr);
  EXPECT_TRUE(m_log.Contains("cfg>>> we already have an id...<a> vs <b>"));
  EXPECT_TRUE(m_log.Contains("cfg>>> DispatchLoadAndDispatch failed..."));
  EXPECT_TRUE(Table(dbconfig, m_log).empty());
  // The model's own section is still read.
  ASSERT_TRUE(Load(dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF));
  EXPECT_TRUE(dbconfig.ProcessReportInquiry("mapleD", &m_dev));
  EXPECT_TRUE(dbconfig.Exists("d", DB_CONFIGTARGET_COMMON));
}

TEST_F(DbConfigOwnResource, AModelWithoutItsOwnBitonalFormatKeepsIt) {
  UseResource("<dbconfig><common><reportinquiry></reportinquiry></common>"
              "<mapleD><reportinquiry><supported><id>d</id></supported></reportinquiry></mapleD></dbconfig>");
  const DbConfigDatabaseQueries dbconfigdatabasequeries = {[](CDatabase*) -> long { return OS_LANGUAGE_EN_USA; },
                                                           [](CDatabase*) { return true; }};
  CDbConfigImpl::SetDatabaseQueries(&dbconfigdatabasequeries);
  m_cfg.Set(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, "1");
  CDbConfig dbconfig(nullptr);
  ASSERT_TRUE(Load(dbconfig, s_strMapleBFeeder, false, false, DB_FIRMWARE_ADF));
  ASSERT_TRUE(dbconfig.ProcessReportInquiry("mapleD", &m_dev));
  EXPECT_TRUE(dbconfig.EnumExists("imageformat", "bw", DB_CONFIGTARGET_COMMON));
  CDbConfigImpl::SetDatabaseQueries(nullptr);
}
