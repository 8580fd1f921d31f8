// The reset command on the database an opened simulated scanner leaves: one
// capability with its companion and, while the sides are kept alike, its
// other side; access; the regions; the override record; every value and
// the profile (through the profile list, with the database state clear
// after); bad ids. Every reply passes xmllint, and the
// application's state bit is clear after each.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "db_cdblock.h"
#include "db_cdbdatum.h"
#include "drv_set_fixture.h"

using drvtest::Reply;
using drvtest::Task;

namespace {

class DrvResetTest : public drvtest::DrvSetFixture {
 protected:
  Reply Reset(const std::string& a_strBody) {
    const Reply reply = Run(Task("<reset>" + a_strBody + "</reset>"));
    ExpectSound(reply);
    EXPECT_EQ(m_pdatabase->TestDbState(DB_STATE_APPLICATION), 0);
    EXPECT_EQ(m_pdatabase->TestDbState(DB_STATE_DEVICEUPDATE), 0);
    EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);
    return reply;
  }
  Reply ResetId(const std::string& a_strId) { return Reset("<id>" + a_strId + "</id>"); }
  // A value away from its default, written straight into the datum.
  void Move(CDbDatum* a_pdbdatum, long a_lValue) {
    ASSERT_NE(a_pdbdatum, nullptr);
    if (m_pdatabase->GetContainerType(a_pdbdatum) == DB_CONTAINERTYPE_STRING) {
      a_pdbdatum->ForceCurrentString("/tmp/moved.wav");
      return;
    }
    a_pdbdatum->ForceCurrentLong(a_lValue);
  }
  bool AtDefault(CDbDatum* a_pdbdatum) {
    if (m_pdatabase->GetContainerType(a_pdbdatum) == DB_CONTAINERTYPE_STRING)
      return std::string(a_pdbdatum->GetCurrentStringNoCallback()) == m_pdatabase->GetDefaultString(a_pdbdatum);
    return a_pdbdatum->GetCurrentLongNoCallback() == m_pdatabase->GetDefaultLong(a_pdbdatum);
  }
  static bool Has(const std::vector<std::string>& a_vec, const std::string& a_str) {
    return std::find(a_vec.begin(), a_vec.end(), a_str) != a_vec.end();
  }
};

// ---------------------------------------------------------------------------
// One capability
// ---------------------------------------------------------------------------
// A switch and the value it enables go back together; the reply reports
// both. The companion alone has no companion.
TEST_F(DrvResetTest, ASwitchResetsTheValueItEnables) {
  const struct {
    EDBID edbid;
    long lValue;
    EDBID edbidCompanion;
    long lCompanion;
    long lOffering;  // the switch's value under which the rules offer the companion
  } acase[] = {
      {DB_ID_MULTIFEEDSOUNDENABLED, DB_ID_MULTIFEEDSOUNDENABLED_ENUM_FALSE, DB_ID_MULTIFEEDSOUND, 0,
       DB_ID_MULTIFEEDSOUNDENABLED_ENUM_TRUE},
      {DB_ID_ADFTIMEOUTENABLED, DB_ID_ADFTIMEOUTENABLED_ENUM_FALSE, DB_ID_TRANSPORTTIMEOUT, 30,
       DB_ID_ADFTIMEOUTENABLED_ENUM_TRUE},
      {DB_ID_MULTIFEEDLENGTHENABLED, DB_ID_MULTIFEEDLENGTHENABLED_ENUM_TRUE, DB_ID_PAGESIZELIMIT, 6000,
       DB_ID_MULTIFEEDLENGTHENABLED_ENUM_TRUE},
  };
  // The sound's switch is offered while multifeed detection is on.
  ASSERT_EQ(SetValue("multifeedlengthenabled", "true").strStatus, "success");
  for (const auto& c : acase) {
    const std::string strId = m_pdatabase->LookupEdbid(c.edbid)->szLexicon;
    const std::string strCompanion = m_pdatabase->LookupEdbid(c.edbidCompanion)->szLexicon;
    SCOPED_TRACE(strId);
    CDbDatum* pdbdatum = Machine(c.edbid);
    CDbDatum* pdbdatumCompanion = Machine(c.edbidCompanion);
    Move(pdbdatum, c.lValue);
    Move(pdbdatumCompanion, c.lCompanion);
    ASSERT_FALSE(AtDefault(pdbdatum));
    ASSERT_FALSE(AtDefault(pdbdatumCompanion));
    const Reply reply = ResetId(strId);
    EXPECT_EQ(reply.strStatus, "success");
    EXPECT_TRUE(AtDefault(pdbdatum));
    EXPECT_TRUE(AtDefault(pdbdatumCompanion));
    const std::vector<std::string> vecIds = ReportedIds(reply.strText);
    ASSERT_FALSE(vecIds.empty());
    EXPECT_EQ(vecIds[0], "imageformat");
    EXPECT_TRUE(Has(vecIds, strId));
    EXPECT_TRUE(Has(vecIds, strCompanion));
    // The companion on its own, its switch set (with the rules) where they
    // offer the companion; the switch stays.
    ASSERT_EQ(m_pdatabase->SetCurrentLong(pdbdatum, c.lOffering, false), DB_STS_SUCCESS);
    Move(pdbdatumCompanion, c.lCompanion);
    ASSERT_FALSE(AtDefault(pdbdatumCompanion));
    EXPECT_EQ(ResetId(strCompanion).strStatus, "success");
    EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), c.lOffering);
    EXPECT_TRUE(AtDefault(pdbdatumCompanion));
  }
}

