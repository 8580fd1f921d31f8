// The barcode element of a createcamera task, and the single arguments it is
// made of: a capability's value under its lexicon name or a given one.
#include <string_view>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdblookup.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

namespace {

// An argument name holds at most 62 characters.
constexpr size_t s_sizetArgumentName = 63;

bool Accessible(CDbDatum* a_pdbdatum) { return a_pdbdatum && a_pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED; }

// The elements opened so far, closed innermost first whatever happens.
class OpenElements {
 public:
  explicit OpenElements(COsXmlTask* a_posxmltask) : m_posxmltask(a_posxmltask) {}
  ~OpenElements() {
    while (m_iCount > 0) m_posxmltask->FinalizeCommand(m_aszName[--m_iCount]);
  }
  OpenElements(const OpenElements&) = delete;
  OpenElements& operator=(const OpenElements&) = delete;
  void Open(const char* a_szName, int a_iDepth) {
    m_posxmltask->StartCommand(a_szName, a_iDepth);
    m_aszName[m_iCount++] = a_szName;
  }
  void Close() { m_posxmltask->FinalizeCommand(m_aszName[--m_iCount]); }

 private:
  COsXmlTask* m_posxmltask;
  const char* m_aszName[2] = {};
  int m_iCount = 0;
};

// The datum's lookup record, or none (logged).
DbLookup2* RecordOf(CDbDatum* a_pdbdatum, EDBID a_edbid) {
  DbLookup2* pdblookup2 = a_pdbdatum->GetLookup();
  if (!pdblookup2) OsLog(OS_LOG_ERROR, "pdblookup2 is NULL (%d)", a_edbid);
  return pdblookup2;
}

// One argument of a value, named by the given name or else the record's
// lexicon (cut to 62 characters): a number, or the value's lexicon text for
// an enumeration. False (logged) without a name or a value entry.
bool WriteArgument(CDatabase& a_database, COsXmlTask* a_posxmltask, EDBID a_edbid, DbLookup2* a_pdblookup2,
                   const char* a_szName, long a_lValue, bool a_blEnum) {
  const char* szSource = a_szName ? a_szName : a_pdblookup2->szLexicon;
  if (!szSource || !szSource[0]) {
    OsLog(OS_LOG_ERROR, "nothing to write...%d", a_edbid);
    return false;
  }
  char szName[s_sizetArgumentName] = {};
  COsString::SStrNcpy(szName, sizeof szName, szSource, sizeof szName - 1);
  if (!a_blEnum) {
    a_posxmltask->AddArgument(szName, static_cast<int>(a_lValue));
    return true;
  }
  DbLookupEnum* pdblookupenum = a_database.LookupDbEnum(a_pdblookup2, a_lValue);
  if (!pdblookupenum || !pdblookupenum->szLexiconEnum) {
    OsLog(OS_LOG_ERROR, "pdblookupenum is NULL for the Id = %d; Value = %d", a_edbid, static_cast<int>(a_lValue));
    return false;
  }
  a_posxmltask->AddArgument(szName, pdblookupenum->szLexiconEnum);
  return true;
}

}  // namespace

