// The element tree of the simulated scanner.
#include "sim_csimnode.h"

#include <cstdlib>
#include <cstring>

#include "os_cosxml.h"
#include "os_cosxmltask.h"

const CSimNode* CSimNode::Child(const char* a_szName) const {
  for (const CSimNode& simnode : m_vsimnode) {
    if (simnode.m_strName == a_szName) return &simnode;
  }
  return nullptr;
}

const char* CSimNode::ChildText(const char* a_szName, const char* a_szDefault) const {
  const CSimNode* psimnode = Child(a_szName);
  return psimnode ? psimnode->m_strText.c_str() : a_szDefault;
}

CSimNode& CSimNode::Add(const char* a_szName, const std::string& a_strText) {
  m_vsimnode.emplace_back(a_szName, a_strText);
  return m_vsimnode.back();
}

void CSimNode::AddInquiry(const char* a_szKind, const char* a_szId, const std::string& a_strValues) {
  const std::vector<std::string> vstrValue = Words(a_strValues);
  CSimNode& simnode = Add(a_szKind);
  if (a_szId) simnode.Add("id", a_szId);
  const std::string strKind = a_szKind;
  for (size_t i = 0; i < vstrValue.size(); ++i) {
    const char* szChild = strKind == "supported" ? "id"
                          : strKind == "enum"    ? "value"
                          : i == 0               ? "rangemin"
                                                 : "rangemax";
    simnode.Add(szChild, vstrValue[i]);
  }
}

std::vector<std::string> CSimNode::Words(const std::string& a_strList) {
  std::vector<std::string> vstr;
  size_t sizetStart = 0;
  while (sizetStart < a_strList.size()) {
    size_t sizetEnd = a_strList.find(' ', sizetStart);
    if (sizetEnd == std::string::npos) sizetEnd = a_strList.size();
    if (sizetEnd > sizetStart) vstr.push_back(a_strList.substr(sizetStart, sizetEnd - sizetStart));
    sizetStart = sizetEnd + 1;
  }
  return vstr;
}

bool CSimNode::Number(const std::string& a_strText, long a_lMin, long a_lMax, long& a_lValue) {
  if (a_strText.empty() || a_strText.size() > 18) return false;
  for (char c : a_strText) {
    if (c < '0' || c > '9') return false;
  }
  const long lValue = std::strtol(a_strText.c_str(), nullptr, 10);
  if (lValue < a_lMin || lValue > a_lMax) return false;
  a_lValue = lValue;
  return true;
}

bool CSimNode::Read(COsXml& a_osxml, std::vector<char>& a_vcBuffer) {
  char szName[256];
  if (a_osxml.NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS) return false;
  m_strName = szName;
  m_strText.clear();
  m_vsimnode.clear();
  a_osxml.NodePush();
  bool blOk = true;
  if (a_osxml.NodeChild() == OS_STS_SUCCESS) {
    do {
      m_vsimnode.emplace_back();
      blOk = m_vsimnode.back().Read(a_osxml, a_vcBuffer);
    } while (blOk && a_osxml.NodeSibling() == OS_STS_SUCCESS);
  }
  a_osxml.NodePop();
  // A leaf's content is its text; the buffer holds the whole task, which no
  // content can outgrow.
  if (blOk && m_vsimnode.empty() &&
      a_osxml.NodeGetContent(a_vcBuffer.data(), static_cast<long>(a_vcBuffer.size())) == OS_STS_SUCCESS) {
    m_strText = Decode(a_vcBuffer.data());
  }
  return blOk;
}

void CSimNode::Write(COsXmlTask& a_osxmltask, int a_iDepth) const {
  // A leaf needs an element around it: one right below the task is always
  // written as an element of its own, even when empty.
  if (m_vsimnode.empty() && a_iDepth > 1) {
    a_osxmltask.AddArgument(m_strName.c_str(), Escape(m_strText).c_str());
    return;
  }
  a_osxmltask.StartCommand(m_strName.c_str(), a_iDepth);
  for (const CSimNode& simnode : m_vsimnode) simnode.Write(a_osxmltask, a_iDepth + 1);
  a_osxmltask.FinalizeCommand(m_strName.c_str());
}

// Per element: its name twice, the brackets, the line ends and the
// indentation, and its text escaped (at most six bytes for one).
size_t CSimNode::WrittenSizeBound() const {
  size_t sizetBound = 2 * m_strName.size() + 6 * m_strText.size() + 96;
  for (const CSimNode& simnode : m_vsimnode) sizetBound += simnode.WrittenSizeBound();
  return sizetBound;
}

std::string CSimNode::Decode(const char* a_szContent) {
  static constexpr char s_szCdataBegin[] = "<![CDATA[";
  const size_t sizetLength = std::strlen(a_szContent);
  if (std::strncmp(a_szContent, s_szCdataBegin, sizeof s_szCdataBegin - 1) == 0 && sizetLength >= 12 &&
      std::strcmp(a_szContent + sizetLength - 3, "]]>") == 0) {
    return std::string(a_szContent + sizeof s_szCdataBegin - 1, sizetLength - 12);
  }
  static const struct {
    const char* szEntity;
    char c;
  } s_aentity[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''}, {"&quot;", '"'}};
  std::string strText;
  strText.reserve(sizetLength);
  for (const char* pc = a_szContent; *pc;) {
    bool blDecoded = false;
    if (*pc == '&') {
      for (const auto& entity : s_aentity) {
        const size_t sizetEntity = std::strlen(entity.szEntity);
        if (std::strncmp(pc, entity.szEntity, sizetEntity) == 0) {
          strText += entity.c;
          pc += sizetEntity;
          blDecoded = true;
          break;
        }
      }
    }
    if (!blDecoded) strText += *pc++;
  }
  return strText;
}

std::string CSimNode::Escape(const std::string& a_strText) {
  std::string strEscaped;
  strEscaped.reserve(a_strText.size());
  for (char c : a_strText) {
    switch (c) {
      case '&': strEscaped += "&amp;"; break;
      case '<': strEscaped += "&lt;"; break;
      case '>': strEscaped += "&gt;"; break;
      default: strEscaped += c;
    }
  }
  return strEscaped;
}
