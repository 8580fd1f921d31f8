// The configuration report: one canned reply per kind of keyword, read into
// a loaded database.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "dp_dispatch_fixture.h"

namespace {

using dptest::Reply;
using dptest::Report;

class DpReportConfig : public dptest::DispatchFixture {
 protected:
  EDEVREPLY Config1(const std::string& a_strElement, const std::string& a_strContent) {
    return Process(Reply("success", Report("reportconfig", a_strElement, a_strContent)));
  }
  std::string Default(EDBID a_edbid) {
    return m_pdatabase->GetDefaultString(m_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid));
  }
};

TEST_F(DpReportConfig, EachKindOfKeyword) {
  dbtest::CallbackProbe probe;
  const std::string str23 = "2024/01/15 09:30:00 UTC";
  // Every database made below keeps its sounds here.
  setenv("PMX_PROFILESDIR", testsupport::RootPath("profiles").c_str(), 1);
  const std::string strSounds = testsupport::RootPath("profiles/sounds");
  const struct {
    const char* szWhat;
    const char* szElement;
    std::string strContent;
    std::function<void()> fnPrepare;
    std::function<void()> fnCheck;
    const char* szLog;
  } s_acase[] = {
      {"enumeration", "adfhandling", "special", [&] { Offer(DB_ID_FEEDERMODE, DB_ACCESS_READWRITE, {1, 2}); },
       [&] { EXPECT_EQ(Current(DB_ID_FEEDERMODE), 2); }, nullptr},
      {"enumeration, word not accepted", "papersource", "adfflatbed",
       [&] { Offer(DB_ID_PAPERSOURCE, DB_ACCESS_READWRITE, {2, 1, 3}); },
       [&] { EXPECT_EQ(Current(DB_ID_PAPERSOURCE), 2); }, "<papersource> does not take <adfflatbed>"},
      {"boolean", "printer", "true", [&] { Offer(DB_ID_PRINTERENABLED, DB_ACCESS_READWRITE, {1, 2}); },
       [&] { EXPECT_EQ(Current(DB_ID_PRINTERENABLED), 2); }, nullptr},
      {"boolean, words are exact", "printer", "True", [&] { Offer(DB_ID_PRINTERENABLED, DB_ACCESS_READWRITE, {1, 2}); },
       [&] { EXPECT_EQ(Current(DB_ID_PRINTERENABLED), 1); }, "<printer> does not take <True>"},
      {"number", "imagecount", " 42pages", nullptr, [&] { EXPECT_EQ(Current(DB_ID_XFERCOUNT), 42); }, nullptr},
      {"number without digits", "imagecount", "many", nullptr, [&] { EXPECT_EQ(Current(DB_ID_XFERCOUNT), 0); },
       nullptr},
      {"text (a sound the user's sound directory holds, which its rules make a path)", "multifeedsound", "beep.wav",
       [&] {
         std::filesystem::create_directories(strSounds);
         testsupport::WriteFile(strSounds + "/beep.wav", "beep");
       },
       [&] { EXPECT_EQ(Text(DB_ID_MULTIFEEDSOUND), strSounds + "/beep.wav"); }, nullptr},
      {"forced number of a read-only meter, marked as the scanner's", "meterpagecount", "1234",
       [&] {
         Offer(DB_ID_METERPAGECOUNT, DB_ACCESS_READONLY);
         m_pdatabase->RegisterCallback(DB_CALLBACK_SETLONG, DB_ID_METERPAGECOUNT, DB_BIN_MACHINE,
                                       dbtest::CallbackProbe::Callback, &probe);
       },
       [&] {
         EXPECT_EQ(Current(DB_ID_METERPAGECOUNT), 1234);
         EXPECT_GE(probe.iCalls, 1);
         EXPECT_TRUE(probe.blDeviceBit);
       },
       nullptr},
      {"forced number of a capability the scanner lacks", "meterlampfront", "77", nullptr,
       [&] { EXPECT_EQ(m_pdatabase->GetCurrentLong(m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_METERLAMPFRONT)), 0); },
       nullptr},
      {"forced text", "timedate", "2024-01-15 10:00:00",
       [&] {
         m_pdatabase->RegisterCallback(DB_CALLBACK_SETSTRING, DB_ID_TIMEDATE, DB_BIN_MACHINE,
                                       dbtest::CallbackProbe::Callback, &probe);
       },
       [&] {
         EXPECT_EQ(Text(DB_ID_TIMEDATE), "2024-01-15 10:00:00");
         EXPECT_TRUE(probe.blDeviceBit);
       },
       nullptr},
      {"meterfirstscan of 23 characters", "meterfirstscan", str23, nullptr,
       [&] { EXPECT_EQ(Text(DB_ID_METERFIRSTSCAN), str23); }, nullptr},
      {"meterfirstscan of 22 characters", "meterfirstscan", str23.substr(1), nullptr,
       [&] { EXPECT_EQ(Text(DB_ID_METERFIRSTSCAN), Default(DB_ID_METERFIRSTSCAN)); },
       "Invalid meterfirstscan detected...<024/01/15 09:30:00 UTC> (discarding it and continuing)"},
      {"meterfirstscan of 24 characters", "meterfirstscan", str23 + "Z", nullptr,
       [&] { EXPECT_EQ(Text(DB_ID_METERFIRSTSCAN), Default(DB_ID_METERFIRSTSCAN)); },
       "Invalid meterfirstscan detected...<2024/01/15 09:30:00 UTCZ> (discarding it and continuing)"},
      {"paperdetected, words are exact", "paperdetected", "TRUE", [&] { Offer(DB_ID_FEEDERLOADED, DB_ACCESS_READONLY, {1, 2}); },
       [&] { EXPECT_EQ(Current(DB_ID_FEEDERLOADED), 1); }, "<paperdetected> does not take <TRUE>"},
      {"paperdetected, forced but not marked as the scanner's", "paperdetected", "true",
       [&] {
         Offer(DB_ID_FEEDERLOADED, DB_ACCESS_READONLY, {1, 2});
         m_pdatabase->RegisterCallback(DB_CALLBACK_SETLONG, DB_ID_FEEDERLOADED, DB_BIN_MACHINE,
                                       dbtest::CallbackProbe::Callback, &probe);
       },
       [&] {
         EXPECT_EQ(Current(DB_ID_FEEDERLOADED), 2);
         EXPECT_GE(probe.iCalls, 1);
         EXPECT_FALSE(probe.blDeviceBit);
       },
       nullptr},
      {"a capability the scanner lacks", "printerfont", "largecine", nullptr,
       [&] { EXPECT_EQ(m_pdatabase->GetCurrentLong(m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_PRINTERFONT)), 0); },
       nullptr},
      {"an ignored keyword", "vendor", "PEMRA", nullptr, [&] { EXPECT_EQ(Config("vendor", DB_CONFIGTARGET_COMMON), "(null)"); },
       nullptr},
  };
  for (const auto& c : s_acase) {
    SCOPED_TRACE(c.szWhat);
    TearDown();
    SetUp();
    probe = {};
    if (c.fnPrepare) c.fnPrepare();
    EXPECT_EQ(Config1(c.szElement, c.strContent), DEV_REPLY_SUCCESS);
    c.fnCheck();
    EXPECT_FALSE(CDbDatum::TestDbState(DB_STATE_DEVICEUPDATE));
    if (c.szLog) {
      EXPECT_TRUE(m_plog->Contains(c.szLog)) << m_plog->Text();
    }
  }
}

