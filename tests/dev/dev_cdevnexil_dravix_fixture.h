// Tests of the image library in the Dravix process: the adapter's fixture
// with ForceNexilCall unset (the staged "dravix" makes 3 the default), the
// channel kind from ForceGuiSockets, the named objects of a shared-memory
// channel where the host finds them, short channel passes, and a look at
// the host processes this process has started.
#pragma once

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "dev_cdevnexil_fixture.h"
#include "dev_waits.h"
#include "os_cossocket.h"
#include "os_cossync.h"
#include "os_costhread.h"

namespace devtest {

// A child of this process: its id and argument vector.
struct ChildProcess {
  uint64_t u64ProcessId = 0;
  std::vector<std::string> vecstrArgs;
};

// The children of this process whose program is named a_strName, ended
// ones not yet reaped included.
inline std::vector<ChildProcess> Children(const std::string& a_strName) {
  std::vector<ChildProcess> vec;
  DIR* pdir = opendir("/proc");
  if (!pdir) return vec;
  while (const dirent* pdirent = readdir(pdir)) {
    const std::string strPid = pdirent->d_name;
    if (strPid.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string strStat = testsupport::FileExists("/proc/" + strPid + "/stat")
                                    ? testsupport::ReadFile("/proc/" + strPid + "/stat")
                                    : std::string();
    const size_t sizetOpen = strStat.find('('), sizetClose = strStat.rfind(')');
    if (sizetOpen == std::string::npos || sizetClose == std::string::npos) continue;
    // "pid (name) state ppid ..."
    const std::string strName = strStat.substr(sizetOpen + 1, sizetClose - sizetOpen - 1);
    unsigned long ulParent = 0;
    if (std::sscanf(strStat.c_str() + sizetClose + 1, " %*c %lu", &ulParent) != 1) continue;
    if (strName != a_strName || ulParent != static_cast<unsigned long>(getpid())) continue;
    ChildProcess childprocess;
    childprocess.u64ProcessId = std::stoull(strPid);
    const std::string strArgs = testsupport::ReadFile("/proc/" + strPid + "/cmdline");
    for (size_t sizetStart = 0; sizetStart < strArgs.size();) {
      const size_t sizetEnd = strArgs.find('\0', sizetStart);
      childprocess.vecstrArgs.push_back(strArgs.substr(sizetStart, sizetEnd - sizetStart));
      if (sizetEnd == std::string::npos) break;
      sizetStart = sizetEnd + 1;
    }
    vec.push_back(childprocess);
  }
  closedir(pdir);
  return vec;
}

inline int64_t MillisecondsSince(std::chrono::steady_clock::time_point a_start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - a_start).count();
}

// Whether the process is gone from the process table (reaped) within the
// time.
inline bool Reaped(uint64_t a_u64ProcessId, int a_iMilliseconds) {
  const auto start = std::chrono::steady_clock::now();
  while (testsupport::FileExists("/proc/" + std::to_string(a_u64ProcessId))) {
    if (MillisecondsSince(start) > a_iMilliseconds) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Kills the child and waits until it has ended (a zombie, not yet reaped).
// A pid of 0 or 1 (no child found) is refused: kill(0) would end the whole
// process group, the test runner with it.
inline bool KillChild(uint64_t a_u64ProcessId) {
  if (a_u64ProcessId <= 1 || a_u64ProcessId == static_cast<uint64_t>(getpid())) {
    ADD_FAILURE() << "no child to kill: " << a_u64ProcessId;
    return false;
  }
  if (kill(static_cast<pid_t>(a_u64ProcessId), SIGKILL) != 0) return false;
  const std::string strStat = "/proc/" + std::to_string(a_u64ProcessId) + "/stat";
  for (int i = 0; i < 500; ++i) {
    const std::string strText = testsupport::FileExists(strStat) ? testsupport::ReadFile(strStat) : std::string();
    const size_t sizetClose = strText.rfind(')');
    if (sizetClose != std::string::npos && strText.compare(sizetClose, 3, ") Z") == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

class DevNexilDravixFixture : public DevNexilFixture {
 protected:
  void SetUp() override {
    DevNexilFixture::SetUp();
    Configure(OS_CFGTAG_FORCENEXILCALL, "0");
    // The host opens the named objects of a shared-memory channel below the
    // root the parent's published arguments name.
    m_strCommon = testsupport::RootPath("common");
    Configure(OS_CFGTAG_ROOTCOMMONDIRECTORY, m_strCommon.c_str());
    m_strArguments = "<arguments><rootpath>" + testsupport::Root() + "</rootpath></arguments>";
    setenv("PMX_OSSERVICESARGUMENTS", m_strArguments.c_str(), 1);
    COsSocket::SetPassTime(50);
    COsSocket::SetQueueTimeoutFloor(300);
  }

  void TearDown() override {
    DevNexilFixture::TearDown();
    // Whatever a test did, no host stays behind.
    for (const ChildProcess& childprocess : Children("dravix")) {
      ADD_FAILURE() << "a host stayed behind " << childprocess.u64ProcessId;
      devtest::KillChild(childprocess.u64ProcessId);
    }
    for (EDEVWAIT edevwait : {DEV_WAIT_DRAVIXREAD, DEV_WAIT_DRAVIXACCEPT, DEV_WAIT_DRAVIXEXIT})
      DevSetWaitLimit(edevwait, -1);
    COsSocket::SetPassTime(-1);
    COsSocket::SetQueueTimeoutFloor(-1);
    for (const char* szKnob : {"DRAVIX_CRASHAFTER", "DRAVIX_DELAY", "DRAVIX_PIECE", "DRAVIX_BIGREPLY",
                               "DRAVIX_NOCONNECT", "DRAVIX_TWICE", "DRAVIX_NOEND", "DRAVIX_LINGER",
                               "PMX_OSSERVICESARGUMENTS"})
      unsetenv(szKnob);
  }

  // Load (the mode left to the configuration), interfaceopen and
  // sessionbegin of a unit.
  void OpenDravix(EDBID_FIRMWARE a_edbidfirmware = DB_FIRMWARE_ADF) {
    ASSERT_EQ(m_pdevnexil->Load(a_edbidfirmware, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevnexil->GetUnitNexilCall(a_edbidfirmware), DEV_NEXILCALL_DRAVIXDEFAULT);
    ASSERT_EQ(m_pdevnexil->InterfaceOpen(a_edbidfirmware), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevnexil->SessionBegin(a_edbidfirmware), OS_STS_SUCCESS) << m_plog->Text();
  }

  // The one host this process runs; 0 (a failure) for none or more. A
  // host just started may not carry its name yet (a load returns once its
  // exec is under way): it is given a moment.
  uint64_t Host() {
    std::vector<ChildProcess> vec = Children("dravix");
    for (int i = 0; i < 200 && vec.size() != 1; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      vec = Children("dravix");
    }
    EXPECT_EQ(vec.size(), 1u);
    return vec.size() == 1 ? vec[0].u64ProcessId : 0;
  }

  // A getversion that the library passes through; its status word.
  std::string Version() {
    const char* szReply = m_pdevnexil->NexPassThrough(DB_FIRMWARE_ADF, "\t<getversion>\n\t</getversion>\n");
    return szReply ? simtest::Element(szReply, "status") : std::string();
  }

  std::string m_strCommon;
  std::string m_strArguments;
};

}  // namespace devtest
