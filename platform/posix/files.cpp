#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qlx::platform {
namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsDirectoryEntry(const std::string& folder, const dirent& entry) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return false;
  struct stat status;
  std::string path = folder + kPathSeparator + entry.d_name;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

FileAttributes GetAttributes(const std::string& path) {
  FileAttributes attributes;
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return attributes;
  attributes.exists = true;
  attributes.isDirectory = S_ISDIR(status.st_mode);
  attributes.size = attributes.isDirectory ? 0 : static_cast<uint64_t>(status.st_size);
  attributes.modifiedSeconds = static_cast<int64_t>(status.st_mtime);
  return attributes;
}

bool MakeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  size_t p = 0, n = 0;
  size_t starAt = std::string_view::npos, resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n]))) {
      ++p;
      ++n;
    } else if (starAt != std::string_view::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<DirectoryEntry> FindEntries(const std::string& folder, std::string_view pattern) {
  std::vector<DirectoryEntry> entries;
  DIR* directory = opendir(folder.empty() ? "." : folder.c_str());
  if (!directory) return entries;
  while (const dirent* entry = readdir(directory)) {
    std::string_view name(entry->d_name);
    if (name == "." || name == ".." || !WildcardMatch(pattern, name)) continue;
    entries.push_back({std::string(name), IsDirectoryEntry(folder, *entry)});
  }
  closedir(directory);
  return entries;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

namespace {

AppendResult Append(const std::string& path, const void* data, size_t size, int createFlag) {
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | createFlag, 0666);
  if (fd < 0) return errno == ENOENT ? AppendResult::kMissing : AppendResult::kFailed;
  ssize_t written;
  do {
    written = write(fd, data, size);
  } while (written < 0 && errno == EINTR);
  bool closed = close(fd) == 0;
  bool whole = closed && written >= 0 && static_cast<size_t>(written) == size;
  return whole ? AppendResult::kWritten : AppendResult::kFailed;
}

}  // namespace

bool AppendToFile(const std::string& path, const void* data, size_t size) {
  return Append(path, data, size, O_CREAT) == AppendResult::kWritten;
}

AppendResult AppendToExistingFile(const std::string& path, const void* data, size_t size) {
  return Append(path, data, size, 0);
}

}  // namespace qlx::platform
