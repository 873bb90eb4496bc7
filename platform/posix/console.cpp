#include "platform/console.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>

namespace qlx::platform {

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterruptSignal(int) { gInterrupted.store(true); }

}  // namespace

bool IsTerminal(StandardStream stream) {
  return isatty(stream == StandardStream::kOutput ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

void CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterruptSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested() { return gInterrupted.load(); }

bool SetEnvironmentVariable(const std::string& name, const std::string& value) {
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

}  // namespace qlx::platform
