// The configuration file parser.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "logging/IniFile.h"
#include "tests/logging/HostRunner.h"

namespace {

using QLXSdk::CIniFile;

class IniFileTest : public ::testing::Test {
 protected:
  int Load(const std::string& content) {
    qlx::test::WriteFile(path, content);
    ::testing::internal::CaptureStderr();
    int result = ini.Load(path);
    messages = ::testing::internal::GetCapturedStderr();
    return result;
  }

  qlx::test::TempFolder folder;
  std::string path = folder / "qlxlogger.cfg";
  CIniFile ini;
  std::string messages;
};

TEST_F(IniFileTest, FindsValuesBySectionAndKey) {
  struct Case {
    const char* content;
    const char* section;
    const char* key;
    bool found;
    const char* value;
  };
  const std::string longValue(4990, 'v');
  const std::string longLine = "[config]\nsave_dir = " + longValue + "\n";
  const Case cases[] = {
      {"[config]\nlog_level = 2\n", "config", "log_level", true, "2"},
      {"[ config ]\nlog_level = 2\n", "config", "log_level", false, ""},
      {"[ config ]\nlog_level = 2\n", " config ", "log_level", true, "2"},
      {"[Config]\nlog_level = 2\n", "config", "log_level", false, ""},
      {"[config]\nLog_Level = 2\n", "config", "log_level", false, ""},
      {"log_level = 2\n[config]\n", "config", "log_level", false, ""},
      {"log_level = 2\n[config]\n", "", "log_level", true, "2"},
      {"[config]\nsave_dir = D:\\Logs;old\n", "config", "save_dir", true, "D:\\Logs"},
      {"[config]\nsave_dir = D:\\Logs # old ; older\n", "config", "save_dir", true, "D:\\Logs"},
      {"[config]\nlog_level = 1\nlog_level = 4\n", "config", "log_level", true, "1"},
      {"[config]\n \t \nkey = v\n", "config", "key", true, "v"},
      {"[config]\r\nkey = v\r\r\n", "config", "key", true, "v"},
      {"[config] trailing\nkey = a = b\n", "config", "key", true, "a = b"},
      {"[config]\nkey =\n", "config", "key", true, ""},
      {"[config]\n# key = v\n", "config", "key", false, ""},
      {"[config]\n", "config", "key", false, ""},
      {"[]\nkey = v\n[config]\n", "config", "key", false, ""},
      {longLine.c_str(), "config", "save_dir", true, longValue.c_str()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    ASSERT_EQ(Load(c.content), 0);
    std::string value;
    EXPECT_EQ(ini.GetValue(c.section, c.key, &value, nullptr), c.found ? 0 : -1);
    EXPECT_EQ(value, c.value);
  }
}

TEST_F(IniFileTest, ReportsMalformedLinesWordForWord) {
  struct Case {
    const char* content;
    int result;
    const char* messages;
  };
  const Case cases[] = {
      {"[config\nkey = v\n", -1, "not found match\n"},
      {"[a]\n[b]\n[a]\n", -1, "section is exist already:a\n"},
      {"[]\nx = 1\n[config]\nkey = v\n", 0, "section is empty\n"},
      {"[config]\njunk line ; note\nkey = v\n", 0, "parse paramerter fail [junk line]\n"},
      {"# only\n; comments\n", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    EXPECT_EQ(Load(c.content), c.result);
    EXPECT_EQ(messages, c.messages);
  }
  Load("[]\nx = 1\n[config]\nkey = v\n");
  EXPECT_EQ(ini.GetString("config", "key", nullptr), "v") << "the load goes on";
}

TEST_F(IniFileTest, MissingFileFailsSilentlyAndForgetsEarlierContent) {
  ASSERT_EQ(Load("[config]\nkey = v\n"), 0);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ini.Load(folder / "absent.cfg"), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(ini.GetValue("config", "key", nullptr, nullptr), -1);
}

TEST_F(IniFileTest, KeepsCommentsWithTheirItems) {
  ASSERT_EQ(Load("# head\n[config]\n# a\n; b\nkey = v # tail\n"), 0);
  std::string value, comment;
  ASSERT_EQ(ini.GetValue("config", "key", &value, &comment), 0);
  EXPECT_EQ(comment, "# a\n; b# tail");
}

TEST(IniFileNumbers, ConvertsLikeADecimalParser) {
  const std::pair<const char*, int> cases[] = {
      {"3", 3},  {"0x4", 0}, {" 12abc", 12}, {"-3", -3},
      {"+7", 7}, {"abc", 0}, {"", 0},        {"99999999999", 2147483647},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(QLXSdk::ParseDecimal(text), value) << text;
}

TEST_F(IniFileTest, GetIntTellsWhetherTheKeyExists) {
  ASSERT_EQ(Load("[config]\nprint_flag = 0x4\n"), 0);
  bool found = false;
  EXPECT_EQ(ini.GetInt("config", "print_flag", &found), 0);
  EXPECT_TRUE(found);
  EXPECT_EQ(ini.GetInt("config", "log_level", &found), 0);
  EXPECT_FALSE(found);
}

}  // namespace

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// A plug-in must never end the program that loaded it: running out of
// memory for a line fails the load instead of exiting the process.
TEST(IniFileMemory, ExhaustionFailsTheLoadAndTheProcessLives) {
  if (kAddressSanitizer) GTEST_SKIP() << "an address-space limit does not mix with ASan";
  qlx::test::TempFolder folder;
  static std::string path;
  path = folder / "huge.cfg";
  {
    std::ofstream out(path, std::ios::binary);
    out << "[config]\nkey = ";
    const std::string block(1 << 20, 'v');
    for (int i = 0; i < 256; ++i) out << block;
    out << "\n";
  }
  pid_t child = fork();
  if (child == 0) {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (64 << 20);
    rlimit cap{limit, limit};
    setrlimit(RLIMIT_AS, &cap);
    QLXSdk::CIniFile ini;
    _exit(ini.Load(path) == -1 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
