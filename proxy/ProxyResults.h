#pragma once
// Result codes of the proxy's own; every other result is the vendor's, passed
// through the agent unchanged.
#include <cstdint>

namespace qlx::proxy {

// No agent could be used: robot handle 0, a drive no recorded list holds, or
// the agent could not be launched or bound.
constexpr uint32_t PROXY_NO_AGENT = 1000;
// A failure was raised while the call was under way (run time or memory), or
// a record, array, count or buffer pointer the call needs was null.
constexpr uint32_t PROXY_CALL_FAILED = 1001;
// The vendor function is not offered through the proxy.
constexpr uint32_t PROXY_NOT_SUPPORTED = 2000;

}  // namespace qlx::proxy
