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
#include "sim/robot/SimRobot.h"

namespace qlx::proxytest {
namespace {

const std::string kBinDir = QLX_BIN_DIR;
constexpr uint32_t kNoAgent = 1000;
constexpr uint32_t kCallFailed = 1001;
constexpr uint32_t kNotSupported = 2000;

// Handles the simulated vendor library issues (robot i from 0).
const int32_t kRobotA = sim::RobotHandle(0);
const int32_t kRobotB = sim::RobotHandle(1);

// Agent processes started from `folder` that still run.
std::set<int> AgentsFrom(const std::string& folder) {
  std::set<int> agents;
  const std::string program = folder + "/Kestrane.exe";
  DIR* proc = opendir("/proc");
  while (dirent* entry = proc ? readdir(proc) : nullptr) {
    const int pid = std::atoi(entry->d_name);
    if (pid <= 0) continue;
    const std::string base = "/proc/" + std::to_string(pid);
    char exe[4096];
    ssize_t size = readlink((base + "/exe").c_str(), exe, sizeof exe - 1);
    if (size <= 0 || std::string(exe, static_cast<size_t>(size)) != program) continue;
    const std::string stat = ReadFile(base + "/stat");
    const auto close = stat.rfind(')');
    if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z')
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
    setenv("QLX_SIM_ROBOTS", "4", 1);
    for (const char* name : {"QLX_SIM_DRIVES", "QLX_SIM_DELAY_MS", "QLX_SIM_DELAY_FUNCTION",
                             "QLX_SIM_HANG_FUNCTION", "QLX_SIM_EXIT_FUNCTION"})
      unsetenv(name);
  }
  void TearDown() override {
    velnor_.reset();
    // A library still loaded after dlclose keeps its agents: end them here so
    // that the next case starts clean (the unload case checks the library).
    for (int agent : RunningAgents()) kill(agent, SIGKILL);
    unsetenv("XDG_RUNTIME_DIR");
  }

  // Loads Velnor.dll from a folder of this case's own that holds the proxy,
  // the agent and the simulator (without the agent when `withAgent` is false).
  const VelnorApi& Load(bool withAgent = true) {
    for (const char* file : {"Velnor.dll", "Kestrane.exe", "PTRobot.dll"}) {
      if (withAgent || std::string(file) == "Velnor.dll")
        CopyFile(kBinDir + "/" + file, folder_.File(file));
    }
    velnor_ = std::make_unique<VelnorLibrary>(folder_.File("Velnor.dll"));
    EXPECT_TRUE(velnor_->Loaded());
    return velnor_->Api();
  }
  void Unload() { velnor_.reset(); }
  bool LibraryMapped() const {
    return ReadFile("/proc/self/maps").find(folder_.File("Velnor.dll")) != std::string::npos;
  }
  std::set<int> RunningAgents() const { return AgentsFrom(folder_.Path()); }

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
  TempDir folder_;
  std::unique_ptr<VelnorLibrary> velnor_;
};

TEST_F(VelnorTest, FirstCallStartsOneAgentAndTheSecondReusesIt) {
  const VelnorApi& api = Load();
  RobotInfo info{};
  EXPECT_EQ(api.PTRobot_GetRobotInfo(kRobotA, &info), 0u);
  const std::set<int> agents = RunningAgents();
  ASSERT_EQ(agents.size(), 1u);
  EXPECT_EQ(api.PTRobot_GetRobotInfo(kRobotA, &info), 0u);
  EXPECT_EQ(RunningAgents(), agents);
  auto calls = Journal("PTRobot_GetRobotInfo");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].pid, *agents.begin());
  EXPECT_EQ(calls[1].pid, *agents.begin());
  EXPECT_EQ(calls[1].arguments, std::to_string(kRobotA) + ", out");
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
      {"drive before any enumeration", api.PTRobot_GetDriveInfo(sim::DriveHandle(0, 0, 2), &drive)},
      {"drive 0", api.PTRobot_OpenCloseDrive(0, 1)},
      {"enum robots", api.PTRobot_EnumRobots(robots, &robotCount)},
      {"initialize", api.PTRobot_Initialize()},
      {"destroy", api.PTRobot_Destroy()},
      {"setup debugging", api.PTRobot_SetupDebugging(u"a", 4, u"b")},
      {"preview", api.PTRobot_GetSureThingPreview(u"a", u"b", 300)},
      {"application id", api.PTRobot_SetApplicationID(3)},
      {"drives with list",
       api.PTRobot_EnumDrivesWithList(kRobotA, drives, &driveCount, nullptr, 0)},
      {"open/close function", api.PTRobot_SetOpenCloseFunction(nullptr)},
      {"print with merge", api.PTRobot_PrintFileWithMerge(kRobotA, u"label")},
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
  ASSERT_EQ(api.PTRobot_GetRobotStatus(kRobotA, &status), 0u);
  const int first = LastServer("PTRobot_GetRobotStatus");
  ASSERT_EQ(kill(first, SIGKILL), 0);
  EXPECT_EQ(api.PTRobot_GetRobotStatus(kRobotA, &status), 0u);
  const int second = LastServer("PTRobot_GetRobotStatus");
  EXPECT_NE(second, first);
  EXPECT_EQ(RunningAgents(), std::set<int>{second});
}

