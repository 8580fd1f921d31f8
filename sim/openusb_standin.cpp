// Stand-in of the USB library the device service loads at run time: the 46
// functions with the prototypes of os_openusb.h (ours, written from what the
// service needs; never tried against the real library), over devices and
// behaviour a script file describes. Asynchronous requests complete on the
// stand-in's own thread; device events are sent from it too.
//
// OPENUSB_STANDIN_SCRIPT names the script, one directive per line:
//   device DEVID VID PID [bulkmax=N] [ctrlmax=N] [configs=N] [interfaces=N]
//   endpoint DEVID ADDRESS bulk|interrupt MAXPACKET
//   initfail STATUS         openusb_init fails with that status
//   listfail STATUS         the device id list fails
//   descfail DEVID N        the next N device descriptors of DEVID fail
//   status ADDRESS STATUS   the next request on the endpoint ends with STATUS
//   short ADDRESS N         the next request on the endpoint moves N bytes
//   hang ADDRESS            the next request on the endpoint never ends
//   interrupt HEXBYTES      an interrupt payload, handed out in order
// Numbers are decimal or 0x-prefixed hexadecimal; bulk-in data is the byte
// stream 0, 1, 2, ... 255, 0, ... of the endpoint. OPENUSB_STANDIN_TRACE
// names a file that gets one line per call.
//
// For tests, also exported: openusbstandin_line (one more directive),
// openusbstandin_remove (the device goes: an event, its requests end with
// the device-gone status) and openusbstandin_attach (it comes back under a
// new id).
#include <algorithm>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "os_openusb.h"

