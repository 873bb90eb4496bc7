#pragma once
// The exports of Velnor.dll beyond the vendor's 43 names: the vendor library's
// start and end of life in one robot's agent.
#include <cstdint>

#include "agent/PTRobotApi.h"

extern "C" {
// Initialises the vendor library once more in the robot's agent (starting
// the agent when it has none).
QLX_EXPORT uint32_t QLX_CALL PTRobot_InitializeEx(int32_t Robot);
// Ends the vendor library in the robot's agent, then ends the agent whatever
// the result; the next call for the robot starts a new one.
QLX_EXPORT uint32_t QLX_CALL PTRobot_DestroyEx(int32_t Robot);
}
