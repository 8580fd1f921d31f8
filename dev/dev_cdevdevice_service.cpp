// The service tasks: a capability's value to the scanner, diagnostics and
// calibration. Each is named to the unit by lexicon names of the
// capability database.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbcontainer.h"
#include "db_cdblock.h"
#include "db_cdblookup.h"
#include "dev_cdevdevice.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {
// Diagnostics the unit runs without a value.
constexpr const char* s_aszDiagnosticNoValue[] = {"diagclearflash", "diaggetrasters", "diagimagetest",
                                                   "diaglockcamera", "diaggetinputs"};

bool TakesValue(const char* a_szType) {
  for (const char* szType : s_aszDiagnosticNoValue) {
    if (std::strcmp(szType, a_szType) == 0) return false;
  }
  return true;
}

// The lexicon names of a capability and of a value of it; false when either
// is missing.
bool LexiconNames(CDatabase& a_database, CDbDatum* a_pdbdatum, long a_lValue, const char*& a_szId,
                  const char*& a_szValue) {
  DbLookup2* pdblookup2 = a_database.LookupGet(a_pdbdatum);
  DbLookupEnum* pdblookupenum = pdblookup2 ? a_database.LookupDbEnum(pdblookup2, a_lValue) : nullptr;
  if (!pdblookup2 || !pdblookup2->szLexicon || !pdblookupenum || !pdblookupenum->szLexiconEnum) return false;
  a_szId = pdblookup2->szLexicon;
  a_szValue = pdblookupenum->szLexiconEnum;
  return true;
}

// The same for an enumeration capability's current value; false, logged
// under a_szWhat, when the model lacks it, it is no enumeration, or a name
// is missing.
bool CurrentLexiconNames(CDatabase& a_database, EDBID a_edbid, const char* a_szWhat, const char*& a_szId,
                         const char*& a_szValue) {
  CDbDatum* pdbdatum = a_database.Find(a_edbid);
  if (!pdbdatum) {
    OsLog(OS_LOG_ERROR, "Unrecognized %s", a_szWhat);
    return false;
  }
  if (pdbdatum->GetContainerType() != DB_CONTAINERTYPE_ENUM) {
    OsLog(OS_LOG_ERROR, "Wrong container type...%d", static_cast<int>(pdbdatum->GetContainerType()));
    return false;
  }
  if (LexiconNames(a_database, pdbdatum, pdbdatum->GetCurrentLong(), a_szId, a_szValue)) return true;
  OsLog(OS_LOG_ERROR, "Unable to lookup for the lexicon enum %s", a_szWhat);
  return false;
}
}  // namespace

