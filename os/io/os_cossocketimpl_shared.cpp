// The shared-memory transport: a ring per direction (slot 3 read, slot 4
// write), a handshake of process ids in the ring's user area, and three
// named events per ring that wake the other side: OkToRead (a record is
// there), OkToWrite (room was made) and Cancel. The creating side groups the
// event it waits on with Cancel, so one wait ends on either.
#include <sched.h>
#include <unistd.h>

#include <cstring>

#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosringbuffer.h"
#include "os_cosstring.h"
#include "os_cossocketimpl.h"
#include "os_cossync.h"
#include "os_costhread.h"
#include "os_costime.h"

namespace {
constexpr int kOkToRead = 0;
constexpr int kOkToWrite = 1;
constexpr int kCancel = 2;
const char* const s_aszEventSuffix[3] = {"EventOkToRead", "EventOkToWrite", "EventCancel"};

constexpr int kHandshakeSize = 16;  // creator's process id, then the connector's

// Index of a ring slot: 0 for 3 (read), 1 for 4 (write).
int SlotIndex(int a_iSocketType) { return a_iSocketType - OS_SOCKETTYPE_SHAREDMEMORY_READONLY; }

// The event a slot waits on: a reader for records, a writer for room.
int WaitedEvent(int a_iSlot) { return a_iSlot == 0 ? kOkToRead : kOkToWrite; }

void Put64(uint8_t* a_pu8, uint64_t a_u64Value) {
  for (int i = 0; i < 8; ++i) a_pu8[i] = static_cast<uint8_t>(a_u64Value >> (8 * i));
}

uint64_t Get64(const uint8_t* a_pu8) {
  uint64_t u64Value = 0;
  for (int i = 7; i >= 0; --i) u64Value = u64Value << 8 | a_pu8[i];
  return u64Value;
}

// Retries of a ring the other process holds locked. It holds it for one
// copy, so the first retries only yield the processor; then the busy pause
// applies, up to the busy-retry count.
class CBusyRetry {
 public:
  CBusyRetry(int64_t a_i64Tries, int64_t a_i64Pause) : m_i64Limit(a_i64Tries), m_i64Pause(a_i64Pause) {}
  // False once the retries are used up.
  bool Again() {
    if (m_i64Yields < kYields) {
      ++m_i64Yields;
      sched_yield();
      return true;
    }
    if (m_i64Tries >= m_i64Limit) return false;
    ++m_i64Tries;
    COsTime::Sleep(static_cast<long>(m_i64Pause));
    return true;
  }
  void Reset() { m_i64Yields = m_i64Tries = 0; }
  int64_t Tries() const { return m_i64Tries; }

 private:
  static constexpr int64_t kYields = 100;
  int64_t m_i64Limit;
  int64_t m_i64Pause;
  int64_t m_i64Yields = 0;
  int64_t m_i64Tries = 0;
};

template <class Operation>
EOSSTS RetryBusy(int64_t a_i64Tries, int64_t a_i64Pause, Operation a_operation) {
  CBusyRetry cbusyretry(a_i64Tries, a_i64Pause);
  EOSSTS eossts;
  while ((eossts = a_operation()) == OS_STS_BUSY && cbusyretry.Again()) {
  }
  return eossts;
}

bool IsCancel(const char* a_szEventName) { return std::strstr(a_szEventName, "Cancel") != nullptr; }
}  // namespace

