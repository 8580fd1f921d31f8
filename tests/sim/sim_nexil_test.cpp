// The image-library stand-in in process: what it reports is what the
// database reads beside the simulated scanner's reports (the languages of
// interfaceopen as the library's own, the inquiry of querysupport under the
// key prefix "nexil"), and eight threads
// calling it at once each get their own whole reply, kept until their next
// call, with no output left behind.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../os/log_capture.h"
#include "db_cdbconfig.h"
#include "sim_task_testutil.h"
#include "test_support.h"

namespace {

using simtest::Element;
using simtest::ExpectWholeReply;
using simtest::Leaf;
using simtest::Task;

typedef const char* (*PfnNexEntry)(const char*);  // and ScannerEntry

class NexilLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strOutputs = testsupport::RootPath("outputs");
    std::filesystem::create_directory(m_strOutputs);
    setenv("NEXSIM_IMAGEDIRECTORY", m_strOutputs.c_str(), 1);
    m_pvLibrary = dlopen(NEXSIM_ADF_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_pvLibrary, nullptr) << dlerror();
    m_pfnEntry = reinterpret_cast<PfnNexEntry>(dlsym(m_pvLibrary, "NexEntry"));
    ASSERT_NE(m_pfnEntry, nullptr);
  }

  // Sends one task; the reply must carry the status word.
  std::string Send(const std::string& a_strCommand, const std::string& a_strBody = "",
                   const char* a_szStatus = "success") {
    const std::string strReply = m_pfnEntry(Task(++m_iId, a_strCommand, a_strBody).c_str());
    EXPECT_EQ(Element(strReply, "status"), a_szStatus) << a_strCommand << ": " << strReply;
    return strReply;
  }

  std::string m_strOutputs;
  void* m_pvLibrary = nullptr;
  PfnNexEntry m_pfnEntry = nullptr;
  int m_iId = 0;
};

