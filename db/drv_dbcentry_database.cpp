// The database compilation: "database.dbc" (a header, then one enum, range
// or string container per capability, each with its bins) becomes the
// DATABASE text: the H element with the profile header, then one E, R or S
// record per container with an element per bin whose access is not 0.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "drv_dbcentry.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

const char s_szDatabaseGrammar[] =
    "<db enter='this.DbEnterDb' exit='this.DbExitDb'>"
    "<header exit='this.DbExitHeader'></header>"
    "<enum enter='this.DbEnterContainer' exit='this.DbExitEnum'><bin enter='this.DbEnterBin'>"
    "<access enter='this.DbEnterAccess'></access>"
    "<default enter='this.DbEnterDefault'></default>"
    "<defaultenum enter='this.DbEnterDefaultenum'></defaultenum>"
    "<currentenum enter='this.DbEnterCurrentenum'></currentenum>"
    "</bin></enum>"
    "<range enter='this.DbEnterContainer' exit='this.DbExitRange'><bin enter='this.DbEnterBin'>"
    "<access enter='this.DbEnterAccess'></access>"
    "<default enter='this.DbEnterDefaultnum'></default>"
    "<min enter='this.DbEnterMin'></min>"
    "<max enter='this.DbEnterMax'></max>"
    "<step enter='this.DbEnterStep'></step>"
    "</bin></range>"
    "<string enter='this.DbEnterContainer' exit='this.DbExitString'><bin enter='this.DbEnterBin'>"
    "<access enter='this.DbEnterAccess'></access>"
    "<maxstringsize enter='this.DbEnterMaxstringsize'></maxstringsize>"
    "<default enter='this.DbEnterDefaultString'></default>"
    "</bin></string>"
    "</db>";

const char s_szDatabaseMergeGrammar[] =
    "<db><header enter='this.MergeDbEnterHeader'></header>"
    "<enum enter='this.MergeDbEnterDbId'></enum>"
    "<range enter='this.MergeDbEnterDbId'></range>"
    "<string enter='this.MergeDbEnterDbId'></string></db>";

// Numbers are written as their 32-bit form in lower-case hex.
unsigned Hex(int64_t a_i64Value) { return static_cast<uint32_t>(a_i64Value); }

}  // namespace

EOSSTS CDbc::CompileDatabase() {
  // The bins and container kinds as db_def.h numbers them; a bin outside
  // the work area would be written out of bounds.
  struct Name {
    const char* szName;
    int64_t* pi64Value;
    int64_t i64Max;
  };
  const Name aname[] = {
      {"DB_BIN_SEARCH", &m_i64BinSearch, s_iDbcBins - 1},
      {"DB_BIN_LAST", &m_i64BinLast, s_iDbcBins},
      {"DB_CONTAINERTYPE_ENUM", &m_i64ContainerEnum, INT64_MAX},
      {"DB_CONTAINERTYPE_RANGE", &m_i64ContainerRange, INT64_MAX},
      {"DB_CONTAINERTYPE_STRING", &m_i64ContainerString, INT64_MAX},
      {"DB_BIN_MACHINE", &m_i64BinMachine, s_iDbcBins - 1},
      {"DB_BIN_BITONAL_FRONT", &m_i64BinBitonalFront, s_iDbcBins - 1},
      {"DB_BIN_BITONAL_REAR", &m_i64BinBitonalRear, s_iDbcBins - 1},
      {"DB_BIN_COLOR_FRONT", &m_i64BinColorFront, s_iDbcBins - 1},
      {"DB_BIN_COLOR_REAR", &m_i64BinColorRear, s_iDbcBins - 1},
  };
  for (const Name& name : aname) {
    *name.pi64Value = LookupString(name.szName);
    if (*name.pi64Value < 0 || *name.pi64Value > name.i64Max) {
      OsLog(OS_LOG_ERROR, "Unusable bin or container number...<%s> %lld", name.szName,
            static_cast<long long>(*name.pi64Value));
      return OS_STS_FAIL;
    }
  }
  return CompileOne("database.dbc", s_szDatabaseMergeGrammar, "db", s_szDatabaseGrammar, "database.edres", false);
}

EOSSTS CDbc::DbEnterDb(OsXmlCallback*) { return OutRoot("db"); }

EOSSTS CDbc::DbExitDb(OsXmlCallback*) {
  EOSSTS eossts = Out("</db>");
  return eossts == OS_STS_SUCCESS ? PatchCounts() : eossts;
}

EOSSTS CDbc::DbExitHeader(OsXmlCallback* a_posxmlcallback) { return OutElement("H", a_posxmlcallback->szData); }

