// Task texts for the tests of the stand-in libraries: a task of one command,
// a leaf element of its body, the text of an element of a reply, the check
// that a reply is a whole task answering a given id, and a device-manager
// stand-in loaded for a test.
#pragma once

#include <dlfcn.h>
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

// A device-manager stand-in loaded for the life of the object: its entry,
// one numbered task at a time.
class ScannerLibrary {
 public:
  typedef const char* (*PfnScannerEntry)(const char*);

  explicit ScannerLibrary(const char* a_szPath) : m_pvLibrary(dlopen(a_szPath, RTLD_NOW | RTLD_LOCAL)) {
    if (m_pvLibrary) m_pfnEntry = reinterpret_cast<PfnScannerEntry>(dlsym(m_pvLibrary, "ScannerEntry"));
  }
  ~ScannerLibrary() {
    if (m_pvLibrary) dlclose(m_pvLibrary);
  }
  ScannerLibrary(const ScannerLibrary&) = delete;
  ScannerLibrary& operator=(const ScannerLibrary&) = delete;

  bool IsLoaded() const { return m_pfnEntry != nullptr; }
  // The reply to a task of one command (null when the unit gives none).
  const char* Send(const std::string& a_strCommand, const std::string& a_strBody = "") {
    return m_pfnEntry(Task(++m_iId, a_strCommand, a_strBody).c_str());
  }

 private:
  void* m_pvLibrary;
  PfnScannerEntry m_pfnEntry = nullptr;
  int m_iId = 0;
};

}  // namespace simtest
