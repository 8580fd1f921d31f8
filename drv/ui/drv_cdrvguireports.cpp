// The report elements of the GUI bridge and the tasks made of them
// (drv_cdrvguireports.h). Lexicon names and labels come from the lookup and
// label tables the front end's reports use.
#include "drv_cdrvguireports.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "db_cdbdatum.h"
#include "db_cdblookup.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxmltask.h"

namespace {

// The scratch builder the driver writes the window list into.
constexpr size_t s_sizetWindowList = 65536;
constexpr const char* s_szUnknown = "???";

// The windows a report lists, by the frame capabilities of each.
struct WindowChild {
  const char* szName;
  EDBID edbid;
};
constexpr WindowChild s_awindowchild[] = {
    {"imageoffsetx", DB_ID_FRAMEXOFFSET}, {"imageoffsety", DB_ID_FRAMEYOFFSET}, {"imagewidth", DB_ID_FRAMEWIDTH},
    {"imageheight", DB_ID_FRAMEHEIGHT},   {"imageskewangle", DB_ID_IMAGESKEWANGLE},
};
constexpr EDBID s_aedbidMag[] = {DB_ID_MAGNIFICATIONFRONTX, DB_ID_MAGNIFICATIONFRONTY, DB_ID_MAGNIFICATIONREARX,
                                 DB_ID_MAGNIFICATIONREARY};
constexpr EDBBIN s_aedbbinCamera[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                      DB_BIN_COLOR_REAR};
constexpr long s_lCameraOn = 2;

// Text for an element's content: markup characters as entities.
std::string Escaped(const char* a_sz) {
  std::string str;
  for (const char* pc = a_sz ? a_sz : ""; *pc; ++pc) {
    switch (*pc) {
      case '<': str += "&lt;"; break;
      case '>': str += "&gt;"; break;
      case '&': str += "&amp;"; break;
      default: str += *pc;
    }
  }
  return str;
}

// A CDATA section; a "]]>" in the text is split across two sections.
std::string Cdata(const char* a_sz) {
  std::string str = "<![CDATA[";
  for (const char* pc = a_sz ? a_sz : ""; *pc; ++pc) {
    if (std::strncmp(pc, "]]>", 3) == 0) {
      str += "]]]]><![CDATA[>";
      pc += 2;
      continue;
    }
    str += *pc;
  }
  return str + "]]>";
}

// One child line: a_iTabs deep, the content as it is.
void Child(std::string& a_str, int a_iTabs, const char* a_szName, const std::string& a_strContent) {
  a_str.append(static_cast<size_t>(a_iTabs), '\t');
  a_str += '<';
  a_str += a_szName;
  a_str += '>';
  a_str += a_strContent;
  a_str += "</";
  a_str += a_szName;
  a_str += ">\n";
}

std::string Decimal(long a_l) { return std::to_string(a_l); }

void Element(CDrvGuiTask& a_drvguitask, const char* a_szName, const std::string& a_strChildren) {
  a_drvguitask.Append("\t<");
  a_drvguitask.Append(a_szName);
  a_drvguitask.Append(">\n");
  a_drvguitask.Append(a_strChildren);
  a_drvguitask.Append("\t</");
  a_drvguitask.Append(a_szName);
  a_drvguitask.Append(">\n");
}

bool HasLexicon(const DbLookup2* a_pdblookup2) {
  return a_pdblookup2 && a_pdblookup2->szLexicon && *a_pdblookup2->szLexicon;
}

// Bit 14 of the database state word while values are read.
class ReportRead {
 public:
  explicit ReportRead(CDatabase* a_pdatabase) : m_pdatabase(a_pdatabase) {
    m_blSet = !m_pdatabase->TestDbState(DB_STATE_REPORTREAD);
    if (m_blSet) m_pdatabase->SetDbState(DB_STATE_REPORTREAD);
  }
  ~ReportRead() {
    if (m_blSet) m_pdatabase->ClearDbState(DB_STATE_REPORTREAD);
  }
  ReportRead(const ReportRead&) = delete;
  ReportRead& operator=(const ReportRead&) = delete;

 private:
  CDatabase* m_pdatabase;
  bool m_blSet;
};

}  // namespace

CDrvGuiReports::CDrvGuiReports(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver)
    : m_pdatabase(a_pdatabase), m_pdev(a_pdev), m_pdriver(a_pdriver) {}

CDrvGuiReports::~CDrvGuiReports() {
  if (m_devicelog.pcData) OsMemFree(m_devicelog.pcData);
  delete m_posxmltaskWindowList;
}

