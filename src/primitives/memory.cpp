#include "primitives/memory.h"

#include <cstdlib>

void* MemAllocate(size_t size) {
  // A request for nothing still gets a block of its own, so that null always
  // means memory ran out.
  return std::calloc(size == 0 ? 1 : size, 1);
}

void* MemDeAllocate(void* block) {
  std::free(block);
  return nullptr;
}
