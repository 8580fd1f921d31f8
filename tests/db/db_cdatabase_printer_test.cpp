// The printer strings on a database loaded from the library's own
// resources: templates composed into the four strings (tokens, counters,
// date and time formats, delimiters, the split with image addressing, the
// length the printer allows and the strings' own room), one token's text
// from the current settings, and the access every printer capability
// shares with the two printing tests behind it.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "db_values_fixture.h"
#include "os_coscfg.h"

namespace {

using dbtest::DbValuesFixture;

const std::string s_strLibrary = SCANDRV_LIBRARY_PATH;
constexpr char s_szExceedsLabel[] = "The printed text is longer than the printer allows.";
constexpr char s_szUntouched[] = "untouched";

std::string Repeat(const std::string& a_str, size_t a_sizetCount) {
  std::string str;
  for (size_t sizet = 0; sizet < a_sizetCount; ++sizet) str += a_str;
  return str;
}

class DbPrinterTest : public DbValuesFixture {
 protected:
  void SetUp() override {
    DbValuesFixture::SetUp();
    m_poscfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &m_oscfgversion, false, nullptr);
    m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, s_strLibrary.c_str());
    ASSERT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, s_strLibrary.c_str(), false),
              DB_STS_SUCCESS);
    m_pdatabase->UpdateLabels();
    ASSERT_STREQ(m_pdatabase->LabelGet("E_EXCEEDSMAXIMUM", "???", -1), s_szExceedsLabel);
    m_pdatabase->ConfigSetString("printer", "postimagefront", DB_EDBCONFIGTARGET_COMMON);
  }

  void TearDown() override {
    m_poscfg.reset();
    DbValuesFixture::TearDown();
  }

  // A string capability of the machine bin set up in place; a maximum of 0
  // leaves it unsupported.
  CDbString* MachineString(EDBID a_edbid, size_t a_sizetMax, const std::string& a_strCurrent = "") {
    CDbString* pdbstring = dbcontainer::AsString(Slot(0, a_edbid, DB_BIN_MACHINE));
    if (!pdbstring) {
      ADD_FAILURE() << "no string in slot " << a_edbid;
      return nullptr;
    }
    pdbstring->InitString(a_edbid, DB_BIN_MACHINE, a_sizetMax ? DB_ACCESS_READWRITE : DB_ACCESS_NOTSUPPORTED,
                          DB_DEVICEDATA_NONE, a_sizetMax ? a_sizetMax : 1, a_strCurrent.c_str(), "", "", "");
    return pdbstring;
  }

  // The write-sequence string's maximum length (0: not supported) and
  // whether the model has image addressing.
  void Model(size_t a_sizetMaxLength, bool a_blImageAddress) {
    MachineString(DB_ID_PRINTERWRITESEQUENCESTRING, a_sizetMaxLength);
    MachineString(DB_ID_IMAGEADDRESS, a_blImageAddress ? 64 : 0);
  }

  OsCfgVersion m_oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
  std::unique_ptr<COsCfg> m_poscfg;
};

// ---------------------------------------------------------------------------
// Composition
// ---------------------------------------------------------------------------
struct ComposeCase {
  const char* szName;
  std::string strTemplate;
  long lDelimiter = 2;
  long lDateFormat = 1;
  long lIndex = 7;
  long lIndexDigits = 3;
  long lIndexFormat = 2;
  long lTimeFormat = 0;
  std::vector<std::string> vecstrMessage = {};       // messages 1 on; the rest none
  std::vector<std::string> vecstrImageAddress = {};  // A on; the rest none
  size_t sizetMaxLength = 200;
  bool blImageAddress = false;
  bool blRefused = false;  // 4, else 0
  std::array<std::string, 4> astrString = {};
  const char* szLog = nullptr;
  bool blPrinterError = false;
};

const std::array<std::string, 4> s_astrUntouched = {s_szUntouched, s_szUntouched, s_szUntouched, s_szUntouched};

