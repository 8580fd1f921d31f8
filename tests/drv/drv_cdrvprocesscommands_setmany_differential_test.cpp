// The setmany command run two ways on fresh databases of an opened
// simulated scanner with an imprinter: 1,000 seeded setmany tasks of 2 to 12
// values over capabilities whose rules move one another (cropping, paper
// size, resolution, colour, imprinter, multifeed, sides), run once with the
// fix-up pass stepping through the rows of window 0 and once with the table
// walk it replaced, must leave the same database (every value, access, list
// and range in every window, and the change marks) and give the same reply.
// A single pass at the end of a setmany in place of the passes of each set
// changed the database or the reply of about half of these cases: the
// rules follow the one value that started a pass, and a later set is judged
// by what the passes of the earlier ones left. Each set keeps its passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdblookup.h"
#include "drv_set_fixture.h"
#include "rules_listing.h"

namespace {

using drvtest::Reply;

// The capabilities the sets choose from; those the model lacks are left out.
const char* const s_aszCapability[] = {
    "imagecroppingmode", "imageoffsetx",      "imageoffsety",     "imagewidth",          "imageheight",
    "imageskewangle",    "imagedeskew",       "windowsize",       "imagepreset",         "papersource",
    "imageresolutionx",  "imageformat",       "compressionmode",  "contrast",            "colorbrightness",
    "colorbrightnessmode", "binarizationmode", "printer",         "printerfont",         "printerposition",
    "printerindexresetvalue", "multifeedresponse", "multifeedlength", "multifeedlengthenabled", "sidesdifferent",
    "imagesdifferent",   "orientation",       "edgefill",         "units",               "blankimagemode"};

const char* const s_aszCameraType[] = {"front", "rear", "frontrear"};
const char* const s_aszWindowType[] = {"all", "color", "bitonal"};

// One capability with the values a set may give it: the entries of its
// allowed list, or numbers of its range (on and off its step, and beyond).
struct Choice {
  std::string strId;
  std::vector<std::string> vecValues;
};

}  // namespace

class DrvSetmanyDifferentialTest : public drvtest::DrvSetFixture {
 protected:
  // The seeded cases, run as four tests of their own (each a process).
  static constexpr size_t s_sizetCases = 1000;

  const char* SimModel() const override { return "mapleC"; }

  // A database as the open leaves it, in place of the one before.
  void Fresh() {
    TearDown();
    SetUp();
  }
  // Each debug line costs a write: thousands of opens would be the most of
  // the time. Refusals are still logged.
  long LogLevel() const override { return 0; }

  std::vector<Choice> Choices() {
    std::vector<Choice> vecchoice;
    for (const char* szId : s_aszCapability) {
      DbLookup2* pdblookup2 = m_pdatabase->LookupDriverLexicon(szId);
      CDbDatum* pdbdatum = pdblookup2 ? m_pdatabase->Find(pdblookup2->edbid) : nullptr;
      if (!pdbdatum || m_pdatabase->GetAccess(pdbdatum) == DB_ACCESS_NOTSUPPORTED) continue;
      Choice choice{szId, {}};
      switch (m_pdatabase->GetContainerType(pdbdatum)) {
        case DB_CONTAINERTYPE_ENUM:
          for (long l = 0; l < m_pdatabase->EnumGetDefaultItemCount(pdbdatum); ++l) {
            DbLookupEnum* pdblookupenum = m_pdatabase->LookupDbEnum(pdblookup2, m_pdatabase->EnumGetDefaultItem(pdbdatum, l));
            if (pdblookupenum && pdblookupenum->szLexiconEnum) choice.vecValues.emplace_back(pdblookupenum->szLexiconEnum);
          }
          break;
        case DB_CONTAINERTYPE_RANGE: {
          const long lMin = m_pdatabase->RangeGetCurrentMin(pdbdatum);
          const long lMax = m_pdatabase->RangeGetCurrentMax(pdbdatum);
          const long lStep = std::max(1L, m_pdatabase->RangeGetCurrentStep(pdbdatum));
          for (long l : {lMin, lMax, lMin + (lMax - lMin) / 2 / lStep * lStep, lMin + (lMax - lMin) / 3 / lStep * lStep,
                         lMin + (lMax - lMin) / 5 / lStep * lStep, lMin + lStep, lMax - lStep, lMin + 1, lMax + lStep})
            choice.vecValues.push_back(std::to_string(l));
          break;
        }
        default:
          continue;
      }
      if (!choice.vecValues.empty()) vecchoice.push_back(choice);
    }
    return vecchoice;
  }

