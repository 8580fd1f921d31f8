// The batch: interfaceopen on the simulated scanner, sessionbegin, one
// setmany for the windows, the sides and their format and resolution,
// scanbegin, then getoutput until "endofoutput" with each page written and
// confirmed by imageend, and at the end scanend, sessionend and
// interfaceclose, whatever happened before. It polls on "noimageready"
// rather than waiting on the driver's event, so it needs nothing of the
// library but DriverEntry.
#include "pmxcli_scan.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>
#include <utility>

#include "pmxcli_image.h"

namespace pmxcli {
namespace {

using EntryFunction = const char* (*)(const char*);
using Clock = std::chrono::steady_clock;

constexpr auto kPollInterval = std::chrono::milliseconds(5);
constexpr auto kImageWait = std::chrono::seconds(30);  // without a new image
constexpr size_t kTaskLine = 91;                       // "<task id=... bytes='...'>\n"

struct ScanOptions {
  std::string library;
  std::string out = "scans";
  std::string format = "rgb_24";
  long pages = 1;
  long resolution = 200;
  bool duplex = true;
  std::vector<std::pair<std::string, std::string>> flags;
};

int Usage() {
  std::cerr << "usage: pmxcli --scan [--out DIR] [--pages N] [--format bw|gray_8|rgb_24] [--resolution DPI]\n"
               "                     [--duplex|--simplex] [--flag ID=VALUE]... [--library PATH]\n";
  return 1;
}

bool Count(const std::string& text, long* value) {
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || parsed < 0 || parsed > 100000) return false;
  *value = parsed;
  return true;
}

bool ParseOptions(const std::vector<std::string>& args, ScanOptions* options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--duplex" || arg == "--simplex") {
      options->duplex = arg == "--duplex";
    } else if (!hasValue) {
      return false;
    } else if (arg == "--out") {
      options->out = args[++i];
    } else if (arg == "--library") {
      options->library = args[++i];
    } else if (arg == "--format") {
      options->format = args[++i];
      if (options->format != "bw" && options->format != "gray_8" && options->format != "rgb_24") return false;
    } else if (arg == "--pages") {
      if (!Count(args[++i], &options->pages)) return false;
    } else if (arg == "--resolution") {
      if (!Count(args[++i], &options->resolution) || options->resolution == 0) return false;
    } else if (arg == "--flag") {
      const std::string& flag = args[++i];
      const size_t equals = flag.find('=');
      if (equals == std::string::npos || equals == 0) return false;
      options->flags.emplace_back(flag.substr(0, equals), flag.substr(equals + 1));
    } else {
      return false;
    }
  }
  return !options->out.empty();
}

std::string Leaf(const std::string& name, const std::string& value) {
  return "<" + name + ">" + value + "</" + name + ">";
}

class ScanSession {
 public:
  ScanSession(EntryFunction entry, const ScanOptions& options) : entry_(entry), options_(options) {}

  int Run() {
    int result = 2;
    if (Open() && Setup()) result = Batch();
    Close();
    return result;
  }

 private:
  // Sends one task and returns its status word; the reply is kept.
  std::string Send(const std::string& command, const std::string& body = "") {
    const std::string inner = "\t<" + command + ">" + body + "</" + command + ">\n";
    char head[128];
    std::snprintf(head, sizeof head, "<task id='%020ld' reply='%020d' bytes='%020zu'>\n", ++taskId_, 0,
                  kTaskLine + inner.size() + 8);
    const std::string task = head + inner + "</task>\n";
    const char* reply = entry_(task.c_str());
    reply_ = reply ? reply : "";
    const std::string status = ReplyElement(reply_, "status");
    return status.empty() ? "(no status)" : status;
  }

  // Sends a task that must succeed; prints its word otherwise.
  bool Expect(const std::string& command, const std::string& body = "") {
    const std::string status = Send(command, body);
    if (status == "success") return true;
    std::cout << command << ": " << status << "\n";
    return false;
  }

  bool Open() {
    std::string simulate = Leaf("simulation", "true");
    // A --flag of the same id wins over what the options say.
    std::vector<std::pair<std::string, std::string>> flags;
    for (const auto& [id, value] : {std::pair<std::string, std::string>{"pages", std::to_string(options_.pages)},
                                    {"duplex", options_.duplex ? "true" : "false"}}) {
      const bool given = std::any_of(options_.flags.begin(), options_.flags.end(),
                                     [&id](const auto& flag) { return flag.first == id; });
      if (!given) flags.emplace_back(id, value);
    }
    flags.insert(flags.end(), options_.flags.begin(), options_.flags.end());
    for (const auto& [id, value] : flags) {
      simulate += "<simflag>" + Leaf("id", id) + Leaf("value", value) + Leaf("text", "") + "</simflag>";
    }
    opened_ = Expect("interfaceopen", Leaf("callername", "pmxcli") + Leaf("simulate", simulate));
    sessionBegun_ = opened_ && Expect("sessionbegin");
    return sessionBegun_;
  }

