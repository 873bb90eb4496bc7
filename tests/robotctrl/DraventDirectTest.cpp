// The controller on the direct path: Dravent.dll binds the robot simulator
// (PTRobot.dll) from the host's folder; the simulator's journal shows what
// reached the vendor library.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "HostFolder.h"

namespace {

// Robots 1 to 4; robot 1 carries drive E: (handle 0x65, low byte 'e') and
// drive F: (0x46).
constexpr int32_t kRobot = 1;
const std::string kDriveE = "0x65";
const std::string kDriveF = "0x46";

class DirectPath : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(std::string(QLX_BIN_DIR) + "/PTRobot.dll")) {
      GTEST_SKIP() << "PTRobot.dll is not built";
    }
    folder.AddBin("PTRobot.dll");
    folder.SetEnv("QLX_SIM_ROBOTS", "1,2,3,4");
    folder.SetEnv("QLX_SIM_DRIVES", "1:101,70");
  }

  // Runs Init and then `calls`; results of `calls` only.
  std::vector<SlotResult> RunBound(std::vector<SlotCall> calls) {
    calls.insert(calls.begin(), SlotCall{"1"});
    HostRun run = RunHost(folder, calls);
    hostPid = run.pid;
    EXPECT_EQ(run.calls.size(), calls.size()) << run.output;
    if (run.calls.empty() || run.calls.size() != calls.size()) return {};
    EXPECT_EQ(run.calls[0].result, 0u) << "Init";
    run.calls.erase(run.calls.begin());
    return run.calls;
  }

  size_t Calls(const std::string& function) const { return folder.Journal(function).size(); }

  HostFolder folder;
  int hostPid = 0;
};

TEST_F(DirectPath, InitInitializesTheLibraryInTheHostProcess) {
  RunBound({});
  const auto journal = folder.Journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0].function, "PTRobot_Initialize");
  EXPECT_EQ(journal[1].function, "PTRobot_SetApplicationID");
  EXPECT_EQ(journal[1].Args(), std::vector<std::string>{"0"});
  EXPECT_EQ(journal[0].pid, hostPid);
  EXPECT_TRUE(folder.Records("CDraventImpl::Init", "ERROR").empty());
}

TEST_F(DirectPath, WindowsVersionChoosesTheLibrary) {
  struct Case {
    const char* version;
    uint32_t init;
  };
  // Only PTRobot.dll is in the folder: the Windows XP choice, Velnor.dll, is missing.
  for (const Case& c : {Case{"", 0}, Case{"5.1", 500}, Case{"5.0", 0}, Case{"5.2", 0},
                        Case{"6.1", 0}, Case{"10.0", 0}}) {
    SCOPED_TRACE(c.version);
    folder.SetEnv("QLX_WINDOWS_VERSION", c.version);
    const HostRun run = RunHost(folder, {{"1"}});
    ASSERT_EQ(run.calls.size(), 1u) << run.output;
    EXPECT_EQ(run.calls[0].result, c.init);
  }
}

TEST_F(DirectPath, FailingInitializeIsLoggedAndReturned) {
  folder.SetEnv("QLX_SIM_INIT_RESULT", "4021");
  const HostRun run = RunHost(folder, {{"1"}});
  ASSERT_EQ(run.calls.size(), 1u) << run.output;
  EXPECT_EQ(run.calls[0].result, 4021u);
  EXPECT_EQ(folder.Records("CDraventImpl::Init", "ERROR"),
            std::vector<std::string>{"PTRobot_Initialize fail 4021"});
  EXPECT_EQ(Calls("PTRobot_SetApplicationID"), 0u);
}

