// qlxhost publish: the main job. Plans the discs through Partivo.dll, then
// runs each disc through a robot with Dravent.dll: blank from the input bin
// into a drive, burn (the service's business, simulated here), drive to
// printer, label "Disc N of M", printer to the output bin.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/Commands.h"
#include "host/Json.h"
#include "host/Planner.h"
#include "host/Robots.h"
#include "host/Text.h"
#include "platform/console.h"
#include "sim/robot/SimRobot.h"

namespace qlx::host {

namespace {

using Clock = std::chrono::steady_clock;

struct PublishedDisc {
  size_t number = 0;  // "Disc <number> of <count>"
  int32_t robot = 0;
  int32_t drive = 0;
  const PlanDisc* disc = nullptr;
  std::chrono::milliseconds time{0};
};

// Robot and drive that publish one disc: discs go round the robots, and
// round each robot's drives.
struct Station {
  int32_t robot;
  std::vector<int32_t> drives;
};

std::chrono::milliseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

std::chrono::milliseconds BurnTime(const ParsedArgs& args) {
  if (!args.Has("burn-seconds")) return std::chrono::milliseconds(200);
  const std::string text = args.Value("burn-seconds");
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(seconds >= 0) || seconds > 3600) {
    throw UsageError("--burn-seconds: '" + text + "' is not a number of seconds (0 to 3600)");
  }
  return std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000.0));
}

std::vector<Station> Stations(const RobotSession& session, const ParsedArgs& args) {
  std::vector<int32_t> robots;
  for (const auto& text : args.Values("robot")) robots.push_back(ParseHandle(text, "--robot"));
  if (robots.empty()) robots = session.Robots();
  if (robots.empty()) {
    throw JobError(session.OnXpPath()
                       ? "on the Windows XP path the proxy does not enumerate robots; give them "
                         "with --robot (handles from 'qlxhost robot list')"
                       : "no robot found");
  }
  std::vector<Station> stations;
  for (int32_t robot : robots) {
    std::vector<int32_t> drives = session.Drives(robot);
    if (!drives.empty()) stations.push_back({robot, drives});
  }
  if (stations.empty()) throw JobError("none of the robots has a drive");
  return stations;
}

// The label template the robot prints with the disc's merge field.
std::string LabelTemplate(const ParsedArgs& args) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (args.Has("label")) {
    const std::string label = args.Value("label");
    if (!fs::is_regular_file(label, error)) throw JobError("no such label file: " + label);
    return fs::absolute(label, error).string();
  }
  fs::path path = fs::temp_directory_path(error) / "qlxhost-label.txt";
  std::ofstream(path) << "<<DISC>>\n";
  return path.string();
}

class Publisher {
 public:
  Publisher(const RobotSession& session, const Console& console, std::string label,
            std::chrono::milliseconds burnTime)
      : session_(session), console_(console), label_(std::move(label)), burnTime_(burnTime) {}

  PublishedDisc Publish(const PlanDisc& disc, size_t number, size_t count, const Station& station,
                        int32_t drive) {
    const auto start = Clock::now();
    const int32_t robot = station.robot;
    IDravent& controller = session_.Controller();
    const std::string name = "Disc " + std::to_string(number) + " of " + std::to_string(count);
    const std::string where = DriveName(drive);
    Step(name, "load", controller.LoadDrive(robot, drive, sim::kLocationInputBin, 0),
         "cannot load a blank disc from the input bin into drive " + where, robot);
    Step(name, "burn (simulated)", 0, "", robot);
    std::this_thread::sleep_for(burnTime_);
    Step(name, "print", controller.LoadPrinterFromDrive(robot, drive),
         "cannot move the disc from drive " + where + " to the printer", robot);
    Step(name, "", controller.AddMergeFields(robot, ToUtf16(name).c_str()),
         "cannot set the label text", robot);
    Step(name, "", controller.PrintFileWithMerge2(robot, ToUtf16(label_).c_str(), 1),
         "cannot print the label", robot);
    Step(name, "output", controller.UnLoadPrinter(robot, sim::kLocationOutputBin),
         "cannot move the disc from the printer to the output bin", robot);
    return {number, robot, drive, &disc, Since(start)};
  }

 private:
  // Checks one robot call of disc `name`; `stage` names the stage for the
  // progress line when the call begins a new one.
  void Step(const std::string& name, const char* stage, uint32_t result, const std::string& what,
            int32_t robot) {
    session_.Check(result, name + ": " + what, robot);
    if (*stage != '\0' && console_.OutIsTerminal()) {
      console_.Out() << ' ' << console_.Paint(stage, Colour::kGreen) << std::flush;
    }
  }

  const RobotSession& session_;
  const Console& console_;
  std::string label_;
  std::chrono::milliseconds burnTime_;
};

void PrintSummaryJson(const PlanResult& plan, const std::vector<PublishedDisc>& published,
                      std::chrono::milliseconds total, const Console& console) {
  JsonWriter json(console.Out());
  json.BeginObject()
      .Field("discs", static_cast<uint64_t>(published.size()))
      .Field("bytes", plan.TotalSize())
      .Field("files", plan.TotalFiles())
      .Field("milliseconds", static_cast<int64_t>(total.count()))
      .Key("published")
      .BeginArray();
  for (const auto& item : published) {
    json.BeginObject()
        .Field("number", static_cast<uint64_t>(item.number))
        .Field("plan_index", item.disc->index)
        .Field("robot", item.robot)
        .Field("drive", DriveName(item.drive))
        .Field("files", item.disc->fileCount)
        .Field("size", item.disc->size)
        .Field("milliseconds", static_cast<int64_t>(item.time.count()))
        .EndObject();
  }
  json.EndArray().EndObject();
}

