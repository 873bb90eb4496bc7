// The 43 vendor functions of the robot simulator. Each journals its call,
// applies the injected faults, then acts on the process's simulated robots.
#include <algorithm>

#include "agent/PTRobotApi.h"
#include "sim/robot/SimCall.h"
#include "sim/robot/SimRobot.h"
#include "sim/robot/SimState.h"

namespace {

using qlx::sim::World;

// Runs `act` after the call's journal line and faults; nothing escapes.
template <typename Act, typename... Args>
uint32_t Call(const char* function, Act act, Args... args) {
  try {
    if (const uint32_t injected = qlx::sim::EnterCall(function, args...)) return injected;
    return act();
  } catch (...) {
    return qlx::sim::kErrInternal;
  }
}

uint32_t WriteErrorString(int32_t errorNum, char16_t* text, int32_t maxLength) {
  if (text == nullptr || maxLength <= 0) return qlx::sim::kErrInvalidArgument;
  const std::u16string message = qlx::sim::ErrorText(static_cast<uint32_t>(errorNum));
  const size_t length = std::min(message.size(), static_cast<size_t>(maxLength) - 1);
  std::copy_n(message.data(), length, text);
  text[length] = u'\0';
  return 0;
}

uint32_t SureThingPreview(const char16_t* file, const char16_t* output, int32_t resolution) {
  if (file == nullptr || output == nullptr || resolution <= 0) {
    return qlx::sim::kErrInvalidArgument;
  }
  return *file == u'\0' ? qlx::sim::kErrFileNotFound : 0;
}

}  // namespace