EOSSTS CDbc::DbEnterContainer(OsXmlCallback* a_posxmlcallback) {
  ++m_i64Records;
  m_dbccontainer = DbcContainer{};
  const char* szName = a_posxmlcallback->szName;
  if (std::strcmp(szName, "enum") == 0) {
    m_i64ContainerType = m_i64ContainerEnum;
  } else if (std::strcmp(szName, "range") == 0) {
    m_i64ContainerType = m_i64ContainerRange;
  } else if (std::strcmp(szName, "string") == 0) {
    m_i64ContainerType = m_i64ContainerString;
  } else {
    OsLog(OS_LOG_ERROR, "Unrecognized container...<%s>", szName);
    return OS_STS_FAIL;
  }
  char szValue[512];
  EOSSTS eossts = GetProperty(a_posxmlcallback, "id", szValue, sizeof szValue);
  if (eossts != OS_STS_SUCCESS) {
    if (eossts != OS_STS_NOROOM_BUFFER) OsLog(OS_LOG_ERROR, "Missing id property in container...");
    return OS_STS_FAIL;
  }
  Resolve(szValue, &m_dbccontainer.i64Id, "\r\nUnrecognized edbid: %s");
  eossts = GetProperty(a_posxmlcallback, "type", szValue, sizeof szValue);
  if (eossts != OS_STS_SUCCESS) {
    if (eossts != OS_STS_NOROOM_BUFFER) OsLog(OS_LOG_ERROR, "Missing type property in container...<%s>", szName);
    return OS_STS_FAIL;
  }
  Resolve(szValue, &m_dbccontainer.i64DataType, "\r\nUnrecognized edbdatatype: %s");
  eossts = GetProperty(a_posxmlcallback, "device", szValue, sizeof szValue);
  if (eossts == OS_STS_NOROOM_BUFFER) return OS_STS_FAIL;
  if (eossts == OS_STS_SUCCESS) Resolve(szValue, &m_dbccontainer.i64DeviceData, "\r\nUnrecognized edbdevicedata: %s");
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::DbEnterBin(OsXmlCallback* a_posxmlcallback) {
  char szBin[512];
  EOSSTS eossts = GetProperty(a_posxmlcallback, "id", szBin, sizeof szBin);
  if (eossts != OS_STS_SUCCESS) {
    if (eossts != OS_STS_NOROOM_BUFFER) OsLog(OS_LOG_ERROR, "Missing id property in bin...");
    return OS_STS_FAIL;
  }
  // An unrecognised bin leaves the previous bin current.
  int64_t i64Bin = 0;
  if (!Resolve(szBin, &i64Bin, "\r\nUnrecognized edbbin: %s")) return OS_STS_SUCCESS;
  if (i64Bin < 0 || i64Bin >= s_iDbcBins) {
    Print("\r\nUnrecognized edbbin: %s", szBin);
    return OS_STS_SUCCESS;
  }
  m_dbccontainer.i64Bin = i64Bin;
  return OS_STS_SUCCESS;
}

DbcBin* CDbc::CurrentBin() { return &m_dbccontainer.adbcbin[m_dbccontainer.i64Bin]; }

EOSSTS CDbc::DbEnterAccess(OsXmlCallback* a_posxmlcallback) {
  Resolve(a_posxmlcallback->szData, &CurrentBin()->i64Access, "\r\nUnrecognized edbaccess: %s",
          "Unrecognized access: %s");
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::DbEnterDefault(OsXmlCallback* a_posxmlcallback) {
  Resolve(a_posxmlcallback->szData, &CurrentBin()->i64Default, "\r\nUnrecognized default value: %s",
          "Unrecognized default value: %s");
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::DbAppendList(OsXmlCallback* a_posxmlcallback, bool a_blDefault) {
  DbcBin* pdbcbin = CurrentBin();
  int& iCount = a_blDefault ? pdbcbin->iDefaultCount : pdbcbin->iCurrentCount;
  int64_t* pi64List = a_blDefault ? pdbcbin->ai64DefaultList : pdbcbin->ai64CurrentList;
  if (iCount >= s_iDbcListItems) {
    OsLog(OS_LOG_ERROR, "Too many items in a list (%d at most)...<%s>", s_iDbcListItems, a_posxmlcallback->szData);
    return OS_STS_FAIL;
  }
  int64_t i64Value = 0;
  Resolve(a_posxmlcallback->szData, &i64Value, "\r\nUnrecognized enumeration: %s",
          a_blDefault ? "Unrecognized enumeration: %s" : nullptr);
  pi64List[iCount++] = i64Value;
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::DbEnterDefaultenum(OsXmlCallback* a_posxmlcallback) { return DbAppendList(a_posxmlcallback, true); }
EOSSTS CDbc::DbEnterCurrentenum(OsXmlCallback* a_posxmlcallback) { return DbAppendList(a_posxmlcallback, false); }

EOSSTS CDbc::DbNumber(OsXmlCallback* a_posxmlcallback, int64_t DbcBin::*a_pi64Field) {
  CurrentBin()->*a_pi64Field = std::strtoll(a_posxmlcallback->szData, nullptr, 10);
  return OS_STS_SUCCESS;
}

EOSSTS CDbc::DbEnterDefaultnum(OsXmlCallback* a_posxmlcallback) {
  return DbNumber(a_posxmlcallback, &DbcBin::i64RangeDefault);
}
EOSSTS CDbc::DbEnterMin(OsXmlCallback* a_posxmlcallback) { return DbNumber(a_posxmlcallback, &DbcBin::i64Min); }
EOSSTS CDbc::DbEnterMax(OsXmlCallback* a_posxmlcallback) { return DbNumber(a_posxmlcallback, &DbcBin::i64Max); }
EOSSTS CDbc::DbEnterStep(OsXmlCallback* a_posxmlcallback) { return DbNumber(a_posxmlcallback, &DbcBin::i64Step); }
EOSSTS CDbc::DbEnterMaxstringsize(OsXmlCallback* a_posxmlcallback) {
  return DbNumber(a_posxmlcallback, &DbcBin::i64MaxStringSize);
}

EOSSTS CDbc::DbEnterDefaultString(OsXmlCallback* a_posxmlcallback) {
  if (std::strlen(a_posxmlcallback->szData) >= s_sizetDbcDefaultText) {
    OsLog(OS_LOG_ERROR, "Default text too long (%d characters at most)...<%.64s>",
          static_cast<int>(s_sizetDbcDefaultText - 1), a_posxmlcallback->szData);
    return OS_STS_FAIL;
  }
  COsString::SStrCpy(CurrentBin()->szDefault, sizeof CurrentBin()->szDefault, a_posxmlcallback->szData);
  return OS_STS_SUCCESS;
}

// One record: id, data type and consumers, then the bins that are
// supported, machine first and the cameras in their order.
EOSSTS CDbc::DbExitRecord(char a_cRecord) {
  EOSSTS eossts = Outf("<%c><a>%x</a><b>%x</b><c>%x</c>", a_cRecord, Hex(m_dbccontainer.i64Id),
                       Hex(m_dbccontainer.i64DataType), Hex(m_dbccontainer.i64DeviceData));
  const struct {
    int64_t i64Bin;
    const char* szElement;
  } abin[] = {{m_i64BinMachine, "M"},
              {m_i64BinBitonalFront, "BF"},
              {m_i64BinBitonalRear, "BR"},
              {m_i64BinColorFront, "CF"},
              {m_i64BinColorRear, "CR"}};
  for (const auto& bin : abin) {
    const DbcBin& dbcbin = m_dbccontainer.adbcbin[bin.i64Bin];
    if (eossts != OS_STS_SUCCESS || dbcbin.i64Access == 0) continue;
    eossts = Outf("<%s><d>%x</d>", bin.szElement, Hex(dbcbin.i64Access));
    if (eossts != OS_STS_SUCCESS) break;
    if (a_cRecord == 'E') {
      eossts = Outf("<e>%x</e>", Hex(dbcbin.i64Default));
      for (int i = 0; eossts == OS_STS_SUCCESS && i < dbcbin.iDefaultCount; ++i, ++m_i64Values) {
        eossts = Outf("<f>%x</f>", Hex(dbcbin.ai64DefaultList[i]));
      }
      for (int i = 0; eossts == OS_STS_SUCCESS && i < dbcbin.iCurrentCount; ++i, ++m_i64Values) {
        eossts = Outf("<f>%x</f>", Hex(dbcbin.ai64CurrentList[i]));
      }
    } else if (a_cRecord == 'R') {
      eossts = Outf("<e>%x</e><f>%x</f><g>%x</g><h>%x</h>", Hex(dbcbin.i64RangeDefault), Hex(dbcbin.i64Min),
                    Hex(dbcbin.i64Max), Hex(dbcbin.i64Step));
    } else {
      eossts = Outf("<e>%x</e><f>", Hex(dbcbin.i64MaxStringSize));
      if (eossts == OS_STS_SUCCESS) eossts = OutCdata(dbcbin.szDefault);
      if (eossts == OS_STS_SUCCESS) eossts = Out("</f>");
    }
    if (eossts == OS_STS_SUCCESS) eossts = Outf("</%s>", bin.szElement);
  }
  if (eossts == OS_STS_SUCCESS) eossts = Outf("</%c>", a_cRecord);
  return eossts;
}

EOSSTS CDbc::DbExitEnum(OsXmlCallback*) { return DbExitRecord('E'); }
EOSSTS CDbc::DbExitRange(OsXmlCallback*) { return DbExitRecord('R'); }
EOSSTS CDbc::DbExitString(OsXmlCallback*) { return DbExitRecord('S'); }
