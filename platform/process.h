#pragma once
// Process services: the executable's path, process and thread ids, sleeping.
#include <cstdint>
#include <string>

namespace qlx::platform {

// Full path of the running process's executable file; empty when the system
// cannot tell. Read once and cached.
std::string ExecutablePath();

// Id of the calling process. Cached; re-read in the child after a fork.
uint32_t CurrentProcessId();

// Id of the calling thread as the system numbers threads. Cached per thread.
uint32_t CurrentThreadId();

// Suspends the calling thread for at least `milliseconds`.
void SleepMilliseconds(uint32_t milliseconds);

}  // namespace qlx::platform
