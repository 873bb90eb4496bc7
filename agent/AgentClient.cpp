// Client stubs of the agent interface, generated from its definition.
#include "agent/AgentMarshal.h"
#include "agent/AgentRpc.h"

#define AGENT_RPC_CLIENT_STUB(Number, Name, Params)                               \
  int32_t Name(qlx::platform::RpcBinding hBinding AGENT_RPC_PARAMETERS(Params)) { \
    return qlx::agent::ClientCall<Number AGENT_RPC_KINDS(Params)>(                \
        hBinding AGENT_RPC_ARGUMENTS(Params));                                    \
  }
AGENT_RPC_PROCEDURES(AGENT_RPC_CLIENT_STUB)
#undef AGENT_RPC_CLIENT_STUB
