// The profile list over directories of the test's own: the installed list
// below the system directory's model "kv", the user's (PMX_PROFILESDIR),
// profile documents made to order, and the entries of the list's report.
#pragma once

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "db_cdbprofilelistimpl.h"
#include "db_profile_opened_fixture.h"
#include "os_coscfgtags.h"
#include "test_support.h"

namespace dbtest {

class DbProfileListFixture : public DbProfileOpenedFixture {
 protected:
  void SetUp() override {
    DbProfileOpenedFixture::SetUp();
    Configure(OS_CFGTAG_SYSTEMDIRECTORY, m_strSystem.c_str());
    Configure(OS_CFGTAG_MODELDIRECTORY, "kv");
    std::filesystem::create_directories(m_strInstalledList);
    std::filesystem::create_directories(m_strUser);
    setenv("PMX_PROFILESDIR", m_strUser.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("PMX_PROFILESDIR");
    DbProfileOpenedFixture::TearDown();
  }

  // A profile document: its name, id and the contrast it sets.
  static std::string Profile(const std::string& a_strName, const std::string& a_strId, int a_iContrast) {
    return "<profile>\n\t<header>\n\t\t<id><![CDATA[" + a_strName + "]]></id>\n\t\t<driverversion>01000000</driverversion>"
           "\n\t\t<family>kv</family>\n\t\t<group>profilenormalsave</group>\n\t\t<profileid>" + a_strId +
           "</profileid>\n\t</header>\n\t<database>\n\t\t<d i='contrast'><fb00>" + std::to_string(a_iContrast) +
           "</fb00></d>\n\t</database>\n</profile>\n";
  }

  // The visible names of a list report in slot order, the current one starred.
  static std::vector<std::string> Entries(const std::string& a_strReport) {
    std::vector<std::string> vec;
    static const std::regex s_regex("<profileitem>\\s*<value><!\\[CDATA\\[([^\\]]*)\\]\\]></value>[\\s\\S]*?"
                                    "<profilestate>([a-z]+)</profilestate>");
    for (auto it = std::sregex_iterator(a_strReport.begin(), a_strReport.end(), s_regex); it != std::sregex_iterator();
         ++it)
      vec.push_back((*it)[1].str() + ((*it)[2].str() == "normal" ? "" : "*"));
    return vec;
  }

  const std::string m_strSystem = testsupport::RootPath("opt");
  const std::string m_strInstalledList = testsupport::RootPath("opt/kv/lib/profiles");
  const std::string m_strUser = testsupport::RootPath("userprofiles");
};

}  // namespace dbtest
