// Server half of the local RPC run time: endpoint, listening, call threads.
//
// Every call thread waits in epoll_wait on one shared set that holds the
// listening socket, a stop event and every connection (one-shot, so one
// thread at a time serves a connection). A readable connection is served by
// the thread that took the event: receive, dispatch, reply, re-arm. A thread
// waits on a client only for a moment (receive timeout), and replies never
// wait: a client that does not take its replies loses its connection.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/posix/rpc_transport.h"
#include "platform/rpc.h"

namespace qlx::platform {

using namespace rpc_internal;

namespace {

// Connections beyond this are closed at once, so descriptors cannot run out.
constexpr int kMaxConnections = 1024;
// Threads beyond the call limit, so that a "too busy" fault can always be sent.
constexpr uint32_t kSpareThreads = 2;
// How long a call thread waits on a connection for its next request.
constexpr int kLingerMicroseconds = 2000;
// After the starting process ended: time left for an orderly end.
constexpr int kEndGraceSeconds = 5;

struct Server {
  std::mutex lock;
  std::condition_variable stopped;
  std::string socketPath;
  int listenFd = -1;
  int lockFd = -1;
  int epollFd = -1;
  int stopFd = -1;
  const RpcServerInterface* iface = nullptr;
  uint32_t maxCalls = 0;
  bool listening = false;
  bool stopRequested = false;
  std::vector<std::thread> threads;
  std::atomic<int> activeCalls{0};
  std::atomic<int> connections{0};
};

Server& TheServer() {
  static Server* server = new Server;  // lives until the process ends
  return *server;
}

void CloseConnection(Server& server, int fd) {
  close(fd);
  server.connections.fetch_sub(1);
}

bool SendFault(int fd, const WireHeader& request, RpcStatus status) {
  WireHeader header{};
  header.magic = kWireMagic;
  header.type = kWireFault;
  header.procedure = request.procedure;
  header.status = status;
  header.iface = request.iface;
  return SendMessage(fd, header, nullptr, 0, true) == 0;
}

RpcStatus RunDispatch(Server& server, uint32_t procedure, const uint8_t* body, size_t size,
                      std::vector<uint8_t>& reply) {
  if (server.activeCalls.fetch_add(1) >= static_cast<int>(server.maxCalls)) {
    server.activeCalls.fetch_sub(1);
    return kRpcServerTooBusy;
  }
  RpcStatus status;
  try {
    reply.clear();
    status = server.iface->dispatch(procedure, body, size, reply);
    if (status == kRpcOk && reply.size() > kMaxBody) status = kRpcOutOfResources;
  } catch (const std::bad_alloc&) {
    status = kRpcOutOfMemory;
  } catch (...) {
    status = kRpcCallFailed;
  }
  server.activeCalls.fetch_sub(1);
  return status;
}

// Answers one message. False when the connection must be closed: a message
// that is not a well-framed request, or a reply that cannot be sent.
bool AnswerMessage(Server& server, int fd, const uint8_t* message, size_t size,
                   std::vector<uint8_t>& reply) {
  WireHeader request;
  RpcStatus fault = kRpcOk;
  switch (CheckRequest(message, size, *server.iface, request, fault)) {
    case RequestVerdict::kCloseConnection:
      return false;
    case RequestVerdict::kFault:
      return SendFault(fd, request, fault);
    case RequestVerdict::kDispatch:
      break;
  }
  RpcStatus status =
      RunDispatch(server, request.procedure, message + sizeof request, request.bodySize, reply);
  if (status != kRpcOk) return SendFault(fd, request, status);
  WireHeader header = request;
  header.type = kWireReply;
  header.bodySize = static_cast<uint32_t>(reply.size());
  header.status = 0;
  return SendMessage(fd, header, reply.data(), reply.size(), true) == 0;
}

bool Arm(Server& server, int fd, int operation) {
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
  event.data.fd = fd;
  return epoll_ctl(server.epollFd, operation, fd, &event) == 0;
}

// Serves a connection's requests one after the other while they come
// quickly, then parks it in the shared set (or closes it). Waiting a moment
// on the connection itself spares the next request of a client a hand-over
// between threads; the receive timeout bounds what an idle client holds.
void ServeConnection(Server& server, int fd, bool registered, uint8_t* buffer,
                     std::vector<uint8_t>& reply) {
  for (;;) {
    ssize_t size = recv(fd, buffer, kRpcMaxMessage, MSG_TRUNC);
    if (size < 0 && errno == EINTR) continue;
    bool idle = size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    if (idle && Arm(server, fd, registered ? EPOLL_CTL_MOD : EPOLL_CTL_ADD)) return;
    if (size <= 0 || static_cast<size_t>(size) > kRpcMaxMessage ||
        !AnswerMessage(server, fd, buffer, static_cast<size_t>(size), reply))
      return CloseConnection(server, fd);
  }
}

bool ArmListener(Server& server, int operation) {
  epoll_event event{};
  event.events = EPOLLIN | EPOLLONESHOT;
  event.data.fd = server.listenFd;
  return epoll_ctl(server.epollFd, operation, server.listenFd, &event) == 0;
}

bool PeerIsTrusted(int fd) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return false;
  static const uid_t owner = geteuid();
  return credentials.uid == owner || credentials.uid == 0;
}

// The listening socket is armed for one thread at a time: the one that
// accepts re-arms it at once, so connections are accepted side by side
// without waking every idle thread for each.
void AcceptOne(Server& server, uint8_t* buffer, std::vector<uint8_t>& reply) {
  int fd = accept4(server.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
  ArmListener(server, EPOLL_CTL_MOD);
  if (fd < 0) return;  // the client gave up
  server.connections.fetch_add(1);
  if (server.connections.load() > kMaxConnections) return CloseConnection(server, fd);
  if (!PeerIsTrusted(fd)) {
    WireHeader none{};
    SendFault(fd, none, kRpcAccessDenied);
    return CloseConnection(server, fd);
  }
  timeval receiveTimeout{0, kLingerMicroseconds};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &receiveTimeout, sizeof receiveTimeout);
  // The first request usually follows the connect at once: serve it here.
  ServeConnection(server, fd, false, buffer, reply);
}

void CallThread(Server& server) {
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kRpcMaxMessage]);
  std::vector<uint8_t> reply;
  reply.reserve(4096);
  for (;;) {
    epoll_event event;
    int count = epoll_wait(server.epollFd, &event, 1, -1);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 || event.data.fd == server.stopFd) return;
    if (event.data.fd == server.listenFd)
      AcceptOne(server, buffer.get(), reply);
    else
      ServeConnection(server, event.data.fd, true, buffer.get(), reply);
  }
}

