#include "platform/process.h"

#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace qlx::platform {
namespace {

std::atomic<uint32_t> cachedProcessId{0};
thread_local uint32_t cachedThreadId = 0;

// The child of a fork has a new process id, and its one thread a new id.
void ForgetIdsInChild() {
  cachedProcessId.store(0, std::memory_order_relaxed);
  cachedThreadId = 0;
}

const bool forkHandlerRegistered = pthread_atfork(nullptr, nullptr, &ForgetIdsInChild) == 0;

std::string ReadExecutablePath() {
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return std::string();
  return std::string(buffer, static_cast<size_t>(length));
}

}  // namespace

std::string ExecutablePath() {
  static const std::string path = ReadExecutablePath();
  return path;
}

uint32_t CurrentProcessId() {
  (void)forkHandlerRegistered;
  uint32_t id = cachedProcessId.load(std::memory_order_relaxed);
  if (id == 0) {
    id = static_cast<uint32_t>(getpid());
    cachedProcessId.store(id, std::memory_order_relaxed);
  }
  return id;
}

uint32_t CurrentThreadId() {
  if (cachedThreadId == 0) cachedThreadId = static_cast<uint32_t>(gettid());
  return cachedThreadId;
}

void SleepMilliseconds(uint32_t milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

}  // namespace qlx::platform
