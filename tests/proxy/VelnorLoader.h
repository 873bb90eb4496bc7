#pragma once
// Loads a copy of Velnor.dll with dlopen and resolves its exports by name, the
// way the robot controller binds it. Unloading it ends the agents it started.
#include <string>

#include "agent/PTRobotApi.h"
#include "proxy/VelnorApi.h"

namespace qlx::proxytest {

struct VelnorApi {
#define VELNOR_FIELD(Name, Params, Args) PFN_##Name Name = nullptr;
  PTROBOT_FUNCTIONS(VELNOR_FIELD)
#undef VELNOR_FIELD
  uint32_t(QLX_CALL* PTRobot_InitializeEx)(int32_t) = nullptr;
  uint32_t(QLX_CALL* PTRobot_DestroyEx)(int32_t) = nullptr;
};

class VelnorLibrary {
 public:
  explicit VelnorLibrary(const std::string& path);
  ~VelnorLibrary() { Unload(); }
  VelnorLibrary(const VelnorLibrary&) = delete;
  VelnorLibrary& operator=(const VelnorLibrary&) = delete;

  bool Loaded() const { return handle_ != nullptr; }
  const VelnorApi& Api() const { return api_; }
  const VelnorApi* operator->() const { return &api_; }
  // dlclose; the library's agents are ended before it returns.
  void Unload();

 private:
  void* handle_ = nullptr;
  VelnorApi api_;
};

// One call the simulated vendor library received, from its journal.
struct JournalEntry {
  int pid = 0;
  std::string function;   // "PTRobot_GetRobotInfo"
  std::string arguments;  // the text between the parentheses
};

}  // namespace qlx::proxytest
