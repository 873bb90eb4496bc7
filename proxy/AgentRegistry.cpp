#include "proxy/AgentRegistry.h"

#include <chrono>
#include <utility>

#include "agent/AgentRpc.h"
#include "platform/process.h"

namespace qlx::proxy {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

void AgentBinding::Free() {
  if (binding_ != nullptr) platform::RpcFreeBinding(&binding_);
  if (stringBinding_ != nullptr) platform::RpcFreeString(&stringBinding_);
}

std::u16string AgentEndpoint(uint32_t processId) {
  std::u16string endpoint = u"PTRobotRpc";
  for (char digit : std::to_string(static_cast<int32_t>(processId))) endpoint += digit;
  return endpoint;
}

CAgentRegistry::CAgentRegistry(std::string agentProgram, AgentTiming timing)
    : agentProgram_(std::move(agentProgram)), timing_(timing) {}

CAgentRegistry::~CAgentRegistry() { TerminateAgent(0); }

std::shared_ptr<CAgentRegistry::AgentEntry> CAgentRegistry::EntryFor(uint32_t robot) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<AgentEntry>& entry = agents_[robot];
  if (!entry) entry = std::make_shared<AgentEntry>();
  return entry;
}

CAgentRegistry::AgentSnapshot CAgentRegistry::Snapshot(uint32_t robot) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = agents_.find(robot);
  if (found == agents_.end()) return {};
  const AgentEntry& entry = *found->second;
  return {entry.processId, entry.process, entry.generation};
}

bool CAgentRegistry::Alive(const AgentSnapshot& agent) {
  return agent.process ? agent.process->IsAlive() : platform::IsProcessAlive(agent.processId);
}

bool CAgentRegistry::BindAgent(uint32_t robot, AgentBinding& binding) {
  return BindTo(Snapshot(robot), binding);
}

bool CAgentRegistry::BindTo(const AgentSnapshot& agent, AgentBinding& binding) {
  if (agent.processId == 0 || !Alive(agent)) return false;
  const std::u16string endpoint = AgentEndpoint(agent.processId);
  if (platform::RpcComposeStringBinding(u"ncalrpc", endpoint.c_str(), binding.StringSlot()) !=
          platform::kRpcOk ||
      platform::RpcBindingFromString(*binding.StringSlot(), binding.HandleSlot()) !=
          platform::kRpcOk)
    return false;
  // An agent answers the probe as soon as it listens. One that has ended, or
  // that stays silent for the probe limit, is given up rather than waited for.
  const auto deadline = Clock::now() + std::chrono::milliseconds(timing_.probeLimitMs);
  for (;;) {
    try {
      RPC_Probe(binding.Handle());
      return true;
    } catch (const platform::RpcException&) {
    }
    if (!Alive(agent) || Clock::now() >= deadline) return false;
    platform::SleepMilliseconds(timing_.probeRetryMs);
  }
}

bool CAgentRegistry::LaunchAgent(uint32_t robot) {
  std::shared_ptr<platform::ChildProcess> started = platform::ChildProcess::Launch(agentProgram_);
  if (!started) return false;
  std::shared_ptr<AgentEntry> entry = EntryFor(robot);
  std::shared_ptr<platform::ChildProcess> replaced;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    replaced = std::exchange(entry->process, started);
    entry->processId = started->Id();
    ++entry->generation;
  }
  // A replaced agent is ended (a second agent for one robot would fight the
  // first); its handle goes here, outside the registry lock.
  replaced.reset();
  platform::SleepMilliseconds(timing_.launchWaitMs);
  return true;
}

bool CAgentRegistry::TerminateAgent(uint32_t robot) {
  std::vector<std::pair<uint32_t, std::shared_ptr<platform::ChildProcess>>> targets;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [handle, entry] : agents_) {
      if ((robot == 0 || handle == robot) && entry->process)
        targets.emplace_back(entry->processId, entry->process);
    }
  }
  for (const auto& [processId, process] : targets) {
    if (process->Terminate()) platform::RpcRemoveEndpoint(AgentEndpoint(processId).c_str());
  }
  return true;
}

uint32_t CAgentRegistry::FindRobotForDrive(int32_t drive) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& [robot, drives] : drives_) {
    for (int32_t recorded : drives) {
      if (recorded == drive) return robot;
    }
  }
  return 0;
}

void CAgentRegistry::RecordDrives(uint32_t robot, const int32_t* drives, const int32_t* count) {
  if (robot == 0 || drives == nullptr || count == nullptr) return;
  std::vector<int32_t> list(drives, drives + (*count > 0 ? *count : 0));
  std::lock_guard<std::mutex> lock(mutex_);
  drives_[robot] = std::move(list);
}

bool CAgentRegistry::AcquireAgent(uint32_t robot, AgentBinding& binding) {
  const AgentSnapshot seen = Snapshot(robot);
  if (BindTo(seen, binding)) return true;
  binding.Free();
  std::shared_ptr<AgentEntry> entry = EntryFor(robot);
  std::lock_guard<std::mutex> launching(entry->launchMutex);
  // Another thread may have launched while this one waited for the lock.
  const AgentSnapshot now = Snapshot(robot);
  if (now.generation != seen.generation) {
    if (BindTo(now, binding)) return true;
    binding.Free();
  }
  if (!LaunchAgent(robot)) return false;
  if (BindAgent(robot, binding)) return true;
  TerminateAgent(robot);
  return false;
}

uint32_t CAgentRegistry::AgentProcessId(uint32_t robot) { return Snapshot(robot).processId; }

}  // namespace qlx::proxy
