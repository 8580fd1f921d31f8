// The device managers' callbacks into the device object: an image ready for
// the scan thread, a button pressed on a unit. They run on the libraries'
// threads, only read their message and signal or queue; the flatbed's
// button asks the feeder which one it was.
#include <cstdio>
#include <mutex>
#include <shared_mutex>

#include "dev_callbackmessage.h"
#include "dev_cdevimpl.h"
#include "os_coslog.h"

namespace {

// The device objects alive in the process, which the callbacks look up.
CDevCallbackTargets& Devices() {
  static auto* s_pdevcallbacktargets = new CDevCallbackTargets;
  return *s_pdevcallbacktargets;
}

constexpr DevCallbackKind s_devcallbackkindImageAvailable = {"imageavailable", "imageavailable", "pdevimpl is null...",
                                                             "device object"};
constexpr DevCallbackKind s_devcallbackkindButtonAdf = {"buttonevent", "buttonevent(adf)", "userargumentptr is null...",
                                                        "device object"};
constexpr DevCallbackKind s_devcallbackkindButtonFlatbed = {"buttonevent", "buttonevent(flatbed)",
                                                            "userargumentptr is null...", "device object"};

}  // namespace

void CDevImpl::Enlist(CDevImpl* a_pdevimpl) { Devices().Enlist(a_pdevimpl); }

void CDevImpl::Delist(CDevImpl* a_pdevimpl) { Devices().Delist(a_pdevimpl); }

EOSSTS CDevImpl::CallBackImageAvailable(void* a_pvArg) {
  std::shared_lock<std::shared_mutex> lock(Devices().Mutex());
  auto* pdevimpl = static_cast<CDevImpl*>(DevCallbackTarget(Devices(), a_pvArg, s_devcallbackkindImageAvailable));
  if (!pdevimpl) return OS_STS_FAIL;
  pdevimpl->ScanThreadSetEvent();
  return OS_STS_SUCCESS;
}

// The button's name as the unit reports it; an empty one is no press.
EOSSTS CDevImpl::CallBackButtonEventAdf(void* a_pvArg) {
  std::shared_lock<std::shared_mutex> lock(Devices().Mutex());
  auto* pdevimpl = static_cast<CDevImpl*>(DevCallbackTarget(Devices(), a_pvArg, s_devcallbackkindButtonAdf));
  if (!pdevimpl) return OS_STS_FAIL;
  char szButton[DEV_CALLBACKCONTENT_SIZE];
  DevCallbackContent(static_cast<const char*>(a_pvArg), "button", szButton);
  if (szButton[0]) pdevimpl->SetDriverEvent(DEV_EVENT_DEVICEBUTTON, szButton);
  return OS_STS_SUCCESS;
}

// The flatbed has no panel of its own: the feeder's panel says which
// button was pressed.
EOSSTS CDevImpl::CallBackButtonEventFlatbed(void* a_pvArg) {
  std::shared_lock<std::shared_mutex> lock(Devices().Mutex());
  auto* pdevimpl = static_cast<CDevImpl*>(DevCallbackTarget(Devices(), a_pvArg, s_devcallbackkindButtonFlatbed));
  if (!pdevimpl) return OS_STS_FAIL;
  const long lButton = pdevimpl->GetOcpButton();
  if (lButton == 0) return OS_STS_SUCCESS;
  char szButton[32];
  std::snprintf(szButton, sizeof szButton, "%ld", lButton);
  pdevimpl->SetDriverEvent(DEV_EVENT_DEVICEBUTTON, szButton);
  return OS_STS_SUCCESS;
}
