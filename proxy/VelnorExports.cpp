// The 45 exports of Velnor.dll: the vendor's names, each forwarded to the
// agent of its robot or answered here.
#include <string>

#include "agent/AgentRpc.h"
#include "agent/PTRobotApi.h"
#include "platform/library.h"
#include "proxy/AgentRegistry.h"
#include "proxy/ProxyResults.h"
#include "proxy/VelnorApi.h"

namespace qlx::proxy {
namespace {

std::string AgentProgramPath() {
  std::string self = platform::ModulePathOf(reinterpret_cast<const void*>(&AgentProgramPath));
  return self.substr(0, self.rfind('/') + 1) + "Kestrane.exe";
}

// Lives while the library is loaded; its destruction (unload or process exit)
// ends every agent it started.
CAgentRegistry g_registry(AgentProgramPath());

// Pointers a call needs: every record, array, count and buffer pointer. Only
// in texts may be null (they reach the agent as null).
template <typename T>
bool Missing(T) {
  return false;
}
inline bool Missing(const char16_t*) { return false; }
template <typename T>
bool Missing(T* pointer) {
  return pointer == nullptr;
}

template <typename... T>
void Ignore(const T&...) {}

// Runs `call` on a bound agent of `robot`; the binding is freed before the
// result is returned. No exception leaves.
template <typename Call>
uint32_t WithAgent(uint32_t robot, Call call) noexcept {
  if (robot == 0) return PROXY_NO_AGENT;
  try {
    AgentBinding binding;
    if (!g_registry.AcquireAgent(robot, binding)) return PROXY_NO_AGENT;
    return static_cast<uint32_t>(call(binding.Handle()));
  } catch (...) {
    return PROXY_CALL_FAILED;
  }
}

// Forwards to `procedure` in the agent of `robot` with `args` unchanged.
template <typename... Params, typename... Args>
uint32_t Forward(uint32_t robot, int32_t (*procedure)(platform::RpcBinding, Params...),
                 Args... args) noexcept {
  if (robot != 0 && (Missing(args) || ...)) return PROXY_CALL_FAILED;
  return WithAgent(robot,
                   [&](platform::RpcBinding binding) { return procedure(binding, args...); });
}

uint32_t RobotOf(int32_t handle) { return static_cast<uint32_t>(handle); }

// The robot whose recorded drives hold `drive`; 0 when none does.
uint32_t RobotOfDrive(int32_t drive) noexcept {
  try {
    return g_registry.FindRobotForDrive(drive);
  } catch (...) {
    return 0;
  }
}

}  // namespace
}  // namespace qlx::proxy

using namespace qlx::proxy;

#define PROXY_UNPAREN(...) __VA_ARGS__

