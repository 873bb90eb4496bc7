#include "host/Plugins.h"

#include "host/Cli.h"
#include "logging/Logger.h"
#include "platform/library.h"

namespace qlx::host {

std::string ProgramFolder() {
  std::string extension;
  std::string baseName;
  std::string folder;
  if (!QLXSdk::SplitModulePath(extension, baseName, folder)) return {};
  return folder;
}

void* LoadPluginExport(const std::string& file, const char* factory) {
  const std::string path = ProgramFolder() + file;
  platform::LibraryHandle library = platform::LoadLibraryAt(path);
  if (library == nullptr) throw JobError("cannot load " + path);
  void* address = platform::FindExport(library, factory);
  if (address == nullptr) throw JobError(path + " does not export " + factory);
  return address;
}

}  // namespace qlx::host
