// COMPRESSION's comparison and copy across the kinds of camera.
#include "db_ccompression.h"

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