// While the sides are kept alike the other side goes back too, as a get
// with that side's window current shows; while they differ it keeps its
// value.
TEST_F(DrvResetTest, SidesKeptAlikeResetTheOtherSideToo) {
  CDbDatum* pdbdatumFront = m_pdatabase->FindDirect(DB_BIN_BITONAL_FRONT, DB_ID_CONTRAST);
  CDbDatum* pdbdatumRear = m_pdatabase->FindDirect(DB_BIN_BITONAL_REAR, DB_ID_CONTRAST);
  const std::string strDefault = std::to_string(m_pdatabase->GetDefaultLong(pdbdatumFront));
  for (const bool blSidesDifferent : {false, true}) {
    SCOPED_TRACE(blSidesDifferent);
    ASSERT_EQ(SetValue("sidesdifferent", blSidesDifferent ? "true" : "false").strStatus, "success");
    SelectBin(DB_BIN_BITONAL_FRONT);
    Move(pdbdatumFront, 40);
    Move(pdbdatumRear, 40);
    const Reply reply = ResetId("contrast");
    EXPECT_EQ(reply.strStatus, "success");
    EXPECT_EQ(Current("contrast"), strDefault);
    SelectBin(DB_BIN_BITONAL_REAR);
    EXPECT_EQ(Current("contrast"), blSidesDifferent ? "40" : strDefault);
    // The image format and the reset datums, each with its pair of reports.
    std::vector<std::string> vecTags(4, "frontbitonal_00");
    if (!blSidesDifferent) vecTags.insert(vecTags.end(), 2, "rearbitonal_00");
    EXPECT_EQ(All(reply.strText, "windowtag"), vecTags);
  }
}

// The answer follows the capability's access; only the writable ones
// change.
TEST_F(DrvResetTest, AccessDecidesTheAnswer) {
  CDbDatum* pdbdatum = Machine(DB_ID_TRANSPORTTIMEOUT);
  const struct {
    EDBACCESS edbaccess;
    const char* szStatus;
  } acase[] = {
      {DB_ACCESS_NOTSUPPORTED, "fail"},      {DB_ACCESS_DISABLED, "notavailable"},
      {DB_ACCESS_HIDDEN, "readonly"},        {DB_ACCESS_READONLY, "readonly"},
      {DB_ACCESS_READONLYHIDDEN, "readonly"}, {DB_ACCESS_READWRITE, "success"},
      {DB_ACCESS_READWRITEDISABLED, "success"}, {DB_ACCESS_READWRITEHIDDEN, "success"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.edbaccess);
    m_pdatabase->SetAccess(pdbdatum, c.edbaccess);
    Move(pdbdatum, 30);
    const std::vector<std::string> vecBefore = Values();
    const Reply reply = ResetId("adftimeout");
    EXPECT_EQ(reply.strStatus, c.szStatus);
    if (reply.strStatus == "success") {
      EXPECT_TRUE(AtDefault(pdbdatum));
    } else {
      EXPECT_EQ(Reports(reply.strText), std::vector<std::string>{});
      EXPECT_EQ(Values(), vecBefore);
    }
  }
}

// A capability's reset runs its callbacks under the database lock.
TEST_F(DrvResetTest, ResetsRunUnderTheDatabaseLock) {
  struct Probe {
    int iDepth = -1;
    static EOSSTS Record(void* a_pvRecord) {
      auto* pdbcallbackrecord = static_cast<DbCallbackRecord*>(a_pvRecord);
      static_cast<Probe*>(pdbcallbackrecord->pvUser)->iDepth = CDbLock::Depth();
      return OS_STS_SUCCESS;
    }
  } probe;
  ASSERT_EQ(m_pdatabase->RegisterCallback(DB_CALLBACK_SETLONG, DB_ID_TRANSPORTTIMEOUT, DB_BIN_MACHINE,
                                          &Probe::Record, &probe),
            OS_STS_SUCCESS);
  Move(Machine(DB_ID_TRANSPORTTIMEOUT), 30);
  EXPECT_EQ(ResetId("adftimeout").strStatus, "success");
  EXPECT_GE(probe.iDepth, 1);
}

