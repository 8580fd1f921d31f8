// The colour-dropout lists: each unit is asked for its choices (getecdo),
// through its device manager when the model says the scanner knows them
// ("ecdo" for the unit), else through its image library; the replies are
// read into working lists and merged into the database's scanner list and
// custom list. With a flatbed only the choices both units offer are kept.
//
// Locks: the replies are read and parsed holding no lock of this unit (a
// caller inside a database callback still holds the database lock: the
// adapters give it up or keep to its order themselves); both database lists
// are then written in one database-lock scope, so that no reader sees them
// half filled. A device manager's reply is the library's only until the
// next call to that unit: it is copied before the resource lock is given
// back (which calls the unit again).
#include <cstring>
#include <optional>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevimpl.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

static_assert(DEV_ECDO_MAIN_ENTRIES == DB_ECDO_RECORDS - 1);
static_assert(DEV_ECDO_CUSTOM_ENTRIES == DB_ECDOCUSTOM_RECORDS - 1);
static_assert(DEV_ECDO_NAME_SIZE <= sizeof DbEcdoRecord::szName);
static_assert(DEV_ECDO_TEXT_SIZE <= sizeof DbEcdoRecord::szLabel);
static_assert(DEV_ECDO_ALGORITHM_SIZE <= sizeof DbEcdoRecord::szAlgorithm);

namespace {

constexpr const char s_szNone[] = "(none)";
constexpr const char s_szNormal[] = "normal";
constexpr const char s_szNormalFormData[] = "normalformdata";
constexpr const char s_szPmcdo[] = "pmcdo";
constexpr const char s_szDiscovery[] = "discovery";
// The reader's node store grows by this many nodes.
constexpr long s_lAtomIncrement = 4096;
constexpr size_t s_sizetTaskBuilder = 65536;

// ---------------------------------------------------------------------------
// Reading a reply
// ---------------------------------------------------------------------------
bool IsMainAlgorithm(const char* a_szAlgorithm) {
  return std::strcmp(a_szAlgorithm, s_szNormal) == 0 || std::strcmp(a_szAlgorithm, s_szNormalFormData) == 0 ||
         std::strcmp(a_szAlgorithm, s_szPmcdo) == 0;
}

// A leaf's text as the sender meant it: a CDATA section unwrapped, else the
// five predefined entities decoded (the reader leaves both as they stand).
std::string Unescape(const char* a_szText) {
  static constexpr const char s_szCdataOpen[] = "<![CDATA[";
  static constexpr const char s_szCdataClose[] = "]]>";
  const size_t sizetText = std::strlen(a_szText);
  const size_t sizetOpen = sizeof s_szCdataOpen - 1;
  const size_t sizetClose = sizeof s_szCdataClose - 1;
  if (sizetText >= sizetOpen + sizetClose && std::strncmp(a_szText, s_szCdataOpen, sizetOpen) == 0 &&
      std::strcmp(a_szText + sizetText - sizetClose, s_szCdataClose) == 0) {
    return std::string(a_szText + sizetOpen, sizetText - sizetOpen - sizetClose);
  }
  static constexpr struct {
    const char* szEntity;
    char c;
  } s_aentity[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''}, {"&quot;", '"'}};
  std::string str;
  str.reserve(sizetText);
  for (const char* pc = a_szText; *pc;) {
    bool blEntity = false;
    for (const auto& entity : s_aentity) {
      const size_t sizetEntity = std::strlen(entity.szEntity);
      if (*pc == '&' && std::strncmp(pc, entity.szEntity, sizetEntity) == 0) {
        str += entity.c;
        pc += sizetEntity;
        blEntity = true;
        break;
      }
    }
    if (!blEntity) str += *pc++;
  }
  return str;
}

// One reply's walk: the current node's name and text, read into buffers as
// large as the reply, so that no field can run past either.
class CEcdoReader {
 public:
  explicit CEcdoReader(size_t a_sizetReply) : m_strName(a_sizetReply + 1, '\0'), m_strText(a_sizetReply + 1, '\0') {}

  COsXml& Xml() { return m_osxml; }
  const char* Name() {
    if (m_osxml.NodeGetName(m_strName.data(), static_cast<long>(m_strName.size())) != OS_STS_SUCCESS) m_strName[0] = 0;
    return m_strName.c_str();
  }
  std::string Text() {
    if (m_osxml.NodeGetContent(m_strText.data(), static_cast<long>(m_strText.size())) != OS_STS_SUCCESS)
      m_strText[0] = '\0';
    return Unescape(m_strText.c_str());
  }

