// Round trips of the agent interface, each against a floor measured in the
// same run (BM_Ratio_*, alternating blocks), printed as ratios at the end:
//   probe / GetRobotInfo on one open binding  vs  raw local-socket ping-pong
//     of the same message sizes (goal: at most 1.5 times);
//   compose + bind + probe + call + free (the proxy's per-call sequence)
//     vs  connect + one round trip + close (goal: at most 2 times).
// The server is bench_fake_agent (the run time with buffer-touching
// handlers); "Agent_" benchmarks use the real Kestrane.exe with the
// simulator and its logging, for information.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "agent/AgentRpc.h"

using namespace qlx::platform;

namespace {

constexpr size_t kHeader = 40;
constexpr size_t kProbeRequest = kHeader, kProbeReply = kHeader + 4;
constexpr size_t kInfoRequest = kHeader + 4, kInfoReply = kHeader + 4 + sizeof(RobotInfo) + 4;

// ------------------------------------------------------------ servers --

struct Server {
  pid_t pid = -1;
  int stdinWrite = -1;
  std::u16string endpoint;
};

Server Start(const std::string& program) {
  Server server;
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return server;
  server.pid = fork();
  if (server.pid == 0) {
    dup2(pipeEnds[0], 0);
    int null = open("/dev/null", O_RDWR);
    dup2(null, 1);
    dup2(null, 2);
    execl(program.c_str(), program.c_str(), nullptr);
    _exit(127);
  }
  close(pipeEnds[0]);
  server.stdinWrite = pipeEnds[1];
  std::string name = "PTRobotRpc" + std::to_string(server.pid);
  server.endpoint.assign(name.begin(), name.end());
  for (int attempt = 0; attempt < 500; ++attempt) {
    char16_t* text = nullptr;
    RpcBinding binding = nullptr;
    RpcComposeStringBinding(u"ncalrpc", server.endpoint.c_str(), &text);
    RpcBindingFromString(text, &binding);
    bool answered = false;
    try {
      RPC_Probe(binding);
      answered = true;
    } catch (const RpcException&) {
    }
    RpcFreeBinding(&binding);
    RpcFreeString(&text);
    if (answered) break;
    usleep(10000);
  }
  return server;
}

void Stop(Server& server) {
  if (server.pid <= 0) return;
  kill(server.pid, SIGKILL);
  waitpid(server.pid, nullptr, 0);
  close(server.stdinWrite);
  RpcRemoveEndpoint(server.endpoint.c_str());
}

Server& FakeAgent() {
  static Server server = Start(std::string(QLX_BENCH_DIR) + "/bench_fake_agent");
  return server;
}

Server& RealAgent() {
  static Server server = Start(std::string(QLX_BIN_DIR) + "/Kestrane.exe");
  return server;
}

RpcBinding Bind(const std::u16string& endpoint, char16_t** text) {
  RpcBinding binding = nullptr;
  RpcComposeStringBinding(u"ncalrpc", endpoint.c_str(), text);
  RpcBindingFromString(*text, &binding);
  return binding;
}

// Raw floor: a process of its own (as the agent is) that answers each
// message with `replySize` bytes, one connection after the other.
class EchoServer {
 public:
  explicit EchoServer(size_t replySize) : replySize_(replySize) {
    path_ = "/tmp/qlx-bench-floor-" + std::to_string(getpid()) + "-" + std::to_string(replySize);
    unlink(path_.c_str());
    listenFd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address = Address();
    bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listenFd_, 128);
    child_ = fork();
    if (child_ == 0) {
      Serve();
      _exit(0);
    }
    close(listenFd_);
  }
  ~EchoServer() {
    kill(child_, SIGKILL);
    waitpid(child_, nullptr, 0);
    unlink(path_.c_str());
  }
  sockaddr_un Address() const {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
    return address;
  }
  int Connect() const {
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address = Address();
    connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return fd;
  }

