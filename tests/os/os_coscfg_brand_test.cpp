// The brand (environment override, "BRAND" resource, indented XML) and the
// sibling library "pelum" (found, missing, broken, odd replies).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "log_capture.h"
#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_cosresource.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"
#include "test_support.h"

namespace {

using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::WriteFile;

constexpr const char* kBrand =
    "<brand>\r\n"
    "\t<companyname>Acme Imaging</companyname>\r\n"
    "\t<companynameshort>Acme</companynameshort>\r\n"
    "\t<copyright>(c) Acme</copyright>\r\n"
    "\t<productname>Acme Scan</productname>\r\n"
    "\t<urlcompany>https://acme.invalid/</urlcompany>\r\n"
    "\t<urlsupport>https://acme.invalid/help/</urlsupport>\r\n"
    "\t<urlsupportmodel>https://acme.invalid/help/models/</urlsupportmodel>\r\n"
    "\t<macmfgidentity>acme</macmfgidentity>\r\n"
    "</brand>\r\n";

class OsCfgBrand : public ::testing::Test {
 protected:
  void TearDown() override {
    cfg_.reset();
    log_.reset();
    COsCfgImpl::SetResourceFile(nullptr);
  }
  // The brand resource comes from a file of the test's own.
  void UseBrand(const std::string& brand) {
    const std::string file = RootPath("brand.bin");
    WriteFile(file, "bytes before the resources");
    COsResource osresource;
    ASSERT_EQ(osresource.Update(file.c_str(), "BRAND", OS_RESOURCETYPE_DATA, brand.size(), brand.data()),
              OS_STS_SUCCESS);
    COsCfgImpl::SetResourceFile(file.c_str());
  }
  void Make() { cfg_ = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr); }
  void CaptureLog() { log_ = std::make_unique<testsupport::LogCapture>(); }
  bool Logged(const std::string& text) {
    return (log_->Text() + ReadFile(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_PMX_LOG))).find(text) != std::string::npos;
  }
  std::string Brand(unsigned tag) { return cfg_->Get(OS_CFGSECTION_BRAND, tag); }
  std::string RootName() {
    const std::string root = cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_ROOTPATH);
    return root.substr(root.rfind('/') + 1);
  }

  std::unique_ptr<COsCfg> cfg_;
  std::unique_ptr<testsupport::LogCapture> log_;
};

TEST_F(OsCfgBrand, FromTheResource) {
  UseBrand(kBrand);
  Make();
  EXPECT_EQ(Brand(OS_CFGTAG_COMPANYNAME), "Acme Imaging");
  EXPECT_EQ(Brand(OS_CFGTAG_COMPANYNAMESHORT), "Acme");
  EXPECT_EQ(Brand(OS_CFGTAG_COPYRIGHT), "(c) Acme");
  EXPECT_EQ(Brand(OS_CFGTAG_PRODUCTNAME), "Acme Scan");
  EXPECT_EQ(Brand(OS_CFGTAG_URLCOMPANY), "https://acme.invalid/");
  EXPECT_EQ(Brand(OS_CFGTAG_URLSUPPORT), "https://acme.invalid/help/");
  EXPECT_EQ(Brand(OS_CFGTAG_URLSUPPORTMODEL), "https://acme.invalid/help/models/");
  EXPECT_EQ(Brand(OS_CFGTAG_MACMFGIDENTITY), "acme");
  // A company name brings the brand's product family along.
  EXPECT_NE(Brand(OS_CFGTAG_PRODUCTFAMILY), "");
  EXPECT_EQ(std::string(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MANUFACTURER)), "Acme Imaging");
  EXPECT_EQ(RootName(), "Acme");
  EXPECT_STREQ(cfg_->GetBrandXml(0), kBrand);
}

// The library's own resource (tools/resources/brand.xml).
TEST_F(OsCfgBrand, FromTheLibrarysOwnResource) {
  Make();
  COsResource osresource;
  ASSERT_EQ(osresource.Open(OS_RESOURCE_LOCAL, "BRAND", OS_RESOURCETYPE_DATA), OS_STS_SUCCESS);
  const std::string own(static_cast<const char*>(osresource.GetPointer()), osresource.GetSize());
  osresource.Close();
  EXPECT_EQ(cfg_->GetBrandXml(0), own);
  char shortName[512];
  ASSERT_EQ(COsXml::GetContent(own.c_str(), "<companynameshort>", "</companynameshort>", shortName, sizeof shortName),
            OS_STS_SUCCESS);
  EXPECT_EQ(Brand(OS_CFGTAG_COMPANYNAMESHORT), shortName);
  EXPECT_EQ(RootName(), shortName);
}

