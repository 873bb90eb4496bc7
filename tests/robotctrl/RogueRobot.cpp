// A vendor library that strains the controller's buffers: it reports 11
// robots when offered room for 10 (writing only the 10 it has room for) and
// reads serial numbers of the full 100 code units from the flash. Every other
// function succeeds without doing anything.
//
// Built a second time with ROGUE_LACK_SERIAL_FROM_FLASH, which renames the
// last vendor function so that the library lacks it.
#include <algorithm>

#include "agent/PTRobotApi.h"

namespace {

enum FunctionId {
#define ROGUE_ID(Name, Params, Args) Id_##Name,
  PTROBOT_FUNCTIONS(ROGUE_ID)
#undef ROGUE_ID
};

template <int Id>
struct Behaviour {
  template <typename... Args>
  static uint32_t Call(Args...) {
    return 0;
  }
};

template <>
struct Behaviour<Id_PTRobot_EnumRobots> {
  static uint32_t Call(int32_t* hRobots, int32_t* NumRobots) {
    const int32_t room = std::min(*NumRobots, 11);
    for (int32_t i = 0; i < room; ++i) hRobots[i] = 0x100 + i;
    *NumRobots = 11;
    return 0;
  }
};

template <>
struct Behaviour<Id_PTRobot_GetDriveSerialFromFlash> {
  static uint32_t Call(int32_t, int32_t, int32_t, char16_t* Serial) {
    std::fill(Serial, Serial + 100, u'7');
    Serial[100] = u'\0';
    return 0;
  }
};

}  // namespace

#define ROGUE_DEFINE(Name, Params, Args) \
  extern "C" uint32_t QLX_CALL Name Params { return Behaviour<Id_##Name>::Call Args; }
PTROBOT_FUNCTIONS(ROGUE_DEFINE)
#undef ROGUE_DEFINE
