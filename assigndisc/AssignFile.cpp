#include "assigndisc/AssignFile.h"

#include <Poco/Timestamp.h>

#include <new>

namespace {
const std::vector<CQLXAssignFileImpl*> kNoRecords;
}  // namespace

int64_t UtcNowSeconds() { return Poco::Timestamp().epochTime(); }

CQLXAssignFileImpl::CQLXAssignFileImpl(int32_t recordKind, int64_t nowUtcSeconds)
    : kind(recordKind), modified(nowUtcSeconds), created(nowUtcSeconds) {}

int32_t CQLXAssignFileImpl::GetFileCount() const {
  return IsFile() ? -1 : static_cast<int32_t>(Files().size());
}

int32_t CQLXAssignFileImpl::GetDirCount() const {
  return IsFile() ? -1 : static_cast<int32_t>(Folders().size());
}

IQLXAssignFile* CQLXAssignFileImpl::GetFile(uint32_t index) const {
  return index < Files().size() ? Files()[index] : nullptr;
}

IQLXAssignFile* CQLXAssignFileImpl::GetDir(uint32_t index) const {
  return index < Folders().size() ? Folders()[index] : nullptr;
}

const std::vector<CQLXAssignFileImpl*>& CQLXAssignFileImpl::Files() const {
  return children_ ? children_->files : kNoRecords;
}

const std::vector<CQLXAssignFileImpl*>& CQLXAssignFileImpl::Folders() const {
  return children_ ? children_->folders : kNoRecords;
}

std::vector<CQLXAssignFileImpl*>& CQLXAssignFileImpl::MutableFiles() {
  return MutableChildren().files;
}

std::vector<CQLXAssignFileImpl*>& CQLXAssignFileImpl::MutableFolders() {
  return MutableChildren().folders;
}

CQLXAssignFileImpl::Children& CQLXAssignFileImpl::MutableChildren() {
  if (!children_) children_ = std::make_unique<Children>();
  return *children_;
}

void CQLXAssignFileImpl::AppendFile(CQLXAssignFileImpl* file) {
  MutableChildren().files.push_back(file);
}

void CQLXAssignFileImpl::AppendFolder(CQLXAssignFileImpl* folder) {
  Children& children = MutableChildren();
  children.folders.push_back(folder);
  children.foldersByName[folder->name] = folder;
}

CQLXAssignFileImpl* CQLXAssignFileImpl::FindFolder(std::string_view folderName) const {
  if (!children_) return nullptr;
  auto found = children_->foldersByName.find(folderName);
  return found == children_->foldersByName.end() ? nullptr : found->second;
}

RecordPool::~RecordPool() {
  for (const Run& run : runs_) {
    for (size_t i = 0; i < run.used; ++i) run.records[i].~CQLXAssignFileImpl();
  }
}

CQLXAssignFileImpl* RecordPool::Make(int32_t kind, int64_t nowUtcSeconds) {
  if (runs_.empty() || runs_.back().used == capacityOfLastRun_) {
    runs_.reserve(runs_.size() + 1);
    size_t bytes = 0;
    char* block = blocks_.Take(sizeof(CQLXAssignFileImpl), bytes);
    runs_.push_back(Run{reinterpret_cast<CQLXAssignFileImpl*>(block), 0});
    capacityOfLastRun_ = bytes / sizeof(CQLXAssignFileImpl);
  }
  Run& run = runs_.back();
  CQLXAssignFileImpl* record = new (&run.records[run.used]) CQLXAssignFileImpl(kind, nowUtcSeconds);
  ++run.used;
  return record;
}
