#pragma once
// Runs a real Kestrane.exe for a test: copies the agent and the robot
// simulator into a private program folder, starts it with the simulator's
// settings, waits until it answers, and reads what it left behind (the
// simulator's call journal, the agent's log file, the endpoint file).
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "platform/rpc.h"

namespace agent_test {

using Settings = std::map<std::string, std::string>;

class AgentHarness {
 public:
  // Starts an agent with the simulator settings `settings` (QLX_SIM_*);
  // the journal always goes to the harness's own file.
  explicit AgentHarness(const Settings& settings = {});
  ~AgentHarness();
  AgentHarness(const AgentHarness&) = delete;
  AgentHarness& operator=(const AgentHarness&) = delete;

  // True once the agent answered a probe and logged that it listens.
  bool Ready() const { return ready_; }
  pid_t Pid() const { return pid_; }
  std::u16string Endpoint() const;
  std::string SocketPath() const;

  // A fresh binding to this agent; freed by the harness.
  qlx::platform::RpcBinding Bind();

  // Journal lines of this agent's process, without the pid.
  std::vector<std::string> Journal() const;
  // Lines of the agent's log files, each without its line end.
  std::vector<std::string> LogLines() const;
  // The text after ")] " of the last record of `function`, or "" if none.
  std::string LastRecordOf(const std::string& function) const;

  // Waits up to 3 s for a record that contains `text`.
  bool WaitForRecord(const std::string& text) const;

  // Kills the agent and waits for it; returns its wait status.
  int Kill();
  // Waits up to `ms` for the agent to end by itself; its wait status or -1.
  int WaitForExit(int ms);

  // Starts another process with the same folder and settings; for tests of
  // several agents.
  std::string Folder() const { return folder_; }

  // Closes the write end of the parent-death pipe (as if the starter died).
  void DropParentPipe();

 private:
  std::string folder_;
  std::string journal_;
  pid_t pid_ = -1;
  int parentPipe_ = -1;
  bool ready_ = false;
  bool reaped_ = false;
  std::vector<qlx::platform::RpcBinding> bindings_;
};

// Socket path of endpoint `name` as the run time places it.
std::string SocketPathOf(const std::string& endpointName);

}  // namespace agent_test
