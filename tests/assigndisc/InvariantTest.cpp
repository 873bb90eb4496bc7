// Properties that every assignment keeps, over random trees and options
// (fixed seeds, so a failure repeats).
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "PartivoTestSupport.h"

using namespace partivo_test;

namespace {

// Reference of the name order: ASCII case ignored, bytes as signed chars, a
// prefix first.
bool NameLess(const std::string& left, const std::string& right) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (size_t i = 0; i < left.size() && i < right.size(); ++i) {
    const signed char l = static_cast<signed char>(lower(left[i]));
    const signed char r = static_cast<signed char>(lower(right[i]));
    if (l != r) return l < r;
  }
  return left.size() < right.size();
}

// Whether `after` may follow `before` in `sortMode`.
bool InOrder(const Record& before, const Record& after, int32_t sortMode) {
  switch (sortMode) {
    case SORT_BY_SIZE:
      return before.AlignedSize() <= after.AlignedSize();
    case SORT_BY_NAME:
      return !NameLess(after.Name(), before.Name());
    case SORT_BY_TIME:
      return before.ModifyTime() <= after.ModifyTime();
    default:
      return true;
  }
}

struct RandomCase {
  std::vector<std::string> files;  // source paths of every input file
  std::string everyDiscFolder;     // empty when the case has none
  uint64_t capacity = 0;
  uint64_t reserved = 0;
  uint64_t alignedTotal = 0;
};

std::string RandomName(std::mt19937& random) {
  static const std::vector<std::string> pieces = {"a", "B", "c",        "D", "e",
                                                  "_", "1", "\xc3\xa9", "Z", "z"};
  std::string name;
  const int length = 1 + static_cast<int>(random() % 5);
  for (int i = 0; i < length; ++i) name += pieces[random() % pieces.size()];
  return name;
}

uint64_t RandomSize(std::mt19937& random, uint64_t largest) {
  switch (random() % 6) {
    case 0:
      return 0;
    case 1:
      return largest;  // exactly what is left on an empty disc
    case 2:
      return (1 + random() % 8) * 2048;
    default:
      return random() % (largest / 2 + 1);
  }
}

