#include "sim/robot/SimState.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/text.h"
#include "sim/robot/SimRobot.h"

namespace qlx::sim {
namespace {

constexpr int kFlashSlots = 10;  // columns and rows the flash memory holds

// Copies `text` into a fixed field of `capacity` code units, zero-terminated.
void CopyText(char16_t* field, size_t capacity, const std::u16string& text) {
  const size_t length = std::min(text.size(), capacity - 1);
  std::copy_n(text.data(), length, field);
  field[length] = u'\0';
}

template <size_t N>
void CopyText(char16_t (&field)[N], const std::u16string& text) {
  CopyText(field, N, text);
}

std::u16string Utf16(const std::string& text) { return qlx::platform::Utf8ToUtf16(text); }

bool IsBin(int32_t location) {
  return location == kLocationInputBin || location == kLocationOutputBin ||
         location == kLocationRejectBin;
}

// The discs of one of the robot's bins, top last.
std::vector<Disc>& BinDiscs(SimRobotUnit& robot, int32_t location) {
  return location == kLocationInputBin    ? robot.input
         : location == kLocationOutputBin ? robot.output
                                          : robot.reject;
}

// Debug files of the library: one line each time debugging is set up.
void TouchDebugFile(const char16_t* path, const std::string& line) {
  if (path == nullptr || *path == u'\0') return;
  std::string name = qlx::platform::Utf16ToUtf8(path);
  std::replace(name.begin(), name.end(), '\\', '/');
  std::ofstream(name, std::ios::app) << line << "\n";
}

}  // namespace

SimWorld::SimWorld(const SimConfig& config) : config_(config) {
  for (int r = 0; r < config.robots; ++r) {
    SimRobotUnit robot;
    robot.index = r;
    robot.handle = config.robotHandles.empty() ? RobotHandle(r) : config.robotHandles[r];
    robot.inputBlanks = config.inputDiscs;
    std::vector<int32_t> handles;
    if (config.driveLists.empty()) {
      for (int d = 0; d < config.drives; ++d) handles.push_back(DriveHandle(r, d, config.drives));
    } else if (config.driveLists.count(robot.handle)) {
      handles = config.driveLists.at(robot.handle);
    }
    for (size_t d = 0; d < handles.size(); ++d) {
      SimDrive drive;
      drive.handle = handles[d];
      drive.letter = static_cast<char>(handles[d] & 0xff);
      drive.position = static_cast<int>(d);
      drive.row = drive.position;
      drive.serial = DriveSerial(r, static_cast<int>(d), drive.letter);
      robot.drives.push_back(drive);
    }
    robot.flashReads.assign(kFlashSlots, 0);
    robots_.push_back(robot);
  }
}

uint32_t SimWorld::Initialize() {
  std::lock_guard<std::mutex> hold(lock_);
  initialized_ = config_.initResult == 0;
  return config_.initResult;
}

uint32_t SimWorld::Destroy() {
  std::lock_guard<std::mutex> hold(lock_);
  initialized_ = false;
  return 0;
}

uint32_t SimWorld::SetupDebugging(const char16_t* dbgFile, int32_t level,
                                  const char16_t* traceFile) {
  TouchDebugFile(dbgFile, "PTRobot simulator debug log, level " + std::to_string(level));
  TouchDebugFile(traceFile, "PTRobot simulator trace");
  return 0;
}

uint32_t SimWorld::SetApplicationID(int32_t) { return 0; }

uint32_t SimWorld::SetOpenCloseFunction(PTOpenCloseFunction function) {
  std::lock_guard<std::mutex> hold(lock_);
  openClose_ = function;
  return 0;
}

uint32_t SimWorld::Robot(int32_t handle, SimRobotUnit*& robot) {
  if (!initialized_) return kErrNotInitialized;
  for (auto& unit : robots_) {
    if (unit.handle == handle) {
      robot = &unit;
      return 0;
    }
  }
  return kErrInvalidRobot;
}

template <typename Act>
uint32_t SimWorld::OnRobot(int32_t handle, Act act) {
  std::lock_guard<std::mutex> hold(lock_);
  SimRobotUnit* robot = nullptr;
  if (const uint32_t error = Robot(handle, robot)) return error;
  return act(*robot);
}

uint32_t SimWorld::RobotDrive(int32_t robotHandle, int32_t driveHandle, SimRobotUnit*& robot,
                              SimDrive*& drive) {
  if (const uint32_t error = Robot(robotHandle, robot)) return error;
  for (auto& unit : robot->drives) {
    if (unit.handle == driveHandle) {
      drive = &unit;
      return 0;
    }
  }
  return kErrInvalidDrive;
}

uint32_t SimWorld::AnyDrive(int32_t handle, SimRobotUnit*& robot, SimDrive*& drive) {
  if (!initialized_) return kErrNotInitialized;
  for (auto& unit : robots_) {
    for (auto& candidate : unit.drives) {
      if (candidate.handle == handle) {
        robot = &unit;
        drive = &candidate;
        return 0;
      }
    }
  }
  return kErrInvalidDrive;
}

uint32_t SimWorld::EnumRobots(int32_t* robots, int32_t* count) {
  std::lock_guard<std::mutex> hold(lock_);
  if (robots == nullptr || count == nullptr) return kErrInvalidArgument;
  if (!initialized_) return kErrNotInitialized;
  if (enumerations_ < config_.enumRobotsFailures) {
    ++enumerations_;
    *count = 0;
    return kErrEnumFailed;
  }
  const auto found = static_cast<int32_t>(robots_.size());
  if (*count < found) {
    *count = found;
    return kErrBufferTooSmall;
  }
  for (int32_t i = 0; i < found; ++i) robots[i] = robots_[static_cast<size_t>(i)].handle;
  *count = found;
  return 0;
}

uint32_t SimWorld::EnumDrives(int32_t robotHandle, int32_t* drives, int32_t* count) {
  if (drives == nullptr || count == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    const auto found = static_cast<int32_t>(robot.drives.size());
    if (*count < found) {
      *count = found;
      return kErrBufferTooSmall;
    }
    for (int32_t i = 0; i < found; ++i) drives[i] = robot.drives[static_cast<size_t>(i)].handle;
    *count = found;
    return 0u;
  });
}

