// rulesprobe: drives the capability rules of whichever libscandrv.so the
// loader finds (built without a run path: the tests choose the library, the
// shipped one or the rules fixture, with LD_LIBRARY_PATH), one command per
// line of standard input. Each command is echoed as "> COMMAND" before what
// it prints, so that a reader can split the output by command.
//
//   start                         the service layer, with the driver's own
//                                 configuration sections 1001 and 1002 (tags 1001..1021)
//   load                          a database built and loaded from the library's
//                                 own resources
//   inquiry adf|flatbed MODEL FILE  a unit's querysupport reply stored as the
//                                 device engine stores it ("model" for the unit,
//                                 "modeldirectoryflatbed" for a flatbed, the
//                                 reportinquiry content)
//   process                       ConfigProcessReportInquiry; prints "ok 1|0"
//   labels                        the label texts loaded (UpdateLabels), as the
//                                 language rules load them
//   nexil adf|flatbed FILE        the image library's querysupport reply, under
//                                 the prefix "nexil"; prints "ok 1|0"
//   cfgdel KEY TARGET             a configuration key deleted
//   cfgenumdel KEY VALUE TARGET   one value of a configuration enumeration deleted
//   cfgdelprefix PREFIX           every configuration key that begins with PREFIX deleted
//   cfgset SECTION TAG VALUE      a driver configuration text (VALUE percent-encoded)
//   setenv NAME VALUE | unsetenv NAME
//   stateset BIT | stateclear BIT a bit of the database state word
//   windows N                     WINDOW lists windows 0..N-1, as the window
//                                 commands add them (its default fix makes them
//                                 the windows in use)
//   fixdefaultall [dump]          the default fix-up; in dump mode prints
//                                 "dumpfile PATH" for each dump written
//   fixaccessall                  the access pass
//   set ID WINDOW BIN VALUE       a set through the database; prints "status N"
//   settext ID VALUE              a text set on the machine bin; prints "status N"
//   write ID WINDOW BIN VALUE     a direct write (as a profile applies one), then a pass
//   items ID WINDOW BIN ITEM...   an enumeration's current list made of the items, in
//                                 order, as a selection list is set; then a pass;
//                                 prints "status N" (the first refusal)
//   state | statehash | config | lookup   the listings of rules_listing.h
//   makexml                       MakeXmlAll with capturing callbacks: "task N",
//                                 the task text, "endtask"; then "status N"
//   the colour-dropout commands of rules_dropouts.h
//
// Every database command runs under the database lock, as the driver's and
// the device engine's threads do.
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "dev_drvconfig.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosresource.h"
#include "os_cosxmltask.h"
#include "os_osservices.h"
#include "rules_dropouts.h"
#include "rules_listing.h"

