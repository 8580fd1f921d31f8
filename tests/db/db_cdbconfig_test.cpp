// The configuration table itself: key composition and its limits, the 512
// slots, strings and their numbers, enumerated values in order, the empty
// table, refused arguments, and an object without its implementation.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "db_cdbconfig.h"
#include "db_cdbconfig_testutil.h"

using dbconfigtest::Table;
using testsupport::LogCapture;

namespace {
class DbConfigTable : public ::testing::Test {
 protected:
  LogCapture m_log;
  CDbConfig m_dbconfig{nullptr};
};

std::vector<std::string> Values(CDbConfig& a_dbconfig, const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  std::vector<std::string> vstr;
  for (const char* sz = a_dbconfig.EnumGetFirst(a_szId, a_edbconfigtarget); sz;
       sz = a_dbconfig.EnumGetNext(a_szId, sz, a_edbconfigtarget)) {
    vstr.push_back(sz);
  }
  return vstr;
}
}  // namespace

TEST_F(DbConfigTable, KeysTakeTheSuffixOfTheirTarget) {
  struct Case {
    EDBCONFIGTARGET edbconfigtarget;
    const char* szKey;
  };
  const Case acase[] = {{DB_CONFIGTARGET_NONE, "k"},
                        {DB_CONFIGTARGET_COMMON, "k"},
                        {DB_CONFIGTARGET_ADF, "k_adf"},
                        {DB_CONFIGTARGET_FLATBED, "k_flatbed"},
                        {DB_CONFIGTARGET_PLAIN, "k"}};
  for (const Case& c : acase) {
    m_dbconfig.SetNumber("k", 1, c.edbconfigtarget);
    m_dbconfig.EnumAdd("k", "v", c.edbconfigtarget);
    m_dbconfig.RangeSetMin("k", 2, c.edbconfigtarget);
    EXPECT_TRUE(m_dbconfig.Exists(c.szKey, DB_CONFIGTARGET_COMMON)) << c.szKey;
    EXPECT_TRUE(m_dbconfig.Exists((std::string(c.szKey) + "_enum_v").c_str(), DB_CONFIGTARGET_COMMON)) << c.szKey;
    EXPECT_EQ(m_dbconfig.GetNumber((std::string(c.szKey) + "_rangemin").c_str(), DB_CONFIGTARGET_COMMON), 2)
        << c.szKey;
  }
  // The end mark and beyond are no targets.
  for (int i : {5, 6, -1}) {
    EXPECT_EQ(m_dbconfig.Add("k", static_cast<EDBCONFIGTARGET>(i)), nullptr);
    EXPECT_TRUE(m_log.Contains("cfg>>> bad target..." + std::to_string(i) + " <k>"));
  }
}

