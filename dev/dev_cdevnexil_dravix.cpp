// The image library in the Dravix process: the adapter starts "dravix"
// with the library's path and the address of a channel it created, and
// exchanges each task over that channel. Loading only starts the child:
// the first task waits for it to connect, so that its start overlaps
// whatever the owner does in between. A channel that fails leaves the rest
// of a reply behind, or none at all: the unit is gone then, its child
// stopped, until the owner loads it again.
#include <cctype>
#include <chrono>
#include <climits>
#include <cstring>

#include "dev_cdevnexil.h"
#include "dev_waits.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cossocket.h"
#include "os_cosstring.h"
#include "os_costhread.h"
#include "os_cosxmltask.h"

namespace {

constexpr size_t s_sizetPath = 512;
constexpr size_t s_sizetReply = 1048576;  // the most a reply may take, its terminator included
constexpr int64_t s_i64SpawnFlags = 185;  // a session of its own, libraries beside the program
constexpr size_t s_sizetMaxMemory = 31;
constexpr size_t s_sizetStray = 1024;  // a message of the queue transport
// The most one read is given: a TCP read clears all the room it is given
// first, and a reply of a few pieces must not clear the megabyte each time.
constexpr size_t s_sizetReadChunk = 65536;
constexpr int s_iStrayReads = 64;
constexpr char s_szTaskEnd[] = "</task>";
constexpr size_t s_sizetTaskEnd = sizeof s_szTaskEnd - 1;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

uint32_t Milliseconds(int64_t a_i64Milliseconds) {
  return a_i64Milliseconds >= UINT32_MAX ? UINT32_MAX - 1 : static_cast<uint32_t>(a_i64Milliseconds);
}

bool OnlySpace(const char* a_pc, size_t a_sizet) {
  for (size_t sizet = 0; sizet < a_sizet; ++sizet) {
    if (!std::isspace(static_cast<unsigned char>(a_pc[sizet]))) return false;
  }
  return true;
}

// ForceDravixMaxMemory, cut to what the argument may hold.
void MaxMemory(char* a_szMaxMemory, size_t a_sizetMaxMemory) {
  const char* szValue = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEDRAVIXMAXMEMORY) : nullptr;
  if (!szValue) szValue = "";
  if (std::strlen(szValue) > s_sizetMaxMemory) {
    OsLog(OS_LOG_ERROR, "ForceDravixMaxMemory is longer than %zu characters, cut...<%s>", s_sizetMaxMemory, szValue);
  }
  COsString::SStrPrintf(a_szMaxMemory, a_sizetMaxMemory, "%.*s", static_cast<int>(s_sizetMaxMemory), szValue);
}

}  // namespace

EOSSTS CDevNexil::LoadDravix(EDBID_FIRMWARE a_edbidfirmware, const char* a_szModel, const char* a_szExecutable,
                             EDEVNEXILCALL a_edevnexilcall) {
  DevNexilUnit* pdevnexilunit = Unit(a_edbidfirmware);
  if (!pdevnexilunit) return OS_STS_FAIL;
  // The record holds nothing in use: it goes at once.
  COsFile* posfileUnused = ClearUnit(a_edbidfirmware);
  OsMemDelete(posfileUnused);
  if (!StartDravix(*pdevnexilunit, a_szModel, a_szExecutable)) {
    posfileUnused = ClearUnit(a_edbidfirmware);
    OsMemDelete(posfileUnused);
    return OS_STS_FAIL;
  }
  pdevnexilunit->edevnexilcall = a_edevnexilcall;
  pdevnexilunit->i64AcceptBy = NowMs() + DevWaitLimit(DEV_WAIT_DRAVIXACCEPT);
  pdevnexilunit->possocket->MonitorChildProcess(pdevnexilunit->posthreadDravix->SpawnProcessId());
  return OS_STS_SUCCESS;
}

