#include "HostRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace qlx::host::test {

namespace fs = std::filesystem;

namespace {

struct ExecArgs {
  std::vector<std::string> argStore;
  std::vector<std::string> envStore;
  std::vector<char*> argv;
  std::vector<char*> envp;
};

ExecArgs MakeExecArgs(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env) {
  ExecArgs exec;
  exec.argStore.push_back(program);
  exec.argStore.insert(exec.argStore.end(), args.begin(), args.end());
  for (char** var = environ; *var != nullptr; ++var) {
    // The system's own settings of the caller's environment stay out: each
    // run sees only what its case sets.
    std::string entry = *var;
    std::string name = entry.substr(0, entry.find('='));
    if (name.rfind("QLX", 0) == 0 || name == "NO_COLOR") continue;
    if (env.count(name) == 0) exec.envStore.push_back(entry);
  }
  for (const auto& [name, value] : env) exec.envStore.push_back(name + "=" + value);
  for (auto& arg : exec.argStore) exec.argv.push_back(arg.data());
  exec.argv.push_back(nullptr);
  for (auto& entry : exec.envStore) exec.envp.push_back(entry.data());
  exec.envp.push_back(nullptr);
  return exec;
}

}  // namespace

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

HostFolder::HostFolder() : folder_("qlxhost-test-") {
  for (const auto& entry : fs::directory_iterator(QLX_BIN_DIR)) {
    if (entry.is_regular_file()) {
      fs::copy_file(entry.path(), fs::path(Path()) / entry.path().filename());
    }
  }
}

void HostFolder::Remove(const std::string& name) const { fs::remove(File(name)); }

void HostFolder::Write(const std::string& name, const std::string& text) const {
  std::ofstream(File(name), std::ios::binary) << text;
}

RunResult HostFolder::Run(const std::vector<std::string>& args,
                          const std::map<std::string, std::string>& env, int timeoutSeconds) const {
  const std::string outPath = File(".qlxhost-out");
  const std::string errPath = File(".qlxhost-err");
  ExecArgs exec = MakeExecArgs(File("qlxhost"), args, env);
  pid_t child = fork();
  if (child == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || chdir(Path().c_str()) != 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    setpgid(0, 0);  // its own group, so a timeout ends the agents it started too
    execve(exec.argv[0], exec.argv.data(), exec.envp.data());
    _exit(127);
  }
  RunResult result;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-child, SIGKILL);
      waitpid(child, &status, 0);
      result.err = "timed out\n";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  result.out = ReadFile(outPath);
  result.err += ReadFile(errPath);
  return result;
}

RunResult HostFolder::RunInTerminal(const std::vector<std::string>& args,
                                    const std::map<std::string, std::string>& env) const {
  ExecArgs exec = MakeExecArgs(File("qlxhost"), args, env);
  int master = -1;
  pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child == 0) {
    if (chdir(Path().c_str()) != 0) _exit(127);
    execve(exec.argv[0], exec.argv.data(), exec.envp.data());
    _exit(127);
  }
  RunResult result;
  if (child < 0) return result;
  char buffer[4096];
  for (;;) {  // until the terminal closes (EIO once the child is gone)
    pollfd ready{master, POLLIN, 0};
    if (poll(&ready, 1, 30000) <= 0) break;
    ssize_t got = read(master, buffer, sizeof buffer);
    if (got <= 0) break;
    result.out.append(buffer, static_cast<size_t>(got));
  }
  close(master);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

std::string TempFolder::MakeFile(const std::string& relative, unsigned long long size) const {
  fs::path path = fs::path(Path()) / relative;
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).close();
  fs::resize_file(path, size);
  return path.string();
}

}  // namespace qlx::host::test
