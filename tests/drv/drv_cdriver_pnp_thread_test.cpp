// Plug-and-play lists through the device's route (CDev::PnpChange, as its
// callback thread calls it): the devices kept for the front end and the
// flatbed file the driver follows, judged by a model of the rule
// (pnp_model.py); the event list shows exactly the kept list, or the
// session is bounced when button events are monitored, or nothing happens.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_scan_fixture.h"
#include "test_support.h"

namespace {

using drvtest::DrvScanFixture;

struct PnpDevice {
  std::string strPnp;
  std::string strModel;
  std::string strType;
  std::string strFile;
};
using PnpList = std::vector<PnpDevice>;

// A list as the device library writes it.
std::string ListText(const PnpList& a_list) {
  std::string str = "\t\t<pnpchange>\n";
  for (const PnpDevice& device : a_list)
    str += "\t\t\t<device><pnp>" + device.strPnp + "</pnp><resource><model>" + device.strModel +
           "</model><devicetype>" + device.strType + "</devicetype><devicefilename><![CDATA[" + device.strFile +
           "]]></devicefilename></resource></device>\n";
  return str + "\t\t</pnpchange>\n";
}

class DrvPnpThread : public DrvScanFixture {
 protected:
  void SetUp() override {
    DrvScanFixture::SetUp();
    Open();
    Run("<get><id>eventlist</id></get>");
  }

  void ConfigureFlatbed(const std::string& a_strType, const std::string& a_strFile, const std::string& a_strModel) {
    CDbLockGuard dblockguard;
    CDatabase* pdatabase = m_pdriver->GetDatabase();
    if (a_strType.empty())
      pdatabase->ConfigDelete("devicetypeflatbed", DB_CONFIGTARGET_COMMON);
    else
      pdatabase->ConfigSetString("devicetypeflatbed", a_strType.c_str(), DB_CONFIGTARGET_COMMON);
    pdatabase->ConfigSetString("devicefilenameflatbed", a_strFile.c_str(), DB_CONFIGTARGET_COMMON);
    pdatabase->ConfigSetString("model", a_strModel.c_str(), DB_CONFIGTARGET_FLATBED);
  }

  std::string FlatbedFile() {
    CDbLockGuard dblockguard;
    const char* sz = m_pdriver->GetDatabase()->ConfigGetString("devicefilenameflatbed", DB_CONFIGTARGET_COMMON);
    return sz ? sz : "";
  }

  // The model's lines for the lists on that configuration.
  static std::vector<std::string> Judged(const std::string& a_strType, const std::string& a_strFile,
                                         const std::string& a_strModel, const std::vector<PnpList>& a_veclist) {
    std::string strCase = "{\"type\": \"" + a_strType + "\", \"file\": \"" + a_strFile + "\", \"model\": \"" +
                          a_strModel + "\", \"lists\": [";
    for (size_t sizetList = 0; sizetList < a_veclist.size(); ++sizetList) {
      strCase += sizetList ? ", [" : "[";
      for (size_t sizet = 0; sizet < a_veclist[sizetList].size(); ++sizet) {
        const PnpDevice& device = a_veclist[sizetList][sizet];
        strCase += std::string(sizet ? ", " : "") + "[\"" + device.strPnp + "\", \"" + device.strModel + "\", \"" +
                   device.strType + "\", \"" + device.strFile + "\"]";
      }
      strCase += "]";
    }
    strCase += "]}";
    int iStatus = -1;
    const std::string strOutput = testsupport::RunProgram(
        {SCANDRV_PYTHON, std::string(SCANDRV_SOURCE_DIR) + "/tests/drv/pnp_model.py"}, &iStatus, strCase);
    EXPECT_EQ(iStatus, 0) << strOutput;
    return testsupport::Lines(strOutput);
  }

  // The device files of the pnpchange list the event list holds ("-" when
  // it holds none).
  std::string EventFiles() {
    const std::string strReply = Run("<get><id>eventlist</id></get>");
    const size_t sizetOpen = strReply.find("<pnpchange>");
    if (sizetOpen == std::string::npos) return "-";
    EXPECT_EQ(strReply.find("<pnpchange>", sizetOpen + 1), std::string::npos) << strReply;
    const std::string strList = strReply.substr(sizetOpen, strReply.find("</pnpchange>") - sizetOpen);
    std::string strFiles = "kept";
    const std::regex regex("<devicefilename><!\\[CDATA\\[([^\\]]*)\\]\\]></devicefilename>");
    for (std::sregex_iterator it(strList.begin(), strList.end(), regex), end; it != end; ++it)
      strFiles += " " + (*it)[1].str();
    return strFiles;
  }

