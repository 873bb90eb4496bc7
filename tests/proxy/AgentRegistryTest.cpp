// The proxy's registries on their own: the drive registry, and how binding
// ends for agents that never answer (a stand-in program that does not listen).
#include <stdlib.h>

#include <chrono>
#include <vector>

#include "ProxyTestSupport.h"
#include "gtest/gtest.h"
#include "proxy/AgentRegistry.h"

namespace qlx::proxytest {
namespace {

using proxy::AgentBinding;
using proxy::AgentTiming;
using proxy::CAgentRegistry;
using Clock = std::chrono::steady_clock;

const std::string kSilentAgent = QLX_TEST_BIN_DIR "/proxy_child_probe";

TEST(DriveRegistry, FindsTheLowestRobotWhoseLastListHoldsTheDrive) {
  CAgentRegistry registry(kSilentAgent);
  auto record = [&](uint32_t robot, std::vector<int32_t> drives) {
    int32_t count = static_cast<int32_t>(drives.size());
    registry.RecordDrives(robot, drives.data(), &count);
  };
  record(7, {69, 70});
  record(5, {70, 71});
  record(0x80000000u, {72});  // ordered as unsigned: after 7
  record(3, {72});
  int32_t count = 1;
  registry.RecordDrives(0, std::vector<int32_t>{73}.data(), &count);  // robot 0: ignored
  registry.RecordDrives(9, nullptr, &count);                          // no array: ignored

  struct Case {
    int32_t drive;
    uint32_t robot;
  };
  for (const Case& c : std::vector<Case>{{70, 5}, {69, 7}, {71, 5}, {72, 3}, {73, 0}, {99, 0}})
    EXPECT_EQ(registry.FindRobotForDrive(c.drive), c.robot) << "drive " << c.drive;

  record(5, {71});  // a later list replaces the earlier one
  EXPECT_EQ(registry.FindRobotForDrive(70), 7u);
  int32_t none = 0;
  registry.RecordDrives(7, &none, &none);  // an empty list
  EXPECT_EQ(registry.FindRobotForDrive(69), 0u);
}

class SilentAgentTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("PROBE_OUT", dir_.File("report").c_str(), 1); }
  void TearDown() override {
    unsetenv("PROBE_OUT");
    unsetenv("PROBE_MODE");
  }
  TempDir dir_;
};

TEST_F(SilentAgentTest, AgentThatNeverListensIsGivenUpAfterTheProbeLimitAndEnded) {
  setenv("PROBE_MODE", "hold", 1);
  CAgentRegistry registry(kSilentAgent, AgentTiming{10, 50, 400});
  AgentBinding binding;
  const auto start = Clock::now();
  EXPECT_FALSE(registry.AcquireAgent(5, binding));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  const uint32_t pid = registry.AgentProcessId(5);
  ASSERT_NE(pid, 0u) << "the launched agent stays recorded";
  EXPECT_TRUE(WaitUntil([&] { return !platform::IsProcessAlive(pid); }));
}

TEST_F(SilentAgentTest, AgentThatEndsAtOnceIsGivenUpWithoutWaitingForTheProbeLimit) {
  setenv("PROBE_MODE", "exit", 1);
  CAgentRegistry registry(kSilentAgent);  // the product's 10 s probe limit
  AgentBinding binding;
  const auto start = Clock::now();
  EXPECT_FALSE(registry.AcquireAgent(5, binding));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

TEST_F(SilentAgentTest, MissingAgentProgramRecordsNothing) {
  CAgentRegistry registry(dir_.File("Kestrane.exe"));
  AgentBinding binding;
  EXPECT_FALSE(registry.AcquireAgent(5, binding));
  EXPECT_EQ(registry.AgentProcessId(5), 0u);
  EXPECT_FALSE(registry.BindAgent(5, binding));
}

}  // namespace
}  // namespace qlx::proxytest
