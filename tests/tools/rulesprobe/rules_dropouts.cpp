// The probe's commands on the colour-dropout lists.
#include "rules_dropouts.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "os_coscfg.h"
#include "os_cosstring.h"
#include "rules_listing.h"

namespace rulesdropouts {
namespace {

// One choice of a getecdo reply.
struct Choice {
  std::string strName;
  std::string strText;
  std::string strAlgorithm;
};

// What the engine keeps of a reply: 62 scanner choices and 9 custom ones at
// most.
constexpr size_t s_sizetMain = 62;
constexpr size_t s_sizetCustom = 9;

std::string ReadWhole(const std::string& a_strPath) {
  std::ifstream in(a_strPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Unescape(const std::string& a_str) {
  static const std::pair<const char*, char> s_aentity[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''}, {"&quot;", '"'}};
  std::string str;
  for (size_t sizet = 0; sizet < a_str.size();) {
    bool blEntity = false;
    for (const auto& [szEntity, c] : s_aentity) {
      if (a_str.compare(sizet, std::strlen(szEntity), szEntity) == 0) {
        str += c;
        sizet += std::strlen(szEntity);
        blEntity = true;
        break;
      }
    }
    if (!blEntity) str += a_str[sizet++];
  }
  return str;
}

bool IsMain(const std::string& a_strAlgorithm) {
  return a_strAlgorithm == "normal" || a_strAlgorithm == "normalformdata" || a_strAlgorithm == "pmcdo";
}

// The choices of a reply, in order, parted into the scanner's and the
// custom ones; false for a reply that does not report success.
bool Parse(const std::string& a_strReply, std::vector<Choice>& a_vecMain, std::vector<Choice>& a_vecCustom) {
  static const std::regex s_regexStatus("<reportstatus>\\s*<status>([^<]*)</status>");
  static const std::regex s_regexChild("<(ecdo|text|algorithm)>([^<]*)</(ecdo|text|algorithm)>");
  std::smatch smatch;
  if (!std::regex_search(a_strReply, smatch, s_regexStatus) || smatch[1] != "success") return false;
  const size_t sizetOpen = a_strReply.find("<reportecdo>");
  const size_t sizetClose = a_strReply.find("</reportecdo>");
  if (sizetOpen == std::string::npos || sizetClose == std::string::npos) return true;
  const std::string strBody = a_strReply.substr(sizetOpen, sizetClose - sizetOpen);
  std::vector<Choice> vecChoice;
  for (auto it = std::sregex_iterator(strBody.begin(), strBody.end(), s_regexChild); it != std::sregex_iterator();
       ++it) {
    const std::string strTag = (*it)[1];
    const std::string strText = Unescape((*it)[2]);
    if (strTag == "ecdo") {
      vecChoice.push_back({strText, "", ""});
    } else if (!vecChoice.empty()) {
      (strTag == "text" ? vecChoice.back().strText : vecChoice.back().strAlgorithm) = strText;
    }
  }
  for (Choice& choice : vecChoice) {
    if (a_vecMain.size() >= s_sizetMain || a_vecCustom.size() >= s_sizetCustom) break;
    if (choice.strAlgorithm.empty()) choice.strAlgorithm = "normal";
    (IsMain(choice.strAlgorithm) ? a_vecMain : a_vecCustom).push_back(choice);
  }
  return true;
}

// A text into its field: at most the field's size; the terminator only
// where it fits.
template <size_t N>
void Put(char (&a_sz)[N], const std::string& a_str) {
  std::memset(a_sz, 0, N);
  std::memcpy(a_sz, a_str.data(), std::min(N, a_str.size()));
}

// A text as the engine stores it: cut to leave its terminator.
template <size_t N>
void PutText(char (&a_sz)[N], const std::string& a_str) {
  Put(a_sz, a_str.substr(0, N - 1));
}

void PutChoice(DbEcdoRecord& a_dbecdorecord, uint32_t a_u32Value, const Choice& a_choice) {
  a_dbecdorecord.u32Value = a_u32Value;
  PutText(a_dbecdorecord.szName, a_choice.strName);
  PutText(a_dbecdorecord.szNameFlatbed, a_choice.strName);
  PutText(a_dbecdorecord.szLabel, a_choice.strText);
  PutText(a_dbecdorecord.szKind, a_choice.strAlgorithm);
  PutText(a_dbecdorecord.szAlgorithm, a_choice.strAlgorithm);
}

void Clear(CDatabase& a_database) {
  std::memset(a_database.DeviceGetEcdoHeader(), 0, sizeof(DbEcdoHeader));
  std::memset(a_database.DeviceGetEcdoCustomHeader(), 0, sizeof(DbEcdoCustomHeader));
}

// The engine's filling: "(none)" first in each list, then the scanner's
// multiple-colour choices, its form-data choices and the others, each
// group in the reply's order; the custom choices in order.
// What it reports: "ok MAIN CUSTOM" (the choices taken) or "error reply".
std::string Fill(CDatabase& a_database, const std::string& a_strDefault, const std::string& a_strAll) {
  Clear(a_database);
  const std::string strNone = "(none)";
  const std::string strLabel = a_database.LabelGet("enum_ecdo_(none)", "???", -1);
  DbEcdoRecord* adbecdorecord = a_database.DeviceGetEcdoHeader()->adbecdorecord;
  DbEcdoRecord* adbecdorecordCustom = a_database.DeviceGetEcdoCustomHeader()->adbecdorecord;
  PutChoice(adbecdorecord[0], DB_ID_ECDO_ENUM_NONE, {strNone, strLabel, "normal"});
  PutChoice(adbecdorecordCustom[0], DB_ID_ECDOCUSTOM_ENUM_NONE, {strNone, strLabel, "discovery"});
  const char* szForceNexilOff = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF) : "";
  if (szForceNexilOff && std::strtol(szForceNexilOff, nullptr, 0) != 0) return "ok 0 0";
  const bool blAll = a_database.ConfigExists("ecdocustom", DB_EDBCONFIGTARGET_COMMON);
  std::vector<Choice> vecMain;
  std::vector<Choice> vecCustom;
  if (!Parse(ReadWhole(blAll ? a_strAll : a_strDefault), vecMain, vecCustom)) return "error reply";
  long lRecord = 1;
  for (const char* szGroup : {"pmcdo", "normalformdata", ""}) {
    for (const Choice& choice : vecMain) {
      const bool blGroup = *szGroup ? choice.strAlgorithm == szGroup
                                    : choice.strAlgorithm != "pmcdo" && choice.strAlgorithm != "normalformdata";
      if (blGroup) PutChoice(adbecdorecord[lRecord++], 0, choice);
    }
  }
  for (size_t sizet = 0; sizet < vecCustom.size(); ++sizet) PutChoice(adbecdorecordCustom[sizet + 1], 0, vecCustom[sizet]);
  return "ok " + std::to_string(vecMain.size()) + " " + std::to_string(vecCustom.size());
}

// The load callback: the device engine fetches the lists again.
struct LoadCallback {
  std::string strDefault;
  std::string strAll;
  long lLoads = 0;
};
LoadCallback s_loadcallback;

EOSSTS Load(void* a_pvDbCallbackRecord) {
  auto* pdbcallbackrecord = static_cast<DbCallbackRecord*>(a_pvDbCallbackRecord);
  ++s_loadcallback.lLoads;
  Fill(*pdbcallbackrecord->pdatabase, s_loadcallback.strDefault, s_loadcallback.strAll);
  return OS_STS_SUCCESS;
}

bool Record(CDatabase& a_database, const std::vector<std::string>& a_vecstr) {
  const bool blCustom = a_vecstr[1] == "custom";
  const long lIndex = std::strtol(a_vecstr[2].c_str(), nullptr, 10);
  const long lCount = blCustom ? DB_ECDOCUSTOM_RECORDS : DB_ECDO_RECORDS;
  if (lIndex < 0 || lIndex >= lCount) {
    std::printf("error index\n");
    return true;
  }
  DbEcdoRecord& dbecdorecord = blCustom ? a_database.DeviceGetEcdoCustomHeader()->adbecdorecord[lIndex]
                                        : a_database.DeviceGetEcdoHeader()->adbecdorecord[lIndex];
  dbecdorecord.u32Value = static_cast<uint32_t>(std::strtoul(a_vecstr[3].c_str(), nullptr, 10));
  Put(dbecdorecord.szName, ruleslisting::Unescape(a_vecstr[4]));
  Put(dbecdorecord.szNameFlatbed, ruleslisting::Unescape(a_vecstr[5]));
  Put(dbecdorecord.szLabel, ruleslisting::Unescape(a_vecstr[6]));
  Put(dbecdorecord.szKind, ruleslisting::Unescape(a_vecstr[7]));
  Put(dbecdorecord.szAlgorithm, ruleslisting::Unescape(a_vecstr[7]));
  return true;
}

}  // namespace

bool Run(CDatabase& a_database, const std::vector<std::string>& a_vecstr) {
  const std::string& strCommand = a_vecstr[0];
  const size_t sizetArguments = a_vecstr.size() - 1;
  if (strCommand == "ecdofill" && sizetArguments == 2) {
    std::printf("%s\n", Fill(a_database, a_vecstr[1], a_vecstr[2]).c_str());
  } else if (strCommand == "ecdoclear" && sizetArguments == 0) {
    Clear(a_database);
  } else if (strCommand == "ecdorecord" && sizetArguments == 7) {
    return Record(a_database, a_vecstr);
  } else if (strCommand == "ecdolearning" && sizetArguments == 1) {
    DbEcdoCustomSettings* pdbecdocustomsettings = a_database.GetEcdoCustomSettings();
    COsString::SStrCpy(pdbecdocustomsettings->szName, sizeof pdbecdocustomsettings->szName,
                       ruleslisting::Unescape(a_vecstr[1]).c_str());
  } else if (strCommand == "override" && sizetArguments == 3) {
    DbOverride* pdboverride = a_database.GetOverride();
    pdboverride->u32DocumentType = static_cast<uint32_t>(std::strtoul(a_vecstr[1].c_str(), nullptr, 10));
    pdboverride->u32Ecdo = static_cast<uint32_t>(std::strtoul(a_vecstr[2].c_str(), nullptr, 10));
    pdboverride->u32EcdoCustom = static_cast<uint32_t>(std::strtoul(a_vecstr[3].c_str(), nullptr, 10));
  } else if (strCommand == "ecdoload" && sizetArguments == 2) {
    s_loadcallback.strDefault = a_vecstr[1];
    s_loadcallback.strAll = a_vecstr[2];
    std::printf("status %d\n",
                a_database.RegisterCallback(DB_CALLBACK_LOAD, DB_ID_ECDO, DB_BIN_BITONAL_FRONT, Load, nullptr));
  } else if (strCommand == "ecdoloads" && sizetArguments == 0) {
    std::printf("loads %ld\n", s_loadcallback.lLoads);
  } else if (strCommand == "reloadecdo" && sizetArguments == 0) {
    a_database.ReloadEcdo();
  } else {
    return false;
  }
  return true;
}

}  // namespace rulesdropouts
