// Placement over discs: next fit, split level, whole folders, sort modes and
// disc indexes.
#include <gtest/gtest.h>

#include <set>

#include "PartivoTestSupport.h"

using namespace partivo_test;

namespace {

struct SizedFile {
  std::string path;  // relative to the test's folder
  uint64_t size;
};

Layout Assign(const std::vector<SizedFile>& files, const std::string& item, uint64_t capacity,
              int32_t splitLevel = 1) {
  TempDir dir;
  for (const SizedFile& file : files) MakeFile(dir / file.path, file.size);
  Partivo partivo;
  partivo.SetSplitLevel(splitLevel);
  partivo.AddItem(dir / item, item, ITEM_OBJECT_1);
  EXPECT_TRUE(partivo.AssignDiscBySize(capacity));
  for (const Record& disc : partivo.Discs()) ExpectSumsBelow(disc);
  return LayoutOf(partivo);
}

}  // namespace

TEST(PartivoNextFit, OnlyTheNewestDiscIsOffered) {
  EXPECT_EQ(Assign({{"d/alpha", 60 * kMiB}, {"d/beta", 50 * kMiB}, {"d/gamma", 30 * kMiB}}, "d",
                   100 * kMiB),
            (Layout{{"alpha"}, {"beta", "gamma"}}));
}

TEST(PartivoNextFit, ReachingTheCapacityExactlyStartsANewDisc) {
  EXPECT_EQ(Assign({{"d/a", 60 * kMiB}, {"d/b", 40 * kMiB}}, "d", 100 * kMiB),
            (Layout{{"a"}, {"b"}}));
}

// A disc without files takes any file that passed the size check, so no
// empty disc appears in front of it.
TEST(PartivoNextFit, FileOfExactlyTheCapacityFillsTheFirstDisc) {
  EXPECT_EQ(Assign({{"d/big", 100 * kMiB}, {"d/small", kMiB}}, "d", 100 * kMiB),
            (Layout{{"big"}, {"small"}}));
  EXPECT_EQ(Assign({{"d/e1", 0}, {"d/e2", 0}, {"d/e3", 0}}, "d", 0),
            (Layout{{"e1"}, {"e2"}, {"e3"}}));
}

TEST(PartivoSplitLevel, EachSubfolderOfTheItemBeginsADisc) {
  const std::vector<SizedFile> withOwnFiles = {
      {"p/f1", 1}, {"p/f2", 1}, {"p/2019/a", 1}, {"p/2019/b", 1}, {"p/2020/c", 1}};
  EXPECT_EQ(Assign(withOwnFiles, "p", kMiB), (Layout{{"f1", "f2"}, {"a", "b"}, {"c"}}));
  const std::vector<SizedFile> withoutOwnFiles = {{"p/2019/a", 1}, {"p/2020/c", 1}};
  EXPECT_EQ(Assign(withoutOwnFiles, "p", kMiB), (Layout{{"a"}, {"c"}}));
  const std::vector<SizedFile> deeper = {{"p/2019/x/a", 1}, {"p/2019/y/b", 1}, {"p/2020/c", 1}};
  EXPECT_EQ(Assign(deeper, "p", kMiB), (Layout{{"a", "b"}, {"c"}}));
  EXPECT_EQ(Assign(deeper, "p", kMiB, 2), (Layout{{"a"}, {"b", "c"}}));
}

// A disc is opened for a split folder only when a file goes onto it.
TEST(PartivoSplitLevel, EmptySubfoldersOpenNoDisc) {
  TempDir dir;
  MakeFile(dir / "p/f1", 1);
  MakeDir(dir / "p/2019");
  MakeDir(dir / "p/2020/empty");
  MakeFile(dir / "p/2021/c", 1);
  Partivo partivo;
  partivo.AddItem(dir / "p", "p", ITEM_OBJECT_1);
  partivo.AddItem(nullptr, "made/by/item", ITEM_FOLDER);
  ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
  EXPECT_EQ(LayoutOf(partivo), (Layout{{"f1"}, {"c"}}));
  EXPECT_TRUE(partivo.GetDisc(0).DirAt("made").IsNull());
}

