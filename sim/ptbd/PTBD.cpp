// Stand-in of PTBD.dll: MoveBD moves the disc out of the drive whose root
// ("X:") it is given. The stand-in only checks the argument and journals the
// call like the robot simulator does.
#include <cstdint>

#include "platform/callconv.h"
#include "sim/robot/SimJournal.h"
#include "sim/robot/SimRobot.h"

namespace {

bool IsDriveRoot(const char16_t* root) {
  return root != nullptr && root[0] >= u'A' && root[0] <= u'Z' && root[1] == u':' && root[2] == 0;
}

}  // namespace

extern "C" QLX_EXPORT uint32_t QLX_CALL MoveBD(const char16_t* DriveRoot) {
  qlx::sim::EnterCall(__func__, DriveRoot);
  return IsDriveRoot(DriveRoot) ? 0 : qlx::sim::kErrInvalidDrive;
}
