// Labels through the database: the reload after a change of language, the
// label of a key, and the texts of the last printer and image-address
// errors.
#include "db_cdatabase.h"
#include "db_cdblabel.h"
#include "os_cosstring.h"

namespace {

constexpr char s_szUnknown[] = "???";

// The label of an error token, or nothing for no token. A label too long
// for the text is cut (and logged) rather than leaving the previous error
// in its place.
void StoreErrorLabel(CDatabase& a_database, const char* a_szToken, char* a_szText, size_t a_sizetText) {
  const char* szLabel = a_szToken && a_szToken[0] ? a_database.LabelGet(a_szToken, s_szUnknown, -1) : "";
  COsString::SStrPrintf(a_szText, a_sizetText, "%s", szLabel);
}

}  // namespace

void CDatabase::UpdateLabels() {
  if (m_pdblabel) m_pdblabel->Open();
}

const char* CDatabase::LabelGet(const char* a_szKey, const char* a_szFallback, int a_iIndex) {
  const char* szLabel = m_pdblabel ? m_pdblabel->Get(a_szKey, a_iIndex) : nullptr;
  return szLabel ? szLabel : a_szFallback;
}

void CDatabase::SetLastPrinterError(const char* a_szToken) {
  StoreErrorLabel(*this, a_szToken, m_szLastPrinterError, sizeof m_szLastPrinterError);
}

void CDatabase::SetLastImageAddressError(const char* a_szToken) {
  StoreErrorLabel(*this, a_szToken, m_szLastImageAddressError, sizeof m_szLastImageAddressError);
}
