#pragma once
// A record of a disc assignment: the root of the input, one disc of the
// result, a folder or a file. The burning service reads results only through
// this interface, by slot position, so the order of the operations is fixed.
// Records belong to the assignment object that handed them out; there is no
// destructor and no release here.
#include <cstdint>

enum AssignFileType : int32_t {
  ASSIGN_TYPE_ROOT = 0,
  ASSIGN_TYPE_DISC = 1,
  ASSIGN_TYPE_DIR = 2,
  ASSIGN_TYPE_FILE = 3,
};

// Every size decision works on lengths rounded up to whole sectors.
constexpr uint64_t SECTOR_SIZE = 2048;

class IQLXAssignFile {
 public:
  virtual int32_t GetType() const = 0;            // slot 0: AssignFileType
  virtual const char* GetName() const = 0;        // slot 1
  virtual const char* GetSourcePath() const = 0;  // slot 2: local path it came from
  virtual const char* GetTargetPath() const = 0;  // slot 3: "\dir\name" in the image
  virtual const char* GetParentPath() const = 0;  // slot 4: target path of its folder
  virtual int64_t GetModifyTime() const = 0;      // slot 5: seconds since 1970
  virtual int64_t GetCreateTime() const = 0;      // slot 6: seconds since 1970, UTC
  virtual uint64_t GetSize() const = 0;           // slot 7: bytes (sum below for folders)
  virtual uint64_t GetAlignedSize() const = 0;    // slot 8: sector-rounded bytes
  virtual int32_t GetTotalFileCount() const = 0;  // slot 9: files at all depths below
  virtual int32_t GetTotalDirCount() const = 0;   // slot 10: folders at all depths below
  virtual int32_t GetFileCount() const = 0;       // slot 11: direct files; -1 on a file
  virtual IQLXAssignFile* GetFile(uint32_t index) const = 0;  // slot 12: null when out of range
  virtual int32_t GetDirCount() const = 0;  // slot 13: direct folders; -1 on a file
  virtual IQLXAssignFile* GetDir(uint32_t index) const = 0;  // slot 14: null when out of range
  virtual int32_t GetDiscIndex() const = 0;                  // slot 15: 0-based disc of the record

 protected:
  ~IQLXAssignFile() = default;
};
