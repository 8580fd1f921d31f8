// Fuzz target of the table and firmware package: its files come from
// outside (a download, a disc), and so may its scripts. The first byte
// chooses what the rest is:
// - even: a package, written as [version][K][K headers of 264 bytes][data]
//   with the header table filled up with empty headers, so that a whole
//   package fits in a few kilobytes (K above 128: the rest is the file as
//   it is);
// - odd: a script, read beside two data files it may name, then packed and
//   read back as a package.
// A package that opens is walked whole: every field of every file, the
// data at its offset, the packets of each destination to the end of their
// pass, and Unpack, whose writes must stay in the package's directory and
// never touch the package itself, which must come out unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_fileguard.h"
#include "pg_cpackage.h"

namespace {

void Check(bool a_bl) {
  if (!a_bl) __builtin_trap();
}

constexpr size_t s_sizetTable = CPackage::s_sizetHeaders * CPackage::s_sizetHeader;

// Every field of the current file and of the package, into buffers of
// exact size (so an overrun is caught) both tiny and ample.
void GetFields(CPackage& a_cpackage) {
  for (int iField = 0; iField <= PG_FIELD_PACKAGEVERSION + 1; ++iField) {
    for (size_t sizet : {size_t{1}, size_t{7}, size_t{300}}) {
      std::vector<char> vec(sizet);
      if (a_cpackage.Get(static_cast<EPGFIELD>(iField), vec.data(), vec.size()) == PG_SUCCESS &&
          iField != PG_FIELD_DATA && iField != PG_FIELD_MODELDATA) {
        Check(std::memchr(vec.data(), 0, vec.size()) != nullptr);
      }
    }
  }
}

// The data of the current file as Get hands it out, against the file.
void CheckData(CPackage& a_cpackage, const std::string& a_strPackage, uint32_t a_u32File) {
  char szSize[32] = {};
  if (a_cpackage.Get(PG_FIELD_SIZE, szSize, sizeof szSize) != PG_SUCCESS) return;  // a package of no files
  size_t sizetSize = std::strtoull(szSize, nullptr, 10);
  std::vector<char> vec(sizetSize + 1);
  if (a_cpackage.Get(PG_FIELD_DATA, vec.data(), vec.size()) != PG_SUCCESS) return;
  uint64_t u64Offset = 0;
  std::memcpy(&u64Offset, a_strPackage.data() + 1 + a_u32File * CPackage::s_sizetHeader + 72, 8);
  Check(u64Offset <= a_strPackage.size() && sizetSize <= a_strPackage.size() - u64Offset &&
        a_strPackage.compare(u64Offset, sizetSize, vec.data(), sizetSize) == 0);
}

// The data of a destination's files one after the other, as the package
// (already checked by OpenPackage) holds them.
std::string DataOf(const std::string& a_strPackage, uint32_t a_u32Destination) {
  std::string strData;
  for (uint32_t u32File = 1; u32File < CPackage::s_sizetHeaders; ++u32File) {
    const char* pcHeader = a_strPackage.data() + 1 + u32File * CPackage::s_sizetHeader;
    if (!pcHeader[0]) break;
    uint32_t u32Destination = 0;
    uint64_t u64Offset = 0, u64Size = 0;
    std::memcpy(&u32Destination, pcHeader + 68, 4);
    std::memcpy(&u64Offset, pcHeader + 72, 8);
    std::memcpy(&u64Size, pcHeader + 80, 8);
    if (u32Destination == a_u32Destination) strData += a_strPackage.substr(u64Offset, u64Size);
  }
  return strData;
}

// One pass over the files of a destination: the pieces fit the buffer and
// are the files' data in order, the percentage only grows, and the pass
// ends with all of it handed out.
void Packets(CPackage& a_cpackage, const std::string& a_strPackage, EPGDESTINATION a_epgdestination,
             size_t a_sizetBuffer) {
  const std::string strExpected = DataOf(a_strPackage, a_epgdestination);
  std::vector<char> vec(a_sizetBuffer);
  size_t sizetDone = 0;
  int iPercentBefore = 0;
  // Each call hands out a byte at least, but at the ends of files.
  const size_t sizetMostCalls = strExpected.size() + 2 * CPackage::s_sizetHeaders + 16;
  for (size_t sizetCall = 0;; ++sizetCall) {
    Check(sizetCall < sizetMostCalls);
    size_t sizetRead = 0;
    int iPercent = -1;
    bool blEndOfFile = false;
    if (a_cpackage.GetPacket(vec.data(), vec.size(), &sizetRead, &iPercent, &blEndOfFile, a_epgdestination) !=
        PG_SUCCESS) {
      return;
    }
    Check(sizetRead <= vec.size() && sizetRead <= strExpected.size() - sizetDone &&
          strExpected.compare(sizetDone, sizetRead, vec.data(), sizetRead) == 0);
    sizetDone += sizetRead;
    Check(iPercent >= iPercentBefore && iPercent <= 100);
    iPercentBefore = iPercent;
    if (iPercent == 100) {
      Check(sizetDone == strExpected.size());
      return;
    }
  }
}

// A package that is open: everything it hands out, then Unpack.
void Walk(CPackage& a_cpackage, const std::string& a_strPackage, size_t a_sizetBuffer) {
  const std::string strBefore = fuzzguard::ReadAll(a_strPackage);
  {
    fuzzguard::Scope scope({fuzzguard::Path("pkg")}, {a_strPackage});
    GetFields(a_cpackage);
    a_cpackage.FileFirst();
    for (uint32_t u32File = 1;; ++u32File) {
      Check(u32File < CPackage::s_sizetHeaders);
      GetFields(a_cpackage);
      CheckData(a_cpackage, strBefore, u32File);
      if (a_cpackage.FileNext() != PG_SUCCESS) break;
    }
    for (EPGDESTINATION epgdestination : {PG_DESTINATION_NEXIL, PG_DESTINATION_NONE, PG_DESTINATION_SCANNER,
                                          static_cast<EPGDESTINATION>(0)}) {
      Packets(a_cpackage, strBefore, epgdestination, a_sizetBuffer);
    }
    // A pass cancelled half way, then one to the end.
    size_t sizetRead = 0;
    int iPercent = 0;
    bool blEndOfFile = false;
    char ac[1];
    a_cpackage.GetPacket(ac, sizeof ac, &sizetRead, &iPercent, &blEndOfFile, PG_DESTINATION_SCANNER);
    a_cpackage.GetPacket(ac, 0, &sizetRead, &iPercent, &blEndOfFile, PG_DESTINATION_SCANNER);
    Packets(a_cpackage, strBefore, PG_DESTINATION_SCANNER, a_sizetBuffer);
    a_cpackage.Unpack();
  }
  Check(fuzzguard::ReadAll(a_strPackage) == strBefore);
}

// [version][K][K headers][data], the table filled up with empty headers.
std::string PackageOf(const uint8_t* a_pu8, size_t a_sizet) {
  if (a_sizet < 2 || a_pu8[1] > CPackage::s_sizetHeaders) return std::string(a_pu8, a_pu8 + a_sizet);
  size_t sizetHeaders = a_pu8[1] * CPackage::s_sizetHeader;
  if (sizetHeaders > a_sizet - 2) sizetHeaders = a_sizet - 2;
  std::string strPackage(1, static_cast<char>(a_pu8[0]));
  strPackage.append(a_pu8 + 2, a_pu8 + 2 + sizetHeaders);
  strPackage.resize(1 + s_sizetTable, '\0');
  strPackage.append(a_pu8 + 2 + sizetHeaders, a_pu8 + a_sizet);
  return strPackage;
}

void Package(const uint8_t* a_pu8, size_t a_sizet, size_t a_sizetBuffer) {
  const std::string strPackage = fuzzguard::Path("pkg/in.qvpgct"), strData = PackageOf(a_pu8, a_sizet);
  fuzzguard::WriteAll(strPackage, strData.data(), strData.size());
  CPackage cpackage;
  if (cpackage.OpenPackage(strPackage.c_str()) == PG_SUCCESS) {
    Walk(cpackage, strPackage, a_sizetBuffer);
  } else {
    GetFields(cpackage);
    cpackage.Unpack();
  }
}

void Script(const uint8_t* a_pu8, size_t a_sizet, size_t a_sizetBuffer) {
  const std::string strScript = fuzzguard::Path("pkg/t.script");
  fuzzguard::WriteAll(strScript, a_pu8, a_sizet);
  fuzzguard::WriteAll(fuzzguard::Path("pkg/a.bin"), std::string(100, 'a').data(), 100);
  fuzzguard::WriteAll(fuzzguard::Path("pkg/b.bin"), std::string(300, 'b').data(), 300);
  CPackage cpackage;
  std::vector<std::string> vecPackages;
  for (const char* sz : {"", ".qvpgct", ".qvpgfw", ".qvpglg", ".qvpgcd"}) vecPackages.push_back(fuzzguard::Path("pkg/t") + sz);
  {
    fuzzguard::Scope scope(vecPackages);
    if (cpackage.OpenFile(strScript.c_str()) != PG_SUCCESS) return;
    GetFields(cpackage);
    if (cpackage.Pack() != PG_SUCCESS) return;
  }
  for (const auto& strPackage : vecPackages) {
    struct stat st;
    if (stat(strPackage.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    Check(cpackage.OpenPackage(strPackage.c_str()) == PG_SUCCESS);
    Walk(cpackage, strPackage, a_sizetBuffer);
    return;
  }
  Check(false);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzguard::MakeRoot();
  Check(mkdir(fuzzguard::Path("outside").c_str(), 0755) == 0);
  fuzzguard::WriteAll(fuzzguard::Path("outside/secret.txt"), "secret", 6);
  fuzzguard::TakeBaseline();
  std::atexit([] { fuzzguard::Remove(fuzzguard::g_strRoot); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  if (a_sizetData == 0) return 0;
  Check(mkdir(fuzzguard::Path("pkg").c_str(), 0755) == 0);
  // The packets' buffer size from the last byte, so that short ones are tried too.
  size_t sizetBuffer = 1 + a_pu8Data[a_sizetData - 1] % 97 * 3;
  if (a_pu8Data[0] & 1) {
    Script(a_pu8Data + 1, a_sizetData - 1, sizetBuffer);
  } else {
    Package(a_pu8Data + 1, a_sizetData - 1, sizetBuffer);
  }
  Check(fuzzguard::ReadAll(fuzzguard::Path("outside/secret.txt")) == "secret");
  fuzzguard::SweepRoot({"pkg/*"});
  fuzzguard::Remove(fuzzguard::Path("pkg"));
  return 0;
}
