// The scanner's information report: its three layouts for fixed facts
// (a feeder-only model and a feeder with a flatbed) against the expected
// texts in tests/data/dev, the reading of "setup.txt", the labels that may
// serve as print formats, the bounds of the log's buffer, and the deletion
// of the files a log names.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "db_cdbconfig.h"
#include "dev_cdevimpl.h"
#include "dev_device_fixture.h"
#include "dev_loginfo.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {

class DevVersion : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    testsupport::RunProgram(
        {"mkdir", "-p", Home(), testsupport::RootPath("system/kvflatbed/lib"), testsupport::RootPath("logs")});
    SetConfigured(OS_CFGTAG_HOMEDIRECTORY, Home());
    SetConfigured(OS_CFGTAG_SYSTEMDIRECTORY, testsupport::RootPath("system"));
    SetConfigured(OS_CFGTAG_MODELDIRECTORY, "pemra_kv_maple");
    SetConfigured(OS_CFGTAG_LOGDIRECTORY, testsupport::RootPath("logs"));
    m_pdatabase->ConfigSetString("callername", "twain", DB_CONFIGTARGET_COMMON);
    m_pdatabase->ConfigSetString("ui", "twaingui", DB_CONFIGTARGET_COMMON);
  }
  void TearDown() override {
    if (m_devicelog.pcData) OsMemFree(m_devicelog.pcData);
    DeviceFixture::TearDown();
  }
  static std::string Home() { return testsupport::RootPath("home/lib"); }
  static std::string FlatbedSetup() { return testsupport::RootPath("system/kvflatbed/lib/setup.txt"); }
  CDevImpl& Impl() { return devtest::Impl(*m_pdev); }

  // The facts of the fixed scanner; the CD information from the setup.txt
  // files written before.
  LogInfo Facts(bool a_blFlatbed) {
    LogInfo l{};
    if (a_blFlatbed) m_pdatabase->ConfigSetString("modeldirectoryflatbed", "kvflatbed", DB_CONFIGTARGET_COMMON);
    EXPECT_EQ(Impl().GetCdInfo(&l), OS_STS_SUCCESS);
    const auto Set = [](char* a_sz, size_t a_sizet, const char* a_szValue) {
      std::snprintf(a_sz, a_sizet, "%s", a_szValue);
    };
#define SET(field, value) Set(field, sizeof(field), value)
    SET(l.szModel[0], "mapleB");
    SET(l.szSerialNumber[0], "SN0001");
    SET(l.szConnection[0], "USBSCAN/2.0");
    SET(l.szVersionCaller, "1.0.0.1");
    SET(l.szVersionUi, "2.0");
    SET(l.szVersionFirmware[0], "5.6.7");
    SET(l.szVersionNexil[0], "3.1");
    SET(l.szVersionDevice[0], "1.2.3.4");
    SET(l.szVersionDeviceManager[0], "1.2.3.5");
    SET(l.szVersionDriver, "4.3");
    SET(l.szVersionDrvAssistUi, "4.4");
    SET(l.szTimeDate, "2024/05/06 07:08");
    SET(l.szMeterFirstScan, "2024/01/15 09:30:00 UTC");
    SET(l.szLegalNotice, "All rights reserved.");
    l.i32BackgroundFront = 2;
    l.i32BackgroundRear = 1;
    const int64_t ai64[] = {1234, 12340, 1234, 1200, 0, 12340};
    for (int i = 0; i < DEV_LOGMETER_COUNT; ++i) {
      l.ai64Meter[i] = ai64[i];
      l.ablMeterShown[i] = true;
    }
    l.i64MultifeedCount = 7;
    l.blPatchCounts = true;
    l.blDuplex = true;
    l.i64PatchCountFront = 11;
    l.i64PatchCountRear = 12;
    if (a_blFlatbed) {
      l.u8Flatbed = 1;
      l.u8Printer = 1;
      SET(l.szModel[1], "mapleC");
      SET(l.szSerialNumber[1], "FB0001");
      SET(l.szConnection[1], "USBSCAN/2.0");
      SET(l.szVersionFirmware[1], "6.1");
      SET(l.szVersionNexil[1], "3.2");
      SET(l.szVersionDevice[1], "1.2.3.6");
      SET(l.szVersionDeviceManager[1], "1.2.3.7");
    }
#undef SET
    return l;
  }
  // The log's text after one layout, for the unit.
  std::string Layout(void (CDevImpl::*a_pfnFormat)(const LogInfo&, DeviceLog*), const LogInfo& a_loginfo,
                     EDBID_FIRMWARE a_edbidfirmware, size_t a_sizetCapacity = 0x10000) {
    if (m_devicelog.pcData) OsMemFree(m_devicelog.pcData);
    m_devicelog = DeviceLog{};
    m_devicelog.edbidfirmware = a_edbidfirmware;
    m_devicelog.pcData = static_cast<char*>(OsMemAlloc(a_sizetCapacity));
    std::memset(m_devicelog.pcData, 0, a_sizetCapacity);
    m_devicelog.sizetCapacity = a_sizetCapacity;
    (Impl().*a_pfnFormat)(a_loginfo, &m_devicelog);
    EXPECT_EQ(std::strlen(m_devicelog.pcData), m_devicelog.sizetData);
    return std::string(m_devicelog.pcData, m_devicelog.sizetData);
  }
  static std::string Expected(const std::string& a_strName) {
    return testsupport::ReadFile(std::string(SCANDRV_TEST_DATA) + "/dev/" + a_strName);
  }
  static void ExpectXmlReads(const std::string& a_strXml) {
    const std::string strPath = testsupport::RootPath("log.xml");
    testsupport::WriteFile(strPath, a_strXml);
    int iStatus = -1;
    const std::string strOut = testsupport::RunProgram({"xmllint", "--noout", strPath}, &iStatus);
    EXPECT_EQ(iStatus, 0) << strOut << a_strXml;
  }

  DeviceLog m_devicelog{};
};

