// Bounded string toolkit: copies and appends that fit or change nothing,
// prints that cut and report, conversions and the SHA-256 digest.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "os_cosstring.h"
#include "test_support.h"

namespace {

TEST(COsStringCopy, CopiesWhenItFitsAndLeavesDstOtherwise) {
  char sz[5] = "xyz";
  COsString::SStrCpy(sz, sizeof(sz), "abcd");
  EXPECT_STREQ(sz, "abcd");
  COsString::SStrCpy(sz, sizeof(sz), "abcde");
  EXPECT_STREQ(sz, "abcd");
}

TEST(COsStringPrint, CutsAndReports) {
  char sz[6];
  EXPECT_EQ(COsString::SStrPrintf(sz, 5, "%s", "hello"), -1);
  EXPECT_STREQ(sz, "hell");
  EXPECT_EQ(COsString::SStrPrintf(sz, 6, "%s", "hello"), 5);
  EXPECT_STREQ(sz, "hello");
}

TEST(COsStringSha256, EmptyInput) {
  char sz[65];
  EXPECT_EQ(COsString::EncryptSHA256(sz, sizeof(sz), "", 0), OS_STS_SUCCESS);
  EXPECT_STREQ(sz, "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
}

TEST(COsStringSearch, FindsAfterPartialMatch) {
  const char* sz = "aab";
  EXPECT_EQ(COsString::StrNstr(sz, "ab", 3), sz + 1);
}

}  // namespace