namespace {

struct Endpoint {
  uint8_t address = 0;
  uint8_t type = 2;
  uint16_t maxPacket = 512;
};

struct Device {
  openusb_devid_t devid = 0;
  uint16_t vid = 0, pid = 0;
  uint32_t bulkMax = 65536, ctrlMax = 4096;
  uint8_t configs = 1, interfaces = 1;
  int descFail = 0;
  bool present = true;
  openusb_dev_handle_t handle = 0;  // while open
  std::vector<Endpoint> endpoints;
};

// What the next request on an endpoint does.
struct Rule {
  enum Kind { Status, Short, Hang } kind;
  int64_t value;
};

struct State {
  std::mutex mutex;
  std::condition_variable cond;
  bool scriptRead = false;
  int32_t initFail = 0, listFail = 0;
  std::map<openusb_devid_t, Device> devices;
  std::map<uint8_t, std::deque<Rule>> rules;
  std::map<uint8_t, uint64_t> streamOffset;
  std::deque<std::vector<uint8_t>> interrupts;
  // Work of the stand-in's thread: requests to complete and events to send.
  std::deque<openusb_request_handle_t> queue;
  std::vector<openusb_request_handle_t> hung;
  std::deque<std::pair<openusb_devid_t, openusb_event>> events;
  std::vector<openusb_request_handle_t> waiting;  // xfer_wait callers
  std::map<openusb_request_handle_t, int32_t> ended;  // waits ended early
  std::set<openusb_request_handle_t> aborted;
  openusb_event_callback_t eventCallback[5] = {};
  void* eventArg[5] = {};
  openusb_debug_callback_t debug = nullptr;
  std::thread worker;
  bool running = false;
};

State& S() {
  static State s_state;
  return s_state;
}

void Trace(const char* a_szFormat, ...) {
  const char* szPath = std::getenv("OPENUSB_STANDIN_TRACE");
  if (!szPath || !*szPath) return;
  char szLine[512];
  va_list valist;
  va_start(valist, a_szFormat);
  std::vsnprintf(szLine, sizeof szLine, a_szFormat, valist);
  va_end(valist);
  static std::mutex s_mutexTrace;
  std::lock_guard<std::mutex> lock(s_mutexTrace);
  if (FILE* pfile = std::fopen(szPath, "a")) {
    std::fprintf(pfile, "%s\n", szLine);
    std::fclose(pfile);
  }
}

int64_t Number(const std::string& a_str) { return std::strtoll(a_str.c_str(), nullptr, 0); }

// One directive; the caller holds the mutex.
void Apply(const std::string& a_strLine) {
  std::istringstream in(a_strLine);
  std::string strWord;
  if (!(in >> strWord) || strWord[0] == '#') return;
  State& s = S();
  std::string a, b, c, d;
  if (strWord == "device" && in >> a >> b >> c) {
    Device& device = s.devices[Number(a)];
    device.devid = Number(a);
    device.vid = static_cast<uint16_t>(Number(b));
    device.pid = static_cast<uint16_t>(Number(c));
    for (std::string strOption; in >> strOption;) {
      auto eq = strOption.find('=');
      if (eq == std::string::npos) continue;
      const std::string strKey = strOption.substr(0, eq);
      const int64_t i64 = Number(strOption.substr(eq + 1));
      if (strKey == "bulkmax") device.bulkMax = static_cast<uint32_t>(i64);
      if (strKey == "ctrlmax") device.ctrlMax = static_cast<uint32_t>(i64);
      if (strKey == "configs") device.configs = static_cast<uint8_t>(i64);
      if (strKey == "interfaces") device.interfaces = static_cast<uint8_t>(i64);
    }
  } else if (strWord == "endpoint" && in >> a >> b >> c >> d) {
    Endpoint endpoint;
    endpoint.address = static_cast<uint8_t>(Number(b));
    endpoint.type = c == "interrupt" ? 3 : 2;
    endpoint.maxPacket = static_cast<uint16_t>(Number(d));
    s.devices[Number(a)].endpoints.push_back(endpoint);
  } else if (strWord == "initfail" && in >> a) {
    s.initFail = static_cast<int32_t>(Number(a));
  } else if (strWord == "listfail" && in >> a) {
    s.listFail = static_cast<int32_t>(Number(a));
  } else if (strWord == "descfail" && in >> a >> b) {
    s.devices[Number(a)].descFail = static_cast<int>(Number(b));
  } else if (strWord == "status" && in >> a >> b) {
    s.rules[static_cast<uint8_t>(Number(a))].push_back({Rule::Status, Number(b)});
  } else if (strWord == "short" && in >> a >> b) {
    s.rules[static_cast<uint8_t>(Number(a))].push_back({Rule::Short, Number(b)});
  } else if (strWord == "hang" && in >> a) {
    s.rules[static_cast<uint8_t>(Number(a))].push_back({Rule::Hang, 0});
  } else if (strWord == "interrupt" && in >> a) {
    std::vector<uint8_t> payload;
    for (size_t i = 0; i + 1 < a.size(); i += 2) payload.push_back(static_cast<uint8_t>(std::stoul(a.substr(i, 2), nullptr, 16)));
    s.interrupts.push_back(payload);
  }
}

// The script afresh for every instance of the library.
void ReadScript() {
  State& s = S();
  if (s.scriptRead) return;
  s.scriptRead = true;
  s.initFail = s.listFail = 0;
  s.devices.clear();
  s.rules.clear();
  s.streamOffset.clear();
  s.interrupts.clear();
  const char* szPath = std::getenv("OPENUSB_STANDIN_SCRIPT");
  if (!szPath) return;
  std::ifstream in(szPath);
  for (std::string strLine; std::getline(in, strLine);) Apply(strLine);
}

Device* Find(openusb_devid_t a_devid) {
  auto it = S().devices.find(a_devid);
  return it == S().devices.end() || !it->second.present ? nullptr : &it->second;
}

// The device an open handle names; a handle stays with its device when the
// device comes back under a new id.
Device* FromHandle(openusb_dev_handle_t a_dev) {
  for (auto& [devid, device] : S().devices) {
    if (device.handle == a_dev && a_dev) return device.present ? &device : nullptr;
  }
  return nullptr;
}

openusb_request_result* Result(openusb_request_handle_t a_request) {
  switch (a_request->type) {
    case OPENUSB_TRANSFER_TYPE_CONTROL: return &a_request->req.ctrl->result;
    case OPENUSB_TRANSFER_TYPE_INTERRUPT: return &a_request->req.intr->result;
    default: return &a_request->req.bulk->result;
  }
}

// Moves the bytes of a bulk or interrupt request as the endpoint's rules
// say; false when it hangs. The caller holds the mutex.
bool Perform(openusb_request_handle_t a_request) {
  State& s = S();
  openusb_request_result* presult = Result(a_request);
  uint8_t* payload = a_request->type == OPENUSB_TRANSFER_TYPE_INTERRUPT ? a_request->req.intr->payload
                                                                         : a_request->req.bulk->payload;
  const uint32_t length = a_request->type == OPENUSB_TRANSFER_TYPE_INTERRUPT ? a_request->req.intr->length
                                                                              : a_request->req.bulk->length;
  if (!FromHandle(a_request->dev)) {
    *presult = {OPENUSB_IO_NO_DEVICE, 0};
    return true;
  }
  uint32_t done = length;
  auto& rules = s.rules[a_request->endpoint];
  if (!rules.empty()) {
    Rule rule = rules.front();
    rules.pop_front();
    if (rule.kind == Rule::Hang) return false;
    if (rule.kind == Rule::Status) {
      *presult = {static_cast<int32_t>(rule.value), 0};
      return true;
    }
    done = static_cast<uint32_t>(rule.value < length ? rule.value : length);
  }
  uint64_t& offset = s.streamOffset[a_request->endpoint];
  if (a_request->endpoint & 0x80) {
    for (uint32_t i = 0; i < done; ++i) payload[i] = static_cast<uint8_t>((offset + i) & 0xff);
    Trace("bulk_in ep=0x%02x len=%u done=%u", a_request->endpoint, length, done);
  } else {
    uint32_t sum = 0;
    for (uint32_t i = 0; i < done; ++i) sum += payload[i];
    Trace("bulk_out ep=0x%02x len=%u sum=%u", a_request->endpoint, length, sum);
  }
  offset += done;
  *presult = {OPENUSB_SUCCESS, done};
  return true;
}

void Complete(openusb_request_handle_t a_request, std::unique_lock<std::mutex>& a_lock) {
  a_lock.unlock();
  if (a_request->cb) a_request->cb(a_request);
  a_lock.lock();
}

// The stand-in's own thread: completes requests and sends device events.
void Worker() {
  State& s = S();
  std::unique_lock<std::mutex> lock(s.mutex);
  while (s.running) {
    if (!s.events.empty()) {
      auto [devid, event] = s.events.front();
      s.events.pop_front();
      openusb_event_callback_t callback = s.eventCallback[event];
      void* arg = s.eventArg[event];
      lock.unlock();
      if (callback) callback(1, devid, event, arg);
      lock.lock();
      continue;
    }
    if (!s.queue.empty()) {
      openusb_request_handle_t request = s.queue.front();
      s.queue.pop_front();
      if (s.aborted.erase(request)) {
        *Result(request) = {OPENUSB_IO_CANCELED, 0};
        Complete(request, lock);
      } else if (Perform(request)) {
        Complete(request, lock);
      } else {
        Trace("hang ep=0x%02x", request->endpoint);
        s.hung.push_back(request);
      }
      continue;
    }
    s.cond.wait(lock);
  }
}

// Requests of a device that went away end with the device-gone status.
void EndRequestsOf(openusb_devid_t a_devid, std::unique_lock<std::mutex>& a_lock) {
  State& s = S();
  const openusb_dev_handle_t handle = s.devices.count(a_devid) ? s.devices[a_devid].handle : 0;
  std::vector<openusb_request_handle_t> ended;
  for (auto it = s.hung.begin(); it != s.hung.end();) {
    if ((*it)->dev == handle) {
      ended.push_back(*it);
      it = s.hung.erase(it);
    } else {
      ++it;
    }
  }
  for (openusb_request_handle_t request : s.waiting) {
    if (request->dev == handle) s.ended[request] = OPENUSB_IO_NO_DEVICE;
  }
  for (openusb_request_handle_t request : ended) {
    *Result(request) = {OPENUSB_IO_NO_DEVICE, 0};
    Complete(request, a_lock);
  }
  s.cond.notify_all();
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void openusbstandin_line(const char* a_szLine) {
  std::lock_guard<std::mutex> lock(S().mutex);
  ReadScript();
  Apply(a_szLine ? a_szLine : "");
  S().cond.notify_all();
}

__attribute__((visibility("default"))) void openusbstandin_remove(openusb_devid_t a_devid) {
  State& s = S();
  std::unique_lock<std::mutex> lock(s.mutex);
  Trace("remove %llu", static_cast<unsigned long long>(a_devid));
  if (s.devices.count(a_devid)) s.devices[a_devid].present = false;
  EndRequestsOf(a_devid, lock);
  s.events.push_back({a_devid, OPENUSB_EVENT_REMOVE});
  s.cond.notify_all();
}

__attribute__((visibility("default"))) void openusbstandin_attach(openusb_devid_t a_devidOld,
                                                                  openusb_devid_t a_devidNew) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  Trace("attach %llu as %llu", static_cast<unsigned long long>(a_devidOld), static_cast<unsigned long long>(a_devidNew));
  Device device = s.devices[a_devidOld];
  s.devices.erase(a_devidOld);
  // Descriptor failures scripted for the new id stay.
  device.descFail = s.devices.count(a_devidNew) ? s.devices[a_devidNew].descFail : 0;
  device.devid = a_devidNew;
  device.present = true;
  s.devices[a_devidNew] = device;
  s.events.push_back({a_devidNew, OPENUSB_EVENT_ATTACH});
  s.cond.notify_all();
}

int32_t openusb_init(uint32_t, openusb_handle_t* handle) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.scriptRead = false;
  ReadScript();
  Trace("init");
  if (s.initFail) return s.initFail;
  if (!handle) return OPENUSB_BADARG;
  *handle = 1;
  if (!s.running) {
    s.running = true;
    s.worker = std::thread(Worker);
  }
  return OPENUSB_SUCCESS;
}

