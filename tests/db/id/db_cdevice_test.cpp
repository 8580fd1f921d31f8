// The device rules in the library itself (their behaviour against the model
// is the rules harness's, tests/tools/rulesmodel): the catalogue makes their
// classes, and the language rule drives the labels of a database of its own
// with a LABELS resource of two languages: the capability, value and
// colour-table labels switch together, each database opened in turn builds
// its list and applies its language, a refused language keeps the labels,
// and the scanner is told the language in use; a calibration type outside
// the table is logged and changes nothing.
#include <functional>
#include <string>
#include <vector>

#include "../db_labels_testutil.h"
#include "db_ccalibration.h"
#include "db_cdblookup.h"
#include "db_cdevice.h"
#include "db_cdiagnostics.h"
#include "db_cfirmware.h"
#include "db_cindicators.h"
#include "db_clanguage.h"
#include "db_cmagnification.h"
#include "db_cmeters.h"
#include "db_rules_fixture.h"
#include "os_cosresource.h"
#include "os_cosxmltask.h"

namespace {

using dblabeltest::MakeLabels;

template <class T>
bool Is(CDbDatum* a_pdbdatum) {
  return dynamic_cast<T*>(a_pdbdatum) != nullptr;
}

// The library's own file is a copy of the rules fixture's library (whose
// database has the colour tables), its labels US English and German texts
// of the calibration type, one of its values and the three colour tables.
class DbDeviceRulesTest : public dbtest::DbRulesFixture {
 protected:
  // Once, before the first database: the copy with its labels becomes the
  // library's own file.
  void BeforeDatabase() override {
    if (m_blOwnFile) return;
    m_blOwnFile = true;
    testsupport::WriteFile(m_strOwnFile, testsupport::ReadFile(SCANDRV_RULES_FIXTURE_DIR "/libscandrv.so"));
    const std::string strLabels =
        MakeLabels({"en_usa", "de_deu"}, {{"calibrationtype", {"Calibration type", "Kalibrierart"}},
                                          {"enum_calibrationtype_image", {"Image", "Bild"}},
                                          {"colortable_picture", {"Pictures", "Fotos"}},
                                          {"colortable_text", {"Text", "Schrift"}},
                                          {"colortable_textwithpicture", {"Text with pictures", "Schrift mit Fotos"}}});
    COsResource osresource;
    ASSERT_EQ(osresource.Update(m_strOwnFile.c_str(), "LABELS", OS_RESOURCETYPE_DATA, strLabels.size(),
                                strLabels.data()),
              OS_STS_SUCCESS);
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, m_strOwnFile.c_str()), OS_STS_SUCCESS);
  }

  const char* Library() override { return m_strOwnFile.c_str(); }

  // The labels a user sees now: the calibration type's, its image value's
  // and the three colour tables'.
  std::string Labels() {
    DbLookup2* pdblookup2Type = m_pdatabase->LookupEdbid(DB_ID_CALIBRATIONTYPE);
    DbLookup2* pdblookup2Table = m_pdatabase->LookupEdbid(DB_ID_COLORTABLE);
    if (!pdblookup2Type || !pdblookup2Table) return "(no lookup)";
    auto text = [](const char* a_sz) { return std::string(a_sz ? a_sz : "(null)"); };
    auto value = [&](DbLookup2* a_pdblookup2, long a_lValue) {
      const DbLookupEnum* pdblookupenum = m_pdatabase->LookupDbEnum(a_pdblookup2, a_lValue);
      return pdblookupenum ? text(pdblookupenum->szLabel) : "(none)";
    };
    return text(pdblookup2Type->szLabel) + "|" + value(pdblookup2Type, DB_ID_CALIBRATIONTYPE_ENUM_IMAGE) + "|" +
           value(pdblookup2Table, DB_ID_COLORTABLE_ENUM_FILE01) + "|" +
           value(pdblookup2Table, DB_ID_COLORTABLE_ENUM_FILE02) + "|" +
           value(pdblookup2Table, DB_ID_COLORTABLE_ENUM_FILE03);
  }

  CLANGUAGE* Language() { return dynamic_cast<CLANGUAGE*>(At(0, DB_ID_LANGUAGE, DB_BIN_MACHINE)); }

  std::vector<long> Offered() {
    std::vector<long> vecl;
    CDbEnum* pdbenum = Language();
    for (long l = 0; pdbenum && l < pdbenum->GetCurrentItemCount(); ++l) vecl.push_back(pdbenum->GetCurrentItem(l));
    return vecl;
  }

  const std::string m_strOwnFile = testsupport::RootPath("driver.so");
  bool m_blOwnFile = false;
};

const char s_szEnglish[] = "Calibration type|Image|Pictures|Text|Text with pictures";
const char s_szGerman[] = "Kalibrierart|Bild|Fotos|Schrift|Schrift mit Fotos";

}  // namespace

