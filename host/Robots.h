#pragma once
// A robot controller from Dravent.dll, initialised on the direct path (the
// vendor library) or the Windows XP path (the proxy and one agent per robot),
// with vendor results turned into readable errors.
#include <cstdint>
#include <string>
#include <vector>

#include "host/Cli.h"
#include "robotctrl/IDravent.h"

namespace qlx::host {

enum class RobotPath { kPlatform, kDirect, kXp };

// The path chosen by --xp / --direct; the platform's version setting
// (QLX_WINDOWS_VERSION) decides when neither is given.
RobotPath RobotPathFrom(const ParsedArgs& args);

class RobotSession {
 public:
  // Loads Dravent.dll from the program folder, creates a controller and
  // initialises it. Throws JobError when any of that fails.
  explicit RobotSession(RobotPath path);

  IDravent& Controller() const { return *controller_; }
  bool OnXpPath() const { return xp_; }

  // Handles of the robots found (handles 0 are left out: the proxy does not
  // enumerate, so on the XP path the list is empty).
  std::vector<int32_t> Robots() const;
  // Drive handles of `robot`; on the XP path this also tells the proxy which
  // agent serves the drives.
  std::vector<int32_t> Drives(int32_t robot) const;
  RobotInfo Info(int32_t robot) const;

  // Throws JobError "<what>: <code text>" when `result` is not 0.
  void Check(uint32_t result, const std::string& what, int32_t robot = 0) const;
  // "error 1000 (PROXY_NO_AGENT: no agent could be used)" and the like, or
  // the vendor's own error string for its codes.
  std::string ErrorText(uint32_t result, int32_t robot) const;

 private:
  IDravent* controller_ = nullptr;
  bool xp_ = false;
};

// "0x00010000": how robot and drive handles are shown and accepted back.
std::string HandleText(int32_t handle);
// Parses a robot handle as shown by HandleText, or in decimal.
int32_t ParseHandle(const std::string& text, const std::string& what);
// Drive letter of a drive handle (its low byte), upper case.
char DriveLetter(int32_t drive);
// "E:" for a drive handle whose low byte is a letter, else its handle text.
std::string DriveName(int32_t drive);

// Disc locations of the robot by name ("input", "output", "printer", ...) or
// number. Throws UsageError for an unknown name.
int32_t ParseLocation(const std::string& text);
std::string LocationName(int32_t location);
std::string LocationChoices();

}  // namespace qlx::host
