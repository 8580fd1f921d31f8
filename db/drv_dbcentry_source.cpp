// The compiler's sources: growing heap texts, reading a source with the
// files its root's include attribute names (refusing a file that includes
// itself, directly or through others), and merging the included items into
// the source: the top-level source wins over the included files, a later
// included file over an earlier one, and a winning item marked remove
// deletes the item.
#include <strings.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "drv_dbcentry.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {

constexpr size_t s_sizetPath = 1024;
constexpr size_t s_sizetIncludeAttribute = 8192;  // 8191 characters
constexpr size_t s_sizetMergeKey = 256;           // 255 characters
constexpr size_t s_sizetMergeKeys = 8192;
constexpr size_t s_sizetIncludedFiles = 64;
constexpr size_t s_sizetIncludeDepth = 64;

// The text behind a UTF-8 byte-order mark.
void SkipByteOrderMark(const char** a_ppc, size_t* a_psizet) {
  if (*a_psizet >= 3 && std::memcmp(*a_ppc, "\xEF\xBB\xBF", 3) == 0) {
    *a_ppc += 3;
    *a_psizet -= 3;
  }
}

}  // namespace

EOSSTS CDbc::AddString(DbcText* a_pdbctext, const char* a_pcPiece, size_t a_sizetPiece) {
  if (a_pdbctext->sizetLimit && a_pdbctext->sizetLength + a_sizetPiece > a_pdbctext->sizetLimit) {
    return OS_STS_NOROOM_BUFFER;
  }
  if (a_pdbctext->sizetLength + a_sizetPiece + 1 > a_pdbctext->sizetCapacity) {
    size_t sizetCapacity = a_pdbctext->sizetCapacity ? a_pdbctext->sizetCapacity * 2 : 4096;
    if (sizetCapacity < a_pdbctext->sizetLength + a_sizetPiece + 1) sizetCapacity = a_pdbctext->sizetLength + a_sizetPiece + 1;
    if (a_pdbctext->sizetLimit && sizetCapacity > a_pdbctext->sizetLimit + 1) sizetCapacity = a_pdbctext->sizetLimit + 1;
    auto* psz = static_cast<char*>(OsMemAlloc(sizetCapacity));
    if (!psz) return OS_STS_NOROOM_BUFFER;
    if (a_pdbctext->psz) {
      std::memcpy(psz, a_pdbctext->psz, a_pdbctext->sizetLength + 1);
      OsMemFree(a_pdbctext->psz);
    }
    a_pdbctext->psz = psz;
    a_pdbctext->sizetCapacity = sizetCapacity;
  }
  std::memcpy(a_pdbctext->psz + a_pdbctext->sizetLength, a_pcPiece, a_sizetPiece);
  a_pdbctext->sizetLength += a_sizetPiece;
  a_pdbctext->psz[a_pdbctext->sizetLength] = '\0';
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::AddString(DbcText* a_pdbctext, const char* a_szPiece) {
  return AddString(a_pdbctext, a_szPiece, std::strlen(a_szPiece));
}

void CDbc::FreeString(DbcText* a_pdbctext) {
  if (a_pdbctext->psz) OsMemFree(a_pdbctext->psz);
  const size_t sizetLimit = a_pdbctext->sizetLimit;
  *a_pdbctext = DbcText{};
  a_pdbctext->sizetLimit = sizetLimit;
}

EOSSTS CDbc::ReadText(const char* a_szPath, DbcText* a_pdbctext) {
  FreeString(a_pdbctext);
  COsFile osfile;
  if (osfile.Open(a_szPath, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ) != OS_STS_SUCCESS) {
    return OS_STS_FILE_NOT_FOUND;
  }
  size_t sizetFile = 0;
  EOSSTS eossts = osfile.Size(&sizetFile);
  if (eossts == OS_STS_SUCCESS) {
    a_pdbctext->psz = static_cast<char*>(OsMemAlloc(sizetFile + 1));
    if (!a_pdbctext->psz) eossts = OS_STS_NOROOM_BUFFER;
  }
  size_t sizetRead = 0;
  if (eossts == OS_STS_SUCCESS && sizetFile) eossts = osfile.Read(a_pdbctext->psz, sizetFile, &sizetRead);
  osfile.Close();
  if (eossts == OS_STS_SUCCESS && sizetRead != sizetFile) eossts = OS_STS_IO_ERROR;
  if (eossts != OS_STS_SUCCESS) {
    FreeString(a_pdbctext);
    return eossts;
  }
  // A text never holds a terminator of its own: what follows one is lost.
  a_pdbctext->sizetLength = std::strlen(a_pdbctext->psz);
  a_pdbctext->sizetCapacity = sizetFile + 1;
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::OpenSource(const char* a_szFile, bool a_blTopLevel) {
  // A file that is being opened already is reached again through an
  // include: that would never end.
  char szReal[PATH_MAX];
  if (!realpath(a_szFile, szReal)) COsString::SStrCpy(szReal, sizeof szReal, a_szFile);
  for (const std::string& strOpening : m_vecstrOpening) {
    if (strOpening == szReal) {
      OsLog(OS_LOG_ERROR, "Include cycle...<%s>", a_szFile);
      return OS_STS_FAIL;
    }
  }
  if (m_vecstrOpening.size() >= s_sizetIncludeDepth) {
    OsLog(OS_LOG_ERROR, "Includes nested too deeply (%d at most)...<%s>", static_cast<int>(s_sizetIncludeDepth),
          a_szFile);
    return OS_STS_FAIL;
  }

  DbcText dbctext{};
  if (ReadText(a_szFile, &dbctext) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Read failed...<%s>", a_szFile);
    return OS_STS_FAIL;
  }
  const char* pcText = dbctext.psz;
  size_t sizetText = dbctext.sizetLength;
  SkipByteOrderMark(&pcText, &sizetText);
  COsXml osxml;
  EOSSTS eossts = osxml.DocumentLoad(pcText, static_cast<long>(sizetText));
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DocumentLoad failed...<%s>", a_szFile);
  } else if ((eossts = osxml.NodeRewind()) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "NodeRewind failed...<%s>", a_szFile);
  } else {
    eossts = OpenIncludesOf(&osxml, a_szFile, szReal);
  }
  if (eossts == OS_STS_SUCCESS && a_blTopLevel) {
    FreeString(&m_dbctextSource);
    eossts = AddString(&m_dbctextSource, pcText, sizetText);
    if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "AddString failed...");
  }
  FreeString(&dbctext);
  return eossts;
}

