// Open descriptions read from "osusbopen" texts: a table of texts and the
// description each gives, what is refused with a log line, and the limit
// of 47 pipes. The texts are well-formed XML as xmllint judges.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../log_capture.h"
#include "os_cosusb.h"
#include "os_cosusb_testutil.h"
#include "test_support.h"

using testsupport::LogCapture;

namespace {

struct Pipe {
  uint32_t pipe;
  uint8_t endpoint;
  uint32_t flags;
  std::string port;
  bool operator==(const Pipe& a_other) const {
    return pipe == a_other.pipe && endpoint == a_other.endpoint && flags == a_other.flags && port == a_other.port;
  }
};
std::ostream& operator<<(std::ostream& a_os, const Pipe& a_pipe) {
  return a_os << "{" << a_pipe.pipe << "," << int(a_pipe.endpoint) << "," << a_pipe.flags << "," << a_pipe.port << "}";
}

struct LoadCase {
  const char* name;
  std::string xml;
  int configuration, interface, alternate;
  bool checkPnp;
  std::string ip;
  std::vector<Pipe> pipes;
  const char* log;  // a line the load must log, or null
};
void PrintTo(const LoadCase& a_case, std::ostream* a_os) { *a_os << a_case.name; }

const LoadCase kCases[] = {
    {"Full",
     "<osusbopen><configuration>1</configuration><interface>0</interface><alternate>2</alternate>"
     "<checkpnp>true</checkpnp><socketip4>192.168.1.20</socketip4>"
     "<pipe><eosusbpipe>OS_USBPIPE_BULKIN</eosusbpipe><endpoint>129</endpoint><socketport>5001</socketport></pipe>"
     "<pipe><eosusbpipe>2</eosusbpipe><endpoint>2</endpoint></pipe>"
     "<pipe><eosusbpipe>os_usbpipe_interrupt</eosusbpipe><endpoint>131</endpoint>"
     "<flag>OS_USBPIPEFLAGS_PAUSE</flag><flag>4</flag></pipe></osusbopen>",
     1, 0, 2, true, "192.168.1.20",
     {{OS_USBPIPE_BULKIN, 129, 0, "5001"}, {OS_USBPIPE_BULKOUT, 2, 0, ""}, {OS_USBPIPE_INTERRUPT, 131, 5, ""}},
     nullptr},
    {"CheckPnpFalse", "<osusbopen><checkpnp>false</checkpnp></osusbopen>", 0, 0, 0, false, "", {}, nullptr},
    {"FlagNamesWithoutRegardToCase",
     "<osusbopen><pipe><eosusbpipe>OS_USBPIPE_BULKINTERRUPT</eosusbpipe>"
     "<flag>os_usbpipeflags_bulkinterrupt</flag><flag>Os_UsbPipeFlags_RemoveFromWindows</flag></pipe></osusbopen>",
     0, 0, 0, false, "", {{OS_USBPIPE_BULKINTERRUPT, 0, 48, ""}}, nullptr},
    {"UnknownPipeName",
     "<osusbopen><pipe><eosusbpipe>OS_USBPIPE_FAST</eosusbpipe><endpoint>1</endpoint></pipe></osusbopen>", 0, 0,
     0, false, "", {{OS_USBPIPE_UNDEFINED, 1, 0, ""}}, "Unrecognized pipe flag...<OS_USBPIPE_FAST>"},
    // The entry keeps pipe 0: an unused one.
    {"PipeNumberOutOfRange", "<osusbopen><pipe><eosusbpipe>9</eosusbpipe></pipe></osusbopen>", 0, 0, 0, false, "",
     {}, "Unrecognized pipe flag...<9>"},
    {"UnknownFlagName",
     "<osusbopen><pipe><eosusbpipe>1</eosusbpipe><flag>1</flag><flag>OS_USBPIPEFLAGS_FAST</flag></pipe></osusbopen>",
     0, 0, 0, false, "", {{OS_USBPIPE_BULKIN, 0, 1, ""}}, "Unrecognized pipe flag...<OS_USBPIPEFLAGS_FAST>"},
    {"NumbersOutOfRange",
     "<osusbopen><configuration>300</configuration><interface>-1</interface><alternate>x</alternate></osusbopen>",
     0, 0, 0, false, "", {}, "Unrecognized configuration...<300>"},
    {"PortTooLong",
     "<osusbopen><pipe><eosusbpipe>1</eosusbpipe><socketport>12345678901234567</socketport></pipe></osusbopen>", 0,
     0, 0, false, "", {{OS_USBPIPE_BULKIN, 0, 0, ""}}, "SStrCpy failed"},
};

class UsbOpenLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(UsbOpenLoad, GivesTheDescription) {
  const LoadCase& c = GetParam();
  usbtest::UsbConfig config;
  LogCapture log;
  OsUsbOpen osusbopen{};
  ASSERT_EQ(COsUsb::LoadOsUsbOpen(c.xml.c_str(), &osusbopen), OS_STS_SUCCESS);
  EXPECT_EQ(osusbopen.u8Configuration, c.configuration);
  EXPECT_EQ(osusbopen.u8Interface, c.interface);
  EXPECT_EQ(osusbopen.u8Alternate, c.alternate);
  EXPECT_EQ(osusbopen.blCheckPnp, c.checkPnp);
  EXPECT_EQ(std::string(osusbopen.szSocketIp4), c.ip);
  std::vector<Pipe> pipes;
  for (const OsUsbOpenPipe& p : osusbopen.aosusbopenpipe) {
    if (p.eosusbpipe || p.u8Endpoint || p.u32Flags || p.szSocketPort[0]) {
      pipes.push_back({p.eosusbpipe, p.u8Endpoint, p.u32Flags, p.szSocketPort});
    }
  }
  EXPECT_EQ(pipes, c.pipes);
  if (c.log) {
    EXPECT_TRUE(log.Contains(c.log)) << log.Text();
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, UsbOpenLoad, ::testing::ValuesIn(kCases),
                         [](const auto& a_info) { return a_info.param.name; });

TEST(UsbOpenLoadFixtures, TextsAreWellFormed) {
  int index = 0;
  for (const LoadCase& c : kCases) {
    const std::string path = testsupport::RootPath("open" + std::to_string(index++) + ".xml");
    testsupport::WriteFile(path, c.xml);
    int status = -1;
    std::string out = testsupport::RunProgram({"xmllint", "--noout", path}, &status);
    EXPECT_EQ(status, 0) << c.name << ": " << out;
  }
}

TEST(UsbOpenLoadLimits, FortyEightPipesKeepFortySevenAndASecondLoadKeepsNoOldPipe) {
  usbtest::UsbConfig config;
  LogCapture log;
  std::string xml = "<osusbopen>";
  for (int i = 1; i <= 48; ++i) xml += "<pipe><eosusbpipe>1</eosusbpipe><endpoint>" + std::to_string(i) + "</endpoint></pipe>";
  xml += "</osusbopen>";
  OsUsbOpen osusbopen{};
  ASSERT_EQ(COsUsb::LoadOsUsbOpen(xml.c_str(), &osusbopen), OS_STS_SUCCESS);
  EXPECT_EQ(osusbopen.aosusbopenpipe[46].u8Endpoint, 47);
  EXPECT_TRUE(log.Contains("Too many pipes, ignoring this one...48"));

  ASSERT_EQ(COsUsb::LoadOsUsbOpen("<osusbopen><pipe><eosusbpipe>3</eosusbpipe></pipe></osusbopen>", &osusbopen),
            OS_STS_SUCCESS);
  EXPECT_EQ(osusbopen.aosusbopenpipe[0].eosusbpipe, OS_USBPIPE_CONTROL);
  EXPECT_EQ(osusbopen.aosusbopenpipe[1].eosusbpipe, OS_USBPIPE_UNDEFINED);
  EXPECT_EQ(osusbopen.aosusbopenpipe[46].u8Endpoint, 0);
}

TEST(UsbOpenLoadLimits, MissingArgumentsAndBrokenTexts) {
  usbtest::UsbConfig config;
  LogCapture log;
  OsUsbOpen osusbopen{};
  EXPECT_EQ(COsUsb::LoadOsUsbOpen(nullptr, &osusbopen), OS_STS_FAIL);
  EXPECT_EQ(COsUsb::LoadOsUsbOpen("<osusbopen/>", nullptr), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("a_szXml is null..."));
  EXPECT_TRUE(log.Contains("a_osusbopen is null..."));
  EXPECT_NE(COsUsb::LoadOsUsbOpen("<osusbopen><pipe>", &osusbopen), OS_STS_SUCCESS);
  EXPECT_TRUE(log.Contains("DispatchLoadAndDispatch failed..."));
}

}  // namespace
