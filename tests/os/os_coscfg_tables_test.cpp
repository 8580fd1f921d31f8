// The built-in sections, tags and defaults of the configuration store,
// checked against the written description in tests/data/os/coscfg_builtin.md:
// the text is parsed here, independently of the tables in the code.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_coscfgtables.h"
#include "test_support.h"

namespace {

struct Described {
  std::map<unsigned, std::string> sections;
  std::map<unsigned, std::string> tags;  // named tags only
  std::set<unsigned> unnamed;
  unsigned namedCount = 0;
  // (section, tag) -> default; "<version:n>" and "<brand>" stand for the
  // caller's version field n and a brand text of the implementer's choice.
  std::map<std::pair<unsigned, unsigned>, std::string> defaults;
};

// Every match of a pattern, each as its groups (0 the whole match).
std::vector<std::vector<std::string>> AllMatches(const std::string& text, const std::string& pattern) {
  std::vector<std::vector<std::string>> all;
  std::regex re(pattern);
  for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) {
    std::vector<std::string> groups;
    for (const auto& g : *it) groups.push_back(g.str());
    all.push_back(groups);
  }
  return all;
}

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  auto start = text.find(from);
  if (start == std::string::npos) return "";
  start += from.size();
  auto end = text.find(to, start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string LineStartingWith(const std::string& text, const std::string& prefix) {
  for (const auto& line : testsupport::Lines(text)) {
    if (line.rfind(prefix, 0) == 0) return line;
  }
  return "";
}

void ParseTags(const std::string& text, Described* d) {
  std::string line = LineStartingWith(text, "Built-in tags:");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(line, m, std::regex(R"re((\d+) named tags)re")));
  d->namedCount = std::stoul(m[1]);
  std::string unnamed = Between(line, "; ids ", " have no name");
  for (const auto& g : AllMatches(unnamed, R"re(\d+)re")) d->unnamed.insert(std::stoul(g[0]));
  std::string order = line.substr(line.find("In id order:"));
  // "221 to 271 `N0` to `N50`": a run of numbered names.
  std::regex run(R"re((\d+) to (\d+) `([A-Za-z]+)(\d+)` to `[A-Za-z]+(\d+)`)re");
  ASSERT_TRUE(std::regex_search(order, m, run));
  for (unsigned id = std::stoul(m[1]), n = std::stoul(m[4]); id <= std::stoul(m[2]); ++id, ++n) {
    d->tags[id] = m[3].str() + std::to_string(n);
  }
  order = std::regex_replace(order, run, "");
  // The JPEG tables: Y at first + 2q/5 and CbCr one higher, q = 0, 5, ... 100.
  std::regex jpeg(
      R"re((\d+) to (\d+) the JPEG tables, named (\w+)_ and (\w+)_ followed by the quality q = 0, 5, 10, \.\.\. 100 \(Y at (\d+) \+ 2q/5, CbCr one higher[^)]*\))re");
  ASSERT_TRUE(std::regex_search(order, m, jpeg));
  for (unsigned q = 0; q <= 100; q += 5) {
    unsigned id = std::stoul(m[5]) + 2 * q / 5;
    d->tags[id] = m[3].str() + "_" + std::to_string(q);
    d->tags[id + 1] = m[4].str() + "_" + std::to_string(q);
  }
  EXPECT_EQ(std::stoul(m[2]), std::stoul(m[5]) + 2 * 100 / 5 + 1);
  order = std::regex_replace(order, jpeg, "");
  for (const auto& g : AllMatches(order, R"re((\d+) `([^`]+)`)re")) d->tags[std::stoul(g[1])] = g[2];
}

// The ids named in the first cell of a defaults row.
std::set<unsigned> RowIds(std::string cell) {
  cell = std::regex_replace(cell, std::regex(R"re(`[^`]*`|\([^)]*\))re"), "");
  std::set<unsigned> ids;
  const char* range = R"re((\d+) to (\d+))re";
  for (const auto& g : AllMatches(cell, range)) {
    for (unsigned id = std::stoul(g[1]); id <= std::stoul(g[2]); ++id) ids.insert(id);
  }
  cell = std::regex_replace(cell, std::regex(range), "");
  for (const auto& g : AllMatches(cell, R"re(\d+)re")) ids.insert(std::stoul(g[0]));
  return ids;
}

