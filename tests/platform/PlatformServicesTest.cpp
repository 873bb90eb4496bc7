// The platform services the logger and the plug-ins rely on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tests/support/Processes.h"

namespace {

namespace fs = std::filesystem;
namespace pf = qlx::platform;
using qlx::testsupport::InChild;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "qlxplat-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void Touch(const std::string& path, size_t size = 0) {
  std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

TEST(Wildcard, MatchesLikeWindowsIgnoringAsciiCase) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"Dravent*.log", "Dravent 2026-01-01.log", true},
      {"Dravent*.log", "DRAVENT 2026-01-01.LOG", true},
      {"Dravent*.log", "Dravent.log", true},
      {"Dravent*.log", "DraventTest.log", true},
      {"Dravent*.log", "Dravent.log.txt", false},
      {"Dravent*.log", "xDravent.log", false},
      {"*", "", true},
      {"*", "anything", true},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"*a*b*", "xxaybz", true},
      {"*a*b", "ba", false},
      {"", "", true},
      {"", "a", false},
      {"\xC3\xA4*", "\xC3\x84x", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(pf::WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " / " << c.name;
  }
}

TEST(Files, FindEntriesListsMatchesAndMarksDirectories) {
  TempDir dir;
  Touch(dir / "M 1.log");
  Touch(dir / "m 2.LOG");
  Touch(dir / "Other.log");
  fs::create_directory(dir / "M dir.log");
  std::vector<pf::DirectoryEntry> entries = pf::FindEntries(dir.path(), "M*.log");
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "M 1.log");
  EXPECT_FALSE(entries[0].isDirectory);
  EXPECT_EQ(entries[1].name, "M dir.log");
  EXPECT_TRUE(entries[1].isDirectory);
  EXPECT_EQ(entries[2].name, "m 2.LOG");
  EXPECT_TRUE(pf::FindEntries(dir / "missing", "*").empty());
}

TEST(Files, AttributesSizeAndWholeSecondModificationTime) {
  TempDir dir;
  const std::string file = dir / "f";
  Touch(file, 1234);
  utimbuf times{1000000000, 1000000000};
  utime(file.c_str(), &times);
  pf::FileAttributes attributes = pf::GetAttributes(file);
  EXPECT_TRUE(attributes.exists);
  EXPECT_FALSE(attributes.isDirectory);
  EXPECT_EQ(attributes.size, 1234u);
  EXPECT_EQ(attributes.modifiedSeconds, 1000000000);
  EXPECT_TRUE(pf::GetAttributes(dir.path()).isDirectory);
  EXPECT_FALSE(pf::GetAttributes(dir / "missing").exists);
}

TEST(Files, CreateAppendAndRemove) {
  TempDir dir;
  EXPECT_TRUE(pf::MakeDirectory(dir / "sub"));
  EXPECT_FALSE(pf::MakeDirectory(dir / "sub")) << "exists already";
  EXPECT_FALSE(pf::MakeDirectory(dir / "a/b")) << "parent missing";
  EXPECT_TRUE(pf::AppendToFile(dir / "sub/f", "ab", 2));
  EXPECT_TRUE(pf::AppendToFile(dir / "sub/f", "c\r\n", 3));
  EXPECT_EQ(pf::GetAttributes(dir / "sub/f").size, 5u);
  EXPECT_FALSE(pf::AppendToFile(dir / "missing/f", "x", 1));
  EXPECT_EQ(pf::AppendToExistingFile(dir / "sub/new", "x", 1), pf::AppendResult::kMissing);
  EXPECT_FALSE(pf::GetAttributes(dir / "sub/new").exists);
  EXPECT_EQ(pf::AppendToExistingFile(dir / "sub/f", "d", 1), pf::AppendResult::kWritten);
  EXPECT_EQ(pf::AppendToExistingFile(dir / "sub", "d", 1), pf::AppendResult::kFailed);
  EXPECT_FALSE(pf::RemoveFile(dir / "sub")) << "never a directory";
  EXPECT_TRUE(pf::RemoveFile(dir / "sub/f"));
  EXPECT_FALSE(pf::RemoveFile(dir / "sub/f"));
}

