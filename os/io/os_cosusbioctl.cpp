// The request code table of Ioctl.
#include "os_cosusbioctl.h"

#include "os_openusb.h"

namespace {
constexpr const char* kGet = "USBGET:";
constexpr const char* kPut = "USBPUT:";

const OsUsbIoctlInfo s_aosusbioctlinfo[OS_USBIOCTL_LAST] = {
    {"undefined", OS_USBPIPE_UNDEFINED, "USB???:", nullptr, false},
    {"bulkin", OS_USBPIPE_BULKIN, "USBBIN:", kGet, true},
    {"bulkout", OS_USBPIPE_BULKOUT, "USBBOU:", kPut, true},
    {"control", OS_USBPIPE_CONTROL, "USBCTL:", nullptr, true},  // by its direction
    {"imagefront", OS_USBPIPE_IMAGEFRONT, "USBIMF:", kGet, true},
    {"imagerear", OS_USBPIPE_IMAGEREAR, "USBIMR:", kGet, true},
    {"interrupt", OS_USBPIPE_INTERRUPT, "USBINT:", kGet, true},
    {"canceliobulkin", OS_USBPIPE_BULKIN, "USBCIN:", kPut, true},
    {"canceliobulkout", OS_USBPIPE_BULKOUT, "USBCOU:", kPut, true},
    {"canceliocontrol", OS_USBPIPE_CONTROL, "USBCCT:", kPut, true},
    {"cancelioimagefront", OS_USBPIPE_IMAGEFRONT, "USBCIF:", kPut, true},
    {"cancelioimagerear", OS_USBPIPE_IMAGEREAR, "USBCIR:", kPut, true},
    {"canceliointerrupt", OS_USBPIPE_INTERRUPT, "USBCIT:", kPut, true},
    {"timeoutbulkin", OS_USBPIPE_BULKIN, "USBTCI:", nullptr, true},
    {"timeoutbulkout", OS_USBPIPE_BULKOUT, "USBTCO:", nullptr, true},
    {"timeoutcontrol", OS_USBPIPE_CONTROL, "USBTCC:", nullptr, true},
    {"timeoutimagefront", OS_USBPIPE_IMAGEFRONT, "USBTCF:", nullptr, true},
    {"timeoutimagerear", OS_USBPIPE_IMAGEREAR, "USBTCR:", nullptr, true},
    {"timeoutinterrupt", OS_USBPIPE_INTERRUPT, "USBTCT:", nullptr, true},
    {"resetall", OS_USBPIPE_CONTROL, "USBRST:", "USBRST:", true},
    {"scsiin", OS_USBPIPE_CONTROL, "SCSIIN:", "SCSIIN:", false},
    {"scsiout", OS_USBPIPE_CONTROL, "SCSIOU:", "SCSIOU:", false},
    {"retrybulkin", OS_USBPIPE_BULKIN, "USBRTI:", nullptr, true},
    {"retrybulkout", OS_USBPIPE_BULKOUT, "USBRTO:", nullptr, true},
    {"retrycontrol", OS_USBPIPE_CONTROL, "USBRTC:", nullptr, true},
    {"retryimagefront", OS_USBPIPE_IMAGEFRONT, "USBRTF:", nullptr, true},
    {"retryimagerear", OS_USBPIPE_IMAGEREAR, "USBRTR:", nullptr, true},
    {"retryinterrupt", OS_USBPIPE_INTERRUPT, "USBRTT:", nullptr, true},
    {"getchunksizebulkin", OS_USBPIPE_BULKIN, "USBCZI:", nullptr, true},
    {"getchunksizebulkout", OS_USBPIPE_BULKOUT, "USBCZO:", nullptr, true},
    {"getchunksizecontrol", OS_USBPIPE_CONTROL, "USBCZC:", nullptr, true},
    {"getchunksizeimagefront", OS_USBPIPE_IMAGEFRONT, "USBCZF:", nullptr, true},
    {"getchunksizeimagerear", OS_USBPIPE_IMAGEREAR, "USBCZR:", nullptr, true},
    {"getchunksizeinterrupt", OS_USBPIPE_INTERRUPT, "USBCZT:", nullptr, true},
    {"scanbegin", OS_USBPIPE_CONTROL, "USBSBN:", nullptr, true},
    {"???", OS_USBPIPE_CONTROL, "USB???:", nullptr, false},
    {"???", OS_USBPIPE_CONTROL, "USB???:", nullptr, false},
    {"???", OS_USBPIPE_CONTROL, "USB???:", nullptr, false},
    {"???", OS_USBPIPE_CONTROL, "USB???:", nullptr, false},
    {"deviceinfo", OS_USBPIPE_CONTROL, "USBNFO:", nullptr, true},
};
}  // namespace

const OsUsbIoctlInfo& OsUsbIoctlGetInfo(uint32_t a_eosusbioctl) {
  return s_aosusbioctlinfo[a_eosusbioctl < OS_USBIOCTL_LAST ? a_eosusbioctl : 0];
}

EOSSTS OsUsbCompletionStatus(int32_t a_i32Status) {
  switch (a_i32Status) {
    case OPENUSB_SUCCESS: return OS_STS_SUCCESS;
    case OPENUSB_IO_TIMEOUT: return OS_STS_TIMEOUT;
    case OPENUSB_IO_CANCELED: return OS_STS_USB_CANCELLED;
    default: return OS_STS_USB_OFFLINE;
  }
}
