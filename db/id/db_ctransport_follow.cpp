// How a transport class follows a change: its access anew, the two
// dual-stacking lengths keeping length 1 at or below length 2 where their
// ranges allow, the counts excluding each other (and long paper and
// batches), and the sound resolving its own new value.
#include "db_cdbcontainer.h"
#include "db_ctransport_rows.h"

namespace transport {
namespace {

// Length 1 follows length 2 down unless that lies below length 1's range;
// length 2 follows length 1 up unless that lies above its range.
void PullDown(CDbRange& a_dbrangeOwn, long a_lLength2) {
  if (a_lLength2 < a_dbrangeOwn.GetCurrentLong() && a_lLength2 >= a_dbrangeOwn.GetMin())
    a_dbrangeOwn.SetCurrentLong(a_lLength2);
}

void PushUp(CDbRange& a_dbrangeOwn, long a_lLength1) {
  if (a_lLength1 > a_dbrangeOwn.GetCurrentLong() && a_lLength1 <= a_dbrangeOwn.GetMax())
    a_dbrangeOwn.SetCurrentLong(a_lLength1);
}

}  // namespace

void React(const Follow& a_follow, const Row& a_row, CDbDatum& a_dbdatumOwn, const DbRuleModified& a_dbrulemodified) {
  const long lNew = a_dbrulemodified.lNew;
  switch (a_follow.reaction) {
    case Reaction::Access:
      FixAccess(a_row.eaccess, a_dbdatumOwn);
      return;
    case Reaction::PullDown:
      if (CDbRange* pdbrange = dbcontainer::AsRange(&a_dbdatumOwn)) PullDown(*pdbrange, lNew);
      return;
    case Reaction::PushUp:
      if (CDbRange* pdbrange = dbcontainer::AsRange(&a_dbdatumOwn)) PushUp(*pdbrange, lNew);
      return;
    case Reaction::ZeroAt:
      if (lNew == a_follow.lValue) a_dbdatumOwn.SetCurrentLong(0);
      return;
    case Reaction::ZeroFrom:
      if (lNew >= a_follow.lValue) a_dbdatumOwn.SetCurrentLong(0);
      return;
    case Reaction::Resolve:
      if (CDbString* pdbstring = dbcontainer::AsString(&a_dbdatumOwn)) ResolveSound(*pdbstring);
      return;
  }
}

}  // namespace transport
