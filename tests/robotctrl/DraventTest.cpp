// Dravent.dll as the disc-burning service sees it: a host program in a
// temporary program folder calls the controller by slot, against the robot
// simulator (direct path), the proxy and its agents (Windows XP path), or
// vendor libraries that misbehave.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "HostFolder.h"

namespace {

const std::string kTestBin = QLX_TEST_BIN_DIR;

// Valid arguments for every slot but Destroy and Init, one call each.
const std::vector<SlotCall> kEveryOperation = {
    {"2", "buf:40", "int:10"},
    {"3", "1", "buf:320"},
    {"4", "1", "buf:40", "int:10"},
    {"5", "1", "buf:80"},
    {"6", "0x45", "buf:532"},
    {"7", "0x45", "1"},
    {"8", "1", "0"},
    {"9", "1", "0x45", "1", "0"},
    {"10", "1", "0x45", "1"},
    {"11", "1", "1", "2"},
    {"12", "1", "1"},
    {"13", "1", "0x45"},
    {"14", "1", "2"},
    {"15", "1", "s:field"},
    {"16", "1", "s:label.std", "1"},
    {"17", "1", "s:label.std", "0"},
    {"18", "1"},
    {"19", "1", "buf:12"},
    {"20", "1", "buf:12"},
    {"21", "1", "5", "buf:512", "256", "0"},
    {"22", "1", "0"},
    {"23", "1", "int:0"},
    {"24", "1", "0"},
    {"25", "1", "buf:24"},
    {"26", "1", "buf:164"},
    {"27", "s:label.std", "s:preview.bmp", "300"},
    {"28", "1", "0x45", "s:SN", "0", "0"},
    {"29", "s:dbg.txt", "4", "s:trace.txt"},
    {"30", "cb"},
    {"31", "1", "0x45", "0x46"},
};

// ------------------------------------------------------------ construction --

TEST(DraventPlugin, ExportsOnlyItsFactory) {
  const std::string command =
      "nm -D --defined-only '" + std::string(QLX_BIN_DIR) + "/Dravent.dll' | awk '{print $NF}'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<std::string> names;
  char line[512];
  while (fgets(line, sizeof line, pipe) != nullptr) {
    std::string name(line);
    name.erase(name.find_last_not_of("\r\n") + 1);
    if (!name.empty()) names.push_back(name);
  }
  pclose(pipe);
  // The version node of the export list may be listed too.
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const std::string& n) { return n.rfind("VERS", 0) == 0; }),
              names.end());
  EXPECT_EQ(names, std::vector<std::string>{"CreateDraventObj"});
}

TEST(DraventPlugin, ConstructionLogsStartIntoTheDraventFile) {
  HostFolder folder;
  const HostRun run = RunHost(folder, {});
  ASSERT_EQ(run.exitStatus, 0) << run.output;
  EXPECT_EQ(folder.Records("CDraventImpl::CDraventImpl", "INFO"),
            std::vector<std::string>{"START >>>>>>"});
  bool draventFile = false;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path() + "/Log")) {
    const std::string name = entry.path().filename().string();
    draventFile |= name.size() == 22 && name.rfind("Dravent ", 0) == 0;  // "Dravent YYYY-MM-DD.log"
  }
  EXPECT_TRUE(draventFile);
}

// Name of the controller's daily file of `daysAgo` days before today.
std::string DailyFileName(int daysAgo) {
  const std::time_t when = std::time(nullptr) - daysAgo * 86400;
  std::tm local{};
  localtime_r(&when, &local);
  char name[64];
  std::strftime(name, sizeof name, "Dravent %Y-%m-%d.log", &local);
  return name;
}

TEST(DraventPlugin, RetentionKeepsRecentFilesWhateverTheirSize) {
  HostFolder folder;
  const std::filesystem::path logDir = folder.Path() + "/Log";
  std::filesystem::create_directories(logDir);
  const std::string oversized = DailyFileName(1);
  std::ofstream(logDir / oversized).close();
  std::filesystem::resize_file(logDir / oversized, 104857600 + 1);  // sparse
  std::ofstream(logDir / DailyFileName(29)) << "kept\r\n";
  std::ofstream(logDir / DailyFileName(30)) << "too old\r\n";
  ASSERT_EQ(RunHost(folder, {}).exitStatus, 0);
  EXPECT_TRUE(std::filesystem::exists(logDir / DailyFileName(0)));
  EXPECT_TRUE(std::filesystem::exists(logDir / oversized));
  EXPECT_TRUE(std::filesystem::exists(logDir / DailyFileName(29)));
  EXPECT_FALSE(std::filesystem::exists(logDir / DailyFileName(30)));
}