TEST_F(VelnorTest, EachRobotHandleGetsItsOwnAgentAndEndpoint) {
  const VelnorApi& api = Load();
  int32_t options = 0;
  ASSERT_EQ(api.PTRobot_GetRobotOptions(kRobotA, &options), 0u);
  const int five = LastServer("PTRobot_GetRobotOptions");
  ASSERT_EQ(api.PTRobot_GetRobotOptions(kRobotB, &options), 0u);
  const int seven = LastServer("PTRobot_GetRobotOptions");
  EXPECT_NE(five, seven);
  EXPECT_EQ(RunningAgents(), (std::set<int>{five, seven}));
  EXPECT_TRUE(access(EndpointFile(five).c_str(), F_OK) == 0);
  EXPECT_TRUE(access(EndpointFile(seven).c_str(), F_OK) == 0);
  EXPECT_EQ(api.PTRobot_SetRobotOptions(kRobotB, 3), 0u);
  EXPECT_EQ(LastServer("PTRobot_SetRobotOptions"), seven);
}

TEST_F(VelnorTest, DriveExportsRunInTheOwningRobotsAgentWithTheDriveHandle) {
  const VelnorApi& api = Load();
  int32_t drives[10] = {};
  int32_t count = 10;
  ASSERT_EQ(api.PTRobot_EnumDrives(kRobotA, drives, &count), 0u);
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
  setenv("QLX_SIM_DRIVES", "2", 1);
  const VelnorApi& api = Load();
  const int32_t kept = sim::DriveHandle(0, 0, 2);
  const int32_t dropped = sim::DriveHandle(0, 1, 2);
  int32_t drives[10] = {};
  int32_t count = 10;
  ASSERT_EQ(api.PTRobot_EnumDrives(kRobotA, drives, &count), 0u);
  ASSERT_EQ(count, 2);
  // Each DestroyEx ends the agent; the next one reads the settings anew.
  // A robot the vendor library does not know: the enumeration fails.
  ASSERT_EQ(api.PTRobot_DestroyEx(kRobotA), 0u);
  setenv("QLX_SIM_ROBOTS", "0", 1);
  count = 10;
  EXPECT_EQ(api.PTRobot_EnumDrives(kRobotA, drives, &count), sim::kErrInvalidRobot);
  EXPECT_EQ(api.PTRobot_OpenCloseDrive(dropped, 0), sim::kErrInvalidDrive)
      << "the previous list is kept, so the call still reaches an agent";
  // One drive now: the new list replaces the old.
  ASSERT_EQ(api.PTRobot_DestroyEx(kRobotA), 0u);
  setenv("QLX_SIM_ROBOTS", "1", 1);
  setenv("QLX_SIM_DRIVES", "1", 1);
  count = 10;
  ASSERT_EQ(api.PTRobot_EnumDrives(kRobotA, drives, &count), 0u);
  ASSERT_EQ(count, 1);
  ASSERT_EQ(drives[0], kept);
  EXPECT_EQ(api.PTRobot_OpenCloseDrive(dropped, 0), kNoAgent);
  EXPECT_EQ(api.PTRobot_OpenCloseDrive(kept, 0), 0u);
}

TEST_F(VelnorTest, DestroyExEndsTheAgentWhateverTheResult) {
  const VelnorApi& api = Load();
  EXPECT_EQ(api.PTRobot_InitializeEx(kRobotA), 0u);
  const int first = LastServer("PTRobot_Initialize");
  EXPECT_EQ(api.PTRobot_DestroyEx(kRobotA), 0u);
  EXPECT_TRUE(WaitUntil([&] { return RunningAgents().empty(); }));
  EXPECT_NE(access(EndpointFile(first).c_str(), F_OK), 0) << "endpoint file left behind";

  // The vendor library fails Destroy (the agent dies in it): the agent ends too.
  setenv("QLX_SIM_EXIT_FUNCTION", "PTRobot_Destroy", 1);
  EXPECT_EQ(api.PTRobot_DestroyEx(kRobotA), kCallFailed);
  EXPECT_TRUE(WaitUntil([&] { return RunningAgents().empty(); }));
}

TEST_F(VelnorTest, MissingAgentProgramGives1000AndRecordsNothing) {
  const VelnorApi& api = Load(/*withAgent=*/false);
  RobotInfo info{};
  EXPECT_EQ(api.PTRobot_GetRobotInfo(kRobotA, &info), kNoAgent);
  EXPECT_EQ(ReadFile(JournalPath()), "");
  // Nothing was recorded: once the agent is there, the robot gets one.
  CopyFile(kBinDir + "/Kestrane.exe", folder_.File("Kestrane.exe"));
  CopyFile(kBinDir + "/PTRobot.dll", folder_.File("PTRobot.dll"));
  EXPECT_EQ(api.PTRobot_GetRobotInfo(kRobotA, &info), 0u);
  EXPECT_EQ(RunningAgents().size(), 1u);
}