// How each vendor name is served, selected by name from the vendor list.
#define PROXY_FORWARD(Name, Params, Args) \
  uint32_t QLX_CALL Name Params { return Forward(RobotOf(Robot), &RPC_##Name, PROXY_UNPAREN Args); }
#define PROXY_FORWARD_BY_DRIVE(Name, Params, Args)                        \
  uint32_t QLX_CALL Name Params {                                         \
    return Forward(RobotOfDrive(Robot), &RPC_##Name, PROXY_UNPAREN Args); \
  }
#define PROXY_SUCCEED(Name, Params, Args) \
  uint32_t QLX_CALL Name Params {         \
    Ignore Args;                          \
    return 0;                             \
  }
#define PROXY_REFUSE(Name, Params, Args) \
  uint32_t QLX_CALL Name Params {        \
    Ignore Args;                         \
    return PROXY_NOT_SUPPORTED;          \
  }
#define PROXY_BY_HAND(Name, Params, Args)

#define PROXY_KIND_PTRobot_Initialize PROXY_SUCCEED
#define PROXY_KIND_PTRobot_Destroy PROXY_SUCCEED
#define PROXY_KIND_PTRobot_SetupDebugging PROXY_SUCCEED
#define PROXY_KIND_PTRobot_EnumRobots PROXY_SUCCEED
#define PROXY_KIND_PTRobot_EnumDrives PROXY_BY_HAND
#define PROXY_KIND_PTRobot_EnumDrivesWithList PROXY_REFUSE
#define PROXY_KIND_PTRobot_SetRoboticDrive PROXY_FORWARD
#define PROXY_KIND_PTRobot_SetOpenCloseFunction PROXY_REFUSE
#define PROXY_KIND_PTRobot_SetRobotOptions PROXY_FORWARD
#define PROXY_KIND_PTRobot_GetRobotOptions PROXY_FORWARD
#define PROXY_KIND_PTRobot_GetDriveInfo PROXY_FORWARD_BY_DRIVE
#define PROXY_KIND_PTRobot_GetDriveInfo2 PROXY_FORWARD_BY_DRIVE
#define PROXY_KIND_PTRobot_GetRobotInfo PROXY_FORWARD
#define PROXY_KIND_PTRobot_GetRobotInfo2 PROXY_FORWARD
#define PROXY_KIND_PTRobot_GetRobotStatus PROXY_FORWARD
#define PROXY_KIND_PTRobot_GetRobotStatus2 PROXY_FORWARD
#define PROXY_KIND_PTRobot_GetManufactureInfo PROXY_FORWARD
#define PROXY_KIND_PTRobot_LoadDrive PROXY_FORWARD
#define PROXY_KIND_PTRobot_LoadPrinter PROXY_FORWARD
#define PROXY_KIND_PTRobot_LoadPrinterFromDrive PROXY_FORWARD
#define PROXY_KIND_PTRobot_UnLoadDrive PROXY_FORWARD
#define PROXY_KIND_PTRobot_UnLoadPrinter PROXY_FORWARD
#define PROXY_KIND_PTRobot_MoveDiscBetweenLocations PROXY_FORWARD
#define PROXY_KIND_PTRobot_SetPrintCopies PROXY_FORWARD
#define PROXY_KIND_PTRobot_PrintFile PROXY_FORWARD
#define PROXY_KIND_PTRobot_PrintFileWithMerge PROXY_REFUSE
#define PROXY_KIND_PTRobot_PrintFileWithMerge2 PROXY_FORWARD
#define PROXY_KIND_PTRobot_PrintFileWithMergeFile PROXY_FORWARD
#define PROXY_KIND_PTRobot_AddMergeFields PROXY_FORWARD
#define PROXY_KIND_PTRobot_ClearMergeList PROXY_FORWARD
#define PROXY_KIND_PTRobot_GetSureThingPreview PROXY_SUCCEED
#define PROXY_KIND_PTRobot_SetPrinterSettings PROXY_FORWARD
#define PROXY_KIND_PTRobot_GetPrinterSettings PROXY_FORWARD
#define PROXY_KIND_PTRobot_SetPrinterSettings2 PROXY_FORWARD
#define PROXY_KIND_PTRobot_GetPrinterSettings2 PROXY_FORWARD
#define PROXY_KIND_PTRobot_KillSystemError PROXY_FORWARD
#define PROXY_KIND_PTRobot_SystemAction PROXY_FORWARD
#define PROXY_KIND_PTRobot_OpenCloseDrive PROXY_FORWARD_BY_DRIVE
#define PROXY_KIND_PTRobot_GetErrorString PROXY_FORWARD
#define PROXY_KIND_PTRobot_GetMediaInfo PROXY_FORWARD
#define PROXY_KIND_PTRobot_SetApplicationID PROXY_SUCCEED
#define PROXY_KIND_PTRobot_SetRoboticDriveWithoutEnum PROXY_FORWARD
#define PROXY_KIND_PTRobot_GetDriveSerialFromFlash PROXY_FORWARD

#define PROXY_DEFINE(Name, Params, Args) PROXY_KIND_##Name(Name, Params, Args)
PTROBOT_FUNCTIONS(PROXY_DEFINE)

// On success the returned drives become the robot's list; a failed
// enumeration keeps the previous one.
uint32_t QLX_CALL PTRobot_EnumDrives(int32_t Robot, int32_t* hDrives, int32_t* NumDrives) {
  const uint32_t robot = RobotOf(Robot);
  if (robot != 0 && (hDrives == nullptr || NumDrives == nullptr)) return PROXY_CALL_FAILED;
  return WithAgent(robot, [&](qlx::platform::RpcBinding binding) {
    int32_t result = RPC_PTRobot_EnumDrives(binding, Robot, hDrives, NumDrives);
    if (result == 0) g_registry.RecordDrives(robot, hDrives, NumDrives);
    return result;
  });
}

uint32_t QLX_CALL PTRobot_InitializeEx(int32_t Robot) {
  return Forward(RobotOf(Robot), &RPC_PTRobot_Initialize);
}

uint32_t QLX_CALL PTRobot_DestroyEx(int32_t Robot) {
  const uint32_t robot = RobotOf(Robot);
  const uint32_t result = Forward(robot, &RPC_PTRobot_Destroy);
  if (robot == 0) return result;
  try {
    g_registry.TerminateAgent(robot);
  } catch (...) {
    return PROXY_CALL_FAILED;
  }
  return result;
}
