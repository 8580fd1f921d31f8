// Cost of the profile list's load of 255 user profiles of some 30 KB each
// (target: under 100 ms). The database is the library's own, its defaults
// fixed up. The apply of a full profile is measured on an opened scanner
// (bench_rules.cpp).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbprofileitem.h"
#include "db_cdbprofilelistimpl.h"
#include "os_cosmem.h"
#include "os_cosresource.h"
#include "os_cosxmltask.h"

namespace {

constexpr int s_iProfiles = 255;
constexpr size_t s_sizetProfile = 30 * 1024;

// A database of the library's resources, its defaults fixed up, and a
// directory of its own for profiles (PMX_PROFILESDIR).
class Fixture {
 public:
  explicit Fixture(benchmark::State& a_state) {
    char szTemplate[] = "/tmp/scandrv-bench-profiles-XXXXXX";
    if (!mkdtemp(szTemplate)) {
      a_state.SkipWithError("no directory");
      return;
    }
    m_strDirectory = szTemplate;
    setenv("PMX_PROFILESDIR", m_strDirectory.c_str(), 1);
    if (m_database.Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, OS_RESOURCE_LOCAL, false) != DB_STS_SUCCESS) {
      a_state.SkipWithError("the library's resources did not load");
      return;
    }
    m_database.FixDefaultAll();
    m_blReady = true;
  }
  ~Fixture() {
    unsetenv("PMX_PROFILESDIR");
    std::error_code errorcode;
    if (!m_strDirectory.empty()) std::filesystem::remove_all(m_strDirectory, errorcode);
  }
  bool Ready() const { return m_blReady; }
  CDatabase& Database() { return m_database; }
  const std::string& Directory() const { return m_strDirectory; }

  // The document of every value, as a user profile would hold it.
  std::string FullProfile(const std::string& a_strName, int a_iId) {
    COsXmlTask osxmltask("", CDbProfileItem::s_sizetDocument);
    CDbProfileItem dbprofileitem(nullptr, nullptr, "", "", m_strDirectory.c_str(), "", &m_database, &osxmltask);
    dbprofileitem.SetName(a_strName.c_str());
    dbprofileitem.SetId(("bench-" + std::to_string(a_iId)).c_str());
    COsXmlTask osxmltaskDocument("", CDbProfileItem::s_sizetDocument);
    if (dbprofileitem.Generate("profilenormalsave", &osxmltaskDocument) != OS_STS_SUCCESS) return std::string();
    return osxmltaskDocument.GetTaskBuffer();
  }

 private:
  COsMem m_osmem{OS_MEM_METHOD_GLOBALALLOC, 1};
  CDatabase m_database;
  std::string m_strDirectory;
  bool m_blReady = false;
};

void Write(const std::string& a_strPath, const std::string& a_strText) {
  std::ofstream out(a_strPath, std::ios::binary);
  out << a_strText;
}

void BM_ProfileListLoad255(benchmark::State& a_state) {
  Fixture fixture(a_state);
  if (!fixture.Ready()) return;
  for (int i = 0; i < s_iProfiles; ++i) {
    std::string strText = fixture.FullProfile("Profile " + std::to_string(i), i);
    if (strText.empty()) {
      a_state.SkipWithError("Generate failed");
      return;
    }
    // Up to some 30 KB: the database part repeated under a lexicon no
    // capability has, which the load passes over as a real one.
    const size_t sizetClose = strText.rfind("</profile>");
    std::string strPadding;
    while (strText.size() + strPadding.size() < s_sizetProfile)
      strPadding += "\t<extra><d i='nosuchcapability'><m>0</m></d></extra>\n";
    strText.insert(sizetClose, strPadding);
    char szName[32];
    std::snprintf(szName, sizeof szName, "/p%03d.profile", i);
    Write(fixture.Directory() + szName, strText);
  }
  CDbProfileListImpl dbprofilelistimpl(&fixture.Database(), 64);
  for (auto _ : a_state) {
    if (dbprofilelistimpl.Load(false) != DB_STS_SUCCESS) {
      a_state.SkipWithError("Load failed");
      break;
    }
  }
  a_state.SetItemsProcessed(static_cast<int64_t>(a_state.iterations()) * s_iProfiles);
}
BENCHMARK(BM_ProfileListLoad255)->Unit(benchmark::kMillisecond);

}  // namespace
