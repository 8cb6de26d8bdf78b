#include "filelayer/platform_faults.h"

#include <algorithm>
#include <array>
#include <vector>

namespace platform {

namespace {

constexpr size_t kKinds = static_cast<size_t>(Call::List) + 1;

struct Faults {
  std::array<int, kKinds> counts{};
  // For each kind, the call numbers (as counted in counts) that must fail.
  std::array<std::vector<int>, kKinds> pending;
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
  faults.pending[Index(kind)].push_back(faults.counts[Index(kind)] + nth);
}

void ResetFaults() {
  Faults& faults = State();
  faults.counts.fill(0);
  for (auto& list : faults.pending) list.clear();
}

int CallCount(Call kind) {
  return State().counts[Index(kind)];
}

namespace detail {

bool CallFails(Call kind) {
  Faults& faults = State();
  int number = ++faults.counts[Index(kind)];
  auto& list = faults.pending[Index(kind)];
  auto hit = std::find(list.begin(), list.end(), number);
  if (hit == list.end()) return false;
  list.erase(hit);
  return true;
}

}  // namespace detail

}  // namespace platform
