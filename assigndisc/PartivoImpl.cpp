#include "assigndisc/PartivoImpl.h"

#include <Poco/Exception.h>
#include <Poco/Path.h>
#include <Poco/StringTokenizer.h>
#include <Poco/Timezone.h>

#include <algorithm>
#include <exception>

#include "assigndisc/PathRules.h"
#include "logging/Logger.h"

using qlx::platform::FileStatus;
using qlx::platform::FileStatusResult;
using qlx::platform::FolderListing;

namespace {

// Local wall-clock time written as if it were UTC.
int64_t NowLocalSeconds() { return UtcNowSeconds() + Poco::Timezone::tzd(); }

int64_t ToSeconds(int64_t microseconds) { return microseconds / 1000000; }

// The folder path with one separator at its end, to append entry names to.
std::string FolderPrefix(const std::string& folder) {
  const char separator = Poco::Path::separator();
  if (!folder.empty() && (folder.back() == '/' || folder.back() == separator)) return folder;
  return folder + separator;
}

template <class Chain>
bool IsOnChain(const Chain& chain, const FileStatus& status) {
  return std::any_of(chain.begin(), chain.end(), [&](const auto& id) {
    return id.device == status.device && id.fileId == status.fileId;
  });
}

}  // namespace

CPartivoImpl::CPartivoImpl() { StartAfresh(0); }

void CPartivoImpl::Release() { delete this; }

void CPartivoImpl::AddItem(const char* source, const char* target, int32_t flags) {
  try {
    items_.push_back(AssignItem{flags, target ? target : "", source ? source : ""});
  } catch (...) {
    itemLost_ = true;  // out of memory: no later assignment may pass without it
  }
}

void CPartivoImpl::SetSortMode(int32_t mode) { sortMode_ = mode; }

void CPartivoImpl::SetSpareOption(int32_t option) { spareOption_ = option; }

void CPartivoImpl::SetSplitLevel(int32_t level) { splitLevel_ = level; }

bool CPartivoImpl::AssignDiscByDisc(int32_t discType) {
  discType_ = discType;
  try {
    const uint64_t capacity = GetDiscMaxSize(discType);
    if (capacity == 0) {
      StartAfresh(0);
      QLOG(QLXSdk::LOG_ERROR) << "get disc max size fail. disc: " << discType_;
      return false;
    }
    return GuardedAssign(capacity);
  } catch (...) {
    return false;  // only memory exhaustion gets here; there is nothing to log with
  }
}

bool CPartivoImpl::AssignDiscBySize(uint64_t capacity) {
  try {
    return GuardedAssign(capacity);
  } catch (...) {
    return false;
  }
}

int32_t CPartivoImpl::GetDiscCount() { return static_cast<int32_t>(discs_.size()); }

IQLXAssignFile* CPartivoImpl::GetDisc(uint32_t index) {
  return index < discs_.size() ? discs_[index] : nullptr;
}

// The dependency's exceptions end here: the caller sees false and one record.
bool CPartivoImpl::GuardedAssign(uint64_t capacity) {
  StartAfresh(capacity);
  try {
    return Assign();
  } catch (const Poco::Exception& e) {
    QLOG(QLXSdk::LOG_ERROR) << "Exception; " << e.displayText();
  } catch (const std::exception& e) {
    QLOG(QLXSdk::LOG_ERROR) << "Exception; " << e.what();
  }
  return false;
}

// Every assignment works on a new input tree and a new disc list; records of
// an earlier result stay alive (and unchanged) until Release.
void CPartivoImpl::StartAfresh(uint64_t capacity) {
  root_ = NewRecord(ASSIGN_TYPE_ROOT);
  root_->name = "All Files";
  discs_.clear();
  capacity_ = capacity;
  startCapacity_ = capacity;
  newDiscPending_ = false;
  lastDisc_ = nullptr;
}

