#pragma once
// The robot simulator that stands in for the vendor library PTRobot.dll in
// tests and in the demo. It exports the 43 vendor functions (agent/PTRobotApi.h)
// and keeps the state of its robots per process; this header holds what its
// users may rely on: handles, locations, codes, settings and the journal.
//
// Handles are the same in every process, since an agent receives handles that
// its client enumerated in another process:
//   robot i (0-based)            (i + 1) << 16
//   drive j of robot i           ((i + 1) << 16) | ((j + 1) << 8) | letter
// where letter is 'D' + (i * drives + j) % 23, so the low byte of a drive
// handle is its drive letter ('D', 'E', ... for robot 0). The settings may
// list handles instead (robots, drives below).
//
// Drive positions: drive j of a robot sits in column 0, row j, and is
// assigned there until PTRobot_SetRoboticDrive(WithoutEnum) assigns another
// position (0 to 9 each; PTRobot_GetDriveInfo reports it). The flash memory
// records where the drives sit, whatever position is assigned, and numbers
// the rows of each pair the other way round: the serial of drive j is read
// with PTRobot_GetDriveSerialFromFlash(robot, 0, j ^ 1). A flash position
// without a drive reads as an empty serial with result 0.
//
// Discs: the input bin starts with input_discs blank discs; the output and
// reject bins start empty. Bins are stacks: a disc put back on a bin is the
// next one taken from it. A move needs a disc at its source and room at its
// target, else it fails with a code below and changes nothing. Loading an
// occupied drive fails unless ClearDrive is nonzero, which first sends the
// drive's disc to the reject bin. Printing needs a disc in the printer.
// Every function but Initialize, Destroy, SetupDebugging, SetApplicationID,
// SetOpenCloseFunction, GetErrorString and GetSureThingPreview needs a
// successful PTRobot_Initialize in the process (kErrNotInitialized).
//
// Settings: environment variables QLX_SIM_<KEY> (key in upper case) or
// "key = value" lines in the file named by QLX_SIM_CONFIG ('#' starts a
// comment line); the environment wins. Read once per process, at the first call.
//   robots                number of robots (0 to 10, default 1), or a list of
//                         robot handles "1,2,3"
//   drives                drives per robot (0 to 10, default 2), or lists of drive
//                         handles per robot handle "1:101,70; 2:71" (robots not
//                         named have no drives; the low byte is the letter)
//   input_discs           blank discs in the input bin (default 100)
//   bin_capacity          capacity of the output and reject bins (default 100)
//   init_result           result of every PTRobot_Initialize (default 0)
//   enum_robots_failures  the first N PTRobot_EnumRobots calls fail with
//                         kErrEnumFailed and a count of 0 (default 0)
//   delay_ms              calls of delay_function sleep this long before acting
//   delay_function        function names, comma-separated, or "*" for all
//   hang_function         calls of these functions never return
//   exit_function         calls of these functions end the process at once, code 99
//   fail_function         calls of these functions return fail_result, doing nothing
//   fail_result           (default 0)
//   serial_reads          a flash position reports its serial from read N+1 on;
//                         earlier reads give an empty serial and result 0
//   movebd_result         result of PTBD.dll's MoveBD for a known drive (default 0)
// Faults apply after the call is journaled, in the order delay, exit, hang, fail.
//
// Call journal: when QLX_SIM_JOURNAL names a file, every call appends one line
// on entry (before any delay): "<pid> <Function>(<args>)", the arguments joined
// by ", ": integers in decimal, texts as UTF-8 in double quotes (line breaks
// written as \n and \r) or null, out pointers (records, arrays, counts, out
// texts) as out or null, in records as {v, v, ...} of their 32-bit fields,
// callbacks as fn or null. Each line is one write to an O_APPEND file, so
// lines of concurrent threads and processes never mix. PTBD.dll journals
// MoveBD the same way. sim/robot/SimJournal.h reads the journal back.
//
// PTBD.dll: MoveBD(u"X:") accepts the root of a drive of the configured robots
// ('a'-'z' read as upper case) and returns movebd_result; anything else gives
// kErrInvalidDrive (null: kErrInvalidArgument). It moves no simulated disc:
// the robots' state lives in whichever process loaded PTRobot.dll.
#include <cstdint>
#include <cstdio>
#include <string>

namespace qlx::sim {

// Disc locations (FromLocation / ToLocation arguments).
constexpr int32_t kLocationInputBin = 1;   // stack of blank discs
constexpr int32_t kLocationOutputBin = 2;  // finished discs
constexpr int32_t kLocationRejectBin = 3;  // discs cleared out of a drive
constexpr int32_t kLocationPrinter = 4;    // the label printer's tray (not for drive loads)

// Vendor error codes of the simulator (0 is success); all below 500, where
// the system's own codes begin.
constexpr uint32_t kErrInvalidRobot = 10;     // robot handle unknown
constexpr uint32_t kErrInvalidDrive = 11;     // drive handle unknown, or not of this robot
constexpr uint32_t kErrInvalidLocation = 12;  // location code unknown or not allowed here
constexpr uint32_t kErrInvalidArgument = 13;  // null pointer, value out of range
constexpr uint32_t kErrInvalidPosition = 14;  // drive column or row outside 0 to 9
constexpr uint32_t kErrBufferTooSmall = 15;   // count set to the number needed
constexpr uint32_t kErrNoDiscAtSource = 20;
constexpr uint32_t kErrTargetOccupied = 21;  // drive or printer already holds a disc
constexpr uint32_t kErrBinFull = 22;
constexpr uint32_t kErrPrinterEmpty = 23;
constexpr uint32_t kErrEnumFailed = 30;
constexpr uint32_t kErrNotInitialized = 31;
constexpr uint32_t kErrFileNotFound = 32;  // empty print file name
constexpr uint32_t kErrInternal = 99;

// Record values.
constexpr int32_t kRobotTypeSim = 7;
constexpr int32_t kDriveTypeDvdRecorder = 3;
constexpr int32_t kCapabilityPrinter = 0x1;
constexpr int32_t kCapabilityRejectBin = 0x2;
constexpr int32_t kSystemStateIdle = 0;
constexpr int32_t kMaxCopies = 999;
constexpr int32_t kMaxPrintQuality = 4;  // PrinterSettings.PrintQuality 0 to 4, default 2
constexpr int32_t kMaxSystemAction = 15;
constexpr size_t kSerialCapacity = 100;  // code units GetDriveSerialFromFlash may write

constexpr int kMaxRobots = 10;
constexpr int kMaxDrives = 10;

inline int32_t RobotHandle(int robot) { return (robot + 1) << 16; }
inline char DriveLetter(int robot, int drive, int drivesPerRobot) {
  return static_cast<char>('D' + (robot * drivesPerRobot + drive) % 23);
}
inline int32_t DriveHandle(int robot, int drive, int drivesPerRobot) {
  return RobotHandle(robot) | ((drive + 1) << 8) | DriveLetter(robot, drive, drivesPerRobot);
}
// Serial number of drive `drive` of robot `robot` (0-based) whose handle's
// low byte is `letter`, as PTRobot_GetDriveInfo and the flash report it.
inline std::u16string DriveSerial(int robot, int drive, char letter) {
  char text[32];
  std::snprintf(text, sizeof text, "QXS%02d%c%04d", robot % 100, letter,
                1000 + 37 * (drive % 100) + robot % 100);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

}  // namespace qlx::sim