uint32_t SimWorld::EnumDrivesWithList(int32_t robotHandle, int32_t* drives, int32_t* count,
                                      char16_t* list, int32_t listLength) {
  if (list == nullptr || listLength <= 0) return kErrInvalidArgument;
  if (const uint32_t error = EnumDrives(robotHandle, drives, count)) return error;
  std::u16string letters;  // "D,E"
  for (int32_t i = 0; i < *count; ++i) {
    if (i) letters += u',';
    letters += static_cast<char16_t>(drives[i] & 0xff);
  }
  if (letters.size() >= static_cast<size_t>(listLength)) return kErrBufferTooSmall;
  CopyText(list, static_cast<size_t>(listLength), letters);
  return 0;
}

uint32_t SimWorld::SetRoboticDrive(int32_t robotHandle, int32_t driveHandle, int32_t column,
                                   int32_t row) {
  std::lock_guard<std::mutex> hold(lock_);
  SimRobotUnit* robot = nullptr;
  SimDrive* drive = nullptr;
  if (const uint32_t error = RobotDrive(robotHandle, driveHandle, robot, drive)) return error;
  if (column < 0 || column >= kFlashSlots || row < 0 || row >= kFlashSlots) {
    return kErrInvalidPosition;
  }
  drive->column = column;
  drive->row = row;
  return 0;
}

uint32_t SimWorld::SetRoboticDriveWithoutEnum(int32_t robotHandle, int32_t driveHandle,
                                              const char16_t* serial, int32_t column, int32_t row) {
  std::lock_guard<std::mutex> hold(lock_);
  if (serial == nullptr) return kErrInvalidArgument;
  SimRobotUnit* robot = nullptr;
  SimDrive* drive = nullptr;
  if (const uint32_t error = RobotDrive(robotHandle, driveHandle, robot, drive)) return error;
  if (column < 0 || column >= kFlashSlots || row < 0 || row >= kFlashSlots) {
    return kErrInvalidPosition;
  }
  drive->assignedSerial = serial;
  drive->column = column;
  drive->row = row;
  return 0;
}

