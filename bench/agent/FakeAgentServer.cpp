// The agent interface served by handlers that only touch their buffers: the
// run time's own cost, without the vendor library and the agent's logging.
// Listens on "PTRobotRpc<pid>" until its standard input reaches end of file.
#include <unistd.h>

#include <string>
#include <thread>

#include "agent/AgentServer.h"
#include "platform/rpc.h"

using namespace qlx::platform;

int main() {
  std::string name = "PTRobotRpc" + std::to_string(getpid());
  std::u16string endpoint(name.begin(), name.end());
  if (RpcServerUseProtseqEndpoint(u"ncalrpc", 10, endpoint.c_str()) != kRpcOk ||
      RpcServerRegisterInterface(&qlx::agent::AgentServerInterface()) != kRpcOk ||
      RpcServerStopOnEndOfFile(0) != kRpcOk)
    return 1;
  return RpcServerListen(120, 120, false) == kRpcOk ? 0 : 1;
}
