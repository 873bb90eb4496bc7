#include "HostFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/support/Processes.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Unsets every QLX_ variable of the test's own environment, so that each run
// sees only what its case sets.
std::string ClearedEnvironment() {
  std::string cleared;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    if (variable.rfind("QLX_", 0) == 0) cleared += " -u " + variable.substr(0, variable.find('='));
  }
  return cleared;
}

SlotResult ParseResult(std::istringstream& line) {
  SlotResult slot;
  line >> slot.result;
  for (std::string buffer; line >> buffer;) slot.buffers.push_back(buffer);
  return slot;
}

}  // namespace

HostFolder::HostFolder() : m_folder("dravent-") {
  Add(std::string(QLX_TEST_BIN_DIR) + "/DraventHost", "DraventHost");
  AddBin("Dravent.dll");
  SetEnv("QLX_SIM_JOURNAL", Path() + "/journal.txt");
  // Records go to the log file only, not into the host's output.
  std::ofstream(Path() + "/qlxlogger.cfg") << "[config]\nprint_flag = 1\n";
}

void HostFolder::Add(const std::string& source, const std::string& name) {
  fs::copy_file(source, fs::path(Path()) / name, fs::copy_options::overwrite_existing);
}

HostRun HostFolder::Run(const std::vector<SlotCall>& calls) const {
  std::string command = "cd " + Quote(Path()) + " && env" + ClearedEnvironment();
  for (const auto& [name, value] : m_env) command += " " + name + "=" + Quote(value);
  command += " ./DraventHost";
  for (size_t i = 0; i < calls.size(); ++i) {
    if (i > 0) command += " --";
    for (const std::string& arg : calls[i]) command += " " + Quote(arg);
  }
  HostRun run;
  run.output = qlx::testsupport::RunCommand(command, &run.exitStatus);
  std::istringstream output(run.output);
  for (std::string line; std::getline(output, line);) {
    if (line.rfind("=> ", 0) != 0) continue;
    std::istringstream fields(line.substr(3));
    std::string first;
    fields >> first;
    if (first == "pid") {
      fields >> run.pid;
    } else {
      run.calls.push_back(ParseResult(fields));
    }
  }
  return run;
}

std::vector<LogRecord> HostFolder::LogRecords() const {
  static const std::regex record(
      R"(^\d\d:\d\d:\d\d \[\d+ \d+\] \[(\w+)\] \[([^ ]+) \((\d+)\)\] (.*)$)");
  std::vector<LogRecord> records;
  const fs::path logDir = fs::path(Path()) / "Log";
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(logDir, error)) {
    if (entry.path().filename().string().rfind("Dravent", 0) != 0) continue;
    for (const std::string& line : Lines(entry.path().string())) {
      std::smatch match;
      if (std::regex_match(line, match, record)) {
        records.push_back({match[1], match[2], match[4]});
      }
    }
  }
  return records;
}

std::vector<std::string> HostFolder::Records(const std::string& function,
                                             const std::string& level) const {
  std::vector<std::string> texts;
  for (const LogRecord& record : LogRecords()) {
    if (record.function == function && record.level == level) texts.push_back(record.text);
  }
  return texts;
}

std::vector<JournalEntry> HostFolder::Journal() const {
  return qlx::sim::ReadJournal(Path() + "/journal.txt");
}

std::vector<JournalEntry> HostFolder::Journal(const std::string& function) const {
  std::vector<JournalEntry> entries;
  for (const JournalEntry& entry : Journal()) {
    if (entry.function == function) entries.push_back(entry);
  }
  return entries;
}

HostRun RunHost(const HostFolder& folder, const std::vector<SlotCall>& calls) {
  HostRun run = folder.Run(calls);
  EXPECT_EQ(run.exitStatus, 0) << run.output;
  return run;
}

std::vector<int32_t> Int32s(const std::string& hex) {
  std::vector<int32_t> values;
  for (size_t at = 0; at + 8 <= hex.size(); at += 8) {
    uint32_t value = 0;
    for (int byte = 3; byte >= 0; --byte) {
      value = value << 8 | std::stoul(hex.substr(at + 2 * byte, 2), nullptr, 16);
    }
    values.push_back(static_cast<int32_t>(value));
  }
  return values;
}

std::string TextAt(const std::string& hex, size_t byteOffset) {
  std::string text;
  for (size_t at = 2 * byteOffset; at + 4 <= hex.size(); at += 4) {
    const unsigned long unit = std::stoul(hex.substr(at + 2, 2) + hex.substr(at, 2), nullptr, 16);
    if (unit == 0) break;
    text += unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return text;
}

std::string Repeat(const std::string& text, size_t times) {
  std::string repeated;
  for (size_t i = 0; i < times; ++i) repeated += text;
  return repeated;
}