uint32_t SimWorld::GetDriveSerialFromFlash(int32_t robotHandle, int32_t column, int32_t row,
                                           char16_t* serial) {
  if (serial == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    if (column < 0 || column >= kFlashSlots || row < 0 || row >= kFlashSlots) {
      return kErrInvalidPosition;
    }
    std::u16string found;
    // The flash records the drives where they sit, not where they are assigned,
    // and numbers the rows of each pair the other way round.
    const int position = row ^ 1;
    int& reads = robot.flashReads[static_cast<size_t>(row)];
    if (column == 0 && position < static_cast<int>(robot.drives.size()) &&
        ++reads > config_.serialReads) {
      found = robot.drives[static_cast<size_t>(position)].serial;
    }
    CopyText(serial, kSerialCapacity, found);
    return 0u;
  });
}

uint32_t SimWorld::SetRobotOptions(int32_t robotHandle, int32_t options) {
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    robot.options = options;
    return 0u;
  });
}

uint32_t SimWorld::GetRobotOptions(int32_t robotHandle, int32_t* options) {
  if (options == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    *options = robot.options;
    return 0u;
  });
}

uint32_t SimWorld::GetDriveInfo(int32_t driveHandle, DrvInfo* info) {
  std::lock_guard<std::mutex> hold(lock_);
  if (info == nullptr) return kErrInvalidArgument;
  SimRobotUnit* robot = nullptr;
  SimDrive* drive = nullptr;
  if (const uint32_t error = AnyDrive(driveHandle, robot, drive)) return error;
  std::memset(info, 0, sizeof *info);
  info->hDrive = drive->handle;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive->letter)));
  CopyText(info->Description, Utf16(std::string("QLX SIM DVDRW-24X (") + letter + ":)"));
  CopyText(info->Firmware, u"1.07");
  CopyText(info->Serial, drive->serial);
  info->DriveType = kDriveTypeDvdRecorder;
  info->Column = drive->column;
  info->Row = drive->row;
  return 0;
}

uint32_t SimWorld::GetDriveInfo2(int32_t driveHandle, DrvInfo2* info) {
  if (info == nullptr) return kErrInvalidArgument;
  if (const uint32_t error = GetDriveInfo(driveHandle, &info->Info)) return error;
  std::lock_guard<std::mutex> hold(lock_);
  SimRobotUnit* robot = nullptr;
  SimDrive* drive = nullptr;
  if (const uint32_t error = AnyDrive(driveHandle, robot, drive)) return error;
  std::memset(info->Extra, 0, sizeof info->Extra);
  CopyText(info->Extra, drive->occupied ? u"Disc loaded" : u"Empty");
  return 0;
}

uint32_t SimWorld::GetRobotInfo(int32_t robotHandle, RobotInfo* info) {
  if (info == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    std::memset(info, 0, sizeof *info);
    info->hRobot = robot.handle;
    CopyText(info->Model, u"QLX Disc Publisher SIM-4");
    info->RobotType = kRobotTypeSim;
    info->NumDrives = static_cast<int32_t>(robot.drives.size());
    info->NumBins = 3;
    info->NumPrinters = 1;
    info->DriveColumns = 1;
    info->DriveRows = info->NumDrives;
    CopyText(info->Firmware, u"SIM 2.10");
    info->Capabilities = kCapabilityPrinter | kCapabilityRejectBin;
    info->Options = robot.options;
    for (size_t i = 0; i < robot.drives.size() && i < 10; ++i) {
      info->Drives[i] = robot.drives[i].handle;
    }
    info->PrinterType = 1;
    return 0u;
  });
}

uint32_t SimWorld::GetRobotInfo2(int32_t robotHandle, RobotInfo2* info) {
  if (info == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    std::memset(info, 0, sizeof *info);
    info->hRobot = robot.handle;
    info->Values8[0] = static_cast<int32_t>(robot.drives.size());
    info->Values8[1] = 3;  // bins
    info->Values8[2] = 1;  // printers
    info->Values8[3] = config_.inputDiscs;
    info->Values8[4] = config_.binCapacity;
    info->Fields[0] = kRobotTypeSim;
    info->Fields[1] = robot.options;
    return 0u;
  });
}

