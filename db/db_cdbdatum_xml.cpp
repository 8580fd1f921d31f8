// The datum towards the device: its argument in the shared device task, and
// the default fix that drops the camera bins a scanner model lacks.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdblookup.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

namespace {

constexpr size_t s_sizetNumber = 32;
// Consumer groups: the image library and "all" (8, 16, 32, 64), and the
// feeder firmware side (1, 4, 16, 64). Flatbed firmware alone (2) is in neither.
constexpr int s_iConsumersNexil = 0x78;
constexpr int s_iConsumersAdf = 0x55;

// Whether the first occurrence of the three letters ends the lexicon.
bool EndsWithFirst(const char* a_szLexicon, const char* a_szSuffix) {
  const char* pc = std::strstr(a_szLexicon, a_szSuffix);
  return pc && pc[3] == '\0';
}

const DbLookupEnum* FirstEnumOf(const DbLookup2* a_pdblookup2, long a_lValue) {
  if (!a_pdblookup2->pEnums) return nullptr;
  for (long l = 0; l < a_pdblookup2->lEnumCount; ++l) {
    if (a_pdblookup2->pEnums[l].lValue == a_lValue) return &a_pdblookup2->pEnums[l];
  }
  return nullptr;
}

}  // namespace

// Texts that hold markup go into a CDATA section; one that would end the
// section early is refused, so no argument is ever written malformed.
void CDbDatum::WriteArgument(COsXmlTask* a_posxmltask, const char* a_szName, const char* a_szText, bool a_blMarkup) {
  if (!a_blMarkup || !std::strpbrk(a_szText, "<>&")) {
    a_posxmltask->AddArgument(a_szName, a_szText, false);
  } else if (std::strstr(a_szText, "]]>")) {
    OsLog(OS_LOG_ERROR, "text holds ']]>', not written...<%s>", a_szName);
  } else {
    a_posxmltask->AddArgumentSafe(a_szName, a_szText);
  }
}

bool CDbDatum::ConsumersMatch(EDBDEVICEDATA a_edbdevicedata, EDBDEVICEDATA a_edbdevicedataTarget) {
  return ((a_edbdevicedata & s_iConsumersNexil) && (a_edbdevicedataTarget & s_iConsumersNexil)) ||
         ((a_edbdevicedata & s_iConsumersAdf) && (a_edbdevicedataTarget & s_iConsumersAdf));
}

void CDbDatum::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget, const char* a_szName) {
  char szNumber[s_sizetNumber] = {};
  const char* szName = a_szName;
  const char* szText = nullptr;
  bool blMarkup = false;
  if (a_szName) {
    szText = reinterpret_cast<const char*>(a_lValue);
  } else if (!LexiconTask()) {
    return;
  } else {
    szName = m_pdblookup2->szLexicon;
    if (m_edbdatatype == DB_DATATYPE_LONG) {
      if (EndsWithFirst(szName, "ptr") || EndsWithFirst(szName, "hex")) {
        szText = COsString::SStrFromNum(a_lValue, szNumber, sizeof szNumber, 16);
      } else if (m_edbcontainertype == DB_CONTAINERTYPE_ENUM) {
        const DbLookupEnum* pdblookupenum = FirstEnumOf(m_pdblookup2, a_lValue);
        if (!pdblookupenum) {
          OsLog(OS_LOG_ERROR, "Can't find %ld in %s", a_lValue, szName);
          return;
        }
        szText = pdblookupenum->szLexiconEnum;
      } else {
        szText = COsString::SStrFromNum(a_lValue, szNumber, sizeof szNumber, 10);
      }
    } else if (m_edbdatatype == DB_DATATYPE_STRING) {
      if (EndsWithFirst(szName, "ptr")) {
        szText = COsString::SStrFromNum(a_lValue, szNumber, sizeof szNumber, 16);
      } else {
        szText = reinterpret_cast<const char*>(a_lValue);
        blMarkup = true;
      }
    } else {
      OsLog(OS_LOG_ERROR, "Unrecognized datatype...%d", m_edbdatatype);
      return;
    }
  }
  COsXmlTask* posxmltask = GetDbMakeXml();
  if (!szText || !posxmltask) {
    OsLog(OS_LOG_ERROR, "nothing to write...%d", m_edbid);
    return;
  }
  if (ConsumersMatch(GetDeviceData(), a_edbdevicedataTarget)) WriteArgument(posxmltask, szName, szText, blMarkup);
}

COsXmlTask* CDbDatum::LexiconTask() {
  if (!m_pdblookup2) {
    OsLog(OS_LOG_ERROR, "pdblookup2 is NULL...");
    return nullptr;
  }
  COsXmlTask* posxmltask = GetDbMakeXml();
  if (!posxmltask || !m_pdblookup2->szLexicon || !m_pdblookup2->szLexicon[0]) {
    OsLog(OS_LOG_ERROR, "nothing to write...%d", m_edbid);
    return nullptr;
  }
  return posxmltask;
}

// Camera bins stay only where the model's configuration lists the image
// format of the bin (and, for a rear bin, a duplex unit).
EOSSTS CDbDatum::FixDefault() {
  if (m_edbbin < DB_BIN_BITONAL_FRONT || m_edbbin > DB_BIN_COLOR_REAR) return OS_STS_SUCCESS;
  CDatabase* pdatabase = GetDatabase();
  if (!pdatabase) {
    OsLog(OS_LOG_ERROR, "m_pdatabase is null...");
    return OS_STS_SUCCESS;
  }
  const bool blBitonal = m_edbbin == DB_BIN_BITONAL_FRONT || m_edbbin == DB_BIN_BITONAL_REAR;
  const bool blRear = m_edbbin == DB_BIN_BITONAL_REAR || m_edbbin == DB_BIN_COLOR_REAR;
  bool blStays = pdatabase->ConfigEnumExists("imageformat", blBitonal ? "bw" : "rgb_24", DB_EDBCONFIGTARGET_COMMON);
  if (blStays && blRear) blStays = pdatabase->ConfigExists("duplex", DB_EDBCONFIGTARGET_COMMON);
  if (!blStays) {
    m_edbaccess = DB_ACCESS_NOTSUPPORTED;
    NotifyReset(DB_NOTIFY_ALL);
  }
  return OS_STS_SUCCESS;
}
