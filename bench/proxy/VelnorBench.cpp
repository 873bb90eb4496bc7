// Forwarded PTRobot_GetRobotInfo calls through Velnor.dll to a live agent,
// against the composed-call floor on the RPC run time alone (compose, bind,
// probe, call, free) to the same agent, in the same run. Goal: the proxy at
// most 1.3 times the floor.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "agent/AgentRpc.h"

namespace {

constexpr int32_t kRobot = 1 << 16;  // the simulator's first robot

PFN_PTRobot_GetRobotInfo g_getRobotInfo = nullptr;
int g_agent = 0;

// The agent process this benchmark's proxy started.
int FindAgent() {
  DIR* proc = opendir("/proc");
  int found = 0;
  while (dirent* entry = proc ? readdir(proc) : nullptr) {
    const int pid = std::atoi(entry->d_name);
    if (pid <= 0) continue;
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto close = stat.rfind(')');
    if (close == std::string::npos || stat.find("(Kestrane.exe)") == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 2));
    char state = 0;
    int parent = 0;
    rest >> state >> parent;
    if (parent == getpid()) found = pid;
  }
  if (proc) closedir(proc);
  return found;
}

void BM_ComposedCallFloor(benchmark::State& state) {
  std::u16string endpoint = u"PTRobotRpc";
  for (char digit : std::to_string(g_agent)) endpoint += digit;
  RobotInfo info{};
  for (auto _ : state) {
    char16_t* text = nullptr;
    qlx::platform::RpcBinding binding = nullptr;
    qlx::platform::RpcComposeStringBinding(u"ncalrpc", endpoint.c_str(), &text);
    qlx::platform::RpcBindingFromString(text, &binding);
    RPC_Probe(binding);
    benchmark::DoNotOptimize(RPC_PTRobot_GetRobotInfo(binding, kRobot, &info));
    qlx::platform::RpcFreeBinding(&binding);
    qlx::platform::RpcFreeString(&text);
  }
}

void BM_VelnorGetRobotInfo(benchmark::State& state) {
  RobotInfo info{};
  for (auto _ : state) benchmark::DoNotOptimize(g_getRobotInfo(kRobot, &info));
}

// Prints the ratio of the medians of the two benchmarks' repetitions (real
// time: the calls wait on another process).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      const std::string name = run.benchmark_name();
      times_[name.substr(0, name.find('/'))].push_back(run.GetAdjustedRealTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    double floor = Median("BM_ComposedCallFloor");
    double proxy = Median("BM_VelnorGetRobotInfo");
    if (floor > 0)
      std::printf(
          "proxy / composed-call floor = %.2f (medians %.1f / %.1f us; goal: at most 1.30)\n",
          proxy / floor, proxy / 1000, floor / 1000);
  }

 private:
  double Median(const std::string& name) {
    std::vector<double>& times = times_[name];
    if (times.empty()) return 0;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
  }
  std::map<std::string, std::vector<double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  char runtime[] = "/tmp/qlxbench.XXXXXX";
  if (mkdtemp(runtime) == nullptr) return 1;
  setenv("XDG_RUNTIME_DIR", runtime, 1);
  setenv("QLX_SIM_ROBOTS", "1", 1);
  void* velnor = dlopen(QLX_BIN_DIR "/Velnor.dll", RTLD_NOW | RTLD_LOCAL);
  if (velnor == nullptr) return 1;
  g_getRobotInfo =
      reinterpret_cast<PFN_PTRobot_GetRobotInfo>(dlsym(velnor, "PTRobot_GetRobotInfo"));
  RobotInfo info{};
  if (g_getRobotInfo == nullptr || g_getRobotInfo(kRobot, &info) != 0 ||
      (g_agent = FindAgent()) == 0) {
    std::fprintf(stderr, "no agent to measure against\n");
    return 1;
  }
  // Alternating runs, so that load from elsewhere falls on both alike.
  for (int round = 0; round < 5; ++round) {
    benchmark::RegisterBenchmark("BM_ComposedCallFloor", BM_ComposedCallFloor)->MinTime(0.5);
    benchmark::RegisterBenchmark("BM_VelnorGetRobotInfo", BM_VelnorGetRobotInfo)->MinTime(0.5);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  dlclose(velnor);
  rmdir((std::string(runtime) + "/qlx-rpc").c_str());
  rmdir(runtime);
  return 0;
}
