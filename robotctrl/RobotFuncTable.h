#pragma once
// The vendor functions a robot controller calls, one entry per function of
// the vendor library in binding order, each null until InitFunc binds it.
#include "agent/PTRobotApi.h"

struct RobotFuncTable {
#define ROBOTCTRL_TABLE_ENTRY(Name, Params, Args) PFN_##Name Name = nullptr;
  PTROBOT_FUNCTIONS(ROBOTCTRL_TABLE_ENTRY)
#undef ROBOTCTRL_TABLE_ENTRY
};
static_assert(sizeof(RobotFuncTable) == kPTRobotFunctionCount * sizeof(void*),
              "one entry per vendor function");
