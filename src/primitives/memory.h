// Heap blocks, zero-filled unless asked otherwise.
#pragma once

#include <cstddef>
#include <memory>

// A zero-filled block, or null when memory ran out.
void* MemAllocate(size_t size);
// The same, its bytes left as they come: for a block written before it is
// read (a read buffer). Fails as MemAllocate does.
void* MemAllocateUncleared(size_t size);
// Frees the block (null is fine) and always returns null, so that callers
// clear their pointer in the same statement.
void* MemDeAllocate(void* block);

// A block owned by one scope; freed with MemDeAllocate.
struct BlockDeleter {
  void operator()(void* block) const { MemDeAllocate(block); }
};
template <class Item>
using BlockPtr = std::unique_ptr<Item, BlockDeleter>;

// A zero-filled block of count items, or null when memory ran out.
template <class Item = unsigned char>
BlockPtr<Item> AllocateBlock(size_t count) {
  return BlockPtr<Item>(static_cast<Item*>(MemAllocate(count * sizeof(Item))));
}

// A block of count items, not cleared (see MemAllocateUncleared).
template <class Item = unsigned char>
BlockPtr<Item> AllocateUnclearedBlock(size_t count) {
  return BlockPtr<Item>(static_cast<Item*>(MemAllocateUncleared(count * sizeof(Item))));
}

// Fault injection for tests of what the program does when memory runs out:
// the nth MemAllocate or MemAllocateUncleared call from now (1: the next
// one) returns null, as if memory had run out; the calls after it succeed
// again. 0 cancels a failure not yet reached.
void FailNthAllocation(int n);
