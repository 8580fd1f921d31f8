// The set command: the handlers that gather a set's arguments into the set
// request (shared with the sets of a setmany), and the set's exit, which
// acts on the combination of elements given and answers.
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblookup.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"

namespace {

// Argument flags: an enumeration value taken, a list tag taken, a profile
// named, the three parts of a data file (a range's are DRV_RANGEFLAG_*).
constexpr uint64_t s_u64ArgEnumValue = 2;
constexpr uint64_t s_u64ArgListValue = 1;
constexpr uint64_t s_u64ArgProfileValue = 1;
constexpr uint64_t s_u64ArgFilename = 1;
constexpr uint64_t s_u64ArgDataSize = 2;
constexpr uint64_t s_u64ArgDataOffset = 4;
constexpr uint64_t s_u64ArgDataFile = s_u64ArgFilename | s_u64ArgDataSize | s_u64ArgDataOffset;

}  // namespace

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------
const char* CDrvProcessCommands::ElementText(const OsXmlCallback* a_posxmlcallback) {
  return a_posxmlcallback->szData ? a_posxmlcallback->szData : "";
}

void CDrvProcessCommands::ClearSetRequest() { std::memset(&m_drvsetrequest, 0, sizeof m_drvsetrequest); }

EOSSTS CDrvProcessCommands::TakeText(char* a_szField, size_t a_sizetField, const char* a_szData,
                                     const char* a_szElement) {
  if (::strnlen(a_szData, a_sizetField) >= a_sizetField) {
    OsLog(OS_LOG_ERROR, "text too long for <%s>...<%.64s>", a_szElement, a_szData);
    return Refuse(DB_STS_BADVALUE);
  }
  std::strcpy(a_szField, a_szData);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::TakeNumber(const OsXmlCallback* a_posxmlcallback, int32_t* a_pi32Field,
                                       uint64_t* a_pu64Flags, uint64_t a_u64Flag) {
  if (!ReadNumber(ElementText(a_posxmlcallback), a_pi32Field)) return Refuse(DB_STS_BADVALUE);
  *a_pu64Flags |= a_u64Flag;
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::Refuse(EDBSTS a_edbsts) {
  if (!NoDatabase()) m_pdatabase->CreateTaskReportStatus(GetSetStatusWord(a_edbsts), nullptr);
  return OS_STS_FAIL;
}

// A subcommand is complete when its arguments are exactly those it needs.
EOSSTS CDrvProcessCommands::EndSubcommand(uint64_t a_u64Arguments, uint64_t a_u64SetType, EDBSTS a_edbstsRefused,
                                          const char* a_szMissing) {
  if (m_drvsetrequest.u64ArgumentFlags != a_u64Arguments) {
    OsLog(OS_LOG_ERROR, "%s", a_szMissing);
    return Refuse(a_edbstsRefused);
  }
  m_drvsetrequest.u64SetType |= a_u64SetType;
  return OS_STS_SUCCESS;
}

const char* CDrvProcessCommands::GetSetStatusWord(EDBSTS a_edbsts) {
  switch (static_cast<int>(a_edbsts)) {
    case DB_STS_SUCCESS: return "success";
    case DB_STS_BADVALUE:
    case DB_STS_BADARGUMENT: return "badvalue";
    case DRV_SETSTS_READONLY: return "readonly";
    case DB_STS_NOTAVAILABLE: return "notavailable";
    default: return "fail";
  }
}

// strtoll reads as atoi does, but tells a number beyond 64 bits; the 32-bit
// fields then take only what fits them.
bool CDrvProcessCommands::ReadNumber(const char* a_szText, int32_t* a_pi32Value) {
  *a_pi32Value = 0;
  if (!a_szText) return true;
  errno = 0;
  const long long ll = std::strtoll(a_szText, nullptr, 10);
  if (errno == ERANGE || ll < INT32_MIN || ll > INT32_MAX) {
    OsLog(OS_LOG_ERROR, "number beyond 32 bits...<%.64s>", a_szText);
    return false;
  }
  *a_pi32Value = static_cast<int32_t>(ll);
  return true;
}

// ---------------------------------------------------------------------------
// Gathering
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::EnterSet(OsXmlCallback*) {
  ClearSetRequest();
  return OS_STS_SUCCESS;
}

// One capability has two names: the front ends' old one stands for the
// capability's own. A region's range never reaches back past an id to the
// field before it.
EOSSTS CDrvProcessCommands::EnterSetId(OsXmlCallback* a_posxmlcallback) {
  const char* szData = ElementText(a_posxmlcallback);
  if (std::strcmp(szData, "edgefillallsize") == 0) szData = "edgefillallsides";
  m_drvsetrequest.u64SetType |= DRV_SETTYPE_ID;
  m_drvsetrequest.i32RegionField = DRV_REGIONRANGE_NONE;
  return TakeText(m_drvsetrequest.szId, sizeof m_drvsetrequest.szId, szData, "id");
}

EOSSTS CDrvProcessCommands::EnterSetCameratype(OsXmlCallback* a_posxmlcallback) {
  return TakeText(m_drvsetrequest.szCameraType, sizeof m_drvsetrequest.szCameraType, ElementText(a_posxmlcallback),
                  "cameratype");
}

EOSSTS CDrvProcessCommands::EnterSetWindowtype(OsXmlCallback* a_posxmlcallback) {
  return TakeText(m_drvsetrequest.szWindowType, sizeof m_drvsetrequest.szWindowType, ElementText(a_posxmlcallback),
                  "windowtype");
}

EOSSTS CDrvProcessCommands::EnterSetValuecurrent(OsXmlCallback* a_posxmlcallback) {
  m_drvsetrequest.u64SetType |= DRV_SETTYPE_VALUECURRENT;
  return TakeText(m_drvsetrequest.szValue, sizeof m_drvsetrequest.szValue, ElementText(a_posxmlcallback),
                  "valuecurrent");
}

// The values name entries of the capability the id names, so the id comes
// first.
EOSSTS CDrvProcessCommands::EnterSetEnumValue(OsXmlCallback* a_posxmlcallback) {
  if (NoDatabase()) return OS_STS_FAIL;
  const char* szData = ElementText(a_posxmlcallback);
  DbLookup2* pdblookup2 = m_drvsetrequest.szId[0] ? m_pdatabase->LookupDriverLexicon(m_drvsetrequest.szId) : nullptr;
  if (!pdblookup2) {
    OsLog(OS_LOG_ERROR, "Unrecognized lexicon Id %s...", m_drvsetrequest.szId);
    return Refuse(DB_STS_BADVALUE);
  }
  DbLookupEnum* pdblookupenum = m_pdatabase->LookupLexiconEnum(pdblookup2, szData);
  if (!pdblookupenum) {
    OsLog(OS_LOG_ERROR, "Unrecognized lexicon enum %.64s for %s...", szData, m_drvsetrequest.szId);
    return Refuse(DB_STS_BADVALUE);
  }
  DrvEnumArguments& drvenumarguments = m_drvsetrequest.drvsetarguments.drvenumarguments;
  if (drvenumarguments.u32Count >= DRV_SETREQUEST_ENUMS) {
    OsLog(OS_LOG_ERROR, "Array overflow for the enumeration %d...", static_cast<int>(drvenumarguments.u32Count));
    return Refuse(DB_STS_BADVALUE);
  }
  drvenumarguments.au32Value[drvenumarguments.u32Count++] = static_cast<uint32_t>(pdblookupenum->lValue);
  m_drvsetrequest.u64ArgumentFlags |= s_u64ArgEnumValue;
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::ExitSetEnum(OsXmlCallback*) {
  return EndSubcommand(s_u64ArgEnumValue, DRV_SETTYPE_ENUM, DB_STS_BADVALUE,
                       "The <value> argument is required for <enum> subcommand");
}

EOSSTS CDrvProcessCommands::EnterSetRangemin(OsXmlCallback* a_posxmlcallback) {
  return TakeNumber(a_posxmlcallback, &m_drvsetrequest.drvsetarguments.drvrangearguments.i32Min,
                    &m_drvsetrequest.u64ArgumentFlags, DRV_RANGEFLAG_MIN);
}

EOSSTS CDrvProcessCommands::EnterSetRangemax(OsXmlCallback* a_posxmlcallback) {
  return TakeNumber(a_posxmlcallback, &m_drvsetrequest.drvsetarguments.drvrangearguments.i32Max,
                    &m_drvsetrequest.u64ArgumentFlags, DRV_RANGEFLAG_MAX);
}

EOSSTS CDrvProcessCommands::EnterSetRangestep(OsXmlCallback* a_posxmlcallback) {
  return TakeNumber(a_posxmlcallback, &m_drvsetrequest.drvsetarguments.drvrangearguments.i32Step,
                    &m_drvsetrequest.u64ArgumentFlags, DRV_RANGEFLAG_STEP);
}

EOSSTS CDrvProcessCommands::ExitSetRange(OsXmlCallback*) {
  return EndSubcommand(DRV_RANGEFLAG_ALL, DRV_SETTYPE_RANGE, DB_STS_BADVALUE,
                       "Missing argument(s) <rangemin>, <rangemax> or <rangestep> for <range> subcommand");
}

EOSSTS CDrvProcessCommands::EnterSetList(OsXmlCallback*) {
  m_drvsetrequest.u32ListCount = 0;
  return OS_STS_SUCCESS;
}

// Each tag must be a window tag the lookup knows; the list holds as many as
// the window map has rows of a full scanner and more, never beyond its slots.
EOSSTS CDrvProcessCommands::EnterSetListValue(OsXmlCallback* a_posxmlcallback) {
  if (NoDatabase()) return OS_STS_FAIL;
  const char* szData = ElementText(a_posxmlcallback);
  DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(DB_ID_WINDOWBIN);
  DbLookupEnum* pdblookupenum = pdblookup2 ? m_pdatabase->LookupLexiconEnum(pdblookup2, szData) : nullptr;
  if (!pdblookupenum || ::strnlen(szData, DRV_SETREQUEST_TAG) >= DRV_SETREQUEST_TAG) {
    OsLog(OS_LOG_ERROR, "pdblookupenum is null for %.64s", szData);
    return Refuse(DB_STS_FAIL);
  }
  if (m_drvsetrequest.u32ListCount >= DRV_SETREQUEST_TAGS) {
    OsLog(OS_LOG_ERROR, "Array overflow for the list %d...", static_cast<int>(m_drvsetrequest.u32ListCount));
    return Refuse(DB_STS_BADVALUE);
  }
  std::strcpy(m_drvsetrequest.drvsetarguments.drvlistarguments.aszTag[m_drvsetrequest.u32ListCount++], szData);
  m_drvsetrequest.u64ArgumentFlags |= s_u64ArgListValue;
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::ExitSetList(OsXmlCallback*) {
  return EndSubcommand(s_u64ArgListValue, DRV_SETTYPE_LIST, DB_STS_FAIL,
                       "The <value> argument is required for <list> subcommand");
}

// A file name that does not fit its field is refused whole: a cut name
// could name another file, which an override would then delete.
EOSSTS CDrvProcessCommands::EnterSetFilename(OsXmlCallback* a_posxmlcallback) {
  DrvDataFileArguments& drvdatafilearguments = m_drvsetrequest.drvsetarguments.drvdatafilearguments;
  if (TakeText(drvdatafilearguments.szFilename, sizeof drvdatafilearguments.szFilename, ElementText(a_posxmlcallback),
               "filename") != OS_STS_SUCCESS)
    return OS_STS_FAIL;
  m_drvsetrequest.u64ArgumentFlags |= s_u64ArgFilename;
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterSetDatasize(OsXmlCallback* a_posxmlcallback) {
  return TakeNumber(a_posxmlcallback, &m_drvsetrequest.drvsetarguments.drvdatafilearguments.i32DataSize,
                    &m_drvsetrequest.u64ArgumentFlags, s_u64ArgDataSize);
}

EOSSTS CDrvProcessCommands::EnterSetDataoffset(OsXmlCallback* a_posxmlcallback) {
  return TakeNumber(a_posxmlcallback, &m_drvsetrequest.drvsetarguments.drvdatafilearguments.i32DataOffset,
                    &m_drvsetrequest.u64ArgumentFlags, s_u64ArgDataOffset);
}

EOSSTS CDrvProcessCommands::ExitSetDatafile(OsXmlCallback*) {
  return EndSubcommand(s_u64ArgDataFile, DRV_SETTYPE_DATAFILE, DB_STS_BADVALUE,
                       "Missing argument(s) <filename>, <datasize>, or <dataoffset> for <datafile> subcommand");
}

EOSSTS CDrvProcessCommands::EnterSetProfileitem(OsXmlCallback*) { return OS_STS_SUCCESS; }

// The profile's name stands in the request's value; like an id it marks the
// set as naming something.
EOSSTS CDrvProcessCommands::EnterSetProfileitemValue(OsXmlCallback* a_posxmlcallback) {
  m_drvsetrequest.u64SetType |= DRV_SETTYPE_ID;
  if (TakeText(m_drvsetrequest.szValue, sizeof m_drvsetrequest.szValue, ElementText(a_posxmlcallback), "value") !=
      OS_STS_SUCCESS)
    return OS_STS_FAIL;
  m_drvsetrequest.u64ArgumentFlags |= s_u64ArgProfileValue;
  return OS_STS_SUCCESS;
}

// A profile item stands alone beside the id, and names its profile.
EOSSTS CDrvProcessCommands::ExitSetProfileitem(OsXmlCallback*) {
  const char* szMissing = "The <value> argument is required for <profileitem> subcommand";
  if (m_drvsetrequest.u64SetType != DRV_SETTYPE_ID) {
    OsLog(OS_LOG_ERROR, "%s", szMissing);
    return Refuse(DB_STS_FAIL);
  }
  return EndSubcommand(s_u64ArgProfileValue, DRV_SETTYPE_PROFILEITEM, DB_STS_FAIL, szMissing);
}

// ---------------------------------------------------------------------------
// The set's work
// ---------------------------------------------------------------------------
// Each set is one change by the application (state 4, cleared on every
// path) and answers for itself, so the walk always goes on: a refusal is
// in the reply, not in the task's status. The changes reported are this
// set's alone.
EOSSTS CDrvProcessCommands::ExitSet(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  m_pdatabase->SetDbState(DB_STATE_APPLICATION);
  const uint64_t u64SetType = m_drvsetrequest.u64SetType;
  switch (u64SetType) {
    case DRV_SETTYPE_SETVALUE:
    case DRV_SETTYPE_SETENUM:
    case DRV_SETTYPE_SETRANGE:
      m_pdatabase->NotifyResetAll();
      AnswerSetValue(SetCurrentLexicon(u64SetType));
      break;
    case DRV_SETTYPE_SETLIST:
      m_pdatabase->NotifyResetAll();
      SetList();
      break;
    case DRV_SETTYPE_SETDATAFILE:
      m_pdatabase->CreateTaskReportStatus(GetSetStatusWord(SetDataFile()), nullptr);
      break;
    case DRV_SETTYPE_SETREGION:
    case DRV_SETTYPE_SETREGIONRANGES:
      m_pdatabase->NotifyResetAll();
      AnswerSetRegion(SetRegion(u64SetType));
      break;
    case DRV_SETTYPE_SETPROFILEITEM:
      m_pdatabase->NotifyResetAll();
      SetProfileItem();
      break;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized edriversettype %" PRIu64 "...", u64SetType);
      AnswerStatus(DB_STS_FAIL);
      break;
  }
  m_pdatabase->ClearDbState(DB_STATE_APPLICATION);
  return OS_STS_SUCCESS;
}

// A refused value comes with the capability's report, so that the front
// end sees what it holds and allows.
void CDrvProcessCommands::AnswerSetValue(EDBSTS a_edbsts) {
  if (a_edbsts == DB_STS_SUCCESS) {
    CreateTaskReportGetSet(nullptr, false, false);
    return;
  }
  if (a_edbsts != DB_STS_BADVALUE && a_edbsts != DB_STS_BADARGUMENT) {
    m_pdatabase->CreateTaskReportStatus(GetSetStatusWord(a_edbsts), nullptr);
    return;
  }
  StartReply("badvalue");
  const EDBSTS edbsts = CreateTaskReportGetSet(m_drvsetrequest.szId, true, false);
  if (edbsts != DB_STS_SUCCESS && edbsts != DB_STS_NOTAVAILABLE) {
    AnswerStatus(DB_STS_BADVALUE);
    return;
  }
  FinishReply(DB_STS_SUCCESS, false);
}
