// The image-address rules in the library itself (their behaviour against the
// model is the rules harness's, tests/tools/rulesmodel): the object and its
// implementation, what they answer for values they do not rule or cannot
// rule, the indexing formats a model offers, the wipe of a write sequence of
// any size, the rebuilt starting address kept within its size, and the
// catalogue's classes.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "../../os/log_capture.h"
#include "../mem_lines.h"
#include "db_cdbconfig.h"
#include "db_cdbia.h"
#include "db_cdbresource.h"
#include "db_cindexing.h"
#include "db_cprinter.h"
#include "db_rules_fixture.h"

namespace {

// The records of the rules fixture's resource on the machine bin, as a load
// of that resource sets them (the library's own resource lacks them).
EOSSTS InitMachineRecord(const DbResourceRecord* a_pdbresourcerecord, void* a_pvUser) {
  auto* pdatabase = static_cast<CDatabase*>(a_pvUser);
  const DbResourceRecord& record = *a_pdbresourcerecord;
  for (long l = 0; l < record.lBins; ++l) {
    const DbResourceBin& bin = record.adbresourcebin[l];
    CDbDatum* pdbdatum = bin.edbbin == DB_BIN_MACHINE ? pdatabase->FindDirect(DB_BIN_MACHINE, record.edbid) : nullptr;
    const auto edbaccess = static_cast<EDBACCESS>(bin.lAccess);
    const auto edbdevicedata = static_cast<EDBDEVICEDATA>(record.lDeviceData);
    if (auto* pdbenum = record.cKind == 'E' ? dynamic_cast<CDbEnum*>(pdbdatum) : nullptr) {
      pdbenum->InitEnumLong(record.edbid, DB_BIN_MACHINE, edbaccess, edbdevicedata, bin.lDefault, bin.lDefault);
      for (long lItem = 0; lItem < bin.lItems; ++lItem) {
        pdbenum->AddDefaultItem(bin.alItems[lItem]);
        pdbenum->AddCurrentItem(bin.alItems[lItem]);
      }
    } else if (auto* pdbrange = record.cKind == 'R' ? dynamic_cast<CDbRange*>(pdbdatum) : nullptr) {
      pdbrange->InitRangeLong(record.edbid, DB_BIN_MACHINE, edbaccess, edbdevicedata, bin.lDefault, bin.lMin, bin.lMax,
                              bin.lStep, bin.lDefault, bin.lMin, bin.lMax, bin.lStep);
    } else if (auto* pdbstring = record.cKind == 'S' ? dynamic_cast<CDbString*>(pdbdatum) : nullptr) {
      pdbstring->InitString(record.edbid, DB_BIN_MACHINE, edbaccess, edbdevicedata, static_cast<size_t>(bin.lDefault),
                            bin.szText, bin.szText, "", "");
    }
  }
  return OS_STS_SUCCESS;
}

// The mapleB feeder (it offers indexing, "ia") with the machine records of
// the rules fixture, whose resource holds every indexing capability.
class DbIaTest : public dbtest::DbRulesFixture {
 protected:
  void SetUp() override {
    dbtest::DbRulesFixture::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(LoadFixtureRecords());
    m_pdatabase->FixDefaultAll();
  }

  bool LoadFixtureRecords() {
    std::ifstream ifstreamResource(SCANDRV_RULES_FIXTURE_DIR "/compiled/database.edres", std::ios::binary);
    const std::string strResource{std::istreambuf_iterator<char>(ifstreamResource), std::istreambuf_iterator<char>()};
    CDbResource dbresource;
    m_pdatabase->SetDbState(DB_STATE_LOADING);
    const EOSSTS eossts =
        dbresource.ReadDatabase(strResource.data(), strResource.size(), InitMachineRecord, m_pdatabase.get());
    m_pdatabase->ClearDbState(DB_STATE_LOADING);
    return !strResource.empty() && eossts == OS_STS_SUCCESS;
  }

