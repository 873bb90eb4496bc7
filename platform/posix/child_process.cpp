#include "platform/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/sched.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace qlx::platform {
namespace {

// Descriptor numbers in the child: 0-2 the null device, 3 the parent-death
// pipe, 4 the exec-failure report (closed by a successful exec). Everything
// the child receives is first copied to numbers from kFirstFreeFd up, so the
// rearranging in the child never overwrites a source it still needs.
constexpr int kChildParentDeathFd = 3;
constexpr int kChildExecErrorFd = 4;
constexpr int kFirstFreeFd = 5;

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  // Moves the descriptor to a close-on-exec copy numbered kFirstFreeFd or up.
  bool MoveHigh() {
    int high = fcntl(fd_, F_DUPFD_CLOEXEC, kFirstFreeFd);
    if (high < 0) return false;
    Reset(high);
    return true;
  }

 private:
  int fd_;
};

struct Pipe {
  Descriptor read_end;
  Descriptor write_end;
  bool Open() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    read_end.Reset(fds[0]);
    write_end.Reset(fds[1]);
    return true;
  }
};

// The caller's environment with the parent-death variable set for the child.
std::vector<std::string> ChildEnvironment() {
  const std::string prefix = std::string(kParentDeathFdVariable) + "=";
  std::vector<std::string> entries;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, prefix.c_str(), prefix.size()) != 0) entries.emplace_back(*entry);
  }
  entries.push_back(prefix + std::to_string(kChildParentDeathFd));
  return entries;
}

// Runs in the new process between clone and exec: only async-signal-safe calls.
[[noreturn]] void ExecChild(const char* program, char* const* envp, int null_fd, int death_fd,
                            int error_fd) {
  sigset_t all;
  sigemptyset(&all);
  sigprocmask(SIG_SETMASK, &all, nullptr);
  for (int sig = 1; sig < NSIG; ++sig) {
    struct sigaction action;
    if (sigaction(sig, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) {
      action.sa_handler = SIG_DFL;
      sigaction(sig, &action, nullptr);
    }
  }
  setsid();
  bool arranged = dup2(null_fd, 0) == 0 && dup2(null_fd, 1) == 1 && dup2(null_fd, 2) == 2 &&
                  dup2(death_fd, kChildParentDeathFd) == kChildParentDeathFd &&
                  dup3(error_fd, kChildExecErrorFd, O_CLOEXEC) == kChildExecErrorFd;
  if (arranged) {
    close_range(kFirstFreeFd, ~0U, 0);
    char* const argv[] = {const_cast<char*>(program), nullptr};
    execve(program, argv, envp);
  }
  int error = errno;
  if (arranged) {
    ssize_t ignored = write(kChildExecErrorFd, &error, sizeof error);
    (void)ignored;
  }
  _exit(127);
}

// Creates the child with a pidfd (exit signal 0: a wait for any child by the
// host never reaps it, and ignoring SIGCHLD never auto-reaps it). Returns the
// child's id in the parent, 0 in the child, -1 on failure.
pid_t CloneWithPidfd(int* pidfd) {
  clone_args args{};
  args.flags = CLONE_PIDFD;
  args.pidfd = reinterpret_cast<uint64_t>(pidfd);
  args.exit_signal = 0;
  return static_cast<pid_t>(syscall(SYS_clone3, &args, sizeof args));
}

int WaitOptions(bool block) { return WEXITED | __WALL | (block ? 0 : WNOHANG); }

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Launch(const std::string& program) {
  std::vector<std::string> environment = ChildEnvironment();
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  Pipe parent_death;
  Pipe exec_error;
  Descriptor null_device(open("/dev/null", O_RDWR | O_CLOEXEC));
  if (!parent_death.Open() || !exec_error.Open() || null_device.Get() < 0) return nullptr;
  if (!parent_death.read_end.MoveHigh() || !exec_error.write_end.MoveHigh() ||
      !null_device.MoveHigh())
    return nullptr;

  int pidfd = -1;
  pid_t pid = CloneWithPidfd(&pidfd);
  if (pid < 0) return nullptr;
  if (pid == 0) {
    ExecChild(program.c_str(), envp.data(), null_device.Get(), parent_death.read_end.Get(),
              exec_error.write_end.Get());
  }
  Descriptor process(pidfd);
  parent_death.read_end.Reset();
  exec_error.write_end.Reset();
  null_device.Reset();

  int child_error = 0;
  ssize_t got;
  do {
    got = read(exec_error.read_end.Get(), &child_error, sizeof child_error);
  } while (got < 0 && errno == EINTR);
  if (got != 0) {  // the exec failed (or its outcome is unknown): the child exits at once
    siginfo_t info{};
    while (waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(process.Get()), &info,
                  WaitOptions(true)) < 0 &&
           errno == EINTR) {
    }
    return nullptr;
  }
  return std::unique_ptr<ChildProcess>(
      new ChildProcess(static_cast<uint32_t>(pid), static_cast<uint32_t>(getpid()),
                       process.Release(), parent_death.write_end.Release()));
}

ChildProcess::~ChildProcess() {
  if (Terminate()) WaitForExit(2000);
  CloseParentDeathPipe();
  close(process_fd_);
}

bool ChildProcess::IsAlive() {
  if (reaped_) return false;
  pollfd ready{process_fd_, POLLIN, 0};
  int result;
  do {
    result = poll(&ready, 1, 0);
  } while (result < 0 && errno == EINTR);
  if (result == 0) return true;
  ReapIfEnded();
  return false;
}

bool ChildProcess::Terminate() {
  bool ours = !reaped_ && static_cast<uint32_t>(getpid()) == launcher_;
  if (ours) syscall(SYS_pidfd_send_signal, process_fd_, SIGKILL, nullptr, 0);
  CloseParentDeathPipe();
  return ours;
}

bool ChildProcess::WaitForExit(int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!reaped_) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd ready{process_fd_, POLLIN, 0};
    int result = poll(&ready, 1, static_cast<int>(left > 0 ? left : 0));
    if (result > 0) {
      ReapIfEnded();
      return true;
    }
    if (result == 0 || (result < 0 && errno != EINTR)) return false;
  }
  return true;
}

void ChildProcess::ReapIfEnded() {
  siginfo_t info{};
  int result;
  do {
    result = waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(process_fd_), &info,
                    WaitOptions(false));
  } while (result < 0 && errno == EINTR);
  // ECHILD: another thread (or a host waiting with __WALL) reaped it already.
  if ((result == 0 && info.si_pid != 0) || (result < 0 && errno == ECHILD)) reaped_ = true;
}

void ChildProcess::CloseParentDeathPipe() {
  int fd = parent_death_fd_.exchange(-1);
  if (fd >= 0) close(fd);
}

bool IsProcessAlive(uint32_t pid) {
  if (pid == 0) return false;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  // "pid (command) state ...": the command may hold spaces and parentheses.
  std::string::size_type end = line.rfind(')');
  if (end == std::string::npos || end + 2 >= line.size()) return false;
  char state = line[end + 2];
  return state != 'Z' && state != 'X';
}

}  // namespace qlx::platform
