// Item 0 of the profile list reads the DATABASE resource: the default
// profile's header, and the access, consumers, default and allowed values
// of every capability it lists, set on the window-0 datums through their
// containers' initialisers.
#include <algorithm>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdbenum.h"
#include "db_cdblookup.h"
#include "db_cdbprofileitem.h"
#include "db_cdbrange.h"
#include "db_cdbresource.h"
#include "db_cdbstring.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosresource.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {

constexpr char s_szResource[] = "DATABASE";
constexpr char s_szMultimedia[] = "@MULTIMEDIA@";

// The datums a bin of a record sets: its own, and for a front camera the
// rear camera of the same kind as well.
int BinsOf(EDBBIN a_edbbin, EDBBIN* a_aedbbin) {
  a_aedbbin[0] = a_edbbin;
  if (a_edbbin == DB_BIN_BITONAL_FRONT || a_edbbin == DB_BIN_COLOR_FRONT) {
    a_aedbbin[1] = static_cast<EDBBIN>(a_edbbin + 1);
    return 2;
  }
  return 1;
}

// Whether the datum's own class is the container the record describes: an
// initialiser of another container would write past the object.
bool IsKind(CDbDatum* a_pdbdatum, char a_cKind) {
  switch (a_cKind) {
    case 'E':
      return dynamic_cast<CDbEnum*>(a_pdbdatum) != nullptr;
    case 'R':
      return dynamic_cast<CDbRange*>(a_pdbdatum) != nullptr;
    case 'S':
      return dynamic_cast<CDbString*>(a_pdbdatum) != nullptr;
    default:
      return false;
  }
}

// A damaged resource may give a default its own record does not allow: it
// would be stored and sent to the scanner as it is. Such a default is
// brought within the record (the nearest bound of a range, the first
// allowed value of an enumeration), with a line naming the capability; the
// record's other fields stay as they are. A range default of 0 stays: the
// default database gives it where the capability's rule takes the default
// from the scanner (PAGESIZELIMIT).
const char* NameOf(CDatabase* a_pdatabase, EDBID a_edbid) {
  const DbLookup2* pdblookup2 = a_pdatabase ? a_pdatabase->LookupEdbid(a_edbid) : nullptr;
  return pdblookup2 && pdblookup2->szDbId ? pdblookup2->szDbId : "???";
}

long RangeDefault(CDatabase* a_pdatabase, EDBID a_edbid, EDBBIN a_edbbin, const DbResourceBin& a_bin) {
  if (a_bin.lDefault == 0) return 0;
  const long lDefault = a_bin.lDefault < a_bin.lMin ? a_bin.lMin : a_bin.lDefault > a_bin.lMax ? a_bin.lMax
                                                                                              : a_bin.lDefault;
  if (lDefault != a_bin.lDefault) {
    OsLog(OS_LOG_ERROR, "Default out of range, clamped...<%s> %d %d: %ld to %ld (%ld..%ld)",
          NameOf(a_pdatabase, a_edbid), a_edbid, a_edbbin, a_bin.lDefault, lDefault, a_bin.lMin, a_bin.lMax);
  }
  return lDefault;
}

long EnumDefault(CDatabase* a_pdatabase, EDBID a_edbid, EDBBIN a_edbbin, const DbResourceBin& a_bin) {
  if (a_bin.lItems <= 0 ||
      std::find(a_bin.alItems, a_bin.alItems + a_bin.lItems, a_bin.lDefault) != a_bin.alItems + a_bin.lItems) {
    return a_bin.lDefault;
  }
  OsLog(OS_LOG_ERROR, "Default not in the list, replaced...<%s> %d %d: %ld to %ld", NameOf(a_pdatabase, a_edbid),
        a_edbid, a_edbbin, a_bin.lDefault, a_bin.alItems[0]);
  return a_bin.alItems[0];
}

