// Fuzzes what the agent's server does with a received message: the framing
// and identity checks of the run time, then unmarshalling and dispatch of
// the agent interface (with handlers that touch every buffer they get).
// Input: a whole message, header included. Half of the runs get a valid
// header in front of the input, so the body parsers are reached often.
#include <cstdint>
#include <cstring>
#include <vector>

#include "agent/AgentServer.h"
#include "platform/posix/rpc_transport.h"

using namespace qlx::platform;
using namespace qlx::platform::rpc_internal;

namespace {

void Serve(const uint8_t* message, size_t size) {
  WireHeader header;
  RpcStatus fault = kRpcOk;
  const RpcServerInterface& iface = qlx::agent::AgentServerInterface();
  if (CheckRequest(message, size, iface, header, fault) != RequestVerdict::kDispatch) return;
  std::vector<uint8_t> reply;
  iface.dispatch(header.procedure, message + sizeof header, header.bodySize, reply);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0 && (data[0] & 1) != 0) {
    // First byte: procedure; the rest: body.
    WireHeader header{};
    header.magic = kWireMagic;
    header.type = kWireRequest;
    header.procedure = data[0] >> 1;
    header.bodySize = static_cast<uint32_t>(size - 1);
    header.iface = qlx::agent::AgentServerInterface().id;
    std::vector<uint8_t> message(sizeof header + size - 1);
    std::memcpy(message.data(), &header, sizeof header);
    std::memcpy(message.data() + sizeof header, data + 1, size - 1);
    Serve(message.data(), message.size());
  } else {
    Serve(data, size);
  }
  return 0;
}
