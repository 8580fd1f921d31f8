// Fuzz target of the task entries, as a front end reaches them: an
// instrumented copy of the library staged in the throwaway root with the
// simulated scanner beside it (no delays, the image library off), loaded
// with dlopen and opened once on the scanner. The first byte chooses the
// entry (even DriverEntry, odd DataEntry); the rest is the task text. Every
// reply must have the layout a front end reads: the 91-character task line
// with its byte count, a reportstatus first, the closing tag. An input that
// ended the driver's session is followed by a new one.
//
// The file guard aborts on any change outside the root. A front end may
// name files the driver reads and deletes (data files, override documents),
// so inputs naming paths outside it, absolute or with "..", are skipped.
#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_fileguard.h"

namespace {

using EntryFunction = const char* (*)(const char*);

EntryFunction g_pfnDriverEntry = nullptr;
EntryFunction g_pfnDataEntry = nullptr;
long g_lTaskId = 0;

constexpr size_t s_sizetLine = 91;  // "<task id='...' reply='...' bytes='...'>\n"

void Check(bool a_bl) {
  if (!a_bl) __builtin_trap();
}

// The layout every reply keeps, whatever it answers.
void CheckReply(const char* a_szReply) {
  Check(a_szReply != nullptr);
  const std::string strReply = a_szReply;
  Check(strReply.size() > s_sizetLine && strReply.compare(0, 10, "<task id='") == 0 &&
        strReply[s_sizetLine - 1] == '\n' && strReply.compare(59, 9, "' bytes='") == 0);
  Check(std::strtoull(strReply.substr(68, 20).c_str(), nullptr, 10) == strReply.size());
  Check(strReply.size() >= 8 && strReply.compare(strReply.size() - 8, 8, "</task>\n") == 0);
  const size_t sizetStatus = strReply.find("<reportstatus>");
  Check(sizetStatus != std::string::npos && strReply.find("<status>", sizetStatus) != std::string::npos);
}

// A numbered task; its reply is checked and returned.
std::string Send(EntryFunction a_pfn, const std::string& a_strCommand, const std::string& a_strBody = "") {
  const std::string strInner = "\t<" + a_strCommand + ">" + a_strBody + "</" + a_strCommand + ">\n";
  char szHead[128];
  std::snprintf(szHead, sizeof szHead, "<task id='%020ld' reply='%020d' bytes='%020zu'>\n", ++g_lTaskId, 0,
                s_sizetLine + strInner.size() + 8);
  const char* szReply = a_pfn((szHead + strInner + "</task>\n").c_str());
  CheckReply(szReply);
  return szReply;
}

void Open() {
  Send(g_pfnDriverEntry, "interfaceopen",
       "<callername>fuzz</callername><simulate><simulation>true</simulation><simflag><id>imagedirectory</id>"
       "<value>" + fuzzguard::Path("images") + "</value><text></text></simflag></simulate>");
  Send(g_pfnDriverEntry, "sessionbegin");
}

// Whether the driver's session is still up: the event list is answered with
// the task's own id only in a session.
bool InSession() {
  const std::string strReply = Send(g_pfnDriverEntry, "get", "<id>eventlist</id>");
  char szId[32];
  std::snprintf(szId, sizeof szId, "%020ld", g_lTaskId);
  return strReply.compare(39, 20, szId) == 0;
}

// A path outside the root: ".." anywhere, a "/" that is no part of a tag,
// or a file name that is not empty (a relative one is read, and deleted,
// from the current directory, which is not the root).
bool NamesOutside(const std::string& a_strText) {
  if (a_strText.find("..") != std::string::npos) return true;
  for (size_t sizet = a_strText.find("filename>"); sizet != std::string::npos;
       sizet = a_strText.find("filename>", sizet + 1)) {
    const size_t sizetText = sizet + std::strlen("filename>");
    if (sizet > 0 && a_strText[sizet - 1] != '/' && sizetText < a_strText.size() && a_strText[sizetText] != '<') {
      return true;
    }
  }
  for (size_t sizet = a_strText.find('/'); sizet != std::string::npos; sizet = a_strText.find('/', sizet + 1)) {
    const bool blTag = (sizet > 0 && a_strText[sizet - 1] == '<') ||
                       (sizet + 1 < a_strText.size() && a_strText[sizet + 1] == '>');
    if (!blTag) return true;
  }
  return false;
}

// The library and the scanner's units below the root, the library's
// override ini naming the root, the driver's constants without delays.
void Stage() {
  namespace fs = std::filesystem;
  const fs::path lib = fuzzguard::Path("opt/scandrv/kv/lib");
  const fs::path units = fuzzguard::Path("opt/scandrv/driver/lib");
  fs::create_directories(lib);
  fs::create_directories(units);
  fs::create_directories(fuzzguard::Path("images"));
  fs::copy_file(SCANDRV_FUZZ_LIBRARY, lib / "libscandrv.so");
  fs::copy_file(SCANDRV_FUZZ_DEVICE, units / "device.so");
  fs::copy_file(SCANDRV_FUZZ_DEVICE, lib / "device.so");
  std::ofstream(lib / "libscandrv_override.ini") << "[main]\nroot=" << fuzzguard::g_strRoot << "\n";
  fs::create_directories(fuzzguard::Path("var/scandrv/driver/driver"));
  std::ofstream(fuzzguard::Path("var/scandrv/driver/driver/const.ini")) << "[dsIdentity]\nForceNexilOff=1\n";
  void* pvHandle = dlopen((lib / "libscandrv.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!pvHandle) {
    std::fprintf(stderr, "fuzz_driverentry: %s\n", dlerror());
    std::exit(2);
  }
  g_pfnDriverEntry = reinterpret_cast<EntryFunction>(dlsym(pvHandle, "DriverEntry"));
  g_pfnDataEntry = reinterpret_cast<EntryFunction>(dlsym(pvHandle, "DataEntry"));
  Check(g_pfnDriverEntry && g_pfnDataEntry);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzguard::MakeRoot();
  Stage();
  Open();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizet) {
  if (a_sizet == 0) return 0;
  const std::string strTask(reinterpret_cast<const char*>(a_pu8Data) + 1, a_sizet - 1);
  if (NamesOutside(strTask)) return -1;
  {
    fuzzguard::Scope scope({fuzzguard::g_strRoot});
    CheckReply(((a_pu8Data[0] & 1) ? g_pfnDataEntry : g_pfnDriverEntry)(strTask.c_str()));
    if (!InSession()) Open();
  }
  return 0;
}
