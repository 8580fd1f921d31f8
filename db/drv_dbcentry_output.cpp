// The course every compilation takes (read and merge the source, walk its
// grammar into one output buffer, write the file) and the output itself:
// bounded appends into the 2 MiB buffer (a compilation that does not fit
// fails; it is never cut short), CDATA texts, the counts written over the
// root's placeholders, and the texts printed for the person who runs the
// compiler.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "drv_dbcentry.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {
constexpr int s_iCountDigits = 6;
}  // namespace

void CDbc::Print(const char* a_szFormat, ...) {
  va_list valist;
  va_start(valist, a_szFormat);
  std::vprintf(a_szFormat, valist);
  va_end(valist);
  std::fflush(stdout);
}

EOSSTS CDbc::GetProperty(OsXmlCallback* a_posxmlcallback, const char* a_szProperty, char* a_szValue,
                         size_t a_sizetValue) {
  EOSSTS eossts = a_posxmlcallback->posxml->NodeGetProperty(a_szProperty, a_szValue, static_cast<long>(a_sizetValue));
  if (eossts == OS_STS_NOROOM_BUFFER) {
    OsLog(OS_LOG_ERROR, "Property too long (%d characters at most)...<%s> of <%s>",
          static_cast<int>(a_sizetValue - 1), a_szProperty, a_posxmlcallback->szName);
  }
  return eossts;
}

EOSSTS CDbc::OutN(const char* a_pcText, size_t a_sizetText) {
  if (AddString(&m_dbctextOutput, a_pcText, a_sizetText) == OS_STS_SUCCESS) return OS_STS_SUCCESS;
  if (!m_blOverflow) {
    OsLog(OS_LOG_ERROR, "Output does not fit in %u bytes...", static_cast<unsigned>(s_sizetOutput));
    m_blOverflow = true;
  }
  return OS_STS_NOROOM_BUFFER;
}

EOSSTS CDbc::Out(const char* a_szText) { return OutN(a_szText, std::strlen(a_szText)); }

EOSSTS CDbc::Outf(const char* a_szFormat, ...) {
  char sz[1024];
  va_list valist;
  va_start(valist, a_szFormat);
  int iLength = std::vsnprintf(sz, sizeof sz, a_szFormat, valist);
  va_end(valist);
  if (iLength < 0 || static_cast<size_t>(iLength) >= sizeof sz) {
    OsLog(OS_LOG_ERROR, "Outf failed...<%s>", a_szFormat);
    return OS_STS_FAIL;
  }
  return OutN(sz, static_cast<size_t>(iLength));
}

EOSSTS CDbc::OutElement(const char* a_szElement, const char* a_szText) {
  EOSSTS eossts = Outf("<%s>", a_szElement);
  if (eossts == OS_STS_SUCCESS) eossts = Out(a_szText);
  if (eossts == OS_STS_SUCCESS) eossts = Outf("</%s>", a_szElement);
  return eossts;
}

// A text inside a CDATA section; one that holds the section's end could not
// be read back as it was written.
EOSSTS CDbc::OutCdata(const char* a_szText) {
  if (std::strstr(a_szText, "]]>")) {
    OsLog(OS_LOG_ERROR, "Text holds \"]]>\" and cannot stand in a CDATA section...<%.64s>", a_szText);
    return OS_STS_FAIL;
  }
  EOSSTS eossts = Out("<![CDATA[");
  if (eossts == OS_STS_SUCCESS) eossts = Out(a_szText);
  if (eossts == OS_STS_SUCCESS) eossts = Out("]]>");
  return eossts;
}

// The root of a counted document, its three counts as six-character
// placeholders; both counters start at -1.
EOSSTS CDbc::OutRoot(const char* a_szRoot) {
  m_i64Records = -1;
  m_i64Values = -1;
  return Outf("<%s bytes='%.*s' records='%.*s' enums='%.*s'>", a_szRoot, s_iCountDigits, "@1111111111",
              s_iCountDigits, "@2222222222", s_iCountDigits, "@3333333333");
}

