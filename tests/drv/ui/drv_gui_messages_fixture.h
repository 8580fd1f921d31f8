// The GUI bridge's messages on the staged stand-in: a database with the
// library's resources (labels, the indicator settings), the bridge started
// on the stand-in, which keeps every task it reads, and the Python model
// of the message table that judges them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdbenum.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_gui_fixture.h"
#include "test_support.h"

namespace guimsgtest {

// One setting of a case: the settings the message manager reads.
struct Settings {
  long lIndicators = 1;
  std::vector<long> veclMode;
  long lIndicatorsWarmup = 1;
  long lPreviewMode = 1;
  long lAcquire = 1;
  long lCalibrationType = 1;
  long lScanSource = 1;
  bool blShowUi = false;
  bool blVisible = false;
  bool blGuiRequest = false;
};

// A JSON string.
inline std::string Json(const std::string& a_str) {
  std::string str = "\"";
  for (unsigned char uc : a_str) {
    if (uc == '"' || uc == '\\') {
      str += '\\';
      str += static_cast<char>(uc);
    } else if (uc < 0x20) {
      char sz[8];
      std::snprintf(sz, sizeof sz, "\\u%04x", uc);
      str += sz;
    } else {
      str += static_cast<char>(uc);
    }
  }
  return str + "\"";
}

class GuiMessagesTest : public guitest::DrvGuiImplTest {
 protected:
  void SetUp() override {
    DrvGuiImplTest::SetUp();
    m_pdatabase = std::make_unique<CDatabase>();
    ASSERT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH, false),
              DB_STS_SUCCESS);
    m_pdatabase->SetModelName(DB_FIRMWARE_ADF, "mapleB");
    m_pdatabase->UpdateLabels();
    m_strCapture = testsupport::RootPath("capture");
    std::filesystem::create_directories(m_strCapture);
    setenv("UISTANDIN_CAPTURE", m_strCapture.c_str(), 1);
  }
  void TearDown() override {
    m_pdrvguiimpl.reset();
    unsetenv("UISTANDIN_CAPTURE");
    unsetenv("UISTANDIN_BUTTON");
    m_pdev.reset();
    m_pdatabase.reset();
    DrvGuiImplTest::TearDown();
  }

  // The bridge on the stand-in, with the database (and a device when
  // asked), ready.
  void StartReady(const std::string& a_strScript = "", bool a_blDevice = false) {
    setenv("UISTANDIN_SCRIPT", a_strScript.c_str(), 1);
    setenv("UISTANDIN_LOG", m_strStandinLog.c_str(), 1);
    m_pdrvguiimpl = std::make_unique<CDrvGuiImpl>(m_pdatabase.get(), m_pdev.get(), nullptr, SCANDRV_UISTANDIN);
    ASSERT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_START, nullptr), OS_STS_SUCCESS);
    ASSERT_EQ(m_pdrvguiimpl->WaitForGui(20000), OS_STS_SUCCESS) << m_plog->Text();
  }

  // Writes a setting straight into the value, as the database's own
  // reads see it.
  void SetLong(EDBID a_edbid, long a_lValue) {
    CDbLockGuard dblockguard;
    CDbDatum* pdbdatum = m_pdatabase->Find(a_edbid);
    // A capability the database offers only with a scanner is offered here.
    if (!pdbdatum) {
      pdbdatum = m_pdatabase->FindInWindowBin(0, DB_BIN_MACHINE, a_edbid);
      ASSERT_NE(pdbdatum, nullptr) << a_edbid;
      pdbdatum->SetAccess(DB_ACCESS_READWRITE);
      ASSERT_EQ(m_pdatabase->Find(a_edbid), pdbdatum) << a_edbid;
    }
    pdbdatum->SetCurrentLong(a_lValue);
  }
  void SetMode(const std::vector<long>& a_veclMode) {
    CDbLockGuard dblockguard;
    auto* pdbenum = dynamic_cast<CDbEnum*>(m_pdatabase->Find(DB_ID_INDICATORSMODE));
    ASSERT_NE(pdbenum, nullptr);
    pdbenum->DeleteAllCurrentItems();
    for (long l : a_veclMode) pdbenum->AddCurrentItem(l);
  }
  void Apply(const Settings& a_settings) {
    SetLong(DB_ID_INDICATORS, a_settings.lIndicators);
    SetMode(a_settings.veclMode);
    SetLong(DB_ID_INDICATORSWARMUP, a_settings.lIndicatorsWarmup);
    SetLong(DB_ID_PREVIEWMODE, a_settings.lPreviewMode);
    SetLong(DB_ID_PREVIEWIMAGEACQUIRE, a_settings.lAcquire);
    SetLong(DB_ID_CALIBRATIONTYPE, a_settings.lCalibrationType);
    m_pdatabase->SetScanSource(a_settings.lScanSource);
    if (a_settings.blGuiRequest) {
      m_pdatabase->SetDbState(DB_STATE_GUI);
    } else {
      m_pdatabase->ClearDbState(DB_STATE_GUI);
    }
    Record(DRV_GUIACTION_SETSHOWUI, a_settings.blShowUi ? 1 : 0);
    Record(DRV_GUIACTION_SETUIVISIBLE, a_settings.blVisible ? 1 : 0);
  }
  EOSSTS Record(EDRVGUIACTION a_edrvguiaction, int32_t a_i32Value) {
    CDrvGuiBase drvguibase;
    drvguibase.edrvguiaction = a_edrvguiaction;
    drvguibase.i32Value = a_i32Value;
    return m_pdrvguiimpl->Action(a_edrvguiaction, &drvguibase);
  }

  // The tasks the stand-in kept, in the order it read them, from the
  // given id on (health checks only when asked); waits until there are at
  // least a_sizetAtLeast.
  std::vector<std::string> Captured(size_t a_sizetFrom, size_t a_sizetAtLeast = 0, bool a_blHealth = false) {
    std::vector<std::string> vec;
    uilinktest::Eventually([&] {
      vec.clear();
      for (const std::string& strName : CapturedNames()) {
        if (std::stoull(strName) < a_sizetFrom) continue;
        const std::string strTask = testsupport::ReadFile(m_strCapture + "/" + strName);
        if (!a_blHealth && strTask.find("<notifydevicestatus>") != std::string::npos) continue;
        vec.push_back(strTask);
      }
      return vec.size() >= a_sizetAtLeast;
    }, 5000);
    return vec;
  }
  // The names of the whole tasks kept ("ID.xml"; a ".part" is still being
  // written), in id order.
  std::vector<std::string> CapturedNames() {
    std::vector<std::string> vecstrName;
    for (const auto& entry : std::filesystem::directory_iterator(m_strCapture)) {
      const std::string strName = entry.path().filename().string();
      if (strName.size() > 4 && strName.compare(strName.size() - 4, 4, ".xml") == 0) vecstrName.push_back(strName);
    }
    std::sort(vecstrName.begin(), vecstrName.end());
    return vecstrName;
  }
  // The next id the writer gives (every task counts).
  size_t NextId() {
    size_t sizet = 0;
    for (const std::string& strName : CapturedNames()) sizet = std::max<size_t>(sizet, std::stoull(strName));
    return sizet + 1;
  }
  // The tasks as the model reads them: the header's id and byte count
  // put back to their placeholders.
  static std::string Placeholders(const std::string& a_strTask) {
    std::string str = a_strTask;
    const size_t sizetId = str.find("id='");
    if (sizetId != std::string::npos) str.replace(sizetId + 4, 20, "@1111111111111111111");
    const size_t sizetBytes = str.find("bytes='");
    if (sizetBytes != std::string::npos) str.replace(sizetBytes + 7, 20, "@2222222222222222222");
    return str;
  }

  // Runs the model over the cases (a JSON list); its report on failure.
  void Judge(const std::string& a_strCases) {
    const std::string strCases = testsupport::RootPath("cases.json");
    testsupport::WriteFile(strCases, a_strCases);
    int iStatus = -1;
    const std::string strOutput = testsupport::RunProgram(
        {SCANDRV_PYTHON, std::string(SCANDRV_TEST_DATA) + "/../drv/ui_messages_model.py",
         std::string(SCANDRV_TEST_DATA) + "/../../db/sources/labels.dbc", strCases},
        &iStatus);
    EXPECT_EQ(iStatus, 0) << strOutput;
  }
  // Every captured task is well-formed XML to xmllint.
  void Lint() {
    std::vector<std::string> vecstrArgument = {"xmllint", "--noout"};
    auto run = [&] {
      int iStatus = -1;
      const std::string strOutput = testsupport::RunProgram(vecstrArgument, &iStatus);
      EXPECT_EQ(iStatus, 0) << strOutput;
      vecstrArgument.resize(2);
    };
    for (const std::string& strName : CapturedNames()) {
      vecstrArgument.push_back(m_strCapture + "/" + strName);
      if (vecstrArgument.size() >= 500) run();
    }
    if (vecstrArgument.size() > 2) run();
  }

  std::unique_ptr<CDatabase> m_pdatabase;
  std::unique_ptr<CDev> m_pdev;
  std::string m_strCapture;
};

}  // namespace guimsgtest
