// qlxhost plan: a disc assignment through Partivo.dll, shown per disc.
#include <iostream>

#include "host/Commands.h"
#include "host/DiscTypes.h"
#include "host/Json.h"
#include "host/Planner.h"

namespace qlx::host {

namespace {

constexpr int kBarWidth = 24;

struct SortChoice {
  const char* name;
  int32_t mode;
};
constexpr SortChoice kSortChoices[] = {{"size", 0}, {"name", 1}, {"time", 2}, {"none", 3}};

int32_t SortModeByName(const std::string& name) {
  for (const auto& choice : kSortChoices) {
    if (name == choice.name) return choice.mode;
  }
  throw UsageError("--sort: '" + name + "' is not one of name, size, time, none");
}

std::string SortName(int32_t mode) {
  for (const auto& choice : kSortChoices) {
    if (mode == choice.mode) return choice.name;
  }
  return "none";
}

void PrintTree(const PlanDisc& disc, const Console& console) {
  for (const auto& entry : disc.entries) {
    std::string indent(static_cast<size_t>(entry.level + 1) * 2, ' ');
    if (entry.folder) {
      console.Out() << indent << console.Paint(entry.name + "/", Colour::kCyan) << "  "
                    << console.Paint(HumanSize(entry.size), Colour::kDim) << '\n';
    } else {
      console.Out() << indent << entry.name << "  "
                    << console.Paint(HumanSize(entry.size), Colour::kDim) << '\n';
    }
  }
}

void PrintHuman(const PlanRequest& request, const PlanResult& result, bool verbose,
                const Console& console) {
  const std::string discLabel =
      request.discType != 0 ? DiscTypeName(request.discType) : std::string("custom");
  console.Out() << "Plan: " << request.paths.size()
                << (request.paths.size() == 1 ? " item" : " items") << " on " << discLabel
                << " discs of " << HumanSize(result.capacity) << ", sorted by "
                << SortName(request.sortMode) << ", split level " << request.splitLevel << "\n\n";
  Table table({"Disc", "Files", "Folders", "Size", "Used", "", "Fill"},
              {Table::kRight, Table::kRight, Table::kRight, Table::kRight, Table::kRight,
               Table::kLeft, Table::kRight});
  for (const auto& disc : result.discs) {
    Colour fill = disc.alignedSize == 0 ? Colour::kYellow : Colour::kGreen;
    table.AddRow({std::to_string(disc.index + 1),
                  std::to_string(disc.fileCount),
                  std::to_string(disc.folderCount),
                  HumanSize(disc.size),
                  HumanSize(disc.alignedSize),
                  {"[" + UsageBar(disc.alignedSize, result.capacity, kBarWidth) + "]", fill},
                  Percent(disc.alignedSize, result.capacity)});
  }
  table.Print(console);
  if (verbose) {
    for (const auto& disc : result.discs) {
      console.Out() << '\n'
                    << console.Paint("Disc " + std::to_string(disc.index + 1) + " of " +
                                         std::to_string(result.discs.size()),
                                     Colour::kBold)
                    << '\n';
      PrintTree(disc, console);
    }
  }
  const uint64_t bound = result.LowerBound();
  console.Out() << "\nTotal " << HumanSize(result.TotalSize()) << " in " << result.TotalFiles()
                << " files (" << HumanSize(result.TotalAlignedSize()) << " in sectors) on "
                << result.discs.size() << (result.discs.size() == 1 ? " disc" : " discs")
                << "; lower bound " << bound << (bound == 1 ? " disc" : " discs");
  if (result.discs.size() > bound && bound != 0) {
    const uint64_t extra = result.discs.size() - bound;
    console.Out() << " (order and split level cost " << extra << " more)";
  }
  console.Out() << '\n';
}

void PrintJson(const PlanRequest& request, const PlanResult& result, const Console& console) {
  JsonWriter json(console.Out());
  json.BeginObject();
  json.Key("disc_type");
  if (request.discType != 0) {
    json.String(DiscTypeName(request.discType));
  } else {
    json.Null();
  }
  json.Field("capacity", result.capacity)
      .Field("sort", SortName(request.sortMode))
      .Field("split_level", request.splitLevel)
      .Field("disc_count", static_cast<uint64_t>(result.discs.size()))
      .Field("lower_bound", result.LowerBound())
      .Field("total_size", result.TotalSize())
      .Field("total_aligned_size", result.TotalAlignedSize())
      .Field("total_files", result.TotalFiles());
  json.Key("left_out").BeginArray();
  for (const auto& path : result.leftOut) json.String(path);
  json.EndArray();
  json.Key("discs").BeginArray();
  for (const auto& disc : result.discs) {
    json.BeginObject()
        .Field("index", disc.index)
        .Field("files", disc.fileCount)
        .Field("folders", disc.folderCount)
        .Field("size", disc.size)
        .Field("aligned_size", disc.alignedSize);
    json.Key("entries").BeginArray();
    for (const auto& entry : disc.entries) {
      json.BeginObject()
          .Field("type", entry.folder ? "folder" : "file")
          .Field("name", entry.name)
          .Field("target", entry.targetPath)
          .Field("source", entry.sourcePath)
          .Field("size", entry.size)
          .Field("aligned_size", entry.alignedSize)
          .EndObject();
    }
    json.EndArray().EndObject();
  }
  json.EndArray().EndObject();
}

}  // namespace

PlanRequest PlanRequestFrom(const ParsedArgs& args) {
  PlanRequest request;
  request.paths = args.Positionals();
  if (request.paths.empty()) throw UsageError("plan needs at least one PATH");
  if (args.Has("disc") && args.Has("size")) throw UsageError("give --disc or --size, not both");
  if (args.Has("size")) {
    request.capacity = ParseByteCount(args.Value("size"), "--size");
  } else {
    const std::string name = args.Value("disc", "DVD");
    request.discType = DiscTypeByName(name);
    if (request.discType == 0) {
      throw UsageError("--disc: '" + name + "' is not one of " + DiscTypeChoices());
    }
  }
  request.sortMode = SortModeByName(args.Value("sort", "name"));
  if (args.Has("split")) request.splitLevel = ParseSigned32(args.Value("split"), "--split");
  request.everyDisc = args.Values("every-disc");
  request.targetPrefix = args.Value("target");
  return request;
}

std::vector<OptionRule> PlanOptions() {
  return {{"disc", 0, true, false},  {"size", 0, true, false},      {"sort", 0, true, false},
          {"split", 0, true, false}, {"every-disc", 0, true, true}, {"target", 0, true, false},
          {"json", 0, false, false}, {"verbose", 'v', false, false}};
}

Command PlanCommand() {
  Command command;
  command.name = "plan";
  command.summary = "place files and folders on discs and show the result";
  command.help =
      "Usage: qlxhost plan PATH... [options]\n"
      "\n"
      "Runs a disc assignment through Partivo.dll and shows, per disc, its files,\n"
      "folders and used space, then the total against the lower bound (the\n"
      "sector-aligned total over one disc's capacity, rounded up).\n"
      "\n"
      "Options:\n"
      "  --disc TYPE          disc type: " +
      DiscTypeChoices() +
      " (default DVD);\n"
      "                       capacities follow assign_disc.ini next to qlxhost\n"
      "  --size BYTES         capacity per disc instead of a type (4700000000, 700MiB)\n"
      "  --sort ORDER         name (default), size, time or none\n"
      "  --split N            split level: >0 starts a new disc for each folder at\n"
      "                       depth N (default 1); 0 or less keeps folders whole\n"
      "  --every-disc PATH    folder copied onto every disc (repeatable)\n"
      "  --target PREFIX      folder inside the disc image for the items\n"
      "  -v, --verbose        print each disc's tree\n"
      "  --json               print the whole result as JSON\n";
  command.options = PlanOptions();
  command.run = [](const ParsedArgs& args, const Console& console) {
    PlanRequest request = PlanRequestFrom(args);
    PlanResult result = RunPlan(request, console);
    WarnLeftOut(result, console);
    if (args.Has("json")) {
      PrintJson(request, result, console);
    } else {
      PrintHuman(request, result, args.Has("verbose"), console);
    }
    return static_cast<int>(kExitOk);
  };
  return command;
}

}  // namespace qlx::host
