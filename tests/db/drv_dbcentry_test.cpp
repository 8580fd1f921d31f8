// The database compiler, called as a front end calls it: outputs byte-equal
// to texts worked out by hand (placeholders, the label header, negative
// numbers, lower-case hex, escapes, CDATA), the targets, include merging and
// removal, the headers' shapes, and the failure reply with its log line for
// bad tasks, bad sources and limits.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "drv_dbcentry_testutil.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_osservices.h"
#include "test_support.h"

using namespace dbctest;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::WriteFile;

namespace {

const char kSuccess[] = "<status>success</status>";
const char kFail[] = "<status>fail</status>";

}  // namespace

TEST(DbcEntry, CompilesTheSmallSourcesToTheHandWorkedTexts) {
  const std::string strSource = Stage("small");
  DbcResult result = CallDbcEntry(Task(strSource, RootPath("out")).c_str());
  ASSERT_EQ(result.reply, kSuccess) << LogText();
  EXPECT_EQ(result.printed, "");
  for (const char* szFile : {"database.edres", "lookup.edres", "labels.edres"}) {
    EXPECT_EQ(Output(szFile), Expected("small", szFile)) << szFile;
  }
}


// The top-level source wins over its includes, a later include over an
// earlier one (also through a nested include), an item marked remove goes:
// the merged sources give the texts of the small sources exactly. Without
// lookup.dbc a product keeps the library's own LOOKUP.
TEST(DbcEntry, MergesIncludedItemsAsTheSmallSourcesWouldRead) {
  const std::string strSource = Stage("merge");
  DbcResult result = CallDbcEntry(Task(strSource, RootPath("out"), "product", kData + "/small").c_str());
  ASSERT_EQ(result.reply, kSuccess) << LogText();
  EXPECT_EQ(Output("database.edres"), Expected("small", "database.edres"));
  EXPECT_EQ(Output("labels.edres"), Expected("small", "labels.edres"));
  EXPECT_FALSE(HasOutput("lookup.edres"));
}

TEST(DbcEntry, ComponentCompilesLabelsAndLookupButNoDatabase) {
  const std::string strSource = Stage("small");
  DbcResult result = CallDbcEntry(Task(strSource, RootPath("out"), "component").c_str());
  ASSERT_EQ(result.reply, kSuccess) << LogText();
  EXPECT_EQ(Output("lookup.edres"), Expected("small", "lookup.edres"));
  EXPECT_EQ(Output("labels.edres"), Expected("small", "labels.edres"));
  EXPECT_FALSE(HasOutput("database.edres"));
}

// The headers come from the include directory; the languages from the
// built tree's copy two levels above it when there is one.
TEST(DbcEntry, HeadersComeFromTheIncludeDirectoryAndTheBuiltTreeFirst) {
  const std::string strSource = Stage("small");
  std::filesystem::create_directories(RootPath("tree/db/headers"));
  std::filesystem::create_directories(RootPath("tree/os/built"));
  for (const char* szHeader : {"db_def.h", "os_coslocale.h"}) {
    std::filesystem::rename(strSource + "/" + szHeader, RootPath(std::string("tree/db/headers/") + szHeader));
  }
  const std::string strInclude = RootPath("tree/db/headers");
  DbcResult result = CallDbcEntry(Task(strSource, RootPath("out"), "component", strInclude).c_str());
  ASSERT_EQ(result.reply, kSuccess) << LogText();
  EXPECT_EQ(Output("lookup.edres"), Expected("small", "lookup.edres"));

  WriteFile(RootPath("tree/os/built/os_coslocale.h"), "enum EOSLANGUAGE : int {\n  OS_LANGUAGE_DE_DEU = 66,\n};\n");
  result = CallDbcEntry(Task(strSource, RootPath("out"), "component", strInclude).c_str());
  ASSERT_EQ(result.reply, kSuccess) << LogText();
  EXPECT_NE(Output("lookup.edres").find("<l>DB_ID_LANGUAGE_ENUM_DE_DEU</l><m>42</m>"), std::string::npos);
}