void openusb_fini(openusb_handle_t) {
  State& s = S();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    Trace("fini");
    s.running = false;
    s.scriptRead = false;
    s.cond.notify_all();
  }
  if (s.worker.joinable()) s.worker.join();
}

int32_t openusb_set_event_callback(openusb_handle_t, openusb_event event, openusb_event_callback_t callback, void* arg) {
  State& s = S();
  if (event < 0 || event > 4) return OPENUSB_BADARG;
  std::lock_guard<std::mutex> lock(s.mutex);
  Trace("set_event_callback %d %s", static_cast<int>(event), callback ? "set" : "cleared");
  s.eventCallback[event] = callback;
  s.eventArg[event] = arg;
  return OPENUSB_SUCCESS;
}

void openusb_coldplug_callbacks_done(openusb_handle_t) { Trace("coldplug_callbacks_done"); }

static void DebugMessage(openusb_debug_callback_t callback, const char* format, ...) {
  va_list valist;
  va_start(valist, format);
  callback(1, format, valist);
  va_end(valist);
}

int32_t openusb_set_debug(openusb_handle_t, uint32_t level, uint32_t, openusb_debug_callback_t callback) {
  Trace("set_debug %u", level);
  if (callback && level) DebugMessage(callback, "openusb stand-in: debug level %u", level);
  return OPENUSB_SUCCESS;
}

