// A stand-in for the disc-burning service: loads Dravent.dll from its own
// folder, creates one controller and calls its operations by slot position,
// one call per command-line argument group, printing each result.
//
//   DraventHost <slot> <arg>... [-- <slot> <arg>...]...
//
// Arguments: a decimal or 0x integer; "null"; "s:<text>" (a UTF-16 string);
// "buf:<bytes>[:<fill byte in hex>]" (a buffer, printed in hex after the
// call); "int:<value>" (an int32 in a buffer, printed after the call);
// "cb" (a tray callback). Every printed line starts with "=> ".
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "robotctrl/IDravent.h"

namespace {

// Controllers live until the process ends, as in the service.
IDravent* g_controller = nullptr;

uint32_t QLX_CALL TrayCallback(int32_t, int32_t) { return 0; }

// Storage behind one pointer argument; printed after the call.
struct Buffer {
  std::vector<unsigned char> bytes;
  bool print = false;
};

struct Call {
  std::vector<std::string> args;
  std::vector<std::unique_ptr<Buffer>> buffers;

  int64_t Integer(size_t index) const { return std::strtoll(args.at(index).c_str(), nullptr, 0); }

  // Pointer for argument `index`, backed by storage that lives as long as the call.
  void* Pointer(size_t index) {
    const std::string& arg = args.at(index);
    if (arg == "null") return nullptr;
    auto buffer = std::make_unique<Buffer>();
    if (arg.rfind("s:", 0) == 0) {
      for (size_t i = 2; i <= arg.size(); ++i) {
        const char16_t unit = i < arg.size() ? static_cast<unsigned char>(arg[i]) : 0;
        buffer->bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        buffer->bytes.push_back(static_cast<unsigned char>(unit >> 8));
      }
    } else if (arg.rfind("buf:", 0) == 0) {
      char* end = nullptr;
      const size_t size = std::strtoul(arg.c_str() + 4, &end, 10);
      const int fill = *end == ':' ? static_cast<int>(std::strtol(end + 1, nullptr, 16)) : 0;
      buffer->bytes.assign(size, static_cast<unsigned char>(fill));
      buffer->print = true;
    } else if (arg.rfind("int:", 0) == 0) {
      const auto value = static_cast<int32_t>(std::strtoll(arg.c_str() + 4, nullptr, 0));
      buffer->bytes.resize(sizeof value);
      std::memcpy(buffer->bytes.data(), &value, sizeof value);
      buffer->print = true;
    }
    void* pointer = buffer->bytes.data();
    buffers.push_back(std::move(buffer));
    return pointer;
  }

