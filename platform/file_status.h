#pragma once
// Status queries of file-system objects: existence, type, size, last-write
// time and identity from a single call per object, so that a walk over many
// files asks the file system once per file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qlx::platform {

enum class FileStatusResult {
  kOk,
  kNotFound,       // nothing exists at the path (or a link points nowhere)
  kAccessDenied,   // the object or a folder on the way may not be read
  kNotADirectory,  // a folder was asked for and something else is there
  kOtherError,     // any other failure
};

struct FileStatus {
  bool isDirectory = false;
  uint64_t size = 0;                 // length in bytes; meaningful for files
  int64_t modifiedMicroseconds = 0;  // last-write time since 1970-01-01 UTC
  uint64_t device = 0;               // device and file id together identify
  uint64_t fileId = 0;               // the object (used to detect link cycles)
};

// Queries the object at `path`, following symbolic links. On kOk `status` is
// filled; otherwise it is left as it was.
FileStatusResult QueryFileStatus(const std::string& path, FileStatus& status);

// The entries of one folder, each with the result of its own status query.
struct FolderListing {
  struct Entry {
    size_t nameOffset;  // into `names`
    size_t nameLength;
    FileStatusResult result;
    FileStatus status;  // valid when result is kOk
  };
  std::string names;  // every entry name, each followed by a zero byte
  std::vector<Entry> entries;

  std::string_view Name(const Entry& entry) const {
    return std::string_view(names.data() + entry.nameOffset, entry.nameLength);
  }
};

// Lists the folder at `path` in the order the file system returns its
// entries, "." and ".." left out, hidden entries included, and queries each
// entry's status (links followed) relative to the open folder. `listing` is
// replaced. Returns kOk, or why the folder could not be listed (then
// `listing` is empty).
FileStatusResult ListFolder(const std::string& path, FolderListing& listing);

}  // namespace qlx::platform
