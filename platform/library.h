#pragma once
// Run-time library loading: load a library by full path, look up exports by
// name, and find the file a loaded module came from. Libraries are never
// unloaded by their users, so no unload is offered.
#include <string>

namespace qlx::platform {

using LibraryHandle = void*;

// Loads the library at `path` with the altered search order: libraries it
// depends on are looked for next to it first. Null when it cannot be loaded.
LibraryHandle LoadLibraryAt(const std::string& path);

// Address of the export `name`, or null when the library lacks it.
void* FindExport(LibraryHandle library, const char* name);

// Full path of the file (executable or library) that contains `address`;
// empty when unknown. Used to find files next to a library itself.
std::string ModulePathOf(const void* address);

}  // namespace qlx::platform
