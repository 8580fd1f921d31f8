// The camera rules in the library itself (their behaviour against the model
// is the rules harness's, tests/tools/rulesmodel): the catalogue makes the
// six classes, a camera rule run in a bin that is no camera or given a job
// outside its list changes nothing and says so, and each scanner unit is
// sent a paper source of its own.
#include "db_ccameras.h"

#include <string>

#include "db_cdatabase.h"
#include "db_rules_fixture.h"
#include "os_cosxmltask.h"

namespace {

constexpr EDBBIN s_aedbbinCameras[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};

class DbCameraRulesTest : public dbtest::DbRulesFixture {
 protected:
  // The window-0 cameras, one digit each.
  std::string CameraValues() {
    std::string str;
    for (EDBBIN edbbin : s_aedbbinCameras) str += std::to_string(Value(0, DB_ID_CAMERAENABLE, edbbin));
    return str;
  }
};

}  // namespace

TEST_F(DbCameraRulesTest, TheCatalogueMakesTheSixClasses) {
  for (EDBBIN edbbin : s_aedbbinCameras)
    EXPECT_NE(dynamic_cast<CCAMERAENABLE*>(At(0, DB_ID_CAMERAENABLE, edbbin)), nullptr);
  EXPECT_EQ(dynamic_cast<CDbEnum*>(At(1, DB_ID_CAMERAENABLE, DB_BIN_BITONAL_FRONT)), nullptr);
  EXPECT_NE(dynamic_cast<CINPUTDOCUMENT*>(At(0, DB_ID_INPUTDOCUMENT, DB_BIN_MACHINE)), nullptr);
  EXPECT_NE(dynamic_cast<CPAPERSOURCE*>(At(0, DB_ID_PAPERSOURCE, DB_BIN_MACHINE)), nullptr);
  EXPECT_NE(dynamic_cast<CIMAGEMERGE*>(At(0, DB_ID_IMAGEMERGE, DB_BIN_MACHINE)), nullptr);
  EXPECT_NE(dynamic_cast<CSIDESDIFFERENT*>(At(0, DB_ID_SIDESDIFFERENT, DB_BIN_MACHINE)), nullptr);
  EXPECT_NE(dynamic_cast<CIMAGESDIFFERENT*>(At(0, DB_ID_IMAGESDIFFERENT, DB_BIN_MACHINE)), nullptr);
}

// The search copy (bin 0) is no camera: asked to follow a flatbed source it
// logs the bin and switches nothing.
TEST_F(DbCameraRulesTest, ACameraRuleInABinThatIsNoCameraChangesNothing) {
  auto* pccameraenable = dynamic_cast<CCAMERAENABLE*>(CDbDatum::ms_pdatumcommon->apdbdatum[0][DB_ID_CAMERAENABLE][0]);
  ASSERT_NE(pccameraenable, nullptr);
  const std::string strBefore = CameraValues();
  CDbDatum* pdbdatumSource = At(0, DB_ID_PAPERSOURCE, DB_BIN_MACHINE);
  pdbdatumSource->SetModified();
  EXPECT_EQ(pccameraenable->FixCurrent(), OS_STS_SUCCESS);
  CDbDatum::ClearModified();
  EXPECT_TRUE(m_plog->Contains("Unrecognized bin...0")) << m_plog->Text();
  EXPECT_EQ(CameraValues(), strBefore);
}

// A job outside 1..3 written past validation (a damaged profile) is logged
// once, by the camera that decides for the pass, and switches nothing.
TEST_F(DbCameraRulesTest, AJobOutsideTheListSwitchesNoCamera) {
  const std::string strBefore = CameraValues();
  CDbDatum* pdbdatumJob = At(0, DB_ID_INPUTDOCUMENT, DB_BIN_MACHINE);
  pdbdatumJob->SetCurrentLong(7);
  m_pdatabase->FixCurrentAll(pdbdatumJob);
  EXPECT_EQ(CameraValues(), strBefore);
  const std::string strLog = m_plog->Text();
  const size_t sizetFirst = strLog.find("Unrecognized value...7");
  ASSERT_NE(sizetFirst, std::string::npos) << strLog;
  EXPECT_EQ(strLog.find("Unrecognized value...7", sizetFirst + 1), std::string::npos);
}