// ---------------------------------------------------------------------------
// Configuration writes
// ---------------------------------------------------------------------------
// Built where the capabilities write themselves for the scanner: the
// database's device task, under the database lock.
EDEVSTS CDevDevice::SetConfig(EDBID_FIRMWARE a_edbidfirmware, EDBID a_edbid) {
  if (IsEmpty("SetConfig")) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  COsXmlTask* posxmltask = m_pdatabase->GetDbMakeXml();
  if (!posxmltask) {
    OsLog(OS_LOG_ERROR, "SetConfig: the database has no device task...");
    return DEV_STS_FAIL;
  }
  posxmltask->Clear();
  posxmltask->StartTask(0, 0, nullptr);
  posxmltask->StartCommand("setconfig", 1);
  const size_t sizetEmpty = std::strlen(posxmltask->GetTaskBuffer() ? posxmltask->GetTaskBuffer() : "");
  CDbDatum* pdbdatum = m_pdatabase->Find(a_edbid);
  if (!pdbdatum) {
    OsLog(OS_LOG_ERROR, "Unrecognized a_edbid...%d", static_cast<int>(a_edbid));
    return DEV_STS_FAIL;
  }
  // A long value is read as the application would (its read callback asks
  // the scanner first, outside a fix-up); a text as it stands.
  const EDBCONTAINERTYPE edbcontainertype = pdbdatum->GetContainerType();
  long lValue;
  if (edbcontainertype == DB_CONTAINERTYPE_ENUM || edbcontainertype == DB_CONTAINERTYPE_RANGE) {
    lValue = pdbdatum->GetCurrentLong();
  } else if (edbcontainertype == DB_CONTAINERTYPE_STRING) {
    lValue = reinterpret_cast<long>(pdbdatum->GetCurrentStringNoCallback());
  } else {
    OsLog(OS_LOG_ERROR, "Unrecognized container type...%d", static_cast<int>(edbcontainertype));
    return DEV_STS_FAIL;
  }
  if (!dbcontainer::ByContainer(dbcontainer::Master(pdbdatum), [&](auto* a_pcontainer) {
        a_pcontainer->MakeXml(lValue, DB_DEVICEDATA_BOTH);
      })) {
    OsLog(OS_LOG_ERROR, "Unrecognized container type...%d", static_cast<int>(edbcontainertype));
    return DEV_STS_FAIL;
  }
  const char* szTask = posxmltask->GetTaskBuffer();
  if (!szTask || std::strlen(szTask) == sizetEmpty) {
    OsLog(OS_LOG_ERROR, "Failed to add lexicon id and value to XML task");
    return DEV_STS_FAIL;
  }
  posxmltask->FinalizeCommand("setconfig");
  posxmltask->FinalizeTask();
  if (posxmltask->IsError(true)) {
    OsLog(OS_LOG_ERROR, "Failed to build the task <setconfig>, nothing sent...");
    return DEV_STS_FAIL;
  }
  // The paper source is the scanning unit's to know.
  EDBID_FIRMWARE edbidfirmware = a_edbidfirmware;
  if (a_edbid == DB_ID_PAPERSOURCE)
    edbidfirmware = m_pdatabase->NeedScanFromFlatbed() ? DB_FIRMWARE_FLATBED : DB_FIRMWARE_ADF;
  return GetConfig(edbidfirmware, posxmltask);
}

// ---------------------------------------------------------------------------
// Diagnostics
// ---------------------------------------------------------------------------
EDEVSTS CDevDevice::DiagnosticBegin(EDBID_FIRMWARE a_edbidfirmware) {
  return Exchange(a_edbidfirmware, "diagnosticbegin", nullptr, DevDispatchTarget::Database(m_pdatabase));
}

// Under the database lock and the diagnostic mutex (the caller's).
EDEVSTS CDevDevice::RunDiagnostic(EDBID_FIRMWARE a_edbidfirmware, const char* a_szType, const char* a_szValue,
                                  const DevDispatchTarget& a_devdispatchtarget) {
  return Exchange(
      a_edbidfirmware, "diagnosticrun",
      [&](COsXmlTask& a_osxmltask) {
        a_osxmltask.AddArgumentCheck("diagnostictype", a_szType);
        if (a_szValue) a_osxmltask.AddArgumentCheck("diagnosticvalue", a_szValue);
      },
      a_devdispatchtarget);
}

EDEVSTS CDevDevice::DiagnosticRun(EDBID a_edbid, long a_lValue) {
  if (IsEmpty("DiagnosticRun")) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  std::lock_guard<std::mutex> lock(m_mutexDiagnostic);
  DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(a_edbid);
  if (!pdblookup2 || !pdblookup2->szLexicon) {
    OsLog(OS_LOG_ERROR, "pdblookup2 is NULL...%d", static_cast<int>(a_edbid));
    return DEV_STS_FAIL;
  }
  DbLookupEnum* pdblookupenum = m_pdatabase->LookupDbEnum(pdblookup2, a_lValue);
  if (!pdblookupenum || !pdblookupenum->szLexiconEnum) {
    OsLog(OS_LOG_ERROR, "pdblookupenum is NULL...%ld", a_lValue);
    return DEV_STS_FAIL;
  }
  return RunDiagnostic(CurrentFirmware(), pdblookup2->szLexicon, pdblookupenum->szLexiconEnum,
                       DevDispatchTarget::Database(m_pdatabase));
}