TEST_F(VelnorTest, AgentKilledDuringACallMakesItReturn1001Promptly) {
  setenv("QLX_SIM_HANG_FUNCTION", "PTRobot_LoadPrinter", 1);
  const VelnorApi& api = Load();
  RobotStatus status{};
  ASSERT_EQ(api.PTRobot_GetRobotStatus(kRobotA, &status), 0u);
  const int agent = LastServer("PTRobot_GetRobotStatus");
  auto call = std::async(std::launch::async, [&] { return api.PTRobot_LoadPrinter(kRobotA, 1); });
  ASSERT_TRUE(WaitUntil([&] { return LastServer("PTRobot_LoadPrinter") == agent; }));
  ASSERT_EQ(kill(agent, SIGKILL), 0);
  ASSERT_EQ(call.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(call.get(), kCallFailed);
}

TEST_F(VelnorTest, UnloadingTheLibraryEndsItsAgentsAndTheirEndpoints) {
  const VelnorApi& api = Load();
  // The calls run on the unloading thread itself: per-thread state with
  // destructors in the library would keep it loaded, and its agents running.
  for (int32_t robot : {kRobotA, kRobotB}) EXPECT_EQ(api.PTRobot_ClearMergeList(robot), 0u);
  const std::set<int> agents = RunningAgents();
  ASSERT_EQ(agents.size(), 2u);
  Unload();
  ASSERT_FALSE(LibraryMapped()) << "dlclose did not unload Velnor.dll";
  for (int agent : agents) {
    EXPECT_FALSE(ProcessListed(agent)) << "still there after unload: " << agent;
    EXPECT_NE(access(EndpointFile(agent).c_str(), F_OK), 0);
  }
}

TEST_F(VelnorTest, AgentsOfAHostThatDiesEndThemselves) {
  Load();  // only for the folder's files; the host loads its own copy
  Unload();
  const std::string ready = runtime_.File("ready");
  setenv("VELNOR_PATH", folder_.File("Velnor.dll").c_str(), 1);
  setenv("HOST_READY", ready.c_str(), 1);
  pid_t host = fork();
  ASSERT_GE(host, 0);
  if (host == 0) {
    execl(QLX_TEST_BIN_DIR "/proxy_crashing_host", "proxy_crashing_host", nullptr);
    _exit(127);
  }
  unsetenv("VELNOR_PATH");
  unsetenv("HOST_READY");
  ASSERT_TRUE(WaitUntil([&] { return !ReadFile(ready).empty(); }, 10000));
  EXPECT_EQ(ReadFile(ready), "0\n");
  const std::set<int> agents = RunningAgents();
  ASSERT_EQ(agents.size(), 1u);
  kill(host, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(host, &status, 0), host);
  EXPECT_TRUE(WaitUntil([&] { return RunningAgents().empty(); }))
      << "the agent outlived the host that started it";
}

TEST_F(VelnorTest, ProcessThatReusedAnAgentsIdIsNeverKilled) {
  const VelnorApi& api = Load();
  ASSERT_EQ(api.PTRobot_ClearMergeList(kRobotA), 0u);
  const int agent = LastServer("PTRobot_ClearMergeList");
  // The agent dies and the proxy notices (and reaps it) on a call that cannot
  // start a new one, so the registry keeps the old id.
  ASSERT_EQ(kill(agent, SIGKILL), 0);
  std::remove(folder_.File("Kestrane.exe").c_str());
  ASSERT_EQ(api.PTRobot_ClearMergeList(kRobotA), kNoAgent);
  pid_t decoy = ForkDecoyWithPid(agent);
  if (decoy < 0) GTEST_SKIP() << "cannot make the system reuse a process id here";
  api.PTRobot_DestroyEx(kRobotA);
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
    threads.emplace_back([&, robot = sim::RobotHandle(t % 4)] {
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
      {"record", api.PTRobot_GetRobotInfo(kRobotA, nullptr)},
      {"in record", api.PTRobot_SetPrinterSettings(kRobotA, nullptr)},
      {"out integer", api.PTRobot_GetRobotOptions(kRobotA, nullptr)},
      {"drive array", api.PTRobot_EnumDrives(kRobotA, nullptr, &count)},
      {"drive count", api.PTRobot_EnumDrives(kRobotA, drives, nullptr)},
      {"text buffer", api.PTRobot_GetErrorString(kRobotA, 1, nullptr, 8, 0)},
      {"serial buffer", api.PTRobot_GetDriveSerialFromFlash(kRobotA, 0, 0, nullptr)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.result, kCallFailed) << c.what;

  count = 11;
  EXPECT_EQ(api.PTRobot_EnumDrives(kRobotA, drives, &count), kCallFailed);
  EXPECT_EQ(api.PTRobot_GetErrorString(kRobotA, 1, text, 8, 0), 0u);
  EXPECT_NE(api.PTRobot_PrintFile(kRobotA, nullptr, 1), kCallFailed)
      << "a null text travels as null";
  EXPECT_EQ(RunningAgents().size(), 1u);
}

}  // namespace
}  // namespace qlx::proxytest
