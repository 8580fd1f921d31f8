// pmxres: lists, reads and changes the resources appended to a file (the
// library carries its brand, version and database this way).
//
//   pmxres list FILE                    names in slot order, with sizes
//   pmxres get FILE NAME                the resource's bytes on standard output
//   pmxres add FILE NAME=@PATH|NAME=TEXT...   add or replace, in one rewrite
//   pmxres remove FILE NAME...
//
// The file is rewritten beside itself and renamed over the old one; its own
// content stays byte for byte. Exit status 0, 1 on failure, 2 on bad usage.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "os_cosresourcefooter.h"

namespace {

constexpr uint64_t s_u64MaxResource = 256ull << 20;  // a resource file larger than this is a mistake

int Usage() {
  std::cerr << "usage: pmxres list FILE | get FILE NAME | add FILE NAME=@PATH|NAME=TEXT... | remove FILE NAME...\n";
  return 2;
}

// Reads the footer of a file; prints why when there is none.
bool ReadFooter(const char* a_szFile, OsResourceSlot* a_paslot, int* a_piFd) {
  int iFd = open(a_szFile, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st;
  if (iFd < 0 || fstat(iFd, &st) != 0) {
    std::cerr << "pmxres: cannot open " << a_szFile << ": " << std::strerror(errno) << "\n";
    if (iFd >= 0) close(iFd);
    return false;
  }
  uint64_t u64ContentEnd = 0;
  EOSRESOURCEFOOTER eosresourcefooter =
      COsResourceFooter::Read(iFd, static_cast<uint64_t>(st.st_size), a_paslot, &u64ContentEnd);
  if (eosresourcefooter != OS_RESOURCEFOOTER_VALID) {
    std::cerr << "pmxres: " << a_szFile
              << (eosresourcefooter == OS_RESOURCEFOOTER_NONE ? ": no resource footer\n" : ": footer is invalid\n");
    close(iFd);
    return false;
  }
  *a_piFd = iFd;
  return true;
}

int List(const char* a_szFile) {
  OsResourceSlot aslot[COsResourceFooter::s_iSlots];
  int iFd = -1;
  if (!ReadFooter(a_szFile, aslot, &iFd)) return 1;
  close(iFd);
  for (int iSlot = COsResourceFooter::s_iFirstSlot; iSlot > 0 && aslot[iSlot].szName[0]; --iSlot) {
    std::cout << aslot[iSlot].szName << " " << aslot[iSlot].u64Size << "\n";
  }
  return 0;
}

int Get(const char* a_szFile, const char* a_szName) {
  OsResourceSlot aslot[COsResourceFooter::s_iSlots];
  int iFd = -1;
  if (!ReadFooter(a_szFile, aslot, &iFd)) return 1;
  int iSlot = COsResourceFooter::Find(aslot, a_szName);
  if (iSlot < 0) {
    std::cerr << "pmxres: " << a_szFile << ": no resource " << a_szName << "\n";
    close(iFd);
    return 1;
  }
  std::vector<char> vecData(static_cast<size_t>(aslot[iSlot].u64Size));
  size_t sizetDone = 0;
  while (sizetDone < vecData.size()) {
    ssize_t sRead = pread(iFd, vecData.data() + sizetDone, vecData.size() - sizetDone,
                          static_cast<off_t>(aslot[iSlot].u64Offset + sizetDone));
    if (sRead <= 0) break;
    sizetDone += static_cast<size_t>(sRead);
  }
  close(iFd);
  if (sizetDone != vecData.size()) {
    std::cerr << "pmxres: " << a_szFile << ": read failed\n";
    return 1;
  }
  std::cout.write(vecData.data(), static_cast<std::streamsize>(vecData.size()));
  return std::cout.good() ? 0 : 1;
}

// NAME=@PATH takes the file's bytes, NAME=TEXT the text itself.
bool LoadValue(const std::string& a_strArgument, std::string* a_pstrName, std::string* a_pstrData) {
  size_t sizetEquals = a_strArgument.find('=');
  if (sizetEquals == std::string::npos || sizetEquals == 0) {
    std::cerr << "pmxres: expected NAME=@PATH or NAME=TEXT: " << a_strArgument << "\n";
    return false;
  }
  *a_pstrName = a_strArgument.substr(0, sizetEquals);
  std::string strValue = a_strArgument.substr(sizetEquals + 1);
  if (strValue.empty() || strValue[0] != '@') {
    *a_pstrData = strValue;
    return true;
  }
  std::ifstream in(strValue.substr(1), std::ios::binary);
  struct stat st;
  if (!in || stat(strValue.c_str() + 1, &st) != 0 || static_cast<uint64_t>(st.st_size) > s_u64MaxResource) {
    std::cerr << "pmxres: cannot read " << strValue.substr(1) << "\n";
    return false;
  }
  a_pstrData->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

int Change(const char* a_szFile, int a_iArgs, char** a_pszArgs, bool a_blAdd) {
  std::vector<std::string> vecName(static_cast<size_t>(a_iArgs)), vecData(static_cast<size_t>(a_iArgs));
  std::vector<OsResourceChange> vecChange;
  for (int i = 0; i < a_iArgs; ++i) {
    if (a_blAdd) {
      if (!LoadValue(a_pszArgs[i], &vecName[i], &vecData[i])) return 2;
      if (vecData[i].empty()) {
        std::cerr << "pmxres: resource " << vecName[i] << " is empty\n";
        return 2;
      }
    } else {
      vecName[i] = a_pszArgs[i];
    }
  }
  for (int i = 0; i < a_iArgs; ++i) {
    vecChange.push_back({vecName[i].c_str(), a_blAdd ? vecData[i].data() : nullptr, vecData[i].size()});
  }
  char szError[1024] = {};
  if (COsResourceFooter::Update(a_szFile, vecChange.data(), vecChange.size(), szError, sizeof szError) != 0) {
    std::cerr << "pmxres: " << szError << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string strCommand = argv[1];
  if (strCommand == "list" && argc == 3) return List(argv[2]);
  if (strCommand == "get" && argc == 4) return Get(argv[2], argv[3]);
  if (strCommand == "add" && argc >= 4) return Change(argv[2], argc - 3, argv + 3, true);
  if (strCommand == "remove" && argc >= 4) return Change(argv[2], argc - 3, argv + 3, false);
  return Usage();
}
