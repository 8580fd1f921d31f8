// The device-manager adapter: construction and teardown, its accessors and
// the round trip of one task (build, number, send, dispatch).
#include "dev_cdevdevice.h"

#include <cerrno>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "db_cdbdatum.h"
#include "dp_cdispatch.h"
#include "dp_creportstatus.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {
constexpr size_t s_sizetBuilder = 65536;

// The EDEVSTS of each reply code (EDEVREPLY order).
constexpr EDEVSTS s_aedevstsReply[] = {
    DEV_STS_SUCCESS,             // success
    DEV_STS_FAIL,                // fail
    DEV_STS_BUSY,                // busy
    DEV_STS_CALIBRATIONREQUIRED, // calibrationrequired
    DEV_STS_CLEANGUIDES,         // cleanguides
    DEV_STS_COVEROPEN,           // coveropen
    DEV_STS_CRITICALERROR,       // criticalerror
    DEV_STS_DISCONNECTED,        // disconnected
    DEV_STS_ECDOCUSTOMLEARNFAIL, // ecdocustomlearnfail
    DEV_STS_ENDOFMESSAGES,       // endofmessages
    DEV_STS_FAIL,                // endofinput
    DEV_STS_ENDOFJOB,            // endofoutput
    DEV_STS_ENDOFSHEET,          // endofsheet
    DEV_STS_FAIL,                // invalidstate
    DEV_STS_LAMPSWARMINGUP,      // lampswarming
    DEV_STS_DOUBLEDOCUMENT,      // multifeed
    DEV_STS_NOFEEDERFOUND,       // nofeederfound
    DEV_STS_NOIMAGEAVAILABLE,    // noimageready
    DEV_STS_NOPRINTHEADFOUND,    // noprintheadfound
    DEV_STS_NOTCOMPLETE,         // notcomplete
    DEV_STS_NOTENOUGHCOLOR,      // notenoughcolor
    DEV_STS_NOTENOUGHPAGES,      // notenoughpages
    DEV_STS_NOWHITEPATCHFOUND,   // nowhitepatchfound
    DEV_STS_PAPERJAM,            // paperjam
    DEV_STS_USERACTION,          // useraction
};
static_assert(sizeof s_aedevstsReply / sizeof s_aedevstsReply[0] == DEV_REPLY_USERACTION + 1, "one per reply code");
}  // namespace

CDevDevice::CDevDevice(CDatabase* a_pdatabase, CDev* a_pdev) {
  if (!a_pdatabase || !a_pdev) {
    OsLog(OS_LOG_ERROR, "null argument...%p %p", static_cast<void*>(a_pdatabase), static_cast<void*>(a_pdev));
    return;
  }
  m_pdatabase = a_pdatabase;
  m_pdev = a_pdev;
  COsString::SStrCpy(m_szTagToAdf, sizeof m_szTagToAdf, "DRV2DEV");
  COsString::SStrCpy(m_szTagToFlatbed, sizeof m_szTagToFlatbed, "DRV2DEVFLATBED");
  COsString::SStrCpy(m_szTagFromAdf, sizeof m_szTagFromAdf, "DEV2DRV");
  COsString::SStrCpy(m_szTagFromFlatbed, sizeof m_szTagFromFlatbed, "DEVFLATBED2DRV");
  for (COsXmlTask*& posxmltask : m_aposxmltask) posxmltask = OsMemNew(COsXmlTask, "", s_sizetBuilder);
  m_pdispatch = OsMemNew(CDispatch);
  m_posfileAdf = OsMemNew(COsFile);
  m_posfileFlatbed = OsMemNew(COsFile);
  Enlist(this);
  if (!m_pdispatch) return;
  if (m_pdispatch->SetupDispatchTemplate() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed SetupDispatchTemplate...");
  } else if (m_pdispatch->SetupDispatchOutput() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed SetupDispatchOutput...");
    m_pdispatch->FreeDispatchTemplate();
  }
}