 private:
  COsXml m_osxml;
  std::string m_strName;
  std::string m_strText;
};

// A text into its field, a cut logged with the element it came from.
template <size_t N>
void PutField(char (&a_szField)[N], const std::string& a_str, const char* a_szElement) {
  if (!COsString::SStrCpyCut(a_szField, N, a_str.c_str()))
    OsLog(OS_LOG_ERROR, "ParseEcdo: <%s> cut to %zu characters...<%s>", a_szElement, N - 1, a_szField);
}

// The entry an "ecdo" element began, filled by the "text" and "algorithm"
// that follow it, and the lists it goes to once the next one begins.
class CEcdoEntries {
 public:
  CEcdoEntries(DevEcdoMain& a_devecdomain, DevEcdoCustom& a_devecdocustom)
      : m_devecdomain(a_devecdomain), m_devecdocustom(a_devecdocustom) {}

  // False once either list is full: reading stops.
  bool Element(const char* a_szName, const std::string& a_strText) {
    if (std::strcmp(a_szName, "ecdo") == 0) {
      if (!Commit()) return false;
      m_devecdoentry = DevEcdoEntry{};
      m_blOpen = true;
      PutField(m_devecdoentry.szName, a_strText, a_szName);
    } else if (m_blOpen && std::strcmp(a_szName, "text") == 0) {
      PutField(m_devecdoentry.szText, a_strText, a_szName);
    } else if (m_blOpen && std::strcmp(a_szName, "algorithm") == 0) {
      PutField(m_devecdoentry.szAlgorithm, a_strText, a_szName);
    }
    return true;
  }

  // The open entry into its list; false when a list is full.
  bool Commit() {
    if (m_blOpen) {
      m_blOpen = false;
      if (!m_devecdoentry.szName[0]) {
        OsLog(OS_LOG_ERROR, "ParseEcdo: an <ecdo> without a name, skipped...<%s>", m_devecdoentry.szText);
      } else {
        if (!m_devecdoentry.szAlgorithm[0])
          COsString::SStrCpy(m_devecdoentry.szAlgorithm, sizeof m_devecdoentry.szAlgorithm, s_szNormal);
        if (IsMainAlgorithm(m_devecdoentry.szAlgorithm)) {
          Add(m_devecdomain);
        } else {
          Add(m_devecdocustom);
        }
      }
    }
    return m_devecdomain.lCount < DevEcdoMain::s_lCapacity && m_devecdocustom.lCount < DevEcdoCustom::s_lCapacity;
  }

 private:
  template <class T>
  void Add(T& a_devecdotable) {
    if (a_devecdotable.lCount < T::s_lCapacity) a_devecdotable.adevecdoentry[a_devecdotable.lCount++] = m_devecdoentry;
  }

  DevEcdoMain& m_devecdomain;
  DevEcdoCustom& m_devecdocustom;
  DevEcdoEntry m_devecdoentry{};
  bool m_blOpen = false;
};

// ---------------------------------------------------------------------------
// Asking the units
// ---------------------------------------------------------------------------
// A unit's working lists and whether its reply was read.
struct EcdoUnit {
  DevEcdoMain* pdevecdomain = nullptr;
  DevEcdoCustom* pdevecdocustom = nullptr;
  bool blParsed = false;
};

// The unit's working lists, zero-filled; false (nothing kept) when either
// cannot be allocated.
bool Allocate(EcdoUnit& a_ecdounit) {
  a_ecdounit.pdevecdomain = static_cast<DevEcdoMain*>(OsMemAlloc(sizeof(DevEcdoMain)));
  a_ecdounit.pdevecdocustom = static_cast<DevEcdoCustom*>(OsMemAlloc(sizeof(DevEcdoCustom)));
  return a_ecdounit.pdevecdomain && a_ecdounit.pdevecdocustom;
}

void Free(EcdoUnit& a_ecdounit) {
  if (a_ecdounit.pdevecdomain) OsMemFree(a_ecdounit.pdevecdomain);
  if (a_ecdounit.pdevecdocustom) OsMemFree(a_ecdounit.pdevecdocustom);
  a_ecdounit = EcdoUnit{};
}