 private:
  void Serve() {
    std::vector<uint8_t> buffer(65536), reply(replySize_);
    for (;;) {
      int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      while (recv(fd, buffer.data(), buffer.size(), 0) > 0)
        send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
      close(fd);
    }
  }
  size_t replySize_;
  std::string path_;
  int listenFd_;
  pid_t child_;
};

void RoundTrip(int fd, const std::vector<uint8_t>& request, std::vector<uint8_t>& buffer) {
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  recv(fd, buffer.data(), buffer.size(), 0);
}

// ------------------------------------------------------------ floors --

void BM_Floor_PingPong(benchmark::State& state) {
  EchoServer server(static_cast<size_t>(state.range(1)));
  int fd = server.Connect();
  std::vector<uint8_t> request(static_cast<size_t>(state.range(0))), buffer(65536);
  for (auto _ : state) RoundTrip(fd, request, buffer);
  close(fd);
}
BENCHMARK(BM_Floor_PingPong)->Args({kProbeRequest, kProbeReply})->Args({kInfoRequest, kInfoReply});

void BM_Floor_ConnectRoundTripClose(benchmark::State& state) {
  EchoServer server(kInfoReply);
  std::vector<uint8_t> request(kInfoRequest), buffer(65536);
  for (auto _ : state) {
    int fd = server.Connect();
    RoundTrip(fd, request, buffer);
    close(fd);
  }
}
BENCHMARK(BM_Floor_ConnectRoundTripClose);

// ------------------------------------------------------------ the run time --

void OpenBindingProbe(benchmark::State& state, Server& server) {
  char16_t* text = nullptr;
  RpcBinding binding = Bind(server.endpoint, &text);
  for (auto _ : state) benchmark::DoNotOptimize(RPC_Probe(binding));
  RpcFreeBinding(&binding);
  RpcFreeString(&text);
}

void OpenBindingGetRobotInfo(benchmark::State& state, Server& server) {
  char16_t* text = nullptr;
  RpcBinding binding = Bind(server.endpoint, &text);
  RobotInfo info;
  for (auto _ : state) benchmark::DoNotOptimize(RPC_PTRobot_GetRobotInfo(binding, 1, &info));
  RpcFreeBinding(&binding);
  RpcFreeString(&text);
}

void ComposedCall(benchmark::State& state, Server& server) {
  RobotInfo info;
  for (auto _ : state) {
    char16_t* text = nullptr;
    RpcBinding binding = Bind(server.endpoint, &text);
    RPC_Probe(binding);
    benchmark::DoNotOptimize(RPC_PTRobot_GetRobotInfo(binding, 1, &info));
    RpcFreeBinding(&binding);
    RpcFreeString(&text);
  }
}

// The first round trip alone: what a connection costs the run time.
void BM_ComposedProbe(benchmark::State& state) {
  for (auto _ : state) {
    char16_t* text = nullptr;
    RpcBinding binding = Bind(FakeAgent().endpoint, &text);
    benchmark::DoNotOptimize(RPC_Probe(binding));
    RpcFreeBinding(&binding);
    RpcFreeString(&text);
  }
}
BENCHMARK(BM_ComposedProbe);

void BM_OpenBinding_Probe(benchmark::State& s) { OpenBindingProbe(s, FakeAgent()); }
void BM_OpenBinding_GetRobotInfo(benchmark::State& s) { OpenBindingGetRobotInfo(s, FakeAgent()); }
void BM_ComposedCall(benchmark::State& s) { ComposedCall(s, FakeAgent()); }
void BM_Agent_OpenBinding_GetRobotInfo(benchmark::State& s) {
  OpenBindingGetRobotInfo(s, RealAgent());
}
void BM_Agent_ComposedCall(benchmark::State& s) { ComposedCall(s, RealAgent()); }
BENCHMARK(BM_OpenBinding_Probe);
BENCHMARK(BM_OpenBinding_GetRobotInfo);
BENCHMARK(BM_ComposedCall);
BENCHMARK(BM_Agent_OpenBinding_GetRobotInfo);
BENCHMARK(BM_Agent_ComposedCall);

