// The "osusbopen" grammar: numbers of the configuration, interface and
// alternate setting, the pnp check, the unit's address and the pipes.
#include "os_cosusbopenloader.h"

#include <strings.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "os_coslog.h"
#include "os_cosstring.h"

const char COsUsbOpenLoader::s_szGrammar[] =
    "<osusbopen enter='this.EnterOsusbopen' exit='this.ExitOsusbopen'>"
    "<configuration enter='this.EnterOsusbopenConfiguration'/>"
    "<interface enter='this.EnterOsusbopenInterface'/>"
    "<alternate enter='this.EnterOsusbopenAlternate'/>"
    "<checkpnp enter='this.EnterOsusbopenCheckpnp'/>"
    "<socketip4 enter='this.EnterOsusbopenSocketip4'/>"
    "<pipe enter='this.EnterOsusbopenPipe' exit='this.ExitOsusbopenPipe'>"
    "<eosusbpipe enter='this.EnterOsusbopenPipeEosusbpipe'/>"
    "<endpoint enter='this.EnterOsusbopenPipeEndpoint'/>"
    "<flag enter='this.EnterOsusbopenPipeFlag'/>"
    "<socketport enter='this.EnterOsusbopenPipeSocketport'/>"
    "</pipe>"
    "</osusbopen>";

const COsUsbOpenLoader::Name COsUsbOpenLoader::s_anamePipe[] = {
    {"OS_USBPIPE_UNDEFINED", OS_USBPIPE_UNDEFINED},
    {"OS_USBPIPE_BULKIN", OS_USBPIPE_BULKIN},
    {"OS_USBPIPE_BULKOUT", OS_USBPIPE_BULKOUT},
    {"OS_USBPIPE_CONTROL", OS_USBPIPE_CONTROL},
    {"OS_USBPIPE_IMAGEFRONT", OS_USBPIPE_IMAGEFRONT},
    {"OS_USBPIPE_IMAGEREAR", OS_USBPIPE_IMAGEREAR},
    {"OS_USBPIPE_INTERRUPT", OS_USBPIPE_INTERRUPT},
    {"OS_USBPIPE_BULKINTERRUPT", OS_USBPIPE_BULKINTERRUPT},
    {"OS_USBPIPE_LAST", OS_USBPIPE_LAST},
    {nullptr, 0},
};

const COsUsbOpenLoader::Name COsUsbOpenLoader::s_anameFlag[] = {
    {"OS_USBPIPEFLAGS_UNDEFINED", OS_USBPIPEFLAGS_UNDEFINED},
    {"OS_USBPIPEFLAGS_PAUSE", OS_USBPIPEFLAGS_PAUSE},
    {"OS_USBPIPEFLAGS_ALTERNATE", OS_USBPIPEFLAGS_ALTERNATE},
    {"OS_USBPIPEFLAGS_MONITORBUTTONEVENTS", OS_USBPIPEFLAGS_MONITORBUTTONEVENTS},
    {"OS_USBPIPEFLAGS_NOTMONITORBUTTONEVENTS", OS_USBPIPEFLAGS_NOTMONITORBUTTONEVENTS},
    {"OS_USBPIPEFLAGS_BULKINTERRUPT", OS_USBPIPEFLAGS_BULKINTERRUPT},
    {"OS_USBPIPEFLAGS_REMOVEFROMWINDOWS", OS_USBPIPEFLAGS_REMOVEFROMWINDOWS},
    {"OS_USBPIPEFLAGS_LAST", OS_USBPIPEFLAGS_LAST},
    {nullptr, 0},
};

namespace {
// Every flag bit together.
constexpr uint32_t kFlagBits = 64;
constexpr uint32_t kByteLimit = 256;

COsUsbOpenLoader* Loader(OsXmlCallback* a_posxmlcallback) {
  return static_cast<COsUsbOpenLoader*>(a_posxmlcallback->pvObject);
}

// An element's text; an element without any reads as empty.
const char* Data(OsXmlCallback* a_posxmlcallback) { return a_posxmlcallback->szData ? a_posxmlcallback->szData : ""; }
}  // namespace

COsUsbOpenLoader::COsUsbOpenLoader(OsUsbOpen* a_posusbopen) : m_posusbopen(a_posusbopen) {}

bool COsUsbOpenLoader::ParseNameOrNumber(const Name* a_aname, const char* a_szText, uint32_t a_u32Limit,
                                         uint32_t* a_pu32Value) {
  if (!a_szText || !*a_szText) return false;
  if (a_szText[0] >= '0' && a_szText[0] <= '9') {
    char* szEnd = nullptr;
    errno = 0;
    unsigned long ulValue = std::strtoul(a_szText, &szEnd, 10);
    if (errno != 0 || *szEnd != '\0' || ulValue >= a_u32Limit) return false;
    *a_pu32Value = static_cast<uint32_t>(ulValue);
    return true;
  }
  for (const Name* pname = a_aname; pname && pname->szName; ++pname) {
    if (strcasecmp(pname->szName, a_szText) == 0) {
      *a_pu32Value = pname->u32Value;
      return true;
    }
  }
  return false;
}

