#include "SimTestSupport.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "gtest/gtest.h"

namespace simtest {

ChildResult RunChild(const Settings& settings, const std::string& journal,
                     const std::function<void()>& body, int waitMs) {
  fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    for (const auto& setting : settings) setenv(setting.first.c_str(), setting.second.c_str(), 1);
    if (!journal.empty()) setenv("QLX_SIM_JOURNAL", journal.c_str(), 1);
    body();
    fflush(stdout);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  ChildResult result;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      result.stillRunning = true;
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  result.exited = WIFEXITED(status);
  result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
  return result;
}

TempJournal::TempJournal() {
  std::string pattern = (std::filesystem::temp_directory_path() / "simtest-XXXXXX").string();
  folder_ = mkdtemp(pattern.data()) ? pattern : std::string();
  path_ = folder_ + "/journal.txt";
}

TempJournal::~TempJournal() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

}  // namespace simtest