// ---------------------------------------------------------------------------
// Registration
// ---------------------------------------------------------------------------
void CDrvGuiReports::RegisterClear() {
  std::memset(m_au8Registered, 0, sizeof m_au8Registered);
  for (EDBBIN edbbin = DB_BIN_SEARCH; edbbin < DB_BIN_LAST; edbbin = static_cast<EDBBIN>(edbbin + 1))
    UndefinedClear(edbbin);
  std::fill(std::begin(m_aedbidAllCamera), std::end(m_aedbidAllCamera), static_cast<EDBID>(0));
  m_aedbidAllCamera[0] = DB_ID_AUTOCOLORCONTENT;
  m_aedbidAllCamera[1] = DB_ID_BACKGROUND;
  m_blProfileListChanged = true;
}

void CDrvGuiReports::RegisterName(const char* a_szName) {
  DbLookup2* pdblookup2 = m_pdatabase ? m_pdatabase->LookupLexicon(a_szName) : nullptr;
  const int iId = pdblookup2 ? static_cast<int>(pdblookup2->edbid) : 0;
  for (EDBBIN edbbin : s_aedbbinCamera) {
    CDbDatum* pdbdatum = iId >= DB_ID_FIRST && iId <= DB_ID_FINAL
                             ? m_pdatabase->FindMachineOrBin(edbbin, static_cast<EDBID>(iId))
                             : nullptr;
    if (!pdbdatum) {
      UndefinedAdd(edbbin, a_szName);
      continue;
    }
    m_au8Registered[edbbin][iId] = static_cast<uint8_t>(m_pdatabase->GetBin(pdbdatum));
  }
}

void CDrvGuiReports::UndefinedClear(EDBBIN a_edbbin) {
  m_avecstrUndefined[a_edbbin].clear();
  m_ablUndefinedFull[a_edbbin] = false;
}

// A list holds 254 names; the first name beyond is logged, once.
void CDrvGuiReports::UndefinedAdd(EDBBIN a_edbbin, const char* a_szName) {
  std::vector<std::string>& vecstr = m_avecstrUndefined[a_edbbin];
  if (vecstr.size() < s_sizetUndefined) {
    vecstr.emplace_back(a_szName, strnlen(a_szName, s_sizetName - 1));
    return;
  }
  if (m_ablUndefinedFull[a_edbbin]) return;
  m_ablUndefinedFull[a_edbbin] = true;
  OsLog(OS_LOG_ERROR, "Too many undefined ids in bin %d, %zu kept, <%s> and the rest dropped...", a_edbbin,
        s_sizetUndefined, a_szName);
}

CDbDatum* CDrvGuiReports::FindGuiName(const char* a_szName) {
  if (!m_pdatabase || !a_szName || !*a_szName) return nullptr;
  const EDBBIN edbbin = CurrentBin();
  DbLookup2* pdblookup2 = m_pdatabase->LookupLexicon(a_szName);
  if (pdblookup2 && pdblookup2->edbid >= DB_ID_FIRST && pdblookup2->edbid <= DB_ID_FINAL)
    return m_pdatabase->FindMachineOrBin(edbbin, pdblookup2->edbid);
  return m_pdatabase->FindFromName(edbbin, a_szName);
}

EDBBIN CDrvGuiReports::Registered(EDBBIN a_edbbinCamera, EDBID a_edbid) const {
  if (a_edbbinCamera < DB_BIN_SEARCH || a_edbbinCamera >= DB_BIN_LAST || a_edbid < 0 || a_edbid >= DB_ID_COUNT)
    return DB_BIN_SEARCH;
  return static_cast<EDBBIN>(m_au8Registered[a_edbbinCamera][a_edbid]);
}

bool CDrvGuiReports::IsAllCamera(EDBID a_edbid) const {
  for (size_t sizet = 0; sizet < s_sizetAllCamera && m_aedbidAllCamera[sizet]; ++sizet) {
    if (m_aedbidAllCamera[sizet] == a_edbid) return true;
  }
  return false;
}

bool CDrvGuiReports::TakeProfileListChanged() { return m_blProfileListChanged.exchange(false); }

EDBBIN CDrvGuiReports::CurrentBin() { return m_pdatabase->GetBinFromWindowBin(m_pdatabase->GetWindowBin()); }

