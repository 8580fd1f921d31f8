// What the readers and writers of profile documents share.
#include "db_profiledocument.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "db_cdatabase.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxmltask.h"

namespace dbprofile {

namespace {

constexpr unsigned char s_aucBom[] = {0xEF, 0xBB, 0xBF};

// The value elements of the cameras, by bin.
struct CameraTag {
  const char* szTag;
  EDBBIN edbbin;
};
constexpr CameraTag s_acameratag[] = {
    {"fb", DB_BIN_BITONAL_FRONT}, {"rb", DB_BIN_BITONAL_REAR}, {"fc", DB_BIN_COLOR_FRONT}, {"rc", DB_BIN_COLOR_REAR}};

bool IsDigit(char a_c) { return a_c >= '0' && a_c <= '9'; }

}  // namespace

// The order of the slots in the shared-values record.
const ShareSlot s_ashareslot[s_iShareSlots] = {
    {DB_ID_ENERGYSTAR, DB_ID_LOWPOWERMODEUNIQUE, true},
    {DB_ID_POWEROFFTIMEOUT, DB_ID_LOWPOWERMODEUNIQUE, true},
    {DB_ID_POWEROFFTIMEOUTENABLED, DB_ID_LOWPOWERMODEUNIQUE, false},
    {DB_ID_ADFTIMEOUTENABLED, DB_ID_ADFUNIQUE, false},
    {DB_ID_TRANSPORTTIMEOUT, DB_ID_ADFUNIQUE, true},
    {DB_ID_TRANSPORTTIMEOUTRESPONSE, DB_ID_ADFUNIQUE, false},
    {DB_ID_TRANSPORTAUTOSTART, DB_ID_ADFUNIQUE, false},
};

int ShareSlotOf(EDBID a_edbid) {
  for (int i = 0; i < s_iShareSlots; ++i) {
    if (s_ashareslot[i].edbid == a_edbid) return i;
  }
  return -1;
}

// A regular file only: a pipe or a device named in a profile directory is
// never read (it could block or never end).
EREADTEXT ReadText(const char* a_szPath, ProfileText* a_pprofiletext) {
  *a_pprofiletext = ProfileText{};
  struct stat st;
  COsFile osfile;
  if (!a_szPath || !*a_szPath || stat(a_szPath, &st) != 0 || !S_ISREG(st.st_mode) ||
      osfile.Open(a_szPath, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ) != OS_STS_SUCCESS)
    return READTEXT_NOFILE;
  size_t sizetFile = 0;
  if (osfile.Size(&sizetFile) != OS_STS_SUCCESS) return READTEXT_FAILED;
  a_pprofiletext->sizet = sizetFile;
  if (sizetFile < s_sizetMinimum) return READTEXT_SHORT;
  if (sizetFile > s_sizetMaximum) return READTEXT_LARGE;
  a_pprofiletext->psz = static_cast<char*>(OsMemAlloc(sizetFile + 1));
  if (!a_pprofiletext->psz) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return READTEXT_FAILED;
  }
  size_t sizetRead = 0;
  if (osfile.Read(a_pprofiletext->psz, sizetFile, &sizetRead) != OS_STS_SUCCESS || sizetRead != sizetFile) {
    FreeText(a_pprofiletext);
    return READTEXT_FAILED;
  }
  a_pprofiletext->psz[sizetFile] = '\0';
  return READTEXT_OK;
}

void FreeText(ProfileText* a_pprofiletext) {
  if (a_pprofiletext->psz) OsMemFree(a_pprofiletext->psz);
  *a_pprofiletext = ProfileText{};
}

bool IsXml(const char* a_pcText, size_t a_sizetText) {
  return a_pcText && std::memchr(a_pcText, '<', a_sizetText < 4 ? a_sizetText : 4) != nullptr;
}

const char* SkipBom(const char* a_pcText, size_t* a_psizetText) {
  if (*a_psizetText >= sizeof s_aucBom && std::memcmp(a_pcText, s_aucBom, sizeof s_aucBom) == 0) {
    *a_psizetText -= sizeof s_aucBom;
    return a_pcText + sizeof s_aucBom;
  }
  return a_pcText;
}

