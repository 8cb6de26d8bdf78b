// Exported records checked against the data files they came from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/record_export.h"

namespace testing_support {

// Every instrument of the data directories (core texts), or only the one
// numbered only, exported in process; the warnings given are added to *warnings.
std::string ExportedText(const std::vector<std::string>& directories, const ExportOptions& options,
                         std::vector<std::string>* warnings, int only = 0);

// Checks each row of table-layout CSV against the data file it names, as
// the store reads it: a file's k-th row is its record k, a value read back
// (std::from_chars; a date or time composed from its parts) has the stored
// float's bits, and an empty field stands for a value that is corrupt, or
// for a date or time that is not one. Returns the rows checked.
int64_t ExpectRowsAsStored(const std::string& csv);

}  // namespace testing_support
