// Fuzz target of the package archive and split stream readers, fed with
// files from outside (a profile a user imports, a log archive sent back):
// the input becomes an archive file that is unpacked into a destination not
// there yet, with the dump, then again over what the first pass left (so
// the first directory record replaces a tree), and read as one split
// stream. Every call that changes the file system must stay in the
// destination, the dump or the split output; what is restored must be
// readable and not executable; the archive must come out of it unchanged,
// and the root must hold nothing else afterwards.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_fileguard.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_cosfileimpl.h"

namespace {

void Check(bool a_bl) {
  if (!a_bl) __builtin_trap();
}

// Every progress record must be whole and its name terminated.
EOSSTS Progress(OsFilePackageProgress* a_p) {
  Check(a_p && a_p->u32Size == sizeof *a_p && std::memchr(a_p->szFilename, 0, sizeof a_p->szFilename));
  return OS_STS_SUCCESS;
}

// What an archive restores is readable by its owner, and no file is
// executable: records only know read-only and read-write. (A name that
// holds the configured root path gets the configured creation mask, as
// every file the service creates there does.)
void CheckModes(const std::string& a_strDir) {
  std::vector<std::string> vecFound;
  fuzzguard::Sweep(a_strDir, "", &vecFound);
  const char* szRoot = COsFileImpl::CfgText(10);  // RootPath
  for (const auto& strFound : vecFound) {
    const std::string strPath = a_strDir + "/" + strFound;
    const bool blMasked = *szRoot && strPath.find(szRoot) != std::string::npos;
    struct stat st;
    Check(lstat(strPath.c_str(), &st) == 0 && (st.st_mode & S_IRUSR) &&
          (S_ISDIR(st.st_mode) || blMasked || !(st.st_mode & 0111)));
  }
}

std::unique_ptr<COsCfg> s_poscfg;
std::string s_strLogs;  // the configuration keeps the text, not a copy

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzguard::MakeRoot();
  for (const char* sz : {"in", "logs", "outside"}) Check(mkdir(fuzzguard::Path(sz).c_str(), 0755) == 0);
  fuzzguard::WriteAll(fuzzguard::Path("outside/secret.txt"), "secret", 6);
  OsCfgVersion osCfgVersion{"01", "00", "00", "00", "01", "01", "2024"};
  s_poscfg = std::make_unique<COsCfg>("fuzz", OS_CFGENTITY_UTILITY, nullptr, &osCfgVersion, false, nullptr);
  s_strLogs = fuzzguard::Path("logs");
  s_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY, s_strLogs.c_str());
  fuzzguard::TakeBaseline();
  std::atexit([] {
    s_poscfg.reset();
    fuzzguard::Remove(fuzzguard::g_strRoot);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  const std::string strArchive = fuzzguard::Path("in/archive.pkg"), strOut = fuzzguard::Path("out");
  const std::string strDestination = strOut + "/dest", strSplit = strOut + "/split.bin";
  fuzzguard::WriteAll(strArchive, a_pu8Data, a_sizetData);
  Check(mkdir(strOut.c_str(), 0755) == 0);
  {
    fuzzguard::Scope scope({strDestination, strSplit, fuzzguard::Path("logs/ospackagedump.txt")});
    COsFile::Unpackage(strDestination.c_str(), strArchive.c_str(), false, Progress, true);
    CheckModes(strDestination);
    COsFile::Unpackage(strDestination.c_str(), strArchive.c_str(), false, nullptr, false);
    CheckModes(strDestination);
    COsFile osfile;
    if (osfile.Open(strArchive.c_str(), OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ) == OS_STS_SUCCESS) {
      uint64_t u64Written = 0;
      if (COsFileImpl::Decompress(strSplit.c_str(), &u64Written, &osfile, a_sizetData, Progress, nullptr) ==
          OS_STS_SUCCESS) {
        struct stat st;
        Check(stat(strSplit.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_size) == u64Written);
      }
    }
  }
  std::string strAfter = fuzzguard::ReadAll(strArchive);
  Check(strAfter.size() == a_sizetData && (a_sizetData == 0 || std::memcmp(strAfter.data(), a_pu8Data, a_sizetData) == 0));
  Check(fuzzguard::ReadAll(fuzzguard::Path("outside/secret.txt")) == "secret");
  fuzzguard::SweepRoot({"in/archive.pkg", "logs/ospackagedump.txt", "out/", "out/split.bin", "out/dest/*"});
  fuzzguard::Remove(strOut);
  return 0;
}