  CDbDatum* Machine(EDBID a_edbid) { return At(0, a_edbid, DB_BIN_MACHINE); }

  EDBSTS SetText(EDBID a_edbid, const char* a_szText) {
    return m_pdatabase->SetCurrentString(Machine(a_edbid), a_szText);
  }

  std::string Text(EDBID a_edbid) { return Machine(a_edbid)->GetCurrentStringNoCallback(); }

  size_t CountInLog(const std::string& a_strLine) {
    const std::string strLog = m_plog->Text();
    size_t sizetCount = 0;
    for (size_t sizet = strLog.find(a_strLine); sizet != std::string::npos; sizet = strLog.find(a_strLine, sizet + 1))
      ++sizetCount;
    return sizetCount;
  }
};

bool AlwaysFails() { return true; }

}  // namespace

TEST(DbIa, MakesAndDeletesItsImplementation) {
  testsupport::LogCapture log(1);
  CDbIa* pdbia = new CDbIa(nullptr);
  EXPECT_TRUE(log.Contains("new CDbIaImpl"));
  delete pdbia;
  dbtest::ExpectMemoryLinesPaired(log.Text());
}

// An implementation that could not be made leaves an object that answers 1
// to everything, each time in the log, and writes nothing.
TEST(DbIa, WithoutItsImplementationEveryOperationAnswersOne) {
  testsupport::LogCapture log(1);
  CDbIa::SetAllocationSeam(AlwaysFails);
  CDbIa dbia(nullptr);
  CDbIa::SetAllocationSeam(nullptr);
  EXPECT_TRUE(log.Contains("OsMemNew failed..."));
  CDbEnum dbenum;
  EXPECT_EQ(dbia.FixDefault(&dbenum), OS_STS_FAIL);
  EXPECT_EQ(dbia.FixAccess(&dbenum), OS_STS_FAIL);
  EXPECT_EQ(dbia.FixCurrent(&dbenum), OS_STS_FAIL);
  EXPECT_EQ(dbia.Validate(&dbenum, 0, 2L), OS_STS_FAIL);
  EXPECT_EQ(dbia.Validate(&dbenum, 0, "A"), OS_STS_FAIL);
  dbia.MakeXml(&dbenum, 2, DB_DEVICEDATA_BOTH);
  const std::string strLog = log.Text();
  size_t sizetCount = 0;
  for (size_t sizet = strLog.find("m_pdbiaimpl is null..."); sizet != std::string::npos;
       sizet = strLog.find("m_pdbiaimpl is null...", sizet + 1))
    ++sizetCount;
  EXPECT_EQ(sizetCount, 6u);
}

