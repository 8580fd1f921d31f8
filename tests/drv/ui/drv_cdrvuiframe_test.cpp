// Frames of the task texts: cutting by bytes= alone, the id of a header,
// and the stamps of the writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "drv_cdrvuiframe.h"

namespace {

std::string Header(const std::string& a_strBytes) {
  return "<task id='00000000000000000007' reply='00000000000000000000' bytes='" + a_strBytes + "'>";
}

TEST(DrvUiFrame, CutsByBytesAlone) {
  struct Case {
    const char* szName;
    std::string strData;
    EDRVUIFRAME edrvuiframe;
    size_t sizetTask;  // or the declared length when more must come
    const char* szWhy;
  };
  const std::string strWhole = Header("00000000000000000100") + std::string(100 - 91 + 1, 'x');
  const Case acase[] = {
      {"whole", strWhole, DRV_UIFRAME_TASK, 100, ""},
      {"whole and the next's start", strWhole + "<task", DRV_UIFRAME_TASK, 100, ""},
      {"short", strWhole.substr(0, 99), DRV_UIFRAME_MORE, 100, ""},
      {"header cut in its digits", Header("0000000000").substr(0, 75), DRV_UIFRAME_MORE, 0, ""},
      {"nothing yet", "", DRV_UIFRAME_MORE, 0, ""},
      {"few digits", Header("91") + "abcdefghijklmnopqrstuvwxyz", DRV_UIFRAME_TASK, 91, ""},
      {"no bytes in the header limit", std::string(1024, 'g') + "bytes='5'", DRV_UIFRAME_BAD, 0,
       "no bytes= in the task's header"},
      {"not closed in the limit", "bytes='" + std::string(1100, '0'), DRV_UIFRAME_BAD, 0, "bytes= is not a number"},
      {"zero", Header("00000000000000000000"), DRV_UIFRAME_BAD, 0, "bytes= is below its own header"},
      {"below the header", Header("00000000000000000088"), DRV_UIFRAME_BAD, 0, "bytes= is below its own header"},
      {"through its closing quote", Header("00000000000000000089"), DRV_UIFRAME_TASK, 89, ""},
      {"negative", Header("-0000000000000000100"), DRV_UIFRAME_BAD, 0, "bytes= is not a number"},
      {"letters", Header("0000000000000000010x"), DRV_UIFRAME_BAD, 0, "bytes= is not a number"},
      {"empty", Header(""), DRV_UIFRAME_BAD, 0, "bytes= is not a number"},
      {"21 digits", Header("000000000000000000100"), DRV_UIFRAME_BAD, 0, "bytes= is not a number"},
      {"beyond 64 bits", Header("99999999999999999999"), DRV_UIFRAME_BAD, 0, "bytes= is not a number"},
      {"the largest", Header("00000000000016777216"), DRV_UIFRAME_MORE, 16777216, ""},
      {"over the largest", Header("00000000000016777217"), DRV_UIFRAME_BAD, 0, "bytes= is over the largest task"},
      {"NUL bytes", std::string("<task\0 bytes='00000000000000000040'>", 36) + std::string(4, '\0'), DRV_UIFRAME_TASK,
       40, ""},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szName);
    size_t sizetTask = 99;
    const char* szWhy = nullptr;
    EXPECT_EQ(CDrvUiFrame::Next(c.strData.data(), c.strData.size(), &sizetTask, &szWhy), c.edrvuiframe);
    EXPECT_EQ(sizetTask, c.sizetTask);
    EXPECT_STREQ(szWhy, c.szWhy);
  }
}

TEST(DrvUiFrame, ReadsTheFirstIdOfTheHeader) {
  struct Case {
    const char* szText;
    bool blId;
    uint64_t u64Id;
  };
  const Case acase[] = {
      {"<task id='00000000000000000042' reply='0'>", true, 42},
      {"<task id='18446744073709551615'>", true, UINT64_MAX},
      {"<task id='18446744073709551616'>", false, 0},
      {"<task id='1234567890123456789012345'>", false, 0},
      {"<task id=''>", false, 0},
      {"<task id='12", false, 0},
      {"<task id='-1'>", false, 0},
      {"<task reply='5' bytes='6'>", false, 0},
      {"<task messageid='9' id='8'>", true, 9},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szText);
    uint64_t u64Id = 77;
    EXPECT_EQ(CDrvUiFrame::Id(c.szText, std::strlen(c.szText), &u64Id), c.blId);
    EXPECT_EQ(u64Id, c.u64Id);
  }
}

TEST(DrvUiFrame, StampsTheIdAndTheWholeLength) {
  std::string str = "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n"
                    "\t<uiexit>\n\t</uiexit>\n</task>";
  const size_t sizet = str.size();
  EXPECT_TRUE(CDrvUiFrame::Stamp(str.data(), str.size(), 12));
  char szBytes[32];
  std::snprintf(szBytes, sizeof szBytes, "%020zu", sizet);
  EXPECT_EQ(str.substr(0, 91), "<task id='00000000000000000012' reply='00000000000000000000' bytes='" +
                                   std::string(szBytes) + "'>\n");
  EXPECT_EQ(str.size(), sizet);
  std::string strNone = "<task id='1' bytes='2'>";
  EXPECT_FALSE(CDrvUiFrame::Stamp(strNone.data(), strNone.size(), 1));
  EXPECT_EQ(strNone, "<task id='1' bytes='2'>");
  std::string strCut = "<task id='@111'>";  // no room for the whole placeholder
  EXPECT_FALSE(CDrvUiFrame::Stamp(strCut.data(), strCut.size(), 1));
  EXPECT_EQ(strCut, "<task id='@111'>");
}

}  // namespace
