#pragma once
// The libusb 1.0 functions the hot-plug plug-in calls, resolved by name at
// run time from the libusb-1.0.dll of the program folder (never linked).
#include <libusb-1.0/libusb.h>

namespace Wendrik {

// The thirteen names that must all resolve, in resolution order (each field
// is the exported name without its "libusb_" prefix).
struct LibusbApi {
  int(LIBUSB_CALL* init)(libusb_context** ctx);
  void(LIBUSB_CALL* exit)(libusb_context* ctx);
  int(LIBUSB_CALL* has_capability)(uint32_t capability);
  int(LIBUSB_CALL* hotplug_register_callback)(libusb_context* ctx, int events, int flags,
                                              int vendor_id, int product_id, int dev_class,
                                              libusb_hotplug_callback_fn cb_fn, void* user_data,
                                              libusb_hotplug_callback_handle* handle);
  int(LIBUSB_CALL* handle_events)(libusb_context* ctx);
  int(LIBUSB_CALL* handle_events_completed)(libusb_context* ctx, int* completed);
  ssize_t(LIBUSB_CALL* get_device_list)(libusb_context* ctx, libusb_device*** list);
  void(LIBUSB_CALL* free_device_list)(libusb_device** list, int unref_devices);
  int(LIBUSB_CALL* get_device_descriptor)(libusb_device* dev, libusb_device_descriptor* desc);
  int(LIBUSB_CALL* open)(libusb_device* dev, libusb_device_handle** handle);
  void(LIBUSB_CALL* close)(libusb_device_handle* handle);
  const char*(LIBUSB_CALL* error_name)(int errcode);
  uint8_t(LIBUSB_CALL* get_device_address)(libusb_device* dev);
};

// Optional names that wake a thread blocked in event handling; a libusb
// without them still works, only StopMonitor may then wait up to libusb's
// own event timeout. Either may be null.
struct LibusbWakeApi {
  void(LIBUSB_CALL* interrupt_event_handler)(libusb_context* ctx);
  void(LIBUSB_CALL* hotplug_deregister_callback)(libusb_context* ctx,
                                                 libusb_hotplug_callback_handle handle);
};

}  // namespace Wendrik
