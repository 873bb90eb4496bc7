#include "AgentHarness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "agent/AgentRpc.h"
#include "platform/posix/rpc_transport.h"

extern char** environ;

namespace agent_test {

namespace fs = std::filesystem;
using namespace qlx::platform;

namespace {

std::string MakeFolder() {
  std::string pattern = (fs::temp_directory_path() / "qlx-agent-test-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  return made != nullptr ? std::string(made) : std::string();
}

void CopyProgram(const std::string& folder) {
  for (const char* file : {"Kestrane.exe", "PTRobot.dll"})
    fs::copy_file(fs::path(QLX_BIN_DIR) / file, fs::path(folder) / file,
                  fs::copy_options::overwrite_existing);
}

std::vector<std::string> Environment(const Settings& settings, const std::string& journal,
                                     int parentFd) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    if (text.rfind("QLX_SIM_", 0) == 0 || text.rfind("QLX_AGENT_PARENT_FD=", 0) == 0) continue;
    env.push_back(text);
  }
  for (const auto& [key, value] : settings) env.push_back(key + "=" + value);
  env.push_back("QLX_SIM_JOURNAL=" + journal);
  env.push_back("QLX_AGENT_PARENT_FD=" + std::to_string(parentFd));
  return env;
}

}  // namespace

std::string SocketPathOf(const std::string& endpointName) {
  std::string folder, path;
  rpc_internal::EndpointFolder(false, folder);
  rpc_internal::EndpointSocketPath(folder, endpointName, path);
  return path;
}

AgentHarness::AgentHarness(const Settings& settings) {
  folder_ = MakeFolder();
  CopyProgram(folder_);
  journal_ = folder_ + "/journal.txt";
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return;
  parentPipe_ = pipeEnds[1];
  std::vector<std::string> env = Environment(settings, journal_, pipeEnds[0]);
  std::vector<char*> envp;
  for (auto& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program = folder_ + "/Kestrane.exe";
  pid_ = fork();
  if (pid_ == 0) {
    fcntl(pipeEnds[0], F_SETFD, 0);  // the agent inherits the read end
    int null = open("/dev/null", O_RDWR);
    dup2(null, 1);
    dup2(null, 2);
    char* argv[] = {program.data(), nullptr};
    execve(program.c_str(), argv, envp.data());
    _exit(127);
  }
  close(pipeEnds[0]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      reaped_ = true;
      break;
    }
    try {
      RPC_Probe(Bind());
      ready_ = WaitForRecord("RpcServerListen success ");
      break;
    } catch (const RpcException&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
}

AgentHarness::~AgentHarness() {
  for (auto& binding : bindings_) RpcFreeBinding(&binding);
  Kill();
  if (parentPipe_ >= 0) close(parentPipe_);
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

std::u16string AgentHarness::Endpoint() const {
  std::string name = "PTRobotRpc" + std::to_string(pid_);
  return std::u16string(name.begin(), name.end());
}

std::string AgentHarness::SocketPath() const {
  return SocketPathOf("PTRobotRpc" + std::to_string(pid_));
}

RpcBinding AgentHarness::Bind() {
  char16_t* text = nullptr;
  RpcBinding binding = nullptr;
  RpcComposeStringBinding(u"ncalrpc", Endpoint().c_str(), &text);
  RpcBindingFromString(text, &binding);
  RpcFreeString(&text);
  bindings_.push_back(binding);
  return binding;
}

std::vector<std::string> AgentHarness::Journal() const {
  std::vector<std::string> lines;
  std::ifstream in(journal_);
  std::string prefix = std::to_string(pid_) + " ";
  for (std::string line; std::getline(in, line);)
    if (line.rfind(prefix, 0) == 0) lines.push_back(line.substr(prefix.size()));
  return lines;
}

std::vector<std::string> AgentHarness::LogLines() const {
  std::vector<std::string> lines;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder_ + "/Log", error)) {
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  }
  return lines;
}

std::string AgentHarness::LastRecordOf(const std::string& function) const {
  std::string found;
  std::string marker = "[" + function + " (";
  for (const auto& line : LogLines()) {
    size_t at = line.find(marker);
    if (at == std::string::npos) continue;
    size_t end = line.find(")] ", at);
    if (end != std::string::npos) found = line.substr(end + 3);
  }
  return found;
}

bool AgentHarness::WaitForRecord(const std::string& text) const {
  for (int attempt = 0; attempt < 300; ++attempt) {
    for (const auto& line : LogLines())
      if (line.find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

int AgentHarness::Kill() {
  if (pid_ <= 0 || reaped_) return -1;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  reaped_ = true;
  RpcRemoveEndpoint(Endpoint().c_str());
  return status;
}

int AgentHarness::WaitForExit(int ms) {
  if (pid_ <= 0 || reaped_) return -1;
  for (int waited = 0; waited < ms; waited += 10) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      reaped_ = true;
      return status;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

void AgentHarness::DropParentPipe() {
  if (parentPipe_ >= 0) close(parentPipe_);
  parentPipe_ = -1;
}

}  // namespace agent_test
