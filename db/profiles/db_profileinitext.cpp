// Building the document of db_profileinitext.h. Sections that are missing
// are skipped; values not in their map become "???", which the load of the
// profile discards as unsupported.
#include "db_profileinitext.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "db_profileinimaps.h"
#include "os_coscfg.h"
#include "os_coscfgprofile.h"
#include "os_coslog.h"
#include "os_costime.h"

namespace dbprofileini {
namespace {

constexpr size_t s_sizetCamera = 256;
constexpr size_t s_sizetSingle = 1024;
constexpr size_t s_sizetPageSizeLimit = 64;
constexpr size_t s_sizetHeader = 64;
constexpr size_t s_sizetLocale = 128;
// Files written before the configuration service exists get this mode
// (reads never write, but the engine takes one).
constexpr unsigned s_uFileMode = 0600;

// Values of one INI file through the configuration service's reader.
class IniReader {
 public:
  IniReader(const char* a_szFile, IniText* a_initext) : m_szFile(a_szFile), m_pinitext(a_initext) {}
  // Value "@n" of a capability section, or a "Header" key; false when
  // absent (the buffer empty). A value too long for its field fails the
  // document.
  bool Get(const char* a_szSection, const char* a_szKey, char* a_szValue, size_t a_sizetValue) {
    const EOSSTS eossts =
        g_poscfg ? g_poscfg->ProfileGet(m_szFile, a_szSection, a_szKey, a_szValue, a_sizetValue)
                 : COsCfgProfile::Get(m_szFile, a_szSection, a_szKey, a_szValue, a_sizetValue, s_uFileMode);
    if (eossts == OS_STS_SUCCESS) return true;
    a_szValue[0] = '\0';
    if (eossts == OS_STS_NOROOM_BUFFER) {
      OsLog(OS_LOG_ERROR, "INI value too long...<%s> <%s> <%s>", m_szFile, a_szSection, a_szKey);
      m_pinitext->Fail("value too long");
    }
    return false;
  }
  bool Get(const char* a_szSection, int a_iIndex, char* a_szValue, size_t a_sizetValue) {
    char szKey[16];
    std::snprintf(szKey, sizeof szKey, "@%d", a_iIndex);
    return Get(a_szSection, szKey, a_szValue, a_sizetValue);
  }

