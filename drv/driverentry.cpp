// The exported driver and data entries: the first task of a session starts
// the service layer and creates the session's object, every task goes to
// that object, and the task that ends the session destroys it.
//
// The service layer is one per process and both entries use it: it starts
// with the first session of either entry and stops at the end of the last
// one, so that a data session never takes it away from a driver session
// (or the other way round).
//
// Threads: a front end may call from several threads. Ordinary driver
// tasks run one at a time under the driver's task lock. One lock of this
// unit guards the service layer's start and stop, its count of users and
// the creation and destruction of both entries' objects; the event-list path holds it (and
// no task lock) while it uses the driver object, so that the object cannot
// go under it. Data tasks run one at a time under a lock of their own.
// Lock order: task lock (or data lock), then this unit's lock.
// Every reply leaves as the calling thread's own copy, made while the lock
// that guards its builder is still held: the next task of another thread
// rewrites that builder as soon as the lock is released.
#include "driverentry.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "dev_cdevdata.h"
#include "dev_drvconfig.h"
#include "drv_cdriver.h"
#include "drv_cdrvdispatch.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"
#include "os_osservices.h"

namespace {

constexpr long s_lTaskHead = 256;
constexpr size_t s_sizetReply = 1024;
constexpr size_t s_sizetArguments = 256;
constexpr size_t s_sizetLocalSlots = 115;

std::mutex s_mutexEntry;

// The driver session.
CDriver* s_pdriver = nullptr;
bool s_blInterfaceOpened = false;
// A driver object was created and its start failed: the process refuses
// every later task.
bool s_blDriverCreated = false;
// The entries' sessions that hold the service layer; each entry holds it
// at most once.
int s_iServiceUsers = 0;
bool s_blDriverServices = false;

// The data session.
std::mutex s_mutexData;
CDevData* s_pdevdata = nullptr;
bool s_blDataInterfaceOpened = false;
bool s_blDataServices = false;

// The reply each thread was last given, kept until its next call.
thread_local std::string t_strDriverReply;
thread_local std::string t_strDataReply;

bool Holds(const char* a_szTask, const char* a_szTag) { return COsXml::CheckForCommand(a_szTask, a_szTag, s_lTaskHead); }

// Whether the task's command, as parsed, is that one.
bool IsCommand(const char* a_szTask, const char* a_szCommand) {
  char szCommand[64];
  return CDrvDispatchImpl::ReadTaskCommand(a_szTask, szCommand, sizeof szCommand) &&
         std::strcmp(szCommand, a_szCommand) == 0;
}

// A session's first or last task: its command tag at the head of the text
// (where front ends put it) and its command as parsed, so that a tag inside
// another task's arguments opens or closes nothing.
bool IsSessionTask(const char* a_szTask, const char* a_szTag, const char* a_szCommand) {
  return Holds(a_szTask, a_szTag) && IsCommand(a_szTask, a_szCommand);
}

// Under the entry lock. The first user starts the layer (with the task's
// settings); a later one only counts, leaving the running layer's settings
// and configuration as they are. A layer that did not start has no user.
void StartServices(const char* a_szTask, bool* a_pblHeld) {
  if (*a_pblHeld) return;
  if (s_iServiceUsers == 0) {
    OsServicesProcessInterfaceOpen(a_szTask);
    if (DrvOsServicesStart() != OS_STS_SUCCESS) return;
  }
  ++s_iServiceUsers;
  *a_pblHeld = true;
}

// Under the entry lock: the last user stops the layer.
void StopServices(bool* a_pblHeld) {
  if (!*a_pblHeld) return;
  *a_pblHeld = false;
  if (--s_iServiceUsers == 0) OsServicesStop();
}

// The fixed reply of a reply's status word: success or fail.
const char* FixedReply(const char* a_szReply) {
  const char* szStatus = std::strstr(a_szReply, "<status>");
  const bool blSuccess = szStatus && std::strncmp(szStatus + 8, "success<", 8) == 0;
  return blSuccess ? COsXmlTask::ReportStatusSuccess() : COsXmlTask::ReportStatusFail();
}

// The reply copied before its builder goes; one too long for the buffer
// gives its fixed reply (an earlier session's copy must never answer).
const char* KeepReply(char* a_szBuffer, const char* a_szReply) {
  if (!a_szReply) {
    OsLog(OS_LOG_ERROR, "a_szReply is null");
    a_szReply = COsXmlTask::ReportStatusSuccess();
  }
  if (::strnlen(a_szReply, s_sizetReply) >= s_sizetReply) {
    OsLog(OS_LOG_ERROR, "the last reply does not fit, answered by its status...%zu", std::strlen(a_szReply));
    return FixedReply(a_szReply);
  }
  COsString::SStrCpy(a_szBuffer, s_sizetReply, a_szReply);
  return a_szBuffer;
}

// The thread's own copy of a reply (called under the lock of its builder);
// a copy that cannot be made answers the fixed reply of its status word.
const char* ThreadCopy(std::string* a_pstrCopy, const char* a_szReply) {
  try {
    a_pstrCopy->assign(a_szReply);
    return a_pstrCopy->c_str();
  } catch (const std::bad_alloc&) {
    OsLog(OS_LOG_ERROR, "reply not copied...%zu", std::strlen(a_szReply));
    return FixedReply(a_szReply);
  }
}

// The first task of a session: the service layer started, the object made
// when it is an interfaceopen and no session is open; otherwise the layer
// is stopped again and the caller answers the fixed failure.
template <class T>
bool OpenSession(const char* a_szTask, const char* a_szClass, T** a_pp, bool* a_pblInterfaceOpened,
                 bool* a_pblServices) {
  StartServices(a_szTask, a_pblServices);
  if (!IsSessionTask(a_szTask, "<interfaceopen>", "interfaceopen")) {
    OsLog(OS_LOG_ERROR, "expected <interfaceopen>, but got %s...", a_szTask);
  } else if (*a_pblInterfaceOpened) {
    OsLog(OS_LOG_ERROR, "attempt made to do multiple interface opens in one session...");
  } else {
    *a_pp = OsMemNewAt<T>(__FILE__, __LINE__, a_szClass);
    if (*a_pp) {
      *a_pblInterfaceOpened = true;
      return true;
    }
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
  }
  StopServices(a_pblServices);
  return false;
}

// The first task of a driver session (under the task lock): true when the
// driver object exists now; otherwise the reply is the fixed one.
bool StartDriver(const char* a_szTask, const char** a_pszReply) {
  std::lock_guard<std::mutex> lock(s_mutexEntry);
  *a_pszReply = COsXmlTask::ReportStatusFail();
  if (s_blDriverCreated) {
    OsLog(OS_LOG_ERROR, "driver closed during startup...");
    return false;
  }
  if (IsSessionTask(a_szTask, "<interfaceclose>", "interfaceclose")) {
    *a_pszReply = COsXmlTask::ReportStatusSuccess();
    return false;
  }
  if (!OpenSession(a_szTask, "CDriver", &s_pdriver, &s_blInterfaceOpened, &s_blDriverServices)) return false;
  s_blDriverCreated = true;
  return true;
}

// A task of the session (under the task lock). A session that ended with
// an interfaceclose lets the process open a new one; one whose start failed
// does not.
const char* RunDriverTask(const char* a_szTask) {
  const char* szReply = nullptr;
  if (s_pdriver->DriverEntry(a_szTask, &szReply)) {
    std::lock_guard<std::mutex> lock(s_mutexEntry);
    if (IsCommand(a_szTask, "interfaceclose")) s_blDriverCreated = false;
    return DestroyDriver(szReply, &s_pdriver, &s_blInterfaceOpened);
  }
  if (!szReply) {
    OsLog(OS_LOG_ERROR, "DriverEntry returned null...");
    return COsXmlTask::ReportStatusFail();
  }
  return szReply;
}

// The event list, answered without the task lock while a driver object
// exists; false sends the task the ordinary way.
bool AnswerEventList(const char* a_szTask, const char** a_pszReply) {
  std::lock_guard<std::mutex> lock(s_mutexEntry);
  if (!s_pdriver || !s_pdriver->CheckForGetEvent(a_szTask, a_pszReply)) return false;
  *a_pszReply = ThreadCopy(&t_strDriverReply, *a_pszReply);
  return true;
}

// The data entry's first task (under the data lock). A data session may
// follow any other.
bool StartDevData(const char* a_szTask, const char** a_pszReply) {
  std::lock_guard<std::mutex> lock(s_mutexEntry);
  *a_pszReply = COsXmlTask::ReportStatusFail();
  if (IsSessionTask(a_szTask, "<interfaceclose>", "interfaceclose")) {
    *a_pszReply = COsXmlTask::ReportStatusSuccess();
    return false;
  }
  return OpenSession(a_szTask, "CDevData", &s_pdevdata, &s_blDataInterfaceOpened, &s_blDataServices);
}

}  // namespace

