// The body of a task text, found by reading its start tag.
#include "dev_taskbody.h"

#include <cstring>

#include "os_coslog.h"
#include "os_cosxml.h"

namespace {
constexpr char s_szStart[] = "<task";
constexpr char s_szEnd[] = "</task>";

// The first "<task" that is a whole element name.
const char* FindStartTag(const char* a_szTask) {
  for (const char* pc = std::strstr(a_szTask, s_szStart); pc; pc = std::strstr(pc + 1, s_szStart)) {
    const char c = pc[sizeof s_szStart - 1];
    if (c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n') return pc;
  }
  return nullptr;
}

// Just past the ">" that ends the start tag; null when the text ends first
// or the tag closes itself (no body then).
const char* SkipStartTag(const char* a_pcTag) {
  char cQuote = '\0';
  for (const char* pc = a_pcTag + sizeof s_szStart - 1; *pc; ++pc) {
    if (cQuote) {
      if (*pc == cQuote) cQuote = '\0';
    } else if (*pc == '\'' || *pc == '"') {
      cQuote = *pc;
    } else if (*pc == '>') {
      return pc[-1] == '/' ? nullptr : pc + 1;
    }
  }
  return nullptr;
}
}  // namespace

EOSSTS DevTaskBody(const char* a_szTask, char* a_szBody, size_t a_sizetBody) {
  if (!a_szBody || a_sizetBody == 0 || !a_szTask) {
    OsLog(OS_LOG_ERROR, "DevTaskBody: bad argument...%p %p %zu", static_cast<const void*>(a_szTask),
          static_cast<void*>(a_szBody), a_sizetBody);
    if (a_szBody && a_sizetBody) a_szBody[0] = '\0';
    return OS_STS_BAD_ARGUMENT;
  }
  a_szBody[0] = '\0';
  const char* pcTag = FindStartTag(a_szTask);
  const char* pcBody = pcTag ? SkipStartTag(pcTag) : nullptr;
  const EOSSTS eossts =
      pcBody ? COsXml::GetContent(pcBody, "", s_szEnd, a_szBody, a_sizetBody) : OS_STS_END_OF_LIST;
  if (eossts == OS_STS_END_OF_LIST) OsLog(OS_LOG_ERROR, "DevTaskBody: no task body...<%.200s>", a_szTask);
  return eossts == OS_STS_END_OF_LIST ? OS_STS_FAIL : eossts;
}
