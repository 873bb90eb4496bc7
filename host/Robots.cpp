#include "host/Robots.h"

#include <cstdio>

#include "host/Plugins.h"
#include "host/Text.h"
#include "platform/console.h"
#include "platform/version.h"
#include "sim/robot/SimRobot.h"

namespace qlx::host {

namespace {

// Controllers live until the process ends (the interface frees none); kept
// here, in a list that is never destroyed, so that they stay reachable to
// the very end.
std::vector<IDravent*>* const gControllers = new std::vector<IDravent*>();

constexpr int32_t kMaxRobots = 10;
constexpr int32_t kMaxDrives = 10;
constexpr int32_t kErrorTextLength = 256;

// Codes of the system's own, which no vendor error string describes.
struct OwnCode {
  uint32_t code;
  const char* name;
  const char* meaning;
};
constexpr OwnCode kOwnCodes[] = {
    {500, "ROBOTCTRL_BIND_FAILED", "the robot library could not be loaded and bound"},
    {600, "ROBOTCTRL_NULL_ARGUMENT", "a required argument is missing"},
    {601, "ROBOTCTRL_BUFFER_TOO_SMALL", "more robots than the list can hold"},
    {1000, "PROXY_NO_AGENT", "no robot agent could be used"},
    {1001, "PROXY_CALL_FAILED", "the call to the robot agent failed"},
    {2000, "PROXY_NOT_SUPPORTED", "not offered on the Windows XP path"}};

struct LocationNameRow {
  const char* name;
  int32_t location;
};
// The robot library's location codes, as the simulator documents them.
constexpr LocationNameRow kLocations[] = {{"input", sim::kLocationInputBin},
                                          {"output", sim::kLocationOutputBin},
                                          {"reject", sim::kLocationRejectBin},
                                          {"printer", sim::kLocationPrinter}};

}  // namespace

RobotPath RobotPathFrom(const ParsedArgs& args) {
  if (args.Has("xp") && args.Has("direct")) throw UsageError("give --xp or --direct, not both");
  if (args.Has("xp")) return RobotPath::kXp;
  if (args.Has("direct")) return RobotPath::kDirect;
  return RobotPath::kPlatform;
}

RobotSession::RobotSession(RobotPath path) {
  // The controller asks the platform for the Windows version at Init; these
  // settings stand for running on Windows XP or on a later Windows.
  if (path == RobotPath::kXp) platform::SetEnvironmentVariable("QLX_WINDOWS_VERSION", "5.1");
  if (path == RobotPath::kDirect) platform::SetEnvironmentVariable("QLX_WINDOWS_VERSION", "10.0");
  auto create = LoadFactory<PFN_CreateDraventObj>("Dravent.dll", "CreateDraventObj");
  controller_ = create();
  if (controller_ == nullptr) throw JobError("Dravent.dll made no robot controller");
  gControllers->push_back(controller_);
  platform::WindowsVersion version;
  xp_ = platform::GetWindowsVersion(version) && version.platformId == platform::kPlatformWin32Nt &&
        version.major == 5 && version.minor == 1;
  const uint32_t result = controller_->Init();
  if (result != 0) {
    throw JobError("cannot initialise the robot library (" +
                   std::string(xp_ ? "Velnor.dll, Windows XP path" : "PTRobot.dll") +
                   "): " + ErrorText(result, 0));
  }
}

std::vector<int32_t> RobotSession::Robots() const {
  int32_t handles[kMaxRobots] = {};
  int32_t count = kMaxRobots;
  Check(controller_->EnumRobots(handles, &count), "cannot list the robots");
  std::vector<int32_t> robots;
  for (int32_t i = 0; i < count && i < kMaxRobots; ++i) {
    if (handles[i] != 0) robots.push_back(handles[i]);
  }
  return robots;
}

std::vector<int32_t> RobotSession::Drives(int32_t robot) const {
  int32_t handles[kMaxDrives] = {};
  int32_t count = kMaxDrives;
  Check(controller_->EnumDrives(robot, handles, &count),
        "cannot list the drives of robot " + HandleText(robot), robot);
  if (count < 0) count = 0;
  if (count > kMaxDrives) count = kMaxDrives;
  return std::vector<int32_t>(handles, handles + count);
}

RobotInfo RobotSession::Info(int32_t robot) const {
  RobotInfo info{};
  Check(controller_->GetRobotInfo(robot, &info), "cannot read robot " + HandleText(robot), robot);
  return info;
}

void RobotSession::Check(uint32_t result, const std::string& what, int32_t robot) const {
  if (result != 0) throw JobError(what + ": " + ErrorText(result, robot));
}

std::string RobotSession::ErrorText(uint32_t result, int32_t robot) const {
  const std::string number = "error " + std::to_string(result);
  for (const auto& own : kOwnCodes) {
    // 500 after a successful Init comes from an agent, not from the binding.
    if (own.code == result && !(result == 500 && robot != 0)) {
      return number + " (" + own.name + ": " + own.meaning + ")";
    }
  }
  if (controller_ != nullptr) {
    char16_t text[kErrorTextLength + 1] = {};
    if (controller_->GetErrorString(robot, static_cast<int32_t>(result), text, kErrorTextLength,
                                    0) == 0 &&
        text[0] != 0) {
      return number + " (" + FromUtf16(text, kErrorTextLength) + ")";
    }
  }
  return number;
}

std::string HandleText(int32_t handle) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(handle));
  return text;
}

int32_t ParseHandle(const std::string& text, const std::string& what) {
  return static_cast<int32_t>(ParseUnsigned32(text, what));
}

char DriveLetter(int32_t drive) {
  char letter = static_cast<char>(drive & 0xFF);
  return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
}

std::string DriveName(int32_t drive) {
  const char letter = DriveLetter(drive);
  if (letter >= 'A' && letter <= 'Z') return std::string(1, letter) + ":";
  return HandleText(drive);
}

int32_t ParseLocation(const std::string& text) {
  for (const auto& row : kLocations) {
    if (text == row.name) return row.location;
  }
  if (!text.empty() && text[0] >= '0' && text[0] <= '9') return ParseSigned32(text, "location");
  throw UsageError("location '" + text + "' is not a number or one of " + LocationChoices());
}

std::string LocationName(int32_t location) {
  for (const auto& row : kLocations) {
    if (row.location == location) return row.name;
  }
  return std::to_string(location);
}

std::string LocationChoices() {
  std::string choices;
  for (const auto& row : kLocations)
    choices += (choices.empty() ? "" : ", ") + std::string(row.name);
  return choices;
}

}  // namespace qlx::host