// Holds the endpoint's lock file; fails when a live server holds it. The lock
// dies with its holder, so a file left by a dead server is simply taken over.
int LockEndpoint(const std::string& lockPath) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      close(fd);
      return -1;
    }
    // Someone may have removed the file between our open and lock.
    struct stat held, current;
    if (fstat(fd, &held) == 0 && lstat(lockPath.c_str(), &current) == 0 &&
        held.st_ino == current.st_ino && held.st_dev == current.st_dev)
      return fd;
    close(fd);
  }
  return -1;
}

// Removes the files of endpoints whose servers have ended without doing so.
void SweepStaleEndpoints(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    const std::string suffix = ".lock";
    if (name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    std::string lockPath = folder + "/" + name;
    int fd = LockEndpoint(lockPath);
    if (fd < 0) continue;  // a live server
    unlink(lockPath.substr(0, lockPath.size() - suffix.size()).c_str());
    unlink(lockPath.c_str());
    close(fd);
  }
  closedir(dir);
}

void RemoveEndpointFiles(Server& server) {
  if (server.listenFd >= 0) close(server.listenFd);
  server.listenFd = -1;
  if (server.lockFd >= 0) {
    unlink(server.socketPath.c_str());
    unlink(LockPathOf(server.socketPath).c_str());
    close(server.lockFd);
    server.lockFd = -1;
  }
}

}  // namespace

