// The printer rules in the library itself (their behaviour against the model
// is the rules harness's, tests/tools/rulesmodel; the dates and times
// against Python's calendar are tests/tools/check_printer_texts.py): the
// catalogue makes the 32 classes, dates and times are judged byte by byte,
// configured ranges upside down or by half are not offered, and the
// counter's sign counts among its digits.
#include "db_cprinter.h"

#include <string>
#include <typeinfo>

#include "db_cdblookup.h"
#include "db_cprinter_kit.h"
#include "db_rules_fixture.h"
#include "os_coscfgtags.h"

namespace {

// The printer capabilities by container, in id order.
constexpr EDBID s_aedbidEnums[] = {DB_ID_CARTRIDGEDETECTED,
                                   DB_ID_PRINTER,
                                   DB_ID_PRINTERDATEDELIMITER,
                                   DB_ID_PRINTERDATEFORMAT,
                                   DB_ID_PRINTERENABLED,
                                   DB_ID_PRINTERFONT,
                                   DB_ID_PRINTERFONTFORMAT,
                                   DB_ID_PRINTERIMAGEADDRESSFORMAT,
                                   DB_ID_PRINTERIMAGEADDRESSLEVEL,
                                   DB_ID_PRINTERINDEXFORMAT,
                                   DB_ID_PRINTERINDEXINCREMENT,
                                   DB_ID_PRINTERINDEXRESET,
                                   DB_ID_PRINTERTEST,
                                   DB_ID_PRINTERTIMEFORMAT,
                                   DB_ID_PRINTERWRITESEQUENCE,
                                   DB_ID_PRINTONIMAGEFRONT,
                                   DB_ID_PRINTONIMAGEREAR};
constexpr EDBID s_aedbidRanges[] = {DB_ID_PRINTERINDEX,    DB_ID_PRINTERINDEXDIGITS,    DB_ID_PRINTERINDEXRESETVALUE,
                                    DB_ID_PRINTERPOSITION, DB_ID_PRINTONIMAGEPOSITIONX, DB_ID_PRINTONIMAGEPOSITIONY};
constexpr EDBID s_aedbidStrings[] = {DB_ID_PRINTERDATE,
                                     DB_ID_PRINTERTIME,
                                     DB_ID_PRINTERWRITESEQUENCEMESSAGE1,
                                     DB_ID_PRINTERWRITESEQUENCEMESSAGE2,
                                     DB_ID_PRINTERWRITESEQUENCEMESSAGE3,
                                     DB_ID_PRINTERWRITESEQUENCEMESSAGE4,
                                     DB_ID_PRINTERWRITESEQUENCEMESSAGE5,
                                     DB_ID_PRINTERWRITESEQUENCEMESSAGE6,
                                     DB_ID_PRINTERWRITESEQUENCESTRING};

// The opened mapleB feeder, its printer values given records like the rules
// fixture's (the shipped resource holds the counter alone), with the
// imprinter and printing onto the image configured, each with its ranges.
class DbPrinterRulesTest : public dbtest::DbRulesFixture {
 protected:
  void SetUp() override {
    DbRulesFixture::SetUp();
    if (HasFatalFailure()) return;
    m_pdatabase->UpdateLabels();
    for (EDBID edbid : s_aedbidEnums) {
      auto* pdbenum = dynamic_cast<CDbEnum*>(Machine(edbid));
      ASSERT_NE(pdbenum, nullptr) << edbid;
      pdbenum->InitEnumLong(edbid, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_ALL, 1, 1);
      const DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(edbid);
      ASSERT_NE(pdblookup2, nullptr) << edbid;
      for (long l = 0; l < pdblookup2->lEnumCount; ++l) {
        pdbenum->AddDefaultItem(pdblookup2->pEnums[l].lValue);
        pdbenum->AddCurrentItem(pdblookup2->pEnums[l].lValue);
      }
    }
    for (EDBID edbid : s_aedbidRanges) {
      auto* pdbrange = dynamic_cast<CDbRange*>(Machine(edbid));
      ASSERT_NE(pdbrange, nullptr) << edbid;
      const bool blDigits = edbid == DB_ID_PRINTERINDEXDIGITS;
      const long lMin = blDigits ? 1 : 0;
      const long lMax = blDigits ? 9 : 999999999;
      pdbrange->InitRangeLong(edbid, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_ALL, lMin, lMin, lMax, 1,
                              blDigits ? lMax : lMin, lMin, lMax, 1);
    }
    for (EDBID edbid : s_aedbidStrings) {
      auto* pdbstring = dynamic_cast<CDbString*>(Machine(edbid));
      ASSERT_NE(pdbstring, nullptr) << edbid;
      pdbstring->InitString(edbid, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_ALL, 40, "", "", "", "");
    }
    for (const char* szKey : {"printer", "printonimage"}) m_pdatabase->ConfigAdd(szKey, DB_CONFIGTARGET_COMMON);
    ConfigRange("printerposition", 240, 13200);
    ConfigRange("printonimagepositionx", 0, 9600);
    ConfigRange("printonimagepositiony", 0, 9600);
    ConfigRange("printerindexresetvalue", 0, 99999);
    m_pdatabase->FixDefaultAll();
  }

