// Messages that a client of the run time should never send, and a client of
// another user: the agent answers with a fault or closes the connection,
// never runs a handler, and keeps serving.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "AgentHarness.h"
#include "agent/AgentRpc.h"
#include "platform/posix/rpc_transport.h"

using agent_test::AgentHarness;
using namespace qlx::platform;
using namespace qlx::platform::rpc_internal;

namespace {

int ConnectTo(const std::string& path) {
  int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  timeval timeout{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  return fd;
}

WireHeader RequestHeader(uint32_t procedure, size_t bodySize) {
  WireHeader header{};
  header.magic = kWireMagic;
  header.type = kWireRequest;
  header.procedure = procedure;
  header.bodySize = static_cast<uint32_t>(bodySize);
  header.iface = qlx::agent::kAgentInterfaceId;
  return header;
}

std::vector<uint8_t> Message(const WireHeader& header, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> message(sizeof header + body.size());
  std::memcpy(message.data(), &header, sizeof header);
  if (!body.empty()) std::memcpy(message.data() + sizeof header, body.data(), body.size());
  return message;
}

std::vector<uint8_t> Ints(std::initializer_list<int32_t> values) {
  std::vector<uint8_t> bytes(values.size() * 4);
  std::memcpy(bytes.data(), values.begin(), bytes.size());
  return bytes;
}

// What came back: a fault's status, 0 for a reply, -1 for a closed connection.
int Exchange(int fd, const std::vector<uint8_t>& message) {
  if (send(fd, message.data(), message.size(), MSG_NOSIGNAL) < 0) return -1;
  std::vector<uint8_t> buffer(kRpcMaxMessage);
  ssize_t size = recv(fd, buffer.data(), buffer.size(), 0);
  if (size < static_cast<ssize_t>(sizeof(WireHeader))) return -1;
  WireHeader answer;
  std::memcpy(&answer, buffer.data(), sizeof answer);
  return answer.type == kWireFault ? answer.status : 0;
}

struct WireCase {
  const char* what;
  std::vector<uint8_t> message;
  int expected;  // fault status, or -1: connection closed
};

std::vector<WireCase> BadMessages() {
  WireHeader otherInterface = RequestHeader(0, 0);
  otherInterface.iface.uuid[0] ^= 1;
  WireHeader otherVersion = RequestHeader(0, 0);
  otherVersion.iface.majorVersion = 1;
  WireHeader lyingSize = RequestHeader(0, 8);
  WireHeader notRequest = RequestHeader(0, 0);
  notRequest.type = kWireReply;
  std::vector<uint8_t> header = Message(RequestHeader(0, 0), {});
  return {
      {"truncated header", std::vector<uint8_t>(header.begin(), header.begin() + 20), -1},
      {"body size that lies", Message(lyingSize, {}), -1},
      {"not a request", Message(notRequest, {}), -1},
      {"oversized message",
       Message(RequestHeader(0, kRpcMaxMessage), std::vector<uint8_t>(kRpcMaxMessage)), -1},
      {"other interface", Message(otherInterface, {}), kRpcUnknownInterface},
      {"other version", Message(otherVersion, {}), kRpcUnknownInterface},
      {"procedure 41", Message(RequestHeader(41, 0), {}), kRpcUnknownProcedure},
      {"missing argument", Message(RequestHeader(6, 12), Ints({1, 2, 3})), kRpcBadStubData},
      {"extra bytes", Message(RequestHeader(27, 8), Ints({1, 2})), kRpcBadStubData},
      {"text length beyond the message", Message(RequestHeader(26, 16), Ints({1, 1, 1000, 65})),
       kRpcBadStubData},
      {"text without terminator", Message(RequestHeader(26, 16), Ints({1, 1, 2, 0x00410041})),
       kRpcBadStubData},
      {"text pointer flag 2", Message(RequestHeader(26, 8), Ints({1, 2})), kRpcBadStubData},
      {"record of the wrong size", Message(RequestHeader(29, 20), Ints({1, 8, 1, 2, 3})),
       kRpcBadStubData},
      {"count 11", Message(RequestHeader(5, 8), Ints({1, 11})), kRpcInvalidBound},
      {"negative count", Message(RequestHeader(4, 4), Ints({-5})), kRpcInvalidBound},
      {"capacity 0", Message(RequestHeader(36, 16), Ints({1, 2, 0, 0})), kRpcInvalidBound},
      {"huge capacity", Message(RequestHeader(36, 16), Ints({1, 2, 0x7fffffff, 0})),
       kRpcInvalidBound},
  };
}

TEST(AgentWire, BadMessagesGetFaultsOrClosedConnectionsAndNoHandlerRuns) {
  AgentHarness agent;
  ASSERT_TRUE(agent.Ready());
  size_t records = agent.LogLines().size();
  size_t journal = agent.Journal().size();
  std::vector<uint8_t> probe = Message(RequestHeader(0, 0), {});
  for (const auto& bad : BadMessages()) {
    SCOPED_TRACE(bad.what);
    int fd = ConnectTo(agent.SocketPath());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Exchange(fd, bad.message), bad.expected);
    // A fault leaves the connection usable; a closed one is closed.
    EXPECT_EQ(Exchange(fd, probe), bad.expected == -1 ? -1 : 0);
    close(fd);
  }
  EXPECT_EQ(agent.Journal().size(), journal);
  EXPECT_EQ(agent.LogLines().size(), records);
  EXPECT_EQ(RPC_Probe(agent.Bind()), 0);
}

TEST(AgentWire, AClientOfAnotherUserIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  AgentHarness agent;
  ASSERT_TRUE(agent.Ready());
  // Open the way through the file system, so that only the peer check stands.
  std::string open = agent.Folder() + "/open";
  ASSERT_EQ(mkdir(open.c_str(), 0777), 0);
  chmod(agent.Folder().c_str(), 0755);
  std::string link = open + "/agent";
  ASSERT_EQ(::link(agent.SocketPath().c_str(), link.c_str()), 0);
  chmod(link.c_str(), 0666);
  std::vector<uint8_t> probe = Message(RequestHeader(0, 0), {});
  pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    int fd = ConnectTo(link);
    if (fd < 0) _exit(3);
    int answer = Exchange(fd, probe);
    _exit(answer == kRpcAccessDenied || answer == -1 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: served, 2: could not drop rights, 3: no connection";
  EXPECT_EQ(RPC_Probe(agent.Bind()), 0);
}

}  // namespace
