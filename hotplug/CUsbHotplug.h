#pragma once
// The hot-plug monitor behind Wendrik::IHotplug: binds libusb at run time and
// reports USB arrivals and removals from an event thread of its own, either
// from libusb's hot-plug events (event mode) or by comparing an enumeration
// per second with the previous one (poll mode).
#include <Poco/Condition.h>
#include <Poco/Mutex.h>
#include <Poco/Runnable.h>
#include <Poco/Thread.h>

#include <atomic>
#include <vector>

#include "hotplug/IHotplug.h"
#include "hotplug/LibusbApi.h"
#include "logging/Logger.h"

namespace Wendrik {

class CUsbHotplug;

// Body of the event thread: one pass of CUsbHotplug::Poll, then a pause of at
// most a second, until a stop is requested.
class CUsbRunnable : public Poco::Runnable {
 public:
  explicit CUsbRunnable(CUsbHotplug& owner) : owner(owner) {}
  void run() override;

  void ClearStop() { stopRequested = false; }
  void RequestStop() { stopRequested = true; }
  // Ends the pause between passes early; takes the mutex, so it waits for a
  // pass under way (call after RequestStop and after waking libusb).
  void WakePause();

 private:
  std::atomic<bool> stopRequested{false};
  Poco::Condition condition;
  Poco::Mutex mutex;  // held by the event thread around each pass
  CUsbHotplug& owner;
};

// One enumeration: the readable devices in libusb's order, and the addresses
// of those whose descriptor could not be read this time.
struct DeviceEnumeration {
  std::vector<UsbDeviceInfo> devices;
  std::vector<uint16_t> unreadableAddresses;
};

class CUsbHotplug final : public IHotplug, public QLXSdk::CSingleton<CUsbHotplug> {
 public:
  CUsbHotplug();
  ~CUsbHotplug();
  CUsbHotplug(const CUsbHotplug&) = delete;
  CUsbHotplug& operator=(const CUsbHotplug&) = delete;

  void SetCallback(HotplugCallback callback, void* context) override;
  bool StartMonitor() override;
  bool StopMonitor() override;

  // Loads libusb from the program folder and resolves the thirteen names.
  bool Init();
  // One pass of the event thread.
  void Poll();
  // Whether a pass is followed by the one-second pause: always in poll mode;
  // in event mode only after a failed event-handling call, since that call
  // itself waits for events.
  bool PauseAfterPass() const;
  // Called by the event thread as it ends: releases the context when the
  // stop came from the consumer's callback on that thread.
  void OnThreadLeaving();

  // Registered with libusb for arrivals and removals; always returns 0.
  static int LIBUSB_CALL OnHotplugEvent(libusb_context* ctx, libusb_device* device,
                                        libusb_hotplug_event event, void* userData);
  // Enumerates the devices; false when libusb's enumeration failed.
  bool GetDeviceList(DeviceEnumeration& enumeration);
  // Reports the differences to the device list, arrivals first, and makes
  // `current` the device list.
  void CompareDevices(const DeviceEnumeration& current);

 private:
  struct CallbackPair {
    HotplugCallback callback;
    void* context;
  };

  CallbackPair CurrentCallback();
  void Notify(UsbDeviceInfo device, bool arrived);
  bool OnEventThread() const { return Poco::Thread::current() == &thread; }
  bool IsMonitoring();
  void SetMonitoring(bool on);
  void TakeBaseline();
  bool StartFromCallback();
  bool StopFromCallback();
  void WakeEventHandling();
  void JoinFinishedThread();
  void ReleaseContext();

  LibusbApi libusb{};
  bool libusbLoaded = false;
  HotplugCallback callback = nullptr;
  void* context = nullptr;
  libusb_context* usbContext = nullptr;
  CUsbRunnable runnable{*this};
  Poco::Thread thread{"Wendrik"};
  bool eventMode = false;
  bool monitoring = false;  // guarded by stateLock
  std::vector<UsbDeviceInfo> deviceList;

  LibusbWakeApi wake{};
  libusb_hotplug_callback_handle hotplugHandle = 0;
  bool lastEventHandlingFailed = false;  // event thread only
  bool haveDeviceList = false;           // poll mode: a first enumeration succeeded
  bool contextLeftToThread = false;      // guarded by stateLock
  Poco::FastMutex callbackLock;          // callback and context change and are read together
  Poco::FastMutex stateLock;             // short holds only, never across a callback or a join
  Poco::Mutex controlLock;               // serialises starts and stops of consumer threads
};

}  // namespace Wendrik
