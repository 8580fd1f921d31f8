// The tables of db_profileinimaps.h. The short maps are written out; the
// generated ones (JPEG quality, resolution, halftones, printer fonts, write
// sequences, page sizes) are built from their name lists on first use.
#include "db_profileinimaps.h"

#include <cctype>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace dbprofileini {
namespace {

constexpr IniPair s_aTWCL[] = {{"TWCL_CUSTOM", "custom"}, {"TWCL_HIGH", "high"}, {"TWCL_LOW", "low"},
                               {"TWCL_MEDIUM", "medium"}, {"TWCL_NONE", "none"}, {nullptr, nullptr}};
constexpr IniPair s_aTWBA[] = {
    {"TWBA_ALL", "all"}, {"TWBA_NEUTRAL", "neutral"}, {"TWBA_PREDOMINATE", "predominate"}, {nullptr, nullptr}};
constexpr IniPair s_aTWBS[] = {{"TWBS_AUTOMATIC", "automatic"},
                               {"TWBS_CHANGETOWHITE", "changetowhite"},
                               {"TWBS_NONE", "none"},
                               {nullptr, nullptr}};
constexpr IniPair s_aTWBM[] = {
    {"TWBM_COMPSIZE", "size"}, {"TWBM_CONTENT", "content"}, {"TWBM_NONE", "none"}, {nullptr, nullptr}};
constexpr IniPair s_aTWCBM[] = {{"TWCBM_AUTOMATIC", "automatic"},
                                {"TWCBM_AUTOMATICBASIC", "automaticbasic"},
                                {"TWCBM_MANUAL", "manual"},
                                {"TWCBM_NONE", "none"},
                                {nullptr, nullptr}};
constexpr IniPair s_aTWCP[] = {
    {"TWCP_NONE", "none"}, {"TWCP_JPEG", "jpeg"}, {"TWCP_GROUP4", "group4"}, {nullptr, nullptr}};
constexpr IniPair s_aTWCR[] = {{"TWCR_AGGRESSIVEAUTOCROP", "aggressive"},
                               {"TWCR_AUTOMATICBORDERDETECTION", "automatic"},
                               {"TWCR_CONTINUOUS", "longpaper"},
                               {"TWCR_DOCUMENT", "relative"},
                               {"TWCR_PHOTO", "photo"},
                               {"TWCR_PHOTOINROI", "photoinroi"},
                               {"TWCR_TRANSPORT", "fixed"},
                               {nullptr, nullptr}};
constexpr IniPair s_aTWDT[] = {{"TWDT_PHOTO", "photo"},
                               {"TWDT_TEXT", "text"},
                               {"TWDT_TEXTWITHGRAPHICS", "textwithgraphics"},
                               {"TWDT_TEXTWITHPHOTO", "textwithphoto"},
                               {nullptr, nullptr}};
constexpr IniPair s_aTWIE[] = {
    {"TWIE_BLACK", "black"}, {"TWIE_NONE", "none"}, {"TWIE_WHITE", "white"}, {nullptr, nullptr}};
constexpr IniPair s_aTWIF[] = {{"TWIF_AUTO", "auto"},       {"TWIF_BANDPASS", "bandpass"},
                               {"TWIF_HIGHPASS", "highpass"}, {"TWIF_LOWPASS", "halftoneremoval"},
                               {"TWIF_NONE", "none"},       {nullptr, nullptr}};
// Earlier drivers wrote "log" for front-on-top, which imagemerge does not
// offer: such a value never loaded.
constexpr IniPair s_aTWIM[] = {{"TWIM_FRONTONBOTTOM", "frontonbottom"},
                               {"TWIM_FRONTONLEFT", "frontonleft"},
                               {"TWIM_FRONTONRIGHT", "frontonright"},
                               {"TWIM_FRONTONTOP", "frontontop"},
                               {"TWIM_NONE", "none"},
                               {nullptr, nullptr}};
constexpr IniPair s_aTWMT[] = {{"TWMT_CARDSTOCK", "cardstock"}, {"TWMT_GLOSSYPAPER", "glossypaper"},
                               {"TWMT_MAGAZINE", "magazine"},   {"TWMT_PLAINPAPER", "plainpaper"},
                               {"TWMT_THINPAPER", "thinpaper"}, {nullptr, nullptr}};
constexpr IniPair s_aTWMR[] = {{"TWMR_CONTINUE", "continue"},
                               {"TWMR_ENDOFJOB", "endofjob"},
                               {"TWMR_ENDOFJOBLEAVEPAPER", "endofjobleavepaper"},
                               {"TWMR_STOPFEEDER", "stopfeeder"},
                               {nullptr, nullptr}};
constexpr IniPair s_aTWNF[] = {{"TWNF_AUTO", "auto"},
                               {"TWNF_LONEPIXEL", "lonepixel"},
                               {"TWNF_MAJORITYRULE", "majorityrule"},
                               {"TWNF_NONE", "none"},
                               {nullptr, nullptr}};
constexpr IniPair s_aTWPU[] = {{"TWPU_ADF", "adf"},
                               {"TWPU_AUTO", "adfflatbed"},
                               {"TWPU_ELEVATOR500", "elevator500"},
                               {"TWPU_ELEVATOR250", "elevator250"},
                               {"TWPU_ELEVATOR100", "elevator100"},
                               {"TWPU_PLATEN", "flatbed"},
                               {nullptr, nullptr}};
constexpr IniPair s_aTWPD[] = {{"TWPD_BLANK", "blank"},   {"TWPD_FORWARDSLASH", "forwardslash"},
                               {"TWPD_HYPHEN", "hyphen"}, {"TWPD_NONE", "none"},
                               {"TWPD_PERIOD", "period"}, {nullptr, nullptr}};
constexpr IniPair s_aTWPE[] = {{"TWPE_DDMMYYYY", "ddmmyyyy"}, {"TWPE_MMDDYYYY", "mmddyyyy"},
                               {"TWPE_YYYYMMDD", "yyyymmdd"}, {"TWPE_DDD", "ddd"},
                               {"TWPE_YYYYDDD", "yyyyddd"},   {nullptr, nullptr}};
constexpr IniPair s_aTWPI[] = {{"TWPI_COMPRESSLEADINGZEROS", "compressleadingzeros"},
                               {"TWPI_DISPLAYLEADINGZEROS", "displayleadingzeros"},
                               {"TWPI_SUPPRESSLEADINGZEROS", "suppressleadingzeros"},
                               {nullptr, nullptr}};
constexpr IniPair s_aTWTP[] = {{"TWTP_BOTHSIDE", "bothsides"},     {"TWTP_DETECTONLY", "detectonly"},
                               {"TWTP_DISABLED", "none"},     {"TWTP_FRONTSIDE", "frontside"},
                               {"TWTP_SAMESIDE", "sameside"}, {nullptr, nullptr}};
constexpr IniPair s_aTWTR[] = {{"TWTR_ENDOFJOB", "endofjob"}, {"TWTR_STOPFEEDER", "stopfeeder"}, {nullptr, nullptr}};
constexpr IniPair s_aTWUS[] = {{"TWUS_DISABLED", "none"}, {"TWUS_HIGH", "high"},  {"TWUS_MEDIUM", "medium"},
                               {"TWUS_LOW", "low"},       {nullptr, nullptr}};
constexpr IniPair s_aTWUO[] = {{"TWUO_DISABLED", "false"}, {"TWUO_ENABLED", "true"}, {nullptr, nullptr}};
constexpr IniPair s_aEmpty[] = {{nullptr, nullptr}};

constexpr const char* s_aszHalftone[] = {"3LEVELSCREEN",       "16LEVELSCREEN",      "32LEVELSCREEN",
                                         "64LEVELSCREEN",      "4LEVELBAYERDITHER",  "16LEVELBAYERDITHER",
                                         "64LEVELBAYERDITHER", "64LEVEL45DEGREECLUSTERDOT", "64LEVELDISPERSEDDOT"};
constexpr IniPair s_aHalftoneTail[] = {{"TWHT_AUTO", "atp"},
                                       {"TWHT_AUTOATP", "ithresholding"},
                                       {"TWHT_CHROMATHR", "chromathr"},
                                       {"TWHT_ERRORDIFFUSION", "errordiffusion"},
                                       {"TWHT_NONE", "none"},
                                       {"TWHT_THRESHOLDING", "fixed"}};
constexpr const char* s_aszFont[] = {"BOLDLARGECINE",  "BOLDLARGECINE180",  "BOLDLARGECOMIC", "BOLDLARGECOMIC180",
                                     "BOLDSMALLCINE",  "BOLDSMALLCINE180",  "BOLDSMALLCOMIC", "BOLDSMALLCOMIC180",
                                     "LARGECINE",      "LARGECINE180",      "LARGECOMIC",     "LARGECOMIC180",
                                     "SMALLCINE",      "SMALLCINE180",      "SMALLCOMIC",     "SMALLCOMIC180"};
constexpr const char* s_aszWriteSequence[] = {
    "DDMMYYYY",    "MMDDYYYY",    "YYYYMMDD",    "CURRENTLEVELIA",        "DATE",
    "DAY",         "DELIMITER",   "DOCUMENTCOUNT", "FIXEDIA",             "FULLIAALLDELIMITERS",
    "FULLIAFIXEDDELIMITERS", "FULLIANODELIMITERS", "IMAGEADDRESS_A", "IMAGEADDRESS_B", "IMAGEADDRESS_C",
    "IMAGEADDRESS_D", "INDEX",     "INDEXIA",     "MESSAGE1",              "MESSAGE2",
    "MESSAGE3",    "MESSAGE4",    "MESSAGE5",    "MESSAGE6",              "MESSAGE7",
    "MESSAGE8",    "MESSAGE9",    "NONE",        "SPACE",                 "TEXT",
    "TIME"};
constexpr const char* s_aszResolution[] = {"75",  "100",  "150",  "200",  "240",  "250",  "300",  "400",
                                           "600", "1200", "2400", "3600", "4800", "9600", "19200"};

// Page sizes: fixed names, then the numbered runs ("A0" to "A10" ...).
constexpr const char* s_aszSizeHead[] = {"3X5",    "4X6",     "4X7",     "4X10",    "5X3",     "5X7",   "6X4",
                                         "6X5",    "7X4",     "7X5",     "8X10",    "12X12",   "57X88", "88X57",
                                         "90X130", "100X150", "127X177", "130X90",  "150X100", "177X127", "2A0",
                                         "4A0"};
constexpr const char* s_aszSizeTail[] = {"USEXECUTIVE", "USLEDGER", "USLEGAL", "USLETTER", "USSTATEMENT"};

// One generated map: the texts kept alive, the pairs pointing into them.
struct Generated {
  std::vector<std::string> vecText;
  std::vector<IniPair> vecPair;
  void Add(const std::string& a_strIni, const std::string& a_strLexicon) {
    vecText.push_back(a_strIni);
    vecText.push_back(a_strLexicon);
  }
  // Pairs are made once every text is in place (the vector no longer moves).
  const IniPair* Finish() {
    for (size_t i = 0; i + 1 < vecText.size(); i += 2) vecPair.push_back({vecText[i].c_str(), vecText[i + 1].c_str()});
    vecPair.push_back({nullptr, nullptr});
    return vecPair.data();
  }
};

std::string Lower(std::string a_str, bool a_blDropUnderscores) {
  std::string str;
  for (char c : a_str) {
    if (a_blDropUnderscores && c == '_') continue;
    str += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return str;
}

const IniPair* MakeJpegQuality() {
  static Generated s_generated;
  s_generated.Add("TWJQ_UNKNOWN", "unknown");
  for (int i = 0; i <= 100; i += 5) {
    const std::string str = std::to_string(i);
    const char* szName = i == 40 ? "draft" : i == 50 ? "good" : i == 80 ? "better" : i == 90 ? "best" : i == 100 ? "superior" : nullptr;
    s_generated.Add("#" + str, szName ? szName : str);
  }
  return s_generated.Finish();
}

const IniPair* MakeResolution() {
  static Generated s_generated;
  for (const char* sz : s_aszResolution) s_generated.Add(std::string("#") + sz, std::string(sz) + "_dpi");
  return s_generated.Finish();
}

const IniPair* MakeHalftone() {
  static Generated s_generated;
  for (const char* sz : s_aszHalftone) s_generated.Add(std::string("TWHT_") + sz, Lower(sz, false));
  for (const char* sz : s_aszHalftone) s_generated.Add(std::string("TWHT_ERRORDIFFUSION_") + sz, Lower(sz, false));
  for (const IniPair& inipair : s_aHalftoneTail) s_generated.Add(inipair.szIni, inipair.szLexicon);
  return s_generated.Finish();
}

const IniPair* MakeNames(Generated* a_pgenerated, const char* a_szPrefix, const char* const* a_pszNames, size_t a_sizet,
                         bool a_blDropUnderscores) {
  for (size_t i = 0; i < a_sizet; ++i)
    a_pgenerated->Add(std::string(a_szPrefix) + a_pszNames[i], Lower(a_pszNames[i], a_blDropUnderscores));
  return a_pgenerated->Finish();
}

const IniPair* MakePageSize() {
  static Generated s_generated;
  std::vector<std::string> vec(std::begin(s_aszSizeHead), std::end(s_aszSizeHead));
  for (int i = 0; i <= 10; ++i) vec.push_back("A" + std::to_string(i));
  vec.push_back("B3");
  vec.push_back("BUSINESSCARD");
  for (const char* szRun : {"C", "ISOB", "JISB"})
    for (int i = 0; i <= 10; ++i) vec.push_back(szRun + std::to_string(i));
  vec.push_back("NONE");
  for (int i = 0; i <= 9; ++i) vec.push_back("USER" + std::to_string(i));
  vec.insert(vec.end(), std::begin(s_aszSizeTail), std::end(s_aszSizeTail));
  for (const std::string& str : vec) s_generated.Add("TWSS_" + str, str == "127X177" ? "122x177" : Lower(str, false));
  return s_generated.Finish();
}

const IniPair* Generate(EINIMAP a_einimap) {
  static Generated s_generatedFont;
  static Generated s_generatedWriteSequence;
  switch (a_einimap) {
    case INIMAP_TWJQ: return MakeJpegQuality();
    case INIMAP_RESOLUTION: return MakeResolution();
    case INIMAP_TWHT: return MakeHalftone();
    case INIMAP_TWPN: return MakeNames(&s_generatedFont, "TWPN_", s_aszFont, std::size(s_aszFont), false);
    case INIMAP_TWPW:
      return MakeNames(&s_generatedWriteSequence, "TWPW_", s_aszWriteSequence, std::size(s_aszWriteSequence), true);
    case INIMAP_TWSS: return MakePageSize();
    default: return s_aEmpty;
  }
}

}  // namespace

const IniPair* IniMap(EINIMAP a_einimap) {
  static const IniPair* const s_apinipair[INIMAP_COUNT] = {
      s_aTWCL, s_aTWBA, s_aTWBS, s_aTWBM, s_aTWCBM, s_aTWCP, s_aTWCR, s_aTWDT, s_aTWIE, s_aTWIF,
      s_aTWIM, s_aTWMT, s_aTWMR, s_aTWNF, s_aTWPU,  s_aTWPD, s_aTWPE, s_aTWPI, s_aTWTP, s_aTWTR,
      s_aTWUS, s_aTWUO, nullptr, nullptr, nullptr,  nullptr, nullptr, nullptr};
  // The generated maps, built once (a function-local static is built by one thread).
  static const IniPair* const s_apinipairGenerated[] = {Generate(INIMAP_TWJQ), Generate(INIMAP_RESOLUTION),
                                                        Generate(INIMAP_TWHT), Generate(INIMAP_TWPN),
                                                        Generate(INIMAP_TWPW), Generate(INIMAP_TWSS)};
  if (a_einimap < 0 || a_einimap >= INIMAP_COUNT) return s_aEmpty;
  if (a_einimap >= INIMAP_TWJQ) return s_apinipairGenerated[a_einimap - INIMAP_TWJQ];
  return s_apinipair[a_einimap];
}

const char* LookupIni(EINIMAP a_einimap, const char* a_szIni) {
  if (!a_szIni) return "???";
  for (const IniPair* p = IniMap(a_einimap); p->szIni; ++p)
    if (std::strcmp(p->szIni, a_szIni) == 0) return p->szLexicon;
  return "???";
}

}  // namespace dbprofileini