// Every group of an item is written; a reader takes them together.
TEST(DbcEntry, EveryGroupOfAnItemIsWritten) {
  const std::string strSource =
      StageChanged({"lookup.dbc", "<grp>DB_GROUP_TONE</grp>", "<grp>DB_GROUP_TONE</grp><grp>DB_GROUP_DEVICE</grp>"});
  DbcResult result = CallDbcEntry(Task(strSource, RootPath("out"), "component").c_str());
  ASSERT_EQ(result.reply, kSuccess) << LogText();
  EXPECT_NE(Output("lookup.edres").find("<c>colorbrightness</c><k>800</k><k>2000000</k><l></l>"), std::string::npos)
      << Output("lookup.edres");
}

TEST(DbcEntry, NullTaskFails) {
  DbcResult result = CallDbcEntry(nullptr);
  EXPECT_EQ(result.reply, kFail);
  EXPECT_NE(LogText().find("a_szTask is null"), std::string::npos);
}

// Every missing or wrong piece of the task: the fail reply and its line.
TEST(DbcEntry, TaskFaultsFailWithTheirLogLine) {
  struct Case {
    const char* szTask;  // $S the staged sources, $D the destination
    const char* szRemove;  // a source file taken away first
    const char* szLog;
  };
  const std::string strLong(32, 't');
  const std::string strHuge(1100, 'x');
  const std::string strLongTarget = "<task><source>$S</source><destination>$D</destination><target>" + strLong +
                                    "</target></task>";
  const std::string strHugeOslib =
      "<task><source>$S</source><destination>$D</destination><target>product</target><oslib>" + strHuge +
      "</oslib></task>";
  const Case acase[] = {
      {"<task><destination>$D</destination><target>product</target></task>", nullptr,
       "Source, destination or target missing...<"},
      {"<task><source>$S</source><target>product</target></task>", nullptr, "Source, destination or target missing...<"},
      {"<task><source>$S</source><destination>$D</destination></task>", nullptr,
       "Source, destination or target missing...<"},
      {"<task><source>$S</source><destination>$D</destination><target></target></task>", nullptr,
       "Source, destination or target missing...<"},
      {"<task><source>$S</source><destination>$D</destination><target>everything</target></task>", nullptr,
       "Unrecognized target...<everything>"},
      {strLongTarget.c_str(), nullptr, "<target> is too long (31 characters at most)...<"},
      {strHugeOslib.c_str(), nullptr, "NodeGetContent failed...<"},
      {"source=$S", nullptr, "DocumentLoad failed...<source="},
      {"<task><source>$S</source><destination>$D</destination><target>component</target></task>", "labels.dbc",
       "labels.dbc is missing..."},
      {"<task><source>$S</source><destination>$D</destination><target>component</target></task>", "lookup.dbc",
       "lookup.dbc is missing..."},
      {"<task><source>$S</source><destination>$D</destination><target>product</target></task>", "database.dbc",
       "database.dbc is missing..."},
      {"<task><source>$S</source><destination>$D/none</destination><target>product</target></task>", nullptr,
       "Open failed...<"},
  };
  for (const Case& c : acase) {
    const std::string strSource = Stage("small");
    if (c.szRemove) std::filesystem::remove(strSource + "/" + c.szRemove);
    std::string strTask = c.szTask;
    for (auto [szMark, strValue] : {std::pair{"$S", strSource}, std::pair{"$D", RootPath("out")}}) {
      for (size_t i = strTask.find(szMark); i != std::string::npos; i = strTask.find(szMark)) {
        strTask.replace(i, 2, strValue);
      }
    }
    std::filesystem::remove_all(RootPath("var"));
    DbcResult result = CallDbcEntry(strTask.c_str());
    EXPECT_EQ(result.reply, kFail) << c.szLog;
    EXPECT_NE(LogText().find(c.szLog), std::string::npos) << c.szLog << "\n" << LogText();
  }
}


