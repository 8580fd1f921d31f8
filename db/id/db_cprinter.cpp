// The printer classes: the table of what each one rules and the rule
// operations every one of them runs through it.
#include "db_cprinter.h"

#include <array>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cprinter_kit.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

namespace dbprinter {

namespace {

using D = PrinterDefault;
using A = PrinterAccess;
using C = PrinterCurrent;
using V = PrinterCheck;

constexpr unsigned s_uSet = s_uFollowPrinterSet;

constexpr PrinterRow s_aprinterrow[] = {
    {DB_ID_CARTRIDGEDETECTED, D::Key, "cartridgedetect", 0, A::Container, 0, C::None, V::Container},
    {DB_ID_PRINTER, D::Key, "printer", 0, A::Container, 0, C::None, V::Container},
    {DB_ID_PRINTERDATE, D::Support, nullptr, 0, A::Printer, s_uSet, C::None, V::Date},
    {DB_ID_PRINTERDATEDELIMITER, D::Support, nullptr, 0, A::Printer, s_uSet, C::None, V::Composition},
    {DB_ID_PRINTERDATEFORMAT, D::DateFormats, "printerdateformat", 10, A::Printer, s_uSet, C::None, V::Composition},
    {DB_ID_PRINTERENABLED, D::Key, "printer", 0, A::Enabled, s_uFollowPaperSource | s_uFollowTest, C::None,
     V::Container},
    {DB_ID_PRINTERFONT, D::Fonts, "printerfont", 0, A::Printer, s_uSet, C::None, V::Container},
    {DB_ID_PRINTERFONTFORMAT, D::FontFormat, nullptr, 0, A::Printer, s_uSet, C::None, V::Container},
    {DB_ID_PRINTERIMAGEADDRESSFORMAT, D::ImageAddress, nullptr, 0, A::Container, 0, C::None, V::Container},
    {DB_ID_PRINTERIMAGEADDRESSLEVEL, D::ImageAddress, nullptr, 0, A::Level, s_uSet | s_uFollowIndexingFormat, C::None,
     V::Container},
    {DB_ID_PRINTERINDEX, D::Container, nullptr, 0, A::Container, 0, C::RevalidateIndex, V::Index},
    {DB_ID_PRINTERINDEXDIGITS, D::Support, nullptr, 0, A::Printer, s_uSet, C::None, V::Composition},
    {DB_ID_PRINTERINDEXFORMAT, D::Support, nullptr, 0, A::Printer, s_uSet, C::None, V::Container},
    {DB_ID_PRINTERINDEXINCREMENT, D::OrderedList, "printerindexincrement", 7, A::Printer, s_uSet, C::Exclusion,
     V::Container},
    {DB_ID_PRINTERINDEXRESET, D::OrderedList, "printerindexreset", 7, A::Printer, s_uSet, C::Exclusion, V::Container},
    {DB_ID_PRINTERINDEXRESETVALUE, D::ResetValueRange, "printerindexresetvalue", 0, A::Printer,
     s_uSet | s_uFollowDigits, C::RevalidateResetValue, V::Index},
    {DB_ID_PRINTERPOSITION, D::PositionRange, "printerposition", 0, A::Position,
     s_uFollowPaperSource | s_uFollowEnabled | s_uFollowTest, C::HeightCap, V::Container},
    {DB_ID_PRINTERTEST, D::Key, "printer", 0, A::Test, s_uFollowPaperSource, C::None, V::Container},
    {DB_ID_PRINTERTIME, D::Support, nullptr, 0, A::Printer, s_uSet, C::None, V::Time},
    {DB_ID_PRINTERTIMEFORMAT, D::OrderedList, "printertimeformat", 10, A::Printer, s_uSet, C::None,
     V::Composition},
    {DB_ID_PRINTERWRITESEQUENCE, D::Items, nullptr, 0, A::Printer, s_uSet, C::None, V::Container},
    {DB_ID_PRINTERWRITESEQUENCEMESSAGE1, D::Support, nullptr, 0, A::Printer, s_uSet, C::None, V::Message},
    {DB_ID_PRINTERWRITESEQUENCEMESSAGE2, D::Support, nullptr, 0, A::Printer, s_uSet, C::None, V::Message},
    {DB_ID_PRINTERWRITESEQUENCEMESSAGE3, D::Support, nullptr, 0, A::Printer, s_uSet, C::None, V::Message},
    {DB_ID_PRINTERWRITESEQUENCEMESSAGE4, D::Support, nullptr, 0, A::Printer, s_uSet, C::None, V::Message},
    {DB_ID_PRINTERWRITESEQUENCEMESSAGE5, D::Support, nullptr, 0, A::Printer, s_uSet, C::None, V::Message},
    {DB_ID_PRINTERWRITESEQUENCEMESSAGE6, D::Support, nullptr, 0, A::Printer, s_uSet, C::None, V::Message},
    {DB_ID_PRINTERWRITESEQUENCESTRING, D::SizeLimit, nullptr, 0, A::Printer, s_uSet, C::ImageAddress, V::Sequence},
    {DB_ID_PRINTONIMAGEFRONT, D::Key, "printonimage", 0, A::ImageFront, s_uFollowInputDocument, C::None, V::Container},
    {DB_ID_PRINTONIMAGEPOSITIONX, D::ImagePositionRange, "printonimagepositionx", 0, A::ImagePosition, s_uSet, C::None,
     V::Container},
    {DB_ID_PRINTONIMAGEPOSITIONY, D::ImagePositionRange, "printonimagepositiony", 0, A::ImagePosition, s_uSet, C::None,
     V::Container},
    {DB_ID_PRINTONIMAGEREAR, D::Key, "printonimage", 0, A::ImageRear, s_uFollowInputDocument, C::None, V::Container},
};

// The rows by id, for a look-up per rule call; an id without a row has
// the Container and None kinds, which come first.
constexpr std::array<PrinterRow, DB_ID_COUNT> s_aprinterrowById = [] {
  std::array<PrinterRow, DB_ID_COUNT> aprinterrow{};
  for (const PrinterRow& printerrow : s_aprinterrow) aprinterrow[printerrow.edbid] = printerrow;
  return aprinterrow;
}();

// The bits by id of the capabilities a row may follow.
constexpr struct {
  EDBID edbid;
  unsigned uBit;
} s_afollow[] = {{DB_ID_INPUTDOCUMENT, s_uFollowInputDocument}, {DB_ID_PAPERSOURCE, s_uFollowPaperSource},
                 {DB_ID_PRINTERENABLED, s_uFollowEnabled},      {DB_ID_PRINTERTEST, s_uFollowTest},
                 {DB_ID_PRINTONIMAGEFRONT, s_uFollowFront},     {DB_ID_PRINTONIMAGEREAR, s_uFollowRear},
                 {DB_ID_PRINTERINDEXDIGITS, s_uFollowDigits},   {DB_ID_INDEXINGFORMAT, s_uFollowIndexingFormat}};

}  // namespace

const PrinterRow& RowOf(const CDbDatum& a_dbdatum) {
  const int iId = a_dbdatum.GetId();
  return s_aprinterrowById[iId >= 0 && iId < DB_ID_COUNT ? iId : 0];
}

bool Follows(unsigned a_uFollows, EDBID a_edbid) {
  for (const auto& follow : s_afollow) {
    if (follow.edbid == a_edbid) return (a_uFollows & follow.uBit) != 0;
  }
  return false;
}

bool HasSupport(CDatabase& a_database) {
  return a_database.ConfigExists("printer", DB_CONFIGTARGET_COMMON) ||
         a_database.ConfigExists("printonimage", DB_CONFIGTARGET_COMMON);
}

bool HasRangeKeys(CDatabase& a_database, const char* a_szKey) {
  char szMin[64];
  char szMax[64];
  COsString::SStrPrintf(szMin, sizeof szMin, "%s_rangemin", a_szKey);
  COsString::SStrPrintf(szMax, sizeof szMax, "%s_rangemax", a_szKey);
  return a_database.ConfigExists(szMin, DB_CONFIGTARGET_COMMON) &&
         a_database.ConfigExists(szMax, DB_CONFIGTARGET_COMMON);
}

}  // namespace dbprinter

