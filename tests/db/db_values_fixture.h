// Tests of the database's value operations: rule classes that record every
// call of their operations in one journal (and can refuse a value), and the
// catalogue's own objects set up in place the way the database resource
// sets them up, with the window copies the catalogue made for them.
#pragma once

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "db_cdbcontainer.h"
#include "db_fixture.h"

namespace dbtest {

// One call of a rule operation as the rule saw it.
struct RuleCall {
  std::string strOperation;  // "Validate", "FixCurrent", "FixAccess", "FixDefaultReset"
  EDBID edbid;
  EDBBIN edbbin;
  EDBID_WINDOW edbidwindow;  // Validate's window
  long lValue;               // Validate's value
  bool blPassBit;            // state bit 2 during the call
  CDbDatum* pdbdatumModified;
};

struct RuleJournal {
  std::vector<RuleCall> vecrulecall;
  void Clear() { vecrulecall.clear(); }
  // The calls of one operation as "ID/BIN" texts, in order.
  std::vector<std::string> Of(const std::string& a_strOperation) const {
    std::vector<std::string> vec;
    for (const RuleCall& rulecall : vecrulecall) {
      if (rulecall.strOperation == a_strOperation)
        vec.push_back(std::to_string(rulecall.edbid) + "/" + std::to_string(rulecall.edbbin));
    }
    return vec;
  }
};

// A rule class on an enumeration or range: records each call; Validate
// answers m_eosstsRefuse when it is set, else the container's own answer;
// FixCurrent and FixDefault run m_fnFixCurrent and m_fnFixDefault when set.
template <class Container>
class RecordingRule : public Container {
 public:
  explicit RecordingRule(RuleJournal* a_pjournal) : m_pjournal(a_pjournal) {}
  EOSSTS Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) override {
    Record("Validate", a_edbidwindow, a_lValue);
    return m_eosstsRefuse != OS_STS_SUCCESS ? m_eosstsRefuse : Container::Validate(a_edbidwindow, a_lValue);
  }
  EOSSTS FixCurrent() override {
    Record("FixCurrent");
    if (m_fnFixCurrent) m_fnFixCurrent();
    return OS_STS_SUCCESS;
  }
  EOSSTS FixAccess() override {
    Record("FixAccess");
    return OS_STS_SUCCESS;
  }
  void FixDefaultReset() override {
    Record("FixDefaultReset");
    Container::FixDefaultReset();
  }
  EOSSTS FixDefault() override {
    Record("FixDefault");
    Container::FixDefault();
    if (m_fnFixDefault) m_fnFixDefault();
    return OS_STS_SUCCESS;
  }

  EOSSTS m_eosstsRefuse = OS_STS_SUCCESS;
  std::function<void()> m_fnFixCurrent;
  std::function<void()> m_fnFixDefault;

 protected:
  void Record(const char* a_szOperation, EDBID_WINDOW a_edbidwindow = -1, long a_lValue = 0) {
    m_pjournal->vecrulecall.push_back({a_szOperation, this->GetId(), this->GetBin(), a_edbidwindow, a_lValue,
                                       CDbDatum::TestDbState(DB_STATE_FIXUP), CDbDatum::GetModified()});
  }
  RuleJournal* m_pjournal;
};

using RecordingEnum = RecordingRule<CDbEnum>;
using RecordingRange = RecordingRule<CDbRange>;

class RecordingString : public CDbString {
 public:
  explicit RecordingString(RuleJournal* a_pjournal) : m_pjournal(a_pjournal) {}
  EOSSTS Validate(EDBID_WINDOW a_edbidwindow, const char* a_szValue) override {
    m_pjournal->vecrulecall.push_back({"Validate", GetId(), GetBin(), a_edbidwindow, 0,
                                       CDbDatum::TestDbState(DB_STATE_FIXUP), CDbDatum::GetModified()});
    return m_eosstsRefuse != OS_STS_SUCCESS ? m_eosstsRefuse : CDbString::Validate(a_edbidwindow, a_szValue);
  }
  EOSSTS FixCurrent() override {
    m_pjournal->vecrulecall.push_back(
        {"FixCurrent", GetId(), GetBin(), -1, 0, CDbDatum::TestDbState(DB_STATE_FIXUP), CDbDatum::GetModified()});
    return OS_STS_SUCCESS;
  }
  EOSSTS FixDefault() override {
    m_pjournal->vecrulecall.push_back(
        {"FixDefault", GetId(), GetBin(), -1, 0, CDbDatum::TestDbState(DB_STATE_FIXUP), CDbDatum::GetModified()});
    return CDbString::FixDefault();
  }
  EOSSTS m_eosstsRefuse = OS_STS_SUCCESS;

