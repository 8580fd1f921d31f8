// The task log the stand-in libraries write (one tab-separated line per
// task: milliseconds, unit, id, command, one name=value field per direct
// child of the command, status), read back for the tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "test_support.h"

namespace devtest {

// One line of a stand-in's task log.
struct LoggedTask {
  unsigned long long ullMs = 0;  // when the task was served (ms since the epoch)
  std::string strUnit;
  unsigned long ulId = 0;
  std::string strCommand;
  std::map<std::string, std::string> mapArgument;
  std::vector<std::string> vecstrArgument;  // the name=value fields in order
  std::string strStatus;
  // An argument's value; "-" when the task had none of that name.
  std::string Arg(const std::string& a_strName) const {
    const auto it = mapArgument.find(a_strName);
    return it == mapArgument.end() ? "-" : it->second;
  }
  // The name=value fields in order, blank-separated.
  std::string Arguments() const {
    std::string str;
    for (const std::string& strArgument : vecstrArgument) str += (str.empty() ? "" : " ") + strArgument;
    return str;
  }
};

inline std::vector<LoggedTask> ReadTaskLog(const std::string& a_strPath) {
  std::vector<LoggedTask> vec;
  for (const std::string& strLine : testsupport::Lines(testsupport::FileExists(a_strPath)
                                                           ? testsupport::ReadFile(a_strPath)
                                                           : std::string())) {
    std::vector<std::string> vecField;
    for (size_t sizetStart = 0;;) {
      const size_t sizetTab = strLine.find('\t', sizetStart);
      vecField.push_back(strLine.substr(sizetStart, sizetTab - sizetStart));
      if (sizetTab == std::string::npos) break;
      sizetStart = sizetTab + 1;
    }
    if (vecField.size() < 5) {
      ADD_FAILURE() << "task log line <" << strLine << ">";
      continue;
    }
    LoggedTask loggedtask;
    loggedtask.ullMs = std::strtoull(vecField[0].c_str(), nullptr, 10);
    loggedtask.strUnit = vecField[1];
    loggedtask.ulId = std::strtoul(vecField[2].c_str(), nullptr, 10);
    loggedtask.strCommand = vecField[3];
    for (size_t i = 4; i + 1 < vecField.size(); ++i) {
      const size_t sizetEqual = vecField[i].find('=');
      loggedtask.mapArgument[vecField[i].substr(0, sizetEqual)] =
          sizetEqual == std::string::npos ? "" : vecField[i].substr(sizetEqual + 1);
      loggedtask.vecstrArgument.push_back(vecField[i]);
    }
    loggedtask.strStatus = vecField.back();
    vec.push_back(loggedtask);
  }
  return vec;
}

// The commands of a task log, in order.
inline std::vector<std::string> Commands(const std::vector<LoggedTask>& a_vecloggedtask) {
  std::vector<std::string> vec;
  for (const LoggedTask& loggedtask : a_vecloggedtask) vec.push_back(loggedtask.strCommand);
  return vec;
}

}  // namespace devtest
