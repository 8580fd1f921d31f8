// The image library's reply grammar and its handlers. The walk's argument
// is the database when a reply is parsed with it (null without), so that a
// handler that would write the database does nothing for a scan-time reply.
#include "dp_creportimage.h"

#include <cstring>

#include "db_cdatabase.h"
#include "dp_grammarreader.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxml.h"

namespace {

// The object "this" is the parser.
constexpr char s_szGrammar[] =
    "<task enter='this.EnterTask' exit='this.ExitTask'>"
    "<reportstatus>"
    "<status enter='this.EnterTaskReportstatusStatus'/>"
    "</reportstatus>"
    "<reportmessage enter='this.EnterTaskReportmessage'/>"
    "<reportsetupend enter='this.EnterTaskReportsetupend'/>"
    "<reportinquiry enter='this.EnterTaskReportinquiry'/>"
    "</task>";

// What a status word's handler answers to the walk besides the stored
// device status: end of output, no memory and a failed dropout learning
// stop the walk with a code of their own.
EOSSTS WalkCode(EDEVSTS a_edevsts) {
  switch (a_edevsts) {
    case DEV_STS_ENDOFJOB: return static_cast<EOSSTS>(6);
    case DEV_STS_LOWMEMORY: return static_cast<EOSSTS>(2);
    case DEV_STS_ECDOCUSTOMLEARNFAIL: return static_cast<EOSSTS>(15);
    default: return OS_STS_SUCCESS;
  }
}

CReportImage* Self(OsXmlCallback* a_posxmlcallback) { return static_cast<CReportImage*>(a_posxmlcallback->pvObject); }
CDatabase* Database(OsXmlCallback* a_posxmlcallback) { return static_cast<CDatabase*>(a_posxmlcallback->pvArg); }
const char* Data(OsXmlCallback* a_posxmlcallback) { return a_posxmlcallback->szData ? a_posxmlcallback->szData : ""; }

}  // namespace

const CReportImage::DevMapStatus CReportImage::s_amapstatus[5] = {
    {"success", DEV_STS_SUCCESS},
    {"endofoutput", DEV_STS_ENDOFJOB},
    {"nomemory", DEV_STS_LOWMEMORY},
    {"ecdocustomlearnfail", DEV_STS_ECDOCUSTOMLEARNFAIL},
    {"endofmessages", DEV_STS_ENDOFMESSAGES},
};

CReportImage::CReportImage(CDatabase* a_pdatabase) : m_pdatabase(a_pdatabase) {
  m_posxml = DpNewGrammarReader("CReportImage", this, s_szGrammar);
}

CReportImage::~CReportImage() { OsMemDelete(m_posxml); }

EOSSTS CReportImage::Process(const char* a_szReply, EDBID_FIRMWARE a_edbidfirmware, bool a_blDatabase) {
  if (!a_szReply || !*a_szReply) {
    OsLog(OS_LOG_ERROR, "Xml task is empty");
    m_edevsts = DEV_STS_FAIL;
    return OS_STS_FAIL;
  }
  if (!m_posxml) {
    OsLog(OS_LOG_ERROR, "m_posxml is null...");
    m_edevsts = DEV_STS_FAIL;
    return OS_STS_FAIL;
  }
  m_edbidfirmware = a_edbidfirmware;
  m_blStatusSeen = false;
  m_edevsts = DEV_STS_FAIL;
  const EOSSTS eossts = m_posxml->DocumentLoadAndDispatch(a_szReply, a_blDatabase ? m_pdatabase : nullptr);
  m_posxml->DocumentFree();
  if (eossts != OS_STS_SUCCESS && eossts != 6) OsLog(OS_LOG_ERROR, "DispatchLoadAndDispatch failed...%d", eossts);
  // A reply without a status word (or one that is no task) says nothing
  // of success.
  if (eossts == OS_STS_SUCCESS && !m_blStatusSeen) {
    OsLog(OS_LOG_ERROR, "Xml task has no status...<%.200s>", a_szReply);
    return OS_STS_FAIL;
  }
  return eossts;
}

