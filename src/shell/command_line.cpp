#include "shell/command_line.h"

namespace {

constexpr std::string_view kPathToken = "PATH:\"";
constexpr std::string_view kFileToken = "FILE:";
constexpr int kLargestFileNumber = 32767;

bool Contains(std::string_view text, std::string_view token) {
  return text.find(token) != std::string_view::npos;
}

// The text between the quotes of the first complete path part.
std::optional<std::string_view> QuotedPath(std::string_view commandLine, PathPartStatus& status) {
  const size_t token = commandLine.find(kPathToken);
  if (token == std::string_view::npos) {
    status = PathPartStatus::kMissing;
    return std::nullopt;
  }
  const size_t start = token + kPathToken.size();
  const size_t end = commandLine.find('"', start);
  if (end == std::string_view::npos) {
    status = PathPartStatus::kNoClosingQuote;
    return std::nullopt;
  }
  status = PathPartStatus::kFound;
  return commandLine.substr(start, end - start);
}

}  // namespace

bool IsUtilityCommandLine(std::string_view commandLine) {
  return Contains(commandLine, "AUTOTEST") &&
         (Contains(commandLine, "TESTDAT") || Contains(commandLine, "TESTMASTER"));
}

PathPart ExtractTestPath(std::string_view commandLine) {
  PathPart part;
  if (const auto quoted = QuotedPath(commandLine, part.status)) {
    part.directory.reserve(quoted->size() + 1);
    part.directory.assign(*quoted);
    part.directory.push_back('\\');
  }
  return part;
}

std::optional<std::string> ExtractBrowsePath(std::string_view commandLine) {
  PathPartStatus status;
  const auto quoted = QuotedPath(commandLine, status);
  if (!quoted || quoted->empty()) return std::nullopt;
  std::string directory(*quoted);
  if (directory.back() != '\\') directory.push_back('\\');
  return directory;
}

FilePart ExtractFileNumber(std::string_view commandLine) {
  FilePart part;
  const size_t token = commandLine.find(kFileToken);
  if (token == std::string_view::npos) return part;
  part.present = true;
  // Digits are read one at a time and the value saturates, so that no length
  // of digits overflows and a number that wraps round to a small one cannot
  // name an instrument by accident.
  int value = 0;
  bool anyDigit = false;
  for (size_t i = token + kFileToken.size(); i < commandLine.size(); ++i) {
    const char c = commandLine[i];
    if (c < '0' || c > '9') break;
    anyDigit = true;
    if (value <= kLargestFileNumber) value = value * 10 + (c - '0');
  }
  if (anyDigit && value <= kLargestFileNumber) part.fileNumber = value;
  return part;
}
