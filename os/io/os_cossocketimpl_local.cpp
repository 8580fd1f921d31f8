// The local transports (shared-memory rings and message queues) come next;
// until then they are refused.
#include "os_coslog.h"
#include "os_cossocketimpl.h"

EOSSTS COsSocketImpl::SharedCreate(const char*, const char*, const char*) { return Unsupported("Unsupported...%d"); }
EOSSTS COsSocketImpl::SharedConnect(const char*, const char*, const char*, uint64_t) {
  return Unsupported("Unsupported...%d");
}
EOSSTS COsSocketImpl::SharedAccept(uint32_t, COsThread*) { return Unsupported("Unsupported...%d"); }
EOSSTS COsSocketImpl::SharedWrite(const void*, uint64_t, uint64_t*) { return Unsupported("Unsuppported...%d"); }
EOSSTS COsSocketImpl::SharedRead(void*, uint64_t, uint64_t*, uint32_t) { return Unsupported("Unsupported...%d"); }
void COsSocketImpl::CloseShared() {}
EOSSTS COsSocketImpl::QueueCreate(const char*, const char*, const char*) { return Unsupported("Unsupported...%d"); }
EOSSTS COsSocketImpl::QueueConnect(const char*, const char*, const char*) { return Unsupported("Unsupported...%d"); }
EOSSTS COsSocketImpl::QueueWrite(const void*, uint64_t, uint64_t*, uint32_t) {
  return Unsupported("Unsuppported...%d");
}
EOSSTS COsSocketImpl::QueueRead(void*, uint64_t, uint64_t*, uint32_t) { return Unsupported("Unsupported...%d"); }
void COsSocketImpl::CloseQueues() {}
