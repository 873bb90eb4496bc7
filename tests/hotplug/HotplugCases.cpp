// Cases of the hotplug host program. Each runs in a process of its own, in a
// temporary program folder prepared by HotplugTest.cpp; the suite name says
// which libusb-1.0.dll that folder holds.
#include <gtest/gtest.h>
#include <libusb-1.0/libusb.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

#include "tests/hotplug/HotplugHost.h"

using namespace hotplugtest;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint16_t kVendor = 0x04b4;
constexpr uint16_t kProduct = 0x8613;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

unsigned Count(FakeUsbCounter counter) { return Fake().Counter(counter); }

// No call ever reached a released context, every context was released or is
// still in use, and libusb_exit never raced event handling.
void ExpectNoMisuse() {
  EXPECT_EQ(Count(FAKEUSB_CALLS_ON_EXITED_CONTEXT), 0u);
  EXPECT_EQ(Count(FAKEUSB_CALLS_ON_UNKNOWN_CONTEXT), 0u);
  EXPECT_EQ(Count(FAKEUSB_EXITS_DURING_EVENT_HANDLING), 0u);
  EXPECT_EQ(Count(FAKEUSB_LISTS_OUTSTANDING), 0u);
  EXPECT_EQ(Count(FAKEUSB_LISTS_FREED_WITHOUT_UNREF), 0u);
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A record of `function` whose message is `message`, in the statement form.
bool HasRecord(const std::string& log, const std::string& level, const std::string& function,
               const std::string& message) {
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    const bool form = line.find("[" + level + "] [" + function + " (") != std::string::npos;
    const size_t end = line.find(")] ");
    if (form && end != std::string::npos && line.compare(end + 3, message.size(), message) == 0)
      return true;
  }
  return false;
}

