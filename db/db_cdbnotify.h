// Change notification: which datums changed, by kind of change, since the
// consumer last cleared the record. One per datum table; the datum layer
// raises the kinds, the user-interface bridge walks them, the driver
// commands, the profiles and the copy rules clear them.
#pragma once

#include <cstdint>

#include "db_def.h"

class CDbDatum;
class CDbNotifyImpl;

class CDbNotify {
 public:
  CDbNotify();
  ~CDbNotify();
  CDbNotify(const CDbNotify&) = delete;
  CDbNotify& operator=(const CDbNotify&) = delete;

  // Records (or clears) the datum under every kind of the set.
  void Set(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum);
  void Reset(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum);
  // Records every accessible master datum; empties whole tables.
  void SetAll(EDBNOTIFY a_edbnotify);
  void ResetAll(EDBNOTIFY a_edbnotify);
  // The lowest kind bit selects the table; the slot's datum or null.
  CDbDatum* Get(EDBNOTIFY a_edbnotify, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid);
  // Walk of one kind's filled slots in the fixed order.
  CDbDatum* GetFirst(EDBNOTIFY a_edbnotify);
  CDbDatum* GetNext(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum);
  uint64_t GetSidesCount();
  uint64_t GetImagesCount();

 private:
  CDbNotifyImpl* m_pdbnotifyimpl;
};
