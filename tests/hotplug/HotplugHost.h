#pragma once
// Helpers of the hotplug host program: the plug-in called by slot, the fake
// libusb's control table and a recorder of notifications.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hotplug/IHotplug.h"
#include "sim/fakeusb/FakeUsbControl.h"

namespace hotplugtest {

// The folder of this program, with its trailing '/'.
std::string ProgramFolder();
// Text of every log file the plug-in wrote into ProgramFolder() + "Log".
std::string LogText();

// Wendrik.dll from the build's bin folder, driven through its vtable slots.
class PluginBySlot {
 public:
  PluginBySlot();
  void* Object() const { return object; }
  void SetCallback(Wendrik::HotplugCallback callback, void* context);
  bool StartMonitor();
  bool StopMonitor();
  static void* Create();

 private:
  template <class Function>
  Function Slot(int index) const {
    return reinterpret_cast<Function>((*reinterpret_cast<void***>(object))[index]);
  }
  void* object;
};

// The fake libusb in the program folder, loaded from the path the plug-in uses.
const FakeUsbControl& Fake();

struct Notification {
  uint16_t vendorId;
  uint16_t productId;
  uint16_t address;
  int arrived;
  void* context;
  std::thread::id thread;
  std::chrono::steady_clock::time_point at;

  bool Is(uint16_t vendor, uint16_t product, uint16_t addr, int arr) const {
    return vendorId == vendor && productId == product && address == addr && arrived == arr;
  }
};

class Recorder {
 public:
  static void Callback(Wendrik::UsbDeviceInfo* device, int arrived, void* context);
  // Waits until `count` notifications arrived; true if they did in time.
  bool WaitFor(size_t count, int timeoutMs = 3000);
  std::vector<Notification> Taken();

 private:
  std::mutex lock;
  std::condition_variable changed;
  std::vector<Notification> notifications;
};

}  // namespace hotplugtest
