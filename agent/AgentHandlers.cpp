// The agent's call handlers: one per procedure. Each writes one INFO record
// of its arguments (before the vendor is called, so it is there even when
// the call never returns) and calls the vendor function of the same name
// with the same arguments, returning its result unchanged.
#include "agent/AgentLogText.h"
#include "agent/AgentPaths.h"
#include "agent/AgentRpc.h"
#include "logging/Logger.h"

using qlx::agent::Dec;
using qlx::agent::Hex;
using qlx::agent::Ptr;
using qlx::agent::Txt;
using qlx::platform::RpcBinding;

namespace {

constexpr int kInfo = QLXSdk::LOG_INFO;
constexpr int32_t kNoVendorCall = 500;  // EnumRobots given a null pointer
constexpr int32_t kDebugLevel = 4;
constexpr int32_t kApplicationId = 0;

int32_t Result(uint32_t vendorResult) { return static_cast<int32_t>(vendorResult); }

}  // namespace

int32_t RPC_Probe(RpcBinding) { return 0; }

int32_t RPC_PTRobot_Initialize(RpcBinding) {
  QLOGW(kInfo);
  uint32_t result = PTRobot_Initialize();
  std::u16string folder = qlx::agent::ModuleFolder();
  std::u16string debugFile = qlx::agent::InitializeDebugFile(folder);
  std::u16string traceFile = qlx::agent::InitializeTraceFile(folder);
  PTRobot_SetupDebugging(debugFile.c_str(), kDebugLevel, traceFile.c_str());
  PTRobot_SetApplicationID(kApplicationId);
  return Result(result);
}

int32_t RPC_PTRobot_Destroy(RpcBinding) {
  QLOGW(kInfo);
  return Result(PTRobot_Destroy());
}

int32_t RPC_PTRobot_SetupDebugging(RpcBinding, const char16_t* DbgFile, int32_t DbgLvl,
                                   const char16_t* TraceFile) {
  QLOGW(kInfo) << u"DbgFile:" << Txt(DbgFile) << u" DbgLvl:" << Dec(DbgLvl) << u" TraceFile:"
               << Txt(TraceFile);
  return Result(PTRobot_SetupDebugging(DbgFile, DbgLvl, TraceFile));
}

int32_t RPC_PTRobot_EnumRobots(RpcBinding, int32_t* hRobots, int32_t* NumRobots) {
  QLOGW(kInfo) << u"hRobots:" << Ptr(hRobots) << u" NumRobots:" << Ptr(NumRobots);
  if (hRobots == nullptr || NumRobots == nullptr) return kNoVendorCall;
  uint32_t result = PTRobot_EnumRobots(hRobots, NumRobots);
  if (result == 0) return 0;
  // The library may not see its robots at the first attempt.
  return Result(PTRobot_EnumRobots(hRobots, NumRobots));
}

int32_t RPC_PTRobot_EnumDrives(RpcBinding, int32_t Robot, int32_t* hDrives, int32_t* NumDrives) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" hDrives:" << Ptr(hDrives) << u" NumDrives:"
               << Ptr(NumDrives);
  return Result(PTRobot_EnumDrives(Robot, hDrives, NumDrives));
}

int32_t RPC_PTRobot_SetRoboticDrive(RpcBinding, int32_t Robot, int32_t Drive, int32_t ColIndex,
                                    int32_t RowIndex) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" Drive:" << Hex(Drive) << u" ColIndex:"
               << Hex(ColIndex) << u" RowIndex:" << Hex(RowIndex);
  return Result(PTRobot_SetRoboticDrive(Robot, Drive, ColIndex, RowIndex));
}

int32_t RPC_PTRobot_SetRobotOptions(RpcBinding, int32_t Robot, int32_t RobotOptions) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" RobotOptions:" << Hex(RobotOptions);
  return Result(PTRobot_SetRobotOptions(Robot, RobotOptions));
}

int32_t RPC_PTRobot_GetRobotOptions(RpcBinding, int32_t Robot, int32_t* RobotOptions) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" RobotOptions:" << Ptr(RobotOptions);
  return Result(PTRobot_GetRobotOptions(Robot, RobotOptions));
}

int32_t RPC_PTRobot_GetDriveInfo(RpcBinding, int32_t Robot, DrvInfo* pDrvInfo) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" DrvInfo:" << Ptr(pDrvInfo);
  return Result(PTRobot_GetDriveInfo(Robot, pDrvInfo));
}

int32_t RPC_PTRobot_GetDriveInfo2(RpcBinding, int32_t Robot, DrvInfo2* pDrvInfo2) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" DrvInfo2:" << Ptr(pDrvInfo2);
  return Result(PTRobot_GetDriveInfo2(Robot, pDrvInfo2));
}

