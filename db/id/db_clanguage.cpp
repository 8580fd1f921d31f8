// The user-interface language: the languages offered, the language applied
// to the process and its labels, and the lexicon sent to the scanner.
#include "db_clanguage.h"

#include "db_ccolortable.h"
#include "db_cdatabase.h"
#include "db_cdbcontainer.h"
#include "db_crulekit.h"
#include "os_coslocale.h"
#include "os_coslog.h"

namespace {

constexpr char s_szEnglish[] = "en_usa";

// The colour-table labels are the language's too. Their own rule loaded
// them earlier in the pass, before the labels changed; loaded again now,
// they follow the labels just loaded.
void ReloadColorTables(CDatabase& a_database) {
  if (!a_database.IsIdSupported(DB_ID_COLORTABLE)) return;
  for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
    CDbEnum* pdbenum = dbcontainer::AsEnum(CRuleKit::Supported(DB_ID_COLORTABLE, static_cast<EDBBIN>(iBin)));
    if (pdbenum) {
      LoadColorTables(pdbenum);
      return;
    }
  }
}

}  // namespace

// Once per database: the languages the database lists are registered with
// the service (the first call clearing what was registered before), and the
// list becomes what the service then offers, sub-languages included.
EOSSTS CLANGUAGE::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || pdatabase->GetLanguageState()->blListBuilt) return OS_STS_SUCCESS;
  pdatabase->GetLanguageState()->blListBuilt = true;
  if (!g_poslocale) {
    OsLog(OS_LOG_ERROR, "g_poslocale is null...");
    return OS_STS_SUCCESS;
  }
  for (long l = 0; l < GetDefaultItemCount(); ++l) {
    g_poslocale->RegisterLanguage(static_cast<EOSLANGUAGE>(GetDefaultItem(l)),
                                  OS_LANGREGISTER_LANGUAGE | OS_LANGREGISTER_SUBLANGUAGES, l == 0);
  }
  DeleteAllDefaultItems();
  for (EOSLANGUAGE eoslanguage = g_poslocale->GetRegisteredLanguage(OS_LANGUAGE_NONE);
       eoslanguage != OS_LANGUAGE_NONE; eoslanguage = g_poslocale->GetRegisteredLanguage(eoslanguage))
    AddDefaultItem(eoslanguage);
  FixDefaultReset();
  return OS_STS_SUCCESS;
}

// The first pass of a database applies the stored language whichever value
// started it; later passes only a change of the language itself. Auto
// stores the language the service chose.
EOSSTS CLANGUAGE::FixCurrent() {
  FixDefault();
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || (pdatabase->GetLanguageState()->blApplied && !WasModified())) return OS_STS_SUCCESS;
  pdatabase->GetLanguageState()->blApplied = true;
  if (!g_poslocale) return OS_STS_SUCCESS;
  const long lLanguage = GetCurrentLong();
  if (lLanguage < OS_LANGUAGE_NONE || lLanguage >= OS_LANGUAGE_LAST) {
    OsLog(OS_LOG_ERROR, "language not known, labels kept...%ld", lLanguage);
    return OS_STS_FAIL;
  }
  if (g_poslocale->SetLanguage(static_cast<EOSLANGUAGE>(lLanguage)) != OS_STS_SUCCESS) return OS_STS_FAIL;
  if (lLanguage == OS_LANGUAGE_AUTO) SetCurrentLong(g_poslocale->GetLanguageId(nullptr));
  pdatabase->UpdateLabels();
  ReloadColorTables(*pdatabase);
  return OS_STS_SUCCESS;
}

EOSSTS CLANGUAGE::Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) {
  FixDefault();
  return CDbEnum::Validate(a_edbidwindow, a_lValue);
}

void CLANGUAGE::MakeXml(long, EDBDEVICEDATA a_edbdevicedataTarget) {
  const char* szLexicon = g_poslocale ? g_poslocale->GetLanguageLexicon(OS_LANGUAGE_NONE) : s_szEnglish;
  CDbDatum::MakeXml(reinterpret_cast<long>(szLexicon), a_edbdevicedataTarget, "language");
}