class Monitor : public ::testing::Test {
 protected:
  void SetUp() override {
    plugin.SetCallback(&Recorder::Callback, &recorder);
    started = Clock::now();
  }
  void TearDown() override {
    plugin.StopMonitor();
    ExpectNoMisuse();
  }
  // Waits until the poll thread has finished `passes` more passes: the
  // enumeration is counted as it starts, and the comparison after it takes
  // far less than the 100 ms allowed here (the next pass is a second away).
  void WaitPasses(unsigned passes) {
    const unsigned target = Count(FAKEUSB_ENUMERATIONS) + passes;
    ASSERT_TRUE(Fake().WaitForCounter(FAKEUSB_ENUMERATIONS, target, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  void StartPollMode() {
    Fake().SetHotplugCapability(0);
    ASSERT_TRUE(plugin.StartMonitor());
  }
  void WaitUntilBlockedInEventHandling() {
    ASSERT_TRUE(Fake().WaitForCounter(FAKEUSB_EVENT_HANDLING_ACTIVE, 1, 3000));
  }

  PluginBySlot plugin;
  Recorder recorder;
  Clock::time_point started;
};

}  // namespace

// ---- folder with the fake libusb ----

using Factory = Monitor;

TEST_F(Factory, TwoCallsReturnTheSameObject) {
  EXPECT_EQ(PluginBySlot::Create(), plugin.Object());
  EXPECT_EQ(PluginBySlot::Create(), PluginBySlot::Create());
}

TEST_F(Factory, StopBeforeAnyStartReturnsTrueAndTouchesNothing) {
  EXPECT_TRUE(plugin.StopMonitor());
  EXPECT_TRUE(plugin.StopMonitor());
  EXPECT_EQ(Count(FAKEUSB_CONTEXTS_CREATED), 0u);
  EXPECT_EQ(LogText().find("START >>>>>>"), std::string::npos);
}

TEST_F(Factory, ProcessExitStopsMonitoringAndReleasesTheContext) {
  // Registered before the plug-in's own exit step, so it runs after it.
  static unsigned created = 0;
  std::atexit([] {
    if (Count(FAKEUSB_CONTEXTS_EXITED) != created || Count(FAKEUSB_EVENT_HANDLING_ACTIVE) != 0) {
      std::cerr << "monitoring survived the plug-in's destruction\n";
      std::_Exit(3);
    }
  });
  ASSERT_TRUE(plugin.StartMonitor());
  WaitUntilBlockedInEventHandling();
  created = Count(FAKEUSB_CONTEXTS_CREATED);
  EXPECT_EQ(created, 1u);
  plugin.StopMonitor();
  ASSERT_TRUE(plugin.StartMonitor());  // left running for the exit step
  created = Count(FAKEUSB_CONTEXTS_CREATED);
  WaitUntilBlockedInEventHandling();
}

TEST_F(Factory, SecondStartWhileMonitoringCreatesNoSecondContext) {
  ASSERT_TRUE(plugin.StartMonitor());
  EXPECT_TRUE(plugin.StartMonitor());
  EXPECT_EQ(Count(FAKEUSB_CONTEXTS_CREATED), 1u);
  EXPECT_TRUE(plugin.StopMonitor());
  EXPECT_EQ(Count(FAKEUSB_CONTEXTS_EXITED), 1u);
}

TEST_F(Factory, InitFailureIsLoggedAndALaterStartSucceeds) {
  Fake().FailCall(FAKEUSB_CALL_INIT, LIBUSB_ERROR_NO_MEM, 1);
  EXPECT_FALSE(plugin.StartMonitor());
  EXPECT_TRUE(HasRecord(LogText(), "ERROR", "CUsbHotplug::StartMonitor",
                        "failed to initialise libusb: LIBUSB_ERROR_NO_MEM"));
  EXPECT_TRUE(plugin.StartMonitor());
}

TEST_F(Factory, RegistrationFailureReleasesTheContext) {
  Fake().FailCall(FAKEUSB_CALL_REGISTER, LIBUSB_ERROR_NO_MEM, 1);
  EXPECT_FALSE(plugin.StartMonitor());
  EXPECT_TRUE(HasRecord(LogText(), "ERROR", "CUsbHotplug::StartMonitor",
                        "Error creating hotplug callback.LIBUSB_ERROR_NO_MEM"));
  EXPECT_EQ(Count(FAKEUSB_CONTEXTS_CREATED), 1u);
  EXPECT_EQ(Count(FAKEUSB_CONTEXTS_EXITED), 1u);
  EXPECT_EQ(LogText().find("START >>>>>>"), std::string::npos);
}

// ---- event mode ----

using EventMode = Monitor;

TEST_F(EventMode, RegistersForArrivalsAndRemovalsOfEveryDevice) {
  ASSERT_TRUE(plugin.StartMonitor());
  FakeUsbRegistration r{};
  ASSERT_TRUE(Fake().LastRegistration(&r));
  EXPECT_EQ(r.events, 3);
  EXPECT_EQ(r.flags, 0);
  EXPECT_EQ(r.vendorId, -1);
  EXPECT_EQ(r.productId, -1);
  EXPECT_EQ(r.deviceClass, -1);
  EXPECT_EQ(r.userData, plugin.Object());
}

TEST_F(EventMode, ReportsArrivalsAndRemovalsInOrderOnTheEventThread) {
  ASSERT_TRUE(Fake().Attach(0x1111, 0x2222, 1));  // present at start: never reported
  ASSERT_TRUE(plugin.StartMonitor());
  WaitUntilBlockedInEventHandling();
  Fake().Attach(kVendor, kProduct, 7);
  Fake().Attach(kVendor, kProduct, 8);
  Fake().Detach(7);
  Fake().Detach(1);
  ASSERT_TRUE(recorder.WaitFor(4));
  const auto seen = recorder.Taken();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_TRUE(seen[0].Is(kVendor, kProduct, 7, 1));
  EXPECT_TRUE(seen[1].Is(kVendor, kProduct, 8, 1));
  EXPECT_TRUE(seen[2].Is(kVendor, kProduct, 7, 0));
  EXPECT_TRUE(seen[3].Is(0x1111, 0x2222, 1, 0));
  for (const auto& n : seen) {
    EXPECT_EQ(n.context, &recorder);
    EXPECT_NE(n.thread, std::this_thread::get_id());
    EXPECT_EQ(n.thread, seen[0].thread);
  }
}

TEST_F(EventMode, EventOfAnUnreadableDeviceIsDropped) {
  ASSERT_TRUE(Fake().Attach(kVendor, kProduct, 3));
  ASSERT_TRUE(Fake().FailDescriptor(3, -1));
  ASSERT_TRUE(plugin.StartMonitor());
  WaitUntilBlockedInEventHandling();
  Fake().Detach(3);
  Fake().Attach(kVendor, kProduct, 4);
  ASSERT_TRUE(recorder.WaitFor(1));
  const auto seen = recorder.Taken();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].Is(kVendor, kProduct, 4, 1));
}

