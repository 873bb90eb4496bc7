#include "ProxyTestSupport.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qlx::proxytest {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qlxproxy.XXXXXX").string();
  path_ = mkdtemp(pattern.data()) ? pattern : "";
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

bool WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void CopyFile(const std::string& from, const std::string& to) {
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

bool ProcessListed(int pid) {
  struct stat info;
  return stat(("/proc/" + std::to_string(pid)).c_str(), &info) == 0;
}

int ForkDecoyWithPid(int pid) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::ofstream last("/proc/sys/kernel/ns_last_pid");
    if (!(last << pid - 1 << std::flush)) return -1;
    last.close();
    pid_t decoy = fork();
    if (decoy == 0) {
      for (;;) pause();
    }
    if (decoy == pid) return decoy;
    kill(decoy, SIGKILL);
    waitpid(decoy, nullptr, 0);
  }
  return -1;
}

}  // namespace qlx::proxytest
