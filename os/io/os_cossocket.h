// Channels between the driver and its child processes (and network units):
// one side creates a channel and publishes its address, the other connects
// with it, then both read and write bytes. Three transports behind one API:
// an IPv4 TCP socket on the loopback, shared-memory rings with named events,
// and POSIX message queues. A channel adds no framing: a write sends the
// bytes given, a read returns what has arrived.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_def.h"

// The transport; the value decides everything else. 0 and 2 are no
// transports and are refused.
enum EOSSOCKETTYPE : int {
  OS_SOCKETTYPE_UNDEFINED = 0,
  OS_SOCKETTYPE_TCP = 1,
  OS_SOCKETTYPE_SHAREDMEMORY_READONLY = 3,   // one ring, this side reads
  OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY = 4,  // one ring, this side writes
  OS_SOCKETTYPE_SHAREDMEMORY_READWRITE = 5,  // a ring per direction
  OS_SOCKETTYPE_MESSAGEQUEUE_READONLY = 6,   // one queue, this side receives
  OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY = 7,  // one queue, this side sends
  OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE = 8,  // a queue per direction
  OS_SOCKETTYPE_LAST = 9,
};

// Results of the channel beyond the common ones.
inline constexpr EOSSTS OS_STS_SOCKET_CANCELLED = static_cast<EOSSTS>(8);     // CancelSelect ended the call
inline constexpr EOSSTS OS_STS_SOCKET_READTIMEOUT = static_cast<EOSSTS>(12);  // ReadString time-out, local transport
inline constexpr EOSSTS OS_STS_SOCKET_PEERGONE = static_cast<EOSSTS>(13);     // the peer process has gone

class COsSocketImpl;
class COsSync;
class COsThread;

class COsSocket {
 public:
  COsSocket();
  ~COsSocket();
  COsSocket(const COsSocket&) = delete;
  COsSocket& operator=(const COsSocket&) = delete;

  // The creating side. TCP: bound to 127.0.0.1 whatever the address, port
  // "0" (or empty) lets the system choose. Local transports: the address is
  // a directory and the port a file name, both optional; the tag goes into
  // generated names.
  EOSSTS Create(const char* a_szAddress, const char* a_szPort, EOSSOCKETTYPE a_eossockettype, const char* a_szTag);
  // The connecting side, with an address and port that GetAddress of the
  // creating side gave. A process id given is watched by the shared-memory
  // waits; the flag has no effect.
  EOSSTS Connect(const char* a_szAddress, const char* a_szPort, const char* a_szTag, uint64_t a_u64ProcessId,
                 bool a_blFlag);
  // TCP only; the local transports answer 0.
  EOSSTS Listen(int a_iBacklog);
  // Waits for the peer: 0 connected, 5 time-out (all ones: no limit), 8
  // cancelled. With a thread that has spawned a child, the wait also ends
  // (13) when that child dies. A message-queue channel has nobody to wait
  // for without such a thread (0 at once); with one it waits until that
  // child has opened the queues. The event is not used.
  EOSSTS Accept(uint32_t a_u32Milliseconds, COsThread* a_posthread, COsSync* a_possync);
  // Sends every byte or fails; *a_pu64Written is the count sent.
  EOSSTS Write(const void* a_pvData, uint64_t a_u64Length, uint64_t* a_pu64Written, uint32_t a_u32Milliseconds,
               int64_t a_i64Unused);
  // The text without its terminating zero.
  EOSSTS WriteString(const char* a_szText, uint64_t* a_pu64Written);
  // What has arrived, at most one ring record or queue message per call.
  // TCP waits without limit (CancelSelect ends the wait); the local
  // transports give 5 at the time-out.
  EOSSTS Read(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read, uint32_t a_u32Milliseconds,
              int64_t a_i64Unused, COsThread* a_posthread, COsSync* a_possync);
  // Zero-fills the buffer and reads at most size - 1 bytes, so the text is
  // always terminated; a local transport's time-out gives 12.
  EOSSTS ReadString(char* a_szBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read, uint32_t a_u32Milliseconds,
                    int64_t a_i64Unused);
  // TCP readiness of the connected descriptor (the listening one before
  // Accept): each out value given asks for that condition and is set to 1
  // or 0. 0 ms polls once; otherwise 8 cancelled, 5 at the time-out. The
  // local transports answer 0 at once (their reads take a time-out).
  EOSSTS Select(int* a_piReadable, int* a_piWritable, int* a_piError, uint32_t a_u32Milliseconds);
  // Whether a read would find something at once (for TCP also the peer's
  // end); never waits.
  bool HasData();
  // The address and port a peer passes to Connect.
  EOSSTS GetAddress(char* a_szAddress, size_t a_sizetAddress, char* a_szPort, size_t a_sizetPort);
  // From ForceGuiSockets: 1 gives TCP, 3 to 5 the shared-memory pair, any
  // other value (or none) the message-queue pair.
  static EOSSOCKETTYPE GetPreferredSocketType();
  // Message-queue reads and writes end with 13 once this child has ended.
  EOSSTS MonitorChildProcess(uint64_t a_u64ProcessId);
  // Ends another thread's blocked Accept, Read, or Write waiting for room,
  // with 8; never a call of the peer.
  EOSSTS CancelSelect();
  // TCP only: SO_SNDBUF and SO_RCVBUF.
  EOSSTS SetBufferSizes(int a_iSendBytes, int a_iReceiveBytes);
  // Kept for callers; no operation consults them.
  EOSSTS SetRetry(int64_t a_i64Retry);
  int64_t GetRetry();
  EOSSTS SetSleepTime(int64_t a_i64Milliseconds);
  int64_t GetSleepTime();
  EOSSTS Close();

  // Limits of the long waits, so tests stay short; a negative value restores
  // the default. The pass: Select's slices and the message-queue passes
  // (1000 ms); the floor of a message-queue time-out (10000 ms); retries of
  // a ring the other process holds locked (500, 10 ms apart).
  static void SetPassTime(long a_lMilliseconds);
  static void SetQueueTimeoutFloor(long a_lMilliseconds);
  static void SetBusyRetry(long a_lCount, long a_lMilliseconds);

 private:
  bool Open(const char* a_szPort);

  COsSocketImpl* m_possocketimpl;
};
