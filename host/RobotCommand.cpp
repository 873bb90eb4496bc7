// qlxhost robot ...: robots driven through Dravent.dll, on the direct path or
// the Windows XP path (proxy and agents).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "host/Commands.h"
#include "host/Json.h"
#include "host/Robots.h"
#include "host/Text.h"

namespace qlx::host {

namespace {

struct RobotAction {
  std::string name;
  std::string arguments;  // as in the usage line
  std::string summary;
  size_t minArgs;
  size_t maxArgs;
  std::function<void(const RobotSession&, const std::vector<std::string>&, bool json,
                     const Console&)>
      run;
};

std::string Wide(const char16_t* text, size_t capacity) { return FromUtf16(text, capacity); }

std::string Hex(int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<uint32_t>(value));
  return text;
}

void WriteRobotJson(JsonWriter& json, const RobotInfo& info) {
  json.BeginObject()
      .Field("handle", info.hRobot)
      .Field("model", Wide(info.Model, 100))
      .Field("type", info.RobotType)
      .Field("drives", info.NumDrives)
      .Field("bins", info.NumBins)
      .Field("printers", info.NumPrinters)
      .Field("drive_columns", info.DriveColumns)
      .Field("drive_rows", info.DriveRows)
      .Field("firmware", Wide(info.Firmware, 20))
      .Field("capabilities", info.Capabilities)
      .Field("options", info.Options)
      .Field("printer_type", info.PrinterType)
      .EndObject();
}

void ListRobots(const RobotSession& session, const std::vector<std::string>&, bool json,
                const Console& console) {
  const std::vector<int32_t> robots = session.Robots();
  if (robots.empty() && session.OnXpPath()) {
    throw JobError(
        "on the Windows XP path the proxy does not enumerate robots; list them without --xp "
        "and pass their handles on");
  }
  std::vector<RobotInfo> infos;
  for (int32_t robot : robots) infos.push_back(session.Info(robot));
  if (json) {
    JsonWriter writer(console.Out());
    writer.BeginArray();
    for (const auto& info : infos) WriteRobotJson(writer, info);
    writer.EndArray();
    return;
  }
  if (infos.empty()) {
    console.Out() << "No robots found.\n";
    return;
  }
  Table table(
      {"Robot", "Model", "Drives", "Bins", "Printer", "Firmware"},
      {Table::kLeft, Table::kLeft, Table::kRight, Table::kRight, Table::kLeft, Table::kLeft});
  for (size_t i = 0; i < infos.size(); ++i) {
    const RobotInfo& info = infos[i];
    table.AddRow({{HandleText(robots[i]), Colour::kCyan},
                  Wide(info.Model, 100),
                  std::to_string(info.NumDrives),
                  std::to_string(info.NumBins),
                  info.NumPrinters > 0 ? "yes" : "no",
                  Wide(info.Firmware, 20)});
  }
  table.Print(console);
}

void ShowInfo(const RobotSession& session, const std::vector<std::string>& args, bool json,
              const Console& console) {
  const int32_t robot = ParseHandle(args[0], "ROBOT");
  const RobotInfo info = session.Info(robot);
  DiscInfo media{};
  const bool haveMedia = session.Controller().GetMediaInfo(robot, &media) == 0;
  if (json) {
    JsonWriter writer(console.Out());
    writer.BeginObject().Key("robot");
    WriteRobotJson(writer, info);
    writer.Key("media");
    if (haveMedia) {
      writer.BeginObject()
          .Field("type", Wide(media.MediaType, 20))
          .Field("manufacturer", Wide(media.Manufacturer, 20))
          .EndObject();
    } else {
      writer.Null();
    }
    writer.EndObject();
    return;
  }
  std::string driveList;
  for (int32_t i = 0; i < info.NumDrives && i < 10; ++i) {
    driveList += (driveList.empty() ? "" : " ") + HandleText(info.Drives[i]);
  }
  FieldList fields;
  fields.Add("Robot", HandleText(robot));
  fields.Add("Model", Wide(info.Model, 100));
  fields.Add("Type", std::to_string(info.RobotType));
  fields.Add("Firmware", Wide(info.Firmware, 20));
  fields.Add("Drives", std::to_string(info.NumDrives) + " (" + std::to_string(info.DriveColumns) +
                           " columns x " + std::to_string(info.DriveRows) + " rows)");
  fields.Add("Drive handles", driveList.empty() ? "-" : driveList);
  fields.Add("Bins", std::to_string(info.NumBins));
  fields.Add("Printers",
             std::to_string(info.NumPrinters) + " (type " + std::to_string(info.PrinterType) + ")");
  fields.Add("Capabilities", Hex(info.Capabilities));
  fields.Add("Options", Hex(info.Options));
  const std::string mediaType = haveMedia ? Wide(media.MediaType, 20) : std::string();
  const std::string maker = haveMedia ? Wide(media.Manufacturer, 20) : std::string();
  fields.Add("Media", mediaType.empty() ? std::string("-")
                                        : mediaType + (maker.empty() ? "" : " by " + maker));
  fields.Print(console);
}

void ShowStatus(const RobotSession& session, const std::vector<std::string>& args, bool json,
                const Console& console) {
  const int32_t robot = ParseHandle(args[0], "ROBOT");
  RobotStatus status{};
  session.Check(session.Controller().GetRobotStatus(robot, &status),
                "cannot read the status of robot " + HandleText(robot), robot);
  if (json) {
    JsonWriter(console.Out())
        .BeginObject()
        .Field("robot", robot)
        .Field("system_state", status.SystemState)
        .Field("system_error", status.SystemError)
        .Field("input_bin_count", status.InputBinCount)
        .Field("output_bin_count", status.OutputBinCount)
        .Field("printer_state", status.PrinterState)
        .Field("disc_in_printer", status.DiscInPrinter != 0)
        .EndObject();
    return;
  }
  FieldList fields;
  fields.Add("Robot", HandleText(robot));
  fields.Add("System state", std::to_string(status.SystemState));
  fields.Add("System error",
             status.SystemError == 0
                 ? std::string("none")
                 : session.ErrorText(static_cast<uint32_t>(status.SystemError), robot));
  fields.Add("Input bin", std::to_string(status.InputBinCount) + " discs");
  fields.Add("Output bin", std::to_string(status.OutputBinCount) + " discs");
  fields.Add("Printer state", std::to_string(status.PrinterState));
  fields.Add("Disc in printer", status.DiscInPrinter != 0 ? "yes" : "no");
  fields.Print(console);
}

void ShowDrives(const RobotSession& session, const std::vector<std::string>& args, bool json,
                const Console& console) {
  const int32_t robot = ParseHandle(args[0], "ROBOT");
  std::vector<DriveInfoEx> drives;
  for (int32_t drive : session.Drives(robot)) {
    DriveInfoEx info{};
    session.Check(session.Controller().GetDriveInfo(drive, &info),
                  "cannot read drive " + HandleText(drive), robot);
    drives.push_back(info);
  }
  if (json) {
    JsonWriter writer(console.Out());
    writer.BeginArray();
    for (const auto& drive : drives) {
      const DrvInfo& info = drive.Drive.Info;
      writer.BeginObject()
          .Field("drive", DriveName(info.hDrive))
          .Field("handle", info.hDrive)
          .Field("root", Wide(drive.DriveRoot, 4))
          .Field("description", Wide(info.Description, 132))
          .Field("firmware", Wide(info.Firmware, 40))
          .Field("serial", Wide(info.Serial, 40))
          .Field("type", info.DriveType)
          .Field("column", info.Column)
          .Field("row", info.Row)
          .EndObject();
    }
    writer.EndArray();
    return;
  }
  if (drives.empty()) {
    console.Out() << "Robot " << HandleText(robot) << " has no drives.\n";
    return;
  }
  Table table({"Drive", "Handle", "Description", "Firmware", "Serial", "Type", "Col", "Row"},
              {Table::kLeft, Table::kLeft, Table::kLeft, Table::kLeft, Table::kLeft, Table::kRight,
               Table::kRight, Table::kRight});
  for (const auto& drive : drives) {
    const DrvInfo& info = drive.Drive.Info;
    table.AddRow({{Wide(drive.DriveRoot, 4), Colour::kCyan},
                  HandleText(info.hDrive),
                  Wide(info.Description, 132),
                  Wide(info.Firmware, 40),
                  Wide(info.Serial, 40),
                  std::to_string(info.DriveType),
                  std::to_string(info.Column),
                  std::to_string(info.Row)});
  }
  table.Print(console);
}

void Done(const std::string& message, bool json, const Console& console) {
  if (json) {
    JsonWriter(console.Out())
        .BeginObject()
        .Field("result", 0)
        .Field("message", message)
        .EndObject();
  } else {
    console.Out() << message << '\n';
  }
}

void MoveDisc(const RobotSession& session, const std::vector<std::string>& args, bool json,
              const Console& console) {
  const int32_t robot = ParseHandle(args[0], "ROBOT");
  const int32_t from = ParseLocation(args[1]);
  const int32_t to = ParseLocation(args[2]);
  const std::string move = LocationName(from) + " to " + LocationName(to);
  session.Check(session.Controller().MoveDiscBetweenLocations(robot, from, to),
                "cannot move a disc from " + move, robot);
  Done("Moved a disc from " + move + ".", json, console);
}

void PrintLabel(const RobotSession& session, const std::vector<std::string>& args, bool json,
                const Console& console) {
  const int32_t robot = ParseHandle(args[0], "ROBOT");
  std::error_code error;
  if (!std::filesystem::is_regular_file(args[1], error)) {
    throw JobError("no such label file: " + args[1]);
  }
  const std::string file = std::filesystem::absolute(args[1], error).string();
  session.Check(session.Controller().PrintFile(robot, ToUtf16(file).c_str(), 0),
                "cannot print " + file, robot);
  Done("Printed " + file + ".", json, console);
}

// A drive given as a handle or as its letter ("E" or "E:").
int32_t ResolveDrive(const RobotSession& session, int32_t robot, const std::string& text) {
  const std::vector<int32_t> drives = session.Drives(robot);  // the proxy needs this first
  const bool letter = (text.size() == 1 || (text.size() == 2 && text[1] == ':')) &&
                      std::isalpha(static_cast<unsigned char>(text[0]));
  if (!letter) return ParseHandle(text, "DRIVE");
  const char wanted = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  for (int32_t drive : drives) {
    if (DriveLetter(drive) == wanted) return drive;
  }
  throw JobError("robot " + HandleText(robot) + " has no drive " + wanted + ":");
}

void AssignDrive(const RobotSession& session, const std::vector<std::string>& args, bool json,
                 const Console& console) {
  const int32_t robot = ParseHandle(args[0], "ROBOT");
  const int32_t drive = ResolveDrive(session, robot, args[1]);
  const uint32_t column = ParseUnsigned32(args[3], "COL");
  const uint32_t row = ParseUnsigned32(args[4], "ROW");
  session.Check(
      session.Controller().SetRoboticDrive(robot, drive, ToUtf16(args[2]).c_str(), column, row),
      "cannot assign drive " + HandleText(drive), robot);
  Done("Drive " + DriveName(drive) + " assigned to column " + std::to_string(column) + ", row " +
           std::to_string(row) + ".",
       json, console);
}

void RobotOptions(const RobotSession& session, const std::vector<std::string>& args, bool json,
                  const Console& console) {
  const int32_t robot = ParseHandle(args[0], "ROBOT");
  if (args.size() == 2) {
    const int32_t options = static_cast<int32_t>(ParseUnsigned32(args[1], "VALUE"));
    session.Check(session.Controller().SetRobotOptions(robot, options),
                  "cannot set the options of robot " + HandleText(robot), robot);
  }
  int32_t options = 0;
  session.Check(session.Controller().GetRobotOptions(robot, &options),
                "cannot read the options of robot " + HandleText(robot), robot);
  if (json) {
    JsonWriter(console.Out())
        .BeginObject()
        .Field("robot", robot)
        .Field("options", options)
        .EndObject();
  } else {
    console.Out() << "Robot " << HandleText(robot) << " options: " << Hex(options) << '\n';
  }
}

std::vector<RobotAction> Actions() {
  return {
      {"list", "", "robots with model, drives and firmware", 0, 0, ListRobots},
      {"info", "ROBOT", "the robot's information record and media", 1, 1, ShowInfo},
      {"status", "ROBOT", "bins, printer and error state", 1, 1, ShowStatus},
      {"drives", "ROBOT", "the robot's drives with serials and positions", 1, 1, ShowDrives},
      {"move", "ROBOT FROM TO",
       "move a disc between locations (" + LocationChoices() + " or a number)", 3, 3, MoveDisc},
      {"print", "ROBOT FILE", "print a label file on the disc in the printer", 2, 2, PrintLabel},
      {"assign", "ROBOT DRIVE SERIAL COL ROW",
       "assign a drive (handle or letter) to a position, checking its serial", 5, 5, AssignDrive},
      {"options", "ROBOT [VALUE]", "show the robot options, or set them to VALUE first", 1, 2,
       RobotOptions},
  };
}

const char* kPathHelp =
    "Options:\n"
    "  --xp       Windows XP path: Velnor.dll with one Kestrane.exe agent per robot\n"
    "  --direct   direct path: PTRobot.dll in this process\n"
    "             (without either, QLX_WINDOWS_VERSION decides, as on Windows)\n"
    "  --json     machine-readable output\n";

std::string OverviewHelp() {
  std::string help =
      "Usage: qlxhost robot ACTION [ARGS...] [--xp|--direct] [--json]\n"
      "\n"
      "Drives publishing robots through Dravent.dll. ROBOT is a handle as\n"
      "'qlxhost robot list' shows it. Vendor errors are shown with the vendor's text.\n"
      "\n"
      "Actions:\n";
  std::vector<std::pair<std::string, std::string>> lines;
  size_t width = 0;
  for (const auto& action : Actions()) {
    lines.emplace_back(action.name + (action.arguments.empty() ? "" : " " + action.arguments),
                       action.summary);
    width = std::max(width, lines.back().first.size());
  }
  for (const auto& [usage, summary] : lines) {
    help += "  " + usage + std::string(width + 2 - usage.size(), ' ') + summary + "\n";
  }
  return help + "\n" + kPathHelp;
}

std::string ActionHelp(const RobotAction& action) {
  return "Usage: qlxhost robot " + action.name +
         (action.arguments.empty() ? "" : " " + action.arguments) +
         " [--xp|--direct] [--json]\n\n" + "Shows or does: " + action.summary + ".\n\n" + kPathHelp;
}

int RunRobot(const ParsedArgs& args, const Console& console) {
  const auto& positionals = args.Positionals();
  if (positionals.empty()) {
    if (args.HelpRequested()) {
      console.Out() << OverviewHelp();
      return kExitOk;
    }
    throw UsageError(
        "robot needs an action: list, info, status, drives, move, print, assign, options");
  }
  for (const auto& action : Actions()) {
    if (action.name != positionals[0]) continue;
    if (args.HelpRequested()) {
      console.Out() << ActionHelp(action);
      return kExitOk;
    }
    std::vector<std::string> rest(positionals.begin() + 1, positionals.end());
    if (rest.size() < action.minArgs || rest.size() > action.maxArgs) {
      throw UsageError("robot " + action.name + " takes " +
                       (action.arguments.empty() ? std::string("no arguments") : action.arguments));
    }
    const RobotPath path = RobotPathFrom(args);
    RobotSession session(path);
    action.run(session, rest, args.Has("json"), console);
    return kExitOk;
  }
  throw UsageError("no robot action '" + positionals[0] + "'");
}

}  // namespace

Command RobotCommand() {
  Command command;
  command.name = "robot";
  command.summary = "drive robots through Dravent.dll";
  command.help = OverviewHelp();
  command.options = {
      {"xp", 0, false, false}, {"direct", 0, false, false}, {"json", 0, false, false}};
  command.run = RunRobot;
  return command;
}

}  // namespace qlx::host
