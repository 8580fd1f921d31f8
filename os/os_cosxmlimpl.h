// The implementation behind COsXml. Kept in its own header so that the
// template dispatcher of the same reader can reach the atoms and the cursor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_cosxml.h"

class COsFile;

// One registered dispatch object. The names are the caller's texts, which
// must outlive the map; an entry with a null object is free.
struct OsXmlDispatchObject {
  const char* szObjectName;
  const char* szClassName;
  void* pvObject;
};

class COsXmlImpl {
 public:
  static constexpr long s_lMaxDepth = 64;         // nesting levels 0..63
  static constexpr long s_lMinAtomIncrement = 256;
  static constexpr long s_lDeclarationIncrement = 8;

  explicit COsXmlImpl(COsXml* a_posxml);
  ~COsXmlImpl();
  COsXmlImpl(const COsXmlImpl&) = delete;
  COsXmlImpl& operator=(const COsXmlImpl&) = delete;

  EOSSTS DocumentLoad(const char* a_szDocument, long a_lDocumentLength);
  EOSSTS DocumentFree();
  int DocumentGetState() const { return m_i32State; }
  void DocumentSetStateSkip();
  long SetAtomIncrement(long a_lAtomIncrement);
  long SetDispatchAtomIncrement(long a_lAtomIncrement);
  EOSSTS Dump();

  EOSSTS NodeRewind();
  EOSSTS NodeChild();
  EOSSTS NodeSibling();
  EOSSTS NodePush();
  EOSSTS NodePop();
  long NodeGetDepth();
  EOSSTS NodeGetName(char* a_szName, long a_lName);
  EOSSTS NodeGetContent(char* a_szContent, long a_lContent);
  EOSSTS NodeGetContentLocation(long* a_plOffset, long* a_plSize);
  EOSSTS NodeGetProperty(const char* a_szProperty, char* a_szValue, long a_lValue);
  EOSSTS DocumentGetProperty(const char* a_szProperty, char* a_szValue, long a_lValue);

  // For the dispatcher: the current atom, the one saved below the current
  // level, and names and contents terminated in place (each Pointer call must
  // be followed by its Fix before the next one).
  OsXmlAtom* NodeGetOsXmlAtom();
  OsXmlAtom* NodeLastPushed();
  char* NodeGetNamePointer();
  void NodeGetNameFix();
  char* NodeGetContentPointer();
  void NodeGetContentFix();
  OsXmlAtom* GetAtoms() { return m_posxmlatom; }
  long GetAtomsInUse() const { return m_lAtomsInUse; }
  const char* GetDocument() const { return m_pszDocument; }

  // Template dispatch (os_cosxml_dispatch.cpp).
  EOSSTS DispatchAddObject(const char* a_szObjectName, const char* a_szClassName, void* a_pvDispatchObj);
  EOSSTS DispatchLoad(const char* a_szTemplate, long a_lTemplate, void* a_pvHandle);
  EOSSTS Dispatch(void* a_pvArg);
  EOSSTS DispatchFree();

 private:
  class CParser;
  friend class CParser;
  class CDispatchWalk;

  // Inline on purpose: every cursor operation asks.
  bool IsLoaded(bool a_blLog) {
    if (m_lAtomsInUse > 0 && m_pszDocument) return true;
    if (a_blLog) LogNotLoaded();
    return false;
  }
  static void LogNotLoaded();
  OsXmlAtom* CurrentNode() { return m_aposxmlatomNode[m_lCurrentNode]; }
  void ClearNodeStack();
  void Forget();  // drops atoms, declarations, node stack
  EOSSTS Abort();
  bool ReserveDocument(long a_lLength);
  OsXmlAtom* NewAtom();
  OsXmlAtom* NewDeclaration();
  static EOSSTS CopyOut(const char* a_pcText, int64_t a_lText, char* a_szDst, long a_lDst);
  EOSSTS DispatchBind(COsXmlImpl& a_posxmlimplTemplate);
  EOSSTS DispatchResolve(const char* a_szValue, void** a_ppvObject, OSXMLCALLBACKFUNCTION* a_ppfn);
  const OsXmlDispatchObject* DispatchFind(const char* a_pcName, size_t a_sizetName) const;
  void* DispatchLookUp(const char* a_szName);
  void DispatchDestroy();  // DispatchFree and the look-up file, at destruction

  int32_t m_i32State;

  long m_lDocumentCapacity;
  char* m_pszDocument;
  long m_lDocumentLength;

  long m_lAllocatedAtoms;
  long m_lAtomsInUse;
  OsXmlAtom* m_posxmlatom;

  long m_lCurrentNode;
  OsXmlAtom* m_aposxmlatomNode[s_lMaxDepth];

  long m_lAllocatedDeclarations;
  long m_lDeclarationsInUse;
  OsXmlAtom* m_posxmlatomDeclaration;

  long m_lAtomIncrement;
  long m_lDispatchAtomIncrement;

  COsXml* m_posxml;

  // The characters replaced by the in-place terminators.
  char* m_pcNameFix;
  char m_cNameFix;
  char* m_pcContentFix;
  char m_cContentFix;

  // The dispatch side: the records of the bound template (its atoms point
  // at them), the template reader, the object map and the handle handlers
  // are looked up in.
  OsXmlCallbacks* m_posxmlcallbacks = nullptr;
  long m_lDispatchObjects = 0;  // capacity of the object map
  COsXml* m_posxmlTemplate = nullptr;
  OsXmlDispatchObject* m_posxmldispatchobject = nullptr;
  void* m_pvDispatchHandle = nullptr;
  COsFile* m_posfile = nullptr;
  bool m_blDispatchBound = false;  // the last DispatchLoad bound every callback
  bool m_blDispatching = false;    // a walk runs: the template must stay
};