// A value the scanner reports inside a longer device update keeps the
// update's mark.
TEST_F(DpReportConfig, AMarkSetBeforeStaysSet) {
  m_pdatabase->SetDbState(DB_STATE_DEVICEUPDATE);
  EXPECT_EQ(Config1("timedate", "2024-01-15 10:00:00"), DEV_REPLY_SUCCESS);
  EXPECT_TRUE(CDbDatum::TestDbState(DB_STATE_DEVICEUPDATE));
  m_pdatabase->ClearDbState(DB_STATE_DEVICEUPDATE);
}

TEST_F(DpReportConfig, SerialNumbers) {
  const std::string str200(200, 'S');
  const std::string str100(100, 'N');
  const struct {
    std::string strContent;
    std::string strStored;
    const char* szLog;
  } s_acase[] = {
      {"SIMA0001", "SIMA0001", nullptr},
      {"ab-12_CD", "ab-12_CD", nullptr},
      {"AB12 34", "AB12", "We had to truncate the serial number...<AB12 34>"},
      {"#12", "00000000", "We got a weird serial number from the scanner, so we're setting it to '00000000'...<#12>"},
      {"", "00000000", "We got a weird serial number from the scanner, so we're setting it to '00000000'...<>"},
      {" AB12", "00000000", "We got a weird serial number"},
      {"\xc3\xa9t\xc3\xa9", "00000000", "We got a weird serial number"},
      {str200, str200.substr(0, 127), "We had to truncate the serial number...<SSS"},
      {str100 + " " + str100, str100, "We had to truncate the serial number...<NNN"},
  };
  for (const auto& c : s_acase) {
    SCOPED_TRACE(c.strContent);
    EXPECT_EQ(Config1("serialnumber", c.strContent), DEV_REPLY_SUCCESS);
    EXPECT_EQ(Config("serialnumber", DB_CONFIGTARGET_COMMON), c.strStored);
    if (c.szLog) {
      EXPECT_TRUE(m_plog->Contains(c.szLog)) << m_plog->Text();
    }
  }
}