bool CPartivoImpl::Assign() {
  if (itemLost_) {
    QLOG(QLXSdk::LOG_ERROR) << "an item could not be stored when it was added";
    return false;
  }
  uint64_t reserved = 0;
  for (const AssignItem& item : items_) {
    if (!(item.flags & ITEM_EVERY_DISC)) continue;
    FolderChain chain;
    reserved += MeasureFolder(item.sourcePath, chain);
  }
  if (reserved > capacity_) return false;
  capacity_ -= reserved;

  for (const AssignItem& item : items_) {
    if (!InsertItem(item)) return false;
  }

  SumSizes(root_);
  SortTree(root_);
  Distribute(root_);
  for (const AssignItem& item : items_) {
    if (!(item.flags & ITEM_EVERY_DISC)) continue;
    for (CQLXAssignFileImpl* disc : discs_) CopyToDisc(item, disc);
  }
  for (CQLXAssignFileImpl* disc : discs_) MarkDiscIndex(disc, disc->discIndex);
  root_->discIndex = static_cast<int32_t>(discs_.size());
  return true;
}

bool CPartivoImpl::InsertItem(const AssignItem& item) {
  if (item.flags & ITEM_EVERY_DISC) return true;
  if (item.flags & (ITEM_OBJECT_1 | ITEM_OBJECT_2)) {
    const std::string sourceName = LastNameOf(item.sourcePath);
    const TargetSplit split = SplitItemTarget(item.targetPath, sourceName);
    CQLXAssignFileImpl* folder = FindOrCreatePath(root_, split.folderPart);
    const FileStatus status = RequireStatus(item.sourcePath);
    walkTime_ = UtcNowSeconds();
    if (status.isDirectory) {
      FolderChain chain;
      return InsertDir(item.sourcePath, folder, true, split.name, sourceName, status, capacity_,
                       chain);
    }
    return InsertFile(folder, item.sourcePath, split.name, sourceName, status, capacity_);
  }
  if (item.flags & ITEM_FOLDER) FindOrCreatePath(root_, item.targetPath);
  return true;
}

CQLXAssignFileImpl* CPartivoImpl::NewRecord(int32_t kind) {
  return records_.Make(kind, UtcNowSeconds());
}

// Walks the names of `path` down from `start`, making the folders that are
// missing; names are trimmed, and empty ones, "." and ".." are passed over.
CQLXAssignFileImpl* CPartivoImpl::FindOrCreatePath(CQLXAssignFileImpl* start,
                                                   const std::string& path) {
  const Poco::StringTokenizer names(
      path, "/\\", Poco::StringTokenizer::TOK_IGNORE_EMPTY | Poco::StringTokenizer::TOK_TRIM);
  CQLXAssignFileImpl* current = start;
  for (const std::string& name : names) {
    if (!IsImageFolderName(name)) continue;
    CQLXAssignFileImpl* next = current->FindFolder(name);
    current = next ? next : CreateFolder(current, name);
  }
  return current;
}

CQLXAssignFileImpl* CPartivoImpl::CreateFolder(CQLXAssignFileImpl* parent,
                                               const std::string& name) {
  CQLXAssignFileImpl* folder = NewRecord(ASSIGN_TYPE_DIR);
  folder->targetPath = strings_.Store(parent->targetPath, "\\", name, &folder->name);
  folder->parentPath = parent->targetPath;
  folder->modified = NowLocalSeconds();
  folder->parent = parent;
  parent->AppendFolder(folder);
  for (CQLXAssignFileImpl* above = parent; above; above = above->parent) {
    ++above->totalDirCount;
  }
  return folder;
}

bool CPartivoImpl::InsertFile(CQLXAssignFileImpl* folder, const std::string& sourcePath,
                              std::string_view name, std::string_view sourceName,
                              const FileStatus& status, uint64_t capacity) {
  const uint64_t alignedSize = AlignToSector(status.size);
  if (alignedSize > capacity) {
    QLOG(QLXSdk::LOG_ERROR) << "file is to large, can not burn, split disc fail. " << sourcePath;
    return false;
  }
  const std::string_view recordName = name.empty() ? sourceName : name;
  CQLXAssignFileImpl* file = records_.Make(ASSIGN_TYPE_FILE, walkTime_);
  file->sourcePath = strings_.Store(sourcePath);
  file->targetPath = strings_.Store(folder->targetPath, "\\", recordName, &file->name);
  file->parentPath = folder->targetPath;
  file->parent = folder;
  file->size = status.size;
  file->alignedSize = alignedSize;
  file->modified = ToSeconds(status.modifiedMicroseconds);
  folder->size += file->size;
  folder->alignedSize += alignedSize;
  ++folder->totalFileCount;
  folder->AppendFile(file);
  return true;
}

