// What the image library reports about itself: its free memory and its
// version.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "db_cdbversion.h"
#include "dev_cdevnexil.h"
#include "dp_cpassthroughdravix.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {

constexpr size_t s_sizetVersion = 512;
// Libraries below 6.10 need the memory service's shared mode.
constexpr int64_t s_i64SharedModeBelow = 6100000;

// A version number as the library's dotted text: 6010203 is 6.1.2.3,
// 6010200 6.1.2 and 6000000 6.0.
void DottedVersion(int64_t a_i64Number, char* a_szVersion, size_t a_sizetVersion) {
  COsString::SStrPrintf(a_szVersion, a_sizetVersion, "%lld.%lld", static_cast<long long>(a_i64Number / 1000000),
                        static_cast<long long>((a_i64Number % 1000000) / 10000));
  if (a_i64Number % 100 != 0) {
    COsString::SStrCatf(a_szVersion, a_sizetVersion, ".%lld.%lld", static_cast<long long>((a_i64Number % 10000) / 100),
                        static_cast<long long>(a_i64Number % 100));
  } else if ((a_i64Number % 10000) / 100 != 0) {
    COsString::SStrCatf(a_szVersion, a_sizetVersion, ".%lld", static_cast<long long>((a_i64Number % 10000) / 100));
  }
}

}  // namespace

EDEVSTS CDevNexil::GetFreeMemory(const char* a_szCameraId, OsMemList* a_posmemlist) {
  CExchangeLock lock(m_mutex);
  if (!m_ppassthroughdravix) m_ppassthroughdravix = OsMemNew(CPassthroughDravix);
  if (!m_ppassthroughdravix) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return DEV_STS_FAIL;
  }
  const EDBID_FIRMWARE edbidfirmware = UnitOfCamera(a_szCameraId);
  if (!Alive(edbidfirmware) || !Begin("passthroughdravix")) return DEV_STS_FAIL;
  m_posxmltask->AddArgument("getfreememory", "");
  switch (static_cast<int>(m_ppassthroughdravix->Process(Send(edbidfirmware, "passthroughdravix"), a_posmemlist))) {
    case 0: return DEV_STS_SUCCESS;
    case 2: return DEV_STS_LOWMEMORY;
    case 6: return DEV_STS_ENDOFOUTPUT;
    case 15: return DEV_STS_ECDOCUSTOMLEARNFAIL;
    default: return DEV_STS_FAIL;
  }
}

void CDevNexil::GetVersion() {
  if (!m_pdatabase) return;
  CDbLockRelease dblockrelease;
  GetVersionOfUnit(DB_FIRMWARE_ADF);
  GetVersionOfUnit(DB_FIRMWARE_FLATBED);
}

// A number (a text without a point) is shown dotted; a dotted text is kept
// as it is, for the flatbed as for the feeder. Only the feeder's number
// decides the memory mode. The versions are asked for first, then stored
// under the database lock.
void CDevNexil::GetVersionOfUnit(EDBID_FIRMWARE a_edbidfirmware) {
  const bool blFeeder = a_edbidfirmware == DB_FIRMWARE_ADF;
  char szVersion[s_sizetVersion], szVersionUser[s_sizetVersion];
  bool blVersion = false, blVersionUser = false;
  {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_adevnexilunit[a_edbidfirmware].edevnexilcall == DEV_NEXILCALL_NONE) return;
    blVersion = ReadVersion(a_edbidfirmware, "getversion", szVersion, sizeof szVersion);
    blVersionUser = ReadVersion(a_edbidfirmware, "getversionuser", szVersionUser, sizeof szVersionUser);
  }
  if (blVersion && !std::strchr(szVersion, '.')) {
    const int64_t i64Number = std::strtoll(szVersion, nullptr, 10);
    if (blFeeder && OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEMEMORYMAP, 0) == 0 &&
        i64Number < s_i64SharedModeBelow && g_posmem) {
      g_posmem->SharedSetMode(OS_SHAREDMODE_MAPFILEASNEEDED, __FILE__, __LINE__);
    }
    DottedVersion(i64Number, szVersion, sizeof szVersion);
  }
  CDbLockGuard dblock;
  CDbVersion* pdbversion = m_pdatabase->GetDbVersion();
  if (!pdbversion) return;
  if (blVersion) {
    if (blFeeder) {
      pdbversion->SetVersionNumberNexilAdf(szVersion);
      pdbversion->SetVersionNexilAdf(szVersion);
    } else {
      pdbversion->SetVersionNumberNexilFlatbed(szVersion);
      pdbversion->SetVersionNexilFlatbed(szVersion);
    }
  }
  if (blVersionUser) {
    if (blFeeder) {
      pdbversion->SetVersionNexilAdf(szVersionUser);
    } else {
      pdbversion->SetVersionNexilFlatbed(szVersionUser);
    }
  }
}

bool CDevNexil::ReadVersion(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand, char* a_szVersion,
                            size_t a_sizetVersion) {
  a_szVersion[0] = '\0';
  if (!m_posxml || !Alive(a_edbidfirmware) || !Begin(a_szCommand)) return false;
  const char* szReply = Send(a_edbidfirmware, a_szCommand);
  if (!szReply || m_posxml->DocumentLoad(szReply) != OS_STS_SUCCESS) return false;
  const bool blFound = m_posxml->NodeChild() == OS_STS_SUCCESS && m_posxml->NodeSibling() == OS_STS_SUCCESS &&
                       m_posxml->NodeChild() == OS_STS_SUCCESS &&
                       m_posxml->NodeGetContent(a_szVersion, static_cast<long>(a_sizetVersion)) == OS_STS_SUCCESS &&
                       a_szVersion[0];
  m_posxml->DocumentFree();
  if (!blFound) {
    a_szVersion[0] = '\0';
    OsLog(OS_LOG_ERROR, "%s: no version in the reply...", a_szCommand);
  }
  return blFound;
}