// A template whose image-address tokens stand at the start of each of the
// four quarters of a 200-character write-sequence string.
std::string OnePerQuarter() {
  std::string str;
  for (char cToken : {'A', 'B', 'C', 'D'}) str += cToken + std::string(49, '#');
  return str;
}

const std::vector<ComposeCase>& ComposeCases() {
  static const std::vector<ComposeCase> s_vec = {
      // Tokens.
      {.szName = "message, space and counter", .strTemplate = "1 S", .vecstrMessage = {"BATCH"},
       .astrString = {"BATCH 007"}},
      {.szName = "an absent message or address adds nothing", .strTemplate = "2A3", .vecstrMessage = {"BATCH"},
       .astrString = {""}},
      {.szName = "the six messages in any order", .strTemplate = "654321",
       .vecstrMessage = {"a", "b", "c", "d", "e", "f"}, .astrString = {"fedcba"}},
      {.szName = "the four addresses", .strTemplate = "ABCD", .vecstrImageAddress = {"1", "22", "333", "4444"},
       .astrString = {"1223334444"}},
      {.szName = "fillers print nothing, lower case folds", .strTemplate = "#Z z#", .astrString = {" "}},
      {.szName = "lower-case y is the date", .strTemplate = "y", .astrString = {"MM/DD/YYYY"}},
      {.szName = "an unknown token ends the call as far as written", .strTemplate = "1X1",
       .vecstrMessage = {"BATCH"}, .blRefused = true, .astrString = {"BATCH"}, .szLog = "Invalid template defined X"},
      {.szName = "a lower-case unknown token is logged folded", .strTemplate = "x", .blRefused = true,
       .szLog = "Invalid template defined X"},
      {.szName = "punctuation is no token", .strTemplate = "1-", .vecstrMessage = {"a"}, .blRefused = true,
       .astrString = {"a"}, .szLog = "Invalid template defined -"},
      // Delimiters: tested before anything is written, date or not.
      {.szName = "delimiter 0", .strTemplate = "1", .lDelimiter = 0, .vecstrMessage = {"a"}, .blRefused = true,
       .astrString = s_astrUntouched, .szLog = "Invalid printer delimiter 0"},
      {.szName = "delimiter 6", .strTemplate = "Y", .lDelimiter = 6, .blRefused = true, .astrString = s_astrUntouched,
       .szLog = "Invalid printer delimiter 6"},
      {.szName = "no delimiter", .strTemplate = "Y", .lDelimiter = 1, .lDateFormat = 9, .astrString = {"YYDDD"}},
      {.szName = "period", .strTemplate = "Y", .lDelimiter = 4, .lDateFormat = 3, .astrString = {"DD.MM.YYYY"}},
      {.szName = "blank", .strTemplate = "Y", .lDelimiter = 5, .lDateFormat = 4, .astrString = {"DD MM YY"}},
      // Date formats.
      {.szName = "date format 2", .strTemplate = "Y", .lDateFormat = 2, .astrString = {"MM/DD/YY"}},
      {.szName = "date format 5", .strTemplate = "Y", .lDateFormat = 5, .astrString = {"YYYY/MM/DD"}},
      {.szName = "date format 6", .strTemplate = "Y", .lDateFormat = 6, .astrString = {"YY/MM/DD"}},
      {.szName = "date format 7 has no delimiter", .strTemplate = "Y", .lDateFormat = 7, .astrString = {"DDD"}},
      {.szName = "date format 8 with a hyphen", .strTemplate = "Y", .lDelimiter = 3, .lDateFormat = 8,
       .astrString = {"YYYY-DDD"}},
      {.szName = "date format 0", .strTemplate = "1Y", .lDateFormat = 0, .vecstrMessage = {"BATCH"}, .blRefused = true,
       .astrString = {"BATCH"}, .szLog = "Invalid printer date format 0"},
      {.szName = "date format 10", .strTemplate = "Y", .lDateFormat = 10, .blRefused = true,
       .szLog = "Invalid printer date format 10"},
      // Time formats.
      {.szName = "time format 0", .strTemplate = "T", .lTimeFormat = 0, .astrString = {"HH:MM"}},
      {.szName = "time format 3", .strTemplate = "T", .lTimeFormat = 3, .astrString = {"HH:mm:ss.xx"}},
      {.szName = "time format 7", .strTemplate = "t", .lTimeFormat = 7, .astrString = {"hh:mm tt"}},
      {.szName = "time format 9", .strTemplate = "T", .lTimeFormat = 9, .astrString = {"hh:mm:ss.xx tt"}},
      {.szName = "time format 10", .strTemplate = "T", .lTimeFormat = 10, .blRefused = true,
       .szLog = "Invalid printer time format 10"},
      {.szName = "time format -1", .strTemplate = "T", .lTimeFormat = -1, .blRefused = true,
       .szLog = "Invalid printer time format -1"},
      {.szName = "formats are tested only where their token stands", .strTemplate = "S", .lDateFormat = 10,
       .lTimeFormat = 10, .astrString = {"007"}},
      // Counters: every zero is replaced, leading or not.
      {.szName = "suppressed zeros", .strTemplate = "S", .lIndex = 105, .lIndexDigits = 5, .lIndexFormat = 3,
       .astrString = {"__1_5"}},
      {.szName = "compressed zeros", .strTemplate = "s", .lIndex = 105, .lIndexDigits = 5, .lIndexFormat = 1,
       .astrString = {"<<1<5"}},
      {.szName = "zeros displayed", .strTemplate = "S", .lIndex = 105, .lIndexDigits = 5, .astrString = {"00105"}},
      {.szName = "more digits than asked for", .strTemplate = "S", .lIndex = 123456, .lIndexDigits = 3,
       .astrString = {"123456"}},
      {.szName = "index format 4", .strTemplate = "S", .lIndexFormat = 4, .blRefused = true,
       .szLog = "Invalid printer index format 4"},
      {.szName = "index format 0", .strTemplate = "S", .lIndexFormat = 0, .blRefused = true,
       .szLog = "Invalid printer index format 0"},
      // The length the printer allows: a quarter of maximums 80 to 249.
      {.szName = "50 of 200", .strTemplate = std::string(50, ' '), .astrString = {std::string(50, ' ')}},
      {.szName = "51 of 200", .strTemplate = std::string(51, ' '), .blRefused = true,
       .astrString = {std::string(51, ' ')}, .szLog = "Print string exceeds maximum allowed 50.",
       .blPrinterError = true},
      {.szName = "characters, not bytes", .strTemplate = "1", .vecstrMessage = {Repeat("\xc3\xa9", 50)},
       .astrString = {Repeat("\xc3\xa9", 50)}},
      {.szName = "one character too many", .strTemplate = "1", .vecstrMessage = {Repeat("\xc3\xa9", 51)},
       .blRefused = true, .astrString = {Repeat("\xc3\xa9", 51)}, .szLog = "Print string exceeds maximum allowed 50.",
       .blPrinterError = true},
      {.szName = "a text the locale cannot read counts its characters", .strTemplate = "1",
       .vecstrMessage = {std::string(51, '\xe9')}, .blRefused = true, .astrString = {std::string(51, '\xe9')},
       .szLog = "Print string exceeds maximum allowed 50.", .blPrinterError = true},
      {.szName = "a short text the locale cannot read", .strTemplate = "1", .vecstrMessage = {"caf\xe9"},
       .astrString = {"caf\xe9"}},
      {.szName = "79 is the limit itself", .strTemplate = "1", .vecstrMessage = {std::string(80, 'm')},
       .sizetMaxLength = 79, .blRefused = true, .astrString = {std::string(80, 'm')},
       .szLog = "Print string exceeds maximum allowed 79.", .blPrinterError = true},
      {.szName = "249 allows 62", .strTemplate = "1", .vecstrMessage = {std::string(62, 'm')},
       .sizetMaxLength = 249, .astrString = {std::string(62, 'm')}},
      {.szName = "250 is the limit itself", .strTemplate = "1", .vecstrMessage = {std::string(250, 'm')},
       .sizetMaxLength = 250, .astrString = {std::string(250, 'm')}},
      // With image addressing each quarter of the maximum fills a string.
      {.szName = "one string a quarter", .strTemplate = OnePerQuarter(),
       .vecstrImageAddress = {"level a", "level b", "level c", "level d"}, .blImageAddress = true,
       .astrString = {"level a", "level b", "level c", "level d"}},
      {.szName = "the 51st token starts the second string", .strTemplate = std::string(50, ' ') + "1",
       .vecstrMessage = {"M"}, .blImageAddress = true, .astrString = {std::string(50, ' '), "M"}},
      {.szName = "each string measured on its own", .strTemplate = std::string(50, ' ') + "11",
       .vecstrMessage = {std::string(26, 'm')}, .blImageAddress = true, .blRefused = true,
       .astrString = {std::string(50, ' '), std::string(52, 'm')},
       .szLog = "Print string exceeds maximum allowed 50.", .blPrinterError = true},
      {.szName = "without image addressing all goes to the first", .strTemplate = OnePerQuarter(),
       .vecstrImageAddress = {"a", "b", "c", "d"}, .astrString = {"abcd"}},
      // Templates that do not fit the strings, refused before writing.
      {.szName = "four quarters of 202 hold 200", .strTemplate = std::string(200, '#'), .sizetMaxLength = 202,
       .blImageAddress = true, .astrString = {""}},
      {.szName = "a fifth string", .strTemplate = std::string(201, '#'), .sizetMaxLength = 202,
       .blImageAddress = true, .blRefused = true, .astrString = s_astrUntouched,
       .szLog = "Template of 201 characters exceeds the 200 allowed..."},
      // Without addressing one string takes everything; the length check
      // judges what was composed (fillers print nothing).
      {.szName = "longer than the maximum, fillers only", .strTemplate = std::string(201, '#'), .astrString = {""}},
      {.szName = "longer than the maximum, printing", .strTemplate = std::string(201, ' '), .blRefused = true,
       .astrString = {std::string(201, ' ')}, .szLog = "Print string exceeds maximum allowed 50.",
       .blPrinterError = true},
      {.szName = "a maximum of 3 leaves no quarter", .strTemplate = "1", .vecstrMessage = {"a"},
       .sizetMaxLength = 3, .blImageAddress = true, .blRefused = true, .astrString = s_astrUntouched,
       .szLog = "Print string maximum 3 is too short to split..."},
      {.szName = "no write-sequence string leaves no quarter", .strTemplate = "", .sizetMaxLength = 0,
       .blImageAddress = true, .blRefused = true, .astrString = s_astrUntouched,
       .szLog = "Print string maximum 0 is too short to split..."},
      {.szName = "a maximum of 3 needs no split without addressing", .strTemplate = "1", .vecstrMessage = {"abc"},
       .sizetMaxLength = 3, .astrString = {"abc"}},
      // The strings' own room: what does not fit is refused, not left out.
      {.szName = "a message beyond the room", .strTemplate = "1", .vecstrMessage = {std::string(600, 'm')},
       .sizetMaxLength = 1000, .blRefused = true, .astrString = {""},
       .szLog = "Print string 1 would not fit its 512 bytes.", .blPrinterError = true},
      {.szName = "two messages beyond the room", .strTemplate = "12",
       .vecstrMessage = {std::string(300, 'm'), std::string(300, 'n')}, .sizetMaxLength = 1000, .blRefused = true,
       .astrString = {std::string(300, 'm')}, .szLog = "Print string 1 would not fit its 512 bytes.",
       .blPrinterError = true},
      {.szName = "511 bytes fit", .strTemplate = "12",
       .vecstrMessage = {std::string(300, 'm'), std::string(211, 'n')}, .sizetMaxLength = 1000,
       .astrString = {std::string(300, 'm') + std::string(211, 'n')}},
      {.szName = "a counter beyond the room", .strTemplate = "S", .lIndexDigits = 600, .sizetMaxLength = 1000,
       .blRefused = true, .astrString = {""}, .szLog = "Print string 1 would not fit its 512 bytes.",
       .blPrinterError = true},
  };
  return s_vec;
}