TEST_F(OsCfgBrand, MakersOwnShortNameInAnyCaseIsPemra) {
  UseBrand("<brand><companynameshort>PEMRA</companynameshort></brand>");
  Make();
  EXPECT_EQ(Brand(OS_CFGTAG_COMPANYNAMESHORT), "PEMRA");
  EXPECT_EQ(RootName(), "pemra");
  // What the resource does not name keeps the built-in text.
  EXPECT_EQ(Brand(OS_CFGTAG_COMPANYNAME), "Pemra Imaging");
}

TEST_F(OsCfgBrand, EnvironmentOverridesTheResource) {
  UseBrand(kBrand);
  setenv("PMX_COMPANYNAMESHORT", "Zeta", 1);
  Make();
  unsetenv("PMX_COMPANYNAMESHORT");
  EXPECT_EQ(Brand(OS_CFGTAG_COMPANYNAME), "Zeta");
  EXPECT_EQ(Brand(OS_CFGTAG_COMPANYNAMESHORT), "Zeta");
  EXPECT_EQ(RootName(), "Zeta");
  // The resource is not read: the rest is built in, and there is no brand XML.
  EXPECT_EQ(Brand(OS_CFGTAG_COPYRIGHT), "Copyright (c) Pemra Imaging. All rights reserved.");
  EXPECT_STREQ(cfg_->GetBrandXml(0), "");
}

// The first 2047 bytes are kept and logged; an element cut there is not found.
TEST_F(OsCfgBrand, OverlongResourceKeepsItsBeginning) {
  std::string brand = "<brand><companyname>Long Co</companyname><copyright>";
  brand += std::string(2047 - brand.size() - 5, 'c');
  brand += "</copyright><productname>Late</productname></brand>";
  ASSERT_GT(brand.size(), 2047u);
  UseBrand(brand);
  CaptureLog();
  Make();
  EXPECT_TRUE(Logged("m_szBrand too small..."));
  EXPECT_EQ(std::string(cfg_->GetBrandXml(0)), brand.substr(0, 2047));
  EXPECT_EQ(Brand(OS_CFGTAG_COMPANYNAME), "Long Co");
  EXPECT_EQ(Brand(OS_CFGTAG_COPYRIGHT), "Copyright (c) Pemra Imaging. All rights reserved.");
  EXPECT_EQ(Brand(OS_CFGTAG_PRODUCTNAME), "Pemra Scanner Driver");
}

// A text too long for its 512-byte field is not taken.
TEST_F(OsCfgBrand, ElementLongerThanItsFieldIsPassedOver) {
  UseBrand("<brand><productname>" + std::string(600, 'p') + "</productname><copyright>ok</copyright></brand>");
  Make();
  EXPECT_EQ(Brand(OS_CFGTAG_PRODUCTNAME), "Pemra Scanner Driver");
  EXPECT_EQ(Brand(OS_CFGTAG_COPYRIGHT), "ok");
}

TEST_F(OsCfgBrand, IndentedBrandXml) {
  UseBrand("<brand>\r\n<a>1</a>\n<b>2</b>\r</brand>");
  Make();
  EXPECT_STREQ(cfg_->GetBrandXml(2), "\t\t<brand>\n\t\t<a>1</a>\n\t\t<b>2</b>\n\t\t</brand>\n");
  EXPECT_STREQ(cfg_->GetBrandXml(6), "  \t\t\t\t<brand>\n  \t\t\t\t<a>1</a>\n  \t\t\t\t<b>2</b>\n  \t\t\t\t</brand>\n");
  EXPECT_STREQ(cfg_->GetBrandXml(4), "\t\t\t\t<brand>\n\t\t\t\t<a>1</a>\n\t\t\t\t<b>2</b>\n\t\t\t\t</brand>\n");
}

// ---- pelum -----------------------------------------------------------------------------

class OsCfgPelum : public OsCfgBrand {
 protected:
  // The system directory, where a test installs the library, lies below the
  // root of an override ini: here the test's own root.
  void SetUp() override {
    WriteFile(RootPath("override.ini"), "[main]\nroot=" + testsupport::Root() + "\n");
    setenv("PMX_OVERRIDEINI", RootPath("override.ini").c_str(), 1);
  }
  // Where the store looks for the library after the driver's directory.
  std::string PelumPlace() {
    const std::string directory = std::string(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_SYSTEMDIRECTORY)) + "/" +
                                  cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY) + "/lib";
    std::filesystem::create_directories(directory);
    return directory + "/pelum.so";
  }
  void Install(const std::string& from) {
    std::filesystem::copy_file(from, PelumPlace(), std::filesystem::copy_options::overwrite_existing);
  }
  const std::string trace_ = RootPath("pelum-trace.txt");
};

