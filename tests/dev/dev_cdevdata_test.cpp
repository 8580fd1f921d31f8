// The device data of a session on the staged simulated scanner: the
// scanner's directory, "online" and "device.xml" written as the open
// completes, the accumulators counted at the end of a job, several
// processes and threads at the same files, and what a broken object or a
// bad unit answers.
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevdata.h"
#include "dev_cdevdataxml.h"
#include "dev_devdata_fixture.h"
#include "dev_scan_fixture.h"
#include "os_cosmem.h"

namespace {

using devtest::AccumulatorsRead;
using devtest::ScannerFile;
using testsupport::FileExists;
using testsupport::ReadFile;

constexpr const char s_szSerial[] = "SIMA0001";

class DevData : public devtest::ScanFixture {
 protected:
  void SetUp() override {
    ScanFixture::SetUp();
    SetConfigured(OS_CFGTAG_ROOTPATH, testsupport::RootPath("var"));
    SetConfigured(OS_CFGTAG_MODELDIRECTORYREAL, "kv");
  }
  void TearDown() override {
    DevSetWaitLimit(DEV_WAIT_DATALOCK, -1);
    OsMemSetNewFault(nullptr, 0);
    ScanFixture::TearDown();
  }

  CDevData& Data() { return *Scanner().GetPod().m_pdevdata; }
  // Whether another open of the file could take its exclusive flock now.
  static bool Lockable(const std::string& a_strPath) {
    const int iFd = open(a_strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (iFd < 0) return false;
    const bool blLocked = flock(iFd, LOCK_EX | LOCK_NB) == 0;
    close(iFd);
    return blLocked;
  }
  // The text of an element of a scanner file, as ElementTree reads it.
  static std::string Element(const std::string& a_strPath, const std::string& a_strTag) {
    int iStatus = -1;
    std::string str = testsupport::RunPython(
        "import sys, xml.etree.ElementTree as ET\nprint(ET.parse(sys.argv[1]).getroot().findtext(sys.argv[2]))\n",
        {a_strPath, a_strTag}, &iStatus);
    if (iStatus != 0) return "unreadable";
    while (!str.empty() && str.back() == '\n') str.pop_back();
    return str;
  }
};

// The open registers the serial number and writes the scanner's directory
// and device.xml; "online" only for a session that monitors the buttons,
// held until the interface closes and left on disk.
TEST_F(DevData, TheOpenWritesTheScannerFiles) {
  OpenSession();
  const std::string strOnline = ScannerFile(s_szSerial, "online");
  EXPECT_TRUE(FileExists(ScannerFile(s_szSerial, "device.xml"))) << m_plog->Text();
  EXPECT_FALSE(FileExists(strOnline));
  EXPECT_STREQ(m_pdatabase->ConfigEnumGetFirst("serialnumber", DB_CONFIGTARGET_ADF), s_szSerial);
  EXPECT_EQ(Element(ScannerFile(s_szSerial, "device.xml"), "connection"), "USBSCAN/2.0");
}

TEST_F(DevData, TheOnlineMarkerIsHeldWhileTheInterfaceIsOpen) {
  const std::string strOnline = ScannerFile(s_szSerial, "online");
  // Watching the buttons, the open completes later.
  SetSimulation();
  m_pdatabase->ConfigAdd("monitorbuttonevents", DB_CONFIGTARGET_COMMON);
  m_pdevScan = std::make_unique<CDev>(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(m_pdevScan->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  const EOSSTS eossts = m_pdevScan->SessionBegin(Message);
  ASSERT_TRUE(eossts == OS_STS_SUCCESS || eossts == static_cast<EOSSTS>(DEV_STS_NOTCOMPLETE)) << eossts;
  ASSERT_TRUE(devtest::WaitFor([&] { return FileExists(strOnline); })) << m_plog->Text();
  EXPECT_FALSE(Lockable(strOnline));
  m_pdevScan->InterfaceClose();
  EXPECT_TRUE(Lockable(strOnline));
  EXPECT_TRUE(FileExists(strOnline));
}

// A scanner opened before in the same database does not lend its serial
// number; element texts are escaped.
TEST_F(DevData, TheScannerOpenNowNamesTheFiles) {
  OpenSession();
  m_pdatabase->ConfigEnumAdd("serialnumber", "AAA0", DB_CONFIGTARGET_ADF);
  ASSERT_EQ(Data().CreateOnlineFile(DB_FIRMWARE_ADF, m_pdatabase.get()), OS_STS_SUCCESS);
  EXPECT_STREQ(m_pdatabase->ConfigEnumGetFirst("serialnumber", DB_CONFIGTARGET_ADF), s_szSerial);
  EXPECT_EQ(m_pdatabase->ConfigEnumGetNext("serialnumber", s_szSerial, DB_CONFIGTARGET_ADF), nullptr);
  m_pdatabase->ConfigSetString("model", "M&<1>", DB_CONFIGTARGET_ADF);
  ASSERT_EQ(Data().UpdateDeviceXml(DB_FIRMWARE_ADF, m_pdatabase.get(), m_pdevScan.get()), OS_STS_SUCCESS);
  EXPECT_EQ(Element(ScannerFile(s_szSerial, "device.xml"), "model"), "M&<1>");
}

// The end of a job counts its paper jam.
TEST_F(DevData, AJobEndingInAPaperJamIsCounted) {
  OpenSession({{"pages", "3"}, {"paperjam", "2"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  EXPECT_EQ(Drain().edevstsFinal, DEV_STS_PAPERJAM) << m_plog->Text();
  m_pdevScan->ScanEnd();
  EXPECT_EQ(AccumulatorsRead(ScannerFile(s_szSerial, "accumulators.xml")), "0 1 0");
}

// Units other than the feeder and the flatbed are refused, logged, and
// nothing is written.
TEST_F(DevData, OnlyTheFeederAndTheFlatbedHaveFiles) {
  CDevData devdata;
  const std::vector<std::string> vecstrBefore = devtest::Tree(devtest::DataDirectory());
  for (EDBID_FIRMWARE edbidfirmware : {DEV_FIRMWARE_NONE, DB_FIRMWARE_BOTH}) {
    EXPECT_EQ(devdata.CreateOnlineFile(edbidfirmware, m_pdatabase.get()), OS_STS_BAD_ARGUMENT);
    EXPECT_EQ(devdata.DestroyOnlineFile(edbidfirmware), OS_STS_BAD_ARGUMENT);
    EXPECT_EQ(devdata.UpdateDeviceXml(edbidfirmware, m_pdatabase.get(), m_pdev.get()), OS_STS_BAD_ARGUMENT);
    EXPECT_EQ(devdata.IncrementAccumulators(edbidfirmware, true, 1, true, 1, true, 1, m_pdatabase.get()),
              OS_STS_BAD_ARGUMENT);
    EXPECT_EQ(devdata.GetDevDataXml()->SetAccumulators(edbidfirmware, m_pdatabase.get(), true, "S", true, true, 1,
                                                       false, 0, false, 0),
              edbidfirmware == DB_FIRMWARE_BOTH ? OS_STS_BAD_ARGUMENT : OS_STS_SUCCESS);
  }
  EXPECT_EQ(m_plog->Count("no device data for unit 0..."), 3u);
  EXPECT_EQ(m_plog->Count("no device data for unit 3..."), 3u);
  // Unit 0 with the database: the object's own directory, by the serial
  // number given.
  EXPECT_EQ(AccumulatorsRead(ScannerFile("S", "accumulators.xml")), "1 0 0");
  std::vector<std::string> vecstrAfter = devtest::Tree(devtest::DataDirectory());
  std::erase(vecstrAfter, "S");
  std::erase(vecstrAfter, "S/accumulators.xml");
  std::erase(vecstrAfter, "data.lock");
  std::erase(vecstrAfter, "S/accumulators.xml");
  EXPECT_EQ(vecstrAfter, vecstrBefore);
  // No serial number known for the unit yet.
  EXPECT_EQ(devdata.IncrementAccumulators(DB_FIRMWARE_ADF, true, 1, false, 0, false, 0, m_pdatabase.get()),
            OS_STS_FAIL);
}

// Without its CDevDataXml the device data answers 1 everywhere and the
// session does not open.
TEST_F(DevData, WithoutItsXmlObjectNothingIsDoneAndTheOpenFails) {
  OsMemSetNewFault("CDevDataXml", 0);
  CDevData devdata;
  EXPECT_FALSE(devdata.IsValid());
  EXPECT_EQ(devdata.CreateOnlineFile(DB_FIRMWARE_ADF, m_pdatabase.get()), OS_STS_FAIL);
  EXPECT_EQ(devdata.DestroyOnlineFile(DB_FIRMWARE_ADF), OS_STS_FAIL);
  EXPECT_EQ(devdata.UpdateDeviceXml(DB_FIRMWARE_ADF, m_pdatabase.get(), m_pdev.get()), OS_STS_FAIL);
  EXPECT_EQ(devdata.IncrementAccumulators(DB_FIRMWARE_ADF, true, 1, false, 0, false, 0, m_pdatabase.get()),
            OS_STS_FAIL);
  const char* szReply = nullptr;
  EXPECT_TRUE(devdata.DataEntry("<task id='1'><interfaceopen/></task>", &szReply));
  ASSERT_NE(szReply, nullptr);
  EXPECT_NE(std::string(szReply).find("fail"), std::string::npos);
  EXPECT_EQ(m_plog->Count("the device data is not whole, nothing done..."), 5u);
  SetSimulation();
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  EXPECT_NE(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("OsMemNew failed...CDevDataXml"));
  EXPECT_TRUE(devtest::Tree(devtest::DataDirectory()).empty());
}

// Four processes adding one multifeed 200 times each: every addition lands,
// and no temporary is left.
TEST_F(DevData, FourProcessesCountEveryIncrement) {
  CDevData devdata;
  m_pdatabase->ConfigEnumAdd("serialnumber", "FOUR", DB_CONFIGTARGET_ADF);
  std::vector<pid_t> vecpid;
  for (int iProcess = 0; iProcess < 4; ++iProcess) {
    const pid_t pid = fork();
    if (pid == 0) {
      CDevData devdataChild;
      for (int i = 0; i < 200; ++i) {
        if (devdataChild.IncrementAccumulators(DB_FIRMWARE_ADF, true, 1, false, 0, false, 0, m_pdatabase.get()) !=
            OS_STS_SUCCESS) {
          _exit(1);
        }
      }
      _exit(0);
    }
    vecpid.push_back(pid);
  }
  for (pid_t pid : vecpid) {
    int iStatus = -1;
    waitpid(pid, &iStatus, 0);
    EXPECT_TRUE(WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0);
  }
  EXPECT_EQ(AccumulatorsRead(ScannerFile("FOUR", "accumulators.xml")), "800 0 0");
  EXPECT_EQ(devtest::Tree(devtest::DataDirectory() + "/FOUR"), std::vector<std::string>{"accumulators.xml"});
}

// "data.lock" held by another process: each write gives up after the wait
// ("DataLock failed...") and every file stays as it was.
TEST_F(DevData, ADataLockHeldElsewhereChangesNoFile) {
  OpenSession();
  ASSERT_EQ(Data().IncrementAccumulators(DB_FIRMWARE_ADF, true, 1, true, 2, true, 3, m_pdatabase.get()),
            OS_STS_SUCCESS);
  const std::string strDeviceXml = ReadFile(ScannerFile(s_szSerial, "device.xml"));
  const std::string strAccumulators = ReadFile(ScannerFile(s_szSerial, "accumulators.xml"));
  DevSetWaitLimit(DEV_WAIT_DATALOCK, 300);
  devtest::LockHolder lockholder(devtest::DataDirectory() + "/data.lock");
  ASSERT_TRUE(lockholder.Holding());
  EXPECT_EQ(Data().IncrementAccumulators(DB_FIRMWARE_ADF, true, 1, false, 0, false, 0, m_pdatabase.get()),
            OS_STS_FAIL);
  EXPECT_EQ(Data().UpdateDeviceXml(DB_FIRMWARE_ADF, m_pdatabase.get(), m_pdevScan.get()), OS_STS_FAIL);
  EXPECT_EQ(m_plog->Count("DataLock failed..."), 2u);
  EXPECT_EQ(ReadFile(ScannerFile(s_szSerial, "device.xml")), strDeviceXml);
  EXPECT_EQ(ReadFile(ScannerFile(s_szSerial, "accumulators.xml")), strAccumulators);
  EXPECT_EQ(devtest::Tree(devtest::DataDirectory() + "/" + s_szSerial),
            (std::vector<std::string>{"accumulators.xml", "device.xml"}));
}

// Two threads writing the files of one object while a third takes the
// database lock over and over: no deadlock, every addition counted.
TEST_F(DevData, WritersOnTwoThreadsBesideTheDatabaseLock) {
  OpenSession();
  constexpr int s_iRounds = 30;
  std::atomic<bool> blDone{false};
  auto futureWriters = std::async(std::launch::async, [&] {
    std::thread threadDeviceXml([&] {
      for (int i = 0; i < s_iRounds; ++i) Data().UpdateDeviceXml(DB_FIRMWARE_ADF, m_pdatabase.get(), m_pdevScan.get());
    });
    std::thread threadAccumulators([&] {
      for (int i = 0; i < s_iRounds; ++i) {
        CDbLockGuard dblockguard;  // as the scan thread calls it
        Data().IncrementAccumulators(DB_FIRMWARE_ADF, true, 1, false, 0, false, 0, m_pdatabase.get());
      }
    });
    threadDeviceXml.join();
    threadAccumulators.join();
  });
  std::thread threadDatabase([&] {
    while (!blDone.load()) {
      {
        CDbLockGuard dblockguard;
        m_pdatabase->ConfigExists("model", DB_CONFIGTARGET_ADF);
      }
      std::this_thread::yield();
    }
  });
  const bool blFinished = futureWriters.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  blDone = true;
  threadDatabase.join();
  if (!blFinished) {
    ADD_FAILURE() << "the writers did not finish within 30 s";
    std::abort();
  }
  EXPECT_EQ(AccumulatorsRead(ScannerFile(s_szSerial, "accumulators.xml")), std::to_string(s_iRounds) + " 0 0");
  EXPECT_EQ(Element(ScannerFile(s_szSerial, "device.xml"), "connection"), "USBSCAN/2.0");
}

}  // namespace
