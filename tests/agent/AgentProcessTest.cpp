// Start-up, endpoints, concurrency and end of the agent process.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "AgentHarness.h"
#include "agent/AgentRpc.h"

using agent_test::AgentHarness;
using agent_test::Settings;
using qlx::platform::RpcBinding;
using qlx::platform::RpcException;

namespace {

size_t CountCalls(const std::vector<std::string>& journal, const std::string& function) {
  return std::count_if(journal.begin(), journal.end(),
                       [&](const std::string& line) { return line.rfind(function + "(", 0) == 0; });
}

bool HasLine(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

bool FileExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

TEST(AgentStartup, WithoutRobotsEnumeratesRobotsOnceAndNoDrives) {
  AgentHarness agent(Settings{{"QLX_SIM_ROBOTS", "0"}});
  ASSERT_TRUE(agent.Ready());
  std::string pid = std::to_string(agent.Pid());
  std::string log = agent.Folder() + "/Log/";
  std::vector<std::string> expected = {
      "PTRobot_Initialize()",
      "PTRobot_SetupDebugging(\"" + log + "PTRobotDbg_" + pid + ".dbg\", 4, \"" + log +
          "PTRobotTrace_" + pid + ".dbg\")",
      "PTRobot_SetApplicationID(0)", "PTRobot_EnumRobots(out, out)"};
  EXPECT_EQ(agent.Journal(), expected);
  EXPECT_EQ(agent.LastRecordOf("RPC_PTRobot_EnumRobots").substr(0, 8), "hRobots:");
}

TEST(AgentStartup, WithThreeRobotsEnumeratesTheDrivesOfEach) {
  AgentHarness agent(Settings{{"QLX_SIM_ROBOTS", "3"}});
  ASSERT_TRUE(agent.Ready());
  std::vector<std::string> journal = agent.Journal();
  EXPECT_EQ(CountCalls(journal, "PTRobot_EnumRobots"), 1u);
  EXPECT_EQ(CountCalls(journal, "PTRobot_EnumDrives"), 3u);
}

TEST(AgentStartup, FailedInitialisationIsLoggedAndTheAgentStillServes) {
  AgentHarness agent(Settings{{"QLX_SIM_INIT_RESULT", "7"}});
  ASSERT_TRUE(agent.Ready());
  EXPECT_EQ(RPC_Probe(agent.Bind()), 0);
  std::vector<std::string> log = agent.LogLines();
  EXPECT_TRUE(HasLine(log, "[ERROR] [wmain (")) << "no ERROR record of wmain";
  EXPECT_TRUE(HasLine(log, ")] PTRobot_Initialize failed, ErrorNum: 7"));
  EXPECT_TRUE(HasLine(log, ")] RpcServerListen success "));
}

TEST(AgentStartup, EnumRobotsIsRepeatedOnceAfterAFailure) {
  AgentHarness agent(Settings{{"QLX_SIM_ENUM_ROBOTS_FAILURES", "1"}, {"QLX_SIM_ROBOTS", "1"}});
  ASSERT_TRUE(agent.Ready());
  EXPECT_EQ(CountCalls(agent.Journal(), "PTRobot_EnumRobots"), 2u);
  EXPECT_EQ(CountCalls(agent.Journal(), "PTRobot_EnumDrives"), 1u);
  // Now the library answers at once: no second call.
  int32_t robots[10];
  int32_t count = 10;
  EXPECT_EQ(RPC_PTRobot_EnumRobots(agent.Bind(), robots, &count), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(CountCalls(agent.Journal(), "PTRobot_EnumRobots"), 3u);
}

TEST(AgentEndpoints, TwoAgentsListenOnTheirOwnEndpoints) {
  AgentHarness first, second;
  ASSERT_TRUE(first.Ready());
  ASSERT_TRUE(second.Ready());
  EXPECT_NE(first.Endpoint(), second.Endpoint());
  RPC_PTRobot_ClearMergeList(first.Bind(), 1);
  RPC_PTRobot_ClearMergeList(second.Bind(), 2);
  EXPECT_EQ(first.Journal().back(), "PTRobot_ClearMergeList(1)");
  EXPECT_EQ(second.Journal().back(), "PTRobot_ClearMergeList(2)");
  std::string dbg = "PTRobotDbg_" + std::to_string(second.Pid()) + ".dbg";
  EXPECT_TRUE(HasLine(second.Journal(), dbg));
  EXPECT_FALSE(HasLine(first.Journal(), dbg));
}

TEST(AgentEndpoints, ALiveAgentsEndpointCannotBeTakenOver) {
  AgentHarness agent;
  ASSERT_TRUE(agent.Ready());
  EXPECT_EQ(qlx::platform::RpcServerUseProtseqEndpoint(u"ncalrpc", 10, agent.Endpoint().c_str()),
            qlx::platform::kRpcDuplicateEndpoint);
  EXPECT_EQ(RPC_Probe(agent.Bind()), 0);
}

TEST(AgentEndpoints, NoListenerIsAServerUnavailableFailure) {
  AgentHarness agent;
  ASSERT_TRUE(agent.Ready());
  RpcBinding binding = agent.Bind();
  agent.Kill();
  try {
    RPC_Probe(binding);
    FAIL() << "probe of a dead agent succeeded";
  } catch (const RpcException& e) {
    EXPECT_TRUE(e.Status() == qlx::platform::kRpcServerUnavailable ||
                e.Status() == qlx::platform::kRpcCallFailed)
        << e.Status();
  }
  EXPECT_FALSE(FileExists(agent.SocketPath()));
}

TEST(AgentLifetime, EndsWhenItsStarterGoesAwayAndRemovesItsEndpoint) {
  AgentHarness agent;
  ASSERT_TRUE(agent.Ready());
  ASSERT_TRUE(FileExists(agent.SocketPath()));
  agent.DropParentPipe();
  int status = agent.WaitForExit(10000);
  ASSERT_NE(status, -1) << "agent still runs";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(FileExists(agent.SocketPath()));
  EXPECT_TRUE(HasLine(agent.LogLines(), ")] RpcServerListen over "));
}

TEST(AgentLifetime, AKilledCallFailsInTheClient) {
  AgentHarness agent(Settings{{"QLX_SIM_HANG_FUNCTION", "PTRobot_LoadPrinter"}});
  ASSERT_TRUE(agent.Ready());
  RpcBinding binding = agent.Bind();
  std::thread killer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    agent.Kill();
  });
  EXPECT_THROW(RPC_PTRobot_LoadPrinter(binding, 1, 1), RpcException);
  killer.join();
  // The record was written before the call that never returned.
  EXPECT_EQ(agent.LastRecordOf("RPC_PTRobot_LoadPrinter"), "Robot:1 FromLocation:1");
}

TEST(AgentConcurrency, OneHundredTwentySlowCallsRunAtOnceAndOneMoreIsTooBusy) {
  constexpr int kCalls = 120;
  constexpr int kDelayMs = 1500;
  AgentHarness agent(Settings{{"QLX_SIM_DELAY_MS", std::to_string(kDelayMs)},
                              {"QLX_SIM_DELAY_FUNCTION", "PTRobot_GetRobotStatus"}});
  ASSERT_TRUE(agent.Ready());
  std::vector<RpcBinding> bindings;
  for (int i = 0; i < kCalls + 1; ++i) bindings.push_back(agent.Bind());
  std::atomic<int> succeeded{0};
  auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int i = 0; i < kCalls; ++i) {
    threads.emplace_back([&, i] {
      RobotStatus status;
      try {
        if (RPC_PTRobot_GetRobotStatus(bindings[i], 1, &status) >= 0) ++succeeded;
      } catch (const RpcException&) {
      }
    });
  }
  // Once all 120 are inside the library, the next call finds no free slot.
  auto deadline = start + std::chrono::milliseconds(kDelayMs - 300);
  while (CountCalls(agent.Journal(), "PTRobot_GetRobotStatus") < kCalls &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (CountCalls(agent.Journal(), "PTRobot_GetRobotStatus") == kCalls) {
    try {
      RPC_Probe(bindings[kCalls]);
      ADD_FAILURE() << "a 121st call was served";
    } catch (const RpcException& e) {
      EXPECT_EQ(e.Status(), qlx::platform::kRpcServerTooBusy);
    }
  }
  for (auto& thread : threads) thread.join();
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(succeeded.load(), kCalls);
  // Served side by side: far less than even two calls one after the other.
  EXPECT_LT(elapsed, std::chrono::milliseconds(kDelayMs * 2 + 1000));
  EXPECT_EQ(RPC_Probe(bindings[kCalls]), 0);
}

}  // namespace