EDEVSTS CDevDevice::DiagnosticRun(EDBID_FIRMWARE a_edbidfirmware, EDBID a_edbid) {
  if (IsEmpty("DiagnosticRun")) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  std::lock_guard<std::mutex> lock(m_mutexDiagnostic);
  char szWhat[32];
  std::snprintf(szWhat, sizeof szWhat, "a_edbid...%d", static_cast<int>(a_edbid));
  const char* szType = nullptr;
  const char* szValue = nullptr;
  if (!CurrentLexiconNames(*m_pdatabase, a_edbid, szWhat, szType, szValue)) return DEV_STS_FAIL;
  return RunDiagnostic(a_edbidfirmware, szType, szValue, DevDispatchTarget::Database(m_pdatabase));
}

// A type the model does not offer for the current unit is answered here.
EDEVSTS CDevDevice::DiagnosticRun(const char* a_szType, const char* a_szValue, DeviceLog* a_pdevicelog) {
  if (!a_szType) {
    OsLog(OS_LOG_ERROR, "a_szDiagnostictype is null...");
    return DEV_STS_FAIL;
  }
  if (IsEmpty("DiagnosticRun")) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  std::lock_guard<std::mutex> lock(m_mutexDiagnostic);
  const EDBID_FIRMWARE edbidfirmware = CurrentFirmware();
  const EDBCONFIGTARGET edbconfigtarget =
      edbidfirmware == DB_FIRMWARE_FLATBED ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF;
  if (!m_pdatabase->ConfigEnumExists("diagnostictype", a_szType, edbconfigtarget)) {
    if (DiagnosticRunUnsupported(a_pdevicelog)) return DEV_STS_SUCCESS;
    OsLog(OS_LOG_ERROR, "Return task is NULL for 'unsupported' diagnostic...%s", a_szType);
    return DEV_STS_FAIL;
  }
  const char* szValue = TakesValue(a_szType) ? (a_szValue ? a_szValue : "") : nullptr;
  return RunDiagnostic(edbidfirmware, a_szType, szValue,
                       a_pdevicelog ? DevDispatchTarget::Log(a_pdevicelog) : DevDispatchTarget::Database(m_pdatabase));
}

// The reply lives in the general builder until its next task.
const char* CDevDevice::DiagnosticRunUnsupported(DeviceLog* a_pdevicelog) {
  if (!a_pdevicelog) return COsXmlTask::ReportStatusSuccess();
  if (IsEmpty("DiagnosticRunUnsupported")) return nullptr;
  COsFile osfile;
  const EOSSTS eossts =
      osfile.Open(a_pdevicelog->szFilename, OS_FILEOPEN_ALWAYS, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to Open file %d <%s>...", static_cast<int>(eossts), a_pdevicelog->szFilename);
    return nullptr;
  }
  osfile.Close();
  if (a_pdevicelog->pcData && a_pdevicelog->sizetCapacity) a_pdevicelog->pcData[0] = '\0';
  a_pdevicelog->sizetData = 0;
  std::lock_guard<std::recursive_mutex> lock(m_amutexBuilder[DEV_BUILDER_GENERAL]);
  COsXmlTask& osxmltask = *m_aposxmltask[DEV_BUILDER_GENERAL];
  osxmltask.Clear();
  osxmltask.StartTask(0, 0, "success");
  osxmltask.StartCommand("reportdiagnostic", 1);
  osxmltask.StartCommand("datafile", 2);
  osxmltask.AddArgumentSafe("filename", a_pdevicelog->szFilename);
  osxmltask.AddArgument("datasize", 0);
  osxmltask.AddArgument("dataoffset", 0);
  osxmltask.FinalizeCommand("datafile");
  osxmltask.FinalizeCommand("reportdiagnostic");
  osxmltask.FinalizeTask();
  if (osxmltask.IsError(true)) {
    OsLog(OS_LOG_ERROR, "Failed to build the 'unsupported' diagnostic reply...<%s>", a_pdevicelog->szFilename);
    return nullptr;
  }
  return osxmltask.GetTaskBuffer();
}

