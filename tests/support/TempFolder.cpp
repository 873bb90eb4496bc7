#include "tests/support/TempFolder.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace qlx::testsupport {

namespace fs = std::filesystem;

TempFolder::TempFolder(const std::string& stem) {
  std::string pattern = (fs::temp_directory_path() / (stem + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace qlx::testsupport
