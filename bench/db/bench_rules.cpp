// Cost of the rules on an opened scanner: one set with its fix-up pass, and
// the default fix-up of the whole database outside dump mode. The program
// runs on the rules fixture (its run path names tests/rulesfixture), whose
// database supports every capability that has rules, so that every rule
// object takes part in every pass.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdbprofileitem.h"
#include "os_cosxmltask.h"
#include "os_cosmem.h"
#include "os_cosresource.h"

namespace {

std::string InquiryContent() {
  std::ifstream in(SCANDRV_BENCH_INQUIRY, std::ios::binary);
  const std::string strReply{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const size_t sizetOpen = strReply.find("<reportinquiry>");
  const size_t sizetClose = strReply.find("</reportinquiry>");
  if (sizetOpen == std::string::npos || sizetClose == std::string::npos) return std::string();
  return strReply.substr(sizetOpen + 15, sizetClose - sizetOpen - 15);
}

// The mapleB feeder opened as the device engine opens it, with that many
// windows in use; not Ready when the library is not the fixture (long
// paper, cropping mode 5, is the fixture's).
class OpenedScanner {
 public:
  OpenedScanner(benchmark::State& a_state, long a_lWindows) : m_lWindows(a_lWindows) {
    if (!Open()) a_state.SkipWithError("not the rules fixture, or the scanner did not open");
  }
  bool Ready() const { return m_blReady; }
  CDatabase& Database() { return m_database; }

 private:
  bool Open() {
    if (m_database.Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, OS_RESOURCE_LOCAL, false) != DB_STS_SUCCESS)
      return false;
    m_database.ConfigSetString("model", "mapleB", DB_CONFIGTARGET_ADF);
    const std::string strInquiry = InquiryContent();
    if (strInquiry.empty() ||
        !m_database.ConfigLoadReportInquiry(strInquiry.c_str(), 0, false, false, DB_FIRMWARE_ADF) ||
        !m_database.ConfigProcessReportInquiry(nullptr, nullptr))
      return false;
    // What the stored reply lacks of the simulated scanner's: its cropping
    // modes and multifeed lengths. The windows in use are those WINDOW
    // lists, as the window commands add them.
    for (const char* szMode : {"automatic", "fixed", "relative", "aggressive", "longpaper", "photo"})
      m_database.ConfigEnumAdd("imagecroppingmode", szMode, DB_CONFIGTARGET_COMMON);
    m_database.ConfigRangeSetMin("multifeedlength", 2400, DB_CONFIGTARGET_COMMON);
    m_database.ConfigRangeSetMax("multifeedlength", 41400, DB_CONFIGTARGET_COMMON);
    CDbDatum* pdbdatumWindow = m_database.FindDirect(DB_BIN_MACHINE, DB_ID_WINDOW);
    for (long l = 1; l < m_lWindows; ++l) {
      m_database.EnumAddItem(pdbdatumWindow, l);
      m_database.EnumAddDefaultItem(pdbdatumWindow, l);
    }
    // Barcodes read by the scanner itself, so that every barcode rule takes part.
    m_database.ConfigEnumAdd("barcodetype", "code128", DB_CONFIGTARGET_ADF);
    m_database.ConfigEnumAdd("barcodesearcharea", "partialdocument", DB_CONFIGTARGET_ADF);
    m_database.ConfigEnumAdd("barcodesearchmode", "horizontal", DB_CONFIGTARGET_ADF);
    m_database.ConfigAdd("barcodeenhancement", DB_CONFIGTARGET_COMMON);
    // Both kinds of printing, with their ranges and lists, so that every printer rule takes part.
    for (const char* szKey : {"printer", "printonimage", "printerhighres", "cartridgedetect"})
      m_database.ConfigAdd(szKey, DB_CONFIGTARGET_COMMON);
    for (const char* szKey : {"printerposition", "printonimagepositionx", "printonimagepositiony",
                              "printerindexresetvalue"}) {
      m_database.ConfigRangeSetMin(szKey, 0, DB_CONFIGTARGET_COMMON);
      m_database.ConfigRangeSetMax(szKey, 9600, DB_CONFIGTARGET_COMMON);
    }
    m_database.ConfigEnumAdd("printerfont", "largecomic", DB_CONFIGTARGET_COMMON);
    m_database.ConfigEnumAdd("printertimeformat", "hhmm24", DB_CONFIGTARGET_COMMON);
    m_database.ConfigEnumAdd("printerindexincrement", "everysheet", DB_CONFIGTARGET_COMMON);
    m_database.ConfigEnumAdd("printerindexreset", "never", DB_CONFIGTARGET_COMMON);
    // Dual stacking, feeder modes and protection levels, so that every transport rule takes part.
    m_database.ConfigAdd("dualstacking", DB_CONFIGTARGET_COMMON);
    const struct {
      const char* szKey;
      const char* szValue;
    } aname[] = {{"adfhandling", "normal"},
                 {"adfhandling", "special"},
                 {"intelligentdocumentprotection", "none"},
                 {"intelligentdocumentprotection", "normal"}};
    for (const auto& name : aname) m_database.ConfigEnumAdd(name.szKey, name.szValue, DB_CONFIGTARGET_COMMON);
    m_database.FixDefaultAll();
    m_blReady = m_database.EnumHasCurrentItem(m_database.FindDirect(DB_BIN_BITONAL_FRONT, DB_ID_CROPPINGMODE),
                                              DB_ID_CROPPINGMODE_ENUM_LONGPAPER);
    return m_blReady;
  }

  long m_lWindows;
  COsMem m_osmem{OS_MEM_METHOD_GLOBALALLOC, 1};
  CDatabase m_database;
  bool m_blReady = false;
};

// Sets that the frames and window sizes follow, one after the other: the
// paper size (every camera in every window in use), then the cropping mode
// of one camera (long paper: all cameras). The argument is the number of
// windows in use: 1 as a scanner opens, 11 at most.
void BM_RulesSetWithPass(benchmark::State& a_state) {
  OpenedScanner openedscanner(a_state, a_state.range(0));
  if (!openedscanner.Ready()) return;
  CDatabase& database = openedscanner.Database();
  const struct {
    EDBBIN edbbin;
    EDBID edbid;
    long lValue;
  } aset[] = {{DB_BIN_MACHINE, DB_ID_SUPPORTEDSIZES, DB_ID_SUPPORTEDSIZES_ENUM_A4},
              {DB_BIN_COLOR_FRONT, DB_ID_CROPPINGMODE, DB_ID_CROPPINGMODE_ENUM_LONGPAPER},
              {DB_BIN_MACHINE, DB_ID_SUPPORTEDSIZES, DB_ID_SUPPORTEDSIZES_ENUM_USLETTER},
              {DB_BIN_COLOR_FRONT, DB_ID_CROPPINGMODE, DB_ID_CROPPINGMODE_ENUM_FIXED}};
  size_t sizet = 0;
  for (auto _ : a_state) {
    const auto& set = aset[sizet++ % std::size(aset)];
    if (database.SetCurrentLong(database.FindDirect(set.edbbin, set.edbid), set.lValue, false) != DB_STS_SUCCESS) {
      a_state.SkipWithError("a set was refused");
      break;
    }
  }
  a_state.SetItemsProcessed(static_cast<int64_t>(a_state.iterations()));
}
BENCHMARK(BM_RulesSetWithPass)->Arg(1)->Arg(DB_WINDOW_COUNT);

void BM_RulesFixDefaultAll(benchmark::State& a_state) {
  OpenedScanner openedscanner(a_state, 1);
  if (!openedscanner.Ready()) return;
  for (auto _ : a_state) openedscanner.Database().FixDefaultAll();
}
BENCHMARK(BM_RulesFixDefaultAll)->Unit(benchmark::kMicrosecond);

// The apply of a full profile (target: under 20 ms): the document of every
// value of the opened scanner, applied over the resource's defaults with
// the rules and the access pass, as a selection applies it.
void BM_ProfileApplyFull(benchmark::State& a_state) {
  OpenedScanner openedscanner(a_state, 1);
  if (!openedscanner.Ready()) return;
  CDatabase& database = openedscanner.Database();
  char szDirectory[] = "/tmp/scandrv-bench-apply-XXXXXX";
  if (!mkdtemp(szDirectory)) {
    a_state.SkipWithError("no directory");
    return;
  }
  const std::string strPath = std::string(szDirectory) + "/full.profile";
  COsXmlTask osxmltask("", CDbProfileItem::s_sizetDocument);
  std::string strText;
  {
    CDbProfileItem dbprofileitem(nullptr, nullptr, "", "", szDirectory, "", &database, &osxmltask);
    dbprofileitem.SetName("Full");
    dbprofileitem.SetId("bench-full");
    COsXmlTask osxmltaskDocument("", CDbProfileItem::s_sizetDocument);
    if (dbprofileitem.Generate("profilenormalsave", &osxmltaskDocument) == OS_STS_SUCCESS)
      strText = osxmltaskDocument.GetTaskBuffer();
  }
  std::ofstream(strPath, std::ios::binary) << strText;
  CDbProfileItem dbprofileitem(strPath.c_str(), nullptr, "", "", szDirectory, "", &database, &osxmltask);
  if (strText.empty() || dbprofileitem.Load(false, true, false, false) != OS_STS_SUCCESS) {
    a_state.SkipWithError("the profile was not written or did not load");
  } else {
    for (auto _ : a_state) {
      if (dbprofileitem.SetCurrent(nullptr, nullptr, nullptr, 0, false) != OS_STS_SUCCESS) {
        a_state.SkipWithError("SetCurrent failed");
        break;
      }
    }
  }
  a_state.counters["bytes"] = static_cast<double>(strText.size());
  std::error_code errorcode;
  std::filesystem::remove_all(szDirectory, errorcode);
}
BENCHMARK(BM_ProfileApplyFull)->Unit(benchmark::kMillisecond);

}  // namespace
