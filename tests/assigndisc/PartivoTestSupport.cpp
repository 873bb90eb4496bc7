#include "PartivoTestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/library.h"

namespace partivo_test {

std::vector<Record> Record::Files() const {
  std::vector<Record> files;
  for (int32_t i = 0; i < FileCount(); ++i) files.push_back(File(static_cast<uint32_t>(i)));
  return files;
}

std::vector<Record> Record::Dirs() const {
  std::vector<Record> dirs;
  for (int32_t i = 0; i < DirCount(); ++i) dirs.push_back(Dir(static_cast<uint32_t>(i)));
  return dirs;
}

Record Record::DirAt(const std::string& namePath) const {
  Record current = *this;
  size_t start = 0;
  while (!current.IsNull() && start <= namePath.size()) {
    const size_t slash = namePath.find('/', start);
    const std::string name =
        namePath.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    Record found;
    for (const Record& dir : current.Dirs()) {
      if (dir.Name() == name) found = dir;
    }
    current = found;
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return current;
}

std::vector<std::string> Record::FileTargets() const {
  std::vector<std::string> targets;
  for (const Record& file : Files()) targets.push_back(file.TargetPath());
  for (const Record& dir : Dirs()) {
    for (const std::string& target : dir.FileTargets()) targets.push_back(target);
  }
  return targets;
}

CreatePartivoFunc LoadCreatePartivo() {
  static CreatePartivoFunc create = [] {
    auto library = qlx::platform::LoadLibraryAt(std::string(QLX_BIN_DIR) + "/Partivo.dll");
    return reinterpret_cast<CreatePartivoFunc>(qlx::platform::FindExport(library, "CreatePartivo"));
  }();
  return create;
}

Partivo::Partivo() : object_(nullptr) {
  CreatePartivoFunc create = LoadCreatePartivo();
  if (create) object_ = create();
  if (!object_) ADD_FAILURE() << "Partivo.dll gave no object";
}

Partivo::~Partivo() {
  if (object_) CallSlot<void>(object_, 0);
}

std::vector<Record> Partivo::Discs() {
  std::vector<Record> discs;
  for (int32_t i = 0; i < GetDiscCount(); ++i) discs.push_back(GetDisc(static_cast<uint32_t>(i)));
  return discs;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Folders made unreadable by a test must be opened again to be removed.
  for (auto it = std::filesystem::recursive_directory_iterator(
           Path(), std::filesystem::directory_options::skip_permission_denied, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) chmod(it->path().c_str(), 0755);
  }
}

void MakeDir(const std::string& path) { std::filesystem::create_directories(path); }

void MakeFile(const std::string& path, uint64_t size, int64_t modified) {
  MakeDir(std::filesystem::path(path).parent_path());
  { std::ofstream create(path, std::ios::binary | std::ios::trunc); }
  if (truncate(path.c_str(), static_cast<off_t>(size)) != 0) ADD_FAILURE() << "truncate " << path;
  if (modified != 0) {
    const timeval times[2] = {{static_cast<time_t>(modified), 0},
                              {static_cast<time_t>(modified), 0}};
    if (utimes(path.c_str(), times) != 0) ADD_FAILURE() << "utimes " << path;
  }
}

}  // namespace partivo_test

namespace partivo_test {

LogCapture::LogCapture() { testing::internal::CaptureStdout(); }

LogCapture::~LogCapture() {
  if (capturing_) Text();
}

std::string LogCapture::Text() {
  capturing_ = false;
  return testing::internal::GetCapturedStdout();
}

namespace {
void CollectNames(const Record& folder, std::vector<std::string>& names) {
  for (const Record& file : folder.Files()) names.push_back(file.Name());
  for (const Record& dir : folder.Dirs()) CollectNames(dir, names);
}
}  // namespace

Layout LayoutOf(Partivo& partivo) {
  Layout layout;
  for (const Record& disc : partivo.Discs()) {
    layout.emplace_back();
    CollectNames(disc, layout.back());
  }
  return layout;
}

}  // namespace partivo_test

namespace partivo_test {

void ExpectSumsBelow(const Record& record) {
  uint64_t size = 0, aligned = 0;
  int32_t files = 0, dirs = 0;
  for (const Record& file : record.Files()) {
    size += file.Size();
    aligned += file.AlignedSize();
    ++files;
  }
  for (const Record& dir : record.Dirs()) {
    ExpectSumsBelow(dir);
    size += dir.Size();
    aligned += dir.AlignedSize();
    files += dir.TotalFileCount();
    dirs += dir.TotalDirCount() + 1;
  }
  SCOPED_TRACE(record.TargetPath());
  EXPECT_EQ(record.Size(), size);
  EXPECT_EQ(record.AlignedSize(), aligned);
  EXPECT_EQ(record.TotalFileCount(), files);
  EXPECT_EQ(record.TotalDirCount(), dirs);
}

}  // namespace partivo_test
