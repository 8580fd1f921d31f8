// A LABELS resource made in a test: the languages' columns in table order,
// then each label's tag with one text per language, with the counts the
// resource's head carries.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "db_labellanguages.h"

namespace dblabeltest {

struct LabelText {
  std::string strTag;
  std::vector<std::string> vecstrText;  // one per language
};

// A LABELS text with its counts, for the given languages in table order.
inline std::string MakeLabels(const std::vector<std::string>& a_vecstrLanguage,
                              const std::vector<LabelText>& a_veclabel) {
  std::string strRecords;
  size_t sizetTags = 0;
  std::vector<size_t> vecsizetText(a_vecstrLanguage.size());
  for (const LabelText& label : a_veclabel) {
    strRecords += "<a>" + label.strTag + "</a>";
    sizetTags += label.strTag.size() + 1;
    for (size_t i = 0; i < a_vecstrLanguage.size(); ++i) {
      const std::string& str = label.vecstrText[i];
      const char cLetter = s_adblabellanguage[DbLabelLanguageIndex(a_vecstrLanguage[i].c_str())].cLetter;
      const bool blMarkup = str.find_first_of("<>&") != std::string::npos;
      strRecords += std::string("<") + cLetter + ">" + (blMarkup ? "<![CDATA[" + str + "]]>" : str) + "</" + cLetter + ">";
      vecsizetText[i] += str.size() + 1;
    }
  }
  strRecords += "</labels>";
  char sz[128];
  std::snprintf(sz, sizeof sz, "<labels bytes='%06zx' records='%06zx'><a>bytes=%06zx,0</a>", strRecords.size(),
                a_veclabel.size() + 1, sizetTags);
  std::string strHead = sz;
  for (size_t i = 0; i < a_vecstrLanguage.size(); ++i) {
    std::snprintf(sz, sizeof sz, "<%s>bytes=%06zx,%zx</%s>", a_vecstrLanguage[i].c_str(), vecsizetText[i], i + 1,
                  a_vecstrLanguage[i].c_str());
    strHead += sz;
  }
  return strHead + "<endlangs></endlangs>" + strRecords;
}

}  // namespace dblabeltest
