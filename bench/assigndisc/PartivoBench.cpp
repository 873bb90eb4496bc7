// Assignment of a large synthetic tree to DVDs by name, against the floor of
// listing the same tree with find (one status call per file) and against
// fpart when it is installed. Reports time, peak memory per file record,
// discs produced and the lower bound ceil(aligned total / capacity).
//
// The tree (200,000 sparse files in 2,000 folders at depths 1 to 4) is made
// once under $QLX_PARTIVO_BENCH_TREE (default /tmp/qlx-partivo-bench-tree)
// and reused while its marker file says it was complete.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "assigndisc/IPartivo.h"
#include "platform/library.h"

extern char** environ;

namespace {

constexpr int kFolders = 2000;
constexpr int kFiles = 200000;
constexpr uint64_t kDvdCapacity = 4616880128ull;
constexpr const char* kTreeVersion = "partivo-bench-tree v1 seed 20261211";

std::string TreePath() {
  const char* configured = std::getenv("QLX_PARTIVO_BENCH_TREE");
  return configured ? configured : "/tmp/qlx-partivo-bench-tree";
}

// Mostly 1 KiB to 1 MiB (log-uniform), one file in fifty from a heavy tail
// up to 500 MiB.
uint64_t FileSize(std::mt19937_64& random) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  if (random() % 50 == 0) {
    const double pareto = 1024.0 * 1024.0 / std::pow(1.0 - unit(random), 1.0 / 1.1);
    return static_cast<uint64_t>(std::min(pareto, 500.0 * 1024 * 1024));
  }
  return static_cast<uint64_t>(std::exp(std::log(1024.0) + unit(random) * std::log(1024.0)));
}

void MakeTree(const std::string& root) {
  std::string marker = root + ".complete";
  std::ifstream existing(marker);
  std::string version;
  if (existing && std::getline(existing, version) && version == kTreeVersion) return;
  std::fprintf(stderr, "making the tree under %s ...\n", root.c_str());
  std::system(("rm -rf '" + root + "'").c_str());
  mkdir(root.c_str(), 0755);

  std::mt19937_64 random(20261211);
  std::vector<std::string> folders;
  std::vector<int> depths;
  for (int i = 0; i < kFolders; ++i) {
    std::string parent = root;
    int depth = 1;
    if (i >= 20) {
      do {
        const size_t pick = random() % folders.size();
        parent = folders[pick];
        depth = depths[pick] + 1;
      } while (depth > 4);
    }
    folders.push_back(parent + "/dir" + std::to_string(i));
    depths.push_back(depth);
    mkdir(folders.back().c_str(), 0755);
  }
  for (int i = 0; i < kFiles; ++i) {
    const std::string path = folders[random() % folders.size()] + "/File_" +
                             std::to_string(random() % 1000000) + "_" + std::to_string(i) + ".dat";
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(FileSize(random))) != 0) std::abort();
    close(fd);
  }
  std::ofstream(marker) << kTreeVersion << "\n";
}

double CpuSeconds(const rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Processor time of the calling thread, user and system.
double ThreadCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return CpuSeconds(usage);
}

struct ChildRun {
  double seconds = 0;
  double cpuSeconds = 0;
  bool ran = false;
};

// Runs a program with its output discarded; wall and processor time.
ChildRun RunProgram(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  ChildRun run;
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    run.ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.cpuSeconds = CpuSeconds(usage);
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

// Peak memory of a program, through /usr/bin/time: a child's own figure
// would include this process's size from before the program started. 0 when
// it cannot be measured.
long PeakKiBOf(const std::vector<std::string>& arguments) {
  const std::string report = "/tmp/qlx-partivo-bench-peak.txt";
  std::vector<std::string> timed = {"/usr/bin/time", "-f", "%M", "-o", report};
  timed.insert(timed.end(), arguments.begin(), arguments.end());
  if (access("/usr/bin/time", X_OK) != 0 || !RunProgram(timed).ran) return 0;
  long peakKiB = 0;
  std::ifstream(report) >> peakKiB;
  std::remove(report.c_str());
  return peakKiB;
}

long StatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
  }
  return 0;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct AssignRun {
  bool assigned = false;
  double seconds = 0;
  double cpuSeconds = 0;
  double bytesPerRecord = 0;  // peak memory above the baseline, per file record
  int32_t discs = 0;
  int32_t files = 0;
  uint64_t alignedTotal = 0;
};

