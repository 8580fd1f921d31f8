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
#include <memory>
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
    m_pdevdataOwn.reset();
    DevSetWaitLimit(DEV_WAIT_DATALOCK, -1);
    ScanFixture::TearDown();
  }

  CDevData& Data() { return m_pdevdataOwn ? *m_pdevdataOwn : *Scanner().GetPod().m_pdevdata; }
  // Without a session (before forking writers): the scanner's serial
  // number registered as an open would, and a device data of the test's.
  void WithoutSession() {
    m_pdatabase->ConfigEnumAdd("serialnumber", s_szSerial, DB_CONFIGTARGET_ADF);
    m_pdevdataOwn = std::make_unique<CDevData>();
  }
  std::unique_ptr<CDevData> m_pdevdataOwn;

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

// Six slots filled by six names; a seventh goes inline with "G" every time
// and the slots stay; a name over 31 characters takes one slot, cut.
TEST_F(DevHistory, ApplicationsFillSixSlotsThenGoInline) {
  OpenSession();
  const std::string strLong(40, 'L');
  for (const std::string& str : {std::string("a1"), std::string("a2"), std::string("a3"), std::string("a1"), strLong,
                                 strLong, std::string("a5"), std::string("a6"), std::string("a7"), std::string("a7")}) {
    SetConfigured(OS_CFGTAG_APPLICATION, "C:\\apps\\" + str + ".exe");
    Job();
  }
  EXPECT_EQ(Decoded("h['global']['apps']"),
            "['a1', 'a2', 'a3', '" + std::string(31, 'L') + "', 'a5', 'a6']");
  EXPECT_EQ(Decoded("[s['app_tag'] for s in h['scans']]"), "['H', 'I', 'J', 'H', 'K', 'K', 'L', 'M', 'G', 'G']");
  EXPECT_EQ(Decoded("[s['app'] for s in h['scans'][-2:]]"), "['a7', 'a7']");
}

// An imprinter message is kept as as many "X"; the XML export names it.
TEST_F(DevHistory, ImprinterMessagesKeepOnlyTheirLength) {
  OpenSession();
  CDbDatum* pdbdatum = m_pdatabase->FindInBin(DB_BIN_MACHINE, DB_ID_PRINTERWRITESEQUENCEMESSAGE1);
  if (!pdbdatum) {
    pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_PRINTERWRITESEQUENCEMESSAGE1);
    ASSERT_NE(pdbdatum, nullptr);
    m_pdatabase->SetAccess(pdbdatum, DB_ACCESS_READWRITE);
  }
  ASSERT_EQ(pdbdatum->ForceCurrentString("abc"), OS_STS_SUCCESS);
  Job();
  EXPECT_EQ(Decoded("h['scans'][-1]['settings'].get('214')"), "XXX");
  EXPECT_EQ(ReadFile(HistoryFile()).find("abc"), std::string::npos);
}

// A new driver version rewrites "4" in place and puts a driver header
// before the next record; the records before it stay.
TEST_F(DevHistory, ANewDriverVersionWritesANewHeader) {
  OpenSession();
  DevHistorySetDriverVersion("4.10.2");
  Job();
  Job();
  DevHistorySetDriverVersion("4.11");
  Job();
  Job();
  const std::vector<std::string> vecstr =
      Decoded(HistoryFile(), {"h['error']", "h['global']['version']", "[x['driver'] for x in h['headers']]",
                              "''.join(r[0] for r in h['records'] if r[0] in 'abcdeAz')",
                              "[s['settings_tag'] for s in h['scans']]"});
  // The unchanged block stays "z" after the new header: its bytes are what
  // the new table encodes.
  EXPECT_EQ(vecstr, (std::vector<std::string>{"None", "4110000", "[4100200, 4110000]", "abcdeAAzabcdeAzAz",
                                              "['X', 'z', 'z', 'z']"}));
}

