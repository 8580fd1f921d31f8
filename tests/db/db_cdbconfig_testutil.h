// Helpers of the configuration-record tests: the inquiry fixtures, the
// table as the dump writes it, and the expected tables of the Python script.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../os/log_capture.h"
#include "db_cdbconfig.h"
#include "test_support.h"

namespace dbconfigtest {

inline std::string DataPath(const std::string& a_strName) {
  return std::string(SCANDRV_TEST_DATA) + "/db/" + a_strName;
}

inline std::string Fixture(const std::string& a_strName) { return testsupport::ReadFile(DataPath(a_strName)); }

// The content of a reply's inquiry element, as the device engine hands it
// over.
inline std::string InquiryContent(const std::string& a_strReply) {
  const std::string strOpen = "<reportinquiry>", strClose = "</reportinquiry>";
  const size_t sizetStart = a_strReply.find(strOpen);
  const size_t sizetEnd = a_strReply.find(strClose);
  if (sizetStart == std::string::npos || sizetEnd == std::string::npos) return "";
  return a_strReply.substr(sizetStart + strOpen.size(), sizetEnd - sizetStart - strOpen.size());
}

// The table as "key number string" lines, read back from a dump into the
// log (the log's level must not be 0). The slots must run from 000 without
// a gap.
inline std::vector<std::string> Table(CDbConfig& a_dbconfig, const testsupport::LogCapture& a_log) {
  a_dbconfig.Dump();
  const std::string strText = a_log.Text();
  const std::string strMarker = "cfg>>> Dumping CDbConfig...";
  const size_t sizetMarker = strText.rfind(strMarker);
  std::vector<std::string> vstr;
  if (sizetMarker == std::string::npos) {
    ADD_FAILURE() << "no dump in the log";
    return vstr;
  }
  for (std::string strLine : testsupport::Lines(strText.substr(sizetMarker + strMarker.size()))) {
    if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
    const size_t sizetAt = strLine.find("cfg>>> ");
    if (sizetAt == std::string::npos) continue;
    const std::string strRecord = strLine.substr(sizetAt + 7);
    // "%03d %-64s %12d %s"
    if (strRecord.size() < 3 + 1 + 64 + 1 + 12 + 1) continue;
    EXPECT_EQ(std::atoi(strRecord.substr(0, 3).c_str()), static_cast<int>(vstr.size())) << strRecord;
    std::string strKey = strRecord.substr(4, 64);
    strKey.erase(strKey.find_last_not_of(' ') + 1);
    const std::string strNumber = strRecord.substr(4 + 64 + 1, 12);
    const std::string strString = strRecord.substr(4 + 64 + 1 + 12 + 1);
    vstr.push_back(strKey + " " + std::to_string(std::atol(strNumber.c_str())) + " " + strString);
  }
  return vstr;
}

// The expected table of a scenario, in Python's sorted() order.
inline std::vector<std::string> Expected(const std::string& a_strScenario) {
  std::vector<std::string> vstr;
  for (const std::string& strLine :
       testsupport::Lines(testsupport::RunPython(Fixture("dbconfig_expected.py"), {a_strScenario}))) {
    if (!strLine.empty()) vstr.push_back(strLine);
  }
  return vstr;
}

}  // namespace dbconfigtest
