// The version reports: the dotted version number against an independent
// reading of its rule, and each element in the version record of the unit
// FIRMWARE names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dp_dispatch_fixture.h"

namespace {

using dptest::Reply;
using dptest::Report;

class DpReportVersion : public dptest::DispatchFixture {
 protected:
  CDbVersion& Version() { return *m_pdatabase->GetDbVersion(); }
};

TEST_F(DpReportVersion, DottedVersionNumbers) {
  const std::vector<std::string> vecNumber = {"1020304", "1020300",  "1020000",    "1020005", "3000000",
                                              "0",       "-1020304", "2147483647", "2.1.0",   "abc",
                                              " 99",     "1200",     "-1000000",   "7.x"};
  std::vector<std::string> argv = {SCANDRV_PYTHON, std::string(SCANDRV_TEST_DATA) + "/dev/dotted_version.py"};
  argv.insert(argv.end(), vecNumber.begin(), vecNumber.end());
  int iStatus = -1;
  const std::vector<std::string> vecExpected = testsupport::Lines(testsupport::RunProgram(argv, &iStatus));
  ASSERT_EQ(iStatus, 0);
  ASSERT_EQ(vecExpected.size(), vecNumber.size());
  EXPECT_EQ(vecExpected[0], "1.2.3.4");
  for (size_t sizet = 0; sizet < vecNumber.size(); ++sizet) {
    SCOPED_TRACE(vecNumber[sizet]);
    char szVersion[DP_VERSION_TEXT + 1];
    DpDottedVersion(vecNumber[sizet].c_str(), szVersion, sizeof szVersion);
    EXPECT_EQ(szVersion, vecExpected[sizet]);
    for (const char* szReport : {"reportversion", "reportversionuser"}) {
      EXPECT_EQ(Process(Reply("success", Report(szReport, "versionnumber", vecNumber[sizet]))), DEV_REPLY_SUCCESS);
      EXPECT_EQ(Version().GetVersionNumberAdf(), vecExpected[sizet]);
      EXPECT_EQ(Version().GetVersionFirmwareAdf(), vecExpected[sizet]);
    }
  }
}

// A version of 10,000 characters is read within bounds: digits stop at the
// end of the number's range, and a text too long for the record leaves it
// as it was.
TEST_F(DpReportVersion, VeryLongVersions) {
  EXPECT_EQ(Process(Reply("success", Report("reportversionuser", "versionnumber", std::string(10000, '9')))),
            DEV_REPLY_SUCCESS);
  EXPECT_EQ(Version().GetVersionNumberAdf(), std::string("9223372036854.77.58.7"));
  EXPECT_EQ(Process(Reply("success", Report("reportversionuser", "versionnumber", "1." + std::string(9998, '1')))),
            DEV_REPLY_SUCCESS);
  EXPECT_EQ(Version().GetVersionNumberAdf(), std::string("9223372036854.77.58.7"));
  char szVersion[8];
  DpDottedVersion("1020304", szVersion, sizeof szVersion);
  EXPECT_STREQ(szVersion, "1.2.3.4");
  DpDottedVersion("1020304", szVersion, 4);  // does not fit: nothing past the buffer
  DpDottedVersion(nullptr, szVersion, sizeof szVersion);
  EXPECT_STREQ(szVersion, "0.0");
}

TEST_F(DpReportVersion, EachElementGoesToTheUnitFirmwareNames) {
  Offer(DB_ID_FIRMWARE, DB_ACCESS_READWRITE, {1, 2});
  typedef const char* (CDbVersion::*PFNGET)();
  const struct {
    const char* szElement;
    PFNGET pfnAdf;
    PFNGET pfnFlatbed;
  } s_acase[] = {
      {"versiontext", &CDbVersion::GetVersionTextAdf, &CDbVersion::GetVersionTextFlatbed},
      {"versiondevice", &CDbVersion::GetVersionDeviceAdf, &CDbVersion::GetVersionDeviceFlatbed},
      {"versionnexil", &CDbVersion::GetVersionNexilAdf, &CDbVersion::GetVersionNexilFlatbed},
      {"versionfirmware", &CDbVersion::GetVersionFirmwareAdf, &CDbVersion::GetVersionFirmwareFlatbed},
      {"versiondevicemanager", &CDbVersion::GetVersionDeviceManagerAdf, &CDbVersion::GetVersionDeviceManagerFlatbed},
  };
  for (const auto& c : s_acase) {
    SCOPED_TRACE(c.szElement);
    m_pdatabase->ForceCurrentLongFromId(DB_ID_FIRMWARE, DB_FIRMWARE_ADF);
    EXPECT_EQ(Process(Reply("success", Report("reportversion", c.szElement, "adf 1"))), DEV_REPLY_SUCCESS);
    m_pdatabase->ForceCurrentLongFromId(DB_ID_FIRMWARE, DB_FIRMWARE_FLATBED);
    EXPECT_EQ(Process(Reply("success", Report("reportversionuser", c.szElement, "flatbed 2"))), DEV_REPLY_SUCCESS);
    EXPECT_STREQ((Version().*c.pfnAdf)(), "adf 1");
    EXPECT_STREQ((Version().*c.pfnFlatbed)(), "flatbed 2");
  }
  EXPECT_EQ(Process(Reply("success", Report("reportversionuser", "versionnumber", "5060708"))), DEV_REPLY_SUCCESS);
  EXPECT_STREQ(Version().GetVersionNumberFlatbed(), "5.6.7.8");
  EXPECT_STREQ(Version().GetVersionNumberAdf(), "");
  // The user interface has one version for both units.
  EXPECT_EQ(Process(Reply("success", Report("reportversionuser", "versionui", "ui 3"))), DEV_REPLY_SUCCESS);
  EXPECT_STREQ(Version().GetVersionUi(), "ui 3");
}

}  // namespace
