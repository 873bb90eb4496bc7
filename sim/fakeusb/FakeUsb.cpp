// The fake libusb: the thirteen functions the hot-plug plug-in binds plus the
// two it uses to wake event handling, with libusb 1.0's published signatures,
// over an in-memory bus that FakeUsbControl.h drives.
//
// Build variants leave names out: FAKEUSB_WITHOUT_REGISTER drops
// libusb_hotplug_register_callback, FAKEUSB_WITHOUT_WAKE drops
// libusb_interrupt_event_handler and libusb_hotplug_deregister_callback.
#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/callconv.h"
#include "sim/fakeusb/FakeUsbControl.h"
#include "sim/fakeusb/FakeUsbScript.h"

using Clock = std::chrono::steady_clock;

struct libusb_device {
  uint16_t vendorId;
  uint16_t productId;
  uint8_t address;
  int descriptorFailures;  // -1: every read fails
};

namespace {

struct Registration {
  libusb_hotplug_callback_handle handle;
  FakeUsbRegistration arguments;
  libusb_hotplug_callback_fn function;
};

struct PendingEvent {
  libusb_device* device;
  libusb_hotplug_event event;
};

}  // namespace

struct libusb_context {
  bool exited = false;
  bool interrupted = false;
  bool woken = false;  // a deregistration wakes event handling once
  std::vector<Registration> registrations;
  std::deque<PendingEvent> pending;
};

