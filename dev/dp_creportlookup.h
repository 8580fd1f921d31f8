// The reportenum, reportrange and reportstring reports: each records the
// capability its id element names, and nothing else of them is read. Each
// forgets the record when its report begins, so that an id of an earlier
// reply never stands for this one.
#pragma once

#include "db_def.h"
#include "dp_handlers.h"

struct DbLookup2;

// The lookup record of the capability an id names, and its number.
class CDpRecordedId {
 public:
  void Forget();
  // An unknown name is logged and leaves nothing recorded.
  void Record(OsXmlCallback* a_posxmlcallback);
  DbLookup2* GetLookup() const { return m_pdblookup2; }
  EDBID GetId() const { return m_edbid; }

 private:
  DbLookup2* m_pdblookup2 = nullptr;
  EDBID m_edbid = DB_ID_UNDEFINED;
};

#define DP_RECORDING_CLASS(Class, HANDLERS, Enter, Id)                        \
  class Class {                                                               \
   public:                                                                    \
    HANDLERS(DP_DECLARE_TRAMPOLINE)                                           \
    EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback) { \
      if (a_edphandler == DP_HANDLER_##Enter) m_dprecordedid.Forget();        \
      if (a_edphandler == DP_HANDLER_##Id) m_dprecordedid.Record(a_posxmlcallback); \
      return OS_STS_SUCCESS;                                                  \
    }                                                                         \
    const CDpRecordedId& GetRecordedId() const { return m_dprecordedid; }     \
                                                                              \
   private:                                                                   \
    CDpRecordedId m_dprecordedid;                                             \
  };

DP_RECORDING_CLASS(CReportEnum, DP_HANDLERS_CREPORTENUM, EnterReportenum, EnterReportenumId)
DP_RECORDING_CLASS(CReportRange, DP_HANDLERS_CREPORTRANGE, EnterReportrange, EnterReportrangeId)
DP_RECORDING_CLASS(CReportString, DP_HANDLERS_CREPORTSTRING, EnterReportstring, EnterReportstringId)

#undef DP_RECORDING_CLASS
