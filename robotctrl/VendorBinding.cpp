#include "robotctrl/VendorBinding.h"

#include "logging/Logger.h"
#include "platform/library.h"
#include "platform/version.h"

namespace {

// Stores the export `name` of `library` into `entry`; false when it is missing.
template <typename Pointer>
bool Resolve(qlx::platform::LibraryHandle library, const char* name, Pointer& entry) {
  entry = reinterpret_cast<Pointer>(qlx::platform::FindExport(library, name));
  return entry != nullptr;
}

int ResolveAll(qlx::platform::LibraryHandle library, RobotFuncTable& table) {
#define ROBOTCTRL_RESOLVE(Name, Params, Args) \
  if (!Resolve(library, #Name, table.Name)) return 0;
  PTROBOT_FUNCTIONS(ROBOTCTRL_RESOLVE)
#undef ROBOTCTRL_RESOLVE
  return 1;
}

// A version query that fails counts as a version other than Windows XP.
const char* ChosenLibraryName() {
  qlx::platform::WindowsVersion version;
  if (!qlx::platform::GetWindowsVersion(version)) return VendorLibraryName(0, 0, 0);
  return VendorLibraryName(version.platformId, version.major, version.minor);
}

}  // namespace

const char* VendorLibraryName(uint32_t platformId, uint32_t major, uint32_t minor) {
  const bool windowsXp = platformId == qlx::platform::kPlatformWin32Nt && major == 5 && minor == 1;
  return windowsXp ? "Velnor.dll" : "PTRobot.dll";
}

std::string ProgramFolder() {
  std::string extension, baseName, folder;
  QLXSdk::SplitModulePath(extension, baseName, folder);
  return folder;
}

int InitFunc(RobotFuncTable& table) {
  try {
    const std::string path = ProgramFolder() + ChosenLibraryName();
    qlx::platform::LibraryHandle library = qlx::platform::LoadLibraryAt(path);
    if (library == nullptr) return 0;
    return ResolveAll(library, table);
  } catch (...) {  // out of memory while building the path
    return 0;
  }
}

PFN_MoveBD BindMoveBD() {
  try {
    qlx::platform::LibraryHandle library =
        qlx::platform::LoadLibraryAt(ProgramFolder() + "PTBD.dll");
    PFN_MoveBD moveBD = nullptr;
    Resolve(library, "MoveBD", moveBD);
    return moveBD;
  } catch (...) {
    return nullptr;
  }
}