// The files the root of a loaded source names in its include attribute;
// the source stays in the chain of files being opened meanwhile.
EOSSTS CDbc::OpenIncludesOf(COsXml* a_posxml, const char* a_szFile, const char* a_szReal) {
  auto* pszInclude = static_cast<char*>(OsMemAlloc(s_sizetIncludeAttribute));
  if (!pszInclude) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return OS_STS_NOROOM_BUFFER;
  }
  EOSSTS eossts = a_posxml->NodeGetProperty("include", pszInclude, s_sizetIncludeAttribute);
  if (eossts == OS_STS_NOROOM_BUFFER) {
    OsLog(OS_LOG_ERROR, "include attribute too long (%d characters at most)...<%s>",
          static_cast<int>(s_sizetIncludeAttribute - 1), a_szFile);
    eossts = OS_STS_FAIL;
  } else if (eossts != OS_STS_SUCCESS || !*pszInclude) {
    eossts = OS_STS_SUCCESS;  // includes nothing
  } else {
    try {
      m_vecstrOpening.emplace_back(a_szReal);
      eossts = OpenIncludes(a_szFile, pszInclude);
      m_vecstrOpening.pop_back();
    } catch (...) {
      OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
      eossts = OS_STS_NOROOM_BUFFER;
    }
  }
  OsMemFree(pszInclude);
  return eossts;
}

