// Initialisation of the device service: the USB library, the 16 KiB
// transfer limit, the device list, the device record and the simulation
// library; and the largest request of each wire.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "os_copenusb.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosusbimpl.h"
#include "os_cosusbprobe.h"

std::atomic<long> COsUsbImpl::s_lAttachRetryCount{300};
std::atomic<long> COsUsbImpl::s_lAttachRetryMs{100};
std::atomic<long> COsUsbImpl::s_lThreadStopLimit{70000};
std::atomic<long> COsUsbImpl::s_lOfflineStep{500};
std::atomic<long> COsUsbImpl::s_lTransferMargin{5000};
std::atomic<long> COsUsbImpl::s_lKernelVersion{-1};

namespace {
constexpr long kDefaultTimeout = 60000;
constexpr long kKernel16KFixed = 2063200;  // 2.6.32

// The USB library's own messages, at debug level.
void DebugOutput(openusb_handle_t, const char* a_szFormat, va_list a_valist) {
  if (!g_poslog || !g_poslog->GetDebugLevel() || !a_szFormat) return;
  char szMessage[1024];
  std::vsnprintf(szMessage, sizeof szMessage, a_szFormat, a_valist);
  OsLogDebug(OS_LOG_INFO, "%s", szMessage);
}

void SetLimit(std::atomic<long>& a_limit, long a_lValue, long a_lDefault) {
  a_limit.store(a_lValue < 0 ? a_lDefault : a_lValue);
}
}  // namespace

void COsUsbImpl::SetAttachRetry(long a_lCount, long a_lMilliseconds) {
  SetLimit(s_lAttachRetryCount, a_lCount, 300);
  SetLimit(s_lAttachRetryMs, a_lMilliseconds, 100);
}
void COsUsbImpl::SetThreadStopLimit(long a_lMilliseconds) { SetLimit(s_lThreadStopLimit, a_lMilliseconds, 70000); }
void COsUsbImpl::SetOfflineStep(long a_lMilliseconds) { SetLimit(s_lOfflineStep, a_lMilliseconds, 500); }
void COsUsbImpl::SetTransferMargin(long a_lMilliseconds) { SetLimit(s_lTransferMargin, a_lMilliseconds, 5000); }
void COsUsbImpl::SetKernelVersion(long a_lVersion) { s_lKernelVersion.store(a_lVersion < 0 ? -1 : a_lVersion); }

