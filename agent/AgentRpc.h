#pragma once
// The agent RPC interface: the one definition of the 41 procedures between
// the proxy (client) and Kestrane.exe (server). The client stubs
// (qlx_agent_client) and the server dispatch (qlx_agent_server) are both
// generated from AGENT_RPC_PROCEDURES; nothing about a procedure is written
// anywhere else.
//
// Every function below takes the binding first. In the proxy it is the client
// stub: it marshals, calls the agent and unmarshals, and throws
// qlx::platform::RpcException on a run-time failure (no listener, agent ended
// during the call, a fault such as a count outside 0..10). In Kestrane.exe the
// same name is the handler that the dispatch calls (binding ignored).
//
// The proxy's sequence for every forwarded call ("probe, then call"):
//   RpcComposeStringBinding(u"ncalrpc", u"PTRobotRpc<pid>", &text);
//   RpcBindingFromString(text, &binding);
//   RPC_Probe(binding) until it does not throw (its result is always 0);
//   result = RPC_PTRobot_<Function>(binding, ...);
//   RpcFreeBinding(&binding); RpcFreeString(&text);
#include <cstdint>

#include "agent/PTRobotApi.h"
#include "platform/rpc.h"

namespace qlx::agent {

// Interface identity: 9197a5f5-133e-4c72-a020-ff8f1be93ca3, version 2.0.
constexpr qlx::platform::RpcInterfaceId kAgentInterfaceId = {
    {0xf5, 0xa5, 0x97, 0x91, 0x3e, 0x13, 0x72, 0x4c, 0xa0, 0x20, 0xff, 0x8f, 0x1b, 0xe9, 0x3c,
     0xa3},
    2,
    0};

constexpr uint32_t kAgentProcedureCount = 41;

// Range of the robot and drive counts, checked in both directions.
constexpr int32_t kAgentMaxCount = 10;
// Capacity of the serial of procedure 40, in code units.
constexpr int32_t kAgentSerialCapacity = 100;
// Largest out-text capacity a caller may ask for, in code units.
constexpr int32_t kAgentMaxOutText = 32768;

// Parameter kinds. `Type` is the C++ parameter type of the stubs and handlers.
struct InInt {  // [in] int32 by value
  using Type = int32_t;
};
struct InText {  // [in, unique, string] UTF-16; null travels as null
  using Type = const char16_t*;
};
template <int SizeParam>
struct OutTextSizedBy {  // [out, string] buffer of as many units as parameter SizeParam
  using Type = char16_t*;
};
template <int Capacity>
struct OutTextFixed {  // [out, string] buffer of a constant capacity
  using Type = char16_t*;
};
template <typename Record>
struct InRecord {  // [in] fixed record
  using Type = const Record*;
};
template <typename Record>
struct OutRecord {  // [out] fixed record
  using Type = Record*;
};
struct OutInt {  // [out] int32
  using Type = int32_t*;
};
template <int CountParam>
struct OutCountedArray {  // [out] int32 array of as many elements as parameter CountParam
  using Type = int32_t*;
};
struct InOutCount {  // [in, out] int32 count, range 0..kAgentMaxCount
  using Type = int32_t*;
};

}  // namespace qlx::agent

