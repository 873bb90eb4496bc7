#pragma once
// Debugger output: a side channel for diagnostic text that a debugger or a
// monitoring tool may show. It never blocks and never fails the caller.
//
// POSIX: there is no system debugger channel. When the environment variable
// QLX_DEBUG_OUTPUT names a file (created when missing) or a FIFO at process
// start, each text is appended to it with one write (opened non-blocking, so
// a FIFO without a reader or a full one drops the text); otherwise the text
// is discarded.
#include <string_view>

namespace qlx::platform {

// Passes narrow text on unchanged.
void DebugOutput(std::string_view text);

// Passes UTF-16 text on (as UTF-8 on POSIX).
void DebugOutputW(std::u16string_view text);

}  // namespace qlx::platform
