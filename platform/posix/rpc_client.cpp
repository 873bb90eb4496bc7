// Client half of the local RPC run time: bindings and calls.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/rpc_transport.h"
#include "platform/rpc.h"

namespace qlx::platform {

using namespace rpc_internal;

// A binding: the endpoint's socket path and the connections not in use. A
// call takes one (or opens one) and gives it back, so several threads can
// call on one binding at once.
struct RpcBindingRecord {
  std::string endpointName;
  std::mutex lock;
  std::vector<int> idle;
};

namespace {

constexpr char16_t kPrefix[] = u"ncalrpc:[";
constexpr size_t kPrefixLength = sizeof(kPrefix) / sizeof(char16_t) - 1;

bool IsNcalrpc(const char16_t* protseq) {
  return protseq != nullptr && std::u16string(protseq) == u"ncalrpc";
}

char16_t* CopyOut(const std::u16string& text) {
  auto* copy = new (std::nothrow) char16_t[text.size() + 1];
  if (copy != nullptr) std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  return copy;
}

// The endpoint folder, checked once per process: once it is a private folder
// of ours, only we can remove or change it (it lies in a sticky or private
// parent), so later calls need not check it again.
bool VerifiedFolder(std::string& folder) {
  static std::mutex lock;
  static std::string verified;
  std::lock_guard<std::mutex> guard(lock);
  if (verified.empty()) {
    std::string candidate;
    if (!EndpointFolder(false, candidate)) return false;
    verified = candidate;
  }
  folder = verified;
  return true;
}

// Opens a connection to the endpoint; throws kRpcServerUnavailable when
// nobody listens there (or the folder is not the user's private one).
int Connect(const std::string& endpointName) {
  std::string folder, path;
  if (!VerifiedFolder(folder) || !EndpointSocketPath(folder, endpointName, path))
    throw RpcException(kRpcServerUnavailable);
  int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) throw RpcException(kRpcOutOfResources);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int result;
  do {
    result = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    int error = errno;
    close(fd);
    throw RpcException(error == EAGAIN ? kRpcServerTooBusy : kRpcServerUnavailable);
  }
  return fd;
}

int TakeConnection(RpcBindingRecord& binding, bool& reused) {
  {
    std::lock_guard<std::mutex> guard(binding.lock);
    if (!binding.idle.empty()) {
      int fd = binding.idle.back();
      binding.idle.pop_back();
      reused = true;
      return fd;
    }
  }
  reused = false;
  return Connect(binding.endpointName);
}

void GiveBack(RpcBindingRecord& binding, int fd) {
  std::lock_guard<std::mutex> guard(binding.lock);
  binding.idle.push_back(fd);
}

// Waits for the next message and returns its size without taking it.
size_t PendingMessageSize(int fd) {
  for (;;) {
    ssize_t size = recv(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC);
    if (size < 0 && errno == EINTR) continue;
    if (size <= 0) throw RpcException(kRpcCallFailed);
    return static_cast<size_t>(size);
  }
}

// Receives one reply into `buffer`, sized to it. Throws when the peer went away
// or sent something that is not a reply. The buffer belongs to the call, not
// to the thread: a thread-local with a destructor would pin the library that
// holds this code in memory, so that unloading it would end no agents.
void ReceiveReply(int fd, std::vector<uint8_t>& buffer) {
  const size_t pending = PendingMessageSize(fd);
  if (pending > kRpcMaxMessage || pending < sizeof(WireHeader)) throw RpcException(kRpcBadStubData);
  buffer.resize(pending);
  for (;;) {
    ssize_t size = recv(fd, buffer.data(), buffer.size(), MSG_TRUNC);
    if (size < 0 && errno == EINTR) continue;
    if (size <= 0) throw RpcException(kRpcCallFailed);
    if (static_cast<size_t>(size) != pending) throw RpcException(kRpcBadStubData);
    return;
  }
}

}  // namespace

