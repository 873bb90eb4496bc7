#pragma once
// The disc-assignment object behind IPartivo: the input items, the input
// tree built from the file system, and the placement of that tree on discs.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "assigndisc/AssignFile.h"
#include "assigndisc/IPartivo.h"
#include "assigndisc/StringArena.h"
#include "platform/file_status.h"

// One input item as AddItem received it.
struct AssignItem {
  int32_t flags = 0;
  std::string targetPath;  // inside the image; "/" and "\" both separate names
  std::string sourcePath;  // local file or folder
};

class CPartivoImpl final : public IPartivo {
 public:
  CPartivoImpl();

  void Release() override;
  void AddItem(const char* source, const char* target, int32_t flags) override;
  void SetSortMode(int32_t mode) override;
  void SetSpareOption(int32_t option) override;
  void SetSplitLevel(int32_t level) override;
  bool AssignDiscByDisc(int32_t discType) override;
  bool AssignDiscBySize(uint64_t capacity) override;
  int32_t GetDiscCount() override;
  IQLXAssignFile* GetDisc(uint32_t index) override;

  // Usable bytes of one disc of `discType`, after "assign_disc.ini" in the
  // program folder; 0 when the value is not a disc type.
  static uint64_t GetDiscMaxSize(int32_t discType);

 private:
  // Identity of a folder on the walk's way down, to refuse link cycles.
  struct FolderId {
    uint64_t device;
    uint64_t fileId;
  };
  using FolderChain = std::vector<FolderId>;

  // Sums a record gains while something is inserted below it.
  struct Totals {
    uint64_t size;
    uint64_t alignedSize;
    int32_t fileCount;
    int32_t dirCount;
  };

  bool GuardedAssign(uint64_t capacity);
  bool Assign();
  void StartAfresh(uint64_t capacity);
  bool InsertItem(const AssignItem& item);

  CQLXAssignFileImpl* NewRecord(int32_t kind);
  CQLXAssignFileImpl* FindOrCreatePath(CQLXAssignFileImpl* start, const std::string& path);
  CQLXAssignFileImpl* CreateFolder(CQLXAssignFileImpl* parent, const std::string& name);
  // `name` is the name the target path asks for (may be empty), `sourceName`
  // the last name of the source path; `status` the source's one status query.
  bool InsertFile(CQLXAssignFileImpl* folder, const std::string& sourcePath, std::string_view name,
                  std::string_view sourceName, const qlx::platform::FileStatus& status,
                  uint64_t capacity);
  bool InsertDir(const std::string& sourcePath, CQLXAssignFileImpl* parent, bool topLevel,
                 std::string_view name, std::string_view sourceName,
                 const qlx::platform::FileStatus& status, uint64_t capacity, FolderChain& chain);
  void InsertEntries(const std::string& sourcePath, CQLXAssignFileImpl* folder, uint64_t capacity,
                     FolderChain& chain);
  static uint64_t MeasureFolder(const std::string& sourcePath, FolderChain& chain);

  // Placement over discs.
  void SumSizes(CQLXAssignFileImpl* record);
  void SortTree(CQLXAssignFileImpl* record);
  CQLXAssignFileImpl* NewDisc();
  void Distribute(CQLXAssignFileImpl* folder);
  void PlaceFile(CQLXAssignFileImpl* file);
  CQLXAssignFileImpl* DestinationOnDisc(CQLXAssignFileImpl* disc, const char* parentPath);
  static void AttachFile(CQLXAssignFileImpl* destination, CQLXAssignFileImpl* file);
  void AttachFolder(CQLXAssignFileImpl* destination, CQLXAssignFileImpl* folder);
  void CopyToDisc(const AssignItem& item, CQLXAssignFileImpl* disc);
  static void MarkDiscIndex(CQLXAssignFileImpl* record, int32_t discIndex);

  CQLXAssignFileImpl* root_ = nullptr;
  std::vector<CQLXAssignFileImpl*> discs_;
  uint64_t capacity_ = 0;
  uint64_t startCapacity_ = 0;  // before the every-disc reservation
  std::vector<AssignItem> items_;
  bool itemLost_ = false;  // AddItem ran out of memory
  int32_t sortMode_ = SORT_BY_NAME;
  int32_t spareOption_ = 0;
  int32_t splitLevel_ = 1;
  int32_t discType_ = 255;
  // Names and paths of the records, and every record ever made, in creation
  // order; results of earlier assignments stay valid until Release.
  StringArena strings_;
  RecordPool records_;
  std::deque<qlx::platform::FolderListing> listings_;  // buffers of the walk, by level
  int64_t walkTime_ = 0;

  // Placement state of one assignment.
  bool newDiscPending_ = false;  // split mode: next file opens a disc
  CQLXAssignFileImpl* lastDisc_ = nullptr;
  const char* lastParentPath_ = nullptr;
  CQLXAssignFileImpl* lastDestination_ = nullptr;
};
