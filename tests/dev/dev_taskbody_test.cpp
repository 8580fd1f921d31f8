// The body of a task text: found after the start tag however its attributes
// are quoted, bounded by the caller's buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dev_taskbody.h"
#include "os_cosxmltask.h"

namespace {

TEST(DevTaskBody, FindsTheBodyAfterTheStartTagAndBoundsIt) {
  const std::string strReply = COsXmlTask::ReportStatusSuccess();
  const std::string strBody = "\n\t<reportstatus>\n\t\t<status>success</status>\n\t</reportstatus>\n";
  ASSERT_EQ(strReply.find('\n'), 90u) << "the 91-character task line";
  static const struct {
    const char* szCase;
    std::string strTask;
    size_t sizetBuffer;
    int iStatus;
    std::string strBody;
  } s_arow[] = {
      {"single quotes", strReply, 256, 0, strBody},
      {"double quotes", "<task id=\"1\" reply=\"2\" bytes=\"3\">\n\t<a/>\n</task>\n", 256, 0, "\n\t<a/>\n"},
      {"'> inside a value", "<task id='1' note=\"x'>y\" bytes='3'><b>z</b></task>", 256, 0, "<b>z</b>"},
      {"\"> inside a value", "<task note='say \">' id='1'><c/></task>", 256, 0, "<c/>"},
      {"a prolog first", "<?xml version='1.0'?>\n<task id='1'><d/></task>", 256, 0, "<d/>"},
      {"another element named task...", "<taskforce/><task id='1'>e</task>", 256, 0, "e"},
      {"an empty body", "<task id='1'></task>", 1, 0, ""},
      {"no </task>", "<task id='1'><status>success</status>", 256, 1, ""},
      {"no start tag", "<reply id='1'>x</reply>", 256, 1, ""},
      {"a start tag never ended", "<task id='1>'</task>", 256, 1, ""},
      {"a task that closes itself", "<task id='1'/></task>", 256, 1, ""},
      {"the body fills the buffer exactly", strReply, strBody.size() + 1, 0, strBody},
      {"the body one byte longer than the buffer", strReply, strBody.size(), 2, ""},
  };
  for (const auto& row : s_arow) {
    std::vector<char> vecc(row.sizetBuffer, 'X');
    EXPECT_EQ(DevTaskBody(row.strTask.c_str(), vecc.data(), vecc.size()), row.iStatus) << row.szCase;
    EXPECT_EQ(std::string(vecc.data()), row.strBody) << row.szCase;
  }
}

TEST(DevTaskBody, BadArgumentsAnswerThree) {
  char sz[8] = "X";
  EXPECT_EQ(DevTaskBody(nullptr, sz, sizeof sz), 3);
  EXPECT_EQ(sz[0], '\0');
  EXPECT_EQ(DevTaskBody("<task></task>", nullptr, 8), 3);
  sz[0] = 'X';
  EXPECT_EQ(DevTaskBody("<task></task>", sz, 0), 3);
  EXPECT_EQ(sz[0], 'X');
}

}  // namespace
