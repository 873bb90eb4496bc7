#include "robotctrl/DraventImpl.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "logging/Logger.h"
#include "robotctrl/DriveSerialSchedule.h"
#include "robotctrl/VendorBinding.h"
#include "robotctrl/WideText.h"

namespace {

// Robots enumerated at most, whatever the caller's capacity.
constexpr int32_t kMaxRobots = 10;
// Room for the longest serial number the vendor library writes, 100 code
// units, and its terminator.
constexpr size_t kSerialCapacity = 101;
// Location that MoveDiscBetweenDrives passes the disc through without PTBD.dll.
constexpr int32_t kTransferLocation = 1;

// Calls a bound entry with `args`; ROBOTCTRL_BIND_FAILED when it is not bound.
template <typename Entry, typename... Args>
uint32_t CallBound(Entry entry, Args... args) {
  return entry != nullptr ? entry(args...) : ROBOTCTRL_BIND_FAILED;
}

// The drive letter that the low byte of a drive handle holds, a-z made upper case.
char16_t DriveLetter(int32_t hDrive) {
  const auto letter = static_cast<unsigned char>(hDrive & 0xFF);
  return letter >= 'a' && letter <= 'z' ? static_cast<char16_t>(letter - 'a' + 'A') : letter;
}

// Writes "X:" and its terminator for the drive's letter.
void WriteDriveRoot(int32_t hDrive, char16_t* root) {
  root[0] = DriveLetter(hDrive);
  root[1] = u':';
  root[2] = u'\0';
}

// Exact, case-sensitive comparison up to the terminator.
bool SameText(const char16_t* left, const char16_t* right) {
  for (; *left == *right; ++left, ++right) {
    if (*left == u'\0') return true;
  }
  return false;
}

// A 32-bit value as 8 upper-case hexadecimal digits.
struct Hex8 {
  uint32_t value;
};

std::ostream& operator<<(std::ostream& out, Hex8 hex) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(hex.value));
  return out << text;
}

}  // namespace

CDraventImpl::CDraventImpl() {
  QLXSdk::CLogger* logger = QLXSdk::CLogger::Instance();
  logger->SetModuleName("Dravent");
  // The controller's recent daily files are kept whatever their size.
  logger->SetSizeLimitEnabled(false);
  QLOG(QLXSdk::LOG_INFO) << "START >>>>>>";
}

uint32_t CDraventImpl::Destroy() {
  return m_funcs.PTRobot_Destroy != nullptr ? m_funcs.PTRobot_Destroy() : 0;
}

uint32_t CDraventImpl::Init() {
  if (InitFunc(m_funcs) == 0) {
    QLOG(QLXSdk::LOG_ERROR) << "InitFunc fail " << ROBOTCTRL_BIND_FAILED;
    return ROBOTCTRL_BIND_FAILED;
  }
  uint32_t result = m_funcs.PTRobot_Initialize();
  if (result != 0) {
    QLOG(QLXSdk::LOG_ERROR) << "PTRobot_Initialize fail " << result;
    return result;
  }
  result = m_funcs.PTRobot_SetApplicationID(0);
  if (result != 0) {
    QLOG(QLXSdk::LOG_ERROR) << "PTRobot_SetApplicationID fail " << result;
    return result;
  }
  return 0;
}

uint32_t CDraventImpl::EnumRobots(int32_t* hRobots, int32_t* NumRobots) {
  if (hRobots == nullptr || NumRobots == nullptr) return ROBOTCTRL_NULL_ARGUMENT;
  if (m_funcs.PTRobot_EnumRobots == nullptr) return ROBOTCTRL_BIND_FAILED;
  int32_t robots[kMaxRobots] = {};
  int32_t found = kMaxRobots;
  const uint32_t result = m_funcs.PTRobot_EnumRobots(robots, &found);
  if (result != 0) {
    QLOG(QLXSdk::LOG_ERROR) << "PT EnumRobots failed: " << result;
    return result;
  }
  // A library may report more robots than the room it was offered.
  found = std::clamp(found, 0, kMaxRobots);
  if (*NumRobots < found) return ROBOTCTRL_BUFFER_TOO_SMALL;
  std::copy(robots, robots + found, hRobots);
  *NumRobots = found;
  return 0;
}

