#include "platform/console.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>

namespace qlx::platform {

namespace {

std::atomic<bool> gInterrupted{false};
int gOriginalOutput = STDOUT_FILENO;

extern "C" void OnInterruptSignal(int) { gInterrupted.store(true); }

}  // namespace

bool IsTerminal(StandardStream stream) {
  return isatty(stream == StandardStream::kOutput ? gOriginalOutput : STDERR_FILENO) == 1;
}

void CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterruptSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested() { return gInterrupted.load(); }

bool DivertStandardOutput(DivertTarget target) {
  if (gOriginalOutput != STDOUT_FILENO) return true;
  int replacement = target == DivertTarget::kStandardError
                        ? STDERR_FILENO
                        : open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (replacement < 0) return false;
  int saved = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  bool diverted = saved >= 0 && dup2(replacement, STDOUT_FILENO) >= 0;
  if (replacement != STDERR_FILENO) close(replacement);
  if (!diverted) {
    if (saved >= 0) close(saved);
    return false;
  }
  gOriginalOutput = saved;
  return true;
}

bool WriteOriginalOutput(const char* data, size_t size) {
  while (size > 0) {
    ssize_t written = write(gOriginalOutput, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool SetEnvironmentVariable(const std::string& name, const std::string& value) {
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

}  // namespace qlx::platform
