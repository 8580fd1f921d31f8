// The private copy a profile apply puts back when it fails.
#include "db_profilesnapshot.h"

#include <cstring>
#include <new>

#include "db_cdatabase.h"
#include "db_cdbcontainer.h"
#include "db_profiledocument.h"
#include "os_coslog.h"

namespace dbprofile {

namespace {

long Append(std::vector<char>* a_pvec, const char* a_sz) {
  const long lOffset = static_cast<long>(a_pvec->size());
  const char* sz = a_sz ? a_sz : "";
  a_pvec->insert(a_pvec->end(), sz, sz + std::strlen(sz) + 1);
  return lOffset;
}

}  // namespace

bool Snapshot::Take(CDatabase* a_pdatabase) {
  m_vecEntry.clear();
  m_vecText.clear();
  m_vecItem.clear();
  m_vecChanged.clear();
  m_pdatabase = a_pdatabase;
  try {
    for (CDbDatum* pdbdatum = a_pdatabase->NotifyGetFirst(DB_NOTIFY_PROFILES); pdbdatum;
         pdbdatum = a_pdatabase->NotifyGetNext(DB_NOTIFY_PROFILES, pdbdatum))
      m_vecChanged.push_back(pdbdatum);
    const int iWindows = WindowsInUse(a_pdatabase);
    for (int iWindow = 0; iWindow < iWindows; ++iWindow) {
      for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
        for (int iBin = DB_BIN_MACHINE; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
          CDbDatum* pdbdatum = DatumAt(iWindow, static_cast<EDBID>(iId), static_cast<EDBBIN>(iBin));
          if (!pdbdatum) continue;
          Entry entry{pdbdatum, 0, 0, 0, -1, -1, 0, -1, 0};
          if (pdbdatum->GetDataType() == DB_DATATYPE_LONG) {
            entry.lCurrent = pdbdatum->GetCurrentLongNoCallback();
            entry.lPrevious = pdbdatum->GetPreviousLong();
            entry.lProfile = pdbdatum->GetProfileLong();
            TakeLists(pdbdatum, &entry);
          } else if (pdbdatum->GetDataType() == DB_DATATYPE_STRING && pdbdatum->GetCurrentStringNoCallback()) {
            // (A window's copy of a text capability has no buffers of its own.)
            TakeText(pdbdatum, &entry);
          } else {
            continue;
          }
          m_vecEntry.push_back(entry);
        }
      }
    }
  } catch (const std::bad_alloc&) {
    OsLog(OS_LOG_ERROR, "profile snapshot failed, out of memory...");
    m_vecEntry.clear();
    m_vecChanged.clear();
    m_pdatabase = nullptr;
    return false;
  }
  return true;
}

void Snapshot::TakeText(CDbDatum* a_pdbdatum, Entry* a_pentry) {
  a_pentry->lText = Append(&m_vecText, a_pdbdatum->GetCurrentStringNoCallback());
  Append(&m_vecText, a_pdbdatum->GetPreviousString());
  Append(&m_vecText, a_pdbdatum->GetProfilesString());
}

void Snapshot::TakeLists(CDbDatum* a_pdbdatum, Entry* a_pentry) {
  CDbEnum* pdbenum = dbcontainer::AsEnum(a_pdbdatum);
  if (!pdbenum) return;
  a_pentry->lItems = static_cast<long>(m_vecItem.size());
  a_pentry->lItemCount = pdbenum->GetCurrentItemCount();
  for (long l = 0; l < a_pentry->lItemCount; ++l) m_vecItem.push_back(pdbenum->GetCurrentItem(l));
  CDbEnum* pdbenumProfile = pdbenum->GetProfileContainer();
  if (!pdbenumProfile) return;
  a_pentry->lProfileItems = static_cast<long>(m_vecItem.size());
  a_pentry->lProfileItemCount = pdbenumProfile->GetCurrentItemCount();
  for (long l = 0; l < a_pentry->lProfileItemCount; ++l) m_vecItem.push_back(pdbenumProfile->GetCurrentItem(l));
}

// Each value is stored as its previous one, then as itself, so that both
// generations come back.
void Snapshot::PutBack() {
  if (!m_pdatabase) return;
  for (const Entry& entry : m_vecEntry) {
    if (entry.lText >= 0) {
      PutBackText(entry);
      continue;
    }
    entry.pdbdatum->CopyCurrentLong(entry.lPrevious);
    entry.pdbdatum->CopyCurrentLong(entry.lCurrent);
    entry.pdbdatum->SetProfileLong(entry.lProfile);
    PutBackLists(entry);
  }
  m_pdatabase->NotifyResetProfiles();
  for (CDbDatum* pdbdatum : m_vecChanged) m_pdatabase->NotifySet(DB_NOTIFY_PROFILES, pdbdatum);
}

void Snapshot::PutBackText(const Entry& a_entry) {
  const char* szCurrent = &m_vecText[static_cast<size_t>(a_entry.lText)];
  const char* szPrevious = szCurrent + std::strlen(szCurrent) + 1;
  const char* szProfile = szPrevious + std::strlen(szPrevious) + 1;
  CDbDatum* pdbdatum = a_entry.pdbdatum;
  pdbdatum->CopyCurrentString(szProfile);
  pdbdatum->UpdateProfilesString();
  pdbdatum->CopyCurrentString(szPrevious);
  pdbdatum->CopyCurrentString(szCurrent);
}

void Snapshot::PutBackLists(const Entry& a_entry) {
  CDbEnum* pdbenum = a_entry.lItems >= 0 ? dbcontainer::AsEnum(a_entry.pdbdatum) : nullptr;
  if (!pdbenum) return;
  pdbenum->DeleteAllCurrentItems();
  for (long l = 0; l < a_entry.lItemCount; ++l) pdbenum->AddCurrentItem(m_vecItem[a_entry.lItems + l]);
  CDbEnum* pdbenumProfile = a_entry.lProfileItems >= 0 ? pdbenum->GetProfileContainer() : nullptr;
  if (!pdbenumProfile) return;
  pdbenumProfile->DeleteAllCurrentItems();
  for (long l = 0; l < a_entry.lProfileItemCount; ++l)
    pdbenumProfile->AddCurrentItem(m_vecItem[a_entry.lProfileItems + l]);
}

}  // namespace dbprofile
