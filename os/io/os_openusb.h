// The USB library's interface as the USB device service uses it: handles,
// descriptors, device data, transfer requests and the 46 functions, with
// prototypes of our own, written from what the service needs of each call.
// The service never links these functions: it looks them up by name in the
// library it loads at run time (COpenUsb) and only takes their types from
// here. The stand-in library of sim/ defines them.
#pragma once

#include <cstdarg>
#include <cstdint>

extern "C" {

typedef uint64_t openusb_handle_t;      // the library's own instance
typedef uint64_t openusb_busid_t;       // 0 names every bus
typedef uint64_t openusb_devid_t;       // a device while it is attached
typedef uint64_t openusb_dev_handle_t;  // an open device

// Results: 0 success, negative failures.
enum openusb_status : int32_t {
  OPENUSB_SUCCESS = 0,
  OPENUSB_PLATFORM_FAILURE = -1,
  OPENUSB_BADARG = -2,
  OPENUSB_NO_RESOURCES = -3,
  OPENUSB_UNKNOWN_DEVICE = -5,
  OPENUSB_IO_NO_DEVICE = -11,   // the device went away
  OPENUSB_IO_STALL = -50,
  OPENUSB_IO_TIMEOUT = -62,
  OPENUSB_IO_CANCELED = -63,
};

enum openusb_event : int32_t {
  OPENUSB_EVENT_ATTACH = 0,
  OPENUSB_EVENT_REMOVE = 1,
  OPENUSB_EVENT_SUSPEND = 2,
  OPENUSB_EVENT_RESUME = 3,
  OPENUSB_EVENT_COLDPLUG_COMPLETED = 4,
};

enum openusb_transfer_type : int32_t {
  OPENUSB_TRANSFER_TYPE_CONTROL = 0,
  OPENUSB_TRANSFER_TYPE_ISOCHRONOUS = 1,
  OPENUSB_TRANSFER_TYPE_BULK = 2,
  OPENUSB_TRANSFER_TYPE_INTERRUPT = 3,
};

// Standard USB descriptors, as they travel on the wire.
#pragma pack(push, 1)
struct openusb_device_desc {
  uint8_t bLength;
  uint8_t bDescriptorType;
  uint16_t bcdUSB;
  uint8_t bDeviceClass;
  uint8_t bDeviceSubClass;
  uint8_t bDeviceProtocol;
  uint8_t bMaxPacketSize0;
  uint16_t idVendor;
  uint16_t idProduct;
  uint16_t bcdDevice;
  uint8_t iManufacturer;
  uint8_t iProduct;
  uint8_t iSerialNumber;
  uint8_t bNumConfigurations;
};

struct openusb_config_desc {
  uint8_t bLength;
  uint8_t bDescriptorType;
  uint16_t wTotalLength;
  uint8_t bNumInterfaces;
  uint8_t bConfigurationValue;
  uint8_t iConfiguration;
  uint8_t bmAttributes;
  uint8_t bMaxPower;
};

struct openusb_interface_desc {
  uint8_t bLength;
  uint8_t bDescriptorType;
  uint8_t bInterfaceNumber;
  uint8_t bAlternateSetting;
  uint8_t bNumEndpoints;
  uint8_t bInterfaceClass;
  uint8_t bInterfaceSubClass;
  uint8_t bInterfaceProtocol;
  uint8_t iInterface;
};

struct openusb_endpoint_desc {
  uint8_t bLength;
  uint8_t bDescriptorType;
  uint8_t bEndpointAddress;  // bit 7: device to host
  uint8_t bmAttributes;      // bits 0-1: 0 control, 1 isochronous, 2 bulk, 3 interrupt
  uint16_t wMaxPacketSize;
  uint8_t bInterval;
};
#pragma pack(pop)

// What the library knows of an attached device.
struct openusb_dev_data {
  openusb_busid_t busid;
  openusb_devid_t devid;
  uint8_t bus_address;
  openusb_device_desc dev_desc;
  uint8_t* manufacturer;  // string descriptors (head, then UTF-16LE), or null
  uint8_t* product;
  uint8_t* serialnumber;
  uint32_t ctrl_max_xfer_size;
  uint32_t intr_max_xfer_size;
  uint32_t bulk_max_xfer_size;
  uint32_t isoc_max_xfer_size;
};

struct openusb_request_result {
  int32_t status;  // openusb_status
  uint32_t transferred_bytes;
};

struct openusb_ctrl_setup {
  uint8_t bmRequestType;
  uint8_t bRequest;
  uint16_t wValue;
  uint16_t wIndex;
};

struct openusb_ctrl_request {
  openusb_ctrl_setup setup;
  uint8_t* payload;
  uint32_t length;
  uint32_t timeout;  // ms; 0 waits without limit
  uint32_t flags;
  openusb_request_result result;
  openusb_ctrl_request* next;
};

struct openusb_intr_request {
  uint16_t interval;
  uint8_t* payload;
  uint32_t length;
  uint32_t timeout;
  uint32_t flags;
  openusb_request_result result;
  openusb_intr_request* next;
};

struct openusb_bulk_request {
  uint8_t* payload;
  uint32_t length;
  uint32_t timeout;
  uint32_t flags;
  openusb_request_result result;
  openusb_bulk_request* next;
};

struct openusb_isoc_request {
  uint32_t start_frame;
  uint32_t flags;
  uint32_t num_packets;
  uint8_t** packets;
  uint32_t* lengths;
  openusb_request_result* isoc_results;
  openusb_isoc_request* next;
};

struct openusb_request_handle;
typedef openusb_request_handle* openusb_request_handle_t;
// Called on the library's own thread when an asynchronous request ends.
typedef int32_t (*openusb_request_callback_t)(openusb_request_handle_t a_request);

struct openusb_request_handle {
  openusb_dev_handle_t dev;
  uint8_t interface;
  uint8_t endpoint;
  openusb_transfer_type type;
  union {
    openusb_ctrl_request* ctrl;
    openusb_intr_request* intr;
    openusb_bulk_request* bulk;
    openusb_isoc_request* isoc;
  } req;
  openusb_request_callback_t cb;
  void* arg;
};

typedef int32_t (*openusb_event_callback_t)(openusb_handle_t a_handle, openusb_devid_t a_devid,
                                            openusb_event a_event, void* a_arg);
typedef void (*openusb_debug_callback_t)(openusb_handle_t a_handle, const char* a_format, va_list a_args);

int32_t openusb_init(uint32_t flags, openusb_handle_t* handle);
void openusb_fini(openusb_handle_t handle);
int32_t openusb_set_event_callback(openusb_handle_t handle, openusb_event event, openusb_event_callback_t callback,
                                   void* arg);
void openusb_coldplug_callbacks_done(openusb_handle_t handle);
int32_t openusb_set_debug(openusb_handle_t handle, uint32_t level, uint32_t flags, openusb_debug_callback_t callback);
int32_t openusb_set_default_timeout(openusb_handle_t handle, openusb_transfer_type type, uint32_t timeout);
const char* openusb_strerror(int32_t error);
int32_t openusb_parse_data(const char* format, uint8_t* data, uint32_t datalen, void* structure, uint32_t size,
                           uint32_t* count);
int32_t openusb_get_busid_list(openusb_handle_t handle, openusb_busid_t** busids, uint32_t* num_busids);
void openusb_free_busid_list(openusb_busid_t* busids);
int32_t openusb_get_devids_by_bus(openusb_handle_t handle, openusb_busid_t busid, openusb_devid_t** devids,
                                  uint32_t* num_devids);
int32_t openusb_get_devids_by_vendor(openusb_handle_t handle, int32_t vendor, int32_t product,
                                     openusb_devid_t** devids, uint32_t* num_devids);
int32_t openusb_get_devids_by_class(openusb_handle_t handle, int16_t devclass, int16_t subclass, int16_t protocol,
                                    openusb_devid_t** devids, uint32_t* num_devids);
void openusb_free_devid_list(openusb_devid_t* devids);
int32_t openusb_get_device_data(openusb_handle_t handle, openusb_devid_t devid, uint32_t flags,
                                openusb_dev_data** data);
void openusb_free_device_data(openusb_dev_data* data);
int32_t openusb_get_raw_desc(openusb_handle_t handle, openusb_devid_t devid, uint8_t type, uint8_t descidx,
                             uint16_t langid, uint8_t** buffer, uint16_t* buflen);
void openusb_free_raw_desc(uint8_t* buffer);
// A null buffer reads the descriptor from the device.
int32_t openusb_parse_device_desc(openusb_handle_t handle, openusb_devid_t devid, uint8_t* buffer, uint16_t buflen,
                                  openusb_device_desc* devdesc);
int32_t openusb_parse_config_desc(openusb_handle_t handle, openusb_devid_t devid, uint8_t* buffer, uint16_t buflen,
                                  uint8_t cfgidx, openusb_config_desc* cfgdesc);
int32_t openusb_parse_interface_desc(openusb_handle_t handle, openusb_devid_t devid, uint8_t* buffer,
                                     uint16_t buflen, uint8_t cfgidx, uint8_t ifcidx, uint8_t alt,
                                     openusb_interface_desc* ifcdesc);
int32_t openusb_parse_endpoint_desc(openusb_handle_t handle, openusb_devid_t devid, uint8_t* buffer,
                                    uint16_t buflen, uint8_t cfgidx, uint8_t ifcidx, uint8_t alt, uint8_t eptidx,
                                    openusb_endpoint_desc* eptdesc);
int32_t openusb_get_max_xfer_size(openusb_handle_t handle, openusb_busid_t bus, openusb_transfer_type type,
                                  uint32_t* bytes);
int32_t openusb_open_device(openusb_handle_t handle, openusb_devid_t devid, uint32_t flags,
                            openusb_dev_handle_t* dev);
int32_t openusb_close_device(openusb_dev_handle_t dev);
int32_t openusb_get_devid(openusb_dev_handle_t dev, openusb_devid_t* devid);
int32_t openusb_get_lib_handle(openusb_dev_handle_t dev, openusb_handle_t* handle);
int32_t openusb_get_configuration(openusb_dev_handle_t dev, uint8_t* cfg);
int32_t openusb_set_configuration(openusb_dev_handle_t dev, uint8_t cfg);
int32_t openusb_claim_interface(openusb_dev_handle_t dev, uint8_t ifc, uint32_t flags);
int32_t openusb_release_interface(openusb_dev_handle_t dev, uint8_t ifc);
int32_t openusb_is_interface_claimed(openusb_dev_handle_t dev, uint8_t ifc);
int32_t openusb_get_altsetting(openusb_dev_handle_t dev, uint8_t ifc, uint8_t* alt);
int32_t openusb_set_altsetting(openusb_dev_handle_t dev, uint8_t ifc, uint8_t alt);
int32_t openusb_reset(openusb_dev_handle_t dev);
// A request waited for; the result lands in the request.
int32_t openusb_xfer_wait(openusb_request_handle_t request);
// A request submitted; its callback runs on the library's thread.
int32_t openusb_xfer_aio(openusb_request_handle_t request);
int32_t openusb_ctrl_xfer(openusb_dev_handle_t dev, uint8_t ifc, uint8_t ept, openusb_ctrl_request* ctrl);
int32_t openusb_intr_xfer(openusb_dev_handle_t dev, uint8_t ifc, uint8_t ept, openusb_intr_request* intr);
int32_t openusb_bulk_xfer(openusb_dev_handle_t dev, uint8_t ifc, uint8_t ept, openusb_bulk_request* bulk);
int32_t openusb_isoc_xfer(openusb_dev_handle_t dev, uint8_t ifc, uint8_t ept, openusb_isoc_request* isoc);
// Ends a pending request with OPENUSB_IO_CANCELED.
int32_t openusb_abort(openusb_request_handle_t request);
int32_t openusb_wait(uint32_t num_reqs, openusb_request_handle_t* handles, openusb_request_handle_t* handle);
int32_t openusb_poll(uint32_t num_reqs, openusb_request_handle_t* handles, openusb_request_handle_t* handle);
int32_t openusb_start(openusb_request_handle_t handle);
int32_t openusb_stop(openusb_request_handle_t handle);

}  // extern "C"