 private:
  RuleJournal* m_pjournal;
};

class DbValuesFixture : public DbFixture {
 protected:
  // Recording rules in vacated window-0 slots, initialised as the database
  // resource initialises their containers.
  RecordingEnum* NewRecordingEnum(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, long a_lCurrent,
                                  std::initializer_list<long> a_illItems) {
    return InitEnum(NewContainer<RecordingEnum>(a_edbid, a_edbbin, &m_journal), a_edbid, a_edbbin, a_edbaccess,
                    a_lCurrent, a_illItems);
  }

  RecordingRange* NewRecordingRange(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, long a_lCurrent, long a_lMin,
                                    long a_lMax, long a_lStep) {
    return InitRange(NewContainer<RecordingRange>(a_edbid, a_edbbin, &m_journal), a_edbid, a_edbbin, a_edbaccess,
                     a_lCurrent, a_lMin, a_lMax, a_lStep);
  }

  RecordingString* NewRecordingString(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, size_t a_sizetMax,
                                      const char* a_szCurrent) {
    RecordingString* pdatum = NewContainer<RecordingString>(a_edbid, a_edbbin, &m_journal);
    pdatum->InitString(a_edbid, a_edbbin, a_edbaccess, DB_DEVICEDATA_NONE, a_sizetMax, a_szCurrent, a_szCurrent,
                       a_szCurrent, a_szCurrent);
    return pdatum;
  }

  // The catalogue's own object of a slot, set up in place: its window copies
  // stay in windows 1 to 10.
  CDbEnum* CatalogueEnum(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, long a_lCurrent,
                         std::initializer_list<long> a_illItems) {
    CDbEnum* pdbenum = dbcontainer::AsEnum(Slot(0, a_edbid, a_edbbin));
    if (!pdbenum) ADD_FAILURE() << "no enumeration in slot " << a_edbid << "/" << a_edbbin;
    return pdbenum ? InitEnum(pdbenum, a_edbid, a_edbbin, a_edbaccess, a_lCurrent, a_illItems) : nullptr;
  }

  CDbRange* CatalogueRange(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, long a_lCurrent, long a_lMin,
                           long a_lMax, long a_lStep) {
    CDbRange* pdbrange = dbcontainer::AsRange(Slot(0, a_edbid, a_edbbin));
    if (!pdbrange) ADD_FAILURE() << "no range in slot " << a_edbid << "/" << a_edbbin;
    return pdbrange ? InitRange(pdbrange, a_edbid, a_edbbin, a_edbaccess, a_lCurrent, a_lMin, a_lMax, a_lStep)
                    : nullptr;
  }

  // Value and default alike, and the current and default lists alike.
  template <class T>
  static T* InitEnum(T* a_pdbenum, EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, long a_lCurrent,
                     std::initializer_list<long> a_illItems) {
    a_pdbenum->InitEnumLong(a_edbid, a_edbbin, a_edbaccess, DB_DEVICEDATA_NONE, a_lCurrent, a_lCurrent);
    for (long lItem : a_illItems) {
      a_pdbenum->AddDefaultItem(lItem);
      a_pdbenum->AddCurrentItem(lItem);
    }
    return a_pdbenum;
  }

  // Current and default bounds alike.
  template <class T>
  static T* InitRange(T* a_pdbrange, EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, long a_lCurrent,
                      long a_lMin, long a_lMax, long a_lStep) {
    a_pdbrange->InitRangeLong(a_edbid, a_edbbin, a_edbaccess, DB_DEVICEDATA_NONE, a_lCurrent, a_lMin, a_lMax, a_lStep,
                              a_lCurrent, a_lMin, a_lMax, a_lStep);
    return a_pdbrange;
  }

