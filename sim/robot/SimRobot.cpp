// The 43 exported vendor functions of the robot simulator.
#include "sim/robot/SimRobot.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "agent/PTRobotApi.h"
#include "sim/robot/SimJournal.h"
#include "sim/robot/SimState.h"

using namespace qlx::sim;

namespace {

using Guard = std::lock_guard<std::mutex>;

int enumRobotsCalls = 0;  // guarded by the world's lock
PTOpenCloseFunction openCloseFunction = nullptr;

// Copies `text` into a fixed field, cut to fit and zero-terminated.
template <size_t N>
void CopyText(char16_t (&field)[N], const std::u16string& text) {
  const size_t length = std::min(text.size(), N - 1);
  std::copy_n(text.data(), length, field);
  field[length] = 0;
}

uint32_t Remember(SimRobotUnit& robot, uint32_t result) {
  if (result != 0) robot.lastError = result;
  return result;
}

// Runs `action(robot)` on a known robot, or gives kErrInvalidRobot.
template <typename Action>
uint32_t WithRobot(int32_t handle, Action action) {
  Guard guard(World().Lock());
  SimRobotUnit* robot = World().FindRobot(handle);
  if (robot == nullptr) return kErrInvalidRobot;
  return Remember(*robot, action(*robot));
}

// Runs `action(robot, drive)` on a known drive of a known robot.
template <typename Action>
uint32_t WithDrive(int32_t robotHandle, int32_t driveHandle, Action action) {
  return WithRobot(robotHandle, [&](SimRobotUnit& robot) -> uint32_t {
    SimDrive* drive = World().FindDrive(robot, driveHandle);
    if (drive == nullptr) return kErrInvalidDrive;
    return action(robot, *drive);
  });
}

// Moves one disc between two locations of a robot, checking both ends first.
uint32_t Move(SimRobotUnit& robot, int32_t from, int32_t to) {
  if (uint32_t check = World().CanPut(robot, to)) return check;
  Disc disc;
  if (uint32_t taken = World().Take(robot, from, disc)) return taken;
  World().Put(robot, to, disc);
  return 0;
}

uint32_t EnumDriveHandles(int32_t Robot, int32_t* hDrives, int32_t* NumDrives) {
  if (hDrives == nullptr || NumDrives == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    const int32_t capacity = std::max(*NumDrives, 0);
    const auto found = static_cast<int32_t>(robot.drives.size());
    for (int32_t i = 0; i < std::min(capacity, found); ++i) hDrives[i] = robot.drives[i].handle;
    *NumDrives = found;
    return found > capacity ? kErrBufferTooSmall : 0;
  });
}

uint32_t Print(int32_t Robot, const char16_t* File) {
  if (File == nullptr || *File == 0) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    if (!robot.printerOccupied) return kErrPrinterEmpty;
    robot.printer.label = File;
    for (const auto& field : robot.mergeFields) robot.printer.label += u"|" + field;
    return 0;
  });
}

}  // namespace

