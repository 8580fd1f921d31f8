// Reads an "osusbopen" text into an open description through the XML
// reader's callback grammar.
#pragma once

#include <cstdint>

#include "os_cosusb.h"
#include "os_cosxml.h"

class COsUsbOpenLoader {
 public:
  explicit COsUsbOpenLoader(OsUsbOpen* a_posusbopen);

  // The grammar; its handlers are the trampolines below.
  static const char s_szGrammar[];

  // Name tables of pipe kinds and pipe flags (also for the dumps).
  struct Name {
    const char* szName;
    uint32_t u32Value;
  };
  static const Name s_anamePipe[];
  static const Name s_anameFlag[];
  // The value of a decimal number below a_u32Limit or of a name of the
  // table (without regard to case); false when it is neither.
  static bool ParseNameOrNumber(const Name* a_aname, const char* a_szText, uint32_t a_u32Limit,
                                uint32_t* a_pu32Value);

  static EOSSTS COsUsbOpenLoader_EnterOsusbopen(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbOpenLoader_ExitOsusbopen(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbOpenLoader_EnterOsusbopenConfiguration(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbOpenLoader_EnterOsusbopenInterface(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbOpenLoader_EnterOsusbopenAlternate(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbOpenLoader_EnterOsusbopenCheckpnp(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbOpenLoader_EnterOsusbopenSocketip4(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbOpenLoader_EnterOsusbopenPipe(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbOpenLoader_ExitOsusbopenPipe(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbOpenLoader_EnterOsusbopenPipeEosusbpipe(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbOpenLoader_EnterOsusbopenPipeEndpoint(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbOpenLoader_EnterOsusbopenPipeFlag(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbOpenLoader_EnterOsusbopenPipeSocketport(OsXmlCallback* a_posxmlcallback);

 private:
  EOSSTS EnterOsusbopen();
  EOSSTS EnterNumber(const char* a_szElement, const char* a_szData, uint8_t* a_pu8Value);
  EOSSTS EnterCheckpnp(const char* a_szData);
  EOSSTS EnterSocketip4(const char* a_szData);
  EOSSTS EnterPipe();
  EOSSTS ExitPipe();
  EOSSTS EnterPipeEosusbpipe(const char* a_szData);
  EOSSTS EnterPipeFlag(const char* a_szData);
  EOSSTS EnterPipeSocketport(const char* a_szData);

  OsUsbOpen* m_posusbopen;
  int m_iPipes = 0;
  OsUsbOpenPipe m_osusbopenpipe{};  // the pipe being built
};
