// The logger end to end: a host program run from a temporary program folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/logging/HostRunner.h"

namespace {

using qlx::test::DailyName;
using qlx::test::Exists;
using qlx::test::HostProcess;
using qlx::test::ListFiles;
using qlx::test::ReadFile;
using qlx::test::TempFolder;
using qlx::test::WriteFile;

const std::string kNarrowHost = std::string(QLX_TEST_BIN_DIR) + "/LogHost";
const std::string kWideHost = std::string(QLX_TEST_BIN_DIR) + "/LogHostW";

std::vector<std::string> Records(const std::string& content) {
  std::vector<std::string> records;
  size_t start = 0;
  for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2) {
    records.push_back(content.substr(start, end - start));
  }
  EXPECT_EQ(start, content.size()) << "content does not end in CRLF";
  return records;
}

class LoggerHostTest : public ::testing::Test {
 protected:
  std::string TodayFile(const std::string& module = "LogHost", const std::string& dir = "Log") {
    return folder / (dir + "/" + DailyName(module, 0));
  }
  void Configure(const std::string& content) { WriteFile(folder / "qlxlogger.cfg", content); }

  TempFolder folder;
};

TEST_F(LoggerHostTest, RecordHeaderFormAndLevelNames) {
  Configure("[config]\nlog_level = 1\nprint_flag = 1\n");
  {
    HostProcess host(kNarrowHost, folder, "LogHost.exe");
    for (int level = 0; level <= 7; ++level) {
      host.Command("write " + std::to_string(level) + " level " + std::to_string(level));
    }
  }
  std::vector<std::string> records = Records(ReadFile(TodayFile()));
  const char* const kNames[] = {"TRACE", "DEBUG", "INFO", "WARN", "ERROR", "FATAL", "INFO"};
  ASSERT_EQ(records.size(), 7u);
  for (int level = 1; level <= 7; ++level) {
    std::regex form(R"(\d\d:\d\d:\d\d \[(\d+) (\d+)\] \[)" + std::string(kNames[level - 1]) +
                    R"(\] \[WriteRecord \(\d+\)\] level )" + std::to_string(level));
    std::smatch ids;
    ASSERT_TRUE(std::regex_match(records[level - 1], ids, form)) << records[level - 1];
    EXPECT_EQ(ids[1], ids[2]) << "the main thread's id equals the process id";
  }
}

TEST_F(LoggerHostTest, DefaultThresholdDropsTraceDebugAndLevelZero) {
  {
    HostProcess host(kNarrowHost, folder, "LogHost.exe");
    for (int level = 0; level <= 7; ++level) host.Command("write " + std::to_string(level) + " x");
  }
  std::vector<std::string> records = Records(ReadFile(TodayFile()));
  ASSERT_EQ(records.size(), 5u);
  EXPECT_NE(records[0].find("[INFO]"), std::string::npos);
  EXPECT_NE(records[4].find("[INFO]"), std::string::npos) << "level 7 prints as INFO";
}

TEST_F(LoggerHostTest, MessageWrittenUnchangedWithExactlyOneCrlf) {
  {
    HostProcess host(kNarrowHost, folder, "LogHost.exe");
    host.Command("write 3 a\\nb\\r\\n");
  }
  std::string content = ReadFile(TodayFile());
  EXPECT_EQ(content.substr(content.rfind("] a")), "] a\nb\r\n\r\n");
}

TEST(LoggerPrintFlag, EachBitSelectsOneSink) {
  for (int flag = 0; flag <= 7; ++flag) {
    SCOPED_TRACE("print_flag = " + std::to_string(flag));
    TempFolder folder;
    WriteFile(folder / "qlxlogger.cfg", "[config]\nprint_flag = " + std::to_string(flag) + "\n");
    std::string console;
    {
      HostProcess host(kNarrowHost, folder, "LogHost.exe");
      console = host.Command("write 3 hello sinks");
    }
    bool inFile = ReadFile(folder / ("Log/" + DailyName("LogHost", 0))).find("hello sinks") !=
                  std::string::npos;
    bool inDebugger = ReadFile(folder / "debug.txt").find("hello sinks\r\n") != std::string::npos;
    EXPECT_EQ(inFile, (flag & 1) != 0);
    EXPECT_EQ(console.find("hello sinks\r\n") != std::string::npos, (flag & 2) != 0);
    EXPECT_EQ(inDebugger, (flag & 4) != 0);
  }
}

