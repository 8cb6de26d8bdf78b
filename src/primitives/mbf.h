// Conversion between native IEEE 754 singles and the 4-byte Microsoft Binary
// Format (MBF) floats stored in master and data files.
#pragma once

#include <bit>
#include <cstdint>

// The stored bytes travel as one 32-bit word whose little-endian byte order is
// the file order (byte 0 = least significant mantissa byte, byte 3 = exponent).

// Never fails. Zero of either sign becomes four zero bytes; subnormals keep
// their fraction under exponent byte 2. Values with no MBF form (magnitude
// 2^127 or more, infinities, not-a-numbers) are stored as the largest MBF
// magnitude with their sign, which MBF_IEEE reads back as kCorruptNumber.
uint32_t IEEE_MBF(float value);

inline constexpr float kCorruptNumber = -2.0f;
inline constexpr float kMbfCeiling = 1000000000.0f;

namespace mbf_detail {

inline constexpr uint32_t kSignBitIeee = 0x80000000u;
inline constexpr uint32_t kSignBitMbf = 0x00800000u;  // bit 7 of byte 2
inline constexpr uint32_t kMantissaMask = 0x007FFFFFu;
inline constexpr int kExponentShiftIeee = 23;
inline constexpr int kExponentShiftMbf = 24;
// The MBF exponent byte is the IEEE biased exponent plus 2 (bias 129 against
// 127, with the implicit bit counted the same way).
inline constexpr uint32_t kExponentOffset = 2;
inline constexpr uint32_t kCeilingBits = std::bit_cast<uint32_t>(kMbfCeiling);

}  // namespace mbf_detail

// Never fails. The result is either kCorruptNumber or a value in the closed
// range 0 ... 1,000,000,000: anything negative, not a number or larger than
// that ceiling is screened out as corrupt. Inline: every value of every
// record a test or a listing reads passes through it.
inline float MBF_IEEE(uint32_t stored) {
  using namespace mbf_detail;
  if (stored == 0) return 0.0f;
  if ((stored & kSignBitMbf) != 0) return kCorruptNumber;
  // Exponent bytes 0 and 1 wrap to 254 and 255: huge, infinite or not a number,
  // all screened out below.
  const uint32_t exponent = ((stored >> kExponentShiftMbf) - kExponentOffset) & 0xFFu;
  const uint32_t bits = (exponent << kExponentShiftIeee) | (stored & kMantissaMask);
  // Non-negative floats order like their bit patterns, and infinity and every
  // not-a-number lie above the ceiling's pattern: one integer comparison
  // screens all three.
  if (bits > kCeilingBits) return kCorruptNumber;
  return std::bit_cast<float>(bits);
}

// Little-endian helpers for the 4 stored bytes at p.
inline uint32_t LoadMbfWord(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void StoreMbfWord(unsigned char* p, uint32_t word) {
  p[0] = static_cast<unsigned char>(word & 0xFFu);
  p[1] = static_cast<unsigned char>((word >> 8) & 0xFFu);
  p[2] = static_cast<unsigned char>((word >> 16) & 0xFFu);
  p[3] = static_cast<unsigned char>((word >> 24) & 0xFFu);
}
