// The driver core on the database an opened scanner leaves: the simulated
// scanner's device-manager library, loaded as the engine loads it, is
// opened (interfaceopen, sessionbegin) and asked for its inquiry
// (querysupport); the device-reply dispatcher reads each reply into the
// database; the model configuration is rebuilt from the inquiry, every
// default derived from it and the labels read; the state machine stands in
// Initialized. The listings of the database before its default fix-up are
// kept in the test root for the rules model, and the log directory (where
// the database's dumps go) is a folder of the root.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "../os/locale_service.h"
#include "../sim/sim_task_testutil.h"
#include "db_cdatabase.h"
#include "dp_cdispatch.h"
#include "drv_cdrvprocesscommands.h"
#include "drv_fixture.h"
#include "os_coscfg.h"
#include "rules_listing.h"
#include "test_support.h"

namespace drvtest {

// The repository, where the Python readings find their sources.
inline std::string SourceDir() { return std::string(SCANDRV_TEST_DATA) + "/../.."; }

class DrvOpenedFixture : public DrvFixture {
 protected:
  void SetUp() override {
    DrvFixture::SetUp();
    OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
    m_poscfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &oscfgversion, false, nullptr);
    std::filesystem::create_directories(m_strLogs);
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY, m_strLogs.c_str()), OS_STS_SUCCESS);
    OpenScanner();
    DriveToInitialized();
  }

  void TearDown() override {
    CDrvProcessCommands::SetEngineSeam(nullptr);
    if (m_pscannerlibrary) {
      Send("sessionend");
      Send("interfaceclose");
    }
    m_pscannerlibrary.reset();
    m_pdispatch.reset();
    // The configuration outlives the database and goes before the memory
    // service, which the base's tear-down ends.
    m_pdrvdispatch.reset();
    m_pdrvcommandfsm.reset();
    m_pdrvgui.reset();
    m_pdatabase.reset();
    m_poscfg.reset();
    DrvFixture::TearDown();
  }

  // The reply is well-formed, a whole task with its byte count right.
  void ExpectSound(const Reply& a_reply) {
    EXPECT_EQ(a_reply.strText.substr(0, 10), "<task id='") << a_reply.strText;
    ASSERT_GE(a_reply.strText.size(), 91u);
    EXPECT_EQ(std::stoull(a_reply.strText.substr(68, 20)), a_reply.strText.size()) << a_reply.strText;
    EXPECT_EQ(DbFixture::XmlLint(a_reply.strText), 0) << a_reply.strText;
  }

  // The report elements of a reply (the status excepted), by name.
  static std::vector<std::string> Reports(const std::string& a_strReply) {
    std::vector<std::string> vec;
    std::regex regex("\n\t<([a-z]+)>");
    for (std::sregex_iterator it(a_strReply.begin(), a_strReply.end(), regex), end; it != end; ++it) {
      if ((*it)[1] != "reportstatus") vec.push_back((*it)[1]);
    }
    return vec;
  }

  // Every element of that name, in reply order.
  static std::vector<std::string> All(const std::string& a_strReply, const std::string& a_strName) {
    std::vector<std::string> vec;
    std::regex regex("<" + a_strName + ">([^<]*)</" + a_strName + ">");
    for (std::sregex_iterator it(a_strReply.begin(), a_strReply.end(), regex), end; it != end; ++it)
      vec.push_back((*it)[1]);
    return vec;
  }

  // A get task of that id, run as the driver runs it.
  Reply Get(const std::string& a_strId) { return Run(Task("<get><id>" + a_strId + "</id></get>")); }

  // Makes the window-bin of window 0 with that camera bin the current one,
  // as a front end's set of the window tag would, without a fix-up pass.
  void SelectBin(EDBBIN a_edbbin) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_WINDOWBIN);
    ASSERT_NE(pdbdatum, nullptr);
    pdbdatum->ForceCurrentLong(m_pdatabase->ComposeWindowBin(0, a_edbbin));
  }

  // The lexicon names of every capability id, in id order.
  std::vector<std::string> Lexicons() {
    std::vector<std::string> vec;
    for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
      const DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(static_cast<EDBID>(iId));
      if (pdblookup2 && pdblookup2->szLexicon && pdblookup2->szLexicon[0]) vec.emplace_back(pdblookup2->szLexicon);
    }
    return vec;
  }

  // The database's text dump, read back (its name carries the time of day).
  std::string DumpText() {
    const std::string strDumps = testsupport::RootPath("dumps");
    std::filesystem::remove_all(strDumps);
    std::filesystem::create_directories(strDumps);
    m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY, strDumps.c_str());
    EXPECT_EQ(m_pdatabase->Dump("PmxDbGet.txt"), DB_STS_SUCCESS);
    m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY, m_strLogs.c_str());
    std::string strText;
    for (const auto& entry : std::filesystem::directory_iterator(strDumps))
      strText += testsupport::ReadFile(entry.path().string());
    return strText;
  }

  // The rules model's oracle, run on the listings; its output, and its exit
  // status into *a_piStatus.
  std::string Oracle(const std::vector<std::string>& a_vecArgument, int* a_piStatus) {
    std::vector<std::string> vecArgument = {SCANDRV_PYTHON, SourceDir() + "/tests/drv/get_reports_oracle.py"};
    vecArgument.insert(vecArgument.end(), a_vecArgument.begin(), a_vecArgument.end());
    return testsupport::RunProgram(vecArgument, a_piStatus);
  }

  const std::string m_strLogs = testsupport::RootPath("logs");
  const std::string m_strState = testsupport::RootPath("state.txt");
  const std::string m_strConfig = testsupport::RootPath("config.txt");
  const std::string m_strLookup = testsupport::RootPath("lookup.txt");
  std::unique_ptr<COsCfg> m_poscfg;
  testsupport::LocaleService m_localeservice;

  // What a test lists before the open's default fix-up (which each later
  // fix-up would start again from the resource).
  virtual void BeforeDefaultFixUp() {}
  // The simulated model opened (mapleC has an imprinter).
  virtual const char* SimModel() const { return "mapleB"; }

 private:
  void OpenScanner() {
    m_pscannerlibrary = std::make_unique<simtest::ScannerLibrary>(SIMSCAN_ADF_LIBRARY);
    ASSERT_TRUE(m_pscannerlibrary->IsLoaded());
    m_pdispatch = std::make_unique<CDispatch>();
    ASSERT_EQ(m_pdispatch->SetupDispatchTemplate(), OS_STS_SUCCESS);
    const std::string strImages = testsupport::RootPath("images");
    std::filesystem::create_directories(strImages);
    ASSERT_EQ(Dispatch(Send("interfaceopen",
                            "\t\t<simulate><simulation>true</simulation><simmodel>" + std::string(SimModel()) +
                                "</simmodel><simflag><id>imagedirectory</id><value>" + strImages +
                                "</value><text></text></simflag></simulate>\n"),
                       true),
              DEV_REPLY_SUCCESS);
    ASSERT_EQ(Dispatch(Send("sessionbegin"), false), DEV_REPLY_SUCCESS);
    ASSERT_EQ(Dispatch(Send("querysupport"), false), DEV_REPLY_SUCCESS);
    // No device to ask: the scanner counts as online.
    ASSERT_TRUE(m_pdatabase->ConfigProcessReportInquiry(nullptr, nullptr)) << m_plog->Text();
    testsupport::WriteFile(m_strState, ruleslisting::State(*m_pdatabase));
    testsupport::WriteFile(m_strConfig, ruleslisting::Config(*m_pdatabase));
    testsupport::WriteFile(m_strLookup, ruleslisting::Lookup(*m_pdatabase));
    BeforeDefaultFixUp();
    m_pdatabase->FixDefaultAll();
    // The labels of the session's language (English).
    m_pdatabase->UpdateLabels();
  }

  const char* Send(const std::string& a_strCommand, const std::string& a_strBody = "") {
    return m_pscannerlibrary->Send(a_strCommand, a_strBody);
  }

  EDEVREPLY Dispatch(const char* a_szReply, bool a_blInterfaceOpen) {
    return m_pdispatch->Process(a_szReply, DevDispatchTarget::Database(m_pdatabase.get()), a_blInterfaceOpen,
                                DB_FIRMWARE_ADF);
  }

  std::unique_ptr<simtest::ScannerLibrary> m_pscannerlibrary;
  std::unique_ptr<CDispatch> m_pdispatch;
};

}  // namespace drvtest
