// The language a scanner unit or the image library is asked to speak: the
// user's language when that side lists it, else US English.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfigimpl.h"
#include "db_cdbdatum.h"
#include "os_coslocale.h"

namespace {
constexpr const char* s_szEnglish = "en_usa";
// The languages a side is taken to know when it lists none.
constexpr const char* s_szBuiltInLanguages =
    "en_usa ch_chn ch_twn cs_cze de_deu es_esp fr_fra it_ita jp_jpn ko_kor nl_nld pt_bra ru_rus tr_tur";

// The database's current value of the language capability; the language
// service's current language without a database or without the capability.
long CurrentLanguage(CDatabase* a_pdatabase) {
  CDbDatum* pdbdatum = a_pdatabase ? a_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_LANGUAGE) : nullptr;
  if (pdbdatum && pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED) return pdbdatum->GetCurrentLong();
  return g_poslocale ? g_poslocale->GetLanguageId(nullptr) : OS_LANGUAGE_EN_USA;
}

bool NexilSupported(CDatabase* a_pdatabase) { return a_pdatabase && a_pdatabase->IsIdSupported(DB_ID_NEXIL); }

const DbConfigDatabaseQueries s_dbconfigdatabasequeriesDefault = {CurrentLanguage, NexilSupported};
const DbConfigDatabaseQueries* s_pdbconfigdatabasequeries = &s_dbconfigdatabasequeriesDefault;

const char* Lexicon(long a_lLanguage) {
  if (a_lLanguage <= OS_LANGUAGE_NONE || a_lLanguage >= OS_LANGUAGE_LAST) return s_szEnglish;
  const auto eoslanguage = static_cast<EOSLANGUAGE>(a_lLanguage);
  return g_poslocale ? g_poslocale->GetLanguageLexicon(eoslanguage) : s_oslanguagelookup[eoslanguage].szLexicon;
}

// The lexicon as a whole word of a blank-separated list.
bool Listed(const char* a_szList, const char* a_szLexicon) {
  const size_t sizetLexicon = std::strlen(a_szLexicon);
  for (const char* pc = std::strstr(a_szList, a_szLexicon); pc; pc = std::strstr(pc + 1, a_szLexicon)) {
    if ((pc == a_szList || pc[-1] == ' ') && (pc[sizetLexicon] == ' ' || pc[sizetLexicon] == '\0')) return true;
  }
  return false;
}
}  // namespace

void CDbConfigImpl::SetDatabaseQueries(const DbConfigDatabaseQueries* a_pdbconfigdatabasequeries) {
  s_pdbconfigdatabasequeries = a_pdbconfigdatabasequeries ? a_pdbconfigdatabasequeries
                                                          : &s_dbconfigdatabasequeriesDefault;
}

const DbConfigDatabaseQueries& CDbConfigImpl::DatabaseQueries() { return *s_pdbconfigdatabasequeries; }

const char* CDbConfigImpl::UseLanguage(bool a_blDevice, EDBID_FIRMWARE a_edbidfirmware) {
  const char* szLexicon = Lexicon(DatabaseQueries().pfnGetLanguage(m_pdatabase));
  const char* szId = a_blDevice ? "language" : "nexillanguage";
  const EDBCONFIGTARGET edbconfigtarget =
      a_edbidfirmware == DB_FIRMWARE_ADF ? DB_CONFIGTARGET_ADF : DB_CONFIGTARGET_FLATBED;
  // The side's own list, when it has one.
  if (EnumExists(szId, s_szEnglish, edbconfigtarget)) {
    return EnumExists(szId, szLexicon, edbconfigtarget) ? szLexicon : s_szEnglish;
  }
  // Else the interface-open reply of the unit, while it is kept.
  const char* szInterfaceOpen = a_edbidfirmware == DB_FIRMWARE_ADF       ? m_szAdfInterfaceOpen
                                : a_edbidfirmware == DB_FIRMWARE_FLATBED ? m_szFlatbedInterfaceOpen
                                                                         : nullptr;
  if (szInterfaceOpen) return std::strstr(szInterfaceOpen, szLexicon) ? szLexicon : s_szEnglish;
  return Listed(s_szBuiltInLanguages, szLexicon) ? szLexicon : s_szEnglish;
}
