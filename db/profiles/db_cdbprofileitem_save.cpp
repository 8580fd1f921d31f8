// Saving a profile into its own file (with its picture), and the group
// documents written into new files of the log directory for callers
// ("gdf", and "rdf" with its "reportdatafile" report).
//
// Every file is written whole through COsFile::WriteAtomic: a reader, a
// writer in another process or a kill in the middle of a save finds the old
// file or the new one, never a part. The new files of the log directory
// must not exist yet, so a link planted there under their name is not
// followed.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "db_cdbprofileitem.h"
#include "db_profiledocument.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

namespace {

// The shortest buffer Save takes for the path of a group document.
constexpr uint32_t s_u32FilenameMinimum = 16;

const char* LogDirectory() {
  const char* szDirectory = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : nullptr;
  return szDirectory ? szDirectory : "";
}

bool IsRegularFile(const char* a_szPath) {
  struct stat st;
  return stat(a_szPath, &st) == 0 && S_ISREG(st.st_mode);
}

// Whether the path names an entry of the directory itself.
bool InDirectory(const char* a_szPath, const char* a_szDirectory) {
  size_t sizetDirectory = std::strlen(a_szDirectory);
  while (sizetDirectory > 1 && a_szDirectory[sizetDirectory - 1] == '/') --sizetDirectory;
  return std::strncmp(a_szPath, a_szDirectory, sizetDirectory) == 0 && a_szPath[sizetDirectory] == '/' &&
         !std::strchr(a_szPath + sizetDirectory + 1, '/');
}

// A regular file (a picture is never a device or a pipe) under another name.
bool CopyPicture(const char* a_szFrom, const char* a_szTo) {
  dbprofile::ProfileText profiletext{};
  if (dbprofile::ReadText(a_szFrom, &profiletext) != dbprofile::READTEXT_OK) {
    dbprofile::FreeText(&profiletext);
    return false;
  }
  const bool blCopied = COsFile::WriteAtomic(a_szTo, profiletext.psz, profiletext.sizet, false) == OS_STS_SUCCESS;
  dbprofile::FreeText(&profiletext);
  return blCopied;
}

}  // namespace

// ---------------------------------------------------------------------------
// A profile into its own file
// ---------------------------------------------------------------------------
EOSSTS CDbProfileItem::Save(CDbProfileItem* a_pdbprofileitemShare) {
  if (!m_blIsProfileUser || !m_szFilename[0]) {
    OsLog(OS_LOG_ERROR, "Attempt to save an invalid profile...");
    return OS_STS_FAIL;
  }
  SavePicture();
  if (WriteDocument("profilenormalsave", m_szFilename) != OS_STS_SUCCESS) return OS_STS_FAIL;
  if (a_pdbprofileitemShare) {
    const EOSSTS eossts = a_pdbprofileitemShare->SaveShare();
    if (eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "SaveShare failed...");
      return eossts;
    }
  }
  const EOSSTS eossts = ResetAllProfileNotifications();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ResetAllProfileNotifications failed...");
    return eossts;
  }
  SetProfileContainer();
  return OS_STS_SUCCESS;
}