int32_t openusb_set_default_timeout(openusb_handle_t, openusb_transfer_type, uint32_t) { return OPENUSB_SUCCESS; }

const char* openusb_strerror(int32_t error) {
  switch (error) {
    case OPENUSB_SUCCESS: return "success";
    case OPENUSB_IO_TIMEOUT: return "timed out";
    case OPENUSB_IO_CANCELED: return "cancelled";
    case OPENUSB_IO_NO_DEVICE: return "no device";
    default: return "failure";
  }
}

int32_t openusb_parse_data(const char*, uint8_t*, uint32_t, void*, uint32_t, uint32_t*) { return OPENUSB_PLATFORM_FAILURE; }

int32_t openusb_get_busid_list(openusb_handle_t, openusb_busid_t** busids, uint32_t* num) {
  *busids = static_cast<openusb_busid_t*>(std::calloc(1, sizeof(openusb_busid_t)));
  (*busids)[0] = 1;
  *num = 1;
  return OPENUSB_SUCCESS;
}

void openusb_free_busid_list(openusb_busid_t* busids) { std::free(busids); }

int32_t openusb_get_devids_by_bus(openusb_handle_t, openusb_busid_t, openusb_devid_t** devids, uint32_t* num) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  Trace("get_devids_by_bus");
  if (s.listFail) return s.listFail;
  *devids = static_cast<openusb_devid_t*>(std::calloc(s.devices.size() + 1, sizeof(openusb_devid_t)));
  uint32_t n = 0;
  for (auto& [devid, device] : s.devices) {
    if (device.present) (*devids)[n++] = devid;
  }
  *num = n;
  return OPENUSB_SUCCESS;
}

