// Placement of the input tree on discs: sizes, order, next fit over the
// newest disc only, and the every-disc copies.
#include <Poco/String.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "assigndisc/PartivoImpl.h"
#include "assigndisc/PathRules.h"

namespace {

using qlx::platform::FileStatus;
using Records = std::vector<CQLXAssignFileImpl*>;

// Name order: ASCII case ignored, bytes compared as signed chars.
void SortByName(Records& records) {
  std::vector<std::pair<std::string_view, CQLXAssignFileImpl*>> keyed;
  keyed.reserve(records.size());
  for (CQLXAssignFileImpl* record : records) keyed.emplace_back(record->name, record);
  std::sort(keyed.begin(), keyed.end(), [](const auto& left, const auto& right) {
    return Poco::icompare(left.first, right.first) < 0;
  });
  for (size_t i = 0; i < keyed.size(); ++i) records[i] = keyed[i].second;
}

void SortRecords(Records& records, int32_t sortMode) {
  switch (sortMode) {
    case SORT_BY_SIZE:
      std::sort(records.begin(), records.end(), [](const auto* left, const auto* right) {
        return left->alignedSize < right->alignedSize;
      });
      break;
    case SORT_BY_NAME:
      SortByName(records);
      break;
    case SORT_BY_TIME:
      std::sort(records.begin(), records.end(), [](const auto* left, const auto* right) {
        return left->modified < right->modified;
      });
      break;
    default:
      break;  // insertion order
  }
}

bool DiscHoldsFile(const CQLXAssignFileImpl* disc) { return disc->totalFileCount > 0; }

// Strictly below the capacity, without overflowing the sum.
bool StaysBelow(uint64_t used, uint64_t added, uint64_t capacity) {
  return used < capacity && added < capacity - used;
}

}  // namespace

void CPartivoImpl::SumSizes(CQLXAssignFileImpl* record) {
  record->size = 0;
  record->alignedSize = 0;
  for (const CQLXAssignFileImpl* file : record->Files()) {
    record->size += file->size;
    record->alignedSize += file->alignedSize;
  }
  for (CQLXAssignFileImpl* folder : record->Folders()) {
    SumSizes(folder);
    record->size += folder->size;
    record->alignedSize += folder->alignedSize;
  }
}

void CPartivoImpl::SortTree(CQLXAssignFileImpl* record) {
  if (record->Files().size() > 1) SortRecords(record->MutableFiles(), sortMode_);
  if (record->Folders().size() > 1) SortRecords(record->MutableFolders(), sortMode_);
  for (CQLXAssignFileImpl* folder : record->Folders()) SortTree(folder);
}

CQLXAssignFileImpl* CPartivoImpl::NewDisc() {
  CQLXAssignFileImpl* disc = NewRecord(ASSIGN_TYPE_DISC);
  disc->discIndex = static_cast<int32_t>(discs_.size());
  discs_.push_back(disc);
  return disc;
}

void CPartivoImpl::Distribute(CQLXAssignFileImpl* folder) {
  // Copies: placing records may attach them to lists of this very tree.
  const Records files = folder->Files();
  const Records subfolders = folder->Folders();
  if (discs_.empty()) NewDisc();
  for (CQLXAssignFileImpl* file : files) PlaceFile(file);
  for (CQLXAssignFileImpl* subfolder : subfolders) {
    if (splitLevel_ <= 0) {
      CQLXAssignFileImpl* newest = discs_.back();
      if (StaysBelow(newest->alignedSize, subfolder->alignedSize, capacity_)) {
        CQLXAssignFileImpl* destination = DestinationOnDisc(newest, subfolder->parentPath);
        destination->discIndex = newest->discIndex;
        AttachFolder(destination, subfolder);
      } else {
        Distribute(subfolder);
      }
      continue;
    }
    // A folder at the split level begins a disc of its own, opened only once
    // something is placed on it, so that no disc stays empty.
    if (subfolder->depth == splitLevel_ && DiscHoldsFile(discs_.back())) newDiscPending_ = true;
    Distribute(subfolder);
  }
}