// The export of two scans: well-formed, keys, times, scan time, ppm,
// status, values named by the lookup table, and the rear repeating the
// front while the sides may not differ.
TEST_F(DevHistory, TheExportNamesEveryValue) {
  OpenSession();
  m_pdatabase->FindInBin(DB_BIN_MACHINE, DB_ID_SIDESDIFFERENT)->ForceCurrentLong(1);
  Job(Time(2024, 5, 1, 10, 0, 0), Time(2024, 5, 1, 10, 0, 30), 10, 5);
  Job(Time(2024, 5, 1, 10, 0, 0), Time(2024, 5, 1, 10, 0, 0), 2, 1, 1, DEV_STS_PAPERJAM);
  const std::string strXml = testsupport::RootPath("history.xml");
  ASSERT_EQ(Export(strXml), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_TRUE(WellFormed(strXml));
  const std::vector<std::string> vecstr = Xml(
      strXml, {"[s.findtext('key') for s in root]", "[s.findtext('scanstart') + '|' + s.findtext('scanend') for s in root]",
               "[s.findtext('scantime') for s in root]", "[s.findtext('ppm') for s in root]",
               "[s.findtext('status') for s in root]", "[s.findtext('totalmultifeed') for s in root]",
               "all(s.findtext(e.tag.replace('.rb00', '.fb00').replace('.rc00', '.fc00')) == e.text for s in root "
               "for e in s if e.tag.endswith(('.rb00', '.rc00')))",
               "len([e for e in root[0] if e.tag.endswith('.rc00')]) > 0", "root[0].findtext('sidesdifferent')",
               "any(e.tag.startswith('edbid') for e in root[0])"});
  ASSERT_EQ(vecstr.size(), 10u);
  EXPECT_EQ(vecstr[0], "['mapleB_SIMA0001_20240501100000', 'mapleB_SIMA0001_20240501100000']");
  EXPECT_EQ(vecstr[1], "['2024/05/01 10:00:00|2024/05/01 10:00:30', '2024/05/01 10:00:00|2024/05/01 10:00:00']");
  EXPECT_EQ(vecstr[2], "['30', '1']");
  EXPECT_EQ(vecstr[3], "['10', '60']");
  EXPECT_EQ(vecstr[4], "['success', 'paperjam']");
  EXPECT_EQ(vecstr[5], "[None, '1']");
  EXPECT_EQ(vecstr[6], "True");
  EXPECT_EQ(vecstr[7], "True");
  EXPECT_NE(vecstr[8], "None");
  EXPECT_EQ(vecstr[9], "False");
}

// A batch the stand-in ends with a paper jam shows "paperjam".
TEST_F(DevHistory, ABatchEndedByAPaperJamShowsIt) {
  OpenSession({{"pages", "3"}, {"paperjam", "2"}});
  Batch();
  const std::string strXml = testsupport::RootPath("jam.xml");
  ASSERT_EQ(Export(strXml), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(Xml(strXml, {"[s.findtext('status') for s in root]"}).front(), "['paperjam']");
}

// A record torn by a killed writer, or one written whole whose "2" was
// never rewritten: the next job cuts the tear off, points "2" at the
// newest block, and the file decodes whole.
TEST_F(DevHistory, ATornTailIsCutAndTheLastBlockNamed) {
  OpenSession();
  Job();
  const size_t sizetOne = ReadFile(HistoryFile()).size();
  m_pdatabase->FindInBin(DB_BIN_MACHINE, DB_ID_SIDESDIFFERENT)->ForceCurrentLong(2);
  Job();
  const std::string strTwo = ReadFile(HistoryFile());
  // "2" back to the first block, as if the writer died before naming it,
  // then half a record.
  Craft({"patch", HistoryFile(), "67", "0000000000000000"});
  Craft({"append", HistoryFile(), "41" "7c0501"});
  Job();
  EXPECT_EQ(Decoded("h['error'], len(h['scans']), h['global']['lastdb'] == [h['scans'][2]['block_at'], "
                    "h['scans'][2]['block_length']] if h['scans'][2]['settings_tag'] == 'X' else "
                    "h['global']['lastdb'] == [h['scans'][1]['block_at'], h['scans'][1]['block_length']]"),
            "None 3 True");
  EXPECT_EQ(Decoded("[s['settings_tag'] for s in h['scans']]"), "['X', 'X', 'z']");
  EXPECT_TRUE(m_plog->Contains("history: a torn record of 4 bytes was cut off..."));
  EXPECT_TRUE(m_plog->Contains("history: the last settings block was not named"));
  EXPECT_GT(strTwo.size(), sizetOne);
}

// Crafted files: the export answers, its output is well-formed (or absent
// when it fails), and the writer's next job leaves a whole file.
TEST_F(DevHistory, CraftedFilesNeverBreakTheExport) {
  OpenSession();
  Job();
  Job();
  const std::string strGood = ReadFile(HistoryFile());
  const std::string strXml = testsupport::RootPath("crafted.xml");
  struct {
    const char* szName;
    std::vector<std::vector<std::string>> vecvecstrCraft;  // history_decode.py commands after the file name
    EOSSTS eossts;
  } const acase[] = {
      {"empty", {{"cut", "0"}}, OS_STS_SUCCESS},
      {"cut in the global header", {{"cut", "100"}}, OS_STS_SUCCESS},
      {"cut last record", {{"cut", std::to_string(strGood.size() - 1)}}, OS_STS_SUCCESS},
      {"status 200", {{"append", "41" "7c05010a00000a" "57c8" "7a"}}, OS_STS_SUCCESS},
      {"length 2^32-1", {{"append", "71ffffffff00"}}, OS_STS_SUCCESS},
      {"z before any block", {{"cut", "273"}, {"append", "41" "7c05010a00000a" "570c" "7a"}}, OS_STS_SUCCESS},
      {"settings before c", {{"cut", "273"}, {"append", "41" "7c05010a00000a" "570c" "5805" "000102fe01"}},
       OS_STS_SUCCESS},
      {"bad d and e", {{"cut", "273"}, {"append", "6403000000" "3c643e" "6502000000" "3c3c" "41" "7c05010a00000a"
                                                   "570c" "5806" "00ff01020304"}},
       OS_STS_SUCCESS},
      {"attribute id 400", {{"cut", "273"}, {"append", "6422000000" "3c64623e3c693e3c693e3430303c2f693e3c6d3e313c2f6d3e"
                                                          "3c2f693e3c2f64623e"}},
       OS_STS_SUCCESS},
      {"names of 32 characters",
       {{"patch", "1", std::string(64, '4')}, {"patch", "34", "5d5d3e26" + std::string(56, '6')}},
       OS_STS_SUCCESS},
      {"bad c", {{"cut", "273"}, {"append", "6304000000" "3c613e3e"}}, OS_STS_FAIL},
  };
  for (const auto& c : acase) {
    testsupport::WriteFile(HistoryFile(), strGood);
    for (const std::vector<std::string>& vecstr : c.vecvecstrCraft) {
      std::vector<std::string> vecstrArgs = {vecstr[0], HistoryFile()};
      vecstrArgs.insert(vecstrArgs.end(), vecstr.begin() + 1, vecstr.end());
      Craft(vecstrArgs);
    }
    unlink(strXml.c_str());
    EXPECT_EQ(Export(strXml), c.eossts) << c.szName;
    if (c.eossts == OS_STS_SUCCESS) {
      EXPECT_TRUE(WellFormed(strXml)) << c.szName << "\n" << ReadFile(strXml);
    } else {
      EXPECT_FALSE(FileExists(strXml)) << c.szName;
    }
  }
  // Status 200 has no name; the last record cut still closes the scan.
  testsupport::WriteFile(HistoryFile(), strGood);
  Craft({"append", HistoryFile(), "41" "7c05010a00000a" "57c8" "7a"});
  ASSERT_EQ(Export(strXml), OS_STS_SUCCESS);
  EXPECT_EQ(Xml(strXml, {"[s.findtext('status') for s in root]"}).front(), "['success', 'success', '']");
  // A file cut inside the global header is moved aside; the next job
  // starts a new one.
  testsupport::WriteFile(HistoryFile(), strGood.substr(0, 100));
  Job();
  EXPECT_TRUE(m_plog->Contains("Bad history file..."));
  EXPECT_EQ(Files().size(), 1u);
  Job();
  EXPECT_EQ(Files().size(), 2u);
  EXPECT_EQ(Decoded("h['error'], len(h['scans'])"), "None 1");
}

// A child records jobs in a loop and reports each on a pipe; killed at
// random moments and restarted, 30 times. The file decodes whole, holds
// the reported jobs (and at most the one in flight), and "2" names the
// newest full block.
TEST_F(DevHistory, WritersKilledAtRandomLeaveAWholeFile) {
  WithoutSession();
  std::mt19937 mt19937(86);
  size_t sizetReported = 0;
  const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::seconds(100);
  for (int iRound = 0; iRound < 30 && std::chrono::steady_clock::now() < timepointEnd; ++iRound) {
    int aiPipe[2];
    ASSERT_EQ(pipe(aiPipe), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      close(aiPipe[0]);
      CDevData devdata;
      for (unsigned u = 0;; ++u) {
        OsTimeRecord ostimerecord = Time(2024, 5, 1, 10, 0, 0);
        // Every few jobs a setting changes: full blocks and "z" alternate.
        m_pdatabase->FindInBin(DB_BIN_MACHINE, DB_ID_SIDESDIFFERENT)->ForceCurrentLong(u % 3 == 0 ? 1 : 2);
        devdata.CreateScanHistory(DB_FIRMWARE_ADF, m_pdatabase.get(), DEV_STS_ENDOFJOB, &ostimerecord, 0, 1, 1);
        if (write(aiPipe[1], "j", 1) != 1) _exit(1);
      }
    }
    close(aiPipe[1]);
    // The kill comes a random while after the child's first job, however
    // slowly a loaded machine starts it.
    char c = 0;
    ASSERT_EQ(read(aiPipe[0], &c, 1), 1);
    ++sizetReported;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(5, 60)(mt19937)));
    kill(pid, SIGKILL);
    int iStatus = 0;
    waitpid(pid, &iStatus, 0);
    char ac[4096];
    for (ssize_t ss; (ss = read(aiPipe[0], ac, sizeof ac)) > 0;) sizetReported += static_cast<size_t>(ss);
    close(aiPipe[0]);
  }
  // One more job repairs what the last kill left.
  Job();
  const std::vector<std::string> vecstr = Decoded(
      HistoryFile(), {"h['error']", "len(h['scans'])",
                      "h['global']['lastdb'] == [[s for s in h['scans'] if 'block_at' in s][-1]['block_at'], "
                      "[s for s in h['scans'] if 'block_at' in s][-1]['block_length']]",
                      "all('settings_tag' in s for s in h['scans'])"});
  ASSERT_EQ(vecstr.size(), 4u);
  EXPECT_EQ(vecstr[0], "None");
  const size_t sizetScans = std::stoul(vecstr[1]);
  EXPECT_GE(sizetScans, sizetReported + 1);
  EXPECT_LE(sizetScans, sizetReported + 1 + 30);  // at most the one in flight per kill
  EXPECT_EQ(vecstr[2], "True");
  EXPECT_EQ(vecstr[3], "True");
  EXPECT_GT(sizetReported, 30u);
}

