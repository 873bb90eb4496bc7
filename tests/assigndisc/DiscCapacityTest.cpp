// The capacity table and "assign_disc.ini", read from the host program's
// folder: a stand-in host is copied next to the file of each case.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "PartivoTestSupport.h"

using namespace partivo_test;

namespace {

struct ProbeRun {
  std::map<int, uint64_t> capacities;  // disc type value -> bytes
  std::string output;                  // everything printed, log records included
};

// Copies the stand-in host into `dir` as "svc", with `ini` next to it.
std::string PlaceHost(const TempDir& dir, const std::optional<std::string>& ini) {
  const std::string host = dir / "svc";
  std::filesystem::copy_file(std::string(QLX_TEST_BIN_DIR) + "/partivo_probe", host);
  if (ini) std::ofstream(dir / "assign_disc.ini") << *ini;
  return host;
}

ProbeRun RunCaps(const std::optional<std::string>& ini) {
  TempDir dir;
  ProbeRun run;
  run.output = RunCommand("'" + PlaceHost(dir, ini) + "' caps");
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    int type = 0;
    unsigned long long bytes = 0;
    if (std::sscanf(line.c_str(), "type %d: %llu", &type, &bytes) == 2) {
      run.capacities[type] = bytes;
    }
  }
  return run;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

constexpr uint64_t kDefaults[] = {723517440ull,   4616880128ull,  8374976512ull,  23622320128ull,
                                  47244640256ull, 99535028224ull, 127238406144ull};

}  // namespace

TEST(PartivoCapacity, DefaultsWithoutFile) {
  const ProbeRun run = RunCaps(std::nullopt);
  for (int type = 1; type <= 7; ++type) {
    EXPECT_EQ(run.capacities.at(type), kDefaults[type - 1]) << type;
  }
  for (int type : {0, 8, 255, -1}) EXPECT_EQ(run.capacities.at(type), 0u) << type;
  EXPECT_EQ(Count(run.output, "[ERROR]"), 0u) << run.output;
}

TEST(PartivoCapacity, FileValues) {
  const uint64_t maxMiB = UINT64_MAX >> 20;
  const struct {
    const char* ini;
    uint64_t cd;   // bytes expected for type 1
    uint64_t dvd;  // bytes expected for type 2
    uint64_t dvdDl;
    const char* record;  // expected in the one ERROR record, or null for none
  } cases[] = {
      {"CD_MaxMB=700\n", 700 * kMiB, kDefaults[1], kDefaults[2], nullptr},
      {"CD_MaxMB = 0x2BC\n", 700 * kMiB, kDefaults[1], kDefaults[2], nullptr},
      {"cd_maxmb=700\r\n", 700 * kMiB, kDefaults[1], kDefaults[2], nullptr},
      {"; CD_MaxMB=1\nDVD_MaxMB=1\n", kDefaults[0], kMiB, kDefaults[2], nullptr},
      {"[discs]\nCD_MaxMB=700\n", kDefaults[0], kDefaults[1], kDefaults[2], nullptr},
      {"CD_MaxMB=800\nDVD_MaxMB=abc\nDVDDL_MaxMB=100\n", 800 * kMiB, kDefaults[1], kDefaults[2],
       "Exception; Syntax error: Not a valid unsigned integer"},
      {"CD_MaxMB=0xZZ\n", kDefaults[0], kDefaults[1], kDefaults[2],
       "Not a valid hexadecimal integer"},
      {"CD_MaxMB=17592186044415\nDVD_MaxMB=5000\n", maxMiB << 20, 5000 * kMiB, kDefaults[2],
       nullptr},
      // A byte count beyond 64 bits is refused; later keys are still read.
      {"CD_MaxMB=17592186044416\nDVD_MaxMB=5000\nDVDDL_MaxMB=0\n", kDefaults[0], 5000 * kMiB, 0,
       "CD_MaxMB = 17592186044416 MiB does not fit a byte count"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini);
    const ProbeRun run = RunCaps(std::string(c.ini));
    EXPECT_EQ(run.capacities.at(1), c.cd);
    EXPECT_EQ(run.capacities.at(2), c.dvd);
    EXPECT_EQ(run.capacities.at(3), c.dvdDl);
    EXPECT_EQ(run.capacities.at(7), kDefaults[6]);
    for (int type : {0, 8, 255}) EXPECT_EQ(run.capacities.at(type), 0u);
    // Every call of the probe reads the file, so each problem shows once per type asked.
    const size_t calls = run.capacities.size();
    if (c.record) {
      EXPECT_EQ(Count(run.output, "[ERROR]"), calls) << run.output;
      EXPECT_EQ(Count(run.output, "[CPartivoImpl::GetDiscMaxSize ("), calls) << run.output;
      EXPECT_EQ(Count(run.output, c.record), calls) << run.output;
    } else {
      EXPECT_EQ(Count(run.output, "[ERROR]"), 0u) << run.output;
    }
  }
}

// The plug-in reads the file of the host's folder, not of its own.
TEST(PartivoCapacity, PluginReadsTheHostsFile) {
  TempDir data;
  MakeFile(data / "disc.img", 700 * kMiB);  // larger than a default CD
  const std::string dll = std::string(QLX_BIN_DIR) + "/Partivo.dll";
  for (const bool withFile : {false, true}) {
    SCOPED_TRACE(withFile);
    TempDir dir;
    const std::string host =
        PlaceHost(dir, withFile ? std::optional<std::string>("CD_MaxMB=800\n") : std::nullopt);
    const std::string output =
        RunCommand("'" + host + "' assign '" + dll + "' 1 '" + data / "disc.img" + "'");
    EXPECT_NE(output.find(withFile ? "assigned 1 discs 1" : "assigned 0"), std::string::npos)
        << output;
  }
}
