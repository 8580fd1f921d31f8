// The model's report inquiry: a bare "reportinquiry" element listing what
// the opened scanner offers (enumerations, ranges and supported features),
// read from the model configuration and the capability database under the
// database lock. The sessionbegin reply and the opencomplete event carry it.
//
// The configuration's values come from the scanner: each element is built
// on its own and added whole, so that a value the document cannot carry (it
// holds "]]>") or an element with no room left drops that element alone
// (logged); values holding "&", "<" or ">" are written as CDATA.
#include <cstring>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "db_cdblookup.h"
#include "dev_cdevimpl.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {

constexpr EDBCONFIGTARGET COMMON = DB_CONFIGTARGET_COMMON;
// Room kept for the closing tag of the document.
constexpr size_t s_sizetClosing = 64;

// The capabilities listed by their default enumeration items, in order.
struct InquiryCapability {
  EDBID edbid;
  bool blPrinter;  // only with the key "printer"
};
constexpr InquiryCapability s_ainquirycapability[] = {
    {DB_ID_FEEDERMODE, false},           {DB_ID_BACKGROUND, false},
    {DB_ID_BLANKPAGEMODE, false},        {DB_ID_DOCUMENTTYPE, false},
    {DB_ID_CROPPINGMODE, false},         {DB_ID_ORTHOGONALROTATE, false},
    {DB_ID_MULTIFEEDRESPONSE, false},    {DB_ID_PAPERJAMRESPONSE, false},
    {DB_ID_PAPERSOURCE, false},          {DB_ID_TOGGLEPATCH, false},
    {DB_ID_COLORBRIGHTNESSMODE, false},  {DB_ID_COLORBALANCEMODE, false},
    {DB_ID_IMAGEEDGEFILL, false},        {DB_ID_PRINTERFONT, true},
    {DB_ID_PRINTERINDEXFORMAT, false},   {DB_ID_PRINTERINDEXINCREMENT, false},
    {DB_ID_PRINTERINDEXRESET, false},    {DB_ID_TRANSPORTTIMEOUTRESPONSE, false},
};

// The ranges taken from a supported capability's current range.
struct InquiryRange {
  const char* szId;
  EDBID edbid;
  bool blPrintOnImage;  // only with the key "printonimage"
};
constexpr InquiryRange s_ainquiryrange[] = {
    {"multifeedlength", DB_ID_PAGESIZELIMIT, false},
    {"printerposition", DB_ID_PRINTERPOSITION, false},
    {"printonimagepositionx", DB_ID_PRINTONIMAGEPOSITIONX, true},
    {"printonimagepositiony", DB_ID_PRINTONIMAGEPOSITIONY, true},
    {"printerindexresetvalue", DB_ID_PRINTERINDEXRESETVALUE, false},
};

// The features of "supported", in order: by a supported capability, or by
// a configuration key. "ecdoenum" (more than one dropout offered) is
// decided apart.
struct InquiryFeature {
  const char* szId;
  EDBID edbid;  // 0: the key of that name
};
constexpr InquiryFeature s_ainquiryfeature[] = {
    {"autocolorcontent", DB_ID_AUTOCOLORCONTENT},
    {"barcodeenhancement", DB_ID_BARCODEENHANCEMENT},
    {"ecdoenum", DB_ID_ECDO},
    {"holefillenabled", DB_ID_HOLEFILLENABLED},
    {"ia", static_cast<EDBID>(0)},
    {"iacheckdigit", DB_ID_CHECKDIGIT},
    {"paperdetectable", static_cast<EDBID>(0)},
    {"powerofftimeoutenabled", DB_ID_POWEROFFTIMEOUTENABLED},
    {"preview", static_cast<EDBID>(0)},
    {"printerhighres", static_cast<EDBID>(0)},
    {"printerwritesequencemessage1", DB_ID_PRINTERWRITESEQUENCEMESSAGE1},
    {"printerwritesequencemessage2", DB_ID_PRINTERWRITESEQUENCEMESSAGE2},
    {"printerwritesequencemessage3", DB_ID_PRINTERWRITESEQUENCEMESSAGE3},
    {"printerwritesequencemessage4", DB_ID_PRINTERWRITESEQUENCEMESSAGE4},
    {"printerwritesequencemessage5", DB_ID_PRINTERWRITESEQUENCEMESSAGE5},
    {"printerwritesequencemessage6", DB_ID_PRINTERWRITESEQUENCEMESSAGE6},
    {"printonimage", static_cast<EDBID>(0)},
    {"dualstacking", static_cast<EDBID>(0)},
    {"cartridgedetect", static_cast<EDBID>(0)},
    {"textenhancement", DB_ID_TEXTENHANCEMENT},
};

