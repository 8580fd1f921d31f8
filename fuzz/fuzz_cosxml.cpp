// Fuzz target of the XML reader: any bytes are loaded (from a block of their
// exact size, so a read past the end is caught), and a loaded document is
// walked whole with every cursor, property and content operation, then the
// raw-text helpers run on the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "os_cosxml.h"
#include "os_cosxmlimpl.h"

namespace {

void Check(bool a_bl) {
  if (!a_bl) __builtin_trap();
}

void Walk(COsXml& a_osxml, COsXmlImpl* a_posxmlimpl, int a_iLevel) {
  char szBuffer[64];
  static std::vector<char> vecContent(1 << 16);
  long lDepth = a_osxml.NodeGetDepth();
  Check(lDepth >= 0 && lDepth < 64);
  a_osxml.NodeGetName(szBuffer, sizeof(szBuffer));
  a_osxml.NodeGetContent(vecContent.data(), static_cast<long>(vecContent.size()));
  long lOffset = 0, lSize = 0;
  Check(a_osxml.NodeGetContentLocation(&lOffset, &lSize) == OS_STS_SUCCESS);
  Check(lOffset >= 0 && lSize >= 0);

  // Every property of the element, by its own name.
  OsXmlAtom* posxmlatomNode = a_posxmlimpl->NodeGetOsXmlAtom();
  const OsXmlAtom* posxmlatomEnd = a_posxmlimpl->GetAtoms() + a_posxmlimpl->GetAtomsInUse();
  for (const OsXmlAtom* p = posxmlatomNode + 1; p < posxmlatomEnd; ++p) {
    if (p->eosxmltype != OS_XML_TYPE_PROPERTY || p->lDepth != posxmlatomNode->lDepth) break;
    std::string strName(a_posxmlimpl->GetDocument() + p->szName, static_cast<size_t>(p->lName));
    if (strName.find('\0') != std::string::npos) continue;
    EOSSTS eossts = a_osxml.NodeGetProperty(strName.c_str(), szBuffer, sizeof(szBuffer));
    Check(eossts == OS_STS_SUCCESS || eossts == OS_STS_NOROOM_BUFFER);
  }

  // The in-place terminators must leave the document as it was.
  char* szName = a_posxmlimpl->NodeGetNamePointer();
  Check(szName != nullptr);
  a_posxmlimpl->NodeGetNameFix();
  char* szContent = a_posxmlimpl->NodeGetContentPointer();
  Check(szContent != nullptr);
  a_posxmlimpl->NodeGetContentFix();

  if (a_osxml.NodePush() != OS_STS_SUCCESS) return;
  if (a_osxml.NodeChild() == OS_STS_SUCCESS) {
    Check(a_osxml.NodeGetDepth() == lDepth + 1);
    do {
      Walk(a_osxml, a_posxmlimpl, a_iLevel + 1);
    } while (a_osxml.NodeSibling() == OS_STS_SUCCESS);
  }
  Check(a_osxml.NodePop() == OS_STS_SUCCESS);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  // One reader for the whole run, so that its kept buffers hold what longer
  // inputs left behind.
  static COsXml* s_posxml = new COsXml();
  std::vector<char> vecExact(a_pu8Data, a_pu8Data + a_sizetData);
  EOSSTS eossts = s_posxml->DocumentLoad(vecExact.data(), static_cast<long>(vecExact.size()));
  if (eossts == OS_STS_SUCCESS) {
    Check(s_posxml->DocumentGetState() == OS_XML_STATE_LOADED);
    Check(s_posxml->NodeRewind() == OS_STS_SUCCESS);
    do {
      Walk(*s_posxml, s_posxml->GetImpl(), 0);
    } while (s_posxml->NodeSibling() == OS_STS_SUCCESS);
    char szValue[16];
    s_posxml->DocumentGetProperty("xml version", szValue, sizeof(szValue));
  } else {
    Check(eossts == OS_STS_FAIL);
    Check(s_posxml->NodeRewind() == OS_STS_FAIL);
  }

  // The raw-text helpers on a terminated copy.
  std::string strText(reinterpret_cast<const char*>(a_pu8Data), a_sizetData);
  uint64_t u64 = 0;
  COsXml::GetTaskPropertyId(strText.c_str(), &u64);
  COsXml::GetTaskPropertyReply(strText.c_str(), &u64);
  COsXml::GetTaskPropertyBytes(strText.c_str(), &u64);
  COsXml::CheckForCommandAndArgument(strText.c_str(), "<getsettings>", "<window>", 300);
  char szContent[8];
  COsXml::GetContent(strText.c_str(), "<a>", "</a>", szContent, sizeof(szContent));
  return 0;
}
