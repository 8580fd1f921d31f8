// The capability reports that get, set, setmany and reset answer with: the
// report pair of one capability, the lexicon information every report starts
// with, and the report of everything a change touched.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "db_cdbdatum.h"
#include "db_cdblookup.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {

// Room for any value the protocol writes: a string datum's buffer.
constexpr size_t s_sizetValue = DB_STRING_SIZE;
// Capability ids a change report records, one each at most.
constexpr long s_lChangedIds = DB_ID_COUNT - 1;

struct ContainerNames {
  EDBCONTAINERTYPE edbcontainertype;
  const char* szCurrent;
  const char* szDefault;
};
const ContainerNames s_acontainernames[] = {
    {DB_CONTAINERTYPE_ENUM, "reportenum", "reportenumdefault"},
    {DB_CONTAINERTYPE_STRING, "reportstring", "reportstringdefault"},
    {DB_CONTAINERTYPE_RANGE, "reportrange", "reportrangedefault"},
};

const ContainerNames* FindContainerNames(EDBCONTAINERTYPE a_edbcontainertype) {
  for (const ContainerNames& containernames : s_acontainernames) {
    if (containernames.edbcontainertype == a_edbcontainertype) return &containernames;
  }
  return nullptr;
}

const char* ContextOfBin(EDBBIN a_edbbin) {
  switch (a_edbbin) {
    case DB_BIN_MACHINE: return "$configuration";
    case DB_BIN_BITONAL_FRONT:
    case DB_BIN_BITONAL_REAR: return "$bitonal";
    case DB_BIN_COLOR_FRONT:
    case DB_BIN_COLOR_REAR: return "$color";
    default: return nullptr;
  }
}

bool HasLexicon(const DbLookup2* a_pdblookup2) {
  return a_pdblookup2 && a_pdblookup2->szLexicon && a_pdblookup2->szLexicon[0];
}

}  // namespace

// ---------------------------------------------------------------------------
// Reply helpers
// ---------------------------------------------------------------------------
bool CDrvProcessCommands::NoDatabase() {
  if (m_pdatabase && m_pdatabase->GetXmlTask()) return false;
  OsLog(OS_LOG_ERROR, "m_pdatabase is null...");
  return true;
}

void CDrvProcessCommands::StartReply(const char* a_szStatus) {
  m_pdatabase->GetXmlTask()->StartTask(m_pdatabase->GetTaskId(), m_pdatabase->GetReplyId(), a_szStatus);
}

// A builder that ran out of room or was driven out of order holds no whole
// reply: the front end gets "fail" instead of a cut one.
EDBSTS CDrvProcessCommands::FinishReply(EDBSTS a_edbsts, bool a_blContinue) {
  if (a_blContinue) return a_edbsts;
  if (a_edbsts != DB_STS_SUCCESS && a_edbsts != DB_STS_NOTAVAILABLE) return AnswerStatus(a_edbsts);
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->FinalizeTask();
  if (posxmltask->IsError(false)) {
    OsLog(OS_LOG_ERROR, "The reply could not be built...");
    return AnswerStatus(DB_STS_FAIL);
  }
  return a_edbsts;
}

EDBSTS CDrvProcessCommands::AnswerStatus(EDBSTS a_edbsts) {
  m_pdatabase->CreateTaskReportStatus(GetLexiconStatusFromEdbsts(a_edbsts), nullptr);
  return a_edbsts;
}

bool CDrvProcessCommands::AddTextArgument(const char* a_szName, const char* a_szText) {
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  if (!std::strpbrk(a_szText, "<>&")) {
    posxmltask->AddArgument(a_szName, a_szText);
    return true;
  }
  if (std::strstr(a_szText, "]]>")) {
    OsLog(OS_LOG_ERROR, "text holds ']]>', not written...<%s>", a_szName);
    return false;
  }
  posxmltask->AddArgumentSafe(a_szName, a_szText);
  return true;
}