// In a database, such an object leaves the indexing capabilities as their
// records have them and disturbs nothing else.
TEST_F(DbIaTest, WithoutItsImplementationTheOtherRulesGoOn) {
  m_pdatabase->ConfigEnumDelete("indexingformat", "none", DB_CONFIGTARGET_COMMON);
  m_pdatabase->FixDefaultAll();
  ASSERT_EQ(m_pdatabase->GetDbIa(), nullptr);
  EXPECT_EQ(Machine(DB_ID_BATCHLEVEL)->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  m_pdatabase->ConfigEnumAdd("indexingformat", "none", DB_CONFIGTARGET_COMMON);
  ASSERT_TRUE(LoadFixtureRecords());
  CDbIa::SetAllocationSeam(AlwaysFails);
  m_pdatabase->FixDefaultAll();
  CDbIa::SetAllocationSeam(nullptr);
  ASSERT_NE(m_pdatabase->GetDbIa(), nullptr);
  EXPECT_GT(CountInLog("m_pdbiaimpl is null..."), 0u);
  EXPECT_EQ(Machine(DB_ID_BATCHLEVEL)->GetAccess(), DB_ACCESS_READWRITE);
  EXPECT_EQ(Set(0, DB_ID_BATCHLEVEL, DB_BIN_MACHINE, 2), static_cast<EDBSTS>(OS_STS_FAIL));
  EXPECT_EQ(Value(0, DB_ID_BATCHLEVEL, DB_BIN_MACHINE), 1);
  EXPECT_EQ(Set(0, DB_ID_SUPPORTEDSIZES, DB_BIN_MACHINE, DB_ID_SUPPORTEDSIZES_ENUM_A4), DB_STS_SUCCESS);
  EXPECT_EQ(Value(0, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT), 9912);
}

// A value the rules do not rule: 1, logged, nothing written or changed.
TEST_F(DbIaTest, AnIdItDoesNotRuleIsRefused) {
  CDbIa* pdbia = m_pdatabase->GetDbIa();
  ASSERT_NE(pdbia, nullptr);
  CDbDatum* pdbdatum = At(0, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT);
  const EDBACCESS edbaccess = pdbdatum->GetAccess();
  EXPECT_EQ(pdbia->FixAccess(pdbdatum), OS_STS_FAIL);
  EXPECT_EQ(pdbia->Validate(pdbdatum, 0, 1200L), OS_STS_FAIL);
  EXPECT_EQ(pdbia->Validate(Machine(DB_ID_PRINTERWRITESEQUENCESTRING), 0, "A"), OS_STS_FAIL);
  pdbia->MakeXml(pdbdatum, 1200, DB_DEVICEDATA_BOTH);
  Machine(DB_ID_PAPERSOURCE)->SetModified();
  m_pdatabase->SetDbState(DB_STATE_FIXUP);
  EXPECT_EQ(pdbia->FixCurrent(pdbdatum), OS_STS_FAIL);
  m_pdatabase->ClearDbState(DB_STATE_FIXUP);
  CDbDatum::ClearModified();
  EXPECT_EQ(pdbdatum->GetAccess(), edbaccess);
  EXPECT_EQ(CountInLog("Unrecognized edbid...99"), 4u);
  EXPECT_EQ(CountInLog("Unrecognized edbid...220"), 1u);
}

// A patch head takes off and on only; another value is refused whatever
// the list offers.
TEST_F(DbIaTest, APatchHeadOfAnotherValueIsRefused) {
  ASSERT_EQ(Set(0, DB_ID_PATCHCODEDETECTIONENABLED, DB_BIN_MACHINE, 2), DB_STS_SUCCESS);
  auto* pdbenum = dynamic_cast<CDbEnum*>(Machine(DB_ID_PATCHHEAD2));
  ASSERT_NE(pdbenum, nullptr);
  ASSERT_EQ(pdbenum->AddCurrentItem(3), OS_STS_SUCCESS);
  EXPECT_EQ(Set(0, DB_ID_PATCHHEAD2, DB_BIN_MACHINE, 3), static_cast<EDBSTS>(DB_EOSSTS_REFUSED));
  EXPECT_TRUE(m_plog->Contains("Unrecognized patchhead...3"));
  EXPECT_EQ(Value(0, DB_ID_PATCHHEAD2, DB_BIN_MACHINE), 1);
}

// Every format the model does not offer goes, each one looked at, however
// many follow one another; when the last one left is not offered either,
// the capability goes.
TEST_F(DbIaTest, TheIndexingFormatsAreThoseTheModelOffers) {
  auto* pdbenum = dynamic_cast<CDbEnum*>(Machine(DB_ID_INDEXINGFORMAT));
  ASSERT_NE(pdbenum, nullptr);
  ASSERT_EQ(pdbenum->GetDefaultItemCount(), 2);
  EXPECT_EQ(pdbenum->GetDefaultItem(0), DB_ID_INDEXINGFORMAT_ENUM_NONE);
  EXPECT_EQ(pdbenum->GetDefaultItem(1), DB_ID_INDEXINGFORMAT_ENUM_IMAGEADDRESS);
  EXPECT_EQ(pdbenum->GetCurrentItemCount(), 2);

  pdbenum->DeleteAllDefaultItems();
  for (long lItem : {4L, 3L, 2L, 5L, 1L}) pdbenum->AddDefaultItem(lItem);
  pdbenum->SetDefaultLong(3);
  m_pdatabase->FixDefaultAll();
  ASSERT_EQ(pdbenum->GetDefaultItemCount(), 2);
  EXPECT_EQ(pdbenum->GetDefaultItem(0), DB_ID_INDEXINGFORMAT_ENUM_IMAGEADDRESS);
  EXPECT_EQ(pdbenum->GetDefaultItem(1), DB_ID_INDEXINGFORMAT_ENUM_NONE);
  EXPECT_EQ(pdbenum->GetCurrentLongNoCallback(), DB_ID_INDEXINGFORMAT_ENUM_IMAGEADDRESS);

  pdbenum->DeleteAllDefaultItems();
  for (long lItem : {2L, 3L}) pdbenum->AddDefaultItem(lItem);
  m_pdatabase->FixDefaultAll();
  EXPECT_EQ(pdbenum->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  EXPECT_TRUE(m_plog->Contains("rules>>> no indexing format offered, not supported...3"));
}

// A write sequence that prints a field no longer in use is wiped to as
// many "Z" as it may hold, whatever its size, within the text buffer.
TEST_F(DbIaTest, AWriteSequenceIsWipedToItsSize) {
  CDbDatum* pdbdatum = Machine(DB_ID_PRINTERWRITESEQUENCESTRING);
  ASSERT_NE(dynamic_cast<CPRINTERWRITESEQUENCESTRING*>(pdbdatum), nullptr);
  // The write sequence is the imprinter's, to be set while it prints.
  m_pdatabase->ConfigAdd("printer", DB_CONFIGTARGET_COMMON);
  m_pdatabase->FixDefaultAll();
  ASSERT_EQ(Set(0, DB_ID_PRINTERENABLED, DB_BIN_MACHINE, DB_ID_PRINTERENABLED_ENUM_TRUE), DB_STS_SUCCESS);
  for (size_t sizetMax : {160u, 191u, 192u, 400u, 1023u, 1024u, 5000u}) {
    pdbdatum->SetSizetMaxString(sizetMax);
    ASSERT_EQ(Set(0, DB_ID_IMAGEADDRESSTEMPLATES, DB_BIN_MACHINE, DB_ID_IMAGEADDRESSTEMPLATES_ENUM_1), DB_STS_SUCCESS);
    ASSERT_EQ(SetText(DB_ID_PRINTERWRITESEQUENCESTRING, "12d"), DB_STS_SUCCESS);
    ASSERT_EQ(Set(0, DB_ID_IMAGEADDRESSTEMPLATES, DB_BIN_MACHINE, DB_ID_IMAGEADDRESSTEMPLATES_ENUM_2), DB_STS_SUCCESS);
    EXPECT_EQ(Text(DB_ID_PRINTERWRITESEQUENCESTRING), std::string(std::min<size_t>(sizetMax, 1023), 'Z')) << sizetMax;
  }
  EXPECT_FALSE(m_plog->Contains("String buffer not big enough"));
}

// The starting address rebuilt from a long scanner address keeps the
// address's size (30 here), logged; a character is never cut in two.
TEST_F(DbIaTest, TheRebuiltAddressKeepsItsSize) {
  ASSERT_EQ(Set(0, DB_ID_IMAGEADDRESSTEMPLATES, DB_BIN_MACHINE, DB_ID_IMAGEADDRESSTEMPLATES_ENUM_1), DB_STS_SUCCESS);
  ASSERT_EQ(Machine(DB_ID_IMAGEADDRESS)->GetSizetMaxString(), 30u);
  const struct {
    std::string strScanner;
    std::string strAddress;
  } acase[] = {{std::string(300, '7'), std::string(30, '7')},
               {std::string(29, 'X') + ".0005", std::string(29, 'X')},
               {std::string(14, 'X') + ".00" + std::string(20, '9'), std::string(14, 'X') + "." + std::string(15, '9')},
               {[] {
                  std::string str;
                  for (int i = 0; i < 40; ++i) str += "\xC3\xA4";
                  return str;
                }(),
                [] {
                  std::string str;
                  for (int i = 0; i < 30; ++i) str += "\xC3\xA4";
                  return str;
                }()}};
  for (const auto& c : acase) {
    ASSERT_EQ(SetText(DB_ID_IMAGEADDRESSSCANNER, c.strScanner.c_str()), DB_STS_SUCCESS);
    EXPECT_EQ(Text(DB_ID_IMAGEADDRESS), c.strAddress) << c.strScanner;
  }
  EXPECT_EQ(CountInLog("rules>>> the scanner's image address is longer than 30 characters, cut..."), 4u);
}

// Bad texts for the starting address and a field's pattern (template "1"):
// each answers its status, logs its line once, records its token (or, for
// a value that may not be modified or no text at all, none) and stores
// nothing.
TEST_F(DbIaTest, BadTextsAreRefusedWithTheirTokens) {
  m_pdatabase->UpdateLabels();
  ASSERT_EQ(Set(0, DB_ID_IMAGEADDRESSTEMPLATES, DB_BIN_MACHINE, DB_ID_IMAGEADDRESSTEMPLATES_ENUM_1), DB_STS_SUCCESS);
  const std::string strLong(1023, 'F');
  const struct {
    EDBID edbid;
    const char* szText;
    EDBSTS edbsts;
    const char* szLine;
    const char* szLabel;  // null: the last error stays as it was
  } acase[] = {
      {DB_ID_IMAGEADDRESS, nullptr, DB_STS_BADVALUE, "a_szValue is null...", nullptr},
      {DB_ID_IMAGEADDRESS_B, nullptr, DB_STS_BADVALUE, "a_szValue is null...", nullptr},
      {DB_ID_IMAGEADDRESS, strLong.c_str(), DB_STS_BADVALUE, "Length would exceed maximum allowed by template.",
       "A part of the image address is longer than its template field."},
      {DB_ID_IMAGEADDRESS_A, strLong.c_str(), DB_STS_BADVALUE, "The field limit is 9 characters (FFFFFFFFFF",
       "The field is too long."},
      {DB_ID_IMAGEADDRESS, "A\xFF", DB_STS_BADVALUE, "Values for this field must be printable characters.",
       "This part of the image address may hold printable characters only."},
      {DB_ID_IMAGEADDRESS, "\x80.1", DB_STS_BADVALUE, "Values for this field must be printable characters.",
       "This part of the image address may hold printable characters only."},
      {DB_ID_IMAGEADDRESS, "\xC3\xA9\xE2\x82\xAC", DB_STS_BADVALUE,
       "Values for this field must be printable characters.",
       "This part of the image address may hold printable characters only."},
      {DB_ID_IMAGEADDRESS, "A.\xE2\x82", DB_STS_BADVALUE, "Values for this field must be numeric.",
       "This part of the image address may hold digits only."},
      {DB_ID_IMAGEADDRESS, "....", DB_STS_BADVALUE, "All available fields already in use",
       "The image address has more parts than the template has fields."},
      {DB_ID_IMAGEADDRESS_C, "2\xC3\xA9", DB_STS_BADVALUE, "1, 2, 3 or F are the only valid entries",
       "Use only 1, 2, 3 or F."},
  };
  for (const auto& c : acase) {
    const std::string strBefore = Text(c.edbid);
    const std::string strError = m_pdatabase->GetLastImageAddressError();
    const size_t sizetLines = CountInLog(c.szLine);
    EXPECT_EQ(SetText(c.edbid, c.szText), c.edbsts) << c.szLine;
    EXPECT_EQ(CountInLog(c.szLine), sizetLines + 1) << c.szLine;
    EXPECT_EQ(m_pdatabase->GetLastImageAddressError(), std::string(c.szLabel ? c.szLabel : strError.c_str()))
        << c.szLine;
    EXPECT_EQ(Text(c.edbid), strBefore) << c.szLine;
  }
  // A pattern or an address that may not be modified: 14, no token.
  const std::string strError = m_pdatabase->GetLastImageAddressError();
  Machine(DB_ID_IMAGEADDRESS_D)->SetAccess(DB_ACCESS_READONLY);
  EXPECT_EQ(SetText(DB_ID_IMAGEADDRESS_D, "FFFFFFFFFFFF"), static_cast<EDBSTS>(DB_EOSSTS_NOTMODIFIABLE));
  EXPECT_TRUE(m_plog->Contains("rules>>> image-address text not modifiable...115"));
  EXPECT_EQ(Text(DB_ID_IMAGEADDRESS_D), "111111");
  Machine(DB_ID_IMAGEADDRESS)->SetAccess(DB_ACCESS_DISABLED);
  EXPECT_EQ(SetText(DB_ID_IMAGEADDRESS, "B.2.3.4"), static_cast<EDBSTS>(DB_EOSSTS_NOTMODIFIABLE));
  EXPECT_TRUE(m_plog->Contains("rules>>> image-address text not modifiable...108"));
  EXPECT_EQ(Text(DB_ID_IMAGEADDRESS), "A.1.0.0");
  EXPECT_EQ(m_pdatabase->GetLastImageAddressError(), strError);
}

// An empty field of the starting address, first or between others, stands
// for zeros as wide as its template field: accepted and stored as given,
// with no error token.
TEST_F(DbIaTest, AnEmptyAddressFieldIsAccepted) {
  ASSERT_EQ(Set(0, DB_ID_IMAGEADDRESSTEMPLATES, DB_BIN_MACHINE, DB_ID_IMAGEADDRESSTEMPLATES_ENUM_1), DB_STS_SUCCESS);
  for (const char* szAddress : {"5..7", ".5.7", "5...", "..."}) {
    const std::string strError = m_pdatabase->GetLastImageAddressError();
    EXPECT_EQ(SetText(DB_ID_IMAGEADDRESS, szAddress), DB_STS_SUCCESS) << szAddress;
    EXPECT_EQ(Text(DB_ID_IMAGEADDRESS), szAddress);
    EXPECT_EQ(m_pdatabase->GetLastImageAddressError(), strError) << szAddress;
  }
  EXPECT_EQ(CountInLog("Length would exceed maximum allowed by template."), 0u);
}

// The lines of the write sequence: a quarter of its maximum length in codes
// a line, the printer taking a quarter of that maximum in characters from
// 80 to 249 and all of it otherwise; the field's code prints the proposed
// pattern, another field's code that field's pattern, either in either
// case. Without an imprinter only the field's own code prints (and the
// simulation is asked once a check, not once a code); without a write
// sequence there is nothing to measure.
TEST_F(DbIaTest, APatternIsMeasuredOnThePrintersLines) {
  m_pdatabase->UpdateLabels();
  // The write sequence is the imprinter's, to be set while it prints.
  m_pdatabase->ConfigAdd("printer", DB_CONFIGTARGET_COMMON);
  m_pdatabase->FixDefaultAll();
  ASSERT_EQ(Set(0, DB_ID_PRINTERENABLED, DB_BIN_MACHINE, DB_ID_PRINTERENABLED_ENUM_TRUE), DB_STS_SUCCESS);
  ASSERT_EQ(Set(0, DB_ID_IMAGEADDRESSTEMPLATES, DB_BIN_MACHINE, DB_ID_IMAGEADDRESSTEMPLATES_ENUM_1), DB_STS_SUCCESS);
  CDbDatum* pdbdatumSequence = Machine(DB_ID_PRINTERWRITESEQUENCESTRING);
  const struct {
    size_t sizetMax;
    const char* szSequence;
    const char* szPattern;
    bool blAccepted;
  } acase[] = {
      {160, "AAAAA", "FFFFFFFF", true},  {160, "AAAAA", "FFFFFFFFF", false}, {160, "aaaaa", "FFFFFFFFF", false},
      {79, "AAAAA", "FFFFFFFFF", true},  {249, "AAAAAAA", "FFFFFFFFF", false}, {250, "AAAAAAA", "FFFFFFFFF", true},
      {3, "A", "FFF", true},             {3, "A", "FFFF", false},              {0, "A", "F", false},
      {160, "BBBBBBa", "FFFF", true},    {160, "bbbbbbA", "FFFFF", false},
  };
  for (const auto& c : acase) {
    pdbdatumSequence->SetSizetMaxString(1000);
    ASSERT_EQ(SetText(DB_ID_PRINTERWRITESEQUENCESTRING, c.szSequence), DB_STS_SUCCESS);
    pdbdatumSequence->SetSizetMaxString(c.sizetMax);
    ASSERT_EQ(SetText(DB_ID_IMAGEADDRESS_A, "F"), c.sizetMax == 0 ? DB_STS_BADVALUE : DB_STS_SUCCESS) << c.sizetMax;
    EXPECT_EQ(SetText(DB_ID_IMAGEADDRESS_A, c.szPattern), c.blAccepted ? DB_STS_SUCCESS : DB_STS_BADVALUE)
        << c.sizetMax << " " << c.szSequence << " " << c.szPattern;
    if (!c.blAccepted) {
      EXPECT_EQ(m_pdatabase->GetLastImageAddressError(),
                std::string("This would make a printed line longer than the printer allows."));
    }
  }
  EXPECT_TRUE(m_plog->Contains("This would exceed the maximum allowed number of characters for printer string 40."));
  // The fields B already overfill the first line: the printer's own check
  // would refuse the sequence, which comes as a profile gives it.
  pdbdatumSequence->SetSizetMaxString(160);
  m_pdatabase->SetDbState(DB_STATE_LOADING);
  ASSERT_EQ(SetText(DB_ID_PRINTERWRITESEQUENCESTRING, "BBBBBBBBBA"), DB_STS_SUCCESS);
  m_pdatabase->ClearDbState(DB_STATE_LOADING);
  EXPECT_EQ(SetText(DB_ID_IMAGEADDRESS_A, "F"), DB_STS_BADVALUE);
  m_pdatabase->ConfigDelete("printer", DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(SetText(DB_ID_IMAGEADDRESS_A, "F"), DB_STS_SUCCESS);
  EXPECT_EQ(CountInLog("Printer is not supported"), 1u);
  m_pdatabase->ConfigAdd("printer", DB_CONFIGTARGET_COMMON);
  ASSERT_EQ(SetText(DB_ID_PRINTERWRITESEQUENCESTRING, "AAAAA"), DB_STS_SUCCESS);
  pdbdatumSequence->SetAccess(DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(SetText(DB_ID_IMAGEADDRESS_A, "FFFFFFFFF"), DB_STS_SUCCESS);
}

// The catalogue makes the rule classes in window 0, bin 1.
TEST_F(DbIaTest, TheCatalogueMakesTheIndexingClasses) {
#define DB_INDEXING_MADE(NAME, CONTAINER) \
  EXPECT_NE(dynamic_cast<C##NAME*>(Machine(DB_ID_##NAME)), nullptr) << #NAME;
  DB_INDEXING_CLASSES(DB_INDEXING_MADE)
#undef DB_INDEXING_MADE
  EXPECT_NE(dynamic_cast<CCHECKDIGIT*>(Machine(DB_ID_CHECKDIGIT)), nullptr);
  EXPECT_NE(dynamic_cast<CTOGGLEPATCH*>(Machine(DB_ID_TOGGLEPATCH)), nullptr);
}