void InitEnum(CDbEnum* a_pdbenum, EDBID a_edbid, EDBBIN a_edbbin, long a_lDeviceData, const DbResourceBin& a_bin,
              long a_lDefault) {
  a_pdbenum->InitEnumLong(a_edbid, a_edbbin, static_cast<EDBACCESS>(a_bin.lAccess),
                          static_cast<EDBDEVICEDATA>(a_lDeviceData), a_lDefault, a_lDefault);
  a_pdbenum->DeleteAllDefaultItems();
  a_pdbenum->DeleteAllCurrentItems();
  for (long l = 0; l < a_bin.lItems; ++l) {
    a_pdbenum->AddDefaultItem(a_bin.alItems[l]);
    a_pdbenum->AddCurrentItem(a_bin.alItems[l]);
  }
  // A run of g items is the current list.
  if (a_bin.lCurrentItems > 0) a_pdbenum->DeleteAllCurrentItems();
  for (long l = 0; l < a_bin.lCurrentItems; ++l) a_pdbenum->AddCurrentItem(a_bin.alCurrentItems[l]);
}

void InitRange(CDbRange* a_pdbrange, EDBID a_edbid, EDBBIN a_edbbin, long a_lDeviceData, const DbResourceBin& a_bin,
               long a_lDefault) {
  a_pdbrange->InitRangeLong(a_edbid, a_edbbin, static_cast<EDBACCESS>(a_bin.lAccess),
                            static_cast<EDBDEVICEDATA>(a_lDeviceData), a_lDefault, a_bin.lMin, a_bin.lMax,
                            a_bin.lStep, a_lDefault, a_bin.lMin, a_bin.lMax, a_bin.lStep);
}

// The marker stands for the configured multimedia directory; a text that
// no longer fits a value is left empty.
void InitString(CDbString* a_pdbstring, EDBID a_edbid, EDBBIN a_edbbin, long a_lDeviceData,
                const DbResourceBin& a_bin) {
  const char* szText = a_bin.szText ? a_bin.szText : "";
  char szReplaced[DB_STRING_SIZE] = {};
  const char* pcMarker = std::strstr(szText, s_szMultimedia);
  if (pcMarker) {
    const char* szDirectory = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MULTIMEDIADIRECTORY) : nullptr;
    if (COsString::SStrPrintf(szReplaced, sizeof szReplaced, "%.*s%s%s", static_cast<int>(pcMarker - szText), szText,
                              szDirectory ? szDirectory : "", pcMarker + sizeof s_szMultimedia - 1) < 0) {
      OsLog(OS_LOG_ERROR, "String is too long...%d %d", a_edbid, a_edbbin);
      szReplaced[0] = '\0';
    }
    szText = szReplaced;
  }
  const size_t sizetMax = a_bin.lDefault > 0 ? static_cast<size_t>(a_bin.lDefault) : 0;
  a_pdbstring->InitString(a_edbid, a_edbbin, static_cast<EDBACCESS>(a_bin.lAccess),
                          static_cast<EDBDEVICEDATA>(a_lDeviceData), sizetMax, szText, szText, "", "");
}

}  // namespace

EOSSTS CDbProfileItem::LoadDatabaseResource(bool a_blHeaderOnly) {
  OsLogDebug(OS_LOG_INFO, ">>> LoadDatabaseResource()");
  if (!a_blHeaderOnly && !m_pdatabase) {
    OsLog(OS_LOG_ERROR, "m_pdatabase is null...");
    return OS_STS_FAIL;
  }
  COsResource osresource;
  if (osresource.Open(OS_RESOURCE_LOCAL, s_szResource, OS_RESOURCETYPE_DATA) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DATABASE resource not found...");
    return OS_STS_FAIL;
  }
  CDbResource* pdbresource = OsMemNew(CDbResource);
  if (!pdbresource) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return OS_STS_FAIL;
  }
  const void* pvData = osresource.GetPointer();
  const size_t sizetData = static_cast<size_t>(osresource.GetSize());
  EOSSTS eossts = OS_STS_SUCCESS;
  if (a_blHeaderOnly) {
    eossts = pdbresource->ReadDatabaseHeader(pvData, sizetData);
  } else {
    // Read-only and disabled datums take values while state 3 is set; a
    // caller that set it (a load under way) keeps it after the read.
    const bool blLoading = m_pdatabase->TestDbState(DB_STATE_LOADING) != 0;
    m_pdatabase->SetDbState(DB_STATE_LOADING);
    eossts = pdbresource->ReadDatabase(pvData, sizetData, LoadRecordCallback, this);
    if (!blLoading) m_pdatabase->ClearDbState(DB_STATE_LOADING);
  }
  osresource.Close();
  if (pdbresource->GetHeader()) {
    const EOSSTS eosstsHeader = LoadHeaderText(pdbresource->GetHeader());
    if (eossts == OS_STS_SUCCESS) eossts = eosstsHeader;
  }
  OsMemDelete(pdbresource);
  return eossts;
}

