// The bodies of the fuzz targets: each takes one input, feeds it to the code
// under test and checks what must hold whatever the input. They are shared by
// the libFuzzer programs (built with clang when QUORVEX_FUZZ is on) and by the
// test that replays the seeds and the inputs that once failed
// (tests/fuzz/regressions/<target>/) in every build.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fuzz {

// "" when everything held, else what broke.
using Body = std::string (*)(const uint8_t* data, size_t size);

// A master file: listed, and tested with every code, repair, no prompt and
// file creation on, beside sound data files, then its last defect corrected.
// The data files must come out unchanged and master keep its length.
std::string MasterFile(const uint8_t* data, size_t size);
// The first 53 bytes a master record (zero-padded), the rest its data file:
// the DAT test, the record length and intraday probes, the editor's reads of
// every cell and the record searches. Nothing may write to either file.
std::string DataFile(const uint8_t* data, size_t size);
// A typed date or time: what the conversions accept is valid and reads back
// as itself through its text form; the first bytes as a stored float and as
// an MBF word split, show and convert consistently.
std::string DateTimeText(const uint8_t* data, size_t size);
// A command line: the utility-mode decision and the path and file parts
// agree with the tokens in the text.
std::string CommandLine(const uint8_t* data, size_t size);

struct Target {
  const char* name;  // also the folder of its seeds and regressions
  Body body;
};
inline constexpr Target kTargets[] = {
    {"master", MasterFile}, {"datafile", DataFile}, {"datetime", DateTimeText}, {"commandline", CommandLine}};

// Seeds made from the bundled sample tree (its master files, its data files
// each behind its own master record) and typed texts, by name.
std::map<std::string, std::vector<uint8_t>> SampleSeeds(const std::string& target);

}  // namespace fuzz
