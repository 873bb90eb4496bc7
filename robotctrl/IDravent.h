#pragma once
// The robot controller that Dravent.dll gives the disc-burning service.
// The service obtains controllers from CreateDraventObj and calls their
// operations by slot position, so the order of IDravent's operations and the
// layout of DriveInfoEx are a binary contract.
#include <cstddef>
#include <cstdint>

#include "agent/PTRobotApi.h"

// Result codes of the controller itself. Every other nonzero result is the
// bound library's code, passed on unchanged.
constexpr uint32_t ROBOTCTRL_BIND_FAILED = 500;       // vendor library not bound
constexpr uint32_t ROBOTCTRL_NULL_ARGUMENT = 600;     // a required pointer is null
constexpr uint32_t ROBOTCTRL_BUFFER_TOO_SMALL = 601;  // more robots than the caller's array holds

// Drive information as GetDriveInfo hands it to the service.
struct DriveInfoEx {
  char16_t DriveLetter;   // upper case for a-z, from the drive handle's low byte
  uint16_t Unused;        // never written
  DrvInfo2 Drive;         // only Drive.Info is written; Drive.Extra is left alone
  char16_t DriveRoot[4];  // "X:" and its terminator
};
static_assert(offsetof(DriveInfoEx, Drive) == 4 && offsetof(DriveInfoEx, Drive.Extra) == 444 &&
                  offsetof(DriveInfoEx, DriveRoot) == 524,
              "DriveInfoEx layout");

// The controller's operations in slot order (slot 0 first). No virtual
// destructor: a controller lives until the host process ends.
class IDravent {
 public:
  virtual uint32_t Destroy() = 0;
  virtual uint32_t Init() = 0;
  virtual uint32_t EnumRobots(int32_t* hRobots, int32_t* NumRobots) = 0;
  virtual uint32_t GetRobotInfo(int32_t Robot, RobotInfo* pRobotInfo) = 0;
  virtual uint32_t EnumDrives(int32_t Robot, int32_t* hDrives, int32_t* NumDrives) = 0;
  virtual uint32_t GetMediaInfo(int32_t Robot, DiscInfo* pDiscInfo) = 0;
  virtual uint32_t GetDriveInfo(int32_t Drive, DriveInfoEx* pDriveInfo) = 0;
  virtual uint32_t OpenCloseDrive(int32_t Drive, int32_t Open) = 0;
  virtual uint32_t SystemAction(int32_t Robot, int32_t Action) = 0;
  virtual uint32_t LoadDrive(int32_t Robot, int32_t Drive, int32_t FromLocation,
                             int32_t ClearDrive) = 0;
  virtual uint32_t UnLoadDrive(int32_t Robot, int32_t Drive, int32_t ToLocation) = 0;
  virtual uint32_t MoveDiscBetweenLocations(int32_t Robot, int32_t FromLocation,
                                            int32_t ToLocation) = 0;
  virtual uint32_t LoadPrinter(int32_t Robot, int32_t FromLocation) = 0;
  virtual uint32_t LoadPrinterFromDrive(int32_t Robot, int32_t Drive) = 0;
  virtual uint32_t UnLoadPrinter(int32_t Robot, int32_t ToLocation) = 0;
  virtual uint32_t AddMergeFields(int32_t Robot, const char16_t* Field) = 0;
  virtual uint32_t PrintFileWithMerge2(int32_t Robot, const char16_t* File,
                                       int32_t ClearMergeList) = 0;
  virtual uint32_t PrintFile(int32_t Robot, const char16_t* File, int32_t PrintIndex) = 0;
  virtual uint32_t ClearMergeList(int32_t Robot) = 0;
  virtual uint32_t GetPrinterSettings(int32_t Robot, PrinterSettings* pPrinterSettings) = 0;
  virtual uint32_t SetPrinterSettings(int32_t Robot, const PrinterSettings* pPrinterSettings) = 0;
  virtual uint32_t GetErrorString(int32_t Robot, int32_t ErrorNum, char16_t* ErrorString,
                                  int32_t MaxLength, int32_t Language) = 0;
  virtual uint32_t KillSystemError(int32_t Robot, int32_t ResetPrinter) = 0;
  virtual uint32_t GetRobotOptions(int32_t Robot, int32_t* RobotOptions) = 0;
  virtual uint32_t SetRobotOptions(int32_t Robot, int32_t RobotOptions) = 0;
  virtual uint32_t GetRobotStatus(int32_t Robot, RobotStatus* pRobotStatus) = 0;
  virtual uint32_t GetRobotStatus2(int32_t Robot, RobotStatus2* pRobotStatus2) = 0;
  virtual uint32_t GetSureThingPreview(const char16_t* SureThingFile, const char16_t* OutputFile,
                                       int32_t Resolution) = 0;
  virtual uint32_t SetRoboticDrive(int32_t Robot, int32_t hDrive, const char16_t* tszSerial,
                                   uint32_t dwColIndex, uint32_t dwRowIndex) = 0;
  virtual uint32_t SetupDebugging(const char16_t* DbgFile, int32_t DbgLvl,
                                  const char16_t* TraceFile) = 0;
  virtual uint32_t SetOpenCloseFunction(PTOpenCloseFunction OpenCloseFunction) = 0;
  virtual uint32_t MoveDiscBetweenDrives(int32_t Robot, int32_t hSrcDrive, int32_t hDstDrive) = 0;

 protected:
  IDravent() = default;
  ~IDravent() = default;
};

// The plug-in's one export: a new, unbound controller, or null when no memory
// could be had.
using PFN_CreateDraventObj = IDravent* (*)();
extern "C" QLX_EXPORT IDravent* CreateDraventObj();
