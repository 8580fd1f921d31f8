// The data-file set and the profile item on an opened simulated scanner.
// The override document is written into the test's root as a front end
// writes it, then named by a set of "customoverride"; the override record is
// read back from the database. Profile files and items answer from their
// argument checks, and "fail" once those pass, until there are profiles.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_cdrvoverride.h"
#include "drv_set_fixture.h"
#include "os_cosmem.h"

using drvtest::Reply;
using drvtest::Task;

namespace {

struct Words {
  uint32_t u32DocumentType, u32Ecdo, u32EcdoCustom;
  bool operator==(const Words&) const = default;
};
std::ostream& operator<<(std::ostream& a_os, const Words& a_words) {
  return a_os << "{" << a_words.u32DocumentType << ", " << a_words.u32Ecdo << ", " << a_words.u32EcdoCustom << "}";
}

// DOCUMENTTYPE's values as the front ends know them.
constexpr uint32_t s_u32Photo = 1;
constexpr uint32_t s_u32Text = 3;

class DrvSetDataFileTest : public drvtest::DrvSetFixture {
 protected:
  void SetUp() override {
    DrvSetFixture::SetUp();
    // The scanner's list and the user's: "dual" is in both.
    FillEcdo(m_pdatabase->DeviceGetEcdoHeader()->adbecdorecord, {{11, "red"}, {12, "green"}, {13, "dual"}});
    FillEcdo(m_pdatabase->DeviceGetEcdoCustomHeader()->adbecdorecord, {{21, "dual"}, {22, "mine"}});
  }

  template <size_t N>
  static void FillEcdo(DbEcdoRecord (&a_adbecdorecord)[N], const std::vector<std::pair<uint32_t, std::string>>& a_vec) {
    for (DbEcdoRecord& dbecdorecord : a_adbecdorecord) dbecdorecord = {};
    for (size_t sizet = 0; sizet < a_vec.size(); ++sizet) {
      a_adbecdorecord[sizet].u32Value = a_vec[sizet].first;
      std::snprintf(a_adbecdorecord[sizet].szName, sizeof a_adbecdorecord[sizet].szName, "%s",
                    a_vec[sizet].second.c_str());
    }
  }

  // A set of a data file.
  static std::string DataFile(const std::string& a_strId, const std::string& a_strFilename,
                              const std::string& a_strSize, const std::string& a_strOffset = "0") {
    return "<id>" + a_strId + "</id><datafile><filename>" + a_strFilename + "</filename><datasize>" + a_strSize +
           "</datasize><dataoffset>" + a_strOffset + "</dataoffset></datafile>";
  }
  // The document written where a front end writes it; its path.
  std::string WriteDocument(const std::string& a_strDocument, const std::string& a_strName = "override.xml") {
    const std::string strPath = testsupport::RootPath(a_strName);
    testsupport::WriteFile(strPath, a_strDocument);
    return strPath;
  }
  // The override set of a document, as the front end sends it.
  Reply Override(const std::string& a_strDocument) {
    const std::string strPath = WriteDocument(a_strDocument);
    return Set(DataFile("customoverride", strPath, std::to_string(a_strDocument.size())));
  }
  Words Record() {
    CDbLockGuard dblockguard;
    const DbOverride* pdboverride = m_pdatabase->GetOverride();
    return {pdboverride->u32DocumentType, pdboverride->u32Ecdo, pdboverride->u32EcdoCustom};
  }
  void SetRecord(const Words& a_words) {
    CDbLockGuard dblockguard;
    *m_pdatabase->GetOverride() = {a_words.u32DocumentType, a_words.u32Ecdo, a_words.u32EcdoCustom};
  }
  // The texts of an element in the device tasks the database writes for a
  // scan.
  std::vector<std::string> Sent(const char* a_szElement) {
    m_strSent.clear();
    CDbLockGuard dblockguard;
    EXPECT_EQ(m_pdatabase->MakeXmlAll(nullptr, &DrvSetDataFileTest::CaptureDevice, this), OS_STS_SUCCESS);
    return All(m_strSent, a_szElement);
  }
  static EOSSTS CaptureDevice(void* a_pvTest) {
    auto* ptest = static_cast<DrvSetDataFileTest*>(a_pvTest);
    ptest->m_strSent += ptest->m_pdatabase->GetDbMakeXml()->GetTaskBuffer();
    return OS_STS_SUCCESS;
  }
  std::string m_strSent;
  static std::string Document(const std::string& a_strBody) { return "<override>" + a_strBody + "</override>"; }
  static std::string Element(const std::string& a_strName, const std::string& a_strText) {
    return "<" + a_strName + ">" + a_strText + "</" + a_strName + ">";
  }
};

// ---------------------------------------------------------------------------
// The override document
// ---------------------------------------------------------------------------
// The record is cleared at the document's start; a document type alone
// leaves the dropout words at 0. The file is gone and the reply is the
// status alone.
TEST_F(DrvSetDataFileTest, DocumentTypeAloneSetsTheFirstWord) {
  SetRecord({9, 9, 9});
  const Reply reply = Override(Document(Element("documenttype", "text")));
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_TRUE(Reports(reply.strText).empty());
  EXPECT_EQ(Record(), (Words{s_u32Text, 0, 0}));
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("override.xml")));
  // The record is not a setting: the values are as they were, and a get of
  // the document type still shows its own.
  EXPECT_EQ(Current("documenttype"), "textwithgraphics");
}

