#include "primitives/number_text.h"

#include <bit>
#include <charconv>
#include <cstdint>

namespace {

// A float as mantissa x 2^exponent, the mantissa below 2^24.
struct BinaryParts {
  uint32_t mantissa;
  int exponent;
  bool negative;
  bool finite;
};

BinaryParts Decompose(float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  const uint32_t biased = bits >> 23 & 0xFF;
  const uint32_t fraction = bits & 0x7FFFFF;
  BinaryParts parts{fraction, -149, (bits >> 31) != 0, biased != 0xFF};
  if (biased != 0) {
    parts.mantissa = fraction | 0x800000;
    parts.exponent = static_cast<int>(biased) - 150;
  }
  return parts;
}

char* WriteWhole(char* out, uint64_t n) {
  return std::to_chars(out, out + 20, n).ptr;
}

int DigitCount(uint64_t n) {
  int count = 1;
  for (; n >= 10; n /= 10) ++count;
  return count;
}

// The length of "d.ddde+XX" for the digits of n without its trailing zeros
// (the exponents met below all have two digits).
int ScientificLength(uint64_t n) {
  while (n >= 10 && n % 10 == 0) n /= 10;
  const int digits = DigitCount(n);
  return digits + (digits > 1 ? 1 : 0) + 4;
}

constexpr uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

// n / 10^d in fixed notation with d decimals; null when the scientific text
// of the same digits is shorter (std::to_chars writes that).
char* WriteDecimal(char* out, uint64_t n, int d) {
  const uint64_t unit = kPowersOfTen[d];
  // Only a whole number ending in five zeros or more ("1e+06") and a number
  // below 1 ("1e-04") can be shorter in scientific notation.
  if ((d == 0 && n % 100000 == 0) || (d > 0 && n < unit)) {
    if (ScientificLength(n) < (d == 0 ? DigitCount(n) : d + 2)) return nullptr;
  }
  out = WriteWhole(out, n / unit);
  if (d == 0) return out;
  *out++ = '.';
  char* const end = out + d;
  uint64_t rest = n % unit;
  for (char* at = end; at != out; rest /= 10) *--at = static_cast<char>('0' + rest % 10);
  return end;
}

// The shortest text of a value of at most seven decimals in fixed notation,
// value = mantissa / 2^shift with shift 0 ... 40; null for any other value.
// For d decimals the candidates are the integers either side of value x 10^d
// = mantissa x 10^d / 2^shift (below 2^48: exact). One reads back as value
// when it lies within half the gap to the neighbouring floats; distances and
// bound are compared as integers, in units of 2^-(shift + 1). No candidate
// lies on the bound itself (which a tie would send to the even mantissa): a
// bound, an odd multiple of 2^-(shift + 1), needs shift + 1 decimals, and the
// value itself is found with shift. The gap below a power of two is half the
// gap above; no power of two from 2^-17 to 2^23 has its text in the part of
// the bound that this takes too (the tests compare each with the library's).
char* ShortestFixed(char* out, uint32_t mantissa, int shift) {
  const uint64_t mask = (uint64_t{1} << shift) - 1;
  uint64_t scaled = mantissa;
  for (int d = 0; d < 8; ++d, scaled *= 10) {
    const uint64_t low = scaled >> shift, rest = scaled & mask;
    if (rest == 0) return WriteDecimal(out, low, d);
    const uint64_t halfGap = kPowersOfTen[d], toLow = 2 * rest, toHigh = 2 * (mask + 1 - rest);
    const bool lowFits = toLow < halfGap, highFits = toHigh < halfGap;
    if (!lowFits && !highFits) continue;
    // Two as near: std::to_chars settles it.
    if (lowFits && highFits && toLow == toHigh) return nullptr;
    return WriteDecimal(out, lowFits && (!highFits || toLow < toHigh) ? low : low + 1, d);
  }
  return nullptr;
}

}  // namespace

char* WriteShortestFloat(char* out, float value) {
  const BinaryParts parts = Decompose(value);
  if (!parts.negative && parts.finite) {
    if (parts.mantissa == 0) {
      *out = '0';
      return out + 1;
    }
    if (parts.exponent <= 0) {
      if (parts.exponent >= -40)
        if (char* end = ShortestFixed(out, parts.mantissa, -parts.exponent)) return end;
    } else if (parts.exponent <= 6) {
      // A whole value below 2^30: the fixed text is the exact integer. The
      // scientific one is shorter only for six trailing zeros or more, and
      // every multiple of 10^6 there is a float of its own.
      const uint64_t n = uint64_t{parts.mantissa} << parts.exponent;
      if (n % 1000000 != 0) return WriteWhole(out, n);
    }
  }
  return std::to_chars(out, out + kNumberTextRoom, value).ptr;
}

char* WriteFixed2(char* out, float value) {
  const BinaryParts parts = Decompose(value);
  // From 2^40 up, and for infinities and not-a-numbers, the library's own.
  if (!parts.finite || parts.exponent > 16)
    return std::to_chars(out, out + kNumberTextRoom, static_cast<double>(value), std::chars_format::fixed, 2)
        .ptr;
  const uint64_t scaled = uint64_t{parts.mantissa} * 100;  // below 2^31
  uint64_t hundredths = 0;
  if (parts.exponent >= 0) {
    hundredths = scaled << parts.exponent;
  } else if (parts.exponent > -32) {
    const int shift = -parts.exponent;
    hundredths = scaled >> shift;
    const uint64_t rest = scaled & ((uint64_t{1} << shift) - 1), half = uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && hundredths % 2 == 1)) ++hundredths;
  }  // else below half a hundredth: 0.00
  if (parts.negative) *out++ = '-';
  out = WriteWhole(out, hundredths / 100);
  *out++ = '.';
  *out++ = static_cast<char>('0' + hundredths / 10 % 10);
  *out++ = static_cast<char>('0' + hundredths % 10);
  return out;
}
