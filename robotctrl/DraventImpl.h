#pragma once
// The robot controller: IDravent over the vendor functions that Init binds.
#include "robotctrl/IDravent.h"
#include "robotctrl/RobotFuncTable.h"

class CDraventImpl : public IDravent {
 public:
  CDraventImpl();

  uint32_t Destroy() override;
  uint32_t Init() override;
  uint32_t EnumRobots(int32_t* hRobots, int32_t* NumRobots) override;
  uint32_t GetRobotInfo(int32_t Robot, RobotInfo* pRobotInfo) override;
  uint32_t EnumDrives(int32_t Robot, int32_t* hDrives, int32_t* NumDrives) override;
  uint32_t GetMediaInfo(int32_t Robot, DiscInfo* pDiscInfo) override;
  uint32_t GetDriveInfo(int32_t Drive, DriveInfoEx* pDriveInfo) override;
  uint32_t OpenCloseDrive(int32_t Drive, int32_t Open) override;
  uint32_t SystemAction(int32_t Robot, int32_t Action) override;
  uint32_t LoadDrive(int32_t Robot, int32_t Drive, int32_t FromLocation,
                     int32_t ClearDrive) override;
  uint32_t UnLoadDrive(int32_t Robot, int32_t Drive, int32_t ToLocation) override;
  uint32_t MoveDiscBetweenLocations(int32_t Robot, int32_t FromLocation,
                                    int32_t ToLocation) override;
  uint32_t LoadPrinter(int32_t Robot, int32_t FromLocation) override;
  uint32_t LoadPrinterFromDrive(int32_t Robot, int32_t Drive) override;
  uint32_t UnLoadPrinter(int32_t Robot, int32_t ToLocation) override;
  uint32_t AddMergeFields(int32_t Robot, const char16_t* Field) override;
  uint32_t PrintFileWithMerge2(int32_t Robot, const char16_t* File,
                               int32_t ClearMergeList) override;
  uint32_t PrintFile(int32_t Robot, const char16_t* File, int32_t PrintIndex) override;
  uint32_t ClearMergeList(int32_t Robot) override;
  uint32_t GetPrinterSettings(int32_t Robot, PrinterSettings* pPrinterSettings) override;
  uint32_t SetPrinterSettings(int32_t Robot, const PrinterSettings* pPrinterSettings) override;
  uint32_t GetErrorString(int32_t Robot, int32_t ErrorNum, char16_t* ErrorString, int32_t MaxLength,
                          int32_t Language) override;
  uint32_t KillSystemError(int32_t Robot, int32_t ResetPrinter) override;
  uint32_t GetRobotOptions(int32_t Robot, int32_t* RobotOptions) override;
  uint32_t SetRobotOptions(int32_t Robot, int32_t RobotOptions) override;
  uint32_t GetRobotStatus(int32_t Robot, RobotStatus* pRobotStatus) override;
  uint32_t GetRobotStatus2(int32_t Robot, RobotStatus2* pRobotStatus2) override;
  uint32_t GetSureThingPreview(const char16_t* SureThingFile, const char16_t* OutputFile,
                               int32_t Resolution) override;
  uint32_t SetRoboticDrive(int32_t Robot, int32_t hDrive, const char16_t* tszSerial,
                           uint32_t dwColIndex, uint32_t dwRowIndex) override;
  uint32_t SetupDebugging(const char16_t* DbgFile, int32_t DbgLvl,
                          const char16_t* TraceFile) override;
  uint32_t SetOpenCloseFunction(PTOpenCloseFunction OpenCloseFunction) override;
  uint32_t MoveDiscBetweenDrives(int32_t Robot, int32_t hSrcDrive, int32_t hDstDrive) override;

 private:
  RobotFuncTable m_funcs;
};
