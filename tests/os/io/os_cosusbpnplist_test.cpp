// The shared device list: the file as an independent reader sees it, the
// locks lslocks sees, entries of other processes alive or gone (forked
// children, python3 peers), a second list object of one process, the
// questions asked of the list, the change report of Poll, and files that
// peers or accidents left in a bad state.
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "../log_capture.h"
#include "../os_cosfile_testutil.h"
#include "os_cosusb_testutil.h"
#include "os_cosmem.h"
#include "os_cosusbpnplist.h"
#include "test_support.h"

using testsupport::LogCapture;
using usbtest::HeldBytes;
using usbtest::LockedStarts;
using usbtest::PnpPath;
using filetest::PythonProcess;
using usbtest::ReadPnpFile;

namespace {

constexpr long kStride = 4104;
const char kHeader[] = "<header><version>1</version><slotsize>4096</slotsize><locksize>8</locksize></header>";

// A device entry as the driver writes it.
std::string Entry(const std::string& a_model, const std::string& a_type, const std::string& a_file,
                  const std::string& a_serial = "SN1", const std::string& a_more = "") {
  return "<device><wire>usb</wire><model><![CDATA[" + a_model + "]]></model><devicefriendlyname><![CDATA[" +
         a_model + " friendly]]></devicefriendlyname><devicetype>" + a_type +
         "</devicetype><devicefilename><![CDATA[" + a_file + "]]></devicefilename><serialnumber><![CDATA[" +
         a_serial + "]]></serialnumber><directory><![CDATA[/var/log]]></directory>" + a_more + "</device>";
}

std::unique_ptr<COsUsbPnpList> NewList(const std::string& a_entry = "", COsUsbDeviceLock* a_owner = nullptr) {
  return std::make_unique<COsUsbPnpList>(a_owner, a_entry.empty() ? nullptr : a_entry.c_str(), nullptr);
}

EOSSTS Available(const std::string& a_file) { return NewList()->IsResourceAvailable(a_file.c_str()); }

// A device lock the test holds or frees at will, counting the calls.
class TestDeviceLock : public COsUsbDeviceLock {
 public:
  EOSSTS Lock(long) override {
    ++m_locks;
    return m_busy ? OS_STS_BUSY : OS_STS_SUCCESS;
  }
  EOSSTS Unlock() override {
    ++m_unlocks;
    return OS_STS_SUCCESS;
  }
  bool m_busy = false;
  int m_locks = 0;
  int m_unlocks = 0;
};

// A forked child that enters one entry and keeps it until it is killed.
class ForkedHolder {
 public:
  explicit ForkedHolder(const std::string& a_entry) {
    int fds[2];
    if (pipe(fds) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
      close(fds[0]);
      int status = 1;
      try {
        COsUsbPnpList list(nullptr, a_entry.c_str(), nullptr);
        status = 0;
        if (write(fds[1], "k", 1) != 1) _exit(2);
        pause();
      } catch (...) {
      }
      _exit(status);
    }
    close(fds[1]);
    char c = 0;
    m_ready = read(fds[0], &c, 1) == 1 && c == 'k';
    close(fds[0]);
  }
  ~ForkedHolder() { Kill(); }
  bool Ready() const { return m_ready; }
  void Kill() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

