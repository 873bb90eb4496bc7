#pragma once
// The robot maker's control library as this system relies on it: the record
// layouts that cross the agent interface and the 43 exported functions, in
// the order the robot controller binds them. This is the one list of vendor
// functions; the simulator, the agent, the proxy and the controller all use it.
#include <cstddef>
#include <cstdint>

#include "platform/callconv.h"

// ---------------------------------------------------------------- records --
// Fixed layouts (4-byte alignment unless stated, no pointers inside). Member
// meanings belong to the vendor library; the names below are descriptive only.

struct DrvInfo {
  int32_t hDrive;
  char16_t Description[132];
  char16_t Firmware[40];
  char16_t Serial[40];
  int32_t DriveType;
  int32_t Column;
  int32_t Row;
};
static_assert(sizeof(DrvInfo) == 440, "DrvInfo layout");
static_assert(offsetof(DrvInfo, Firmware) == 268 && offsetof(DrvInfo, Serial) == 348 &&
                  offsetof(DrvInfo, DriveType) == 428 && offsetof(DrvInfo, Row) == 436,
              "DrvInfo offsets");

struct DrvInfo2 {
  DrvInfo Info;
  char16_t Extra[40];
};
static_assert(sizeof(DrvInfo2) == 520 && offsetof(DrvInfo2, Extra) == 440, "DrvInfo2 layout");

struct RobotInfo {
  int32_t hRobot;
  char16_t Model[100];
  int32_t RobotType;
  int32_t NumDrives;
  int32_t NumBins;
  int32_t NumPrinters;
  int32_t DriveColumns;
  int32_t DriveRows;
  char16_t Firmware[20];
  int32_t Capabilities;
  int32_t Options;
  int32_t Drives[10];
  int32_t PrinterType;
};
static_assert(sizeof(RobotInfo) == 320, "RobotInfo layout");
static_assert(offsetof(RobotInfo, RobotType) == 204 && offsetof(RobotInfo, Firmware) == 228 &&
                  offsetof(RobotInfo, Capabilities) == 268 && offsetof(RobotInfo, Drives) == 276 &&
                  offsetof(RobotInfo, PrinterType) == 316,
              "RobotInfo offsets");

struct RobotInfo2 {
  int32_t hRobot;
  int32_t Values8[8];
  int32_t Fields[5];
  int32_t Values9[9];
};
static_assert(sizeof(RobotInfo2) == 92 && offsetof(RobotInfo2, Fields) == 36 &&
                  offsetof(RobotInfo2, Values9) == 56,
              "RobotInfo2 layout");

struct RobotStatus {
  int32_t SystemState;
  int32_t SystemError;
  int32_t InputBinCount;
  int32_t OutputBinCount;
  int32_t PrinterState;
  int32_t DiscInPrinter;
};
static_assert(sizeof(RobotStatus) == 24, "RobotStatus layout");

struct RobotStatus2 {
  int32_t SystemState;
  int32_t Values5[5];
  int32_t Fields7[7];
  int32_t BinsA[8];
  int32_t BinsB[8];
  int32_t Fields5[5];
  char Flags[4];
  int32_t Values6[6];
};
static_assert(sizeof(RobotStatus2) == 164 && offsetof(RobotStatus2, Fields7) == 24 &&
                  offsetof(RobotStatus2, BinsA) == 52 && offsetof(RobotStatus2, BinsB) == 84 &&
                  offsetof(RobotStatus2, Fields5) == 116 && offsetof(RobotStatus2, Flags) == 136 &&
                  offsetof(RobotStatus2, Values6) == 140,
              "RobotStatus2 layout");

struct ManufactureInfo {
  char16_t SerialNumber[11];
  char16_t ManufactureDate[12];
  int32_t Values[20];  // preceded by 2 bytes of padding at offset 46
};
static_assert(sizeof(ManufactureInfo) == 128 && offsetof(ManufactureInfo, ManufactureDate) == 22 &&
                  offsetof(ManufactureInfo, Values) == 48,
              "ManufactureInfo layout");

struct PrinterSettings {
  int32_t PrintQuality;
  int32_t Copies;
  int32_t Flags;
};
static_assert(sizeof(PrinterSettings) == 12, "PrinterSettings layout");

struct PrinterSettings2 {
  int32_t Fields[10];
  int32_t Values[9];
};
static_assert(sizeof(PrinterSettings2) == 76, "PrinterSettings2 layout");

