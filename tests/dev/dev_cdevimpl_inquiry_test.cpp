// The model's report inquiry built from configurations a scanner could
// report: which unit's keys it reads, values the document must protect, a
// value it cannot carry, and a key with more values than the configuration
// holds. Every inquiry must stay a document xmllint reads. (Its children in
// order, for the stand-ins' models: tests/drv/check_inquiry.py.)
#include <string>
#include <vector>

#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevimpl.h"
#include "dev_device_fixture.h"

namespace {

class DevInquiry : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    SetConfigured(OS_CFGTAG_FORCENEXILOFF, "1");
    ASSERT_EQ(m_pdev->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdev->SessionBegin(Message), OS_STS_SUCCESS) << m_plog->Text();
  }
  static EOSSTS Message(EDEVDLG, EDEVMSG, const char*, long, EDEVBUTTONS) { return OS_STS_SUCCESS; }

  // The inquiry built anew; xmllint must read it.
  std::string Inquiry() {
    devtest::Impl(*m_pdev).CreateReportInquiry();
    const char* szInquiry = m_pdev->GetReportInquiry();
    EXPECT_NE(szInquiry, nullptr);
    const std::string strInquiry = szInquiry ? szInquiry : "";
    const std::string strPath = testsupport::RootPath("inquiry.xml");
    testsupport::WriteFile(strPath, strInquiry);
    int iStatus = -1;
    const std::string strLint = testsupport::RunProgram({"xmllint", "--noout", strPath}, &iStatus);
    EXPECT_EQ(iStatus, 0) << strLint << strInquiry;
    return strInquiry;
  }
  // The element of that id, as its text stands; empty when there is none.
  static std::string Element(const std::string& a_strInquiry, const std::string& a_strId) {
    const size_t sizetId = a_strInquiry.find("<id>" + a_strId + "</id>");
    if (sizetId == std::string::npos) return std::string();
    const size_t sizetStart = a_strInquiry.rfind("\t<", sizetId - 3);
    const size_t sizetEnd = a_strInquiry.find("\n\t</", sizetId);
    return a_strInquiry.substr(sizetStart, sizetEnd - sizetStart);
  }
  static size_t Count(const std::string& a_strText, const std::string& a_strNeedle) {
    size_t sizetCount = 0;
    for (size_t sizet = a_strText.find(a_strNeedle); sizet != std::string::npos;
         sizet = a_strText.find(a_strNeedle, sizet + 1)) {
      ++sizetCount;
    }
    return sizetCount;
  }
  void Model(EDBCONFIGTARGET a_edbconfigtarget, bool a_blHas) {
    if (a_blHas) {
      m_pdatabase->ConfigSetString("model", "mapleB", a_edbconfigtarget);
    } else {
      m_pdatabase->ConfigDelete("model", a_edbconfigtarget);
    }
  }
};

// The feeder's keys unless only the flatbed names its model.
TEST_F(DevInquiry, TheUnitWhoseKeysAreRead) {
  m_pdatabase->ConfigEnumAdd("barcodetype", "feedercode", DB_CONFIGTARGET_ADF);
  m_pdatabase->ConfigEnumAdd("barcodetype", "flatbedcode", DB_CONFIGTARGET_FLATBED);
  m_pdatabase->ConfigRangeSetMin("sheetwidth", 600, DB_CONFIGTARGET_FLATBED);
  m_pdatabase->ConfigRangeSetMax("sheetwidth", 9000, DB_CONFIGTARGET_FLATBED);
  const struct {
    bool blFeeder;
    bool blFlatbed;
    const char* szValue;
  } s_acase[] = {{false, false, "feedercode"}, {false, true, "flatbedcode"}, {true, true, "feedercode"}};
  for (const auto& testcase : s_acase) {
    SCOPED_TRACE(testcase.szValue);
    Model(DB_CONFIGTARGET_ADF, testcase.blFeeder);
    Model(DB_CONFIGTARGET_FLATBED, testcase.blFlatbed);
    const std::string strInquiry = Inquiry();
    EXPECT_EQ(Element(strInquiry, "barcodetype"),
              std::string("\t<enum>\n\t\t<id>barcodetype</id>\n\t\t<value>") + testcase.szValue + "</value>");
    const bool blFlatbed = std::string(testcase.szValue) == "flatbedcode";
    EXPECT_EQ(Element(strInquiry, "sheetwidth").find("<rangemin>600</rangemin>") != std::string::npos, blFlatbed);
  }
}

// "&", "<" and ">" go as CDATA; a value holding "]]>" drops its element
// alone, logged.
TEST_F(DevInquiry, ValuesTheDocumentMustProtect) {
  for (const char* szValue : {"a&b", "<x>", "plain"})
    m_pdatabase->ConfigEnumAdd("imageformat", szValue, DB_CONFIGTARGET_COMMON);
  m_pdatabase->ConfigEnumAdd("consumablemetertype", "roller]]>pad", DB_CONFIGTARGET_COMMON);
  const std::string strInquiry = Inquiry();
  const std::string strFormats = Element(strInquiry, "imageformat");
  EXPECT_NE(strFormats.find("<value><![CDATA[a&b]]></value>"), std::string::npos) << strFormats;
  EXPECT_NE(strFormats.find("<value><![CDATA[<x>]]></value>"), std::string::npos) << strFormats;
  EXPECT_NE(strFormats.find("<value>plain</value>"), std::string::npos) << strFormats;
  EXPECT_EQ(Element(strInquiry, "consumablemetertype"), "");
  EXPECT_TRUE(m_plog->Contains("CreateReportInquiry: <enum> consumablemetertype cannot be written, left out..."));
  // Everything after it is still there.
  EXPECT_NE(Element(strInquiry, "sheetwidth"), "");
  EXPECT_NE(strInquiry.find("\t<supported>\n"), std::string::npos);
  EXPECT_EQ(strInquiry.substr(strInquiry.size() - 17), "</reportinquiry>\n");
}

// A key with 500 values: the configuration keeps what it has room for, and
// the inquiry lists every value kept.
TEST_F(DevInquiry, AKeyWithFiveHundredValues) {
  for (int i = 0; i < 500; ++i) {
    char szValue[16];
    std::snprintf(szValue, sizeof szValue, "meter%03d", i);
    m_pdatabase->ConfigEnumAdd("consumablemetertype", szValue, DB_CONFIGTARGET_COMMON);
  }
  size_t sizetKept = 0;
  for (const char* sz = m_pdatabase->ConfigEnumGetFirst("consumablemetertype", DB_CONFIGTARGET_COMMON); sz;
       sz = m_pdatabase->ConfigEnumGetNext("consumablemetertype", sz, DB_CONFIGTARGET_COMMON)) {
    ++sizetKept;
  }
  ASSERT_GT(sizetKept, 100u);
  const std::string strInquiry = Inquiry();
  EXPECT_EQ(Count(Element(strInquiry, "consumablemetertype"), "<value>"), sizetKept);
}

}  // namespace
