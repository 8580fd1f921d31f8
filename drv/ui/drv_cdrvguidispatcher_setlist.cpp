// "setvaluelist": values of any window and camera, each named by an "id"
// and a "windowtag" before its "value", set all or nothing: the first
// failure puts every value back as it was before the command.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "db_cdblookup.h"
#include "drv_cdrvguichildren.h"
#include "drv_cdrvguiimpl.h"
#include "drv_cdrvguisetvalue.h"
#include "os_coslog.h"
#include "os_cosxml.h"

namespace {

constexpr long s_lListChildName = 64;
constexpr long s_lListText = 1024;

// The list being read: what the last "id" and "windowtag" named.
struct SetListState {
  EDBID edbid = static_cast<EDBID>(0);
  bool blId = false;
  EDBID_WINDOWBIN edbidwindowbin = 0;
  bool blWindowTag = false;
  bool blFull = false;
  std::vector<EDBID> vecedbidAllCamera;
};

}  // namespace

EDBSTS CDrvGuiImpl::SetValueLexicon(CDbDatum* a_pdbdatum, const char* a_szText) {
  if (!m_pdatabase || !a_pdbdatum) return DB_STS_FAIL;
  const bool blSidesAlike = DrvGuiIsSwitchOff(m_pdatabase, DB_ID_SIDESDIFFERENT);
  CDbDatum* pdbdatum = a_pdbdatum;
  CDbDatum* pdbdatumSide = m_pdatabase->GetLinkedSide(pdbdatum);
  if (blSidesAlike && pdbdatumSide && DrvGuiIsRearBin(m_pdatabase->GetBin(pdbdatum))) std::swap(pdbdatum, pdbdatumSide);
  EDBSTS edbsts = DB_STS_FAIL;
  switch (m_pdatabase->GetContainerType(pdbdatum)) {
    case DB_CONTAINERTYPE_ENUM: {
      DbLookup2* pdblookup2 = m_pdatabase->LookupGet(pdbdatum);
      if (!pdblookup2) {
        OsLog(OS_LOG_ERROR, "pdblookup2 is NULL <%d>", static_cast<int>(m_pdatabase->GetId(pdbdatum)));
        return DB_STS_FAIL;
      }
      DbLookupEnum* pdblookupenum = m_pdatabase->LookupLexiconEnum(pdblookup2, a_szText);
      if (!pdblookupenum) {
        OsLog(OS_LOG_ERROR, "Unrecognized lexicon enum %s...", a_szText);
        return DB_STS_BADVALUE;
      }
      edbsts = m_pdatabase->SetCurrentLong(pdbdatum, pdblookupenum->lValue, false);
      break;
    }
    case DB_CONTAINERTYPE_RANGE: {
      long lValue = 0;
      if (!DrvGuiReadRangeValue(a_szText, &lValue)) return DB_STS_BADVALUE;
      edbsts = m_pdatabase->SetCurrentLong(pdbdatum, lValue, false);
      break;
    }
    case DB_CONTAINERTYPE_STRING: edbsts = m_pdatabase->SetCurrentString(pdbdatum, a_szText); break;
    default: OsLog(OS_LOG_ERROR, "Unrecognized container...%s", m_pdatabase->GetName(pdbdatum)); return DB_STS_FAIL;
  }
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "The value was refused...%s %d", m_pdatabase->GetName(pdbdatum), static_cast<int>(edbsts));
    return edbsts;
  }
  if (m_pdatabase->GetId(pdbdatum) == DB_ID_SIDESDIFFERENT) {
    m_pdatabase->CopySidesDifferent();
    return DB_STS_SUCCESS;
  }
  if (blSidesAlike && pdbdatumSide) m_pdatabase->CopySideToSide(pdbdatumSide, pdbdatum);
  if (DrvGuiIsSwitchOff(m_pdatabase, DB_ID_IMAGESDIFFERENT)) {
    m_pdatabase->CopyImageToImage(m_pdatabase->GetLinkedImage(pdbdatum), pdbdatum);
    if (blSidesAlike && pdbdatumSide)
      m_pdatabase->CopyImageToImage(m_pdatabase->GetLinkedImage(pdbdatumSide), pdbdatumSide);
  }
  return DB_STS_SUCCESS;
}