namespace {
struct Tagged {
  int tag;
  std::atomic<int> mismatches{0};
  std::atomic<int> calls{0};
};
void CallbackA(Wendrik::UsbDeviceInfo*, int, void* context) {
  auto* t = static_cast<Tagged*>(context);
  t->calls++;
  if (t->tag != 'A') t->mismatches++;
}
void CallbackB(Wendrik::UsbDeviceInfo*, int, void* context) {
  auto* t = static_cast<Tagged*>(context);
  t->calls++;
  if (t->tag != 'B') t->mismatches++;
}
}  // namespace

TEST_F(EventMode, CallbackAndContextAreNeverMixed) {
  Tagged a{'A'}, b{'B'};
  plugin.SetCallback(&CallbackA, &a);
  ASSERT_TRUE(plugin.StartMonitor());
  std::atomic<bool> done{false};
  std::atomic<int> swaps{0};
  std::thread swapper([&] {
    while (!done) {
      plugin.SetCallback(&CallbackA, &a);
      plugin.SetCallback(&CallbackB, &b);
      swaps++;
    }
  });
  while (swaps < 100) std::this_thread::yield();
  for (int i = 0; i < 300; ++i) {
    Fake().Attach(kVendor, kProduct, 9);
    Fake().Detach(9);
  }
  EXPECT_TRUE(Fake().WaitForCounter(FAKEUSB_EVENTS_DELIVERED, 600, 10000));
  done = true;
  swapper.join();
  EXPECT_EQ(a.mismatches + b.mismatches, 0);
  EXPECT_EQ(a.calls + b.calls, 600);
}

TEST_F(EventMode, StartStopStartReportsAgainWithRecordsPerThread) {
  ASSERT_TRUE(plugin.StartMonitor());
  WaitUntilBlockedInEventHandling();
  Fake().Attach(kVendor, kProduct, 5);
  ASSERT_TRUE(recorder.WaitFor(1));
  ASSERT_TRUE(plugin.StopMonitor());
  Fake().Attach(kVendor, kProduct, 6);  // while stopped: nobody hears it
  ASSERT_TRUE(plugin.StartMonitor());
  WaitUntilBlockedInEventHandling();
  Fake().Detach(5);
  ASSERT_TRUE(recorder.WaitFor(2));
  ASSERT_TRUE(plugin.StopMonitor());
  const auto seen = recorder.Taken();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen[1].Is(kVendor, kProduct, 5, 0));
  EXPECT_EQ(Count(FAKEUSB_CONTEXTS_CREATED), 2u);
  EXPECT_EQ(Count(FAKEUSB_CONTEXTS_EXITED), 2u);
  const std::string log = LogText();
  EXPECT_EQ(Occurrences(log, "[INFO] [CUsbRunnable::run ("), 4u);
  EXPECT_TRUE(HasRecord(log, "INFO", "CUsbRunnable::run", "START >>>>>>"));
  EXPECT_TRUE(HasRecord(log, "INFO", "CUsbRunnable::run", "END >>>>>>"));
  EXPECT_LT(log.find("START >>>>>>"), log.find("END >>>>>>"));
}

