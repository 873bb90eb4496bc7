// Settings of the simulator: parsing, lists of handles, and which source wins.
#include <fstream>

#include "SimTestSupport.h"
#include "agent/PTRobotApi.h"
#include "gtest/gtest.h"
#include "sim/robot/SimConfig.h"
#include "sim/robot/SimRobot.h"

namespace {

using qlx::sim::SimConfig;

SimConfig Parse(const std::string& text) {
  SimConfig config;
  qlx::sim::ApplyConfigText(text, config);
  return config;
}

TEST(SimConfig, CountsAreClampedAndBadLinesIgnored) {
  const SimConfig config = Parse(
      "robots = 12\n"
      "drives=3\n"
      "# serial_reads = 9\n"
      "nonsense line\n"
      "unknown_key = 4\n"
      "init_result = 0x10\n"
      "  delay_function =  PTRobot_LoadDrive , PTRobot_UnLoadDrive  \r\n");
  EXPECT_EQ(config.robots, qlx::sim::kMaxRobots);
  EXPECT_EQ(config.drives, 3);
  EXPECT_EQ(config.serialReads, 0);
  EXPECT_EQ(config.initResult, 16u);
  EXPECT_TRUE(qlx::sim::NamesFunction(config.delayFunction, "PTRobot_UnLoadDrive"));
  EXPECT_FALSE(qlx::sim::NamesFunction(config.delayFunction, "PTRobot_LoadDrive2"));
  EXPECT_TRUE(qlx::sim::NamesFunction("*", "MoveBD"));
  EXPECT_FALSE(qlx::sim::NamesFunction("", "MoveBD"));
}

TEST(SimConfig, RobotAndDriveHandlesMayBeListed) {
  const SimConfig config = Parse("robots = 1,2, 3\ndrives = 1:101,70; 3:0x48\n");
  EXPECT_EQ(config.robots, 3);
  EXPECT_EQ(config.robotHandles, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(config.driveLists.at(1), (std::vector<int32_t>{101, 70}));
  EXPECT_EQ(config.driveLists.at(3), (std::vector<int32_t>{0x48}));
  EXPECT_EQ(config.driveLists.count(2), 0u);
  // A count replaces an earlier list.
  const SimConfig counted = Parse("robots = 1,2\nrobots = 4\n");
  EXPECT_EQ(counted.robots, 4);
  EXPECT_TRUE(counted.robotHandles.empty());
}

TEST(SimConfig, EnvironmentWinsOverTheFile) {
  simtest::TempJournal folder;
  const std::string file = folder.Folder() + "/sim.cfg";
  std::ofstream(file) << "robots = 3\ndrives = 4\n";
  const auto result =
      simtest::RunChild({{"QLX_SIM_CONFIG", file}, {"QLX_SIM_ROBOTS", "2"}}, "", [] {
        ASSERT_EQ(PTRobot_Initialize(), 0u);
        int32_t robots[10] = {};
        int32_t count = 10;
        ASSERT_EQ(PTRobot_EnumRobots(robots, &count), 0u);
        EXPECT_EQ(count, 2);
        int32_t drives[10] = {};
        int32_t driveCount = 10;
        ASSERT_EQ(PTRobot_EnumDrives(robots[1], drives, &driveCount), 0u);
        EXPECT_EQ(driveCount, 4);
      });
  EXPECT_EQ(result.exitCode, 0);
}

}  // namespace
