// System information of the configuration service: kernel and distribution
// texts from fixture trees, the processor against its own identification
// instruction and the kernel's online list, memory against /proc/meminfo,
// the volume, the host name, and the refusals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "log_capture.h"
#include "os_coscfg.h"
#include "os_coscfgsysteminfo.h"
#include "test_support.h"

namespace {

using testsupport::ReadFile;
using testsupport::RunPython;

std::string Fixture(const std::string& name) { return std::string(SCANDRV_TEST_DATA) + "/os/sysinfo/" + name; }

// A store whose system files come from a fixture tree ("" for the machine's).
class OsCfgInfo : public ::testing::Test {
 protected:
  void TearDown() override {
    cfg_.reset();
    log_.reset();
    OsCfgSetSystemFilePrefix(nullptr);
  }
  void Make(const std::string& prefix = "") {
    OsCfgSetSystemFilePrefix(prefix.c_str());
    cfg_ = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &version_, false, nullptr);
  }
  void CaptureLog() { log_ = std::make_unique<testsupport::LogCapture>(); }
  bool Logged(const std::string& text) {
    std::string all = log_->Text() + ReadFile(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_PMX_LOG));
    return all.find(text) != std::string::npos;
  }
  std::string Text(EOSCFGINFO id, long index = 0) {
    const char* sz = cfg_->InfoGetString(id, index);
    return sz ? sz : "(null)";
  }

  OsCfgVersion version_{"04", "03", "00", "00", "01", "02", "2024"};
  std::unique_ptr<COsCfg> cfg_;
  std::unique_ptr<testsupport::LogCapture> log_;
};

struct Release {
  const char* tree;
  int distribution;
  const char* osName;
  const char* version;
  long kernelNumber;
};

void PrintTo(const Release& release, std::ostream* os) { *os << release.tree; }

class OsCfgRelease : public OsCfgInfo, public ::testing::WithParamInterface<Release> {};

TEST_P(OsCfgRelease, KernelAndDistributionFromReleaseFiles) {
  const Release& release = GetParam();
  Make(Fixture(release.tree));
  EXPECT_EQ(Text(OS_CFGINFO_OS_NAMESTRING), release.osName);
  EXPECT_EQ(Text(OS_CFGINFO_OS_VERSIONSTRING), release.version);
  EXPECT_EQ(Text(OS_CFGINFO_OS_KERNELVERSIONSTRING), release.version);
  EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_OS_KERNELVERSIONSTRING, 0), release.kernelNumber);
  EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_OS_DISTRIBUTION, 0), release.distribution);
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_OS_DISTRIBUTION, 0), static_cast<uint64_t>(release.distribution));
  EXPECT_EQ(Text(OS_CFGINFO_OS_BUILDSTRING), "0");
  EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_OS_PLATFORM, 0), 3);
  EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_OS_WINDOWSVERSION, 0), 0);
  EXPECT_EQ(cfg_->InfoGetLong(static_cast<EOSCFGINFO>(6), 0), 0);
  // The store's OsName is the same text.
  EXPECT_EQ(std::string(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_OSNAME)), release.osName);
}

INSTANTIATE_TEST_SUITE_P(
    Trees, OsCfgRelease,
    ::testing::Values(Release{"suse", 8, "suse1104", "02063701", 2063701},
                      // The release line reads "Mandrake Linux release 10.1".
                      Release{"mandrake", 5, "mandrake1001", "02060801", 2060801},
                      // Fedora also carries a redhat-release: fedora is asked first.
                      Release{"fedora", 3, "fedora1400", "02063506", 2063506},
                      Release{"redhat", 6, "redhat0706", "03100000", 3100000},
                      Release{"centos", 6, "redhat0805", "04180005", 4180005},
                      Release{"slackware", 7, "LINUX", "02063706", 2063706},
                      Release{"debian", 2, "LINUX", "02063200", 2063200},
                      Release{"yellowdog", 10, "LINUX", "02062900", 2062900},
                      Release{"gentoo", 4, "LINUX", "06010000", 6010000},
                      Release{"ubuntu", 9, "ubuntu1004", "02063200", 2063200},
                      // An lsb-release of another distribution counts for nothing.
                      Release{"mint", 1, "LINUX", "05150000", 5150000},
                      Release{"none", 1, "LINUX", "10020300", 10020300},
                      // Empty and non-numeric parts are 0, an overflowing part too.
                      Release{"odd", 1, "LINUX", "07000000", 7000000}),
    [](const ::testing::TestParamInfo<Release>& info) { return std::string(info.param.tree); });

