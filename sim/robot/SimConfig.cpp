#include "sim/robot/SimConfig.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "sim/robot/SimRobot.h"

namespace qlx::sim {
namespace {

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

int ToInt(const std::string& value, int low, int high) {
  const long number = std::strtol(value.c_str(), nullptr, 0);
  return static_cast<int>(std::clamp<long>(number, low, high));
}

uint32_t ToCode(const std::string& value) {
  return static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 0));
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) {
    part = Trim(part);
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

std::vector<int32_t> Handles(const std::string& list, size_t limit) {
  std::vector<int32_t> handles;
  for (const std::string& item : Split(list, ',')) {
    if (handles.size() < limit) handles.push_back(static_cast<int32_t>(ToCode(item)));
  }
  return handles;
}

// "robots = 3" is a count; "robots = 1,2,3" lists the handles.
void ApplyRobots(const std::string& value, SimConfig& config) {
  if (value.find(',') == std::string::npos) {
    config.robots = ToInt(value, 0, kMaxRobots);
    config.robotHandles.clear();
    return;
  }
  config.robotHandles = Handles(value, kMaxRobots);
  config.robots = static_cast<int>(config.robotHandles.size());
}

// "drives = 2" is a count per robot; "drives = 1:101,70; 2:69" lists the
// drive handles of robots by robot handle (robots not named get no drives).
void ApplyDrives(const std::string& value, SimConfig& config) {
  if (value.find(':') == std::string::npos) {
    config.drives = ToInt(value, 0, kMaxDrives);
    config.driveLists.clear();
    return;
  }
  config.driveLists.clear();
  for (const std::string& group : Split(value, ';')) {
    const auto colon = group.find(':');
    if (colon == std::string::npos) continue;
    const auto robot = static_cast<int32_t>(ToCode(Trim(group.substr(0, colon))));
    config.driveLists[robot] = Handles(group.substr(colon + 1), kMaxDrives);
  }
}

const char* const kKeys[] = {"robots",        "drives",         "input_discs",
                             "bin_capacity",  "init_result",    "enum_robots_failures",
                             "delay_ms",      "delay_function", "hang_function",
                             "exit_function", "fail_function",  "fail_result",
                             "serial_reads",  "movebd_result"};

SimConfig Load() {
  SimConfig config;
  if (const char* file = std::getenv("QLX_SIM_CONFIG")) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    ApplyConfigText(text.str(), config);
  }
  for (const char* key : kKeys) {
    std::string name = "QLX_SIM_" + std::string(key);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (const char* value = std::getenv(name.c_str())) ApplyConfigValue(key, Trim(value), config);
  }
  return config;
}

}  // namespace

bool ApplyConfigValue(const std::string& key, const std::string& value, SimConfig& config) {
  if (key == "robots") {
    ApplyRobots(value, config);
  } else if (key == "drives") {
    ApplyDrives(value, config);
  } else if (key == "input_discs") {
    config.inputDiscs = ToInt(value, 0, 100000);
  } else if (key == "bin_capacity") {
    config.binCapacity = ToInt(value, 1, 100000);
  } else if (key == "init_result") {
    config.initResult = ToCode(value);
  } else if (key == "enum_robots_failures") {
    config.enumRobotsFailures = ToInt(value, 0, 1000000);
  } else if (key == "delay_ms") {
    config.delayMs = ToInt(value, 0, 3600000);
  } else if (key == "delay_function") {
    config.delayFunction = value;
  } else if (key == "hang_function") {
    config.hangFunction = value;
  } else if (key == "exit_function") {
    config.exitFunction = value;
  } else if (key == "fail_function") {
    config.failFunction = value;
  } else if (key == "fail_result") {
    config.failResult = ToCode(value);
  } else if (key == "serial_reads") {
    config.serialReads = ToInt(value, 0, 1000000);
  } else if (key == "movebd_result") {
    config.moveBdResult = ToCode(value);
  } else {
    return false;
  }
  return true;
}

void ApplyConfigText(const std::string& text, SimConfig& config) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const auto equals = line.find('=');
    if (equals == std::string::npos || Trim(line).rfind('#', 0) == 0) continue;
    ApplyConfigValue(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), config);
  }
}

bool NamesFunction(const std::string& list, const std::string& function) {
  for (const std::string& name : Split(list, ',')) {
    if (name == "*" || name == function) return true;
  }
  return false;
}

const SimConfig& Config() {
  static const SimConfig config = Load();
  return config;
}

}  // namespace qlx::sim
