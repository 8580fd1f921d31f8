// The device implementation's two entry points of the attribute tasks: each
// task reaches the library of the unit that scans, a refusal fails the send,
// and the image library can be switched off.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "../db/db_makexml_fixture.h"
#include "dev_cdevimpl.h"
#include "os_cosxmltask.h"

namespace {

// A library of both units: keeps (unit, command) of each task and answers
// its reply (none when it cannot be reached).
struct Library {
  std::vector<std::pair<int, std::string>> vecReceived;
  const char* szReply = COsXmlTask::ReportStatusSuccess();
  static const char* Sink(void* a_pvLibrary, EDBID_FIRMWARE a_edbidfirmware, const char* a_szTask) {
    auto* plibrary = static_cast<Library*>(a_pvLibrary);
    plibrary->vecReceived.emplace_back(a_edbidfirmware, dbtest::ReadBack(a_szTask).strCommand);
    return plibrary->szReply;
  }
};

class DbDevTasksTest : public dbtest::DbMakeXmlFixture {
 protected:
  void SetUp() override {
    DbMakeXmlFixture::SetUp();
    m_pdevimpl = std::make_unique<CDevImpl>(m_pdatabase.get(), nullptr, nullptr, nullptr);
    m_pdevimpl->SetTaskSink(DEV_LIBRARY_DEVICE, Library::Sink, &m_libraryDevice);
    m_pdevimpl->SetTaskSink(DEV_LIBRARY_NEXIL, Library::Sink, &m_libraryNexil);
  }
  void TearDown() override {
    m_pdevimpl.reset();
    DbMakeXmlFixture::TearDown();
  }

  EOSSTS RunDevice() {
    return m_pdatabase->MakeXmlAll(CDevImpl::NexEntryCallbackFriend, CDevImpl::ScannerEntryCallbackFriend,
                                   m_pdevimpl.get());
  }

  std::unique_ptr<CDevImpl> m_pdevimpl;
  Library m_libraryDevice;
  Library m_libraryNexil;
};

// Two units: setconfig reaches each unit's libraries in turn, the rest the
// unit that scans.
TEST_F(DbDevTasksTest, EachTaskReachesTheUnitThatScans) {
  m_pdatabase->EnumAddDefaultItem(m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_PAPERSOURCE),
                                  DB_ID_PAPERSOURCE_ENUM_FLATBED);
  for (long lPaperSource : {DB_ID_PAPERSOURCE_ENUM_ADF, DB_ID_PAPERSOURCE_ENUM_FLATBED}) {
    SCOPED_TRACE(lPaperSource);
    Set(0, DB_ID_PAPERSOURCE, DB_BIN_MACHINE, lPaperSource);
    m_libraryDevice.vecReceived.clear();
    m_libraryNexil.vecReceived.clear();
    ASSERT_EQ(RunDevice(), OS_STS_SUCCESS);
    const int iUnit = lPaperSource == DB_ID_PAPERSOURCE_ENUM_FLATBED ? DB_FIRMWARE_FLATBED : DB_FIRMWARE_ADF;
    std::vector<std::pair<int, std::string>> vecExpected = {
        {1, "setconfig"}, {2, "setconfig"}, {iUnit, "createcamera"}};
    if (iUnit == DB_FIRMWARE_ADF) vecExpected.emplace_back(iUnit, "createcamera");
    vecExpected.emplace_back(iUnit, "windowadd");
    if (iUnit == DB_FIRMWARE_ADF) vecExpected.emplace_back(iUnit, "windowadd");
    vecExpected.emplace_back(iUnit, "setwindoworder");
    EXPECT_EQ(m_libraryDevice.vecReceived, vecExpected);
    EXPECT_EQ(m_libraryNexil.vecReceived, vecExpected);
  }
}

// A library that refuses, cannot be reached or is missing fails the send;
// nothing is sent after it.
TEST_F(DbDevTasksTest, RefusalsFailTheSend) {
  const struct {
    const char* szWhat;
    EDEVLIBRARY edevlibrary;
    const char* szReply;
    bool blSink;
    std::vector<const char*> vecLog;
  } acase[] = {
      {"device library says fail",
       DEV_LIBRARY_DEVICE,
       COsXmlTask::ReportStatusFail(),
       true,
       {"device-manager library of unit 1 refused the task...", "setconfig for Device DLL failed..."}},
      {"image library unreachable",
       DEV_LIBRARY_NEXIL,
       nullptr,
       true,
       {"image library of unit 1 refused the task...<>", "setconfig for Nexil DLL failed..."}},
      {"no device library",
       DEV_LIBRARY_DEVICE,
       nullptr,
       false,
       {"no device-manager library for unit 1...", "setconfig for Device DLL failed..."}},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    Library library;
    library.szReply = c.szReply;
    m_pdevimpl->SetTaskSink(c.edevlibrary, c.blSink ? Library::Sink : nullptr, &library);
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(RunDevice(), OS_STS_FAIL);
    for (const char* szLine : c.vecLog) EXPECT_NE(LogFrom(sizetFrom).find(szLine), std::string::npos) << szLine;
    EXPECT_EQ(library.vecReceived.size(), c.blSink ? 1u : 0u);
    m_pdevimpl->SetTaskSink(c.edevlibrary, Library::Sink,
                            c.edevlibrary == DEV_LIBRARY_DEVICE ? &m_libraryDevice : &m_libraryNexil);
  }
  EXPECT_EQ(m_libraryNexil.vecReceived.size(), 0u);
  EXPECT_EQ(RunDevice(), OS_STS_SUCCESS);
}

TEST_F(DbDevTasksTest, WithoutUserDataBothFail) {
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(CDevImpl::ScannerEntryCallbackFriend(nullptr), OS_STS_FAIL);
  EXPECT_EQ(CDevImpl::NexEntryCallbackFriend(nullptr), OS_STS_FAIL);
  EXPECT_NE(LogFrom(sizetFrom).find("a_pvUser is null..."), std::string::npos);
  EXPECT_EQ(m_pdatabase->MakeXmlAll(CDevImpl::NexEntryCallbackFriend, CDevImpl::ScannerEntryCallbackFriend, nullptr),
            OS_STS_FAIL);
  EXPECT_NE(LogFrom(sizetFrom).find("setconfig for Device DLL failed..."), std::string::npos);
}

// With the image library switched off its entry answers success at once;
// the device library gets every task.
TEST_F(DbDevTasksTest, ImageLibrarySwitchedOff) {
  Configure(OS_CFGTAG_FORCENEXILOFF, "1");
  EXPECT_EQ(CDevImpl::NexEntryCallbackFriend(nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(RunDevice(), OS_STS_SUCCESS);
  EXPECT_TRUE(m_libraryNexil.vecReceived.empty());
  EXPECT_EQ(m_libraryDevice.vecReceived.size(), 6u);
  // Bad library numbers are refused.
  const size_t sizetFrom = LogSize();
  m_pdevimpl->SetTaskSink(DEV_LIBRARY_COUNT, Library::Sink, &m_libraryNexil);
  EXPECT_NE(LogFrom(sizetFrom).find("Unrecognized library...2"), std::string::npos);
}

}  // namespace
