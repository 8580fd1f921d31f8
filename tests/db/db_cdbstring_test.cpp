// String values: initialisation, validation in characters and bytes, resets
// and the task argument in a CDATA section.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db_fixture.h"

namespace {

using dbtest::DbFixture;

constexpr EDBID ID_A = static_cast<EDBID>(10);
const std::string s_strEuro = "\xe2\x82\xac";  // one character, three bytes

class DbStringTest : public DbFixture {};

TEST_F(DbStringTest, InitialisationCopiesTextsAndClampsTheMaximum) {
  CDbString* pdatum = NewContainer<CDbString>(ID_A, DB_BIN_MACHINE);
  EXPECT_EQ(pdatum->GetContainerType(), DB_CONTAINERTYPE_STRING);
  EXPECT_EQ(pdatum->GetSizetMaxString(), 1024u);
  EXPECT_EQ(pdatum->InitString(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_NEXIL, 5000, "current",
                               "default", "previous", "a profile text longer than any maximum"),
            OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("String request is too large (id=10)...5000 > 1024"));
  EXPECT_EQ(pdatum->GetSizetMaxString(), 1024u);
  EXPECT_STREQ(pdatum->GetCurrentString(), "current");
  EXPECT_STREQ(pdatum->GetDefaultString(), "default");
  EXPECT_STREQ(pdatum->GetPreviousString(), "previous");
  EXPECT_STREQ(pdatum->GetProfilesString(), "a profile text longer than any maximum");
  pdatum->Remember();
  EXPECT_FALSE(pdatum->CompareCurrentWithRestoreValue());

  // Texts are not measured here; only the buffer refuses one.
  EXPECT_EQ(pdatum->InitString(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_NEXIL, 3, "longer", nullptr,
                               nullptr, std::string(1024, 'p').c_str()),
            OS_STS_SUCCESS);
  EXPECT_STREQ(pdatum->GetCurrentString(), "longer");
  EXPECT_STREQ(pdatum->GetDefaultString(), "");
  EXPECT_STREQ(pdatum->GetProfilesString(), "");
  // A maximum of 0 is refused by the base, and the container goes on.
  EXPECT_EQ(pdatum->InitString(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_NEXIL, 0, "x", "y", "", ""),
            OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("InitDatumString failed..."));
  EXPECT_EQ(pdatum->GetSizetMaxString(), 3u);
}

TEST_F(DbStringTest, ValidationInCharactersAndBytes) {
  std::string strLong;
  for (int i = 0; i < 400; ++i) strLong += s_strEuro;  // 400 characters, 1200 bytes
  struct Case {
    const char* szWhat;
    EDBACCESS edbaccess;
    size_t sizetMax;
    const char* szText;
    EOSSTS eossts;
  } acase[] = {
      {"exactly the maximum", DB_ACCESS_READWRITE, 4, "abcd", OS_STS_SUCCESS},
      {"one over", DB_ACCESS_READWRITE, 4, "abcde", DB_EOSSTS_REFUSED},
      {"multibyte counts one each", DB_ACCESS_READWRITE, 4, "\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac",
       OS_STS_SUCCESS},
      {"no text", DB_ACCESS_READWRITE, 4, nullptr, DB_EOSSTS_REFUSED},
      {"within the characters, over the buffer", DB_ACCESS_READWRITE, 1024, strLong.c_str(), DB_EOSSTS_REFUSED},
      {"read-only", DB_ACCESS_READONLY, 4, "ab", DB_EOSSTS_NOTMODIFIABLE},
      {"hidden", DB_ACCESS_READWRITEHIDDEN, 4, "ab", OS_STS_SUCCESS},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szWhat);
    CDbString* pdatum = NewText(ID_A, DB_BIN_MACHINE, c.edbaccess, c.sizetMax, "", "");
    EXPECT_EQ(pdatum->Validate(0, c.szText), c.eossts);
  }
}

TEST_F(DbStringTest, ResetRaisesTheValueAndKeepsThePrevious) {
  CDbString* pdatum = NewText(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 20, "start", "factory");
  pdatum->ForceCurrentString("user");
  Notify()->ResetAll(DB_NOTIFY_ALL);
  pdatum->Reset();
  EXPECT_STREQ(pdatum->GetCurrentString(), "factory");
  EXPECT_STREQ(pdatum->GetPreviousString(), "start");
  EXPECT_TRUE(Notified(DB_NOTIFY_VALUE, pdatum));
  EXPECT_FALSE(Notified(DB_NOTIFY_CONSTRAINT, pdatum));

  pdatum->ForceCurrentString("again");
  Notify()->ResetAll(DB_NOTIFY_ALL);
  pdatum->FixDefaultReset();
  EXPECT_STREQ(pdatum->GetCurrentString(), "factory");
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_ALL), nullptr);
  const char* szCopy = "copied";
  pdatum->Copy(reinterpret_cast<long>(szCopy));
  EXPECT_STREQ(pdatum->GetCurrentString(), "copied");
  EXPECT_STREQ(pdatum->GetPreviousString(), "factory");
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_ALL), nullptr);
  EXPECT_TRUE(pdatum->Compare(reinterpret_cast<long>("a"), reinterpret_cast<long>("b")));
  EXPECT_FALSE(pdatum->Compare(reinterpret_cast<long>("a"), reinterpret_cast<long>("a")));
}

TEST_F(DbStringTest, ArgumentsAreWholeTextsInCdata) {
  CDbString* pdatum = NewText(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1024, "", "", DB_DEVICEDATA_ADF);
  CDbString* pshort = NewText(static_cast<EDBID>(11), DB_BIN_MACHINE, DB_ACCESS_READWRITE, 5, "", "", DB_DEVICEDATA_ADF);
  NewLookup(ID_A, "imprint");
  NewLookup(static_cast<EDBID>(11), "short");
  std::string strNearFull(1015, 'n');  // too long for a 1024-byte wrapper
  struct Case {
    CDbString* pdatum;
    std::string strText;
    bool blWritten;
  } acase[] = {
      {pdatum, "plain", true},
      {pdatum, "markup <b>&amp; stays", true},
      {pdatum, "", true},
      {pdatum, s_strEuro + " euro", true},
      {pdatum, strNearFull, true},
      {pdatum, "ends ]]> early", false},
      {pdatum, std::string(1024, 'x'), false},
      {pshort, "12345", true},
      {pshort, "123456", false},
  };
  StartDeviceTask();
  std::vector<std::pair<std::string, std::string>> vecExpected;
  for (const Case& c : acase) {
    c.pdatum->MakeXml(reinterpret_cast<long>(c.strText.c_str()), DB_DEVICEDATA_ADF);
    if (c.blWritten) vecExpected.emplace_back(c.pdatum->GetLookup()->szLexicon, c.strText);
  }
  pdatum->MakeXml(reinterpret_cast<long>("x"), DB_DEVICEDATA_FLATBED);  // not a consumer
  pdatum->MakeXml(0, DB_DEVICEDATA_ADF);
  std::string strTask = FinishDeviceTask();
  EXPECT_EQ(XmlLint(strTask), 0) << strTask;
  EXPECT_EQ(ReadArguments(strTask), vecExpected);
  EXPECT_NE(strTask.find("<imprint><![CDATA[markup <b>&amp; stays]]></imprint>"), std::string::npos) << strTask;
  EXPECT_TRUE(m_plog->Contains("text refused for the task...10 <ends ]]> early>"));
  EXPECT_TRUE(m_plog->Contains("a_szCurrent is NULL...10"));
}

}  // namespace