int32_t openusb_get_devids_by_vendor(openusb_handle_t, int32_t, int32_t, openusb_devid_t**, uint32_t*) {
  return OPENUSB_PLATFORM_FAILURE;
}

int32_t openusb_get_devids_by_class(openusb_handle_t, int16_t, int16_t, int16_t, openusb_devid_t**, uint32_t*) {
  return OPENUSB_PLATFORM_FAILURE;
}

void openusb_free_devid_list(openusb_devid_t* devids) { std::free(devids); }

// Vendor and product texts as string descriptors.
static uint8_t* StringDescriptor(const char* text) {
  const size_t n = std::strlen(text);
  uint8_t* p = static_cast<uint8_t*>(std::calloc(2 + 2 * n, 1));
  p[0] = static_cast<uint8_t>(2 + 2 * n);
  p[1] = 3;
  for (size_t i = 0; i < n; ++i) p[2 + 2 * i] = static_cast<uint8_t>(text[i]);
  return p;
}

int32_t openusb_get_device_data(openusb_handle_t, openusb_devid_t devid, uint32_t, openusb_dev_data** data) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  Device* device = Find(devid);
  if (!device) return OPENUSB_UNKNOWN_DEVICE;
  auto* p = static_cast<openusb_dev_data*>(std::calloc(1, sizeof(openusb_dev_data)));
  p->devid = devid;
  p->dev_desc.idVendor = device->vid;
  p->dev_desc.idProduct = device->pid;
  p->manufacturer = StringDescriptor("Stand-in");
  p->product = StringDescriptor("Scanner");
  p->ctrl_max_xfer_size = device->ctrlMax;
  p->bulk_max_xfer_size = device->bulkMax;
  p->intr_max_xfer_size = 64;
  p->isoc_max_xfer_size = 0;
  *data = p;
  return OPENUSB_SUCCESS;
}

void openusb_free_device_data(openusb_dev_data* data) {
  if (!data) return;
  std::free(data->manufacturer);
  std::free(data->product);
  std::free(data->serialnumber);
  std::free(data);
}

int32_t openusb_get_raw_desc(openusb_handle_t, openusb_devid_t, uint8_t, uint8_t, uint16_t, uint8_t**, uint16_t*) {
  return OPENUSB_PLATFORM_FAILURE;
}

void openusb_free_raw_desc(uint8_t* buffer) { std::free(buffer); }

int32_t openusb_parse_device_desc(openusb_handle_t, openusb_devid_t devid, uint8_t*, uint16_t,
                                  openusb_device_desc* devdesc) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  Device* device = Find(devid);
  if (!device) return OPENUSB_UNKNOWN_DEVICE;
  if (device->descFail > 0) {
    --device->descFail;
    Trace("device_desc %llu failed", static_cast<unsigned long long>(devid));
    return OPENUSB_PLATFORM_FAILURE;
  }
  std::memset(devdesc, 0, sizeof *devdesc);
  devdesc->bLength = sizeof *devdesc;
  devdesc->bDescriptorType = 1;
  devdesc->bcdUSB = 0x0200;
  devdesc->bMaxPacketSize0 = 64;
  devdesc->idVendor = device->vid;
  devdesc->idProduct = device->pid;
  devdesc->bNumConfigurations = device->configs;
  return OPENUSB_SUCCESS;
}

