#pragma once
// Marshalling of the agent interface's parameter kinds (AgentRpc.h), shared
// by the client stubs and the server dispatch so both sides read and write
// exactly the same bytes.
//
// Wire body, little-endian, 4-byte units: every parameter in order, its
// [in] part in a request and its [out] part in a reply; the reply ends with
// the int32 result. Parts:
//   int32         4 bytes
//   text          uint32 present (0 or 1); when present uint32 n (code units
//                 with the terminator), n units, padding to 4 bytes
//   record        uint32 size, then the record's memory image
//   counted array uint32 n, then n int32
// No length field is trusted: every one is checked against the message and
// the kind's bound before anything is allocated or a handler runs.
#include <cstdint>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

#include "agent/AgentRpc.h"
#include "platform/rpc.h"

namespace qlx::agent {

using qlx::platform::RpcStatus;

class WireWriter {
 public:
  explicit WireWriter(std::vector<uint8_t>& out) : out_(out) {}
  void Int(int32_t value) { Bytes(&value, 4); }
  void Bytes(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), bytes, bytes + size);
  }
  void Text(const char16_t* text, uint32_t units) {
    Int(static_cast<int32_t>(units));
    Bytes(text, units * 2u);
    out_.resize(out_.size() + (units & 1u) * 2u);  // pad to 4
  }

 private:
  std::vector<uint8_t>& out_;
};

class WireReader {
 public:
  WireReader(const uint8_t* data, size_t size) : data_(data), left_(size) {}
  bool Int(int32_t& value) { return Bytes(&value, 4); }
  bool Bytes(void* out, size_t size) {
    if (size > left_) return false;
    std::memcpy(out, data_, size);
    Skip(size);
    return true;
  }
  // A text of n units with its terminator at the end, n in 1..maxUnits.
  bool Text(uint32_t maxUnits, const uint8_t** units, uint32_t* count) {
    int32_t n = 0;
    if (!Int(n) || n < 1 || static_cast<uint32_t>(n) > maxUnits) return false;
    size_t size = static_cast<size_t>(n) * 2u;
    size_t padded = size + (n & 1) * 2u;
    if (padded > left_) return false;
    char16_t last;
    std::memcpy(&last, data_ + size - 2, 2);
    if (last != 0) return false;
    *units = data_;
    *count = static_cast<uint32_t>(n);
    Skip(padded);
    return true;
  }
  bool AtEnd() const { return left_ == 0; }

 private:
  void Skip(size_t size) {
    data_ += size;
    left_ -= size;
  }
  const uint8_t* data_;
  size_t left_;
};

// Length of a zero-terminated text within `capacity` units, or -1 when the
// buffer holds no terminator.
inline int32_t TerminatedLength(const char16_t* text, int32_t capacity) {
  for (int32_t i = 0; i < capacity; ++i)
    if (text[i] == 0) return i;
  return -1;
}

[[noreturn]] inline void ThrowRpc(RpcStatus status) { throw qlx::platform::RpcException(status); }

// Marshalling of one kind. Client side: SendIn (request part) and ReceiveOut
// (reply part), given the caller's arguments. Server side: a Slot holds the
// run time's copy of the argument; ReceiveIn fills it from the request,
// Prepare allocates out buffers (may read other slots), Arg gives the
// handler's argument, SendOut writes the reply part.
template <typename Kind>
struct Marshal;

template <>
struct Marshal<InInt> {
  template <typename Args>
  static void SendIn(WireWriter& w, int32_t value, const Args&) {
    w.Int(value);
  }
  template <typename Args>
  static RpcStatus ReceiveOut(WireReader&, int32_t, const Args&) {
    return 0;
  }
  struct Slot {
    int32_t value = 0;
  };
  static RpcStatus ReceiveIn(WireReader& r, Slot& s) {
    return r.Int(s.value) ? 0 : platform::kRpcBadStubData;
  }
  template <typename Slots>
  static RpcStatus Prepare(Slot&, const Slots&) {
    return 0;
  }
  static int32_t Arg(Slot& s) { return s.value; }
  template <typename Slots>
  static RpcStatus SendOut(WireWriter&, Slot&, const Slots&) {
    return 0;
  }
};

template <>
struct Marshal<InText> {
  // A text must fit a message; the run time refuses larger ones anyway.
  static constexpr uint32_t kMaxUnits = platform::kRpcMaxMessage / 2;

