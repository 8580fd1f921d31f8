// An enumerated value: a long chosen from a list of allowed items, with a
// current list and a default list (at most 95 items each, in insertion
// order, unique).
#pragma once

#include "db_cdbdatum.h"

class CDbEnum : public CDbDatum {
 public:
  static constexpr long s_lItemSlots = 96;
  static constexpr long s_lItemMax = 95;

  explicit CDbEnum(bool a_blSelectionList = false);
  CDbEnum(EDBID a_edbid, EDBBIN a_edbbin, bool a_blSelectionList);
  ~CDbEnum() override;

  // A different value is a change only where the current list offers it.
  bool Compare(long a_lA, long a_lB) override;
  virtual void InitEnumLong(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, EDBDEVICEDATA a_edbdevicedata,
                            long a_lCurrent, long a_lDefault);
  virtual EOSSTS AddCurrentItem(long a_lItem);
  virtual EOSSTS DeleteCurrentItem(long a_lItem);
  virtual void DeleteAllCurrentItems();
  virtual long GetCurrentItemCount();
  // The item at the index, or the value 3 for an index outside the list.
  virtual long GetCurrentItem(long a_lIndex);
  virtual EOSSTS AddDefaultItem(long a_lItem);
  virtual EOSSTS DeleteDefaultItem(long a_lItem);
  virtual void DeleteAllDefaultItems();
  virtual long GetDefaultItemCount();
  virtual long GetDefaultItem(long a_lIndex);
  virtual bool HasCurrentItem(long a_lItem);
  virtual bool HasDefaultItem(long a_lItem);
  virtual void Reset();
  virtual void Copy(long a_lValue);
  virtual void FixDefaultReset();
  virtual EOSSTS Validate(EDBID_WINDOW a_edbidwindow, long a_lValue);
  virtual EOSSTS FixAccess();
  virtual EOSSTS FixCurrent();
  virtual EOSSTS FixDefault();
  virtual void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget);

  // Whether the four cameras offer the same list.
  bool MatchAcrossBins();
  bool IsSelectionList() const { return m_blSelectionList; }
  CDbEnum* GetProfileContainer() const { return m_pdbenumProfile; }

 protected:
  // The configuration's application action on the default list; false when
  // the configuration names none.
  bool ApplyApplicationAction();

  long m_lCurrentCount;
  long m_alCurrentItems[s_lItemSlots];
  long m_lDefaultCount;
  long m_alDefaultItems[s_lItemSlots];
  CDbEnum* m_pdbenumProfile;  // owned; made by the capability classes that keep one
  bool m_blSelectionList;
};