// Builds a tree under `dir` and adds the items that use it.
RandomCase MakeCase(std::mt19937& random, const TempDir& dir, Partivo& partivo) {
  RandomCase made;
  const uint64_t capacities[] = {64 * 1024, 200 * 1024, 1024 * 1024};
  made.capacity = capacities[random() % 3];
  if (random() % 2) {
    made.everyDiscFolder = dir / "common";
    MakeFile(made.everyDiscFolder + "/tool.exe", 3000);
    MakeFile(made.everyDiscFolder + "/doc/readme", 100);
    made.reserved = 4096 + 2048;
    partivo.AddItem(made.everyDiscFolder, "tools/common", ITEM_EVERY_DISC);
  }
  const uint64_t largest = made.capacity - made.reserved;

  std::vector<std::string> folders = {dir / "in"};
  std::set<std::string> used;
  const int folderCount = static_cast<int>(random() % 12);
  for (int i = 0; i < folderCount; ++i) {
    const std::string& parent = folders[random() % folders.size()];
    if (std::count(parent.begin(), parent.end(), '/') -
            std::count(dir.Path().begin(), dir.Path().end(), '/') >
        4)
      continue;
    const std::string folder = parent + "/" + RandomName(random) + "#" + std::to_string(i);
    MakeDir(folder);
    folders.push_back(folder);
  }
  MakeDir(folders[0]);
  const int fileCount = 20 + static_cast<int>(random() % 100);
  for (int i = 0; i < fileCount; ++i) {
    std::string path = folders[random() % folders.size()] + "/" + RandomName(random);
    if (!used.insert(path).second) path += "~" + std::to_string(i);
    used.insert(path);
    const uint64_t size = RandomSize(random, largest);
    MakeFile(path, size, 1000000000 + static_cast<int64_t>(random() % 1000));
    made.files.push_back(path);
    made.alignedTotal += (size + 2047) / 2048 * 2048;
  }
  const char* folderTargets[] = {"in", "x/y", "\\", ""};
  partivo.AddItem(folders[0], folderTargets[random() % 4], ITEM_OBJECT_1);
  for (int i = 0; i < 3; ++i) {
    const std::string path = dir / "single" + std::to_string(i);
    const uint64_t size = RandomSize(random, largest);
    MakeFile(path, size, 1000000000 + static_cast<int64_t>(random() % 1000));
    partivo.AddItem(path, "files/single" + std::to_string(i), ITEM_OBJECT_2);
    made.files.push_back(path);
    made.alignedTotal += (size + 2047) / 2048 * 2048;
  }
  return made;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

// Collects the files below `folder`, checking disc indexes and that files
// of one input folder keep the sort order on the disc.
void CollectFiles(const Record& folder, int32_t discIndex, int32_t sortMode,
                  std::vector<Record>& files) {
  EXPECT_EQ(folder.DiscIndex(), discIndex) << folder.TargetPath();
  std::map<std::string, Record> lastOfSource;
  for (const Record& file : folder.Files()) {
    EXPECT_EQ(file.DiscIndex(), discIndex) << file.TargetPath();
    const auto last = lastOfSource.find(FolderOf(file.SourcePath()));
    if (last != lastOfSource.end()) {
      EXPECT_TRUE(InOrder(last->second, file, sortMode)) << file.TargetPath();
    }
    lastOfSource[FolderOf(file.SourcePath())] = file;
    files.push_back(file);
  }
  for (const Record& dir : folder.Dirs()) CollectFiles(dir, discIndex, sortMode, files);
}

}  // namespace

TEST(PartivoInvariants, RandomTreesAndOptions) {
  const int32_t sortModes[] = {SORT_BY_SIZE, SORT_BY_NAME, SORT_BY_TIME, 5};
  const int32_t splitLevels[] = {-1, 0, 1, 2, 3};
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    TempDir dir;
    Partivo partivo;
    const RandomCase made = MakeCase(random, dir, partivo);
    const int32_t sortMode = sortModes[random() % 4];
    const int32_t splitLevel = splitLevels[random() % 5];
    partivo.SetSortMode(sortMode);
    partivo.SetSplitLevel(splitLevel);
    ASSERT_TRUE(partivo.AssignDiscBySize(made.capacity));

    std::map<std::string, int> placed;  // source path -> discs it is on
    const int32_t discCount = partivo.GetDiscCount();
    for (int32_t index = 0; index < discCount; ++index) {
      const Record disc = partivo.GetDisc(static_cast<uint32_t>(index));
      EXPECT_EQ(disc.DiscIndex(), index);
      EXPECT_LE(disc.AlignedSize(), made.capacity);
      ExpectSumsBelow(disc);
      std::vector<Record> files;
      CollectFiles(disc, index, sortMode, files);
      int own = 0;
      for (const Record& file : files) {
        if (!made.everyDiscFolder.empty() &&
            file.SourcePath().rfind(made.everyDiscFolder + "/", 0) == 0) {
          continue;
        }
        ++placed[file.SourcePath()];
        ++own;
      }
      EXPECT_GT(own, 0) << "empty disc " << index;
      if (!made.everyDiscFolder.empty()) {
        EXPECT_EQ(static_cast<int>(files.size()) - own, 2);
      }
    }
    EXPECT_EQ(placed.size(), made.files.size());
    for (const std::string& file : made.files) EXPECT_EQ(placed[file], 1) << file;
    const uint64_t left = made.capacity - made.reserved;
    const uint64_t lowerBound = (made.alignedTotal + left - 1) / left;
    EXPECT_GE(static_cast<uint64_t>(discCount), lowerBound);
  }
}