// The rules that write the device tasks take what the record forces in place
// of the settings: the document type, and the dropout by its name in the
// list the record names.
TEST_F(DrvSetDataFileTest, TheDeviceTasksCarryWhatTheDocumentForces) {
  ASSERT_EQ(Current("documenttype"), "textwithgraphics");
  // The dropouts this test lists are the bitonal cameras' to offer.
  for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR})
    m_pdatabase->SetAccess(m_pdatabase->FindDirect(edbbin, DB_ID_ECDO), DB_ACCESS_READWRITE);
  EXPECT_TRUE(Sent("ecdo").empty());
  const std::vector<std::string> vecDocumentType = Sent("documenttype");
  ASSERT_FALSE(vecDocumentType.empty());
  EXPECT_EQ(vecDocumentType, std::vector<std::string>(vecDocumentType.size(), "textwithgraphics"));

  for (const auto& [strDocument, strEcdo] :
       {std::pair<std::string, std::string>{"mine", "mine"}, {"green", "green"}, {"dual", "dual"}}) {
    SCOPED_TRACE(strDocument);
    ASSERT_EQ(Override(Document(Element("documenttype", "photo") + Element("ecdo", strDocument))).strStatus, "success");
    EXPECT_EQ(Sent("documenttype"), std::vector<std::string>(vecDocumentType.size(), "photo"));
    const std::vector<std::string> vecEcdo = Sent("ecdo");
    ASSERT_FALSE(vecEcdo.empty());
    EXPECT_EQ(vecEcdo, std::vector<std::string>(vecEcdo.size(), strEcdo));
  }
  // The custom word wins over the scanner's, whichever element came first.
  ASSERT_EQ(Override(Document(Element("ecdo", "mine") + Element("ecdo", "green"))).strStatus, "success");
  EXPECT_EQ(Sent("ecdo")[0], "mine");
  EXPECT_EQ(Sent("documenttype")[0], "textwithgraphics");
}

// A name in both lists selects the user's dropout; each match sets its own
// word, a later one of the same list overwriting an earlier one.
TEST_F(DrvSetDataFileTest, DropoutsAreLookedUpInTheCustomListFirst) {
  const struct {
    std::string strBody;
    Words words;
  } acase[] = {
      {Element("ecdo", "dual"), {0, 0, 21}},
      {Element("ecdo", "red"), {0, 11, 0}},
      {Element("ecdo", "mine"), {0, 0, 22}},
      {Element("documenttype", "photo") + Element("ecdo", "green"), {s_u32Photo, 12, 0}},
      {Element("ecdo", "mine") + Element("ecdo", "red"), {0, 11, 22}},
      {Element("ecdo", "red") + Element("ecdo", "green") + Element("ecdo", "dual") + Element("ecdo", "mine"),
       {0, 12, 22}},
      {Element("ecdo", "dual") + Element("documenttype", "text"), {s_u32Text, 0, 21}},
      {"", {0, 0, 0}},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.strBody);
    SetRecord({5, 6, 7});
    const Reply reply = Override(Document(c.strBody));
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "success");
    EXPECT_EQ(Record(), c.words);
  }
}

