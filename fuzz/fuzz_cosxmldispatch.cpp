// Fuzz target of the callback dispatch: the input is a template and a
// document, split at the first zero byte (without one, a fixed grammar and
// the whole input as the document). The template is bound to two registered
// objects whose handlers are this program's own symbols (the program exports
// them); a document the reader takes is walked twice. Handlers check what
// they are handed, walk the element's children with the cursor and put it
// back, read a property, stop the walk or move the cursor away. A walk that
// ends with 0 must leave the document copy and the cursor as they were and
// make the same calls the second time.
#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "os_cosxml.h"
#include "os_cosxmlimpl.h"

namespace {

void Check(bool a_bl) {
  if (!a_bl) __builtin_trap();
}

const char* const s_szGrammar =
    "<task enter='this.Enter' exit='this.Exit' unknown='this.Unknown' unordered='other.Unordered'>"
    "<a enter='this.Children' exit='this.Exit' user='0x2a'><x enter='other.Property'/></a>"
    "<b enter='other.Enter' exit='this.Stop'/>"
    "<c unknown='other.Wander'><d enter='this.Enter' exit='other.Exit'/></c>"
    "</task>";

// What the walk hands every call: the trace of the calls so far and the
// bounds the texts must lie in.
struct Walk {
  std::string strTrace;
  const char* pcDocument;
  size_t sizetDocument;
};

}  // namespace

class CFuzzDispatch {
 public:
  static EOSSTS CFuzzDispatch_Enter(OsXmlCallback* a_p) { return Record(a_p, "enter"); }
  static EOSSTS CFuzzDispatch_Exit(OsXmlCallback* a_p) { return Record(a_p, "exit"); }
  static EOSSTS CFuzzDispatch_Unknown(OsXmlCallback* a_p) { return Record(a_p, "unknown"); }
  static EOSSTS CFuzzDispatch_Unordered(OsXmlCallback* a_p) { return Record(a_p, "unordered"); }
  static EOSSTS CFuzzDispatch_Stop(OsXmlCallback* a_p) {
    Record(a_p, "stop");
    return OS_STS_NOROOM_BUFFER;
  }
  // Moves the cursor and does not bring it back: the walk must stop.
  static EOSSTS CFuzzDispatch_Wander(OsXmlCallback* a_p) {
    Record(a_p, "wander");
    a_p->posxml->NodeChild();
    return OS_STS_SUCCESS;
  }
  static EOSSTS CFuzzDispatch_Property(OsXmlCallback* a_p) {
    char szValue[16];
    a_p->posxml->NodeGetProperty("k", szValue, sizeof szValue);
    return Record(a_p, "property");
  }
  // Walks the element's children and puts the cursor back.
  static EOSSTS CFuzzDispatch_Children(OsXmlCallback* a_p) {
    COsXml* posxml = a_p->posxml;
    const long lDepth = posxml->NodeGetDepth();
    if (posxml->NodePush() != OS_STS_SUCCESS) return Record(a_p, "children-full");
    if (posxml->NodeChild() == OS_STS_SUCCESS) {
      do {
        char szName[32];
        Check(posxml->NodeGetDepth() == lDepth + 1);
        posxml->NodeGetName(szName, sizeof szName);
      } while (posxml->NodeSibling() == OS_STS_SUCCESS);
    }
    Check(posxml->NodePop() == OS_STS_SUCCESS);
    return Record(a_p, "children");
  }

  static CFuzzDispatch s_afuzzdispatch[2];

 private:
  static EOSSTS Record(OsXmlCallback* a_p, const char* a_szKind) {
    Check(a_p->pvObject == &s_afuzzdispatch[0] || a_p->pvObject == &s_afuzzdispatch[1]);
    auto* pwalk = static_cast<Walk*>(a_p->pvArg);
    // Name and content are terminated texts inside the document copy.
    for (const char* psz : {a_p->szName, a_p->szData}) {
      Check(psz != nullptr);
      Check(psz >= pwalk->pcDocument && psz <= pwalk->pcDocument + pwalk->sizetDocument);
      Check(std::strlen(psz) <= pwalk->sizetDocument - static_cast<size_t>(psz - pwalk->pcDocument));
    }
    Check(a_p->lDepth >= 0 && a_p->lDepth < 64);
    pwalk->strTrace += std::string(a_szKind) + " " + a_p->szName + " " + std::to_string(a_p->lDepth) + "\n";
    return OS_STS_SUCCESS;
  }
};