uint32_t SimWorld::GetRobotStatus(int32_t robotHandle, RobotStatus* status) {
  if (status == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    std::memset(status, 0, sizeof *status);
    status->SystemState = kSystemStateIdle;
    status->InputBinCount = robot.inputBlanks + static_cast<int32_t>(robot.input.size());
    status->OutputBinCount = static_cast<int32_t>(robot.output.size());
    status->PrinterState = 0;
    status->DiscInPrinter = robot.printerOccupied ? 1 : 0;
    return 0u;
  });
}

uint32_t SimWorld::GetRobotStatus2(int32_t robotHandle, RobotStatus2* status) {
  if (status == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    std::memset(status, 0, sizeof *status);
    status->SystemState = kSystemStateIdle;
    status->BinsA[0] = robot.inputBlanks + static_cast<int32_t>(robot.input.size());
    status->BinsA[1] = static_cast<int32_t>(robot.output.size());
    status->BinsA[2] = static_cast<int32_t>(robot.reject.size());
    status->BinsB[0] = config_.inputDiscs;
    status->BinsB[1] = config_.binCapacity;
    status->BinsB[2] = config_.binCapacity;
    status->Flags[0] = robot.printerOccupied ? 'P' : '-';
    status->Values6[0] = robot.printed;
    status->Values6[1] = robot.lastAction;
    return 0u;
  });
}

uint32_t SimWorld::GetManufactureInfo(int32_t robotHandle, ManufactureInfo* info) {
  if (info == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    std::memset(info, 0, sizeof *info);
    char serial[16];
    std::snprintf(serial, sizeof serial, "QXR%07d", robot.index + 1);
    CopyText(info->SerialNumber, Utf16(serial));
    CopyText(info->ManufactureDate, u"2024-03-18");
    for (int i = 0; i < 20; ++i) info->Values[i] = i == 0 ? robot.index + 1 : 0;
    return 0u;
  });
}

uint32_t SimWorld::GetMediaInfo(int32_t robotHandle, DiscInfo* info) {
  if (info == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit&) {
    std::memset(info, 0, sizeof *info);
    CopyText(info->MediaType, u"DVD-R");
    CopyText(info->Manufacturer, u"QLX Media");
    return 0u;
  });
}

uint32_t SimWorld::LoadDrive(int32_t robotHandle, int32_t driveHandle, int32_t from,
                             int32_t clearDrive) {
  return MoveDisc(robotHandle, Place::Bin(from), Place::Drive(driveHandle), clearDrive != 0);
}

uint32_t SimWorld::UnLoadDrive(int32_t robotHandle, int32_t driveHandle, int32_t to) {
  return MoveDisc(robotHandle, Place::Drive(driveHandle), Place::BinOrPrinter(to));
}

uint32_t SimWorld::LoadPrinter(int32_t robotHandle, int32_t from) {
  return MoveDisc(robotHandle, Place::Bin(from), Place::Printer());
}

uint32_t SimWorld::LoadPrinterFromDrive(int32_t robotHandle, int32_t driveHandle) {
  return MoveDisc(robotHandle, Place::Drive(driveHandle), Place::Printer());
}

uint32_t SimWorld::UnLoadPrinter(int32_t robotHandle, int32_t to) {
  return MoveDisc(robotHandle, Place::Printer(), Place::Bin(to));
}

uint32_t SimWorld::MoveDiscBetweenLocations(int32_t robotHandle, int32_t from, int32_t to) {
  return MoveDisc(robotHandle, Place::Location(from), Place::Location(to));
}

// The checks run in a fixed order, which decides the error of a move that is
// wrong in several ways: robot, drives, location codes, source, target.
uint32_t SimWorld::MoveDisc(int32_t robotHandle, Place source, Place target, bool clearTarget) {
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    Spot from;
    Spot to;
    if (const uint32_t error = Find(robot, source, from)) return error;
    if (const uint32_t error = Find(robot, target, to)) return error;
    const bool sameLocation =
        from.drive == nullptr && to.drive == nullptr && from.location == to.location;
    if (!source.Accepts() || !target.Accepts() || sameLocation) return kErrInvalidLocation;
    if (const uint32_t error = CanTake(robot, from)) return error;
    if (clearTarget && to.drive != nullptr && to.drive->occupied) {
      if (const uint32_t error = Transfer(robot, to, Spot{kLocationRejectBin})) return error;
    }
    return Transfer(robot, from, to);
  });
}