// The current window's object of a capability registered for the camera
// bin, when it lives in the machine bin or that camera's (with the flag:
// that camera's only).
CDbDatum* CDrvGuiReports::RegisteredDatum(EDBBIN a_edbbinCamera, EDBID a_edbid, bool a_blCurrentBinOnly) {
  const EDBBIN edbbin = Registered(a_edbbinCamera, a_edbid);
  if (edbbin == DB_BIN_SEARCH) return nullptr;
  if (edbbin != a_edbbinCamera && (a_blCurrentBinOnly || edbbin != DB_BIN_MACHINE)) return nullptr;
  return m_pdatabase->FindInBin(edbbin, a_edbid);
}

// A capability of a pending list: registered (a machine one in the current
// camera bin), and in the machine bin or the current camera bin.
bool CDrvGuiReports::Reportable(CDbDatum* a_pdbdatum, EDBBIN a_edbbinCurrent, bool a_blLog) {
  const EDBBIN edbbin = m_pdatabase->GetBin(a_pdbdatum);
  const EDBID edbid = m_pdatabase->GetId(a_pdbdatum);
  if (Registered(edbbin == DB_BIN_MACHINE ? a_edbbinCurrent : edbbin, edbid) == DB_BIN_SEARCH) {
    if (a_blLog)
      OsLogDebug(OS_LOG_INFO, "Not reporting %s in bin %d change because its not registered",
                 m_pdatabase->GetName(a_pdbdatum), edbbin);
    return false;
  }
  if (edbbin != DB_BIN_MACHINE && edbbin != a_edbbinCurrent) {
    if (a_blLog)
      OsLogDebug(OS_LOG_INFO, "Not reporting %s in bin %d change because its not in the current camera or machine bin",
                 m_pdatabase->GetName(a_pdbdatum), edbbin);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------
bool CDrvGuiReports::ValueChildren(CDbDatum* a_pdbdatum, std::string& a_strChildren) {
  DbLookup2* pdblookup2 = m_pdatabase->LookupGet(a_pdbdatum);
  if (!HasLexicon(pdblookup2)) {
    OsLog(OS_LOG_ERROR, "LookupGet failed for %d", m_pdatabase->GetId(a_pdbdatum));
    return false;
  }
  std::string str;
  Child(str, 2, "id", pdblookup2->szLexicon);
  switch (m_pdatabase->GetContainerType(a_pdbdatum)) {
    case DB_CONTAINERTYPE_ENUM: {
      if (m_pdatabase->EnumIsSelectionList(a_pdbdatum)) {
        std::string strItems;
        const long lItems = m_pdatabase->EnumGetCurrentItemCount(a_pdbdatum);
        for (long l = 0; l < lItems; ++l) {
          DbLookupEnum* pdblookupenum =
              m_pdatabase->LookupDbEnum(pdblookup2, m_pdatabase->EnumGetCurrentItem(a_pdbdatum, l));
          if (!pdblookupenum || !pdblookupenum->szLexiconEnum) {
            OsLog(OS_LOG_ERROR, "Likely mismatch between lookup and label files...%s", pdblookup2->szLexicon);
            return false;
          }
          Child(strItems, 3, "value", pdblookupenum->szLexiconEnum);
        }
        str += "\t\t<enum>\n" + strItems + "\t\t</enum>\n";
        break;
      }
      const long lValue = m_pdatabase->GetCurrentLong(a_pdbdatum);
      DbLookupEnum* pdblookupenum = m_pdatabase->LookupDbEnum(pdblookup2, lValue);
      if (!pdblookupenum || !pdblookupenum->szLexiconEnum) {
        OsLog(OS_LOG_ERROR, "LookupDbEnum failed for %s", pdblookup2->szLexicon);
        return false;
      }
      Child(str, 2, "value", pdblookupenum->szLexiconEnum);
      Child(str, 2, "text", Cdata(pdblookupenum->szLabel ? pdblookupenum->szLabel : ""));
      break;
    }
    case DB_CONTAINERTYPE_RANGE: {
      const std::string strValue = Decimal(m_pdatabase->GetCurrentLong(a_pdbdatum));
      const std::string strKey = std::string(pdblookup2->szDbId ? pdblookup2->szDbId : "") + "_RANGE_" + strValue;
      Child(str, 2, "value", strValue);
      Child(str, 2, "text", Cdata(m_pdatabase->LabelGet(strKey.c_str(), strValue.c_str(), -1)));
      break;
    }
    case DB_CONTAINERTYPE_STRING: {
      const char* szValue = m_pdatabase->GetCurrentString(a_pdbdatum);
      Child(str, 2, "value", Cdata(szValue));
      Child(str, 2, "text", Cdata(szValue));
      break;
    }
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized container...%s", pdblookup2->szLexicon);
      return false;
  }
  a_strChildren += str;
  return true;
}

void CDrvGuiReports::CmdReportValues(CDrvGuiTask& a_drvguitask, EDRVREPORT a_edrvreport, CDbDatum* a_pdbdatum,
                                     bool a_blCurrentBinOnly) {
  ReportRead reportread(m_pdatabase);
  const EDBBIN edbbinCurrent = CurrentBin();
  if (a_edrvreport == DRV_REPORT_ALL) {
    std::string strChildren;
    for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
      CDbDatum* pdbdatum = RegisteredDatum(edbbinCurrent, static_cast<EDBID>(iId), a_blCurrentBinOnly);
      if (pdbdatum) ValueChildren(pdbdatum, strChildren);
    }
    Element(a_drvguitask, "reportvalues", strChildren);
    return;
  }
  if (a_edrvreport != DRV_REPORT_ONE && a_edrvreport != DRV_REPORT_PENDING) {
    OsLog(OS_LOG_ERROR, "Unrecognized a_edrvreport...%d", a_edrvreport);
    return;
  }
  if (!a_pdbdatum) {
    OsLogDebug(OS_LOG_INFO, "No items in the notify list...");
    return;
  }
  if (a_edrvreport == DRV_REPORT_ONE) m_pdatabase->NotifyResetAll();
  for (CDbDatum* pdbdatum = a_pdbdatum; pdbdatum; pdbdatum = m_pdatabase->NotifyGetNext(DB_NOTIFY_VALUE, pdbdatum)) {
    if (!Reportable(pdbdatum, edbbinCurrent, true)) continue;
    CDbDatum* pdbdatumValue = m_pdatabase->FindInBin(m_pdatabase->GetBin(pdbdatum), m_pdatabase->GetId(pdbdatum));
    std::string strChildren;
    if (pdbdatumValue && ValueChildren(pdbdatumValue, strChildren)) Element(a_drvguitask, "reportvalues", strChildren);
    if (a_edrvreport == DRV_REPORT_ONE) break;
  }
}

// A name not found, or a capability that cannot be written, is left out.
void CDrvGuiReports::CmdReportValuesNamed(CDrvGuiTask& a_drvguitask, const std::vector<std::string>& a_vecstrName) {
  ReportRead reportread(m_pdatabase);
  std::string strChildren;
  for (const std::string& strName : a_vecstrName) {
    CDbDatum* pdbdatum = FindGuiName(strName.c_str());
    if (!pdbdatum) {
      OsLog(OS_LOG_ERROR, "GetValues unable to find %s", strName.c_str());
      continue;
    }
    ValueChildren(pdbdatum, strChildren);
  }
  Element(a_drvguitask, "reportvalues", strChildren);
}

void CDrvGuiReports::CmdReportValuesMag(CDrvGuiTask& a_drvguitask) {
  std::string strChildren;
  for (EDBID edbid : s_aedbidMag) {
    CDbDatum* pdbdatum = m_pdatabase->Find(edbid);
    if (!pdbdatum) continue;
    std::string str;
    if (ValueChildren(pdbdatum, str)) strChildren += str;
  }
  Element(a_drvguitask, "reportvalues", strChildren);
}

// ---------------------------------------------------------------------------
// Containers and accesses
// ---------------------------------------------------------------------------
bool CDrvGuiReports::ContainerElement(CDbDatum* a_pdbdatum, std::string& a_strElement) {
  DbLookup2* pdblookup2 = m_pdatabase->LookupGet(a_pdbdatum);
  if (!HasLexicon(pdblookup2)) {
    OsLog(OS_LOG_ERROR, "LookupGet failed for %d", m_pdatabase->GetId(a_pdbdatum));
    return false;
  }
  std::string str;
  Child(str, 2, "id", pdblookup2->szLexicon);
  const char* szElement = nullptr;
  switch (m_pdatabase->GetContainerType(a_pdbdatum)) {
    case DB_CONTAINERTYPE_ENUM: {
      szElement = "reportenum";
      const bool blSelection = m_pdatabase->EnumIsSelectionList(a_pdbdatum);
      const long lItems = blSelection ? m_pdatabase->EnumGetDefaultItemCount(a_pdbdatum)
                                      : m_pdatabase->EnumGetItemCount(a_pdbdatum);
      for (long l = 0; l < lItems; ++l) {
        const long lItem = blSelection ? m_pdatabase->EnumGetDefaultItem(a_pdbdatum, l)
                                       : m_pdatabase->EnumGetItem(a_pdbdatum, l);
        DbLookupEnum* pdblookupenum = m_pdatabase->LookupDbEnum(pdblookup2, lItem);
        const bool blKnown = pdblookupenum && pdblookupenum->szLexiconEnum;
        Child(str, 2, "value", blKnown ? pdblookupenum->szLexiconEnum : s_szUnknown);
        Child(str, 2, "text",
              Cdata(blKnown ? (pdblookupenum->szLabel ? pdblookupenum->szLabel : "") : s_szUnknown));
      }
      break;
    }
    case DB_CONTAINERTYPE_RANGE: {
      szElement = "reportrange";
      const long lMax = m_pdatabase->GetId(a_pdbdatum) == DB_ID_FRAMEHEIGHT
                            ? m_pdatabase->GetCurrentLongFromId(DB_ID_PHYSICALHEIGHTADJUST)
                            : m_pdatabase->RangeGetCurrentMax(a_pdbdatum);
      Child(str, 2, "rangemin", Decimal(m_pdatabase->RangeGetCurrentMin(a_pdbdatum)));
      Child(str, 2, "rangemax", Decimal(lMax));
      Child(str, 2, "rangestep", Decimal(m_pdatabase->RangeGetCurrentStep(a_pdbdatum)));
      break;
    }
    case DB_CONTAINERTYPE_STRING:
      szElement = "reportstring";
      Child(str, 2, "stringmaxlength", Decimal(static_cast<long>(m_pdatabase->StringGetMaxLength(a_pdbdatum))));
      break;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized container...%s", pdblookup2->szLexicon);
      return false;
  }
  a_strElement += std::string("\t<") + szElement + ">\n" + str + "\t</" + szElement + ">\n";
  return true;
}

void CDrvGuiReports::CmdReportContainers(CDrvGuiTask& a_drvguitask, EDRVREPORT a_edrvreport, CDbDatum* a_pdbdatum) {
  const EDBBIN edbbinCurrent = CurrentBin();
  std::string strElements;
  if (a_edrvreport == DRV_REPORT_ALL || a_edrvreport == DRV_REPORT_DIFFERENT) {
    for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
      CDbDatum* pdbdatum = RegisteredDatum(edbbinCurrent, static_cast<EDBID>(iId), false);
      if (!pdbdatum) continue;
      if (a_edrvreport == DRV_REPORT_DIFFERENT) {
        const EDBCONTAINERTYPE edbcontainertype = m_pdatabase->GetContainerType(pdbdatum);
        if (edbcontainertype == DB_CONTAINERTYPE_ENUM && m_pdatabase->EnumMatchAcrossBins(pdbdatum)) continue;
        if (edbcontainertype == DB_CONTAINERTYPE_RANGE && m_pdatabase->RangeMatchAcrossBins(pdbdatum)) continue;
      }
      ContainerElement(pdbdatum, strElements);
    }
  } else if (a_edrvreport == DRV_REPORT_ONE || a_edrvreport == DRV_REPORT_PENDING) {
    if (a_edrvreport == DRV_REPORT_ONE) m_pdatabase->NotifyResetAll();
    for (CDbDatum* pdbdatum = a_pdbdatum; pdbdatum;
         pdbdatum = m_pdatabase->NotifyGetNext(DB_NOTIFY_CONSTRAINT, pdbdatum)) {
      if (Reportable(pdbdatum, edbbinCurrent, false)) {
        CDbDatum* pdbdatumNow = m_pdatabase->FindInBin(m_pdatabase->GetBin(pdbdatum), m_pdatabase->GetId(pdbdatum));
        if (pdbdatumNow) ContainerElement(pdbdatumNow, strElements);
      }
      if (a_edrvreport == DRV_REPORT_ONE) break;
    }
  } else {
    OsLog(OS_LOG_ERROR, "Unrecognized a_edrvreport...%d", a_edrvreport);
  }
  a_drvguitask.Append(strElements);
}

