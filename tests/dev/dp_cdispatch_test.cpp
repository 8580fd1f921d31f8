// The reply dispatcher: its grammar against the library's exported handlers,
// the status words, the status of a reply that has none, bad replies, and
// targets of another kind.
#include <gtest/gtest.h>

#include <string>

#include "dp_dispatch_fixture.h"

namespace {

using dptest::Reply;
using dptest::Report;

class DpDispatch : public dptest::DispatchFixture {};

// An independent reading of the grammar: every handler is a defined dynamic
// symbol of the library, named by its path, one class having all of an
// object's handlers.
TEST_F(DpDispatch, GrammarLoadsAndEveryHandlerIsExported) {
  const std::string strGrammar = testsupport::RootPath("reply_grammar.xml");
  testsupport::WriteFile(strGrammar, CDispatch::s_szReplyGrammar);
  const std::string strScript = std::string(SCANDRV_TEST_DATA) + "/dev/check_reply_grammar.py";
  int iStatus = -1;
  const std::string strOut =
      testsupport::RunProgram({SCANDRV_PYTHON, strScript, strGrammar, SCANDRV_LIBRARY_PATH}, &iStatus);
  EXPECT_EQ(iStatus, 0) << strOut;
  EXPECT_EQ(strOut, "elements=149 reports=24 enter=144 exit=24\n");

  // The checker itself notices a handler the library lacks.
  std::string strBroken = CDispatch::s_szReplyGrammar;
  strBroken.replace(strBroken.find("EnterReportconfigPrinter'"), 24, "EnterReportconfigPrinterr");
  testsupport::WriteFile(strGrammar, strBroken);
  testsupport::RunProgram({SCANDRV_PYTHON, strScript, strGrammar, SCANDRV_LIBRARY_PATH}, &iStatus);
  EXPECT_NE(iStatus, 0);
}

TEST_F(DpDispatch, AMisspeltHandlerFailsTheLoad) {
  std::string strBroken = CDispatch::s_szReplyGrammar;
  strBroken.replace(strBroken.find("EnterReportconfigPrinter'"), 24, "EnterReportconfigPrinterr");
  CDispatch::SetReplyGrammarSeam(strBroken.c_str());
  CDispatch dispatch;
  CDispatch::SetReplyGrammarSeam(nullptr);
  EXPECT_NE(dispatch.SetupDispatchTemplate(), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("DispatchLoad failed...<")) << m_plog->Text();
  EXPECT_EQ(dispatch.SetupDispatchOutput(), OS_STS_SUCCESS);
  // Nothing is walked against a grammar that did not load.
  EXPECT_EQ(dispatch.Process(Reply("success").c_str(), DevDispatchTarget::None(), false, DB_FIRMWARE_ADF),
            DEV_REPLY_FAIL);
  EXPECT_EQ(dispatch.ProcessOutput(Reply("busy").c_str(), DevDispatchTarget::None()), DEV_REPLY_BUSY);
}

TEST_F(DpDispatch, StatusWordsGiveTheirCodes) {
  const struct {
    const char* szWord;
    int iCode;
  } s_acase[] = {
      {"success", 0},           {"fail", 1},           {"busy", 2},           {"calibrationrequired", 3},
      {"cleanguides", 4},       {"coveropen", 5},      {"criticalerror", 6},  {"disconnected", 7},
      {"ecdocustomlearnfail", 8}, {"endofmessages", 9}, {"endofinput", 10},   {"endofoutput", 11},
      {"endofsheet", 12},       {"invalidstate", 13},  {"lampswarming", 14},  {"multifeed", 15},
      {"nofeederfound", 16},    {"noimageready", 17},  {"noprintheadfound", 18}, {"notcomplete", 19},
      {"notenoughcolor", 20},   {"notenoughpages", 21}, {"nowhitepatchfound", 22}, {"paperjam", 23},
      {"useraction", 24},
  };
  for (const auto& c : s_acase) {
    SCOPED_TRACE(c.szWord);
    const std::string strReply = Reply(c.szWord);
    EXPECT_EQ(Process(strReply), c.iCode);
    EXPECT_EQ(m_pdispatch->GetStatus(), c.iCode);
    EXPECT_EQ(m_pdispatch->ProcessOutput(strReply.c_str(), DevDispatchTarget::None()), c.iCode);
    EXPECT_EQ(m_pdispatch->GetOutputStatus(), c.iCode);
  }
  EXPECT_FALSE(m_plog->Contains("Unrecognized status")) << m_plog->Text();
}

// A reply without a known status word fails, whatever the reply before it
// said; the word is compared exactly.
TEST_F(DpDispatch, AReplyWithoutAKnownStatusFails) {
  const struct {
    const char* szStatus;  // null: no status element
    int iCode;
    const char* szLog;
  } s_acase[] = {
      {"success", 0, nullptr},
      {nullptr, 1, "no known status in the reply"},
      {"busy", 2, nullptr},
      {"ok", 1, "Unrecognized status ok"},
      {"success", 0, nullptr},
      {"Success", 1, "Unrecognized status Success"},
      {"", 1, "Unrecognized status "},
  };
  for (const auto& c : s_acase) {
    SCOPED_TRACE(c.szStatus ? c.szStatus : "(none)");
    const std::string strReply = Reply(c.szStatus, Report("reportversion", "versionui", "1.0"));
    EXPECT_EQ(Process(strReply), c.iCode);
    EXPECT_EQ(m_pdispatch->ProcessOutput(strReply.c_str(), DevDispatchTarget::None()), c.iCode);
    if (c.szLog) {
      EXPECT_TRUE(m_plog->Contains(c.szLog)) << m_plog->Text();
    }
  }
}

TEST_F(DpDispatch, BadRepliesGiveAClearCodeAndALogLine) {
  std::string strNested;
  for (int i = 0; i < 5000; ++i) strNested += "<unknown>";
  for (int i = 0; i < 5000; ++i) strNested += "</unknown>";
  const struct {
    const char* szWhat;
    std::string strReply;
    int iCode;
    const char* szLog;
  } s_acase[] = {
      {"not XML", "this is not a reply", 1, "DocumentLoadAndDispatch failed...<"},
      {"empty", "", 1, "DocumentLoadAndDispatch failed...<"},
      {"unclosed", "<task><reportstatus><status>success</status>", 1, "DocumentLoadAndDispatch failed...<"},
      {"another root", "<reply><reportstatus><status>success</status></reportstatus></reply>", 1,
       "no known status in the reply"},
      {"5,000 nested unknown elements", Reply("success", strNested), 1, "DocumentLoadAndDispatch failed...<"},
      {"unknown reports are skipped", Reply("success", "<reportnew><a>1</a></reportnew><reportconfig><x>1</x>"
                                                       "<imagecount>7</imagecount></reportconfig>"),
       0, nullptr},
  };
  for (const auto& c : s_acase) {
    SCOPED_TRACE(c.szWhat);
    EXPECT_EQ(Process(c.strReply), c.iCode);
    if (c.szLog) {
      EXPECT_TRUE(m_plog->Contains(c.szLog)) << m_plog->Text();
    }
  }
  // The known element after an unknown one is still read.
  EXPECT_EQ(Current(DB_ID_XFERCOUNT), 7);

  EXPECT_EQ(m_pdispatch->Process(nullptr, DevDispatchTarget::Database(m_pdatabase.get()), false, DB_FIRMWARE_ADF),
            DEV_REPLY_FAIL);
  EXPECT_EQ(m_pdispatch->ProcessOutput(nullptr, DevDispatchTarget::None()), DEV_REPLY_FAIL);
  EXPECT_TRUE(m_plog->Contains("Xml task is empty")) << m_plog->Text();

  // Freed grammars read nothing.
  m_pdispatch->FreeDispatchTemplate();
  m_pdispatch->FreeDispatchOutput();
  EXPECT_EQ(Process(Reply("success")), DEV_REPLY_FAIL);
  EXPECT_EQ(m_pdispatch->ProcessOutput(Reply("success").c_str(), DevDispatchTarget::None()), DEV_REPLY_FAIL);
}

// A handler that writes the database ignores its element in a reply read
// into a log record or into nothing; the status is read all the same.
TEST_F(DpDispatch, ATargetOfAnotherKindIsLeftAlone) {
  DeviceLog devicelog = {};
  const std::string strReply =
      Reply("busy", Report("reportconfig", "imagecount", "42") + Report("reportversionuser", "versiontext", "v9") +
                        Report("reportconfig", "serialnumber", "XY99"));
  for (const DevDispatchTarget& devdispatchtarget :
       {DevDispatchTarget::Log(&devicelog), DevDispatchTarget::None(), DevDispatchTarget::Database(nullptr)}) {
    SCOPED_TRACE(devdispatchtarget.edevtarget);
    EXPECT_EQ(m_pdispatch->Process(strReply.c_str(), devdispatchtarget, false, DB_FIRMWARE_ADF), DEV_REPLY_BUSY);
    EXPECT_EQ(Current(DB_ID_XFERCOUNT), 0);
    EXPECT_STREQ(m_pdatabase->GetDbVersion()->GetVersionTextAdf(), "");
    EXPECT_EQ(Config("serialnumber", DB_CONFIGTARGET_COMMON), "(null)");
  }
  EXPECT_TRUE(m_plog->Contains("<imagecount> ignored: the reply is not read into the database")) << m_plog->Text();
  for (char c : std::string(reinterpret_cast<const char*>(&devicelog), sizeof devicelog)) ASSERT_EQ(c, 0);

  EXPECT_EQ(Process(strReply), DEV_REPLY_BUSY);
  EXPECT_EQ(Current(DB_ID_XFERCOUNT), 42);
  EXPECT_STREQ(m_pdatabase->GetDbVersion()->GetVersionTextAdf(), "v9");
  EXPECT_EQ(Config("serialnumber", DB_CONFIGTARGET_COMMON), "XY99");
}

}  // namespace