// With a flatbed unit, the feeder is sent its own part of a combined source,
// for the flatbed the first elevator the list holds (else the adf), and the
// flatbed always the flatbed; without one the source goes out as it is.
TEST_F(DbCameraRulesTest, EachUnitIsSentASourceOfItsOwn) {
  auto* pcpapersource = dynamic_cast<CPAPERSOURCE*>(At(0, DB_ID_PAPERSOURCE, DB_BIN_MACHINE));
  ASSERT_NE(pcpapersource, nullptr);
  COsXmlTask* posxmltask = m_pdatabase->GetDbMakeXml();
  ASSERT_NE(posxmltask, nullptr);
  auto sent = [&](long a_lValue, int a_iUnit) {
    m_pdatabase->SetUnitOverride(a_iUnit);
    posxmltask->Clear();
    posxmltask->StartTask(0, 0, nullptr);
    posxmltask->StartCommand("setconfig", 1);
    pcpapersource->MakeXml(a_lValue, DB_DEVICEDATA_BOTH);
    posxmltask->FinalizeCommand("setconfig");
    posxmltask->FinalizeTask();
    m_pdatabase->SetUnitOverride(0);
    const std::string strTask = posxmltask->GetTaskBuffer();
    const size_t sizetOpen = strTask.find("<papersource>");
    const size_t sizetClose = strTask.find("</papersource>");
    if (sizetOpen == std::string::npos || sizetClose == std::string::npos) return std::string("(none)");
    return strTask.substr(sizetOpen + 13, sizetClose - sizetOpen - 13);
  };
  EXPECT_EQ(sent(DB_ID_PAPERSOURCE_ENUM_ADFFLATBED, 0), "adfflatbed");
  m_pdatabase->ConfigSetString("modeldirectoryflatbed", "mapleBflatbed", DB_CONFIGTARGET_COMMON);
  for (long lSource : {DB_ID_PAPERSOURCE_ENUM_ELEVATOR500, DB_ID_PAPERSOURCE_ENUM_ELEVATOR100})
    pcpapersource->AddCurrentItem(lSource);
  const struct {
    long lValue;
    int iUnit;
    const char* szSent;
  } acase[] = {
      {DB_ID_PAPERSOURCE_ENUM_ADFFLATBED, DB_FIRMWARE_ADF, "adf"},
      {DB_ID_PAPERSOURCE_ENUM_ADFFLATBED, DB_FIRMWARE_FLATBED, "flatbed"},
      {DB_ID_PAPERSOURCE_ENUM_ELEVATOR100FLATBED, DB_FIRMWARE_ADF, "elevator100"},
      {DB_ID_PAPERSOURCE_ENUM_ELEVATOR250FLATBED, DB_FIRMWARE_ADF, "elevator250"},
      {DB_ID_PAPERSOURCE_ENUM_ELEVATOR500FLATBED, DB_FIRMWARE_ADF, "elevator500"},
      {DB_ID_PAPERSOURCE_ENUM_ELEVATOR750FLATBED, DB_FIRMWARE_ADF, "elevator750"},
      {DB_ID_PAPERSOURCE_ENUM_ELEVATOR750FLATBED, DB_FIRMWARE_FLATBED, "flatbed"},
      // 7 is not listed: 4 comes first of 7, 4, 5, 6.
      {DB_ID_PAPERSOURCE_ENUM_FLATBED, DB_FIRMWARE_ADF, "elevator500"},
      {DB_ID_PAPERSOURCE_ENUM_ELEVATOR250, DB_FIRMWARE_ADF, "elevator250"},
      {DB_ID_PAPERSOURCE_ENUM_ADF, DB_FIRMWARE_FLATBED, "flatbed"},
  };
  for (const auto& onecase : acase) {
    EXPECT_EQ(sent(onecase.lValue, onecase.iUnit), onecase.szSent) << onecase.lValue << " unit " << onecase.iUnit;
  }
  pcpapersource->DeleteCurrentItem(DB_ID_PAPERSOURCE_ENUM_ELEVATOR500);
  pcpapersource->DeleteCurrentItem(DB_ID_PAPERSOURCE_ENUM_ELEVATOR100);
  EXPECT_EQ(sent(DB_ID_PAPERSOURCE_ENUM_FLATBED, DB_FIRMWARE_ADF), "adf");
}
