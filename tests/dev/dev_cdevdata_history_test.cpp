// The scan history file of the staged simulated scanner, judged by a
// decoder written from the format alone (tests/tools/history_decode.py):
// jobs scanned and jobs recorded directly with a clock of the test's, a
// changed driver version, the XML export read by xmllint and ElementTree,
// files a writer was killed in, several writer processes, and crafted bad
// files.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "dev_cdevdata.h"
#include "dev_cdevhistory.h"
#include "dev_devdata_fixture.h"
#include "dev_scan_fixture.h"
#include "os_cosresource.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFile;

constexpr const char s_szSerial[] = "SIMA0001";
const std::string s_strTools = std::string(SCANDRV_DEV_TESTS) + "/../tools";

OsTimeRecord s_ostimerecordEnd = {};
void TestClock(OsTimeRecord* a_postimerecord) { *a_postimerecord = s_ostimerecordEnd; }

OsTimeRecord Time(int a_iYear, int a_iMonth, int a_iDay, int a_iHour, int a_iMinute, int a_iSecond) {
  OsTimeRecord ostimerecord = {};
  ostimerecord.u16Year = static_cast<uint16_t>(a_iYear);
  ostimerecord.u16Month = static_cast<uint16_t>(a_iMonth);
  ostimerecord.u16Day = static_cast<uint16_t>(a_iDay);
  ostimerecord.u16Hour = static_cast<uint16_t>(a_iHour);
  ostimerecord.u16Minute = static_cast<uint16_t>(a_iMinute);
  ostimerecord.u16Second = static_cast<uint16_t>(a_iSecond);
  return ostimerecord;
}

class DevHistory : public devtest::ScanFixture {
 protected:
  void SetUp() override {
    ScanFixture::SetUp();
    SetConfigured(OS_CFGTAG_ROOTPATH, testsupport::RootPath("var"));
    SetConfigured(OS_CFGTAG_MODELDIRECTORYREAL, "kv");
  }
  void TearDown() override {
    DevHistorySetClock(nullptr);
    DevHistorySetDriverVersion(nullptr);
    DevSetWaitLimit(DEV_WAIT_DATALOCK, -1);
    ScanFixture::TearDown();
  }

  CDevData& Data() { return *Scanner().GetPod().m_pdevdata; }

  // The history files of the scanner's directory, by name.
  static std::vector<std::string> Files() {
    std::vector<std::string> vecstr;
    const std::string strDirectory = devtest::DataDirectory() + "/" + s_szSerial;
    DIR* pdir = opendir(strDirectory.c_str());
    while (dirent* pdirent = pdir ? readdir(pdir) : nullptr) {
      if (std::strstr(pdirent->d_name, ".hst")) vecstr.emplace_back(pdirent->d_name);
    }
    if (pdir) closedir(pdir);
    std::sort(vecstr.begin(), vecstr.end());
    return vecstr;
  }
  std::string HistoryFile() {
    const char* szModel = m_pdatabase->ConfigGetString("model", DB_CONFIGTARGET_ADF);
    return devtest::ScannerFile(s_szSerial, std::string(szModel ? szModel : "") + "_" + s_szSerial + ".hst");
  }

  // Each expression evaluated with h the decoded file (history_decode.decode)
  // and data its bytes, one line each.
  static std::vector<std::string> Decoded(const std::string& a_strPath, const std::vector<std::string>& a_vecstrExpr) {
    std::string strScript =
        "import sys\nsys.path.insert(0, sys.argv[1])\nimport history_decode\n"
        "data = open(sys.argv[2], 'rb').read()\nh = history_decode.decode(data)\n";
    for (const std::string& str : a_vecstrExpr) strScript += "print(" + str + ")\n";
    int iStatus = -1;
    std::vector<std::string> vecstr =
        testsupport::Lines(testsupport::RunPython(strScript, {s_strTools, a_strPath}, &iStatus));
    if (iStatus != 0) vecstr.assign(1, "decoder failed");
    return vecstr;
  }
  std::string Decoded(const std::string& a_strExpr) { return Decoded(HistoryFile(), {a_strExpr}).front(); }
  static void Craft(const std::vector<std::string>& a_vecstrArgs) {
    std::vector<std::string> vecstr = {SCANDRV_PYTHON, s_strTools + "/history_decode.py"};
    vecstr.insert(vecstr.end(), a_vecstrArgs.begin(), a_vecstrArgs.end());
    int iStatus = -1;
    testsupport::RunProgram(vecstr, &iStatus);
    ASSERT_EQ(iStatus, 0);
  }