TEST(OsCfgKernelVersion, ReleaseTextsBecomeEightDigits) {
  const struct {
    const char* release;
    const char* version;
  } cases[] = {
      {"2.6.32-5-amd64", "02063200"}, {"3.10.0-957.el7.x86_64", "03100000"}, {"6.18.44-fc-v1300", "06184400"},
      {"5.4", "05040000"},            {"", "00000000"},                      {"2.6.32.1.7", "02063201"},
      {"123.4", "12304000"},          {"-3.1", "00010000"},
  };
  for (const auto& c : cases) {
    char version[64] = {};
    OsCfgKernelVersionFromRelease(c.release, version, sizeof version);
    EXPECT_STREQ(version, c.version) << c.release;
  }
}

// Without a prefix the release is the kernel's own (uname).
TEST_F(OsCfgInfo, KernelVersionOfTheRunningKernel) {
  Make();
  const std::string expected = RunPython(
      "import os\n"
      "parts = os.uname().release[:31].split('.')\n"
      "import re\n"
      "text = ''.join('%02d' % int((re.match(r'\\d*', p).group() or '0')) for p in parts)\n"
      "print((text + '00000000')[:8], end='')\n");
  EXPECT_EQ(Text(OS_CFGINFO_OS_VERSIONSTRING), expected);
}

// The processor's own answer to one leaf of the identification instruction
// (subleaf 0): EAX, EBX, ECX, EDX. Asked with the instruction itself, in
// this process: the library's own reader is not the judge of what it read,
// and the kernel is no judge of what a process sees (a hypervisor may show
// the kernel, in /proc/cpuinfo and through its cpuid device, another brand
// and other flags).
using Registers = std::array<uint32_t, 4>;
enum { kEax, kEbx, kEcx, kEdx };

Registers Ask(uint32_t leaf) {
  Registers r{};
  asm volatile("cpuid" : "=a"(r[kEax]), "=b"(r[kEbx]), "=c"(r[kEcx]), "=d"(r[kEdx]) : "a"(leaf), "c"(0u));
  return r;
}

// What the library takes from the processor, as the instruction's published
// description defines each field.
struct ProcessorFacts {
  std::string vendor;
  std::string brand;  // leading and trailing blanks removed
  long family = 0;
  long model = 0;
  long stepping = 0;
  long cacheKib = 0;
  std::vector<std::pair<EOSCFGINFO, bool>> flags;
};

ProcessorFacts ReadFacts() {
  ProcessorFacts facts;
  const Registers leaf0 = Ask(0);
  char vendor[13] = {};
  std::memcpy(vendor, &leaf0[kEbx], 4);
  std::memcpy(vendor + 4, &leaf0[kEdx], 4);
  std::memcpy(vendor + 8, &leaf0[kEcx], 4);
  facts.vendor = vendor;
  const Registers leaf1 = leaf0[kEax] >= 1 ? Ask(1) : Registers{};
  facts.stepping = leaf1[kEax] & 0xF;
  facts.model = (leaf1[kEax] >> 4) & 0xF;
  facts.family = (leaf1[kEax] >> 8) & 0xF;
  const uint32_t extended = Ask(0x80000000u)[kEax];
  const Registers extended1 = extended >= 0x80000001u ? Ask(0x80000001u) : Registers{};
  const struct {
    EOSCFGINFO id;
    const Registers& leaf;
    int reg;
    int bit;
  } bits[] = {
      {OS_CFGINFO_CPU_IS_FPU, leaf1, kEdx, 0},         {OS_CFGINFO_CPU_IS_MMX, leaf1, kEdx, 23},
      {OS_CFGINFO_CPU_IS_SSE, leaf1, kEdx, 25},        {OS_CFGINFO_CPU_IS_SSE2, leaf1, kEdx, 26},
      {OS_CFGINFO_CPU_IS_HYPERTHREADING, leaf1, kEdx, 28}, {OS_CFGINFO_CPU_IS_SSE3, leaf1, kEcx, 0},
      {OS_CFGINFO_CPU_IS_SSSE3, leaf1, kEcx, 9},       {OS_CFGINFO_CPU_IS_SSE41, leaf1, kEcx, 19},
      {OS_CFGINFO_CPU_IS_SSE42, leaf1, kEcx, 20},      {OS_CFGINFO_CPU_IS_POPCNT, leaf1, kEcx, 23},
      {OS_CFGINFO_CPU_IS_SSE4A, extended1, kEcx, 6},   {OS_CFGINFO_CPU_IS_3DNOW, extended1, kEdx, 31},
  };
  for (const auto& b : bits) facts.flags.emplace_back(b.id, (b.leaf[b.reg] >> b.bit) & 1u);
  if (extended >= 0x80000004u) {
    char brand[49] = {};
    for (uint32_t leaf = 0; leaf < 3; ++leaf) std::memcpy(brand + 16 * leaf, Ask(0x80000002u + leaf).data(), 16);
    facts.brand = brand;
    facts.brand.erase(0, facts.brand.find_first_not_of(' '));
    facts.brand.erase(facts.brand.find_last_not_of(' ') + 1);
  }
  if (extended >= 0x80000006u) facts.cacheKib = Ask(0x80000006u)[kEcx] >> 16;
  return facts;
}