// ---------------------------------------------------------------------------
// Regions, the override record, the profile list
// ---------------------------------------------------------------------------
TEST_F(DrvResetTest, TheCroppingRegionGoesBackAndIsReported) {
  const EDBID aedbid[] = {DB_ID_FRAMEXOFFSET, DB_ID_FRAMEYOFFSET, DB_ID_FRAMEWIDTH, DB_ID_FRAMEHEIGHT};
  for (EDBID edbid : aedbid) Move(m_pdatabase->Find(edbid), 1200);
  const Reply reply = ResetId("imagecroppingregion");
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Reports(reply.strText), (std::vector<std::string>{"reportregion", "reportregiondefault"}));
  EXPECT_EQ(All(reply.strText, "id")[0], "imagecroppingregion");
  for (EDBID edbid : aedbid) EXPECT_TRUE(AtDefault(m_pdatabase->Find(edbid))) << edbid;
  // The scanner reads no barcodes: a region it lacks changes nothing.
  const std::vector<std::string> vecBefore = Values();
  EXPECT_EQ(ResetId("barcodesearchregion").strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("hdbdatum is NULL for EDBID 21"));
  EXPECT_EQ(Values(), vecBefore);
}

TEST_F(DrvResetTest, CustomOverrideClearsTheRecord) {
  *m_pdatabase->GetOverride() = {3, 5, 7};
  const Reply reply = ResetId("customoverride");
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Reports(reply.strText), std::vector<std::string>{});
  const DbOverride* pdboverride = m_pdatabase->GetOverride();
  EXPECT_EQ(pdboverride->u32DocumentType, 0u);
  EXPECT_EQ(pdboverride->u32Ecdo, 0u);
  EXPECT_EQ(pdboverride->u32EcdoCustom, 0u);
}

// The installed profiles are not restored over a modified profile
// ("notavailable"), and are once it has been reset; the database state of
// the device's values is clear afterwards, and the override record stays
// (it goes only with a reset that succeeded).
TEST_F(DrvResetTest, EverythingAndTheProfileGoThroughTheProfileList) {
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_BITONAL_FRONT, DB_ID_CONTRAST);
  ASSERT_EQ(SetValue("contrast", "12").strStatus, "success");
  const std::vector<std::string> vecMoved = Values();
  for (const std::string& strBody : {std::string("<id>profilelist</id><sharedsettings>TRUE</sharedsettings>"),
                                     std::string("<id>profilelist</id><sharedsettings>true</sharedsettings>")}) {
    SCOPED_TRACE(strBody);
    EXPECT_EQ(Reset(strBody).strStatus, "notavailable");
    EXPECT_TRUE(m_plog->Contains("RestoreInstalledProfiles denied, profile has been modified..."));
  }
  EXPECT_EQ(Values(), vecMoved);
  // The profile applied again, then everything back to the resource's
  // defaults (the override record too).
  EXPECT_EQ(ResetId("profile").strStatus, "success");
  EXPECT_TRUE(AtDefault(pdbdatum));
  ASSERT_EQ(SetValue("contrast", "12").strStatus, "success");
  *m_pdatabase->GetOverride() = {3, 0, 0};
  for (const std::string& strBody : {std::string(), std::string("<id></id>")}) {
    SCOPED_TRACE(strBody);
    EXPECT_EQ(Reset(strBody).strStatus, "success");
    EXPECT_TRUE(AtDefault(pdbdatum));
  }
  EXPECT_EQ(m_pdatabase->GetOverride()->u32DocumentType, 0u);
  EXPECT_EQ(Reset("<id>profilelist</id><sharedsettings>true</sharedsettings>").strStatus, "success");
  EXPECT_TRUE(AtDefault(pdbdatum));
}

// ---------------------------------------------------------------------------
// Bad ids
// ---------------------------------------------------------------------------
TEST_F(DrvResetTest, IdsThatNameNoResettableCapabilityFail) {
  const struct {
    std::string strId;
    const char* szLog;
  } acase[] = {
      {"outputimagecount", "outputimagecount cannot be reset..."},
      {"bogus", "Unrecognized lexicon ID bogus..."},
      {"Contrast", "Unrecognized lexicon ID Contrast..."},
      {"batchcountenabled", nullptr},
      {std::string(1024, 'c'), "text too long for <id>"},
  };
  const std::vector<std::string> vecBefore = Values();
  for (const auto& c : acase) {
    SCOPED_TRACE(c.strId.substr(0, 20));
    const Reply reply = ResetId(c.strId);
    EXPECT_EQ(reply.strStatus, "fail");
    if (c.szLog) {
      EXPECT_TRUE(m_plog->Contains(c.szLog));
    }
    EXPECT_EQ(Values(), vecBefore);
  }
}

}  // namespace
