// The colour tables: the driver's three tables and their labels, the default
// table, and the document and media types they set.
#include "db_ccolortable.h"

#include <cstring>
#include <iterator>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblookup.h"
#include "db_crulekit.h"
#include "os_cosstring.h"

namespace {

constexpr char s_szUnknown[] = "(unknown)";

// The driver's tables: value, English name, label tag and the label without
// one, and whether it is the default.
struct ColorTableRow {
  long lValue;
  const char* szName;
  const char* szTag;
  const char* szFallback;
  bool blDefault;
};
constexpr ColorTableRow s_acolortablerow[] = {
    {DB_ID_COLORTABLE_ENUM_FILE01, "Pictures", "colortable_picture", "picture", false},
    {DB_ID_COLORTABLE_ENUM_FILE02, "Text", "colortable_text", "text", false},
    {DB_ID_COLORTABLE_ENUM_FILE03, "Text with Pictures", "colortable_textwithpicture", "text with picture", true},
};

// What a table sets: the document and media types that suit it.
struct ColorTableFollower {
  long lColorTable;
  long lDocumentType;
  long lMediaType;
};
constexpr ColorTableFollower s_acolortablefollower[] = {
    {DB_ID_COLORTABLE_ENUM_FILE01, DB_ID_DOCUMENTTYPE_ENUM_PHOTO, DB_ID_MEDIATYPE_ENUM_GLOSSYPAPER},
    {DB_ID_COLORTABLE_ENUM_FILE02, DB_ID_DOCUMENTTYPE_ENUM_TEXT, DB_ID_MEDIATYPE_ENUM_PLAINPAPER},
    {DB_ID_COLORTABLE_ENUM_FILE03, DB_ID_DOCUMENTTYPE_ENUM_TEXTWITHGRAPHICS, DB_ID_MEDIATYPE_ENUM_PLAINPAPER},
};

bool EndsColorTables(const DbColorTableRecord& a_dbcolortablerecord) {
  return a_dbcolortablerecord.i32Value == 0 || a_dbcolortablerecord.szLabel[0] == '\0';
}

// The document and media types follow their own camera's colour table
// (where the device library is there to use it), and keep the cameras
// alike: each side its own where the model says so, else all four.
void FollowColorTable(CDbEnum& a_dbenumOwn, bool a_blDocumentType) {
  CDatabase* pdatabase = CRuleKit::Database();
  DbRuleModified dbrulemodified;
  if (!pdatabase || CRuleKit::IsLoading() || !CRuleKit::GetModified(&a_dbenumOwn, &dbrulemodified)) return;
  if (dbrulemodified.edbid == DB_ID_COLORTABLE) {
    if (!dbrulemodified.blOwnCamera || !pdatabase->IsIdSupported(DB_ID_DEVICEDLL)) return;
    for (const ColorTableFollower& colortablefollower : s_acolortablefollower) {
      if (colortablefollower.lColorTable == dbrulemodified.lNew)
        a_dbenumOwn.SetCurrentLong(a_blDocumentType ? colortablefollower.lDocumentType : colortablefollower.lMediaType);
    }
  } else if (dbrulemodified.edbid == a_dbenumOwn.GetId()) {
    const bool blPerSide = pdatabase->ConfigExists("documentmediatypeperside", DB_CONFIGTARGET_COMMON);
    if (blPerSide ? dbrulemodified.blPartner : !dbrulemodified.blOwnCamera)
      a_dbenumOwn.SetCurrentLong(dbrulemodified.lNew);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// The colour tables
// ---------------------------------------------------------------------------
EOSSTS LoadColorTables(CDbEnum* a_pdbenumColorTable) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !a_pdbenumColorTable || !pdatabase->IsIdSupported(DB_ID_COLORTABLE)) return OS_STS_SUCCESS;
  DbColorTableRecord* adbcolortablerecord = pdatabase->DeviceGetColorTableHeader();
  std::memset(adbcolortablerecord, 0, sizeof(DbColorTableRecord) * DB_COLORTABLE_RECORDS);
  DbColorTableRecord& dbcolortablerecordHead = adbcolortablerecord[0];
  COsString::SStrCpy(dbcolortablerecordHead.szName, sizeof dbcolortablerecordHead.szName, s_szUnknown);
  COsString::SStrCpy(dbcolortablerecordHead.szLabel, sizeof dbcolortablerecordHead.szLabel, s_szUnknown);
  DbLookupEnumTexts adblookupenumtexts[std::size(s_acolortablerow)];
  long lRecord = 1;
  for (const ColorTableRow& colortablerow : s_acolortablerow) {
    DbColorTableRecord& dbcolortablerecord = adbcolortablerecord[lRecord];
    dbcolortablerecord.i32Value = static_cast<int32_t>(colortablerow.lValue);
    COsString::SStrCpy(dbcolortablerecord.szName, sizeof dbcolortablerecord.szName, colortablerow.szName);
    // A label too long for its field is cut, never left out.
    const char* szLabel = pdatabase->LabelGet(colortablerow.szTag, colortablerow.szFallback, -1);
    const size_t sizetLabel = strnlen(szLabel, sizeof dbcolortablerecord.szLabel - 1);
    std::memcpy(dbcolortablerecord.szLabel, szLabel, sizetLabel);
    dbcolortablerecord.i64Default = colortablerow.blDefault ? 1 : 0;
    if (colortablerow.blDefault) dbcolortablerecordHead.i64Default = colortablerow.lValue;
    adblookupenumtexts[lRecord - 1] = {colortablerow.lValue, nullptr, dbcolortablerecord.szLabel};
    ++lRecord;
  }
  pdatabase->LookupRepointEnums(a_pdbenumColorTable->GetLookup(), adblookupenumtexts, lRecord - 1);
  return OS_STS_SUCCESS;
}

// Only a model with colour output applies colour tables.
EOSSTS CCOLORTABLE::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_SUCCESS;
  if (!pdatabase->ConfigEnumExists("imageformat", "rgb_24", DB_CONFIGTARGET_COMMON)) {
    SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  LoadColorTables(this);
  const DbColorTableRecord* adbcolortablerecord = pdatabase->DeviceGetColorTableHeader();
  DeleteAllDefaultItems();
  for (long l = 1; l < DB_COLORTABLE_RECORDS && !EndsColorTables(adbcolortablerecord[l]); ++l)
    AddDefaultItem(adbcolortablerecord[l].i32Value);
  SetDefaultLong(static_cast<long>(adbcolortablerecord[0].i64Default));
  FixDefaultReset();
  return CDbEnum::FixDefault();
}

// The labels follow the language.
EOSSTS CCOLORTABLE::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (CRuleKit::GetModified(this, &dbrulemodified) && dbrulemodified.edbid == DB_ID_LANGUAGE) LoadColorTables(this);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Document and media types
// ---------------------------------------------------------------------------
EOSSTS CDOCUMENTTYPE::FixDefault() {
  if (CDatabase* pdatabase = CRuleKit::Database())
    pdatabase->FixDefaultEnumFromDbConfig(this, DB_CONFIGTARGET_COMMON, nullptr);
  return CDbEnum::FixDefault();
}

EOSSTS CDOCUMENTTYPE::FixCurrent() {
  FollowColorTable(*this, true);
  return OS_STS_SUCCESS;
}

void CDOCUMENTTYPE::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDatabase* pdatabase = CRuleKit::Database();
  const uint32_t u32Forced = pdatabase ? pdatabase->GetOverride()->u32DocumentType : 0;
  CDbEnum::MakeXml(u32Forced != 0 ? static_cast<long>(u32Forced) : a_lValue, a_edbdevicedataTarget);
}

EOSSTS CMEDIATYPE::FixCurrent() {
  FollowColorTable(*this, false);
  return OS_STS_SUCCESS;
}