// Keeps the test on the processor it runs on until it ends: the cache of a
// hybrid machine's cores differs, and the library and the judge must ask
// the same one.
class PinnedToThisProcessor {
 public:
  PinnedToThisProcessor() {
    sched_getaffinity(0, sizeof saved_, &saved_);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    EXPECT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  }
  ~PinnedToThisProcessor() { sched_setaffinity(0, sizeof saved_, &saved_); }

 private:
  cpu_set_t saved_{};
};

// Processors online as the kernel lists them ("0-3,6"), the source the C
// library's count reads (its older fallback, /proc/stat, where that list is
// missing).
long OnlineProcessors() {
  long count = 0;
  if (!testsupport::FileExists("/sys/devices/system/cpu/online")) {
    for (const auto& line : testsupport::Lines(ReadFile("/proc/stat"))) {
      count += line.size() > 3 && line.compare(0, 3, "cpu") == 0 && std::isdigit(static_cast<unsigned char>(line[3]));
    }
    return count;
  }
  std::istringstream ranges(ReadFile("/sys/devices/system/cpu/online"));
  for (std::string range; std::getline(ranges, range, ',');) {
    long first = 0;
    long last = 0;
    const int fields = std::sscanf(range.c_str(), "%ld-%ld", &first, &last);
    if (fields == 1) last = first;
    if (fields >= 1) count += last - first + 1;
  }
  return count;
}

// Processors online, not the ones this process may run on. A processor
// taken on or off line meanwhile makes either count right.
TEST_F(OsCfgInfo, ProcessorCountIsTheOnlineList) {
  const long before = OnlineProcessors();
  Make();
  const int64_t count = cfg_->NumberOfProcessors();
  const long after = OnlineProcessors();
  ASSERT_GT(before, 0);
  EXPECT_TRUE(count == before || count == after) << count << " of " << before << " and " << after;
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_CPU_TOTAL, 0), static_cast<uint64_t>(count));
}

// Every processor record carries processor 0's identification.
TEST_F(OsCfgInfo, ProcessorAgreesWithItsIdentification) {
  PinnedToThisProcessor pinned;
  Make();
  const ProcessorFacts facts = ReadFacts();
  const long last = static_cast<long>(cfg_->NumberOfProcessors()) - 1;
  ASSERT_GE(last, 0);
  for (long index : {0L, last}) {
    SCOPED_TRACE(index);
    for (const auto& [id, on] : facts.flags) {
      EXPECT_EQ(cfg_->InfoGetBool(id, index), on) << "flag " << id;
      EXPECT_EQ(cfg_->InfoGetLongLong(id, index), on ? 1u : 0u) << "flag " << id;
    }
    EXPECT_EQ(Text(OS_CFGINFO_CPU_VENDORSTRING, index), facts.vendor);
    // The family and model fields proper, without their extensions.
    EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_FAMILY, index), facts.family);
    EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_MODEL, index), facts.model);
    EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_STEPPING, index), facts.stepping);
    EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_CACHESIZE, index), facts.cacheKib);
    std::string brand = Text(OS_CFGINFO_CPU_MODELSTRING, index);
    brand.erase(brand.find_last_not_of(' ') + 1);
    EXPECT_EQ(brand, facts.brand);
    EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_PROCESSBITS, index), 64);
    EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_MACHINEBITS, index), 64);
    EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_LEVEL, index), 0);
  }
}

