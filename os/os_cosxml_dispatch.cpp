// Template dispatch of the XML reader: the object map, binding a template's
// callback properties to objects and handlers, and the public operations.
// The walk itself is in os_cosxml_dispatchwalk.cpp.
#include <cstring>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxml.h"
#include "os_cosxmlimpl.h"

namespace {

constexpr long s_lObjectMapStep = 256;
constexpr long s_lPropertyValue = 128;  // a callback property holds at most 127 characters
constexpr size_t s_sizetHandlerName = 512;

// The four callback properties of a template element and where each goes in
// its record; unknown and unordered pass down to child elements that do not
// set their own.
struct CallbackProperty {
  const char* szName;
  void* OsXmlCallbacks::*ppvObject;
  OSXMLCALLBACKFUNCTION OsXmlCallbacks::*ppfn;
  bool blInherited;
};

const CallbackProperty s_acallbackproperty[] = {
    {"enter", &OsXmlCallbacks::pvObjectEnter, &OsXmlCallbacks::osxmlcallbackfunctionEnter, false},
    {"exit", &OsXmlCallbacks::pvObjectExit, &OsXmlCallbacks::osxmlcallbackfunctionExit, false},
    {"unknown", &OsXmlCallbacks::pvObjectUnknown, &OsXmlCallbacks::osxmlcallbackfunctionUnknown, true},
    {"unordered", &OsXmlCallbacks::pvObjectUnordered, &OsXmlCallbacks::osxmlcallbackfunctionUnordered, true},
};

bool IsHex(const char* a_pc) { return a_pc[0] == '0' && (a_pc[1] == 'x' || a_pc[1] == 'X'); }

// Grows the object map by one step into a new zero-filled array; one entry
// more than the capacity stays free, so that a search always ends.
bool GrowObjectMap(OsXmlDispatchObject*& a_posxmldispatchobject, long& a_lCapacity) {
  const long lCapacity = a_lCapacity + s_lObjectMapStep;
  if (a_lCapacity) {
    OsLogDebug(OS_LOG_INFO, "xml>>> growing the dispatch object map...%d -> %d", static_cast<int>(a_lCapacity),
               static_cast<int>(lCapacity));
  }
  auto* posxmldispatchobject =
      static_cast<OsXmlDispatchObject*>(OsMemAlloc(static_cast<size_t>(lCapacity + 1) * sizeof(OsXmlDispatchObject)));
  if (!posxmldispatchobject) {
    OsLog(OS_LOG_ASSERT, "OsMemAlloc failed...");
    return false;
  }
  if (a_posxmldispatchobject) {
    std::memcpy(posxmldispatchobject, a_posxmldispatchobject,
                static_cast<size_t>(a_lCapacity) * sizeof(OsXmlDispatchObject));
    OsMemFree(a_posxmldispatchobject);
  }
  a_posxmldispatchobject = posxmldispatchobject;
  a_lCapacity = lCapacity;
  return true;
}

// One property of the current template element. A value too long for the
// buffer is refused rather than dropped: a silently missing handler would
// make the walk skip work without a trace.
EOSSTS ReadProperty(COsXmlImpl& a_posxmlimplTemplate, const char* a_szProperty, char* a_szValue, bool* a_pblFound) {
  *a_pblFound = false;
  const EOSSTS eossts = a_posxmlimplTemplate.NodeGetProperty(a_szProperty, a_szValue, s_lPropertyValue);
  if (eossts == OS_STS_SUCCESS) {
    *a_pblFound = true;
    return OS_STS_SUCCESS;
  }
  if (eossts == OS_STS_NOROOM_BUFFER) {
    char szElement[s_lPropertyValue] = {};
    a_posxmlimplTemplate.NodeGetName(szElement, sizeof szElement);
    OsLog(OS_LOG_ASSERT, "xml>>> template property is too long (%d characters at most)...<%s> of <%s>",
          static_cast<int>(s_lPropertyValue - 1), a_szProperty, szElement);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;  // absent
}

bool NoImpl(const COsXmlImpl* a_posxmlimpl) {
  if (a_posxmlimpl) return false;
  OsLog(OS_LOG_ERROR, "xml>>> m_posxmlimpl is null...");
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Objects
// ---------------------------------------------------------------------------
EOSSTS COsXmlImpl::DispatchAddObject(const char* a_szObjectName, const char* a_szClassName, void* a_pvDispatchObj) {
  if (!a_szObjectName || !a_szObjectName[0]) {
    OsLog(OS_LOG_ASSERT, "a_szObjectName is null or empty...");
    return OS_STS_FAIL;
  }
  if (!a_szClassName || !a_szClassName[0]) {
    OsLog(OS_LOG_ASSERT, "a_szClassName is null or empty...");
    return OS_STS_FAIL;
  }
  if (!a_pvDispatchObj) {
    OsLog(OS_LOG_ASSERT, "a_pvDispatchObj is null...");
    return OS_STS_FAIL;
  }
  if (!m_posxmldispatchobject && !GrowObjectMap(m_posxmldispatchobject, m_lDispatchObjects)) return OS_STS_FAIL;
  for (;;) {
    for (long l = 0; l < m_lDispatchObjects - 1; ++l) {
      OsXmlDispatchObject& entry = m_posxmldispatchobject[l];
      if (entry.pvObject) continue;
      entry.szObjectName = a_szObjectName;
      entry.szClassName = a_szClassName;
      entry.pvObject = a_pvDispatchObj;
      return OS_STS_SUCCESS;
    }
    if (!GrowObjectMap(m_posxmldispatchobject, m_lDispatchObjects)) return OS_STS_FAIL;
  }
}

// The first entry of that name; the map ends at its first free entry.
const OsXmlDispatchObject* COsXmlImpl::DispatchFind(const char* a_pcName, size_t a_sizetName) const {
  for (long l = 0; l < m_lDispatchObjects && m_posxmldispatchobject[l].pvObject; ++l) {
    const char* szName = m_posxmldispatchobject[l].szObjectName;
    if (std::strlen(szName) == a_sizetName && std::memcmp(szName, a_pcName, a_sizetName) == 0) {
      return &m_posxmldispatchobject[l];
    }
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Handlers
// ---------------------------------------------------------------------------
void* COsXmlImpl::DispatchLookUp(const char* a_szName) {
  if (!m_posfile) {
    m_posfile = OsMemNew(COsFile);
    if (!m_posfile) {
      OsLog(OS_LOG_ASSERT, "OsMemNew failed...%s", "COsFile");
      return nullptr;
    }
  }
  return m_posfile->SharedLibraryGetProc(a_szName, m_pvDispatchHandle, OS_FILEMANGLE_XMLCALLBACK);
}

// 'object.function' into an object and a handler: the object by address
// ("0x...") or by registered name, the function by address or by the name
// Class_function (the registered class's) or function (an object given by
// address) looked up in the handle of the DispatchLoad call.
EOSSTS COsXmlImpl::DispatchResolve(const char* a_szValue, void** a_ppvObject, OSXMLCALLBACKFUNCTION* a_ppfn) {
  const char* pcDot = std::strchr(a_szValue, '.');
  if (!pcDot) {
    OsLog(OS_LOG_ASSERT, "callback property must be 'object.function'...");
    return OS_STS_FAIL;
  }
  const int iObject = static_cast<int>(pcDot - a_szValue);
  const char* szClass = nullptr;
  void* pvObject = nullptr;
  if (iObject >= 2 && IsHex(a_szValue)) {
    pvObject = reinterpret_cast<void*>(static_cast<uintptr_t>(COsString::StrToFastHexIntPtr(a_szValue)));
  } else {
    if (!m_posxmldispatchobject) {
      OsLog(OS_LOG_ASSERT, "Must call DispatchAddObject first (null list)...");
      return OS_STS_FAIL;
    }
    const OsXmlDispatchObject* posxmldispatchobject = DispatchFind(a_szValue, static_cast<size_t>(iObject));
    if (!posxmldispatchobject) {
      OsLog(OS_LOG_ASSERT,
            "could not find <%.*s> in object list. Declare objects in DispatchAddObject() before calling "
            "DispatchLoad()",
            iObject, a_szValue);
      return OS_STS_FAIL;
    }
    pvObject = posxmldispatchobject->pvObject;
    szClass = posxmldispatchobject->szClassName;
  }
  if (!pvObject) {
    OsLog(OS_LOG_ASSERT, "object <%.*s> evaluates to NULL ", iObject, a_szValue);
    return OS_STS_FAIL;
  }

  const char* szFunction = pcDot + 1;
  char szName[s_sizetHandlerName] = {};
  void* pvFunction = nullptr;
  if (IsHex(szFunction)) {
    pvFunction = reinterpret_cast<void*>(static_cast<uintptr_t>(COsString::StrToFastHexIntPtr(szFunction)));
    COsString::SStrCpy(szName, sizeof szName, szFunction);
  } else {
    const int iName = szClass ? COsString::SStrPrintf(szName, sizeof szName, "%s_%s", szClass, szFunction)
                              : COsString::SStrPrintf(szName, sizeof szName, "%s", szFunction);
    if (iName >= 0) pvFunction = DispatchLookUp(szName);
  }
  if (!pvFunction) {
    OsLog(OS_LOG_ASSERT, "callback function <%s> evaluates to NULL", szName);
    return OS_STS_FAIL;
  }
  *a_ppvObject = pvObject;
  *a_ppfn = reinterpret_cast<OSXMLCALLBACKFUNCTION>(pvFunction);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Binding
// ---------------------------------------------------------------------------
// Gives every template element, in document order, the next record and
// fills it from the element's properties; the first failure ends the binding.
EOSSTS COsXmlImpl::DispatchBind(COsXmlImpl& a_posxmlimplTemplate) {
  COsXmlImpl& tpl = a_posxmlimplTemplate;
  const OsXmlCallbacks* aposxmlcallbacksLevel[s_lMaxDepth] = {};  // the last record of each depth
  long lRecords = 0;
  char szValue[s_lPropertyValue];
  for (long lAtom = 0; lAtom < tpl.m_lAtomsInUse; ++lAtom) {
    OsXmlAtom* posxmlatom = &tpl.m_posxmlatom[lAtom];
    if (posxmlatom->eosxmltype != OS_XML_TYPE_TAG) continue;
    OsXmlCallbacks* posxmlcallbacks = &m_posxmlcallbacks[lRecords++];
    posxmlatom->pCallbacks = posxmlcallbacks;
    aposxmlcallbacksLevel[posxmlatom->lDepth] = posxmlcallbacks;
    const OsXmlCallbacks* posxmlcallbacksParent =
        posxmlatom->lDepth > 0 ? aposxmlcallbacksLevel[posxmlatom->lDepth - 1] : nullptr;
    tpl.m_aposxmlatomNode[tpl.m_lCurrentNode] = posxmlatom;

    for (const CallbackProperty& property : s_acallbackproperty) {
      bool blFound;
      if (ReadProperty(tpl, property.szName, szValue, &blFound) != OS_STS_SUCCESS) return OS_STS_FAIL;
      if (blFound) {
        EOSSTS eossts =
            DispatchResolve(szValue, &(posxmlcallbacks->*property.ppvObject), &(posxmlcallbacks->*property.ppfn));
        if (eossts != OS_STS_SUCCESS) return eossts;
      } else if (property.blInherited && posxmlcallbacksParent) {
        posxmlcallbacks->*property.ppvObject = posxmlcallbacksParent->*property.ppvObject;
        posxmlcallbacks->*property.ppfn = posxmlcallbacksParent->*property.ppfn;
      }
    }
    bool blFound;
    if (ReadProperty(tpl, "user", szValue, &blFound) != OS_STS_SUCCESS) return OS_STS_FAIL;
    if (blFound) {
      posxmlcallbacks->pvNameArg = IsHex(szValue)
                                       ? reinterpret_cast<void*>(static_cast<uintptr_t>(COsString::StrToFastHexIntPtr(szValue)))
                                       : DispatchLookUp(szValue);
    }
  }
  if (lRecords == tpl.m_lAtomsInUse) OsLog(OS_LOG_INFO, "xml>>> we overflowed our callback array...");
  return OS_STS_SUCCESS;
}

EOSSTS COsXmlImpl::DispatchLoad(const char* a_szTemplate, long a_lTemplate, void* a_pvHandle) {
  if (m_blDispatching) {
    OsLog(OS_LOG_ASSERT, "xml>>> DispatchLoad refused while a walk runs...");
    return OS_STS_FAIL;
  }
  if (!m_posxmlTemplate) {
    m_posxmlTemplate = OsMemNew(COsXml);
    if (!m_posxmlTemplate || !m_posxmlTemplate->GetImpl()) {
      OsLog(OS_LOG_ASSERT, "new failed...");
      OsMemDelete(m_posxmlTemplate);
      return OS_STS_FAIL;
    }
    m_posxmlTemplate->SetAtomIncrement(m_lDispatchAtomIncrement);
  }
  // Only a binding that completes may be walked.
  m_blDispatchBound = false;
  m_pvDispatchHandle = a_pvHandle;
  if (m_posxmlTemplate->DocumentLoad(a_szTemplate, a_lTemplate) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ASSERT, "DocumentLoad failed...");
    return OS_STS_FAIL;
  }
  COsXmlImpl& tpl = *m_posxmlTemplate->GetImpl();
  if (m_posxmlcallbacks) OsMemFree(m_posxmlcallbacks);
  m_posxmlcallbacks =
      static_cast<OsXmlCallbacks*>(OsMemAlloc(static_cast<size_t>(tpl.m_lAtomsInUse + 1) * sizeof(OsXmlCallbacks)));
  if (!m_posxmlcallbacks) {
    OsLog(OS_LOG_ASSERT, "OsMemAlloc failed...");
    return OS_STS_FAIL;
  }
  const EOSSTS eossts = DispatchBind(tpl);
  tpl.NodeRewind();
  if (eossts != OS_STS_SUCCESS) return eossts;
  m_blDispatchBound = true;
  return OS_STS_SUCCESS;
}

EOSSTS COsXmlImpl::DispatchFree() {
  if (m_blDispatching) {
    OsLog(OS_LOG_ASSERT, "xml>>> DispatchFree refused while a walk runs...");
    return OS_STS_FAIL;
  }
  m_blDispatchBound = false;
  if (m_posxmlcallbacks) OsMemFree(m_posxmlcallbacks);
  m_posxmlcallbacks = nullptr;
  OsMemDelete(m_posxmlTemplate);
  if (m_posxmldispatchobject) OsMemFree(m_posxmldispatchobject);
  m_posxmldispatchobject = nullptr;
  m_lDispatchObjects = 0;
  m_pvDispatchHandle = nullptr;
  return OS_STS_SUCCESS;
}

void COsXmlImpl::DispatchDestroy() {
  m_blDispatching = false;
  DispatchFree();
  OsMemDelete(m_posfile);
}

// ---------------------------------------------------------------------------
// COsXml: checks its implementation, then forwards.
// ---------------------------------------------------------------------------
EOSSTS COsXml::DispatchAddObject(const char* a_szObjectName, const char* a_szClassName, void* a_pvDispatchObj) {
  if (NoImpl(m_posxmlimpl)) return OS_STS_FAIL;
  return m_posxmlimpl->DispatchAddObject(a_szObjectName, a_szClassName, a_pvDispatchObj);
}

// Without a handle, handlers are looked up in the library's own image (the
// process's global scope when the library's code is the application's own).
EOSSTS COsXml::DispatchLoad(const char* a_szTemplate) {
  if (!a_szTemplate) {
    OsLog(OS_LOG_ASSERT, "a_szTemplate is null...");
    return OS_STS_FAIL;
  }
  return DispatchLoad(a_szTemplate, static_cast<long>(std::strlen(a_szTemplate)),
                      COsCfg::GetHmodule());
}

EOSSTS COsXml::DispatchLoad(const char* a_szTemplate, long a_lTemplate) {
  return DispatchLoad(a_szTemplate, a_lTemplate, COsCfg::GetHmodule());
}

EOSSTS COsXml::DispatchLoad(const char* a_szTemplate, void* a_pvHandle) {
  if (!a_szTemplate) {
    OsLog(OS_LOG_ASSERT, "a_szTemplate is null...");
    return OS_STS_FAIL;
  }
  return DispatchLoad(a_szTemplate, static_cast<long>(std::strlen(a_szTemplate)), a_pvHandle);
}

EOSSTS COsXml::DispatchLoad(const char* a_szTemplate, long a_lTemplate, void* a_pvHandle) {
  if (NoImpl(m_posxmlimpl)) return OS_STS_FAIL;
  if (!a_szTemplate) {
    OsLog(OS_LOG_ASSERT, "a_szTemplate is NULL...");
    return OS_STS_FAIL;
  }
  return m_posxmlimpl->DispatchLoad(a_szTemplate, a_lTemplate, a_pvHandle);
}

EOSSTS COsXml::Dispatch(void* a_pvArg) { return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->Dispatch(a_pvArg); }

EOSSTS COsXml::DocumentLoadAndDispatch(const char* a_szDocument, void* a_pvArg) {
  const EOSSTS eossts = DocumentLoad(a_szDocument);
  return eossts != OS_STS_SUCCESS ? eossts : Dispatch(a_pvArg);
}

EOSSTS COsXml::DocumentLoadAndDispatch(const char* a_szDocument, long a_lDocumentLength, void* a_pvArg) {
  const EOSSTS eossts = DocumentLoad(a_szDocument, a_lDocumentLength);
  return eossts != OS_STS_SUCCESS ? eossts : Dispatch(a_pvArg);
}

EOSSTS COsXml::DispatchFree() { return NoImpl(m_posxmlimpl) ? OS_STS_FAIL : m_posxmlimpl->DispatchFree(); }
