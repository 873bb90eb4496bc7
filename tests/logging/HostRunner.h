#pragma once
// Runs a copy of a logger host program from a fresh temporary program folder
// and talks to it over its standard input and output.
#include <string>
#include <vector>

namespace qlx::test {

// A temporary folder, removed with everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// Sets the modification time of `path` (whole seconds since 1970).
void SetModified(const std::string& path, long long seconds);
long long Modified(const std::string& path);
// Names of the plain files in `folder`, sorted.
std::vector<std::string> ListFiles(const std::string& folder);

class HostProcess {
 public:
  // Copies `program` into `folder` as `name` and starts it there, with
  // QLX_DEBUG_OUTPUT naming folder/debug.txt and standard error going to
  // folder/stderr.txt.
  HostProcess(const std::string& program, const TempFolder& folder, const std::string& name);
  ~HostProcess();

  // Sends one command line; returns what the host wrote to standard output
  // before acknowledging it.
  std::string Command(const std::string& line);

 private:
  int pid_ = -1;
  int input_ = -1;
  int output_ = -1;
};

// "<module> YYYY-MM-DD.log" of the local date `daysAgo` days before now.
std::string DailyName(const std::string& module, int daysAgo);

}  // namespace qlx::test
