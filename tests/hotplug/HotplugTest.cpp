// Runs every case of the hotplug host program in a process of its own, with
// the program copied into a fresh temporary folder that holds the
// libusb-1.0.dll the case needs: the plug-in looks for libusb in the host's
// folder, and its singleton lives once per process.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kRealLibusb = "/usr/lib/x86_64-linux-gnu/libusb-1.0.so.0";

enum class Library { None, Copy, Link };

struct Folder {
  Library library;
  std::string source;  // file copied or linked as libusb-1.0.dll
};

// Runs `command` through the shell; returns its exit status, output in `output`.
int Run(const std::string& command, std::string& output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<std::string> ListCases(const std::string& filter) {
  std::string listing;
  Run(std::string("'") + HOTPLUG_HOST_PATH + "' --gtest_list_tests --gtest_filter='" + filter + "'",
      listing);
  std::vector<std::string> cases;
  std::istringstream lines(listing);
  std::string suite;
  for (std::string line; std::getline(lines, line);) {
    std::string name = line.substr(0, line.find('#'));
    name.erase(name.find_last_not_of(' ') + 1);
    if (name.empty()) continue;
    if (name.back() == '.')
      suite = name;
    else if (name[0] == ' ')
      cases.push_back(suite + name.substr(name.find_first_not_of(' ')));
  }
  return cases;
}

std::string PrepareFolder(const Folder& folder) {
  char pattern[] = "/tmp/wendrik-host-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  fs::copy_file(HOTPLUG_HOST_PATH, dir + "/hotplug_host");
  const std::string library = dir + "/libusb-1.0.dll";
  if (folder.library == Library::Copy) fs::copy_file(folder.source, library);
  if (folder.library == Library::Link) fs::create_symlink(folder.source, library);
  return dir;
}

// Runs each case matching `filter` in its own process and folder.
void RunEachCase(const std::string& filter, const Folder& folder) {
  const auto cases = ListCases(filter);
  ASSERT_FALSE(cases.empty()) << "no case matches " << filter;
  for (const std::string& name : cases) {
    const std::string dir = PrepareFolder(folder);
    std::string output;
    const int status = Run("'" + dir + "/hotplug_host' --gtest_filter='" + name + "'", output);
    const bool ranOne = output.find("[  PASSED  ] 1 test.") != std::string::npos ||
                        output.find("[  SKIPPED ] 1 test") != std::string::npos;
    EXPECT_TRUE(status == 0 && ranOne) << name << " in " << dir << ":\n" << output;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
      if (line.find(" ms") != std::string::npos && line.find('[') != 0)
        std::cout << name << ": " << line << "\n";
    if (status == 0) fs::remove_all(dir);
  }
}

const Folder kFake{Library::Copy, FAKEUSB_PATH};

}  // namespace

TEST(HotplugByHost, FactoryAndFailuresOfStart) { RunEachCase("Factory.*", kFake); }
TEST(HotplugByHost, EventMode) { RunEachCase("EventMode.*", kFake); }
TEST(HotplugByHost, PollMode) { RunEachCase("PollMode.*", kFake); }
TEST(HotplugByHost, ScriptFile) { RunEachCase("Script.*", kFake); }
TEST(HotplugByHost, Stopping) { RunEachCase("BothModes/Stop.*:Stopping.*", kFake); }

TEST(HotplugByHost, StoppingWithoutWakeNames) {
  RunEachCase("WithoutWake.*", {Library::Copy, FAKEUSB_WITHOUT_WAKE_PATH});
}

TEST(HotplugByHost, MissingLibrary) { RunEachCase("MissingLibrary.*", {Library::None, ""}); }

TEST(HotplugByHost, LibraryLackingOneName) {
  RunEachCase("LackingName.*", {Library::Copy, FAKEUSB_WITHOUT_REGISTER_PATH});
}

TEST(HotplugByHost, RealDebianLibusb) {
  if (!fs::exists(kRealLibusb)) GTEST_SKIP() << kRealLibusb << " is not installed";
  RunEachCase("RealLibusb.*", {Library::Link, kRealLibusb});
}
