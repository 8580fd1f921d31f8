// Fuzz target of the channels' reading side, with the fuzzer as the peer
// process. The input is a list of steps; each takes a few bytes:
// - a ring file (made anew per run, the size picked by the input, a page
//   exactly now and then) with one writer and one reader attached; the peer
//   writes any header field, record header or byte of it, shrinks or grows
//   the file and attaches again, between the sides' writes, reads, size
//   queries and user-area copies;
// - a shared-memory channel pair (made once): the peer spoils either ring
//   of it between the creating side's reads and writes, and writes through
//   the connecting side;
// - a message-queue channel pair (made once): the peer puts messages of any
//   length in the creating side's queue, which reads them into buffers of
//   any size;
// - a TCP channel pair (made once): the peer sends bytes, the creating
//   side reads them into buffers of any size.
// Every shared mapping of the process lies between two inaccessible pages,
// so that a copy running off a ring faults at once (past the end of a file
// whose size is no page multiple the last page still reads zeros: the ring
// part makes page-exact files now and then). Every call must answer
// within its time-out (plus a margin) with one of its statuses; counts stay
// within the buffers; while the peer only writes through the API, what is
// read is what was written, in order.
#include <fcntl.h>
#include <mqueue.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosringbuffer.h"
#include "os_cossocket.h"
#include "os_cossync.h"
#include "fuzz_root.h"

// Guard pages around every shared file mapping: the library's mmap and
// munmap come here.
namespace mapguard {
struct Entry {
  uintptr_t uptrStart;  // what the caller got
  size_t sizetReserved; // the whole reservation, guards included
};
std::mutex s_mutex;
Entry s_aentry[256];

size_t Page() {
  static const size_t s_sizetPage = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return s_sizetPage;
}

void* RawMmap(void* a_pv, size_t a_sizet, int a_iProt, int a_iFlags, int a_iFd, off_t a_off) {
  return reinterpret_cast<void*>(syscall(SYS_mmap, a_pv, a_sizet, a_iProt, a_iFlags, a_iFd, a_off));
}

int RawMunmap(void* a_pv, size_t a_sizet) { return static_cast<int>(syscall(SYS_munmap, a_pv, a_sizet)); }
}  // namespace mapguard

