#pragma once
// The record behind IQLXAssignFile. Strings live in the owner's StringArena;
// only folders, discs and the root carry child lists.
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "assigndisc/BlockStore.h"
#include "assigndisc/IQLXAssignFile.h"

// Length rounded up to whole sectors; a multiple (0 included) stays as it is.
constexpr uint64_t AlignToSector(uint64_t size) {
  return size % SECTOR_SIZE == 0 ? size : size + (SECTOR_SIZE - size % SECTOR_SIZE);
}

// The current time, in whole seconds since 1970 (UTC).
int64_t UtcNowSeconds();

class CQLXAssignFileImpl final : public IQLXAssignFile {
 public:
  CQLXAssignFileImpl(int32_t kind, int64_t nowUtcSeconds);

  int32_t GetType() const override { return kind; }
  const char* GetName() const override { return name; }
  const char* GetSourcePath() const override { return sourcePath; }
  const char* GetTargetPath() const override { return targetPath; }
  const char* GetParentPath() const override { return parentPath; }
  int64_t GetModifyTime() const override { return modified; }
  int64_t GetCreateTime() const override { return created; }
  uint64_t GetSize() const override { return size; }
  uint64_t GetAlignedSize() const override { return alignedSize; }
  int32_t GetTotalFileCount() const override { return totalFileCount; }
  int32_t GetTotalDirCount() const override { return totalDirCount; }
  int32_t GetFileCount() const override;
  IQLXAssignFile* GetFile(uint32_t index) const override;
  int32_t GetDirCount() const override;
  IQLXAssignFile* GetDir(uint32_t index) const override;
  int32_t GetDiscIndex() const override { return discIndex; }

  bool IsFile() const { return kind == ASSIGN_TYPE_FILE; }
  const std::vector<CQLXAssignFileImpl*>& Files() const;
  const std::vector<CQLXAssignFileImpl*>& Folders() const;
  std::vector<CQLXAssignFileImpl*>& MutableFiles();
  std::vector<CQLXAssignFileImpl*>& MutableFolders();
  void AppendFile(CQLXAssignFileImpl* file);
  // Appends the folder and makes it the one its name finds.
  void AppendFolder(CQLXAssignFileImpl* folder);
  // Child folder by exact, case-sensitive name; null when there is none.
  CQLXAssignFileImpl* FindFolder(std::string_view folderName) const;

  int32_t kind;
  int32_t depth = -1;
  uint64_t size = 0;
  uint64_t alignedSize = 0;
  const char* sourcePath = "";
  const char* name = "";
  const char* targetPath = "";
  const char* parentPath = "";
  int32_t discIndex = 0;
  int32_t totalFileCount = 0;
  int32_t totalDirCount = 0;
  int64_t modified;
  int64_t created;
  CQLXAssignFileImpl* parent = nullptr;

 private:
  struct Children {
    std::vector<CQLXAssignFileImpl*> files;
    std::vector<CQLXAssignFileImpl*> folders;
    std::map<std::string_view, CQLXAssignFileImpl*> foldersByName;
  };
  Children& MutableChildren();

  std::unique_ptr<Children> children_;  // made on the first child
};

// Owns records in blocks, so that a record costs no heap block of its own.
// Records never move and live until the pool goes.
class RecordPool {
 public:
  RecordPool() = default;
  ~RecordPool();
  RecordPool(const RecordPool&) = delete;
  RecordPool& operator=(const RecordPool&) = delete;

  CQLXAssignFileImpl* Make(int32_t kind, int64_t nowUtcSeconds);

 private:
  struct Run {
    CQLXAssignFileImpl* records;
    size_t used;
  };
  BlockStore blocks_;
  std::vector<Run> runs_;  // one per block
  size_t capacityOfLastRun_ = 0;
};