int32_t openusb_parse_config_desc(openusb_handle_t, openusb_devid_t devid, uint8_t*, uint16_t, uint8_t cfgidx,
                                  openusb_config_desc* cfgdesc) {
  std::lock_guard<std::mutex> lock(S().mutex);
  Device* device = Find(devid);
  if (!device || cfgidx >= device->configs) return OPENUSB_BADARG;
  std::memset(cfgdesc, 0, sizeof *cfgdesc);
  cfgdesc->bLength = sizeof *cfgdesc;
  cfgdesc->bDescriptorType = 2;
  cfgdesc->bNumInterfaces = device->interfaces;
  cfgdesc->bConfigurationValue = static_cast<uint8_t>(cfgidx + 1);
  return OPENUSB_SUCCESS;
}

int32_t openusb_parse_interface_desc(openusb_handle_t, openusb_devid_t devid, uint8_t*, uint16_t, uint8_t cfgidx,
                                     uint8_t ifcidx, uint8_t alt, openusb_interface_desc* ifcdesc) {
  std::lock_guard<std::mutex> lock(S().mutex);
  Device* device = Find(devid);
  if (!device || cfgidx >= device->configs || ifcidx >= device->interfaces) return OPENUSB_BADARG;
  std::memset(ifcdesc, 0, sizeof *ifcdesc);
  ifcdesc->bLength = sizeof *ifcdesc;
  ifcdesc->bDescriptorType = 4;
  ifcdesc->bInterfaceNumber = ifcidx;
  ifcdesc->bAlternateSetting = alt;
  ifcdesc->bNumEndpoints = static_cast<uint8_t>(device->endpoints.size());
  return OPENUSB_SUCCESS;
}

int32_t openusb_parse_endpoint_desc(openusb_handle_t, openusb_devid_t devid, uint8_t*, uint16_t, uint8_t, uint8_t,
                                    uint8_t, uint8_t eptidx, openusb_endpoint_desc* eptdesc) {
  std::lock_guard<std::mutex> lock(S().mutex);
  Device* device = Find(devid);
  if (!device || eptidx >= device->endpoints.size()) return OPENUSB_BADARG;
  const Endpoint& endpoint = device->endpoints[eptidx];
  std::memset(eptdesc, 0, sizeof *eptdesc);
  eptdesc->bLength = sizeof *eptdesc;
  eptdesc->bDescriptorType = 5;
  eptdesc->bEndpointAddress = endpoint.address;
  eptdesc->bmAttributes = endpoint.type;
  eptdesc->wMaxPacketSize = endpoint.maxPacket;
  return OPENUSB_SUCCESS;
}

int32_t openusb_get_max_xfer_size(openusb_handle_t, openusb_busid_t, openusb_transfer_type, uint32_t* bytes) {
  *bytes = 65536;
  return OPENUSB_SUCCESS;
}

int32_t openusb_open_device(openusb_handle_t, openusb_devid_t devid, uint32_t, openusb_dev_handle_t* dev) {
  std::lock_guard<std::mutex> lock(S().mutex);
  Trace("open_device %llu", static_cast<unsigned long long>(devid));
  Device* device = Find(devid);
  if (!device) return OPENUSB_UNKNOWN_DEVICE;
  static openusb_dev_handle_t s_next = 1000;
  device->handle = ++s_next;
  *dev = device->handle;
  return OPENUSB_SUCCESS;
}

