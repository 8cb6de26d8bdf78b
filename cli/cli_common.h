// What every qvx command shares: exit statuses, the directory text the core
// expects, and where results and failures are printed.
#pragma once

#include <string>

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

// Results go to stdout with plain "\n" line ends on every platform.
void UseBinaryOutput();

// Prints the message (the program's own text) on stderr; returns kExitFailure.
int Fail(const std::string& message);

}  // namespace qvx