TEST(PartivoWholeFolder, FittingFoldersArePlacedWhole) {
  TempDir dir;
  MakeFile(dir / "r/A/a1", 1 * kMiB);
  MakeFile(dir / "r/A/a2", 2 * kMiB);
  MakeFile(dir / "r/B/b1", 4 * kMiB);
  MakeFile(dir / "r/B/b2", 4 * kMiB);
  MakeFile(dir / "r/C/c1", 1 * kMiB);
  for (int32_t level : {0, -3}) {
    SCOPED_TRACE(level);
    Partivo partivo;
    partivo.SetSplitLevel(level);
    partivo.AddItem(dir / "r", "r", ITEM_OBJECT_1);
    ASSERT_TRUE(partivo.AssignDiscBySize(10 * kMiB));
    EXPECT_EQ(LayoutOf(partivo), (Layout{{"a1", "a2", "b1"}, {"b2", "c1"}}));
    // Whole folders are the input's own records (with their source);
    // folders made on a disc have none.
    EXPECT_EQ(partivo.GetDisc(0).DirAt("r/A").SourcePath(), dir / "r/A");
    EXPECT_EQ(partivo.GetDisc(0).DirAt("r/B").SourcePath(), "");
    EXPECT_EQ(partivo.GetDisc(1).DirAt("r/C").SourcePath(), dir / "r/C");
    for (const Record& disc : partivo.Discs()) ExpectSumsBelow(disc);
  }
}

TEST(PartivoSort, ModesOrderFilesAndFolders) {
  TempDir dir;
  // Inserted as items in this order; sizes and times differ per name.
  const struct {
    const char* name;
    uint64_t size;
    int64_t modified;
  } files[] = {{"b", 5000, 300}, {"A", 1000, 200}, {"\xc3\xa9", 7000, 100}, {"a", 2100, 400}};
  for (const auto& file : files) MakeFile(dir / "src/" + file.name, file.size, file.modified);
  MakeFile(dir / "Zeta/z", 1);
  MakeFile(dir / "alpha/y", 1);

  const struct {
    int32_t mode;
    std::vector<std::set<std::string>> order;  // names within a set: any order
  } cases[] = {
      {SORT_BY_NAME, {{"\xc3\xa9"}, {"A", "a"}, {"b"}, {"y"}, {"z"}}},
      {SORT_BY_SIZE, {{"A"}, {"a"}, {"b"}, {"\xc3\xa9"}, {"y", "z"}}},
      {SORT_BY_TIME, {{"\xc3\xa9"}, {"A"}, {"b"}, {"a"}}},
      {7, {{"b"}, {"A"}, {"\xc3\xa9"}, {"a"}, {"z"}, {"y"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    Partivo partivo;
    partivo.SetSortMode(c.mode);
    for (const auto& file : files) {
      partivo.AddItem(dir / "src/" + file.name, std::string("d/") + file.name, ITEM_OBJECT_1);
    }
    partivo.AddItem(dir / "Zeta", "d/Zeta", ITEM_OBJECT_1);
    partivo.AddItem(dir / "alpha", "d/alpha", ITEM_OBJECT_1);
    ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
    const Layout layout = LayoutOf(partivo);
    ASSERT_EQ(layout.size(), 1u);
    std::vector<std::set<std::string>> order;
    size_t next = 0;
    for (const std::set<std::string>& group : c.order) {
      order.emplace_back();
      while (order.back().size() < group.size() && next < layout[0].size()) {
        order.back().insert(layout[0][next++]);
      }
    }
    EXPECT_EQ(order, c.order);
  }
}

TEST(PartivoDiscIndex, RecordsCarryTheirDisc) {
  TempDir dir;
  for (const char* name : {"a", "b", "c", "d"}) MakeFile(dir / "d/sub/" + name, 3 * kMiB);
  Partivo partivo;
  partivo.AddItem(dir / "d", "d", ITEM_OBJECT_1);
  ASSERT_TRUE(partivo.AssignDiscBySize(4 * kMiB));
  ASSERT_EQ(partivo.GetDiscCount(), 4);
  for (int32_t index = 0; index < 4; ++index) {
    const Record disc = partivo.GetDisc(static_cast<uint32_t>(index));
    EXPECT_EQ(disc.DiscIndex(), index);
    const Record sub = disc.DirAt("d/sub");
    ASSERT_FALSE(sub.IsNull());
    EXPECT_EQ(sub.DiscIndex(), index);
    EXPECT_EQ(sub.File(0).DiscIndex(), index);
  }
}