TEST_F(LoggerHostTest, SetModuleNameNamesLaterFiles) {
  {
    HostProcess host(kNarrowHost, folder, "LogHost.exe");
    host.Command("write 3 before");
    host.Command("module Dravent");
    host.Command("write 3 after");
  }
  EXPECT_EQ(ListFiles(folder / "Log"),
            (std::vector<std::string>{DailyName("Dravent", 0), DailyName("LogHost", 0)}));
  EXPECT_NE(ReadFile(TodayFile("Dravent")).find("after"), std::string::npos);
  EXPECT_EQ(ReadFile(TodayFile()).find("after"), std::string::npos);
}

TEST_F(LoggerHostTest, TwoThreadsNeverInterleaveWithinALine) {
  Configure("[config]\nprint_flag = 1\n");
  const std::string text(300, 'z');
  {
    HostProcess host(kNarrowHost, folder, "LogHost.exe");
    host.Command("threads 2 400 " + text);
  }
  std::vector<std::string> records = Records(ReadFile(TodayFile()));
  ASSERT_EQ(records.size(), 800u);
  const std::regex form(R"(\d\d:\d\d:\d\d \[\d+ \d+\] \[INFO\] \[\S+ \(\d+\)\] z{300})");
  for (const std::string& record : records) ASSERT_TRUE(std::regex_match(record, form)) << record;
}

TEST_F(LoggerHostTest, FileInTheWayOfLogGivesLogUnderscore) {
  WriteFile(folder / "Log", "not a folder");
  {
    HostProcess host(kNarrowHost, folder, "LogHost.exe");
    host.Command("write 3 moved");
  }
  EXPECT_NE(ReadFile(TodayFile("LogHost", "Log_")).find("moved"), std::string::npos);
  EXPECT_EQ(ReadFile(folder / "Log"), "not a folder");
}

TEST_F(LoggerHostTest, WideVariantWritesCp936AndIgnoresConfigAndRetention) {
  Configure("[config]\nprint_flag = 0\n");
  std::filesystem::create_directory(folder / "Log");
  WriteFile(folder / "Log/LogHostW 2000-01-01.log", "old");
  std::string console;
  {
    HostProcess host(kWideHost, folder, "LogHostW.exe");
    console = host.Command("write 3 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80 end");
  }
  std::string content = ReadFile(TodayFile("LogHostW"));
  // "中文" in code page 936, and one "?" for the emoji it cannot represent.
  EXPECT_EQ(content.substr(content.rfind("] ")), "] \xD6\xD0\xCE\xC4 ? end\r\n");
  EXPECT_NE(console.find("\xE4\xB8\xAD\xE6\x96\x87"), std::string::npos);
  EXPECT_TRUE(Exists(folder / "Log/LogHostW 2000-01-01.log"));
}

// Configuration end to end; the parser's cases are in LoggerConfigTest.
TEST_F(LoggerHostTest, ConfigurationRedirectsAndFilters) {
  std::filesystem::create_directory(folder / "elsewhere");
  Configure("# settings\n[config]\nprint_flag = 1 ; file only\nlog_level = 5\nsave_dir = " +
            (folder / "elsewhere") + ";old\n");
  std::string console;
  {
    HostProcess host(kNarrowHost, folder, "LogHost.exe");
    console = host.Command("write 3 dropped") + host.Command("write 5 kept");
  }
  EXPECT_EQ(console, "");
  std::string content = ReadFile(TodayFile("LogHost", "elsewhere"));
  EXPECT_EQ(content.find("dropped"), std::string::npos);
  EXPECT_NE(content.find("kept"), std::string::npos);
  EXPECT_FALSE(Exists(TodayFile()));
}

TEST_F(LoggerHostTest, ReloadsOnChangedModificationTimeOnly) {
  const std::string config = folder / "qlxlogger.cfg";
  const long long then = qlx::test::Modified(folder.path()) - 100;
  Configure("[config]\nprint_flag = 1\nlog_level = 5\n");
  qlx::test::SetModified(config, then);
  HostProcess host(kNarrowHost, folder, "LogHost.exe");
  host.Command("write 3 one");
  Configure("[config]\nprint_flag = 1\nlog_level = 3\n");
  qlx::test::SetModified(config, then);
  host.Command("write 3 two");
  qlx::test::SetModified(config, then + 1);
  host.Command("write 3 three");
  Configure("[config]\nprint_flag = 0\n");
  host.Command("write 5 four");
  std::filesystem::remove(config);
  std::string console = host.Command("write 3 five");

  std::string content = ReadFile(TodayFile());
  EXPECT_EQ(content.find("one"), std::string::npos);
  EXPECT_EQ(content.find("two"), std::string::npos) << "same time: not re-read";
  EXPECT_NE(content.find("three"), std::string::npos);
  EXPECT_EQ(content.find("four"), std::string::npos);
  EXPECT_NE(content.find("five"), std::string::npos) << "deletion restores the defaults";
  EXPECT_NE(console.find("five"), std::string::npos);
}

