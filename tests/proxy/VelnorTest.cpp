// Velnor.dll with real agent processes (Kestrane.exe) over the simulated
// vendor library, whose journal tells which agent process got which call.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ProxyTestSupport.h"
#include "VelnorLoader.h"
#include "gtest/gtest.h"

namespace qlx::proxytest {
namespace {

const std::string kBinDir = QLX_BIN_DIR;
constexpr uint32_t kNoAgent = 1000;
constexpr uint32_t kCallFailed = 1001;
constexpr uint32_t kNotSupported = 2000;

// Agent processes this test process started that still run.
std::set<int> RunningAgents() {
  std::set<int> agents;
  DIR* proc = opendir("/proc");
  while (dirent* entry = proc ? readdir(proc) : nullptr) {
    const int pid = std::atoi(entry->d_name);
    if (pid <= 0) continue;
    std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    auto open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 2));
    char state = 0;
    int parent = 0;
    rest >> state >> parent;
    if (stat.substr(open + 1, close - open - 1) == "Kestrane.exe" && parent == getpid() &&
        state != 'Z')
      agents.insert(pid);
  }
  if (proc) closedir(proc);
  return agents;
}

class VelnorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    setenv("QLX_SIM_JOURNAL", JournalPath().c_str(), 1);
    setenv("QLX_SIM_ROBOTS", "1,2,3,4,5,7", 1);
    for (const char* name : {"QLX_SIM_DRIVES", "QLX_SIM_DELAY_MS", "QLX_SIM_DELAY_FUNCTION",
                             "QLX_SIM_HANG_FUNCTION", "QLX_SIM_EXIT_FUNCTION"})
      unsetenv(name);
  }
  void TearDown() override {
    velnor_.reset();
    EXPECT_TRUE(WaitUntil([] { return RunningAgents().empty(); })) << "agents left behind";
    unsetenv("XDG_RUNTIME_DIR");
  }

  const VelnorApi& Load(const std::string& folder = kBinDir) {
    velnor_ = std::make_unique<VelnorLibrary>(folder + "/Velnor.dll");
    EXPECT_TRUE(velnor_->Loaded());
    return velnor_->Api();
  }
  void Unload() { velnor_.reset(); }

  std::string JournalPath() const { return runtime_.File("journal"); }
  std::vector<JournalEntry> Journal(const std::string& function) const {
    std::vector<JournalEntry> entries;
    std::ifstream in(JournalPath());
    std::string line;
    while (std::getline(in, line)) {
      JournalEntry entry;
      std::istringstream words(line);
      std::string call;
      if (!(words >> entry.pid) || !std::getline(words >> std::ws, call)) continue;
      auto open = call.find('(');
      entry.function = call.substr(0, open);
      if (open != std::string::npos && call.back() == ')')
        entry.arguments = call.substr(open + 1, call.size() - open - 2);
      if (entry.function == function) entries.push_back(entry);
    }
    return entries;
  }
  // The process that served the last call of `function`, 0 when none did.
  int LastServer(const std::string& function) const {
    auto entries = Journal(function);
    return entries.empty() ? 0 : entries.back().pid;
  }
  std::string EndpointFile(int pid) const {
    return runtime_.Path() + "/qlx-rpc/PTRobotRpc" + std::to_string(pid);
  }

  TempDir runtime_;
  std::unique_ptr<VelnorLibrary> velnor_;
};

TEST_F(VelnorTest, FirstCallStartsOneAgentAndTheSecondReusesIt) {
  const VelnorApi& api = Load();
  RobotInfo info{};
  EXPECT_EQ(api.PTRobot_GetRobotInfo(5, &info), 0u);
  const std::set<int> agents = RunningAgents();
  ASSERT_EQ(agents.size(), 1u);
  EXPECT_EQ(api.PTRobot_GetRobotInfo(5, &info), 0u);
  EXPECT_EQ(RunningAgents(), agents);
  auto calls = Journal("PTRobot_GetRobotInfo");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].pid, *agents.begin());
  EXPECT_EQ(calls[1].pid, *agents.begin());
  EXPECT_EQ(calls[1].arguments.substr(0, 1), "5");
}