void CDrvGuiReports::CmdReportAccesses(CDrvGuiTask& a_drvguitask, CDbDatum* a_pdbdatum, bool a_blCurrentBinOnly) {
  const EDBBIN edbbinCurrent = CurrentBin();
  const auto pair = [&](CDbDatum* a_pdbdatumPair, std::string& a_str) {
    DbLookup2* pdblookup2 = m_pdatabase->LookupGet(a_pdbdatumPair);
    if (!HasLexicon(pdblookup2)) {
      OsLog(OS_LOG_ERROR, "LookupGet failed for %d", m_pdatabase->GetId(a_pdbdatumPair));
      return false;
    }
    Child(a_str, 2, "id", pdblookup2->szLexicon);
    Child(a_str, 2, "access", m_pdatabase->GetAccessTag(m_pdatabase->GetAccess(a_pdbdatumPair)));
    return true;
  };
  if (!a_pdbdatum) {
    std::string strChildren;
    for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
      CDbDatum* pdbdatum = RegisteredDatum(edbbinCurrent, static_cast<EDBID>(iId), a_blCurrentBinOnly);
      if (pdbdatum) pair(pdbdatum, strChildren);
    }
    Element(a_drvguitask, "reportaccesses", strChildren);
    return;
  }
  for (CDbDatum* pdbdatum = a_pdbdatum; pdbdatum; pdbdatum = m_pdatabase->NotifyGetNext(DB_NOTIFY_ACCESS, pdbdatum)) {
    if (!Reportable(pdbdatum, edbbinCurrent, false)) continue;
    CDbDatum* pdbdatumNow = m_pdatabase->FindInBin(m_pdatabase->GetBin(pdbdatum), m_pdatabase->GetId(pdbdatum));
    std::string strChildren;
    if (pdbdatumNow && pair(pdbdatumNow, strChildren)) Element(a_drvguitask, "reportaccesses", strChildren);
  }
}

