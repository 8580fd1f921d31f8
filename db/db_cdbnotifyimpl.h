// The tables of the change notification. They are ordered bin before id
// (unlike the datum table) and never own the datums they hold; ids run
// 0..252.
#pragma once

#include <cstdint>

#include "db_cdbdatum.h"

constexpr int DB_NOTIFY_IDS = 253;

class CDbNotifyImpl {
 public:
  void Set(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum);
  void Reset(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum);
  void SetAll(EDBNOTIFY a_edbnotify);
  void ResetAll(EDBNOTIFY a_edbnotify);
  CDbDatum* Get(EDBNOTIFY a_edbnotify, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid);
  CDbDatum* GetFirst(EDBNOTIFY a_edbnotify);
  CDbDatum* GetNext(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum);
  uint64_t GetSidesCount() const { return m_u64SidesCount; }
  uint64_t GetImagesCount() const { return m_u64ImagesCount; }

  // The slot of one kind for a window, bin and id; null outside the tables.
  CDbDatum** Slot(int a_iKind, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid);

  CDbDatum* m_apdbdatumValue[DB_WINDOW_COUNT][DB_BIN_COUNT][DB_NOTIFY_IDS];
  CDbDatum* m_apdbdatumAccess[DB_BIN_COUNT][DB_NOTIFY_IDS];
  CDbDatum* m_apdbdatumConstraint[DB_BIN_COUNT][DB_NOTIFY_IDS];
  CDbDatum* m_apdbdatumProfiles[DB_WINDOW_COUNT][DB_BIN_COUNT][DB_NOTIFY_IDS];
  CDbDatum* m_apdbdatumSides[DB_NOTIFY_IDS];
  CDbDatum* m_apdbdatumImages[DB_NOTIFY_IDS];
  uint64_t m_u64SidesCount;
  uint64_t m_u64ImagesCount;

 private:
  // Filled slots of each row of a kind, window and bin: the walks pass over
  // empty rows and a clearing touches only filled ones.
  uint16_t m_au16FilledValue[DB_WINDOW_COUNT][DB_BIN_COUNT];
  uint16_t m_au16FilledAccess[DB_BIN_COUNT];
  uint16_t m_au16FilledConstraint[DB_BIN_COUNT];
  uint16_t m_au16FilledProfiles[DB_WINDOW_COUNT][DB_BIN_COUNT];
  uint16_t m_u16FilledSides;
  uint16_t m_u16FilledImages;

  uint16_t* FilledOf(int a_iKind, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin);
  CDbDatum** SlotOf(int a_iKind, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid);
  void Record(int a_iKind, CDbDatum* a_pdbdatum, bool a_blSet);
  CDbDatum* WalkFrom(int a_iKind, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid);
};
