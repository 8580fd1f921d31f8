// A database with a driver file of the test's own: the text a test hands
// over becomes that file's DATABASE resource, which the profile items read
// as the library's own. Also the default database that the source
// db/sources/database.dbc describes, as text and as its expected records.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../db_fixture.h"
#include "os_coscfg.h"

namespace dbtest {

const std::string s_strSourceRoot = std::string(SCANDRV_TEST_DATA) + "/../..";
const std::string s_strTools = std::string(SCANDRV_TEST_DATA) + "/../tools/";

// One bin of a record of the expected default database, as the table gives
// it: values of enumerations by their names in task messages.
struct ExpectedBin {
  char cKind;
  std::string strCapability;
  EDBID edbid;
  long lConsumers;
  EDBBIN edbbin;
  long lAccess;
  std::string strDefault;
  std::vector<std::string> vecRest;  // E: values; R: min, max, step; S: length
};

inline std::vector<std::string> Split(const std::string& a_str, char a_c) {
  std::vector<std::string> vec;
  std::stringstream stream(a_str);
  for (std::string str; std::getline(stream, str, a_c);) vec.push_back(str);
  if (!a_str.empty() && a_str.back() == a_c) vec.emplace_back();
  return vec;
}

inline std::vector<ExpectedBin> ReadExpected() {
  std::vector<ExpectedBin> vec;
  for (const std::string& strLine : testsupport::Lines(testsupport::ReadFile(std::string(SCANDRV_TEST_DATA) +
                                                                             "/db/database_expected.tsv"))) {
    if (strLine.empty() || strLine[0] == '#') continue;
    std::vector<std::string> vecField = Split(strLine, '\t');
    EXPECT_GE(vecField.size(), 8u) << strLine;
    if (vecField.size() < 8) continue;
    const EDBBIN edbbin = vecField[4] == "M"    ? DB_BIN_MACHINE
                          : vecField[4] == "BF" ? DB_BIN_BITONAL_FRONT
                                                : DB_BIN_COLOR_FRONT;
    std::vector<std::string> vecRest(vecField.begin() + 7, vecField.end());
    if (vecField[0] == "E") vecRest = Split(vecField[7], ',');
    vec.push_back({vecField[0][0], vecField[1], static_cast<EDBID>(std::stol(vecField[2])), std::stol(vecField[3]),
                   edbbin, std::stol(vecField[5]), vecField[6], vecRest});
  }
  return vec;
}

// The bins a bin of a record sets: a front camera sets its rear camera too.
inline std::vector<EDBBIN> SetBins(EDBBIN a_edbbin) {
  if (a_edbbin == DB_BIN_MACHINE) return {a_edbbin};
  return {a_edbbin, static_cast<EDBBIN>(a_edbbin + 1)};
}

class DbProfileFixture : public DbFixture {
 protected:
  void SetUp() override {
    DbFixture::SetUp();
    OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
    m_poscfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &oscfgversion, false, nullptr);
    testsupport::WriteFile(m_strDriver, std::string(4096, 'c'));
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, m_strDriver.c_str()), OS_STS_SUCCESS);
  }

  void TearDown() override {
    m_poscfg.reset();
    DbFixture::TearDown();
  }

  // The text becomes the driver file's DATABASE resource, replacing one
  // there before.
  void UseResource(const std::string& a_strText) {
    const std::string strPath = testsupport::RootPath("database.edres");
    testsupport::WriteFile(strPath, a_strText);
    int iStatus = -1;
    testsupport::RunProgram({SCANDRV_PMXRES, "add", m_strDriver, "DATABASE=@" + strPath}, &iStatus);
    ASSERT_EQ(iStatus, 0);
  }

  // The DATABASE text of the default database source, checked against the
  // format.
  static std::string DefaultDatabase() {
    int iStatus = -1;
    std::string strText = testsupport::RunProgram({SCANDRV_PYTHON, s_strTools + "database_source.py", "text",
                                                   s_strSourceRoot + "/db/sources/database.dbc",
                                                   s_strSourceRoot + "/db/db_def.h"},
                                                  &iStatus);
    EXPECT_EQ(iStatus, 0);
    const std::string strPath = testsupport::RootPath("default.edres");
    testsupport::WriteFile(strPath, strText);
    testsupport::RunProgram({SCANDRV_PYTHON, s_strTools + "dbresource.py", "database", strPath}, &iStatus);
    EXPECT_EQ(iStatus, 0) << "the converted source is not a DATABASE text";
    return strText;
  }

  // Containers of the right kind for every bin the default database sets,
  // made the way the catalogue makes them (access 0 until loaded).
  void NewDefaultDatums(const std::vector<ExpectedBin>& a_vecexpected) {
    for (const ExpectedBin& expected : a_vecexpected) {
      for (EDBBIN edbbin : SetBins(expected.edbbin)) {
        if (CDbDatum::DbDatumFind(0, expected.edbid, edbbin)) continue;
        if (expected.cKind == 'E') NewContainer<CDbEnum>(expected.edbid, edbbin, false);
        if (expected.cKind == 'R') NewContainer<CDbRange>(expected.edbid, edbbin);
        if (expected.cKind == 'S') NewContainer<CDbString>(expected.edbid, edbbin);
      }
    }
  }

  std::unique_ptr<COsCfg> m_poscfg;
  const std::string m_strDriver = testsupport::RootPath("driver.so");
};

}  // namespace dbtest