TEST_F(VelnorTest, CallsThatNeedNoAgentStartNone) {
  const VelnorApi& api = Load();
  int32_t robots[10] = {42, 43};
  int32_t robotCount = 7;
  DrvInfo drive{};
  int32_t drives[10] = {};
  int32_t driveCount = 10;
  RobotInfo info{};
  struct Case {
    const char* what;
    uint32_t result;
  };
  const Case cases[] = {
      {"robot 0", api.PTRobot_GetRobotInfo(0, &info)},
      {"robot 0, drives", api.PTRobot_EnumDrives(0, drives, &driveCount)},
      {"robot 0, init", api.PTRobot_InitializeEx(0)},
      {"robot 0, destroy", api.PTRobot_DestroyEx(0)},
      {"drive before any enumeration", api.PTRobot_GetDriveInfo(69, &drive)},
      {"drive 0", api.PTRobot_OpenCloseDrive(0, 1)},
      {"enum robots", api.PTRobot_EnumRobots(robots, &robotCount)},
      {"initialize", api.PTRobot_Initialize()},
      {"destroy", api.PTRobot_Destroy()},
      {"setup debugging", api.PTRobot_SetupDebugging(u"a", 4, u"b")},
      {"preview", api.PTRobot_GetSureThingPreview(u"a", u"b", 300)},
      {"application id", api.PTRobot_SetApplicationID(3)},
      {"drives with list", api.PTRobot_EnumDrivesWithList(5, drives, &driveCount, nullptr, 0)},
      {"open/close function", api.PTRobot_SetOpenCloseFunction(nullptr)},
      {"print with merge", api.PTRobot_PrintFileWithMerge(5, u"label")},
  };
  const uint32_t expected[] = {
      kNoAgent, kNoAgent, kNoAgent, kNoAgent,      kNoAgent,      kNoAgent,     0, 0, 0,
      0,        0,        0,        kNotSupported, kNotSupported, kNotSupported};
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(cases[i].result, expected[i]) << cases[i].what;
  EXPECT_EQ(robots[0], 42);
  EXPECT_EQ(robots[1], 43);
  EXPECT_EQ(robotCount, 7) << "EnumRobots touches nothing";
  EXPECT_TRUE(RunningAgents().empty());
  EXPECT_EQ(ReadFile(JournalPath()), "");
}

TEST_F(VelnorTest, AgentKilledFromOutsideIsReplacedOnTheNextCall) {
  const VelnorApi& api = Load();
  RobotStatus status{};
  ASSERT_EQ(api.PTRobot_GetRobotStatus(5, &status), 0u);
  const int first = LastServer("PTRobot_GetRobotStatus");
  ASSERT_EQ(kill(first, SIGKILL), 0);
  EXPECT_EQ(api.PTRobot_GetRobotStatus(5, &status), 0u);
  const int second = LastServer("PTRobot_GetRobotStatus");
  EXPECT_NE(second, first);
  EXPECT_EQ(RunningAgents(), std::set<int>{second});
}

TEST_F(VelnorTest, EachRobotHandleGetsItsOwnAgentAndEndpoint) {
  const VelnorApi& api = Load();
  int32_t options = 0;
  ASSERT_EQ(api.PTRobot_GetRobotOptions(5, &options), 0u);
  const int five = LastServer("PTRobot_GetRobotOptions");
  ASSERT_EQ(api.PTRobot_GetRobotOptions(7, &options), 0u);
  const int seven = LastServer("PTRobot_GetRobotOptions");
  EXPECT_NE(five, seven);
  EXPECT_EQ(RunningAgents(), (std::set<int>{five, seven}));
  EXPECT_TRUE(access(EndpointFile(five).c_str(), F_OK) == 0);
  EXPECT_TRUE(access(EndpointFile(seven).c_str(), F_OK) == 0);
  EXPECT_EQ(api.PTRobot_SetRobotOptions(7, 3), 0u);
  EXPECT_EQ(LastServer("PTRobot_SetRobotOptions"), seven);
}

TEST_F(VelnorTest, DriveExportsRunInTheOwningRobotsAgentWithTheDriveHandle) {
  const VelnorApi& api = Load();
  int32_t drives[10] = {};
  int32_t count = 10;
  ASSERT_EQ(api.PTRobot_EnumDrives(5, drives, &count), 0u);
  ASSERT_GE(count, 1);
  const int agent = LastServer("PTRobot_EnumDrives");
  const int32_t drive = drives[count - 1];

  DrvInfo info{};
  DrvInfo2 info2{};
  EXPECT_EQ(api.PTRobot_OpenCloseDrive(drive, 1), 0u);
  EXPECT_EQ(api.PTRobot_GetDriveInfo(drive, &info), 0u);
  EXPECT_EQ(api.PTRobot_GetDriveInfo2(drive, &info2), 0u);
  for (const char* function :
       {"PTRobot_OpenCloseDrive", "PTRobot_GetDriveInfo", "PTRobot_GetDriveInfo2"}) {
    auto calls = Journal(function);
    ASSERT_EQ(calls.size(), 1u) << function;
    EXPECT_EQ(calls[0].pid, agent) << function;
    EXPECT_EQ(calls[0].arguments.substr(0, calls[0].arguments.find(',')), std::to_string(drive))
        << function;
  }
  EXPECT_EQ(RunningAgents().size(), 1u);
}

