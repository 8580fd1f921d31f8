// The XML reader: loading, the cursor, contents and properties, bad
// documents, truncated input and the raw-task helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "os_cosmem.h"
#include "os_cosxml.h"
#include "os_cosxml_walk.h"
#include "log_capture.h"

namespace {

const char* const s_szTask =
    "<?xml version='1.0' encoding='UTF-8'?>\n"
    "<task id='00000000000000000005' reply='00000000000000000000' bytes='00000000000000000300'>\n"
    "\t<getsettings window='1' kind='full'>\n"
    "\t\t<item>xresolution</item>\n"
    "\t\t<label><![CDATA[a<b & c]]></label>\n"
    "\t\t<empty/>\n"
    "\t</getsettings>\n"
    "</task>\n";

std::string Name(COsXml& a_osxml) {
  char sz[256];
  return a_osxml.NodeGetName(sz, sizeof(sz)) == OS_STS_SUCCESS ? sz : "<fail>";
}

std::string Content(COsXml& a_osxml) {
  char sz[4096];
  return a_osxml.NodeGetContent(sz, sizeof(sz)) == OS_STS_SUCCESS ? sz : "<fail>";
}

std::string Property(COsXml& a_osxml, const char* a_szName) {
  char sz[256];
  return a_osxml.NodeGetProperty(a_szName, sz, sizeof(sz)) == OS_STS_SUCCESS ? sz : "<fail>";
}

TEST(OsXml, WalksATask) {
  COsXml osxml;
  EXPECT_EQ(osxml.DocumentGetState(), OS_XML_STATE_FREE);
  ASSERT_EQ(osxml.DocumentLoad(s_szTask), OS_STS_SUCCESS);
  EXPECT_EQ(osxml.DocumentGetState(), OS_XML_STATE_LOADED);

  EXPECT_EQ(Name(osxml), "task");
  EXPECT_EQ(osxml.NodeGetDepth(), 0);
  EXPECT_EQ(Property(osxml, "id"), "00000000000000000005");
  EXPECT_EQ(Property(osxml, "bytes"), "00000000000000000300");

  ASSERT_EQ(osxml.NodeChild(), OS_STS_SUCCESS);
  EXPECT_EQ(Name(osxml), "getsettings");
  EXPECT_EQ(osxml.NodeGetDepth(), 1);
  EXPECT_EQ(Property(osxml, "window"), "1");
  EXPECT_EQ(Property(osxml, "kind"), "full");
  // The content of an element with children is its raw markup.
  EXPECT_EQ(Content(osxml),
            "\n\t\t<item>xresolution</item>\n\t\t<label><![CDATA[a<b & c]]></label>\n\t\t<empty/>\n\t");
  EXPECT_EQ(osxml.NodeSibling(), OS_STS_END_OF_LIST);

  ASSERT_EQ(osxml.NodePush(), OS_STS_SUCCESS);
  ASSERT_EQ(osxml.NodeChild(), OS_STS_SUCCESS);
  EXPECT_EQ(Name(osxml), "item");
  EXPECT_EQ(Content(osxml), "xresolution");
  EXPECT_EQ(osxml.NodeChild(), OS_STS_END_OF_LIST);
  ASSERT_EQ(osxml.NodeSibling(), OS_STS_SUCCESS);
  EXPECT_EQ(Name(osxml), "label");
  EXPECT_EQ(Content(osxml), "a<b & c");
  ASSERT_EQ(osxml.NodeSibling(), OS_STS_SUCCESS);
  EXPECT_EQ(Name(osxml), "empty");
  EXPECT_EQ(Content(osxml), "");
  EXPECT_EQ(osxml.NodeGetDepth(), 2);
  EXPECT_EQ(osxml.NodeSibling(), OS_STS_END_OF_LIST);
  ASSERT_EQ(osxml.NodePop(), OS_STS_SUCCESS);
  EXPECT_EQ(Name(osxml), "getsettings");  // the saved position is back

  char szValue[16];
  EXPECT_EQ(osxml.DocumentGetProperty("xml version", szValue, sizeof(szValue)), OS_STS_SUCCESS);
  EXPECT_STREQ(szValue, "1.0");
  EXPECT_EQ(osxml.DocumentGetProperty("encoding", szValue, sizeof(szValue)), OS_STS_SUCCESS);
  EXPECT_STREQ(szValue, "UTF-8");
  EXPECT_EQ(osxml.DocumentGetProperty("standalone", szValue, sizeof(szValue)), OS_STS_FAIL);
  EXPECT_STREQ(szValue, "");
  EXPECT_EQ(osxml.DocumentGetProperty("encoding", szValue, 5), OS_STS_NOROOM_BUFFER);
  EXPECT_STREQ(szValue, "");

  EXPECT_EQ(osxml.NodeRewind(), OS_STS_SUCCESS);
  EXPECT_EQ(Name(osxml), "task");
}

TEST(OsXml, PropertyAndContentBuffers) {
  COsXml osxml;
  ASSERT_EQ(osxml.DocumentLoad("<a name='12345' other='x'>abcd</a>"), OS_STS_SUCCESS);
  char sz[8];
  std::strcpy(sz, "keep");
  EXPECT_EQ(osxml.NodeGetProperty("missing", sz, sizeof(sz)), OS_STS_FAIL);
  EXPECT_STREQ(sz, "keep");  // untouched when not found
  EXPECT_EQ(osxml.NodeGetProperty("nam", sz, sizeof(sz)), OS_STS_FAIL);
  EXPECT_EQ(osxml.NodeGetProperty("Name", sz, sizeof(sz)), OS_STS_FAIL);  // case-sensitive
  EXPECT_EQ(osxml.NodeGetProperty("name", sz, 5), OS_STS_NOROOM_BUFFER);  // needs exactly 5 characters
  EXPECT_STREQ(sz, "");
  EXPECT_EQ(osxml.NodeGetProperty("name", sz, 6), OS_STS_SUCCESS);
  EXPECT_STREQ(sz, "12345");
  EXPECT_EQ(osxml.NodeGetProperty("name", sz, 0), OS_STS_FAIL);
  EXPECT_EQ(osxml.NodeGetProperty(nullptr, sz, 6), OS_STS_FAIL);
  EXPECT_EQ(osxml.NodeGetProperty("name", nullptr, 6), OS_STS_FAIL);

  EXPECT_EQ(osxml.NodeGetContent(sz, 4), OS_STS_NOROOM_BUFFER);
  EXPECT_EQ(osxml.NodeGetContent(sz, 5), OS_STS_SUCCESS);
  EXPECT_STREQ(sz, "abcd");
  EXPECT_EQ(osxml.NodeGetName(sz, 1), OS_STS_NOROOM_BUFFER);
  EXPECT_EQ(osxml.NodeGetName(sz, 2), OS_STS_SUCCESS);
  EXPECT_STREQ(sz, "a");
  EXPECT_EQ(osxml.NodeGetName(sz, 0), OS_STS_FAIL);
  EXPECT_EQ(osxml.NodeGetName(nullptr, 2), OS_STS_FAIL);

  long lOffset = -1, lSize = -1;
  EXPECT_EQ(osxml.NodeGetContentLocation(&lOffset, &lSize), OS_STS_SUCCESS);
  EXPECT_EQ(lOffset, 26);
  EXPECT_EQ(lSize, 4);
  EXPECT_EQ(osxml.NodeGetContentLocation(nullptr, &lSize), OS_STS_FAIL);
  EXPECT_EQ(osxml.NodeGetContentLocation(&lOffset, nullptr), OS_STS_FAIL);
}

// What the subset accepts and how it reads it.
TEST(OsXml, SubsetReadings) {
  struct Reading {
    const char* szDocument;
    const char* szProperty;  // null: check the content
    const char* szExpected;
  };
  const Reading s_aReading[] = {
      {"\n\r\t <a>x</a>", nullptr, "x"},                               // leading blanks are dropped
      {"<a b='<x> y'>x</a>", "b", "<x> y"},                            // values may hold < > and blanks
      {"<a>&amp;&lt;</a>", nullptr, "&amp;&lt;"},                      // entities are not decoded
      {"<a>before<![CDATA[inside]]>after</a>", nullptr, "inside"},     // only the CDATA text
      {"<a><![CDATA[one]]><![CDATA[two]]></a>", nullptr, "two"},       // the last CDATA section
      {"<a><![CDATA[x]]]></a>", nullptr, "x]"},                        // more than two brackets
      {"<a><![CDATA[]]></a>", nullptr, ""},                            // empty CDATA
      {"<a><![CDATA[<b>not</b> markup]]></a>", nullptr, "<b>not</b> markup"},
      {"<a/x>\n\n\n", nullptr, ""},                                    // the character after "/" is not examined
      {"<a>\n<?pmx v='1'?>text</a>", nullptr, "\n<?pmx v='1'?>text"},  // instructions may stand anywhere
  };
  for (const Reading& r : s_aReading) {
    COsXml osxml;
    ASSERT_EQ(osxml.DocumentLoad(r.szDocument), OS_STS_SUCCESS) << r.szDocument;
    if (r.szProperty) {
      EXPECT_EQ(Property(osxml, r.szProperty), r.szExpected) << r.szDocument;
    } else {
      EXPECT_EQ(Content(osxml), r.szExpected) << r.szDocument;
    }
  }
}

TEST(OsXml, SeveralRootsAndInstructions) {
  COsXml osxml;
  ASSERT_EQ(osxml.DocumentLoad("<?a x='1'?><one/>\n<?b y='2' z='3'?><two k='v'/>\n"), OS_STS_SUCCESS);
  EXPECT_EQ(xmltest::DescribeDocument(osxml),
            "E 0 " + xmltest::Hex("one") + "\nC -\nE 0 " + xmltest::Hex("two") + "\nA " + xmltest::Hex("k") + " " +
                xmltest::Hex("v") + "\nC -\n");
  char sz[8];
  EXPECT_EQ(osxml.DocumentGetProperty("a x", sz, sizeof(sz)), OS_STS_SUCCESS);
  EXPECT_STREQ(sz, "1");
  EXPECT_EQ(osxml.DocumentGetProperty("z", sz, sizeof(sz)), OS_STS_SUCCESS);
  EXPECT_STREQ(sz, "3");
  // A later document replaces the instructions.
  ASSERT_EQ(osxml.DocumentLoad("<plain>x</plain>"), OS_STS_SUCCESS);
  EXPECT_EQ(osxml.DocumentGetProperty("z", sz, sizeof(sz)), OS_STS_END_OF_LIST);
  EXPECT_EQ(osxml.DocumentGetProperty(nullptr, sz, sizeof(sz)), OS_STS_FAIL);
  EXPECT_EQ(osxml.DocumentGetProperty("z", nullptr, sizeof(sz)), OS_STS_FAIL);
  EXPECT_EQ(osxml.DocumentGetProperty("z", sz, 0), OS_STS_FAIL);
}

// ---------------------------------------------------------------------------
// Bad documents: each is refused with its own message and leaves no atoms.
// ---------------------------------------------------------------------------
struct Bad {
  const char* szName;
  std::string strDocument;
  const char* szMessage;
};

std::string Nested(int a_iDepth) {
  std::string str;
  for (int i = 0; i < a_iDepth; ++i) str += "<e" + std::to_string(i) + ">";
  for (int i = a_iDepth - 1; i >= 0; --i) str += "</e" + std::to_string(i) + ">";
  return str;
}

const std::vector<Bad>& BadDocuments() {
  static const std::vector<Bad> s_vec = {
      {"too_short", "<a></a", "a_lDocumentLength is too small..."},
      {"text_first", "text<a></a>", "XML abort...first char not <"},
      {"only_blanks", "\n\n\t       ", "XML abort...first char not <"},
      {"double_quotes", "<a b=\"1\"></a>", "XML abort...can't find ' after '=' in property (spaces after = not allowed). pos=<4>"},
      {"blank_after_equal", "<a b= '1'></a>", "XML abort...can't find ' after '=' in property (spaces after = not allowed). pos=<4>"},
      {"empty_value", "<a b=''></a>", "XML abort...can't find closing ' in property data.  pos=<6>"},
      {"unclosed_value", "<a b='1></a>", "XML abort...can't find closing ' in property data.  pos=<6>"},
      {"no_equal", "<a b></a>", "XML abort...can't find '=' in property. pos=<3>"},
      {"empty_property_name", "<a ='1'></a>", "XML abort...can't find '=' in property. pos=<3>"},
      {"no_blank_between", "<a b='1'c='2'></a>", "XML abort...expected closing bracket '>' or '/>'.  pos=<8>"},
      {"empty_tag_name", "<>text</>", "XML abort...can't find ' ' or '>' or '/>' in tag. pos=<0>"},
      {"endless_tag_name", "<abcdefgh", "XML abort...can't find ' ' or '>' or '/>' in tag. pos=<0>"},
      {"slash_at_end", "<abcdef/", "XML abort...can't find ' ' or '>' or '/>' in tag. pos=<0>"},
      {"comment", "<a><!-- note --></a>", "XML abort...invalid CDATA section. pos=<3>"},
      {"doctype", "<!DOCTYPE a><a/>", "XML abort...invalid CDATA section. pos=<0>"},
      {"cdata_at_end", "<a><![CDATA[", "XML abort...invalid CDATA section. pos=<3>"},
      {"cdata_outside", "<![CDATA[x]]><a/>", "XML abort...CDATA section outside every element. pos=<0>"},
      {"cdata_unterminated", "<a><![CDATA[xyz", "XML abort...nesting problem in document."},
      {"depth_65", Nested(65), "XML abort...exceeded max tag depth. pos=<310>"},
      {"unclosed", "<a><b></b>", "XML abort...nesting problem in document."},
      {"mismatched", "<a><b></c></a>", "XML abort...tags out of synch (closing doesn't match opening) 4 8 14 <a><b></c></a>"},
      {"closing_longer", "<a><b></bb></a>", "XML abort...tags out of synch (closing doesn't match opening) 4 8 15 <a><b></bb></a>"},
      {"more_closing", "</a><a></a>", "XML abort...more closing tags than opens. pos=<0>"},
      {"closing_without_name", "<a></>xx", "XML abort...didn't find '>' in closing tag.  pos=<3>"},
      {"closing_without_bracket", "<a>x</a", "XML abort...didn't find '>' in closing tag.  pos=<4>"},
      {"closing_past_end", "<abcdefghij></a>", "XML abort...ran out of buffer.  pos=<12>"},
      {"instruction_without_equal", "<?xml?><a/>", "XML abort...didn't find '=' in property name. pos=<2>"},
      {"instruction_without_quote", "<?v=1?><a/>", "XML abort...expected single quote. pos=<4>"},
      {"instruction_empty_value", "<?v=''?><a/>", "XML abort...didn't find ending single quote in property. pos=<5>"},
      {"instruction_without_question", "<?v='1'><a/>", "XML abort...expected '?' character. pos=<7>"},
      {"instruction_without_bracket", "<?v='1'?x<a/>", "XML abort...expected '>'. pos=<8>"},
      {"instruction_only", "<?xml version='1.0'?>\n", "XML abort...no element in document."},
      // Well-formed XML outside the subset, once read as a wrong tree.
      {"blank_before_slash", "<root><a /><b x='1'/></root>", "XML abort...bad character in property name. pos=<9>"},
      {"blank_before_equal", "<a b ='1'>x</a>", "XML abort...bad character in property name. pos=<4>"},
      {"two_blanks_between", "<a b='1'  c='2'>x</a>", "XML abort...bad character in property name. pos=<9>"},
      {"blank_before_bracket", "<a b='1' ><c d='2'/></a>", "XML abort...bad character in property name. pos=<9>"},
      {"line_break_in_tag", "<a\nb='1'>x</a>", "XML abort...bad character in tag name. pos=<2>"},
      {"line_break_before_bracket", "<a\r\n>x</a>", "XML abort...bad character in tag name. pos=<2>"},
      {"tab_between", "<a\tb='1'/>", "XML abort...bad character in tag name. pos=<2>"},
      {"line_break_in_property_name", "<a b\nc='1'/>", "XML abort...bad character in property name. pos=<4>"},
      {"equal_in_tag_name", "<a=b>x</a=b>", "XML abort...bad character in tag name. pos=<2>"},
      {"quote_in_tag_name", "<a\"b>x</a\"b>", "XML abort...bad character in tag name. pos=<2>"},
      {"angle_in_tag_name", "<a<b>x</a<b>", "XML abort...bad character in tag name. pos=<2>"},
      {"quote_in_property_name", "<a b\"c='1'/>", "XML abort...bad character in property name. pos=<4>"},
  };
  return s_vec;
}

class OsXmlBadDocument : public ::testing::TestWithParam<Bad> {};

TEST_P(OsXmlBadDocument, IsRefusedWithItsMessage) {
  const Bad& bad = GetParam();
  testsupport::LogCapture logcapture;
  COsXml osxml;
  // A good document first: a refused one must leave nothing of either.
  ASSERT_EQ(osxml.DocumentLoad("<good a='1'>x</good>"), OS_STS_SUCCESS);
  EXPECT_EQ(osxml.DocumentLoad(bad.strDocument.c_str(), static_cast<long>(bad.strDocument.size())), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains(bad.szMessage)) << "expected: " << bad.szMessage << "\nlog:\n" << logcapture.Text();
  // The state stays as it was, but no atom is left to walk.
  EXPECT_EQ(osxml.DocumentGetState(), OS_XML_STATE_LOADED);
  EXPECT_EQ(osxml.NodeRewind(), OS_STS_FAIL);
  EXPECT_EQ(osxml.NodeChild(), OS_STS_FAIL);
  EXPECT_EQ(osxml.NodeGetDepth(), -1);
  EXPECT_TRUE(logcapture.Contains("Must call COsXmlImpl::Load first..."));
  char sz[8];
  EXPECT_EQ(osxml.NodeGetName(sz, sizeof(sz)), OS_STS_END_OF_LIST);
}

INSTANTIATE_TEST_SUITE_P(Table, OsXmlBadDocument, ::testing::ValuesIn(BadDocuments()),
                         [](const ::testing::TestParamInfo<Bad>& a_info) { return a_info.param.szName; });

TEST(OsXml, NestingLimit) {
  COsXml osxml;
  ASSERT_EQ(osxml.DocumentLoad(Nested(64).c_str()), OS_STS_SUCCESS);
  for (int i = 1; i < 64; ++i) ASSERT_EQ(osxml.NodeChild(), OS_STS_SUCCESS);
  EXPECT_EQ(osxml.NodeGetDepth(), 63);
  EXPECT_EQ(Name(osxml), "e63");
  EXPECT_EQ(osxml.DocumentLoad(Nested(65).c_str()), OS_STS_FAIL);
}

TEST(OsXml, NodeStackLimit) {
  testsupport::LogCapture logcapture;
  COsXml osxml;
  ASSERT_EQ(osxml.DocumentLoad("<a><b/></a>"), OS_STS_SUCCESS);
  for (int i = 0; i < 63; ++i) ASSERT_EQ(osxml.NodePush(), OS_STS_SUCCESS) << i;
  EXPECT_EQ(osxml.NodePush(), OS_STS_NOROOM_BUFFER);
  EXPECT_TRUE(logcapture.Contains("pod.m_lCurrentNode is in trouble...63"));
  for (int i = 0; i < 63; ++i) ASSERT_EQ(osxml.NodePop(), OS_STS_SUCCESS);
  EXPECT_EQ(osxml.NodePop(), OS_STS_SUCCESS);  // level 0 stays
  EXPECT_EQ(Name(osxml), "a");
}

// Every prefix of a valid document is refused until the root is closed, and
// no load reads past the prefix (each sits in a heap block of its own size,
// so the address sanitizer would see a single byte too many).
TEST(OsXml, TruncatedInputAtEveryLength) {
  const std::string strDocument = s_szTask;
  const size_t sizetComplete = strDocument.rfind('>') + 1;
  COsXml osxml;
  for (size_t sizet = 0; sizet <= strDocument.size(); ++sizet) {
    std::unique_ptr<char[]> pc(new char[sizet ? sizet : 1]);
    std::memcpy(pc.get(), strDocument.data(), sizet);
    EOSSTS eossts = osxml.DocumentLoad(pc.get(), static_cast<long>(sizet));
    EXPECT_EQ(eossts, sizet >= sizetComplete ? OS_STS_SUCCESS : OS_STS_FAIL) << sizet;
  }
}

// A short document in the copy of a longer one must not see the longer
// one's leftovers behind its own end.
TEST(OsXml, ReusedCopyShowsNoLeftovers) {
  COsXml osxml;
  ASSERT_EQ(osxml.DocumentLoad("<long>xxxxxxxxxxxxxxxxxxxx<x/><y/></long>"), OS_STS_SUCCESS);
  EXPECT_EQ(osxml.DocumentLoad("<abcdef/"), OS_STS_FAIL);
  EXPECT_EQ(osxml.DocumentLoad("<abcdefg/>"), OS_STS_SUCCESS);
  EXPECT_EQ(osxml.NodeChild(), OS_STS_END_OF_LIST);
}

TEST(OsXml, LengthAndTerminator) {
  COsXml osxml;
  const char szText[] = "<a>xy</a>\0<b>zz</b>";
  ASSERT_EQ(osxml.DocumentLoad(szText, sizeof(szText) - 1), OS_STS_SUCCESS);  // stops at the terminator
  EXPECT_EQ(Name(osxml), "a");
  EXPECT_EQ(osxml.NodeSibling(), OS_STS_END_OF_LIST);
  ASSERT_EQ(osxml.DocumentLoad("<a>xy</a><b>zz</b>", 9), OS_STS_SUCCESS);  // stops at the length
  EXPECT_EQ(osxml.NodeSibling(), OS_STS_END_OF_LIST);
  EXPECT_EQ(osxml.DocumentLoad("<a/>\0xxxxx", 10), OS_STS_FAIL);  // fewer than 7 characters in effect
  ASSERT_EQ(osxml.DocumentLoad("<a>xy</a>"), OS_STS_SUCCESS);
  EXPECT_EQ(osxml.DocumentLoad(nullptr), OS_STS_FAIL);
  EXPECT_EQ(osxml.NodeRewind(), OS_STS_FAIL);  // the previous document is gone
  EXPECT_EQ(osxml.DocumentLoad(nullptr, 20), OS_STS_FAIL);
}

TEST(OsXml, StatesAndFree) {
  testsupport::LogCapture logcapture;
  COsXml osxml;
  char sz[16];
  EXPECT_EQ(osxml.NodeRewind(), OS_STS_FAIL);
  EXPECT_EQ(osxml.NodeGetName(sz, sizeof(sz)), OS_STS_END_OF_LIST);
  EXPECT_EQ(osxml.NodeGetContent(sz, sizeof(sz)), OS_STS_FAIL);
  std::strcpy(sz, "keep");
  EXPECT_EQ(osxml.NodeGetProperty("a", sz, sizeof(sz)), OS_STS_FAIL);
  EXPECT_STREQ(sz, "");  // emptied when nothing is loaded
  EXPECT_TRUE(logcapture.Contains("Must call COsXmlImpl::Load first..."));

  osxml.DocumentSetStateSkip();
  EXPECT_EQ(osxml.DocumentGetState(), OS_XML_STATE_SKIP);
  EXPECT_FALSE(logcapture.Contains("Setting to skip something that wasn't free..."));
  ASSERT_EQ(osxml.DocumentLoad("<a>text</a>"), OS_STS_SUCCESS);
  EXPECT_EQ(osxml.DocumentGetState(), OS_XML_STATE_LOADED);
  osxml.DocumentSetStateSkip();
  EXPECT_TRUE(logcapture.Contains("Setting to skip something that wasn't free..."));
  EXPECT_EQ(osxml.DocumentFree(), OS_STS_SUCCESS);
  EXPECT_EQ(osxml.DocumentGetState(), OS_XML_STATE_FREE);
  EXPECT_EQ(osxml.NodeChild(), OS_STS_FAIL);
  EXPECT_EQ(osxml.NodeGetDepth(), -1);
  // The freed reader loads the next document into its kept buffers.
  ASSERT_EQ(osxml.DocumentLoad("<b>more text</b>"), OS_STS_SUCCESS);
  EXPECT_EQ(Content(osxml), "more text");
}

TEST(OsXml, AtomIncrementAndGrowth) {
  COsXml osxml;
  EXPECT_EQ(osxml.SetAtomIncrement(100), 256);  // too small: refused
  EXPECT_EQ(osxml.SetAtomIncrement(300), 256);
  EXPECT_EQ(osxml.SetAtomIncrement(256), 300);
  EXPECT_EQ(osxml.SetDispatchAtomIncrement(1000), 256);
  EXPECT_EQ(osxml.SetDispatchAtomIncrement(0), 1000);

  // Several thousand atoms: the array grows many times and keeps every atom.
  std::string str = "<list>";
  for (int i = 0; i < 3000; ++i) str += "<i n='" + std::to_string(i) + "'>" + std::to_string(i * 7) + "</i>";
  str += "</list>";
  ASSERT_EQ(osxml.DocumentLoad(str.c_str()), OS_STS_SUCCESS);
  ASSERT_EQ(osxml.NodeChild(), OS_STS_SUCCESS);
  int iCount = 0;
  do {
    ASSERT_EQ(Property(osxml, "n"), std::to_string(iCount));
    ASSERT_EQ(Content(osxml), std::to_string(iCount * 7));
    ++iCount;
  } while (osxml.NodeSibling() == OS_STS_SUCCESS);
  EXPECT_EQ(iCount, 3000);

  // The array grows by what it holds, never by less than the increment: a
  // fixed step made a large document cost time in the square of its size.
  const struct {
    long lIncrement;
    const char* szAllocated;
  } s_agrowth[] = {{256, "pod.m_lAllocatedAtoms=8192\n"}, {5000, "pod.m_lAllocatedAtoms=10000\n"},
                   {7000, "pod.m_lAllocatedAtoms=7000\n"}};
  for (const auto& growth : s_agrowth) {
    COsXml osxmlFresh;
    osxmlFresh.SetAtomIncrement(growth.lIncrement);
    ASSERT_EQ(osxmlFresh.DocumentLoad(str.c_str()), OS_STS_SUCCESS);  // 6001 atoms
    ::testing::internal::CaptureStdout();
    osxmlFresh.Dump();
    const std::string strOut = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(strOut.rfind(growth.szAllocated, 0), 0u) << growth.lIncrement << "\n" << strOut.substr(0, 60);
  }
}

// The dispatcher's in-place terminators put back what they replaced.
TEST(OsXml, InPlaceTerminators) {
  COsXml osxml;
  ASSERT_EQ(osxml.DocumentLoad("<r><a k='v'>text</a><b><![CDATA[c d]]></b><c/></r>"), OS_STS_SUCCESS);
  COsXmlImpl* posxmlimpl = osxml.GetImpl();
  const std::string strBefore = xmltest::DescribeDocument(osxml);
  ASSERT_EQ(osxml.NodeChild(), OS_STS_SUCCESS);
  for (const char* szName : {"a", "b", "c"}) {
    EXPECT_STREQ(posxmlimpl->NodeGetNamePointer(), szName);
    posxmlimpl->NodeGetNameFix();
    const char* szContent = posxmlimpl->NodeGetContentPointer();
    EXPECT_STREQ(szContent, std::strcmp(szName, "a") == 0 ? "text" : std::strcmp(szName, "b") == 0 ? "c d" : "");
    posxmlimpl->NodeGetContentFix();
    osxml.NodeSibling();
  }
  EXPECT_EQ(xmltest::DescribeDocument(osxml), strBefore);
  ASSERT_EQ(osxml.NodeRewind(), OS_STS_SUCCESS);
  EXPECT_EQ(posxmlimpl->NodeLastPushed(), nullptr);
  ASSERT_EQ(osxml.NodePush(), OS_STS_SUCCESS);
  EXPECT_EQ(posxmlimpl->NodeLastPushed(), posxmlimpl->NodeGetOsXmlAtom());
}

TEST(OsXml, DumpListsTheAtoms) {
  COsXml osxml;
  ASSERT_EQ(osxml.DocumentLoad("<a k='v'>x</a>"), OS_STS_SUCCESS);
  ::testing::internal::CaptureStdout();
  osxml.Dump();
  const std::string strOut = ::testing::internal::GetCapturedStdout();
  const std::string strLine(55, '-');
  EXPECT_EQ(strOut.rfind("pod.m_lAllocatedAtoms=256\npod.m_lAtomsInUse=2\n\nAtom 0:\n" + strLine + "\n", 0), 0u)
      << strOut;
  for (const char* sz : {"eosxmltype=OS_XML_TYPE_TAG\nlDepth=0 lIndex=0\nszName,lName=1,1 \"a\"\nszData,lData=9,1 \"x\"\n"
                         "pCallbacks=null\n",
                         "\nAtom 1:\n", "eosxmltype=OS_XML_TYPE_PROPERTY\nlDepth=0 lIndex=1\nszName,lName=3,1 \"k\"\n"
                                        "szData,lData=6,1 \"v\"\n"}) {
    EXPECT_NE(strOut.find(sz), std::string::npos) << sz << "\n" << strOut;
  }
}

// While the memory service runs, the reader's blocks are tracked by it and
// given back when the reader goes.
TEST(OsXml, BlocksComeFromTheMemoryService) {
  COsMem osmem(OS_MEM_METHOD_MALLOC, 0);
  OsMemSettings osmemsettings;
  std::vector<const void*> vecBlocks;
  {
    COsXml osxml;
    ASSERT_EQ(osxml.DocumentLoad("<?a b='c'?><r><x/></r>"), OS_STS_SUCCESS);
    COsXmlImpl* posxmlimpl = osxml.GetImpl();
    vecBlocks = {posxmlimpl->GetDocument(), posxmlimpl->GetAtoms()};
    for (const void* pv : vecBlocks) EXPECT_EQ(osmem.GetSettings(pv, &osmemsettings, true), OS_STS_SUCCESS);
  }
  for (const void* pv : vecBlocks) EXPECT_NE(osmem.GetSettings(pv, &osmemsettings, true), OS_STS_SUCCESS);
}

// ---------------------------------------------------------------------------
// Raw task texts
// ---------------------------------------------------------------------------
TEST(OsXmlRaw, TaskProperties) {
  testsupport::LogCapture logcapture;
  uint64_t u64 = 0;
  EXPECT_TRUE(COsXml::GetTaskPropertyId(s_szTask + 39, &u64));  // after the declaration
  EXPECT_EQ(u64, 5u);
  EXPECT_TRUE(COsXml::GetTaskPropertyReply(s_szTask + 39, &u64));
  EXPECT_EQ(u64, 0u);
  EXPECT_TRUE(COsXml::GetTaskPropertyBytes(s_szTask + 39, &u64));
  EXPECT_EQ(u64, 300u);
  EXPECT_FALSE(COsXml::GetTaskPropertyId("<Task id='5'>", &u64));
  EXPECT_TRUE(logcapture.Contains("not an XML task"));
  EXPECT_FALSE(COsXml::GetTaskPropertyId("<task reply='5'>", &u64));
  EXPECT_FALSE(COsXml::GetTaskPropertyBytes("<task bytes='12", &u64));  // no closing quote
  EXPECT_TRUE(COsXml::GetTaskPropertyBytes("<task bytes='12'", &u64));
  EXPECT_EQ(u64, 12u);
  // The marker must lie within the first 256 characters.
  std::string strFar = "<task " + std::string(260, ' ') + "id='7'>";
  EXPECT_FALSE(COsXml::GetTaskPropertyId(strFar.c_str(), &u64));
  EXPECT_TRUE(COsXml::GetTaskPropertyId("<task id='99999999999999999999'>", &u64));
  EXPECT_EQ(u64, UINT64_MAX);  // saturates instead of wrapping
  EXPECT_FALSE(COsXml::GetTaskPropertyId(nullptr, &u64));
  EXPECT_TRUE(logcapture.Contains("a_szXml is null"));
  EXPECT_FALSE(COsXml::GetTaskPropertyId("<task id='1'>", nullptr));
  EXPECT_TRUE(logcapture.Contains("a_pu64Id is null"));
  EXPECT_FALSE(COsXml::GetTaskPropertyReply("<task id='1'>", nullptr));
  EXPECT_TRUE(logcapture.Contains("a_pu64Reply is null"));
  EXPECT_FALSE(COsXml::GetTaskPropertyBytes("<task id='1'>", nullptr));
  EXPECT_TRUE(logcapture.Contains("a_pu64Bytes is null"));
}

TEST(OsXmlRaw, CheckForCommand) {
  const char* sz = "<task id='1'>\n\t<getsettings>\n\t\t<window>1</window>\n\t</getsettings>\n</task>\n";
  EXPECT_TRUE(COsXml::CheckForCommand(sz, "<getsettings>", -1));
  EXPECT_TRUE(COsXml::CheckForCommand(sz, "<getsettings>", 28));
  EXPECT_FALSE(COsXml::CheckForCommand(sz, "<getsettings>", 27));  // would end past the count
  EXPECT_FALSE(COsXml::CheckForCommand(sz, "<setsettings>", -1));
  EXPECT_TRUE(COsXml::CheckForCommandAndArgument(sz, "<getsettings>", "<window>", -1));
  EXPECT_FALSE(COsXml::CheckForCommandAndArgument(sz, "<getsettings>", "<camera>", -1));
  EXPECT_FALSE(COsXml::CheckForCommandAndArgument(sz, "<getsettings>", "<window>", 38));
  EXPECT_TRUE(COsXml::CheckForCommandAndArgument(sz, "<getsettings>", "<window>", 39));
  EXPECT_FALSE(COsXml::CheckForCommand(nullptr, "x", -1));
}

TEST(OsXmlRaw, GetContent) {
  char sz[16];
  EXPECT_EQ(COsXml::GetContent("<r><a><![CDATA[x<y]]></a></r>", "<a>", "</a>", sz, sizeof(sz)), OS_STS_SUCCESS);
  EXPECT_STREQ(sz, "x<y");
  EXPECT_EQ(COsXml::GetContent("<r><a>plain</a></r>", "<a>", "</a>", sz, sizeof(sz)), OS_STS_SUCCESS);
  EXPECT_STREQ(sz, "plain");
  EXPECT_EQ(COsXml::GetContent("<r><a></a></r>", "<a>", "</a>", sz, sizeof(sz)), OS_STS_SUCCESS);
  EXPECT_STREQ(sz, "");
  EXPECT_EQ(COsXml::GetContent("<r><a>open", "<a>", "</a>", sz, sizeof(sz)), OS_STS_END_OF_LIST);
  EXPECT_STREQ(sz, "");
  EXPECT_EQ(COsXml::GetContent("<r><b>x</b>", "<a>", "</a>", sz, sizeof(sz)), OS_STS_END_OF_LIST);
  // A long content from a peer never passes the caller's buffer.
  std::string strLong = "<a>" + std::string(100, 'z') + "</a>";
  std::strcpy(sz, "keep");
  EXPECT_EQ(COsXml::GetContent(strLong.c_str(), "<a>", "</a>", sz, sizeof(sz)), OS_STS_NOROOM_BUFFER);
  EXPECT_STREQ(sz, "");
  EXPECT_EQ(COsXml::GetContent("<a>0123456789abcdef</a>", "<a>", "</a>", sz, sizeof(sz)), OS_STS_NOROOM_BUFFER);
  EXPECT_EQ(COsXml::GetContent("<a>0123456789abcde</a>", "<a>", "</a>", sz, sizeof(sz)), OS_STS_SUCCESS);
  EXPECT_EQ(COsXml::GetContent("<a>x</a>", "<a>", "</a>", nullptr, 4), OS_STS_FAIL);
  EXPECT_EQ(COsXml::GetContent("<a>x</a>", "<a>", "</a>", sz, 0), OS_STS_FAIL);
}

}  // namespace
