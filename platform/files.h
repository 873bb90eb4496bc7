#pragma once
// File-system services: attributes, directory creation and enumeration,
// deletion and whole-record appends. Paths are the platform's own (UTF-8 on
// POSIX); "\\" in the system's path formats stands for the platform separator.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qlx::platform {

// The platform's path separator.
constexpr char kPathSeparator = '/';

struct FileAttributes {
  bool exists = false;
  bool isDirectory = false;
  uint64_t size = 0;            // bytes; 0 for directories
  int64_t modifiedSeconds = 0;  // modification time, whole seconds since 1970 (UTC)
};

// Attributes of whatever is at `path` (links followed); `exists` is false
// when nothing is there or it cannot be examined.
FileAttributes GetAttributes(const std::string& path);

// Creates one directory (its parent must exist). False when it could not be
// created, including when something already exists there.
bool MakeDirectory(const std::string& path);

struct DirectoryEntry {
  std::string name;  // entry name without folder
  bool isDirectory = false;
};

// The entries of `folder` whose names match the Windows-style wildcard
// `pattern` ('*' any run of characters, '?' exactly one), compared without
// regard to ASCII letter case; "." and ".." are never listed. Empty when the
// folder cannot be read. Order is the system's enumeration order.
std::vector<DirectoryEntry> FindEntries(const std::string& folder, std::string_view pattern);

// Whether `name` matches the wildcard `pattern` as FindEntries matches.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Deletes the file at `path` (never a directory). False when it failed.
bool RemoveFile(const std::string& path);

// Opens `path` for appending (created when missing, binary, shared with
// other writers), writes `size` bytes with one call and closes it. False when
// the file could not be opened or the write was short.
bool AppendToFile(const std::string& path, const void* data, size_t size);

enum class AppendResult {
  kWritten,  // all bytes written
  kMissing,  // no file at the path: nothing written
  kFailed,   // could not open or write
};

// AppendToFile for a file that must exist already: never creates it, and
// tells a missing file apart from other failures (one open instead of a
// status query and an open).
AppendResult AppendToExistingFile(const std::string& path, const void* data, size_t size);

}  // namespace qlx::platform
