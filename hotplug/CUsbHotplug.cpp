#include "hotplug/CUsbHotplug.h"

#include <algorithm>
#include <string>

#include "platform/library.h"

namespace Wendrik {
namespace {

constexpr long kPauseMilliseconds = 1000;
constexpr int kEventsArrivedAndLeft =
    LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT;

template <class Function>
bool Resolve(qlx::platform::LibraryHandle library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(qlx::platform::FindExport(library, name));
  return function != nullptr;
}

bool Contains(const std::vector<UsbDeviceInfo>& devices, const UsbDeviceInfo& device) {
  return std::any_of(devices.begin(), devices.end(), [&](const UsbDeviceInfo& d) {
    return d.productId == device.productId && d.vendorId == device.vendorId &&
           d.address == device.address;
  });
}

bool Contains(const std::vector<uint16_t>& addresses, uint16_t address) {
  return std::find(addresses.begin(), addresses.end(), address) != addresses.end();
}

}  // namespace

void CUsbRunnable::run() {
  QLOG(QLXSdk::LOG_INFO) << "START >>>>>>";
  mutex.lock();
  for (;;) {
    owner.Poll();
    if (!stopRequested && owner.PauseAfterPass()) condition.tryWait(mutex, kPauseMilliseconds);
    if (stopRequested) break;
    mutex.unlock();
    mutex.lock();
  }
  mutex.unlock();
  owner.OnThreadLeaving();
  QLOG(QLXSdk::LOG_INFO) << "END >>>>>>";
}

void CUsbRunnable::WakePause() {
  Poco::Mutex::ScopedLock hold(mutex);
  condition.broadcast();
}

CUsbHotplug::CUsbHotplug() {
  // The logger must outlive this object, which is destroyed at process exit.
  QLXSdk::CLogger::Instance();
}

CUsbHotplug::~CUsbHotplug() {
  if (!OnEventThread()) {
    StopMonitor();
    JoinFinishedThread();
  }
  deviceList.clear();
}

void CUsbHotplug::SetCallback(HotplugCallback newCallback, void* newContext) try {
  Poco::FastMutex::ScopedLock hold(callbackLock);
  callback = newCallback;
  context = newContext;
} catch (...) {
  QLOG(QLXSdk::LOG_ERROR) << "unexpected failure";
}

bool CUsbHotplug::Init() {
  std::string extension, baseName, folder;
  QLXSdk::SplitModulePath(extension, baseName, folder);
  const std::string path = folder + "libusb-1.0.dll";
  qlx::platform::LibraryHandle library = qlx::platform::LoadLibraryAt(path);
  if (library == nullptr) {
    QLOG(QLXSdk::LOG_ERROR) << "load " << path << "fail.";
    return false;
  }
  Resolve(library, "libusb_interrupt_event_handler", wake.interrupt_event_handler);
  Resolve(library, "libusb_hotplug_deregister_callback", wake.hotplug_deregister_callback);
  return Resolve(library, "libusb_init", libusb.init) &&
         Resolve(library, "libusb_exit", libusb.exit) &&
         Resolve(library, "libusb_has_capability", libusb.has_capability) &&
         Resolve(library, "libusb_hotplug_register_callback", libusb.hotplug_register_callback) &&
         Resolve(library, "libusb_handle_events", libusb.handle_events) &&
         Resolve(library, "libusb_handle_events_completed", libusb.handle_events_completed) &&
         Resolve(library, "libusb_get_device_list", libusb.get_device_list) &&
         Resolve(library, "libusb_free_device_list", libusb.free_device_list) &&
         Resolve(library, "libusb_get_device_descriptor", libusb.get_device_descriptor) &&
         Resolve(library, "libusb_open", libusb.open) &&
         Resolve(library, "libusb_close", libusb.close) &&
         Resolve(library, "libusb_error_name", libusb.error_name) &&
         Resolve(library, "libusb_get_device_address", libusb.get_device_address);
}

// Runs on the consumer's thread; a start from the consumer's callback (on the
// event thread) goes to StartFromCallback instead.
bool CUsbHotplug::StartMonitor() try {
  if (OnEventThread()) return StartFromCallback();
  Poco::Mutex::ScopedLock control(controlLock);
  if (IsMonitoring()) return true;
  JoinFinishedThread();
  if (!libusbLoaded) libusbLoaded = Init();
  if (!libusbLoaded) {
    QLOG(QLXSdk::LOG_ERROR) << "Init Fail";
    return false;
  }
  libusb_context* created = nullptr;
  const int result = libusb.init(&created);
  if (result < 0) {
    QLOG(QLXSdk::LOG_ERROR) << "failed to initialise libusb: " << libusb.error_name(result);
    return false;
  }
  eventMode = false;
  if (libusb.has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0) {
    const int registered = libusb.hotplug_register_callback(
        created, kEventsArrivedAndLeft, 0, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
        LIBUSB_HOTPLUG_MATCH_ANY, &CUsbHotplug::OnHotplugEvent, this, &hotplugHandle);
    if (registered != LIBUSB_SUCCESS) {
      libusb.exit(created);
      QLOG(QLXSdk::LOG_ERROR) << "Error creating hotplug callback."
                              << libusb.error_name(registered);
      return false;
    }
    eventMode = true;
  }
  usbContext = created;
  if (!eventMode) TakeBaseline();
  runnable.ClearStop();
  SetMonitoring(true);  // before the thread runs: its first callback may stop it
  thread.start(runnable);
  return true;
} catch (...) {
  // Poco could not start the thread, or memory ran out.
  SetMonitoring(false);
  ReleaseContext();
  QLOG(QLXSdk::LOG_ERROR) << "cannot start the event thread";
  return false;
}

void CUsbHotplug::SetMonitoring(bool on) {
  Poco::FastMutex::ScopedLock state(stateLock);
  monitoring = on;
}

bool CUsbHotplug::IsMonitoring() {
  Poco::FastMutex::ScopedLock state(stateLock);
  return monitoring;
}

// Poll mode: the devices present at the start are never reported.
void CUsbHotplug::TakeBaseline() {
  DeviceEnumeration present;
  haveDeviceList = GetDeviceList(present);
  deviceList = present.devices;
}

// A start from the consumer's callback: monitoring is still on, or the same
// callback stopped it and the thread has not let go of the context yet.
bool CUsbHotplug::StartFromCallback() {
  Poco::FastMutex::ScopedLock state(stateLock);
  if (monitoring) return true;
  if (!contextLeftToThread) {
    QLOG(QLXSdk::LOG_ERROR) << "StopMonitor is under way on another thread";
    return false;
  }
  contextLeftToThread = false;
  runnable.ClearStop();
  monitoring = true;
  return true;
}

bool CUsbHotplug::StopMonitor() try {
  if (OnEventThread()) return StopFromCallback();
  Poco::Mutex::ScopedLock control(controlLock);
  {
    Poco::FastMutex::ScopedLock state(stateLock);
    if (!monitoring) return true;
    monitoring = false;
  }
  runnable.RequestStop();
  WakeEventHandling();
  runnable.WakePause();
  thread.join();
  ReleaseContext();
  return true;
} catch (...) {
  QLOG(QLXSdk::LOG_ERROR) << "unexpected failure";
  return true;
}

// The event thread cannot wait for itself: it requests the stop and releases
// the context as it leaves (OnThreadLeaving).
bool CUsbHotplug::StopFromCallback() {
  Poco::FastMutex::ScopedLock state(stateLock);
  if (!monitoring) return true;
  monitoring = false;
  contextLeftToThread = true;
  runnable.RequestStop();
  return true;
}

void CUsbHotplug::OnThreadLeaving() {
  Poco::FastMutex::ScopedLock state(stateLock);
  if (!contextLeftToThread) return;
  contextLeftToThread = false;
  ReleaseContext();
}

void CUsbHotplug::WakeEventHandling() {
  if (!eventMode) return;
  if (wake.interrupt_event_handler != nullptr)
    wake.interrupt_event_handler(usbContext);
  else if (wake.hotplug_deregister_callback != nullptr)
    wake.hotplug_deregister_callback(usbContext, hotplugHandle);
}

void CUsbHotplug::JoinFinishedThread() {
  try {
    if (thread.isRunning()) thread.join();
  } catch (...) {
    // Already joined.
  }
}

void CUsbHotplug::ReleaseContext() {
  if (usbContext == nullptr) return;
  libusb.exit(usbContext);
  usbContext = nullptr;
}

bool CUsbHotplug::PauseAfterPass() const { return !eventMode || lastEventHandlingFailed; }

void CUsbHotplug::Poll() {
  if (eventMode) {
    lastEventHandlingFailed = libusb.handle_events_completed(usbContext, nullptr) < 0;
    return;
  }
  DeviceEnumeration current;
  // A failed enumeration tells nothing about the devices: keep the list.
  if (!GetDeviceList(current)) return;
  if (!haveDeviceList) {
    haveDeviceList = true;
    deviceList = current.devices;
    return;
  }
  CompareDevices(current);
}

int LIBUSB_CALL CUsbHotplug::OnHotplugEvent(libusb_context*, libusb_device* device,
                                            libusb_hotplug_event event, void* userData) try {
  if (userData == nullptr || device == nullptr) return 0;
  auto* self = static_cast<CUsbHotplug*>(userData);
  const uint16_t address = self->libusb.get_device_address(device);
  libusb_device_descriptor descriptor{};
  if (self->libusb.get_device_descriptor(device, &descriptor) < 0) return 0;
  self->Notify({descriptor.idProduct, descriptor.idVendor, address},
               event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED);
  return 0;
} catch (...) {
  return 0;  // nothing may unwind into libusb
}

bool CUsbHotplug::GetDeviceList(DeviceEnumeration& enumeration) {
  libusb_device** list = nullptr;
  const ssize_t count = libusb.get_device_list(usbContext, &list);
  if (count < 0) {
    if (list != nullptr) libusb.free_device_list(list, 1);
    return false;
  }
  for (ssize_t i = 0; i < count; ++i) {
    const uint16_t address = libusb.get_device_address(list[i]);
    libusb_device_descriptor descriptor{};
    if (libusb.get_device_descriptor(list[i], &descriptor) < 0)
      enumeration.unreadableAddresses.push_back(address);
    else
      enumeration.devices.push_back({descriptor.idProduct, descriptor.idVendor, address});
  }
  libusb.free_device_list(list, 1);
  return true;
}

void CUsbHotplug::CompareDevices(const DeviceEnumeration& current) {
  std::vector<UsbDeviceInfo> next = current.devices;
  std::vector<UsbDeviceInfo> removed;
  for (const UsbDeviceInfo& known : deviceList) {
    if (Contains(current.devices, known)) continue;
    // Unreadable this time is not gone: keep it until a pass decides.
    if (Contains(current.unreadableAddresses, known.address))
      next.push_back(known);
    else
      removed.push_back(known);
  }
  const CallbackPair pair = CurrentCallback();
  if (pair.callback != nullptr) {
    for (const UsbDeviceInfo& device : current.devices)
      if (!Contains(deviceList, device)) {
        UsbDeviceInfo record = device;
        pair.callback(&record, 1, pair.context);
      }
    for (UsbDeviceInfo record : removed) pair.callback(&record, 0, pair.context);
  }
  deviceList = std::move(next);
}

CUsbHotplug::CallbackPair CUsbHotplug::CurrentCallback() {
  Poco::FastMutex::ScopedLock hold(callbackLock);
  return {callback, context};
}

void CUsbHotplug::Notify(UsbDeviceInfo device, bool arrived) {
  const CallbackPair pair = CurrentCallback();
  if (pair.callback != nullptr) pair.callback(&device, arrived ? 1 : 0, pair.context);
}

}  // namespace Wendrik
