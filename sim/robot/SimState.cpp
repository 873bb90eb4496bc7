#include "sim/robot/SimState.h"

#include "platform/text.h"
#include "sim/robot/SimRobot.h"

namespace qlx::sim {
namespace {

std::u16string SerialOf(int robot, int drive, char letter) {
  char text[32];
  std::snprintf(text, sizeof text, "QXS%02d%c%04d", robot, letter, 1000 + 37 * drive + robot);
  return qlx::platform::Utf8ToUtf16(text);
}

bool IsBin(int32_t location) {
  return location == kLocationInputBin || location == kLocationOutputBin ||
         location == kLocationRejectBin;
}

}  // namespace

SimWorld::SimWorld(const SimConfig& config) : config_(config) {
  for (int r = 0; r < config.robots; ++r) {
    SimRobotUnit robot;
    robot.handle = RobotHandle(r);
    robot.inputBlanks = config.inputDiscs;
    for (int d = 0; d < config.drives; ++d) {
      SimDrive drive;
      drive.handle = DriveHandle(r, d, config.drives);
      drive.letter = DriveLetter(r, d, config.drives);
      drive.serial = SerialOf(r, d, drive.letter);
      robot.drives.push_back(drive);
    }
    robots_.push_back(robot);
    flashReads_.emplace_back(config.drives + 1, 0);
  }
}

SimRobotUnit* SimWorld::FindRobot(int32_t handle) {
  for (auto& robot : robots_) {
    if (robot.handle == handle) return &robot;
  }
  return nullptr;
}

SimDrive* SimWorld::FindDrive(SimRobotUnit& robot, int32_t handle) {
  for (auto& drive : robot.drives) {
    if (drive.handle == handle) return &drive;
  }
  return nullptr;
}

SimDrive* SimWorld::FindAnyDrive(int32_t handle, SimRobotUnit** owner) {
  for (auto& robot : robots_) {
    if (SimDrive* drive = FindDrive(robot, handle)) {
      if (owner) *owner = &robot;
      return drive;
    }
  }
  return nullptr;
}

uint32_t SimWorld::Take(SimRobotUnit& robot, int32_t location, Disc& disc) {
  switch (location) {
    case kLocationInputBin:
      if (!robot.input.empty()) {
        disc = robot.input.back();
        robot.input.pop_back();
        return 0;
      }
      if (robot.inputBlanks == 0) return kErrNoDiscAtSource;
      --robot.inputBlanks;
      disc = Disc{NextDiscId(), {}};
      return 0;
    case kLocationOutputBin:
    case kLocationRejectBin: {
      auto& bin = location == kLocationOutputBin ? robot.output : robot.reject;
      if (bin.empty()) return kErrNoDiscAtSource;
      disc = bin.back();
      bin.pop_back();
      return 0;
    }
    case kLocationPrinter:
      if (!robot.printerOccupied) return kErrNoDiscAtSource;
      disc = robot.printer;
      robot.printerOccupied = false;
      return 0;
    default:
      return kErrInvalidLocation;
  }
}

uint32_t SimWorld::CanPut(SimRobotUnit& robot, int32_t location) const {
  const auto capacity = static_cast<size_t>(config_.binCapacity);
  if (location == kLocationPrinter) return robot.printerOccupied ? kErrTargetOccupied : 0;
  if (!IsBin(location)) return kErrInvalidLocation;
  if (location == kLocationOutputBin && robot.output.size() >= capacity) return kErrBinFull;
  if (location == kLocationRejectBin && robot.reject.size() >= capacity) return kErrBinFull;
  return 0;
}

void SimWorld::Put(SimRobotUnit& robot, int32_t location, const Disc& disc) {
  if (location == kLocationPrinter) {
    robot.printer = disc;
    robot.printerOccupied = true;
  } else if (location == kLocationInputBin) {
    robot.input.push_back(disc);
  } else {
    (location == kLocationOutputBin ? robot.output : robot.reject).push_back(disc);
  }
}

std::u16string SimWorld::ReadFlashSerial(SimRobotUnit& robot, int32_t column, int32_t flashRow) {
  const int row = flashRow ^ 1;
  if (column != 0 || row < 0 || row >= static_cast<int>(robot.drives.size())) return {};
  const auto index = static_cast<size_t>(&robot - robots_.data());
  int& reads = flashReads_[index][static_cast<size_t>(row)];
  if (++reads <= config_.serialReads) return {};
  return robot.drives[static_cast<size_t>(row)].serial;
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
    case kErrTrayOpen:
      return u"The drive tray is open";
    case kErrEnumFailed:
      return u"Robot enumeration failed";
    case kErrInitFailed:
      return u"The robot library could not be initialised";
    case kErrFileNotFound:
      return u"Print file not found";
    default:
      return qlx::platform::Utf8ToUtf16("Unknown error " + std::to_string(code));
  }
}

}  // namespace qlx::sim
