// Tests of the attribute tasks: a database loaded with the library's own
// lookup and default database, capabilities set up in place, and callbacks
// that keep every task as its library received it (and can refuse one).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db_cdbconfig.h"
#include "db_values_fixture.h"
#include "os_coscfg.h"

namespace dbtest {

// A task's command and its arguments in order; an argument inside a nested
// element is named by its path ("barcode/region/imagewidth").
struct ReadTask {
  bool blRead = false;
  std::string strCommand;
  std::vector<std::pair<std::string, std::string>> vecArgument;

  std::vector<std::string> Names() const {
    std::vector<std::string> vec;
    for (const auto& [strName, strValue] : vecArgument) vec.push_back(strName);
    return vec;
  }
  std::vector<std::string> ValuesOf(const std::string& a_strName) const {
    std::vector<std::string> vec;
    for (const auto& [strName, strValue] : vecArgument) {
      if (strName == a_strName) vec.push_back(strValue);
    }
    return vec;
  }
  // The value of the first argument of that name, "-" without one.
  std::string Get(const std::string& a_strName) const {
    std::vector<std::string> vec = ValuesOf(a_strName);
    return vec.empty() ? "-" : vec.front();
  }
};

// The reader walks the task the way a library's parser would.
inline void ReadElement(COsXml& a_osxml, const std::string& a_strPrefix, ReadTask& a_readtask) {
  char szName[256] = {};
  a_osxml.NodeGetName(szName, sizeof szName);
  if (a_osxml.NodePush() != OS_STS_SUCCESS) return;
  if (a_osxml.NodeChild() == OS_STS_SUCCESS) {
    do {
      ReadElement(a_osxml, a_strPrefix + szName + "/", a_readtask);
    } while (a_osxml.NodeSibling() == OS_STS_SUCCESS);
  } else {
    char szContent[4096] = {};
    a_osxml.NodeGetContent(szContent, sizeof szContent);
    a_readtask.vecArgument.emplace_back(a_strPrefix + szName, szContent);
  }
  a_osxml.NodePop();
}

inline ReadTask ReadBack(const std::string& a_strTask) {
  ReadTask readtask;
  COsXml osxml;
  if (osxml.DocumentLoad(a_strTask.c_str()) != OS_STS_SUCCESS) return readtask;
  if (osxml.NodeChild() != OS_STS_SUCCESS || osxml.NodePush() != OS_STS_SUCCESS) return readtask;
  char szCommand[256] = {};
  osxml.NodeGetName(szCommand, sizeof szCommand);
  readtask.strCommand = szCommand;
  if (osxml.NodeChild() == OS_STS_SUCCESS) {
    do {
      ReadElement(osxml, "", readtask);
    } while (osxml.NodeSibling() == OS_STS_SUCCESS);
  }
  readtask.blRead = true;
  return readtask;
}

// One task as a library received it.
struct SentTask {
  std::string strLibrary;  // "device" or "nexil"
  int iUnitOverride;
  bool blFlatbed;  // what NeedScanFromFlatbed said during the send
  std::string strText;
  ReadTask readtask;
};

class DbMakeXmlFixture : public DbValuesFixture {
 protected:
  void SetUp() override {
    DbValuesFixture::SetUp();
    ASSERT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH, false), DB_STS_SUCCESS);
    m_pdatabase->ConfigEnumAdd("illumination", "normal", DB_CONFIGTARGET_ADF);
    m_pdatabase->ConfigEnumAdd("illumination", "lamp", DB_CONFIGTARGET_FLATBED);
  }

  void TearDown() override {
    m_poscfg.reset();
    DbValuesFixture::TearDown();
  }

  // The configuration store, for the switches of section 1.
  void Configure(unsigned a_eoscfgtag, const char* a_szValue) {
    if (!m_poscfg) {
      OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
      m_poscfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &oscfgversion, false, nullptr);
    }
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, a_eoscfgtag, a_szValue), OS_STS_SUCCESS);
  }

  // ---------------------------------------------------------------------
  // Capturing callbacks: the n-th call (from 1) of m_iFailAt answers 1.
  // ---------------------------------------------------------------------
  static EOSSTS CaptureDevice(void* a_pvFixture) {
    return static_cast<DbMakeXmlFixture*>(a_pvFixture)->Capture("device");
  }
  static EOSSTS CaptureNexil(void* a_pvFixture) {
    return static_cast<DbMakeXmlFixture*>(a_pvFixture)->Capture("nexil");
  }

  EOSSTS Capture(const char* a_szLibrary) {
    const std::string strText = m_pdatabase->GetDbMakeXml()->GetTaskBuffer();
    m_vecsent.push_back(
        {a_szLibrary, m_pdatabase->GetUnitOverride(), m_pdatabase->NeedScanFromFlatbed(), strText, ReadBack(strText)});
    return static_cast<int>(m_vecsent.size()) == m_iFailAt ? OS_STS_FAIL : OS_STS_SUCCESS;
  }

  EOSSTS Run() { return m_pdatabase->MakeXmlAll(CaptureNexil, CaptureDevice, this); }

  // The tasks the device library received, one text each: the command and
  // what tells it apart (unit, camera, window, order).
  std::vector<std::string> DeviceTasks() const {
    std::vector<std::string> vec;
    for (const SentTask& senttask : m_vecsent) {
      if (senttask.strLibrary == "device") vec.push_back(Summary(senttask));
    }
    return vec;
  }

  static std::string Summary(const SentTask& a_senttask) {
    const ReadTask& readtask = a_senttask.readtask;
    std::string str = readtask.strCommand;
    if (readtask.strCommand == "setconfig") str += a_senttask.blFlatbed ? " flatbed" : " feeder";
    if (readtask.strCommand == "createcamera") str += " " + readtask.Get("cameraid");
    if (readtask.strCommand == "windowadd")
      str += " " + readtask.Get("windowid") + " " + readtask.Get("windowtype") + " " + readtask.Get("cameraid");
    if (readtask.strCommand == "setwindoworder") {
      for (const std::string& strWindow : readtask.ValuesOf("windowid")) str += " " + strWindow;
    }
    return str;
  }

  // Every task passes xmllint, reads back, and says its own length.
  void ExpectWellFormed() {
    for (const SentTask& senttask : m_vecsent) {
      SCOPED_TRACE(senttask.strText);
      EXPECT_EQ(XmlLint(senttask.strText), 0);
      EXPECT_TRUE(senttask.readtask.blRead);
      uint64_t u64Bytes = 0;
      EXPECT_TRUE(COsXml::GetTaskPropertyBytes(senttask.strText.c_str(), &u64Bytes));
      EXPECT_EQ(u64Bytes, senttask.strText.size());
    }
  }

  // The tasks of one command the device library received.
  std::vector<ReadTask> Sent(const std::string& a_strCommand) const {
    std::vector<ReadTask> vec;
    for (const SentTask& senttask : m_vecsent) {
      if (senttask.strLibrary == "device" && senttask.readtask.strCommand == a_strCommand)
        vec.push_back(senttask.readtask);
    }
    return vec;
  }

  // ---------------------------------------------------------------------
  // Values set in place
  // ---------------------------------------------------------------------
  // A value stored as the scanner's replies store it, in the datum of that
  // very window (a window copy or a master).
  void Set(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin, long a_lValue) {
    CDbDatum* pdbdatum = Slot(a_edbidwindow, a_edbid, a_edbbin);
    ASSERT_NE(pdbdatum, nullptr) << a_edbidwindow << " " << a_edbid << " " << a_edbbin;
    pdbdatum->ForceCurrentLong(a_lValue);
  }

  // The catalogue's enumeration of the slot made supported with a value,
  // its lists and its consumers.
  CDbEnum* Support(EDBID a_edbid, EDBBIN a_edbbin, long a_lValue, std::initializer_list<long> a_illItems,
                   EDBDEVICEDATA a_edbdevicedata = DB_DEVICEDATA_NONE, EDBACCESS a_edbaccess = DB_ACCESS_READWRITE) {
    CDbEnum* pdbenum = dbcontainer::AsEnum(Slot(0, a_edbid, a_edbbin));
    if (!pdbenum) {
      ADD_FAILURE() << "no enumeration in slot " << a_edbid << "/" << a_edbbin;
      return nullptr;
    }
    pdbenum->InitEnumLong(a_edbid, a_edbbin, a_edbaccess, a_edbdevicedata, a_lValue, a_lValue);
    for (long lItem : a_illItems) {
      pdbenum->AddDefaultItem(lItem);
      pdbenum->AddCurrentItem(lItem);
    }
    return pdbenum;
  }

  CDbRange* SupportRange(EDBID a_edbid, EDBBIN a_edbbin, long a_lValue,
                         EDBDEVICEDATA a_edbdevicedata = DB_DEVICEDATA_NONE) {
    CDbRange* pdbrange = dbcontainer::AsRange(Slot(0, a_edbid, a_edbbin));
    if (!pdbrange) {
      ADD_FAILURE() << "no range in slot " << a_edbid << "/" << a_edbbin;
      return nullptr;
    }
    pdbrange->InitRangeLong(a_edbid, a_edbbin, DB_ACCESS_READWRITE, a_edbdevicedata, a_lValue, 0, 100000, 1, a_lValue,
                            0, 100000, 1);
    return pdbrange;
  }

  // The cameras of window 0: bitonal front, bitonal rear, colour front,
  // colour rear.
  void Cameras(bool a_blBitonalFront, bool a_blBitonalRear, bool a_blColorFront, bool a_blColorRear) {
    const bool ablOn[] = {a_blBitonalFront, a_blBitonalRear, a_blColorFront, a_blColorRear};
    for (int i = 0; i < 4; ++i) {
      Set(0, DB_ID_CAMERAENABLE, static_cast<EDBBIN>(DB_BIN_BITONAL_FRONT + i),
          ablOn[i] ? DB_ID_CAMERAENABLE_ENUM_TRUE : DB_ID_CAMERAENABLE_ENUM_FALSE);
    }
  }

  std::vector<SentTask> m_vecsent;
  int m_iFailAt = 0;
  std::unique_ptr<COsCfg> m_poscfg;
};

}  // namespace dbtest