CDevDevice::~CDevDevice() {
  if (m_pfnScannerEntryAdf.load() || m_pfnScannerEntryFlatbed.load()) {
    OsLogDebug(OS_LOG_INFO, "CDevDevice: unloading the units still loaded...");
    Unload(DB_FIRMWARE_BOTH, nullptr);
  }
  Delist(this);
  for (COsXmlTask*& posxmltask : m_aposxmltask) OsMemDelete(posxmltask);
  OsMemDelete(m_pdispatch);
  OsMemDelete(m_posfileAdf);
  OsMemDelete(m_posfileFlatbed);
}

bool CDevDevice::IsEmpty(const char* a_szOperation) const {
  if (m_pdatabase && m_aposxmltask[DEV_BUILDER_GENERAL] && m_pdispatch) return false;
  OsLog(OS_LOG_ERROR, "%s: the adapter is empty...", a_szOperation);
  return true;
}

EDBID_FIRMWARE CDevDevice::GetFirmware() const {
  return static_cast<EDBID_FIRMWARE>((m_pfnScannerEntryAdf.load() ? DB_FIRMWARE_ADF : 0) |
                                     (m_pfnScannerEntryFlatbed.load() ? DB_FIRMWARE_FLATBED : 0));
}

long CDevDevice::GetDeviceStatus() const { return m_lDeviceStatus.load() == DEV_ONLINE_ONLINE ? 2 : 3; }

long CDevDevice::GetLampWarmupTimeout() {
  if (!m_pdatabase) return 0;
  CDbLockGuard dblock;
  return static_cast<long>(m_pdatabase->ConfigGetNumber("lampwarmuptime", DB_CONFIGTARGET_COMMON) * 1000);
}

void CDevDevice::MessageProc(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, char* a_szText, long a_lValue) {
  const PFNDEVMESSAGEMANAGER pfnMessageProc = m_pfnMessageProc.load();
  if (pfnMessageProc) pfnMessageProc(a_edevdlg, a_edevmsg, a_szText, a_lValue, DEV_BUTTONS_NONE);
}

void CDevDevice::SetAllowResourceLock(bool a_blAllow) {
  if (m_blAllowResourceLock.exchange(a_blAllow) == a_blAllow) return;
  OsLogDebug(OS_LOG_INFO,
             a_blAllow ? "ResourceEnd (SetAllowResourceLock)..." : "ResourceBegin (SetAllowResourceLock)...");
}

// ---------------------------------------------------------------------------
// The round trip
// ---------------------------------------------------------------------------
PFNSCANNERENTRY CDevDevice::Entry(EDBID_FIRMWARE a_edbidfirmware) const {
  switch (a_edbidfirmware) {
    case DB_FIRMWARE_ADF: return m_pfnScannerEntryAdf.load();
    case DB_FIRMWARE_FLATBED: return m_pfnScannerEntryFlatbed.load();
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized a_edbidfirmware...%d", static_cast<int>(a_edbidfirmware));
      return nullptr;
  }
}

void CDevDevice::Stamp(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask) {
  a_posxmltask->SetId(static_cast<int>(++m_lTaskId));
  const char* szTag = a_edbidfirmware == DB_FIRMWARE_FLATBED ? m_szTagToFlatbed : m_szTagToAdf;
  OsLogDebug(OS_LOG_PROTOCOL, "<%s>%s</%s>", szTag, a_posxmltask->GetTaskBuffer(), szTag);
}

const char* CDevDevice::Call(EDBID_FIRMWARE a_edbidfirmware, PFNSCANNERENTRY a_pfnscannerentry, const char* a_szTask) {
  errno = 0;
  const char* szReply = a_pfnscannerentry(a_szTask);
  errno = 0;
  const char* szTag = a_edbidfirmware == DB_FIRMWARE_FLATBED ? m_szTagFromFlatbed : m_szTagFromAdf;
  OsLogDebug(OS_LOG_PROTOCOL, "<%s>%s</%s>", szTag, szReply ? szReply : "(null)", szTag);
  return szReply;
}

