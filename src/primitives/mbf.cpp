#include "primitives/mbf.h"

#include <bit>

namespace {

// Written for values that have no MBF form (magnitude 2^127 or more, infinities,
// not-a-numbers): the largest MBF magnitude. Wrapping the exponent byte instead
// would store 2^127 as four zero bytes, which reads back as a plausible 0.0;
// this pattern reads back as the corrupt-number marker whatever the sign.
constexpr uint32_t kUnrepresentableMbf = 0xFF000000u | mbf_detail::kMantissaMask;

}  // namespace

uint32_t IEEE_MBF(float value) {
  using namespace mbf_detail;
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
