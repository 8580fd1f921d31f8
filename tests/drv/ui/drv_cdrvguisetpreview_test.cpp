// The preview question of the GUI's value changes, answered "yes" by the
// staged stand-in, on a bridge without a driver: the preview the answer
// asks for cannot run, and no rescan is left marked in the database for a
// later scan to read.
#include <gtest/gtest.h>

#include <string>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_gui_messages_fixture.h"
#include "os_cosxml.h"

namespace {

class GuiSetPreviewTest : public guimsgtest::GuiMessagesTest {
 protected:
  void Run(EOSSTS (CDrvGuiImpl::*a_pfn)(COsXml*, long long), const std::string& a_str) {
    COsXml osxml;
    ASSERT_EQ(osxml.DocumentLoad(a_str.c_str(), static_cast<long>(a_str.size())), OS_STS_SUCCESS) << a_str;
    osxml.NodeRewind();
    (m_pdrvguiimpl.get()->*a_pfn)(&osxml, 1);
    osxml.DocumentFree();
  }
  long Current(EDBID a_edbid) {
    CDbLockGuard dblockguard;
    return m_pdatabase->GetCurrentLongFromId(a_edbid);
  }
};

TEST_F(GuiSetPreviewTest, AYesWhosePreviewCannotRunLeavesNoRescanMarked) {
  setenv("UISTANDIN_BUTTON", "yes", 1);
  StartReady();
  SetLong(DB_ID_PREVIEWMODE, DB_ID_PREVIEWMODE_ENUM_TRUE);
  SetLong(DB_ID_PREVIEWUPDATE, DB_ID_PREVIEWUPDATE_ENUM_FALSE);
  const long lContrast = Current(DB_ID_CONTRAST);
  // Contrast with automatic updates off: the user is asked.
  const std::string strValue = std::to_string(lContrast == 0 ? 10 : 0);
  Run(&CDrvGuiImpl::DispatcherSetValue, "<setvalue><id>contrast</id><value>" + strValue + "</value></setvalue>");
  ASSERT_EQ(std::to_string(Current(DB_ID_CONTRAST)), strValue) << m_plog->Text();
  size_t sizetAsked = 0;
  for (const std::string& str : Captured(0)) sizetAsked += str.find("yesno") != std::string::npos;
  ASSERT_EQ(sizetAsked, 1u) << "the question was asked";
  EXPECT_FALSE(m_pdatabase->TestDbState(DB_STATE_PREVIEWRESCAN));
  EXPECT_FALSE(m_pdatabase->TestDbState(DB_STATE_GUISETVALUE));
}

}  // namespace