TEST_F(NexilLibrary, TheDatabaseReadsWhatTheLibraryReports) {
  // The scanner's inquiry comes first, as when a session opens.
  void* pvScanner = dlopen(SIMSCAN_ADF_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(pvScanner, nullptr) << dlerror();
  const auto pfnScanner = reinterpret_cast<PfnNexEntry>(dlsym(pvScanner, "ScannerEntry"));
  ASSERT_NE(pfnScanner, nullptr);
  const std::string strSimulate = "\t\t<simulate><simflag><id>imagedirectory</id><value>" + m_strOutputs +
                                  "</value></simflag></simulate>\n";
  pfnScanner(Task(1, "interfaceopen", strSimulate).c_str());
  pfnScanner(Task(2, "sessionbegin").c_str());
  const std::string strDevice = Element(pfnScanner(Task(3, "querysupport").c_str()), "reportinquiry");
  ASSERT_FALSE(strDevice.empty());

  const std::string strOpen = Send("interfaceopen", Leaf("usesession", "true"));
  Send("sessionbegin", Leaf("eolmode", "none") + Leaf("language", "en_usa"));
  const std::string strSupport = Send("querysupport");

  testsupport::LogCapture log;
  CDbConfig dbconfig(nullptr);
  dbconfig.SetString("model", "mapleB", DB_CONFIGTARGET_ADF);
  ASSERT_TRUE(dbconfig.LoadReportInquiry(strDevice.c_str(), 0, false, false, DB_FIRMWARE_ADF));
  // The languages of interfaceopen are the library's own, beside the
  // scanner's.
  const std::string strInquiry = "<reportinquiry>" + Element(strOpen, "reportinquiry") + "</reportinquiry>";
  ASSERT_TRUE(dbconfig.LoadReportInquiry(strInquiry.c_str(), 0, true, true, DB_FIRMWARE_ADF));
  ASSERT_TRUE(dbconfig.ProcessReportInquiry(nullptr, nullptr)) << log.Text();
  EXPECT_TRUE(dbconfig.EnumExists("nexillanguage", "jp_jpn", DB_CONFIGTARGET_ADF));
  EXPECT_TRUE(dbconfig.EnumExists("language", "jp_jpn", DB_CONFIGTARGET_ADF));
  // The inquiry: its enumerations and ranges under the prefix.
  ASSERT_TRUE(dbconfig.ProcessReportInquiryXml("nexil", strSupport.c_str(), DB_FIRMWARE_ADF)) << log.Text();
  EXPECT_FALSE(log.Contains("failed")) << log.Text();
  EXPECT_TRUE(dbconfig.EnumExists("nexil_barcodetype", "code128", DB_CONFIGTARGET_ADF));
  EXPECT_TRUE(dbconfig.EnumExists("nexil_barcodesearchmode", "horizontal", DB_CONFIGTARGET_ADF));
  EXPECT_TRUE(dbconfig.EnumExists("nexil_imageformat", "rgb_24", DB_CONFIGTARGET_COMMON));
  EXPECT_FALSE(dbconfig.EnumExists("barcodetype", "code128", DB_CONFIGTARGET_ADF));
  EXPECT_EQ(6u, dbconfig.RangeGetMax("nexil_barcodecount", DB_CONFIGTARGET_ADF));

  Send("sessionend");
  Send("interfaceclose");
  pfnScanner(Task(4, "sessionend").c_str());
  pfnScanner(Task(5, "interfaceclose").c_str());
  dlclose(pvScanner);
}

// One caller: a page of its own through setinput and its outputs, between
// the other callers' pages (so any output or status word may come back),
// each reply checked and checked again after the others had their turn.
void Caller(PfnNexEntry a_pfnEntry, const std::string& a_strPage, int a_iThread, int a_iRounds) {
  const std::vector<std::pair<std::string, std::string>> vtask = {
      {"setinput", a_strPage}, {"getoutput", ""},       {"getversion", ""},         {"getoutput", ""},
      {"querysupport", ""},   {"messagerelay", ""},    {"nosuchcommand", ""},      {"getoutput", ""},
  };
  int iId = a_iThread * 100000;
  for (int iRound = 0; iRound < a_iRounds; ++iRound) {
    for (const auto& task : vtask) {
      const int iTask = ++iId;
      const char* szReply = a_pfnEntry(Task(iTask, task.first, task.second).c_str());
      ExpectWholeReply(szReply, iTask);
      if (!szReply) return;
      const std::string strCopy = szReply;
      std::this_thread::yield();
      EXPECT_EQ(strCopy, szReply);
      const std::string strFile = Element(strCopy, "imagefilename");
      if (task.first == "getoutput" && !strFile.empty()) {
        const int iEnd = ++iId;
        const std::string strEnd = a_pfnEntry(Task(iEnd, "imageend", Leaf("imagefilename", strFile)).c_str());
        EXPECT_EQ("success", Element(strEnd, "status")) << strEnd;
      }
    }
  }
}

TEST_F(NexilLibrary, EightThreadsAtOnceGetTheirOwnReplies) {
  const std::string strPath = testsupport::RootPath("page.raw");
  testsupport::WriteFile(strPath, std::string(40 * 60 * 3, '\x7f'));
  const std::string strPage = Leaf("cameratype", "front") + Leaf("imagefilename", strPath) +
                              Leaf("imageformat", "rgb_24") + Leaf("imagewidth", "480") +
                              Leaf("imageheight", "720") + Leaf("imagesize", "7200") +
                              Leaf("imageresolutionx", "100_dpi");
  Send("interfaceopen");
  Send("sessionbegin");
  Send("setupbegin");
  Send("windowadd", Leaf("cameraid", "front") + Leaf("windowtype", "bitonal") + Leaf("windowid", "window_002") +
                        Leaf("imageresolutionx", "50_dpi"));
  Send("windowadd", Leaf("cameraid", "front") + Leaf("windowtype", "color") + Leaf("windowid", "window_004") +
                        Leaf("imageformat", "gray_8") + Leaf("imageresolutionx", "100_dpi"));
  Send("setupend");
  Send("scanbegin", Leaf("imagebuffercount", "4"));
  std::vector<std::thread> vthread;
  for (int i = 1; i <= 8; ++i) vthread.emplace_back(Caller, m_pfnEntry, strPage, i, 20);
  for (std::thread& thread : vthread) thread.join();
  Send("scanend");
  Send("sessionend");
  Send("interfaceclose");
  EXPECT_TRUE(std::filesystem::is_empty(m_strOutputs));
}

}  // namespace