  void ConfigRange(const char* a_szKey, uint64_t a_u64Min, uint64_t a_u64Max) {
    m_pdatabase->ConfigRangeSetMin(a_szKey, a_u64Min, DB_CONFIGTARGET_COMMON);
    m_pdatabase->ConfigRangeSetMax(a_szKey, a_u64Max, DB_CONFIGTARGET_COMMON);
  }

  CDbDatum* Machine(EDBID a_edbid) { return At(0, a_edbid, DB_BIN_MACHINE); }
  EDBACCESS Access(EDBID a_edbid) { return Machine(a_edbid)->GetAccess(); }
};

}  // namespace

TEST_F(DbPrinterRulesTest, TheCatalogueMakesTheThirtyTwoClasses) {
  const struct {
    EDBID edbid;
    const std::type_info& typeinfo;
  } aclass[] = {{DB_ID_CARTRIDGEDETECTED, typeid(CCARTRIDGEDETECTED)},
                {DB_ID_PRINTER, typeid(CPRINTER)},
                {DB_ID_PRINTERDATE, typeid(CPRINTERDATE)},
                {DB_ID_PRINTERDATEDELIMITER, typeid(CPRINTERDATEDELIMITER)},
                {DB_ID_PRINTERDATEFORMAT, typeid(CPRINTERDATEFORMAT)},
                {DB_ID_PRINTERENABLED, typeid(CPRINTERENABLED)},
                {DB_ID_PRINTERFONT, typeid(CPRINTERFONT)},
                {DB_ID_PRINTERFONTFORMAT, typeid(CPRINTERFONTFORMAT)},
                {DB_ID_PRINTERIMAGEADDRESSFORMAT, typeid(CPRINTERIMAGEADDRESSFORMAT)},
                {DB_ID_PRINTERIMAGEADDRESSLEVEL, typeid(CPRINTERIMAGEADDRESSLEVEL)},
                {DB_ID_PRINTERINDEX, typeid(CPRINTERINDEX)},
                {DB_ID_PRINTERINDEXDIGITS, typeid(CPRINTERINDEXDIGITS)},
                {DB_ID_PRINTERINDEXFORMAT, typeid(CPRINTERINDEXFORMAT)},
                {DB_ID_PRINTERINDEXINCREMENT, typeid(CPRINTERINDEXINCREMENT)},
                {DB_ID_PRINTERINDEXRESET, typeid(CPRINTERINDEXRESET)},
                {DB_ID_PRINTERINDEXRESETVALUE, typeid(CPRINTERINDEXRESETVALUE)},
                {DB_ID_PRINTERMODE, typeid(CDbEnum)},
                {DB_ID_PRINTERPOSITION, typeid(CPRINTERPOSITION)},
                {DB_ID_PRINTERTEST, typeid(CPRINTERTEST)},
                {DB_ID_PRINTERTIME, typeid(CPRINTERTIME)},
                {DB_ID_PRINTERTIMEFORMAT, typeid(CPRINTERTIMEFORMAT)},
                {DB_ID_PRINTERWRITESEQUENCE, typeid(CPRINTERWRITESEQUENCE)},
                {DB_ID_PRINTERWRITESEQUENCEMESSAGE1, typeid(CPRINTERWRITESEQUENCEMESSAGE1)},
                {DB_ID_PRINTERWRITESEQUENCEMESSAGE2, typeid(CPRINTERWRITESEQUENCEMESSAGE2)},
                {DB_ID_PRINTERWRITESEQUENCEMESSAGE3, typeid(CPRINTERWRITESEQUENCEMESSAGE3)},
                {DB_ID_PRINTERWRITESEQUENCEMESSAGE4, typeid(CPRINTERWRITESEQUENCEMESSAGE4)},
                {DB_ID_PRINTERWRITESEQUENCEMESSAGE5, typeid(CPRINTERWRITESEQUENCEMESSAGE5)},
                {DB_ID_PRINTERWRITESEQUENCEMESSAGE6, typeid(CPRINTERWRITESEQUENCEMESSAGE6)},
                {DB_ID_PRINTERWRITESEQUENCESTRING, typeid(CPRINTERWRITESEQUENCESTRING)},
                {DB_ID_PRINTONIMAGEFRONT, typeid(CPRINTONIMAGEFRONT)},
                {DB_ID_PRINTONIMAGEPOSITIONX, typeid(CPRINTONIMAGEPOSITIONX)},
                {DB_ID_PRINTONIMAGEPOSITIONY, typeid(CPRINTONIMAGEPOSITIONY)},
                {DB_ID_PRINTONIMAGEREAR, typeid(CPRINTONIMAGEREAR)}};
  for (const auto& printerclass : aclass) {
    CDbDatum* pdbdatum = Machine(printerclass.edbid);
    ASSERT_NE(pdbdatum, nullptr) << printerclass.edbid;
    EXPECT_EQ(typeid(*pdbdatum), printerclass.typeinfo) << printerclass.edbid;
  }
}

