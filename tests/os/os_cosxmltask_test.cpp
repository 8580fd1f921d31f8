// The task builder: the exact task line and fixed replies, element writing,
// ordering and depth rules, the sticky error flag, capacity, non-task
// messages, and built tasks judged by xmllint and read back by the reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "os_cosmem.h"
#include "os_cosxml.h"
#include "os_cosxml_walk.h"
#include "os_cosxmltask.h"
#include "test_support.h"
#include "log_capture.h"

namespace {

std::string Text(COsXmlTask& a_osxmltask) { return a_osxmltask.GetTaskBuffer(); }

const std::string s_strEmptyLine =
    "<task id='00000000000000000000' reply='00000000000000000000' bytes='####################'>\n";

TEST(OsXmlTask, FixedRepliesAreByteExact) {
  COsXmlTask osxmltask("", 0);
  osxmltask.StartTask(0, 0, "success");
  osxmltask.FinalizeTask();
  EXPECT_FALSE(osxmltask.IsError(false));
  const std::string strSuccess =
      "<task id='00000000000000000000' reply='00000000000000000000' bytes='00000000000000000159'>\n"
      "\t<reportstatus>\n\t\t<status>success</status>\n\t</reportstatus>\n</task>\n";
  EXPECT_EQ(Text(osxmltask), strSuccess);
  EXPECT_EQ(osxmltask.Size(), 159u);
  EXPECT_EQ(strSuccess.size(), 159u);
  EXPECT_EQ(std::string(COsXmlTask::ReportStatusSuccess()), strSuccess);

  osxmltask.StartTask(0, 0, "fail");
  osxmltask.FinalizeTask();
  EXPECT_EQ(osxmltask.Size(), 156u);
  EXPECT_EQ(std::string(COsXmlTask::ReportStatusFail()), Text(osxmltask));
  EXPECT_EQ(std::strlen(COsXmlTask::ReportStatusFail()), 156u);

  osxmltask.StartTask(5, 7, nullptr);
  osxmltask.FinalizeTask();
  EXPECT_EQ(Text(osxmltask),
            "<task id='00000000000000000005' reply='00000000000000000007' bytes='00000000000000000099'>\n</task>\n");
  EXPECT_EQ(osxmltask.Size(), 99u);
  EXPECT_FALSE(osxmltask.IsError(false));
}

TEST(OsXmlTask, BuildsCommandsAndArguments) {
  COsXmlTask osxmltask(nullptr, 65536);
  osxmltask.StartTask(INT_MAX, 12, "success");
  osxmltask.StartCommand("reportsettings", 1);
  osxmltask.AddArgument("window", 3);
  osxmltask.AddArgument("negative", -42);
  osxmltask.AddArgumentDouble("gamma", 2.2);
  osxmltask.AddArgumentHexPtr("object", reinterpret_cast<const void*>(0x1234));
  osxmltask.StartCommand("capability", 2);
  osxmltask.AddArgument("name", "xresolution");
  osxmltask.AddArgumentSafe("label", "a<b");
  osxmltask.AddArgumentCheck("plain", "no markup");
  osxmltask.AddArgumentCheck("marked", "x>y");
  osxmltask.FinalizeCommand("capability");
  osxmltask.FinalizeCommand("reportsettings");
  osxmltask.AddArgument("flat", "f", true);
  osxmltask.FinalizeTask();
  EXPECT_FALSE(osxmltask.IsError(false));
  const std::string strExpected =
      "<task id='00000000002147483647' reply='00000000000000000012' bytes='00000000000000000478'>\n"
      "\t<reportstatus>\n\t\t<status>success</status>\n\t</reportstatus>\n"
      "\t<reportsettings>\n"
      "\t\t<window>3</window>\n"
      "\t\t<negative>-42</negative>\n"
      "\t\t<gamma>2.200000</gamma>\n"
      "\t\t<object>0000000000001234</object>\n"
      "\t\t<capability>\n"
      "\t\t\t<name>xresolution</name>\n"
      "\t\t\t<label><![CDATA[a<b]]></label>\n"
      "\t\t\t<plain>no markup</plain>\n"
      "\t\t\t<marked><![CDATA[x>y]]></marked>\n"
      "\t\t</capability>\n"
      "\t</reportsettings>\n"
      "<flat>f</flat>\n"
      "</task>\n";
  EXPECT_EQ(Text(osxmltask), strExpected);
  EXPECT_EQ(strExpected.size(), 478u);
  EXPECT_EQ(osxmltask.Size(), 478u);

  // "&" and ">" go out as written: the readers take text as it stands.
  COsXmlTask osxmltaskText("", 0);
  osxmltaskText.StartTask(0, 0, nullptr);
  osxmltaskText.AddArgument("v", "a &amp; b & c > d", true);
  osxmltaskText.FinalizeTask();
  EXPECT_FALSE(osxmltaskText.IsError(false));
  EXPECT_NE(Text(osxmltaskText).find("\n<v>a &amp; b & c > d</v>\n</task>\n"), std::string::npos);
}

// Refused calls: each is logged, sets the sticky error flag and writes nothing.
TEST(OsXmlTask, RefusedCallsWriteNothing) {
  struct Refusal {
    const char* szName;
    void (*pfnCall)(COsXmlTask&);
    const char* szMessage;
    bool blInCommand = false;  // called inside an open command
  };
  const Refusal s_aRefusal[] = {
      {"depth_skips_a_level", [](COsXmlTask& t) { t.StartCommand("a", 2); }, "xmltask>>> depth error...2, must be 1"},
      {"leaf_outside_command", [](COsXmlTask& t) { t.AddArgument("a", "b"); }, "xmltask>>> out of order..."},
      {"null_value", [](COsXmlTask& t) { t.AddArgument("a", static_cast<const char*>(nullptr), true); },
       "xmltask>>> a_pszName or a_pszValue is null..."},
      {"null_name_check", [](COsXmlTask& t) { t.AddArgumentCheck(nullptr, "x"); }, "a_pszName is null..."},
      {"negative_id", [](COsXmlTask& t) { t.SetId(-1); }, "xmltask>>> a_nTaskId is negative..."},
      {"negative_reply", [](COsXmlTask& t) { t.SetReplyId(-5); }, "xmltask>>> a_nReplyId is negative..."},
      {"close_without_command", [](COsXmlTask& t) { t.FinalizeCommand("a"); }, "xmltask>>> out of order..."},
      {"non_task_inside_task", [](COsXmlTask& t) { t.StartNonTask("a", 0); }, "xmltask>>> out of order..."},
      {"finalize_non_task_of_task", [](COsXmlTask& t) { t.FinalizeNonTask("task"); }, "xmltask>>> out of order..."},
      {"double_too_long", [](COsXmlTask& t) { t.AddArgumentDouble("d", 1e300, true); }, "does not fit"},
      {"cdata_end_in_safe", [](COsXmlTask& t) { t.AddArgumentSafe("a", "x]]><inject/>"); }, "holds ']]>'", true},
      {"cdata_end_in_check", [](COsXmlTask& t) { t.AddArgumentCheck("a", "]]>"); }, "holds ']]>'", true},
      {"markup_in_text", [](COsXmlTask& t) { t.AddArgument("a", "x<inject/>"); }, "holds '<'", true},
      {"markup_in_flat_text", [](COsXmlTask& t) { t.AddArgument("a", "1 < 2", true); }, "holds '<'"},
      {"depth_skips_inside", [](COsXmlTask& t) { t.StartCommand("a", 3); }, "xmltask>>> depth error...3, must be 2",
       true},
  };
  for (const Refusal& r : s_aRefusal) {
    testsupport::LogCapture logcapture;
    COsXmlTask osxmltask("", 0);
    osxmltask.StartTask(0, 0, nullptr);
    if (r.blInCommand) osxmltask.StartCommand("c", 1);
    const std::string strBefore = Text(osxmltask);
    r.pfnCall(osxmltask);
    EXPECT_EQ(Text(osxmltask), strBefore) << r.szName;
    EXPECT_EQ(osxmltask.Size(), strBefore.size()) << r.szName;
    EXPECT_TRUE(osxmltask.IsError(false)) << r.szName;
    EXPECT_TRUE(osxmltask.IsError(false)) << r.szName << ": the flag is sticky";
    EXPECT_TRUE(logcapture.Contains(r.szMessage)) << r.szName << "\n" << logcapture.Text();
    EXPECT_TRUE(osxmltask.IsError(true)) << r.szName;
    EXPECT_FALSE(osxmltask.IsError(false)) << r.szName << ": cleared";
  }
}

TEST(OsXmlTask, OrderAndDepthRules) {
  testsupport::LogCapture logcapture;
  COsXmlTask osxmltask("", 0);
  // Nothing may be written before a task is started.
  osxmltask.StartCommand("a", 1);
  osxmltask.AddPassThrough("<x/>\n");
  osxmltask.FinalizeTask();
  EXPECT_TRUE(osxmltask.IsError(true));
  EXPECT_EQ(osxmltask.Size(), 0u);

  // Finalizing with a command open leaves the length unpatched.
  osxmltask.StartTask(1, 0, nullptr);
  osxmltask.StartCommand("open", 1);
  osxmltask.FinalizeTask();
  EXPECT_TRUE(osxmltask.IsError(false));
  EXPECT_EQ(Text(osxmltask).substr(68, 20), std::string(20, '#'));
  EXPECT_TRUE(logcapture.Contains("xmltask>>> out of order..."));

  // Starting again over an open task is reported but gives a fresh task.
  osxmltask.StartTask(2, 0, nullptr);
  EXPECT_TRUE(osxmltask.IsError(true));
  osxmltask.FinalizeTask();
  EXPECT_FALSE(osxmltask.IsError(false));
  EXPECT_EQ(osxmltask.Size(), 99u);

  // The digits can be patched after the task is finished.
  osxmltask.SetId(77);
  osxmltask.SetReplyId(78);
  EXPECT_EQ(Text(osxmltask).substr(10, 20), "00000000000000000077");
  EXPECT_EQ(Text(osxmltask).substr(39, 20), "00000000000000000078");
  osxmltask.SetId(-1);
  EXPECT_EQ(Text(osxmltask).substr(10, 20), "00000000000000000077");
}

TEST(OsXmlTask, PassThrough) {
  COsXmlTask osxmltask("", 0);
  osxmltask.StartTask(0, 0, nullptr);
  osxmltask.StartCommand("wrap", 1);
  osxmltask.AddPassThrough("\n\t\t<a>1</a>\n\t\t<b>2</b>\n\t");
  osxmltask.FinalizeCommand("wrap");
  osxmltask.AddPassThrough("");
  osxmltask.FinalizeTask();
  EXPECT_FALSE(osxmltask.IsError(false));
  EXPECT_EQ(Text(osxmltask).substr(91), "\t<wrap>\n\t\t<a>1</a>\n\t\t<b>2</b>\n\t</wrap>\n</task>\n");
}

TEST(OsXmlTask, NonTaskMessages) {
  COsXmlTask osxmltask("", 0);
  osxmltask.StartNonTask("profile", 0);
  osxmltask.StartCommand("settings", 1);
  osxmltask.AddArgument("name", "default");
  osxmltask.FinalizeCommand("settings");
  osxmltask.FinalizeNonTask("profile");
  EXPECT_FALSE(osxmltask.IsError(false));
  const std::string strExpected = "<profile>\n\t<settings>\n\t\t<name>default</name>\n\t</settings>\n</profile>\n";
  EXPECT_EQ(Text(osxmltask), strExpected);
  EXPECT_EQ(osxmltask.Size(), strExpected.size() + 1);  // the terminator counts

  // Indented as a fragment of a larger document.
  osxmltask.StartNonTask("item", 2);
  osxmltask.AddArgument("v", 1);
  osxmltask.FinalizeNonTask("item");
  EXPECT_FALSE(osxmltask.IsError(false));
  EXPECT_EQ(Text(osxmltask), "\t\t<item>\n\t\t\t<v>1</v>\n\t\t</item>\n");

  // A command left open inside is refused, and so is a task ending.
  osxmltask.StartNonTask("outer", 0);
  osxmltask.StartCommand("inner", 1);
  osxmltask.FinalizeNonTask("outer");
  EXPECT_TRUE(osxmltask.IsError(true));
  osxmltask.FinalizeTask();
  EXPECT_TRUE(osxmltask.IsError(true));
  osxmltask.FinalizeCommand("inner");
  osxmltask.FinalizeCommand("inner");  // below the message's own level
  EXPECT_TRUE(osxmltask.IsError(true));
  osxmltask.FinalizeNonTask("outer");
  EXPECT_FALSE(osxmltask.IsError(false));
  EXPECT_EQ(Text(osxmltask), "<outer>\n\t<inner>\n\t</inner>\n</outer>\n");
  // No task line to patch in a non-task message.
  osxmltask.SetId(3);
  EXPECT_TRUE(osxmltask.IsError(true));
}

TEST(OsXmlTask, CapacityIsNeverPassed) {
  testsupport::LogCapture logcapture;
  COsXmlTask osxmltask("", 100);  // small sizes give the minimum capacity
  osxmltask.StartTask(0, 0, nullptr);
  osxmltask.StartCommand("c", 1);
  const std::string strChunk = std::string(1000, 'x');
  for (int i = 0; i < 70; ++i) osxmltask.AddArgument("v", strChunk.c_str());
  EXPECT_TRUE(osxmltask.IsError(false));
  EXPECT_TRUE(logcapture.Contains("xmltask>>> overflow..."));
  EXPECT_LT(osxmltask.Size(), 65536u);
  EXPECT_GT(osxmltask.Size(), 65536u - 1020);  // it was filled up to the last element that fit
  EXPECT_EQ(std::strlen(osxmltask.GetTaskBuffer()), osxmltask.Size());

  // A larger builder takes the same content.
  COsXmlTask osxmltaskLarge("", 200000);
  osxmltaskLarge.StartTask(0, 0, nullptr);
  osxmltaskLarge.StartCommand("c", 1);
  for (int i = 0; i < 70; ++i) osxmltaskLarge.AddArgument("v", strChunk.c_str());
  osxmltaskLarge.FinalizeCommand("c");
  osxmltaskLarge.FinalizeTask();
  EXPECT_FALSE(osxmltaskLarge.IsError(false));
  uint64_t u64Bytes = 0;
  ASSERT_TRUE(COsXml::GetTaskPropertyBytes(osxmltaskLarge.GetTaskBuffer(), &u64Bytes));
  EXPECT_EQ(u64Bytes, osxmltaskLarge.Size());
}

TEST(OsXmlTask, ClearEmptiesEverything) {
  COsXmlTask osxmltask("", 0);
  osxmltask.StartTask(3, 4, "success");
  osxmltask.StartCommand("left", 1);
  osxmltask.SetId(-3);
  ASSERT_TRUE(osxmltask.IsError(false));
  osxmltask.Clear();
  EXPECT_FALSE(osxmltask.IsError(false));
  EXPECT_EQ(osxmltask.Size(), 0u);
  EXPECT_EQ(osxmltask.GetTaskBuffer()[0], '\0');
  const char* pc = osxmltask.GetTaskBuffer();
  EXPECT_TRUE(std::all_of(pc, pc + 65536, [](char c) { return c == '\0'; }));
  osxmltask.StartTask(0, 0, nullptr);
  EXPECT_EQ(Text(osxmltask), s_strEmptyLine);
}

// ---------------------------------------------------------------------------
// Random tasks: built, then judged by xmllint and read back by the reader.
// ---------------------------------------------------------------------------
struct Built {
  std::string strText;
  std::string strDescription;  // as xmltest::DescribeDocument gives it
};

std::string Pick(std::mt19937& a_rnd, const std::string& a_strAlphabet, int a_iMin, int a_iMax) {
  std::uniform_int_distribution<int> distLength(a_iMin, a_iMax);
  std::uniform_int_distribution<size_t> distChar(0, a_strAlphabet.size() - 1);
  std::string str;
  for (int i = distLength(a_rnd); i > 0; --i) str += a_strAlphabet[distChar(a_rnd)];
  return str;
}

// Builds the children of one command into the builder and the description,
// returning the raw markup that the reader will give as the command's content.
void BuildChildren(COsXmlTask& a_osxmltask, std::mt19937& a_rnd, int a_iDepth, std::string& a_strDescription) {
  static const std::string s_strName = "abcdefghijklmnopqrstuvwxyz_";
  static const std::string s_strPlain = "abc xyz 0123456789 .,;:!?=\"'/()[]{}";
  static const std::string s_strMarked = s_strPlain + "<>&]";
  std::uniform_int_distribution<int> dist(0, 9);
  int iChildren = 1 + dist(a_rnd) % 4;
  for (int i = 0; i < iChildren; ++i) {
    std::string strName = Pick(a_rnd, s_strName, 1, 10);
    int iKind = dist(a_rnd);
    if (iKind < 2 && a_iDepth < 8) {
      a_osxmltask.StartCommand(strName.c_str(), a_iDepth + 1);
      std::string strChildren;
      BuildChildren(a_osxmltask, a_rnd, a_iDepth + 1, strChildren);
      a_osxmltask.FinalizeCommand(strName.c_str());
      // The content of a command is its raw markup: read it back later.
      a_strDescription += "E " + std::to_string(a_iDepth + 1) + " " + xmltest::Hex(strName) + "\nC ?\n" + strChildren;
      continue;
    }
    std::string strValue;
    std::string strContent;
    if (iKind < 5) {
      strValue = Pick(a_rnd, s_strPlain, 0, 20);
      a_osxmltask.AddArgument(strName.c_str(), strValue.c_str());
    } else if (iKind < 6) {
      int iValue = static_cast<int>(a_rnd());
      a_osxmltask.AddArgument(strName.c_str(), iValue);
      strValue = std::to_string(iValue);
    } else if (iKind < 8) {
      do strValue = Pick(a_rnd, s_strMarked, 0, 20);
      while (strValue.find("]]>") != std::string::npos);
      a_osxmltask.AddArgumentSafe(strName.c_str(), strValue.c_str());
    } else {
      do strValue = Pick(a_rnd, s_strMarked, 0, 20);
      while (strValue.find("]]>") != std::string::npos || strValue.find('&') != std::string::npos);
      a_osxmltask.AddArgumentCheck(strName.c_str(), strValue.c_str());
    }
    a_strDescription +=
        "E " + std::to_string(a_iDepth + 1) + " " + xmltest::Hex(strName) + "\nC " + xmltest::Hex(strValue) + "\n";
  }
}

Built BuildRandomTask(std::mt19937& a_rnd, int a_iId) {
  COsXmlTask osxmltask("", 0);
  Built built;
  osxmltask.StartTask(a_iId, a_iId / 2, (a_iId % 3) ? "success" : nullptr);
  built.strDescription = "E 0 " + xmltest::Hex("task") + "\nA " + xmltest::Hex("id") + " ?\nA " +
                         xmltest::Hex("reply") + " ?\nA " + xmltest::Hex("bytes") + " ?\nC ?\n";
  if (a_iId % 3) {
    built.strDescription += "E 1 " + xmltest::Hex("reportstatus") + "\nC ?\nE 2 " + xmltest::Hex("status") +
                            "\nC " + xmltest::Hex("success") + "\n";
  }
  osxmltask.StartCommand("command", 1);
  built.strDescription += "E 1 " + xmltest::Hex("command") + "\nC ?\n";
  BuildChildren(osxmltask, a_rnd, 1, built.strDescription);
  osxmltask.FinalizeCommand("command");
  osxmltask.FinalizeTask();
  EXPECT_FALSE(osxmltask.IsError(false));
  built.strText = osxmltask.GetTaskBuffer();
  EXPECT_EQ(built.strText.size(), osxmltask.Size());
  return built;
}

// Blanks out the values the description cannot know in advance (task
// properties and the raw markup of commands).
std::string MaskUnknown(const std::string& a_strDescription, const std::string& a_strExpected) {
  std::vector<std::string> vecGot = testsupport::Lines(a_strDescription);
  std::vector<std::string> vecExpected = testsupport::Lines(a_strExpected);
  for (size_t i = 0; i < vecGot.size() && i < vecExpected.size(); ++i) {
    const std::string& strExpected = vecExpected[i];
    if (strExpected.size() > 2 && strExpected.compare(strExpected.size() - 2, 2, " ?") == 0) {
      size_t sizet = vecGot[i].rfind(' ');
      if (sizet != std::string::npos) vecGot[i] = vecGot[i].substr(0, sizet) + " ?";
    }
  }
  std::string str;
  for (const std::string& strLine : vecGot) str += strLine + "\n";
  return str;
}

TEST(OsXmlTask, BuiltTasksAreWellFormedAndReadBack) {
  std::mt19937 rnd(4242);
  std::vector<std::string> vecArgv{"xmllint", "--noout"};
  COsXml osxml;
  for (int i = 0; i < 120; ++i) {
    Built built = BuildRandomTask(rnd, i * 7919);
    // bytes is the real length through the final line feed.
    uint64_t u64Bytes = 0;
    ASSERT_TRUE(COsXml::GetTaskPropertyBytes(built.strText.c_str(), &u64Bytes));
    EXPECT_EQ(u64Bytes, built.strText.size());
    EXPECT_EQ(built.strText.back(), '\n');
    uint64_t u64Id = 0;
    ASSERT_TRUE(COsXml::GetTaskPropertyId(built.strText.c_str(), &u64Id));
    EXPECT_EQ(u64Id, static_cast<uint64_t>(i * 7919));

    ASSERT_EQ(osxml.DocumentLoad(built.strText.c_str()), OS_STS_SUCCESS) << built.strText;
    EXPECT_EQ(MaskUnknown(xmltest::DescribeDocument(osxml), built.strDescription), built.strDescription)
        << built.strText;

    std::string strFile = testsupport::RootPath("task" + std::to_string(i) + ".xml");
    testsupport::WriteFile(strFile, built.strText);
    vecArgv.push_back(strFile);
  }
  vecArgv.push_back(testsupport::RootPath("success.xml"));
  testsupport::WriteFile(vecArgv.back(), COsXmlTask::ReportStatusSuccess());
  vecArgv.push_back(testsupport::RootPath("fail.xml"));
  testsupport::WriteFile(vecArgv.back(), COsXmlTask::ReportStatusFail());
  int iStatus = -1;
  std::string strOut = testsupport::RunProgram(vecArgv, &iStatus);
  EXPECT_EQ(iStatus, 0) << strOut;
}

// ---------------------------------------------------------------------------
// Named builders: one per-thread block of the memory service per thread.
// ---------------------------------------------------------------------------
std::string BuildEvent(COsXmlTask& a_osxmltask, int a_iId, const char* a_szEvent) {
  a_osxmltask.StartTask(a_iId, 0, nullptr);
  a_osxmltask.StartCommand("reportevent", 1);
  a_osxmltask.AddArgument("event", a_szEvent);
  a_osxmltask.FinalizeCommand("reportevent");
  a_osxmltask.FinalizeTask();
  return a_osxmltask.GetTaskBuffer();
}

TEST(OsXmlTaskNamed, EachThreadWritesItsOwnBlock) {
  COsMem osmem(OS_MEM_METHOD_MALLOC, 0);
  OsMemSettings osmemsettings;
  const char* pcMain = nullptr;
  {
    COsXmlTask osxmltask("ReportEventReply", 100000);
    const std::string strMain = BuildEvent(osxmltask, 1, "pagesize");
    pcMain = osxmltask.GetTaskBuffer();
    ASSERT_NE(pcMain, nullptr);
    ASSERT_EQ(osmem.GetSettings(static_cast<const void*>(pcMain), &osmemsettings, true), OS_STS_SUCCESS);
    EXPECT_NE(std::string(osmemsettings.szName).find(":ReportEventReply:"), std::string::npos);
    EXPECT_GE(osmemsettings.u64Size, 100000u);

    // Another thread builds through the same builder into a block of its own.
    std::string strOther;
    const char* pcOther = nullptr;
    std::thread thread([&] {
      strOther = BuildEvent(osxmltask, 2, "paperjam");
      pcOther = osxmltask.GetTaskBuffer();
    });
    thread.join();
    EXPECT_NE(pcOther, pcMain);
    EXPECT_NE(strOther.find("<event>paperjam</event>"), std::string::npos);
    uint64_t u64Bytes = 0;
    ASSERT_TRUE(COsXml::GetTaskPropertyBytes(strOther.c_str(), &u64Bytes));
    EXPECT_EQ(u64Bytes, strOther.size());
    // The first thread's message is untouched.
    EXPECT_EQ(std::string(osxmltask.GetTaskBuffer()), strMain);
    EXPECT_EQ(osxmltask.GetTaskBuffer(), pcMain);
    EXPECT_FALSE(osxmltask.IsError(false));
  }
  // The builder released its blocks.
  EXPECT_NE(osmem.GetSettings(static_cast<const void*>(pcMain), &osmemsettings, true), OS_STS_SUCCESS);
}

TEST(OsXmlTaskNamed, WithoutMemoryServiceANamedBuilderKeepsAPrivateBuffer) {
  ASSERT_EQ(g_posmem, nullptr);
  COsXmlTask osxmltask("ReportEventReply", 0);
  const std::string strEvent = BuildEvent(osxmltask, 3, "x");
  EXPECT_EQ(strEvent.size(), osxmltask.Size());
  EXPECT_FALSE(osxmltask.IsError(false));
}

TEST(OsXmlTaskNamed, NameOf64CharactersIsRefused) {
  COsMem osmem(OS_MEM_METHOD_MALLOC, 0);
  testsupport::LogCapture logcapture;
  COsXmlTask osxmltask(std::string(64, 'n').c_str(), 0);
  EXPECT_TRUE(osxmltask.IsError(true));
  EXPECT_TRUE(logcapture.Contains("xmltask>>> name too long..."));
  // It still builds, in a private buffer.
  const std::string strEvent = BuildEvent(osxmltask, 4, "y");
  EXPECT_EQ(strEvent.size(), osxmltask.Size());
  OsMemSettings osmemsettings;
  ASSERT_EQ(osmem.GetSettings(static_cast<const void*>(osxmltask.GetTaskBuffer()), &osmemsettings, true), OS_STS_SUCCESS);
  EXPECT_EQ(std::string(osmemsettings.szName).find(':'), std::string::npos);
}

}  // namespace