// A window beyond the database's table, a sign or anything but digits after
// the camera's letters names no datum.
bool ValueElement(const char* a_szName, EDBID_WINDOW* a_pedbidwindow, EDBBIN* a_pedbbin) {
  if (a_szName[0] == 'm') {
    *a_pedbidwindow = 0;
    *a_pedbbin = DB_BIN_MACHINE;
    return true;
  }
  for (const CameraTag& cameratag : s_acameratag) {
    if (std::strncmp(a_szName, cameratag.szTag, 2) != 0) continue;
    const char* pcDigits = a_szName + 2;
    const size_t sizetDigits = std::strlen(pcDigits);
    if (sizetDigits < 1 || sizetDigits > 2 || !IsDigit(pcDigits[0]) || (sizetDigits == 2 && !IsDigit(pcDigits[1])))
      return false;
    const int iWindow = sizetDigits == 1 ? pcDigits[0] - '0' : (pcDigits[0] - '0') * 10 + (pcDigits[1] - '0');
    if (iWindow >= DB_WINDOW_COUNT) return false;
    *a_pedbidwindow = iWindow;
    *a_pedbbin = cameratag.edbbin;
    return true;
  }
  return false;
}

bool CameraElement(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, char* a_szName, size_t a_sizetName) {
  for (const CameraTag& cameratag : s_acameratag) {
    if (cameratag.edbbin != a_edbbin) continue;
    const int iWritten = std::snprintf(a_szName, a_sizetName, "%s%02d", cameratag.szTag, a_edbidwindow);
    return iWritten > 0 && static_cast<size_t>(iWritten) < a_sizetName;
  }
  return false;
}

int WindowsInUse(CDatabase* a_pdatabase) {
  CDbDatum* pdbdatumWindow = a_pdatabase ? a_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_WINDOW) : nullptr;
  const long lWindows = pdbdatumWindow ? a_pdatabase->EnumGetDefaultItemCount(pdbdatumWindow) : 0;
  if (lWindows < 1) return 1;
  return lWindows > DB_WINDOW_COUNT ? DB_WINDOW_COUNT : static_cast<int>(lWindows);
}

CDbDatum* DatumAt(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
  const DbDatumCommon* pdatumcommon = CDbDatum::ms_pdatumcommon;
  if (!pdatumcommon || a_edbidwindow < 0 || a_edbidwindow >= DB_WINDOW_COUNT || a_edbid < 0 || a_edbid >= DB_ID_COUNT ||
      a_edbbin < 0 || a_edbbin >= DB_BIN_COUNT)
    return nullptr;
  CDbDatum* pdbdatum = pdatumcommon->apdbdatum[a_edbidwindow][a_edbid][a_edbbin];
  return pdbdatum == pdatumcommon->pdbdatumBlank ? nullptr : pdbdatum;
}

bool IsUsable(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) return false;
  const EDBACCESS edbaccess = a_pdbdatum->GetAccess();
  return edbaccess != DB_ACCESS_NOTSUPPORTED && edbaccess != DB_ACCESS_READONLY &&
         edbaccess != DB_ACCESS_READONLYHIDDEN;
}

long MachineValue(CDatabase* a_pdatabase, EDBID a_edbid) {
  CDbDatum* pdbdatum = a_pdatabase ? a_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid) : nullptr;
  return pdbdatum && pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED ? a_pdatabase->GetCurrentLong(pdbdatum) : 0;
}

bool AddText(COsXmlTask* a_posxmltask, const char* a_szName, const char* a_szText, bool a_blCdata) {
  if (std::strstr(a_szText, "]]>")) {
    OsLog(OS_LOG_ERROR, "a text holds ']]>', it cannot be written...<%s>", a_szName);
    return false;
  }
  if (a_blCdata || std::strpbrk(a_szText, "&<>")) {
    a_posxmltask->AddArgumentSafe(a_szName, a_szText);
  } else {
    a_posxmltask->AddArgument(a_szName, a_szText);
  }
  return true;
}

bool IsShared(CDatabase* a_pdatabase, EDBID a_edbidSwitch) {
  static_assert(DB_ID_ADFUNIQUE_ENUM_FALSE == 1 && DB_ID_LOWPOWERMODEUNIQUE_ENUM_FALSE == 1);
  return MachineValue(a_pdatabase, a_edbidSwitch) == DB_ID_ADFUNIQUE_ENUM_FALSE;
}

// Both separators: the path services take either.
const char* FileNamePart(const char* a_szPath) {
  const char* szName = a_szPath;
  for (const char* pc = a_szPath; *pc; ++pc) {
    if (*pc == '/' || *pc == '\\') szName = pc + 1;
  }
  return szName;
}

}  // namespace dbprofile
