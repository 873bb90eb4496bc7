// Records per second through the narrow logger's file sink (configuration
// check on, one module), against the floor measured in the same run: a plain
// loop of stat + open(append) + write + close of a same-sized line whose
// header is formatted with localtime_r and snprintf. Goal: ratio >= 0.8.
//
// The benchmark copies itself into a temporary program folder holding a
// "qlxlogger.cfg" (file sink only) and runs there, so nothing else is touched.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "logging/Logger.h"

namespace {

namespace fs = std::filesystem;

const std::string kText(80, 'r');
const char* const kFolderVariable = "QLX_LOG_BENCH_FOLDER";

std::string Folder() { return std::getenv(kFolderVariable); }

void BM_Floor(benchmark::State& state) {
  const std::string config = Folder() + "/qlxlogger.cfg";
  const std::string file = Folder() + "/Log/Floor.log";
  const pid_t pid = getpid();
  const pid_t tid = gettid();
  char line[512];
  for (auto _ : state) {
    struct stat status;
    stat(config.c_str(), &status);
    time_t now = time(nullptr);
    tm local;
    localtime_r(&now, &local);
    int length = std::snprintf(line, sizeof line, "%02d:%02d:%02d [%d %d] [%s] [%s (%d)] %s\r\n",
                               local.tm_hour, local.tm_min, local.tm_sec, pid, tid, "INFO",
                               "BM_Logger", __LINE__, kText.c_str());
    int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    benchmark::DoNotOptimize(write(fd, line, static_cast<size_t>(length)));
    close(fd);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Logger(benchmark::State& state) {
  for (auto _ : state) QLOG(QLXSdk::LOG_INFO) << kText;
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_Floor)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(BM_Logger)->Threads(1)->Threads(2)->UseRealTime();

// Prints the usual table, then each logger rate divided by the floor's rate
// at the same thread count.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto rate = run.counters.find("items_per_second");
      if (rate != run.counters.end()) rates_[run.benchmark_name()] = rate->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Two threads of one module share its record lock, which covers the file
  // calls, so their rate is also set against the one-thread floor.
  void PrintRatios() const {
    const double floor1 = Rate("BM_Floor", 1), floor2 = Rate("BM_Floor", 2);
    const double logger1 = Rate("BM_Logger", 1), logger2 = Rate("BM_Logger", 2);
    if (floor1 <= 0 || floor2 <= 0) return;
    std::printf("1 thread:  logger %.0f records/s, floor %.0f records/s, ratio %.2f (goal 0.80)\n",
                logger1, floor1, logger1 / floor1);
    std::printf(
        "2 threads: logger %.0f records/s, floor %.0f records/s, ratio %.2f; "
        "against the 1-thread floor %.2f\n",
        logger2, floor2, logger2 / floor2, logger2 / floor1);
  }

 private:
  double Rate(const std::string& name, int threads) const {
    auto found = rates_.find(name + "/real_time/threads:" + std::to_string(threads));
    return found == rates_.end() ? 0 : found->second;
  }

  std::map<std::string, double> rates_;
};

int RunInTemporaryFolder(char** argv) {
  std::string pattern = (fs::temp_directory_path() / "qlxlogbench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  const fs::path folder = pattern;
  fs::copy_file("/proc/self/exe", folder / "LogBench");
  fs::permissions(folder / "LogBench", fs::perms::owner_all);
  fs::create_directory(folder / "Log");
  std::ofstream(folder / "qlxlogger.cfg") << "[config]\nprint_flag = 1\nlog_level = 3\n";
  setenv(kFolderVariable, pattern.c_str(), 1);
  pid_t child = fork();
  if (child == 0) {
    execv((folder / "LogBench").c_str(), argv);
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv(kFolderVariable)) return RunInTemporaryFolder(argv);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
