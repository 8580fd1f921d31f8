// The indexing classes that hand their rules to the image-address rules:
// one table of what each hands on and what it rules itself, and the rule
// operations every one of them runs through it.
#include "db_cindexing.h"

#include <array>
#include <type_traits>

#include "db_cdatabase.h"
#include "db_cdbia.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

// The operations a class hands on.
enum : unsigned {
  s_uFixDefault = 1,
  s_uFixCurrent = 2,
  s_uFixAccess = 4,
  s_uValidate = 8,
  s_uMakeXml = 16,
  s_uRules = s_uFixDefault | s_uFixCurrent | s_uFixAccess,
};

// A rule a class holds itself.
enum class IndexingOwn {
  None,
  // FixDefault: unsupported without the image-address rules, else the
  // container's.
  DefaultUnlessIndexing,
  // FixAccess: the same for the access.
  AccessUnlessIndexing,
  // FixCurrent: the format turns to imageaddress when an image-address
  // setting is touched.
  FormatFollowsSettings,
};

struct IndexingRow {
  EDBID edbid;
  unsigned uHandedOn;
  IndexingOwn indexingown;
};

constexpr IndexingRow s_aindexingrow[] = {
    {DB_ID_BATCHCOUNT, s_uRules, IndexingOwn::None},
    {DB_ID_BATCHCOUNTENABLED, s_uRules, IndexingOwn::None},
    {DB_ID_BATCHENDFUNCTION, s_uRules, IndexingOwn::None},
    {DB_ID_BATCHLEVEL, s_uRules | s_uValidate, IndexingOwn::None},
    {DB_ID_BATCHSTARTFUNCTION, s_uRules | s_uValidate, IndexingOwn::None},
    {DB_ID_IMAGEADDRESS, s_uFixDefault | s_uFixCurrent | s_uValidate, IndexingOwn::AccessUnlessIndexing},
    {DB_ID_IMAGEADDRESSSCANNER, s_uRules, IndexingOwn::None},
    {DB_ID_IMAGEADDRESSTEMPLATES, s_uRules, IndexingOwn::None},
    {DB_ID_IMAGEADDRESSTEMPLATES_PREV, s_uFixCurrent, IndexingOwn::None},
    {DB_ID_IMAGEADDRESS_A, s_uRules | s_uValidate, IndexingOwn::None},
    {DB_ID_IMAGEADDRESS_B, s_uRules | s_uValidate, IndexingOwn::None},
    {DB_ID_IMAGEADDRESS_C, s_uRules | s_uValidate, IndexingOwn::None},
    {DB_ID_IMAGEADDRESS_D, s_uRules | s_uValidate, IndexingOwn::None},
    {DB_ID_INDEXINGFORMAT, s_uFixDefault, IndexingOwn::FormatFollowsSettings},
    {DB_ID_LEVELTOFOLLOW1, s_uFixCurrent | s_uValidate, IndexingOwn::DefaultUnlessIndexing},
    {DB_ID_LEVELTOFOLLOW2, s_uFixCurrent | s_uValidate, IndexingOwn::DefaultUnlessIndexing},
    {DB_ID_LEVELTOFOLLOW3, s_uFixCurrent | s_uValidate, IndexingOwn::DefaultUnlessIndexing},
    {DB_ID_PATCHCODEDETECTIONENABLED, s_uRules, IndexingOwn::None},
    {DB_ID_PATCHFEATURE1, s_uRules | s_uMakeXml, IndexingOwn::None},
    {DB_ID_PATCHFEATURE4, s_uRules | s_uMakeXml, IndexingOwn::None},
    {DB_ID_PATCHFEATURE6, s_uRules | s_uMakeXml, IndexingOwn::None},
    {DB_ID_PATCHHEAD1, s_uRules | s_uValidate | s_uMakeXml, IndexingOwn::None},
    {DB_ID_PATCHHEAD2, s_uRules | s_uValidate | s_uMakeXml, IndexingOwn::None},
    {DB_ID_PATCHHEAD3, s_uRules | s_uValidate | s_uMakeXml, IndexingOwn::None},
    {DB_ID_PATCHHEAD4, s_uRules | s_uValidate | s_uMakeXml, IndexingOwn::None},
    {DB_ID_PATCHLEVEL2, s_uRules | s_uMakeXml, IndexingOwn::None},
    {DB_ID_PATCHLEVEL3, s_uRules | s_uMakeXml, IndexingOwn::None},
    {DB_ID_PATCHTRANSFER, s_uFixCurrent | s_uFixAccess | s_uMakeXml, IndexingOwn::DefaultUnlessIndexing},
};

// The rows by id, for a look-up per rule call.
constexpr std::array<IndexingRow, DB_ID_COUNT> s_aindexingrowById = [] {
  std::array<IndexingRow, DB_ID_COUNT> aindexingrow{};
  for (const IndexingRow& indexingrow : s_aindexingrow) aindexingrow[indexingrow.edbid] = indexingrow;
  return aindexingrow;
}();

const IndexingRow& RowOf(const CDbDatum& a_dbdatum) {
  const int iId = a_dbdatum.GetId();
  return s_aindexingrowById[iId >= 0 && iId < DB_ID_COUNT ? iId : 0];
}

CDbIa* DbIa() {
  CDatabase* pdatabase = CRuleKit::Database();
  return pdatabase ? pdatabase->GetDbIa() : nullptr;
}

// A write sequence prints an image-address field with a code "A" to "D",
// in either case.
bool PrintsAField(const char* a_szSequence) {
  for (const char* pc = a_szSequence; pc && *pc; ++pc) {
    if ((*pc >= 'A' && *pc <= 'D') || (*pc >= 'a' && *pc <= 'd')) return true;
  }
  return false;
}

