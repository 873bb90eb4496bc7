#pragma once
// Command-line plumbing of qlxhost: the two kinds of failure with their exit
// codes, option parsing per command, and number parsing with usage errors.
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace qlx::host {

enum ExitCode { kExitOk = 0, kExitJobFailed = 1, kExitUsage = 2 };

// A wrong command line: reported with a hint to --help, exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The job itself failed (plug-in missing, vendor error...): exit code 1.
class JobError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct OptionRule {
  std::string name;    // long name without dashes, e.g. "disc"
  char shortName = 0;  // e.g. 'v'; 0 when there is none
  bool takesValue = false;
  bool repeatable = false;
};

// Options and positional arguments of one command, after parsing.
class ParsedArgs {
 public:
  bool Has(const std::string& name) const { return options_.count(name) != 0; }
  // Last value given for the option, or `fallback` when absent.
  std::string Value(const std::string& name, const std::string& fallback = {}) const;
  const std::vector<std::string>& Values(const std::string& name) const;
  const std::vector<std::string>& Positionals() const { return positionals_; }
  bool HelpRequested() const { return help_; }

 private:
  friend ParsedArgs ParseArgs(const std::vector<std::string>&, const std::vector<OptionRule>&);
  std::map<std::string, std::vector<std::string>> options_;
  std::vector<std::string> positionals_;
  bool help_ = false;
};

// Parses `args` against `rules`. "--name value", "--name=value", "-v",
// "--" (everything after it is positional) and "-h"/"--help" are understood.
// Throws UsageError for unknown options, missing values and repeats of an
// option that is not repeatable.
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionRule>& rules);

// Decimal or "0x" hexadecimal; `what` names the argument in the error.
uint64_t ParseUnsigned(const std::string& text, const std::string& what);
// Like ParseUnsigned, limited to 32 bits (handles, indices, locations).
uint32_t ParseUnsigned32(const std::string& text, const std::string& what);
int32_t ParseSigned32(const std::string& text, const std::string& what);
// A byte count with an optional binary suffix: 4096, 700MiB, 4.3G, 25GB.
uint64_t ParseByteCount(const std::string& text, const std::string& what);

}  // namespace qlx::host
