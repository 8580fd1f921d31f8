// The export, import and rename commands on the database an opened
// simulated scanner leaves: the log archive asked of the device engine
// (through the engine seam: the facade cannot write it yet) without the
// database lock, its status word, the arguments it is given and how they
// are cleared; the profile ids, which fail until the profile list can
// export, import and rename; unsupported ids and over-long texts. Every
// reply passes xmllint.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_opened_fixture.h"

using drvtest::Reply;
using drvtest::Task;

namespace {

// What the engine was asked and what it answers.
struct SaveLogProbe {
  int iCalls = 0;
  int iLockDepth = -1;
  std::string strFilename;
  std::string strText;
  bool blSaveImages = false;
  bool blSession = false;
  EDEVSTS edevsts = DEV_STS_SUCCESS;
  EDEVSTS edevstsWorded = DEV_STS_LAST;
  bool blNoWord = false;

  DrvEngineSeam Seam() {
    DrvEngineSeam drvengineseam = {};
    drvengineseam.pvUser = this;
    drvengineseam.pfnSaveLog = [](void* a_pv, const char* a_szFilename, const char* a_szText, bool a_blSaveImages,
                                  bool a_blSession) {
      auto* pprobe = static_cast<SaveLogProbe*>(a_pv);
      ++pprobe->iCalls;
      pprobe->iLockDepth = CDbLock::Depth();
      pprobe->strFilename = a_szFilename;
      pprobe->strText = a_szText;
      pprobe->blSaveImages = a_blSaveImages;
      pprobe->blSession = a_blSession;
      return pprobe->edevsts;
    };
    // The engine's words, a few of them.
    drvengineseam.pfnGetLexiconStatus = [](void* a_pv, EDEVSTS a_edevsts) -> const char* {
      auto* pprobe = static_cast<SaveLogProbe*>(a_pv);
      pprobe->edevstsWorded = a_edevsts;
      if (pprobe->blNoWord) return nullptr;
      switch (a_edevsts) {
        case DEV_STS_SUCCESS: return "success";
        case DEV_STS_BUSY: return "busy";
        case DEV_STS_LOWMEMORY: return "nomemory";
        default: return "fail";
      }
    };
    return drvengineseam;
  }
};

class DrvExportTest : public drvtest::DrvOpenedFixture {
 protected:
  Reply Command(const std::string& a_strCommand, const std::string& a_strBody) {
    const Reply reply = Run(Task("<" + a_strCommand + ">" + a_strBody + "</" + a_strCommand + ">"));
    ExpectSound(reply);
    return reply;
  }
  Reply ExportLog(const std::string& a_strMore) { return Command("export", "<id>qvlog</id>" + a_strMore); }
  void UseEngine() {
    m_drvengineseam = m_probe.Seam();
    CDrvProcessCommands::SetEngineSeam(&m_drvengineseam);
  }
  SaveLogProbe m_probe;
  DrvEngineSeam m_drvengineseam = {};
};

// ---------------------------------------------------------------------------
// The log archive
// ---------------------------------------------------------------------------
// Without a device facade, or with one that cannot write the archive, the
// export fails and leaves no archive.
TEST_F(DrvExportTest, LogArchiveFailsWithoutAFacadeOrItsArchive) {
  const std::string strArchive = testsupport::RootPath("missing/a.qvlog");
  EXPECT_EQ(ExportLog("<filename>" + strArchive + "</filename>").strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("m_pdev is null..."));
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(m_pdrvdispatch->Init(m_pdrvcommandfsm.get(), m_pdatabase.get(), &dev, m_pdrvgui.get(), nullptr),
            OS_STS_SUCCESS);
  EXPECT_EQ(ExportLog("<filename>" + strArchive + "</filename>").strStatus, "fail");
  EXPECT_FALSE(testsupport::FileExists(strArchive));
  ASSERT_EQ(m_pdrvdispatch->Init(m_pdrvcommandfsm.get(), m_pdatabase.get(), nullptr, m_pdrvgui.get(), nullptr),
            OS_STS_SUCCESS);
}

// The engine gets the file name, the text, the save-images flag (set only
// by exactly "true") and the session flag, without the database lock; the
// reply is the engine's word for its status.
TEST_F(DrvExportTest, LogArchiveIsAskedOfTheEngineWithoutTheLock) {
  UseEngine();
  const Reply reply = ExportLog("<filename>/tmp/a.qvlog</filename><text>jam at 10:40</text><saveimages>true</saveimages>");
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(m_probe.iCalls, 1);
  EXPECT_EQ(m_probe.iLockDepth, 0);
  EXPECT_EQ(m_probe.strFilename, "/tmp/a.qvlog");
  EXPECT_EQ(m_probe.strText, "jam at 10:40");
  EXPECT_TRUE(m_probe.blSaveImages);
  EXPECT_TRUE(m_probe.blSession);
  EXPECT_EQ(CDbLock::Depth(), 0);
  const struct {
    const char* szSaveImages;
    bool blSaveImages;
  } acase[] = {{"TRUE", false}, {"1", false}, {"true ", false}, {"", false}, {"true", true}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szSaveImages);
    ExportLog(std::string("<saveimages>") + c.szSaveImages + "</saveimages>");
    EXPECT_EQ(m_probe.blSaveImages, c.blSaveImages);
  }
}