void CDrvGuiReports::CmdReportUndefines(CDrvGuiTask& a_drvguitask) {
  const std::vector<std::string>& vecstr =
      m_avecstrUndefined[DB_BIN_SEARCH].empty() ? m_avecstrUndefined[CurrentBin()] : m_avecstrUndefined[DB_BIN_SEARCH];
  if (vecstr.empty()) return;
  std::string strChildren;
  for (const std::string& str : vecstr) Child(strChildren, 2, "id", Escaped(str.c_str()));
  Element(a_drvguitask, "reportundefines", strChildren);
}

// ---------------------------------------------------------------------------
// Windows
// ---------------------------------------------------------------------------
// Each window carries its own window-bin's name.
void CDrvGuiReports::CmdReportWindows(CDrvGuiTask& a_drvguitask) {
  bool blRegistered = false;
  for (EDBBIN edbbin : s_aedbbinCamera) blRegistered = blRegistered || Registered(edbbin, DB_ID_WINDOWBIN);
  if (!blRegistered) {
    OsLogDebug(OS_LOG_INFO, "You didn't register for windows...");
    return;
  }
  const EDBBIN edbbin = CurrentBin();
  DbLookup2* pdblookup2WindowBin = m_pdatabase->LookupEdbid(DB_ID_WINDOWBIN);
  std::string strChildren;
  const long lWindows = m_pdatabase->GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < lWindows; ++edbidwindow) {
    CDbDatum* pdbdatumCamera = m_pdatabase->FindInWindowBin(edbidwindow, edbbin, DB_ID_CAMERAENABLE);
    if (!pdbdatumCamera || m_pdatabase->GetAccess(pdbdatumCamera) == DB_ACCESS_NOTSUPPORTED) break;
    char szFormat[64] = "";
    if (m_pdatabase->GetCurrentLong(pdbdatumCamera) != s_lCameraOn &&
        !m_pdatabase->GetNeedSendWindowAdd(edbbin, edbidwindow, DB_DEVICEDATA_ALL, szFormat, sizeof szFormat))
      continue;
    DbLookupEnum* pdblookupenum =
        pdblookup2WindowBin
            ? m_pdatabase->LookupDbEnum(pdblookup2WindowBin, m_pdatabase->ComposeWindowBin(edbidwindow, edbbin))
            : nullptr;
    if (!pdblookupenum || !pdblookupenum->szLexiconEnum) {
      OsLog(OS_LOG_ERROR, "LookupDbEnum failed for window %d bin %d", edbidwindow, edbbin);
      continue;
    }
    Child(strChildren, 2, "windowid", pdblookupenum->szLexiconEnum);
    for (const WindowChild& windowchild : s_awindowchild) {
      CDbDatum* pdbdatum = m_pdatabase->FindInWindowBin(edbidwindow, edbbin, windowchild.edbid);
      Child(strChildren, 2, windowchild.szName, Decimal(pdbdatum ? m_pdatabase->GetCurrentLong(pdbdatum) : 0));
    }
  }
  Element(a_drvguitask, "reportwindows", strChildren);
  m_pdatabase->NotifySet(DB_NOTIFY_VALUE, m_pdatabase->Find(DB_ID_WINDOWBIN));
}

