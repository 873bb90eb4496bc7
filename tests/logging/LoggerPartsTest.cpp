// The pure parts of the logger: names, header, helpers and retention rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "logging/LogFiles.h"
#include "logging/Logger.h"
#include "tests/logging/HostRunner.h"

namespace {

TEST(LoggedFunctionName, KeepsTheQualifiedNameAsWritten) {
  const std::pair<const char*, const char*> cases[] = {
      {"bool Wendrik::CUsbHotplug::StartMonitor()", "CUsbHotplug::StartMonitor"},
      {"int RPC_PTRobot_GetRobotInfo(handle_t, int32_t, RobotInfo*)", "RPC_PTRobot_GetRobotInfo"},
      {"virtual int32_t QLXSdk::CDraventImpl::Init(const char*) const", "CDraventImpl::Init"},
      {"Wendrik::CUsbHotplug::CUsbHotplug()", "CUsbHotplug::CUsbHotplug"},
      {"void {anonymous}::WriteRecord(int)", "WriteRecord"},
      {"void (anonymous namespace)::WriteRecord(int)", "WriteRecord"},
      {"static void QLXSdk::(anonymous namespace)::Helper::Run()", "Helper::Run"},
      {"const char* QLXSdk::LevelName(int)", "LevelName"},
      {"std::map<int, std::vector<int> > Foo::Bar(int)", "Foo::Bar"},
      {"T QLXSdk::CSingleton<T>::Instance() [with T = Wendrik::CUsbHotplug]",
       "CSingleton<T>::Instance"},
      {"bool Foo::operator()(int) const", "Foo::operator()"},
      {"bool Foo::operator<(const Foo&) const", "Foo::operator<"},
      {"Foo::operator bool() const", "Foo::operator bool"},
      {"Wendrik::CUsbHotplug::StartMonitor()::<lambda()>", "CUsbHotplug::StartMonitor"},
      {"int __cdecl Wendrik::CUsbRunnable::run(void)", "CUsbRunnable::run"},
      {"int main()", "main"},
  };
  for (const auto& [signature, name] : cases) {
    EXPECT_EQ(QLXSdk::LoggedFunctionName(signature), name) << signature;
  }
}

struct Probe {
  std::string Name() { return std::string(QLXSdk::LoggedFunctionName(QLX_FUNCTION_SIGNATURE)); }
};

TEST(LoggedFunctionName, ReadsThisCompilersSignatures) { EXPECT_EQ(Probe().Name(), "Probe::Name"); }

TEST(RecordParts, HeaderAndDailyFileName) {
  EXPECT_EQ(QLXSdk::FormatHeader(9, 5, 3, 4412, 5120, QLXSdk::LOG_ERROR),
            "09:05:03 [4412 5120] [ERROR] ");
  EXPECT_EQ(QLXSdk::FormatHeader(23, 59, 59, 1, 2, 0), "23:59:59 [1 2] [INFO] ");
  EXPECT_EQ(QLXSdk::DailyFileName("Dravent", 2026, 1, 5), "Dravent 2026-01-05.log");
}

TEST(FormatString, NothingIsTruncated) {
  for (size_t length : {0u, 1023u, 1024u, 5000u}) {
    std::string text(length, 'a');
    EXPECT_EQ(QLXSdk::FormatString("<%s>", text.c_str()), "<" + text + ">");
  }
}

TEST(SplitPath, SplitsAtTheLastSeparator) {
  struct Case {
    const char* path;
    bool result;
    const char* folder;
    const char* baseName;
    const char* extension;
  };
  const Case cases[] = {
      {"C:\\Program Files\\QLX\\Kestrane.exe", true, "C:\\Program Files\\QLX\\", "Kestrane",
       ".exe"},
      {"/opt/qlx/host", true, "/opt/qlx/", "host", "(unchanged)"},
      {"/opt/q.lx/a.b.exe", true, "/opt/q.lx/", "a.b", ".exe"},
      {"C:\\a/b\\c/d.exe", true, "C:\\a/b\\", "c/d", ".exe"},
      {"/", true, "/", "", "(unchanged)"},
      {"host.exe", false, "(unchanged)", "(unchanged)", "(unchanged)"},
  };
  for (const Case& c : cases) {
    std::string extension = "(unchanged)", baseName = "(unchanged)", folder = "(unchanged)";
    EXPECT_EQ(QLXSdk::SplitPath(c.path, extension, baseName, folder), c.result) << c.path;
    EXPECT_EQ(folder, c.folder) << c.path;
    EXPECT_EQ(baseName, c.baseName) << c.path;
    EXPECT_EQ(extension, c.extension) << c.path;
  }
}

TEST(SplitModulePath, NamesThisExecutable) {
  std::string extension, baseName, folder;
  ASSERT_TRUE(QLXSdk::SplitModulePath(extension, baseName, folder));
  EXPECT_EQ(baseName, "logging_parts_test");
  EXPECT_EQ(folder, std::string(QLX_TEST_BIN_DIR) + "/");
}

TEST(MakeDirs, CreatesEveryMissingParent) {
  qlx::test::TempFolder folder;
  qlx::test::WriteFile(folder / "file", "x");
  const std::string base = folder.path();
  struct Case {
    std::string path;
    bool result;
    std::string created;
  };
  const Case cases[] = {
      {base + "/a/b/c", true, base + "/a/b/c"},
      {base + "\\d\\e", true, base + "/d/e"},
      {base + "/f/g/", true, base + "/f/g"},
      {base + "/a/b", true, base + "/a/b"},
      {base + "/file/x", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QLXSdk::MakeDirs(c.path), c.result) << c.path;
    if (!c.created.empty()) {
      EXPECT_TRUE(std::filesystem::is_directory(c.created)) << c.path;
    }
  }
  EXPECT_TRUE(QLXSdk::MakeDirs(base + "/file")) << "an existing file counts as existing";
}

TEST(Retention, KeepListHoldsTodayAndThe29DaysBefore) {
  std::vector<std::string> keep = QLXSdk::RetentionKeepList("M", time(nullptr), 30);
  ASSERT_EQ(keep.size(), 30u);
  EXPECT_EQ(keep.front(), qlx::test::DailyName("M", 0));
  EXPECT_EQ(keep.back(), qlx::test::DailyName("M", 29));
}

TEST(Retention, ClassifiesOnlyTheModulesOwnDailyFiles) {
  using QLXSdk::RetentionVerdict;
  const std::vector<std::string> keep = {"Dravent 2026-12-11.log", "Dravent 2026-12-10.log"};
  const std::pair<const char*, RetentionVerdict> cases[] = {
      {"Dravent 2026-12-11.log", RetentionVerdict::kRecent},
      {"DRAVENT 2026-12-10.LOG", RetentionVerdict::kRecent},
      {"Dravent 2026-11-11.log", RetentionVerdict::kExpired},
      {"dravent 2020-01-01.Log", RetentionVerdict::kExpired},
      {"Dravent.log", RetentionVerdict::kNotOurs},
      {"DraventTest 2020-01-01.log", RetentionVerdict::kNotOurs},
      {"Dravent 2020-01-01 (2).log", RetentionVerdict::kNotOurs},
      {"Dravent 2020-1-01.log", RetentionVerdict::kNotOurs},
      {"Dravent 2020-01-01.logx", RetentionVerdict::kNotOurs},
      {"Dravent_2020-01-01.log", RetentionVerdict::kNotOurs},
  };
  for (const auto& [name, verdict] : cases) {
    EXPECT_EQ(QLXSdk::ClassifyLogFile(name, "Dravent", keep), verdict) << name;
  }
}

}  // namespace
