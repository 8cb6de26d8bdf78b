#include "primitives/memory.h"

#include <atomic>
#include <cstdlib>

namespace {

// Calls left until the injected failure; 0 when none is due. Atomic: qvx
// check tests directories on several threads at once.
std::atomic<int> allocationsUntilFailure = 0;

bool InjectedFailureDue() {
  return allocationsUntilFailure.load(std::memory_order_relaxed) > 0 && --allocationsUntilFailure == 0;
}

}  // namespace

// A request for nothing still gets a block of its own, so that null always
// means memory ran out.
void* MemAllocate(size_t size) {
  return InjectedFailureDue() ? nullptr : std::calloc(size == 0 ? 1 : size, 1);
}

void* MemAllocateUncleared(size_t size) {
  return InjectedFailureDue() ? nullptr : std::malloc(size == 0 ? 1 : size);
}

void* MemDeAllocate(void* block) {
  std::free(block);
  return nullptr;
}

void FailNthAllocation(int n) {
  allocationsUntilFailure = n > 0 ? n : 0;
}