EOSSTS CDrvGuiImpl::DispatcherSetValueList(COsXml* a_posxml, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  if (!m_pdatabase || !a_posxml) return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  SetListState state;
  bool blGood = true;
  {
    CDbLockGuard dblockguard;
    m_pdatabase->RememberAll();
    m_pdatabase->NotifyResetAll();
    if (a_posxml->NodePush() == OS_STS_SUCCESS) {
      if (a_posxml->NodeChild() == OS_STS_SUCCESS) {
        std::vector<char> vecchText(s_lListText, 0);
        do {
          char szName[s_lListChildName] = "";
          if (a_posxml->NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS) continue;
          const bool blKnown =
              !std::strcmp(szName, "id") || !std::strcmp(szName, "windowtag") || !std::strcmp(szName, "value");
          if (!blKnown) continue;
          if (!DrvGuiNodeText(a_posxml, vecchText.data(), s_lListText)) {
            OsLog(OS_LOG_ERROR, "The text of <%s> does not fit %ld bytes...", szName, s_lListText);
            blGood = false;
            break;
          }
          const char* szText = vecchText.data();
          if (!std::strcmp(szName, "id")) {
            DbLookup2* pdblookup2 = *szText ? m_pdatabase->LookupLexicon(szText) : nullptr;
            if (!pdblookup2 || pdblookup2->edbid < DB_ID_FIRST || pdblookup2->edbid > DB_ID_FINAL) {
              OsLog(OS_LOG_ERROR, "pdblookup2 is NULL <%s>", szText);
              blGood = false;
              break;
            }
            state.edbid = pdblookup2->edbid;
            state.blId = true;
            // Reported per camera afterwards: each once, ten at most.
            std::vector<EDBID>& vecedbid = state.vecedbidAllCamera;
            if (m_drvguireports.IsAllCamera(state.edbid) &&
                std::find(vecedbid.begin(), vecedbid.end(), state.edbid) == vecedbid.end() &&
                vecedbid.size() < CDrvGuiReports::s_sizetAllCamera)
              vecedbid.push_back(state.edbid);
          } else if (!std::strcmp(szName, "windowtag")) {
            DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(DB_ID_WINDOWBIN);
            if (!pdblookup2) {
              OsLog(OS_LOG_ERROR, "pdblookup2 is NULL <windowtag>");
              blGood = false;
              break;
            }
            DbLookupEnum* pdblookupenum = m_pdatabase->LookupLexiconEnum(pdblookup2, szText);
            if (!pdblookupenum) {
              OsLog(OS_LOG_ERROR, "Unrecognized lexicon enum %s...", szText);
              blGood = false;
              break;
            }
            state.edbidwindowbin = static_cast<EDBID_WINDOWBIN>(pdblookupenum->lValue);
            state.blWindowTag = true;
          } else {
            if (!state.blId || !state.blWindowTag) {
              OsLog(OS_LOG_ERROR, "The <id> and <windowtag> are required for every set value");
              blGood = false;
              break;
            }
            CDbDatum* pdbdatum = m_pdatabase->FindInWindowBin(state.edbidwindowbin, state.edbid);
            if (!pdbdatum) {
              OsLogDebug(OS_LOG_INFO, "hdbdatum is NULL <%d>", static_cast<int>(state.edbid));
            } else if (SetValueLexicon(pdbdatum, szText) != DB_STS_SUCCESS) {
              blGood = false;
              break;
            } else {
              state.blFull = state.blFull || DrvGuiNeedsFullReport(state.edbid);
            }
            state.blId = state.blWindowTag = false;
          }
        } while (a_posxml->NodeSibling() == OS_STS_SUCCESS);
      }
      a_posxml->NodePop();
    }
    if (!blGood) {
      OsLog(OS_LOG_ERROR, "setvaluelist failed, restoring every value...");
      m_pdatabase->RestoreAll();
    }
  }
  if (!blGood) return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  if (state.blFull) return DispatcherGetRegistered(nullptr, a_llId);
  CDrvGuiTask drvguitask;
  const bool blBuilt = ComposeSetValueReports(drvguitask, u64Reply, nullptr, &state.vecedbidAllCamera);
  return SendReply(u64Reply, drvguitask, blBuilt);
}
