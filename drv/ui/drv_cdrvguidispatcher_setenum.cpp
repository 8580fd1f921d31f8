// The subcommand of "setvalue": "enum" gives a list capability a new
// current list, each item one of its default items. Every check comes
// before the list changes; a refusal while adding puts the old list back.
#include <cstring>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdblookup.h"
#include "drv_cdrvguichildren.h"
#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"
#include "os_cosxml.h"

namespace {

constexpr long s_lEnumSubName = 64;
constexpr long s_lEnumItem = 512;  // an item's name: 511 characters
constexpr size_t s_sizetEnumItems = 96;

// The items named by the children of the subcommand element; false on the
// first that cannot be used (logged).
bool ReadEnumItems(CDatabase* a_pdatabase, COsXml* a_posxml, DbLookup2* a_pdblookup2, std::vector<long>* a_pveclItem) {
  if (a_posxml->NodePush() != OS_STS_SUCCESS) return false;
  bool blGood = true;
  if (a_posxml->NodeChild() == OS_STS_SUCCESS) {
    std::vector<char> vecchItem(s_lEnumItem, 0);
    do {
      if (!DrvGuiNodeText(a_posxml, vecchItem.data(), s_lEnumItem)) {
        OsLog(OS_LOG_ERROR, "The item does not fit %ld bytes...", s_lEnumItem);
        blGood = false;
        break;
      }
      DbLookupEnum* pdblookupenum = a_pdatabase->LookupLexiconEnum(a_pdblookup2, vecchItem.data());
      if (!pdblookupenum) {
        OsLog(OS_LOG_ERROR, "Unrecognized lexicon enum %s...", vecchItem.data());
        blGood = false;
        break;
      }
      if (a_pveclItem->size() >= s_sizetEnumItems) {
        OsLog(OS_LOG_ERROR, "Array overflow for the enumeration %d...", static_cast<int>(a_pdblookup2->edbid));
        blGood = false;
        break;
      }
      a_pveclItem->push_back(pdblookupenum->lValue);
    } while (a_posxml->NodeSibling() == OS_STS_SUCCESS);
  }
  a_posxml->NodePop();
  return blGood;
}

}  // namespace

EOSSTS CDrvGuiImpl::DispatchSetValueSubCommand(COsXml* a_posxml, const char* a_szName) {
  if (!m_pdatabase || !a_posxml) return OS_STS_FAIL;
  DbLookup2* pdblookup2 = *a_szName ? m_pdatabase->LookupLexicon(a_szName) : nullptr;
  if (!pdblookup2) {
    OsLog(OS_LOG_ERROR, "pdblookup2 is NULL <%s>", a_szName);
    return OS_STS_FAIL;
  }
  CDbDatum* pdbdatum = m_pdatabase->Find(pdblookup2->edbid);
  if (!pdbdatum) {
    OsLog(OS_LOG_ERROR, "hdbdatum is NULL <%s>", a_szName);
    return OS_STS_FAIL;
  }
  char szSubName[s_lEnumSubName] = "";
  if (a_posxml->NodeGetName(szSubName, sizeof szSubName) != OS_STS_SUCCESS) *szSubName = 0;
  switch (m_pdatabase->GetContainerType(pdbdatum)) {
    case DB_CONTAINERTYPE_RANGE: OsLog(OS_LOG_ERROR, "Unsupported subcommand <range> for setvalue"); return OS_STS_FAIL;
    case DB_CONTAINERTYPE_STRING:
      OsLog(OS_LOG_ERROR, "Unsupported subcommand <string> for setvalue");
      return OS_STS_FAIL;
    default: break;
  }
  if (std::strcmp(szSubName, "enum") != 0) {
    OsLog(OS_LOG_ERROR, "Wrong subcomand <%s> for the ID <%s>", szSubName, a_szName);
    return OS_STS_FAIL;
  }
  std::vector<long> veclItem;
  if (!ReadEnumItems(m_pdatabase, a_posxml, pdblookup2, &veclItem)) return OS_STS_FAIL;
  for (long lItem : veclItem) {
    if (m_pdatabase->EnumGetDefaultItemCount(pdbdatum) == 0 || !m_pdatabase->EnumHasDefaultItem(pdbdatum, lItem)) {
      OsLog(OS_LOG_ERROR, "App asked to add unsupported enum...%d", static_cast<int>(lItem));
      return OS_STS_FAIL;
    }
  }
  std::vector<long> veclBefore;
  for (long l = 0, lCount = m_pdatabase->EnumGetItemCount(pdbdatum); l < lCount; ++l)
    veclBefore.push_back(m_pdatabase->EnumGetItem(pdbdatum, l));
  m_pdatabase->EnumDeleteAllItems(pdbdatum);
  for (long lItem : veclItem) {
    const EDBSTS edbsts = m_pdatabase->EnumAddItem(pdbdatum, lItem);
    if (edbsts == DB_STS_SUCCESS) continue;
    OsLog(OS_LOG_ERROR, "EnumAddItem failed...%d", static_cast<int>(edbsts));
    // Never half a list: the one it replaced comes back.
    m_pdatabase->EnumDeleteAllItems(pdbdatum);
    for (long lBefore : veclBefore) m_pdatabase->EnumAddItem(pdbdatum, lBefore);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
