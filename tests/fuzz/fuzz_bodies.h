// The fuzz targets' bodies, shared by the libFuzzer programs and the replay of seeds and once failing inputs:
// each feeds one input to the code under test and returns "" when every rule held, else what broke.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fuzz {

// A master file beside sound data files: listed, tested with every code and its last defect repaired; the
// data files and master's length stay.
std::string MasterFile(const uint8_t* data, size_t size);
// A master record (53 bytes) then its data file: the DAT test, the probes, the editor's cells and the
// searches stay within the file and write nothing.
std::string DataFile(const uint8_t* data, size_t size);
// Typed dates and times, and the first four bytes as a stored date and time.
std::string DateTimeText(const uint8_t* data, size_t size);

struct Target {
  const char* name;  // also the folder of its seeds and regressions
  std::string (*body)(const uint8_t* data, size_t size);
};
inline constexpr Target kTargets[] = {
    {"master", MasterFile}, {"datafile", DataFile}, {"datetime", DateTimeText}};

// Seeds from the sample tree: masters, and data files behind their records.
std::map<std::string, std::vector<uint8_t>> SampleSeeds(const std::string& target);

}  // namespace fuzz
