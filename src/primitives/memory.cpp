#include "primitives/memory.h"

#include <cstdlib>

namespace {

// Calls left until the injected failure; 0 when none is due. The program
// allocates on its one user-interface thread only.
int allocationsUntilFailure = 0;

}  // namespace

void* MemAllocate(size_t size) {
  if (allocationsUntilFailure > 0 && --allocationsUntilFailure == 0) return nullptr;
  // A request for nothing still gets a block of its own, so that null always
  // means memory ran out.
  return std::calloc(size == 0 ? 1 : size, 1);
}

void* MemDeAllocate(void* block) {
  std::free(block);
  return nullptr;
}

void FailNthAllocation(int n) {
  allocationsUntilFailure = n > 0 ? n : 0;
}