// ---------------------------------------------------------------------------
// Values as the protocol writes them
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::GetCurrentLexiconValue(CDbDatum* a_pdbdatum, char* a_szValue, size_t a_sizetValue) {
  return GetLexiconValue(a_pdbdatum, false, a_szValue, a_sizetValue);
}

EOSSTS CDrvProcessCommands::GetDefaultLexiconValue(CDbDatum* a_pdbdatum, char* a_szValue, size_t a_sizetValue) {
  return GetLexiconValue(a_pdbdatum, true, a_szValue, a_sizetValue);
}

// A value without its lookup entry means the database and its lookup
// disagree: both are dumped (into the log directory) for the support case.
EOSSTS CDrvProcessCommands::GetLexiconValue(CDbDatum* a_pdbdatum, bool a_blDefault, char* a_szValue,
                                            size_t a_sizetValue) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (!a_pdbdatum || !a_szValue || a_sizetValue == 0) {
    OsLog(OS_LOG_ERROR, "bad argument...");
    return OS_STS_FAIL;
  }
  CDbLockGuard dblockguard;
  a_szValue[0] = '\0';
  switch (m_pdatabase->GetContainerType(a_pdbdatum)) {
    case DB_CONTAINERTYPE_ENUM: {
      const long lValue = a_blDefault ? m_pdatabase->GetDefaultLong(a_pdbdatum)
                                      : m_pdatabase->GetCurrentLong(a_pdbdatum);
      DbLookup2* pdblookup2 = m_pdatabase->LookupGet(a_pdbdatum);
      DbLookupEnum* pdblookupenum = pdblookup2 ? m_pdatabase->LookupDbEnum(pdblookup2, lValue) : nullptr;
      if (!pdblookupenum || !pdblookupenum->szLexiconEnum) {
        m_pdatabase->Dump("DbProblem.txt");
        m_pdatabase->LookupDump("DbLookupProblem.txt");
        OsLog(OS_LOG_ERROR, "pdblookupenum is NULL id=%d bin=%d value=%ld", m_pdatabase->GetId(a_pdbdatum),
              m_pdatabase->GetBin(a_pdbdatum), lValue);
        return OS_STS_FAIL;
      }
      if (std::strlen(pdblookupenum->szLexiconEnum) >= a_sizetValue) break;
      std::strcpy(a_szValue, pdblookupenum->szLexiconEnum);
      return OS_STS_SUCCESS;
    }
    case DB_CONTAINERTYPE_STRING: {
      const char* szText = a_blDefault ? m_pdatabase->GetDefaultString(a_pdbdatum)
                                       : m_pdatabase->GetCurrentString(a_pdbdatum);
      if (!szText) szText = "";
      if (std::strlen(szText) >= a_sizetValue ||
          CDbDatum::CountCharacters(szText) > m_pdatabase->StringGetMaxLength(a_pdbdatum))
        break;
      std::strcpy(a_szValue, szText);
      return OS_STS_SUCCESS;
    }
    case DB_CONTAINERTYPE_RANGE: {
      const long lValue = a_blDefault ? m_pdatabase->GetDefaultLong(a_pdbdatum)
                                      : m_pdatabase->GetCurrentLong(a_pdbdatum);
      const int iWritten = std::snprintf(a_szValue, a_sizetValue, "%ld", lValue);
      if (iWritten < 0 || static_cast<size_t>(iWritten) >= a_sizetValue) break;
      return OS_STS_SUCCESS;
    }
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized container...%d", m_pdatabase->GetContainerType(a_pdbdatum));
      return OS_STS_FAIL;
  }
  a_szValue[0] = '\0';
  OsLog(OS_LOG_ERROR, "value does not fit...id=%d bin=%d", m_pdatabase->GetId(a_pdbdatum),
        m_pdatabase->GetBin(a_pdbdatum));
  return OS_STS_FAIL;
}

