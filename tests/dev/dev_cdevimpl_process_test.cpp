// Scanning through the image library on the staged stand-ins, the library
// in process unless said: the order of the two libraries' tasks per page,
// blank outputs let go at once, baffle and toggle patches, failures of the
// library, a halt inside the output loop, a slow caller held off by the
// image cache, the library in the Dravix process, and a long scan while the
// caller's thread talks to the library.
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "db_cdbdatum.h"
#include "dev_cdevimpl.h"
#include "dev_cimgqueue.h"
#include "dev_device_fixture.h"
#include "dev_waits.h"
#include "os_costhread.h"
#include "os_cosxml.h"

namespace {

using devtest::LoggedTask;

// The scanner stand-in delivers one image per window, two per side, and
// the library makes one output per stream of the image's side from each.
constexpr size_t s_sizetImagesPerSheet = 4;
constexpr size_t s_sizetOutputsPerImage = 2;
constexpr size_t s_sizetOutputsPerSheet = s_sizetImagesPerSheet * s_sizetOutputsPerImage;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// An element's content in a record; empty when it has none.
std::string Element(const std::string& a_strXml, const std::string& a_strName) {
  std::vector<char> vc(a_strXml.size() + 1);
  if (COsXml::GetContent(a_strXml.c_str(), ("<" + a_strName + ">").c_str(), ("</" + a_strName + ">").c_str(),
                         vc.data(), vc.size()) != OS_STS_SUCCESS) {
    return "";
  }
  return vc.data();
}

// What the caller received: the images (their texts) and the statuses that
// ended the scan, with the time the caller let each image go.
struct ScanResult {
  std::vector<std::string> vecstrImage;
  std::vector<EDEVSTS> vecedevstsFinal;
  std::map<std::string, int64_t> mapImageEndMs;  // by file name
};

class DevProcess : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    setenv("NEXSIM_TASKLOG", testsupport::RootPath("nexil.log").c_str(), 1);
    std::filesystem::create_directories(testsupport::RootPath("outputs"));
    setenv("NEXSIM_IMAGEDIRECTORY", testsupport::RootPath("outputs").c_str(), 1);
    DeviceFixture::SetUp();
    SetConfigured(OS_CFGTAG_FORCENEXILCALL, "1");
  }
  void TearDown() override {
    m_pdevOpen.reset();
    for (const char* szKnob : {"NEXSIM_TASKLOG", "NEXSIM_IMAGEDIRECTORY", "NEXSIM_FAILSETINPUT", "NEXSIM_NOMEMORY",
                               "NEXSIM_PADOUTPUT", "NEXSIM_DELAY", "PMX_OSSERVICESARGUMENTS"})
      unsetenv(szKnob);
    DeviceFixture::TearDown();
  }

  // The session opened with the scanner's flags, set up for a duplex
  // dual-stream job (bitonal and colour on each side).
  void OpenDualStream(const std::vector<std::pair<std::string, std::string>>& a_vecFlags) {
    SetSimulation(a_vecFlags);
    m_pdevOpen = std::make_unique<CDev>(m_pdatabase.get(), nullptr, nullptr);
    ASSERT_EQ(m_pdevOpen->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevOpen->SessionBegin(Message), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_NE(Impl().GetPod().m_pdevnexil, nullptr);
    m_pdatabase->SetCurrentLongFromId(DB_ID_INPUTDOCUMENT, DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED, false);
    for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR})
      m_pdatabase->SetCurrentLongFromIdBin(DB_ID_CAMERAENABLE, edbbin, DB_ID_CAMERAENABLE_ENUM_TRUE);
    ASSERT_EQ(m_pdevOpen->SetAttributes(false, false), OS_STS_SUCCESS) << m_plog->Text();
    m_sizetDevice = Tasks().size();
    m_sizetNexil = NexilTasks().size();
  }
  CDevImpl& Impl() { return devtest::Impl(*m_pdevOpen); }

  // Scans until the scan ends, handing each image to a_fnImage first (its
  // number from 0) and letting it go; then ScanEnd. A scan that does not
  // end within a minute fails the test.
  ScanResult Scan(const std::function<void(size_t)>& a_fnImage = {}) {
    ScanResult scanresult;
    EXPECT_EQ(m_pdevOpen->ScanBegin(), OS_STS_SUCCESS) << m_plog->Text();
    std::vector<char> vcBuffer(DEV_SCAN_BUFFER_SIZE);
    const int64_t i64Deadline = NowMs() + 60000;
    while (NowMs() < i64Deadline) {
      int iImage = 0, iPage = 0, iPageImage = 0;
      const EDEVSTS edevsts = m_pdevOpen->GetOutput(vcBuffer.data(), static_cast<int>(vcBuffer.size()), &iImage,
                                                    &iPage, &iPageImage);
      if (edevsts == DEV_STS_NOIMAGEAVAILABLE) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      if (edevsts == DEV_STS_ENDOFSHEET) continue;
      if (edevsts != DEV_STS_SUCCESS) {
        scanresult.vecedevstsFinal.push_back(edevsts);
        break;
      }
      if (a_fnImage) a_fnImage(scanresult.vecstrImage.size());
      scanresult.vecstrImage.emplace_back(vcBuffer.data());
      scanresult.mapImageEndMs[Element(vcBuffer.data(), "imagefilename")] = NowMs();
      m_pdevOpen->ImageEnd(vcBuffer.data());
    }
    EXPECT_FALSE(scanresult.vecedevstsFinal.empty()) << "the scan did not end";
    // A failure inside the library may come twice: once at once, once as the
    // thread's last word.
    EXPECT_TRUE(devtest::WaitFor([&] { return !Impl().ScanIsScanning() || ThreadEnded(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (;;) {
      const EDEVSTS edevsts = m_pdevOpen->GetOutput(vcBuffer.data(), static_cast<int>(vcBuffer.size()), nullptr,
                                                    nullptr, nullptr);
      if (edevsts == DEV_STS_NOIMAGEAVAILABLE) break;
      if (edevsts != DEV_STS_ENDOFSHEET && edevsts != DEV_STS_SUCCESS) scanresult.vecedevstsFinal.push_back(edevsts);
    }
    m_pdevOpen->ScanEnd();
    return scanresult;
  }
  bool ThreadEnded() const { return m_plog->Contains("Exiting thread... edevsts="); }

  static std::vector<LoggedTask> NexilTasks() { return devtest::ReadTaskLog(testsupport::RootPath("nexil.log")); }
  std::vector<LoggedTask> DeviceSince() const {
    std::vector<LoggedTask> vec = Tasks();
    vec.erase(vec.begin(), vec.begin() + static_cast<long>(std::min(m_sizetDevice, vec.size())));
    return vec;
  }
  std::vector<LoggedTask> NexilSince() const {
    std::vector<LoggedTask> vec = NexilTasks();
    vec.erase(vec.begin(), vec.begin() + static_cast<long>(std::min(m_sizetNexil, vec.size())));
    return vec;
  }
  // "command status" of the library's tasks of the scan, getconfig left out.
  std::vector<std::string> NexilBrief() const {
    std::vector<std::string> vec;
    for (const LoggedTask& loggedtask : NexilSince()) vec.push_back(loggedtask.strCommand + " " + loggedtask.strStatus);
    return vec;
  }
  static size_t Count(const std::vector<std::string>& a_vec, const std::string& a_str) {
    return static_cast<size_t>(std::count(a_vec.begin(), a_vec.end(), a_str));
  }
  // The files still in the scanner's and the library's directories.
  static std::vector<std::string> FilesLeft() {
    std::vector<std::string> vec;
    for (const char* szDirectory : {"images", "outputs"}) {
      for (const auto& entry : std::filesystem::directory_iterator(testsupport::RootPath(szDirectory)))
        vec.push_back(entry.path().string());
    }
    return vec;
  }

  static EOSSTS Message(EDEVDLG, EDEVMSG, const char*, long, EDEVBUTTONS) { return OS_STS_SUCCESS; }

  std::unique_ptr<CDev> m_pdevOpen;
  size_t m_sizetDevice = 0;
  size_t m_sizetNexil = 0;
};

// Per page: the device's image, the library's setinput, its two outputs and
// its end of output, then the device's imageend of that page; each output
// let go at the library only after the caller's ImageEnd; nothing left
// after ScanEnd.
// The same with the library in process and in the Dravix process (over
// message queues).
class DevProcessHosting : public DevProcess, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    DevProcess::SetUp();
    SetConfigured(OS_CFGTAG_FORCENEXILCALL, GetParam());
  }
};

TEST_P(DevProcessHosting, DuplexDualStreamPassesEachPageThroughTheLibrary) {
  ASSERT_NO_FATAL_FAILURE(OpenDualStream({{"pages", "3"}}));
  const ScanResult scanresult = Scan();
  EXPECT_EQ(scanresult.vecedevstsFinal, std::vector<EDEVSTS>{DEV_STS_ENDOFJOB}) << m_plog->Text();
  constexpr size_t sizetImages = 3 * s_sizetImagesPerSheet;
  ASSERT_EQ(scanresult.vecstrImage.size(), 3 * s_sizetOutputsPerSheet);
  std::vector<std::string> vecWindows;
  for (const std::string& strImage : scanresult.vecstrImage) vecWindows.push_back(Element(strImage, "windowid"));
  // Each side in its two streams.
  for (size_t i = 0; i + 1 < vecWindows.size(); i += 2) EXPECT_NE(vecWindows[i], vecWindows[i + 1]) << i;

  // The library: per page setinput, two outputs, end of output.
  std::vector<LoggedTask> vecloggedtaskNexil = NexilSince();
  std::vector<LoggedTask> vecloggedtaskPage;
  for (const LoggedTask& loggedtask : vecloggedtaskNexil) {
    if (loggedtask.strCommand == "setinput" || loggedtask.strCommand == "getoutput")
      vecloggedtaskPage.push_back(loggedtask);
  }
  ASSERT_EQ(vecloggedtaskPage.size(), sizetImages * (2 + s_sizetOutputsPerImage)) << testing::PrintToString(NexilBrief());
  std::vector<LoggedTask> vecloggedtaskDevice;
  for (const LoggedTask& loggedtask : DeviceSince()) {
    if ((loggedtask.strCommand == "getoutput" && loggedtask.strStatus == "success") ||
        loggedtask.strCommand == "imageend")
      vecloggedtaskDevice.push_back(loggedtask);
  }
  ASSERT_EQ(vecloggedtaskDevice.size(), sizetImages * 2);
  for (size_t sizetPage = 0; sizetPage < sizetImages; ++sizetPage) {
    SCOPED_TRACE(sizetPage);
    const LoggedTask* ploggedtask = &vecloggedtaskPage[sizetPage * (2 + s_sizetOutputsPerImage)];
    EXPECT_EQ(ploggedtask[0].strCommand + ploggedtask[0].strStatus, "setinputsuccess");
    EXPECT_EQ(ploggedtask[1].strStatus, "success");
    EXPECT_EQ(ploggedtask[2].strStatus, "success");
    EXPECT_EQ(ploggedtask[3].strStatus, "endofoutput");
    // The device's image came before its setinput, its imageend (of the same
    // file) after the end of output.
    const LoggedTask& loggedtaskGet = vecloggedtaskDevice[sizetPage * 2];
    const LoggedTask& loggedtaskEnd = vecloggedtaskDevice[sizetPage * 2 + 1];
    EXPECT_EQ(loggedtaskGet.strCommand, "getoutput");
    EXPECT_EQ(loggedtaskEnd.strCommand, "imageend");
    EXPECT_EQ(loggedtaskEnd.Arg("imagefilename"), ploggedtask[0].Arg("imagefilename"));
    EXPECT_LE(loggedtaskGet.ullMs, ploggedtask[0].ullMs);
    EXPECT_GE(loggedtaskEnd.ullMs, ploggedtask[3].ullMs);
  }
  // Every output let go at the library after the caller let it go.
  size_t sizetEnded = 0;
  for (const LoggedTask& loggedtask : vecloggedtaskNexil) {
    if (loggedtask.strCommand != "imageend") continue;
    ++sizetEnded;
    const auto it = scanresult.mapImageEndMs.find(loggedtask.Arg("imagefilename"));
    ASSERT_NE(it, scanresult.mapImageEndMs.end()) << loggedtask.Arg("imagefilename");
    EXPECT_GE(static_cast<int64_t>(loggedtask.ullMs), it->second);
    EXPECT_EQ(loggedtask.strStatus, "success");
  }
  // The thread lets go of what the caller ended while it runs; what the
  // caller ends after the end of the job (at most a full cache and the
  // outputs of the image in hand) goes with the library's scanend.
  EXPECT_LE(sizetEnded, 3 * s_sizetOutputsPerSheet);
  EXPECT_GE(sizetEnded + static_cast<size_t>(Impl().GetPod().m_lCacheSize) + s_sizetOutputsPerImage,
            3 * s_sizetOutputsPerSheet);
  EXPECT_EQ(Count(NexilBrief(), "scanend success"), 1u);
  EXPECT_EQ(FilesLeft(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Library, DevProcessHosting, ::testing::Values("1", "2"),
                         [](const ::testing::TestParamInfo<const char*>& a_info) {
                           return std::string(*a_info.param == '1' ? "InProcess" : "Dravix");
                         });

// The fault mended: a blank output is let go at the library right after its
// getoutput, never handed to the caller, and no file waits for the end.
TEST_F(DevProcess, BlankOutputsAreLetGoAtOnce) {
  ASSERT_NO_FATAL_FAILURE(OpenDualStream({{"pages", "3"}, {"blank", "2"}}));
  for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR})
    m_pdatabase->SetCurrentLongFromIdBin(DB_ID_BLANKPAGEMODE, edbbin, DB_ID_BLANKPAGEMODE_ENUM_CONTENT);
  const ScanResult scanresult = Scan();
  EXPECT_EQ(scanresult.vecedevstsFinal, std::vector<EDEVSTS>{DEV_STS_ENDOFJOB}) << m_plog->Text();
  EXPECT_EQ(scanresult.vecstrImage.size(), 2 * s_sizetOutputsPerSheet);
  for (const std::string& strImage : scanresult.vecstrImage) EXPECT_NE(Element(strImage, "sheetnumber"), "2");
  EXPECT_TRUE(m_pdevOpen->IsDiscardBlankImage());
  // Each of sheet 2's four outputs: its imageend follows its getoutput at once.
  const std::vector<LoggedTask> vecloggedtask = NexilSince();
  size_t sizetBlank = 0;
  for (size_t i = 0; i + 1 < vecloggedtask.size(); ++i) {
    if (vecloggedtask[i].strCommand != "getoutput" || vecloggedtask[i].strStatus != "success") continue;
    if (vecloggedtask[i + 1].strCommand != "imageend") continue;
    ++sizetBlank;
    EXPECT_EQ(vecloggedtask[i + 1].strStatus, "success");
    EXPECT_EQ(scanresult.mapImageEndMs.count(vecloggedtask[i + 1].Arg("imagefilename")), 0u);
  }
  EXPECT_EQ(sizetBlank, s_sizetOutputsPerSheet) << testing::PrintToString(NexilBrief());
  EXPECT_EQ(FilesLeft(), std::vector<std::string>{});
}

// Baffle sheets go to setbaffle and patch sheets (toggle patch on) to
// settoggle with the page's camera: each page's image is let go at the
// device, and neither makes an output.
struct PatchCase {
  const char* szName;
  const char* szFlag;
  const char* szValue;
  const char* szCommand;
};
class DevProcessPatch : public DevProcess, public ::testing::WithParamInterface<PatchCase> {};

TEST_P(DevProcessPatch, SheetGoesToTheLibraryWithoutOutput) {
  ASSERT_NO_FATAL_FAILURE(OpenDualStream({{"pages", "3"}, {GetParam().szFlag, GetParam().szValue}}));
  // The stand-in's model keeps the toggle patch unsupported: it is offered
  // and set as a model's reply would.
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_TOGGLEPATCH);
  ASSERT_NE(pdbdatum, nullptr);
  pdbdatum->SetAccess(DB_ACCESS_READWRITE);
  pdbdatum->ForceCurrentLong(DB_ID_TOGGLEPATCH_ENUM_BOTHSIDES);
  ASSERT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_TOGGLEPATCH), DB_ID_TOGGLEPATCH_ENUM_BOTHSIDES);
  const ScanResult scanresult = Scan();
  EXPECT_EQ(scanresult.vecedevstsFinal, std::vector<EDEVSTS>{DEV_STS_ENDOFJOB}) << m_plog->Text();
  EXPECT_EQ(scanresult.vecstrImage.size(), 2 * s_sizetOutputsPerSheet);
  for (const std::string& strImage : scanresult.vecstrImage) EXPECT_NE(Element(strImage, "sheetnumber"), "2");
  std::vector<std::string> vecCameras;
  for (const LoggedTask& loggedtask : NexilSince()) {
    if (loggedtask.strCommand == GetParam().szCommand) vecCameras.push_back(loggedtask.Arg("cameraid"));
  }
  EXPECT_EQ(vecCameras, (std::vector<std::string>{"front", "front", "rear", "rear"}))
      << testing::PrintToString(NexilBrief());
  EXPECT_EQ(Count(NexilBrief(), "setinput success"), 2 * s_sizetImagesPerSheet);
  size_t sizetDeviceEnds = 0;
  for (const LoggedTask& loggedtask : DeviceSince()) sizetDeviceEnds += loggedtask.strCommand == "imageend";
  EXPECT_EQ(sizetDeviceEnds, 3 * s_sizetImagesPerSheet);
  EXPECT_EQ(FilesLeft(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Sheets, DevProcessPatch,
                         ::testing::Values(PatchCase{"Baffle", "baffle", "2", "setbaffle"},
                                           PatchCase{"Toggle", "patch", "2:patchtype4", "settoggle"}),
                         [](const ::testing::TestParamInfo<PatchCase>& a_info) { return a_info.param.szName; });

// A failing library ends the scan with its status (the failure may reach
// the caller twice); an output too large for the thread's buffer fails and
// is let go at the library. Nothing is left after ScanEnd.
struct FailureCase {
  const char* szName;
  const char* szKnob;
  const char* szValue;
  EDEVSTS edevsts;
  size_t sizetImages;
};
class DevProcessFailure : public DevProcess, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DevProcessFailure, EndsTheScanWithTheLibrarysStatus) {
  setenv(GetParam().szKnob, GetParam().szValue, 1);
  ASSERT_NO_FATAL_FAILURE(OpenDualStream({{"pages", "3"}}));
  const ScanResult scanresult = Scan();
  ASSERT_FALSE(scanresult.vecedevstsFinal.empty());
  EXPECT_LE(scanresult.vecedevstsFinal.size(), 2u);
  for (EDEVSTS edevsts : scanresult.vecedevstsFinal) EXPECT_EQ(edevsts, GetParam().edevsts) << m_plog->Text();
  EXPECT_EQ(scanresult.vecstrImage.size(), GetParam().sizetImages);
  EXPECT_EQ(FilesLeft(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Library, DevProcessFailure,
    ::testing::Values(FailureCase{"SetInput", "NEXSIM_FAILSETINPUT", "3", DEV_STS_FAIL, 4},
                      FailureCase{"NoMemory", "NEXSIM_NOMEMORY", "3", DEV_STS_LOWMEMORY, 2}),
    [](const ::testing::TestParamInfo<FailureCase>& a_info) { return a_info.param.szName; });

// The fault mended: an output too large for the thread's buffer fails the
// scan and is let go at the library at once.
TEST_F(DevProcess, OutputTooLargeIsLetGoAtTheLibrary) {
  setenv("NEXSIM_PADOUTPUT", "70000", 1);
  ASSERT_NO_FATAL_FAILURE(OpenDualStream({{"pages", "1"}}));
  const ScanResult scanresult = Scan();
  EXPECT_TRUE(scanresult.vecstrImage.empty());
  ASSERT_FALSE(scanresult.vecedevstsFinal.empty());
  for (EDEVSTS edevsts : scanresult.vecedevstsFinal) EXPECT_EQ(edevsts, DEV_STS_FAIL);
  EXPECT_EQ(FilesLeft(), std::vector<std::string>{});
  const std::vector<std::string> vecBrief = NexilBrief();
  const auto it = std::find(vecBrief.begin(), vecBrief.end(), "getoutput success");
  ASSERT_NE(it, vecBrief.end()) << testing::PrintToString(vecBrief);
  ASSERT_NE(it + 1, vecBrief.end());
  EXPECT_EQ(*(it + 1), "imageend success");
  EXPECT_TRUE(m_plog->Contains("ScanThread: NexilGetOutput failed...1"));
}

// A halt while the library hands out a page's outputs leaves the loop with
// the stop status; ScanEnd has the library let go of what it still holds.
TEST_F(DevProcess, HaltInsideTheOutputLoop) {
  setenv("NEXSIM_DELAY", "100", 1);
  ASSERT_NO_FATAL_FAILURE(OpenDualStream({{"pages", "3"}}));
  const ScanResult scanresult = Scan([&](size_t a_sizetImage) {
    if (a_sizetImage == 0) {
      EXPECT_EQ(m_pdevOpen->ScanRequestStop(DEV_STOPACTION_CANCEL), OS_STS_SUCCESS);
    }
  });
  ASSERT_FALSE(scanresult.vecedevstsFinal.empty());
  for (EDEVSTS edevsts : scanresult.vecedevstsFinal) EXPECT_EQ(edevsts, DEV_STS_CANCEL);
  EXPECT_TRUE(m_plog->Contains("ScanThread: Aborting nexil getoutput loop...")) << m_plog->Text();
  EXPECT_EQ(Count(NexilBrief(), "scanend success"), 1u) << testing::PrintToString(NexilBrief());
  EXPECT_EQ(FilesLeft(), std::vector<std::string>{});
}

// The scan thread's CPU time so far, in clock ticks.
long ThreadTicks(uint64_t a_u64ThreadId) {
  const std::string strStat = testsupport::ReadFile("/proc/self/task/" + std::to_string(a_u64ThreadId) + "/stat");
  const size_t sizetClose = strStat.rfind(')');
  long lUser = 0, lSystem = 0;
  // After "pid (name)": state and eleven more fields, then utime and stime.
  EXPECT_EQ(std::sscanf(strStat.c_str() + sizetClose + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld",
                        &lUser, &lSystem),
            2)
      << strStat;
  return lUser + lSystem;
}

// The images queued for the caller (status other than end of sheet).
unsigned Queued(CImgQueue& a_imgqueue) {
  unsigned u = 0;
  while (a_imgqueue.IsFull(u + 1)) ++u;
  return u;
}

std::atomic<uint64_t> s_u64ScanThread{0};
EOSSTS RecordThread(void*) {
  s_u64ScanThread.store(COsThread::GetThreadId());
  return OS_STS_SUCCESS;
}

// A caller that takes 50 ms per image: the scan thread stops fetching while
// the cache is full (the outputs of the page in hand may still come), and
// waits without spinning.
TEST_F(DevProcess, SlowCallerIsHeldOffByTheImageCache) {
  ASSERT_NO_FATAL_FAILURE(OpenDualStream({{"pages", "6"}}));
  ASSERT_EQ(m_pdevOpen->RegisterFirstImageCallback(RecordThread, nullptr), OS_STS_SUCCESS);
  CImgQueue& imgqueue = *Impl().GetPod().m_pimgqueueApplication;
  unsigned uMost = 0;
  long lTicks = -1;
  const ScanResult scanresult = Scan([&](size_t a_sizetImage) {
    if (a_sizetImage == 0) {
      const auto lCacheSize = static_cast<unsigned>(Impl().GetPod().m_lCacheSize);
      ASSERT_TRUE(devtest::WaitFor([&] { return imgqueue.IsFull(lCacheSize); }));
      const uint64_t u64Thread = s_u64ScanThread.load();
      ASSERT_NE(u64Thread, 0u);
      const long lBefore = ThreadTicks(u64Thread);
      std::this_thread::sleep_for(std::chrono::seconds(2));
      lTicks = ThreadTicks(u64Thread) - lBefore;
    }
    uMost = std::max(uMost, Queued(imgqueue));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  });
  EXPECT_EQ(scanresult.vecedevstsFinal, std::vector<EDEVSTS>{DEV_STS_ENDOFJOB}) << m_plog->Text();
  EXPECT_EQ(scanresult.vecstrImage.size(), 6 * s_sizetOutputsPerSheet);
  const long lCacheSize = Impl().GetPod().m_lCacheSize;
  EXPECT_GT(lCacheSize, 0);
  // The outputs of the image in hand may come on top of a cache that is one
  // short of full.
  EXPECT_LE(uMost, static_cast<unsigned>(lCacheSize) + s_sizetOutputsPerImage - 1);
  // Under 5 % of a core over the 2 s.
  ASSERT_GE(lTicks, 0);
  EXPECT_LT(lTicks * 1000 / sysconf(_SC_CLK_TCK), 100) << lTicks;
  EXPECT_TRUE(m_plog->Contains("The scan queue is full, so we're doing some waits..."));
  EXPECT_EQ(FilesLeft(), std::vector<std::string>{});
}

// ThreadSanitizer: a long scan while the caller's thread also sends
// pass-through tasks to the library between images.
class DevProcessThread : public DevProcess {};

TEST_F(DevProcessThread, LongScanWithPassThroughTasks) {
  ASSERT_NO_FATAL_FAILURE(OpenDualStream({{"pages", "20"}}));
  std::atomic<bool> blStop{false};
  std::atomic<int> iReplies{0};
  std::thread threadOther([&] {
    while (!blStop.load()) {
      if (m_pdevOpen->PassThroughNexil("<getversion/>")) iReplies.fetch_add(1);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const ScanResult scanresult = Scan([&](size_t) {
    if (m_pdevOpen->PassThroughNexil("<getversion/>")) iReplies.fetch_add(1);
  });
  blStop.store(true);
  threadOther.join();
  EXPECT_EQ(scanresult.vecedevstsFinal, std::vector<EDEVSTS>{DEV_STS_ENDOFJOB}) << m_plog->Text();
  EXPECT_EQ(scanresult.vecstrImage.size(), 20 * s_sizetOutputsPerSheet);
  EXPECT_GE(iReplies.load(), static_cast<int>(20 * s_sizetOutputsPerSheet));
  EXPECT_EQ(FilesLeft(), std::vector<std::string>{});
}

}  // namespace
