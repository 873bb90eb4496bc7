#pragma once
// The simulated robots of one process: discs in bins, drives and the printer,
// with the movement rules a real robot enforces. Every operation takes the one
// lock, so the vendor functions may be entered from any number of threads.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "agent/PTRobotApi.h"
#include "sim/robot/SimConfig.h"
#include "sim/robot/SimRobot.h"

namespace qlx::sim {

struct Disc {
  int id = 0;
  std::u16string label;  // the file last printed on it
};

struct SimDrive {
  int32_t handle = 0;
  char letter = 0;
  int position = 0;  // physical row in the robot's one drive column
  std::u16string serial;
  bool occupied = false;
  Disc disc;
  bool trayOpen = false;
  int32_t column = 0;  // the position the application assigned
  int32_t row = 0;
  std::u16string assignedSerial;  // from PTRobot_SetRoboticDriveWithoutEnum
};

struct SimRobotUnit {
  int32_t handle = 0;
  int index = 0;
  int inputBlanks = 0;
  std::vector<Disc> input;  // discs put back on top of the blanks
  std::vector<Disc> output;
  std::vector<Disc> reject;
  bool printerOccupied = false;
  Disc printer;
  std::vector<SimDrive> drives;
  std::vector<int> flashReads;  // per flash row of column 0
  int32_t options = 0;
  PrinterSettings printerSettings{2, 1, 0};
  PrinterSettings2 printerSettings2{};
  std::vector<std::u16string> mergeFields;
  int32_t lastAction = 0;
  int printed = 0;
};

class SimWorld {
 public:
  explicit SimWorld(const SimConfig& config);

  uint32_t Initialize();
  uint32_t Destroy();
  uint32_t SetupDebugging(const char16_t* dbgFile, int32_t level, const char16_t* traceFile);
  uint32_t SetApplicationID(int32_t appId);
  uint32_t SetOpenCloseFunction(PTOpenCloseFunction function);
  uint32_t EnumRobots(int32_t* robots, int32_t* count);
  uint32_t EnumDrives(int32_t robot, int32_t* drives, int32_t* count);
  uint32_t EnumDrivesWithList(int32_t robot, int32_t* drives, int32_t* count, char16_t* list,
                              int32_t listLength);
  uint32_t SetRoboticDrive(int32_t robot, int32_t drive, int32_t column, int32_t row);
  uint32_t SetRoboticDriveWithoutEnum(int32_t robot, int32_t drive, const char16_t* serial,
                                      int32_t column, int32_t row);
  uint32_t GetDriveSerialFromFlash(int32_t robot, int32_t column, int32_t row, char16_t* serial);
  uint32_t SetRobotOptions(int32_t robot, int32_t options);
  uint32_t GetRobotOptions(int32_t robot, int32_t* options);
  uint32_t GetDriveInfo(int32_t drive, DrvInfo* info);
  uint32_t GetDriveInfo2(int32_t drive, DrvInfo2* info);
  uint32_t GetRobotInfo(int32_t robot, RobotInfo* info);
  uint32_t GetRobotInfo2(int32_t robot, RobotInfo2* info);
  uint32_t GetRobotStatus(int32_t robot, RobotStatus* status);
  uint32_t GetRobotStatus2(int32_t robot, RobotStatus2* status);
  uint32_t GetManufactureInfo(int32_t robot, ManufactureInfo* info);
  uint32_t GetMediaInfo(int32_t robot, DiscInfo* info);

  uint32_t LoadDrive(int32_t robot, int32_t drive, int32_t from, int32_t clearDrive);
  uint32_t UnLoadDrive(int32_t robot, int32_t drive, int32_t to);
  uint32_t LoadPrinter(int32_t robot, int32_t from);
  uint32_t LoadPrinterFromDrive(int32_t robot, int32_t drive);
  uint32_t UnLoadPrinter(int32_t robot, int32_t to);
  uint32_t MoveDiscBetweenLocations(int32_t robot, int32_t from, int32_t to);
  uint32_t OpenCloseDrive(int32_t drive, int32_t open);

