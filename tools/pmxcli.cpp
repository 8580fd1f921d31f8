// pmxcli: a command-line front end. It loads the driver library with dlopen,
// as a real front end does, sends it task texts and prints each reply.
//
//   pmxcli [--library PATH] [--entry DriverEntry|DataEntry|DbcEntry] [FILE...]
//   pmxcli --services [--library PATH] [--entity NAME] [--unique NAME]
//   pmxcli --scan [--out DIR] [--pages N] [--format bw|gray_8|rgb_24] ...
//
// Each FILE (or standard input when none is given, or "-") holds one or more
// task texts; a task runs from "<task" to its closing "</task>". A file whose
// text holds no task element is sent whole, as one text.
//
// --services starts and stops the library's service layer (by default the
// staged copy of the build, whose override ini keeps every write below the
// build's stage directory) and shows where its directories, its log and its
// configuration dump went.
//
// --scan scans a batch on the simulated scanner through the staged copy's
// DriverEntry into TIFF and JPEG files (pmxcli_scan.h).
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "pmxcli_scan.h"

namespace {

using EntryFunction = const char* (*)(const char*);
using StartFunction = int (*)(const char*);
using StopFunction = int (*)();

int Usage() {
  std::cerr << "usage: pmxcli [--library PATH] [--entry DriverEntry|DataEntry|DbcEntry] [FILE...]\n"
               "       pmxcli --services [--library PATH] [--entity driver|application|utility|apputility|dll]"
               " [--unique NAME]\n"
               "       pmxcli --scan [--out DIR] [--pages N] [--format bw|gray_8|rgb_24] [--resolution DPI]\n"
               "                     [--duplex|--simplex] [--flag ID=VALUE]... [--library PATH]\n";
  return 2;
}

// The text of an element of the arguments XML ("" when absent).
std::string Element(const std::string& xml, const std::string& name) {
  size_t start = xml.find("<" + name + ">");
  if (start == std::string::npos) return "";
  start += name.size() + 2;
  size_t end = xml.find("</" + name + ">", start);
  return end == std::string::npos ? "" : xml.substr(start, end - start);
}

// The files of a tree whose names end so (or begin so, for a prefix).
std::vector<std::string> FilesIn(const std::string& top, const std::string& suffix, const std::string& prefix) {
  std::vector<std::string> found;
  std::error_code ec;
  if (top.empty() || !std::filesystem::is_directory(top, ec)) return found;
  for (auto it = std::filesystem::recursive_directory_iterator(top, ec); !ec && it != end(it); it.increment(ec)) {
    std::string name = it->path().filename().string();
    bool match = !suffix.empty() ? name.size() >= suffix.size() &&
                                       name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0
                                 : name.rfind(prefix, 0) == 0;
    if (it->is_regular_file(ec) && match) found.push_back(it->path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<std::string> DirectoriesIn(const std::string& top) {
  std::vector<std::string> found;
  std::error_code ec;
  if (top.empty() || !std::filesystem::is_directory(top, ec)) return found;
  for (auto it = std::filesystem::recursive_directory_iterator(top, ec); !ec && it != end(it); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      found.push_back(std::filesystem::relative(it->path(), top, ec).string());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

void PrintList(const char* title, const std::vector<std::string>& items) {
  std::cout << title << (items.empty() ? " (none)" : "") << "\n";
  for (const auto& item : items) std::cout << "  " << item << "\n";
}

// Starts and stops the service layer and reports where it wrote.
int RunServices(const std::string& library, const std::string& entity, const std::string& unique) {
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::cerr << "pmxcli: cannot load " << library << ": " << dlerror() << "\n";
    return 1;
  }
  auto start = reinterpret_cast<StartFunction>(dlsym(handle, "OsServicesStart"));
  auto stop = reinterpret_cast<StopFunction>(dlsym(handle, "OsServicesStop"));
  auto settingsPointer = reinterpret_cast<const char**>(dlsym(handle, "g_szOsXml"));
  if (!start || !stop || !settingsPointer) {
    std::cerr << "pmxcli: " << library << " has no service layer entries\n";
    dlclose(handle);
    return 1;
  }
  std::string settings = "<arguments>\n\t<uniquename>" + unique + "</uniquename>\n\t<entity>" + entity +
                         "</entity>\n\t<loglevel>0</loglevel>\n</arguments>\n";
  *settingsPointer = settings.c_str();

  std::cout << "library:   " << library << "\n";
  int started = start(nullptr);
  std::cout << "OsServicesStart (" << entity << ", " << unique << "): " << started << "\n";
  // The start keeps the arguments for the children the library starts (it
  // does not publish them in our environment): ask the thread service for
  // the text a spawned child gets (COsThread::GetServicesArgumentsSource).
  using SourceGetter = const char* (*(*)())();
  auto getSource = reinterpret_cast<SourceGetter>(dlsym(handle, "_ZN9COsThread26GetServicesArgumentsSourceEv"));
  const char* (*source)() = getSource ? getSource() : nullptr;
  const char* handed = source ? source() : nullptr;
  std::string arguments = handed ? handed : "";
  std::cout << "arguments handed to children:\n" << (arguments.empty() ? "  (none)" : arguments) << "\n";
  int stopped = stop();
  std::cout << "OsServicesStop: " << stopped << "\n";
  dlclose(handle);

  std::string root = Element(arguments, "rootpath");
  std::string logPath = Element(arguments, "logpath");
  std::cout << "root:      " << (root.empty() ? "(none)" : root) << "\n";
  std::cout << "log path:  " << (logPath.empty() ? "(none)" : logPath) << "\n";
  PrintList("log files of this run:", FilesIn(logPath, ".log", ""));
  PrintList("configuration dumps of this run:", FilesIn(logPath, "", "pmxoscfg"));
  PrintList("directories below the root:", DirectoriesIn(root));
  return started == 0 && stopped == 0 ? 0 : 1;
}

bool ReadText(const std::string& name, std::string* text) {
  if (name == "-") {
    std::ostringstream out;
    out << std::cin.rdbuf();
    *text = out.str();
    return true;
  }
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  *text = out.str();
  return true;
}

// Cuts a text into its task elements.
std::vector<std::string> SplitTasks(const std::string& text) {
  std::vector<std::string> tasks;
  size_t pos = 0;
  for (;;) {
    size_t start = text.find("<task", pos);
    if (start == std::string::npos) break;
    size_t end = text.find("</task>", start);
    if (end == std::string::npos) {
      tasks.push_back(text.substr(start));
      break;
    }
    end += std::strlen("</task>");
    tasks.push_back(text.substr(start, end - start));
    pos = end;
  }
  if (tasks.empty() && text.find_first_not_of(" \t\r\n") != std::string::npos) tasks.push_back(text);
  return tasks;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (std::find(args.begin(), args.end(), "--scan") != args.end()) {
    args.erase(std::find(args.begin(), args.end(), "--scan"));
    return pmxcli::ScanMain(args, SCANDRV_STAGED_LIBRARY);
  }
  std::string library;
  std::string entry = "DriverEntry";
  std::string entity = "driver";
  std::string unique = "driver";
  bool services = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--library" && i + 1 < argc) {
      library = argv[++i];
    } else if (arg == "--entry" && i + 1 < argc) {
      entry = argv[++i];
    } else if (arg == "--services") {
      services = true;
    } else if (arg == "--entity" && i + 1 < argc) {
      entity = argv[++i];
    } else if (arg == "--unique" && i + 1 < argc) {
      unique = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      return Usage();
    } else {
      files.push_back(arg);
    }
  }
  if (services) {
    if (!files.empty()) return Usage();
    return RunServices(library.empty() ? SCANDRV_STAGED_LIBRARY : library, entity, unique);
  }
  if (library.empty()) library = SCANDRV_DEFAULT_LIBRARY;
  if (entry != "DriverEntry" && entry != "DataEntry" && entry != "DbcEntry") return Usage();
  if (files.empty()) files.push_back("-");

  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::cerr << "pmxcli: cannot load " << library << ": " << dlerror() << "\n";
    return 1;
  }
  auto function = reinterpret_cast<EntryFunction>(dlsym(handle, entry.c_str()));
  if (!function) {
    std::cerr << "pmxcli: " << entry << " not found in " << library << "\n";
    dlclose(handle);
    return 1;
  }

  int status = 0;
  for (const auto& name : files) {
    std::string text;
    if (!ReadText(name, &text)) {
      std::cerr << "pmxcli: cannot read " << name << "\n";
      status = 1;
      continue;
    }
    for (const auto& task : SplitTasks(text)) {
      const char* reply = function(task.c_str());
      std::cout << (reply ? reply : "(null)") << "\n";
    }
  }
  std::cout.flush();
  dlclose(handle);
  return status;
}