  template <typename Args>
  static void SendIn(WireWriter& w, const char16_t* text, const Args&) {
    if (text == nullptr) return w.Int(0);
    size_t length = std::char_traits<char16_t>::length(text);
    if (length + 1 > kMaxUnits) ThrowRpc(platform::kRpcOutOfResources);
    w.Int(1);
    w.Text(text, static_cast<uint32_t>(length + 1));
  }
  template <typename Args>
  static RpcStatus ReceiveOut(WireReader&, const char16_t*, const Args&) {
    return 0;
  }
  struct Slot {
    bool present = false;
    std::u16string text;
  };
  static RpcStatus ReceiveIn(WireReader& r, Slot& s) {
    int32_t present = 0;
    if (!r.Int(present) || (present != 0 && present != 1)) return platform::kRpcBadStubData;
    s.present = present == 1;
    if (!s.present) return 0;
    const uint8_t* units = nullptr;
    uint32_t count = 0;
    if (!r.Text(kMaxUnits, &units, &count)) return platform::kRpcBadStubData;
    s.text.resize(count - 1);
    std::memcpy(&s.text[0], units, (count - 1) * 2u);
    return 0;
  }
  template <typename Slots>
  static RpcStatus Prepare(Slot&, const Slots&) {
    return 0;
  }
  static const char16_t* Arg(Slot& s) { return s.present ? s.text.c_str() : nullptr; }
  template <typename Slots>
  static RpcStatus SendOut(WireWriter&, Slot&, const Slots&) {
    return 0;
  }
};

// Out texts: the server hands the handler a zero-filled buffer of the
// capacity; only the text up to its terminator travels back, and the client
// refuses one longer than the capacity it asked for.
template <typename CapacityOf>
struct MarshalOutText {
  template <typename Args>
  static void SendIn(WireWriter&, char16_t* buffer, const Args&) {
    if (buffer == nullptr) ThrowRpc(platform::kRpcNullRefPointer);
  }
  template <typename Args>
  static RpcStatus ReceiveOut(WireReader& r, char16_t* buffer, const Args& args) {
    int32_t capacity = CapacityOf::Client(args);
    const uint8_t* units = nullptr;
    uint32_t count = 0;
    if (capacity < 1 || !r.Text(static_cast<uint32_t>(capacity), &units, &count))
      return platform::kRpcBadStubData;
    std::memcpy(buffer, units, count * 2u);
    return 0;
  }
  struct Slot {
    std::vector<char16_t> buffer;
  };
  static RpcStatus ReceiveIn(WireReader&, Slot&) { return 0; }
  template <typename Slots>
  static RpcStatus Prepare(Slot& s, const Slots& slots) {
    int32_t capacity = CapacityOf::Server(slots);
    if (capacity < 1 || capacity > kAgentMaxOutText) return platform::kRpcInvalidBound;
    s.buffer.assign(static_cast<size_t>(capacity), u'\0');
    return 0;
  }
  static char16_t* Arg(Slot& s) { return s.buffer.data(); }
  template <typename Slots>
  static RpcStatus SendOut(WireWriter& w, Slot& s, const Slots&) {
    int32_t length = TerminatedLength(s.buffer.data(), static_cast<int32_t>(s.buffer.size()));
    if (length < 0) return platform::kRpcBadStubData;
    w.Text(s.buffer.data(), static_cast<uint32_t>(length + 1));
    return 0;
  }
};

template <int SizeParam>
struct CapacityFromParameter {
  template <typename Args>
  static int32_t Client(const Args& args) {
    return std::get<SizeParam>(args);
  }
  template <typename Slots>
  static int32_t Server(const Slots& slots) {
    return std::get<SizeParam>(slots).value;
  }
};

template <int Capacity>
struct CapacityConstant {
  template <typename Args>
  static int32_t Client(const Args&) {
    return Capacity;
  }
  template <typename Slots>
  static int32_t Server(const Slots&) {
    return Capacity;
  }
};

template <int SizeParam>
struct Marshal<OutTextSizedBy<SizeParam>> : MarshalOutText<CapacityFromParameter<SizeParam>> {};
template <int Capacity>
struct Marshal<OutTextFixed<Capacity>> : MarshalOutText<CapacityConstant<Capacity>> {};