TEST_F(DbConfigTable, KeysOf64CharactersOrMoreMakeNoRecord) {
  const std::string str63(63, 'k'), str64(64, 'k'), str60(60, 'k');
  EXPECT_NE(m_dbconfig.Add(str63.c_str(), DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_TRUE(m_dbconfig.Exists(str63.c_str(), DB_CONFIGTARGET_COMMON));
  EXPECT_EQ(m_dbconfig.Add(str64.c_str(), DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_FALSE(m_dbconfig.Exists(str64.c_str(), DB_CONFIGTARGET_COMMON));
  EXPECT_TRUE(m_log.Contains("cfg>>> key too long...<" + str64 + ">"));
  // The suffix counts: 60 characters and "_adf" are too many.
  EXPECT_EQ(m_dbconfig.Add(str60.c_str(), DB_CONFIGTARGET_ADF), nullptr);
  m_dbconfig.EnumAdd(str60.c_str(), "v", DB_CONFIGTARGET_COMMON);
  m_dbconfig.SetString(str64.c_str(), "text", DB_CONFIGTARGET_COMMON);
  EXPECT_TRUE(m_log.Contains("cfg>>> unable to add item...<" + str64 + ">"));
  // Beyond the work buffer nothing is cut either.
  const std::string str300(300, 'w');
  m_dbconfig.EnumAdd("w", str300.c_str(), DB_CONFIGTARGET_COMMON);
  EXPECT_TRUE(m_log.Contains("cfg>>> key does not fit...<w_enum_"));
  EXPECT_EQ(Values(m_dbconfig, "w", DB_CONFIGTARGET_COMMON), std::vector<std::string>{});
  // Only the 63-character key and the common section were made.
  EXPECT_EQ(Table(m_dbconfig, m_log).size(), 4u);
}

TEST_F(DbConfigTable, The513thKeyIsRefused) {
  const size_t sizetCommon = Table(m_dbconfig, m_log).size();
  for (size_t i = sizetCommon; i < DB_CONFIG_RECORDS; ++i) {
    ASSERT_NE(m_dbconfig.Add(("key" + std::to_string(i)).c_str(), DB_CONFIGTARGET_COMMON), nullptr) << i;
  }
  EXPECT_EQ(m_dbconfig.Add("onetoomany", DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_TRUE(m_log.Contains("cfg>>> ran out of room...<onetoomany>"));
  m_dbconfig.SetNumber("onetoomany", 5, DB_CONFIGTARGET_COMMON);
  EXPECT_FALSE(m_dbconfig.Exists("onetoomany", DB_CONFIGTARGET_COMMON));
  // A key already there is always found, and its record can change.
  DbConfigRecord* pdbconfigrecord = m_dbconfig.Add("key300", DB_CONFIGTARGET_COMMON);
  ASSERT_NE(pdbconfigrecord, nullptr);
  EXPECT_STREQ(pdbconfigrecord->szKey, "key300");
  m_dbconfig.SetString("key300", "42 pages", DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(m_dbconfig.GetNumber("key300", DB_CONFIGTARGET_COMMON), 42);
  // Deleting one makes room for one.
  m_dbconfig.Delete("key301", DB_CONFIGTARGET_COMMON);
  EXPECT_NE(m_dbconfig.Add("onetoomany", DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_EQ(Table(m_dbconfig, m_log).size(), DB_CONFIG_RECORDS);
}

TEST_F(DbConfigTable, StringsAndTheirNumbers) {
  struct Case {
    const char* szText;
    int64_t i64Number;
  };
  const Case acase[] = {
      {"300abc", 300},
      {"abc300", 0},
      {"", 0},
      {nullptr, 0},
      {"0x1F", 0},
      {" 12", 0},
      {"-5", 0},
      {"9223372036854775807", INT64_MAX},
      {"99999999999999999999999 digits", INT64_MAX},
  };
  for (const Case& c : acase) {
    m_dbconfig.SetString("s", c.szText, DB_CONFIGTARGET_ADF);
    EXPECT_EQ(m_dbconfig.GetNumber("s", DB_CONFIGTARGET_ADF), c.i64Number) << (c.szText ? c.szText : "(none)");
    if (c.szText) {
      EXPECT_STREQ(m_dbconfig.GetString("s", DB_CONFIGTARGET_ADF), c.szText);
    } else {
      EXPECT_EQ(m_dbconfig.GetString("s", DB_CONFIGTARGET_ADF), nullptr);
    }
  }
  // A number leaves the string alone; a string made from the table's own
  // text survives the table moving under it.
  m_dbconfig.SetString("s", "keep", DB_CONFIGTARGET_COMMON);
  m_dbconfig.SetNumber("s", 9, DB_CONFIGTARGET_COMMON);
  EXPECT_STREQ(m_dbconfig.GetString("s", DB_CONFIGTARGET_COMMON), "keep");
  EXPECT_EQ(m_dbconfig.GetNumber("s", DB_CONFIGTARGET_COMMON), 9);
  m_dbconfig.EnumAdd("e", "value", DB_CONFIGTARGET_COMMON);
  m_dbconfig.SetString("a", m_dbconfig.EnumGetFirst("e", DB_CONFIGTARGET_COMMON), DB_CONFIGTARGET_COMMON);
  EXPECT_STREQ(m_dbconfig.GetString("a", DB_CONFIGTARGET_COMMON), "value");
  // Missing keys.
  EXPECT_EQ(m_dbconfig.GetString("missing", DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_TRUE(m_log.Contains("cfg>>> getstr missing"));
  EXPECT_EQ(m_dbconfig.GetNumber("missing", DB_CONFIGTARGET_ADF), -1);
  EXPECT_TRUE(m_log.Contains("cfg>>> getnum missing_adf"));
  EXPECT_EQ(m_dbconfig.RangeGetMin("missing", DB_CONFIGTARGET_COMMON), 0u);
  EXPECT_TRUE(m_log.Contains("cfg>>> getmin missing_rangemin"));
  EXPECT_EQ(m_dbconfig.RangeGetMax("missing", DB_CONFIGTARGET_FLATBED), 0u);
  EXPECT_TRUE(m_log.Contains("cfg>>> getmax missing_flatbed_rangemax"));
  m_dbconfig.Delete("missing", DB_CONFIGTARGET_COMMON);
}

TEST_F(DbConfigTable, EnumeratedValuesComeInOrder) {
  for (const char* sz : {"b", "a", "c"}) m_dbconfig.EnumAdd("col", sz, DB_CONFIGTARGET_COMMON);
  // Neighbours that sort right after or before are no values of "col".
  m_dbconfig.EnumAdd("colo", "d", DB_CONFIGTARGET_COMMON);
  m_dbconfig.EnumAdd("col", "z", DB_CONFIGTARGET_ADF);
  m_dbconfig.Add("col_enum", DB_CONFIGTARGET_COMMON);
  m_dbconfig.EnumAdd("co", "l", DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(Values(m_dbconfig, "col", DB_CONFIGTARGET_COMMON), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(Values(m_dbconfig, "col", DB_CONFIGTARGET_ADF), std::vector<std::string>{"z"});
  EXPECT_EQ(m_dbconfig.EnumGetNext("col", "bb", DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_EQ(m_dbconfig.EnumGetFirst("none", DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_TRUE(m_dbconfig.EnumExists("col", "b", DB_CONFIGTARGET_COMMON));
  EXPECT_FALSE(m_dbconfig.EnumExists("col", "b", DB_CONFIGTARGET_ADF));
  m_dbconfig.EnumDelete("col", "b", DB_CONFIGTARGET_COMMON);
  m_dbconfig.EnumDelete("col", "q", DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(Values(m_dbconfig, "col", DB_CONFIGTARGET_COMMON), (std::vector<std::string>{"a", "c"}));
  // The last value of the table has no next.
  m_dbconfig.EnumAdd("zzz", "last", DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(m_dbconfig.EnumGetNext("zzz", "last", DB_CONFIGTARGET_COMMON), nullptr);
}

TEST_F(DbConfigTable, AnEmptyTableRefusesEveryRead) {
  for (const std::string& strLine : Table(m_dbconfig, m_log)) {
    m_dbconfig.Delete(strLine.substr(0, strLine.find(' ')).c_str(), DB_CONFIGTARGET_COMMON);
  }
  m_dbconfig.Add("only", DB_CONFIGTARGET_COMMON);
  m_dbconfig.Delete("only", DB_CONFIGTARGET_COMMON);
  ASSERT_TRUE(Table(m_dbconfig, m_log).empty());
  EXPECT_FALSE(m_dbconfig.Exists("x", DB_CONFIGTARGET_COMMON));
  EXPECT_EQ(m_dbconfig.GetString("x", DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_EQ(m_dbconfig.GetNumber("x", DB_CONFIGTARGET_COMMON), -1);
  EXPECT_EQ(m_dbconfig.RangeGetMin("x", DB_CONFIGTARGET_COMMON), 0u);
  EXPECT_EQ(m_dbconfig.RangeGetMax("x", DB_CONFIGTARGET_COMMON), 0u);
  EXPECT_EQ(m_dbconfig.EnumGetFirst("x", DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_TRUE(m_log.Contains("cfg>>> attempting to get information from an empty list...x\r\n"));
  EXPECT_FALSE(m_dbconfig.EnumExists("x", "v", DB_CONFIGTARGET_COMMON));
  EXPECT_EQ(m_dbconfig.EnumGetNext("x", "v", DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_TRUE(m_log.Contains("cfg>>> attempting to get information from an empty list...x v"));
  // The table fills again.
  m_dbconfig.SetNumber("back", 3, DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(m_dbconfig.GetNumber("back", DB_CONFIGTARGET_COMMON), 3);
}

TEST_F(DbConfigTable, MissingArgumentsAreRefused) {
  const size_t sizetBefore = Table(m_dbconfig, m_log).size();
  for (const char* szId : {static_cast<const char*>(nullptr), ""}) {
    EXPECT_EQ(m_dbconfig.Add(szId, DB_CONFIGTARGET_COMMON), nullptr);
    EXPECT_FALSE(m_dbconfig.Exists(szId, DB_CONFIGTARGET_COMMON));
    EXPECT_EQ(m_dbconfig.GetString(szId, DB_CONFIGTARGET_COMMON), nullptr);
    EXPECT_EQ(m_dbconfig.GetNumber(szId, DB_CONFIGTARGET_COMMON), -1);
    m_dbconfig.SetString(szId, "x", DB_CONFIGTARGET_COMMON);
    m_dbconfig.SetNumber(szId, 1, DB_CONFIGTARGET_COMMON);
    m_dbconfig.RangeSetMax(szId, 1, DB_CONFIGTARGET_COMMON);
    m_dbconfig.EnumAdd(szId, "v", DB_CONFIGTARGET_COMMON);
    EXPECT_EQ(m_dbconfig.EnumGetFirst(szId, DB_CONFIGTARGET_COMMON), nullptr);
    m_dbconfig.Delete(szId, DB_CONFIGTARGET_COMMON);
    m_dbconfig.EnumAdd("id", szId, DB_CONFIGTARGET_COMMON);
    EXPECT_FALSE(m_dbconfig.EnumExists("id", szId, DB_CONFIGTARGET_COMMON));
    m_dbconfig.EnumDelete("id", szId, DB_CONFIGTARGET_COMMON);
    EXPECT_EQ(m_dbconfig.EnumGetNext("id", szId, DB_CONFIGTARGET_COMMON), nullptr);
  }
  EXPECT_TRUE(m_log.Contains("cfg>>> a_szId is null or empty..."));
  EXPECT_TRUE(m_log.Contains("cfg>>> a_szEnum is null or empty..."));
  EXPECT_TRUE(m_log.Contains("cfg>>> a_szPrevEnum is null or empty..."));
  EXPECT_EQ(Table(m_dbconfig, m_log).size(), sizetBefore);
}

TEST(DbConfigNoImplementation, EveryOperationGivesItsFailureResult) {
  LogCapture log;
  CDbConfig dbconfig(nullptr);
  static_assert(sizeof(CDbConfig) == sizeof(void*));
  void* pvSaved = nullptr;
  void* pvNone = nullptr;
  std::memcpy(&pvSaved, static_cast<void*>(&dbconfig), sizeof pvSaved);
  std::memcpy(static_cast<void*>(&dbconfig), &pvNone, sizeof pvNone);

  EXPECT_EQ(dbconfig.Add("a", DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_FALSE(dbconfig.Exists("componenttab_enum_false", DB_CONFIGTARGET_COMMON));
  EXPECT_EQ(dbconfig.GetString("a", DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_EQ(dbconfig.GetNumber("zoomtofitwidth_rangemax", DB_CONFIGTARGET_COMMON), -1);
  EXPECT_EQ(dbconfig.RangeGetMin("a", DB_CONFIGTARGET_COMMON), UINT64_MAX);
  EXPECT_EQ(dbconfig.RangeGetMax("zoomtofitwidth", DB_CONFIGTARGET_COMMON), 0u);
  EXPECT_FALSE(dbconfig.EnumExists("componenttab", "false", DB_CONFIGTARGET_COMMON));
  EXPECT_EQ(dbconfig.EnumGetFirst("componenttab", DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_EQ(dbconfig.EnumGetNext("componenttab", "false", DB_CONFIGTARGET_COMMON), nullptr);
  EXPECT_FALSE(dbconfig.LoadReportInquiry("<x/>", 0, false, false, DB_FIRMWARE_ADF));
  EXPECT_FALSE(dbconfig.ProcessReportInquiry("mapleB", nullptr));
  EXPECT_FALSE(dbconfig.ProcessReportInquiryXml("nexil", "<reportinquiry></reportinquiry>", DB_FIRMWARE_ADF));
  EXPECT_STREQ(dbconfig.UseLanguage(true, DB_FIRMWARE_ADF), "en_usa");
  dbconfig.Delete("a", DB_CONFIGTARGET_COMMON);
  dbconfig.SetString("a", "b", DB_CONFIGTARGET_COMMON);
  dbconfig.SetNumber("a", 1, DB_CONFIGTARGET_COMMON);
  dbconfig.RangeSetMin("a", 1, DB_CONFIGTARGET_COMMON);
  dbconfig.RangeSetMax("a", 1, DB_CONFIGTARGET_COMMON);
  dbconfig.EnumAdd("a", "b", DB_CONFIGTARGET_COMMON);
  dbconfig.EnumDelete("a", "b", DB_CONFIGTARGET_COMMON);
  dbconfig.Dump();
  EXPECT_TRUE(log.Contains("cfg>>> m_pdbconfig is null..."));

  std::memcpy(static_cast<void*>(&dbconfig), &pvSaved, sizeof pvSaved);
  EXPECT_FALSE(dbconfig.Exists("a", DB_CONFIGTARGET_COMMON));
}
