// The data directories the fault-injection tests start from, built byte by
// byte with the shared fixtures.
#pragma once

#include <string>
#include <vector>

#include "fixtures.h"
#include "support/temp_dir.h"

namespace faults_test {

// One defect planted in the damaged-master scene: the master test finds
// `code` on the record of `fileNumber` (0: the header).
struct PlantedDefect {
  int fileNumber;
  int code;
};

// A directory whose master carries one repairable defect on each record
// (codes 0-7, 10, 11) and a header counting two instruments too many (code
// 8), over sound data files that the repairs can read their corrections
// from.
void BuildDamagedMaster(const testing_support::TempDir& dir);
const std::vector<PlantedDefect>& PlantedDefects();

// The master entry of a sound daily 7-field instrument whose dates agree
// with Series::Daily(records, ..., seed).
fixtures::MasterEntry SoundEntry(int fileNumber, int records, uint32_t seed);
// Writes master (the entries of `numbers`) and their .DAT and .DOP files into
// the native directory (created when missing): 7-field daily, `records`
// records each, distinct per number.
void WriteSoundDirectory(const std::string& nativeDir, const std::vector<int>& numbers, int records = 40);

}  // namespace faults_test
