// The implementation behind COsSocket: one object per open channel, its
// transport fixed at Create or Connect.
#pragma once

#include <mqueue.h>
#include <netinet/in.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "os_cossocket.h"

class COsRingBuffer;

inline constexpr size_t OS_SOCKET_NAME_SIZE = 512;

// Wait limits shared by every channel (COsSocket's setters change them).
struct OsSocketLimits {
  static long PassTime();
  static long QueueTimeoutFloor();
  static long BusyRetry();
  static long BusyPause();
};

class COsSocketImpl {
 public:
  COsSocketImpl();
  ~COsSocketImpl();
  COsSocketImpl(const COsSocketImpl&) = delete;
  COsSocketImpl& operator=(const COsSocketImpl&) = delete;

  EOSSTS Create(const char* a_szAddress, const char* a_szPort, EOSSOCKETTYPE a_eossockettype, const char* a_szTag);
  EOSSTS Connect(const char* a_szAddress, const char* a_szPort, const char* a_szTag, uint64_t a_u64ProcessId,
                 bool a_blFlag);
  EOSSTS Listen(int a_iBacklog);
  EOSSTS Accept(uint32_t a_u32Milliseconds, COsThread* a_posthread);
  EOSSTS Write(const void* a_pvData, uint64_t a_u64Length, uint64_t* a_pu64Written, uint32_t a_u32Milliseconds);
  // a_blString only chooses the text of the no-socket refusal.
  EOSSTS Read(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read, uint32_t a_u32Milliseconds, bool a_blString);
  // TCP readiness of the connected descriptor (the listening one before
  // Accept): each out pointer given asks for that condition. 0 polls once;
  // otherwise slices of the pass time, 8 when cancelled, 5 at the end.
  EOSSTS Select(int* a_piReadable, int* a_piWritable, int* a_piError, uint32_t a_u32Milliseconds,
                COsThread* a_posthread, COsSync* a_possync);
  bool HasData();
  EOSSTS GetAddress(char* a_szAddress, size_t a_sizetAddress, char* a_szPort, size_t a_sizetPort);
  EOSSTS MonitorChildProcess(uint64_t a_u64ProcessId);
  EOSSTS CancelSelect();
  EOSSTS SetBufferSizes(int a_iSendBytes, int a_iReceiveBytes);
  void SetRetry(int64_t a_i64Retry) { m_i64Retry = a_i64Retry; }
  int64_t GetRetry() const { return m_i64Retry; }
  void SetSleepTime(int64_t a_i64Milliseconds) { m_i64SleepTime = a_i64Milliseconds; }
  int64_t GetSleepTime() const { return m_i64SleepTime; }
  EOSSOCKETTYPE GetSocketType() const { return m_eossockettype; }
  bool IsLocal() const;
  EOSSTS Close();

  // The slots' file names of a local transport (the creating side builds
  // them, the connecting side takes the published ones).
  EOSSTS SetSharedFilename(const char* a_szAddress, const char* a_szPort, EOSSOCKETTYPE a_eossockettype,
                           const char* a_szTag, bool a_blCreate);
  // Creates or connects one ring slot (3 or 4) with its handshake and events.
  EOSSTS CreateSharedMemory(EOSSOCKETTYPE a_eossockettype);
  const char* GetFilename(EOSSOCKETTYPE a_eossockettype) const;

 private:
  // TCP (os_cossocketimpl_tcp.cpp).
  EOSSTS TcpCreate(const char* a_szAddress, const char* a_szPort);
  EOSSTS TcpConnect(const char* a_szAddress, const char* a_szPort);
  EOSSTS TcpAccept(uint32_t a_u32Milliseconds, COsThread* a_posthread);
  EOSSTS TcpWrite(const void* a_pvData, uint64_t a_u64Length, uint64_t* a_pu64Written);
  EOSSTS TcpRead(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read, bool a_blString);

