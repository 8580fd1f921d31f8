// The build step of the capability database: pmxdbc compiles with the
// library's own compiler under a root of its own (and writes nowhere else),
// refuses sources with names the headers lack, and needs the library's
// resource for a source it is not given; pmxres replaces resources when the
// step runs again; and the built library carries the compiled resources of
// db/sources, each once, found through the resource service.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../db/drv_dbcentry_testutil.h"
#include "os_cosresource.h"
#include "test_support.h"

using namespace dbctest;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::RunProgram;
using testsupport::WriteFile;

namespace {

int RunPmxDbc(const std::string& a_strLibrary, const std::string& a_strSource, std::string* a_pstrPrinted) {
  int iStatus = -1;
  *a_pstrPrinted = RunProgram({SCANDRV_PMXDBC, a_strLibrary, a_strSource, RootPath("out"),
                               a_strSource + "/db_def.h", a_strSource + "/os_coslocale.h"},
                              &iStatus);
  return iStatus;
}

std::vector<std::string> Entries(const std::string& a_strDirectory) {
  std::vector<std::string> vecstr;
  for (const auto& entry : std::filesystem::directory_iterator(a_strDirectory)) {
    vecstr.push_back(entry.path().filename().string());
  }
  std::sort(vecstr.begin(), vecstr.end());
  return vecstr;
}

std::vector<std::string> ResourceNames(const std::string& a_strFile) {
  std::vector<std::string> vecstr;
  COsResource osresource;
  char szName[64];
  for (EOSSTS eossts = osresource.FindFirst(a_strFile.c_str(), szName, sizeof szName); eossts == OS_STS_SUCCESS;
       eossts = osresource.FindNext(szName, sizeof szName)) {
    vecstr.push_back(szName);
  }
  osresource.FindClose();
  return vecstr;
}

std::string Resource(const std::string& a_strFile, const char* a_szName) {
  COsResource osresource;
  if (osresource.Open(a_strFile.c_str(), a_szName, OS_RESOURCETYPE_DATA) != OS_STS_SUCCESS) return "(none)";
  std::string str(static_cast<const char*>(osresource.GetPointer()), static_cast<size_t>(osresource.GetSize()));
  osresource.Close();
  return str;
}

}  // namespace

// The service layer's roots of the calling environment stay untouched: the
// tool's own root takes every write, and goes at the end.
TEST(PmxDbc, CompilesUnderItsOwnRootAndWritesNothingElsewhere) {
  const std::string strSource = Stage("small");
  for (const char* szDirectory : {"home", "tmp", "shared"}) std::filesystem::create_directories(RootPath(szDirectory));
  setenv("HOME", RootPath("home").c_str(), 1);
  setenv("TMPDIR", RootPath("tmp").c_str(), 1);
  setenv("PMX_SHGETFOLDERPATH", RootPath("shared").c_str(), 1);
  setenv("PMX_DEBUG", "1", 1);
  std::string strPrinted;
  EXPECT_EQ(RunPmxDbc(SCANDRV_LIBRARY_PATH, strSource, &strPrinted), 0) << strPrinted;
  for (const char* szDirectory : {"home", "tmp", "shared"}) {
    EXPECT_TRUE(std::filesystem::is_empty(RootPath(szDirectory))) << szDirectory;
  }
  EXPECT_EQ(Entries(RootPath("out")), (std::vector<std::string>{"database.edres", "labels.edres", "lookup.edres"}));
  for (const char* szFile : {"database.edres", "labels.edres", "lookup.edres"}) {
    EXPECT_EQ(Output(szFile), Expected("small", szFile)) << szFile;
  }
  EXPECT_EQ(Entries(strSource),
            (std::vector<std::string>{"database.dbc", "db_def.h", "labels.dbc", "lookup.dbc", "os_coslocale.h"}));
}

// Compiled with a name the headers lack, or a label without every
// language, the resources would be wrong: the step fails and leaves none.
TEST(PmxDbc, RefusesSourcesThatAreNotSound) {
  struct Case {
    Change change;
    const char* szPrinted;
  };
  const Case acase[] = {
      {{"database.dbc", "<access>DB_ACCESS_READONLY</access>\n\t\t<maxstringsize>512",
        "<access>DB_ACCESS_BOGUS</access>\n\t\t<maxstringsize>512"},
       "Unrecognized edbaccess: DB_ACCESS_BOGUS"},
      {{"lookup.dbc", "<grp>DB_GROUP_IMAGEFORMAT</grp>", "<grp>DB_GROUP_BOGUS</grp>"},
       "Unrecognized TWAIN conversion: DB_GROUP_BOGUS"},
      {{"labels.dbc", "\t\t<ar_arb>300</ar_arb>\n", ""}, "Wrong number of languages at label"},
  };
  for (const Case& c : acase) {
    const std::string strSource = StageChanged(c.change);
    std::string strPrinted;
    EXPECT_EQ(RunPmxDbc(SCANDRV_LIBRARY_PATH, strSource, &strPrinted), 1) << c.szPrinted;
    EXPECT_NE(strPrinted.find(c.szPrinted), std::string::npos) << strPrinted;
    for (const char* szFile : {"database.edres", "labels.edres", "lookup.edres"}) {
      EXPECT_FALSE(HasOutput(szFile)) << c.szPrinted << " " << szFile;
    }
  }
}