// Three processes, 100 jobs each, on one scanner: 300 whole records.
TEST_F(DevHistory, ThreeWriterProcessesNeverInterleave) {
  WithoutSession();
  std::vector<pid_t> vecpid;
  for (int iProcess = 0; iProcess < 3; ++iProcess) {
    const pid_t pid = fork();
    if (pid == 0) {
      CDevData devdata;
      for (unsigned u = 0; u < 100; ++u) {
        OsTimeRecord ostimerecord = Time(2024, 5, 1, 10, 0, 0);
        devdata.CreateScanHistory(DB_FIRMWARE_ADF, m_pdatabase.get(), DEV_STS_ENDOFJOB, &ostimerecord, 0,
                                  static_cast<unsigned>(iProcess + 1), u + 1);
      }
      _exit(0);
    }
    vecpid.push_back(pid);
  }
  for (pid_t pid : vecpid) {
    int iStatus = -1;
    waitpid(pid, &iStatus, 0);
    EXPECT_TRUE(WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0);
  }
  EXPECT_EQ(Decoded("h['error'], len(h['scans']), sorted(sum(s['sheets'] for s in h['scans'] if s['images'] == p) "
                    "for p in (1, 2, 3))"),
            "None 300 [5050, 5050, 5050]");
}

}  // namespace
