// The setmany command on an opened simulated scanner: its sets as one
// transaction, undone whole when one fails (lists and ranges with the
// values), its reply of everything they changed and of the cropping region,
// the state machine's refusal, and large or malformed commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <utility>
#include <string>
#include <vector>

#include "drv_set_fixture.h"
#include "rules_listing.h"

using drvtest::Reply;
using drvtest::Task;

namespace {

class DrvSetmanyTest : public drvtest::DrvSetFixture {
 protected:
  // Every datum of every window with its access, value, list and range: the
  // state listing without the change marks and the previous values, which
  // a restore rewrites.
  std::string Fingerprint() {
    std::istringstream iss(ruleslisting::State(*m_pdatabase));
    std::string strOut;
    for (std::string strLine; std::getline(iss, strLine);) {
      std::istringstream issLine(strLine);
      std::vector<std::string> vecWords;
      for (std::string strWord; issLine >> strWord;) vecWords.push_back(strWord);
      if (vecWords.empty() || std::string("ERSW").find(vecWords[0]) == std::string::npos || vecWords[0].size() != 1)
        continue;
      const size_t sizetPrevious = vecWords[0] == "S" ? 9 : 8;
      if (vecWords.size() > sizetPrevious) vecWords.erase(vecWords.begin() + static_cast<long>(sizetPrevious));
      for (const std::string& strWord : vecWords) strOut += strWord + " ";
      strOut += "\n";
    }
    return strOut;
  }
  // The lines of the fingerprint that differ from an earlier one, for a
  // readable failure.
  std::string Changes(const std::string& a_strBefore) {
    std::istringstream issBefore(a_strBefore);
    std::istringstream issNow(Fingerprint());
    std::string strChanges;
    std::string strBefore;
    std::string strNow;
    while (std::getline(issBefore, strBefore) && std::getline(issNow, strNow)) {
      if (strBefore != strNow) strChanges += "- " + strBefore + "\n+ " + strNow + "\n";
    }
    return strChanges;
  }
};

// Whatever fails third, the first two sets (a value, a new list, a new
// range, the window list) are undone and the answer is "badvalue".
TEST_F(DrvSetmanyTest, ThirdSetFailingUndoesTheFirstTwo) {
  const std::vector<std::pair<std::string, std::string>> vecFirstTwo = {
      {Body("units", "centimeters"), Body("powerofftimeout", "30")},
      {Body("units", "centimeters", Enum({"centimeters", "inches"})), Body("powerofftimeout", "20", Range("10", "90", "5"))},
      {List({"frontcolor_00"}), Body("imagedeskew", "false")},
  };
  const struct {
    std::string strThird;
    const char* szLog;
  } acase[] = {
      {Body("units", "furlongs"), "Unrecognized lexicon enum furlongs..."},
      {Body("units", "inches", Enum({"furlongs"})), "Unrecognized lexicon enum furlongs for units..."},
      {Body("outputimagecount", "1"), "outputimagecount cannot be set..."},
      {Body("serialnumber", "x"), "Invalid Access 3"},
      {Body(std::string(1024, 'i'), "1"), "text too long for <id>"},
      {List({"frontcolor_00", "bogus"}), "pdblookupenum is null for bogus"},
      {List(std::vector<std::string>(97, "frontcolor_00")), "Array overflow for the list 96..."},
      {"<id>windowenabled</id><list><value>frontcolor_00</value></list>", "Unrecognized id windowenabled..."},
      {Body("powerofftimeout", "2147483648"), "number beyond 32 bits..."},
      {"<id>imagecroppingregion</id>", "Unrecognized edriversettype 1..."},
  };
  const std::string strBefore = Fingerprint();
  const std::vector<std::string> vecBefore = Values();
  for (const auto& firsttwo : vecFirstTwo) {
    for (const auto& c : acase) {
      SCOPED_TRACE(firsttwo.first.substr(0, 60) + " / " + c.strThird.substr(0, 60));
      const Reply reply = Setmany({firsttwo.first, firsttwo.second, c.strThird});
      ExpectSound(reply);
      EXPECT_EQ(reply.strStatus, "badvalue");
      EXPECT_TRUE(Reports(reply.strText).empty());
      EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
      EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);
      EXPECT_EQ(Values(), vecBefore);
      EXPECT_EQ(Changes(strBefore), "");
      EXPECT_EQ(Current("units"), "inches");
      EXPECT_EQ(CurrentList("units"), (std::vector<std::string>{"inches", "centimeters", "pixels"}));
      EXPECT_EQ(All(Get("powerofftimeout").strText, "rangemin")[0], "0");
    }
  }
}

