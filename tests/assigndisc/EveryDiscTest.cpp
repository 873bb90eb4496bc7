// Every-disc folders: their space is reserved first, and each disc receives
// records of its own for them.
#include <gtest/gtest.h>

#include "PartivoTestSupport.h"

using namespace partivo_test;

TEST(PartivoEveryDisc, ReservationUpToTheCapacityPasses) {
  TempDir dir;
  MakeFile(dir / "common/x", 1);
  MakeFile(dir / "common/sub/y", 2048);  // 4096 bytes aligned in all
  MakeFile(dir / "extra", 1);
  {
    Partivo partivo;
    partivo.AddItem(dir / "common", "common", ITEM_EVERY_DISC);
    LogCapture log;
    EXPECT_FALSE(partivo.AssignDiscBySize(4095));
    EXPECT_EQ(log.Text(), "");
  }
  {
    Partivo partivo;
    partivo.AddItem(dir / "common", "common", ITEM_EVERY_DISC);
    ASSERT_TRUE(partivo.AssignDiscBySize(4096));
    EXPECT_EQ(LayoutOf(partivo), (Layout{{"x", "y"}}));
  }
  Partivo partivo;  // nothing is left for any other file
  partivo.AddItem(dir / "common", "common", ITEM_EVERY_DISC);
  partivo.AddItem(dir / "extra", "extra", ITEM_OBJECT_1);
  EXPECT_FALSE(partivo.AssignDiscBySize(4096));
}

TEST(PartivoEveryDisc, EachDiscGetsACopyCountedInItsTotals) {
  TempDir dir;
  MakeFile(dir / "common/x", 1000);
  MakeFile(dir / "common/sub/y", 3000);
  for (const char* name : {"a", "b", "c"}) MakeFile(dir / "data/" + name, 5 * kMiB);
  Partivo partivo;
  partivo.SetSplitLevel(0);
  partivo.AddItem(dir / "common", "tools/common", ITEM_EVERY_DISC);
  partivo.AddItem(dir / "data", "data", ITEM_OBJECT_1);
  ASSERT_TRUE(partivo.AssignDiscBySize(8 * kMiB));
  ASSERT_EQ(partivo.GetDiscCount(), 3);
  const Record firstCopy = partivo.GetDisc(0).DirAt("tools/common");
  for (const Record& disc : partivo.Discs()) {
    SCOPED_TRACE(disc.DiscIndex());
    const Record common = disc.DirAt("tools/common");
    ASSERT_FALSE(common.IsNull());
    EXPECT_EQ(common.SourcePath(), dir / "common");
    EXPECT_EQ(common.FileTargets(),
              (std::vector<std::string>{"\\tools\\common\\x", "\\tools\\common\\sub\\y"}));
    EXPECT_EQ(disc.TotalFileCount(), 3);
    EXPECT_EQ(disc.TotalDirCount(), 4);  // data, tools, common, sub
    EXPECT_EQ(disc.AlignedSize(), 5 * kMiB + 2048 + 4096);
    EXPECT_EQ(common.DiscIndex(), disc.DiscIndex());
    if (disc.DiscIndex() > 0) {
      EXPECT_NE(common.Object(), firstCopy.Object());
    }
    ExpectSumsBelow(disc);
  }
}

// The reserved space holds the every-disc file, even when it is larger than
// what is left for everything else.
TEST(PartivoEveryDisc, LargeEveryDiscFileStillReachesEveryDisc) {
  TempDir dir;
  MakeFile(dir / "common/big", 6 * kMiB);
  MakeFile(dir / "data/a", 3 * kMiB);
  MakeFile(dir / "data/b", 3 * kMiB);
  Partivo partivo;
  partivo.AddItem(dir / "common", "common", ITEM_EVERY_DISC);
  partivo.AddItem(dir / "data", "data", ITEM_OBJECT_1);
  LogCapture log;
  ASSERT_TRUE(partivo.AssignDiscBySize(10 * kMiB));
  EXPECT_EQ(log.Text().find("to large"), std::string::npos);
  EXPECT_EQ(LayoutOf(partivo), (Layout{{"a", "big"}, {"b", "big"}}));
  for (const Record& disc : partivo.Discs()) EXPECT_LE(disc.AlignedSize(), 10 * kMiB);
}

TEST(PartivoEveryDisc, SourceThatIsNoFolderFailsWithRecord) {
  TempDir dir;
  MakeFile(dir / "plain.txt", 1);
  for (const std::string& source : {dir / "plain.txt", dir / "missing"}) {
    SCOPED_TRACE(source);
    Partivo partivo;
    partivo.AddItem(source, "common", ITEM_EVERY_DISC);
    LogCapture log;
    EXPECT_FALSE(partivo.AssignDiscBySize(kMiB));
    EXPECT_NE(log.Text().find("Exception; "), std::string::npos);
    EXPECT_EQ(partivo.GetDiscCount(), 0);
  }
}