bool SimWorld::Place::Accepts() const {
  switch (kind) {
    case Kind::kBin:
      return IsBin(value);
    case Kind::kBinOrPrinter:
      return IsBin(value) || value == kLocationPrinter;
    default:
      return true;
  }
}

// Drives are looked up on both ends before any location code is checked.
uint32_t SimWorld::Find(SimRobotUnit& robot, Place place, Spot& spot) const {
  if (place.kind != Place::Kind::kDrive) {
    spot.location = place.value;
    return 0;
  }
  for (auto& drive : robot.drives) {
    if (drive.handle == place.value) {
      spot.drive = &drive;
      return 0;
    }
  }
  return kErrInvalidDrive;
}

uint32_t SimWorld::Transfer(SimRobotUnit& robot, const Spot& from, const Spot& to) {
  if (const uint32_t error = CanTake(robot, from)) return error;
  if (const uint32_t error = CanPut(robot, to)) return error;
  Put(robot, to, Take(robot, from));
  return 0;
}

uint32_t SimWorld::CanTake(const SimRobotUnit& robot, const Spot& spot) const {
  if (spot.drive != nullptr) return spot.drive->occupied ? 0 : kErrNoDiscAtSource;
  switch (spot.location) {
    case kLocationInputBin:
      return robot.input.empty() && robot.inputBlanks == 0 ? kErrNoDiscAtSource : 0;
    case kLocationOutputBin:
      return robot.output.empty() ? kErrNoDiscAtSource : 0;
    case kLocationRejectBin:
      return robot.reject.empty() ? kErrNoDiscAtSource : 0;
    case kLocationPrinter:
      return robot.printerOccupied ? 0 : kErrNoDiscAtSource;
    default:
      return kErrInvalidLocation;
  }
}

uint32_t SimWorld::CanPut(const SimRobotUnit& robot, const Spot& spot) const {
  if (spot.drive != nullptr) return spot.drive->occupied ? kErrTargetOccupied : 0;
  const auto capacity = static_cast<size_t>(config_.binCapacity);
  switch (spot.location) {
    case kLocationInputBin:
      return robot.inputBlanks + robot.input.size() >=
                     std::max<size_t>(capacity, config_.inputDiscs)
                 ? kErrBinFull
                 : 0;
    case kLocationOutputBin:
      return robot.output.size() >= capacity ? kErrBinFull : 0;
    case kLocationRejectBin:
      return robot.reject.size() >= capacity ? kErrBinFull : 0;
    case kLocationPrinter:
      return robot.printerOccupied ? kErrTargetOccupied : 0;
    default:
      return kErrInvalidLocation;
  }
}

// The robot's arm closes a drive's tray whenever it takes or puts a disc there.
Disc SimWorld::Take(SimRobotUnit& robot, const Spot& spot) {
  if (spot.drive != nullptr) {
    spot.drive->occupied = false;
    spot.drive->trayOpen = false;
    return spot.drive->disc;
  }
  if (spot.location == kLocationPrinter) {
    robot.printerOccupied = false;
    return robot.printer;
  }
  if (spot.location == kLocationInputBin && robot.input.empty()) {
    --robot.inputBlanks;
    Disc blank;
    blank.id = ++lastDiscId_;
    return blank;
  }
  auto& bin = BinDiscs(robot, spot.location);
  const Disc disc = bin.back();
  bin.pop_back();
  return disc;
}

void SimWorld::Put(SimRobotUnit& robot, const Spot& spot, const Disc& disc) {
  if (spot.drive != nullptr) {
    spot.drive->disc = disc;
    spot.drive->occupied = true;
    spot.drive->trayOpen = false;
  } else if (spot.location == kLocationPrinter) {
    robot.printer = disc;
    robot.printerOccupied = true;
  } else {
    BinDiscs(robot, spot.location).push_back(disc);
  }
}

uint32_t SimWorld::OpenCloseDrive(int32_t driveHandle, int32_t open) {
  PTOpenCloseFunction tray = nullptr;
  {
    std::lock_guard<std::mutex> hold(lock_);
    SimRobotUnit* robot = nullptr;
    SimDrive* drive = nullptr;
    if (const uint32_t error = AnyDrive(driveHandle, robot, drive)) return error;
    drive->trayOpen = open != 0;
    tray = openClose_;
  }
  // The application's own tray routine, when it gave one, moves the tray.
  if (tray != nullptr) tray(driveHandle, open != 0 ? 1 : 0);
  return 0;
}

