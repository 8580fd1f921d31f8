// The diagnostic tests: each offered (read-write) where the unit in use
// lists it, else hidden, and again whenever the unit changes.
#include "db_cdiagnostics.h"

#include "db_cdatabase.h"
#include "db_crulekit.h"

namespace {

// Each test's name in the scanner's "diagnostictype" list (its lexicon).
struct DiagnosticRow {
  EDBID edbid;
  const char* szKey;
};
constexpr DiagnosticRow s_adiagnosticrow[] = {
    {DB_ID_DIAGBACKGROUNDFRONT, "diagbackgroundfront"},
    {DB_ID_DIAGBACKGROUNDREAR, "diagbackgroundrear"},
    {DB_ID_DIAGCLEANMODE, "diagcleanmode"},
    {DB_ID_DIAGCOOLINGFAN, "diagcoolingfan"},
    {DB_ID_DIAGELEVATOR, "diagelevator"},
    {DB_ID_DIAGFEEDERCLUTCH, "diagfeederclutch"},
    {DB_ID_DIAGFLATBED, "diagflatbed"},
    {DB_ID_DIAGFRONTLAMPS, "diaglampfront"},
    {DB_ID_DIAGIMAGETEST, "diagimagetest"},
    {DB_ID_DIAGLOCKCAMERA, "diaglockcamera"},
    {DB_ID_DIAGREAREXIT, "diagrearexit"},
    {DB_ID_DIAGREARLAMPS, "diaglamprear"},
    {DB_ID_DIAGTRANSPORTMOTOR, "diagadfmotor"},
};

// The default fix of the tests runs before FIRMWARE takes its default, so
// the access pass that ends the start-up applies the unit's list again:
// with a flatbed the tests follow the flatbed's list from the start.
EOSSTS DiagnosticAccess(CDbEnum& a_dbenumOwn) {
  CDatabase* pdatabase = CRuleKit::Database();
  for (const DiagnosticRow& diagnosticrow : s_adiagnosticrow) {
    if (pdatabase && diagnosticrow.edbid == a_dbenumOwn.GetId())
      pdatabase->SetAccessDiag(&a_dbenumOwn, diagnosticrow.szKey);
  }
  return OS_STS_SUCCESS;
}

}  // namespace

#define DB_DIAGNOSTIC_RULES(NAME)                                   \
  EOSSTS NAME::FixAccess() { return DiagnosticAccess(*this); }      \
  EOSSTS NAME::FixDefault() { return DiagnosticAccess(*this); }     \
  EOSSTS NAME::FixCurrent() {                                       \
    if (!CRuleKit::ModifiedIs(DB_ID_FIRMWARE)) return OS_STS_SUCCESS; \
    return DiagnosticAccess(*this);                                 \
  }

DB_DIAGNOSTIC_RULES(CDIAGBACKGROUNDFRONT)
DB_DIAGNOSTIC_RULES(CDIAGBACKGROUNDREAR)
DB_DIAGNOSTIC_RULES(CDIAGCLEANMODE)
DB_DIAGNOSTIC_RULES(CDIAGCOOLINGFAN)
DB_DIAGNOSTIC_RULES(CDIAGELEVATOR)
DB_DIAGNOSTIC_RULES(CDIAGFEEDERCLUTCH)
DB_DIAGNOSTIC_RULES(CDIAGFLATBED)
DB_DIAGNOSTIC_RULES(CDIAGFRONTLAMPS)
DB_DIAGNOSTIC_RULES(CDIAGIMAGETEST)
DB_DIAGNOSTIC_RULES(CDIAGLOCKCAMERA)
DB_DIAGNOSTIC_RULES(CDIAGREAREXIT)
DB_DIAGNOSTIC_RULES(CDIAGREARLAMPS)
DB_DIAGNOSTIC_RULES(CDIAGTRANSPORTMOTOR)

#undef DB_DIAGNOSTIC_RULES
