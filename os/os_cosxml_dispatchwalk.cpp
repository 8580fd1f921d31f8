// The template walk: visits the loaded document from its current element,
// matches each element against the bound template and calls the handlers in
// document order (enter before an element's children, exit after them).
//
// The document cursor goes one stack level down per element level, so that
// handlers see the element being reported as the current node; the template
// side is kept in a table of one template element per level.
#include <cstring>
#include <exception>

#include "os_coslog.h"
#include "os_cosxml.h"
#include "os_cosxmlimpl.h"

class COsXmlImpl::CDispatchWalk {
 public:
  CDispatchWalk(COsXmlImpl& a_doc, COsXmlImpl& a_tpl, void* a_pvArg)
      : m_doc(a_doc), m_tpl(a_tpl), m_pvArg(a_pvArg), m_lStartLevel(a_doc.m_lCurrentNode) {}

  EOSSTS Run();

 private:
  enum EStep { STEP_MATCH, STEP_NEXT, STEP_FINISH, STEP_DONE };

  EStep Match(EOSSTS* a_peossts);
  EStep Next();
  EStep Finish(EOSSTS* a_peossts);
  EOSSTS End(EOSSTS a_eossts);

  OsXmlAtom* Find(OsXmlAtom* a_posxmlatomExpected, bool* a_pblMoved);
  OsXmlAtom* TemplateAfter(OsXmlAtom* a_posxmlatom);
  OsXmlAtom* TemplateStep(OsXmlAtom* a_posxmlatom, EOSSTS (COsXmlImpl::*a_pfnMove)());
  const OsXmlCallbacks& Record(const OsXmlAtom* a_posxmlatom) const;
  const OsXmlCallbacks& ParentRecord() const;
  EOSSTS Call(void* a_pvObject, OSXMLCALLBACKFUNCTION a_pfn, void* a_pvNameArg, int64_t a_lDepth);

  COsXmlImpl& m_doc;
  COsXmlImpl& m_tpl;
  void* m_pvArg;
  const long m_lStartLevel;  // the caller's cursor level, restored at the end
  long m_lLevel = 0;         // level of the walk, 0 at the start element
  OsXmlAtom* m_aposxmlatomTemplate[s_lMaxDepth] = {};  // expected, then matched, per level
};

EOSSTS COsXmlImpl::CDispatchWalk::Run() {
  m_tpl.NodeRewind();
  m_aposxmlatomTemplate[0] = m_tpl.CurrentNode();
  EStep estep = STEP_MATCH;
  for (;;) {
    EOSSTS eossts = OS_STS_SUCCESS;
    switch (estep) {
      case STEP_MATCH: estep = Match(&eossts); break;
      case STEP_NEXT: estep = Next(); break;
      case STEP_FINISH: estep = Finish(&eossts); break;
      case STEP_DONE: return End(OS_STS_SUCCESS);
    }
    if (eossts != OS_STS_SUCCESS) return End(eossts);
  }
}

