#include "host/Planner.h"

#include <atomic>
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

uint64_t Aligned(uint64_t size) { return (size + SECTOR_SIZE - 1) / SECTOR_SIZE * SECTOR_SIZE; }

// A walk over the input before the plug-in's own: shows progress on large
// trees and finds the files the plug-in will leave out for their size.
class InputSurvey {
 public:
  std::string Describe() const {
    return "Scanning the input: " + std::to_string(files_.load()) + " files, " +
           HumanSize(bytes_.load());
  }

  // Sector-aligned size of all files below `folder`.
  uint64_t Measure(const std::string& folder) {
    uint64_t total = 0;
    Walk(folder, [&](const fs::path&, uint64_t size) { total += Aligned(size); });
    return total;
  }

  // Files below `source` whose aligned size exceeds `capacity`.
  std::vector<std::string> TooLarge(const std::string& source, uint64_t capacity) {
    std::vector<std::string> found;
    Walk(source, [&](const fs::path& path, uint64_t size) {
      if (Aligned(size) > capacity) found.push_back(path.string());
    });
    return found;
  }

 private:
  template <typename OnFile>
  void Walk(const std::string& source, OnFile onFile) {
    std::error_code error;
    if (!fs::is_directory(source, error)) {
      Count(fs::path(source), onFile);
      return;
    }
    fs::recursive_directory_iterator it(source, fs::directory_options::skip_permission_denied,
                                        error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
      std::error_code typeError;
      if (!it->is_directory(typeError)) Count(it->path(), onFile);
    }
  }

  template <typename OnFile>
  void Count(const fs::path& path, OnFile& onFile) {
    std::error_code error;
    const uint64_t size = fs::file_size(path, error);
    if (error) return;
    files_++;
    bytes_ += size;
    onFile(path, size);
  }

  std::atomic<uint64_t> files_{0};
  std::atomic<uint64_t> bytes_{0};
};

std::vector<std::string> SurveyInput(const PlanRequest& request, uint64_t capacity,
                                     const Console& console) {
  InputSurvey survey;
  ProgressLine progress(console, [&survey] { return survey.Describe(); });
  uint64_t reserved = 0;
  for (const auto& folder : request.everyDisc) reserved += survey.Measure(folder);
  const uint64_t usable = reserved > capacity ? 0 : capacity - reserved;
  std::vector<std::string> tooLarge;
  for (const auto& path : request.paths) {
    for (auto& file : survey.TooLarge(path, usable)) tooLarge.push_back(std::move(file));
  }
  return tooLarge;
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

void WarnLeftOut(const PlanResult& result, const Console& console) {
  if (result.leftOut.empty()) return;
  constexpr size_t kShown = 5;
  console.Err() << console.PaintErr("qlxhost: warning: ", Colour::kYellow) << result.leftOut.size()
                << (result.leftOut.size() == 1 ? " file is" : " files are")
                << " larger than one disc and left out:\n";
  for (size_t i = 0; i < result.leftOut.size() && i < kShown; ++i) {
    console.Err() << "  " << result.leftOut[i] << '\n';
  }
  if (result.leftOut.size() > kShown) {
    console.Err() << "  and " << result.leftOut.size() - kShown << " more\n";
  }
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
  result.capacity =
      request.discType != 0 ? DiscCapacity(request.discType, ProgramFolder()) : request.capacity;
  result.leftOut = SurveyInput(request, result.capacity, console);
  bool assigned;
  {
    ProgressLine progress(console, "Assigning the files to discs");
    assigned = request.discType != 0 ? partivo->AssignDiscByDisc(request.discType)
                                     : partivo->AssignDiscBySize(request.capacity);
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
