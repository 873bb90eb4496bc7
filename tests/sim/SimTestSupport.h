#pragma once
// Runs simulator cases in forked children with their own settings.
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace simtest {

using Settings = std::vector<std::pair<std::string, std::string>>;

struct ChildResult {
  bool exited = false;
  int exitCode = -1;
  bool stillRunning = false;  // killed after the wait ran out
};

// Forks; the child sets QLX_SIM_JOURNAL to `journal` (when not empty) and the
// QLX_SIM_<KEY> variables of `settings`, runs `body` and exits 0, or 1 when a
// test assertion failed in it. The parent waits up to `waitMs` ms, then kills it.
ChildResult RunChild(const Settings& settings, const std::string& journal,
                     const std::function<void()>& body, int waitMs = 30000);

// A fresh journal file name in a private temporary folder.
class TempJournal {
 public:
  TempJournal();
  ~TempJournal();
  const std::string& Path() const { return path_; }
  std::string Folder() const { return folder_; }

 private:
  std::string folder_;
  std::string path_;
};

}  // namespace simtest
