#pragma once
// Server side of the agent interface: the dispatch generated from its
// definition, calling the handlers RPC_* that the agent program defines.
#include "platform/rpc.h"

namespace qlx::agent {

// The interface as the run time registers it.
const qlx::platform::RpcServerInterface& AgentServerInterface();

// Unmarshals a request body for `procedure`, runs its handler and appends the
// reply body to `reply`. kRpcOk, or the status of the fault to send instead
// (the handler is not run when the request is bad).
qlx::platform::RpcStatus DispatchAgentCall(uint32_t procedure, const uint8_t* request, size_t size,
                                           std::vector<uint8_t>& reply);

}  // namespace qlx::agent
