// pmxcli: a command-line front end. It loads the driver library with dlopen,
// as a real front end does, sends it task texts and prints each reply.
//
//   pmxcli [--library PATH] [--entry DriverEntry|DataEntry|DbcEntry] [FILE...]
//
// Each FILE (or standard input when none is given, or "-") holds one or more
// task texts; a task runs from "<task" to its closing "</task>". A file whose
// text holds no task element is sent whole, as one text.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using EntryFunction = const char* (*)(const char*);

int Usage() {
  std::cerr << "usage: pmxcli [--library PATH] [--entry DriverEntry|DataEntry|DbcEntry] [FILE...]\n";
  return 2;
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
  std::string library = SCANDRV_DEFAULT_LIBRARY;
  std::string entry = "DriverEntry";
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--library" && i + 1 < argc) {
      library = argv[++i];
    } else if (arg == "--entry" && i + 1 < argc) {
      entry = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      return Usage();
    } else {
      files.push_back(arg);
    }
  }
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
