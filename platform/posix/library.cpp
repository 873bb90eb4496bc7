#include "platform/library.h"

#include <dlfcn.h>

namespace qlx::platform {

LibraryHandle LoadLibraryAt(const std::string& path) {
  // A library built with $ORIGIN in its run path finds its dependencies next
  // to itself, which is what the altered search order gives on Windows.
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindExport(LibraryHandle library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return dlsym(library, name);
}

std::string ModulePathOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  return info.dli_fname;
}

}  // namespace qlx::platform
