// The capability catalogue: its rows against the lookup source and the
// levels of the capabilities, the objects a database is built with (slots,
// identities, classes, debug lines), teardown in construction order, failed
// allocations, quiet logs and a database without a table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <typeinfo>
#include <vector>

#include "../../os/log_capture.h"
#include "db_cdatabase.h"
#include "db_cdbcatalogue.h"
#include "db_cdbdatum.h"
#include "db_cdbenum.h"
#include "db_cdbrange.h"
#include "db_cdbstring.h"
#include "os_cosmem.h"
#include "test_support.h"

namespace {

const std::string s_strLookupSource = std::string(SCANDRV_TEST_DATA) + "/../../db/sources/lookup.dbc";

// The capabilities by level and container, as the capability tables list
// them; every other id from 1 to 252 but 140 and 141 is a machine capability.
const std::set<int> s_setCamera = {
    2,  6,  7,  8,  9,  11, 12, 13,  14,  16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  31,  32,  33,  34, 41,
    42, 43, 44, 45, 46, 47, 48, 49,  50,  51,  52,  54,  70,  83,  84,  85,  88,  92,  93,  94,  96,  97,  105,
    107, 116, 117, 118, 119, 120, 121, 122, 123, 135, 148, 150, 163, 164, 165, 184, 185, 227, 228, 230, 231, 232, 251,
    252};
const std::set<int> s_setWindow = {38, 98, 99, 100, 101, 124, 128, 249};
const std::set<int> s_setRange = {5,   6,   8,   12,  16,  20,  21,  22,  23,  26,  31,  33,  34,  41,  42,  43,  45,
                                  48,  52,  73,  74,  84,  89,  92,  94,  96,  98,  99,  100, 101, 116, 120, 121, 122,
                                  126, 128, 144, 145, 146, 147, 150, 151, 152, 153, 154, 155, 156, 157, 158, 166, 167,
                                  182, 183, 186, 202, 203, 207, 209, 222, 223, 227, 231, 232, 237, 245, 250};
const std::set<int> s_setString = {36,  50,  55,  87,  108, 109, 112, 113, 114, 115, 149, 161,
                                   194, 211, 214, 215, 216, 217, 218, 219, 220, 225, 233, 234};
// Capabilities without rules of their own: their objects are plain containers.
const std::set<int> s_setPlain = {1,   3,   4,   5,   36,  47,  48,  50,  53,  55,  56,  89,
                                  90,  102, 103, 104, 106, 107, 126, 143, 150, 154, 157, 158,
                                  170, 182, 188, 189, 190, 191, 208, 228, 233, 234, 236, 251};

constexpr int s_iObjects = 1061;

bool Capability(int a_iId) { return a_iId >= 1 && a_iId <= 252 && a_iId != 140 && a_iId != 141; }

EDBLEVEL LevelOf(int a_iId) {
  if (a_iId == 0 || a_iId == 253) return DB_LEVEL_SENTINEL;
  if (s_setWindow.count(a_iId)) return DB_LEVEL_WINDOW;
  return s_setCamera.count(a_iId) ? DB_LEVEL_CAMERA : DB_LEVEL_MACHINE;
}

EDBCONTAINERTYPE ContainerOf(int a_iId) {
  if (s_setRange.count(a_iId)) return DB_CONTAINERTYPE_RANGE;
  return s_setString.count(a_iId) ? DB_CONTAINERTYPE_STRING : DB_CONTAINERTYPE_ENUM;
}

int SizeOf(EDBCONTAINERTYPE a_edbcontainertype) {
  switch (a_edbcontainertype) {
    case DB_CONTAINERTYPE_ENUM: return sizeof(CDbEnum);
    case DB_CONTAINERTYPE_RANGE: return sizeof(CDbRange);
    case DB_CONTAINERTYPE_STRING: return sizeof(CDbString);
    default: return sizeof(CDbDatum);
  }
}

std::string Pointer(const void* a_pv) {
  char sz[32];
  std::snprintf(sz, sizeof sz, "%p", a_pv);
  return sz;
}

// One object the catalogue makes: its slot, the class its line names and
// the size of that class.
struct Expected {
  int iWindow, iId, iBin;
  std::string strClass;
  int iSize;
  EDBLEVEL edblevel;
};

// The capability names of the lookup source, in its record order.
std::vector<std::string> LookupSourceNames() {
  std::vector<std::string> vec;
  const std::string strText = testsupport::ReadFile(s_strLookupSource);
  const std::regex re("<db><id>DB_ID_([A-Z0-9_]+)</id></db>");
  for (auto it = std::sregex_iterator(strText.begin(), strText.end(), re); it != std::sregex_iterator(); ++it)
    vec.push_back((*it)[1]);
  return vec;
}

// The first place where the rows and the names part, or -1.
long FirstDisagreement(const std::vector<std::string>& a_vecRows, const std::vector<std::string>& a_vecNames) {
  for (size_t i = 0; i < a_vecRows.size() || i < a_vecNames.size(); ++i) {
    if (i >= a_vecRows.size() || i >= a_vecNames.size() || a_vecRows[i] != a_vecNames[i]) return static_cast<long>(i);
  }
  return -1;
}

std::vector<std::string> RowNames() {
  std::vector<std::string> vec;
  for (const DbCatalogueRow& row : CDbCatalogue::GetRows()) vec.push_back(row.szName);
  return vec;
}

// Every object in creation order: the sentinel UNDEFINED, the machine,
// camera and window levels in the lookup source's order, the sentinel LAST.
std::vector<Expected> ExpectedObjects() {
  std::vector<Expected> vec;
  auto add = [&](int a_iId, const std::string& a_strName) {
    const EDBLEVEL edblevel = LevelOf(a_iId);
    const bool blSentinel = edblevel == DB_LEVEL_SENTINEL;
    const int iSize = blSentinel ? static_cast<int>(sizeof(CDbDatum)) : SizeOf(ContainerOf(a_iId));
    const std::vector<int> vecBins =
        edblevel == DB_LEVEL_MACHINE || blSentinel ? std::vector<int>{0, 1} : std::vector<int>{0, 2, 3, 4, 5};
    for (int iBin : vecBins) vec.push_back({0, a_iId, iBin, "C" + a_strName, iSize, edblevel});
    if (edblevel != DB_LEVEL_WINDOW) return;
    for (int iWindow = 1; iWindow <= 10; ++iWindow) {
      for (int iBin = 2; iBin <= 5; ++iBin)
        vec.push_back({iWindow, a_iId, iBin, "CDbDatum", static_cast<int>(sizeof(CDbDatum)), edblevel});
    }
  };
  add(0, "UNDEFINED");
  for (EDBLEVEL edblevel : {DB_LEVEL_MACHINE, DB_LEVEL_CAMERA, DB_LEVEL_WINDOW}) {
    for (const DbCatalogueRow& row : CDbCatalogue::GetRows()) {
      if (LevelOf(row.edbid) == edblevel) add(row.edbid, row.szName);
    }
  }
  add(253, "LAST");
  return vec;
}

struct Line {
  std::string strSource, strAddress;
  int iSize;  // -1 on a deletion line
  std::string strClass;
};

// The "mem>>>" lines of a log text, from the given offset on.
std::vector<Line> MemLines(const std::string& a_strLog, size_t a_sizetFrom = 0) {
  static const std::regex s_reNew(
      R"(^\d+ \d+ (\S+) +\d+ +\d+ T\d+ S\d V. mem>>> addr:(\S+)  size: *(\d+)  new (\S+)\r?$)");
  static const std::regex s_reDelete(R"(^\d+ \d+ (\S+) +\d+ +\d+ T\d+ S\d V. mem>>> addr:(\S+) delete-object\r?$)");
  std::vector<Line> vec;
  for (const std::string& strLine : testsupport::Lines(a_strLog.substr(a_sizetFrom))) {
    std::smatch match;
    if (std::regex_match(strLine, match, s_reNew)) {
      vec.push_back({match[1], match[2], std::stoi(match[3]), match[4]});
    } else if (std::regex_match(strLine, match, s_reDelete)) {
      vec.push_back({match[1], match[2], -1, ""});
    }
  }
  return vec;
}

// The database's own components: the objects its unit makes before the
// first sentinel.
int OwnComponents(const std::vector<Line>& a_vecLines) {
  int iOwn = 0;
  for (const Line& line : a_vecLines) {
    if (line.strClass == "CUNDEFINED") break;
    iOwn += line.strSource == "db_cdatabase" && line.iSize >= 0;
  }
  return iOwn;
}

// The catalogue's own lines among those of the database's unit: creations
// from the first sentinel on, deletions after those of the database's own
// components (made before the first sentinel, deleted before it).
std::vector<Line> CatalogueLines(const std::vector<Line>& a_vecLines, bool a_blNew, int a_iOwnDeletions = 0) {
  std::vector<Line> vec;
  bool blStarted = false;
  int iOwnDeletions = a_iOwnDeletions;
  for (const Line& line : a_vecLines) {
    if (line.strSource != "db_cdatabase" || (line.iSize >= 0) != a_blNew) continue;
    if (!a_blNew && iOwnDeletions > 0) {
      --iOwnDeletions;
      continue;
    }
    blStarted = blStarted || !a_blNew || line.strClass == "CUNDEFINED";
    if (blStarted) vec.push_back(line);
  }
  return vec;
}

CDbDatum*& SlotAt(int a_iWindow, int a_iId, int a_iBin) {
  return CDbDatum::ms_pdatumcommon->apdbdatum[a_iWindow][a_iId][a_iBin];
}

// Which slots of the table hold an object, and whose identity.
std::vector<std::string> TableSignature() {
  std::vector<std::string> vec;
  for (int iWindow = 0; iWindow < DB_WINDOW_COUNT; ++iWindow) {
    for (int iId = 0; iId < DB_ID_COUNT; ++iId) {
      for (int iBin = 0; iBin < DB_BIN_COUNT; ++iBin) {
        CDbDatum* p = SlotAt(iWindow, iId, iBin);
        if (!p) continue;
        vec.push_back(std::to_string(p->GetWindow()) + " " + std::to_string(p->GetId()) + " " +
                      std::to_string(p->GetBin()) + " " + (p->GetName() ? p->GetName() : "(none)") + " " +
                      typeid(*p).name());
      }
    }
  }
  return vec;
}

struct FailedSlot {
  int iWindow, iId, iBin;
};
std::vector<FailedSlot> s_vecfailedslot;

bool FailSeam(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
  for (const FailedSlot& f : s_vecfailedslot) {
    if (f.iWindow == a_edbidwindow && f.iId == a_edbid && f.iBin == a_edbbin) return true;
  }
  return false;
}

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_plog = std::make_unique<testsupport::LogCapture>(1);
    m_pmem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 1);
  }

  void TearDown() override {
    m_pdatabase.reset();
    CDbCatalogue::SetAllocationSeam(nullptr);
    s_vecfailedslot.clear();
    m_pmem.reset();
    m_plog.reset();
  }

  // Builds a database; the log lines it writes start at the offset returned.
  size_t Build() {
    const size_t sizetFrom = LogText().size();
    m_pdatabase = std::make_unique<CDatabase>();
    m_iOwnComponents = OwnComponents(MemLines(LogText(), sizetFrom));
    return sizetFrom;
  }

  size_t Destroy() {
    const size_t sizetFrom = LogText().size();
    m_pdatabase.reset();
    return sizetFrom;
  }

  std::string LogText() const { return m_plog ? m_plog->Text() : std::string(); }

  std::unique_ptr<testsupport::LogCapture> m_plog;
  std::unique_ptr<COsMem> m_pmem;
  std::unique_ptr<CDatabase> m_pdatabase;
  int m_iOwnComponents = 0;  // of the last database built
};

