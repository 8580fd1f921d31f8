// The simulated scanner's own replies, read into a loaded database as the
// device engine reads them when a session opens.
#include <gtest/gtest.h>

#include <string>

#include "../sim/sim_task_testutil.h"
#include "dp_dispatch_fixture.h"

namespace {

class DpDispatchSimScanner : public dptest::DispatchFixture {
 protected:
  void SetUp() override {
    DispatchFixture::SetUp();
    m_pscannerlibrary = std::make_unique<simtest::ScannerLibrary>(SIMSCAN_ADF_LIBRARY);
    ASSERT_TRUE(m_pscannerlibrary->IsLoaded()) << dlerror();
  }
  void TearDown() override {
    m_pscannerlibrary.reset();
    DispatchFixture::TearDown();
  }

  // Sends one task and reads its reply as the interfaceopen flag says.
  EDEVREPLY Send(const std::string& a_strCommand, const std::string& a_strBody = "", bool a_blInterfaceOpen = false) {
    return m_pdispatch->Process(m_pscannerlibrary->Send(a_strCommand, a_strBody),
                                DevDispatchTarget::Database(m_pdatabase.get()), a_blInterfaceOpen, DB_FIRMWARE_ADF);
  }

  std::unique_ptr<simtest::ScannerLibrary> m_pscannerlibrary;
};

TEST_F(DpDispatchSimScanner, ASessionOpensIntoTheDatabase) {
  const std::string strImages = testsupport::RootPath("images");
  testsupport::RunProgram({"mkdir", "-p", strImages});
  EXPECT_EQ(Send("interfaceopen",
                 "\t\t<simulate><simulation>true</simulation><simmodel>mapleB</simmodel><simflag><id>imagedirectory"
                 "</id><value>" + strImages + "</value><text></text></simflag></simulate>\n",
                 true),
            DEV_REPLY_SUCCESS);
  EXPECT_EQ(Send("sessionbegin"), DEV_REPLY_SUCCESS);
  EXPECT_EQ(Send("getversionuser"), DEV_REPLY_SUCCESS);
  EXPECT_EQ(Send("querysupport"), DEV_REPLY_SUCCESS);

  EXPECT_EQ(Config("model", DB_CONFIGTARGET_ADF), "mapleB");
  EXPECT_STREQ(m_pdatabase->GetModelName(DB_FIRMWARE_ADF), "mapleB");
  EXPECT_EQ(Config("serialnumber", DB_CONFIGTARGET_COMMON), "SIMA0001");
  EXPECT_STREQ(m_pdatabase->GetDbVersion()->GetVersionNumberAdf(), "1.2.3.4");
  EXPECT_STREQ(m_pdatabase->GetDbVersion()->GetVersionDeviceManagerAdf(), "1.2.3.4");
  EXPECT_FALSE(m_plog->Contains("Unrecognized status")) << m_plog->Text();

  EXPECT_EQ(Send("sessionend"), DEV_REPLY_SUCCESS);
  EXPECT_EQ(Send("interfaceclose"), DEV_REPLY_SUCCESS);
}

// A feeder that names its flatbed unit says where the flatbed's library
// lives and how to reach it.
TEST_F(DpDispatchSimScanner, AFeederNamesItsFlatbed) {
  EXPECT_EQ(Send("interfaceopen",
                 "\t\t<simulate><simulation>true</simulation><simmodel>mapleC</simmodel><simflag><id>flatbed</id>"
                 "<value>mapleCflatbed</value><text></text></simflag></simulate>\n",
                 true),
            DEV_REPLY_SUCCESS)
      << m_plog->Text();
  EXPECT_EQ(Config("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON), "mapleCflatbed");
  EXPECT_EQ(Config("devicetypeflatbed", DB_CONFIGTARGET_COMMON), "simscan");
  EXPECT_EQ(Config("devicefilenameflatbed", DB_CONFIGTARGET_COMMON), "simscan:mapleCflatbed");
  // Its inquiry is kept as the interfaceopen's: that slot is taken now.
  EXPECT_FALSE(m_pdatabase->ConfigLoadReportInquiry("<supported><id>x</id></supported>", 0, true, false,
                                                    DB_FIRMWARE_ADF));
  EXPECT_EQ(Send("interfaceclose"), DEV_REPLY_SUCCESS);
}

}  // namespace