TEST_F(OsCfgPelum, MissingLibraryGivesTheFixedSuccessReply) {
  Make();
  const char* reply = cfg_->PelumGetReportFunctions();
  ASSERT_NE(reply, nullptr);
  EXPECT_STREQ(reply, COsXmlTask::ReportStatusSuccess());
  EXPECT_EQ(std::strstr(reply, "<functionname>"), nullptr);
  EXPECT_EQ(cfg_->PelumGetReportFunctions(), reply);
}

TEST_F(OsCfgPelum, StandInListsItsFunctionAndHearsTheClose) {
  setenv("PELUM_STANDIN_TRACE", trace_.c_str(), 1);
  Make();
  Install(SCANDRV_PELUM_PATH);
  const char* reply = cfg_->PelumGetReportFunctions();
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(cfg_->PelumGetReportFunctions(), reply);
  // The function's address follows its name; calling it copies a file.
  const char* name = std::strstr(reply, "<functionname>OsImageDecompress</functionname>");
  ASSERT_NE(name, nullptr) << reply;
  char hex[32];
  ASSERT_EQ(COsXml::GetContent(name, "<functionptr>", "</functionptr>", hex, sizeof hex), OS_STS_SUCCESS);
  using Decompress = int (*)(void*, const char*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, const char*,
                             uint32_t*);
  auto decompress = reinterpret_cast<Decompress>(std::strtoull(hex, nullptr, 16));
  WriteFile(RootPath("in.raw"), "image bytes");
  uint32_t size = 0;
  EXPECT_EQ(decompress(nullptr, RootPath("in.raw").c_str(), 11, 2, 1, 8, 1, RootPath("out.raw").c_str(), &size), 0);
  EXPECT_EQ(ReadFile(RootPath("out.raw")), "image bytes");
  EXPECT_EQ(size, 11u);
  // One interfaceopen task with id 1 and reply 0; the close at the end.
  const std::string asked = ReadFile(trace_);
  uint64_t id = 9, replyId = 9;
  EXPECT_TRUE(COsXml::GetTaskPropertyId(asked.c_str(), &id));
  EXPECT_TRUE(COsXml::GetTaskPropertyReply(asked.c_str(), &replyId));
  EXPECT_EQ(id, 1u);
  EXPECT_EQ(replyId, 0u);
  EXPECT_TRUE(COsXml::CheckForCommand(asked.c_str(), "<interfaceopen>", -1)) << asked;
  EXPECT_EQ(asked.find("<interfaceclose>"), std::string::npos);
  cfg_.reset();
  unsetenv("PELUM_STANDIN_TRACE");
  EXPECT_NE(ReadFile(trace_).find("<task><interfaceclose></interfaceclose></task>\n"), std::string::npos);
}

TEST_F(OsCfgPelum, RepliesThatAreEmptyNullOrLong) {
  const struct {
    const char* mode;
    bool fixed;
  } cases[] = {{"empty", true}, {"null", true}, {"long", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    setenv("PELUM_STANDIN_REPLY", c.mode, 1);
    Make();
    Install(SCANDRV_PELUM_PATH);
    const std::string reply = cfg_->PelumGetReportFunctions();
    cfg_.reset();
    if (c.fixed) {
      EXPECT_EQ(reply, COsXmlTask::ReportStatusSuccess());
    } else {
      EXPECT_EQ(reply.size(), 2047u);
      EXPECT_NE(reply.find("<functionname>OsImageDecompress</functionname>"), std::string::npos);
    }
  }
  unsetenv("PELUM_STANDIN_REPLY");
}

TEST_F(OsCfgPelum, LibraryWithoutEntryGivesNullAndIsAskedAgain) {
  CaptureLog();
  Make();
  Install(SCANDRV_PELUM_NOENTRY_PATH);
  EXPECT_EQ(cfg_->PelumGetReportFunctions(), nullptr);
  EXPECT_TRUE(Logged("SharedLibraryGetProc failed..."));
  // Replaced by a good library, the next call finds it.
  std::filesystem::remove(PelumPlace());
  Install(SCANDRV_PELUM_PATH);
  const char* reply = cfg_->PelumGetReportFunctions();
  ASSERT_NE(reply, nullptr);
  EXPECT_NE(std::strstr(reply, "OsImageDecompress"), nullptr);
}

TEST_F(OsCfgPelum, FileThatIsNoLibraryGivesTheFixedReply) {
  Make();
  WriteFile(PelumPlace(), "this is not a shared object");
  const char* reply = cfg_->PelumGetReportFunctions();
  ASSERT_NE(reply, nullptr);
  EXPECT_STREQ(reply, COsXmlTask::ReportStatusSuccess());
}

}  // namespace