int32_t RPC_PTRobot_GetRobotInfo(RpcBinding, int32_t Robot, RobotInfo* pRobotInfo) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" RobotInfo:" << Ptr(pRobotInfo);
  return Result(PTRobot_GetRobotInfo(Robot, pRobotInfo));
}

int32_t RPC_PTRobot_GetRobotInfo2(RpcBinding, int32_t Robot, RobotInfo2* pRobotInfo2) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" RobotInfo2:" << Ptr(pRobotInfo2);
  return Result(PTRobot_GetRobotInfo2(Robot, pRobotInfo2));
}

int32_t RPC_PTRobot_GetRobotStatus(RpcBinding, int32_t Robot, RobotStatus* pRobotStatus) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" RobotStatus:" << Ptr(pRobotStatus);
  return Result(PTRobot_GetRobotStatus(Robot, pRobotStatus));
}

int32_t RPC_PTRobot_GetRobotStatus2(RpcBinding, int32_t Robot, RobotStatus2* pRobotStatus2) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" RobotStatus2:" << Ptr(pRobotStatus2);
  return Result(PTRobot_GetRobotStatus2(Robot, pRobotStatus2));
}

int32_t RPC_PTRobot_GetManufactureInfo(RpcBinding, int32_t Robot,
                                       ManufactureInfo* pManufactureInfo) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" ManufactureInfo:" << Ptr(pManufactureInfo);
  return Result(PTRobot_GetManufactureInfo(Robot, pManufactureInfo));
}

int32_t RPC_PTRobot_LoadDrive(RpcBinding, int32_t Robot, int32_t Drive, int32_t FromLocation,
                              int32_t ClearDrive) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" Drive:" << Hex(Drive) << u" FromLocation:"
               << Hex(FromLocation) << u" ClearDrive:" << Hex(ClearDrive);
  return Result(PTRobot_LoadDrive(Robot, Drive, FromLocation, ClearDrive));
}

int32_t RPC_PTRobot_LoadPrinter(RpcBinding, int32_t Robot, int32_t FromLocation) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" FromLocation:" << Hex(FromLocation);
  return Result(PTRobot_LoadPrinter(Robot, FromLocation));
}

int32_t RPC_PTRobot_LoadPrinterFromDrive(RpcBinding, int32_t Robot, int32_t Drive) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" Drive:" << Hex(Drive);
  return Result(PTRobot_LoadPrinterFromDrive(Robot, Drive));
}

int32_t RPC_PTRobot_UnLoadDrive(RpcBinding, int32_t Robot, int32_t Drive, int32_t ToLocation) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" Drive:" << Hex(Drive) << u" ToLocation:"
               << Hex(ToLocation);
  return Result(PTRobot_UnLoadDrive(Robot, Drive, ToLocation));
}

int32_t RPC_PTRobot_UnLoadPrinter(RpcBinding, int32_t Robot, int32_t ToLocation) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" ToLocation:" << Hex(ToLocation);
  return Result(PTRobot_UnLoadPrinter(Robot, ToLocation));
}

int32_t RPC_PTRobot_MoveDiscBetweenLocations(RpcBinding, int32_t Robot, int32_t FromLocation,
                                             int32_t ToLocation) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" FromLocation:" << Hex(FromLocation)
               << u" ToLocation:" << Hex(ToLocation);
  return Result(PTRobot_MoveDiscBetweenLocations(Robot, FromLocation, ToLocation));
}

int32_t RPC_PTRobot_SetPrintCopies(RpcBinding, int32_t Robot, int32_t Copies) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" Copies:" << Hex(Copies);
  return Result(PTRobot_SetPrintCopies(Robot, Copies));
}

int32_t RPC_PTRobot_PrintFile(RpcBinding, int32_t Robot, const char16_t* File, int32_t PrintIndex) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" File:" << Txt(File) << u" PrintIndex:"
               << Hex(PrintIndex);
  return Result(PTRobot_PrintFile(Robot, File, PrintIndex));
}

int32_t RPC_PTRobot_PrintFileWithMerge2(RpcBinding, int32_t Robot, const char16_t* File,
                                        int32_t ClearMergeList) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" File:" << Txt(File) << u" ClearMergeList:"
               << Hex(ClearMergeList);
  return Result(PTRobot_PrintFileWithMerge2(Robot, File, ClearMergeList));
}

int32_t RPC_PTRobot_PrintFileWithMergeFile(RpcBinding, int32_t Robot, const char16_t* File,
                                           const char16_t* MergeFile) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" File:" << Txt(File) << u" MergeFile:"
               << Txt(MergeFile);
  return Result(PTRobot_PrintFileWithMergeFile(Robot, File, MergeFile));
}

int32_t RPC_PTRobot_AddMergeFields(RpcBinding, int32_t Robot, const char16_t* Field) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" Field:" << Txt(Field);
  return Result(PTRobot_AddMergeFields(Robot, Field));
}