uint32_t CDraventImpl::GetRobotInfo(int32_t Robot, RobotInfo* pRobotInfo) {
  if (pRobotInfo == nullptr) return ROBOTCTRL_NULL_ARGUMENT;
  if (m_funcs.PTRobot_GetRobotInfo == nullptr) return ROBOTCTRL_BIND_FAILED;
  RobotInfo info{};
  const uint32_t result = m_funcs.PTRobot_GetRobotInfo(Robot, &info);
  if (result != 0) {
    QLOG(QLXSdk::LOG_ERROR) << "PTRobot_GetRobotInfo fail " << result;
    return result;
  }
  *pRobotInfo = info;
  return 0;
}

uint32_t CDraventImpl::EnumDrives(int32_t Robot, int32_t* hDrives, int32_t* NumDrives) {
  if (hDrives == nullptr || NumDrives == nullptr) return ROBOTCTRL_NULL_ARGUMENT;
  if (m_funcs.PTRobot_EnumDrives == nullptr) return ROBOTCTRL_BIND_FAILED;
  const uint32_t result = m_funcs.PTRobot_EnumDrives(Robot, hDrives, NumDrives);
  if (result != 0) QLOG(QLXSdk::LOG_ERROR) << "PTRobot_EnumDrives: " << result;
  return result;
}

uint32_t CDraventImpl::GetMediaInfo(int32_t Robot, DiscInfo* pDiscInfo) {
  if (pDiscInfo == nullptr) return ROBOTCTRL_NULL_ARGUMENT;
  DiscInfo info{};
  const uint32_t result = CallBound(m_funcs.PTRobot_GetMediaInfo, Robot, &info);
  if (result == 0) *pDiscInfo = info;
  return result;
}

uint32_t CDraventImpl::GetDriveInfo(int32_t Drive, DriveInfoEx* pDriveInfo) {
  if (pDriveInfo == nullptr) return ROBOTCTRL_NULL_ARGUMENT;
  DrvInfo vendor{};
  const uint32_t result = CallBound(m_funcs.PTRobot_GetDriveInfo, Drive, &vendor);
  if (result != 0) return result;
  pDriveInfo->DriveLetter = DriveLetter(Drive);
  WriteDriveRoot(Drive, pDriveInfo->DriveRoot);
  // The handle as the caller knows it, then the vendor's fields after its own handle.
  DrvInfo& info = pDriveInfo->Drive.Info;
  info.hDrive = Drive;
  std::memcpy(info.Description, vendor.Description, sizeof vendor.Description);
  std::memcpy(info.Firmware, vendor.Firmware, sizeof vendor.Firmware);
  std::memcpy(info.Serial, vendor.Serial, sizeof vendor.Serial);
  info.DriveType = vendor.DriveType;
  info.Column = vendor.Column;
  info.Row = vendor.Row;
  return 0;
}

uint32_t CDraventImpl::OpenCloseDrive(int32_t Drive, int32_t Open) {
  return CallBound(m_funcs.PTRobot_OpenCloseDrive, Drive, Open);
}

uint32_t CDraventImpl::SystemAction(int32_t Robot, int32_t Action) {
  return CallBound(m_funcs.PTRobot_SystemAction, Robot, Action);
}

uint32_t CDraventImpl::LoadDrive(int32_t Robot, int32_t Drive, int32_t FromLocation,
                                 int32_t ClearDrive) {
  return CallBound(m_funcs.PTRobot_LoadDrive, Robot, Drive, FromLocation, ClearDrive);
}

