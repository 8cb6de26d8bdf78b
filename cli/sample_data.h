// The bundled sample data tree (qvx sample DIR): small, realistic data
// directories for the tests, the README's run command and the benchmarks.
//
// The tree is deterministic: it is built from fixed seeds with integer
// arithmetic, so every run on every platform writes the same bytes.
//
//   Stocks/    daily instruments in 5-, 6- and 7-field layouts, one weekly and
//              one monthly; dates of the 1990s (no century digit) and of this
//              century (CYYMMDD); one instrument whose data file is missing
//   Intraday/  4-, 7- and 8-field intraday instruments within trading hours
//   Damaged/   Data/ holds every DAT defect, Master/ every master record defect
//              and a header counting too many instruments, Header/ a header
//              counting too few (see sample_data.cpp for who carries what)
//   Nested/    a/b/c/ and a long-named directory hold data below directories
//              without master; .backup/ is hidden from the tree; a/Scratch/
//              leads to no data
//   Empty/     a master holding only its header
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

// Directories and files are named relative to the tree's root, with '/'.
struct SampleFile {
  std::string path;
  std::vector<uint8_t> bytes;
};

struct SampleInstrument {
  std::string directory;
  int fileNumber = 0;
  std::string name;
  std::string symbol;
  int fieldCount = 0;  // the real field count of the data file's records
  char period = 'D';   // the real period of the data ('D', 'W', 'M' or 'I')
  int records = 0;     // data records in F<n>.DAT (0 when there is none)
  bool hasDatFile = true;
  bool hasDopFile = true;
  bool sound = true;  // data file and master record free of every defect
};

// A DAT defect: the DAT test finds code at (record, column) of the instrument.
struct SampleDatDefect {
  std::string directory;
  int fileNumber = 0;
  int32_t record = 0;
  int column = 0;
  int code = 0;
};

// A master defect: the master test finds code on the instrument's record
// (fileNumber 0: on the header).
struct SampleMasterDefect {
  std::string directory;
  int fileNumber = 0;
  int code = 0;
};

struct SampleTree {
  std::vector<std::string> directories;  // parents before children
  std::vector<SampleFile> files;
  std::vector<SampleInstrument> instruments;
  std::vector<SampleDatDefect> datDefects;
  std::vector<SampleMasterDefect> masterDefects;
};

// Builds the tree afresh.
SampleTree BuildSampleTree();
// The tree, built on first use; it lives for the whole run.
const SampleTree& GetSampleTree();

// Writes the tree below root (a native path, created when missing; a trailing
// separator is fine), which must be empty or new. False with a message in
// *error, naming what root holds, when it is not empty; false with a message
// when a directory or file could not be written.
bool WriteSampleData(const std::string& root, std::string* error);

}  // namespace sample
