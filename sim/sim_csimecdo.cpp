// The colour-dropout choices of the stand-ins.
#include "sim_csimecdo.h"

#include <fstream>

#include "sim_csimnode.h"

namespace {

struct BuiltIn {
  const char* szName;
  const char* szText;
  const char* szAlgorithm;
  bool blCustom;
};

constexpr BuiltIn s_abuiltin[] = {
    {"file01", "Red", "normal", false},        {"file02", "Green", "normal", false},
    {"file03", "Blue", "normal", false},       {"file04", "Predominant", "pmcdo", false},
    {"file05", "Form data", "normalformdata", false}, {"file06", "Custom one", "custom", true},
};

}  // namespace

bool CSimEcdo::Load(const std::string& a_strPath, std::string& a_strError) {
  m_vecchoice.clear();
  m_blFile = !a_strPath.empty();
  if (a_strPath.empty()) {
    for (const BuiltIn& builtin : s_abuiltin)
      m_vecchoice.push_back({builtin.szName, true, builtin.szText, builtin.szAlgorithm, builtin.blCustom});
    return true;
  }
  std::ifstream ifstreamFile(a_strPath, std::ios::binary);
  if (!ifstreamFile) {
    a_strError = "cannot read the colour-dropout file <" + a_strPath + ">";
    return false;
  }
  for (std::string strLine; std::getline(ifstreamFile, strLine);) {
    if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
    if (strLine.empty() || strLine[0] == '#') continue;
    Choice choice;
    const size_t sizetText = strLine.find('\t');
    choice.strName = strLine.substr(0, sizetText);
    if (sizetText != std::string::npos) {
      const size_t sizetAlgorithm = strLine.find('\t', sizetText + 1);
      choice.blText = true;
      choice.strText = strLine.substr(sizetText + 1, sizetAlgorithm - sizetText - 1);
      if (sizetAlgorithm != std::string::npos) choice.strAlgorithm = strLine.substr(sizetAlgorithm + 1);
    }
    choice.blCustom = !choice.strAlgorithm.empty() && choice.strAlgorithm != "normal" &&
                      choice.strAlgorithm != "normalformdata" && choice.strAlgorithm != "pmcdo";
    m_vecchoice.push_back(choice);
  }
  return true;
}

void CSimEcdo::Report(CSimNode& a_simnodeReply, bool a_blAll) const {
  CSimNode& simnodeEcdo = a_simnodeReply.Add("reportecdo");
  for (const Choice& choice : m_vecchoice) {
    if (choice.blCustom && !a_blAll && !m_blFile) continue;
    simnodeEcdo.Add("ecdo", choice.strName);
    if (choice.blText) simnodeEcdo.Add("text", choice.strText);
    if (!choice.strAlgorithm.empty()) simnodeEcdo.Add("algorithm", choice.strAlgorithm);
  }
}

CSimNode& CSimEcdo::ReportCustom(CSimNode& a_simnodeReply) const {
  CSimNode& simnodeReport = a_simnodeReply.Add("reportecdocustom");
  for (const Choice& choice : m_vecchoice) {
    if (!choice.blCustom) continue;
    simnodeReport.Add("ecdo", choice.strName);
    simnodeReport.Add("text", choice.strText);
  }
  return simnodeReport;
}
