#pragma once
// The robot simulator that stands in for the vendor library PTRobot.dll in
// tests and in the demo. It exports the 43 vendor functions (agent/PTRobotApi.h)
// and keeps the state of its robots per process.
//
// Handles are the same in every process, since an agent receives handles that
// its client enumerated in another process:
//   robot i (0-based)            (i + 1) << 16
//   drive j of robot i           ((i + 1) << 16) | ((j + 1) << 8) | letter
// where letter is 'D' + (i * drives + j) % 23, so the low byte of a drive
// handle is its drive letter. Drive j of a robot sits at column 0, row j; the
// robot's flash memory numbers its rows with the lowest bit inverted, so the
// serial of the drive in row r is read from flash row r ^ 1.
//
// Configuration: environment variables QLX_SIM_<KEY> (key in upper case) or
// "key = value" lines in the file named by QLX_SIM_CONFIG; the environment wins.
// Read once per process, at the first call.
//   robots                number of robots (0 to 10, default 1)
//   drives                drives per robot (0 to 10, default 2)
//   input_discs           blank discs in each input bin (default 100)
//   bin_capacity          capacity of the output and reject bins (default 100)
//   init_result           result of PTRobot_Initialize (default 0)
//   enum_robots_failures  the first N PTRobot_EnumRobots calls fail (default 0)
//   delay_ms              calls of delay_function ("*": every call) sleep this long
//   delay_function
//   hang_function         calls of this function never return
//   exit_function         calls of this function end the process with code 99
//   serial_reads          a flash position reports its serial from read N+1 on;
//                         earlier reads give an empty serial and result 0
//
// Call journal: when QLX_SIM_JOURNAL names a file, every call appends one line
// on entry (before any delay): "<pid> <Function>(<args>)", the arguments joined
// by ", ": integers in decimal, texts as "UTF-8" in double quotes or null, out
// pointers as out (null when null), in records as {v, v, ...} of their 32-bit
// fields, callbacks as fn. Each line is one write to an O_APPEND file, so lines
// of concurrent threads and processes never mix. PTBD.dll journals the same way.
#include <cstdint>

namespace qlx::sim {

// Disc locations (FromLocation / ToLocation arguments).
constexpr int32_t kLocationInputBin = 1;   // stack of blank discs
constexpr int32_t kLocationOutputBin = 2;  // finished discs
constexpr int32_t kLocationRejectBin = 3;  // discs cleared out of a drive
constexpr int32_t kLocationPrinter = 4;    // the label printer's tray

// Vendor error codes of the simulator (0 is success).
constexpr uint32_t kErrInvalidRobot = 10;
constexpr uint32_t kErrInvalidDrive = 11;
constexpr uint32_t kErrInvalidLocation = 12;
constexpr uint32_t kErrInvalidArgument = 13;
constexpr uint32_t kErrInvalidPosition = 14;
constexpr uint32_t kErrBufferTooSmall = 15;
constexpr uint32_t kErrNoDiscAtSource = 20;
constexpr uint32_t kErrTargetOccupied = 21;
constexpr uint32_t kErrBinFull = 22;
constexpr uint32_t kErrPrinterEmpty = 23;
constexpr uint32_t kErrTrayOpen = 24;
constexpr uint32_t kErrEnumFailed = 30;
constexpr uint32_t kErrInitFailed = 31;
constexpr uint32_t kErrFileNotFound = 32;

constexpr int kMaxRobots = 10;
constexpr int kMaxDrives = 10;

inline int32_t RobotHandle(int robot) { return (robot + 1) << 16; }
inline char DriveLetter(int robot, int drive, int drivesPerRobot) {
  return static_cast<char>('D' + (robot * drivesPerRobot + drive) % 23);
}
inline int32_t DriveHandle(int robot, int drive, int drivesPerRobot) {
  return RobotHandle(robot) | ((drive + 1) << 8) | DriveLetter(robot, drive, drivesPerRobot);
}

}  // namespace qlx::sim