// The current document element against the expected template element, then
// its following siblings, wrapping to the first (below the root).
COsXmlImpl::CDispatchWalk::EStep COsXmlImpl::CDispatchWalk::Match(EOSSTS* a_peossts) {
  const OsXmlCallbacks& parent = ParentRecord();
  bool blMoved = false;
  OsXmlAtom* posxmlatomMatch = Find(m_aposxmlatomTemplate[m_lLevel], &blMoved);
  if (!posxmlatomMatch) {
    // Unknown elements are reported, never entered.
    *a_peossts = Call(parent.pvObjectUnknown, parent.osxmlcallbackfunctionUnknown, parent.pvNameArg, m_lLevel);
    return m_lLevel == 0 ? STEP_DONE : STEP_NEXT;
  }
  m_aposxmlatomTemplate[m_lLevel] = posxmlatomMatch;
  if (blMoved) {
    *a_peossts = Call(parent.pvObjectUnordered, parent.osxmlcallbackfunctionUnordered, parent.pvNameArg, m_lLevel);
    if (*a_peossts != OS_STS_SUCCESS) return STEP_DONE;
  }
  const OsXmlCallbacks& record = Record(posxmlatomMatch);
  *a_peossts = Call(record.pvObjectEnter, record.osxmlcallbackfunctionEnter, record.pvNameArg, m_lLevel);
  if (*a_peossts != OS_STS_SUCCESS) return STEP_DONE;

  // Children: looked for before the cursor goes a level down, so that a leaf
  // at the deepest level needs no room on the stack.
  OsXmlAtom* posxmlatomNode = m_doc.CurrentNode();
  const bool blChildren = m_doc.NodeChild() == OS_STS_SUCCESS;
  m_doc.m_aposxmlatomNode[m_doc.m_lCurrentNode] = posxmlatomNode;
  if (!blChildren) return STEP_FINISH;
  *a_peossts = m_doc.NodePush();
  if (*a_peossts != OS_STS_SUCCESS) return STEP_DONE;
  m_doc.NodeChild();

  OsXmlAtom* posxmlatomChild = TemplateStep(posxmlatomMatch, &COsXmlImpl::NodeChild);
  if (posxmlatomChild) {
    m_aposxmlatomTemplate[++m_lLevel] = posxmlatomChild;
    return STEP_MATCH;
  }
  // A template leaf hands every child of its document element to unknown.
  do {
    *a_peossts = Call(record.pvObjectUnknown, record.osxmlcallbackfunctionUnknown, record.pvNameArg, m_lLevel + 1);
    if (*a_peossts != OS_STS_SUCCESS) return STEP_DONE;
  } while (m_doc.NodeSibling() == OS_STS_SUCCESS);
  m_doc.NodePop();
  return STEP_FINISH;
}

// The next document sibling expects the template element after the current
// one; without a sibling the parent level is finished.
COsXmlImpl::CDispatchWalk::EStep COsXmlImpl::CDispatchWalk::Next() {
  if (m_doc.NodeSibling() != OS_STS_SUCCESS) {
    m_doc.NodePop();
    --m_lLevel;
    return STEP_FINISH;
  }
  m_aposxmlatomTemplate[m_lLevel] = TemplateAfter(m_aposxmlatomTemplate[m_lLevel]);
  return STEP_MATCH;
}

COsXmlImpl::CDispatchWalk::EStep COsXmlImpl::CDispatchWalk::Finish(EOSSTS* a_peossts) {
  const OsXmlCallbacks& record = Record(m_aposxmlatomTemplate[m_lLevel]);
  *a_peossts = Call(record.pvObjectExit, record.osxmlcallbackfunctionExit, record.pvNameArg, m_lLevel);
  if (*a_peossts != OS_STS_SUCCESS || m_lLevel == 0) return STEP_DONE;
  return STEP_NEXT;
}

// The document cursor goes back to where the walk started, also when a
// handler stopped it, so that the document can be walked again.
EOSSTS COsXmlImpl::CDispatchWalk::End(EOSSTS a_eossts) {
  while (m_doc.m_lCurrentNode > m_lStartLevel && m_doc.NodePop() == OS_STS_SUCCESS) {
  }
  m_tpl.NodeRewind();
  return a_eossts;
}

OsXmlAtom* COsXmlImpl::CDispatchWalk::Find(OsXmlAtom* a_posxmlatomExpected, bool* a_pblMoved) {
  const OsXmlAtom* posxmlatomDoc = m_doc.CurrentNode();
  const char* pcName = m_doc.m_pszDocument + posxmlatomDoc->szName;
  OsXmlAtom* posxmlatom = a_posxmlatomExpected;
  while (posxmlatom) {
    if (posxmlatom->lName == posxmlatomDoc->lName &&
        std::memcmp(m_tpl.m_pszDocument + posxmlatom->szName, pcName, static_cast<size_t>(posxmlatomDoc->lName)) == 0) {
      return posxmlatom;
    }
    posxmlatom = TemplateAfter(posxmlatom);
    if (posxmlatom == a_posxmlatomExpected) break;
    *a_pblMoved = true;
  }
  return nullptr;
}

// The template sibling after an element, wrapping to the first child of its
// parent; the root level does not wrap.
OsXmlAtom* COsXmlImpl::CDispatchWalk::TemplateAfter(OsXmlAtom* a_posxmlatom) {
  OsXmlAtom* posxmlatom = TemplateStep(a_posxmlatom, &COsXmlImpl::NodeSibling);
  if (posxmlatom || m_lLevel == 0) return posxmlatom;
  return TemplateStep(m_aposxmlatomTemplate[m_lLevel - 1], &COsXmlImpl::NodeChild);
}