// ---------------------------------------------------------------------------
// The report pair of one capability
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::AddLexiconInfo(CDbDatum* a_pdbdatum, bool a_blDefault, const char* a_szName) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "hdbdatum is NULL...");
    return OS_STS_FAIL;
  }
  CDbLockGuard dblockguard;
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  DbLookup2* pdblookup2 = m_pdatabase->LookupGet(a_pdbdatum);
  if (!pdblookup2) {
    OsLog(OS_LOG_ERROR, "pdblookup2 is NULL");
    return OS_STS_FAIL;
  }
  posxmltask->AddArgument("id", a_szName ? a_szName : (pdblookup2->szLexicon ? pdblookup2->szLexicon : ""));
  const EDBBIN edbbin = m_pdatabase->GetBin(a_pdbdatum);
  if (edbbin != DB_BIN_MACHINE) {
    DbLookup2* pdblookup2Window = m_pdatabase->LookupEdbid(DB_ID_WINDOWBIN);
    if (!pdblookup2Window) {
      OsLog(OS_LOG_ERROR, "pdblookup2 is NULL");
      return OS_STS_FAIL;
    }
    const EDBID_WINDOWBIN edbidwindowbin = m_pdatabase->ComposeWindowBin(m_pdatabase->GetWindow(a_pdbdatum), edbbin);
    DbLookupEnum* pdblookupenum = m_pdatabase->LookupDbEnum(pdblookup2Window, edbidwindowbin);
    if (!pdblookupenum || !pdblookupenum->szLexiconEnum) {
      OsLog(OS_LOG_ERROR, "pdblookupenum is NULL");
      return OS_STS_FAIL;
    }
    posxmltask->AddArgument("windowtag", pdblookupenum->szLexiconEnum);
  }
  const EDBACCESS edbaccess = m_pdatabase->GetAccess(a_pdbdatum);
  const bool blWritable = edbaccess == DB_ACCESS_READWRITE || edbaccess == DB_ACCESS_READWRITEDISABLED ||
                          edbaccess == DB_ACCESS_READWRITEHIDDEN;
  posxmltask->AddArgument("readonly", blWritable ? "false" : "true");
  if (!a_szName) {
    char szValue[s_sizetValue];
    if (GetLexiconValue(a_pdbdatum, a_blDefault, szValue, sizeof szValue) != OS_STS_SUCCESS ||
        !AddTextArgument("valuecurrent", szValue))
      return OS_STS_FAIL;
  }
  const char* szContext = ContextOfBin(edbbin);
  if (!szContext) {
    OsLog(OS_LOG_ERROR, "Unrecognized bin...%d", edbbin);
    return OS_STS_FAIL;
  }
  posxmltask->AddArgument("context", szContext);
  if (!a_blDefault) {
    const EDBID edbid = m_pdatabase->GetId(a_pdbdatum);
    if (edbbin == DB_BIN_MACHINE) posxmltask->AddArgument("validcontext", "$configuration");
    if (m_pdatabase->IsIdBitonal(edbid)) posxmltask->AddArgument("validcontext", "$bitonal");
    if (m_pdatabase->IsIdColor(edbid)) posxmltask->AddArgument("validcontext", "$color");
  }
  return OS_STS_SUCCESS;
}