// Per camera bin that has the capability: its camera, kind and value.
void CDrvGuiReports::CmdReportAllCameraWindowValues(CDrvGuiTask& a_drvguitask, EDBID a_edbid) {
  ReportRead reportread(m_pdatabase);
  std::string strChildren;
  for (EDBBIN edbbin : s_aedbbinCamera) {
    CDbDatum* pdbdatum = m_pdatabase->FindInBin(edbbin, a_edbid);
    if (!pdbdatum || m_pdatabase->GetBin(pdbdatum) != edbbin) continue;
    DbLookup2* pdblookup2 = m_pdatabase->LookupGet(pdbdatum);
    if (!HasLexicon(pdblookup2)) {
      OsLog(OS_LOG_ERROR, "LookupGet failed for %d", a_edbid);
      return;
    }
    if (strChildren.empty()) Child(strChildren, 2, "id", pdblookup2->szLexicon);
    const bool blFront = edbbin == DB_BIN_BITONAL_FRONT || edbbin == DB_BIN_COLOR_FRONT;
    const bool blBitonal = edbbin == DB_BIN_BITONAL_FRONT || edbbin == DB_BIN_BITONAL_REAR;
    Child(strChildren, 2, "cameratype", blFront ? "front" : "rear");
    Child(strChildren, 2, "windowtype", blBitonal ? "bitonal" : "color");
    std::string strValue, strText;
    switch (m_pdatabase->GetContainerType(pdbdatum)) {
      case DB_CONTAINERTYPE_ENUM: {
        DbLookupEnum* pdblookupenum = m_pdatabase->LookupDbEnum(pdblookup2, m_pdatabase->GetCurrentLong(pdbdatum));
        const bool blKnown = pdblookupenum && pdblookupenum->szLexiconEnum;
        strValue = blKnown ? pdblookupenum->szLexiconEnum : s_szUnknown;
        strText = Cdata(blKnown ? (pdblookupenum->szLabel ? pdblookupenum->szLabel : "") : s_szUnknown);
        break;
      }
      case DB_CONTAINERTYPE_STRING:
        strValue = strText = Cdata(m_pdatabase->GetCurrentString(pdbdatum));
        break;
      default:
        strValue = strText = Decimal(m_pdatabase->GetCurrentLong(pdbdatum));
    }
    Child(strChildren, 2, "value", strValue);
    Child(strChildren, 2, "text", strText);
  }
  if (!strChildren.empty()) Element(a_drvguitask, "reportallcamerawindowvalues", strChildren);
}

