#include "host/Planner.h"

#include <filesystem>
#include <system_error>

#include "assigndisc/IPartivo.h"
#include "host/Cli.h"
#include "host/DiscTypes.h"
#include "host/Plugins.h"

namespace qlx::host {

namespace {

namespace fs = std::filesystem;

// The plug-in keeps item paths in fields of 300 bytes, terminator included.
constexpr size_t kMaxItemPath = 299;

// Releases the assignment object (slot 0) however the plan ends.
class PartivoHandle {
 public:
  explicit PartivoHandle(IPartivo* partivo) : partivo_(partivo) {}
  ~PartivoHandle() { partivo_->Release(); }
  PartivoHandle(const PartivoHandle&) = delete;
  PartivoHandle& operator=(const PartivoHandle&) = delete;
  IPartivo* operator->() const { return partivo_; }

 private:
  IPartivo* partivo_;
};

std::string Text(const char* text) { return text == nullptr ? std::string() : text; }

void CopyTree(const IQLXAssignFile& folder, int level, std::vector<PlanEntry>& entries) {
  auto entryOf = [level](const IQLXAssignFile& record, bool isFolder) {
    PlanEntry entry;
    entry.folder = isFolder;
    entry.level = level;
    entry.name = Text(record.GetName());
    entry.targetPath = Text(record.GetTargetPath());
    entry.sourcePath = Text(record.GetSourcePath());
    entry.size = record.GetSize();
    entry.alignedSize = record.GetAlignedSize();
    return entry;
  };
  for (int32_t i = 0; i < folder.GetFileCount(); ++i) {
    if (const IQLXAssignFile* file = folder.GetFile(static_cast<uint32_t>(i))) {
      entries.push_back(entryOf(*file, false));
    }
  }
  for (int32_t i = 0; i < folder.GetDirCount(); ++i) {
    if (const IQLXAssignFile* sub = folder.GetDir(static_cast<uint32_t>(i))) {
      entries.push_back(entryOf(*sub, true));
      CopyTree(*sub, level + 1, entries);
    }
  }
}

PlanDisc CopyDisc(const IQLXAssignFile& disc) {
  PlanDisc copy;
  copy.index = disc.GetDiscIndex();
  copy.size = disc.GetSize();
  copy.alignedSize = disc.GetAlignedSize();
  copy.fileCount = disc.GetTotalFileCount();
  copy.folderCount = disc.GetTotalDirCount();
  CopyTree(disc, 0, copy.entries);
  return copy;
}

std::string AbsoluteSource(const std::string& path, bool mustBeFolder) {
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  if (error || !fs::exists(status)) throw JobError("no such file or folder: " + path);
  if (mustBeFolder && !fs::is_directory(status)) throw JobError("not a folder: " + path);
  std::string absolute = fs::absolute(path, error).lexically_normal().string();
  if (error) absolute = path;
  // lexically_normal keeps a trailing separator of a folder ("a/b/"); the
  // plug-in names folders after the last name, so drop it.
  while (absolute.size() > 1 && absolute.back() == '/') absolute.pop_back();
  if (absolute.size() > kMaxItemPath) {
    throw JobError("path longer than " + std::to_string(kMaxItemPath) + " bytes: " + absolute);
  }
  return absolute;
}

void AddItems(IPartivo& partivo, const PlanRequest& request) {
  for (const auto& path : request.everyDisc) {
    std::string source = AbsoluteSource(path, true);
    partivo.AddItem(source.c_str(), TargetFor(request.targetPrefix, source).c_str(),
                    ITEM_EVERY_DISC);
  }
  for (const auto& path : request.paths) {
    std::string source = AbsoluteSource(path, false);
    std::string target = TargetFor(request.targetPrefix, source);
    if (target.size() > kMaxItemPath) throw JobError("target path too long: " + target);
    partivo.AddItem(source.c_str(), target.c_str(), ITEM_OBJECT_1);
  }
}

}  // namespace

uint64_t PlanResult::TotalSize() const {
  uint64_t total = 0;
  for (const auto& disc : discs) total += disc.size;
  return total;
}

uint64_t PlanResult::TotalAlignedSize() const {
  uint64_t total = 0;
  for (const auto& disc : discs) total += disc.alignedSize;
  return total;
}

int64_t PlanResult::TotalFiles() const {
  int64_t total = 0;
  for (const auto& disc : discs) total += disc.fileCount;
  return total;
}

uint64_t PlanResult::LowerBound() const {
  if (capacity == 0) return 0;
  uint64_t total = TotalAlignedSize();
  return total / capacity + (total % capacity != 0 ? 1 : 0);
}

std::string TargetFor(const std::string& prefix, const std::string& source) {
  std::string name = source;
  while (name.size() > 1 && (name.back() == '/' || name.back() == '\\')) name.pop_back();
  size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  std::string folder = prefix;
  while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder.empty() ? name : folder + "/" + name;
}

PlanResult RunPlan(const PlanRequest& request, const Console& console) {
  auto create = LoadFactory<CreatePartivoFunc>("Partivo.dll", kCreatePartivoName);
  IPartivo* created = create();
  if (created == nullptr) throw JobError("Partivo.dll made no assignment object");
  PartivoHandle partivo(created);
  AddItems(*created, request);
  partivo->SetSortMode(request.sortMode);
  partivo->SetSplitLevel(request.splitLevel);

  PlanResult result;
  bool assigned;
  {
    ProgressLine progress(console, "Walking the input and assigning discs");
    if (request.discType != 0) {
      result.capacity = DiscCapacity(request.discType, ProgramFolder());
      assigned = partivo->AssignDiscByDisc(request.discType);
    } else {
      result.capacity = request.capacity;
      assigned = partivo->AssignDiscBySize(request.capacity);
    }
  }
  if (!assigned) {
    throw JobError("the files do not fit on discs of " + HumanSize(result.capacity) +
                   " (a file larger than a disc, or folders for every disc that fill it); "
                   "details in " +
                   ProgramFolder() + "Log");
  }
  const int32_t count = partivo->GetDiscCount();
  for (int32_t i = 0; i < count; ++i) {
    if (const IQLXAssignFile* disc = partivo->GetDisc(static_cast<uint32_t>(i))) {
      result.discs.push_back(CopyDisc(*disc));
    }
  }
  return result;
}

}  // namespace qlx::host