// The group's document in a private builder, written whole over the path.
EOSSTS CDbProfileItem::WriteDocument(const char* a_szGroup, const char* a_szPath) {
  COsXmlTask osxmltask("", s_sizetDocument);
  if (Generate(a_szGroup, &osxmltask) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Generate failed...");
    return OS_STS_FAIL;
  }
  const char* szText = osxmltask.GetTaskBuffer();
  if (COsFile::WriteAtomic(a_szPath, szText, std::strlen(szText), false) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Write failed...<%s>", a_szPath);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// The picture is kept in the own graphics directory: one from elsewhere is
// copied in (replacing a file of its name), one that is gone is cleared.
// A bare name is looked up where the reports look for it.
void CDbProfileItem::SavePicture() {
  if (!m_szGraphicFilename[0] || !m_szOwnGraphicsDirectory[0]) return;
  if (m_szGraphicFilename[0] != '/' && !FindPicture()) return;
  const EOSSTS eosstsCreate = COsFile::Create(m_szOwnGraphicsDirectory);
  if (eosstsCreate != OS_STS_SUCCESS && eosstsCreate != OS_STS_ALREADY_EXISTS)
    OsLog(OS_LOG_ERROR, "graphics directory could not be made...<%s>", m_szOwnGraphicsDirectory);
  if (InDirectory(m_szGraphicFilename, m_szOwnGraphicsDirectory)) {
    if (IsRegularFile(m_szGraphicFilename)) return;
    OsLogDebug(OS_LOG_INFO, "graphic no longer exists, cleared...<%s>", m_szGraphicFilename);
    m_szGraphicFilename[0] = '\0';
    return;
  }
  char szCopy[s_sizetPath];
  const char* szName = dbprofile::FileNamePart(m_szGraphicFilename);
  if (!szName[0] || !COsFile::PathJoin(szCopy, sizeof szCopy, m_szOwnGraphicsDirectory, szName) ||
      !CopyPicture(m_szGraphicFilename, szCopy)) {
    OsLog(OS_LOG_ERROR, "failed to copy graphic...");
    OsLog(OS_LOG_ERROR, "src: %s", m_szGraphicFilename);
    OsLog(OS_LOG_ERROR, "dst: %s", szName[0] ? szCopy : "");
    m_szGraphicFilename[0] = '\0';
    return;
  }
  COsString::SStrCpy(m_szGraphicFilename, sizeof m_szGraphicFilename, szCopy);
}

// The picture's file name in the own graphics directory, else in the
// installed one; cleared when neither has it.
bool CDbProfileItem::FindPicture() {
  if (!m_szGraphicFilename[0]) return false;
  const char* szName = dbprofile::FileNamePart(m_szGraphicFilename);
  for (const char* szDirectory : {m_szOwnGraphicsDirectory, m_szInstalledDirectory}) {
    char szCandidate[s_sizetPath];
    if (!szName[0] || !szDirectory[0] || !COsFile::PathJoin(szCandidate, sizeof szCandidate, szDirectory, szName) ||
        !IsRegularFile(szCandidate))
      continue;
    COsString::SStrCpy(m_szGraphicFilename, sizeof m_szGraphicFilename, szCandidate);
    return true;
  }
  OsLogDebug(OS_LOG_INFO, "We had problems finding this graphic file, so we're clearing it...<%s>",
             m_szGraphicFilename);
  m_szGraphicFilename[0] = '\0';
  return false;
}

// ---------------------------------------------------------------------------
// Group documents in the log directory
// ---------------------------------------------------------------------------
// The group's document generated into the builder and written to a new
// file named by the prefix and six characters.
EOSSTS CDbProfileItem::WriteTemporary(const char* a_szPrefix, const char* a_szGroup, COsXmlTask* a_posxmltask,
                                      char* a_szPath, size_t a_sizetPath, size_t* a_psizetLength) {
  const char* szDirectory = LogDirectory();
  if (!szDirectory[0]) {
    OsLog(OS_LOG_ERROR, "Open failed...<no LogDirectory>");
    return OS_STS_FAIL;
  }
  if (Generate(a_szGroup, a_posxmltask) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Generate failed...");
    return OS_STS_FAIL;
  }
  const char* szText = a_posxmltask->GetTaskBuffer();
  *a_psizetLength = std::strlen(szText);
  if (COsFile::GetTempName(szDirectory, a_szPath, a_szPrefix, a_sizetPath) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", szDirectory);
    return OS_STS_FAIL;
  }
  if (COsFile::WriteAtomic(a_szPath, szText, *a_psizetLength, true) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Write failed...<%s>", a_szPath);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDbProfileItem::Save(const char* a_szGroup, char* a_szFilename, uint32_t a_u32FilenameSize,
                            uint32_t* a_pu32Length) {
  if (!a_szGroup || !a_szGroup[0]) {
    OsLog(OS_LOG_ERROR, "a_szGroup is null or empty...");
    return OS_STS_FAIL;
  }
  if (!a_szFilename || !a_szFilename[0]) {
    OsLog(OS_LOG_ERROR, "a_szFilename is null or empty...");
    return OS_STS_FAIL;
  }
  if (a_u32FilenameSize < s_u32FilenameMinimum) {
    OsLog(OS_LOG_ERROR, "a_u32FilenameSize is too small...");
    return OS_STS_FAIL;
  }
  COsXmlTask osxmltask("", s_sizetDocument);
  char szPath[s_sizetPath];
  size_t sizetLength = 0;
  if (WriteTemporary("gdf", a_szGroup, &osxmltask, szPath, sizeof szPath, &sizetLength) != OS_STS_SUCCESS)
    return OS_STS_FAIL;
  if (std::strlen(szPath) >= a_u32FilenameSize) {
    OsLog(OS_LOG_ERROR, "a_u32FilenameSize is too small...%u <%s>", a_u32FilenameSize, szPath);
    COsFile::Delete(szPath, OS_FILETYPE_FILE, false);
    return OS_STS_FAIL;
  }
  COsString::SStrCpy(a_szFilename, a_u32FilenameSize, szPath);
  if (a_pu32Length) *a_pu32Length = static_cast<uint32_t>(sizetLength);
  return OS_STS_SUCCESS;
}

const char* CDbProfileItem::ReportDataFile(const char* a_szGroup) {
  if (!m_posxmltask) {
    OsLog(OS_LOG_ERROR, "m_posxmltask is null...");
    return nullptr;
  }
  char szPath[s_sizetPath];
  size_t sizetLength = 0;
  if (WriteTemporary("rdf", a_szGroup, m_posxmltask, szPath, sizeof szPath, &sizetLength) != OS_STS_SUCCESS)
    return nullptr;
  char szSize[32];
  std::snprintf(szSize, sizeof szSize, "%zu", sizetLength);
  m_posxmltask->Clear();
  m_posxmltask->StartNonTask("reportdatafile", 1);
  const bool blWritten = dbprofile::AddText(m_posxmltask, "id", a_szGroup ? a_szGroup : "", false) &&
                         dbprofile::AddText(m_posxmltask, "filename", szPath, false);
  m_posxmltask->AddArgument("datasize", szSize);
  m_posxmltask->FinalizeNonTask("reportdatafile");
  if (!blWritten || m_posxmltask->IsError(false)) {
    OsLog(OS_LOG_ERROR, "ReportDataFile: the report could not be built...<%s>", szPath);
    COsFile::Delete(szPath, OS_FILETYPE_FILE, false);
    m_posxmltask->Clear();
    return nullptr;
  }
  return m_posxmltask->GetTaskBuffer();
}
