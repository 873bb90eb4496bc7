#pragma once
// Local remote-procedure-call run time: the lifecycle of the Windows RPC run
// time over "ncalrpc", under names of our own, on local sockets.
//
// Client: compose a string binding, make a binding from it, call procedures,
// free the binding and the string. Run-time failures (no listener, peer gone
// mid-call, a fault sent back) are thrown as RpcException carrying the
// status; a procedure's own result travels only as its 32-bit result.
//
// Server: use the protocol sequence with an endpoint, register an interface,
// listen without blocking, wait until listening ends.
//
// Statuses are the Windows RPC status numbers so that logs read the same.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace qlx::platform {

using RpcStatus = int32_t;

constexpr RpcStatus kRpcOk = 0;
constexpr RpcStatus kRpcAccessDenied = 5;
constexpr RpcStatus kRpcOutOfMemory = 14;
constexpr RpcStatus kRpcInvalidStringBinding = 1700;
constexpr RpcStatus kRpcProtseqNotSupported = 1703;
constexpr RpcStatus kRpcInvalidEndpointFormat = 1706;
constexpr RpcStatus kRpcAlreadyRegistered = 1711;
constexpr RpcStatus kRpcAlreadyListening = 1713;
constexpr RpcStatus kRpcNoProtseqs = 1714;
constexpr RpcStatus kRpcUnknownInterface = 1717;
constexpr RpcStatus kRpcOutOfResources = 1721;
constexpr RpcStatus kRpcServerUnavailable = 1722;  // nobody listens on the endpoint
constexpr RpcStatus kRpcServerTooBusy = 1723;      // all call slots taken
constexpr RpcStatus kRpcCallFailed = 1726;         // the peer went away during the call
constexpr RpcStatus kRpcInvalidBound = 1734;       // a count or size out of its range
constexpr RpcStatus kRpcDuplicateEndpoint = 1740;  // another live server owns the endpoint
constexpr RpcStatus kRpcUnknownProcedure = 1745;
constexpr RpcStatus kRpcNotListening = 1715;
constexpr RpcStatus kRpcNullRefPointer = 1780;  // a pointer that must not be null was null
constexpr RpcStatus kRpcBadStubData = 1783;     // a message that does not unmarshal

// A run-time failure of a client call. Never thrown by the server side.
class RpcException : public std::exception {
 public:
  explicit RpcException(RpcStatus status);
  RpcStatus Status() const noexcept { return status_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  RpcStatus status_;
  std::string text_;
};

// Identity of an interface: UUID in its wire (little-endian fields) form and
// version. Requests carry it; a server refuses a request for another one.
struct RpcInterfaceId {
  uint8_t uuid[16];
  uint16_t majorVersion;
  uint16_t minorVersion;
};

// Largest request or reply, header included. Larger messages are refused.
constexpr size_t kRpcMaxMessage = 128 * 1024;

// ------------------------------------------------------------------ client --

struct RpcBindingRecord;
using RpcBinding = RpcBindingRecord*;  // null: no binding

// Composes "protseq:[endpoint]" into a new string that the caller frees with
// RpcFreeString. Only protocol sequence "ncalrpc" is offered.
RpcStatus RpcComposeStringBinding(const char16_t* protseq, const char16_t* endpoint,
                                  char16_t** stringBinding);

// Makes a binding from a composed string. Connects lazily, at the first call.
RpcStatus RpcBindingFromString(const char16_t* stringBinding, RpcBinding* binding);

// Frees a binding (closing its connections) and sets it to null.
RpcStatus RpcFreeBinding(RpcBinding* binding);

// Frees a string from RpcComposeStringBinding and sets it to null.
RpcStatus RpcFreeString(char16_t** stringBinding);

// One request/reply exchange of procedure `procedure` of `iface` on `binding`:
// sends `request` (the marshalled parameters) and returns the reply body in
// `reply`. Throws RpcException on any run-time failure or fault. A binding
// may be used by several threads at once. Waits as long as the server works:
// no clock cuts a call short, only a broken connection does.
void RpcCall(RpcBinding binding, const RpcInterfaceId& iface, uint32_t procedure,
             const std::vector<uint8_t>& request, std::vector<uint8_t>& reply);

// Removes the endpoint file of a server that has ended (a server removes its
// own when it stops normally). For the owner of a process it ended.
void RpcRemoveEndpoint(const char16_t* endpoint);

// ------------------------------------------------------------------ server --

// Serves one call: unmarshals `request` (robustly: a bad message must give a
// status, never a handler call), runs the handler and marshals the reply into
// `reply`. Returns kRpcOk, or the status of a fault sent instead of the reply.
using RpcDispatchFunction = RpcStatus (*)(uint32_t procedure, const uint8_t* request,
                                          size_t requestSize, std::vector<uint8_t>& reply);

struct RpcServerInterface {
  RpcInterfaceId id;
  uint32_t procedureCount;  // procedures 0 .. procedureCount - 1
  RpcDispatchFunction dispatch;
};

// Creates the endpoint `endpoint` of protocol sequence "ncalrpc" in the
// user's private run-time folder. A file left by a dead server is replaced;
// an endpoint that a live server owns gives kRpcDuplicateEndpoint.
RpcStatus RpcServerUseProtseqEndpoint(const char16_t* protseq, uint32_t maxRequests,
                                      const char16_t* endpoint);

// Registers the one interface the server offers.
RpcStatus RpcServerRegisterInterface(const RpcServerInterface* iface);

// Starts serving with at least `minThreads` call threads and at most
// `maxCalls` calls at once (more get kRpcServerTooBusy). With `dontWait`
// returns at once; otherwise serves until listening stops.
RpcStatus RpcServerListen(uint32_t minThreads, uint32_t maxCalls, bool dontWait);

// Blocks until listening stops, then removes the endpoint file.
RpcStatus RpcServerWaitListen();

// Stops listening; RpcServerWaitListen returns once running calls finished.
RpcStatus RpcServerStopListening();

// Stops listening when `descriptor` (inherited, read end of a pipe whose
// write end the starting process holds) reaches end of file or fails: the
// server ends with the process that started it. Watches on a thread; if
// the process still runs 5 s after that (a call that never returns), ends it.
RpcStatus RpcServerStopOnEndOfFile(int descriptor);

}  // namespace qlx::platform
