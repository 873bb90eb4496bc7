// Stand-in of PTBD.dll: MoveBD moves the disc out of the drive whose root
// ("X:") it is given. The stand-in checks that the root names a drive of the
// simulated robots, journals the call as the robot simulator does, and
// answers with the configured result (see sim/robot/SimRobot.h).
#include <cstdint>

#include "platform/callconv.h"
#include "sim/robot/SimCall.h"
#include "sim/robot/SimConfig.h"
#include "sim/robot/SimRobot.h"

namespace {

using namespace qlx::sim;

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c; }

bool IsKnownLetter(char16_t letter) {
  const SimConfig& config = Config();
  for (int r = 0; r < config.robots; ++r) {
    if (config.driveLists.empty()) {
      for (int d = 0; d < config.drives; ++d) {
        if (letter == static_cast<char16_t>(DriveLetter(r, d, config.drives))) return true;
      }
    }
  }
  for (const auto& robot : config.driveLists) {
    for (const int32_t drive : robot.second) {
      if (letter == Upper(static_cast<char16_t>(drive & 0xff))) return true;
    }
  }
  return false;
}

uint32_t Move(const char16_t* root) {
  if (root == nullptr) return kErrInvalidArgument;
  if (root[0] == 0 || root[1] != u':' || root[2] != 0) return kErrInvalidDrive;
  return IsKnownLetter(Upper(root[0])) ? Config().moveBdResult : kErrInvalidDrive;
}

}  // namespace

extern "C" QLX_EXPORT uint32_t QLX_CALL MoveBD(const char16_t* DriveRoot) {
  try {
    if (const uint32_t injected = EnterCall("MoveBD", DriveRoot)) return injected;
    return Move(DriveRoot);
  } catch (...) {
    return kErrInternal;
  }
}
