// The generated data the benchmarks run on: realistic and of the largest size
// the format allows. Deterministic (fixed seeds, integer arithmetic), sound
// (the DAT and master tests find nothing in it), written with plain file
// output so that generating it does not depend on the code being measured.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

inline constexpr int kLargestRecords = 65535;  // data records of the largest file
inline constexpr int kLargestFields = 8;       // date, time, open, high, low, close, volume, OI
inline constexpr int kFullDirectory = 255;     // instruments of the full directory
inline constexpr int kFullDirectoryRecords = 250;
inline constexpr int kXmasterInstruments = 2591;  // beyond master's, F256 ... F2846
inline constexpr int kMwdRecords = 5;
inline constexpr int kTreeDirectories = 10000;
inline constexpr int kTreeDataDirectories = 200;

// The core's directory text for a native directory (its path and a backslash).
std::string CoreDir(const std::string& nativeDir);

// The bytes of one data file: header and records of fields x 4 bytes.
std::vector<uint8_t> IntradayFile(int records, uint32_t seed);
std::vector<uint8_t> DailyFile(int records, uint32_t seed);

// nativeDir (created when missing) gets a master listing F1, an 8-field
// intraday instrument of kLargestRecords records, with its F1.DAT and F1.DOP.
void WriteLargestInstrument(const std::string& nativeDir);
// nativeDir gets kFullDirectory 7-field daily instruments F1 ... F255.
void WriteFullDirectory(const std::string& nativeDir);
// nativeDir gets the full directory, an EMASTER that agrees with its master
// (each instrument with a long name), and an XMASTER of kXmasterInstruments
// 7-field daily instruments F256 ... F2846, each with an F<n>.MWD of
// kMwdRecords records.
void WriteExtendedDirectory(const std::string& nativeDir);
// Below root: 100 directories of 99 subdirectories each (10,000 directories);
// two subdirectories of each are data directories (master and one small
// instrument), 200 in all.
void WriteTree(const std::string& root);

// Whole files and directories on native paths; each aborts the run with a
// message when the file system refuses.
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);
void MakeDirectories(const std::string& path);
void RemoveTree(const std::string& path);

}  // namespace bench
