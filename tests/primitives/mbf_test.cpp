// The MBF conversion: worked values, the screening of corrupt numbers, and
// sweeps over the float range (optimised: each counts its mismatches).
#include "primitives/mbf.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <limits>

namespace {

using Bytes4 = std::array<unsigned char, 4>;  // file order

float Read(const Bytes4& bytes) {
  return MBF_IEEE(LoadMbfWord(bytes.data()));
}

TEST(Mbf, WorkedValuesWriteTheirBytesAndReadBackExactly) {
  const std::pair<float, Bytes4> cases[] = {
      {1.0f, {0x00, 0x00, 0x00, 0x81}},
      {960115.0f, {0x30, 0x67, 0x6A, 0x94}},
      {1000000000.0f, {0x28, 0x6B, 0x6E, 0x9E}},
      {std::numeric_limits<float>::denorm_min(), {0x01, 0x00, 0x00, 0x02}},
      {std::numeric_limits<float>::min(), {0x00, 0x00, 0x00, 0x03}},
      {0.0f, {0, 0, 0, 0}},
      {-0.0f, {0, 0, 0, 0}},
      {-1.0f, {0x00, 0x00, 0x80, 0x81}}};
  for (const auto& [value, bytes] : cases) {
    Bytes4 written{0xEE, 0xEE, 0xEE, 0xEE};
    StoreMbfWord(written.data(), IEEE_MBF(value));
    EXPECT_EQ(written, bytes) << value;
    const float back = value < 0.0f ? kCorruptNumber : value == 0.0f ? 0.0f : value;
    EXPECT_EQ(std::bit_cast<uint32_t>(Read(bytes)), std::bit_cast<uint32_t>(back)) << value;
  }
}

TEST(Mbf, ReadingScreensNegativesOverflowsAndTheCeiling) {
  EXPECT_EQ(Read({0x00, 0x00, 0x00, 0x02}), 0.0f) << "exponent byte 2, no fraction: IEEE zero";
  const std::pair<Bytes4, const char*> corrupt[] = {
      {{0x00, 0x00, 0x80, 0x00}, "sign bit alone"},
      {{0xFF, 0xFF, 0xFF, 0x90}, "sign bit with a plausible magnitude"},
      {{0x29, 0x6B, 0x6E, 0x9E}, "the next float above the ceiling"},
      {{0x00, 0x00, 0x00, 0xFF}, "2^126, far above the ceiling"},
      {{0x01, 0x00, 0x00, 0x00}, "exponent byte 0 wraps to a huge value"},
      {{0x00, 0x00, 0x00, 0x01}, "exponent byte 1 wraps to infinity"},
      {{0x01, 0x00, 0x00, 0x01}, "exponent byte 1 with a fraction wraps to not-a-number"}};
  for (const auto& [bytes, why] : corrupt) EXPECT_EQ(Read(bytes), kCorruptNumber) << why;
}

constexpr uint32_t kCeilingBits = std::bit_cast<uint32_t>(1000000000.0f);

TEST(MbfSweep, EveryNonNegativeFloatUpToTheCeilingRoundTrips) {
  uint64_t mismatches = 0;
  uint32_t first = 0;
  for (uint32_t bits = 0; bits <= kCeilingBits; ++bits) {
    if (std::bit_cast<uint32_t>(MBF_IEEE(IEEE_MBF(std::bit_cast<float>(bits)))) != bits && mismatches++ == 0)
      first = bits;
  }
  EXPECT_EQ(mismatches, 0u) << "first mismatch at pattern 0x" << std::hex << first;
}

// Sampled passes over every 32-bit pattern (a prime stride, so all byte
// positions vary): any stored word reads as the marker or a value in range, a
// set sign bit always as the marker; any negative or over-ceiling value
// written reads back as the marker; every word read as a value is written
// back as the same word (so import gives back what export read), but for
// exponent byte 2 without a fraction, which reads as 0.
TEST(MbfSweep, AnyWordReadsInRangeAndAnyUnstorableValueReadsAsCorrupt) {
  constexpr uint32_t kStride = 251;
  uint64_t outOfRange = 0, signedNotMarker = 0, misread = 0, notWrittenBack = 0;
  for (uint64_t w = 0; w <= 0xFFFFFFFFu; w += kStride) {
    const auto word = static_cast<uint32_t>(w);
    const float value = MBF_IEEE(word);
    outOfRange += !(value == kCorruptNumber || (value >= 0.0f && value <= kMbfCeiling));
    signedNotMarker += (word & 0x00800000u) != 0 && value != kCorruptNumber;
    notWrittenBack += value != kCorruptNumber && IEEE_MBF(value) != word && word != 0x02000000u;
    const float ieee = std::bit_cast<float>(word);
    const bool negative = (word & 0x80000000u) != 0 && (word & 0x7FFFFFFFu) != 0;
    if ((negative || std::isnan(ieee) || ieee > kMbfCeiling) && MBF_IEEE(IEEE_MBF(ieee)) != kCorruptNumber)
      ++misread;
  }
  EXPECT_EQ(outOfRange, 0u);
  EXPECT_EQ(signedNotMarker, 0u);
  EXPECT_EQ(misread, 0u);
  EXPECT_EQ(notWrittenBack, 0u);
  EXPECT_EQ(std::pair(IEEE_MBF(MBF_IEEE(0x02000000u)), IEEE_MBF(kCorruptNumber)), std::pair(0u, 0x82800000u));
}

}  // namespace
