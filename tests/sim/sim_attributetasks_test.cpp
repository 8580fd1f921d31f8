// The database's attribute tasks, sent through the device implementation's
// entry points to the simulated scanner and the image-library stand-in of a
// feeder unit in setup: both take every task of a setup, and the window
// order names only windows they were given.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "../db/db_makexml_fixture.h"
#include "dev_cdevimpl.h"
#include "os_cosstring.h"
#include "sim_task_testutil.h"

namespace {

using simtest::Element;
using simtest::Task;

typedef const char* (*PfnEntry)(const char*);

// One library of the feeder unit, opened and in setup.
struct UnitLibrary {
  void* pvLibrary = nullptr;
  PfnEntry pfnEntry = nullptr;
  int iId = 0;

  bool Open(const char* a_szPath, const char* a_szEntry, const std::string& a_strOpen) {
    pvLibrary = dlopen(a_szPath, RTLD_NOW | RTLD_LOCAL);
    if (!pvLibrary) return false;
    pfnEntry = reinterpret_cast<PfnEntry>(dlsym(pvLibrary, a_szEntry));
    return pfnEntry && Send("interfaceopen", a_strOpen) == "success" && Send("sessionbegin") == "success" &&
           Send("setupbegin") == "success";
  }
  void Close() {
    if (!pfnEntry) return;
    Send("sessionend");
    Send("interfaceclose");
    dlclose(pvLibrary);
  }
  std::string Send(const std::string& a_strCommand, const std::string& a_strBody = "") {
    return Element(pfnEntry(Task(++iId, a_strCommand, a_strBody).c_str()), "status");
  }
  // The task of the database as the library's entry takes it.
  static const char* Sink(void* a_pvLibrary, EDBID_FIRMWARE a_edbidfirmware, const char* a_szTask) {
    auto* plibrary = static_cast<UnitLibrary*>(a_pvLibrary);
    return a_edbidfirmware == DB_FIRMWARE_ADF ? plibrary->pfnEntry(a_szTask) : nullptr;
  }
};

// A setup of the table below, by name.
struct Setup {
  const char* szName;
  int iSetup;
};
void PrintTo(const Setup& a_setup, std::ostream* a_pos) { *a_pos << a_setup.szName; }

class DbSimAttributeTasksTest : public dbtest::DbMakeXmlFixture, public ::testing::WithParamInterface<Setup> {
 protected:
  void SetUp() override {
    DbMakeXmlFixture::SetUp();
    m_strOutputs = testsupport::RootPath("outputs");
    std::filesystem::create_directory(m_strOutputs);
    setenv("NEXSIM_IMAGEDIRECTORY", m_strOutputs.c_str(), 1);
    const std::string strSimulate =
        "\t\t<simulate><simflag><id>imagedirectory</id><value>" + m_strOutputs + "</value></simflag></simulate>\n";
    ASSERT_TRUE(m_libraryScanner.Open(SIMSCAN_ADF_LIBRARY, "ScannerEntry", strSimulate)) << dlerror();
    ASSERT_TRUE(m_libraryNexil.Open(NEXSIM_ADF_LIBRARY, "NexEntry", "")) << dlerror();
    m_pdevimpl = std::make_unique<CDevImpl>(m_pdatabase.get(), nullptr, nullptr, nullptr);
    m_pdevimpl->SetTaskSink(DEV_LIBRARY_DEVICE, UnitLibrary::Sink, &m_libraryScanner);
    m_pdevimpl->SetTaskSink(DEV_LIBRARY_NEXIL, UnitLibrary::Sink, &m_libraryNexil);
  }
  void TearDown() override {
    m_pdevimpl.reset();
    m_libraryScanner.Close();
    m_libraryNexil.Close();
    DbMakeXmlFixture::TearDown();
  }

  std::string m_strOutputs;
  UnitLibrary m_libraryScanner;
  UnitLibrary m_libraryNexil;
  std::unique_ptr<CDevImpl> m_pdevimpl;
};

TEST_P(DbSimAttributeTasksTest, BothLibrariesTakeTheSetup) {
  switch (GetParam().iSetup) {
    case 0:  // the default database: bitonal on both sides
      break;
    case 1:  // colour front, with a bitonal stream for automatic colour
      Cameras(false, false, true, false);
      Support(DB_ID_AUTOCOLORCONTENT, DB_BIN_BITONAL_FRONT, DB_ID_AUTOCOLORCONTENT_ENUM_MEDIUM, {1, 2, 3, 4});
      break;
    case 2:  // a custom dropout learnt without one: forced streams
      Cameras(false, false, true, true);
      m_pdatabase->SetDbState(DB_STATE_ECDOCUSTOMLEARN);
      COsString::SStrCpy(m_pdatabase->GetEcdoCustomSettings()->szName, 512, "(none)");
      break;
    case 3:  // a second window in colour
      Set(1, DB_ID_CAMERAENABLE, DB_BIN_COLOR_FRONT, DB_ID_CAMERAENABLE_ENUM_TRUE);
      break;
  }
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(
      m_pdatabase->MakeXmlAll(CDevImpl::NexEntryCallbackFriend, CDevImpl::ScannerEntryCallbackFriend, m_pdevimpl.get()),
      OS_STS_SUCCESS)
      << LogFrom(sizetFrom);
  EXPECT_EQ(m_libraryScanner.Send("setupend", simtest::Leaf("cancel", "false")), "success");
  EXPECT_EQ(m_libraryNexil.Send("setupend"), "success");
  EXPECT_EQ(LogFrom(sizetFrom).find("refused"), std::string::npos) << LogFrom(sizetFrom);
}

INSTANTIATE_TEST_SUITE_P(DbSimSetups, DbSimAttributeTasksTest,
                         ::testing::Values(Setup{"BitonalDuplex", 0}, Setup{"AutomaticColour", 1},
                                           Setup{"CustomDropoutWithoutOne", 2}, Setup{"SecondWindow", 3}),
                         [](const ::testing::TestParamInfo<Setup>& a_info) {
                           return std::string(a_info.param.szName);
                         });

}  // namespace
