// The forwarders: each hands its arguments to the owned component unchanged
// and returns its answer. A component that could not be made is logged and
// answered as a failure (1, false, null, -1 for numbers, nothing).
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdbframe.h"
#include "db_cdblookup.h"
#include "db_cdbnotify.h"
#include "db_cdbprofilelist.h"
#include "os_coslog.h"

namespace {

template <class T>
bool Missing(const T* a_p, const char* a_szMessage) {
  if (a_p) return false;
  OsLog(OS_LOG_ERROR, "%s", a_szMessage);
  return true;
}

bool NoNotify(const CDbNotify* a_pdbnotify) { return Missing(a_pdbnotify, "m_pdbnotifyimpl is null..."); }
bool NoLookup(const CDbLookup* a_pdblookup) { return Missing(a_pdblookup, "m_pdblookupimpl is null..."); }
bool NoConfig(const CDbConfig* a_pdbconfig) { return Missing(a_pdbconfig, "cfg>>> m_pdbconfig is null..."); }
bool NoProfiles(const CDbProfileList* a_pdbprofilelist) {
  return Missing(a_pdbprofilelist, "m_pdbprofilelist is null...");
}
bool NoFrame(const CDbFrame* a_pdbframe) { return Missing(a_pdbframe, "m_pdbframe is null..."); }

}  // namespace

// ---------------------------------------------------------------------------
// Change notification
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

// ---------------------------------------------------------------------------
// Lookup
// ---------------------------------------------------------------------------
DbLookup2* CDatabase::LookupEdbid(EDBID a_edbid) {
  return NoLookup(m_pdblookup) ? nullptr : m_pdblookup->FindEdbid(a_edbid);
}

DbLookup2* CDatabase::LookupLexicon(const char* a_szLexicon) {
  return NoLookup(m_pdblookup) ? nullptr : m_pdblookup->FindLexicon(a_szLexicon);
}

DbLookup2* CDatabase::LookupDriverLexicon(const char* a_szTwainLexicon) {
  return NoLookup(m_pdblookup) ? nullptr : m_pdblookup->FindDriverLexicon(a_szTwainLexicon);
}

// Nothing, and nothing logged, without a lookup object.
void CDatabase::LookupDump(const char* a_szFile) {
  if (m_pdblookup) m_pdblookup->Dump(a_szFile);
}

DbLookupEnum* CDatabase::LookupDbEnum(DbLookup2* a_pdblookup2, long a_lValue) {
  return NoLookup(m_pdblookup) ? nullptr : m_pdblookup->FindDbEnum(a_pdblookup2, a_lValue);
}

DbLookupEnum* CDatabase::LookupLexiconEnum(DbLookup2* a_pdblookup2, const char* a_szLexicon) {
  return NoLookup(m_pdblookup) ? nullptr : m_pdblookup->FindLexiconEnum(a_pdblookup2, a_szLexicon);
}

void CDatabase::LookupSetWritable(bool a_blWritable) {
  if (!NoLookup(m_pdblookup)) m_pdblookup->SetWritable(a_blWritable);
}

long CDatabase::LookupRepointEnums(DbLookup2* a_pdblookup2, const DbLookupEnumTexts* a_pdblookupenumtexts,
                                   long a_lCount) {
  return NoLookup(m_pdblookup) ? 0 : m_pdblookup->RepointEnums(a_pdblookup2, a_pdblookupenumtexts, a_lCount);
}

// ---------------------------------------------------------------------------
// Scanner configuration records
// ---------------------------------------------------------------------------
DbConfigRecord* CDatabase::ConfigAdd(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  return NoConfig(m_pdbconfig) ? nullptr : m_pdbconfig->Add(a_szId, a_edbconfigtarget);
}

void CDatabase::ConfigDelete(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  if (!NoConfig(m_pdbconfig)) m_pdbconfig->Delete(a_szId, a_edbconfigtarget);
}

