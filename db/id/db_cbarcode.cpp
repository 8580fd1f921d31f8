// The barcode rules but those of the search region (db_cbarcode_region.cpp):
// reading offered by the scanner or by the image library, the lists of
// directions and symbologies from whichever of the two names them, the
// count from the scanner's range, the settings enabled while reading is on,
// and the bitonal and colour cameras of one side kept alike.
#include "db_cbarcode.h"

#include <algorithm>

#include "db_cbarcode_kit.h"
#include "db_cdatabase.h"
#include "db_crulekit.h"
#include "os_coslog.h"

using namespace dbbarcode;

namespace {

constexpr char s_szSearchArea[] = "barcodesearcharea";
constexpr char s_szSearchMode[] = "barcodesearchmode";
constexpr char s_szCountMax[] = "barcodecount_adf_rangemax";
constexpr char s_szCount[] = "barcodecount";
constexpr char s_szEnhancement[] = "barcodeenhancement";
constexpr char s_szDuplex[] = "duplex";
constexpr char s_szLibrary[] = "nexil";

// A list built from the ordered values the scanner names keeps its default
// where the scanner offers it; elsewhere the first value offered becomes
// the default, so that the reset never makes current a value the list
// lacks.
void DefaultOnTheList(CDbEnum& a_dbenumOwn) {
  if (a_dbenumOwn.GetDefaultItemCount() > 0 && !a_dbenumOwn.HasDefaultItem(a_dbenumOwn.GetDefaultLong()))
    a_dbenumOwn.SetDefaultLong(a_dbenumOwn.GetDefaultItem(0));
}

// The directions or the symbologies: the scanner's list when it has one,
// else the image library's (offered, but disabled until reading is on: 5).
// False when the capability is then not offered at all.
bool ListFromScannerOrLibrary(CDatabase& a_database, CDbEnum& a_dbenumOwn, const char* a_szKey) {
  const bool blScanner = EnumExists(a_database, a_szKey);
  if (!blScanner) {
    a_database.BuildDefaultEnumFromDbConfig(&a_dbenumOwn, s_szLibrary, true);
  } else if (a_dbenumOwn.GetId() == DB_ID_BARCODETYPE) {
    a_database.FixDefaultEnumFromDbConfig(&a_dbenumOwn, DB_CONFIGTARGET_ADF, nullptr);
  } else {
    a_database.BuildOrderedListFromDbConfig(&a_dbenumOwn, DB_ID_BARCODESEARCHMODE_ENUM_HORIZONTAL, s_lSearchModeLast,
                                            a_szKey, DB_CONFIGTARGET_ADF);
    DefaultOnTheList(a_dbenumOwn);
  }
  if (CRuleKit::UnsupportIfEmpty(&a_dbenumOwn)) return false;
  if (!blScanner) a_dbenumOwn.SetAccess(DB_ACCESS_READWRITEDISABLED);
  a_dbenumOwn.FixDefaultReset();
  a_dbenumOwn.CDbEnum::FixDefault();
  return true;
}

// Disabled while reading is off; read-write with the scanner's list, else
// offered but disabled.
void ListFixAccess(CDatabase& a_database, CDbEnum& a_dbenumOwn, const char* a_szKey) {
  EDBACCESS edbaccess = DB_ACCESS_DISABLED;
  if (IsReading(a_dbenumOwn.GetBin()))
    edbaccess = EnumExists(a_database, a_szKey) ? DB_ACCESS_READWRITE : DB_ACCESS_READWRITEDISABLED;
  a_dbenumOwn.SetAccess(edbaccess);
}

EDBACCESS WhileReading(bool a_blReading) { return a_blReading ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED; }

// The symbologies chosen on the other colour mode of the side, item by item.
// A list that refuses an item stays as far as it was filled.
EOSSTS CopyTypes(CDatabase& a_database, CDbEnum& a_dbenumOwn, CDbDatum* a_pdbdatumFrom) {
  a_database.EnumDeleteAllItems(&a_dbenumOwn);
  const long lCount = a_database.EnumGetCurrentItemCount(a_pdbdatumFrom);
  for (long l = 0; l < lCount; ++l) {
    const long lItem = a_database.EnumGetCurrentItem(a_pdbdatumFrom, l);
    if (a_database.EnumAddItem(&a_dbenumOwn, lItem) != DB_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "EnumAddItem failed...%d", static_cast<int>(lItem));
      return OS_STS_FAIL;
    }
  }
  return OS_STS_SUCCESS;
}

