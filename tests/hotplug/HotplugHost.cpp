#include "tests/hotplug/HotplugHost.h"

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/library.h"

namespace hotplugtest {

std::string ProgramFolder() {
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  std::string path(buffer, static_cast<size_t>(length));
  return path.substr(0, path.rfind('/') + 1);
}

std::string LogText() {
  const std::string folder = ProgramFolder() + "Log/";
  std::string text;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return text;
  while (dirent* entry = readdir(dir)) {
    std::ifstream file(folder + entry->d_name, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    text += content.str();
  }
  closedir(dir);
  return text;
}

void* PluginBySlot::Create() {
  auto library = qlx::platform::LoadLibraryAt(QLX_BIN_DIR "/Wendrik.dll");
  auto create = reinterpret_cast<WendrikCreateHotplugFn>(
      qlx::platform::FindExport(library, WENDRIK_FACTORY_EXPORT));
  if (create == nullptr) throw std::runtime_error("Wendrik.dll or its factory missing");
  return create();
}

PluginBySlot::PluginBySlot() : object(Create()) {}

void PluginBySlot::SetCallback(Wendrik::HotplugCallback callback, void* context) {
  Slot<void (*)(void*, Wendrik::HotplugCallback, void*)>(0)(object, callback, context);
}

bool PluginBySlot::StartMonitor() { return Slot<bool (*)(void*)>(1)(object); }

bool PluginBySlot::StopMonitor() { return Slot<bool (*)(void*)>(2)(object); }

const FakeUsbControl& Fake() {
  static const FakeUsbControl* control = [] {
    auto library = qlx::platform::LoadLibraryAt(ProgramFolder() + "libusb-1.0.dll");
    auto get = reinterpret_cast<FakeUsbGetControlFn>(
        qlx::platform::FindExport(library, FAKEUSB_CONTROL_EXPORT));
    if (get == nullptr) throw std::runtime_error("no fake libusb in the program folder");
    return get();
  }();
  return *control;
}

void Recorder::Callback(Wendrik::UsbDeviceInfo* device, int arrived, void* context) {
  auto* self = static_cast<Recorder*>(context);
  std::lock_guard<std::mutex> hold(self->lock);
  self->notifications.push_back({device->vendorId, device->productId, device->address, arrived,
                                 context, std::this_thread::get_id(),
                                 std::chrono::steady_clock::now()});
  self->changed.notify_all();
}

bool Recorder::WaitFor(size_t count, int timeoutMs) {
  std::unique_lock<std::mutex> hold(lock);
  return changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                          [&] { return notifications.size() >= count; });
}

std::vector<Notification> Recorder::Taken() {
  std::lock_guard<std::mutex> hold(lock);
  return notifications;
}

}  // namespace hotplugtest
