// qlxhost: the reference host. Loads the plug-ins from its own folder, as the
// disc-burning service does, and drives them from the command line.
#include <Poco/Exception.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "host/Commands.h"

namespace qlx::host {

namespace {

constexpr const char* kVersion = "qlxhost 1.0";

std::vector<Command> AllCommands() {
  return {PlanCommand(), RobotCommand(), PublishCommand(), UsbCommand()};
}

void PrintOverview(std::ostream& out) {
  out << "Usage: qlxhost COMMAND [ARGS...]\n"
         "\n"
         "Drives the disc-publishing plug-ins found next to this program.\n"
         "\n"
         "Commands:\n";
  for (const auto& command : AllCommands()) {
    out << "  " << command.name << std::string(10 - command.name.size(), ' ') << command.summary
        << '\n';
  }
  out << "\n"
         "Run 'qlxhost COMMAND --help' for the arguments of a command.\n"
         "Exit codes: 0 success, 1 the job failed, 2 usage error.\n"
         "The plug-ins log to the Log folder next to qlxhost; QLXHOST_CONSOLE_LOG=1\n"
         "shows their records on standard error as well.\n";
}

const Command* FindCommand(const std::vector<Command>& commands, const std::string& name) {
  for (const auto& command : commands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

int Run(const std::vector<std::string>& args, const Console& console) {
  if (args.empty()) {
    PrintOverview(console.Err());
    return kExitUsage;
  }
  const std::string& first = args[0];
  if (first == "--help" || first == "-h") {
    PrintOverview(console.Out());
    return kExitOk;
  }
  if (first == "--version") {
    console.Out() << kVersion << '\n';
    return kExitOk;
  }
  const auto commands = AllCommands();
  if (first == "help") {
    if (args.size() == 1) {
      PrintOverview(console.Out());
      return kExitOk;
    }
    const Command* command = FindCommand(commands, args[1]);
    if (command == nullptr) throw UsageError("no command '" + args[1] + "'");
    PrintHelp(*command, console.Out());
    return kExitOk;
  }
  const Command* command = FindCommand(commands, first);
  if (command == nullptr) throw UsageError("no command '" + first + "'");
  ParsedArgs parsed = ParseArgs({args.begin() + 1, args.end()}, command->options);
  if (parsed.HelpRequested() && command->name != "robot") {
    PrintHelp(*command, console.Out());
    return kExitOk;
  }
  return command->run(parsed, console);
}

}  // namespace

void PrintHelp(const Command& command, std::ostream& out) { out << command.help; }

}  // namespace qlx::host

int main(int argc, char** argv) {
  using namespace qlx::host;
  const Console console = Console::ForProcess();
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string commandName = args.empty() ? std::string() : args[0];
  try {
    const int code = Run(args, console);
    console.Out().flush();
    return code;
  } catch (const UsageError& error) {
    console.Out().flush();
    console.Err() << "qlxhost: " << error.what() << '\n'
                  << "Try 'qlxhost "
                  << (commandName.empty() || commandName[0] == '-' ? "" : commandName + " ")
                  << "--help'.\n";
    return kExitUsage;
  } catch (const JobError& error) {
    console.Out().flush();
    console.Err() << console.PaintErr("qlxhost: error: ", Colour::kRed) << error.what() << '\n';
    return kExitJobFailed;
  } catch (const Poco::Exception& error) {
    // The disc-assignment plug-in lets a few file-system exceptions pass.
    console.Out().flush();
    console.Err() << console.PaintErr("qlxhost: error: ", Colour::kRed) << error.displayText()
                  << '\n';
    return kExitJobFailed;
  } catch (const std::exception& error) {
    console.Out().flush();
    console.Err() << console.PaintErr("qlxhost: error: ", Colour::kRed) << error.what() << '\n';
    return kExitJobFailed;
  } catch (...) {
    console.Out().flush();
    console.Err() << console.PaintErr("qlxhost: error: ", Colour::kRed) << "unexpected failure\n";
    return kExitJobFailed;
  }
}
