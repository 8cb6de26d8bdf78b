#include "filelayer/platform_faults.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

namespace {

constexpr size_t kKinds = static_cast<size_t>(Call::List) + 1;

struct Faults {
  // Calls of every thread are counted once a test has used FailNthCall,
  // ShortenNthWrite, ResetFaults or CallCount (a program that never does makes
  // no shared count bounce between processors on every system call); the lock
  // is taken only while a fault is set, so that threads of a run without
  // faults never wait on each other.
  std::array<std::atomic<int>, kKinds> counts{};
  std::atomic<bool> counting = false;
  std::atomic<bool> armed = false;
  // For each kind, the call numbers (as counted in counts) that must fail.
  std::array<std::vector<int>, kKinds> pending;
  // Write call numbers that store only some of their bytes, and how many.
  std::vector<std::pair<int, uint32_t>> shortWrites;
  std::mutex lock;
};

Faults& State() {
  static Faults faults;
  return faults;
}

size_t Index(Call kind) {
  return static_cast<size_t>(kind);
}

}  // namespace

void FailNthCall(Call kind, int nth) {
  if (nth < 1) return;
  Faults& faults = State();
  faults.counting = true;
  const std::lock_guard lock(faults.lock);
  faults.pending[Index(kind)].push_back(faults.counts[Index(kind)] + nth);
  faults.armed = true;
}

void ShortenNthWrite(int nth, uint32_t bytes) {
  if (nth < 1) return;
  Faults& faults = State();
  faults.counting = true;
  const std::lock_guard lock(faults.lock);
  faults.shortWrites.emplace_back(faults.counts[Index(Call::Write)] + nth, bytes);
  faults.armed = true;
}

void ResetFaults() {
  Faults& faults = State();
  faults.counting = true;
  const std::lock_guard lock(faults.lock);
  for (std::atomic<int>& count : faults.counts) count = 0;
  for (auto& list : faults.pending) list.clear();
  faults.shortWrites.clear();
  faults.armed = false;
}

int CallCount(Call kind) {
  State().counting = true;
  return State().counts[Index(kind)];
}

namespace detail {

bool CallFails(Call kind) {
  Faults& faults = State();
  if (!faults.counting.load(std::memory_order_relaxed)) return false;
  const int number = ++faults.counts[Index(kind)];
  if (!faults.armed) return false;
  const std::lock_guard lock(faults.lock);
  auto& list = faults.pending[Index(kind)];
  auto hit = std::find(list.begin(), list.end(), number);
  if (hit == list.end()) return false;
  list.erase(hit);
  return true;
}

uint32_t WriteAllowance(uint32_t count, int64_t offset, const std::function<int64_t()>& size) {
  Faults& faults = State();
  if (!faults.armed) return count;
  const std::lock_guard lock(faults.lock);
  const int number = faults.counts[Index(Call::Write)];
  auto& list = faults.shortWrites;
  auto hit = std::find_if(list.begin(), list.end(), [&](const auto& entry) { return entry.first == number; });
  if (hit == list.end()) return count;
  const int64_t inside = std::max<int64_t>(size() - offset, 0);
  const uint32_t allowed = static_cast<uint32_t>(std::min<int64_t>(count, inside + hit->second));
  list.erase(hit);
  return allowed;
}

}  // namespace detail

}  // namespace platform
