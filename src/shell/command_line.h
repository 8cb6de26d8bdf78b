// The program's command line: the mode decision and the data a remote test
// request names. The text comes from whoever started the program, so it is
// untrusted: every function accepts any text of any length and content, and
// none of them writes outside the strings it returns.
//
// The tokens are literal, case-sensitive substrings; their order and the text
// between them do not matter.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// True when the command line holds "AUTOTEST" and also "TESTDAT" or
// "TESTMASTER": the program then starts in utility mode. Any other command
// line starts it interactively.
bool IsUtilityCommandLine(std::string_view commandLine);

enum class PathPartStatus {
  kFound,           // PATH:" ... " is complete
  kMissing,         // no "PATH:" immediately followed by a double quote
  kNoClosingQuote,  // the opening quote is never closed
};

struct PathPart {
  PathPartStatus status = PathPartStatus::kMissing;
  // With kFound: the text between the quotes followed by a backslash, which
  // is appended also when the text already ends in one ("C:\DATA\" gives
  // "C:\DATA\\"). Empty otherwise.
  std::string directory;
};

// The directory a remote test request names: the first "PATH:" that is
// immediately followed by a double quote starts it, the next double quote
// ends it.
PathPart ExtractTestPath(std::string_view commandLine);

// The directory that an interactive start opens a browser on: the same path
// part, ending in exactly the one backslash that the browser's paths need (a
// backslash is appended only when the text does not end in one). Nothing when
// the path part is missing, unclosed or empty.
std::optional<std::string> ExtractBrowsePath(std::string_view commandLine);

struct FilePart {
  bool present = false;  // "FILE:" occurs somewhere in the command line
  // The decimal digits right after the first "FILE:" as a file number, or
  // nothing when there are no digits or the value does not fit a signed
  // 16-bit number (it then names no instrument).
  std::optional<int> fileNumber;
};

FilePart ExtractFileNumber(std::string_view commandLine);
