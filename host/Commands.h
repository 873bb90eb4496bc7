#pragma once
// The subcommands of qlxhost. Each has a one-line summary for the overview,
// a help text, its options, and a body that returns an exit code or throws
// UsageError / JobError.
#include <functional>
#include <string>
#include <vector>

#include "host/Cli.h"
#include "host/Format.h"

namespace qlx::host {

struct Command {
  std::string name;
  std::string summary;
  std::string help;
  std::vector<OptionRule> options;
  std::function<int(const ParsedArgs&, const Console&)> run;
};

Command PlanCommand();
Command RobotCommand();
Command PublishCommand();
Command UsbCommand();

// Prints `command`'s help text to `out`.
void PrintHelp(const Command& command, std::ostream& out);

}  // namespace qlx::host
