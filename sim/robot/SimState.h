#pragma once
// The simulated robots of one process: discs in bins, drives and the printer,
// with the movement rules a real robot enforces.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/robot/SimConfig.h"

namespace qlx::sim {

struct Disc {
  int id = 0;
  std::u16string label;  // what was printed on it
};

struct SimDrive {
  int32_t handle = 0;
  char letter = 0;
  std::u16string serial;
  bool occupied = false;
  Disc disc;
  bool trayOpen = false;
  int32_t column = -1;  // assigned position, -1 until assigned
  int32_t row = -1;
};

struct SimRobotUnit {
  int32_t handle = 0;
  int inputBlanks = 0;
  std::vector<Disc> output;
  std::vector<Disc> reject;
  std::vector<Disc> input;  // discs put back on top of the blanks
  bool printerOccupied = false;
  Disc printer;
  std::vector<SimDrive> drives;
  int32_t options = 0;
  int32_t printCopies = 1;
  uint32_t lastError = 0;
  std::vector<std::u16string> mergeFields;
};

class SimWorld {
 public:
  explicit SimWorld(const SimConfig& config);

  std::mutex& Lock() { return lock_; }
  const SimConfig& Settings() const { return config_; }
  std::vector<SimRobotUnit>& Robots() { return robots_; }

  SimRobotUnit* FindRobot(int32_t handle);
  SimDrive* FindDrive(SimRobotUnit& robot, int32_t handle);
  // The robot that owns a drive handle, and the drive.
  SimDrive* FindAnyDrive(int32_t handle, SimRobotUnit** owner);

  // Takes the disc at a location into `disc`; a vendor error code on failure.
  uint32_t Take(SimRobotUnit& robot, int32_t location, Disc& disc);
  // Checks that `location` can receive a disc.
  uint32_t CanPut(SimRobotUnit& robot, int32_t location) const;
  void Put(SimRobotUnit& robot, int32_t location, const Disc& disc);

  // Serial the flash reports for (column, flash row), counting reads.
  std::u16string ReadFlashSerial(SimRobotUnit& robot, int32_t column, int32_t flashRow);

  int NextDiscId() { return ++lastDiscId_; }

 private:
  SimConfig config_;
  std::mutex lock_;
  std::vector<SimRobotUnit> robots_;
  std::vector<std::vector<int>> flashReads_;
  int lastDiscId_ = 0;
};

SimWorld& World();

// Error text of a vendor code of the simulator.
std::u16string ErrorText(uint32_t code);

}  // namespace qlx::sim
