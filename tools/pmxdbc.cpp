// pmxdbc: compiles the capability database sources with the compiler inside
// a library (loaded with dlopen and called through DbcEntry, as a front end
// would), for the build step that appends the compiled resources.
//
//   pmxdbc LIBRARY SOURCE_DIRECTORY DESTINATION_DIRECTORY HEADER...
//
// The target is "product"; the headers (db_def.h, os_coslocale.h) are the
// include directory. The service layer that the compiler starts writes only
// below a throwaway root made inside the destination directory: HOME, TMPDIR
// and PMX_SHGETFOLDERPATH point there and every other PMX_ variable is
// cleared; the library is loaded from a copy in that root, so no override
// ini beside the original can send it elsewhere. The root is removed at the
// end (kept, with the compiler's log, when the compilation fails).
//
// Exit status: 0 compiled; 1 the compilation failed, or the compiler named a
// name it does not know or a label that lacks a language (what it printed is
// shown on standard output); 2 bad usage.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

typedef const char* (*PFNDBCENTRY)(const char* a_szTask);

const char* const s_aszOutput[] = {"database.edres", "labels.edres", "lookup.edres"};
// What the compiler prints for a resource that is compiled but not sound.
const char* const s_aszRefused[] = {"Unrecognized", "Wrong number of languages"};

void ClearPmxEnvironment() {
  std::vector<std::string> vecstrName;
  for (char** ppsz = environ; ppsz && *ppsz; ++ppsz) {
    if (std::strncmp(*ppsz, "PMX_", 4) != 0) continue;
    const char* pcEquals = std::strchr(*ppsz, '=');
    vecstrName.emplace_back(*ppsz, pcEquals ? static_cast<size_t>(pcEquals - *ppsz) : std::strlen(*ppsz));
  }
  for (const std::string& strName : vecstrName) unsetenv(strName.c_str());
}

std::string ReadWhole(const fs::path& a_path) {
  std::ifstream in(a_path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Calls the compiler with standard output going to a file, and gives back
// its reply and what it printed.
bool Compile(const fs::path& a_pathLibrary, const std::string& a_strTask, const fs::path& a_pathPrinted,
             std::string* a_pstrReply, std::string* a_pstrPrinted) {
  void* pvLibrary = dlopen(a_pathLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!pvLibrary) {
    std::cerr << "pmxdbc: cannot load " << a_pathLibrary << ": " << dlerror() << "\n";
    return false;
  }
  auto pfndbcentry = reinterpret_cast<PFNDBCENTRY>(dlsym(pvLibrary, "DbcEntry"));
  if (!pfndbcentry) {
    std::cerr << "pmxdbc: " << a_pathLibrary << " has no DbcEntry\n";
    return false;
  }
  std::fflush(stdout);
  int iSaved = dup(STDOUT_FILENO);
  int iFd = open(a_pathPrinted.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0600);
  if (iSaved < 0 || iFd < 0 || dup2(iFd, STDOUT_FILENO) < 0) {
    std::cerr << "pmxdbc: cannot capture standard output\n";
    return false;
  }
  close(iFd);
  const char* szReply = pfndbcentry(a_strTask.c_str());
  *a_pstrReply = szReply ? szReply : "";
  std::fflush(stdout);
  dup2(iSaved, STDOUT_FILENO);
  close(iSaved);
  *a_pstrPrinted = ReadWhole(a_pathPrinted);
  return true;
}

// The compiler's log lines, for a compilation that failed.
void ShowLogs(const fs::path& a_pathRoot) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(a_pathRoot, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file(ec) && it->path().extension() == ".log") {
      std::cerr << "pmxdbc: " << it->path().string() << ":\n" << ReadWhole(it->path());
    }
  }
}

int Run(const fs::path& a_pathLibrary, const fs::path& a_pathSource, const fs::path& a_pathDestination,
        const std::vector<fs::path>& a_vecpathHeader) {
  std::error_code ec;
  fs::create_directories(a_pathDestination, ec);
  const fs::path pathDestination = fs::absolute(a_pathDestination);
  const fs::path pathSource = fs::absolute(a_pathSource);
  for (const char* szOutput : s_aszOutput) fs::remove(pathDestination / szOutput, ec);
  // Roots kept by earlier failures go now.
  for (auto it = fs::directory_iterator(pathDestination, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (it->path().filename().string().rfind(".pmxdbc-", 0) == 0) fs::remove_all(it->path(), ec);
  }

  std::string strRoot = (pathDestination / ".pmxdbc-XXXXXX").string();
  if (!mkdtemp(strRoot.data())) {
    std::cerr << "pmxdbc: cannot make a root in " << pathDestination << "\n";
    return 1;
  }
  const fs::path pathRoot = strRoot;
  const fs::path pathLibrary = pathRoot / "lib" / a_pathLibrary.filename();
  const fs::path pathInclude = pathRoot / "include";
  fs::create_directories(pathRoot / "lib", ec);
  fs::create_directories(pathInclude, ec);
  bool blCopied = fs::copy_file(a_pathLibrary, pathLibrary, ec);
  for (const fs::path& pathHeader : a_vecpathHeader) {
    blCopied = blCopied && fs::copy_file(pathHeader, pathInclude / pathHeader.filename(), ec);
  }
  if (!blCopied) {
    std::cerr << "pmxdbc: cannot copy the library or a header into " << pathRoot << ": " << ec.message() << "\n";
    fs::remove_all(pathRoot, ec);
    return 1;
  }

  ClearPmxEnvironment();
  setenv("HOME", pathRoot.c_str(), 1);
  setenv("TMPDIR", pathRoot.c_str(), 1);
  setenv("PMX_SHGETFOLDERPATH", pathRoot.c_str(), 1);
  const std::string strTask = "<task><source><![CDATA[" + pathSource.string() + "]]></source><include><![CDATA[" +
                              pathInclude.string() + "]]></include><destination><![CDATA[" +
                              pathDestination.string() + "]]></destination><target>product</target></task>";
  std::string strReply, strPrinted;
  bool blOk = Compile(pathLibrary, strTask, pathRoot / "printed.txt", &strReply, &strPrinted);
  std::cout << strPrinted;
  if (!strPrinted.empty() && strPrinted.back() != '\n') std::cout << "\n";
  std::cout.flush();
  if (blOk && strReply != "<status>success</status>") {
    std::cerr << "pmxdbc: the compiler answered " << strReply << "\n";
    ShowLogs(pathRoot);
    blOk = false;
  }
  for (const char* szRefused : s_aszRefused) {
    if (blOk && strPrinted.find(szRefused) != std::string::npos) {
      std::cerr << "pmxdbc: the sources in " << pathSource << " are not sound (see \"" << szRefused << "\" above)\n";
      blOk = false;
    }
  }
  if (!blOk) {
    for (const char* szOutput : s_aszOutput) fs::remove(pathDestination / szOutput, ec);
    std::cerr << "pmxdbc: the compiler's root stays for a look: " << pathRoot << "\n";
    return 1;
  }
  fs::remove_all(pathRoot, ec);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "usage: pmxdbc LIBRARY SOURCE_DIRECTORY DESTINATION_DIRECTORY HEADER...\n";
    return 2;
  }
  std::vector<fs::path> vecpathHeader(argv + 4, argv + argc);
  return Run(argv[1], argv[2], argv[3], vecpathHeader);
}