// Sources the compiler refuses: the fail reply, the log line, what it
// printed, and the outputs an earlier compilation of the call left.
TEST(DbcEntry, SourceFaultsFailWithTheirLogLine) {
  struct Case {
    Change change;
    const char* szLog;
    const char* szPrinted;  // or null
    const char* szStays;    // the outputs written before the failure
  };
  const std::string strManyItems =
      Repeat("<currentenum>DB_ID_XRESOLUTION_ENUM_300</currentenum>", 129);
  const std::string strLongDefault = "<default>" + std::string(1024, 'x') + "</default>";
  const Case acase[] = {
      {{"database.dbc", "<enum id='DB_ID_XRESOLUTION' ", "<enum "}, "Missing id property in container...", nullptr, ""},
      {{"database.dbc", "<range id='DB_ID_BRIGHTNESS' type='DB_DATATYPE_LONG'", "<range id='DB_ID_BRIGHTNESS'"},
       "Missing type property in container...", nullptr, ""},
      {{"database.dbc", "<bin id='DB_BIN_COLOR_FRONT'>\n\t\t<access>DB_ACCESS_READWRITE", "<bin>\n\t\t<access>DB_ACCESS_READWRITE"},
       "Missing id property in bin...", nullptr, ""},
      {{"database.dbc", "<currentenum>DB_ID_XRESOLUTION_ENUM_300</currentenum>", strManyItems.c_str()},
       "Too many items in a list (128 at most)...", nullptr, ""},
      {{"database.dbc", "<default>@MULTIMEDIA@/multifeed.wav</default>", strLongDefault.c_str()},
       "Default text too long (1023 characters at most)...", nullptr, ""},
      {{"database.dbc", "<db>", "db>"}, "DocumentLoad failed...", nullptr, ""},
      {{"database.dbc", "db>", "dbx>"}, "Nothing compiled: the source's root is not the expected one...", nullptr, ""},
      {{"database.dbc", nullptr, ""}, "DocumentLoad failed...<", nullptr, ""},
      {{"lookup.dbc", "<grp>DB_GROUP_COLOR</grp><lx>CAP_LANGUAGE</lx>", "<grp></grp><lx>CAP_LANGUAGE</lx>"},
       "Item must have a group...", nullptr, "database.edres labels.edres"},
      {{"lookup.dbc", "<tw><grp>DB_GROUP_COLOR</grp><lx>CAP_LANGUAGE</lx></tw>", ""}, "Missing field...0x3", nullptr,
       "database.edres labels.edres"},
      {{"lookup.dbc", "<lx>loud</lx>", ""}, "Mismatch of db/lx fields in enum...2 1", nullptr, "database.edres labels.edres"},
      {{"lookup.dbc", "<db><id>DB_ID_LANGUAGE</id></db>", "<db><id></id></db>"}, "Every item must have an EDBID value...",
       nullptr, "database.edres labels.edres"},
      {{"lookup.dbc", "<db><id>DB_ID_LANGUAGE</id></db>\n\t\t<lx><id>language</id></lx>",
        "<lx><id>language</id></lx>\n\t\t<db><id>DB_ID_LANGUAGE</id></db>"},
       "An item must begin with its one EDBID value...", nullptr, "database.edres labels.edres"},
      {{"labels.dbc", "<ar_arb>300</ar_arb>\n\t\t<de_deu>300 dpi</de_deu>", "<de_deu>300 dpi</de_deu>\n\t\t<ar_arb>300</ar_arb>"},
       "Labels for a language are not in the proper order <ar_arb at 6>...",
       "Labels for a language are not in the proper order <ar_arb at 6>...", "database.edres"},
      {{"labels.dbc", "<en_usa>Brightness</en_usa>", "<en_usa>a]]>b</en_usa>"}, "cannot stand in a CDATA section",
       nullptr, "database.edres"},
      {{"db_def.h", "OS_LANGUAGE_DE_DEU,", "OS_LANGUAGE_XX_YYY,"}, "Lookup failed...<", "ReadFile failed...\r", ""},
      {{"db_def.h", "  DB_BIN_LAST\n", ""}, "<DB_BIN_LAST> not found...", nullptr, ""},
      {{"db_def.h", nullptr, nullptr}, "Lookup failed...<", "File not found...<", ""},
      {{"os_coslocale.h", nullptr, nullptr}, "Lookup failed...<", "File not found...<", ""},
  };
  for (const Case& c : acase) {
    const std::string strSource = StageChanged(c.change);
    DbcResult result = CallDbcEntry(Task(strSource, RootPath("out")).c_str());
    EXPECT_EQ(result.reply, kFail) << c.szLog;
    EXPECT_NE(LogText().find(c.szLog), std::string::npos) << c.szLog << "\n" << LogText();
    if (c.szPrinted) {
      EXPECT_NE(result.printed.find(c.szPrinted), std::string::npos) << c.szLog << ": " << result.printed;
    }
    for (const char* szOutput : {"database.edres", "labels.edres", "lookup.edres"}) {
      EXPECT_EQ(HasOutput(szOutput), std::string(c.szStays).find(szOutput) != std::string::npos)
          << c.szLog << " " << szOutput;
    }
  }
}