// A diagnostic that takes a while to end tells the user so.
EDEVSTS CDevDevice::DiagnosticEnd(EDBID_FIRMWARE a_edbidfirmware) {
  if (IsEmpty("DiagnosticEnd")) return DEV_STS_FAIL;
  long lEndTime;
  {
    CDbLockGuard dblock;
    lEndTime = static_cast<long>(m_pdatabase->ConfigGetNumber("diagendtime", DB_CONFIGTARGET_COMMON));
  }
  const bool blTell = lEndTime > 2000;
  if (blTell) MessageProc(DEV_DLG_DIAGNOSTIC, DEV_MSG_OPEN, nullptr, lEndTime);
  const EDEVSTS edevsts =
      Exchange(a_edbidfirmware, "diagnosticend", nullptr, DevDispatchTarget::Database(m_pdatabase));
  if (blTell) MessageProc(DEV_DLG_DIAGNOSTIC, DEV_MSG_CLEAR, nullptr, 0);
  return edevsts;
}

// ---------------------------------------------------------------------------
// Calibration
// ---------------------------------------------------------------------------
// The calibration type goes out under CALIBRATIONTYPE's lexicon name;
// calibratebegin adds what to keep and where.
EDEVSTS CDevDevice::CalibrateType(const char* a_szCommand, bool a_blBegin) {
  if (IsEmpty(a_szCommand)) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  const char* szId = nullptr;
  const char* szValue = nullptr;
  if (!CurrentLexiconNames(*m_pdatabase, DB_ID_CALIBRATIONTYPE, "DB_ID_CALIBRATIONTYPE...", szId, szValue))
    return DEV_STS_FAIL;
  return Exchange(
      CurrentFirmware(), a_szCommand,
      [&](COsXmlTask& a_osxmltask) {
        a_osxmltask.AddArgument(szId, szValue);
        if (!a_blBegin) return;
        const bool blKeep = m_pdatabase->GetCurrentLongFromId(DB_ID_CALIBRATEKEEPIMAGE) == 2;
        a_osxmltask.AddArgument("calibrationsavedata", blKeep ? "true" : "false");
        const char* szDirectory = m_pdatabase->GetCurrentStringFromId(DB_ID_CALIBRATIONDIRECTORY);
        a_osxmltask.AddArgumentCheck("calibrationdirectory", szDirectory ? szDirectory : "");
      },
      DevDispatchTarget::Database(m_pdatabase));
}

EDEVSTS CDevDevice::CalibrateBegin() { return CalibrateType("calibratebegin", true); }

EDEVSTS CDevDevice::CalibrateReset() { return CalibrateType("calibratereset", false); }

// A run may take minutes at the unit: it goes out on a builder of its own
// with the database lock given up, so that the caller's tasks and the
// unit's callbacks go on meanwhile; its reply is read into the database
// once it is back.
EDEVSTS CDevDevice::CalibrateRun() {
  if (IsEmpty("calibraterun")) return DEV_STS_FAIL;
  const EDBID_FIRMWARE edbidfirmware = CurrentFirmware();
  std::string strReply;
  bool blReply = false;
  {
    CDbLockRelease dblockrelease;
    std::lock_guard<std::recursive_mutex> lock(m_amutexBuilder[DEV_BUILDER_CALIBRATERUN]);
    if (!Build(DEV_BUILDER_CALIBRATERUN, "calibraterun", nullptr)) return DEV_STS_FAIL;
    const char* szReply = ScannerEntry(edbidfirmware, m_aposxmltask[DEV_BUILDER_CALIBRATERUN], 0);
    if (szReply) {
      strReply = szReply;
      blReply = true;
    }
  }
  CDbLockGuard dblock;
  return Dispatch(blReply ? strReply.c_str() : nullptr, DevDispatchTarget::Database(m_pdatabase), false,
                  edbidfirmware);
}

EDEVSTS CDevDevice::CalibrateEnd() {
  return Exchange(CurrentFirmware(), "calibrateend", nullptr, DevDispatchTarget::Database(m_pdatabase));
}
