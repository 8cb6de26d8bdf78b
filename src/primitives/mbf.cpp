#include "primitives/mbf.h"

#include <bit>

namespace {

constexpr uint32_t kSignBitIeee = 0x80000000u;
constexpr uint32_t kSignBitMbf = 0x00800000u;  // bit 7 of byte 2
constexpr uint32_t kMantissaMask = 0x007FFFFFu;
constexpr int kExponentShiftIeee = 23;
constexpr int kExponentShiftMbf = 24;

// The MBF exponent byte is the IEEE biased exponent plus 2 (bias 129 against
// 127, with the implicit bit counted the same way).
constexpr uint32_t kExponentOffset = 2;

// Written for values that have no MBF form (magnitude 2^127 or more, infinities,
// not-a-numbers): the largest MBF magnitude. Wrapping the exponent byte instead
// would store 2^127 as four zero bytes, which reads back as a plausible 0.0;
// this pattern reads back as the corrupt-number marker whatever the sign.
constexpr uint32_t kCeilingBits = std::bit_cast<uint32_t>(kMbfCeiling);

constexpr uint32_t kUnrepresentableMbf = 0xFF000000u | kMantissaMask;

}  // namespace

uint32_t IEEE_MBF(float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  if ((bits & ~kSignBitIeee) == 0) return 0;

  const uint32_t sign = (bits & kSignBitIeee) != 0 ? kSignBitMbf : 0;
  const uint32_t exponent = (bits >> kExponentShiftIeee) & 0xFFu;
  const uint32_t mantissa = bits & kMantissaMask;
  if (exponent + kExponentOffset > 0xFFu) return kUnrepresentableMbf | sign;
  // A subnormal (exponent 0) is stored with exponent byte 2 and its fraction
  // unchanged; reading maps it back to exponent 0.
  return ((exponent + kExponentOffset) << kExponentShiftMbf) | sign | mantissa;
}

float MBF_IEEE(uint32_t stored) {
  if (stored == 0) return 0.0f;
  if ((stored & kSignBitMbf) != 0) return kCorruptNumber;

  // Exponent bytes 0 and 1 wrap to 254 and 255: huge, infinite or not a number,
  // all screened out below.
  const uint32_t exponent = ((stored >> kExponentShiftMbf) - kExponentOffset) & 0xFFu;
  const uint32_t mantissa = stored & kMantissaMask;
  const uint32_t bits = (exponent << kExponentShiftIeee) | mantissa;
  // Non-negative floats order like their bit patterns, and infinity and every
  // not-a-number lie above the ceiling's pattern: one integer comparison
  // screens all three.
  if (bits > kCeilingBits) return kCorruptNumber;
  return std::bit_cast<float>(bits);
}

uint32_t LoadMbfWord(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void StoreMbfWord(unsigned char* p, uint32_t word) {
  p[0] = static_cast<unsigned char>(word & 0xFFu);
  p[1] = static_cast<unsigned char>((word >> 8) & 0xFFu);
  p[2] = static_cast<unsigned char>((word >> 16) & 0xFFu);
  p[3] = static_cast<unsigned char>((word >> 24) & 0xFFu);
}