EOSSTS COsUsbOpenLoader::EnterOsusbopen() {
  m_iPipes = 0;
  m_osusbopenpipe = OsUsbOpenPipe{};
  // A description loaded twice keeps no pipe of the first text.
  std::memset(m_posusbopen->aosusbopenpipe, 0, sizeof m_posusbopen->aosusbopenpipe);
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbOpenLoader::EnterNumber(const char* a_szElement, const char* a_szData, uint8_t* a_pu8Value) {
  uint32_t u32Value = 0;
  if (!ParseNameOrNumber(nullptr, a_szData, kByteLimit, &u32Value)) {
    OsLog(OS_LOG_ERROR, "Unrecognized %s...<%s>", a_szElement, a_szData);
    return OS_STS_SUCCESS;
  }
  *a_pu8Value = static_cast<uint8_t>(u32Value);
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbOpenLoader::EnterCheckpnp(const char* a_szData) {
  m_posusbopen->blCheckPnp = std::strstr(a_szData, "true") != nullptr;
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbOpenLoader::EnterSocketip4(const char* a_szData) {
  COsString::SStrCpy(m_posusbopen->szSocketIp4, sizeof m_posusbopen->szSocketIp4, a_szData);
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbOpenLoader::EnterPipe() {
  m_osusbopenpipe = OsUsbOpenPipe{};
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbOpenLoader::ExitPipe() {
  if (m_iPipes >= OS_USB_OPENPIPES) {
    OsLog(OS_LOG_ERROR, "Too many pipes, ignoring this one...%d", m_iPipes + 1);
    return OS_STS_SUCCESS;
  }
  m_posusbopen->aosusbopenpipe[m_iPipes++] = m_osusbopenpipe;
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbOpenLoader::EnterPipeEosusbpipe(const char* a_szData) {
  uint32_t u32Value = 0;
  if (!ParseNameOrNumber(s_anamePipe, a_szData, OS_USBPIPE_LAST + 1, &u32Value)) {
    OsLog(OS_LOG_ERROR, "Unrecognized pipe flag...<%s>", a_szData);
    return OS_STS_SUCCESS;
  }
  m_osusbopenpipe.eosusbpipe = u32Value;
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbOpenLoader::EnterPipeFlag(const char* a_szData) {
  uint32_t u32Value = 0;
  if (!ParseNameOrNumber(s_anameFlag, a_szData, kFlagBits, &u32Value)) {
    OsLog(OS_LOG_ERROR, "Unrecognized pipe flag...<%s>", a_szData);
    return OS_STS_SUCCESS;
  }
  m_osusbopenpipe.u32Flags |= u32Value;
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbOpenLoader::EnterPipeSocketport(const char* a_szData) {
  COsString::SStrCpy(m_osusbopenpipe.szSocketPort, sizeof m_osusbopenpipe.szSocketPort, a_szData);
  return OS_STS_SUCCESS;
}

// The trampolines the grammar names.
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_EnterOsusbopen(OsXmlCallback* a_p) { return Loader(a_p)->EnterOsusbopen(); }
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_ExitOsusbopen(OsXmlCallback*) { return OS_STS_SUCCESS; }
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_EnterOsusbopenConfiguration(OsXmlCallback* a_p) {
  return Loader(a_p)->EnterNumber("configuration", Data(a_p), &Loader(a_p)->m_posusbopen->u8Configuration);
}
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_EnterOsusbopenInterface(OsXmlCallback* a_p) {
  return Loader(a_p)->EnterNumber("interface", Data(a_p), &Loader(a_p)->m_posusbopen->u8Interface);
}
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_EnterOsusbopenAlternate(OsXmlCallback* a_p) {
  return Loader(a_p)->EnterNumber("alternate", Data(a_p), &Loader(a_p)->m_posusbopen->u8Alternate);
}
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_EnterOsusbopenCheckpnp(OsXmlCallback* a_p) {
  return Loader(a_p)->EnterCheckpnp(Data(a_p));
}
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_EnterOsusbopenSocketip4(OsXmlCallback* a_p) {
  return Loader(a_p)->EnterSocketip4(Data(a_p));
}
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_EnterOsusbopenPipe(OsXmlCallback* a_p) { return Loader(a_p)->EnterPipe(); }
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_ExitOsusbopenPipe(OsXmlCallback* a_p) { return Loader(a_p)->ExitPipe(); }
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_EnterOsusbopenPipeEosusbpipe(OsXmlCallback* a_p) {
  return Loader(a_p)->EnterPipeEosusbpipe(Data(a_p));
}
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_EnterOsusbopenPipeEndpoint(OsXmlCallback* a_p) {
  return Loader(a_p)->EnterNumber("endpoint", Data(a_p), &Loader(a_p)->m_osusbopenpipe.u8Endpoint);
}
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_EnterOsusbopenPipeFlag(OsXmlCallback* a_p) {
  return Loader(a_p)->EnterPipeFlag(Data(a_p));
}
EOSSTS COsUsbOpenLoader::COsUsbOpenLoader_EnterOsusbopenPipeSocketport(OsXmlCallback* a_p) {
  return Loader(a_p)->EnterPipeSocketport(Data(a_p));
}