namespace {

struct Failure {
  int errorCode = 0;
  int remaining = 0;  // -1: always
};

struct State {
  std::mutex lock;
  std::condition_variable changed;
  bool hotplug = true;
  int eventTimeoutMs = 60000;
  std::vector<libusb_device*> attached;   // in attachment order
  std::vector<libusb_device*> created;    // never freed: old lists may still name them
  std::vector<libusb_context*> contexts;  // never freed: misuse stays detectable
  std::array<Failure, 3> failures{};
  std::array<unsigned, FAKEUSB_COUNTER_COUNT> counters{};
  bool haveRegistration = false;
  FakeUsbRegistration lastRegistration{};
  libusb_hotplug_callback_handle nextHandle = 1;
  // Script of QLX_FAKEUSB_SCRIPT, timed from the first libusb_init.
  bool scriptLoaded = false;
  bool scriptClockStarted = false;
  Clock::time_point scriptStart;
  std::deque<fakeusb::ScriptEvent> scriptEvents;
};

// Deliberately never destroyed: a host's exit handlers may still call in
// after this library's static objects would have been torn down.
State& TheState() {
  static State* state = new State;
  return *state;
}

using Guard = std::unique_lock<std::mutex>;

void Count(State& s, FakeUsbCounter counter, int delta = 1) {
  s.counters[counter] += delta;
  s.changed.notify_all();
}

bool TakeFailure(State& s, FakeUsbCall call, int& errorCode) {
  Failure& failure = s.failures[call];
  if (failure.remaining == 0) return false;
  if (failure.remaining > 0) --failure.remaining;
  errorCode = failure.errorCode;
  return true;
}

// True for a context that libusb_init created and libusb_exit has not
// released; counts every other use as misuse.
bool Usable(State& s, libusb_context* ctx) {
  if (std::find(s.contexts.begin(), s.contexts.end(), ctx) == s.contexts.end()) {
    Count(s, FAKEUSB_CALLS_ON_UNKNOWN_CONTEXT);
    return false;
  }
  if (ctx->exited) {
    Count(s, FAKEUSB_CALLS_ON_EXITED_CONTEXT);
    return false;
  }
  return true;
}

libusb_device* AttachedAt(State& s, uint8_t address) {
  for (libusb_device* device : s.attached)
    if (device->address == address) return device;
  return nullptr;
}

bool Matches(const FakeUsbRegistration& r, const libusb_device* device, int event) {
  return (r.events & event) != 0 &&
         (r.vendorId == LIBUSB_HOTPLUG_MATCH_ANY || r.vendorId == device->vendorId) &&
         (r.productId == LIBUSB_HOTPLUG_MATCH_ANY || r.productId == device->productId);
}

void QueueEvent(State& s, libusb_device* device, libusb_hotplug_event event) {
  for (libusb_context* ctx : s.contexts) {
    if (ctx->exited) continue;
    bool wanted =
        std::any_of(ctx->registrations.begin(), ctx->registrations.end(),
                    [&](const Registration& r) { return Matches(r.arguments, device, event); });
    if (wanted) ctx->pending.push_back({device, event});
  }
  s.changed.notify_all();
}

bool AttachLocked(State& s, uint16_t vendorId, uint16_t productId, uint8_t address) {
  if (AttachedAt(s, address) != nullptr) return false;
  auto* device = new libusb_device{vendorId, productId, address, 0};
  s.created.push_back(device);
  s.attached.push_back(device);
  QueueEvent(s, device, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED);
  return true;
}

bool DetachLocked(State& s, uint8_t address) {
  libusb_device* device = AttachedAt(s, address);
  if (device == nullptr) return false;
  s.attached.erase(std::find(s.attached.begin(), s.attached.end(), device));
  QueueEvent(s, device, LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT);
  return true;
}

void LoadScriptLocked(State& s) {
  if (s.scriptLoaded) return;
  s.scriptLoaded = true;
  const char* path = std::getenv("QLX_FAKEUSB_SCRIPT");
  if (path == nullptr || *path == '\0') return;
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  fakeusb::Script script;
  std::string error;
  if (!file || !fakeusb::ParseScript(text.str(), script, error)) {
    std::fprintf(stderr, "fake libusb: script %s not used: %s\n", path,
                 file ? error.c_str() : "cannot read it");
    return;
  }
  s.hotplug = script.hotplug;
  for (const auto& d : script.initialDevices) AttachLocked(s, d.vendorId, d.productId, d.address);
  s.scriptEvents.assign(script.events.begin(), script.events.end());
}

// Applies the script events that are due; returns when the next one is due.
Clock::time_point ApplyDueScriptEvents(State& s) {
  if (!s.scriptClockStarted) return Clock::time_point::max();
  const auto now = Clock::now();
  while (!s.scriptEvents.empty()) {
    const fakeusb::ScriptEvent& event = s.scriptEvents.front();
    const auto due = s.scriptStart + std::chrono::milliseconds(event.atMilliseconds);
    if (due > now) return due;
    if (event.attach)
      AttachLocked(s, event.device.vendorId, event.device.productId, event.device.address);
    else
      DetachLocked(s, event.device.address);
    s.scriptEvents.pop_front();
  }
  return Clock::time_point::max();
}

// Delivers the queued events of `ctx`, without the lock held during callbacks.
void DeliverPending(State& s, Guard& guard, libusb_context* ctx) {
  while (!ctx->pending.empty() && !ctx->exited) {
    PendingEvent event = ctx->pending.front();
    ctx->pending.pop_front();
    std::vector<Registration> registrations = ctx->registrations;
    for (const Registration& r : registrations) {
      if (!Matches(r.arguments, event.device, event.event)) continue;
      Count(s, FAKEUSB_EVENTS_DELIVERED);
      guard.unlock();
      const int done = r.function(ctx, event.device, event.event, r.arguments.userData);
      guard.lock();
      if (done != 0) {
        auto& regs = ctx->registrations;
        regs.erase(std::remove_if(regs.begin(), regs.end(),
                                  [&](const Registration& x) { return x.handle == r.handle; }),
                   regs.end());
      }
    }
  }
}

int HandleEvents(libusb_context* ctx) {
  State& s = TheState();
  Guard guard(s.lock);
  if (!Usable(s, ctx)) return LIBUSB_ERROR_INVALID_PARAM;
  Count(s, FAKEUSB_EVENT_HANDLING_ENTERED);
  Count(s, FAKEUSB_EVENT_HANDLING_ACTIVE);
  const auto timeout = Clock::now() + std::chrono::milliseconds(s.eventTimeoutMs);
  int result = 0;
  for (;;) {
    const auto nextScriptEvent = ApplyDueScriptEvents(s);
    if (ctx->interrupted) {
      ctx->interrupted = false;
      result = LIBUSB_ERROR_INTERRUPTED;
      break;
    }
    if (!ctx->pending.empty() || ctx->woken || ctx->exited || Clock::now() >= timeout) break;
    s.changed.wait_until(guard, std::min(timeout, nextScriptEvent));
  }
  ctx->woken = false;
  DeliverPending(s, guard, ctx);
  Count(s, FAKEUSB_EVENT_HANDLING_ACTIVE, -1);
  return result;
}

const char* ErrorName(int code) {
  switch (code) {
    case LIBUSB_SUCCESS:
      return "LIBUSB_SUCCESS";
    case LIBUSB_ERROR_IO:
      return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_INVALID_PARAM:
      return "LIBUSB_ERROR_INVALID_PARAM";
    case LIBUSB_ERROR_ACCESS:
      return "LIBUSB_ERROR_ACCESS";
    case LIBUSB_ERROR_NO_DEVICE:
      return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_NOT_FOUND:
      return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_BUSY:
      return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_TIMEOUT:
      return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_OVERFLOW:
      return "LIBUSB_ERROR_OVERFLOW";
    case LIBUSB_ERROR_PIPE:
      return "LIBUSB_ERROR_PIPE";
    case LIBUSB_ERROR_INTERRUPTED:
      return "LIBUSB_ERROR_INTERRUPTED";
    case LIBUSB_ERROR_NO_MEM:
      return "LIBUSB_ERROR_NO_MEM";
    case LIBUSB_ERROR_NOT_SUPPORTED:
      return "LIBUSB_ERROR_NOT_SUPPORTED";
    case LIBUSB_ERROR_OTHER:
      return "LIBUSB_ERROR_OTHER";
    default:
      return "**UNKNOWN**";
  }
}

// ---- control API ----

void ControlReset() {
  State& s = TheState();
  Guard guard(s.lock);
  s.hotplug = true;
  s.eventTimeoutMs = 60000;
  s.attached.clear();
  s.failures = {};
  s.counters = {};
  s.haveRegistration = false;
  s.scriptEvents.clear();
  s.changed.notify_all();
}

void ControlSetHotplugCapability(int present) {
  State& s = TheState();
  Guard guard(s.lock);
  s.hotplug = present != 0;
}

void ControlSetEventTimeout(int milliseconds) {
  State& s = TheState();
  Guard guard(s.lock);
  s.eventTimeoutMs = std::max(0, milliseconds);
}

int ControlAttach(uint16_t vendorId, uint16_t productId, uint8_t address) {
  State& s = TheState();
  Guard guard(s.lock);
  return AttachLocked(s, vendorId, productId, address) ? 1 : 0;
}

int ControlDetach(uint8_t address) {
  State& s = TheState();
  Guard guard(s.lock);
  return DetachLocked(s, address) ? 1 : 0;
}

int ControlFailDescriptor(uint8_t address, int count) {
  State& s = TheState();
  Guard guard(s.lock);
  libusb_device* device = AttachedAt(s, address);
  if (device == nullptr) return 0;
  device->descriptorFailures = count;
  return 1;
}

void ControlFailCall(FakeUsbCall call, int errorCode, int count) {
  State& s = TheState();
  Guard guard(s.lock);
  if (call < FAKEUSB_CALL_INIT || call > FAKEUSB_CALL_GET_DEVICE_LIST) return;
  s.failures[call] = {errorCode, count};
}

unsigned ControlCounter(FakeUsbCounter counter) {
  State& s = TheState();
  Guard guard(s.lock);
  return counter >= 0 && counter < FAKEUSB_COUNTER_COUNT ? s.counters[counter] : 0;
}

int ControlWaitForCounter(FakeUsbCounter counter, unsigned atLeast, int timeoutMilliseconds) {
  if (counter < 0 || counter >= FAKEUSB_COUNTER_COUNT) return 0;
  State& s = TheState();
  Guard guard(s.lock);
  return s.changed.wait_for(guard, std::chrono::milliseconds(timeoutMilliseconds),
                            [&] { return s.counters[counter] >= atLeast; })
             ? 1
             : 0;
}

int ControlLastRegistration(FakeUsbRegistration* out) {
  State& s = TheState();
  Guard guard(s.lock);
  if (!s.haveRegistration || out == nullptr) return 0;
  *out = s.lastRegistration;
  return 1;
}

const FakeUsbControl kControl = {
    ControlReset,          ControlSetHotplugCapability, ControlSetEventTimeout, ControlAttach,
    ControlDetach,         ControlFailDescriptor,       ControlFailCall,        ControlCounter,
    ControlWaitForCounter, ControlLastRegistration,
};

}  // namespace