struct DiscInfo {  // 2-byte alignment
  char16_t MediaType[20];
  char16_t Manufacturer[20];
};
static_assert(sizeof(DiscInfo) == 80 && alignof(DiscInfo) == 2, "DiscInfo layout");

// Callback of PTRobot_SetOpenCloseFunction: opens (1) or closes (0) a drive tray.
using PTOpenCloseFunction = uint32_t(QLX_CALL*)(int32_t Drive, int32_t Open);

// -------------------------------------------------------------- functions --
// X(Name, (typed parameters), (argument names)) for every vendor function, in
// binding order (1 to 43). Every function returns a 32-bit vendor result,
// 0 for success. Texts are zero-terminated UTF-16; handles are 32-bit values.
#define PTROBOT_FUNCTIONS(X)                                                                       \
  X(PTRobot_Initialize, (), ())                                                                    \
  X(PTRobot_Destroy, (), ())                                                                       \
  X(PTRobot_SetupDebugging, (const char16_t* DbgFile, int32_t DbgLvl, const char16_t* TraceFile),  \
    (DbgFile, DbgLvl, TraceFile))                                                                  \
  X(PTRobot_EnumRobots, (int32_t * hRobots, int32_t * NumRobots), (hRobots, NumRobots))            \
  X(PTRobot_EnumDrives, (int32_t Robot, int32_t * hDrives, int32_t * NumDrives),                   \
    (Robot, hDrives, NumDrives))                                                                   \
  X(PTRobot_EnumDrivesWithList,                                                                    \
    (int32_t Robot, int32_t * hDrives, int32_t * NumDrives, char16_t* DriveList,                   \
     int32_t ListLength),                                                                          \
    (Robot, hDrives, NumDrives, DriveList, ListLength))                                            \
  X(PTRobot_SetRoboticDrive, (int32_t Robot, int32_t Drive, int32_t ColIndex, int32_t RowIndex),   \
    (Robot, Drive, ColIndex, RowIndex))                                                            \
  X(PTRobot_SetOpenCloseFunction, (PTOpenCloseFunction OpenCloseFunction), (OpenCloseFunction))    \
  X(PTRobot_SetRobotOptions, (int32_t Robot, int32_t RobotOptions), (Robot, RobotOptions))         \
  X(PTRobot_GetRobotOptions, (int32_t Robot, int32_t * RobotOptions), (Robot, RobotOptions))       \
  X(PTRobot_GetDriveInfo, (int32_t Robot, DrvInfo * pDrvInfo), (Robot, pDrvInfo))                  \
  X(PTRobot_GetDriveInfo2, (int32_t Robot, DrvInfo2 * pDrvInfo2), (Robot, pDrvInfo2))              \
  X(PTRobot_GetRobotInfo, (int32_t Robot, RobotInfo * pRobotInfo), (Robot, pRobotInfo))            \
  X(PTRobot_GetRobotInfo2, (int32_t Robot, RobotInfo2 * pRobotInfo2), (Robot, pRobotInfo2))        \
  X(PTRobot_GetRobotStatus, (int32_t Robot, RobotStatus * pRobotStatus), (Robot, pRobotStatus))    \
  X(PTRobot_GetRobotStatus2, (int32_t Robot, RobotStatus2 * pRobotStatus2),                        \
    (Robot, pRobotStatus2))                                                                        \
  X(PTRobot_GetManufactureInfo, (int32_t Robot, ManufactureInfo * pManufactureInfo),               \
    (Robot, pManufactureInfo))                                                                     \
  X(PTRobot_LoadDrive, (int32_t Robot, int32_t Drive, int32_t FromLocation, int32_t ClearDrive),   \
    (Robot, Drive, FromLocation, ClearDrive))                                                      \
  X(PTRobot_LoadPrinter, (int32_t Robot, int32_t FromLocation), (Robot, FromLocation))             \
  X(PTRobot_LoadPrinterFromDrive, (int32_t Robot, int32_t Drive), (Robot, Drive))                  \
  X(PTRobot_UnLoadDrive, (int32_t Robot, int32_t Drive, int32_t ToLocation),                       \
    (Robot, Drive, ToLocation))                                                                    \
  X(PTRobot_UnLoadPrinter, (int32_t Robot, int32_t ToLocation), (Robot, ToLocation))               \
  X(PTRobot_MoveDiscBetweenLocations, (int32_t Robot, int32_t FromLocation, int32_t ToLocation),   \
    (Robot, FromLocation, ToLocation))                                                             \
  X(PTRobot_SetPrintCopies, (int32_t Robot, int32_t Copies), (Robot, Copies))                      \
  X(PTRobot_PrintFile, (int32_t Robot, const char16_t* File, int32_t PrintIndex),                  \
    (Robot, File, PrintIndex))                                                                     \
  X(PTRobot_PrintFileWithMerge, (int32_t Robot, const char16_t* File), (Robot, File))              \
  X(PTRobot_PrintFileWithMerge2, (int32_t Robot, const char16_t* File, int32_t ClearMergeList),    \
    (Robot, File, ClearMergeList))                                                                 \
  X(PTRobot_PrintFileWithMergeFile,                                                                \
    (int32_t Robot, const char16_t* File, const char16_t* MergeFile), (Robot, File, MergeFile))    \
  X(PTRobot_AddMergeFields, (int32_t Robot, const char16_t* Field), (Robot, Field))                \
  X(PTRobot_ClearMergeList, (int32_t Robot), (Robot))                                              \
  X(PTRobot_GetSureThingPreview,                                                                   \
    (const char16_t* SureThingFile, const char16_t* OutputFile, int32_t Resolution),               \
    (SureThingFile, OutputFile, Resolution))                                                       \
  X(PTRobot_SetPrinterSettings, (int32_t Robot, const PrinterSettings* pPrinterSettings),          \
    (Robot, pPrinterSettings))                                                                     \
  X(PTRobot_GetPrinterSettings, (int32_t Robot, PrinterSettings * pPrinterSettings),               \
    (Robot, pPrinterSettings))                                                                     \
  X(PTRobot_SetPrinterSettings2, (int32_t Robot, const PrinterSettings2* pPrinterSettings2),       \
    (Robot, pPrinterSettings2))                                                                    \
  X(PTRobot_GetPrinterSettings2, (int32_t Robot, PrinterSettings2 * pPrinterSettings2),            \
    (Robot, pPrinterSettings2))                                                                    \
  X(PTRobot_KillSystemError, (int32_t Robot, int32_t ResetPrinter), (Robot, ResetPrinter))         \
  X(PTRobot_SystemAction, (int32_t Robot, int32_t Action), (Robot, Action))                        \
  X(PTRobot_OpenCloseDrive, (int32_t Robot, int32_t Open), (Robot, Open))                          \
  X(PTRobot_GetErrorString,                                                                        \
    (int32_t Robot, int32_t ErrorNum, char16_t* ErrorString, int32_t MaxLength, int32_t Language), \
    (Robot, ErrorNum, ErrorString, MaxLength, Language))                                           \
  X(PTRobot_GetMediaInfo, (int32_t Robot, DiscInfo * pDiscInfo), (Robot, pDiscInfo))               \
  X(PTRobot_SetApplicationID, (int32_t AppID), (AppID))                                            \
  X(PTRobot_SetRoboticDriveWithoutEnum,                                                            \
    (int32_t Robot, int32_t Drive, const char16_t* Serial, int32_t ColIndex, int32_t RowIndex,     \
     int32_t Flag),                                                                                \
    (Robot, Drive, Serial, ColIndex, RowIndex, Flag))                                              \
  X(PTRobot_GetDriveSerialFromFlash,                                                               \
    (int32_t Robot, int32_t ColIndex, int32_t RowIndex, char16_t* Serial),                         \
    (Robot, ColIndex, RowIndex, Serial))

// Pointer types PFN_<Name> of every vendor function.
#define PTROBOT_DECLARE_POINTER(Name, Params, Args) using PFN_##Name = uint32_t(QLX_CALL*) Params;
PTROBOT_FUNCTIONS(PTROBOT_DECLARE_POINTER)
#undef PTROBOT_DECLARE_POINTER

// Number of vendor functions the controller binds.
constexpr int kPTRobotFunctionCount = 0
#define PTROBOT_COUNT_ONE(Name, Params, Args) +1
    PTROBOT_FUNCTIONS(PTROBOT_COUNT_ONE);
#undef PTROBOT_COUNT_ONE
static_assert(kPTRobotFunctionCount == 43, "the vendor library has 43 bound functions");

// Prototypes, for the agent (which links the library) and for the libraries
// that export these names themselves (simulator, proxy).
#ifndef PTROBOT_API
#define PTROBOT_API QLX_EXPORT
#endif
#define PTROBOT_DECLARE_FUNCTION(Name, Params, Args) PTROBOT_API uint32_t QLX_CALL Name Params;
extern "C" {
PTROBOT_FUNCTIONS(PTROBOT_DECLARE_FUNCTION)
}
#undef PTROBOT_DECLARE_FUNCTION
