// A get while another thread writes the database, as the device engine's
// callback thread does during an asynchronous opening: each update is made
// under the database lock, and no report shows half of one.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>

#include "db_cdblock.h"
#include "drv_opened_fixture.h"

namespace {

class DrvGetThread : public drvtest::DrvOpenedFixture {};

// The writer moves XFERCOUNT's value and range together: the value is always
// the range's minimum, in a report as in the database.
TEST_F(DrvGetThread, AReportNeverShowsHalfAnUpdate) {
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_XFERCOUNT);
  ASSERT_NE(pdbdatum, nullptr);
  std::atomic<bool> blStop{false};
  std::atomic<long> lUpdates{0};
  std::thread thread([&] {
    for (long l = 0; !blStop; ++l) {
      const long lValue = l % 2 ? 10 : 500;
      CDbLockGuard dblockguard;
      EXPECT_EQ(m_pdatabase->RangeSetCurrent(pdbdatum, lValue, lValue, lValue + 100, 1), DB_STS_SUCCESS);
      ++lUpdates;
    }
  });
  const std::regex regex(
      "<reportrange>\n\t\t<id>imagecount</id>\n\t\t<readonly>false</readonly>\n\t\t<valuecurrent>([0-9]+)"
      "</valuecurrent>\n(?:\t\t<[a-z]+>[^<]*</[a-z]+>\n)*\t\t<range>\n\t\t\t<rangemin>([0-9]+)<");
  for (int i = 0; i < 200 || (lUpdates < 20 && i < 20000); ++i) {
    const drvtest::Reply reply = Get("imagecount");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(reply.strText, match, regex)) << reply.strText;
    EXPECT_EQ(match[1].str(), match[2].str());
  }
  blStop = true;
  thread.join();
}

// The profile document is written under the database lock as well: two
// values the writer changes together are alike in every data file.
TEST_F(DrvGetThread, AProfileDocumentNeverShowsHalfAnUpdate) {
  CDbDatum* pdbdatumThreshold = m_pdatabase->FindInWindowBin(0, DB_BIN_BITONAL_FRONT, DB_ID_THRESHOLD);
  CDbDatum* pdbdatumContrast = m_pdatabase->FindInWindowBin(0, DB_BIN_BITONAL_FRONT, DB_ID_CONTRAST);
  ASSERT_NE(pdbdatumThreshold, nullptr);
  ASSERT_NE(pdbdatumContrast, nullptr);
  std::atomic<bool> blStop{false};
  std::atomic<long> lUpdates{0};
  std::thread thread([&] {
    for (long l = 0; !blStop; ++l) {
      const long lValue = l % 2 ? 10 : 40;
      CDbLockGuard dblockguard;
      pdbdatumThreshold->CopyCurrentLong(lValue);
      pdbdatumContrast->CopyCurrentLong(lValue);
      ++lUpdates;
    }
  });
  // The values start apart: the writer's first update makes them alike.
  while (lUpdates == 0) std::this_thread::yield();
  const std::regex regexFile("<filename>([^<]+)</filename>");
  const std::regex regexValues(
      "<d i='contrast'>\n\t\t\t<fb00>(-?[0-9]+)</fb00>\n[\\s\\S]*"
      "<d i='binarizationthreshold'>\n\t\t\t<fb00>([0-9]+)</fb00>");
  for (int i = 0; i < 50 || (lUpdates < 20 && i < 5000); ++i) {
    const drvtest::Reply reply = Get("profileall");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(reply.strText, match, regexFile)) << reply.strText;
    const std::string strPath = match[1].str();
    const std::string strDocument = testsupport::ReadFile(strPath);
    std::remove(strPath.c_str());
    ASSERT_TRUE(std::regex_search(strDocument, match, regexValues)) << strDocument;
    EXPECT_EQ(match[1].str(), match[2].str());
  }
  blStop = true;
  thread.join();
}

}  // namespace
