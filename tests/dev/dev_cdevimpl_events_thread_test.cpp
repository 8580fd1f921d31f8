// The driver-event table between threads: writers on four threads, the
// front end's reader on the main one.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "../os/log_capture.h"
#include "dev_cdevimpl.h"
#include "os_cosxmltask.h"

namespace {

constexpr int s_iWriters = 4;
constexpr int s_iEventsEach = 1000;

// Every event reported exactly once, each writer's in the order it set
// them; a full table is answered 1 and the writer tries again.
TEST(DevEventsThread, FourWritersAndAReaderLoseNothing) {
  testsupport::LogCapture log;
  CDevImpl devimpl(nullptr, nullptr, nullptr, nullptr);
  std::atomic<int> iRefused{0};
  std::vector<std::thread> vecthread;
  for (int iWriter = 0; iWriter < s_iWriters; ++iWriter) {
    vecthread.emplace_back([&, iWriter] {
      for (int i = 0; i < s_iEventsEach; ++i) {
        const std::string strValue = std::to_string(iWriter) + ":" + std::to_string(i);
        while (devimpl.SetDriverEvent(DEV_EVENT_DEVICEBUTTON, strValue.c_str()) != OS_STS_SUCCESS) {
          iRefused.fetch_add(1);
          std::this_thread::yield();
        }
      }
    });
  }
  std::vector<int> veciNext(s_iWriters, 0);
  int iReported = 0;
  COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity);
  while (iReported < s_iWriters * s_iEventsEach) {
    if (devimpl.GetDriverEvent(&osxmltask) != OS_STS_SUCCESS) {
      std::this_thread::yield();
      continue;
    }
    const std::string strReply = osxmltask.GetTaskBuffer();
    for (size_t sizet = strReply.find("<value>"); sizet != std::string::npos;
         sizet = strReply.find("<value>", sizet + 1)) {
      const size_t sizetValue = sizet + 7;
      const std::string strValue = strReply.substr(sizetValue, strReply.find("</value>", sizetValue) - sizetValue);
      const size_t sizetColon = strValue.find(':');
      ASSERT_NE(sizetColon, std::string::npos) << strValue;
      const int iWriter = std::stoi(strValue.substr(0, sizetColon));
      ASSERT_GE(iWriter, 0);
      ASSERT_LT(iWriter, s_iWriters);
      ASSERT_EQ(std::stoi(strValue.substr(sizetColon + 1)), veciNext[iWriter]) << strValue;
      ++veciNext[iWriter];
      ++iReported;
    }
  }
  for (std::thread& thread : vecthread) thread.join();
  EXPECT_EQ(veciNext, std::vector<int>(s_iWriters, s_iEventsEach));
  EXPECT_NE(devimpl.GetDriverEvent(&osxmltask), OS_STS_SUCCESS);
  // Refusals happen when the reader falls behind; each was logged.
  if (iRefused.load() > 0) {
    EXPECT_TRUE(log.Contains("No more empty slot for event 1..."));
  }
}

}  // namespace