TEST_F(LoggerHostTest, FailedLoadKeepsTheSettings) {
  const std::string config = folder / "qlxlogger.cfg";
  Configure("[config]\nprint_flag = 1\nlog_level = 5\n");
  qlx::test::SetModified(config, qlx::test::Modified(config) - 10);
  HostProcess host(kNarrowHost, folder, "LogHost.exe");
  host.Command("write 5 applied");
  Configure("[config]\nlog_level = 1\n[broken\n");
  host.Command("write 3 still dropped");
  std::string console = host.Command("write 5 still file only");

  std::string content = ReadFile(TodayFile());
  EXPECT_NE(content.find("applied"), std::string::npos);
  EXPECT_EQ(content.find("still dropped"), std::string::npos);
  EXPECT_NE(content.find("still file only"), std::string::npos);
  EXPECT_EQ(console, "");
  EXPECT_EQ(ReadFile(folder / "stderr.txt"), "not found match\n");
}

TEST_F(LoggerHostTest, BadInputLosesOnlyTheFileSink) {
  struct Case {
    const char* name;
    std::string config;  // empty: qlxlogger.cfg is made a directory
  };
  const Case cases[] = {
      {"save_dir missing", "[config]\nsave_dir = " + (folder / "missing") + "\n"},
      {"unreadable configuration", ""},
      {"binary junk", std::string("\0\xff[\x01=\n[[\n", 9)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder run;
    if (c.config.empty()) {
      std::filesystem::create_directory(run / "qlxlogger.cfg");
    } else {
      WriteFile(run / "qlxlogger.cfg", c.config);
    }
    HostProcess host(kNarrowHost, run, "LogHost.exe");
    EXPECT_NE(host.Command("write 3 survives").find("survives"), std::string::npos);
  }
  EXPECT_FALSE(Exists(folder / "missing"));
}

// Retention: the module's daily files outside 30 days and oversized recent
// ones go; everything else in the folder stays.
class RetentionTest : public ::testing::TestWithParam<bool> {};

TEST_P(RetentionTest, FirstRecordOfTheDayCleansTheModulesOwnFiles) {
  const bool sizeLimit = GetParam();
  TempFolder folder;
  const std::string log = folder / "Log";
  std::filesystem::create_directory(log);
  auto make = [&](const std::string& name, uintmax_t size = 3) {
    WriteFile(log + "/" + name, "old");
    std::filesystem::resize_file(log + "/" + name, size);
  };
  const std::string oversized = DailyName("LogHost", 1);
  const std::string capitalised = "LOGHOST" + DailyName("", 2).substr(0, 11) + ".LOG";
  const std::string atLimit = DailyName("LogHost", 3);
  const std::string day29 = DailyName("LogHost", 29);
  make(oversized, 110ull << 20);  // sparse
  make(capitalised);
  make(atLimit, 104857600);
  make(day29);
  make(DailyName("LogHost", 30));
  make(DailyName("loghost", 45));
  make("LogHost 2020-01-01.log");
  make("LogHost.log");
  make("LogHostTest 2020-01-01.log");
  make("LogHost 2020-01-01.log.txt");
  make("Other 2020-01-01.log");
  std::filesystem::create_directory(log + "/LogHost 2020-01-02.log");

  {
    HostProcess host(kNarrowHost, folder, "LogHost.exe");
    host.Command(sizeLimit ? "sizelimit on" : "sizelimit off");
    host.Command("write 3 today");
  }

  std::vector<std::string> expected = {atLimit,
                                       capitalised,
                                       day29,
                                       "LogHost 2020-01-01.log.txt",
                                       "LogHost.log",
                                       "LogHostTest 2020-01-01.log",
                                       "Other 2020-01-01.log",
                                       DailyName("LogHost", 0)};
  if (!sizeLimit) {
    expected.push_back(oversized);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ListFiles(log), expected);
  EXPECT_TRUE(std::filesystem::is_directory(log + "/LogHost 2020-01-02.log"));
}

INSTANTIATE_TEST_SUITE_P(SizeLimit, RetentionTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

}  // namespace
