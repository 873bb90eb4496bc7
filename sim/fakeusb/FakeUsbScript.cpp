#include "sim/fakeusb/FakeUsbScript.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace fakeusb {
namespace {

bool ParseNumber(const std::string& word, int base, long max, long& value) {
  std::string digits = word;
  if (base == 16 && digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
    digits = digits.substr(2);
  if (digits.empty()) return false;
  char* end = nullptr;
  value = std::strtol(digits.c_str(), &end, base);
  return *end == '\0' && value >= 0 && value <= max && digits[0] != '-' && digits[0] != '+';
}

bool ParseDevice(std::istringstream& in, ScriptDevice& device) {
  std::string vendor, product, address;
  long v = 0, p = 0, a = 0;
  if (!(in >> vendor >> product >> address)) return false;
  if (!ParseNumber(vendor, 16, 0xFFFF, v) || !ParseNumber(product, 16, 0xFFFF, p) ||
      !ParseNumber(address, 10, 255, a))
    return false;
  device = {static_cast<uint16_t>(v), static_cast<uint16_t>(p), static_cast<uint8_t>(a)};
  return true;
}

bool ParseAddress(std::istringstream& in, ScriptDevice& device) {
  std::string address;
  long a = 0;
  if (!(in >> address) || !ParseNumber(address, 10, 255, a)) return false;
  device.address = static_cast<uint8_t>(a);
  return true;
}

bool ParseEvent(std::istringstream& in, ScriptEvent& event) {
  std::string time, verb;
  if (!(in >> time >> verb) || !ParseNumber(time, 10, 24L * 3600 * 1000, event.atMilliseconds))
    return false;
  if (verb == "attach") return ParseDevice(in, event.device);
  event.attach = false;
  return verb == "detach" && ParseAddress(in, event.device);
}

// One statement; false when malformed.
bool ParseLine(const std::string& line, Script& script) {
  std::istringstream in(line.substr(0, line.find('#')));
  std::string keyword;
  if (!(in >> keyword)) return true;
  bool ok = false;
  if (keyword == "hotplug") {
    std::string value;
    ok = (in >> value) && (value == "on" || value == "off");
    script.hotplug = value == "on";
  } else if (keyword == "device") {
    ScriptDevice device;
    ok = ParseDevice(in, device);
    script.initialDevices.push_back(device);
  } else if (keyword == "at") {
    ScriptEvent event;
    ok = ParseEvent(in, event);
    script.events.push_back(event);
  }
  std::string rest;
  return ok && !(in >> rest);
}

}  // namespace

bool ParseScript(const std::string& text, Script& script, std::string& error) {
  Script parsed;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!ParseLine(line, parsed)) {
      error = "line " + std::to_string(number) + ": cannot read \"" + line + "\"";
      return false;
    }
  }
  std::stable_sort(parsed.events.begin(), parsed.events.end(),
                   [](const ScriptEvent& a, const ScriptEvent& b) {
                     return a.atMilliseconds < b.atMilliseconds;
                   });
  script = parsed;
  return true;
}

}  // namespace fakeusb
