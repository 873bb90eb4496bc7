// The local RPC run time's own rules, without an agent: binding strings,
// endpoint names, and endpoint files left behind by servers that died.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "AgentHarness.h"
#include "platform/posix/rpc_transport.h"
#include "platform/rpc.h"
#include "tests/support/Processes.h"

using namespace qlx::platform;
// The server side is one per process: cases that serve run in a child.
using qlx::testsupport::InChild;

namespace {

TEST(RpcBindingStrings, ComposeAndParse) {
  struct Case {
    const char16_t* protseq;
    const char16_t* endpoint;
    RpcStatus expected;
  };
  const Case cases[] = {
      {u"ncalrpc", u"PTRobotRpc42", kRpcOk},
      {u"ncacn_ip_tcp", u"PTRobotRpc42", kRpcProtseqNotSupported},
      {nullptr, u"PTRobotRpc42", kRpcProtseqNotSupported},
      {u"ncalrpc", u"../../etc/x", kRpcInvalidEndpointFormat},
      {u"ncalrpc", u"a/b", kRpcInvalidEndpointFormat},
      {u"ncalrpc", u"", kRpcInvalidEndpointFormat},
      {u"ncalrpc", u".hidden", kRpcInvalidEndpointFormat},
      {u"ncalrpc", nullptr, kRpcInvalidEndpointFormat},
  };
  for (const auto& c : cases) {
    char16_t* text = nullptr;
    EXPECT_EQ(RpcComposeStringBinding(c.protseq, c.endpoint, &text), c.expected);
    if (c.expected == kRpcOk) {
      EXPECT_EQ(std::u16string(text), u"ncalrpc:[PTRobotRpc42]");
      RpcBinding binding = nullptr;
      EXPECT_EQ(RpcBindingFromString(text, &binding), kRpcOk);
      EXPECT_NE(binding, nullptr);
      EXPECT_EQ(RpcFreeBinding(&binding), kRpcOk);
      EXPECT_EQ(binding, nullptr);
    } else {
      EXPECT_EQ(text, nullptr);
    }
    EXPECT_EQ(RpcFreeString(&text), kRpcOk);
    EXPECT_EQ(text, nullptr);
  }
  for (const char16_t* bad : {u"", u"ncalrpc:", u"ncalrpc:[]", u"ncalrpc:[x", u"tcp:[x]"}) {
    RpcBinding binding = nullptr;
    EXPECT_EQ(RpcBindingFromString(bad, &binding), kRpcInvalidStringBinding);
    EXPECT_EQ(binding, nullptr);
  }
}

// Named after the test process, so that its children use the same name.
const std::string& TestEndpoint() {
  static const std::string name = "QlxRunTimeTest" + std::to_string(getpid());
  return name;
}

TEST(RpcEndpoints, FilesOfADeadServerAreReplaced) {
  const std::string& name = TestEndpoint();
  std::string path = agent_test::SocketPathOf(name);
  // Leave what a killed server leaves: its socket file and an unheld lock.
  ASSERT_EQ(InChild([] {
              std::string endpointName = TestEndpoint();
              std::u16string endpoint(endpointName.begin(), endpointName.end());
              if (RpcServerUseProtseqEndpoint(u"ncalrpc", 10, endpoint.c_str()) != kRpcOk) return 1;
              _exit(0);  // no orderly end: the files stay
            }),
            0);
  struct stat st;
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_EQ(InChild([] {
              std::string endpointName = TestEndpoint();
              std::u16string endpoint(endpointName.begin(), endpointName.end());
              return RpcServerUseProtseqEndpoint(u"ncalrpc", 10, endpoint.c_str()) == kRpcOk ? 0
                                                                                             : 1;
            }),
            0);
  std::u16string endpoint(name.begin(), name.end());
  RpcRemoveEndpoint(endpoint.c_str());
  EXPECT_NE(lstat(path.c_str(), &st), 0);
  EXPECT_NE(lstat((path + ".lock").c_str(), &st), 0);
}

TEST(RpcEndpoints, NamesThatAreNotPlainAreRefused) {
  EXPECT_EQ(InChild([] {
              return RpcServerUseProtseqEndpoint(u"ncalrpc", 10, u"../escape") ==
                             kRpcInvalidEndpointFormat
                         ? 0
                         : 1;
            }),
            0);
}

}  // namespace
