// The create and destroy commands on the database an opened simulated
// scanner leaves, with three windows in use: scan windows made in the bin a
// camera type and image format pick and read back with a get of the window
// tag, windows destroyed with the window made current after, profiles
// through the profile list, and bad
// arguments, which change nothing. Every reply passes xmllint.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "db_cdbdatum.h"
#include "db_cdbenum.h"
#include "drv_set_fixture.h"

using drvtest::Reply;
using drvtest::Task;

namespace {

constexpr EDBBIN s_aedbbinCameras[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};
constexpr long s_lWindows = 3;

class DrvWindowTest : public drvtest::DrvSetFixture {
 protected:
  // A scanner with three windows in use, each with all its cameras listed,
  // as the window commands will list them: the open's default fix-up counts
  // the windows and gives the new ones their values; the window rules keep
  // the current window and window-bin in step.
  void SetUp() override {
    DrvSetFixture::SetUp();
    ASSERT_EQ(m_pdatabase->GetWindowMax(), s_lWindows);
  }
  void BeforeDefaultFixUp() override {
    auto* pdbenumWindowBin = static_cast<CDbEnum*>(Machine(DB_ID_WINDOWBIN));
    auto* pdbenumWindow = static_cast<CDbEnum*>(Machine(DB_ID_WINDOW));
    for (long l = 1; l < s_lWindows; ++l) {
      pdbenumWindow->AddDefaultItem(l);
      pdbenumWindow->AddCurrentItem(l);
    }
    for (long l = 4; l < 4 * s_lWindows; ++l) {
      pdbenumWindowBin->AddDefaultItem(l);
      pdbenumWindowBin->AddCurrentItem(l);
    }
  }

  Reply Create(const std::string& a_strBody) {
    const Reply reply = Run(Task("<create>" + a_strBody + "</create>"));
    ExpectSound(reply);
    EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);
    return reply;
  }
  Reply CreateWindow(const std::string& a_strCameraType, const std::string& a_strImageFormat) {
    return Create("<id>window</id><cameratype>" + a_strCameraType + "</cameratype><imageformat>" +
                  a_strImageFormat + "</imageformat>");
  }
  Reply Destroy(const std::string& a_strBody) {
    const Reply reply = Run(Task("<destroy>" + a_strBody + "</destroy>"));
    ExpectSound(reply);
    EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);
    return reply;
  }
  Reply DestroyWindow(const std::vector<std::string>& a_vecTags) {
    std::string str = "<id>window</id>";
    for (const std::string& strTag : a_vecTags) str += "<windowtag>" + strTag + "</windowtag>";
    return Destroy(str);
  }

  bool Enabled(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
    CDbDatum* pdbdatum = m_pdatabase->FindInWindowBin(a_edbidwindow, a_edbbin, DB_ID_CAMERAENABLE);
    return pdbdatum && pdbdatum->GetCurrentLongNoCallback() == DB_ID_CAMERAENABLE_ENUM_TRUE;
  }
  long ImageFormat(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
    CDbDatum* pdbdatum = m_pdatabase->FindInWindowBin(a_edbidwindow, a_edbbin, DB_ID_IMAGEFORMAT);
    return pdbdatum ? pdbdatum->GetCurrentLongNoCallback() : -1;
  }
  // The cameras on, one text per bin: a digit per window in use.
  std::vector<std::string> Cameras() {
    std::vector<std::string> vec;
    for (EDBBIN edbbin : s_aedbbinCameras) {
      std::string str;
      for (EDBID_WINDOW edbidwindow = 0; edbidwindow < s_lWindows; ++edbidwindow)
        str += Enabled(edbidwindow, edbbin) ? '1' : '0';
      vec.push_back(str);
    }
    return vec;
  }
  // The first window whose camera of that bin is off, -1 for none.
  EDBID_WINDOW FirstFree(EDBBIN a_edbbin) {
    for (EDBID_WINDOW edbidwindow = 0; edbidwindow < s_lWindows; ++edbidwindow) {
      if (!Enabled(edbidwindow, a_edbbin)) return edbidwindow;
    }
    return -1;
  }
  // The window tag of a window-bin, as the lookup names it.
  std::string Tag(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
    const DbLookupEnum* pdblookupenum = m_pdatabase->LookupDbEnum(
        m_pdatabase->LookupEdbid(DB_ID_WINDOWBIN), m_pdatabase->ComposeWindowBin(a_edbidwindow, a_edbbin));
    return pdblookupenum ? pdblookupenum->szLexiconEnum : "";
  }
};

