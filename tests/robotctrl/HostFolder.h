#pragma once
// A temporary program folder for the robot controller: the host program,
// Dravent.dll and whatever libraries a case needs, run with an environment
// of its own. Reads back what the host printed, the controller's log records
// and the simulator's journal.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sim/robot/SimJournal.h"
#include "tests/support/TempFolder.h"

struct SlotResult {
  uint32_t result = 0;
  std::vector<std::string> buffers;  // hex, in argument order
};

struct HostRun {
  int exitStatus = -1;
  int pid = 0;
  std::vector<SlotResult> calls;
  std::string output;  // everything the host wrote
};

struct LogRecord {
  std::string level;     // "INFO", "ERROR"
  std::string function;  // "CDraventImpl::Init"
  std::string text;      // after "(line)] "
};

using JournalEntry = qlx::sim::JournalCall;

using SlotCall = std::vector<std::string>;  // slot number, then its arguments

class HostFolder {
 public:
  HostFolder();

  const std::string& Path() const { return m_folder.Path(); }

  // Copies `source` into the folder as `name`.
  void Add(const std::string& source, const std::string& name);
  // Copies a file of the build's bin folder.
  void AddBin(const std::string& name) { Add(std::string(QLX_BIN_DIR) + "/" + name, name); }

  // Environment variable for the host (and the processes it starts).
  void SetEnv(const std::string& name, const std::string& value) { m_env[name] = value; }

  // Runs the host with the calls, in order.
  HostRun Run(const std::vector<SlotCall>& calls) const;

  // Records of the controller's daily log files.
  std::vector<LogRecord> LogRecords() const;
  // Texts of the records of one function and level.
  std::vector<std::string> Records(const std::string& function, const std::string& level) const;

  // Journal of the simulator (QLX_SIM_JOURNAL is set to a file in the folder).
  std::vector<JournalEntry> Journal() const;
  // Journal entries of one function.
  std::vector<JournalEntry> Journal(const std::string& function) const;

 private:
  qlx::testsupport::TempFolder m_folder;
  std::map<std::string, std::string> m_env;
};

// Runs the host; a host that does not end normally fails the case.
HostRun RunHost(const HostFolder& folder, const std::vector<SlotCall>& calls);

// Little-endian int32 values of a hex dump.
std::vector<int32_t> Int32s(const std::string& hex);

// UTF-16 text at the start of a hex dump, up to its terminator.
std::string TextAt(const std::string& hex, size_t byteOffset);

std::string Repeat(const std::string& text, size_t times);

// Skips the case when a file of another part of the system is not built.
#define REQUIRE_BIN(name)                                                  \
  if (!std::filesystem::exists(std::string(QLX_BIN_DIR) + "/" + (name))) { \
    GTEST_SKIP() << (name) << " is not built";                             \
  }
