// A scripted DriverEntry for the tests of pmxcli --scan: every command
// answers "success" but getoutput, whose answers are the lines of the file
// PMXCLI_SCRIPT names, one per getoutput: a status word, or
//   image FORMAT WIDTH1200 HEIGHT1200 IMAGESIZE DPI FILE SHEET SHEETIMAGE
// for a reportimage describing FILE. Past the last line it answers
// "endofoutput". Each task's command is appended to the file PMXCLI_TASKLOG
// names, with imageend's imagefilename. It lets the tool's handling of
// pages, descriptions and endings be judged without a scanner.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string g_reply;
std::vector<std::string> g_script;
size_t g_next = 0;
bool g_loaded = false;

std::string Element(const std::string& text, const std::string& name) {
  const size_t start = text.find("<" + name + ">");
  if (start == std::string::npos) return "";
  const size_t end = text.find("</" + name + ">", start);
  return end == std::string::npos ? "" : text.substr(start + name.size() + 2, end - start - name.size() - 2);
}

// The first element's name after the task line.
std::string Command(const std::string& task) {
  const size_t line = task.find('\n');
  const size_t open = task.find('<', line == std::string::npos ? 0 : line);
  if (open == std::string::npos) return "";
  const size_t end = task.find_first_of("> /", open + 1);
  return task.substr(open + 1, end == std::string::npos ? std::string::npos : end - open - 1);
}

const char* Reply(const std::string& task, const std::string& status, const std::string& body = "") {
  const std::string id = task.size() > 30 ? task.substr(10, 20) : std::string(20, '0');
  const std::string inner = "\t<reportstatus>\n\t\t<status>" + status + "</status>\n\t</reportstatus>\n" + body;
  char head[128];
  std::snprintf(head, sizeof head, "<task id='%020d' reply='%s' bytes='%020zu'>\n", 1, id.c_str(),
                91 + inner.size() + 8);
  g_reply = head + inner + "</task>\n";
  return g_reply.c_str();
}

void Load() {
  g_loaded = true;
  const char* path = std::getenv("PMXCLI_SCRIPT");
  std::ifstream in(path ? path : "");
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) g_script.push_back(line);
  }
}

const char* GetOutput(const std::string& task) {
  if (g_next >= g_script.size()) return Reply(task, "endofoutput");
  std::istringstream line(g_script[g_next++]);
  std::string word, format, width, height, size, dpi, file, sheet, sheetImage;
  line >> word;
  if (word != "image") return Reply(task, word);
  line >> format >> width >> height >> size >> dpi >> file >> sheet >> sheetImage;
  const std::string description = "\t<reportimage>\n\t\t<compressionmode>none</compressionmode>\n"
                                   "\t\t<imagefilename>" + file + "</imagefilename>\n"
                                   "\t\t<imageformat>" + format + "</imageformat>\n"
                                   "\t\t<imagewidth>" + width + "</imagewidth>\n"
                                   "\t\t<imageheight>" + height + "</imageheight>\n"
                                   "\t\t<imagesize>" + size + "</imagesize>\n"
                                   "\t\t<imageresolutionx>" + dpi + "_dpi</imageresolutionx>\n\t</reportimage>\n";
  return Reply(task, "success",
               description + "\t<outputimagecount>" + std::to_string(g_next) + "</outputimagecount>\n" +
                   "\t<outputsheetcount>" + sheet + "</outputsheetcount>\n" +
                   "\t<outputsheetimagecount>" + sheetImage + "</outputsheetimagecount>\n");
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const char* DriverEntry(const char* a_szTask) {
  if (!g_loaded) Load();
  const std::string task = a_szTask ? a_szTask : "";
  const std::string command = Command(task);
  if (const char* log = std::getenv("PMXCLI_TASKLOG")) {
    std::ofstream(log, std::ios::app) << command
                                      << (command == "imageend" ? " " + Element(task, "imagefilename") : "")
                                      << "\n";
  }
  return command == "getoutput" ? GetOutput(task) : Reply(task, "success");
}
