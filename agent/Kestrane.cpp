// Kestrane.exe: hosts the vendor robot library in a process of its own and
// serves the agent RPC interface on the endpoint named after its process id.
// Takes no arguments; runs until it is terminated, or until the process that
// started it ends (the descriptor named by QLX_AGENT_PARENT_FD reaches end
// of file).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "agent/AgentPaths.h"
#include "agent/AgentRpc.h"
#include "agent/AgentServer.h"
#include "logging/Logger.h"
#include "platform/child_process.h"
#include "platform/process.h"

namespace {

using namespace qlx::platform;

constexpr int32_t kDebugLevel = 4;
constexpr int32_t kApplicationId = 0;
constexpr uint32_t kMaxRequests = 10;
constexpr uint32_t kCallThreads = 120;
constexpr uint32_t kMaxCalls = 120;

// Enumerates robots and their drives once, through the handlers, so that the
// library knows the handles clients will send.
void EnumerateAtStart() {
  int32_t robots[qlx::agent::kAgentMaxCount] = {};
  int32_t robotCount = qlx::agent::kAgentMaxCount;
  RPC_PTRobot_EnumRobots(nullptr, robots, &robotCount);
  for (int32_t i = 0; i < robotCount && i < qlx::agent::kAgentMaxCount; ++i) {
    int32_t drives[qlx::agent::kAgentMaxCount] = {};
    int32_t driveCount = qlx::agent::kAgentMaxCount;
    RPC_PTRobot_EnumDrives(nullptr, robots[i], drives, &driveCount);
  }
}

// Ends listening when the starting process goes away.
void WatchStartingProcess() {
  const char* value = std::getenv(kParentDeathFdVariable);
  if (value == nullptr || *value == '\0') return;
  char* end = nullptr;
  long descriptor = std::strtol(value, &end, 10);
  if (*end == '\0' && descriptor >= 0 && descriptor < 65536)
    RpcServerStopOnEndOfFile(static_cast<int>(descriptor));
}

}  // namespace

int wmain() {
  QLOGW(QLXSdk::LOG_INFO);
  WatchStartingProcess();
  uint32_t pid = CurrentProcessId();
  std::u16string folder = qlx::agent::ModuleFolder();
  std::u16string debugFile = qlx::agent::StartupDebugFile(folder, pid);
  std::u16string traceFile = qlx::agent::StartupTraceFile(folder, pid);

  uint32_t initResult = PTRobot_Initialize();
  if (initResult != 0)
    QLOGW(QLXSdk::LOG_ERROR) << u"PTRobot_Initialize failed, ErrorNum: " << initResult;
  PTRobot_SetupDebugging(debugFile.c_str(), kDebugLevel, traceFile.c_str());
  PTRobot_SetApplicationID(kApplicationId);
  EnumerateAtStart();

  std::u16string endpoint = qlx::agent::AgentEndpoint(pid);
  RpcStatus status = RpcServerUseProtseqEndpoint(u"ncalrpc", kMaxRequests, endpoint.c_str());
  if (status != kRpcOk) {
    QLOGW(QLXSdk::LOG_ERROR) << u"RpcServerUseProtseqEp failed " << status;
    return -1;
  }
  status = RpcServerRegisterInterface(&qlx::agent::AgentServerInterface());
  if (status != kRpcOk) {
    QLOGW(QLXSdk::LOG_ERROR) << u"RpcServerRegisterIf failed " << status;
    return 0;
  }
  status = RpcServerListen(kCallThreads, kMaxCalls, true);
  if (status != kRpcOk) {
    QLOGW(QLXSdk::LOG_ERROR) << u"RpcServerListen failed " << status;
    return 0;
  }
  QLOGW(QLXSdk::LOG_INFO) << u"RpcServerListen success ";
  RpcServerWaitListen();
  QLOGW(QLXSdk::LOG_INFO) << u"RpcServerListen over ";
  return 0;
}

int main() {
  int code = wmain();
  // Calls may still run on the run time's threads; end without tearing down
  // the objects they use. Every record is already in its file.
  std::fflush(nullptr);
  std::_Exit(code);
}