// ---------------------------------------------------------------------------
// Create
// ---------------------------------------------------------------------------
TEST_F(DrvWindowTest, RearGrayEnablesTheFirstFreeWindowOfTheRearColourBin) {
  const EDBID_WINDOW edbidwindow = FirstFree(DB_BIN_COLOR_REAR);
  ASSERT_EQ(edbidwindow, 0);
  const Reply reply = CreateWindow("rear", "gray_8");
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Reports(reply.strText), std::vector<std::string>{});
  EXPECT_EQ(Current("windowtag"), "rearcolor_00");
  EXPECT_TRUE(Enabled(0, DB_BIN_COLOR_REAR));
  EXPECT_EQ(ImageFormat(0, DB_BIN_COLOR_REAR), DB_ID_IMAGEFORMAT_ENUM_GRAY_8);
  EXPECT_EQ(Current("imageformat"), "gray_8");
  // The next one takes the next window.
  EXPECT_EQ(CreateWindow("rear", "gray_8").strStatus, "success");
  EXPECT_EQ(Current("windowtag"), "rearcolor_01");
}

// Each camera type maps the three image formats to a bin and a format; an
// image format it does not map, or no camera type, keeps the current
// window-bin's camera and the current format. Windows run out bin by bin.
TEST_F(DrvWindowTest, CameraTypeAndImageFormatPickTheBinAndFormat) {
  const struct {
    const char* szCameraType;
    const char* szImageFormat;
    EDBBIN edbbin;  // DB_BIN_SEARCH: the current one
    long lImageFormat;  // 0: the current one
  } acase[] = {
      {"front", "bw", DB_BIN_BITONAL_FRONT, 1},    {"front", "gray_8", DB_BIN_COLOR_FRONT, 2},
      {"front", "rgb_24", DB_BIN_COLOR_FRONT, 3},  {"flatbed", "bw", DB_BIN_BITONAL_FRONT, 1},
      {"flatbed", "gray_8", DB_BIN_COLOR_FRONT, 2}, {"flatbed", "rgb_24", DB_BIN_COLOR_FRONT, 3},
      {"rear", "bw", DB_BIN_BITONAL_REAR, 1},      {"rear", "rgb_24_raster", DB_BIN_SEARCH, 0},
      {"rear", "rgb_24", DB_BIN_COLOR_REAR, 3},    {"", "gray_8", DB_BIN_SEARCH, 0},
      {"rear", "gray_8", DB_BIN_COLOR_REAR, 2},    {"rear", "bw", DB_BIN_BITONAL_REAR, 1},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(std::string(c.szCameraType) + " " + c.szImageFormat);
    const EDBBIN edbbin =
        c.edbbin == DB_BIN_SEARCH ? m_pdatabase->GetBinFromWindowBin(m_pdatabase->GetWindowBin()) : c.edbbin;
    const long lImageFormat = c.lImageFormat ? c.lImageFormat : m_pdatabase->GetCurrentLongFromId(DB_ID_IMAGEFORMAT);
    const EDBID_WINDOW edbidwindow = FirstFree(edbbin);
    const std::vector<std::string> vecBefore = Values();
    const Reply reply = CreateWindow(c.szCameraType, c.szImageFormat);
    if (edbidwindow < 0) {
      EXPECT_EQ(reply.strStatus, "nomemory");
      EXPECT_EQ(Values(), vecBefore);
      continue;
    }
    EXPECT_EQ(reply.strStatus, "success");
    EXPECT_EQ(Current("windowtag"), Tag(edbidwindow, edbbin));
    EXPECT_TRUE(Enabled(edbidwindow, edbbin));
    EXPECT_EQ(ImageFormat(edbidwindow, edbbin), lImageFormat);
  }
  EXPECT_EQ(Cameras(), (std::vector<std::string>{"111", "111", "111", "111"}));
}

// Once every window of the bin is on there is no room; nothing changes.
TEST_F(DrvWindowTest, CreatingUntilNoneIsFreeAnswersNomemory) {
  for (long l = 0; l < s_lWindows; ++l) EXPECT_EQ(CreateWindow("front", "rgb_24").strStatus, "success");
  const std::vector<std::string> vecBefore = Values();
  EXPECT_EQ(CreateWindow("front", "rgb_24").strStatus, "nomemory");
  EXPECT_EQ(Values(), vecBefore);
  EXPECT_TRUE(m_plog->Contains("No more free windows..."));
  // The bitonal front camera of window 0 was on from the start.
  EXPECT_EQ(CreateWindow("front", "bw").strStatus, "success");
  EXPECT_EQ(CreateWindow("front", "bw").strStatus, "success");
  EXPECT_EQ(CreateWindow("front", "bw").strStatus, "nomemory");
}