// The model belongs to the unit FIRMWARE names.
TEST_F(DpReportConfig, ModelOfTheCurrentUnit) {
  Offer(DB_ID_FIRMWARE, DB_ACCESS_READWRITE, {1, 2});
  EXPECT_EQ(Config1("model", "mapleB"), DEV_REPLY_SUCCESS);
  EXPECT_EQ(Config("model", DB_CONFIGTARGET_ADF), "mapleB");
  EXPECT_STREQ(m_pdatabase->GetModelName(DB_FIRMWARE_ADF), "mapleB");
  EXPECT_EQ(Config("model", DB_CONFIGTARGET_FLATBED), "(null)");

  m_pdatabase->ForceCurrentLongFromId(DB_ID_FIRMWARE, DB_FIRMWARE_FLATBED);
  EXPECT_EQ(Config1("model", "mapleFB"), DEV_REPLY_SUCCESS);
  EXPECT_EQ(Config("model", DB_CONFIGTARGET_FLATBED), "mapleFB");
  EXPECT_STREQ(m_pdatabase->GetModelName(DB_FIRMWARE_FLATBED), "mapleFB");
  EXPECT_EQ(Config("model", DB_CONFIGTARGET_ADF), "mapleB");
  EXPECT_STREQ(m_pdatabase->GetModelName(DB_FIRMWARE_ADF), "mapleB");
}

// Every keyword of a reply is read, and the table holds them all.
TEST_F(DpReportConfig, ManyKeywordsInOneReply) {
  Offer(DB_ID_FEEDERMODE, DB_ACCESS_READWRITE, {1, 2});
  const std::string strReply = Reply(
      "success",
      "\t<reportconfig>\n\t\t<vendor>PEMRA</vendor>\n\t\t<model>mapleC</model>\n\t\t<serialnumber>SN1</serialnumber>\n"
      "\t\t<adfhandling>special</adfhandling>\n\t\t<imagecount>5</imagecount>\n\t\t<simulation>true</simulation>\n"
      "\t</reportconfig>\n");
  EXPECT_EQ(Process(strReply), DEV_REPLY_SUCCESS);
  EXPECT_EQ(Config("model", DB_CONFIGTARGET_ADF), "mapleC");
  EXPECT_EQ(Config("serialnumber", DB_CONFIGTARGET_COMMON), "SN1");
  EXPECT_EQ(Current(DB_ID_FEEDERMODE), 2);
  EXPECT_EQ(Current(DB_ID_XFERCOUNT), 5);
  for (const char* szElement : {"vendor", "printerindexreset", "intelligentdocumentprotection", "timedateutc"}) {
    EXPECT_NE(CReportConfig::FindKeyword(szElement), nullptr) << szElement;
  }
  EXPECT_EQ(CReportConfig::FindKeyword("Vendor"), nullptr);
}

}  // namespace
