// The enumeration towards the configuration and the device: the default fix
// with the application action of the scanner configuration, and the task
// argument named by the value's lexicon.
#include <algorithm>

#include "db_cdatabase.h"
#include "db_cdbenum.h"
#include "db_cdblookup.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
constexpr size_t s_sizetKey = 256;
}  // namespace

// "app_<twain lexicon>_action" holding "constrain" narrows the default list
// to the values of "app_<twain lexicon>" that the current list offers (all
// of the current list when none is); "remove" takes those values out.
bool CDbEnum::ApplyApplicationAction() {
  CDatabase* pdatabase = GetDatabase();
  if (!pdatabase || !m_pdblookup2 || !m_pdblookup2->szTwainLexicon || !m_pdblookup2->szTwainLexicon[0]) return false;
  char szKey[s_sizetKey];
  char szAction[s_sizetKey];
  if (COsString::SStrPrintf(szKey, sizeof szKey, "app_%s", m_pdblookup2->szTwainLexicon) < 0 ||
      COsString::SStrPrintf(szAction, sizeof szAction, "app_%s_action", m_pdblookup2->szTwainLexicon) < 0) {
    return false;
  }
  const bool blConstrain = pdatabase->ConfigEnumExists(szAction, "constrain", DB_EDBCONFIGTARGET_COMMON);
  if (!blConstrain && !pdatabase->ConfigEnumExists(szAction, "remove", DB_EDBCONFIGTARGET_COMMON)) return false;
  if (blConstrain) DeleteAllDefaultItems();
  for (const char* szValue = pdatabase->ConfigEnumGetFirst(szKey, DB_EDBCONFIGTARGET_COMMON); szValue;
       szValue = pdatabase->ConfigEnumGetNext(szKey, szValue, DB_EDBCONFIGTARGET_COMMON)) {
    DbLookupEnum* pdblookupenum = pdatabase->LookupLexiconEnum(m_pdblookup2, szValue);
    if (!pdblookupenum) continue;
    if (!blConstrain) {
      DeleteDefaultItem(pdblookupenum->lValue);
    } else if (HasCurrentItem(pdblookupenum->lValue)) {
      AddDefaultItem(pdblookupenum->lValue);
    }
  }
  if (blConstrain && GetDefaultItemCount() == 0) {
    m_lDefaultCount = m_lCurrentCount;
    std::copy(m_alCurrentItems, m_alCurrentItems + s_lItemSlots, m_alDefaultItems);
  }
  return true;
}

EOSSTS CDbEnum::FixDefault() {
  if (ApplyApplicationAction()) {
    if (!HasDefaultItem(GetDefaultLong())) SetDefaultLong(GetDefaultItem(0));
    FixDefaultReset();
  }
  return CDbDatum::FixDefault();
}

void CDbEnum::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  if (!m_pdblookup2) {
    OsLog(OS_LOG_ERROR, "pdblookup2 is NULL...");
    return;
  }
  CDatabase* pdatabase = GetDatabase();
  DbLookupEnum* pdblookupenum = pdatabase ? pdatabase->LookupDbEnum(m_pdblookup2, a_lValue) : nullptr;
  if (!pdblookupenum || !pdblookupenum->szLexiconEnum) {
    OsLog(OS_LOG_ERROR, "Can't find %ld in %s", a_lValue, m_pdblookup2->szLexicon ? m_pdblookup2->szLexicon : "");
    return;
  }
  COsXmlTask* posxmltask = LexiconTask();
  if (posxmltask && ConsumersMatch(GetDeviceData(), a_edbdevicedataTarget))
    WriteArgument(posxmltask, m_pdblookup2->szLexicon, pdblookupenum->szLexiconEnum, true);
}