TEST_F(DevVersion, FeederOnlyLayouts) {
  testsupport::WriteFile(Home() + "/setup.txt", "; the installation\r\nDIALOG=  Maple Scan CD\r\nCD=04030200\r\n");
  const LogInfo l = Facts(false);
  EXPECT_EQ(Layout(&CDevImpl::FormatGeneralLog, l, DB_FIRMWARE_ADF), Expected("loginfo_feeder.txt"));
  const std::string strXml = Layout(&CDevImpl::FormatGeneralXmlLog, l, DB_FIRMWARE_ADF);
  EXPECT_EQ(strXml, Expected("loginfo_feeder.xml"));
  ExpectXmlReads(strXml);
  const std::string strAbout = Layout(&CDevImpl::FormatAboutWindow, l, DB_FIRMWARE_ADF);
  EXPECT_EQ(strAbout, Expected("loginfo_feeder_about.txt"));
  EXPECT_EQ(strAbout.find(" / "), std::string::npos);
  EXPECT_STREQ(m_devicelog.szCdTitle, "Maple Scan CD");
  EXPECT_STREQ(m_devicelog.szCdVersion, "4.3.2");
}

// The flatbed's own text log has no multifeed, patch or rear-lamp lines
// and names its background alone; the about text joins both units.
TEST_F(DevVersion, FeederWithFlatbedLayouts) {
  testsupport::WriteFile(Home() + "/setup.txt", "DIALOG=Maple & <Co>\nCD=04030200\n");
  testsupport::WriteFile(FlatbedSetup(), "dialog=Flatbed CD\ncd=05000000\n");
  const LogInfo l = Facts(true);
  const std::string strFlatbed = Layout(&CDevImpl::FormatGeneralLog, l, DB_FIRMWARE_FLATBED);
  EXPECT_EQ(strFlatbed, Expected("loginfo_flatbed.txt"));
  for (const char* sz : {"ultifeed", "atches", "rear hours"}) EXPECT_EQ(strFlatbed.find(sz), std::string::npos) << sz;
  EXPECT_EQ(Layout(&CDevImpl::FormatGeneralLog, l, DB_FIRMWARE_ADF), Expected("loginfo_feeder_flatbed.txt"));
  for (EDBID_FIRMWARE edbidfirmware : {DB_FIRMWARE_ADF, DB_FIRMWARE_FLATBED}) {
    const std::string strXml = Layout(&CDevImpl::FormatGeneralXmlLog, l, edbidfirmware);
    EXPECT_EQ(strXml,
              Expected(edbidfirmware == DB_FIRMWARE_ADF ? "loginfo_feeder_flatbed.xml" : "loginfo_flatbed.xml"));
    ExpectXmlReads(strXml);
  }
  EXPECT_EQ(Layout(&CDevImpl::FormatAboutWindow, l, DB_FIRMWARE_ADF), Expected("loginfo_feeder_flatbed_about.txt"));
  EXPECT_STREQ(m_devicelog.szCdTitle, "Maple & <Co> / Flatbed CD");
  EXPECT_STREQ(m_devicelog.szCdVersion, "4.3.2 / 5.0");
}