// The 46 functions in the order of the function table.
#define OPENUSB_FUNCTION_LIST(X)                                                                                    \
  X(openusb_init) X(openusb_fini) X(openusb_set_event_callback) X(openusb_coldplug_callbacks_done)                 \
  X(openusb_set_debug) X(openusb_set_default_timeout) X(openusb_strerror) X(openusb_parse_data)                    \
  X(openusb_get_busid_list) X(openusb_free_busid_list) X(openusb_get_devids_by_bus)                                \
  X(openusb_get_devids_by_vendor) X(openusb_get_devids_by_class) X(openusb_free_devid_list)                        \
  X(openusb_get_device_data) X(openusb_free_device_data) X(openusb_get_raw_desc) X(openusb_free_raw_desc)          \
  X(openusb_parse_device_desc) X(openusb_parse_config_desc) X(openusb_parse_interface_desc)                        \
  X(openusb_parse_endpoint_desc) X(openusb_get_max_xfer_size) X(openusb_open_device) X(openusb_close_device)       \
  X(openusb_get_devid) X(openusb_get_lib_handle) X(openusb_get_configuration) X(openusb_set_configuration)         \
  X(openusb_claim_interface) X(openusb_release_interface) X(openusb_is_interface_claimed)                          \
  X(openusb_get_altsetting) X(openusb_set_altsetting) X(openusb_reset) X(openusb_xfer_wait) X(openusb_xfer_aio)    \
  X(openusb_ctrl_xfer) X(openusb_intr_xfer) X(openusb_bulk_xfer) X(openusb_isoc_xfer) X(openusb_abort)             \
  X(openusb_wait) X(openusb_poll) X(openusb_start) X(openusb_stop)