// X(number, name, parameters): parameters are a sequence of (kind, name)
// pairs, 0-based parameter indices not counting the binding.
#define AGENT_RPC_PROCEDURES(X)                                                                    \
  X(0, RPC_Probe, )                                                                                \
  X(1, RPC_PTRobot_Initialize, )                                                                   \
  X(2, RPC_PTRobot_Destroy, )                                                                      \
  X(3, RPC_PTRobot_SetupDebugging, (InText, DbgFile)(InInt, DbgLvl)(InText, TraceFile))            \
  X(4, RPC_PTRobot_EnumRobots, (OutCountedArray<1>, hRobots)(InOutCount, NumRobots))               \
  X(5, RPC_PTRobot_EnumDrives, (InInt, Robot)(OutCountedArray<2>, hDrives)(InOutCount, NumDrives)) \
  X(6, RPC_PTRobot_SetRoboticDrive,                                                                \
    (InInt, Robot)(InInt, Drive)(InInt, ColIndex)(InInt, RowIndex))                                \
  X(7, RPC_PTRobot_SetRobotOptions, (InInt, Robot)(InInt, RobotOptions))                           \
  X(8, RPC_PTRobot_GetRobotOptions, (InInt, Robot)(OutInt, RobotOptions))                          \
  X(9, RPC_PTRobot_GetDriveInfo, (InInt, Robot)(OutRecord<DrvInfo>, pDrvInfo))                     \
  X(10, RPC_PTRobot_GetDriveInfo2, (InInt, Robot)(OutRecord<DrvInfo2>, pDrvInfo2))                 \
  X(11, RPC_PTRobot_GetRobotInfo, (InInt, Robot)(OutRecord<RobotInfo>, pRobotInfo))                \
  X(12, RPC_PTRobot_GetRobotInfo2, (InInt, Robot)(OutRecord<RobotInfo2>, pRobotInfo2))             \
  X(13, RPC_PTRobot_GetRobotStatus, (InInt, Robot)(OutRecord<RobotStatus>, pRobotStatus))          \
  X(14, RPC_PTRobot_GetRobotStatus2, (InInt, Robot)(OutRecord<RobotStatus2>, pRobotStatus2))       \
  X(15, RPC_PTRobot_GetManufactureInfo,                                                            \
    (InInt, Robot)(OutRecord<ManufactureInfo>, pManufactureInfo))                                  \
  X(16, RPC_PTRobot_LoadDrive,                                                                     \
    (InInt, Robot)(InInt, Drive)(InInt, FromLocation)(InInt, ClearDrive))                          \
  X(17, RPC_PTRobot_LoadPrinter, (InInt, Robot)(InInt, FromLocation))                              \
  X(18, RPC_PTRobot_LoadPrinterFromDrive, (InInt, Robot)(InInt, Drive))                            \
  X(19, RPC_PTRobot_UnLoadDrive, (InInt, Robot)(InInt, Drive)(InInt, ToLocation))                  \
  X(20, RPC_PTRobot_UnLoadPrinter, (InInt, Robot)(InInt, ToLocation))                              \
  X(21, RPC_PTRobot_MoveDiscBetweenLocations,                                                      \
    (InInt, Robot)(InInt, FromLocation)(InInt, ToLocation))                                        \
  X(22, RPC_PTRobot_SetPrintCopies, (InInt, Robot)(InInt, Copies))                                 \
  X(23, RPC_PTRobot_PrintFile, (InInt, Robot)(InText, File)(InInt, PrintIndex))                    \
  X(24, RPC_PTRobot_PrintFileWithMerge2, (InInt, Robot)(InText, File)(InInt, ClearMergeList))      \
  X(25, RPC_PTRobot_PrintFileWithMergeFile, (InInt, Robot)(InText, File)(InText, MergeFile))       \
  X(26, RPC_PTRobot_AddMergeFields, (InInt, Robot)(InText, Field))                                 \
  X(27, RPC_PTRobot_ClearMergeList, (InInt, Robot))                                                \
  X(28, RPC_PTRobot_GetSureThingPreview,                                                           \
    (InText, SureThingFile)(InText, OutputFile)(InInt, Resolution))                                \
  X(29, RPC_PTRobot_SetPrinterSettings,                                                            \
    (InInt, Robot)(InRecord<PrinterSettings>, pPrinterSettings))                                   \
  X(30, RPC_PTRobot_GetPrinterSettings,                                                            \
    (InInt, Robot)(OutRecord<PrinterSettings>, pPrinterSettings))                                  \
  X(31, RPC_PTRobot_SetPrinterSettings2,                                                           \
    (InInt, Robot)(InRecord<PrinterSettings2>, pPrinterSettings2))                                 \
  X(32, RPC_PTRobot_GetPrinterSettings2,                                                           \
    (InInt, Robot)(OutRecord<PrinterSettings2>, pPrinterSettings2))                                \
  X(33, RPC_PTRobot_KillSystemError, (InInt, Robot)(InInt, ResetPrinter))                          \
  X(34, RPC_PTRobot_SystemAction, (InInt, Robot)(InInt, Action))                                   \
  X(35, RPC_PTRobot_OpenCloseDrive, (InInt, Robot)(InInt, Open))                                   \
  X(36, RPC_PTRobot_GetErrorString,                                                                \
    (InInt, Robot)(InInt, ErrorNum)(OutTextSizedBy<3>, ErrorString)(InInt, MaxLength)(InInt,       \
                                                                                      Language))   \
  X(37, RPC_PTRobot_GetMediaInfo, (InInt, Robot)(OutRecord<DiscInfo>, pDiscInfo))                  \
  X(38, RPC_PTRobot_SetApplicationID, (InInt, AppID))                                              \
  X(39, RPC_PTRobot_SetRoboticDriveWithoutEnum,                                                    \
    (InInt, Robot)(InInt, Drive)(InText, Serial)(InInt, ColIndex)(InInt, RowIndex)(InInt, Flag))   \
  X(40, RPC_PTRobot_GetDriveSerialFromFlash,                                                       \
    (InInt, Robot)(InInt, ColIndex)(InInt, RowIndex)(                                              \
        OutTextFixed<qlx::agent::kAgentSerialCapacity>, Serial))

