// The reportmessage and reportsetupend reports: their whole content is a
// text the task's caller reads afterwards from the database's data buffer 0.
#pragma once

#include "dp_handlers.h"

class CReportMessage {
 public:
  DP_HANDLERS_CREPORTMESSAGE(DP_DECLARE_TRAMPOLINE)
  EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);
};

class CReportSetupEnd {
 public:
  DP_HANDLERS_CREPORTSETUPEND(DP_DECLARE_TRAMPOLINE)
  EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);
};
