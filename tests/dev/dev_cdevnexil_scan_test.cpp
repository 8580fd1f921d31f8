// Scans through the image-library adapter: a page of the simulated scanner
// goes in, one output per stream learnt at setup comes back (the page
// itself without a setup), each output is let go; the status words of
// getoutput; outputs too large for the caller; image records of any
// length; the camera that picks the unit.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "dev_cdevnexil_fixture.h"
#include "dp_creportimage.h"

namespace {

using devtest::Commands;
using devtest::LoggedTask;
using simtest::Element;

constexpr size_t s_sizetOutput = 65536;  // what the scan thread passes

class DevNexilScan : public devtest::DevNexilFixture {
 protected:
  // getoutput until the end of the page's outputs, each one checked
  // against its file and let go: the window ids in order.
  std::vector<std::string> FetchOutputs() {
    std::vector<std::string> vec;
    std::vector<char> vcOutput(s_sizetOutput);
    for (int i = 0; i < 16; ++i) {
      const EDEVSTS edevsts = m_pdevnexil->GetOutput(DB_FIRMWARE_ADF, vcOutput.data(), vcOutput.size());
      if (edevsts == DEV_STS_ENDOFOUTPUT) return vec;
      EXPECT_EQ(edevsts, DEV_STS_SUCCESS) << m_plog->Text();
      if (edevsts != DEV_STS_SUCCESS) return vec;
      const std::string strOutput = vcOutput.data();
      EXPECT_EQ(Element(strOutput, "status"), "success");
      const std::string strFile = Element(strOutput, "imagefilename");
      struct stat st = {};
      EXPECT_EQ(stat(strFile.c_str(), &st), 0) << strFile;
      EXPECT_EQ(std::to_string(st.st_size), Element(strOutput, "imagesize"));
      m_pdevnexil->ImageEnd(DB_FIRMWARE_ADF, strFile.c_str());
      EXPECT_FALSE(testsupport::FileExists(strFile));
      vec.push_back(Element(strOutput, "windowid"));
    }
    ADD_FAILURE() << "no end of output";
    return vec;
  }
};

TEST_F(DevNexilScan, APageThroughTheLibrary) {
  const std::string strPage = TakePage();
  ASSERT_FALSE(strPage.empty());
  Open();
  ASSERT_EQ(m_pdevnexil->ResourceBegin(DB_FIRMWARE_ADF), OS_STS_SUCCESS);

  // Without a setup the page comes back as it is.
  ASSERT_EQ(m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 6), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevnexil->SetInput(strPage.c_str()), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(FetchOutputs(), (std::vector<std::string>{Element(strPage, "windowid")}));
  ASSERT_EQ(m_pdevnexil->ScanEnd(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS);

  // With two streams for the front: one output each.
  ASSERT_EQ(m_pdevnexil->SetupBegin(DB_FIRMWARE_ADF, true), OS_STS_SUCCESS) << m_plog->Text();
  AddStream("bitonal", "window_002", "bw", 150);
  AddStream("color", "window_004", "gray_8", 100);
  ASSERT_EQ(m_pdevnexil->SetupEnd(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS) << m_plog->Text();
  ASSERT_EQ(m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 6), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 6), OS_STS_SUCCESS);  // sends nothing
  ASSERT_EQ(m_pdevnexil->SetInput(strPage.c_str()), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(FetchOutputs(), (std::vector<std::string>{"window_002", "window_004"}));
  ASSERT_EQ(m_pdevnexil->ScanEnd(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevnexil->ScanEnd(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS);  // sends nothing
  ASSERT_EQ(m_pdevnexil->ResourceEnd(DB_FIRMWARE_ADF), OS_STS_SUCCESS);
  EXPECT_TRUE(std::filesystem::is_empty(m_strOutputs));

  const std::vector<LoggedTask> vec = TaskLog();
  EXPECT_EQ(Commands(vec), (std::vector<std::string>{
                               "interfaceopen", "sessionbegin", "querysupport", "resourcebegin", "scanbegin",
                               "setinput", "getoutput", "imageend", "getoutput", "scanend", "setupbegin",
                               "windowadd", "windowadd", "setupend", "scanbegin", "setinput", "getoutput",
                               "imageend", "getoutput", "imageend", "getoutput", "scanend", "resourceend"}));
  for (const LoggedTask& loggedtask : vec) EXPECT_NE(loggedtask.strStatus, "fail") << loggedtask.strCommand;
  EXPECT_EQ(vec[4].Arg("imagebuffercount"), "6");
  EXPECT_EQ(vec[10].Arg("setupscan"), "true");
  EXPECT_EQ(vec[13].Arg("cancel"), "false");
  // Each task the adapter sent is XML by xmllint's judgement, and says its
  // own length.
  const std::vector<std::string> vecSent = SentTasks();
  EXPECT_EQ(vecSent.size(), vec.size());
  for (const std::string& strSent : vecSent) {
    EXPECT_EQ(XmlLint(strSent), 0) << strSent;
    uint64_t u64Bytes = 0;
    EXPECT_TRUE(COsXml::GetTaskPropertyBytes(strSent.c_str(), &u64Bytes));
    EXPECT_EQ(u64Bytes, strSent.size()) << strSent;
  }
  // setinput carries the record's fields, not its reportimage element.
  EXPECT_EQ(vec[5].Arg("imagefilename"), Element(strPage, "imagefilename"));
  EXPECT_EQ(vec[5].mapArgument.count("reportimage"), 0u);
}

// The status words of getoutput, and the same "endofoutput" read by the
// reply parser.
TEST_F(DevNexilScan, GetOutputWords) {
  setenv("NEXSIM_GETOUTPUTWORD", "1:success,2:endofoutput,3:nomemory,4:ecdocustomlearnfail,5:invalidstate,6:fail",
         1);
  Open();
  ASSERT_EQ(m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 2), OS_STS_SUCCESS);
  const struct {
    const char* szWord;
    EDEVSTS edevsts;
    bool blBody;
  } acase[] = {
      {"success", DEV_STS_SUCCESS, true},      {"endofoutput", DEV_STS_ENDOFOUTPUT, false},
      {"nomemory", DEV_STS_LOWMEMORY, false},  {"ecdocustomlearnfail", DEV_STS_ECDOCUSTOMLEARNFAIL, true},
      {"invalidstate", DEV_STS_FAIL, false},   {"fail", DEV_STS_FAIL, false},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWord);
    char szOutput[4096] = "stale";
    EXPECT_EQ(m_pdevnexil->GetOutput(DB_FIRMWARE_ADF, szOutput, sizeof szOutput), c.edevsts);
    if (c.blBody) {
      EXPECT_EQ(std::string(szOutput).substr(0, 16), "\n\t<reportstatus>") << szOutput;
      EXPECT_EQ(Element(szOutput, "status"), c.szWord);
      EXPECT_EQ(std::string(szOutput).find("</task>"), std::string::npos);
    } else {
      EXPECT_STREQ(szOutput, "");
    }
  }
  // The library's own end of output, parsed: 6 for the walk, 12 stored.
  const char* szReply = m_pdevnexil->NexPassThrough(DB_FIRMWARE_ADF, "\t<getoutput>\n\t</getoutput>\n");
  ASSERT_EQ(Element(szReply, "status"), "endofoutput");
  CReportImage reportimage(m_pdatabase.get());
  EXPECT_EQ(reportimage.Process(szReply, DB_FIRMWARE_ADF, false), 6);
  EXPECT_EQ(reportimage.GetStatus(), DEV_STS_ENDOFJOB);
}

// A reply whose start tag is written in double quotes and holds "'>" in an
// attribute value gives the same body: the tag ends at its own '>'.
TEST_F(DevNexilScan, GetOutputReadsTheBodyAfterTheWholeStartTag) {
  setenv("NEXSIM_GETOUTPUTWORD", "1:success,2:ecdocustomlearnfail", 1);
  setenv("NEXSIM_DOUBLEQUOTE", "1", 1);
  Open();
  ASSERT_EQ(m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 2), OS_STS_SUCCESS);
  for (EDEVSTS edevsts : {DEV_STS_SUCCESS, DEV_STS_ECDOCUSTOMLEARNFAIL}) {
    char szOutput[4096] = "stale";
    EXPECT_EQ(m_pdevnexil->GetOutput(DB_FIRMWARE_ADF, szOutput, sizeof szOutput), edevsts);
    EXPECT_EQ(std::string(szOutput).substr(0, 16), "\n\t<reportstatus>") << szOutput;
    EXPECT_EQ(std::string(szOutput).find("here"), std::string::npos) << szOutput;
    EXPECT_EQ(std::string(szOutput).find("</task>"), std::string::npos) << szOutput;
  }
}

// An output whose description (100 KiB here) does not fit the 64 KiB the
// scan thread passes: 1, a log line, and the library lets the output go;
// with room enough it comes whole.
TEST_F(DevNexilScan, AnOutputTooLargeForTheCaller) {
  setenv("NEXSIM_PADOUTPUT", "102400", 1);
  const std::string strPage = TakePage();
  ASSERT_FALSE(strPage.empty());
  Open();
  ASSERT_EQ(m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 2), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevnexil->SetInput(strPage.c_str()), OS_STS_SUCCESS);
  std::vector<char> vcOutput(s_sizetOutput, 'x');
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(m_pdevnexil->GetOutput(DB_FIRMWARE_ADF, vcOutput.data(), vcOutput.size()), DEV_STS_FAIL);
  EXPECT_EQ(vcOutput[0], '\0');
  EXPECT_NE(LogFrom(sizetFrom).find("GetOutput: the reply does not fit the output..."), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(m_strOutputs));
  EXPECT_EQ(TaskLog().back().strCommand, "imageend");
  EXPECT_EQ(TaskLog().back().strStatus, "success");

