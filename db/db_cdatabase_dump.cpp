// The text dump: every window-0 datum of bins 1 to 5 with its access,
// consumers, values, lists and pending notifications, one CR LF line each,
// into a new file of the log directory.
#include <cstdarg>
#include <cstring>
#include <iterator>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdbenum.h"
#include "db_cdbnotify.h"
#include "db_cdbrange.h"
#include "db_cdbstring.h"
#include "db_dumppath.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

constexpr size_t s_sizetPath = 512;
constexpr size_t s_sizetLine = 512;
constexpr size_t s_sizetNotify = 256;

// By bin 1..5.
constexpr const char* s_aszBinHeader[] = {"", "\r\nDB_BIN_MACHINE\r\n", "\r\nDB_BIN_BITONAL_FRONT\r\n",
                                          "\r\nDB_BIN_BITONAL_REAR\r\n", "\r\nDB_BIN_COLOR_FRONT\r\n",
                                          "\r\nDB_BIN_COLOR_REAR\r\n"};
// By access 0..7.
constexpr const char* s_aszAccess[] = {"undefined", "disabled",          "hidden",          "readonly",
                                       "readwrite", "readwritedisabled", "readwritehidden", "readonlyhidden"};

struct NotifyName {
  EDBNOTIFY edbnotify;
  const char* szName;
};
constexpr NotifyName s_anotifyname[] = {{DB_NOTIFY_VALUE, "DB_NOTIFY_VALUE,"},
                                        {DB_NOTIFY_ACCESS, "DB_NOTIFY_ACCESS,"},
                                        {DB_NOTIFY_CONSTRAINT, "DB_NOTIFY_CONSTRAINT,"},
                                        {DB_NOTIFY_PROFILES, "DB_NOTIFY_PROFILES,"},
                                        {DB_NOTIFY_SIDES, "DB_NOTIFY_SIDES,"},
                                        {DB_NOTIFY_IMAGES, "DB_NOTIFY_IMAGES,"}};

const char* AccessText(EDBACCESS a_edbaccess) {
  return a_edbaccess >= 0 && a_edbaccess < static_cast<int>(std::size(s_aszAccess)) ? s_aszAccess[a_edbaccess]
                                                                                    : "unknown";
}

const char* DataTypeText(EDBDATATYPE a_edbdatatype) {
  switch (a_edbdatatype) {
    case DB_DATATYPE_LONG: return "long";
    case DB_DATATYPE_STRING: return "string";
    default: return "unknown";
  }
}

const char* DeviceDataText(EDBDEVICEDATA a_edbdevicedata) {
  switch (a_edbdevicedata) {
    case DB_DEVICEDATA_ADF: return "fwadf";
    case DB_DEVICEDATA_FLATBED: return "fwflatbed";
    case DB_DEVICEDATA_BOTH: return "fwadfflatbed";
    case DB_DEVICEDATA_NEXIL: return "nexil";
    case DB_DEVICEDATA_ALL: return "fwadfflatbednexil";
    default: return "unknown";
  }
}

// The kinds the datum is pending in, joined by commas.
void NotifyText(CDbNotify* a_pdbnotify, CDbDatum* a_pdbdatum, int a_iBin, int a_iId, char* a_szText,
                size_t a_sizetText) {
  a_szText[0] = '\0';
  if (!a_pdbnotify) return;
  for (const NotifyName& notifyname : s_anotifyname) {
    if (a_pdbnotify->Get(notifyname.edbnotify, 0, static_cast<EDBBIN>(a_iBin), static_cast<EDBID>(a_iId)) ==
        a_pdbdatum)
      COsString::SStrCat(a_szText, a_sizetText, notifyname.szName);
  }
  const size_t sizetText = std::strlen(a_szText);
  if (sizetText > 0) a_szText[sizetText - 1] = '\0';
}

class DumpWriter {
 public:
  explicit DumpWriter(COsFile* a_posfile) : m_posfile(a_posfile) {}

  void Line(const char* a_szFormat, ...) __attribute__((format(printf, 2, 3))) {
    va_list valist;
    va_start(valist, a_szFormat);
    COsString::SStrVprintf(m_szLine, sizeof m_szLine, a_szFormat, valist);
    va_end(valist);
    m_posfile->Write(m_szLine, std::strlen(m_szLine));
  }