// ---------------------------------------------------------------------------
// The rows
// ---------------------------------------------------------------------------
TEST_F(CatalogueTest, TheRowsFollowTheLookupSourceAndTheCapabilityTables) {
  const std::vector<std::string> vecNames = LookupSourceNames();
  ASSERT_EQ(vecNames.size(), 250u);
  EXPECT_EQ(FirstDisagreement(RowNames(), vecNames), -1);
  // A table in plain id order (72 before 73) is caught where it parts.
  std::vector<std::string> vecAscending = vecNames;
  auto it72 = std::find(vecAscending.begin(), vecAscending.end(), "DUALSTACKINGLENGTHMODE");
  ASSERT_NE(it72, vecAscending.end());
  std::rotate(it72 - 2, it72, it72 + 1);
  EXPECT_EQ(FirstDisagreement(vecAscending, vecNames), it72 - 2 - vecAscending.begin());
  EXPECT_NE(FirstDisagreement(std::vector<std::string>(vecNames.begin(), vecNames.end() - 1), vecNames), -1);

  int aiLevel[4] = {};
  std::set<int> setIds;
  for (const DbCatalogueRow& row : CDbCatalogue::GetRows()) {
    SCOPED_TRACE(row.szName);
    EXPECT_TRUE(Capability(row.edbid));
    EXPECT_TRUE(setIds.insert(row.edbid).second);
    EXPECT_EQ(row.edblevel, LevelOf(row.edbid));
    EXPECT_EQ(row.edbcontainertype, ContainerOf(row.edbid));
    EXPECT_EQ(row.szClass, "C" + std::string(row.szName));
    EXPECT_EQ(row.iSize, SizeOf(row.edbcontainertype));
    ++aiLevel[row.edblevel];
  }
  EXPECT_EQ(aiLevel[DB_LEVEL_MACHINE], 171);
  EXPECT_EQ(aiLevel[DB_LEVEL_CAMERA], 71);
  EXPECT_EQ(aiLevel[DB_LEVEL_WINDOW], 8);
  for (const DbCatalogueRow* prow : {&CDbCatalogue::GetUndefined(), &CDbCatalogue::GetLast()}) {
    EXPECT_EQ(prow->edblevel, DB_LEVEL_SENTINEL);
    EXPECT_EQ(prow->iSize, static_cast<int>(sizeof(CDbDatum)));
  }
  EXPECT_STREQ(CDbCatalogue::GetUndefined().szClass, "CUNDEFINED");
  EXPECT_STREQ(CDbCatalogue::GetLast().szClass, "CLAST");
}