bool CDatabase::ConfigExists(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  return !NoConfig(m_pdbconfig) && m_pdbconfig->Exists(a_szId, a_edbconfigtarget);
}

const char* CDatabase::ConfigGetString(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  return NoConfig(m_pdbconfig) ? nullptr : m_pdbconfig->GetString(a_szId, a_edbconfigtarget);
}

int64_t CDatabase::ConfigGetNumber(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  return NoConfig(m_pdbconfig) ? -1 : m_pdbconfig->GetNumber(a_szId, a_edbconfigtarget);
}

void CDatabase::ConfigSetString(const char* a_szId, const char* a_szString, EDBCONFIGTARGET a_edbconfigtarget) {
  if (!NoConfig(m_pdbconfig)) m_pdbconfig->SetString(a_szId, a_szString, a_edbconfigtarget);
}

void CDatabase::ConfigSetNumber(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget) {
  if (!NoConfig(m_pdbconfig)) m_pdbconfig->SetNumber(a_szId, a_u64Number, a_edbconfigtarget);
}

uint64_t CDatabase::ConfigRangeGetMin(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  return NoConfig(m_pdbconfig) ? static_cast<uint64_t>(-1) : m_pdbconfig->RangeGetMin(a_szId, a_edbconfigtarget);
}

uint64_t CDatabase::ConfigRangeGetMax(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  return NoConfig(m_pdbconfig) ? 0 : m_pdbconfig->RangeGetMax(a_szId, a_edbconfigtarget);
}

void CDatabase::ConfigRangeSetMin(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget) {
  if (!NoConfig(m_pdbconfig)) m_pdbconfig->RangeSetMin(a_szId, a_u64Number, a_edbconfigtarget);
}

void CDatabase::ConfigRangeSetMax(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget) {
  if (!NoConfig(m_pdbconfig)) m_pdbconfig->RangeSetMax(a_szId, a_u64Number, a_edbconfigtarget);
}

void CDatabase::ConfigEnumAdd(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget) {
  if (!NoConfig(m_pdbconfig)) m_pdbconfig->EnumAdd(a_szId, a_szEnum, a_edbconfigtarget);
}

bool CDatabase::ConfigEnumExists(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget) {
  return !NoConfig(m_pdbconfig) && m_pdbconfig->EnumExists(a_szId, a_szEnum, a_edbconfigtarget);
}

void CDatabase::ConfigEnumDelete(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget) {
  if (!NoConfig(m_pdbconfig)) m_pdbconfig->EnumDelete(a_szId, a_szEnum, a_edbconfigtarget);
}

const char* CDatabase::ConfigEnumGetFirst(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  return NoConfig(m_pdbconfig) ? nullptr : m_pdbconfig->EnumGetFirst(a_szId, a_edbconfigtarget);
}

const char* CDatabase::ConfigEnumGetNext(const char* a_szId, const char* a_szPrevEnum,
                                         EDBCONFIGTARGET a_edbconfigtarget) {
  return NoConfig(m_pdbconfig) ? nullptr : m_pdbconfig->EnumGetNext(a_szId, a_szPrevEnum, a_edbconfigtarget);
}

bool CDatabase::ConfigLoadReportInquiry(const char* a_szXml, size_t a_sizetXml, bool a_blInterfaceOpen, bool a_blNexil,
                                        EDBID_FIRMWARE a_edbidfirmware) {
  return !NoConfig(m_pdbconfig) &&
         m_pdbconfig->LoadReportInquiry(a_szXml, a_sizetXml, a_blInterfaceOpen, a_blNexil, a_edbidfirmware);
}

bool CDatabase::ConfigProcessReportInquiry(const char* a_szModel, CDev* a_pdev) {
  return !NoConfig(m_pdbconfig) && m_pdbconfig->ProcessReportInquiry(a_szModel, a_pdev);
}

void CDatabase::ConfigForgetReportInquiries() {
  if (!NoConfig(m_pdbconfig)) m_pdbconfig->ForgetReportInquiries();
}

