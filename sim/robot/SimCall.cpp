#include "sim/robot/SimCall.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/text.h"
#include "sim/robot/SimConfig.h"

namespace qlx::sim {

void AppendJournalLine(const std::string& line) {
  const char* path = std::getenv("QLX_SIM_JOURNAL");
  if (path == nullptr || *path == '\0') return;
  const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const std::string whole = std::to_string(getpid()) + " " + line + "\n";
  if (write(fd, whole.data(), whole.size()) < 0) {
    // A journal that cannot be written only loses the line.
  }
  close(fd);
}

uint32_t ApplyInjectedFaults(const char* function) {
  const SimConfig& config = Config();
  const std::string name = function;
  if (config.delayMs > 0 && NamesFunction(config.delayFunction, name)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(config.delayMs));
  }
  if (NamesFunction(config.exitFunction, name)) _exit(99);
  while (NamesFunction(config.hangFunction, name)) {
    std::this_thread::sleep_for(std::chrono::hours(1));
  }
  return NamesFunction(config.failFunction, name) ? config.failResult : 0;
}

std::string JournalArg(int32_t value) { return std::to_string(value); }

std::string JournalArg(const char16_t* text) {
  if (text == nullptr) return "null";
  std::string quoted = "\"";
  for (const char c : qlx::platform::Utf16ToUtf8(text)) {
    switch (c) {
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      default:
        quoted += c;
    }
  }
  return quoted + "\"";
}

std::string JournalArg(char16_t* text) { return text == nullptr ? "null" : "out"; }

std::string JournalArg(PTOpenCloseFunction function) { return function == nullptr ? "null" : "fn"; }

}  // namespace qlx::sim
