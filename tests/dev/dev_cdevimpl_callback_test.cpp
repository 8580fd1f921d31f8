// The device managers' callbacks into the device object, from the
// stand-ins' own threads (a button on either unit, an image ready) and with
// crafted messages that the entry points refuse.
#include <string>
#include <vector>

#include "dev_cdevimpl.h"
#include "dev_device_fixture.h"
#include "os_cosxmltask.h"

namespace {

using devtest::Hex;
using devtest::Message;
using devtest::WaitFor;

class DevCallbacksThread : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    SetConfigured(OS_CFGTAG_FORCENEXILOFF, "1");
  }
  CDevImpl& Impl() { return devtest::Impl(*m_pdev); }
  // The device object opened on the stand-ins, the sessions begun through
  // its adapter (the flatbed's first, as the open does).
  void OpenDevice(bool a_blFlatbed) {
    if (a_blFlatbed) setenv("SIMSCAN_ADF_FLATBED", devtest::FlatbedDirectory().c_str(), 1);
    ASSERT_EQ(m_pdev->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
    CDevDevice* pdevdevice = Impl().GetPod().m_pdevdevice;
    if (a_blFlatbed) {
      ASSERT_EQ(pdevdevice->SessionBegin(nullptr, DB_FIRMWARE_FLATBED, nullptr, nullptr), DEV_STS_SUCCESS);
    }
    ASSERT_EQ(pdevdevice->SessionBegin(nullptr, DB_FIRMWARE_ADF, nullptr, nullptr), DEV_STS_SUCCESS);
    // The open told of the scanner online.
    EXPECT_EQ(Queued(), std::vector<std::string>{"deviceonline="});
  }
  // The first events the stand-ins' threads queue, waited for.
  std::vector<std::string> WaitQueued() {
    std::vector<std::string> vecQueued;
    EXPECT_TRUE(WaitFor([&] {
      for (const std::string& str : Queued()) vecQueued.push_back(str);
      return !vecQueued.empty();
    }));
    return vecQueued;
  }
  // The queued events as "word=value", emptying the table.
  std::vector<std::string> Queued() { return devtest::QueuedEvents(Impl()); }
};

TEST_F(DevCallbacksThread, TheFeedersButtonIsQueuedByName) {
  SetSimulation({{"button", "200:scan"}});
  OpenDevice(false);
  ASSERT_EQ(Impl().RegisterCallback(DB_FIRMWARE_ADF, "buttonevent", CDevImpl::CallBackButtonEventAdf, &Impl()),
            OS_STS_SUCCESS);
  const std::vector<std::string> vecQueued = WaitQueued();
  EXPECT_EQ(vecQueued, std::vector<std::string>{"devicebutton=scan"});
  EXPECT_TRUE(m_plog->Contains("callback>>> buttonevent(adf) "));
}

// The flatbed has no panel: the feeder's says which button it was.
TEST_F(DevCallbacksThread, TheFlatbedsButtonIsAskedOfTheFeeder) {
  SetSimulation({{"flatbed.button", "200:any"}});
  OpenDevice(true);
  const size_t sizetTasks = Tasks().size();
  ASSERT_EQ(Impl().RegisterCallback(DB_FIRMWARE_FLATBED, "buttonevent", CDevImpl::CallBackButtonEventFlatbed, &Impl()),
            OS_STS_SUCCESS);
  const std::vector<std::string> vecQueued = WaitQueued();
  EXPECT_EQ(vecQueued, std::vector<std::string>{"devicebutton=1"});
  EXPECT_EQ(Brief(sizetTasks),
            (std::vector<std::string>{"flatbed registercallback success", "adf getocpbutton success"}));
  // Without a feeder nothing is asked.
  m_pdatabase->ConfigEnumDelete("papersource", "adf", DB_CONFIGTARGET_COMMON);
  ASSERT_FALSE(m_pdatabase->ConfigEnumExists("papersource", "adf", DB_CONFIGTARGET_COMMON));
  EXPECT_EQ(Impl().GetOcpButton(), 0);
  EXPECT_EQ(Tasks().size(), sizetTasks + 2);
}

