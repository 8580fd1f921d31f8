// The profile item of the DATABASE resource: the default database loaded
// into the datums, the header alone, records that must be skipped or that
// end the load, missing and cut resources, and the profile header.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db_cdbprofileitem.h"
#include "os_coslocale.h"
#include "os_cosresource.h"
#include "db_profile_fixture.h"
#include "test_support.h"

namespace {

using dbtest::DbProfileFixture;
using dbtest::ExpectedBin;

class DbProfileItemTest : public DbProfileFixture {
 protected:
  void SetUp() override {
    DbProfileFixture::SetUp();
    m_pdbprofileitem = std::make_unique<CDbProfileItem>(nullptr, nullptr, "", "", "", "/graphics", m_pdatabase.get(),
                                                        nullptr);
  }

  void TearDown() override {
    m_pdbprofileitem.reset();
    DbProfileFixture::TearDown();
  }

  EOSSTS LoadResource(bool a_blHeaderOnly) { return m_pdbprofileitem->LoadDatabaseResource(a_blHeaderOnly); }

  CDbEnum* Enum(EDBID a_edbid, EDBBIN a_edbbin) {
    return dynamic_cast<CDbEnum*>(CDbDatum::DbDatumFind(0, a_edbid, a_edbbin));
  }
  CDbRange* Range(EDBID a_edbid, EDBBIN a_edbbin) {
    return dynamic_cast<CDbRange*>(CDbDatum::DbDatumFind(0, a_edbid, a_edbbin));
  }
  CDbString* String(EDBID a_edbid, EDBBIN a_edbbin) {
    return dynamic_cast<CDbString*>(CDbDatum::DbDatumFind(0, a_edbid, a_edbbin));
  }

  static std::vector<long> Items(CDbEnum* a_pdbenum, bool a_blCurrent) {
    std::vector<long> vec;
    const long lCount = a_blCurrent ? a_pdbenum->GetCurrentItemCount() : a_pdbenum->GetDefaultItemCount();
    for (long l = 0; l < lCount; ++l)
      vec.push_back(a_blCurrent ? a_pdbenum->GetCurrentItem(l) : a_pdbenum->GetDefaultItem(l));
    return vec;
  }

