// What the settings GUI registered to show, and the report elements the
// bridge answers it with: values, containers, accesses, windows, names it
// could not resolve, profiles, the device log and the debug settings.
//
// Every writer appends whole elements to a reply composed on the calling
// thread (CDrvGuiTask) and runs under the caller's hold of the database
// lock, which also guards the registration: the dispatcher registers, the
// front-end thread reads it for its unasked reports. A capability that
// cannot be written whole (no lookup record, an item the lookup does not
// know) is left out, logged; the element around it stays well formed. The
// profile-list-changed flag is an atomic of its own: the profile commands
// set it on the dispatcher, the front-end thread's reports take it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "db_def.h"
#include "dev_def.h"
#include "os_def.h"

class CDatabase;
class CDbDatum;
class CDev;
class CDriver;
class CDrvGuiTask;
class COsXmlTask;

// What a value or container report covers.
enum EDRVREPORT : int32_t {
  DRV_REPORT_ONE = 1,        // the capability passed alone (the pending lists cleared first)
  DRV_REPORT_ALL = 2,        // every registered capability of the current camera and the machine
  DRV_REPORT_DIFFERENT = 3,  // as 2, less the lists and ranges equal in all camera bins (containers)
  DRV_REPORT_PENDING = 4,    // the pending-change list of the kind, from the capability passed
};

class CDrvGuiReports {
 public:
  // Names kept per bin, each of up to 127 characters.
  static constexpr size_t s_sizetUndefined = 254;
  static constexpr size_t s_sizetName = 128;
  static constexpr size_t s_sizetAllCamera = 10;

  CDrvGuiReports(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver);
  ~CDrvGuiReports();
  CDrvGuiReports(const CDrvGuiReports&) = delete;
  CDrvGuiReports& operator=(const CDrvGuiReports&) = delete;

  // Registration: cleared whole, then one name at a time. A name the
  // lookup does not know goes to the undefined lists of the camera bins.
  void RegisterClear();
  void RegisterName(const char* a_szName);
  // get's own unresolved names (bin 0).
  void UndefinedClear(EDBBIN a_edbbin);
  void UndefinedAdd(EDBBIN a_edbbin, const char* a_szName);
  // The capability a GUI name means in the current window and camera: its
  // lexicon, else its identifier name; null when neither is found.
  CDbDatum* FindGuiName(const char* a_szName);
  // The bin a capability was registered in for a camera bin (0: none).
  EDBBIN Registered(EDBBIN a_edbbinCamera, EDBID a_edbid) const;
  // Whether the id is on the all-camera list.
  bool IsAllCamera(EDBID a_edbid) const;
  bool TakeProfileListChanged();
  void SetProfileListChanged() { m_blProfileListChanged.store(true); }

  // The report elements.
  void CmdReportValues(CDrvGuiTask& a_drvguitask, EDRVREPORT a_edrvreport, CDbDatum* a_pdbdatum,
                       bool a_blCurrentBinOnly);
  // One element of the named capabilities, in their order (getvalues).
  void CmdReportValuesNamed(CDrvGuiTask& a_drvguitask, const std::vector<std::string>& a_vecstrName);
  void CmdReportValuesMag(CDrvGuiTask& a_drvguitask);
  void CmdReportContainers(CDrvGuiTask& a_drvguitask, EDRVREPORT a_edrvreport, CDbDatum* a_pdbdatum);
  void CmdReportAccesses(CDrvGuiTask& a_drvguitask, CDbDatum* a_pdbdatum, bool a_blCurrentBinOnly);
  void CmdReportUndefines(CDrvGuiTask& a_drvguitask);
  void CmdReportWindows(CDrvGuiTask& a_drvguitask);
  void CmdReportAllCameraWindowValues(CDrvGuiTask& a_drvguitask, EDBID a_edbid);
  void CmdReportProfiles(CDrvGuiTask& a_drvguitask);
  void CmdReportProfileItem(CDrvGuiTask& a_drvguitask);
  void CmdReportLog(CDrvGuiTask& a_drvguitask, const DeviceLog& a_devicelog);
  void CmdReportDebug(CDrvGuiTask& a_drvguitask);
  // The window list the driver writes, copied in.
  void CmdReportWindowList(CDrvGuiTask& a_drvguitask);

  // Whole tasks, not sent; the full report carries the status given (0
  // success).
  void TaskGet(CDrvGuiTask& a_drvguitask, uint64_t a_u64Reply, int32_t a_i32Status = 0);
  void TaskGetValues(CDrvGuiTask& a_drvguitask, uint64_t a_u64Reply);
  void TaskGetValuesCurrentBin(CDrvGuiTask& a_drvguitask, uint64_t a_u64Reply);

  // The device log a change of LOG reports: fetched into the dispatcher's
  // own record, outside the database lock. False when the engine fails.
  bool FetchLog();
  const DeviceLog& GetLog() const { return m_devicelog; }

 private:
  EDBBIN CurrentBin();
  // The children of one capability's value report; false: left out.
  bool ValueChildren(CDbDatum* a_pdbdatum, std::string& a_strChildren);
  bool ContainerElement(CDbDatum* a_pdbdatum, std::string& a_strElement);
  bool Reportable(CDbDatum* a_pdbdatum, EDBBIN a_edbbinCurrent, bool a_blLog);
  CDbDatum* RegisteredDatum(EDBBIN a_edbbinCamera, EDBID a_edbid, bool a_blCurrentBinOnly);

  CDatabase* m_pdatabase;
  CDev* m_pdev;
  CDriver* m_pdriver;
  // Per camera bin and id: the bin the registered capability lives in.
  uint8_t m_au8Registered[6][254] = {};
  std::vector<std::string> m_avecstrUndefined[6];
  bool m_ablUndefinedFull[6] = {};
  EDBID m_aedbidAllCamera[s_sizetAllCamera + 1] = {};
  std::atomic<bool> m_blProfileListChanged{false};
  DeviceLog m_devicelog = {};
  COsXmlTask* m_posxmltaskWindowList = nullptr;
};
