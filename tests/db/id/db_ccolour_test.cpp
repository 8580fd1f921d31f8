// The colour rules in the library itself (their behaviour against the model
// is the rules harness's, tests/tools/rulesmodel): the catalogue makes their
// classes, the dropout lists are read within their fields and numbered
// within their lookup, each database keeps its own state of the lists, and
// the lookup texts the rules repoint stay read-only to anyone else.
#include <cstring>
#include <functional>
#include <string>

#include "db_cautocolor.h"
#include "db_ccolorbalance.h"
#include "db_ccolortable.h"
#include "db_ccompression.h"
#include "db_cdbcontainer.h"
#include "db_cdblookup.h"
#include "db_cecdo.h"
#include "db_cecdocustom.h"
#include "db_cecdolists.h"
#include "db_cecdooptions.h"
#include "db_coutputformat.h"
#include "db_rules_fixture.h"

namespace {

using DbColourRulesTest = dbtest::DbRulesFixture;
using DbColourRulesDeathTest = dbtest::DbRulesFixture;

template <class T>
bool Is(CDbDatum* a_pdbdatum) {
  return dynamic_cast<T*>(a_pdbdatum) != nullptr;
}

// A record as the device engine writes it; a text as long as its field has
// no terminator.
template <size_t N>
void Put(char (&a_sz)[N], const std::string& a_str) {
  std::memset(a_sz, 0, N);
  std::memcpy(a_sz, a_str.data(), std::min(N, a_str.size()));
}

DbEcdoRecord Record(uint32_t a_u32Value, const std::string& a_strName, const std::string& a_strKind = "normal") {
  DbEcdoRecord dbecdorecord = {};
  dbecdorecord.u32Value = a_u32Value;
  Put(dbecdorecord.szName, a_strName);
  Put(dbecdorecord.szNameFlatbed, a_strName + "fb");
  Put(dbecdorecord.szLabel, "Label of " + a_strName);
  Put(dbecdorecord.szKind, a_strKind);
  return dbecdorecord;
}

}  // namespace

TEST_F(DbColourRulesTest, TheCatalogueMakesTheColourClasses) {
  const struct {
    EDBID edbid;
    EDBBIN edbbin;
    std::function<bool(CDbDatum*)> is;
  } arow[] = {
      {DB_ID_AUTOCOLORAMOUNT, DB_BIN_COLOR_REAR, Is<CAUTOCOLORAMOUNT>},
      {DB_ID_AUTOCOLORCONTENT, DB_BIN_BITONAL_FRONT, Is<CAUTOCOLORCONTENT>},
      {DB_ID_AUTOCOLORTHRESHOLD, DB_BIN_COLOR_FRONT, Is<CAUTOCOLORTHRESHOLD>},
      {DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, Is<CBRIGHTNESS>},
      {DB_ID_COLORBALANCEAUTOMATICAGGRESSIVENESS, DB_BIN_COLOR_FRONT, Is<CCOLORBALANCEAUTOMATICAGGRESSIVENESS>},
      {DB_ID_COLORBALANCEBLUE, DB_BIN_COLOR_FRONT, Is<CCOLORBALANCEBLUE>},
      {DB_ID_COLORBALANCEGREEN, DB_BIN_COLOR_FRONT, Is<CCOLORBALANCEGREEN>},
      {DB_ID_COLORBALANCEMODE, DB_BIN_COLOR_FRONT, Is<CCOLORBALANCEMODE>},
      {DB_ID_COLORBALANCERED, DB_BIN_COLOR_FRONT, Is<CCOLORBALANCERED>},
      {DB_ID_COLORBRIGHTNESSMODE, DB_BIN_COLOR_FRONT, Is<CCOLORBRIGHTNESSMODE>},
      {DB_ID_COLORTABLE, DB_BIN_COLOR_FRONT, Is<CCOLORTABLE>},
      {DB_ID_COMPRESSION, DB_BIN_BITONAL_REAR, Is<CCOMPRESSION>},
      {DB_ID_CONTRAST, DB_BIN_BITONAL_FRONT, Is<CCONTRAST>},
      {DB_ID_DOCUMENTTYPE, DB_BIN_BITONAL_FRONT, Is<CDOCUMENTTYPE>},
      {DB_ID_ECDO, DB_BIN_BITONAL_FRONT, Is<CECDO>},
      {DB_ID_ECDOAGGRESSIVENESS, DB_BIN_BITONAL_FRONT, Is<CECDOAGGRESSIVENESS>},
      {DB_ID_ECDOCUSTOM, DB_BIN_COLOR_REAR, Is<CECDOCUSTOM>},
      {DB_ID_ECDOCUSTOMCLEARDATA, DB_BIN_MACHINE, Is<CECDOCUSTOMCLEARDATA>},
      {DB_ID_ECDOCUSTOMLEARN, DB_BIN_MACHINE, Is<CECDOCUSTOMLEARN>},
      {DB_ID_ECDOTREATASCOLOR, DB_BIN_BITONAL_FRONT, Is<CECDOTREATASCOLOR>},
      {DB_ID_JPEGQUALITY, DB_BIN_COLOR_FRONT, Is<CJPEGQUALITY>},
      {DB_ID_MEDIATYPE, DB_BIN_BITONAL_FRONT, Is<CMEDIATYPE>},
      {DB_ID_PIXELFLAVOR, DB_BIN_BITONAL_FRONT, Is<CPIXELFLAVOR>},
      {DB_ID_PIXELFLAVORCODES, DB_BIN_BITONAL_FRONT, Is<CPIXELFLAVORCODES>},
      {DB_ID_XRESOLUTION, DB_BIN_COLOR_REAR, Is<CXRESOLUTION>},
  };
  for (const auto& row : arow) EXPECT_TRUE(row.is(At(0, row.edbid, row.edbbin))) << row.edbid;
}