EOSSTS CDatabase::MakeXmlAddArgument(COsXmlTask* a_posxmltask, EDBID a_edbid, EDBBIN a_edbbin, const char* a_szName) {
  if (!a_posxmltask) {
    OsLog(OS_LOG_ERROR, "a_posxmltask is NULL...");
    return OS_STS_FAIL;
  }
  CDbDatum* pdbdatum = Table() ? FindDirect(a_edbbin, a_edbid) : nullptr;
  if (!Accessible(pdbdatum)) return OS_STS_SUCCESS;
  DbLookup2* pdblookup2 = RecordOf(pdbdatum, a_edbid);
  if (!pdblookup2) return OS_STS_FAIL;
  const EDBCONTAINERTYPE edbcontainertype = pdbdatum->GetContainerType();
  if (edbcontainertype != DB_CONTAINERTYPE_RANGE && edbcontainertype != DB_CONTAINERTYPE_ENUM) {
    OsLog(OS_LOG_ERROR, "Unrecognized container type...%d", edbcontainertype);
    return OS_STS_FAIL;
  }
  const bool blWritten = WriteArgument(*this, a_posxmltask, a_edbid, pdblookup2, a_szName, pdbdatum->GetCurrentLong(),
                                       edbcontainertype == DB_CONTAINERTYPE_ENUM);
  return blWritten ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EOSSTS CDatabase::MakeXmlBarCodeSubCommand(COsXmlTask* a_posxmltask, const char* a_szCameraName) {
  if (OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEBARCODESUBCOMMANDOFF, 0) != 0) {
    OsLogDebug(OS_LOG_INFO, "Skipping <barcode> subcommand...");
    return OS_STS_SUCCESS;
  }
  if (!a_posxmltask || !a_szCameraName || !Table()) {
    OsLog(OS_LOG_ERROR, "a_posxmltask or a_szCameraName is NULL...");
    return OS_STS_FAIL;
  }
  const EDBBIN edbbin = std::string_view(a_szCameraName) == "rear" ? DB_BIN_COLOR_REAR : DB_BIN_COLOR_FRONT;
  CDbDatum* pdbdatumEnable = FindDirect(edbbin, DB_ID_BARCODEENABLE);
  if (!Accessible(pdbdatumEnable) || pdbdatumEnable->GetCurrentLong() != DB_ID_BARCODEENABLE_ENUM_TRUE)
    return OS_STS_SUCCESS;
  OpenElements openelements(a_posxmltask);
  openelements.Open("barcode", 2);
  CDbDatum* pdbdatum = FindDirect(edbbin, DB_ID_BARCODETYPE);
  if (Accessible(pdbdatum)) {
    DbLookup2* pdblookup2 = RecordOf(pdbdatum, DB_ID_BARCODETYPE);
    if (!pdblookup2) return OS_STS_FAIL;
    const long lCount = EnumGetCurrentItemCount(pdbdatum);
    for (long l = 0; l < lCount; ++l) {
      if (!WriteArgument(*this, a_posxmltask, DB_ID_BARCODETYPE, pdblookup2, nullptr, EnumGetCurrentItem(pdbdatum, l),
                         true))
        return OS_STS_FAIL;
    }
  }
  for (EDBID edbid : {DB_ID_BARCODESEARCHMODE, DB_ID_BARCODECOUNT}) {
    if (MakeXmlAddArgument(a_posxmltask, edbid, edbbin, nullptr) != OS_STS_SUCCESS) return OS_STS_FAIL;
  }
  pdbdatum = FindDirect(edbbin, DB_ID_BARCODESEARCHAREA);
  if (Accessible(pdbdatum)) {
    if (MakeXmlAddArgument(a_posxmltask, DB_ID_BARCODESEARCHAREA, edbbin, nullptr) != OS_STS_SUCCESS)
      return OS_STS_FAIL;
    if (pdbdatum->GetCurrentLong() == DB_ID_BARCODESEARCHAREA_ENUM_PARTIALDOCUMENT) {
      openelements.Open("region", 3);
      static const struct {
        EDBID edbid;
        const char* szName;
      } s_aregion[] = {{DB_ID_BARCODESEARCHREGIONOFFSETX, "imageoffsetx"},
                       {DB_ID_BARCODESEARCHREGIONOFFSETY, "imageoffsety"},
                       {DB_ID_BARCODESEARCHREGIONWIDTH, "imagewidth"},
                       {DB_ID_BARCODESEARCHREGIONHEIGHT, "imageheight"}};
      for (const auto& region : s_aregion) {
        if (MakeXmlAddArgument(a_posxmltask, region.edbid, edbbin, region.szName) != OS_STS_SUCCESS) return OS_STS_FAIL;
      }
      openelements.Close();
    }
  }
  openelements.Close();
  return OS_STS_SUCCESS;
}