CFuzzDispatch CFuzzDispatch::s_afuzzdispatch[2];

namespace {

// A callback given by address would call whatever the input names: the
// template's object and function parts never start with "0x" here (a user
// value may: it is only handed on).
void NoAddresses(std::string& a_strTemplate) {
  for (size_t sizet = 1; sizet + 1 < a_strTemplate.size(); ++sizet) {
    if (a_strTemplate[sizet] != '0' || (a_strTemplate[sizet + 1] != 'x' && a_strTemplate[sizet + 1] != 'X')) continue;
    const char c = a_strTemplate[sizet - 1];
    const bool blUser = sizet >= 6 && a_strTemplate.compare(sizet - 6, 6, "user='") == 0;
    if (c == '.' || (c == '\'' && !blUser)) a_strTemplate[sizet + 1] = 'q';
  }
}

Walk WalkOnce(COsXml& a_osxml, EOSSTS* a_peossts) {
  COsXmlImpl* posxmlimpl = a_osxml.GetImpl();
  Walk walk{{}, posxmlimpl->GetDocument(), std::strlen(posxmlimpl->GetDocument())};
  *a_peossts = a_osxml.Dispatch(&walk);
  return walk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  static COsXml* s_posxml = new COsXml();
  static void* s_pvProgram = dlopen(nullptr, RTLD_LAZY);
  const char* pcData = reinterpret_cast<const char*>(a_pu8Data);
  const char* pcZero = static_cast<const char*>(std::memchr(pcData, '\0', a_sizetData));
  std::string strTemplate = pcZero ? std::string(pcData, static_cast<size_t>(pcZero - pcData)) : s_szGrammar;
  std::string strDocument = pcZero ? std::string(pcZero + 1, pcData + a_sizetData) : std::string(pcData, a_sizetData);
  NoAddresses(strTemplate);

  COsXml& osxml = *s_posxml;
  Check(osxml.DispatchFree() == OS_STS_SUCCESS);
  Check(osxml.DispatchAddObject("this", "CFuzzDispatch", &CFuzzDispatch::s_afuzzdispatch[0]) == OS_STS_SUCCESS);
  Check(osxml.DispatchAddObject("other", "CFuzzDispatch", &CFuzzDispatch::s_afuzzdispatch[1]) == OS_STS_SUCCESS);
  EOSSTS eosstsLoad = osxml.DispatchLoad(strTemplate.data(), static_cast<long>(strTemplate.size()), s_pvProgram);
  if (osxml.DocumentLoad(strDocument.data(), static_cast<long>(strDocument.size())) != OS_STS_SUCCESS) return 0;
  EOSSTS eossts = OS_STS_SUCCESS;
  if (eosstsLoad != OS_STS_SUCCESS) {
    // A template that did not bind is never walked.
    Walk walk = WalkOnce(osxml, &eossts);
    Check(eossts != OS_STS_SUCCESS && walk.strTrace.empty());
    return 0;
  }

  const std::string strBefore = osxml.GetImpl()->GetDocument();
  Walk walk = WalkOnce(osxml, &eossts);
  Check(std::strcmp(osxml.GetImpl()->GetDocument(), strBefore.c_str()) == 0);  // every terminator removed
  if (eossts != OS_STS_SUCCESS) return 0;
  Check(osxml.NodeGetDepth() == 0);
  EOSSTS eosstsAgain = OS_STS_FAIL;
  Walk walkAgain = WalkOnce(osxml, &eosstsAgain);
  Check(eosstsAgain == OS_STS_SUCCESS && walkAgain.strTrace == walk.strTrace);
  return 0;
}
