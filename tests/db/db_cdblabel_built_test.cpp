// The labels the build compiles into the library: the resource is well
// formed, loads whole into a block that the address sanitizer measures, and
// labels every capability and every value of the library's own lookup.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db_cdblabel.h"
#include "db_fixture.h"
#include "os_coscfg.h"

namespace {

using dbtest::DbFixture;

const std::string s_strValidator = std::string(SCANDRV_TEST_DATA) + "/../tools/dbresource.py";

// The library's own file is the built library.
std::unique_ptr<COsCfg> BuiltLibraryConfiguration(OsCfgVersion* a_poscfgversion) {
  auto pcfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, a_poscfgversion, false, nullptr);
  pcfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, SCANDRV_LIBRARY_PATH);
  return pcfg;
}

// Without the memory service the table is a plain heap block: an
// English-only resource needs more room for its entries than its own size,
// which the block has to make up for.
TEST(DbLabelBuilt, TheEnglishLabelsLoadWhole) {
  const std::string strPath = testsupport::RootPath("labels.edres");
  int iStatus = -1;
  testsupport::WriteFile(strPath, testsupport::RunProgram({SCANDRV_PMXRES, "get", SCANDRV_LIBRARY_PATH, "LABELS"}, &iStatus));
  ASSERT_EQ(iStatus, 0);
  testsupport::RunProgram({SCANDRV_PYTHON, s_strValidator, "labels", strPath}, &iStatus);
  EXPECT_EQ(iStatus, 0);
  EXPECT_NE(testsupport::ReadFile(strPath).find("<en_usa>bytes="), std::string::npos);

  OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
  auto pcfg = BuiltLibraryConfiguration(&oscfgversion);
  CDbLabel dblabel;
  ASSERT_EQ(dblabel.Open(), OS_STS_SUCCESS);
  EXPECT_STREQ(dblabel.Get("imageresolutionx", -1), "Resolution");
  EXPECT_STREQ(dblabel.Get("E_EXCEEDSMAXIMUM", -1), "The printed text is longer than the printer allows.");
  EXPECT_STREQ(dblabel.Get("about_meterpower", -1), "\nPower-on: %d.%1.1d hours");
  long lCount = 0;
  while (dblabel.Get(nullptr, lCount)) ++lCount;
  EXPECT_GT(lCount, 1300);
}

// Every capability the lookup names in task messages, and each of its
// values, has a label of its own.
class DbLabelBuiltLookup : public DbFixture {};

TEST_F(DbLabelBuiltLookup, EveryCapabilityAndValueHasALabel) {
  OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
  auto pcfg = BuiltLibraryConfiguration(&oscfgversion);
  ASSERT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH, false), DB_STS_SUCCESS);
  m_pdatabase->UpdateLabels();
  long lCapabilities = 0;
  long lValues = 0;
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(static_cast<EDBID>(iId));
    if (!pdblookup2 || !pdblookup2->szLexicon[0]) continue;  // no name in task messages: nothing shows it
    SCOPED_TRACE(pdblookup2->szDbId);
    ++lCapabilities;
    ASSERT_NE(pdblookup2->szLabel, nullptr);
    EXPECT_STRNE(pdblookup2->szLabel, "???");
    for (long l = 0; l < pdblookup2->lEnumCount; ++l, ++lValues) {
      ASSERT_NE(pdblookup2->pEnums[l].szLabel, nullptr);
      EXPECT_STRNE(pdblookup2->pEnums[l].szLabel, "???") << pdblookup2->pEnums[l].szDbIdEnum;
    }
  }
  EXPECT_EQ(lCapabilities, 244);
  EXPECT_GT(lValues, 1000);
}

// The lookup loaded again makes new records: the next label update gives
// them the labels of the table already loaded, without loading it again.
TEST_F(DbLabelBuiltLookup, ALookupLoadedAgainGetsItsLabelsBack) {
  OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
  auto pcfg = BuiltLibraryConfiguration(&oscfgversion);
  CDatabase& db = *m_pdatabase;
  ASSERT_EQ(db.Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH, false), DB_STS_SUCCESS);
  db.UpdateLabels();
  const char* szResolution = db.LabelGet("imageresolutionx", nullptr, -1);
  ASSERT_STREQ(szResolution, "Resolution");
  for (int iLoad = 0; iLoad < 2; ++iLoad) {
    SCOPED_TRACE(iLoad);
    ASSERT_EQ(db.LoadLookup(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH), DB_STS_SUCCESS);
    const size_t sizetLog = m_plog->Text().size();
    db.UpdateLabels();
    EXPECT_NE(m_plog->Text().find("Language strings already loaded", sizetLog), std::string::npos);
    EXPECT_EQ(m_plog->Text().find("Open: check for language", sizetLog), std::string::npos);
    const DbLookup2* pdblookup2 = db.LookupEdbid(DB_ID_XRESOLUTION);
    ASSERT_NE(pdblookup2, nullptr);
    EXPECT_EQ(pdblookup2->szLabel, szResolution);
    ASSERT_GT(pdblookup2->lEnumCount, 0);
    ASSERT_NE(pdblookup2->pEnums[0].szLabel, nullptr);
    EXPECT_STRNE(pdblookup2->pEnums[0].szLabel, "???");
    // Every record the index entries reach is labelled again.
    for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
      CDbDatum* pdbdatumIndex = CDbDatum::ms_pdatumcommon->apdbdatum[0][iId][DB_BIN_SEARCH];
      if (pdbdatumIndex && pdbdatumIndex->GetLookup()) { EXPECT_NE(pdbdatumIndex->GetLookup()->szLabel, nullptr) << iId; }
    }
  }
}

}  // namespace
