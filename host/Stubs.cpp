#include "host/Commands.h"
namespace qlx::host {
Command RobotCommand() { return {"robot", "drive robots through Dravent.dll", "", {}, nullptr}; }
Command PublishCommand() {
  return {"publish", "plan discs and publish them on a robot", "", {}, nullptr};
}
Command UsbCommand() { return {"usb", "watch USB devices arrive and leave", "", {}, nullptr}; }
}  // namespace qlx::host