// Writes the inquiry's elements into the builder, the database lock held.
class CInquiryWriter {
 public:
  CInquiryWriter(CDatabase& a_database, COsXmlTask& a_osxmltaskInquiry, size_t a_sizetCapacity)
      : m_database(a_database),
        m_osxmltaskInquiry(a_osxmltaskInquiry),
        m_osxmltaskElement("", a_sizetCapacity),
        m_sizetCapacity(a_sizetCapacity) {}

  void Write(EDBCONFIGTARGET a_edbconfigtarget);

  // One "enum" of every value of the key for the target, in configuration
  // order; nothing when the key has none. The values written.
  long AddReportInquiryEnum(EDBCONFIGTARGET a_edbconfigtarget, const char* a_szKey, const char* a_szId);

 private:
  // An element is begun, filled and then ended: only then does it go into
  // the document, whole.
  void Begin(const char* a_szKind) {
    m_osxmltaskElement.Clear();
    m_osxmltaskElement.StartNonTask(a_szKind, 1);
  }
  void Add(const char* a_szName, const char* a_szValue);
  void Add(const char* a_szName, int64_t a_i64Value) { Add(a_szName, std::to_string(a_i64Value).c_str()); }
  void End(const char* a_szKind, const char* a_szId);

  void Enum(const char* a_szId, const char* a_szValue);
  void Range(const char* a_szId, int64_t a_i64Min, int64_t a_i64Max);
  void FirstValue(const char* a_szKey, const char* a_szId);
  void Ranges();
  void Capability(const InquiryCapability& a_inquirycapability);
  void Supported();
  bool FeaturePresent(const InquiryFeature& a_inquiryfeature);

  CDatabase& m_database;
  COsXmlTask& m_osxmltaskInquiry;
  COsXmlTask m_osxmltaskElement;
  size_t m_sizetCapacity;
};

void CInquiryWriter::Add(const char* a_szName, const char* a_szValue) {
  if (std::strpbrk(a_szValue, "&<>")) {
    m_osxmltaskElement.AddArgumentSafe(a_szName, a_szValue);
  } else {
    m_osxmltaskElement.AddArgument(a_szName, a_szValue);
  }
}

void CInquiryWriter::End(const char* a_szKind, const char* a_szId) {
  m_osxmltaskElement.FinalizeNonTask(a_szKind);
  if (m_osxmltaskElement.IsError(true)) {
    OsLog(OS_LOG_ERROR, "CreateReportInquiry: <%s> %s cannot be written, left out...", a_szKind, a_szId);
    return;
  }
  if (m_osxmltaskInquiry.Size() + m_osxmltaskElement.Size() + s_sizetClosing >= m_sizetCapacity) {
    OsLog(OS_LOG_ERROR, "CreateReportInquiry: no room for <%s> %s, left out...", a_szKind, a_szId);
    return;
  }
  m_osxmltaskInquiry.AddPassThrough(m_osxmltaskElement.GetTaskBuffer());
}

long CInquiryWriter::AddReportInquiryEnum(EDBCONFIGTARGET a_edbconfigtarget, const char* a_szKey,
                                          const char* a_szId) {
  const char* szValue = m_database.ConfigEnumGetFirst(a_szKey, a_edbconfigtarget);
  if (!szValue) return 0;
  long lValues = 0;
  Begin("enum");
  Add("id", a_szId);
  for (; szValue; szValue = m_database.ConfigEnumGetNext(a_szKey, szValue, a_edbconfigtarget), ++lValues)
    Add("value", szValue);
  End("enum", a_szId);
  return lValues;
}

// An enum of one value, or of none with a null value.
void CInquiryWriter::Enum(const char* a_szId, const char* a_szValue) {
  Begin("enum");
  Add("id", a_szId);
  if (a_szValue) Add("value", a_szValue);
  End("enum", a_szId);
}

