// A small database for the tests: the services a database needs (tracked
// memory for the named device task, a log captured in the test root, the
// UTF-8 locale for character counts), one CDatabase with its datum table
// and catalogue, and datums made by hand in any window and bin (each in place
// of the catalogue's object there), each with an optional hand-made lookup
// record. The datums are deleted before the database.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../os/log_capture.h"
#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdbenum.h"
#include "db_cdblookup.h"
#include "db_cdbnotify.h"
#include "db_cdbrange.h"
#include "db_cdbstring.h"
#include "os_cosmem.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"
#include "test_support.h"

namespace dbtest {

// A long datum whose values compare like a range's: a different value is a
// change.
class LongDatum : public CDbDatum {
 public:
  using CDbDatum::CDbDatum;
  bool Compare(long a_lA, long a_lB) override { return a_lA != a_lB; }
  void SetContainerType(EDBCONTAINERTYPE a_edbcontainertype) { m_edbcontainertype = a_edbcontainertype; }
};

// A string datum with its own buffers; texts compare byte for byte.
class StringDatum : public CDbDatum {
 public:
  using CDbDatum::CDbDatum;
  bool Compare(long a_lA, long a_lB) override {
    return std::strcmp(reinterpret_cast<const char*>(a_lA), reinterpret_cast<const char*>(a_lB)) != 0;
  }
  char m_aszText[5][DB_STRING_SIZE] = {};
};

// Records a callback's record and, for the device update, the state bit.
struct CallbackProbe {
  int iCalls = 0;
  DbCallbackRecord dbcallbackrecord = {};
  bool blDeviceBit = false;
  static EOSSTS Callback(void* a_pvRecord) {
    auto* pdbcallbackrecord = static_cast<DbCallbackRecord*>(a_pvRecord);
    auto* pprobe = static_cast<CallbackProbe*>(pdbcallbackrecord->pvUser);
    ++pprobe->iCalls;
    pprobe->dbcallbackrecord = *pdbcallbackrecord;
    pprobe->blDeviceBit = CDbDatum::TestDbState(DB_STATE_DEVICEUPDATE);
    return OS_STS_SUCCESS;
  }
};

class DbFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    m_plog = std::make_unique<testsupport::LogCapture>(LogLevel());
    m_pmem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 1);
    m_pdatabase = std::make_unique<CDatabase>();
  }

  // The debug level of the captured log (0: refusals and failures only).
  virtual long LogLevel() const { return 1; }

  // The test's datums leave the table before they are deleted, so that the
  // database deletes only what its catalogue made.
  void TearDown() override {
    for (CDbDatum* pdbdatum : m_vecpdbdatum) {
      ForgetSlots(pdbdatum);
      delete pdbdatum;
    }
    m_vecpdbdatum.clear();
    m_pdatabase.reset();
    m_pmem.reset();
    m_plog.reset();
    std::setlocale(LC_CTYPE, "C");
  }

  // Takes a datum made by the test; it is deleted before the database.
  template <class T>
  T* Keep(T* a_pdatum) {
    m_vecpdbdatum.push_back(a_pdatum);
    return a_pdatum;
  }

  // Makes room for a datum of the test in a slot of the table: the object
  // that the catalogue made there is deleted. Slots outside the table are
  // left to the datum's own refusal.
  void Vacate(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
    if (!CDbDatum::ms_pdatumcommon || a_edbidwindow < 0 || a_edbidwindow >= DB_WINDOW_COUNT || a_edbid < 0 ||
        a_edbid >= DB_ID_COUNT || a_edbbin < 0 || a_edbbin >= DB_BIN_COUNT)
      return;
    CDbDatum*& pdbdatum = CDbDatum::ms_pdatumcommon->apdbdatum[a_edbidwindow][a_edbid][a_edbbin];
    if (std::find(m_vecpdbdatum.begin(), m_vecpdbdatum.end(), pdbdatum) == m_vecpdbdatum.end()) delete pdbdatum;
    pdbdatum = nullptr;
  }

  // Leaves the sentinels alone in the table, for tests whose walks and finds
  // count on meeting nothing but their own datums.
  void ClearCatalogue() {
    for (int iWindow = 0; iWindow < DB_WINDOW_COUNT; ++iWindow) {
      for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
        for (int iBin = 0; iBin < DB_BIN_COUNT; ++iBin)
          Vacate(iWindow, static_cast<EDBID>(iId), static_cast<EDBBIN>(iBin));
      }
    }
  }

  // A datum of the test made by its registering constructor, in a vacated slot.
  template <class T>
  T* NewRegistered(EDBID a_edbid, EDBBIN a_edbbin) {
    Vacate(0, a_edbid, a_edbbin);
    return Keep(new T(a_edbid, a_edbbin));
  }

  // A master long datum in window 0, registered in its slot.
  LongDatum* NewLong(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, long a_lCurrent, long a_lDefault = 0,
                     EDBDEVICEDATA a_edbdevicedata = DB_DEVICEDATA_NONE) {
    LongDatum* pdatum = NewRegistered<LongDatum>(a_edbid, a_edbbin);
    pdatum->InitDatumLong(a_edbid, a_edbbin, a_edbaccess, a_edbdevicedata, a_lCurrent, a_lDefault);
    pdatum->SetName(Name(a_edbid));
    return pdatum;
  }

  // A master string datum in window 0 with the given maximum in characters.
  StringDatum* NewString(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, size_t a_sizetMax,
                         EDBDEVICEDATA a_edbdevicedata = DB_DEVICEDATA_NONE) {
    StringDatum* pdatum = NewRegistered<StringDatum>(a_edbid, a_edbbin);
    char(&asz)[5][DB_STRING_SIZE] = pdatum->m_aszText;
    EXPECT_EQ(pdatum->InitDatumString(a_edbid, a_edbbin, a_edbaccess, a_edbdevicedata, a_sizetMax, asz[0], asz[1],
                                      asz[2], asz[3], asz[4]),
              OS_STS_SUCCESS);
    pdatum->SetName(Name(a_edbid));
    return pdatum;
  }

  // Containers made the way the catalogue makes them (default constructor,
  // registration, identity), then initialised the way the database resource
  // initialises them.
  template <class T, class... A>
  T* NewContainer(EDBID a_edbid, EDBBIN a_edbbin, A... a_args) {
    Vacate(0, a_edbid, a_edbbin);
    T* pdatum = Keep(new T(a_args...));
    pdatum->InitCDbDatum(a_edbid, a_edbbin, pdatum);
    pdatum->SetId(a_edbid);
    pdatum->SetBin(a_edbbin);
    pdatum->SetName(Name(a_edbid));
    return pdatum;
  }

  CDbEnum* NewEnum(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, long a_lCurrent,
                   const std::vector<long>& a_veclItems, EDBDEVICEDATA a_edbdevicedata = DB_DEVICEDATA_NONE) {
    CDbEnum* pdatum = NewContainer<CDbEnum>(a_edbid, a_edbbin, false);
    pdatum->InitEnumLong(a_edbid, a_edbbin, a_edbaccess, a_edbdevicedata, a_lCurrent, a_lCurrent);
    for (long lItem : a_veclItems) {
      pdatum->AddDefaultItem(lItem);
      pdatum->AddCurrentItem(lItem);
    }
    return pdatum;
  }

  // Current and default bounds alike.
  CDbRange* NewRange(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, long a_lCurrent, long a_lMin, long a_lMax,
                     long a_lStep, EDBDEVICEDATA a_edbdevicedata = DB_DEVICEDATA_NONE) {
    CDbRange* pdatum = NewContainer<CDbRange>(a_edbid, a_edbbin);
    pdatum->InitRangeLong(a_edbid, a_edbbin, a_edbaccess, a_edbdevicedata, a_lCurrent, a_lMin, a_lMax, a_lStep,
                          a_lCurrent, a_lMin, a_lMax, a_lStep);
    return pdatum;
  }

  CDbString* NewText(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, size_t a_sizetMax, const char* a_szCurrent,
                     const char* a_szDefault, EDBDEVICEDATA a_edbdevicedata = DB_DEVICEDATA_NONE) {
    CDbString* pdatum = NewContainer<CDbString>(a_edbid, a_edbbin);
    pdatum->InitString(a_edbid, a_edbbin, a_edbaccess, a_edbdevicedata, a_sizetMax, a_szCurrent, a_szDefault,
                       a_szCurrent, a_szCurrent);
    return pdatum;
  }

  // A per-window copy (plain datum) of an existing master.
  CDbDatum* NewWindowCopy(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
    Vacate(a_edbidwindow, a_edbid, a_edbbin);
    return Keep(new CDbDatum(a_edbidwindow, a_edbid, a_edbbin));
  }

  // A lookup record made by hand, bound to every datum of the id present in
  // any window and bin. Values are (number, lexicon) pairs.
  DbLookup2* NewLookup(EDBID a_edbid, const std::string& a_strLexicon, uint64_t a_u64Group = 0,
                       const std::vector<std::pair<long, std::string>>& a_vecEnums = {}) {
    Record& record = m_dequerecord.emplace_back();
    record.strDbId = std::string("DB_ID_") + Name(a_edbid);
    record.strLexicon = a_strLexicon;
    for (const auto& [lValue, strLexicon] : a_vecEnums) {
      record.dequestrText.push_back("DB_ID_ENUM_" + std::to_string(lValue));
      const char* szDbIdEnum = record.dequestrText.back().c_str();
      record.dequestrText.push_back(strLexicon);
      record.vecdblookupenum.push_back({szDbIdEnum, lValue, record.dequestrText.back().c_str(), nullptr});
    }
    record.dblookup2 = {record.strDbId.c_str(), a_edbid,
                        record.strLexicon.c_str(), a_u64Group,
                        "",                        nullptr,
                        static_cast<long>(record.vecdblookupenum.size()),
                        record.vecdblookupenum.empty() ? nullptr : record.vecdblookupenum.data()};
    for (int iWindow = 0; iWindow < DB_WINDOW_COUNT; ++iWindow) {
      for (int iBin = 0; iBin < DB_BIN_COUNT; ++iBin) {
        CDbDatum* pdbdatum = CDbDatum::ms_pdatumcommon->apdbdatum[iWindow][a_edbid][iBin];
        if (pdbdatum) pdbdatum->SetLookup(&record.dblookup2);
      }
    }
    return &record.dblookup2;
  }

  CDbNotify* Notify() { return CDbDatum::GetDbNotify(); }

  // The datums of one notification kind in walk order.
  std::vector<CDbDatum*> Walk(EDBNOTIFY a_edbnotify) {
    std::vector<CDbDatum*> vec;
    for (CDbDatum* p = Notify()->GetFirst(a_edbnotify); p && vec.size() < 20000; p = Notify()->GetNext(a_edbnotify, p))
      vec.push_back(p);
    return vec;
  }

  bool Notified(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum) {
    for (CDbDatum* p : Walk(a_edbnotify)) {
      if (p == a_pdbdatum) return true;
    }
    return false;
  }

  // A device task around whatever the test writes into the block's task.
  void StartDeviceTask() {
    COsXmlTask* posxmltask = CDbDatum::GetDbMakeXml();
    posxmltask->Clear();
    posxmltask->StartTask(1, 0, nullptr);
    posxmltask->StartCommand("setconfig", 1);
  }

  std::string FinishDeviceTask() {
    COsXmlTask* posxmltask = CDbDatum::GetDbMakeXml();
    posxmltask->FinalizeCommand("setconfig");
    posxmltask->FinalizeTask();
    return posxmltask->GetTaskBuffer();
  }

  // xmllint's verdict on a document (0 when well-formed).
  static int XmlLint(const std::string& a_strDocument) {
    static int s_iFile = 0;
    std::string strPath = testsupport::RootPath("lint" + std::to_string(++s_iFile) + ".xml");
    testsupport::WriteFile(strPath, a_strDocument);
    int iStatus = -1;
    testsupport::RunProgram({"xmllint", "--noout", strPath}, &iStatus);
    return iStatus;
  }

  // The arguments of the task's first command as (name, content) pairs, as
  // the XML reader gives them.
  static std::vector<std::pair<std::string, std::string>> ReadArguments(const std::string& a_strTask) {
    std::vector<std::pair<std::string, std::string>> vec;
    COsXml osxml;
    if (osxml.DocumentLoad(a_strTask.c_str()) != OS_STS_SUCCESS) return vec;
    if (osxml.NodeChild() != OS_STS_SUCCESS || osxml.NodePush() != OS_STS_SUCCESS) return vec;
    if (osxml.NodeChild() != OS_STS_SUCCESS) return vec;
    do {
      char szName[256] = {};
      char szContent[4096] = {};
      osxml.NodeGetName(szName, sizeof szName);
      osxml.NodeGetContent(szContent, sizeof szContent);
      vec.emplace_back(szName, szContent);
    } while (osxml.NodeSibling() == OS_STS_SUCCESS);
    return vec;
  }

  static const char* Name(EDBID a_edbid) {
    static std::deque<std::string> s_dequestr;
    s_dequestr.push_back("CAP" + std::to_string(a_edbid));
    return s_dequestr.back().c_str();
  }

  std::unique_ptr<testsupport::LogCapture> m_plog;
  std::unique_ptr<COsMem> m_pmem;
  std::unique_ptr<CDatabase> m_pdatabase;

 private:
  static void ForgetSlots(CDbDatum* a_pdbdatum) {
    if (!CDbDatum::ms_pdatumcommon) return;
    for (auto& apdbdatumWindow : CDbDatum::ms_pdatumcommon->apdbdatum) {
      for (auto& apdbdatumId : apdbdatumWindow) {
        for (CDbDatum*& pdbdatum : apdbdatumId) {
          if (pdbdatum == a_pdbdatum) pdbdatum = nullptr;
        }
      }
    }
  }

  struct Record {
    std::string strDbId;
    std::string strLexicon;
    std::deque<std::string> dequestrText;
    std::vector<DbLookupEnum> vecdblookupenum;
    DbLookup2 dblookup2 = {};
  };
  std::vector<CDbDatum*> m_vecpdbdatum;
  std::deque<Record> m_dequerecord;
};

}  // namespace dbtest