bool CDatabase::ConfigProcessReportInquiryXml(const char* a_szPrefix, const char* a_szXml,
                                              EDBID_FIRMWARE a_edbidfirmware) {
  return !NoConfig(m_pdbconfig) && m_pdbconfig->ProcessReportInquiryXml(a_szPrefix, a_szXml, a_edbidfirmware);
}

const char* CDatabase::ConfigUseLanguage(bool a_blDevice, EDBID_FIRMWARE a_edbidfirmware) {
  return NoConfig(m_pdbconfig) ? "en_usa" : m_pdbconfig->UseLanguage(a_blDevice, a_edbidfirmware);
}

void CDatabase::ConfigDump() {
  if (!NoConfig(m_pdbconfig)) m_pdbconfig->Dump();
}

const DbConfigRecord* CDatabase::ConfigGetRecord(size_t a_sizetIndex) {
  return NoConfig(m_pdbconfig) ? nullptr : m_pdbconfig->GetRecord(a_sizetIndex);
}

// ---------------------------------------------------------------------------
// Settings profiles
// ---------------------------------------------------------------------------
EDBSTS CDatabase::ProfileSetCurrent(const char* a_szName) {
  return NoProfiles(m_pdbprofilelist) ? DB_STS_FAIL : m_pdbprofilelist->SetCurrent(a_szName);
}

EDBSTS CDatabase::ProfileSetCurrent(const char* a_szGroup, const char* a_szFilename, unsigned int a_uSize) {
  return NoProfiles(m_pdbprofilelist) ? DB_STS_FAIL : m_pdbprofilelist->SetCurrent(a_szGroup, a_szFilename, a_uSize);
}

EDBSTS CDatabase::ProfileRestoreInstalledProfiles(bool a_blShare) {
  return NoProfiles(m_pdbprofilelist) ? DB_STS_FAIL : m_pdbprofilelist->RestoreInstalledProfiles(a_blShare);
}

EDBSTS CDatabase::ProfileUpdateShare(EDBID a_edbid) {
  return NoProfiles(m_pdbprofilelist) ? DB_STS_FAIL : m_pdbprofilelist->UpdateShare(a_edbid);
}

EDBSTS CDatabase::ProfileReset(bool a_blAll) {
  return NoProfiles(m_pdbprofilelist) ? DB_STS_FAIL : m_pdbprofilelist->Reset(a_blAll);
}

const char* CDatabase::ProfileReportProfileList() {
  return NoProfiles(m_pdbprofilelist) ? nullptr : m_pdbprofilelist->ReportProfileList();
}

const char* CDatabase::ProfileItem(int a_iDepth) {
  return NoProfiles(m_pdbprofilelist) ? nullptr : m_pdbprofilelist->ProfileItem(a_iDepth);
}

const char* CDatabase::ProfileReportProfileItem(int a_iDepth) {
  return NoProfiles(m_pdbprofilelist) ? nullptr : m_pdbprofilelist->ReportProfileItem(a_iDepth);
}

const char* CDatabase::ProfileReportDataFile(const char* a_szGroup) {
  return NoProfiles(m_pdbprofilelist) ? nullptr : m_pdbprofilelist->ReportDataFile(a_szGroup);
}

EDBSTS CDatabase::ProfileRename(const char* a_szName, const char* a_szGraphicFilename) {
  return NoProfiles(m_pdbprofilelist) ? DB_STS_FAIL : m_pdbprofilelist->Rename(a_szName, a_szGraphicFilename);
}

EDBSTS CDatabase::ProfileImport(const char* a_szFilename, bool a_blFlag) {
  return NoProfiles(m_pdbprofilelist) ? DB_STS_FAIL : m_pdbprofilelist->Import(a_szFilename, a_blFlag);
}

