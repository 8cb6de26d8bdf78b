#include "primitives/memory.h"

#include <cstddef>

#include <gtest/gtest.h>

namespace {

TEST(MemAllocate, BlocksAreZeroFilled) {
  for (const size_t size : {size_t{1}, size_t{53}, size_t{4096}, size_t{1} << 20}) {
    auto* block = static_cast<unsigned char*>(MemAllocate(size));
    ASSERT_NE(block, nullptr) << size;
    size_t nonZero = 0;
    for (size_t i = 0; i < size; ++i) nonZero += block[i] != 0;
    EXPECT_EQ(nonZero, 0u) << size;
    EXPECT_EQ(MemDeAllocate(block), nullptr);
  }
}

TEST(MemAllocate, ARequestForNothingStillGivesABlock) {
  void* block = MemAllocate(0);
  EXPECT_NE(block, nullptr);
  EXPECT_EQ(MemDeAllocate(block), nullptr);
}

TEST(MemDeAllocate, ReturnsNullSoTheCallerClearsItsPointer) {
  void* block = MemAllocate(16);
  ASSERT_NE(block, nullptr);
  block = MemDeAllocate(block);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(MemDeAllocate(nullptr), nullptr);
}

TEST(FailNthAllocation, OnlyTheNamedCallFailsAndZeroCancels) {
  FailNthAllocation(3);
  void* first = MemAllocate(8);
  void* second = MemAllocate(8);
  void* third = MemAllocate(8);
  void* fourth = MemAllocate(8);
  EXPECT_NE(first, nullptr);
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(third, nullptr) << "the third call runs out";
  EXPECT_NE(fourth, nullptr) << "and the one after it succeeds again";
  for (void* block : {first, second, fourth}) MemDeAllocate(block);

  FailNthAllocation(2);
  FailNthAllocation(0);
  void* blocks[3] = {MemAllocate(1), MemAllocate(1), MemAllocate(1)};
  for (void* block : blocks) {
    EXPECT_NE(block, nullptr) << "a cancelled failure never comes";
    MemDeAllocate(block);
  }
}

}  // namespace