// Names the tables lack are printed (and some logged); the compilation goes
// on and writes what it knows.
TEST(DbcEntry, UnknownNamesArePrintedAndTheCompilationGoesOn) {
  struct Case {
    Change change;
    const char* szPrinted;
    const char* szLog;  // or null
    const char* szOutput;
    const char* szWritten;
  };
  const Case acase[] = {
      {{"database.dbc", "DB_ID_ADDBORDER' type", "DB_ID_BOGUS' type"}, "\r\nUnrecognized edbid: DB_ID_BOGUS", nullptr,
       "database.edres", "<E><a>0</a><b>1</b><c>0</c></E>"},
      {{"database.dbc", "DB_ID_ADDBORDER' type", "db_id_addborder' type"}, "\r\nUnrecognized edbid: db_id_addborder",
       nullptr, "database.edres", "<E><a>0</a><b>1</b><c>0</c></E>"},
      {{"database.dbc", "DB_ID_ADDBORDER' type='DB_DATATYPE_LONG'", "DB_ID_ADDBORDER' type='DB_DATATYPE_BOGUS'"},
       "\r\nUnrecognized edbdatatype: DB_DATATYPE_BOGUS", nullptr, "database.edres", "<E><a>2</a><b>0</b><c>0</c></E>"},
      {{"database.dbc", "DB_DEVICEDATA_NEXIL", "DB_DEVICEDATA_BOGUS"}, "\r\nUnrecognized edbdevicedata: DB_DEVICEDATA_BOGUS",
       nullptr, "database.edres", "<R><a>22</a><b>1</b><c>0</c><CF>"},
      {{"database.dbc", "<bin id='DB_BIN_COLOR_FRONT'>\n\t\t<access>DB_ACCESS_READWRITE",
        "<bin id='DB_BIN_BOGUS'>\n\t\t<access>DB_ACCESS_READWRITE"},
       "\r\nUnrecognized edbbin: DB_BIN_BOGUS", nullptr, "database.edres", "<R><a>22</a><b>1</b><c>8</c></R>"},
      {{"database.dbc", "<bin id='DB_BIN_COLOR_FRONT'>\n\t\t<access>DB_ACCESS_READWRITE",
        "<bin id='DB_BIN_LAST'>\n\t\t<access>DB_ACCESS_READWRITE"},
       "\r\nUnrecognized edbbin: DB_BIN_LAST", nullptr, "database.edres", "<R><a>22</a><b>1</b><c>8</c></R>"},
      {{"database.dbc", "<access>DB_ACCESS_READONLY</access>\n\t\t<maxstringsize>512",
        "<access>DB_ACCESS_BOGUS</access>\n\t\t<maxstringsize>512"},
       "\r\nUnrecognized edbaccess: DB_ACCESS_BOGUS", "Unrecognized access: DB_ACCESS_BOGUS", "database.edres",
       "<S><a>24</a><b>2</b><c>0</c></S>"},
      {{"database.dbc", "<default>DB_ID_XRESOLUTION_ENUM_1200</default>", "<default>DB_ID_BOGUS</default>"},
       "\r\nUnrecognized default value: DB_ID_BOGUS", "Unrecognized default value: DB_ID_BOGUS", "database.edres",
       "<CF><d>3</d><e>0</e><f>4b0</f></CF>"},
      {{"database.dbc", "<defaultenum>DB_ID_XRESOLUTION_ENUM_1200</defaultenum>\n\t</bin>",
        "<defaultenum>DB_ID_BOGUS</defaultenum>\n\t</bin>"},
       "\r\nUnrecognized enumeration: DB_ID_BOGUS", "Unrecognized enumeration: DB_ID_BOGUS", "database.edres",
       "<CF><d>3</d><e>4b0</e><f>0</f></CF>"},
      {{"lookup.dbc", "<db><id>DB_ID_LANGUAGE</id></db>", "<db><id>DB_ID_BOGUS</id></db>"},
       "\r\nUnrecognized edbid: <DB_ID_BOGUS>", nullptr, "lookup.edres", "<a>DB_ID_BOGUS</a><b></b><c>language</c>"},
      {{"lookup.dbc", "<grp>DB_GROUP_IMAGEFORMAT</grp>", "<grp>DB_GROUP_BOGUS</grp>"},
       "\r\nUnrecognized TWAIN conversion: DB_GROUP_BOGUS", nullptr, "lookup.edres", "<c>imageresolutionx</c><k></k>"},
      {{"lookup.dbc", "<db>DB_ID_LANGUAGE_ENUM_DE_DEU</db>", "<db>DB_ID_LANGUAGE_ENUM_BOGUS</db>"},
       "\r\nUnrecognized edbid enumeration: DB_ID_LANGUAGE_ENUM_BOGUS", nullptr, "lookup.edres",
       "<l>DB_ID_LANGUAGE_ENUM_BOGUS</l><m></m><n>de_deu</n>"},
      {{"labels.dbc", "\t\t<ar_arb>300</ar_arb>\n", ""},
       "Wrong number of languages at label <enum_imageresolutionx_300_dpi>...",
       "Wrong number of languages at label <enum_imageresolutionx_300_dpi>...", "labels.edres",
       "<a>enum_imageresolutionx_300_dpi</a><c><![CDATA[Black & white]]></c><h>300 dpi</h>"},
  };
  for (const Case& c : acase) {
    const std::string strSource = StageChanged(c.change);
    DbcResult result = CallDbcEntry(Task(strSource, RootPath("out")).c_str());
    EXPECT_EQ(result.reply, kSuccess) << c.szPrinted << "\n" << LogText();
    EXPECT_NE(result.printed.find(c.szPrinted), std::string::npos) << c.szPrinted << ": " << result.printed;
    if (c.szLog) {
      EXPECT_NE(LogText().find(c.szLog), std::string::npos) << c.szLog;
    }
    EXPECT_NE(Output(c.szOutput).find(c.szWritten), std::string::npos) << c.szWritten << "\n" << Output(c.szOutput);
  }
}