int32_t openusb_close_device(openusb_dev_handle_t dev) {
  std::lock_guard<std::mutex> lock(S().mutex);
  for (auto& [devid, device] : S().devices) {
    if (device.handle == dev && dev) {
      Trace("close_device %llu", static_cast<unsigned long long>(devid));
      device.handle = 0;
      return OPENUSB_SUCCESS;
    }
  }
  return OPENUSB_BADARG;
}

int32_t openusb_get_devid(openusb_dev_handle_t dev, openusb_devid_t* devid) {
  std::lock_guard<std::mutex> lock(S().mutex);
  for (auto& [id, device] : S().devices) {
    if (device.handle == dev && dev) {
      *devid = id;
      return OPENUSB_SUCCESS;
    }
  }
  return OPENUSB_BADARG;
}

int32_t openusb_get_lib_handle(openusb_dev_handle_t, openusb_handle_t* handle) {
  *handle = 1;
  return OPENUSB_SUCCESS;
}

int32_t openusb_get_configuration(openusb_dev_handle_t, uint8_t* cfg) {
  *cfg = 1;
  return OPENUSB_SUCCESS;
}

int32_t openusb_set_configuration(openusb_dev_handle_t, uint8_t cfg) {
  Trace("set_configuration %u", cfg);
  return OPENUSB_SUCCESS;
}

int32_t openusb_claim_interface(openusb_dev_handle_t, uint8_t ifc, uint32_t) {
  Trace("claim_interface %u", ifc);
  return OPENUSB_SUCCESS;
}

int32_t openusb_release_interface(openusb_dev_handle_t, uint8_t ifc) {
  Trace("release_interface %u", ifc);
  return OPENUSB_SUCCESS;
}

int32_t openusb_is_interface_claimed(openusb_dev_handle_t, uint8_t) { return OPENUSB_SUCCESS; }

int32_t openusb_get_altsetting(openusb_dev_handle_t, uint8_t, uint8_t* alt) {
  *alt = 0;
  return OPENUSB_SUCCESS;
}

int32_t openusb_set_altsetting(openusb_dev_handle_t, uint8_t ifc, uint8_t alt) {
  Trace("set_altsetting %u %u", ifc, alt);
  return OPENUSB_SUCCESS;
}

int32_t openusb_reset(openusb_dev_handle_t) { return OPENUSB_SUCCESS; }

// Control requests end at once; interrupt requests wait for a payload, an
// abort or the device going away.
int32_t openusb_xfer_wait(openusb_request_handle_t request) {
  State& s = S();
  std::unique_lock<std::mutex> lock(s.mutex);
  if (request->type == OPENUSB_TRANSFER_TYPE_CONTROL) {
    openusb_ctrl_request* ctrl = request->req.ctrl;
    Trace("ctrl type=0x%02x req=0x%02x value=%u index=%u len=%u", ctrl->setup.bmRequestType, ctrl->setup.bRequest,
          ctrl->setup.wValue, ctrl->setup.wIndex, ctrl->length);
    if (!FromHandle(request->dev)) {
      ctrl->result = {OPENUSB_IO_NO_DEVICE, 0};
      return OPENUSB_SUCCESS;
    }
    auto& rules = s.rules[0];
    if (!rules.empty() && rules.front().kind == Rule::Status) {
      ctrl->result = {static_cast<int32_t>(rules.front().value), 0};
      rules.pop_front();
      return OPENUSB_SUCCESS;
    }
    if (ctrl->setup.bmRequestType & 0x80) {
      for (uint32_t i = 0; i < ctrl->length; ++i) ctrl->payload[i] = static_cast<uint8_t>(0xc0 + i);
    }
    ctrl->result = {OPENUSB_SUCCESS, ctrl->length};
    return OPENUSB_SUCCESS;
  }
  if (request->type != OPENUSB_TRANSFER_TYPE_INTERRUPT) return OPENUSB_BADARG;
  openusb_intr_request* intr = request->req.intr;
  Trace("intr_wait ep=0x%02x len=%u", request->endpoint, intr->length);
  s.waiting.push_back(request);
  s.cond.wait(lock, [&] { return s.ended.count(request) || (!s.interrupts.empty() && FromHandle(request->dev)) ||
                                 !FromHandle(request->dev); });
  std::erase(s.waiting, request);
  if (s.ended.count(request)) {
    intr->result = {s.ended[request], 0};
    s.ended.erase(request);
  } else if (!FromHandle(request->dev)) {
    intr->result = {OPENUSB_IO_NO_DEVICE, 0};
  } else {
    std::vector<uint8_t> payload = s.interrupts.front();
    s.interrupts.pop_front();
    const uint32_t n = static_cast<uint32_t>(payload.size() < intr->length ? payload.size() : intr->length);
    std::memcpy(intr->payload, payload.data(), n);
    intr->result = {OPENUSB_SUCCESS, n};
  }
  return OPENUSB_SUCCESS;
}