// A buffer too small for a piece leaves that piece out whole: what is
// written still ends with a closed document when the closing tag fits.
TEST_F(DevVersion, PiecesThatDoNotFitAreLeftOutWhole) {
  testsupport::WriteFile(Home() + "/setup.txt", "DIALOG=" + std::string(250, 'T') + "\n");
  const LogInfo l = Facts(false);
  const std::string strWhole = Layout(&CDevImpl::FormatGeneralXmlLog, l, DB_FIRMWARE_ADF);
  const size_t sizetFrom = m_plog->Text().size();
  const std::string strCut = Layout(&CDevImpl::FormatGeneralXmlLog, l, DB_FIRMWARE_ADF, 200);
  EXPECT_LT(strCut.size(), 200u);
  EXPECT_EQ(strCut.find("<cdname>"), std::string::npos) << strCut;
  EXPECT_EQ(strCut.compare(0, 9, "<tw_log>\n"), 0);
  EXPECT_NE(m_plog->Text().substr(sizetFrom).find("no room in the log for"), std::string::npos);
  // Each remaining line is one of the whole text's.
  for (const std::string& strLine : testsupport::Lines(strCut)) {
    EXPECT_NE(strWhole.find(strLine + "\n"), std::string::npos) << strLine;
  }
}

TEST_F(DevVersion, LabelsServeAsFormatsOnlyWithTheDefaultsConversions) {
  const struct {
    const char* szLabel;
    const char* szDefault;
    bool blSame;
  } acase[] = {
      {"\nPower-on: %d.%1.1d hours", "\npower-on: %d.%1.1d hours", true},
      {"\nPatches: %d front / %d rear", "\npatch count: %d Front / %d Rear", true},
      {"\nFirst scan: %s", "\nfirst scan: %s", true},
      {"\nPower-on: %s hours", "\npower-on: %d.%1.1d hours", false},
      {"\nPower-on: %d.%d hours", "\npower-on: %d.%1.1d hours", false},
      {"\nTotal pages: %d %n", "\ntotal pages: %d", false},
      {"\nTotal pages: %d%", "\ntotal pages: %d", false},
      {"\nTotal pages", "\ntotal pages: %d", false},
      {"\nTotal: %d, 100%% sure", "\ntotal pages: %d", false},
  };
  for (const auto& c : acase) EXPECT_EQ(DevSameConversions(c.szLabel, c.szDefault), c.blSame) << c.szLabel;
}

// Keys of "setup.txt" as a table: what each file gives for "DIALOG".
TEST_F(DevVersion, SetupTxtKeys) {
  const std::string strLong(2 * 1024 * 1024, 'a');
  const struct {
    const char* szName;
    std::string strText;
    const char* szExpected;
  } acase[] = {
      {"lower-case key", "dialog=Title\n", "Title"},
      {"blank before =", "DIALOG =Title\n", "(unchanged)"},
      {"leading blanks and tabs go", "DIALOG= \t Title \n", "Title "},
      {"comments and empty lines", ";DIALOG=No\r\n\r\n\nDIALOG=Yes\r\n", "Yes"},
      {"first of repeated keys", "DIALOG=One\nDIALOG=Two\n", "One"},
      {"lines without =", "DIALOG\nxyz\nDIALOG=Found", "Found"},
      {"empty", "", "(unchanged)"},
      {"binary", std::string("\x01\xff\0DIALOG=x\n", 12) + "DIALOG=bin\n", "bin"},
      {"value bounded by the output", "DIALOG=" + std::string(300, 'v') + "\n", "(255 v)"},
      {"a 2 MiB line", strLong + "\nDIALOG=late\n", "(unchanged)"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    testsupport::WriteFile(Home() + "/setup.txt", c.strText);
    char sz[256] = "(unchanged)";
    EXPECT_EQ(Impl().GetCdInfoFromSetupTxt("DIALOG", DB_FIRMWARE_ADF, sz, sizeof sz), OS_STS_SUCCESS);
    EXPECT_EQ(std::string(sz), std::strcmp(c.szExpected, "(255 v)") == 0 ? std::string(255, 'v') : c.szExpected);
  }
  EXPECT_NE(m_plog->Text().find("is larger than 1048576 bytes"), std::string::npos);
}

// Without the files: the model directory's last part and no version; the
// flatbed's lookup fails at once without a flatbed.
TEST_F(DevVersion, MissingSetupTxt) {
  char sz[256] = "";
  EXPECT_EQ(Impl().GetCdInfoFromSetupTxt("DIALOG", DB_FIRMWARE_ADF, sz, sizeof sz), OS_STS_FAIL);
  EXPECT_NE(m_plog->Text().find("file not found..."), std::string::npos);
  EXPECT_EQ(Impl().GetCdInfoFromSetupTxt("DIALOG", DB_FIRMWARE_FLATBED, sz, sizeof sz), OS_STS_FAIL);
  EXPECT_NE(m_plog->Text().find("Flatbed setup.txt file not found..."), std::string::npos);
  LogInfo l{};
  EXPECT_EQ(Impl().GetCdInfo(&l), OS_STS_SUCCESS);
  EXPECT_STREQ(l.szCdTitle[DEV_LOGUNIT_ADF], "maple");
  EXPECT_STREQ(l.szCdTitle[DEV_LOGUNIT_FLATBED], "maple");
  char szZero[32];
  COsString::StrConvertVersionToUserFormat(szZero, sizeof szZero, "00000000");
  EXPECT_STREQ(l.szCdVersion[DEV_LOGUNIT_ADF], szZero);
  // A directory in its place cannot be read.
  testsupport::RunProgram({"mkdir", Home() + "/setup.txt"});
  EXPECT_EQ(Impl().GetCdInfoFromSetupTxt("DIALOG", DB_FIRMWARE_ADF, sz, sizeof sz), OS_STS_FAIL);
}

// An unknown type fails and saves nothing; a known one is saved under the
// log's name in the log directory.
TEST_F(DevVersion, GetVersionInfoTypes) {
  std::snprintf(m_devicelog.szLogType, sizeof m_devicelog.szLogType, "general_xml");
  m_devicelog.edbidfirmware = DB_FIRMWARE_ADF;
  m_devicelog.u32LogType = DB_ID_LOG_ENUM_GENERAL_XML;
  ASSERT_EQ(Impl().GetVersionInfo(&m_devicelog, true), OS_STS_SUCCESS);
  EXPECT_GE(m_devicelog.sizetCapacity, 0x10000u);
  EXPECT_EQ(std::string(m_devicelog.szFilename), testsupport::RootPath("logs/general_xml.log"));
  EXPECT_EQ(testsupport::ReadFile(m_devicelog.szFilename), std::string(m_devicelog.pcData, m_devicelog.sizetData));
  ExpectXmlReads(m_devicelog.pcData);
  std::snprintf(m_devicelog.szLogType, sizeof m_devicelog.szLogType, "bogus");
  m_devicelog.u32LogType = DB_ID_LOG_ENUM_ACTIVITY;
  EXPECT_EQ(Impl().GetVersionInfo(&m_devicelog, true), OS_STS_FAIL);
  EXPECT_NE(m_plog->Text().find("Unknown log type <1>..."), std::string::npos);
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("logs/bogus.log")));
}

