// Version strings: the slots and the lazy read of a sibling program's
// VERSION resource.
#include "db_cdbversion.h"

#include <algorithm>
#include <cstring>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosresource.h"
#include "os_cosstring.h"

// The slots, zero-filled when made.
struct CDbVersionImpl {
  static constexpr size_t s_sizetSlot = 512;
  char aszSlot[DB_VERSION_SLOTS][s_sizetSlot];
};

namespace {

constexpr size_t s_sizetPath = 512;

bool Missing(const CDbVersionImpl* a_pdbversionimpl) {
  if (a_pdbversionimpl) return false;
  OsLog(OS_LOG_ASSERT, "m_pdbversionimpl is null...");
  return true;
}

}  // namespace

CDbVersion::CDbVersion() : m_pdbversionimpl(OsMemNew(CDbVersionImpl)) {
  if (m_pdbversionimpl) std::memset(m_pdbversionimpl, 0, sizeof(CDbVersionImpl));
}

CDbVersion::~CDbVersion() { OsMemDelete(m_pdbversionimpl); }

void CDbVersion::Set(EDBVERSIONSLOT a_edbversionslot, const char* a_szText) {
  if (Missing(m_pdbversionimpl)) return;
  COsString::SStrCpy(m_pdbversionimpl->aszSlot[a_edbversionslot], CDbVersionImpl::s_sizetSlot, a_szText);
}

const char* CDbVersion::Get(EDBVERSIONSLOT a_edbversionslot) {
  return Missing(m_pdbversionimpl) ? nullptr : m_pdbversionimpl->aszSlot[a_edbversionslot];
}

const char* CDbVersion::GetVersionUi() { return GetLazy(DB_VERSION_UI, "twaingui.exe"); }

const char* CDbVersion::GetVersionDrvAssistUi() { return GetLazy(DB_VERSION_DRVASSISTUI, "drvassistui.exe"); }

const char* CDbVersion::GetVersionDriverDravix() {
  char szProgram[64] = "driverdravix";
  COsFile::PathAppendExe(szProgram, sizeof szProgram);
  return GetLazy(DB_VERSION_DRIVERDRAVIX, szProgram);
}

// Nothing is remembered of a miss: the next request looks again.
const char* CDbVersion::GetLazy(EDBVERSIONSLOT a_edbversionslot, const char* a_szProgram) {
  const char* szSlot = Get(a_edbversionslot);
  if (!szSlot || szSlot[0]) return szSlot;
  COsResource* posresource = OsMemNew(COsResource);
  if (!posresource) {
    OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
    return nullptr;
  }
  const char* szHome = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_HOMEDIRECTORY) : "";
  char szPath[s_sizetPath] = {};
  if (szHome && szHome[0] && COsFile::PathJoin(szPath, sizeof szPath, szHome, a_szProgram) &&
      COsFile::Exists(szPath) && posresource->Open(szPath, "VERSION", OS_RESOURCETYPE_DATA) == OS_STS_SUCCESS) {
    char szText[s_sizetResourceText + 1] = {};
    const size_t sizetText = std::min<size_t>(static_cast<size_t>(posresource->GetSize()), s_sizetResourceText);
    if (posresource->GetPointer()) std::memcpy(szText, posresource->GetPointer(), sizetText);
    posresource->Close();
    Set(a_edbversionslot, szText);
  }
  OsMemDelete(posresource);
  return szSlot;
}