// A setting of a side that follows reading on or off (its access) and takes
// the value the other colour mode of the side was given; still while a
// profile loads.
EOSSTS FollowSide(CDbEnum& a_dbenumOwn) {
  DbRuleModified dbrulemodified;
  if (!ModifiedOf(a_dbenumOwn, {DB_ID_BARCODEENABLE, a_dbenumOwn.GetId()}, &dbrulemodified) || CRuleKit::IsLoading())
    return OS_STS_SUCCESS;
  if (dbrulemodified.edbid == DB_ID_BARCODEENABLE) return a_dbenumOwn.FixAccess();
  if (dbrulemodified.blPartner) a_dbenumOwn.SetCurrentLong(dbrulemodified.lNew);
  return OS_STS_SUCCESS;
}

}  // namespace

// ---------------------------------------------------------------------------
// BARCODEENABLE
// ---------------------------------------------------------------------------
EOSSTS CBARCODEENABLE::FixDefault() {
  CDatabase* pdatabase = Offered(*this);
  if (!pdatabase) return OS_STS_SUCCESS;
  const bool blRear = GetBin() == DB_BIN_BITONAL_REAR || GetBin() == DB_BIN_COLOR_REAR;
  if (!ScannerReads(*pdatabase) && !LibraryReads(*pdatabase)) {
    SetAccess(DB_ACCESS_NOTSUPPORTED);
  } else if (blRear && !pdatabase->ConfigExists(s_szDuplex, DB_CONFIGTARGET_COMMON)) {
    SetAccess(DB_ACCESS_NOTSUPPORTED);
  }
  SetDefaultLong(DB_ID_BARCODEENABLE_ENUM_FALSE);
  FixDefaultReset();
  return CDbEnum::FixDefault();
}

EOSSTS CBARCODEENABLE::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (!ModifiedOf(*this, {DB_ID_BARCODEENABLE}, &dbrulemodified)) return OS_STS_SUCCESS;
  if (dbrulemodified.blPartner) SetCurrentLong(dbrulemodified.lNew);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// BARCODEENHANCEMENT
// ---------------------------------------------------------------------------
EOSSTS CBARCODEENHANCEMENT::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!IsCamera(GetBin()) || !pdatabase) return OS_STS_SUCCESS;
  SetAccess(pdatabase->ConfigExists(s_szEnhancement, DB_CONFIGTARGET_COMMON) ? DB_ACCESS_READWRITE
                                                                             : DB_ACCESS_NOTSUPPORTED);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// BARCODECOUNT
// ---------------------------------------------------------------------------
// Only the scanner's own range offers the count; the default held is kept
// within it.
EOSSTS CBARCODECOUNT::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!IsCamera(GetBin()) || !pdatabase) return OS_STS_SUCCESS;
  if (!pdatabase->ConfigExists(s_szCountMax, DB_CONFIGTARGET_COMMON)) {
    SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  const long lMin = ConfigMin(*pdatabase, s_szCount, DB_CONFIGTARGET_ADF);
  const long lMax = ConfigMax(*pdatabase, s_szCount, DB_CONFIGTARGET_ADF);
  const long lDefault = std::min(std::max(GetDefaultLong(), lMin), lMax);
  if (lMin > lMax || SetDefault(lDefault, lMin, lMax, GetDefaultStep()) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "barcode>>> the scanner counts barcodes from %ld to %ld, not supported...%d", lMin, lMax,
          GetBin());
    SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  FixDefaultReset();
  return OS_STS_SUCCESS;
}