  // A job recorded directly: the clock ends it at a_ostimerecordEnd.
  void Job(const OsTimeRecord& a_ostimerecordStart, const OsTimeRecord& a_ostimerecordEnd, unsigned a_uImages = 2,
           unsigned a_uSheets = 1, unsigned a_uMultifeeds = 0, EDEVSTS a_edevsts = DEV_STS_ENDOFJOB) {
    s_ostimerecordEnd = a_ostimerecordEnd;
    DevHistorySetClock(TestClock);
    OsTimeRecord ostimerecordStart = a_ostimerecordStart;
    Data().CreateScanHistory(DB_FIRMWARE_ADF, m_pdatabase.get(), a_edevsts, &ostimerecordStart, a_uMultifeeds,
                             a_uImages, a_uSheets);
  }
  void Job() { Job(Time(2024, 5, 1, 10, 0, 0), Time(2024, 5, 1, 10, 0, 30)); }

  // One batch through the facade, to its end.
  void Batch() {
    ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS) << m_plog->Text();
    Drain();
    m_pdevScan->ScanEnd();
  }

  // The export of the history file; its status.
  EOSSTS Export(const std::string& a_strXml) {
    return m_pdevScan->UnpackScanHistory(a_strXml.c_str(), HistoryFile().c_str());
  }
  // Whether xmllint finds the file well-formed.
  static bool WellFormed(const std::string& a_strPath) {
    int iStatus = -1;
    testsupport::RunProgram({"xmllint", "--noout", a_strPath}, &iStatus);
    return iStatus == 0;
  }
  // Each expression evaluated with root the export's root element.
  static std::vector<std::string> Xml(const std::string& a_strPath, const std::vector<std::string>& a_vecstrExpr) {
    std::string strScript = "import sys, xml.etree.ElementTree as ET\nroot = ET.parse(sys.argv[1]).getroot()\n";
    for (const std::string& str : a_vecstrExpr) strScript += "print(" + str + ")\n";
    int iStatus = -1;
    std::vector<std::string> vecstr = testsupport::Lines(testsupport::RunPython(strScript, {a_strPath}, &iStatus));
    if (iStatus != 0) vecstr.assign(1, "unreadable");
    return vecstr;
  }
};