TEST_F(EventMode, LatencyFromEventToCallbackAndOfStop) {
  ASSERT_TRUE(plugin.StartMonitor());
  std::vector<double> latencies;
  for (int i = 0; i < 50; ++i) {
    WaitUntilBlockedInEventHandling();
    const auto before = Clock::now();
    Fake().Attach(kVendor, kProduct, static_cast<uint8_t>(10 + i));
    ASSERT_TRUE(recorder.WaitFor(static_cast<size_t>(i + 1)));
    latencies.push_back(
        std::chrono::duration<double, std::milli>(recorder.Taken().back().at - before).count());
  }
  WaitUntilBlockedInEventHandling();
  const auto stopStart = Clock::now();
  ASSERT_TRUE(plugin.StopMonitor());
  const double stopMs = MillisecondsSince(stopStart);
  std::sort(latencies.begin(), latencies.end());
  std::cout << "latency event->callback ms: median " << latencies[latencies.size() / 2] << " max "
            << latencies.back() << "; StopMonitor ms: " << stopMs << std::endl;
  EXPECT_LT(stopMs, 1000.0);
}

// ---- poll mode (no hot-plug capability) ----

using PollMode = Monitor;

TEST_F(PollMode, ReportsChangesBetweenPassesButNotDevicesPresentAtStart) {
  ASSERT_TRUE(Fake().Attach(kVendor, kProduct, 3));
  StartPollMode();
  WaitPasses(1);
  Fake().Attach(kVendor, kProduct, 4);  // same vendor and product, other address
  WaitPasses(1);
  ASSERT_TRUE(recorder.WaitFor(1, 100));
  Fake().Detach(3);  // address change: 3 -> 5
  Fake().Attach(kVendor, kProduct, 5);
  Fake().Detach(4);  // unplugged and plugged in again at 4
  Fake().Attach(kVendor, kProduct, 4);
  WaitPasses(1);
  ASSERT_TRUE(recorder.WaitFor(3, 100));
  WaitPasses(1);
  const auto seen = recorder.Taken();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_TRUE(seen[0].Is(kVendor, kProduct, 4, 1));
  EXPECT_TRUE(seen[1].Is(kVendor, kProduct, 5, 1));
  EXPECT_TRUE(seen[2].Is(kVendor, kProduct, 3, 0));
  EXPECT_NE(seen[0].thread, std::this_thread::get_id());
}

TEST_F(PollMode, FailedEnumerationReportsNothingAndKeepsTheList) {
  ASSERT_TRUE(Fake().Attach(kVendor, kProduct, 3));
  Fake().FailCall(FAKEUSB_CALL_GET_DEVICE_LIST, LIBUSB_ERROR_IO, 1);  // the baseline at start
  StartPollMode();
  WaitPasses(1);
  Fake().FailCall(FAKEUSB_CALL_GET_DEVICE_LIST, LIBUSB_ERROR_IO, 2);
  WaitPasses(3);
  EXPECT_TRUE(recorder.Taken().empty());
  Fake().Detach(3);
  WaitPasses(1);
  ASSERT_TRUE(recorder.WaitFor(1, 100));
  const auto seen = recorder.Taken();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].Is(kVendor, kProduct, 3, 0));
}

TEST_F(PollMode, DeviceUnreadableForOnePassIsNotRemoved) {
  ASSERT_TRUE(Fake().Attach(kVendor, kProduct, 3));
  StartPollMode();
  WaitPasses(1);
  ASSERT_TRUE(Fake().FailDescriptor(3, 1));
  ASSERT_TRUE(Fake().Attach(0x1111, 0x2222, 6));
  ASSERT_TRUE(Fake().FailDescriptor(6, 1));  // reported once readable
  WaitPasses(2);
  ASSERT_TRUE(recorder.WaitFor(1, 100));
  const auto seen = recorder.Taken();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].Is(0x1111, 0x2222, 6, 1));
}

