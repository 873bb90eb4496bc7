#pragma once
// Test support for Partivo.dll: the plug-in loaded as the burning service
// loads it, both interfaces called by slot position, and temporary trees.
#include <cstdint>
#include <string>
#include <vector>

#include "assigndisc/IPartivo.h"
#include "tests/support/Processes.h"
#include "tests/support/TempFolder.h"

namespace partivo_test {

// Calls the virtual operation at `slot` of `object` through its vtable.
template <typename R, typename... Args>
R CallSlot(const void* object, size_t slot, Args... args) {
  using Operation = R (*)(const void*, Args...);
  const auto* table = *static_cast<void* const* const*>(object);
  return reinterpret_cast<Operation>(table[slot])(object, args...);
}

// An IQLXAssignFile, read by slot.
class Record {
 public:
  explicit Record(const void* object = nullptr) : object_(object) {}
  bool IsNull() const { return object_ == nullptr; }
  const void* Object() const { return object_; }

  int32_t Type() const { return CallSlot<int32_t>(object_, 0); }
  std::string Name() const { return CallSlot<const char*>(object_, 1); }
  std::string SourcePath() const { return CallSlot<const char*>(object_, 2); }
  std::string TargetPath() const { return CallSlot<const char*>(object_, 3); }
  std::string ParentPath() const { return CallSlot<const char*>(object_, 4); }
  int64_t ModifyTime() const { return CallSlot<int64_t>(object_, 5); }
  int64_t CreateTime() const { return CallSlot<int64_t>(object_, 6); }
  uint64_t Size() const { return CallSlot<uint64_t>(object_, 7); }
  uint64_t AlignedSize() const { return CallSlot<uint64_t>(object_, 8); }
  int32_t TotalFileCount() const { return CallSlot<int32_t>(object_, 9); }
  int32_t TotalDirCount() const { return CallSlot<int32_t>(object_, 10); }
  int32_t FileCount() const { return CallSlot<int32_t>(object_, 11); }
  Record File(uint32_t index) const { return Record(CallSlot<const void*>(object_, 12, index)); }
  int32_t DirCount() const { return CallSlot<int32_t>(object_, 13); }
  Record Dir(uint32_t index) const { return Record(CallSlot<const void*>(object_, 14, index)); }
  int32_t DiscIndex() const { return CallSlot<int32_t>(object_, 15); }

  std::vector<Record> Files() const;
  std::vector<Record> Dirs() const;
  // Child folder by name path ("a/b"); a null record when missing.
  Record DirAt(const std::string& namePath) const;
  // Target paths of all files below, depth first (files before folders).
  std::vector<std::string> FileTargets() const;

 private:
  const void* object_;
};

// An IPartivo made by the plug-in's export, read and driven by slot.
class Partivo {
 public:
  Partivo();  // CreatePartivo of build/bin/Partivo.dll
  ~Partivo();
  Partivo(const Partivo&) = delete;
  Partivo& operator=(const Partivo&) = delete;

  void AddItem(const char* source, const char* target, int32_t flags) {
    CallSlot<void>(object_, 1, source, target, flags);
  }
  void AddItem(const std::string& source, const std::string& target, int32_t flags) {
    AddItem(source.c_str(), target.c_str(), flags);
  }
  void SetSortMode(int32_t mode) { CallSlot<void>(object_, 2, mode); }
  void SetSpareOption(int32_t option) { CallSlot<void>(object_, 3, option); }
  void SetSplitLevel(int32_t level) { CallSlot<void>(object_, 4, level); }
  bool AssignDiscByDisc(int32_t type) { return CallSlot<bool>(object_, 5, type); }
  bool AssignDiscBySize(uint64_t capacity) { return CallSlot<bool>(object_, 6, capacity); }
  int32_t GetDiscCount() { return CallSlot<int32_t>(object_, 7); }
  Record GetDisc(uint32_t index) { return Record(CallSlot<const void*>(object_, 8, index)); }
  std::vector<Record> Discs();

 private:
  void* object_;
};

// The export of the loaded plug-in.
using CreatePartivoFunc = void* (*)();
CreatePartivoFunc LoadCreatePartivo();

// A fresh folder under the system's temporary folder, removed with its
// contents, unreadable folders included.
class TempDir : public qlx::testsupport::TempFolder {
 public:
  TempDir() : TempFolder("partivo-") {}
  ~TempDir();
  std::string operator/(const std::string& relative) const { return File(relative); }
};

// Creates the folders above `path` and a sparse file of `size` bytes there;
// `modified` (seconds since 1970) becomes its last-write time when not 0.
void MakeFile(const std::string& path, uint64_t size, int64_t modified = 0);
void MakeDir(const std::string& path);

using qlx::testsupport::RunCommand;

constexpr uint64_t kMiB = 1024 * 1024;

}  // namespace partivo_test

namespace partivo_test {

// Collects what the plug-in's log writes to standard output meanwhile.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::string Text();  // ends the capture

 private:
  bool capturing_ = true;
};

// File names per disc, each disc depth first (files before folders).
using Layout = std::vector<std::vector<std::string>>;
Layout LayoutOf(Partivo& partivo);

}  // namespace partivo_test

namespace partivo_test {

// Checks that every record below `record` (and it) carries the sums of the
// files and folders below it.
void ExpectSumsBelow(const Record& record);

}  // namespace partivo_test
