// Version strings: every slot behind its own setter and getter, texts too
// long for a slot, and the lazy read of a sibling program's VERSION
// resource from the home directory, retried until the program is there.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "../os/log_capture.h"
#include "db_cdatabase.h"
#include "db_cdbversion.h"
#include "os_coscfg.h"
#include "os_cosmem.h"
#include "test_support.h"

namespace {

using Setter = void (CDbVersion::*)(const char*);
using Getter = const char* (CDbVersion::*)();

const struct {
  Setter pfnSet;
  Getter pfnGet;
} s_aslot[] = {
    {&CDbVersion::SetVersionNumberAdf, &CDbVersion::GetVersionNumberAdf},
    {&CDbVersion::SetVersionTextAdf, &CDbVersion::GetVersionTextAdf},
    {&CDbVersion::SetVersionNumberFlatbed, &CDbVersion::GetVersionNumberFlatbed},
    {&CDbVersion::SetVersionTextFlatbed, &CDbVersion::GetVersionTextFlatbed},
    {&CDbVersion::SetVersionNumberNexilAdf, &CDbVersion::GetVersionNumberNexilAdf},
    {&CDbVersion::SetVersionTextNexilAdf, &CDbVersion::GetVersionTextNexilAdf},
    {&CDbVersion::SetVersionNumberNexilFlatbed, &CDbVersion::GetVersionNumberNexilFlatbed},
    {&CDbVersion::SetVersionTextNexilFlatbed, &CDbVersion::GetVersionTextNexilFlatbed},
    {&CDbVersion::SetVersionDeviceManagerAdf, &CDbVersion::GetVersionDeviceManagerAdf},
    {&CDbVersion::SetVersionDeviceManagerFlatbed, &CDbVersion::GetVersionDeviceManagerFlatbed},
    {&CDbVersion::SetVersionFirmwareAdf, &CDbVersion::GetVersionFirmwareAdf},
    {&CDbVersion::SetVersionFirmwareFlatbed, &CDbVersion::GetVersionFirmwareFlatbed},
    {&CDbVersion::SetVersionNexilAdf, &CDbVersion::GetVersionNexilAdf},
    {&CDbVersion::SetVersionNexilFlatbed, &CDbVersion::GetVersionNexilFlatbed},
    {&CDbVersion::SetVersionDeviceAdf, &CDbVersion::GetVersionDeviceAdf},
    {&CDbVersion::SetVersionDeviceFlatbed, &CDbVersion::GetVersionDeviceFlatbed},
    {&CDbVersion::SetVersionUi, &CDbVersion::GetVersionUi},
    {&CDbVersion::SetVersionDrvAssistUi, &CDbVersion::GetVersionDrvAssistUi},
    {&CDbVersion::SetVersionDriver, &CDbVersion::GetVersionDriver},
    {&CDbVersion::SetVersionDriverDravix, &CDbVersion::GetVersionDriverDravix},
    {&CDbVersion::SetVersionCaller, &CDbVersion::GetVersionCaller},
};

class DbVersionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(m_strHome);
    m_pcfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &m_oscfgversion, false, nullptr);
    m_pcfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_HOMEDIRECTORY, m_strHome.c_str());
  }

  // A program in the home directory with the VERSION resource appended
  // (none when the text is empty).
  void Program(const std::string& a_strName, const std::string& a_strVersion) {
    const std::string strPath = m_strHome + "/" + a_strName;
    testsupport::WriteFile(strPath, std::string(3000, 'p'));
    if (a_strVersion.empty()) return;
    int iStatus = -1;
    testsupport::RunProgram({SCANDRV_PMXRES, "add", strPath, "VERSION=" + a_strVersion}, &iStatus);
    ASSERT_EQ(iStatus, 0);
  }

  testsupport::LogCapture m_log{1};
  COsMem m_mem{OS_MEM_METHOD_GLOBALALLOC, 1};
  std::string m_strHome = testsupport::RootPath("home");
  OsCfgVersion m_oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
  std::unique_ptr<COsCfg> m_pcfg;
  CDbVersion m_dbversion;
};

