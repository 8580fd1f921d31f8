// Scans through the device facade on the staged simulated scanner, the
// image library off (ForceNexilOff 1): the session opened and set up as a
// front end does, then ScanBegin, the caller's GetOutput/ImageEnd loop and
// ScanEnd. The driver events queued, the messages shown and the first-image
// callbacks are recorded.
#pragma once

#include <dirent.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "db_cdbdatum.h"
#include "dev_cdevdata.h"
#include "dev_cdevimpl.h"
#include "dev_device_fixture.h"
#include "dev_waits.h"

namespace devtest {

// What the caller's loop received.
struct ScanResult {
  std::vector<std::string> vecstrImages;      // the texts of the images
  std::vector<int> veciImageCount;            // the image count of each
  std::vector<int> veciPageCount;             // the page count of each
  std::vector<EDEVSTS> vecedevstsOther;       // records returned that are neither images nor the end
  EDEVSTS edevstsFinal = DEV_STS_LAST;        // the status that ended the loop
};

class ScanFixture : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    SetConfigured(OS_CFGTAG_FORCENEXILOFF, "1");
    s_vecMessages.clear();
  }
  void TearDown() override {
    m_pdevScan.reset();
    for (EDEVWAIT edevwait : {DEV_WAIT_PAPER, DEV_WAIT_PAPERPOLL, DEV_WAIT_SCANSTOPSTART, DEV_WAIT_SCANENDSTART,
                              DEV_WAIT_WARMUPMIN, DEV_WAIT_SCANTHREADSTOP}) {
      DevSetWaitLimit(edevwait, -1);
    }
    DeviceFixture::TearDown();
  }

  CDevImpl& Scanner() { return Impl(*m_pdevScan); }

  // The session opened with the stand-in's flags and its streams set up;
  // the events of the open are dropped.
  void OpenSession(const std::vector<std::pair<std::string, std::string>>& a_vecFlags = {},
                   EOSSTS (*a_pfnStatusCallback)(void*) = nullptr) {
    SetSimulation(a_vecFlags);
    m_pdevScan = std::make_unique<CDev>(m_pdatabase.get(), nullptr, a_pfnStatusCallback);
    ASSERT_EQ(m_pdevScan->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevScan->SessionBegin(Message), OS_STS_SUCCESS) << m_plog->Text();
    SetUpStreams();
  }
  void SetUpStreams() {
    ASSERT_EQ(m_pdevScan->SetAttributes(true, false), OS_STS_SUCCESS) << m_plog->Text();
    Scanner().AllowNotifyImageAvailable(true);
    Queued();
  }
  // A capability's value in a bin of the current window, as the scanner's
  // replies store it; one the model does not offer is made readable.
  void Force(EDBBIN a_edbbin, EDBID a_edbid, long a_lValue) {
    if (!m_pdatabase->FindInBin(a_edbbin, a_edbid)) {
      CDbDatum* pdbdatumDirect = m_pdatabase->FindDirect(a_edbbin, a_edbid);
      ASSERT_NE(pdbdatumDirect, nullptr) << a_edbid;
      m_pdatabase->SetAccess(pdbdatumDirect, DB_ACCESS_READWRITE);
    }
    CDbDatum* pdbdatum = m_pdatabase->FindInBin(a_edbbin, a_edbid);
    ASSERT_NE(pdbdatum, nullptr) << a_edbid;
    pdbdatum->ForceCurrentLong(a_lValue);
  }

  // The caller's loop: each image is ended as it arrives (unless told
  // not to), until a status that is neither an image, an empty queue nor
  // an end of sheet or user action, an empty queue once the scan has
  // ended, or the limit passed.
  ScanResult Drain(bool a_blImageEnd = true, long a_lLimitMs = 20000,
                   const std::function<void(EDEVSTS)>& a_fnOther = nullptr) {
    ScanResult scanresult;
    const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(a_lLimitMs);
    std::vector<char> vecc(DEV_SCAN_BUFFER_SIZE);
    while (std::chrono::steady_clock::now() < timepointEnd) {
      int iImage = 0;
      int iPage = 0;
      int iPageImage = 0;
      const EDEVSTS edevsts =
          m_pdevScan->GetOutput(vecc.data(), static_cast<int>(vecc.size()), &iImage, &iPage, &iPageImage);
      if (edevsts == DEV_STS_NOIMAGEAVAILABLE) {
        if (!m_pdevScan->ScanIsScanning()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        continue;
      }
      if (edevsts == DEV_STS_SUCCESS) {
        scanresult.vecstrImages.emplace_back(vecc.data());
        scanresult.veciImageCount.push_back(iImage);
        scanresult.veciPageCount.push_back(iPage);
        if (a_blImageEnd) m_pdevScan->ImageEnd(vecc.data());
        continue;
      }
      if (edevsts == DEV_STS_ENDOFSHEET || edevsts == DEV_STS_USERACTION) {
        scanresult.vecedevstsOther.push_back(edevsts);
        if (a_fnOther) a_fnOther(edevsts);
        continue;
      }
      scanresult.edevstsFinal = edevsts;
      break;
    }
    return scanresult;
  }

  // The files in the stand-in's image directory.
  static size_t ImageFiles() {
    size_t sizet = 0;
    DIR* pdir = opendir(testsupport::RootPath("images").c_str());
    if (!pdir) return 0;
    while (dirent* pdirent = readdir(pdir)) {
      if (pdirent->d_name[0] != '.') ++sizet;
    }
    closedir(pdir);
    return sizet;
  }

  // The queued events as "word=value", emptying the table.
  std::vector<std::string> Queued() { return QueuedEvents(Scanner()); }

  // The imagebuffercount of each scanbegin the feeder received.
  static std::vector<std::string> ScanBeginBuffers() {
    std::vector<std::string> vec;
    for (const LoggedTask& loggedtask : Tasks()) {
      if (loggedtask.strCommand == "scanbegin") vec.push_back(loggedtask.Arg("imagebuffercount"));
    }
    return vec;
  }

  DevDataCalls DataCalls() { return Scanner().GetPod().m_pdevdata->GetCalls(); }

  static EOSSTS Message(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char*, long a_lValue, EDEVBUTTONS) {
    std::lock_guard<std::mutex> lock(s_mutexMessages);
    s_vecMessages.push_back({a_edevdlg, a_edevmsg, a_lValue});
    return OS_STS_SUCCESS;
  }
  struct ShownMessage {
    EDEVDLG edevdlg;
    EDEVMSG edevmsg;
    long lValue;
  };
  static std::vector<ShownMessage> Messages() {
    std::lock_guard<std::mutex> lock(s_mutexMessages);
    return s_vecMessages;
  }

  std::unique_ptr<CDev> m_pdevScan;
  static inline std::mutex s_mutexMessages;
  static inline std::vector<ShownMessage> s_vecMessages;
};

}  // namespace devtest