// ---------------------------------------------------------------------------
// Construction and teardown
// ---------------------------------------------------------------------------
TEST_F(CatalogueTest, BuildingWritesOneLinePerObjectInCreationOrder) {
  const size_t sizetFrom = Build();
  const std::string strLog = LogText();
  const std::vector<Line> vecNew = CatalogueLines(MemLines(strLog, sizetFrom), true);
  const std::vector<Expected> vecExpected = ExpectedObjects();
  ASSERT_EQ(vecExpected.size(), static_cast<size_t>(s_iObjects));
  ASSERT_EQ(vecNew.size(), vecExpected.size());
  int aiLevel[4] = {};
  for (size_t i = 0; i < vecExpected.size(); ++i) {
    const Expected& e = vecExpected[i];
    SCOPED_TRACE(std::to_string(i) + ": [" + std::to_string(e.iWindow) + "][" + std::to_string(e.iId) + "][" +
                 std::to_string(e.iBin) + "] " + e.strClass);
    CDbDatum* p = SlotAt(e.iWindow, e.iId, e.iBin);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(vecNew[i].strAddress, Pointer(p));
    EXPECT_EQ(vecNew[i].strClass, e.strClass);
    EXPECT_EQ(vecNew[i].iSize, e.iSize);
    ++aiLevel[e.edblevel];
  }
  EXPECT_EQ(aiLevel[DB_LEVEL_SENTINEL], 4);
  EXPECT_EQ(aiLevel[DB_LEVEL_MACHINE], 342);
  EXPECT_EQ(aiLevel[DB_LEVEL_CAMERA], 355);
  EXPECT_EQ(aiLevel[DB_LEVEL_WINDOW], 360);
  // The table's shared objects are set up by the first datum, before its line.
  const size_t sizetUndefined = strLog.find("new CUNDEFINED", sizetFrom);
  for (const char* szShared : {"new CDbNotify", "new DbMakeXml", "new CDbDatum"})
    EXPECT_LT(strLog.find(szShared, sizetFrom), sizetUndefined) << szShared;
}

