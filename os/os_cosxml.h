// The XML reader: tokenises a document of the library's XML subset in one
// pass into a flat array of atoms that point into a private copy of the text,
// and walks it with a cursor that keeps a stack of saved positions. A few
// static helpers look at raw task texts without parsing them.
//
// The subset: single-quoted attribute values, no blanks around "=", one blank
// between attributes, CDATA sections, processing instructions anywhere, no
// comments or document type declarations, entities not decoded, at most 64
// nesting levels. Element and property names never hold blanks, line breaks,
// "/", "<", ">", "=" or quotes: a document that would need them is refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_def.h"

// Kind of an atom; only TAG and PROPERTY are ever produced.
enum EOSXMLTYPE : int32_t {
  OS_XML_TYPE_UNDEFINED = 0,
  OS_XML_TYPE_TAG = 1,
  OS_XML_TYPE_PROPERTY = 2,
  OS_XML_TYPE_TEXT = 3,
  OS_XML_TYPE_LAST = 4,
};

class COsXml;

// The record handed to every callback of a template walk.
struct OsXmlCallback {
  void* pvObject;     // object of the callback being called
  COsXml* posxml;     // the reader holding the walked document
  int64_t lDepth;     // level in the walk, 0 for the start element
  char* szName;       // element name, terminated for the call only
  char* szData;       // element content, terminated for the call only
  void* pvNameArg;    // the template element's user value
  void* pvArg;        // the walk's argument
};

typedef EOSSTS (*OSXMLCALLBACKFUNCTION)(OsXmlCallback* a_posxmlcallback);

// Callbacks bound to one template element (filled by the template binder).
struct OsXmlCallbacks {
  void* pvObjectEnter;
  OSXMLCALLBACKFUNCTION osxmlcallbackfunctionEnter;
  void* pvObjectExit;
  OSXMLCALLBACKFUNCTION osxmlcallbackfunctionExit;
  void* pvObjectUnknown;
  OSXMLCALLBACKFUNCTION osxmlcallbackfunctionUnknown;
  void* pvObjectUnordered;
  OSXMLCALLBACKFUNCTION osxmlcallbackfunctionUnordered;
  void* pvNameArg;
};

// One element or property. Names, values and contents are offsets into the
// reader's copy of the document, never copies.
struct OsXmlAtom {
  EOSXMLTYPE eosxmltype;
  int64_t lDepth;  // 0 for the root element; a property has its element's depth
  int64_t lIndex;  // own index in the atom array
  int64_t szName;  // offset of the name
  int64_t lName;
  int64_t szData;  // property: its value (no quotes); element: its content
  int64_t lData;
  OsXmlCallbacks* pCallbacks;  // template readers only
};

// Document states.
enum EOSXMLSTATE : int32_t {
  OS_XML_STATE_FREE = 1,
  OS_XML_STATE_LOADED = 2,
  OS_XML_STATE_SKIP = 3,
};

class COsXmlImpl;

class COsXml {
 public:
  COsXml();
  ~COsXml();
  COsXml(const COsXml&) = delete;
  COsXml& operator=(const COsXml&) = delete;

  // Loading and state.
  EOSSTS DocumentLoad(const char* a_szDocument);
  EOSSTS DocumentLoad(const char* a_szDocument, long a_lDocumentLength);
  EOSSTS DocumentFree();
  int DocumentGetState();
  void DocumentSetStateSkip();
  long SetAtomIncrement(long a_lAtomIncrement);
  long SetDispatchAtomIncrement(long a_lAtomIncrement);
  EOSSTS Dump();

  // Cursor: every operation acts on the node at the current stack level.
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

  // Raw task texts: the number after id=', reply=' or bytes=' of a text that
  // begins with "<task ".
  static bool GetTaskPropertyId(const char* a_szXml, uint64_t* a_pu64Id);
  static bool GetTaskPropertyReply(const char* a_szXml, uint64_t* a_pu64Reply);
  static bool GetTaskPropertyBytes(const char* a_szXml, uint64_t* a_pu64Bytes);
  // Needle within the first a_lCount characters (the whole text when negative).
  static bool CheckForCommand(const char* a_szXml, const char* a_szCommand, long a_lCount);
  static bool CheckForCommandAndArgument(const char* a_szXml, const char* a_szCommand,
                                         const char* a_szArgument, long a_lCount);
  // Copies the text between the start marker and the end marker that follows
  // it (a CDATA wrapper is dropped). 0 copied (possibly empty), 6 a marker is
  // missing, 2 it does not fit (output emptied), 1 bad argument.
  static EOSSTS GetContent(const char* a_szXml, const char* a_szStart, const char* a_szEnd,
                           char* a_szContent, size_t a_sizetContent);

  // Template dispatch. Objects are registered under a name with their class
  // name; a template names, per element, the handlers 'object.function' to
  // call when a matching document element is entered or left (enter, exit),
  // for children it does not know (unknown) or that come out of order
  // (unordered), and a user value (user). A handler is the static member
  // Class_function of Class, found by its symbol in the library's own image
  // or in the given library handle. Dispatch walks the loaded document and
  // returns 0, or the first non-zero status a handler answers.
  EOSSTS DispatchAddObject(const char* a_szObjectName, const char* a_szClassName, void* a_pvDispatchObj);
  EOSSTS DispatchLoad(const char* a_szTemplate);
  EOSSTS DispatchLoad(const char* a_szTemplate, long a_lTemplate);
  EOSSTS DispatchLoad(const char* a_szTemplate, void* a_pvHandle);
  EOSSTS DispatchLoad(const char* a_szTemplate, long a_lTemplate, void* a_pvHandle);
  EOSSTS Dispatch(void* a_pvArg);
  EOSSTS DocumentLoadAndDispatch(const char* a_szDocument, void* a_pvArg);
  EOSSTS DocumentLoadAndDispatch(const char* a_szDocument, long a_lDocumentLength, void* a_pvArg);
  EOSSTS DispatchFree();

  // The implementation, for the template dispatcher of this reader.
  COsXmlImpl* GetImpl() { return m_posxmlimpl; }

 private:
  COsXmlImpl* m_posxmlimpl;
};