void CInquiryWriter::Range(const char* a_szId, int64_t a_i64Min, int64_t a_i64Max) {
  Begin("range");
  Add("id", a_szId);
  Add("rangemin", a_i64Min);
  Add("rangemax", a_i64Max);
  End("range", a_szId);
}

// The key's first value (target 1) when it is not empty.
void CInquiryWriter::FirstValue(const char* a_szKey, const char* a_szId) {
  const char* szValue = m_database.ConfigEnumGetFirst(a_szKey, COMMON);
  if (szValue && *szValue) Enum(a_szId, szValue);
}

void CInquiryWriter::Ranges() {
  const bool blPrintOnImage = m_database.ConfigExists("printonimage", COMMON);
  for (const InquiryRange& inquiryrange : s_ainquiryrange) {
    if (inquiryrange.blPrintOnImage && !blPrintOnImage) continue;
    CDbDatum* pdbdatum = m_database.Find(inquiryrange.edbid);
    if (!pdbdatum) continue;
    Range(inquiryrange.szId, m_database.RangeGetCurrentMin(pdbdatum), m_database.RangeGetCurrentMax(pdbdatum));
  }
}

// The lexicon names of the capability's default items (the colour modes
// looked up in the colour-front bin when the current one lacks them).
void CInquiryWriter::Capability(const InquiryCapability& a_inquirycapability) {
  const EDBID edbid = a_inquirycapability.edbid;
  CDbDatum* pdbdatum = m_database.Find(edbid);
  if (!pdbdatum && (edbid == DB_ID_COLORBRIGHTNESSMODE || edbid == DB_ID_COLORBALANCEMODE))
    pdbdatum = m_database.FindInBin(DB_BIN_COLOR_FRONT, edbid);
  if (!pdbdatum) return;
  DbLookup2* pdblookup2 = m_database.LookupEdbid(edbid);
  if (!pdblookup2 || !pdblookup2->szLexicon || !pdblookup2->szLexicon[0]) return;
  Begin("enum");
  Add("id", pdblookup2->szLexicon);
  const long lItems = m_database.EnumGetDefaultItemCount(pdbdatum);
  for (long l = 0; l < lItems; ++l) {
    const DbLookupEnum* pdblookupenum = m_database.LookupDbEnum(pdblookup2, m_database.EnumGetDefaultItem(pdbdatum, l));
    if (pdblookupenum && pdblookupenum->szLexiconEnum && pdblookupenum->szLexiconEnum[0])
      Add("value", pdblookupenum->szLexiconEnum);
  }
  End("enum", pdblookup2->szLexicon);
}

bool CInquiryWriter::FeaturePresent(const InquiryFeature& a_inquiryfeature) {
  if (a_inquiryfeature.edbid == DB_ID_ECDO)
    return m_database.IsIdSupported(DB_ID_ECDO) && m_database.EnumGetCurrentItemCount(DB_ID_ECDO) > 1;
  if (a_inquiryfeature.edbid != 0) return m_database.IsIdSupported(a_inquiryfeature.edbid);
  return m_database.ConfigExists(a_inquiryfeature.szId, COMMON);
}

void CInquiryWriter::Supported() {
  Begin("supported");
  for (const InquiryFeature& inquiryfeature : s_ainquiryfeature) {
    if (FeaturePresent(inquiryfeature)) Add("id", inquiryfeature.szId);
  }
  End("supported", "");
}

