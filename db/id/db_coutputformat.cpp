// The output format's companions: the JPEG quality while a camera sends
// JPEG, the group 4 codes and the inversion they turn, and the resolution of
// a preview.
#include "db_coutputformat.h"

#include "db_ccompression.h"
#include "db_cdatabase.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

long CompressionOf(EDBBIN a_edbbin) {
  return CRuleKit::ValueOf(DB_ID_COMPRESSION, a_edbbin, DB_ID_COMPRESSION_ENUM_NONE);
}

// A change of the camera's own compression, outside a profile load.
bool IsOwnCompressionChange(CDbDatum* a_pdbdatumOwn) {
  DbRuleModified dbrulemodified;
  return CRuleKit::GetModified(a_pdbdatumOwn, &dbrulemodified) && dbrulemodified.edbid == DB_ID_COMPRESSION &&
         dbrulemodified.blOwnCamera;
}

}  // namespace

// ---------------------------------------------------------------------------
// JPEGQUALITY
// ---------------------------------------------------------------------------
EOSSTS CJPEGQUALITY::FixAccess() {
  CDatabase* pdatabase = CRuleKit::Database();
  CDbDatum* pdbdatum = pdatabase ? pdatabase->FindInBin(GetBin(), DB_ID_COMPRESSION) : nullptr;
  const bool blJpeg = pdbdatum && pdbdatum->GetCurrentLong() == DB_ID_COMPRESSION_ENUM_JPEG;
  SetAccess(CCOMPRESSION::IsAllowed() && blJpeg ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED);
  return OS_STS_SUCCESS;
}

EOSSTS CJPEGQUALITY::FixCurrent() {
  if (!CRuleKit::IsLoading() && IsOwnCompressionChange(this)) FixAccess();
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// PIXELFLAVORCODES
// ---------------------------------------------------------------------------
// The codes matter to group 4 output of the bitonal cameras only.
EOSSTS CPIXELFLAVORCODES::FixAccess() {
  switch (GetBin()) {
    case DB_BIN_BITONAL_FRONT:
    case DB_BIN_BITONAL_REAR:
      switch (const long lCompression = CompressionOf(GetBin())) {
        case DB_ID_COMPRESSION_ENUM_NONE:
          SetAccess(DB_ACCESS_DISABLED);
          break;
        case DB_ID_COMPRESSION_ENUM_GROUP4:
          SetAccess(DB_ACCESS_READWRITE);
          break;
        default:
          OsLog(OS_LOG_ERROR, "bad compression...%ld", lCompression);
          return OS_STS_FAIL;
      }
      break;
    case DB_BIN_COLOR_FRONT:
    case DB_BIN_COLOR_REAR:
      SetAccess(DB_ACCESS_DISABLED);
      break;
    default:
      OsLog(OS_LOG_ERROR, "Invalid bin...%d", GetBin());
      break;
  }
  return OS_STS_SUCCESS;
}

EOSSTS CPIXELFLAVORCODES::FixCurrent() {
  if (IsOwnCompressionChange(this)) FixAccess();
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// PIXELFLAVOR
// ---------------------------------------------------------------------------
// Group 4 inverts exactly when one of the two holds: the inversion is on, or
// the codes are vanilla.
void CPIXELFLAVOR::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  long lValue = a_lValue;
  if (CompressionOf(GetBin()) == DB_ID_COMPRESSION_ENUM_GROUP4) {
    const bool blOn = GetCurrentLong() == DB_ID_PIXELFLAVOR_ENUM_TRUE;
    const bool blVanilla = CRuleKit::ValueOf(DB_ID_PIXELFLAVORCODES, GetBin(), DB_ID_PIXELFLAVORCODES_ENUM_CHOCOLATE) ==
                           DB_ID_PIXELFLAVORCODES_ENUM_VANILLA;
    lValue = blOn != blVanilla ? DB_ID_PIXELFLAVOR_ENUM_TRUE : DB_ID_PIXELFLAVOR_ENUM_FALSE;
  }
  CDbEnum::MakeXml(lValue, a_edbdevicedataTarget);
}

// ---------------------------------------------------------------------------
// XRESOLUTION
// ---------------------------------------------------------------------------
// A preview at normal quality is scanned at 150 dpi, at 200 dpi while a
// custom dropout is learnt.
void CXRESOLUTION::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  long lValue = a_lValue;
  if (CRuleKit::IsPreview() && CRuleKit::ValueOf(DB_ID_PREVIEWQUALITY, DB_BIN_MACHINE,
                                                 DB_ID_PREVIEWQUALITY_ENUM_NORMAL) == DB_ID_PREVIEWQUALITY_ENUM_NORMAL) {
    lValue = CDbDatum::TestDbState(DB_STATE_ECDOCUSTOMLEARN) ? DB_ID_XRESOLUTION_ENUM_200 : DB_ID_XRESOLUTION_ENUM_150;
  }
  CDbEnum::MakeXml(lValue, a_edbdevicedataTarget);
}