  // The seeded cases: each a setmany task of 2 to 12 sets, now and then
  // naming the cameras and image kinds the set reaches.
  std::vector<std::string> Cases(const std::vector<Choice>& a_vecchoice, size_t a_sizetCases, unsigned a_uSeed) {
    std::mt19937 mt19937(a_uSeed);
    auto Pick = [&](size_t a_sizet) { return static_cast<size_t>(mt19937() % a_sizet); };
    std::vector<std::string> vecCases;
    for (size_t sizetCase = 0; sizetCase < a_sizetCases; ++sizetCase) {
      std::string strSetmany = "<setmany>";
      const size_t sizetSets = 2 + Pick(11);
      for (size_t sizetSet = 0; sizetSet < sizetSets; ++sizetSet) {
        const Choice& choice = a_vecchoice[Pick(a_vecchoice.size())];
        std::string strMore;
        if (Pick(6) == 0)
          strMore = std::string("<cameratype>") + s_aszCameraType[Pick(3)] + "</cameratype><windowtype>" +
                    s_aszWindowType[Pick(3)] + "</windowtype>";
        strSetmany += "<set>" + Body(choice.strId, choice.vecValues[Pick(choice.vecValues.size())], strMore) + "</set>";
      }
      vecCases.push_back(strSetmany + "</setmany>");
    }
    return vecCases;
  }

  void FixUpBothWays(int a_iQuarter) {
    Differential(a_iQuarter, [] { CDatabase::SetFixUpWalkSeam(true); }, [] { CDatabase::SetFixUpWalkSeam(false); });
    CDatabase::SetFixUpWalkSeam(false);
  }

  struct Outcome {
    std::string strReply;
    std::string strState;
  };

  Outcome RunOn(const std::string& a_strSetmany) {
    Fresh();
    Outcome outcome;
    outcome.strReply = Run(drvtest::Task(a_strSetmany)).strText;
    outcome.strState = ruleslisting::State(*m_pdatabase);
    return outcome;
  }

  // The first line in which two listings differ, for a readable failure.
  static std::string FirstDifference(const std::string& a_strA, const std::string& a_strB) {
    size_t sizet = 0;
    while (sizet < a_strA.size() && sizet < a_strB.size() && a_strA[sizet] == a_strB[sizet]) ++sizet;
    const size_t sizetLine = a_strA.rfind('\n', sizet) == std::string::npos ? 0 : a_strA.rfind('\n', sizet) + 1;
    return "- " + a_strA.substr(sizetLine, a_strA.find('\n', sizet) - sizetLine) + "\n+ " +
           a_strB.substr(sizetLine, a_strB.find('\n', sizet) - sizetLine);
  }

  // Runs a quarter of the cases (a_iQuarter 0 to 3) both ways; a_wayA and
  // a_wayB set the way up.
  void Differential(int a_iQuarter, const std::function<void()>& a_wayA, const std::function<void()>& a_wayB) {
    const std::vector<Choice> vecchoice = Choices();
    ASSERT_GE(vecchoice.size(), 20u);
    const std::vector<std::string> vecCases = Cases(vecchoice, s_sizetCases, 104);
    long lSucceeded = 0;
    long lDiffering = 0;
    const size_t sizetFirst = s_sizetCases / 4 * static_cast<size_t>(a_iQuarter);
    for (size_t sizet = sizetFirst; sizet < sizetFirst + s_sizetCases / 4; ++sizet) {
      a_wayA();
      const Outcome outcomeA = RunOn(vecCases[sizet]);
      a_wayB();
      const Outcome outcomeB = RunOn(vecCases[sizet]);
      if (outcomeA.strReply.find("<status>success</status>") != std::string::npos) ++lSucceeded;
      const bool blSame = outcomeA.strReply == outcomeB.strReply && outcomeA.strState == outcomeB.strState;
      if (!blSame && ++lDiffering <= 3) {
        ADD_FAILURE() << "case " << sizet << ": " << vecCases[sizet] << "\n"
                      << (outcomeA.strReply == outcomeB.strReply ? "state "
                                                                  : "reply " + FirstDifference(outcomeA.strReply,
                                                                                               outcomeB.strReply) +
                                                                        "\nstate ")
                      << FirstDifference(outcomeA.strState, outcomeB.strState);
      }
    }
    EXPECT_EQ(lDiffering, 0);
    // The cases reach far: many succeed, and more are refused and put back.
    EXPECT_GT(lSucceeded, 50) << lSucceeded;
    EXPECT_LT(lSucceeded, 200) << lSucceeded;
  }
};