namespace {

using namespace dbprinter;

template <class Container>
EOSSTS PrinterFixDefault(Container& a_container) {
  const PrinterRow& printerrow = RowOf(a_container);
  if (printerrow.printerdefault == PrinterDefault::Container) return a_container.Container::FixDefault();
  FixDefaultOf(a_container, printerrow);
  return OS_STS_SUCCESS;
}

template <class Container>
EOSSTS PrinterFixAccess(Container& a_container) {
  const PrinterRow& printerrow = RowOf(a_container);
  if (printerrow.printeraccess == PrinterAccess::Container) return a_container.Container::FixAccess();
  FixAccessOf(a_container, printerrow);
  return OS_STS_SUCCESS;
}

// Following comes first: what a class does beyond it sees its new access.
template <class Container>
EOSSTS PrinterFixCurrent(Container& a_container) {
  CDbDatum* pdbdatumModified = CDbDatum::GetModified();
  if (!pdbdatumModified) return OS_STS_SUCCESS;
  const PrinterRow& printerrow = RowOf(a_container);
  if (Follows(printerrow.uFollows, pdbdatumModified->GetId())) a_container.FixAccess();
  if (printerrow.printercurrent != PrinterCurrent::None) FixCurrentOf(a_container, printerrow, *pdbdatumModified);
  return OS_STS_SUCCESS;
}

}  // namespace

