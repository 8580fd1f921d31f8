// Least bodies of the device object's operations whose units come later:
// each logs "not built yet" at debug level and answers the facade's failure
// value, except where a caller of this object needs an answer it can go on
// with (noted). A unit that builds an operation takes its body out of here.
#include "dev_cdevimpl.h"

#include "dev_cdevdata.h"
#include "dev_cimgqueue.h"
#include "os_coslog.h"

namespace {

template <class R>
R NotBuilt(const char* a_szOperation, R a_rAnswer) {
  OsLogDebug(OS_LOG_INFO, "CDevImpl::%s: not built yet", a_szOperation);
  return a_rAnswer;
}

constexpr EOSSTS s_eosstsFail = OS_STS_FAIL;

}  // namespace

// Diagnostic inputs.
EOSSTS CDevImpl::DiagnosticGetInputResult(DeviceLog*) { return NotBuilt("DiagnosticGetInputResult", s_eosstsFail); }