EOSSTS CDbc::OpenIncludes(const char* a_szFile, char* a_szInclude) {
  char szDirectory[s_sizetPath] = "";
  COsString::SStrCpy(szDirectory, sizeof szDirectory, a_szFile);
  size_t sizetSlash = 0;
  char* pszName = nullptr;
  if (!*szDirectory || COsFile::PathSplit(szDirectory, &sizetSlash, &pszName) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "OsFilePathSplit failed...%s", a_szFile);
    return OS_STS_FAIL;
  }
  szDirectory[sizetSlash] = '\0';
  char* pszSave = nullptr;
  for (char* pszToken = COsString::SStrTok(a_szInclude, ",", &pszSave); pszToken;
       pszToken = COsString::SStrTok(nullptr, ",", &pszSave)) {
    char szName[s_sizetPath] = "";
    char szPath[s_sizetPath];
    if (std::strlen(pszToken) >= sizeof szName) {
      OsLog(OS_LOG_ERROR, "Include name too long...<%.64s>", pszToken);
      return OS_STS_FAIL;
    }
    COsString::SStrTrim(szName, sizeof szName, pszToken);
    if (!*szName) continue;
    if (!COsFile::PathJoin(szPath, sizeof szPath, *szDirectory ? szDirectory : ".", szName)) {
      OsLog(OS_LOG_ERROR, "Include name too long...<%.64s>", szName);
      return OS_STS_FAIL;
    }
    if (strcasecmp(szPath, a_szFile) == 0) {
      OsLog(OS_LOG_ERROR, "File Includes Itself");
      return OS_STS_FAIL;
    }
    if (OpenSource(szPath, false) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "OpenSource Failed to Open Included File");
      return OS_STS_FAIL;
    }
    if ((m_dbctextIncludes.sizetLength && AddString(&m_dbctextIncludes, ",") != OS_STS_SUCCESS) ||
        AddString(&m_dbctextIncludes, szPath) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "AddString failed...");
      return OS_STS_NOROOM_BUFFER;
    }
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::MergeSource(const char* a_szGrammar, const char* a_szRoot) {
  if (!m_dbctextIncludes.sizetLength) return OS_STS_SUCCESS;
  // The included files, by their paths.
  std::string strIncludes(m_dbctextIncludes.psz, m_dbctextIncludes.sizetLength);
  std::vector<std::string> vecstrPath;
  for (size_t sizetStart = 0; sizetStart <= strIncludes.size();) {
    size_t sizetComma = strIncludes.find(',', sizetStart);
    if (sizetComma == std::string::npos) sizetComma = strIncludes.size();
    vecstrPath.push_back(strIncludes.substr(sizetStart, sizetComma - sizetStart));
    sizetStart = sizetComma + 1;
  }
  if (vecstrPath.size() > s_sizetIncludedFiles) {
    OsLog(OS_LOG_ERROR, "Too many included files (%d at most)...", static_cast<int>(s_sizetIncludedFiles));
    return OS_STS_FAIL;
  }

  COsXml osxml;
  if (osxml.DispatchAddObject("this", "CDbc", this) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchAddObject failed on merge");
    return OS_STS_FAIL;
  }
  if (osxml.DispatchLoad(a_szGrammar) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchLoad failed...");
    return OS_STS_FAIL;
  }

  // Collect: every top-level item of the source, then of the included files
  // from the last to the first.
  m_iMergePhase = 1;
  FreeString(&m_dbctextMerged);
  char szRoot[64];
  COsString::SStrPrintf(szRoot, sizeof szRoot, "<%s>\r\n", a_szRoot);
  EOSSTS eossts = AddString(&m_dbctextMerged, szRoot);
  if (eossts == OS_STS_SUCCESS) eossts = MergeCollect(&osxml, m_dbctextSource.psz, m_dbctextSource.sizetLength);
  for (size_t i = vecstrPath.size(); eossts == OS_STS_SUCCESS && i-- > 0;) {
    DbcText dbctext{};
    if (ReadText(vecstrPath[i].c_str(), &dbctext) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Read failed...<%s>", vecstrPath[i].c_str());
      eossts = OS_STS_FAIL;
    } else {
      const char* pcText = dbctext.psz;
      size_t sizetText = dbctext.sizetLength;
      SkipByteOrderMark(&pcText, &sizetText);
      eossts = MergeCollect(&osxml, pcText, sizetText);
    }
    FreeString(&dbctext);
  }
  COsString::SStrPrintf(szRoot, sizeof szRoot, "</%s>\r\n", a_szRoot);
  if (eossts == OS_STS_SUCCESS) eossts = AddString(&m_dbctextMerged, szRoot);

  // Select: the first definition of each key, unless it is marked remove.
  if (eossts == OS_STS_SUCCESS) {
    m_iMergePhase = 2;
    m_vecdbctagMergeKeys.clear();
    FreeString(&m_dbctextMergeOutput);
    eossts = MergeCollect(&osxml, m_dbctextMerged.psz, m_dbctextMerged.sizetLength);
  }
  if (eossts == OS_STS_SUCCESS) {
    FreeString(&m_dbctextSource);
    COsString::SStrPrintf(szRoot, sizeof szRoot, "<%s>\r\n", a_szRoot);
    eossts = AddString(&m_dbctextSource, szRoot);
    if (eossts == OS_STS_SUCCESS && m_dbctextMergeOutput.sizetLength) {
      eossts = AddString(&m_dbctextSource, m_dbctextMergeOutput.psz, m_dbctextMergeOutput.sizetLength);
    }
    COsString::SStrPrintf(szRoot, sizeof szRoot, "\r\n</%s>\r\n", a_szRoot);
    if (eossts == OS_STS_SUCCESS) eossts = AddString(&m_dbctextSource, szRoot);
    if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Out of Memory");
  }
  m_iMergePhase = 0;
  m_vecdbctagMergeKeys.clear();
  FreeString(&m_dbctextMerged);
  FreeString(&m_dbctextMergeOutput);
  return eossts;
}

EOSSTS CDbc::MergeCollect(COsXml* a_posxml, const char* a_pcText, size_t a_sizetText) {
  EOSSTS eossts = a_posxml->DocumentLoadAndDispatch(a_pcText, static_cast<long>(a_sizetText), nullptr);
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "DocumentLoadAndDispatch failed...");
  return eossts;
}