template <typename Record>
struct Marshal<InRecord<Record>> {
  template <typename Args>
  static void SendIn(WireWriter& w, const Record* record, const Args&) {
    if (record == nullptr) ThrowRpc(platform::kRpcNullRefPointer);
    w.Int(sizeof(Record));
    w.Bytes(record, sizeof(Record));
  }
  template <typename Args>
  static RpcStatus ReceiveOut(WireReader&, const Record*, const Args&) {
    return 0;
  }
  struct Slot {
    Record record{};
  };
  static RpcStatus ReceiveIn(WireReader& r, Slot& s) {
    int32_t size = 0;
    if (!r.Int(size) || size != static_cast<int32_t>(sizeof(Record)) ||
        !r.Bytes(&s.record, sizeof(Record)))
      return platform::kRpcBadStubData;
    return 0;
  }
  template <typename Slots>
  static RpcStatus Prepare(Slot&, const Slots&) {
    return 0;
  }
  static const Record* Arg(Slot& s) { return &s.record; }
  template <typename Slots>
  static RpcStatus SendOut(WireWriter&, Slot&, const Slots&) {
    return 0;
  }
  static_assert(sizeof(Record) % 4 == 0, "records keep the body 4-byte aligned");
};

template <typename Record>
struct Marshal<OutRecord<Record>> {
  template <typename Args>
  static void SendIn(WireWriter&, Record* record, const Args&) {
    if (record == nullptr) ThrowRpc(platform::kRpcNullRefPointer);
  }
  template <typename Args>
  static RpcStatus ReceiveOut(WireReader& r, Record* record, const Args&) {
    int32_t size = 0;
    if (!r.Int(size) || size != static_cast<int32_t>(sizeof(Record)) ||
        !r.Bytes(record, sizeof(Record)))
      return platform::kRpcBadStubData;
    return 0;
  }
  struct Slot {
    Record record{};
  };
  static RpcStatus ReceiveIn(WireReader&, Slot&) { return 0; }
  template <typename Slots>
  static RpcStatus Prepare(Slot&, const Slots&) {
    return 0;
  }
  static Record* Arg(Slot& s) { return &s.record; }
  template <typename Slots>
  static RpcStatus SendOut(WireWriter& w, Slot& s, const Slots&) {
    w.Int(sizeof(Record));
    w.Bytes(&s.record, sizeof(Record));
    return 0;
  }
  static_assert(sizeof(Record) % 4 == 0, "records keep the body 4-byte aligned");
};

template <>
struct Marshal<OutInt> {
  template <typename Args>
  static void SendIn(WireWriter&, int32_t* value, const Args&) {
    if (value == nullptr) ThrowRpc(platform::kRpcNullRefPointer);
  }
  template <typename Args>
  static RpcStatus ReceiveOut(WireReader& r, int32_t* value, const Args&) {
    return r.Int(*value) ? 0 : platform::kRpcBadStubData;
  }
  struct Slot {
    int32_t value = 0;
  };
  static RpcStatus ReceiveIn(WireReader&, Slot&) { return 0; }
  template <typename Slots>
  static RpcStatus Prepare(Slot&, const Slots&) {
    return 0;
  }
  static int32_t* Arg(Slot& s) { return &s.value; }
  template <typename Slots>
  static RpcStatus SendOut(WireWriter& w, Slot& s, const Slots&) {
    w.Int(s.value);
    return 0;
  }
};

inline bool CountInRange(int32_t count) { return count >= 0 && count <= kAgentMaxCount; }

template <>
struct Marshal<InOutCount> {
  template <typename Args>
  static void SendIn(WireWriter& w, int32_t* count, const Args&) {
    if (count == nullptr) ThrowRpc(platform::kRpcNullRefPointer);
    w.Int(*count);
  }
  template <typename Args>
  static RpcStatus ReceiveOut(WireReader& r, int32_t* count, const Args&) {
    int32_t value = 0;
    if (!r.Int(value)) return platform::kRpcBadStubData;
    if (!CountInRange(value)) return platform::kRpcInvalidBound;
    *count = value;
    return 0;
  }
  struct Slot {
    int32_t value = 0;
  };
  static RpcStatus ReceiveIn(WireReader& r, Slot& s) {
    if (!r.Int(s.value)) return platform::kRpcBadStubData;
    return CountInRange(s.value) ? 0 : platform::kRpcInvalidBound;
  }
  template <typename Slots>
  static RpcStatus Prepare(Slot&, const Slots&) {
    return 0;
  }
  static int32_t* Arg(Slot& s) { return &s.value; }
  template <typename Slots>
  static RpcStatus SendOut(WireWriter& w, Slot& s, const Slots&) {
    if (!CountInRange(s.value)) return platform::kRpcInvalidBound;
    w.Int(s.value);
    return 0;
  }
};

