// Conversion between native IEEE 754 singles and the 4-byte Microsoft Binary
// Format (MBF) floats stored in master and data files.
#pragma once

#include <cstdint>

// The stored bytes travel as one 32-bit word whose little-endian byte order is
// the file order (byte 0 = least significant mantissa byte, byte 3 = exponent).

// Never fails. Zero of either sign becomes four zero bytes; subnormals keep
// their fraction under exponent byte 2. Values with no MBF form (magnitude
// 2^127 or more, infinities, not-a-numbers) are stored as the largest MBF
// magnitude with their sign, which MBF_IEEE reads back as kCorruptNumber.
uint32_t IEEE_MBF(float value);

// Never fails. The result is either kCorruptNumber or a value in the closed
// range 0 ... 1,000,000,000: anything negative, not a number or larger than
// that ceiling is screened out as corrupt.
float MBF_IEEE(uint32_t stored);

inline constexpr float kCorruptNumber = -2.0f;
inline constexpr float kMbfCeiling = 1000000000.0f;

// Little-endian helpers for the 4 stored bytes at p.
uint32_t LoadMbfWord(const unsigned char* p);
void StoreMbfWord(unsigned char* p, uint32_t word);
