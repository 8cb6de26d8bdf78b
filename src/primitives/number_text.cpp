#include "primitives/number_text.h"

#include <algorithm>
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

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The two digits of 0 <= pair < 100 at `at`.
void PutPair(char* at, uint64_t pair) {
  at[0] = kDigitPairs[2 * pair];
  at[1] = kDigitPairs[2 * pair + 1];
}

// The digits of n written leftwards from `end`, two at a time; the first.
char* DigitsBefore(char* end, uint64_t n) {
  for (; n >= 100; n /= 100) PutPair(end -= 2, n % 100);
  if (n < 10) {
    *--end = static_cast<char>('0' + n);
  } else {
    PutPair(end -= 2, n);
  }
  return end;
}

constexpr uint64_t kPowersOfTen[] = {1,
                                     10,
                                     100,
                                     1000,
                                     10000,
                                     100000,
                                     1000000,
                                     10000000,
                                     100000000,
                                     1000000000,
                                     10000000000,
                                     100000000000,
                                     1000000000000,
                                     10000000000000,
                                     100000000000000,
                                     1000000000000000,
                                     10000000000000000,
                                     100000000000000000,
                                     1000000000000000000,
                                     10000000000000000000u};

int DigitCount(uint64_t n) {
  int count = 1;
  while (count < 20 && n >= kPowersOfTen[count]) ++count;
  return count;
}

char* WriteWhole(char* out, uint64_t n) {
  char* const end = out + DigitCount(n);
  DigitsBefore(end, n);
  return end;
}

// n / 10^d in fixed notation with d decimals; null when the scientific text
// of the same digits ("d.ddde+XX", every exponent met here having two
// digits) is shorter, as std::to_chars then writes that.
char* WriteDecimal(char* out, uint64_t n, int d) {
  const int count = DigitCount(n);
  const auto scientific = [](int significant) { return significant + (significant > 1 ? 1 : 0) + 4; };
  if (d == 0) {
    // Shorter only with five trailing zeros or more ("1e+06").
    char* const end = WriteWhole(out, n);
    int significant = count;
    while (significant > 1 && out[significant - 1] == '0') --significant;
    return scientific(significant) < count ? nullptr : end;
  }
  if (count <= d) {
    // Below 1 ("1e-04"); d decimals take away every trailing zero.
    if (scientific(count) < d + 2) return nullptr;
    *out++ = '0';
    *out++ = '.';
    out = std::fill_n(out, d - count, '0');
    return WriteWhole(out, n);
  }
  char* const end = out + count + 1;
  char* at = end;
  for (int i = 0; i < d; ++i, n /= 10) *--at = static_cast<char>('0' + n % 10);
  *--at = '.';
  DigitsBefore(at, n);
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
// gap above; no power of two from 2^-17 to 2^23 has its text in the share of
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
  PutPair(out, hundredths % 100);
  return out + 2;
}