TEST_F(CatalogueTest, EverySlotHoldsWhatItsLevelPutsThere) {
  Build();
  std::set<const CDbDatum*> setSeen;
  for (int iWindow = 0; iWindow < DB_WINDOW_COUNT; ++iWindow) {
    for (int iId = 0; iId < DB_ID_COUNT; ++iId) {
      const EDBLEVEL edblevel = LevelOf(iId);
      const bool blExists = iId == 0 || iId == 253 || Capability(iId);
      for (int iBin = 0; iBin < DB_BIN_COUNT; ++iBin) {
        SCOPED_TRACE("[" + std::to_string(iWindow) + "][" + std::to_string(iId) + "][" + std::to_string(iBin) + "]");
        const bool blTwoBins = edblevel == DB_LEVEL_MACHINE || edblevel == DB_LEVEL_SENTINEL;
        const bool blMaster = iWindow == 0 && (blTwoBins ? iBin <= 1 : iBin != 1);
        const bool blCopy = iWindow > 0 && edblevel == DB_LEVEL_WINDOW && iBin >= 2;
        CDbDatum* p = SlotAt(iWindow, iId, iBin);
        if (!blExists || (!blMaster && !blCopy)) {
          EXPECT_EQ(p, nullptr);
          continue;
        }
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(setSeen.insert(p).second);
        EXPECT_EQ(p->GetWindow(), iWindow);
        EXPECT_EQ(p->GetId(), iId);
        EXPECT_EQ(p->GetBin(), iBin);
        EXPECT_EQ(p->GetDeviceData(), DB_DEVICEDATA_NONE);
        EXPECT_EQ(p->GetAccess(), DB_ACCESS_NOTSUPPORTED);
        EXPECT_EQ(p->GetLookup(), nullptr);
        if (edblevel == DB_LEVEL_SENTINEL) {
          EXPECT_STREQ(p->GetName(), iId == 0 ? "UNDEFINED" : "LAST");
          EXPECT_EQ(typeid(*p), typeid(CDbDatum));
          EXPECT_EQ(p->GetContainerType(), 0);
          EXPECT_EQ(p->GetDataType(), 0);
          continue;
        }
        EXPECT_STREQ(p->GetName(), SlotAt(0, iId, 0)->GetName());
        const EDBCONTAINERTYPE edbcontainertype = ContainerOf(iId);
        EXPECT_EQ(p->GetContainerType(), edbcontainertype);
        EXPECT_EQ(p->GetDataType(),
                  edbcontainertype == DB_CONTAINERTYPE_STRING ? DB_DATATYPE_STRING : DB_DATATYPE_LONG);
        if (blCopy) {
          EXPECT_EQ(typeid(*p), typeid(CDbDatum));
          continue;
        }
        // The class: the container itself without rules, a class of its own with.
        const std::type_info& typeinfoContainer = edbcontainertype == DB_CONTAINERTYPE_ENUM    ? typeid(CDbEnum)
                                                  : edbcontainertype == DB_CONTAINERTYPE_RANGE ? typeid(CDbRange)
                                                                                               : typeid(CDbString);
        EXPECT_EQ(typeid(*p) == typeinfoContainer, s_setPlain.count(iId) == 1);
        if (auto* penum = dynamic_cast<CDbEnum*>(p)) {
          EXPECT_EQ(p->GetCurrentLong(), 0);
          EXPECT_FALSE(penum->IsSelectionList());
          EXPECT_EQ(penum->GetCurrentItemCount(), 0);
          EXPECT_EQ(penum->GetDefaultItemCount(), 0);
        } else if (auto* prange = dynamic_cast<CDbRange*>(p)) {
          EXPECT_EQ(p->GetCurrentLong(), 0);
          EXPECT_EQ(prange->GetMin(), 0);
          EXPECT_EQ(prange->GetMax(), 0);
          EXPECT_EQ(prange->GetStep(), 0);
        } else {
          ASSERT_NE(dynamic_cast<CDbString*>(p), nullptr);
          EXPECT_EQ(p->GetSizetMaxString(), DB_STRING_SIZE);
          EXPECT_STREQ(p->GetCurrentString(), "");
          EXPECT_STREQ(p->GetDefaultString(), "");
        }
      }
    }
  }
  EXPECT_EQ(setSeen.size(), static_cast<size_t>(s_iObjects));

  // A window copy: its own identity, the master's kind, and the master's
  // access while its own is 0.
  CDbDatum* pcopy = SlotAt(7, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT);
  CDbDatum* pmaster = SlotAt(0, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT);
  EXPECT_EQ(pcopy->GetWindow(), 7);
  EXPECT_EQ(pcopy->GetId(), 99);
  EXPECT_EQ(pcopy->GetBin(), 4);
  EXPECT_STREQ(pcopy->GetName(), "FRAMEWIDTH");
  EXPECT_EQ(pcopy->GetContainerType(), DB_CONTAINERTYPE_RANGE);
  pmaster->SetAccess(DB_ACCESS_READONLY);
  EXPECT_EQ(pcopy->GetAccess(), DB_ACCESS_READONLY);
  EXPECT_FALSE(pcopy->IsModifiable());  // its own access is still 0
  EXPECT_EQ(CDbDatum::DbDatumFind(7, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT), pcopy);
}