int32_t openusb_xfer_aio(openusb_request_handle_t request) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!request || !request->cb || request->type == OPENUSB_TRANSFER_TYPE_CONTROL) return OPENUSB_BADARG;
  Trace("bulk_aio ep=0x%02x len=%u", request->endpoint,
        request->type == OPENUSB_TRANSFER_TYPE_INTERRUPT ? request->req.intr->length : request->req.bulk->length);
  s.queue.push_back(request);
  s.cond.notify_all();
  return OPENUSB_SUCCESS;
}

int32_t openusb_ctrl_xfer(openusb_dev_handle_t dev, uint8_t ifc, uint8_t ept, openusb_ctrl_request* ctrl) {
  openusb_request_handle request{};
  request.dev = dev;
  request.interface = ifc;
  request.endpoint = ept;
  request.type = OPENUSB_TRANSFER_TYPE_CONTROL;
  request.req.ctrl = ctrl;
  return openusb_xfer_wait(&request);
}

int32_t openusb_intr_xfer(openusb_dev_handle_t, uint8_t, uint8_t, openusb_intr_request*) { return OPENUSB_PLATFORM_FAILURE; }
int32_t openusb_bulk_xfer(openusb_dev_handle_t, uint8_t, uint8_t, openusb_bulk_request*) { return OPENUSB_PLATFORM_FAILURE; }
int32_t openusb_isoc_xfer(openusb_dev_handle_t, uint8_t, uint8_t, openusb_isoc_request*) { return OPENUSB_PLATFORM_FAILURE; }

// A request still queued, hung or waited for ends as cancelled.
int32_t openusb_abort(openusb_request_handle_t request) {
  State& s = S();
  std::unique_lock<std::mutex> lock(s.mutex);
  Trace("abort ep=0x%02x", request ? request->endpoint : 0);
  bool found = false;
  auto hung = std::find(s.hung.begin(), s.hung.end(), request);
  if (hung != s.hung.end()) {
    s.hung.erase(hung);
    found = true;
  }
  auto queued = std::find(s.queue.begin(), s.queue.end(), request);
  if (queued != s.queue.end()) {
    s.queue.erase(queued);
    found = true;
  }
  if (found) {
    // Completed on the stand-in's thread like every other request.
    s.aborted.insert(request);
    s.queue.push_front(request);
    s.cond.notify_all();
    return OPENUSB_SUCCESS;
  }
  if (std::find(s.waiting.begin(), s.waiting.end(), request) != s.waiting.end()) {
    s.ended[request] = OPENUSB_IO_CANCELED;
    s.cond.notify_all();
    return OPENUSB_SUCCESS;
  }
  return OPENUSB_BADARG;
}

int32_t openusb_wait(uint32_t, openusb_request_handle_t*, openusb_request_handle_t*) { return OPENUSB_PLATFORM_FAILURE; }
int32_t openusb_poll(uint32_t, openusb_request_handle_t*, openusb_request_handle_t*) { return OPENUSB_PLATFORM_FAILURE; }
int32_t openusb_start(openusb_request_handle_t) { return OPENUSB_PLATFORM_FAILURE; }
int32_t openusb_stop(openusb_request_handle_t) { return OPENUSB_PLATFORM_FAILURE; }

}  // extern "C"
