// The number texts against the standard library's own: a sampled sweep over
// every value a data file can hold, every cent and 1/64 up to real prices,
// and the edges where the shortest text turns scientific or a tie is rounded
// (optimised: each counts its mismatches).
#include "primitives/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <string_view>

namespace {

// Counts the values whose texts differ from the library's, keeping the first.
struct Comparison {
  uint64_t differ = 0;
  uint32_t first = 0;
  void Check(float value) {
    char a[kNumberTextRoom], b[kNumberTextRoom], c[64], d[64];
    using Text = std::string_view;
    const bool same = Text(a, WriteShortestFloat(a, value)) == Text(c, std::to_chars(c, c + 64, value).ptr) &&
                      Text(b, WriteFixed2(b, value)) ==
                          Text(d, std::to_chars(d, d + 64, double{value}, std::chars_format::fixed, 2).ptr);
    if (!same && differ++ == 0) first = std::bit_cast<uint32_t>(value);
  }
};

TEST(NumberTexts, ShortestAndFixedTextsAreTheLibrarysOwn) {
  Comparison texts;
  for (uint64_t bits = 0; bits <= std::bit_cast<uint32_t>(1e9f); bits += 509)
    texts.Check(std::bit_cast<float>(static_cast<uint32_t>(bits)));
  for (int cents = 0; cents <= 2000000; ++cents) texts.Check(static_cast<float>(cents) / 100);
  for (int n = 0; n <= 64 * 2000; ++n) texts.Check(static_cast<float>(n) / 64);
  const auto both = [&](std::initializer_list<float> values) {
    for (const float value : values) texts.Check(value), texts.Check(-value);
  };
  both({0.0f, 1e-45f, 1.17549435e-38f, 7.6e-6f, 1e-4f, 1.2e-4f, 1e-3f, 0.005f});  // scientific below 1e-3
  both({0.125f, 0.375f, 2.675f, 0.99999994f, 9.999999f});  // ties, and up to a power of ten
  both({1e5f, 3e5f, 1e6f, 1.5e6f, 2e6f, 1e7f, 12300000.0f, 123456792.0f, 1e9f});  // whole, scientific or not
  both({1.1e12f, 3.4e38f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()});
  // Powers of two, whose gap below is half the gap above, and their neighbours.
  for (int exponent = -45; exponent <= 45; ++exponent) {
    const float power = std::ldexp(1.0f, exponent);
    both({power, std::nextafter(power, 0.0f), std::nextafter(power, 1e30f)});
  }
  EXPECT_EQ(texts.differ, 0u) << "first at pattern 0x" << std::hex << texts.first;
}

}  // namespace
