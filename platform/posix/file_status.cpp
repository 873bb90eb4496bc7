#include "platform/file_status.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qlx::platform {

namespace {

FileStatusResult ResultOf(int error) {
  switch (error) {
    case ENOENT:
      return FileStatusResult::kNotFound;
    case EACCES:
    case EPERM:
      return FileStatusResult::kAccessDenied;
    case ENOTDIR:
      return FileStatusResult::kNotADirectory;
    default:
      return FileStatusResult::kOtherError;
  }
}

void Fill(const struct stat& info, FileStatus& status) {
  status.isDirectory = S_ISDIR(info.st_mode);
  status.size = static_cast<uint64_t>(info.st_size);
  status.modifiedMicroseconds =
      static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000 + info.st_mtim.tv_nsec / 1000;
  status.device = static_cast<uint64_t>(info.st_dev);
  status.fileId = static_cast<uint64_t>(info.st_ino);
}

bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

FileStatusResult QueryFileStatus(const std::string& path, FileStatus& status) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    // A missing part of the path reads as "not found", as for a missing file.
    return errno == ENOTDIR ? FileStatusResult::kNotFound : ResultOf(errno);
  }
  Fill(info, status);
  return FileStatusResult::kOk;
}

FileStatusResult ListFolder(const std::string& path, FolderListing& listing) {
  listing.names.clear();
  listing.entries.clear();
  const int folder = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return ResultOf(errno);
  DIR* stream = fdopendir(folder);
  if (!stream) {
    const int error = errno;
    close(folder);
    return ResultOf(error);
  }
  while (const dirent* entry = readdir(stream)) {
    if (IsDotEntry(entry->d_name)) continue;
    FolderListing::Entry listed{listing.names.size(), 0, FileStatusResult::kOk, FileStatus{}};
    listing.names += entry->d_name;
    listed.nameLength = listing.names.size() - listed.nameOffset;
    listing.names += '\0';
    struct stat info {};
    if (fstatat(folder, entry->d_name, &info, 0) == 0) {
      Fill(info, listed.status);
    } else {
      listed.result = errno == ENOTDIR ? FileStatusResult::kNotFound : ResultOf(errno);
    }
    listing.entries.push_back(listed);
  }
  closedir(stream);  // closes `folder` too
  return FileStatusResult::kOk;
}

}  // namespace qlx::platform
