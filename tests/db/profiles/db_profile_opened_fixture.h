// Profile items on the database of an opened scanner (the rules fixture:
// mapleB's feeder, the default fix-up run), with directories of their own
// in the test's root: the own directory (where "profile.share" lives), its
// graphics directory and the installed directory. Documents are generated
// into builders of the test's and read back with the library's reader.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "../id/db_rules_fixture.h"
#include "db_cdbprofileitem.h"
#include "db_cdbrange.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace dbtest {

class DbProfileOpenedFixture : public DbRulesFixture {
 protected:
  void SetUp() override {
    DbRulesFixture::SetUp();
    for (const std::string& str : {m_strOwn, m_strInstalled}) std::filesystem::create_directories(str);
    m_posxmltask = std::make_unique<COsXmlTask>("", CDbProfileItem::s_sizetDocument);
  }

  void TearDown() override {
    m_posxmltask.reset();
    DbRulesFixture::TearDown();
  }

  // An item of the test's directories; its file, if any, is a path below
  // the own directory.
  std::unique_ptr<CDbProfileItem> NewItem(const std::string& a_strFile = "") {
    return std::make_unique<CDbProfileItem>(a_strFile.c_str(), nullptr, m_strInstalled.c_str(), m_strInstalled.c_str(),
                                            m_strOwn.c_str(), m_strGraphics.c_str(), m_pdatabase.get(),
                                            m_posxmltask.get());
  }

  // A document of the group (empty when Generate fails).
  std::string Document(CDbProfileItem& a_dbprofileitem, const char* a_szGroup) {
    COsXmlTask osxmltask("", CDbProfileItem::s_sizetDocument);
    if (a_dbprofileitem.Generate(a_szGroup, &osxmltask) != OS_STS_SUCCESS) return "";
    return osxmltask.GetTaskBuffer();
  }

  // The capabilities of a document, in order.
  static std::vector<std::string> Capabilities(const std::string& a_strDocument) {
    std::vector<std::string> vec;
    static const std::regex s_regex("\n\t\t<d i='([^']+)'>\n");
    for (auto it = std::sregex_iterator(a_strDocument.begin(), a_strDocument.end(), s_regex);
         it != std::sregex_iterator(); ++it)
      vec.push_back((*it)[1].str());
    return vec;
  }

  // The children of a document's element at a path of first children named
  // in turn ("header"), as name and content, read by the library's reader.
  static std::vector<std::pair<std::string, std::string>> Children(const std::string& a_strDocument,
                                                                   const char* a_szElement) {
    std::vector<std::pair<std::string, std::string>> vec;
    COsXml osxml;
    if (osxml.DocumentLoad(a_strDocument.c_str()) != OS_STS_SUCCESS || osxml.NodeRewind() != OS_STS_SUCCESS ||
        osxml.NodeChild() != OS_STS_SUCCESS)
      return vec;
    char szName[256];
    static char s_szContent[1 << 20];
    bool blFound = false;
    do {
      blFound = osxml.NodeGetName(szName, sizeof szName) == OS_STS_SUCCESS && std::string(szName) == a_szElement;
    } while (!blFound && osxml.NodeSibling() == OS_STS_SUCCESS);
    if (!blFound) return vec;
    for (bool blMore = osxml.NodeChild() == OS_STS_SUCCESS; blMore; blMore = osxml.NodeSibling() == OS_STS_SUCCESS) {
      osxml.NodeGetName(szName, sizeof szName);
      s_szContent[0] = '\0';
      osxml.NodeGetContent(s_szContent, sizeof s_szContent);
      vec.emplace_back(szName, s_szContent);
    }
    return vec;
  }

  static std::string Text(const std::vector<std::pair<std::string, std::string>>& a_vec, const std::string& a_str) {
    for (const auto& pair : a_vec)
      if (pair.first == a_str) return pair.second;
    return "(none)";
  }

  // A machine or camera value written as it is, as a profile writes it.
  CDbDatum* Put(EDBID a_edbid, EDBBIN a_edbbin, long a_lValue) {
    CDbDatum* pdbdatum = m_pdatabase->FindInWindowBin(0, a_edbbin, a_edbid);
    EXPECT_NE(pdbdatum, nullptr) << a_edbid;
    if (pdbdatum) pdbdatum->CopyCurrentLong(a_lValue);
    return pdbdatum;
  }

  // Whether xmllint reads the document.
  static bool XmllintReads(const std::string& a_strPath) {
    int iStatus = -1;
    testsupport::RunProgram({"xmllint", "--noout", a_strPath}, &iStatus);
    return iStatus == 0;
  }

  const std::string m_strOwn = testsupport::RootPath("profiles");
  const std::string m_strGraphics = testsupport::RootPath("profiles/graphics");
  const std::string m_strInstalled = testsupport::RootPath("installed");
  std::unique_ptr<COsXmlTask> m_posxmltask;  // the report builder the items are given
};

}  // namespace dbtest
