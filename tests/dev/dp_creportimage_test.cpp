// The image library's reply parsers: the status words as the walk and the
// stored status see them, what a reply parsed with the database stores
// there (and what one parsed without leaves alone), the scan window a
// reply leaves behind, and the free-memory list.
#include <string>

#include "../db/db_makexml_fixture.h"
#include "dp_cpassthroughdravix.h"
#include "dp_creportimage.h"
#include "dp_grammarreader.h"
#include "os_cosmem.h"
#include "os_cosxml.h"

namespace {

std::string Reply(const std::string& a_strStatus, const std::string& a_strBody = "") {
  return "<task id='00000000000000000007' reply='00000000000000000003' bytes='00000000000000000000'>\n"
         "\t<reportstatus>\n\t\t<status>" +
         a_strStatus + "</status>\n\t</reportstatus>\n" + a_strBody + "</task>\n";
}

class DpReportImage : public dbtest::DbMakeXmlFixture {
 protected:
  void SetUp() override {
    DbMakeXmlFixture::SetUp();
    m_preportimage = std::make_unique<CReportImage>(m_pdatabase.get());
  }
  void TearDown() override {
    m_preportimage.reset();
    DbMakeXmlFixture::TearDown();
  }
  std::unique_ptr<CReportImage> m_preportimage;
};

TEST_F(DpReportImage, StatusWords) {
  const struct {
    const char* szReply;
    int iWalk;
    EDEVSTS edevsts;
    EDEVSTS edevstsMapped;  // ProcessStatus
  } acase[] = {
      {"success", 0, DEV_STS_SUCCESS, DEV_STS_SUCCESS},
      {"endofoutput", 6, DEV_STS_ENDOFJOB, DEV_STS_ENDOFJOB},
      {"nomemory", 2, DEV_STS_LOWMEMORY, DEV_STS_LOWMEMORY},
      {"ecdocustomlearnfail", 15, DEV_STS_ECDOCUSTOMLEARNFAIL, DEV_STS_ECDOCUSTOMLEARNFAIL},
      {"endofmessages", 0, DEV_STS_ENDOFMESSAGES, DEV_STS_ENDOFMESSAGES},
      {"fail", 1, DEV_STS_FAIL, DEV_STS_FAIL},
      {"Success", 1, DEV_STS_FAIL, DEV_STS_FAIL},
      {"", 1, DEV_STS_FAIL, DEV_STS_FAIL},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szReply);
    const std::string strReply = Reply(c.szReply);
    // A stale status of another word must not survive.
    m_preportimage->Process(Reply("endofmessages").c_str(), DB_FIRMWARE_ADF, false);
    EXPECT_EQ(m_preportimage->Process(strReply.c_str(), DB_FIRMWARE_ADF, false), c.iWalk);
    EXPECT_EQ(m_preportimage->GetStatus(), c.edevsts);
    EXPECT_EQ(m_preportimage->ProcessStatus(strReply.c_str()), c.edevstsMapped);
    EXPECT_EQ(m_preportimage->GetStatus(), c.edevstsMapped);
  }
  EXPECT_TRUE(m_plog->Contains("EnterTaskReportstatusStatus failed...Success"));
  EXPECT_TRUE(m_plog->Contains("unrecognized nexil status...<Success>"));
  ASSERT_EQ(sizeof CReportImage::s_amapstatus / sizeof CReportImage::s_amapstatus[0], 5u);
}

