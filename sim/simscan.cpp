// simscan: drives a simulated scanner unit (a device-manager library with
// ScannerEntry) through one whole batch from the command line, as the
// device engine would, and prints every reply: interfaceopen, sessionbegin
// (synchronous, or asynchronous with its completion callback), version and
// support queries, the imageavailable callback, a setup of one stream per
// side, scanbegin, getoutput and imageend until "endofoutput", scanend,
// sessionend and interfaceclose. With --out each image is also saved as a
// PBM, PGM or PPM file.
//
// With --nexil PATH an image-library stand-in (a library with NexEntry) is
// loaded too, opened and set up with the same streams, and each page passes
// through it in process, as the device engine's image-library path does:
// setinput, getoutput until "endofoutput", imageend of each output, then the
// page's imageend at the scanner. Its tasks print with "nexil/" in front.
//
// Exit status: 0 the batch ended with "endofoutput", 2 it ended with another
// status word (a fault), 1 usage, loading or protocol errors.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

typedef const char* (*PfnScannerEntry)(const char*);  // ScannerEntry and NexEntry alike

struct SimScanOptions {
  std::string strLibrary = SIMSCAN_DEFAULT_LIBRARY;
  std::string strNexil;  // the image library, when pages pass through one
  std::string strModel;
  std::vector<std::pair<std::string, std::string>> vflag;
  bool blAsync = false;
  std::string strFormat = "bw";
  int iResolution = 200;
  bool blSimplex = false;
  int iBuffers = 4;
  std::string strOut;
  bool blQuiet = false;
};

// What the callbacks tell the main thread.
struct SimScanSignal {
  std::mutex mutex;
  std::condition_variable cv;
  bool blOpened = false;
  int iImageAvailable = 0;
};
SimScanSignal s_simscansignal;

int OpenComplete(void*) {
  std::lock_guard<std::mutex> lock(s_simscansignal.mutex);
  s_simscansignal.blOpened = true;
  s_simscansignal.cv.notify_all();
  return 0;
}

int ImageAvailable(void*) {
  std::lock_guard<std::mutex> lock(s_simscansignal.mutex);
  ++s_simscansignal.iImageAvailable;
  s_simscansignal.cv.notify_all();
  return 0;
}

// Waits up to 30 s for a callback; false on time-out.
template <typename Predicate>
bool WaitFor(Predicate a_predicate) {
  std::unique_lock<std::mutex> lock(s_simscansignal.mutex);
  return s_simscansignal.cv.wait_for(lock, std::chrono::seconds(30), a_predicate);
}

