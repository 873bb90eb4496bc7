#pragma once
// Reading the simulator's call journal back, for tests (header-only).
//
//   auto calls = qlx::sim::ReadJournal(path);               // every line
//   auto loads = qlx::sim::Calls(path, "PTRobot_LoadDrive"); // "PTRobot_LoadDrive(65536, ...)"
//   EXPECT_EQ(loads[0].Args(), (std::vector<std::string>{"65536", "65860", "1", "0"}));
//
// A line reads "<pid> <Function>(<args>)"; the format is told in SimRobot.h.
#include <fstream>
#include <string>
#include <vector>

namespace qlx::sim {

struct JournalCall {
  int pid = 0;
  std::string function;
  std::string args;  // the text between the parentheses

  // The call without its pid: "Function(args)".
  std::string Text() const { return function + "(" + args + ")"; }

  // The arguments one by one; ", " inside a quoted text or a record does not split.
  std::vector<std::string> Args() const {
    std::vector<std::string> split;
    if (args.empty()) return split;
    std::string current;
    bool quoted = false;
    int depth = 0;
    for (size_t i = 0; i < args.size(); ++i) {
      const char c = args[i];
      if (c == '"') quoted = !quoted;
      if (!quoted && c == '{') ++depth;
      if (!quoted && c == '}') --depth;
      if (!quoted && depth == 0 && c == ',' && i + 1 < args.size() && args[i + 1] == ' ') {
        split.push_back(current);
        current.clear();
        ++i;
        continue;
      }
      current += c;
    }
    split.push_back(current);
    return split;
  }
};

// Parses one journal line; false when it is not one.
inline bool ParseJournalLine(const std::string& line, JournalCall& call) {
  const size_t space = line.find(' ');
  const size_t open = line.find('(', space == std::string::npos ? 0 : space);
  if (space == std::string::npos || space == 0 || open == std::string::npos || line.back() != ')') {
    return false;
  }
  call.pid = std::atoi(line.substr(0, space).c_str());
  call.function = line.substr(space + 1, open - space - 1);
  call.args = line.substr(open + 1, line.size() - open - 2);
  return true;
}

// Every call in the journal file at `path`, in order (none when it is missing).
inline std::vector<JournalCall> ReadJournal(const std::string& path) {
  std::vector<JournalCall> calls;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    JournalCall call;
    if (ParseJournalLine(line, call)) calls.push_back(call);
  }
  return calls;
}

// The calls of `function` (all when empty), optionally of one process only.
inline std::vector<JournalCall> Calls(const std::string& path, const std::string& function,
                                      int pid = 0) {
  std::vector<JournalCall> selected;
  for (const JournalCall& call : ReadJournal(path)) {
    if ((function.empty() || call.function == function) && (pid == 0 || call.pid == pid)) {
      selected.push_back(call);
    }
  }
  return selected;
}

// The calls as "Function(args)" texts, without pids.
inline std::vector<std::string> CallTexts(const std::string& path,
                                          const std::string& function = {}) {
  std::vector<std::string> texts;
  for (const JournalCall& call : Calls(path, function)) texts.push_back(call.Text());
  return texts;
}

}  // namespace qlx::sim
