// The GUI bridge's info box: the wait for the button the user presses in
// a dialog or message, and the flags cleared once it is answered.
//
// A wait ends on a button, on the GUI's end, its stop or the bridge's
// destruction (all three answer cancel), or on its time-out. A wait that
// no answer can end (nothing with buttons was sent, no button is set)
// answers 0 at once.
#include <chrono>

#include "db_cdblock.h"
#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"

namespace {

// A wait looks at the GUI's state at least this often (milliseconds).
constexpr long s_lButtonSlice = 100;

}  // namespace

void CDrvGuiImpl::WakeButtonWaiters() {
  std::lock_guard<std::mutex> lock(m_mutexButtons);
  m_condButtons.notify_all();
}

EDBINFOBUTTON CDrvGuiImpl::TestInfoBox(long a_lMilliseconds) {
  auto pressed = [this] {
    return m_ablButton[BUTTON_OK] || m_ablButton[BUTTON_CANCEL] || m_ablButton[BUTTON_YES] || m_ablButton[BUTTON_NO];
  };
  auto gone = [this] {
    return m_blNoGui || m_blStopRequested || GetGuiState() == DRV_UILINKSTATE_ENDED;
  };
  if (!pressed() && !m_blAwaiting) {
    OsLogDebug(OS_LOG_INFO, "TestInfoBox: no answer can come, not waiting...");
    return DB_INFOBUTTON_NONE;
  }
  const bool blForever = a_lMilliseconds < 0 || static_cast<unsigned long>(a_lMilliseconds) >= 0xFFFFFFFFul;
  const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(blForever ? 0 : a_lMilliseconds);
  {
    CDbLockRelease dblockrelease;
    std::unique_lock<std::mutex> lock(m_mutexButtons);
    while (!pressed() && !gone()) {
      auto timepointSlice = std::chrono::steady_clock::now() + std::chrono::milliseconds(s_lButtonSlice);
      if (!blForever) {
        if (std::chrono::steady_clock::now() >= timepointEnd) {
          OsLogDebug(OS_LOG_INFO, "TestInfoBox: time-out...");
          return DB_INFOBUTTON_NONE;
        }
        if (timepointEnd < timepointSlice) timepointSlice = timepointEnd;
      }
      m_condButtons.wait_until(lock, timepointSlice);
    }
  }
  EDBINFOBUTTON edbinfobutton = DB_INFOBUTTON_CANCEL;
  if (!pressed()) {
    OsLog(OS_LOG_ERROR, "TestInfoBox: the GUI is gone, answering cancel...");
  } else if (m_ablButton[BUTTON_CANCEL]) {
    edbinfobutton = DB_INFOBUTTON_CANCEL;
  } else if (m_ablButton[BUTTON_OK] || m_ablButton[BUTTON_YES]) {
    edbinfobutton = DB_INFOBUTTON_OKYES;
  } else {
    edbinfobutton = DB_INFOBUTTON_NO;
  }
  ClearInfoBox(false);
  return edbinfobutton;
}

void CDrvGuiImpl::ClearInfoBox(bool a_blClearDialog) {
  if (a_blClearDialog) MessageManager(DEV_DLG_MESSAGE, DEV_MSG_CLEAR, nullptr, 0, DEV_BUTTONS_NONE, nullptr);
  m_blHealthSuspended = m_blNoGui.load();
  for (std::atomic<bool>& blButton : m_ablButton) blButton = false;
  m_blAwaiting = false;
  m_blScanRequested = false;
  m_blOkPressed = false;
  m_blCancelRequested = false;
  m_blPreviewRunning = false;
}
