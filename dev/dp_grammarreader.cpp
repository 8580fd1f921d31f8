// The reader of a device-reply parser.
#include "dp_grammarreader.h"

#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxml.h"

COsXml* DpNewGrammarReader(const char* a_szClassName, void* a_pvParser, const char* a_szGrammar) {
  COsXml* posxml = OsMemNew(COsXml);
  if (!posxml) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return nullptr;
  }
  if (posxml->DispatchAddObject("this", a_szClassName, a_pvParser) != OS_STS_SUCCESS ||
      posxml->DispatchLoad(a_szGrammar) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchLoad failed...<%s>", a_szGrammar);
    OsMemDelete(posxml);
  }
  return posxml;
}