// The header's text is the content of the resource's H element.
EOSSTS CDbProfileItem::LoadHeaderText(const char* a_szHeader) {
  static constexpr char s_szOpen[] = "<H>";
  static constexpr char s_szClose[] = "</H>";
  const size_t sizetDocument = sizeof s_szOpen - 1 + std::strlen(a_szHeader) + sizeof s_szClose;
  auto* szDocument = static_cast<char*>(OsMemAlloc(sizetDocument));
  COsXml* posxml = OsMemNew(COsXml);
  EOSSTS eossts = OS_STS_FAIL;
  if (!szDocument || !posxml) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
  } else if (COsString::SStrPrintf(szDocument, sizetDocument, "%s%s%s", s_szOpen, a_szHeader, s_szClose) < 0 ||
             posxml->DocumentLoad(szDocument) != OS_STS_SUCCESS || posxml->NodeRewind() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "header not found...");
  } else {
    eossts = LoadHeader(posxml);
  }
  OsMemDelete(posxml);
  if (szDocument) OsMemFree(szDocument);
  return eossts;
}

EOSSTS CDbProfileItem::LoadRecordCallback(const DbResourceRecord* a_pdbresourcerecord, void* a_pvUser) {
  return static_cast<CDbProfileItem*>(a_pvUser)->LoadRecord(a_pdbresourcerecord);
}

// A record of an id outside the capabilities, or of another kind than the
// datums it names, is skipped whole; a datum that is missing ends the load.
EOSSTS CDbProfileItem::LoadRecord(const DbResourceRecord* a_pdbresourcerecord) {
  const DbResourceRecord& record = *a_pdbresourcerecord;
  if (record.edbid < DB_ID_FIRST || record.edbid > DB_ID_FINAL) {
    OsLog(OS_LOG_ERROR, "Bad edbid, record skipped...%d", record.edbid);
    return OS_STS_SUCCESS;
  }
  for (long l = 0; l < record.lBins; ++l) {
    EDBBIN aedbbin[2];
    const int iBins = BinsOf(record.adbresourcebin[l].edbbin, aedbbin);
    for (int i = 0; i < iBins; ++i) {
      CDbDatum* pdbdatum = CDbDatum::DbDatumFind(0, record.edbid, aedbbin[i]);
      if (!pdbdatum) {
        OsLog(OS_LOG_ERROR, "NULL...%d %d", record.edbid, aedbbin[i]);
        return OS_STS_FAIL;
      }
      if (!IsKind(pdbdatum, record.cKind)) {
        OsLog(OS_LOG_ERROR, "Wrong container, record skipped...%d %d <%c>", record.edbid, aedbbin[i], record.cKind);
        return OS_STS_SUCCESS;
      }
    }
  }
  for (long l = 0; l < record.lBins; ++l) {
    const DbResourceBin& bin = record.adbresourcebin[l];
    EDBBIN aedbbin[2];
    const int iBins = BinsOf(bin.edbbin, aedbbin);
    const long lDefault = record.cKind == 'E'   ? EnumDefault(m_pdatabase, record.edbid, bin.edbbin, bin)
                          : record.cKind == 'R' ? RangeDefault(m_pdatabase, record.edbid, bin.edbbin, bin)
                                                : bin.lDefault;
    for (int i = 0; i < iBins; ++i) {
      CDbDatum* pdbdatum = CDbDatum::DbDatumFind(0, record.edbid, aedbbin[i]);
      if (record.cKind == 'E') {
        InitEnum(static_cast<CDbEnum*>(pdbdatum), record.edbid, aedbbin[i], record.lDeviceData, bin, lDefault);
      } else if (record.cKind == 'R') {
        InitRange(static_cast<CDbRange*>(pdbdatum), record.edbid, aedbbin[i], record.lDeviceData, bin, lDefault);
      } else {
        InitString(static_cast<CDbString*>(pdbdatum), record.edbid, aedbbin[i], record.lDeviceData, bin);
      }
    }
  }
  return OS_STS_SUCCESS;
}