// The totals are read when the store gathers; ballooning or a swap area
// switched on meanwhile may move them, so the files are read before and
// after and the library's figure must lie between.
TEST_F(OsCfgInfo, MemoryAgreesWithMeminfo) {
  const std::string script =
      "d = {}\n"
      "for line in open('/proc/meminfo'):\n"
      "    k, v = line.split(':', 1)\n"
      "    d[k] = int(v.split()[0]) * 1024\n"
      "print(d['MemTotal'])\n"
      "print(d['SwapTotal'])\n";
  const auto before = testsupport::Lines(RunPython(script));
  Make();
  const uint64_t total = cfg_->InfoGetLongLong(OS_CFGINFO_MEM_TOTALPHYSICAL, 0);
  const uint64_t swap = cfg_->InfoGetLongLong(OS_CFGINFO_MEM_TOTALVIRTUAL, 0);
  const auto after = testsupport::Lines(RunPython(script));
  ASSERT_EQ(before.size(), 2u);
  ASSERT_EQ(after.size(), 2u);
  const auto between = [](uint64_t value, const std::string& a, const std::string& b) {
    const uint64_t low = std::min(std::stoull(a), std::stoull(b));
    const uint64_t high = std::max(std::stoull(a), std::stoull(b));
    return low <= value && value <= high;
  };
  EXPECT_TRUE(between(total, before[0], after[0])) << total << " " << before[0] << " " << after[0];
  EXPECT_TRUE(between(swap, before[1], after[1])) << swap << " " << before[1] << " " << after[1];
  const uint64_t available = cfg_->InfoGetLongLong(OS_CFGINFO_MEM_AVAILABLEPHYSICAL, 0);
  EXPECT_GT(available, 0u);
  EXPECT_LE(available, total);
  EXPECT_LE(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_LOAD, 0), 100u);
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_TOTALPAGEFILE, 0), 0u);
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_AVAILABLEPAGEFILE, 0), 0u);
}

TEST_F(OsCfgInfo, MachineFixture) {
  Make(Fixture("machine"));
  // 16384000 kB total, 4096000 kB free: 25 % free, load 75.
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_TOTALPHYSICAL, 0), 16384000ull * 1024);
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_AVAILABLEPHYSICAL, 0), 4096000ull * 1024);
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_TOTALVIRTUAL, 0), 2097152ull * 1024);
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_AVAILABLEVIRTUAL, 0), 1048576ull * 1024);
  EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_MEM_LOAD, 0), 75);
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_LOAD, 0), 75u);
  // The speed of each listed processor; processor 4096 names no record, so
  // neither it nor the speed line behind it lands anywhere.
  const int64_t count = cfg_->NumberOfProcessors();
  ASSERT_GE(count, 2);
  EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_MHZ, 0), 1200);
  EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_MHZ, 1), 3400);
  for (long i = 2; i < count; ++i) EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_MHZ, i), 0) << i;
  // The first by-uuid line mounted on "/" names the volume.
  EXPECT_EQ(Text(OS_CFGINFO_VOLUME_DEVICEID), "/");
  EXPECT_EQ(Text(OS_CFGINFO_VOLUME_SERIALNUMBER), "0f3c9a2e-5b1d-4e8a-9c7f-2d6b8e4a1c03");
}

TEST_F(OsCfgInfo, MalformedFilesLeaveSaneValues) {
  Make(Fixture("malformed"));
  // A number beyond 64 bits saturates instead of wrapping; a missing one is 0.
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_TOTALPHYSICAL, 0), UINT64_MAX);
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_AVAILABLEPHYSICAL, 0), 0u);
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_AVAILABLEVIRTUAL, 0), 0u);
  EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_MEM_LOAD, 0), 100);
  // "-1" is no number (processor 0, whose speed "abc" is 0); the overflowing
  // number selects no record and the speed behind it is dropped;
  // "processor :1" and its speed count.
  EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_MHZ, 0), 0);
  if (cfg_->NumberOfProcessors() > 1) {
    EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_MHZ, 1), 77);
  }
  // A by-uuid name shorter than an identifier ends at its blank.
  EXPECT_EQ(Text(OS_CFGINFO_VOLUME_SERIALNUMBER), "short");
}

