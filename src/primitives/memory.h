// Zero-filled heap blocks.
#pragma once

#include <cstddef>

// A zero-filled block, or null when memory ran out.
void* MemAllocate(size_t size);
// Frees the block (null is fine) and always returns null, so that callers
// clear their pointer in the same statement.
void* MemDeAllocate(void* block);