int32_t RPC_PTRobot_ClearMergeList(RpcBinding, int32_t Robot) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot);
  return Result(PTRobot_ClearMergeList(Robot));
}

int32_t RPC_PTRobot_GetSureThingPreview(RpcBinding, const char16_t* SureThingFile,
                                        const char16_t* OutputFile, int32_t Resolution) {
  QLOGW(kInfo) << u"SureThingFile:" << Txt(SureThingFile) << u" OutputFile:" << Txt(OutputFile)
               << u" Resolution:" << Dec(Resolution);
  return Result(PTRobot_GetSureThingPreview(SureThingFile, OutputFile, Resolution));
}

int32_t RPC_PTRobot_SetPrinterSettings(RpcBinding, int32_t Robot,
                                       const PrinterSettings* pPrinterSettings) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" PrinterSettings:" << Ptr(pPrinterSettings);
  return Result(PTRobot_SetPrinterSettings(Robot, pPrinterSettings));
}

int32_t RPC_PTRobot_GetPrinterSettings(RpcBinding, int32_t Robot,
                                       PrinterSettings* pPrinterSettings) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" PrinterSettings:" << Ptr(pPrinterSettings);
  return Result(PTRobot_GetPrinterSettings(Robot, pPrinterSettings));
}

int32_t RPC_PTRobot_SetPrinterSettings2(RpcBinding, int32_t Robot,
                                        const PrinterSettings2* pPrinterSettings2) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" PrinterSettings2:" << Ptr(pPrinterSettings2);
  return Result(PTRobot_SetPrinterSettings2(Robot, pPrinterSettings2));
}

int32_t RPC_PTRobot_GetPrinterSettings2(RpcBinding, int32_t Robot,
                                        PrinterSettings2* pPrinterSettings2) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" PrinterSettings2:" << Ptr(pPrinterSettings2);
  return Result(PTRobot_GetPrinterSettings2(Robot, pPrinterSettings2));
}

int32_t RPC_PTRobot_KillSystemError(RpcBinding, int32_t Robot, int32_t ResetPrinter) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" ResetPrinter:" << Hex(ResetPrinter);
  return Result(PTRobot_KillSystemError(Robot, ResetPrinter));
}

int32_t RPC_PTRobot_SystemAction(RpcBinding, int32_t Robot, int32_t Action) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" Action:" << Hex(Action);
  return Result(PTRobot_SystemAction(Robot, Action));
}

int32_t RPC_PTRobot_OpenCloseDrive(RpcBinding, int32_t Robot, int32_t Open) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" Open:" << Hex(Open);
  return Result(PTRobot_OpenCloseDrive(Robot, Open));
}

int32_t RPC_PTRobot_GetErrorString(RpcBinding, int32_t Robot, int32_t ErrorNum,
                                   char16_t* ErrorString, int32_t MaxLength, int32_t Language) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" ErrorNum:" << Hex(ErrorNum) << u" ErrorString:"
               << Txt(ErrorString) << u" MaxLength:" << Hex(MaxLength) << u" Languag:"
               << Hex(Language);
  return Result(PTRobot_GetErrorString(Robot, ErrorNum, ErrorString, MaxLength, Language));
}

int32_t RPC_PTRobot_GetMediaInfo(RpcBinding, int32_t Robot, DiscInfo* pDiscInfo) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" DiscInfo:" << Ptr(pDiscInfo);
  return Result(PTRobot_GetMediaInfo(Robot, pDiscInfo));
}

int32_t RPC_PTRobot_SetApplicationID(RpcBinding, int32_t AppID) {
  QLOGW(kInfo) << u"AppID:" << Dec(AppID);
  return Result(PTRobot_SetApplicationID(AppID));
}

int32_t RPC_PTRobot_SetRoboticDriveWithoutEnum(RpcBinding, int32_t Robot, int32_t Drive,
                                               const char16_t* Serial, int32_t ColIndex,
                                               int32_t RowIndex, int32_t Flag) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" Drive:" << Hex(Drive) << u" Serial:" << Txt(Serial)
               << u" ColIndex:" << Hex(ColIndex) << u" RowIndex:" << Hex(RowIndex);
  return Result(PTRobot_SetRoboticDriveWithoutEnum(Robot, Drive, Serial, ColIndex, RowIndex, Flag));
}

int32_t RPC_PTRobot_GetDriveSerialFromFlash(RpcBinding, int32_t Robot, int32_t ColIndex,
                                            int32_t RowIndex, char16_t* Serial) {
  QLOGW(kInfo) << u"Robot:" << Hex(Robot) << u" ColIndex:" << Hex(ColIndex) << u" RowIndex:"
               << Hex(RowIndex) << u" Serial:" << Txt(Serial);
  return Result(PTRobot_GetDriveSerialFromFlash(Robot, ColIndex, RowIndex, Serial));
}