// The array travels back with as many elements as its count holds after the
// call. The server's buffer has room for the largest count; the client takes
// no more elements than the count it sent, which is its array's room.
template <int CountParam>
struct Marshal<OutCountedArray<CountParam>> {
  template <typename Args>
  static void SendIn(WireWriter&, int32_t* array, const Args&) {
    if (array == nullptr) ThrowRpc(platform::kRpcNullRefPointer);
  }
  template <typename Args>
  static RpcStatus ReceiveOut(WireReader& r, int32_t* array, const Args& args) {
    int32_t room = *std::get<CountParam>(args);  // not yet overwritten: the count follows
    int32_t count = 0;
    if (!r.Int(count)) return platform::kRpcBadStubData;
    if (!CountInRange(count) || count > room) return platform::kRpcInvalidBound;
    return r.Bytes(array, static_cast<size_t>(count) * 4u) ? 0 : platform::kRpcBadStubData;
  }
  struct Slot {
    int32_t elements[kAgentMaxCount] = {};
  };
  static RpcStatus ReceiveIn(WireReader&, Slot&) { return 0; }
  template <typename Slots>
  static RpcStatus Prepare(Slot&, const Slots&) {
    return 0;
  }
  static int32_t* Arg(Slot& s) { return s.elements; }
  template <typename Slots>
  static RpcStatus SendOut(WireWriter& w, Slot& s, const Slots& slots) {
    int32_t count = std::get<CountParam>(slots).value;
    if (!CountInRange(count)) return platform::kRpcInvalidBound;
    w.Int(count);
    w.Bytes(s.elements, static_cast<size_t>(count) * 4u);
    return 0;
  }
};

// ------------------------------------------------------------------ client --

template <uint32_t Number, typename... Kinds, size_t... I>
int32_t ClientCallIndexed(platform::RpcBinding binding, std::index_sequence<I...>,
                          typename Kinds::Type... args) {
  // Per-call buffers: thread-locals with destructors would keep the proxy
  // library loaded after an unload, and its agents running.
  std::vector<uint8_t> request;
  std::vector<uint8_t> reply;
  [[maybe_unused]] const auto argTuple = std::make_tuple(args...);
  WireWriter writer(request);
  (Marshal<Kinds>::SendIn(writer, std::get<I>(argTuple), argTuple), ...);
  platform::RpcCall(binding, kAgentInterfaceId, Number, request, reply);
  WireReader reader(reply.data(), reply.size());
  RpcStatus status = 0;
  ((status == 0 ? status = Marshal<Kinds>::ReceiveOut(reader, std::get<I>(argTuple), argTuple)
                : status),
   ...);
  int32_t result = 0;
  if (status == 0 && (!reader.Int(result) || !reader.AtEnd())) status = platform::kRpcBadStubData;
  if (status != 0) ThrowRpc(status);
  return result;
}

template <uint32_t Number, typename... Kinds>
int32_t ClientCall(platform::RpcBinding binding, typename Kinds::Type... args) {
  return ClientCallIndexed<Number, Kinds...>(binding, std::index_sequence_for<Kinds...>{}, args...);
}

// ------------------------------------------------------------------ server --

template <uint32_t Number, typename... Kinds, size_t... I>
RpcStatus ServerCallIndexed(int32_t (*handler)(platform::RpcBinding, typename Kinds::Type...),
                            std::index_sequence<I...>, const uint8_t* request, size_t size,
                            std::vector<uint8_t>& reply) {
  [[maybe_unused]] std::tuple<typename Marshal<Kinds>::Slot...> slots;
  [[maybe_unused]] WireReader reader(request, size);
  RpcStatus status = 0;
  ((status == 0 ? status = Marshal<Kinds>::ReceiveIn(reader, std::get<I>(slots)) : status), ...);
  if (status == 0 && !reader.AtEnd()) status = platform::kRpcBadStubData;
  ((status == 0 ? status = Marshal<Kinds>::Prepare(std::get<I>(slots), slots) : status), ...);
  if (status != 0) return status;
  int32_t result = handler(nullptr, Marshal<Kinds>::Arg(std::get<I>(slots))...);
  WireWriter writer(reply);
  ((status == 0 ? status = Marshal<Kinds>::SendOut(writer, std::get<I>(slots), slots) : status),
   ...);
  if (status != 0) return status;
  writer.Int(result);
  return 0;
}

template <uint32_t Number, typename... Kinds>
RpcStatus ServerCall(int32_t (*handler)(platform::RpcBinding, typename Kinds::Type...),
                     const uint8_t* request, size_t size, std::vector<uint8_t>& reply) {
  return ServerCallIndexed<Number, Kinds...>(handler, std::index_sequence_for<Kinds...>{}, request,
                                             size, reply);
}

}  // namespace qlx::agent