RpcStatus RpcServerUseProtseqEndpoint(const char16_t* protseq, uint32_t /*maxRequests*/,
                                      const char16_t* endpoint) {
  if (protseq == nullptr || std::u16string(protseq) != u"ncalrpc") return kRpcProtseqNotSupported;
  std::string name, folder, path;
  if (!EndpointToName(endpoint, name)) return kRpcInvalidEndpointFormat;
  if (!EndpointFolder(true, folder)) return kRpcAccessDenied;
  if (!EndpointSocketPath(folder, name, path)) return kRpcInvalidEndpointFormat;
  Server& server = TheServer();
  std::lock_guard<std::mutex> guard(server.lock);
  if (server.listenFd >= 0) return kRpcDuplicateEndpoint;
  SweepStaleEndpoints(folder);
  int lockFd = LockEndpoint(LockPathOf(path));
  if (lockFd < 0) return kRpcDuplicateEndpoint;
  unlink(path.c_str());  // left by a dead server: the lock was free
  int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      chmod(path.c_str(), 0600) != 0 || listen(fd, SOMAXCONN) != 0) {
    if (fd >= 0) close(fd);
    unlink(LockPathOf(path).c_str());
    close(lockFd);
    return kRpcOutOfResources;
  }
  server.socketPath = path;
  server.listenFd = fd;
  server.lockFd = lockFd;
  return kRpcOk;
}

RpcStatus RpcServerRegisterInterface(const RpcServerInterface* iface) {
  Server& server = TheServer();
  std::lock_guard<std::mutex> guard(server.lock);
  if (iface == nullptr || iface->dispatch == nullptr) return kRpcUnknownInterface;
  if (server.iface != nullptr) return kRpcAlreadyRegistered;
  server.iface = iface;
  return kRpcOk;
}

RpcStatus RpcServerListen(uint32_t minThreads, uint32_t maxCalls, bool dontWait) {
  Server& server = TheServer();
  {
    std::lock_guard<std::mutex> guard(server.lock);
    if (server.listening) return kRpcAlreadyListening;
    if (server.listenFd < 0) return kRpcNoProtseqs;
    if (server.iface == nullptr || maxCalls == 0) return kRpcUnknownInterface;
    server.epollFd = epoll_create1(EPOLL_CLOEXEC);
    server.stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event stopEvent{};
    stopEvent.events = EPOLLIN;
    stopEvent.data.fd = server.stopFd;
    if (server.epollFd < 0 || server.stopFd < 0 || !ArmListener(server, EPOLL_CTL_ADD) ||
        epoll_ctl(server.epollFd, EPOLL_CTL_ADD, server.stopFd, &stopEvent) != 0)
      return kRpcOutOfResources;
    server.maxCalls = maxCalls;
    uint32_t threads = std::max(minThreads, maxCalls) + kSpareThreads;
    try {
      for (uint32_t i = 0; i < threads; ++i)
        server.threads.emplace_back(CallThread, std::ref(server));
    } catch (...) {
      // Too few threads: serve with those that started.
      if (server.threads.empty()) return kRpcOutOfResources;
    }
    server.listening = true;
  }
  return dontWait ? kRpcOk : RpcServerWaitListen();
}

RpcStatus RpcServerWaitListen() {
  Server& server = TheServer();
  std::unique_lock<std::mutex> guard(server.lock);
  if (!server.listening) return kRpcNotListening;
  server.stopped.wait(guard, [&] { return server.stopRequested; });
  // No new connection from here on; calls under way end on their own.
  RemoveEndpointFiles(server);
  std::vector<std::thread> threads = std::move(server.threads);
  server.threads.clear();
  guard.unlock();
  for (auto& thread : threads) thread.detach();
  return kRpcOk;
}

RpcStatus RpcServerStopListening() {
  Server& server = TheServer();
  std::lock_guard<std::mutex> guard(server.lock);
  // Also before listening starts: listening then ends at once.
  server.stopRequested = true;
  server.stopped.notify_all();
  uint64_t one = 1;
  if (server.stopFd >= 0 && write(server.stopFd, &one, sizeof one) < 0) return kRpcOutOfResources;
  return kRpcOk;
}

RpcStatus RpcServerStopOnEndOfFile(int descriptor) {
  if (descriptor < 0 || fcntl(descriptor, F_SETFD, FD_CLOEXEC) != 0) return kRpcOutOfResources;
  std::thread([descriptor] {
    for (;;) {
      pollfd watched{descriptor, POLLIN, 0};
      if (poll(&watched, 1, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      char byte;
      ssize_t size = read(descriptor, &byte, 1);
      if (size < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (size <= 0) break;
    }
    RpcServerStopListening();
    // A call or start-up step that never returns must not keep us alive.
    std::this_thread::sleep_for(std::chrono::seconds(kEndGraceSeconds));
    _exit(0);
  }).detach();
  return kRpcOk;
}

}  // namespace qlx::platform