std::string RowValue(const std::string& cell, const std::string& text) {
  std::smatch m;
  if (cell.find("OsCfgVersion") != std::string::npos) return "<version>";
  if (cell.find("brand texts") != std::string::npos) return "<brand>";
  if (std::regex_search(cell, m, std::regex(R"re("([^"]*)")re"))) return m[1];
  if (cell.find("empty") != std::string::npos) return "";
  // A field named alone: its value is given in a sentence of its own.
  if (std::regex_search(cell, m, std::regex(R"re(^\s*`(m_sz\w+)`\s*$)re"))) {
    std::smatch v;
    std::string sentence = LineStartingWith(text, "`" + m[1].str() + "` is");
    if (std::regex_search(sentence, v, std::regex(R"re(is "([^"]*)")re"))) return v[1];
  }
  ADD_FAILURE() << "cannot read default <" << cell << ">";
  return "?";
}

void ParseJpeg(const std::string& text, std::map<std::string, std::string>* jpeg) {
  std::smatch m;
  for (const auto& line : testsupport::Lines(text)) {
    if (line.rfind("- `JpegQuantization_", 0) != 0) continue;
    std::string names = line.substr(0, line.find(':'));
    std::string value;
    if (std::regex_search(line, m, std::regex(R"re(: "([0-9A-F]+)")re"))) {
      value = m[1];
    } else if (std::regex_search(line, m, std::regex(R"re(\("([0-9A-F]{2})" (\d+) times\))re"))) {
      for (unsigned i = 0; i < std::stoul(m[2]); ++i) value += m[1].str();
    }
    for (const auto& g : AllMatches(names, R"re(`([^`]+)`)re")) (*jpeg)[g[1]] = value;
  }
}

void ParseDefaults(const std::string& text, Described* d) {
  std::map<std::string, std::string> jpeg;
  ParseJpeg(text, &jpeg);
  std::string table = Between(text, "| tag | default |\n|---|---|\n", "\n\n");
  ASSERT_FALSE(table.empty());
  for (const auto& row : testsupport::Lines(table)) {
    auto bar = row.find(" | ");
    std::string left = row.substr(2, bar - 2);
    std::string right = row.substr(bar + 3, row.rfind(" |") - bar - 3);
    unsigned section = 1;
    std::smatch m;
    if (std::regex_search(left, m, std::regex(R"re(^section (\d+): )re"))) {
      section = std::stoul(m[1]);
      left = m.suffix();
    }
    if (left.find("JPEG tables") != std::string::npos) {
      for (const auto& [id, name] : d->tags) {
        if (name.rfind("JpegQuantization_", 0) == 0) d->defaults[{section, id}] = jpeg.count(name) ? jpeg[name] : "";
      }
      continue;
    }
    std::string value = RowValue(right, text);
    std::set<unsigned> ids = RowIds(left);
    ASSERT_FALSE(ids.empty()) << row;
    unsigned versionField = 0;
    for (unsigned id : ids) {
      d->defaults[{section, id}] = value == "<version>" ? "<version:" + std::to_string(versionField++) + ">" : value;
    }
  }
}

Described ReadDescription() {
  std::string text = testsupport::ReadFile(std::string(SCANDRV_TEST_DATA) + "/os/coscfg_builtin.md");
  Described d;
  EXPECT_FALSE(text.empty());
  std::string sections = LineStartingWith(text, "Built-in sections:");
  for (const auto& g : AllMatches(sections, R"re((\d+) `([^`]+)`)re")) d.sections[std::stoul(g[1])] = g[2];
  ParseTags(text, &d);
  ParseDefaults(text, &d);
  return d;
}

OsCfgVersion TestVersion() {
  return OsCfgVersion{"04", "10", "02", "00", "28", "07", "2015"};
}

// Tags that the load derives from the machine and the layout.
bool DerivedByLoad(unsigned section, unsigned tag) {
  return section == OS_CFGSECTION_MAIN &&
         ((tag >= OS_CFGTAG_HOMEDIRECTORY && tag <= OS_CFGTAG_TMPDIRECTORY) || tag == OS_CFGTAG_OSNAME ||
          (tag >= OS_CFGTAG_CONST_INI && tag <= OS_CFGTAG_RAMSCAN_TXT) || tag == OS_CFGTAG_APPLICATION);
}

}  // namespace

TEST(OsCfgTables, SectionAndTagNamesAreTheDescribedOnes) {
  Described d = ReadDescription();
  ASSERT_EQ(d.sections.size(), 5u);
  for (unsigned id = 1; id <= 5; ++id) {
    EXPECT_STREQ(s_aoscfgnamesection[id - 1].szName, d.sections[id].c_str());
    EXPECT_EQ(s_aoscfgnamesection[id - 1].uId, id);
  }
  EXPECT_EQ(s_aoscfgnamesection[5].uId, 0u);

  EXPECT_EQ(d.unnamed, (std::set<unsigned>{62, 82, 167, 168, 178}));
  EXPECT_EQ(d.tags.size(), d.namedCount);
  unsigned named = 0;
  for (unsigned id = 1; id <= 271; ++id) {
    const OsCfgName& row = s_aoscfgnametag[id - 1];
    EXPECT_EQ(row.uId, id);
    if (d.unnamed.count(id)) {
      EXPECT_EQ(row.szName, nullptr) << id;
      continue;
    }
    ASSERT_TRUE(d.tags.count(id)) << id;
    ASSERT_NE(row.szName, nullptr) << id;
    EXPECT_EQ(row.szName, d.tags[id]) << id;
    ++named;
  }
  EXPECT_EQ(named, d.namedCount);
  EXPECT_EQ(s_aoscfgnametag[271].uId, 0u);
  // The doubled name finds the first of its two ids; names ignore case.
  EXPECT_EQ(OsCfgNameFind(s_aoscfgnametag, "DesktopDirectory", false), 6u);
  EXPECT_EQ(OsCfgNameFind(s_aoscfgnametag, "jpegquantization_cbcr_100", false), 220u);
  EXPECT_EQ(OsCfgNameFind(s_aoscfgnamesection, "pmx_all.ds", false), 5u);
}

TEST(OsCfgTables, EveryBuiltInDefaultIsTheDescribedOne) {
  Described d = ReadDescription();
  ASSERT_GT(d.defaults.size(), 100u);
  OsCfgVersion version = TestVersion();
  const char* versionFields[] = {version.szMajorNum, version.szMinorNum, version.szPatchNum, version.szBuildNum,
                                 version.szDay,      version.szMonth,    version.szYear};
  // The built-in brand: no brand resource is read.
  COsCfgImpl::SetResourceFile(testsupport::RootPath("no-resources").c_str());
  COsCfg cfg("driver", OS_CFGENTITY_UTILITY, nullptr, &version, false, nullptr);
  COsCfgImpl::SetResourceFile(nullptr);

  // The data table holds exactly the described rows.
  std::set<std::pair<unsigned, unsigned>> tableRows;
  for (size_t i = 0; i < s_sizetoscfgdefault; ++i) {
    auto key = std::make_pair(s_aoscfgdefault[i].uSection, s_aoscfgdefault[i].uTag);
    EXPECT_TRUE(tableRows.insert(key).second) << "twice: " << key.first << "/" << key.second;
    EXPECT_TRUE(d.defaults.count(key))
        << "not described: " << key.first << "/" << key.second;
  }
  for (const auto& [key, value] : d.defaults) {
    if (!value.empty()) {
      EXPECT_TRUE(tableRows.count(key)) << "missing row: " << key.first << "/" << key.second;
    }
  }

  // The live store reads every default, and nothing in the other sections.
  for (unsigned section = 1; section <= 5; ++section) {
    for (unsigned tag = 1; tag <= 271; ++tag) {
      std::string got = cfg.Get(section, tag);
      auto it = d.defaults.find({section, tag});
      if (it == d.defaults.end()) {
        if (!DerivedByLoad(section, tag)) {
          EXPECT_EQ(got, "") << section << "/" << tag;
        }
        continue;
      }
      const std::string& want = it->second;
      if (want == "<brand>") {
        EXPECT_NE(got, "") << tag;
      } else if (want.rfind("<version:", 0) == 0) {
        EXPECT_EQ(got, versionFields[std::stoul(want.substr(9))]) << tag;
      } else {
        EXPECT_EQ(got, want) << section << "/" << tag << " " << s_aoscfgnametag[tag - 1].szName;
      }
    }
  }
}
