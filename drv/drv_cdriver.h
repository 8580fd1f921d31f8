// The driver object, least: what the device engine asks of it so far. The
// driver's own unit replaces it.
#pragma once

class CDrvAssistant;

class CDriver {
 public:
  CDriver() = default;
  CDriver(const CDriver&) = delete;
  CDriver& operator=(const CDriver&) = delete;

  // The assistant bridge the driver owns; null without one.
  CDrvAssistant* GetDrvAssistant() { return m_pdrvassistant; }

 private:
  CDrvAssistant* m_pdrvassistant = nullptr;
};
