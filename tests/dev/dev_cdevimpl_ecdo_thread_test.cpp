// The dropout lists filled by an open that completes on the stand-in's own
// callback thread, while the caller's thread reads them as the "ecdolist"
// report does: under the database lock, each read sees no list, the
// "(none)" entry alone or the whole list, never a part of it.
#include <set>
#include <string>

#include "db_cdblock.h"
#include "dev_cdevimpl.h"
#include "dev_device_fixture.h"

namespace {

class DevEcdoThread : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    SetConfigured(OS_CFGTAG_FORCENEXILCALL, "1");
  }
  static EOSSTS Message(EDEVDLG, EDEVMSG, const char*, long, EDEVBUTTONS) { return OS_STS_SUCCESS; }

  // The named records of the scanner's list, read as the report reads them.
  long NamedRecords() {
    CDbLockGuard dblockguard;
    const DbEcdoRecord* adbecdorecord = m_pdatabase->DeviceGetEcdoHeader()->adbecdorecord;
    long l = 0;
    while (l < DB_ECDO_RECORDS && adbecdorecord[l].szName[0]) ++l;
    return l;
  }
};

TEST_F(DevEcdoThread, ListsFilledOnTheCallbackThreadAreReadWhole) {
  m_pdatabase->ConfigSetString("monitorbuttonevents", "true", DB_CONFIGTARGET_COMMON);
  SetSimulation({{"asyncopen", "true"}, {"opendelay", "20"}});
  ASSERT_EQ(m_pdev->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  ASSERT_EQ(m_pdev->SessionBegin(Message), static_cast<EOSSTS>(DEV_STS_NOTCOMPLETE));
  std::set<long> setSeen;
  const bool blCompleted = devtest::WaitFor([&] {
    setSeen.insert(NamedRecords());
    return m_plog->Contains("SetDriverEvent(DEV_EVENT_OPENCOMPLETE");
  });
  ASSERT_TRUE(blCompleted) << m_plog->Text();
  EXPECT_TRUE(m_plog->Contains(">>> CDevImpl::CompleteOpen(1)"));
  // The stand-in's five choices of the scanner's kinds after "(none)".
  EXPECT_EQ(NamedRecords(), 6);
  for (long l : setSeen) EXPECT_TRUE(l == 0 || l == 1 || l == 6) << l;
}

}  // namespace
