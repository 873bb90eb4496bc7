// Building the input tree: target paths, folder items, the file-system walk
// and the failures an assignment reports.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "PartivoTestSupport.h"

using namespace partivo_test;

namespace {

// True when any folder below `record` is named "." or "..".
bool HasDotFolder(const Record& record) {
  for (const Record& dir : record.Dirs()) {
    if (dir.Name() == "." || dir.Name() == ".." || HasDotFolder(dir)) return true;
  }
  return false;
}

std::vector<std::string> AllFileTargets(Partivo& partivo) {
  std::vector<std::string> targets;
  for (const Record& disc : partivo.Discs()) {
    for (const std::string& target : disc.FileTargets()) targets.push_back(target);
  }
  return targets;
}

}  // namespace

TEST(PartivoInputTree, FileItemTargetPaths) {
  TempDir dir;
  const std::string source = dir / "src/report.pdf";
  MakeFile(source, 10);
  const struct {
    const char* target;
    const char* expected;
  } cases[] = {
      {"docs/report.pdf", "\\docs\\report.pdf"},
      {"docs\\sub\\r.pdf", "\\docs\\sub\\r.pdf"},
      {"docs/", "\\report.pdf"},  // parent of a folder path is the folder above
      {"\\", "\\report.pdf"},
      {"new.pdf", "\\new.pdf"},
      {" a /x.txt", "\\a\\x.txt"},  // names trimmed
      {"", "\\report.pdf"},
      {nullptr, "\\report.pdf"},
      {"../x.pdf", "\\x.pdf"},
      {"a/../../b/x.pdf", "\\b\\x.pdf"},
      {"x/..", "\\x\\report.pdf"},
      {"./y/./z.pdf", "\\y\\z.pdf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target ? c.target : "(null)");
    Partivo partivo;
    partivo.AddItem(source.c_str(), c.target, ITEM_OBJECT_1);
    ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
    EXPECT_EQ(AllFileTargets(partivo), std::vector<std::string>{c.expected});
    EXPECT_FALSE(HasDotFolder(partivo.GetDisc(0)));
  }
}

TEST(PartivoInputTree, ImpliedFoldersAreCaseSensitive) {
  TempDir dir;
  MakeFile(dir / "x.txt", 1);
  MakeFile(dir / "y.txt", 1);
  Partivo partivo;
  partivo.AddItem(dir / "x.txt", "a/x.txt", ITEM_OBJECT_2);
  partivo.AddItem(dir / "y.txt", "A/y.txt", ITEM_OBJECT_1);
  ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
  const Record disc = partivo.GetDisc(0);
  ASSERT_EQ(disc.DirCount(), 2);
  EXPECT_EQ(disc.DirAt("a").FileTargets(), std::vector<std::string>{"\\a\\x.txt"});
  EXPECT_EQ(disc.DirAt("A").FileTargets(), std::vector<std::string>{"\\A\\y.txt"});
  EXPECT_EQ(disc.DirAt("a").SourcePath(), "");
}

TEST(PartivoInputTree, FolderItemTargets) {
  TempDir dir;
  MakeFile(dir / "pics/a.jpg", 1);
  MakeFile(dir / "pics/2019/b.jpg", 1);
  const struct {
    const char* target;
    std::vector<std::string> expected;
  } cases[] = {
      {"backup/photos", {"\\backup\\photos\\a.jpg", "\\backup\\photos\\2019\\b.jpg"}},
      {"backup/", {"\\a.jpg", "\\2019\\b.jpg"}},       // the folder above "backup", unnamed
      {"\\", {"\\a.jpg", "\\2019\\b.jpg"}},            // contents at the root
      {"", {"\\pics\\a.jpg", "\\pics\\2019\\b.jpg"}},  // under its own name
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    Partivo partivo;
    partivo.SetSplitLevel(0);
    partivo.AddItem(dir / "pics", c.target, ITEM_OBJECT_1);
    ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
    EXPECT_EQ(AllFileTargets(partivo), c.expected);
  }
}

TEST(PartivoInputTree, SourceNamesEndingInDotsResolve) {
  TempDir dir;
  MakeFile(dir / "pics/a.jpg", 1);
  MakeFile(dir / "pics/2019/b.jpg", 1);
  for (const std::string& source : {dir / "pics/2019/..", dir / "pics/.", dir / "pics/"}) {
    SCOPED_TRACE(source);
    Partivo partivo;
    partivo.AddItem(source, "", ITEM_OBJECT_1);
    ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
    EXPECT_EQ(AllFileTargets(partivo),
              (std::vector<std::string>{"\\pics\\a.jpg", "\\pics\\2019\\b.jpg"}));
    EXPECT_FALSE(HasDotFolder(partivo.GetDisc(0)));
  }
}

TEST(PartivoInputTree, FolderAtImageRootKeepsSourceNameAndEmptyTarget) {
  TempDir dir;
  MakeFile(dir / "pics/a.jpg", 1);
  Partivo partivo;
  partivo.SetSplitLevel(0);  // places the folder record itself
  partivo.AddItem(dir / "pics", "\\", ITEM_OBJECT_1);
  ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
  const Record folder = partivo.GetDisc(0).Dir(0);
  ASSERT_FALSE(folder.IsNull());
  EXPECT_EQ(folder.Name(), "pics");
  EXPECT_EQ(folder.TargetPath(), "");
  EXPECT_EQ(folder.SourcePath(), dir / "pics");
}

TEST(PartivoInputTree, FolderItemsMakeFoldersAndOtherFlagsAreIgnored) {
  TempDir dir;
  MakeFile(dir / "f.txt", 1);
  Partivo partivo;
  partivo.SetSplitLevel(0);
  partivo.AddItem(nullptr, "empty/deeper", ITEM_FOLDER);
  partivo.AddItem((dir / "f.txt").c_str(), "ignored.txt", 0x08);
  ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
  const Record disc = partivo.GetDisc(0);
  EXPECT_FALSE(disc.DirAt("empty/deeper").IsNull());
  EXPECT_EQ(disc.TotalFileCount(), 0);
  EXPECT_EQ(disc.TotalDirCount(), 2);
}

TEST(PartivoInputTree, LongAndNonAsciiPathsAreKeptWhole) {
  TempDir dir;
  const std::string longName(200, 'n');
  const std::string source = dir / longName + "/" + longName + "/caf\xc3\xa9.txt";
  MakeFile(source, 5);
  const std::string target = longName + "/" + longName + "/" + longName + "/na\xc3\xafve.txt";
  Partivo partivo;
  partivo.AddItem(source, target, ITEM_OBJECT_1);
  ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
  const std::vector<std::string> targets = AllFileTargets(partivo);
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_EQ(targets[0], "\\" + longName + "\\" + longName + "\\" + longName + "\\na\xc3\xafve.txt");
  const Record file = partivo.GetDisc(0).DirAt(longName + "/" + longName + "/" + longName).File(0);
  EXPECT_EQ(file.SourcePath(), source);
}

TEST(PartivoInputTree, FileTooLargeForCapacity) {
  TempDir dir;
  MakeFile(dir / "f.bin", 2049);
  {
    Partivo partivo;
    partivo.AddItem(dir / "f.bin", "f.bin", ITEM_OBJECT_1);
    LogCapture log;
    EXPECT_FALSE(partivo.AssignDiscBySize(2048));
    const std::string text = log.Text();
    EXPECT_NE(text.find("[CPartivoImpl::InsertFile ("), std::string::npos) << text;
    EXPECT_NE(text.find(")] file is to large, can not burn, split disc fail. " + dir / "f.bin"),
              std::string::npos)
        << text;
  }
  Partivo partivo;
  partivo.AddItem(dir / "f.bin", "f.bin", ITEM_OBJECT_1);
  EXPECT_TRUE(partivo.AssignDiscBySize(4096));
}

TEST(PartivoInputTree, TooLargeOrDanglingEntriesOfAFolderAreLeftOut) {
  TempDir dir;
  MakeFile(dir / "in/small", 10);
  MakeFile(dir / "in/huge", 8192);
  ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "in/dangling").c_str()), 0);
  Partivo partivo;
  partivo.AddItem(dir / "in", "in", ITEM_OBJECT_1);
  LogCapture log;
  ASSERT_TRUE(partivo.AssignDiscBySize(4096));
  EXPECT_NE(log.Text().find("file is to large"), std::string::npos);
  EXPECT_EQ(AllFileTargets(partivo), std::vector<std::string>{"\\in\\small"});
}