// A document that names what the database does not know stops there: the
// record keeps what the elements before it stored. One that is no override
// document leaves the record alone. Either way the file was read whole and
// is gone.
TEST_F(DrvSetDataFileTest, DocumentsThatFail) {
  const Words wordsBefore = {5, 6, 7};
  const struct {
    std::string strDocument;
    Words words;
    const char* szLog;
  } acase[] = {
      {Document(Element("documenttype", "text") + Element("ecdo", "blue")),
       {s_u32Text, 0, 0},
       "Unable to find ecdo for blue"},
      {Document(Element("ecdo", "Red")), {0, 0, 0}, "Unable to find ecdo for Red"},
      {Document(Element("ecdo", "")), {0, 0, 0}, "Unable to find ecdo for "},
      {Document(Element("documenttype", "Text")), {0, 0, 0}, "Unable to find LookupLexiconEnum for Text"},
      {Document(Element("ecdo", "red") + Element("documenttype", "nosuchtype")),
       {0, 11, 0},
       "Unable to find LookupLexiconEnum for nosuchtype"},
      {"override documenttype text", wordsBefore, "DocumentLoadAndDispatch failed..."},
      {"<override><documenttype>text</documenttype>", wordsBefore, "DocumentLoadAndDispatch failed..."},
      {"<overrides>" + Element("documenttype", "text") + "</overrides>", wordsBefore,
       "Not an override document...<overrides>"},
      {Element("documenttype", "text"), wordsBefore, "Not an override document...<documenttype>"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.strDocument);
    SetRecord(wordsBefore);
    const Reply reply = Override(c.strDocument);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "fail");
    EXPECT_TRUE(Reports(reply.strText).empty());
    EXPECT_EQ(Record(), c.words);
    EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
    EXPECT_TRUE(m_plog->Contains("Failed to Process override...<1>"));
    EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("override.xml")));
  }
  // A name past the end of a list (an entry numbered 0 or without a name)
  // is not in it.
  FillEcdo(m_pdatabase->DeviceGetEcdoHeader()->adbecdorecord,
           {{11, "red"}, {0, "ended"}, {13, "after"}, {14, ""}, {15, "beyond"}});
  FillEcdo(m_pdatabase->DeviceGetEcdoCustomHeader()->adbecdorecord, {{21, ""}, {22, "mine"}});
  for (const char* szName : {"ended", "after", "beyond", "mine"})
    EXPECT_EQ(Override(Document(Element("ecdo", szName))).strStatus, "fail") << szName;
  EXPECT_EQ(Override(Document(Element("ecdo", "red"))).strStatus, "success");
}