// The child learns where to connect from its arguments; the first task
// waits for it (ConnectDravix).
bool CDevNexil::StartDravix(DevNexilUnit& a_devnexilunit, const char* a_szModel, const char* a_szExecutable) {
  char szLibrary[s_sizetPath];
  if (!LibraryPath(a_szModel, "nexil", szLibrary, sizeof szLibrary)) return false;
  char szDll[s_sizetPath + 8], szPid[32];
  COsString::SStrPrintf(szDll, sizeof szDll, "dll:%s", szLibrary);
  COsString::SStrPrintf(szPid, sizeof szPid, "pid:%016llx", static_cast<unsigned long long>(COsThread::GetProcessId()));

  a_devnexilunit.pcReply = static_cast<char*>(OsMemAlloc(s_sizetReply));
  if (!a_devnexilunit.pcReply) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return false;
  }
  a_devnexilunit.posthreadDravix = OsMemNew(COsThread);
  a_devnexilunit.possocket = OsMemNew(COsSocket);
  if (!a_devnexilunit.posthreadDravix || !a_devnexilunit.possocket) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return false;
  }
  COsSocket& ossocket = *a_devnexilunit.possocket;
  const EOSSOCKETTYPE eossockettype = COsSocket::GetPreferredSocketType();
  a_devnexilunit.iSocketType = eossockettype;
  if (ossocket.Create(nullptr, "", eossockettype, "DravixNexil") != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Create failed...");
    return false;
  }
  char szAddress[s_sizetPath], szPort[2 * s_sizetPath + 2];
  if (ossocket.GetAddress(szAddress, sizeof szAddress, szPort, sizeof szPort) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "GetAddress failed...");
    return false;
  }
  char szAddr[sizeof szAddress + 8], szPortArg[sizeof szPort + 8], szMaxMemory[s_sizetMaxMemory + 1], szMaxArg[48];
  COsString::SStrPrintf(szAddr, sizeof szAddr, "addr:%s", szAddress);
  COsString::SStrPrintf(szPortArg, sizeof szPortArg, "port:%s", szPort);
  MaxMemory(szMaxMemory, sizeof szMaxMemory);
  COsString::SStrPrintf(szMaxArg, sizeof szMaxArg, "maxmemory:%s", szMaxMemory);
  if (ossocket.Listen(1) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Listen failed...");
    return false;
  }
  OsLog(OS_LOG_INFO, "spawning %s...", a_szExecutable);
  if (a_devnexilunit.posthreadDravix->Spawn(s_i64SpawnFlags, a_szExecutable, a_szExecutable, szDll, "entry:NexEntry",
                                            szAddr, szPortArg, szPid, szMaxArg, nullptr) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Spawn failed...");
    return false;
  }
  return true;
}

// A child that never connects is given up at the accept limit (counted
// from its start); one that dies ends the wait at once. TCP and shared
// memory wait for the peer here, on the listening socket or the ring's
// event and the child's end. A message queue takes the first task before
// the child has opened it, so its first reply is the connection: that read
// ends at the accept limit unless the child has opened the queues by then
// (ReadDravix).
bool CDevNexil::ConnectDravix(DevNexilUnit& a_devnexilunit) {
  if (a_devnexilunit.blConnected || IsMessageQueue(a_devnexilunit)) return true;
  const int64_t i64Left = a_devnexilunit.i64AcceptBy - NowMs();
  const EOSSTS eossts = a_devnexilunit.possocket->Accept(Milliseconds(i64Left > 0 ? i64Left : 0),
                                                         a_devnexilunit.posthreadDravix, nullptr);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Accept failed...%d", static_cast<int>(eossts));
    return false;
  }
  a_devnexilunit.blConnected = true;
  return true;
}

bool CDevNexil::IsMessageQueue(const DevNexilUnit& a_devnexilunit) {
  return a_devnexilunit.iSocketType == OS_SOCKETTYPE_MESSAGEQUEUE_READONLY ||
         a_devnexilunit.iSocketType == OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY ||
         a_devnexilunit.iSocketType == OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE;
}

// The deadline of a read or write: the task's own, or the accept limit
// while the child has not shown it connected.
int64_t CDevNexil::DravixDeadline(const DevNexilUnit& a_devnexilunit, int64_t a_i64Deadline) {
  if (a_devnexilunit.blConnected || a_devnexilunit.i64AcceptBy > a_i64Deadline) return a_i64Deadline;
  return a_devnexilunit.i64AcceptBy;
}