TEST_F(DbVersionTest, EverySlotKeepsItsOwnText) {
  for (const auto& slot : s_aslot) EXPECT_STREQ((m_dbversion.*slot.pfnGet)(), "");
  for (size_t i = 0; i < std::size(s_aslot); ++i) (m_dbversion.*s_aslot[i].pfnSet)(("v" + std::to_string(i)).c_str());
  for (size_t i = 0; i < std::size(s_aslot); ++i)
    EXPECT_EQ((m_dbversion.*s_aslot[i].pfnGet)(), "v" + std::to_string(i)) << i;
  // Rewritten by every set; an empty text empties the slot.
  m_dbversion.SetVersionCaller("2.0");
  EXPECT_STREQ(m_dbversion.GetVersionCaller(), "2.0");
  m_dbversion.SetVersionCaller("");
  EXPECT_STREQ(m_dbversion.GetVersionCaller(), "");
}

// A text of 512 bytes or more does not fit: the slot keeps what it had.
TEST_F(DbVersionTest, ATextTooLongForItsSlotKeepsTheOldOne) {
  m_dbversion.SetVersionDriver("01.02.03.04");
  for (size_t sizet : {512u, 600u}) {
    m_dbversion.SetVersionDriver(std::string(sizet, '9').c_str());
    EXPECT_STREQ(m_dbversion.GetVersionDriver(), "01.02.03.04") << sizet;
  }
  EXPECT_TRUE(m_log.Contains("SStrCpy failed..."));
  m_dbversion.SetVersionDriver(nullptr);
  EXPECT_STREQ(m_dbversion.GetVersionDriver(), "01.02.03.04");
  const std::string str511(511, '7');
  m_dbversion.SetVersionDriver(str511.c_str());
  EXPECT_EQ(m_dbversion.GetVersionDriver(), str511);
}

TEST_F(DbVersionTest, ReadsASiblingProgramsVersionUntilItIsThere) {
  const struct {
    const char* szProgram;
    Getter pfnGet;
  } aprogram[] = {
      {"twaingui.exe", &CDbVersion::GetVersionUi},
      {"drvassistui.exe", &CDbVersion::GetVersionDrvAssistUi},
      {"driverdravix", &CDbVersion::GetVersionDriverDravix},
  };
  for (const auto& program : aprogram) {
    SCOPED_TRACE(program.szProgram);
    EXPECT_STREQ((m_dbversion.*program.pfnGet)(), "");  // no program yet
    Program(program.szProgram, "");
    EXPECT_STREQ((m_dbversion.*program.pfnGet)(), "");  // no resource yet
    Program(program.szProgram, std::string(program.szProgram) + " 5.4");
    EXPECT_EQ((m_dbversion.*program.pfnGet)(), std::string(program.szProgram) + " 5.4");
    // Read once: a later change of the file is not seen.
    Program(program.szProgram, "6.0");
    EXPECT_EQ((m_dbversion.*program.pfnGet)(), std::string(program.szProgram) + " 5.4");
  }
  // At most 31 bytes of the resource are taken.
  CDbVersion dbversion;
  Program("twaingui.exe", std::string(40, 'a') + "b");
  EXPECT_EQ(dbversion.GetVersionUi(), std::string(31, 'a'));
  // A stored version is answered without looking at the file.
  CDbVersion dbversionSet;
  dbversionSet.SetVersionUi("set by the bridge");
  EXPECT_STREQ(dbversionSet.GetVersionUi(), "set by the bridge");
}

TEST_F(DbVersionTest, NoHomeDirectoryNoRead) {
  Program("twaingui.exe", "1.0");
  m_pcfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_HOMEDIRECTORY, "");
  EXPECT_STREQ(m_dbversion.GetVersionUi(), "");
  m_pcfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_HOMEDIRECTORY, m_strHome.c_str());
  EXPECT_STREQ(m_dbversion.GetVersionUi(), "1.0");
}

TEST_F(DbVersionTest, TheDatabaseOwnsOne) {
  CDatabase database;
  ASSERT_NE(database.GetDbVersion(), nullptr);
  database.GetDbVersion()->SetVersionDriver("01000000");
  EXPECT_STREQ(database.GetDbVersion()->GetVersionDriver(), "01000000");
}

}  // namespace
