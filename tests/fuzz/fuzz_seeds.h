// Seed inputs for the fuzz targets, made from the bundled sample tree: its
// master files, its data files each behind its own master record, the date
// and time texts its records show, and command lines of both modes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fuzz {

// Seed name to bytes, for the target of that name (fuzz_bodies.h).
std::map<std::string, std::vector<uint8_t>> SampleSeeds(const std::string& target);

}  // namespace fuzz