EDBSTS CDatabase::ProfileExport(const char* a_szFilename) {
  return NoProfiles(m_pdbprofilelist) ? DB_STS_FAIL : m_pdbprofilelist->Export(a_szFilename);
}

EDBSTS CDatabase::ProfileDelete(const char* a_szName) {
  return NoProfiles(m_pdbprofilelist) ? DB_STS_FAIL : m_pdbprofilelist->Delete(a_szName);
}

void CDatabase::ProfileFree() {
  if (!NoProfiles(m_pdbprofilelist)) m_pdbprofilelist->Free();
}

EDBSTS CDatabase::ProfileCreate(const char* a_szName, const char* a_szGraphicFilename) {
  if (NoProfiles(m_pdbprofilelist)) return DB_STS_FAIL;
  if (a_szName && a_szName[0]) return m_pdbprofilelist->Create(a_szName, a_szGraphicFilename);
  return m_pdbprofilelist->Save();
}

const char* CDatabase::ProfileGetUserProfileDirectory() {
  return NoProfiles(m_pdbprofilelist) ? nullptr : m_pdbprofilelist->GetUserProfileDirectory();
}

const char* CDatabase::ProfileGetUserProfileGraphicsDirectory() {
  return NoProfiles(m_pdbprofilelist) ? nullptr : m_pdbprofilelist->GetUserProfileGraphicsDirectory();
}

const char* CDatabase::ProfileGetInstalledProfileGraphicsDirectory() {
  return NoProfiles(m_pdbprofilelist) ? nullptr : m_pdbprofilelist->GetInstalledProfileGraphicsDirectory();
}

const char* CDatabase::ProfileGetCurrentProfileDirectory() {
  return NoProfiles(m_pdbprofilelist) ? nullptr : m_pdbprofilelist->GetCurrentProfileDirectory();
}

// ---------------------------------------------------------------------------
// Frame geometry
// ---------------------------------------------------------------------------
bool CDatabase::IsValidFrame(int64_t a_i64FrameXoffset, int64_t a_i64FrameYoffset, int64_t a_i64FrameWidth,
                             int64_t a_i64FrameHeight, int64_t a_i64FrameAngle, int64_t a_i64MinWidth,
                             int64_t a_i64MinHeight, int64_t a_i64PhysicalWidth, int64_t a_i64PhysicalHeight) {
  return !NoFrame(m_pdbframe) &&
         m_pdbframe->IsValidFrame(a_i64FrameXoffset, a_i64FrameYoffset, a_i64FrameWidth, a_i64FrameHeight,
                                  a_i64FrameAngle, a_i64MinWidth, a_i64MinHeight, a_i64PhysicalWidth,
                                  a_i64PhysicalHeight);
}

EDBID_SUPPORTEDSIZES CDatabase::ConvertWindowSizeFromFrame(int64_t a_i64FrameXoffset, int64_t a_i64FrameYoffset,
                                                           int64_t a_i64FrameWidth, int64_t a_i64FrameHeight) {
  if (NoFrame(m_pdbframe)) return DB_SUPPORTEDSIZES_NONE;
  return m_pdbframe->SupportedSizesFromCurrentFrame(a_i64FrameXoffset, a_i64FrameYoffset, a_i64FrameWidth,
                                                    a_i64FrameHeight);
}

int64_t CDatabase::Convert1200FromSupportedSizes(EDBID_SUPPORTEDSIZES a_edbidsupportedsizes, bool a_blCentered,
                                                 int64_t a_i64MaxWidth, int64_t a_i64MaxHeight, EDBID a_edbidSide) {
  if (NoFrame(m_pdbframe)) return 0;
  return m_pdbframe->Cvt1200FromSupportedSizes(a_edbidsupportedsizes, a_blCentered, a_i64MaxWidth, a_i64MaxHeight,
                                               a_edbidSide);
}

void CDatabase::ConvertLoadCustomSupportedSizes() {
  if (!NoFrame(m_pdbframe)) m_pdbframe->LoadCustomSupportedSizes();
}
