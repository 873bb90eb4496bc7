#pragma once
// The running Windows version, as the robot controller uses it to choose
// between the vendor library and the proxy library (Windows XP).
#include <cstdint>

namespace qlx::platform {

// Platform id of the NT family (VER_PLATFORM_WIN32_NT).
constexpr uint32_t kPlatformWin32Nt = 2;

struct WindowsVersion {
  uint32_t platformId = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
};

// Reads the running Windows version into `version`; false when the query
// fails, leaving `version` as it was. On Windows this is the system's own
// answer. Elsewhere the system reports NT 10.0, or the NT version named by the
// environment variable QLX_WINDOWS_VERSION ("major.minor" or "major", for
// example "5.1" for Windows XP); a value of any other form makes the query fail.
bool GetWindowsVersion(WindowsVersion& version);

}  // namespace qlx::platform
