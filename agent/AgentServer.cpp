// Server dispatch of the agent interface, generated from its definition.
#include "agent/AgentServer.h"

#include "agent/AgentMarshal.h"
#include "agent/AgentRpc.h"

namespace qlx::agent {

qlx::platform::RpcStatus DispatchAgentCall(uint32_t procedure, const uint8_t* request, size_t size,
                                           std::vector<uint8_t>& reply) {
  switch (procedure) {
#define AGENT_RPC_SERVER_CASE(Number, Name, Params) \
  case Number:                                      \
    return ServerCall<Number AGENT_RPC_KINDS(Params)>(&::Name, request, size, reply);
    AGENT_RPC_PROCEDURES(AGENT_RPC_SERVER_CASE)
#undef AGENT_RPC_SERVER_CASE
    default:
      return qlx::platform::kRpcUnknownProcedure;
  }
}

const qlx::platform::RpcServerInterface& AgentServerInterface() {
  static const qlx::platform::RpcServerInterface kInterface = {
      kAgentInterfaceId, kAgentProcedureCount, &DispatchAgentCall};
  return kInterface;
}

}  // namespace qlx::agent
