// Test helpers for the XML reader: a canonical description of a loaded
// document (names, depths, properties in document order, contents), built
// through the reader's cursor, for comparison with an independent parser.
#pragma once

#include <string>
#include <vector>

#include "os_cosxml.h"
#include "os_cosxmlimpl.h"

namespace xmltest {

inline std::string Hex(const std::string& a_str) {
  static const char s_szDigits[] = "0123456789abcdef";
  std::string strHex;
  for (unsigned char c : a_str) {
    strHex += s_szDigits[c >> 4];
    strHex += s_szDigits[c & 15];
  }
  return strHex.empty() ? "-" : strHex;
}

inline std::string Unhex(const std::string& a_strHex) {
  if (a_strHex == "-") return {};
  std::string str;
  for (size_t i = 0; i + 1 < a_strHex.size(); i += 2) str += static_cast<char>(std::stoi(a_strHex.substr(i, 2), nullptr, 16));
  return str;
}

// The names of the current element's properties, in document order (the
// reader has no listing operation, so they come from its atoms).
inline std::vector<std::string> PropertyNames(COsXml& a_osxml) {
  std::vector<std::string> vec;
  COsXmlImpl* posxmlimpl = a_osxml.GetImpl();
  OsXmlAtom* posxmlatomNode = posxmlimpl->NodeGetOsXmlAtom();
  const OsXmlAtom* posxmlatomEnd = posxmlimpl->GetAtoms() + posxmlimpl->GetAtomsInUse();
  for (const OsXmlAtom* p = posxmlatomNode + 1; p < posxmlatomEnd; ++p) {
    if (p->eosxmltype != OS_XML_TYPE_PROPERTY || p->lDepth != posxmlatomNode->lDepth) break;
    vec.emplace_back(posxmlimpl->GetDocument() + p->szName, static_cast<size_t>(p->lName));
  }
  return vec;
}

// "E depth name", "A name value" per property and "C content", all texts in
// hexadecimal, for the current element and then its children, pre-order.
inline void Describe(COsXml& a_osxml, std::string& a_strOut) {
  char szName[512];
  std::vector<char> vecContent(1 << 20);
  if (a_osxml.NodeGetName(szName, sizeof(szName)) != OS_STS_SUCCESS) {
    a_strOut += "NAME-FAILED\n";
    return;
  }
  a_strOut += "E " + std::to_string(a_osxml.NodeGetDepth()) + " " + Hex(szName) + "\n";
  for (const std::string& strProperty : PropertyNames(a_osxml)) {
    std::vector<char> vecValue(1 << 16);
    EOSSTS eossts = a_osxml.NodeGetProperty(strProperty.c_str(), vecValue.data(), static_cast<long>(vecValue.size()));
    a_strOut += "A " + Hex(strProperty) + " " + (eossts == OS_STS_SUCCESS ? Hex(vecValue.data()) : "FAILED") + "\n";
  }
  if (a_osxml.NodeGetContent(vecContent.data(), static_cast<long>(vecContent.size())) == OS_STS_SUCCESS) {
    a_strOut += "C " + Hex(vecContent.data()) + "\n";
  } else {
    a_strOut += "C FAILED\n";
  }
  if (a_osxml.NodePush() != OS_STS_SUCCESS) return;
  if (a_osxml.NodeChild() == OS_STS_SUCCESS) {
    do {
      Describe(a_osxml, a_strOut);
    } while (a_osxml.NodeSibling() == OS_STS_SUCCESS);
  }
  a_osxml.NodePop();
}

// Every root element in turn.
inline std::string DescribeDocument(COsXml& a_osxml) {
  std::string str;
  if (a_osxml.NodeRewind() != OS_STS_SUCCESS) return "REWIND-FAILED\n";
  do {
    Describe(a_osxml, str);
  } while (a_osxml.NodeSibling() == OS_STS_SUCCESS);
  return str;
}

}  // namespace xmltest