// A total below 100 bytes would divide by zero; a free figure above the
// total would make the load wrap; a missing total must not flip the load.
TEST_F(OsCfgInfo, MemoryLoadGuards) {
  Make(Fixture("tinymemory"));
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_LOAD, 0), 0u);
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_LOAD, 0), 0u);
  OsCfgSetSystemFilePrefix(Fixture("overfull").c_str());
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_LOAD, 0), 0u);
  OsCfgSystemInfo info = {};
  info.u64TotalPhysical = 50;
  info.u64AvailablePhysical = 10;
  OsCfgSetSystemFilePrefix(testsupport::RootPath("nothing").c_str());
  OsCfgReadMemory(&info);
  EXPECT_EQ(info.u64Load, 80u);
}

// Fixture trees made in the root: a pipe in place of a file and a missing tree.
TEST_F(OsCfgInfo, PipesAndMissingFilesNeverHang) {
  const std::string tree = testsupport::RootPath("pipes");
  std::filesystem::create_directories(tree + "/proc");
  std::filesystem::create_directories(tree + "/etc");
  for (const char* name : {"/proc/meminfo", "/proc/cpuinfo", "/proc/mounts", "/etc/SuSE-release"}) {
    ASSERT_EQ(mkfifo((tree + name).c_str(), 0600), 0) << name;
  }
  Make(tree);
  EXPECT_EQ(Text(OS_CFGINFO_OS_NAMESTRING), "suse0000");
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_MEM_TOTALPHYSICAL, 0), 0u);
  EXPECT_EQ(Text(OS_CFGINFO_VOLUME_SERIALNUMBER), "");
}

TEST_F(OsCfgInfo, HostNameUpToItsFirstDot) {
  Make();
  const std::string expected = RunPython("import socket\nprint(socket.gethostname().split('.')[0], end='')\n");
  EXPECT_EQ(Text(OS_CFGINFO_NETWORK_HOSTNAME), expected);
}

TEST_F(OsCfgInfo, RefusedSelectorsAndIndexes) {
  CaptureLog();
  Make();
  const long count = static_cast<long>(cfg_->NumberOfProcessors());
  // SSSE3 is no InfoGetLong selector, but the other two answer it.
  EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_IS_SSSE3, 0), 0);
  EXPECT_TRUE(Logged("Unsupported...23"));
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_CPU_IS_SSSE3, 0) != 0, cfg_->InfoGetBool(OS_CFGINFO_CPU_IS_SSSE3, 0));
  EXPECT_EQ(cfg_->InfoGetString(OS_CFGINFO_CPU_MODELSTRING, count), nullptr);
  EXPECT_TRUE(Logged("Unsupported...32 " + std::to_string(count) + " >= " + std::to_string(count)));
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_CPU_MHZ, count + 5), 0u);
  EXPECT_TRUE(Logged("Unsupported..." + std::to_string(count + 5) + " >= " + std::to_string(count)));
  EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_CPU_MHZ, -1), 0);
  EXPECT_TRUE(Logged("Unsupported...-1 >= " + std::to_string(count)));
  EXPECT_FALSE(cfg_->InfoGetBool(OS_CFGINFO_MEM_LOAD, 0));
  EXPECT_TRUE(Logged("Unsupported...15"));
  EXPECT_EQ(cfg_->InfoGetString(OS_CFGINFO_MEM_LOAD, 0), nullptr);
  EXPECT_EQ(cfg_->InfoGetLong(OS_CFGINFO_MEM_TOTALPHYSICAL, 0), 0);
  EXPECT_TRUE(Logged("Unsupported...9"));
  EXPECT_EQ(cfg_->InfoGetLongLong(OS_CFGINFO_CPU_VENDORSTRING, 0), 0u);
  EXPECT_EQ(cfg_->InfoGetLongLong(static_cast<EOSCFGINFO>(99), 0), 0u);
  EXPECT_TRUE(Logged("Unsupported...99"));
}

}  // namespace
