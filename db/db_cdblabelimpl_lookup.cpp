// The labels in the lookup records (capabilities, their values, and the
// colour tables and colour dropouts the scanner names itself), and the dump
// of the table.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdblabelimpl.h"
#include "db_cdblookup.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

constexpr size_t s_sizetKey = 512;
constexpr size_t s_sizetPath = 512;

// The value entry of a record with that value gets the label, when the
// lookup has one.
void LabelValue(CDatabase* a_pdatabase, DbLookup2* a_pdblookup2, long a_lValue, const char* a_szLabel) {
  DbLookupEnum* pdblookupenum = a_pdatabase->LookupDbEnum(a_pdblookup2, a_lValue);
  if (pdblookupenum) pdblookupenum->szLabel = a_szLabel;
}

}  // namespace

void CDbLabelImpl::WriteLookup(bool a_blReset) {
  if (!CDbDatum::ms_pdatumcommon) return;
  auto Label = [&](const char* a_szTag) {
    const char* szText = a_blReset ? nullptr : Find(a_szTag);
    return szText ? szText : s_szUnknown;
  };
  // The lookup's records and values are read-only between writes.
  CDatabase* pdatabase = CDbDatum::GetDatabase();
  if (pdatabase) pdatabase->LookupSetWritable(true);
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    CDbDatum* pdbdatumIndex = CDbDatum::ms_pdatumcommon->apdbdatum[0][iId][DB_BIN_SEARCH];
    DbLookup2* pdblookup2 = pdbdatumIndex ? pdbdatumIndex->GetLookup() : nullptr;
    if (!pdblookup2) continue;
    const char* szLexicon = pdblookup2->szLexicon ? pdblookup2->szLexicon : "";
    pdblookup2->szLabel = Label(szLexicon);
    for (long l = 0; l < pdblookup2->lEnumCount; ++l) {
      DbLookupEnum& dblookupenum = pdblookup2->pEnums[l];
      char szKey[s_sizetKey];
      const bool blKey = COsString::SStrPrintf(szKey, sizeof szKey, "enum_%s_%s", szLexicon,
                                               dblookupenum.szLexiconEnum ? dblookupenum.szLexiconEnum : "") > 0;
      dblookupenum.szLabel = Label(blKey ? szKey : nullptr);
    }
  }
  if (!a_blReset) WriteColorTables();
  if (pdatabase) pdatabase->LookupSetWritable(false);
}

// Every write gives every record a label ("???" at least): the first record
// tells for all.
bool CDbLabelImpl::LookupUnlabelled() {
  if (!CDbDatum::ms_pdatumcommon) return false;
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    CDbDatum* pdbdatumIndex = CDbDatum::ms_pdatumcommon->apdbdatum[0][iId][DB_BIN_SEARCH];
    const DbLookup2* pdblookup2 = pdbdatumIndex ? pdbdatumIndex->GetLookup() : nullptr;
    if (pdblookup2) return pdblookup2->szLabel == nullptr;
  }
  return false;
}

// Values 1 and 2 (unknown, default or none) keep their labels from the
// table; the others are the scanner's own and carry their display labels.
void CDbLabelImpl::WriteColorTables() {
  CDatabase* pdatabase = CDbDatum::GetDatabase();
  if (!pdatabase) return;
  CDbDatum* pdbdatumColorTable = CDbDatum::ms_pdatumcommon->apdbdatum[0][DB_ID_COLORTABLE][DB_BIN_SEARCH];
  DbLookup2* pdblookup2 = pdbdatumColorTable ? pdbdatumColorTable->GetLookup() : nullptr;
  const DbColorTableRecord* adbcolortablerecord = pdatabase->DeviceGetColorTableHeader();
  for (long l = 0; pdblookup2 && l < DB_COLORTABLE_RECORDS && adbcolortablerecord[l].i32Value != 0; ++l) {
    if (adbcolortablerecord[l].i32Value > 2)
      LabelValue(pdatabase, pdblookup2, adbcolortablerecord[l].i32Value, adbcolortablerecord[l].szLabel);
  }
  CDbDatum* pdbdatumEcdo = CDbDatum::ms_pdatumcommon->apdbdatum[0][DB_ID_ECDO][DB_BIN_SEARCH];
  pdblookup2 = pdbdatumEcdo ? pdbdatumEcdo->GetLookup() : nullptr;
  const DbEcdoRecord* adbecdorecord = pdatabase->DeviceGetEcdoHeader()->adbecdorecord;
  for (long l = 0; pdblookup2 && l < DB_ECDO_RECORDS && adbecdorecord[l].u32Value != 0; ++l) {
    if (adbecdorecord[l].u32Value > 2)
      LabelValue(pdatabase, pdblookup2, static_cast<long>(adbecdorecord[l].u32Value), adbecdorecord[l].szLabel);
  }
}

// One line per entry in tag order: the tag in 40 columns, the number and
// the text in angle brackets.
void CDbLabelImpl::Dump(const char* a_szDirectory) {
  if (!m_table.pdblabelentry) return;
  const char* szDirectory = a_szDirectory ? a_szDirectory : g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : "";
  char szPath[s_sizetPath] = {};
  COsFile osfile;
  if (!COsFile::PathJoin(szPath, sizeof szPath, szDirectory, "PmxLabel.txt") ||
      osfile.Open(szPath, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_EXCLUSIVE) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Error creating...<%s>", szPath);
    return;
  }
  for (long l = 0; l < m_table.lCount; ++l) {
    const DbLabelEntry& dblabelentry = m_table.pdblabelentry[l];
    char szHead[64];
    COsString::SStrPrintf(szHead, sizeof szHead, "%-40.40s %04lx <", dblabelentry.szTag,
                          static_cast<unsigned long>(dblabelentry.lNumber));
    osfile.Write(szHead, std::strlen(szHead));
    osfile.Write(dblabelentry.szText, std::strlen(dblabelentry.szText));
    osfile.Write(">\r\n", 3);
  }
  osfile.Close();
}
