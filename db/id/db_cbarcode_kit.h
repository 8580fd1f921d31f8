// What the barcode rules share: the cameras they rule, whether reading is on
// for a camera, and what the scanner and the image library say about
// barcodes in the model configuration.
#pragma once

#include <initializer_list>

#include "db_cdbconfig.h"
#include "db_def.h"

class CDatabase;
class CDbDatum;
struct DbRuleModified;

namespace dbbarcode {

constexpr char s_szType[] = "barcodetype";
// The last values the ordered lists of directions and of areas look at.
constexpr long s_lSearchModeLast = 5;
constexpr long s_lSearchAreaLast = 3;

// The rules act on the cameras alone (bins 2 to 5).
bool IsCamera(EDBBIN a_edbbin);
// The database when the value is a camera still offered once the
// value-level default fix ran (CDbDatum::FixDefault: the model's image
// formats and sides); null otherwise.
CDatabase* Offered(CDbDatum& a_dbdatumOwn);
// BARCODEENABLE of a camera is on; off when missing or not supported.
bool IsReading(EDBBIN a_edbbin);
// The feeder's enumeration of a key holds any value.
bool EnumExists(CDatabase& a_database, const char* a_szKey);
// The scanner reads barcodes: its "barcodetype" names a type, not "none".
bool ScannerReads(CDatabase& a_database);
// The image library reads barcodes: its feeder list names a type other than
// "none" that, on a model with a flatbed, the flatbed's list names too.
bool LibraryReads(CDatabase& a_database);
// A range bound of the configuration as a long (0 when missing).
long ConfigMin(CDatabase& a_database, const char* a_szKey, EDBCONFIGTARGET a_edbconfigtarget);
long ConfigMax(CDatabase& a_database, const char* a_szKey, EDBCONFIGTARGET a_edbconfigtarget);
// M as the rule object sees it when M is one of the ids it follows; false
// otherwise, so that a pass started elsewhere costs a rule one look.
bool ModifiedOf(CDbDatum& a_dbdatumOwn, std::initializer_list<EDBID> a_ilistedbid, DbRuleModified* a_pdbrulemodified);

}  // namespace dbbarcode
