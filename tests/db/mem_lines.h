// The "mem>>>" lines that every object creation and deletion writes at
// debug level: in a stretch of log, each creation has its deletion.
#pragma once

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "test_support.h"

namespace dbtest {

// Addresses may be used again after a deletion; none is deleted twice.
inline void ExpectMemoryLinesPaired(const std::string& a_strLog) {
  std::multiset<std::string> setLive;
  const std::regex regexNew("mem>>> addr:(0x[0-9a-f]+)  size: *[0-9]+  new ([A-Za-z]+)");
  const std::regex regexDelete("mem>>> addr:(0x[0-9a-f]+) delete-object");
  int iNew = 0;
  for (const std::string& strLine : testsupport::Lines(a_strLog)) {
    std::smatch match;
    if (std::regex_search(strLine, match, regexNew)) {
      setLive.insert(match[1]);
      ++iNew;
    } else if (std::regex_search(strLine, match, regexDelete)) {
      auto it = setLive.find(match[1]);
      EXPECT_NE(it, setLive.end()) << "deleted but never made: " << strLine;
      if (it != setLive.end()) setLive.erase(it);
    }
  }
  EXPECT_GT(iNew, 0);
  EXPECT_TRUE(setLive.empty()) << setLive.size() << " objects never deleted";
}

}  // namespace dbtest