void CReportImage::StatusWord(const char* a_szReply, char* a_szWord, size_t a_sizetWord) {
  if (!a_szReply || COsXml::GetContent(a_szReply, "<status>", "</status>", a_szWord, a_sizetWord) != OS_STS_SUCCESS)
    a_szWord[0] = '\0';
}

EDEVSTS CReportImage::ProcessStatus(const char* a_szReply) {
  char szStatus[64];
  StatusWord(a_szReply, szStatus, sizeof szStatus);
  for (const DevMapStatus& devmapstatus : s_amapstatus) {
    if (std::strcmp(szStatus, devmapstatus.szStatus) == 0) return m_edevsts = devmapstatus.edevsts;
  }
  OsLog(OS_LOG_ERROR, "unrecognized nexil status...<%s>", szStatus);
  return m_edevsts = DEV_STS_FAIL;
}

// ---------------------------------------------------------------------------
// Trampolines
// ---------------------------------------------------------------------------
EOSSTS CReportImage::CReportImage_EnterTask(OsXmlCallback* a_p) { return Self(a_p)->EnterTask(); }
EOSSTS CReportImage::CReportImage_ExitTask(OsXmlCallback* a_p) { return Self(a_p)->ExitTask(Database(a_p)); }
EOSSTS CReportImage::CReportImage_EnterTaskReportstatusStatus(OsXmlCallback* a_p) {
  return Self(a_p)->EnterTaskReportstatusStatus(Data(a_p));
}
EOSSTS CReportImage::CReportImage_EnterTaskReportmessage(OsXmlCallback* a_p) {
  return Self(a_p)->StoreData(Database(a_p), Data(a_p), "reportmessage");
}
EOSSTS CReportImage::CReportImage_EnterTaskReportsetupend(OsXmlCallback* a_p) {
  return Self(a_p)->StoreData(Database(a_p), Data(a_p), "reportsetupend");
}
EOSSTS CReportImage::CReportImage_EnterTaskReportinquiry(OsXmlCallback* a_p) {
  return Self(a_p)->EnterTaskReportinquiry(Database(a_p), Data(a_p));
}

// ---------------------------------------------------------------------------
// Handlers
// ---------------------------------------------------------------------------
EOSSTS CReportImage::EnterTask() {
  m_edevsts = DEV_STS_FAIL;
  m_blStatusSeen = false;
  return OS_STS_SUCCESS;
}

// A reply leaves the scan window at 0, unless transport cropping keeps
// windows of its own.
EOSSTS CReportImage::ExitTask(CDatabase* a_pdatabase) {
  if (!a_pdatabase) return OS_STS_SUCCESS;
  if (a_pdatabase->GetCurrentLongFromId(DB_ID_CROPPINGMODE) != DB_ID_CROPPINGMODE_ENUM_FIXED) {
    a_pdatabase->SetCurrentLongFromId(DB_ID_WINDOW, 0, false);
  }
  return OS_STS_SUCCESS;
}

EOSSTS CReportImage::EnterTaskReportstatusStatus(const char* a_szStatus) {
  m_blStatusSeen = true;
  for (const DevMapStatus& devmapstatus : s_amapstatus) {
    if (std::strcmp(a_szStatus, devmapstatus.szStatus) != 0) continue;
    m_edevsts = devmapstatus.edevsts;
    return WalkCode(m_edevsts);
  }
  OsLog(OS_LOG_ERROR, "EnterTaskReportstatusStatus failed...%s", a_szStatus);
  m_edevsts = DEV_STS_FAIL;
  return OS_STS_FAIL;
}

EOSSTS CReportImage::StoreData(CDatabase* a_pdatabase, const char* a_szText, const char* a_szElement) {
  if (!a_pdatabase) return OS_STS_SUCCESS;
  if (a_pdatabase->SetData(a_szText, true) != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to set the <%s>", a_szElement);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// The model configuration keeps it as the unit's inquiry from the library
// (which the model's inquiry processing reads later); a refusal is logged
// there.
EOSSTS CReportImage::EnterTaskReportinquiry(CDatabase* a_pdatabase, const char* a_szText) {
  if (!a_pdatabase) return OS_STS_SUCCESS;
  a_pdatabase->ConfigLoadReportInquiry(a_szText, 0, true, true, m_edbidfirmware);
  return OS_STS_SUCCESS;
}