// Sequence helpers: apply M to each (kind, name) pair of a parameter sequence.
// Every expansion begins with a comma, so it follows the binding parameter.
#define AGENT_RPC_SEQ_END(...) AGENT_RPC_SEQ_END_(__VA_ARGS__)
#define AGENT_RPC_SEQ_END_(...) __VA_ARGS__##_END
#define AGENT_RPC_DECL_A(kind, name) , qlx::agent::kind::Type name AGENT_RPC_DECL_B
#define AGENT_RPC_DECL_B(kind, name) , qlx::agent::kind::Type name AGENT_RPC_DECL_A
#define AGENT_RPC_DECL_A_END
#define AGENT_RPC_DECL_B_END
#define AGENT_RPC_NAME_A(kind, name) , name AGENT_RPC_NAME_B
#define AGENT_RPC_NAME_B(kind, name) , name AGENT_RPC_NAME_A
#define AGENT_RPC_NAME_A_END
#define AGENT_RPC_NAME_B_END
#define AGENT_RPC_KIND_A(kind, name) , qlx::agent::kind AGENT_RPC_KIND_B
#define AGENT_RPC_KIND_B(kind, name) , qlx::agent::kind AGENT_RPC_KIND_A
#define AGENT_RPC_KIND_A_END
#define AGENT_RPC_KIND_B_END
// ", Type1 name1, Type2 name2 ..."
#define AGENT_RPC_PARAMETERS(seq) AGENT_RPC_SEQ_END(AGENT_RPC_DECL_A seq)
// ", name1, name2 ..."
#define AGENT_RPC_ARGUMENTS(seq) AGENT_RPC_SEQ_END(AGENT_RPC_NAME_A seq)
// ", Kind1, Kind2 ..."
#define AGENT_RPC_KINDS(seq) AGENT_RPC_SEQ_END(AGENT_RPC_KIND_A seq)

// The 41 functions: client stubs in the proxy, handlers in the agent.
#define AGENT_RPC_DECLARE(Number, Name, Params) \
  int32_t Name(qlx::platform::RpcBinding hBinding AGENT_RPC_PARAMETERS(Params));
AGENT_RPC_PROCEDURES(AGENT_RPC_DECLARE)
#undef AGENT_RPC_DECLARE
