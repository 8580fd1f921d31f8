// The XML reader: one-pass tokeniser, cursor and raw-text helpers.
#include "os_cosxml.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxmlimpl.h"

namespace {

// Every block of the reader comes from the memory service (tracked while it
// runs, plain heap before and after), zero-filled.
void* XmlAlloc(size_t a_sizetBytes) { return OsMemAlloc(a_sizetBytes); }

void XmlFree(void* a_pvBlock) {
  if (a_pvBlock) OsMemFree(a_pvBlock);
}

// An array grows by as much as it holds, never by less than its increment:
// growing by a fixed step copied the whole array each time, so a large
// document cost time in the square of its size.
inline long Growth(long a_lAllocated, long a_lIncrement) {
  return a_lAllocated > a_lIncrement ? a_lAllocated : a_lIncrement;
}

inline bool IsLeadingBlank(char a_c) { return a_c == ' ' || a_c == '\t' || a_c == '\r' || a_c == '\n'; }

// Characters no element or property name holds. Well-formed XML outside
// the subset (a blank before "=", two blanks between properties, a line
// break inside a tag, "/>" after a blank) would otherwise be read as a
// wrong tree without a word.
struct OsXmlNameTable {
  bool abl[256] = {};
  constexpr OsXmlNameTable() {
    for (unsigned char uc : {' ', '\t', '\r', '\n', '/', '<', '>', '=', '\'', '"'}) abl[uc] = true;
  }
};
constexpr OsXmlNameTable s_osxmlnametable;

// The first character of [a_pc, a_pcEnd) that no name may hold, or null.
inline const char* BadNameCharacter(const char* a_pc, const char* a_pcEnd) {
  for (; a_pc < a_pcEnd; ++a_pc) {
    if (s_osxmlnametable.abl[static_cast<unsigned char>(*a_pc)]) return a_pc;
  }
  return nullptr;
}

// Exact, case-sensitive comparison of a terminated name with a stored one.
inline bool NameEquals(const char* a_szName, size_t a_sizetName, const char* a_pcStored, int64_t a_lStored) {
  return static_cast<int64_t>(a_sizetName) == a_lStored && std::memcmp(a_szName, a_pcStored, a_sizetName) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// The one-pass tokeniser. Every step either consumes its construct and moves
// the position on, or logs its "XML abort..." line and answers false.
// ---------------------------------------------------------------------------
class COsXmlImpl::CParser {
 public:
  explicit CParser(COsXmlImpl& a_impl)
      : m_impl(a_impl),
        m_pcDoc(a_impl.m_pszDocument),
        m_pcEnd(a_impl.m_pszDocument + a_impl.m_lDocumentLength),
        m_lDepth(-1) {}

  // False after an abort (the caller cleans up).
  bool Run();

 private:
  int Pos(const char* a_pc) const { return static_cast<int>(a_pc - m_pcDoc); }
  int64_t Offset(const char* a_pc) const { return a_pc - m_pcDoc; }
  bool OpenTag(const char*& a_pc);
  bool Properties(const char*& a_pc);
  bool CloseTag(const char*& a_pc);
  bool Cdata(const char*& a_pc, bool& a_blEnd);
  bool Instruction(const char*& a_pc);

  COsXmlImpl& m_impl;
  char* m_pcDoc;
  const char* m_pcEnd;  // the terminator of the copy
  long m_lDepth;
  int64_t m_alOpen[COsXmlImpl::s_lMaxDepth];  // atom index of each open element
};

bool COsXmlImpl::CParser::Run() {
  const char* pc = m_pcDoc;
  for (;;) {
    pc = static_cast<const char*>(std::memchr(pc, '<', static_cast<size_t>(m_pcEnd - pc)));
    if (!pc) break;
    bool blOk;
    switch (pc[1]) {  // the copy is terminated, so pc[1] is readable
      case '/':
        blOk = CloseTag(pc);
        break;
      case '?':
        blOk = Instruction(pc);
        break;
      case '!': {
        bool blEnd = false;
        blOk = Cdata(pc, blEnd);
        if (blOk && blEnd) pc = nullptr;
        break;
      }
      default:
        blOk = OpenTag(pc);
        break;
    }
    if (!blOk) return false;
    if (!pc) break;
  }
  if (m_lDepth != -1) {
    OsLog(OS_LOG_ASSERT, "XML abort...nesting problem in document.");
    return false;
  }
  if (m_impl.m_lAtomsInUse == 0) {
    OsLog(OS_LOG_ASSERT, "XML abort...no element in document.");
    return false;
  }
  return true;
}

bool COsXmlImpl::CParser::OpenTag(const char*& a_pc) {
  const char* pcTag = a_pc;
  if (++m_lDepth >= COsXmlImpl::s_lMaxDepth) {
    OsLog(OS_LOG_ASSERT, "XML abort...exceeded max tag depth. pos=<%d>", Pos(pcTag));
    return false;
  }
  OsXmlAtom* posxmlatom = m_impl.NewAtom();
  if (!posxmlatom) {
    OsLog(OS_LOG_ASSERT, "XML abort...out of memory. pos=<%d>", Pos(pcTag));
    return false;
  }
  const int64_t lIndex = posxmlatom->lIndex;
  m_alOpen[m_lDepth] = lIndex;

  const char* pcName = pcTag + 1;
  const char* pc = pcName;
  while (pc < m_pcEnd && !s_osxmlnametable.abl[static_cast<unsigned char>(*pc)]) ++pc;
  if (pc == pcName || pc == m_pcEnd) {
    OsLog(OS_LOG_ASSERT, "XML abort...can't find ' ' or '>' or '/>' in tag. pos=<%d>", Pos(pcTag));
    return false;
  }
  if (*pc != '>' && *pc != '/' && *pc != ' ') {
    OsLog(OS_LOG_ASSERT, "XML abort...bad character in tag name. pos=<%d>", Pos(pc));
    return false;
  }
  posxmlatom->eosxmltype = OS_XML_TYPE_TAG;
  posxmlatom->lDepth = m_lDepth;
  posxmlatom->szName = Offset(pcName);
  posxmlatom->lName = pc - pcName;
  posxmlatom->lData = 0;

  if (*pc == ' ' && !Properties(pc)) return false;

  posxmlatom = &m_impl.m_posxmlatom[lIndex];  // the array may have grown
  if (*pc == '>') {
    posxmlatom->szData = Offset(pc + 1);
    a_pc = pc + 1;
    return true;
  }
  // "/": an empty element; the character after "/" is not examined, but it
  // must exist, so that the scan never resumes behind the terminator.
  if (pc + 1 >= m_pcEnd) {
    OsLog(OS_LOG_ASSERT, "XML abort...can't find ' ' or '>' or '/>' in tag. pos=<%d>", Pos(pcTag));
    return false;
  }
  posxmlatom->szData = Offset(pc + 2);
  posxmlatom->lData = 0;
  --m_lDepth;
  a_pc = pc + 2;
  return true;
}

// a_pc is on the blank after the element name; on success it is left on the
// ">" or "/" that ends the tag.
bool COsXmlImpl::CParser::Properties(const char*& a_pc) {
  const char* pc = a_pc;
  while (*pc == ' ') {
    const char* pcName = pc + 1;
    const char* pcEqual = static_cast<const char*>(std::memchr(pcName, '=', static_cast<size_t>(m_pcEnd - pcName)));
    if (!pcEqual || pcEqual == pcName) {
      OsLog(OS_LOG_ASSERT, "XML abort...can't find '=' in property. pos=<%d>", Pos(pcName));
      return false;
    }
    if (const char* pcBad = BadNameCharacter(pcName, pcEqual)) {
      OsLog(OS_LOG_ASSERT, "XML abort...bad character in property name. pos=<%d>", Pos(pcBad));
      return false;
    }
    if (pcEqual[1] != '\'') {
      OsLog(OS_LOG_ASSERT, "XML abort...can't find ' after '=' in property (spaces after = not allowed). pos=<%d>",
            Pos(pcEqual));
      return false;
    }
    const char* pcValue = pcEqual + 2;
    const char* pcQuote = static_cast<const char*>(std::memchr(pcValue, '\'', static_cast<size_t>(m_pcEnd - pcValue)));
    if (!pcQuote || pcQuote == pcValue) {
      OsLog(OS_LOG_ASSERT, "XML abort...can't find closing ' in property data.  pos=<%d>", Pos(pcValue));
      return false;
    }
    OsXmlAtom* posxmlatom = m_impl.NewAtom();
    if (!posxmlatom) {
      OsLog(OS_LOG_ASSERT, "XML abort...out of memory. pos=<%d>", Pos(pcName));
      return false;
    }
    posxmlatom->eosxmltype = OS_XML_TYPE_PROPERTY;
    posxmlatom->lDepth = m_lDepth;
    posxmlatom->szName = Offset(pcName);
    posxmlatom->lName = pcEqual - pcName;
    posxmlatom->szData = Offset(pcValue);
    posxmlatom->lData = pcQuote - pcValue;
    pc = pcQuote + 1;
  }
  if (*pc != '>' && *pc != '/') {
    OsLog(OS_LOG_ASSERT, "XML abort...expected closing bracket '>' or '/>'.  pos=<%d>", Pos(pc));
    return false;
  }
  a_pc = pc;
  return true;
}

bool COsXmlImpl::CParser::CloseTag(const char*& a_pc) {
  const char* pcTag = a_pc;
  if (m_lDepth < 0) {
    OsLog(OS_LOG_ASSERT, "XML abort...more closing tags than opens. pos=<%d>", Pos(pcTag));
    return false;
  }
  const char* pcName = pcTag + 2;
  const char* pcClose = static_cast<const char*>(std::memchr(pcName, '>', static_cast<size_t>(m_pcEnd - pcName)));
  if (!pcClose || pcClose == pcName) {
    OsLog(OS_LOG_ASSERT, "XML abort...didn't find '>' in closing tag.  pos=<%d>", Pos(pcTag));
    return false;
  }
  OsXmlAtom* posxmlatom = &m_impl.m_posxmlatom[m_alOpen[m_lDepth]];
  if (posxmlatom->lName > m_pcEnd - pcName) {
    OsLog(OS_LOG_ASSERT, "XML abort...ran out of buffer.  pos=<%d>", Pos(pcTag));
    return false;
  }
  // Compared by length first, so the comparison never leaves the document.
  if (posxmlatom->lName != pcClose - pcName ||
      std::memcmp(m_pcDoc + posxmlatom->szName, pcName, static_cast<size_t>(posxmlatom->lName)) != 0) {
    OsLog(OS_LOG_ASSERT, "XML abort...tags out of synch (closing doesn't match opening) %d %d %d %.64s",
          static_cast<int>(posxmlatom->szName), Pos(pcName), static_cast<int>(m_impl.m_lDocumentLength), m_pcDoc);
    return false;
  }
  if (posxmlatom->lData <= -2) {
    posxmlatom->lData = -2 - posxmlatom->lData;  // a CDATA length, unmarked
  } else {
    int64_t lData = Offset(pcTag) - posxmlatom->szData;
    posxmlatom->lData = lData > 0 ? lData : 0;
  }
  --m_lDepth;
  a_pc = pcClose + 1;
  return true;
}

// While an element is open its lData holds -2 - length of its last CDATA
// section, so that the closing tag can tell it from a plain content.
bool COsXmlImpl::CParser::Cdata(const char*& a_pc, bool& a_blEnd) {
  static const char s_szCdata[] = "[CDATA[";
  const char* pcTag = a_pc;
  const char* pcText = pcTag + 9;
  if (m_pcEnd - (pcTag + 2) < 7 || std::memcmp(pcTag + 2, s_szCdata, 7) != 0 || pcText >= m_pcEnd) {
    OsLog(OS_LOG_ASSERT, "XML abort...invalid CDATA section. pos=<%d>", Pos(pcTag));
    return false;
  }
  if (m_lDepth < 0) {
    OsLog(OS_LOG_ASSERT, "XML abort...CDATA section outside every element. pos=<%d>", Pos(pcTag));
    return false;
  }
  OsXmlAtom* posxmlatom = &m_impl.m_posxmlatom[m_alOpen[m_lDepth]];
  posxmlatom->szData = Offset(pcText);
  const char* pcClose =
      static_cast<const char*>(memmem(pcText, static_cast<size_t>(m_pcEnd - pcText), "]]>", 3));
  if (!pcClose) {
    a_blEnd = true;  // the element stays open: the nesting check refuses it
    return true;
  }
  posxmlatom->lData = -2 - (pcClose - pcText);
  a_pc = pcClose + 3;
  return true;
}

bool COsXmlImpl::CParser::Instruction(const char*& a_pc) {
  const char* pcTag = a_pc;
  const char* pc = pcTag + 2;
  for (;;) {
    const char* pcName = pc;
    const char* pcEqual = static_cast<const char*>(std::memchr(pcName, '=', static_cast<size_t>(m_pcEnd - pcName)));
    if (!pcEqual || pcEqual == pcName) {
      OsLog(OS_LOG_ASSERT, "XML abort...didn't find '=' in property name. pos=<%d>", Pos(pcName));
      return false;
    }
    if (pcEqual[1] != '\'') {
      OsLog(OS_LOG_ASSERT, "XML abort...expected single quote. pos=<%d>", Pos(pcEqual + 1));
      return false;
    }
    const char* pcValue = pcEqual + 2;
    const char* pcQuote = static_cast<const char*>(std::memchr(pcValue, '\'', static_cast<size_t>(m_pcEnd - pcValue)));
    if (!pcQuote || pcQuote == pcValue) {
      OsLog(OS_LOG_ASSERT, "XML abort...didn't find ending single quote in property. pos=<%d>", Pos(pcValue));
      return false;
    }
    OsXmlAtom* posxmlatom = m_impl.NewDeclaration();
    if (!posxmlatom) {
      OsLog(OS_LOG_ASSERT, "XML abort...out of memory. pos=<%d>", Pos(pcName));
      return false;
    }
    posxmlatom->eosxmltype = OS_XML_TYPE_PROPERTY;
    posxmlatom->lDepth = 0;
    posxmlatom->szName = Offset(pcName);
    posxmlatom->lName = pcEqual - pcName;
    posxmlatom->szData = Offset(pcValue);
    posxmlatom->lData = pcQuote - pcValue;
    pc = pcQuote + 1;
    if (*pc == ' ') {
      ++pc;
      continue;
    }
    if (*pc != '?') {
      OsLog(OS_LOG_ASSERT, "XML abort...expected '?' character. pos=<%d>", Pos(pc));
      return false;
    }
    if (pc[1] != '>') {
      OsLog(OS_LOG_ASSERT, "XML abort...expected '>'. pos=<%d>", Pos(pc + 1));
      return false;
    }
    a_pc = pc + 2;
    return true;
  }
}

// ---------------------------------------------------------------------------
// COsXmlImpl
// ---------------------------------------------------------------------------
COsXmlImpl::COsXmlImpl(COsXml* a_posxml)
    : m_i32State(OS_XML_STATE_FREE),
      m_lDocumentCapacity(0),
      m_pszDocument(nullptr),
      m_lDocumentLength(0),
      m_lAllocatedAtoms(0),
      m_lAtomsInUse(0),
      m_posxmlatom(nullptr),
      m_lCurrentNode(0),
      m_aposxmlatomNode(),
      m_lAllocatedDeclarations(0),
      m_lDeclarationsInUse(0),
      m_posxmlatomDeclaration(nullptr),
      m_lAtomIncrement(s_lMinAtomIncrement),
      m_lDispatchAtomIncrement(s_lMinAtomIncrement),
      m_posxml(a_posxml),
      m_pcNameFix(nullptr),
      m_cNameFix(0),
      m_pcContentFix(nullptr),
      m_cContentFix(0) {}

COsXmlImpl::~COsXmlImpl() {
  DispatchDestroy();
  XmlFree(m_pszDocument);
  XmlFree(m_posxmlatom);
  XmlFree(m_posxmlatomDeclaration);
}

void COsXmlImpl::ClearNodeStack() {
  m_lCurrentNode = 0;
  std::memset(m_aposxmlatomNode, 0, sizeof(m_aposxmlatomNode));
  m_pcNameFix = nullptr;
  m_pcContentFix = nullptr;
}

void COsXmlImpl::Forget() {
  m_lAtomsInUse = 0;
  m_lDeclarationsInUse = 0;
  ClearNodeStack();
}

EOSSTS COsXmlImpl::Abort() {
  XmlFree(m_pszDocument);
  m_pszDocument = nullptr;
  m_lDocumentCapacity = 0;
  m_lDocumentLength = 0;
  Forget();
  return OS_STS_FAIL;
}

bool COsXmlImpl::ReserveDocument(long a_lLength) {
  if (m_pszDocument && a_lLength < m_lDocumentCapacity) return true;
  XmlFree(m_pszDocument);
  m_lDocumentCapacity = 0;
  m_pszDocument = static_cast<char*>(XmlAlloc(static_cast<size_t>(a_lLength + m_lAtomIncrement + 1)));
  if (!m_pszDocument) return false;
  m_lDocumentCapacity = a_lLength + m_lAtomIncrement;
  return true;
}

OsXmlAtom* COsXmlImpl::NewAtom() {
  if (m_lAtomsInUse >= m_lAllocatedAtoms) {
    long lAllocated = m_lAllocatedAtoms + Growth(m_lAllocatedAtoms, m_lAtomIncrement);
    auto* posxmlatom = static_cast<OsXmlAtom*>(XmlAlloc(static_cast<size_t>(lAllocated + 1) * sizeof(OsXmlAtom)));
    if (!posxmlatom) return nullptr;
    if (m_lAtomsInUse) std::memcpy(posxmlatom, m_posxmlatom, static_cast<size_t>(m_lAtomsInUse) * sizeof(OsXmlAtom));
    XmlFree(m_posxmlatom);
    m_posxmlatom = posxmlatom;
    m_lAllocatedAtoms = lAllocated;
  }
  OsXmlAtom* posxmlatom = &m_posxmlatom[m_lAtomsInUse];
  posxmlatom->lIndex = m_lAtomsInUse++;
  posxmlatom->pCallbacks = nullptr;
  return posxmlatom;
}

OsXmlAtom* COsXmlImpl::NewDeclaration() {
  if (m_lDeclarationsInUse >= m_lAllocatedDeclarations) {
    long lAllocated = m_lAllocatedDeclarations + Growth(m_lAllocatedDeclarations, s_lDeclarationIncrement);
    auto* posxmlatom = static_cast<OsXmlAtom*>(XmlAlloc(static_cast<size_t>(lAllocated) * sizeof(OsXmlAtom)));
    if (!posxmlatom) return nullptr;
    if (m_lDeclarationsInUse) {
      std::memcpy(posxmlatom, m_posxmlatomDeclaration, static_cast<size_t>(m_lDeclarationsInUse) * sizeof(OsXmlAtom));
    }
    XmlFree(m_posxmlatomDeclaration);
    m_posxmlatomDeclaration = posxmlatom;
    m_lAllocatedDeclarations = lAllocated;
  }
  OsXmlAtom* posxmlatom = &m_posxmlatomDeclaration[m_lDeclarationsInUse];
  posxmlatom->lIndex = m_lDeclarationsInUse++;
  posxmlatom->pCallbacks = nullptr;
  return posxmlatom;
}

EOSSTS COsXmlImpl::DocumentLoad(const char* a_szDocument, long a_lDocumentLength) {
  // Even a load refused at once leaves nothing of the previous document, so
  // that a caller that misses the status cannot walk the old one again.
  Forget();
  if (!a_szDocument) {
    OsLog(OS_LOG_ASSERT, "a_szDocument is null...");
    return OS_STS_FAIL;
  }
  long lLength = a_lDocumentLength;
  if (lLength >= 7) {
    const void* pvEnd = std::memchr(a_szDocument, '\0', static_cast<size_t>(lLength));
    if (pvEnd) lLength = static_cast<const char*>(pvEnd) - a_szDocument;
  }
  if (lLength < 7) {
    OsLog(OS_LOG_ASSERT, "a_lDocumentLength is too small...");
    return OS_STS_FAIL;
  }

  // The copy starts at the first character that is not a leading blank.
  long lSkip = 0;
  while (lSkip < lLength && IsLeadingBlank(a_szDocument[lSkip])) ++lSkip;
  lLength -= lSkip;
  if (!ReserveDocument(lLength)) {
    OsLog(OS_LOG_ASSERT, "OsMemAlloc failed...");
    m_lDocumentLength = 0;
    return OS_STS_NOROOM_BUFFER;
  }
  std::memcpy(m_pszDocument, a_szDocument + lSkip, static_cast<size_t>(lLength));
  m_pszDocument[lLength] = '\0';
  m_lDocumentLength = lLength;
  if (lLength == 0 || m_pszDocument[0] != '<') {
    OsLog(OS_LOG_ASSERT, "XML abort...first char not <");
    return Abort();
  }

  CParser parser(*this);
  if (!parser.Run()) return Abort();

  m_i32State = OS_XML_STATE_LOADED;
  m_aposxmlatomNode[0] = &m_posxmlatom[0];
  return OS_STS_SUCCESS;
}

EOSSTS COsXmlImpl::DocumentFree() {
  m_lDocumentLength = 0;  // the copy stays allocated for the next load
  Forget();
  m_i32State = OS_XML_STATE_FREE;
  return OS_STS_SUCCESS;
}

void COsXmlImpl::DocumentSetStateSkip() {
  if (m_i32State != OS_XML_STATE_FREE) {
    OsLog(OS_LOG_ERROR, "Setting to skip something that wasn't free...");
  }
  m_i32State = OS_XML_STATE_SKIP;
}

long COsXmlImpl::SetAtomIncrement(long a_lAtomIncrement) {
  long lPrevious = m_lAtomIncrement;
  if (a_lAtomIncrement >= s_lMinAtomIncrement) m_lAtomIncrement = a_lAtomIncrement;
  return lPrevious;
}

long COsXmlImpl::SetDispatchAtomIncrement(long a_lAtomIncrement) {
  long lPrevious = m_lDispatchAtomIncrement;
  if (a_lAtomIncrement >= s_lMinAtomIncrement) m_lDispatchAtomIncrement = a_lAtomIncrement;
  return lPrevious;
}

void COsXmlImpl::LogNotLoaded() { OsLog(OS_LOG_ASSERT, "Must call COsXmlImpl::Load first..."); }

EOSSTS COsXmlImpl::CopyOut(const char* a_pcText, int64_t a_lText, char* a_szDst, long a_lDst) {
  if (a_lText >= a_lDst) {
    a_szDst[0] = '\0';
    return OS_STS_NOROOM_BUFFER;
  }
  std::memcpy(a_szDst, a_pcText, static_cast<size_t>(a_lText));
  a_szDst[a_lText] = '\0';
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Cursor
// ---------------------------------------------------------------------------
EOSSTS COsXmlImpl::NodeRewind() {
  if (!IsLoaded(true)) return OS_STS_FAIL;
  ClearNodeStack();
  m_aposxmlatomNode[0] = &m_posxmlatom[0];
  return OS_STS_SUCCESS;
}

EOSSTS COsXmlImpl::NodeChild() {
  if (!IsLoaded(true)) return OS_STS_FAIL;
  OsXmlAtom* posxmlatomNode = CurrentNode();
  if (!posxmlatomNode) return OS_STS_END_OF_LIST;
  const OsXmlAtom* posxmlatomEnd = m_posxmlatom + m_lAtomsInUse;
  for (OsXmlAtom* posxmlatom = posxmlatomNode + 1; posxmlatom < posxmlatomEnd; ++posxmlatom) {
    if (posxmlatom->eosxmltype == OS_XML_TYPE_PROPERTY && posxmlatom->lDepth == posxmlatomNode->lDepth) continue;
    if (posxmlatom->eosxmltype == OS_XML_TYPE_TAG && posxmlatom->lDepth == posxmlatomNode->lDepth + 1) {
      m_aposxmlatomNode[m_lCurrentNode] = posxmlatom;
      return OS_STS_SUCCESS;
    }
    break;
  }
  return OS_STS_END_OF_LIST;
}

EOSSTS COsXmlImpl::NodeSibling() {
  if (!IsLoaded(true)) return OS_STS_FAIL;
  OsXmlAtom* posxmlatomNode = CurrentNode();
  if (!posxmlatomNode) return OS_STS_END_OF_LIST;
  const int64_t lDepth = posxmlatomNode->lDepth;
  const OsXmlAtom* posxmlatomEnd = m_posxmlatom + m_lAtomsInUse;
  for (OsXmlAtom* posxmlatom = posxmlatomNode + 1; posxmlatom < posxmlatomEnd; ++posxmlatom) {
    if (posxmlatom->lDepth > lDepth) continue;
    if (posxmlatom->lDepth < lDepth) break;
    if (posxmlatom->eosxmltype == OS_XML_TYPE_TAG) {
      m_aposxmlatomNode[m_lCurrentNode] = posxmlatom;
      return OS_STS_SUCCESS;
    }
  }
  return OS_STS_END_OF_LIST;
}

EOSSTS COsXmlImpl::NodePush() {
  if (!IsLoaded(true)) return OS_STS_FAIL;
  if (!CurrentNode()) return OS_STS_END_OF_LIST;
  if (m_lCurrentNode < 0 || m_lCurrentNode >= s_lMaxDepth - 1) {
    OsLog(OS_LOG_ASSERT, "pod.m_lCurrentNode is in trouble...%d", static_cast<int>(m_lCurrentNode));
    return OS_STS_NOROOM_BUFFER;
  }
  m_aposxmlatomNode[m_lCurrentNode + 1] = m_aposxmlatomNode[m_lCurrentNode];
  ++m_lCurrentNode;
  return OS_STS_SUCCESS;
}

EOSSTS COsXmlImpl::NodePop() {
  if (!IsLoaded(true)) return OS_STS_FAIL;
  if (m_lCurrentNode < 0 || m_lCurrentNode >= s_lMaxDepth) {
    OsLog(OS_LOG_ASSERT, "pod.m_lCurrentNode is in trouble...%d", static_cast<int>(m_lCurrentNode));
    return OS_STS_NOROOM_BUFFER;
  }
  if (m_lCurrentNode == 0) return OS_STS_SUCCESS;
  m_aposxmlatomNode[m_lCurrentNode--] = nullptr;
  return OS_STS_SUCCESS;
}

long COsXmlImpl::NodeGetDepth() {
  if (!IsLoaded(true)) return -1;
  OsXmlAtom* posxmlatom = CurrentNode();
  return posxmlatom ? static_cast<long>(posxmlatom->lDepth) : -1;
}

EOSSTS COsXmlImpl::NodeGetName(char* a_szName, long a_lName) {
  if (!a_szName) {
    OsLog(OS_LOG_ASSERT, "a_szName is null...");
    return OS_STS_FAIL;
  }
  if (a_lName <= 0) {
    OsLog(OS_LOG_ASSERT, "a_lName is too small...%d", static_cast<int>(a_lName));
    return OS_STS_FAIL;
  }
  OsXmlAtom* posxmlatom = IsLoaded(false) ? CurrentNode() : nullptr;
  if (!posxmlatom) {
    a_szName[0] = '\0';
    return OS_STS_END_OF_LIST;
  }
  return CopyOut(m_pszDocument + posxmlatom->szName, posxmlatom->lName, a_szName, a_lName);
}

EOSSTS COsXmlImpl::NodeGetContent(char* a_szContent, long a_lContent) {
  if (!a_szContent) {
    OsLog(OS_LOG_ASSERT, "a_szContent is null...");
    return OS_STS_FAIL;
  }
  if (a_lContent <= 0) {
    OsLog(OS_LOG_ASSERT, "a_lContent is too small...%d", static_cast<int>(a_lContent));
    return OS_STS_FAIL;
  }
  a_szContent[0] = '\0';
  if (!IsLoaded(true)) return OS_STS_FAIL;
  OsXmlAtom* posxmlatom = CurrentNode();
  if (!posxmlatom) return OS_STS_END_OF_LIST;
  return CopyOut(m_pszDocument + posxmlatom->szData, posxmlatom->lData, a_szContent, a_lContent);
}

EOSSTS COsXmlImpl::NodeGetContentLocation(long* a_plOffset, long* a_plSize) {
  if (!a_plOffset) {
    OsLog(OS_LOG_ASSERT, "a_plOffset is null...");
    return OS_STS_FAIL;
  }
  if (!a_plSize) {
    OsLog(OS_LOG_ASSERT, "a_plSize is null...");
    return OS_STS_FAIL;
  }
  if (!IsLoaded(true)) return OS_STS_FAIL;
  OsXmlAtom* posxmlatom = CurrentNode();
  if (!posxmlatom) return OS_STS_END_OF_LIST;
  *a_plOffset = static_cast<long>(posxmlatom->szData);
  *a_plSize = static_cast<long>(posxmlatom->lData);
  return OS_STS_SUCCESS;
}

// The property readers' arguments: a name, and an output of at least one byte.
static bool PropertyArgumentsOk(const char* a_szProperty, const char* a_szValue, long a_lValue) {
  if (!a_szProperty) {
    OsLog(OS_LOG_ASSERT, "a_szProperty is null...");
    return false;
  }
  if (!a_szValue) {
    OsLog(OS_LOG_ASSERT, "a_szValue is null...");
    return false;
  }
  if (a_lValue < 1) {
    OsLog(OS_LOG_ASSERT, "a_lValue is too small...%ld", a_lValue);
    return false;
  }
  return true;
}

EOSSTS COsXmlImpl::NodeGetProperty(const char* a_szProperty, char* a_szValue, long a_lValue) {
  if (!PropertyArgumentsOk(a_szProperty, a_szValue, a_lValue)) return OS_STS_FAIL;
  if (!IsLoaded(true)) {
    a_szValue[0] = '\0';
    return OS_STS_FAIL;
  }
  OsXmlAtom* posxmlatomNode = CurrentNode();
  if (!posxmlatomNode) {
    a_szValue[0] = '\0';
    return OS_STS_END_OF_LIST;
  }
  // The properties of an element follow it directly; the first atom that is
  // not one of them ends the search.
  const size_t sizetName = std::strlen(a_szProperty);
  const OsXmlAtom* posxmlatomEnd = m_posxmlatom + m_lAtomsInUse;
  for (const OsXmlAtom* posxmlatom = posxmlatomNode + 1; posxmlatom < posxmlatomEnd; ++posxmlatom) {
    if (posxmlatom->eosxmltype != OS_XML_TYPE_PROPERTY || posxmlatom->lDepth != posxmlatomNode->lDepth) break;
    if (NameEquals(a_szProperty, sizetName, m_pszDocument + posxmlatom->szName, posxmlatom->lName)) {
      return CopyOut(m_pszDocument + posxmlatom->szData, posxmlatom->lData, a_szValue, a_lValue);
    }
  }
  return OS_STS_FAIL;
}

EOSSTS COsXmlImpl::DocumentGetProperty(const char* a_szProperty, char* a_szValue, long a_lValue) {
  if (!PropertyArgumentsOk(a_szProperty, a_szValue, a_lValue)) return OS_STS_FAIL;
  a_szValue[0] = '\0';
  if (m_lDeclarationsInUse == 0 || !m_pszDocument) return OS_STS_END_OF_LIST;
  const size_t sizetName = std::strlen(a_szProperty);
  for (long l = 0; l < m_lDeclarationsInUse; ++l) {
    const OsXmlAtom* posxmlatom = &m_posxmlatomDeclaration[l];
    if (NameEquals(a_szProperty, sizetName, m_pszDocument + posxmlatom->szName, posxmlatom->lName)) {
      return CopyOut(m_pszDocument + posxmlatom->szData, posxmlatom->lData, a_szValue, a_lValue);
    }
  }
  return OS_STS_FAIL;
}

// ---------------------------------------------------------------------------
// For the dispatcher
// ---------------------------------------------------------------------------
OsXmlAtom* COsXmlImpl::NodeGetOsXmlAtom() {
  if (!IsLoaded(true)) return nullptr;
  return CurrentNode();
}

OsXmlAtom* COsXmlImpl::NodeLastPushed() {
  if (m_lCurrentNode < 0 || m_lCurrentNode >= s_lMaxDepth) {
    OsLog(OS_LOG_ASSERT, "pod.m_lCurrentNode is in trouble...%d", static_cast<int>(m_lCurrentNode));
    return nullptr;
  }
  if (m_lCurrentNode == 0) return nullptr;
  return m_aposxmlatomNode[m_lCurrentNode - 1];
}

char* COsXmlImpl::NodeGetNamePointer() {
  OsXmlAtom* posxmlatom = NodeGetOsXmlAtom();
  if (!posxmlatom) return nullptr;
  NodeGetNameFix();
  m_pcNameFix = m_pszDocument + posxmlatom->szName + posxmlatom->lName;
  m_cNameFix = *m_pcNameFix;
  *m_pcNameFix = '\0';
  return m_pszDocument + posxmlatom->szName;
}

void COsXmlImpl::NodeGetNameFix() {
  if (!m_pcNameFix) return;
  *m_pcNameFix = m_cNameFix;
  m_pcNameFix = nullptr;
}

char* COsXmlImpl::NodeGetContentPointer() {
  OsXmlAtom* posxmlatom = NodeGetOsXmlAtom();
  if (!posxmlatom) return nullptr;
  NodeGetContentFix();
  m_pcContentFix = m_pszDocument + posxmlatom->szData + posxmlatom->lData;
  m_cContentFix = *m_pcContentFix;
  *m_pcContentFix = '\0';
  return m_pszDocument + posxmlatom->szData;
}

void COsXmlImpl::NodeGetContentFix() {
  if (!m_pcContentFix) return;
  *m_pcContentFix = m_cContentFix;
  m_pcContentFix = nullptr;
}

// ---------------------------------------------------------------------------
// Dump
// ---------------------------------------------------------------------------
namespace {
const char* TypeName(EOSXMLTYPE a_eosxmltype) {
  static const char* const s_aszName[] = {"OS_XML_TYPE_UNDEFINED", "OS_XML_TYPE_TAG", "OS_XML_TYPE_PROPERTY",
                                          "OS_XML_TYPE_TEXT", "OS_XML_TYPE_LAST"};
  return (a_eosxmltype >= 0 && a_eosxmltype <= OS_XML_TYPE_LAST) ? s_aszName[a_eosxmltype] : "<<invalid>>";
}

void DumpCallbacks(const OsXmlCallbacks* a_p) {
  const void* pvEnter = reinterpret_cast<const void*>(a_p->osxmlcallbackfunctionEnter);
  const void* pvExit = reinterpret_cast<const void*>(a_p->osxmlcallbackfunctionExit);
  const void* pvUnknown = reinterpret_cast<const void*>(a_p->osxmlcallbackfunctionUnknown);
  const void* pvUnordered = reinterpret_cast<const void*>(a_p->osxmlcallbackfunctionUnordered);
  std::printf("pCallbacks=%s%p:\n", "", static_cast<const void*>(a_p));
  std::printf("\tpvObjectEnter=%s%p\tosxmlcallbackfunctionEnter=%s%p\n", "", a_p->pvObjectEnter, "", pvEnter);
  std::printf("\tpvObjectExit =%s%p\tosxmlcallbackfunctionExit =%s%p\n", "", a_p->pvObjectExit, "", pvExit);
  std::printf("\tpvObjectUnknown =%s%p\tosxmlcallbackfunctionUnknown =%s%p\n", "", a_p->pvObjectUnknown, "",
              pvUnknown);
  std::printf("\tpvObjectUnordered =%s%p\tosxmlcallbackfunctionUnordered =%s%p\n", "", a_p->pvObjectUnordered, "",
              pvUnordered);
  std::printf("\n\tpvNameArg=%s%p\n", "", a_p->pvNameArg);
}
}  // namespace

EOSSTS COsXmlImpl::Dump() {
  static const char s_szLine[] = "-------------------------------------------------------";  // 55
  std::printf("pod.m_lAllocatedAtoms=%ld\n", m_lAllocatedAtoms);
  std::printf("pod.m_lAtomsInUse=%ld\n", m_lAtomsInUse);
  for (long l = 0; l < m_lAtomsInUse; ++l) {
    const OsXmlAtom* p = &m_posxmlatom[l];
    std::printf("\nAtom %d:\n", static_cast<int>(l));
    std::printf("%s\n", s_szLine);
    std::printf("OsXmlAtom : this=%p\n", static_cast<const void*>(p));
    std::printf("eosxmltype=%s\n", TypeName(p->eosxmltype));
    std::printf("lDepth=%ld lIndex=%ld\n", static_cast<long>(p->lDepth), static_cast<long>(p->lIndex));
    if (m_pszDocument) {
      std::printf("szName,lName=%ld,%ld \"%.*s\"\n", static_cast<long>(p->szName), static_cast<long>(p->lName),
                  static_cast<int>(p->lName), m_pszDocument + p->szName);
      std::printf("szData,lData=%ld,%ld \"%.*s\"\n", static_cast<long>(p->szData), static_cast<long>(p->lData),
                  static_cast<int>(p->lData), m_pszDocument + p->szData);
    } else {
      std::printf("szName,lName=%ld (szData=null)\n", static_cast<long>(p->lName));
      std::printf("szData,lData=%ld (szData=null)\n", static_cast<long>(p->lData));
    }
    if (p->pCallbacks) {
      DumpCallbacks(p->pCallbacks);
    } else {
      std::printf("pCallbacks=null\n");
    }
    std::printf("%s\n\n", s_szLine);
  }
  std::fflush(stdout);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// COsXml: checks its implementation, then forwards.
// ---------------------------------------------------------------------------
namespace {
bool NoImpl(const COsXmlImpl* a_posxmlimpl) {
  if (a_posxmlimpl) return false;
  OsLog(OS_LOG_ERROR, "xml>>> m_posxmlimpl is null...");
  return true;
}
}  // namespace

COsXml::COsXml() : m_posxmlimpl(OsMemNew(COsXmlImpl, this)) {
  if (!m_posxmlimpl) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
}

COsXml::~COsXml() { OsMemDelete(m_posxmlimpl); }

EOSSTS COsXml::DocumentLoad(const char* a_szDocument) {
  if (NoImpl(m_posxmlimpl)) return OS_STS_FAIL;
  return m_posxmlimpl->DocumentLoad(a_szDocument, a_szDocument ? static_cast<long>(std::strlen(a_szDocument)) : 0);
}

EOSSTS COsXml::DocumentLoad(const char* a_szDocument, long a_lDocumentLength) {
  if (NoImpl(m_posxmlimpl)) return OS_STS_FAIL;
  return m_posxmlimpl->DocumentLoad(a_szDocument, a_lDocumentLength);
}

EOSSTS COsXml::DocumentFree() { return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->DocumentFree(); }

int COsXml::DocumentGetState() { return NoImpl(m_posxmlimpl) ? 0 : m_posxmlimpl->DocumentGetState(); }

void COsXml::DocumentSetStateSkip() {
  if (!NoImpl(m_posxmlimpl)) m_posxmlimpl->DocumentSetStateSkip();
}

long COsXml::SetAtomIncrement(long a_lAtomIncrement) {
  return NoImpl(m_posxmlimpl) ? 0 : m_posxmlimpl->SetAtomIncrement(a_lAtomIncrement);
}

long COsXml::SetDispatchAtomIncrement(long a_lAtomIncrement) {
  return NoImpl(m_posxmlimpl) ? 0 : m_posxmlimpl->SetDispatchAtomIncrement(a_lAtomIncrement);
}

EOSSTS COsXml::Dump() { return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->Dump(); }

EOSSTS COsXml::NodeRewind() { return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->NodeRewind(); }

EOSSTS COsXml::NodeChild() { return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->NodeChild(); }

EOSSTS COsXml::NodeSibling() { return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->NodeSibling(); }

EOSSTS COsXml::NodePush() { return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->NodePush(); }

EOSSTS COsXml::NodePop() { return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->NodePop(); }

long COsXml::NodeGetDepth() { return NoImpl(m_posxmlimpl) ? -1 : m_posxmlimpl->NodeGetDepth(); }

EOSSTS COsXml::NodeGetName(char* a_szName, long a_lName) {
  return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->NodeGetName(a_szName, a_lName);
}

EOSSTS COsXml::NodeGetContent(char* a_szContent, long a_lContent) {
  return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->NodeGetContent(a_szContent, a_lContent);
}

EOSSTS COsXml::NodeGetContentLocation(long* a_plOffset, long* a_plSize) {
  return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->NodeGetContentLocation(a_plOffset, a_plSize);
}

EOSSTS COsXml::NodeGetProperty(const char* a_szProperty, char* a_szValue, long a_lValue) {
  return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->NodeGetProperty(a_szProperty, a_szValue, a_lValue);
}

EOSSTS COsXml::DocumentGetProperty(const char* a_szProperty, char* a_szValue, long a_lValue) {
  return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->DocumentGetProperty(a_szProperty, a_szValue, a_lValue);
}

// ---------------------------------------------------------------------------
// Raw task texts
// ---------------------------------------------------------------------------
namespace {
constexpr long s_lTaskHeadSearch = 256;  // the task line is 91 characters

// The decimal number at a_pc; saturates instead of wrapping.
uint64_t ReadDecimal(const char* a_pc) {
  uint64_t u64 = 0;
  for (; *a_pc >= '0' && *a_pc <= '9'; ++a_pc) {
    unsigned uDigit = static_cast<unsigned>(*a_pc - '0');
    if (u64 > (UINT64_MAX - uDigit) / 10) return UINT64_MAX;
    u64 = u64 * 10 + uDigit;
  }
  return u64;
}

bool GetTaskNumber(const char* a_szXml, const char* a_szMarker, bool a_blNeedsQuote, uint64_t* a_pu64) {
  if (std::strncmp(a_szXml, "<task ", 6) != 0) {
    OsLog(OS_LOG_ERROR, "not an XML task");
    return false;
  }
  const char* pc = COsString::StrNstr(a_szXml, a_szMarker, s_lTaskHeadSearch);
  if (!pc) return false;
  pc += std::strlen(a_szMarker);
  if (a_blNeedsQuote && !std::strchr(pc, '\'')) return false;
  *a_pu64 = ReadDecimal(pc);
  return true;
}

bool NullArgument(const void* a_pv, const char* a_szMessage) {
  if (a_pv) return false;
  OsLog(OS_LOG_ERROR, "%s", a_szMessage);
  return true;
}
}  // namespace

bool COsXml::GetTaskPropertyId(const char* a_szXml, uint64_t* a_pu64Id) {
  if (NullArgument(a_szXml, "a_szXml is null") || NullArgument(a_pu64Id, "a_pu64Id is null")) return false;
  return GetTaskNumber(a_szXml, "id='", false, a_pu64Id);
}

bool COsXml::GetTaskPropertyReply(const char* a_szXml, uint64_t* a_pu64Reply) {
  if (NullArgument(a_szXml, "a_szXml is null") || NullArgument(a_pu64Reply, "a_pu64Reply is null")) return false;
  return GetTaskNumber(a_szXml, "reply='", false, a_pu64Reply);
}

bool COsXml::GetTaskPropertyBytes(const char* a_szXml, uint64_t* a_pu64Bytes) {
  if (NullArgument(a_szXml, "a_szXml is null") || NullArgument(a_pu64Bytes, "a_pu64Bytes is null")) return false;
  return GetTaskNumber(a_szXml, "bytes='", true, a_pu64Bytes);
}

bool COsXml::CheckForCommand(const char* a_szXml, const char* a_szCommand, long a_lCount) {
  if (NullArgument(a_szXml, "a_szXml is null") || NullArgument(a_szCommand, "a_szCommand is null")) return false;
  if (a_lCount < 0) return std::strstr(a_szXml, a_szCommand) != nullptr;
  return COsString::StrNstr(a_szXml, a_szCommand, static_cast<size_t>(a_lCount)) != nullptr;
}

bool COsXml::CheckForCommandAndArgument(const char* a_szXml, const char* a_szCommand, const char* a_szArgument,
                                        long a_lCount) {
  return CheckForCommand(a_szXml, a_szArgument, a_lCount) && CheckForCommand(a_szXml, a_szCommand, a_lCount);
}

EOSSTS COsXml::GetContent(const char* a_szXml, const char* a_szStart, const char* a_szEnd, char* a_szContent,
                          size_t a_sizetContent) {
  if (NullArgument(a_szContent, "a_szContent is null") || a_sizetContent == 0) {
    OsLog(OS_LOG_ERROR, "GetContent: no output buffer...");
    return OS_STS_FAIL;
  }
  a_szContent[0] = '\0';
  if (NullArgument(a_szXml, "a_szXml is null") || NullArgument(a_szStart, "a_szStart is null") ||
      NullArgument(a_szEnd, "a_szEnd is null")) {
    return OS_STS_FAIL;
  }
  const char* pcStart = std::strstr(a_szXml, a_szStart);
  if (!pcStart) return OS_STS_END_OF_LIST;
  pcStart += std::strlen(a_szStart);
  const char* pcEnd = std::strstr(pcStart, a_szEnd);
  if (!pcEnd) return OS_STS_END_OF_LIST;
  if (std::strncmp(pcStart, "<![CDATA[", 9) == 0) {
    pcStart += 9;
    pcEnd = (pcEnd - pcStart >= 3) ? pcEnd - 3 : pcStart;
  }
  const size_t sizetContent = static_cast<size_t>(pcEnd - pcStart);
  if (sizetContent >= a_sizetContent) {
    OsLog(OS_LOG_ERROR, "GetContent: content does not fit...%zu >= %zu", sizetContent, a_sizetContent);
    return OS_STS_NOROOM_BUFFER;
  }
  std::memcpy(a_szContent, pcStart, sizetContent);
  a_szContent[sizetContent] = '\0';
  return OS_STS_SUCCESS;
}
