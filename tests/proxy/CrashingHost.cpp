// A host program for the proxy tests: loads the Velnor.dll named by
// VELNOR_PATH, makes one call for the simulator's first robot (which starts an
// agent), writes the result to the file named by HOST_READY, then waits to be
// killed.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>

#include "agent/PTRobotApi.h"

int main() {
  const char* library = std::getenv("VELNOR_PATH");
  const char* ready = std::getenv("HOST_READY");
  if (library == nullptr || ready == nullptr) return 2;
  void* velnor = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  auto getRobotInfo =
      velnor ? reinterpret_cast<PFN_PTRobot_GetRobotInfo>(dlsym(velnor, "PTRobot_GetRobotInfo"))
             : nullptr;
  if (getRobotInfo == nullptr) return 3;
  RobotInfo info{};
  const uint32_t result = getRobotInfo(1 << 16, &info);
  std::ofstream(ready) << result << "\n";
  for (;;) pause();
}
