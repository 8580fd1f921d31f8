// The simulation flags: each flag is read from the interfaceopen task's
// simulate block, else from the environment, else it keeps its default.
#include "sim_csimconfig.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <functional>

#include "sim_csimimage.h"
#include "sim_csimnode.h"
#include "sim_csimtask.h"

namespace {

constexpr SimModel s_asimmodel[] = {
#ifdef SIMSCAN_FLATBED
    {"mapleC", 14400, 20400, "75_dpi 100_dpi 150_dpi 200_dpi 300_dpi 400_dpi 600_dpi 1200_dpi", nullptr},
    {"mapleB", 10200, 14400, "75_dpi 100_dpi 150_dpi 200_dpi 300_dpi 600_dpi", nullptr},
#else
    {"mapleB", 10200, 16800, "100_dpi 150_dpi 200_dpi 240_dpi 300_dpi 400_dpi 600_dpi", nullptr},
    {"mapleC", 14400, 40800, "100_dpi 150_dpi 200_dpi 240_dpi 250_dpi 300_dpi 400_dpi 600_dpi 1200_dpi",
     "preimagefront"},
#endif
};

constexpr const char* s_aszFault[SIM_FAULT_COUNT] = {"paperjam", "multifeed", "coveropen", "disconnect", "fail"};

std::string Capitals(const std::string& a_str) {
  std::string str;
  for (char c : a_str) str += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return str;
}

bool SimFlag(const CSimNode& a_simnodeSimulate, const std::string& a_strId, std::string& a_strValue) {
  for (const CSimNode& simnode : a_simnodeSimulate.Children()) {
    if (simnode.Name() == "simflag" && simnode.ChildText("id") == a_strId) {
      a_strValue = simnode.ChildText("value");
      return true;
    }
  }
  return false;
}

bool Variable(const std::string& a_strName, std::string& a_strValue) {
  const char* szEnv = std::getenv(a_strName.c_str());
  if (!szEnv) return false;
  a_strValue = szEnv;
  return true;
}

// The value of a flag: the task's simflag "<unit>.<id>", then "<id>", else
// SIMSCAN_<UNIT>_<ID>, then SIMSCAN_<ID>.
bool FlagValue(const CSimNode& a_simnodeSimulate, const char* a_szId, std::string& a_strValue) {
  const std::string strUnit = CSimConfig::UnitName();
  return SimFlag(a_simnodeSimulate, strUnit + "." + a_szId, a_strValue) ||
         SimFlag(a_simnodeSimulate, a_szId, a_strValue) ||
         Variable("SIMSCAN_" + Capitals(strUnit) + "_" + Capitals(a_szId), a_strValue) ||
         Variable("SIMSCAN_" + Capitals(a_szId), a_strValue);
}

// A text of letters, digits and underscores.
bool IsWord(const std::string& a_str) {
  if (a_str.empty()) return false;
  for (char c : a_str) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

// "ms:TEXT" with a time up to ten minutes and a text of letters, digits and
// underscores.
bool ParseTimedText(const std::string& a_strText, long& a_lMs, std::string& a_strWord) {
  const size_t sizetColon = a_strText.find(':');
  if (sizetColon == std::string::npos || sizetColon + 1 == a_strText.size() ||
      !CSimNode::Number(a_strText.substr(0, sizetColon), 0, 600000, a_lMs)) {
    return false;
  }
  a_strWord = a_strText.substr(sizetColon + 1);
  return IsWord(a_strWord);
}

bool ParseBool(const std::string& a_strText, bool& a_blValue) {
  if (a_strText == "true" || a_strText == "1") {
    a_blValue = true;
  } else if (a_strText == "false" || a_strText == "0") {
    a_blValue = false;
  } else {
    return false;
  }
  return true;
}

// Calls a_fnItem with each comma-separated item of the text (an empty text
// is one empty item); false as soon as one is refused.
bool ForEachItem(const std::string& a_strText, const std::function<bool(const std::string&)>& a_fnItem) {
  size_t sizetStart = 0;
  while (sizetStart <= a_strText.size()) {
    size_t sizetEnd = a_strText.find(',', sizetStart);
    if (sizetEnd == std::string::npos) sizetEnd = a_strText.size();
    if (!a_fnItem(a_strText.substr(sizetStart, sizetEnd - sizetStart))) return false;
    sizetStart = sizetEnd + 1;
  }
  return true;
}

// "3,5:patchtype4": numbers from 1 (sheets, getoutputs), each with an optional
// ":" and a text.
bool ParseSheetList(const std::string& a_strText, std::map<long, std::string>& a_map) {
  return ForEachItem(a_strText, [&](const std::string& a_strItem) {
    const size_t sizetColon = a_strItem.find(':');
    long lSheet = 0;
    if (!CSimNode::Number(a_strItem.substr(0, sizetColon), 1, CSimConfig::s_lPagesMax, lSheet)) return false;
    a_map[lSheet] = sizetColon == std::string::npos ? std::string() : a_strItem.substr(sizetColon + 1);
    return true;
  });
}

// "40/30,3:0/30": amount and threshold of automatic colour detection, for
// every sheet, or ("n:") for sheet n. Sheet 0 stands for every sheet.
bool ParseAutoColor(const std::string& a_strText, std::map<long, std::pair<long, long>>& a_map) {
  return ForEachItem(a_strText, [&](const std::string& a_strItem) {
    const size_t sizetColon = a_strItem.find(':');
    const size_t sizetFigures = sizetColon == std::string::npos ? 0 : sizetColon + 1;
    const size_t sizetSlash = a_strItem.find('/', sizetFigures);
    long lSheet = 0, lAmount = 0, lThreshold = 0;
    if ((sizetColon != std::string::npos &&
         !CSimNode::Number(a_strItem.substr(0, sizetColon), 1, CSimConfig::s_lPagesMax, lSheet)) ||
        sizetSlash == std::string::npos ||
        !CSimNode::Number(a_strItem.substr(sizetFigures, sizetSlash - sizetFigures), 0, 1000000, lAmount) ||
        !CSimNode::Number(a_strItem.substr(sizetSlash + 1), 0, 1000000, lThreshold)) {
      return false;
    }
    a_map[lSheet] = {lAmount, lThreshold};
    return true;
  });
}

}  // namespace

bool CSimConfig::IsFlatbed() {
#ifdef SIMSCAN_FLATBED
  return true;
#else
  return false;
#endif
}

const char* CSimConfig::UnitName() { return IsFlatbed() ? "flatbed" : "adf"; }

bool CSimConfig::Load(const CSimNode& a_simnodeInterfaceOpen, std::string& a_strError) {
  static const CSimNode s_simnodeEmpty;
  const CSimNode* psimnodeSimulate = a_simnodeInterfaceOpen.Child("simulate");
  const CSimNode& simnodeSimulate = psimnodeSimulate ? *psimnodeSimulate : s_simnodeEmpty;
  *this = CSimConfig();
  m_blDuplex = !IsFlatbed();

  // The model: the task's, else SIMSCAN_<UNIT>_MODEL, then SIMSCAN_MODEL.
  std::string strModel = simnodeSimulate.ChildText("simmodel");
  if (strModel.empty()) {
    const char* szEnv = std::getenv(IsFlatbed() ? "SIMSCAN_FLATBED_MODEL" : "SIMSCAN_ADF_MODEL");
    if (!szEnv || !*szEnv) szEnv = std::getenv("SIMSCAN_MODEL");
    strModel = szEnv && *szEnv ? szEnv : s_asimmodel[0].szName;
  }
  for (const SimModel& simmodel : s_asimmodel) {
    if (strModel == simmodel.szName) m_psimmodel = &simmodel;
  }
  if (!m_psimmodel) {
    a_strError = "unknown model <" + strModel + ">";
    return false;
  }

  // Every flag: its id, then how its text is read.
  std::string strValue;
  const auto Bad = [&](const char* a_szId) {
    a_strError = std::string("bad simflag <") + a_szId + "> value <" + strValue + ">";
    return false;
  };
  const auto Number = [&](const char* a_szId, long a_lMax, long& a_lValue) {
    return !FlagValue(simnodeSimulate, a_szId, strValue) || CSimNode::Number(strValue, 0, a_lMax, a_lValue) ||
           Bad(a_szId);
  };
  const auto Bool = [&](const char* a_szId, bool& a_blValue) {
    return !FlagValue(simnodeSimulate, a_szId, strValue) || ParseBool(strValue, a_blValue) || Bad(a_szId);
  };
  if (!Number("pages", s_lPagesMax, m_lPages) || !Bool("duplex", m_blDuplex) ||
      !Number("delay", 60000, m_lDelayMs) || !Number("warmup", 600000, m_lWarmupMs) ||
      !Bool("asyncopen", m_blAsyncOpen) || !Number("opendelay", 60000, m_lOpenDelayMs) ||
      !Number("offlineafter", 600000, m_lOfflineAfterMs) || !Number("onlineafter", 600000, m_lOnlineAfterMs) ||
      !Number("sessionbegindelay", 60000, m_lSessionBeginDelayMs) || !Bool("warmupreport", m_blWarmupReport) ||
      !Number("paperafter", 600000, m_lPaperAfterMs) || !Bool("paperdetectable", m_blPaperDetectable) || !Bool("lcdcontrast", m_blLcdContrast) ||
      !Bool("pagepool", m_blPagePool) || !Bool("interactivemultifeed", m_blInteractiveMultifeed) || !Number("calwarmup", 600, m_lCalWarmupS) ||
      !Number("caldelay", 600000, m_lCalDelayMs)) {
    return false;
  }
  if (FlagValue(simnodeSimulate, "calresult", strValue)) {
    if (strValue != "multifeed" && strValue != "paperjam" && strValue != "fail") return Bad("calresult");
    m_strCalResult = strValue;
  }
  if (FlagValue(simnodeSimulate, "button", strValue) && !ParseTimedText(strValue, m_lButtonMs, m_strButton)) {
    return Bad("button");
  }
  if (FlagValue(simnodeSimulate, "pnpchange", strValue) &&
      (!ParseTimedText(strValue, m_lPnpChangeMs, m_strPnpChange) ||
       (m_strPnpChange != "added" && m_strPnpChange != "removed"))) {
    return Bad("pnpchange");
  }
  if (IsFlatbed()) m_blDuplex = false;
  // "busy": how many attempts are refused, or "true" for all of them.
  if (FlagValue(simnodeSimulate, "busy", strValue) && !CSimNode::Number(strValue, 0, 1000000, m_lBusy)) {
    bool blBusy = false;
    if (!ParseBool(strValue, blBusy)) return Bad("busy");
    m_lBusy = blBusy ? -1 : 0;
  }
  if (!Number("busyafter", 1000000, m_lBusyAfter)) return false;
  if (FlagValue(simnodeSimulate, "sessionbegin", strValue)) {
    if (strValue.empty() || strValue.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos)
      return Bad("sessionbegin");
    m_strSessionBegin = strValue;
  }
  // "scanbegin": the word a scanbegin that would start a job answers.
  if (FlagValue(simnodeSimulate, "scanbegin", strValue)) {
    if (strValue.empty() || strValue.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos)
      return Bad("scanbegin");
    m_strScanBegin = strValue;
  }
  // "relay": how many messagerelay tasks answer with a message, -1 all.
  if (FlagValue(simnodeSimulate, "relay", strValue) && !CSimNode::Number(strValue, 0, 1000000, m_lRelay)) {
    if (strValue != "-1") return Bad("relay");
    m_lRelay = -1;
  }
  for (int i = 0; i < SIM_FAULT_COUNT; ++i) {
    if (FlagValue(simnodeSimulate, s_aszFault[i], strValue) &&
        !CSimNode::Number(strValue, 1, s_lPagesMax, m_alFault[i])) {
      return Bad(s_aszFault[i]);
    }
  }
  // Sheet lists whose texts do not matter.
  const auto Sheets = [&](const char* a_szId, std::set<long>& a_setSheets) {
    std::map<long, std::string> mapSheets;
    if (!FlagValue(simnodeSimulate, a_szId, strValue)) return true;
    if (!ParseSheetList(strValue, mapSheets)) return Bad(a_szId);
    for (const auto& item : mapSheets) a_setSheets.insert(item.first);
    return true;
  };
  if (!Sheets("blank", m_setBlank) || !Sheets("baffle", m_setBaffle) ||
      !Sheets("multifeedflag", m_setMultifeedFlag)) {
    return false;
  }
  if (FlagValue(simnodeSimulate, "useraction", strValue)) {
    if (!ParseSheetList(strValue, m_mapUserAction)) return Bad("useraction");
    for (auto& item : m_mapUserAction) {
      if (item.second.empty()) item.second = "show";
      if (!IsWord(item.second)) return Bad("useraction");
    }
  }
  if (FlagValue(simnodeSimulate, "autocolor", strValue) && !ParseAutoColor(strValue, m_mapAutoColor)) {
    return Bad("autocolor");
  }
  if (FlagValue(simnodeSimulate, "patch", strValue)) {
    if (!ParseSheetList(strValue, m_mapPatch)) return Bad("patch");
    for (auto& item : m_mapPatch) {
      if (item.second.empty()) item.second = "patchtype2";
      if (item.second.compare(0, 9, "patchtype") != 0) return Bad("patch");
    }
  }
  if (FlagValue(simnodeSimulate, "getoutputword", strValue)) {
    if (!ParseSheetList(strValue, m_mapOutputWord)) return Bad("getoutputword");
    for (const auto& item : m_mapOutputWord) {
      if (item.second.empty() || item.second.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos)
        return Bad("getoutputword");
    }
  }
  if (!Number("padimage", s_lPadImageMax, m_lPadImage)) return false;
  if (!Number("pagecount", s_lPageCountMax, m_lPageCount) ||
      !Number("consumablemetersize", s_lPadImageMax, m_lConsumableMeterSize)) {
    return false;
  }
  if (FlagValue(simnodeSimulate, "flatbed", strValue)) m_strFlatbed = strValue;
  if (m_strFlatbed.empty() && !IsFlatbed()) m_strFlatbed = simnodeSimulate.ChildText("simflatbed");
  if (IsFlatbed()) m_strFlatbed.clear();
  m_strSerialNumber = std::string("SIM") + (IsFlatbed() ? "F" : "A") + "0001";
  if (FlagValue(simnodeSimulate, "serialnumber", strValue)) {
    if (strValue.empty() || strValue.size() > 63) return Bad("serialnumber");
    m_strSerialNumber = strValue;
  }
  if (FlagValue(simnodeSimulate, "inquiry", strValue) &&
      !CSimTask::ReadInquiryFile(strValue, m_simnodeInquiry, a_strError)) {
    return false;
  }
  strValue.clear();
  if (FlagValue(simnodeSimulate, "ecdofile", strValue) && strValue.empty()) return Bad("ecdofile");
  if (!m_simecdo.Load(strValue, a_strError)) return false;
  m_strImageDirectory = CSimImage::DefaultDirectory();
  if (FlagValue(simnodeSimulate, "imagedirectory", strValue)) {
    struct stat st;
    if (strValue.empty() || stat(strValue.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Bad("imagedirectory");
    m_strImageDirectory = strValue;
  }
  CSimImage::RemoveOrphans(m_strImageDirectory, "simscan");
  return true;
}

const char* CSimConfig::TaskLogPath() {
  const char* szPath = std::getenv(IsFlatbed() ? "SIMSCAN_FLATBED_TASKLOG" : "SIMSCAN_ADF_TASKLOG");
  if (!szPath || !szPath[0]) szPath = std::getenv("SIMSCAN_TASKLOG");
  return szPath && szPath[0] ? szPath : nullptr;
}
