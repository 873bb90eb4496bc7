// The controller on the Windows XP path: Dravent.dll binds Velnor.dll from
// the host's folder, which runs the simulator in one Kestrane.exe agent per
// robot. The journal's process ids tell where each vendor call ran.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "HostFolder.h"
#include "sim/robot/SimRobot.h"

namespace {

const std::string kDriveE = "0x65";
const std::string kDriveF = "0x46";

// Processes still running from `folder` (agents left behind).
std::vector<int> ProcessesRunningFrom(const std::string& folder) {
  std::vector<int> running;
  DIR* proc = opendir("/proc");
  while (dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
    const int pid = std::atoi(entry->d_name);
    if (pid <= 0) continue;
    char exe[4096] = {};
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    if (readlink(link.c_str(), exe, sizeof exe - 1) > 0 && std::string(exe).rfind(folder, 0) == 0) {
      running.push_back(pid);
    }
  }
  if (proc != nullptr) closedir(proc);
  return running;
}

class XpPath : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"Velnor.dll", "Kestrane.exe", "PTRobot.dll"}) {
      if (!std::filesystem::exists(std::string(QLX_BIN_DIR) + "/" + name)) {
        GTEST_SKIP() << name << " is not built";
      }
      folder.AddBin(name);
    }
    folder.SetEnv("QLX_WINDOWS_VERSION", "5.1");
    folder.SetEnv("QLX_SIM_ROBOTS", "1,2");
    folder.SetEnv("QLX_SIM_DRIVES", "1:101,70");
    const std::string runtime = folder.Path() + "/run";
    std::filesystem::create_directories(runtime);
    folder.SetEnv("XDG_RUNTIME_DIR", runtime);
  }

  void TearDown() override {
    if (IsSkipped()) return;
    // The proxy ends its agents when the host ends; give the system a moment.
    for (int i = 0; i < 50 && !ProcessesRunningFrom(folder.Path() + "/").empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(ProcessesRunningFrom(folder.Path() + "/").empty()) << "agents left behind";
  }

  HostRun RunXp(const std::vector<SlotCall>& calls) {
    HostRun run = RunHost(folder, calls);
    EXPECT_EQ(run.calls.size(), calls.size()) << run.output;
    hostPid = run.pid;
    return run;
  }

  // The process ids that served `function`.
  std::vector<int> Servers(const std::string& function) const {
    std::vector<int> pids;
    for (const JournalEntry& entry : folder.Journal(function)) pids.push_back(entry.pid);
    return pids;
  }

  HostFolder folder;
  int hostPid = 0;
};

TEST_F(XpPath, InitBindsTheProxyWhichAnswersItself) {
  const HostRun run = RunXp({{"1"}, {"30", "cb"}, {"29", "s:dbg.txt", "4", "s:trace.txt"}});
  ASSERT_EQ(run.calls.size(), 3u);
  EXPECT_EQ(run.calls[0].result, 0u);
  EXPECT_EQ(run.calls[1].result, 2000u);  // not offered through the proxy
  EXPECT_EQ(run.calls[2].result, 0u);
  EXPECT_TRUE(folder.Journal().empty()) << "no agent needed so far";
}

TEST_F(XpPath, InitFailsWithoutTheProxyEvenNextToTheVendorLibrary) {
  std::filesystem::remove(folder.Path() + "/Velnor.dll");
  const HostRun run = RunXp({{"1"}});
  ASSERT_EQ(run.calls.size(), 1u);
  EXPECT_EQ(run.calls[0].result, 500u);
}

