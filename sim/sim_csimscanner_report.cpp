// What the simulated scanner says about itself: the report inquiry (what
// the model offers: paper sources, cameras, image formats, resolutions,
// sheet sizes, calibration and diagnostic types, meters, printer), its
// configuration values and the names of the files it writes.
#include <unistd.h>

#include <cstring>
#include <ctime>

#include "sim_csimscanner.h"

namespace {

// One element of the inquiry per unit: its values, blank-separated; null
// where the unit has no such element.
struct SimInquiryRow {
  const char* szKind;  // "enum", "range" (minimum and maximum) or "supported"
  const char* szId;
  const char* szAdf;
  const char* szFlatbed;
};

constexpr SimInquiryRow s_asiminquiryrow[] = {
    {"enum", "papersource", "adf", "flatbed"},
    {"enum", "imageformat", "bw gray_8 rgb_24", "bw gray_8 rgb_24"},
    {"enum", "resolutionxoptical", "600_dpi", "1200_dpi"},
    {"enum", "language", "en_usa de_deu fr_fra es_esp it_ita jp_jpn", "en_usa de_deu fr_fra es_esp it_ita jp_jpn"},
    {"enum", "illumination", "normal", "normal"},
    {"enum", "background", "black white", "white"},
    {"enum", "calibrationtype", "image mechanical udds magnification magnificationtest", "image mechanical"},
    {"enum", "diagnostictype",
     "diagclearflash diagimagetest diaglampfront diaglamprear diagadfmotor diagfeederclutch diagrearexit "
     "diagcoolingfan diagcleanmode diagelevator",
     "diagclearflash diagimagetest diaglampfront diagflatbed"},
    {"enum", "metertype", "meterpagecount meterlampfront meterlamprear meterpower metertransport meterfirstscan",
     "meterpagecount meterlampfront meterpower"},
    {"enum", "consumablemetertype", "feedroller separationpad", nullptr},
    {"enum", "paperjamresponse", "stopfeeder endofjob", nullptr},
    {"enum", "multifeedresponse", "continue endofjob endofjobleavepaper stopfeeder", nullptr},
    {"enum", "imagecroppingmode", "automatic fixed relative aggressive longpaper photo",
     "automatic fixed relative aggressive longpaper photo"},
    {"enum", "documenttype", "photo textwithgraphics text", "photo textwithgraphics text"},
    {"range", "multifeedlength", "2400 41400", nullptr},
    {"supported", nullptr, "paperdetectable preview metertypeenabled calibrationtypeenabled",
     "preview metertypeenabled calibrationtypeenabled"},
};

constexpr const char* s_szPaperDetectable = "paperdetectable";

// The elements of a model with an imprinter (feeder only).
constexpr SimInquiryRow s_asiminquiryrowPrinter[] = {
    {"enum", "printerfont", "largecomic smallcomic", nullptr},
    {"range", "printerposition", "240 13200", nullptr},
    {"range", "printerindexresetvalue", "0 999999999", nullptr},
};

std::string FormatTime(bool a_blUtc) {
  const time_t timet = time(nullptr);
  struct tm tmNow;
  if (a_blUtc) {
    gmtime_r(&timet, &tmNow);
  } else {
    localtime_r(&timet, &tmNow);
  }
  char sz[32];
  strftime(sz, sizeof sz, "%Y/%m/%d %H:%M", &tmNow);
  return sz;
}

}  // namespace

// The values of an inquiry element for this unit; empty when it has none.
std::string CSimScanner::InquiryValues(const char* a_szId) {
  for (const SimInquiryRow& row : s_asiminquiryrow) {
    const char* szValues = CSimConfig::IsFlatbed() ? row.szFlatbed : row.szAdf;
    if (row.szId && std::string(row.szId) == a_szId && szValues) return szValues;
  }
  return std::string();
}

bool CSimScanner::IsListed(const std::string& a_strList, const std::string& a_strWord) {
  return !a_strWord.empty() && (" " + a_strList + " ").find(" " + a_strWord + " ") != std::string::npos;
}

