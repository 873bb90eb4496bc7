// Event-mode latency of Wendrik.dll against the fake libusb: from a device
// event to the consumer's callback, and of StopMonitor while the event thread
// is blocked in event handling. The floor is a bare thread hand-off through a
// condition variable, the least any event-to-callback path can cost. Goal:
// both latencies under 10 ms.
//
// The plug-in loads libusb from the program folder, so the program first
// re-runs itself from a temporary folder holding the fake.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "hotplug/IHotplug.h"
#include "platform/library.h"
#include "sim/fakeusb/FakeUsbControl.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string ProgramPath() { return fs::read_symlink("/proc/self/exe").string(); }

struct Plugin {
  void* object = nullptr;
  const FakeUsbControl* fake = nullptr;

  template <class F>
  F Slot(int index) {
    return reinterpret_cast<F>((*reinterpret_cast<void***>(object))[index]);
  }
  void SetCallback(Wendrik::HotplugCallback cb, void* ctx) {
    Slot<void (*)(void*, Wendrik::HotplugCallback, void*)>(0)(object, cb, ctx);
  }
  bool Start() { return Slot<bool (*)(void*)>(1)(object); }
  bool Stop() { return Slot<bool (*)(void*)>(2)(object); }
};

Plugin& TheP() {
  static Plugin plugin = [] {
    Plugin p;
    auto wendrik = qlx::platform::LoadLibraryAt(QLX_BIN_DIR "/Wendrik.dll");
    auto create = reinterpret_cast<WendrikCreateHotplugFn>(
        qlx::platform::FindExport(wendrik, WENDRIK_FACTORY_EXPORT));
    p.object = create();
    const std::string folder = fs::path(ProgramPath()).parent_path().string() + "/";
    auto fake = qlx::platform::LoadLibraryAt(folder + "libusb-1.0.dll");
    p.fake = reinterpret_cast<FakeUsbGetControlFn>(
        qlx::platform::FindExport(fake, FAKEUSB_CONTROL_EXPORT))();
    return p;
  }();
  return plugin;
}

struct Handoff {
  std::mutex lock;
  std::condition_variable changed;
  unsigned count = 0;
  Clock::time_point at;

  void Signal() {
    std::lock_guard<std::mutex> hold(lock);
    ++count;
    at = Clock::now();
    changed.notify_all();
  }
  Clock::time_point WaitFor(unsigned n) {
    std::unique_lock<std::mutex> hold(lock);
    changed.wait(hold, [&] { return count >= n; });
    return at;
  }
};

void OnDevice(Wendrik::UsbDeviceInfo*, int, void* context) {
  static_cast<Handoff*>(context)->Signal();
}

void WaitBlocked(const FakeUsbControl& fake) {
  fake.WaitForCounter(FAKEUSB_EVENT_HANDLING_ACTIVE, 1, 5000);
}

// Floor: another thread waits on a condition variable and is woken.
void BM_ThreadHandoffFloor(benchmark::State& state) {
  Handoff request, reply;
  std::atomic<bool> done{false};
  std::thread peer([&] {
    for (unsigned n = 1; !done; ++n) {
      request.WaitFor(n);
      reply.Signal();
    }
  });
  unsigned n = 0;
  for (auto _ : state) {
    const auto before = Clock::now();
    request.Signal();
    const auto at = reply.WaitFor(++n);
    state.SetIterationTime(std::chrono::duration<double>(at - before).count());
  }
  done = true;
  request.Signal();
  peer.join();
}
BENCHMARK(BM_ThreadHandoffFloor)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_EventToCallback(benchmark::State& state) {
  Plugin& p = TheP();
  Handoff seen;
  p.fake->Reset();
  p.SetCallback(&OnDevice, &seen);
  if (!p.Start()) state.SkipWithError("StartMonitor failed");
  unsigned n = 0;
  for (auto _ : state) {
    WaitBlocked(*p.fake);
    const bool attach = n % 2 == 0;
    const auto before = Clock::now();
    if (attach)
      p.fake->Attach(0x04b4, 0x8613, 7);
    else
      p.fake->Detach(7);
    const auto at = seen.WaitFor(++n);
    state.SetIterationTime(std::chrono::duration<double>(at - before).count());
  }
  p.Stop();
  p.SetCallback(nullptr, nullptr);
}
BENCHMARK(BM_EventToCallback)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_StopMonitorWhileBlocked(benchmark::State& state) {
  Plugin& p = TheP();
  p.fake->Reset();
  for (auto _ : state) {
    state.PauseTiming();
    if (!p.Start()) state.SkipWithError("StartMonitor failed");
    WaitBlocked(*p.fake);
    const auto before = Clock::now();
    p.Stop();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - before).count());
    state.ResumeTiming();
  }
  state.counters["misuse"] = p.fake->Counter(FAKEUSB_CALLS_ON_EXITED_CONTEXT) +
                             p.fake->Counter(FAKEUSB_EXITS_DURING_EVENT_HANDLING);
}
BENCHMARK(BM_StopMonitorWhileBlocked)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// Re-runs this program from a temporary folder that holds the fake libusb.
void RunFromFolderWithFake(char** argv) {
  const fs::path self = ProgramPath();
  if (fs::exists(self.parent_path() / "libusb-1.0.dll")) return;
  char pattern[] = "/tmp/wendrik-bench-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  fs::copy_file(self, dir / self.filename());
  fs::create_symlink(QLX_BIN_DIR "/libusb-1.0.dll", dir / "libusb-1.0.dll");
  const std::string program = (dir / self.filename()).string();
  argv[0] = const_cast<char*>(program.c_str());
  execv(program.c_str(), argv);
}

}  // namespace

int main(int argc, char** argv) {
  RunFromFolderWithFake(argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const fs::path folder = fs::path(ProgramPath()).parent_path();
  if (folder.filename().string().rfind("wendrik-bench-", 0) == 0) fs::remove_all(folder);
  return 0;
}
