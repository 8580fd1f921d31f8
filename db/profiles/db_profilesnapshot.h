// A private copy of what applying a profile may change in the datums of the
// windows in use: current, previous and profile values (texts for
// strings), the current lists of enumerations and of their profile
// containers, and the profile-change set. A failed apply puts it back, so that the caller's undo point
// (RememberAll) stays the caller's.
#pragma once

#include <vector>

#include "db_def.h"

class CDatabase;
class CDbDatum;

namespace dbprofile {

class Snapshot {
 public:
  // False (logged) when memory runs out: there is then nothing to put back.
  bool Take(CDatabase* a_pdatabase);
  void PutBack();

 private:
  struct Entry {
    CDbDatum* pdbdatum;
    long lCurrent;
    long lPrevious;
    long lProfile;
    // Offsets into m_vecText (strings) and m_vecItem (lists); -1 for none.
    long lText;
    long lItems;
    long lItemCount;
    long lProfileItems;
    long lProfileItemCount;
  };
  void TakeText(CDbDatum* a_pdbdatum, Entry* a_pentry);
  void TakeLists(CDbDatum* a_pdbdatum, Entry* a_pentry);
  void PutBackText(const Entry& a_entry);
  void PutBackLists(const Entry& a_entry);

  CDatabase* m_pdatabase = nullptr;
  std::vector<Entry> m_vecEntry;
  std::vector<CDbDatum*> m_vecChanged;
  std::vector<char> m_vecText;
  std::vector<long> m_vecItem;
};

}  // namespace dbprofile