TEST_F(DbDeviceRulesTest, TheCatalogueMakesTheDeviceClasses) {
  const struct {
    EDBID edbid;
    std::function<bool(CDbDatum*)> is;
  } arow[] = {
      {DB_ID_CALIBRATEKEEPIMAGE, Is<CCALIBRATEKEEPIMAGE>}, {DB_ID_CALIBRATIONTYPE, Is<CCALIBRATIONTYPE>},
      {DB_ID_DIAGBACKGROUNDFRONT, Is<CDIAGBACKGROUNDFRONT>}, {DB_ID_DIAGTRANSPORTMOTOR, Is<CDIAGTRANSPORTMOTOR>},
      {DB_ID_FIRMWARE, Is<CFIRMWARE>},                     {DB_ID_INDICATORS, Is<CINDICATORS>},
      {DB_ID_INDICATORSMODE, Is<CINDICATORSMODE>},         {DB_ID_INDICATORSWARMUP, Is<CINDICATORSWARMUP>},
      {DB_ID_LANGUAGE, Is<CLANGUAGE>},                     {DB_ID_LOG, Is<CLOG>},
      {DB_ID_MAGNIFICATIONFRONTX, Is<CMAGNIFICATIONFRONTX>}, {DB_ID_MAGNIFICATIONREARY, Is<CMAGNIFICATIONREARY>},
      {DB_ID_METERFIRSTSCAN, Is<CMETERFIRSTSCAN>},         {DB_ID_METERLAMPREAR, Is<CMETERLAMPREAR>},
      {DB_ID_POWEROFFTIMEOUT, Is<CPOWEROFFTIMEOUT>},       {DB_ID_POWEROFFTIMEOUTENABLED, Is<CPOWEROFFTIMEOUTENABLED>},
      {DB_ID_PREVIEWUPDATE, Is<CPREVIEWUPDATE>},           {DB_ID_SERIALNUMBER, Is<CSERIALNUMBER>},
  };
  for (const auto& row : arow) {
    SCOPED_TRACE(row.edbid);
    CDbDatum* pdbdatum = CDbDatum::ms_pdatumcommon->apdbdatum[0][row.edbid][DB_BIN_MACHINE];
    ASSERT_NE(pdbdatum, nullptr);
    EXPECT_TRUE(row.is(pdbdatum));
  }
}

// The colour tables' own rule reloads them in the pass before the language
// rule has changed the language: the language rule loads them again after
// the labels, so that no label is one language behind.
TEST_F(DbDeviceRulesTest, SwitchingTheLanguageRelabelsCapabilitiesValuesAndColourTablesTogether) {
  ASSERT_TRUE(m_pdatabase->IsIdSupported(DB_ID_COLORTABLE));
  EXPECT_EQ(Set(0, DB_ID_LANGUAGE, DB_BIN_MACHINE, OS_LANGUAGE_DE_DEU), DB_STS_SUCCESS);
  EXPECT_STREQ(g_poslocale->GetLanguageName(), "de_deu");
  EXPECT_EQ(Labels(), s_szGerman);
  EXPECT_EQ(Set(0, DB_ID_LANGUAGE, DB_BIN_MACHINE, OS_LANGUAGE_EN_USA), DB_STS_SUCCESS);
  EXPECT_EQ(Labels(), s_szEnglish);
  EXPECT_EQ(Set(0, DB_ID_LANGUAGE, DB_BIN_MACHINE, OS_LANGUAGE_DE_DEU), DB_STS_SUCCESS);
  EXPECT_EQ(Labels(), s_szGerman);
}

// An interface closed and opened again in one process makes a new service
// layer and a new database: the new database builds its list of languages
// with the new language service, and its first pass applies the language it
// holds, whichever capability started that pass.
TEST_F(DbDeviceRulesTest, EachDatabaseOpenedInTurnBuildsItsListAndAppliesItsLanguage) {
  const std::vector<long> veclOffered = Offered();
  ASSERT_GT(veclOffered.size(), 2u);
  EXPECT_EQ(Set(0, DB_ID_LANGUAGE, DB_BIN_MACHINE, OS_LANGUAGE_DE_DEU), DB_STS_SUCCESS);
  ASSERT_EQ(Labels(), s_szGerman);

  testsupport::LocaleService localeserviceAgain;
  OpenScanner();
  m_pdatabase->FixDefaultAll();
  EXPECT_EQ(Offered(), veclOffered);
  EXPECT_NE(g_poslocale->GetRegisteredLanguage(OS_LANGUAGE_NONE), OS_LANGUAGE_NONE);
  EXPECT_STREQ(g_poslocale->GetLanguageName(), "en_usa");
  // The language as a stored profile leaves it, before any pass.
  ASSERT_EQ(Language()->SetCurrentLong(OS_LANGUAGE_DE_DEU), OS_STS_SUCCESS);
  EXPECT_EQ(Set(0, DB_ID_DIAGCLEANMODE, DB_BIN_MACHINE, DB_ID_DIAGCLEANMODE_ENUM_ON), DB_STS_SUCCESS);
  EXPECT_STREQ(g_poslocale->GetLanguageName(), "de_deu");
  EXPECT_EQ(Labels(), s_szGerman);
  // Once applied, another capability's pass leaves the language to the user.
  ASSERT_EQ(Language()->SetCurrentLong(OS_LANGUAGE_EN_USA), OS_STS_SUCCESS);
  EXPECT_EQ(Set(0, DB_ID_DIAGCLEANMODE, DB_BIN_MACHINE, DB_ID_DIAGCLEANMODE_ENUM_OFF), DB_STS_SUCCESS);
  EXPECT_STREQ(g_poslocale->GetLanguageName(), "de_deu");
}

