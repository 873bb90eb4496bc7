#include "VelnorLoader.h"

#include <dlfcn.h>

namespace qlx::proxytest {

VelnorLibrary::VelnorLibrary(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) return;
#define VELNOR_RESOLVE(Name, Params, Args) \
  api_.Name = reinterpret_cast<PFN_##Name>(dlsym(handle_, #Name));
  PTROBOT_FUNCTIONS(VELNOR_RESOLVE)
#undef VELNOR_RESOLVE
  api_.PTRobot_InitializeEx =
      reinterpret_cast<decltype(api_.PTRobot_InitializeEx)>(dlsym(handle_, "PTRobot_InitializeEx"));
  api_.PTRobot_DestroyEx =
      reinterpret_cast<decltype(api_.PTRobot_DestroyEx)>(dlsym(handle_, "PTRobot_DestroyEx"));
}

void VelnorLibrary::Unload() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
  api_ = {};
}

}  // namespace qlx::proxytest