extern "C" {

uint32_t QLX_CALL PTRobot_Initialize() {
  return Call("PTRobot_Initialize", [] { return World().Initialize(); });
}

uint32_t QLX_CALL PTRobot_Destroy() {
  return Call("PTRobot_Destroy", [] { return World().Destroy(); });
}

uint32_t QLX_CALL PTRobot_SetupDebugging(const char16_t* DbgFile, int32_t DbgLvl,
                                         const char16_t* TraceFile) {
  return Call(
      "PTRobot_SetupDebugging", [&] { return World().SetupDebugging(DbgFile, DbgLvl, TraceFile); },
      DbgFile, DbgLvl, TraceFile);
}

uint32_t QLX_CALL PTRobot_EnumRobots(int32_t* hRobots, int32_t* NumRobots) {
  return Call(
      "PTRobot_EnumRobots", [&] { return World().EnumRobots(hRobots, NumRobots); }, hRobots,
      NumRobots);
}

uint32_t QLX_CALL PTRobot_EnumDrives(int32_t Robot, int32_t* hDrives, int32_t* NumDrives) {
  return Call(
      "PTRobot_EnumDrives", [&] { return World().EnumDrives(Robot, hDrives, NumDrives); }, Robot,
      hDrives, NumDrives);
}

uint32_t QLX_CALL PTRobot_EnumDrivesWithList(int32_t Robot, int32_t* hDrives, int32_t* NumDrives,
                                             char16_t* DriveList, int32_t ListLength) {
  return Call(
      "PTRobot_EnumDrivesWithList",
      [&] { return World().EnumDrivesWithList(Robot, hDrives, NumDrives, DriveList, ListLength); },
      Robot, hDrives, NumDrives, DriveList, ListLength);
}

uint32_t QLX_CALL PTRobot_SetRoboticDrive(int32_t Robot, int32_t Drive, int32_t ColIndex,
                                          int32_t RowIndex) {
  return Call(
      "PTRobot_SetRoboticDrive",
      [&] { return World().SetRoboticDrive(Robot, Drive, ColIndex, RowIndex); }, Robot, Drive,
      ColIndex, RowIndex);
}

uint32_t QLX_CALL PTRobot_SetOpenCloseFunction(PTOpenCloseFunction OpenCloseFunction) {
  return Call(
      "PTRobot_SetOpenCloseFunction",
      [&] { return World().SetOpenCloseFunction(OpenCloseFunction); }, OpenCloseFunction);
}

uint32_t QLX_CALL PTRobot_SetRobotOptions(int32_t Robot, int32_t RobotOptions) {
  return Call(
      "PTRobot_SetRobotOptions", [&] { return World().SetRobotOptions(Robot, RobotOptions); },
      Robot, RobotOptions);
}

uint32_t QLX_CALL PTRobot_GetRobotOptions(int32_t Robot, int32_t* RobotOptions) {
  return Call(
      "PTRobot_GetRobotOptions", [&] { return World().GetRobotOptions(Robot, RobotOptions); },
      Robot, RobotOptions);
}

uint32_t QLX_CALL PTRobot_GetDriveInfo(int32_t Robot, DrvInfo* pDrvInfo) {
  return Call(
      "PTRobot_GetDriveInfo", [&] { return World().GetDriveInfo(Robot, pDrvInfo); }, Robot,
      pDrvInfo);
}

uint32_t QLX_CALL PTRobot_GetDriveInfo2(int32_t Robot, DrvInfo2* pDrvInfo2) {
  return Call(
      "PTRobot_GetDriveInfo2", [&] { return World().GetDriveInfo2(Robot, pDrvInfo2); }, Robot,
      pDrvInfo2);
}

uint32_t QLX_CALL PTRobot_GetRobotInfo(int32_t Robot, RobotInfo* pRobotInfo) {
  return Call(
      "PTRobot_GetRobotInfo", [&] { return World().GetRobotInfo(Robot, pRobotInfo); }, Robot,
      pRobotInfo);
}

uint32_t QLX_CALL PTRobot_GetRobotInfo2(int32_t Robot, RobotInfo2* pRobotInfo2) {
  return Call(
      "PTRobot_GetRobotInfo2", [&] { return World().GetRobotInfo2(Robot, pRobotInfo2); }, Robot,
      pRobotInfo2);
}

uint32_t QLX_CALL PTRobot_GetRobotStatus(int32_t Robot, RobotStatus* pRobotStatus) {
  return Call(
      "PTRobot_GetRobotStatus", [&] { return World().GetRobotStatus(Robot, pRobotStatus); }, Robot,
      pRobotStatus);
}

uint32_t QLX_CALL PTRobot_GetRobotStatus2(int32_t Robot, RobotStatus2* pRobotStatus2) {
  return Call(
      "PTRobot_GetRobotStatus2", [&] { return World().GetRobotStatus2(Robot, pRobotStatus2); },
      Robot, pRobotStatus2);
}

uint32_t QLX_CALL PTRobot_GetManufactureInfo(int32_t Robot, ManufactureInfo* pManufactureInfo) {
  return Call(
      "PTRobot_GetManufactureInfo",
      [&] { return World().GetManufactureInfo(Robot, pManufactureInfo); }, Robot, pManufactureInfo);
}

uint32_t QLX_CALL PTRobot_LoadDrive(int32_t Robot, int32_t Drive, int32_t FromLocation,
                                    int32_t ClearDrive) {
  return Call(
      "PTRobot_LoadDrive",
      [&] { return World().LoadDrive(Robot, Drive, FromLocation, ClearDrive); }, Robot, Drive,
      FromLocation, ClearDrive);
}

uint32_t QLX_CALL PTRobot_LoadPrinter(int32_t Robot, int32_t FromLocation) {
  return Call(
      "PTRobot_LoadPrinter", [&] { return World().LoadPrinter(Robot, FromLocation); }, Robot,
      FromLocation);
}

uint32_t QLX_CALL PTRobot_LoadPrinterFromDrive(int32_t Robot, int32_t Drive) {
  return Call(
      "PTRobot_LoadPrinterFromDrive", [&] { return World().LoadPrinterFromDrive(Robot, Drive); },
      Robot, Drive);
}

uint32_t QLX_CALL PTRobot_UnLoadDrive(int32_t Robot, int32_t Drive, int32_t ToLocation) {
  return Call(
      "PTRobot_UnLoadDrive", [&] { return World().UnLoadDrive(Robot, Drive, ToLocation); }, Robot,
      Drive, ToLocation);
}

uint32_t QLX_CALL PTRobot_UnLoadPrinter(int32_t Robot, int32_t ToLocation) {
  return Call(
      "PTRobot_UnLoadPrinter", [&] { return World().UnLoadPrinter(Robot, ToLocation); }, Robot,
      ToLocation);
}

uint32_t QLX_CALL PTRobot_MoveDiscBetweenLocations(int32_t Robot, int32_t FromLocation,
                                                   int32_t ToLocation) {
  return Call(
      "PTRobot_MoveDiscBetweenLocations",
      [&] { return World().MoveDiscBetweenLocations(Robot, FromLocation, ToLocation); }, Robot,
      FromLocation, ToLocation);
}

uint32_t QLX_CALL PTRobot_SetPrintCopies(int32_t Robot, int32_t Copies) {
  return Call(
      "PTRobot_SetPrintCopies", [&] { return World().SetPrintCopies(Robot, Copies); }, Robot,
      Copies);
}

uint32_t QLX_CALL PTRobot_PrintFile(int32_t Robot, const char16_t* File, int32_t PrintIndex) {
  return Call(
      "PTRobot_PrintFile", [&] { return World().Print(Robot, File, false, nullptr, false); }, Robot,
      File, PrintIndex);
}

uint32_t QLX_CALL PTRobot_PrintFileWithMerge(int32_t Robot, const char16_t* File) {
  return Call(
      "PTRobot_PrintFileWithMerge",
      [&] { return World().Print(Robot, File, false, nullptr, true); }, Robot, File);
}

uint32_t QLX_CALL PTRobot_PrintFileWithMerge2(int32_t Robot, const char16_t* File,
                                              int32_t ClearMergeList) {
  return Call(
      "PTRobot_PrintFileWithMerge2",
      [&] { return World().Print(Robot, File, false, nullptr, ClearMergeList != 0); }, Robot, File,
      ClearMergeList);
}

uint32_t QLX_CALL PTRobot_PrintFileWithMergeFile(int32_t Robot, const char16_t* File,
                                                 const char16_t* MergeFile) {
  return Call(
      "PTRobot_PrintFileWithMergeFile",
      [&] { return World().Print(Robot, File, true, MergeFile, false); }, Robot, File, MergeFile);
}

uint32_t QLX_CALL PTRobot_AddMergeFields(int32_t Robot, const char16_t* Field) {
  return Call(
      "PTRobot_AddMergeFields", [&] { return World().AddMergeFields(Robot, Field); }, Robot, Field);
}

uint32_t QLX_CALL PTRobot_ClearMergeList(int32_t Robot) {
  return Call(
      "PTRobot_ClearMergeList", [&] { return World().ClearMergeList(Robot); }, Robot);
}

uint32_t QLX_CALL PTRobot_GetSureThingPreview(const char16_t* SureThingFile,
                                              const char16_t* OutputFile, int32_t Resolution) {
  return Call(
      "PTRobot_GetSureThingPreview",
      [&] { return SureThingPreview(SureThingFile, OutputFile, Resolution); }, SureThingFile,
      OutputFile, Resolution);
}

uint32_t QLX_CALL PTRobot_SetPrinterSettings(int32_t Robot,
                                             const PrinterSettings* pPrinterSettings) {
  return Call(
      "PTRobot_SetPrinterSettings",
      [&] { return World().SetPrinterSettings(Robot, pPrinterSettings); }, Robot, pPrinterSettings);
}

uint32_t QLX_CALL PTRobot_GetPrinterSettings(int32_t Robot, PrinterSettings* pPrinterSettings) {
  return Call(
      "PTRobot_GetPrinterSettings",
      [&] { return World().GetPrinterSettings(Robot, pPrinterSettings); }, Robot, pPrinterSettings);
}

uint32_t QLX_CALL PTRobot_SetPrinterSettings2(int32_t Robot,
                                              const PrinterSettings2* pPrinterSettings2) {
  return Call(
      "PTRobot_SetPrinterSettings2",
      [&] { return World().SetPrinterSettings2(Robot, pPrinterSettings2); }, Robot,
      pPrinterSettings2);
}

uint32_t QLX_CALL PTRobot_GetPrinterSettings2(int32_t Robot, PrinterSettings2* pPrinterSettings2) {
  return Call(
      "PTRobot_GetPrinterSettings2",
      [&] { return World().GetPrinterSettings2(Robot, pPrinterSettings2); }, Robot,
      pPrinterSettings2);
}

uint32_t QLX_CALL PTRobot_KillSystemError(int32_t Robot, int32_t ResetPrinter) {
  return Call(
      "PTRobot_KillSystemError", [&] { return World().KillSystemError(Robot, ResetPrinter); },
      Robot, ResetPrinter);
}

uint32_t QLX_CALL PTRobot_SystemAction(int32_t Robot, int32_t Action) {
  return Call(
      "PTRobot_SystemAction", [&] { return World().SystemAction(Robot, Action); }, Robot, Action);
}

uint32_t QLX_CALL PTRobot_OpenCloseDrive(int32_t Robot, int32_t Open) {
  return Call(
      "PTRobot_OpenCloseDrive", [&] { return World().OpenCloseDrive(Robot, Open); }, Robot, Open);
}

uint32_t QLX_CALL PTRobot_GetErrorString(int32_t Robot, int32_t ErrorNum, char16_t* ErrorString,
                                         int32_t MaxLength, int32_t Language) {
  return Call(
      "PTRobot_GetErrorString", [&] { return WriteErrorString(ErrorNum, ErrorString, MaxLength); },
      Robot, ErrorNum, ErrorString, MaxLength, Language);
}

uint32_t QLX_CALL PTRobot_GetMediaInfo(int32_t Robot, DiscInfo* pDiscInfo) {
  return Call(
      "PTRobot_GetMediaInfo", [&] { return World().GetMediaInfo(Robot, pDiscInfo); }, Robot,
      pDiscInfo);
}

uint32_t QLX_CALL PTRobot_SetApplicationID(int32_t AppID) {
  return Call(
      "PTRobot_SetApplicationID", [&] { return World().SetApplicationID(AppID); }, AppID);
}

uint32_t QLX_CALL PTRobot_SetRoboticDriveWithoutEnum(int32_t Robot, int32_t Drive,
                                                     const char16_t* Serial, int32_t ColIndex,
                                                     int32_t RowIndex, int32_t Flag) {
  return Call(
      "PTRobot_SetRoboticDriveWithoutEnum",
      [&] { return World().SetRoboticDriveWithoutEnum(Robot, Drive, Serial, ColIndex, RowIndex); },
      Robot, Drive, Serial, ColIndex, RowIndex, Flag);
}

uint32_t QLX_CALL PTRobot_GetDriveSerialFromFlash(int32_t Robot, int32_t ColIndex, int32_t RowIndex,
                                                  char16_t* Serial) {
  return Call(
      "PTRobot_GetDriveSerialFromFlash",
      [&] { return World().GetDriveSerialFromFlash(Robot, ColIndex, RowIndex, Serial); }, Robot,
      ColIndex, RowIndex, Serial);
}

}  // extern "C"
