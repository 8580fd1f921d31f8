// What a reply handler reads from its callback record: numbers in the
// device's form, and a target only of the kind it needs.
#include <gtest/gtest.h>

#include <climits>

#include "../os/log_capture.h"
#include "dev_def.h"
#include "dp_target.h"

TEST(DpTarget, Numbers) {
  const struct {
    const char* szText;
    long lValue;
  } s_acase[] = {
      {"42", 42},
      {"  -42x", -42},
      {"\t\n+7", 7},
      {"", 0},
      {"abc", 0},
      {"- 5", 0},
      {"1.9", 1},
      {"9223372036854775807", LONG_MAX},
      {"-9223372036854775808", LONG_MIN},
      {"99999999999999999999", LONG_MAX},
      {"-99999999999999999999", LONG_MIN},
  };
  for (const auto& c : s_acase) EXPECT_EQ(DpNumber(c.szText), c.lValue) << c.szText;
  EXPECT_EQ(DpNumber(nullptr), 0);
}

TEST(DpTarget, OnlyTheKindAHandlerNeeds) {
  testsupport::LogCapture log(1);
  DeviceLog devicelog = {};
  int iDatabase = 0;
  auto* pdatabase = reinterpret_cast<CDatabase*>(&iDatabase);  // never dereferenced here
  char szName[] = "logtype";
  char szData[] = "info";
  OsXmlCallback osxmlcallback = {};
  osxmlcallback.szName = szName;
  osxmlcallback.szData = szData;
  EXPECT_STREQ(DpContent(&osxmlcallback), "info");

  DevDispatchTarget devdispatchtarget = DevDispatchTarget::Log(&devicelog);
  osxmlcallback.pvArg = &devdispatchtarget;
  EXPECT_EQ(DpDeviceLog(&osxmlcallback), &devicelog);
  EXPECT_EQ(DpDatabase(&osxmlcallback), nullptr);
  EXPECT_TRUE(log.Contains("<logtype> ignored: the reply is not read into the database")) << log.Text();

  devdispatchtarget = DevDispatchTarget::Database(pdatabase);
  EXPECT_EQ(DpDatabase(&osxmlcallback), pdatabase);
  EXPECT_EQ(DpDeviceLog(&osxmlcallback), nullptr);
  EXPECT_TRUE(log.Contains("<logtype> ignored: the reply is not read into a log record")) << log.Text();

  devdispatchtarget = DevDispatchTarget::None();
  EXPECT_EQ(DpDatabase(&osxmlcallback), nullptr);
  EXPECT_EQ(DpDeviceLog(&osxmlcallback), nullptr);
  osxmlcallback.pvArg = nullptr;
  osxmlcallback.szData = nullptr;
  EXPECT_EQ(DpDatabase(&osxmlcallback), nullptr);
  EXPECT_STREQ(DpContent(&osxmlcallback), "");
  EXPECT_EQ(DpDatabase(nullptr), nullptr);
}
