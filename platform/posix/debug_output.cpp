#include "platform/debug_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/text.h"

namespace qlx::platform {
namespace {

// Read once: the environment is not safe to read while others may change it.
const std::string& Destination() {
  static const std::string path = [] {
    const char* value = std::getenv("QLX_DEBUG_OUTPUT");
    return std::string(value ? value : "");
  }();
  return path;
}

}  // namespace

void DebugOutput(std::string_view text) {
  const std::string& path = Destination();
  if (path.empty() || text.empty()) return;
  int fd =
      open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return;
  ssize_t ignored = write(fd, text.data(), text.size());
  (void)ignored;
  close(fd);
}

void DebugOutputW(std::u16string_view text) {
  if (Destination().empty()) return;
  try {
    DebugOutput(Utf16ToUtf8(text));
  } catch (...) {
    // Out of memory: the text is dropped, the caller is never troubled.
  }
}

}  // namespace qlx::platform
