// The probe: a table of device lists, simulation requests and scripted
// attached devices with the records the probe makes of them and the unit
// it selects; the walks; the limits of the tables; bad device lists. The
// device lists are well-formed XML as xmllint judges.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "../log_capture.h"
#include "os_copenusb.h"
#include "os_cosusb_fake.h"
#include "os_cosusb_testutil.h"
#include "os_cosusbprobe.h"
#include "test_support.h"

using testsupport::LogCapture;

namespace {

std::string Unit(const std::string& a_group, const std::string& a_type, const std::string& a_model,
                 const std::string& a_vid, const std::string& a_pid) {
  return "<device><group>" + a_group + "</group><devicetype>" + a_type + "</devicetype><model>" + a_model +
         "</model><devicefilename>/dev/" + a_model + "</devicefilename><devicefriendlyname>" + a_model +
         " Scanner</devicefriendlyname><usb><vid>" + a_vid + "</vid><pid>" + a_pid + "</pid><mfg>Maker</mfg>"
         "<mdl>" + a_model + "</mdl></usb></device>";
}

std::string List(const std::vector<std::string>& a_units) {
  std::string list = "<devicelist>";
  for (const auto& unit : a_units) list += unit;
  return list + "</devicelist>";
}

const std::string kFeeder = Unit("models", "adf", "A", "04a9", "1001");
const std::string kFlatbed = Unit("flatbed", "flatbedaccessory", "FB", "04a9", "2001");
const std::string kFeeder2 = Unit("models", "adf", "B", "0x04a9", "0x1001");

// One online record as "model group type vid:pid".
std::string Describe(const OsUsbInfo* a_p) {
  char sz[160];
  std::snprintf(sz, sizeof sz, "%s %s %s %04x:%04x", a_p->szModel, a_p->szGroup, a_p->szDeviceType, a_p->u16Vid,
                a_p->u16Pid);
  return sz;
}

struct ProbeCase {
  const char* name;
  std::string deviceList;
  std::string simulation;
  std::vector<usbfake::Device> devices;
  int32_t listStatus;
  EOSSTS status;
  std::vector<std::string> online;
  std::string selected;  // the selected record, described
};
void PrintTo(const ProbeCase& a_case, std::ostream* a_os) { *a_os << a_case.name; }

const ProbeCase kProbeCases[] = {
    {"FlatbedListedFirstStillSelectsTheFeeder", List({kFlatbed, kFeeder}), "",
     {{0x04a9, 0x2001}, {0x04a9, 0x1001}}, OPENUSB_SUCCESS, OS_STS_SUCCESS,
     {"A models adf 04a9:1001", "FB flatbed flatbedaccessory 04a9:2001"}, "A models adf 04a9:1001"},
    {"NoDeviceElementsLetEveryDeviceThroughAsFeeder", "<devicelist></devicelist>", "",
     {{0x1111, 0x0001}, {0x2222, 0x0002}}, OPENUSB_SUCCESS, OS_STS_SUCCESS,
     {" models adf 1111:0001", " models adf 2222:0002"}, " models adf 1111:0001"},
    {"OnlyAFlatbedAttached", List({kFeeder, kFlatbed}), "", {{0x04a9, 0x2001}}, OPENUSB_SUCCESS,
     OS_STS_END_OF_LIST, {"FB flatbed flatbedaccessory 04a9:2001"}, ""},
    {"NothingAttached", List({kFeeder}), "", {}, OPENUSB_SUCCESS, OS_STS_END_OF_LIST, {}, ""},
    {"UnlistedDevicesAreLeftOut", List({kFeeder}), "", {{0x1234, 0x5678}, {0x04a9, 0x1001}}, OPENUSB_SUCCESS,
     OS_STS_SUCCESS, {"A models adf 04a9:1001"}, "A models adf 04a9:1001"},
    // "0x04a9"/"0x1001" (B) and "04a9"/"1001" (A) are the same ids: one
    // device, two filters, two records.
    {"IdsWithAndWithoutPrefixMatchAlike", List({kFeeder, kFeeder2}), "", {{0x04a9, 0x1001}}, OPENUSB_SUCCESS,
     OS_STS_SUCCESS, {"A models adf 04a9:1001", "B models adf 04a9:1001"}, "A models adf 04a9:1001"},
    {"CapitalPrefix", List({Unit("models", "adf", "C", "0X04A9", "0X100A")}), "", {{0x04a9, 0x100a}},
     OPENUSB_SUCCESS, OS_STS_SUCCESS, {"C models adf 04a9:100a"}, "C models adf 04a9:100a"},
    {"ADescriptorThatCannotBeParsedDropsThatDevice", List({kFeeder}), "",
     {{0x04a9, 0x1001, OPENUSB_IO_STALL}, {0x04a9, 0x1001}}, OPENUSB_SUCCESS, OS_STS_SUCCESS,
     {"A models adf 04a9:1001"}, "A models adf 04a9:1001"},
    {"TheDeviceListCannotBeHad", List({kFeeder}), "", {{0x04a9, 0x1001}}, OPENUSB_PLATFORM_FAILURE, OS_STS_FAIL, {},
     ""},
    {"SimulationOnceTakesTheFirstUnit", List({kFeeder, kFlatbed}), "<simulation>once</simulation>", {},
     OPENUSB_SUCCESS, OS_STS_SUCCESS, {"A models adf 04a9:1001"}, "A models adf 04a9:1001"},
    {"SimulationTrueWithItsModel", List({kFeeder, kFlatbed}),
     "<task><simulation>true</simulation><mdl>FB</mdl></task>", {}, OPENUSB_SUCCESS, OS_STS_SUCCESS,
     {"FB flatbed flatbedaccessory 04a9:2001"}, "FB flatbed flatbedaccessory 04a9:2001"},
    {"SimulationTrueWithAnUnknownModelTakesTheFirst", List({kFlatbed, kFeeder}),
     "<simulation>true</simulation><mdl>ZZ</mdl>", {}, OPENUSB_SUCCESS, OS_STS_SUCCESS,
     {"FB flatbed flatbedaccessory 04a9:2001"}, "FB flatbed flatbedaccessory 04a9:2001"},
    {"SimulationWithoutUnits", "<devicelist/>", "<simulation>once</simulation>", {}, OPENUSB_SUCCESS,
     OS_STS_END_OF_LIST, {}, ""},
    // A simulation text that asks for neither probes the hardware.
    {"SimulationFalse", List({kFeeder}), "<simulation>false</simulation>", {{0x04a9, 0x1001}}, OPENUSB_SUCCESS,
     OS_STS_SUCCESS, {"A models adf 04a9:1001"}, "A models adf 04a9:1001"},
};

class UsbProbeTable : public ::testing::TestWithParam<ProbeCase> {
 protected:
  UsbProbeTable() : m_table(usbfake::NewTable()), m_probe(nullptr, nullptr) { m_probe.SetOpenUsb(m_table.get()); }
  usbtest::UsbConfig m_config;
  std::unique_ptr<COpenUsb> m_table;
  COsUsbProbe m_probe;
};

TEST_P(UsbProbeTable, SelectsAsTheListTheSimulationAndTheAttachedDevicesSay) {
  const ProbeCase& c = GetParam();
  usbfake::Script& script = usbfake::Reset();
  script.devices = c.devices;
  script.listStatus = c.listStatus;
  ASSERT_EQ(m_probe.RegisterDevicesForProbe(c.deviceList.c_str(), c.simulation.c_str()), OS_STS_SUCCESS);
  const bool simulation = c.simulation.find("<simulation>true") != std::string::npos ||
                          c.simulation.find("<simulation>once") != std::string::npos;
  EXPECT_EQ(m_probe.IsSimulation(), simulation);
  for (OsUsbInfo* p = m_probe.GetFirstFilter(); p; p = m_probe.GetNextFilter()) {
    EXPECT_EQ(p->u32Kind, 1u);
    EXPECT_EQ(p->eosusbconnection, OS_USBCONNECTION_DISCONNECTED);
    EXPECT_EQ(p->eosusbwire, OS_USBWIRE_USB);
    EXPECT_EQ(p->blSimulation, simulation);
  }

  // A second probe gives the same records, not twice as many.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(m_probe.Probe(), c.status) << "round " << round;
    std::vector<std::string> online;
    for (OsUsbInfo* p = m_probe.GetFirstOnline(); p; p = m_probe.GetNextOnline()) {
      online.push_back(Describe(p));
      EXPECT_STREQ(p->szSerialNumber, "0000000000000000");
      EXPECT_EQ(p->u16Speed, 0x0200);
      EXPECT_EQ(p->u32Kind, 2u);
      EXPECT_EQ(p->eosusbconnection, OS_USBCONNECTION_CONNECTED);
      EXPECT_EQ(p->blSimulation, simulation);
      if (simulation) {
        EXPECT_STREQ(p->szDeviceFileName, "");
      } else {
        EXPECT_GE(p->u64DevId, 100u);
      }
    }
    EXPECT_EQ(online, c.online) << "round " << round;
    EXPECT_EQ(c.status == OS_STS_SUCCESS ? Describe(m_probe.GetSelected()) : "", c.selected);
  }
  // Simulation never asks the USB library.
  EXPECT_EQ(script.listCalls, simulation ? 0 : 2);
}

