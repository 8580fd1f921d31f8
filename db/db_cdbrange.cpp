// The range: its bounds and step, the setters that refuse a change as a
// whole, validation on the step grid, resets, the task argument and the
// match of the four cameras.
#include "db_cdbrange.h"

#include <initializer_list>

#include "db_cdblookup.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {

// Differences are taken in 128 bits: the bounds may be any longs.
using Wide = __int128;

long StoredStep(long a_lMin, long a_lMax, long a_lStep) {
  if (a_lMin == a_lMax) return 0;
  return a_lStep == 0 ? 1 : a_lStep;
}

bool MinAboveMax(long a_lMin, long a_lMax) {
  if (a_lMin <= a_lMax) return false;
  OsLog(OS_LOG_ERROR, "min is greater than max...");
  return true;
}

// A step must lie within the span (and, keeping the grid meaningful, not
// below 0).
bool StepRefused(long a_lMin, long a_lMax, long a_lStep) {
  if (a_lStep < 0) {
    OsLog(OS_LOG_ERROR, "step size is negative...");
    return true;
  }
  if (a_lMin != a_lMax && Wide{a_lMax} - a_lMin < a_lStep) {
    OsLog(OS_LOG_ERROR, "step size is too large...");
    return true;
  }
  return false;
}

}  // namespace

CDbRange::CDbRange() : m_lMin(0), m_lMax(0), m_lStep(0), m_lDefaultMin(0), m_lDefaultMax(0), m_lDefaultStep(0) {
  m_edbcontainertypeObject = DB_CONTAINERTYPE_RANGE;
  InitRangeLong(DB_ID_UNDEFINED, DB_BIN_SEARCH, DB_ACCESS_NOTSUPPORTED, DB_DEVICEDATA_NONE, 0, 0, 0, 0, 0, 0, 0, 0);
}

CDbRange::CDbRange(EDBID a_edbid, EDBBIN a_edbbin) : CDbRange() { InitCDbDatum(a_edbid, a_edbbin, this); }

CDbRange::~CDbRange() = default;

void CDbRange::InitRangeLong(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, EDBDEVICEDATA a_edbdevicedata,
                             long a_lCurrent, long a_lMin, long a_lMax, long a_lStep, long a_lDefault,
                             long a_lDefaultMin, long a_lDefaultMax, long a_lDefaultStep) {
  m_edbcontainertype = DB_CONTAINERTYPE_RANGE;
  InitDatumLong(a_edbid, a_edbbin, a_edbaccess, a_edbdevicedata, a_lCurrent, a_lDefault);
  m_lMin = a_lMin;
  m_lMax = a_lMax;
  m_lStep = a_lStep;
  m_lDefaultMin = a_lDefaultMin;
  m_lDefaultMax = a_lDefaultMax;
  m_lDefaultStep = a_lDefaultStep;
}

long CDbRange::GetMin() { return m_lMin; }
long CDbRange::GetMax() { return m_lMax; }
long CDbRange::GetStep() { return m_lStep; }
long CDbRange::GetDefaultMin() { return m_lDefaultMin; }
long CDbRange::GetDefaultMax() { return m_lDefaultMax; }
long CDbRange::GetDefaultStep() { return m_lDefaultStep; }

// ---------------------------------------------------------------------------
// Setters
// ---------------------------------------------------------------------------
EOSSTS CDbRange::SetCurrent(long a_lValue, long a_lMin, long a_lMax, long a_lStep) {
  if (MinAboveMax(a_lMin, a_lMax)) return DB_EOSSTS_BADARGUMENT;
  if (a_lMin < m_lDefaultMin) {
    OsLog(OS_LOG_ERROR, "min is less than default minimum...");
    return DB_EOSSTS_BADARGUMENT;
  }
  if (a_lMax > m_lDefaultMax) {
    OsLog(OS_LOG_ERROR, "max is greater than default maximum...");
    return DB_EOSSTS_BADARGUMENT;
  }
  if (StepRefused(a_lMin, a_lMax, a_lStep)) return DB_EOSSTS_BADARGUMENT;
  if (a_lValue < a_lMin) {
    OsLog(OS_LOG_ERROR, "current is less than minimum...");
    return DB_EOSSTS_BADARGUMENT;
  }
  if (a_lValue > a_lMax) {
    OsLog(OS_LOG_ERROR, "current is greater than maximum...");
    return DB_EOSSTS_BADARGUMENT;
  }
  SetCurrentLong(a_lValue);
  m_lMin = a_lMin;
  m_lMax = a_lMax;
  m_lStep = StoredStep(a_lMin, a_lMax, a_lStep);
  NotifySet(DB_NOTIFY_CONSTRAINT);
  return OS_STS_SUCCESS;
}

