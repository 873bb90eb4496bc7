#pragma once
// The proxy's registries: which agent process serves which robot handle, and
// which drives belong to which robot. One agent per robot handle, started from
// the proxy library's own folder and ended by the proxy.
//
// Thread safety: every operation may be called from several threads at once.
// The registry lock is held only around registry work, never across a launch
// wait, a probe or an RPC call. Launches for one robot are serialised by a
// lock of that robot's own, so concurrent first calls start one agent.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/rpc.h"

namespace qlx::proxy {

// The binding of one exported call: the composed string binding and the
// binding handle made from it. Freed at the end of the call (handle first).
class AgentBinding {
 public:
  AgentBinding() = default;
  ~AgentBinding() { Free(); }
  AgentBinding(const AgentBinding&) = delete;
  AgentBinding& operator=(const AgentBinding&) = delete;

  void Free();
  platform::RpcBinding Handle() const { return binding_; }
  char16_t** StringSlot() { return &stringBinding_; }
  platform::RpcBinding* HandleSlot() { return &binding_; }

 private:
  char16_t* stringBinding_ = nullptr;
  platform::RpcBinding binding_ = nullptr;
};

// Timing of launches and probes; the defaults are the product's.
struct AgentTiming {
  uint32_t launchWaitMs = 500;    // after an agent was started
  uint32_t probeRetryMs = 500;    // between probe attempts
  uint32_t probeLimitMs = 10000;  // a probe loop gives up after this long
};

class CAgentRegistry {
 public:
  // `agentProgram`: full path of the agent program to launch.
  explicit CAgentRegistry(std::string agentProgram, AgentTiming timing = {});
  // Terminates every agent it started (TerminateAgent(0)).
  ~CAgentRegistry();
  CAgentRegistry(const CAgentRegistry&) = delete;
  CAgentRegistry& operator=(const CAgentRegistry&) = delete;

  // Binds `binding` to the robot's registered agent and probes it until it
  // answers. False when there is no live agent, the binding cannot be made, or
  // the agent ends or stays silent for the probe limit.
  bool BindAgent(uint32_t robot, AgentBinding& binding);

  // Starts an agent for the robot, records it (ending an agent recorded before
  // it) and waits the launch wait. False, with nothing recorded, when the
  // program cannot be started.
  bool LaunchAgent(uint32_t robot);

  // Ends the robot's agent, or every agent for robot 0. Only processes this
  // registry started and has not yet seen end are signalled; the endpoint file
  // of an agent it ended is removed. Entries stay. Always true.
  bool TerminateAgent(uint32_t robot);

  // The robot whose last recorded drive list holds `drive` (lowest robot
  // handle first), or 0.
  uint32_t FindRobotForDrive(int32_t drive);

  // Makes the first *count drives of `drives` the robot's list; nothing for
  // robot 0, a null array or a null count.
  void RecordDrives(uint32_t robot, const int32_t* drives, const int32_t* count);

  // Bind; else launch and bind again; else end the new agent. True when
  // `binding` is ready for the forwarded call.
  bool AcquireAgent(uint32_t robot, AgentBinding& binding);

  // Process id recorded for the robot (0: none). For tests and diagnostics.
  uint32_t AgentProcessId(uint32_t robot);

 private:
  struct AgentEntry {
    std::mutex launchMutex;  // held by the thread launching for this robot
    uint32_t processId = 0;
    std::shared_ptr<platform::ChildProcess> process;
    uint64_t generation = 0;  // counts launches, to notice another thread's
  };
  struct AgentSnapshot {
    uint32_t processId = 0;
    std::shared_ptr<platform::ChildProcess> process;
    uint64_t generation = 0;
  };

  std::shared_ptr<AgentEntry> EntryFor(uint32_t robot);
  AgentSnapshot Snapshot(uint32_t robot);
  bool BindTo(const AgentSnapshot& agent, AgentBinding& binding);
  static bool Alive(const AgentSnapshot& agent);

  const std::string agentProgram_;
  const AgentTiming timing_;
  std::mutex mutex_;  // guards the two maps and every entry's agent fields
  std::map<uint32_t, std::shared_ptr<AgentEntry>> agents_;
  std::map<uint32_t, std::vector<int32_t>> drives_;
};

// Endpoint name "PTRobotRpc<pid>" of an agent.
std::u16string AgentEndpoint(uint32_t processId);

}  // namespace qlx::proxy