// One set: the values it changed (image format first), then the cropping
// region, in one reply.
TEST_F(DrvSetmanyTest, OneSetReportsItsChangesAndTheCroppingRegion) {
  const Reply reply = Setmany({Body("units", "pixels")});
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Reports(reply.strText),
            (std::vector<std::string>{"reportenum", "reportenumdefault", "reportenum", "reportenumdefault",
                                      "reportregion", "reportregiondefault"}));
  EXPECT_EQ(ReportedIds(reply.strText), (std::vector<std::string>{"imageformat", "units"}));
  const std::string strRegion = reply.strText.substr(reply.strText.find("<reportregion>"));
  EXPECT_EQ(All(strRegion, "id"), (std::vector<std::string>{"imagecroppingregion", "imagecroppingregion"}));
  EXPECT_EQ(All(strRegion, "imageskewangle").size(), 2u);
  EXPECT_EQ(Current("units"), "pixels");
}

// The changes of all sets are reported together, each capability once.
TEST_F(DrvSetmanyTest, ChangesOfAllSetsAreReportedTogether) {
  const Reply reply = Setmany({Body("units", "centimeters"), Body("powerofftimeout", "20", Range("10", "90", "5")),
                               Body("units", "pixels", Enum({"pixels", "inches"})), List({"frontcolor_00"})});
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  const std::vector<std::string> vecIds = ReportedIds(reply.strText);
  EXPECT_EQ(vecIds[0], "imageformat");
  // Each capability once, the cameras once per window-bin of the windows in
  // use (window 0 alone, as a scanner opens).
  ASSERT_EQ(m_pdatabase->GetWindowMax(), 1);
  for (const char* szId : {"units", "powerofftimeout", "windowenabled", "sidesdifferent"})
    EXPECT_EQ(std::count(vecIds.begin(), vecIds.end(), szId), szId == std::string("windowenabled") ? 4 : 1) << szId;
  EXPECT_EQ(Current("units"), "pixels");
  EXPECT_EQ(CurrentList("units"), (std::vector<std::string>{"pixels", "inches"}));
  EXPECT_EQ(Current("powerofftimeout"), "20");
}

// A setmany in Scan is refused by the state machine: nothing is remembered
// or put back, so a value set before it stays.
TEST_F(DrvSetmanyTest, InScanIsRefusedAndLeavesTheValues) {
  ASSERT_EQ(SetValue("units", "centimeters").strStatus, "success");
  Drive({{"scanbegin", OS_STS_SUCCESS}});
  const Reply reply = Setmany({Body("units", "pixels"), Body("units", "furlongs")});
  EXPECT_EQ(reply.strStatus, "invalidstate");
  EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_SCAN);
  EXPECT_EQ(Value(DB_BIN_MACHINE, DB_ID_UNITS), DB_ID_UNITS_ENUM_CENTIMETERS);
}

TEST_F(DrvSetmanyTest, FiveHundredSets) {
  std::vector<std::string> vecBodies;
  for (int i = 0; i < 500; ++i)
    vecBodies.push_back(i % 2 ? Body("powerofftimeout", std::to_string(i % 240)) : Body("units", i % 4 ? "pixels" : "inches"));
  vecBodies.back() = Body("units", "centimeters");
  const Reply reply = Setmany(vecBodies);
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(ReportedIds(reply.strText), (std::vector<std::string>{"imageformat", "powerofftimeout", "units"}));
  EXPECT_EQ(Current("units"), "centimeters");
  EXPECT_EQ(Current("powerofftimeout"), std::to_string(497 % 240));
  // And one whose last fails puts all 499 back.
  vecBodies.back() = Body("units", "furlongs");
  const std::string strBefore = Fingerprint();
  EXPECT_EQ(Setmany(vecBodies).strStatus, "badvalue");
  EXPECT_EQ(Changes(strBefore), "");
}

// A setmany holds sets only: one nested in it is not part of the grammar and
// is passed over with its sets; an empty setmany changes nothing.
TEST_F(DrvSetmanyTest, NestedAndEmptySetmanyChangeNothing) {
  const std::string strBefore = Fingerprint();
  for (const std::string& strTask :
       {std::string("<setmany><setmany><set>") + Body("units", "pixels") + "</set></setmany></setmany>",
        std::string("<setmany></setmany>")}) {
    SCOPED_TRACE(strTask);
    const Reply reply = Run(Task(strTask));
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "success");
    EXPECT_TRUE(Reports(reply.strText).empty());
    EXPECT_EQ(m_pdatabase->TestDbState(DB_STATE_APPLICATION), 0);
  }
  EXPECT_EQ(Changes(strBefore), "");
}

}  // namespace
