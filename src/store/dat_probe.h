// What a DAT file's contents alone say about its shape: the analyses behind
// AscertainRecordLength and IsIntra (dat_file.h), on a whole file's bytes.
#pragma once

#include <cstdint>
#include <span>

inline constexpr uint16_t kUnknownRecordLength = 0xFFFF;

// The record length (16, 20, 24, 28 or 32) that the contents support best, or
// kUnknownRecordLength when the file is empty or no length fits it.
uint16_t RecordLengthOfContents(std::span<const uint8_t> file);

// 1 when records of recordLength bytes in the contents carry a time column,
// else 0.
int IntradayContents(std::span<const uint8_t> file, int recordLength);