extern "C" {

QLX_EXPORT const FakeUsbControl* FakeUsb_GetControl(void) { return &kControl; }

QLX_EXPORT int LIBUSB_CALL libusb_init(libusb_context** ctx) {
  State& s = TheState();
  Guard guard(s.lock);
  LoadScriptLocked(s);
  int error = 0;
  if (TakeFailure(s, FAKEUSB_CALL_INIT, error)) return error;
  if (ctx == nullptr) {
    Count(s, FAKEUSB_CALLS_ON_UNKNOWN_CONTEXT);
    return LIBUSB_ERROR_NOT_SUPPORTED;
  }
  if (!s.scriptClockStarted) {
    s.scriptClockStarted = true;
    s.scriptStart = Clock::now();
  }
  *ctx = new libusb_context;
  s.contexts.push_back(*ctx);
  Count(s, FAKEUSB_CONTEXTS_CREATED);
  return LIBUSB_SUCCESS;
}

QLX_EXPORT void LIBUSB_CALL libusb_exit(libusb_context* ctx) {
  State& s = TheState();
  Guard guard(s.lock);
  if (!Usable(s, ctx)) return;
  if (s.counters[FAKEUSB_EVENT_HANDLING_ACTIVE] > 0) Count(s, FAKEUSB_EXITS_DURING_EVENT_HANDLING);
  ctx->exited = true;
  ctx->registrations.clear();
  ctx->pending.clear();
  Count(s, FAKEUSB_CONTEXTS_EXITED);
}

QLX_EXPORT int LIBUSB_CALL libusb_has_capability(uint32_t capability) {
  State& s = TheState();
  Guard guard(s.lock);
  LoadScriptLocked(s);
  if (capability == LIBUSB_CAP_HAS_CAPABILITY) return 1;
  return capability == LIBUSB_CAP_HAS_HOTPLUG && s.hotplug ? 1 : 0;
}

#ifndef FAKEUSB_WITHOUT_REGISTER
QLX_EXPORT int LIBUSB_CALL libusb_hotplug_register_callback(
    libusb_context* ctx, int events, int flags, int vendor_id, int product_id, int dev_class,
    libusb_hotplug_callback_fn cb_fn, void* user_data, libusb_hotplug_callback_handle* handle) {
  State& s = TheState();
  Guard guard(s.lock);
  s.haveRegistration = true;
  s.lastRegistration = {events, flags, vendor_id, product_id, dev_class, user_data};
  if (!Usable(s, ctx)) return LIBUSB_ERROR_INVALID_PARAM;
  int error = 0;
  if (TakeFailure(s, FAKEUSB_CALL_REGISTER, error)) return error;
  if (!s.hotplug) return LIBUSB_ERROR_NOT_SUPPORTED;
  if (cb_fn == nullptr || (events & 3) == 0) return LIBUSB_ERROR_INVALID_PARAM;
  Registration registration{s.nextHandle++, s.lastRegistration, cb_fn};
  ctx->registrations.push_back(registration);
  if (handle != nullptr) *handle = registration.handle;
  Count(s, FAKEUSB_REGISTRATIONS);
  if ((flags & LIBUSB_HOTPLUG_ENUMERATE) != 0) {
    for (libusb_device* device : s.attached)
      ctx->pending.push_back({device, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED});
    DeliverPending(s, guard, ctx);
  }
  return LIBUSB_SUCCESS;
}
#endif

#ifndef FAKEUSB_WITHOUT_WAKE
QLX_EXPORT void LIBUSB_CALL
libusb_hotplug_deregister_callback(libusb_context* ctx, libusb_hotplug_callback_handle handle) {
  State& s = TheState();
  Guard guard(s.lock);
  if (!Usable(s, ctx)) return;
  auto& regs = ctx->registrations;
  regs.erase(std::remove_if(regs.begin(), regs.end(),
                            [&](const Registration& r) { return r.handle == handle; }),
             regs.end());
  ctx->woken = true;
  Count(s, FAKEUSB_DEREGISTRATIONS);
}

QLX_EXPORT void LIBUSB_CALL libusb_interrupt_event_handler(libusb_context* ctx) {
  State& s = TheState();
  Guard guard(s.lock);
  if (!Usable(s, ctx)) return;
  ctx->interrupted = true;  // stays set until an event-handling call sees it
  Count(s, FAKEUSB_INTERRUPTS);
}
#endif

QLX_EXPORT int LIBUSB_CALL libusb_handle_events(libusb_context* ctx) { return HandleEvents(ctx); }

QLX_EXPORT int LIBUSB_CALL libusb_handle_events_completed(libusb_context* ctx, int* completed) {
  if (completed != nullptr && *completed != 0) return LIBUSB_SUCCESS;
  return HandleEvents(ctx);
}

QLX_EXPORT ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context* ctx, libusb_device*** list) {
  State& s = TheState();
  Guard guard(s.lock);
  if (list == nullptr || !Usable(s, ctx)) return LIBUSB_ERROR_INVALID_PARAM;
  Count(s, FAKEUSB_ENUMERATIONS);
  ApplyDueScriptEvents(s);
  int error = 0;
  if (TakeFailure(s, FAKEUSB_CALL_GET_DEVICE_LIST, error)) return error;
  auto** devices = new libusb_device*[s.attached.size() + 1];
  std::copy(s.attached.begin(), s.attached.end(), devices);
  devices[s.attached.size()] = nullptr;
  *list = devices;
  Count(s, FAKEUSB_LISTS_OUTSTANDING);
  return static_cast<ssize_t>(s.attached.size());
}

