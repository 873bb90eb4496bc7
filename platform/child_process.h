#pragma once
// Child processes that the caller starts, watches and ends itself: a program
// started without arguments, detached from the caller's terminal, holding
// nothing of the caller's but its environment, working directory and one
// parent-death descriptor.
//
// Parent-death contract (what a started program relies on):
// - The environment variable QLX_AGENT_PARENT_FD holds, in decimal, the number
//   of a descriptor the child inherits: the read end of a pipe whose only write
//   end stays in the starting process (close-on-exec, so no other program the
//   caller starts inherits it). Any QLX_AGENT_PARENT_FD of the caller's own
//   environment is replaced.
// - Nothing is ever written into the pipe. When a read on the descriptor
//   returns end of file (0) or fails with an error other than EINTR/EAGAIN,
//   the starting process has died (or has let the child go): the child must
//   end itself promptly. A child polls it for readability (POLLIN, POLLHUP).
// - The child must not pass the descriptor on to programs it starts.
// Standard input, output and error of the child are the null device.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace qlx::platform {

// Name of the environment variable that carries the parent-death descriptor.
constexpr const char* kParentDeathFdVariable = "QLX_AGENT_PARENT_FD";

// Starts `program` (a full path) without arguments in a new session. The child
// gets the caller's environment plus QLX_AGENT_PARENT_FD, the caller's working
// directory, and no other descriptor of the caller. The process is held by a
// handle from the moment it is created, so its id can never be confused with a
// later process that reuses it. Reaps only this child; needs no SIGCHLD handler
// and works when the caller ignores SIGCHLD.
class ChildProcess {
 public:
  // Starts the program; null when it cannot be started (missing file, not
  // executable, out of resources). Success means the program image was loaded.
  static std::unique_ptr<ChildProcess> Launch(const std::string& program);

  // Ends the child if it still runs (as Terminate), waits briefly for it to go
  // and reaps it, then releases every handle.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The child's process id as the system numbered it at the launch.
  uint32_t Id() const { return id_; }

  // True while the child runs. A child that has ended is reaped here and is
  // never reported alive again (a zombie does not count as alive).
  bool IsAlive();

  // Sends the child SIGKILL through its handle and drops the parent-death pipe,
  // without waiting. Does nothing for a child already reaped, so a process that
  // has since taken over the id is never signalled; nor does a copy of this
  // handle in a process forked from the launcher signal. True when the child had not
  // been reaped: until this handle reaps it, its id still names it (or its
  // remains), so resources named after the id are still the child's.
  bool Terminate();

  // Waits up to `timeout_ms` for the child to end and reaps it; true when it
  // has ended.
  bool WaitForExit(int timeout_ms);

 private:
  ChildProcess(uint32_t id, uint32_t launcher, int process_fd, int parent_death_fd)
      : id_(id), launcher_(launcher), process_fd_(process_fd), parent_death_fd_(parent_death_fd) {}
  void ReapIfEnded();
  void CloseParentDeathPipe();

  // Several threads may ask and terminate at once; the handle itself stays
  // until the destructor.
  uint32_t id_;
  uint32_t launcher_;                 // the process that launched the child
  int process_fd_;                    // pidfd
  std::atomic<int> parent_death_fd_;  // write end of the parent-death pipe, -1 once dropped
  std::atomic<bool> reaped_{false};
};

// True when a process with id `pid` exists and has not ended (a zombie does not
// count), looked up in the system's process list. For processes the caller does
// not hold a ChildProcess of.
bool IsProcessAlive(uint32_t pid);

}  // namespace qlx::platform