RpcStatus RpcComposeStringBinding(const char16_t* protseq, const char16_t* endpoint,
                                  char16_t** stringBinding) {
  if (stringBinding == nullptr) return kRpcInvalidStringBinding;
  *stringBinding = nullptr;
  if (!IsNcalrpc(protseq)) return kRpcProtseqNotSupported;
  std::string name;
  if (!EndpointToName(endpoint, name)) return kRpcInvalidEndpointFormat;
  *stringBinding = CopyOut(std::u16string(kPrefix) + endpoint + u"]");
  return *stringBinding != nullptr ? kRpcOk : kRpcOutOfMemory;
}

RpcStatus RpcBindingFromString(const char16_t* stringBinding, RpcBinding* binding) {
  if (binding == nullptr || stringBinding == nullptr) return kRpcInvalidStringBinding;
  *binding = nullptr;
  std::u16string text(stringBinding);
  if (text.size() <= kPrefixLength + 1 || text.compare(0, kPrefixLength, kPrefix) != 0 ||
      text.back() != u']')
    return kRpcInvalidStringBinding;
  std::u16string endpoint = text.substr(kPrefixLength, text.size() - kPrefixLength - 1);
  std::string name;
  if (!EndpointToName(endpoint.c_str(), name)) return kRpcInvalidEndpointFormat;
  auto* record = new (std::nothrow) RpcBindingRecord;
  if (record == nullptr) return kRpcOutOfMemory;
  record->endpointName = name;
  *binding = record;
  return kRpcOk;
}

RpcStatus RpcFreeBinding(RpcBinding* binding) {
  if (binding == nullptr || *binding == nullptr) return kRpcOk;
  for (int fd : (*binding)->idle) close(fd);
  delete *binding;
  *binding = nullptr;
  return kRpcOk;
}

RpcStatus RpcFreeString(char16_t** stringBinding) {
  if (stringBinding == nullptr) return kRpcOk;
  delete[] * stringBinding;
  *stringBinding = nullptr;
  return kRpcOk;
}

void RpcCall(RpcBinding binding, const RpcInterfaceId& iface, uint32_t procedure,
             const std::vector<uint8_t>& request, std::vector<uint8_t>& reply) {
  if (binding == nullptr) throw RpcException(kRpcInvalidStringBinding);
  if (request.size() > kMaxBody) throw RpcException(kRpcOutOfResources);
  WireHeader header{};
  header.magic = kWireMagic;
  header.type = kWireRequest;
  header.procedure = procedure;
  header.bodySize = static_cast<uint32_t>(request.size());
  header.iface = iface;

  bool reused = false;
  int fd = TakeConnection(*binding, reused);
  int error = SendMessage(fd, header, request.data(), request.size());
  if (error != 0 && reused) {
    // The server closed an idle connection; the request never left.
    close(fd);
    fd = TakeConnection(*binding, reused);
    error = SendMessage(fd, header, request.data(), request.size());
  }
  if (error != 0) {
    close(fd);
    throw RpcException(kRpcCallFailed);
  }

  std::vector<uint8_t> received;
  try {
    ReceiveReply(fd, received);
  } catch (...) {
    close(fd);
    throw;
  }
  const uint8_t* buffer = received.data();
  const size_t size = received.size();
  WireHeader answer;
  std::memcpy(&answer, buffer, sizeof answer);
  bool wellFormed = answer.magic == kWireMagic && answer.bodySize == size - sizeof answer &&
                    (answer.type == kWireReply || answer.type == kWireFault);
  if (!wellFormed) {
    close(fd);
    throw RpcException(kRpcBadStubData);
  }
  GiveBack(*binding, fd);
  if (answer.type == kWireFault)
    throw RpcException(answer.status != 0 ? answer.status : kRpcCallFailed);
  reply.assign(buffer + sizeof answer, buffer + size);
}

void RpcRemoveEndpoint(const char16_t* endpoint) {
  std::string name, folder, path;
  if (!EndpointToName(endpoint, name) || !EndpointFolder(false, folder) ||
      !EndpointSocketPath(folder, name, path))
    return;
  unlink(path.c_str());
  unlink(LockPathOf(path).c_str());
}

}  // namespace qlx::platform
