// The device implementation's two entry points of the attribute tasks
// without libraries to take them: the send fails (the stand-ins' side is
// in dev_cdevimpl_setup_test.cpp), and the image library can be switched
// off.
#include <gtest/gtest.h>

#include <string>

#include "../db/db_makexml_fixture.h"
#include "dev_cdevimpl.h"
#include "os_cosxmltask.h"

namespace {

class DbDevTasksTest : public dbtest::DbMakeXmlFixture {
 protected:
  void SetUp() override {
    DbMakeXmlFixture::SetUp();
    m_pdevimpl = std::make_unique<CDevImpl>(m_pdatabase.get(), nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    m_pdevimpl.reset();
    DbMakeXmlFixture::TearDown();
  }

  EOSSTS RunDevice() {
    return m_pdatabase->MakeXmlAll(CDevImpl::NexEntryCallbackFriend, CDevImpl::ScannerEntryCallbackFriend,
                                   m_pdevimpl.get());
  }

  std::unique_ptr<CDevImpl> m_pdevimpl;
};

// Before the interface opens no library can take a task: the first send
// fails, and with it the setup.
TEST_F(DbDevTasksTest, WithoutLibrariesTheSendFails) {
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(RunDevice(), OS_STS_FAIL);
  EXPECT_NE(LogFrom(sizetFrom).find("no device-manager library for unit 1..."), std::string::npos) << LogFrom(sizetFrom);
  EXPECT_NE(LogFrom(sizetFrom).find("setconfig for Device DLL failed..."), std::string::npos);
}

TEST_F(DbDevTasksTest, WithoutUserDataBothFail) {
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(CDevImpl::ScannerEntryCallbackFriend(nullptr), OS_STS_FAIL);
  EXPECT_EQ(CDevImpl::NexEntryCallbackFriend(nullptr), OS_STS_FAIL);
  EXPECT_NE(LogFrom(sizetFrom).find("a_pvUser is null..."), std::string::npos);
  EXPECT_EQ(m_pdatabase->MakeXmlAll(CDevImpl::NexEntryCallbackFriend, CDevImpl::ScannerEntryCallbackFriend, nullptr),
            OS_STS_FAIL);
  EXPECT_NE(LogFrom(sizetFrom).find("setconfig for Device DLL failed..."), std::string::npos);
}

// With the image library switched off its entry answers success at once,
// even without user data.
TEST_F(DbDevTasksTest, ImageLibrarySwitchedOff) {
  Configure(OS_CFGTAG_FORCENEXILOFF, "1");
  EXPECT_EQ(CDevImpl::NexEntryCallbackFriend(nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(CDevImpl::NexEntryCallbackFriend(m_pdevimpl.get()), OS_STS_SUCCESS);
}

}  // namespace
