// Task texts for the tests of the stand-in libraries: a task of one command,
// a leaf element of its body, the text of an element of a reply, and the
// check that a reply is a whole task answering a given id.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace simtest {

inline std::string Task(int a_iId, const std::string& a_strCommand, const std::string& a_strBody = "") {
  const std::string strInner = "\t<" + a_strCommand + ">\n" + a_strBody + "\t</" + a_strCommand + ">\n";
  char szLine[128];
  std::snprintf(szLine, sizeof szLine, "<task id='%020d' reply='%020d' bytes='%020zu'>\n", a_iId, 0,
                91 + strInner.size() + 8);
  return szLine + strInner + "</task>\n";
}

inline std::string Leaf(const std::string& a_strName, const std::string& a_strValue) {
  return "\t\t<" + a_strName + ">" + a_strValue + "</" + a_strName + ">\n";
}

// The text of the first such element; empty when it is missing.
inline std::string Element(const std::string& a_strReply, const std::string& a_strName) {
  const std::string strOpen = "<" + a_strName + ">";
  const size_t sizetStart = a_strReply.find(strOpen);
  if (sizetStart == std::string::npos) return std::string();
  const size_t sizetEnd = a_strReply.find("</" + a_strName + ">", sizetStart);
  if (sizetEnd == std::string::npos) return std::string();
  return a_strReply.substr(sizetStart + strOpen.size(), sizetEnd - sizetStart - strOpen.size());
}

// The reply is a whole task that answers this id, with a correct length.
inline void ExpectWholeReply(const char* a_szReply, int a_iId) {
  ASSERT_NE(a_szReply, nullptr);
  const std::string strReply = a_szReply;
  char szReplyId[32];
  std::snprintf(szReplyId, sizeof szReplyId, " reply='%020d' ", a_iId);
  EXPECT_EQ(strReply.compare(0, 10, "<task id='"), 0) << strReply;
  EXPECT_NE(strReply.find(szReplyId), std::string::npos) << strReply;
  EXPECT_EQ(std::strtoull(strReply.c_str() + 68, nullptr, 10), strReply.size()) << strReply;
  EXPECT_EQ(strReply.compare(91, 17, "\t<reportstatus>\n\t"), 0) << strReply;
  EXPECT_EQ(strReply.substr(strReply.size() - 8), "</task>\n") << strReply;
}

}  // namespace simtest