TEST_F(XpPath, EnumRobotsFindsTheProxysCountOfTenUnchanged) {
  const HostRun run = RunXp({{"1"},
                             {"2", "buf:40:ff", "int:10"},
                             {"2", "buf:48:ff", "int:12"},
                             {"2", "buf:12:ff", "int:3"}});
  ASSERT_EQ(run.calls.size(), 4u);
  EXPECT_EQ(run.calls[1].result, 0u);
  EXPECT_EQ(Int32s(run.calls[1].buffers[0]), std::vector<int32_t>(10, 0));
  EXPECT_EQ(Int32s(run.calls[1].buffers[1]), std::vector<int32_t>{10});
  EXPECT_EQ(run.calls[2].result, 0u);
  EXPECT_EQ(Int32s(run.calls[2].buffers[1]), std::vector<int32_t>{10});
  EXPECT_EQ(run.calls[3].result, 601u);
  EXPECT_EQ(run.calls[3].buffers[0], Repeat("ff", 12));
  EXPECT_EQ(Int32s(run.calls[3].buffers[1]), std::vector<int32_t>{3});
}

TEST_F(XpPath, DrivesAreReachableAfterTheirRobotsDrivesWereEnumerated) {
  const HostRun run = RunXp({{"1"},
                             {"6", kDriveE, "buf:532:cd"},
                             {"7", kDriveE, "1"},
                             {"4", "1", "buf:40", "int:10"},
                             {"6", kDriveE, "buf:532:cd"},
                             {"7", kDriveE, "1"}});
  ASSERT_EQ(run.calls.size(), 6u);
  EXPECT_EQ(run.calls[1].result, 1000u);
  EXPECT_EQ(run.calls[1].buffers[0], Repeat("cd", 532));
  EXPECT_EQ(run.calls[2].result, 1000u);
  ASSERT_EQ(run.calls[3].result, 0u);
  EXPECT_EQ(Int32s(run.calls[3].buffers[1]), std::vector<int32_t>{2});
  EXPECT_EQ(run.calls[4].result, 0u);
  EXPECT_EQ(run.calls[4].buffers[0].substr(0, 16), "4500cdcd65000000");
  EXPECT_EQ(run.calls[5].result, 0u);
  const auto servers = Servers("PTRobot_GetDriveInfo");
  ASSERT_FALSE(servers.empty());
  EXPECT_NE(servers.back(), hostPid);
  EXPECT_EQ(Servers("PTRobot_OpenCloseDrive").size(), 1u);
}

TEST_F(XpPath, BadHandlesGiveErrorCodesAndCrashNothing) {
  const HostRun run = RunXp({{"1"},
                             {"3", "0", "buf:320:ab"},
                             {"3", "99", "buf:320:ab"},
                             {"11", "1", "77", "78"},
                             {"25", "1", "buf:24"}});
  ASSERT_EQ(run.calls.size(), 5u);
  EXPECT_EQ(run.calls[1].result, 1000u);  // robot handle 0: no agent
  EXPECT_NE(run.calls[2].result, 0u);
  EXPECT_EQ(run.calls[2].buffers[0], Repeat("ab", 320));
  EXPECT_NE(run.calls[3].result, 0u);
  EXPECT_EQ(run.calls[4].result, 0u) << "robot 1's agent survived the bad calls";
}