namespace {

// The driver's own sections and tags (1001 to 1021), as the driver registers
// them with the configuration store: names from the driver's table, a name
// for the one tag it lacks, since the store indexes tags by their offset.
const OsCfgName s_aoscfgnameSections[] = {
    {"dsIdentity", DRV_CFGSECTION_DSIDENTITY}, {"Images", DRV_CFGSECTION_IMAGES}, {nullptr, 1000}};
constexpr unsigned s_uDriverTags = DRV_CFGTAG_APPSAVE - 1000;
OsCfgName s_aoscfgnameTags[s_uDriverTags + 1] = {};
const char* s_apszData[3 * (s_uDriverTags + 1)] = {};

std::string CallerText() {
  for (unsigned u = 0; u < s_uDriverTags; ++u) s_aoscfgnameTags[u] = {"DriverTag", 1001 + u};
  for (unsigned u = 0; u < g_uDrvCfgValues; ++u)
    s_aoscfgnameTags[g_adrvcfgvalue[u].edrvcfgtag - 1001] = {g_adrvcfgvalue[u].szName, g_adrvcfgvalue[u].edrvcfgtag};
  s_aoscfgnameTags[s_uDriverTags] = {nullptr, 1000};
  char sz[256];
  std::snprintf(sz, sizeof sz,
                "<cfgsectionptr>%p</cfgsectionptr><cfgtagptr>%p</cfgtagptr><cfgdataptr>%p</cfgdataptr>",
                static_cast<const void*>(s_aoscfgnameSections), static_cast<const void*>(s_aoscfgnameTags),
                static_cast<void*>(s_apszData));
  return sz;
}

std::string ReadWhole(const std::string& a_strPath) {
  std::ifstream in(a_strPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The content of the reply's reportinquiry element, as the reply parser
// hands it on.
std::string InquiryContent(const std::string& a_strReply) {
  static const std::string s_strOpen = "<reportinquiry>";
  const size_t sizetOpen = a_strReply.find(s_strOpen);
  const size_t sizetClose = a_strReply.find("</reportinquiry>");
  if (sizetOpen == std::string::npos || sizetClose == std::string::npos || sizetClose < sizetOpen) return a_strReply;
  return a_strReply.substr(sizetOpen + s_strOpen.size(), sizetClose - sizetOpen - s_strOpen.size());
}

EDBCONFIGTARGET Target(const std::string& a_strTarget) {
  return static_cast<EDBCONFIGTARGET>(std::strtol(a_strTarget.c_str(), nullptr, 10));
}

EDBID_FIRMWARE Unit(const std::string& a_strUnit) {
  return a_strUnit == "flatbed" ? DB_FIRMWARE_FLATBED : DB_FIRMWARE_ADF;
}

std::set<std::string> DumpFiles() {
  std::set<std::string> setstr;
  const char* szDirectory = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : "";
  DIR* pdir = opendir(szDirectory);
  if (!pdir) return setstr;
  while (const dirent* pdirent = readdir(pdir)) {
    if (std::strncmp(pdirent->d_name, "PmxDb", 5) == 0) setstr.insert(std::string(szDirectory) + "/" + pdirent->d_name);
  }
  closedir(pdir);
  return setstr;
}

// Each finished attribute task, as the device manager would receive it.
struct Capture {
  CDatabase* pdatabase;
  int iTask;
};

EOSSTS CaptureDevice(void* a_pvUser) {
  auto* pcapture = static_cast<Capture*>(a_pvUser);
  COsXmlTask* posxmltask = pcapture->pdatabase->GetDbMakeXml();
  const char* szTask = posxmltask ? posxmltask->GetTaskBuffer() : nullptr;
  std::printf("task %d\n%s%sendtask\n", ++pcapture->iTask, szTask ? szTask : "",
              szTask && *szTask && szTask[std::strlen(szTask) - 1] != '\n' ? "\n" : "");
  return OS_STS_SUCCESS;
}

EOSSTS CaptureNexil(void*) { return OS_STS_SUCCESS; }

class Probe {
 public:
  bool Run(const std::vector<std::string>& a_vecstr);

 private:
  bool NeedDatabase();
  CDbDatum* Datum(const std::vector<std::string>& a_vecstr);
  void FixDefaultAll(bool a_blDump);

  std::unique_ptr<CDatabase> m_pdatabase;
  std::deque<std::string> m_dqstrConfig;  // the store keeps the texts' pointers
};

bool Probe::NeedDatabase() {
  if (m_pdatabase) return true;
  std::printf("error no database\n");
  return false;
}

// The datum of "ID WINDOW BIN" (arguments 1 to 3).
CDbDatum* Probe::Datum(const std::vector<std::string>& a_vecstr) {
  return m_pdatabase->FindInWindowBin(static_cast<EDBID_WINDOW>(std::strtol(a_vecstr[2].c_str(), nullptr, 10)),
                                      static_cast<EDBBIN>(std::strtol(a_vecstr[3].c_str(), nullptr, 10)),
                                      static_cast<EDBID>(std::strtol(a_vecstr[1].c_str(), nullptr, 10)));
}

void Probe::FixDefaultAll(bool a_blDump) {
  const long lLevel = g_poslog ? g_poslog->GetDebugLevel() : 0;
  const std::set<std::string> setstrBefore = DumpFiles();
  if (a_blDump && g_poslog) g_poslog->Setup(nullptr, lLevel | 0x101, nullptr, nullptr);
  m_pdatabase->FixDefaultAll();
  if (a_blDump && g_poslog) g_poslog->Setup(nullptr, lLevel, nullptr, nullptr);
  for (const std::string& str : DumpFiles()) {
    if (!setstrBefore.count(str)) std::printf("dumpfile %s\n", str.c_str());
  }
}

bool Probe::Run(const std::vector<std::string>& a_vecstr) {
  const std::string& strCommand = a_vecstr[0];
  const size_t sizetArguments = a_vecstr.size() - 1;
  if (strCommand == "start") {
    std::printf("start %d\n", OsServicesStart(CallerText().c_str()));
    return true;
  }
  if (strCommand == "setenv" && sizetArguments == 2) {
    setenv(a_vecstr[1].c_str(), ruleslisting::Unescape(a_vecstr[2]).c_str(), 1);
    return true;
  }
  if (strCommand == "unsetenv" && sizetArguments == 1) {
    unsetenv(a_vecstr[1].c_str());
    return true;
  }
  if (strCommand == "cfgset" && sizetArguments == 3) {
    m_dqstrConfig.push_back(ruleslisting::Unescape(a_vecstr[3]));
    const EOSSTS eossts = g_poscfg ? g_poscfg->Set(std::strtoul(a_vecstr[1].c_str(), nullptr, 10),
                                                   std::strtoul(a_vecstr[2].c_str(), nullptr, 10),
                                                   m_dqstrConfig.back().c_str())
                                   : OS_STS_FAIL;
    std::printf("status %d\n", eossts);
    return true;
  }
  CDbLockGuard dblockguard;
  if (strCommand == "load") {
    m_pdatabase.reset();
    m_pdatabase = std::make_unique<CDatabase>();
    std::printf("status %d\n",
                m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, OS_RESOURCE_LOCAL, false));
    return true;
  }
  if (!NeedDatabase()) return true;
  if (rulesdropouts::Run(*m_pdatabase, a_vecstr)) return true;
  if (strCommand == "inquiry" && sizetArguments == 3) {
    const EDBID_FIRMWARE edbidfirmware = Unit(a_vecstr[1]);
    const bool blFlatbed = edbidfirmware == DB_FIRMWARE_FLATBED;
    m_pdatabase->ConfigSetString("model", a_vecstr[2].c_str(), blFlatbed ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF);
    if (blFlatbed)
      m_pdatabase->ConfigSetString("modeldirectoryflatbed", (a_vecstr[2] + "flatbed").c_str(), DB_CONFIGTARGET_COMMON);
    const std::string strContent = InquiryContent(ReadWhole(a_vecstr[3]));
    std::printf("ok %d\n", m_pdatabase->ConfigLoadReportInquiry(strContent.c_str(), 0, false, false, edbidfirmware));
  } else if (strCommand == "labels") {
    m_pdatabase->UpdateLabels();
  } else if (strCommand == "process") {
    std::printf("ok %d\n", m_pdatabase->ConfigProcessReportInquiry(nullptr, nullptr));
  } else if (strCommand == "nexil" && sizetArguments == 2) {
    std::printf("ok %d\n", m_pdatabase->ConfigProcessReportInquiryXml("nexil", ReadWhole(a_vecstr[2]).c_str(),
                                                                      Unit(a_vecstr[1])));
  } else if (strCommand == "cfgdel" && sizetArguments == 2) {
    m_pdatabase->ConfigDelete(a_vecstr[1].c_str(), Target(a_vecstr[2]));
  } else if (strCommand == "cfgenumdel" && sizetArguments == 3) {
    m_pdatabase->ConfigEnumDelete(a_vecstr[1].c_str(), a_vecstr[2].c_str(), Target(a_vecstr[3]));
  } else if (strCommand == "cfgdelprefix" && sizetArguments == 1) {
    std::vector<std::string> vecstrKeys;
    for (size_t sizet = 0; const DbConfigRecord* pdbconfigrecord = m_pdatabase->ConfigGetRecord(sizet); ++sizet) {
      if (std::strncmp(pdbconfigrecord->szKey, a_vecstr[1].c_str(), a_vecstr[1].size()) == 0)
        vecstrKeys.emplace_back(pdbconfigrecord->szKey);
    }
    for (const std::string& strKey : vecstrKeys) m_pdatabase->ConfigDelete(strKey.c_str(), DB_CONFIGTARGET_COMMON);
  } else if ((strCommand == "stateset" || strCommand == "stateclear") && sizetArguments == 1) {
    const auto edbstate = static_cast<EDBSTATE>(std::strtol(a_vecstr[1].c_str(), nullptr, 10));
    if (strCommand == "stateset") {
      m_pdatabase->SetDbState(edbstate);
    } else {
      m_pdatabase->ClearDbState(edbstate);
    }
  } else if (strCommand == "windows" && sizetArguments == 1) {
    const long lWindows = std::strtol(a_vecstr[1].c_str(), nullptr, 10);
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_WINDOW);
    m_pdatabase->EnumDeleteAllItems(pdbdatum);
    m_pdatabase->EnumDeleteAllDefaultItems(pdbdatum);
    for (long l = 0; l < lWindows; ++l) {
      m_pdatabase->EnumAddItem(pdbdatum, l);
      m_pdatabase->EnumAddDefaultItem(pdbdatum, l);
    }
  } else if (strCommand == "fixdefaultall") {
    FixDefaultAll(sizetArguments == 1 && a_vecstr[1] == "dump");
  } else if (strCommand == "fixaccessall") {
    m_pdatabase->FixAccessAll();
  } else if (strCommand == "set" && sizetArguments == 4) {
    std::printf("status %d\n",
                m_pdatabase->SetCurrentLong(Datum(a_vecstr), std::strtol(a_vecstr[4].c_str(), nullptr, 10), false));
  } else if (strCommand == "settext" && sizetArguments == 2) {
    CDbDatum* pdbdatum = m_pdatabase->FindInWindowBin(0, DB_BIN_MACHINE,
                                                      static_cast<EDBID>(std::strtol(a_vecstr[1].c_str(), nullptr, 10)));
    std::printf("status %d\n", m_pdatabase->SetCurrentString(pdbdatum, ruleslisting::Unescape(a_vecstr[2]).c_str()));
  } else if (strCommand == "write" && sizetArguments == 4) {
    CDbDatum* pdbdatum = Datum(a_vecstr);
    if (pdbdatum && pdbdatum->GetDataType() == DB_DATATYPE_LONG) {
      pdbdatum->SetCurrentLong(std::strtol(a_vecstr[4].c_str(), nullptr, 10));
      m_pdatabase->FixCurrentAll(pdbdatum);
    }
  } else if (strCommand == "items" && sizetArguments >= 3) {
    CDbDatum* pdbdatum = Datum(a_vecstr);
    EDBSTS edbsts = m_pdatabase->EnumDeleteAllItems(pdbdatum);
    for (size_t sizet = 4; edbsts == DB_STS_SUCCESS && sizet < a_vecstr.size(); ++sizet)
      edbsts = m_pdatabase->EnumAddItem(pdbdatum, std::strtol(a_vecstr[sizet].c_str(), nullptr, 10));
    if (pdbdatum && pdbdatum->GetContainerType() == DB_CONTAINERTYPE_ENUM) m_pdatabase->FixCurrentAll(pdbdatum);
    std::printf("status %d\n", edbsts);
  } else if (strCommand == "state") {
    std::fputs(ruleslisting::State(*m_pdatabase).c_str(), stdout);
  } else if (strCommand == "statehash") {
    std::printf("hash %08x\n", ruleslisting::Hash(ruleslisting::State(*m_pdatabase)));
  } else if (strCommand == "config") {
    std::fputs(ruleslisting::Config(*m_pdatabase).c_str(), stdout);
  } else if (strCommand == "lookup") {
    std::fputs(ruleslisting::Lookup(*m_pdatabase).c_str(), stdout);
  } else if (strCommand == "makexml") {
    Capture capture = {m_pdatabase.get(), 0};
    std::printf("status %d\n", m_pdatabase->MakeXmlAll(CaptureNexil, CaptureDevice, &capture));
  } else {
    return false;
  }
  return true;
}

}  // namespace

int main() {
  {
    Probe probe;
    std::string strLine;
    while (std::getline(std::cin, strLine)) {
      std::istringstream istringstream(strLine);
      std::vector<std::string> vecstr{std::istream_iterator<std::string>(istringstream),
                                      std::istream_iterator<std::string>()};
      if (vecstr.empty() || vecstr[0][0] == '#') continue;
      std::printf("> %s\n", strLine.c_str());
      if (!probe.Run(vecstr)) std::printf("error unknown command\n");
      std::fflush(stdout);
    }
  }
  // The database goes before the services it logs through.
  if (g_poscfg) OsServicesStop();
  return 0;
}