TEST_F(VelnorTest, FailedDriveEnumerationKeepsTheListAndASuccessReplacesIt) {
  setenv("QLX_SIM_DRIVES", "5:69,70", 1);
  const VelnorApi& api = Load();
  int32_t drives[10] = {};
  int32_t count = 10;
  ASSERT_EQ(api.PTRobot_EnumDrives(5, drives, &count), 0u);
  ASSERT_EQ(count, 2);
  // A new agent for robot 5 (started after DestroyEx) sees a robot without
  // drives: the enumeration fails and the old list stays.
  ASSERT_EQ(api.PTRobot_DestroyEx(5), 0u);
  setenv("QLX_SIM_ROBOTS", "7", 1);
  count = 10;
  EXPECT_NE(api.PTRobot_EnumDrives(5, drives, &count), 0u);
  EXPECT_NE(api.PTRobot_OpenCloseDrive(70, 0), kNoAgent) << "previous list lost";
  // The next agent reports other drives: they replace the list.
  ASSERT_EQ(api.PTRobot_DestroyEx(5), 0u);
  setenv("QLX_SIM_ROBOTS", "5", 1);
  setenv("QLX_SIM_DRIVES", "5:71", 1);
  count = 10;
  ASSERT_EQ(api.PTRobot_EnumDrives(5, drives, &count), 0u);
  EXPECT_EQ(api.PTRobot_OpenCloseDrive(70, 0), kNoAgent);
  EXPECT_EQ(api.PTRobot_OpenCloseDrive(71, 0), 0u);
}

TEST_F(VelnorTest, DestroyExEndsTheAgentWhateverTheResult) {
  const VelnorApi& api = Load();
  EXPECT_EQ(api.PTRobot_InitializeEx(5), 0u);
  const int first = LastServer("PTRobot_Initialize");
  EXPECT_EQ(api.PTRobot_DestroyEx(5), 0u);
  EXPECT_TRUE(WaitUntil([] { return RunningAgents().empty(); }));
  EXPECT_NE(access(EndpointFile(first).c_str(), F_OK), 0) << "endpoint file left behind";

  // A Destroy that fails in the vendor library (robot unknown to it) ends it too.
  setenv("QLX_SIM_ROBOTS", "", 1);
  RobotStatus status{};
  api.PTRobot_GetRobotStatus(9, &status);
  ASSERT_EQ(RunningAgents().size(), 1u);
  setenv("QLX_SIM_EXIT_FUNCTION", "PTRobot_Destroy", 1);
  EXPECT_EQ(api.PTRobot_DestroyEx(9), 0u);
}

TEST_F(VelnorTest, MissingAgentProgramGives1000AndRecordsNothing) {
  TempDir folder;
  CopyFile(kBinDir + "/Velnor.dll", folder.File("Velnor.dll"));
  const VelnorApi& api = Load(folder.Path());
  RobotInfo info{};
  EXPECT_EQ(api.PTRobot_GetRobotInfo(5, &info), kNoAgent);
  EXPECT_TRUE(RunningAgents().empty());
  // Nothing was recorded: once the agent is there, the robot gets one.
  CopyFile(kBinDir + "/Kestrane.exe", folder.File("Kestrane.exe"));
  CopyFile(kBinDir + "/PTRobot.dll", folder.File("PTRobot.dll"));
  EXPECT_EQ(api.PTRobot_GetRobotInfo(5, &info), 0u);
  EXPECT_EQ(RunningAgents().size(), 1u);
}

