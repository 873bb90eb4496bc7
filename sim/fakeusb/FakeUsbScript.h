#pragma once
// Script of timed device events for the fake libusb, read from the file named
// by QLX_FAKEUSB_SCRIPT. One statement per line; '#' starts a comment:
//
//   hotplug off                  capability reported (on by default)
//   device 04b4 8613 5           attached before monitoring starts
//   at 1500 attach 04b4 8613 7   1500 ms after the first libusb_init
//   at 3000 detach 7
//
// Vendor and product ids are hexadecimal (an optional 0x is accepted),
// addresses decimal 0-255, times milliseconds.
#include <cstdint>
#include <string>
#include <vector>

namespace fakeusb {

struct ScriptDevice {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint8_t address = 0;
};

struct ScriptEvent {
  long atMilliseconds = 0;
  bool attach = true;  // false: detach the device at device.address
  ScriptDevice device;
};

struct Script {
  bool hotplug = true;
  std::vector<ScriptDevice> initialDevices;
  std::vector<ScriptEvent> events;  // sorted by time, stable
};

// Parses a whole script. On a malformed line returns false and names the
// line in `error`.
bool ParseScript(const std::string& text, Script& script, std::string& error);

}  // namespace fakeusb
