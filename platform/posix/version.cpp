#include "platform/version.h"

#include <cstdlib>

namespace qlx::platform {
namespace {

// Parses a decimal number of up to 4 digits at `text`, advancing it.
bool ParseNumber(const char*& text, uint32_t& value) {
  int digits = 0;
  value = 0;
  for (; *text >= '0' && *text <= '9' && digits < 5; ++text, ++digits) {
    value = value * 10 + static_cast<uint32_t>(*text - '0');
  }
  return digits > 0 && digits < 5;
}

// "major" or "major.minor".
bool ParseVersion(const char* text, WindowsVersion& version) {
  WindowsVersion parsed;
  parsed.platformId = kPlatformWin32Nt;
  if (!ParseNumber(text, parsed.major)) return false;
  if (*text == '.') {
    ++text;
    if (!ParseNumber(text, parsed.minor)) return false;
  }
  if (*text != '\0') return false;
  version = parsed;
  return true;
}

}  // namespace

bool GetWindowsVersion(WindowsVersion& version) {
  const char* configured = std::getenv("QLX_WINDOWS_VERSION");
  if (configured == nullptr || *configured == '\0') {
    version = WindowsVersion{kPlatformWin32Nt, 10, 0};
    return true;
  }
  return ParseVersion(configured, version);
}

}  // namespace qlx::platform
