// qlxhost usb watch: the USB hot-plug monitor of Wendrik.dll, printing every
// arrival and removal until interrupted or a number of seconds pass.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#include "host/Commands.h"
#include "host/Json.h"
#include "host/Plugins.h"
#include "hotplug/IHotplug.h"
#include "platform/console.h"

namespace qlx::host {

namespace {

// "2026-12-11 04:50:01.123" (or with "T" between date and time), local time.
std::string Timestamp(char separator = ' ') {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  local = *std::localtime(&seconds);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d.%03d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, separator, local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<int>(millis));
  return text;
}

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value);
  return text;
}

// What the callback needs; it runs on the plug-in's event thread.
struct Watch {
  const Console* console;
  bool json;
  std::mutex mutex;
  int arrivals = 0;
  int removals = 0;
};

void OnUsbEvent(Wendrik::UsbDeviceInfo* device, int arrived, void* context) {
  auto* watch = static_cast<Watch*>(context);
  if (device == nullptr || watch == nullptr) return;
  std::lock_guard<std::mutex> lock(watch->mutex);
  (arrived != 0 ? watch->arrivals : watch->removals)++;
  const Console& console = *watch->console;
  const char* event = arrived != 0 ? "arrived" : "removed";
  if (watch->json) {
    JsonWriter(console.Out(), false)
        .BeginObject()
        .Field("time", Timestamp('T'))
        .Field("event", event)
        .Field("vendor_id", Hex4(device->vendorId))
        .Field("product_id", Hex4(device->productId))
        .Field("address", static_cast<uint32_t>(device->address))
        .EndObject();
    console.Out() << std::endl;
    return;
  }
  console.Out() << console.Paint(Timestamp(), Colour::kDim) << "  "
                << console.Paint(arrived != 0 ? "arrived" : "removed",
                                 arrived != 0 ? Colour::kGreen : Colour::kYellow)
                << "  ID " << Hex4(device->vendorId) << ":" << Hex4(device->productId)
                << "  address " << device->address << std::endl;
}

int RunWatch(const ParsedArgs& args, const Console& console) {
  const auto& positionals = args.Positionals();
  if (positionals.empty() || positionals[0] != "watch") {
    throw UsageError(positionals.empty() ? "usb needs an action: watch"
                                         : "no usb action '" + positionals[0] + "'");
  }
  if (positionals.size() > 1) throw UsageError("usb watch takes no arguments");
  double seconds = -1;
  if (args.Has("seconds")) {
    seconds = static_cast<double>(ParseUnsigned32(args.Value("seconds"), "--seconds"));
  }

  auto create = LoadFactory<WendrikCreateHotplugFn>("Wendrik.dll", WENDRIK_FACTORY_EXPORT);
  Wendrik::IHotplug* hotplug = create();
  if (hotplug == nullptr) throw JobError("Wendrik.dll made no hot-plug monitor");
  Watch watch;
  watch.console = &console;
  watch.json = args.Has("json");
  platform::CatchInterrupt();
  hotplug->SetCallback(OnUsbEvent, &watch);
  if (!hotplug->StartMonitor()) {
    hotplug->SetCallback(nullptr, nullptr);
    throw JobError("cannot start the USB monitor (is libusb-1.0.dll next to qlxhost?); see " +
                   ProgramFolder() + "Log");
  }
  if (console.OutIsTerminal() && !watch.json) {
    console.Out() << "Watching USB devices"
                  << (seconds >= 0 ? " for " + std::to_string(static_cast<int>(seconds)) + " s"
                                   : std::string())
                  << "; Ctrl+C stops.\n";
  }
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
  while (!platform::InterruptRequested() &&
         (seconds < 0 || std::chrono::steady_clock::now() < end)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  hotplug->StopMonitor();
  // Events that were under way while stopping are counted, but none follow.
  hotplug->SetCallback(nullptr, nullptr);
  std::lock_guard<std::mutex> lock(watch.mutex);
  if (console.OutIsTerminal() && !watch.json) {
    console.Out() << watch.arrivals << (watch.arrivals == 1 ? " arrival, " : " arrivals, ")
                  << watch.removals << (watch.removals == 1 ? " removal.\n" : " removals.\n");
  }
  return kExitOk;
}

}  // namespace

Command UsbCommand() {
  Command command;
  command.name = "usb";
  command.summary = "watch USB devices arrive and leave (Wendrik.dll)";
  command.help =
      "Usage: qlxhost usb watch [--seconds N] [--json]\n"
      "\n"
      "Starts the hot-plug monitor of Wendrik.dll (which loads libusb-1.0.dll from\n"
      "this program's folder) and prints every arrival and removal with a timestamp,\n"
      "vendor:product id in hex and the bus address, until Ctrl+C or N seconds.\n"
      "Devices already attached at the start are not reported.\n"
      "\n"
      "Options:\n"
      "  --seconds N   stop after N seconds\n"
      "  --json        one JSON object per event and line\n";
  command.options = {{"seconds", 0, true, false}, {"json", 0, false, false}};
  command.run = RunWatch;
  return command;
}

}  // namespace qlx::host