  // One setmany: the windows of the sides in use, the sides, and each
  // window's format and resolution.
  bool Setup() {
    const bool bitonal = options_.format == "bw";
    const std::string windowType = bitonal ? "bitonal" : "color";
    std::vector<std::string> sides = {"front"};
    if (options_.duplex) sides.push_back("rear");
    std::string list;
    for (const auto& side : sides) list += Leaf("value", side + windowType + "_00");
    std::string body = "<set>" + Leaf("id", "windowenabledlist") + Leaf("list", list) + "</set>";
    body += "<set>" + Leaf("id", "inputdocument") +
            Leaf("valuecurrent", options_.duplex ? "twosided" : "onesidedfront") + "</set>";
    for (const auto& side : sides) {
      const std::string window = Leaf("cameratype", side) + Leaf("windowtype", windowType);
      body += "<set>" + Leaf("id", "imageformat") + window + Leaf("valuecurrent", options_.format) + "</set>";
      body += "<set>" + Leaf("id", "imageresolutionx") + window +
              Leaf("valuecurrent", std::to_string(options_.resolution) + "_dpi") + "</set>";
    }
    return Expect("setmany", body);
  }

  int Batch() {
    const auto start = Clock::now();
    if (!Expect("scanbegin")) return 2;
    scanning_ = true;
    int result = 2;
    auto lastImage = Clock::now();
    for (;;) {
      const std::string status = Send("getoutput");
      if (status == "success") {
        const bool written = Page();
        const std::string ended = Send("imageend", Leaf("imagefilename", ReplyElement(page_, "imagefilename")));
        if (ended != "success") std::cout << "imageend: " << ended << "\n";
        if (!written) break;  // the scan ends; what was written stays
        lastImage = Clock::now();
      } else if (status == "noimageready" || status == "endofsheet") {
        if (Clock::now() - lastImage > kImageWait) {
          std::cout << "getoutput: no image for " << kImageWait.count() << " s\n";
          break;
        }
        std::this_thread::sleep_for(kPollInterval);
      } else {
        if (status != "endofoutput") std::cout << "getoutput: " << status << "\n";
        result = status == "endofoutput" && skipped_ == 0 ? 0 : 2;
        break;
      }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("pages: %d, seconds: %.3f, pages per second: %.3f\n", written_, seconds,
                seconds > 0 ? written_ / seconds : 0.0);
    if (skipped_) std::printf("pages skipped: %d\n", skipped_);
    std::fflush(stdout);
    return result;
  }

  // The page of the last reply: checked, written, and its line printed.
  // A page whose description does not fit its file is skipped (false only
  // when the tool itself cannot write).
  bool Page() {
    page_ = reply_;
    ++number_;
    const std::string sheet = ReplyElement(reply_, "outputsheetcount");
    const std::string side = ReplyElement(reply_, "outputsheetimagecount") == "2" ? "rear" : "front";
    PageImage page;
    std::string reason;
    if (!DescribePage(reply_, &page, &reason)) {
      std::printf("page %d: sheet %s %s skipped: %s\n", number_, sheet.c_str(), side.c_str(), reason.c_str());
      ++skipped_;
      return true;
    }
    char name[96];
    std::snprintf(name, sizeof name, "page-%04d-sheet%s-%s", number_, sheet.c_str(), side.c_str());
    const std::string base = (std::filesystem::path(options_.out) / name).string();
    std::string files = base + ".tif";
    bool written = WriteTiff(page, base + ".tif", &reason);
    if (written && page.format != PixelFormat::kBitonal) {
      written = WriteJpeg(page, base + ".jpg", &reason);
      files += " " + base + ".jpg";
    }
    if (!written) {
      std::printf("page %d: sheet %s %s not written: %s\n", number_, sheet.c_str(), side.c_str(), reason.c_str());
      return false;
    }
    ++written_;
    std::printf("page %d: sheet %s %s, %ldx%ld %s %ld dpi, %s\n", number_, sheet.c_str(), side.c_str(), page.width,
                page.height, page.formatName.c_str(), page.resolution, files.c_str());
    std::fflush(stdout);
    return true;
  }

  void Close() {
    if (scanning_) Expect("scanend");
    if (sessionBegun_) Expect("sessionend");
    if (opened_) Expect("interfaceclose");
  }

  EntryFunction entry_;
  const ScanOptions& options_;
  std::string reply_;
  std::string page_;  // the reply of the page in hand
  long taskId_ = 0;
  int number_ = 0;
  int written_ = 0;
  int skipped_ = 0;
  bool opened_ = false;
  bool sessionBegun_ = false;
  bool scanning_ = false;
};

}  // namespace

int ScanMain(const std::vector<std::string>& args, const std::string& defaultLibrary) {
  ScanOptions options;
  if (!ParseOptions(args, &options)) return Usage();
  if (options.library.empty()) options.library = defaultLibrary;
  std::error_code error;
  std::filesystem::create_directories(options.out, error);
  if (error || !std::filesystem::is_directory(options.out)) {
    std::cerr << "pmxcli: cannot make " << options.out << (error ? ": " + error.message() : "") << "\n";
    return 1;
  }
  void* handle = dlopen(options.library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::cerr << "pmxcli: cannot load " << options.library << ": " << dlerror() << "\n";
    return 1;
  }
  auto entry = reinterpret_cast<EntryFunction>(dlsym(handle, "DriverEntry"));
  if (!entry) {
    std::cerr << "pmxcli: DriverEntry not found in " << options.library << "\n";
    dlclose(handle);
    return 1;
  }
  const int result = ScanSession(entry, options).Run();
  std::cout.flush();
  dlclose(handle);
  return result;
}

}  // namespace pmxcli