// What the configuration says of one unit's request, read under the lock.
struct EcdoRequest {
  bool blDevice = false;  // the device manager knows the choices ("ecdo" for the unit)
  std::string strLanguage;
  const char* szEcdoType = "default";
};

EcdoRequest ReadRequest(CDatabase& a_database, EDBID_FIRMWARE a_edbidfirmware) {
  CDbLockGuard dblockguard;
  EcdoRequest ecdorequest;
  const EDBCONFIGTARGET edbconfigtarget =
      a_edbidfirmware == DB_FIRMWARE_FLATBED ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF;
  ecdorequest.blDevice = a_database.ConfigExists("ecdo", edbconfigtarget);
  const char* szLanguage = a_database.ConfigUseLanguage(ecdorequest.blDevice, a_edbidfirmware);
  ecdorequest.strLanguage = szLanguage ? szLanguage : "";
  if (a_database.ConfigExists("ecdocustom", DB_CONFIGTARGET_COMMON)) ecdorequest.szEcdoType = "all";
  return ecdorequest;
}

bool NexilForcedOff() { return OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, 0) != 0; }

std::optional<std::string> Copy(const char* a_szReply) {
  if (!a_szReply) return std::nullopt;
  return std::string(a_szReply);
}

// The unit's getecdo reply (none when it has no library to ask or its lock
// is refused).
std::optional<std::string> Ask(CDevImpl& a_devimpl, EDBID_FIRMWARE a_edbidfirmware, const EcdoRequest& a_ecdorequest) {
  COsXmlTask osxmltask("", s_sizetTaskBuilder);
  osxmltask.StartTask(0, 0, nullptr);
  osxmltask.StartCommand("getecdo", 1);
  osxmltask.AddArgument("language", a_ecdorequest.strLanguage.c_str());
  osxmltask.AddArgument("ecdotype", a_ecdorequest.szEcdoType);
  osxmltask.FinalizeCommand("getecdo");
  osxmltask.FinalizeTask();
  if (!a_ecdorequest.blDevice) return Copy(a_devimpl.NexEntry(a_edbidfirmware, &osxmltask));
  if (a_devimpl.ResourceLock() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "GetEcdo: ResourceLock failed, unit %d not asked...", static_cast<int>(a_edbidfirmware));
    return std::nullopt;
  }
  std::optional<std::string> optstrReply = Copy(a_devimpl.ScannerEntry(a_edbidfirmware, &osxmltask));
  a_devimpl.ResourceUnlock();
  return optstrReply;
}

// ---------------------------------------------------------------------------
// Filling the database's lists
// ---------------------------------------------------------------------------
void PutRecord(DbEcdoRecord& a_dbecdorecord, uint32_t a_u32Value, const char* a_szName, const char* a_szLabel,
               const char* a_szAlgorithm) {
  a_dbecdorecord.u32Value = a_u32Value;
  COsString::SStrCpyCut(a_dbecdorecord.szName, DEV_ECDO_NAME_SIZE, a_szName);
  COsString::SStrCpyCut(a_dbecdorecord.szNameFlatbed, DEV_ECDO_NAME_SIZE, a_szName);
  COsString::SStrCpyCut(a_dbecdorecord.szLabel, sizeof a_dbecdorecord.szLabel, a_szLabel);
  COsString::SStrCpyCut(a_dbecdorecord.szKind, sizeof a_dbecdorecord.szKind, a_szAlgorithm);
  COsString::SStrCpyCut(a_dbecdorecord.szAlgorithm, sizeof a_dbecdorecord.szAlgorithm, a_szAlgorithm);
}

// Both lists emptied down to their "(none)" entry, which the rules number 2
// and never renumber.
void ClearLists(CDatabase& a_database) {
  DbEcdoRecord* adbecdorecord = a_database.DeviceGetEcdoHeader()->adbecdorecord;
  DbEcdoRecord* adbecdorecordCustom = a_database.DeviceGetEcdoCustomHeader()->adbecdorecord;
  std::memset(adbecdorecord, 0, sizeof(DbEcdoHeader));
  std::memset(adbecdorecordCustom, 0, sizeof(DbEcdoCustomHeader));
  const char* szLabel = a_database.LabelGet("enum_ecdo_(none)", "???", -1);
  if (!szLabel) szLabel = "???";
  PutRecord(adbecdorecord[0], DB_ID_ECDO_ENUM_NONE, s_szNone, szLabel, s_szNormal);
  PutRecord(adbecdorecordCustom[0], DB_ID_ECDOCUSTOM_ENUM_NONE, s_szNone, szLabel, s_szDiscovery);
}