EOSSTS CBARCODECOUNT::FixAccess() {
  if (IsCamera(GetBin())) SetAccess(WhileReading(IsReading(GetBin())));
  return OS_STS_SUCCESS;
}

EOSSTS CBARCODECOUNT::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (!ModifiedOf(*this, {DB_ID_BARCODECOUNT, DB_ID_BARCODEENABLE}, &dbrulemodified) || CRuleKit::IsLoading())
    return OS_STS_SUCCESS;
  if (dbrulemodified.edbid == DB_ID_BARCODECOUNT) {
    if (dbrulemodified.blPartner) SetCurrentLong(dbrulemodified.lNew);
  } else if (dbrulemodified.blOwnCamera || dbrulemodified.blPartner) {
    // The enable of this side runs after the count in the pass: its value
    // is M's.
    SetAccess(WhileReading(dbrulemodified.lNew == DB_ID_BARCODEENABLE_ENUM_TRUE));
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// BARCODESEARCHAREA
// ---------------------------------------------------------------------------
EOSSTS CBARCODESEARCHAREA::FixDefault() {
  CDatabase* pdatabase = Offered(*this);
  if (!pdatabase) return OS_STS_SUCCESS;
  if (!EnumExists(*pdatabase, s_szSearchArea)) {
    SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  pdatabase->BuildOrderedListFromDbConfig(this, DB_ID_BARCODESEARCHAREA_ENUM_ENTIREDOCUMENT, s_lSearchAreaLast,
                                          s_szSearchArea, DB_CONFIGTARGET_ADF);
  if (CRuleKit::UnsupportIfEmpty(this)) return OS_STS_SUCCESS;
  DefaultOnTheList(*this);
  FixDefaultReset();
  return CDbEnum::FixDefault();
}

EOSSTS CBARCODESEARCHAREA::FixAccess() {
  if (IsCamera(GetBin())) SetAccess(WhileReading(IsReading(GetBin())));
  return OS_STS_SUCCESS;
}

EOSSTS CBARCODESEARCHAREA::FixCurrent() { return FollowSide(*this); }

// ---------------------------------------------------------------------------
// BARCODESEARCHMODE
// ---------------------------------------------------------------------------
EOSSTS CBARCODESEARCHMODE::FixDefault() {
  if (CDatabase* pdatabase = Offered(*this)) ListFromScannerOrLibrary(*pdatabase, *this, s_szSearchMode);
  return OS_STS_SUCCESS;
}

EOSSTS CBARCODESEARCHMODE::FixAccess() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (IsCamera(GetBin()) && pdatabase) ListFixAccess(*pdatabase, *this, s_szSearchMode);
  return OS_STS_SUCCESS;
}

EOSSTS CBARCODESEARCHMODE::FixCurrent() { return FollowSide(*this); }

// ---------------------------------------------------------------------------
// BARCODETYPE
// ---------------------------------------------------------------------------
EOSSTS CBARCODETYPE::FixDefault() {
  if (IsCamera(GetBin())) m_blSelectionList = true;
  if (CDatabase* pdatabase = Offered(*this)) ListFromScannerOrLibrary(*pdatabase, *this, s_szType);
  return OS_STS_SUCCESS;
}

EOSSTS CBARCODETYPE::FixAccess() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (IsCamera(GetBin()) && pdatabase) ListFixAccess(*pdatabase, *this, s_szType);
  return OS_STS_SUCCESS;
}

EOSSTS CBARCODETYPE::FixCurrent() {
  CDatabase* pdatabase = CRuleKit::Database();
  DbRuleModified dbrulemodified;
  if (!pdatabase || !ModifiedOf(*this, {DB_ID_BARCODEENABLE, DB_ID_BARCODETYPE}, &dbrulemodified) ||
      CRuleKit::IsLoading())
    return OS_STS_SUCCESS;
  if (dbrulemodified.edbid == DB_ID_BARCODEENABLE) return FixAccess();
  return dbrulemodified.blPartner ? CopyTypes(*pdatabase, *this, dbrulemodified.pdbdatum) : OS_STS_SUCCESS;
}
