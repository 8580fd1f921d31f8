// The profile list as far as the database needs it now: loading item 0 from
// the DATABASE resource, its capacity, the user's profile directory, the
// operations still to come, and the objects it makes and deletes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "../mem_lines.h"
#include "db_cdbprofileitem.h"
#include "db_cdbprofilelist.h"
#include "db_cdbprofilelistimpl.h"
#include "db_profile_fixture.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "test_support.h"

namespace {

using dbtest::DbProfileFixture;

class DbProfileListTest : public DbProfileFixture {
 protected:
  // The default database on datums of its own, as the driver file's resource.
  void UseDefaultDatabase() {
    NewDefaultDatums(dbtest::ReadExpected());
    UseResource(DefaultDatabase());
  }
};

TEST_F(DbProfileListTest, LoadMakesTheResourceItemCurrent) {
  UseDefaultDatabase();
  CDbDatum* pdbdatum = CDbDatum::DbDatumFind(0, DB_ID_THRESHOLD, DB_BIN_BITONAL_FRONT);
  ASSERT_NE(pdbdatum, nullptr);
  Notify()->Set(DB_NOTIFY_PROFILES, pdbdatum);
  CDbProfileListImpl dbprofilelistimpl(m_pdatabase.get(), 64);
  EXPECT_EQ(dbprofilelistimpl.GetCurrentProfile(), nullptr);
  ASSERT_EQ(dbprofilelistimpl.Load(false), DB_STS_SUCCESS);
  CDbProfileItem* pdbprofileitem = dbprofilelistimpl.GetDatabaseResourceProfile();
  ASSERT_NE(pdbprofileitem, nullptr);
  EXPECT_EQ(dbprofilelistimpl.GetCurrentProfile(), pdbprofileitem);
  EXPECT_STREQ(pdbprofileitem->GetName(), "Default");
  EXPECT_STREQ(pdbprofileitem->GetFilename(), "");
  // Its flags are those of the resource item, whatever the header says.
  EXPECT_TRUE(pdbprofileitem->IsProfileDatabaseResource());
  EXPECT_TRUE(pdbprofileitem->IsProfileInstalled());
  EXPECT_TRUE(pdbprofileitem->IsProfileDefault());
  EXPECT_FALSE(pdbprofileitem->IsProfileReadonly());
  EXPECT_FALSE(pdbprofileitem->IsProfileHidden());
  EXPECT_FALSE(pdbprofileitem->IsProfileUser());
  // The defaults are in the database and no profile change is pending.
  EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), 90);
  EXPECT_TRUE(Walk(DB_NOTIFY_PROFILES).empty());
  // A second load replaces the item; the header alone leaves the values.
  pdbdatum->SetCurrentLong(20);
  ASSERT_EQ(dbprofilelistimpl.Load(true), DB_STS_SUCCESS);
  EXPECT_NE(dbprofilelistimpl.GetDatabaseResourceProfile(), nullptr);
  EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), 20);
  // The public list loads the same way.
  CDbProfileList dbprofilelist(m_pdatabase.get(), 64);
  EXPECT_EQ(dbprofilelist.Load(), DB_STS_SUCCESS);
  EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), 90);
}

TEST_F(DbProfileListTest, ALoadWithoutResourceLeavesTheListEmpty) {
  CDbProfileListImpl dbprofilelistimpl(m_pdatabase.get(), 64);
  EXPECT_EQ(dbprofilelistimpl.Load(false), DB_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("DATABASE resource not found..."));
  EXPECT_TRUE(m_plog->Contains("Load failed..."));
  EXPECT_EQ(dbprofilelistimpl.GetDatabaseResourceProfile(), nullptr);
  EXPECT_EQ(dbprofilelistimpl.GetCurrentProfile(), nullptr);
  CDbProfileList dbprofilelist(m_pdatabase.get(), 64);
  EXPECT_EQ(dbprofilelist.Load(), DB_STS_FAIL);
}

TEST_F(DbProfileListTest, ACapacityBeyondTheSlotsIsCut) {
  EXPECT_EQ(CDbProfileListImpl(m_pdatabase.get(), 64).GetMax(), 64u);
  EXPECT_EQ(CDbProfileListImpl(m_pdatabase.get(), 255).GetMax(), 255u);
  EXPECT_FALSE(m_plog->Contains("Increase the size of m_apdbprofilelist..."));
  EXPECT_EQ(CDbProfileListImpl(m_pdatabase.get(), 300).GetMax(), 256u);
  EXPECT_TRUE(m_plog->Contains("Increase the size of m_apdbprofilelist..."));
}