// The camera types are compared whole and case-sensitively; a bin whose
// cropping the front end cannot set takes no window. Nothing changes.
TEST_F(DrvWindowTest, UnknownOrUnsupportedCamerasAnswerBadvalue) {
  m_pdatabase->SetAccess(m_pdatabase->FindDirect(DB_BIN_BITONAL_REAR, DB_ID_CROPPINGMODE), DB_ACCESS_READONLY);
  const struct {
    const char* szCameraType;
    const char* szImageFormat;
    const char* szLog;
  } acase[] = {
      {"side", "gray_8", "unrecognized cameratype...<side>"},
      {"Rear", "gray_8", "unrecognized cameratype...<Rear>"},
      {"frontrear", "bw", "unrecognized cameratype...<frontrear>"},
      {"rear", "bw", "unsupported cameratype...<rear>"},
  };
  const std::vector<std::string> vecBefore = Values();
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szCameraType);
    EXPECT_EQ(CreateWindow(c.szCameraType, c.szImageFormat).strStatus, "badvalue");
    EXPECT_TRUE(m_plog->Contains(c.szLog));
    EXPECT_EQ(Values(), vecBefore);
  }
}

// A format the bin does not allow refuses the window after it was made
// current and switched on: both are put back.
TEST_F(DrvWindowTest, ARefusedFormatLeavesTheWindowsAsTheyWere) {
  m_pdatabase->EnumDeleteItem(m_pdatabase->FindDirect(DB_BIN_COLOR_REAR, DB_ID_IMAGEFORMAT),
                              DB_ID_IMAGEFORMAT_ENUM_GRAY_8);
  const std::vector<std::string> vecBefore = Values();
  EXPECT_EQ(CreateWindow("rear", "gray_8").strStatus, "badvalue");
  EXPECT_TRUE(m_plog->Contains("create window failed...0 5 4"));
  EXPECT_EQ(Values(), vecBefore);
  EXPECT_EQ(Current("windowtag"), "frontbitonal_00");
}

// The window tag, link and override are taken and not used; a text longer
// than its field is refused whole, and nothing changes.
TEST_F(DrvWindowTest, ArgumentsAreTakenWholeOrRefused) {
  EXPECT_EQ(Create("<id>window</id><windowtag>frontcolor_02</windowtag><cameratype>rear</cameratype>"
                   "<imageformat>rgb_24</imageformat><link>frontcolor_00</link><override>x</override>")
                .strStatus,
            "success");
  EXPECT_EQ(Current("windowtag"), "rearcolor_00");
  const struct {
    std::string strElement;
    size_t sizetField;
  } acase[] = {{"windowtag", 255}, {"cameratype", 64}, {"imageformat", 64}, {"link", 255}, {"override", 64}};
  const std::vector<std::string> vecBefore = Values();
  for (const auto& c : acase) {
    SCOPED_TRACE(c.strElement);
    const std::string strText(c.sizetField, 'r');
    const std::string strElement = "<" + c.strElement + ">" + strText + "</" + c.strElement + ">";
    EXPECT_EQ(Create("<id>window</id><cameratype>rear</cameratype>" + strElement).strStatus, "fail");
    EXPECT_TRUE(m_plog->Contains("text too long for <" + c.strElement + ">"));
    EXPECT_EQ(Values(), vecBefore);
  }
  EXPECT_EQ(Create("<id>" + std::string(255, 'w') + "</id>").strStatus, "fail");
  EXPECT_EQ(Values(), vecBefore);
}

// ---------------------------------------------------------------------------
// Destroy
// ---------------------------------------------------------------------------
// The later windows move down into the destroyed one's place and the last
// window in use is left off; a second tag names the window current after.
TEST_F(DrvWindowTest, DestroyMovesTheLaterWindowsDown) {
  ASSERT_EQ(CreateWindow("rear", "gray_8").strStatus, "success");
  ASSERT_EQ(CreateWindow("rear", "gray_8").strStatus, "success");
  ASSERT_EQ(CreateWindow("rear", "rgb_24").strStatus, "success");
  ASSERT_EQ(Cameras(), (std::vector<std::string>{"100", "100", "000", "111"}));
  const Reply reply = DestroyWindow({"rearcolor_01", "frontbitonal_00"});
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Reports(reply.strText), std::vector<std::string>{});
  EXPECT_EQ(Cameras(), (std::vector<std::string>{"100", "100", "000", "110"}));
  EXPECT_EQ(ImageFormat(1, DB_BIN_COLOR_REAR), DB_ID_IMAGEFORMAT_ENUM_RGB_24);
  EXPECT_EQ(Current("windowtag"), "frontbitonal_00");
  // Without a second tag the window before the destroyed one is current.
  EXPECT_EQ(DestroyWindow({"rearcolor_01"}).strStatus, "success");
  EXPECT_EQ(Cameras(), (std::vector<std::string>{"100", "100", "000", "100"}));
  EXPECT_EQ(Current("windowtag"), "rearcolor_00");
}

