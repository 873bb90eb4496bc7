#pragma once
// Control API of the fake libusb ("libusb-1.0.dll" under sim/). A host or a
// test loads the fake from the same path the plug-in does, looks up the one
// export FAKEUSB_CONTROL_EXPORT and drives the fake through the returned
// table: it decides which devices are attached, makes them arrive and leave,
// injects failures and reads counters that expose misuse.
//
// Without any code, the environment variable QLX_FAKEUSB_SCRIPT may name a
// script file of timed events (see FakeUsbScript.h for its form).
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FAKEUSB_CONTROL_EXPORT "FakeUsb_GetControl"

// libusb calls whose failure can be injected.
typedef enum FakeUsbCall {
  FAKEUSB_CALL_INIT = 0,            // libusb_init
  FAKEUSB_CALL_REGISTER = 1,        // libusb_hotplug_register_callback
  FAKEUSB_CALL_GET_DEVICE_LIST = 2  // libusb_get_device_list
} FakeUsbCall;

// Counters, all since load or the last Reset.
typedef enum FakeUsbCounter {
  FAKEUSB_CONTEXTS_CREATED = 0,
  FAKEUSB_CONTEXTS_EXITED,
  FAKEUSB_CALLS_ON_EXITED_CONTEXT,      // any call naming a context after its libusb_exit
  FAKEUSB_CALLS_ON_UNKNOWN_CONTEXT,     // null (default) or foreign context
  FAKEUSB_EXITS_DURING_EVENT_HANDLING,  // libusb_exit while a thread is in event handling
  FAKEUSB_EVENT_HANDLING_ENTERED,       // libusb_handle_events(_completed) calls
  FAKEUSB_EVENT_HANDLING_ACTIVE,        // threads inside event handling right now
  FAKEUSB_EVENTS_DELIVERED,             // hot-plug callbacks made
  FAKEUSB_REGISTRATIONS,
  FAKEUSB_DEREGISTRATIONS,
  FAKEUSB_INTERRUPTS,
  FAKEUSB_ENUMERATIONS,               // libusb_get_device_list calls
  FAKEUSB_LISTS_OUTSTANDING,          // device lists handed out and not yet freed
  FAKEUSB_LISTS_FREED_WITHOUT_UNREF,  // libusb_free_device_list with unref 0
  FAKEUSB_COUNTER_COUNT
} FakeUsbCounter;

// Arguments of the last libusb_hotplug_register_callback call.
typedef struct FakeUsbRegistration {
  int events;
  int flags;
  int vendorId;
  int productId;
  int deviceClass;
  void* userData;
} FakeUsbRegistration;

typedef struct FakeUsbControl {
  // Back to the state after load: no devices, hot-plug capability on, no
  // failures, zero counters, event-handling timeout 60 s. Existing contexts
  // stay known (so that later misuse is still counted).
  void (*Reset)(void);
  // Whether libusb_has_capability reports hot-plug (capability 1).
  void (*SetHotplugCapability)(int present);
  // How long one event-handling call waits for something to happen.
  void (*SetEventTimeout)(int milliseconds);
  // Attaches a device; every live registration matching it receives an
  // arrival event at the next event handling. False if the address is taken.
  int (*Attach)(uint16_t vendorId, uint16_t productId, uint8_t address);
  // Detaches the device at `address` and queues removal events. False if
  // no device is attached there.
  int (*Detach)(uint8_t address);
  // The next `count` descriptor reads of the device at `address` fail
  // (-1: all of them, 0: none). False if no device is attached there.
  int (*FailDescriptor)(uint8_t address, int count);
  // The next `count` calls of `call` return `errorCode` (-1: all of them).
  void (*FailCall)(FakeUsbCall call, int errorCode, int count);
  unsigned (*Counter)(FakeUsbCounter counter);
  // Waits until `counter` reaches `atLeast`; true if it did within the time.
  int (*WaitForCounter)(FakeUsbCounter counter, unsigned atLeast, int timeoutMilliseconds);
  // Copies the last registration's arguments; false if there was none.
  int (*LastRegistration)(FakeUsbRegistration* out);
} FakeUsbControl;

typedef const FakeUsbControl* (*FakeUsbGetControlFn)(void);

#ifdef __cplusplus
}
#endif