// Replies that say nothing of success read as failures.
TEST_F(DpReportImage, RepliesWithoutAStatus) {
  const struct {
    const char* szWhat;
    const char* szReply;
    const char* szLog;
  } acase[] = {
      {"null", nullptr, "Xml task is empty"},
      {"empty", "", "Xml task is empty"},
      {"no status", "<task id='00000000000000000001'>\n\t<reportmessage>x</reportmessage>\n</task>\n",
       "Xml task has no status"},
      {"another root", "<reply>\n\t<reportstatus>\n\t\t<status>success</status>\n\t</reportstatus>\n</reply>\n",
       "Xml task has no status"},
      {"not XML", "success", "DispatchLoadAndDispatch failed..."},
      {"cut", "<task id='00000000000000000001'>\n\t<reportstatus>\n\t\t<status>success</status>",
       "DispatchLoadAndDispatch failed..."},
      {"fixed fail reply",
       "<task id='00000000000000000001' reply='00000000000000000000' bytes='00000000000000000000'>\n"
       "\t<reportstatus>\n\t\t<status>fail</status>\n\t</reportstatus>\n</task>",
       "EnterTaskReportstatusStatus failed...fail"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    const size_t sizetFrom = LogSize();
    EXPECT_NE(m_preportimage->Process(c.szReply, DB_FIRMWARE_ADF, true), OS_STS_SUCCESS);
    EXPECT_EQ(m_preportimage->GetStatus(), DEV_STS_FAIL);
    EXPECT_NE(LogFrom(sizetFrom).find(c.szLog), std::string::npos) << LogFrom(sizetFrom);
  }
  EXPECT_EQ(m_preportimage->ProcessStatus(nullptr), DEV_STS_FAIL);
}

// Messages, the setup-end report and the inquiry reach the database only
// when the reply is parsed with it.
TEST_F(DpReportImage, WhatAReplyStoresInTheDatabase) {
  const std::string strInquiry =
      "\t<reportinquiry>\n\t\t<enum>\n\t\t\t<id>language</id>\n\t\t\t<value>en_usa</value>\n\t\t</enum>\n"
      "\t</reportinquiry>\n";
  for (bool blDatabase : {false, true}) {
    SCOPED_TRACE(blDatabase);
    m_pdatabase->SetData(nullptr, true);
    const std::string strMessage = Reply("success", "\t<reportmessage><x>first</x></reportmessage>\n" + strInquiry);
    EXPECT_EQ(m_preportimage->Process(strMessage.c_str(), DB_FIRMWARE_FLATBED, blDatabase), OS_STS_SUCCESS);
    const char* szData = m_pdatabase->GetData(true);
    EXPECT_EQ(szData ? std::string(szData) : "", blDatabase ? "<x>first</x>" : "");
    const std::string strSetupEnd = Reply("success", "\t<reportsetupend>done</reportsetupend>\n");
    EXPECT_EQ(m_preportimage->Process(strSetupEnd.c_str(), DB_FIRMWARE_FLATBED, blDatabase), OS_STS_SUCCESS);
    szData = m_pdatabase->GetData(true);
    EXPECT_EQ(szData ? std::string(szData) : "", blDatabase ? "done" : "");
    // The inquiry went into the flatbed's slot for the library's
    // interfaceopen inquiry, which then is taken.
    EXPECT_EQ(m_pdatabase->ConfigLoadReportInquiry("<reportinquiry></reportinquiry>", 0, true, true,
                                                   DB_FIRMWARE_FLATBED),
              !blDatabase);
  }
}

// A reply parsed with the database leaves the scan window at 0, unless the
// cropping mode is transport cropping ("fixed", 2); one parsed without it
// leaves the window alone.
TEST_F(DpReportImage, TheScanWindowAfterAReply) {
  const struct {
    long lCroppingMode;
    bool blDatabase;
    long lWindow;
  } acase[] = {
      {DB_ID_CROPPINGMODE_ENUM_AUTOMATIC, true, 0},
      {DB_ID_CROPPINGMODE_ENUM_FIXED, true, 3},
      {DB_ID_CROPPINGMODE_ENUM_AUTOMATIC, false, 3},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.lCroppingMode);
    SCOPED_TRACE(c.blDatabase);
    Set(0, DB_ID_WINDOW, DB_BIN_MACHINE, 3);
    for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR})
      Set(0, DB_ID_CROPPINGMODE, edbbin, c.lCroppingMode);
    ASSERT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_WINDOW), 3);
    ASSERT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_CROPPINGMODE), c.lCroppingMode);
    EXPECT_EQ(m_preportimage->Process(Reply("success").c_str(), DB_FIRMWARE_ADF, c.blDatabase), OS_STS_SUCCESS);
    EXPECT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_WINDOW), c.lWindow);
  }
}

// The free sizes, count first; a list holds at most its room, the rest is
// dropped with a line.
TEST_F(DpReportImage, FreeMemoryList) {
  CPassthroughDravix passthroughdravix;
  std::string strSizes;
  for (int i = 1; i <= 20; ++i) strSizes += "\t\t<freememory>" + std::to_string(i * 1000) + "</freememory>\n";
  OsMemList osmemlist = {};
  EXPECT_EQ(passthroughdravix.Process(Reply("success", "\t<reportfreememory>\n" + strSizes + "\t</reportfreememory>\n")
                                          .c_str(),
                                      &osmemlist),
            OS_STS_SUCCESS);
  ASSERT_EQ(osmemlist.u64Count, 16u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(osmemlist.au64Size[i], static_cast<uint64_t>((i + 1) * 1000));
  EXPECT_TRUE(m_plog->Contains("freememory beyond the list's room, dropped...17000"));
  // The biggest number a 64-bit size holds.
  EXPECT_EQ(passthroughdravix.Process(Reply("success", "\t<reportfreememory><freememory>18446744073709551615"
                                                       "</freememory></reportfreememory>\n")
                                          .c_str(),
                                      &osmemlist),
            OS_STS_SUCCESS);
  ASSERT_EQ(osmemlist.u64Count, 1u);
  EXPECT_EQ(osmemlist.au64Size[0], UINT64_MAX);
  // Failures leave the list empty.
  for (const char* szReply : {"", "<task id='1'>\n</task>\n", "text"}) {
    SCOPED_TRACE(szReply);
    osmemlist.u64Count = 3;
    EXPECT_NE(passthroughdravix.Process(szReply, &osmemlist), OS_STS_SUCCESS);
    EXPECT_EQ(osmemlist.u64Count, 0u);
  }
  EXPECT_EQ(passthroughdravix.Process(Reply("fail").c_str(), &osmemlist), OS_STS_FAIL);
  EXPECT_EQ(passthroughdravix.Process(Reply("success").c_str(), nullptr), OS_STS_FAIL);
}

// A grammar naming a handler the parser lacks is not loaded; the parser
// without its reader refuses every reply.
TEST_F(DpReportImage, AGrammarWithAnUnknownHandler) {
  EXPECT_EQ(DpNewGrammarReader("CReportImage", m_preportimage.get(), "<task enter='this.EnterTasc'/>"), nullptr);
  EXPECT_TRUE(m_plog->Contains("DispatchLoad failed...<<task enter='this.EnterTasc'/>>"));
  COsXml* posxml = DpNewGrammarReader("CReportImage", m_preportimage.get(), "<task enter='this.EnterTask'/>");
  EXPECT_NE(posxml, nullptr);
  OsMemDelete(posxml);
}

}  // namespace