  std::unique_ptr<CDbProfileItem> m_pdbprofileitem;
};

// A resource of one record per line after a header.
std::string Resource(const std::vector<std::string>& a_vecRecords, const std::string& a_strHeader = "<H></H>") {
  std::string strBody;
  for (const std::string& str : a_vecRecords) strBody += str;
  char szHead[64];
  std::snprintf(szHead, sizeof szHead, "<db bytes='000000' records='%06zx' enums='0000ff'>", a_vecRecords.size() - 1);
  return szHead + a_strHeader + strBody + "</db>";
}

TEST_F(DbProfileItemTest, TheDefaultDatabaseSetsEveryRecordOnItsDatums) {
  const std::vector<ExpectedBin> vecexpected = dbtest::ReadExpected();
  ASSERT_EQ(vecexpected.size(), 136u);
  NewDefaultDatums(vecexpected);
  // A camera the resource does not name keeps what the catalogue gave it.
  CDbRange* pbrightnessBitonal = NewContainer<CDbRange>(DB_ID_BRIGHTNESS, DB_BIN_BITONAL_FRONT);
  UseResource(DefaultDatabase());
  ASSERT_EQ(LoadResource(false), OS_STS_SUCCESS);
  EXPECT_FALSE(m_pdatabase->TestDbState(DB_STATE_LOADING));

  // Every bin of the table: access, consumers and the values of its kind.
  int iDatums = 0;
  for (const ExpectedBin& expected : vecexpected) {
    for (EDBBIN edbbin : dbtest::SetBins(expected.edbbin)) {
      SCOPED_TRACE(expected.strCapability + " bin " + std::to_string(edbbin));
      CDbDatum* pdbdatum = CDbDatum::DbDatumFind(0, expected.edbid, edbbin);
      ASSERT_NE(pdbdatum, nullptr);
      ++iDatums;
      EXPECT_EQ(pdbdatum->GetAccess(), expected.lAccess);
      EXPECT_EQ(pdbdatum->GetDeviceData(), expected.lConsumers);
      if (expected.cKind == 'E') {
        CDbEnum* pdbenum = Enum(expected.edbid, edbbin);
        EXPECT_EQ(pdbenum->GetCurrentLongNoCallback(), pdbenum->GetDefaultLong());
        EXPECT_EQ(pdbenum->GetDefaultItemCount(), static_cast<long>(expected.vecRest.size()));
        EXPECT_EQ(Items(pdbenum, true), Items(pdbenum, false));
        EXPECT_TRUE(pdbenum->HasDefaultItem(pdbenum->GetDefaultLong()));
        EXPECT_EQ(pdbenum->GetContainerType(), DB_CONTAINERTYPE_ENUM);
      } else if (expected.cKind == 'R') {
        CDbRange* pdbrange = Range(expected.edbid, edbbin);
        EXPECT_EQ(pdbrange->GetCurrentLongNoCallback(), std::stol(expected.strDefault));
        EXPECT_EQ(pdbrange->GetDefaultLong(), std::stol(expected.strDefault));
        const std::vector<long> vecBounds{std::stol(expected.vecRest[0]), std::stol(expected.vecRest[1]),
                                          std::stol(expected.vecRest[2])};
        EXPECT_EQ((std::vector<long>{pdbrange->GetMin(), pdbrange->GetMax(), pdbrange->GetStep()}), vecBounds);
        EXPECT_EQ((std::vector<long>{pdbrange->GetDefaultMin(), pdbrange->GetDefaultMax(),
                                     pdbrange->GetDefaultStep()}),
                  vecBounds);
        EXPECT_EQ(pdbrange->GetContainerType(), DB_CONTAINERTYPE_RANGE);
      } else {
        CDbString* pdbstring = String(expected.edbid, edbbin);
        EXPECT_STREQ(pdbstring->GetCurrentStringNoCallback(), expected.strDefault.c_str());
        EXPECT_STREQ(pdbstring->GetDefaultString(), expected.strDefault.c_str());
        EXPECT_STREQ(pdbstring->GetPreviousString(), "");
        EXPECT_STREQ(pdbstring->GetProfilesString(), "");
        EXPECT_EQ(pdbstring->GetSizetMaxString(), std::stoul(expected.vecRest[0]));
        EXPECT_EQ(pdbstring->GetContainerType(), DB_CONTAINERTYPE_STRING);
      }
    }
  }
  EXPECT_EQ(iDatums, 216);
  EXPECT_EQ(pbrightnessBitonal->GetAccess(), DB_ACCESS_NOTSUPPORTED);

  // The values of a few, by their value names.
  CDbEnum* pxres = Enum(DB_ID_XRESOLUTION, DB_BIN_COLOR_REAR);
  EXPECT_EQ(pxres->GetDefaultLong(), DB_ID_XRESOLUTION_ENUM_200);
  EXPECT_EQ(Items(pxres, false), (std::vector<long>{DB_ID_XRESOLUTION_ENUM_100, DB_ID_XRESOLUTION_ENUM_150,
                                                    DB_ID_XRESOLUTION_ENUM_200, DB_ID_XRESOLUTION_ENUM_240,
                                                    DB_ID_XRESOLUTION_ENUM_250, DB_ID_XRESOLUTION_ENUM_300,
                                                    DB_ID_XRESOLUTION_ENUM_400, DB_ID_XRESOLUTION_ENUM_600,
                                                    DB_ID_XRESOLUTION_ENUM_1200}));
  EXPECT_EQ(Items(Enum(DB_ID_IMAGEFORMAT, DB_BIN_BITONAL_REAR), true),
            std::vector<long>{DB_ID_IMAGEFORMAT_ENUM_BW});
  EXPECT_EQ(Enum(DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT)->GetCurrentLongNoCallback(), DB_ID_IMAGEFORMAT_ENUM_RGB_24);
  EXPECT_EQ(Items(Enum(DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT), true),
            (std::vector<long>{DB_ID_IMAGEFORMAT_ENUM_RGB_24, DB_ID_IMAGEFORMAT_ENUM_GRAY_8}));
  EXPECT_EQ(Enum(DB_ID_LANGUAGE, DB_BIN_MACHINE)->GetDefaultItem(0), DB_ID_LANGUAGE_ENUM_EN_USA);
  EXPECT_EQ(Enum(DB_ID_LANGUAGE, DB_BIN_MACHINE)->GetDefaultItem(18), DB_ID_LANGUAGE_ENUM_TR_TUR);
  EXPECT_EQ(Enum(DB_ID_MULTIFEEDRESPONSE, DB_BIN_MACHINE)->GetCurrentLongNoCallback(),
            DB_ID_MULTIFEEDRESPONSE_ENUM_ENDOFJOB);
  EXPECT_EQ(Enum(DB_ID_WINDOWBIN, DB_BIN_MACHINE)->GetDefaultItem(1), DB_ID_WINDOWBIN_ENUM_FRONTCOLOR_00);
  EXPECT_EQ(Enum(DB_ID_SUPPORTEDSIZES, DB_BIN_MACHINE)->GetCurrentLongNoCallback(), DB_ID_SUPPORTEDSIZES_ENUM_USLETTER);
  EXPECT_EQ(Range(DB_ID_IMAGESKEWANGLE, DB_BIN_COLOR_REAR)->GetMin(), -3600000);
  EXPECT_EQ(Range(DB_ID_COLORBALANCEAUTOMATICAGGRESSIVENESS, DB_BIN_COLOR_FRONT)->GetMin(), -2);
  // Read-only values were set during the load, and are read-only again after it.
  CDbString* pserial = String(DB_ID_SERIALNUMBER, DB_BIN_MACHINE);
  EXPECT_STREQ(pserial->GetCurrentStringNoCallback(), "abc");
  EXPECT_FALSE(pserial->IsModifiable());

  // The header of the default profile.
  EXPECT_STREQ(m_pdbprofileitem->GetName(), "Default");
  EXPECT_STREQ(m_pdbprofileitem->GetGroup(), "profileall");
  EXPECT_STREQ(m_pdbprofileitem->GetGraphicFilename(), "/graphics/default.png");
  EXPECT_STREQ(m_pdbprofileitem->GetLocaleText("de_deu"), "Standard");
  EXPECT_STREQ(m_pdbprofileitem->GetLocaleText("l_FR_fra"), "Par d\xc3\xa9" "faut");
  EXPECT_STREQ(m_pdbprofileitem->GetLocaleText("ru_rus"), "\xd0\x9f\xd0\xbe \xd1\x83\xd0\xbc\xd0\xbe\xd0\xbb\xd1\x87"
                                                        "\xd0\xb0\xd0\xbd\xd0\xb8\xd1\x8e");
  EXPECT_STREQ(m_pdbprofileitem->GetLocaleText("xx_xxx"), "Default");
}

// The library's own DATABASE, compiled from the same source by the build:
// the text the source makes, and the values it puts on the datums.
TEST_F(DbProfileItemTest, TheLibrarysOwnResourceIsTheDefaultDatabase) {
  COsResource osresource;
  ASSERT_EQ(osresource.Open(SCANDRV_LIBRARY_PATH, "DATABASE", OS_RESOURCETYPE_DATA), OS_STS_SUCCESS);
  const std::string strOwn(static_cast<const char*>(osresource.GetPointer()), osresource.GetSize());
  osresource.Close();
  EXPECT_EQ(strOwn, DefaultDatabase());
  NewDefaultDatums(dbtest::ReadExpected());
  ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, SCANDRV_LIBRARY_PATH), OS_STS_SUCCESS);
  ASSERT_EQ(LoadResource(false), OS_STS_SUCCESS);
  EXPECT_STREQ(m_pdbprofileitem->GetName(), "Default");
  EXPECT_EQ(Enum(DB_ID_XRESOLUTION, DB_BIN_BITONAL_REAR)->GetCurrentLongNoCallback(), DB_ID_XRESOLUTION_ENUM_200);
  EXPECT_EQ(Enum(DB_ID_SUPPORTEDSIZES, DB_BIN_MACHINE)->GetDefaultItemCount(), 24);
  EXPECT_EQ(Range(DB_ID_BRIGHTNESS, DB_BIN_COLOR_REAR)->GetMin(), -50);
  EXPECT_EQ(Range(DB_ID_PHYSICALHEIGHTADJUST, DB_BIN_MACHINE)->GetDefaultLong(), 16800);
  EXPECT_STREQ(String(DB_ID_TIMEDATE, DB_BIN_MACHINE)->GetDefaultString(), "2003/04/22 07:26");
  EXPECT_EQ(String(DB_ID_TIMEDATE, DB_BIN_MACHINE)->GetAccess(), DB_ACCESS_READONLY);
}

