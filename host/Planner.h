#pragma once
// A disc assignment run through Partivo.dll, with the result copied out of
// the plug-in's records before the assignment object is released.
#include <cstdint>
#include <string>
#include <vector>

#include "host/Cli.h"
#include "host/Format.h"

namespace qlx::host {

struct PlanRequest {
  std::vector<std::string> paths;      // files and folders to place
  std::vector<std::string> everyDisc;  // folders copied onto every disc
  std::string targetPrefix;            // folder inside the disc image
  int32_t discType = 0;                // 1..7, or 0 with `capacity` set
  uint64_t capacity = 0;               // bytes per disc when discType is 0
  int32_t sortMode = 1;                // the plug-in's sort modes
  int32_t splitLevel = 1;
};

struct PlanEntry {
  bool folder = false;
  int level = 0;  // nesting on the disc, 0 at the disc's top
  std::string name;
  std::string targetPath;
  std::string sourcePath;
  uint64_t size = 0;
  uint64_t alignedSize = 0;
};

struct PlanDisc {
  int32_t index = 0;
  uint64_t size = 0;
  uint64_t alignedSize = 0;
  int32_t fileCount = 0;
  int32_t folderCount = 0;
  std::vector<PlanEntry> entries;  // depth first: a folder, its files, its folders
};

struct PlanResult {
  uint64_t capacity = 0;  // bytes per disc the assignment used
  std::vector<PlanDisc> discs;
  // Files inside the folders given that are larger than a disc: the plug-in
  // leaves them out (and logs them), the rest of the folder goes ahead.
  std::vector<std::string> leftOut;

  uint64_t TotalSize() const;
  uint64_t TotalAlignedSize() const;
  int64_t TotalFiles() const;
  // The fewest discs the aligned total could ever need: total over capacity,
  // rounded up (0 when the capacity is 0).
  uint64_t LowerBound() const;
};

// Target path for a source: the prefix and the source's last name,
// "photos" for "/data/photos/" with no prefix, "backup/photos" with one.
std::string TargetFor(const std::string& prefix, const std::string& source);

// The request described by plan's options (shared with publish).
PlanRequest PlanRequestFrom(const ParsedArgs& args);
std::vector<OptionRule> PlanOptions();

// Checks the request's paths, runs the assignment and copies the result.
// Throws JobError when a path is missing or the plug-in refuses the job.
PlanResult RunPlan(const PlanRequest& request, const Console& console);

// Tells on standard error which files the plan leaves out, if any.
void WarnLeftOut(const PlanResult& result, const Console& console);

}  // namespace qlx::host