OS_EXPORT const char* DriverEntry(const char* a_szTask) {
  errno = 0;
  if (!a_szTask) {
    OsLog(OS_LOG_ERROR, "a_szTask is null");
    return COsXmlTask::ReportStatusFail();
  }
  const char* szReply = nullptr;
  if (CDriver::IsGetEvent(a_szTask) && AnswerEventList(a_szTask, &szReply)) return szReply;
  std::lock_guard<std::recursive_mutex> lock(CDriver::TaskMutex());
  if (!s_pdriver && !StartDriver(a_szTask, &szReply)) return szReply;
  return ThreadCopy(&t_strDriverReply, RunDriverTask(a_szTask));
}

OS_EXPORT const char* DataEntry(const char* a_szTask) {
  errno = 0;
  if (!a_szTask) {
    OsLog(OS_LOG_ERROR, "a_szTask is null");
    return COsXmlTask::ReportStatusFail();
  }
  std::lock_guard<std::mutex> lockData(s_mutexData);
  const char* szReply = nullptr;
  if (!s_pdevdata && !StartDevData(a_szTask, &szReply)) return szReply;
  if (s_pdevdata->DataEntry(a_szTask, &szReply)) {
    std::lock_guard<std::mutex> lock(s_mutexEntry);
    return ThreadCopy(&t_strDataReply, DestroyDevData(szReply, s_pdevdata, s_blDataInterfaceOpened));
  }
  if (!szReply) {
    OsLog(OS_LOG_ERROR, "DataEntry returned null...");
    return COsXmlTask::ReportStatusFail();
  }
  return ThreadCopy(&t_strDataReply, szReply);
}

