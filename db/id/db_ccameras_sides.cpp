// SIDESDIFFERENT follows nothing; IMAGESDIFFERENT is decided anew by the
// database whenever the cameras, the job, the paper source, colour detection
// or patch toggling change.
#include "db_ccameras.h"
#include "db_cdatabase.h"
#include "db_crulekit.h"

EOSSTS CSIDESDIFFERENT::FixCurrent() { return OS_STS_SUCCESS; }

EOSSTS CIMAGESDIFFERENT::FixCurrent() {
  DbRuleModified dbrulemodified;
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || CRuleKit::IsLoading() || !CRuleKit::GetModified(this, &dbrulemodified)) return OS_STS_SUCCESS;
  switch (dbrulemodified.edbid) {
    case DB_ID_AUTOCOLORCONTENT:
    case DB_ID_CAMERAENABLE:
    case DB_ID_INPUTDOCUMENT:
    case DB_ID_PAPERSOURCE:
    case DB_ID_TOGGLEPATCH:
      pdatabase->FixImagesDifferent(false);
      break;
    default:
      break;
  }
  return OS_STS_SUCCESS;
}
