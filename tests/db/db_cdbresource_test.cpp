// The readers of the DATABASE and LABELS resources, and the independent
// validator of the three compiled formats, on hand-written fixtures and on
// copies broken in the ways a resource can be.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../os/log_capture.h"
#include "db_cdbresource.h"
#include "db_labellanguages.h"
#include "test_support.h"

namespace {

const std::string s_strData = std::string(SCANDRV_TEST_DATA) + "/db/";
const std::string s_strValidator = std::string(SCANDRV_TEST_DATA) + "/../tools/dbresource.py";

struct Bin {
  int iBin;
  long lAccess, lDefault, lMin, lMax, lStep;
  std::vector<long> vecItems, vecCurrentItems;
  std::string strText;
  bool operator==(const Bin&) const = default;
};

struct Record {
  char cKind;
  int iId;
  long lDataType, lDeviceData;
  std::vector<Bin> vecBins;
  bool operator==(const Record&) const = default;
};

void PrintTo(const Record& a_record, std::ostream* a_postream) {
  *a_postream << a_record.cKind << a_record.iId << " bins:" << a_record.vecBins.size();
}

EOSSTS Collect(const DbResourceRecord* a_pdbresourcerecord, void* a_pvUser) {
  Record record{a_pdbresourcerecord->cKind, a_pdbresourcerecord->edbid, a_pdbresourcerecord->lDataType,
                a_pdbresourcerecord->lDeviceData, {}};
  for (long l = 0; l < a_pdbresourcerecord->lBins; ++l) {
    const DbResourceBin& bin = a_pdbresourcerecord->adbresourcebin[l];
    record.vecBins.push_back({bin.edbbin, bin.lAccess, bin.lDefault, bin.lMin, bin.lMax, bin.lStep,
                              std::vector<long>(bin.alItems, bin.alItems + bin.lItems),
                              std::vector<long>(bin.alCurrentItems, bin.alCurrentItems + bin.lCurrentItems),
                              bin.szText ? bin.szText : ""});
  }
  static_cast<std::vector<Record>*>(a_pvUser)->push_back(record);
  return OS_STS_SUCCESS;
}

EOSSTS CollectLabel(const DbResourceLabel* a_pdbresourcelabel, void* a_pvUser) {
  std::vector<std::string> vec{a_pdbresourcelabel->szTag};
  for (long l = 0; l < a_pdbresourcelabel->lColumns; ++l) vec.emplace_back(a_pdbresourcelabel->aszText[l]);
  static_cast<std::vector<std::vector<std::string>>*>(a_pvUser)->push_back(vec);
  return OS_STS_SUCCESS;
}

class DbResourceTest : public ::testing::Test {
 protected:
  testsupport::LogCapture m_log;
  CDbResource m_dbresource;

