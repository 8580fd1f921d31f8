// The reportinterfaceopen report: what a simulating device manager says of
// its simulation (the models and flatbeds it simulates, its flags) fills
// the database's simulation record, from the first entry of each list on.
#pragma once

#include "db_cdatabase.h"
#include "dp_handlers.h"

class CReportInterfaceOpen {
 public:
  DP_HANDLERS_CREPORTINTERFACEOPEN(DP_DECLARE_TRAMPOLINE)
  EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);

 private:
  void Begin();
  void AddModel(CDatabase& a_database, const char* a_szName);
  void AddFlatbed(CDatabase& a_database, const char* a_szName);
  void EndFlag(CDatabase& a_database);

  long m_lModels = 0;
  long m_lFlatbeds = 0;
  long m_lFlag = 0;  // the slot the next complete flag takes
  // The flag being read: it is written whole when it ends, and only with
  // an id, so that a slot never holds half a flag.
  DbSimFlag m_dbsimflag = {};
};
