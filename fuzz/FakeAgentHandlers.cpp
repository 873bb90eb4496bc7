// Handlers for fuzzing the agent's dispatch: each touches every buffer it
// is given, to its full size, so a buffer smaller than its kind promises is
// caught by the address sanitizer; texts are read up to their terminator.
#include <cstring>
#include <string>

#include "agent/AgentRpc.h"

namespace {

void Touch() {}

template <typename First, typename... Rest>
void Touch(First first, Rest... rest);

inline void TouchOne(int32_t) {}
inline void TouchOne(const char16_t* text) {
  if (text != nullptr) (void)std::char_traits<char16_t>::length(text);
}
inline void TouchOne(char16_t* text) {
  if (text != nullptr) text[0] = u'x';  // a capacity is at least 1
}
inline void TouchOne(int32_t* value) { *value = *value; }
template <typename Record>
void TouchOne(Record* record) {
  std::memset(static_cast<void*>(record), 0x5a, sizeof(Record));
}
template <typename Record>
void TouchOne(const Record* record) {
  volatile unsigned char sum = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(record);
  for (size_t i = 0; i < sizeof(Record); ++i) sum = sum + bytes[i];
}

template <typename First, typename... Rest>
void Touch(First first, Rest... rest) {
  TouchOne(first);
  Touch(rest...);
}

}  // namespace

#define FAKE_HANDLER(Number, Name, Params)                                        \
  int32_t Name(qlx::platform::RpcBinding hBinding AGENT_RPC_PARAMETERS(Params)) { \
    (void)hBinding;                                                               \
    Touch(0 AGENT_RPC_ARGUMENTS(Params));                                         \
    return Number;                                                                \
  }
AGENT_RPC_PROCEDURES(FAKE_HANDLER)
#undef FAKE_HANDLER