int RunPublish(const ParsedArgs& args, const Console& console) {
  const auto start = Clock::now();
  const PlanRequest request = PlanRequestFrom(args);
  const RobotPath path = RobotPathFrom(args);
  const std::chrono::milliseconds burnTime = BurnTime(args);
  const bool json = args.Has("json");
  const PlanResult plan = RunPlan(request, console);
  WarnLeftOut(plan, console);
  // A plan can end in discs that received nothing (a split level starting a
  // disc for an empty folder); burning those would waste blanks.
  std::vector<const PlanDisc*> discs;
  for (const auto& disc : plan.discs) {
    if (disc.fileCount > 0 || disc.alignedSize > 0) discs.push_back(&disc);
  }
  const size_t count = discs.size();
  if (!json) {
    console.Out() << "Planned " << count << (count == 1 ? " disc" : " discs") << " for "
                  << HumanSize(plan.TotalSize()) << " in " << plan.TotalFiles() << " files";
    const size_t empty = plan.discs.size() - count;
    if (empty != 0)
      console.Out() << " (" << empty << " empty " << (empty == 1 ? "disc" : "discs")
                    << " of the plan skipped)";
    console.Out() << ".\n";
  }
  RobotSession session(path);
  const std::vector<Station> stations = Stations(session, args);
  if (!json) {
    console.Out() << "Publishing on " << stations.size()
                  << (stations.size() == 1 ? " robot" : " robots")
                  << (session.OnXpPath() ? " (Windows XP path: one agent per robot)" : "") << ".\n";
  }
  Publisher publisher(session, console, LabelTemplate(args), burnTime);
  platform::CatchInterrupt();
  std::vector<PublishedDisc> published;
  for (size_t i = 0; i < count; ++i) {
    if (platform::InterruptRequested()) {
      throw JobError("interrupted after " + std::to_string(i) + " of " + std::to_string(count) +
                     " discs");
    }
    const Station& station = stations[i % stations.size()];
    const int32_t drive = station.drives[(i / stations.size()) % station.drives.size()];
    const PlanDisc& disc = *discs[i];
    if (!json && console.OutIsTerminal()) {
      console.Out() << console.Paint(
                           "Disc " + std::to_string(i + 1) + " of " + std::to_string(count),
                           Colour::kBold)
                    << "  robot " << HandleText(station.robot) << "  drive " << DriveName(drive)
                    << " " << std::flush;
    }
    published.push_back(publisher.Publish(disc, i + 1, count, station, drive));
    if (json) continue;
    if (console.OutIsTerminal()) {
      console.Out() << "  " << disc.fileCount << " files, " << HumanSize(disc.size) << "  "
                    << console.Paint(HumanDuration(published.back().time), Colour::kDim) << '\n';
    } else {
      console.Out() << "Disc " << i + 1 << " of " << count << ": robot "
                    << HandleText(station.robot) << ", drive " << DriveName(drive) << ", "
                    << disc.fileCount << " files, " << HumanSize(disc.size)
                    << ", burned (simulated), labelled, in the output bin\n";
    }
  }
  const auto total = Since(start);
  if (json) {
    PrintSummaryJson(plan, published, total, console);
  } else {
    console.Out() << console.Paint("Published " + std::to_string(count) +
                                       (count == 1 ? " disc, " : " discs, ") +
                                       HumanSize(plan.TotalSize()) + " in " +
                                       std::to_string(plan.TotalFiles()) + " files, in " +
                                       HumanDuration(total) + ".",
                                   Colour::kBold)
                  << '\n';
  }
  return kExitOk;
}

}  // namespace

Command PublishCommand() {
  Command command;
  command.name = "publish";
  command.summary = "plan discs and publish them on the robots";
  command.help =
      "Usage: qlxhost publish PATH... --disc TYPE [options]\n"
      "\n"
      "The main job: plans the discs as 'qlxhost plan' does, then for each disc\n"
      "loads a blank from the input bin into a drive, burns it (simulated: a short\n"
      "wait), moves it to the printer, prints the label \"Disc N of M\" and puts it\n"
      "in the output bin. Discs go round the robots and their drives.\n"
      "\n"
      "Options:\n"
      "  --disc TYPE, --size BYTES, --sort ORDER, --split N, --every-disc PATH,\n"
      "  --target PREFIX      as for 'qlxhost plan'\n"
      "  --robot HANDLE       publish on this robot (repeatable; default: all found;\n"
      "                       needed on the Windows XP path)\n"
      "  --label FILE         label template printed with the disc's name merged in\n"
      "  --burn-seconds S     simulated burn time per disc (default 0.2)\n"
      "  --xp, --direct       robot library path, as for 'qlxhost robot'\n"
      "  --json               print the summary as JSON\n";
  command.options = PlanOptions();
  command.options.push_back({"robot", 0, true, true});
  command.options.push_back({"label", 0, true, false});
  command.options.push_back({"burn-seconds", 0, true, false});
  command.options.push_back({"xp", 0, false, false});
  command.options.push_back({"direct", 0, false, false});
  command.run = RunPublish;
  return command;
}

}  // namespace qlx::host
