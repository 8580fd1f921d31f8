// The database object: construction and destruction of the datum table with
// its sentinels and owned components, state bits, and the forwarders to the
// notification, lookup and configuration components.
#include "db_cdatabase.h"

#include "db_cdbcatalogue.h"
#include "db_cdbdatum.h"
#include "db_cdblabel.h"
#include "db_cdblookup.h"
#include "db_cdbnotify.h"
#include "db_cdbversion.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxmltask.h"

namespace {

constexpr size_t s_sizetReplyTask = 0x60000;
constexpr long s_lScanSourceDefault = 1;

bool NoNotify(const CDbNotify* a_pdbnotify) {
  if (a_pdbnotify) return false;
  OsLog(OS_LOG_ERROR, "m_pdbnotifyimpl is null...");
  return true;
}

bool NoLookup(const CDbLookup* a_pdblookup) {
  if (a_pdblookup) return false;
  OsLog(OS_LOG_ERROR, "m_pdblookupimpl is null...");
  return true;
}

bool NoConfig(const CDbConfig* a_pdbconfig) {
  if (a_pdbconfig) return false;
  OsLog(OS_LOG_ERROR, "cfg>>> m_pdbconfig is null...");
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and destruction
// ---------------------------------------------------------------------------
CDatabase::CDatabase()
    : m_pdblookup(nullptr),
      m_pdblabel(nullptr),
      m_pdbframe(nullptr),
      m_pdbnotify(nullptr),
      m_pdbversion(nullptr),
      m_pdbprofilelist(nullptr),
      m_pdbconfig(nullptr),
      m_pdbia(nullptr),
      m_posxmltask(nullptr),
      m_iTaskId(0),
      m_iReplyId(0),
      m_edbscansource(0) {
  CDbDatum::ms_pdatumcommon = static_cast<DbDatumCommon*>(OsMemAlloc(sizeof(DbDatumCommon)));
  m_posxmltask = OsMemNewAt<COsXmlTask>(__FILE__, __LINE__, "COsXmlTask", "", s_sizetReplyTask);
  m_pdbversion = OsMemNew(CDbVersion);
  if (!CDbDatum::ms_pdatumcommon) {
    // Without a table there is nothing to hold datums: every find answers none.
    OsLog(OS_LOG_ASSERT, "OsMemAlloc failed...");
    return;
  }
  CDbDatum::SetDatabase(this);
  m_pdblookup = OsMemNew(CDbLookup);
  m_pdblabel = OsMemNew(CDbLabel);
  // The catalogue, between the two sentinels; the first datum made sets the
  // table's shared objects up.
  CDbCatalogue::NewRow(CDbCatalogue::GetUndefined());
  NewMachine();
  NewCamera();
  NewWindow();
  CDbCatalogue::NewRow(CDbCatalogue::GetLast());
  m_pdbnotify = CDbDatum::GetDbNotify();
  m_edbscansource = s_lScanSourceDefault;
}

// The catalogue goes in the order it was built, not in reverse; without a
// table there is nothing of it to release.
CDatabase::~CDatabase() {
  // The labels go first: closing them resets the lookup records' labels.
  OsMemDelete(m_pdblabel);
  OsMemDelete(m_pdblookup);
  OsMemDelete(m_pdbversion);
  OsMemDelete(m_posxmltask);
  if (!CDbDatum::ms_pdatumcommon) return;
  CDbCatalogue::DeleteRow(CDbCatalogue::GetUndefined());
  DeleteMachine();
  DeleteCamera();
  DeleteWindow();
  CDbCatalogue::DeleteRow(CDbCatalogue::GetLast());
  CDbDatum::Shutdown();
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------
// The load goes on whatever the components answer; a lookup that could not
// be read is logged here.
EDBSTS CDatabase::Load(EDBAPI a_edbapi, EDBLOADMETHOD a_edbloadmethod, const char* a_szFile, bool) {
  OsLogDebug(OS_LOG_INFO, ">>> CDatabase::Load(%d,%s)", a_edbloadmethod, a_szFile ? a_szFile : "");
  if (a_edbapi != DB_API_RESOURCE) {
    OsLog(OS_LOG_ERROR, "Unrecognized api...%d", a_edbapi);
    return DB_STS_BADARGUMENT;
  }
  EDBSTS edbsts = LoadLookup(a_edbapi, a_edbloadmethod, a_szFile);
  if (edbsts != DB_STS_SUCCESS) OsLog(OS_LOG_ERROR, "LoadLookup failed...%d", edbsts);
  return DB_STS_SUCCESS;
}

EDBSTS CDatabase::LoadLookup(EDBAPI a_edbapi, EDBLOADMETHOD a_edbloadmethod, const char* a_szFile) {
  if (a_edbapi != DB_API_RESOURCE) {
    OsLog(OS_LOG_ERROR, "Unrecognized API...%d %d", a_edbapi, a_edbloadmethod);
    return DB_STS_BADARGUMENT;
  }
  if (NoLookup(m_pdblookup)) return DB_STS_FAIL;
  return static_cast<EDBSTS>(m_pdblookup->Open2(DB_API_RESOURCE, a_szFile, nullptr, 0, true));
}

void CDatabase::UpdateLabels() {
  if (m_pdblabel) m_pdblabel->Open();
}

const char* CDatabase::LabelGet(const char* a_szKey, const char* a_szFallback, int a_iIndex) {
  const char* szLabel = m_pdblabel ? m_pdblabel->Get(a_szKey, a_iIndex) : nullptr;
  return szLabel ? szLabel : a_szFallback;
}

// ---------------------------------------------------------------------------
// State bits and shared objects
// ---------------------------------------------------------------------------
void CDatabase::SetDbState(EDBSTATE a_edbstate) { CDbDatum::SetDbState(a_edbstate); }

void CDatabase::ClearDbState(EDBSTATE a_edbstate) { CDbDatum::ClearDbState(a_edbstate); }

long CDatabase::TestDbState(EDBSTATE a_edbstate) { return CDbDatum::TestDbState(a_edbstate) ? 1 : 0; }

long CDatabase::GetWindowMax() { return CDbDatum::GetWindowMax(); }

COsXmlTask* CDatabase::GetDbMakeXml() { return CDbDatum::GetDbMakeXml(); }

// ---------------------------------------------------------------------------
// Forwarders
// ---------------------------------------------------------------------------
void CDatabase::NotifySet(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum) {
  OsLogDebug(OS_LOG_INFO, "db>>> NotifySet <%s>", a_pdbdatum && a_pdbdatum->GetName() ? a_pdbdatum->GetName() : "");
  if (!NoNotify(m_pdbnotify)) m_pdbnotify->Set(a_edbnotify, a_pdbdatum);
}

void CDatabase::NotifyReset(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum) {
  if (!NoNotify(m_pdbnotify)) m_pdbnotify->Reset(a_edbnotify, a_pdbdatum);
}

void CDatabase::NotifyResetAll() {
  if (!NoNotify(m_pdbnotify))
    m_pdbnotify->ResetAll(static_cast<EDBNOTIFY>(DB_NOTIFY_VALUE | DB_NOTIFY_ACCESS | DB_NOTIFY_CONSTRAINT));
}

void CDatabase::NotifyResetProfiles() {
  if (!NoNotify(m_pdbnotify)) m_pdbnotify->ResetAll(DB_NOTIFY_PROFILES);
}

CDbDatum* CDatabase::NotifyGet(EDBNOTIFY a_edbnotify, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid) {
  return NoNotify(m_pdbnotify) ? nullptr : m_pdbnotify->Get(a_edbnotify, a_edbidwindow, a_edbbin, a_edbid);
}

CDbDatum* CDatabase::NotifyGetFirst(EDBNOTIFY a_edbnotify) {
  return NoNotify(m_pdbnotify) ? nullptr : m_pdbnotify->GetFirst(a_edbnotify);
}

CDbDatum* CDatabase::NotifyGetNext(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum) {
  return NoNotify(m_pdbnotify) ? nullptr : m_pdbnotify->GetNext(a_edbnotify, a_pdbdatum);
}

uint64_t CDatabase::NotifyGetSidesCount() { return NoNotify(m_pdbnotify) ? 0 : m_pdbnotify->GetSidesCount(); }

uint64_t CDatabase::NotifyGetImagesCount() { return NoNotify(m_pdbnotify) ? 0 : m_pdbnotify->GetImagesCount(); }

DbLookup2* CDatabase::LookupEdbid(EDBID a_edbid) {
  return NoLookup(m_pdblookup) ? nullptr : m_pdblookup->FindEdbid(a_edbid);
}

DbLookup2* CDatabase::LookupLexicon(const char* a_szLexicon) {
  return NoLookup(m_pdblookup) ? nullptr : m_pdblookup->FindLexicon(a_szLexicon);
}

DbLookup2* CDatabase::LookupDriverLexicon(const char* a_szTwainLexicon) {
  return NoLookup(m_pdblookup) ? nullptr : m_pdblookup->FindDriverLexicon(a_szTwainLexicon);
}

// Nothing without a lookup object.
void CDatabase::LookupDump(const char* a_szFile) {
  if (m_pdblookup) m_pdblookup->Dump(a_szFile);
}

DbLookupEnum* CDatabase::LookupDbEnum(DbLookup2* a_pdblookup2, long a_lValue) {
  return NoLookup(m_pdblookup) ? nullptr : m_pdblookup->FindDbEnum(a_pdblookup2, a_lValue);
}

DbLookupEnum* CDatabase::LookupLexiconEnum(DbLookup2* a_pdblookup2, const char* a_szLexicon) {
  return NoLookup(m_pdblookup) ? nullptr : m_pdblookup->FindLexiconEnum(a_pdblookup2, a_szLexicon);
}

// The configuration records are not attached to the database yet: every
// question answers as for an empty table.
bool CDatabase::ConfigExists(const char*, EDBCONFIGTARGET) {
  NoConfig(m_pdbconfig);
  return false;
}

bool CDatabase::ConfigEnumExists(const char*, const char*, EDBCONFIGTARGET) {
  NoConfig(m_pdbconfig);
  return false;
}

const char* CDatabase::ConfigEnumGetFirst(const char*, EDBCONFIGTARGET) {
  NoConfig(m_pdbconfig);
  return nullptr;
}

const char* CDatabase::ConfigEnumGetNext(const char*, const char*, EDBCONFIGTARGET) {
  NoConfig(m_pdbconfig);
  return nullptr;
}