// Each entry with its label, which a front end shows: a missing label is
// written empty, a missing entry fails the report.
EOSSTS CDrvProcessCommands::AddEnumList(CDbDatum* a_pdbdatum, DbLookup2* a_pdblookup2, bool a_blDefault) {
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartCommand("enum", 2);
  const long lCount = a_blDefault ? m_pdatabase->EnumGetDefaultItemCount(a_pdbdatum)
                                  : m_pdatabase->EnumGetItemCount(a_pdbdatum);
  for (long l = 0; l < lCount; ++l) {
    const long lValue = a_blDefault ? m_pdatabase->EnumGetDefaultItem(a_pdbdatum, l)
                                    : m_pdatabase->EnumGetItem(a_pdbdatum, l);
    DbLookupEnum* pdblookupenum = m_pdatabase->LookupDbEnum(a_pdblookup2, lValue);
    if (!pdblookupenum || !pdblookupenum->szLexiconEnum) {
      OsLog(OS_LOG_ERROR, "pdblookupenum is NULL");
      return OS_STS_FAIL;
    }
    posxmltask->AddArgument("value", pdblookupenum->szLexiconEnum);
    if (!AddTextArgument("text", pdblookupenum->szLabel ? pdblookupenum->szLabel : "")) return OS_STS_FAIL;
  }
  posxmltask->FinalizeCommand("enum");
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::AddContainerReport(CDbDatum* a_pdbdatum, DbLookup2* a_pdblookup2, bool a_blDefault) {
  const EDBCONTAINERTYPE edbcontainertype = m_pdatabase->GetContainerType(a_pdbdatum);
  const ContainerNames* pcontainernames = FindContainerNames(edbcontainertype);
  if (!pcontainernames) {
    OsLog(OS_LOG_ERROR, "Unrecognized container...%d", edbcontainertype);
    return OS_STS_FAIL;
  }
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  const char* szReport = a_blDefault ? pcontainernames->szDefault : pcontainernames->szCurrent;
  posxmltask->StartCommand(szReport, 1);
  if (AddLexiconInfo(a_pdbdatum, a_blDefault, nullptr) != OS_STS_SUCCESS) return OS_STS_FAIL;
  if (edbcontainertype == DB_CONTAINERTYPE_ENUM) {
    if (AddEnumList(a_pdbdatum, a_pdblookup2, a_blDefault) != OS_STS_SUCCESS) return OS_STS_FAIL;
  } else if (edbcontainertype == DB_CONTAINERTYPE_STRING) {
    char szLength[32];
    std::snprintf(szLength, sizeof szLength, "%zu", m_pdatabase->StringGetMaxLength(a_pdbdatum));
    posxmltask->AddArgument("stringmaxlength", szLength);
  } else if (AddRange(a_pdbdatum, a_blDefault, "range", 2) != OS_STS_SUCCESS) {
    return OS_STS_FAIL;
  }
  posxmltask->FinalizeCommand(szReport);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::CreateTaskReportContainer(CDbDatum* a_pdbdatum) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "hdbdatum is NULL...");
    return OS_STS_FAIL;
  }
  CDbLockGuard dblockguard;
  DbLookup2* pdblookup2 = m_pdatabase->LookupGet(a_pdbdatum);
  if (!pdblookup2) {
    OsLog(OS_LOG_ERROR, "pdblookup2 is NULL");
    return OS_STS_FAIL;
  }
  if (AddContainerReport(a_pdbdatum, pdblookup2, false) != OS_STS_SUCCESS ||
      AddContainerReport(a_pdbdatum, pdblookup2, true) != OS_STS_SUCCESS)
    return OS_STS_FAIL;
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Named capability, or everything a change touched
// ---------------------------------------------------------------------------
EDBSTS CDrvProcessCommands::CreateTaskReportGetSet(const char* a_szName, bool a_blContinue, bool a_blCurrentBinOnly) {
  if (NoDatabase()) return DB_STS_FAIL;
  CDbLockGuard dblockguard;
  if (a_szName) {
    // An empty name would find the records of the capabilities that have
    // no name in task messages.
    DbLookup2* pdblookup2 = a_szName[0] ? m_pdatabase->LookupDriverLexicon(a_szName) : nullptr;
    CDbDatum* pdbdatum = pdblookup2 ? m_pdatabase->Find(pdblookup2->edbid) : nullptr;
    if (!pdbdatum) {
      OsLog(OS_LOG_ERROR, "no capability named...<%.64s>", a_szName);
      return FinishReply(DB_STS_FAIL, a_blContinue);
    }
    EDBSTS edbsts = DB_STS_SUCCESS;
    switch (m_pdatabase->GetAccess(pdbdatum)) {
      case DB_ACCESS_DISABLED: edbsts = DB_STS_NOTAVAILABLE; break;
      case DB_ACCESS_HIDDEN:
        OsLogDebug(OS_LOG_INFO, "Access hidden or undefined");
        return FinishReply(DB_STS_FAIL, a_blContinue);
      default: break;
    }
    if (!a_blContinue) StartReply(GetLexiconStatusFromEdbsts(edbsts));
    if (CreateTaskReportContainer(pdbdatum) != OS_STS_SUCCESS) edbsts = DB_STS_BADVALUE;
    return FinishReply(edbsts, a_blContinue);
  }
  if (!a_blContinue) StartReply("success");
  EDBSTS edbsts = DB_STS_SUCCESS;
  CDbDatum* pdbdatumFormat = m_pdatabase->Find(DB_ID_IMAGEFORMAT);
  if (pdbdatumFormat && CreateTaskReportContainer(pdbdatumFormat) != OS_STS_SUCCESS) edbsts = DB_STS_BADVALUE;
  EDBID aedbid[s_lChangedIds] = {};
  long lIds = 0;
  if (edbsts == DB_STS_SUCCESS &&
      (ReportChanged(DB_NOTIFY_VALUE, a_blCurrentBinOnly, aedbid, &lIds) != OS_STS_SUCCESS ||
       ReportChanged(DB_NOTIFY_CONSTRAINT, a_blCurrentBinOnly, aedbid, &lIds) != OS_STS_SUCCESS))
    edbsts = DB_STS_BADVALUE;
  return FinishReply(edbsts, a_blContinue);
}