TEST_F(PollMode, ChangesWithoutCallbackAreAbsorbed) {
  plugin.SetCallback(nullptr, nullptr);
  StartPollMode();
  WaitPasses(1);
  Fake().Attach(kVendor, kProduct, 3);
  WaitPasses(1);
  plugin.SetCallback(&Recorder::Callback, &recorder);
  WaitPasses(1);
  EXPECT_TRUE(recorder.Taken().empty());
  Fake().Detach(3);
  WaitPasses(1);
  ASSERT_TRUE(recorder.WaitFor(1, 100));
  EXPECT_TRUE(recorder.Taken()[0].Is(kVendor, kProduct, 3, 0));
}

TEST_F(PollMode, IdleMonitoringCostsNearlyNoCpu) {
  Fake().Attach(kVendor, kProduct, 3);
  StartPollMode();
  WaitPasses(1);
  const double cpuBefore = ProcessCpuSeconds();
  const unsigned passesBefore = Count(FAKEUSB_ENUMERATIONS);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const double cpu = ProcessCpuSeconds() - cpuBefore;
  const unsigned passes = Count(FAKEUSB_ENUMERATIONS) - passesBefore;
  std::cout << "idle poll mode: " << passes << " enumerations, " << cpu * 1000 << " ms CPU in 3 s"
            << std::endl;
  EXPECT_GE(passes, 2u);
  EXPECT_LE(passes, 4u);
  EXPECT_LT(cpu, 0.1);
}

// ---- stopping ----

class Stop : public Monitor, public ::testing::WithParamInterface<bool> {};

TEST_P(Stop, IsPromptAndNeverTouchesAReleasedContext) {
  Fake().SetHotplugCapability(GetParam() ? 1 : 0);
  ASSERT_TRUE(plugin.StartMonitor());
  if (GetParam()) WaitUntilBlockedInEventHandling();
  WaitPasses(GetParam() ? 0 : 1);
  const auto before = Clock::now();
  EXPECT_TRUE(plugin.StopMonitor());
  const double stopMs = MillisecondsSince(before);
  std::cout << (GetParam() ? "event" : "poll") << " mode StopMonitor ms: " << stopMs << std::endl;
  EXPECT_LT(stopMs, 1000.0);
  EXPECT_EQ(Count(FAKEUSB_EVENT_HANDLING_ACTIVE), 0u);
  EXPECT_EQ(Count(FAKEUSB_CONTEXTS_EXITED), 1u);
  EXPECT_TRUE(plugin.StopMonitor());
  EXPECT_EQ(Count(FAKEUSB_CONTEXTS_EXITED), 1u);
  EXPECT_TRUE(HasRecord(LogText(), "INFO", "CUsbRunnable::run", "END >>>>>>"));
}

INSTANTIATE_TEST_SUITE_P(BothModes, Stop, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "EventMode" : "PollMode"; });

namespace {
PluginBySlot* stopper = nullptr;
void StopFromCallback(Wendrik::UsbDeviceInfo* device, int arrived, void* context) {
  Recorder::Callback(device, arrived, context);
  stopper->StopMonitor();
}
}  // namespace

using Stopping = Monitor;

TEST_F(Stopping, FromTheCallbackNeitherDeadlocksNorLeaksTheContext) {
  stopper = &plugin;
  plugin.SetCallback(&StopFromCallback, &recorder);
  ASSERT_TRUE(plugin.StartMonitor());
  WaitUntilBlockedInEventHandling();
  Fake().Attach(kVendor, kProduct, 3);
  ASSERT_TRUE(recorder.WaitFor(1));
  EXPECT_TRUE(Fake().WaitForCounter(FAKEUSB_CONTEXTS_EXITED, 1, 3000));
  plugin.SetCallback(&Recorder::Callback, &recorder);
  ASSERT_TRUE(plugin.StartMonitor());  // waits for the old thread, runs again
  WaitUntilBlockedInEventHandling();
  Fake().Detach(3);
  ASSERT_TRUE(recorder.WaitFor(2));
  EXPECT_EQ(Count(FAKEUSB_CONTEXTS_CREATED), 2u);
}

// ---- folder with a fake lacking the wake names ----

