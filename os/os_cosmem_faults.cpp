// The allocation failure seams: armed only by tests, so the common path is
// one relaxed load each.
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "os_cosmem.h"

namespace {

struct NewFault {
  std::atomic<bool> blArmed{false};
  std::mutex mutex;
  std::string strClass;
  int iSkip = 0;
};

NewFault& Fault() {
  static NewFault* s_pnewfault = new NewFault;  // never destroyed: creations run during exit
  return *s_pnewfault;
}

std::atomic<size_t> s_sizetAllocFault{0};

}  // namespace

void OsMemSetNewFault(const char* a_szClass, int a_iSkip) {
  NewFault& newfault = Fault();
  std::lock_guard<std::mutex> lock(newfault.mutex);
  newfault.strClass = a_szClass ? a_szClass : "";
  newfault.iSkip = a_iSkip;
  newfault.blArmed.store(a_szClass != nullptr);
}

void OsMemSetAllocFault(size_t a_sizetBytes) { s_sizetAllocFault.store(a_sizetBytes); }

bool OsMemNewFails(const char* a_szClass) {
  NewFault& newfault = Fault();
  if (!newfault.blArmed.load(std::memory_order_relaxed) || !a_szClass) return false;
  std::lock_guard<std::mutex> lock(newfault.mutex);
  if (newfault.strClass != a_szClass) return false;
  if (newfault.iSkip > 0) {
    --newfault.iSkip;
    return false;
  }
  return true;
}

bool OsMemAllocFails(size_t a_sizetBytes) {
  const size_t sizetFault = s_sizetAllocFault.load(std::memory_order_relaxed);
  return sizetFault != 0 && a_sizetBytes >= sizetFault;
}