INSTANTIATE_TEST_SUITE_P(Lists, UsbProbeTable, ::testing::ValuesIn(kProbeCases),
                         [](const auto& a_info) { return a_info.param.name; });

TEST(UsbProbeFixtures, DeviceListsAreWellFormed) {
  int index = 0;
  for (const ProbeCase& c : kProbeCases) {
    const std::string path = testsupport::RootPath("list" + std::to_string(index++) + ".xml");
    testsupport::WriteFile(path, c.deviceList);
    int status = -1;
    std::string out = testsupport::RunProgram({"xmllint", "--noout", path}, &status);
    EXPECT_EQ(status, 0) << c.name << ": " << out;
  }
}

class UsbProbe : public ::testing::Test {
 protected:
  UsbProbe() : m_table(usbfake::NewTable()), m_probe(nullptr, nullptr) {
    usbfake::Reset();
    m_probe.SetOpenUsb(m_table.get());
  }
  usbtest::UsbConfig m_config;
  std::unique_ptr<COpenUsb> m_table;
  COsUsbProbe m_probe;
};

// The selection walk hands out the selected record itself in place of the
// first feeder unit; the others as they are.
TEST_F(UsbProbe, TheSelectionWalkGivesTheSelectedRecordForTheFirstFeeder) {
  usbfake::Get().devices = {{0x04a9, 0x2001}, {0x04a9, 0x1001}, {0x04a9, 0x1001}};
  ASSERT_EQ(m_probe.RegisterDevicesForProbe(List({kFlatbed, kFeeder}).c_str(), ""), OS_STS_SUCCESS);
  ASSERT_EQ(m_probe.Probe(), OS_STS_SUCCESS);
  std::vector<OsUsbInfo*> walk;
  for (OsUsbInfo* p = m_probe.GetFirst(); p; p = m_probe.GetNext()) walk.push_back(p);
  ASSERT_EQ(walk.size(), 3u);
  EXPECT_EQ(walk[0], m_probe.GetSelected());
  EXPECT_EQ(walk[0]->u64DevId, 101u);
  EXPECT_NE(walk[1], m_probe.GetSelected());
  EXPECT_EQ(walk[1]->u64DevId, 102u);
  EXPECT_STREQ(walk[2]->szGroup, "flatbed");
  EXPECT_EQ(m_probe.GetFirst(), m_probe.GetSelected());
}

