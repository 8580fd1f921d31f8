// The indexing classes with rules of their own: the check digit, which the
// model alone decides, and patch toggling.
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cindexing.h"
#include "db_crulekit.h"

EOSSTS CCHECKDIGIT::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !pdatabase->ConfigExists("iacheckdigit", DB_CONFIGTARGET_COMMON))
    SetAccess(DB_ACCESS_NOTSUPPORTED);
  return OS_STS_SUCCESS;
}

EOSSTS CTOGGLEPATCH::FixDefault() {
  if (CDatabase* pdatabase = CRuleKit::Database())
    pdatabase->FixDefaultEnumFromDbConfig(this, DB_CONFIGTARGET_COMMON, nullptr);
  SetAccess(GetDefaultItemCount() > 0 ? DB_ACCESS_READWRITE : DB_ACCESS_NOTSUPPORTED);
  return OS_STS_SUCCESS;
}

// Toggling needs both faces of every sheet, fed one by one: long paper,
// the flatbed and automatic colour detection turn it off.
EOSSTS CTOGGLEPATCH::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (CRuleKit::GetModified(this, &dbrulemodified)) {
    const bool blOff =
        (dbrulemodified.edbid == DB_ID_CROPPINGMODE && dbrulemodified.lNew == DB_ID_CROPPINGMODE_ENUM_LONGPAPER) ||
        (dbrulemodified.edbid == DB_ID_PAPERSOURCE && dbrulemodified.lNew == DB_ID_PAPERSOURCE_ENUM_FLATBED) ||
        (dbrulemodified.edbid == DB_ID_AUTOCOLORCONTENT && dbrulemodified.lNew != DB_ID_AUTOCOLORCONTENT_ENUM_NONE);
    if (blOff) SetCurrentLong(DB_ID_TOGGLEPATCH_ENUM_NONE);
  }
  return CDbEnum::FixCurrent();
}

void CTOGGLEPATCH::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDbEnum::MakeXml(CRuleKit::IsPreview() ? static_cast<long>(DB_ID_TOGGLEPATCH_ENUM_NONE) : a_lValue,
                   a_edbdevicedataTarget);
}