EOSSTS CDbc::MergeKeep(const char* a_szKey, bool a_blRemove, bool* a_pblKeep) {
  *a_pblKeep = false;
  for (const DbcTag& dbctag : m_vecdbctagMergeKeys) {
    if (strcasecmp(dbctag.szName, a_szKey) == 0) return OS_STS_SUCCESS;
  }
  if (LookupAddToTable(m_vecdbctagMergeKeys, s_sizetMergeKeys, a_szKey, DB_TAGTYPE_NONE, 0) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Too many merged items (%d at most)...", static_cast<int>(s_sizetMergeKeys));
    return OS_STS_FAIL;
  }
  *a_pblKeep = !a_blRemove;
  return OS_STS_SUCCESS;
}

// One item into the merged text (collect) or the merge output (select).
EOSSTS CDbc::MergeWrite(OsXmlCallback* a_posxmlcallback, const char* a_szAttributes) {
  DbcText* pdbctext = m_iMergePhase == 1 ? &m_dbctextMerged : &m_dbctextMergeOutput;
  const char* szName = a_posxmlcallback->szName;
  if (AddString(pdbctext, "<") != OS_STS_SUCCESS || AddString(pdbctext, szName) != OS_STS_SUCCESS ||
      AddString(pdbctext, a_szAttributes) != OS_STS_SUCCESS || AddString(pdbctext, ">") != OS_STS_SUCCESS ||
      AddString(pdbctext, a_posxmlcallback->szData) != OS_STS_SUCCESS || AddString(pdbctext, "</") != OS_STS_SUCCESS ||
      AddString(pdbctext, szName) != OS_STS_SUCCESS || AddString(pdbctext, ">\r\n") != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Out of Memory");
    return OS_STS_NOROOM_BUFFER;
  }
  return OS_STS_SUCCESS;
}

// Keeps or drops one item by its key; the attributes named are carried on.
EOSSTS CDbc::MergeItem(OsXmlCallback* a_posxmlcallback, const char* a_szKey, const char* const* a_pszAttribute) {
  char szAttributes[4 * 520] = "";
  bool blRemove = false;
  for (; *a_pszAttribute; ++a_pszAttribute) {
    char szValue[512];
    EOSSTS eossts = GetProperty(a_posxmlcallback, *a_pszAttribute, szValue, sizeof szValue);
    if (eossts == OS_STS_NOROOM_BUFFER) return OS_STS_FAIL;
    if (eossts != OS_STS_SUCCESS) continue;
    if (std::strcmp(*a_pszAttribute, "remove") == 0) blRemove = true;
    COsString::SStrCatf(szAttributes, sizeof szAttributes, " %s='%s'", *a_pszAttribute, szValue);
  }
  if (m_iMergePhase == 2) {
    bool blKeep = false;
    if (MergeKeep(a_szKey, blRemove, &blKeep) != OS_STS_SUCCESS) return OS_STS_FAIL;
    if (!blKeep) return OS_STS_SUCCESS;
  }
  return MergeWrite(a_posxmlcallback, szAttributes);
}

EOSSTS CDbc::MergeDbEnterDbId(OsXmlCallback* a_posxmlcallback) {
  char szId[s_sizetMergeKey];
  EOSSTS eossts = GetProperty(a_posxmlcallback, "id", szId, sizeof szId);
  if (eossts == OS_STS_NOROOM_BUFFER) return OS_STS_FAIL;
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Unable to get id property.");
    return OS_STS_FAIL;
  }
  static const char* const s_aszAttribute[] = {"id", "type", "device", "remove", nullptr};
  return MergeItem(a_posxmlcallback, szId, s_aszAttribute);
}

// The profile header of the database source is one item of its own: the
// top-level source's header wins.
EOSSTS CDbc::MergeDbEnterHeader(OsXmlCallback* a_posxmlcallback) {
  static const char* const s_aszAttribute[] = {nullptr};
  return MergeItem(a_posxmlcallback, "<header>", s_aszAttribute);
}

EOSSTS CDbc::MergeLanguageEnterItem(OsXmlCallback* a_posxmlcallback) {
  COsXml* posxml = a_posxmlcallback->posxml;
  char szKey[s_sizetMergeKey] = "";
  EOSSTS eossts = posxml->NodePush();
  if (eossts == OS_STS_SUCCESS) {
    eossts = posxml->NodeChild();
    if (eossts == OS_STS_SUCCESS) eossts = posxml->NodeGetContent(szKey, sizeof szKey);
    posxml->NodePop();
  }
  if (eossts == OS_STS_NOROOM_BUFFER) {
    OsLog(OS_LOG_ERROR, "Label too long to merge (%d characters at most)...", static_cast<int>(s_sizetMergeKey - 1));
    return OS_STS_FAIL;
  }
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Unable to get <item> child");
    return OS_STS_FAIL;
  }
  static const char* const s_aszAttribute[] = {"remove", nullptr};
  return MergeItem(a_posxmlcallback, szKey, s_aszAttribute);
}