TEST_F(DbPrinterTest, TemplatesComposeIntoTheFourStrings) {
  CDatabase& db = *m_pdatabase;
  for (const ComposeCase& c : ComposeCases()) {
    SCOPED_TRACE(c.szName);
    Model(c.sizetMaxLength, c.blImageAddress);
    db.SetLastPrinterError(nullptr);
    char aszString[DB_PRINTER_STRINGS][DB_PRINTER_STRING_SIZE];
    for (auto& szString : aszString) std::snprintf(szString, sizeof szString, "%s", s_szUntouched);
    auto Message = [&](size_t a_sizet) {
      return a_sizet < c.vecstrMessage.size() ? c.vecstrMessage[a_sizet].c_str() : nullptr;
    };
    auto Address = [&](size_t a_sizet) {
      return a_sizet < c.vecstrImageAddress.size() ? c.vecstrImageAddress[a_sizet].c_str() : nullptr;
    };
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(db.ConstructPrinterStrings(aszString, c.strTemplate.c_str(), c.lDelimiter, c.lDateFormat, c.lIndex,
                                         c.lIndexDigits, c.lIndexFormat, c.lTimeFormat, Message(0), Message(1),
                                         Message(2), Message(3), Message(4), Message(5), Address(0), Address(1),
                                         Address(2), Address(3)),
              c.blRefused ? DB_EOSSTS_REFUSED : OS_STS_SUCCESS);
    for (size_t sizet = 0; sizet < DB_PRINTER_STRINGS; ++sizet) {
      EXPECT_EQ(aszString[sizet], c.astrString[sizet]) << sizet;
    }
    if (c.szLog) {
      EXPECT_NE(LogFrom(sizetFrom).find(c.szLog), std::string::npos) << LogFrom(sizetFrom);
    }
    EXPECT_STREQ(db.GetLastPrinterError(), c.blPrinterError ? s_szExceedsLabel : "");
  }
}