EOSSTS CDbRange::SetDefault(long a_lValue, long a_lMin, long a_lMax, long a_lStep) {
  if (MinAboveMax(a_lMin, a_lMax) || StepRefused(a_lMin, a_lMax, a_lStep)) return DB_EOSSTS_BADARGUMENT;
  if (a_lMin > a_lValue) {
    OsLog(OS_LOG_ERROR, "default is less than minimum...");
    return DB_EOSSTS_BADARGUMENT;
  }
  if (a_lValue > a_lMax) {
    OsLog(OS_LOG_ERROR, "default is greater than maximum...");
    return DB_EOSSTS_BADARGUMENT;
  }
  SetDefaultLong(a_lValue);
  m_lDefaultMin = a_lMin;
  m_lDefaultMax = a_lMax;
  m_lDefaultStep = StoredStep(a_lMin, a_lMax, a_lStep);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Resets, copies and rules
// ---------------------------------------------------------------------------
void CDbRange::Reset() {
  SetCurrentLong(GetDefaultLong());
  m_lMin = m_lDefaultMin;
  m_lMax = m_lDefaultMax;
  m_lStep = m_lDefaultStep;
  NotifySet(DB_NOTIFY_CONSTRAINT);
}

void CDbRange::FixDefaultReset() {
  FixDefaultResetLong(GetDefaultLong());
  m_lMin = m_lDefaultMin;
  m_lMax = m_lDefaultMax;
  m_lStep = m_lDefaultStep;
}

void CDbRange::Copy(long a_lValue) { CopyCurrentLong(a_lValue); }

// Either end is valid even off the grid; a step of 0 accepts only the ends.
EOSSTS CDbRange::Validate(EDBID_WINDOW, long a_lValue) {
  if (!IsModifiable()) return DB_EOSSTS_NOTMODIFIABLE;
  if (a_lValue == m_lMin || a_lValue == m_lMax) return OS_STS_SUCCESS;
  if (m_lStep == 0 || a_lValue < m_lMin || a_lValue > m_lMax) return DB_EOSSTS_REFUSED;
  if ((Wide{a_lValue} - m_lMin) % m_lStep != 0) return DB_EOSSTS_REFUSED;
  return OS_STS_SUCCESS;
}

EOSSTS CDbRange::FixAccess() { return OS_STS_SUCCESS; }

EOSSTS CDbRange::FixCurrent() { return OS_STS_SUCCESS; }

EOSSTS CDbRange::FixDefault() {
  CDbDatum::FixDefault();
  return OS_STS_SUCCESS;
}

bool CDbRange::Compare(long a_lA, long a_lB) { return a_lA != a_lB; }

// The value as a 32-bit integer under the lexicon.
void CDbRange::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  COsXmlTask* posxmltask = LexiconTask();
  if (posxmltask && ConsumersMatch(GetDeviceData(), a_edbdevicedataTarget))
    posxmltask->AddArgument(m_pdblookup2->szLexicon, static_cast<int>(a_lValue), false);
}

// The first accessible camera must have its default bounds, and every later
// one the first's.
bool CDbRange::MatchAcrossBins() {
  if (m_edbbin == DB_BIN_MACHINE) return true;
  CDbRange* pdbrangeFirst = nullptr;
  for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR}) {
    CDbDatum* pdbdatum = DbDatumFind(0, m_edbid, edbbin);
    if (!pdbdatum || pdbdatum->GetAccess() == DB_ACCESS_NOTSUPPORTED) continue;
    if (pdbdatum->GetContainerType() != DB_CONTAINERTYPE_RANGE) continue;
    auto* pdbrange = static_cast<CDbRange*>(pdbdatum);
    if (!pdbrangeFirst) {
      if (pdbrange->GetMin() != pdbrange->GetDefaultMin() || pdbrange->GetMax() != pdbrange->GetDefaultMax() ||
          pdbrange->GetStep() != pdbrange->GetDefaultStep()) {
        return false;
      }
      pdbrangeFirst = pdbrange;
    } else if (pdbrange->GetMin() != pdbrangeFirst->GetMin() || pdbrange->GetMax() != pdbrangeFirst->GetMax() ||
               pdbrange->GetStep() != pdbrangeFirst->GetStep()) {
      return false;
    }
  }
  return true;
}
