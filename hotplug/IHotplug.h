#pragma once
// Public interface of the USB hot-plug plug-in Wendrik.dll. A host loads the
// library, calls its one export Wendrik_CreateHotplug and works through the
// returned object by slot: 0 SetCallback, 1 StartMonitor, 2 StopMonitor.
#include <cstdint>

namespace Wendrik {

// One USB device as reported to the consumer. Two records denote the same
// device when all three fields are equal.
struct UsbDeviceInfo {
  uint16_t productId;
  uint16_t vendorId;
  uint16_t address;  // address on its bus, 0-255
};
static_assert(sizeof(UsbDeviceInfo) == 6, "UsbDeviceInfo is three 16-bit fields");

// Called on the plug-in's event thread for every arrival (arrived 1) and
// removal (arrived 0). `device` is valid only during the call; `context` is
// the value given to SetCallback together with this function.
typedef void (*HotplugCallback)(UsbDeviceInfo* device, int arrived, void* context);

// No virtual destructor: the consumer never deletes the object.
class IHotplug {
 public:
  // Slot 0: stores the pair, replacing an earlier one. Null turns reports off.
  virtual void SetCallback(HotplugCallback callback, void* context) = 0;
  // Slot 1: true when monitoring runs (also when it already did); false on
  // any failure, after an error record.
  virtual bool StartMonitor() = 0;
  // Slot 2: ends monitoring; always true.
  virtual bool StopMonitor() = 0;

 protected:
  ~IHotplug() = default;
};

}  // namespace Wendrik

// The export's name and type, for hosts that load the library at run time.
#define WENDRIK_FACTORY_EXPORT "Wendrik_CreateHotplug"
typedef Wendrik::IHotplug* (*WendrikCreateHotplugFn)();