  void Items(long a_lCount, long (CDbEnum::*a_pfnItem)(long), CDbEnum* a_pdbenum) {
    Line("\t%ld\r\n", a_lCount);
    for (long l = 0; l < a_lCount; ++l) Line("\t  %ld\r\n", (a_pdbenum->*a_pfnItem)(l));
  }

 private:
  COsFile* m_posfile;
  char m_szLine[s_sizetLine];
};

// The lines of one datum; none for a container the dump does not know.
void WriteDatum(DumpWriter& a_writer, CDbDatum* a_pdbdatum, const char* a_szName, const char* a_szNotify) {
  const int iId = a_pdbdatum->GetId();
  const EDBACCESS edbaccess = a_pdbdatum->GetAccess();
  if (edbaccess == DB_ACCESS_NOTSUPPORTED) {
    a_writer.Line("%4d %-32s undefined (%s)\r\n", iId, a_szName, a_szNotify);
    return;
  }
  const char* szAccess = AccessText(edbaccess);
  const char* szDataType = DataTypeText(a_pdbdatum->GetDataType());
  const char* szDeviceData = DeviceDataText(a_pdbdatum->GetDeviceData());
  if (auto* pdbrange = dynamic_cast<CDbRange*>(a_pdbdatum)) {
    a_writer.Line("%4d %-32s range(%s,%s,%s): %ld %ld %ld %ld, %ld %ld %ld %ld (%s)\r\n", iId, a_szName, szAccess,
                  szDataType, szDeviceData, pdbrange->GetCurrentLong(), pdbrange->GetMin(), pdbrange->GetMax(),
                  pdbrange->GetStep(), pdbrange->GetDefaultLong(), pdbrange->GetDefaultMin(),
                  pdbrange->GetDefaultMax(), pdbrange->GetDefaultStep(), a_szNotify);
  } else if (auto* pdbenum = dynamic_cast<CDbEnum*>(a_pdbdatum)) {
    a_writer.Line("%4d %-32s enum(%s,%s,%s): %ld %ld (%s)\r\n", iId, a_szName, szAccess, szDataType, szDeviceData,
                  pdbenum->GetCurrentLong(), pdbenum->GetDefaultLong(), a_szNotify);
    a_writer.Items(pdbenum->GetCurrentItemCount(), &CDbEnum::GetCurrentItem, pdbenum);
    a_writer.Items(pdbenum->GetDefaultItemCount(), &CDbEnum::GetDefaultItem, pdbenum);
  } else if (auto* pdbstring = dynamic_cast<CDbString*>(a_pdbdatum)) {
    a_writer.Line("%4d %-32s string(%s,%s,%s): %ld <%s> <%s> (%s)\r\n", iId, a_szName, szAccess, szDataType,
                  szDeviceData, static_cast<long>(pdbstring->GetSizetMaxString()), pdbstring->GetCurrentString(),
                  pdbstring->GetDefaultString(), a_szNotify);
  }
}

}  // namespace

// A new file each time: its name carries the time of day, and a file of
// that name left behind is replaced whole.
EDBSTS CDatabase::Dump(const char* a_szName) {
  OsLogDebug(OS_LOG_INFO, ">>> CDatabase::Dump(%s)", a_szName ? a_szName : "");
  const DbDatumCommon* pdatumcommon = Table();
  if (!pdatumcommon) {
    OsLog(OS_LOG_ERROR, "No datum table to dump...");
    return DB_STS_FAIL;
  }
  char szPath[s_sizetPath] = {};
  COsFile osfile;
  if (!DbDumpPath(a_szName ? a_szName : "PmxDbFixed.txt", szPath, sizeof szPath) ||
      osfile.Open(szPath, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_EXCLUSIVE) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Unable to create file...<%s>", szPath);
    return DB_STS_FAIL;
  }
  DumpWriter writer(&osfile);
  for (int iBin = DB_BIN_MACHINE; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
    writer.Line("%s", s_aszBinHeader[iBin]);
    for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
      CDbDatum* pdbdatum = pdatumcommon->apdbdatum[0][iId][iBin];
      if (!pdbdatum) continue;
      char szNotify[s_sizetNotify];
      NotifyText(m_pdbnotify, pdbdatum, iBin, iId, szNotify, sizeof szNotify);
      WriteDatum(writer, pdbdatum, GetName(pdbdatum), szNotify);
    }
  }
  osfile.Close();
  return DB_STS_SUCCESS;
}