// A refusal other than the length leaves the last error as it was; a
// composition that fits does not clear it either.
TEST_F(DbPrinterTest, OnlyTheLengthSetsTheLastPrinterError) {
  CDatabase& db = *m_pdatabase;
  Model(200, false);
  char aszString[DB_PRINTER_STRINGS][DB_PRINTER_STRING_SIZE];
  db.SetLastPrinterError("E_EXCEEDSMAXIMUMDIGITS");
  const std::string strDigits = db.GetLastPrinterError();
  ASSERT_NE(strDigits, "");
  ASSERT_NE(strDigits, "???");
  EXPECT_EQ(db.ConstructPrinterStrings(aszString, "Q", 2, 1, 0, 1, 2, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr),
            4);
  EXPECT_EQ(db.ConstructPrinterStrings(aszString, "S", 2, 1, 0, 1, 2, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(db.GetLastPrinterError(), strDigits);
  // Nothing to compose from or into.
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(db.ConstructPrinterStrings(aszString, nullptr, 2, 1, 0, 1, 2, 0, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            4);
  EXPECT_EQ(db.ConstructPrinterStrings(nullptr, "S", 2, 1, 0, 1, 2, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr),
            4);
  EXPECT_NE(LogFrom(sizetFrom).find("a_szString or a_szTemplate is null..."), std::string::npos);
}

// ---------------------------------------------------------------------------
// One token from the current settings
// ---------------------------------------------------------------------------
struct TokenCase {
  const char* szName;
  char cToken;
  long lIndexFormat = 3;
  long lTimeFormat = 2;  // -1: not supported
  long lDelimiter = 3;
  long lDateFormat = 8;
  std::string strMessage1 = "BATCH";
  bool blRefused = false;  // 4, else 0
  std::string strText = "";
  const char* szLog = nullptr;
};

TEST_F(DbPrinterTest, ATokenPrintsTheCurrentSettings) {
  CDatabase& db = *m_pdatabase;
  MachineString(DB_ID_IMAGEADDRESS_A, 64, "A-17");
  MachineString(DB_ID_IMAGEADDRESS_B, 0);
  MachineString(DB_ID_PRINTERWRITESEQUENCEMESSAGE2, 0);
  CatalogueRange(DB_ID_PRINTERINDEX, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 105, 0, 999999999, 1);
  CatalogueRange(DB_ID_PRINTERINDEXDIGITS, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 5, 1, 9, 1);
  const TokenCase acase[] = {
      {.szName = "space", .cToken = ' ', .strText = " "},
      {.szName = "hash", .cToken = '#'},
      {.szName = "Z", .cToken = 'Z'},
      {.szName = "lower-case z is no token", .cToken = 'z', .blRefused = true, .szLog = "Invalid template defined z"},
      {.szName = "lower-case y is no token", .cToken = 'y', .blRefused = true, .szLog = "Invalid template defined y"},
      {.szName = "message 1", .cToken = '1', .strText = "BATCH"},
      {.szName = "an unsupported message", .cToken = '2'},
      {.szName = "address A", .cToken = 'A', .strText = "A-17"},
      {.szName = "an unsupported address", .cToken = 'B'},
      // Only the zeros before the first other digit are replaced.
      {.szName = "suppressed zeros", .cToken = 'S', .strText = "__105"},
      {.szName = "compressed zeros", .cToken = 'S', .lIndexFormat = 1, .strText = "<<105"},
      {.szName = "zeros displayed", .cToken = 'S', .lIndexFormat = 2, .strText = "00105"},
      {.szName = "index format 4", .cToken = 'S', .lIndexFormat = 4, .blRefused = true,
       .szLog = "Invalid printer index format 4"},
      {.szName = "time format 2", .cToken = 'T', .strText = "HH:mm:ss"},
      {.szName = "no time formats", .cToken = 'T', .lTimeFormat = -1, .strText = "HH:MM"},
      {.szName = "time format 10", .cToken = 'T', .lTimeFormat = 10, .blRefused = true,
       .szLog = "Invalid printer time format 10"},
      {.szName = "date format 8 with a hyphen", .cToken = 'Y', .strText = "YYYY-DDD"},
      {.szName = "delimiter 6", .cToken = 'Y', .lDelimiter = 6, .blRefused = true,
       .szLog = "Invalid printer delimiter 6"},
      {.szName = "delimiter 0", .cToken = 'Y', .lDelimiter = 0, .blRefused = true,
       .szLog = "Invalid printer delimiter 0"},
      {.szName = "date format 10", .cToken = 'Y', .lDateFormat = 10, .blRefused = true,
       .szLog = "Invalid printer date format 10"},
      {.szName = "a message beyond the room", .cToken = '1', .strMessage1 = std::string(600, 'm'), .blRefused = true,
       .szLog = "Simulation of 1 would not fit its 512 bytes."},
  };
  for (const TokenCase& c : acase) {
    SCOPED_TRACE(c.szName);
    CatalogueEnum(DB_ID_PRINTERINDEXFORMAT, DB_BIN_MACHINE, DB_ACCESS_READWRITE, c.lIndexFormat, {1, 2, 3});
    CatalogueEnum(DB_ID_PRINTERTIMEFORMAT, DB_BIN_MACHINE,
                  c.lTimeFormat < 0 ? DB_ACCESS_NOTSUPPORTED : DB_ACCESS_READWRITE, c.lTimeFormat, {1, 2});
    CatalogueEnum(DB_ID_PRINTERDATEDELIMITER, DB_BIN_MACHINE, DB_ACCESS_READWRITE, c.lDelimiter, {1, 2, 3});
    CatalogueEnum(DB_ID_PRINTERDATEFORMAT, DB_BIN_MACHINE, DB_ACCESS_READWRITE, c.lDateFormat, {7, 8});
    MachineString(DB_ID_PRINTERWRITESEQUENCEMESSAGE1, 1000, c.strMessage1);
    char szText[DB_PRINTER_STRING_SIZE];
    std::snprintf(szText, sizeof szText, "%s", s_szUntouched);
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(db.ConvertPrinterSequenceToSimulation(c.cToken, szText),
              c.blRefused ? DB_EOSSTS_REFUSED : OS_STS_SUCCESS);
    EXPECT_EQ(szText, c.strText);
    if (c.szLog) {
      EXPECT_NE(LogFrom(sizetFrom).find(c.szLog), std::string::npos) << LogFrom(sizetFrom);
    }
  }
}

TEST_F(DbPrinterTest, ATokenNeedsAnOutputAndAPrinter) {
  CDatabase& db = *m_pdatabase;
  char szText[DB_PRINTER_STRING_SIZE] = "untouched";
  size_t sizetFrom = LogSize();
  EXPECT_EQ(db.ConvertPrinterSequenceToSimulation(' ', nullptr), 1);
  EXPECT_NE(LogFrom(sizetFrom).find("a_szSimulation is null..."), std::string::npos);

  db.ConfigDelete("printer", DB_EDBCONFIGTARGET_COMMON);
  sizetFrom = LogSize();
  EXPECT_EQ(db.ConvertPrinterSequenceToSimulation(' ', szText), 1);
  EXPECT_NE(LogFrom(sizetFrom).find("Printer is not supported"), std::string::npos);
  EXPECT_STREQ(szText, s_szUntouched);

  // Printing onto the image is a printer too.
  db.ConfigSetString("printonimage", "", DB_EDBCONFIGTARGET_COMMON);
  EXPECT_EQ(db.ConvertPrinterSequenceToSimulation(' ', szText), 0);
  EXPECT_STREQ(szText, " ");
}

// ---------------------------------------------------------------------------
// Access of the printer capabilities
// ---------------------------------------------------------------------------
// A boolean's access and value; access 0 leaves it unsupported.
struct Switch {
  EDBACCESS edbaccess;
  long lValue;
};
constexpr Switch s_switchOn = {DB_ACCESS_READWRITE, 2};
constexpr Switch s_switchOff = {DB_ACCESS_READWRITE, 1};

struct AccessCase {
  const char* szName;
  bool blPrinter = true;
  bool blPrintOnImage = false;
  Switch switchEnabled = s_switchOn;
  Switch switchFront = s_switchOff;
  Switch switchRear = s_switchOff;
  Switch switchTest = s_switchOff;
  long lPaperSource = DB_ID_PAPERSOURCE_ENUM_ADF;
  bool blPhysical = false;
  bool blDigital = false;
  EDBACCESS edbaccess = DB_ACCESS_DISABLED;
};

TEST_F(DbPrinterTest, PrinterCapabilitiesFollowThePrintingThatIsOn) {
  CDatabase& db = *m_pdatabase;
  const AccessCase acase[] = {
      {.szName = "no printer at all", .blPrinter = false, .switchFront = s_switchOn,
       .edbaccess = DB_ACCESS_NOTSUPPORTED},
      {.szName = "imprinter on", .blPhysical = true, .edbaccess = DB_ACCESS_READWRITE},
      {.szName = "imprinter off", .switchEnabled = s_switchOff},
      {.szName = "imprinter on but disabled", .switchEnabled = {DB_ACCESS_READWRITEDISABLED, 2}},
      {.szName = "imprinter printing its test", .switchTest = s_switchOn, .blPhysical = true,
       .edbaccess = DB_ACCESS_READWRITEDISABLED},
      {.szName = "a test the model lacks", .switchTest = {DB_ACCESS_NOTSUPPORTED, 2}, .blPhysical = true,
       .edbaccess = DB_ACCESS_READWRITE},
      {.szName = "a read-only test", .switchTest = {DB_ACCESS_READONLY, 2}, .blPhysical = true,
       .edbaccess = DB_ACCESS_READWRITEDISABLED},
      {.szName = "imprinter on, the flatbed scanning", .lPaperSource = DB_ID_PAPERSOURCE_ENUM_FLATBED,
       .blPhysical = true},
      {.szName = "imprinter switch without the printer key", .blPrinter = false, .blPrintOnImage = true},
      {.szName = "front image printing", .blPrinter = false, .blPrintOnImage = true, .switchEnabled = s_switchOff,
       .switchFront = s_switchOn, .blDigital = true, .edbaccess = DB_ACCESS_READWRITE},
      {.szName = "rear image printing", .blPrinter = false, .blPrintOnImage = true, .switchEnabled = s_switchOff,
       .switchRear = s_switchOn, .blDigital = true, .edbaccess = DB_ACCESS_READWRITE},
      {.szName = "read-only image printing", .blPrinter = false, .blPrintOnImage = true,
       .switchFront = {DB_ACCESS_READONLY, 2}, .switchRear = {DB_ACCESS_NOTSUPPORTED, 2}},
      {.szName = "image printing switches without the key", .switchEnabled = s_switchOff, .switchFront = s_switchOn},
      {.szName = "image printing beside the flatbed", .blPrintOnImage = true, .switchFront = s_switchOn,
       .switchTest = s_switchOn, .lPaperSource = DB_ID_PAPERSOURCE_ENUM_FLATBED, .blPhysical = true,
       .blDigital = true, .edbaccess = DB_ACCESS_READWRITE},
  };
  auto Set = [&](EDBID a_edbid, const Switch& a_switch) {
    CatalogueEnum(a_edbid, DB_BIN_MACHINE, a_switch.edbaccess, a_switch.lValue, {1, 2});
  };
  CDbDatum* pdbdatum = db.FindDirect(DB_BIN_MACHINE, DB_ID_PRINTERDATEFORMAT);
  for (const AccessCase& c : acase) {
    SCOPED_TRACE(c.szName);
    db.ConfigDelete("printer", DB_EDBCONFIGTARGET_COMMON);
    db.ConfigDelete("printonimage", DB_EDBCONFIGTARGET_COMMON);
    if (c.blPrinter) db.ConfigSetString("printer", "postimagefront", DB_EDBCONFIGTARGET_COMMON);
    if (c.blPrintOnImage) db.ConfigSetString("printonimage", "", DB_EDBCONFIGTARGET_COMMON);
    Set(DB_ID_PRINTERENABLED, c.switchEnabled);
    Set(DB_ID_PRINTONIMAGEFRONT, c.switchFront);
    Set(DB_ID_PRINTONIMAGEREAR, c.switchRear);
    Set(DB_ID_PRINTERTEST, c.switchTest);
    CatalogueEnum(DB_ID_PAPERSOURCE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, c.lPaperSource,
                  {DB_ID_PAPERSOURCE_ENUM_ADF, DB_ID_PAPERSOURCE_ENUM_FLATBED});
    EXPECT_EQ(db.IsPhysicalPrintingEnabled(), c.blPhysical);
    EXPECT_EQ(db.IsDigitalPrintingEnabled(), c.blDigital);
    pdbdatum->SetAccess(DB_ACCESS_READONLYHIDDEN);
    EXPECT_EQ(db.FixAccessPrinterDatum(pdbdatum), 0);
    EXPECT_EQ(pdbdatum->GetAccess(), c.edbaccess);
  }
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(db.FixAccessPrinterDatum(nullptr), DB_EOSSTS_BADARGUMENT);
  EXPECT_NE(LogFrom(sizetFrom).find("a_hdbdatum"), std::string::npos) << LogFrom(sizetFrom);
}

}  // namespace
