// Blank-page detection: the content share is the user's in content mode, the
// size in size mode; the size stays shown (5) in the other modes.
#include "db_cblankpage.h"

#include "db_crulekit.h"

namespace {

long ModeOf(EDBBIN a_edbbin) { return CRuleKit::ValueOf(DB_ID_BLANKPAGEMODE, a_edbbin, 0); }

// The id of M when M belongs to the rule object's camera; 0 otherwise.
EDBID OwnCameraChange(const CDbDatum& a_dbdatumOwn) {
  const CDbDatum* pdbdatum = CDbDatum::GetModified();
  return pdbdatum && pdbdatum->GetBin() == a_dbdatumOwn.GetBin() ? pdbdatum->GetId() : DB_ID_UNDEFINED;
}

}  // namespace

// ---------------------------------------------------------------------------
// BLANKPAGECONTENT
// ---------------------------------------------------------------------------
EOSSTS CBLANKPAGECONTENT::FixAccess() {
  SetAccess(ModeOf(GetBin()) == DB_ID_BLANKPAGEMODE_ENUM_CONTENT ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED);
  return OS_STS_SUCCESS;
}

EOSSTS CBLANKPAGECONTENT::FixCurrent() {
  switch (OwnCameraChange(*this)) {
    case DB_ID_BLANKPAGEMODE:
      FixAccess();
      break;
    case DB_ID_BLANKPAGESIZE:
      SetAccess(DB_ACCESS_DISABLED);
      break;
    default:
      break;
  }
  return OS_STS_SUCCESS;
}

void CBLANKPAGECONTENT::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  if (ModeOf(GetBin()) == DB_ID_BLANKPAGEMODE_ENUM_CONTENT) CDbRange::MakeXml(a_lValue, a_edbdevicedataTarget);
}

// ---------------------------------------------------------------------------
// BLANKPAGEMODE
// ---------------------------------------------------------------------------
void CBLANKPAGEMODE::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDbEnum::MakeXml(a_lValue == DB_ID_BLANKPAGEMODE_ENUM_SIZE ? static_cast<long>(DB_ID_BLANKPAGEMODE_ENUM_NONE) : a_lValue,
                   a_edbdevicedataTarget);
}

// ---------------------------------------------------------------------------
// BLANKPAGESIZE
// ---------------------------------------------------------------------------
EOSSTS CBLANKPAGESIZE::FixAccess() {
  SetAccess(ModeOf(GetBin()) == DB_ID_BLANKPAGEMODE_ENUM_SIZE ? DB_ACCESS_READWRITE : DB_ACCESS_READWRITEDISABLED);
  return OS_STS_SUCCESS;
}

EOSSTS CBLANKPAGESIZE::FixCurrent() {
  if (OwnCameraChange(*this) == DB_ID_BLANKPAGEMODE) FixAccess();
  return OS_STS_SUCCESS;
}