EOSSTS COsUsbImpl::Init(uint32_t a_u32WireMask, const char* a_szDeviceList, const char* a_szProbe,
                        COsFile* a_posfileSimulation) {
  OsLog(OS_LOG_INFO, "usb>>> Init(%d,%p,%p,%p)", static_cast<int>(a_u32WireMask), a_szDeviceList, a_szProbe,
        static_cast<void*>(a_posfileSimulation));
  if (m_blOpen) {
    OsLog(OS_LOG_ERROR, "usb>>> device is already open...");
    return OS_STS_FAIL;
  }
  if (a_u32WireMask < OS_USBWIRE_USB || a_u32WireMask > OS_USBWIRE_ALL) {
    OsLog(OS_LOG_ERROR, "usb>>> please specify one or more valid wires...%d", static_cast<int>(a_u32WireMask));
    return OS_STS_FAIL;
  }
  if (!a_szProbe || !std::strstr(a_szProbe, "<simulation>true</simulation>")) {
    if (!m_popenusb) {
      m_popenusb = OsMemNew(COpenUsb);
      if (m_popenusb) m_popenusb->Load();
    }
    if (!m_popenusb || !m_popenusb->IsLoaded()) {
      OsLog(OS_LOG_ERROR, "openusb_init failed...");
      OsMemDelete(m_popenusb);
      m_posusbprobe->SetOpenUsb(nullptr);
      return OS_STS_FAIL;
    }
    m_posusbprobe->SetOpenUsb(m_popenusb);
    if (m_popenusb->openusb_set_debug) {
      m_popenusb->openusb_set_debug(m_popenusb->m_openusbhandle, g_poslog && g_poslog->GetDebugLevel() ? 2 : 0, 0,
                                    DebugOutput);
    }
  }
  // Older kernels cannot take bulk requests beyond 16 KiB.
  const char* szForce16K = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEOPENUSB16K) : "";
  long lKernel = s_lKernelVersion.load();
  if (lKernel < 0) lKernel = g_poscfg ? static_cast<long>(g_poscfg->InfoGetLong(OS_CFGINFO_OS_KERNELVERSIONSTRING, 0)) : 0;
  m_blIs16KLimit = szForce16K && std::strcmp(szForce16K, "0") == 0 ? lKernel < kKernel16KFixed : true;
  OsLog(OS_LOG_INFO, "Kernel Version: %ld", lKernel);
  OsLog(OS_LOG_INFO, "Is16KLimit = %d", m_blIs16KLimit ? 1 : 0);

  OsMemFree(m_szDeviceList);
  const size_t sizetList = a_szDeviceList ? std::strlen(a_szDeviceList) + 1 : 1;
  m_szDeviceList = static_cast<char*>(OsMemAlloc(sizetList));
  if (!m_szDeviceList) {
    OsLog(OS_LOG_ERROR, "usb>>> OsMemAlloc failed...");
    return OS_STS_FAIL;
  }
  if (a_szDeviceList) std::memcpy(m_szDeviceList, a_szDeviceList, sizetList);
  if (m_posusbprobe->RegisterDevicesForProbe(m_szDeviceList, a_szProbe) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> RegisterDevicesForProbe failed...");
    return OS_STS_FAIL;
  }
  if (!m_blInitialised) {
    if (!m_posusbinfo && !(m_posusbinfo = OsMemNew(OsUsbInfo))) {
      OsLog(OS_LOG_ERROR, "usb>>> OsMemAlloc failed...");
      return OS_STS_FAIL;
    }
    for (auto& alTimeout : m_alTimeout) alTimeout.store(kDefaultTimeout);
    m_blInitialised = true;
  }
  m_u32WireMask = a_u32WireMask;
  if (m_posusbprobe->IsSimulation() && a_posfileSimulation) {
    if (!a_posfileSimulation->SharedLibraryInUse()) {
      OsLog(OS_LOG_ERROR, "usb>>> osfile provided, but no library loaded...");
      return OS_STS_FAIL;
    }
    void* pvEntry =
        a_posfileSimulation->SharedLibraryGetProc("SimulationCallback", reinterpret_cast<void*>(-1), OS_FILEMANGLE_NONE);
    if (!pvEntry) {
      OsLog(OS_LOG_ERROR, "usb>>> SimulationCallback not found...");
      return OS_STS_FAIL;
    }
    if (RegisterCallback(OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_SIMULATION, reinterpret_cast<OSUSBCALLBACK>(pvEntry),
                         nullptr) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "usb>>> RegisterCallback failed...");
      return OS_STS_FAIL;
    }
  }
  return OS_STS_SUCCESS;
}

uint64_t COsUsbImpl::MaxChunkSizeOf(uint32_t a_eosusbwire, uint16_t a_u16Speed, bool a_blImagePipes) {
  uint64_t u64Size = 0;
  switch (a_eosusbwire) {
    case OS_USBWIRE_NET:
      u64Size = static_cast<uint64_t>(OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEMAXCHUNKSOCKET, 0));
      return u64Size ? u64Size : 16777216;
    case OS_USBWIRE_1394:
      u64Size = static_cast<uint64_t>(OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEMAXCHUNK1394, 0));
      return u64Size ? u64Size : 2097152;
    case OS_USBWIRE_USB:
      u64Size = static_cast<uint64_t>(OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEMAXCHUNKUSB, 0));
      if (u64Size) return u64Size;
      return a_u16Speed <= 0x0101 ? 262144 : a_blImagePipes ? 2097152 : 4194304;
    default:
      OsLog(OS_LOG_ERROR, "unrecognized eosusbwire...%d", static_cast<int>(a_eosusbwire));
      return 0;
  }
}

uint64_t COsUsbImpl::CalculateMaxChunkSize(uint32_t a_eosusbwire, bool a_blReuse) {
  if (a_blReuse && m_u64MaxChunkSize) return m_u64MaxChunkSize;
  const uint64_t u64Size =
      MaxChunkSizeOf(a_eosusbwire, m_posusbinfo ? m_posusbinfo->u16Speed : 0,
                     FindPipe(OS_USBPIPE_IMAGEFRONT) && FindPipe(OS_USBPIPE_IMAGEREAR));
  if (!u64Size) return 0;
  m_u64MaxChunkSize = u64Size;
  OsLog(OS_LOG_INFO, "Chunk size...%u", static_cast<unsigned>(u64Size));
  return u64Size;
}

// The entry of the open description for a pipe, or null.
const OsUsbOpenPipe* COsUsbImpl::FindPipe(uint32_t a_eosusbpipe) {
  for (const OsUsbOpenPipe& pipe : m_osusbopen.aosusbopenpipe) {
    if (pipe.eosusbpipe == a_eosusbpipe && a_eosusbpipe != OS_USBPIPE_UNDEFINED) return &pipe;
  }
  return nullptr;
}
