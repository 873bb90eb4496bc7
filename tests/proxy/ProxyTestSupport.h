#pragma once
// Helpers shared by the proxy tests: temporary folders, waiting, files.
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace qlx::proxytest {

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Polls `done` every 10 ms until it holds or `timeout_ms` passes.
bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 5000);

std::string ReadFile(const std::string& path);
void CopyFile(const std::string& from, const std::string& to);

// True when /proc lists `pid` (a zombie included).
bool ProcessListed(int pid);

// Forks a child that waits, made to take `pid` as its id (needs the right to
// set the namespace's last pid); the child's id, or -1 when that is not possible.
int ForkDecoyWithPid(int pid);

}  // namespace qlx::proxytest
