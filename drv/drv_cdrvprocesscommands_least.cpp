// The handlers whose commands are not built yet: a command's work answers
// "fail" and stops the task, an argument is taken and nothing done with it.
#include "drv_cdrvprocesscommands.h"

#define DRV_LEAST_WORK(name) \
  EOSSTS CDrvProcessCommands::name(OsXmlCallback* a_posxmlcallback) { return NotBuilt(a_posxmlcallback); }
#define DRV_LEAST_ARG(name) \
  EOSSTS CDrvProcessCommands::name(OsXmlCallback*) { return OS_STS_SUCCESS; }
#define DRV_LEAST_BUILT(name)
#define DRV_DEFINE_LEAST(kind, name) DRV_LEAST_##kind(name)
DRV_PROCESSCOMMANDS_HANDLERS(DRV_DEFINE_LEAST)
#undef DRV_DEFINE_LEAST
#undef DRV_LEAST_BUILT
#undef DRV_LEAST_ARG
#undef DRV_LEAST_WORK