// Repeated elements: the device file name, ids and texts keep their first
// value; a network unit keeps its address.
TEST_F(UsbProbe, FirstValuesAreKept) {
  const std::string list =
      "<devicelist><device><group>models</group><devicetype>adf</devicetype><model>N</model>"
      "<devicefilename>/dev/first</devicefilename><devicefilename>/dev/second</devicefilename>"
      "<net><vid>0x0001</vid><vid>0x0002</vid><pid>3</pid><socketip4>10.0.0.1</socketip4>"
      "<socketip4>10.0.0.2</socketip4><mfg>M1</mfg><mfg>M2</mfg></net></device></devicelist>";
  ASSERT_EQ(m_probe.RegisterDevicesForProbe(list.c_str(), nullptr), OS_STS_SUCCESS);
  OsUsbInfo* p = m_probe.GetFirstFilter();
  ASSERT_TRUE(p);
  EXPECT_EQ(p->eosusbwire, OS_USBWIRE_NET);
  EXPECT_STREQ(p->szDeviceFileName, "/dev/first");
  EXPECT_EQ(p->u16Vid, 1);
  EXPECT_EQ(p->u16Pid, 3);
  EXPECT_STREQ(p->szSocketIp4, "10.0.0.1");
  EXPECT_STREQ(p->szMfg, "M1");
  EXPECT_EQ(m_probe.GetNextFilter(), nullptr);
}

