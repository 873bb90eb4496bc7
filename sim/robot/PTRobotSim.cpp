// The 43 vendor functions of the robot simulator. Each journals its call,
// applies the injected faults, then acts on the process's simulated robots.
#include <algorithm>
#include <tuple>

#include "agent/PTRobotApi.h"
#include "sim/robot/SimCall.h"
#include "sim/robot/SimRobot.h"
#include "sim/robot/SimState.h"

namespace {

using qlx::sim::World;

// Runs `act` after the call's journal line of `args` and its faults; nothing escapes.
template <typename Act, typename... Args>
uint32_t Call(const char* function, Act act, const std::tuple<Args...>& args) {
  try {
    const auto enter = [function](Args... values) {
      return qlx::sim::EnterCall(function, values...);
    };
    if (const uint32_t injected = std::apply(enter, args)) return injected;
    return act();
  } catch (...) {
    return qlx::sim::kErrInternal;
  }
}

// What each vendor function does once journaled, under the vendor's name.
namespace act {

// Most act on the simulated robots under their own name without the prefix.
#define SIM_FORWARD(Method)                 \
  template <typename... Args>               \
  uint32_t PTRobot_##Method(Args... args) { \
    return World().Method(args...);         \
  }
SIM_FORWARD(Initialize)
SIM_FORWARD(Destroy)
SIM_FORWARD(SetupDebugging)
SIM_FORWARD(EnumRobots)
SIM_FORWARD(EnumDrives)
SIM_FORWARD(EnumDrivesWithList)
SIM_FORWARD(SetRoboticDrive)
SIM_FORWARD(SetOpenCloseFunction)
SIM_FORWARD(SetRobotOptions)
SIM_FORWARD(GetRobotOptions)
SIM_FORWARD(GetDriveInfo)
SIM_FORWARD(GetDriveInfo2)
SIM_FORWARD(GetRobotInfo)
SIM_FORWARD(GetRobotInfo2)
SIM_FORWARD(GetRobotStatus)
SIM_FORWARD(GetRobotStatus2)
SIM_FORWARD(GetManufactureInfo)
SIM_FORWARD(LoadDrive)
SIM_FORWARD(LoadPrinter)
SIM_FORWARD(LoadPrinterFromDrive)
SIM_FORWARD(UnLoadDrive)
SIM_FORWARD(UnLoadPrinter)
SIM_FORWARD(MoveDiscBetweenLocations)
SIM_FORWARD(SetPrintCopies)
SIM_FORWARD(AddMergeFields)
SIM_FORWARD(ClearMergeList)
SIM_FORWARD(SetPrinterSettings)
SIM_FORWARD(GetPrinterSettings)
SIM_FORWARD(SetPrinterSettings2)
SIM_FORWARD(GetPrinterSettings2)
SIM_FORWARD(KillSystemError)
SIM_FORWARD(SystemAction)
SIM_FORWARD(OpenCloseDrive)
SIM_FORWARD(GetMediaInfo)
SIM_FORWARD(SetApplicationID)
SIM_FORWARD(GetDriveSerialFromFlash)
#undef SIM_FORWARD

uint32_t PTRobot_PrintFile(int32_t robot, const char16_t* file, int32_t /*printIndex*/) {
  return World().Print(robot, file, false, nullptr, false);
}

uint32_t PTRobot_PrintFileWithMerge(int32_t robot, const char16_t* file) {
  return World().Print(robot, file, false, nullptr, true);
}

uint32_t PTRobot_PrintFileWithMerge2(int32_t robot, const char16_t* file, int32_t clearMergeList) {
  return World().Print(robot, file, false, nullptr, clearMergeList != 0);
}

uint32_t PTRobot_PrintFileWithMergeFile(int32_t robot, const char16_t* file,
                                        const char16_t* mergeFile) {
  return World().Print(robot, file, true, mergeFile, false);
}

uint32_t PTRobot_SetRoboticDriveWithoutEnum(int32_t robot, int32_t drive, const char16_t* serial,
                                            int32_t column, int32_t row, int32_t /*flag*/) {
  return World().SetRoboticDriveWithoutEnum(robot, drive, serial, column, row);
}

// The texts and previews need no robot, not even an initialised library.
uint32_t PTRobot_GetErrorString(int32_t /*robot*/, int32_t errorNum, char16_t* text,
                                int32_t maxLength, int32_t /*language*/) {
  if (text == nullptr || maxLength <= 0) return qlx::sim::kErrInvalidArgument;
  const std::u16string message = qlx::sim::ErrorText(static_cast<uint32_t>(errorNum));
  const size_t length = std::min(message.size(), static_cast<size_t>(maxLength) - 1);
  std::copy_n(message.data(), length, text);
  text[length] = u'\0';
  return 0;
}

uint32_t PTRobot_GetSureThingPreview(const char16_t* file, const char16_t* output,
                                     int32_t resolution) {
  if (file == nullptr || output == nullptr || resolution <= 0) {
    return qlx::sim::kErrInvalidArgument;
  }
  return *file == u'\0' ? qlx::sim::kErrFileNotFound : 0;
}

}  // namespace act
}  // namespace

// Every vendor function, with the parameters of the vendor's list.
#define SIM_DEFINE(Name, Params, Args)                                \
  uint32_t QLX_CALL Name Params {                                     \
    return Call(                                                      \
        #Name, [&] { return act::Name Args; }, std::make_tuple Args); \
  }
extern "C" {
PTROBOT_FUNCTIONS(SIM_DEFINE)
}
#undef SIM_DEFINE