// The size names how much of the file is the document: it must be more than
// 0, at most 1 MiB and no more than the file holds, else "badvalue" and the
// file stays. A file that cannot be opened answers "fail".
TEST_F(DrvSetDataFileTest, DataSizesAndFilesThatAreRefused) {
  const std::string strDocument = Document(Element("documenttype", "text"));
  const std::string strPath = WriteDocument(strDocument);
  const std::string strSize = std::to_string(strDocument.size());
  const std::string strDirectory = testsupport::RootPath("adirectory");
  std::filesystem::create_directories(strDirectory);
  const struct {
    std::string strBody;
    const char* szStatus;
    const char* szLog;
  } acase[] = {
      {DataFile("customoverride", strPath, "0"), "badvalue", "override data size refused...<0>"},
      {DataFile("customoverride", strPath, "-1"), "badvalue", "override data size refused...<-1>"},
      {DataFile("customoverride", strPath, "2147483647"), "badvalue", "override data size refused...<2147483647>"},
      {DataFile("customoverride", strPath, "1048577"), "badvalue", "override data size refused...<1048577>"},
      {DataFile("customoverride", strPath, std::to_string(strDocument.size() + 1)), "badvalue",
       "override data size beyond the file..."},
      {DataFile("customoverride", strPath, "4294967296"), "badvalue", "number beyond 32 bits...<4294967296>"},
      {DataFile("customoverride", strPath, "abc"), "badvalue", "override data size refused...<0>"},
      {DataFile("customoverride", testsupport::RootPath("missing.xml"), strSize), "fail",
       "Failed to open override file...<"},
      {DataFile("customoverride", strDirectory, strSize), "fail", "Failed to open override file...<"},
      {DataFile("customoverride", "", strSize), "fail", "Failed to open override file...<"},
      {DataFile("customoverride", std::string(2000, 'f'), strSize), "badvalue", "text too long for <filename>"},
      {"<id>customoverride</id><datafile><filename>" + strPath + "</filename><datasize>" + strSize +
           "</datasize></datafile>",
       "badvalue", "Missing argument(s) <filename>, <datasize>, or <dataoffset> for <datafile> subcommand"},
      {DataFile("customoverrides", strPath, strSize), "fail",
       "Unsupported lexicon id for <datafile>...<customoverrides>"},
      {"<datafile><filename>" + strPath + "</filename><datasize>" + strSize +
           "</datasize><dataoffset>0</dataoffset></datafile>",
       "fail", "Unrecognized edriversettype 16..."},
  };
  SetRecord({5, 6, 7});
  for (const auto& c : acase) {
    ExpectRefused(c.strBody, c.szStatus, c.szLog);
    EXPECT_TRUE(testsupport::FileExists(strPath));
    EXPECT_EQ(Record(), (Words{5, 6, 7}));
  }
  EXPECT_TRUE(std::filesystem::is_directory(strDirectory));
  // A kernel file claims a page and holds a few bytes: its read comes up
  // short, which fails the set and stores nothing.
  const std::string strShort = "/sys/devices/system/cpu/online";
  if (std::filesystem::exists(strShort)) {
    ExpectRefused(DataFile("customoverride", strShort, "100"), "fail", "Failed to read override file...<1>");
    EXPECT_TRUE(std::filesystem::exists(strShort));
    EXPECT_EQ(Record(), (Words{5, 6, 7}));
  }
  // The data offset is not used: the document is read from the file's start.
  EXPECT_EQ(Set(DataFile("customoverride", strPath, strSize, "7")).strStatus, "success");
  EXPECT_EQ(Record(), (Words{s_u32Text, 0, 0}));
}

// The document is the size's bytes, terminated after them: what follows in
// the file, or what a longer document left in the buffer, is no part of it.
// A document of exactly 1 MiB is read.
TEST_F(DrvSetDataFileTest, TheDocumentIsTheSizesBytes) {
  const std::string strDocument = Document(Element("ecdo", "mine"));
  // A longer document that the short one's first bytes begin, so that its
  // rest in the buffer would complete a cut copy of the short one.
  EXPECT_EQ(Override(strDocument + std::string(200, ' ')).strStatus, "success");
  EXPECT_EQ(Record(), (Words{0, 0, 22}));
  SetRecord({5, 6, 7});
  const std::string strPath = WriteDocument(strDocument);
  const Reply reply = Set(DataFile("customoverride", strPath, std::to_string(strDocument.size() - 2)));
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "fail");
  EXPECT_EQ(Record(), (Words{5, 6, 7}));
  EXPECT_FALSE(testsupport::FileExists(strPath));

  std::string strMiB = Document(Element("documenttype", "text"));
  strMiB.insert(strMiB.size() - std::string("</override>").size(), (1 << 20) - strMiB.size(), ' ');
  ASSERT_EQ(strMiB.size(), 1u << 20);
  EXPECT_EQ(Override(strMiB).strStatus, "success");
  EXPECT_EQ(Record(), (Words{s_u32Text, 0, 0}));
  EXPECT_TRUE(m_plog->Contains("override document...<<override><documenttype>text</documenttype>  "));
}

