// The device's online status as the units report it (directly, through
// crafted callback messages and from the simulated scanner's own thread),
// and the units' resource lock.
#include "dev_device_fixture.h"

namespace {

using devtest::Hex;
using devtest::LoggedTask;
using devtest::Message;
using devtest::Online;
using devtest::WaitFor;

class DevDeviceStatus : public devtest::DeviceFixture {
 protected:
  // Loads the unit and opens its interface (no session).
  void OpenInterface(EDBID_FIRMWARE a_edbidfirmware,
                     const std::vector<std::pair<std::string, std::string>>& a_vecFlags = {}) {
    if (a_edbidfirmware == DB_FIRMWARE_FLATBED) SetFlatbedDirectory();
    ASSERT_EQ(m_pdevdevice->Load(a_edbidfirmware, false), DEV_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(Send(a_edbidfirmware, "interfaceopen", Simulate(a_vecFlags)), DEV_STS_SUCCESS) << m_plog->Text();
  }
  long DeviceOnline() { return m_pdatabase->GetCurrentLongFromId(DB_ID_DEVICEONLINE); }
};


// Unit, online flag and the units loaded give the status (2 online, 3
// off line); DEVICEONLINE follows it (2 true, 1 false).
TEST_F(DevDeviceStatus, FollowsTheUnitsAsLoaded) {
  const struct {
    const char* szCase;
    bool blAdf;
    bool blFlatbed;
    std::vector<std::pair<EDBID_FIRMWARE, long>> vecStep;
    std::vector<long> veclStatus;
  } s_arow[] = {
      {"no unit: the flatbed changes nothing", false, false,
       {{DB_FIRMWARE_FLATBED, 0}, {DB_FIRMWARE_ADF, 1}, {DB_FIRMWARE_ADF, 0}, {DB_FIRMWARE_FLATBED, 1}},
       {2, 2, 3, 3}},
      {"feeder alone", true, false,
       {{DB_FIRMWARE_ADF, 1}, {DB_FIRMWARE_FLATBED, 0}, {DB_FIRMWARE_ADF, 0}, {DB_FIRMWARE_ADF, 1}},
       {2, 2, 3, 2}},
      {"flatbed alone stays online", false, true,
       {{DB_FIRMWARE_FLATBED, 0}, {DB_FIRMWARE_FLATBED, 1}, {DB_FIRMWARE_ADF, 0}, {DB_FIRMWARE_ADF, 1}},
       {2, 2, 3, 2}},
      {"both: online only when both are", true, true,
       {{DB_FIRMWARE_ADF, 1}, {DB_FIRMWARE_FLATBED, 1}, {DB_FIRMWARE_FLATBED, 0}, {DB_FIRMWARE_ADF, 0},
        {DB_FIRMWARE_FLATBED, 1}, {DB_FIRMWARE_ADF, 1}},
       {3, 2, 3, 3, 3, 2}},
  };
  SetFlatbedDirectory();
  for (const auto& row : s_arow) {
    CDevDevice devdevice(m_pdatabase.get(), m_pdev.get());
    if (row.blAdf) {
      ASSERT_EQ(devdevice.Load(DB_FIRMWARE_ADF, false), DEV_STS_SUCCESS);
    }
    if (row.blFlatbed) {
      ASSERT_EQ(devdevice.Load(DB_FIRMWARE_FLATBED, false), DEV_STS_SUCCESS);
    }
    for (size_t i = 0; i < row.vecStep.size(); ++i) {
      EXPECT_EQ(devdevice.SetDeviceStatus(row.vecStep[i].first, row.vecStep[i].second), DEV_STS_SUCCESS);
      EXPECT_EQ(devdevice.GetDeviceStatus(), row.veclStatus[i]) << row.szCase << ", step " << i;
      EXPECT_EQ(DeviceOnline(), row.veclStatus[i] == 2 ? 2 : 1) << row.szCase << ", step " << i;
    }
  }
}

// The unit drops off line on its own thread: deviceoffline raised once;
// back on line, deviceonline; a repeated message raises nothing. This
// facade runs no scan, so nothing is stopped (the stop of a running scan is
// shown by the scan tests, where the unit drops off line mid-scan).
TEST_F(DevDeviceStatus, OfflineFromTheUnitsThreadRaisesTheEvents) {
  OpenInterface(DB_FIRMWARE_ADF, {{"offlineafter", "50"}, {"onlineafter", "300"}});
  ASSERT_EQ(m_pdevdevice->RegisterCallback(DB_FIRMWARE_ADF, "connectionchange",
                                           CDevDevice::CallBackSetDeviceStatusAdf, m_pdevdevice.get()),
            DEV_STS_SUCCESS);
  EXPECT_EQ(DeviceOnline(), 1);
  m_pdevdevice->SetDeviceStatus(DB_FIRMWARE_ADF, 1);
  ASSERT_EQ(Events(), std::vector<EDEVEVENT>{DEV_EVENT_DEVICEONLINE});
  ASSERT_EQ(Send(DB_FIRMWARE_ADF, "sessionbegin"), DEV_STS_SUCCESS);

  ASSERT_TRUE(WaitFor([&] { return Events().size() == 2; })) << m_plog->Text();
  EXPECT_EQ(Events().back(), DEV_EVENT_DEVICEOFFLINE);
  EXPECT_TRUE(Stops().empty());
  EXPECT_EQ(DeviceOnline(), 1);
  EXPECT_EQ(m_pdevdevice->GetDeviceStatus(), 3);
  EXPECT_TRUE(m_plog->Contains("callback>>> connectionchange(adf) "));
  EXPECT_EQ(m_pdevdevice->GetConfig(DB_FIRMWARE_ADF, DB_ID_FEEDERLOADED), DEV_STS_DISCONNECTED);

  ASSERT_TRUE(WaitFor([&] { return Events().size() == 3; })) << m_plog->Text();
  EXPECT_EQ(Events().back(), DEV_EVENT_DEVICEONLINE);
  EXPECT_EQ(DeviceOnline(), 2);
  EXPECT_EQ(m_pdevdevice->GetDeviceStatus(), 2);
  EXPECT_EQ(m_pdevdevice->GetConfig(DB_FIRMWARE_ADF, DB_ID_FEEDERLOADED), DEV_STS_SUCCESS);

  // Repeated, nothing; off line while no scan runs: the event, no stop.
  std::string strMessage = Message("connectionchange", Hex(m_pdevdevice.get()), Online("true"));
  EXPECT_EQ(CDevDevice::CallBackSetDeviceStatusAdf(strMessage.data()), OS_STS_SUCCESS);
  EXPECT_EQ(Events().size(), 3u);
  strMessage = Message("connectionchange", Hex(m_pdevdevice.get()), Online("false"));
  EXPECT_EQ(CDevDevice::CallBackSetDeviceStatusAdf(strMessage.data()), OS_STS_SUCCESS);
  EXPECT_EQ(Events().back(), DEV_EVENT_DEVICEOFFLINE);
  EXPECT_TRUE(Stops().empty());
}

// Crafted messages: what the entry points read and what they refuse.
TEST_F(DevDeviceStatus, EntryPointsReadTheirMessages) {
  const std::string strSelf = Hex(m_pdevdevice.get());
  const struct {
    const char* szCase;
    bool blNone;  // no message at all
    std::string strMessage;
    bool blFlatbed;
    EOSSTS eossts;
    long lStatus;  // the device status afterwards
    std::string strLog;
  } s_arow[] = {
      {"no message", true, "", false, OS_STS_FAIL, 2, "a_pvArg is null..."},
      {"another callback", false, Message("imageavailable", strSelf, Online("false")), false, OS_STS_FAIL, 2,
       "Unknown callbackname <imageavailable>..."},
      {"no pointer", false, Message("connectionchange", "", Online("false")), false, OS_STS_FAIL, 2,
       "userargumentptr is null..."},
      {"zero pointer", false, Message("connectionchange", "0000000000000000", Online("false")), false, OS_STS_FAIL, 2,
       "userargumentptr is null..."},
      {"a 0X prefix", false, Message("connectionchange", "0X" + strSelf, Online("false")), false, OS_STS_SUCCESS, 3,
       "callback>>> connectionchange(adf) "},
      {"back", false, Message("connectionchange", strSelf, Online("true")), false, OS_STS_SUCCESS, 2, ""},
      {"200 characters of deviceonline, cut, are not true", false,
       Message("connectionchange", strSelf, Online("true" + std::string(196, 'e'))), false, OS_STS_SUCCESS, 3, ""},
      {"a padded pointer is cut, not lost", false,
       Message("connectionchange", strSelf + std::string(150, ' '), Online("true")), false, OS_STS_SUCCESS, 2, ""},
      {"200 characters of callbackname, cut", false,
       Message("connectionchange" + std::string(184, 'x'), strSelf, Online("false")), false, OS_STS_FAIL, 2,
       "Unknown callbackname <connectionchange" + std::string(111, 'x') + ">..."},
      {"the flatbed's entry (no flatbed loaded: no change)", false,
       Message("connectionchange", strSelf, Online("false")), true, OS_STS_SUCCESS, 2,
       "callback>>> connectionchange(flatbed) "},
  };
  for (const auto& row : s_arow) {
    std::string strMessage = row.strMessage;
    void* pvArg = row.blNone ? nullptr : strMessage.data();
    const EOSSTS eossts = row.blFlatbed ? CDevDevice::CallBackSetDeviceStatusFlatbed(pvArg)
                                        : CDevDevice::CallBackSetDeviceStatusAdf(pvArg);
    EXPECT_EQ(eossts, row.eossts) << row.szCase;
    EXPECT_EQ(m_pdevdevice->GetDeviceStatus(), row.lStatus) << row.szCase;
    if (!row.strLog.empty()) {
      EXPECT_TRUE(m_plog->Contains(row.strLog)) << row.szCase;
    }
  }
  // A pointer that names no living adapter: a library calling after its
  // interface closed, or one that does not know what it sends.
  long lNotAnAdapter = 0;
  std::string strStranger = Message("connectionchange", Hex(&lNotAnAdapter), Online("false"));
  EXPECT_EQ(CDevDevice::CallBackSetDeviceStatusAdf(strStranger.data()), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("userargumentptr names no adapter...<" + Hex(&lNotAnAdapter) + ">"));
  auto pdevdeviceGone = std::make_unique<CDevDevice>(m_pdatabase.get(), m_pdev.get());
  std::string strGone = Message("connectionchange", Hex(pdevdeviceGone.get()), Online("false"));
  EXPECT_EQ(CDevDevice::CallBackSetDeviceStatusAdf(strGone.data()), OS_STS_SUCCESS);
  pdevdeviceGone.reset();
  EXPECT_EQ(CDevDevice::CallBackSetDeviceStatusAdf(strGone.data()), OS_STS_FAIL);
  EXPECT_EQ(m_pdevdevice->GetDeviceStatus(), 2);

  // The plug-and-play message goes to the facade whole, and on to the
  // driver's procedure.
  RecordPnpChanges();
  std::string strPnp =
      Message("pnpchange", "0x" + strSelf, "\t\t<pnpchange><device><pnp>added</pnp></device></pnpchange>\n");
  EXPECT_EQ(CDevDevice::CallBackPnpChange(strPnp.data()), OS_STS_SUCCESS);
  std::string strOther = Message("connectionchange", strSelf);
  EXPECT_EQ(CDevDevice::CallBackPnpChange(strOther.data()), OS_STS_FAIL);
  EXPECT_EQ(CDevDevice::CallBackPnpChange(nullptr), OS_STS_FAIL);
  EXPECT_EQ(PnpChanges(), std::vector<std::string>{strPnp});
  EXPECT_TRUE(m_plog->Contains("callback>>> pnpchange(adf) "));
}

// Locking goes feeder first and is undone when the flatbed refuses;
// unlocking goes flatbed first; nothing is sent unless allowed.
TEST_F(DevDeviceStatus, ResourceLockOrderAndUndo) {
  OpenInterface(DB_FIRMWARE_ADF, {{"flatbed.busy", "2"}});
  OpenInterface(DB_FIRMWARE_FLATBED, {{"flatbed.busy", "2"}});
  size_t sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevdevice->ResourceLock(), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->ResourceUnlock(), DEV_STS_SUCCESS);
  EXPECT_EQ(Tasks().size(), sizetTasks);

