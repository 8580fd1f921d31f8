// The GUI's value changes on the database an opened scanner leaves
// (mapleB), without a GUI (the replies are dropped): the number rule of
// setvalue and setvaluelist, and every way out of a change clearing the
// state bits it set and putting back a cropping mode it switched.
#include <gtest/gtest.h>

#include <string>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_cdrvguichildren.h"
#include "drv_cdrvguiimpl.h"
#include "drv_opened_fixture.h"
#include "os_cosxml.h"

namespace {

class DrvGuiSetTest : public drvtest::DrvOpenedFixture {
 protected:
  // The command element of the text handed to the handler.
  void Run(CDrvGuiImpl& a_drvguiimpl, EOSSTS (CDrvGuiImpl::*a_pfn)(COsXml*, long long), const std::string& a_str) {
    COsXml osxml;
    ASSERT_EQ(osxml.DocumentLoad(a_str.c_str(), static_cast<long>(a_str.size())), OS_STS_SUCCESS) << a_str;
    osxml.NodeRewind();
    (a_drvguiimpl.*a_pfn)(&osxml, 1);
    osxml.DocumentFree();
  }
  long Current(EDBID a_edbid) {
    CDbLockGuard dblockguard;
    return m_pdatabase->GetCurrentLongFromId(a_edbid);
  }
  bool State(EDBSTATE a_edbstate) {
    CDbLockGuard dblockguard;
    return m_pdatabase->TestDbState(a_edbstate) != 0;
  }
};

std::string SetValue(const std::string& a_strName, const std::string& a_strValue, const std::string& a_strMore = "") {
  return "<setvalue><id>" + a_strName + "</id><value>" + a_strValue + "</value>" + a_strMore + "</setvalue>";
}

TEST(DrvGuiRangeValueTest, AMinusAndDecimalDigitsWithin32BitsAndNothingElse) {
  struct Case {
    const char* szText;
    bool blRead;
    long lValue;
  };
  const Case acase[] = {
      {"0", true, 0},
      {"-0", true, 0},
      {"300", true, 300},
      {"-45", true, -45},
      {"2147483647", true, 2147483647L},
      {"-2147483648", true, -2147483648L},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"99999999999999999999", false, 0},
      {"", false, 0},
      {"-", false, 0},
      {"+300", false, 0},
      {" 300", false, 0},
      {"300 ", false, 0},
      {"300x", false, 0},
      {"3e2", false, 0},
      {"0x12c", false, 0},
      {"--1", false, 0},
  };
  for (const Case& c : acase) {
    long lValue = 7;
    EXPECT_EQ(DrvGuiReadRangeValue(c.szText, &lValue), c.blRead) << c.szText;
    EXPECT_EQ(lValue, c.lValue) << c.szText;
  }
}

// Refused, unknown, unchanged, applied and failed subcommands alike: the
// value change's state bit is clear afterwards, no rescan is left marked,
// and the cropping mode is the one before unless the change was applied.
TEST_F(DrvGuiSetTest, EveryWayOutClearsTheStateAndPutsTheCroppingModeBack) {
  CDrvGuiImpl drvguiimpl(m_pdatabase.get(), nullptr, nullptr, "");
  ASSERT_EQ(Current(DB_ID_CROPPINGMODE), DB_ID_CROPPINGMODE_ENUM_AUTOMATIC);
  const long lWidth = Current(DB_ID_FRAMEWIDTH);
  struct Case {
    const char* szWhat;
    std::string strCommand;
  };
  const Case acase[] = {
      {"a frame narrower than its minimum", SetValue("imagewidth", "1")},
      {"a frame width with a letter", SetValue("imagewidth", "2400x")},
      {"an unknown item", SetValue("units", "furlongs")},
      {"an unknown name", SetValue("nosuchcapability", "1")},
      {"the same value", SetValue("units", "inches")},
      {"a subcommand on a range", SetValue("imagewidth", "2400", "<enum><value>x</value></enum>")},
      {"an enum item outside the defaults", SetValue("units", "inches", "<enum><value>nosuch</value></enum>")},
      {"a value that does not fit", SetValue("units", std::string(1024, 'i'))},
  };
  for (const Case& c : acase) {
    Run(drvguiimpl, &CDrvGuiImpl::DispatcherSetValue, c.strCommand);
    EXPECT_FALSE(State(DB_STATE_GUISETVALUE)) << c.szWhat;
    EXPECT_FALSE(State(DB_STATE_PREVIEWRESCAN)) << c.szWhat;
    EXPECT_EQ(Current(DB_ID_CROPPINGMODE), DB_ID_CROPPINGMODE_ENUM_AUTOMATIC) << c.szWhat;
    EXPECT_EQ(Current(DB_ID_FRAMEWIDTH), lWidth) << c.szWhat;
  }
  EXPECT_TRUE(m_plog->Contains("Restoring the cropping mode...1"));
  // Applied: the frame switched the cropping mode to fixed, which stays.
  Run(drvguiimpl, &CDrvGuiImpl::DispatcherSetValue, SetValue("imagewidth", "2400"));
  EXPECT_FALSE(State(DB_STATE_GUISETVALUE));
  EXPECT_EQ(Current(DB_ID_FRAMEWIDTH), 2400);
  EXPECT_EQ(Current(DB_ID_CROPPINGMODE), DB_ID_CROPPINGMODE_ENUM_FIXED);
}

// setvaluelist: a number with a letter after it refuses the whole list,
// the values before it put back.
TEST_F(DrvGuiSetTest, SetValueListReadsNumbersAsSetValueDoes) {
  CDrvGuiImpl drvguiimpl(m_pdatabase.get(), nullptr, nullptr, "");
  const long lUnits = Current(DB_ID_UNITS);
  const long lTimeout = Current(DB_ID_POWEROFFTIMEOUT);
  Run(drvguiimpl, &CDrvGuiImpl::DispatcherSetValueList,
      "<setvaluelist><id>units</id><windowtag>frontbitonal_00</windowtag><value>pixels</value>"
      "<id>powerofftimeout</id><windowtag>frontbitonal_00</windowtag><value>12x</value></setvaluelist>");
  EXPECT_EQ(Current(DB_ID_UNITS), lUnits);
  EXPECT_EQ(Current(DB_ID_POWEROFFTIMEOUT), lTimeout);
  EXPECT_TRUE(m_plog->Contains("setvaluelist failed, restoring every value..."));
  Run(drvguiimpl, &CDrvGuiImpl::DispatcherSetValueList,
      "<setvaluelist><id>powerofftimeout</id><windowtag>frontbitonal_00</windowtag><value>12</value></setvaluelist>");
  EXPECT_EQ(Current(DB_ID_POWEROFFTIMEOUT), 12);
}

}  // namespace
