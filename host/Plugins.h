#pragma once
// Loading the plug-ins the way the disc-burning service does: by file name
// from the program folder (this executable's folder), then their one factory.
#include <string>

namespace qlx::host {

// This executable's folder with its trailing separator; empty when unknown.
std::string ProgramFolder();

// Loads `file` from the program folder and looks up its export `factory`.
// Throws JobError naming what is missing. Libraries stay loaded.
void* LoadPluginExport(const std::string& file, const char* factory);

template <typename Function>
Function LoadFactory(const std::string& file, const char* factory) {
  return reinterpret_cast<Function>(LoadPluginExport(file, factory));
}

}  // namespace qlx::host