using WithoutWake = Monitor;

TEST_F(WithoutWake, StopWaitsForOneEventTimeoutAtMost) {
  Fake().SetEventTimeout(300);
  ASSERT_TRUE(plugin.StartMonitor());
  WaitUntilBlockedInEventHandling();
  const auto before = Clock::now();
  EXPECT_TRUE(plugin.StopMonitor());
  const double stopMs = MillisecondsSince(before);
  std::cout << "StopMonitor without wake names ms: " << stopMs << std::endl;
  EXPECT_LT(stopMs, 1000.0);
  EXPECT_EQ(Count(FAKEUSB_CONTEXTS_EXITED), 1u);
}

// ---- folder without libusb-1.0.dll ----

TEST(MissingLibrary, StartFailsWithTwoRecordsUntilTheFileAppears) {
  PluginBySlot plugin;
  EXPECT_FALSE(plugin.StartMonitor());
  const std::string path = ProgramFolder() + "libusb-1.0.dll";
  const std::string log = LogText();
  EXPECT_TRUE(HasRecord(log, "ERROR", "CUsbHotplug::Init", "load " + path + "fail."));
  EXPECT_TRUE(HasRecord(log, "ERROR", "CUsbHotplug::StartMonitor", "Init Fail"));
  EXPECT_LT(log.find("load "), log.find("Init Fail"));

  std::ifstream fake(FAKEUSB_PATH, std::ios::binary);
  std::ofstream(path, std::ios::binary) << fake.rdbuf();
  EXPECT_TRUE(plugin.StartMonitor());
  EXPECT_TRUE(plugin.StopMonitor());
  ExpectNoMisuse();
}

// ---- folder with a fake lacking libusb_hotplug_register_callback ----

TEST(LackingName, EveryStartFailsWithoutALoadRecord) {
  PluginBySlot plugin;
  EXPECT_FALSE(plugin.StartMonitor());
  EXPECT_FALSE(plugin.StartMonitor());
  const std::string log = LogText();
  EXPECT_EQ(Occurrences(log, "Init Fail"), 2u);
  EXPECT_EQ(log.find("] load "), std::string::npos);
  EXPECT_EQ(Count(FAKEUSB_CONTEXTS_CREATED), 0u);
}

// ---- folder with Debian's libusb under the Windows name ----

TEST(RealLibusb, StartsAndStopsPromptly) {
  PluginBySlot plugin;
  Recorder recorder;
  plugin.SetCallback(&Recorder::Callback, &recorder);
  ASSERT_TRUE(plugin.StartMonitor()) << LogText();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto before = Clock::now();
  EXPECT_TRUE(plugin.StopMonitor());
  const double stopMs = MillisecondsSince(before);
  std::cout << "real libusb StopMonitor ms: " << stopMs << std::endl;
  EXPECT_LT(stopMs, 1000.0);
  EXPECT_TRUE(HasRecord(LogText(), "INFO", "CUsbRunnable::run", "END >>>>>>"));
}

// ---- the fake driven by a script file alone, as a host's end-to-end run uses it ----

TEST(Script, TimedArrivalAndRemovalReachTheCallback) {
  const std::string path = ProgramFolder() + "events.txt";
  std::ofstream(path) << "device 1111 2222 1\nat 100 attach 04b4 8613 7\nat 200 detach 7\n";
  setenv("QLX_FAKEUSB_SCRIPT", path.c_str(), 1);
  PluginBySlot plugin;
  Recorder recorder;
  plugin.SetCallback(&Recorder::Callback, &recorder);
  ASSERT_TRUE(plugin.StartMonitor());
  ASSERT_TRUE(recorder.WaitFor(2));
  EXPECT_TRUE(plugin.StopMonitor());
  const auto seen = recorder.Taken();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen[0].Is(kVendor, kProduct, 7, 1));
  EXPECT_TRUE(seen[1].Is(kVendor, kProduct, 7, 0));
  EXPECT_GE(seen[1].at - seen[0].at, std::chrono::milliseconds(90));
}