// Each export starts with empty arguments: nothing of the previous one is
// sent again.
TEST_F(DrvExportTest, ExportArgumentsStartEmpty) {
  UseEngine();
  ExportLog("<filename>/tmp/a.qvlog</filename><text>first</text><saveimages>true</saveimages>");
  ExportLog("");
  EXPECT_EQ(m_probe.iCalls, 2);
  EXPECT_EQ(m_probe.strFilename, "");
  EXPECT_EQ(m_probe.strText, "");
  EXPECT_FALSE(m_probe.blSaveImages);
}

// The engine's status comes back as its word; a facade that names none
// answers "fail".
TEST_F(DrvExportTest, TheEnginesStatusIsItsWord) {
  UseEngine();
  const struct {
    EDEVSTS edevsts;
    bool blNoWord;
    const char* szStatus;
  } acase[] = {{DEV_STS_BUSY, false, "busy"},
               {DEV_STS_LOWMEMORY, false, "nomemory"},
               {DEV_STS_FAIL, false, "fail"},
               {DEV_STS_SUCCESS, true, "fail"}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szStatus);
    m_probe.edevsts = c.edevsts;
    m_probe.blNoWord = c.blNoWord;
    EXPECT_EQ(ExportLog("<filename>/tmp/a.qvlog</filename>").strStatus, c.szStatus);
    EXPECT_EQ(m_probe.edevstsWorded, c.edevsts);
  }
}

// A text longer than its field is refused whole before the engine is asked.
TEST_F(DrvExportTest, OverLongTextsAreRefused) {
  UseEngine();
  const std::string strLong(2000, 'f');
  for (const std::string& strMore : {"<filename>" + strLong + "</filename>", "<text>" + strLong + "</text>",
                                     "<filename>" + std::string(1024, 'f') + "</filename>"}) {
    EXPECT_EQ(ExportLog(strMore).strStatus, "fail");
  }
  EXPECT_EQ(Command("export", "<id>" + strLong + "</id>").strStatus, "fail");
  EXPECT_EQ(Command("import", "<id>profilelist</id><filename>" + strLong + "</filename>").strStatus, "fail");
  EXPECT_EQ(Command("rename", "<id>profile</id><profileitem><text>" + strLong + "</text></profileitem>").strStatus,
            "fail");
  EXPECT_EQ(m_probe.iCalls, 0);
  EXPECT_TRUE(m_plog->Contains("text too long for <filename>"));
  EXPECT_TRUE(m_plog->Contains("text too long for <text>"));
  // The longest that fits is taken whole.
  EXPECT_EQ(ExportLog("<filename>" + std::string(1023, 'f') + "</filename>").strStatus, "success");
  EXPECT_EQ(m_probe.strFilename, std::string(1023, 'f'));
}

// ---------------------------------------------------------------------------
// Profiles and unsupported ids
// ---------------------------------------------------------------------------
// Without a user directory there is nothing to export: "fail"; a package
// that does not exist and a rename to a
// graphic that does not exist answers "badvalue"; nothing changed. Other
// ids are not supported.
TEST_F(DrvExportTest, ProfileIdsThroughTheListAndOtherIdsAreUnsupported) {
  UseEngine();
  const std::vector<std::string> vecBefore = Values();
  const struct {
    const char* szCommand;
    std::string strBody;
    const char* szLog;
  } acase[] = {
      {"export", "<id>profilelist</id><filename>/tmp/p.pkg</filename>", "Export failed, no user profile directory..."},
      {"import", "<id>profilelist</id><filename>/nonexistent/p.pkg</filename>", "Import failed, file not found..."},
      {"rename", "<id>profile</id><profileitem><text>new</text><graphicfilename>g.png</graphicfilename></profileitem>",
       "Rename failed, invalid graphic filename..."},
      {"export", "<id>profile</id>", "Unsupported id for export profile..."},
      {"export", "<id>QVLOG</id>", "Unsupported id for export QVLOG..."},
      {"export", "", "Unsupported id for export ..."},
      {"import", "<id>qvlog</id>", "Unsupported id for import qvlog..."},
      {"rename", "<id>window</id>", "Unsupported id for rename window..."},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.strBody);
    const Reply reply = Command(c.szCommand, c.strBody);
    const bool blBadValue = (c.strBody.starts_with("<id>profile</id>") && std::string(c.szCommand) == "rename") ||
                            (c.strBody.starts_with("<id>profilelist</id>") && std::string(c.szCommand) == "import");
    EXPECT_EQ(reply.strStatus, blBadValue ? "badvalue" : "fail");
    EXPECT_TRUE(m_plog->Contains(c.szLog));
    EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);
  }
  EXPECT_EQ(m_probe.iCalls, 0);
  EXPECT_EQ(Values(), vecBefore);
}

}  // namespace