// The read goes into the driver's log record: the get of a log and the
// override share it.
TEST_F(DrvSetDataFileTest, TheDocumentIsReadIntoTheDriversLogRecord) {
  struct Probe {
    DeviceLog devicelog = {};
  } probe;
  DrvEngineSeam drvengineseam = {};
  drvengineseam.pfnGetDeviceLog = [](void* a_pv) { return &static_cast<Probe*>(a_pv)->devicelog; };
  drvengineseam.pvUser = &probe;
  CDrvProcessCommands::SetEngineSeam(&drvengineseam);
  const std::string strDocument = Document(Element("ecdo", "dual"));
  EXPECT_EQ(Override(strDocument).strStatus, "success");
  ASSERT_NE(probe.devicelog.pcData, nullptr);
  EXPECT_EQ(std::string(probe.devicelog.pcData), strDocument);
  EXPECT_EQ(probe.devicelog.sizetData, strDocument.size());
  EXPECT_EQ(probe.devicelog.sizetCapacity, strDocument.size() + 16);
  CDrvProcessCommands::SetEngineSeam(nullptr);
  OsMemFree(probe.devicelog.pcData);
}

// ---------------------------------------------------------------------------
// Profiles
// ---------------------------------------------------------------------------
// The argument checks answer as they must; past them the profile list
// answers, and fails until there are profiles.
TEST_F(DrvSetDataFileTest, ProfileFilesAndItems) {
  const std::string strProfile = WriteDocument("<profile/>", "profile.xml");
  const struct {
    std::string strBody;
    const char* szStatus;
    const char* szLog;
  } acase[] = {
      {DataFile("profileall", "", "10"), "badvalue", "Must specify filename..."},
      {DataFile("profileall", strProfile, "0"), "badvalue", "Must specify file size...0"},
      {DataFile("profileiaprinter", strProfile, "-10"), "badvalue", "Must specify file size...-10"},
      {DataFile("profilenoiaprinter", strProfile, "10"), "fail", "ProfileSetCurrent failed...1"},
      {DataFile("profileall", strProfile, "10"), "fail", "ProfileSetCurrent failed...1"},
      {"<id>profile</id><profileitem><value>Nobody</value></profileitem>", "fail", "ProfileSetCurrent failed...1"},
      {"<id>profile</id><profileitem></profileitem>", "fail",
       "The <value> argument is required for <profileitem> subcommand"},
      {"<id>profile</id><valuecurrent>x</valuecurrent><profileitem><value>Default</value></profileitem>", "fail",
       "The <value> argument is required for <profileitem> subcommand"},
      {"<id>profiles</id><profileitem><value>Default</value></profileitem>", "fail", "Unrecognized id profiles..."},
      {"<profileitem><value>Default</value></profileitem>", "fail", "Unrecognized id ..."},
      {"<id>profile</id><profileitem><value>" + std::string(1024, 'p') + "</value></profileitem>", "badvalue",
       "text too long for <value>"},
  };
  const std::vector<std::string> vecBefore = Values();
  for (const auto& c : acase) ExpectRefused(c.strBody, c.szStatus, c.szLog);
  EXPECT_EQ(Values(), vecBefore);
  EXPECT_TRUE(testsupport::FileExists(strProfile));
  // The profile in force, selected again: the list of profiles, nothing
  // changed.
  const Reply reply = Run(Task("<set><id>profile</id><profileitem><value>Default</value></profileitem></set>"));
  EXPECT_EQ(reply.strStatus, "success") << reply.strText;
  EXPECT_NE(reply.strText.find("<reportprofilelist>"), std::string::npos) << reply.strText;
  EXPECT_EQ(Values(), vecBefore);
  // A profile item is no part of a setmany's grammar: passed over, it
  // leaves a set of an id alone, which fails the setmany.
  EXPECT_EQ(Setmany({"<id>profile</id><profileitem><value>Default</value></profileitem>"}).strStatus, "badvalue");
  EXPECT_TRUE(m_plog->Contains("Unrecognized edriversettype 1..."));
}

