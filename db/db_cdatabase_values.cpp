// Values through the database: the readers, the set path (validation on the
// master, store, fix-up) with its ignore-access and force forms, the string,
// range and reset setters, and the group setters of the barcode region and
// the frame.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"

using dbcontainer::AsEnum;
using dbcontainer::AsRange;
using dbcontainer::AsString;

namespace {

bool NoDatum(const CDbDatum* a_pdbdatum, const char* a_szMessage = "Bad a_hdbdatum...") {
  if (a_pdbdatum) return false;
  OsLog(OS_LOG_ERROR, "%s", a_szMessage);
  return true;
}

bool IsLongContainer(CDbDatum* a_pdbdatum) {
  const EDBCONTAINERTYPE edbcontainertype = a_pdbdatum->GetContainerType();
  if (edbcontainertype == DB_CONTAINERTYPE_RANGE || edbcontainertype == DB_CONTAINERTYPE_ENUM) return true;
  OsLog(OS_LOG_ERROR, "Bad container...%d", edbcontainertype);
  return false;
}

// The master's judgement of a long for the datum's window: the per-window
// copies share the one constraint of window 0.
EDBSTS ValidateOnMaster(CDbDatum* a_pdbdatum, long a_lValue) {
  CDbDatum* pdbdatumMaster = dbcontainer::Master(a_pdbdatum);
  if (CDbEnum* pdbenum = AsEnum(pdbdatumMaster))
    return static_cast<EDBSTS>(pdbenum->Validate(a_pdbdatum->GetWindow(), a_lValue));
  if (CDbRange* pdbrange = AsRange(pdbdatumMaster))
    return static_cast<EDBSTS>(pdbrange->Validate(a_pdbdatum->GetWindow(), a_lValue));
  OsLog(OS_LOG_ERROR, "master not found...%d %d %d", a_pdbdatum->GetWindow(), a_pdbdatum->GetId(),
        a_pdbdatum->GetBin());
  return DB_STS_FAIL;
}

// How the long setters differ.
struct SetLongForm {
  const char* szNoDatum;
  bool blAcceptNotModifiable;  // store what validation finds not modifiable (14)
  bool blForce;                // store an unchanged value too
};

constexpr SetLongForm s_setlongformChecked = {"Bad a_hdbdatum...", false, false};
constexpr SetLongForm s_setlongformIgnoreAccess = {"Bad a_hdbdatum...", true, false};
constexpr SetLongForm s_setlongformForce = {"Invalid HDBDATUM...", true, true};

bool Unchanged(CDbDatum* a_pdbdatum, long a_lValue) {
  // The read runs the datum's get callback (outside a pass), which may
  // refresh the value first.
  return a_pdbdatum->GetCurrentLong() == a_lValue && !CDbDatum::TestDbState(DB_STATE_APPLICATION) &&
         !CDbDatum::TestDbState(DB_STATE_GUI);
}

// Everything of the set path before the fix-up: validation comes before the
// store and a refusal stores nothing; the forms that accept 14 return it
// after storing. a_pblStored tells the caller whether to fix up.
EDBSTS StoreLong(CDatabase& a_database, CDbDatum* a_pdbdatum, long a_lValue, const SetLongForm& a_form,
                 bool* a_pblStored) {
  *a_pblStored = false;
  if (NoDatum(a_pdbdatum, a_form.szNoDatum)) return DB_STS_FAIL;
  if (!IsLongContainer(a_pdbdatum)) return DB_STS_BADCONTAINER;
  if (!a_form.blForce && Unchanged(a_pdbdatum, a_lValue)) return DB_STS_SUCCESS;
  OsLogDebug(OS_LOG_INFO, ">>> CDatabase::SetCurrentLong(%s)", a_database.GetName(a_pdbdatum));
  const EDBSTS edbsts = ValidateOnMaster(a_pdbdatum, a_lValue);
  if (edbsts != DB_STS_SUCCESS && !(a_form.blAcceptNotModifiable && edbsts == DB_STS_NOTAVAILABLE)) return edbsts;
  if (a_form.blForce) {
    a_pdbdatum->ForceCurrentLong(a_lValue);
  } else {
    a_pdbdatum->SetCurrentLong(a_lValue);
  }
  *a_pblStored = true;
  return edbsts;
}

// A string datum holds its own constraint (strings have no window copies).
EDBSTS SetString(CDatabase& a_database, CDbDatum* a_pdbdatum, const char* a_szValue, bool a_blForce) {
  if (NoDatum(a_pdbdatum)) return DB_STS_FAIL;
  CDbString* pdbstring = AsString(a_pdbdatum);
  if (!pdbstring) {
    OsLog(OS_LOG_ERROR, "Bad container...%d", a_pdbdatum->GetContainerType());
    return DB_STS_BADCONTAINER;
  }
  const EOSSTS eossts = pdbstring->Validate(a_pdbdatum->GetWindow(), a_szValue);
  if (eossts != OS_STS_SUCCESS && !(a_blForce && eossts == DB_EOSSTS_NOTMODIFIABLE)) return static_cast<EDBSTS>(eossts);
  if (const EOSSTS eosstsStore = a_pdbdatum->SetCurrentString(a_szValue); eosstsStore != OS_STS_SUCCESS)
    return static_cast<EDBSTS>(eosstsStore);
  a_database.FixCurrentAll(a_pdbdatum);
  return DB_STS_SUCCESS;
}

struct GroupValue {
  EDBID edbid;
  long lValue;
};

// Every datum is found before any is stored, so a window or bin out of
// range changes nothing. The blank datum of an empty slot has nowhere to
// keep a value; the pass still runs.
template <size_t N>
EDBSTS SetGroup(CDatabase& a_database, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin,
                const GroupValue (&a_agroupvalue)[N], bool a_blPassEach) {
  CDbDatum* apdbdatum[N] = {};
  for (size_t sizet = 0; sizet < N; ++sizet) {
    apdbdatum[sizet] = a_database.FindInWindowBin(a_edbidwindow, a_edbbin, a_agroupvalue[sizet].edbid);
    if (!apdbdatum[sizet]) return DB_STS_BADARGUMENT;
  }
  const CDbDatum* pdbdatumBlank = CDbDatum::ms_pdatumcommon ? CDbDatum::ms_pdatumcommon->pdbdatumBlank : nullptr;
  for (size_t sizet = 0; sizet < N; ++sizet) {
    if (apdbdatum[sizet] != pdbdatumBlank) apdbdatum[sizet]->SetCurrentLong(a_agroupvalue[sizet].lValue);
    if (a_blPassEach || sizet + 1 == N) a_database.FixCurrentAll(apdbdatum[sizet]);
  }
  return DB_STS_SUCCESS;
}

}  // namespace