uint32_t SimWorld::SetPrintCopies(int32_t robotHandle, int32_t copies) {
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    if (copies < 1 || copies > kMaxCopies) return kErrInvalidArgument;
    robot.printerSettings.Copies = copies;
    return 0u;
  });
}

uint32_t SimWorld::Print(int32_t robotHandle, const char16_t* file, bool needsMergeFile,
                         const char16_t* mergeFile, bool clearMergeList) {
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    if (file == nullptr || (needsMergeFile && mergeFile == nullptr)) return kErrInvalidArgument;
    if (*file == u'\0' || (needsMergeFile && *mergeFile == u'\0')) return kErrFileNotFound;
    if (!robot.printerOccupied) return kErrPrinterEmpty;
    robot.printer.label = file;
    robot.printed += robot.printerSettings.Copies;
    if (clearMergeList) robot.mergeFields.clear();
    return 0u;
  });
}

uint32_t SimWorld::AddMergeFields(int32_t robotHandle, const char16_t* field) {
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    if (field == nullptr) return kErrInvalidArgument;
    robot.mergeFields.push_back(field);
    return 0u;
  });
}

uint32_t SimWorld::ClearMergeList(int32_t robotHandle) {
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    robot.mergeFields.clear();
    return 0u;
  });
}

uint32_t SimWorld::SetPrinterSettings(int32_t robotHandle, const PrinterSettings* settings) {
  if (settings == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    if (settings->PrintQuality < 0 || settings->PrintQuality > kMaxPrintQuality ||
        settings->Copies < 1 || settings->Copies > kMaxCopies) {
      return kErrInvalidArgument;
    }
    robot.printerSettings = *settings;
    return 0u;
  });
}

uint32_t SimWorld::GetPrinterSettings(int32_t robotHandle, PrinterSettings* settings) {
  if (settings == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    *settings = robot.printerSettings;
    return 0u;
  });
}

uint32_t SimWorld::SetPrinterSettings2(int32_t robotHandle, const PrinterSettings2* settings) {
  if (settings == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    robot.printerSettings2 = *settings;
    return 0u;
  });
}

uint32_t SimWorld::GetPrinterSettings2(int32_t robotHandle, PrinterSettings2* settings) {
  if (settings == nullptr) return kErrInvalidArgument;
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    *settings = robot.printerSettings2;
    return 0u;
  });
}

uint32_t SimWorld::KillSystemError(int32_t robotHandle, int32_t) {
  return OnRobot(robotHandle, [](SimRobotUnit&) { return 0u; });
}

uint32_t SimWorld::SystemAction(int32_t robotHandle, int32_t action) {
  return OnRobot(robotHandle, [&](SimRobotUnit& robot) {
    if (action < 0 || action > kMaxSystemAction) return kErrInvalidArgument;
    robot.lastAction = action;
    return 0u;
  });
}

SimWorld& World() {
  static SimWorld world(Config());
  return world;
}

std::u16string ErrorText(uint32_t code) {
  switch (code) {
    case 0:
      return u"No error";
    case kErrInvalidRobot:
      return u"Invalid robot handle";
    case kErrInvalidDrive:
      return u"Invalid drive handle";
    case kErrInvalidLocation:
      return u"Invalid disc location";
    case kErrInvalidArgument:
      return u"Invalid argument";
    case kErrInvalidPosition:
      return u"Invalid drive position";
    case kErrBufferTooSmall:
      return u"Buffer too small";
    case kErrNoDiscAtSource:
      return u"No disc at the source location";
    case kErrTargetOccupied:
      return u"The target location already holds a disc";
    case kErrBinFull:
      return u"The bin is full";
    case kErrPrinterEmpty:
      return u"No disc in the printer";
    case kErrEnumFailed:
      return u"Robot enumeration failed";
    case kErrNotInitialized:
      return u"The robot library is not initialized";
    case kErrFileNotFound:
      return u"Print file not found";
    case kErrInternal:
      return u"Internal error of the robot library";
    default:
      return Utf16("Unknown error " + std::to_string(code));
  }
}

}  // namespace qlx::sim