  template <typename T>
  T Convert(size_t index) {
    if constexpr (std::is_pointer_v<T> && std::is_function_v<std::remove_pointer_t<T>>) {
      return args.at(index) == "cb" ? &TrayCallback : nullptr;
    } else if constexpr (std::is_pointer_v<T>) {
      return static_cast<T>(Pointer(index));
    } else {
      return static_cast<T>(Integer(index));
    }
  }
};

// Calls slot `slot` of the controller with the argument types of `Method`,
// through the object's table of virtual functions.
template <typename... Params, size_t... I>
uint32_t CallSlotWith(IDravent* controller, size_t slot, Call& call, std::index_sequence<I...>) {
  using Function = uint32_t (*)(IDravent*, Params...);
  void** table = *reinterpret_cast<void***>(controller);
  auto function = reinterpret_cast<Function>(table[slot]);
  // Arguments are converted first so that their storage outlives the call.
  std::tuple<Params...> values{call.Convert<Params>(I)...};
  return function(controller, std::get<I>(values)...);
}

template <typename... Params>
uint32_t CallSlot(IDravent* controller, size_t slot, Call& call,
                  uint32_t (IDravent::*)(Params...)) {
  if (call.args.size() != sizeof...(Params)) {
    std::fprintf(stderr, "slot %zu takes %zu arguments\n", slot, sizeof...(Params));
    std::exit(2);
  }
  return CallSlotWith<Params...>(controller, slot, call, std::index_sequence_for<Params...>{});
}

// The argument types of each slot, taken from the interface declaration.
uint32_t Dispatch(IDravent* c, size_t slot, Call& call) {
  switch (slot) {
    case 0:
      return CallSlot(c, slot, call, &IDravent::Destroy);
    case 1:
      return CallSlot(c, slot, call, &IDravent::Init);
    case 2:
      return CallSlot(c, slot, call, &IDravent::EnumRobots);
    case 3:
      return CallSlot(c, slot, call, &IDravent::GetRobotInfo);
    case 4:
      return CallSlot(c, slot, call, &IDravent::EnumDrives);
    case 5:
      return CallSlot(c, slot, call, &IDravent::GetMediaInfo);
    case 6:
      return CallSlot(c, slot, call, &IDravent::GetDriveInfo);
    case 7:
      return CallSlot(c, slot, call, &IDravent::OpenCloseDrive);
    case 8:
      return CallSlot(c, slot, call, &IDravent::SystemAction);
    case 9:
      return CallSlot(c, slot, call, &IDravent::LoadDrive);
    case 10:
      return CallSlot(c, slot, call, &IDravent::UnLoadDrive);
    case 11:
      return CallSlot(c, slot, call, &IDravent::MoveDiscBetweenLocations);
    case 12:
      return CallSlot(c, slot, call, &IDravent::LoadPrinter);
    case 13:
      return CallSlot(c, slot, call, &IDravent::LoadPrinterFromDrive);
    case 14:
      return CallSlot(c, slot, call, &IDravent::UnLoadPrinter);
    case 15:
      return CallSlot(c, slot, call, &IDravent::AddMergeFields);
    case 16:
      return CallSlot(c, slot, call, &IDravent::PrintFileWithMerge2);
    case 17:
      return CallSlot(c, slot, call, &IDravent::PrintFile);
    case 18:
      return CallSlot(c, slot, call, &IDravent::ClearMergeList);
    case 19:
      return CallSlot(c, slot, call, &IDravent::GetPrinterSettings);
    case 20:
      return CallSlot(c, slot, call, &IDravent::SetPrinterSettings);
    case 21:
      return CallSlot(c, slot, call, &IDravent::GetErrorString);
    case 22:
      return CallSlot(c, slot, call, &IDravent::KillSystemError);
    case 23:
      return CallSlot(c, slot, call, &IDravent::GetRobotOptions);
    case 24:
      return CallSlot(c, slot, call, &IDravent::SetRobotOptions);
    case 25:
      return CallSlot(c, slot, call, &IDravent::GetRobotStatus);
    case 26:
      return CallSlot(c, slot, call, &IDravent::GetRobotStatus2);
    case 27:
      return CallSlot(c, slot, call, &IDravent::GetSureThingPreview);
    case 28:
      return CallSlot(c, slot, call, &IDravent::SetRoboticDrive);
    case 29:
      return CallSlot(c, slot, call, &IDravent::SetupDebugging);
    case 30:
      return CallSlot(c, slot, call, &IDravent::SetOpenCloseFunction);
    case 31:
      return CallSlot(c, slot, call, &IDravent::MoveDiscBetweenDrives);
  }
  std::fprintf(stderr, "no slot %zu\n", slot);
  std::exit(2);
}

void PrintResult(size_t slot, uint32_t result, const Call& call) {
  std::printf("=> %zu %u", slot, result);
  for (const auto& buffer : call.buffers) {
    if (!buffer->print) continue;
    std::printf(" ");
    for (unsigned char byte : buffer->bytes) std::printf("%02x", byte);
  }
  std::printf("\n");
  std::fflush(stdout);
}

std::string ProgramFolder() {
  char path[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string folder(path, length > 0 ? static_cast<size_t>(length) : 0);
  return folder.substr(0, folder.rfind('/') + 1);
}

}  // namespace

int main(int argc, char** argv) {
  void* plugin = dlopen((ProgramFolder() + "Dravent.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
  if (plugin == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  auto create = reinterpret_cast<PFN_CreateDraventObj>(dlsym(plugin, "CreateDraventObj"));
  g_controller = create != nullptr ? create() : nullptr;
  if (g_controller == nullptr) return 1;
  std::printf("=> pid %d\n", static_cast<int>(getpid()));
  for (int i = 1; i < argc;) {
    const size_t slot = std::strtoul(argv[i++], nullptr, 10);
    Call call;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) call.args.push_back(argv[i]);
    ++i;
    PrintResult(slot, Dispatch(g_controller, slot, call), call);
  }
  return 0;
}