EOSSTS COsSocketImpl::SharedCreate(const char* a_szAddress, const char* a_szPort, const char* a_szTag) {
  if (SetSharedFilename(a_szAddress, a_szPort, m_eossockettype, a_szTag, true) != OS_STS_SUCCESS) return OS_STS_FAIL;
  for (int iSlot = 0; iSlot < 2; ++iSlot) {
    int iType = OS_SOCKETTYPE_SHAREDMEMORY_READONLY + iSlot;
    if (m_eossockettype != OS_SOCKETTYPE_SHAREDMEMORY_READWRITE && m_eossockettype != iType) continue;
    EOSSTS eossts = CreateSharedMemory(static_cast<EOSSOCKETTYPE>(iType));
    if (eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "CreateSharedMemory failed...");
      return eossts;
    }
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsSocketImpl::SharedConnect(const char* a_szAddress, const char* a_szPort, const char* a_szTag,
                                    uint64_t a_u64ProcessId) {
  if (SetSharedFilename(a_szAddress, a_szPort, m_eossockettype, a_szTag, false) != OS_STS_SUCCESS) return OS_STS_FAIL;
  for (int iSlot = 0; iSlot < 2; ++iSlot) {
    int iType = OS_SOCKETTYPE_SHAREDMEMORY_READONLY + iSlot;
    if (m_eossockettype != OS_SOCKETTYPE_SHAREDMEMORY_READWRITE && m_eossockettype != iType) continue;
    EOSSTS eossts = CreateSharedMemory(static_cast<EOSSOCKETTYPE>(iType));
    if (eossts != OS_STS_SUCCESS) return eossts;
  }
  // The creator's end then ends our waits for records and for room alike:
  // a write waiting for room has no time-out.
  for (int iSlot = 0; iSlot < 2 && a_u64ProcessId; ++iSlot) {
    if (m_apossync[iSlot][WaitedEvent(iSlot)] && WatchPeer(iSlot, WaitedEvent(iSlot), a_u64ProcessId) != OS_STS_SUCCESS)
      return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsSocketImpl::CreateSharedMemory(EOSSOCKETTYPE a_eossockettype) {
  if (a_eossockettype != OS_SOCKETTYPE_SHAREDMEMORY_READONLY && a_eossockettype != OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY) {
    OsLog(OS_LOG_ERROR, "This only create either readonly or writeonly shared memory socket type");
    return OS_STS_FAIL;
  }
  int iSlot = SlotIndex(a_eossockettype);
  if (!m_aposringbuffer[iSlot]) m_aposringbuffer[iSlot] = OsMemNew(COsRingBuffer);
  COsRingBuffer* posringbuffer = m_aposringbuffer[iSlot];
  if (!posringbuffer) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return OS_STS_FAIL;
  }
  const bool blWriter = a_eossockettype == OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY;
  const char* szPath = m_aszFilename[a_eossockettype];
  EOSSTS eossts = m_blCreator ? posringbuffer->Create(szPath, blWriter, m_i64RingBufferSize)
                              : posringbuffer->Connect(szPath, blWriter);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "RingBuffer.Create failed...<%d>", static_cast<int>(eossts));
    return eossts;
  }
  eossts = Handshake(iSlot);
  return eossts == OS_STS_SUCCESS ? OpenEvents(iSlot) : eossts;
}

// The creator writes {its id, 0}; the connector reads it and adds its own.
EOSSTS COsSocketImpl::Handshake(int a_iSlot) {
  COsRingBuffer* posringbuffer = m_aposringbuffer[a_iSlot];
  uint8_t au8Record[kHandshakeSize] = {};
  int32_t i32Copied = 0;
  EOSSTS eossts;
  if (!m_blCreator) {
    eossts = RetryBusy(m_i64BusyRetry, m_i64BusySleep,
                       [&] { return posringbuffer->UserAreaRead(au8Record, kHandshakeSize, &i32Copied); });
    if (eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "RingBuffer.UserAreaRead failed...<%d>", static_cast<int>(eossts));
      return OS_STS_FAIL;
    }
  }
  Put64(au8Record + (m_blCreator ? 0 : 8), COsThread::GetProcessId());
  eossts = RetryBusy(m_i64BusyRetry, m_i64BusySleep,
                     [&] { return posringbuffer->UserAreaWrite(au8Record, kHandshakeSize, &i32Copied); });
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "RingBuffer.UserAreaWrite failed...<%d>", static_cast<int>(eossts));
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// Events are named after the ring's file (its file part without the
// extension); a connector wakes the creator once they are open.
EOSSTS COsSocketImpl::OpenEvents(int a_iSlot) {
  const char* szPath = m_aszFilename[OS_SOCKETTYPE_SHAREDMEMORY_READONLY + a_iSlot];
  const char* szFile = std::strrchr(szPath, '/');
  szFile = szFile ? szFile + 1 : szPath;
  char szBase[OS_SOCKET_NAME_SIZE];
  const char* szDot = std::strrchr(szFile, '.');
  COsString::SStrPrintf(szBase, sizeof szBase, "%.*s", static_cast<int>(szDot ? szDot - szFile : std::strlen(szFile)),
                        szFile);
  for (int iEvent = kOkToRead; iEvent <= kCancel; ++iEvent) {
    char szName[OS_SOCKET_NAME_SIZE];
    COsSync*& possync = m_apossync[a_iSlot][iEvent];
    if (!possync) possync = OsMemNew(COsSync);
    if (!possync || COsString::SStrPrintf(szName, sizeof szName, "%s%s", szBase, s_aszEventSuffix[iEvent]) < 0) {
      OsLog(OS_LOG_ERROR, "OsMemNew failed...");
      return OS_STS_FAIL;
    }
    bool blGrouped = iEvent == WaitedEvent(a_iSlot) || iEvent == kCancel;
    EOSSTS eossts = m_blCreator ? possync->EventCreate(szName, blGrouped ? szBase : nullptr, true)
                                : possync->EventOpen(szName);
    if (eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, m_blCreator || iEvent != kCancel ? "OsSync.EventCreate failed...<%d>"
                                                           : "OsSync.EventOpen failed...<%d>",
            static_cast<int>(eossts));
      return OS_STS_FAIL;
    }
  }
  if (m_blCreator) return OS_STS_SUCCESS;
  // A connecting writer tells the creator's reader, a connecting reader
  // the creator's writer.
  EOSSTS eossts = m_apossync[a_iSlot][a_iSlot == 1 ? kOkToRead : kOkToWrite]->EventSet();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "OsSync.EventSet failed...<%d>", static_cast<int>(eossts));
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsSocketImpl::WatchPeer(int a_iSlot, int a_iEvent, uint64_t a_u64ProcessId) {
  EOSSTS eossts = m_apossync[a_iSlot][a_iEvent]->EventIncludeProcessId(a_u64ProcessId, 0);
  if (eossts != OS_STS_SUCCESS)
    OsLog(OS_LOG_ERROR, "OsSync.EventIncludeProcessId failed...<%llu>", static_cast<unsigned long long>(a_u64ProcessId));
  return eossts;
}

