// The debug and simulation records: fixed fields and lists that the front
// end's interfaceopen and the device managers' replies fill. Every write is
// held to the field's size and the list's capacity.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

// A field: its name in the log, the entries of its list (1 for a single
// field) and its size.
struct RecordField {
  EDBRECORDFIELD edbrecordfield;
  const char* szName;
  long lCount;
  size_t sizetField;
};

constexpr RecordField s_arecordfield[] = {
    {DB_RECORD_LOGGING, "logging", 1, DB_DEBUG_TEXT},
    {DB_RECORD_IMAGESFROMSCANNER, "imagesfromscanner", 1, DB_DEBUG_TEXT},
    {DB_RECORD_IMAGESTOAPPLICATION, "imagestoapp", 1, DB_DEBUG_TEXT},
    {DB_RECORD_SIMULATION, "simulation", 1, DB_SIM_TEXT},
    {DB_RECORD_SIMMODEL, "simmodel", DB_SIM_MODELS, DB_SIM_NAME},
    {DB_RECORD_SIMFLATBED, "simflatbed", DB_SIM_FLATBEDS, DB_SIM_NAME},
    {DB_RECORD_SIMFLATBEDINTEGRATED, "simflatbedintegrated", 1, DB_SIM_NAME},
    {DB_RECORD_SIMFLAGID, "simflag/id", DB_SIM_FLAGS, DB_SIM_NAME},
    {DB_RECORD_SIMFLAGVALUE, "simflag/value", DB_SIM_FLAGS, DB_SIM_NAME},
    {DB_RECORD_SIMFLAGTEXT, "simflag/text", DB_SIM_FLAGS, DB_SIM_FLAGTEXT},
};

const RecordField* FindField(EDBRECORDFIELD a_edbrecordfield) {
  for (const RecordField& recordfield : s_arecordfield) {
    if (recordfield.edbrecordfield == a_edbrecordfield) return &recordfield;
  }
  return nullptr;
}

// The field itself; the index is within the list.
char* FieldAt(DbDebugRecord& a_dbdebugrecord, DbSimulationRecord& a_dbsimulationrecord,
              EDBRECORDFIELD a_edbrecordfield, long a_lIndex) {
  switch (a_edbrecordfield) {
    case DB_RECORD_LOGGING: return a_dbdebugrecord.szLogging;
    case DB_RECORD_IMAGESFROMSCANNER: return a_dbdebugrecord.szImagesFromScanner;
    case DB_RECORD_IMAGESTOAPPLICATION: return a_dbdebugrecord.szImagesToApplication;
    case DB_RECORD_SIMULATION: return a_dbsimulationrecord.szSimulation;
    case DB_RECORD_SIMMODEL: return a_dbsimulationrecord.aszModel[a_lIndex];
    case DB_RECORD_SIMFLATBED: return a_dbsimulationrecord.aszFlatbed[a_lIndex];
    case DB_RECORD_SIMFLATBEDINTEGRATED: return a_dbsimulationrecord.szFlatbedIntegrated;
    case DB_RECORD_SIMFLAGID: return a_dbsimulationrecord.adbsimflag[a_lIndex].szId;
    case DB_RECORD_SIMFLAGVALUE: return a_dbsimulationrecord.adbsimflag[a_lIndex].szValue;
    case DB_RECORD_SIMFLAGTEXT: return a_dbsimulationrecord.adbsimflag[a_lIndex].szText;
  }
  return nullptr;
}

}  // namespace

EOSSTS CDatabase::SetRecordText(EDBRECORDFIELD a_edbrecordfield, long a_lIndex, const char* a_szText) {
  const RecordField* precordfield = FindField(a_edbrecordfield);
  if (!precordfield || !a_szText) {
    OsLog(OS_LOG_ERROR, "Bad argument...%d %p", a_edbrecordfield, static_cast<const void*>(a_szText));
    return OS_STS_BAD_ARGUMENT;
  }
  if (a_lIndex < 0 || a_lIndex >= precordfield->lCount) {
    OsLog(OS_LOG_ERROR, "Array overflow for <%s>, %ld entries at most: <%s> dropped...%ld", precordfield->szName,
          precordfield->lCount, a_szText, a_lIndex);
    return OS_STS_NO_ROOM;
  }
  CDbLockGuard dblockguard;
  char* szField = FieldAt(m_dbdebugrecord, m_dbsimulationrecord, a_edbrecordfield, a_lIndex);
  if (!COsString::SStrCpyCut(szField, precordfield->sizetField, a_szText)) {
    OsLog(OS_LOG_ERROR, "<%s> too long, cut to %zu bytes...<%s>", precordfield->szName, std::strlen(szField),
          a_szText);
  }
  return OS_STS_SUCCESS;
}