TEST_F(DbProfileItemTest, TheHeaderAloneLeavesTheDatumsAlone) {
  CDbRange* pbrightness = NewRange(DB_ID_BRIGHTNESS, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 7, 0, 10, 1);
  const std::string strRecord = "<R><a>22</a><b>1</b><c>40</c><M><d>3</d><e>0</e><f>0</f><g>9</g><h>1</h></M></R>";
  UseResource(Resource({strRecord}, "<H><id>Plain</id><hidden>true</hidden><group>profileall</group></H>"));
  ASSERT_EQ(LoadResource(true), OS_STS_SUCCESS);
  EXPECT_STREQ(m_pdbprofileitem->GetName(), "Plain");
  EXPECT_TRUE(m_pdbprofileitem->IsProfileHidden());
  EXPECT_EQ(pbrightness->GetCurrentLongNoCallback(), 7);
  EXPECT_EQ(pbrightness->GetMax(), 10);
  // A header-only read needs no database.
  CDbProfileItem dbprofileitem(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(dbprofileitem.LoadDatabaseResource(true), OS_STS_SUCCESS);
  EXPECT_EQ(dbprofileitem.LoadDatabaseResource(false), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("m_pdatabase is null..."));
  // The header alone does not look at the records.
  UseResource(Resource({"<X><a>1</a></X>"}, "<H><id>Broken</id></H>"));
  EXPECT_EQ(LoadResource(true), OS_STS_SUCCESS);
  EXPECT_STREQ(m_pdbprofileitem->GetName(), "Broken");
  EXPECT_EQ(LoadResource(false), OS_STS_FAIL);
  // Without a header there is nothing to read.
  UseResource("<db bytes='000000' records='000000' enums='000000'>" + strRecord + "</db>");
  EXPECT_EQ(LoadResource(true), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("header not found..."));
}

// Records that name no capability, or a capability of another kind, are
// skipped with a line each; the records around them load.
TEST_F(DbProfileItemTest, RecordsOfOtherIdsOrKindsAreSkipped) {
  CDbEnum* pborder = NewEnum(DB_ID_ADDBORDER, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 0, {});
  CDbRange* pbrightness = NewRange(DB_ID_BRIGHTNESS, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 5, 0, 9, 1);
  CDbString* pserial = NewText(DB_ID_SERIALNUMBER, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 8, "old", "old");
  CDbRange* pcontrast = NewRange(DB_ID_CONTRAST, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 0, 0, 0, 0);
  // The sentinels of ids 0 and 253 are plain datums in bin 1.
  CDbDatum* pundefined = CDbDatum::DbDatumFind(0, DB_ID_UNDEFINED, DB_BIN_MACHINE);
  ASSERT_NE(pundefined, nullptr);
  UseResource(Resource({
      "<E><a>0</a><b>1</b><c>0</c><M><d>4</d><e>1</e><f>1</f></M></E>",
      "<E><a>fd</a><b>1</b><c>0</c><M><d>4</d><e>1</e><f>1</f></M></E>",
      "<E><a>22</a><b>1</b><c>0</c><M><d>4</d><e>1</e><f>1</f><f>2</f></M></E>",  // BRIGHTNESS is a range
      "<R><a>2</a><b>1</b><c>0</c><M><d>4</d><e>1</e><f>0</f><g>9</g><h>1</h></M></R>",  // ADDBORDER is an enum
      "<S><a>22</a><b>2</b><c>0</c><M><d>4</d><e>ff</e><f><![CDATA[text]]></f></M></S>",
      "<R><a>e1</a><b>1</b><c>0</c><M><d>4</d><e>1</e><f>0</f><g>9</g><h>1</h></M></R>",  // SERIALNUMBER a string
      "<R><a>34</a><b>1</b><c>40</c><M><d>4</d><e>ffffffce</e><f>0xffffff9c</f><g>64</g><h>1</h></M></R>",
  }));
  ASSERT_EQ(LoadResource(false), OS_STS_SUCCESS);
  for (const char* sz : {"Bad edbid, record skipped...0", "Bad edbid, record skipped...253",
                         "Wrong container, record skipped...34 1 <E>", "Wrong container, record skipped...2 1 <R>",
                         "Wrong container, record skipped...34 1 <S>", "Wrong container, record skipped...225 1 <R>"})
    EXPECT_TRUE(m_plog->Contains(sz)) << sz;
  EXPECT_EQ(pundefined->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(pborder->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(pborder->GetCurrentItemCount(), 0);
  EXPECT_EQ(pbrightness->GetCurrentLongNoCallback(), 5);
  EXPECT_EQ(pbrightness->GetMax(), 9);
  EXPECT_STREQ(pserial->GetCurrentStringNoCallback(), "old");
  // The record after them loads, with its negative numbers.
  EXPECT_EQ(pcontrast->GetAccess(), DB_ACCESS_READWRITE);
  EXPECT_EQ(pcontrast->GetCurrentLongNoCallback(), -50);
  EXPECT_EQ(pcontrast->GetMin(), -100);
  EXPECT_EQ(pcontrast->GetMax(), 100);
  EXPECT_EQ(pcontrast->GetDeviceData(), DB_DEVICEDATA_ALL);
}

// A damaged default, outside its own record's range or list, is brought
// within it and named in the log; the record's other fields load as they
// are. A range default of 0 stays, as the default database gives it.
TEST_F(DbProfileItemTest, DefaultsOutsideTheirRecordAreBroughtWithinIt) {
  ASSERT_EQ(m_pdatabase->LoadLookup(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH), DB_STS_SUCCESS);
  CDbRange* pedgetop = NewRange(DB_ID_IMAGEEDGETOP, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 5, 0, 9, 1);
  CDbRange* pbrightness = NewRange(DB_ID_BRIGHTNESS, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 5, 0, 9, 1);
  CDbRange* plimit = NewRange(DB_ID_PAGESIZELIMIT, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 5, 0, 9, 1);
  CDbEnum* pborder = NewEnum(DB_ID_ADDBORDER, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 0, {});
  CDbEnum* punits = NewEnum(DB_ID_UNITS, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 0, {});
  UseResource(Resource({
      "<R><a>7a</a><b>1</b><c>40</c><M><d>4</d><e>80000000</e><f>0</f><g>9f60</g><h>c</h></M></R>",
      "<R><a>22</a><b>1</b><c>40</c><M><d>3</d><e>64</e><f>ffffffce</f><g>32</g><h>1</h></M></R>",
      "<R><a>a7</a><b>1</b><c>40</c><M><d>4</d><e>0</e><f>960</f><g>a1b8</g><h>c</h></M></R>",
      "<E><a>2</a><b>1</b><c>40</c><M><d>4</d><e>5</e><f>2</f><f>1</f></M></E>",
      "<E><a>f6</a><b>1</b><c>0</c><M><d>4</d><e>2</e><f>1</f><f>2</f></M></E>",
  }));
  ASSERT_EQ(LoadResource(false), OS_STS_SUCCESS);
  struct Case {
    CDbRange* prange;
    long lValue, lMin, lMax, lStep;
    EDBACCESS edbaccess;
  } const acase[] = {{pedgetop, 0, 0, 40800, 12, DB_ACCESS_READWRITE},
                     {pbrightness, 50, -50, 50, 1, DB_ACCESS_READONLY},
                     {plimit, 0, 2400, 41400, 12, DB_ACCESS_READWRITE}};
  for (const Case& c : acase) {
    SCOPED_TRACE(c.prange->GetId());
    EXPECT_EQ(c.prange->GetCurrentLongNoCallback(), c.lValue);
    EXPECT_EQ(c.prange->GetDefaultLong(), c.lValue);
    EXPECT_EQ(c.prange->GetMin(), c.lMin);
    EXPECT_EQ(c.prange->GetMax(), c.lMax);
    EXPECT_EQ(c.prange->GetStep(), c.lStep);
    EXPECT_EQ(c.prange->GetAccess(), c.edbaccess);
  }
  EXPECT_EQ(pborder->GetDefaultLong(), 2);
  EXPECT_EQ(pborder->GetCurrentLongNoCallback(), 2);
  EXPECT_EQ(Items(pborder, false), (std::vector<long>{2, 1}));
  EXPECT_EQ(punits->GetDefaultLong(), 2);
  for (const char* sz : {"Default out of range, clamped...<DB_ID_IMAGEEDGETOP> 122 1: -2147483648 to 0 (0..40800)",
                         "Default out of range, clamped...<DB_ID_BRIGHTNESS> 34 1: 100 to 50 (-50..50)",
                         "Default not in the list, replaced...<DB_ID_ADDBORDER> 2 1: 5 to 2"}) {
    EXPECT_TRUE(m_plog->Contains(sz)) << sz;
  }
  EXPECT_FALSE(m_plog->Contains("<DB_ID_PAGESIZELIMIT>"));
  EXPECT_FALSE(m_plog->Contains("<DB_ID_UNITS>"));
}

// What the records put on their datums beyond the default database: a
// current list of its own, the multimedia directory, a camera pair.
TEST_F(DbProfileItemTest, RecordsSetCurrentListsTextsAndRearCameras) {
  ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_MULTIMEDIADIRECTORY, "/usr/share/sounds"), OS_STS_SUCCESS);
  CDbEnum* pdbenum = NewEnum(DB_ID_UNITS, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 9, {7, 8, 9});
  CDbString* psound = NewText(DB_ID_MULTIFEEDSOUND, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 8, "", "");
  CDbString* pdll = NewText(DB_ID_DEVICEDLL, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 8, "", "");
  CDbEnum* pfront = NewEnum(DB_ID_HALFTONES, DB_BIN_BITONAL_FRONT, DB_ACCESS_NOTSUPPORTED, 0, {});
  CDbEnum* prear = NewEnum(DB_ID_HALFTONES, DB_BIN_BITONAL_REAR, DB_ACCESS_NOTSUPPORTED, 0, {});
  UseResource(Resource({
      "<E><a>f6</a><b>1</b><c>0</c><M><d>4</d><e>2</e><f>1</f><f>2</f><f>3</f><g>3</g><g>2</g></M></E>",
      "<S><a>a1</a><b>2</b><c>40</c><M><d>4</d><e>ff</e><f><![CDATA[@MULTIMEDIA@/ding <1> & 2.wav]]></f></M></S>",
      "<S><a>37</a><b>2</b><c>0</c><M><d>3</d><e>ff</e><f><![CDATA[" + std::string(1100, 'x') + "]]></f></M></S>",
      "<E><a>69</a><b>1</b><c>40</c><BF><d>5</d><e>2</e><f>2</f><f>1</f></BF></E>",
  }));
  ASSERT_EQ(LoadResource(false), OS_STS_SUCCESS);
  EXPECT_EQ(pdbenum->GetCurrentLongNoCallback(), 2);
  EXPECT_EQ(Items(pdbenum, false), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(Items(pdbenum, true), (std::vector<long>{3, 2}));
  EXPECT_STREQ(psound->GetCurrentStringNoCallback(), "/usr/share/sounds/ding <1> & 2.wav");
  EXPECT_STREQ(psound->GetDefaultString(), "/usr/share/sounds/ding <1> & 2.wav");
  EXPECT_EQ(psound->GetSizetMaxString(), 255u);
  // A text too long for a value is refused by the copy, not cut.
  EXPECT_STREQ(pdll->GetCurrentStringNoCallback(), "");
  EXPECT_EQ(pdll->GetAccess(), DB_ACCESS_READONLY);
  for (CDbEnum* p : {pfront, prear}) {
    EXPECT_EQ(p->GetAccess(), DB_ACCESS_READWRITEDISABLED);
    EXPECT_EQ(p->GetCurrentLongNoCallback(), 2);
    EXPECT_EQ(Items(p, true), (std::vector<long>{2, 1}));
    EXPECT_EQ(p->GetDeviceData(), DB_DEVICEDATA_ALL);
  }
}

// A load that cannot be done: a status and a line, state 3 cleared, and the
// database as usable as before.
TEST_F(DbProfileItemTest, FailedLoadsReportAndLeaveTheDatabaseUsable) {
  CDbRange* pbrightness = NewRange(DB_ID_BRIGHTNESS, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 5, 0, 9, 1);
  CDbRange* pcontrast = NewRange(DB_ID_CONTRAST, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 5, 0, 9, 1);
  const std::string strBrightness =
      "<R><a>22</a><b>1</b><c>0</c><M><d>3</d><e>1</e><f>0</f><g>7</g><h>1</h></M></R>";
  const std::string strContrast = "<R><a>34</a><b>1</b><c>0</c><M><d>4</d><e>2</e><f>0</f><g>8</g><h>1</h></M></R>";
  const std::string strGood = Resource({strBrightness, strContrast});
  struct Case {
    const char* szWhat;
    std::string strResource;  // none: the driver file has no DATABASE
    const char* szLog;
    long lBrightness;  // the maximum each datum has afterwards
    long lContrast;
  } acase[] = {
      {"no resource", "", "DATABASE resource not found...", 9, 9},
      {"a cut resource", strGood.substr(0, strGood.size() - 20), "DocumentLoad failed...", 9, 9},
      {"an empty resource", " ", "DocumentLoad failed...", 9, 9},
      {"a datum missing", Resource({strBrightness, "<E><a>2</a><b>1</b><c>0</c><M><d>4</d><e>1</e></M></E>",
                                    strContrast}),
       "NULL...2 1", 7, 9},
      {"an unknown record", Resource({strBrightness, "<X><a>2</a></X>", strContrast}),
       "Unrecognized container...<X>", 7, 9},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szWhat);
    pbrightness->InitRangeLong(DB_ID_BRIGHTNESS, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, 5, 0, 9, 1, 5,
                               0, 9, 1);
    pcontrast->InitRangeLong(DB_ID_CONTRAST, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, 5, 0, 9, 1, 5, 0,
                             9, 1);
    if (c.strResource.empty()) {
      testsupport::WriteFile(m_strDriver, std::string(4096, 'c'));
    } else {
      UseResource(c.strResource);
    }
    EXPECT_EQ(LoadResource(false), OS_STS_FAIL);
    EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
    EXPECT_FALSE(m_pdatabase->TestDbState(DB_STATE_LOADING));
    EXPECT_EQ(pbrightness->GetMax(), c.lBrightness);
    EXPECT_EQ(pcontrast->GetMax(), c.lContrast);
    EXPECT_EQ(pcontrast->SetCurrentLong(3), OS_STS_SUCCESS);
  }
  // The same item loads a good resource afterwards.
  UseResource(strGood);
  ASSERT_EQ(LoadResource(false), OS_STS_SUCCESS);
  EXPECT_EQ(pbrightness->GetMax(), 7);
  EXPECT_EQ(pcontrast->GetMax(), 8);
}

// The profile header: exact flag words, the first of two texts of a
// language, the old Japanese name, the limit of 32 languages.
TEST_F(DbProfileItemTest, TheHeaderKeepsWhatAProfileHeaderMeans) {
  std::string strLocales;
  for (int i = 0; i < 34; ++i) {
    char sz[64];
    std::snprintf(sz, sizeof sz, "<l_x%02d_xxx>text %d</l_x%02d_xxx>", i, i, i);
    strLocales += sz;
  }
  const std::string strHeader =
      "<H><readonly>TRUE</readonly><hidden>yes</hidden><id><![CDATA[My <profile>]]></id><unknown>1</unknown>"
      "<l_de_deu>erst</l_de_deu><l_de_deu>zweit</l_de_deu><l_ja_jpn>nihon</l_ja_jpn><profileid>p1</profileid>"
      "<family>larch</family><driverversion>01020304</driverversion><graphicfilename></graphicfilename>" +
      strLocales + "</H>";
  UseResource(Resource({"<E><a>2</a><b>1</b><c>0</c></E>"}, strHeader));
  EXPECT_STREQ(m_pdbprofileitem->GetLocaleText("de_deu"), "");  // nothing read yet: the empty name
  ASSERT_EQ(LoadResource(true), OS_STS_SUCCESS);
  EXPECT_FALSE(m_pdbprofileitem->IsProfileReadonly());
  EXPECT_FALSE(m_pdbprofileitem->IsProfileHidden());
  EXPECT_STREQ(m_pdbprofileitem->GetName(), "My <profile>");
  EXPECT_STREQ(m_pdbprofileitem->GetId(), "p1");
  EXPECT_STREQ(m_pdbprofileitem->GetFamily(), "larch");
  EXPECT_STREQ(m_pdbprofileitem->GetDriverVersion(), "01020304");
  EXPECT_STREQ(m_pdbprofileitem->GetGraphicFilename(), "");
  EXPECT_STREQ(m_pdbprofileitem->GetLocaleText("DE_DEU"), "erst");
  EXPECT_STREQ(m_pdbprofileitem->GetLocaleText("l_jp_jpn"), "nihon");
  EXPECT_STREQ(m_pdbprofileitem->GetLocaleText("x29_xxx"), "text 29");       // entry 32
  EXPECT_STREQ(m_pdbprofileitem->GetLocaleText("x30_xxx"), "My <profile>");  // no room left
  // Without a language: the current language, its relatives, US English.
  EXPECT_STREQ(m_pdbprofileitem->GetLocaleText(nullptr), "My <profile>");  // no language service
  COsLocale oslocale;
  g_poslocale = &oslocale;
  ASSERT_EQ(oslocale.SetLanguage(OS_LANGUAGE_DE_AUT), OS_STS_SUCCESS);
  EXPECT_STREQ(m_pdbprofileitem->GetLocaleText(nullptr), "erst");
  ASSERT_EQ(oslocale.SetLanguage(OS_LANGUAGE_IT_ITA), OS_STS_SUCCESS);
  EXPECT_STREQ(m_pdbprofileitem->GetLocaleText(nullptr), "My <profile>");
  g_poslocale = nullptr;
}

// A user profile against the installed profile of its id: it shows the
// installed texts while both show the same text (taking the installed table,
// and its English name, when it has none), else its own name.
TEST_F(DbProfileItemTest, FixLocaleReconcilesAUserCopyWithItsInstalledProfile) {
  COsLocale oslocale;
  g_poslocale = &oslocale;
  ASSERT_EQ(oslocale.SetLanguage(OS_LANGUAGE_DE_DEU), OS_STS_SUCCESS);
  const auto Item = [](const std::string& a_strName, const std::string& a_strHeader, bool a_blUser) {
    const std::string strPath = testsupport::RootPath(a_strName + ".profile");
    testsupport::WriteFile(strPath, "<profile><header>" + a_strHeader + "</header></profile>");
    auto pdbprofileitem =
        std::make_unique<CDbProfileItem>(strPath.c_str(), nullptr, "", "", "", "", nullptr, nullptr);
    EXPECT_EQ(pdbprofileitem->Load(false, true, false, false), OS_STS_SUCCESS);
    if (a_blUser) pdbprofileitem->SetProfileUser();
    return pdbprofileitem;
  };
  const std::string strTexts = "<l_en_usa>Scan</l_en_usa><l_de_deu>Scannen</l_de_deu>";
  auto pinstalled = Item("installed", "<id>Scan</id><profileid>p1</profileid>" + strTexts, false);
  auto pbare = Item("bare", "<id>Scan</id><profileid>p1</profileid>", false);
  const struct {
    const char* szWhat;
    std::string strHeader;
    CDbProfileItem* pinstalled;
    bool blForce;
    EOSSTS eossts;
    const char* szName;     // afterwards: the name
    const char* szEnglish;  // its English text
    const char* szGerman;   // its German text
  } acase[] = {
      {"a copy without texts", "<id>Scannen</id><profileid>p1</profileid>", pinstalled.get(), false, OS_STS_SUCCESS,
       "Scan", "Scan", "Scannen"},
      {"a copy with texts of its own", "<id>Mine</id><profileid>p1</profileid><l_de_deu>Scannen</l_de_deu>",
       pinstalled.get(), false, OS_STS_SUCCESS, "Mine", "Mine", "Scannen"},
      {"a renamed copy", "<id>Mine</id><profileid>p1</profileid><l_de_deu>Meins</l_de_deu>", pinstalled.get(), false,
       OS_STS_SUCCESS, "Mine", "Mine", "Mine"},
      {"forced", "<id>Scannen</id><profileid>p1</profileid>", pinstalled.get(), true, OS_STS_SUCCESS, "Scannen",
       "Scannen", "Scannen"},
      {"an installed profile without texts", "<id>Mine</id><profileid>p1</profileid>" + strTexts, pbare.get(), false,
       OS_STS_SUCCESS, "Mine", "Mine", "Mine"},
      {"another id", "<id>Mine</id><profileid>p2</profileid>" + strTexts, pinstalled.get(), false, OS_STS_FAIL, "Mine",
       "Scan", "Scannen"},
      {"no installed profile", "<id>Mine</id><profileid>p1</profileid>" + strTexts, nullptr, false, OS_STS_FAIL, "Mine",
       "Scan", "Scannen"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    auto puser = Item("user", c.strHeader, true);
    EXPECT_EQ(puser->FixLocale(c.pinstalled, c.blForce), c.eossts);
    EXPECT_STREQ(puser->GetName(), c.szName);
    EXPECT_STREQ(puser->GetLocaleText("en_usa"), c.szEnglish);
    EXPECT_STREQ(puser->GetLocaleText("de_deu"), c.szGerman);
  }
  EXPECT_TRUE(m_plog->Contains("FixLocale wasn't called properly..."));
  auto pnotuser = Item("notuser", "<id>Scannen</id><profileid>p1</profileid>", false);
  EXPECT_EQ(pnotuser->FixLocale(pinstalled.get(), false), OS_STS_FAIL);
  // A copy of another item's table, or of none.
  EXPECT_EQ(pnotuser->CopyDbProfileLocale(pinstalled.get()), OS_STS_SUCCESS);
  EXPECT_STREQ(pnotuser->GetLocaleText("en_usa"), "Scan");
  EXPECT_EQ(pnotuser->CopyDbProfileLocale(pbare.get()), OS_STS_SUCCESS);
  EXPECT_STREQ(pnotuser->GetLocaleText("en_usa"), "Scannen");
  g_poslocale = nullptr;
}

// The dump: every field padded with dots, the flags, the texts.
TEST_F(DbProfileItemTest, TheDumpNamesEveryField) {
  const std::string strPath = testsupport::RootPath("d.profile");
  testsupport::WriteFile(strPath, "<profile><header><id>Mine</id><profileid>p1</profileid><hidden>true</hidden>"
                                  "<l_de_deu>Meins</l_de_deu></header></profile>");
  CDbProfileItem dbprofileitem(strPath.c_str(), nullptr, "", "", "", "", nullptr, nullptr);
  ASSERT_EQ(dbprofileitem.Load(false, false, false, false), OS_STS_SUCCESS);
  dbprofileitem.SetProfileUser();
  dbprofileitem.SetGroup("profilenoiaprinter");
  dbprofileitem.Dump();
  for (const std::string& str : std::vector<std::string>{
           "dmp>>> m_szId..........................<p1>", "dmp>>> m_szName........................<Mine>",
        "dmp>>> m_szGroup.......................<profilenoiaprinter>",
        "dmp>>> m_szFilename....................<" + strPath + ">",
        "dmp>>> m_blIsProfileHidden.............<true>", "dmp>>> m_blIsProfileUser...............<true>",
        "dmp>>> m_blIsProfileDatabaseResource...<false>", "dmp>>> l_de_deu........................<Meins>"})
    EXPECT_TRUE(m_plog->Contains(str)) << str;
  // Texts too long for their fields are cut, a path is refused.
  dbprofileitem.SetId(std::string(40, 'i').c_str());
  EXPECT_EQ(std::string(dbprofileitem.GetId()), std::string(31, 'i'));
  dbprofileitem.SetGraphicFilename(("/" + std::string(600, 'g')).c_str());
  EXPECT_STREQ(dbprofileitem.GetGraphicFilename(), "");
}

}  // namespace
