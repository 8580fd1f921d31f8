// A bounded text built of whole pieces.
#include "dev_cdevdatatext.h"

#include <cstring>

#include "os_coslog.h"
#include "os_cosmem.h"

CDevDataText::CDevDataText(size_t a_sizetCapacity, size_t a_sizetReserve)
    : m_sizetCapacity(a_sizetCapacity), m_sizetReserve(a_sizetReserve) {
  m_pszText = a_sizetCapacity ? static_cast<char*>(OsMemAlloc(a_sizetCapacity)) : nullptr;
  if (!m_pszText) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return;
  }
  m_pszText[0] = '\0';
}

CDevDataText::~CDevDataText() {
  if (m_pszText) OsMemFree(m_pszText);
}

bool CDevDataText::Fits(size_t a_sizetBytes, size_t a_sizetReserve) const {
  return m_pszText && m_sizetLength + a_sizetBytes + a_sizetReserve < m_sizetCapacity;
}

void CDevDataText::Put(const char* a_sz) {
  const size_t sizet = std::strlen(a_sz);
  std::memcpy(m_pszText + m_sizetLength, a_sz, sizet + 1);
  m_sizetLength += sizet;
}

bool CDevDataText::Append(const char* a_szWhat, const char* const* a_apszPiece, size_t a_sizetPieces) {
  size_t sizetBytes = 0;
  for (size_t i = 0; i < a_sizetPieces; ++i) sizetBytes += a_apszPiece[i] ? std::strlen(a_apszPiece[i]) : 0;
  if (!Fits(sizetBytes, m_sizetReserve)) {
    OsLog(OS_LOG_ERROR, "%zu bytes do not fit the text, left out...<%s>", sizetBytes, a_szWhat ? a_szWhat : "");
    return false;
  }
  for (size_t i = 0; i < a_sizetPieces; ++i) {
    if (a_apszPiece[i]) Put(a_apszPiece[i]);
  }
  return true;
}

bool CDevDataText::AppendElement(const char* a_szName, const char* a_szText) {
  char szEscaped[1024];
  if (!Escape(szEscaped, sizeof szEscaped, a_szText ? a_szText : "")) {
    OsLog(OS_LOG_ERROR, "element text too long, left out...<%s>", a_szName);
    return false;
  }
  const char* apsz[] = {"\t<", a_szName, ">", szEscaped, "</", a_szName, ">\n"};
  return Append(a_szName, apsz, sizeof apsz / sizeof apsz[0]);
}

bool CDevDataText::AppendClosing(const char* a_szPiece) {
  if (!Fits(std::strlen(a_szPiece), 0)) {
    OsLog(OS_LOG_ERROR, "%s", "the closing piece does not fit the text...");
    return false;
  }
  Put(a_szPiece);
  return true;
}

bool CDevDataText::Escape(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  size_t sizet = 0;
  for (const char* pc = a_szSrc; *pc; ++pc) {
    const char* szEntity = *pc == '&' ? "&amp;" : *pc == '<' ? "&lt;" : *pc == '>' ? "&gt;" : nullptr;
    const size_t sizetPiece = szEntity ? std::strlen(szEntity) : 1;
    if (sizet + sizetPiece >= a_sizetDst) {
      if (a_sizetDst) a_szDst[0] = '\0';
      return false;
    }
    if (szEntity) {
      std::memcpy(a_szDst + sizet, szEntity, sizetPiece);
    } else {
      a_szDst[sizet] = *pc;
    }
    sizet += sizetPiece;
  }
  if (sizet >= a_sizetDst) return false;
  a_szDst[sizet] = '\0';
  return true;
}