EOSSTS CDbc::PatchCounts() {
  struct Count {
    const char* szMarker;
    int64_t i64Value;
  };
  const Count acount[] = {{"@1", static_cast<int64_t>(m_dbctextOutput.sizetLength)},
                          {"@2", m_i64Records},
                          {"@3", m_i64Values}};
  for (const Count& count : acount) {
    char* pc = m_dbctextOutput.psz ? std::strstr(m_dbctextOutput.psz, count.szMarker) : nullptr;
    if (!pc) {
      OsLog(OS_LOG_ERROR, "OsStrStr failed...%.512s", m_dbctextOutput.psz ? m_dbctextOutput.psz : "");
      return OS_STS_FAIL;
    }
    // Six digits always suffice below 2 MiB; a count of -1 (nothing
    // counted) keeps the low six digits of its 32-bit form.
    char sz[32];
    std::snprintf(sz, sizeof sz, "%0*x", s_iCountDigits, static_cast<uint32_t>(count.i64Value));
    std::memcpy(pc, sz, s_iCountDigits);
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::WriteOutput(const char* a_szOutput) {
  char szPath[1024];
  if (!COsFile::PathJoin(szPath, sizeof szPath, m_szDestination, a_szOutput)) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", a_szOutput);
    return OS_STS_FAIL;
  }
  COsFile osfile;
  if (osfile.Open(szPath, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", szPath);
    return OS_STS_FAIL;
  }
  size_t sizetWritten = 0;
  EOSSTS eossts = osfile.Write(m_dbctextOutput.psz, m_dbctextOutput.sizetLength, &sizetWritten);
  osfile.Close();
  if (eossts != OS_STS_SUCCESS || sizetWritten != m_dbctextOutput.sizetLength) {
    OsLog(OS_LOG_ERROR, "Write failed...<%s>", szPath);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::CompileOne(const char* a_szSource, const char* a_szMergeGrammar, const char* a_szMergeRoot,
                        const char* a_szGrammar, const char* a_szOutput, bool a_blFromFirstTag) {
  char szPath[1024];
  if (!COsFile::PathJoin(szPath, sizeof szPath, m_szSource, a_szSource)) {
    OsLog(OS_LOG_ERROR, "OpenSource failed...<%s>", a_szSource);
    return OS_STS_FAIL;
  }
  FreeString(&m_dbctextSource);
  FreeString(&m_dbctextIncludes);
  m_vecstrOpening.clear();
  if (OpenSource(szPath, true) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "OpenSource failed...<%s>", szPath);
    return OS_STS_FAIL;
  }
  if (a_szMergeGrammar && m_dbctextIncludes.sizetLength &&
      MergeSource(a_szMergeGrammar, a_szMergeRoot) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "MergeDbSource failed...");
    return OS_STS_FAIL;
  }

  COsXml osxml;
  if (osxml.DispatchAddObject("this", "CDbc", this) != OS_STS_SUCCESS ||
      osxml.DispatchLoad(a_szGrammar) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ParseLoad failed...");
    return OS_STS_FAIL;
  }
  osxml.SetAtomIncrement(8192);
  const char* pcText = m_dbctextSource.psz;
  if (a_blFromFirstTag) {
    const char* pcTag = std::strchr(pcText, '<');
    if (pcTag) pcText = pcTag;
  }
  if (osxml.DocumentLoad(pcText, static_cast<long>(m_dbctextSource.sizetLength - (pcText - m_dbctextSource.psz))) !=
      OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DocumentLoad failed...<%s>", szPath);
    return OS_STS_FAIL;
  }

  FreeString(&m_dbctextOutput);
  m_dbctextOutput.sizetLimit = s_sizetOutput;
  m_dbctextOutput.psz = static_cast<char*>(OsMemAlloc(s_sizetOutput + 1));
  if (!m_dbctextOutput.psz) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return OS_STS_NOROOM_BUFFER;
  }
  m_dbctextOutput.sizetCapacity = s_sizetOutput + 1;
  m_blOverflow = false;
  EOSSTS eossts = osxml.Dispatch(nullptr);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Parse failed...<%s>", szPath);
  } else if (!m_dbctextOutput.sizetLength) {
    // The root did not match the grammar: nothing was compiled.
    OsLog(OS_LOG_ERROR, "Nothing compiled: the source's root is not the expected one...<%s>", szPath);
    eossts = OS_STS_FAIL;
  } else {
    eossts = WriteOutput(a_szOutput);
  }
  FreeString(&m_dbctextOutput);
  return eossts;
}
