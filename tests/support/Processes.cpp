#include "tests/support/Processes.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace qlx::testsupport {

int InChild(int (*body)()) {
  pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string RunCommand(const std::string& command, int* exitCode) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  size_t count;
  while ((count = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, count);
  const int status = pclose(pipe);
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

}  // namespace qlx::testsupport
