// The frame rules in the library itself (their behaviour against the model
// is the rules harness's, tests/tools/rulesmodel): the catalogue makes the
// four classes, and sets from two threads, each under the database lock as
// the driver's and the device engine's threads hold it, leave every frame as
// the last paper size of its thread set it.
#include <thread>

#include "db_cdblock.h"
#include "db_cframe.h"
#include "db_rules_fixture.h"

namespace {

using DbFrameRulesTest = dbtest::DbRulesFixture;
using DbFrameRulesThread = dbtest::DbRulesFixture;

}  // namespace

TEST_F(DbFrameRulesTest, TheCatalogueMakesTheFourClassesInWindowZero) {
  for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
    const auto edbbin = static_cast<EDBBIN>(iBin);
    EXPECT_NE(dynamic_cast<CFRAMEWIDTH*>(At(0, DB_ID_FRAMEWIDTH, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CFRAMEHEIGHT*>(At(0, DB_ID_FRAMEHEIGHT, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CFRAMEXOFFSET*>(At(0, DB_ID_FRAMEXOFFSET, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CFRAMEYOFFSET*>(At(0, DB_ID_FRAMEYOFFSET, edbbin)), nullptr);
    // The other windows hold plain values, ruled from window 0.
    EXPECT_EQ(dynamic_cast<CDbRange*>(At(1, DB_ID_FRAMEWIDTH, edbbin)), nullptr);
  }
}

// The rules keep nothing of their own and wait for nothing: two threads that
// each hold the lock around a set and the reads after it always see the
// frame their own set gave.
TEST_F(DbFrameRulesThread, SetsUnderTheDatabaseLockSeeTheirOwnFrames) {
  CDbDatum::SetWindowMax(2);
  // Window 1 came into use after the default fix-up: a paper of neither
  // size gives it a frame first, so that no set below finds its size set.
  ASSERT_EQ(Set(0, DB_ID_SUPPORTEDSIZES, DB_BIN_MACHINE, DB_ID_SUPPORTEDSIZES_ENUM_A5), DB_STS_SUCCESS);
  const struct {
    long lSize;
    long lWidth;
    long lHeight;
  } asize[] = {{DB_ID_SUPPORTEDSIZES_ENUM_USLETTER, 10200, 13200}, {DB_ID_SUPPORTEDSIZES_ENUM_A4, 9912, 14028}};
  constexpr int s_iRounds = 200;
  int aiMismatch[2] = {};
  auto paper = [&](int a_iThread) {
    for (int i = 0; i < s_iRounds; ++i) {
      CDbLockGuard dblockguard;
      const auto& size = asize[(i + a_iThread) % 2];
      if (Set(0, DB_ID_SUPPORTEDSIZES, DB_BIN_MACHINE, size.lSize) != DB_STS_SUCCESS ||
          Value(1, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_REAR) != size.lWidth ||
          Value(0, DB_ID_FRAMEHEIGHT, DB_BIN_BITONAL_FRONT) != size.lHeight) {
        ++aiMismatch[a_iThread];
      }
    }
  };
  std::thread thread(paper, 1);
  paper(0);
  thread.join();
  EXPECT_EQ(aiMismatch[0], 0);
  EXPECT_EQ(aiMismatch[1], 0);
}

// A scanner that reports no sheet width leaves the width and x offset with
// the bounds they had (logged once per side and camera): the resource's,
// which every fix-up starts from; the height and y offset still follow the
// sheet height.
TEST_F(DbFrameRulesTest, WithoutASheetWidthTheFrameKeepsItsBounds) {
  m_pdatabase->ConfigDelete("sheetwidth_rangemax", DB_CONFIGTARGET_COMMON);
  auto* pdbrangeWidth = dynamic_cast<CDbRange*>(At(0, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT));
  auto* pdbrangeHeight = dynamic_cast<CDbRange*>(At(0, DB_ID_FRAMEHEIGHT, DB_BIN_COLOR_FRONT));
  ASSERT_NE(pdbrangeWidth, nullptr);
  ASSERT_NE(pdbrangeHeight, nullptr);
  pdbrangeHeight->SetDefault(1200, 1200, 40800, 12);
  m_pdatabase->FixDefaultAll();
  EXPECT_EQ(pdbrangeWidth->GetDefaultMax(), 14400);
  EXPECT_EQ(pdbrangeWidth->GetCurrentLong(), 10200);
  EXPECT_EQ(pdbrangeHeight->GetDefaultMax(), 33000);
  const std::string strLog = m_plog->Text();
  for (const char* szLine : {"frame>>> no sheetwidth, the frame keeps its bounds...99",
                             "frame>>> no sheetwidth, the frame keeps its bounds...100"}) {
    size_t sizetCount = 0;
    for (size_t sizet = strLog.find(szLine); sizet != std::string::npos; sizet = strLog.find(szLine, sizet + 1))
      ++sizetCount;
    EXPECT_EQ(sizetCount, 4u) << szLine;
  }
  EXPECT_EQ(strLog.find("no sheetheight"), std::string::npos);
}
