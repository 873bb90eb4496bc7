#pragma once
// The disc types the disc-assignment plug-in knows, by the names the command
// line uses, and their capacity as the plug-in computes it (defaults in MiB,
// overridden by "assign_disc.ini" in the program folder).
#include <cstdint>
#include <string>

namespace qlx::host {

// 1 (CD) to 7 (BD128) for a name such as "DVD" or "bd25" (any case); 0 for
// an unknown name.
int32_t DiscTypeByName(const std::string& name);
// "CD", "DVD" ... for 1 to 7; empty otherwise.
std::string DiscTypeName(int32_t type);
// "CD|DVD|DVDDL|BD25|BD50|BD100|BD128", for help and error texts.
std::string DiscTypeChoices();
// Bytes per disc of `type`, reading "assign_disc.ini" from `folder` as the
// plug-in does; the default when the file is absent or a value is unusable.
uint64_t DiscCapacity(int32_t type, const std::string& folder);

}  // namespace qlx::host