extern "C" {

PTROBOT_API uint32_t QLX_CALL PTRobot_Initialize() {
  EnterCall(__func__);
  return Config().initResult;
}

PTROBOT_API uint32_t QLX_CALL PTRobot_Destroy() {
  EnterCall(__func__);
  return 0;
}

PTROBOT_API uint32_t QLX_CALL PTRobot_SetupDebugging(const char16_t* DbgFile, int32_t DbgLvl,
                                                     const char16_t* TraceFile) {
  EnterCall(__func__, DbgFile, DbgLvl, TraceFile);
  return 0;
}

PTROBOT_API uint32_t QLX_CALL PTRobot_EnumRobots(int32_t* hRobots, int32_t* NumRobots) {
  EnterCall(__func__, hRobots, NumRobots);
  if (hRobots == nullptr || NumRobots == nullptr) return kErrInvalidArgument;
  Guard guard(World().Lock());
  if (enumRobotsCalls++ < Config().enumRobotsFailures) return kErrEnumFailed;
  const int32_t capacity = std::max(*NumRobots, 0);
  const auto found = static_cast<int32_t>(World().Robots().size());
  for (int32_t i = 0; i < std::min(capacity, found); ++i) hRobots[i] = World().Robots()[i].handle;
  *NumRobots = found;
  return found > capacity ? kErrBufferTooSmall : 0;
}

PTROBOT_API uint32_t QLX_CALL PTRobot_EnumDrives(int32_t Robot, int32_t* hDrives,
                                                 int32_t* NumDrives) {
  EnterCall(__func__, Robot, hDrives, NumDrives);
  return EnumDriveHandles(Robot, hDrives, NumDrives);
}

PTROBOT_API uint32_t QLX_CALL PTRobot_EnumDrivesWithList(int32_t Robot, int32_t* hDrives,
                                                         int32_t* NumDrives, char16_t* DriveList,
                                                         int32_t ListLength) {
  EnterCall(__func__, Robot, hDrives, NumDrives, DriveList, ListLength);
  const uint32_t result = EnumDriveHandles(Robot, hDrives, NumDrives);
  if (result != 0 || DriveList == nullptr || ListLength <= 0) return result;
  int32_t written = 0;
  for (int32_t i = 0; i < *NumDrives && written + 1 < ListLength; ++i) {
    DriveList[written++] = static_cast<char16_t>(hDrives[i] & 0xFF);
  }
  DriveList[written] = 0;
  return 0;
}

PTROBOT_API uint32_t QLX_CALL PTRobot_SetRoboticDrive(int32_t Robot, int32_t Drive,
                                                      int32_t ColIndex, int32_t RowIndex) {
  EnterCall(__func__, Robot, Drive, ColIndex, RowIndex);
  return WithDrive(Robot, Drive, [&](SimRobotUnit& robot, SimDrive& drive) -> uint32_t {
    if (ColIndex != 0 || RowIndex < 0 || RowIndex >= static_cast<int32_t>(robot.drives.size())) {
      return kErrInvalidPosition;
    }
    drive.column = ColIndex;
    drive.row = RowIndex;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_SetOpenCloseFunction(PTOpenCloseFunction OpenCloseFunction) {
  EnterCall(__func__, OpenCloseFunction);
  Guard guard(World().Lock());
  openCloseFunction = OpenCloseFunction;
  return 0;
}

PTROBOT_API uint32_t QLX_CALL PTRobot_SetRobotOptions(int32_t Robot, int32_t RobotOptions) {
  EnterCall(__func__, Robot, RobotOptions);
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    robot.options = RobotOptions;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetRobotOptions(int32_t Robot, int32_t* RobotOptions) {
  EnterCall(__func__, Robot, RobotOptions);
  if (RobotOptions == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    *RobotOptions = robot.options;
    return 0;
  });
}

}  // extern "C"

namespace {

void FillDriveInfo(const SimDrive& drive, DrvInfo& info) {
  info = DrvInfo{};
  info.hDrive = drive.handle;
  CopyText(info.Description, u"QLX Simulated BD/DVD/CD Recorder " +
                                 std::u16string(1, static_cast<char16_t>(drive.letter)) + u":");
  CopyText(info.Firmware, u"1.07");
  CopyText(info.Serial, drive.serial);
  info.DriveType = 3;
  info.Column = drive.column;
  info.Row = drive.row;
}

uint32_t DriveInfoOf(int32_t driveHandle, DrvInfo& info) {
  Guard guard(World().Lock());
  SimDrive* drive = World().FindAnyDrive(driveHandle, nullptr);
  if (drive == nullptr) return kErrInvalidDrive;
  FillDriveInfo(*drive, info);
  return 0;
}

}  // namespace

extern "C" {

PTROBOT_API uint32_t QLX_CALL PTRobot_GetDriveInfo(int32_t Robot, DrvInfo* pDrvInfo) {
  EnterCall(__func__, Robot, pDrvInfo);
  if (pDrvInfo == nullptr) return kErrInvalidArgument;
  return DriveInfoOf(Robot, *pDrvInfo);
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetDriveInfo2(int32_t Robot, DrvInfo2* pDrvInfo2) {
  EnterCall(__func__, Robot, pDrvInfo2);
  if (pDrvInfo2 == nullptr) return kErrInvalidArgument;
  *pDrvInfo2 = DrvInfo2{};
  const uint32_t result = DriveInfoOf(Robot, pDrvInfo2->Info);
  if (result == 0) CopyText(pDrvInfo2->Extra, u"BD-R DVD+R DVD-R CD-R");
  return result;
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetRobotInfo(int32_t Robot, RobotInfo* pRobotInfo) {
  EnterCall(__func__, Robot, pRobotInfo);
  if (pRobotInfo == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    RobotInfo info{};
    info.hRobot = robot.handle;
    CopyText(info.Model, u"QLX Simulated Disc Publisher");
    info.RobotType = 1;
    info.NumDrives = static_cast<int32_t>(robot.drives.size());
    info.NumBins = 3;
    info.NumPrinters = 1;
    info.DriveColumns = 1;
    info.DriveRows = info.NumDrives;
    CopyText(info.Firmware, u"2.10");
    info.Capabilities = 0x7;
    info.Options = robot.options;
    for (size_t i = 0; i < robot.drives.size(); ++i) info.Drives[i] = robot.drives[i].handle;
    info.PrinterType = 1;
    *pRobotInfo = info;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetRobotInfo2(int32_t Robot, RobotInfo2* pRobotInfo2) {
  EnterCall(__func__, Robot, pRobotInfo2);
  if (pRobotInfo2 == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    RobotInfo2 info{};
    info.hRobot = robot.handle;
    info.Fields[0] = static_cast<int32_t>(robot.drives.size());
    *pRobotInfo2 = info;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetRobotStatus(int32_t Robot, RobotStatus* pRobotStatus) {
  EnterCall(__func__, Robot, pRobotStatus);
  if (pRobotStatus == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    RobotStatus status{};
    status.SystemState = 0;
    status.SystemError = static_cast<int32_t>(robot.lastError);
    status.InputBinCount = robot.inputBlanks + static_cast<int32_t>(robot.input.size());
    status.OutputBinCount = static_cast<int32_t>(robot.output.size());
    status.PrinterState = robot.printerOccupied ? 1 : 0;
    status.DiscInPrinter = robot.printerOccupied ? robot.printer.id : 0;
    *pRobotStatus = status;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetRobotStatus2(int32_t Robot, RobotStatus2* pRobotStatus2) {
  EnterCall(__func__, Robot, pRobotStatus2);
  if (pRobotStatus2 == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    RobotStatus2 status{};
    status.SystemState = 0;
    status.Values5[0] = static_cast<int32_t>(robot.lastError);
    status.BinsA[0] = robot.inputBlanks + static_cast<int32_t>(robot.input.size());
    status.BinsA[1] = static_cast<int32_t>(robot.output.size());
    status.BinsA[2] = static_cast<int32_t>(robot.reject.size());
    for (size_t i = 0; i < robot.drives.size() && i < 8; ++i) {
      status.BinsB[i] = robot.drives[i].occupied ? robot.drives[i].disc.id : 0;
    }
    status.Flags[0] = robot.printerOccupied ? 'P' : '-';
    *pRobotStatus2 = status;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetManufactureInfo(int32_t Robot,
                                                         ManufactureInfo* pManufactureInfo) {
  EnterCall(__func__, Robot, pManufactureInfo);
  if (pManufactureInfo == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    ManufactureInfo info{};
    CopyText(info.SerialNumber, u"QXS" + std::u16string(1, u'0' + (robot.handle >> 16) % 10));
    CopyText(info.ManufactureDate, u"2026-01-15");
    *pManufactureInfo = info;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_LoadDrive(int32_t Robot, int32_t Drive, int32_t FromLocation,
                                                int32_t ClearDrive) {
  EnterCall(__func__, Robot, Drive, FromLocation, ClearDrive);
  return WithDrive(Robot, Drive, [&](SimRobotUnit& robot, SimDrive& drive) -> uint32_t {
    if (drive.occupied && !ClearDrive) return kErrTargetOccupied;
    if (drive.occupied) {
      if (uint32_t check = World().CanPut(robot, kLocationRejectBin)) return check;
    }
    Disc disc;
    if (uint32_t taken = World().Take(robot, FromLocation, disc)) return taken;
    if (drive.occupied) World().Put(robot, kLocationRejectBin, drive.disc);
    drive.disc = disc;
    drive.occupied = true;
    drive.trayOpen = false;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_LoadPrinter(int32_t Robot, int32_t FromLocation) {
  EnterCall(__func__, Robot, FromLocation);
  return WithRobot(
      Robot, [&](SimRobotUnit& robot) { return Move(robot, FromLocation, kLocationPrinter); });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_LoadPrinterFromDrive(int32_t Robot, int32_t Drive) {
  EnterCall(__func__, Robot, Drive);
  return WithDrive(Robot, Drive, [&](SimRobotUnit& robot, SimDrive& drive) -> uint32_t {
    if (!drive.occupied) return kErrNoDiscAtSource;
    if (uint32_t check = World().CanPut(robot, kLocationPrinter)) return check;
    World().Put(robot, kLocationPrinter, drive.disc);
    drive.occupied = false;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_UnLoadDrive(int32_t Robot, int32_t Drive,
                                                  int32_t ToLocation) {
  EnterCall(__func__, Robot, Drive, ToLocation);
  return WithDrive(Robot, Drive, [&](SimRobotUnit& robot, SimDrive& drive) -> uint32_t {
    if (!drive.occupied) return kErrNoDiscAtSource;
    if (uint32_t check = World().CanPut(robot, ToLocation)) return check;
    World().Put(robot, ToLocation, drive.disc);
    drive.occupied = false;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_UnLoadPrinter(int32_t Robot, int32_t ToLocation) {
  EnterCall(__func__, Robot, ToLocation);
  return WithRobot(Robot,
                   [&](SimRobotUnit& robot) { return Move(robot, kLocationPrinter, ToLocation); });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_MoveDiscBetweenLocations(int32_t Robot, int32_t FromLocation,
                                                               int32_t ToLocation) {
  EnterCall(__func__, Robot, FromLocation, ToLocation);
  return WithRobot(Robot,
                   [&](SimRobotUnit& robot) { return Move(robot, FromLocation, ToLocation); });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_SetPrintCopies(int32_t Robot, int32_t Copies) {
  EnterCall(__func__, Robot, Copies);
  if (Copies < 1) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    robot.printCopies = Copies;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_PrintFile(int32_t Robot, const char16_t* File,
                                                int32_t PrintIndex) {
  EnterCall(__func__, Robot, File, PrintIndex);
  return Print(Robot, File);
}

PTROBOT_API uint32_t QLX_CALL PTRobot_PrintFileWithMerge(int32_t Robot, const char16_t* File) {
  EnterCall(__func__, Robot, File);
  return Print(Robot, File);
}

PTROBOT_API uint32_t QLX_CALL PTRobot_PrintFileWithMerge2(int32_t Robot, const char16_t* File,
                                                          int32_t ClearMergeList) {
  EnterCall(__func__, Robot, File, ClearMergeList);
  const uint32_t result = Print(Robot, File);
  if (result == 0 && ClearMergeList) {
    WithRobot(Robot, [](SimRobotUnit& robot) -> uint32_t {
      robot.mergeFields.clear();
      return 0;
    });
  }
  return result;
}

PTROBOT_API uint32_t QLX_CALL PTRobot_PrintFileWithMergeFile(int32_t Robot, const char16_t* File,
                                                             const char16_t* MergeFile) {
  EnterCall(__func__, Robot, File, MergeFile);
  if (MergeFile == nullptr) return kErrInvalidArgument;
  return Print(Robot, File);
}

PTROBOT_API uint32_t QLX_CALL PTRobot_AddMergeFields(int32_t Robot, const char16_t* Field) {
  EnterCall(__func__, Robot, Field);
  if (Field == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    robot.mergeFields.emplace_back(Field);
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_ClearMergeList(int32_t Robot) {
  EnterCall(__func__, Robot);
  return WithRobot(Robot, [](SimRobotUnit& robot) -> uint32_t {
    robot.mergeFields.clear();
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetSureThingPreview(const char16_t* SureThingFile,
                                                          const char16_t* OutputFile,
                                                          int32_t Resolution) {
  EnterCall(__func__, SureThingFile, OutputFile, Resolution);
  if (SureThingFile == nullptr || OutputFile == nullptr || Resolution <= 0) {
    return kErrInvalidArgument;
  }
  return 0;
}

PTROBOT_API uint32_t QLX_CALL PTRobot_SetPrinterSettings(int32_t Robot,
                                                         const PrinterSettings* pPrinterSettings) {
  EnterCall(__func__, Robot, pPrinterSettings);
  if (pPrinterSettings == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    robot.printCopies = std::max(pPrinterSettings->Copies, 1);
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetPrinterSettings(int32_t Robot,
                                                         PrinterSettings* pPrinterSettings) {
  EnterCall(__func__, Robot, pPrinterSettings);
  if (pPrinterSettings == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    *pPrinterSettings = PrinterSettings{2, robot.printCopies, 0};
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL
PTRobot_SetPrinterSettings2(int32_t Robot, const PrinterSettings2* pPrinterSettings2) {
  EnterCall(__func__, Robot, pPrinterSettings2);
  if (pPrinterSettings2 == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [](SimRobotUnit&) -> uint32_t { return 0; });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetPrinterSettings2(int32_t Robot,
                                                          PrinterSettings2* pPrinterSettings2) {
  EnterCall(__func__, Robot, pPrinterSettings2);
  if (pPrinterSettings2 == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    *pPrinterSettings2 = PrinterSettings2{};
    pPrinterSettings2->Fields[1] = robot.printCopies;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_KillSystemError(int32_t Robot, int32_t ResetPrinter) {
  EnterCall(__func__, Robot, ResetPrinter);
  return WithRobot(Robot, [](SimRobotUnit& robot) -> uint32_t {
    robot.lastError = 0;
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_SystemAction(int32_t Robot, int32_t Action) {
  EnterCall(__func__, Robot, Action);
  if (Action < 0) return kErrInvalidArgument;
  return WithRobot(Robot, [](SimRobotUnit&) -> uint32_t { return 0; });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_OpenCloseDrive(int32_t Robot, int32_t Open) {
  EnterCall(__func__, Robot, Open);
  Guard guard(World().Lock());
  SimDrive* drive = World().FindAnyDrive(Robot, nullptr);
  if (drive == nullptr) return kErrInvalidDrive;
  drive->trayOpen = Open != 0;
  return 0;
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetErrorString(int32_t Robot, int32_t ErrorNum,
                                                     char16_t* ErrorString, int32_t MaxLength,
                                                     int32_t Language) {
  EnterCall(__func__, Robot, ErrorNum, ErrorString, MaxLength, Language);
  if (ErrorString == nullptr || MaxLength <= 0) return kErrInvalidArgument;
  const std::u16string text = ErrorText(static_cast<uint32_t>(ErrorNum));
  const size_t length = std::min(text.size(), static_cast<size_t>(MaxLength) - 1);
  std::copy_n(text.data(), length, ErrorString);
  ErrorString[length] = 0;
  return 0;
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetMediaInfo(int32_t Robot, DiscInfo* pDiscInfo) {
  EnterCall(__func__, Robot, pDiscInfo);
  if (pDiscInfo == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit&) -> uint32_t {
    *pDiscInfo = DiscInfo{};
    CopyText(pDiscInfo->MediaType, u"DVD-R");
    CopyText(pDiscInfo->Manufacturer, u"QLX Media");
    return 0;
  });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_SetApplicationID(int32_t AppID) {
  EnterCall(__func__, AppID);
  return 0;
}

PTROBOT_API uint32_t QLX_CALL PTRobot_SetRoboticDriveWithoutEnum(int32_t Robot, int32_t Drive,
                                                                 const char16_t* Serial,
                                                                 int32_t ColIndex, int32_t RowIndex,
                                                                 int32_t Flag) {
  EnterCall(__func__, Robot, Drive, Serial, ColIndex, RowIndex, Flag);
  if (Serial == nullptr) return kErrInvalidArgument;
  return WithDrive(Robot, Drive, [](SimRobotUnit&, SimDrive&) -> uint32_t { return 0; });
}

PTROBOT_API uint32_t QLX_CALL PTRobot_GetDriveSerialFromFlash(int32_t Robot, int32_t ColIndex,
                                                              int32_t RowIndex, char16_t* Serial) {
  EnterCall(__func__, Robot, ColIndex, RowIndex, Serial);
  if (Serial == nullptr) return kErrInvalidArgument;
  return WithRobot(Robot, [&](SimRobotUnit& robot) -> uint32_t {
    const int32_t row = RowIndex ^ 1;
    if (ColIndex != 0 || row < 0 || row >= static_cast<int32_t>(robot.drives.size())) {
      return kErrInvalidPosition;
    }
    const std::u16string serial = World().ReadFlashSerial(robot, ColIndex, RowIndex);
    std::copy(serial.begin(), serial.end(), Serial);  // at most 100 code units
    Serial[serial.size()] = 0;
    return 0;
  });
}

}  // extern "C"
