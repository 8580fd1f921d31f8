// Loading the units' libraries: each from its model directory in the staged
// layout, the "wia" name as the second choice, a flatbed someone else loaded
// left alone, broken and missing libraries refused, and an unload that
// closes the unit before it frees the library.
#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

#include "dev_device_fixture.h"

namespace {

using devtest::FlatbedDirectory;
using devtest::StagedLibrary;

class DevDeviceLoad : public devtest::DeviceFixture {
 protected:
  // A model directory of the test's own below a system directory of its own.
  std::string Scratch(const std::string& a_strLibrary, const std::string& a_strSource) {
    const std::string strSystem = testsupport::RootPath("system");
    std::filesystem::create_directories(strSystem + "/scratch/lib");
    if (!a_strSource.empty()) std::filesystem::copy_file(a_strSource, strSystem + "/scratch/lib/" + a_strLibrary);
    SetConfigured(OS_CFGTAG_SYSTEMDIRECTORY, strSystem);
    SetConfigured(OS_CFGTAG_MODELDIRECTORY, "scratch");
    return strSystem + "/scratch/lib/";
  }
};

// Whether the process holds the library, without loading it.
bool IsLoaded(const std::string& a_strPath) {
  void* pv = dlopen(a_strPath.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (pv) dlclose(pv);
  return pv != nullptr;
}

TEST_F(DevDeviceLoad, EachUnitFromItsModelDirectory) {
  const std::string strAdf = StagedLibrary(SCANDRV_STAGE_MODEL);
  const std::string strFlatbed = StagedLibrary(FlatbedDirectory());
  ASSERT_FALSE(IsLoaded(strAdf));
  EXPECT_EQ(m_pdevdevice->GetFirmware(), 0);
  ASSERT_EQ(m_pdevdevice->Load(DB_FIRMWARE_ADF, false), DEV_STS_SUCCESS) << m_plog->Text();
  EXPECT_TRUE(IsLoaded(strAdf));
  EXPECT_FALSE(IsLoaded(strFlatbed));
  EXPECT_EQ(m_pdevdevice->GetFirmware(), DB_FIRMWARE_ADF);
  SetFlatbedDirectory();
  ASSERT_EQ(m_pdevdevice->Load(DB_FIRMWARE_FLATBED, true), DEV_STS_SUCCESS) << m_plog->Text();
  EXPECT_TRUE(IsLoaded(strFlatbed));
  EXPECT_EQ(m_pdevdevice->GetFirmware(), DB_FIRMWARE_BOTH);
  // Loaded already by this adapter: nothing more.
  EXPECT_EQ(m_pdevdevice->Load(DB_FIRMWARE_ADF, false), DEV_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("The library is already in use..."));
  // Each copy answers as its own unit.
  EXPECT_EQ(Send(DB_FIRMWARE_FLATBED, "interfaceopen", Simulate()), DEV_STS_SUCCESS);
  EXPECT_EQ(Send(DB_FIRMWARE_ADF, "interfaceopen", Simulate()), DEV_STS_SUCCESS);
  EXPECT_EQ(Brief(), (std::vector<std::string>{"flatbed interfaceopen success", "adf interfaceopen success"}));
}

TEST_F(DevDeviceLoad, UnloadClosesTheUnitAndLoadOpensItAfresh) {
  Open(DB_FIRMWARE_ADF);
  ASSERT_EQ(Send(DB_FIRMWARE_ADF, "sessionend"), DEV_STS_SUCCESS);
  const size_t sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevdevice->Unload(DB_FIRMWARE_ADF, nullptr), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->GetFirmware(), 0);
  EXPECT_EQ(Brief(sizetTasks), (std::vector<std::string>{"adf interfaceclose success"}));
  EXPECT_TRUE(m_plog->Contains("SharedLibrary: free"));
  // Nothing reaches a unit that is not loaded.
  EXPECT_EQ(m_pdevdevice->GetConfig(DB_FIRMWARE_ADF, DB_ID_FEEDERLOADED), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Xml task is empty"));
  EXPECT_EQ(Tasks().size(), sizetTasks + 1);
  // Loaded again, the unit starts from its first state: a session needs an
  // interface first.
  // (The database keeps the inquiry of the first open: the reply to the
  // second is not the point here, the unit's answer is.)
  ASSERT_EQ(m_pdevdevice->Load(DB_FIRMWARE_ADF, false), DEV_STS_SUCCESS);
  EXPECT_EQ(Send(DB_FIRMWARE_ADF, "sessionbegin"), DEV_STS_FAIL);
  Send(DB_FIRMWARE_ADF, "interfaceopen", Simulate());
  EXPECT_EQ(Send(DB_FIRMWARE_ADF, "sessionbegin"), DEV_STS_SUCCESS);
  EXPECT_EQ(Send(DB_FIRMWARE_ADF, "sessionend"), DEV_STS_SUCCESS);
  EXPECT_EQ(Brief(sizetTasks + 1),
            (std::vector<std::string>{"adf sessionbegin invalidstate", "adf interfaceopen success",
                                      "adf sessionbegin success", "adf sessionend success"}));
}

// The engine must not open a flatbed another session of this process holds.
TEST_F(DevDeviceLoad, AFlatbedAlreadyInTheProcessIsLeftAlone) {
  const std::string strFlatbed = StagedLibrary(FlatbedDirectory());
  void* pvOther = dlopen(strFlatbed.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(pvOther, nullptr) << dlerror();
  SetFlatbedDirectory();
  EXPECT_EQ(m_pdevdevice->Load(DB_FIRMWARE_FLATBED, true), DEV_STS_BUSY);
  EXPECT_EQ(m_pdevdevice->GetFirmware(), 0);
  EXPECT_TRUE(m_plog->Contains("Flatbed library has already been loaded into this process...<" +
                               strFlatbed.substr(0, strFlatbed.size() - 3) + ">"));
  // Without the check it is taken.
  EXPECT_EQ(m_pdevdevice->Load(DB_FIRMWARE_FLATBED, false), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->GetFirmware(), DB_FIRMWARE_FLATBED);
  m_pdevdevice->Unload(DB_FIRMWARE_FLATBED, nullptr);
  dlclose(pvOther);
}

TEST_F(DevDeviceLoad, RefusesWhatItCannotLoad) {
  // Neither the name nor its "wia" form.
  const std::string strLib = Scratch("", "");
  EXPECT_EQ(m_pdevdevice->Load(DB_FIRMWARE_ADF, false), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("LoadLibrary <" + strLib + "device>, could not find or load DLL file..."));
  EXPECT_TRUE(m_plog->Contains("WIA LoadLibrary <" + strLib + "devicewia>, could not find or load DLL file..."));
  // A library without the entry is given back.
  std::filesystem::copy_file(SCANDRV_PELUM_NOENTRY_PATH, strLib + "device.so");
  EXPECT_EQ(m_pdevdevice->Load(DB_FIRMWARE_ADF, false), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Unabled to load the scannerentry for the <" + strLib + "device> library"));
  EXPECT_FALSE(IsLoaded(strLib + "device.so"));
  // Units that do not exist, a model without a flatbed.
  EXPECT_EQ(m_pdevdevice->Load(static_cast<EDBID_FIRMWARE>(0), false), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Unrecognize a_edbidfirmware 0..."));
  EXPECT_EQ(m_pdevdevice->Load(static_cast<EDBID_FIRMWARE>(4), false), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Unrecognize a_edbidfirmware 4..."));
  SetFlatbedDirectory("");
  EXPECT_EQ(m_pdevdevice->Load(DB_FIRMWARE_FLATBED, true), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("No firmware flatbed to load"));
  // A library name that makes the path longer than 512 characters.
  ASSERT_EQ(m_pdatabase->ForceCurrentStringFromId(DB_ID_DEVICEDLL, std::string(250, 'd').c_str()), DB_STS_SUCCESS);
  SetConfigured(OS_CFGTAG_SYSTEMDIRECTORY, testsupport::RootPath(std::string(255, 's')));
  EXPECT_EQ(m_pdevdevice->Load(DB_FIRMWARE_ADF, false), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("The library path does not fit 511 characters...<ddd"));
  EXPECT_EQ(m_pdevdevice->GetFirmware(), 0);
  EXPECT_TRUE(Tasks().empty());
}

// The strace of a load in a child process of this very test: the name, then
// its "wia" form, which loads.
TEST_F(DevDeviceLoad, TheWiaNameIsTheSecondChoice) {
  if (const char* szSystem = std::getenv("DEVDEVICE_TRACED_SYSTEM")) {
    SetConfigured(OS_CFGTAG_SYSTEMDIRECTORY, szSystem);
    SetConfigured(OS_CFGTAG_MODELDIRECTORY, "scratch");
    EXPECT_EQ(m_pdevdevice->Load(DB_FIRMWARE_ADF, false), DEV_STS_SUCCESS) << m_plog->Text();
    EXPECT_EQ(m_pdevdevice->GetFirmware(), DB_FIRMWARE_ADF);
    return;
  }
  const std::string strLib = Scratch("devicewia.so", StagedLibrary(SCANDRV_STAGE_MODEL));
  char szSelf[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", szSelf, sizeof szSelf - 1), 0);
  // (The leak checker of a sanitized build cannot run under ptrace.)
  const char* szAsanOptions = std::getenv("ASAN_OPTIONS");
  const std::string strAsanOptions =
      std::string("ASAN_OPTIONS=") + (szAsanOptions ? szAsanOptions : "") + ":detect_leaks=0";
  const std::string strTrace = testsupport::RootPath("trace.txt");
  int iStatus = -1;
  testsupport::RunProgram({"env", "DEVDEVICE_TRACED_SYSTEM=" + testsupport::RootPath("system"), strAsanOptions,
                           "strace", "-f", "-e", "trace=openat", "-o", strTrace, szSelf,
                           "--gtest_filter=DevDeviceLoad.TheWiaNameIsTheSecondChoice"},
                          &iStatus);
  EXPECT_EQ(iStatus, 0);
  const std::vector<std::string> vecstrLine = testsupport::Lines(testsupport::ReadFile(strTrace));
  auto fnFind = [&](const std::string& a_strPath) {
    for (size_t i = 0; i < vecstrLine.size(); ++i) {
      if (vecstrLine[i].find("\"" + a_strPath + "\"") != std::string::npos) return i;
    }
    return vecstrLine.size();
  };
  const size_t sizetName = fnFind(strLib + "device.so");
  const size_t sizetWia = fnFind(strLib + "devicewia.so");
  ASSERT_LT(sizetName, vecstrLine.size());
  ASSERT_LT(sizetWia, vecstrLine.size());
  EXPECT_LT(sizetName, sizetWia);
  EXPECT_NE(vecstrLine[sizetName].find("ENOENT"), std::string::npos) << vecstrLine[sizetName];
  EXPECT_EQ(vecstrLine[sizetWia].find("= -1"), std::string::npos) << vecstrLine[sizetWia];
}

}  // namespace