// At the accept limit without a reply: a child that opened the queues is
// connected and gets the rest of its task's time; one that did not is
// given up.
bool CDevNexil::ConnectedByNow(DevNexilUnit& a_devnexilunit) {
  const EOSSTS eossts = a_devnexilunit.possocket->Accept(0, a_devnexilunit.posthreadDravix, nullptr);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Accept failed...%d", static_cast<int>(eossts));
    return false;
  }
  a_devnexilunit.blConnected = true;
  return true;
}

bool CDevNexil::DravixRunning(DevNexilUnit& a_devnexilunit) {
  return a_devnexilunit.possocket && a_devnexilunit.posthreadDravix &&
         a_devnexilunit.posthreadDravix->IsSpawnRunning();
}

// One deadline for the whole task: writing it and reading its reply.
const char* CDevNexil::ExchangeDravix(EDBID_FIRMWARE a_edbidfirmware, DevNexilUnit& a_devnexilunit,
                                      COsXmlTask* a_posxmltask) {
  if (!DravixRunning(a_devnexilunit)) {
    OsLog(OS_LOG_ERROR, "dravix is gone...");
    return s_szFailReply;
  }
  const int64_t i64Deadline = NowMs() + DevWaitLimit(DEV_WAIT_DRAVIXREAD);
  const char* szTask = Stamp(a_edbidfirmware, a_posxmltask);
  const uint64_t u64Task = std::strlen(szTask);
  uint64_t u64Written = 0;
  if (!ConnectDravix(a_devnexilunit)) {
    DravixGone(a_devnexilunit);
    return s_szFailReply;
  }
  if (!DravixInStep(a_devnexilunit)) {
    OsLog(OS_LOG_ERROR, "NEXIL problem...the channel holds an earlier reply");
    DravixGone(a_devnexilunit);
    return s_szFailReply;
  }
  const int64_t i64WriteLeft = DravixDeadline(a_devnexilunit, i64Deadline) - NowMs();
  const EOSSTS eossts = a_devnexilunit.possocket->Write(szTask, u64Task, &u64Written,
                                                        Milliseconds(i64WriteLeft > 0 ? i64WriteLeft : 0), 0);
  if (eossts != OS_STS_SUCCESS || u64Written != u64Task) {
    OsLog(OS_LOG_ERROR, "NEXIL problem...%d %llu of %llu written", static_cast<int>(eossts),
          static_cast<unsigned long long>(u64Written), static_cast<unsigned long long>(u64Task));
    DravixGone(a_devnexilunit);
    return s_szFailReply;
  }
  if (!ReadDravix(a_devnexilunit, i64Deadline)) {
    DravixGone(a_devnexilunit);
    return s_szFailReply;
  }
  a_devnexilunit.blConnected = true;
  const char* szTagReply = m_aszTagReply[a_edbidfirmware];
  OsLogDebug(OS_LOG_PROTOCOL, "<%s>%s</%s>", szTagReply, a_devnexilunit.pcReply, szTagReply);
  return a_devnexilunit.pcReply;
}

// A reply ends with "</task>" and maybe a line end; whatever else is there
// before a task is written came after an earlier reply.
bool CDevNexil::DravixInStep(DevNexilUnit& a_devnexilunit) {
  char acStray[s_sizetStray];
  for (int iRead = 0; a_devnexilunit.possocket->HasData(); ++iRead) {
    uint64_t u64Read = 0;
    if (iRead == s_iStrayReads) return false;
    if (a_devnexilunit.possocket->Read(acStray, sizeof acStray, &u64Read, 0, 0, nullptr, nullptr) != OS_STS_SUCCESS ||
        !OnlySpace(acStray, u64Read)) {
      return false;
    }
  }
  return true;
}