const char* DestroyDriver(const char* a_szReply, CDriver** a_ppdriver, bool* a_pblInterfaceOpened) {
  static char s_szReply[s_sizetReply];
  if (!*a_ppdriver) return COsXmlTask::ReportStatusSuccess();
  const char* szReply = KeepReply(s_szReply, a_szReply);
  OsMemDelete(*a_ppdriver);
  StopServices(&s_blDriverServices);
  *a_pblInterfaceOpened = false;
  return szReply;
}

const char* DestroyDevData(const char* a_szReply, CDevData*& a_rpdevdata, bool& a_rblInterfaceOpened) {
  static char s_szReply[s_sizetReply];
  if (!a_rpdevdata) return COsXmlTask::ReportStatusSuccess();
  const char* szReply = KeepReply(s_szReply, a_szReply);
  OsMemDelete(a_rpdevdata);
  StopServices(&s_blDataServices);
  a_rblInterfaceOpened = false;
  return szReply;
}

// The store reads the default table row by row, one row per section id
// minus 1000 and one column per tag id minus 1000, a row as wide as the tag
// table's rows and one; it writes the values it loads into the same slots,
// so the defaults are laid out again at every start. While a layer runs,
// those slots are its live values: they are left alone, and the start is
// refused as OsServicesStart refuses it.
int DrvOsServicesStart() {
  static const OsCfgName s_oscfglookuplocalSection[] = {
      {"dsIdentity", DRV_CFGSECTION_DSIDENTITY}, {"Images", DRV_CFGSECTION_IMAGES}, {nullptr, OS_CFG_CALLER_FIRST}};
  static OsCfgName s_oscfglookuplocalTag[DRV_CFG_VALUES + 1];
  static const char* s_oscfglookupLocal[s_sizetLocalSlots];

  if (g_poscfg) {
    OsLog(OS_LOG_ERROR, "OsServicesStart: the service layer is already started...");
    return OS_STS_FAIL;
  }
  constexpr size_t sizetColumns = DRV_CFG_VALUES + 1;
  static_assert(DRV_CFG_VALUES + (DRV_CFGSECTION_IMAGES - OS_CFG_CALLER_FIRST) * sizetColumns < s_sizetLocalSlots);
  std::memset(s_oscfglookupLocal, 0, sizeof s_oscfglookupLocal);
  for (unsigned u = 0; u < DRV_CFG_VALUES; ++u) {
    const DrvCfgValue& drvcfgvalue = g_adrvcfgvalue[u];
    s_oscfglookuplocalTag[u] = {drvcfgvalue.szName, drvcfgvalue.edrvcfgtag};
    const size_t sizetSlot = (drvcfgvalue.edrvcfgtag - OS_CFG_CALLER_FIRST) +
                             (drvcfgvalue.edrvcfgsection - OS_CFG_CALLER_FIRST) * sizetColumns;
    if (sizetSlot < s_sizetLocalSlots) s_oscfglookupLocal[sizetSlot] = drvcfgvalue.szDefault;
  }
  s_oscfglookuplocalTag[DRV_CFG_VALUES] = {nullptr, OS_CFG_CALLER_FIRST};

  char szArguments[s_sizetArguments];
  std::snprintf(szArguments, sizeof szArguments,
                "<arguments>\n\t<cfgsectionptr>%p</cfgsectionptr>\n\t<cfgtagptr>%p</cfgtagptr>\n"
                "\t<cfgdataptr>%p</cfgdataptr>\n</arguments>",
                static_cast<const void*>(s_oscfglookuplocalSection), static_cast<const void*>(s_oscfglookuplocalTag),
                static_cast<const void*>(s_oscfglookupLocal));
  return OsServicesStart(szArguments);
}