  uint32_t SetPrintCopies(int32_t robot, int32_t copies);
  // Prints `file` on the disc in the printer; `mergeFile` (may be null) and
  // the merge list fill its fields; `clearMergeList` empties the list after.
  uint32_t Print(int32_t robot, const char16_t* file, bool needsMergeFile,
                 const char16_t* mergeFile, bool clearMergeList);
  uint32_t AddMergeFields(int32_t robot, const char16_t* field);
  uint32_t ClearMergeList(int32_t robot);
  uint32_t SetPrinterSettings(int32_t robot, const PrinterSettings* settings);
  uint32_t GetPrinterSettings(int32_t robot, PrinterSettings* settings);
  uint32_t SetPrinterSettings2(int32_t robot, const PrinterSettings2* settings);
  uint32_t GetPrinterSettings2(int32_t robot, PrinterSettings2* settings);
  uint32_t KillSystemError(int32_t robot, int32_t resetPrinter);
  uint32_t SystemAction(int32_t robot, int32_t action);

 private:
  // Finds an initialised robot, or gives the error code.
  uint32_t Robot(int32_t handle, SimRobotUnit*& robot);
  // Finds the robot under the lock and gives what `act(SimRobotUnit&)` gives.
  template <typename Act>
  uint32_t OnRobot(int32_t handle, Act act);
  uint32_t RobotDrive(int32_t robotHandle, int32_t driveHandle, SimRobotUnit*& robot,
                      SimDrive*& drive);
  uint32_t AnyDrive(int32_t handle, SimRobotUnit*& robot, SimDrive*& drive);

  // One end of a disc move as an operation names it: one of the robot's
  // drives, or a location code of a kind the operation accepts there.
  struct Place {
    enum class Kind { kDrive, kBin, kBinOrPrinter, kAnyLocation };
    Kind kind;
    int32_t value;  // drive handle or location code

    static Place Drive(int32_t handle) { return {Kind::kDrive, handle}; }
    static Place Bin(int32_t location) { return {Kind::kBin, location}; }
    static Place BinOrPrinter(int32_t location) { return {Kind::kBinOrPrinter, location}; }
    static Place Printer() { return {Kind::kBinOrPrinter, kLocationPrinter}; }
    // Unknown codes are refused when the disc is taken or put.
    static Place Location(int32_t location) { return {Kind::kAnyLocation, location}; }

    bool Accepts() const;  // the location code is of the kind asked for
  };
  // An end found on the robot: a drive, or else a location code.
  struct Spot {
    int32_t location = 0;
    SimDrive* drive = nullptr;
  };

  // Moves one disc of robot `robotHandle` from `source` to `target`, checking
  // both ends; a failed move changes nothing. With `clearTarget`, a disc in the
  // target drive goes to the reject bin first.
  uint32_t MoveDisc(int32_t robotHandle, Place source, Place target, bool clearTarget = false);
  uint32_t Find(SimRobotUnit& robot, Place place, Spot& spot) const;
  uint32_t Transfer(SimRobotUnit& robot, const Spot& from, const Spot& to);
  uint32_t CanTake(const SimRobotUnit& robot, const Spot& spot) const;
  uint32_t CanPut(const SimRobotUnit& robot, const Spot& spot) const;
  Disc Take(SimRobotUnit& robot, const Spot& spot);
  void Put(SimRobotUnit& robot, const Spot& spot, const Disc& disc);

  SimConfig config_;
  std::mutex lock_;
  std::vector<SimRobotUnit> robots_;
  bool initialized_ = false;
  int enumerations_ = 0;
  int lastDiscId_ = 0;
  PTOpenCloseFunction openClose_ = nullptr;
};

// The process's robots, made from Config() at first use.
SimWorld& World();

// Error text of a vendor code of the simulator.
std::u16string ErrorText(uint32_t code);

}  // namespace qlx::sim