// 33 units in the list or 33 matching devices attached: the tables hold
// 32; the rest is logged and left out.
TEST_F(UsbProbe, TheTablesHoldThirtyTwo) {
  LogCapture log;
  std::vector<std::string> units;
  for (int i = 0; i < 33; ++i) units.push_back(Unit("models", "adf", "U" + std::to_string(i), "04a9", "1001"));
  ASSERT_EQ(m_probe.RegisterDevicesForProbe(List(units).c_str(), ""), OS_STS_SUCCESS);
  EXPECT_EQ(m_probe.GetFilterCount(), 32);
  EXPECT_TRUE(log.Contains("Too many devices in the device list, ignoring this one...33"));
  usbfake::Get().devices = {{0x04a9, 0x1001}};
  ASSERT_EQ(m_probe.Probe(), OS_STS_SUCCESS);
  EXPECT_EQ(m_probe.GetOnlineCount(), 32);

  ASSERT_EQ(m_probe.RegisterDevicesForProbe("<devicelist/>", ""), OS_STS_SUCCESS);
  usbfake::Get().devices.assign(33, {0x04a9, 0x1001});
  ASSERT_EQ(m_probe.Probe(), OS_STS_SUCCESS);
  EXPECT_EQ(m_probe.GetOnlineCount(), 32);
  EXPECT_TRUE(log.Contains("usb>>> probe: too many devices, ignoring the rest...33"));
}

TEST_F(UsbProbe, BadDeviceListsAreRefusedWithALogLine) {
  struct Case {
    const char* list;
    const char* log;
  } cases[] = {
      {"<devicelist><device><group>scanners</group></device></devicelist>", "unrecognized group...<scanners>"},
      {"<devicelist><device><devicetype>sheetfed</devicetype></device></devicelist>",
       "unrecognized devicetype...<sheetfed>"},
      {"<devicelist><device>", "DispatchLoadAndDispatch failed...<<devicelist><device>>"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    EXPECT_NE(m_probe.RegisterDevicesForProbe(c.list, ""), OS_STS_SUCCESS) << c.list;
    EXPECT_TRUE(log.Contains(c.log)) << log.Text();
  }
  LogCapture log;
  EXPECT_EQ(m_probe.RegisterDevicesForProbe(nullptr, ""), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("a_szDeviceList is null..."));
  // Without a USB library the probe fails instead of crashing.
  COsUsbProbe bare(nullptr, nullptr);
  ASSERT_EQ(bare.RegisterDevicesForProbe(List({kFeeder}).c_str(), ""), OS_STS_SUCCESS);
  EXPECT_EQ(bare.Probe(), OS_STS_FAIL);
}

}  // namespace