// The groups of the scanner list, in order: multiple-colour choices, form
// data, then all the others.
bool InGroup(const DevEcdoEntry& a_devecdoentry, int a_iGroup) {
  const bool blPmcdo = std::strcmp(a_devecdoentry.szAlgorithm, s_szPmcdo) == 0;
  const bool blFormData = std::strcmp(a_devecdoentry.szAlgorithm, s_szNormalFormData) == 0;
  switch (a_iGroup) {
    case 0: return blPmcdo;
    case 1: return blFormData;
    default: return !blPmcdo && !blFormData;
  }
}

// The lists from one unit's choices (a_pecdounitOther: only those the other
// unit offers too); each entry's value stays 0 until the rules number it.
void FillLists(CDatabase& a_database, const EcdoUnit& a_ecdounit, const EcdoUnit* a_pecdounitOther) {
  DbEcdoRecord* adbecdorecord = a_database.DeviceGetEcdoHeader()->adbecdorecord;
  DbEcdoRecord* adbecdorecordCustom = a_database.DeviceGetEcdoCustomHeader()->adbecdorecord;
  long lRecord = 1;
  for (int iGroup = 0; iGroup < 3; ++iGroup) {
    for (long l = 0; l < a_ecdounit.pdevecdomain->lCount; ++l) {
      const DevEcdoEntry& devecdoentry = a_ecdounit.pdevecdomain->adevecdoentry[l];
      if (!InGroup(devecdoentry, iGroup)) continue;
      if (a_pecdounitOther && !CDevImpl::ItemExistsInEcdoList(devecdoentry.szName, *a_pecdounitOther->pdevecdomain))
        continue;
      PutRecord(adbecdorecord[lRecord++], 0, devecdoentry.szName, devecdoentry.szText, devecdoentry.szAlgorithm);
    }
  }
  lRecord = 1;
  for (long l = 0; l < a_ecdounit.pdevecdocustom->lCount; ++l) {
    const DevEcdoEntry& devecdoentry = a_ecdounit.pdevecdocustom->adevecdoentry[l];
    if (a_pecdounitOther &&
        !CDevImpl::ItemExistsInEcdoCustomList(devecdoentry.szName, *a_pecdounitOther->pdevecdocustom)) {
      continue;
    }
    PutRecord(adbecdorecordCustom[lRecord++], 0, devecdoentry.szName, devecdoentry.szText, devecdoentry.szAlgorithm);
  }
}

void StoreLists(CDatabase& a_database, const EcdoUnit& a_ecdounitFeeder, const EcdoUnit& a_ecdounitFlatbed) {
  CDbLockGuard dblockguard;
  ClearLists(a_database);
  if (a_ecdounitFeeder.blParsed) {
    FillLists(a_database, a_ecdounitFeeder, a_ecdounitFlatbed.blParsed ? &a_ecdounitFlatbed : nullptr);
  } else if (a_ecdounitFlatbed.blParsed) {
    FillLists(a_database, a_ecdounitFlatbed, nullptr);
  }
}