  ASSERT_EQ(m_pdevnexil->SetInput(strPage.c_str()), OS_STS_SUCCESS);
  std::vector<char> vcLarge(256 * 1024);
  EXPECT_EQ(m_pdevnexil->GetOutput(DB_FIRMWARE_ADF, vcLarge.data(), vcLarge.size()), DEV_STS_SUCCESS);
  EXPECT_EQ(Element(vcLarge.data(), "nexsimpad").size(), 102400u);
  EXPECT_EQ(m_pdevnexil->ScanEnd(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS);
  EXPECT_TRUE(std::filesystem::is_empty(m_strOutputs));
}

// An image record longer than 65,535 characters reaches the library whole
// (a cut record would be broken XML); a text without a reportimage element
// sends nothing.
TEST_F(DevNexilScan, ImageRecordsOfAnyLength) {
  const std::string strPage = TakePage();
  ASSERT_FALSE(strPage.empty());
  Open();
  ASSERT_EQ(m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 2), OS_STS_SUCCESS);
  std::string strLong = strPage;
  strLong.insert(strLong.find("</reportimage>"), "\t\t<annotation>" + std::string(300000, 'a') + "</annotation>\n");
  ASSERT_EQ(m_pdevnexil->SetInput(strLong.c_str()), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(TaskLog().back().Arg("annotation"), std::string(200, 'a'));
  EXPECT_EQ(m_pdevnexil->SetBaffle(strLong.c_str()), OS_STS_SUCCESS) << m_plog->Text();

  const size_t sizetTasks = TaskLog().size();
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(m_pdevnexil->SetInput("<cameraid>front</cameraid><imagefilename>x</imagefilename>"), OS_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->SetBaffle("<reportimage><cameraid>front</cameraid>"), OS_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->SetInput(nullptr), OS_STS_FAIL);
  EXPECT_NE(LogFrom(sizetFrom).find("setinput: no <reportimage>..."), std::string::npos);
  EXPECT_EQ(TaskLog().size(), sizetTasks);
  EXPECT_EQ(m_pdevnexil->ScanEnd(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS);
}

// Only "flatbed" itself picks the flatbed: "FLATBED" is the feeder's, and
// the toggle patch goes to the unit of its camera with that camera id.
TEST_F(DevNexilScan, TheCameraPicksTheUnit) {
  ConfigureFlatbed();
  Open(DB_FIRMWARE_ADF);
  Open(DB_FIRMWARE_FLATBED);
  ASSERT_EQ(m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 2), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevnexil->SetToggle("<reportimage><cameraid>FLATBED</cameraid></reportimage>"), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevnexil->SetToggle("<reportimage><cameraid>flatbed</cameraid></reportimage>"), OS_STS_FAIL);
  const std::vector<LoggedTask> vec = TaskLog();
  ASSERT_GE(vec.size(), 2u);
  // The feeder scans and takes the toggle; the flatbed has no scan.
  EXPECT_EQ(vec[vec.size() - 2].strUnit, "adf");
  EXPECT_EQ(vec[vec.size() - 2].Arg("cameraid"), "FLATBED");
  EXPECT_EQ(vec[vec.size() - 2].strStatus, "success");
  EXPECT_EQ(vec.back().strUnit, "flatbed");
  EXPECT_EQ(vec.back().strStatus, "invalidstate");
  // Ids run on across the units.
  for (size_t i = 1; i < vec.size(); ++i) EXPECT_EQ(vec[i].ulId, vec[i - 1].ulId + 1);
  // Tasks to the flatbed carry its own tags.
  EXPECT_TRUE(m_plog->Contains("<DRV2NEXFLATBED><task id=")) << m_plog->Text();
  EXPECT_TRUE(m_plog->Contains("<NEXFLATBED2DRV><task id="));
  EXPECT_EQ(m_pdevnexil->ScanEnd(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS);
  EXPECT_NE(m_pdevnexil->SessionEnd(DB_FIRMWARE_BOTH), nullptr);
  const std::vector<LoggedTask> vecEnd = TaskLog();
  EXPECT_EQ(vecEnd[vecEnd.size() - 2].strCommand, "sessionend");
  EXPECT_EQ(vecEnd[vecEnd.size() - 2].strUnit, "adf");
  EXPECT_EQ(vecEnd.back().strCommand, "sessionend");
  EXPECT_EQ(vecEnd.back().strUnit, "flatbed");
  EXPECT_EQ(m_pdevnexil->SessionEnd(DB_FIRMWARE_BOTH), nullptr);  // both ended already
}

}  // namespace