// PMX_PROFILESDIR names the user's profile directory, else UserRootDirectory
// and "profiles"; one too long for the path is not cut but passed over;
// without either there is none. The current profile's directory is the
// same.
TEST_F(DbProfileListTest, TheUsersProfileDirectory) {
  const char* szRoot = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_USERROOTDIRECTORY);
  ASSERT_TRUE(szRoot && *szRoot);
  const std::string strFromRoot = std::string(szRoot) + "/profiles";
  const struct {
    const char* szEnvironment;  // null: unset
    std::string strExpected;
  } acase[] = {{nullptr, strFromRoot}, {"/srv/profiles", "/srv/profiles"}, {"", strFromRoot}};
  for (const auto& c : acase) {
    if (c.szEnvironment) {
      setenv("PMX_PROFILESDIR", c.szEnvironment, 1);
    } else {
      unsetenv("PMX_PROFILESDIR");
    }
    CDbProfileList dbprofilelist(m_pdatabase.get(), 64);
    ASSERT_NE(dbprofilelist.GetUserProfileDirectory(), nullptr) << c.strExpected;
    EXPECT_EQ(dbprofilelist.GetUserProfileDirectory(), c.strExpected);
  }
  setenv("PMX_PROFILESDIR", ("/" + std::string(600, 'p')).c_str(), 1);
  EXPECT_EQ(std::string(CDbProfileList(m_pdatabase.get(), 64).GetUserProfileDirectory()), strFromRoot);
  unsetenv("PMX_PROFILESDIR");
  ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_USERROOTDIRECTORY, ""), OS_STS_SUCCESS);
  CDbProfileList dbprofilelist(m_pdatabase.get(), 64);
  EXPECT_EQ(dbprofilelist.GetUserProfileDirectory(), nullptr);
}

// A package that does not exist is a bad value and touches nothing; the
// undo point and the report builder's release work quietly.
TEST_F(DbProfileListTest, AMissingPackageAndTheQuietOperations) {
  UseDefaultDatabase();
  CDbProfileList dbprofilelist(m_pdatabase.get(), 64);
  ASSERT_EQ(dbprofilelist.Load(), DB_STS_SUCCESS);
  EXPECT_EQ(dbprofilelist.Import(testsupport::RootPath("a.pkg").c_str(), false), DB_STS_BADVALUE);
  EXPECT_TRUE(m_plog->Contains("Import failed, file not found..."));
  // What the database does now works quietly.
  const std::string strBefore = m_plog->Text();
  dbprofilelist.Remember();
  dbprofilelist.Free();
  EXPECT_EQ(m_plog->Text(), strBefore);
  EXPECT_EQ(CDbDatum::DbDatumFind(0, DB_ID_THRESHOLD, DB_BIN_BITONAL_FRONT)->GetCurrentLongNoCallback(), 90);
}

// The user's directory: below the user root, or the PMX_PROFILESDIR
// directory with the first existing subdirectory of the model's rows.
TEST_F(DbProfileListTest, UserDirectoryFromTheRootOrTheEnvironment) {
  const std::string strUser = testsupport::RootPath("user");
  const std::string strShared = testsupport::RootPath("shared");
  ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_USERROOTDIRECTORY, strUser.c_str()), OS_STS_SUCCESS);
  ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY, "PMX_Cedar"), OS_STS_SUCCESS);
  const auto Directory = [this] {
    CDbProfileList dbprofilelist(m_pdatabase.get(), 64);
    const char* sz = dbprofilelist.GetUserProfileDirectory();
    return std::string(sz ? sz : "(null)");
  };
  EXPECT_EQ(Directory(), strUser + "/profiles");
  setenv("PMX_PROFILESDIR", strShared.c_str(), 1);
  EXPECT_EQ(Directory(), strShared);
  // cedarB, cedarA, rowanD, rowanC in this order: the first that exists.
  testsupport::RunProgram({"mkdir", "-p", strShared + "/rowanC", strShared + "/cedarA"});
  EXPECT_EQ(Directory(), strShared + "/cedarA");
  ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY, "kv"), OS_STS_SUCCESS);
  EXPECT_EQ(Directory(), strShared);
  unsetenv("PMX_PROFILESDIR");
  ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_USERROOTDIRECTORY, ""), OS_STS_SUCCESS);
  EXPECT_EQ(Directory(), "(null)");
}

TEST_F(DbProfileListTest, EveryObjectMadeIsDeleted) {
  UseDefaultDatabase();
  const size_t sizetBefore = m_plog->Text().size();
  {
    CDbProfileList dbprofilelist(m_pdatabase.get(), 64);
    ASSERT_EQ(dbprofilelist.Load(), DB_STS_SUCCESS);
    ASSERT_EQ(dbprofilelist.Load(), DB_STS_SUCCESS);
  }
  const std::string strLog = m_plog->Text().substr(sizetBefore);
  for (const char* sz : {"new CDbProfileListImpl", "new CDbProfileItem", "new COsXmlTask", "new CDbResource"})
    EXPECT_NE(strLog.find(sz), std::string::npos) << sz;
  dbtest::ExpectMemoryLinesPaired(strLog);
}

}  // namespace