// ---------------------------------------------------------------------------
// Setmany
// ---------------------------------------------------------------------------
// A data file inside a setmany answers only when it fails; the setmany's own
// reply is the one whole reply. A failed setmany puts the override record
// back with the values.
TEST_F(DrvSetDataFileTest, OverridesInsideASetmany) {
  std::string strDocument = Document(Element("documenttype", "photo"));
  std::string strPath = WriteDocument(strDocument);
  Reply reply =
      Setmany({DataFile("customoverride", strPath, std::to_string(strDocument.size())), Body("units", "centimeters")});
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(reply.strText.find("<task ", 1), std::string::npos);
  EXPECT_EQ(All(reply.strText, "status"), std::vector<std::string>{"success"});
  EXPECT_EQ(Record(), (Words{s_u32Photo, 0, 0}));
  EXPECT_EQ(Current("units"), "centimeters");

  const std::vector<std::string> vecBefore = Values();
  const struct {
    std::string strFirst, strSecond, strDocument;
  } acase[] = {
      {"", Body("units", "furlongs"), Document(Element("ecdo", "dual"))},
      {Body("units", "pixels"), "", Document(Element("documenttype", "text") + Element("ecdo", "blue"))},
      {Body("units", "pixels"), "", Document(Element("documenttype", "none"))},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.strDocument);
    strPath = WriteDocument(c.strDocument);
    const std::string strOverride = DataFile("customoverride", strPath, std::to_string(c.strDocument.size()));
    reply = Setmany(c.strFirst.empty() ? std::vector<std::string>{strOverride, c.strSecond}
                                       : std::vector<std::string>{c.strFirst, strOverride});
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "badvalue");
    EXPECT_TRUE(Reports(reply.strText).empty());
    EXPECT_EQ(Record(), (Words{s_u32Photo, 0, 0}));
    EXPECT_EQ(Values(), vecBefore);
  }
}

// ---------------------------------------------------------------------------
// The reader alone
// ---------------------------------------------------------------------------
TEST_F(DrvSetDataFileTest, TheReaderLoadsItsGrammarOnce) {
  COverride coverride;
  EXPECT_EQ(coverride.Process(Document("").c_str(), m_pdatabase.get()), OS_STS_FAIL);
  ASSERT_EQ(coverride.SetupDispatchTemplate(), OS_STS_SUCCESS);
  ASSERT_EQ(coverride.SetupDispatchTemplate(), OS_STS_SUCCESS);
  EXPECT_EQ(coverride.Process(nullptr, m_pdatabase.get()), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(coverride.Process(Document("").c_str(), nullptr), OS_STS_BAD_ARGUMENT);
  SetRecord({1, 2, 3});
  EXPECT_EQ(coverride.Process(Document(Element("ecdo", "red")).c_str(), m_pdatabase.get()), OS_STS_SUCCESS);
  EXPECT_EQ(Record(), (Words{0, 11, 0}));
  EXPECT_EQ(coverride.Process(Document(Element("ecdo", "dual")).c_str(), m_pdatabase.get()), OS_STS_SUCCESS);
  EXPECT_EQ(Record(), (Words{0, 0, 21}));
}

// ---------------------------------------------------------------------------
// Threads
// ---------------------------------------------------------------------------
// The device engine's threads read the record under the database lock while
// the task thread takes in documents: they see a whole document's record or
// the one before it, never the cleared or half-written record in between.
class DrvSetDataFileThread : public DrvSetDataFileTest {};

TEST_F(DrvSetDataFileThread, TheRecordIsWrittenUnderTheDatabaseLock) {
  const std::string strPhoto = Document(Element("documenttype", "photo") + Element("ecdo", "red"));
  const std::string strText = Document(Element("documenttype", "text") + Element("ecdo", "dual"));
  const Words wordsPhoto = {s_u32Photo, 11, 0};
  const Words wordsText = {s_u32Text, 0, 21};
  SetRecord(wordsPhoto);
  std::atomic<bool> blStop{false};
  std::atomic<long> lReads{0};
  std::atomic<long> lTorn{0};
  std::thread thread([&] {
    while (!blStop) {
      const Words words = Record();
      if (!(words == wordsPhoto) && !(words == wordsText)) ++lTorn;
      ++lReads;
    }
  });
  COverride coverride;
  ASSERT_EQ(coverride.SetupDispatchTemplate(), OS_STS_SUCCESS);
  for (int i = 0; i < 400 || (lReads < 100 && i < 20000); ++i) {
    const std::string& strDocument = i % 2 ? strPhoto : strText;
    if (i % 20 == 0) {
      EXPECT_EQ(Override(strDocument).strStatus, "success");
    } else {
      EXPECT_EQ(coverride.Process(strDocument.c_str(), m_pdatabase.get()), OS_STS_SUCCESS);
    }
  }
  blStop = true;
  thread.join();
  EXPECT_GT(lReads, 0);
  EXPECT_EQ(lTorn, 0);
}

}  // namespace