// Reads until "</task>" has come. Each read gets the room left (up to a
// chunk) and the time left (TCP reads take no time-out: the socket is
// polled first); only the new bytes and the six before them are searched,
// as the end may straddle two reads.
bool CDevNexil::ReadDravix(DevNexilUnit& a_devnexilunit, int64_t a_i64Deadline) {
  char* pcReply = a_devnexilunit.pcReply;
  COsSocket& ossocket = *a_devnexilunit.possocket;
  size_t sizetRead = 0;
  pcReply[0] = '\0';
  for (;;) {
    const int64_t i64Limit = DravixDeadline(a_devnexilunit, a_i64Deadline);
    const int64_t i64Left = i64Limit - NowMs();
    if (i64Left <= 0 && i64Limit < a_i64Deadline) {
      if (!ConnectedByNow(a_devnexilunit)) return false;
      continue;
    }
    if (i64Left <= 0) {
      OsLog(OS_LOG_ERROR, "NEXIL problem...no reply in time, %zu bytes read", sizetRead);
      return false;
    }
    if (sizetRead + 1 >= s_sizetReply) {
      OsLog(OS_LOG_ERROR, "NEXIL problem...the reply does not fit %zu bytes", s_sizetReply);
      return false;
    }
    EOSSTS eossts = OS_STS_SUCCESS;
    if (a_devnexilunit.iSocketType == OS_SOCKETTYPE_TCP) {
      int iReadable = 0;
      eossts = ossocket.Select(&iReadable, nullptr, nullptr, Milliseconds(i64Left));
    }
    uint64_t u64Read = 0;
    if (eossts == OS_STS_SUCCESS) {
      const size_t sizetRoom = s_sizetReply - 1 - sizetRead;
      eossts = ossocket.Read(pcReply + sizetRead, sizetRoom < s_sizetReadChunk ? sizetRoom : s_sizetReadChunk,
                             &u64Read, Milliseconds(i64Left), 0, nullptr, nullptr);
    }
    // A read that timed out at the accept limit: has the child connected?
    if (eossts == OS_STS_TIMEOUT && i64Limit < a_i64Deadline) {
      if (!ConnectedByNow(a_devnexilunit)) return false;
      continue;
    }
    if (eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "NEXIL problem...%d, %zu bytes read", static_cast<int>(eossts), sizetRead);
      return false;
    }
    const size_t sizetFrom = sizetRead > s_sizetTaskEnd - 1 ? sizetRead - (s_sizetTaskEnd - 1) : 0;
    sizetRead += static_cast<size_t>(u64Read);
    pcReply[sizetRead] = '\0';
    const char* pcEnd =
        static_cast<const char*>(memmem(pcReply + sizetFrom, sizetRead - sizetFrom, s_szTaskEnd, s_sizetTaskEnd));
    if (!pcEnd) continue;
    pcEnd += s_sizetTaskEnd;
    if (OnlySpace(pcEnd, static_cast<size_t>(pcReply + sizetRead - pcEnd))) return true;
    OsLog(OS_LOG_ERROR, "NEXIL problem...more than one reply");
    return false;
  }
}

void CDevNexil::DravixGone(DevNexilUnit& a_devnexilunit) {
  if (a_devnexilunit.posthreadDravix && a_devnexilunit.posthreadDravix->IsSpawnRunning()) {
    OsLog(OS_LOG_ERROR, "dravix is gone, stopping it...");
    a_devnexilunit.posthreadDravix->SpawnStop();
  }
  OsMemDelete(a_devnexilunit.possocket);
}

// A child still running once its time is up is stopped; either way it is
// reaped, never left behind.
void CDevNexil::EndDravix(DevNexilUnit& a_devnexilunit, bool a_blWait) {
  COsThread* posthread = a_devnexilunit.posthreadDravix;
  if (posthread && a_blWait && posthread->SpawnProcessId() != 0 &&
      posthread->SpawnWait(DevWaitLimit(DEV_WAIT_DRAVIXEXIT)) == OS_STS_TIMEOUT) {
    OsLog(OS_LOG_ERROR, "dravix did not end, stopping it...");
  }
  if (posthread && posthread->IsSpawnRunning()) posthread->SpawnStop();
  OsMemDelete(a_devnexilunit.possocket);
  OsMemDelete(a_devnexilunit.posthreadDravix);
  if (a_devnexilunit.pcReply) {
    OsMemFree(a_devnexilunit.pcReply);
    a_devnexilunit.pcReply = nullptr;
  }
}