  // Shared memory (os_cossocketimpl_shared.cpp).
  EOSSTS SharedCreate(const char* a_szAddress, const char* a_szPort, const char* a_szTag);
  EOSSTS SharedConnect(const char* a_szAddress, const char* a_szPort, const char* a_szTag, uint64_t a_u64ProcessId);
  EOSSTS SharedAccept(uint32_t a_u32Milliseconds, COsThread* a_posthread);
  EOSSTS SharedWrite(const void* a_pvData, uint64_t a_u64Length, uint64_t* a_pu64Written);
  EOSSTS SharedRead(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read, uint32_t a_u32Milliseconds);
  bool SlotOpen(int a_iSlot);
  EOSSTS WaitForPeer(int a_iSlot, int a_iEvent, uint32_t a_u32Milliseconds);
  EOSSTS Handshake(int a_iSlot);
  EOSSTS OpenEvents(int a_iSlot);
  EOSSTS WatchPeer(int a_iSlot, int a_iEvent, uint64_t a_u64ProcessId);
  void SharedCancel();
  void CloseRings();
  void CloseShared();

  // Message queues (os_cossocketimpl_queue.cpp).
  EOSSTS QueueCreate(const char* a_szAddress, const char* a_szPort, const char* a_szTag);
  EOSSTS QueueConnect(const char* a_szAddress, const char* a_szPort, const char* a_szTag);
  EOSSTS QueueOpenAll(bool a_blCreate);
  EOSSTS QueueOpen(int a_iSlot, bool a_blCreate);
  EOSSTS QueueAccept(uint32_t a_u32Milliseconds, COsThread* a_posthread);
  bool QueueNamesPresent();
  bool QueueHasData();
  bool TcpHasData();
  bool SharedHasData();
  EOSSTS QueueWrite(const void* a_pvData, uint64_t a_u64Length, uint64_t* a_pu64Written, uint32_t a_u32Milliseconds);
  EOSSTS QueueRead(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read, uint32_t a_u32Milliseconds);
  EOSSTS QueueReceive(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read,
                      const struct timespec& a_timespecDeadline, bool* a_pblReceived);
  bool WatchedProcessGone();
  bool PeerLookDue();
  bool TakeCancel(int a_iSlot);
  void CloseQueues();

  EOSSTS Unsupported(const char* a_szFormat);

  int64_t m_i64Retry;
  int64_t m_i64SleepTime;
  int64_t m_i64BusyRetry;
  int64_t m_i64BusySleep;
  EOSSOCKETTYPE m_eossockettype;
  std::atomic<bool> m_blCancel;  // set by another thread's CancelSelect
  char m_szAddress[OS_SOCKET_NAME_SIZE];
  int64_t m_i64RingBufferSize;
  bool m_blConnectFlag;
  bool m_blCreator;
  char m_aszFilename[OS_SOCKETTYPE_LAST][OS_SOCKET_NAME_SIZE];
  char m_szEventName[OS_SOCKET_NAME_SIZE];  // the event that ended the last wait
  // Shared memory: per slot (3, 4) a ring and its OkToRead, OkToWrite and
  // Cancel events.
  COsRingBuffer* m_aposringbuffer[2];
  COsSync* m_apossync[2][3];
  // TCP.
  int m_iListen;
  int m_iConnected;
  uint16_t m_u16Port;
  struct sockaddr_in m_sockaddrin;
  // Message queues: per slot a descriptor, its message size and a cancel
  // byte; the rest of a message too big for the caller's buffer.
  mqd_t m_amqd[OS_SOCKETTYPE_LAST];
  long m_alMessageSize[OS_SOCKETTYPE_LAST];
  std::atomic<uint8_t> m_au8Cancel[OS_SOCKETTYPE_LAST];
  int64_t m_i64PeerLook;  // when a read last looked at the peer (ms)
  uint8_t* m_pu8Pending;
  size_t m_sizetPendingOffset;
  size_t m_sizetPendingLength;
  // The watched process; MonitorChildProcess may set it while another
  // thread reads.
  std::atomic<uint64_t> m_u64WatchedProcessId;
  std::atomic<bool> m_blMonitor;
};
