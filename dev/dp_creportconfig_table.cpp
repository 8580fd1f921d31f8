// The keywords of reportconfig: where each one's content goes and how it is
// read. Words are compared exactly; a word not listed changes nothing.
#include <iterator>

#include "dp_creportconfig.h"

namespace {
constexpr DpConfigWord s_adpconfigwordBoolean[] = {{"true", 2}, {"false", 1}, {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordFeederMode[] = {{"normal", 1}, {"special", 2}, {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordTimeoutResponse[] = {
    {"stopfeeder", 1}, {"waitforpaper", 2}, {"endofjob", 3}, {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordBackground[] = {{"black", 1}, {"white", 2}, {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordProtection[] = {
    {"none", 1}, {"minimum", 2}, {"normal", 3}, {"maximum", 4}, {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordMultifeedResponse[] = {
    {"continue", 1},
    {"endofjob", 2},
    {"endofjobleavepaper", 3},
    {"stopfeeder", 4},
    {"stopfeederleavepaper", 5},
    {"endofjobgenerateimage", 6},
    {"endofjobholdpaperatexit", 7},
    {"stopfeederholdpaperatexit", 8},
    {"interactiveholdpaperatexit", 9},
    {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordSensitivity[] = {
    {"none", 1}, {"low", 2}, {"medium", 3}, {"high", 4}, {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordPaperJamResponse[] = {{"stopfeeder", 1}, {"endofjob", 2}, {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordPaperSource[] = {{"adf", 2}, {"flatbed", 3}, {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordTogglePatch[] = {
    {"none", 1}, {"bothsides", 2}, {"sameside", 4}, {"detectonly", 5}, {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordDateDelimiter[] = {
    {"none", 1}, {"forwardslash", 2}, {"hyphen", 3}, {"period", 4}, {"blank", 5}, {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordDateFormat[] = {
    {"mmddyyyy", 1}, {"mmddyy", 2},  {"ddmmyyyy", 3}, {"ddmmyy", 4}, {"yyyymmdd", 5},
    {"yymmdd", 6},   {"ddd", 7},     {"yyyyddd", 8},  {"yyddd", 9},  {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordFont[] = {
    {"largecomic", 1}, {"largecine", 2}, {"smallcomic", 5}, {"smallcine", 6}, {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordIndexFormat[] = {
    {"compressleadingzeros", 1}, {"displayleadingzeros", 2}, {"suppressleadingzeros", 3}, {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordIndexIncrement[] = {
    {"everysheet", 1}, {"patchtransfer", 2}, {"patchtype1", 3}, {"patchtype2", 4},
    {"patchtype3", 5}, {"patchtype6", 6},    {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordIndexReset[] = {
    {"never", 1},      {"patchtransfer", 2}, {"patchtype1", 3}, {"patchtype2", 4},
    {"patchtype3", 5}, {"patchtype6", 6},    {nullptr, 0}};
constexpr DpConfigWord s_adpconfigwordTimeFormat[] = {
    {"hhmm24", 1}, {"hhmmss24", 2}, {"hhmmssxx24", 3}, {"hhmm12", 4},     {"hhmmss12", 5},
    {"hhmmssxx12", 6}, {"hhmmtt", 7}, {"hhmmsstt", 8}, {"hhmmssxxtt", 9}, {nullptr, 0}};
}  // namespace

const DpConfigKeyword CReportConfig::s_adpconfigkeyword[] = {
    {"vendor", DB_ID_UNDEFINED, DP_CONFIG_IGNORED, nullptr},
    {"model", DB_ID_UNDEFINED, DP_CONFIG_MODEL, nullptr},
    {"serialnumber", DB_ID_UNDEFINED, DP_CONFIG_SERIALNUMBER, nullptr},
    {"adfautostart", DB_ID_TRANSPORTAUTOSTART, DP_CONFIG_ENUM, s_adpconfigwordBoolean},
    {"adfhandling", DB_ID_FEEDERMODE, DP_CONFIG_ENUM, s_adpconfigwordFeederMode},
    {"adftimeout", DB_ID_TRANSPORTTIMEOUT, DP_CONFIG_NUMBER, nullptr},
    {"adftimeoutresponse", DB_ID_TRANSPORTTIMEOUTRESPONSE, DP_CONFIG_ENUM, s_adpconfigwordTimeoutResponse},
    {"background", DB_ID_BACKGROUND, DP_CONFIG_ENUM, s_adpconfigwordBackground},
    {"iascanner", DB_ID_IMAGEADDRESSSCANNER, DP_CONFIG_TEXT, nullptr},
    {"imagecount", DB_ID_XFERCOUNT, DP_CONFIG_NUMBER, nullptr},
    {"intelligentdocumentprotection", DB_ID_INTELLIGENTDOCUMENTPROTECTION, DP_CONFIG_ENUM, s_adpconfigwordProtection},
    {"lowpowermodetimeout", DB_ID_ENERGYSTAR, DP_CONFIG_NUMBER, nullptr},
    {"magnificationfrontx", DB_ID_MAGNIFICATIONFRONTX, DP_CONFIG_FORCEDNUMBER, nullptr},
    {"magnificationfronty", DB_ID_MAGNIFICATIONFRONTY, DP_CONFIG_FORCEDNUMBER, nullptr},
    {"magnificationrearx", DB_ID_MAGNIFICATIONREARX, DP_CONFIG_FORCEDNUMBER, nullptr},
    {"magnificationreary", DB_ID_MAGNIFICATIONREARY, DP_CONFIG_FORCEDNUMBER, nullptr},
    {"meterfirstscan", DB_ID_METERFIRSTSCAN, DP_CONFIG_FORCEDDATE, nullptr},
    {"meterlampfront", DB_ID_METERLAMPFRONT, DP_CONFIG_FORCEDNUMBER, nullptr},
    {"meterlamprear", DB_ID_METERLAMPREAR, DP_CONFIG_FORCEDNUMBER, nullptr},
    {"meterpagecount", DB_ID_METERPAGECOUNT, DP_CONFIG_FORCEDNUMBER, nullptr},
    {"meterpower", DB_ID_METERPOWER, DP_CONFIG_FORCEDNUMBER, nullptr},
    {"metertransport", DB_ID_METERTRANSPORT, DP_CONFIG_FORCEDNUMBER, nullptr},
    {"multifeedlength", DB_ID_PAGESIZELIMIT, DP_CONFIG_NUMBER, nullptr},
    {"multifeedresponse", DB_ID_MULTIFEEDRESPONSE, DP_CONFIG_ENUM, s_adpconfigwordMultifeedResponse},
    {"multifeedsound", DB_ID_MULTIFEEDSOUND, DP_CONFIG_TEXT, nullptr},
    {"multifeeduddssensitivity", DB_ID_ULTRASONICSENSITIVITY, DP_CONFIG_ENUM, s_adpconfigwordSensitivity},
    {"paperdetectable", DB_ID_UNDEFINED, DP_CONFIG_IGNORED, nullptr},
    {"paperdetected", DB_ID_FEEDERLOADED, DP_CONFIG_FORCEDENUM, s_adpconfigwordBoolean},
    {"paperjamresponse", DB_ID_PAPERJAMRESPONSE, DP_CONFIG_ENUM, s_adpconfigwordPaperJamResponse},
    {"papersource", DB_ID_PAPERSOURCE, DP_CONFIG_ENUM, s_adpconfigwordPaperSource},
    {"patchtogglemode", DB_ID_TOGGLEPATCH, DP_CONFIG_ENUM, s_adpconfigwordTogglePatch},
    {"patchtoggleoutputfront", DB_ID_UNDEFINED, DP_CONFIG_IGNORED, nullptr},
    {"patchtoggleoutputrear", DB_ID_UNDEFINED, DP_CONFIG_IGNORED, nullptr},
    {"powerofftimeout", DB_ID_POWEROFFTIMEOUT, DP_CONFIG_NUMBER, nullptr},
    {"powerofftimeoutenabled", DB_ID_POWEROFFTIMEOUTENABLED, DP_CONFIG_ENUM, s_adpconfigwordBoolean},
    {"printer", DB_ID_PRINTERENABLED, DP_CONFIG_ENUM, s_adpconfigwordBoolean},
    {"printerenabled", DB_ID_UNDEFINED, DP_CONFIG_IGNORED, nullptr},
    {"printerdatedelimiter", DB_ID_PRINTERDATEDELIMITER, DP_CONFIG_ENUM, s_adpconfigwordDateDelimiter},
    {"printerdateformat", DB_ID_PRINTERDATEFORMAT, DP_CONFIG_ENUM, s_adpconfigwordDateFormat},
    {"printerfont", DB_ID_PRINTERFONT, DP_CONFIG_ENUM, s_adpconfigwordFont},
    {"printerindex", DB_ID_PRINTERINDEX, DP_CONFIG_NUMBER, nullptr},
    {"printerindexdigits", DB_ID_PRINTERINDEXDIGITS, DP_CONFIG_NUMBER, nullptr},
    {"printerindexformat", DB_ID_PRINTERINDEXFORMAT, DP_CONFIG_ENUM, s_adpconfigwordIndexFormat},
    {"printerindexincrement", DB_ID_PRINTERINDEXINCREMENT, DP_CONFIG_ENUM, s_adpconfigwordIndexIncrement},
    {"printerindexreset", DB_ID_PRINTERINDEXRESET, DP_CONFIG_ENUM, s_adpconfigwordIndexReset},
    {"printerindexresetvalue", DB_ID_PRINTERINDEXRESETVALUE, DP_CONFIG_NUMBER, nullptr},
    {"printerposition", DB_ID_PRINTERPOSITION, DP_CONFIG_NUMBER, nullptr},
    {"printertimeformat", DB_ID_PRINTERTIMEFORMAT, DP_CONFIG_ENUM, s_adpconfigwordTimeFormat},
    {"printerwritesequence1", DB_ID_PRINTERWRITESEQUENCESTRING, DP_CONFIG_TEXT, nullptr},
    {"printerwritesequencemessage1", DB_ID_PRINTERWRITESEQUENCEMESSAGE1, DP_CONFIG_TEXT, nullptr},
    {"printertest", DB_ID_PRINTERTEST, DP_CONFIG_ENUM, s_adpconfigwordBoolean},
    {"printonimagefront", DB_ID_PRINTONIMAGEFRONT, DP_CONFIG_ENUM, s_adpconfigwordBoolean},
    {"printonimagepositionx", DB_ID_PRINTONIMAGEPOSITIONX, DP_CONFIG_NUMBER, nullptr},
    {"printonimagepositiony", DB_ID_PRINTONIMAGEPOSITIONY, DP_CONFIG_NUMBER, nullptr},
    {"printonimagerear", DB_ID_PRINTONIMAGEREAR, DP_CONFIG_ENUM, s_adpconfigwordBoolean},
    {"countonlymode", DB_ID_COUNTONLYMODE, DP_CONFIG_ENUM, s_adpconfigwordBoolean},
    {"simulation", DB_ID_UNDEFINED, DP_CONFIG_IGNORED, nullptr},
    {"timedate", DB_ID_TIMEDATE, DP_CONFIG_FORCEDTEXT, nullptr},
    {"timedateutc", DB_ID_TIMEDATEUTC, DP_CONFIG_FORCEDTEXT, nullptr},
};

const size_t CReportConfig::s_sizetKeywords = std::size(CReportConfig::s_adpconfigkeyword);
