#pragma once
// How item paths are read: target paths are image paths ("\" and "/" both
// separate names on every platform), source paths are local paths.
#include <string>

#include "platform/file_status.h"

struct TargetSplit {
  std::string folderPart;  // the folder above the name; empty for the image root
  std::string name;        // empty when the path ends in a separator
};

// Splits an image path into folder part and name. "." and ".." are no names.
TargetSplit SplitTargetPath(const std::string& target);

// As SplitTargetPath; an empty target puts the item at the image root under
// `sourceName`, the last name of its source.
TargetSplit SplitItemTarget(const std::string& target, const std::string& sourceName);

// Whether a folder of that name may appear in an image ("." and ".." may not).
bool IsImageFolderName(const std::string& name);

// Last name of a local path, also when it ends in a separator or in "." or
// "..".
std::string LastNameOf(const std::string& sourcePath);

// "E:\" or "E:/": a drive root, whose contents go where its folder would.
bool IsDriveRoot(const std::string& path);

// Status of the object at `path`; the dependency's file exception when there
// is none or it cannot be asked.
qlx::platform::FileStatus RequireStatus(const std::string& path);

// Throws the dependency's file exception for a failed status query.
[[noreturn]] void ThrowFileError(qlx::platform::FileStatusResult result, const std::string& path);