TEST_F(VelnorTest, AgentKilledDuringACallMakesItReturn1001Promptly) {
  setenv("QLX_SIM_HANG_FUNCTION", "PTRobot_LoadPrinter", 1);
  const VelnorApi& api = Load();
  RobotStatus status{};
  ASSERT_EQ(api.PTRobot_GetRobotStatus(5, &status), 0u);
  const int agent = LastServer("PTRobot_GetRobotStatus");
  auto call = std::async(std::launch::async, [&] { return api.PTRobot_LoadPrinter(5, 1); });
  ASSERT_TRUE(WaitUntil([&] { return LastServer("PTRobot_LoadPrinter") == agent; }));
  ASSERT_EQ(kill(agent, SIGKILL), 0);
  ASSERT_EQ(call.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(call.get(), kCallFailed);
}

TEST_F(VelnorTest, UnloadingTheLibraryEndsItsAgentsAndTheirEndpoints) {
  const VelnorApi& api = Load();
  for (int32_t robot : {5, 7}) EXPECT_EQ(api.PTRobot_ClearMergeList(robot), 0u);
  const std::set<int> agents = RunningAgents();
  ASSERT_EQ(agents.size(), 2u);
  Unload();
  for (int agent : agents) {
    EXPECT_FALSE(ProcessListed(agent)) << "still there after unload: " << agent;
    EXPECT_NE(access(EndpointFile(agent).c_str(), F_OK), 0);
  }
}

// Makes the next process the system creates take `pid`; -1 when not possible.
pid_t ForkDecoyWithPid(pid_t pid) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::ofstream last("/proc/sys/kernel/ns_last_pid");
    if (!(last << pid - 1 << std::flush)) return -1;
    last.close();
    pid_t decoy = fork();
    if (decoy == 0) {
      for (;;) pause();
    }
    if (decoy == pid) return decoy;
    kill(decoy, SIGKILL);
    waitpid(decoy, nullptr, 0);
  }
  return -1;
}

TEST_F(VelnorTest, ProcessThatReusedAnAgentsIdIsNeverKilled) {
  TempDir folder;
  for (const char* file : {"Velnor.dll", "Kestrane.exe", "PTRobot.dll"})
    CopyFile(kBinDir + "/" + file, folder.File(file));
  const VelnorApi& api = Load(folder.Path());
  ASSERT_EQ(api.PTRobot_ClearMergeList(5), 0u);
  const int agent = LastServer("PTRobot_ClearMergeList");
  // The agent dies and the proxy notices (and reaps it) on a call that cannot
  // start a new one, so the registry keeps the old id.
  ASSERT_EQ(kill(agent, SIGKILL), 0);
  std::remove(folder.File("Kestrane.exe").c_str());
  ASSERT_EQ(api.PTRobot_ClearMergeList(5), kNoAgent);
  pid_t decoy = ForkDecoyWithPid(agent);
  if (decoy < 0) GTEST_SKIP() << "cannot make the system reuse a process id here";
  api.PTRobot_DestroyEx(5);
  Unload();
  int status = 0;
  EXPECT_EQ(waitpid(decoy, &status, WNOHANG), 0) << "the process with the reused id was killed";
  kill(decoy, SIGKILL);
  waitpid(decoy, &status, 0);
}

TEST_F(VelnorTest, EightThreadsForFourRobotsAllSucceedWithFourAgents) {
  const VelnorApi& api = Load();
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, robot = 1 + t % 4] {
      for (int i = 0; i < 5; ++i) {
        RobotInfo info{};
        if (api.PTRobot_GetRobotInfo(robot, &info) != 0) ++failures;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(RunningAgents().size(), 4u);
  std::set<int> servers;
  for (const JournalEntry& call : Journal("PTRobot_GetRobotInfo")) servers.insert(call.pid);
  EXPECT_EQ(servers.size(), 4u);
}

TEST_F(VelnorTest, NullPointersAndOversizedCountsGiveAnErrorAndTheAgentServesOn) {
  const VelnorApi& api = Load();
  int32_t drives[11] = {};
  int32_t count = 10;
  char16_t text[8] = {};
  struct Case {
    const char* what;
    uint32_t result;
  };
  const Case cases[] = {
      {"record", api.PTRobot_GetRobotInfo(5, nullptr)},
      {"in record", api.PTRobot_SetPrinterSettings(5, nullptr)},
      {"out integer", api.PTRobot_GetRobotOptions(5, nullptr)},
      {"drive array", api.PTRobot_EnumDrives(5, nullptr, &count)},
      {"drive count", api.PTRobot_EnumDrives(5, drives, nullptr)},
      {"text buffer", api.PTRobot_GetErrorString(5, 1, nullptr, 8, 0)},
      {"serial buffer", api.PTRobot_GetDriveSerialFromFlash(5, 0, 0, nullptr)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.result, kCallFailed) << c.what;

  count = 11;
  EXPECT_EQ(api.PTRobot_EnumDrives(5, drives, &count), kCallFailed);
  EXPECT_EQ(api.PTRobot_GetErrorString(5, 1, text, 8, 0), 0u);
  EXPECT_NE(api.PTRobot_PrintFile(5, nullptr, 1), kCallFailed) << "a null text travels as null";
  EXPECT_EQ(RunningAgents().size(), 1u);
}

}  // namespace
}  // namespace qlx::proxytest
