#pragma once
// Runs qlxhost from a temporary program folder that holds copies of the
// built binaries, the way an integrator installs it, and captures its
// exit code and output.
#include <map>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace qlx::host::test {

struct RunResult {
  int exitCode = -1;  // -1 when the program died from a signal or timed out
  std::string out;
  std::string err;
};

class HostFolder {
 public:
  // Copies every file of the build's bin folder into a new temporary folder.
  HostFolder();

  const std::string& Path() const { return folder_.Path(); }
  // Path of a file inside the folder.
  std::string File(const std::string& name) const { return folder_.File(name); }
  void Remove(const std::string& name) const;
  void Write(const std::string& name, const std::string& text) const;

  // Runs qlxhost with `args` and extra environment variables, from the
  // folder as working directory; kills it after `timeoutSeconds`.
  RunResult Run(const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env = {}, int timeoutSeconds = 60) const;
  // The same with standard output and error on a pseudo-terminal; both end
  // up in `out`.
  RunResult RunInTerminal(const std::vector<std::string>& args,
                          const std::map<std::string, std::string>& env = {}) const;

 private:
  qlx::testsupport::TempFolder folder_;
};

// A fresh, empty temporary folder removed with the object.
class TempFolder : public qlx::testsupport::TempFolder {
 public:
  TempFolder() : qlx::testsupport::TempFolder("qlxhost-data-") {}
  // Creates `relative` (and its folders) with `size` bytes; sparse when large.
  std::string MakeFile(const std::string& relative, unsigned long long size) const;
};

std::string ReadFile(const std::string& path);

}  // namespace qlx::host::test