  EOSSTS ReadDatabase(const std::string& a_str, std::vector<Record>* a_pvec) {
    return m_dbresource.ReadDatabase(a_str.data(), a_str.size(), Collect, a_pvec);
  }
  EOSSTS ReadLabels(const std::string& a_str, std::vector<std::vector<std::string>>* a_pvec) {
    return m_dbresource.ReadLabels(a_str.data(), a_str.size(), CollectLabel, a_pvec);
  }
};

TEST_F(DbResourceTest, ReadsTheDatabaseRecordsAndHeader) {
  const std::string strDatabase = testsupport::ReadFile(s_strData + "database.edres");
  for (const std::string& strText : {strDatabase, "\xEF\xBB\xBF" + strDatabase}) {
    std::vector<Record> vec;
    ASSERT_EQ(ReadDatabase(strText, &vec), OS_STS_SUCCESS);
    EXPECT_EQ(std::string(m_dbresource.GetHeader()),
              "\r\n\t<id><![CDATA[Default]]></id>\r\n\t<driverversion>01000000</driverversion>\r\n"
              "\t<readonly>true</readonly>\r\n\t<l_en_usa><![CDATA[Default settings]]></l_en_usa>\r\n");
    const std::vector<long> vecResolutions = {200, 300, 200, 300};
    EXPECT_EQ(vec, (std::vector<Record>{
                       {'E', 252, 1, 0x40,
                        {{2, 4, 300, 0, 0, 0, vecResolutions, {}, ""}, {4, 6, 200, 0, 0, 0, vecResolutions, {}, ""}}},
                       {'R', 34, 1, 8, {{2, 4, 0, -2, 1000, 1, {}, {}, ""}, {4, 4, 0, -1000, 1000, 10, {}, {}, ""}}},
                       {'S', 161, 2, 0, {{1, 3, 64, 0, 0, 0, {}, {}, "@MULTIMEDIA@/beep <1> & 2.wav"}}},
                       {'S', 225, 2, 1, {{1, 4, 31, 0, 0, 0, {}, {}, ""}}},
                       {'E', 2, 1, 1, {}},
                   }));
  }
  // A run of g items replaces the current list.
  std::vector<Record> vec;
  ASSERT_EQ(ReadDatabase("<db bytes='000000' records='000000' enums='000001'><H></H><E><a>1</a><b>1</b><c>0</c>"
                         "<M><d>4</d><e>1</e><f>1</f><f>2</f><g>2</g></M></E></db>",
                         &vec),
            OS_STS_SUCCESS);
  ASSERT_EQ(vec.size(), 1u);
  EXPECT_EQ(vec[0].vecBins[0].vecItems, (std::vector<long>{1, 2}));
  EXPECT_EQ(vec[0].vecBins[0].vecCurrentItems, std::vector<long>{2});
  // A callback's status ends the read.
  EXPECT_EQ(m_dbresource.ReadDatabase(strDatabase.data(), strDatabase.size(),
                                      [](const DbResourceRecord*, void*) { return OS_STS_BUSY; }, nullptr),
            OS_STS_BUSY);
}

TEST_F(DbResourceTest, ReadsTheLabelsByColumn) {
  std::vector<std::vector<std::string>> vec;
  ASSERT_EQ(ReadLabels(testsupport::ReadFile(s_strData + "labels.edres"), &vec), OS_STS_SUCCESS);
  EXPECT_EQ(m_dbresource.GetColumn('c'), 1);
  EXPECT_EQ(m_dbresource.GetColumn('h'), 2);
  EXPECT_EQ(m_dbresource.GetColumn('d'), 0);
  EXPECT_EQ(m_dbresource.GetColumn('a'), 0);
  // The column list names each language; its records use the letter.
  const std::pair<const char*, int> apair[] = {{"en_usa", 0}, {"ar_arb", 1}, {"de_deu", 5}, {"tr_tur", 18},
                                               {"en_gbr", -1}, {"c", -1}, {"", -1}, {nullptr, -1}};
  for (const auto& [szLanguage, iIndex] : apair) EXPECT_EQ(DbLabelLanguageIndex(szLanguage), iIndex);
  // A language without its column number takes its place in the list.
  std::string strLabels = testsupport::ReadFile(s_strData + "labels.edres");
  strLabels.replace(strLabels.find(",2</de_deu>"), 2, "");
  vec.clear();
  ASSERT_EQ(ReadLabels(strLabels, &vec), OS_STS_SUCCESS);
  EXPECT_EQ(m_dbresource.GetColumn('h'), 2);
  EXPECT_EQ(vec.size(), 3u);
  EXPECT_EQ(vec, (std::vector<std::vector<std::string>>{
                     {"LABEL_OK", "OK", "OK"},
                     {"LABEL_SAVE", "Save & close", "Speichern & schlie\xc3\x9f" "en"},
                     {"LABEL_LINES", "Line one\r\nLine two\tend", "Zeile"}}));
}

// Resources out of shape: status 1 and a line saying why.
TEST_F(DbResourceTest, MalformedResourcesAreRefused) {
  const std::string strHead = "<db bytes='000000' records='000001' enums='000003'><H></H>";
  const std::string strRange = "<R><a>22</a><b>1</b><c>8</c><BF><d>4</d><e>0</e><f>0</f><g>9</g><h>1</h></BF></R>";
  struct Case {
    const char* szWhat;
    std::string strText;
    const char* szLog;
  } acaseDatabase[] = {
      {"more records than announced", strHead + strRange + strRange + strRange + "</db>",
       "more records than announced"},
      {"more items than announced",
       strHead + "<E><a>1</a><b>1</b><c>0</c><M><d>4</d><e>1</e><f>1</f><f>2</f><f>3</f><f>4</f><f>5</f></M></E></db>",
       "more items than announced"},
      {"bins out of order", strHead + "<E><a>1</a><b>1</b><c>0</c><BR><d>4</d><e>1</e></BR><BF><d>4</d><e>1</e></BF></E></db>",
       "Unrecognized or repeated bin...<BF>"},
      {"an unknown container", strHead + "<X><a>1</a></X></db>", "Unrecognized container...<X>"},
      {"a record without its consumers", strHead + "<E><a>1</a><b>1</b></E></db>", "record without its a, b and c"},
      {"a range without its step",
       strHead + "<R><a>22</a><b>1</b><c>8</c><M><d>4</d><e>0</e><f>0</f><g>9</g></M></R></db>",
       "range bin out of shape"},
      {"a string without its text", strHead + "<S><a>5</a><b>2</b><c>0</c><M><d>4</d><e>9</e></M></S></db>",
       "string bin out of shape"},
      {"an upper-case number", strHead + "<E><a>1</a><b>1</b><c>0</c><M><d>4</d><e>1F</e></M></E></db>",
       "bin without its d and e"},
      {"an id beyond the table", strHead + "<E><a>fe</a><b>1</b><c>0</c></E></db>", "Bad a_edbid...254"},
      {"no header", "<db bytes='000000' records='000000' enums='000000'><E><a>1</a><b>1</b><c>0</c></E></db>",
       "header not found"},
      {"a count of five digits", "<db bytes='000000' records='00000' enums='000000'><H></H></db>",
       "NodeGetProperty failed...records"},
      {"another root", "<lookup bytes='000000' records='000000' enums='000000'></lookup>", "Unrecognized root"},
      {"malformed", strHead + "<E><a>1</b></E></db>", "DocumentLoad failed..."},
  };
  for (const Case& c : acaseDatabase) {
    SCOPED_TRACE(c.szWhat);
    std::vector<Record> vec;
    EXPECT_EQ(ReadDatabase(c.strText, &vec), OS_STS_FAIL);
    EXPECT_TRUE(m_log.Contains(c.szLog)) << c.szLog;
  }
  const std::string strColumns =
      "<labels bytes='000000' records='000002'><a>bytes=000002,0</a><en_usa>bytes=000002,1</en_usa>"
      "<de_deu>bytes=000002,2</de_deu><endlangs></endlangs>";
  const Case acaseLabels[] = {
      {"more labels than announced", strColumns + "<a>A</a><c>a</c><h>a</h><a>B</a><c>b</c><h>b</h></labels>",
       "more labels than announced"},
      {"a label without a language", strColumns + "<a>A</a><c>a</c></labels>", "label without all its languages...<A>"},
      {"languages swapped in a label", strColumns + "<a>A</a><h>a</h><c>a</c></labels>",
       "label without all its languages...<A>"},
      {"columns out of order",
       "<labels bytes='000000' records='000001'><a>bytes=000000,0</a><en_usa>bytes=000000,2</en_usa>"
       "<endlangs></endlangs></labels>",
       "language column out of order...<en_usa>"},
      {"a repeated language",
       "<labels bytes='000000' records='000001'><a>bytes=000000,0</a><en_usa>bytes=000000,1</en_usa>"
       "<en_usa>bytes=000000,2</en_usa><endlangs></endlangs></labels>",
       "Unrecognized or repeated language...<en_usa>"},
      {"a language named by its letter",
       "<labels bytes='000000' records='000001'><a>bytes=000000,0</a><c>bytes=000000,1</c>"
       "<endlangs></endlangs></labels>",
       "Unrecognized or repeated language...<c>"},
      {"a language without its byte count",
       "<labels bytes='000000' records='000001'><a>bytes=000000,0</a><en_usa>1</en_usa>"
       "<endlangs></endlangs></labels>",
       "language column out of shape...<en_usa>"},
      {"no column list", "<labels bytes='000000' records='000001'><endlangs></endlangs></labels>",
       "tag column not found"},
      {"no end of the column list", "<labels bytes='000000' records='000001'><a>bytes=000000,0</a></labels>",
       "endlangs not found"},
  };
  for (const Case& c : acaseLabels) {
    SCOPED_TRACE(c.szWhat);
    std::vector<std::vector<std::string>> vec;
    EXPECT_EQ(ReadLabels(c.strText, &vec), OS_STS_FAIL);
    EXPECT_TRUE(m_log.Contains(c.szLog)) << c.szLog;
  }
}

TEST_F(DbResourceTest, EveryCutIsRefused) {
  const std::string strDatabase = testsupport::ReadFile(s_strData + "database.edres");
  const std::string strLabels = testsupport::ReadFile(s_strData + "labels.edres");
  for (size_t sizet = 0; sizet < strDatabase.size(); ++sizet) {
    std::vector<Record> vec;
    ASSERT_EQ(ReadDatabase(strDatabase.substr(0, sizet), &vec), OS_STS_FAIL) << sizet;
  }
  for (size_t sizet = 0; sizet < strLabels.size(); ++sizet) {
    std::vector<std::vector<std::string>> vec;
    ASSERT_EQ(ReadLabels(strLabels.substr(0, sizet), &vec), OS_STS_FAIL) << sizet;
  }
}

TEST(DbResourceValidator, AcceptsTheFixturesAndRejectsBrokenCopies) {
  auto validate = [](const std::string& a_strKind, const std::string& a_strText) {
    const std::string strPath = testsupport::RootPath("copy.edres");
    testsupport::WriteFile(strPath, a_strText);
    int iStatus = -1;
    testsupport::RunProgram({SCANDRV_PYTHON, s_strValidator, a_strKind, strPath}, &iStatus);
    return iStatus;
  };
  auto replaced = [](std::string a_str, const std::string& a_strFrom, const std::string& a_strTo) {
    size_t sizet = a_str.find(a_strFrom);
    EXPECT_NE(sizet, std::string::npos) << a_strFrom;
    return sizet == std::string::npos ? a_str : a_str.replace(sizet, a_strFrom.size(), a_strTo);
  };
  const std::string strLookup = testsupport::ReadFile(s_strData + "lookup.edres");
  const std::string strDatabase = testsupport::ReadFile(s_strData + "database.edres");
  const std::string strLabels = testsupport::ReadFile(s_strData + "labels.edres");
  struct Case {
    const char* szKind;
    std::string strText;
    int iStatus;
  } acase[] = {
      {"lookup", strLookup, 0},
      {"database", strDatabase, 0},
      {"labels", strLabels, 0},
      {"lookup", replaced(strLookup, "records='000005'", "records='000006'"), 1},
      {"lookup", replaced(strLookup, "enums='000005'", "enums='000004'"), 1},
      {"lookup", replaced(strLookup, "bytes='00036b'", "bytes='00036c'"), 1},
      {"lookup", replaced(strLookup, "<b>fc</b>", "<b>FC</b>"), 1},
      {"lookup", replaced(strLookup, "</l><a>", "</l> <a>"), 1},
      {"lookup", "\xEF\xBB\xBF" + strLookup, 1},
      {"database", replaced(strDatabase, "records='000004'", "records='000005'"), 1},
      {"database", replaced(strDatabase, "enums='000007'", "enums='000008'"), 1},
      {"database", replaced(strDatabase, "bytes='0002e2'", "bytes='0002e1'"), 1},
      {"labels", replaced(strLabels, "records='000004'", "records='000003'"), 1},
      {"labels", replaced(strLabels, "bytes='0000be'", "bytes='0000bf'"), 1},
      {"labels", replaced(strLabels, "<en_usa>bytes=000027,1</en_usa>", "<en_usa>bytes=000026,1</en_usa>"), 1},
      {"labels", replaced(strLabels, "<en_usa>bytes=000027,1</en_usa>", "<c>bytes=000027,1</c>"), 1},
      {"labels",
       replaced(strLabels, "<en_usa>bytes=000027,1</en_usa><de_deu>bytes=000020,2</de_deu>",
                "<de_deu>bytes=000027,1</de_deu><en_usa>bytes=000020,2</en_usa>"),
       1},
      {"labels", strLabels.substr(0, strLabels.size() - 1), 1},
  };
  for (const Case& c : acase) EXPECT_EQ(validate(c.szKind, c.strText), c.iStatus) << c.szKind << ": " << c.strText;
}

}  // namespace