// The indexing format follows the image-address settings: touching one
// makes the format imageaddress, and so does a write sequence that prints a
// field while no indexing is chosen. A model that does not offer the
// format keeps the one it has.
void FormatFollowsSettings(CDbEnum& a_dbenum) {
  CDbDatum* pdbdatumModified = CDbDatum::GetModified();
  const long lFormat = a_dbenum.GetCurrentLongNoCallback();
  if (!pdbdatumModified || CRuleKit::IsLoading() || lFormat == DB_ID_INDEXINGFORMAT_ENUM_IMAGEADDRESS) return;
  const EDBID edbid = pdbdatumModified->GetId();
  const bool blTouched =
      CDbIa::IsImageAddressSetting(edbid) ||
      (edbid == DB_ID_PRINTERWRITESEQUENCESTRING && lFormat == DB_ID_INDEXINGFORMAT_ENUM_NONE &&
       pdbdatumModified->GetDataType() == DB_DATATYPE_STRING &&
       PrintsAField(pdbdatumModified->GetCurrentStringNoCallback()));
  if (!blTouched) return;
  if (!a_dbenum.HasCurrentItem(DB_ID_INDEXINGFORMAT_ENUM_IMAGEADDRESS)) {
    OsLog(OS_LOG_ERROR, "rules>>> indexing format imageaddress not offered, the format stays...%d", edbid);
    return;
  }
  a_dbenum.SetCurrentLong(DB_ID_INDEXINGFORMAT_ENUM_IMAGEADDRESS);
}

// ---------------------------------------------------------------------------
// The rule operations through the table
// ---------------------------------------------------------------------------
template <class Container>
EOSSTS IndexingFixDefault(Container& a_container) {
  const IndexingRow& indexingrow = RowOf(a_container);
  const bool blHandedOn = indexingrow.uHandedOn & s_uFixDefault;
  if (!blHandedOn && indexingrow.indexingown != IndexingOwn::DefaultUnlessIndexing)
    return a_container.Container::FixDefault();
  CDbIa* pdbia = DbIa();
  if (!pdbia) {
    a_container.SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  return blHandedOn ? pdbia->FixDefault(&a_container) : a_container.Container::FixDefault();
}

template <class Container>
EOSSTS IndexingFixAccess(Container& a_container) {
  const IndexingRow& indexingrow = RowOf(a_container);
  const bool blHandedOn = indexingrow.uHandedOn & s_uFixAccess;
  if (!blHandedOn && indexingrow.indexingown != IndexingOwn::AccessUnlessIndexing)
    return a_container.Container::FixAccess();
  CDbIa* pdbia = DbIa();
  if (!pdbia) {
    if (!blHandedOn) a_container.SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  return blHandedOn ? pdbia->FixAccess(&a_container) : a_container.Container::FixAccess();
}

template <class Container>
EOSSTS IndexingFixCurrent(Container& a_container) {
  const IndexingRow& indexingrow = RowOf(a_container);
  if constexpr (std::is_same_v<Container, CDbEnum>) {
    if (indexingrow.indexingown == IndexingOwn::FormatFollowsSettings) {
      FormatFollowsSettings(a_container);
      return OS_STS_SUCCESS;
    }
  }
  if (!(indexingrow.uHandedOn & s_uFixCurrent)) return a_container.Container::FixCurrent();
  CDbIa* pdbia = DbIa();
  return pdbia ? pdbia->FixCurrent(&a_container) : OS_STS_SUCCESS;
}

// Without the image-address rules the capability is unsupported, and the
// container's own check refuses to store into it.
template <class Container, class Value>
EOSSTS IndexingValidate(Container& a_container, EDBID_WINDOW a_edbidwindow, Value a_value) {
  CDbIa* pdbia = RowOf(a_container).uHandedOn & s_uValidate ? DbIa() : nullptr;
  return pdbia ? pdbia->Validate(&a_container, a_edbidwindow, a_value)
               : a_container.Container::Validate(a_edbidwindow, a_value);
}

template <class Container>
void IndexingMakeXml(Container& a_container, long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  if (!(RowOf(a_container).uHandedOn & s_uMakeXml)) {
    a_container.Container::MakeXml(a_lValue, a_edbdevicedataTarget);
  } else if (CDbIa* pdbia = DbIa()) {
    pdbia->MakeXml(&a_container, a_lValue, a_edbdevicedataTarget);
  }
}

}  // namespace

#define DB_INDEXING_RULES(NAME, CONTAINER)                                                        \
  EOSSTS C##NAME::FixAccess() { return IndexingFixAccess<CONTAINER>(*this); }                     \
  EOSSTS C##NAME::FixCurrent() { return IndexingFixCurrent<CONTAINER>(*this); }                   \
  EOSSTS C##NAME::FixDefault() { return IndexingFixDefault<CONTAINER>(*this); }                   \
  void C##NAME::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {                     \
    IndexingMakeXml<CONTAINER>(*this, a_lValue, a_edbdevicedataTarget);                           \
  }                                                                                               \
  EOSSTS C##NAME::Validate(EDBID_WINDOW a_edbidwindow, DB_INDEXING_VALUE_##CONTAINER a_value) {   \
    return IndexingValidate<CONTAINER>(*this, a_edbidwindow, a_value);                            \
  }
#define DB_INDEXING_VALUE_CDbEnum long
#define DB_INDEXING_VALUE_CDbRange long
#define DB_INDEXING_VALUE_CDbString const char*

DB_INDEXING_CLASSES(DB_INDEXING_RULES)

#undef DB_INDEXING_RULES
#undef DB_INDEXING_VALUE_CDbEnum
#undef DB_INDEXING_VALUE_CDbRange
#undef DB_INDEXING_VALUE_CDbString
