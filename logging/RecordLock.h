#pragma once
// The lock a module's logger holds for the whole of a record. A record takes
// a few microseconds of file-system calls; a waiter that sleeps at once pays
// a sleep and a wake-up per record, which halves the throughput of two busy
// threads. So a waiter first spins briefly, then sleeps as usual.
#include <mutex>
#include <thread>

namespace QLXSdk {

class CRecordLock {
 public:
  void lock() {
    for (int i = 0; i < kSpins; ++i) {
      if (mutex_.try_lock()) return;
      Pause();
    }
    mutex_.lock();
  }
  void unlock() { mutex_.unlock(); }

 private:
  static constexpr int kSpins = 4000;

  static void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
  }

  std::mutex mutex_;
};

}  // namespace QLXSdk
