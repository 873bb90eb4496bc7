// The parts of the controller that need no library: the step order of the
// serial-number check, the library choice by Windows version, the version
// query's configuration and the text of serial numbers in log records.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/version.h"
#include "robotctrl/DriveSerialSchedule.h"
#include "robotctrl/VendorBinding.h"
#include "robotctrl/WideText.h"

namespace {

using Step = DriveSerialSchedule::Step;

struct StepCounts {
  int passes = 0;
  int waits = 0;
  int reads = 0;
  std::string order;  // P, W, R per step
};

// Runs the schedule; the read numbered `matchingRead` (1-based, 0 for none) matches.
StepCounts RunSchedule(int matchingRead) {
  DriveSerialSchedule schedule;
  StepCounts counts;
  for (Step step = schedule.Next(); step != Step::kDone; step = schedule.Next()) {
    if (step == Step::kStartPass) ++counts.passes, counts.order += 'P';
    if (step == Step::kWait) ++counts.waits, counts.order += 'W';
    if (step == Step::kRead) {
      ++counts.reads, counts.order += 'R';
      if (counts.reads == matchingRead) schedule.Matched();
    }
  }
  return counts;
}

TEST(DriveSerialSchedule, NeverMatchingSpendsFourPassesOfTenReadsAndThirtySixWaits) {
  const StepCounts counts = RunSchedule(0);
  EXPECT_EQ(counts.passes, 4);
  EXPECT_EQ(counts.reads, 40);
  EXPECT_EQ(counts.waits, 36);
  const std::string pass = "PRWRWRWRWRWRWRWRWRWR";
  EXPECT_EQ(counts.order, pass + pass + pass + pass);
}

TEST(DriveSerialSchedule, StopsAtTheMatchingRead) {
  struct Case {
    int matchingRead, passes, reads, waits;
  };
  for (const Case& c : {Case{1, 1, 1, 0}, Case{2, 1, 2, 1}, Case{10, 1, 10, 9}, Case{11, 2, 11, 9},
                        Case{40, 4, 40, 36}}) {
    SCOPED_TRACE(c.matchingRead);
    const StepCounts counts = RunSchedule(c.matchingRead);
    EXPECT_EQ(counts.passes, c.passes);
    EXPECT_EQ(counts.reads, c.reads);
    EXPECT_EQ(counts.waits, c.waits);
  }
}

TEST(VendorLibraryName, OnlyWindowsXpUsesTheProxy) {
  struct Case {
    uint32_t platformId, major, minor;
    const char* name;
  };
  for (const Case& c :
       {Case{2, 5, 1, "Velnor.dll"}, Case{2, 5, 0, "PTRobot.dll"}, Case{2, 5, 2, "PTRobot.dll"},
        Case{2, 6, 1, "PTRobot.dll"}, Case{2, 10, 0, "PTRobot.dll"}, Case{1, 5, 1, "PTRobot.dll"},
        Case{0, 0, 0, "PTRobot.dll"}}) {
    SCOPED_TRACE(std::to_string(c.platformId) + " " + std::to_string(c.major) + "." +
                 std::to_string(c.minor));
    EXPECT_STREQ(VendorLibraryName(c.platformId, c.major, c.minor), c.name);
  }
}

class WindowsVersionQuery : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv("QLX_WINDOWS_VERSION"); }
};

TEST_F(WindowsVersionQuery, ReportsNt10UnlessConfigured) {
  struct Case {
    const char* configured;  // null: variable not set
    bool ok;
    uint32_t major, minor;
  };
  for (const Case& c :
       {Case{nullptr, true, 10, 0}, Case{"", true, 10, 0}, Case{"5.1", true, 5, 1},
        Case{"5.2", true, 5, 2}, Case{"6", true, 6, 0}, Case{"10.0", true, 10, 0},
        Case{"xp", false, 0, 0}, Case{"5.", false, 0, 0}, Case{"5.1.2", false, 0, 0},
        Case{" 5.1", false, 0, 0}, Case{"99999.1", false, 0, 0}}) {
    SCOPED_TRACE(c.configured ? c.configured : "(unset)");
    if (c.configured) {
      setenv("QLX_WINDOWS_VERSION", c.configured, 1);
    } else {
      unsetenv("QLX_WINDOWS_VERSION");
    }
    qlx::platform::WindowsVersion version{7, 7, 7};
    ASSERT_EQ(qlx::platform::GetWindowsVersion(version), c.ok);
    if (c.ok) {
      EXPECT_EQ(version.platformId, qlx::platform::kPlatformWin32Nt);
      EXPECT_EQ(version.major, c.major);
      EXPECT_EQ(version.minor, c.minor);
    } else {
      EXPECT_EQ(version.platformId, 7u);  // left as it was
    }
  }
}

TEST(WideText, WritesUtf8) {
  struct Case {
    const char16_t* wide;
    std::string narrow;
  };
  for (const Case& c :
       {Case{u"SN-0042", "SN-0042"}, Case{u"", ""}, Case{nullptr, ""},
        Case{u"\u00e9\u4e2d", "\xc3\xa9\xe4\xb8\xad"}, Case{u"\U0001F4BF", "\xf0\x9f\x92\xbf"},
        Case{u"a\xd800z", "a\xef\xbf\xbdz"}}) {
    std::ostringstream out;
    out << WideText{c.wide};
    EXPECT_EQ(out.str(), c.narrow);
  }
}

}  // namespace
