#pragma once
// Internals shared by the client and server halves of the local RPC run time:
// message header, endpoint folder and path, socket helpers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/rpc.h"

namespace qlx::platform::rpc_internal {

#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the wire format is little-endian and copied as memory images"
#endif

constexpr uint32_t kWireMagic = 0x43505251;  // "QRPC"
enum WireType : uint8_t { kWireRequest = 0, kWireReply = 2, kWireFault = 3 };

// Header of every message; the body follows.
struct WireHeader {
  uint32_t magic;
  uint8_t type;
  uint8_t reserved[3];
  uint32_t procedure;
  uint32_t bodySize;  // must equal the message size less the header
  int32_t status;     // fault status; 0 otherwise
  RpcInterfaceId iface;
};
static_assert(sizeof(WireHeader) == 40, "wire header layout");

constexpr size_t kMaxBody = kRpcMaxMessage - sizeof(WireHeader);

// Endpoint names are short and plain: letters, digits, '_', '-', '.'.
bool EndpointToName(const char16_t* endpoint, std::string& name);

// The user's private folder of endpoint files. With `create`, makes it (0700)
// when missing. False when it is missing, a link, someone else's, or open to
// others.
bool EndpointFolder(bool create, std::string& folder);

// Socket file path of an endpoint in `folder`; false when too long.
bool EndpointSocketPath(const std::string& folder, const std::string& name, std::string& path);
std::string LockPathOf(const std::string& socketPath);

// What a server does with one received message.
enum class RequestVerdict { kCloseConnection, kFault, kDispatch };

// Checks a received message before anything else looks at it: framing
// (size, magic, type, body size), interface identity, procedure number.
// Fills `header`; on kFault, `fault` is the status to send back.
RequestVerdict CheckRequest(const uint8_t* message, size_t size, const RpcServerInterface& iface,
                            WireHeader& header, RpcStatus& fault);

// Sends header + body as one message, without raising SIGPIPE. 0 or errno.
// With `dontWait`, a peer whose receive queue is full gives EAGAIN at once.
int SendMessage(int fd, const WireHeader& header, const uint8_t* body, size_t size,
                bool dontWait = false);

}  // namespace qlx::platform::rpc_internal