// Every walk stops at the first record without a value or a name; texts are
// read within their fields, kinds compared whole.
TEST_F(DbColourRulesTest, ListsAreReadWithinTheirRecords) {
  DbEcdoRecord adbecdorecord[6] = {Record(2, "(none)"),
                                   Record(3, std::string(256, 'x'), "pmcdox"),
                                   Record(4, "red", std::string("pmcdo") + std::string(59, 'y')),
                                   Record(5, "green", "pmcdo"),
                                   Record(0, "blue", "pmcdo"),
                                   Record(6, "beyond", "normalformdata")};
  const DbEcdoList dbecdolist = {adbecdorecord, 6};
  EXPECT_EQ(CEcdoLists::Find(dbecdolist, 5), &adbecdorecord[3]);
  EXPECT_EQ(CEcdoLists::Find(dbecdolist, 6), nullptr);
  EXPECT_FALSE(CEcdoLists::IsKind(adbecdorecord[1], "pmcdo"));
  EXPECT_FALSE(CEcdoLists::IsKind(adbecdorecord[2], "pmcdo"));
  EXPECT_TRUE(CEcdoLists::IsKind(adbecdorecord[3], "pmcdo"));
  EXPECT_FALSE(CEcdoLists::AnyOfKind(dbecdolist, "normalformdata"));
  char szName[sizeof DbEcdoRecord::szName];
  ASSERT_TRUE(CEcdoLists::NameOf(dbecdolist, 3, false, szName));
  EXPECT_EQ(std::string(szName), std::string(255, 'x'));
  ASSERT_TRUE(CEcdoLists::NameOf(dbecdolist, 4, true, szName));
  EXPECT_STREQ(szName, "redfb");
  EXPECT_FALSE(CEcdoLists::NameOf(dbecdolist, 7, false, szName));
  // The record after the long name is untouched by every read.
  EXPECT_STREQ(adbecdorecord[2].szName, "red");
  // Without a first name the list is empty.
  adbecdorecord[0].szName[0] = '\0';
  EXPECT_FALSE(CEcdoLists::NameOf(dbecdolist, 4, false, szName));
}

