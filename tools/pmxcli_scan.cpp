// The batch: interfaceopen on the simulated scanner, sessionbegin, one
// setmany for the windows, the sides and their format and resolution,
// scanbegin, then getoutput until "endofoutput" with each page written and
// confirmed by imageend, and at the end scanend, sessionend and
// interfaceclose, whatever happened before. It polls on "noimageready"
// rather than waiting on the driver's event, so it needs nothing of the
// library but DriverEntry.
//
// Pages are written on writer threads while the next ones are fetched; the
// calling thread alone talks to the driver. A page is confirmed (imageend)
// only once its files are whole, and pages are confirmed and printed in
// the order they were fetched, so the output is that of one thread.
#include "pmxcli_scan.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
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
constexpr long kDefaultWriters = 2;
constexpr long kMostWriters = 16;
constexpr size_t kPagesPerWriter = 2;                  // fetched ahead of their confirmation

struct ScanOptions {
  std::string library;
  std::string out = "scans";
  std::string format = "rgb_24";
  long pages = 1;
  long resolution = 200;
  long writers = kDefaultWriters;
  bool duplex = true;
  std::vector<std::pair<std::string, std::string>> flags;
};

int Usage() {
  std::cerr << "usage: pmxcli --scan [--out DIR] [--pages N] [--format bw|gray_8|rgb_24] [--resolution DPI]\n"
               "                     [--duplex|--simplex] [--flag ID=VALUE]... [--writers N] [--library PATH]\n";
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
    } else if (arg == "--writers") {
      if (!Count(args[++i], &options->writers) || options->writers == 0 || options->writers > kMostWriters) return false;
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

// One fetched page: what its reply says, and once a writer is done with
// it, whether its files are whole.
struct PageJob {
  int number = 0;
  std::string sheet, side, rawName;
  PageImage page;
  bool described = false;  // false: skipped, with the reason
  std::string base;        // output path without extension
  std::string reason;
  std::string files;
  bool done = false;
  bool written = false;
};

// Writes each page: its raw file mapped once, the TIFF, and for gray and
// colour the JPEG. A failed page has no file left.
void WritePage(PageJob* job) {
  RawMap map;
  std::string reason;
  const std::string tiff = job->base + ".tif";
  bool written = map.Map(&job->page, &reason) && WriteTiff(job->page, tiff, &reason);
  job->files = tiff;
  if (written && job->page.format != PixelFormat::kBitonal) {
    written = WriteJpeg(job->page, job->base + ".jpg", &reason);
    job->files += " " + job->base + ".jpg";
    if (!written) std::filesystem::remove(tiff);
  }
  job->written = written;
  job->reason = reason;
}

// The writer threads and the queue of pages they take in turn.
class PageWriters {
 public:
  explicit PageWriters(long count) {
    for (long i = 0; i < count; ++i) threads_.emplace_back([this] { Serve(); });
  }
  ~PageWriters() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (auto& thread : threads_) thread.join();
  }
  void Submit(std::shared_ptr<PageJob> job) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(std::move(job));
    }
    wake_.notify_one();
  }
  // Whether the page is done, waiting for it up to the time given.
  bool Done(const PageJob& job, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    return finished_.wait_for(lock, wait, [&job] { return job.done; });
  }
  void Finish(const PageJob& job) {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [&job] { return job.done; });
  }

 private:
  void Serve() {
    for (;;) {
      std::shared_ptr<PageJob> job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) return;
        job = std::move(queue_.front());
        queue_.pop_front();
      }
      WritePage(job.get());
      {
        std::lock_guard<std::mutex> lock(mutex_);
        job->done = true;
      }
      finished_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::deque<std::shared_ptr<PageJob>> queue_;
  std::vector<std::thread> threads_;
  bool stop_ = false;
};

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
    {
      PageWriters writers(options_.writers);
      result = Fetch(&writers);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("pages: %d, seconds: %.3f, pages per second: %.3f\n", written_, seconds,
                seconds > 0 ? written_ / seconds : 0.0);
    if (skipped_) std::printf("pages skipped: %d\n", skipped_);
    std::fflush(stdout);
    return result;
  }

  // getoutput until the batch ends; each page goes to the writers, and the
  // pages written are confirmed in fetch order whenever the driver is asked.
  int Fetch(PageWriters* writers) {
    const size_t ahead = static_cast<size_t>(options_.writers) * kPagesPerWriter;
    auto lastImage = Clock::now();
    for (;;) {
      const std::string status = Send("getoutput");
      if (status == "success") {
        Take(writers);
        lastImage = Clock::now();
        // Never more pages in hand than the writers can take.
        bool fine = Confirm(writers, std::chrono::milliseconds(0));
        while (fine && pending_.size() >= ahead) fine = Confirm(writers, kImageWait);
        if (!fine) return Abandon(writers);
      } else if (status == "noimageready" || status == "endofsheet") {
        if (Clock::now() - lastImage > kImageWait) {
          std::cout << "getoutput: no image for " << kImageWait.count() << " s\n";
          return Drain(writers) ? 2 : Abandon(writers);
        }
        // The poll's pause is spent waiting for a page to be written.
        if (!Confirm(writers, pending_.empty() ? std::chrono::milliseconds(0) : kPollInterval)) {
          return Abandon(writers);
        }
        if (pending_.empty()) std::this_thread::sleep_for(kPollInterval);
      } else {
        if (status != "endofoutput") std::cout << "getoutput: " << status << "\n";
        if (!Drain(writers)) return Abandon(writers);
        return status == "endofoutput" && skipped_ == 0 ? 0 : 2;
      }
    }
  }

  // The page of the last reply, checked and handed to a writer; a page
  // whose description does not fit its file is kept only to be confirmed.
  void Take(PageWriters* writers) {
    auto job = std::make_shared<PageJob>();
    job->number = ++number_;
    job->sheet = ReplyElement(reply_, "outputsheetcount");
    job->side = ReplyElement(reply_, "outputsheetimagecount") == "2" ? "rear" : "front";
    job->rawName = ReplyElement(reply_, "imagefilename");
    job->described = DescribePage(reply_, &job->page, &job->reason);
    if (job->described) {
      char name[96];
      std::snprintf(name, sizeof name, "page-%04d-sheet%s-%s", job->number, job->sheet.c_str(), job->side.c_str());
      job->base = (std::filesystem::path(options_.out) / name).string();
      writers->Submit(job);
    } else {
      job->done = true;
    }
    pending_.push_back(std::move(job));
  }

  // Confirms the pages at the head that are done, waiting up to the time
  // given for the first. False when a page could not be written: it is
  // not confirmed, and the batch ends.
  bool Confirm(PageWriters* writers, std::chrono::milliseconds wait) {
    while (!pending_.empty()) {
      PageJob& job = *pending_.front();
      if (!writers->Done(job, wait)) return true;
      wait = std::chrono::milliseconds(0);
      if (job.described && !job.written) return false;
      Report(job);
      const std::string ended = Send("imageend", Leaf("imagefilename", job.rawName));
      if (ended != "success") std::cout << "imageend: " << ended << "\n";
      pending_.pop_front();
    }
    return true;
  }

  bool Drain(PageWriters* writers) {
    while (!pending_.empty()) {
      if (!Confirm(writers, kImageWait)) return false;
    }
    return true;
  }

  // A page that could not be written ends the batch as it did when pages
  // were written one by one: the pages before it stay, and nothing fetched
  // after it is kept or confirmed.
  int Abandon(PageWriters* writers) {
    for (const auto& job : pending_) writers->Finish(*job);
    if (!pending_.empty()) {
      const PageJob& failed = *pending_.front();
      std::printf("page %d: sheet %s %s not written: %s\n", failed.number, failed.sheet.c_str(), failed.side.c_str(),
                  failed.reason.c_str());
      for (auto it = pending_.begin() + 1; it != pending_.end(); ++it) {
        if (!(*it)->written) continue;
        std::error_code error;
        std::filesystem::remove((*it)->base + ".tif", error);
        std::filesystem::remove((*it)->base + ".jpg", error);
      }
    }
    pending_.clear();
    return 2;
  }

  void Report(const PageJob& job) {
    if (!job.described) {
      std::printf("page %d: sheet %s %s skipped: %s\n", job.number, job.sheet.c_str(), job.side.c_str(),
                  job.reason.c_str());
      ++skipped_;
    } else {
      ++written_;
      std::printf("page %d: sheet %s %s, %ldx%ld %s %ld dpi, %s\n", job.number, job.sheet.c_str(), job.side.c_str(),
                  job.page.width, job.page.height, job.page.formatName.c_str(), job.page.resolution,
                  job.files.c_str());
    }
    std::fflush(stdout);
  }

  void Close() {
    if (scanning_) Expect("scanend");
    if (sessionBegun_) Expect("sessionend");
    if (opened_) Expect("interfaceclose");
  }

  EntryFunction entry_;
  const ScanOptions& options_;
  std::string reply_;
  std::deque<std::shared_ptr<PageJob>> pending_;  // fetched, not yet confirmed, in fetch order
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
