// A string value: a text of at most the datum's maximum in characters (and
// below 1024 bytes), held in the container's own buffers.
#pragma once

#include "db_cdbdatum.h"

class CDbString : public CDbDatum {
 public:
  CDbString();
  CDbString(EDBID a_edbid, EDBBIN a_edbbin);
  ~CDbString() override;

  // The values carry text addresses; texts differ byte for byte.
  bool Compare(long a_lA, long a_lB) override;
  virtual EOSSTS InitString(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, EDBDEVICEDATA a_edbdevicedata,
                            size_t a_sizetMaxString, const char* a_szCurrent, const char* a_szDefault,
                            const char* a_szPrevious, const char* a_szProfile);
  virtual void Reset();
  virtual EOSSTS Validate(EDBID_WINDOW a_edbidwindow, const char* a_szValue);
  virtual EOSSTS FixAccess();
  virtual EOSSTS FixCurrent();
  virtual EOSSTS FixDefault();
  virtual void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget);
  virtual void Copy(long a_lValue);
  virtual void FixDefaultReset();

 protected:
  char m_szCurrentString[DB_STRING_SIZE];
  char m_szDefaultString[DB_STRING_SIZE];
  char m_szRestoreString[DB_STRING_SIZE];
  char m_szPreviousString[DB_STRING_SIZE];
  char m_szProfileString[DB_STRING_SIZE];
};