QLX_EXPORT void LIBUSB_CALL libusb_free_device_list(libusb_device** list, int unref_devices) {
  if (list == nullptr) return;
  State& s = TheState();
  Guard guard(s.lock);
  delete[] list;
  Count(s, FAKEUSB_LISTS_OUTSTANDING, -1);
  if (unref_devices == 0) Count(s, FAKEUSB_LISTS_FREED_WITHOUT_UNREF);
}

QLX_EXPORT int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* dev,
                                                        struct libusb_device_descriptor* desc) {
  if (dev == nullptr || desc == nullptr) return LIBUSB_ERROR_INVALID_PARAM;
  State& s = TheState();
  Guard guard(s.lock);
  if (dev->descriptorFailures != 0) {
    if (dev->descriptorFailures > 0) --dev->descriptorFailures;
    return LIBUSB_ERROR_IO;
  }
  *desc = libusb_device_descriptor{};
  desc->bLength = LIBUSB_DT_DEVICE_SIZE;
  desc->bDescriptorType = LIBUSB_DT_DEVICE;
  desc->bcdUSB = 0x0200;
  desc->bMaxPacketSize0 = 64;
  desc->idVendor = dev->vendorId;
  desc->idProduct = dev->productId;
  desc->bNumConfigurations = 1;
  return LIBUSB_SUCCESS;
}

QLX_EXPORT int LIBUSB_CALL libusb_open(libusb_device*, libusb_device_handle**) {
  return LIBUSB_ERROR_NOT_SUPPORTED;
}

QLX_EXPORT void LIBUSB_CALL libusb_close(libusb_device_handle*) {}

QLX_EXPORT const char* LIBUSB_CALL libusb_error_name(int errcode) { return ErrorName(errcode); }

QLX_EXPORT uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device* dev) {
  return dev == nullptr ? 0 : dev->address;
}

}  // extern "C"
