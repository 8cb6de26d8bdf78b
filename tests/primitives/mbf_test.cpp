#include "primitives/mbf.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

namespace {

using Bytes4 = std::array<unsigned char, 4>;  // file order

uint32_t Word(const Bytes4& bytes) {
  return LoadMbfWord(bytes.data());
}

Bytes4 Written(float value) {
  Bytes4 bytes{};
  StoreMbfWord(bytes.data(), IEEE_MBF(value));
  return bytes;
}

struct WorkedValue {
  float value;
  Bytes4 bytes;
};

// Values whose stored bytes are known from real files and from the format.
const WorkedValue kWorkedValues[] = {
    {1.0f, {0x00, 0x00, 0x00, 0x81}},
    {0.5f, {0x00, 0x00, 0x00, 0x80}},
    {100.0f, {0x00, 0x00, 0x48, 0x87}},
    {960115.0f, {0x30, 0x67, 0x6A, 0x94}},
    {1100104.0f, {0x40, 0x4A, 0x06, 0x95}},
    {1000000000.0f, {0x28, 0x6B, 0x6E, 0x9E}},
    {std::numeric_limits<float>::denorm_min(), {0x01, 0x00, 0x00, 0x02}},
    {std::numeric_limits<float>::min(), {0x00, 0x00, 0x00, 0x03}},
};

TEST(MbfWrite, WorkedValuesGiveTheirStoredBytes) {
  for (const WorkedValue& worked : kWorkedValues) {
    EXPECT_EQ(Written(worked.value), worked.bytes) << worked.value;
  }
}

TEST(MbfRead, WorkedBytesGiveTheirValues) {
  for (const WorkedValue& worked : kWorkedValues) {
    EXPECT_EQ(std::bit_cast<uint32_t>(MBF_IEEE(Word(worked.bytes))), std::bit_cast<uint32_t>(worked.value))
        << worked.value;
  }
}

TEST(MbfWrite, ZeroOfEitherSignIsFourZeroBytes) {
  EXPECT_EQ(Written(0.0f), (Bytes4{0, 0, 0, 0}));
  EXPECT_EQ(Written(-0.0f), (Bytes4{0, 0, 0, 0}));
}

TEST(MbfWrite, NegativeValuesKeepTheirSignInByteTwo) {
  EXPECT_EQ(Written(-1.0f), (Bytes4{0x00, 0x00, 0x80, 0x81}));
  EXPECT_EQ(Written(-2.0f), (Bytes4{0x00, 0x00, 0x80, 0x82}));
}

struct ReadCase {
  Bytes4 bytes;
  float expected;
  const char* why;
};

TEST(MbfRead, ZeroesCorruptionAndTheCeiling) {
  const ReadCase cases[] = {
      {{0x00, 0x00, 0x00, 0x00}, 0.0f, "all zero"},
      {{0x00, 0x00, 0x00, 0x02}, 0.0f, "exponent byte 2, no fraction: IEEE zero"},
      {{0x00, 0x00, 0x00, 0x80}, 0.5f, "only the top bit of byte 3 set is not zero"},
      {{0x00, 0x00, 0x80, 0x81}, kCorruptNumber, "-1.0 is negative"},
      {{0x00, 0x00, 0x80, 0x00}, kCorruptNumber, "sign bit alone"},
      {{0xFF, 0xFF, 0xFF, 0x90}, kCorruptNumber, "sign bit with a plausible magnitude"},
      {{0x28, 0x6B, 0x6E, 0x9E}, 1000000000.0f, "the ceiling itself passes"},
      {{0x29, 0x6B, 0x6E, 0x9E}, kCorruptNumber, "the next float above the ceiling"},
      {{0x00, 0x00, 0x00, 0x9F}, kCorruptNumber, "2^30, above the ceiling"},
      {{0x00, 0x00, 0x00, 0xFF}, kCorruptNumber, "2^126, far above the ceiling"},
      {{0x01, 0x00, 0x00, 0x00}, kCorruptNumber, "exponent byte 0 wraps to a huge value"},
      {{0x00, 0x00, 0x00, 0x01}, kCorruptNumber, "exponent byte 1 wraps to infinity"},
      {{0x01, 0x00, 0x00, 0x01}, kCorruptNumber, "exponent byte 1 with a fraction wraps to not-a-number"},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(MBF_IEEE(Word(c.bytes)), c.expected) << c.why;
  }
}

TEST(MbfWrite, ValuesWithoutAnMbfFormReadBackAsCorrupt) {
  const float cases[] = {
      std::numeric_limits<float>::infinity(),
      -std::numeric_limits<float>::infinity(),
      std::numeric_limits<float>::quiet_NaN(),
      std::ldexp(1.0f, 127),
      -std::ldexp(1.0f, 127),
      std::numeric_limits<float>::max(),
  };
  for (const float value : cases) {
    EXPECT_EQ(MBF_IEEE(IEEE_MBF(value)), kCorruptNumber) << value;
  }
}

TEST(MbfWords, FileOrderIsLittleEndian) {
  const Bytes4 bytes{0x30, 0x67, 0x6A, 0x94};
  EXPECT_EQ(LoadMbfWord(bytes.data()), 0x946A6730u);
  std::array<unsigned char, 6> out{0xEE, 0, 0, 0, 0, 0xEE};
  StoreMbfWord(out.data() + 1, 0x946A6730u);
  EXPECT_EQ(out, (std::array<unsigned char, 6>{0xEE, 0x30, 0x67, 0x6A, 0x94, 0xEE}));
}

}  // namespace