extern "C" void* mmap(void* a_pv, size_t a_sizet, int a_iProt, int a_iFlags, int a_iFd, off_t a_off) {
  using namespace mapguard;
  if (a_pv || a_iFd < 0 || !(a_iFlags & MAP_SHARED) || a_sizet == 0) {
    return RawMmap(a_pv, a_sizet, a_iProt, a_iFlags, a_iFd, a_off);
  }
  const size_t sizetSpan = (a_sizet + Page() - 1) / Page() * Page();
  const size_t sizetReserved = sizetSpan + 2 * Page();
  void* pvReserve = RawMmap(nullptr, sizetReserved, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (pvReserve == MAP_FAILED) return MAP_FAILED;
  char* pcStart = static_cast<char*>(pvReserve) + Page();
  void* pv = RawMmap(pcStart, a_sizet, a_iProt, a_iFlags | MAP_FIXED, a_iFd, a_off);
  if (pv == MAP_FAILED) {
    const int iSaved = errno;
    RawMunmap(pvReserve, sizetReserved);
    errno = iSaved;
    return MAP_FAILED;
  }
  std::lock_guard<std::mutex> lock(s_mutex);
  for (Entry& entry : s_aentry) {
    if (entry.uptrStart) continue;
    entry = {reinterpret_cast<uintptr_t>(pcStart), sizetReserved};
    return pv;
  }
  std::fprintf(stderr, "mapguard: too many mappings\n");
  std::abort();
}

extern "C" void* mmap64(void* a_pv, size_t a_sizet, int a_iProt, int a_iFlags, int a_iFd, off_t a_off) {
  return mmap(a_pv, a_sizet, a_iProt, a_iFlags, a_iFd, a_off);
}

extern "C" int munmap(void* a_pv, size_t a_sizet) {
  using namespace mapguard;
  {
    std::lock_guard<std::mutex> lock(s_mutex);
    for (Entry& entry : s_aentry) {
      if (entry.uptrStart != reinterpret_cast<uintptr_t>(a_pv)) continue;
      const Entry entryFound = entry;
      entry = {};
      return RawMunmap(reinterpret_cast<char*>(entryFound.uptrStart) - Page(), entryFound.sizetReserved);
    }
  }
  return RawMunmap(a_pv, a_sizet);
}

namespace {

using Bytes = std::vector<uint8_t>;

[[noreturn]] void Fail(const char* a_szWhat, long a_l) {
  std::fprintf(stderr, "fuzz_cosringbuffer: %s (%ld)\n", a_szWhat, a_l);
  __builtin_trap();
}

void Check(bool a_bl, const char* a_szWhat, long a_l = 0) {
  if (!a_bl) Fail(a_szWhat, a_l);
}

int64_t NowMs() {
  struct timespec timespec;
  clock_gettime(CLOCK_MONOTONIC, &timespec);
  return static_cast<int64_t>(timespec.tv_sec) * 1000 + timespec.tv_nsec / 1000000;
}

// A call must be back within its time-out and this margin.
constexpr int64_t kMarginMs = 2000;

class CInput {
 public:
  CInput(const uint8_t* a_pu8, size_t a_sizet) : m_pu8(a_pu8), m_sizet(a_sizet) {}
  bool Empty() const { return m_sizet == 0; }
  uint8_t U8() {
    if (!m_sizet) return 0;
    --m_sizet;
    return *m_pu8++;
  }
  uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
  uint32_t U32() { return static_cast<uint32_t>(U16() | static_cast<uint32_t>(U16()) << 16); }
  // Up to a_sizet bytes of the input, a pattern where it runs out.
  Bytes Take(size_t a_sizet) {
    Bytes bytes(a_sizet);
    for (size_t sizet = 0; sizet < a_sizet; ++sizet) bytes[sizet] = m_sizet ? U8() : static_cast<uint8_t>(sizet * 13);
    return bytes;
  }

 private:
  const uint8_t* m_pu8;
  size_t m_sizet;
};

using fuzzroot::Path;
std::string s_strLogDirectory;

int32_t Le32(const uint8_t* a_pu8) {
  return static_cast<int32_t>(a_pu8[0] | a_pu8[1] << 8 | a_pu8[2] << 16 | static_cast<uint32_t>(a_pu8[3]) << 24);
}

// The peer's hand on a ring file: plain file writes, never beyond the end
// of the file (they would grow it).
class CPeerFile {
 public:
  void Open(const std::string& a_strPath) {
    Close();
    m_iFd = open(a_strPath.c_str(), O_RDWR | O_CLOEXEC);
    Check(m_iFd >= 0, "the ring file does not open", errno);
  }
  void Close() {
    if (m_iFd >= 0) close(m_iFd);
    m_iFd = -1;
  }
  int64_t Size() const {
    struct stat st;
    return fstat(m_iFd, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
  }
  void Put(int64_t a_i64Offset, const uint8_t* a_pu8, size_t a_sizet) {
    const int64_t i64Size = Size();
    if (a_i64Offset < 0 || a_i64Offset >= i64Size) return;
    const size_t sizet = std::min<size_t>(a_sizet, static_cast<size_t>(i64Size - a_i64Offset));
    Check(pwrite(m_iFd, a_pu8, sizet, a_i64Offset) == static_cast<ssize_t>(sizet), "pwrite failed", errno);
  }
  void Put32(int64_t a_i64Offset, int32_t a_i32) {
    uint8_t au8[4];
    for (int i = 0; i < 4; ++i) au8[i] = static_cast<uint8_t>(static_cast<uint32_t>(a_i32) >> (8 * i));
    Put(a_i64Offset, au8, 4);
  }
  int32_t Get32(int64_t a_i64Offset) const {
    uint8_t au8[4] = {};
    if (pread(m_iFd, au8, 4, a_i64Offset) != 4) return 0;
    return Le32(au8);
  }
  void Resize(int64_t a_i64Size) { Check(ftruncate(m_iFd, a_i64Size) == 0, "ftruncate failed", errno); }
  // The peer takes or gives up the lock on the first byte, as the sides do.
  void Lock(bool a_blHold) {
    struct flock flock = {};
    flock.l_type = a_blHold ? F_WRLCK : F_UNLCK;
    flock.l_whence = SEEK_SET;
    flock.l_len = 1;
    Check(fcntl(m_iFd, F_OFD_SETLK, &flock) == 0 || a_blHold, "the peer's unlock failed", errno);
  }
  // An empty ring of the file's size with both sides attached; the user
  // area stays.
  void Reset() {
    const int32_t i32Total = static_cast<int32_t>(Size());
    uint8_t au8[24] = {1, 1};
    for (int i = 0; i < 4; ++i) {
      au8[2 + i] = static_cast<uint8_t>(i32Total >> (8 * i));
      au8[6 + i] = static_cast<uint8_t>((i32Total - 88) >> (8 * i));
      au8[10 + i] = static_cast<uint8_t>(88 >> (8 * i));
      au8[14 + i] = static_cast<uint8_t>(88 >> (8 * i));
    }
    Put(0, au8, sizeof au8);
    const uint8_t au8Record[16] = {};
    Put(88, au8Record, sizeof au8Record);
  }

  // One spoiling step of the peer: a header field, a record header at one
  // of the offsets or a run of bytes, each an edge value now and then.
  void Spoil(CInput& a_input) {
    const int64_t i64Size = Size();
    const int32_t i32Total = static_cast<int32_t>(i64Size);
    const int32_t i32Data = i32Total - 88;
    const int32_t ai32Edge[] = {0,  1,        7,        8,         16,        24,        88,          96,
                                104, i32Total - 16, i32Total - 8, i32Total, i32Total + 8, i32Data, i32Data - 8,
                                i32Data - 16, i32Data - 15, i32Data + 8, -8, -1, INT32_MIN, INT32_MAX, 0x78787878};
    const uint8_t u8Kind = a_input.U8();
    const uint8_t u8Pick = a_input.U8();
    const int32_t i32Value = (u8Pick & 0x80) ? static_cast<int32_t>(a_input.U32())
                                             : ai32Edge[u8Pick % (sizeof ai32Edge / sizeof ai32Edge[0])];
    switch (u8Kind % 6) {
      case 0: {  // version, created, count
        const int64_t ai64Byte[] = {0, 1, 18};
        const uint8_t u8 = static_cast<uint8_t>(i32Value);
        Put(ai64Byte[u8Pick % 3], &u8, 1);
        break;
      }
      case 1: {  // total, free, write offset, read offset
        Put32(2 + 4 * ((u8Kind >> 3) % 4), i32Value);
        break;
      }
      case 2:    // the record the reader is at
      case 3: {  // the record the writer is at
        const int32_t i32At = Get32(u8Kind % 6 == 2 ? 14 : 10);
        Put32(static_cast<int64_t>(i32At) + ((u8Kind >> 3) & 1) * 4, i32Value);
        break;
      }
      case 4: {  // a record header anywhere on the 8-byte grid of the data area
        const int64_t i64At = 88 + 8 * static_cast<int64_t>(a_input.U16() % std::max<int32_t>(1, i32Data / 8));
        Put32(i64At + ((u8Kind >> 3) & 1) * 4, i32Value);
        break;
      }
      default: {  // a run of bytes anywhere
        const Bytes bytes = a_input.Take(1 + (u8Kind >> 3) % 16);
        Put(static_cast<int64_t>(a_input.U16() % std::max<int64_t>(1, i64Size)), bytes.data(), bytes.size());
        break;
      }
    }
  }

 private:
  int m_iFd = -1;
};

// What the peer wrote through the API and the reader has not yet taken.
class CExpected {
 public:
  void Clear() {
    m_deque.clear();
    m_blValid = true;
  }
  void Spoiled() { m_blValid = false; }
  bool Valid() const { return m_blValid; }
  void Add(const uint8_t* a_pu8, size_t a_sizet) {
    if (m_blValid) m_deque.insert(m_deque.end(), a_pu8, a_pu8 + a_sizet);
  }
  void Take(const uint8_t* a_pu8, size_t a_sizet, const char* a_szWhat) {
    if (!m_blValid) return;
    Check(a_sizet <= m_deque.size(), a_szWhat, static_cast<long>(a_sizet));
    Check(std::equal(a_pu8, a_pu8 + a_sizet, m_deque.begin()), a_szWhat, static_cast<long>(a_sizet));
    m_deque.erase(m_deque.begin(), m_deque.begin() + static_cast<long>(a_sizet));
  }
  size_t Size() const { return m_deque.size(); }

 private:
  std::deque<uint8_t> m_deque;
  bool m_blValid = true;
};

bool OneOf(EOSSTS a_eossts, std::initializer_list<EOSSTS> a_list) {
  return std::find(a_list.begin(), a_list.end(), a_eossts) != a_list.end();
}

// The ring on its own: a file per run.
class CRingPart {
 public:
  void Start(CInput& a_input) {
    const uint8_t u8 = a_input.U8();
    const int64_t ai64Page[] = {4096 - 104, 8192 - 104};
    m_i64Capacity = (u8 & 3) == 3 ? ai64Page[(u8 >> 2) & 1] : 8 * (1 + (u8 >> 2) % 64);
    m_strPath = Path("ring.socket");
    Check(m_writer.Create(m_strPath.c_str(), true, m_i64Capacity) == OS_STS_SUCCESS, "Create failed");
    Check(m_reader.Connect(m_strPath.c_str(), false) == OS_STS_SUCCESS, "Connect failed");
    m_peer.Open(m_strPath);
    m_i64MaxSize = m_peer.Size();
    m_expected.Clear();
  }
  void Stop() {
    m_writer.Close();
    m_reader.Close();
    m_peer.Close();
  }

  void Step(CInput& a_input, uint8_t a_u8Op) {
    switch (a_u8Op % 8) {
      case 0:
      case 1:
        m_peer.Spoil(a_input);
        m_expected.Spoiled();
        break;
      case 2: Write(a_input); break;
      case 3:
      case 4: Read(a_input); break;
      case 5: {
        const int32_t i32Available = m_reader.AvailableBytes();
        Check(i32Available >= 0 && i32Available <= MaxPayload(), "AvailableBytes out of range", i32Available);
        break;
      }
      case 6: UserArea(a_input); break;
      default: Restart(a_input); break;
    }
  }

 private:
  // No record is longer than the largest data area the file has had.
  int64_t MaxPayload() const { return m_i64MaxSize - 104; }
  void Write(CInput& a_input) {
    const Bytes bytes = a_input.Take(1 + a_input.U16() % (2 * m_i64Capacity + 32));
    int32_t i32Written = -1;
    const EOSSTS eossts = m_writer.Write(bytes.data(), 0, static_cast<int32_t>(bytes.size()), &i32Written);
    Check(OneOf(eossts, {OS_STS_SUCCESS, OS_STS_FAIL, OS_STS_BUSY, OS_STS_NO_ROOM}), "Write status", eossts);
    Check(i32Written >= 0 && i32Written <= static_cast<int32_t>(bytes.size()), "Write count", i32Written);
    Check(eossts == OS_STS_SUCCESS ? i32Written > 0 : i32Written == 0, "Write count and status", i32Written);
    if (eossts == OS_STS_SUCCESS) m_expected.Add(bytes.data(), static_cast<size_t>(i32Written));
  }
  void Read(CInput& a_input) {
    // A buffer of exactly the length asked, at an offset into it.
    const int32_t i32Length = 1 + a_input.U16() % (m_i64Capacity + 24);
    const int32_t i32Offset = a_input.U8() % 4;
    Bytes buffer(static_cast<size_t>(i32Offset + i32Length));
    int32_t i32Read = -1, i32Remaining = -1;
    const EOSSTS eossts = m_reader.Read(buffer.data(), i32Offset, i32Length, &i32Read, &i32Remaining);
    Check(OneOf(eossts, {OS_STS_SUCCESS, OS_STS_FAIL, OS_STS_BUSY, OS_STS_NO_ROOM}), "Read status", eossts);
    Check(i32Read >= 0 && i32Read <= i32Length, "Read count", i32Read);
    Check(i32Remaining >= 0 && i32Remaining <= MaxPayload(), "Read remaining", i32Remaining);
    if (eossts != OS_STS_SUCCESS) {
      Check(i32Read == 0 && i32Remaining == 0, "Read counts of a failure", i32Read);
      return;
    }
    Check(i32Read > 0, "Read of nothing", i32Read);
    m_expected.Take(buffer.data() + i32Offset, static_cast<size_t>(i32Read), "Read bytes not the ones written");
  }
  void UserArea(CInput& a_input) {
    const uint8_t u8 = a_input.U8();
    COsRingBuffer& ring = (u8 & 1) ? m_writer : m_reader;
    const int32_t i32Length = 1 + (u8 >> 1) % 80;
    Bytes buffer = a_input.Take(static_cast<size_t>(i32Length));
    int32_t i32Copied = -1;
    const EOSSTS eossts = (u8 & 0x80) ? ring.UserAreaWrite(buffer.data(), i32Length, &i32Copied)
                                      : ring.UserAreaRead(buffer.data(), i32Length, &i32Copied);
    Check(OneOf(eossts, {OS_STS_SUCCESS, OS_STS_FAIL, OS_STS_BUSY}), "UserArea status", eossts);
    Check(i32Copied >= 0 && i32Copied <= std::min(i32Length, 64), "UserArea count", i32Copied);
  }
  // The peer resizes the file, or a side attaches again (the peer having
  // set that side's offset back to 0 or not).
  void Restart(CInput& a_input) {
    const uint8_t u8 = a_input.U8();
    if ((u8 & 0x18) == 0x18) {
      m_peer.Lock(u8 & 0x20);
      return;
    }
    m_expected.Spoiled();
    if (u8 & 1) {
      const int64_t i64Size = m_peer.Size();
      const int64_t ai64Size[] = {0, 50, 88, 104, i64Size - 8, i64Size / 2, i64Size + 8, i64Size + 4096};
      m_peer.Resize(std::max<int64_t>(0, ai64Size[(u8 >> 1) % 8]));
      m_i64MaxSize = std::max(m_i64MaxSize, m_peer.Size());
      return;
    }
    const bool blWriter = u8 & 2;
    COsRingBuffer& ring = blWriter ? m_writer : m_reader;
    ring.Close();
    if (u8 & 4) m_peer.Put32(blWriter ? 10 : 14, 0);
    const EOSSTS eossts = ring.Connect(m_strPath.c_str(), blWriter);
    Check(OneOf(eossts, {OS_STS_SUCCESS, OS_STS_FAIL, OS_STS_BUSY}), "Connect status", eossts);
  }

  std::string m_strPath;
  int64_t m_i64Capacity = 0;
  int64_t m_i64MaxSize = 0;
  COsRingBuffer m_writer;
  COsRingBuffer m_reader;
  CPeerFile m_peer;
  CExpected m_expected;
};

// Reads of a channel: within the time-out and the buffer.
void CheckRead(EOSSTS a_eossts, uint64_t a_u64Read, uint64_t a_u64Size, int64_t a_i64Spent, uint32_t a_u32Timeout,
               std::initializer_list<EOSSTS> a_list) {
  Check(OneOf(a_eossts, a_list), "channel Read status", a_eossts);
  Check(a_u64Read <= a_u64Size, "channel Read count", static_cast<long>(a_u64Read));
  Check(a_eossts == OS_STS_SUCCESS || a_u64Read == 0, "channel Read count of a failure", static_cast<long>(a_u64Read));
  Check(a_i64Spent <= a_u32Timeout + kMarginMs, "channel Read beyond its time-out", static_cast<long>(a_i64Spent));
}

// The creating side of a channel of the type (a "DRV2GUI" channel), its
// published address and port.
struct CPublished {
  std::string strAddress;
  std::string strPort;
  std::string First() const { return strPort.substr(0, strPort.find(';')); }
  std::string Second() const { return strPort.substr(strPort.find(';') + 1); }
};

bool Publish(COsSocket& a_socket, EOSSOCKETTYPE a_eossockettype, const char* a_szPort, CPublished* a_ppublished) {
  char szAddress[64] = "", szPort[2048] = "";
  if (a_socket.Create(nullptr, a_szPort, a_eossockettype, "DRV2GUI") != OS_STS_SUCCESS ||
      a_socket.Listen(1) != OS_STS_SUCCESS ||
      a_socket.GetAddress(szAddress, sizeof szAddress, szPort, sizeof szPort) != OS_STS_SUCCESS)
    return false;
  *a_ppublished = {szAddress, szPort};
  return true;
}

bool Connect(COsSocket& a_socket, const CPublished& a_published) {
  return a_socket.Connect(a_published.strAddress.c_str(), a_published.strPort.c_str(), "DRV2GUI", 0, false) ==
         OS_STS_SUCCESS;
}

// The shared-memory pair, made once.
class CSharedPart {
 public:
  bool Setup() {
    CPublished published;
    if (!Publish(m_creator, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE, "", &published) || !Connect(m_connector, published) ||
        m_creator.Accept(1000, nullptr, nullptr) != OS_STS_SUCCESS)
      return false;
    m_astrPath[0] = published.First();   // the creator reads this one
    m_astrPath[1] = published.Second();  // and writes this one
    for (int i = 0; i < 2; ++i) {
      m_apeer[i].Open(m_astrPath[i]);
      std::string strBase = m_astrPath[i].substr(m_astrPath[i].rfind('/') + 1);
      strBase = strBase.substr(0, strBase.rfind('.'));
      const char* const aszSuffix[3] = {"EventOkToRead", "EventOkToWrite", "EventCancel"};
      for (int iEvent = 0; iEvent < 3; ++iEvent) {
        if (m_async[i][iEvent].EventOpen((strBase + aszSuffix[iEvent]).c_str()) != OS_STS_SUCCESS) return false;
      }
    }
    return true;
  }
  // Both rings empty, no event set.
  void Start() {
    for (int i = 0; i < 2; ++i) {
      m_apeer[i].Lock(false);
      m_apeer[i].Reset();
      for (COsSync& ossync : m_async[i]) ossync.EventReset();
      m_aexpected[i].Clear();
    }
  }

  void Step(CInput& a_input, uint8_t a_u8Op) {
    switch (a_u8Op % 6) {
      case 0:
      case 1: {
        const uint8_t u8 = a_input.U8();
        const int i = u8 & 1;
        if (u8 & 2) {
          m_apeer[i].Lock(u8 & 4);  // a held lock only delays: what is read stays right
          break;
        }
        m_apeer[i].Spoil(a_input);
        m_aexpected[i].Spoiled();
        break;
      }
      case 2: Read(a_input, m_creator, m_aexpected[0]); break;
      case 3: Read(a_input, m_connector, m_aexpected[1]); break;
      case 4: Write(a_input, m_creator, m_aexpected[1]); break;
      default: Write(a_input, m_connector, m_aexpected[0]); break;
    }
  }

 private:
  void Read(CInput& a_input, COsSocket& a_socket, CExpected& a_expected) {
    const uint8_t u8 = a_input.U8();
    const bool blString = u8 & 1;
    const uint32_t u32Timeout = (u8 >> 1) % 4;
    const uint64_t u64Size = 2 + a_input.U16() % 4096;
    Bytes buffer(static_cast<size_t>(u64Size));
    uint64_t u64Read = 0;
    const int64_t i64Start = NowMs();
    const EOSSTS eossts =
        blString ? a_socket.ReadString(reinterpret_cast<char*>(buffer.data()), u64Size, &u64Read, u32Timeout, 0)
                 : a_socket.Read(buffer.data(), u64Size, &u64Read, u32Timeout, 0, nullptr, nullptr);
    CheckRead(eossts, u64Read, blString ? u64Size - 1 : u64Size, NowMs() - i64Start, u32Timeout,
              {OS_STS_SUCCESS, OS_STS_FAIL, OS_STS_TIMEOUT, OS_STS_SOCKET_CANCELLED, OS_STS_SOCKET_READTIMEOUT});
    if (blString) Check(buffer.back() == 0, "ReadString without its terminator");
    if (eossts == OS_STS_SUCCESS) a_expected.Take(buffer.data(), static_cast<size_t>(u64Read), "channel Read bytes");
  }
  // A write that would wait for room is cancelled before it starts: the
  // shared-memory writes wait for the reader without limit.
  void Write(CInput& a_input, COsSocket& a_socket, CExpected& a_expected) {
    const Bytes bytes = a_input.Take(1 + a_input.U16() % 8192);
    a_socket.CancelSelect();
    uint64_t u64Written = 0;
    const EOSSTS eossts = a_socket.Write(bytes.data(), bytes.size(), &u64Written, 0, 0);
    Check(OneOf(eossts, {OS_STS_SUCCESS, OS_STS_FAIL, OS_STS_SOCKET_CANCELLED}), "channel Write status", eossts);
    Check(u64Written <= bytes.size(), "channel Write count", static_cast<long>(u64Written));
    Check(eossts != OS_STS_SUCCESS || u64Written == bytes.size(), "channel Write short", static_cast<long>(u64Written));
    a_expected.Add(bytes.data(), static_cast<size_t>(u64Written));
  }

  COsSocket m_creator;
  COsSocket m_connector;
  std::string m_astrPath[2];
  CPeerFile m_apeer[2];
  COsSync m_async[2][3];
  CExpected m_aexpected[2];
};

// The message-queue pair, made once; the peer's own descriptor of the
// creating side's read queue.
class CQueuePart {
 public:
  bool Setup() {
    CPublished published;
    if (!Publish(m_creator, OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE, "", &published)) return false;
    auto name = [](const std::string& a_strPath) { return "/" + a_strPath.substr(a_strPath.rfind('/') + 1); };
    m_mqdPeer = mq_open(name(published.First()).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    m_mqdReply = mq_open(name(published.Second()).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (m_mqdPeer == static_cast<mqd_t>(-1) || m_mqdReply == static_cast<mqd_t>(-1)) return false;
    // The connecting side removes the names.
    return Connect(m_connector, published);
  }
  void Start() {
    m_expected.Clear();
    m_blCancelled = false;
  }
  // Nothing left for the next run: the rest of a message, the queues, a
  // cancel.
  void Stop() {
    Bytes buffer(2048);
    uint64_t u64Read = 0;
    while (m_sizetPending) {
      Check(m_creator.Read(buffer.data(), buffer.size(), &u64Read, 0, 0, nullptr, nullptr) == OS_STS_SUCCESS,
            "the rest of a message does not come", static_cast<long>(m_sizetPending));
      m_sizetPending -= std::min<size_t>(m_sizetPending, u64Read);
    }
    for (mqd_t mqd : {m_mqdPeer, m_mqdReply}) {
      while (mq_receive(mqd, reinterpret_cast<char*>(buffer.data()), buffer.size(), nullptr) >= 0) {
      }
    }
    if (m_blCancelled) m_creator.Read(buffer.data(), buffer.size(), &u64Read, 0, 0, nullptr, nullptr);
    m_vecLengths.clear();
  }

  void Step(CInput& a_input, uint8_t a_u8Op) {
    switch (a_u8Op % 4) {
      case 0:
      case 1: {
        const Bytes bytes = a_input.Take(a_input.U16() % 1025);
        const char cEmpty = 0;  // an empty message still needs an address
        if (mq_send(m_mqdPeer, bytes.empty() ? &cEmpty : reinterpret_cast<const char*>(bytes.data()), bytes.size(),
                    1) == 0) {
          m_expected.Add(bytes.data(), bytes.size());
          m_vecLengths.push_back(bytes.size());
        }
        break;
      }
      case 2: Read(a_input); break;
      default:
        m_creator.CancelSelect();
        m_blCancelled = true;
        break;
    }
  }

 private:
  void Read(CInput& a_input) {
    const uint64_t u64Size = 1 + a_input.U16() % 2048;
    const uint32_t u32Timeout = a_input.U8() % 3;
    Bytes buffer(static_cast<size_t>(u64Size));
    uint64_t u64Read = 0;
    const int64_t i64Start = NowMs();
    const EOSSTS eossts = m_creator.Read(buffer.data(), u64Size, &u64Read, u32Timeout, 0, nullptr, nullptr);
    CheckRead(eossts, u64Read, u64Size, NowMs() - i64Start, u32Timeout + 10,
              {OS_STS_SUCCESS, OS_STS_TIMEOUT, OS_STS_SOCKET_CANCELLED});
    if (eossts == OS_STS_SOCKET_CANCELLED) m_blCancelled = false;
    if (eossts != OS_STS_SUCCESS) return;
    m_expected.Take(buffer.data(), static_cast<size_t>(u64Read), "queue Read bytes");
    // Which message the bytes came from: the rest of one, or a new one.
    if (m_sizetPending) {
      Check(u64Read <= m_sizetPending, "queue Read past the rest of a message", static_cast<long>(u64Read));
      m_sizetPending -= static_cast<size_t>(u64Read);
    } else {
      Check(!m_vecLengths.empty() && u64Read <= m_vecLengths.front(), "queue Read of no message",
            static_cast<long>(u64Read));
      m_sizetPending = m_vecLengths.front() - static_cast<size_t>(u64Read);
      m_vecLengths.erase(m_vecLengths.begin());
    }
  }

  COsSocket m_creator;
  COsSocket m_connector;
  mqd_t m_mqdPeer = static_cast<mqd_t>(-1);
  mqd_t m_mqdReply = static_cast<mqd_t>(-1);
  CExpected m_expected;
  std::vector<size_t> m_vecLengths;
  size_t m_sizetPending = 0;
  bool m_blCancelled = false;
};

// The TCP pair, made once.
class CTcpPart {
 public:
  bool Setup() {
    CPublished published;
    return Publish(m_creator, OS_SOCKETTYPE_TCP, "0", &published) && Connect(m_connector, published) &&
           m_creator.Accept(1000, nullptr, nullptr) == OS_STS_SUCCESS;
  }
  void Start() { m_expected.Clear(); }
  void Stop() {
    Bytes buffer(65536);
    while (m_expected.Size()) Read(buffer.size(), false);
  }

  void Step(CInput& a_input, uint8_t a_u8Op) {
    switch (a_u8Op % 3) {
      case 0: {
        if (m_expected.Size() > 65536) break;
        const Bytes bytes = a_input.Take(1 + a_input.U16() % 4096);
        uint64_t u64Written = 0;
        Check(m_connector.Write(bytes.data(), bytes.size(), &u64Written, 0, 0) == OS_STS_SUCCESS &&
                  u64Written == bytes.size(),
              "TCP peer write", static_cast<long>(u64Written));
        m_expected.Add(bytes.data(), bytes.size());
        break;
      }
      default: Read(1 + a_input.U16() % 8192, a_u8Op % 3 == 2); break;
    }
  }

 private:
  // With nothing on the way the read is cancelled first: a TCP read waits
  // without limit.
  void Read(uint64_t a_u64Size, bool a_blString) {
    const bool blNothing = m_expected.Size() == 0;
    if (blNothing) m_creator.CancelSelect();
    Bytes buffer(static_cast<size_t>(a_u64Size) + 1);
    uint64_t u64Read = 0;
    const EOSSTS eossts =
        a_blString ? m_creator.ReadString(reinterpret_cast<char*>(buffer.data()), buffer.size(), &u64Read, 0, 0)
                   : m_creator.Read(buffer.data(), a_u64Size, &u64Read, 0, 0, nullptr, nullptr);
    Check(eossts == (blNothing ? OS_STS_SOCKET_CANCELLED : OS_STS_SUCCESS), "TCP Read status", eossts);
    Check(u64Read <= a_u64Size, "TCP Read count", static_cast<long>(u64Read));
    m_expected.Take(buffer.data(), static_cast<size_t>(u64Read), "TCP Read bytes");
  }

  COsSocket m_creator;
  COsSocket m_connector;
  CExpected m_expected;
};

CSharedPart* s_psharedpart = nullptr;
CQueuePart* s_pqueuepart = nullptr;
CTcpPart* s_ptcppart = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzroot::Make("fuzz");
  new COsMem(OS_MEM_METHOD_GLOBALALLOC, 1);
  std::filesystem::create_directories(Path("common"));
  s_strLogDirectory = Path("log");
  g_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY, s_strLogDirectory.c_str());
  COsSync::SetFallbackDirectory(Path("common").c_str());
  // Short waits: a pass of the channel's polls is a millisecond.
  COsSocket::SetPassTime(1);
  COsSocket::SetQueueTimeoutFloor(1);
  COsSocket::SetBusyRetry(2, 1);
  s_psharedpart = new CSharedPart;
  s_pqueuepart = new CQueuePart;
  s_ptcppart = new CTcpPart;
  if (!s_psharedpart->Setup() || !s_pqueuepart->Setup() || !s_ptcppart->Setup()) {
    std::fprintf(stderr, "fuzz_cosringbuffer: the channel pairs are not set up (see %s)\n", Path("log").c_str());
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  fuzzroot::NextRun();
  CInput input(a_pu8Data, a_sizetData);
  CRingPart ringpart;
  ringpart.Start(input);
  s_psharedpart->Start();
  s_pqueuepart->Start();
  s_ptcppart->Start();
  // The op's top bits pick the part: mostly the ring on its own.
  for (int iStep = 0; iStep < 256 && !input.Empty(); ++iStep) {
    const uint8_t u8Op = input.U8();
    switch (u8Op >> 5) {
      case 0:
      case 1:
      case 2:
      case 3: ringpart.Step(input, u8Op); break;
      case 4:
      case 5: s_psharedpart->Step(input, u8Op); break;
      case 6: s_pqueuepart->Step(input, u8Op); break;
      default: s_ptcppart->Step(input, u8Op); break;
    }
  }
  ringpart.Stop();
  s_pqueuepart->Stop();
  s_ptcppart->Stop();
  return 0;
}
