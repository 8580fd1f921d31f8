// What the simulated scanner reports is what the database can read: for both
// models, the model named by interfaceopen and the inquiry of querysupport
// go through the configuration records as the device engine hands them
// over, and the table holds what the unit reported.
#include <gtest/gtest.h>

#include <string>

#include "../os/log_capture.h"
#include "db_cdbconfig.h"
#include "sim_task_testutil.h"
#include "test_support.h"

namespace {

using simtest::Element;

class SimScannerInquiry : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { ASSERT_TRUE(m_scannerlibrary.IsLoaded()) << dlerror(); }

  // Sends one task; the reply must report success.
  std::string Send(const std::string& a_strCommand, const std::string& a_strBody = "") {
    const char* szReply = m_scannerlibrary.Send(a_strCommand, a_strBody);
    const std::string strReply = szReply ? szReply : "";
    EXPECT_EQ(Element(strReply, "status"), "success") << a_strCommand << ": " << strReply;
    return strReply;
  }

  simtest::ScannerLibrary m_scannerlibrary{SIMSCAN_ADF_LIBRARY};
};

TEST_P(SimScannerInquiry, TheDatabaseReadsWhatTheUnitReports) {
  const std::string strModel = GetParam();
  const std::string strImages = testsupport::RootPath("images");
  testsupport::RunProgram({"mkdir", "-p", strImages});
  const std::string strOpen = Send(
      "interfaceopen", "\t\t<simulate><simulation>true</simulation><simmodel>" + strModel +
                           "</simmodel><simflag><id>imagedirectory</id><value>" + strImages +
                           "</value><text></text></simflag></simulate>\n");
  EXPECT_EQ(Element(strOpen, "model"), strModel);
  Send("sessionbegin");
  const std::string strInquiry = Element(Send("querysupport"), "reportinquiry");
  ASSERT_FALSE(strInquiry.empty());

  testsupport::LogCapture log;
  CDbConfig dbconfig(nullptr);
  dbconfig.SetString("model", Element(strOpen, "model").c_str(), DB_CONFIGTARGET_ADF);
  ASSERT_TRUE(dbconfig.LoadReportInquiry(strInquiry.c_str(), 0, false, false, DB_FIRMWARE_ADF));
  ASSERT_TRUE(dbconfig.ProcessReportInquiry(nullptr, nullptr)) << log.Text();
  EXPECT_FALSE(log.Contains("failed")) << log.Text();

  EXPECT_TRUE(dbconfig.Exists("processreportinquirydone", DB_CONFIGTARGET_COMMON));
  EXPECT_GE(dbconfig.RangeGetMax("sheetheight", DB_CONFIGTARGET_COMMON), 14028u);
  EXPECT_GE(dbconfig.RangeGetMax("sheetwidth", DB_CONFIGTARGET_COMMON), 9912u);
  EXPECT_TRUE(dbconfig.Exists("duplex", DB_CONFIGTARGET_COMMON));
  EXPECT_TRUE(dbconfig.EnumExists("imageformat", "rgb_24", DB_CONFIGTARGET_COMMON));
  // Only the imprinting model names a printer.
  const char* szPrinter = dbconfig.GetString("printer", DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(szPrinter != nullptr && *szPrinter != '\0', strModel == "mapleC");

  Send("sessionend");
  Send("interfaceclose");
}

INSTANTIATE_TEST_SUITE_P(Models, SimScannerInquiry, ::testing::Values("mapleB", "mapleC"));

}  // namespace