// ---------------------------------------------------------------------------
// Readers
// ---------------------------------------------------------------------------
long CDatabase::GetCurrentLong(CDbDatum* a_pdbdatum) { return NoDatum(a_pdbdatum) ? 0 : a_pdbdatum->GetCurrentLong(); }

long CDatabase::GetCurrentLongNoCallback(CDbDatum* a_pdbdatum) {
  return NoDatum(a_pdbdatum) ? 0 : a_pdbdatum->GetCurrentLongNoCallback();
}

long CDatabase::GetDefaultLong(CDbDatum* a_pdbdatum) { return NoDatum(a_pdbdatum) ? 0 : a_pdbdatum->GetDefaultLong(); }

long CDatabase::GetPreviousLong(CDbDatum* a_pdbdatum) {
  return NoDatum(a_pdbdatum) ? 0 : a_pdbdatum->GetPreviousLong();
}

long CDatabase::GetRestoreLong(CDbDatum* a_pdbdatum) { return NoDatum(a_pdbdatum) ? 0 : a_pdbdatum->GetRestoreLong(); }

long CDatabase::GetProfileLong(CDbDatum* a_pdbdatum) { return NoDatum(a_pdbdatum) ? 0 : a_pdbdatum->GetProfileLong(); }

EDBSTS CDatabase::SetProfilesLong(CDbDatum* a_pdbdatum, long a_lValue) {
  if (NoDatum(a_pdbdatum)) return DB_STS_FAIL;
  a_pdbdatum->SetProfileLong(a_lValue);
  return DB_STS_SUCCESS;
}

const char* CDatabase::GetCurrentString(CDbDatum* a_pdbdatum) {
  return NoDatum(a_pdbdatum, "a_hdbdatum is NULL...") ? nullptr : a_pdbdatum->GetCurrentString();
}

const char* CDatabase::GetDefaultString(CDbDatum* a_pdbdatum) {
  return NoDatum(a_pdbdatum, "a_hdbdatum is NULL...") ? nullptr : a_pdbdatum->GetDefaultString();
}

const char* CDatabase::GetProfilesString(CDbDatum* a_pdbdatum) {
  return NoDatum(a_pdbdatum, "a_hdbdatum is NULL...") ? nullptr : a_pdbdatum->GetProfilesString();
}

EDBSTS CDatabase::UpdateProfilesString(CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum, "a_hdbdatum is NULL...")) return DB_STS_FAIL;
  return static_cast<EDBSTS>(a_pdbdatum->UpdateProfilesString());
}

bool CDatabase::IsValueMatch(CDbDatum* a_pdbdatumA, CDbDatum* a_pdbdatumB) {
  if (NoDatum(a_pdbdatumA) || NoDatum(a_pdbdatumB)) return false;
  if (a_pdbdatumA->GetDataType() != a_pdbdatumB->GetDataType()) return false;
  switch (a_pdbdatumA->GetDataType()) {
    case DB_DATATYPE_LONG:
      return a_pdbdatumA->GetCurrentLong() == a_pdbdatumB->GetCurrentLong();
    case DB_DATATYPE_STRING:
      return std::strcmp(a_pdbdatumA->GetCurrentString(), a_pdbdatumB->GetCurrentString()) == 0;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized datatype...%d", a_pdbdatumA->GetDataType());
      return true;
  }
}

