// A range value: a long within a minimum and a maximum on a grid of steps,
// with current bounds that lie within default bounds.
#pragma once

#include "db_cdbdatum.h"

class CDbRange : public CDbDatum {
 public:
  CDbRange();
  CDbRange(EDBID a_edbid, EDBBIN a_edbbin);
  ~CDbRange() override;

  bool Compare(long a_lA, long a_lB) override;
  virtual void InitRangeLong(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, EDBDEVICEDATA a_edbdevicedata,
                             long a_lCurrent, long a_lMin, long a_lMax, long a_lStep, long a_lDefault,
                             long a_lDefaultMin, long a_lDefaultMax, long a_lDefaultStep);
  virtual long GetMin();
  virtual long GetMax();
  virtual long GetStep();
  virtual long GetDefaultMin();
  virtual long GetDefaultMax();
  virtual long GetDefaultStep();
  virtual void Reset();
  // Value and bounds together; a refused call changes nothing (13).
  virtual EOSSTS SetCurrent(long a_lValue, long a_lMin, long a_lMax, long a_lStep);
  virtual EOSSTS SetDefault(long a_lValue, long a_lMin, long a_lMax, long a_lStep);
  virtual EOSSTS Validate(EDBID_WINDOW a_edbidwindow, long a_lValue);
  virtual EOSSTS FixAccess();
  virtual EOSSTS FixCurrent();
  virtual EOSSTS FixDefault();
  virtual void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget);
  virtual void Copy(long a_lValue);
  virtual void FixDefaultReset();

  // Whether the four cameras offer the same bounds.
  bool MatchAcrossBins();

 protected:
  long m_lMin;
  long m_lMax;
  long m_lStep;
  long m_lDefaultMin;
  long m_lDefaultMax;
  long m_lDefaultStep;
};