void CInquiryWriter::Write(EDBCONFIGTARGET a_edbconfigtarget) {
  // Barcodes: the scanner's types, else the image library's.
  if (AddReportInquiryEnum(a_edbconfigtarget, "barcodetype", "barcodetype") == 0)
    AddReportInquiryEnum(a_edbconfigtarget, "nexil_barcodetype", "barcodetype");
  AddReportInquiryEnum(a_edbconfigtarget, "barcodesearchmode", "barcodesearchmode");
  AddReportInquiryEnum(a_edbconfigtarget, "barcodesearcharea", "barcodesearcharea");
  const char* szBarcodeCountMax =
      a_edbconfigtarget == DB_CONFIGTARGET_FLATBED ? "barcodecount_flatbed_rangemax" : "barcodecount_adf_rangemax";
  if (m_database.ConfigExists(szBarcodeCountMax, COMMON)) {
    Range("barcodecount", static_cast<int64_t>(m_database.ConfigRangeGetMin("barcodecount", a_edbconfigtarget)),
          static_cast<int64_t>(m_database.ConfigRangeGetMax("barcodecount", a_edbconfigtarget)));
  }
  // Cameras, even none.
  if (AddReportInquiryEnum(COMMON, "cameratype", "cameratype") == 0) Enum("cameratype", nullptr);
  AddReportInquiryEnum(COMMON, "consumablemetertype", "consumablemetertype");
  if (m_database.IsIdSupported(DB_ID_DIAGCLEANMODE)) Enum("diagnostictype", "diagcleanmode");
  const char* szFrontSide = m_database.ConfigEnumGetFirst("frontside", a_edbconfigtarget);
  if (!szFrontSide || !*szFrontSide) szFrontSide = m_database.ConfigEnumGetFirst("frontside", COMMON);
  if (szFrontSide && *szFrontSide) Enum("frontside", szFrontSide);
  AddReportInquiryEnum(COMMON, "imageformat", "imageformat");
  if (m_database.ConfigEnumExists("indexingformat", "none", COMMON))
    AddReportInquiryEnum(COMMON, "indexingformat", "indexingformat");
  const bool blPrinter = m_database.ConfigExists("printer", COMMON);
  if (blPrinter) {
    const char* szPrinter = m_database.ConfigGetString("printer", COMMON);
    Enum("printer", szPrinter && *szPrinter ? szPrinter : nullptr);
  }
  Ranges();
  FirstValue("resolutionxoptical", "resolutionxoptical");
  if (m_database.ConfigExists("sheetalignment", DB_CONFIGTARGET_FLATBED)) {
    const char* szAlignment = m_database.ConfigGetString("sheetalignment", DB_CONFIGTARGET_FLATBED);
    if (szAlignment && *szAlignment) Enum("sheetalignment", szAlignment);
  }
  const int64_t i64SheetHeightMax =
      m_database.ConfigExists("usesheetheight", COMMON)
          ? static_cast<int64_t>(m_database.ConfigRangeGetMax("sheetheight", a_edbconfigtarget))
          : m_database.GetCurrentLongFromId(DB_ID_PHYSICALHEIGHTADJUST);
  Range("sheetheight", static_cast<int64_t>(m_database.ConfigRangeGetMin("sheetheight", a_edbconfigtarget)),
        i64SheetHeightMax);
  Range("sheetwidth", static_cast<int64_t>(m_database.ConfigRangeGetMin("sheetwidth", a_edbconfigtarget)),
        static_cast<int64_t>(m_database.ConfigRangeGetMax("sheetwidth", a_edbconfigtarget)));
  if (m_database.IsIdSupported(DB_ID_THINTHICKENAMOUNT)) {
    Range("thinthickenamount", static_cast<int64_t>(m_database.ConfigRangeGetMin("thinthickenamount", COMMON)),
          static_cast<int64_t>(m_database.ConfigRangeGetMax("thinthickenamount", COMMON)));
  }
  FirstValue("ocpconfigurability", "ocpconfigurability");
  FirstValue("backgroundsidessame", "backgroundsidessame");
  for (const InquiryCapability& inquirycapability : s_ainquirycapability) {
    if (!inquirycapability.blPrinter || blPrinter) Capability(inquirycapability);
  }
  Supported();
}

}  // namespace

// The feeder's keys, unless only the flatbed names its model.
void CDevImpl::CreateReportInquiry() {
  if (!pod.m_preportinquiry) return;
  COsXmlTask& osxmltask = *pod.m_preportinquiry;
  osxmltask.Clear();
  osxmltask.StartNonTask("reportinquiry", 0);
  if (pod.m_pdatabase) {
    CDatabase& database = *pod.m_pdatabase;
    CDbLockGuard dblockguard;
    EDBCONFIGTARGET edbconfigtarget = DB_CONFIGTARGET_ADF;
    if (!database.ConfigExists("model", DB_CONFIGTARGET_ADF) && database.ConfigExists("model", DB_CONFIGTARGET_FLATBED))
      edbconfigtarget = DB_CONFIGTARGET_FLATBED;
    CInquiryWriter(database, osxmltask, DEV_REPORTINQUIRY_SIZE).Write(edbconfigtarget);
  }
  osxmltask.FinalizeNonTask("reportinquiry");
  if (osxmltask.IsError(true)) OsLog(OS_LOG_ERROR, "CreateReportInquiry: the inquiry is not complete...");
}