TEST_F(CatalogueTest, TeardownDeletesEveryObjectInConstructionOrder) {
  const size_t sizetFrom = Build();
  const std::vector<Line> vecNew = CatalogueLines(MemLines(LogText(), sizetFrom), true);
  ASSERT_EQ(vecNew.size(), static_cast<size_t>(s_iObjects));
  const size_t sizetDestroy = Destroy();
  const std::vector<Line> vecDelete = CatalogueLines(MemLines(LogText(), sizetDestroy), false, m_iOwnComponents);
  ASSERT_EQ(vecDelete.size(), vecNew.size());
  for (size_t i = 0; i < vecNew.size(); ++i) EXPECT_EQ(vecDelete[i].strAddress, vecNew[i].strAddress) << i;
  EXPECT_EQ(CDbDatum::ms_pdatumcommon, nullptr);
  // A second database is built afresh, with the same objects.
  Build();
  EXPECT_EQ(TableSignature().size(), static_cast<size_t>(s_iObjects));
}

// A level deleted ahead of the destructor leaves its slots empty, so the
// destructor does not delete its objects a second time.
TEST_F(CatalogueTest, DeletedSlotsAreEmptiedAtOnce) {
  Build();
  CDbCatalogue::DeleteLevel(DB_LEVEL_WINDOW);
  CDbCatalogue::DeleteRow(CDbCatalogue::GetUndefined());
  for (int iWindow = 0; iWindow < DB_WINDOW_COUNT; ++iWindow) {
    for (int iId : s_setWindow) {
      for (int iBin = 0; iBin < DB_BIN_COUNT; ++iBin) EXPECT_EQ(SlotAt(iWindow, iId, iBin), nullptr);
    }
  }
  EXPECT_EQ(SlotAt(0, 0, 0), nullptr);
  EXPECT_EQ(SlotAt(0, 0, 1), nullptr);
  EXPECT_EQ(TableSignature().size(), static_cast<size_t>(s_iObjects - 360 - 2));
  const size_t sizetDestroy = Destroy();
  size_t sizetDeleted = 0;
  for (const Line& line : MemLines(LogText(), sizetDestroy)) sizetDeleted += line.strSource == "db_cdatabase";
  // The catalogue's remaining objects and the database's own components.
  EXPECT_EQ(sizetDeleted, static_cast<size_t>(s_iObjects - 360 - 2 + m_iOwnComponents));
}