TEST(DraventPlugin, DestroyBeforeInitCallsNothing) {
  REQUIRE_BIN("PTRobot.dll");
  HostFolder folder;
  folder.AddBin("PTRobot.dll");
  const HostRun run = RunHost(folder, {{"0"}});
  ASSERT_EQ(run.calls.size(), 1u) << run.output;
  EXPECT_EQ(run.calls[0].result, 0u);
  EXPECT_TRUE(folder.Journal().empty());
}

// ---------------------------------------------------------------- binding --

TEST(DraventInit, FailsWith500WithoutTheLibrary) {
  HostFolder folder;
  const HostRun run = RunHost(folder, {{"1"}, {"0"}});
  ASSERT_EQ(run.calls.size(), 2u) << run.output;
  EXPECT_EQ(run.calls[0].result, 500u);
  EXPECT_EQ(run.calls[1].result, 0u);  // Destroy is still unbound
  EXPECT_EQ(folder.Records("CDraventImpl::Init", "ERROR"),
            std::vector<std::string>{"InitFunc fail 500"});
}

TEST(DraventInit, FailsWith500WhenOneNameIsMissing) {
  HostFolder folder;
  folder.Add(kTestBin + "/LackingRobot.dll", "PTRobot.dll");
  const HostRun run = RunHost(folder, {{"1"}});
  ASSERT_EQ(run.calls.size(), 1u) << run.output;
  EXPECT_EQ(run.calls[0].result, 500u);
  EXPECT_EQ(folder.Records("CDraventImpl::Init", "ERROR"),
            std::vector<std::string>{"InitFunc fail 500"});
}

TEST(DraventInit, EveryOperationOfAnUnboundControllerReturns500) {
  for (bool initFailedFirst : {false, true}) {
    SCOPED_TRACE(initFailedFirst ? "after a failed Init" : "before Init");
    HostFolder folder;
    std::vector<SlotCall> calls = kEveryOperation;
    if (initFailedFirst) calls.insert(calls.begin(), SlotCall{"1"});
    const HostRun run = RunHost(folder, calls);
    ASSERT_EQ(run.calls.size(), calls.size()) << run.output;
    for (size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ(run.calls[i].result, 500u) << "slot " << calls[i][0];
    }
  }
}

// ------------------------------------------------ libraries that overreach --

TEST(DraventRogueLibrary, MoreThanTenRobotsAreClampedToTheLocalArray) {
  HostFolder folder;
  folder.Add(kTestBin + "/RogueRobot.dll", "PTRobot.dll");
  const HostRun run =
      RunHost(folder, {{"1"}, {"2", "buf:48:ff", "int:10"}, {"2", "buf:48:ff", "int:9"}});
  ASSERT_EQ(run.calls.size(), 3u) << run.output;
  EXPECT_EQ(run.calls[1].result, 0u);
  const std::vector<int32_t> handles = Int32s(run.calls[1].buffers[0]);
  for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(handles[i], 0x100 + i);
  EXPECT_EQ(handles[10], -1);  // untouched
  EXPECT_EQ(Int32s(run.calls[1].buffers[1]), std::vector<int32_t>{10});
  EXPECT_EQ(run.calls[2].result, 601u);
  EXPECT_EQ(run.calls[2].buffers[0], Repeat("ff", 48));
  EXPECT_EQ(Int32s(run.calls[2].buffers[1]), std::vector<int32_t>{9});
}

TEST(DraventRogueLibrary, SerialNumbersOfAHundredCodeUnitsFitTheBuffer) {
  HostFolder folder;
  folder.Add(kTestBin + "/RogueRobot.dll", "PTRobot.dll");
  const HostRun run = RunHost(folder, {{"1"}, {"28", "1", "0x45", "s:SN", "0", "0"}});
  ASSERT_EQ(run.calls.size(), 2u) << run.output;
  EXPECT_EQ(run.calls[1].result, 0u);
  const auto records = folder.Records("CDraventImpl::SetRoboticDrive", "ERROR");
  ASSERT_EQ(records.size(), 40u);
  EXPECT_EQ(records[0], "Serial is different: " + std::string(100, '7'));
}

}  // namespace
