// The printer's write sequence as the image-address rules keep it.
#include "db_cprinterwritesequencestring.h"

#include "db_cdatabase.h"
#include "db_cdbia.h"
#include "db_crulekit.h"

EOSSTS CPRINTERWRITESEQUENCESTRING::FixCurrent() {
  CDatabase* pdatabase = CRuleKit::Database();
  CDbIa* pdbia = pdatabase ? pdatabase->GetDbIa() : nullptr;
  return pdbia ? pdbia->FixCurrent(this) : OS_STS_SUCCESS;
}
