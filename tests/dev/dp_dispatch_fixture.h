// Tests of the device-reply dispatcher: a database loaded with the library's
// own resources, a dispatcher with both grammars loaded, and replies made the
// way a device-manager library writes them.
#pragma once

#include <string>

#include "../db/db_fixture.h"
#include "db_cdbconfig.h"
#include "db_cdbversion.h"
#include "dp_cdispatch.h"

namespace dptest {

// A reply task: the status word (none without one) and further reports.
inline std::string Reply(const char* a_szStatus, const std::string& a_strReports = "") {
  std::string strReply = "<task id='00000000000000000001' reply='00000000000000000001' bytes='00000000000000000000'>\n";
  if (a_szStatus) strReply += std::string("\t<reportstatus>\n\t\t<status>") + a_szStatus + "</status>\n\t</reportstatus>\n";
  return strReply + a_strReports + "</task>\n";
}

// One report element holding one child.
inline std::string Report(const std::string& a_strReport, const std::string& a_strElement,
                          const std::string& a_strContent) {
  return "\t<" + a_strReport + ">\n\t\t<" + a_strElement + ">" + a_strContent + "</" + a_strElement + ">\n\t</" +
         a_strReport + ">\n";
}

class DispatchFixture : public dbtest::DbFixture {
 protected:
  void SetUp() override {
    DbFixture::SetUp();
    ASSERT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH, false), DB_STS_SUCCESS);
    m_pdispatch = std::make_unique<CDispatch>();
    ASSERT_EQ(m_pdispatch->SetupDispatchTemplate(), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdispatch->SetupDispatchOutput(), OS_STS_SUCCESS) << m_plog->Text();
  }
  void TearDown() override {
    m_pdispatch.reset();
    DbFixture::TearDown();
  }

  EDEVREPLY Process(const std::string& a_strReply) {
    return m_pdispatch->Process(a_strReply.c_str(), DevDispatchTarget::Database(m_pdatabase.get()), false,
                                DB_FIRMWARE_ADF);
  }

  // The machine datum of a capability, made accessible with the values given
  // (an enumeration's lists take them all; the first is current).
  CDbDatum* Offer(EDBID a_edbid, EDBACCESS a_edbaccess, std::initializer_list<long> a_illValues = {}) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid);
    EXPECT_NE(pdbdatum, nullptr) << a_edbid;
    if (!pdbdatum) return nullptr;
    m_pdatabase->SetAccess(pdbdatum, a_edbaccess);
    for (long lValue : a_illValues) {
      m_pdatabase->EnumAddDefaultItem(pdbdatum, lValue);
      m_pdatabase->EnumAddItem(pdbdatum, lValue);
    }
    if (a_illValues.size()) m_pdatabase->ForceCurrentLong(pdbdatum, *a_illValues.begin());
    return pdbdatum;
  }

  long Current(EDBID a_edbid) { return m_pdatabase->GetCurrentLongFromId(a_edbid); }
  std::string Text(EDBID a_edbid) {
    const char* sz = m_pdatabase->GetCurrentStringFromId(a_edbid);
    return sz ? sz : "(null)";
  }
  std::string Config(const char* a_szKey, EDBCONFIGTARGET a_edbconfigtarget) {
    const char* sz = m_pdatabase->ConfigGetString(a_szKey, a_edbconfigtarget);
    return sz ? sz : "(null)";
  }

  std::unique_ptr<CDispatch> m_pdispatch;
};

}  // namespace dptest