// ---------------------------------------------------------------------------
// The set path
// ---------------------------------------------------------------------------
EDBSTS CDatabase::SetCurrentLong(CDbDatum* a_pdbdatum, long a_lValue, bool a_blOnlyThis) {
  bool blStored = false;
  const EDBSTS edbsts = StoreLong(*this, a_pdbdatum, a_lValue, s_setlongformChecked, &blStored);
  if (blStored && a_blOnlyThis) {
    FixCurrentOnly(a_pdbdatum);
  } else if (blStored) {
    FixCurrentAll(a_pdbdatum);
  }
  return edbsts;
}

EDBSTS CDatabase::SetCurrentLongIgnoreAccess(CDbDatum* a_pdbdatum, long a_lValue) {
  bool blStored = false;
  const EDBSTS edbsts = StoreLong(*this, a_pdbdatum, a_lValue, s_setlongformIgnoreAccess, &blStored);
  if (blStored) FixCurrentAll(a_pdbdatum);
  return edbsts;
}

EDBSTS CDatabase::ForceCurrentLong(CDbDatum* a_pdbdatum, long a_lValue) {
  bool blStored = false;
  const EDBSTS edbsts = StoreLong(*this, a_pdbdatum, a_lValue, s_setlongformForce, &blStored);
  if (blStored) FixCurrentAll(a_pdbdatum);
  return edbsts;
}

EDBSTS CDatabase::SetCurrentString(CDbDatum* a_pdbdatum, const char* a_szValue) {
  return SetString(*this, a_pdbdatum, a_szValue, false);
}

EDBSTS CDatabase::ForceCurrentString(CDbDatum* a_pdbdatum, const char* a_szValue) {
  return SetString(*this, a_pdbdatum, a_szValue, true);
}

EDBSTS CDatabase::RangeSetCurrent(CDbDatum* a_pdbdatum, long a_lValue, long a_lMin, long a_lMax, long a_lStep) {
  if (NoDatum(a_pdbdatum, "a_hdbdatum is NULL...")) return DB_STS_BADARGUMENT;
  CDbRange* pdbrange = AsRange(a_pdbdatum);
  if (!pdbrange) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum not a range...%d", a_pdbdatum->GetId());
    return DB_STS_BADARGUMENT;
  }
  if (const EOSSTS eossts = pdbrange->SetCurrent(a_lValue, a_lMin, a_lMax, a_lStep); eossts != OS_STS_SUCCESS)
    return static_cast<EDBSTS>(eossts);
  FixCurrentAll(a_pdbdatum);
  return DB_STS_SUCCESS;
}

EDBSTS CDatabase::ResetCurrent(CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum, "Invalid hdbdatum...")) return DB_STS_FAIL;
  if (!dbcontainer::ByContainer(a_pdbdatum, [](auto* a_pcontainer) { a_pcontainer->Reset(); })) {
    OsLog(OS_LOG_ERROR, "Bad container...%d", a_pdbdatum->GetContainerType());
    return DB_STS_BADCONTAINER;
  }
  FixCurrentAll(a_pdbdatum);
  return DB_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Group setters
// ---------------------------------------------------------------------------
EDBSTS CDatabase::SetBarcodeSearchRegion(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, long a_lX, long a_lY,
                                         long a_lWidth, long a_lHeight) {
  const GroupValue agroupvalue[] = {{DB_ID_BARCODESEARCHREGIONOFFSETX, a_lX},
                                    {DB_ID_BARCODESEARCHREGIONOFFSETY, a_lY},
                                    {DB_ID_BARCODESEARCHREGIONWIDTH, a_lWidth},
                                    {DB_ID_BARCODESEARCHREGIONHEIGHT, a_lHeight}};
  return SetGroup(*this, a_edbidwindow, a_edbbin, agroupvalue, true);
}

EDBSTS CDatabase::SetFrameAngle(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, long a_lX, long a_lY, long a_lWidth,
                                long a_lHeight, long a_lAngle) {
  const GroupValue agroupvalue[] = {{DB_ID_FRAMEXOFFSET, a_lX},
                                    {DB_ID_FRAMEYOFFSET, a_lY},
                                    {DB_ID_FRAMEWIDTH, a_lWidth},
                                    {DB_ID_FRAMEHEIGHT, a_lHeight},
                                    {DB_ID_IMAGESKEWANGLE, a_lAngle}};
  return SetGroup(*this, a_edbidwindow, a_edbbin, agroupvalue, false);
}