// Only regular files named plainly go; links, "..", directories and
// missing names stay, each refusal logged.
TEST_F(DevVersion, DeleteLogFilesDeletesPlainFilesOnly) {
  const std::string strDir = testsupport::RootPath("dl");
  testsupport::RunProgram({"mkdir", "-p", strDir + "/sub", strDir + "/real"});
  for (const char* sz : {"/a.log", "/b.log", "/sub/c.log", "/target.log", "/real/d.log"})
    testsupport::WriteFile(strDir + sz, "x");
  ASSERT_EQ(symlink((strDir + "/target.log").c_str(), (strDir + "/link.log").c_str()), 0);
  ASSERT_EQ(symlink((strDir + "/real").c_str(), (strDir + "/linkdir").c_str()), 0);
  const std::vector<std::string> vecNames = {
      strDir + "/b.log", strDir + "/link.log",    strDir + "/sub/../target.log",
      strDir + "/sub",   strDir + "/missing.log", strDir + "/linkdir/d.log",
      "sub/c.log",
  };
  DeviceLog devicelog{};
  std::snprintf(devicelog.szFilename, sizeof devicelog.szFilename, "%s/a.log", strDir.c_str());
  std::vector<char> vecData(4096, '\0');
  size_t sizetOffset = 0;
  for (int i = 0; i < DEV_LOG_FILES; ++i) devicelog.alFileOffset[i] = -1;
  for (size_t i = 0; i < vecNames.size(); ++i) {
    std::memcpy(vecData.data() + sizetOffset, vecNames[i].c_str(), vecNames[i].size() + 1);
    devicelog.alFileOffset[i] = static_cast<long>(sizetOffset);
    sizetOffset += vecNames[i].size() + 1;
  }
  devicelog.pcData = vecData.data();
  devicelog.sizetCapacity = vecData.size();
  CDevImpl::DeleteLogFiles(&devicelog);
  EXPECT_FALSE(testsupport::FileExists(strDir + "/a.log"));
  EXPECT_FALSE(testsupport::FileExists(strDir + "/b.log"));
  for (const char* sz : {"/target.log", "/sub/c.log", "/real/d.log", "/sub"})
    EXPECT_TRUE(testsupport::FileExists(strDir + sz)) << sz;
  struct stat st {};
  EXPECT_EQ(lstat((strDir + "/link.log").c_str(), &st), 0);
  EXPECT_NE(m_plog->Text().find("DeleteLogFiles: deleted <" + strDir + "/b.log>"), std::string::npos);
  EXPECT_NE(m_plog->Text().find("not a plain file, kept...<" + strDir + "/link.log>"), std::string::npos);
}

}  // namespace