EOSSTS COsSocketImpl::SharedAccept(uint32_t a_u32Milliseconds, COsThread* a_posthread) {
  const int iSlot = m_eossockettype == OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY ? 1 : 0;
  const int iEvent = WaitedEvent(iSlot);
  COsSync* possync = m_apossync[iSlot][iEvent];
  OsLogDebug(OS_LOG_INFO, "Accept(sockettype=%d,timeout=%ld,thread=%p) lretry=%ld timeout=%ld",
             static_cast<int>(m_eossockettype), static_cast<long>(a_u32Milliseconds), static_cast<void*>(a_posthread),
             static_cast<long>(m_i64BusyRetry), static_cast<long>(m_i64BusySleep));
  if (!m_blCreator || !possync || !m_aposringbuffer[iSlot]) {
    OsLog(OS_LOG_ERROR, "Accept: must call Create first...");
    return OS_STS_BAD_ARGUMENT;
  }
  // A spawned child that dies before it connects ends the wait, also one
  // that has ended before the wait begins.
  uint64_t u64Child = a_posthread ? a_posthread->SpawnProcessId() : 0;
  if (!u64Child && a_posthread && a_posthread->SpawnEnded()) {
    OsLog(OS_LOG_ERROR, "Accept: the spawned process has ended...");
    return OS_STS_SOCKET_PEERGONE;
  }
  if (u64Child && WatchPeer(iSlot, iEvent, u64Child) != OS_STS_SUCCESS) return OS_STS_SOCKET_PEERGONE;
  EOSSTS eossts = possync->EventWait(a_u32Milliseconds, m_szEventName, sizeof m_szEventName);
  if (eossts != OS_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "Accept: EventWait failed...%d", static_cast<int>(eossts));
    return eossts;
  }
  if (IsCancel(m_szEventName)) {
    OsLog(OS_LOG_INFO, "Accept: EventWait cancelled...");
    return OS_STS_SOCKET_CANCELLED;
  }
  uint8_t au8Record[kHandshakeSize] = {};
  int32_t i32Copied = 0;
  int64_t i64Tries = a_u32Milliseconds > m_i64BusyRetry ? a_u32Milliseconds : m_i64BusyRetry;
  eossts = RetryBusy(i64Tries, m_i64BusySleep, [&] {
    return m_aposringbuffer[iSlot]->UserAreaRead(au8Record, kHandshakeSize, &i32Copied);
  });
  uint64_t u64Peer = Get64(au8Record + 8);
  if (eossts != OS_STS_SUCCESS || u64Peer == 0) {
    OsLog(OS_LOG_ERROR, "Accept: RingBuffer.UserAreaRead failed...");
    CloseRings();
    return OS_STS_FAIL;
  }
  // From now on the peer's end ends every wait of ours: for records, and for
  // room, which a write awaits without time-out.
  for (int iWatched = 0; iWatched < 2; ++iWatched) {
    if (!m_apossync[iWatched][WaitedEvent(iWatched)]) continue;
    if (m_apossync[iWatched][WaitedEvent(iWatched)]->EventIncludeProcessId(u64Peer, 0) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Accept: OsSync.EventIncludeProcessId failed...");
      CloseRings();
      return OS_STS_FAIL;
    }
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsSocketImpl::SharedWrite(const void* a_pvData, uint64_t a_u64Length, uint64_t* a_pu64Written) {
  COsRingBuffer* posringbuffer = m_aposringbuffer[1];
  if (!SlotOpen(1)) return OS_STS_BAD_ARGUMENT;
  const uint8_t* pu8Data = static_cast<const uint8_t*>(a_pvData);
  uint64_t u64Total = 0;
  CBusyRetry cbusyretry(m_i64BusyRetry, m_i64BusySleep);
  while (u64Total < a_u64Length) {
    uint64_t u64Left = a_u64Length - u64Total;
    int32_t i32Written = 0;
    EOSSTS eossts = posringbuffer->Write(pu8Data + u64Total, 0, u64Left > INT32_MAX ? INT32_MAX : static_cast<int32_t>(u64Left),
                                         &i32Written);
    if (eossts == OS_STS_BUSY) {
      if (cbusyretry.Again()) continue;
      OsLog(OS_LOG_ERROR, "Retry %d for the busy RingBuffer.Write()", static_cast<int>(cbusyretry.Tries()));
      return OS_STS_FAIL;
    }
    cbusyretry.Reset();
    if (eossts == OS_STS_SUCCESS) {
      m_apossync[1][kOkToRead]->EventSet();
      u64Total += static_cast<uint64_t>(i32Written);
      *a_pu64Written = u64Total;
      if (u64Total == a_u64Length) break;
    } else if (eossts != OS_STS_NO_ROOM) {
      OsLog(OS_LOG_ERROR, "RingBuffer.Write failed...");
      return OS_STS_FAIL;
    }
    // The ring is full: wait for the reader to make room, without limit.
    eossts = WaitForPeer(1, kOkToWrite, OS_SYNC_INFINITE);
    if (eossts != OS_STS_SUCCESS) return eossts;
  }
  *a_pu64Written = u64Total;
  return OS_STS_SUCCESS;
}

// The read slot's current record; a ring the writer holds locked just now
// shows none.
bool COsSocketImpl::SharedHasData() {
  const bool blReads =
      m_eossockettype == OS_SOCKETTYPE_SHAREDMEMORY_READONLY || m_eossockettype == OS_SOCKETTYPE_SHAREDMEMORY_READWRITE;
  return blReads && m_aposringbuffer[0] && m_aposringbuffer[0]->AvailableBytes() > 0;
}

EOSSTS COsSocketImpl::SharedRead(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read,
                                 uint32_t a_u32Milliseconds) {
  COsRingBuffer* posringbuffer = m_aposringbuffer[0];
  if (!SlotOpen(0)) return OS_STS_BAD_ARGUMENT;
  const int32_t i32Size = a_u64Size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(a_u64Size);
  const bool blForever = a_u32Milliseconds == OS_SYNC_INFINITE;
  struct timespec timespecStart;
  clock_gettime(CLOCK_MONOTONIC, &timespecStart);
  CBusyRetry cbusyretry(m_i64BusyRetry, m_i64BusySleep);
  bool blExpired = false;
  for (;;) {
    int32_t i32Read = 0, i32Remaining = 0;
    EOSSTS eossts = posringbuffer->Read(a_pvBuffer, 0, i32Size, &i32Read, &i32Remaining);
    if (eossts == OS_STS_BUSY) {
      if (cbusyretry.Again()) continue;
      OsLog(OS_LOG_ERROR, "Retry %d for the busy RingBuffer.Read()", static_cast<int>(cbusyretry.Tries()));
      return OS_STS_FAIL;
    }
    cbusyretry.Reset();
    if (eossts == OS_STS_SUCCESS) {
      if (i32Remaining == 0) m_apossync[0][kOkToWrite]->EventSet();
      *a_pu64Read = static_cast<uint64_t>(i32Read);
      return OS_STS_SUCCESS;
    }
    if (eossts != OS_STS_NO_ROOM) {
      OsLog(OS_LOG_ERROR, "RingBuffer.Read failed...");
      return OS_STS_FAIL;
    }
    // Past the time-out a wake-up earns one more look, no more: a peer that
    // keeps setting the event with nothing to read must not hold the call.
    if (blExpired) return OS_STS_TIMEOUT;
    // Nothing there: wait for a record for what is left of the time-out.
    uint32_t u32Left = OS_SYNC_INFINITE;
    if (!blForever) {
      struct timespec timespecNow;
      clock_gettime(CLOCK_MONOTONIC, &timespecNow);
      int64_t i64Spent = (timespecNow.tv_sec - timespecStart.tv_sec) * 1000 +
                         (timespecNow.tv_nsec - timespecStart.tv_nsec) / 1000000;
      u32Left = i64Spent >= a_u32Milliseconds ? 0 : static_cast<uint32_t>(a_u32Milliseconds - i64Spent);
      blExpired = u32Left == 0;
    }
    eossts = WaitForPeer(0, kOkToRead, u32Left);
    if (eossts != OS_STS_SUCCESS) return eossts;
  }
}

// A failed Accept closes the channel, and the caller may still call.
bool COsSocketImpl::SlotOpen(int a_iSlot) {
  if (m_aposringbuffer[a_iSlot] && m_apossync[a_iSlot][kOkToRead] && m_apossync[a_iSlot][kOkToWrite]) return true;
  OsLog(OS_LOG_ERROR, "must open a socket first...");
  return false;
}

// One wait on a slot's event: 0 woken, 8 cancelled, 5 time-out, 1 when the
// watched peer has ended or the wait failed. The creator learns of a cancel
// from the event that fired, a connecting side from the flag.
EOSSTS COsSocketImpl::WaitForPeer(int a_iSlot, int a_iEvent, uint32_t a_u32Milliseconds) {
  EOSSTS eossts = m_apossync[a_iSlot][a_iEvent]->EventWait(a_u32Milliseconds, m_szEventName, sizeof m_szEventName);
  switch (eossts) {
    case OS_STS_SUCCESS:
      return IsCancel(m_szEventName) || (!m_blCreator && m_blCancel.exchange(false)) ? OS_STS_SOCKET_CANCELLED
                                                                                     : OS_STS_SUCCESS;
    case OS_STS_TIMEOUT: return OS_STS_TIMEOUT;
    case OS_STS_BAD_ARGUMENT_SYNC:
      OsLogDebug(OS_LOG_INFO, "The remote process has died...");
      return OS_STS_FAIL;
    default:
      OsLog(OS_LOG_ERROR, "Event Failed %d...", static_cast<int>(eossts));
      return OS_STS_FAIL;
  }
}

// The Cancel events wake the creator's waits only: they share its groups,
// and set from the connecting side they would end the creator's calls. A
// connecting side wakes its own wait on the event it awaits; the flag makes
// that wake a cancel.
void COsSocketImpl::SharedCancel() {
  for (int iSlot = 0; iSlot < 2; ++iSlot) {
    bool blOurs = m_eossockettype == OS_SOCKETTYPE_SHAREDMEMORY_READWRITE ||
                  m_eossockettype == OS_SOCKETTYPE_SHAREDMEMORY_READONLY + iSlot;
    COsSync* possync = m_apossync[iSlot][m_blCreator ? kCancel : WaitedEvent(iSlot)];
    if (blOurs && possync) possync->EventSet();
  }
}

// A failed Accept closes the channel this way: the events stay until Close,
// for the other thread may be setting Cancel through them right now.
void COsSocketImpl::CloseRings() {
  for (COsRingBuffer*& posringbuffer : m_aposringbuffer) {
    if (posringbuffer) posringbuffer->Close();
    OsMemDelete(posringbuffer);
  }
}

void COsSocketImpl::CloseShared() {
  CloseRings();
  for (int iSlot = 0; iSlot < 2; ++iSlot) {
    for (COsSync*& possync : m_apossync[iSlot]) {
      if (possync) possync->EventClose();
      OsMemDelete(possync);
    }
  }
}