  m_pdevdevice->SetAllowResourceLock(true);
  EXPECT_TRUE(m_plog->Contains("ResourceEnd (SetAllowResourceLock)..."));
  const struct {
    std::function<EDEVSTS()> fn;
    int iResult;
    std::vector<std::string> vecstrTask;
  } s_arow[] = {
      {[&] { return m_pdevdevice->ResourceLock(); }, 3,
       {"adf resourcelock success", "flatbed resourcelock busy", "adf resourceunlock success"}},
      {[&] { return m_pdevdevice->ResourceBegin(false); }, 3,
       {"adf resourcebegin success", "flatbed resourcebegin busy", "adf resourceend success"}},
      {[&] { return m_pdevdevice->ResourceEnd(); }, 0, {}},
      {[&] { return m_pdevdevice->ResourceLock(); }, 0, {"adf resourcelock success", "flatbed resourcelock success"}},
      {[&] { return m_pdevdevice->ResourceUnlock(); }, 0,
       {"flatbed resourceunlock success", "adf resourceunlock success"}},
      {[&] { return m_pdevdevice->ResourceBegin(true); }, 0,
       {"adf resourcebegin success", "flatbed resourcebegin success"}},
      {[&] { return m_pdevdevice->ResourceEnd(); }, 0, {"flatbed resourceend success", "adf resourceend success"}},
      {[&] { return m_pdevdevice->ResourceEnd(); }, 0, {}},
  };
  for (const auto& row : s_arow) {
    sizetTasks = Tasks().size();
    EXPECT_EQ(row.fn(), row.iResult) << ::testing::PrintToString(row.vecstrTask);
    EXPECT_EQ(Brief(sizetTasks), row.vecstrTask);
  }
  const std::vector<LoggedTask> vecloggedtask = Tasks();
  EXPECT_EQ(vecloggedtask[vecloggedtask.size() - 4].Arguments(), "disconnectwontunlock=true");
  m_pdevdevice->SetAllowResourceLock(false);
  EXPECT_TRUE(m_plog->Contains("ResourceBegin (SetAllowResourceLock)..."));
}

}  // namespace