std::string Pointer(const void* a_pv) {
  char sz[32];
  std::snprintf(sz, sizeof sz, "%016llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(a_pv)));
  return sz;
}

// The text of the first <a_szName> element of a reply; empty when missing.
std::string Element(const std::string& a_strReply, const char* a_szName) {
  const std::string strOpen = std::string("<") + a_szName + ">";
  const size_t sizetStart = a_strReply.find(strOpen);
  if (sizetStart == std::string::npos) return std::string();
  const size_t sizetEnd = a_strReply.find(std::string("</") + a_szName + ">", sizetStart);
  if (sizetEnd == std::string::npos) return std::string();
  return a_strReply.substr(sizetStart + strOpen.size(), sizetEnd - sizetStart - strOpen.size());
}

class CSimScan {
 public:
  CSimScan(const SimScanOptions& a_options, PfnScannerEntry a_pfn, PfnScannerEntry a_pfnNexil)
      : m_options(a_options), m_pfnScannerEntry(a_pfn), m_pfnNexEntry(a_pfnNexil) {}

  // Sends one command (its body already formatted) to the scanner and
  // returns the status word; the reply is kept in m_strReply.
  std::string Send(const std::string& a_strCommand, const std::string& a_strBody = std::string()) {
    return SendTo(m_pfnScannerEntry, "", a_strCommand, a_strBody, m_strReply);
  }

  // The same to the image library; its reply is kept in m_strNexilReply.
  std::string SendNexil(const std::string& a_strCommand, const std::string& a_strBody = std::string()) {
    return SendTo(m_pfnNexEntry, "nexil/", a_strCommand, a_strBody, m_strNexilReply);
  }

  std::string SendTo(PfnScannerEntry a_pfnEntry, const char* a_szPrefix, const std::string& a_strCommand,
                     const std::string& a_strBody, std::string& a_strReply) {
    std::string strBody = "\t<" + a_strCommand + ">\n" + a_strBody + "\t</" + a_strCommand + ">\n";
    char szLine[128];
    const size_t sizetTotal = 91 + strBody.size() + 8;
    std::snprintf(szLine, sizeof szLine, "<task id='%020d' reply='%020d' bytes='%020zu'>\n", ++m_iTaskId, 0,
                  sizetTotal);
    const std::string strTask = szLine + strBody + "</task>\n";
    const char* szReply = a_pfnEntry(strTask.c_str());
    a_strReply = szReply ? szReply : "";
    const std::string strStatus = Element(a_strReply, "status");
    if (m_options.blQuiet) {
      std::printf("%s%s: %s\n", a_szPrefix, a_strCommand.c_str(), strStatus.c_str());
    } else {
      std::printf("--> %s%s\n%s", a_szPrefix, a_strCommand.c_str(), a_strReply.c_str());
    }
    std::fflush(stdout);
    return strStatus;
  }

  static std::string Leaf(const char* a_szName, const std::string& a_strValue, int a_iTabs = 2) {
    return std::string(a_iTabs, '\t') + "<" + a_szName + ">" + a_strValue + "</" + a_szName + ">\n";
  }

  int Run() {
    if (!Open()) return 1;
    if (m_pfnNexEntry && !OpenNexil()) {
      Send("sessionend");
      Send("interfaceclose");
      return 1;
    }
    const int iResult = Batch();
    if (m_pfnNexEntry) {
      SendNexil("sessionend");
      SendNexil("interfaceclose");
    }
    Send("sessionend");
    Send("interfaceclose");
    return iResult;
  }

 private:
  bool Open() {
    std::string strSimulate = Leaf("simulation", "true", 3);
    if (!m_options.strModel.empty()) strSimulate += Leaf("simmodel", m_options.strModel, 3);
    for (const auto& flag : m_options.vflag) {
      strSimulate += "\t\t\t<simflag>\n" + Leaf("id", flag.first, 4) + Leaf("value", flag.second, 4) +
                     Leaf("text", "", 4) + "\t\t\t</simflag>\n";
    }
    if (Send("interfaceopen", "\t\t<simulate>\n" + strSimulate + "\t\t</simulate>\n") != "success") return false;
    if (m_options.blAsync) {
      const std::string strStatus =
          Send("sessionbegin", Leaf("monitorbuttonevents", "true") + Leaf("callbackname", "interfaceopencomplete") +
                                   Leaf("functionptr", Pointer(reinterpret_cast<void*>(&OpenComplete))) +
                                   Leaf("userargumentptr", Pointer(this)));
      if (strStatus == "notcomplete" && !WaitFor([] { return s_simscansignal.blOpened; })) {
        std::fprintf(stderr, "simscan: the open did not complete\n");
        Send("sessionend");
        Send("interfaceclose");
        return false;
      }
      if (strStatus != "notcomplete" && strStatus != "success") return Close();
    } else if (Send("sessionbegin", Leaf("monitorbuttonevents", "false")) != "success") {
      return Close();
    }
    Send("getversionuser");
    if (Send("querysupport") != "success") {
      Send("sessionend");
      Send("interfaceclose");
      return false;
    }
    // The unit describes itself: a flatbed scans with its own camera, a
    // feeder with a rear camera scans both sides.
    const size_t sizetSources = m_strReply.find("<id>papersource</id>");
    const std::string strSources =
        sizetSources == std::string::npos ? std::string() : Element(m_strReply.substr(sizetSources), "value");
    m_blFlatbed = strSources == "flatbed";
    m_blDuplex = !m_blFlatbed && !m_options.blSimplex && m_strReply.find("<value>rear</value>") != std::string::npos;
    Send("registercallback", Leaf("callbackname", "imageavailable") +
                                 Leaf("functionptr", Pointer(reinterpret_cast<void*>(&ImageAvailable))) +
                                 Leaf("userargumentptr", Pointer(this)));
    return true;
  }

  bool Close() {
    Send("interfaceclose");
    return false;
  }

  bool OpenNexil() {
    if (SendNexil("interfaceopen", Leaf("usesession", "true")) != "success") return false;
    if (SendNexil("sessionbegin", Leaf("eolmode", "none") + Leaf("language", "en_usa")) == "success") return true;
    SendNexil("interfaceclose");
    return false;
  }

  // One stream per camera, on the scanner and, with one, the image library.
  bool Setup() {
    if (!SetupOne(m_pfnScannerEntry, "", m_strReply)) return false;
    return !m_pfnNexEntry || SetupOne(m_pfnNexEntry, "nexil/", m_strNexilReply);
  }

  bool SetupOne(PfnScannerEntry a_pfnEntry, const char* a_szPrefix, std::string& a_strReply) {
    const auto To = [&](const char* a_szCommand, const std::string& a_strBody) {
      return SendTo(a_pfnEntry, a_szPrefix, a_szCommand, a_strBody, a_strReply);
    };
    const bool blColor = m_options.strFormat != "bw";
    To("setupbegin", Leaf("setupscan", "true"));
    std::vector<std::string> vstrWindow;
    const std::vector<std::string> vstrCamera =
        m_blFlatbed ? std::vector<std::string>{"flatbed"}
                    : m_blDuplex ? std::vector<std::string>{"front", "rear"} : std::vector<std::string>{"front"};
    for (size_t i = 0; i < vstrCamera.size(); ++i) {
      To("createcamera", Leaf("cameratype", vstrCamera[i]) + Leaf("cameraid", vstrCamera[i]));
      const std::string strWindow = std::string("window_00") + static_cast<char>('0' + (blColor ? 4 : 2) + i);
      const std::string strStatus =
          To("windowadd", Leaf("cameraid", vstrCamera[i]) + Leaf("windowtype", blColor ? "color" : "bitonal") +
                              Leaf("windowid", strWindow) + Leaf("imageformat", m_options.strFormat) +
                              Leaf("imageresolutionx", std::to_string(m_options.iResolution) + "_dpi"));
      if (strStatus != "success") {
        To("setupend", Leaf("cancel", "true"));
        return false;
      }
      vstrWindow.push_back(strWindow);
    }
    std::string strOrder;
    for (const std::string& strWindow : vstrWindow) strOrder += Leaf("windowid", strWindow);
    To("setwindoworder", strOrder);
    return To("setupend", Leaf("cancel", "false")) == "success";
  }

  int Batch() {
    if (!Setup()) return 1;
    std::string strStatus = Send("scanbegin", Leaf("imagebuffercount", std::to_string(m_options.iBuffers)));
    while (strStatus == "lampswarming") {
      const int iSeconds = std::max(1, std::atoi(Element(m_strReply, "lampwarmuptime").c_str()));
      std::this_thread::sleep_for(std::chrono::seconds(iSeconds));
      strStatus = Send("scanbegin", Leaf("imagebuffercount", std::to_string(m_options.iBuffers)));
    }
    if (strStatus != "success") return 1;
    if (m_pfnNexEntry &&
        SendNexil("scanbegin", Leaf("imagebuffercount", std::to_string(m_options.iBuffers))) != "success") {
      Send("scanend");
      return 1;
    }
    int iResult = 0;
    for (;;) {
      const int iSeen = ImageAvailableCount();
      strStatus = Send("getoutput");
      if (strStatus == "success") {
        const std::string strPage = Element(m_strReply, "imagefilename");
        if (m_pfnNexEntry ? !PassThroughNexil() : !SaveImage(m_strReply)) iResult = 1;
        Send("imageend", Leaf("imagefilename", strPage));
      } else if (strStatus == "noimageready") {
        if (!WaitFor([iSeen] { return s_simscansignal.iImageAvailable > iSeen; })) {
          std::fprintf(stderr, "simscan: no imageavailable callback came\n");
          iResult = 1;
          break;
        }
      } else if (strStatus == "useraction") {
        // The user goes on with what the unit offered.
        Send("userinput", Leaf("useraction", Element(m_strReply, "useraction")));
      } else if (strStatus == "endofoutput") {
        break;
      } else if (strStatus != "endofsheet") {
        std::fprintf(stderr, "simscan: the batch ended with <%s>\n", strStatus.c_str());
        iResult = 2;
        break;
      }
    }
    if (m_pfnNexEntry) SendNexil("scanend");
    Send("scanend");
    std::printf("images: %d\n", m_iImages);
    return iResult;
  }

  // The page of the last scanner reply through the image library: each of
  // its outputs is saved and let go.
  bool PassThroughNexil() {
    if (SendNexil("setinput", Element(m_strReply, "reportimage")) != "success") return false;
    for (;;) {
      const std::string strStatus = SendNexil("getoutput");
      if (strStatus == "endofoutput") return true;
      if (strStatus != "success") return false;
      const bool blSaved = SaveImage(m_strNexilReply);
      if (SendNexil("imageend", Leaf("imagefilename", Element(m_strNexilReply, "imagefilename"))) != "success" ||
          !blSaved) {
        return false;
      }
    }
  }

  static int ImageAvailableCount() {
    std::lock_guard<std::mutex> lock(s_simscansignal.mutex);
    return s_simscansignal.iImageAvailable;
  }

  // The raw lines get a netpbm header: bitonal lines are already P4's.
  bool SaveImage(const std::string& a_strReply) {
    ++m_iImages;
    if (m_options.strOut.empty()) return true;
    const std::string strFormat = Element(a_strReply, "imageformat");
    const long lResolution = std::atol(Element(a_strReply, "imageresolutionx").c_str());
    const long lWidth = std::atol(Element(a_strReply, "imagewidth").c_str()) * lResolution / 1200;
    const long lHeight = std::atol(Element(a_strReply, "imageheight").c_str()) * lResolution / 1200;
    const char* szMagic = strFormat == "bw" ? "P4" : strFormat == "gray_8" ? "P5" : "P6";
    const char* szExtension = strFormat == "bw" ? "pbm" : strFormat == "gray_8" ? "pgm" : "ppm";
    char szName[128];
    std::snprintf(szName, sizeof szName, "/image-%04d-sheet%s-%s.%s", m_iImages,
                  Element(a_strReply, "sheetnumber").c_str(), Element(a_strReply, "cameraid").c_str(), szExtension);
    std::ifstream in(Element(a_strReply, "imagefilename"), std::ios::binary);
    std::ofstream out(m_options.strOut + szName, std::ios::binary);
    out << szMagic << "\n" << lWidth << " " << lHeight << "\n" << (strFormat == "bw" ? "" : "255\n") << in.rdbuf();
    if (!in || !out) {
      std::fprintf(stderr, "simscan: cannot save %s%s\n", m_options.strOut.c_str(), szName);
      return false;
    }
    return true;
  }

  const SimScanOptions& m_options;
  PfnScannerEntry m_pfnScannerEntry;
  PfnScannerEntry m_pfnNexEntry;  // null without the image library
  std::string m_strReply;
  std::string m_strNexilReply;
  int m_iTaskId = 0;
  int m_iImages = 0;
  bool m_blFlatbed = false;
  bool m_blDuplex = false;
};

int Usage(FILE* a_pfile, int a_iStatus) {
  std::fprintf(a_pfile,
               "usage: simscan [--library PATH] [--model NAME] [--flag ID=VALUE]... [--async]\n"
               "               [--format bw|gray_8|rgb_24] [--resolution DPI] [--simplex] [--buffers N]\n"
               "               [--out DIR] [--quiet] [--nexil PATH]\n"
               "The flatbed unit of the staged layout: --library <...>/" SIMSCAN_FLATBED_DIRECTORY "/lib/device.so\n");
  return a_iStatus;
}

}  // namespace