// One assignment of the tree to DVDs by name, as a burning service runs it.
AssignRun RunAssignment(CreatePartivoFunc create, const std::string& tree, int32_t splitLevel) {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";  // peak back to the current size
  const long baselineKiB = StatusKiB("VmRSS:");
  IPartivo* partivo = create();
  partivo->AddItem(tree.c_str(), "tree", ITEM_OBJECT_1);
  partivo->SetSortMode(SORT_BY_NAME);
  partivo->SetSplitLevel(splitLevel);
  AssignRun run;
  const double cpuStart = ThreadCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  run.assigned = partivo->AssignDiscByDisc(DVD);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpuSeconds = ThreadCpuSeconds() - cpuStart;
  const long peakKiB = StatusKiB("VmHWM:");
  run.discs = partivo->GetDiscCount();
  for (int32_t i = 0; i < run.discs; ++i) {
    const IQLXAssignFile* disc = partivo->GetDisc(static_cast<uint32_t>(i));
    run.alignedTotal += disc->GetAlignedSize();
    run.files += disc->GetTotalFileCount();
  }
  if (run.files > 0) run.bytesPerRecord = (peakKiB - baselineKiB) * 1024.0 / run.files;
  partivo->Release();
  return run;
}

// Each iteration runs the floor, fpart and the assignment back to back, so
// that a busy machine weighs on all three alike; ratios are medians of the
// iterations' own ratios.
void BM_AssignAgainstFloor(benchmark::State& state) {
  const std::string tree = TreePath();
  MakeTree(tree);
  auto library = qlx::platform::LoadLibraryAt(std::string(QLX_BIN_DIR) + "/Partivo.dll");
  auto create =
      reinterpret_cast<CreatePartivoFunc>(qlx::platform::FindExport(library, kCreatePartivoName));
  if (!create) {
    state.SkipWithError("Partivo.dll not loadable");
    for (auto _ : state) {
    }
    return;
  }
  const std::vector<std::string> find = {"find", tree, "-type", "f", "-printf", "%s %p\\n"};
  const std::vector<std::string> fpart = {"fpart", "-s",   std::to_string(kDvdCapacity),
                                          "-r",    "2048", tree};
  const bool haveFpart = RunProgram({"fpart", "-V"}).ran;
  RunProgram(find);  // warms the caches

  std::vector<double> findMs, fpartMs, assignMs, toFind, toFpart, cpuToFind, cpuToFpart;
  AssignRun last;
  double bytesPerRecord = 0;
  for (auto _ : state) {
    const ChildRun floor = RunProgram(find);
    const ChildRun other = haveFpart ? RunProgram(fpart) : ChildRun{};
    last = RunAssignment(create, tree, static_cast<int32_t>(state.range(0)));
    if (!last.assigned) state.SkipWithError("assignment failed");
    state.SetIterationTime(last.seconds);
    bytesPerRecord = std::max(bytesPerRecord, last.bytesPerRecord);
    findMs.push_back(floor.seconds * 1000);
    assignMs.push_back(last.seconds * 1000);
    toFind.push_back(last.seconds / floor.seconds);
    cpuToFind.push_back(last.cpuSeconds / floor.cpuSeconds);
    if (haveFpart) {
      fpartMs.push_back(other.seconds * 1000);
      toFpart.push_back(last.seconds / other.seconds);
      cpuToFpart.push_back(last.cpuSeconds / other.cpuSeconds);
    }
  }
  state.counters["find_ms"] = Median(findMs);
  state.counters["assign_ms"] = Median(assignMs);
  state.counters["ratio_to_find"] = Median(toFind);
  state.counters["cpu_ratio_to_find"] = Median(cpuToFind);
  if (haveFpart) {
    state.counters["fpart_ms"] = Median(fpartMs);
    state.counters["ratio_to_fpart"] = Median(toFpart);
    state.counters["cpu_ratio_to_fpart"] = Median(cpuToFpart);
    state.counters["fpart_peak_MiB"] = static_cast<double>(PeakKiBOf(fpart)) / 1024.0;
  }
  state.counters["files"] = last.files;
  state.counters["discs"] = last.discs;
  state.counters["lower_bound"] =
      static_cast<double>((last.alignedTotal + kDvdCapacity - 1) / kDvdCapacity);
  state.counters["peak_bytes_per_record"] = bytesPerRecord;
}

}  // namespace

// Split level 1 (the default) starts a disc for each top folder; 0 places
// whole folders where they fit.
BENCHMARK(BM_AssignAgainstFloor)
    ->ArgName("split")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

BENCHMARK_MAIN();
