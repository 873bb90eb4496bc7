#include "assigndisc/PathRules.h"

#include <Poco/Exception.h>
#include <Poco/Path.h>

using qlx::platform::FileStatus;
using qlx::platform::FileStatusResult;

bool IsImageFolderName(const std::string& name) { return name != "." && name != ".."; }

TargetSplit SplitTargetPath(const std::string& target) {
  const Poco::Path path(target, Poco::Path::PATH_WINDOWS);
  TargetSplit split{path.parent().toString(Poco::Path::PATH_WINDOWS), path.getFileName()};
  if (!IsImageFolderName(split.name)) split.name.clear();
  return split;
}

TargetSplit SplitItemTarget(const std::string& target, const std::string& sourceName) {
  if (target.empty()) return TargetSplit{std::string(), sourceName};
  return SplitTargetPath(target);
}

std::string LastNameOf(const std::string& sourcePath) {
  // As a folder path made absolute, "." and ".." resolve to real names.
  Poco::Path path(sourcePath);
  path.makeDirectory();
  path.makeAbsolute();
  return path.depth() > 0 ? path[path.depth() - 1] : std::string();
}

bool IsDriveRoot(const std::string& path) {
  return path.size() == 3 && path[1] == ':' && (path[2] == '/' || path[2] == '\\');
}

void ThrowFileError(FileStatusResult result, const std::string& path) {
  if (result == FileStatusResult::kNotFound) throw Poco::FileNotFoundException(path);
  if (result == FileStatusResult::kAccessDenied) throw Poco::FileAccessDeniedException(path);
  if (result == FileStatusResult::kNotADirectory) {
    throw Poco::OpenFileException(path, "not a directory");
  }
  throw Poco::FileException(path);
}

FileStatus RequireStatus(const std::string& path) {
  FileStatus status;
  const FileStatusResult result = qlx::platform::QueryFileStatus(path, status);
  if (result != FileStatusResult::kOk) ThrowFileError(result, path);
  return status;
}