 private:
  pid_t m_pid = -1;
  bool m_ready = false;
};

// The slot holding the entry for that device file name (-1 when none).
int SlotOf(const std::vector<std::string>& a_slots, const std::string& a_file) {
  for (size_t k = 1; k < a_slots.size(); ++k) {
    if (a_slots[k].rfind("<device>", 0) == 0 && a_slots[k].find("[" + a_file + "]") != std::string::npos) {
      return static_cast<int>(k);
    }
  }
  return -1;
}

class PnpList : public ::testing::Test {
 protected:
  void SetUp() override { COsUsbPnpList::SetFileLockTimeout(2000); }
  void TearDown() override { COsUsbPnpList::SetFileLockTimeout(-1); }
  usbtest::UsbConfig m_config;
};

// ---------------------------------------------------------------------------
// The file as another reader sees it.

TEST_F(PnpList, AReaderAtTheStrideSeesTheHeaderAndTheEntriesAsFormatted) {
  const std::string first = Entry("M1", "adf", "/dev/a"), second = Entry("M2", "flatbedaccessory", "/dev/b");
  auto listFirst = NewList(first);
  auto listSecond = NewList(second);
  usbtest::PnpFile file = ReadPnpFile();
  ASSERT_EQ(file.slots.size(), 3u) << file.size;
  EXPECT_EQ(file.slots[0], kHeader);
  EXPECT_EQ(file.slots[1], first);
  EXPECT_EQ(file.slots[2], second);

  // A 5000-byte entry takes two slots at the end, though slot 1 is free.
  listFirst.reset();
  const size_t bare = Entry("M3", "adf", "/dev/c", "SN3", "<pad></pad>").size();
  const std::string large = Entry("M3", "adf", "/dev/c", "SN3", "<pad>" + std::string(5000 - bare, 'x') + "</pad>");
  ASSERT_EQ(large.size(), 5000u);
  auto listLarge = NewList(large);
  file = ReadPnpFile();
  ASSERT_EQ(file.slots.size(), 5u);
  EXPECT_EQ(file.slots[1], "");
  EXPECT_EQ(file.slots[3].size(), 4096u);
  EXPECT_EQ(file.slots[3] + file.slots[4], large);
  EXPECT_EQ(LockedStarts(PnpPath()), (std::set<long>{2 * kStride, 3 * kStride, 4 * kStride}));
  // Its reader sees it whole.
  EXPECT_EQ(Available("/dev/c"), OS_STS_SUCCESS);

  // The next one-slot entry takes the free slot 1.
  auto listThird = NewList(Entry("M4", "adf", "/dev/d"));
  EXPECT_EQ(SlotOf(ReadPnpFile().slots, "/dev/d"), 1);
}

// Free slots in the middle take an entry as long as they are, one of two
// slots too; an entry that goes cuts the slots behind the last live one off.
TEST_F(PnpList, FreeSlotsAreReusedAndTheTailCutOff) {
  auto listA = NewList(Entry("MA", "adf", "/dev/a"));
  auto listB = NewList(Entry("MB", "adf", "/dev/b"));
  auto listC = NewList(Entry("MC", "adf", "/dev/c"));
  listA.reset();
  listB.reset();
  EXPECT_EQ(ReadPnpFile().slots.size(), 4u);  // slot 3 is live
  const size_t bare = Entry("ML", "adf", "/dev/l", "SNL", "<pad></pad>").size();
  const std::string large = Entry("ML", "adf", "/dev/l", "SNL", "<pad>" + std::string(5000 - bare, 'x') + "</pad>");
  auto listLarge = NewList(large);
  usbtest::PnpFile file = ReadPnpFile();
  ASSERT_EQ(file.slots.size(), 4u);
  EXPECT_EQ(file.slots[1] + file.slots[2], large);
  EXPECT_EQ(SlotOf(file.slots, "/dev/c"), 3);
  listC.reset();
  file = ReadPnpFile();
  EXPECT_EQ(file.slots.size(), 3u);
  EXPECT_EQ(file.size, 3 * kStride);
  listLarge.reset();
  EXPECT_EQ(ReadPnpFile().slots, std::vector<std::string>{kHeader});
}

// An entry that fills its last slot exactly still gets its terminator, so
// that no reader runs on into the next entry.
TEST_F(PnpList, AnEntryOfExactlyOneSlotGetsASecondForItsTerminator) {
  const size_t bare = Entry("M1", "adf", "/dev/a", "SN1", "<pad></pad>").size();
  const std::string exact = Entry("M1", "adf", "/dev/a", "SN1", "<pad>" + std::string(4096 - bare, 'x') + "</pad>");
  ASSERT_EQ(exact.size(), 4096u);
  auto list = NewList(exact);
  usbtest::PnpFile file = ReadPnpFile();
  ASSERT_EQ(file.slots.size(), 3u);
  EXPECT_EQ(file.slots[1] + file.slots[2], exact);
  auto other = NewList(Entry("M2", "adf", "/dev/b"));
  EXPECT_EQ(Available("/dev/a"), OS_STS_SUCCESS);
  EXPECT_EQ(Available("/dev/b"), OS_STS_SUCCESS);
}

// ---------------------------------------------------------------------------
// Liveness between processes.

TEST_F(PnpList, EntriesOfProcessesThatAreGoneAreBlankedAndTheirSlotReused) {
  ForkedHolder holderA(Entry("MA", "adf", "/dev/a")), holderB(Entry("MB", "adf", "/dev/b"));
  ASSERT_TRUE(holderA.Ready() && holderB.Ready());
  std::vector<std::string> slots = ReadPnpFile().slots;
  const int slotA = SlotOf(slots, "/dev/a"), slotB = SlotOf(slots, "/dev/b");
  ASSERT_GT(slotA, 0);
  ASSERT_GT(slotB, 0);
  EXPECT_EQ(LockedStarts(PnpPath()), (std::set<long>{slotA * kStride, slotB * kStride}));
  EXPECT_EQ(Available("/dev/a"), OS_STS_SUCCESS);

  holderA.Kill();
  EXPECT_EQ(LockedStarts(PnpPath()), (std::set<long>{slotB * kStride}));
  // The survivor's reader no longer lists it; the file still holds its text.
  EXPECT_EQ(Available("/dev/a"), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(Available("/dev/b"), OS_STS_SUCCESS);
  EXPECT_EQ(SlotOf(ReadPnpFile().slots, "/dev/a"), slotA);

  auto list = NewList(Entry("MC", "adf", "/dev/c"));
  slots = ReadPnpFile().slots;
  EXPECT_EQ(SlotOf(slots, "/dev/c"), slotA);
  EXPECT_EQ(slots.size(), 3u);
}

// Several processes enter and take out entries (of one slot and of two)
// thousands of times, and some are killed on the way, mid-entry or not:
// dead entries are reused and the slots behind the last live one cut off,
// so the file keeps to the live entries; and no read, however fresh its
// list object, logs more than debug lines. The file is judged by an
// independent reader, the log by its level letters.
TEST_F(PnpList, ManyProcessesComingAndGoingKeepTheFileToTheLiveEntries) {
  COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 1);
  LogCapture log(0);
  constexpr int kWorkers = 4;
  constexpr long kCycles = 10000;
  auto* pcounter = static_cast<std::atomic<long>*>(
      mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(pcounter, MAP_FAILED);
  new (pcounter) std::atomic<long>(0);
  const std::string large = Entry("ML", "adf", "/dev/large", "SNL", "<pad>" + std::string(5000, 'x') + "</pad>");
  auto startWorker = [&](int a_iWorker) {
    pid_t pid = fork();
    if (pid == 0) {
      const std::string small = Entry("M" + std::to_string(a_iWorker), "adf", "/dev/w" + std::to_string(a_iWorker));
      while (pcounter->fetch_add(1) < kCycles) {
        try {
          COsUsbPnpList list(nullptr, pcounter->load() % 3 == 0 ? large.c_str() : small.c_str(), nullptr);
          list.IsResourceAvailable("/dev/none");
        } catch (const OsUsbPnpListFailure&) {
          _exit(3);
        }
      }
      _exit(0);
    }
    return pid;
  };
  std::vector<pid_t> vecWorkers;
  for (int i = 0; i < kWorkers; ++i) vecWorkers.push_back(startWorker(i));
  // Kill one worker now and then (it may hold an entry or the file's lock)
  // and start another in its place; watch how far the file grows.
  long lMostSlots = 0, lKills = 0;
  for (int iRound = 0; pcounter->load() < kCycles; ++iRound) {
    struct stat st {};
    if (stat(PnpPath().c_str(), &st) == 0) lMostSlots = std::max<long>(lMostSlots, st.st_size / 4097);
    usleep(5000);
    if (iRound % 4 != 3) continue;
    const int iVictim = iRound / 4 % kWorkers;
    kill(vecWorkers[iVictim], SIGKILL);
    waitpid(vecWorkers[iVictim], nullptr, 0);
    vecWorkers[iVictim] = startWorker(iVictim);
    ++lKills;
  }
  for (pid_t pid : vecWorkers) {
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  munmap(pcounter, sizeof(std::atomic<long>));
  EXPECT_GT(lKills, 3);
  // Live entries: none of the workers'; ours of two slots.
  auto list = NewList(large);
  usbtest::PnpFile file = ReadPnpFile();
  EXPECT_LE(file.slots.size(), 1u + 2 + 2) << file.size;
  EXPECT_EQ(LockedStarts(PnpPath()).size(), 2u);
  EXPECT_LE(lMostSlots, 1 + 2 * kWorkers + 4);
  list.reset();
  EXPECT_EQ(ReadPnpFile().slots, std::vector<std::string>{kHeader});
  // Nothing above debug level: no line marked E (error) or A (assert).
  const std::string strLevels = testsupport::RunPython(
      "import os, sys\n"
      "text = open(sys.argv[1], encoding='latin-1').read() if os.path.exists(sys.argv[1]) else ''\n"
      "print(sum(1 for l in text.splitlines() if ' VE ' in l or ' VA ' in l))\n",
      {testsupport::RootPath("log/test.log")});
  EXPECT_EQ(strLevels, "0\n") << log.Text().substr(0, 2000);
}

// A peer that is no driver at all: python3 enters its entry by the file's
// rules and keeps the lock of its slot with fcntl.lockf.
TEST_F(PnpList, APythonPeerHoldingItsSlotByteKeepsItsEntryAlive) {
  NewList();  // the file with its header
  static const char* const s_szPeer = R"(
import fcntl, os, sys
fd = os.open(sys.argv[1], os.O_RDWR)
fcntl.lockf(fd, fcntl.LOCK_EX, 1, 0)
size = os.fstat(fd).st_size
slot = size // 4097
os.ftruncate(fd, (slot + 1) * 4097)
fcntl.lockf(fd, fcntl.LOCK_EX | fcntl.LOCK_NB, 1, slot * 4104)
entry = sys.argv[2].encode()
os.pwrite(fd, entry + b"\0" * (4096 - len(entry)), slot * 4104 + 8)
fcntl.lockf(fd, fcntl.LOCK_UN, 1, 0)
print(slot, flush=True)
sys.stdin.read()
)";
  PythonProcess peer(s_szPeer, {PnpPath(), Entry("MP", "adf", "/dev/p", "SNP", "<resourcedevicefilename>/dev/q"
                                                                             "</resourcedevicefilename>")});
  ASSERT_EQ(peer.ReadLine(), "1");
  auto listQ = NewList(Entry("MQ", "adf", "/dev/q"));
  EXPECT_EQ(Available("/dev/p"), OS_STS_SUCCESS);
  // The peer names /dev/q its resource device: busy while it lives.
  EXPECT_EQ(Available("/dev/q"), OS_STS_BUSY);
  peer.Finish();
  EXPECT_EQ(Available("/dev/p"), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(Available("/dev/q"), OS_STS_SUCCESS);
}

// The service makes a fresh list object per question: it must leave the
// session's own entry and slot lock alone, so other processes still see the
// entry live and never write over it.
TEST_F(PnpList, ASecondListObjectOfOneProcessLeavesTheFirstOnesEntryIntact) {
  auto own = NewList(Entry("MO", "adf", "/dev/own"));
  for (int i = 0; i < 3; ++i) {
    auto question = NewList();
    EXPECT_EQ(question->IsResourceAvailable("/dev/own"), OS_STS_SUCCESS);
  }
  EXPECT_EQ(LockedStarts(PnpPath()), (std::set<long>{kStride}));
  ForkedHolder other(Entry("MX", "adf", "/dev/other"));
  ASSERT_TRUE(other.Ready());
  std::vector<std::string> slots = ReadPnpFile().slots;
  EXPECT_EQ(SlotOf(slots, "/dev/own"), 1);
  EXPECT_EQ(SlotOf(slots, "/dev/other"), 2);
  pid_t pid = fork();
  if (pid == 0) _exit(Available("/dev/own") == OS_STS_SUCCESS ? 0 : 1);
  int status = -1;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process lost the entry";
}

// ---------------------------------------------------------------------------
// Questions.

TEST_F(PnpList, QuestionsAnsweredFromTheList) {
  auto a = NewList(Entry("MA", "adf", "/dev/a", "SERIAL-A"));
  auto b = NewList(Entry("MB", "flatbedaccessory", "/dev/b", "SERIAL-B",
                         "<resourcedevicefilename>/dev/c</resourcedevicefilename>"));
  auto c = NewList(Entry("MC", "adf", "/dev/c", "SERIAL-C"));
  struct Case {
    const char* file;
    EOSSTS expected;
  } cases[] = {{"/dev/a", OS_STS_SUCCESS}, {"/dev/b", OS_STS_SUCCESS}, {"/dev/c", OS_STS_BUSY},
               {"/dev/none", OS_STS_FILE_NOT_FOUND}, {"", OS_STS_FILE_NOT_FOUND}};
  for (const Case& k : cases) EXPECT_EQ(Available(k.file), k.expected) << k.file;

  auto reader = NewList();
  char serials[64];
  ASSERT_EQ(reader->PnpGetSerialNumbers(serials, sizeof serials), OS_STS_SUCCESS);
  EXPECT_EQ(std::string(serials, 27), std::string("SERIAL-A\0SERIAL-B\0SERIAL-C\0", 27));
  EXPECT_EQ(serials[27], '\0');
  char small[12];
  EXPECT_EQ(reader->PnpGetSerialNumbers(small, sizeof small), OS_STS_NOROOM_BUFFER);
  EXPECT_EQ(std::string(small, 10), std::string("SERIAL-A\0\0", 10));
}

TEST_F(PnpList, FindMatchesWireIdsAndSerialNumber) {
  auto peer = NewList(Entry("MN", "adf", "/dev/n", "SN9", "<vid>0x040a</vid><pid>601d</pid>"));
  auto driver = NewList(Entry("MD", "adf", "/dev/d", "SN9"));
  struct Case {
    uint32_t wire;
    uint16_t vid, pid;
    const char* serial;
    EOSSTS expected;
  } cases[] = {{OS_USBWIRE_USB, 0x040a, 0x601d, "SN9", OS_STS_SUCCESS},
               {OS_USBWIRE_NET, 0x040a, 0x601d, "SN9", OS_STS_FILE_NOT_FOUND},
               {OS_USBWIRE_USB, 0x040a, 0x601e, "SN9", OS_STS_FILE_NOT_FOUND},
               {OS_USBWIRE_USB, 0x040a, 0x601d, "SN8", OS_STS_FILE_NOT_FOUND},
               // Entries without ids never match.
               {OS_USBWIRE_USB, 0, 0, "SN9", OS_STS_FILE_NOT_FOUND}};
  auto reader = NewList();
  for (const Case& k : cases) {
    OsUsbInfo query{}, result{};
    query.eosusbwire = k.wire;
    query.u16Vid = k.vid;
    query.u16Pid = k.pid;
    std::strcpy(query.szSerialNumber, k.serial);
    EXPECT_EQ(reader->Find(&result, &query), k.expected) << k.vid << ":" << k.pid << " " << k.serial;
    EXPECT_EQ(result.blFound, k.expected == OS_STS_SUCCESS);
    if (k.expected == OS_STS_SUCCESS) {
      EXPECT_EQ(result.u16Pid, k.pid);
    }
  }
}

// ---------------------------------------------------------------------------
// Poll: flatbed units that came and went, once each.

TEST_F(PnpList, PollReportsAFlatbedAddedThenRemovedOnceEach) {
  TestDeviceLock devicelock;
  auto poller = NewList("", &devicelock);
  char report[8192];
  auto poll = [&] {
    EXPECT_EQ(poller->Poll(report, sizeof report), OS_STS_SUCCESS);
    return std::string(report);
  };
  EXPECT_EQ(poll(), "");

  // A feeder unit coming and going is no change worth a report.
  auto feeder = NewList(Entry("MA", "adf", "/dev/a"));
  EXPECT_EQ(poll(), "");
  const std::string flatbed = Entry("MF", "flatbedaccessory", "/dev/f");
  auto flatbedList = NewList(flatbed);
  const std::string inner = flatbed.substr(8, flatbed.size() - 8 - 9);
  EXPECT_EQ(poll(), "<pnpchange>\n<device><pnp>added</pnp><resource>" + inner + "</resource></device></pnpchange>");
  EXPECT_EQ(poll(), "");
  feeder.reset();
  EXPECT_EQ(poll(), "");

  // While the device lock is busy the change waits for a later poll.
  flatbedList.reset();
  devicelock.m_busy = true;
  EXPECT_EQ(poll(), "");
  devicelock.m_busy = false;
  EXPECT_EQ(poll(), "<pnpchange>\n<device><pnp>removed</pnp><resource>" + inner + "</resource></device></pnpchange>");
  EXPECT_EQ(poll(), "");
  EXPECT_EQ(devicelock.m_locks - 1, devicelock.m_unlocks) << "one refused lock is not released";

  EXPECT_EQ(poller->Poll(nullptr, 10), OS_STS_FAIL);
  EXPECT_EQ(poller->Poll(report, 0), OS_STS_FAIL);
}

// A report that names an entry needs its model and device file name; one
// lacking them is logged and left out; a buffer too small gets nothing.
TEST_F(PnpList, PollSkipsEntriesWithoutModelAndRefusesASmallBuffer) {
  LogCapture log;
  auto poller = NewList();
  char report[8192];
  auto broken = NewList("<device><devicetype>flatbedintegrated</devicetype><model>MX</model></device>");
  auto flatbed = NewList(Entry("MF", "flatbedintegrated", "/dev/f"));
  ASSERT_EQ(poller->Poll(report, sizeof report), OS_STS_SUCCESS);
  EXPECT_NE(std::string(report).find("/dev/f"), std::string::npos);
  EXPECT_EQ(std::string(report).find("MX"), std::string::npos);
  EXPECT_TRUE(log.Contains("missing model...<<device><devicetype>flatbedintegrated"));
  flatbed.reset();
  char tiny[16] = "x";
  EXPECT_EQ(poller->Poll(tiny, sizeof tiny), OS_STS_NOROOM_BUFFER);
  EXPECT_STREQ(tiny, "");
}

// ---------------------------------------------------------------------------
// Files in a bad state.

struct BadFileCase {
  const char* name;
  std::string content;  // written as the file before the list opens it
  const char* log;      // the line logged; null when the list opens fine
  off_t size = 0;       // the size the file is then given (sparse), when not 0
};
void PrintTo(const BadFileCase& a_case, std::ostream* a_os) { *a_os << a_case.name; }

std::string HeaderFile(const std::string& a_header, size_t a_size = 4097) {
  std::string file(a_size, '\0');
  file.replace(8, a_header.size(), a_header);
  return file;
}

class PnpListBadFile : public PnpList, public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(PnpListBadFile, ConstructionFailsWithALogLineOrCopes) {
  LogCapture log;
  testsupport::WriteFile(PnpPath(), GetParam().content);
  if (GetParam().size) {
    ASSERT_EQ(truncate(PnpPath().c_str(), GetParam().size), 0);
  }
  std::unique_ptr<COsUsbPnpList> list;
  try {
    list = NewList(Entry("MA", "adf", "/dev/a"));
  } catch (const OsUsbPnpListFailure& failure) {
    EXPECT_NE(failure.eossts, OS_STS_SUCCESS);
  }
  if (GetParam().log) {
    EXPECT_FALSE(list);
    EXPECT_TRUE(log.Contains(GetParam().log)) << log.Text();
    return;
  }
  ASSERT_TRUE(list);
  EXPECT_EQ(Available("/dev/a"), OS_STS_SUCCESS);
  EXPECT_EQ(ReadPnpFile().slots[0].substr(0, 8), "<header>");
}

INSTANTIATE_TEST_SUITE_P(
    Files, PnpListBadFile,
    ::testing::Values(
        BadFileCase{"SlotSize100", HeaderFile("<header><version>1</version><slotsize>100</slotsize><locksize>8</locksize></header>"),
                    "Bad slotsize...<<header>"},
        BadFileCase{"SlotSizeAbsurd",
                    HeaderFile("<header><version>1</version><slotsize>99999999999</slotsize><locksize>8</locksize></header>"),
                    "Bad slotsize..."},
        BadFileCase{"LockSize4", HeaderFile("<header><version>1</version><slotsize>4096</slotsize><locksize>4</locksize></header>"),
                    "Bad locksize..."},
        BadFileCase{"Version0", HeaderFile("<header><version>0</version><slotsize>4096</slotsize><locksize>8</locksize></header>"),
                    "Bad version..."},
        // Text too far behind the lock bytes to be the header.
        BadFileCase{"NoHeader", std::string(8 + 300, '\0') + kHeader + std::string(4000, '\0'),
                    "Can't find the header..."},
        // Blank where the header belongs, as a creator killed between sizing
        // the file and writing the header left it: taken as new.
        BadFileCase{"BlankOneSlot", std::string(4097, '\0'), nullptr},
        BadFileCase{"BlankSlots", std::string(5000, '\0'), nullptr},
        // Far more slots than live entries could ever need: refused before
        // anything is read into memory.
        BadFileCase{"SparseTerabyte", HeaderFile(kHeader), "Too many slots...<268369935>", off_t{1} << 40},
        BadFileCase{"Empty", "", nullptr},
        // Cut inside slot 1: the missing bytes read as zeros.
        BadFileCase{"CutInsideASlot", HeaderFile(kHeader, 4097) + std::string(4000, '\0'), nullptr},
        // Cut inside slot 0 behind its header (or written that short by a
        // peer): slot 0 stays the header's, the entry goes to slot 1.
        BadFileCase{"CutInsideTheHeaderSlot", HeaderFile(kHeader, 8 + sizeof kHeader), nullptr}),
    [](const auto& a_info) { return a_info.param.name; });

// A file cut to nothing under a list that has read it: its next entry
// brings the header back first instead of taking the header's slot.
TEST_F(PnpList, AFileCutToNothingGetsItsHeaderBackBeforeTheNextEntry) {
  auto list = NewList();
  ASSERT_EQ(truncate(PnpPath().c_str(), 0), 0);
  ASSERT_EQ(list->Add(Entry("MA", "adf", "/dev/a").c_str()), OS_STS_SUCCESS);
  usbtest::PnpFile file = ReadPnpFile();
  ASSERT_EQ(file.slots.size(), 2u) << file.size;
  EXPECT_EQ(file.slots[0], kHeader);
  EXPECT_EQ(SlotOf(file.slots, "/dev/a"), 1);
  EXPECT_EQ(Available("/dev/a"), OS_STS_SUCCESS);
}

// A live entry that fills its slot without a terminator and is the last
// one: reading it stops at the end of the copy.
TEST_F(PnpList, ALiveSlotWithoutTerminatorIsReadToItsEnd) {
  std::string text = Entry("MZ", "adf", "/dev/z");
  text += std::string(4096 - text.size(), ' ');
  testsupport::WriteFile(PnpPath(), HeaderFile(kHeader) + std::string(kStride + 8 - 4097, '\0') + text);
  HeldBytes held(PnpPath(), kStride, 1);
  ASSERT_TRUE(held.Locked());
  EXPECT_EQ(Available("/dev/z"), OS_STS_SUCCESS);
}

// Slots lie at the 4104-byte stride but are counted by 4097 bytes: past
// about 585 slots the last counted slots lie partly or wholly beyond the
// end of the file. They read as empty there, the list goes on working, and
// growing the file keeps every written slot whole.
TEST_F(PnpList, GrowingAFileOfManySlotsKeepsTheLastSlotWhole) {
  constexpr long kSlots = 600;
  // Long enough to reach beyond 600 x 4097 bytes.
  const size_t bare = Entry("ML", "adf", "/dev/last", "SN1", "<pad></pad>").size();
  const std::string last = Entry("ML", "adf", "/dev/last", "SN1", "<pad>" + std::string(4090 - bare, 'x') + "</pad>");
  std::string content = HeaderFile(kHeader, kSlots * kStride);
  content.replace((kSlots - 1) * kStride + 8, last.size(), last);
  testsupport::WriteFile(PnpPath(), content);
  // Every slot's lock byte is held (600 counted, the last beyond the end),
  // so the new entry must be appended.
  HeldBytes held(PnpPath(), kStride, 600 * kStride);
  ASSERT_TRUE(held.Locked());
  auto list = NewList(Entry("MN", "adf", "/dev/new"));
  usbtest::PnpFile file = ReadPnpFile();
  EXPECT_GE(file.size, 602 * kStride);
  ASSERT_GE(file.slots.size(), 602u);
  EXPECT_EQ(file.slots[kSlots - 1], last);
  EXPECT_EQ(file.slots[600], "");  // the slot that lay beyond the end
  EXPECT_EQ(SlotOf(file.slots, "/dev/new"), 601);
  EXPECT_EQ(Available("/dev/last"), OS_STS_SUCCESS);
  EXPECT_EQ(Available("/dev/new"), OS_STS_SUCCESS);
}

// A peer holds slot 2 and has written its entry there, but the file ends
// before the slot count (size over 4097) reaches it. Entering an entry trims
// the file behind the last live slot: the peer's bytes must survive.
TEST_F(PnpList, TrimmingKeepsAHeldSlotThatTheCountDoesNotReach) {
  const std::string one = Entry("M1", "adf", "/dev/one"), two = Entry("M2", "adf", "/dev/two");
  std::string content = HeaderFile(kHeader, 2 * kStride + 8);
  content.replace(kStride + 8, one.size(), one);
  content += two;
  testsupport::WriteFile(PnpPath(), content);
  ASSERT_LT(content.size(), 3 * 4097u);
  HeldBytes held1(PnpPath(), kStride, 1), held2(PnpPath(), 2 * kStride, 1);
  ASSERT_TRUE(held1.Locked() && held2.Locked());
  try {
    NewList(Entry("MN", "adf", "/dev/new"));
  } catch (const OsUsbPnpListFailure&) {
    // Appending at the held slot is refused; what matters is the peer's entry.
  }
  const std::string after = testsupport::ReadFile(PnpPath());
  ASSERT_GE(after.size(), content.size());
  EXPECT_EQ(after.substr(2 * kStride + 8, two.size()), two);
  EXPECT_EQ(after.substr(kStride + 8, one.size()), one);
}

// A file at the most slots the list reads, every one held by a live peer:
// a further entry is refused before the file grows, so that the file stays
// readable and the peers' entries listed.
TEST_F(PnpList, AnEntryThatWouldGrowTheFileBeyondWhatIsReadIsRefused) {
  LogCapture log;
  constexpr long kSlotSize = 1048576, kSlots = 64;
  const std::string header = "<header><version>1</version><slotsize>1048576</slotsize><locksize>8</locksize></header>";
  std::string content = HeaderFile(header);
  const std::string peer = Entry("MP", "adf", "/dev/peer");
  content.resize(kSlotSize + 8 + 8, '\0');
  content += peer;
  testsupport::WriteFile(PnpPath(), content);
  ASSERT_EQ(truncate(PnpPath().c_str(), kSlots * (kSlotSize + 1)), 0);
  HeldBytes held(PnpPath(), kSlotSize + 8, kSlots * (kSlotSize + 8));
  ASSERT_TRUE(held.Locked());
  EXPECT_THROW(NewList(Entry("MA", "adf", "/dev/a")), OsUsbPnpListFailure);
  EXPECT_TRUE(log.Contains("Too many slots...<65>")) << log.Text();
  struct stat st {};
  ASSERT_EQ(stat(PnpPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_size, kSlots * (kSlotSize + 1));
  EXPECT_EQ(Available("/dev/peer"), OS_STS_SUCCESS);
}

// The file lock is waited for up to its time-out, then construction fails.
TEST_F(PnpList, AFileLockHeldElsewhereTimesOut) {
  LogCapture log;
  NewList();
  COsUsbPnpList::SetFileLockTimeout(300);
  HeldBytes held(PnpPath(), 0, 1);
  ASSERT_TRUE(held.Locked());
  EXPECT_THROW(NewList(Entry("MA", "adf", "/dev/a")), OsUsbPnpListFailure);
  EXPECT_TRUE(log.Contains("Lock failed..."));
}

}  // namespace