TEST_F(XpPath, MoveDiscBetweenDrivesRunsMoveBDInTheHostOrTheMovesInTheAgent) {
  for (bool withPTBD : {true, false}) {
    SCOPED_TRACE(withPTBD ? "with PTBD.dll" : "without PTBD.dll");
    HostFolder moves;
    for (const char* name : {"Velnor.dll", "Kestrane.exe", "PTRobot.dll"}) moves.AddBin(name);
    if (withPTBD) moves.AddBin("PTBD.dll");
    moves.SetEnv("QLX_WINDOWS_VERSION", "5.1");
    moves.SetEnv("QLX_SIM_ROBOTS", "1,2");  // a list: "1" alone would be a count
    moves.SetEnv("QLX_SIM_DRIVES", "1:101,70");
    std::filesystem::create_directories(moves.Path() + "/run");
    moves.SetEnv("XDG_RUNTIME_DIR", moves.Path() + "/run");
    const HostRun run = RunHost(moves, {{"1"},
                                        {"4", "1", "buf:40", "int:10"},
                                        {"9", "1", kDriveE, "1", "0"},
                                        {"31", "1", kDriveE, kDriveF}});
    ASSERT_EQ(run.calls.size(), 4u) << run.output;
    for (const SlotResult& call : run.calls) EXPECT_EQ(call.result, 0u);
    const auto moveBD = moves.Journal("MoveBD");
    const auto unloads = moves.Journal("PTRobot_UnLoadDrive");
    if (withPTBD) {
      ASSERT_EQ(moveBD.size(), 1u);
      EXPECT_EQ(moveBD[0].pid, run.pid);
      EXPECT_EQ(moveBD[0].args, "\"E:\"");
      EXPECT_TRUE(unloads.empty());
    } else {
      EXPECT_TRUE(moveBD.empty());
      ASSERT_EQ(unloads.size(), 1u);
      EXPECT_NE(unloads[0].pid, run.pid);
      EXPECT_EQ(moves.Journal("PTRobot_LoadDrive").back().Args(),
                (std::vector<std::string>{"1", "70", "1", "0"}));
    }
  }
}

// The whole job of the burning service for one disc, every robot call in
// robot 1's agent: enumerate, assign the drive, burn position, print, unload.
TEST_F(XpPath, PublishingOneDiscRunsEveryRobotCallInTheRobotsAgent) {
  folder.SetEnv("QLX_SIM_INPUT_DISCS", "5");
  const std::string input = std::to_string(qlx::sim::kLocationInputBin);
  const std::string output = std::to_string(qlx::sim::kLocationOutputBin);
  const HostRun run = RunXp({{"1"},
                             {"2", "buf:40", "int:10"},
                             {"3", "1", "buf:320"},
                             {"4", "1", "buf:40:ff", "int:10"},
                             {"28", "1", kDriveE, "s:QXS00e1000", "0", "0"},
                             {"9", "1", kDriveE, input, "0"},
                             {"6", kDriveE, "buf:532"},
                             {"13", "1", kDriveE},
                             {"17", "1", "s:label.std", "0"},
                             {"14", "1", output},
                             {"25", "1", "buf:24"}});
  ASSERT_EQ(run.calls.size(), 11u);
  for (size_t i = 0; i < run.calls.size(); ++i) EXPECT_EQ(run.calls[i].result, 0u) << "call " << i;
  EXPECT_EQ(Int32s(run.calls[3].buffers[0]).at(0), 101);
  EXPECT_EQ(Int32s(run.calls[3].buffers[0]).at(1), 70);
  EXPECT_EQ(Int32s(run.calls[3].buffers[1]), std::vector<int32_t>{2});
  EXPECT_TRUE(folder.Records("CDraventImpl::SetRoboticDrive", "ERROR").empty());
  const std::vector<int32_t> status = Int32s(run.calls[10].buffers[0]);
  EXPECT_EQ(status.at(2), 4);  // input bin: one disc taken
  EXPECT_EQ(status.at(3), 1);  // output bin: the finished disc
  EXPECT_EQ(status.at(5), 0);  // printer empty

  const auto agents = Servers("PTRobot_GetRobotInfo");
  ASSERT_EQ(agents.size(), 1u);
  EXPECT_NE(agents[0], hostPid);
  for (const char* function :
       {"PTRobot_SetRoboticDriveWithoutEnum", "PTRobot_GetDriveSerialFromFlash",
        "PTRobot_SetRoboticDrive", "PTRobot_LoadDrive", "PTRobot_GetDriveInfo",
        "PTRobot_LoadPrinterFromDrive", "PTRobot_PrintFile", "PTRobot_UnLoadPrinter",
        "PTRobot_GetRobotStatus"}) {
    EXPECT_EQ(Servers(function), std::vector<int>{agents[0]}) << function;
  }
}

}  // namespace