// ---------------------------------------------------------------------------
// Failures and quiet logs
// ---------------------------------------------------------------------------
TEST_F(CatalogueTest, AFailedAllocationEmptiesOnlyItsSlot) {
  struct Case {
    const char* szWhat;
    FailedSlot failedslot;
    std::vector<FailedSlot> vecEmpty;  // beyond the failed slot itself
  } acase[] = {
      {"the first sentinel, which would set the table up", {0, 0, 0}, {}},
      {"the last sentinel's machine bin", {0, 253, 1}, {}},
      {"a machine search copy", {0, 10, 0}, {}},
      {"a machine value", {0, 10, 1}, {}},
      {"a camera", {0, 24, 3}, {}},
      {"a window search copy", {0, 99, 0}, {}},
      {"a window master: its ten copies are not made",
       {0, 99, 4},
       {{1, 99, 4}, {2, 99, 4}, {3, 99, 4}, {4, 99, 4}, {5, 99, 4}, {6, 99, 4}, {7, 99, 4}, {8, 99, 4}, {9, 99, 4},
        {10, 99, 4}}},
      {"a window copy", {7, 99, 4}, {}},
  };
  CDbCatalogue::SetAllocationSeam(FailSeam);
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szWhat);
    s_vecfailedslot = {c.failedslot};
    std::vector<FailedSlot> vecEmpty = c.vecEmpty;
    vecEmpty.push_back(c.failedslot);
    auto empty = [&](const Expected& e) {
      for (const FailedSlot& f : vecEmpty) {
        if (f.iWindow == e.iWindow && f.iId == e.iId && f.iBin == e.iBin) return true;
      }
      return false;
    };
    const size_t sizetFrom = Build();
    const std::vector<Line> vecNew = CatalogueLines(MemLines(LogText(), sizetFrom), true);
    const std::vector<Expected> vecExpected = ExpectedObjects();
    ASSERT_EQ(vecNew.size(), vecExpected.size());
    for (size_t i = 0; i < vecExpected.size(); ++i) {
      const Expected& e = vecExpected[i];
      CDbDatum* p = SlotAt(e.iWindow, e.iId, e.iBin);
      EXPECT_EQ(p == nullptr, empty(e)) << i;
      EXPECT_EQ(vecNew[i].strAddress, Pointer(p)) << i;
      EXPECT_EQ(vecNew[i].strClass, e.strClass) << i;
      EXPECT_EQ(vecNew[i].iSize, e.iSize) << i;
    }
    EXPECT_EQ(TableSignature().size(), vecExpected.size() - vecEmpty.size());
    ASSERT_NE(CDbDatum::GetDbNotify(), nullptr);
    const size_t sizetDestroy = Destroy();
    EXPECT_EQ(CatalogueLines(MemLines(LogText(), sizetDestroy), false, m_iOwnComponents).size(),
              vecExpected.size() - vecEmpty.size());
  }
}

