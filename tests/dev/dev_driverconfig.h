// The driver's own configuration tables registered with a test's store, as
// the driver registers them, so that a test can set one of its values.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "dev_drvconfig.h"
#include "os_coscfg.h"

namespace devtest {

class DriverConfig {
 public:
  // The store keeps the pointer: the value must outlive its use.
  void Set(COsCfg& a_oscfg, EDRVCFGTAG a_edrvcfgtag, const char* a_szValue) {
    if (m_vecszData.empty()) {
      m_vecoscfgnameSections = {{"dsIdentity", DRV_CFGSECTION_DSIDENTITY}, {"Images", DRV_CFGSECTION_IMAGES},
                                {nullptr, 1000}};
      for (unsigned i = 0; i < g_uDrvCfgValues; ++i)
        m_vecoscfgnameTags.push_back({g_adrvcfgvalue[i].szName, g_adrvcfgvalue[i].edrvcfgtag});
      m_vecoscfgnameTags.push_back({nullptr, 1000});
      m_vecszData.assign(m_vecoscfgnameSections.size() * m_vecoscfgnameTags.size(), nullptr);
      ASSERT_EQ(a_oscfg.RegisterCaller(m_vecoscfgnameSections.data(), m_vecoscfgnameTags.data(), m_vecszData.data()),
                OS_STS_SUCCESS);
    }
    const unsigned uSection = a_edrvcfgtag == DRV_CFGTAG_DEVSAVE || a_edrvcfgtag == DRV_CFGTAG_APPSAVE
                                  ? DRV_CFGSECTION_IMAGES
                                  : DRV_CFGSECTION_DSIDENTITY;
    ASSERT_EQ(a_oscfg.Set(uSection, a_edrvcfgtag, a_szValue), OS_STS_SUCCESS);
  }

 private:
  std::vector<OsCfgName> m_vecoscfgnameSections;
  std::vector<OsCfgName> m_vecoscfgnameTags;
  std::vector<const char*> m_vecszData;
};

}  // namespace devtest
