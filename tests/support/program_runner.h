// Runs a program built beside the tests (natively, or under Wine from a test
// that itself runs under Wine) with empty standard input, capturing its
// standard output, standard error and exit status.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct ProgramRun {
  int status = -1;  // the exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// A build-tree path as the program's system sees it: under Wine the Unix
// root is drive Z.
std::string HostPath(std::string path);

// program is the build tree's path of the executable (a Unix path in the
// Windows build too: it is shown to Wine as drive Z).
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace testing_support
