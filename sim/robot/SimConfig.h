#pragma once
// Settings of the robot simulator, read once per process (keys in SimRobot.h).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qlx::sim {

struct SimConfig {
  int robots = 1;
  int drives = 2;
  std::vector<int32_t> robotHandles;                   // explicit handles, else generated
  std::map<int32_t, std::vector<int32_t>> driveLists;  // explicit drives per robot handle
  int inputDiscs = 100;
  int binCapacity = 100;
  uint32_t initResult = 0;
  int enumRobotsFailures = 0;
  int delayMs = 0;
  std::string delayFunction;
  std::string hangFunction;
  std::string exitFunction;
  std::string failFunction;
  uint32_t failResult = 0;
  int serialReads = 0;
  uint32_t moveBdResult = 0;
};

// The process's settings: QLX_SIM_<KEY> variables over the QLX_SIM_CONFIG file.
const SimConfig& Config();

// Parses "key = value" lines into `config`; unknown keys and bad lines are ignored.
void ApplyConfigText(const std::string& text, SimConfig& config);

// Applies one setting; false for an unknown key.
bool ApplyConfigValue(const std::string& key, const std::string& value, SimConfig& config);

// True when `function` is named by `list` ("*" or a comma-separated list of names).
bool NamesFunction(const std::string& list, const std::string& function);

}  // namespace qlx::sim
