// What every qvx command shares: exit statuses, the directory text the core
// expects, and where results and failures are printed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/record_export.h"

namespace qvx {

// 0: success (for the tests: nothing found).
inline constexpr int kExitSuccess = 0;
// 1: the command ran and found defects, found nothing, or a repair was refused.
inline constexpr int kExitFound = 1;
// 2: a usage error, or an operation that failed.
inline constexpr int kExitFailure = 2;

// DIR as typed, with or without a trailing '/' or '\', turned into the core's
// directory text: the path followed by exactly one backslash. Empty for an
// empty DIR.
std::string CoreDirectory(const std::string& dir);

// A date as commands take it: DD/MM/YY as the editor takes it typed (a
// two-digit year 00-49 meaning 2000-2049), or YYYY-MM-DD. The stored date, or
// -1.0 when the text is neither.
float DateArgument(const std::string& text);

// Results go to stdout with plain "\n" line ends on every platform.
void UseBinaryOutput();

// Results written through one large buffer (TextOutput) onto stdout.
class StdoutSink : public ExportSink {
 public:
  bool Write(const char* bytes, size_t size) override;
};

// Prints the message (the program's own text) on stderr; returns kExitFailure.
int Fail(const std::string& message);
// The same, followed by what went wrong: "message (cause)".
int Fail(const std::string& message, const std::string& cause);

// The core's directory text of a data directory or tree root as the Select
// Path dialog accepts it: one that can be listed; nothing otherwise.
std::optional<std::string> SearchableDirectory(const std::string& dir);
// The data directories in and below the root (a core directory text) as the
// browser's tree shows them, in its order; false when memory ran out. `jobs`
// threads list the tree at once.
bool DataDirectoriesBelow(const std::string& root, std::vector<std::string>* directories, int jobs = 1);

// What keeps DIR from being read as a data directory, named as the user gave
// it: "no such directory: DIR"; empty when it can be listed.
std::string MissingDirectoryCause(const std::string& dir);
// The same, or the master file missing from it.
std::string MissingMasterCause(const std::string& dir);
// The same, or instrument N missing from the master file (from XMASTER for
// the numbers beyond master's).
std::string MissingListedCause(const std::string& dir, int fileNumber);
// What keeps instrument N's data file from being opened: the directory, the
// master file, the instrument in it or the data file missing; empty when all
// are there (the file may still be held by another program, or read only).
std::string MissingInstrumentCause(const std::string& dir, int fileNumber);

}  // namespace qvx