// Window 0 cannot go while no later window has a camera on.
TEST_F(DrvWindowTest, DestroyOfTheLastWindowAnswersNotavailable) {
  const std::vector<std::string> vecBefore = Values();
  for (const char* szTag : {"frontbitonal_00", "rearcolor_00"}) {
    SCOPED_TRACE(szTag);
    EXPECT_EQ(DestroyWindow({szTag}).strStatus, "notavailable");
    EXPECT_TRUE(m_plog->Contains(std::string("can't destroy last window in this bin...<") + szTag + ">"));
  }
  EXPECT_EQ(Values(), vecBefore);
}

// Both tags are checked before anything changes: empty, unknown, not a
// listed window-bin. A third tag is ignored.
TEST_F(DrvWindowTest, DestroyTagsAreCheckedFirst) {
  ASSERT_EQ(CreateWindow("rear", "bw").strStatus, "success");
  const struct {
    std::vector<std::string> vecTags;
    const char* szLog;
  } acase[] = {
      {{}, "set windowtag can't be empty...<>"},
      {{""}, "set windowtag can't be empty...<>"},
      {{"Rearbitonal_01"}, "unrecognized destroy windowtag...<Rearbitonal_01>"},
      {{"rearbitonal_03"}, "unrecognized destroy windowtag...<rearbitonal_03>"},
      {{"rearbitonal_01", ""}, "unrecognized destroy set windowtag...<>"},
      {{"rearbitonal_01", "bogus"}, "unrecognized destroy set windowtag...<bogus>"},
      {{"rearbitonal_01", "frontcolor_05"}, "unrecognized destroy set windowtag...<frontcolor_05>"},
  };
  const std::vector<std::string> vecBefore = Values();
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szLog);
    EXPECT_EQ(DestroyWindow(c.vecTags).strStatus, "badvalue");
    EXPECT_TRUE(m_plog->Contains(c.szLog));
    EXPECT_EQ(Values(), vecBefore);
  }
  EXPECT_EQ(DestroyWindow({"rearbitonal_01", "frontcolor_00", "rearcolor_02"}).strStatus, "success");
  EXPECT_TRUE(m_plog->Contains("ignoring extra windowtag...<rearcolor_02>"));
  EXPECT_EQ(Current("windowtag"), "frontcolor_00");
  EXPECT_EQ(Cameras(), (std::vector<std::string>{"100", "100", "000", "000"}));
}

// ---------------------------------------------------------------------------
// Profiles and other ids
// ---------------------------------------------------------------------------
// Profiles through the profile list: a graphic that does not exist and a
// name no profile has answer "badvalue" and change nothing. Ids of neither
// kind fail.
TEST_F(DrvWindowTest, ProfilesAndUnknownIdsThroughTheProfileList) {
  const std::vector<std::string> vecBefore = Values();
  const struct {
    const char* szCommand;
    std::string strBody;
    const char* szStatus;
    const char* szLog;
  } acase[] = {
      {"create", "<id>profile</id><profileitem><text>mine</text><graphicfilename>g.png</graphicfilename></profileitem>",
       "badvalue", "Invalid graphic filename..."},
      {"destroy", "<id>profile</id><text>mine</text>", "badvalue", "profile not found...<mine>"},
      {"create", "<id>Window</id>", "fail", "unrecognized id...<Window>"},
      {"create", "", "fail", "unrecognized id...<>"},
      {"destroy", "<id>windows</id><windowtag>frontbitonal_00</windowtag>", "fail", "unrecognized id...<windows>"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.strBody);
    EXPECT_EQ((std::string(c.szCommand) == "create" ? Create(c.strBody) : Destroy(c.strBody)).strStatus, c.szStatus);
    EXPECT_TRUE(m_plog->Contains(c.szLog));
  }
  EXPECT_EQ(Values(), vecBefore);
  // This configuration names no user directory: a profile has nowhere to
  // go, and nothing is written anywhere.
  ASSERT_EQ(m_pdatabase->ProfileGetUserProfileDirectory(), nullptr);
  EXPECT_EQ(Create("<id>profile</id><profileitem><text>mine</text></profileitem>").strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("no user profile directory...<mine>"));
  EXPECT_EQ(Values(), vecBefore);
}

}  // namespace
