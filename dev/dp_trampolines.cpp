// The trampolines of the reply grammar: each static member the XML reader
// calls hands the record to the Handle operation of the object registered
// for it, with the handler's number.
#include "dp_cdispatch.h"
#include "os_coslog.h"

namespace {
template <class Class>
EOSSTS Forward(OsXmlCallback* a_posxmlcallback, EDPHANDLER a_edphandler) {
  if (!a_posxmlcallback || !a_posxmlcallback->pvObject) {
    OsLog(OS_LOG_ERROR, "dp>>> a handler was called without its object...%d", a_edphandler);
    return OS_STS_FAIL;
  }
  return static_cast<Class*>(a_posxmlcallback->pvObject)->Handle(a_edphandler, a_posxmlcallback);
}
}  // namespace

#define DP_DEFINE_TRAMPOLINE(Class, Handler)                              \
  EOSSTS Class::Class##_##Handler(OsXmlCallback* a_posxmlcallback) {      \
    return Forward<Class>(a_posxmlcallback, DP_HANDLER_##Handler);        \
  }
DP_HANDLERS(DP_DEFINE_TRAMPOLINE)
#undef DP_DEFINE_TRAMPOLINE