const char* CDevDevice::ScannerEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask, long) {
  const PFNSCANNERENTRY pfnscannerentry = Entry(a_edbidfirmware);
  if (!pfnscannerentry) return nullptr;
  if (!a_posxmltask || !a_posxmltask->GetTaskBuffer()) {
    OsLog(OS_LOG_ERROR, "a_posxmltask is null...");
    return nullptr;
  }
  Stamp(a_edbidfirmware, a_posxmltask);
  return Call(a_edbidfirmware, pfnscannerentry, a_posxmltask->GetTaskBuffer());
}

EDEVSTS CDevDevice::MapReply(EDEVREPLY a_edevreply) {
  if (a_edevreply < 0 || a_edevreply > DEV_REPLY_USERACTION) return DEV_STS_FAIL;
  return s_aedevstsReply[a_edevreply];
}

EDEVSTS CDevDevice::Dispatch(const char* a_szReply, const DevDispatchTarget& a_devdispatchtarget,
                             bool a_blInterfaceOpen, EDBID_FIRMWARE a_edbidfirmware) {
  if (!m_pdispatch) {
    OsLog(OS_LOG_ERROR, "m_pdispatch is null...");
    return DEV_STS_FAIL;
  }
  return MapReply(m_pdispatch->Process(a_szReply, a_devdispatchtarget, a_blInterfaceOpen, a_edbidfirmware));
}

// ---------------------------------------------------------------------------
// One task on a builder
// ---------------------------------------------------------------------------
bool CDevDevice::Build(EDEVBUILDER a_edevbuilder, const char* a_szCommand, const DevChildren& a_devchildren) {
  COsXmlTask* posxmltask = m_aposxmltask[a_edevbuilder];
  if (!posxmltask) {
    OsLog(OS_LOG_ERROR, "No builder %d for the task <%s>, nothing sent...", static_cast<int>(a_edevbuilder),
          a_szCommand);
    return false;
  }
  posxmltask->Clear();
  posxmltask->StartTask(0, 0, nullptr);
  posxmltask->StartCommand(a_szCommand, 1);
  if (a_devchildren) a_devchildren(*posxmltask);
  posxmltask->FinalizeCommand(a_szCommand);
  posxmltask->FinalizeTask();
  if (!posxmltask->IsError(true) && posxmltask->GetTaskBuffer()) return true;
  OsLog(OS_LOG_ERROR, "Failed to build the task <%s>, nothing sent...", a_szCommand);
  return false;
}

EDEVSTS CDevDevice::Exchange(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand, const DevChildren& a_devchildren,
                             const DevDispatchTarget& a_devdispatchtarget, const DevReplyReader& a_devreplyreader) {
  if (IsEmpty(a_szCommand)) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  return ExchangeOn(DEV_BUILDER_GENERAL, a_edbidfirmware, a_szCommand, a_devchildren, a_devdispatchtarget,
                    a_devreplyreader);
}

EDEVSTS CDevDevice::ExchangeOn(EDEVBUILDER a_edevbuilder, EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand,
                               const DevChildren& a_devchildren, const DevDispatchTarget& a_devdispatchtarget,
                               const DevReplyReader& a_devreplyreader, bool a_blInterfaceOpen) {
  if (IsEmpty(a_szCommand)) return DEV_STS_FAIL;
  std::lock_guard<std::recursive_mutex> lock(m_amutexBuilder[a_edevbuilder]);
  if (!Build(a_edevbuilder, a_szCommand, a_devchildren)) return DEV_STS_FAIL;
  const char* szReply = ScannerEntry(a_edbidfirmware, m_aposxmltask[a_edevbuilder], 0);
  if (a_devreplyreader && !a_devreplyreader(szReply)) return DEV_STS_FAIL;
  return Dispatch(szReply, a_devdispatchtarget, a_blInterfaceOpen, a_edbidfirmware);
}