 private:
  const char* m_szFile;
  IniText* m_pinitext;
};

using Camera = char[s_sizetCamera];

// Values 0 to 3 as the four cameras (front bitonal, rear bitonal, front
// colour, rear colour); with value 2 empty, value 0 serves both bitonal
// cameras and value 1 both colour cameras. False without value 0.
bool IniReadCamera(IniReader* a_pinireader, const char* a_szSection, Camera* a_acamera) {
  for (int i = 0; i < 4; ++i) a_acamera[i][0] = '\0';
  if (!a_pinireader->Get(a_szSection, 0, a_acamera[0], s_sizetCamera)) return false;
  for (int i = 1; i < 4; ++i) a_pinireader->Get(a_szSection, i, a_acamera[i], s_sizetCamera);
  if (!a_acamera[2][0]) {
    std::memcpy(a_acamera[2], a_acamera[1], s_sizetCamera);
    std::memcpy(a_acamera[3], a_acamera[1], s_sizetCamera);
    std::memcpy(a_acamera[1], a_acamera[0], s_sizetCamera);
  }
  return true;
}

// Values 0 and 1 as front and rear of one kind of camera; an empty rear
// takes the front. IniReadBitonalCamera and IniReadColorCamera differ only
// in where the caller puts the pair.
bool IniReadPair(IniReader* a_pinireader, const char* a_szSection, Camera* a_acamera) {
  a_acamera[0][0] = a_acamera[1][0] = '\0';
  if (!a_pinireader->Get(a_szSection, 0, a_acamera[0], s_sizetCamera)) return false;
  a_pinireader->Get(a_szSection, 1, a_acamera[1], s_sizetCamera);
  if (!a_acamera[1][0]) std::memcpy(a_acamera[1], a_acamera[0], s_sizetCamera);
  return true;
}
bool IniReadBitonalCamera(IniReader* a_pinireader, const char* a_szSection, Camera* a_acamera) {
  return IniReadPair(a_pinireader, a_szSection, a_acamera);
}
bool IniReadColorCamera(IniReader* a_pinireader, const char* a_szSection, Camera* a_acamera) {
  return IniReadPair(a_pinireader, a_szSection, a_acamera);
}

enum EKIND { KIND_FOUR, KIND_COLOUR, KIND_BITONAL, KIND_MACHINE, KIND_ALWAYS, KIND_SPECIAL };
enum ERULE {
  RULE_ASIS,
  RULE_LOWER,
  RULE_MAP,
  RULE_ZEROFALSE,      // "false" for "0", else "true"
  RULE_TRUE,           // "true" whatever the file holds
  RULE_PATCHCODE,      // "true" for "patchcode"
  RULE_ROTATION,       // degrees as "<n>_degrees", 0 for anything but 90, 180, 270
  RULE_LANDSCAPE,      // "true" for "TWOR_LANDSCAPE"
  RULE_PIXELFLAVOR,    // chocolate "false", vanilla "true"
  RULE_FLAVORCODES,    // chocolate "chocolate", vanilla "vanilla"
  RULE_SEQUENCE,       // B C F S become blank S Y 1
  RULE_SOUND,          // in CDATA, followed by "multifeedsoundenabled"
  RULE_BLANKSIZE,
  RULE_FRAMES,
  RULE_IMAGEFORMAT,
  RULE_CAMERAORDER,
};

struct IniSetting {
  const char* szSection;
  const char* szLexicon;
  EKIND ekind;
  ERULE erule;
  EINIMAP einimap;
};

constexpr EINIMAP NOMAP = INIMAP_COUNT;

// The settings in the order of the document.
constexpr IniSetting s_ainisetting[] = {
    {"ICAP_ADDBORDER", "addborder", KIND_FOUR, RULE_LOWER, NOMAP},
    {"CAP_TRANSPORTTIMEOUT", "adftimeoutenabled", KIND_MACHINE, RULE_ZEROFALSE, NOMAP},
    {nullptr, "adfunique", KIND_ALWAYS, RULE_TRUE, NOMAP},
    {"CAP_ALARMS", "patchalarm", KIND_MACHINE, RULE_PATCHCODE, NOMAP},
    {"ICAP_AUTOCOLORAMOUNT", "autocoloramount", KIND_FOUR, RULE_ASIS, NOMAP},
    {"ICAP_AUTOCOLORCONTENT", "autocolorcontent", KIND_FOUR, RULE_MAP, INIMAP_TWCL},
    {"ICAP_AUTOCOLORTHRESHOLD", "autocolorthreshold", KIND_FOUR, RULE_ASIS, NOMAP},
    {"ICAP_AUTOMATICDESKEW", "imagedeskew", KIND_FOUR, RULE_LOWER, NOMAP},
    {"ICAP_BACKGROUNDADJUSTAGGRESSIVENESS", "backgroundadjustaggressiveness", KIND_COLOUR, RULE_ASIS, NOMAP},
    {"ICAP_BACKGROUNDADJUSTAPPLYTO", "backgroundadjustapplyto", KIND_COLOUR, RULE_MAP, INIMAP_TWBA},
    {"ICAP_BACKGROUNDADJUSTMODE", "backgroundadjustmode", KIND_COLOUR, RULE_MAP, INIMAP_TWBS},
    {"CAP_BLANKPAGECONTENT", "blankimagecontent", KIND_FOUR, RULE_LOWER, NOMAP},
    {"CAP_BLANKPAGEMODE", "blankimagemode", KIND_FOUR, RULE_MAP, INIMAP_TWBM},
    {"CAP_BLANKPAGECOMPSIZEBW", "blankimagesize", KIND_SPECIAL, RULE_BLANKSIZE, NOMAP},
    {"ICAP_BRIGHTNESS", "colorbrightness", KIND_COLOUR, RULE_ASIS, NOMAP},
    {"CAP_CAMERAENABLE", "windowenabled", KIND_FOUR, RULE_LOWER, NOMAP},
    {"ICAP_COLORBALANCEBLUE", "colorbalanceblue", KIND_COLOUR, RULE_ASIS, NOMAP},
    {"ICAP_COLORBALANCEGREEN", "colorbalancegreen", KIND_COLOUR, RULE_ASIS, NOMAP},
    {"ICAP_COLORBALANCEMODE", "colorbalancemode", KIND_COLOUR, RULE_MAP, INIMAP_TWCBM},
    {"ICAP_COLORBALANCERED", "colorbalancered", KIND_COLOUR, RULE_ASIS, NOMAP},
    {"ICAP_GAMMAENABLED", "coloroutputromm", KIND_COLOUR, RULE_LOWER, NOMAP},
    {"ICAP_COLORSHARPEN", "colorsharpen", KIND_COLOUR, RULE_ASIS, NOMAP},
    {"ICAP_COMPRESSION", "compressionmode", KIND_FOUR, RULE_MAP, INIMAP_TWCP},
    {"ICAP_CONTRAST", "contrast", KIND_BITONAL, RULE_ASIS, NOMAP},
    {"ICAP_CROPPINGMODE", "imagecroppingmode", KIND_FOUR, RULE_MAP, INIMAP_TWCR},
    {"ICAP_DOCUMENTTYPE", "documenttype", KIND_FOUR, RULE_MAP, INIMAP_TWDT},
    {"ICAP_ECDO", "ecdoenum", KIND_FOUR, RULE_ASIS, NOMAP},
    {"ICAP_FRAMES", nullptr, KIND_SPECIAL, RULE_FRAMES, NOMAP},
    {"ICAP_HALFTONES", "binarizationmode", KIND_BITONAL, RULE_MAP, INIMAP_TWHT},
    {"ICAP_HOLEFILLENABLED", "holefillenabled", KIND_FOUR, RULE_LOWER, NOMAP},
    {"ICAP_IMAGEEDGEBOTTOM", "edgefillbottom", KIND_FOUR, RULE_ASIS, NOMAP},
    {"ICAP_IMAGEEDGEFILL", "edgefill", KIND_FOUR, RULE_MAP, INIMAP_TWIE},
    {"ICAP_IMAGEEDGEFILLALLSIZE", "edgefillallsides", KIND_FOUR, RULE_LOWER, NOMAP},
    {"ICAP_IMAGEEDGELEFT", "edgefillleft", KIND_FOUR, RULE_ASIS, NOMAP},
    {"ICAP_IMAGEEDGERIGHT", "edgefillright", KIND_FOUR, RULE_ASIS, NOMAP},
    {"ICAP_IMAGEEDGETOP", "edgefilltop", KIND_FOUR, RULE_ASIS, NOMAP},
    {"ICAP_IMAGEFILTER", "filterimage", KIND_BITONAL, RULE_MAP, INIMAP_TWIF},
    {"ICAP_GRAYSCALE", "imageformat", KIND_SPECIAL, RULE_IMAGEFORMAT, NOMAP},
    {"CAP_IMAGEMERGE", "imagemerge", KIND_MACHINE, RULE_MAP, INIMAP_TWIM},
    {"ICAP_SKEWANGLE", "imageskewangle", KIND_FOUR, RULE_ASIS, NOMAP},
    {"ICAP_JPEGQUALITY", "compressionjpegquality", KIND_COLOUR, RULE_MAP, INIMAP_TWJQ},
    {nullptr, "lowpowermodeunique", KIND_ALWAYS, RULE_TRUE, NOMAP},
    {"CAP_ENERGYSTAR", "lowpowermodetimeout", KIND_MACHINE, RULE_ASIS, NOMAP},
    {"ICAP_MEDIATYPE", "mediatype", KIND_FOUR, RULE_MAP, INIMAP_TWMT},
    {"CAP_PAGESIZELIMIT", "multifeedlengthenabled", KIND_MACHINE, RULE_ZEROFALSE, NOMAP},
    {"CAP_MULTIFEEDRESPONSE", "multifeedresponse", KIND_MACHINE, RULE_MAP, INIMAP_TWMR},
    {"CAP_MULTIFEEDSOUND", "multifeedsound", KIND_MACHINE, RULE_SOUND, NOMAP},
    {"ICAP_NOISEFILTER", "filternoise", KIND_BITONAL, RULE_MAP, INIMAP_TWNF},
    {"ICAP_ORIENTATION", "imageframelandscape", KIND_FOUR, RULE_LANDSCAPE, NOMAP},
    {"ICAP_ROTATION", "imagerotateorthogonal", KIND_FOUR, RULE_ROTATION, NOMAP},
    {"CAP_PAGESIZELIMIT", "multifeedlength", KIND_ALWAYS, RULE_ASIS, NOMAP},
    {"CAP_PAPERSOURCE", "papersource", KIND_MACHINE, RULE_MAP, INIMAP_TWPU},
    {"ICAP_PIXELFLAVOR", "invertcolor", KIND_FOUR, RULE_PIXELFLAVOR, NOMAP},
    {"ICAP_PIXELFLAVORCODES", "invertcolorgroup4", KIND_FOUR, RULE_FLAVORCODES, NOMAP},
    {"CAP_PRINTERDATEDELIMITER", "printerdatedelimiter", KIND_MACHINE, RULE_MAP, INIMAP_TWPD},
    {"CAP_PRINTERDATEFORMAT", "printerdateformat", KIND_MACHINE, RULE_MAP, INIMAP_TWPE},
    {"CAP_PRINTERENABLED", "printerenabled", KIND_MACHINE, RULE_LOWER, NOMAP},
    {"CAP_PRINTERFONT", "printerfont", KIND_MACHINE, RULE_MAP, INIMAP_TWPN},
    {"CAP_PRINTERINDEXFORMAT", "iapadding", KIND_MACHINE, RULE_MAP, INIMAP_TWPI},
    {"CAP_PRINTERINDEXDIGITS", "printerindexdigits", KIND_MACHINE, RULE_ASIS, NOMAP},
    {"CAP_PRINTERPOSITION", "printerposition", KIND_MACHINE, RULE_ASIS, NOMAP},
    {"CAP_PRINTERWRITESEQUENCE", "printerwritesequence", KIND_MACHINE, RULE_MAP, INIMAP_TWPW},
    {"CAP_PRINTERWRITESEQUENCEMESSAGE1", "printerwritesequencemessage1", KIND_MACHINE, RULE_ASIS, NOMAP},
    {"CAP_PRINTERWRITESEQUENCEMESSAGE2", "printerwritesequencemessage2", KIND_MACHINE, RULE_ASIS, NOMAP},
    {"CAP_PRINTERWRITESEQUENCEMESSAGE3", "printerwritesequencemessage3", KIND_MACHINE, RULE_ASIS, NOMAP},
    {"CAP_PRINTERWRITESEQUENCEMESSAGE4", "printerwritesequencemessage4", KIND_MACHINE, RULE_ASIS, NOMAP},
    {"CAP_PRINTERWRITESEQUENCEMESSAGE5", "printerwritesequencemessage5", KIND_MACHINE, RULE_ASIS, NOMAP},
    {"CAP_PRINTERWRITESEQUENCEMESSAGE6", "printerwritesequencemessage6", KIND_MACHINE, RULE_ASIS, NOMAP},
    {"CAP_PRINTERWRITESEQUENCESTRING", "printerwritesequencestring", KIND_MACHINE, RULE_SEQUENCE, NOMAP},
    {"CAP_SIDESDIFFERENT", "sidesdifferent", KIND_MACHINE, RULE_LOWER, NOMAP},
    {"ICAP_STREAKREMOVALAGGRESSIVENESS", "streakremovalaggressiveness", KIND_FOUR, RULE_ASIS, NOMAP},
    {"ICAP_STREAKREMOVALENABLED", "streakremoval", KIND_FOUR, RULE_LOWER, NOMAP},
    {"ICAP_SUPPORTEDSIZES", "imagepreset", KIND_MACHINE, RULE_MAP, INIMAP_TWSS},
    {"ICAP_THRESHOLD", "binarizationthreshold", KIND_BITONAL, RULE_ASIS, NOMAP},
    {"CAP_TOGGLEPATCH", "patchtogglemode", KIND_MACHINE, RULE_MAP, INIMAP_TWTP},
    {"CAP_TRANSPORTAUTOSTART", "adfautostart", KIND_MACHINE, RULE_LOWER, NOMAP},
    {"CAP_TRANSPORTTIMEOUT", "adftimeout", KIND_MACHINE, RULE_ASIS, NOMAP},
    {"CAP_TRANSPORTTIMEOUTRESPONSE", "adftimeoutresponse", KIND_MACHINE, RULE_MAP, INIMAP_TWTR},
    {"CAP_ULTRASONICSENSITIVITY", "multifeeduddssensitivity", KIND_MACHINE, RULE_MAP, INIMAP_TWUS},
    {"CAP_ULTRASONICSENSORCENTER", "multifeeduddssensorcenter", KIND_MACHINE, RULE_MAP, INIMAP_TWUO},
    {"CAP_ULTRASONICSENSORLEFT", "multifeeduddssensorleft", KIND_MACHINE, RULE_MAP, INIMAP_TWUO},
    {"CAP_ULTRASONICSENSORRIGHT", "multifeeduddssensorright", KIND_MACHINE, RULE_MAP, INIMAP_TWUO},
    {"CAP_CAMERAORDER", "windowtag", KIND_SPECIAL, RULE_CAMERAORDER, NOMAP},
    {"ICAP_XRESOLUTION", "imageresolutionx", KIND_FOUR, RULE_MAP, INIMAP_RESOLUTION},
};

std::string Lower(const char* a_sz) {
  std::string str(a_sz);
  for (char& c : str) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return str;
}

std::string Rotation(const char* a_sz) {
  char* pcEnd = nullptr;
  const long l = std::strtol(a_sz, &pcEnd, 10);
  if (pcEnd == a_sz) return "0_degrees";
  return l == 90 ? "90_degrees" : l == 180 ? "180_degrees" : l == 270 ? "270_degrees" : "0_degrees";
}

std::string Sequence(const char* a_sz) {
  std::string str(a_sz);
  for (char& c : str) c = c == 'B' ? ' ' : c == 'C' ? 'S' : c == 'F' ? 'Y' : c == 'S' ? '1' : c;
  return str;
}

// One value under its setting's rule.
std::string Converted(const IniSetting& a_inisetting, const char* a_sz) {
  switch (a_inisetting.erule) {
    case RULE_LOWER: return Lower(a_sz);
    case RULE_MAP: return LookupIni(a_inisetting.einimap, a_sz);
    case RULE_ZEROFALSE: return std::strcmp(a_sz, "0") == 0 ? "false" : "true";
    case RULE_TRUE: return "true";
    case RULE_PATCHCODE: return std::strcmp(a_sz, "patchcode") == 0 ? "true" : "false";
    case RULE_ROTATION: return Rotation(a_sz);
    case RULE_LANDSCAPE: return std::strcmp(a_sz, "TWOR_LANDSCAPE") == 0 ? "true" : "false";
    case RULE_PIXELFLAVOR:
      return std::strcmp(a_sz, "TWPF_CHOCOLATE") == 0 ? "false" : std::strcmp(a_sz, "TWPF_VANILLA") == 0 ? "true" : "???";
    case RULE_FLAVORCODES:
      return std::strcmp(a_sz, "TWPF_CHOCOLATE") == 0   ? "chocolate"
             : std::strcmp(a_sz, "TWPF_VANILLA") == 0 ? "vanilla"
                                                       : "???";
    case RULE_SEQUENCE: return Sequence(a_sz);
    default: return a_sz;
  }
}

void AddFour(IniText* a_pinitext, const char* a_szLexicon, const std::string* a_astr) {
  static const char* const s_aszTag[] = {"fb00", "rb00", "fc00", "rc00"};
  a_pinitext->Add("\t\t<d i='%s'>\n", a_szLexicon);
  for (int i = 0; i < 4; ++i) {
    a_pinitext->Add("\t\t\t<%s>", s_aszTag[i]);
    a_pinitext->AddValue(a_astr[i].c_str());
    a_pinitext->Add("</%s>\n", s_aszTag[i]);
  }
  a_pinitext->Add("\t\t</d>\n");
}

void AddPair(IniText* a_pinitext, const char* a_szLexicon, bool a_blColour, const std::string& a_strFront,
             const std::string& a_strRear) {
  const char chKind = a_blColour ? 'c' : 'b';
  a_pinitext->Add("\t\t<d i='%s'>\n\t\t\t<f%c00>", a_szLexicon, chKind);
  a_pinitext->AddValue(a_strFront.c_str());
  a_pinitext->Add("</f%c00>\n\t\t\t<r%c00>", chKind, chKind);
  a_pinitext->AddValue(a_strRear.c_str());
  a_pinitext->Add("</r%c00>\n\t\t</d>\n", chKind);
}

void AddMachine(IniText* a_pinitext, const char* a_szLexicon, const char* a_sz, bool a_blCdata) {
  a_pinitext->Add("\t\t<d i='%s'>\n\t\t\t<m>", a_szLexicon);
  if (a_blCdata) {
    a_pinitext->Add("<![CDATA[");
    a_pinitext->AddCdata(a_sz);
    a_pinitext->Add("]]>");
  } else {
    a_pinitext->AddValue(a_sz);
  }
  a_pinitext->Add("</m>\n\t\t</d>\n");
}

// Bitonal from the BW section, colour from the GRAY one; a colour value of
// exactly "0" is taken from the RGB section.
void AddBlankSize(IniReader* a_pinireader, IniText* a_pinitext) {
  Camera acameraBitonal[2], acameraColour[2], acameraRgb[2];
  if (!IniReadBitonalCamera(a_pinireader, "CAP_BLANKPAGECOMPSIZEBW", acameraBitonal)) return;
  IniReadColorCamera(a_pinireader, "CAP_BLANKPAGECOMPSIZEGRAY", acameraColour);
  a_pinireader->Get("CAP_BLANKPAGECOMPSIZERGB", 0, acameraRgb[0], s_sizetCamera);
  a_pinireader->Get("CAP_BLANKPAGECOMPSIZERGB", 1, acameraRgb[1], s_sizetCamera);
  std::string astr[4] = {Lower(acameraBitonal[0]), Lower(acameraBitonal[1]), Lower(acameraColour[0]),
                         Lower(acameraColour[1])};
  if (astr[2] == "0") astr[2] = Lower(acameraRgb[0]);
  if (astr[3] == "0") astr[3] = Lower(acameraRgb[1][0] ? acameraRgb[1] : acameraRgb[0]);
  AddFour(a_pinitext, "blankimagesize", astr);
}

// Each camera's "x y width height"; numbers beyond the fourth are ignored.
void AddFrames(IniReader* a_pinireader, IniText* a_pinitext) {
  Camera acamera[4];
  if (!IniReadCamera(a_pinireader, "ICAP_FRAMES", acamera)) return;
  std::string astrNumber[4][4];  // [camera][x, y, width, height]
  for (int iCamera = 0; iCamera < 4; ++iCamera) {
    const char* pc = acamera[iCamera];
    for (int iNumber = 0; iNumber < 4; ++iNumber) {
      pc += std::strspn(pc, " ");
      const size_t sizet = std::strcspn(pc, " ");
      astrNumber[iCamera][iNumber].assign(pc, sizet);
      pc += sizet;
    }
  }
  static const struct {
    const char* szLexicon;
    int iNumber;
  } s_aframe[] = {{"imageheight", 3}, {"imagewidth", 2}, {"imageoffsetx", 0}, {"imageoffsety", 1}};
  for (const auto& frame : s_aframe) {
    const std::string astr[4] = {astrNumber[0][frame.iNumber], astrNumber[1][frame.iNumber],
                                 astrNumber[2][frame.iNumber], astrNumber[3][frame.iNumber]};
    AddFour(a_pinitext, frame.szLexicon, astr);
  }
}

void AddImageFormat(IniReader* a_pinireader, IniText* a_pinitext) {
  Camera acameraColour[2];
  if (!IniReadColorCamera(a_pinireader, "ICAP_GRAYSCALE", acameraColour)) return;
  const std::string astr[4] = {"bw", "bw", strcasecmp(acameraColour[0], "true") == 0 ? "gray_8" : "rgb_24",
                               strcasecmp(acameraColour[1], "true") == 0 ? "gray_8" : "rgb_24"};
  AddFour(a_pinitext, "imageformat", astr);
}

void AddCameraOrder(IniReader* a_pinireader, IniText* a_pinitext) {
  char sz[s_sizetSingle];
  if (!a_pinireader->Get("CAP_CAMERAORDER", 0, sz, sizeof sz)) return;
  const bool blBitonalFirst = std::strncmp(sz, "TWCM_BW_BOTH", 12) == 0;
  static const char* const s_aszBitonalFirst[] = {"frontbitonal_00", "frontcolor_00", "rearbitonal_00",
                                                  "rearcolor_00"};
  static const char* const s_aszColourFirst[] = {"frontcolor_00", "frontbitonal_00", "rearcolor_00",
                                                 "rearbitonal_00"};
  a_pinitext->Add("\t\t<d i='windowtag'>\n\t\t\t<enum>\n");
  for (const char* szTag : blBitonalFirst ? s_aszBitonalFirst : s_aszColourFirst)
    a_pinitext->Add("\t\t\t\t<v>%s</v>\n", szTag);
  a_pinitext->Add("\t\t\t</enum>\n\t\t</d>\n");
}

void AddSetting(IniReader* a_pinireader, IniText* a_pinitext, const IniSetting& a_inisetting) {
  Camera acamera[4];
  char sz[s_sizetSingle];
  const bool blPageSize = a_inisetting.szSection && std::strcmp(a_inisetting.szSection, "CAP_PAGESIZELIMIT") == 0;
  const size_t sizetSingle = blPageSize ? s_sizetPageSizeLimit : s_sizetSingle;
  switch (a_inisetting.ekind) {
    case KIND_FOUR:
      if (IniReadCamera(a_pinireader, a_inisetting.szSection, acamera)) {
        const std::string astr[4] = {Converted(a_inisetting, acamera[0]), Converted(a_inisetting, acamera[1]),
                                     Converted(a_inisetting, acamera[2]), Converted(a_inisetting, acamera[3])};
        AddFour(a_pinitext, a_inisetting.szLexicon, astr);
      }
      break;
    case KIND_COLOUR:
    case KIND_BITONAL: {
      const bool blColour = a_inisetting.ekind == KIND_COLOUR;
      if (blColour ? IniReadColorCamera(a_pinireader, a_inisetting.szSection, acamera)
                   : IniReadBitonalCamera(a_pinireader, a_inisetting.szSection, acamera))
        AddPair(a_pinitext, a_inisetting.szLexicon, blColour, Converted(a_inisetting, acamera[0]),
                Converted(a_inisetting, acamera[1]));
      break;
    }
    case KIND_MACHINE:
      if (!a_pinireader->Get(a_inisetting.szSection, 0, sz, sizetSingle)) break;
      if (a_inisetting.erule == RULE_SOUND) {
        AddMachine(a_pinitext, a_inisetting.szLexicon, sz, true);
        AddMachine(a_pinitext, "multifeedsoundenabled", "true", true);
      } else {
        AddMachine(a_pinitext, a_inisetting.szLexicon, Converted(a_inisetting, sz).c_str(), false);
      }
      break;
    case KIND_ALWAYS:
      if (a_inisetting.szSection) a_pinireader->Get(a_inisetting.szSection, 0, sz, sizetSingle);
      AddMachine(a_pinitext, a_inisetting.szLexicon,
                 a_inisetting.erule == RULE_TRUE ? "true" : a_inisetting.szSection ? sz : "", false);
      break;
    case KIND_SPECIAL:
      if (a_inisetting.erule == RULE_BLANKSIZE) AddBlankSize(a_pinireader, a_pinitext);
      if (a_inisetting.erule == RULE_FRAMES) AddFrames(a_pinireader, a_pinitext);
      if (a_inisetting.erule == RULE_IMAGEFORMAT) AddImageFormat(a_pinireader, a_pinitext);
      if (a_inisetting.erule == RULE_CAMERAORDER) AddCameraOrder(a_pinireader, a_pinitext);
      break;
  }
}

void AddNamedHeader(IniReader* a_pinireader, IniText* a_pinitext, const char* a_szDriverVersion,
                    const char* a_szName) {
  char szFamily[s_sizetHeader], szId[s_sizetHeader], szReadonly[s_sizetHeader], szGroup[s_sizetHeader];
  a_pinireader->Get("Header", "family", szFamily, sizeof szFamily);
  a_pinireader->Get("Header", "id", szId, sizeof szId);
  a_pinireader->Get("Header", "readonly", szReadonly, sizeof szReadonly);
  a_pinireader->Get("Header", "group", szGroup, sizeof szGroup);
  const long lGroup = std::strtol(szGroup, nullptr, 10);
  Camera acamera[2];
  const bool blColour = IniReadColorCamera(a_pinireader, "CAP_CAMERAENABLE", acamera) &&
                        (strcasecmp(acamera[0], "true") == 0 || strcasecmp(acamera[1], "true") == 0);
  a_pinitext->Add("\t<header>\n\t\t<id><![CDATA[");
  a_pinitext->AddCdata(a_szName);
  a_pinitext->Add("]]></id>\n\t\t<driverversion>");
  a_pinitext->AddValue(a_szDriverVersion);
  a_pinitext->Add("</driverversion>\n\t\t<family>");
  a_pinitext->AddValue(szFamily);
  a_pinitext->Add("</family>\n\t\t<group>%s</group>\n",
                  lGroup == 1 ? "profileiaprinter" : lGroup == 2 ? "profilenoiaprinter" : "profilenormalsave");
  a_pinitext->Add("\t\t<readonly>%s</readonly>\n\t\t<hidden>false</hidden>\n\t\t<profileid>",
                  std::strtol(szReadonly, nullptr, 10) != 0 ? "true" : "false");
  a_pinitext->AddValue(szId);
  a_pinitext->Add("</profileid>\n\t\t<graphicfilename><![CDATA[%s]]></graphicfilename>\n\t</header>\n",
                  blColour ? "colordocument.png" : "bitonaldocument.png");
}

void AddUnnamedHeader(IniText* a_pinitext, const char* a_szDriverVersion, const char* a_szModel) {
  OsTimeRecord timerecord{};
  char szStamp[32] = {};
  COsTime::GetSystemTime(&timerecord);
  COsTime::GetStringTime(&timerecord, szStamp, sizeof szStamp);
  a_pinitext->Add("\t<header>\n\t\t<id><![CDATA[profileall-%s]]></id>\n\t\t<driverversion>", szStamp);
  a_pinitext->AddValue(a_szDriverVersion);
  a_pinitext->Add("</driverversion>\n\t\t<family>%s</family>\n\t\t<group>profileall</group>\n", FamilyOfModel(a_szModel));
  a_pinitext->Add("\t\t<readonly>false</readonly>\n\t\t<hidden>false</hidden>\n\t\t<profileid>%s</profileid>\n",
                  szStamp);
  a_pinitext->Add("\t\t<graphicfilename><![CDATA[default.png]]></graphicfilename>\n\t</header>\n");
}

void (*s_pfnReadSeam)(const char*) = nullptr;

bool HasNoCase(const std::string& a_str, const char* a_szPrefix, bool a_blAtStart) {
  const size_t sizet = Lower(a_str.c_str()).find(a_szPrefix);
  return a_blAtStart ? sizet == 0 : sizet != std::string::npos;
}

}  // namespace

IniText::IniText() : m_psz(static_cast<char*>(std::malloc(s_sizetText))), m_sizet(0), m_blFailed(false) {
  if (m_psz) m_psz[0] = '\0';
}

IniText::~IniText() { std::free(m_psz); }

void IniText::Add(const char* a_szFormat, ...) {
  if (m_blFailed || !m_psz) return;
  va_list valist;
  va_start(valist, a_szFormat);
  const int i = std::vsnprintf(m_psz + m_sizet, s_sizetText - m_sizet, a_szFormat, valist);
  va_end(valist);
  if (i < 0 || static_cast<size_t>(i) >= s_sizetText - m_sizet) {
    m_psz[m_sizet] = '\0';
    Fail("the document passes 64 KiB");
    return;
  }
  m_sizet += static_cast<size_t>(i);
}

void IniText::AddValue(const char* a_szText) {
  if (std::strpbrk(a_szText, "&<>")) {
    Add("<![CDATA[");
    AddCdata(a_szText);
    Add("]]>");
    return;
  }
  AddCdata(a_szText);
}

void IniText::AddCdata(const char* a_szText) {
  if (std::strstr(a_szText, "]]>")) return Fail("a text holds \"]]>\"");
  for (const char* pc = a_szText; *pc; ++pc)
    if (static_cast<unsigned char>(*pc) < 0x20 && *pc != '\t') return Fail("a text holds a control character");
  Add("%s", a_szText);
}

void IniText::Fail(const char* a_szWhy) {
  if (!m_blFailed) OsLog(OS_LOG_ERROR, "INI profile cannot be converted...<%s>", a_szWhy);
  m_blFailed = true;
}

const char* FamilyOfModel(const char* a_szModel) {
  const std::string str = a_szModel && a_szModel[0] ? a_szModel : "???";
  if (HasNoCase(str, "birch", true)) return "birch";
  if (HasNoCase(str, "cedar", true)) return "cedar";
  if (HasNoCase(str, "larch", true)) return "larch";
  const bool bl20 = str.find("20") != std::string::npos;
  const bool bl30 = str.find("30") != std::string::npos;
  if (!bl20) return "vorlan_30";
  return bl30 ? "???" : "vorlan_20";
}

bool BuildDocument(const char* a_szIni, const char* a_szDriverVersion, const char* a_szModel, IniText* a_pinitext) {
  if (!a_pinitext->Allocated()) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return false;
  }
  IniReader inireader(a_szIni, a_pinitext);
  char szName[s_sizetLocale];
  a_pinitext->Add("<profile>\n");
  if (inireader.Get("Header", "l_en_usa", szName, sizeof szName) && szName[0]) {
    AddNamedHeader(&inireader, a_pinitext, a_szDriverVersion ? a_szDriverVersion : "", szName);
  } else if (!a_pinitext->Failed()) {
    AddUnnamedHeader(a_pinitext, a_szDriverVersion ? a_szDriverVersion : "", a_szModel);
  }
  if (s_pfnReadSeam) s_pfnReadSeam(a_szIni);
  a_pinitext->Add("\t<database>\n");
  for (const IniSetting& inisetting : s_ainisetting) {
    if (a_pinitext->Failed()) break;
    AddSetting(&inireader, a_pinitext, inisetting);
  }
  a_pinitext->Add("\t</database>\n</profile>");
  return !a_pinitext->Failed();
}

void ForEachMappedSetting(void (*a_pfn)(const char* a_szLexicon, int a_iMap, void* a_pvUser), void* a_pvUser) {
  for (const IniSetting& inisetting : s_ainisetting)
    if (inisetting.erule == RULE_MAP) a_pfn(inisetting.szLexicon, inisetting.einimap, a_pvUser);
}

void SetReadSeam(void (*a_pfnSeam)(const char* a_szIni)) { s_pfnReadSeam = a_pfnSeam; }

}  // namespace dbprofileini