// Ten bytes YYYY/MM/DD, five bytes HH:MM: a multibyte digit, a byte above
// 127 or a byte too many is refused, never read past.
TEST_F(DbPrinterRulesTest, DatesAndTimesAreJudgedByteByByte) {
  const struct {
    const char* szText;
    bool blDate;
    bool blTime;
  } atext[] = {{"", true, true},
               {"2024/02/29", true, false},
               {"2023/02/29", false, false},
               {"0000/02/29", true, false},
               {"1900/02/29", false, false},
               {"2024/13/01", false, false},
               {"2024/00/10", false, false},
               {"2024/04/31", false, false},
               {"2024-01-01", false, false},
               {"2024/1/01", false, false},
               {"2024/01/1x", false, false},
               {"2024/01/011", false, false},
               {"2024/01/0\xFF", false, false},
               {"2024/01/01\xFF", false, false},
               {"\xEF\xBC\x92\xEF\xBC\x90\xEF\xBC\x92\xEF\xBC\x94/01/01", false, false},
               {"23:59", false, true},
               {"00:00", false, true},
               {"24:00", false, false},
               {"12:60", false, false},
               {"12345", false, false},
               {"1:00", false, false},
               {"1\xEF\xBC\x9A\x30\x30", false, false},
               {"12:0\x80", false, false}};
  for (const auto& text : atext) {
    EXPECT_EQ(dbprinter::IsPrinterDate(text.szText), text.blDate) << text.szText;
    EXPECT_EQ(dbprinter::IsPrinterTime(text.szText), text.blTime) << text.szText;
  }
  EXPECT_FALSE(dbprinter::IsPrinterDate(nullptr));
  EXPECT_FALSE(dbprinter::IsPrinterTime(nullptr));

  // The rule answers 4 for a text that is no date, and the container's 4 for
  // none at all.
  auto* pdbstring = dynamic_cast<CDbString*>(Machine(DB_ID_PRINTERDATE));
  ASSERT_EQ(Set(0, DB_ID_PRINTONIMAGEFRONT, DB_BIN_MACHINE, DB_ID_PRINTONIMAGEFRONT_ENUM_TRUE), DB_STS_SUCCESS);
  ASSERT_EQ(pdbstring->GetAccess(), DB_ACCESS_READWRITE);
  EXPECT_EQ(pdbstring->Validate(0, "2024/02/29"), OS_STS_SUCCESS);
  EXPECT_EQ(pdbstring->Validate(0, "2024/02/30"), DB_EOSSTS_REFUSED);
  EXPECT_TRUE(m_plog->Contains("rules>>> 2024/02/30 is no printer date (YYYY/MM/DD)...194"));
  EXPECT_EQ(pdbstring->Validate(0, nullptr), DB_EOSSTS_REFUSED);
}