// A language the service does not know (as a stored profile may hold one)
// fails the rule with one log line and changes neither the labels nor the
// value.
TEST_F(DbDeviceRulesTest, ARefusedLanguageKeepsTheLabelsAndTheValue) {
  EXPECT_EQ(Set(0, DB_ID_LANGUAGE, DB_BIN_MACHINE, OS_LANGUAGE_DE_DEU), DB_STS_SUCCESS);
  ASSERT_EQ(Labels(), s_szGerman);
  for (long lValue : {200L, -1L, static_cast<long>(OS_LANGUAGE_LAST)}) {
    SCOPED_TRACE(lValue);
    const size_t sizetBefore = m_plog->Count("language not known, labels kept...");
    ASSERT_EQ(Language()->SetCurrentLong(lValue), OS_STS_SUCCESS);
    Language()->SetModified();
    EXPECT_EQ(Language()->FixCurrent(), OS_STS_FAIL);
    CDbDatum::ClearModified();
    EXPECT_EQ(m_plog->Count("language not known, labels kept..."), sizetBefore + 1);
    EXPECT_EQ(Language()->GetCurrentLongNoCallback(), lValue);
    EXPECT_EQ(Labels(), s_szGerman);
    EXPECT_STREQ(g_poslocale->GetLanguageName(), "de_deu");
  }
}

// Whatever value is asked for, the scanner is told the lexicon of the
// language in use.
TEST_F(DbDeviceRulesTest, TheScannerIsToldTheLanguageInUse) {
  COsXmlTask* posxmltask = m_pdatabase->GetDbMakeXml();
  ASSERT_NE(posxmltask, nullptr);
  ASSERT_NE(Language(), nullptr);
  auto sent = [&](long a_lValue) {
    posxmltask->Clear();
    posxmltask->StartTask(0, 0, nullptr);
    posxmltask->StartCommand("setconfig", 1);
    Language()->MakeXml(a_lValue, DB_DEVICEDATA_BOTH);
    posxmltask->FinalizeCommand("setconfig");
    posxmltask->FinalizeTask();
    const std::string strTask = posxmltask->GetTaskBuffer();
    const size_t sizetOpen = strTask.find("<language>");
    const size_t sizetClose = strTask.find("</language>");
    if (sizetOpen == std::string::npos || sizetClose == std::string::npos) return std::string("(none)");
    return strTask.substr(sizetOpen + 10, sizetClose - sizetOpen - 10);
  };
  EXPECT_EQ(sent(OS_LANGUAGE_DE_DEU), "en_usa");
  EXPECT_EQ(Set(0, DB_ID_LANGUAGE, DB_BIN_MACHINE, OS_LANGUAGE_DE_DEU), DB_STS_SUCCESS);
  EXPECT_EQ(sent(OS_LANGUAGE_EN_USA), "de_deu");
  EXPECT_EQ(sent(OS_LANGUAGE_AUTO), "de_deu");
}

// A calibration type outside 1 to 10 (as a stored profile may hold one)
// is logged once per pass and leaves keeping the images as it was.
TEST_F(DbDeviceRulesTest, AnUnknownCalibrationTypeLeavesKeepingTheImages) {
  CDbDatum* pdbdatumType = At(0, DB_ID_CALIBRATIONTYPE, DB_BIN_MACHINE);
  CDbDatum* pdbdatumKeep = At(0, DB_ID_CALIBRATEKEEPIMAGE, DB_BIN_MACHINE);
  ASSERT_TRUE(m_pdatabase->IsIdSupported(DB_ID_CALIBRATEKEEPIMAGE));
  ASSERT_EQ(m_pdatabase->SetCurrentLong(pdbdatumKeep, DB_ID_CALIBRATEKEEPIMAGE_ENUM_TRUE, false), DB_STS_SUCCESS);
  for (long lType : {0L, 11L, -3L}) {
    SCOPED_TRACE(lType);
    const std::string strLine = "Unrecognized calibrationtype..." + std::to_string(lType);
    ASSERT_EQ(pdbdatumType->SetCurrentLong(lType), OS_STS_SUCCESS);
    m_pdatabase->FixCurrentAll(pdbdatumType);
    EXPECT_EQ(m_plog->Count(strLine), 1u);
    EXPECT_EQ(pdbdatumKeep->GetCurrentLongNoCallback(), DB_ID_CALIBRATEKEEPIMAGE_ENUM_TRUE);
    EXPECT_EQ(pdbdatumKeep->GetAccess(), DB_ACCESS_READWRITE);
  }
}