uint32_t CDraventImpl::UnLoadDrive(int32_t Robot, int32_t Drive, int32_t ToLocation) {
  return CallBound(m_funcs.PTRobot_UnLoadDrive, Robot, Drive, ToLocation);
}

uint32_t CDraventImpl::MoveDiscBetweenLocations(int32_t Robot, int32_t FromLocation,
                                                int32_t ToLocation) {
  return CallBound(m_funcs.PTRobot_MoveDiscBetweenLocations, Robot, FromLocation, ToLocation);
}

uint32_t CDraventImpl::LoadPrinter(int32_t Robot, int32_t FromLocation) {
  return CallBound(m_funcs.PTRobot_LoadPrinter, Robot, FromLocation);
}

uint32_t CDraventImpl::LoadPrinterFromDrive(int32_t Robot, int32_t Drive) {
  return CallBound(m_funcs.PTRobot_LoadPrinterFromDrive, Robot, Drive);
}

uint32_t CDraventImpl::UnLoadPrinter(int32_t Robot, int32_t ToLocation) {
  return CallBound(m_funcs.PTRobot_UnLoadPrinter, Robot, ToLocation);
}

uint32_t CDraventImpl::AddMergeFields(int32_t Robot, const char16_t* Field) {
  return CallBound(m_funcs.PTRobot_AddMergeFields, Robot, Field);
}

uint32_t CDraventImpl::PrintFileWithMerge2(int32_t Robot, const char16_t* File,
                                           int32_t ClearMergeList) {
  return CallBound(m_funcs.PTRobot_PrintFileWithMerge2, Robot, File, ClearMergeList);
}

uint32_t CDraventImpl::PrintFile(int32_t Robot, const char16_t* File, int32_t PrintIndex) {
  return CallBound(m_funcs.PTRobot_PrintFile, Robot, File, PrintIndex);
}

uint32_t CDraventImpl::ClearMergeList(int32_t Robot) {
  return CallBound(m_funcs.PTRobot_ClearMergeList, Robot);
}

uint32_t CDraventImpl::GetPrinterSettings(int32_t Robot, PrinterSettings* pPrinterSettings) {
  return CallBound(m_funcs.PTRobot_GetPrinterSettings, Robot, pPrinterSettings);
}

uint32_t CDraventImpl::SetPrinterSettings(int32_t Robot, const PrinterSettings* pPrinterSettings) {
  return CallBound(m_funcs.PTRobot_SetPrinterSettings, Robot, pPrinterSettings);
}

uint32_t CDraventImpl::GetErrorString(int32_t Robot, int32_t ErrorNum, char16_t* ErrorString,
                                      int32_t MaxLength, int32_t Language) {
  return CallBound(m_funcs.PTRobot_GetErrorString, Robot, ErrorNum, ErrorString, MaxLength,
                   Language);
}

uint32_t CDraventImpl::KillSystemError(int32_t Robot, int32_t ResetPrinter) {
  return CallBound(m_funcs.PTRobot_KillSystemError, Robot, ResetPrinter);
}

uint32_t CDraventImpl::GetRobotOptions(int32_t Robot, int32_t* RobotOptions) {
  return CallBound(m_funcs.PTRobot_GetRobotOptions, Robot, RobotOptions);
}

uint32_t CDraventImpl::SetRobotOptions(int32_t Robot, int32_t RobotOptions) {
  return CallBound(m_funcs.PTRobot_SetRobotOptions, Robot, RobotOptions);
}

uint32_t CDraventImpl::GetRobotStatus(int32_t Robot, RobotStatus* pRobotStatus) {
  return CallBound(m_funcs.PTRobot_GetRobotStatus, Robot, pRobotStatus);
}

uint32_t CDraventImpl::GetRobotStatus2(int32_t Robot, RobotStatus2* pRobotStatus2) {
  return CallBound(m_funcs.PTRobot_GetRobotStatus2, Robot, pRobotStatus2);
}

