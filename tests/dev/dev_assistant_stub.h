// A driver assistant for the image queue's tests: answers each offered
// record by a function (0 when none is set) and keeps what it was offered.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "drv_cdrvassistant.h"

namespace devtest {

class StubAssistant : public CDrvAssistant {
 public:
  struct Offer {
    EDRVASSISTANTACTION edrvassistantaction;
    EDEVSTS edevsts;
    std::string strXml;          // "(null)" for a null text
    std::string strUserAction;
  };

  StubAssistant() : CDrvAssistant(nullptr, nullptr) {}

  EOSSTS Action(EDRVASSISTANTACTION a_edrvassistantaction, CDrvAssistantAction* a_pdrvassistantaction) override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_vecoffer.push_back({a_edrvassistantaction, a_pdrvassistantaction->edevsts, Text(a_pdrvassistantaction->szXml),
                            Text(a_pdrvassistantaction->szUserAction)});
    }
    return m_fnAnswer ? m_fnAnswer(a_pdrvassistantaction) : OS_STS_SUCCESS;
  }

  std::vector<Offer> Offers() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_vecoffer;
  }

  std::function<EOSSTS(CDrvAssistantAction*)> m_fnAnswer;

 private:
  static std::string Text(const char* a_szText) { return a_szText ? a_szText : "(null)"; }
  std::mutex m_mutex;
  std::vector<Offer> m_vecoffer;
};

}  // namespace devtest
