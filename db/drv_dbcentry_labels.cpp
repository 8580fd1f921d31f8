// The labels compilation: "labels.dbc" (one item per label: its tag and one
// text per language, languages in table order) becomes the LABELS text: a
// header with the byte count of the tag column and of each language that
// occurs, then one record per label, the tag and one element per language
// named by the language's letter.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "db_labellanguages.h"
#include "drv_dbcentry.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

constexpr int s_iLanguages = s_iDbLabelLanguages;
static_assert(s_iLanguages == s_iDbcLanguages, "one count per language");

const char s_szLabelsMergeGrammar[] = "<labels><item enter='this.MergeLanguageEnterItem'></item></labels>";

// The grammar: every language element hands its letter to the text handler.
std::string LabelsGrammar() {
  std::string strGrammar =
      "<labels enter='this.EnterLabelLabels' exit='this.ExitLabelLabels'>"
      "<item exit='this.ExitLabelItem'>"
      "<label enter='this.EnterLabelLabel'></label>"
      "<comment enter='this.EnterLabelComment'></comment>";
  for (const DbLabelLanguage& dbclanguage : s_adblabellanguage) {
    char sz[128];
    COsString::SStrPrintf(sz, sizeof sz, "<%s enter='this.EnterLabelText' user='0x%02x'></%s>", dbclanguage.szName,
                          static_cast<unsigned>(dbclanguage.cLetter), dbclanguage.szName);
    strGrammar += sz;
  }
  return strGrammar + "</item></labels>";
}

// Every "@" goes; the letter after it, when it is r, t or n, becomes CR,
// TAB or LF.
std::string Unescape(const char* a_szText) {
  std::string strText;
  for (const char* pc = a_szText; *pc; ++pc) {
    if (*pc != '@') {
      strText += *pc;
      continue;
    }
    const char cNext = pc[1];
    if (cNext == 'r' || cNext == 't' || cNext == 'n') {
      strText += cNext == 'r' ? '\r' : cNext == 't' ? '\t' : '\n';
      ++pc;
    }
  }
  return strText;
}

}  // namespace

EOSSTS CDbc::CompileLanguage() {
  std::string strGrammar;
  try {
    strGrammar = LabelsGrammar();
  } catch (...) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return OS_STS_NOROOM_BUFFER;
  }
  return CompileOne("labels.dbc", s_szLabelsMergeGrammar, "labels", strGrammar.c_str(), "labels.edres", true);
}

EOSSTS CDbc::EnterLabelLabels(OsXmlCallback*) {
  m_i64Records = 1;  // the tag column
  m_i64TagBytes = 0;
  std::memset(m_ai64LanguageBytes, 0, sizeof m_ai64LanguageBytes);
  std::memset(m_ai64LanguageTexts, 0, sizeof m_ai64LanguageTexts);
  m_szLabelTag[0] = '\0';
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::EnterLabelLabel(OsXmlCallback* a_posxmlcallback) {
  const char* szTag = a_posxmlcallback->szData;
  ++m_i64Records;
  m_i64TagBytes += static_cast<int64_t>(std::strlen(szTag)) + 1;
  COsString::SStrPrintf(m_szLabelTag, sizeof m_szLabelTag, "%.63s", szTag);
  m_iLanguageNext = 0;
  return OutElement("a", szTag);
}

EOSSTS CDbc::EnterLabelComment(OsXmlCallback*) { return OS_STS_SUCCESS; }

EOSSTS CDbc::EnterLabelText(OsXmlCallback* a_posxmlcallback) {
  const int iLanguage = static_cast<int>(reinterpret_cast<uintptr_t>(a_posxmlcallback->pvNameArg)) - 'c';
  if (iLanguage < 0 || iLanguage >= s_iLanguages) {
    OsLog(OS_LOG_ERROR, "Unrecognized language...<%s>", a_posxmlcallback->szName);
    return OS_STS_FAIL;
  }
  if (iLanguage < m_iLanguageNext) {
    Print("Labels for a language are not in the proper order <%s at %d>...", a_posxmlcallback->szName,
          m_iLanguageNext);
    OsLog(OS_LOG_ERROR, "Labels for a language are not in the proper order <%s at %d>...", a_posxmlcallback->szName,
          m_iLanguageNext);
    return OS_STS_FAIL;
  }
  m_iLanguageNext = iLanguage + 1;
  std::string strText;
  try {
    strText = Unescape(a_posxmlcallback->szData);
  } catch (...) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return OS_STS_NOROOM_BUFFER;
  }
  const char cLetter = s_adblabellanguage[iLanguage].cLetter;
  EOSSTS eossts = Outf("<%c>", cLetter);
  if (eossts == OS_STS_SUCCESS) {
    // Markup characters keep the text a text.
    eossts = std::strpbrk(a_posxmlcallback->szData, "<>&") ? OutCdata(strText.c_str()) : Out(strText.c_str());
  }
  if (eossts == OS_STS_SUCCESS) eossts = Outf("</%c>", cLetter);
  m_ai64LanguageBytes[iLanguage] += static_cast<int64_t>(strText.size()) + 1;
  ++m_ai64LanguageTexts[iLanguage];
  return eossts;
}