  // Each list through the device's route, its kept list checked against
  // the model, and the flatbed file at the end.
  void Expect(const std::string& a_strType, const std::string& a_strFile, const std::string& a_strModel,
              const std::vector<PnpList>& a_veclist) {
    ConfigureFlatbed(a_strType, a_strFile, a_strModel);
    const std::vector<std::string> vecJudged = Judged(a_strType, a_strFile, a_strModel, a_veclist);
    ASSERT_EQ(vecJudged.size(), a_veclist.size() + 1);
    for (size_t sizet = 0; sizet < a_veclist.size(); ++sizet) {
      SCOPED_TRACE(ListText(a_veclist[sizet]));
      // The device's callback thread: never the thread of a task.
      std::thread thread([&] { m_pdriver->GetDev()->PnpChange(ListText(a_veclist[sizet]).c_str()); });
      thread.join();
      EXPECT_EQ(EventFiles(), vecJudged[sizet] == "kept" ? "-" : vecJudged[sizet]);
    }
    EXPECT_EQ("file " + FlatbedFile(), vecJudged.back());
  }
};

const PnpDevice s_deviceIntegratedAdd = {"added", "kvflatbed", "flatbedintegrated", "usb:2"};
const PnpDevice s_deviceIntegratedRemove = {"removed", "kvflatbed", "flatbedintegrated", "usb:2"};

TEST_F(DrvPnpThread, AnIntegratedFlatbedIsFollowedAsItGoesAndComes) {
  Expect("flatbedintegrated", "usb:2", "kvflatbed",
         {{s_deviceIntegratedAdd},
          {s_deviceIntegratedRemove, {"added", "kv", "scanner", "usb:3"}},
          {{"removed", "kvflatbed", "flatbedintegrated", "usb:9"}},
          {{"added", "other", "flatbedintegrated", "usb:4"}, {"added", "kvflatbed", "flatbedintegrated", "usb:5"}},
          {{"added", "kvflatbed", "flatbedintegrated", "usb:5"}},
          {{"changed", "kv", "flatbedintegrated", "usb:6"}, {"changed", "kv", "scanner", "usb:7"}}});
}

TEST_F(DrvPnpThread, AnAccessoryFlatbedDropsIntegratedAndUnknownDevices) {
  Expect("flatbedaccessory", "", "kvflatbed",
         {{{"added", "kvflatbed", "flatbedaccessory", "usb:2"}, {"added", "kvflatbed", "flatbedintegrated", "usb:3"}},
          {{"added", "kvflatbed", "flatbedaccessory", "usb:2"}, {"changed", "kv", "scanner", "usb:4"}},
          {{"removed", "kvflatbed", "flatbedaccessory", "usb:2"}},
          {{"added", "kvflatbed", "flatbedaccessory", "usb:8"}}});
}

// Without a flatbed type every device is kept; an unknown type keeps none.
TEST_F(DrvPnpThread, TheConfiguredTypeDecidesForEveryDevice) {
  Expect("", "", "kvflatbed", {{s_deviceIntegratedAdd, {"changed", "kv", "scanner", "usb:3"}}});
  Expect("flatbedwireless", "usb:2", "kvflatbed", {{s_deviceIntegratedAdd, s_deviceIntegratedRemove}});
  EXPECT_EQ(Logged("pnp: unrecognized devicetype...<flatbedwireless>"), 2u);
}

// With button events monitored the session is bounced instead; a list the
// rule empties bounces nothing.
TEST_F(DrvPnpThread, MonitoredButtonEventsBounceTheSession) {
  ConfigureFlatbed("flatbedintegrated", "usb:2", "kvflatbed");
  {
    CDbLockGuard dblockguard;
    m_pdriver->GetDatabase()->ConfigSetString("monitorbuttonevents", "", DB_CONFIGTARGET_COMMON);
  }
  const size_t sizetBounces = DeviceTasks("sessionbounce");
  m_pdriver->GetDev()->PnpChange(ListText({s_deviceIntegratedAdd}).c_str());
  EXPECT_EQ(DeviceTasks("sessionbounce"), sizetBounces);
  m_pdriver->GetDev()->PnpChange(ListText({{"added", "kv", "scanner", "usb:3"}}).c_str());
  EXPECT_EQ(DeviceTasks("sessionbounce"), sizetBounces + 1) << m_plog->Text();
  EXPECT_EQ(EventFiles(), "-");
}

// The device library joins its callback thread inside interfaceclose,
// under the task lock: a list is handled while a task holds that lock.
TEST_F(DrvPnpThread, AListIsHandledWhileATaskHoldsTheTaskLock) {
  ConfigureFlatbed("flatbedintegrated", "usb:2", "kvflatbed");
  {
    std::lock_guard<std::recursive_mutex> lock(CDriver::TaskMutex());
    std::future<void> future = std::async(std::launch::async, [&] {
      m_pdriver->GetDev()->PnpChange(ListText({s_deviceIntegratedRemove}).c_str());
    });
    ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  }
  EXPECT_EQ(EventFiles(), "kept usb:2");
  EXPECT_EQ(FlatbedFile(), "");
}

// Lists that are empty, broken or very long never fail the callback.
TEST_F(DrvPnpThread, BadListsAreDroppedOrPassedWhole) {
  ConfigureFlatbed("", "", "kvflatbed");
  for (const char* sz : {"<pnpchange></pnpchange>", "<pnpchange/>", "", "<pnpchange><device><pnp>added</pnp>",
                         "<pnpchange><device><pnp>added</pnp></pnpchange>", "no list at all"}) {
    SCOPED_TRACE(sz);
    m_pdriver->GetDev()->PnpChange(sz);
    EXPECT_EQ(EventFiles(), "-");
  }
  EXPECT_GE(Logged("pnp: discard empty list..."), 3u);
  PnpList list;
  for (int i = 0; i < 1000; ++i) list.push_back({"added", "kv", "scanner", "usb:" + std::to_string(i)});
  m_pdriver->GetDev()->PnpChange(ListText(list).c_str());
  const std::string strFiles = EventFiles();
  EXPECT_TRUE(strFiles == "-" || strFiles.rfind("kept usb:0 usb:1 ", 0) == 0) << strFiles.substr(0, 200);
  // Outside a session nothing is done.
  g_poslog->SetDsState(3);
  m_pdriver->GetDev()->PnpChange(ListText({{"added", "kv", "scanner", "usb:3"}}).c_str());
  g_poslog->SetDsState(4);
  EXPECT_EQ(EventFiles(), "-");
}

}  // namespace