// The value walk reports every changed datum and records its id; the
// constraint walk adds those whose id the value walk did not report.
EOSSTS CDrvProcessCommands::ReportChanged(EDBNOTIFY a_edbnotify, bool a_blCurrentBinOnly, EDBID* a_aedbid,
                                          long* a_plIds) {
  const EDBBIN edbbinCurrent = m_pdatabase->GetBinFromWindowBin(m_pdatabase->GetWindowBin());
  const long lRecorded = *a_plIds;
  for (CDbDatum* pdbdatum = m_pdatabase->NotifyGetFirst(a_edbnotify); pdbdatum;
       pdbdatum = m_pdatabase->NotifyGetNext(a_edbnotify, pdbdatum)) {
    const EDBBIN edbbin = m_pdatabase->GetBin(pdbdatum);
    if (a_blCurrentBinOnly && edbbin != DB_BIN_MACHINE && edbbin != edbbinCurrent) continue;
    // A capability the scanner lacks is never reported, as a named get
    // never finds it.
    const EDBACCESS edbaccess = m_pdatabase->GetAccess(pdbdatum);
    if (edbaccess == DB_ACCESS_HIDDEN || edbaccess == DB_ACCESS_NOTSUPPORTED ||
        !HasLexicon(m_pdatabase->LookupGet(pdbdatum)))
      continue;
    const EDBID edbid = m_pdatabase->GetId(pdbdatum);
    bool blRecorded = false;
    for (long l = 0; l < (a_edbnotify == DB_NOTIFY_VALUE ? *a_plIds : lRecorded) && !blRecorded; ++l)
      blRecorded = a_aedbid[l] == edbid;
    if (a_edbnotify != DB_NOTIFY_VALUE && blRecorded) continue;
    if (a_edbnotify == DB_NOTIFY_VALUE && !blRecorded) {
      if (*a_plIds >= s_lChangedIds) {
        OsLog(OS_LOG_ERROR, "The EDBID array overflow %ld, %d", *a_plIds, edbid);
        return OS_STS_FAIL;
      }
      a_aedbid[(*a_plIds)++] = edbid;
    }
    if (CreateTaskReportContainer(pdbdatum) != OS_STS_SUCCESS) return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