bool CPartivoImpl::InsertDir(const std::string& sourcePath, CQLXAssignFileImpl* parent,
                             bool topLevel, std::string_view name, std::string_view sourceName,
                             const FileStatus& status, uint64_t capacity, FolderChain& chain) {
  const bool driveRoot = IsDriveRoot(sourcePath);
  CQLXAssignFileImpl* folder = parent;
  if (!driveRoot) {
    folder = NewRecord(ASSIGN_TYPE_DIR);
    folder->sourcePath = strings_.Store(sourcePath);
    folder->name = strings_.Store(name.empty() ? sourceName : name);
    if (!name.empty()) {
      folder->targetPath = strings_.Store(parent->targetPath, "\\", name);
    } else if (topLevel) {
      folder->targetPath = parent->targetPath;
    } else {
      folder->targetPath = strings_.Store(parent->targetPath, "\\", folder->name);
    }
    folder->parentPath = parent->targetPath;
    folder->parent = parent;
    folder->depth = parent->depth + 1;
    folder->modified = ToSeconds(status.modifiedMicroseconds);
  }

  chain.push_back(FolderId{status.device, status.fileId});
  try {
    InsertEntries(sourcePath, folder, capacity, chain);
  } catch (const Poco::Exception& e) {
    chain.pop_back();
    QLOG(QLXSdk::LOG_ERROR) << e.displayText();
    return false;
  }
  chain.pop_back();

  if (!driveRoot) {
    parent->size += folder->size;
    parent->alignedSize += folder->alignedSize;
    parent->totalFileCount += folder->totalFileCount;
    parent->totalDirCount += folder->totalDirCount + 1;
    parent->AppendFolder(folder);
  }
  return true;
}

// The listing asks for each entry's status once: existence, type, size and
// time come from that one query.
void CPartivoImpl::InsertEntries(const std::string& sourcePath, CQLXAssignFileImpl* folder,
                                 uint64_t capacity, FolderChain& chain) {
  // One listing per level of the walk, reused from folder to folder.
  if (listings_.size() < chain.size()) listings_.resize(chain.size());
  FolderListing& listing = listings_[chain.size() - 1];
  const FileStatusResult listed = qlx::platform::ListFolder(sourcePath, listing);
  if (listed != FileStatusResult::kOk) ThrowFileError(listed, sourcePath);
  walkTime_ = UtcNowSeconds();  // creation time of the entries' file records
  std::string entryPath = FolderPrefix(sourcePath);
  const size_t prefixLength = entryPath.size();
  for (const FolderListing::Entry& entry : listing.entries) {
    if (entry.result == FileStatusResult::kNotFound) continue;  // vanished, or a dangling link
    const std::string_view name = listing.Name(entry);
    entryPath.resize(prefixLength);
    entryPath.append(name);
    if (entry.result != FileStatusResult::kOk) ThrowFileError(entry.result, entryPath);
    if (!entry.status.isDirectory) {
      InsertFile(folder, entryPath, {}, name, entry.status, capacity);
      continue;
    }
    if (IsOnChain(chain, entry.status)) {
      QLOG(QLXSdk::LOG_ERROR) << "folder leads back to a folder above it, left out: " << entryPath;
      continue;
    }
    InsertDir(entryPath, folder, false, {}, name, entry.status, capacity, chain);
  }
}

uint64_t CPartivoImpl::MeasureFolder(const std::string& sourcePath, FolderChain& chain) {
  if (chain.empty()) {
    const FileStatus status = RequireStatus(sourcePath);
    chain.push_back(FolderId{status.device, status.fileId});
  }
  FolderListing listing;
  const FileStatusResult listed = qlx::platform::ListFolder(sourcePath, listing);
  if (listed != FileStatusResult::kOk) ThrowFileError(listed, sourcePath);
  const std::string prefix = FolderPrefix(sourcePath);
  uint64_t total = 0;
  for (const FolderListing::Entry& entry : listing.entries) {
    if (entry.result == FileStatusResult::kNotFound) continue;
    const std::string entryPath = prefix + std::string(listing.Name(entry));
    if (entry.result != FileStatusResult::kOk) ThrowFileError(entry.result, entryPath);
    if (!entry.status.isDirectory) {
      total += AlignToSector(entry.status.size);
      continue;
    }
    if (IsOnChain(chain, entry.status)) continue;
    chain.push_back(FolderId{entry.status.device, entry.status.fileId});
    total += MeasureFolder(entryPath, chain);
    chain.pop_back();
  }
  return total;
}