// The fix-up pass reads the rows of window 0 in place; the table walk of
// DbDatumFindNext is the reference it must match, set for set.
TEST_F(DrvSetmanyDifferentialTest, FixUpRowsMatchTheTableWalkFirstQuarter) { FixUpBothWays(0); }
TEST_F(DrvSetmanyDifferentialTest, FixUpRowsMatchTheTableWalkSecondQuarter) { FixUpBothWays(1); }
TEST_F(DrvSetmanyDifferentialTest, FixUpRowsMatchTheTableWalkThirdQuarter) { FixUpBothWays(2); }
TEST_F(DrvSetmanyDifferentialTest, FixUpRowsMatchTheTableWalkFourthQuarter) { FixUpBothWays(3); }

// A setmany whose sixth value is refused puts back every value and access
// that the five before it and their rules changed.
TEST_F(DrvSetmanyDifferentialTest, SixthValueRefusedRestoresTheWhole) {
  const std::vector<std::string> vecBefore = Values();
  const std::vector<std::string> vecFive = {Body("imagecroppingmode", "fixed"), Body("windowsize", "a4"),
                                            Body("imageresolutionx", "300_dpi"), Body("contrast", "10"),
                                            Body("binarizationmode", "atp")};
  std::vector<std::string> vecSets = vecFive;
  vecSets.push_back(Body("imageresolutionx", "7_dpi"));
  vecSets.push_back(Body("printerfont", "smallcomic"));
  const Reply reply = Setmany(vecSets);
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "badvalue");
  EXPECT_TRUE(Reports(reply.strText).empty());
  EXPECT_TRUE(m_plog->Contains("Unrecognized lexicon enum 7_dpi..."));
  EXPECT_EQ(Values(), vecBefore);
  // The five alone succeed and change what the refusal put back.
  ASSERT_EQ(Setmany(vecFive).strStatus, "success");
  EXPECT_NE(Values(), vecBefore);
}

// Every refused case of the seeded ones leaves the database as it found it:
// every value, access, list and range in every window (the rules move
// ranges of capabilities no set names, such as the image height's maximum
// with the paper size). Left out: the change marks and the previous value
// of numbers, for putting a value back is a change like any other.
TEST_F(DrvSetmanyDifferentialTest, EveryRefusedCaseLeavesTheWholeDatabaseAsItWas) {
  auto WithoutMarks = [](const std::string& a_strState) {
    std::string str;
    for (size_t sizet = 0; sizet < a_strState.size();) {
      const size_t sizetEnd = std::min(a_strState.find('\n', sizet), a_strState.size());
      std::string strLine = a_strState.substr(sizet, sizetEnd + 1 - sizet);
      sizet = sizetEnd + 1;
      if (strLine.rfind("N ", 0) == 0) continue;
      // Kind, window, id, bin, access, device, (a text's most length,)
      // current, default: then the previous value.
      const int iPrevious = strLine.rfind("S ", 0) == 0 ? 9 : 8;
      if (strLine.rfind("R ", 0) == 0 || strLine.rfind("E ", 0) == 0 || iPrevious == 9) {
        size_t sizetField = 0;
        for (int i = 0; i < iPrevious && sizetField != std::string::npos; ++i)
          sizetField = strLine.find(' ', sizetField + 1);
        const size_t sizetFieldEnd = strLine.find(' ', sizetField + 1);
        if (sizetField != std::string::npos && sizetFieldEnd != std::string::npos)
          strLine.replace(sizetField + 1, sizetFieldEnd - sizetField - 1, "-");
      }
      str += strLine;
    }
    return str;
  };
  const std::vector<std::string> vecCases = Cases(Choices(), 250, 1104);
  long lRefused = 0, lDiffering = 0;
  for (size_t sizet = 0; sizet < vecCases.size(); ++sizet) {
    Fresh();
    const std::string strBefore = WithoutMarks(ruleslisting::State(*m_pdatabase));
    const std::string strReply = Run(drvtest::Task(vecCases[sizet])).strText;
    if (strReply.find("<status>success</status>") != std::string::npos) continue;
    ++lRefused;
    const std::string strAfter = WithoutMarks(ruleslisting::State(*m_pdatabase));
    if (strAfter != strBefore && ++lDiffering <= 3)
      ADD_FAILURE() << "case " << sizet << ": " << vecCases[sizet] << "\n" << FirstDifference(strBefore, strAfter);
  }
  EXPECT_EQ(lDiffering, 0);
  EXPECT_GT(lRefused, 100) << lRefused;
}