// ---------------------------------------------------------------------------
// Profiles, log, debug
// ---------------------------------------------------------------------------
void CDrvGuiReports::CmdReportProfiles(CDrvGuiTask& a_drvguitask) {
  const char* szUser = m_pdatabase->ProfileGetUserProfileDirectory();
  std::string strDirectory = szUser ? szUser : "";
  if (!strDirectory.empty() && strDirectory.back() != '/') strDirectory += '/';
  if (!strDirectory.empty()) strDirectory += "ui";
  std::string strChildren;
  Child(strChildren, 2, "directory", Cdata(strDirectory.c_str()));
  Child(strChildren, 2, "directoryinstalledgraphics",
        Cdata(m_pdatabase->ProfileGetInstalledProfileGraphicsDirectory()));
  Child(strChildren, 2, "directoryusergraphics", Cdata(m_pdatabase->ProfileGetUserProfileGraphicsDirectory()));
  Element(a_drvguitask, "reportprofilesdirectory", strChildren);
  // Taken at once: a change a profile command marks meanwhile goes with
  // the next report.
  if (!m_blProfileListChanged.exchange(false)) {
    CmdReportProfileItem(a_drvguitask);
    return;
  }
  const char* szList = m_pdatabase->ProfileReportProfileList();
  if (!szList) {
    OsLog(OS_LOG_ERROR, "ProfileReportProfileList failed");
    m_blProfileListChanged.store(true);
    return;
  }
  a_drvguitask.Append(szList);
}

void CDrvGuiReports::CmdReportProfileItem(CDrvGuiTask& a_drvguitask) {
  const char* szItem = m_pdatabase->ProfileReportProfileItem(1);
  if (!szItem) {
    OsLog(OS_LOG_ERROR, "ProfileReportProfileItem failed");
    return;
  }
  a_drvguitask.Append(szItem);
}

void CDrvGuiReports::CmdReportLog(CDrvGuiTask& a_drvguitask, const DeviceLog& a_devicelog) {
  std::string strChildren;
  Child(strChildren, 2, "logtype", Escaped(a_devicelog.szLogType));
  Child(strChildren, 2, "totalbytes", std::to_string(a_devicelog.sizetData));
  Child(strChildren, 2, "logfilename", Cdata(a_devicelog.szFilename));
  Element(a_drvguitask, "reportlog", strChildren);
}

