// The resources the build compiles into the library: each one the library
// carries is sound by the independent format check, and the lookup loads
// back through the lookup service with the answers its source gives.
#include <gtest/gtest.h>

#include <string>

#include "db_cdblookup.h"
#include "db_def.h"
#include "os_cosresource.h"
#include "test_support.h"

namespace {

const std::string s_strValidator = std::string(SCANDRV_TEST_DATA) + "/../tools/dbresource.py";

std::string LibraryResource(const char* a_szName) {
  COsResource osresource;
  EXPECT_EQ(osresource.Open(OS_RESOURCE_LOCAL, a_szName, OS_RESOURCETYPE_DATA), OS_STS_SUCCESS) << a_szName;
  if (!osresource.GetPointer()) return std::string();
  return std::string(static_cast<const char*>(osresource.GetPointer()), osresource.GetSize());
}

TEST(CompiledResources, TheLibraryCarriesSoundResources) {
  const struct {
    const char* szResource;
    const char* szKind;
  } aresource[] = {{"LOOKUP", "lookup"}, {"DATABASE", "database"}, {"LABELS", "labels"}};
  for (const auto& resource : aresource) {
    const std::string strText = LibraryResource(resource.szResource);
    ASSERT_FALSE(strText.empty()) << resource.szResource;
    const std::string strPath = testsupport::RootPath(std::string(resource.szKind) + ".edres");
    testsupport::WriteFile(strPath, strText);
    int iStatus = -1;
    const std::string strOut =
        testsupport::RunProgram({SCANDRV_PYTHON, s_strValidator, resource.szKind, strPath}, &iStatus);
    EXPECT_EQ(iStatus, 0) << resource.szResource << ": " << strOut;
  }
}

TEST(CompiledResources, TheLookupLoadsBackFromTheLibrary) {
  CDbLookup dblookup;
  ASSERT_EQ(dblookup.Open2(DB_API_RESOURCE, SCANDRV_LIBRARY_PATH, nullptr, 0, false), OS_STS_SUCCESS);
  DbLookup2* pxres = dblookup.FindEdbid(DB_ID_XRESOLUTION);
  ASSERT_NE(pxres, nullptr);
  EXPECT_STREQ(pxres->szLexicon, "imageresolutionx");
  EXPECT_EQ(dblookup.FindLexicon("imageresolutionx"), pxres);
  EXPECT_EQ(dblookup.FindDriverLexicon("imageresolutionx"), pxres);
  DbLookupEnum* p300 = dblookup.FindLexiconEnum(pxres, "300_dpi");
  ASSERT_NE(p300, nullptr);
  EXPECT_EQ(p300->lValue, DB_ID_XRESOLUTION_ENUM_300);
  EXPECT_EQ(dblookup.FindDbEnum(pxres, DB_ID_XRESOLUTION_ENUM_75), dblookup.FindLexiconEnum(pxres, "75_dpi"));
  // Ids that name no capability have no record.
  EXPECT_EQ(dblookup.FindEdbid(static_cast<EDBID>(140)), nullptr);
  EXPECT_EQ(dblookup.FindEdbid(static_cast<EDBID>(141)), nullptr);
  for (int iId = 1; iId <= 252; ++iId) {
    if (iId == 140 || iId == 141) continue;
    DbLookup2* pdblookup2 = dblookup.FindEdbid(static_cast<EDBID>(iId));
    ASSERT_NE(pdblookup2, nullptr) << iId;
  }
}

}  // namespace