// ------------------------------------------------------------ ratios --
// Floor and measurement alternate in blocks of 50 operations within one
// benchmark, and the best block of each counts: on a shared machine this
// compares both under the same load.

template <typename Operation>
double BlockNanoseconds(Operation& operation) {
  constexpr int kBlock = 50;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kBlock; ++i) operation();
  std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / kBlock;
}

template <typename Floor, typename Measured>
void CompareWithFloor(benchmark::State& state, Floor floor, Measured measured) {
  double bestFloor = 1e300, bestMeasured = 1e300;
  for (auto _ : state) {
    bestFloor = std::min(bestFloor, BlockNanoseconds(floor));
    bestMeasured = std::min(bestMeasured, BlockNanoseconds(measured));
  }
  state.counters["floor_ns"] = bestFloor;
  state.counters["measured_ns"] = bestMeasured;
  state.counters["ratio"] = bestMeasured / bestFloor;
}

void BM_Ratio_OpenBinding(benchmark::State& state, size_t requestSize, size_t replySize,
                          bool getRobotInfo) {
  EchoServer server(replySize);
  int fd = server.Connect();
  std::vector<uint8_t> request(requestSize), buffer(65536);
  char16_t* text = nullptr;
  RpcBinding binding = Bind(FakeAgent().endpoint, &text);
  RobotInfo info;
  CompareWithFloor(
      state, [&] { RoundTrip(fd, request, buffer); },
      [&] {
        if (getRobotInfo)
          RPC_PTRobot_GetRobotInfo(binding, 1, &info);
        else
          RPC_Probe(binding);
      });
  RpcFreeBinding(&binding);
  RpcFreeString(&text);
  close(fd);
}

void BM_Ratio_ProbeOpenBinding(benchmark::State& state) {
  BM_Ratio_OpenBinding(state, kProbeRequest, kProbeReply, false);
}
void BM_Ratio_GetRobotInfoOpenBinding(benchmark::State& state) {
  BM_Ratio_OpenBinding(state, kInfoRequest, kInfoReply, true);
}
void BM_Ratio_ComposedCall(benchmark::State& state) {
  EchoServer server(kInfoReply);
  std::vector<uint8_t> request(kInfoRequest), buffer(65536);
  RobotInfo info;
  CompareWithFloor(
      state,
      [&] {
        int fd = server.Connect();
        RoundTrip(fd, request, buffer);
        close(fd);
      },
      [&] {
        char16_t* text = nullptr;
        RpcBinding binding = Bind(FakeAgent().endpoint, &text);
        RPC_Probe(binding);
        RPC_PTRobot_GetRobotInfo(binding, 1, &info);
        RpcFreeBinding(&binding);
        RpcFreeString(&text);
      });
}
BENCHMARK(BM_Ratio_ProbeOpenBinding)->Iterations(1000);
BENCHMARK(BM_Ratio_GetRobotInfoOpenBinding)->Iterations(1000);
BENCHMARK(BM_Ratio_ComposedCall)->Iterations(500);

// Collects the ratios for the summary.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      auto ratio = run.counters.find("ratio");
      if (ratio != run.counters.end()) ratios[run.run_name.function_name] = ratio->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> ratios;
};

void PrintRatio(const RatioReporter& reporter, const char* what, const std::string& name,
                double goal) {
  auto found = reporter.ratios.find(name);
  if (found == reporter.ratios.end()) return;
  std::printf("%-34s %6.2f x floor (goal <= %.1f) %s\n", what, found->second, goal,
              found->second <= goal ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  PrintRatio(reporter, "probe, open binding", "BM_Ratio_ProbeOpenBinding", 1.5);
  PrintRatio(reporter, "GetRobotInfo, open binding", "BM_Ratio_GetRobotInfoOpenBinding", 1.5);
  PrintRatio(reporter, "compose+bind+probe+call+free", "BM_Ratio_ComposedCall", 2.0);
  Stop(FakeAgent());
  Stop(RealAgent());
  return 0;
}