TEST_F(DirectPath, EnumRobotsHonoursTheCallersCapacity) {
  const auto results = RunBound({{"2", "buf:12:ff", "int:3"},
                                 {"2", "buf:40:ff", "int:10"},
                                 {"2", "null", "int:10"},
                                 {"2", "buf:40:ff", "null"}});
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(results[0].result, 601u);
  EXPECT_EQ(results[0].buffers[0], Repeat("ff", 12));
  EXPECT_EQ(Int32s(results[0].buffers[1]), std::vector<int32_t>{3});
  EXPECT_EQ(results[1].result, 0u);
  EXPECT_EQ(Int32s(results[1].buffers[0]),
            (std::vector<int32_t>{1, 2, 3, 4, -1, -1, -1, -1, -1, -1}));
  EXPECT_EQ(Int32s(results[1].buffers[1]), std::vector<int32_t>{4});
  EXPECT_EQ(results[2].result, 600u);
  EXPECT_EQ(results[3].result, 600u);
  EXPECT_EQ(Calls("PTRobot_EnumRobots"), 2u);
}

TEST_F(DirectPath, GetDriveInfoFillsTheServicesRecordByteForByte) {
  const auto results = RunBound({{"6", kDriveE, "buf:532:cd"}});
  ASSERT_EQ(results.size(), 1u);
  ASSERT_EQ(results[0].result, 0u);
  const std::string& hex = results[0].buffers[0];
  auto bytes = [&hex](size_t offset, size_t count) { return hex.substr(2 * offset, 2 * count); };
  EXPECT_EQ(bytes(0, 2), "4500");               // 'E'
  EXPECT_EQ(bytes(2, 2), "cdcd");               // not written
  EXPECT_EQ(bytes(4, 4), "65000000");           // the handle as passed
  EXPECT_NE(bytes(8, 264), Repeat("cd", 264));  // the vendor's fields
  EXPECT_EQ(bytes(444, 80), Repeat("cd", 80));  // not written
  EXPECT_EQ(bytes(524, 6), "45003a000000");     // "E:"
  EXPECT_EQ(bytes(530, 2), "cdcd");
  EXPECT_EQ(Calls("PTRobot_GetDriveInfo"), 1u);
}

TEST_F(DirectPath, NullRecordsAndSerialReturn600AndCallNothing) {
  const auto results = RunBound({{"3", "1", "null"},
                                 {"5", "1", "null"},
                                 {"6", kDriveE, "null"},
                                 {"28", "1", kDriveE, "null", "0", "0"},
                                 {"4", "1", "null", "int:10"}});
  ASSERT_EQ(results.size(), 5u);
  for (const SlotResult& result : results) EXPECT_EQ(result.result, 600u);
  for (const char* function :
       {"PTRobot_GetRobotInfo", "PTRobot_GetMediaInfo", "PTRobot_GetDriveInfo",
        "PTRobot_SetRoboticDriveWithoutEnum", "PTRobot_SetRoboticDrive", "PTRobot_EnumDrives"}) {
    EXPECT_EQ(Calls(function), 0u) << function;
  }
  EXPECT_TRUE(folder.Records("CDraventImpl::SetRoboticDrive", "INFO").empty());
}

TEST_F(DirectPath, UnknownHandlesGiveTheVendorsCodesAndLeaveRecordsAlone) {
  const auto results = RunBound({{"3", "99", "buf:320:ab"},
                                 {"4", "99", "buf:40:ab", "int:10"},
                                 {"5", "99", "buf:80:ab"},
                                 {"6", "0x7a", "buf:532:ab"},
                                 {"9", "1", "0x7a", "1", "0"},
                                 {"11", "1", "77", "78"},
                                 {"25", "99", "buf:24:ab"}});
  ASSERT_EQ(results.size(), 7u);
  for (const SlotResult& result : results) {
    EXPECT_NE(result.result, 0u);
    EXPECT_LT(result.result, 500u);  // the vendor's, not the controller's
  }
  EXPECT_EQ(results[0].buffers[0], Repeat("ab", 320));
  EXPECT_EQ(results[2].buffers[0], Repeat("ab", 80));
  EXPECT_EQ(results[3].buffers[0], Repeat("ab", 532));
  EXPECT_EQ(
      folder.Records("CDraventImpl::GetRobotInfo", "ERROR"),
      std::vector<std::string>{"PTRobot_GetRobotInfo fail " + std::to_string(results[0].result)});
  EXPECT_EQ(folder.Records("CDraventImpl::EnumDrives", "ERROR"),
            std::vector<std::string>{"PTRobot_EnumDrives: " + std::to_string(results[1].result)});
}

}  // namespace