void CDrvGuiReports::CmdReportDebug(CDrvGuiTask& a_drvguitask) {
  const DbDebugRecord* pdbdebugrecord = m_pdatabase->GetDebugRecord();
  std::string strChildren;
  Child(strChildren, 2, "logging", Escaped(pdbdebugrecord->szLogging));
  Child(strChildren, 2, "logginglevel", Decimal(pdbdebugrecord->i32LoggingLevel));
  Child(strChildren, 2, "imagesfromscanner", Escaped(pdbdebugrecord->szImagesFromScanner));
  Child(strChildren, 2, "imagestoapp", Escaped(pdbdebugrecord->szImagesToApplication));
  Element(a_drvguitask, "reportdebug", strChildren);
}

// The driver clears the builder it is given: a scratch one of our own, never
// the database's, which the front end's replies use.
void CDrvGuiReports::CmdReportWindowList(CDrvGuiTask& a_drvguitask) {
  if (!m_pdriver) return;
  if (!m_posxmltaskWindowList) m_posxmltaskWindowList = new COsXmlTask(nullptr, s_sizetWindowList);
  if (m_pdriver->CmdReportWindowList(false, m_posxmltaskWindowList) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "CmdReportWindowList failed...");
    return;
  }
  const char* szList = m_posxmltaskWindowList->GetTaskBuffer();
  if (szList) a_drvguitask.Append(szList);
}

bool CDrvGuiReports::FetchLog() {
  if (!m_pdev || !m_pdatabase) {
    OsLog(OS_LOG_ERROR, "No device to read the log from, the log is left out...");
    return false;
  }
  {
    CDbLockGuard dblockguard;
    m_devicelog.u32LogType = static_cast<uint32_t>(m_pdatabase->GetCurrentLongFromId(DB_ID_LOG));
    m_devicelog.edbidfirmware = static_cast<EDBID_FIRMWARE>(m_pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE));
  }
  if (m_pdev->GetLog(&m_devicelog, true) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "GetLog failed, the log is left out...");
    return false;
  }
  m_pdev->GetVersionInfo(&m_devicelog, false);
  return true;
}

// ---------------------------------------------------------------------------
// Tasks
// ---------------------------------------------------------------------------
void CDrvGuiReports::TaskGet(CDrvGuiTask& a_drvguitask, uint64_t a_u64Reply, int32_t a_i32Status) {
  a_drvguitask.TaskBegin(a_u64Reply);
  a_drvguitask.CmdStatus(a_i32Status);
  CmdReportWindows(a_drvguitask);
  CmdReportUndefines(a_drvguitask);
  CmdReportContainers(a_drvguitask, DRV_REPORT_ALL, nullptr);
  CmdReportProfiles(a_drvguitask);
  CmdReportValues(a_drvguitask, DRV_REPORT_ALL, nullptr, false);
  CmdReportAccesses(a_drvguitask, nullptr, false);
  CmdReportDebug(a_drvguitask);
  for (size_t sizet = 0; sizet < s_sizetAllCamera && m_aedbidAllCamera[sizet]; ++sizet)
    CmdReportAllCameraWindowValues(a_drvguitask, m_aedbidAllCamera[sizet]);
  CmdReportWindowList(a_drvguitask);
  a_drvguitask.TaskEnd();
}

void CDrvGuiReports::TaskGetValues(CDrvGuiTask& a_drvguitask, uint64_t a_u64Reply) {
  a_drvguitask.TaskBegin(a_u64Reply);
  a_drvguitask.CmdStatus(DRV_STS_SUCCESS);
  CmdReportUndefines(a_drvguitask);
  CmdReportValues(a_drvguitask, DRV_REPORT_ALL, nullptr, false);
  CmdReportAccesses(a_drvguitask, nullptr, false);
  a_drvguitask.TaskEnd();
}

void CDrvGuiReports::TaskGetValuesCurrentBin(CDrvGuiTask& a_drvguitask, uint64_t a_u64Reply) {
  a_drvguitask.TaskBegin(a_u64Reply);
  a_drvguitask.CmdStatus(DRV_STS_SUCCESS);
  CmdReportValues(a_drvguitask, DRV_REPORT_ALL, nullptr, true);
  CmdReportAccesses(a_drvguitask, nullptr, true);
  a_drvguitask.TaskEnd();
}
