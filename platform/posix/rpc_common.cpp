// Parts of the local RPC run time shared by client and server.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/rpc_transport.h"

namespace qlx::platform {

RpcException::RpcException(RpcStatus status)
    : status_(status), text_("RPC run-time failure " + std::to_string(status)) {}

namespace rpc_internal {

bool EndpointToName(const char16_t* endpoint, std::string& name) {
  name.clear();
  if (endpoint == nullptr) return false;
  for (const char16_t* c = endpoint; *c != 0; ++c) {
    bool plain = (*c >= u'a' && *c <= u'z') || (*c >= u'A' && *c <= u'Z') ||
                 (*c >= u'0' && *c <= u'9') || *c == u'_' || *c == u'-' || *c == u'.';
    if (!plain || name.size() >= 64) return false;
    name.push_back(static_cast<char>(*c));
  }
  return !name.empty() && name[0] != '.';
}

namespace {

// A folder only we can reach: ours, a real directory, no access for others.
bool IsPrivateFolder(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

bool MakePrivateFolder(const std::string& path, bool create) {
  if (create && mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return IsPrivateFolder(path);
}

}  // namespace

bool EndpointFolder(bool create, std::string& folder) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && IsPrivateFolder(runtime)) {
    folder = std::string(runtime) + "/qlx-rpc";
  } else {
    folder = "/tmp/qlx-rpc-" + std::to_string(geteuid());
  }
  return MakePrivateFolder(folder, create);
}

bool EndpointSocketPath(const std::string& folder, const std::string& name, std::string& path) {
  path = folder + "/" + name;
  return path.size() < sizeof(sockaddr_un::sun_path) - 5;  // room for ".lock" too
}

std::string LockPathOf(const std::string& socketPath) { return socketPath + ".lock"; }

RequestVerdict CheckRequest(const uint8_t* message, size_t size, const RpcServerInterface& iface,
                            WireHeader& header, RpcStatus& fault) {
  if (size < sizeof header || size > kRpcMaxMessage) return RequestVerdict::kCloseConnection;
  std::memcpy(&header, message, sizeof header);
  if (header.magic != kWireMagic || header.type != kWireRequest ||
      header.bodySize != size - sizeof header)
    return RequestVerdict::kCloseConnection;
  bool sameInterface =
      std::memcmp(header.iface.uuid, iface.id.uuid, sizeof header.iface.uuid) == 0 &&
      header.iface.majorVersion == iface.id.majorVersion &&
      header.iface.minorVersion == iface.id.minorVersion;
  fault = !sameInterface                             ? kRpcUnknownInterface
          : header.procedure >= iface.procedureCount ? kRpcUnknownProcedure
                                                     : kRpcOk;
  return fault == kRpcOk ? RequestVerdict::kDispatch : RequestVerdict::kFault;
}

int SendMessage(int fd, const WireHeader& header, const uint8_t* body, size_t size, bool dontWait) {
  iovec parts[2] = {{const_cast<WireHeader*>(&header), sizeof header},
                    {const_cast<uint8_t*>(body), size}};
  msghdr message{};
  message.msg_iov = parts;
  message.msg_iovlen = size == 0 ? 1 : 2;
  for (;;) {
    ssize_t sent = sendmsg(fd, &message, MSG_NOSIGNAL | (dontWait ? MSG_DONTWAIT : 0));
    if (sent >= 0) return 0;
    if (errno != EINTR) return errno;
  }
}

}  // namespace rpc_internal
}  // namespace qlx::platform