TEST(PartivoInputTree, SymbolicLinkCycleIsNotEnteredAgain) {
  TempDir dir;
  MakeFile(dir / "top/a.txt", 1);
  MakeFile(dir / "top/sub/b.txt", 1);
  ASSERT_EQ(symlink((dir / "top").c_str(), (dir / "top/sub/loop").c_str()), 0);
  for (int32_t flags : {ITEM_OBJECT_1, ITEM_EVERY_DISC}) {
    SCOPED_TRACE(flags);
    Partivo partivo;
    partivo.AddItem(dir / "top", "top", flags);
    ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
    EXPECT_EQ(AllFileTargets(partivo),
              (std::vector<std::string>{"\\top\\a.txt", "\\top\\sub\\b.txt"}));
  }
}

// Failures of the file system or of the path end the call with false and one
// record; the object stays usable.
TEST(PartivoInputTree, FailuresReturnFalseWithOneRecord) {
  TempDir dir;
  MakeFile(dir / "good.txt", 1);
  const struct {
    std::string source;
    const char* target;
    const char* expected;
  } cases[] = {
      {dir / "missing.txt", "m.txt", "Exception; File not found: "},
      {dir / "good.txt", "C:", "Exception; Bad path syntax: C:"},
      {dir / "good.txt", "a:b/c", "Exception; Bad path syntax"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    Partivo partivo;
    partivo.AddItem(dir / "good.txt", "first.txt", ITEM_OBJECT_1);
    partivo.AddItem(c.source, c.target, ITEM_OBJECT_1);
    LogCapture log;
    EXPECT_FALSE(partivo.AssignDiscBySize(kMiB));
    const std::string text = log.Text();
    EXPECT_NE(text.find("[CPartivoImpl::GuardedAssign ("), std::string::npos) << text;
    EXPECT_NE(text.find(c.expected), std::string::npos) << text;
    EXPECT_EQ(partivo.GetDiscCount(), 0);
  }
}

// What an unreadable folder does: left out inside a folder item, a failed
// assignment as the item itself. Returns what went wrong, empty when nothing.
std::string CheckUnreadableFolders(const TempDir& dir) {
  Partivo partivo;
  partivo.AddItem(dir / "in", "in", ITEM_OBJECT_1);
  if (!partivo.AssignDiscBySize(kMiB)) return "assignment with an unreadable subfolder failed";
  if (AllFileTargets(partivo) != std::vector<std::string>{"\\in\\ok.txt"}) return "wrong files";
  if (partivo.GetDisc(0).TotalDirCount() != 1) return "unreadable folder counted";
  Partivo closed;
  closed.AddItem(dir / "in/closed", "c", ITEM_OBJECT_1);
  if (closed.AssignDiscBySize(kMiB)) return "unreadable folder item assigned";
  return "";
}

TEST(PartivoInputTree, UnreadableSubfolderIsLeftOutAndUnreadableItemFails) {
  TempDir dir;
  MakeFile(dir / "in/ok.txt", 1);
  MakeFile(dir / "in/closed/x.txt", 1);
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
  ASSERT_EQ(chmod((dir / "in/closed").c_str(), 0), 0);
  if (geteuid() != 0) {
    EXPECT_EQ(CheckUnreadableFolders(dir), "");
    return;
  }
  // Permissions do not bind the superuser: check as an unprivileged child.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    const std::string problem = CheckUnreadableFolders(dir);
    if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
    _exit(problem.empty() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(PartivoInputTree, DriveRootContentsGoIntoTheTargetFolder) {
  TempDir dir;
  MakeFile(dir / "E:/a.txt", 1);
  MakeFile(dir / "E:/sub/b.txt", 1);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());  // "E:/" names the folder "E:" here
  Partivo partivo;
  partivo.AddItem("E:/", "x/y", ITEM_OBJECT_1);
  const bool assigned = partivo.AssignDiscBySize(kMiB);
  std::filesystem::current_path(previous);
  ASSERT_TRUE(assigned);
  EXPECT_EQ(AllFileTargets(partivo), (std::vector<std::string>{"\\x\\a.txt", "\\x\\sub\\b.txt"}));
  EXPECT_TRUE(partivo.GetDisc(0).DirAt("x/y").IsNull());
}

TEST(PartivoInputTree, SecondAssignmentStartsAfresh) {
  TempDir dir;
  for (const char* name : {"a", "b", "c"}) MakeFile(dir / "in" + "/" + name, 600 * 1024);
  Partivo partivo;
  partivo.AddItem(dir / "in", "in", ITEM_OBJECT_1);
  ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
  const Layout first = LayoutOf(partivo);
  const Record firstDisc = partivo.GetDisc(0);
  ASSERT_TRUE(partivo.AssignDiscBySize(kMiB));
  EXPECT_EQ(LayoutOf(partivo), first);
  EXPECT_EQ(partivo.GetDisc(0).TotalFileCount(), 1);
  ASSERT_TRUE(partivo.AssignDiscBySize(4 * kMiB));

  Partivo fresh;
  fresh.AddItem(dir / "in", "in", ITEM_OBJECT_1);
  ASSERT_TRUE(fresh.AssignDiscBySize(4 * kMiB));
  EXPECT_EQ(LayoutOf(partivo), LayoutOf(fresh));
  EXPECT_EQ(partivo.GetDisc(0).TotalFileCount(), 3);
  EXPECT_EQ(firstDisc.TotalFileCount(), 1);  // an earlier result stays readable
}

TEST(PartivoInputTree, ImpliedFolderTimeIsLocalWallClock) {
  TempDir dir;
  MakeFile(dir / "f.txt", 1, 1500000000);
  const char* previous = std::getenv("TZ");
  const std::string saved = previous ? previous : "";
  setenv("TZ", "UTC-8", 1);  // eight hours ahead of UTC, no daylight saving
  tzset();
  Partivo partivo;
  partivo.AddItem(dir / "f.txt", "implied/f.txt", ITEM_OBJECT_1);
  const bool assigned = partivo.AssignDiscBySize(kMiB);
  previous ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
  tzset();
  ASSERT_TRUE(assigned);
  const Record folder = partivo.GetDisc(0).DirAt("implied");
  EXPECT_NEAR(folder.ModifyTime() - folder.CreateTime(), 8 * 3600, 1);
  EXPECT_EQ(folder.File(0).ModifyTime(), 1500000000);
}
