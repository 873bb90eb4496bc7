// The plug-in as the burning service sees it: one export, both interfaces
// by slot position, and the fields of every kind of record.
#include <gtest/gtest.h>

#include <ctime>
#include <set>
#include <sstream>

#include "PartivoTestSupport.h"

using namespace partivo_test;

TEST(PartivoExport, ExportsOnlyCreatePartivo) {
  int exitCode = -1;
  const std::string symbols =
      RunCommand("nm -D --defined-only '" + std::string(QLX_BIN_DIR) + "/Partivo.dll'", &exitCode);
  if (exitCode != 0) GTEST_SKIP() << "nm is not available";
  std::set<std::string> names;
  std::istringstream lines(symbols);
  for (std::string line; std::getline(lines, line);) {
    names.insert(line.substr(line.rfind(' ') + 1));
  }
  EXPECT_EQ(names, std::set<std::string>{"CreatePartivo"});
}

TEST(PartivoExport, EveryCallMakesAnIndependentObject) {
  Partivo first;
  Partivo second;
  first.AddItem("/nonexistent", "x", ITEM_OBJECT_1);
  EXPECT_TRUE(second.AssignDiscBySize(kMiB));
  EXPECT_EQ(second.GetDiscCount(), 1);
  EXPECT_EQ(first.GetDiscCount(), 0);
}

TEST(PartivoExport, FreshObjectHasNoDiscs) {
  Partivo partivo;
  EXPECT_EQ(partivo.GetDiscCount(), 0);
  EXPECT_TRUE(partivo.GetDisc(0).IsNull());
}

TEST(PartivoRecords, FileRecordsRoundToSectorsAndReportTheirFields) {
  TempDir dir;
  const int64_t modified = 1600000000;
  const struct {
    const char* name;
    uint64_t size;
    uint64_t aligned;
  } cases[] = {{"a0", 0, 0}, {"b1", 1, 2048}, {"c2048", 2048, 2048}, {"d2049", 2049, 4096}};
  for (const auto& c : cases) MakeFile(dir / "in/" + c.name, c.size, modified);

  Partivo partivo;
  partivo.SetSplitLevel(0);  // the input's folder record itself goes onto the disc
  partivo.AddItem(dir / "in", "data", ITEM_OBJECT_1);
  const int64_t before = std::time(nullptr);
  ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
  ASSERT_EQ(partivo.GetDiscCount(), 1);

  const Record disc = partivo.GetDisc(0);
  EXPECT_EQ(disc.Type(), ASSIGN_TYPE_DISC);
  EXPECT_EQ(disc.Name(), "");
  EXPECT_EQ(disc.TargetPath(), "");
  EXPECT_EQ(disc.DiscIndex(), 0);
  EXPECT_EQ(disc.Size(), 0u + 1 + 2048 + 2049);
  EXPECT_EQ(disc.AlignedSize(), 0u + 2048 + 2048 + 4096);
  EXPECT_EQ(disc.TotalFileCount(), 4);
  EXPECT_EQ(disc.TotalDirCount(), 1);
  EXPECT_GE(disc.CreateTime(), before - 1);
  EXPECT_LE(disc.CreateTime(), std::time(nullptr));

  const Record folder = disc.DirAt("data");
  ASSERT_FALSE(folder.IsNull());
  EXPECT_EQ(folder.Type(), ASSIGN_TYPE_DIR);
  EXPECT_EQ(folder.TargetPath(), "\\data");
  EXPECT_EQ(folder.ParentPath(), "");
  EXPECT_EQ(folder.SourcePath(), dir / "in");
  ASSERT_EQ(folder.FileCount(), 4);
  EXPECT_TRUE(folder.File(4).IsNull());
  EXPECT_TRUE(folder.File(0xFFFFFFFFu).IsNull());
  EXPECT_TRUE(folder.Dir(0).IsNull());
  EXPECT_TRUE(folder.Dir(0xFFFFFFFFu).IsNull());

  for (size_t i = 0; i < 4; ++i) {
    const Record file = folder.File(static_cast<uint32_t>(i));
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(file.Type(), ASSIGN_TYPE_FILE);
    EXPECT_EQ(file.Name(), cases[i].name);
    EXPECT_EQ(file.SourcePath(), dir / "in/" + cases[i].name);
    EXPECT_EQ(file.TargetPath(), std::string("\\data\\") + cases[i].name);
    EXPECT_EQ(file.ParentPath(), "\\data");
    EXPECT_EQ(file.Size(), cases[i].size);
    EXPECT_EQ(file.AlignedSize(), cases[i].aligned);
    EXPECT_EQ(file.ModifyTime(), modified);
    EXPECT_GE(file.CreateTime(), before - 1);
    EXPECT_EQ(file.FileCount(), -1);
    EXPECT_EQ(file.DirCount(), -1);
    EXPECT_TRUE(file.File(0).IsNull());
    EXPECT_EQ(file.TotalFileCount(), 0);
    EXPECT_EQ(file.DiscIndex(), 0);
  }
}

TEST(PartivoRecords, OutOfRangeDiscIsNull) {
  Partivo partivo;
  ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
  EXPECT_FALSE(partivo.GetDisc(0).IsNull());
  EXPECT_TRUE(partivo.GetDisc(1).IsNull());
  EXPECT_TRUE(partivo.GetDisc(0xFFFFFFFFu).IsNull());
}

TEST(PartivoAssign, NoItemsGiveOneEmptyDisc) {
  Partivo partivo;
  ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
  ASSERT_EQ(partivo.GetDiscCount(), 1);
  const Record disc = partivo.GetDisc(0);
  EXPECT_EQ(disc.FileCount(), 0);
  EXPECT_EQ(disc.DirCount(), 0);
  EXPECT_EQ(disc.AlignedSize(), 0u);
}

TEST(PartivoAssign, UnknownDiscTypeFailsWithRecord) {
  Partivo partivo;
  LogCapture log;
  EXPECT_FALSE(partivo.AssignDiscByDisc(9));
  const std::string text = log.Text();
  EXPECT_NE(text.find("[CPartivoImpl::AssignDiscByDisc ("), std::string::npos) << text;
  EXPECT_NE(text.find(")] get disc max size fail. disc: 9"), std::string::npos) << text;
  EXPECT_EQ(partivo.GetDiscCount(), 0);
}

TEST(PartivoAssign, KnownDiscTypeAssigns) {
  Partivo partivo;
  EXPECT_TRUE(partivo.AssignDiscByDisc(DVD));
  EXPECT_EQ(partivo.GetDiscCount(), 1);
}
