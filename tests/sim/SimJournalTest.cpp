// The call journal: one exact line per call, read back with SimJournal.h.
#include <unistd.h>

#include <set>

#include "SimTestSupport.h"
#include "agent/PTRobotApi.h"
#include "gtest/gtest.h"
#include "sim/robot/SimJournal.h"

namespace {

using qlx::sim::JournalCall;

uint32_t QLX_CALL Tray(int32_t, int32_t) { return 0; }

TEST(SimJournal, LinesShowEveryKindOfArgument) {
  simtest::TempJournal journal;
  const auto result = simtest::RunChild({}, journal.Path(), [] {
    PTRobot_Initialize();
    PTRobot_SetupDebugging(u"C:\\log\\dbg \u00e4\u6807.txt", 4, nullptr);
    int32_t robots[10];
    int32_t count = 10;
    PTRobot_EnumRobots(robots, &count);
    PTRobot_EnumRobots(nullptr, &count);
    PTRobot_LoadDrive(-5, 0x10144, 1, 0);
    const PrinterSettings settings{2, -1, 7};
    PTRobot_SetPrinterSettings(65536, &settings);
    PTRobot_SetPrinterSettings(65536, nullptr);
    PrinterSettings2 settings2{};
    settings2.Values[8] = 9;
    PTRobot_SetPrinterSettings2(65536, &settings2);
    char16_t text[16];
    PTRobot_GetErrorString(65536, 20, text, 16, 0);
    PTRobot_PrintFileWithMergeFile(65536, u"two\nlines", nullptr);
    PTRobot_SetRoboticDriveWithoutEnum(65536, 0x10144, u"QXS00D1000", 0, 1, 1);
    PTRobot_SetOpenCloseFunction(Tray);
    PTRobot_SetOpenCloseFunction(nullptr);
    PTRobot_GetSureThingPreview(u"", u"out.bmp", 300);
  });
  ASSERT_EQ(result.exitCode, 0);
  const std::vector<std::string> expected = {
      "PTRobot_Initialize()",
      "PTRobot_SetupDebugging(\"C:\\log\\dbg \xc3\xa4\xe6\xa0\x87.txt\", 4, null)",
      "PTRobot_EnumRobots(out, out)",
      "PTRobot_EnumRobots(null, out)",
      "PTRobot_LoadDrive(-5, 65860, 1, 0)",
      "PTRobot_SetPrinterSettings(65536, {2, -1, 7})",
      "PTRobot_SetPrinterSettings(65536, null)",
      "PTRobot_SetPrinterSettings2(65536, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "
      "9})",
      "PTRobot_GetErrorString(65536, 20, out, 16, 0)",
      "PTRobot_PrintFileWithMergeFile(65536, \"two\\nlines\", null)",
      "PTRobot_SetRoboticDriveWithoutEnum(65536, 65860, \"QXS00D1000\", 0, 1, 1)",
      "PTRobot_SetOpenCloseFunction(fn)",
      "PTRobot_SetOpenCloseFunction(null)",
      "PTRobot_GetSureThingPreview(\"\", \"out.bmp\", 300)",
  };
  EXPECT_EQ(qlx::sim::CallTexts(journal.Path()), expected);
  // Every line carries the pid of the process that made the call.
  std::set<int> pids;
  for (const JournalCall& call : qlx::sim::ReadJournal(journal.Path())) pids.insert(call.pid);
  ASSERT_EQ(pids.size(), 1u);
  EXPECT_NE(*pids.begin(), getpid());
}

TEST(SimJournal, ReaderSplitsArgumentsAndFilters) {
  JournalCall call;
  ASSERT_TRUE(qlx::sim::ParseJournalLine("4312 PTRobot_SetPrinterSettings(101, {1, 2, 3})", call));
  EXPECT_EQ(call.pid, 4312);
  EXPECT_EQ(call.function, "PTRobot_SetPrinterSettings");
  EXPECT_EQ(call.Args(), (std::vector<std::string>{"101", "{1, 2, 3}"}));
  ASSERT_TRUE(qlx::sim::ParseJournalLine("7 PTRobot_PrintFile(1, \"a, b\", 0)", call));
  EXPECT_EQ(call.Args(), (std::vector<std::string>{"1", "\"a, b\"", "0"}));
  ASSERT_TRUE(qlx::sim::ParseJournalLine("7 PTRobot_Destroy()", call));
  EXPECT_TRUE(call.Args().empty());
  EXPECT_FALSE(qlx::sim::ParseJournalLine("garbage", call));
  EXPECT_FALSE(qlx::sim::ParseJournalLine("12 cut off(1, 2", call));

  simtest::TempJournal journal;
  const auto result = simtest::RunChild({}, journal.Path(), [] {
    PTRobot_ClearMergeList(1);
    PTRobot_AddMergeFields(1, u"x");
    PTRobot_ClearMergeList(2);
  });
  ASSERT_EQ(result.exitCode, 0);
  const auto clears = qlx::sim::Calls(journal.Path(), "PTRobot_ClearMergeList");
  ASSERT_EQ(clears.size(), 2u);
  EXPECT_EQ(clears[1].Text(), "PTRobot_ClearMergeList(2)");
  EXPECT_TRUE(qlx::sim::Calls(journal.Path(), "", 1).empty());
}

}  // namespace
