// Sweeps over the whole float range. Compiled with optimisation: each loop is
// one tight pass counting mismatches, so a failure reports the count and the
// first offending pattern rather than a billion lines.
#include "primitives/mbf.h"

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kCeilingBits = 0x4E6E6B28u;  // 1,000,000,000.0f
static_assert(std::bit_cast<uint32_t>(1000000000.0f) == kCeilingBits);

TEST(MbfSweep, EveryNonNegativeFloatUpToTheCeilingRoundTrips) {
  const auto start = std::chrono::steady_clock::now();
  uint64_t mismatches = 0;
  uint32_t firstMismatch = 0;
  uint64_t checked = 0;
  // From +0 through the subnormals and every normal value up to the ceiling.
  for (uint32_t bits = 0;; ++bits) {
    const uint32_t back = std::bit_cast<uint32_t>(MBF_IEEE(IEEE_MBF(std::bit_cast<float>(bits))));
    if (back != bits) {
      if (mismatches == 0) firstMismatch = bits;
      ++mismatches;
    }
    ++checked;
    if (bits == kCeilingBits) break;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("round trip of %llu patterns: %.2f s\n", static_cast<unsigned long long>(checked), seconds);
  EXPECT_EQ(checked, uint64_t{kCeilingBits} + 1);
  EXPECT_EQ(mismatches, 0u) << "first mismatch at pattern 0x" << std::hex << firstMismatch;
}

// A sampled pass over every 32-bit word (each pattern whose index is a
// multiple of a prime stride, so all byte positions vary).
constexpr uint32_t kSampleStride = 251;

TEST(MbfSweep, ReadingAnyWordGivesTheMarkerOrAValueWithinRange) {
  uint64_t outOfRange = 0;
  uint32_t firstOutOfRange = 0;
  uint64_t signedNotMarker = 0;
  for (uint64_t w = 0; w <= 0xFFFFFFFFu; w += kSampleStride) {
    const uint32_t word = static_cast<uint32_t>(w);
    const float value = MBF_IEEE(word);
    const bool inRange = value == kCorruptNumber || (value >= 0.0f && value <= kMbfCeiling);
    if (!inRange) {
      if (outOfRange == 0) firstOutOfRange = word;
      ++outOfRange;
    }
    if ((word & 0x00800000u) != 0 && value != kCorruptNumber) ++signedNotMarker;
  }
  EXPECT_EQ(outOfRange, 0u) << "first at word 0x" << std::hex << firstOutOfRange;
  EXPECT_EQ(signedNotMarker, 0u);
}

TEST(MbfSweep, EveryWrittenNegativeOrOverCeilingValueReadsAsCorrupt) {
  uint64_t misread = 0;
  uint32_t firstMisread = 0;
  for (uint64_t b = 1; b <= 0xFFFFFFFFu; b += kSampleStride) {
    const uint32_t bits = static_cast<uint32_t>(b);
    const float value = std::bit_cast<float>(bits);
    const bool negative = (bits & 0x80000000u) != 0 && (bits & 0x7FFFFFFFu) != 0;
    const bool overCeiling = std::isnan(value) || value > kMbfCeiling;
    if (!negative && !overCeiling) continue;
    if (MBF_IEEE(IEEE_MBF(value)) != kCorruptNumber) {
      if (misread == 0) firstMisread = bits;
      ++misread;
    }
  }
  EXPECT_EQ(misread, 0u) << "first at pattern 0x" << std::hex << firstMisread;
}

}  // namespace
