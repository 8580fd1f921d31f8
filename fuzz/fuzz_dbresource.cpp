// Fuzz target of the readers of the compiled database resources: every input
// is read as a LOOKUP, a DATABASE and a LABELS text in turn, and whatever
// loads is searched and walked whole.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "db_cdblookup.h"
#include "db_cdbresource.h"

namespace {

volatile size_t s_sizetSink;

void Touch(const char* a_sz) {
  if (a_sz) s_sizetSink = s_sizetSink + std::strlen(a_sz);
}

EOSSTS VisitRecord(const DbResourceRecord* a_pdbresourcerecord, void*) {
  for (long l = 0; l < a_pdbresourcerecord->lBins; ++l) {
    const DbResourceBin& bin = a_pdbresourcerecord->adbresourcebin[l];
    Touch(bin.szText);
    for (long lItem = 0; lItem < bin.lItems; ++lItem) s_sizetSink = s_sizetSink + static_cast<size_t>(bin.alItems[lItem]);
    for (long lItem = 0; lItem < bin.lCurrentItems; ++lItem)
      s_sizetSink = s_sizetSink + static_cast<size_t>(bin.alCurrentItems[lItem]);
  }
  return OS_STS_SUCCESS;
}

EOSSTS VisitLabel(const DbResourceLabel* a_pdbresourcelabel, void*) {
  Touch(a_pdbresourcelabel->szTag);
  for (long l = 0; l < a_pdbresourcelabel->lColumns; ++l) Touch(a_pdbresourcelabel->aszText[l]);
  return OS_STS_SUCCESS;
}

void SearchLookup(CDbLookup& a_dblookup) {
  for (int iId = DB_ID_UNDEFINED; iId <= DB_ID_LAST; ++iId) {
    DbLookup2* pdblookup2 = a_dblookup.FindEdbid(static_cast<EDBID>(iId));
    if (!pdblookup2) continue;
    Touch(pdblookup2->szDbId);
    Touch(pdblookup2->szTwainLexicon);
    if (pdblookup2->szLexicon) a_dblookup.FindLexicon(pdblookup2->szLexicon);
    for (long l = 0; l < pdblookup2->lEnumCount; ++l) {
      Touch(pdblookup2->pEnums[l].szDbIdEnum);
      a_dblookup.FindDbEnum(pdblookup2, pdblookup2->pEnums[l].lValue);
      a_dblookup.FindLexiconEnum(pdblookup2, pdblookup2->pEnums[l].szLexiconEnum);
    }
  }
  a_dblookup.FindDriverLexicon("ICAP_XRESOLUTION");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  CDbLookup dblookup;
  if (dblookup.Open2(DB_API_RESOURCE, nullptr, a_pu8Data, a_sizetData, false) == OS_STS_SUCCESS) SearchLookup(dblookup);
  CDbResource dbresource;
  if (dbresource.ReadDatabase(a_pu8Data, a_sizetData, VisitRecord, nullptr) == OS_STS_SUCCESS)
    Touch(dbresource.GetHeader());
  dbresource.ReadLabels(a_pu8Data, a_sizetData, VisitLabel, nullptr);
  return 0;
}