#define DB_PRINTER_RULES(NAME, CONTAINER)                                                      \
  EOSSTS C##NAME::FixAccess() { return PrinterFixAccess<CONTAINER>(*this); }                   \
  EOSSTS C##NAME::FixCurrent() { return PrinterFixCurrent<CONTAINER>(*this); }                 \
  EOSSTS C##NAME::FixDefault() { return PrinterFixDefault<CONTAINER>(*this); }                 \
  EOSSTS C##NAME::Validate(EDBID_WINDOW a_edbidwindow, DB_PRINTER_VALUE_##CONTAINER a_value) { \
    return ValidateOf(static_cast<CONTAINER&>(*this), RowOf(*this), a_edbidwindow, a_value);   \
  }
#define DB_PRINTER_VALUE_CDbEnum long
#define DB_PRINTER_VALUE_CDbRange long
#define DB_PRINTER_VALUE_CDbString const char*

DB_PRINTER_CLASSES(DB_PRINTER_RULES)
DB_PRINTER_RULES(PRINTERWRITESEQUENCESTRING, CDbString)

#undef DB_PRINTER_RULES
#undef DB_PRINTER_VALUE_CDbEnum
#undef DB_PRINTER_VALUE_CDbRange
#undef DB_PRINTER_VALUE_CDbString

bool CPRINTERWRITESEQUENCESTRING::TextFits(const char* a_szText) { return dbprinter::SequenceFits(*this, a_szText); }

// Each piece whole, a text holding markup in a CDATA section: a sequence a
// profile gave was never checked against the printer's codes.
void CPRINTERWRITESEQUENCESTRING::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  const char* szText = reinterpret_cast<const char*>(a_lValue);
  COsXmlTask* posxmltask = GetDbMakeXml();
  if (!szText || !posxmltask || !ConsumersMatch(GetDeviceData(), a_edbdevicedataTarget)) return;
  dbprinter::SequencePiece asequencepiece[dbprinter::s_sizetSequencePieces];
  const size_t sizetPieces = dbprinter::SequencePieces(szText, asequencepiece);
  for (size_t sizet = 0; sizet < sizetPieces; ++sizet)
    WriteArgument(posxmltask, asequencepiece[sizet].szName, asequencepiece[sizet].szText, true);
}
