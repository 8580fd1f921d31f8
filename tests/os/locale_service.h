// The process's language service as the service layer starts it, for tests
// that build the driver's objects without the service layer: the language
// rules and the labels reach it through g_poslocale while it lives.
#pragma once

#include "os_coslocale.h"

namespace testsupport {

class LocaleService {
 public:
  LocaleService() { g_poslocale = &m_oslocale; }
  ~LocaleService() { g_poslocale = nullptr; }
  LocaleService(const LocaleService&) = delete;
  LocaleService& operator=(const LocaleService&) = delete;
  COsLocale& Locale() { return m_oslocale; }

 private:
  COsLocale m_oslocale;
};

}  // namespace testsupport
