// A database as the device engine leaves it after opening a scanner: loaded
// from the library's own resources, the mapleB feeder's inquiry reply
// stored and processed, and the default fix-up run, with a configuration
// store whose texts the rules read.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "../../os/log_capture.h"
#include "../../os/locale_service.h"
#include "../db_cdbconfig_testutil.h"
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "os_coscfg.h"
#include "os_cosmem.h"
#include "test_support.h"

namespace dbtest {

class DbRulesFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    m_plog = std::make_unique<testsupport::LogCapture>(1);
    m_pmem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 1);
    OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
    m_poscfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &oscfgversion, false, nullptr);
    OpenScanner();
    BeforeFixDefault();
    m_pdatabase->FixDefaultAll();
  }

  // Once the configuration store stands, before the database is made.
  virtual void BeforeDatabase() {}
  // Once the scanner's inquiry is processed, before the default fix-up.
  virtual void BeforeFixDefault() {}
  // The library whose resources the database is loaded from.
  virtual const char* Library() { return SCANDRV_LIBRARY_PATH; }

  // A database of its own for the scanner (the one before it goes first),
  // its configuration read, before the default fix-up.
  void OpenScanner() {
    m_pdatabase.reset();
    BeforeDatabase();
    m_pdatabase = std::make_unique<CDatabase>();
    ASSERT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, Library(), false), DB_STS_SUCCESS);
    m_pdatabase->ConfigSetString("model", "mapleB", DB_CONFIGTARGET_ADF);
    const std::string strInquiry =
        dbconfigtest::InquiryContent(dbconfigtest::Fixture("inquiry_mapleb_feeder.xml"));
    ASSERT_TRUE(m_pdatabase->ConfigLoadReportInquiry(strInquiry.c_str(), 0, false, false, DB_FIRMWARE_ADF));
    ASSERT_TRUE(m_pdatabase->ConfigProcessReportInquiry(nullptr, nullptr)) << m_plog->Text();
    // The cropping modes the simulated scanner lists (the stored reply has
    // none, and a model without any has no cropping).
    for (const char* szMode : {"automatic", "fixed", "relative", "aggressive", "longpaper", "photo"})
      m_pdatabase->ConfigEnumAdd("imagecroppingmode", szMode, DB_CONFIGTARGET_COMMON);
  }

  void TearDown() override {
    m_pdatabase.reset();
    m_poscfg.reset();
    m_pmem.reset();
    m_plog.reset();
  }

  // A configuration text of section 1, kept for the store (which keeps the
  // pointer).
  void Configure(unsigned a_uTag, const char* a_szValue) {
    m_dqstrConfig.emplace_back(a_szValue ? a_szValue : "");
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, a_uTag, a_szValue ? m_dqstrConfig.back().c_str() : nullptr),
              OS_STS_SUCCESS);
  }

  CDbDatum* At(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
    return m_pdatabase->FindInWindowBin(a_edbidwindow, a_edbbin, a_edbid);
  }

  long Value(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
    return At(a_edbidwindow, a_edbid, a_edbbin)->GetCurrentLongNoCallback();
  }

  EDBSTS Set(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin, long a_lValue) {
    return m_pdatabase->SetCurrentLong(At(a_edbidwindow, a_edbid, a_edbbin), a_lValue, false);
  }

  std::unique_ptr<testsupport::LogCapture> m_plog;
  std::unique_ptr<COsMem> m_pmem;
  std::unique_ptr<COsCfg> m_poscfg;
  testsupport::LocaleService m_localeservice;
  std::unique_ptr<CDatabase> m_pdatabase;
  std::deque<std::string> m_dqstrConfig;
};

}  // namespace dbtest
