// COMPRESSION: its comparison and copy across the kinds of camera, the
// choices a model allows and the value a preview sends.
#include "db_ccompression.h"

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_crulekit.h"
#include "os_coscfg.h"

namespace {

bool IsCompressed(long a_lValue) {
  return a_lValue == DB_ID_COMPRESSION_ENUM_GROUP4 || a_lValue == DB_ID_COMPRESSION_ENUM_JPEG;
}

}  // namespace

bool CCOMPRESSION::Compare(long a_lA, long a_lB) {
  if (IsCompressed(a_lA) && IsCompressed(a_lB)) return false;
  return CDbEnum::Compare(a_lA, a_lB);
}

void CCOMPRESSION::Copy(long a_lValue) { CopyCurrentLong(ForBin(GetBin(), a_lValue)); }

long CCOMPRESSION::ForBin(EDBBIN a_edbbin, long a_lValue) {
  const bool blColor = a_edbbin == DB_BIN_COLOR_FRONT || a_edbbin == DB_BIN_COLOR_REAR;
  const bool blBitonal = a_edbbin == DB_BIN_BITONAL_FRONT || a_edbbin == DB_BIN_BITONAL_REAR;
  if (blColor && a_lValue == DB_ID_COMPRESSION_ENUM_GROUP4) return DB_ID_COMPRESSION_ENUM_JPEG;
  if (blBitonal && a_lValue == DB_ID_COMPRESSION_ENUM_JPEG) return DB_ID_COMPRESSION_ENUM_GROUP4;
  return a_lValue;
}

bool CCOMPRESSION::IsAllowed() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (pdatabase && pdatabase->ConfigEnumExists("compressionallowed", "false", DB_CONFIGTARGET_COMMON)) return false;
  return CRuleKit::ConfigNumber(OS_CFGSECTION_MAIN, OS_CFGTAG_SANETWAINVERSION) < 1;
}

EOSSTS CCOMPRESSION::FixDefault() {
  if (!IsAllowed()) {
    DeleteAllDefaultItems();
    AddDefaultItem(DB_ID_COMPRESSION_ENUM_NONE);
    SetDefaultLong(DB_ID_COMPRESSION_ENUM_NONE);
    FixDefaultReset();
  }
  return CDbEnum::FixDefault();
}

void CCOMPRESSION::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDbEnum::MakeXml(CRuleKit::IsPreview() ? static_cast<long>(DB_ID_COMPRESSION_ENUM_NONE) : a_lValue,
                   a_edbdevicedataTarget);
}