// A reader finds a language's text by its column: every label must carry
// every language that occurs. A label that does not is reported; the
// compilation goes on.
EOSSTS CDbc::ExitLabelItem(OsXmlCallback*) {
  const int64_t i64Labels = m_i64Records - 1;
  for (int i = 0; i < s_iLanguages; ++i) {
    if (m_ai64LanguageTexts[i] && m_ai64LanguageTexts[i] != i64Labels) {
      Print("Wrong number of languages at label <%s>...", m_szLabelTag);
      OsLog(OS_LOG_ERROR, "Wrong number of languages at label <%s>...", m_szLabelTag);
    }
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::ExitLabelLabels(OsXmlCallback*) {
  EOSSTS eossts = Out("</labels>");
  return eossts == OS_STS_SUCCESS ? LabelHeader() : eossts;
}

// The header goes in front of the records once their sizes are known.
EOSSTS CDbc::LabelHeader() {
  char szHeader[2048];
  int iLength = COsString::SStrPrintf(szHeader, sizeof szHeader, "<labels bytes='%0*x' records='%0*x'>", 6,
                                      static_cast<unsigned>(m_dbctextOutput.sizetLength), 6,
                                      static_cast<unsigned>(m_i64Records));
  if (iLength >= 0) {
    iLength = COsString::SStrCatf(szHeader, sizeof szHeader, "<a>bytes=%0*x,%x</a>", 6,
                                  static_cast<unsigned>(m_i64TagBytes), 0u);
  }
  unsigned uColumn = 1;
  for (int i = 0; iLength >= 0 && i < s_iLanguages; ++i) {
    if (!m_ai64LanguageTexts[i]) continue;
    const char* szName = s_adblabellanguage[i].szName;
    iLength = COsString::SStrCatf(szHeader, sizeof szHeader, "<%s>bytes=%0*x,%x</%s>", szName, 6,
                                  static_cast<unsigned>(m_ai64LanguageBytes[i]), uColumn++, szName);
  }
  if (iLength >= 0) iLength = COsString::SStrCatf(szHeader, sizeof szHeader, "<endlangs></endlangs>");
  if (iLength < 0) {
    OsLog(OS_LOG_ERROR, "Label header does not fit...");
    return OS_STS_FAIL;
  }
  // The header is appended, then turned to the front.
  const size_t sizetRecords = m_dbctextOutput.sizetLength;
  if (OutN(szHeader, static_cast<size_t>(iLength)) != OS_STS_SUCCESS) return OS_STS_NOROOM_BUFFER;
  std::rotate(m_dbctextOutput.psz, m_dbctextOutput.psz + sizetRecords, m_dbctextOutput.psz + m_dbctextOutput.sizetLength);
  return OS_STS_SUCCESS;
}