TEST_F(DbColourRulesTest, NumberingStopsAtAnEmptyNameOrTheLastValue) {
  DbEcdoRecord adbecdorecord[6] = {Record(2, "(none)"), Record(0, "a"), Record(0, "b"),
                                   Record(9, ""),       Record(0, "c"), Record(7, "d")};
  const DbEcdoList dbecdolist = {adbecdorecord, 6};
  CEcdoLists::Number(dbecdolist, 62);
  const uint32_t au32Stopped[] = {2, 3, 4, 0, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(adbecdorecord[i].u32Value, au32Stopped[i]) << i;
  adbecdorecord[3] = Record(0, "e");
  CEcdoLists::Number(dbecdolist, 5);
  const uint32_t au32Capped[] = {2, 3, 4, 5, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(adbecdorecord[i].u32Value, au32Capped[i]) << i;
  CEcdoLists::Terminate(dbecdolist);
  EXPECT_EQ(adbecdorecord[1].szName[sizeof DbEcdoRecord::szName - 1], '\0');
}

// Closing an interface and opening another in the same process builds a new
// database: its lists are numbered afresh, whatever the one before did.
TEST_F(DbColourRulesTest, EachDatabaseKeepsItsOwnDropoutState) {
  for (int iOpening = 0; iOpening < 2; ++iOpening) {
    OpenScanner();
    EXPECT_FALSE(m_pdatabase->GetEcdoCache()->blLoaded) << iOpening;
    DbEcdoRecord* adbecdorecord = m_pdatabase->DeviceGetEcdoHeader()->adbecdorecord;
    adbecdorecord[0] = Record(2, "(none)");
    adbecdorecord[1] = Record(0, "red");
    adbecdorecord[2] = Record(0, "green");
    LoadEcdo(dynamic_cast<CDbEnum*>(At(0, DB_ID_ECDO, DB_BIN_BITONAL_FRONT)));
    EXPECT_TRUE(m_pdatabase->GetEcdoCache()->blLoaded);
    EXPECT_EQ(adbecdorecord[2].u32Value, 4u) << iOpening;
  }
}

// The scanner's names become the lexicon of its dropouts: a task or profile
// naming "green" finds the value the scanner numbered.
TEST_F(DbColourRulesTest, DropoutsAreNamedAsTheScannerNamesThem) {
  OpenScanner();
  DbEcdoRecord* adbecdorecord = m_pdatabase->DeviceGetEcdoHeader()->adbecdorecord;
  adbecdorecord[0] = Record(2, "(none)");
  adbecdorecord[1] = Record(0, "red");
  adbecdorecord[2] = Record(0, "green");
  m_pdatabase->FixDefaultAll();
  DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(DB_ID_ECDO);
  const DbLookupEnum* pdblookupenum = m_pdatabase->LookupLexiconEnum(pdblookup2, "green");
  ASSERT_NE(pdblookupenum, nullptr);
  EXPECT_EQ(pdblookupenum->lValue, 4);
  EXPECT_STREQ(pdblookupenum->szLabel, "Label of green");
  auto* pdbenum = dynamic_cast<CDbEnum*>(At(0, DB_ID_ECDO, DB_BIN_BITONAL_FRONT));
  ASSERT_NE(pdbenum, nullptr);
  EXPECT_EQ(pdbenum->GetCurrentItemCount(), 3);
}

// The records and their values are read-only between the writes of the
// labels and of the rules, which go through the lookup.
TEST_F(DbColourRulesDeathTest, LookupValuesAreWrittenOnlyThroughTheLookup) {
  DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(DB_ID_COLORTABLE);
  ASSERT_NE(pdblookup2, nullptr);
  EXPECT_DEATH(pdblookup2->pEnums[0].szLabel = "stray", "");
  EXPECT_DEATH(pdblookup2->szLabel = "stray", "");
  static const char s_szLabel[] = "Warm";
  const DbLookupEnumTexts dblookupenumtexts[] = {{DB_ID_COLORTABLE_ENUM_FILE10, nullptr, s_szLabel},
                                                  {999, "none", "none"}};
  EXPECT_EQ(m_pdatabase->LookupRepointEnums(pdblookup2, dblookupenumtexts, 2), 1);
  EXPECT_STREQ(m_pdatabase->LookupDbEnum(pdblookup2, DB_ID_COLORTABLE_ENUM_FILE10)->szLabel, s_szLabel);
  EXPECT_STREQ(m_pdatabase->LookupDbEnum(pdblookup2, DB_ID_COLORTABLE_ENUM_FILE10)->szLexiconEnum, "file10");
  EXPECT_DEATH(pdblookup2->pEnums[0].szLabel = "stray", "");
}

// A rule object of a bin that is no camera logs and leaves its access; an
// unexpected compression of a bitonal camera leaves the group 4 codes as
// they were.
TEST_F(DbColourRulesTest, UnexpectedBinsAndCompressionsLeaveTheAccess) {
  const struct {
    EDBID edbid;
    const char* szLine;
  } arow[] = {{DB_ID_ECDO, "Unrecognized edbbin...1"},       {DB_ID_ECDOCUSTOM, "Unrecognized edbbin...1"},
              {DB_ID_COLORBALANCERED, "Unrecognized edbbin...1"}, {DB_ID_CONTRAST, "Unknown bin ...1"},
              {DB_ID_PIXELFLAVORCODES, "Invalid bin...1"}};
  for (const auto& row : arow) {
    CDbDatum* pdbdatum = At(0, row.edbid, DB_BIN_BITONAL_FRONT);
    const EDBACCESS edbaccess = pdbdatum->GetAccess();
    pdbdatum->SetBin(DB_BIN_MACHINE);
    dbcontainer::ByContainer(pdbdatum, [](auto* a_pcontainer) { a_pcontainer->FixAccess(); });
    pdbdatum->SetBin(DB_BIN_BITONAL_FRONT);
    EXPECT_EQ(pdbdatum->GetAccess(), edbaccess) << row.edbid;
    EXPECT_TRUE(m_plog->Contains(row.szLine)) << row.szLine;
  }
  At(0, DB_ID_COMPRESSION, DB_BIN_BITONAL_FRONT)->SetCurrentLong(DB_ID_COMPRESSION_ENUM_PACKBITS);
  auto* pdbenumCodes = dynamic_cast<CDbEnum*>(At(0, DB_ID_PIXELFLAVORCODES, DB_BIN_BITONAL_FRONT));
  ASSERT_NE(pdbenumCodes, nullptr);
  pdbenumCodes->SetAccess(DB_ACCESS_READWRITE);
  EXPECT_EQ(pdbenumCodes->FixAccess(), OS_STS_FAIL);
  EXPECT_EQ(pdbenumCodes->GetAccess(), DB_ACCESS_READWRITE);
  EXPECT_TRUE(m_plog->Contains("bad compression...2"));
}