  // A string of the catalogue set up in place, every generation the text.
  CDbString* CatalogueString(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, const char* a_szText) {
    CDbString* pdbstring = dbcontainer::AsString(Slot(0, a_edbid, a_edbbin));
    if (!pdbstring) {
      ADD_FAILURE() << "no string in slot " << a_edbid << "/" << a_edbbin;
      return nullptr;
    }
    pdbstring->InitString(a_edbid, a_edbbin, a_edbaccess, DB_DEVICEDATA_NONE, 64, a_szText, a_szText, a_szText,
                          a_szText);
    return pdbstring;
  }

  // The scanner's dropout entries: one of a single colour, one of several.
  static constexpr long s_lEcdoSingle = DB_ID_ECDO_ENUM_FILE02;
  static constexpr long s_lEcdoMultiple = DB_ID_ECDO_ENUM_FILE03;
  void ScannerDropouts() {
    DbEcdoRecord* pdbecdorecord = m_pdatabase->DeviceGetEcdoHeader()->adbecdorecord;
    for (const auto& [lValue, szKind] :
         {std::pair<long, const char*>{s_lEcdoSingle, "normal"}, {s_lEcdoMultiple, "pmcdo"}}) {
      pdbecdorecord->u32Value = static_cast<uint32_t>(lValue);
      std::snprintf(pdbecdorecord->szName, sizeof pdbecdorecord->szName, "dropout%ld", lValue);
      std::snprintf(pdbecdorecord->szKind, sizeof pdbecdorecord->szKind, "%s", szKind);
      ++pdbecdorecord;
    }
  }

  static CDbDatum* Slot(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
    return CDbDatum::ms_pdatumcommon->apdbdatum[a_edbidwindow][a_edbid][a_edbbin];
  }

  // Everything a datum holds, as one text: a refused call must leave it.
  static std::string Snapshot(CDbDatum* a_pdbdatum) {
    std::ostringstream oss;
    oss << a_pdbdatum->GetAccess() << ' ';
    if (a_pdbdatum->GetDataType() == DB_DATATYPE_STRING) {
      oss << a_pdbdatum->GetCurrentStringNoCallback() << '|' << a_pdbdatum->GetDefaultString() << '|'
          << a_pdbdatum->GetPreviousString() << '|' << a_pdbdatum->GetProfilesString();
      return oss.str();
    }
    oss << a_pdbdatum->GetCurrentLongNoCallback() << ' ' << a_pdbdatum->GetDefaultLong() << ' '
        << a_pdbdatum->GetPreviousLong() << ' ' << a_pdbdatum->GetProfileLong() << ' ' << a_pdbdatum->GetRestoreLong();
    if (CDbRange* pdbrange = dbcontainer::AsRange(a_pdbdatum)) {
      oss << " [" << pdbrange->GetMin() << ' ' << pdbrange->GetMax() << ' ' << pdbrange->GetStep() << ' '
          << pdbrange->GetDefaultMin() << ' ' << pdbrange->GetDefaultMax() << ' ' << pdbrange->GetDefaultStep() << ']';
    }
    if (CDbEnum* pdbenum = dbcontainer::AsEnum(a_pdbdatum)) {
      oss << " {";
      for (long l = 0; l < pdbenum->GetCurrentItemCount(); ++l) oss << pdbenum->GetCurrentItem(l) << ' ';
      oss << "} {";
      for (long l = 0; l < pdbenum->GetDefaultItemCount(); ++l) oss << pdbenum->GetDefaultItem(l) << ' ';
      oss << '}';
    }
    return oss.str();
  }

  size_t LogSize() const { return m_plog->Text().size(); }
  std::string LogFrom(size_t a_sizetFrom) const { return m_plog->Text().substr(a_sizetFrom); }

  // One row of a table of calls: its result and, when named, a line it logs.
  void ExpectCall(const char* a_szCall, const std::function<long()>& a_fnCall, long a_lResult, const char* a_szLog) {
    SCOPED_TRACE(a_szCall);
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(a_fnCall(), a_lResult);
    if (a_szLog) {
      EXPECT_NE(LogFrom(sizetFrom).find(a_szLog), std::string::npos) << LogFrom(sizetFrom);
    }
  }

  RuleJournal m_journal;
};

}  // namespace dbtest