// A file that includes itself, directly or through others, a missing or
// unreadable include and the limits of the include list all fail.
TEST(DbcEntry, IncludeFaultsFail) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> vecFiles;  // written over the small sources
    const char* szLog;
  };
  const std::string strLongInclude = "<db include='" + std::string(8192, 'a') + "'></db>";
  std::string strManyIncludes = "<db include='";
  std::vector<std::pair<std::string, std::string>> vecMany;
  for (int i = 0; i < 65; ++i) {
    const std::string strName = "part" + std::to_string(i) + ".dbc";
    strManyIncludes += (i ? "," : "") + strName;
    vecMany.emplace_back(strName, "<db></db>");
  }
  vecMany.emplace_back("database.dbc", strManyIncludes + "'></db>");
  const std::string strLongName = "<db include='" + std::string(1100, 'n') + "'></db>";
  const std::string strLongKey = "<db include='a.dbc'><enum id='" + std::string(256, 'k') + "'></enum></db>";
  const std::string strLongLabel =
      "<labels include='a.dbc'><item><label>" + std::string(256, 'k') + "</label></item></labels>";
  std::string strManyKeys = "<db>";
  for (int i = 0; i <= 8192; ++i) strManyKeys += "<enum id='K" + std::to_string(i) + "'></enum>";
  strManyKeys += "</db>";
  const Case acase[] = {
      {{{"database.dbc", "<db include='database.dbc'></db>"}}, "File Includes Itself"},
      {{{"database.dbc", "<db include='a.dbc'></db>"}, {"a.dbc", "<db include='b.dbc'></db>"},
        {"b.dbc", "<db include='database.dbc'></db>"}},
       "Include cycle...<"},
      {{{"database.dbc", "<db include='a.dbc'></db>"}, {"a.dbc", "<db include='b.dbc'></db>"},
        {"b.dbc", "<db include='a.dbc'></db>"}},
       "Include cycle...<"},
      {{{"database.dbc", "<db include='none.dbc'></db>"}}, "OpenSource Failed to Open Included File"},
      {{{"database.dbc", "<db include='a.dbc'></db>"}, {"a.dbc", "not xml"}}, "DocumentLoad failed...<"},
      {{{"database.dbc", strLongInclude}}, "include attribute too long (8191 characters at most)..."},
      {vecMany, "Too many included files (64 at most)..."},
      {{{"database.dbc", strLongName}}, "Include name too long...<"},
      {{{"database.dbc", "<db include='a.dbc'><enum type='x'></enum></db>"}, {"a.dbc", "<db></db>"}},
       "Unable to get id property."},
      {{{"database.dbc", strLongKey}, {"a.dbc", "<db></db>"}}, "Property too long (255 characters at most)...<id>"},
      {{{"database.dbc", "<db include='a.dbc'></db>"}, {"a.dbc", strManyKeys}}, "Too many merged items (8192 at most)..."},
      {{{"labels.dbc", "<labels include='a.dbc'><item></item></labels>"}, {"a.dbc", "<labels></labels>"}},
       "Unable to get <item> child"},
      {{{"labels.dbc", strLongLabel}, {"a.dbc", "<labels></labels>"}}, "Label too long to merge (255 characters at most)..."},
  };
  for (const Case& c : acase) {
    const std::string strSource = StageChanged({"database.dbc", nullptr, "<db></db>"});
    for (const auto& [strName, strText] : c.vecFiles) WriteFile(strSource + "/" + strName, strText);
    DbcResult result = CallDbcEntry(Task(strSource, RootPath("out")).c_str());
    EXPECT_EQ(result.reply, kFail) << c.szLog;
    EXPECT_NE(LogText().find(c.szLog), std::string::npos) << c.szLog << "\n" << LogText();
    EXPECT_FALSE(HasOutput("labels.edres")) << c.szLog;
  }
}