TEST_F(CatalogueTest, WithoutDebugLinesTheSameTableIsBuiltQuietly) {
  Build();
  const std::vector<std::string> vecSignature = TableSignature();
  Destroy();
  struct Case {
    const char* szWhat;
    bool blLog;
  } acase[] = {{"debug level 0", true}, {"no log", false}};
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szWhat);
    m_plog.reset();
    std::filesystem::remove(testsupport::RootPath("log/test.log"));
    if (c.blLog) m_plog = std::make_unique<testsupport::LogCapture>(0);
    Build();
    EXPECT_EQ(TableSignature(), vecSignature);
    Destroy();
    EXPECT_EQ(LogText().find("mem>>>"), std::string::npos);
  }
}

// ---------------------------------------------------------------------------
// Bad input
// ---------------------------------------------------------------------------
TEST_F(CatalogueTest, UnlistedIdsHaveNoObjectsAndWalksMeetNoSentinel) {
  Build();
  for (int iId : {140, 141}) {
    for (int iWindow = 0; iWindow < DB_WINDOW_COUNT; ++iWindow) {
      for (int iBin = 0; iBin < DB_BIN_COUNT; ++iBin) {
        const EDBBIN edbbin = static_cast<EDBBIN>(iBin);
        EXPECT_EQ(CDbDatum::DbDatumFind(iWindow, static_cast<EDBID>(iId), edbbin), nullptr);
        EXPECT_EQ(CDbDatum::DbDatumFindQuick(iWindow, static_cast<EDBID>(iId), edbbin),
                  CDbDatum::ms_pdatumcommon->pdbdatumBlank);
      }
    }
  }
  struct Case {
    int iId;
    const char* szLog;
  } acase[] = {{254, "Bad a_edbid...0 1 254"}, {-1, "Bad a_edbid...0 1 -1"}, {1000, "Bad a_edbid...0 1 1000"}};
  for (const Case& c : acase) {
    EXPECT_EQ(CDbDatum::DbDatumFind(0, static_cast<EDBID>(c.iId), DB_BIN_MACHINE), nullptr);
    EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
  }
  // Every datum of window 0 but the search copies, and never a sentinel.
  size_t sizetWalked = 0;
  for (CDbDatum* p = CDbDatum::DbDatumFindFirstIgnoreAccess(); p; p = CDbDatum::DbDatumFindNextIgnoreAccess(p)) {
    ++sizetWalked;
    EXPECT_TRUE(Capability(p->GetId())) << p->GetId();
  }
  EXPECT_EQ(sizetWalked, 171u + 79u * 4u);
  EXPECT_EQ(CDbDatum::DbDatumFindFirst(), nullptr);  // nothing is supported yet
}

