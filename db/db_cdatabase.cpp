// The database object: construction and destruction of the datum table with
// its sentinels and owned components, the process's one claim on the table,
// loading, and the state bits.
#include "db_cdatabase.h"

#include <atomic>

#include "db_cdbcatalogue.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdbframe.h"
#include "db_cdbia.h"
#include "db_cdblabel.h"
#include "db_cdblookup.h"
#include "db_cdbprofilelist.h"
#include "db_cdbversion.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxmltask.h"

namespace {

constexpr size_t s_sizetReplyTask = 0x60000;
constexpr EDBSCANSOURCE s_edbscansourceDefault = 1;
constexpr unsigned int s_uProfilesMax = 64;

// The database that holds the datum table. The datums reach their table
// through one process-wide pointer, so a second database would take it over
// and free it under the first: only the holder of this claim builds one.
std::atomic<const CDatabase*> s_pdatabaseOwner{nullptr};

}  // namespace

// ---------------------------------------------------------------------------
// Construction and destruction
// ---------------------------------------------------------------------------
// The steps go on whatever fails: an object that cannot be made stays null
// and its forwarders fail, a missing table leaves every slot empty.
CDatabase::CDatabase() {
  const CDatabase* pdatabaseNone = nullptr;
  if (!s_pdatabaseOwner.compare_exchange_strong(pdatabaseNone, this)) {
    OsLog(OS_LOG_ERROR, "Another database holds the datum table...");
    return;
  }
  m_blOwner = true;
  CDbDatum::ms_pdatumcommon = static_cast<DbDatumCommon*>(OsMemAlloc(sizeof(DbDatumCommon)));
  m_pdatumcommon = CDbDatum::ms_pdatumcommon;
  if (!m_pdatumcommon) OsLog(OS_LOG_ASSERT, "OsMemAlloc failed...");
  m_posxmltask = OsMemNewAt<COsXmlTask>(__FILE__, __LINE__, "COsXmlTask", "", s_sizetReplyTask);
  m_pdbversion = OsMemNew(CDbVersion);
  // The block comes zero-filled: every slot is empty.
  CDbDatum::SetDatabase(this);
  m_pdblookup = OsMemNew(CDbLookup);
  m_pdblabel = OsMemNew(CDbLabel);
  m_pdbframe = OsMemNew(CDbFrame);
  m_pdbprofilelist = OsMemNew(CDbProfileList, this, s_uProfilesMax);
  m_pdbconfig = OsMemNew(CDbConfig, this);
  // The catalogue, between the two sentinels; the first datum made sets the
  // table's shared objects up.
  CDbCatalogue::NewRow(CDbCatalogue::GetUndefined());
  NewMachine();
  NewCamera();
  NewWindow();
  CDbCatalogue::NewRow(CDbCatalogue::GetLast());
  m_pdbnotify = CDbDatum::GetDbNotify();
  m_edbscansource = s_edbscansourceDefault;
}

// The components go first, then the catalogue in the order it was built
// (not in reverse), then the table with its shared objects.
CDatabase::~CDatabase() {
  if (m_blOwner) {
    // The labels go first: closing them resets the lookup records' labels.
    OsMemDelete(m_pdblabel);
    OsMemDelete(m_pdbframe);
    OsMemDelete(m_pdblookup);
    OsMemDelete(m_pdbversion);
    OsMemDelete(m_posxmltask);
    OsMemDelete(m_pdbprofilelist);
    OsMemDelete(m_pdbconfig);
    OsMemDelete(m_pdbia);
  }
  for (char*& szData : m_aszData) {
    if (szData) OsMemFree(szData);
    szData = nullptr;
  }
  if (!m_blOwner) return;
  m_pdbnotify = nullptr;
  CDbCatalogue::DeleteRow(CDbCatalogue::GetUndefined());
  DeleteMachine();
  DeleteCamera();
  DeleteWindow();
  CDbCatalogue::DeleteRow(CDbCatalogue::GetLast());
  CDbDatum::Shutdown();
  m_pdatumcommon = nullptr;
  s_pdatabaseOwner.store(nullptr);
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------
// The load goes on whatever the components answer: a database without its
// lookup or default profile still holds every capability.
EDBSTS CDatabase::Load(EDBAPI a_edbapi, EDBLOADMETHOD a_edbloadmethod, const char* a_szFile, bool) {
  OsLogDebug(OS_LOG_INFO, ">>> CDatabase::Load(%d,%s)", a_edbloadmethod, a_szFile ? a_szFile : "");
  if (a_edbapi != DB_API_RESOURCE) {
    OsLog(OS_LOG_ERROR, "Unrecognized api...%d", a_edbapi);
    return DB_STS_BADARGUMENT;
  }
  if (!Table()) {
    OsLog(OS_LOG_ERROR, "No datum table to load...");
    return DB_STS_FAIL;
  }
  const EDBSTS edbstsLookup = LoadLookup(a_edbapi, a_edbloadmethod, a_szFile);
  if (edbstsLookup != DB_STS_SUCCESS) OsLog(OS_LOG_ERROR, "LoadLookup failed...%d", edbstsLookup);
  if (!m_pdbprofilelist) {
    OsLog(OS_LOG_ERROR, "m_pdbprofilelist is null...");
  } else if (const EDBSTS edbstsProfiles = m_pdbprofilelist->Load(); edbstsProfiles != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Profile list load failed...%d", edbstsProfiles);
  } else {
    m_blResourceLoaded = true;
    m_blDefaultsFixed = false;
  }
  return DB_STS_SUCCESS;
}

EDBSTS CDatabase::LoadLookup(EDBAPI a_edbapi, EDBLOADMETHOD a_edbloadmethod, const char* a_szFile) {
  if (a_edbapi != DB_API_RESOURCE) {
    OsLog(OS_LOG_ERROR, "Unrecognized API...%d %d", a_edbapi, a_edbloadmethod);
    return DB_STS_BADARGUMENT;
  }
  if (!m_pdblookup) {
    OsLog(OS_LOG_ERROR, "m_pdblookup is null...");
    return DB_STS_FAIL;
  }
  return static_cast<EDBSTS>(m_pdblookup->Open2(DB_API_RESOURCE, a_szFile, nullptr, 0, true));
}

// ---------------------------------------------------------------------------
// State bits and shared objects
// ---------------------------------------------------------------------------
// A database without the table leaves the owner's state word alone.
void CDatabase::SetDbState(EDBSTATE a_edbstate) {
  if (Table()) CDbDatum::SetDbState(a_edbstate);
}

void CDatabase::ClearDbState(EDBSTATE a_edbstate) {
  if (Table()) CDbDatum::ClearDbState(a_edbstate);
}

long CDatabase::TestDbState(EDBSTATE a_edbstate) { return Table() && CDbDatum::TestDbState(a_edbstate) ? 1 : 0; }

COsXmlTask* CDatabase::GetDbMakeXml() { return Table() ? CDbDatum::GetDbMakeXml() : nullptr; }