template <class T>
bool Exists(const char* a_szName, const T& a_devecdotable) {
  if (!a_szName) return false;
  for (long l = 0; l < a_devecdotable.lCount && l < T::s_lCapacity; ++l) {
    if (std::strcmp(a_devecdotable.adevecdoentry[l].szName, a_szName) == 0) return true;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// GetEcdo
// ---------------------------------------------------------------------------
EOSSTS CDevImpl::GetEcdo() {
  OsLogDebug(OS_LOG_INFO, ">>> CDevImpl::GetEcdo");
  if (!pod.m_pdatabase) {
    OsLog(OS_LOG_ERROR, "GetEcdo: pod.m_pdatabase is null...");
    return OS_STS_FAIL;
  }
  CDatabase& database = *pod.m_pdatabase;
  EcdoUnit aecdounit[2];
  if (!Allocate(aecdounit[0]) || !Allocate(aecdounit[1])) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    Free(aecdounit[0]);
    Free(aecdounit[1]);
    StoreLists(database, EcdoUnit{}, EcdoUnit{});
    return OS_STS_FAIL;
  }
  bool blFlatbed = false;
  {
    CDbLockGuard dblockguard;
    blFlatbed = database.ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON);
  }
  bool blNexilOff = false;
  for (EDBID_FIRMWARE edbidfirmware : {DB_FIRMWARE_ADF, DB_FIRMWARE_FLATBED}) {
    if (edbidfirmware == DB_FIRMWARE_FLATBED && !blFlatbed) break;
    EcdoUnit& ecdounit = aecdounit[edbidfirmware == DB_FIRMWARE_FLATBED ? 1 : 0];
    const EcdoRequest ecdorequest = ReadRequest(database, edbidfirmware);
    // Without the device manager's list, only the image library can tell.
    if (!ecdorequest.blDevice && NexilForcedOff()) {
      blNexilOff = true;
      break;
    }
    const std::optional<std::string> optstrReply = Ask(*this, edbidfirmware, ecdorequest);
    ecdounit.blParsed = optstrReply && ParseEcdo(optstrReply->c_str(), ecdounit.pdevecdomain,
                                                 ecdounit.pdevecdocustom) == OS_STS_SUCCESS;
    if (!ecdounit.blParsed) OsLog(OS_LOG_ERROR, "GetEcdo: no choices from unit %d...", static_cast<int>(edbidfirmware));
  }
  if (blNexilOff) {
    aecdounit[0].blParsed = aecdounit[1].blParsed = false;
  }
  StoreLists(database, aecdounit[0], aecdounit[1]);
  Free(aecdounit[0]);
  Free(aecdounit[1]);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// One reply
// ---------------------------------------------------------------------------
EOSSTS CDevImpl::ParseEcdo(const char* a_szReply, DevEcdoMain* a_pdevecdomain, DevEcdoCustom* a_pdevecdocustom) {
  if (!a_pdevecdomain || !a_pdevecdocustom) {
    OsLog(OS_LOG_ERROR, "ParseEcdo: no list...");
    return OS_STS_FAIL;
  }
  a_pdevecdomain->lCount = 0;
  a_pdevecdocustom->lCount = 0;
  if (!a_szReply) {
    OsLog(OS_LOG_ERROR, "ParseEcdo: no reply...");
    return OS_STS_FAIL;
  }
  CEcdoReader ecdoreader(std::strlen(a_szReply));
  COsXml& osxml = ecdoreader.Xml();
  osxml.SetAtomIncrement(s_lAtomIncrement);
  const EOSSTS eossts = osxml.DocumentLoad(a_szReply);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to DocumentLoad...%d", static_cast<int>(eossts));
    return OS_STS_FAIL;
  }
  // The task's first child: a reportstatus holding "success".
  std::string strStatus;
  const bool blStatus = osxml.NodeRewind() == OS_STS_SUCCESS && osxml.NodeChild() == OS_STS_SUCCESS &&
                        std::strcmp(ecdoreader.Name(), "reportstatus") == 0;
  if (blStatus && osxml.NodePush() == OS_STS_SUCCESS) {
    if (osxml.NodeChild() == OS_STS_SUCCESS) strStatus = ecdoreader.Text();
    osxml.NodePop();
  }
  if (!blStatus || strStatus != "success") {
    OsLog(OS_LOG_ERROR, "<reportstatus> from <getecdo> failed...<%s>", blStatus ? strStatus.c_str() : "");
    return OS_STS_FAIL;
  }
  // Then the choices, each "ecdo" beginning one.
  bool blReport = false;
  while (!blReport && osxml.NodeSibling() == OS_STS_SUCCESS)
    blReport = std::strcmp(ecdoreader.Name(), "reportecdo") == 0;
  if (!blReport || osxml.NodeChild() != OS_STS_SUCCESS) return OS_STS_SUCCESS;
  CEcdoEntries ecdoentries(*a_pdevecdomain, *a_pdevecdocustom);
  bool blMore = true;
  do {
    const std::string strName = ecdoreader.Name();
    blMore = ecdoentries.Element(strName.c_str(), ecdoreader.Text());
  } while (blMore && osxml.NodeSibling() == OS_STS_SUCCESS);
  if (blMore) ecdoentries.Commit();
  return OS_STS_SUCCESS;
}

bool CDevImpl::ItemExistsInEcdoList(const char* a_szName, const DevEcdoMain& a_devecdomain) {
  return Exists(a_szName, a_devecdomain);
}

bool CDevImpl::ItemExistsInEcdoCustomList(const char* a_szName, const DevEcdoCustom& a_devecdocustom) {
  return Exists(a_szName, a_devecdocustom);
}