// Two identical batches: the global header, one driver header whose "c" is
// the library's LOOKUP, two scan records with the batch's counts, the
// second ending in "z"; the application slot holds the configured name.
TEST_F(DevHistory, TwoIdenticalBatchesWriteTwoRecords) {
  SetConfigured(OS_CFGTAG_APPLICATION, "/usr/local/bin/frontend.EXE");
  OpenSession({{"pages", "3"}});
  Batch();
  Batch();
  ASSERT_TRUE(FileExists(HistoryFile())) << m_plog->Text();
  const std::vector<std::string> vecstr = Decoded(
      HistoryFile(),
      {"h['error']", "[r[0] for r in h['records'][:5]]", "(h['global']['lastdb_at'], h['global']['apps_at'])",
       "(h['global']['serial'], h['global']['model'])", "len(h['headers']), h['headers'][0]['driver']",
       "[(s.get('images'), s.get('sheets'), s['status'], s['settings_tag']) for s in h['scans']]",
       "h['global']['apps']", "h['records'][-1][0]", "h['global']['lastdb'] == [h['scans'][0]['block_at'], "
       "h['scans'][0]['block_length']]", "h['headers'][0]['lookup_at']", "h['headers'][0]['lookup_length']",
       "len(h['headers'][0]['statuses']), h['headers'][0]['statuses'][12]"});
  ASSERT_EQ(vecstr.size(), 12u);
  EXPECT_EQ(vecstr[0], "None");
  EXPECT_EQ(vecstr[1], "['0', '1', '2', '3', '4']");
  EXPECT_EQ(vecstr[2], "(67, 76)");
  const char* szModel = m_pdatabase->ConfigGetString("model", DB_CONFIGTARGET_ADF);
  EXPECT_EQ(vecstr[3], std::string("('") + s_szSerial + "', '" + szModel + "')");
  EXPECT_EQ(vecstr[4], "1 " + std::to_string(DevHistoryVersionNumber(g_poscfg->GetVersion(true))));
  EXPECT_EQ(vecstr[5], "[(6, 3, 12, 'X'), (6, 3, 12, 'z')]") << m_plog->Text();
  EXPECT_EQ(vecstr[6], "['frontend', '', '', '', '', '']");
  EXPECT_EQ(vecstr[7], "z");
  EXPECT_EQ(vecstr[8], "True");
  EXPECT_EQ(vecstr[11], "32 ENDOFJOB");
  // "c" byte for byte.
  COsResource osresource;
  ASSERT_EQ(osresource.Open(SCANDRV_LIBRARY_PATH, "LOOKUP", OS_RESOURCETYPE_DATA), OS_STS_SUCCESS);
  const std::string strLookup(static_cast<const char*>(osresource.GetPointer()), osresource.GetSize());
  const std::string strFile = ReadFile(HistoryFile());
  const size_t sizetAt = std::stoul(vecstr[9]);
  EXPECT_EQ(vecstr[10], std::to_string(strLookup.size()));
  EXPECT_TRUE(strFile.compare(sizetAt, strLookup.size(), strLookup) == 0);
}

// The time record's tag by where end and start differ, the counts' tags by
// their values, absent for 0.
TEST_F(DevHistory, TimesAndCountsTakeTheirWidths) {
  OpenSession();
  struct {
    OsTimeRecord ostimerecordStart, ostimerecordEnd;
    unsigned uImages, uSheets, uMultifeeds;
    const char* szExpected;  // time tag, then (tag, value) of each count
  } const acase[] = {
      {Time(2024, 5, 1, 10, 0, 1), Time(2024, 5, 1, 10, 0, 59), 2, 1, 0, "A [59] N:2 Q:1"},
      {Time(2024, 5, 1, 23, 59, 59), Time(2024, 5, 2, 0, 0, 1), 300, 12, 3, "D [2, 0, 0, 1] O:300 Q:12 T:3"},
      {Time(2024, 12, 31, 23, 59, 59), Time(2025, 1, 1, 0, 0, 1), 10, 0, 70000, "F [125, 1, 1, 0, 0, 1] N:10 V:70000"},
      {Time(2024, 5, 31, 10, 0, 0), Time(2024, 6, 1, 10, 0, 0), 0, 0, 0, "E [6, 1, 10, 0, 0] -"},
  };
  for (const auto& c : acase) {
    Job(c.ostimerecordStart, c.ostimerecordEnd, c.uImages, c.uSheets, c.uMultifeeds);
    const std::string str = Decoded(
        "(lambda s: s['time_tag'] + ' ' + str(s['end_stored']) + ' ' + (' '.join(t + ':' + str(v) for t, v in "
        "((s.get('images_tag'), s.get('images')), (s.get('sheets_tag'), s.get('sheets')), "
        "(s.get('multifeeds_tag'), s.get('multifeeds'))) if t) or '-'))(h['scans'][-1])");
    EXPECT_EQ(str, c.szExpected);
  }
  EXPECT_EQ(Decoded("h['error'], len(h['scans'])"), "None 4");
  // The raw widths: "O" two bytes, "V" four.
  EXPECT_EQ(Decoded("[(r[0], r[3]) for r in h['records'] if r[0] in 'NOPQRSTUV']"),
            "[('N', 1), ('Q', 1), ('O', 2), ('Q', 1), ('T', 1), ('N', 1), ('V', 4)]");
}

}  // namespace
