// A lock for critical sections of a few look-ups, taken by several threads
// many thousand times a second.
#pragma once

#include <mutex>

// A mutex that a thread finding it taken tries again for a moment before it
// sleeps: the holder lets go within a few hundred cycles, and putting a thread
// to sleep and waking it costs far more than that. Meets the standard's
// Lockable requirements (std::lock_guard, std::unique_lock,
// std::condition_variable_any).
class BriefLock {
 public:
  void lock() {
    for (int tries = 0; tries < kTries; ++tries) {
      if (mutex_.try_lock()) return;
#if defined(__i386__) || defined(__x86_64__)
      __builtin_ia32_pause();
#endif
    }
    mutex_.lock();
  }
  bool try_lock() {
    return mutex_.try_lock();
  }
  void unlock() {
    mutex_.unlock();
  }

 private:
  static constexpr int kTries = 200;
  std::mutex mutex_;
};
