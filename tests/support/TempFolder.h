#pragma once
// A fresh folder under the system's temporary folder, removed with its contents.
#include <string>

namespace qlx::testsupport {

class TempFolder {
 public:
  // Names the folder `stem` followed by six random characters; throws
  // std::runtime_error when no folder can be made.
  explicit TempFolder(const std::string& stem);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  // Path of a file inside the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace qlx::testsupport