// The destructor of a database without a table releases what it owns and
// touches no slot.
TEST_F(CatalogueTest, ADatabaseWithoutATableIsDestroyedAtOnce) {
  Build();
  DbDatumCommon* pdatumcommon = CDbDatum::ms_pdatumcommon;
  CDbDatum::ms_pdatumcommon = nullptr;
  CDbCatalogue::NewLevel(DB_LEVEL_MACHINE);  // nothing to fill
  const size_t sizetDestroy = Destroy();
  size_t sizetDeleted = 0;
  for (const Line& line : MemLines(LogText(), sizetDestroy))
    sizetDeleted += line.strSource == "db_cdatabase" && line.iSize < 0;
  EXPECT_EQ(sizetDeleted, static_cast<size_t>(m_iOwnComponents));  // nothing but the database's own components
  // The catalogue is still whole; release it by hand.
  CDbDatum::ms_pdatumcommon = pdatumcommon;
  EXPECT_EQ(TableSignature().size(), static_cast<size_t>(s_iObjects));
  CDbCatalogue::DeleteRow(CDbCatalogue::GetUndefined());
  for (EDBLEVEL edblevel : {DB_LEVEL_MACHINE, DB_LEVEL_CAMERA, DB_LEVEL_WINDOW}) CDbCatalogue::DeleteLevel(edblevel);
  CDbCatalogue::DeleteRow(CDbCatalogue::GetLast());
  EXPECT_TRUE(TableSignature().empty());
  CDbDatum::Shutdown();
}

}  // namespace