// Next fit: only the newest disc is offered the file. A disc without files
// takes any file, as every file already fits the capacity.
void CPartivoImpl::PlaceFile(CQLXAssignFileImpl* file) {
  CQLXAssignFileImpl* disc = discs_.back();
  if (DiscHoldsFile(disc) &&
      (newDiscPending_ || !StaysBelow(disc->alignedSize, file->alignedSize, capacity_))) {
    disc = NewDisc();
  }
  newDiscPending_ = false;
  AttachFile(DestinationOnDisc(disc, file->parentPath), file);
  file->discIndex = disc->discIndex;
}

// Files of one folder come one after another, so the last answer is
// remembered; placing a whole folder may change what a path finds.
CQLXAssignFileImpl* CPartivoImpl::DestinationOnDisc(CQLXAssignFileImpl* disc,
                                                    const char* parentPath) {
  if (disc == lastDisc_ &&
      (parentPath == lastParentPath_ || std::strcmp(parentPath, lastParentPath_) == 0)) {
    return lastDestination_;
  }
  lastDestination_ = FindOrCreatePath(disc, parentPath);
  lastDisc_ = disc;
  lastParentPath_ = parentPath;
  return lastDestination_;
}

void CPartivoImpl::AttachFile(CQLXAssignFileImpl* destination, CQLXAssignFileImpl* file) {
  file->parent = destination;
  for (CQLXAssignFileImpl* above = destination; above; above = above->parent) {
    above->size += file->size;
    above->alignedSize += file->alignedSize;
    ++above->totalFileCount;
  }
  destination->AppendFile(file);
}

void CPartivoImpl::AttachFolder(CQLXAssignFileImpl* destination, CQLXAssignFileImpl* folder) {
  folder->parent = destination;
  folder->discIndex = destination->discIndex;
  for (CQLXAssignFileImpl* above = destination; above; above = above->parent) {
    above->size += folder->size;
    above->alignedSize += folder->alignedSize;
    above->totalFileCount += folder->totalFileCount;
    above->totalDirCount += folder->totalDirCount + 1;
  }
  destination->AppendFolder(folder);
  lastDisc_ = nullptr;
}

// Each disc gets records of its own for the item. Their space was reserved
// before placement, so they are measured against the full capacity.
void CPartivoImpl::CopyToDisc(const AssignItem& item, CQLXAssignFileImpl* disc) {
  const std::string sourceName = LastNameOf(item.sourcePath);
  const TargetSplit split = SplitItemTarget(item.targetPath, sourceName);
  CQLXAssignFileImpl* destination = FindOrCreatePath(disc, split.folderPart);
  const Totals before{destination->size, destination->alignedSize, destination->totalFileCount,
                      destination->totalDirCount};

  const FileStatus status = RequireStatus(item.sourcePath);
  walkTime_ = UtcNowSeconds();
  if (status.isDirectory) {
    FolderChain chain;
    InsertDir(item.sourcePath, destination, true, split.name, sourceName, status, startCapacity_,
              chain);
  } else {
    InsertFile(destination, item.sourcePath, split.name, sourceName, status, startCapacity_);
  }

  for (CQLXAssignFileImpl* above = destination->parent; above; above = above->parent) {
    above->size += destination->size - before.size;
    above->alignedSize += destination->alignedSize - before.alignedSize;
    above->totalFileCount += destination->totalFileCount - before.fileCount;
    above->totalDirCount += destination->totalDirCount - before.dirCount;
  }
  lastDisc_ = nullptr;
}

void CPartivoImpl::MarkDiscIndex(CQLXAssignFileImpl* record, int32_t discIndex) {
  record->discIndex = discIndex;
  for (CQLXAssignFileImpl* file : record->Files()) file->discIndex = discIndex;
  for (CQLXAssignFileImpl* folder : record->Folders()) MarkDiscIndex(folder, discIndex);
}