int main(int argc, char** argv) {
  SimScanOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string strArg = argv[i];
    const bool blValue = i + 1 < argc;
    if (strArg == "--help") {
      return Usage(stdout, 0);
    } else if (strArg == "--async") {
      options.blAsync = true;
    } else if (strArg == "--simplex") {
      options.blSimplex = true;
    } else if (strArg == "--quiet") {
      options.blQuiet = true;
    } else if (strArg == "--library" && blValue) {
      options.strLibrary = argv[++i];
    } else if (strArg == "--nexil" && blValue) {
      options.strNexil = argv[++i];
    } else if (strArg == "--model" && blValue) {
      options.strModel = argv[++i];
    } else if (strArg == "--format" && blValue) {
      options.strFormat = argv[++i];
    } else if (strArg == "--resolution" && blValue) {
      options.iResolution = std::atoi(argv[++i]);
    } else if (strArg == "--buffers" && blValue) {
      options.iBuffers = std::atoi(argv[++i]);
    } else if (strArg == "--out" && blValue) {
      options.strOut = argv[++i];
    } else if (strArg == "--flag" && blValue && std::strchr(argv[i + 1], '=')) {
      const std::string strFlag = argv[++i];
      const size_t sizetEqual = strFlag.find('=');
      options.vflag.emplace_back(strFlag.substr(0, sizetEqual), strFlag.substr(sizetEqual + 1));
    } else {
      return Usage(stderr, 1);
    }
  }
  void* pvLibrary = dlopen(options.strLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!pvLibrary) {
    std::fprintf(stderr, "simscan: cannot load %s: %s\n", options.strLibrary.c_str(), dlerror());
    return 1;
  }
  auto pfn = reinterpret_cast<PfnScannerEntry>(dlsym(pvLibrary, "ScannerEntry"));
  if (!pfn) {
    std::fprintf(stderr, "simscan: %s has no ScannerEntry\n", options.strLibrary.c_str());
    return 1;
  }
  PfnScannerEntry pfnNexil = nullptr;
  if (!options.strNexil.empty()) {
    void* pvNexil = dlopen(options.strNexil.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!pvNexil) {
      std::fprintf(stderr, "simscan: cannot load %s: %s\n", options.strNexil.c_str(), dlerror());
      return 1;
    }
    pfnNexil = reinterpret_cast<PfnScannerEntry>(dlsym(pvNexil, "NexEntry"));
    if (!pfnNexil) {
      std::fprintf(stderr, "simscan: %s has no NexEntry\n", options.strNexil.c_str());
      return 1;
    }
  }
  return CSimScan(options, pfn, pfnNexil).Run();
}