TEST(Clock, CalendarConversions) {
  pf::CalendarTime leap = pf::UtcTime(951782400);  // 2000-02-29 00:00:00 UTC
  EXPECT_EQ(leap.year, 2000);
  EXPECT_EQ(leap.month, 2);
  EXPECT_EQ(leap.day, 29);
  EXPECT_EQ(leap.weekday, 2);
  const time_t now = time(nullptr);
  tm expected{};
  localtime_r(&now, &expected);
  pf::CalendarTime local = pf::LocalTime(now);
  EXPECT_EQ(local.year, expected.tm_year + 1900);
  EXPECT_EQ(local.day, expected.tm_mday);
  EXPECT_EQ(local.hour, expected.tm_hour);
  EXPECT_EQ(local.minute, expected.tm_min);
  EXPECT_NEAR(static_cast<double>(pf::NowMilliseconds()) / 1000, static_cast<double>(now), 5);
}

TEST(Process, IdsAndPath) {
  EXPECT_EQ(pf::CurrentProcessId(), static_cast<uint32_t>(getpid()));
  EXPECT_EQ(pf::CurrentThreadId(), static_cast<uint32_t>(gettid()));
  EXPECT_EQ(fs::path(pf::ExecutablePath()).filename(), "platform_services_test");
}

TEST(Process, IdsAreReReadAfterFork) {
  pf::CurrentProcessId();
  pf::CurrentThreadId();
  EXPECT_EQ(InChild([] {
              bool fresh = pf::CurrentProcessId() == static_cast<uint32_t>(getpid()) &&
                           pf::CurrentThreadId() == static_cast<uint32_t>(gettid());
              return fresh ? 0 : 1;
            }),
            0);
}

TEST(Text, Utf16AndUtf8RoundTrip) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"", ""},
      {u"abc", "abc"},
      {u"\u00e9\u4e2d", "\xC3\xA9\xE4\xB8\xAD"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
  };
  for (const auto& [utf16, utf8] : cases) {
    EXPECT_EQ(pf::Utf16ToUtf8(utf16), utf8);
    EXPECT_EQ(pf::Utf8ToUtf16(utf8), utf16);
  }
}

TEST(Text, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(pf::Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"a"),
            "\xEF\xBF\xBD"
            "a");
  EXPECT_EQ(pf::Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
  EXPECT_EQ(pf::Utf8ToUtf16("a\xFF"
                            "b"),
            u"a\uFFFDb");
  EXPECT_EQ(pf::Utf8ToUtf16("\xE4\xB8"), u"\uFFFD\uFFFD") << "truncated sequence";
  EXPECT_EQ(pf::Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD") << "overlong";
  EXPECT_EQ(pf::Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD") << "encoded surrogate";
}

TEST(Text, Cp936MarksOnlyUnrepresentableCharacters) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"plain ASCII\r\n", "plain ASCII\r\n"},
      {u"\u4e2d\u6587", "\xD6\xD0\xCE\xC4"},
      {u"a\U0001F600b", "a?b"},
      {u"\u0e01\u4e2d", "?\xD6\xD0"},
      {std::u16string(1, char16_t(0xD800)) + u"x", "?x"},
      {u"x" + std::u16string(1, char16_t(0xD800)), "x?"},
  };
  for (const auto& [utf16, expected] : cases) EXPECT_EQ(pf::Utf16ToCp936(utf16), expected);
}

TEST(Text, ChineseLocaleIsSetOrLeftAsItWas) {
  EXPECT_EQ(InChild([] {
              std::string before = setlocale(LC_ALL, nullptr);
              pf::SetChineseLocale();
              std::string after = setlocale(LC_ALL, nullptr);
              return (after == before || after.rfind("zh_CN", 0) == 0) ? 0 : 1;
            }),
            0);
}

TEST(DebugOutput, AppendsToTheNamedFileAndNeverBlocks) {
  TempDir dir;
  static std::string target, fifo;
  target = dir / "debug.txt";
  fifo = dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(InChild([] {
              setenv("QLX_DEBUG_OUTPUT", target.c_str(), 1);
              pf::DebugOutput("one\r\n");
              pf::DebugOutputW(u"\u4e2d\r\n");
              return 0;
            }),
            0);
  std::ifstream in(target, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "one\r\n\xE4\xB8\xAD\r\n");
  EXPECT_EQ(InChild([] {
              alarm(10);  // a blocked write would end the child with SIGALRM
              setenv("QLX_DEBUG_OUTPUT", fifo.c_str(), 1);
              pf::DebugOutput("nobody reads this");
              return 0;
            }),
            0);
}

}  // namespace