uint32_t CDraventImpl::GetSureThingPreview(const char16_t* SureThingFile,
                                           const char16_t* OutputFile, int32_t Resolution) {
  return CallBound(m_funcs.PTRobot_GetSureThingPreview, SureThingFile, OutputFile, Resolution);
}

uint32_t CDraventImpl::SetRoboticDrive(int32_t Robot, int32_t hDrive, const char16_t* tszSerial,
                                       uint32_t dwColIndex, uint32_t dwRowIndex) {
  if (tszSerial == nullptr) return ROBOTCTRL_NULL_ARGUMENT;
  if (m_funcs.PTRobot_SetRoboticDriveWithoutEnum == nullptr ||
      m_funcs.PTRobot_GetDriveSerialFromFlash == nullptr ||
      m_funcs.PTRobot_SetRoboticDrive == nullptr) {
    return ROBOTCTRL_BIND_FAILED;
  }
  QLOG(QLXSdk::LOG_INFO) << "SetRoboticDrive hDrive:" << Hex8{static_cast<uint32_t>(hDrive)}
                         << " tszSerial: " << WideText{tszSerial} << " dwColIndex: " << dwColIndex
                         << " dwRowIndex: " << dwRowIndex;
  const auto column = static_cast<int32_t>(dwColIndex);
  const auto row = static_cast<int32_t>(dwRowIndex);
  // The flash numbers the two rows of a column the other way round.
  const auto flashRow = static_cast<int32_t>(dwRowIndex ^ 1u);
  char16_t serial[kSerialCapacity];
  DriveSerialSchedule schedule;
  for (auto step = schedule.Next(); step != DriveSerialSchedule::Step::kDone;
       step = schedule.Next()) {
    if (step == DriveSerialSchedule::Step::kStartPass) {
      std::fill(std::begin(serial), std::end(serial), u'\0');
      m_funcs.PTRobot_SetRoboticDriveWithoutEnum(Robot, hDrive, tszSerial, column, row, 1);
    } else if (step == DriveSerialSchedule::Step::kWait) {
      std::this_thread::sleep_for(
          std::chrono::milliseconds(DriveSerialSchedule::kWaitMilliseconds));
    } else {
      const uint32_t result =
          m_funcs.PTRobot_GetDriveSerialFromFlash(Robot, column, flashRow, serial);
      if (result != 0) {
        QLOG(QLXSdk::LOG_ERROR) << "PTRobot_GetDriveSerialFromFlash fail error: " << result;
      } else if (SameText(serial, tszSerial)) {
        schedule.Matched();
      } else {
        QLOG(QLXSdk::LOG_ERROR) << "Serial is different: " << WideText{serial};
      }
    }
  }
  return m_funcs.PTRobot_SetRoboticDrive(Robot, hDrive, column, row);
}

uint32_t CDraventImpl::SetupDebugging(const char16_t* DbgFile, int32_t DbgLvl,
                                      const char16_t* TraceFile) {
  return CallBound(m_funcs.PTRobot_SetupDebugging, DbgFile, DbgLvl, TraceFile);
}

uint32_t CDraventImpl::SetOpenCloseFunction(PTOpenCloseFunction OpenCloseFunction) {
  return CallBound(m_funcs.PTRobot_SetOpenCloseFunction, OpenCloseFunction);
}

uint32_t CDraventImpl::MoveDiscBetweenDrives(int32_t Robot, int32_t hSrcDrive, int32_t hDstDrive) {
  if (PFN_MoveBD moveBD = BindMoveBD()) {
    char16_t root[20] = {};
    WriteDriveRoot(hSrcDrive, root);
    return moveBD(root);
  }
  const uint32_t result = UnLoadDrive(Robot, hSrcDrive, kTransferLocation);
  if (result != 0) return result;
  return LoadDrive(Robot, hDstDrive, kTransferLocation, 0);
}
