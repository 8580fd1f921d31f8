// The USB library stand-in of sim/ as the transport tests drive it: its
// script and trace files, the controls it exports (a directive more, a
// device removed or attached again), and a recorder of the callbacks the
// device service makes.
#pragma once

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "os_copenusb.h"
#include "os_cosusb.h"
#include "os_cosusbimpl.h"
#include "test_support.h"

namespace usbtest {

// Points the device service at the stand-in and shortens its long waits;
// puts everything back when it goes.
class StandIn {
 public:
  explicit StandIn(const std::string& a_script) {
    testsupport::WriteFile(ScriptPath(), a_script);
    ClearTrace();
    setenv("OPENUSB_STANDIN_SCRIPT", ScriptPath().c_str(), 1);
    setenv("OPENUSB_STANDIN_TRACE", TracePath().c_str(), 1);
    COpenUsb::SetLibraryPaths(SCANDRV_OPENUSB_STANDIN, "/nonexistent/libopenusb.so");
    COsUsbImpl::SetAttachRetry(50, 10);
    COsUsbImpl::SetOfflineStep(10);
    COsUsbImpl::SetTransferMargin(300);
    COsUsbImpl::SetThreadStopLimit(5000);
    COsUsbImpl::SetLockRetryInterval(20);
  }
  ~StandIn() {
    COpenUsb::SetLibraryPaths(nullptr, nullptr);
    COsUsbImpl::SetAttachRetry(-1, -1);
    COsUsbImpl::SetOfflineStep(-1);
    COsUsbImpl::SetTransferMargin(-1);
    COsUsbImpl::SetThreadStopLimit(-1);
    COsUsbImpl::SetLockRetryInterval(-1);
    COsUsbImpl::SetKernelVersion(-1);
  }
  static std::string ScriptPath() { return testsupport::RootPath("openusb.script"); }
  static std::string TracePath() { return testsupport::RootPath("openusb.trace"); }
  // The trace lines that begin with the prefix.
  static std::vector<std::string> Trace(const std::string& a_prefix = "") {
    std::vector<std::string> lines;
    for (const auto& line : testsupport::Lines(testsupport::ReadFile(TracePath()))) {
      if (line.rfind(a_prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
  }
  static void ClearTrace() { testsupport::WriteFile(TracePath(), ""); }

  // The stand-in's controls (it must be loaded).
  static void Line(const std::string& a_line) { Control<void (*)(const char*)>("openusbstandin_line")(a_line.c_str()); }
  static void Remove(uint64_t a_devid) { Control<void (*)(uint64_t)>("openusbstandin_remove")(a_devid); }
  static void Attach(uint64_t a_old, uint64_t a_new) {
    Control<void (*)(uint64_t, uint64_t)>("openusbstandin_attach")(a_old, a_new);
  }

 private:
  template <class F>
  static F Control(const char* a_name) {
    void* handle = dlopen(SCANDRV_OPENUSB_STANDIN, RTLD_LAZY | RTLD_NOLOAD);
    EXPECT_NE(handle, nullptr) << "the stand-in is not loaded";
    F f = handle ? reinterpret_cast<F>(dlsym(handle, a_name)) : nullptr;
    if (handle) dlclose(handle);
    return f;
  }
};

// Every callback the device service makes: kind, pipe, payload, user.
class CallbackRecorder {
 public:
  struct Call {
    uint32_t kind;
    uint32_t pipe;
    std::string payload;  // hexadecimal
    void* user;
  };
  static EOSSTS Record(void* a_pv) {
    auto* record = static_cast<OsUsbCallbackRecord*>(a_pv);
    auto* self = static_cast<CallbackRecorder*>(record->pvUser);
    std::string hex;
    char sz[3];
    for (uint32_t i = 0; i < record->u32Length && i < sizeof record->au8Payload; ++i) {
      std::snprintf(sz, sizeof sz, "%02x", record->au8Payload[i]);
      hex += sz;
    }
    std::lock_guard<std::mutex> lock(self->m_mutex);
    self->m_calls.push_back({record->eosusbcallback, record->eosusbpipe, hex, record->pvUser});
    self->m_cond.notify_all();
    return self->m_result;
  }
  // Waits (bounded) until that many calls were made; the calls so far.
  std::vector<Call> WaitFor(size_t a_count) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait_for(lock, std::chrono::seconds(10), [&] { return m_calls.size() >= a_count; });
    return m_calls;
  }
  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
  }
  EOSSTS m_result = OS_STS_SUCCESS;

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  std::vector<Call> m_calls;
};

}  // namespace usbtest
