// The driver core as the driver object puts it together, for the tests: the
// database of the database tests with the library's resources loaded, the
// GUI bridge without a GUI program, the state machine on it and the
// dispatcher with the built-in grammar. Tasks run as the driver runs
// them: the dispatcher, then the state machine with the task's status.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "../db/db_fixture.h"
#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "drv_cdrvcommandfsm.h"
#include "drv_cdrvdispatch.h"
#include "drv_cdrvgui.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxmltask.h"
#include "test_support.h"

namespace drvtest {

// What one task left: the dispatcher's status and the reply's parts.
struct Reply {
  EOSSTS eossts = OS_STS_SUCCESS;
  std::string strText;
  std::string strId;
  std::string strReply;
  std::string strStatus;
};

// A task text with the given id attribute around a command.
inline std::string Task(const std::string& a_strCommand, const std::string& a_strId = "00000000000000000001") {
  return "<task id='" + a_strId + "' reply='00000000000000000000' bytes='00000000000000000000'>\n\t" + a_strCommand +
         "\n</task>\n";
}

// A command element without arguments.
inline std::string Command(const std::string& a_strName) { return "<" + a_strName + ">\n\t</" + a_strName + ">"; }

class DrvFixture : public dbtest::DbFixture {
 protected:
  void SetUp() override {
    DbFixture::SetUp();
    ASSERT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH, false),
              DB_STS_SUCCESS);
    m_pdrvgui = std::make_unique<CDrvGui>(m_pdatabase.get(), nullptr, nullptr);
    m_pdrvcommandfsm = std::make_unique<CDrvCommandFsm>(m_pdrvgui.get());
    m_pdrvdispatch = std::make_unique<CDrvDispatch>();
    ASSERT_EQ(m_pdrvdispatch->Init(m_pdrvcommandfsm.get(), m_pdatabase.get(), nullptr, m_pdrvgui.get(), nullptr),
              OS_STS_SUCCESS);
  }

  void TearDown() override {
    m_pdrvdispatch.reset();
    m_pdrvcommandfsm.reset();
    m_pdrvgui.reset();
    DbFixture::TearDown();
  }

  // One task as the driver runs it.
  Reply Run(const std::string& a_strTask) {
    Reply reply;
    reply.eossts = m_pdrvdispatch->Process(a_strTask.c_str());
    m_pdrvcommandfsm->ChangeState(reply.eossts);
    reply.strText = m_pdatabase->GetXmlTask()->GetTaskBuffer();
    std::smatch match;
    if (std::regex_search(reply.strText, match, std::regex("^<task id='([0-9]+)' reply='([0-9]+)' bytes='[0-9]+'>")))
      reply.strId = match[1], reply.strReply = match[2];
    if (std::regex_search(reply.strText, match, std::regex("<status>([a-z]+)</status>"))) reply.strStatus = match[1];
    return reply;
  }

  // Brings the machine to a state through its own operations: each command
  // checked and changed with its status.
  void Drive(const std::vector<std::pair<std::string, EOSSTS>>& a_vecCommands) {
    for (const auto& [strCommand, eossts] : a_vecCommands) {
      ASSERT_TRUE(m_pdrvcommandfsm->CheckValidState(Task(Command(strCommand)).c_str(), nullptr)) << strCommand;
      ASSERT_TRUE(m_pdrvcommandfsm->ChangeState(eossts)) << strCommand;
    }
  }

  void DriveToInitialized() { Drive({{"interfaceopen", OS_STS_SUCCESS}, {"sessionbegin", OS_STS_SUCCESS}}); }

  long DsState() { return g_poslog ? g_poslog->GetDsState() : -1; }

  // Every current value and access of window 0, as a fingerprint of the
  // database.
  std::vector<std::string> Values() {
    std::vector<std::string> vec;
    for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
      for (int iBin = DB_BIN_MACHINE; iBin < DB_BIN_COUNT; ++iBin) {
        CDbDatum* pdbdatum = m_pdatabase->FindDirect(static_cast<EDBBIN>(iBin), static_cast<EDBID>(iId));
        if (!pdbdatum) continue;
        const bool blString = m_pdatabase->GetContainerType(pdbdatum) == DB_CONTAINERTYPE_STRING;
        vec.push_back(std::to_string(iId) + "/" + std::to_string(iBin) + " " +
                      std::to_string(pdbdatum->GetAccess()) + " " +
                      (blString ? std::string(pdbdatum->GetCurrentStringNoCallback())
                                : std::to_string(pdbdatum->GetCurrentLongNoCallback())));
      }
    }
    return vec;
  }

  std::unique_ptr<CDrvGui> m_pdrvgui;
  std::unique_ptr<CDrvCommandFsm> m_pdrvcommandfsm;
  std::unique_ptr<CDrvDispatch> m_pdrvdispatch;
};

}  // namespace drvtest