CSimNode CSimScanner::ReportInquiry(bool a_blInterfaceOpen) const {
  CSimNode simnodeInquiry("reportinquiry");
  // The interfaceopen reply names only the languages the unit speaks.
  if (a_blInterfaceOpen) {
    simnodeInquiry.AddInquiry("enum", "language", InquiryValues("language"));
    return simnodeInquiry;
  }
  const SimModel& simmodel = *m_simconfig.m_psimmodel;
  simnodeInquiry.AddInquiry("enum", "cameratype", m_simconfig.m_blDuplex ? "front rear" : "front");
  simnodeInquiry.AddInquiry("enum", "imageresolutionx", simmodel.szResolutions);
  simnodeInquiry.AddInquiry("range", "sheetwidth", "1200 " + std::to_string(simmodel.lSheetWidthMax));
  simnodeInquiry.AddInquiry("range", "sheetheight", "1200 " + std::to_string(simmodel.lSheetHeightMax));
  for (const SimInquiryRow& row : s_asiminquiryrow) {
    const char* szValues = CSimConfig::IsFlatbed() ? row.szFlatbed : row.szAdf;
    if (!szValues) continue;
    // A feeder without a paper sensor does not claim one.
    std::string strValues = szValues;
    if (!row.szId && !m_simconfig.m_blPaperDetectable && IsListed(strValues, s_szPaperDetectable)) {
      strValues.erase(strValues.find(s_szPaperDetectable), std::strlen(s_szPaperDetectable) + 1);
    }
    if (m_simconfig.m_blLcdContrast && !CSimConfig::IsFlatbed() && row.szId &&
        std::strcmp(row.szId, "calibrationtype") == 0)
      strValues += " lcdcontrast";
    if (m_simconfig.m_blInteractiveMultifeed && !CSimConfig::IsFlatbed()) {
      if (!row.szId) strValues += " interactivemultifeed";
      if (row.szId && std::strcmp(row.szId, "multifeedresponse") == 0) strValues += " interactiveholdpaperatexit";
    }
    simnodeInquiry.AddInquiry(row.szKind, row.szId, strValues);
  }
  if (simmodel.szPrinter) {
    simnodeInquiry.AddInquiry("enum", "printer", std::string("none ") + simmodel.szPrinter);
    for (const SimInquiryRow& row : s_asiminquiryrowPrinter) {
      simnodeInquiry.AddInquiry(row.szKind, row.szId, row.szAdf);
    }
  }
  // The elements of the "inquiry" file come last: a later element of an id
  // replaces what an earlier one set.
  for (const CSimNode& simnode : m_simconfig.m_simnodeInquiry.Children()) simnodeInquiry.Add(simnode);
  return simnodeInquiry;
}

CSimNode CSimScanner::ReportConfig() const {
  CSimNode simnodeConfig("reportconfig");
  for (const char* szId : {"vendor", "model", "serialnumber"}) simnodeConfig.Add(szId, ConfigValue(szId));
  return simnodeConfig;
}

// A value of getconfig: one that setconfig stored, else what the unit knows
// of itself; empty for an id it does not know.
std::string CSimScanner::ConfigValue(const std::string& a_strId) const {
  auto it = m_mapConfig.find(a_strId);
  if (it != m_mapConfig.end()) return it->second;
  const bool blPrinter = m_simconfig.m_psimmodel->szPrinter != nullptr;
  if (a_strId == "vendor") return "PEMRA";
  if (a_strId == "model") return m_simconfig.m_psimmodel->szName;
  if (a_strId == "serialnumber") return m_simconfig.m_strSerialNumber;
  if (a_strId == "papersource") return CSimConfig::IsFlatbed() ? "flatbed" : "adf";
  if (a_strId == "paperdetected") {
    if (CSimConfig::IsFlatbed()) return "true";
    if (!m_simconfig.m_blPaperDetectable) return std::string();
    if (CSimWorker::NowMs() < m_i64PaperMs) return "false";
    return (m_u32State == SIM_STATE_SCANNING ? !JobDone() : m_simconfig.m_lPages > 0) ? "true" : "false";
  }
  if (a_strId == "meterpagecount" || a_strId == "metertransport") return std::to_string(m_lPageCount);
  if (a_strId == "meterlampfront" || a_strId == "meterpower") return std::to_string(m_lPageCount / 10);
  if (a_strId == "meterlamprear" && m_simconfig.m_blDuplex) return std::to_string(m_lPageCount / 10);
  if (a_strId == "meterfirstscan") return "2024/01/15 09:30:00 UTC";
  if (a_strId == "timedate") return FormatTime(false);
  if (a_strId == "timedateutc") return FormatTime(true);
  if (a_strId == "lowpowermodetimeout") return "15";
  if (a_strId == "powerofftimeout") return "60";
  if (a_strId == "powerofftimeoutenabled") return "true";
  if (a_strId == "adfhandling" && !CSimConfig::IsFlatbed()) return "normal";
  if (a_strId == "printer" && blPrinter) return "false";
  if (a_strId == "printerindex" && blPrinter) return "0";
  return std::string();
}

std::string CSimScanner::NewFilePath(const char* a_szKind, const char* a_szExtension) {
  return m_simconfig.m_strImageDirectory + "/simscan-" + std::to_string(getpid()) + "-" + CSimConfig::UnitName() +
         "-" + a_szKind + "-" + std::to_string(++m_u64FileCounter) + a_szExtension;
}