OsXmlAtom* COsXmlImpl::CDispatchWalk::TemplateStep(OsXmlAtom* a_posxmlatom, EOSSTS (COsXmlImpl::*a_pfnMove)()) {
  m_tpl.m_aposxmlatomNode[m_tpl.m_lCurrentNode] = a_posxmlatom;
  return (m_tpl.*a_pfnMove)() == OS_STS_SUCCESS ? m_tpl.CurrentNode() : nullptr;
}

const OsXmlCallbacks& COsXmlImpl::CDispatchWalk::Record(const OsXmlAtom* a_posxmlatom) const {
  static const OsXmlCallbacks s_osxmlcallbacksNone = {};
  return a_posxmlatom && a_posxmlatom->pCallbacks ? *a_posxmlatom->pCallbacks : s_osxmlcallbacksNone;
}

// Unknown and unordered come from the template parent; at the start element
// from the template root.
const OsXmlCallbacks& COsXmlImpl::CDispatchWalk::ParentRecord() const {
  return Record(m_lLevel == 0 ? &m_tpl.m_posxmlatom[0] : m_aposxmlatomTemplate[m_lLevel - 1]);
}

// One handler call for the current document element, its name and content
// terminated in place for the time of the call. A handler must leave the
// cursor where it found it: one that moved it, or freed or replaced the
// document, stops the walk.
EOSSTS COsXmlImpl::CDispatchWalk::Call(void* a_pvObject, OSXMLCALLBACKFUNCTION a_pfn, void* a_pvNameArg,
                                       int64_t a_lDepth) {
  if (!a_pvObject || !a_pfn) return OS_STS_SUCCESS;
  const long lLevel = m_doc.m_lCurrentNode;
  const OsXmlAtom* posxmlatomNode = m_doc.CurrentNode();
  OsXmlCallback osxmlcallback;
  osxmlcallback.pvObject = a_pvObject;
  osxmlcallback.posxml = m_doc.m_posxml;
  osxmlcallback.lDepth = a_lDepth;
  osxmlcallback.szName = m_doc.NodeGetNamePointer();
  osxmlcallback.szData = m_doc.NodeGetContentPointer();
  osxmlcallback.pvNameArg = a_pvNameArg;
  osxmlcallback.pvArg = m_pvArg;
  EOSSTS eossts;
  try {
    eossts = a_pfn(&osxmlcallback);
  } catch (const std::exception& exception) {
    OsLog(OS_LOG_ASSERT, "xml>>> callback threw an exception...<%s> %s", osxmlcallback.szName, exception.what());
    eossts = OS_STS_FAIL;
  } catch (...) {
    OsLog(OS_LOG_ASSERT, "xml>>> callback threw an exception...<%s>", osxmlcallback.szName);
    eossts = OS_STS_FAIL;
  }
  m_doc.NodeGetNameFix();
  m_doc.NodeGetContentFix();
  if (eossts != OS_STS_SUCCESS) return eossts;
  if (!m_doc.IsLoaded(false) || m_doc.m_lCurrentNode != lLevel || m_doc.CurrentNode() != posxmlatomNode) {
    OsLog(OS_LOG_ASSERT, "xml>>> a callback moved the document cursor or replaced the document...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
EOSSTS COsXmlImpl::Dispatch(void* a_pvArg) {
  if (!m_posxmlTemplate || !m_blDispatchBound || m_i32State != OS_XML_STATE_LOADED) {
    OsLog(OS_LOG_ASSERT, "Must call DispatchLoad first...");
    return OS_STS_FAIL;
  }
  if (!IsLoaded(false)) {
    OsLog(OS_LOG_ASSERT, "Must call COsXmlImpl::DocumentLoad first...");
    return OS_STS_FAIL;
  }
  if (!CurrentNode()) return OS_STS_END_OF_LIST;
  if (m_blDispatching) {
    OsLog(OS_LOG_ASSERT, "xml>>> Dispatch refused while a walk runs...");
    return OS_STS_FAIL;
  }
  m_blDispatching = true;
  CDispatchWalk walk(*this, *m_posxmlTemplate->GetImpl(), a_pvArg);
  const EOSSTS eossts = walk.Run();
  m_blDispatching = false;
  return eossts;
}