// A compilation whose text would pass the 2 MiB buffer fails instead of
// being cut short; nothing of it is written.
TEST(DbcEntry, OutputBeyondTheBufferFails) {
  const std::string strItem = "<item><label>tag</label><en_usa>" + std::string(2000, 'x') + "</en_usa></item>\n";
  const std::string strLabels = "<labels>\n" + Repeat(strItem, 1100) + "</labels>\n";
  const std::string strSource = StageChanged({"labels.dbc", nullptr, strLabels.c_str()});
  DbcResult result = CallDbcEntry(Task(strSource, RootPath("out")).c_str());
  EXPECT_EQ(result.reply, kFail);
  EXPECT_NE(LogText().find("Output does not fit in 2097152 bytes..."), std::string::npos) << LogText();
  EXPECT_FALSE(HasOutput("labels.edres"));
  EXPECT_TRUE(HasOutput("database.edres"));
}

// A service layer that runs already is the caller's: the compiler leaves it
// alone and refuses.
TEST(DbcEntry, RefusesWhileTheServiceLayerRuns) {
  ASSERT_EQ(OsServicesStart(nullptr), 0);
  const std::string strSource = Stage("small");
  DbcResult result = CallDbcEntry(Task(strSource, RootPath("out")).c_str());
  EXPECT_EQ(result.reply, kFail);
  EXPECT_NE(g_poscfg, nullptr);
  EXPECT_NE(g_poslog, nullptr);
  EXPECT_FALSE(HasOutput("database.edres"));
  OsServicesStop();
  EXPECT_NE(LogText().find("DbcEntry: the service layer is already started..."), std::string::npos);
}