EDEVSTS CDevDevice::Tell(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand, const DevChildren& a_devchildren) {
  return TellOn(DEV_BUILDER_GENERAL, a_edbidfirmware, a_szCommand, a_devchildren);
}

EDEVSTS CDevDevice::TellWord(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand) {
  EDEVSTS edevstsWord = DEV_STS_SUCCESS;
  const EDEVSTS edevsts = TellOn(DEV_BUILDER_GENERAL, a_edbidfirmware, a_szCommand, nullptr, &edevstsWord);
  return edevsts != DEV_STS_SUCCESS ? edevsts : edevstsWord;
}

EDEVSTS CDevDevice::ReplyWord(const char* a_szReply) {
  char szWord[32] = {};
  EDEVREPLY edevreply = DEV_REPLY_SUCCESS;
  if (!a_szReply || COsXml::GetContent(a_szReply, "<status>", "</status>", szWord, sizeof szWord) != OS_STS_SUCCESS)
    return DEV_STS_SUCCESS;
  if (!CReportStatus::CodeFromWord(szWord, &edevreply)) {
    OsLog(OS_LOG_ERROR, "Unrecognized status %s", szWord);
    return DEV_STS_SUCCESS;
  }
  return MapReply(edevreply);
}

EDEVSTS CDevDevice::TellOn(EDEVBUILDER a_edevbuilder, EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand,
                           const DevChildren& a_devchildren, EDEVSTS* a_pedevstsWord) {
  if (IsEmpty(a_szCommand)) return DEV_STS_FAIL;
  const PFNSCANNERENTRY pfnscannerentry = Entry(a_edbidfirmware);
  if (!pfnscannerentry) return DEV_STS_SUCCESS;
  std::string strTask;
  {
    std::lock_guard<std::recursive_mutex> lock(m_amutexBuilder[a_edevbuilder]);
    if (!Build(a_edevbuilder, a_szCommand, a_devchildren)) return DEV_STS_FAIL;
    Stamp(a_edbidfirmware, m_aposxmltask[a_edevbuilder]);
    strTask = m_aposxmltask[a_edevbuilder]->GetTaskBuffer();
  }
  const char* szReply = Call(a_edbidfirmware, pfnscannerentry, strTask.c_str());
  if (a_pedevstsWord) *a_pedevstsWord = ReplyWord(szReply);
  return DEV_STS_SUCCESS;
}

// The current value of FIRMWARE: the unit that most tasks go to.
EDBID_FIRMWARE CDevDevice::CurrentFirmware() {
  CDbLockGuard dblock;
  return static_cast<EDBID_FIRMWARE>(m_pdatabase ? m_pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE) : 0);
}

// The unit a session opens is current even before the model's inquiry
// offers it (a flatbed completing first): its version and configuration
// reports are read for the current unit. Where the capability refuses the
// unit, the datum takes it as it stands, without a fix-up that would undo
// it.
void CDevDevice::SetCurrentFirmware(EDBID_FIRMWARE a_edbidfirmware) {
  CDbLockGuard dblock;
  CDbDatum* pdbdatum = m_pdatabase ? m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_FIRMWARE) : nullptr;
  if (!pdbdatum) {
    OsLog(OS_LOG_ERROR, "FIRMWARE not found...%d", static_cast<int>(a_edbidfirmware));
    return;
  }
  if (m_pdatabase->GetCurrentLong(pdbdatum) == a_edbidfirmware) return;
  if (m_pdatabase->SetCurrentLong(pdbdatum, a_edbidfirmware, false) != DB_STS_SUCCESS ||
      m_pdatabase->GetCurrentLong(pdbdatum) != a_edbidfirmware) {
    OsLogDebug(OS_LOG_INFO, "FIRMWARE does not offer %d yet, forced...", static_cast<int>(a_edbidfirmware));
    pdbdatum->ForceCurrentLong(a_edbidfirmware);
  }
}