// A product without lookup.dbc keeps the library's LOOKUP; a library that
// has none cannot stand in, and the compiler's log (kept for a look) says so.
TEST(PmxDbc, ProductWithoutLookupSourceNeedsTheLibrarysLookup) {
  const std::string strSource = StageChanged({"lookup.dbc", nullptr, nullptr});
  std::string strPrinted;
  EXPECT_EQ(RunPmxDbc(SCANDRV_LIBRARY_PATH, strSource, &strPrinted), 0) << strPrinted;
  EXPECT_EQ(Entries(RootPath("out")), (std::vector<std::string>{"database.edres", "labels.edres"}));

  const std::string strCopy = RootPath("lib/libscandrv.so");
  std::filesystem::create_directories(RootPath("lib"));
  std::filesystem::copy_file(SCANDRV_LIBRARY_PATH, strCopy);
  int iStatus = -1;
  RunProgram({SCANDRV_PMXRES, "remove", strCopy, "LOOKUP"}, &iStatus);
  ASSERT_EQ(iStatus, 0);
  EXPECT_EQ(RunPmxDbc(strCopy, strSource, &strPrinted), 1);
  EXPECT_NE(LogText().find("lookup.dbc is missing..."), std::string::npos) << LogText();
  EXPECT_FALSE(HasOutput("database.edres"));
}

// The step may run again on a file that carries the resources already:
// each name stays once, with the new data.
TEST(PmxDbc, AppendingAgainReplacesTheResources) {
  const std::string strCopy = RootPath("libscandrv.so");
  std::filesystem::copy_file(SCANDRV_LIBRARY_PATH, strCopy);
  const std::vector<std::string> vecstrBefore = ResourceNames(strCopy);
  WriteFile(RootPath("labels.edres"), "<labels/>");
  for (int i = 0; i < 2; ++i) {
    int iStatus = -1;
    RunProgram({SCANDRV_PMXRES, "add", strCopy, "LABELS=@" + RootPath("labels.edres")}, &iStatus);
    ASSERT_EQ(iStatus, 0);
  }
  EXPECT_EQ(ResourceNames(strCopy), vecstrBefore);
  EXPECT_EQ(Resource(strCopy, "LABELS"), "<labels/>");
}

// The built library: its compiled resources are those of db/sources now, each
// once beside the brand and version, and it still loads and compiles.
TEST(BuiltLibrary, CarriesTheCompiledDatabaseResources) {
  const std::vector<std::string> vecstrNames = ResourceNames(SCANDRV_LIBRARY_PATH);
  for (const char* szName : {"BRAND", "VERSION", "LABELS", "LOOKUP", "DATABASE"}) {
    EXPECT_EQ(std::count(vecstrNames.begin(), vecstrNames.end(), szName), 1) << szName;
  }
  DbcResult result = CompileRepositorySources();
  ASSERT_EQ(result.reply, "<status>success</status>") << LogText();
  EXPECT_EQ(result.printed, "");
  EXPECT_EQ(Resource(SCANDRV_LIBRARY_PATH, "LABELS"), Output("labels.edres"));
  EXPECT_EQ(Resource(SCANDRV_LIBRARY_PATH, "LOOKUP"), Output("lookup.edres"));
  EXPECT_EQ(Resource(SCANDRV_LIBRARY_PATH, "DATABASE"), Output("database.edres"));
}

// An independent look at the compiled texts of db/sources (Python's XML parser
// and counts): well-formed, and the counts and byte sizes they carry agree
// with what they hold.
TEST(BuiltLibrary, CompiledTextsHoldWhatTheirCountsSay) {
  const char* szScript = R"PY(
import re, sys
import xml.etree.ElementTree as ET
def raw(name):
    return open(sys.argv[1] + '/' + name, 'rb').read()
for name, root, record in (('lookup.edres', 'lookup', 'a'), ('database.edres', 'db', None)):
    data = raw(name)
    doc = ET.fromstring(data)
    assert doc.tag == root, name
    assert int(doc.get('bytes'), 16) == len(data), name
    records = [e for e in doc if e.tag == record] if record else [e for e in doc if e.tag in ('E', 'R', 'S')]
    assert int(doc.get('records'), 16) == len(records) - 1, name
    if root == 'lookup':
        values = sum(1 for z in doc.iter('Z') for e in z if e.tag == 'm')
    else:
        values = sum(1 for e in doc if e.tag == 'E' for b in e for f in b if f.tag == 'f')
    assert int(doc.get('enums'), 16) == values - 1, name
data = raw('labels.edres')
doc = ET.fromstring(data)
end = data.index(b'<endlangs></endlangs>') + len(b'<endlangs></endlangs>')
assert int(doc.get('bytes'), 16) == len(data) - end
tags = [e for e in doc if e.tag == 'a'][1:]
assert int(doc.get('records'), 16) == len(tags) + 1
columns = [e for e in doc][:list(e.tag for e in doc).index('endlangs')]
assert int(columns[0].text.split('=')[1].split(',')[0], 16) == sum(len(t.text.encode()) + 1 for t in tags)
children = [e for e in doc][len(columns) + 1:]
for column in columns[1:]:
    size, number = column.text.split('=')[1].split(',')
    texts = [children[i + int(number, 16)] for i, e in enumerate(children) if e.tag == 'a']
    assert int(size, 16) == sum(len((t.text or '').encode()) + 1 for t in texts), column.tag
print('ok')
)PY";
  DbcResult result = CompileRepositorySources();
  ASSERT_EQ(result.reply, "<status>success</status>") << LogText();
  int iStatus = -1;
  EXPECT_EQ(testsupport::RunPython(szScript, {RootPath("out")}, &iStatus), "ok\n");
  EXPECT_EQ(iStatus, 0);
}