// An image the stand-in owed is called back through imageavailable (the
// scan tests show the call waking the scan thread).
TEST_F(DevCallbacksThread, AnImageReadyWakesTheScanThread) {
  SetSimulation({{"delay", "300"}});
  OpenDevice(false);
  CDevDevice* pdevdevice = Impl().GetPod().m_pdevdevice;
  ASSERT_EQ(Impl().RegisterCallback(DB_FIRMWARE_ADF, "imageavailable", CDevImpl::CallBackImageAvailable, &Impl()),
            OS_STS_SUCCESS);
  ASSERT_EQ(pdevdevice->ScanBegin(DB_FIRMWARE_ADF, 4, false), DEV_STS_SUCCESS) << m_plog->Text();
  char szOutput[4096];
  ASSERT_EQ(pdevdevice->GetOutput(DB_FIRMWARE_ADF, szOutput, sizeof szOutput), DEV_STS_NOIMAGEAVAILABLE);
  ASSERT_TRUE(WaitFor([&] { return m_plog->Contains("callback>>> imageavailable "); })) << m_plog->Text();
  pdevdevice->ScanEnd(DB_FIRMWARE_ADF, false, false);
}

// Crafted messages: what each entry point refuses, and a long button cut.
TEST_F(DevCallbacksThread, EntryPointsRefuseWhatNamesNoDeviceObject) {
  CDevImpl& devimpl = Impl();
  const std::string strSelf = Hex(&devimpl);
  long lNotADevice = 0;
  const std::string strButton = "\t\t<button>scan</button>\n";
  const struct {
    const char* szCase;
    bool blNone;
    std::string strMessage;
    const char* szLog;
  } s_arow[] = {
      {"no message", true, "", "a_pvArg is null..."},
      {"another callback", false, Message("connectionchange", strSelf, strButton),
       "Unknown callbackname <connectionchange>..."},
      {"no argument", false,
       "<task><callback><callbackname>buttonevent</callbackname>" + strButton + "</callback></task>",
       "userargumentptr not found..."},
      {"zero", false, Message("buttonevent", "0000000000000000", strButton), "userargumentptr is null..."},
      {"17 digits", false, Message("buttonevent", "1" + strSelf, strButton), "userargumentptr is not a pointer...<1"},
      {"not hexadecimal", false, Message("buttonevent", "device", strButton),
       "userargumentptr is not a pointer...<device>"},
      {"no device object", false, Message("buttonevent", Hex(&lNotADevice), strButton),
       "userargumentptr names no device object..."},
  };
  for (const auto& row : s_arow) {
    std::string strMessage = row.strMessage;
    void* pvArg = row.blNone ? nullptr : strMessage.data();
    for (auto pfn : {CDevImpl::CallBackButtonEventAdf, CDevImpl::CallBackButtonEventFlatbed}) {
      EXPECT_EQ(pfn(pvArg), OS_STS_FAIL) << row.szCase;
    }
    EXPECT_TRUE(m_plog->Contains(row.szLog)) << row.szCase;
  }
  std::string strZero = Message("imageavailable", "0");
  EXPECT_EQ(CDevImpl::CallBackImageAvailable(strZero.data()), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("pdevimpl is null..."));
  std::string strButtonMessage = Message("imageavailable", strSelf, strButton);
  EXPECT_EQ(CDevImpl::CallBackButtonEventAdf(strButtonMessage.data()), OS_STS_FAIL);
  EXPECT_EQ(CDevImpl::CallBackImageAvailable(nullptr), OS_STS_FAIL);
  EXPECT_TRUE(Queued().empty());

  // A button of 200 characters is cut to 127; an empty one is no press.
  std::string strLong = Message("buttonevent", strSelf, "\t\t<button>" + std::string(200, 'b') + "</button>\n");
  EXPECT_EQ(CDevImpl::CallBackButtonEventAdf(strLong.data()), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("callback>>> <button> cut to 127 characters..."));
  std::string strEmpty = Message("buttonevent", strSelf, "\t\t<button></button>\n");
  EXPECT_EQ(CDevImpl::CallBackButtonEventAdf(strEmpty.data()), OS_STS_SUCCESS);
  EXPECT_EQ(Queued(), std::vector<std::string>{"devicebutton=" + std::string(127, 'b')});
  std::string strImage = Message("imageavailable", strSelf);
  EXPECT_EQ(CDevImpl::CallBackImageAvailable(strImage.data()), OS_STS_SUCCESS);
  // The flatbed's entry without a session asks nothing and queues nothing.
  std::string strFlatbed = Message("buttonevent", strSelf);
  EXPECT_EQ(CDevImpl::CallBackButtonEventFlatbed(strFlatbed.data()), OS_STS_SUCCESS);
  EXPECT_TRUE(Queued().empty());
  // A device object that is gone.
  auto pdevimplGone = std::make_unique<CDevImpl>(m_pdatabase.get(), nullptr, nullptr, nullptr);
  std::string strGone = Message("imageavailable", Hex(pdevimplGone.get()));
  pdevimplGone.reset();
  EXPECT_EQ(CDevImpl::CallBackImageAvailable(strGone.data()), OS_STS_FAIL);
}

}  // namespace