// A range the configuration gives upside down or by half is not offered,
// logged; the whole one beside them is.
TEST_F(DbPrinterRulesTest, ConfiguredRangesUpsideDownOrByHalfAreNotOffered) {
  EXPECT_EQ(Access(DB_ID_PRINTERPOSITION), DB_ACCESS_DISABLED);
  ConfigRange("printerposition", 2000, 1000);
  m_pdatabase->ConfigDelete("printonimagepositionx_rangemax", DB_CONFIGTARGET_COMMON);
  m_pdatabase->ConfigDelete("printerindexresetvalue_rangemin", DB_CONFIGTARGET_COMMON);
  m_pdatabase->FixDefaultAll();
  EXPECT_EQ(Access(DB_ID_PRINTERPOSITION), DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(Access(DB_ID_PRINTONIMAGEPOSITIONX), DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(Access(DB_ID_PRINTERINDEXRESETVALUE), DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(Access(DB_ID_PRINTONIMAGEPOSITIONY), DB_ACCESS_DISABLED);
  EXPECT_TRUE(m_plog->Contains("rules>>> printerposition runs from 2000 to 1000, not supported...209"));
  EXPECT_TRUE(m_plog->Contains("rules>>> printonimagepositionx has no range of its own, not supported...222"));
  EXPECT_TRUE(m_plog->Contains("rules>>> printerindexresetvalue has no range of its own, not supported...207"));
}

// While printing, the counter's text holds no more characters than the
// printer prints digits: "-5" takes two, then the range refuses it; a
// counter beyond the digits sets the last printer error.
TEST_F(DbPrinterRulesTest, TheCountersSignCountsAmongItsDigits) {
  Configure(OS_CFGTAG_SKIPIAVALIDATION, "0");
  auto* pdbrange = dynamic_cast<CDbRange*>(Machine(DB_ID_PRINTERINDEX));
  ASSERT_EQ(Set(0, DB_ID_PRINTERENABLED, DB_BIN_MACHINE, DB_ID_PRINTERENABLED_ENUM_TRUE), DB_STS_SUCCESS);
  ASSERT_EQ(Set(0, DB_ID_PRINTERINDEXDIGITS, DB_BIN_MACHINE, 2), DB_STS_SUCCESS);
  m_pdatabase->SetLastPrinterError(nullptr);
  EXPECT_EQ(pdbrange->Validate(0, -5), DB_EOSSTS_REFUSED);
  EXPECT_STREQ(m_pdatabase->GetLastPrinterError(), "");
  ASSERT_EQ(Set(0, DB_ID_PRINTERINDEXDIGITS, DB_BIN_MACHINE, 1), DB_STS_SUCCESS);
  EXPECT_EQ(pdbrange->Validate(0, -5), DB_EOSSTS_REFUSED);
  EXPECT_STREQ(m_pdatabase->GetLastPrinterError(), m_pdatabase->LabelGet("E_EXCEEDSMAXIMUMDIGITS", "???", -1));
  EXPECT_TRUE(m_plog->Contains("Length of printer index exceed the maximum number of digits"));
  EXPECT_EQ(pdbrange->Validate(0, 7), OS_STS_SUCCESS);
  ASSERT_EQ(Set(0, DB_ID_PRINTERENABLED, DB_BIN_MACHINE, DB_ID_PRINTERENABLED_ENUM_FALSE), DB_STS_SUCCESS);
  EXPECT_EQ(pdbrange->Validate(0, 123), OS_STS_SUCCESS) << "nothing prints: the range alone decides";
}

// The composition names what it refuses: a code outside the table, a line
// longer than the printer prints (and the last printer error), a message the
// scanner's task could not carry or longer than its limit; without printing
// configured every check answers 1.
TEST_F(DbPrinterRulesTest, TheCompositionLogsWhatItRefuses) {
  ASSERT_EQ(Set(0, DB_ID_PRINTERENABLED, DB_BIN_MACHINE, DB_ID_PRINTERENABLED_ENUM_TRUE), DB_STS_SUCCESS);
  auto* pdbstringSequence = dynamic_cast<CDbString*>(Machine(DB_ID_PRINTERWRITESEQUENCESTRING));
  auto* pdbstringMessage = dynamic_cast<CDbString*>(Machine(DB_ID_PRINTERWRITESEQUENCEMESSAGE1));
  auto* pdbenumDelimiter = dynamic_cast<CDbEnum*>(Machine(DB_ID_PRINTERDATEDELIMITER));
  ASSERT_NE(pdbstringSequence, nullptr);
  ASSERT_NE(pdbstringMessage, nullptr);
  ASSERT_NE(pdbenumDelimiter, nullptr);
  EXPECT_EQ(pdbstringSequence->Validate(0, "1 y t"), OS_STS_SUCCESS);
  EXPECT_EQ(pdbstringSequence->Validate(0, "1X"), DB_EOSSTS_REFUSED);
  EXPECT_TRUE(m_plog->Contains("Invalid template defined X"));

  // 30 characters, a blank and a counter of 9 digits fill the 40 a line holds.
  ASSERT_EQ(Set(0, DB_ID_PRINTERINDEXDIGITS, DB_BIN_MACHINE, 9), DB_STS_SUCCESS);
  ASSERT_EQ(m_pdatabase->SetCurrentString(pdbstringMessage, std::string(30, 'M').c_str()), DB_STS_SUCCESS);
  m_pdatabase->SetLastPrinterError(nullptr);
  EXPECT_EQ(pdbstringSequence->Validate(0, "1 S"), OS_STS_SUCCESS);
  EXPECT_STREQ(m_pdatabase->GetLastPrinterError(), "");
  EXPECT_EQ(pdbstringSequence->Validate(0, "1  S"), DB_EOSSTS_REFUSED);
  EXPECT_TRUE(m_plog->Contains("Print string exceeds maximum allowed 40."));
  EXPECT_STREQ(m_pdatabase->GetLastPrinterError(), m_pdatabase->LabelGet("E_EXCEEDSMAXIMUM", "???", -1));

  EXPECT_EQ(pdbstringMessage->Validate(0, "a]]>b"), DB_EOSSTS_REFUSED);
  EXPECT_TRUE(m_plog->Contains("rules>>> a printer message cannot hold \"]]>\", refused...214"));
  m_pdatabase->SetLastPrinterError(nullptr);
  EXPECT_EQ(pdbstringMessage->Validate(0, std::string(41, 'M').c_str()), DB_EOSSTS_REFUSED);
  EXPECT_TRUE(m_plog->Contains("Length would exceed maximum allowed 40 characters by message."));
  EXPECT_STREQ(m_pdatabase->GetLastPrinterError(), m_pdatabase->LabelGet("E_EXCEEDSMAXIMUM", "???", -1));

  for (const char* szKey : {"printer", "printonimage"}) m_pdatabase->ConfigDelete(szKey, DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(pdbstringSequence->Validate(0, "1"), OS_STS_FAIL);
  EXPECT_EQ(pdbstringMessage->Validate(0, "M"), OS_STS_FAIL);
  EXPECT_EQ(pdbenumDelimiter->Validate(0, DB_ID_PRINTERDATEDELIMITER_ENUM_HYPHEN), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Printing is not supported"));
}

// A write sequence longer than its limit is stored only by whole lines,
// which the conversion cuts to the last one at once (between characters,
// as a "Z" line when it prints a field in either case), whether set or
// loaded; any other over-long text is refused and the stored one kept.
TEST_F(DbPrinterRulesTest, AnOverLongSequenceIsKeptOnlyWhenItsConversionCutsIt) {
  ASSERT_EQ(Set(0, DB_ID_PRINTERENABLED, DB_BIN_MACHINE, DB_ID_PRINTERENABLED_ENUM_TRUE), DB_STS_SUCCESS);
  CDbDatum* pdbdatum = Machine(DB_ID_PRINTERWRITESEQUENCESTRING);
  const std::string strLast = "1 S" + std::string(37, 'Z');
  EXPECT_EQ(m_pdatabase->SetCurrentString(pdbdatum, (std::string(120, 'Z') + strLast).c_str()), DB_STS_SUCCESS);
  EXPECT_STREQ(pdbdatum->GetCurrentStringNoCallback(), strLast.c_str());
  EXPECT_EQ(m_pdatabase->SetCurrentString(pdbdatum, std::string(100, 'Z').c_str()), DB_STS_BADVALUE);
  EXPECT_STREQ(pdbdatum->GetCurrentStringNoCallback(), strLast.c_str());

  m_pdatabase->SetDbState(DB_STATE_LOADING);
  EXPECT_EQ(m_pdatabase->SetCurrentString(pdbdatum, std::string(100, 'Z').c_str()), DB_STS_BADVALUE);
  EXPECT_EQ(m_pdatabase->SetCurrentString(pdbdatum, (std::string(80, 'Z') + "c" + std::string(39, 'Z')).c_str()),
            DB_STS_SUCCESS);
  EXPECT_STREQ(pdbdatum->GetCurrentStringNoCallback(), std::string(40, 'Z').c_str());
  EXPECT_TRUE(m_plog->Contains("Printer string has IA fields, so it has been cleared"));
  std::string strTwoByte;
  for (int i = 0; i < 80; ++i) strTwoByte += i < 40 ? "\xC3\xA4" : "\xC3\xA9";
  EXPECT_EQ(m_pdatabase->SetCurrentString(pdbdatum, strTwoByte.c_str()), DB_STS_SUCCESS);
  EXPECT_EQ(pdbdatum->GetCurrentStringNoCallback(), strTwoByte.substr(80));
  m_pdatabase->ClearDbState(DB_STATE_LOADING);
}
