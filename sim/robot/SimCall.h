#pragma once
// Writes the simulator's call journal (format in SimRobot.h) and applies the
// injected faults (delay, hang, exit) on entry to a vendor function.
#include <cstdint>
#include <string>
#include <type_traits>

#include "agent/PTRobotApi.h"

namespace qlx::sim {

// Appends one whole line to the file named by QLX_SIM_JOURNAL, if any.
void AppendJournalLine(const std::string& line);

// Delays, hangs or ends the process when the configuration asks for `function`;
// the result the configuration imposes on it (fail_function), or 0.
uint32_t ApplyInjectedFaults(const char* function);

// Argument rendering for journal lines.
std::string JournalArg(int32_t value);
// In text: UTF-8 in double quotes, as it is but for line breaks (\n, \r); or null.
std::string JournalArg(const char16_t* text);
std::string JournalArg(char16_t* text);  // out text: out or null
std::string JournalArg(PTOpenCloseFunction function);
template <typename T>
std::string JournalArg(T* out) {  // out record or integer
  return out == nullptr ? "null" : "out";
}
template <typename T>
std::string JournalArg(const T* record) {  // in record: its 32-bit fields
  if (record == nullptr) return "null";
  static_assert(sizeof(T) % sizeof(int32_t) == 0, "in records are made of 32-bit fields");
  const auto* fields = reinterpret_cast<const int32_t*>(record);
  std::string text = "{";
  for (size_t i = 0; i < sizeof(T) / sizeof(int32_t); ++i) {
    text += (i ? ", " : "") + std::to_string(fields[i]);
  }
  return text + "}";
}

// Journals a call on entry and applies the injected faults; a nonzero result
// is the one the call must return without acting.
template <typename... Args>
uint32_t EnterCall(const char* function, Args... args) {
  std::string line = function;
  line += "(";
  bool first = true;
  ((line += (first ? "" : ", ") + JournalArg(args), first = false), ...);
  line += ")";
  AppendJournalLine(line);
  return ApplyInjectedFaults(function);
}

}  // namespace qlx::sim
