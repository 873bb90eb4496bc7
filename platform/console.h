#pragma once
// Services of console programs (the reference host): whether a standard
// stream is an interactive terminal, the interrupt key (Ctrl+C) turned into a
// flag that a long-running command polls, and the program's own environment.
#include <cstddef>
#include <string>

namespace qlx::platform {

enum class StandardStream { kOutput, kError };

// True when the stream is attached to an interactive terminal (not a pipe or
// a file). Used to decide on colour and progress display.
bool IsTerminal(StandardStream stream);

// From now on the interrupt key and a termination request only raise the
// flag read by InterruptRequested(); the process is not ended by them.
// Only programs may call this, never a library.
void CatchInterrupt();

// True once an interrupt or termination request arrived after CatchInterrupt.
bool InterruptRequested();

// Where DivertStandardOutput sends what others write to standard output.
enum class DivertTarget { kStandardError, kDiscard };

// Sends whatever the process writes to standard output from now on (the
// loaded libraries' console log records, say) to standard error or nowhere,
// and keeps the original standard output for WriteOriginalOutput. Lets a
// program keep its own output clean for scripts. False when it cannot.
bool DivertStandardOutput(DivertTarget target);

// Writes all of `data` to the original standard output (standard output
// itself before DivertStandardOutput). False when the write fails.
bool WriteOriginalOutput(const char* data, size_t size);

// Sets the environment variable `name` of this process (inherited by the
// processes it starts); false when the system refuses.
bool SetEnvironmentVariable(const std::string& name, const std::string& value);

}  // namespace qlx::platform
